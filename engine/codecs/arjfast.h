// ArjDecodeFast: ARJ's method 4, an LZ77 stream without Huffman tables.
//
// Every item starts with a length code: up to 7 one bits, a zero bit ending
// the run unless it is 7 long, then as many bits as there were ones; its
// value is (2^n - 1) plus those bits. A value of 0 is a literal, the next 8
// bits. Any other value v copies v + 2 bytes from a distance coded the same
// way with widths from 9 to 13: each one bit adds 512, 1024, 2048, 4096 and
// widens the field by one; the distance is that sum plus the field, plus 1.
// Bits are read most significant first, through the shared LZH bit input.
#pragma once

#include <cstdint>

#include "engine/core/zipcommon.h"

namespace bramble {

// Decodes one entry: PackedSize bytes read through the owner's ReadHook
// from Input (ungarbled on the way in with Garbled), UnpackedSize bytes
// written through its ExtractWriteHook to Output with CRC-32, a 26624-byte
// window at a time.
//
// True when the entry decoded to its size; False when the data was found
// damaged (a distance reaching before the start of the output, or the data
// ending first): the fault was reported through the owner's RaiseError
// (25120 or 25236), the output decoded up to it has been written. A failing
// write (25136) and a cancel (25400) pass out as E_RAISE.
bool ArjDecodeFast(TZipCommon& Owner, TStream* Input, TStream* Output, int64_t PackedSize, int64_t UnpackedSize,
                   bool Garbled, int64_t ArchiveTotal = 0);

}  // namespace bramble
