#include "shell_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace bramble::test {

std::string WindowsPath(std::string Path) {
    if (!Path.empty() && Path[0] == '/') {
        std::replace(Path.begin(), Path.end(), '/', '\\');
        Path = "Z:" + Path;
    }
    return Path;
}

const ShellExtLibrary& ShellExt() {
    static const ShellExtLibrary lib = [] {
        ShellExtLibrary l;
        l.Path = WindowsPath(BMSHELL_DLL_DEFAULT);
        l.Module = LoadLibraryA(l.Path.c_str());
        if (!l.Module) return l;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                reinterpret_cast<void*>(GetProcAddress(l.Module, name)));
        };
        get(l.GetClassObject, "DllGetClassObject");
        get(l.CanUnloadNow, "DllCanUnloadNow");
        get(l.RegisterServer, "DllRegisterServer");
        get(l.UnregisterServer, "DllUnregisterServer");
        return l;
    }();
    return lib;
}

// ---- the drop -------------------------------------------------------------

DropData::DropData(const std::vector<std::string>& Files, bool Wide, bool Offer) : wide_(Wide), offer_(Offer) {
    for (const std::string& f : Files) {
        const int n = MultiByteToWideChar(CP_ACP, 0, f.c_str(), static_cast<int>(f.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, f.c_str(), static_cast<int>(f.size()), w.data(), n);
        files_.push_back(w);
    }
}

DropData::DropData(std::vector<std::wstring> Files) : files_(std::move(Files)), wide_(true), offer_(true) {}

DropData::~DropData() {
    for (Owner* o : owners_) delete o;
}

HRESULT DropData::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DropData::Release() { return --refs_; }  // lives on the test's stack

ULONG DropData::Owner::Release() {
    ++data->released_;
    if (memory) GlobalFree(memory);
    memory = nullptr;
    return 1;
}

HRESULT DropData::QueryGetData(FORMATETC* format) {
    if (!offer_ || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
}

HRESULT DropData::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT DropData::GetData(FORMATETC* format, STGMEDIUM* medium) {
    const HRESULT can = QueryGetData(format);
    if (FAILED(can)) return can;
    // DROPFILES, then each name with its terminator, then one more.
    std::vector<char> names;
    for (const std::wstring& f : files_) {
        if (wide_) {
            const char* p = reinterpret_cast<const char*>(f.c_str());
            names.insert(names.end(), p, p + (f.size() + 1) * sizeof(wchar_t));
        } else {
            const int n = WideCharToMultiByte(CP_ACP, 0, f.c_str(), -1, nullptr, 0, nullptr, nullptr);
            std::vector<char> a(static_cast<size_t>(n));
            WideCharToMultiByte(CP_ACP, 0, f.c_str(), -1, a.data(), n, nullptr, nullptr);
            names.insert(names.end(), a.begin(), a.end());
        }
    }
    names.insert(names.end(), wide_ ? sizeof(wchar_t) : 1, '\0');
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = wide_;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);

    auto* owner = new Owner;
    owner->data = this;
    owner->memory = memory;
    owners_.push_back(owner);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = owner;
    ++handed_;
    return S_OK;
}

// ---- the message box ----------------------------------------------------------

namespace {

struct Look {
    DWORD pid;
    HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND w, LPARAM p) {
    auto* look = reinterpret_cast<Look*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid != look->pid || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    look->box = w;
    return FALSE;
}

struct Texts {
    std::string text;
    HICON icon = nullptr;
};

BOOL CALLBACK ReadStatics(HWND c, LPARAM p) {
    auto* t = reinterpret_cast<Texts*>(p);
    char cls[64] = {};
    GetClassNameA(c, cls, sizeof cls);
    if (std::strcmp(cls, "Static") != 0) return TRUE;
    if ((GetWindowLongPtrA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        t->icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
    } else {
        char text[512] = {};
        GetWindowTextA(c, text, sizeof text);
        if (text[0]) t->text = text;
    }
    return TRUE;
}

}  // namespace

BoxWatcher::BoxWatcher() {
    thread_ = std::thread([this] {
        while (!stop_) {
            Look look{GetCurrentProcessId()};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&look));
            if (look.box) {
                char caption[256] = {};
                GetWindowTextA(look.box, caption, sizeof caption);
                Texts t;
                EnumChildWindows(look.box, ReadStatics, reinterpret_cast<LPARAM>(&t));
                Caption = caption;
                Text = t.text;
                Icon = t.icon;
                Owner = GetWindow(look.box, GW_OWNER);
                PostMessageA(look.box, WM_COMMAND, IDOK, 0);
                closed_ = true;
                return;
            }
            Sleep(50);
        }
    });
}

BoxWatcher::~BoxWatcher() {
    stop_ = true;
    thread_.join();
}

bool BoxWatcher::Closed() {
    for (int i = 0; i < 100 && !closed_; ++i) Sleep(50);
    return closed_;
}

}  // namespace bramble::test
