// The context-menu handler: the shell creates one per menu, hands it the
// selection (IShellExtInit), lets it insert its items (IContextMenu), asks
// for help texts and invokes at most one item, which starts bramble.exe
// with a switch and the file's path.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>

namespace bramble::shellext {

class TContextMenu final : public IContextMenu, public IShellExtInit {
public:
    TContextMenu();
    ~TContextMenu();
    TContextMenu(const TContextMenu&) = delete;
    TContextMenu& operator=(const TContextMenu&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IShellExtInit
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj,
                                         HKEY hkeyProgID) override;

    // IContextMenu
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                               UINT uFlags) override;
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                               UINT cchMax) override;

    // The command line of the item at Offset: the program in RootDir, the
    // item's switch and the quoted file. Empty when none can be made.
    std::string BuildCommandLine(unsigned Offset) const;

private:
    std::atomic<ULONG> refs_{1};
    // The one selected file; empty unless Initialize got exactly one.
    std::string FileName;
};

// The folder of bramble.exe: the string value RootDir under the program's
// key in HKEY_CURRENT_USER; empty when the key or a string value is missing.
std::string ReadRootDir();

}  // namespace bramble::shellext
