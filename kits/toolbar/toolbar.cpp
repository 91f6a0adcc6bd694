#include "kits/toolbar/toolbar.h"

#include <algorithm>

namespace bramble {

// ---- TCustomSkiffbar ------------------------------------------------------------------

TCustomSkiffbar::TCustomSkiffbar(TComponent* AOwner) : TCustomToolWindow97(AOwner) {
    inherited_align_ = false;
    corner_sizing_ = false;
    clip_cursor_while_sizing_ = false;
    SetBounds(0, 0, 30, 30);
}

TCustomSkiffbar::~TCustomSkiffbar() = default;

void TCustomSkiffbar::SetFloatRightX(int v) {
    v = std::max(v, 0);
    if (v == float_right_x_) return;
    float_right_x_ = v;
    if (!DockedTo()) FitToContent();
}

std::vector<tblayout::TbItem> TCustomSkiffbar::Items(TBarOrientation, std::vector<TControl*>& controls) const {
    std::vector<tblayout::TbItem> items;
    for (TControl* c : order_list_) {
        if (!c->Visible() && !ComponentState().contains(csDesigning)) continue;
        tblayout::TbItem it;
        if (auto* s = dynamic_cast<TToolbarSep97*>(c)) {
            it.separator = true;
            it.blank = s->Blank();
            it.sizeHorz = s->SizeHorz();
            it.sizeVert = s->SizeVert();
        } else {
            it.width = c->Width();
            it.height = c->Height();
        }
        items.push_back(it);
        controls.push_back(c);
    }
    return items;
}

int TCustomSkiffbar::GetCrossSize(TBarOrientation O) {
    std::vector<TControl*> cs;
    return tblayout::CrossSize(Items(O, cs), O);
}

void TCustomSkiffbar::LayoutControls(bool CanMove, TBarOrientation O, TPoint& NewClientSize, TDock97* Dock) {
    std::vector<TControl*> controls;
    std::vector<tblayout::TbItem> items = Items(O, controls);
    int itemSize = tblayout::CrossSize(items, O);
    if (Dock && Dock == DockedTo()) itemSize = std::max(itemSize, Dock->GetRowSize(DockRow(), nullptr));
    tblayout::TbLayout l =
        tblayout::LayoutToolbar(items, O, O == TBarOrientation::None ? float_right_x_ : 0, itemSize);
    if (CanMove) {
        line_seps_ = l.lineSeps;
        for (size_t i = 0; i < controls.size(); ++i) {
            const tblayout::TbPlaced& p = l.places[i];
            controls[i]->SetBounds(p.x, p.y, p.w, p.h);
        }
    }
    NewClientSize = {l.clientW, l.clientH};
}

void TCustomSkiffbar::Loaded() {
    if (sort_on_load_) {
        // Controls stored in any order take the order of their positions,
        // before the first layout moves them; controls at one place keep
        // their stored order (a stable sort).
        const bool vertical = DockedTo() && DockedTo()->Orientation() == TBarOrientation::Vertical;
        std::stable_sort(order_list_.begin(), order_list_.end(), [vertical](TControl* a, TControl* b) {
            return vertical ? a->Top() < b->Top() : a->Left() < b->Left();
        });
    }
    UpdateChildOrder();
    TCustomToolWindow97::Loaded();
}

void TCustomSkiffbar::UpdateChildOrder() {
    int tab = 0;
    for (TControl* c : order_list_) {
        c->BringToFront();
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->SetTabOrder(tab++);
    }
}

void TCustomSkiffbar::WndProc(TMessage& m) {
    if (m.Msg == WM_WINDOWPOSCHANGING && !DockedTo() && HandleAllocated()) {
        // A floating bar re-wraps when sized: what was drawn is all wrong.
        const auto* wp = reinterpret_cast<const WINDOWPOS*>(m.LParam);
        const bool sized = !(wp->flags & SWP_NOSIZE) && (wp->cx != Width() || wp->cy != Height());
        if (sized || (wp->flags & SWP_FRAMECHANGED))
            RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    if (m.Msg == CM_CONTROLLISTCHANGE) {
        auto* c = reinterpret_cast<TControl*>(m.WParam);
        order_list_.erase(std::remove(order_list_.begin(), order_list_.end(), c), order_list_.end());
        if (m.LParam) order_list_.push_back(c);
    }
    TCustomToolWindow97::WndProc(m);
    // The controls take their places again when one comes or goes.
    if ((m.Msg == CM_CONTROLLISTCHANGE && !m.LParam) || (m.Msg == CM_CONTROLCHANGE && m.LParam)) FitToContent();
}

void TCustomSkiffbar::Paint() {
    if (DockedTo()) return;
    HDC dc = Canvas().Handle();
    const int w = ClientWidth();
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ old = SelectObject(dc, shadow);
    for (const tblayout::TbLineSep& s : line_seps_) {
        if (s.blank) continue;
        SelectObject(dc, shadow);
        MoveToEx(dc, 1, s.y - 4, nullptr);
        LineTo(dc, w - 1, s.y - 4);
        SelectObject(dc, light);
        MoveToEx(dc, 1, s.y - 3, nullptr);
        LineTo(dc, w - 1, s.y - 3);
    }
    SelectObject(dc, old);
    DeleteObject(shadow);
    DeleteObject(light);
}

bool TCustomSkiffbar::ChildControlTransparent(TControl* C) { return dynamic_cast<TToolbarSep97*>(C) != nullptr; }

void TCustomSkiffbar::SizingStart(int Handle) {
    size_data_ = std::make_unique<SizeData>();
    size_data_->handle = Handle;
    std::vector<TControl*> cs;
    std::vector<tblayout::Size2> sizes = tblayout::PotentialSizes(Items(TBarOrientation::None, cs));
    int nw = 0, nh = 0;
    NonClientSize(nw, nh);
    for (tblayout::Size2& s : sizes) {
        s.w += nw;
        s.h += nh;
    }
    size_data_->sizes = sizes;
    size_data_->chosenRightX = float_right_x_;
    const bool vertical = Handle == 2 || Handle == 5;
    std::vector<int> dims;
    for (const tblayout::Size2& s : sizes) dims.push_back(vertical ? s.h : s.w);
    size_data_->snap = tblayout::SnapDistance(dims, vertical ? Height() : Width());
}

void TCustomSkiffbar::SizingMove(tblayout::Box& R, const tblayout::Box& Orig) {
    if (!size_data_ || size_data_->sizes.empty()) return;
    SizeData& sd = *size_data_;
    const int h = sd.handle;
    const bool vertical = h == 2 || h == 5;
    std::vector<int> dims;
    for (const tblayout::Size2& s : sd.sizes) dims.push_back(vertical ? s.h : s.w);
    const int current = vertical ? Orig.h() : Orig.w();
    const int distance = vertical ? R.h() : R.w();
    const int dir = distance > current ? 1 : distance < current ? -1 : 0;
    const bool first = !sd.changed || (dir != 0 && dir != sd.lastDir);
    const int chosen = tblayout::ChooseSize(dims, current, distance, sd.snap, first);
    if (dir != 0) sd.lastDir = dir;
    size_t idx = 0;
    for (size_t i = 0; i < dims.size(); ++i)
        if (dims[i] == chosen) {
            idx = i;
            break;
        }
    const tblayout::Size2 s = sd.sizes[idx];
    tblayout::Box out = Orig;
    const bool left = h == 0 || h == 3 || h == 6;
    const bool top = h >= 2 && h <= 4;
    if (left) out.l = out.r - s.w; else out.r = out.l + s.w;
    if (top) out.t = out.b - s.h; else out.b = out.t + s.h;
    R = out;
    int nw = 0, nh = 0;
    NonClientSize(nw, nh);
    sd.chosenRightX = idx == 0 ? 0 : s.w - nw;
    sd.changed = !(out == Orig);
}

void TCustomSkiffbar::SizingFinish(bool Accepted) {
    if (Accepted && size_data_) float_right_x_ = size_data_->chosenRightX;
    size_data_.reset();
}

void TCustomSkiffbar::LoadPositionValues(const TPositionReadIntProc& Read) {
    SetFloatRightX(Read(Name(), "FloatRightX", 0));
}

void TCustomSkiffbar::SavePositionValues(const TPositionWriteIntProc& Write) {
    Write(Name(), "FloatRightX", float_right_x_);
}

// ---- TToolbarSep97 ----------------------------------------------------------------------

TToolbarSep97::TToolbarSep97(TComponent* AOwner) : TGraphicControl(AOwner) {
    TControlStyle s = ControlStyle();
    s.erase(csCaptureMouse);
    s.erase(csOpaque);
    SetControlStyle(s);
    SetBounds(0, 0, 6, 6);
}

void TToolbarSep97::SetParent(TWinControl* AParent) {
    if (AParent && !dynamic_cast<TCustomSkiffbar*>(AParent))
        throw EInvalidOperation(ToolbarKitMessage(SSepInvalidParent));
    TGraphicControl::SetParent(AParent);
}

void TToolbarSep97::SetBlank(bool v) {
    if (v == blank_) return;
    blank_ = v;
    Invalidate();
    if (auto* bar = dynamic_cast<TCustomSkiffbar*>(Parent())) bar->Invalidate();
}

void TToolbarSep97::WndProc(TMessage& m) {
    TGraphicControl::WndProc(m);
    if (m.Msg == CM_VISIBLECHANGED) Refit();
}

void TToolbarSep97::Refit() {
    if (auto* bar = dynamic_cast<TCustomSkiffbar*>(Parent())) bar->FitToContent();
}

void TToolbarSep97::SetSizeHorz(int v) {
    if (v == size_horz_) return;
    size_horz_ = std::max(v, 0);
    Refit();
}

void TToolbarSep97::SetSizeVert(int v) {
    if (v == size_vert_) return;
    size_vert_ = std::max(v, 0);
    Refit();
}

void TToolbarSep97::Paint() {
    if (blank_ || Width() <= 0) return;
    auto* bar = dynamic_cast<TCustomSkiffbar*>(Parent());
    const bool vertical = bar && bar->DockedTo() && bar->DockedTo()->Orientation() == TBarOrientation::Vertical;
    HDC dc = Canvas().Handle();
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ old = SelectObject(dc, shadow);
    if (vertical) {
        const int y = Height() / 2 - 1;
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, Width(), y);
        SelectObject(dc, light);
        MoveToEx(dc, 0, y + 1, nullptr);
        LineTo(dc, Width(), y + 1);
    } else {
        const int x = Width() / 2 - 1;
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, Height());
        SelectObject(dc, light);
        MoveToEx(dc, x + 1, 0, nullptr);
        LineTo(dc, x + 1, Height());
    }
    SelectObject(dc, old);
    DeleteObject(shadow);
    DeleteObject(light);
}

void TToolbarSep97::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (auto* bar = dynamic_cast<TCustomSkiffbar*>(Parent()))
        bar->SeparatorMouseDown(Button, Shift, X + Left(), Y + Top());
}

// ---- TToolWindow97 ------------------------------------------------------------------------

TToolWindow97::TToolWindow97(TComponent* AOwner) : TCustomToolWindow97(AOwner) { SetBounds(0, 0, 32, 32); }

int TToolWindow97::GetCrossSize(TBarOrientation O) {
    return O == TBarOrientation::Vertical ? bar_width_ : bar_height_;
}

void TToolWindow97::GetMinClientSize(int& W, int& H) {
    W = min_client_width_;
    H = min_client_height_;
}

void TToolWindow97::LayoutControls(bool, TBarOrientation, TPoint& NewClientSize, TDock97*) {
    NewClientSize = {bar_width_, bar_height_};
}

void TToolWindow97::ClientSizeChanging(int W, int H) {
    int nw = 0, nh = 0;
    NonClientSize(nw, nh);
    bar_width_ = std::max(W - nw, 0);
    bar_height_ = std::max(H - nh, 0);
}

void TToolWindow97::SetClientArea(int W, int H) {
    bar_width_ = std::max(W, 0);
    bar_height_ = std::max(H, 0);
    int nw = 0, nh = 0;
    NonClientSize(nw, nh);
    ++updating_bounds_;
    TCustomToolWindow97::SetBounds(Left(), Top(), bar_width_ + nw, bar_height_ + nh);
    --updating_bounds_;
    FitToContent();
    if (DockedTo()) DockedTo()->LayoutBars(false);
}

void TToolWindow97::SetClientAreaWidth(int v) { SetClientArea(v, bar_height_); }
void TToolWindow97::SetClientAreaHeight(int v) { SetClientArea(bar_width_, v); }

void TToolWindow97::LoadPositionValues(const TPositionReadIntProc& Read) {
    if (!Resizable()) return;
    const int h = Read(Name(), "ClientHeight", bar_height_);
    const int w = Read(Name(), "ClientWidth", bar_width_);
    SetClientArea(std::clamp(w, min_client_width_, 32767), std::clamp(h, min_client_height_, 32767));
}

void TToolWindow97::SavePositionValues(const TPositionWriteIntProc& Write) {
    Write(Name(), "ClientWidth", bar_width_);
    Write(Name(), "ClientHeight", bar_height_);
}

}  // namespace bramble
