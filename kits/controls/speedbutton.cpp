#include "kits/controls/speedbutton.h"

#include <windowsx.h>

#include <vector>

#include "kits/controls/utils.h"
#include "ui/forms.h"

namespace bramble {

namespace {
int g_button_count = 0;

// The parts of the strip: up, disabled, down, exclusive, inactive.
enum GlyphSlot { slotUp, slotDisabled, slotDown, slotExclusive, slotInactive };

std::unique_ptr<TBitmap> CopyImage(TBitmap& Strip, int Index, int W, TColor Transparent) {
    auto out = std::make_unique<TBitmap>(W, Strip.Height());
    BitBlt(out->Canvas().Handle(), 0, 0, W, Strip.Height(), Strip.Canvas().Handle(), Index * W, 0, SRCCOPY);
    out->SetTransparentColor(Transparent);
    return out;
}

// Face and highlight in alternate pixels: the look of a button held down.
HBRUSH DitherBrush() {
    TBitmap b(8, 8);
    const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace)),
                 light = static_cast<TColor>(ColorToRGB(clBtnHighlight));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) b.Canvas().SetPixel(x, y, (x + y) % 2 ? light : face);
    return CreatePatternBrush(b.Handle());
}

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> out;
    std::string line;
    for (char c : Text) {
        if (c == '\r') continue;
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    out.push_back(line);
    return out;
}
}  // namespace

// ---- TVqButtonGlyph ---------------------------------------------------------------

TVqButtonGlyph::TVqButtonGlyph() = default;

void TVqButtonGlyph::Invalidate() {
    for (auto& c : cache_) c.reset();
}

void TVqButtonGlyph::SetGlyph(TBitmap* Value) {
    Invalidate();
    if (!Value || Value->Empty()) {
        glyph_.Clear();
        return;
    }
    glyph_.Assign(*Value);
    transparent_color_ = glyph_.TransparentColor();
    const int w = glyph_.Width(), h = glyph_.Height();
    if (h > 0 && w % h == 0) num_glyphs_ = SmallerOf(LargerOf(w / h, 1), 5);
}

void TVqButtonGlyph::SetNumGlyphs(int Value) {
    Value = SmallerOf(LargerOf(Value, 1), 5);
    if (Value == num_glyphs_) return;
    num_glyphs_ = Value;
    Invalidate();
}

int TVqButtonGlyph::ImageWidth() const {
    const int w = glyph_.Width(), h = glyph_.Height();
    if (w <= 0 || h <= 0) return 0;
    // A strip of square images longer than five keeps square images.
    if (w % h == 0 && w / h > 5 && num_glyphs_ == 5) return h;
    return w / num_glyphs_;
}

TBitmap& TVqButtonGlyph::Image(TVqButtonState State, bool Inactive) {
    // A disabled button looks disabled, hovered or not.
    GlyphSlot slot = slotUp;
    if (State == bsDisabled)
        slot = slotDisabled;
    else if (Inactive)
        slot = slotInactive;
    else if (State == bsExclusive)
        slot = slotExclusive;
    // The down state shows the up image.
    auto& cached = cache_[slot];
    if (cached) return *cached;
    const int iw = ImageWidth();
    if (slot != slotUp && num_glyphs_ > slot) {
        cached = CopyImage(glyph_, slot, iw, transparent_color_);
    } else {
        TBitmap& up = slot == slotUp ? *(cache_[slotUp] = CopyImage(glyph_, 0, iw, transparent_color_))
                                     : Image(bsUp, false);
        if (slot == slotDisabled)
            cached = MakeDisabledBitmap(up);
        else if (slot == slotInactive)
            cached = MakeGrayedBitmap(up);
        else if (slot == slotExclusive)
            cached = CopyImage(up, 0, iw, transparent_color_);
        else
            return up;
    }
    return *cached;
}

void TVqButtonGlyph::Draw(HDC DC, int X, int Y, TVqButtonState State, bool Inactive) {
    if (ImageWidth() <= 0) return;
    TBitmap& img = Image(State, Inactive);
    TransparentBlt(DC, X, Y, img.Width(), img.Height(), img.Canvas().Handle(), 0, 0, img.Width(), img.Height(),
                   ColorToRGB(img.TransparentColor()));
}

// ---- TVqSpeedButton ---------------------------------------------------------------

TVqSpeedButton::TVqSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    InitControlsKit();
    SetBounds(0, 0, 25, 25);
    // The button clicks on release itself (group and menu rules).
    SetControlStyle({csCaptureMouse, csDoubleClicks, csSetCaption, csOpaque});
    SetParentShowHint(false);
    SetShowHint(true);
    ++g_button_count;
}

TVqSpeedButton::~TVqSpeedButton() {
    Destroying();
    --g_button_count;
}

int TVqSpeedButton::ButtonCount() { return g_button_count; }

void TVqSpeedButton::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    Invalidate();
}

void TVqSpeedButton::SetAllowAllUp(bool v) {
    if (v == allow_all_up_) return;
    allow_all_up_ = v;
    // The group shares the setting.
    if (group_index_ != 0 && Parent())
        for (int i = 0; i < Parent()->ControlCount(); ++i)
            if (Parent()->Controls(i) != this)
                Parent()->Controls(i)->Perform(CM_VQBUTTONPRESSED, static_cast<WPARAM>(group_index_),
                                               reinterpret_cast<LPARAM>(this));
}

void TVqSpeedButton::SetGroupIndex(int v) {
    if (v == group_index_) return;
    group_index_ = v;
    if (v == 0 && down_) {
        down_ = false;
        state_ = bsUp;
        Invalidate();
    }
}

void TVqSpeedButton::SetDown(bool v) {
    if (group_index_ == 0) v = false;
    if (v == down_) return;
    if (down_ && !allow_all_up_) return;
    down_ = v;
    state_ = v ? bsExclusive : bsUp;
    Invalidate();
    if (v && Parent()) {
        TAliveToken alive = AliveToken();
        TWinControl* p = Parent();
        for (int i = 0; i < p->ControlCount() && alive.Alive(); ++i)
            if (p->Controls(i) != this)
                p->Controls(i)->Perform(CM_VQBUTTONPRESSED, static_cast<WPARAM>(group_index_),
                                        reinterpret_cast<LPARAM>(this));
    }
}

void TVqSpeedButton::ButtonPressed(int Group, TVqSpeedButton* Sender) {
    if (Group != group_index_ || Group == 0 || !Sender || Sender == this || Sender->Parent() != Parent()) return;
    if (Sender->down_ && down_) {
        down_ = false;
        state_ = bsUp;
        Invalidate();
    }
    allow_all_up_ = Sender->allow_all_up_;
}

void TVqSpeedButton::SetDropDownMenu(TPopupMenu* v) {
    if (v == drop_down_menu_) return;
    if (drop_down_menu_) drop_down_menu_->RemoveFreeNotification(this);
    drop_down_menu_ = v;
    if (v) v->FreeNotification(this);
    Invalidate();
}

void TVqSpeedButton::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == drop_down_menu_) drop_down_menu_ = nullptr;
}

void TVqSpeedButton::SetFlat(bool v) {
    if (v == flat_) return;
    flat_ = v;
    Invalidate();
}

void TVqSpeedButton::SetGlyph(TBitmap* v) {
    glyph_.SetGlyph(v);
    Invalidate();
}

void TVqSpeedButton::SetGrayedInactive(bool v) {
    if (v == grayed_inactive_) return;
    grayed_inactive_ = v;
    Invalidate();
}

void TVqSpeedButton::SetLayout(TButtonLayout v) {
    if (v == layout_) return;
    layout_ = v;
    Invalidate();
}

void TVqSpeedButton::SetMargin(int v) {
    if (v == margin_ || v < -1) return;
    margin_ = v;
    Invalidate();
}

void TVqSpeedButton::SetMarkDropDown(bool v) {
    if (v == mark_drop_down_) return;
    mark_drop_down_ = v;
    Invalidate();
}

void TVqSpeedButton::SetNumGlyphs(int v) {
    glyph_.SetNumGlyphs(v);
    Invalidate();
}

void TVqSpeedButton::SetSpacing(int v) {
    if (v == spacing_) return;
    spacing_ = v;
    Invalidate();
}

void TVqSpeedButton::SetStyle(TButtonStyle v) {
    if (v == style_) return;
    style_ = v;
    Invalidate();
}

void TVqSpeedButton::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    Invalidate();
}

void TVqSpeedButton::SetWordWrap(bool v) {
    if (v == word_wrap_) return;
    word_wrap_ = v;
    Invalidate();
}

TPoint TVqSpeedButton::DropDownPoint() {
    if (!drop_down_menu_) return {0, 0};
    const TPopupAlignment a = drop_down_menu_->Alignment();
    if (menu_position_ == dmpBottom) {
        const int x = a == paLeft ? -1 : a == paRight ? Width() + 1 : Width() / 2;
        return {x, Height()};
    }
    if (a == paLeft) return {Width(), -1};
    if (a == paRight) return {-1, -1};
    return {Width() / 2, Height()};
}

void TVqSpeedButton::Click() {
    if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(modal_result_);
    if (!OnClick && action_link_ && action_link_->Action()) {
        // A grouped button tells the action its new state first.
        if (auto* a = dynamic_cast<TAction*>(action_link_->Action()); a && group_index_ != 0) a->SetChecked(down_);
        action_link_->Execute();
        return;
    }
    TGraphicControl::Click();
}

// ---- action link -----------------------------------------------------------------------

void TVqSpeedButton::SetAction(TBasicAction* v) {
    if (v == Action()) return;
    if (!v) {
        action_link_.reset();
        return;
    }
    if (!action_link_) action_link_ = std::make_unique<TBasicActionLink>([this](TBasicAction* a) { ActionChanged(a); });
    action_link_->SetAction(v);
}

void TVqSpeedButton::ActionChanged(TBasicAction* A) {
    auto* a = dynamic_cast<TAction*>(A);
    if (!a) return;
    SetCaption(a->Caption());
    SetHint(a->Hint());
    SetEnabled(a->Enabled());
    SetVisible(a->Visible());
    SetHelpContext(a->HelpContext());
    if (group_index_ != 0 && a->Checked() != down_) {
        const bool allUp = allow_all_up_;
        allow_all_up_ = true;  // the action decides
        SetDown(a->Checked());
        allow_all_up_ = allUp;
    }
    GlyphFromAction(*a);
}

void TVqSpeedButton::GlyphFromAction(TAction& A) {
    TCustomImageList* images = A.ActionList() ? A.ActionList()->Images() : nullptr;
    if (!images || A.ImageIndex() < 0 || A.ImageIndex() >= images->Count()) return;
    // Drawn on magenta, which the glyph then treats as see-through: the
    // list's mask decides what shows of the button face.
    TBitmap b(images->Width(), images->Height());
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, images->Width(), images->Height()));
    images->Draw(b.Canvas(), 0, 0, A.ImageIndex());
    b.SetTransparentColor(clFuchsia);
    glyph_.SetGlyph(&b);
    glyph_.SetNumGlyphs(1);
    Invalidate();
}

void TVqSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TAliveToken alive = AliveToken();
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (!alive.Alive() || Button != mbLeft || !Enabled() || menu_tracking_) return;
    state_ = down_ ? bsExclusive : bsDown;
    Repaint();
    dragging_ = true;
    menu_tracking_ = true;
    const TPoint at = DropDownPoint();
    if (drop_down_menu_ && (drop_down_menu_->AutoPopup() || ForcesDropDown())) {
        if (HWND cap = GetCapture()) SendMessageA(cap, WM_CANCELMODE, 0, 0);
        SetMouseCapture(false);
        drop_down_menu_->SetPopupComponent(this);
        const TPoint s = ClientToScreen(at);
        drop_down_menu_->Popup(s.X, s.Y);
        if (!alive.Alive()) return;
        // The click that closed the menu must not open it again.
        if (Parent() && Parent()->HandleAllocated()) {
            HWND h = Parent()->Handle();
            MSG m{};
            while (PeekMessageA(&m, h, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE)) {
                if (m.message == WM_LBUTTONUP) break;
                const TPoint p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
                if (!BoundsRect().Contains(p)) break;
                PeekMessageA(&m, h, m.message, m.message, PM_REMOVE);
            }
        }
        if (dragging_) {
            POINT c{};
            GetCursorPos(&c);
            const TPoint p = ScreenToClient({c.x, c.y});
            MouseUp(mbLeft, Shift, p.X, p.Y);
            if (!alive.Alive()) return;
        }
    }
    menu_tracking_ = false;
    if (allow_timer_ && dragging_) {
        if (!repeat_timer_) {
            repeat_timer_ = new TTimer(this);
            repeat_timer_->OnTimer = [this](TObject* s) { TimerExpired(s); };
        }
        repeat_timer_->SetEnabled(false);
        repeat_timer_->SetInterval(static_cast<UINT>(init_pause_));
        repeat_timer_->SetEnabled(true);
    }
}

void TVqSpeedButton::TimerExpired(TObject*) {
    repeat_timer_->SetInterval(static_cast<UINT>(repeat_interval_));
    if (state_ == bsDown && MouseCapture()) Click();
}

void TVqSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
    TAliveToken alive = AliveToken();
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!alive.Alive() || !dragging_) return;
    TVqButtonState s = down_ ? bsExclusive : bsUp;
    if (ClientRect().Contains({X, Y})) s = down_ ? bsExclusive : bsDown;
    if (s != state_) {
        state_ = s;
        Invalidate();
    }
}

void TVqSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TAliveToken alive = AliveToken();
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!alive.Alive() || Button != mbLeft || !dragging_) return;
    dragging_ = false;
    const bool inside = ClientRect().Contains({X, Y});
    if (group_index_ == 0) {
        state_ = bsUp;
        Invalidate();
    } else if (inside) {
        SetDown(!down_);
        state_ = down_ ? bsExclusive : bsUp;  // a refused raise keeps the look
        Invalidate();
    } else {
        state_ = down_ ? bsExclusive : bsUp;
        Invalidate();
    }
    if (inside && !menu_tracking_) {
        Click();
        if (!alive.Alive()) return;
    }
    if (repeat_timer_) repeat_timer_->SetEnabled(false);
    UpdateMouseInside();
}

void TVqSpeedButton::UpdateMouseInside() {
    POINT c{};
    GetCursorPos(&c);
    const bool inside = Showing() && FindDragTarget({c.x, c.y}, true) == this && ThreadOwnsActiveWindow();
    if (inside == mouse_inside_) return;
    mouse_inside_ = inside;
    TAliveToken alive = AliveToken();
    if (inside) {
        if (OnMouseEnter && !Silent()) OnMouseEnter(this);
    } else {
        if (OnMouseLeave && !Silent()) OnMouseLeave(this);
    }
    if (alive.Alive() && flat_) Invalidate();
}

void TVqSpeedButton::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CM_VQBUTTONPRESSED: {
            TControl* sender = reinterpret_cast<TControl*>(m.LParam);
            ButtonPressed(static_cast<int>(m.WParam), dynamic_cast<TVqSpeedButton*>(sender));
            return;
        }
        case CM_MOUSEENTER:
        case CM_MOUSELEAVE: {
            // The layer saw the mouse come or go; the button also asks that
            // the program be the active one.
            const bool inside = m.Msg == CM_MOUSEENTER && ThreadOwnsActiveWindow();
            if (inside == mouse_inside_) return;
            mouse_inside_ = inside;
            TAliveToken alive = AliveToken();
            if (inside) {
                if (OnMouseEnter && !Silent()) OnMouseEnter(this);
            } else {
                if (OnMouseLeave && !Silent()) OnMouseLeave(this);
            }
            if (alive.Alive() && flat_) Invalidate();
            return;
        }
        case CM_DIALOGCHAR:
            if (IsAccel(static_cast<WORD>(m.WParam), Caption()) && Enabled() && Visible()) {
                Click();
                m.Result = 1;
            }
            return;
        case CM_ENABLEDCHANGED:
        case CM_TEXTCHANGED:
        case CM_FONTCHANGED:
        case CM_SYSCOLORCHANGE:
            Invalidate();
            break;
        default:
            break;
    }
    TGraphicControl::WndProc(m);
}

void TVqSpeedButton::DrawFrame(HDC DC, TRect& R, bool Pressed, bool Inactive) {
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    if (flat_) {
        DrawEdge(DC, &r, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
        InflateRect(&r, -1, -1);
    } else if (style_ == bsWin31) {
        FrameRect(DC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
        DrawEdge(DC, &r, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    } else {
        DrawEdge(DC, &r, Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    }
    R = {r.left, r.top, r.right, r.bottom};
}

void TVqSpeedButton::DrawDropDownMark(HDC DC, int X, int Y) {
    // A small arrow pointing down, 5 pixels wide.
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(state_ == bsDisabled ? clBtnShadow : clBtnText));
    HGDIOBJ old = SelectObject(DC, pen);
    for (int i = 0; i < 3; ++i) {
        MoveToEx(DC, X + i, Y + i, nullptr);
        LineTo(DC, X + 5 - i, Y + i);
    }
    SelectObject(DC, old);
    DeleteObject(pen);
}

void TVqSpeedButton::Paint() {
    if (!Enabled()) {
        state_ = bsDisabled;
        dragging_ = false;
    } else if (state_ == bsDisabled) {
        state_ = down_ && group_index_ != 0 ? bsExclusive : bsUp;
    }
    const int w = Width(), h = Height();
    if (w <= 0 || h <= 0) return;
    const bool inactive = flat_ && !mouse_inside_;
    TBitmap bmp(w, h);
    TCanvas& c = bmp.Canvas();
    HDC dc = c.Handle();
    c.Brush().SetColor(clBtnFace);
    c.Brush().SetStyle(bsSolid);
    c.FillRect(Rect(0, 0, w, h));
    if (transparent_) PaintParentBackground(this, dc);
    TRect r = Rect(0, 0, w, h);
    const bool pressed = state_ == bsDown || state_ == bsExclusive;
    if (!inactive || state_ == bsExclusive)
        DrawFrame(dc, r, pressed, inactive);
    else
        r = {r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2};
    if (state_ == bsExclusive && !transparent_ && (!flat_ || inactive)) {
        HBRUSH b = DitherBrush();
        RECT fr{r.Left, r.Top, r.Right, r.Bottom};
        FillRect(dc, &fr, b);
        DeleteObject(b);
    }
    if (pressed) r = {r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
    paint_inactive_ = inactive && grayed_inactive_;
    c.Font().Assign(Font());
    PaintGlyph(c, r, state_, transparent_);
    BitBlt(Canvas().Handle(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
}

void TVqSpeedButton::PaintGlyph(TCanvas& Canvas, TRect R, TVqButtonState State, bool Transparent) {
    HDC dc = Canvas.Handle();
    if (mark_drop_down_ && drop_down_menu_) {
        R.Right -= 8;
        DrawDropDownMark(dc, R.Right + 1, R.Top + (R.Height() - 3) / 2);
    }
    const int gw = glyph_.ImageWidth(), gh = glyph_.ImageHeight();
    const bool side = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    // Room for the caption: the button less a 2-pixel border on each side,
    // and the glyph beside it when it stands beside.
    int room_w = R.Width() - 4 - (side && gw > 0 ? gw + spacing_ : 0);
    if (margin_ > 0) room_w -= margin_;
    room_w = LargerOf(room_w, 0);
    std::string text = Caption();
    Canvas.Font().Assign(Font());
    // Selects the font into the context for the platform's text calls.
    (void)Canvas.TextWidth(" ");
    if (!word_wrap_) {
        std::string out;
        for (const std::string& l : Lines(text)) {
            if (!out.empty()) out += "\r\n";
            out += ShortenTextToWidth(l, Canvas, room_w);
        }
        text = out;
    }
    RECT tr{0, 0, room_w, 0};
    int tw = 0, th = 0;
    if (!text.empty()) {
        DrawTextA(dc, text.c_str(), -1, &tr, DT_CALCRECT | (word_wrap_ ? DT_WORDBREAK : 0));
        tw = WidthOfRect(tr);
        th = HeightOfRect(tr);
    }
    const int gap = gw > 0 && tw > 0 ? spacing_ : 0;
    int gx = 0, gy = 0, tx = 0, ty = 0;
    if (side) {
        const int total = gw + gap + tw;
        int start = margin_ < 0 ? R.Left + (R.Width() - total) / 2 : R.Left + margin_;
        if (layout_ == blGlyphLeft) {
            gx = start;
            tx = gx + gw + gap;
        } else {
            tx = margin_ < 0 ? start : R.Right - margin_ - total;
            gx = tx + tw + gap;
        }
        gy = R.Top + (R.Height() - gh) / 2;
        ty = R.Top + (R.Height() - th) / 2;
    } else {
        const int total = gh + gap + th;
        int start = margin_ < 0 ? R.Top + (R.Height() - total) / 2 : R.Top + margin_;
        if (layout_ == blGlyphTop) {
            gy = start;
            ty = gy + gh + gap;
        } else {
            ty = margin_ < 0 ? start : R.Bottom - margin_ - total;
            gy = ty + th + gap;
        }
        gx = R.Left + (R.Width() - gw) / 2;
        tx = R.Left + (R.Width() - tw) / 2;
    }
    if (gw > 0) glyph_.Draw(dc, gx, gy, State, paint_inactive_);
    if (tw <= 0) return;
    // With the glyph above or below, the caption is aligned across the button.
    RECT out{tx, ty, tx + tw, ty + th};
    if (!side) {
        out.left = R.Left + 2;
        out.right = R.Right - 2;
    }
    UINT flags = alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
    if (!side && alignment_ != taCenter) flags = alignment_ == taLeftJustify ? DT_LEFT : DT_RIGHT;
    if (word_wrap_) flags |= DT_WORDBREAK;
    SetBkMode(dc, TRANSPARENT);
    if (State == bsDisabled) {
        RECT o = out;
        OffsetRect(&o, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextA(dc, text.c_str(), -1, &o, flags);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToRGB(Font().Color()));
    }
    DrawTextA(dc, text.c_str(), -1, &out, flags);
}

}  // namespace bramble
