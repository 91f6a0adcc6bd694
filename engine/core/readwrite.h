// Block input and output shared by every codec: reads from the archive or a
// stream with optional decryption and a running check value, writes to a
// file or stream with optional encryption and text-mode line ends.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/dvxmain.h"
#include "engine/core/streams.h"

namespace bramble {

// Codecs see only these: they never know where bytes come from or go to.
using TReadHook = std::function<int64_t(TStream* Stream, int64_t Count, int CrcKind, bool Decrypt,
                                        uint8_t* Buffer)>;
using TWriteHook = std::function<int64_t(TStream* Stream, bool IsData, int64_t Count, int CrcKind,
                                         bool Decrypt, const uint8_t* Buffer)>;

// Where ReadBlock reads.
enum : uint8_t { isArchive = 0, isStreamA = 1, isStreamHandedIn = 2, isStreamB = 3, isMemory = 4 };
// Where output goes; any value above otNone only decodes (otTest).
enum : uint8_t { otFile = 0, otMemory = 1, otTempStream = 2, otCallerStream = 3, otNone = 4, otTest = 7 };

class TReadWriteObj : public TdvxMain {
public:
    explicit TReadWriteObj(TComponent* AOwner = nullptr);

    uint8_t InputSource = isArchive;
    uint8_t OutputTarget = otFile;
    bool TextMode = false;
    TStream* StreamA = nullptr;
    TStream* StreamB = nullptr;
    const uint8_t* MemoryBlock = nullptr;  // advances with each read
    int64_t MemoryLeft = 0;

    // The running check value: CRC-32 in full, CRC-16 in the low half.
    uint32_t Crc = 0;

    TReadHook ReadHook;
    TWriteHook ExtractWriteHook;
    TWriteHook CompressWriteHook;

    TFileStream& InFile() { return inFile_; }
    TFileStream& OutFile() { return outFile_; }

    virtual int64_t ReadBlock(TStream* Stream, int64_t Count, int CrcKind, bool Decrypt, uint8_t* Buffer);
    virtual int64_t WriteEncrypted(TStream* Stream, bool IsData, int64_t Count, int CrcKind, bool Decrypt,
                                   const uint8_t* Buffer);
    virtual int64_t WriteDecrypted(TStream* Stream, bool IsData, int64_t Count, int CrcKind, bool Decrypt,
                                   const uint8_t* Buffer);
    int64_t WriteOutput(TStream* Stream, bool IsData, int64_t Count, int CrcKind, const uint8_t* Buffer);
    void DecryptBlock(uint8_t* Buffer, int64_t Count);

    // Folds bytes into the running check value.
    void UpdateCheck(int CrcKind, const uint8_t* Buffer, int64_t Count);
    // Forget a CR left over from the previous block (a new output starts).
    void ResetTextMode() { pendingCR_ = false; }

protected:
    // A write to Output fell short (its disk is full): called before 25136
    // is raised, which by itself reaches no OnError. The drivers report it
    // and clear up what the write left.
    virtual void OutputWriteFailed(TStream* Output) { (void)Output; }

    TFileStream inFile_;
    TFileStream outFile_;

private:
    TStream* OutputStream(TStream* handedIn);
    bool pendingCR_ = false;  // the last byte written in text mode was a CR
    std::vector<uint8_t> scratch_;
};

}  // namespace bramble
