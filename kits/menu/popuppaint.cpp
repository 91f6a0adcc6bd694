// The popup window paints its whole menu into one bitmap and copies it, so that
// a repaint never shows half-drawn rows.
#include "kits/menu/popupmenu.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>

#include "kits/menu/itemcontrols.h"
#include "kits/menu/itemdraw.h"
#include "kits/menu/menustate.h"
#include "kits/menu/menutext.h"
#include "kits/menu/tooltip.h"
#include "ui/canvasext.h"
#include "ui/forms.h"

namespace bramble {

void TPopupMenu2000Form::Repaint() {
    if (!wnd_ || !IsWindowVisible(wnd_)) return;
    // Only the rows whose selection changed are painted again, into the
    // picture the window already shows; anything else paints it whole.
    if (full_redraw_ || showing_ || painted_scroll_ != scroll_ || !work_ || work_->Width() != full_w_ ||
        work_->Height() != full_h_) {
        full_redraw_ = true;
        InvalidateRect(wnd_, nullptr, FALSE);
        UpdateWindow(wnd_);
        return;
    }
    RECT dirty = PaintMenu(work_->Canvas().Handle(), false);
    if (IsRectEmpty(&dirty)) return;
    HDC dc = GetDC(wnd_);
    BitBlt(dc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, work_->Canvas().Handle(),
           dirty.left, dirty.top, SRCCOPY);
    ReleaseDC(wnd_, dc);
}

void TPopupMenu2000Form::PaintWindow(HDC DC) {
    int w = std::max(1, full_w_), h = std::max(1, full_h_);
    if (!work_) work_ = std::make_unique<TBitmap>(w, h);
    else if (work_->Width() != w || work_->Height() != h) work_->SetSize(w, h);
    PaintMenu(work_->Canvas().Handle(), true);
    int sx = opens_left_ ? full_w_ - cur_w_ : 0, sy = opens_up_ ? full_h_ - cur_h_ : 0;
    BitBlt(DC, 0, 0, cur_w_, cur_h_, work_->Canvas().Handle(), sx, sy, SRCCOPY);
}

void TPopupMenu2000Form::PaintTo(HDC DC) {
    // Another picture than the window's: what the window shows stays known.
    int painted = painted_selected_, scroll = painted_scroll_;
    bool full = full_redraw_;
    PaintMenu(DC, true);
    painted_selected_ = painted;
    painted_scroll_ = scroll;
    full_redraw_ = full;
}

RECT TPopupMenu2000Form::PaintMenu(HDC DC, bool Full) {
    int w = full_w_, h = full_h_;
    RECT all{0, 0, w, h};
    RECT dirty{};
    auto touched = [&](const RECT& r) { UnionRect(&dirty, &dirty, &r); };
    menukit::ColumnInput cs;
    cs.ClientWidth = w;
    cs.Border = options_.Margins.Border;
    cs.Frame = frame_;
    cs.MarginLeft = options_.Margins.Left;
    cs.MarginRight = options_.Margins.Right;
    cs.ItemHeight = item_height_;
    cs.WidestCaption = widest_caption_;
    cs.WidestShortCut = widest_shortcut_;
    cs.RightToLeft = options_.Alignment == T_LFM_Alignment::taRightToLeft;
    cs.BandVisible = !parent_ && options_.Title.Visible;
    cs.BandRight = options_.Title.Align == atRight;
    cs.BandWidth = options_.Title.Width;
    menukit::Columns cols = menukit::ItemColumns(cs);
    int viewTop = options_.Margins.Border + (frame_ ? 2 : 0);
    int viewBottom = h - viewTop - (layout_.HasExpandButton ? kExpandStrip : 0);

    bool background = options_.HasBackground();
    if (Full) {
        HBRUSH menu = CreateSolidBrush(ColorToRGB(options_.Colors.Menu));
        FillRect(DC, &all, menu);
        DeleteObject(menu);
        touched(all);
    }
    if (Full && background) {
        TBitmap& bg = options_.Background();
        HDC src = bg.Canvas().Handle();
        switch (options_.BackgroundDisplay) {
            case bdCenter:
                BitBlt(DC, cols.ItemLeft + (cols.ItemRight - cols.ItemLeft - bg.Width()) / 2,
                       viewTop + (viewBottom - viewTop - bg.Height()) / 2, bg.Width(), bg.Height(), src, 0, 0,
                       SRCCOPY);
                break;
            case bdTile:
                for (int y = 0; y < h; y += std::max(1, bg.Height()))
                    for (int x = 0; x < w; x += std::max(1, bg.Width()))
                        BitBlt(DC, x, y, bg.Width(), bg.Height(), src, 0, 0, SRCCOPY);
                break;
            case bdStretch:
                StretchBlt(DC, 0, 0, w, h, src, 0, 0, bg.Width(), bg.Height(), SRCCOPY);
                break;
            default:
                BitBlt(DC, 0, 0, bg.Width(), bg.Height(), src, 0, 0, SRCCOPY);
                break;
        }
        // Kept apart, so that a row can be restored without the others.
        if (!back_) back_ = std::make_unique<TBitmap>(std::max(1, w), std::max(1, h));
        else if (back_->Width() != w || back_->Height() != h) back_->SetSize(std::max(1, w), std::max(1, h));
        BitBlt(back_->Canvas().Handle(), 0, 0, w, h, DC, 0, 0, SRCCOPY);
    }
    background = background && back_;

    ItemDrawContext c;
    c.DC = DC;
    c.Options = &options_;
    c.Flags = options_.Flags;
    c.Font = font_;
    c.Images = popup_->Images();
    c.Cols = cols;
    c.Transparent = background;
    HRGN clip = CreateRectRgn(0, viewTop, w, viewBottom);
    SelectClipRgn(DC, clip);
    for (int i = 0; i < ShownCount(); ++i) {
        if (!Full && i != selected_ && i != painted_selected_) continue;
        RECT r = ItemRect(i);
        if (r.bottom < viewTop || r.top > viewBottom) continue;
        TMenuItem* it = shown_[static_cast<size_t>(i)];
        ItemDrawState s;
        s.Selected = i == selected_;
        s.Hidden = layout_.Rows[static_cast<size_t>(i)].ShownHidden;
        // The band's edge stands above the first row.
        s.HiddenAbove = i > 0 ? layout_.Rows[static_cast<size_t>(i - 1)].ShownHidden : cs.BandVisible;
        s.HiddenBelow = i + 1 < ShownCount() && layout_.Rows[static_cast<size_t>(i + 1)].ShownHidden;
        s.Pressed = left_down_;
        s.Background = background;
        if (it) {
            s.Disabled = !it->Enabled();
            s.Default = it->Default();
            s.Checked = it->Checked();
            s.Radio = it->RadioItem();
            s.Submenu = HasSubmenu(it);
        }
        c.Top = r.top;
        c.Height = r.bottom - r.top;
        RECT row{cols.ItemLeft, r.top, cols.ItemRight, r.bottom};
        RECT view{0, viewTop, w, viewBottom};
        IntersectRect(&row, &row, &view);
        if (background)
            BitBlt(DC, row.left, row.top, row.right - row.left, row.bottom - row.top, back_->Canvas().Handle(),
                   row.left, row.top, s.Selected ? NOTSRCCOPY : SRCCOPY);
        if (!it) DrawNativeMenuItem(c, native_, native_pos_[static_cast<size_t>(i)], s);
        else if (!PaintControl(c, s, it)) DrawMenuItem(c, it, s);
        touched(row);
    }
    SelectClipRgn(DC, nullptr);
    DeleteObject(clip);
    if (options_.Draggable && !floating_) {
        bool hot = selected_ == kDragHandle;
        TCanvas canvas;
        canvas.SetHandle(DC);
        int top = options_.Margins.Top + options_.Margins.Border + (frame_ ? 2 : 0);
        RECT handle{c.Cols.ItemLeft, top, c.Cols.ItemRight, top + 7};
        CanvasGradientFill(canvas, TRect{handle.left, handle.top, handle.right, handle.bottom},
                           hot ? clActiveCaption : clInactiveCaption,
                           hot ? clGradientActiveCaption : clGradientInactiveCaption, true);
        canvas.SetHandle(nullptr);
        touched(handle);
    }
    RECT strip{std::max(3, c.Cols.ItemLeft), h - 16, std::min(w - 3, c.Cols.ItemRight), h - 3};
    if (layout_.HasExpandButton &&
        (Full || selected_ == kExpandButton || painted_selected_ == kExpandButton)) {
        DrawExpandButton(DC, strip, selected_ == kExpandButton, left_down_, options_.Colors.Menu);
        touched(strip);
    }
    painted_selected_ = selected_;
    if (!Full) return dirty;
    full_redraw_ = false;
    painted_scroll_ = scroll_;

    // Frame.
    HBRUSH border = CreateSolidBrush(ColorToRGB(options_.Colors.Border));
    FrameRect(DC, &all, border);
    DeleteObject(border);
    if (options_.Colors.BorderShadow != clMenu) {
        RECT inner{1, 1, w - 1, h - 1};
        HBRUSH sh = CreateSolidBrush(ColorToRGB(options_.Colors.BorderShadow));
        FrameRect(DC, &inner, sh);
        DeleteObject(sh);
    }
    if (frame_ && !floating_) DrawEdge(DC, &all, EDGE_RAISED, BF_RECT);
    if (cs.BandVisible) {
        TCanvas canvas;
        canvas.SetHandle(DC);
        options_.Title.PaintTitle(canvas);
        canvas.SetHandle(nullptr);
    }
    return dirty;
}


}  // namespace bramble
