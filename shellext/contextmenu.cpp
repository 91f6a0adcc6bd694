#include "shellext/contextmenu.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "shellext/menuitems.h"
#include "shellext/module.h"

namespace bramble::shellext {

namespace {

const char* const ProgramKey = "SOFTWARE\\Quillmar\\Bramble";

// The dropped file's name in the ANSI form the program's command line
// carries. A name with characters outside the ANSI code page would arrive
// with '?' in their place and name no file: its short form is used then.
std::string DroppedFile(HDROP Drop) {
    const UINT length = DragQueryFileW(Drop, 0, nullptr, 0);
    if (length == 0) return {};
    std::wstring wide(length + 1, L'\0');
    wide.resize(DragQueryFileW(Drop, 0, wide.data(), length + 1));

    auto toAnsi = [](const std::wstring& w, bool& lossy) {
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                          &defaulted);
        std::string a(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), a.data(), n, nullptr, &defaulted);
        lossy = defaulted != FALSE;
        return a;
    };
    bool lossy = false;
    std::string name = toAnsi(wide, lossy);
    if (!lossy) return name;
    const DWORD shortLength = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (shortLength == 0) return {};
    std::wstring shortName(shortLength, L'\0');
    shortName.resize(GetShortPathNameW(wide.c_str(), shortName.data(), shortLength));
    name = toAnsi(shortName, lossy);
    return lossy ? std::string() : name;
}

// A menu shows "&" as the underline of the next letter; a file name with
// one must show it as it is.
std::string MenuText(const std::string& Text) {
    std::string out;
    out.reserve(Text.size() + 4);
    for (char c : Text) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

struct MediumGuard {
    STGMEDIUM& m;
    ~MediumGuard() { ReleaseStgMedium(&m); }
};

}  // namespace

std::string ReadRootDir() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    std::string value;
    // The value may grow between asking its size and reading it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(key, "RootDir", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        if (type != REG_SZ && type != REG_EXPAND_SZ) break;
        // One byte more than stored, so a value written without its
        // terminator still ends inside the buffer.
        std::vector<char> data(size + 1, '\0');
        DWORD got = size;
        const LONG rc = RegQueryValueExA(key, "RootDir", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) break;
        data[got < size ? got : size] = '\0';
        value = data.data();
        if (type == REG_EXPAND_SZ && !value.empty()) {
            const DWORD need = ExpandEnvironmentStringsA(value.c_str(), nullptr, 0);
            std::string expanded(need, '\0');
            const DWORD n = ExpandEnvironmentStringsA(value.c_str(), expanded.data(), need);
            value = (n == 0 || n > need) ? std::string() : std::string(expanded.c_str());
        }
        break;
    }
    RegCloseKey(key);
    return value;
}

TContextMenu::TContextMenu() { ObjectCreated(); }
TContextMenu::~TContextMenu() { ObjectDestroyed(); }

HRESULT TContextMenu::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IContextMenu))
        *ppv = static_cast<IContextMenu*>(this);
    else if (IsEqualIID(riid, IID_IShellExtInit))
        *ppv = static_cast<IShellExtInit*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TContextMenu::AddRef() { return ++refs_; }

ULONG TContextMenu::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT TContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
    try {
        FileName.clear();
        if (!pdtobj) return E_INVALIDARG;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        const HRESULT hr = pdtobj->GetData(&format, &medium);
        if (FAILED(hr)) return hr;
        MediumGuard release{medium};
        if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) return E_FAIL;
        const HDROP drop = static_cast<HDROP>(medium.hGlobal);
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) return E_FAIL;
        FileName = DroppedFile(drop);
        return FileName.empty() ? E_FAIL : S_OK;
    } catch (...) {
        FileName.clear();
        return E_FAIL;
    }
}

HRESULT TContextMenu::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) {
    try {
        // Only the plain menu and the Explorer's tree view get the items;
        // default-only, verbs-only and no-verbs requests do not.
        if ((uFlags & 0x0F) != CMF_NORMAL && !(uFlags & CMF_EXPLORE)) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
        const unsigned count = ItemCount(FileName);
        if (count == 0) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
        const HBITMAP bitmap = SmallIcon();
        unsigned used = 0;
        for (unsigned i = 0; i < count; ++i) {
            // Identifiers past the range the shell gave belong to others.
            if (idCmdLast < idCmdFirst || idCmdLast - idCmdFirst < i) break;
            const std::string text = MenuText(ItemText(FileName, i));
            if (!InsertMenuA(hmenu, indexMenu + i, MF_STRING | MF_BYPOSITION, idCmdFirst + i, text.c_str())) break;
            if (bitmap) SetMenuItemBitmaps(hmenu, indexMenu + i, MF_BYPOSITION, bitmap, bitmap);
            used = i + 1;
        }
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, used);
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT TContextMenu::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax) {
    try {
        // Only the ANSI help text is answered; every other request is
        // acknowledged and its buffer left as the caller passed it.
        if (uType != GCS_HELPTEXTA) return S_OK;
        // The help text follows the offset alone, as the shell may ask about
        // any of the three whatever the file it offered them for.
        if (idCmd > 2) return E_INVALIDARG;
        if (!pszName || cchMax == 0) return E_INVALIDARG;
        const char* text = HelpText(FileName, static_cast<unsigned>(idCmd));
        const size_t n = std::min<size_t>(std::strlen(text), cchMax - 1);
        std::memcpy(pszName, text, n);
        pszName[n] = '\0';
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

std::string TContextMenu::BuildCommandLine(unsigned Offset) const {
    return CommandLine(ReadRootDir(), ItemSwitch(FileName, Offset), FileName);
}

HRESULT TContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
    try {
        if (!pici) return E_INVALIDARG;
        // A verb given by name: the items have none.
        if (!IS_INTRESOURCE(pici->lpVerb)) return E_FAIL;
        const auto offset = static_cast<unsigned>(LOWORD(reinterpret_cast<ULONG_PTR>(pici->lpVerb)));
        if (offset > 2) return E_INVALIDARG;
        const std::string line = BuildCommandLine(offset);
        const UINT started = line.empty() ? 0 : WinExec(line.c_str(), static_cast<UINT>(pici->nShow));
        // The box is the whole report: the shell has nothing more to show.
        if (started < 32) MessageBoxA(pici->hwnd, "Error executing Bramble.", "Error", MB_OK | MB_ICONERROR);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace bramble::shellext
