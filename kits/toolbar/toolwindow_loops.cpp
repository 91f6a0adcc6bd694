// The tool window's modal mouse loops: dragging between docks and the
// floating state, resizing while floating, and the close button. Each runs
// its own message loop with the mouse captured; everything it takes (the
// capture, the desktop lock and DC, the cursor clip, the cursor) is given
// back on every way out, and a window freed by a message dispatched inside
// the loop ends it without anything of it being touched again.
#include <algorithm>

#include "kits/toolbar/toolwindow.h"
#include "ui/monitors.h"

#include <windowsx.h>  // after the window layer: its macros clash with some names there

namespace bramble {

namespace {

using tblayout::Box;

// Holds what a loop takes from the system and gives it all back.
class LoopResources {
public:
    explicit LoopResources(HWND Wnd, bool Lock) : wnd_(Wnd) {
        if (Lock) locked_ = LockWindowUpdate(GetDesktopWindow()) != FALSE;
        dc_ = GetDCEx(GetDesktopWindow(), nullptr, DCX_WINDOW | DCX_CACHE | (locked_ ? DCX_LOCKWINDOWUPDATE : 0));
        SetCapture(Wnd);
        cursor_ = GetCursor();
    }
    ~LoopResources() { Release(); }
    void Release() {
        if (released_) return;
        released_ = true;
        if (GetCapture() == wnd_) ReleaseCapture();
        if (clipped_) ClipCursor(nullptr);
        if (dc_) ReleaseDC(GetDesktopWindow(), dc_);
        dc_ = nullptr;
        if (locked_) LockWindowUpdate(nullptr);
        ::SetCursor(cursor_);
    }
    void Clip(const RECT& r) {
        clipped_ = ClipCursor(&r) != FALSE;
    }
    HDC DC() const { return dc_; }
    HCURSOR SavedCursor() const { return cursor_; }

private:
    HWND wnd_;
    HDC dc_ = nullptr;
    bool locked_ = false;
    bool clipped_ = false;
    bool released_ = false;
    HCURSOR cursor_ = nullptr;
};

// The XOR outline: a halftone frame of the given thickness.
class Outline {
public:
    explicit Outline(HDC dc) : dc_(dc) {
        WORD bits[8];
        for (int i = 0; i < 8; ++i) bits[i] = static_cast<WORD>((i & 1) ? 0xAA : 0x55);
        HBITMAP bmp = CreateBitmap(8, 8, 1, 1, bits);
        brush_ = CreatePatternBrush(bmp);
        DeleteObject(bmp);
    }
    ~Outline() {
        Erase();
        DeleteObject(brush_);
    }
    void Draw(const Box& r, int thick) {
        if (shown_ && r == rect_ && thick == thick_) return;
        Erase();
        rect_ = r;
        thick_ = thick;
        if (r.w() > 0 && r.h() > 0) {
            Xor();
            shown_ = true;
        }
    }
    void Erase() {
        if (shown_) Xor();
        shown_ = false;
    }
    const Box& Rect() const { return rect_; }
    bool Shown() const { return shown_; }

private:
    void Xor() {
        if (!dc_) return;
        HGDIOBJ old = SelectObject(dc_, brush_);
        const Box& r = rect_;
        const int t = std::min({thick_, r.w() / 2 + 1, r.h() / 2 + 1});
        PatBlt(dc_, r.l, r.t, r.w(), t, PATINVERT);
        PatBlt(dc_, r.l, r.b - t, r.w(), t, PATINVERT);
        PatBlt(dc_, r.l, r.t + t, t, r.h() - 2 * t, PATINVERT);
        PatBlt(dc_, r.r - t, r.t + t, t, r.h() - 2 * t, PATINVERT);
        SelectObject(dc_, old);
    }
    HDC dc_;
    HBRUSH brush_ = nullptr;
    Box rect_;
    int thick_ = 1;
    bool shown_ = false;
};

Box WorkAreaOf(POINT p) {
    const RECT r = GetWorkAreaOfPoint(p);
    return {r.left, r.top, r.right, r.bottom};
}

Box WindowBox(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return {r.left, r.top, r.right, r.bottom};
}

// Candidate docks of a form, depth first: at each level the docks by edge
// (top, bottom, left, right), then into the other windowed controls.
void CollectDocks(TWinControl* c, std::vector<TDock97*>& out) {
    for (TDockPosition p : {dpTop, dpBottom, dpLeft, dpRight})
        for (int i = 0; i < c->ControlCount(); ++i)
            if (auto* d = dynamic_cast<TDock97*>(c->Controls(i)); d && d->Position() == p) out.push_back(d);
    for (int i = 0; i < c->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(c->Controls(i)); w && !dynamic_cast<TDock97*>(w) &&
                                                                  !dynamic_cast<TCustomToolWindow97*>(w))
            CollectDocks(w, out);
}

// The point of a mouse message in screen coordinates.
POINT MessagePoint(const MSG& msg) {
    POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    ClientToScreen(msg.hwnd, &p);
    return p;
}

}  // namespace

void TCustomToolWindow97::BeginMoving(int InitX, int InitY) {
    if (in_loop_ || !HandleAllocated()) return;
    TAliveToken alive = AliveToken();
    HWND wnd = Handle();
    const Box start = WindowBox(wnd);
    POINT cursor0{InitX, InitY};
    ::ClientToScreen(wnd, &cursor0);
    const tblayout::Pt offset{cursor0.x - start.l, cursor0.y - start.t};
    bool preventDocking = GetKeyState(VK_CONTROL) < 0;
    const bool canFloat = dock_mode_ == dmCanFloat;

    std::vector<TDock97*> docks;
    if (dock_mode_ == dmCannotFloatOrChangeDocks) {
        if (dock_) docks.push_back(dock_);
    } else if (TCustomForm* f = OwnerForm()) {
        std::vector<TDock97*> all;
        CollectDocks(f, all);
        for (TDock97* d : all)
            if (d->Showing() && d->AllowDrag() && dockable_to_.contains(d->Position())) docks.push_back(d);
    }
    // The outline's size for each target.
    std::vector<TPoint> dockSizes;
    for (TDock97* d : docks) {
        if (d == dock_) {
            dockSizes.push_back({Width(), Height()});
            continue;
        }
        TPoint sz{};
        LayoutControls(false, d->Orientation(), sz, d);
        const int handle = d->AllowDrag() ? tblayout::HandleLength(static_cast<tblayout::Grip>(drag_handle_style_),
                                                                    close_button_when_docked_)
                                          : 0;
        const bool vert = d->Orientation() == TBarOrientation::Vertical;
        dockSizes.push_back({sz.X + 4 + (vert ? 0 : handle), sz.Y + 4 + (vert ? handle : 0)});
    }
    TPoint floatSize{};
    LayoutControls(false, TBarOrientation::None, floatSize, nullptr);
    const int f = FrameWidth();
    floatSize.X += 2 * f;
    floatSize.Y += 2 * FrameHeight() + (show_caption_ ? CaptionHeight() : 0);

    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
    if (!alive.Alive()) return;

    in_loop_ = true;
    LoopResources res(wnd, true);
    Outline outline(res.DC());
    TDock97* target = nullptr;
    HCURSOR noCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_NO));
    POINT last = cursor0;

    auto redraw = [&](POINT pt) -> bool {
        last = pt;
        target = nullptr;
        Box box;
        if (!preventDocking) {
            for (size_t i = 0; i < docks.size(); ++i) {
                TDock97* d = docks[i];
                if (!d->HandleAllocated()) continue;
                const bool vertical = d->Orientation() == TBarOrientation::Vertical;
                Box dr = WindowBox(d->Handle());
                const bool empty = vertical ? dr.w() == 0 : dr.h() == 0;
                if (!tblayout::NearDock(dr, empty, vertical, {pt.x, pt.y}, offset, start.w(), start.h())) continue;
                const TPoint sz = dockSizes[i];
                Box cand{pt.x - tblayout::ScaleOffset(offset.x, start.w(), sz.X),
                         pt.y - tblayout::ScaleOffset(offset.y, start.h(), sz.Y), 0, 0};
                cand.r = cand.l + sz.X;
                cand.b = cand.t + sz.Y;
                if (empty) (vertical ? dr.r : dr.b) += 1;
                if (!tblayout::Intersects(cand, dr)) continue;
                bool accept = true;
                if (d->OnRequestDock) d->OnRequestDock(d, this, accept);
                if (!alive.Alive()) return false;
                if (!accept) continue;
                target = d;
                box = cand;
                break;
            }
        }
        int thick = 1;
        if (!target) {
            if (canFloat) {
                const Box work = WorkAreaOf(pt);
                pt.x = std::clamp<int>(pt.x, work.l, work.r - 1);
                pt.y = std::clamp<int>(pt.y, work.t, work.b - 1);
                box.l = pt.x - tblayout::ScaleOffset(offset.x, start.w(), floatSize.X);
                box.t = pt.y - tblayout::ScaleOffset(offset.y, start.h(), floatSize.Y);
                box.r = box.l + floatSize.X;
                box.b = box.t + floatSize.Y;
                box = tblayout::KeepOutlineOnArea(box, work, f, show_caption_ ? CaptionHeight() : 0);
                thick = f;
            }
        }
        ::SetCursor(!target && !canFloat ? noCursor : res.SavedCursor());
        if (box.w() > 0)
            outline.Draw(box, thick);
        else
            outline.Erase();
        return true;
    };

    bool accepted = false;
    if (!redraw(cursor0)) return;
    while (GetCapture() == wnd) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool stop = false;
        switch (msg.message) {
            case WM_LBUTTONUP:
                accepted = true;
                stop = true;
                break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                stop = true;
                break;
            case WM_KEYDOWN:
            case WM_KEYUP:
                if (msg.wParam == VK_ESCAPE && msg.message == WM_KEYDOWN) {
                    stop = true;
                } else if (msg.wParam == VK_CONTROL) {
                    const bool down = msg.message == WM_KEYDOWN;
                    if (down != preventDocking) {
                        preventDocking = down;
                        if (!redraw(last)) return;
                    }
                }
                break;
            case WM_MOUSEMOVE:
                if (!redraw(MessagePoint(msg))) return;
                break;
            case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR:
            case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
            case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
                break;
            default:
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                // Freed by what was dispatched: the window is gone, so is its capture.
                if (!alive.Alive()) return;
        }
        if (stop) break;
    }
    const Box drop = outline.Rect();
    const bool shown = outline.Shown();
    outline.Erase();
    res.Release();
    in_loop_ = false;
    if (!accepted || !shown) return;
    if (target) {
        const bool vertical = target->Orientation() == TBarOrientation::Vertical;
        POINT o{0, 0};
        ::ClientToScreen(target->Handle(), &o);
        const int across = vertical ? (drop.l + drop.r) / 2 - o.x : (drop.t + drop.b) / 2 - o.y;
        tblayout::RowHit hit = target->GetRowOf(across);
        int row = hit.row;
        if (hit.before)
            target->InsertRowBefore(row);
        else if (full_size_ && target->GetNumberOfToolbarsOnRow(row, this) > 0)
            target->InsertRowBefore(++row);
        dock_row_ = tblayout::ClampRow(row);
        dock_pos_ = tblayout::ClampPos(vertical ? drop.t - o.y : drop.l - o.x);
        if (dock_ != target) {
            SetDockedTo(target);
            if (!alive.Alive()) return;
        }
        target->LayoutBars(true);
    } else {
        floating_pos_ = {drop.l, drop.t};
        if (dock_) {
            SetDockedTo(nullptr);
            if (!alive.Alive()) return;
        } else {
            SetBounds(drop.l, drop.t, Width(), Height());
        }
    }
    MoveOnScreen(true);
}

void TCustomToolWindow97::BeginSizing(int HandleNo) {
    if (in_loop_ || dock_ || !HandleAllocated()) return;
    TAliveToken alive = AliveToken();
    HWND wnd = Handle();
    int minW = 0, minH = 0;
    GetMinClientSize(minW, minH);
    int nw = 0, nh = 0;
    NonClientSize(nw, nh);
    minW = std::max(minW, 0) + nw;
    minH = std::max(minH, 0) + nh;
    SizingStart(HandleNo);
    if (!alive.Alive()) return;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
    if (!alive.Alive()) return;
    const Box orig = WindowBox(wnd);
    POINT p0{};
    GetCursorPos(&p0);
    bool haveStart = false;
    in_loop_ = true;
    LoopResources res(wnd, true);
    if (clip_cursor_while_sizing_ && GetSystemMetrics(SM_CMONITORS) <= 1) {
        RECT work{};
        if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) res.Clip(work);
    }
    Outline outline(res.DC());
    const int f = FrameWidth();
    Box now = orig;
    outline.Draw(now, f);
    bool accepted = false;
    while (GetCapture() == wnd) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool stop = false;
        switch (msg.message) {
            case WM_LBUTTONUP:
                accepted = true;
                stop = true;
                break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                stop = true;
                break;
            case WM_KEYDOWN:
                if (msg.wParam == VK_ESCAPE) stop = true;
                break;
            case WM_MOUSEMOVE: {
                POINT p = MessagePoint(msg);
                if (!haveStart) {
                    // The first move names where the drag began when the
                    // press came as a message without a cursor position.
                    haveStart = true;
                    if (p0.x == p.x && p0.y == p.y) break;
                }
                Box r = tblayout::SizeByHandle(orig, HandleNo, p.x - p0.x, p.y - p0.y, minW, minH);
                SizingMove(r, orig);
                if (!alive.Alive()) return;
                now = r;
                outline.Draw(now, f);
                break;
            }
            case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR:
            case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
            case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
                break;
            default:
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                if (!alive.Alive()) return;
        }
        if (stop) break;
    }
    outline.Erase();
    res.Release();
    in_loop_ = false;
    SizingFinish(accepted);
    if (!alive.Alive() || !accepted) return;
    ++disable_arrange_;
    SetBounds(now.l, now.t, now.w(), now.h());
    --disable_arrange_;
    arrange_needed_ = false;
    FitToContent();
    MoveOnScreen(true);
}

void TCustomToolWindow97::TrackCloseButton() {
    if (in_loop_ || !HandleAllocated()) return;
    TAliveToken alive = AliveToken();
    HWND wnd = Handle();
    auto repaint = [&] {
        if (dock_)
            InvalidateDockedNC();
        else
            RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    };
    close_down_ = true;
    repaint();
    in_loop_ = true;
    LoopResources res(wnd, false);
    bool clicked = false;
    MSG msg;
    while (GetCapture() == wnd) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool stop = false;
        switch (msg.message) {
            case WM_MOUSEMOVE: {
                POINT p = MessagePoint(msg);
                const bool over = OnCloseButton({p.x, p.y});
                if (over != close_down_) {
                    close_down_ = over;
                    repaint();
                }
                break;
            }
            case WM_LBUTTONUP:
                clicked = close_down_;
                stop = true;
                break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                stop = true;
                break;
            case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR:
            case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
            case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
                break;
            default:
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                if (!alive.Alive()) return;
        }
        if (stop) break;
    }
    res.Release();
    in_loop_ = false;
    if (close_down_) {
        close_down_ = false;
        repaint();
    }
    if (clicked) CloseClicked();
}

}  // namespace bramble
