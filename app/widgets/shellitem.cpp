#include "app/widgets/shellitem.h"

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <cstring>

#include "ui/graphics.h"

namespace bramble {

namespace {

std::atomic<int> g_live{0};

// A leak of folder data is a programming error to see while debugging. At
// the end of the program no one is left to catch ELeaking: raised there it
// would turn a clean exit into a crash, so its message goes to the
// debugger instead.
struct LeakCheck {
    ~LeakCheck() {
        try {
            TFolderItemData::CheckAllFreed();
        } catch (const ELeaking& e) {
            OutputDebugStringA(e.what());
        }
    }
} g_leak_check;

const SHITEMID* Next(const SHITEMID* p) {
    return reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(p) + p->cb);
}

}  // namespace

size_t PidlSize(LPCITEMIDLIST P) {
    if (!P) return 0;
    size_t n = sizeof(USHORT);
    for (const SHITEMID* p = &P->mkid; p->cb; p = Next(p)) n += p->cb;
    return n;
}

int PidlCount(LPCITEMIDLIST P) {
    int n = 0;
    if (P)
        for (const SHITEMID* p = &P->mkid; p->cb; p = Next(p)) ++n;
    return n;
}

bool PidlEmpty(LPCITEMIDLIST P) { return !P || P->mkid.cb == 0; }

static LPITEMIDLIST Alloc(size_t n) {
    auto* p = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(n));
    if (p) std::memset(p, 0, n);
    return p;
}

LPITEMIDLIST PidlClone(LPCITEMIDLIST P) {
    const size_t n = P ? PidlSize(P) : sizeof(USHORT);
    LPITEMIDLIST r = Alloc(n);
    if (r && P) std::memcpy(r, P, n);
    return r;
}

LPITEMIDLIST PidlConcat(LPCITEMIDLIST A, LPCITEMIDLIST B) {
    const size_t a = A ? PidlSize(A) - sizeof(USHORT) : 0;
    const size_t b = B ? PidlSize(B) : sizeof(USHORT);
    LPITEMIDLIST r = Alloc(a + b);
    if (!r) return nullptr;
    if (a) std::memcpy(r, A, a);
    if (B) std::memcpy(reinterpret_cast<BYTE*>(r) + a, B, b);
    return r;
}

LPITEMIDLIST PidlItem(LPCITEMIDLIST P, int Index) {
    const SHITEMID* p = &P->mkid;
    for (int i = 0; i < Index && p->cb; ++i) p = Next(p);
    LPITEMIDLIST r = Alloc(p->cb + sizeof(USHORT));
    if (r) std::memcpy(r, p, p->cb);
    return r;
}

void PidlFree(LPITEMIDLIST P) {
    if (P) CoTaskMemFree(P);
}

std::string PidlPath(LPCITEMIDLIST Absolute) {
    char buf[MAX_PATH + 1] = {};
    if (!Absolute || !SHGetPathFromIDListA(Absolute, buf)) return "";
    return buf;
}

std::wstring Widen(const std::string& S) {
    if (S.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), w.data(), n);
    return w;
}

static std::string Narrow(const wchar_t* W) {
    if (!W || !*W) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, W, -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, W, -1, s.data(), n, nullptr, nullptr);
    return s;
}

std::string StrRetText(STRRET& S, LPCITEMIDLIST Item) {
    switch (S.uType) {
        case STRRET_WSTR: {
            std::string r = Narrow(S.pOleStr);
            CoTaskMemFree(S.pOleStr);
            S.pOleStr = nullptr;
            return r;
        }
        case STRRET_OFFSET:
            return Item ? std::string(reinterpret_cast<const char*>(Item) + S.uOffset) : std::string();
        case STRRET_CSTR: return std::string(S.cStr);
        default: return {};
    }
}

TFolderItemData::TFolderItemData() { ++g_live; }

TFolderItemData::~TFolderItemData() {
    PidlFree(Relative);
    PidlFree(Absolute);
    --g_live;
}

int TFolderItemData::Live() { return g_live.load(); }

void TFolderItemData::CheckAllFreed() {
    if (g_live.load() != 0) throw ELeaking();
}

void AttachSystemImages(TCustomImageList& Small, TCustomImageList& Large) {
    // The Windows folder is asked because it always exists; any path gives
    // the same system lists.
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, MAX_PATH);
    for (auto* list : {&Small, &Large}) {
        SHFILEINFOA sfi{};
        const UINT size = list == &Small ? SHGFI_SMALLICON : SHGFI_LARGEICON;
        auto sys = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(windir, 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | size));
        list->SetShareImages(true);
        if (sys) {
            int w = 16, h = 16;
            ImageList_GetIconSize(sys, &w, &h);
            list->SetWidth(w);
            list->SetHeight(h);
            list->SetHandle(sys);
        }
    }
}

}  // namespace bramble
