#include "kits/toolbar/toolwindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "ui/mdi.h"
#include "ui/monitors.h"

#include <windowsx.h>  // after the window layer: its macros clash with some names there

namespace bramble {

namespace {

std::vector<TCustomToolWindow97*> g_all;        // every tool window alive
std::vector<TCustomToolWindow97*> g_floating;   // those floating
bool g_app_active_known = false;
bool g_app_active = false;

bool AppActive() { return g_app_active_known ? g_app_active : HasActiveWindow(); }

constexpr THookCodes kHooks =
    HookBit(hookActivateApp) | HookBit(hookWindowPosChanged) | HookBit(hookWindowDestroying);

}  // namespace

const std::vector<TCustomToolWindow97*>& TCustomToolWindow97::FloatingWindows() { return g_floating; }

// ---- the floating parent ------------------------------------------------------------

TFloatingWindowParent::TFloatingWindowParent(TCustomForm* AParentForm) : TForm(nullptr), parent_form_(AParentForm) {
    char name[48];
    snprintf(name, sizeof name, "SkfFloatingWindowParent_%.8llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)));
    SetName(name);
    SetBorderStyle(bsNone);
    SetBounds(0, 0, 0, 0);
    SetShowHint(true);
    // Visible to its controls, which show only on a visible parent; its
    // window shows only while the tool window does.
    TControl::SetVisible(true);
}

void TFloatingWindowParent::CreateParams(TCreateParams& P) {
    TForm::CreateParams(P);
    P.Style &= ~WS_VISIBLE;
    P.ExStyle |= WS_EX_TOOLWINDOW;
}

void TFloatingWindowParent::CreateWnd() {
    TForm::CreateWnd();
    UpdateShowing();
}

void TFloatingWindowParent::SetShouldShow(bool v) {
    if (v == should_show_) return;
    should_show_ = v;
    UpdateShowing();
}

void TFloatingWindowParent::UpdateShowing() {
    if (!HandleAllocated()) return;
    const bool show = Visible() && should_show_;
    if (show == (IsWindowVisible(Handle()) != FALSE)) return;
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TFloatingWindowParent::WndProc(TMessage& m) {
    // Escape in a floating bar's control hands the keyboard back to the form.
    if (m.Msg == CM_DIALOGKEY && m.WParam == VK_ESCAPE && KeyboardShiftState().empty() && parent_form_ &&
        parent_form_->CanFocus()) {
        parent_form_->SetFocus();
        m.Result = 1;
        return;
    }
    TForm::WndProc(m);
}

TCustomToolWindow97::TCustomToolWindow97(TComponent* AOwner) : TCustomControl(AOwner) {
    RegisterHookCallback(HookProc, kHooks, ComponentState().contains(csDesigning));
    TControlStyle s = ControlStyle();
    s.insert(csAcceptsControls);
    s.insert(csClickEvents);
    s.insert(csSetCaption);
    s.insert(csDoubleClicks);
    s.erase(csCaptureMouse);
    s.erase(csOpaque);
    SetControlStyle(s);
    SetParentColor(false);
    SetColor(clBtnFace);
    g_all.push_back(this);
}

TCustomToolWindow97::~TCustomToolWindow97() {
    UnregisterHookCallback(HookProc);
    if (TFloatingWindowParent* fp = std::exchange(float_parent_, nullptr)) {
        if (Parent() == fp) TCustomControl::SetParent(nullptr);
        TCustomForm::Free(fp);
    }
    g_all.erase(std::remove(g_all.begin(), g_all.end(), this), g_all.end());
    // Without a tool window the hook is gone and would miss the next change.
    if (g_all.empty()) g_app_active_known = false;
    g_floating.erase(std::remove(g_floating.begin(), g_floating.end(), this), g_floating.end());
    for (TDock97* d : {dock_, last_dock_})
        if (d) {
            auto drop = [&](std::vector<TCustomToolWindow97*>& l) { l.erase(std::remove(l.begin(), l.end(), this), l.end()); };
            drop(d->dock_list_);
            drop(d->visible_list_);
        }
}

std::string TCustomToolWindow97::Version() const { return SkiffbarVersion(); }

void TCustomToolWindow97::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == default_dock_) default_dock_ = nullptr;
    if (AComponent == last_dock_) last_dock_ = nullptr;
    if (AComponent == dock_) dock_ = nullptr;
    if (AComponent == float_form_) {
        float_form_ = nullptr;
        if (!float_parent_) return;
        // The form floated over goes: its floating parent goes too, unless
        // the window stays above all forms without it.
        if (Parent() != float_parent_)
            TCustomForm::Free(std::exchange(float_parent_, nullptr));
        else if (floating_mode_ == fmOnTopOfAllForms)
            float_parent_->SetParentForm(nullptr);
        else
            ChangeParent(nullptr);
    }
}

TCustomForm* TCustomToolWindow97::OwnerForm() const {
    if (!dock_) return float_form_;
    TCustomForm* outer = nullptr;
    for (TWinControl* p = Parent(); p; p = p->Parent())
        if (auto* f = dynamic_cast<TCustomForm*>(p)) outer = f;
    return outer;
}

// ---- metrics -----------------------------------------------------------------

int TCustomToolWindow97::FrameWidth() const {
    return GetSystemMetrics(resizable_ ? SM_CXFRAME : SM_CXDLGFRAME);
}

int TCustomToolWindow97::FrameHeight() const {
    return GetSystemMetrics(resizable_ ? SM_CYFRAME : SM_CYDLGFRAME);
}

int TCustomToolWindow97::CaptionHeight() const { return GetSystemMetrics(SM_CYSMCAPTION); }

void TCustomToolWindow97::NonClientSize(int& W, int& H) const {
    if (dock_) {
        const int handle = dock_->AllowDrag()
                               ? tblayout::HandleLength(static_cast<tblayout::Grip>(drag_handle_style_),
                                                        close_button_when_docked_)
                               : 0;
        W = 4;
        H = 4;
        (dock_->Orientation() == TBarOrientation::Vertical ? H : W) += handle;
        return;
    }
    W = 2 * FrameWidth();
    H = 2 * FrameHeight() + (show_caption_ ? CaptionHeight() : 0);
}

// ---- properties ---------------------------------------------------------------

namespace {
void FrameChanged(TWinControl* w) {
    if (w->HandleAllocated())
        SetWindowPos(w->Handle(), nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

void TCustomToolWindow97::SetCloseButton(bool v) {
    if (v == close_button_) return;
    close_button_ = v;
    if (!dock_) FrameChanged(this);
}

void TCustomToolWindow97::SetCloseButtonWhenDocked(bool v) {
    if (v == close_button_when_docked_) return;
    close_button_when_docked_ = v;
    if (dock_) {
        FrameChanged(this);
        FitToContent();
    }
}

void TCustomToolWindow97::SetDragHandleStyle(TDragHandleStyle v) {
    if (v == drag_handle_style_) return;
    drag_handle_style_ = v;
    if (dock_) {
        FrameChanged(this);
        FitToContent();
    }
}

void TCustomToolWindow97::SetBorderStyle(TBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    if (dock_) FrameChanged(this);
}

void TCustomToolWindow97::SetShowCaption(bool v) {
    if (v == show_caption_) return;
    show_caption_ = v;
    if (!dock_) {
        FrameChanged(this);
        FitToContent();
    }
}

void TCustomToolWindow97::SetFullSize(bool v) {
    if (v == full_size_) return;
    full_size_ = v;
    FitToContent();
    if (dock_) dock_->LayoutBars(false);
}

void TCustomToolWindow97::SetHideWhenInactive(bool v) {
    if (v == hide_when_inactive_) return;
    hide_when_inactive_ = v;
    UpdateVisibility();
}

void TCustomToolWindow97::SetResizableFlag(bool v) {
    if (v == resizable_) return;
    resizable_ = v;
    if (!dock_) FrameChanged(this);
}

void TCustomToolWindow97::SetDockRow(int v) {
    dock_row_ = tblayout::ClampRow(v);
    if (dock_) dock_->LayoutBars(false);
}

void TCustomToolWindow97::SetDockPos(int v) {
    dock_pos_ = tblayout::ClampPos(v);
    if (dock_) dock_->LayoutBars(false);
}

void TCustomToolWindow97::SetLastDock(TDock97* v) {
    if (v == last_dock_) return;
    if (last_dock_ && last_dock_ != dock_) {
        auto& l = last_dock_->dock_list_;
        l.erase(std::remove(l.begin(), l.end(), this), l.end());
    }
    last_dock_ = v;
    if (v) {
        v->FreeNotification(this);
        if (use_last_dock_) v->ChangeDockList(true, this);
    }
}

void TCustomToolWindow97::SetDefaultDock(TDock97* v) {
    default_dock_ = v;
    if (v) v->FreeNotification(this);
}

// ---- parent changes -------------------------------------------------------------

namespace {
// Holds a dock's layout back while a window changes parent and lets it go
// on every way out. A handler may free the window (or the dock) on the way:
// the dock then lays out anew, as the window it held is gone.
class HeldDock {
public:
    explicit HeldDock(TDock97* D) : dock_(D), alive_(D ? D->AliveToken() : TAliveToken()) {
        if (dock_) dock_->BeginUpdate();
    }
    ~HeldDock() { Release(true); }
    HeldDock(const HeldDock&) = delete;
    HeldDock& operator=(const HeldDock&) = delete;
    void Release(bool Relayout) {
        TDock97* d = std::exchange(dock_, nullptr);
        if (!d || !alive_.Alive()) return;
        d->EndUpdate();
        if (Relayout) d->LayoutBars(false);
    }

private:
    TDock97* dock_;
    TAliveToken alive_;
};
}  // namespace

void TCustomToolWindow97::SetParent(TWinControl* AParent) {
    if (AParent && !dynamic_cast<TDock97*>(AParent) && !dynamic_cast<TCustomForm*>(AParent))
        throw EInvalidOperation(ToolbarKitMessage(SToolWinInvalidParent));
    ChangeParent(AParent);
}

void TCustomToolWindow97::SetDockedTo(TDock97* v) {
    if (v) {
        ChangeParent(v);
        return;
    }
    TCustomForm* f = OwnerForm();
    if (!f) throw EInvalidOperation(Format(SParentRequired, Name().c_str()));
    ChangeParent(f);
}

void TCustomToolWindow97::ChangeParent(TWinControl* NewParent) {
    TDock97* newDock = dynamic_cast<TDock97*>(NewParent);
    TCustomForm* newForm = dynamic_cast<TCustomForm*>(NewParent);
    if (auto* fp = dynamic_cast<TFloatingWindowParent*>(newForm)) newForm = fp->ParentForm();
    // A form as parent means floating over it, on a floating parent of its own.
    if (newForm) {
        if (float_form_ != newForm) {
            float_form_ = newForm;
            newForm->FreeNotification(this);
        }
    }
    TWinControl* actual = newForm ? nullptr : NewParent;
    const bool destroying = ComponentState().contains(csDestroying);
    const bool floatingNow = newForm != nullptr;
    const bool alreadyFloating = std::find(g_floating.begin(), g_floating.end(), this) != g_floating.end();
    if (newDock && newDock == Parent()) return;
    if (floatingNow && alreadyFloating && float_parent_ && float_parent_->ParentForm() == newForm) return;
    if (!NewParent && !Parent() && !alreadyFloating) return;
    TAliveToken alive = AliveToken();
    if (!destroying && NewParent) {
        if (OnDockChanging) OnDockChanging(this);
        if (!alive.Alive()) return;
        if (OnDockChangingEx) OnDockChangingEx(this, newDock);
        if (!alive.Alive()) return;
        if (OnRecreating) OnRecreating(this);
        if (!alive.Alive()) return;
    }
    ++hide_count_;
    ++move_event_count_;
    UpdateVisibility();
    TDock97* oldDock = dock_;
    HeldDock heldOld(oldDock);
    HeldDock heldNew(newDock != oldDock ? newDock : nullptr);
    ++updating_bounds_;
    if (NewParent) {
        DoDockChangingHidden(newDock);
        if (!alive.Alive()) return;
        // The controls keep their places for the orientation they had while
        // the window is made again; the new layout follows at the end.
        if (last_orientation_known_) {
            TPoint sz{};
            LayoutControls(true, last_orientation_, sz, dock_);
        }
    }
    ++disable_arrange_;
    if (oldDock) {
        if (!use_last_dock_) {
            auto& l = oldDock->dock_list_;
            l.erase(std::remove(l.begin(), l.end(), this), l.end());
        }
        oldDock->ToolbarVisibilityChanged(this, true);
    }
    // The window's kind changes (child of a dock or popup over the form):
    // it is made again under the new parent. A floating window merely
    // re-parented into a dock would stay a popup that takes the activation
    // and never gives it back to the form.
    if (alreadyFloating && !floatingNow && HandleAllocated()) {
        if (GetActiveWindow() == Handle() && float_form_ && float_form_->HandleAllocated())
            SetActiveWindow(float_form_->Handle());
        DestroyHandle();
    }
    TCustomControl::SetParent(nullptr);
    dock_ = newDock;
    TFloatingWindowParent* oldFloatParent = float_parent_;
    if (!floatingNow) {
        float_parent_ = nullptr;
    } else if (!float_parent_ || float_parent_->ParentForm() != newForm) {
        float_parent_ = new TFloatingWindowParent(newForm);
        float_parent_->AfterConstruction();
    }
    if (oldFloatParent && oldFloatParent != float_parent_) TCustomForm::Free(oldFloatParent);
    if (floatingNow) {
        if (std::find(g_floating.begin(), g_floating.end(), this) == g_floating.end()) g_floating.push_back(this);
        TCustomControl::SetBounds(floating_pos_.X, floating_pos_.Y, Width(), Height());
        TCustomControl::SetParent(float_parent_);
        HandleNeeded();
    } else {
        g_floating.erase(std::remove(g_floating.begin(), g_floating.end(), this), g_floating.end());
        if (actual) TCustomControl::SetParent(actual);
    }
    if (newDock) {
        if (use_last_dock_) {
            if (last_dock_ && last_dock_ != newDock) {
                auto& l = last_dock_->dock_list_;
                l.erase(std::remove(l.begin(), l.end(), this), l.end());
            }
            last_dock_ = newDock;
            newDock->FreeNotification(this);
        }
        newDock->ChangeDockList(true, this);
    }
    --disable_arrange_;
    arrange_needed_ = false;
    last_orientation_ = newDock ? newDock->Orientation() : TBarOrientation::None;
    last_orientation_known_ = true;
    --updating_bounds_;
    FitToContentFor(last_orientation_, newDock, true);
    heldNew.Release(false);
    heldOld.Release(false);
    if (newDock) newDock->LayoutBars(false);
    --hide_count_;
    --move_event_count_;
    UpdateVisibility();
    if (OnMove && !ComponentState().contains(csLoading)) OnMove(this);
    if (!alive.Alive()) return;
    if (!destroying && NewParent && OnRecreated) OnRecreated(this);
    if (!alive.Alive()) return;
    if (!destroying && NewParent && OnDockChanged) OnDockChanged(this);
}

void TCustomToolWindow97::DoDockChangingHidden(TDock97* DockingTo) {
    if (!ComponentState().contains(csDestroying) && OnDockChangingHidden) OnDockChangingHidden(this, DockingTo);
}

void TCustomToolWindow97::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    P.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
    if (!dynamic_cast<TDock97*>(Parent())) {
        P.Style &= ~(WS_CHILD | WS_VISIBLE);
        P.Style |= WS_POPUP | WS_CLIPCHILDREN;
        P.ExStyle |= WS_EX_TOOLWINDOW;
        P.WinClassName += ".Floating";
    }
}

void TCustomToolWindow97::CreateWnd() {
    TCustomControl::CreateWnd();
    UpdateVisibility();
}

void TCustomToolWindow97::SetBounds(int L, int T, int W, int H) {
    if (!updating_bounds_ && (W != Width() || H != Height())) ClientSizeChanging(W, H);
    TCustomControl::SetBounds(L, T, W, H);
    if (IsFloating() && !updating_bounds_) floating_pos_ = {L, T};
}

void TCustomToolWindow97::SetVisible(bool v) {
    if (IsFloating() && HandleAllocated()) {
        // A floating window's showing follows its form and the application.
        TControl::SetVisible(v);
        UpdateVisibility();
    } else {
        TCustomControl::SetVisible(v);
    }
    if (dock_) dock_->ToolbarVisibilityChanged(this, false);
    if (OnVisibleChanged) OnVisibleChanged(this);
}

// ---- fitting ----------------------------------------------------------------------

void TCustomToolWindow97::AlignControls(TControl* AControl, TRect& Rect) {
    if (inherited_align_) TCustomControl::AlignControls(AControl, Rect);
    FitToContent();
}

void TCustomToolWindow97::FitToContent() {
    FitToContentFor(dock_ ? dock_->Orientation() : TBarOrientation::None, dock_, true);
}

void TCustomToolWindow97::FitToContentFor(TBarOrientation O, TDock97* Dock, bool Resize) {
    if (disable_arrange_ > 0 || ComponentState().contains(csLoading) || ComponentState().contains(csDestroying) ||
        !Parent()) {
        arrange_needed_ = true;
        return;
    }
    ++disable_arrange_;
    TPoint sz{};
    LayoutControls(true, O, sz, Dock);
    --disable_arrange_;
    if (!Resize) return;
    int cw = std::max(sz.X, 0), ch = std::max(sz.Y, 0);
    if (Dock) {
        Dock->RebuildRowSizes();
        const int row = Dock->GetRowSize(dock_row_, this);
        int nw = 0, nh = 0;
        NonClientSize(nw, nh);
        if (O == TBarOrientation::Vertical) {
            cw = std::max(cw, row);
            if (full_size_) ch = std::max(Dock->ClientHeight() - nh, 0);
        } else {
            ch = std::max(ch, row);
            if (full_size_) cw = std::max(Dock->ClientWidth() - nw, 0);
        }
    }
    int nw = 0, nh = 0;
    NonClientSize(nw, nh);
    if (cw + nw != Width() || ch + nh != Height()) {
        ++updating_bounds_;
        TCustomControl::SetBounds(Left(), Top(), cw + nw, ch + nh);
        --updating_bounds_;
        if (Dock) Dock->LayoutBars(false);
    }
}

// ---- visibility -------------------------------------------------------------------

TCustomForm* TCustomToolWindow97::MDIParentForm() const {
    TCustomForm* f = OwnerForm();
    if (auto* child = dynamic_cast<TMDIChildForm*>(f)) return child->Frame();
    return f;
}

bool TCustomToolWindow97::ShouldBeVisible() {
    if (!Visible() || hide_count_ > 0 || !Parent()) return false;
    if (dock_) return true;
    if (floating_mode_ == fmOnTopOfParentForm) {
        TCustomForm* mdi = MDIParentForm();
        if (!float_form_ || !float_form_->HandleAllocated() || !mdi || !mdi->HandleAllocated()) return false;
        if (Application && IsIconic(Application->Handle())) return false;
        for (HWND w : {float_form_->Handle(), mdi->Handle()})
            if (!IsWindowVisible(w) || IsIconic(w)) return false;
    }
    return !hide_when_inactive_ || AppActive();
}

void TCustomToolWindow97::UpdateVisibility() {
    if (!IsFloating() || !HandleAllocated()) return;
    const bool inactive = !hide_when_inactive_ && !AppActive();
    if (inactive != inactive_caption_) {
        inactive_caption_ = inactive;
        RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    }
    const bool show = ShouldBeVisible();
    if (show != (IsWindowVisible(Handle()) != FALSE)) ShowFloating(show);
}

void TCustomToolWindow97::SetFloatingMode(TToolWindowFloatingMode v) {
    if (v == floating_mode_) return;
    floating_mode_ = v;
    if (IsFloating() && HandleAllocated() && IsWindowVisible(Handle())) {
        ShowFloating(true);
    }
}

namespace {
bool IsTopmost(HWND W) { return W && (GetWindowLongPtrA(W, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
}  // namespace

void TCustomToolWindow97::UpdateTopmost() {
    if (!IsFloating() || !HandleAllocated()) return;
    HWND h = Handle();
    // Above all forms: topmost only while enabled, so that a modal dialog
    // (which disables it) does not end up under it. Above its form: as
    // high as the form, or it would drop behind a topmost form.
    const bool top = floating_mode_ == fmOnTopOfAllForms ? IsWindowEnabled(h) != FALSE
                                                         : IsTopmost(GetWindow(h, GW_OWNER));
    if (top != IsTopmost(h))
        SetWindowPos(h, top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

namespace {
// The first visible, enabled window of the thread other than the two to
// skip, a topmost one only when there is no other.
struct ActivationPick {
    HWND self, app, normal = nullptr, topmost = nullptr;
};

BOOL CALLBACK NoteActivationCandidate(HWND W, LPARAM P) {
    auto& k = *reinterpret_cast<ActivationPick*>(P);
    if (W == k.self || W == k.app || !IsWindowVisible(W) || !IsWindowEnabled(W)) return TRUE;
    HWND& slot = IsTopmost(W) ? k.topmost : k.normal;
    if (!slot) slot = W;
    return k.normal == nullptr;
}
}  // namespace

void TCustomToolWindow97::PassActivationOn() {
    ActivationPick pick{Handle(), Application ? Application->Handle() : nullptr};
    EnumThreadWindows(GetCurrentThreadId(), NoteActivationCandidate, reinterpret_cast<LPARAM>(&pick));
    if (HWND to = pick.normal ? pick.normal : pick.topmost) SetActiveWindow(to);
}

void TCustomToolWindow97::ShowFloating(bool Show) {
    HWND h = Handle();
    if (Show) {
        HWND owner = nullptr;
        if (floating_mode_ == fmOnTopOfAllForms && Application && Application->Handle())
            owner = Application->Handle();
        else if (float_form_ && float_form_->HandleAllocated())
            owner = float_form_->Handle();
        if (owner) SetWindowLongPtrA(h, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        // Above the form and the form's other owned windows.
        if (floating_mode_ == fmOnTopOfParentForm && owner)
            SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        UpdateTopmost();
        float_parent_->SetShouldShow(true);
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    } else {
        float_parent_->SetShouldShow(false);
        const bool active = GetActiveWindow() == h;
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        if (active) PassActivationOn();
    }
}

void TCustomToolWindow97::HookProc(THookCode Code, HWND Wnd, WPARAM W, LPARAM) {
    // The list may change under an update (a handler can free a window).
    std::vector<TCustomToolWindow97*> list = g_floating;
    auto live = [](TCustomToolWindow97* t) {
        return std::find(g_floating.begin(), g_floating.end(), t) != g_floating.end();
    };
    switch (Code) {
        case hookActivateApp:
            g_app_active_known = true;
            g_app_active = W != 0;
            for (TCustomToolWindow97* t : list)
                if (live(t)) t->UpdateVisibility();
            break;
        case hookWindowPosChanged:
            for (TCustomToolWindow97* t : list)
                if (live(t) && t->float_form_ && t->float_form_->HandleAllocated() &&
                    (t->float_form_->Handle() == Wnd || IsChild(Wnd, t->float_form_->Handle())))
                    t->UpdateVisibility();
            break;
        case hookWindowDestroying:
            for (TCustomToolWindow97* t : list)
                if (live(t) && t->HandleAllocated() && GetWindow(t->Handle(), GW_OWNER) == Wnd) {
                    // Owned windows would go with their owner: hand them to
                    // the owner's parent window (or none) first.
                    SetWindowLongPtrA(t->Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(GetParent(Wnd)));
                    ShowWindow(t->Handle(), SW_HIDE);
                }
            break;
        default: break;
    }
}

void TCustomToolWindow97::MoveOnScreen(bool OnlyIfFullyOffscreen) {
    if (!IsFloating()) return;
    RECT r{Left(), Top(), Left() + Width(), Top() + Height()};
    const RECT work = GetWorkAreaOfRect(r);
    tblayout::Box b = tblayout::MoveOnScreen({r.left, r.top, r.right, r.bottom},
                                             {work.left, work.top, work.right, work.bottom}, OnlyIfFullyOffscreen);
    if (b.l != Left() || b.t != Top()) SetBounds(b.l, b.t, Width(), Height());
}

// ---- painting and the frame -----------------------------------------------------------

tblayout::Box TCustomToolWindow97::CloseButtonRect() const {
    if (dock_) {
        RECT cr{};
        if (HandleAllocated()) GetClientRect(const_cast<TCustomToolWindow97*>(this)->Handle(), &cr);
        return tblayout::DockedCloseButton(static_cast<tblayout::Grip>(drag_handle_style_),
                                           dock_->Orientation() == TBarOrientation::Vertical, cr.right);
    }
    const int f = FrameWidth(), fy = FrameHeight(), side = CaptionHeight() - 1;
    return {Width() - f - side, fy, Width() - f, fy + side};
}

namespace {
int CALLBACK NoteFontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM Found) {
    *reinterpret_cast<bool*>(Found) = true;
    return 0;
}

// The system draws the caption close button's cross with its symbol font.
bool SymbolFontInstalled() {
    static const bool found = [] {
        bool f = false;
        LOGFONTA lf{};
        lf.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(lf.lfFaceName, "Marlett", LF_FACESIZE);
        HDC dc = GetDC(nullptr);
        EnumFontFamiliesExA(dc, &lf, NoteFontFound, reinterpret_cast<LPARAM>(&f), 0);
        ReleaseDC(nullptr, dc);
        return f;
    }();
    return found;
}

// A caption close button: the system's own where its symbol font is there,
// else the frame control's face with a cross drawn here (without the font
// the system draws an empty face).
void DrawCloseGlyph(HDC dc, RECT r, bool pushed) {
    if (SymbolFontInstalled()) {
        DrawFrameControl(dc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE | (pushed ? DFCS_PUSHED : 0));
        return;
    }
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    const int side = std::min(r.right - r.left, r.bottom - r.top);
    const int inset = std::max(side / 4, 2);
    const int off = pushed ? 1 : 0;
    const int x0 = r.left + inset + off, y0 = r.top + inset + off;
    const int n = side - 2 * inset - 1;
    if (n <= 0) return;
    const COLORREF c = GetSysColor(COLOR_BTNTEXT);
    for (int i = 0; i <= n; ++i)
        for (int t = 0; t < 2; ++t) {
            ::SetPixel(dc, x0 + i + t, y0 + i, c);
            ::SetPixel(dc, x0 + n - i + t, y0 + i, c);
        }
}
}  // namespace

bool TCustomToolWindow97::FillWithDockBackground(HDC DC, const RECT& Area, POINT Origin) {
    if (!dock_ || !dock_->BarsUseBackground() || !dock_->HandleAllocated()) return false;
    RECT dr{};
    GetWindowRect(dock_->Handle(), &dr);
    const RECT draw{dr.left - Origin.x, dr.top - Origin.y, dr.right - Origin.x, dr.bottom - Origin.y};
    dock_->DrawBackground(DC, Area, nullptr, draw);
    return true;
}

void TCustomToolWindow97::PaintDockedNC(HDC DC) {
    RECT r{0, 0, Width(), Height()};
    RECT wr{};
    GetWindowRect(Handle(), &wr);
    const POINT origin{wr.left, wr.top};
    RECT cr{};
    GetClientRect(Handle(), &cr);
    POINT co{0, 0};
    ::ClientToScreen(Handle(), &co);
    const bool shared = dock_->BarsUseBackground();
    HBRUSH face = CreateSolidBrush(ColorToRGB(Color()));
    const int saved = SaveDC(DC);
    ExcludeClipRect(DC, co.x - wr.left, co.y - wr.top, co.x - wr.left + cr.right, co.y - wr.top + cr.bottom);
    if (border_style_ == bsSingle)
        DrawEdge(DC, &r, BDR_RAISEDINNER, BF_RECT);
    else if (!shared)
        FrameRect(DC, &r, face);
    RECT inner = r;
    InflateRect(&inner, -1, -1);
    // The second ring (and the outer one without a border) shows the dock's
    // background when its bars share it.
    if (!FillWithDockBackground(DC, border_style_ == bsSingle ? inner : r, origin)) FrameRect(DC, &inner, face);
    RestoreDC(DC, saved);
    if (!dock_->AllowDrag()) {
        DeleteObject(face);
        return;
    }
    const bool vertical = dock_->Orientation() == TBarOrientation::Vertical;
    const auto grip = static_cast<tblayout::Grip>(drag_handle_style_);
    const int handle = tblayout::HandleLength(grip, close_button_when_docked_);
    RECT handleRect = vertical ? RECT{2, 2, Width() - 2, 2 + handle} : RECT{2, 2, 2 + handle, Height() - 2};
    if (!FillWithDockBackground(DC, handleRect, origin)) FillRect(DC, &handleRect, face);
    DeleteObject(face);
    const int grips = drag_handle_style_ == dhDouble ? 2 : drag_handle_style_ == dhSingle ? 1 : 0;
    const int first = tblayout::FirstGripAt(grip, close_button_when_docked_);
    const int closeCut = close_button_when_docked_ ? handle - 2 : 0;
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    for (int i = 0; i < grips; ++i) {
        RECT g;
        if (vertical)
            g = {2, first + 3 * i, cr.right + 2 - closeCut, first + 3 * i + 3};
        else
            g = {first + 3 * i, 2 + closeCut, first + 3 * i + 3, cr.bottom + 2};
        DrawEdge(DC, &g, BDR_RAISEDINNER, BF_RECT);
        ::SetPixel(DC, vertical ? g.right - 1 : g.left, vertical ? g.top : g.bottom - 1,
                   GetSysColor(COLOR_BTNHIGHLIGHT));
    }
    DeleteObject(light);
    if (close_button_when_docked_) {
        tblayout::Box b = CloseButtonRect();
        RECT br{b.l, b.t, b.r, b.b};
        DrawCloseGlyph(DC, br, close_down_);
    }
}

void TCustomToolWindow97::PaintFloatingNC(HDC DC) {
    RECT r{0, 0, Width(), Height()};
    const int f = FrameWidth(), fy = FrameHeight();
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    RECT inner = r;
    InflateRect(&inner, -f, -fy);
    const int saved = SaveDC(DC);
    ExcludeClipRect(DC, inner.left, inner.top, inner.right, inner.bottom);
    FillRect(DC, &r, face);
    DrawEdge(DC, &r, EDGE_RAISED, BF_RECT);
    RestoreDC(DC, saved);
    if (!show_caption_) return;
    const int c = CaptionHeight();
    RECT cap{f, fy, Width() - f, fy + c - 1};
    if (close_button_) cap.right -= c - 1;
    BOOL gradient = FALSE;
    SystemParametersInfoA(SPI_GETGRADIENTCAPTIONS, 0, &gradient, 0);
    UINT flags = DC_TEXT | DC_SMALLCAP | (inactive_caption_ ? 0 : DC_ACTIVE) | (gradient ? DC_GRADIENT : 0);
    DrawCaption(Handle(), DC, &cap, flags);
    RECT line{f, fy + c - 1, Width() - f, fy + c};
    FillRect(DC, &line, face);
    if (close_button_) {
        tblayout::Box b = CloseButtonRect();
        RECT br{b.l, b.t, b.r, b.b};
        HBRUSH capBrush = GetSysColorBrush(inactive_caption_ ? COLOR_INACTIVECAPTION : COLOR_ACTIVECAPTION);
        if (gradient)
            capBrush = GetSysColorBrush(inactive_caption_ ? COLOR_GRADIENTINACTIVECAPTION : COLOR_GRADIENTACTIVECAPTION);
        FrameRect(DC, &br, capBrush);
        InflateRect(&br, -1, -1);
        DrawCloseGlyph(DC, br, close_down_);
    }
}

void TCustomToolWindow97::ValidateDockedNC() {
    MSG msg;
    while (PeekMessageA(&msg, Handle(), WM_PAINTDOCKEDNC, WM_PAINTDOCKEDNC, PM_REMOVE))
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
}

void TCustomToolWindow97::InvalidateDockedNC() {
    if (!HandleAllocated()) return;
    ValidateDockedNC();
    PostMessageA(Handle(), WM_PAINTDOCKEDNC, 0, 0);
}

void TCustomToolWindow97::PaintNC(HDC DC) {
    if (dock_)
        PaintDockedNC(DC);
    else
        PaintFloatingNC(DC);
}

bool TCustomToolWindow97::OnCloseButton(TPoint S) const {
    if (!HandleAllocated()) return false;
    RECT wr{};
    GetWindowRect(const_cast<TCustomToolWindow97*>(this)->Handle(), &wr);
    tblayout::Box b = CloseButtonRect();
    const int x = S.X - wr.left, y = S.Y - wr.top;
    return x >= b.l && x < b.r && y >= b.t && y < b.b;
}

LRESULT TCustomToolWindow97::HitTest(int SX, int SY) {
    RECT wr{};
    GetWindowRect(Handle(), &wr);
    if (dock_) {
        if (close_button_when_docked_ && dock_->AllowDrag() && OnCloseButton({SX, SY})) return HTCLOSE;
        return HTCLIENT;
    }
    using tblayout::Hit;
    Hit h = tblayout::FloatingHitTest({SX - wr.left, SY - wr.top}, Width(), Height(), FrameWidth(), CaptionHeight(),
                                      show_caption_, close_button_, resizable_, corner_sizing_, FrameHeight());
    switch (h) {
        case Hit::Close: return HTCLOSE;
        case Hit::Left: return HTLEFT;
        case Hit::Right: return HTRIGHT;
        case Hit::Top: return HTTOP;
        case Hit::TopLeft: return HTTOPLEFT;
        case Hit::TopRight: return HTTOPRIGHT;
        case Hit::Bottom: return HTBOTTOM;
        case Hit::BottomLeft: return HTBOTTOMLEFT;
        case Hit::BottomRight: return HTBOTTOMRIGHT;
        default: return HTCLIENT;
    }
}

void TCustomToolWindow97::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_NCCALCSIZE: {
            auto* r = reinterpret_cast<RECT*>(m.LParam);
            if (dock_) {
                InflateRect(r, -2, -2);
                if (dock_->AllowDrag()) {
                    const int h = tblayout::HandleLength(static_cast<tblayout::Grip>(drag_handle_style_),
                                                         close_button_when_docked_);
                    (dock_->Orientation() == TBarOrientation::Vertical ? r->top : r->left) += h;
                }
            } else {
                InflateRect(r, -FrameWidth(), -FrameHeight());
                if (show_caption_) r->top += CaptionHeight();
            }
            // Client sizes never go negative.
            if (r->right < r->left) r->right = r->left;
            if (r->bottom < r->top) r->bottom = r->top;
            m.Result = 0;
            return;
        }
        case WM_NCPAINT: {
            HDC dc = GetWindowDC(Handle());
            ClipToNonClientUpdate(Handle(), dc, reinterpret_cast<HRGN>(m.WParam));
            PaintNC(dc);
            ReleaseDC(Handle(), dc);
            m.Result = 0;
            return;
        }
        case WM_NCACTIVATE:
            m.Result = 1;
            if (!dock_ && HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
            return;
        case WM_PRINT:
            m.Result = AnswerPrintMessage(Handle(), m.WParam, m.LParam, [this](HWND, HDC dc) { PaintNC(dc); });
            return;
        case WM_PRINTCLIENT:
            AnswerPrintClientMessage(this, m);
            return;
        case CM_COLORCHANGED:
        case CM_SYSCOLORCHANGE:
            // The frame is drawn in the window's colours too.
            TCustomControl::WndProc(m);
            if (!HandleAllocated()) return;
            if (dock_) {
                InvalidateRect(Handle(), nullptr, TRUE);
                InvalidateDockedNC();
            } else {
                RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
            }
            return;
        case WM_PAINTDOCKEDNC:
            if (dock_) {
                HDC dc = GetWindowDC(Handle());
                PaintDockedNC(dc);
                ReleaseDC(Handle(), dc);
            }
            return;
        case WM_ERASEBKGND: {
            RECT cr{};
            GetClientRect(Handle(), &cr);
            POINT co{0, 0};
            ::ClientToScreen(Handle(), &co);
            if (FillWithDockBackground(reinterpret_cast<HDC>(m.WParam), cr, co)) {
                m.Result = 1;
                return;
            }
            break;
        }
        case WM_NCHITTEST:
            m.Result = HitTest(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
            return;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            if (m.WParam == HTCLOSE) {
                TrackCloseButton();
                return;
            }
            if (m.WParam >= HTLEFT && m.WParam <= HTBOTTOMRIGHT && !dock_) {
                static const int handles[] = {0, 1, 2, 3, 4, 5, 6, 7};
                BeginSizing(handles[m.WParam - HTLEFT]);
                return;
            }
            break;
        case WM_MOUSEACTIVATE:
            if (!dock_) {
                m.Result = MA_NOACTIVATE;
                SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                // The click goes on to the bar; the keyboard stays with the form.
                if (floating_mode_ == fmOnTopOfParentForm && activate_parent_ && float_form_ &&
                    float_form_->HandleAllocated() && GetActiveWindow() != float_form_->Handle())
                    SetActiveWindow(float_form_->Handle());
                return;
            }
            break;
        case WM_ENABLE:
            TCustomControl::WndProc(m);
            UpdateTopmost();
            return;
        case WM_ACTIVATE:
            if (!dock_ && !ComponentState().contains(csDesigning)) {
                TCustomForm* mdi = MDIParentForm();
                HWND form = mdi && mdi->HandleAllocated() ? mdi->Handle() : nullptr;
                const bool active = LOWORD(m.WParam) != WA_INACTIVE;
                // The form's caption stays lit while its tool window is active.
                if (form) SendMessageA(form, WM_NCACTIVATE, active, 0);
                TCustomControl::WndProc(m);
                if (!active) return;
                // The keyboard belongs to the form: the activation goes back to it.
                if (!IsWindowVisible(Handle()))
                    PassActivationOn();
                else if (form && reinterpret_cast<HWND>(m.LParam) != form)
                    SetActiveWindow(form);
                return;
            }
            break;
        case WM_GETMINMAXINFO: {
            auto* mm = reinterpret_cast<MINMAXINFO*>(m.LParam);
            mm->ptMinTrackSize = {1, 1};
            mm->ptMaxTrackSize = {32767, 32767};
            m.Result = 0;
            return;
        }
        case WM_MOVE:
            TCustomControl::WndProc(m);
            // The moved bits carry tiles that no longer line up with the dock's.
            if (dock_ && dock_->BarsUseBackground()) {
                InvalidateRect(Handle(), nullptr, TRUE);
                InvalidateDockedNC();
            }
            if (OnMove && move_event_count_ == 0 && !ComponentState().contains(csLoading)) OnMove(this);
            return;
        case CM_TEXTCHANGED:
            TCustomControl::WndProc(m);
            if (!dock_ && HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
            return;
        case WM_CLOSE:
            if (!dock_) {
                if (float_form_ && float_form_->HandleAllocated()) PostMessageA(float_form_->Handle(), WM_CLOSE, 0, 0);
                return;
            }
            break;
        default: break;
    }
    TCustomControl::WndProc(m);
}

void TCustomToolWindow97::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    if (dock_ && !dock_->AllowDrag()) return;
    TControl* c = ControlAtPos({X, Y}, true);
    if (c && !ChildControlTransparent(c)) return;
    if (Shift.contains(ssDouble)) {
        ToggleDocked();
        return;
    }
    BeginMoving(X, Y);
}

void TCustomToolWindow97::ToggleDocked() {
    if (dock_) {
        if (dock_mode_ != dmCanFloat) return;
        RECT wr{};
        GetWindowRect(Handle(), &wr);
        if (floating_pos_.X == 0 && floating_pos_.Y == 0) floating_pos_ = {wr.left, wr.top};
        TAliveToken alive = AliveToken();
        SetDockedTo(nullptr);
        if (alive.Alive()) MoveOnScreen(false);
        return;
    }
    if (last_dock_) {
        SetDockedTo(last_dock_);
    } else if (default_dock_) {
        dock_row_ = 0;
        dock_pos_ = -8;
        SetDockedTo(default_dock_);
    }
}

void TCustomToolWindow97::CloseClicked() {
    TAliveToken alive = AliveToken();
    bool can = true;
    if (OnCloseQuery) OnCloseQuery(this, can);
    if (!alive.Alive() || !can) return;
    SetVisible(false);
    if (alive.Alive() && OnClose) OnClose(this);
}

}  // namespace bramble
