// The -lh5- encoder: LZSS over an 8 KB dictionary (matches of 3 to 256
// bytes, the longest a bounded search finds and, among equally long ones,
// the nearest), coded in static-Huffman blocks that the decoder of
// lzhdecode.h reads with its -lh5- parameters. The LHA writer's -lh5- and
// the BH writer's method 1 ("Fuse") are this one routine with two
// parameter sets.
#pragma once

#include <cstdint>

#include "engine/core/zipcommon.h"

namespace bramble {

// Compresses InputSize bytes (or what the owner's ReadHook delivers from
// Input before it runs dry), read with check kind CrcKind so the owner's
// Crc advances over the source. Blocks go through the owner's
// CompressWriteHook to Output (check kind 0, enciphered when Encrypt).
//
// Returns the packed bytes written. Incompressible is set when the packed
// data would not come out smaller than the source: the encoder stops at
// once (what it wrote is the caller's to cut off) and the caller stores the
// entry instead. A cancelled run raises 25400, a failing write 25136 (from
// the hook).
int64_t LzhEncode(TZipCommon& Owner, int CrcKind, bool Encrypt, TStream* Output, TStream* Input, int64_t InputSize,
                  bool& Incompressible, int64_t ArchiveTotal = 0);

// The LHA writer's: CRC-16 of the source, never enciphered.
inline int64_t LzhEncode(TZipCommon& Owner, TStream* Output, TStream* Input, int64_t InputSize, bool& Incompressible,
                         int64_t ArchiveTotal = 0) {
    return LzhEncode(Owner, 16, false, Output, Input, InputSize, Incompressible, ArchiveTotal);
}

// The BH writer's: CRC-32 of the source, enciphered when the entry is.
inline int64_t LzhEncode(TZipCommon& Owner, bool Encrypt, TStream* Output, TStream* Input, int64_t InputSize,
                         bool& Incompressible, int64_t ArchiveTotal = 0) {
    return LzhEncode(Owner, 32, Encrypt, Output, Input, InputSize, Incompressible, ArchiveTotal);
}

}  // namespace bramble
