#include "shellext/factory.h"

#include <new>

#include "shellext/contextmenu.h"
#include "shellext/module.h"

namespace bramble::shellext {

TContextMenuFactory& ContextMenuFactory() {
    static TContextMenuFactory factory;
    return factory;
}

HRESULT TContextMenuFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TContextMenuFactory::AddRef() {
    ObjectCreated();
    return 2;
}

ULONG TContextMenuFactory::Release() {
    ObjectDestroyed();
    return 1;
}

HRESULT TContextMenuFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* handler = new (std::nothrow) TContextMenu;
    if (!handler) return E_OUTOFMEMORY;
    // The handler starts with one reference: the query adds the caller's,
    // the release drops ours (and frees it when the query failed).
    const HRESULT hr = handler->QueryInterface(riid, ppv);
    handler->Release();
    return hr;
}

HRESULT TContextMenuFactory::LockServer(BOOL fLock) {
    LockModule(fLock != FALSE);
    return S_OK;
}

}  // namespace bramble::shellext
