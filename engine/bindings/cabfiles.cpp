#include "engine/bindings/cabfiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

// A file stream whose share mode the library's open flags choose.
class TSharedFileStream : public TFileStream {
public:
    bool Open(const std::string& path, os::OpenMode mode, os::Share share) {
        name_ = path;
        return file_.Open(path, mode, share);
    }
};

}  // namespace

intptr_t TStreamCabinetFileHandler::Open(const std::string& FileName, int OpenFlags, int, int& Error) {
    os::OpenMode mode = os::OpenMode::Read;
    if ((OpenFlags & cab::kOpenReadWrite) || (OpenFlags & cab::kOpenWriteOnly)) mode = os::OpenMode::ReadWrite;
    // An existing file is shared with everyone unless the library asks for
    // it alone; a new one gets the engine's usual create mode.
    os::Share share = (OpenFlags & cab::kOpenExclusive) ? os::Share::Exclusive : os::Share::DenyNone;
    if (OpenFlags & cab::kOpenCreate) {
        mode = os::OpenMode::Create;
        share = os::Share::Usual;
    }
    auto stream = std::make_unique<TSharedFileStream>();
    if (!stream->Open(FileName, mode, share)) {
        Error = static_cast<int>(os::LastError());
        if (Error == 0) Error = 2;
        return -1;
    }
    int64_t origin = 0;
    if (!originName_.empty() && UpperCase(FileName) == originName_) {
        origin = origin_;
        stream->Seek(origin);
    }
    Error = 0;
    const intptr_t handle = next_++;
    const auto amends = amends_.find(UpperCase(FileName));
    streams_[handle] = OpenFile{std::move(stream), origin, amends == amends_.end() ? Amends() : amends->second};
    return handle;
}

void TStreamCabinetFileHandler::SetOrigin(const std::string& FileName, int64_t Offset) {
    originName_ = Offset > 0 ? UpperCase(FileName) : std::string();
    origin_ = Offset;
}

void TStreamCabinetFileHandler::Amend(const std::string& FileName, int64_t Offset, const std::string& Bytes) {
    amends_[UpperCase(FileName)].emplace_back(Offset, Bytes);
}

TStreamCabinetFileHandler::OpenFile* TStreamCabinetFileHandler::Find(intptr_t Handle) {
    auto it = streams_.find(Handle);
    return it == streams_.end() ? nullptr : &it->second;
}

uint32_t TStreamCabinetFileHandler::Read(intptr_t Handle, void* Buffer, uint32_t Count, int& Error) {
    OpenFile* f = Find(Handle);
    if (!f) {
        Error = -1;
        return static_cast<uint32_t>(-1);
    }
    const int64_t from = f->stream->Position() - f->origin;
    const int64_t got = f->stream->Read(Buffer, Count);
    if (got < 0) {
        Error = static_cast<int>(os::LastError());
        return static_cast<uint32_t>(-1);
    }
    for (const auto& [at, bytes] : f->amends) {
        const int64_t lo = std::max(at, from), hi = std::min(at + static_cast<int64_t>(bytes.size()), from + got);
        if (lo < hi)
            std::memcpy(static_cast<uint8_t*>(Buffer) + (lo - from), bytes.data() + (lo - at), static_cast<size_t>(hi - lo));
    }
    Error = got < Count ? static_cast<int>(os::LastError()) : 0;
    return static_cast<uint32_t>(got);
}

uint32_t TStreamCabinetFileHandler::Write(intptr_t Handle, const void* Buffer, uint32_t Count, int& Error) {
    OpenFile* f = Find(Handle);
    if (!f) {
        Error = -1;
        return static_cast<uint32_t>(-1);
    }
    const int64_t put = f->stream->Write(Buffer, Count);
    if (put != Count) {
        Error = static_cast<int>(os::LastError());
        if (Error == 0) Error = 112;  // the disk is full
        return put < 0 ? static_cast<uint32_t>(-1) : static_cast<uint32_t>(put);
    }
    Error = 0;
    return Count;
}

int TStreamCabinetFileHandler::Close(intptr_t Handle, int& Error) {
    auto it = streams_.find(Handle);
    if (it == streams_.end()) {
        Error = -1;
        return -1;
    }
    const bool closed = it->second.stream->Close();
    streams_.erase(it);
    Error = closed ? 0 : static_cast<int>(os::LastError());
    return closed ? 0 : -1;
}

int32_t TStreamCabinetFileHandler::Seek(intptr_t Handle, int32_t Distance, int SeekType, int& Error) {
    OpenFile* f = Find(Handle);
    if (!f) {
        Error = -1;
        return -1;
    }
    TFileStream& s = *f->stream;
    int64_t target = Distance;
    switch (SeekType & 0xFFFF) {
        case SEEK_SET: break;
        case SEEK_CUR: target += s.Position() - f->origin; break;
        case SEEK_END: target += s.Size() - f->origin; break;
        default: Error = -1; return -1;
    }
    if (target < 0 || target > INT32_MAX || !s.Seek(target + f->origin)) {
        Error = static_cast<int>(os::LastError());
        if (Error == 0) Error = 131;  // a negative seek
        return -1;
    }
    Error = 0;
    return static_cast<int32_t>(target);
}

int TStreamCabinetFileHandler::Delete(const std::string& FileName, int& Error) {
    if (!os::FileDelete(FileName)) {
        Error = static_cast<int>(os::LastError());
        return -1;
    }
    Error = 0;
    return 0;
}

namespace {
std::string CabinetErrorText(int Code, int Type) {
    char text[64];
    std::snprintf(text, sizeof text, "Cabinet error %d (type %d)", Code, Type);
    return text;
}
}  // namespace

ECabinetError::ECabinetError(int Code, int Type) : Exception(CabinetErrorText(Code, Type)), code_(Code), type_(Type) {}

void RaiseCabinetError(int Code, int Type) { throw ECabinetError(Code, Type); }

void TCabinetCall::Check() {
    if (Pending) {
        std::exception_ptr p = Pending;
        Pending = nullptr;
        std::rethrow_exception(p);
    }
    if (Erf.fError) RaiseCabinetError(Erf.erfOper, Erf.erfType);
}

uint16_t TCOMPfromTypeLevelMemory(int Type, int Level, int Memory) {
    return static_cast<uint16_t>(Memory << 8 | Level << 4 | Type);
}

uint16_t TCOMPfromLZXWindow(int Window) { return static_cast<uint16_t>(Window << 8 | 3); }

}  // namespace bramble
