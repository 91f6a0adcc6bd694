// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupArj() { headerSize_ = 0; }
void TDovex::ParseArj() { EndScan(); }

}  // namespace bramble
