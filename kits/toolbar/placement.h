// Saving and restoring where a tool window is: its dock (by its place in a
// list the caller gives), row and position there, or its floating place,
// whether it is shown, and the descendant's own values. Values read back
// are not trusted: rows and positions are clamped, a dock the window may
// not use is ignored, and a floating window is brought back on screen.
#pragma once

#include <vector>

#include "kits/toolbar/toolwindow.h"

namespace bramble {

void SaveToolWindowPlacement(TCustomToolWindow97* Window, const std::vector<TDock97*>& Docks,
                             const TPositionWriteIntProc& Write);
void LoadToolWindowPlacement(TCustomToolWindow97* Window, const std::vector<TDock97*>& Docks,
                             const TPositionReadIntProc& Read);

}  // namespace bramble
