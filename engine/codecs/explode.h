// Explode: the decoder of ZIP method 6 (imploded data).
#pragma once

#include "engine/codecs/zipmethod.h"

namespace bramble {

// Decodes until Out's expected size is reached. Flags bit 1 (value 2)
// selects the 8192-byte window, bit 2 (value 4) a literal tree. A tree
// description that does not fit its tree raises 25109; codes that collide
// or leave a path open raise 25293.
void Explode(TZipInput& In, TZipOutput& Out, uint16_t Flags);

}  // namespace bramble
