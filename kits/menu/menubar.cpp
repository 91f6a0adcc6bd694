#include "kits/menu/menubar.h"

#include <algorithm>

#include "kits/menu/itemdraw.h"
#include "kits/menu/menutext.h"
#include "ui/canvasext.h"
#include "ui/forms.h"
#include "ui/mdi.h"

namespace bramble {

namespace {

enum BarWork : WPARAM { kDropDown = 1, kShortCut = 2, kSystemMenu = 3 };
constexpr UINT_PTR kHiddenTimer = 3;

bool HasHiddenBelow(TMenuItem* Item) {
    for (int i = 0; i < Item->Count(); ++i) {
        auto* k = dynamic_cast<TMenuItem2000*>(Item->Items(i));
        if ((k && k->Hidden() && k->Visible()) || HasHiddenBelow(Item->Items(i))) return true;
    }
    return false;
}

// A window's system menu with the states the platform gives it when it
// opens it itself.
HMENU PrepareSystemMenu(HWND Window) {
    HMENU sys = GetSystemMenu(Window, FALSE);
    if (!sys) return nullptr;
    LONG_PTR style = GetWindowLongPtrA(Window, GWL_STYLE);
    bool iconic = IsIconic(Window), zoomed = IsZoomed(Window);
    auto state = [&](UINT command, bool enabled) {
        EnableMenuItem(sys, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    };
    state(SC_RESTORE, iconic || zoomed);
    state(SC_MOVE, !iconic && !zoomed);
    state(SC_SIZE, !iconic && !zoomed && (style & WS_THICKFRAME));
    state(SC_MINIMIZE, !iconic && (style & WS_MINIMIZEBOX));
    state(SC_MAXIMIZE, !zoomed && (style & WS_MAXIMIZEBOX));
    return sys;
}

// Ctrl or Alt down, a function key, or one of the editing keys.
bool LooksLikeShortCut(WPARAM Key) {
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return true;
    if (Key >= VK_F1 && Key <= VK_F12) return true;
    switch (Key) {
        case VK_ESCAPE: case VK_DELETE: case VK_INSERT: case VK_BACK: case VK_RETURN: return true;
        default: return false;
    }
}

TMenuItem* FindShortCut(TMenuItem* Parent, TShortCut Key) {
    for (int i = 0; i < Parent->Count(); ++i) {
        TMenuItem* it = Parent->Items(i);
        auto* k = dynamic_cast<TMenuItem2000*>(it);
        if (k ? k->HasShortCutValue(Key) : (it->ShortCut() != 0 && it->ShortCut() == Key)) return it;
        if (TMenuItem* sub = FindShortCut(it, Key)) return sub;
    }
    return nullptr;
}

}  // namespace


TCustomMenuBar2000::TCustomMenuBar2000(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 50, 21);
    SetAlign(alTop);
    SetParentFont(false);
    MenuBars().push_back(this);
    sys_item_ = std::make_unique<TMenuItem2000>(nullptr);
    TakeOptions();
    // Keys reach the bar through the kit's message hook; document and
    // activation changes through the other two.
    InstallGetMessageHook();
    InstallActivationHooks();
}

TCustomMenuBar2000::~TCustomMenuBar2000() {
    auto& bars = MenuBars();
    bars.erase(std::remove(bars.begin(), bars.end(), static_cast<TMenuBarLink*>(this)), bars.end());
    RemoveGetMessageHook();
    RemoveActivationHooks();
    if (popup_ && ActivePopup() == popup_.get()) CloseActiveMenus(false);
    popup_.reset();
    if (menu_) menu_->RemoveFreeNotification(this);
    FreeBarFont();
}

HFONT TCustomMenuBar2000::BarFont() {
    if (!system_font_) return Font().Handle();
    if (!font_) font_ = CreateMenuFont();
    return font_;
}

void TCustomMenuBar2000::FreeBarFont() {
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

void TCustomMenuBar2000::SetSystemFont(bool v) {
    if (v) SetParentFont(false);
    if (v == system_font_) return;
    system_font_ = v;
    FreeBarFont();
    UpdateItems(true);
}

void TCustomMenuBar2000::FontChanged() {
    TCustomControl::FontChanged();
    FreeBarFont();
    UpdateItems(true);
}

void TCustomMenuBar2000::SetCtl3D(bool v) {
    if (v == ctl3d_) return;
    ctl3d_ = v;
    Invalidate();
}

void TCustomMenuBar2000::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    TControlStyle style = ControlStyle();
    if (v) style.erase(csOpaque);
    else style.insert(csOpaque);
    SetControlStyle(style);
    if (v) parent_image_ = std::make_unique<TBitmap>(std::max(1, Width()), std::max(1, Height()));
    else parent_image_.reset();
    if (popup_ && popup_->IsFormOpen()) CloseActiveMenus(true);
    Invalidate();
}

void TCustomMenuBar2000::InitiateAction() {
    for (TMenuItem* it : TopItems())
        if (it != sys_item_.get() && it->Visible()) it->InitiateAction();
}

void TCustomMenuBar2000::SetMenu(TMenu* v) {
    if (v == menu_) return;
    if (menu_) menu_->RemoveFreeNotification(this);
    menu_ = v;
    if (v) v->FreeNotification(this);
    UpdateItems(true);
}

void TCustomMenuBar2000::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opInsert) {
        // A main menu put on the bar's form is what a bar without one shows.
        if (auto* m = dynamic_cast<TMainMenu*>(AComponent); m && !menu_) SetMenu(m);
        return;
    }
    if (Operation != opRemove) return;
    if (AComponent == menu_) {
        menu_ = nullptr;
        rects_.clear();
        selected_ = open_ = -1;
    }
    if (AComponent == StatusBar) StatusBar = nullptr;
}

void TCustomMenuBar2000::Loaded() {
    TCustomControl::Loaded();
    TCustomForm* form = GetParentForm(this);
    if (!menu_ && form && form->Menu()) SetMenu(form->Menu());
    // Only the bar shows the menu.
    if (form && menu_ && form->Menu() == menu_) form->SetMenu(nullptr);
    TakeOptions();
    UpdateItems(true);
}

void TCustomMenuBar2000::TakeOptions() {
    work_.Assign(options_);
    // Captions centred in their items; right to left keeps its own order.
    if (work_.Alignment != T_LFM_Alignment::taRightToLeft) work_.Alignment = T_LFM_Alignment::taCenter;
    work_.Margins.Left = work_.Margins.Top = work_.Margins.Right = work_.Margins.Bottom = 0;
}

void TCustomMenuBar2000::Repaint() {
    if (ComponentState().contains(csLoading) || ComponentState().contains(csDestroying)) return;
    TakeOptions();
    UpdateItems(true);
    TCustomControl::Update();
}

void TCustomMenuBar2000::Update() { Repaint(); }

std::vector<TMenuItem*> TCustomMenuBar2000::TopItems() const {
    std::vector<TMenuItem*> items;
    if (!menu_) return items;
    if (MaximizedChild()) items.push_back(sys_item_.get());
    if (auto* main = dynamic_cast<TCustomMainMenu2000*>(menu_)) {
        for (int i = 0; i < main->GetMergedCount(); ++i)
            if (TMenuItem* it = main->GetMergedItem(i); it && it->Visible()) items.push_back(it);
        return items;
    }
    for (int i = 0; i < menu_->Items()->Count(); ++i)
        if (menu_->Items()->Items(i)->Visible()) items.push_back(menu_->Items()->Items(i));
    return items;
}

void TCustomMenuBar2000::UpdateItems(bool Rebuild) {
    if (ComponentState().contains(csLoading) || ComponentState().contains(csDestroying)) return;
    if (!popup_) {
        popup_ = std::make_unique<TCustomPopupMenu2000>(nullptr);
        popup_->Bar = this;
    }
    if (Rebuild) {
        Relayout();
        BuildToolTips();
    }
    Invalidate();
}

void TCustomMenuBar2000::BuildToolTips() {
    tips_.reset();
    if (!ShowHint() || !HandleAllocated()) return;
    tips_ = std::make_unique<T_LFM_ToolTipWindow>(TWinControl::Handle());
    for (const TopRect& t : rects_) {
        auto* k = dynamic_cast<TMenuItem2000*>(t.Item);
        std::string hint = k ? k->KitHint() : t.Item->Hint();
        if (!hint.empty()) tips_->AddTool(t.Rect, hint);
    }
}

int TCustomMenuBar2000::GlyphWidth(TMenuItem* Item) const {
    auto* k = dynamic_cast<TMenuItem2000*>(Item);
    if (k && k->HasBitmap()) return k->Bitmap().Width();
    if (k && k->DefaultIndex() >= 0) return 16;
    if (Item->ImageIndex() >= 0 && menu_ && menu_->Images()) return menu_->Images()->Width();
    // A class-library item's picture keeps a gap to its caption.
    if (!k && Item->HasBitmap()) return Item->Bitmap().Width() + 4;
    return 0;
}

void TCustomMenuBar2000::Relayout() {
    if (auto* main = dynamic_cast<TCustomMainMenu2000*>(menu_)) main->BuildMergedItems();
    std::vector<TMenuItem*> items = TopItems();
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, BarFont());
    std::vector<int> widths;
    int height = 0, widest = 0;
    int bs = MenuButtonSize();
    for (TMenuItem* it : items) {
        if (it == sys_item_.get()) {
            widths.push_back(bs + 6);
            height = std::max(height, bs + 4);
            continue;
        }
        std::string t = menukit::StripAmpersands(it->Caption());
        SIZE s{};
        GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &s);
        int w = s.cx + GlyphWidth(it);
        widths.push_back(w + 12);
        height = std::max<int>(height, s.cy + 5);
        widest = std::max(widest, w + 12);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);

    // A parent that sizes itself to the bar gives no width to wrap at: its
    // width is the bar's own from the last fit.
    int avail = StretchToParent && Parent() ? Parent()->ClientWidth() : INT32_MAX;
    avail = std::max(avail, widest);
    rects_.clear();
    int x = 0, y = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (x > 0 && x + widths[i] > avail) {
            x = 0;
            y += height + 1;
        }
        rects_.push_back({items[i], RECT{x, y, x + widths[i], y + height}});
        x += widths[i];
    }
    // The document's caption buttons need their room after the last item.
    bool buttons = !items.empty() && items.front() == sys_item_.get();
    int buttonsWidth = 3 * bs + 3;
    bool ownRow = buttons && x > 0 && x + buttonsWidth > std::max(avail, buttonsWidth);
    if (ownRow) y += height + 1;
    int w = 50, h = 10;
    if (!rects_.empty()) {
        w = 0;
        for (const TopRect& r : rects_) w = std::max<int>(w, r.Rect.right);
        h = std::max<int>(rects_.back().Rect.bottom, buttons ? y + height : 0);
        if (buttons) w = std::max<int>(w, ownRow ? buttonsWidth : rects_.back().Rect.right + buttonsWidth);
    }
    if (StretchToParent && Parent()) w = std::max(w, Parent()->ClientWidth());
    if (work_.Alignment == T_LFM_Alignment::taRightToLeft) PlaceRightToLeft(w);
    if (selected_ >= TopCount()) selected_ = -1;
    SetBounds(Left(), Top(), w, h);
}

bool TCustomMenuBar2000::FormActive() {
    if (!HandleAllocated()) return false;
    HWND root = GetAncestor(TWinControl::Handle(), GA_ROOT);
    HWND active = GetActiveWindow();
    if (!active) return false;
    if (active == root) return true;
    // A floating window (the toolbar the bar sits on) owned by the form.
    HWND owner = GetWindow(root, GW_OWNER);
    return GetWindow(active, GW_OWNER) == root || (owner && active == owner);
}

void TCustomMenuBar2000::PaintParentImage() {
    if (!Parent()) return;
    if (!parent_image_) parent_image_ = std::make_unique<TBitmap>(1, 1);
    if (parent_image_->Width() != Width() || parent_image_->Height() != Height())
        parent_image_->SetSize(std::max(1, Width()), std::max(1, Height()));
    HDC dc = parent_image_->Canvas().Handle();
    int saved = SaveDC(dc);
    SetWindowOrgEx(dc, Left(), Top(), nullptr);
    IntersectClipRect(dc, 0, 0, Parent()->Width(), Parent()->Height());
    Parent()->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    Parent()->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
}

void TCustomMenuBar2000::PaintTopItem(HDC DC, int Index, const T_LFM_Options& Work) {
    const TopRect& t = rects_[static_cast<size_t>(Index)];
    RECT r = t.Rect;
    bool sel = Index == selected_ && mode_ > 0;
    // Ctl3D: an active menu's item pressed in, a hot one raised; flat bars
    // highlight instead.
    bool pressed = sel && mode_ == 2 && ctl3d_;
    if (t.Item == sys_item_.get()) {  // the document's icon, drawn with the document parts
        if (pressed) DrawEdge(DC, &r, BDR_SUNKENOUTER, BF_RECT);
        else if (sel) DrawEdge(DC, &r, BDR_RAISEDINNER, BF_RECT);
        return;
    }
    int shift = pressed ? 1 : 0;
    int glyph = GlyphWidth(t.Item);
    ItemDrawContext c;
    c.DC = DC;
    c.Options = &Work;
    c.Flags = Work.Flags;
    c.Font = BarFont();
    c.Images = menu_ ? menu_->Images() : nullptr;
    c.Transparent = transparent_;
    c.SingleLine = true;
    c.Top = r.top + shift;
    c.Height = r.bottom - r.top;
    c.Cols.ItemLeft = r.left + shift;
    c.Cols.ItemRight = r.right + shift;
    if (Work.Alignment == T_LFM_Alignment::taRightToLeft) {
        c.Cols.BitmapX = r.right - 4 - glyph + shift;
        c.Cols.CaptionX = r.left + 4 + shift;
        c.Cols.CaptionWidth = c.Cols.BitmapX - c.Cols.CaptionX;
    } else {
        c.Cols.BitmapX = r.left + 4 + shift;
        c.Cols.CaptionX = c.Cols.BitmapX + glyph;
        c.Cols.CaptionWidth = r.right - 4 + shift - c.Cols.CaptionX;
    }
    c.Cols.BitmapWidth = glyph;
    c.Cols.ShortCutX = c.Cols.ArrowX = r.right;
    ItemDrawState st;
    st.Selected = sel && !ctl3d_;
    st.Disabled = !t.Item->Enabled();
    st.Checked = t.Item->Checked();
    st.Radio = t.Item->RadioItem();
    // The bar shows captions only: a caption's shortcut part stays off it.
    DrawMenuItem(c, t.Item, st);
    if (pressed) DrawEdge(DC, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (sel && ctl3d_) DrawEdge(DC, &r, BDR_RAISEDINNER, BF_RECT);
}

void TCustomMenuBar2000::Paint() {
    HDC target = Canvas().Handle();
    int w = std::max(1, Width()), h = std::max(1, Height());
    // Drawn off screen and copied at once: no flicker while tracking.
    TBitmap work(w, h);
    HDC dc = work.Canvas().Handle();
    RECT all{0, 0, w, h};
    if (transparent_ && Parent()) {
        PaintParentImage();
        BitBlt(dc, 0, 0, w, h, parent_image_->Canvas().Handle(), 0, 0, SRCCOPY);
    } else {
        HBRUSH bg = CreateSolidBrush(ColorToRGB(work_.Colors.Menu));
        FillRect(dc, &all, bg);
        DeleteObject(bg);
    }
    // Grey captions while the form is not active.
    T_LFM_Options look;
    look.Assign(work_);
    if (!FormActive()) look.Colors.MenuText = look.Colors.DisabledText;
    PaintMDIParts(dc);
    for (int i = 0; i < TopCount(); ++i) PaintTopItem(dc, i, look);
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
}

int TCustomMenuBar2000::ItemAt(int X, int Y) const {
    for (int i = 0; i < TopCount(); ++i) {
        const RECT& r = rects_[static_cast<size_t>(i)].Rect;
        if (X >= r.left && X < r.right && Y >= r.top && Y < r.bottom) return i;
    }
    return -1;
}

void TCustomMenuBar2000::Select(int Index) {
    if (Index == selected_) return;
    selected_ = Index;
    Invalidate();
}

void TCustomMenuBar2000::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    if (!FormActive()) return;
    if (tips_ && mode_ != 2) {
        tips_->RelayMouseMove(POINT{X, Y});
        tips_->Activate();
    }
    if (pressed_) {
        // Held on a caption button: sunken only while over it.
        int over = CaptionButtonAt(X, Y) == pressed_ ? pressed_ : 0;
        if (over != pressed_over_) {
            pressed_over_ = over;
            Invalidate();
        }
        return;
    }
    if (std::abs(X - last_mouse_.x) < 3 && std::abs(Y - last_mouse_.y) < 3) return;
    last_mouse_ = {X, Y};
    int i = ItemAt(X, Y);
    if (mode_ == 2) {
        if (i >= 0 && i != open_ && popup_ && popup_->IsFormOpen()) {
            // Sliding along the bar switches the open drop-down.
            switch_to_ = i;
            Select(i);
            CloseActiveMenus(false);
        }
        return;
    }
    if (i >= 0) {
        mode_ = 1;
        Select(i);
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, TWinControl::Handle(), 0};
        TrackMouseEvent(&t);
    } else if (mode_ == 1) {
        mode_ = 0;
        Select(-1);
    }
}

void TCustomMenuBar2000::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) {
        CloseActiveMenus(true);
        return;
    }
    if (int b = CaptionButtonAt(X, Y); b && CaptionButtonAvailable(b)) {
        CloseActiveMenus(true);
        pressed_ = pressed_over_ = b;
        SetCapture(TWinControl::Handle());
        Invalidate();
        return;
    }
    int i = ItemAt(X, Y);
    if (i < 0) return;
    if (open_ == i && popup_ && popup_->IsFormOpen()) {
        // A second press on the open item closes it.
        CloseActiveMenus(true);
        return;
    }
    if (popup_ && popup_->IsFormOpen()) {
        // Another item: the open drop-down's loop ends, then this one opens.
        switch_to_ = i;
        Select(i);
        CloseActiveMenus(false);
        return;
    }
    Select(i);
    DropDown(i, false);
}

void TCustomMenuBar2000::DropDown(int Index, bool SelectFirst) {
    TAliveToken alive = AliveToken();
    for (int next = Index; next >= 0 && alive.Alive();) {
        switch_to_ = -1;
        if (next >= TopCount()) break;
        TMenuItem* item = rects_[static_cast<size_t>(next)].Item;
        if (!item->Enabled()) break;
        if (item->OnClick) item->OnClick(item);
        if (!alive.Alive()) return;
        auto* kit = dynamic_cast<TMenuItem2000*>(item);
        TMenuItem* source = nullptr;
        HMENU native = nullptr;
        if (item == sys_item_.get()) {
            // The document's own system menu: its commands reach it through
            // the frame, which hands system commands to a maximised child.
            if (TCustomForm* child = MaximizedChild()) {
                native = PrepareSystemMenu(child->Handle());
                sys_item_->Clear();
                source = native ? sys_item_.get() : nullptr;
            }
        } else if (kit && kit->AttachMenu()) source = kit->AttachMenu()->Items();
        else if (item->Count() > 0) source = item;
        if (!source) {
            if (SelectFirst) ExitMenuMode();
            break;
        }
        mode_ = 2;
        selected_ = open_ = next;
        if (tips_) tips_->Deactivate();
        bool expanded = popup_->Options().Flags.contains(mfHiddenIsVisible);
        popup_->Options().Assign(options_);
        if (expanded) popup_->Options().Flags.insert(mfHiddenIsVisible);
        popup_->SetShowHint(ShowHint());
        popup_->SetSystemFont(system_font_);
        popup_->SetFont(Font());
        popup_->Ctl3D = ctl3d_;
        popup_->SetStatusBar(StatusBar);
        popup_->StatusBarIndex = StatusBarIndex;
        popup_->OnMenuCommand = OnMenuCommand;
        popup_->OnMenuClose = OnMenuClose;
        popup_->OnCloseQuery = OnCloseQuery;
        popup_->SetImages(menu_ ? menu_->Images() : nullptr);
        popup_->SetPopupComponent(this);
        popup_->SetAttachedItem(source);
        popup_->SetNativeMenu(native);
        popup_->SelectFirstOnShow = SelectFirst;
        Invalidate();
        // Resting on the item shows its hidden items after a while.
        if (!options_.Flags.contains(mfNoAutoShowHidden) && HasHiddenBelow(source))
            SetTimer(TWinControl::Handle(), kHiddenTimer, 3000, nullptr);
        RECT r = rects_[static_cast<size_t>(next)].Rect;
        bool rtl = options_.Alignment == T_LFM_Alignment::taRightToLeft;
        POINT p{rtl ? r.right : r.left, r.bottom};
        ::ClientToScreen(TWinControl::Handle(), &p);
        POINT top{r.left, r.top};
        ::ClientToScreen(TWinControl::Handle(), &top);
        popup_->UpAnchor = top.y;
        popup_->Popup(p.x, p.y);
        if (!alive.Alive()) return;
        popup_->SetNativeMenu(nullptr);
        KillTimer(TWinControl::Handle(), kHiddenTimer);
        open_ = -1;
        next = switch_to_;
    }
    if (!alive.Alive()) return;
    // Changes that came while the drop-down was open.
    if (pending_layout_) {
        pending_layout_ = false;
        UpdateItems(true);
    }
    Invalidate();
}

void TCustomMenuBar2000::ExitMenuMode() {
    if (switch_to_ >= 0) return;  // only switching to another item
    if (popup_) popup_->ResetExpansion();
    mode_ = 0;
    selected_ = -1;
    pressed_ = pressed_over_ = 0;
    Invalidate();
}

bool TCustomMenuBar2000::OwnsWindow(HWND Window) {
    if (!HandleAllocated() || !Window) return false;
    HWND me = TWinControl::Handle();
    return Window == me || IsChild(me, Window);
}

bool TCustomMenuBar2000::AcceptsKeys() {
    if (!HandleAllocated() || !menu_) return false;
    for (TControl* c = this; c; c = c->Parent()) {
        if (!c->Visible()) return false;
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated() && !IsWindowEnabled(w->Handle()))
            return false;
    }
    return FormActive();
}

std::vector<TMenu*> TCustomMenuBar2000::ShortCutMenus() const {
    std::vector<TMenu*> menus;
    if (!menu_) return menus;
    menus.push_back(menu_);
    auto* main = dynamic_cast<TCustomMainMenu2000*>(menu_);
    if (!main) return menus;
    // Only the menus the bar shows: a document behind the active one keeps
    // its keys, as it keeps its items off the bar.
    for (int i = 0; i < main->GetMergedCount(); ++i) {
        TMenuItem* it = main->GetMergedItem(i);
        TMenu* m = it ? it->GetParentMenu() : nullptr;
        if (m && std::find(menus.begin(), menus.end(), m) == menus.end()) menus.push_back(m);
    }
    return menus;
}

bool TCustomMenuBar2000::FindShortCutItem(TShortCut Key) const {
    for (TMenu* m : ShortCutMenus())
        if (FindShortCut(m->Items(), Key)) return true;
    return false;
}

void TCustomMenuBar2000::RunShortCut(TShortCut Key) {
    // The first menu that has the key runs it; it may free the menus.
    for (TMenu* m : ShortCutMenus())
        if (KeyMatchesShortCut(Key, m->Items())) return;
}

void TCustomMenuBar2000::ShowSelectedHelp() {
    TMenuItem* item = selected_ >= 0 && selected_ < TopCount() ? rects_[static_cast<size_t>(selected_)].Item : nullptr;
    int context = item ? item->HelpContext() : 0;
    CloseActiveMenus(true);
    ExitMenuMode();
    RestoreCaret();
    if (context != 0 && Application && !Application->HelpFile().empty()) ShowMenuHelp(OwnerForm(), context);
}

bool TCustomMenuBar2000::TryAccelerator(char Key) {
    for (bool firstLetter : {false, true})
        for (int i = 0; i < TopCount(); ++i) {
            TMenuItem* it = rects_[static_cast<size_t>(i)].Item;
            if (it->Enabled() && menukit::IsItemAccel(Key, it->Caption(), firstLetter)) {
                Select(i);
                mode_ = 2;
                PostMessage(TWinControl::Handle(), LFM_BARWORK, kDropDown, MAKELPARAM(i, 1));
                return true;
            }
        }
    return false;
}

bool TCustomMenuBar2000::BarKeyMessage(const MSG& Msg) {
    WPARAM key = Msg.wParam;
    HWND me = TWinControl::Handle();
    if (Msg.message == WM_SYSKEYUP) {
        if ((key == VK_MENU || key == VK_F10) && mode_ == 0 && !alt_consumed_) {
            HideCaretCounted();
            mode_ = 2;
            Select(TopCount() > 0 ? 0 : -1);
        } else if (key != VK_MENU && key != VK_F10 && !alt_consumed_ && LooksLikeShortCut(key)) {
            // A key whose press never reached the bar as a shortcut.
            TShortCut sc = ShortCutOfKey(key, Msg.lParam);
            if (FindShortCutItem(sc)) PostMessage(me, LFM_BARWORK, kShortCut, sc);
        }
        alt_consumed_ = false;
        return true;
    }
    if (Msg.message == WM_SYSKEYDOWN) {
        if (key == VK_MENU || key == VK_F10) {
            if (mode_ != 0) {
                alt_consumed_ = true;
                ExitMenuMode();
                RestoreCaret();
            }
            return key == VK_F10 || mode_ != 0;
        }
        if (mode_ != 0) {
            alt_consumed_ = true;
            ExitMenuMode();
            return true;
        }
        if (key == VK_SUBTRACT) {
            auto* frame = dynamic_cast<TMDIFrameForm*>(OwnerForm());
            if (frame && frame->ActiveMDIChild()) {
                alt_consumed_ = true;
                PostMessage(me, LFM_BARWORK, kSystemMenu, 0);
                return true;
            }
        }
        TShortCut sc = ShortCutOfKey(key, Msg.lParam);
        if (FindShortCutItem(sc)) {
            PostMessage(me, LFM_BARWORK, kShortCut, sc);
            alt_consumed_ = true;
            return true;
        }
        char ch = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') ? static_cast<char>(key) : 0;
        if (ch && TryAccelerator(ch)) {
            alt_consumed_ = true;
            return true;
        }
        return false;
    }
    if (Msg.message != WM_KEYDOWN) return false;
    if (mode_ == 2 && !(popup_ && popup_->IsFormOpen())) {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        switch (key) {
            case VK_RIGHT:
            case VK_LEFT:
            case VK_TAB: {
                if (TopCount() == 0) return true;
                int step = (key == VK_LEFT || (key == VK_TAB && shift)) ? -1 : 1;
                Select((std::max(selected_, 0) + step + TopCount()) % TopCount());
                return true;
            }
            case VK_UP:
            case VK_DOWN:
            case VK_RETURN:
            case VK_SPACE:
                if (selected_ >= 0) PostMessage(me, LFM_BARWORK, kDropDown, MAKELPARAM(selected_, 1));
                return true;
            case VK_ESCAPE:
                ExitMenuMode();
                RestoreCaret();
                return true;
            case VK_F1:
                ShowSelectedHelp();
                return true;
            default: {
                char ch = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') ? static_cast<char>(key) : 0;
                if (!ch || !TryAccelerator(ch)) MessageBeep(0);
                return true;
            }
        }
    }
    if (mode_ == 2 && popup_ && popup_->IsFormOpen() && (key == VK_LEFT || key == VK_RIGHT)) {
        // Left and Right in a top drop-down move along the bar.
        if (TopCount() == 0) return true;
        int step = key == VK_LEFT ? -1 : 1;
        int next = (std::max(open_, 0) + step + TopCount()) % TopCount();
        switch_to_ = next;
        Select(next);
        CloseActiveMenus(false);
        return true;
    }
    if (!menu_) return false;
    TShortCut sc = ShortCutOfKey(key, Msg.lParam);
    if (FindShortCutItem(sc)) {
        // Run from the bar's own queue, not from inside the hook.
        PostMessage(me, LFM_BARWORK, kShortCut, sc);
        return true;
    }
    return false;
}

void TCustomMenuBar2000::WndProc(TMessage& M) {
    switch (M.Msg) {
        case LFM_MENUCHANGED: {
            if (M.WParam == lfmMDIChanged && !MDIChanged()) return;
            if (M.WParam == lfmRebuild || M.WParam == 1) pending_layout_ = true;
            MSG more;
            // Several changes in a row: one re-layout, with the last.
            if (PeekMessage(&more, TWinControl::Handle(), LFM_MENUCHANGED, LFM_MENUCHANGED, PM_NOREMOVE)) return;
            if (popup_ && popup_->IsFormOpen()) return;
            bool relayout = pending_layout_;
            pending_layout_ = false;
            UpdateItems(relayout);
            return;
        }
        case LFM_BARWORK:
            if (M.WParam == kDropDown) DropDown(LOWORD(M.LParam), HIWORD(M.LParam) != 0);
            else if (M.WParam == kSystemMenu) ShowChildSystemMenu();
            else if (M.WParam == kShortCut && menu_) {
                // The item's own action decides, then it runs; the menu may
                // be gone afterwards.
                RunShortCut(static_cast<TShortCut>(M.LParam));
            }
            return;
        case WM_SETTINGCHANGE:
            // The platform's menu font may have changed with the settings.
            FreeBarFont();
            UpdateItems(true);
            break;
        case WM_TIMER:
            if (M.WParam == kHiddenTimer) {
                KillTimer(TWinControl::Handle(), kHiddenTimer);
                POINT pt;
                GetCursorPos(&pt);
                ::ScreenToClient(TWinControl::Handle(), &pt);
                if (mode_ == 2 && open_ >= 0 && popup_ && popup_->IsFormOpen() && ItemAt(pt.x, pt.y) == open_)
                    popup_->Window()->Expand();
                return;
            }
            break;
        case LFM_ACTIVATION:
            if (!M.WParam && mode_ != 0 && !FormActive()) {
                CloseActiveMenus(false);
                ExitMenuMode();
            }
            PostMessage(TWinControl::Handle(), LFM_MENUCHANGED, lfmRepaint, 0);
            return;
        case WM_LBUTTONDBLCLK:
            // A double click on the document's icon closes the document.
            if (TCustomForm* child = MaximizedChild();
                child && IsSystemItem(ItemAt(static_cast<short>(LOWORD(M.LParam)), static_cast<short>(HIWORD(M.LParam))))) {
                CloseActiveMenus(true);
                PostMessage(child->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                return;
            }
            break;
        case WM_MOUSELEAVE:
            last_mouse_ = {-100, -100};
            if (mode_ == 1) {
                mode_ = 0;
                Select(-1);
            }
            return;
        default: break;
    }
    TCustomControl::WndProc(M);
}

}  // namespace bramble
