#include "kits/menu/menustate.h"

#include "kits/menu/popupmenu.h"
#include "ui/forms.h"

namespace bramble {

namespace {

TCustomPopupMenu2000* g_active = nullptr;
bool g_saving = true;
int g_caret_hidden = 0;
HHOOK g_msg_hook = nullptr;
int g_msg_hook_count = 0;
bool g_alt_used = false;  // a key pressed under the held Alt went to the menus
constexpr const char* kKeyTemplate = "Software\\Tellwick\\$(APPNAME)\\MenuOrder\\";

// A pump that will not run away: at most this many messages per call.
constexpr int kPumpLimit = 256;

void PumpOnly(UINT Msg) {
    MSG m;
    for (int n = 0; n < kPumpLimit && PeekMessage(&m, nullptr, Msg, Msg, PM_REMOVE); ++n) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        DispatchMessage(&m);
    }
    // A WM_QUIT waits in its own place: a peek of paint messages never
    // removes it.
}

bool IsPress(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK || (m >= WM_RBUTTONDOWN && m <= WM_MBUTTONDBLCLK) ||
           m == WM_NCLBUTTONDOWN || (m >= WM_NCRBUTTONDOWN && m <= WM_NCMBUTTONDBLCLK);
}

bool IsKey(UINT m) {
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_CHAR || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

bool IsFloatingMenuWindow(HWND w) {
    HWND root = GetAncestor(w, GA_ROOT);
    char cls[64] = {};
    GetClassNameA(root, cls, sizeof(cls));
    return lstrcmpA(cls, "TPopupMenu2000Form") == 0 && (GetWindowLongPtrA(root, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

bool IsKitPopupWindow(HWND w) {
    for (TPopupMenu2000Form* f = g_active ? g_active->Window() : nullptr; f; f = f->ChildForm())
        if (f->Handle() == w) return true;
    return false;
}

// Whether the press lands on the control that opened the popup (a
// drop-down button): that press only closes the menu.
bool PressOnOpener(const MSG& Msg) {
    if (!g_active) return false;
    auto* c = dynamic_cast<TControl*>(g_active->PopupComponent());
    if (!c) return false;
    POINT pt = Msg.pt;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        if (!w->HandleAllocated()) return false;
        RECT r;
        GetWindowRect(w->Handle(), &r);
        return PtInRect(&r, pt) != 0;
    }
    TWinControl* parent = c->Parent();
    if (!parent || !parent->HandleAllocated() || Msg.hwnd != parent->Handle()) return false;
    POINT client = pt;
    ScreenToClient(parent->Handle(), &client);
    TRect b = c->BoundsRect();
    return client.x >= b.Left && client.x < b.Right && client.y >= b.Top && client.y < b.Bottom;
}

// A key to the open menu, else to the first bar that takes keys; a key
// one of them used becomes WM_NULL.
void RouteKey(MSG& m) {
    if (IsActivePopupOpen()) {
        TCustomPopupMenu2000* popup = g_active;
        if (TPopupMenu2000Form* f = popup->GetDeepestForm()) {
            if (f->KeyMessage(m)) m.message = WM_NULL;
            else if (popup->Bar && f == popup->Window() && popup->Bar->BarKeyMessage(m)) m.message = WM_NULL;
        }
        return;
    }
    for (TMenuBarLink* b : std::vector<TMenuBarLink*>(MenuBars())) {
        if (!b->AcceptsKeys()) continue;
        if (b->BarKeyMessage(m)) {
            m.message = WM_NULL;
            return;
        }
    }
}

LRESULT CALLBACK GetMessageHook(int Code, WPARAM W, LPARAM L) {
    // Only messages taken off the queue: a peek that leaves the message
    // there sees it again when it is really retrieved.
    if (Code < 0 || W != PM_REMOVE) return CallNextHookEx(g_msg_hook, Code, W, L);
    MSG& m = *reinterpret_cast<MSG*>(L);
    CallGuarded(nullptr, [&] {
        // Another program's turn, or a minimised window: the menus keep out.
        HWND active = GetActiveWindow();
        if (!Application || !Application->Active() || (active && IsIconic(active))) return;
        if (IsPress(m.message)) {
            if (IsKitPopupWindow(m.hwnd)) return;
            if (IsFloatingMenuWindow(m.hwnd)) return;
            for (TMenuBarLink* b : MenuBars())
                if (b->OwnsWindow(m.hwnd)) return;
            // Also with no menu open: a bar left pressed or in menu mode, or
            // a caret the menus hid, must not outlive a press elsewhere.
            bool opener = IsActivePopupOpen() && PressOnOpener(m);
            CloseActiveMenus(true);
            for (TMenuBarLink* b : MenuBars()) b->ClearPressed();
            RestoreCaret();
            if (opener) {
                // Handled after Popup returns, where the opener drops it.
                PostMessage(m.hwnd, m.message, m.wParam, m.lParam);
                m.message = WM_NULL;
            }
        } else if (IsKey(m.message)) {
            bool alt = m.wParam == VK_MENU || m.wParam == VK_LMENU || m.wParam == VK_RMENU;
            bool altUp = alt && (m.message == WM_KEYUP || m.message == WM_SYSKEYUP);
            if (alt && m.message == WM_SYSKEYDOWN && !(HIWORD(m.lParam) & KF_REPEAT)) g_alt_used = false;
            RouteKey(m);
            // The window's own key handling never saw the keys the menus
            // took under Alt: given Alt's release, it would take Alt as
            // pressed alone and start the platform's keyboard menu, whose
            // loop holds up ours (and the chosen command) until the next Alt.
            if (altUp) {
                if (g_alt_used) m.message = WM_NULL;
                g_alt_used = false;
            } else if (m.message == WM_NULL && (HIWORD(m.lParam) & KF_ALTDOWN)) {
                g_alt_used = true;
            }
        }
    });
    return CallNextHookEx(g_msg_hook, Code, W, L);
}

}  // namespace

std::vector<TMenuBarLink*>& MenuBars() {
    static auto* bars = new std::vector<TMenuBarLink*>;
    return *bars;
}

HWND MenuBarWindowOf(TMenu* Menu) {
    if (!Menu) return nullptr;
    for (TMenuBarLink* b : MenuBars())
        if (b->BarMenu() == Menu) return b->BarHandle();
    return nullptr;
}

TCustomPopupMenu2000* ActivePopup() { return g_active; }
void SetActivePopup(TCustomPopupMenu2000* Popup) { g_active = Popup; }

bool IsActivePopupOpen() { return g_active && g_active->IsFormOpen(); }

void CloseActiveMenus(bool AlsoBars, bool Fade) {
    if (IsActivePopupOpen()) {
        ShowStatusHint("", g_active->StatusBar(), g_active->StatusBarIndex);
        TPopupMenu2000Form* w = g_active->Window();
        w->MarkClosing();
        SendMessage(w->Handle(), LFM_STOPTIMER, 0, 0);
        SendMessage(w->Handle(), LFM_CLOSE, 0, Fade ? 1 : 0);
    }
    if (AlsoBars)
        for (TMenuBarLink* b : std::vector<TMenuBarLink*>(MenuBars())) b->ExitMenuMode();
    g_active = nullptr;
}

std::string MenuOrderKeyName(const std::string& MenuName) {
    static std::string prefix = [] {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string exe = path;
        size_t slash = exe.find_last_of("\\/");
        if (slash != std::string::npos) exe = exe.substr(slash + 1);
        std::string t = kKeyTemplate;
        t.replace(t.find("$(APPNAME)"), 10, exe);
        return t;
    }();
    return prefix + MenuName;
}

bool OpenMenuOrderKey(TRegistry& Registry, const std::string& MenuName) {
    Registry.SetRootKey(HKEY_CURRENT_USER);
    return Registry.OpenKey(MenuOrderKeyName(MenuName), true);
}

namespace {

void LoadItems(TMenuItem* Item, TRegistry& R) {
    if (auto* k = dynamic_cast<TMenuItem2000*>(Item)) k->LoadState(R);
    for (int i = 0; i < Item->Count(); ++i) LoadItems(Item->Items(i), R);
}

}  // namespace

void LoadMenuState(TMenu* Menu) {
    if (!Menu || Menu->Name().empty()) return;
    try {
        TRegistry r;
        if (!OpenMenuOrderKey(r, Menu->Name())) return;
        LoadItems(Menu->Items(), r);
    } catch (const std::exception&) {
        // An unreadable key leaves the items as they are.
    }
}

void SaveMenuItemState(TMenuItem2000* Item) {
    if (!g_saving || !Item || Item->Name().empty()) return;
    TMenu* menu = Item->GetParentMenu();
    if (!menu || menu->Name().empty()) return;
    try {
        TRegistry r;
        if (OpenMenuOrderKey(r, menu->Name())) Item->SaveState(r);
    } catch (const std::exception&) {
    }
}

void SetStateSaving(bool On) { g_saving = On; }

void ProcessPaintMessages() { PumpOnly(WM_PAINT); }
void ProcessMouseMoveMessages() { PumpOnly(WM_MOUSEMOVE); }

void HideCaretCounted() {
    if (HideCaret(nullptr)) ++g_caret_hidden;
}

void RestoreCaret() {
    while (g_caret_hidden > 0) {
        ShowCaret(nullptr);
        --g_caret_hidden;
    }
}

void ShowStatusHint(const std::string& Text, TStatusBar* Bar, int Index) {
    if (!Bar) return;
    std::string t = GetLongHint(Text);
    std::string out;
    for (size_t i = 0; i < t.size();) {
        if (t.compare(i, 2, "&#") == 0) {
            out += ' ';  // "&#" and the three characters after it
            i += 5;
            continue;
        }
        out += t[i++];
    }
    size_t b = out.find_first_not_of(' '), e = out.find_last_not_of(' ');
    out = b == std::string::npos ? std::string() : out.substr(b, e - b + 1);
    if (Bar->SimplePanel()) Bar->SetSimpleText(out);
    else if (Index >= 0 && Index < Bar->Panels().Count()) Bar->Panels().Items(Index)->SetText(out);
}

HFONT CreateMenuFont() {
    NONCLIENTMETRICSA m{};
    m.cbSize = sizeof(m);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0)) {
        if (HFONT f = CreateFontIndirectA(&m.lfMenuFont)) return f;
    }
    return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

namespace {

constexpr UINT kRunLater = WM_APP + 0x51;
std::vector<std::function<void()>>& LaterQueue() {
    static auto* q = new std::vector<std::function<void()>>;
    return *q;
}

LRESULT CALLBACK RunnerProc(HWND W, UINT Msg, WPARAM Wp, LPARAM Lp) {
    if (Msg != kRunLater) return DefWindowProcA(W, Msg, Wp, Lp);
    std::vector<std::function<void()>> jobs;
    jobs.swap(LaterQueue());
    for (auto& j : jobs) CallGuarded(nullptr, [&] { j(); });
    return 0;
}

HWND Runner() {
    static HWND w = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = RunnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Bramble.MenuRunner";
        RegisterClassA(&wc);
        return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    return w;
}

}  // namespace

void RunLater(std::function<void()> F) {
    LaterQueue().push_back(std::move(F));
    PostMessage(Runner(), kRunLater, 0, 0);
}

void InstallGetMessageHook() {
    if (g_msg_hook_count++ == 0)
        g_msg_hook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
}

void RemoveGetMessageHook() {
    if (g_msg_hook_count > 0 && --g_msg_hook_count == 0 && g_msg_hook) {
        UnhookWindowsHookEx(g_msg_hook);
        g_msg_hook = nullptr;
    }
}

}  // namespace bramble
