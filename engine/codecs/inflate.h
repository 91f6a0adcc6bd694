// Inflate (RFC 1951): the decoder of ZIP method 8, also used for gzip and
// BH data.
#pragma once

#include "engine/codecs/zipmethod.h"

namespace bramble {

// Decodes deflate blocks from In to Out until the last block ends. Bad data
// raises 25109 (bad block type or stored length, a literal/length symbol
// 286-287, a distance code 30-31, a distance reaching before the first
// byte of output), 25138 (code lengths that do not form a usable code,
// a repeat with nothing to repeat) or 25236 (the data ends first). Output
// past Out's expected size is refused (25109); the caller checks the total.
void Inflate(TZipInput& In, TZipOutput& Out);

// The decoder's hot loop keeps its bits in a word of 64 bits on 64-bit
// processors and of 32 bits on 32-bit ones, where each 64-bit shift takes
// several instructions. InflateUseWord runs the other loop (for tests that
// cover both on one machine, and for benchmarks); not meant to change while
// other threads inflate.
enum class TInflateWord { Narrow, Wide };
TInflateWord InflateNativeWord();
void InflateUseWord(TInflateWord Word);

}  // namespace bramble
