// What the library keeps while it is loaded: its own module handle, the
// counts that decide whether it may be unloaded, and the one menu bitmap.
#pragma once

#include <windows.h>

namespace bramble::shellext {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE Instance);

// Every live object of the library (handlers and outstanding references
// to the factory) and every LockServer(TRUE) holds the library in memory.
// The shell may call from several apartments at once: the counts are
// atomic.
void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool Lock);
bool ModuleInUse();

// The "SMALLICON" bitmap shown beside every item. Loaded on first use and
// kept until the library is unloaded: a menu that holds it may outlive the
// handler that inserted the items. Null when the resource cannot be loaded.
HBITMAP SmallIcon();
void FreeSmallIcon();

}  // namespace bramble::shellext
