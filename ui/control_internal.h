// State shared by the sources of the control and window-control classes;
// no other file includes this.
#pragma once

#include <windows.h>

#include "ui/control.h"

namespace bramble {

extern TControl* g_mouse_control;

bool IsMouseMsg(UINT m);

}  // namespace bramble
