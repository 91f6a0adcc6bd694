// The handler's class factory: one lives as long as the library and makes
// a new handler for every request; it also writes and removes the
// handler's registry keys.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace bramble::shellext {

class TContextMenuFactory final : public IClassFactory {
public:
    // IUnknown. References to the factory count as live objects of the
    // library, so it is not unloaded under a caller that holds one.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

    // Writes (true) or removes (false) the handler's keys; false when the
    // class keys could not be written.
    bool UpdateRegistry(bool Register);
};

// The library's one factory.
TContextMenuFactory& ContextMenuFactory();

}  // namespace bramble::shellext
