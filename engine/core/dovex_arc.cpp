// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupArc() { headerSize_ = 0; }
void TDovex::ParseArc() { EndScan(); }

}  // namespace bramble
