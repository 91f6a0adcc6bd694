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

// ---- edits ------------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "EDIT");
    P.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    if (read_only_) P.Style |= ES_READONLY;
    if (char_case_ == ecUpperCase) P.Style |= ES_UPPERCASE;
    if (char_case_ == ecLowerCase) P.Style |= ES_LOWERCASE;
    if (password_char_) P.Style |= ES_PASSWORD;
    if (border_) P.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::SetMaxLength(int v) {
    max_length_ = std::max(v, 0);
    if (HandleAllocated()) UpdateMaxLength();
}

void TCustomEdit::UpdateMaxLength() {
    // 0 lifts the control's own default limit (32,767 characters), which
    // also cuts text added from code.
    SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(max_length_), 0);
}

void TCustomEdit::SetReadOnly(bool v) {
    read_only_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, v, 0);
}

void TCustomEdit::SetPasswordChar(char v) {
    if (v == password_char_) return;
    password_char_ = v;
    if (HandleAllocated()) {
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(v), 0);
        Invalidate();
    }
}

void TCustomEdit::SetCharCase(TEditCharCase v) {
    if (v == char_case_) return;
    char_case_ = v;
    RecreateWnd();
}

void TCustomEdit::SetBorderStyleSingle(bool v) {
    if (v == border_) return;
    border_ = v;
    RecreateWnd();
}

bool TCustomEdit::Modified() const {
    if (!HandleAllocated()) return modified_;
    return SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETMODIFY, 0, 0) != 0;
}

void TCustomEdit::SetModified(bool v) {
    modified_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETMODIFY, v, 0);
}

int TCustomEdit::SelStart() const {
    if (!HandleAllocated()) return sel_start_;
    DWORD s = 0, e = 0;
    SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s),
                 reinterpret_cast<LPARAM>(&e));
    return static_cast<int>(s);
}

int TCustomEdit::SelLength() const {
    if (!HandleAllocated()) return sel_length_;
    DWORD s = 0, e = 0;
    SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s),
                 reinterpret_cast<LPARAM>(&e));
    return static_cast<int>(e - s);
}

void TCustomEdit::SetSelStart(int v) {
    sel_start_ = v;
    sel_length_ = 0;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(v), v);
}

void TCustomEdit::SetSelLength(int v) {
    sel_length_ = v;
    if (HandleAllocated()) {
        int s = SelStart();
        SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(s), s + v);
    }
}

std::string TCustomEdit::SelText() const {
    std::string t = GetText();
    int s = std::clamp(SelStart(), 0, static_cast<int>(t.size()));
    int l = std::clamp(SelLength(), 0, static_cast<int>(t.size()) - s);
    return t.substr(static_cast<size_t>(s), static_cast<size_t>(l));
}

void TCustomEdit::SetSelText(const std::string& v) {
    SendMessageA(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(v.c_str()));
}

void TCustomEdit::SelectAll() {
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::Change() {
    if (OnChange && !Silent()) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == EN_CHANGE && !ControlState().contains(csCreating)) Change();
            return;
        case CM_TEXTCHANGED:
            // Set from code before the window exists: no EN_CHANGE will come.
            if (!HandleAllocated()) Change();
            break;
        case WM_SETFOCUS:
            TWinControl::WndProc(m);
            if (auto_select_ && !(GetKeyState(VK_LBUTTON) < 0)) SelectAll();
            return;
        default: break;
    }
    TWinControl::WndProc(m);
    if (m.Msg == WM_CREATE) {
        UpdateMaxLength();
        if (password_char_) SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(password_char_), 0);
    }
}

// Lines of a memo: the window's text when it exists, else the kept text.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo* m) : memo_(m) {}
    int Count() const override {
        if (int n; ByRows(n)) return n;
        return static_cast<int>(Split().size());
    }
    std::string Get(int Index) const override {
        if (int n; ByRows(n)) {
            if (Index < 0 || Index >= n) Error(SListIndexError, Index);
            return Row(Index);
        }
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) Error(SListIndexError, Index);
        return l[static_cast<size_t>(Index)];
    }
    void Put(int Index, const std::string& S) override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) Error(SListIndexError, Index);
        l[static_cast<size_t>(Index)] = S;
        Join(l);
    }
    int Add(const std::string& S) override {
        if (!memo_->HandleAllocated()) {
            std::string& t = memo_->text_;
            bool line_open = !t.empty() && t.back() != '\n' && t.back() != '\r';
            if (line_open) t += "\r\n";
            t += S;
            memo_->Perform(CM_TEXTCHANGED);
            return Count() - 1;
        }
        return Append(S);
    }
    void Insert(int Index, const std::string& S) override {
        auto l = Split();
        if (Index < 0 || Index > static_cast<int>(l.size())) Error(SListIndexError, Index);
        if (Index == static_cast<int>(l.size())) {
            Add(S);
            return;
        }
        l.insert(l.begin() + Index, S);
        Join(l);
    }
    void Delete(int Index) override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) Error(SListIndexError, Index);
        l.erase(l.begin() + Index);
        Join(l);
    }
    void Clear() override { memo_->SetText(""); }

protected:
    // Between BeginUpdate and EndUpdate the window does not paint.
    void SetUpdateState(bool Updating) override {
        if (!memo_->HandleAllocated()) return;
        Send(WM_SETREDRAW, !Updating);
        if (!Updating) InvalidateRect(memo_->Handle(), nullptr, TRUE);
    }

private:
    LRESULT Send(UINT Msg, WPARAM W = 0, LPARAM L = 0) const { return SendMessageA(memo_->Handle(), Msg, W, L); }
    // Without word wrap every row of the window is one line: the window
    // counts and reads them without handing over the whole text.
    bool ByRows(int& Lines) const {
        if (!memo_->HandleAllocated() || memo_->WordWrap()) return false;
        int rows = static_cast<int>(Send(EM_GETLINECOUNT));
        // A last empty row is where the next line would start.
        Lines = rows > 0 && RowLength(rows - 1) == 0 ? rows - 1 : rows;
        return true;
    }
    int RowLength(int Row) const {
        LRESULT start = Send(EM_LINEINDEX, static_cast<WPARAM>(Row));
        return start < 0 ? 0 : static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(start)));
    }
    std::string Row(int Index) const {
        int n = RowLength(Index);
        // EM_GETLINE takes the buffer's size in its first word.
        std::string buf(static_cast<size_t>(std::max(n, 1)) + 1, '\0');
        *reinterpret_cast<WORD*>(buf.data()) = static_cast<WORD>(std::min<size_t>(buf.size(), 0xFFFF));
        LRESULT got = Send(EM_GETLINE, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, n)));
        return buf;
    }
    // Appends at the end through the selection: the cost is the line's, not
    // the text's (a long run logs thousands of lines one by one), and the
    // view follows the new line. Where the last line ends and how many lines
    // there are is remembered from the append before: asking the window
    // walks the whole text in some rich edits.
    int Append(const std::string& S) {
        HWND h = memo_->Handle();
        int len = GetWindowTextLengthA(h);
        int lines;
        bool open;  // the last line holds text: the new one needs a break
        if (len > 0 && len == memo_->append_len_) {
            lines = memo_->append_lines_;
            open = true;
        } else if (memo_->WordWrap()) {
            std::string t = memo_->GetText();
            open = !t.empty() && t.back() != '\n' && t.back() != '\r';
            lines = static_cast<int>(Split().size());
        } else {
            int rows = static_cast<int>(Send(EM_GETLINECOUNT));
            open = rows > 0 && RowLength(rows - 1) > 0;
            lines = open ? rows : std::max(rows - 1, 0);
        }
        std::string add = open ? "\r\n" + S : S;
        // The control would repaint itself for every line; the new line is
        // painted with the rest when the program next paints.
        bool hold = UpdateCount() == 0;
        if (hold) Send(WM_SETREDRAW, FALSE);
        memo_->appending_ = true;
        // Beyond the end is the end, in either kind of control.
        Send(EM_SETSEL, static_cast<WPARAM>(len), len);
        Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(add.c_str()));
        memo_->appending_ = false;
        if (hold) {
            Send(WM_SETREDRAW, TRUE);
            Send(EM_SCROLLCARET);
            InvalidateRect(h, nullptr, FALSE);
        }
        // Only a line of one row's text leaves a state simple to know.
        bool simple = !S.empty() && S.find_first_of("\r\n") == std::string::npos;
        memo_->append_len_ = simple ? GetWindowTextLengthA(h) : -1;
        memo_->append_lines_ = lines + 1;
        return lines;
    }
    std::vector<std::string> Split() const {
        std::string t = memo_->GetText();
        std::vector<std::string> out;
        size_t i = 0;
        while (i < t.size()) {
            size_t j = i;
            while (j < t.size() && t[j] != '\r' && t[j] != '\n') ++j;
            out.push_back(t.substr(i, j - i));
            if (j < t.size() && t[j] == '\r') ++j;
            if (j < t.size() && t[j] == '\n') ++j;
            i = j;
        }
        return out;
    }
    void Join(const std::vector<std::string>& l) {
        std::string t;
        for (size_t i = 0; i < l.size(); ++i) {
            if (i) t += "\r\n";
            t += l[i];
        }
        memo_->SetText(t);
    }
    TCustomMemo* memo_;
};

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)) {
    SetBounds(0, 0, 185, 89);
    SetAutoSelect(false);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& P) {
    TCustomEdit::CreateParams(P);
    P.Style &= ~(ES_AUTOHSCROLL);
    P.Style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (!word_wrap_) P.Style |= ES_AUTOHSCROLL;
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) P.Style |= WS_VSCROLL;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) P.Style |= WS_HSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
    if (v == scroll_bars_) return;
    scroll_bars_ = v;
    RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool v) {
    if (v == word_wrap_) return;
    word_wrap_ = v;
    RecreateWnd();
}

void TCustomMemo::WndProc(TMessage& m) {
    // Text set or edited other than by Lines().Add: what the last append
    // left no longer holds.
    if (m.Msg == CM_TEXTCHANGED || m.Msg == WM_SETTEXT ||
        (m.Msg == CN_COMMAND && HIWORD(m.WParam) == EN_CHANGE && !appending_))
        append_len_ = -1;
    if (m.Msg == WM_GETDLGCODE) {
        TCustomEdit::WndProc(m);
        if (!want_tabs_) m.Result &= ~DLGC_WANTTAB;
        if (!want_returns_) m.Result &= ~DLGC_WANTALLKEYS;
        return;
    }
    TCustomEdit::WndProc(m);
}

// ---- TComboBox ----------------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csCaptureMouse, csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 145, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
    items_.OnChange = [this](TObject*) { SyncItems(); };
}

TComboBox::~TComboBox() {
    Destroying();
    items_.OnChange = nullptr;
}

void TComboBox::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "COMBOBOX");
    P.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (style_) {
        case csDropDown: P.Style |= CBS_DROPDOWN; break;
        case csSimple: P.Style |= CBS_SIMPLE; break;
        case csDropDownList: P.Style |= CBS_DROPDOWNLIST; break;
        case csOwnerDrawFixed: P.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
        case csOwnerDrawVariable: P.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
    }
    // Owner-drawn rows keep their text in the control too: without it the
    // control stores the string's address as the row's data, and has no
    // text to show as the selection or to search when the user types.
    if (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) P.Style |= CBS_HASSTRINGS;
    // The drop-down list is part of the window's height.
    if (style_ != csSimple) P.Height = Height() + std::max(item_height_, 16) * drop_down_count_ + 2;
}

void TComboBox::CreateWnd() {
    std::string keep = text_;
    TWinControl::CreateWnd();
    SyncItems();
    if (style_ == csOwnerDrawFixed) SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, item_height_);
    if (max_length_) SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(max_length_), 0);
    if (item_index_ >= 0) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(item_index_), 0);
    if (style_ == csDropDown || style_ == csSimple) SetWindowTextA(Handle(), keep.c_str());
}

void TComboBox::DestroyWnd() {
    if (HandleAllocated()) item_index_ = static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
    TWinControl::DestroyWnd();
}

void TComboBox::SyncItems() {
    if (!HandleAllocated() || syncing_) return;
    syncing_ = true;
    HWND h = Handle();
    std::string keep = (style_ == csDropDown || style_ == csSimple) ? GetText() : std::string();
    int sel = static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0));
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    SendMessageA(h, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < items_.Count(); ++i) {
        std::string s = items_.Get(i);
        SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    }
    if (sel >= 0 && sel < items_.Count()) SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(sel), 0);
    if (!keep.empty() && sel < 0) SetWindowTextA(h, keep.c_str());
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
    syncing_ = false;
}

int TComboBox::ItemIndex() const {
    if (!HandleAllocated()) return item_index_;
    return static_cast<int>(SendMessageA(const_cast<TComboBox*>(this)->Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int v) {
    if (v < -1 || v >= items_.Count()) v = -1;
    item_index_ = v;
    if (HandleAllocated()) {
        SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(v), 0);
    } else {
        text_ = v >= 0 ? items_.Get(v) : std::string();
    }
}

void TComboBox::SetText(const std::string& v) {
    if (style_ == csDropDownList || style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) {
        int i = -1;
        for (int k = 0; k < items_.Count(); ++k)
            if (items_.Get(k) == v) {
                i = k;
                break;
            }
        SetItemIndex(i);
        return;
    }
    TWinControl::SetText(v);
}

void TComboBox::SetStyle(TComboBoxStyle v) {
    if (v == style_) return;
    style_ = v;
    RecreateWnd();
}

void TComboBox::SetDropDownCount(int v) {
    drop_down_count_ = std::max(v, 1);
    RecreateWnd();
}

void TComboBox::SetItemHeight(int v) {
    item_height_ = std::max(v, 1);
    if (HandleAllocated() && style_ == csOwnerDrawFixed) SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, item_height_);
}

void TComboBox::SetMaxLength(int v) {
    max_length_ = std::max(v, 0);
    if (HandleAllocated()) SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(max_length_), 0);
}

bool TComboBox::DroppedDown() const {
    return HandleAllocated() &&
           SendMessageA(const_cast<TComboBox*>(this)->Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TComboBox::SetDroppedDown(bool v) { SendMessageA(Handle(), CB_SHOWDROPDOWN, v, 0); }

void TComboBox::Change() {
    if (OnChange && !Silent()) OnChange(this);
}

void TComboBox::DrawItem(int Index, TRect R, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, R, State);
        return;
    }
    canvas_.FillRect(R);
    if (Index >= 0 && Index < items_.Count()) canvas_.TextOut(R.Left + 2, R.Top, items_.Get(Index));
}

void TComboBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TComboBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            switch (HIWORD(m.WParam)) {
                case CBN_SELCHANGE: {
                    int i = ItemIndex();
                    item_index_ = i;
                    if (i >= 0 && i < items_.Count()) text_ = items_.Get(i);
                    TAliveToken alive = AliveToken();
                    Click();
                    if (alive.Alive()) Change();
                    break;
                }
                case CBN_EDITCHANGE: Change(); break;
                case CBN_DROPDOWN:
                    if (OnDropDown && !Silent()) OnDropDown(this);
                    break;
                default: break;
            }
            return;
        case CN_DRAWITEM: {
            auto& d = *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
            TOwnerDrawState st;
            if (d.itemState & ODS_SELECTED) st.insert(odSelected);
            if (d.itemState & ODS_FOCUS) st.insert(odFocused);
            if (d.itemState & ODS_DISABLED) st.insert(odDisabled);
            if (d.itemState & ODS_COMBOBOXEDIT) st.insert(odComboBoxEdit);
            canvas_.SetHandle(d.hDC);
            struct Detach {
                TCanvas& c;
                ~Detach() { c.SetHandle(nullptr); }
            } detach{canvas_};
            canvas_.Font().Assign(Font());
            bool sel = st.contains(odSelected);
            canvas_.Brush().SetColor(sel ? clHighlight : Color());
            canvas_.Font().SetColor(sel ? clHighlightText : Font().Color());
            DrawItem(static_cast<int>(d.itemID), Rect(d.rcItem.left, d.rcItem.top, d.rcItem.right, d.rcItem.bottom), st);
            if (st.contains(odFocused)) DrawFocusRect(d.hDC, &d.rcItem);
            m.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto& mi = *reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            int h = item_height_;
            MeasureItem(static_cast<int>(mi.itemID), h);
            mi.itemHeight = static_cast<UINT>(h);
            m.Result = 1;
            return;
        }
        default: break;
    }
    TWinControl::WndProc(m);
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
