// Unshrink: the decoder of ZIP method 1 (dynamic LZW with partial clearing).
#pragma once

#include "engine/codecs/zipmethod.h"

namespace bramble {

// Decodes until Out's expected size is reached. Unknown control codes,
// codes widened past 13 bits and strings through freed codes raise 25109;
// a string longer than the table raises 25298.
void Unshrink(TZipInput& In, TZipOutput& Out);

}  // namespace bramble
