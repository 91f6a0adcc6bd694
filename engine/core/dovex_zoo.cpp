// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupZoo() { headerSize_ = 0; }
void TDovex::ParseZoo() { EndScan(); }

}  // namespace bramble
