#include "ui/control.h"

#include <windowsx.h>

#include <algorithm>
#include <typeinfo>
#include <unordered_map>

#include "ui/control_internal.h"
#include "ui/forms.h"
#include "ui/menus.h"

namespace bramble {

namespace {

// Kept for the whole run (never freed): windows may still be destroyed while
// the program exits.
std::unordered_map<HWND, TWinControl*>& WindowMap() {
    static auto* m = new std::unordered_map<HWND, TWinControl*>;
    return *m;
}

// The control whose window is being made: the first message to a window of
// ours that is not yet known binds it.
thread_local TWinControl* g_creating = nullptr;

struct ClassInfo {
    WNDPROC base;
};
std::unordered_map<std::string, ClassInfo>& Classes() {
    static auto* m = new std::unordered_map<std::string, ClassInfo>;
    return *m;
}

int NextControlId() {
    static int id = 100;
    if (++id >= 0x7FFF) id = 101;
    return id;
}

void SetMouseControl(TControl* c) {
    if (c == g_mouse_control) return;
    TControl* old = g_mouse_control;
    g_mouse_control = c;
    if (old) old->Perform(CM_MOUSELEAVE);
    // The leave handler may have moved the mouse control on.
    if (c && g_mouse_control == c) c->Perform(CM_MOUSEENTER);
    if (Application) Application->NoteMouseControl(g_mouse_control);
}

// A paint guard: EndPaint and canvas detach run on every way out.
struct PaintScope {
    HWND wnd;
    PAINTSTRUCT ps{};
    HDC dc = nullptr;
    bool own = false;
    PaintScope(HWND w, HDC given) : wnd(w) {
        if (given) {
            dc = given;
        } else {
            dc = BeginPaint(w, &ps);
            own = true;
        }
    }
    ~PaintScope() {
        if (own) EndPaint(wnd, &ps);
    }
};

}  // namespace

TWinControl* FindControl(HWND Handle) {
    if (!Handle) return nullptr;
    auto& m = WindowMap();
    auto it = m.find(Handle);
    return it == m.end() ? nullptr : it->second;
}

LRESULT CALLBACK StdWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    TWinControl* c = FindControl(h);
    if (!c) {
        c = g_creating;
        if (!c) return DefWindowProcA(h, msg, w, l);
        g_creating = nullptr;
        c->handle_ = h;
        WindowMap()[h] = c;
    }
    TMessage m{msg, w, l, 0};
    try {
        if (c->WindowProc)
            c->WindowProc(m);
        else
            c->WndProc(m);
    } catch (...) {
        HandleCallbackException(c);
        if (msg == WM_NCDESTROY) {
            // The window is gone whatever the handler did.
            WindowMap().erase(h);
            if (FindControl(h) == nullptr && c->handle_ == h) c->handle_ = nullptr;
        }
    }
    return m.Result;
}

// ---- TWinControl ------------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
    brush_.SetColor(Color());
}

TWinControl::~TWinControl() {
    Destroying();
    if (TCustomForm* f = ParentForm()) f->ControlGone(this);
    if (capture_control_) capture_control_ = nullptr;
    // Children go first, each taking its own window down.
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        delete c;
    }
    DestroyHandle();
    if (Parent()) Parent()->RemoveControl(this);
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return handle_;
}

void TWinControl::HandleNeeded() {
    if (handle_) return;
    if (Parent()) Parent()->HandleNeeded();
    if (!handle_) CreateHandle();
}

void TWinControl::SetParentWindow(HWND v) {
    if (v == parent_window_) return;
    parent_window_ = v;
    if (handle_ && !Parent()) RecreateWnd();
}

void TWinControl::CreateParams(TCreateParams& P) {
    P.Caption = text_;
    P.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (ControlStyle().contains(csAcceptsControls)) P.Style |= WS_CLIPCHILDREN;
    if (Visible()) P.Style |= WS_VISIBLE;
    if (!Enabled()) P.Style |= WS_DISABLED;
    if (tab_stop_) P.Style |= WS_TABSTOP;
    P.X = Left();
    P.Y = Top();
    P.Width = Width();
    P.Height = Height();
    if (Parent())
        P.WndParent = Parent()->Handle();
    else
        P.WndParent = parent_window_;
    P.ID = NextControlId();
    P.WindowClass = WNDCLASSEXA{};
    P.WindowClass.cbSize = sizeof(WNDCLASSEXA);
    P.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    P.WindowClass.lpfnWndProc = DefWindowProcA;
    P.WindowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    P.WinClassName = std::string("Bramble.") + typeid(*this).name();
}

void TWinControl::CreateSubClass(TCreateParams& P, const char* ClassName) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(nullptr, ClassName, &wc)) {
        HMODULE cc = GetModuleHandleA("comctl32.dll");
        if (!cc || !GetClassInfoExA(cc, ClassName, &wc)) throw EOutOfResources(SWindowClass);
    }
    P.WindowClass = wc;
    P.WindowClass.cbSize = sizeof(WNDCLASSEXA);
    P.WinClassName += std::string(":") + ClassName;
}

void TWinControl::CreateWnd() {
    TCreateParams P;
    CreateParams(P);
    if (P.WndParent == nullptr && (P.Style & WS_CHILD))
        throw EInvalidOperation(Format(SParentRequired, Name().c_str()));
    auto& classes = Classes();
    auto it = classes.find(P.WinClassName);
    if (it == classes.end()) {
        WNDCLASSEXA wc = P.WindowClass;
        WNDPROC base = wc.lpfnWndProc ? wc.lpfnWndProc : DefWindowProcA;
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = StdWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = P.WinClassName.c_str();
        wc.style &= ~CS_GLOBALCLASS;
        wc.lpszMenuName = nullptr;
        if (!RegisterClassExA(&wc)) throw EOutOfResources(SWindowClass);
        it = classes.emplace(P.WinClassName, ClassInfo{base}).first;
    }
    def_wnd_proc_ = it->second.base;
    CreateWindowHandle(P);
}

void TWinControl::CreateWindowHandle(const TCreateParams& P) {
    TWinControl* saved = g_creating;
    g_creating = this;
    HMENU id = (P.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(P.ID)) : nullptr;
    HWND h = CreateWindowExA(P.ExStyle, P.WinClassName.c_str(), P.Caption.c_str(), P.Style, P.X, P.Y, P.Width,
                             P.Height, P.WndParent, id, GetModuleHandleA(nullptr), nullptr);
    if (g_creating == this) g_creating = saved;
    if (!h) throw EOutOfResources(SWindowCreate);
    if (!handle_) {
        handle_ = h;
        WindowMap()[h] = this;
    }
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    TControlState st = ControlState();
    st.insert(csCreating);
    SetControlState(st);
    try {
        CreateWnd();
    } catch (...) {
        st.erase(csCreating);
        SetControlState(st);
        throw;
    }
    st = ControlState();
    st.erase(csCreating);
    SetControlState(st);
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), 0);
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
    Realign();
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    DestroyWnd();
}

void TWinControl::DestroyWnd() {
    if (!handle_) return;
    int len = GetWindowTextLengthA(handle_);
    std::string t(static_cast<size_t>(std::max(len, 0)) + 1, '\0');
    if (len > 0) GetWindowTextA(handle_, t.data(), len + 1);
    t.resize(static_cast<size_t>(std::max(len, 0)));
    text_ = t;
    HWND h = handle_;
    if (Application && Application->Handle() && GetFocus() == h) ::SetFocus(Application->Handle());
    DestroyWindow(h);
    // WM_NCDESTROY normally unbinds; make sure even if it did not arrive.
    WindowMap().erase(h);
    handle_ = nullptr;
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    bool focused = Focused();
    DestroyHandle();
    HandleNeeded();
    if (focused && CanFocus()) ::SetFocus(handle_);
}

void TWinControl::InsertControl(TControl* AControl) {
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
    AControl->parent_ = this;
    controls_.push_back(AControl);
    auto* w = dynamic_cast<TWinControl*>(AControl);
    if (w) tab_list_.push_back(w);
    AControl->ParentFontChanged();
    AControl->ParentColorChanged();
    AControl->Perform(CM_PARENTSHOWHINTCHANGED);
    if (w && handle_) {
        if (w->handle_) {
            ::SetParent(w->handle_, handle_);
        } else {
            w->CreateHandle();
        }
    }
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
    if (AControl->Align() != alNone) AlignControl(AControl);
    if (!w) AControl->Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
    bool quiet = ComponentState().contains(csDestroying);
    if (!quiet) Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
    auto* w = dynamic_cast<TWinControl*>(AControl);
    if (!w && !quiet) AControl->Invalidate();
    if (capture_control_ == AControl) capture_control_ = nullptr;
    if (g_mouse_control == AControl) g_mouse_control = nullptr;
    controls_.erase(std::remove(controls_.begin(), controls_.end(), AControl), controls_.end());
    if (w) {
        tab_list_.erase(std::remove(tab_list_.begin(), tab_list_.end(), w), tab_list_.end());
        // A child window cannot live without its parent's window.
        if (w->handle_ && !w->ComponentState().contains(csDestroying)) w->DestroyHandle();
    }
    AControl->parent_ = nullptr;
    if (!quiet) {
        Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
        if (AControl->Align() != alNone) Realign();
    }
}

bool TWinControl::ContainsControl(const TControl* Control) const {
    for (const TControl* c = Control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        bool windowed = dynamic_cast<TWinControl*>(c) != nullptr;
        if (windowed && !AllowWinControls) continue;
        if (!c->Visible() || (!c->Enabled() && !AllowDisabled)) continue;
        if (!c->BoundsRect().Contains(Pos)) continue;
        if (c->Perform(CM_HITTEST, 0, MAKELPARAM(Pos.X - c->Left(), Pos.Y - c->Top())) == 0) continue;
        return c;
    }
    return nullptr;
}

void TWinControl::Broadcast(TMessage& Message) {
    std::vector<TControl*> list = controls_;
    for (TControl* c : list) {
        if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
        if (c->WindowProc)
            c->WindowProc(Message);
        else
            c->WndProc(Message);
        if (Message.Result != 0) return;
    }
}

void TWinControl::SetTabStop(bool v) {
    if (v == tab_stop_) return;
    tab_stop_ = v;
    if (handle_) {
        LONG s = GetWindowLongA(handle_, GWL_STYLE);
        SetWindowLongA(handle_, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
    }
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    auto& l = Parent()->tab_list_;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TWinControl::SetTabOrder(int v) {
    if (!Parent()) return;
    auto& l = Parent()->tab_list_;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    if (v < 0) v = 0;
    if (v > static_cast<int>(l.size())) v = static_cast<int>(l.size());
    l.insert(l.begin() + v, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
    for (TWinControl* c : tab_list_) {
        List.push_back(c);
        c->GetTabOrderList(List);
    }
}

bool TWinControl::CanFocus() const {
    const TControl* c = this;
    const TControl* top = this;
    for (; c; c = c->Parent()) {
        if (!c->Visible() || !c->Enabled()) return false;
        top = c;
    }
    auto* w = dynamic_cast<const TWinControl*>(top);
    return w && w->handle_ && IsWindowVisible(w->handle_);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation(SCannotFocus);
    ::SetFocus(Handle());
}

bool TWinControl::Showing() const {
    if (!Visible() || !handle_) return false;
    if (Parent()) return Parent()->Showing();
    return IsWindowVisible(handle_) != FALSE;
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height()) return;
    bool sized = AWidth != Width() || AHeight != Height();
    // Keep the fields first: the window's own notifications then see no change.
    TControl::left_ = ALeft;
    TControl::top_ = ATop;
    TControl::width_ = AWidth;
    TControl::height_ = AHeight;
    if (handle_) {
        SetWindowPos(handle_, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RequestAlign();
    if (sized) {
        Realign();
        if (!Silent()) Resize();
    }
}

void TWinControl::UpdateBounds() {
    if (!handle_ || IsIconic(handle_)) return;
    RECT r{};
    GetWindowRect(handle_, &r);
    HWND p = (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) ? GetParent(handle_) : nullptr;
    if (p) MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&r), 2);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (r.left == Left() && r.top == Top() && w == Width() && h == Height()) return;
    bool sized = w != Width() || h != Height();
    TControl::left_ = r.left;
    TControl::top_ = r.top;
    TControl::width_ = w;
    TControl::height_ = h;
    if (sized) {
        Realign();
        if (!Silent()) Resize();
    }
}

TRect TWinControl::ClientRect() {
    if (handle_) {
        RECT r{};
        GetClientRect(handle_, &r);
        return {r.left, r.top, r.right, r.bottom};
    }
    return TControl::ClientRect();
}

TPoint TWinControl::ClientOrigin() const {
    if (handle_) {
        POINT p{0, 0};
        ::ClientToScreen(handle_, &p);
        return {p.x, p.y};
    }
    return TControl::ClientOrigin();
}

void TWinControl::AdjustClientRect(TRect& Rect) {}

void TWinControl::Loaded() {
    TControl::Loaded();
    Realign();
}

void TWinControl::AlignControl(TControl* AControl) {
    if (ComponentState().contains(csDestroying)) return;
    if (align_level_ > 0 || ComponentState().contains(csLoading)) {
        align_needed_ = true;
        return;
    }
    DisableAlign();
    try {
        TRect r = ClientRect();
        AdjustClientRect(r);
        AlignControls(AControl, r);
    } catch (...) {
        align_needed_ = false;
        --align_level_;
        throw;
    }
    align_needed_ = false;
    EnableAlign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::EnableAlign() {
    if (align_level_ > 0 && --align_level_ == 0 && align_needed_) Realign();
}

void TWinControl::AlignControls(TControl* AControl, TRect& R) {
    static const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
    for (TAlign a : order) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->Align() == a && c->Visible()) list.push_back(c);
        auto key = [a](TControl* c) {
            switch (a) {
                case alTop: return c->Top();
                case alBottom: return -(c->Top() + c->Height());
                case alLeft: return c->Left();
                case alRight: return -(c->Left() + c->Width());
                default: return 0;
            }
        };
        std::stable_sort(list.begin(), list.end(), [&](TControl* x, TControl* y) {
            int kx = key(x), ky = key(y);
            if (kx != ky) return kx < ky;
            // The control that just moved takes the place it asked for.
            return x == AControl && y != AControl;
        });
        for (TControl* c : list) {
            int w = c->Width(), h = c->Height();
            switch (a) {
                case alTop:
                    c->SetBounds(R.Left, R.Top, std::max(R.Width(), 0), h);
                    R.Top += c->Height();
                    break;
                case alBottom:
                    c->SetBounds(R.Left, R.Bottom - h, std::max(R.Width(), 0), h);
                    R.Bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBounds(R.Left, R.Top, w, std::max(R.Height(), 0));
                    R.Left += c->Width();
                    break;
                case alRight:
                    c->SetBounds(R.Right - w, R.Top, w, std::max(R.Height(), 0));
                    R.Right -= c->Width();
                    break;
                case alClient:
                    c->SetBounds(R.Left, R.Top, std::max(R.Width(), 0), std::max(R.Height(), 0));
                    break;
                default: break;
            }
        }
    }
}

void TWinControl::SetParent(TWinControl* AParent) {
    if (AParent == Parent()) return;
    TControl::SetParent(AParent);
}

void TWinControl::SetVisible(bool v) {
    if (v == Visible()) return;
    TControl::SetVisible(v);
    UpdateControlState();
}

void TWinControl::UpdateControlState() {
    if (!handle_) {
        if (Visible() && Parent() && Parent()->HandleAllocated()) CreateHandle();
        return;
    }
    if (Visible()) {
        SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    } else {
        if (Focused()) {
            if (TCustomForm* f = ParentForm()) f->ControlGone(this);
        }
        SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    }
}

void TWinControl::SetEnabled(bool v) {
    if (v == Enabled()) return;
    TControl::SetEnabled(v);
    if (handle_) EnableWindow(handle_, v);
}

std::string TWinControl::GetText() const {
    if (!handle_) return text_;
    int len = GetWindowTextLengthA(handle_);
    if (len <= 0) return {};
    std::string t(static_cast<size_t>(len) + 1, '\0');
    int n = GetWindowTextA(handle_, t.data(), len + 1);
    t.resize(static_cast<size_t>(std::max(n, 0)));
    return t;
}

void TWinControl::SetText(const std::string& v) {
    if (v == GetText()) return;
    text_ = v;
    if (handle_) SetWindowTextA(handle_, v.c_str());
    Perform(CM_TEXTCHANGED);
}

HBRUSH TWinControl::BrushHandle() {
    if (brush_.Color() != Color()) brush_.SetColor(Color());
    return brush_.Handle();
}

void TWinControl::ColorChanged() {
    brush_.SetColor(Color());
    TControl::ColorChanged();
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
    TMessage m{CM_PARENTCOLORCHANGED, 0, 0, 0};
    Broadcast(m);
}

void TWinControl::FontChanged() {
    if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
    Perform(CM_FONTCHANGED);
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
    TMessage m{CM_PARENTFONTCHANGED, 0, 0, 0};
    Broadcast(m);
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, !ControlStyle().contains(csOpaque));
}

void TWinControl::Update() {
    if (handle_) UpdateWindow(handle_);
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

void TWinControl::PaintWindow(HDC DC) {}

void TWinControl::PaintHandler(HDC DC) {
    PaintScope scope(handle_, DC);
    if (!scope.dc) return;
    PaintWindow(scope.dc);
    PaintControls(scope.dc, nullptr);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
    bool started = First == nullptr;
    std::vector<TControl*> list = controls_;
    for (TControl* c : list) {
        if (!started) {
            if (c != First) continue;
            started = true;
        }
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        RECT r{c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height()};
        if (!RectVisible(DC, &r)) continue;
        int saved = SaveDC(DC);
        POINT org{};
        GetViewportOrgEx(DC, &org);
        SetViewportOrgEx(DC, org.x + c->Left(), org.y + c->Top(), nullptr);
        IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
        try {
            c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
        } catch (...) {
            RestoreDC(DC, saved);
            throw;
        }
        RestoreDC(DC, saved);
    }
}

// Renders a window and its children, bottom of the Z order first.
static void PrintWindowTree(HWND h, HDC dc, int x, int y) {
    if (!IsWindowVisible(h)) return;
    RECT wr{};
    GetWindowRect(h, &wr);
    POINT client{0, 0};
    ClientToScreen(h, &client);
    int saved = SaveDC(dc);
    POINT org{};
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + x, org.y + y, nullptr);
    SendMessageA(h, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT);
    int cx = client.x - wr.left, cy = client.y - wr.top;
    RECT cr{};
    GetClientRect(h, &cr);
    SetViewportOrgEx(dc, org.x + x + cx, org.y + y + cy, nullptr);
    IntersectClipRect(dc, 0, 0, cr.right, cr.bottom);
    SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SendMessageA(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    RestoreDC(dc, saved);
    // Children are drawn over the parent, the last of the Z order first.
    HWND child = GetWindow(h, GW_CHILD);
    if (!child) return;
    HWND last = GetWindow(child, GW_HWNDLAST);
    saved = SaveDC(dc);
    IntersectClipRect(dc, x + cx, y + cy, x + cx + cr.right, y + cy + cr.bottom);
    for (HWND c = last; c; c = GetWindow(c, GW_HWNDPREV)) {
        RECT r{};
        GetWindowRect(c, &r);
        PrintWindowTree(c, dc, x + (r.left - wr.left), y + (r.top - wr.top));
    }
    RestoreDC(dc, saved);
}

void TWinControl::PaintTo(HDC DC, int X, int Y) {
    if (!handle_) return;
    PrintWindowTree(handle_, DC, X, Y);
}

bool TWinControl::IsMenuKey(WORD Key, TShiftState Shift) {
    TShortCut sc = ShortCut(Key, Shift);
    if (sc == 0) return false;
    for (TControl* c = this; c; c = c->Parent()) {
        if (TPopupMenu* pm = c->PopupMenu())
            if (pm->IsShortCut(sc)) return true;
    }
    TCustomForm* f = ParentForm();
    if (!f) f = dynamic_cast<TCustomForm*>(this);
    return f && f->IsShortCut(Key, Shift);
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift) {
    if (OnKeyDown && !Silent()) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift) {
    if (OnKeyUp && !Silent()) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
    if (OnKeyPress && !Silent()) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
    if (OnEnter && !Silent()) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit && !Silent()) OnExit(this);
}

void TWinControl::Reflect(TMessage& m, HWND child, UINT cn) {
    TWinControl* c = FindControl(child);
    if (c && c != this) {
        m.Result = c->Perform(cn, m.WParam, m.LParam);
        return;
    }
    DefaultHandler(m);
}

void TWinControl::MouseRouting(TMessage& m, bool& handled) {
    handled = false;
    if (!IsMouseMsg(m.Msg)) return;
    TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
    TControl* target = nullptr;
    if (GetCapture() == handle_) {
        if (capture_control_ && capture_control_->Parent() == this) target = capture_control_;
    } else {
        target = ControlAtPos(p, false);
    }
    if (m.Msg == WM_MOUSEMOVE) {
        if (!tracking_leave_) {
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, handle_, 0};
            if (TrackMouseEvent(&t)) tracking_leave_ = true;
        }
        TControl* over = target;
        if (!over) over = capture_control_ ? capture_control_ : ControlAtPos(p, false);
        SetMouseControl(over ? over : this);
    }
    if (!target) return;
    handled = true;
    HWND h = handle_;
    m.Result = target->Perform(m.Msg, m.WParam, MAKELPARAM(p.X - target->Left(), p.Y - target->Top()));
    // The system makes WM_CONTEXTMENU from an unhandled right-button release.
    if (m.Result == 0 && FindControl(h) == this && handle_) DefWindowProcA(h, m.Msg, m.WParam, m.LParam);
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (handle_)
        m.Result = CallWindowProcA(def_wnd_proc_, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CM_SHOWHINTCHANGED: {
            // Every child hears it, whatever the one before answered.
            std::vector<TControl*> list = controls_;
            for (TControl* c : list)
                if (std::find(controls_.begin(), controls_.end(), c) != controls_.end())
                    c->Perform(CM_PARENTSHOWHINTCHANGED);
            return;
        }
        case WM_SETFOCUS:
            if (TCustomForm* f = ParentForm()) f->FocusChanged(this);
            DefaultHandler(m);
            DoEnter();
            return;
        case WM_KILLFOCUS:
            DefaultHandler(m);
            DoExit();
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = static_cast<WORD>(m.WParam);
            TShiftState shift = KeyboardShiftState();
            if (m.LParam & (1 << 29)) shift.insert(ssAlt);
            TCustomForm* f = ParentForm();
            if (f && f != this && f->KeyPreview() && f->PreviewKeyDown(key, shift)) return;
            if (key) KeyDown(key, shift);
            if (key == 0) return;
            m.WParam = key;
            break;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            WORD key = static_cast<WORD>(m.WParam);
            KeyUp(key, KeyboardShiftState());
            if (key == 0) return;
            m.WParam = key;
            break;
        }
        case WM_CHAR: {
            char ch = static_cast<char>(m.WParam);
            KeyPress(ch);
            if (ch == 0) return;
            m.WParam = static_cast<unsigned char>(ch);
            break;
        }
        case CN_KEYDOWN:
        case CN_SYSKEYDOWN: {
            WORD key = static_cast<WORD>(m.WParam);
            TShiftState shift = KeyboardShiftState();
            if (m.Msg == CN_SYSKEYDOWN || (m.LParam & (1 << 29))) shift.insert(ssAlt);
            m.Result = 1;
            if (IsMenuKey(key, shift)) return;
            if (m.Msg == CN_KEYDOWN) {
                LRESULT mask = 0;
                switch (key) {
                    case VK_TAB: mask = DLGC_WANTTAB; break;
                    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
                    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
                    default: break;
                }
                if (mask && Perform(CM_WANTSPECIALKEY, key) == 0 && (Perform(WM_GETDLGCODE) & mask) == 0) {
                    TCustomForm* f = ParentForm();
                    if (!f) f = dynamic_cast<TCustomForm*>(this);
                    if (f && f->Perform(CM_DIALOGKEY, key, m.LParam) != 0) return;
                }
            }
            m.Result = 0;
            return;
        }
        case CN_CHAR:
        case CN_SYSCHAR: {
            m.Result = 0;
            bool alt = m.Msg == CN_SYSCHAR;
            if (alt || (Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) == 0) {
                TCustomForm* f = ParentForm();
                if (!f) f = dynamic_cast<TCustomForm*>(this);
                if (f && f->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) m.Result = 1;
            }
            return;
        }
        case CM_DIALOGKEY:
        case CM_DIALOGCHAR:
            Broadcast(m);
            return;
        case WM_COMMAND:
            if (m.LParam) {
                Reflect(m, reinterpret_cast<HWND>(m.LParam), CN_COMMAND);
                return;
            }
            break;
        case WM_NOTIFY:
            Reflect(m, reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom, CN_NOTIFY);
            return;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (m.LParam) {
                Reflect(m, reinterpret_cast<HWND>(m.LParam), CN_BASE + m.Msg);
                return;
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            Reflect(m, reinterpret_cast<HWND>(m.LParam), CN_BASE + m.Msg);
            return;
        case CN_CTLCOLOREDIT:
        case CN_CTLCOLORLISTBOX:
        case CN_CTLCOLORBTN:
        case CN_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(m.WParam);
            SetTextColor(dc, ColorToRGB(Font().Color()));
            SetBkColor(dc, ColorToRGB(Color()));
            m.Result = reinterpret_cast<LRESULT>(BrushHandle());
            return;
        }
        case WM_DRAWITEM: {
            auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
            if (d->CtlType != ODT_MENU) {
                Reflect(m, d->hwndItem, CN_DRAWITEM);
                return;
            }
            break;
        }
        case WM_MEASUREITEM: {
            auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            if (mi->CtlType != ODT_MENU) {
                Reflect(m, GetDlgItem(handle_, static_cast<int>(mi->CtlID)), CN_MEASUREITEM);
                return;
            }
            break;
        }
        case WM_PAINT:
            if (OwnClass()) {
                PaintHandler(reinterpret_cast<HDC>(m.WParam));
                return;
            }
            break;
        case WM_PRINTCLIENT:
            if (OwnClass()) {
                PaintHandler(reinterpret_cast<HDC>(m.WParam));
                return;
            }
            break;
        case WM_ERASEBKGND:
            if (OwnClass()) {
                RECT r{};
                GetClientRect(handle_, &r);
                FillRect(reinterpret_cast<HDC>(m.WParam), &r, BrushHandle());
                m.Result = 1;
                return;
            }
            break;
        case WM_WINDOWPOSCHANGED:
        case WM_SIZE:
        case WM_MOVE:
            DefaultHandler(m);
            UpdateBounds();
            return;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(m.WParam) == handle_ && LOWORD(m.LParam) == HTCLIENT && Screen) {
                TCursor cur = Screen->Cursor();
                if (cur == crDefault) {
                    POINT p{};
                    GetCursorPos(&p);
                    TPoint cp = ScreenToClient({p.x, p.y});
                    TControl* c = ControlAtPos(cp, false);
                    cur = (c ? c : this)->Cursor();
                }
                if (cur != crDefault) {
                    ::SetCursor(Screen->Cursors(cur));
                    m.Result = 1;
                    return;
                }
            }
            break;
        case WM_CONTEXTMENU: {
            TPoint sp{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
            bool keyboard = sp.X == -1 && sp.Y == -1;
            TControl* c = this;
            if (!keyboard) {
                if (TControl* g = ControlAtPos(ScreenToClient(sp), false)) c = g;
            }
            for (TControl* x = c; x; x = (x == this ? nullptr : x->Parent())) {
                TPopupMenu* pm = x->PopupMenu();
                if (pm && pm->AutoPopup()) {
                    if (keyboard) sp = x->ClientToScreen({x->Width() / 2, x->Height() / 2});
                    pm->SetPopupComponent(x);
                    pm->Popup(sp.X, sp.Y);
                    m.Result = 1;
                    return;
                }
            }
            break;
        }
        case WM_MOUSELEAVE:
            tracking_leave_ = false;
            if (g_mouse_control == this || (g_mouse_control && g_mouse_control->Parent() == this &&
                                            !dynamic_cast<TWinControl*>(g_mouse_control)))
                SetMouseControl(nullptr);
            return;
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE:
            capture_control_ = nullptr;
            break;
        case WM_SYSCOLORCHANGE: {
            TMessage cm{CM_SYSCOLORCHANGE, 0, 0, 0};
            Broadcast(cm);
            break;
        }
        case WM_NCDESTROY: {
            HWND h = handle_;
            DefaultHandler(m);
            WindowMap().erase(h);
            handle_ = nullptr;
            tracking_leave_ = false;
            return;
        }
        default:
            break;
    }
    if (IsMouseMsg(m.Msg)) {
        bool handled = false;
        TAliveToken alive = AliveToken();
        MouseRouting(m, handled);
        if (handled || !alive.Alive()) return;
        if ((m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && OwnClass() && tab_stop_ && !Focused() &&
            CanFocus())
            ::SetFocus(handle_);
    }
    TControl::WndProc(m);
}

}  // namespace bramble
