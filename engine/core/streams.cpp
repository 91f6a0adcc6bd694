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

TFileStream::~TFileStream() { Flush(); }

bool TFileStream::Open(const std::string& path, os::OpenMode mode) {
    DropBuffer();
    // The name is kept even on failure so that error reports can show it.
    name_ = path;
    const bool opened = file_.Open(path, mode);
    pos_ = 0;
    filePos_ = opened ? 0 : -1;
    return opened;
}

bool TFileStream::Close() {
    const bool flushed = Flush();
    DropBuffer();
    filePos_ = -1;
    const bool closed = file_.Close();
    return flushed && closed;
}

os::File& TFileStream::Handle() {
    if (!buf_.empty()) {
        Flush();
        DropBuffer();
        SyncPosition();
        // Whoever uses the handle may move its position.
        filePos_ = -1;
    }
    return file_;
}

void TFileStream::SetBuffer(size_t Bytes) {
    if (!buf_.empty()) {
        Flush();
        SyncPosition();
    } else {
        pos_ = file_.IsOpen() ? file_.Position() : 0;
        filePos_ = file_.IsOpen() ? pos_ : -1;
    }
    DropBuffer();
    buf_.assign(Bytes, 0);
    buf_.shrink_to_fit();
}

void TFileStream::DropBuffer() {
    bufLen_ = 0;
    bufStart_ = pos_;
    dirty_ = false;
}

bool TFileStream::SyncPosition() {
    if (filePos_ == pos_) return true;
    if (!file_.Seek(pos_)) {
        filePos_ = -1;
        return false;
    }
    filePos_ = pos_;
    return true;
}

bool TFileStream::Flush() {
    if (!dirty_) return true;
    dirty_ = false;
    const int64_t len = static_cast<int64_t>(bufLen_);
    bool ok = filePos_ == bufStart_ || file_.Seek(bufStart_);
    ok = ok && file_.Write(buf_.data(), len) == len;
    filePos_ = ok ? bufStart_ + len : -1;
    // What was written stays readable from the buffer.
    return ok;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (buf_.empty()) {
        const int64_t got = file_.Read(buffer, count);
        return got < 0 ? 0 : got;
    }
    if (dirty_ && !Flush()) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t bufEnd = bufStart_ + static_cast<int64_t>(bufLen_);
        if (pos_ >= bufStart_ && pos_ < bufEnd) {
            const int64_t n = std::min(count - done, bufEnd - pos_);
            std::memcpy(out + done, buf_.data() + (pos_ - bufStart_), static_cast<size_t>(n));
            pos_ += n;
            done += n;
            continue;
        }
        if (!SyncPosition()) break;
        const int64_t want = count - done;
        if (want >= static_cast<int64_t>(buf_.size())) {
            // A large read goes straight to the caller.
            const int64_t got = file_.Read(out + done, want);
            if (got <= 0) {
                filePos_ = got < 0 ? -1 : filePos_;
                break;
            }
            pos_ += got;
            filePos_ = pos_;
            done += got;
            if (got < want) break;
            continue;
        }
        bufStart_ = pos_;
        bufLen_ = 0;
        const int64_t got = file_.Read(buf_.data(), static_cast<int64_t>(buf_.size()));
        if (got <= 0) {
            filePos_ = got < 0 ? -1 : filePos_;
            break;
        }
        bufLen_ = static_cast<size_t>(got);
        filePos_ = pos_ + got;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (buf_.empty()) {
        const int64_t put = file_.Write(buffer, count);
        return put < 0 ? 0 : put;
    }
    const int64_t cap = static_cast<int64_t>(buf_.size());
    const int64_t bufEnd = bufStart_ + static_cast<int64_t>(bufLen_);
    // Bytes read ahead are no longer what the file holds once written over.
    if (!dirty_) bufStart_ = pos_, bufLen_ = 0;
    // A write within or right behind what is buffered joins it (a header
    // rewritten in place costs nothing); any other one writes it out first.
    const bool joins = dirty_ && pos_ >= bufStart_ && pos_ <= bufEnd && pos_ - bufStart_ + count <= cap;
    if (!joins) {
        if (!Flush()) return 0;
        bufStart_ = pos_;
        bufLen_ = 0;
        if (count >= cap) {
            if (!SyncPosition()) return 0;
            const int64_t put = file_.Write(buffer, count);
            if (put < 0) {
                filePos_ = -1;
                return 0;
            }
            pos_ += put;
            filePos_ = pos_;
            bufStart_ = pos_;
            return put;
        }
    }
    const auto at = static_cast<size_t>(pos_ - bufStart_);
    std::memcpy(buf_.data() + at, buffer, static_cast<size_t>(count));
    bufLen_ = std::max(bufLen_, at + static_cast<size_t>(count));
    dirty_ = true;
    pos_ += count;
    return count;
}

int64_t TFileStream::CopyRange(TFileStream& Source, int64_t Count) {
    if (Count <= 0) return 0;
    const int64_t from = Source.Position();
    if (from < 0 || !Flush()) return 0;
    if (!buf_.empty()) {
        DropBuffer();
        if (!SyncPosition()) return 0;
    }
    if (!Source.buf_.empty()) Source.DropBuffer();
    const int64_t done = file_.CopyRange(Source.file_, from, Count);
    if (!buf_.empty()) {
        pos_ += done;
        filePos_ = -1;
        bufStart_ = pos_;
    }
    // The source's position is where the copy ended, whatever the system
    // left it at.
    if (Source.buf_.empty()) {
        Source.file_.Seek(from + done);
    } else {
        Source.pos_ = from + done;
        Source.filePos_ = -1;
        Source.bufStart_ = Source.pos_;
    }
    return done;
}

bool TFileStream::Seek(int64_t position) {
    if (buf_.empty()) return file_.Seek(position);
    if (position < 0 || !file_.IsOpen()) return false;
    // The system is told only when a read or write needs it.
    pos_ = position;
    return true;
}

int64_t TFileStream::Position() const {
    if (buf_.empty()) return file_.Position();
    return file_.IsOpen() ? pos_ : -1;
}

int64_t TFileStream::Size() const {
    const int64_t onDisk = file_.Size();
    if (!dirty_ || onDisk < 0) return onDisk;
    return std::max(onDisk, bufStart_ + static_cast<int64_t>(bufLen_));
}

// As in the class library, the position is left at the new end.
bool TFileStream::SetSize(int64_t size) {
    if (size < 0) return false;
    if (buf_.empty()) return file_.Seek(size) && file_.Truncate();
    const bool flushed = Flush();
    pos_ = size;
    DropBuffer();
    filePos_ = -1;
    if (!flushed || !file_.Seek(size) || !file_.Truncate()) return false;
    filePos_ = size;
    return true;
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
