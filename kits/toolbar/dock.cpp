#include "kits/toolbar/dock.h"

#include <algorithm>

#include "kits/toolbar/hooks.h"
#include "kits/toolbar/toolwindow.h"
#include "ui/forms.h"

namespace bramble {

std::string ToolbarKitMessage(int Id) {
    switch (Id) {
        case SDockInvalidParent: return "A TDock97 control cannot be placed inside a tool window or another TDock97";
        case SDockCannotChangePosition: return "Cannot change Position of a TDock97 if it already contains controls";
        case SToolWinInvalidParent: return "A tool window can only be placed on a TDock97 or directly on the form";
        case SSepInvalidParent: return "TToolbarSep97 can only be placed on a TSkiffbar";
        default: return {};
    }
}

TDock97::TDock97(TComponent* AOwner) : TCustomControl(AOwner) {
    TControlStyle s = ControlStyle();
    s.insert(csAcceptsControls);
    s.insert(csNoStdEvents);
    s.erase(csCaptureMouse);
    s.erase(csClickEvents);
    s.erase(csOpaque);
    SetControlStyle(s);
    SetParentColor(false);
    SetColor(clBtnFace);
    SetAlign(alTop);
    SetBounds(0, 0, 100, 0);
    background_.OnChange = [this](TObject*) { BackgroundChanged(); };
}

TDock97::~TDock97() {
    // The bars outlive the dock only as floating or freed windows: they
    // must not keep pointing here.
    std::vector<TCustomToolWindow97*> list = dock_list_;
    list.insert(list.end(), visible_list_.begin(), visible_list_.end());
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* t = dynamic_cast<TCustomToolWindow97*>(Controls(i))) list.push_back(t);
    for (TCustomToolWindow97* b : list) {
        if (b->dock_ == this) b->dock_ = nullptr;
        if (b->last_dock_ == this) b->last_dock_ = nullptr;
        if (b->default_dock_ == this) b->default_dock_ = nullptr;
    }
}

std::string TDock97::Version() const { return SkiffbarVersion(); }

void TDock97::SetParent(TWinControl* AParent) {
    if (dynamic_cast<TCustomToolWindow97*>(AParent) || dynamic_cast<TDock97*>(AParent))
        throw EInvalidOperation(ToolbarKitMessage(SDockInvalidParent));
    TCustomControl::SetParent(AParent);
}

void TDock97::SetPosition(TDockPosition v) {
    if (v == position_) return;
    if (ControlCount() > 0) throw EInvalidOperation(ToolbarKitMessage(SDockCannotChangePosition));
    position_ = v;
    static const TAlign aligns[] = {alTop, alBottom, alLeft, alRight};
    SetAlign(aligns[v]);
    LayoutBars(false);
}

void TDock97::SetAllowDrag(bool v) {
    if (v == allow_drag_) return;
    allow_drag_ = v;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* t = dynamic_cast<TCustomToolWindow97*>(Controls(i)))
            if (t->HandleAllocated())
                SetWindowPos(t->Handle(), nullptr, 0, 0, 0, 0,
                             SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TDock97::SetFixAlign(bool v) {
    if (v == fix_align_) return;
    fix_align_ = v;
    LayoutBars(false);
}

void TDock97::SetLimitToOneRow(bool v) {
    if (v == limit_to_one_row_) return;
    limit_to_one_row_ = v;
    LayoutBars(false);
}

void TDock97::SetBoundLines(TDockBoundLines v) {
    if (v == bound_lines_) return;
    bound_lines_ = v;
    if (HandleAllocated())
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutBars(false);
}

void TDock97::SetBackground(TBitmap* v) {
    if (v)
        background_.Assign(*v);
    else
        background_.Clear();
    BackgroundChanged();
}

void TDock97::BackgroundChanged() {
    transparent_cache_.reset();
    InvalidateBackgrounds();
}

void TDock97::SetBackgroundOnToolbars(bool v) {
    if (v == background_on_toolbars_) return;
    background_on_toolbars_ = v;
    InvalidateBackgrounds();
}

void TDock97::SetBackgroundTransparent(bool v) {
    if (v == background_transparent_) return;
    background_transparent_ = v;
    if (UsingBackground()) BackgroundChanged();
}

void TDock97::InvalidateBackgrounds() {
    if (HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    for (TCustomToolWindow97* b : visible_list_)
        if (b->HandleAllocated())
            RedrawWindow(b->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

TBitmap& TDock97::TransparentCache() {
    if (transparent_cache_) return *transparent_cache_;
    const int w = background_.Width(), h = background_.Height();
    auto cache = std::make_unique<TBitmap>(w, h);
    HDC dc = cache->Canvas().Handle();
    HDC src = background_.Canvas().Handle();
    // A mask of the transparent colour: set where the dock's colour shows.
    HDC mdc = CreateCompatibleDC(dc);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(mdc, mask);
    const COLORREF oldBk = SetBkColor(src, ColorToRGB(background_.TransparentColor()));
    BitBlt(mdc, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SetBkColor(src, oldBk);
    RECT r{0, 0, w, h};
    HBRUSH face = CreateSolidBrush(ColorToRGB(Color()));
    FillRect(dc, &r, face);
    DeleteObject(face);
    // The colour only where the mask is set, then the picture elsewhere.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, 0, 0, w, h, mdc, 0, 0, SRCAND);
    TBitmap picture(w, h);
    HDC pdc = picture.Canvas().Handle();
    BitBlt(pdc, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SetTextColor(pdc, RGB(255, 255, 255));
    SetBkColor(pdc, RGB(0, 0, 0));
    BitBlt(pdc, 0, 0, w, h, mdc, 0, 0, SRCAND);
    BitBlt(dc, 0, 0, w, h, pdc, 0, 0, SRCPAINT);
    SelectObject(mdc, oldMask);
    DeleteObject(mask);
    DeleteDC(mdc);
    cache->SetPalette(CopyPalette(background_.Palette()));
    transparent_cache_ = std::move(cache);
    return *transparent_cache_;
}

void TDock97::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    P.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TDock97::Loaded() {
    TCustomControl::Loaded();
    LayoutBars(false);
}

void TDock97::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    auto drop = [&](std::vector<TCustomToolWindow97*>& l) {
        l.erase(std::remove(l.begin(), l.end(), AComponent), l.end());
    };
    drop(dock_list_);
    drop(visible_list_);
}

bool TDock97::IsVisibleOn(TCustomToolWindow97* Bar) const {
    return Bar->Parent() == this && (Bar->Visible() || ComponentState().contains(csDesigning));
}

void TDock97::ChangeDockList(bool Insert, TCustomToolWindow97* Bar) {
    auto it = std::find(dock_list_.begin(), dock_list_.end(), Bar);
    if (Insert) {
        if (it == dock_list_.end()) {
            dock_list_.push_back(Bar);
            Bar->FreeNotification(this);
        }
    } else if (it != dock_list_.end()) {
        dock_list_.erase(it);
    }
    ToolbarVisibilityChanged(Bar, false);
}

void TDock97::ToolbarVisibilityChanged(TCustomToolWindow97* Bar, bool ForceRemove) {
    const bool now = !ForceRemove && IsVisibleOn(Bar) &&
                     std::find(dock_list_.begin(), dock_list_.end(), Bar) != dock_list_.end();
    auto it = std::find(visible_list_.begin(), visible_list_.end(), Bar);
    const bool was = it != visible_list_.end();
    if (now == was) return;
    if (now)
        visible_list_.push_back(Bar);
    else
        visible_list_.erase(it);
    LayoutBars(false);
    if (OnInsertRemoveBar) OnInsertRemoveBar(this, now, Bar);
}

void TDock97::BeginUpdate() { ++disable_arrange_; }

void TDock97::EndUpdate() {
    if (disable_arrange_ > 0 && --disable_arrange_ == 0 && arrange_needed_) LayoutBars(arrange_clip_);
}

int TDock97::GetHighestRow() const {
    int h = -1;
    for (TCustomToolWindow97* b : dock_list_) h = std::max(h, b->DockRow());
    return h;
}

int TDock97::GetNumberOfToolbarsOnRow(int Row, TCustomToolWindow97* NotIncluding) const {
    int n = 0;
    for (TCustomToolWindow97* b : dock_list_)
        if (b != NotIncluding && b->DockRow() == Row) ++n;
    return n;
}

void TDock97::InsertRowBefore(int Row) {
    for (TCustomToolWindow97* b : dock_list_)
        if (b->dock_row_ >= Row) b->dock_row_ = tblayout::ClampRow(b->dock_row_ + 1);
}

int TDock97::GetRowSize(int Row, TCustomToolWindow97* DefaultBar) {
    int s = Row >= 0 && Row < static_cast<int>(row_sizes_.size()) ? row_sizes_[static_cast<size_t>(Row)] : 0;
    if (s == 0 && DefaultBar) s = DefaultBar->GetCrossSize(Orientation());
    return s;
}

void TDock97::RebuildRowSizes() {
    std::vector<int> sizes;
    for (TCustomToolWindow97* b : visible_list_) {
        const size_t row = static_cast<size_t>(tblayout::ClampRow(b->dock_row_));
        if (sizes.size() <= row) sizes.resize(row + 1, 0);
        sizes[row] = std::max({sizes[row], b->GetCrossSize(Orientation()), 8});
    }
    row_sizes_ = sizes;
}

void TDock97::LayoutBars(bool ClipPoses) {
    if (ClipPoses) arrange_clip_ = true;
    if (disable_arrange_ > 0 || ComponentState().contains(csLoading) ||
        ComponentState().contains(csDestroying)) {
        arrange_needed_ = true;
        return;
    }
    ++disable_arrange_;
    struct Lower {
        TDock97* d;
        ~Lower() {
            --d->disable_arrange_;
            d->arrange_needed_ = false;
            d->arrange_clip_ = false;
        }
    } lower{this};
    if (HandleAllocated())
        SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    const bool vertical = Orientation() == TBarOrientation::Vertical;
    std::vector<tblayout::DockBar> bars;
    for (TCustomToolWindow97* b : dock_list_) {
        tblayout::DockBar d;
        d.row = b->dock_row_;
        d.pos = b->dock_pos_;
        d.length = vertical ? b->Height() : b->Width();
        d.visible = IsVisibleOn(b);
        d.cross = d.visible ? b->GetCrossSize(Orientation()) : 0;
        // The row holds the bar's whole outer thickness less the 4 pixels
        // that every row adds.
        int nw = 0, nh = 0;
        b->NonClientSize(nw, nh);
        d.cross += vertical ? nw - 4 : nh - 4;
        d.fullSize = b->FullSize();
        bars.push_back(d);
    }
    const TRect cr = ClientRect();
    const int length = vertical ? cr.Height() : cr.Width();
    tblayout::DockLayout l = tblayout::LayoutDock(bars, length, limit_to_one_row_, arrange_clip_, fix_align_ ? 1 : 0);
    row_sizes_ = l.rowSizes;
    std::vector<TCustomToolWindow97*> sorted;
    for (int i : l.order) sorted.push_back(dock_list_[static_cast<size_t>(i)]);
    for (size_t i = 0; i < bars.size(); ++i) {
        TCustomToolWindow97* b = dock_list_[i];
        b->dock_row_ = bars[i].row;
        b->dock_pos_ = bars[i].pos;
    }
    std::vector<TCustomToolWindow97*> visible;
    for (TCustomToolWindow97* b : sorted)
        if (std::find(visible_list_.begin(), visible_list_.end(), b) != visible_list_.end()) visible.push_back(b);
    for (size_t k = 0; k < l.order.size(); ++k) {
        const size_t i = static_cast<size_t>(l.order[k]);
        if (!bars[i].visible) continue;
        TCustomToolWindow97* b = dock_list_[i];
        const tblayout::DockPlace& p = l.places[i];
        ++b->updating_bounds_;
        if (vertical)
            b->TCustomControl::SetBounds(p.across, p.along, p.thickness, p.length);
        else
            b->TCustomControl::SetBounds(p.along, p.across, p.length, p.thickness);
        --b->updating_bounds_;
    }
    dock_list_ = sorted;
    visible_list_ = visible;
    SetThickness(l.thickness);
}

void TDock97::SetThickness(int ClientThickness) {
    int nw = 0, nh = 0;
    if (bound_lines_.contains(blLeft)) ++nw;
    if (bound_lines_.contains(blRight)) ++nw;
    if (bound_lines_.contains(blTop)) ++nh;
    if (bound_lines_.contains(blBottom)) ++nh;
    if (Orientation() == TBarOrientation::Vertical) {
        const int w = ClientThickness + nw;
        if (w != Width()) SetBounds(Align() == alRight ? Left() + Width() - w : Left(), Top(), w, Height());
    } else {
        const int h = ClientThickness + nh;
        if (h != Height()) SetBounds(Left(), Align() == alBottom ? Top() + Height() - h : Top(), Width(), h);
    }
}

void TDock97::DrawBackground(HDC DC, const RECT& Clip, const RECT* Exclude, const RECT& Draw) {
    const int bw = background_.Width(), bh = background_.Height();
    if (bw <= 0 || bh <= 0) return;
    const int saved = SaveDC(DC);
    IntersectClipRect(DC, Clip.left, Clip.top, Clip.right, Clip.bottom);
    if (Exclude) ExcludeClipRect(DC, Exclude->left, Exclude->top, Exclude->right, Exclude->bottom);
    TBitmap& tile = background_transparent_ ? TransparentCache() : background_;
    // On a palette display the tiles' colours come out right only with
    // the bitmap's own palette realised.
    if (HPALETTE pal = tile.Palette()) {
        SelectPalette(DC, pal, TRUE);
        RealizePalette(DC);
    }
    HDC src = tile.Canvas().Handle();
    for (int x = Draw.left; x < Draw.right; x += bw)
        for (int y = Draw.top; y < Draw.bottom; y += bh) BitBlt(DC, x, y, bw, bh, src, 0, 0, SRCCOPY);
    RestoreDC(DC, saved);
}

HPALETTE TDock97::GetPalette() { return UsingBackground() ? background_.Palette() : nullptr; }

void TDock97::Paint() {
    if (!UsingBackground()) return;
    RECT wr{}, cr{};
    GetWindowRect(Handle(), &wr);
    POINT o{0, 0};
    ::ClientToScreen(Handle(), &o);
    GetClientRect(Handle(), &cr);
    // The tiles are anchored at the outer corner, so the pattern runs on
    // under the bound lines and the bars.
    RECT draw{wr.left - o.x, wr.top - o.y, cr.right, cr.bottom};
    DrawBackground(Canvas().Handle(), cr, nullptr, draw);
}

void TDock97::PaintNC(HDC DC) {
    RECT r{};
    GetWindowRect(Handle(), &r);
    OffsetRect(&r, -r.left, -r.top);
    RECT client = r;
    if (bound_lines_.contains(blLeft)) ++client.left;
    if (bound_lines_.contains(blTop)) ++client.top;
    if (bound_lines_.contains(blRight)) --client.right;
    if (bound_lines_.contains(blBottom)) --client.bottom;
    const int saved = SaveDC(DC);
    ExcludeClipRect(DC, client.left, client.top, client.right, client.bottom);
    HBRUSH face = CreateSolidBrush(ColorToRGB(Color()));
    FillRect(DC, &r, face);
    DeleteObject(face);
    if (HasVisibleToolbars()) {
        HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        HGDIOBJ old = SelectObject(DC, shadow);
        if (bound_lines_.contains(blTop)) {
            MoveToEx(DC, 0, 0, nullptr);
            LineTo(DC, r.right, 0);
        }
        if (bound_lines_.contains(blLeft)) {
            MoveToEx(DC, 0, 0, nullptr);
            LineTo(DC, 0, r.bottom);
        }
        SelectObject(DC, light);
        if (bound_lines_.contains(blBottom)) {
            MoveToEx(DC, 0, r.bottom - 1, nullptr);
            LineTo(DC, r.right, r.bottom - 1);
        }
        if (bound_lines_.contains(blRight)) {
            MoveToEx(DC, r.right - 1, 0, nullptr);
            LineTo(DC, r.right - 1, r.bottom);
        }
        SelectObject(DC, old);
        DeleteObject(shadow);
        DeleteObject(light);
    }
    RestoreDC(DC, saved);
}

void TDock97::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_NCCALCSIZE: {
            auto* r = reinterpret_cast<RECT*>(m.LParam);
            if (bound_lines_.contains(blLeft)) ++r->left;
            if (bound_lines_.contains(blTop)) ++r->top;
            if (bound_lines_.contains(blRight)) --r->right;
            if (bound_lines_.contains(blBottom)) --r->bottom;
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
        case WM_PRINT:
            m.Result = AnswerPrintMessage(Handle(), m.WParam, m.LParam, [this](HWND, HDC dc) { PaintNC(dc); });
            return;
        case WM_PRINTCLIENT:
            AnswerPrintClientMessage(this, m);
            return;
        case WM_SIZE:
            TCustomControl::WndProc(m);
            LayoutBars(false);
            return;
        case WM_MOVE:
            // The bars' tiles are anchored at the dock's corner.
            TCustomControl::WndProc(m);
            if (UsingBackground()) InvalidateBackgrounds();
            return;
        case CM_COLORCHANGED:
        case CM_SYSCOLORCHANGE:
            TCustomControl::WndProc(m);
            transparent_cache_.reset();
            if (UsingBackground()) InvalidateBackgrounds();
            return;
        default: break;
    }
    TCustomControl::WndProc(m);
}

}  // namespace bramble
