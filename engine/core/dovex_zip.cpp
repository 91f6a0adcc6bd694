// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupZip() { headerSize_ = 0; }
void TDovex::ParseZip() { EndScan(); }

}  // namespace bramble
