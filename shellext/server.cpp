// The in-process server's entry points.
#include <windows.h>

#include "app/shellreg/clsid.h"
#include "shellext/factory.h"
#include "shellext/module.h"

using namespace bramble;
using namespace bramble::shellext;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
    if (Reason == DLL_PROCESS_ATTACH) {
        SetModuleInstance(Instance);
        DisableThreadLibraryCalls(Instance);
    } else if (Reason == DLL_PROCESS_DETACH && !Reserved) {
        // Unloaded while the process goes on: the bitmap is given back. At
        // process end the system reclaims it, and other libraries may be
        // gone already.
        FreeSmallIcon();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, ShellExtClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return ContextMenuFactory().QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
    try {
        return ContextMenuFactory().UpdateRegistry(true) ? S_OK : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return ContextMenuFactory().UpdateRegistry(false) ? S_OK : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

}  // extern "C"
