#include "engine/codecs/zipmethod.h"

#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "engine/codecs/explode.h"
#include "engine/codecs/inflate.h"
#include "engine/codecs/unreduce.h"
#include "engine/codecs/unshrink.h"

namespace bramble {

// ---- errors -----------------------------------------------------------------

void ZipDecodeError(TZipCommon& c, int ECode) {
    // The entry being decoded names the error, as its other events name it
    // (in a test its stored name: no output path exists); the archive when
    // there is none.
    const std::string& fn = !c.EntryName().empty() ? c.EntryName()
                            : c.OutputName().empty() ? c.ArchiveFile()
                                                     : c.OutputName();
    c.RaiseError(fn, "", "0", ECode);
    throw E_RAISE(ECode);  // an override that returned
}

// ---- input ------------------------------------------------------------------

// A little slack behind the block lets the unread tail of the previous
// block stay in front of the next one.
constexpr size_t kInputSlack = 64;

TZipInput::TZipInput(TZipCommon& Owner, int64_t Count, bool Decrypt, TStream* Stream)
    : owner_(Owner), stream_(Stream), decrypt_(Decrypt), remaining_(Count < 0 ? 0 : Count) {
    // 8 bytes of zeros after the largest fill keep word loads in bounds.
    // The rest is written before it is read: clearing all of it cost as
    // much as decoding a small entry.
    constexpr size_t kFilled = static_cast<size_t>(kBlock) + kInputSlack;
    buffer_.reset(new uint8_t[kFilled + 8]);
    std::memset(buffer_.get() + kFilled, 0, 8);
    Next = End = buffer_.get();
}

bool TZipInput::Fill() {
    // A cancel ends the decode at once with 25400, not by running dry and
    // failing the CRC: the run stops, and says why.
    if (owner_.Cancel()) {
        remaining_ = 0;
        ZipDecodeError(owner_, 25400);
    }
    if (ended_) return false;
    size_t tail = static_cast<size_t>(End - Next);
    uint8_t* base = buffer_.get();
    // Only a short tail is ever kept: decoders fill once they run low.
    if (tail > kInputSlack) return true;
    if (tail && Next != base) std::memmove(base, Next, tail);
    Next = base;
    End = base + tail;
    for (;;) {
        if (remaining_ <= 0) {
            ended_ = true;
            return tail != 0;
        }
        int64_t want = remaining_ < kBlock ? remaining_ : kBlock;
        int64_t got = owner_.ReadHook(stream_, want, 0, decrypt_, base + tail);
        if (got > 0) {
            if (got > want) got = want;  // a hook that overstates what it read
            remaining_ -= got;
            taken_ += got;
            End = base + tail + got;
            return true;
        }
        if (!NextSource()) {
            ended_ = true;
            return tail != 0;
        }
    }
}

bool TZipInput::ZipNeedBits(unsigned n, unsigned UpTo) {
    // With eight bytes at hand one word tops a full-width buffer up, as the
    // inflate loop does: the bits above the count stay copies of the bytes
    // at Next. Dynamic block headers and every symbol decoded the slow way
    // come through here.
    if (UpTo >= 56 && BitCount < 56 && End - Next >= 8) {
        uint64_t w;
        std::memcpy(&w, Next, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        Bits |= w << BitCount;
        Next += (63 - BitCount) >> 3;
        BitCount |= 56;
        return true;
    }
    while (BitCount < UpTo) {
        int b = ZipReadByte();
        if (b < 0) {
            // Past the end: zeros, counted, so that looking ahead is harmless
            // and consuming them is caught.
            ++Overread;
        } else {
            Bits |= static_cast<uint64_t>(b) << BitCount;
        }
        BitCount += 8;
    }
    return BitCount - 8 * Overread >= n;
}

// Input ending before the data does is said (25236) rather than left to the
// CRC check: the reader fails the entry and goes on with the next.
void TZipInput::Truncated() {
    remaining_ = 0;
    ended_ = true;
    ZipDecodeError(owner_, 25236);
}

// ---- output -----------------------------------------------------------------

TZipOutput::TZipOutput(TZipCommon& Owner, int64_t Expected, int64_t ArchiveTotal, TStream* Stream)
    : owner_(Owner), stream_(Stream), expected_(Expected), archiveTotal_(ArchiveTotal) {}

void TZipOutput::Write(const uint8_t* Buffer, size_t Count) {
    if (Count == 0) return;
    if (owner_.Cancel()) ZipDecodeError(owner_, 25400);
    int64_t n = static_cast<int64_t>(Count);
    // Never more than the entry's size is written, whatever the data says.
    if (expected_ >= 0 && n > expected_ - produced_) ZipDecodeError(owner_, 25109);
    owner_.ExtractWriteHook(stream_, true, n, 32, false, Buffer);
    produced_ += n;
    int64_t total = expected_ >= 0 ? expected_ : produced_;
    owner_.DoProgress(produced_, total, archiveTotal_ > 0 ? archiveTotal_ : total);
}

// ---- dispatch -----------------------------------------------------------------

namespace {

bool IsSupportedMethod(uint16_t Method) {
    return Method <= 6 || Method == 8;
}

// Method 0: the bytes as they are, block by block.
void CopyStored(TZipInput& In, TZipOutput& Out) {
    for (;;) {
        if (In.Next == In.End && !In.Fill()) break;
        Out.Write(In.Next, static_cast<size_t>(In.End - In.Next));
        In.Next = In.End;
    }
}

}  // namespace

void ZipMethodDecode(TZipInput& In, uint16_t Method, uint16_t Flags, int64_t UnpackedSize, int64_t ArchiveTotal) {
    TZipCommon& c = In.Owner();
    if (!IsSupportedMethod(Method)) ZipDecodeError(c, 25326);
    // Without an end marker only the size says where the data ends.
    if (UnpackedSize < 0 && Method != 0 && Method != 8) ZipDecodeError(c, 25109);
    // An empty entry needs no data at all, whatever its method.
    if (UnpackedSize == 0 && In.Remaining() == 0) return;

    TZipOutput Out(c, UnpackedSize, ArchiveTotal, c.TempOutput());
    try {
        switch (Method) {
            case 0: CopyStored(In, Out); break;
            case 1: Unshrink(In, Out); break;
            case 2: case 3: case 4: case 5: Unreduce(In, Out, Method - 1); break;
            case 6: Explode(In, Out, Flags); break;
            case 8: Inflate(In, Out); break;
            default: break;
        }
    } catch (const std::bad_alloc&) {
        ZipDecodeError(c, 25253);
    }
    if (UnpackedSize >= 0 && Out.Produced() != UnpackedSize) ZipDecodeError(c, 25109);
}

void ZipMethodDecode(TZipCommon& c, uint16_t Method, uint16_t Flags, int64_t PackedSize, int64_t UnpackedSize,
                     bool Decrypt, int64_t ArchiveTotal) {
    if (!IsSupportedMethod(Method)) ZipDecodeError(c, 25326);
    int64_t count = PackedSize - (Decrypt ? 12 : 0);
    std::unique_ptr<TZipInput> in;
    try {
        in = std::make_unique<TZipInput>(c, count < 0 ? 0 : count, Decrypt);
    } catch (const std::bad_alloc&) {
        ZipDecodeError(c, 25253);
    }
    ZipMethodDecode(*in, Method, Flags, UnpackedSize, ArchiveTotal);
}

}  // namespace bramble
