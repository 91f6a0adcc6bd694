// ZOO's LZW method: codes of 9 up to 13 bits, least significant bit first
// with no padding between widths; code 256 resets the table and is
// followed by a literal, code 257 ends the data. The width grows as soon
// as the next free code reaches the limit of the current one.
#pragma once

#include "engine/codecs/arcio.h"

namespace bramble {

// Decodes In into Out (a CRC-16 block output). Damaged data raises
// E_RAISE 25121: a code beyond the next free one, a literal after a reset
// that is no byte, or a string longer than the table can make. Data that
// ends without its end code simply ends.
void ZooLzwDecode(TArcInput& In, TArcOutput& Out);

}  // namespace bramble
