// Not walked yet: no scan.
#include "engine/core/dovex.h"

namespace bramble {

void TDovex::SetupTar() { headerSize_ = 0; }
void TDovex::ParseTar() { EndScan(); }

}  // namespace bramble
