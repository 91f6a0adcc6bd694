// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupRar() { headerSize_ = 0; }
void TDovex::ParseRar() { EndScan(); }

}  // namespace bramble
