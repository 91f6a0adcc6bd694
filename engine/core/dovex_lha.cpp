// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupLha() { headerSize_ = 0; }
void TDovex::ParseLha() { EndScan(); }
void TDovex::SetupBh() { headerSize_ = 0; }
void TDovex::ParseBh() { EndScan(); }

}  // namespace bramble
