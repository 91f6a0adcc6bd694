#include "kits/menu/geometry.h"

#include <algorithm>
#include <cmath>

namespace bramble::menukit {

Placement PlaceMenu(const PlaceRequest& R) {
    const Box& w = R.WorkArea;
    Placement p;
    p.Width = std::min(R.Width, std::max(0, w.Width()));
    p.Height = R.Height;
    // A menu taller than the work area is cut to it and scrolls, so that
    // every item stays reachable.
    if (p.Height > w.Height()) {
        p.Height = std::max(0, w.Height());
        p.Clipped = true;
    }

    int x = R.X;
    if (R.RightToLeft) {
        p.OpensLeft = true;
        x = std::min(x, w.Right) - p.Width;
    } else if (x + p.Width > w.Right) {
        p.OpensLeft = true;
        x = R.Submenu ? R.ParentLeft - p.Width + 6 : w.Right - p.Width;
    }
    x = std::clamp(x, w.Left, std::max(w.Left, w.Right - p.Width));

    int y = R.Y;
    if (!p.Clipped && y + p.Height > w.Bottom) {
        if (R.MayOpenUp && R.UpAnchor - p.Height >= w.Top) {
            p.OpensUp = true;
            y = R.UpAnchor - p.Height;
        } else {
            y = w.Bottom - p.Height;
        }
    }
    y = std::clamp(y, w.Top, std::max(w.Top, w.Bottom - p.Height));
    p.Left = x;
    p.Top = y;
    return p;
}

RowLayout LayoutRows(const std::vector<RowEntry>& Items, const RowMetrics& M, bool Expanded) {
    RowLayout L;
    L.Expanded = Expanded;
    for (;;) {
        L.Rows.clear();
        L.HasExpandButton = false;
        int y = M.MarginTop + M.MarginBorder;
        if (!M.Floating) {
            if (M.Frame) y += 2;
            if (M.Draggable) y += 9;
        } else {
            y += 1;
        }
        int skipped = 0;
        for (size_t i = 0; i < Items.size(); ++i) {
            const RowEntry& s = Items[i];
            if (!s.Visible) continue;
            if (s.Hidden && !L.Expanded) {
                ++skipped;
                continue;
            }
            // A divider right after hidden items at the top has nothing to divide.
            if (s.Kind == RowKind::Separator && L.Rows.empty() && skipped > 0) continue;
            Row r;
            r.Index = static_cast<int>(i);
            r.Top = y;
            switch (s.Kind) {
                case RowKind::Separator: r.Height = M.SeparatorHeight; break;
                case RowKind::Control: r.Height = s.ControlHeight; break;
                case RowKind::Item: r.Height = std::max(1, s.Lines) * M.ItemHeight; break;
            }
            if (s.Hidden) {
                r.ShownHidden = true;
                r.Height += 2;
            }
            L.Rows.push_back(r);
            y += r.Height + M.MarginSpace;
        }
        L.HasExpandButton = skipped > 0;
        L.Bottom = L.Rows.empty() ? y : L.Rows.back().Top + L.Rows.back().Height;
        bool onlySeparators = std::all_of(L.Rows.begin(), L.Rows.end(),
                                          [&](const Row& r) { return Items[static_cast<size_t>(r.Index)].Kind == RowKind::Separator; });
        if (skipped > 0 && !L.Expanded && onlySeparators) {
            L.Expanded = true;  // nothing but hidden items: show them all
            continue;
        }
        return L;
    }
}

int RowAt(const RowLayout& L, int Y) {
    for (size_t i = 0; i < L.Rows.size(); ++i)
        if (Y >= L.Rows[i].Top && Y < L.Rows[i].Top + L.Rows[i].Height) return static_cast<int>(i);
    return -1;
}

Columns ItemColumns(const ColumnInput& S) {
    Columns c;
    int b = S.Floating ? 0 : S.Border + (S.Frame ? 2 : 0);
    c.ItemLeft = b;
    c.ItemRight = S.ClientWidth - b;
    if (S.BandVisible) {
        if (S.BandRight) c.ItemRight -= S.BandWidth;
        else c.ItemLeft += S.BandWidth;
    }
    c.CaptionWidth = S.WidestCaption;
    c.ShortCutWidth = S.WidestShortCut;
    if (!S.RightToLeft) {
        c.CaptionX = c.ItemLeft + S.MarginLeft;
        c.ShortCutX = c.ItemRight - S.MarginRight - S.WidestShortCut;
        c.BitmapX = c.ItemLeft;
        c.BitmapWidth = S.MarginLeft - 3;
        c.ArrowWidth = S.MarginRight - 4;
        c.ArrowX = c.ItemRight - c.ArrowWidth - 2;
    } else {
        c.ShortCutX = c.ItemLeft + S.MarginLeft;
        c.CaptionX = c.ItemRight - S.MarginRight - S.WidestCaption;
        c.BitmapX = c.ItemRight - S.ItemHeight - 1;
        c.BitmapWidth = c.ItemRight - c.BitmapX - 2;
        c.ArrowWidth = S.MarginLeft - 4;
        c.ArrowX = b;
    }
    return c;
}

Rgb GradientStep(Rgb First, Rgb Second, int Steps, int I) {
    if (Steps <= 0) Steps = 1;
    auto channel = [&](int a, int b) {
        double step = static_cast<double>(b - a + 1) / Steps;
        long v = a + std::lround(I * step);
        return static_cast<int>(std::clamp<long>(v, 0, 255));
    };
    return {channel(First.R, Second.R), channel(First.G, Second.G), channel(First.B, Second.B)};
}

int16_t FadeDifference(uint8_t Screen, uint8_t Image) {
    return static_cast<int16_t>((static_cast<int>(Image) - static_cast<int>(Screen)) / 20);
}

uint8_t FadeByte(uint8_t Screen, int16_t Difference, int Step) {
    return static_cast<uint8_t>(std::clamp(Screen + Step * static_cast<int>(Difference), 0, 255));
}

}  // namespace bramble::menukit

namespace bramble::menukit {

int CellGrid::CellWidth() const { return Columns > 0 ? Width / Columns : 0; }
int CellGrid::CellHeight() const { return Rows > 0 ? Height / Rows : 0; }

int CellAt(const CellGrid& G, int X, int Y) {
    int cw = G.CellWidth(), ch = G.CellHeight();
    if (cw <= 0 || ch <= 0) return -1;
    int dx = X - G.Left - 2, dy = Y - G.Top - 2;
    if (dx < 0 || dy < 0) return -1;
    int col = dx / cw, row = dy / ch;
    if (col >= G.Columns || row >= G.Rows) return -1;
    return col + row * G.Columns;
}

}  // namespace bramble::menukit
