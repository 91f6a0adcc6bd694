// dvxLzhDecode: the decoder of the LZSS and static-Huffman block family.
// One decoder serves LHA -lh4-, -lh5- and -lh6-, ARJ methods 1 to 3, the BH
// method 1 ("Fuse") and ZOO method 2; the callers differ only in the
// parameters below.
//
// The stream is a series of blocks. Each block starts with its symbol count
// (16 bits; 0 ends the stream), then the code lengths of the code-length
// alphabet, the literal/length code and the position code; then the
// symbols: a literal byte, or a match of length symbol - 253 whose distance
// is coded by its bit length and the bits below its top bit. Bits are read
// most significant first.
//
// The decoder's state lives in an object for each call, so nothing is
// shared between calls.
#pragma once

#include <cstdint>

#include "engine/core/zipcommon.h"

namespace bramble {

struct TLzhParams {
    uint8_t CrcKind;  // 16 or 32: the check value the write hook keeps over the output
    uint8_t DicBit;   // the position alphabet has DicBit + 1 symbols
    uint8_t PBit;     // bits of the position code-length count
    uint8_t Mode;     // 1, 2: input deciphered as it is read; 5: the 32768-byte window
    // The stream marks its end with a block of no symbols (ZOO's): it must
    // reach the unpacked size there, neither before it nor inside or
    // before another block.
    bool EndBlock = false;

    int64_t WindowSize() const { return Mode == 5 ? 32768 : 26624; }
    bool Decrypt() const { return Mode == 1 || Mode == 2; }
};

// The parameter sets of the callers.
namespace lzh {
constexpr TLzhParams kLh4{16, 12, 4, 3};
constexpr TLzhParams kLh5{16, 13, 4, 3};
constexpr TLzhParams kLh6{16, 16, 5, 5};
constexpr TLzhParams kZoo{16, 13, 4, 0, true};
// BH method 1; an encrypted entry is deciphered on the way in.
constexpr TLzhParams Bh(bool Encrypted) { return {32, 13, 4, static_cast<uint8_t>(Encrypted ? 1 : 0)}; }
// ARJ methods 1-3; a garbled entry is ungarbled on the way in.
constexpr TLzhParams Arj(bool Garbled) { return {32, 16, 5, static_cast<uint8_t>(Garbled ? 2 : 0)}; }
}  // namespace lzh

// Decodes one entry: PackedSize bytes read through the owner's ReadHook
// from Input (CRC kind 0), UnpackedSize bytes written through its
// ExtractWriteHook to Output (check kind P.CrcKind), a window at a time.
// Decoding stops when UnpackedSize bytes are out or a block of 0 symbols
// ends the stream.
//
// True when the stream decoded to its end; the caller compares the check
// value. False when the data was found damaged: the fault was reported
// through the owner's RaiseError (so OnError fired), the output decoded up
// to it has been written, and the entry fails. Faults: 25120 code lengths
// that are no prefix code, a length above 16, a count or a constant symbol
// outside its alphabet, a match reaching further back than the window;
// 25236 the data ends before the entry does; with P.EndBlock, 25109 the
// stream ends short of UnpackedSize or goes on past it (decoding stops
// there).
//
// A failing write (25136) and a cancelled run (25400) are not the entry's
// fault: they pass out as E_RAISE.
bool LzhDecode(TZipCommon& Owner, const TLzhParams& P, TStream* Input, TStream* Output, int64_t PackedSize,
               int64_t UnpackedSize, int64_t ArchiveTotal = 0);

}  // namespace bramble
