// Unreduce: the decoder of ZIP methods 2-5 (probabilistic follower sets and
// DLE-coded matches over a 4096-byte window).
#pragma once

#include "engine/codecs/zipmethod.h"

namespace bramble {

// Factor 1-4 (method - 1). Decodes until Out's expected size is reached.
// A follower set of more than 32 bytes or an index outside its set raises
// 25109.
void Unreduce(TZipInput& In, TZipOutput& Out, int Factor);

}  // namespace bramble
