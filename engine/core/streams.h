// Byte streams of the class library the engine is written against: a file
// stream, a memory stream, and a temporary-file stream that deletes its file
// when freed. Positions and sizes are 64-bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/os.h"

namespace bramble {

class TStream {
public:
    virtual ~TStream() = default;
    // Bytes transferred; a short count means end of data or an error.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual bool Seek(int64_t position) = 0;  // absolute
    virtual int64_t Position() const = 0;
    virtual int64_t Size() const = 0;
    virtual bool SetSize(int64_t size) = 0;
    // Copies count bytes (all from the current position when count <= 0)
    // from source; the bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TFileStream : public TStream {
public:
    TFileStream() = default;
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    // False when the file cannot be opened (or created).
    bool Open(const std::string& path, os::OpenMode mode);
    bool IsOpen() const { return file_.IsOpen(); }
    // False when the system reports an error, also one of writing out what
    // was still buffered.
    bool Close();
    const std::string& FileName() const { return name_; }
    // The handle itself: what is still buffered is written out first.
    os::File& Handle();

    // Reads and writes of fewer than Bytes bytes go through a buffer of that
    // size, and seeks are made only when the system has to be told: a run
    // of small writes (headers, records) costs one system call per buffer
    // instead of one each. 0 (the default) turns it off. A write that fails
    // while the buffer is written out makes the write, seek or Close that
    // caused it fail.
    void SetBuffer(size_t Bytes);
    // Writes out what is buffered; false when the write fell short.
    bool Flush();
    // Copies Count bytes of Source, from where it stands, to this stream:
    // both move on past them. The bytes copied.
    int64_t CopyRange(TFileStream& Source, int64_t Count);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    bool Seek(int64_t position) override;
    int64_t Position() const override;
    int64_t Size() const override;
    bool SetSize(int64_t size) override;

protected:
    os::File file_;
    std::string name_;

private:
    // Moves the system's file position to pos_ when it is elsewhere.
    bool SyncPosition();
    void DropBuffer();

    std::vector<uint8_t> buf_;  // empty: unbuffered
    int64_t pos_ = 0;           // the stream's position while buffered
    int64_t filePos_ = -1;      // where the system's position is; -1 unknown
    int64_t bufStart_ = 0;      // file position of buf_[0]
    size_t bufLen_ = 0;         // bytes of buf_ in use
    bool dirty_ = false;        // buf_ holds written bytes not yet in the file
};

class TMemoryStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    bool Seek(int64_t position) override;
    int64_t Position() const override { return pos_; }
    int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
    bool SetSize(int64_t size) override;
    void Clear() { data_.clear(); pos_ = 0; }
    std::vector<uint8_t>& Data() { return data_; }
    const std::vector<uint8_t>& Data() const { return data_; }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

// A stream on a new temporary file (prefix "dvx") that is deleted when the
// stream is freed.
class TTempFileStream : public TFileStream {
public:
    // dir empty: the system's temporary folder. IsOpen() tells success.
    explicit TTempFileStream(const std::string& dir = {});
    ~TTempFileStream() override;
};

}  // namespace bramble
