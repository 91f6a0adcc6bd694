// Decoder of the Unix compress format (.Z): adaptive LZW with codes of 9 up
// to 16 bits, packed least-significant bit first in groups of eight codes.
#pragma once

#include <cstdint>

namespace bramble {

class TZipCommon;

// Decodes CompressedSize bytes of a .Z file (from its flags byte, the byte
// after the 1F 9D magic) read through the component's ReadHook, writing
// through its ExtractWriteHook with the running CRC-32 over the output.
// True when the input was used up. A reserved flag bit or a width outside
// 9..16 raises E_RAISE 25138; a first code above 255, or a code beyond the
// one the table is about to make, is corrupt input and raises 25139 (the
// output before it is written).
bool UnLzwDecode(TZipCommon& Reader, int64_t CompressedSize);

}  // namespace bramble
