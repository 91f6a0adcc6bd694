// What the cabinet reader and writer share: the file operations the
// cabinet library's callbacks are routed to, the cabinet exception, and the
// compression words.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/bindings/cabinet.h"
#include "engine/core/exception.h"
#include "engine/core/streams.h"

namespace bramble {

// File operations for the cabinet library. Each sets Error: 0 when all went
// well, -1 for a handle it does not know, else the system's last error.
class TCabinetFileHandler {
public:
    virtual ~TCabinetFileHandler() = default;
    virtual intptr_t Open(const std::string& FileName, int OpenFlags, int PermissionMode, int& Error) = 0;
    virtual uint32_t Read(intptr_t Handle, void* Buffer, uint32_t Count, int& Error) = 0;
    virtual uint32_t Write(intptr_t Handle, const void* Buffer, uint32_t Count, int& Error) = 0;
    virtual int Close(intptr_t Handle, int& Error) = 0;
    virtual int32_t Seek(intptr_t Handle, int32_t Distance, int SeekType, int& Error) = 0;
    virtual int Delete(const std::string& FileName, int& Error) = 0;
};

// The operations over file streams. Open flag 0x400 (_O_EXCL) opens an
// existing file for this handler alone, any other open shares it with
// everyone. Handles are its own numbers, from kFirstHandle up, not the
// system's: the system hands a closed handle's number out again, and a
// stale one (the writer's source, the reader's output) would then match a
// file opened since; ours never repeat, nor meet 0, -1 or the reader's
// output handle.
class TStreamCabinetFileHandler : public TCabinetFileHandler {
public:
    static constexpr intptr_t kFirstHandle = 0x100;

    intptr_t Open(const std::string& FileName, int OpenFlags, int PermissionMode, int& Error) override;
    uint32_t Read(intptr_t Handle, void* Buffer, uint32_t Count, int& Error) override;
    uint32_t Write(intptr_t Handle, const void* Buffer, uint32_t Count, int& Error) override;
    int Close(intptr_t Handle, int& Error) override;
    int32_t Seek(intptr_t Handle, int32_t Distance, int SeekType, int& Error) override;
    int Delete(const std::string& FileName, int& Error) override;

    // A cabinet behind a self-extractor's program: later opens of FileName
    // see the file from Offset on, as if it began there.
    void SetOrigin(const std::string& FileName, int64_t Offset);
    // Later reads of FileName see Bytes at Offset (counted from its origin)
    // in place of its own: a cabinet's header cut to the part of it that
    // can be trusted. ClearAmends forgets every one.
    void Amend(const std::string& FileName, int64_t Offset, const std::string& Bytes);
    void ClearAmends() { amends_.clear(); }
    int OpenCount() const { return static_cast<int>(streams_.size()); }
    // Closes every stream still open (a failed library call leaves some).
    void CloseAll() { streams_.clear(); }

private:
    using Amends = std::vector<std::pair<int64_t, std::string>>;
    struct OpenFile {
        std::unique_ptr<TFileStream> stream;
        int64_t origin = 0;
        Amends amends;
    };
    OpenFile* Find(intptr_t Handle);

    std::map<intptr_t, OpenFile> streams_;
    intptr_t next_ = kFirstHandle;
    std::string originName_;
    int64_t origin_ = 0;
    std::map<std::string, Amends> amends_;  // by upper-case name
};

// A failure the cabinet library reported in its error record. Not the
// engine's E_RAISE: it fires no OnError.
class ECabinetError : public Exception {
public:
    ECabinetError(int Code, int Type);
    int ErrorCode() const { return code_; }
    int ErrorType() const { return type_; }

private:
    int code_, type_;
};

[[noreturn]] void RaiseCabinetError(int Code, int Type);

// What a call into the library leaves behind: the error record it fills,
// and whatever one of our callbacks threw on the way (a C++ exception must
// never cross the library's frames, so the callbacks catch it, keep it
// here and answer the library's failure value).
struct TCabinetCall {
    cab::ERF Erf{};
    std::exception_ptr Pending;

    // Before each call: nothing from the last one counts.
    void Clear() {
        Erf = {};
        Pending = nullptr;
    }
    // After a call: a kept exception comes first, then the error record.
    void Check();
    // In a callback: keeps the exception being handled.
    void Keep() {
        if (!Pending) Pending = std::current_exception();
    }
};

// The compression words of the cabinet writer.
uint16_t TCOMPfromTypeLevelMemory(int Type, int Level, int Memory);
uint16_t TCOMPfromLZXWindow(int Window);

}  // namespace bramble
