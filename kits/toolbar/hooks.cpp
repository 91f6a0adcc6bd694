#include "kits/toolbar/hooks.h"

#include "ui/control.h"

#include <algorithm>

namespace bramble {

namespace {

struct Registration {
    THookProc proc;
    int count;
    THookCodes codes;
    // The hook kinds each registration added, so that the matching
    // unregistration takes back exactly those.
    std::vector<uint8_t> kindsAdded;
};

struct HookKind {
    int id;
    HOOKPROC proc;
    HHOOK handle = nullptr;
    int uses = 0;
};

std::vector<Registration>* g_list = nullptr;

LRESULT CALLBACK CallWndProcHook(int Code, WPARAM W, LPARAM L);
LRESULT CALLBACK CbtHook(int Code, WPARAM W, LPARAM L);
LRESULT CALLBACK GetMessageHook(int Code, WPARAM W, LPARAM L);

HookKind g_kinds[3] = {{WH_CALLWNDPROC, CallWndProcHook}, {WH_CBT, CbtHook}, {WH_GETMESSAGE, GetMessageHook}};

uint8_t KindsOf(THookCodes codes) {
    uint8_t k = 0;
    if (codes & (HookBit(hookActivateApp) | HookBit(hookWindowPosChanged))) k |= 1;
    if (codes & HookBit(hookWindowDestroying)) k |= 2;
    if (codes & HookBit(hookMouseMove)) k |= 4;
    return k;
}

// Calls every callback that wants Code, over a copy of the list: a callback
// may register or unregister others (or itself) while this runs.
void Dispatch(THookCode code, HWND wnd, WPARAM w, LPARAM l) {
    if (!g_list) return;
    std::vector<THookProc> snapshot;
    for (const Registration& r : *g_list)
        if (r.codes & HookBit(code)) snapshot.push_back(r.proc);
    for (THookProc p : snapshot) {
        if (!g_list) return;
        bool still = std::any_of(g_list->begin(), g_list->end(), [&](const Registration& r) { return r.proc == p; });
        if (still) p(code, wnd, w, l);
    }
}

LRESULT CALLBACK CallWndProcHook(int Code, WPARAM W, LPARAM L) {
    HHOOK self = g_kinds[0].handle;
    if (g_list && Code == HC_ACTION) {
        auto* c = reinterpret_cast<CWPSTRUCT*>(L);
        if (c->message == WM_ACTIVATEAPP)
            Dispatch(hookActivateApp, c->hwnd, c->wParam, c->lParam);
        else if (c->message == WM_WINDOWPOSCHANGED)
            Dispatch(hookWindowPosChanged, c->hwnd, c->wParam, c->lParam);
    }
    return CallNextHookEx(self, Code, W, L);
}

LRESULT CALLBACK CbtHook(int Code, WPARAM W, LPARAM L) {
    HHOOK self = g_kinds[1].handle;
    if (g_list && Code == HCBT_DESTROYWND) Dispatch(hookWindowDestroying, reinterpret_cast<HWND>(W), 0, 0);
    return CallNextHookEx(self, Code, W, L);
}

LRESULT CALLBACK GetMessageHook(int Code, WPARAM W, LPARAM L) {
    HHOOK self = g_kinds[2].handle;
    if (g_list && Code == HC_ACTION) {
        auto* m = reinterpret_cast<MSG*>(L);
        if (m->message == WM_MOUSEMOVE) Dispatch(hookMouseMove, m->hwnd, m->wParam, m->lParam);
    }
    return CallNextHookEx(self, Code, W, L);
}

// Removes the hooks whatever their counts when the program ends.
struct HookCleanup {
    ~HookCleanup() {
        for (HookKind& k : g_kinds) {
            if (k.handle) UnhookWindowsHookEx(k.handle);
            k.handle = nullptr;
            k.uses = 0;
        }
        delete g_list;
        g_list = nullptr;
    }
} g_cleanup;

}  // namespace

void RegisterHookCallback(THookProc Proc, THookCodes Codes, bool Designing) {
    if (!g_list) g_list = new std::vector<Registration>;
    auto it = std::find_if(g_list->begin(), g_list->end(), [&](const Registration& r) { return r.proc == Proc; });
    if (it == g_list->end()) {
        g_list->push_back({Proc, 0, Codes, {}});
        it = g_list->end() - 1;
    }
    ++it->count;
    uint8_t kinds = Designing ? 0 : KindsOf(Codes);
    it->kindsAdded.push_back(kinds);
    for (int k = 0; k < 3; ++k) {
        if (!(kinds & (1 << k))) continue;
        ++g_kinds[k].uses;
        if (!g_kinds[k].handle)
            g_kinds[k].handle = SetWindowsHookExA(g_kinds[k].id, g_kinds[k].proc, nullptr, GetCurrentThreadId());
    }
}

void UnregisterHookCallback(THookProc Proc) {
    if (!g_list) return;
    auto it = std::find_if(g_list->begin(), g_list->end(), [&](const Registration& r) { return r.proc == Proc; });
    if (it != g_list->end()) {
        // Only the kinds this registration added come back off: a kind
        // another registration still needs keeps its hook.
        uint8_t kinds = it->kindsAdded.back();
        it->kindsAdded.pop_back();
        if (--it->count <= 0) g_list->erase(it);
        for (int k = 0; k < 3; ++k) {
            if (!(kinds & (1 << k))) continue;
            if (g_kinds[k].uses > 0) --g_kinds[k].uses;
            if (g_kinds[k].uses == 0 && g_kinds[k].handle) {
                UnhookWindowsHookEx(g_kinds[k].handle);
                g_kinds[k].handle = nullptr;
            }
        }
    }
    if (g_list->empty()) {
        delete g_list;
        g_list = nullptr;
    }
}

int HookRegistrations(THookProc Proc) {
    if (!g_list) return 0;
    for (const Registration& r : *g_list)
        if (r.proc == Proc) return r.count;
    return 0;
}

bool HookInstalled(int Kind) { return Kind >= 0 && Kind < 3 && g_kinds[Kind].handle != nullptr; }

bool HasActiveWindow() { return GetActiveWindow() != nullptr; }

namespace {
void QuickSortRange(std::vector<void*>& l, int lo, int hi, const std::function<int(void*, void*)>& cmp) {
    while (lo < hi) {
        int i = lo, j = hi;
        void* pivot = l[static_cast<size_t>((lo + hi) / 2)];
        while (i <= j) {
            while (cmp(l[static_cast<size_t>(i)], pivot) < 0) ++i;
            while (cmp(l[static_cast<size_t>(j)], pivot) > 0) --j;
            if (i <= j) {
                std::swap(l[static_cast<size_t>(i)], l[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        }
        if (j > lo) QuickSortRange(l, lo, j, cmp);
        lo = i;
    }
}
}  // namespace

void QuickSortList(std::vector<void*>& List, const std::function<int(void*, void*)>& Compare) {
    if (List.size() < 2) return;
    QuickSortRange(List, 0, static_cast<int>(List.size()) - 1, Compare);
}

void ClipToNonClientUpdate(HWND Wnd, HDC DC, HRGN Update) {
    if (reinterpret_cast<UINT_PTR>(Update) <= 1) return;
    RECT r{};
    GetWindowRect(Wnd, &r);
    if (SelectClipRgn(DC, Update) == ERROR) {
        HRGN whole = CreateRectRgnIndirect(&r);
        SelectClipRgn(DC, whole);
        DeleteObject(whole);
    }
    OffsetClipRgn(DC, -r.left, -r.top);
}

namespace {
void PrintChild(HWND parent, HWND child, HDC dc, LPARAM flags) {
    if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) return;
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const int saved = SaveDC(dc);
    POINT org{};
    GetWindowOrgEx(dc, &org);
    SetWindowOrgEx(dc, org.x - r.left, org.y - r.top, nullptr);
    IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    SendMessageA(child, WM_PRINT, reinterpret_cast<WPARAM>(dc), flags);
    RestoreDC(dc, saved);
}

BOOL CALLBACK CollectWindow(HWND h, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
    return TRUE;
}
}  // namespace

LRESULT AnswerPrintMessage(HWND Wnd, WPARAM WParam, LPARAM Flags, const TNCPaintProc& NCPaint) {
    HDC dc = reinterpret_cast<HDC>(WParam);
    if ((Flags & PRF_CHECKVISIBLE) && !IsWindowVisible(Wnd)) return 1;
    const int outer = SaveDC(dc);
    if ((Flags & PRF_NONCLIENT) && NCPaint) {
        const int s = SaveDC(dc);
        NCPaint(Wnd, dc);
        RestoreDC(dc, s);
    }
    RECT wr{};
    GetWindowRect(Wnd, &wr);
    POINT co{0, 0};
    ClientToScreen(Wnd, &co);
    const int dx = co.x - wr.left, dy = co.y - wr.top;
    if (Flags & PRF_CLIENT) {
        auto send = [&](UINT msg) {
            const int s = SaveDC(dc);
            if (Flags & PRF_NONCLIENT) {
                POINT o{};
                GetWindowOrgEx(dc, &o);
                SetWindowOrgEx(dc, o.x - dx, o.y - dy, nullptr);
            }
            SendMessageA(Wnd, msg, WParam, msg == WM_PRINTCLIENT ? Flags : 0);
            RestoreDC(dc, s);
        };
        if (Flags & PRF_ERASEBKGND) send(WM_ERASEBKGND);
        send(WM_PRINTCLIENT);
        if (Flags & PRF_NONCLIENT) {
            POINT o{};
            GetWindowOrgEx(dc, &o);
            SetWindowOrgEx(dc, o.x - dx, o.y - dy, nullptr);
        }
        if (Flags & PRF_CHILDREN) {
            std::vector<HWND> kids;
            for (HWND c = GetWindow(Wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) kids.push_back(c);
            // Bottom of the Z order first, so that upper windows paint over.
            for (auto it = kids.rbegin(); it != kids.rend(); ++it)
                if (GetParent(*it) == Wnd) PrintChild(Wnd, *it, dc, PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT | PRF_CHILDREN);
        }
        if (Flags & PRF_OWNED) {
            // The thread's top-level windows owned by this one (floating
            // bars of a form, say), with the caller's flags.
            std::vector<HWND> owned;
            EnumThreadWindows(GetWindowThreadProcessId(Wnd, nullptr), CollectWindow, reinterpret_cast<LPARAM>(&owned));
            // Bottom of the Z order first, as with the children.
            for (auto it = owned.rbegin(); it != owned.rend(); ++it)
                if (*it != Wnd && GetWindow(*it, GW_OWNER) == Wnd) PrintChild(Wnd, *it, dc, Flags);
        }
    }
    RestoreDC(dc, outer);
    return 1;
}

void AnswerPrintClientMessage(TWinControl* Control, TMessage& Message) {
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    const int saved = SaveDC(dc);
    try {
        Control->Perform(WM_PAINT, Message.WParam, 0);
    } catch (...) {
        RestoreDC(dc, saved);
        throw;
    }
    RestoreDC(dc, saved);
    Message.Result = 0;
}

std::string SkiffbarVersion() { return "Skiffbar version 1.75"; }

}  // namespace bramble
