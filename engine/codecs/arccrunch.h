// ARC's crunched methods 5 to 7: LZW with 12-bit codes, two codes in three
// bytes, over a 4096-entry string table whose entries are placed by a hash
// of (predecessor, follower) rather than numbered in order, so even the
// single bytes sit where the hash puts them. Methods 5 and 6 use the old
// hash, method 7 the new one; the table fills once and is never cleared.
#pragma once

#include "engine/codecs/arcio.h"

namespace bramble {

// Decodes In into Out (which holds whether the method ends in the
// run-length stage); NewHash picks method 7's placement. A string
// whose predecessors do not end within the table's size (which only a
// damaged stream makes) raises 25298.
void ArcUncrunch(TArcInput& In, TArcOutput& Out, bool NewHash);

}  // namespace bramble
