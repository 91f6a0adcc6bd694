#include "ui/control.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/control_internal.h"
#include "ui/forms.h"
#include "ui/menus.h"

namespace bramble {

TControl* g_mouse_control = nullptr;

bool IsMouseMsg(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MBUTTONDBLCLK; }

namespace {

std::vector<TControlCanvas*>& CanvasesWithDC() {
    static auto* v = new std::vector<TControlCanvas*>;
    return *v;
}

struct CanvasLend {
    TCanvas& c;
    CanvasLend(TCanvas& canvas, HDC dc) : c(canvas) { c.SetHandle(dc); }
    ~CanvasLend() { c.SetHandle(nullptr); }
};

}  // namespace

TShiftState MouseShiftState(WPARAM Keys) {
    TShiftState s;
    if (Keys & MK_SHIFT) s.insert(ssShift);
    if (Keys & MK_CONTROL) s.insert(ssCtrl);
    if (Keys & MK_LBUTTON) s.insert(ssLeft);
    if (Keys & MK_RBUTTON) s.insert(ssRight);
    if (Keys & MK_MBUTTON) s.insert(ssMiddle);
    if (GetKeyState(VK_MENU) < 0) s.insert(ssAlt);
    return s;
}

TShiftState KeyboardShiftState() {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.insert(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.insert(ssCtrl);
    if (GetKeyState(VK_MENU) < 0) s.insert(ssAlt);
    return s;
}

bool IsAccel(WORD Key, const std::string& Caption) {
    char h = GetHotkey(Caption);
    if (!h) return false;
    WORD k = Key;
    if (k >= 'a' && k <= 'z') k = static_cast<WORD>(k - 32);
    return static_cast<unsigned char>(h) == k;
}

TControl* MouseControl() { return g_mouse_control; }

TControl* FindDragTarget(TPoint Pos, bool AllowDisabled) {
    POINT p{Pos.X, Pos.Y};
    HWND w = WindowFromPoint(p);
    TWinControl* c = nullptr;
    while (w && !(c = FindControl(w))) w = GetParent(w);
    if (!c) return nullptr;
    TPoint cp = c->ScreenToClient(Pos);
    TControl* g = c->ControlAtPos(cp, AllowDisabled);
    return g ? g : c;
}

TControl* GetCaptureControl() {
    HWND h = GetCapture();
    TWinControl* c = nullptr;
    while (h && !(c = FindControl(h))) h = GetParent(h);
    if (!c) return nullptr;
    if (c->capture_control_ && c->capture_control_->Parent() == c) return c->capture_control_;
    return c;
}

// ---- TControl ------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), font_(std::make_unique<TFont>()) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_->OnChange = [this](TObject*) {
        if (!setting_parent_font_) parent_font_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    Destroying();
    if (g_mouse_control == this) g_mouse_control = nullptr;
    if (Application) Application->NoteMouseControl(g_mouse_control);
    if (parent_) parent_->RemoveControl(this);
    font_->OnChange = nullptr;
}

bool TControl::Silent() const {
    if (ComponentState().contains(csDestroying)) return true;
    const TComponent* o = Owner();
    return o && o->ComponentState().contains(csDestroying);
}

TCustomForm* TControl::ParentForm() const { return GetParentForm(this); }

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == parent_) return;
    if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_) parent_->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
    bool sized = AWidth != width_ || AHeight != height_;
    Invalidate();
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth;
    height_ = AHeight;
    Invalidate();
    RequestAlign();
    if (sized && !Silent()) Resize();
}

TRect TControl::ClientRect() { return Rect(0, 0, width_, height_); }

void TControl::SetClientSize(int W, int H) { SetBounds(left_, top_, W, H); }

TPoint TControl::ClientOrigin() const {
    if (!parent_) return {left_, top_};
    TPoint o = parent_->ClientOrigin();
    return {o.X + left_, o.Y + top_};
}

TPoint TControl::ClientToScreen(TPoint P) const {
    TPoint o = ClientOrigin();
    return {P.X + o.X, P.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint P) const {
    TPoint o = ClientOrigin();
    return {P.X - o.X, P.Y - o.Y};
}

void TControl::SetAlign(TAlign v) {
    if (v == align_) return;
    TAlign old = align_;
    align_ = v;
    // A control leaving alignment keeps its place; one entering it takes its place.
    if (old != alNone || v != alNone) {
        if (parent_) parent_->AlignControl(this);
    }
}

void TControl::RequestAlign() {
    if (parent_ && align_ != alNone) parent_->AlignControl(this);
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    VisibleChanging();
    if (!v) Invalidate();
    visible_ = v;
    Perform(CM_VISIBLECHANGED, v);
    if (v) Invalidate();
    if (parent_ && align_ != alNone) parent_->AlignControl(this);
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Perform(CM_ENABLEDCHANGED);
    Invalidate();
}

void TControl::SetColor(TColor v) {
    if (v == color_ && !parent_color_) return;
    color_ = v;
    parent_color_ = false;
    ColorChanged();
}

void TControl::SetParentColor(bool v) {
    if (v == parent_color_) return;
    parent_color_ = v;
    if (v) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!parent_color_ || !parent_) return;
    if (color_ != parent_->Color()) {
        color_ = parent_->Color();
        ColorChanged();
    }
}

void TControl::ColorChanged() {
    Perform(CM_COLORCHANGED);
    Invalidate();
}

void TControl::SetParentFont(bool v) {
    if (v == parent_font_) return;
    parent_font_ = v;
    if (v) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!parent_font_ || !parent_) return;
    setting_parent_font_ = true;
    try {
        font_->Assign(parent_->Font());
    } catch (...) {
        setting_parent_font_ = false;
        throw;
    }
    setting_parent_font_ = false;
}

void TControl::FontChanged() {
    Perform(CM_FONTCHANGED);
    Invalidate();
}

void TControl::SetText(const std::string& v) {
    if (v == text_) return;
    text_ = v;
    Perform(CM_TEXTCHANGED);
    Invalidate();
}

void TControl::SetShowHint(bool v) {
    parent_show_hint_ = false;
    if (v == show_hint_) return;
    show_hint_ = v;
    // Children that follow their parent take the new value, and theirs.
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool v) {
    if (v == parent_show_hint_) return;
    parent_show_hint_ = v;
    if (v && parent_) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* v) {
    if (v == popup_menu_) return;
    if (popup_menu_) popup_menu_->RemoveFreeNotification(this);
    popup_menu_ = v;
    if (v) v->FreeNotification(this);
}

void TControl::SetCursor(TCursor v) {
    if (v == cursor_) return;
    cursor_ = v;
    Perform(CM_CURSORCHANGED);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent == popup_menu_) popup_menu_ = nullptr;
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool v) {
    if (v == MouseCapture()) return;
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        if (v)
            SetCapture(w->Handle());
        else
            ReleaseCapture();
        return;
    }
    if (!parent_) return;
    if (v) {
        SetCapture(parent_->Handle());
        parent_->capture_control_ = this;
    } else {
        parent_->capture_control_ = nullptr;
        ReleaseCapture();
    }
}

void TControl::Invalidate() {
    // Also while hidden: SetVisible invalidates before hiding so the parent
    // repaints where the control was.
    if (!parent_ || !parent_->HandleAllocated() || width_ <= 0 || height_ <= 0) return;
    RECT r{left_, top_, left_ + width_, top_ + height_};
    InvalidateRect(parent_->Handle(), &r, !control_style_.contains(csOpaque));
}

void TControl::Update() {
    if (parent_) parent_->Update();
}

void TControl::Repaint() {
    if (!parent_ || !parent_->HandleAllocated() || !visible_) return;
    Invalidate();
    parent_->Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    Invalidate();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    if (WindowProc)
        WindowProc(m);
    else
        WndProc(m);
    return m.Result;
}

void TControl::Click() {
    if (OnClick && !Silent()) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick && !Silent()) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown && !Silent()) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove && !Silent()) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp && !Silent()) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Resize() {
    if (OnResize && !Silent()) OnResize(this);
}

void TControl::MouseMessage(TMessage& m) {
    UINT msg = m.Msg;
    // Without double-click handling a double click is one more press.
    if (!control_style_.contains(csDoubleClicks)) {
        if (msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK)
            msg -= (WM_LBUTTONDBLCLK - WM_LBUTTONDOWN);
    }
    int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
    TShiftState shift = MouseShiftState(m.WParam);
    TAliveToken alive = AliveToken();
    auto down = [&](TMouseButton b, bool dbl) {
        if (control_style_.contains(csCaptureMouse) && b == mbLeft) SetMouseCapture(true);
        if (control_style_.contains(csClickEvents) && b == mbLeft) control_state_.insert(csClicked);
        if (dbl) {
            shift.insert(ssDouble);
            if (control_style_.contains(csClickEvents) && b == mbLeft) DblClick();
        }
        if (alive.Alive()) MouseDown(b, shift, x, y);
    };
    auto up = [&](TMouseButton b) {
        if (b == mbLeft) {
            if (control_style_.contains(csCaptureMouse)) SetMouseCapture(false);
            if (control_state_.contains(csClicked)) {
                control_state_.erase(csClicked);
                if (ClientRect().Contains({x, y})) Click();
            }
        }
        if (alive.Alive()) MouseUp(b, shift, x, y);
    };
    switch (msg) {
        case WM_LBUTTONDOWN: down(mbLeft, false); break;
        case WM_RBUTTONDOWN: down(mbRight, false); break;
        case WM_MBUTTONDOWN: down(mbMiddle, false); break;
        case WM_LBUTTONDBLCLK: down(mbLeft, true); break;
        case WM_RBUTTONDBLCLK: down(mbRight, true); break;
        case WM_MBUTTONDBLCLK: down(mbMiddle, true); break;
        case WM_LBUTTONUP: up(mbLeft); break;
        case WM_RBUTTONUP: up(mbRight); break;
        case WM_MBUTTONUP: up(mbMiddle); break;
        case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
        default: break;
    }
}

void TControl::WndProc(TMessage& m) {
    if (IsMouseMsg(m.Msg)) {
        TAliveToken alive = AliveToken();
        // The system's own handling first (a button pushes itself), ours after.
        DefaultHandler(m);
        if (alive.Alive()) MouseMessage(m);
        return;
    }
    switch (m.Msg) {
        case CM_MOUSEENTER:
            if (OnMouseEnter && !Silent()) OnMouseEnter(this);
            return;
        case CM_MOUSELEAVE:
            if (OnMouseLeave && !Silent()) OnMouseLeave(this);
            return;
        case CM_PARENTFONTCHANGED: ParentFontChanged(); return;
        case CM_PARENTCOLORCHANGED: ParentColorChanged(); return;
        case CM_PARENTSHOWHINTCHANGED:
            if (parent_show_hint_ && parent_) {
                SetShowHint(parent_->ShowHint());
                parent_show_hint_ = true;
            }
            return;
        case CM_HITTEST: m.Result = HTCLIENT; return;
        case CM_CANCELMODE:
            if (MouseCapture() && reinterpret_cast<TControl*>(m.LParam) != this) SetMouseCapture(false);
            return;
        default: break;
    }
    DefaultHandler(m);
}

// ---- canvases ------------------------------------------------------------------------------------

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::FreeHandle() {
    if (!own_dc_) return;
    SetHandle(nullptr);
    ReleaseDC(dc_window_, own_dc_);
    own_dc_ = nullptr;
    dc_window_ = nullptr;
    CanvasesWithDC().erase(std::remove(CanvasesWithDC().begin(), CanvasesWithDC().end(), this),
                             CanvasesWithDC().end());
}

void TControlCanvas::FreeDeviceContexts() {
    std::vector<TControlCanvas*> list = CanvasesWithDC();
    for (TControlCanvas* c : list) c->FreeHandle();
}

void TControlCanvas::CreateHandle() {
    if (own_dc_) return;
    if (auto* w = dynamic_cast<TWinControl*>(control_)) {
        dc_window_ = w->Handle();
        own_dc_ = GetDCEx(dc_window_, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_CLIPCHILDREN);
    } else {
        TWinControl* p = control_->Parent();
        if (!p) throw EInvalidOperation(Format(SParentRequired, control_->Name().c_str()));
        dc_window_ = p->Handle();
        own_dc_ = GetDCEx(dc_window_, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_CLIPCHILDREN);
        if (own_dc_) {
            SetViewportOrgEx(own_dc_, control_->Left(), control_->Top(), nullptr);
            IntersectClipRect(own_dc_, 0, 0, control_->Width(), control_->Height());
        }
    }
    if (!own_dc_) throw EOutOfResources("Out of system resources");
    CanvasesWithDC().push_back(this);
    SetHandle(own_dc_);
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {}

void TCustomControl::PaintWindow(HDC DC) {
    canvas_->FreeHandle();
    CanvasLend lend(*canvas_, DC);
    canvas_->Font().Assign(Font());
    canvas_->Brush().SetColor(Color());
    Paint();
}

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() {
    Destroying();
    canvas_->FreeHandle();
}

void TGraphicControl::WndProc(TMessage& m) {
    if (m.Msg == WM_PAINT && m.WParam) {
        canvas_->FreeHandle();
        CanvasLend lend(*canvas_, reinterpret_cast<HDC>(m.WParam));
        canvas_->Font().Assign(Font());
        canvas_->Brush().SetColor(Color());
        Paint();
        return;
    }
    TControl::WndProc(m);
}

}  // namespace bramble
