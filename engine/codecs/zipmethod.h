// The ZIP method decoders (stored, shrunk, reduced, imploded, deflated) and
// the compressed input and decoded output they share. Decoders see the
// archive only through the owning component's hooks: compressed bytes come
// in through ReadHook, decoded bytes leave through ExtractWriteHook, which
// folds them into the running CRC-32 (Crc, preset by the caller) and sends
// them to the component's output target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/zipcommon.h"

namespace bramble {

// Compressed bytes of one entry and the bit input every decoder reads them
// through. Bytes arrive in blocks of at most 32768 through the owner's
// ReadHook (CRC kind 0, deciphered on the way when the entry is encrypted).
// Bits are taken least-significant first, as deflate and the PKWARE methods
// store them.
//
// When the source runs dry while bytes are still owed, NextSource() is
// asked for more; the base class has none. A reader of a spanned set
// derives from this class, changes disks there and hands its input to the
// ZipMethodDecode overload that takes one.
class TZipInput {
public:
    static constexpr int64_t kBlock = 32768;

    TZipInput(TZipCommon& Owner, int64_t Count, bool Decrypt, TStream* Stream = nullptr);
    virtual ~TZipInput() = default;
    TZipInput(const TZipInput&) = delete;
    TZipInput& operator=(const TZipInput&) = delete;

    TZipCommon& Owner() { return owner_; }
    // Bytes not yet asked of the source.
    int64_t Remaining() const { return remaining_; }
    // Bytes the decoder has taken in so far (a byte begun counts whole):
    // what came from the source less what still waits in the buffer and,
    // as whole bytes, in the bit buffer. Where its data really ends when the
    // entry's header says more.
    int64_t Consumed() const {
        const int64_t held = BitCount / 8 > Overread ? BitCount / 8 - Overread : 0;
        return taken_ - (End - Next) - held;
    }

    // Unread bytes of the buffer: [Next, End). Decoders may advance Next.
    const uint8_t* Next = nullptr;
    const uint8_t* End = nullptr;

    // Keeps the unread bytes and reads the next block behind them. False
    // when nothing more can come (the bytes owed are read, or the source
    // ended for good). Raises 25400 when the run was cancelled.
    bool Fill();

    // ---- bit input ----
    // Bits in Bits, lowest first; BitCount of them are valid. Above them
    // Bits may hold copies of the bytes at Next (never anything else).
    // Once the input has ended for good, missing bits read as zeros and are
    // counted in Overread (bytes); consuming one of them is a truncation.
    uint64_t Bits = 0;
    unsigned BitCount = 0;
    unsigned Overread = 0;

    // The next byte, or -1 when the data has ended.
    int ZipReadByte() {
        if (Next == End && !Fill()) return -1;
        return *Next++;
    }
    // Makes n bits (n <= UpTo <= 56) available, topping the buffer up to
    // UpTo or more; a decoder that hands the bits on to a narrower buffer of
    // its own asks for no more than it needs. False when some of the n lie
    // past the end of the data (they read as zeros, and consuming them
    // raises 25236).
    bool ZipNeedBits(unsigned n, unsigned UpTo = 56);
    uint32_t ZipPeekBits(unsigned n) {
        if (BitCount < n) ZipNeedBits(n);
        return static_cast<uint32_t>(Bits) & ((1u << n) - 1);
    }
    void ZipDropBits(unsigned n) {
        Bits >>= n;
        BitCount -= n;
        if (Overread && BitCount < 8 * Overread) Truncated();
    }
    // n <= 24.
    uint32_t ZipGetBits(unsigned n) {
        uint32_t v = ZipPeekBits(n);
        ZipDropBits(n);
        return v;
    }
    // Drops the bits up to the next byte boundary.
    void AlignToByte() { ZipDropBits(BitCount & 7); }

    // Raises 25236: the data ended before the decoder was done.
    [[noreturn]] void Truncated();

protected:
    // Called when the source yields nothing while bytes are still owed.
    // True when reading may resume (another disk is in place).
    virtual bool NextSource() { return false; }

private:
    TZipCommon& owner_;
    TStream* stream_;
    bool decrypt_;
    int64_t remaining_;
    int64_t taken_ = 0;  // bytes the source has given
    bool ended_ = false;
    std::unique_ptr<uint8_t[]> buffer_;
};

// Decoded bytes of one entry on their way to the owner's ExtractWriteHook
// (IsData, CRC kind 32, no further deciphering), with progress and cancel.
class TZipOutput {
public:
    // Expected < 0: the decoded size is not known in advance (gzip data).
    // ArchiveTotal is handed to DoProgress; 0 means the entry's size.
    TZipOutput(TZipCommon& Owner, int64_t Expected, int64_t ArchiveTotal = 0, TStream* Stream = nullptr);

    TZipCommon& Owner() { return owner_; }
    int64_t Expected() const { return expected_; }
    int64_t Produced() const { return produced_; }

    // Writes one block. Output beyond a known Expected is refused (25109)
    // before any of it is written; a cancelled run raises 25400.
    void Write(const uint8_t* Buffer, size_t Count);

private:
    TZipCommon& owner_;
    TStream* stream_;
    int64_t expected_;
    int64_t archiveTotal_;
    int64_t produced_ = 0;
};

// Raises a decoder error through the owner: OnError, then E_RAISE.
[[noreturn]] void ZipDecodeError(TZipCommon& c, int ECode);

// Decodes one entry of a ZIP (or BH, or gzip) archive from the owner's
// input, positioned at the first byte of compressed data (behind the
// 12-byte encryption header, which the caller has read and checked).
//
//   Method        0 stored, 1 shrunk, 2-5 reduced (factor Method - 1),
//                 6 imploded, 8 deflated; any other value raises 25326
//                 before anything is read or written.
//   Flags         the general-purpose flags; for method 6 bit 1 (value 2)
//                 selects the 8192-byte window, bit 2 (value 4) three trees.
//   PackedSize    the entry's compressed size as stored, including the
//                 encryption header when Decrypt (12 bytes are taken off).
//   UnpackedSize  the entry's size. Methods 1-6 have no end marker and stop
//                 there. Deflated data must end exactly there; -1 (deflate
//                 and stored only) means unknown and is not checked.
//   Decrypt       the entry is encrypted (flag bit 0): input is
//                 deciphered as it is read.
//   ArchiveTotal  handed to DoProgress after each block written; 0 means
//                 the entry's size.
//
// Errors (RaiseError, so OnError fires and E_RAISE is thrown): 25326
// method; 25109 bad or inconsistent data, also decoded output longer or
// shorter than UnpackedSize; 25138 incomplete code set; 25247 bad lengths;
// 25293 ambiguous or incomplete Shannon-Fano tree; 25298 stack overflow;
// 25236 data ended early; 25253 out of memory; 25400 cancelled; 25136
// (from the hook) a short write. The caller compares Crc with the entry's.
void ZipMethodDecode(TZipCommon& c, uint16_t Method, uint16_t Flags, int64_t PackedSize, int64_t UnpackedSize,
                     bool Decrypt, int64_t ArchiveTotal = 0);

// The same over an input the caller made (one that changes disks). The
// input's count is the compressed size already net of the 12-byte header.
void ZipMethodDecode(TZipInput& In, uint16_t Method, uint16_t Flags, int64_t UnpackedSize,
                     int64_t ArchiveTotal = 0);

}  // namespace bramble
