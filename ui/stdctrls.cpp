#include "ui/stdctrls.h"

#include <algorithm>

#include "ui/menus.h"

namespace bramble {

namespace {

void DrawTextIn(HDC dc, const std::string& s, RECT& r, UINT flags) {
    DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &r, flags);
}

// Accelerator or Alt+key sent to a control through CM_DIALOGCHAR.
bool AccelHit(TControl* c, const TMessage& m) {
    return IsAccel(static_cast<WORD>(m.WParam), c->Caption()) && c->Visible() && c->Enabled();
}

}  // namespace

// ---- TLabel -----------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetControlStyle({csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks});
    SetBounds(0, 0, 65, 17);
}

UINT TLabel::DrawFlags() const {
    UINT f = DT_EXPANDTABS;
    f |= alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
    f |= word_wrap_ ? DT_WORDBREAK : 0;
    if (!show_accel_) f |= DT_NOPREFIX;
    return f;
}

void TLabel::AdjustBounds() {
    if (!auto_size_ || ComponentState().contains(csLoading)) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    RECT r{0, 0, word_wrap_ ? Width() : 0, 0};
    std::string t = Caption();
    if (t.empty()) t.push_back(' ');
    DrawTextIn(dc, t, r, DrawFlags() | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int x = Left();
    if (alignment_ == taRightJustify) x += Width() - r.right;
    SetBounds(x, Top(), r.right, r.bottom);
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TLabel::SetAlignment(TAlignment v) {
    alignment_ = v;
    Invalidate();
}
void TLabel::SetAutoSize(bool v) {
    auto_size_ = v;
    AdjustBounds();
}
void TLabel::SetWordWrap(bool v) {
    word_wrap_ = v;
    AdjustBounds();
    Invalidate();
}
void TLabel::SetTransparent(bool v) {
    transparent_ = v;
    TControlStyle s = ControlStyle();
    if (v)
        s.erase(csOpaque);
    else
        s.insert(csOpaque);
    SetControlStyle(s);
    Invalidate();
}
void TLabel::SetLayout(TTextLayout v) {
    layout_ = v;
    Invalidate();
}
void TLabel::SetShowAccelChar(bool v) {
    show_accel_ = v;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetFocusControl(TWinControl* v) {
    if (focus_control_) focus_control_->RemoveFreeNotification(this);
    focus_control_ = v;
    if (v) v->FreeNotification(this);
}

void TLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == focus_control_) focus_control_ = nullptr;
}

void TLabel::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CM_TEXTCHANGED:
        case CM_FONTCHANGED:
            AdjustBounds();
            Invalidate();
            break;
        case CM_DIALOGCHAR:
            if (focus_control_ && show_accel_ && AccelHit(this, m) && focus_control_->CanFocus()) {
                focus_control_->SetFocus();
                m.Result = 1;
                return;
            }
            break;
        default: break;
    }
    TGraphicControl::WndProc(m);
}

void TLabel::Paint() {
    TCanvas& c = Canvas();
    TRect cr = ClientRect();
    if (!transparent_) {
        c.Brush().SetColor(Color());
        c.FillRect(cr);
    }
    c.Brush().SetStyle(bsClear);
    HDC dc = c.Handle();
    c.TextExtent("");  // font and colours into the context
    RECT r{cr.Left, cr.Top, cr.Right, cr.Bottom};
    UINT flags = DrawFlags();
    if (layout_ != tlTop) {
        RECT calc = r;
        DrawTextIn(dc, Caption(), calc, flags | DT_CALCRECT);
        int h = calc.bottom - calc.top;
        int off = layout_ == tlCenter ? (cr.Height() - h) / 2 : cr.Height() - h;
        r.top += off;
    }
    if (!Enabled()) {
        OffsetRect(&r, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextIn(dc, Caption(), r, flags);
        OffsetRect(&r, -1, -1);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
    }
    DrawTextIn(dc, Caption(), r, flags);
}

// ---- TButton -------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "BUTTON");
    P.Style |= (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_TEXT;
}

void TButton::SetDefault(bool v) {
    if (v == default_) return;
    default_ = v;
    if (HandleAllocated())
        SendMessageA(Handle(), BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    TAliveToken alive = AliveToken();
    if (TCustomForm* f = ParentForm())
        if (modal_result_ != mrNone) f->SetModalResult(modal_result_);
    if (alive.Alive()) TWinControl::Click();
}

void TButton::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == BN_CLICKED) Click();
            return;
        case CM_DIALOGKEY: {
            WORD key = static_cast<WORD>(m.WParam);
            TShiftState shift = KeyboardShiftState();
            if (!shift.empty() || !CanFocus()) return;
            TWinControl* focused = FindControl(GetFocus());
            bool other_button = focused != this && dynamic_cast<TButton*>(focused) != nullptr;
            if ((key == VK_RETURN && (Focused() || (default_ && !other_button))) || (key == VK_ESCAPE && cancel_)) {
                Click();
                m.Result = 1;
            }
            return;
        }
        case CM_DIALOGCHAR:
            if (AccelHit(this, m) && CanFocus()) {
                Click();
                m.Result = 1;
            }
            return;
        default: break;
    }
    TWinControl::WndProc(m);
}

// ---- TBitBtn -------------------------------------------------------------------------------

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {
    glyph_.OnChange = [this](TObject*) {
        if (!glyph_.Empty() && glyph_.Height() > 0 && glyph_.Width() % glyph_.Height() == 0) {
            int n = glyph_.Width() / glyph_.Height();
            if (n >= 1 && n <= 4) num_glyphs_ = n;
        }
        Invalidate();
    };
}

void TBitBtn::CreateParams(TCreateParams& P) {
    TButton::CreateParams(P);
    P.Style = (P.Style & ~0xFu) | BS_OWNERDRAW;
}

void TBitBtn::SetNumGlyphs(int v) {
    num_glyphs_ = std::clamp(v, 1, 4);
    Invalidate();
}
void TBitBtn::SetLayout(TButtonLayout v) {
    layout_ = v;
    Invalidate();
}
void TBitBtn::SetMargin(int v) {
    if (v < -1) return;
    margin_ = v;
    Invalidate();
}
void TBitBtn::SetSpacing(int v) {
    spacing_ = v;
    Invalidate();
}

void TBitBtn::WndProc(TMessage& m) {
    if (m.Msg == CN_DRAWITEM) {
        DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam));
        m.Result = 1;
        return;
    }
    if (m.Msg == WM_LBUTTONDBLCLK) m.Msg = WM_LBUTTONDOWN;  // owner-drawn buttons eat the second click
    TButton::WndProc(m);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& D) {
    HDC dc = D.hDC;
    RECT r = D.rcItem;
    bool pushed = D.itemState & ODS_SELECTED;
    bool focused = D.itemState & ODS_FOCUS;
    bool disabled = D.itemState & ODS_DISABLED;
    UINT state = DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0);
    if (Default() || focused) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    DrawFrameControl(dc, &r, DFC_BUTTON, state);
    if (pushed) OffsetRect(&r, 1, 1);
    canvas_.SetHandle(dc);
    struct Detach {
        TCanvas& c;
        ~Detach() { c.SetHandle(nullptr); }
    } detach{canvas_};
    canvas_.Font().Assign(Font());
    canvas_.Brush().SetStyle(bsClear);
    canvas_.TextExtent("");
    std::string cap = Caption();
    RECT tr{0, 0, 0, 0};
    DrawTextA(dc, cap.c_str(), -1, &tr, DT_CALCRECT | DT_SINGLELINE);
    int gw = glyph_.Empty() ? 0 : glyph_.Width() / num_glyphs_, gh = glyph_.Empty() ? 0 : glyph_.Height();
    int tw = tr.right, th = tr.bottom;
    bool horiz = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    int space = (gw && tw) ? spacing_ : 0;
    int cw = r.right - r.left, ch = r.bottom - r.top;
    int total = horiz ? gw + space + tw : gh + space + th;
    int avail = horiz ? cw : ch;
    int start = margin_ >= 0 ? margin_ : (avail - total) / 2;
    int gx, gy, tx, ty;
    if (horiz) {
        gy = r.top + (ch - gh) / 2;
        ty = r.top + (ch - th) / 2;
        if (layout_ == blGlyphLeft) {
            gx = r.left + start;
            tx = gx + gw + space;
        } else {
            tx = r.left + start;
            gx = tx + tw + space;
        }
    } else {
        gx = r.left + (cw - gw) / 2;
        tx = r.left + (cw - tw) / 2;
        if (layout_ == blGlyphTop) {
            gy = r.top + start;
            ty = gy + gh + space;
        } else {
            ty = r.top + start;
            gy = ty + th + space;
        }
    }
    if (gw) {
        int index = disabled && num_glyphs_ > 1 ? 1 : pushed && num_glyphs_ > 2 ? 2 : 0;
        HDC src = glyph_.Canvas().Handle();
        TransparentBlt(dc, gx, gy, gw, gh, src, index * gw, 0, gw, gh, ColorToRGB(glyph_.TransparentColor()));
    }
    RECT t{tx, ty, tx + tw, ty + th};
    if (disabled) {
        OffsetRect(&t, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextA(dc, cap.c_str(), -1, &t, DT_SINGLELINE);
        OffsetRect(&t, -1, -1);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToRGB(Font().Color()));
    }
    DrawTextA(dc, cap.c_str(), -1, &t, DT_SINGLELINE);
    if (focused) {
        RECT f = D.rcItem;
        InflateRect(&f, -4, -4);
        DrawFocusRect(dc, &f);
    }
}

// ---- TCheckBox --------------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "BUTTON");
    P.Style |= BS_3STATE | (alignment_ == taLeftJustify ? BS_LEFTTEXT : 0);
}

void TCheckBox::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessageA(Handle(), BM_SETCHECK, state_, 0);
}

void TCheckBox::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    RecreateWnd();
}

void TCheckBox::SetState(TCheckBoxState v) {
    if (v == state_) return;
    state_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, state_, 0);
    Click();
}

void TCheckBox::Toggle() {
    switch (state_) {
        case cbUnchecked: SetState(allow_grayed_ ? cbGrayed : cbChecked); break;
        case cbChecked: SetState(cbUnchecked); break;
        case cbGrayed: SetState(cbChecked); break;
    }
}

void TCheckBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == BN_CLICKED) Toggle();
            return;
        case CM_DIALOGCHAR:
            if (AccelHit(this, m) && CanFocus()) {
                SetFocus();
                Toggle();
                m.Result = 1;
            }
            return;
        default: break;
    }
    TWinControl::WndProc(m);
}

// ---- TRadioButton -----------------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "BUTTON");
    P.Style |= BS_RADIOBUTTON;
}

void TRadioButton::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessageA(Handle(), BM_SETCHECK, checked_, 0);
}

void TRadioButton::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    SetTabStop(v);
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, v, 0);
    if (!v) return;
    if (Parent()) {
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* r = dynamic_cast<TRadioButton*>(Parent()->Controls(i));
            if (r && r != this) r->SetChecked(false);
        }
    }
    Click();
}

void TRadioButton::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == BN_CLICKED)
                SetChecked(true);
            else if (HIWORD(m.WParam) == BN_DOUBLECLICKED)
                DblClick();
            return;
        case CM_DIALOGCHAR:
            if (AccelHit(this, m) && CanFocus()) {
                SetFocus();
                SetChecked(true);
                m.Result = 1;
            }
            return;
        default: break;
    }
    TWinControl::WndProc(m);
}

// ---- TGroupBox / TRadioGroup ------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 185, 105);
}

static int TextHeightOf(TFont& f) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, f.Handle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

void TGroupBox::AdjustClientRect(TRect& R) {
    int h = TextHeightOf(Font());
    R.Top += h;
    R.Left += 2;
    R.Right -= 2;
    R.Bottom -= 2;
}

void TGroupBox::Paint() {
    TCanvas& c = Canvas();
    TRect cr = ClientRect();
    c.Brush().SetColor(Color());
    c.FillRect(cr);
    int h = c.TextHeight("0");
    RECT r{cr.Left, cr.Top + h / 2, cr.Right, cr.Bottom};
    DrawEdge(c.Handle(), &r, EDGE_ETCHED, BF_RECT);
    std::string t = Caption();
    if (t.empty()) return;
    RECT tr{8, 0, 0, h};
    DrawTextA(c.Handle(), t.c_str(), -1, &tr, DT_CALCRECT | DT_SINGLELINE);
    tr.right += 2;
    c.FillRect(Rect(tr.left - 1, tr.top, tr.right, tr.bottom));
    SetBkMode(c.Handle(), TRANSPARENT);
    SetTextColor(c.Handle(), ColorToRGB(Enabled() ? Font().Color() : clGrayText));
    DrawTextA(c.Handle(), t.c_str(), -1, &tr, DT_SINGLELINE);
}

void TGroupBox::WndProc(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) {
        Invalidate();
        Realign();
    }
    TCustomControl::WndProc(m);
}

TRadioGroup::TRadioGroup(TComponent* AOwner) : TGroupBox(AOwner) {
    items_.OnChange = [this](TObject*) {
        if (!updating_) UpdateButtons();
    };
}

TRadioGroup::~TRadioGroup() {
    Destroying();
    items_.OnChange = nullptr;
    buttons_.clear();  // freed with the other children
}

void TRadioGroup::Loaded() {
    TGroupBox::Loaded();
    UpdateButtons();
}

void TRadioGroup::UpdateButtons() {
    if (ComponentState().contains(csLoading) || ComponentState().contains(csDestroying)) return;
    while (static_cast<int>(buttons_.size()) > items_.Count()) {
        TRadioButton* b = buttons_.back();
        buttons_.pop_back();
        delete b;
    }
    while (static_cast<int>(buttons_.size()) < items_.Count()) {
        auto* b = new TRadioButton(this);
        size_t index = buttons_.size();
        b->OnClick = [this, index](TObject*) {
            if (updating_) return;
            if (index < buttons_.size() && buttons_[index]->Checked()) {
                item_index_ = static_cast<int>(index);
                Click();
            }
        };
        b->SetParent(this);
        buttons_.push_back(b);
    }
    updating_ = true;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->SetCaption(items_.Get(static_cast<int>(i)));
        buttons_[i]->SetChecked(static_cast<int>(i) == item_index_);
    }
    updating_ = false;
    if (item_index_ >= items_.Count()) item_index_ = -1;
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
    if (buttons_.empty()) return;
    TRect r = ClientRect();
    AdjustClientRect(r);
    int cols = std::max(columns_, 1);
    int rows = (static_cast<int>(buttons_.size()) + cols - 1) / cols;
    int colw = (r.Width() - 8) / cols;
    int rowh = std::max(rows ? r.Height() / rows : 0, 1);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        int col = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
        int h = std::min(rowh, TextHeightOf(Font()) + 4);
        buttons_[i]->SetBounds(r.Left + 8 + col * colw, r.Top + row * rowh + (rowh - h) / 2, colw - 4, h);
    }
}

void TRadioGroup::Resize() {
    ArrangeButtons();
    TGroupBox::Resize();
}

void TRadioGroup::SetItemIndex(int v) {
    if (v < -1 || v >= items_.Count()) v = -1;
    if (v == item_index_) return;
    item_index_ = v;
    updating_ = true;
    for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->SetChecked(static_cast<int>(i) == v);
    updating_ = false;
}

void TRadioGroup::SetColumns(int v) {
    v = std::clamp(v, 1, 16);
    if (v == columns_) return;
    columns_ = v;
    ArrangeButtons();
}

// ---- TPanel -----------------------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks});
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelInner(TBevelCut v) {
    bevel_inner_ = v;
    Realign();
    Invalidate();
}
void TPanel::SetBevelOuter(TBevelCut v) {
    bevel_outer_ = v;
    Realign();
    Invalidate();
}
void TPanel::SetBevelWidth(int v) {
    bevel_width_ = std::max(v, 1);
    Realign();
    Invalidate();
}
void TPanel::SetBorderWidth(int v) {
    border_width_ = std::max(v, 0);
    Realign();
    Invalidate();
}
void TPanel::SetAlignment(TAlignment v) {
    alignment_ = v;
    Invalidate();
}

void TPanel::AdjustClientRect(TRect& R) {
    int inset = border_width_;
    if (bevel_outer_ != bvNone) inset += bevel_width_;
    if (bevel_inner_ != bvNone) inset += bevel_width_;
    R.Left += inset;
    R.Top += inset;
    R.Right -= inset;
    R.Bottom -= inset;
}

void TPanel::WndProc(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED) Invalidate();
    TCustomControl::WndProc(m);
}

static void Frame3D(HDC dc, RECT& r, TColor top, TColor bottom, int width) {
    HBRUSH tb = CreateSolidBrush(ColorToRGB(top)), bb = CreateSolidBrush(ColorToRGB(bottom));
    for (int i = 0; i < width; ++i) {
        RECT t{r.left, r.top, r.right - 1, r.top + 1}, l{r.left, r.top, r.left + 1, r.bottom - 1};
        RECT b{r.left, r.bottom - 1, r.right, r.bottom}, rr{r.right - 1, r.top, r.right, r.bottom};
        FillRect(dc, &t, tb);
        FillRect(dc, &l, tb);
        FillRect(dc, &b, bb);
        FillRect(dc, &rr, bb);
        InflateRect(&r, -1, -1);
    }
    DeleteObject(tb);
    DeleteObject(bb);
}

void TPanel::Paint() {
    TCanvas& c = Canvas();
    TRect cr = ClientRect();
    HDC dc = c.Handle();
    RECT r{cr.Left, cr.Top, cr.Right, cr.Bottom};
    auto bevel = [&](TBevelCut b) {
        if (b == bvNone) return;
        if (b == bvSpace) {
            InflateRect(&r, -bevel_width_, -bevel_width_);
            return;
        }
        bool raised = b == bvRaised;
        Frame3D(dc, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, bevel_width_);
    };
    bevel(bevel_outer_);
    InflateRect(&r, -border_width_, -border_width_);
    bevel(bevel_inner_);
    c.Brush().SetColor(Color());
    c.FillRect(Rect(r.left, r.top, r.right, r.bottom));
    std::string t = Caption();
    if (t.empty()) return;
    c.Brush().SetStyle(bsClear);
    c.TextExtent("");
    UINT f = DT_SINGLELINE | DT_VCENTER |
             (alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER);
    DrawTextA(dc, t.c_str(), -1, &r, f);
}

// ---- TPaintBox / TImage ------------------------------------------------------------------------

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 105); }

void TPaintBox::Paint() {
    if (OnPaint && !Silent()) OnPaint(this);
}

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 105, 105);
    bitmap_.OnChange = [this](TObject*) { PictureChanged(); };
    icon_.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::PictureChanged() {
    if (auto_size_) {
        if (!icon_.Empty())
            SetBounds(Left(), Top(), icon_.Width(), icon_.Height());
        else if (!bitmap_.Empty())
            SetBounds(Left(), Top(), bitmap_.Width(), bitmap_.Height());
    }
    Invalidate();
}

void TImage::SetStretch(bool v) {
    stretch_ = v;
    Invalidate();
}
void TImage::SetCenter(bool v) {
    center_ = v;
    Invalidate();
}
void TImage::SetTransparent(bool v) {
    transparent_ = v;
    bitmap_.SetTransparent(v);
    Invalidate();
}
void TImage::SetAutoSize(bool v) {
    auto_size_ = v;
    PictureChanged();
}

void TImage::Paint() {
    TCanvas& c = Canvas();
    int w = icon_.Empty() ? bitmap_.Width() : icon_.Width();
    int h = icon_.Empty() ? bitmap_.Height() : icon_.Height();
    if (w == 0 || h == 0) return;
    int x = center_ ? (Width() - w) / 2 : 0, y = center_ ? (Height() - h) / 2 : 0;
    if (!icon_.Empty()) {
        if (stretch_)
            DrawIconEx(c.Handle(), 0, 0, icon_.Handle(), Width(), Height(), 0, nullptr, DI_NORMAL);
        else
            c.Draw(x, y, icon_);
        return;
    }
    if (stretch_) {
        if (transparent_) {
            TransparentBlt(c.Handle(), 0, 0, Width(), Height(), bitmap_.Canvas().Handle(), 0, 0, w, h,
                           ColorToRGB(bitmap_.TransparentColor()));
        } else {
            c.StretchDraw(Rect(0, 0, Width(), Height()), bitmap_);
        }
    } else {
        c.Draw(x, y, bitmap_);
    }
}

// ---- TTimer ------------------------------------------------------------------------------------

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    window_ = AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            Timer();
            return;
        }
        m.Result = DefWindowProcA(window_, m.Msg, m.WParam, m.LParam);
    });
    UpdateTimer();
}

TTimer::~TTimer() {
    Destroying();
    if (running_) KillTimer(window_, 1);
    DeallocateHWnd(window_);
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (running_) KillTimer(window_, 1);
    running_ = false;
    if (enabled_ && interval_ > 0 && !ComponentState().contains(csLoading))
        running_ = SetTimer(window_, 1, interval_, nullptr) != 0;
}

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    UpdateTimer();
}

void TTimer::SetInterval(UINT v) {
    if (v == interval_) return;
    interval_ = v;
    UpdateTimer();
}

void TTimer::Timer() {
    if (OnTimer && enabled_ && !ComponentState().contains(csDestroying)) OnTimer(this);
}

}  // namespace bramble
