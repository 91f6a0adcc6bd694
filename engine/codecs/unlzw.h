// Decoder of the Unix compress format (.Z): adaptive LZW with codes of 9 up
// to 16 bits, packed least-significant bit first in groups of eight codes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bramble {

class TZipCommon;

// Where the decoded strings go.
class TLzwSink {
public:
    virtual void Put(const uint8_t* Bytes, size_t Count) = 0;
    // The end of the stream (or of what could be decoded): hand on what is held.
    virtual void Flush() = 0;

protected:
    ~TLzwSink() = default;
};

// The code stream alone, as compress writes it and ARC's dynamic methods
// borrowed it: codes of 9 up to MaxBits bits (9..16) in groups of eight of
// one width; with BlockMode, code 256 clears the table. CompressedSize
// bytes are read through the component's ReadHook; the strings go to Sink,
// which is flushed however decoding ends and which reports the progress.
// A first code above 255, or a code beyond the one the table is about to
// make, raises 25139.
void LzwDecodeCodes(TZipCommon& Reader, int64_t CompressedSize, int MaxBits, bool BlockMode, TLzwSink& Sink);

// Decodes CompressedSize bytes of a .Z file (from its flags byte, the byte
// after the 1F 9D magic) read through the component's ReadHook, writing
// through its ExtractWriteHook with the running CRC-32 over the output.
// True when the input was used up. A reserved flag bit or a width outside
// 9..16 raises E_RAISE 25138; a first code above 255, or a code beyond the
// one the table is about to make, is corrupt input and raises 25139 (the
// output before it is written).
bool UnLzwDecode(TZipCommon& Reader, int64_t CompressedSize);

}  // namespace bramble
