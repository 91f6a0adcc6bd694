// The work area a rectangle or point lies on. The monitor functions are
// found in user32 by name and asked only when there is more than one
// monitor, so that a single-monitor system (or one without them) gets the
// desktop work area the shell reports.
#pragma once

#include <windows.h>

namespace bramble {

RECT GetWorkAreaOfRect(const RECT& R);
RECT GetWorkAreaOfPoint(POINT P);

}  // namespace bramble
