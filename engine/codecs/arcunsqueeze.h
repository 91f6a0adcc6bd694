// ARC's squeezed method: a static Huffman code whose tree is stored in
// front of the data. The tree is a node count (16 bits) and per node two
// children, each a node index or, when negative, -(value + 1) of a leaf;
// value 256 ends the data. Bits are taken from each byte lowest first.
#pragma once

#include "engine/codecs/arcio.h"

namespace bramble {

// Decodes the packed bytes of In into Out (whose run-length stage the
// method uses). A node count outside 0..256, or a child naming no node
// of the tree and no value, raises 25152 before anything is written;
// a stream cut short simply ends.
void ArcUnsqueeze(TArcInput& In, TArcOutput& Out);

}  // namespace bramble
