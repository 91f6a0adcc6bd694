#include "kits/menu/itemcontrols.h"

#include <algorithm>

#include "kits/menu/menustate.h"
#include "kits/menu/menutext.h"
#include "kits/menu/popupmenu.h"
#include "ui/caret.h"
#include "ui/clipboard.h"
#include "ui/stdctrls.h"

namespace bramble {

namespace {

// Set while a group's members are reset: one repaint follows at the end.
bool g_group_update = false;

void RepaintWindow(HWND W) {
    if (!W || !IsWindowVisible(W)) return;
    InvalidateRect(W, nullptr, FALSE);
    UpdateWindow(W);
}

void FillBox(HDC DC, const RECT& R, TColor Color) {
    HBRUSH b = CreateSolidBrush(ColorToRGB(Color));
    FillRect(DC, &R, b);
    DeleteObject(b);
}

void FrameBox(HDC DC, const RECT& R, TColor Color) {
    HBRUSH b = CreateSolidBrush(ColorToRGB(Color));
    FrameRect(DC, &R, b);
    DeleteObject(b);
}

RECT ItemBox(const ControlDrawInfo& I) {
    return RECT{I.Context.Cols.ItemLeft, I.Context.Top, I.Context.Cols.ItemRight, I.Context.Top + I.Context.Height};
}

}  // namespace

void RepaintOpenMenus() {
    if (g_group_update) return;
    TCustomPopupMenu2000* p = ActivePopup();
    if (!p) return;
    for (TPopupMenu2000Form* f = p->Window(); f; f = f->ChildForm()) RepaintWindow(f->Handle());
    for (int i = 0; i < p->FloatingCount(); ++i) RepaintWindow(p->FloatingWindow(i)->Handle());
}

// ---- the item's side ----------------------------------------------------------------------

std::unique_ptr<T_LFM_ControlOptions> MakeControlOptions(T_LFM_ControlType Kind, TMenuItem2000* Item) {
    switch (Kind) {
        case ctlButton: return std::make_unique<T_LFM_ButtonOptions>(Item);
        case ctlButtonArray: return std::make_unique<T_LFM_ButtonArrayOptions>(Item);
        case ctlEditbox: return std::make_unique<T_LFM_EditboxOptions>(Item);
        case ctlBitmap: return std::make_unique<T_LFM_BitmapOptions>(Item);
        default: return std::make_unique<T_LFM_ControlOptions>(Item);
    }
}

T_LFM_ButtonOptions& TMenuItem2000::Button() const {
    if (control_ != ctlButton) throw EMenuError(Name() + ": This is not a Button");
    return static_cast<T_LFM_ButtonOptions&>(*control_options_);
}

T_LFM_ButtonArrayOptions& TMenuItem2000::ButtonArray() const {
    if (control_ != ctlButtonArray) throw EMenuError(Name() + ": This is not a Button Array");
    return static_cast<T_LFM_ButtonArrayOptions&>(*control_options_);
}

TMenuItem2000& TMenuItem2000::SubItem(int Index) const {
    auto* k = Index >= 0 && Index < Count() ? dynamic_cast<TMenuItem2000*>(Items(Index)) : nullptr;
    if (!k) throw EMenuError("Menu not found");
    return *k;
}

T_LFM_EditboxOptions& TMenuItem2000::Editbox() const {
    if (control_ != ctlEditbox) throw EMenuError(Name() + ": This is not an Editbox");
    return static_cast<T_LFM_EditboxOptions&>(*control_options_);
}

void TMenuItem2000::UncheckGroupSiblings() {
    TMenuItem* parent = Parent();
    if (!parent || GroupIndex() == 0) return;
    bool was = g_group_update;
    g_group_update = true;
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* it = parent->Items(i);
        if (it == this || it->GroupIndex() != GroupIndex()) continue;
        auto* k = dynamic_cast<TMenuItem2000*>(it);
        if (k && k->control_ == ctlButton) static_cast<T_LFM_ButtonOptions&>(*k->control_options_).down_ = false;
        else if (k && k->control_ == ctlButtonArray)
            static_cast<T_LFM_ButtonArrayOptions&>(*k->control_options_).item_index_ = -1;
        else if (!k || k->control_ == ctlNone) it->SetChecked(false);
        if (k) k->NotifyItemChanged(lfmRepaint);
    }
    g_group_update = was;
}

std::string MenuItemHint(TMenuItem2000* Item) {
    if (Item->Control() == ctlButtonArray) {
        auto& a = Item->ButtonArray();
        int i = a.HotButton() >= 0 ? a.HotButton() : a.ItemIndex();
        if (i >= 0 && i < a.Hints().Count()) return a.Hints()[i];
    }
    return Item->KitHint();
}

// ---- button -------------------------------------------------------------------------------

void T_LFM_ButtonOptions::SetDown(bool Value) {
    if (Value) Item()->UncheckGroupSiblings();
    if (AllowAllUp || Value) down_ = Value;
    RepaintOpenMenus();
}

void T_LFM_ButtonOptions::Paint(const ControlDrawInfo& I) {
    HDC dc = I.Context.DC;
    const T_LFM_BaseOptions& o = *I.Context.Options;
    ItemDrawState plain = I.State;
    plain.Selected = false;
    PrepareItemArea(I.Context, plain);
    RECT item = ItemBox(I);
    RECT b{item.left + 2, item.top + 1, item.right - 2, item.bottom - 3};
    bool held = I.LeftDown && I.State.Selected;
    bool lit = I.State.Selected && !I.State.Disabled;
    // A Down button looks lit too, unless the mouse holds it.
    if (lit || (down_ && !held)) FillBox(dc, b, o.Colors.Highlight);
    if (held) DrawEdge(dc, &b, down_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    else if (lit || down_) DrawEdge(dc, &b, BDR_SUNKENOUTER, BF_RECT);
    if (BorderFrame) {
        RECT f{item.left + 5, item.top + 3, item.right - 5, item.bottom - 3};
        if (lit) InflateRect(&f, -1, -1);
        FrameBox(dc, f, clBtnShadow);
    }
    HGDIOBJ oldFont = I.Context.Font ? SelectObject(dc, I.Context.Font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    std::vector<std::string> lines = menukit::CaptionLines(Item()->Caption(), true);
    RECT t = b;
    if (held) OffsetRect(&t, 1, 1);
    int n = static_cast<int>(lines.size()), h = (t.bottom - t.top) / std::max(1, n);
    auto drawLines = [&](TColor Color, int Dx) {
        SetTextColor(dc, ColorToRGB(Color));
        for (int i = 0; i < n; ++i) {
            RECT lr{t.left + Dx, t.top + i * h + Dx, t.right + Dx, t.top + (i + 1) * h + Dx};
            const std::string& s = lines[static_cast<size_t>(i)];
            DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &lr, DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_CENTER);
        }
    };
    if (I.State.Disabled) {
        drawLines(o.Colors.DisabledShadow, 1);
        drawLines(o.Colors.DisabledText, 0);
    } else {
        drawLines(o.Colors.MenuText, 0);
    }
    if (oldFont) SelectObject(dc, oldFont);
}

// ---- button array -------------------------------------------------------------------------

T_LFM_ButtonArrayOptions::T_LFM_ButtonArrayOptions(TMenuItem2000* Item)
    : T_LFM_ControlOptions(Item), hints_(std::make_unique<TStringList>()) {}

void T_LFM_ButtonArrayOptions::SetItemIndex(int Value) {
    if (Value != -1) Item()->UncheckGroupSiblings();
    item_index_ = Value;
    RepaintOpenMenus();
}

int T_LFM_ButtonArrayOptions::ButtonAtPos(int X, int Y) const {
    if (X < rect_.left || X >= rect_.right || Y < rect_.top || Y >= rect_.bottom) return -1;
    menukit::CellGrid g{static_cast<int>(rect_.left), static_cast<int>(rect_.top), bitmap_.Width(), bitmap_.Height(),
                        rows_, columns_};
    int i = menukit::CellAt(g, X, Y);
    return i < Count() ? i : -1;
}

std::string T_LFM_ButtonArrayOptions::CellHint(int Index) const {
    return Index >= 0 && Index < hints_->Count() ? hints_->Get(Index) : std::string();
}

void T_LFM_ButtonArrayOptions::Paint(const ControlDrawInfo& I) {
    HDC dc = I.Context.DC;
    const T_LFM_BaseOptions& o = *I.Context.Options;
    RECT item = ItemBox(I);
    rect_ = item;
    FillBox(dc, item, o.Colors.Menu);
    FrameBox(dc, item, clBtnShadow);
    if (bitmap_.Empty()) return;
    int x = item.left + 2, y = item.top + 1;
    HDC src = bitmap_.Canvas().Handle();
    COLORREF mask = GetPixel(src, 0, 0);
    TransparentBlt(dc, x, y, bitmap_.Width(), bitmap_.Height(), src, 0, 0, bitmap_.Width(), bitmap_.Height(), mask);
    menukit::CellGrid g{x, y, bitmap_.Width(), bitmap_.Height(), rows_, columns_};
    int cw = g.CellWidth(), ch = g.CellHeight();
    if (cw <= 0 || ch <= 0) return;
    auto cell = [&](int Index) {
        int col = Index % columns_, row = Index / columns_;
        return RECT{x + col * cw, y + row * ch, x + (col + 1) * cw, y + (row + 1) * ch};
    };
    if (item_index_ >= 0 && item_index_ < Count()) {
        RECT r = cell(item_index_);
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
    if (I.State.Selected && hot_ >= 0 && hot_ < Count() && hot_ != item_index_) {
        RECT r = cell(hot_);
        DrawEdge(dc, &r, I.LeftDown ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
}

// ---- edit box -----------------------------------------------------------------------------

T_LFM_EditboxOptions::T_LFM_EditboxOptions(TMenuItem2000* Item)
    : T_LFM_ControlOptions(Item), timer_(std::make_unique<TTimer>(nullptr)) {
    timer_->SetEnabled(false);
    timer_->SetInterval(CaretBlinkInterval());
    timer_->OnTimer = [this](TObject*) {
        caret_visible_ = !caret_visible_;
        RepaintOpenMenus();
    };
}

T_LFM_EditboxOptions::~T_LFM_EditboxOptions() = default;

void T_LFM_EditboxOptions::SetText(const std::string& v) {
    model_.Text = v;
    model_.SetCaret(model_.Caret(), false);
}

bool T_LFM_EditboxOptions::CaretTimerRunning() const { return timer_->Enabled(); }

int T_LFM_EditboxOptions::TextWidth(const std::string& S) const {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
    SIZE s{};
    GetTextExtentPoint32A(dc, S.c_str(), static_cast<int>(S.size()), &s);
    if (old) SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return s.cx;
}

int T_LFM_EditboxOptions::GetWidth(HDC DC) {
    std::string c = menukit::StripAmpersands(Item()->Caption());
    SIZE s{};
    GetTextExtentPoint32A(DC, c.c_str(), static_cast<int>(c.size()), &s);
    return s.cx + MinWidth + 5;
}

void T_LFM_EditboxOptions::BeginEdit(int X) {
    auto width = [this](const std::string& s) { return TextWidth(s); };
    model_.Begin(model_.PosAtX(width, X - field_.left));
    caret_visible_ = true;
    RepaintOpenMenus();
    timer_->SetEnabled(true);
}

void T_LFM_EditboxOptions::PlaceCaret(int X) {
    model_.SetCaret(model_.PosAtX([this](const std::string& s) { return TextWidth(s); }, X - field_.left), false);
    Touched();
}

void T_LFM_EditboxOptions::EndEdit(bool Accept) {
    model_.End(Accept);
    caret_visible_ = false;
    timer_->SetEnabled(false);
    RepaintOpenMenus();
}

void T_LFM_EditboxOptions::Touched() {
    model_.Scroll([this](const std::string& s) { return TextWidth(s); }, std::max(0, int(field_.right - field_.left)));
    caret_visible_ = true;
    timer_->SetEnabled(false);
    timer_->SetEnabled(model_.Editing());
    RepaintOpenMenus();
}

void T_LFM_EditboxOptions::KeyDown(WORD& Key, TShiftState Shift) {
    menukit::EditClipboard clip;
    clip.HasText = [] { return ClipboardHasText(); };
    clip.GetText = [] { return GetTextFromClipboard(); };
    clip.PutText = [](const std::string& t) { PutTextOnClipboard(t); };
    auto r = model_.KeyDown(Key, Shift.contains(ssShift), Shift.contains(ssCtrl), clip);
    if (r.Beep) MessageBeep(0);
    if (!r.Handled) return;
    Key = 0;
    Touched();
}

void T_LFM_EditboxOptions::KeyPress(char& Key) {
    if (model_.KeyPress(Key).Beep) MessageBeep(0);
    Key = 0;
    Touched();
}

void T_LFM_EditboxOptions::Paint(const ControlDrawInfo& I) {
    HDC dc = I.Context.DC;
    const T_LFM_BaseOptions& o = *I.Context.Options;
    font_ = I.Context.Font;
    PrepareItemArea(I.Context, I.State);
    RECT item = ItemBox(I);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    std::string caption = Item()->Caption();
    RECT cr{item.left + 2, item.top, item.right, item.bottom};
    SetTextColor(dc, ColorToRGB(I.State.Disabled ? o.Colors.DisabledText
                                : I.State.Selected ? o.Colors.HighlightText
                                                   : o.Colors.MenuText));
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &cr, DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    std::string plain = menukit::StripAmpersands(caption);
    SIZE cs{};
    GetTextExtentPoint32A(dc, plain.c_str(), static_cast<int>(plain.size()), &cs);
    RECT f{std::max<LONG>(item.left + 2 + cs.cx + 5, I.EditColumn), item.top, item.right, item.bottom};
    InflateRect(&f, -2, -2);
    if (I.State.Selected) {
        DrawEdge(dc, &f, BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&f, -1, -1);
    }
    FillBox(dc, f, Color);
    // Unselected, a thin frame keeps the field visible on a menu of the
    // field's own colour.
    if (!I.State.Selected) FrameBox(dc, f, clBtnShadow);
    RECT t = f;
    InflateRect(&t, I.State.Selected ? -2 : -3, 0);
    field_ = t;
    if (t.right <= t.left) {
        if (oldFont) SelectObject(dc, oldFont);
        return;
    }
    const std::string& text = model_.Text;
    int scroll = std::min<int>(model_.ScrollStart(), static_cast<int>(text.size()));
    std::string visible = text.substr(static_cast<size_t>(scroll));
    HRGN clip = CreateRectRgn(t.left, t.top, t.right, t.bottom);
    HRGN previous = CreateRectRgn(0, 0, 0, 0);
    bool hadClip = GetClipRgn(dc, previous) == 1;
    ExtSelectClipRgn(dc, clip, RGN_AND);
    SetTextColor(dc, ColorToRGB(clWindowText));
    DrawTextA(dc, visible.c_str(), static_cast<int>(visible.size()), &t, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    auto xAt = [&](int Pos) {
        Pos = std::clamp(Pos, scroll, static_cast<int>(text.size()));
        return t.left + TextWidth(text.substr(static_cast<size_t>(scroll), static_cast<size_t>(Pos - scroll)));
    };
    if (model_.SelLength() > 0 && model_.SelStart() + model_.SelLength() > scroll) {
        int s = std::max(model_.SelStart(), scroll), e = model_.SelStart() + model_.SelLength();
        RECT sr{xAt(s), t.top, xAt(e), t.bottom};
        FillBox(dc, sr, clHighlight);
        SetTextColor(dc, ColorToRGB(clHighlightText));
        std::string part = text.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
        DrawTextA(dc, part.c_str(), static_cast<int>(part.size()), &sr, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (model_.Editing()) {
        SIZE bar{};
        GetTextExtentPoint32A(dc, "|", 1, &bar);
        int x = xAt(model_.Caret());
        HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(caret_visible_ ? clWindowText : Color));
        HGDIOBJ op = SelectObject(dc, pen);
        MoveToEx(dc, x, f.top + 1, nullptr);
        LineTo(dc, x, f.top + 1 + bar.cy);
        SelectObject(dc, op);
        DeleteObject(pen);
    }
    SelectClipRgn(dc, hadClip ? previous : nullptr);
    DeleteObject(previous);
    DeleteObject(clip);
    if (oldFont) SelectObject(dc, oldFont);
}

// ---- bitmap -------------------------------------------------------------------------------

void T_LFM_BitmapOptions::SetNumGlyphs(int Value) {
    if (Value < 1 || Value > 4) throw Exception("Value must be between 1 and 4.");
    num_glyphs_ = Value;
}

int T_LFM_BitmapOptions::GlyphFor(const ItemDrawState& S) const {
    if (num_glyphs_ > 1 && S.Disabled) return 1;
    if (num_glyphs_ > 2 && S.Pressed && S.Selected) return 2;
    if (num_glyphs_ > 3 && S.Selected) return 3;
    return 0;
}

void T_LFM_BitmapOptions::Paint(const ControlDrawInfo& I) {
    ItemDrawState plain = I.State;
    plain.Selected = false;
    PrepareItemArea(I.Context, plain);
    if (bitmap_.Empty()) return;
    int gw = bitmap_.Width() / num_glyphs_;
    RECT item = ItemBox(I);
    HDC src = bitmap_.Canvas().Handle();
    int w = std::min<int>(gw, item.right - item.left), h = std::min<int>(bitmap_.Height(), item.bottom - item.top);
    // A picture with its own palette shows its colours on palette screens.
    HPALETTE pal = static_cast<HPALETTE>(GetCurrentObject(src, OBJ_PAL));
    HPALETTE oldPal = nullptr;
    if (pal && pal != static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))) {
        oldPal = SelectPalette(I.Context.DC, pal, TRUE);
        RealizePalette(I.Context.DC);
    }
    BitBlt(I.Context.DC, item.left, item.top, w, h, src, GlyphFor(I.State) * gw, 0, SRCCOPY);
    if (oldPal) SelectPalette(I.Context.DC, oldPal, TRUE);
}

}  // namespace bramble
