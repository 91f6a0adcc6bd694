// The LHA method -lh1-: LZSS over a 4096-byte ring with matches of 3 to 60
// bytes; literals and match lengths (314 symbols) are coded with an
// adaptive Huffman code that both sides update after every symbol, the
// upper 6 bits of a match position with a fixed code and its low 6 bits as
// they are. Bits are written most significant first. The ring starts as
// blanks and coding starts at its position 4036.
#pragma once

#include <cstdint>

#include "engine/core/zipcommon.h"

namespace bramble {

// Codes InputSize bytes (or what the owner's ReadHook delivers from Input
// before it runs dry) read with check kind 16, so the owner's Crc advances
// over the source. The code goes through the owner's CompressWriteHook to
// Output (check kind 0, never enciphered), whatever its size: -lh1- output
// stands even when it is larger than the source. Returns the bytes written.
// A cancelled run raises 25400; a failing write 25136 (from the hook).
int64_t LzhufEncode(TZipCommon& Owner, TStream* Output, TStream* Input, int64_t InputSize,
                    int64_t ArchiveTotal = 0);

// Decodes PackedSize bytes read through the owner's ReadHook from Input
// (check kind 0) into UnpackedSize bytes written through its
// ExtractWriteHook to Output with check kind 16. True when the stream
// decoded to its end (the caller compares the CRC). Data that ends before
// the entry does is reported as 25236 through the owner's RaiseError and
// gives False, with the output before the cut written. A failing write
// (25136) and a cancel (25400) pass out as E_RAISE.
bool LzhufDecode(TZipCommon& Owner, TStream* Input, TStream* Output, int64_t PackedSize, int64_t UnpackedSize,
                 int64_t ArchiveTotal = 0);

}  // namespace bramble
