#include "kits/toolbar/button.h"

#include <algorithm>
#include <map>
#include <vector>

#include "kits/toolbar/layout.h"
#include "kits/toolbar/toolwindow.h"

#include <windowsx.h>  // after the window layer: its macros clash with some names there

namespace bramble {

namespace {

int g_buttons = 0;
TToolbarButton97* g_hot = nullptr;
UINT_PTR g_track_timer = 0;
std::map<UINT_PTR, TToolbarButton97*> g_repeat_timers;

// The 8 x 8 face of a down button: pixels whose row and column have the
// same parity in the highlight colour, the others in the face colour.
// Made once for all buttons; a system colour change makes it again.
HBRUSH g_checker = nullptr;

void FreeCheckerBrush() {
    if (g_checker) DeleteObject(g_checker);
    g_checker = nullptr;
}

HBRUSH CheckerBrush() {
    if (g_checker) return g_checker;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP color = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, color);
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ::SetPixel(dc, x, y, (x & 1) == (y & 1) ? hi : face);
    SelectObject(dc, old);
    DeleteDC(dc);
    g_checker = CreatePatternBrush(color);
    DeleteObject(color);
    return g_checker;
}

constexpr THookCodes kHooks = HookBit(hookActivateApp) | HookBit(hookMouseMove);

TControl* ControlUnderCursor() {
    POINT p{};
    GetCursorPos(&p);
    return FindDragTarget({p.x, p.y}, true);
}

// The dock orientation of the tool window a control sits in, if docked.
const TDock97* DockOf(const TControl* c) {
    for (const TWinControl* p = c->Parent(); p; p = p->Parent())
        if (auto* t = dynamic_cast<const TCustomToolWindow97*>(p)) return t->DockedTo();
    return nullptr;
}

}  // namespace

TToolbarButton97* TToolbarButton97::HotButton() { return g_hot; }
int TToolbarButton97::ButtonCount() { return g_buttons; }

TToolbarButton97::TToolbarButton97(TComponent* AOwner) : TGraphicControl(AOwner) {
    if (g_buttons++ == 0) g_track_timer = 0;
    RegisterHookCallback(HookProc, kHooks, ComponentState().contains(csDesigning));
    SetControlStyle({csCaptureMouse, csOpaque, csDoubleClicks});
    SetBounds(0, 0, 23, 22);
    SetParentColor(false);
    SetColor(clBtnFace);
}

TToolbarButton97::~TToolbarButton97() {
    if (g_hot == this) {
        g_hot = nullptr;
        if (g_track_timer) KillTimer(nullptr, g_track_timer);
        g_track_timer = 0;
    }
    StopRepeat();
    UnregisterHookCallback(HookProc);
    if (--g_buttons == 0) FreeCheckerBrush();
}

std::string TToolbarButton97::Version() const { return SkiffbarVersion(); }

void TToolbarButton97::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == dropdown_menu_) dropdown_menu_ = nullptr;
    if (Operation == opRemove && AComponent == glyph_.Images()) glyph_.ImagesFreed();
}

// ---- properties -------------------------------------------------------------------

void TToolbarButton97::Redraw(bool Erase) {
    if (flat_ && !opaque_ && Erase) {
        // The parent paints behind a see-through button: a hot border or a
        // pushed face must not stay on it.
        Invalidate();
        return;
    }
    // Nothing behind the button is erased: it paints every pixel itself,
    // or a transparent one only changes what it draws on top.
    const TControlStyle s = ControlStyle();
    TControlStyle o = s;
    o.insert(csOpaque);
    SetControlStyle(o);
    Invalidate();
    SetControlStyle(s);
}

void TToolbarButton97::UpdateOpaqueness() {
    TControlStyle s = ControlStyle();
    if (opaque_ || !flat_)
        s.insert(csOpaque);
    else
        s.erase(csOpaque);
    SetControlStyle(s);
}

void TToolbarButton97::SetFlat(bool v) {
    if (v == flat_) return;
    flat_ = v;
    UpdateOpaqueness();
    Redraw(true);
}

void TToolbarButton97::SetOpaque(bool v) {
    if (v == opaque_) return;
    opaque_ = v;
    UpdateOpaqueness();
    Redraw(true);
}

void TToolbarButton97::SetAllowAllUp(bool v) {
    allow_all_up_ = v;
    GroupUpdate();
}

void TToolbarButton97::SetGroupIndex(int v) {
    group_index_ = v;
    GroupUpdate();
}

void TToolbarButton97::SetDown(bool v) {
    if (group_index_ == 0) v = false;
    if (v == down_) return;
    if (down_ && !allow_all_up_) return;
    down_ = v;
    state_ = !Enabled() ? tbsDisabled : v ? tbsExclusive : tbsUp;
    Redraw(true);
    if (v) GroupUpdate();
}

void TToolbarButton97::GroupUpdate() {
    if (group_index_ == 0 || !Parent()) return;
    TWinControl* p = Parent();
    for (int i = 0; i < p->ControlCount(); ++i) {
        auto* b = dynamic_cast<TToolbarButton97*>(p->Controls(i));
        if (!b || b == this || b->group_index_ != group_index_) continue;
        b->allow_all_up_ = allow_all_up_;
        if (down_ && b->down_) {
            b->down_ = false;
            b->state_ = b->Enabled() ? tbsUp : tbsDisabled;
            b->Redraw(true);
        }
    }
}

void TToolbarButton97::SetDropdownArrowWidth(int v) {
    v = std::max(v, 7);
    if (v == dropdown_arrow_width_) return;
    const int change = v - dropdown_arrow_width_;
    dropdown_arrow_width_ = v;
    if (dropdown_combo_) SetBounds(Left(), Top(), std::max(Width() + change, 1), Height());
    Redraw(true);
}

void TToolbarButton97::SetDropdownCombo(bool v) {
    if (v == dropdown_combo_) return;
    dropdown_combo_ = v;
    if (!ComponentState().contains(csLoading)) {
        const int d = dropdown_arrow_width_ + 2;
        SetBounds(Left(), Top(), std::max(v ? Width() + d : Width() - d, 1), Height());
    }
    Redraw(true);
}

void TToolbarButton97::SetDropdownMenu(TPopupMenu* v) {
    if (v == dropdown_menu_) return;
    if (dropdown_menu_) dropdown_menu_->RemoveFreeNotification(this);
    dropdown_menu_ = v;
    if (v) v->FreeNotification(this);
    Redraw(true);
}

// ---- action link -----------------------------------------------------------------------

void TToolbarButton97::SetAction(TBasicAction* v) {
    if (v == Action()) return;
    if (!v) {
        action_link_.reset();
        return;
    }
    if (auto* a = dynamic_cast<TAction*>(v)) a->SetChecked(down_);
    linked_ = {};
    if (!action_link_) action_link_ = std::make_unique<TBasicActionLink>([this](TBasicAction* a) { ActionChanged(a); });
    action_link_->SetAction(v);
}

void TToolbarButton97::ActionChanged(TBasicAction* A) {
    auto* a = dynamic_cast<TAction*>(A);
    if (!a) return;
    SetCaption(a->Caption());
    SetHint(a->Hint());
    SetEnabled(a->Enabled());
    SetVisible(a->Visible());
    // First time only where the button has its defaults; then only where
    // the button has not been given a value of its own since.
    const bool first = !linked_.known;
    const bool helpLinked = first ? HelpContext() == 0 : HelpContext() == linked_.help;
    const bool imageLinked = first ? ImageIndex() == -1 : ImageIndex() == linked_.image;
    const bool checkedLinked = first ? !down_ : down_ == linked_.checked;
    linked_ = {true, a->Checked(), a->HelpContext(), a->ImageIndex()};
    if (helpLinked) SetHelpContext(a->HelpContext());
    if (imageLinked && ImageIndex() != a->ImageIndex()) SetImageIndex(a->ImageIndex());
    if (checkedLinked && group_index_ != 0 && a->Checked() != down_) {
        const bool allUp = allow_all_up_;
        allow_all_up_ = true;  // the action decides
        SetDown(a->Checked());
        allow_all_up_ = allUp;
    }
}

void TToolbarButton97::FireClick() {
    if (!OnClick && action_link_ && action_link_->Action()) {
        // A grouped button tells the action its new state first.
        if (auto* a = dynamic_cast<TAction*>(action_link_->Action()); a && group_index_ != 0) a->SetChecked(down_);
        action_link_->Execute();
        return;
    }
    TGraphicControl::Click();
}

// ---- hot tracking -------------------------------------------------------------------

void TToolbarButton97::MouseEntered() {
    if (!Enabled() || mouse_in_) return;
    mouse_in_ = true;
    if (state_ == tbsUp) state_ = tbsMouseIn;
    Redraw(true);
    if (OnMouseEnter) OnMouseEnter(this);
}

void TToolbarButton97::MouseLeft() {
    if (g_hot == this) {
        g_hot = nullptr;
        if (g_track_timer) KillTimer(nullptr, g_track_timer);
        g_track_timer = 0;
    }
    if (!Enabled() || !mouse_in_ || mouse_down_) return;
    mouse_in_ = false;
    if (state_ == tbsMouseIn || (state_ == tbsDown && !in_click_)) state_ = down_ ? tbsExclusive : tbsUp;
    Redraw(true);
    if (OnMouseExit) OnMouseExit(this);
}

void TToolbarButton97::UpdateTracking() {
    if (g_hot == this || ControlUnderCursor() != this) return;
    TAliveToken alive = AliveToken();
    if (g_hot) g_hot->MouseLeft();
    if (!alive.Alive()) return;
    if (!show_border_when_inactive_ && !HasActiveWindow()) return;
    g_hot = this;
    if (g_track_timer) KillTimer(nullptr, g_track_timer);
    g_track_timer = SetTimer(nullptr, 0, 125, TrackTimer);
    MouseEntered();
}

void CALLBACK TToolbarButton97::TrackTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_hot && ControlUnderCursor() != g_hot) g_hot->MouseLeft();
}

void TToolbarButton97::HookProc(THookCode Code, HWND, WPARAM W, LPARAM) {
    if (!g_hot) return;
    if (Code == hookMouseMove) {
        if (ControlUnderCursor() != g_hot) g_hot->MouseLeft();
    } else if (Code == hookActivateApp && W == 0 && !g_hot->show_border_when_inactive_) {
        g_hot->MouseLeft();
    }
}

// ---- mouse ---------------------------------------------------------------------------

bool TToolbarButton97::CursorOnButton(int X, int Y) const {
    int w = Width();
    if (dropdown_combo_ && UsesDropdown()) w -= dropdown_arrow_width_ + 2;
    return X >= 0 && Y >= 0 && X < w && Y < Height();
}

void TToolbarButton97::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!Enabled()) {
        TGraphicControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    TAliveToken alive = AliveToken();
    UpdateTracking();
    if (!alive.Alive()) return;
    if (Button != mbLeft) {
        TGraphicControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    menu_down_ = UsesDropdown() && (!dropdown_combo_ || X >= Width() - (dropdown_arrow_width_ + 2));
    if (state_ != tbsDown && state_ != tbsExclusive) {
        state_ = tbsDown;
        Redraw(true);
    } else if (allow_all_up_) {
        Redraw(true);
    }
    if (!menu_down_) mouse_down_ = true;
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (!alive.Alive()) return;
    if (menu_down_) {
        Click();
    } else if (repeating_) {
        Click();
        if (alive.Alive()) StartRepeat(repeat_delay_);
    }
}

void TToolbarButton97::MouseMove(TShiftState Shift, int X, int Y) {
    TAliveToken alive = AliveToken();
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!alive.Alive()) return;
    UpdateTracking();
    if (!alive.Alive() || !mouse_down_) return;
    const TButtonState97 s = down_ ? tbsExclusive : CursorOnButton(X, Y) ? tbsDown : tbsUp;
    if (s != state_) {
        state_ = s;
        Redraw(true);
    }
    if (repeating_ && !repeat_timer_ && CursorOnButton(X, Y)) StartRepeat(repeat_interval_);
}

void TToolbarButton97::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    StopRepeat();
    TAliveToken alive = AliveToken();
    if (Button == mbRight && Enabled()) {
        mouse_down_ = false;
        MouseLeft();
        if (!alive.Alive()) return;
    }
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!alive.Alive()) return;
    if (Button == mbLeft && mouse_down_) {
        mouse_down_ = false;
        const bool on = CursorOnButton(X, Y);
        if (on && !repeating_) {
            Click();
            if (!alive.Alive()) return;
        } else {
            state_ = down_ ? tbsExclusive : tbsUp;
            Redraw(true);
        }
        if (!on) MouseLeft();
    }
}

void TToolbarButton97::StartRepeat(int Delay) {
    StopRepeat();
    repeat_timer_ = SetTimer(nullptr, 0, static_cast<UINT>(std::max(Delay, 1)), RepeatTimer);
    if (repeat_timer_) g_repeat_timers[repeat_timer_] = this;
}

void TToolbarButton97::StopRepeat() {
    if (!repeat_timer_) return;
    KillTimer(nullptr, repeat_timer_);
    g_repeat_timers.erase(repeat_timer_);
    repeat_timer_ = 0;
}

void CALLBACK TToolbarButton97::RepeatTimer(HWND, UINT, UINT_PTR Id, DWORD) {
    auto it = g_repeat_timers.find(Id);
    if (it == g_repeat_timers.end()) {
        KillTimer(nullptr, Id);
        return;
    }
    it->second->RepeatTick();
}

void TToolbarButton97::RepeatTick() {
    StartRepeat(repeat_interval_);
    POINT p{};
    GetCursorPos(&p);
    TPoint c = ScreenToClient({p.x, p.y});
    if (repeating_ && mouse_down_ && MouseCapture() && CursorOnButton(c.X, c.Y)) {
        FireClick();
    } else {
        StopRepeat();
    }
}

// ---- click -------------------------------------------------------------------------------

void TToolbarButton97::Click() {
    // A dialog the click opens must not have the button's hint over it.
    if (Application) Application->CancelHint();
    if (repeating_ && !menu_down_) {
        FireClick();
        return;
    }
    TAliveToken alive = AliveToken();
    in_click_ = true;
    if (group_index_ != 0 && !menu_down_) SetDown(!down_);
    if (state_ == tbsUp || state_ == tbsMouseIn) {
        state_ = tbsDown;
        Redraw(true);
    }
    mouse_down_ = false;
    MouseLeft();
    if (!alive.Alive()) return;
    const bool combo = dropdown_combo_ && UsesDropdown();
    if (!UsesDropdown() || (combo && !menu_down_)) {
        if (modal_result_ != mrNone)
            if (TCustomForm* f = ParentForm()) f->SetModalResult(modal_result_);
        FireClick();
        if (!alive.Alive()) return;
    } else {
        if (!dropdown_combo_) {
            FireClick();
            if (!alive.Alive()) return;
        }
        ReleaseCapture();
        bool show = dropdown_menu_ != nullptr, remove = true;
        if (OnDropdown) OnDropdown(this, show, remove);
        if (!alive.Alive()) return;
        if (show && dropdown_menu_) {
            TPopupMenu* menu = dropdown_menu_;
            TPoint p = ClientToScreen({0, Height()});
            const TPopupAlignment oldAlign = menu->Alignment();
            const TTrackButton oldTrack = menu->TrackButton();
            if (const TDock97* d = DockOf(this)) {
                if (d->Position() == dpLeft) p = ClientToScreen({Width(), 0});
                if (d->Position() == dpRight) {
                    p = ClientToScreen({0, 0});
                    menu->SetAlignment(paRight);
                }
            }
            menu->SetPopupComponent(this);
            menu->SetTrackButton(tbLeftButton);
            TAliveToken menuAlive = menu->AliveToken();
            menu->Popup(p.X, p.Y);
            if (menuAlive.Alive()) {
                menu->SetAlignment(oldAlign);
                menu->SetTrackButton(oldTrack);
            }
            if (!alive.Alive()) return;
        }
        if (remove) PurgeClicks();
    }
    in_click_ = false;
    menu_down_ = false;
    if (state_ == tbsDown) {
        state_ = down_ ? tbsExclusive : tbsUp;
    }
    if (!ComponentState().contains(csDestroying)) {
        Redraw(true);
        UpdateTracking();
    }
}

void TToolbarButton97::PurgeClicks() {
    // Drained into a list of our own first: posting back while peeking
    // would meet the same messages again.
    std::vector<MSG> kept;
    bool quit = false;
    int quitCode = 0;
    RECT mine{};
    const TPoint tl = ClientToScreen({0, 0});
    mine = {tl.X, tl.Y, tl.X + Width(), tl.Y + Height()};
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_REMOVE | PM_NOYIELD)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        const bool press = msg.message != WM_LBUTTONUP && msg.message != WM_RBUTTONUP && msg.message != WM_MBUTTONUP;
        if (press && msg.hwnd) {
            POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            ::ClientToScreen(msg.hwnd, &p);
            if (PtInRect(&mine, p)) continue;
        }
        kept.push_back(msg);
    }
    for (const MSG& m : kept) PostMessageA(m.hwnd, m.message, m.wParam, m.lParam);
    if (quit) PostQuitMessage(quitCode);
}

void TToolbarButton97::SetBounds(int L, int T, int W, int H) {
    const bool sized = W != Width() || H != Height();
    TGraphicControl::SetBounds(L, T, W, H);
    if (sized)
        if (auto* bar = dynamic_cast<TCustomToolWindow97*>(Parent())) bar->FitToContent();
}

void TToolbarButton97::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CM_VISIBLECHANGED:
            TGraphicControl::WndProc(m);
            if (auto* bar = dynamic_cast<TCustomToolWindow97*>(Parent())) bar->FitToContent();
            return;
        case WM_CANCELMODE:
            StopRepeat();
            mouse_down_ = false;
            if (MouseCapture()) SetMouseCapture(false);
            MouseLeft();
            break;
        case CM_ENABLEDCHANGED:
            if (!Enabled()) {
                state_ = tbsDisabled;
                mouse_in_ = false;
                mouse_down_ = false;
                if (g_hot == this) MouseLeft();
                StopRepeat();
                // A button disabled while held must not keep the mouse.
                Perform(WM_CANCELMODE);
            } else if (state_ == tbsDisabled) {
                state_ = down_ ? tbsExclusive : tbsUp;
            }
            Redraw(true);
            break;
        case CM_DIALOGCHAR:
            if (IsAccel(static_cast<WORD>(m.WParam), Caption()) && Enabled() && Visible() &&
                display_mode_ != dmGlyphOnly && Parent() && Parent()->CanFocus()) {
                Click();
                m.Result = 1;
                return;
            }
            break;
        case CM_DIALOGKEY:
            if (((m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_)) &&
                KeyboardShiftState().empty() && Enabled() && Visible() && Parent() && Parent()->CanFocus()) {
                Click();
                m.Result = 1;
                return;
            }
            break;
        case CM_SYSCOLORCHANGE:
            // The prepared images carry the old face, highlight and shadow.
            glyph_.Invalidate();
            FreeCheckerBrush();
            Redraw(true);
            break;
        case CM_MOUSEENTER:
            // The button's own tracking fires OnMouseEnter, once.
            return;
        case CM_MOUSELEAVE:
            // The system's leave tracking agrees with our own timer.
            if (g_hot == this && ControlUnderCursor() != this) MouseLeft();
            return;
        default: break;
    }
    TGraphicControl::WndProc(m);
}

// ---- painting --------------------------------------------------------------------------------

namespace {

void DrawArrow(HDC dc, int x, int y, COLORREF c) {
    for (int i = 0; i < 3; ++i)
        for (int k = i; k < 5 - i; ++k) ::SetPixel(dc, x + k, y + i, c);
}

}  // namespace

void TToolbarButton97::DrawContent(HDC DC) {
    const int w = Width(), h = Height();
    const bool pushed = state_ == tbsDown || state_ == tbsExclusive;
    const bool arrowPart = dropdown_combo_ && UsesDropdown();
    const bool pushedMain = pushed && !(arrowPart && menu_down_);
    const bool border = !no_border_ && (!flat_ || pushed || (mouse_in_ && Enabled()));
    RECT whole{0, 0, w, h};
    RECT main = whole;
    if (arrowPart) main.right -= dropdown_arrow_width_ + 2;
    if (border) {
        auto edge = [&](RECT r, bool in) {
            if (flat_)
                DrawEdge(DC, &r, in ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
            else
                DrawEdge(DC, &r, in ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_SOFT);
        };
        edge(main, pushedMain);
        if (arrowPart) {
            RECT a{w - dropdown_arrow_width_ - 2, 0, w - 2, h};
            edge(a, pushed && menu_down_);
        }
    }
    RECT facer = main;
    if (!no_border_) InflateRect(&facer, flat_ ? -1 : -2, flat_ ? -1 : -2);
    if (pushedMain && state_ == tbsExclusive && highlight_when_down_ && (!flat_ || !mouse_in_)) {
        // The pattern starts at the button's own corner, whatever the DC.
        SetBrushOrgEx(DC, 0, 0, nullptr);
        FillRect(DC, &facer, CheckerBrush());
    }
    if (pushedMain) OffsetRect(&facer, 1, 1);
    // Content: glyph and caption placed by Layout, Margin and Spacing.
    const SIZE gs = display_mode_ == dmTextOnly ? SIZE{0, 0} : glyph_.Size();
    const int gw = gs.cx, gh = gw ? gs.cy : 0;
    const std::string text = display_mode_ == dmGlyphOnly ? std::string() : Caption();
    HGDIOBJ oldFont = SelectObject(DC, Font().Handle());
    const UINT wrap = word_wrap_ ? DT_WORDBREAK : DT_SINGLELINE;
    const bool innerArrow = dropdown_arrow_ && UsesDropdown() && !dropdown_combo_;
    const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    const int fw = facer.right - facer.left, fh = facer.bottom - facer.top;
    // A wrapped caption may take the face less both margins, and less the
    // glyph and the spacing beside it.
    int limit = fw - 2 * (margin_ >= 0 ? margin_ : 4);
    if (horizontal && gw) limit -= gw + std::max(spacing_, 0);
    RECT tr{0, 0, std::max(limit, 1), 0};
    int tw = 0, th = 0;
    if (!text.empty()) {
        DrawTextA(DC, text.c_str(), -1, &tr, DT_CALCRECT | wrap);
        tw = tr.right - tr.left;
        th = tr.bottom - tr.top;
    }
    // The arrow inside the face follows the content.
    const int arrowW = innerArrow ? dropdown_arrow_width_ : 0;
    int gx, gy, tx, ty, arrowX;
    if (horizontal) {
        const tblayout::ContentPlace p =
            tblayout::PlaceContent(fw - arrowW, gw, tw, margin_, spacing_, layout_ == blGlyphLeft);
        gx = p.glyph;
        tx = p.caption;
        gy = (fh - gh + 1) / 2;
        ty = (fh - th + 1) / 2;
        arrowX = std::max(gx + gw, tx + tw);
    } else {
        const tblayout::ContentPlace p =
            tblayout::PlaceContent(fh, gh, th, margin_, spacing_, layout_ == blGlyphTop);
        gy = p.glyph;
        ty = p.caption;
        gx = (fw - gw - arrowW + 1) / 2;
        tx = (fw - tw - arrowW + 1) / 2;
        arrowX = (fw + std::max(gw, tw) - arrowW + 1) / 2;
    }
    if (gw) glyph_.Draw(DC, facer.left + gx, facer.top + gy, state_);
    SetBkMode(DC, TRANSPARENT);
    if (tw) {
        RECT r{facer.left + tx, facer.top + ty, facer.left + tx + tw, facer.top + ty + th};
        const UINT fl = wrap | DT_NOCLIP | (alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER);
        if (!Enabled()) {
            RECT r1 = r;
            OffsetRect(&r1, 1, 1);
            SetTextColor(DC, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawTextA(DC, text.c_str(), -1, &r1, fl);
            SetTextColor(DC, GetSysColor(COLOR_BTNSHADOW));
        } else {
            SetTextColor(DC, ColorToRGB(Font().Color()));
        }
        DrawTextA(DC, text.c_str(), -1, &r, fl);
    }
    SelectObject(DC, oldFont);
    auto arrow = [&](int x, int y) {
        if (!Enabled()) {
            DrawArrow(DC, x + 1, y + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawArrow(DC, x, y, GetSysColor(COLOR_BTNSHADOW));
        } else {
            DrawArrow(DC, x, y, ColorToRGB(Font().Color()));
        }
    };
    if (arrowPart) {
        const int ax = w - dropdown_arrow_width_ - 2 + (dropdown_arrow_width_ - 5) / 2 + (pushed && menu_down_ ? 1 : 0);
        arrow(ax, h / 2 - 1 + (pushed && menu_down_ ? 1 : 0));
    } else if (innerArrow) {
        arrow(facer.left + arrowX + (dropdown_arrow_width_ - 5) / 2, facer.top + fh / 2 - 1);
    }
}

void TToolbarButton97::Loaded() {
    TGraphicControl::Loaded();
    // The image of the state the button starts in is made with the form,
    // not in the middle of its first paint.
    glyph_.Prepare(Enabled() ? tbsUp : tbsDisabled);
}

void TToolbarButton97::Paint() {
    const int w = Width(), h = Height();
    if (w <= 0 || h <= 0) return;
    HDC target = Canvas().Handle();
    if (opaque_ || !flat_) {
        TBitmap off(w, h);
        HDC dc = off.Canvas().Handle();
        RECT r{0, 0, w, h};
        HBRUSH b = CreateSolidBrush(ColorToRGB(Color()));
        FillRect(dc, &r, b);
        DeleteObject(b);
        DrawContent(dc);
        BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    } else {
        DrawContent(target);
    }
}

}  // namespace bramble
