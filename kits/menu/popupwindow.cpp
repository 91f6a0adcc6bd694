#include "kits/menu/popupmenu.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>

#include "kits/menu/itemcontrols.h"
#include "kits/menu/itemdraw.h"
#include "kits/menu/menustate.h"
#include "kits/menu/menutext.h"
#include "kits/menu/tooltip.h"
#include "ui/canvasext.h"
#include "ui/forms.h"

namespace bramble {

namespace {

constexpr const char* kWindowClass = "TPopupMenu2000Form";
constexpr UINT_PTR kSubmenuTimer = 1, kExpandTimer = 2;

void RegisterClassOnce(WNDPROC Proc) {
    static bool done = false;
    if (done) return;
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    done = true;
}

void PlayMenuSound(const char* Event) { sndPlaySoundA(Event, SND_ASYNC | SND_NODEFAULT | SND_NOSTOP); }

// The work area of the monitor that holds the point; the primary work
// area when the monitor cannot be asked. Not the whole screen less the task
// bar: a menu opened on a second monitor would be pulled onto the first.
menukit::Box WorkAreaAt(int X, int Y) {
    RECT r{};
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    HMONITOR m = MonitorFromPoint(POINT{X, Y}, MONITOR_DEFAULTTONEAREST);
    if (m && GetMonitorInfo(m, &mi)) r = mi.rcWork;
    else SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
    return {r.left, r.top, r.right, r.bottom};
}

bool IsHiddenKitItem(TMenuItem* Item, const T_LFM_Flags& Flags) {
    auto* k = dynamic_cast<TMenuItem2000*>(Item);
    return k && k->Hidden() && !Flags.contains(mfHiddenAsRegular);
}

}  // namespace

// ---- the window ---------------------------------------------------------------------------

TPopupMenu2000Form::TPopupMenu2000Form(TCustomPopupMenu2000* Popup, TPopupMenu2000Form* ParentForm)
    : popup_(Popup), parent_(ParentForm) {
    RegisterClassOnce(&WndProc);
    HWND owner = ParentForm ? ParentForm->Handle() : nullptr;
    wnd_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kWindowClass, "", WS_POPUP, 0, 0, 0,
                           0, owner, nullptr, GetModuleHandleA(nullptr), this);
    InstallGetMessageHook();
}

TPopupMenu2000Form::~TPopupMenu2000Form() {
    EndEditing(false);
    tips_.reset();
    child_.reset();
    RemoveGetMessageHook();
    if (wnd_) {
        SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
        DestroyWindow(wnd_);
    }
    if (own_font_ && font_) DeleteObject(font_);
}

LRESULT CALLBACK TPopupMenu2000Form::WndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(L);
        SetWindowLongPtrA(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<TPopupMenu2000Form*>(cs->lpCreateParams)->wnd_ = Wnd;
    }
    auto* self = reinterpret_cast<TPopupMenu2000Form*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(Wnd, Msg, W, L);
    return CallGuarded(nullptr, LRESULT{0}, [&] { return self->Handle(Msg, W, L); });
}

bool TPopupMenu2000Form::IsOpen() const {
    if (!wnd_ || !IsWindowVisible(wnd_)) return false;
    RECT r;
    GetClientRect(wnd_, &r);
    return !IsRectEmpty(&r);
}

void TPopupMenu2000Form::Prepare() {
    T_LFM_Options& po = popup_->Options();
    if (expanded_) po.Flags.insert(mfHiddenIsVisible);
    frame_ = popup_->Ctl3D;
    options_.Assign(po);
    options_.Flags = po.Flags;
    if (parent_) options_.Title.Visible = false;
    if (auto* k = dynamic_cast<TMenuItem2000*>(items_); k && k->HasOwnOptions()) options_.Assign(k->Options());
    if (!parent_) animation_ = options_.Animation;
    if (options_.Flags.contains(mfHiddenIsVisible)) expanded_ = true;
    if (own_font_ && font_) DeleteObject(font_);
    auto* ownerControl = dynamic_cast<TControl*>(popup_->Owner());
    if (popup_->SystemFont()) {
        font_ = CreateMenuFont();
    } else {
        // A copy: the control or the popup may change its font while shown.
        LOGFONTA lf{};
        TFont& from = popup_->ParentFont() && ownerControl ? ownerControl->Font() : popup_->Font();
        GetObjectA(from.Handle(), sizeof(lf), &lf);
        font_ = CreateFontIndirectA(&lf);
    }
    own_font_ = font_ != GetStockObject(SYSTEM_FONT);
    if (popup_->SystemFont()) {
        HDC dc = GetDC(wnd_);
        HGDIOBJ old = SelectObject(dc, font_);
        SIZE s{};
        GetTextExtentPoint32A(dc, "Hj", 2, &s);
        SelectObject(dc, old);
        ReleaseDC(wnd_, dc);
        item_height_ = s.cy + 5;
    } else {
        item_height_ = options_.ItemHeight;
    }
}

void TPopupMenu2000Form::Layout() {
    std::vector<menukit::RowEntry> entries;
    std::vector<TMenuItem*> all;
    for (int i = 0; items_ && i < items_->Count(); ++i) {
        TMenuItem* it = items_->Items(i);
        menukit::RowEntry s;
        s.Visible = it->Visible();
        s.Hidden = IsHiddenKitItem(it, options_.Flags);
        s.Kind = it->IsLine() ? menukit::RowKind::Separator : menukit::RowKind::Item;
        s.Lines = menukit::CountTextLines(it->Caption(), dynamic_cast<TMenuItem2000*>(it) != nullptr);
        if (auto* k = dynamic_cast<TMenuItem2000*>(it); k && k->Control() != ctlNone && !it->IsLine()) {
            s.Kind = menukit::RowKind::Control;
            s.ControlHeight = k->ControlOptions().GetHeight(item_height_);
        }
        entries.push_back(s);
        all.push_back(it);
    }
    // Positions past the kit's items are entries of the platform menu.
    int natives = native_ ? GetMenuItemCount(native_) : 0;
    for (int i = static_cast<int>(all.size()); i < natives; ++i) {
        menukit::RowEntry s;
        s.Kind = ReadNativeMenuEntry(native_, i).Separator ? menukit::RowKind::Separator : menukit::RowKind::Item;
        entries.push_back(s);
        all.push_back(nullptr);
    }
    menukit::RowMetrics m;
    m.ItemHeight = item_height_;
    m.SeparatorHeight = options_.SeparatorHeight;
    m.MarginTop = options_.Margins.Top;
    m.MarginBorder = options_.Margins.Border;
    m.MarginSpace = options_.Margins.Space;
    m.Frame = frame_;
    m.Draggable = options_.Draggable;
    m.Floating = floating_;
    layout_ = menukit::LayoutRows(entries, m, expanded_);
    expanded_ = layout_.Expanded;
    shown_.clear();
    native_pos_.clear();
    for (const menukit::Row& r : layout_.Rows) {
        shown_.push_back(all[static_cast<size_t>(r.Index)]);
        native_pos_.push_back(shown_.back() ? -1 : r.Index);
    }
    full_redraw_ = true;

    HDC dc = GetDC(wnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    widest_caption_ = widest_shortcut_ = total_width_ = edit_caption_ = 0;
    bool anyShortCut = false;
    int largest = 0;
    for (size_t row = 0; row < shown_.size(); ++row) {
        TMenuItem* it = shown_[row];
        NativeMenuEntry entry = it ? NativeMenuEntry{} : ReadNativeMenuEntry(native_, native_pos_[row]);
        if (it ? it->IsLine() : entry.Separator) continue;
        if (auto* k = dynamic_cast<TMenuItem2000*>(it); k && k->Control() != ctlNone) {
            largest = std::max(largest, k->ControlOptions().GetWidth(dc) - options_.Margins.Left - options_.Margins.Right);
            if (k->Control() == ctlEditbox)
                edit_caption_ = std::max(edit_caption_, k->Editbox().GetWidth(dc) - k->Editbox().MinWidth - 5);
            continue;
        }
        std::string text, sc;
        menukit::SplitAtTab(it ? it->Caption() : entry.Text, text, sc);
        auto* k = dynamic_cast<TMenuItem2000*>(it);
        if (k && !k->FirstShortCutText().empty()) sc = k->FirstShortCutText();
        else if (it && !k && it->ShortCut()) sc = ShortCutToText(it->ShortCut());
        HFONT bold = nullptr;
        if (it ? it->Default() : entry.Default) {
            LOGFONTA lf{};
            GetObjectA(font_, sizeof(lf), &lf);
            lf.lfWeight = FW_BOLD;
            bold = CreateFontIndirectA(&lf);
            SelectObject(dc, bold);
        }
        int cw = 0;
        for (const std::string& line : menukit::CaptionLines(text, k != nullptr)) {
            std::string shown = menukit::StripAmpersands(line);
            SIZE s{};
            GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &s);
            cw = std::max<int>(cw, s.cx);
        }
        if (bold) {
            SelectObject(dc, font_);
            DeleteObject(bold);
        }
        int sw = 0;
        if (!sc.empty()) {
            SIZE s{};
            GetTextExtentPoint32A(dc, sc.c_str(), static_cast<int>(sc.size()), &s);
            sw = s.cx;
            anyShortCut = true;
        }
        widest_caption_ = std::max(widest_caption_, cw);
        widest_shortcut_ = std::max(widest_shortcut_, sw);
        largest = std::max(largest, cw + sw + (sw ? 4 : 0));
    }
    SelectObject(dc, old);
    ReleaseDC(wnd_, dc);
    total_width_ = options_.Flags.contains(mfStandardAlign) ? widest_caption_ + widest_shortcut_ + (anyShortCut ? 4 : 0)
                                                             : largest;
    total_width_ += options_.Margins.Left + options_.Margins.Right;
    left_offset_ = options_.Margins.Border + (frame_ ? 2 : 0);
    if (!parent_ && options_.Title.Visible && options_.Title.Align == atLeft) left_offset_ += options_.Title.Width;
}

int TPopupMenu2000Form::MenuWidth() const {
    int b = options_.Margins.Border + (frame_ ? 2 : 0);
    int w = total_width_ + 2 * b;
    if (!parent_ && options_.Title.Visible) w += options_.Title.Width;
    if (options_.BackgroundDisplay == bdExpand && options_.HasBackground())
        w = std::max(w, const_cast<T_LFM_Options&>(options_).Background().Width());
    return w;
}

int TPopupMenu2000Form::MenuHeight() const {
    int h = layout_.Bottom + options_.Margins.Bottom + options_.Margins.Border + (frame_ ? 2 : 0);
    if (options_.BackgroundDisplay == bdExpand && options_.HasBackground())
        h = std::max(h, const_cast<T_LFM_Options&>(options_).Background().Height());
    if (layout_.HasExpandButton) h += kExpandStrip;
    return h;
}

bool TPopupMenu2000Form::PlaceAndShow(int X, int Y) {
    SendMessage(wnd_, LFM_PREPARE, 0, 0);
    showing_ = true;
    closing_ = false;
    scroll_ = 0;
    Layout();
    full_w_ = MenuWidth();
    full_h_ = MenuHeight();

    menukit::PlaceRequest req;
    req.WorkArea = WorkAreaAt(X, Y);
    req.X = X;
    req.Y = Y;
    req.Width = full_w_;
    req.Height = full_h_;
    // A drop-down its opener right-aligns (a button on the right dock) ends
    // at the point, as the system's menus do.
    req.RightToLeft =
        options_.Alignment == T_LFM_Alignment::taRightToLeft || (!parent_ && popup_->Alignment() == paRight);
    req.Submenu = parent_ != nullptr;
    if (parent_) {
        RECT pr;
        GetWindowRect(parent_->Handle(), &pr);
        req.ParentLeft = pr.left;
    }
    req.UpAnchor = UpAnchor >= 0 ? UpAnchor : Y;
    T_LFM_Animation anim = animation_;
    if (anim == anRandom) anim = (std::rand() & 1) ? anVSlide : anHSlide;
    else if (anim == anSmart) anim = anVSlide;
    else if (anim == anPopup) anim = anUnfold;
    req.MayOpenUp = anim != anHSlide;
    menukit::Placement p = menukit::PlaceMenu(req);
    final_x_ = p.Left;
    final_y_ = p.Top;
    full_h_ = p.Height;
    full_w_ = p.Width;
    clipped_ = p.Clipped;
    opens_left_ = p.OpensLeft;
    opens_up_ = p.OpensUp;

    step_x_ = std::max(3, full_w_ / 10);
    step_y_ = std::max(3, full_h_ / 20);
    if (step_x_ < step_y_) step_x_ = step_y_;
    cur_w_ = (anim == anHSlide || anim == anUnfold) ? 0 : full_w_;
    cur_h_ = (anim == anVSlide || anim == anUnfold) ? std::max(0, full_h_ / 3 - step_y_) : full_h_;
    animation_ = anim;

    ProcessMouseMoveMessages();
    if (closing_) {
        showing_ = false;
        return false;
    }
    HideCaretCounted();
    if (anim == anFadeIn) {
        // The screen under the window and the menu's picture, blended in
        // twenty steps.
        cur_w_ = full_w_;
        cur_h_ = full_h_;
        TakeFadePictures(true);
        fade_step_ = 0;
    }
    int x = opens_left_ ? final_x_ + full_w_ - cur_w_ : final_x_;
    int y = opens_up_ ? final_y_ + full_h_ - cur_h_ : final_y_;
    if (anim == anFadeIn) {
        // Sized and shown with redrawing off: a paint now would show the
        // finished menu before the first blend.
        SendMessage(wnd_, WM_SETREDRAW, FALSE, 0);
        SetWindowPos(wnd_, HWND_TOPMOST, x, y, cur_w_, cur_h_, SWP_NOACTIVATE | SWP_NOREDRAW | SWP_SHOWWINDOW);
        SendMessage(wnd_, WM_SETREDRAW, TRUE, 0);
        ValidateRect(wnd_, nullptr);
        HDC dc = GetDC(wnd_);
        DrawFadeStep(dc, 0);
        ReleaseDC(wnd_, dc);
    } else {
        SetWindowPos(wnd_, HWND_TOPMOST, x, y, cur_w_, cur_h_, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    PlayMenuSound("MenuPopup");
    if (anim == anNone) FinishShowing();
    else PostMessage(wnd_, LFM_ANIMATE, GetTickCount(), 5);
    return true;
}

void TPopupMenu2000Form::AnimateStep(DWORD Tick, int Delay) {
    if (closing_ || !showing_) return;
    DWORD start = GetTickCount();
    int waited = static_cast<int>(start - Tick);
    if (Delay > 0 && Delay < 1000 && waited < Delay) Sleep(static_cast<DWORD>(Delay - waited));
    if (animation_ == anFadeIn) {
        if (++fade_step_ > 20) {
            FinishShowing();
            return;
        }
        HDC dc = GetDC(wnd_);
        DrawFadeStep(dc, fade_step_);
        ReleaseDC(wnd_, dc);
    } else {
        if (cur_w_ >= full_w_ && cur_h_ >= full_h_) {
            FinishShowing();
            return;
        }
        cur_w_ = full_w_ - cur_w_ <= step_x_ ? full_w_ : cur_w_ + step_x_;
        cur_h_ = full_h_ - cur_h_ <= step_y_ ? full_h_ : cur_h_ + step_y_;
        int x = opens_left_ ? final_x_ + full_w_ - cur_w_ : final_x_;
        int y = opens_up_ ? final_y_ + full_h_ - cur_h_ : final_y_;
        SetWindowPos(wnd_, HWND_TOPMOST, x, y, cur_w_, cur_h_, SWP_NOACTIVATE);
        InvalidateRect(wnd_, nullptr, FALSE);
        UpdateWindow(wnd_);
    }
    ProcessMouseMoveMessages();
    ProcessPaintMessages();
    int took = static_cast<int>(GetTickCount() - start);
    PostMessage(wnd_, LFM_ANIMATE, GetTickCount(), std::max(0, 5 - took));
}

void TPopupMenu2000Form::FinishShowing() {
    cur_w_ = full_w_;
    cur_h_ = full_h_;
    SetWindowPos(wnd_, HWND_TOPMOST, final_x_, final_y_, full_w_, full_h_, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // A faded-in window fades out again over the same screen.
    if (animation_ != anFadeIn) fade_screen_.clear();
    fade_image_.clear();
    fade_diff_.clear();
    showing_ = false;
    closing_ = false;
    InvalidateRect(wnd_, nullptr, FALSE);
    UpdateWindow(wnd_);
    SetTimer(wnd_, kSubmenuTimer, 250, nullptr);
    submenu_timer_ = true;
    BuildToolTips();
}

void TPopupMenu2000Form::MarkClosing() {
    closing_ = true;
    if (child_) child_->MarkClosing();
}

void TPopupMenu2000Form::CloseWindow() {
    if (child_) child_->CloseWindow();
    EndEditing(false);
    ControlsClosed();
    KillTimer(wnd_, kSubmenuTimer);
    KillTimer(wnd_, kExpandTimer);
    submenu_timer_ = false;
    showing_ = false;
    swallow_release_ = pointer_stale_ = false;
    ShowWindow(wnd_, SW_HIDE);
    SetWindowPos(wnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    selected_ = previous_ = kNoItem;
    hinted_ = kNoItem - 10;
    left_down_ = false;
    fade_screen_.clear();
    fade_image_.clear();
    fade_diff_.clear();
    ProcessPaintMessages();
}

RECT TPopupMenu2000Form::ItemRect(int I) const {
    if (I < 0 || I >= ShownCount()) return RECT{};
    const menukit::Row& r = layout_.Rows[static_cast<size_t>(I)];
    return RECT{left_offset_, r.Top - scroll_, left_offset_ + total_width_, r.Top - scroll_ + r.Height};
}

int TPopupMenu2000Form::ItemAtPos(int X, int Y) const {
    int w = cur_w_, h = cur_h_;
    if (layout_.HasExpandButton && X >= std::max(3, left_offset_) && X < w - 3 && Y >= h - 16 && Y < h - 3)
        return kExpandButton;
    if (layout_.HasExpandButton && Y >= h - kExpandStrip) return kNoItem;
    if (options_.Draggable && !floating_ && Y <= 11) return kDragHandle;
    if (!parent_ && options_.Title.Visible) {
        if (options_.Title.Align == atLeft && X < left_offset_) return kNoItem;
        if (options_.Title.Align == atRight && X >= w - options_.Title.Width) return kNoItem;
    }
    for (int i = 0; i < ShownCount(); ++i) {
        RECT r = ItemRect(i);
        if (Y >= r.top && Y < r.bottom) return i;
    }
    return kNoItem;
}

bool TPopupMenu2000Form::IsSelectable(int I) const {
    TMenuItem* it = shown_[static_cast<size_t>(I)];
    if (!it) {
        NativeMenuEntry e = ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(I)]);
        return !e.Separator && !e.Grayed;
    }
    if (it->IsLine()) return false;
    return it->Enabled() || !options_.Flags.contains(mfNoHighDisabled);
}

bool TPopupMenu2000Form::RowEnabled(int I) const {
    if (TMenuItem* it = shown_[static_cast<size_t>(I)]) return it->Enabled();
    return ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(I)]).Enabled();
}

bool TPopupMenu2000Form::RowHasSubmenu(int I) const {
    if (TMenuItem* it = shown_[static_cast<size_t>(I)]) return HasSubmenu(it);
    return ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(I)]).SubMenu != nullptr;
}

bool TPopupMenu2000Form::RowOpened(int I, const TPopupMenu2000Form& Child) const {
    if (TMenuItem* it = shown_[static_cast<size_t>(I)]) return it == Child.items_;
    return Child.native_ && ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(I)]).SubMenu == Child.native_;
}

void TPopupMenu2000Form::SelectItem(int Index, int Step) {
    previous_ = selected_;
    int n = ShownCount();
    int i = Index;
    if (i < 0) i = n - 1;  // above the first: the last
    while (i >= 0 && i < n && !IsSelectable(i)) i += Step;
    if (i < 0) {
        i = n - 1;
        while (i >= 0 && !IsSelectable(i)) --i;
    }
    if (i >= n) {
        // Past the last item: nothing, or the hidden items come out.
        if (layout_.HasExpandButton && Step > 0) {
            Expand();
            return;
        }
        i = kNoItem;
    }
    selected_ = i;
    EnsureVisible(selected_);
    Repaint();
    ShowHint();
}

void TPopupMenu2000Form::SetInitialSelection(bool First) {
    if (First) SelectItem(0, 1);
    else {
        selected_ = kNoItem;
        Repaint();
    }
}

void TPopupMenu2000Form::EnsureVisible(int I) {
    if (!clipped_ || I < 0) return;
    RECT r = ItemRect(I);
    int viewTop = options_.Margins.Border + (frame_ ? 2 : 0);
    int viewBottom = full_h_ - viewTop - (layout_.HasExpandButton ? kExpandStrip : 0);
    if (r.top < viewTop) scroll_ -= viewTop - r.top;
    else if (r.bottom > viewBottom) scroll_ += r.bottom - viewBottom;
    scroll_ = std::max(0, scroll_);
}

void TPopupMenu2000Form::ShowHint() {
    if (selected_ < 0 || !shown_[static_cast<size_t>(selected_)]) return;
    TMenuItem* it = shown_[static_cast<size_t>(selected_)];
    auto* k = dynamic_cast<TMenuItem2000*>(it);
    std::string hint = k ? MenuItemHint(k) : it->Hint();
    if (Application) Application->SetHint(hint);
    ShowStatusHint(hint, popup_->StatusBar(), popup_->StatusBarIndex);
}

void TPopupMenu2000Form::Expand() {
    if (expanded_) return;
    expanded_ = true;
    swallow_release_ = left_down_ || GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0;
    pointer_stale_ = GetCursorPos(&grown_under_) != 0;
    KillTimer(wnd_, kExpandTimer);
    selected_ = previous_ = kNoItem;
    PlaceAndShow(final_x_, final_y_);
}

void TPopupMenu2000Form::OnMouseMove(int X, int Y) {
    POINT pt;
    GetCursorPos(&pt);
    if (pt.x == last_mouse_.x && pt.y == last_mouse_.y) return;
    last_mouse_ = pt;
    TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, wnd_, 0};
    TrackMouseEvent(&t);
    KillTimer(wnd_, kSubmenuTimer);
    if (parent_) {
        // The parent keeps the item that opened this window selected.
        for (int i = 0; i < parent_->ShownCount(); ++i)
            if (parent_->RowOpened(i, *this) && parent_->selected_ != i) {
                parent_->selected_ = i;
                parent_->Repaint();
            }
    }
    int idx = ItemAtPos(X, Y);
    if (idx >= 0 && !IsSelectable(idx)) idx = kNoItem;
    if (idx != selected_) {
        previous_ = selected_;
        selected_ = idx;
        by_keyboard_ = false;
        Repaint();
        ShowStatusHint("", popup_->StatusBar(), popup_->StatusBarIndex);
        ShowHint();
        if (idx == kExpandButton) SetTimer(wnd_, kExpandTimer, 2000, nullptr);
        else KillTimer(wnd_, kExpandTimer);
    }
    if (!showing_) SetTimer(wnd_, kSubmenuTimer, 250, nullptr);
}

void TPopupMenu2000Form::OnSubmenuTimer() {
    if (showing_) return;
    if (hinted_ != selected_) {
        hinted_ = selected_;
        if (!by_keyboard_) ShowHint();
        if (selected_ >= 0 && RowHasSubmenu(selected_)) OpenSubmenu(false);
        else if (child_ && child_->IsOpen()) child_->CloseWindow();
    }
    HWND fg = GetForegroundWindow();
    DWORD pid = 0;
    if (fg) GetWindowThreadProcessId(fg, &pid);
    if (fg && pid != GetCurrentProcessId()) {
        CloseActiveMenus(true);
        RestoreCaret();
    }
}

bool TPopupMenu2000Form::OpenSubmenu(bool SelectFirst) {
    if (selected_ < 0) return false;
    TMenuItem* item = shown_[static_cast<size_t>(selected_)];
    auto* kit = dynamic_cast<TMenuItem2000*>(item);
    TMenuItem* source = nullptr;
    HMENU sourceMenu = nullptr;
    if (!item) {
        NativeMenuEntry e = ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(selected_)]);
        if (e.Enabled()) sourceMenu = e.SubMenu;
    } else if (kit && kit->AttachMenu()) {
        T_LFM_PopupMenu* attached = kit->AttachMenu();
        attached->SetPopupComponent(kit);
        if (attached->Items()->Count() == 0) popup_->AddEmptyTo(attached->Items());
        source = attached->Items();
    } else if (item->Count() > 0) {
        source = item;
    }
    if (child_ && child_->IsOpen() && child_->Items() == source && child_->NativeMenu() == sourceMenu) return true;
    if (child_ && child_->IsOpen()) child_->CloseWindow();
    if ((!source && !sourceMenu) || (item && !item->Enabled())) return false;

    TAliveToken alive = popup_->AliveToken();
    if (item && item->OnClick) item->OnClick(item);
    if (!alive.Alive() || closing_) return false;
    if (kit && kit->AttachMenu()) {
        if (kit->AttachMenu()->OnPopup) kit->AttachMenu()->OnPopup(kit);
        if (!alive.Alive() || closing_) return false;
    }
    if (kit && kit->Hidden()) {
        kit->SetHidden(false);
        SaveMenuItemState(kit);
    }
    if (!child_) child_ = std::make_unique<TPopupMenu2000Form>(popup_, this);
    child_->SetItems(source, sourceMenu);
    child_->expanded_ = false;
    RECT wr;
    GetWindowRect(wnd_, &wr);
    RECT ir = ItemRect(selected_);
    bool rtl = options_.Alignment == T_LFM_Alignment::taRightToLeft;
    int x = wr.left + (rtl ? 5 : (wr.right - wr.left) - 5);
    int y = wr.top + ir.top - 5;
    child_->UpAnchor = wr.top + ir.bottom + 5;
    if (!child_->PlaceAndShow(x, y)) return false;
    if (SelectFirst) child_->SetInitialSelection(true);
    return true;
}

void TPopupMenu2000Form::ChooseSelected() {
    if (selected_ == kExpandButton) {
        Expand();
        return;
    }
    if (selected_ < 0) return;
    TMenuItem* item = shown_[static_cast<size_t>(selected_)];
    if (!item) {
        ChooseNative(ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(selected_)]));
        return;
    }
    if (item->IsLine() || !item->Enabled()) return;
    if (HasSubmenu(item)) {
        OpenSubmenu(true);
        return;
    }
    auto* chosen = dynamic_cast<TMenuItem2000*>(item);
    if (chosen && StartEditing(chosen, release_x_)) return;
    KillTimer(wnd_, kSubmenuTimer);
    if (!popup_->CloseQuery()) {
        Repaint();
        return;
    }
    auto* kit = dynamic_cast<TMenuItem2000*>(item);
    if (kit && kit->Hidden() && !options_.Flags.contains(mfNoChangeHidden)) {
        kit->SetHidden(false);
        SaveMenuItemState(kit);
        // A hidden divider next to it, with nothing shown between, shows too.
        int at = selected_;
        auto hiddenItem = [&](int j) {
            auto* k = dynamic_cast<TMenuItem2000*>(shown_[static_cast<size_t>(j)]);
            return k && !k->IsLine() && k->Hidden();
        };
        for (int d : {-1, 1}) {
            int j = at + d;
            while (j >= 0 && j < ShownCount() && hiddenItem(j)) j += d;
            if (j < 0 || j >= ShownCount()) continue;
            auto* sep = dynamic_cast<TMenuItem2000*>(shown_[static_cast<size_t>(j)]);
            if (sep && sep->IsLine() && sep->Hidden()) {
                sep->SetHidden(false);
                SaveMenuItemState(sep);
            }
        }
    }
    PlayMenuSound("MenuCommand");
    if (floating_) {
        // No Popup loop waits for a floating menu: the command runs from
        // the message loop, after this handler.
        TCustomPopupMenu2000* popup = popup_;
        TAliveToken popupAlive = popup->AliveToken(), itemAlive = item->AliveToken();
        selected_ = kNoItem;
        Repaint();
        CloseActiveMenus(true);
        RunLater([popup, popupAlive, item, itemAlive] {
            if (!popupAlive.Alive() || !itemAlive.Alive()) return;
            popup->SetChosen(item);
            popup->RunChosen();
        });
        return;
    }
    if (chosen) ControlChosen(chosen);
    popup_->SetChosen(item);
    CloseActiveMenus(true, true);
    RestoreCaret();
}

void TPopupMenu2000Form::ChooseNative(const NativeMenuEntry& Entry) {
    if (Entry.Separator || !Entry.Enabled()) return;
    if (Entry.SubMenu) {
        OpenSubmenu(true);
        return;
    }
    KillTimer(wnd_, kSubmenuTimer);
    if (!popup_->CloseQuery()) {
        Repaint();
        return;
    }
    TCustomPopupMenu2000* popup = popup_;
    TAliveToken alive = popup->AliveToken();
    TCustomForm* form = popup->OwnerForm();
    TAliveToken formAlive = form ? form->AliveToken() : TAliveToken();
    popup->chose_native_ = true;
    CloseActiveMenus(true, true);
    RestoreCaret();
    // The entry's command goes where the platform's own menu sends it: an
    // MDI frame passes a system command on to its maximised document.
    if (form && formAlive.Alive()) SendMessage(form->Handle(), WM_NCACTIVATE, TRUE, 0);
    PlayMenuSound("MenuCommand");
    if (alive.Alive() && popup->OnMenuCommand) popup->OnMenuCommand(popup);
    if (form && formAlive.Alive()) PostMessage(form->Handle(), WM_COMMAND, Entry.Id, 0);
}

void TPopupMenu2000Form::OnRelease(int X, int Y, bool Right) {
    left_down_ = false;
    if (swallow_release_) {
        // The press was made on the menu before it grew: what lies under
        // the pointer now was never aimed at.
        swallow_release_ = false;
        return;
    }
    int idx = ItemAtPos(X, Y);
    if (idx == kExpandButton) {
        Expand();
        return;
    }
    if (idx < 0 || pointer_stale_) return;
    selected_ = idx;
    release_x_ = X;
    if (Right) {
        auto* kit = dynamic_cast<TMenuItem2000*>(shown_[static_cast<size_t>(idx)]);
        if (kit && kit->PopupMenu()) {
            ShowItemPopup(kit);
            return;
        }
    }
    ChooseSelected();
}

void TPopupMenu2000Form::ShowItemPopup(TMenuItem2000* Item) {
    T_LFM_PopupMenu* menu = Item->PopupMenu();
    POINT pt;
    GetCursorPos(&pt);
    menu->SetPopupComponent(Item);
    if (auto* kit = dynamic_cast<TCustomPopupMenu2000*>(menu)) {
        // Its windows are its own: the open chain stays as it is, and gets
        // the keys back once the item's menu has closed.
        TCustomPopupMenu2000* outer = ActivePopup();
        TAliveToken alive = popup_->AliveToken();
        bool shown = !kit->TrackPopup(pt.x, pt.y, Item);
        MSG m;
        while (shown && kit->IsFormOpen()) {
            BOOL got = GetMessageA(&m, nullptr, 0, 0);
            if (got <= 0) {
                PostQuitMessage(got == 0 ? static_cast<int>(m.wParam) : 0);
                break;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (!alive.Alive()) return;
        if (ActivePopup() == kit) SetActivePopup(outer && outer->IsFormOpen() ? outer : nullptr);
        kit->RunChosen();
        return;
    }
    if (menu->OnPopup) menu->OnPopup(Item);
    menu->Popup(pt.x, pt.y);
}

bool TPopupMenu2000Form::KeyMessage(const MSG& Msg) {
    if (tips_) tips_->Deactivate();
    if (editing_ && EditKeyMessage(Msg)) return true;
    if (Msg.message == WM_KEYUP || Msg.message == WM_SYSKEYUP || Msg.message == WM_CHAR) return false;
    WPARAM key = Msg.wParam;
    if ((Msg.message == WM_SYSKEYDOWN && (key == VK_MENU || key == VK_F10)) ||
        (Msg.message == WM_KEYDOWN && key == VK_F10)) {
        // The key's release comes to the bar with nothing open: told now,
        // it does not go into menu mode then.
        if (popup_->Bar) popup_->Bar->SetAltConsumed(true);
        CloseActiveMenus(true);
        RestoreCaret();
        return true;
    }
    bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    by_keyboard_ = true;
    switch (key) {
        case VK_UP:
            KillTimer(wnd_, kSubmenuTimer);
            SelectItem(selected_ < 0 ? ShownCount() - 1 : selected_ - 1, -1);
            return true;
        case VK_DOWN:
            KillTimer(wnd_, kSubmenuTimer);
            if (ctrl && layout_.HasExpandButton) Expand();
            else SelectItem(selected_ < 0 ? 0 : selected_ + 1, 1);
            return true;
        case VK_TAB:
            if (shift) SelectItem(selected_ < 0 ? ShownCount() - 1 : selected_ - 1, -1);
            else SelectItem(selected_ < 0 ? 0 : selected_ + 1, 1);
            return true;
        case VK_RIGHT:
            if (selected_ >= 0 && RowEnabled(selected_) && RowHasSubmenu(selected_)) {
                OpenSubmenu(true);
                return true;
            }
            return popup_->Bar == nullptr;
        case VK_LEFT:
            if (parent_) {
                parent_->CloseChild();
                return true;
            }
            return popup_->Bar == nullptr;
        case VK_ESCAPE:
            if (parent_) parent_->CloseChild();
            else {
                CloseActiveMenus(popup_->Bar == nullptr);
                RestoreCaret();
            }
            return true;
        case VK_RETURN:
            release_x_ = 0x7FFF;
            ChooseSelected();
            return true;
        case VK_F1:
            if (selected_ >= 0 && shown_[static_cast<size_t>(selected_)] && Application &&
                !Application->HelpFile().empty()) {
                int context = shown_[static_cast<size_t>(selected_)]->HelpContext();
                if (context != 0) {
                    CloseActiveMenus(true);
                    RestoreCaret();
                    Application->HelpContext(context);
                }
            }
            return true;
        case VK_SHIFT:
        case VK_CONTROL:
            return true;
        default: break;
    }
    char ch = 0;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) ch = static_cast<char>(key);
    else ch = static_cast<char>(MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_CHAR) & 0xFF);
    for (bool firstLetter : {false, true}) {
        for (int i = 0; i < ShownCount(); ++i) {
            TMenuItem* it = shown_[static_cast<size_t>(i)];
            if (!it) {
                NativeMenuEntry e = ReadNativeMenuEntry(native_, native_pos_[static_cast<size_t>(i)]);
                std::string text, sc;
                menukit::SplitAtTab(e.Text, text, sc);
                if (e.Separator || !menukit::IsItemAccel(ch, text, firstLetter)) continue;
                if (e.Grayed) {
                    MessageBeep(0);
                    return true;
                }
                selected_ = i;
                Repaint();
                ChooseSelected();
                return true;
            }
            if (it->IsLine() || !it->Enabled()) continue;
            if (menukit::IsItemAccel(ch, it->Caption(), firstLetter)) {
                selected_ = i;
                Repaint();
                ChooseSelected();
                return true;
            }
        }
    }
    MessageBeep(0);
    return true;
}

void TPopupMenu2000Form::TearOff() {
    TCustomPopupMenu2000* popup = popup_;
    // An earlier floating copy of the same items goes.
    auto& list = popup->floating_;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i]->Items() == items_) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    auto f = std::make_unique<TPopupMenu2000Form>(popup, nullptr);
    TPopupMenu2000Form* w = f.get();
    w->floating_ = true;
    w->items_ = items_;
    w->native_ = native_;
    w->expanded_ = expanded_;
    std::string caption = popup->Options().Caption;
    if (caption.empty() && items_ && items_ != popup->Items()) caption = menukit::StripAmpersands(items_->Caption());
    if (caption.empty()) caption = "LFM/2000 Menu";
    SetWindowTextA(w->wnd_, caption.c_str());
    SetWindowLongPtrA(w->wnd_, GWL_STYLE, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    SetWindowLongPtrA(w->wnd_, GWL_EXSTYLE, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    w->Prepare();
    w->frame_ = false;
    w->Layout();
    w->full_w_ = w->cur_w_ = w->MenuWidth();
    w->full_h_ = w->cur_h_ = w->MenuHeight();
    RECT r{0, 0, w->full_w_, w->full_h_};
    AdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOOLWINDOW);
    RECT here;
    GetWindowRect(wnd_, &here);
    list.push_back(std::move(f));
    SetWindowPos(w->wnd_, HWND_TOPMOST, here.left, here.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    w->BuildToolTips();
    // Every other menu closes; this window (hidden with its chain) stays
    // as it is, and the floating one is moved with the mouse.
    CloseActiveMenus(true);
    RestoreCaret();
    HWND fw = w->wnd_;
    SetTimer(fw, kSubmenuTimer, 250, nullptr);
    RunLater([fw] {
        if (IsWindow(fw) && (GetKeyState(VK_LBUTTON) & 0x8000)) PostMessage(fw, WM_SYSCOMMAND, SC_MOVE + 2, 0);
    });
}

void TPopupMenu2000Form::CloseChild() {
    if (child_ && child_->IsOpen()) child_->CloseWindow();
    Repaint();
}

LRESULT TPopupMenu2000Form::Handle(UINT Msg, WPARAM W, LPARAM L) {
    switch (Msg) {
        case LFM_PREPARE: Prepare(); return 0;
        case LFM_ANIMATE: AnimateStep(static_cast<DWORD>(W), static_cast<int>(L)); return 0;
        case LFM_CLOSING: MarkClosing(); return 0;
        case LFM_STOPTIMER:
            KillTimer(wnd_, kSubmenuTimer);
            if (child_) SendMessage(child_->Handle(), LFM_STOPTIMER, 0, 0);
            return 0;
        case LFM_CLOSE:
            if (L) FadeOut();
            CloseWindow();
            return 0;
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_CLOSE:
            if (floating_) {
                // Released from the message loop, never inside this handler.
                TCustomPopupMenu2000* popup = popup_;
                TAliveToken alive = popup->AliveToken();
                TPopupMenu2000Form* self = this;
                ShowWindow(wnd_, SW_HIDE);
                RunLater([popup, alive, self] {
                    if (!alive.Alive()) return;
                    auto& l = popup->floating_;
                    for (size_t i = 0; i < l.size(); ++i)
                        if (l[i].get() == self) {
                            l.erase(l.begin() + static_cast<std::ptrdiff_t>(i));
                            break;
                        }
                });
                return 0;
            }
            break;
        case WM_ERASEBKGND: return 1;
        case WM_SETCURSOR:
            if (LOWORD(L) == HTCLIENT && ControlCursor()) return TRUE;
            break;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(wnd_, &ps);
            PaintWindow(dc);
            EndPaint(wnd_, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
        case WM_PRINT: {
            PaintTo(reinterpret_cast<HDC>(W));
            return 0;
        }
        case WM_TIMER:
            if (W == kSubmenuTimer) OnSubmenuTimer();
            else if (W == kExpandTimer) {
                KillTimer(wnd_, kExpandTimer);
                if (selected_ == kExpandButton) Expand();
            }
            return 0;
        case WM_MOUSEMOVE:
            if (pointer_stale_) {
                // The platform also reports a pointer that stood still while
                // the window changed under it.
                POINT at{static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L))};
                ClientToScreen(wnd_, &at);
                pointer_stale_ = at.x == grown_under_.x && at.y == grown_under_.y;
            }
            ControlMouseMove(static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L)));
            OnMouseMove(static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L))); return 0;
        case WM_MOUSELEAVE:
            last_mouse_ = {-1, -1};
            if (selected_ >= 0 && !RowHasSubmenu(selected_)) {
                selected_ = kNoItem;
                Repaint();
                ShowStatusHint("", popup_->StatusBar(), popup_->StatusBarIndex);
            }
            return 0;
        case WM_MOUSEWHEEL:
            if (clipped_) {
                scroll_ = std::max(0, scroll_ - GET_WHEEL_DELTA_WPARAM(W) / WHEEL_DELTA * item_height_);
                int maxScroll = std::max(0, layout_.Bottom - (full_h_ - (layout_.HasExpandButton ? kExpandStrip : 0)) +
                                                options_.Margins.Border + (frame_ ? 2 : 0));
                scroll_ = std::min(scroll_, maxScroll);
                Repaint();
            }
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            if (tips_) tips_->Deactivate();
            if (pointer_stale_) return 0;
            if (Msg == WM_LBUTTONDOWN && options_.Draggable && !floating_ &&
                ItemAtPos(static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L))) == kDragHandle) {
                TearOff();
                return 0;
            }
            left_down_ = Msg == WM_LBUTTONDOWN;
            Repaint();
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            OnRelease(static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L)), Msg == WM_RBUTTONUP);
            return 0;
        default: break;
    }
    return DefWindowProcA(wnd_, Msg, W, L);
}


}  // namespace bramble
