// The document (MDI) parts of the menu bar and the main menu: merging with
// the active document's menu, the maximised document's system icon and
// caption buttons, and its system menu.
#include <algorithm>

#include "kits/menu/menubar.h"
#include "ui/mdi.h"

namespace bramble {

namespace {

TCustomForm* OwnerFormOf(const TComponent* C) {
    for (TComponent* o = C ? C->Owner() : nullptr; o; o = o->Owner())
        if (auto* f = dynamic_cast<TCustomForm*>(o)) return f;
    return nullptr;
}

bool IsActiveDocument(TCustomForm* Form) {
    auto* child = dynamic_cast<TMDIChildForm*>(Form);
    return child && child->Frame() && child->Frame()->ActiveMDIChild() == child;
}

constexpr UINT kButtonCommands[] = {0, SC_MINIMIZE, SC_RESTORE, SC_CLOSE};
constexpr char kButtonGlyphs[] = {0, '0', '2', 'r'};  // Marlett

// Where the system has no "Marlett" (some Wine set-ups), the three glyphs
// are drawn with lines instead of showing as letters.
void DrawPlainGlyph(HDC DC, RECT R, int Button, COLORREF Color) {
    int s = std::max<int>(4, (R.bottom - R.top) - 7);
    int x = (R.left + R.right - s) / 2, y = (R.top + R.bottom - s) / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, Color);
    HGDIOBJ old = SelectObject(DC, pen);
    auto line = [DC](int x1, int y1, int x2, int y2) {
        MoveToEx(DC, x1, y1, nullptr);
        LineTo(DC, x2, y2);
    };
    if (Button == 1) {
        line(x, y + s - 1, x + s - 1, y + s - 1);
        line(x, y + s - 2, x + s - 1, y + s - 2);
    } else if (Button == 2) {
        int b = s * 2 / 3;
        HGDIOBJ brush = SelectObject(DC, GetStockObject(NULL_BRUSH));
        Rectangle(DC, x + s - b, y, x + s, y + b);
        line(x + s - b, y + 1, x + s, y + 1);
        RECT front{x, y + s - b, x + b, y + s};
        HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        FillRect(DC, &front, face);
        DeleteObject(face);
        Rectangle(DC, front.left, front.top, front.right, front.bottom);
        line(front.left, front.top + 1, front.right, front.top + 1);
        SelectObject(DC, brush);
    } else {
        for (int d = 0; d < 2; ++d) {
            line(x + d, y, x + s + d - 1, y + s - 1);
            line(x + s + d - 2, y, x + d - 1, y + s - 1);
        }
    }
    SelectObject(DC, old);
    DeleteObject(pen);
}

}  // namespace

// ---- the main menu ----------------------------------------------------------------------

TCustomMainMenu2000::~TCustomMainMenu2000() {
    if (merged_into_) merged_into_->RemoveMergedMenu(this);
    for (TCustomMainMenu2000* m : merge_list_)
        if (m != this && m->merged_into_ == this) m->merged_into_ = nullptr;
}

void TCustomMainMenu2000::Loaded() {
    TMainMenu::Loaded();
    LoadMenuState(this);
    auto* child = dynamic_cast<TMDIChildForm*>(OwnerFormOf(this));
    if (!child || child->Menu() != this || !child->Frame()) return;
    // The first bar of the frame that shows a main menu of the kit.
    for (TMenuBarLink* link : MenuBars()) {
        auto* bar = dynamic_cast<TCustomMenuBar2000*>(link);
        auto* main = bar ? dynamic_cast<TCustomMainMenu2000*>(bar->Menu()) : nullptr;
        if (main && main != this && (OwnerFormOf(bar) == child->Frame() || GetParentForm(bar) == child->Frame())) {
            main->AddMergedMenu(this);
            return;
        }
    }
}

void TCustomMainMenu2000::AddMergedMenu(TCustomMainMenu2000* Menu) {
    if (!Menu || Menu == this || std::find(merge_list_.begin(), merge_list_.end(), Menu) != merge_list_.end()) return;
    if (merge_list_.empty()) merge_list_.push_back(this);
    if (Menu->merged_into_) Menu->merged_into_->RemoveMergedMenu(Menu);
    merge_list_.push_back(Menu);
    Menu->merged_into_ = this;
    BuildMergedItems();
    RebuildBars();
}

void TCustomMainMenu2000::RemoveMergedMenu(TCustomMainMenu2000* Menu) {
    auto it = std::find(merge_list_.begin(), merge_list_.end(), Menu);
    if (!Menu || it == merge_list_.end()) return;
    merge_list_.erase(it);
    if (Menu->merged_into_ == this) Menu->merged_into_ = nullptr;
    BuildMergedItems();
    // At once: the items of the menu going away must leave the bars now.
    RebuildBars();
}

void TCustomMainMenu2000::BuildMergedItems() {
    merged_.clear();
    // Only the active document's menu takes part beside this one: an
    // inactive document's items never show, whatever groups they fill.
    std::vector<TCustomMainMenu2000*> list{this};
    for (TCustomMainMenu2000* m : merge_list_)
        if (m != this && IsActiveDocument(OwnerFormOf(m))) {
            list.push_back(m);
            break;
        }
    for (int group = 0; group <= 255; ++group)
        for (auto m = list.rbegin(); m != list.rend(); ++m) {
            TMenuItem* root = (*m)->Items();
            bool found = false;
            for (int i = 0; i < root->Count(); ++i)
                if (TMenuItem* it = root->Items(i); it->GroupIndex() == group) {
                    merged_.emplace_back(it, it->AliveToken());
                    found = true;
                }
            if (found) break;
        }
}

int TCustomMainMenu2000::GetMergedCount() {
    if (merged_.empty()) BuildMergedItems();
    return static_cast<int>(merged_.size());
}

TMenuItem* TCustomMainMenu2000::GetMergedItem(int Index) {
    if (Index < 0 || Index >= GetMergedCount()) return nullptr;
    auto& [item, alive] = merged_[static_cast<size_t>(Index)];
    return alive.Alive() ? item : nullptr;
}

void TCustomMainMenu2000::RebuildBars() {
    for (TMenuBarLink* link : std::vector<TMenuBarLink*>(MenuBars()))
        if (auto* bar = dynamic_cast<TCustomMenuBar2000*>(link); bar && bar->Menu() == this) bar->UpdateItems(true);
}

// ---- the bar ----------------------------------------------------------------------------

TCustomForm* TCustomMenuBar2000::OwnerForm() const {
    if (TCustomForm* f = OwnerFormOf(this)) return f;
    return GetParentForm(this);
}

TCustomForm* TCustomMenuBar2000::MaximizedChild() const {
    auto* frame = dynamic_cast<TMDIFrameForm*>(OwnerForm());
    if (!frame || !frame->ActiveChildMaximized()) return nullptr;
    return frame->ActiveMDIChild();
}

int TCustomMenuBar2000::MenuButtonSize() const { return std::max(8, GetSystemMetrics(SM_CYMENUSIZE) - 2); }

RECT TCustomMenuBar2000::CaptionButtonRect(int Button) const {
    if (Button < 1 || Button > 3 || !MaximizedChild()) return RECT{};
    int bs = MenuButtonSize();
    RECT r{Width() - 1 - bs, Height() - 2 - bs, Width() - 1, Height() - 2};
    if (Button <= 2) OffsetRect(&r, -(bs + 2), 0);
    if (Button == 1) OffsetRect(&r, -bs, 0);
    // Mirrored: the document's icon holds the right end.
    if (work_.Alignment == T_LFM_Alignment::taRightToLeft)
        r = RECT{Width() - r.right, r.top, Width() - r.left, r.bottom};
    return r;
}

void TCustomMenuBar2000::PlaceRightToLeft(int Width) {
    if (!rects_.empty() && IsSystemItem(0)) {
        RECT& icon = rects_[0].Rect;
        int w = icon.right - icon.left, end = icon.left;
        for (size_t i = 1; i < rects_.size(); ++i)
            if (rects_[i].Rect.top == icon.top) {
                OffsetRect(&rects_[i].Rect, -w, 0);
                end = std::max<int>(end, rects_[i].Rect.right);
            }
        OffsetRect(&icon, end - icon.left, 0);
    }
    for (size_t i = 0; i < rects_.size();) {
        size_t row = i;
        int right = 0;
        for (; i < rects_.size() && rects_[i].Rect.top == rects_[row].Rect.top; ++i)
            right = std::max<int>(right, rects_[i].Rect.right);
        for (size_t j = row; j < i; ++j) OffsetRect(&rects_[j].Rect, Width - right, 0);
    }
}

int TCustomMenuBar2000::CaptionButtonAt(int X, int Y) const {
    for (int b = 1; b <= 3; ++b) {
        RECT r = CaptionButtonRect(b);
        if (!IsRectEmpty(&r) && PtInRect(&r, POINT{X, Y})) return b;
    }
    return 0;
}

bool TCustomMenuBar2000::CaptionButtonAvailable(int Button) const {
    TCustomForm* child = MaximizedChild();
    if (!child) return false;
    HWND h = child->Handle();
    LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    if (Button == 1) return (style & WS_MINIMIZEBOX) != 0;
    if (Button == 2) return (style & WS_MAXIMIZEBOX) != 0;
    UINT state = GetMenuState(GetSystemMenu(h, FALSE), SC_CLOSE, MF_BYCOMMAND);
    return state == static_cast<UINT>(-1) || !(state & (MF_GRAYED | MF_DISABLED));
}

void TCustomMenuBar2000::PaintMDIParts(HDC DC) {
    TCustomForm* child = MaximizedChild();
    if (!child || TopCount() == 0 || !IsSystemItem(0)) return;
    HWND h = child->Handle();
    int bs = MenuButtonSize();
    auto icon = reinterpret_cast<HICON>(SendMessageA(h, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(h, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(h, GCLP_HICON));
    if (!icon) icon = LoadIcon(nullptr, IDI_APPLICATION);
    RECT sr = TopItemRect(0);
    DrawIconEx(DC, sr.left + 3, sr.top + 2, icon, bs, bs, 0, nullptr, DI_NORMAL);

    HFONT marlett = CreateFontA(bs - 6, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Marlett");
    HGDIOBJ oldFont = SelectObject(DC, marlett);
    char faceName[LF_FACESIZE] = {};
    GetTextFaceA(DC, LF_FACESIZE, faceName);
    bool haveMarlett = lstrcmpiA(faceName, "Marlett") == 0;
    int oldMode = SetBkMode(DC, TRANSPARENT);
    COLORREF oldColor = GetTextColor(DC);
    HBRUSH face = CreateSolidBrush(ColorToRGB(work_.Colors.Menu));
    for (int b = 1; b <= 3; ++b) {
        RECT r = CaptionButtonRect(b);
        bool down = pressed_ == b && pressed_over_ == b;
        FillRect(DC, &r, face);
        DrawEdge(DC, &r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT);
        RECT g = r;
        if (down) OffsetRect(&g, 1, 1);
        const char* glyph = &kButtonGlyphs[b];
        constexpr UINT fmt = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
        auto draw = [&](RECT at, int colour) {
            if (haveMarlett) {
                SetTextColor(DC, GetSysColor(colour));
                DrawTextA(DC, glyph, 1, &at, fmt);
            } else {
                DrawPlainGlyph(DC, at, b, GetSysColor(colour));
            }
        };
        if (CaptionButtonAvailable(b)) {
            draw(g, COLOR_BTNTEXT);
        } else {
            // Embossed: a light copy one pixel down-right under the grey.
            RECT l = g;
            OffsetRect(&l, 1, 1);
            draw(l, COLOR_BTNHIGHLIGHT);
            draw(g, COLOR_GRAYTEXT);
        }
    }
    DeleteObject(face);
    SetTextColor(DC, oldColor);
    SetBkMode(DC, oldMode);
    SelectObject(DC, oldFont);
    DeleteObject(marlett);
}

void TCustomMenuBar2000::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (!pressed_ || Button != mbLeft) return;
    int b = pressed_;
    bool over = CaptionButtonAt(X, Y) == b;
    pressed_ = pressed_over_ = 0;
    if (GetCapture() == TWinControl::Handle()) ReleaseCapture();
    Invalidate();
    if (TCustomForm* child = MaximizedChild(); child && over)
        PostMessage(child->Handle(), WM_SYSCOMMAND, kButtonCommands[b], 0);
}

TMenuItem* TCustomMenuBar2000::FillSystemMenu(TCustomForm* Child) {
    sys_item_->Clear();
    HWND h = Child->Handle();
    HMENU sys = GetSystemMenu(h, FALSE);
    LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    bool iconic = IsIconic(h), zoomed = IsZoomed(h);
    int n = sys ? GetMenuItemCount(sys) : 0;
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        MENUITEMINFOA mi{};
        mi.cbSize = sizeof(mi);
        mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = sizeof(text) - 1;
        if (!GetMenuItemInfoA(sys, static_cast<UINT>(i), TRUE, &mi)) continue;
        auto* it = new TMenuItem2000(nullptr);
        UINT id = mi.wID;
        if (mi.fType & MFT_SEPARATOR) {
            it->SetCaption("-");
        } else {
            it->SetCaption(text);
            it->SetShortCutList("");  // the entry's own text shows its key
        }
        // The states the platform gives its own system menu when it opens.
        bool enabled = !(mi.fState & (MFS_GRAYED | MFS_DISABLED));
        switch (id & 0xFFF0) {
            case SC_RESTORE: enabled = iconic || zoomed; break;
            case SC_MOVE: enabled = !iconic && !zoomed; break;
            case SC_SIZE: enabled = !iconic && !zoomed && (style & WS_THICKFRAME); break;
            case SC_MINIMIZE: enabled = !iconic && (style & WS_MINIMIZEBOX); break;
            case SC_MAXIMIZE: enabled = !zoomed && (style & WS_MAXIMIZEBOX); break;
            default: break;
        }
        it->SetEnabled(enabled);
        it->OnClick = [h, id](TObject*) {
            if (IsWindow(h)) PostMessage(h, WM_SYSCOMMAND, id, 0);
        };
        sys_item_->Add(it);
    }
    return sys_item_.get();
}

void TCustomMenuBar2000::ShowChildSystemMenu() {
    auto* frame = dynamic_cast<TMDIFrameForm*>(OwnerForm());
    TCustomForm* child = frame ? frame->ActiveMDIChild() : nullptr;
    if (!child || !popup_) return;
    if (MaximizedChild()) {
        if (IsSystemItem(0)) {
            Select(0);
            DropDown(0, true);
        }
        return;
    }
    // A document in its own frame: the menu drops from its caption.
    TMenuItem* source = FillSystemMenu(child);
    RECT r;
    GetWindowRect(child->Handle(), &r);
    popup_->Options().Assign(options_);
    popup_->SetStatusBar(StatusBar);
    popup_->StatusBarIndex = StatusBarIndex;
    popup_->OnMenuCommand = OnMenuCommand;
    popup_->OnMenuClose = OnMenuClose;
    popup_->OnCloseQuery = OnCloseQuery;
    popup_->SetPopupComponent(this);
    popup_->SetAttachedItem(source);
    popup_->SelectFirstOnShow = true;
    popup_->UpAnchor = -1;
    popup_->Popup(r.left + GetSystemMetrics(SM_CXFRAME),
                  r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
}

bool TCustomMenuBar2000::MDIChanged() {
    auto* frame = dynamic_cast<TMDIFrameForm*>(OwnerForm());
    if (!frame) return false;
    TCustomForm* child = frame->ActiveMDIChild();
    HWND h = child ? child->Handle() : nullptr;
    if (h != active_child_)
        if (auto* main = dynamic_cast<TCustomMainMenu2000*>(menu_)) main->BuildMergedItems();
    // Remembered only once no drop-down shows the old document's items.
    if (!(popup_ && popup_->IsFormOpen())) active_child_ = h;
    pending_layout_ = true;
    return true;
}

}  // namespace bramble
