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
    InvalidateRect(wnd_, nullptr, FALSE);
    UpdateWindow(wnd_);
}

void TPopupMenu2000Form::PaintTo(HDC DC) {
    int w = full_w_, h = full_h_;
    RECT all{0, 0, w, h};
    HBRUSH menu = CreateSolidBrush(ColorToRGB(options_.Colors.Menu));
    FillRect(DC, &all, menu);
    DeleteObject(menu);
    bool background = options_.HasBackground();
    if (background) {
        TBitmap& bg = options_.Background();
        HDC src = bg.Canvas().Handle();
        switch (options_.BackgroundDisplay) {
            case bdCenter:
                BitBlt(DC, (w - bg.Width()) / 2, (h - bg.Height()) / 2, bg.Width(), bg.Height(), src, 0, 0, SRCCOPY);
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
    }

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

    ItemDrawContext c;
    c.DC = DC;
    c.Options = &options_;
    c.Flags = options_.Flags;
    c.Font = font_;
    c.Images = popup_->Images();
    c.Cols = menukit::ItemColumns(cs);
    c.Transparent = background;
    int viewTop = options_.Margins.Border + (frame_ ? 2 : 0);
    int viewBottom = h - viewTop - (layout_.HasExpandButton ? kExpandStrip : 0);
    HRGN clip = CreateRectRgn(0, viewTop, w, viewBottom);
    SelectClipRgn(DC, clip);
    for (int i = 0; i < ShownCount(); ++i) {
        RECT r = ItemRect(i);
        if (r.bottom < viewTop || r.top > viewBottom) continue;
        TMenuItem* it = shown_[static_cast<size_t>(i)];
        ItemDrawState s;
        s.Selected = i == selected_;
        s.Disabled = !it->Enabled();
        s.Hidden = layout_.Rows[static_cast<size_t>(i)].ShownHidden;
        s.HiddenAbove = i > 0 && layout_.Rows[static_cast<size_t>(i - 1)].ShownHidden;
        s.HiddenBelow = i + 1 < ShownCount() && layout_.Rows[static_cast<size_t>(i + 1)].ShownHidden;
        s.Default = it->Default();
        s.Checked = it->Checked();
        s.Radio = it->RadioItem();
        s.Submenu = HasSubmenu(it);
        s.Pressed = left_down_;
        c.Top = r.top;
        c.Height = r.bottom - r.top;
        if (!PaintControl(c, s, it)) DrawMenuItem(c, it, s);
    }
    SelectClipRgn(DC, nullptr);
    DeleteObject(clip);
    if (options_.Draggable && !floating_) {
        bool hot = selected_ == kDragHandle;
        TCanvas canvas;
        canvas.SetHandle(DC);
        int top = options_.Margins.Top + options_.Margins.Border + (frame_ ? 2 : 0);
        CanvasGradientFill(canvas, TRect{c.Cols.ItemLeft, top, c.Cols.ItemRight, top + 7},
                           hot ? clActiveCaption : clInactiveCaption,
                           hot ? clGradientActiveCaption : clGradientInactiveCaption, true);
        canvas.SetHandle(nullptr);
    }

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
    if (layout_.HasExpandButton) {
        RECT strip{std::max(3, c.Cols.ItemLeft), h - 16, std::min(w - 3, c.Cols.ItemRight), h - 3};
        DrawExpandButton(DC, strip, selected_ == kExpandButton, left_down_, options_.Colors.Menu);
    }
}


}  // namespace bramble
