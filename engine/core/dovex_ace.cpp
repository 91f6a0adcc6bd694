// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupAce() { headerSize_ = 0; }
void TDovex::ParseAce() { EndScan(); }

}  // namespace bramble
