// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupCab() { headerSize_ = 0; }
void TDovex::ParseCab() { EndScan(); }
void TDovex::SetupMsGZ() { headerSize_ = 0; }
void TDovex::ParseMsGZ() { EndScan(); }

}  // namespace bramble
