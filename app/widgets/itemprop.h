// An item's shell context menu, its properties and its default command.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "ui/classes.h"

namespace bramble {

// Shows the items' context menu at Point (screen) and runs the command
// chosen; true when a menu was shown.
bool ShowItemContextMenu(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, TPoint Point,
                         HWND Owner);
// Runs the items' default command (what a double-click in the shell does).
bool InvokeItemDefaultAction(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, HWND Owner);
// Shows the items' property sheet when they have one.
bool ShowItemProperties(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, HWND Owner);

}  // namespace bramble
