// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupHa() { headerSize_ = 0; }
void TDovex::ParseHa() { EndScan(); }

}  // namespace bramble
