// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupGZip() { headerSize_ = 0; }
void TDovex::ParseGZip() { EndScan(); }
void TDovex::SetupUue() { headerSize_ = 0; }

}  // namespace bramble
