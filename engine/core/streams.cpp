#include "engine/core/streams.h"

#include <algorithm>
#include <cstring>

namespace bramble {

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count <= 0) count = std::max<int64_t>(0, source.Size() - source.Position());
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 65536)));
    int64_t copied = 0;
    while (copied < count) {
        int64_t want = std::min<int64_t>(count - copied, static_cast<int64_t>(buffer.size()));
        int64_t got = source.Read(buffer.data(), want);
        if (got <= 0) break;
        int64_t put = Write(buffer.data(), got);
        if (put > 0) copied += put;
        if (put != got) break;
    }
    return copied;
}

// ---- TFileStream -------------------------------------------------------

bool TFileStream::Open(const std::string& path, os::OpenMode mode) {
    // The name is kept even on failure so that error reports can show it.
    name_ = path;
    return file_.Open(path, mode);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t got = file_.Read(buffer, count);
    return got < 0 ? 0 : got;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t put = file_.Write(buffer, count);
    return put < 0 ? 0 : put;
}

bool TFileStream::Seek(int64_t position) { return file_.Seek(position); }

int64_t TFileStream::Position() const { return file_.Position(); }

int64_t TFileStream::Size() const { return file_.Size(); }

// As in the class library, the position is left at the new end.
bool TFileStream::SetSize(int64_t size) {
    if (size < 0) return false;
    return file_.Seek(size) && file_.Truncate();
}

// ---- TMemoryStream -----------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = Size();
    if (count <= 0 || pos_ >= size) return 0;
    int64_t n = std::min(count, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = pos_ + count;
    // A position past the end leaves a gap that resize() fills with zeros.
    if (end > Size()) data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ = end;
    return count;
}

bool TMemoryStream::Seek(int64_t position) {
    if (position < 0) return false;
    pos_ = position;
    return true;
}

bool TMemoryStream::SetSize(int64_t size) {
    if (size < 0) return false;
    data_.resize(static_cast<size_t>(size));
    if (pos_ > size) pos_ = size;
    return true;
}

// ---- TTempFileStream ---------------------------------------------------

TTempFileStream::TTempFileStream(const std::string& dir) {
    std::string name = os::MakeTempFile(dir, "dvx");
    if (name.empty()) return;
    if (!Open(name, os::OpenMode::Create)) {
        os::FileDelete(name);
        name_.clear();
    }
}

TTempFileStream::~TTempFileStream() {
    file_.Close();
    if (!name_.empty()) os::FileDelete(name_);
}

}  // namespace bramble
