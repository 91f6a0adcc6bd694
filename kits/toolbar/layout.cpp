#include "kits/toolbar/layout.h"

#include <algorithm>
#include <numeric>

namespace bramble::tblayout {

bool Intersects(const Box& a, const Box& b) {
    return a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b && a.l < a.r && a.t < a.b && b.l < b.r && b.t < b.b;
}

int ClampRow(int Row) { return std::clamp(Row, 0, kMaxDockRow); }
int ClampPos(int Pos) { return std::clamp(Pos, -kMaxDockPos, kMaxDockPos); }

// ---- dock rows ------------------------------------------------------------

namespace {

int HighestRow(const std::vector<DockBar>& bars) {
    int h = -1;
    for (const DockBar& b : bars) h = std::max(h, b.row);
    return h;
}

void RemoveBlankRows(std::vector<DockBar>& bars) {
    int highest = HighestRow(bars);
    for (int row = 0; row <= highest;) {
        bool used = std::any_of(bars.begin(), bars.end(), [&](const DockBar& b) { return b.row == row; });
        if (used) {
            ++row;
            continue;
        }
        for (DockBar& b : bars)
            if (b.row > row) --b.row;
        --highest;
    }
}

}  // namespace

DockLayout LayoutDock(std::vector<DockBar>& bars, int clientLength, bool limitToOneRow, bool clipPoses,
                      int emptyThickness) {
    DockLayout out;
    const size_t n = bars.size();
    out.places.resize(n);
    for (DockBar& b : bars) {
        b.row = ClampRow(b.row);
        b.pos = ClampPos(b.pos);
        b.length = std::clamp(b.length, 0, kMaxDockPos);
        b.cross = std::clamp(b.cross, 0, kMaxDockPos);
    }
    out.order.resize(n);
    std::iota(out.order.begin(), out.order.end(), 0);
    if (std::none_of(bars.begin(), bars.end(), [](const DockBar& b) { return b.visible; })) {
        out.thickness = emptyThickness;
        return out;
    }
    if (limitToOneRow)
        for (DockBar& b : bars) b.row = 0;
    RemoveBlankRows(bars);
    // Compared, never subtracted: positions may be far apart. Stable, so
    // bars at one place keep their order and a layout never swaps them.
    std::stable_sort(out.order.begin(), out.order.end(), [&](int a, int b) {
        const DockBar &x = bars[static_cast<size_t>(a)], &y = bars[static_cast<size_t>(b)];
        return x.row != y.row ? x.row < y.row : x.pos < y.pos;
    });
    // A full-size bar gets a row of its own; the bars after it move down.
    for (int row = 0; row <= HighestRow(bars); ++row) {
        for (int i : out.order) {
            DockBar& fb = bars[static_cast<size_t>(i)];
            if (fb.row != row || !fb.fullSize) continue;
            bool shared = false;
            for (int j : out.order)
                if (j != i && bars[static_cast<size_t>(j)].row == row) shared = true;
            if (!shared) continue;
            for (int j : out.order)
                if (j != i && bars[static_cast<size_t>(j)].row >= row) ++bars[static_cast<size_t>(j)].row;
            break;
        }
    }
    std::stable_sort(out.order.begin(), out.order.end(), [&](int a, int b) {
        return bars[static_cast<size_t>(a)].row < bars[static_cast<size_t>(b)].row;
    });
    const int highest = HighestRow(bars);
    out.rowSizes.assign(static_cast<size_t>(highest + 1), 0);
    for (const DockBar& b : bars)
        if (b.visible) {
            int& s = out.rowSizes[static_cast<size_t>(b.row)];
            s = std::max({s, b.cross, 8});
        }
    // Positions: no overlap along each row (stored in the bars).
    for (int row = 0; row <= highest; ++row) {
        int end = 0;
        for (int i : out.order) {
            DockBar& b = bars[static_cast<size_t>(i)];
            if (b.row != row || !b.visible) continue;
            if (b.fullSize) {
                b.pos = 0;
                continue;
            }
            if (b.pos <= end) b.pos = end;
            end = b.pos + b.length;
        }
    }
    // Working positions squeezed to the client length from the far end.
    std::vector<int> work(n);
    for (size_t i = 0; i < n; ++i) work[i] = bars[i].pos;
    for (int row = 0; row <= highest; ++row) {
        std::vector<int> inRow;
        for (int i : out.order)
            if (bars[static_cast<size_t>(i)].row == row && bars[static_cast<size_t>(i)].visible &&
                !bars[static_cast<size_t>(i)].fullSize)
                inRow.push_back(i);
        int limit = clientLength;
        for (auto it = inRow.rbegin(); it != inRow.rend(); ++it) {
            int& p = work[static_cast<size_t>(*it)];
            const int len = bars[static_cast<size_t>(*it)].length;
            if (p + len > limit) p = limit - len;
            limit = p;
        }
        int end = 0;
        for (int i : inRow) {
            int& p = work[static_cast<size_t>(i)];
            if (p < end) p = end;
            end = p + bars[static_cast<size_t>(i)].length;
        }
    }
    if (clipPoses)
        for (size_t i = 0; i < n; ++i) bars[i].pos = work[i];
    int offset = 0;
    for (int row = 0; row <= highest; ++row) {
        const int size = out.rowSizes[static_cast<size_t>(row)];
        const int t = size ? size + 4 : 0;
        for (int i : out.order) {
            const DockBar& b = bars[static_cast<size_t>(i)];
            if (b.row != row || !b.visible) continue;
            DockPlace& p = out.places[static_cast<size_t>(i)];
            p.along = b.fullSize ? 0 : work[static_cast<size_t>(i)];
            p.length = b.fullSize ? clientLength : b.length;
            p.across = offset;
            p.thickness = t;
        }
        offset += t;
    }
    out.thickness = offset;
    return out;
}

RowHit GetRowOf(const std::vector<int>& rowSizes, int xy) {
    int start = 0;
    const int rows = static_cast<int>(rowSizes.size());
    for (int r = 0; r <= rows; ++r) {
        const int size = r < rows ? rowSizes[static_cast<size_t>(r)] : 0;
        if (r < rows && size == 0) continue;
        const bool last = r == rows;
        const int end = start + size + 4;
        if (xy < start + 5) return {r, true};
        if (last || xy < end - 5) return {r, false};
        start = end;
    }
    return {0, false};
}

int GetDesiredRow(const std::vector<int>& rowSizes, int pos) {
    int end = 0;
    for (size_t r = 0; r < rowSizes.size(); ++r) {
        if (rowSizes[r] == 0) continue;
        end += rowSizes[r] + 4;
        if (end > pos) return static_cast<int>(r);
    }
    return static_cast<int>(rowSizes.size());
}

// ---- toolbar content -------------------------------------------------------

int CrossSize(const std::vector<TbItem>& items, Orient o) {
    int s = 0;
    for (const TbItem& it : items)
        if (!it.separator) s = std::max(s, o == Orient::Vertical ? it.width : it.height);
    return std::max(s, 8);
}

TbLayout LayoutToolbar(const std::vector<TbItem>& items, Orient o, int floatRightX, int itemSize) {
    TbLayout out;
    out.places.resize(items.size());
    const bool floating = o == Orient::None;
    const bool vertical = o == Orient::Vertical;
    const int firstRow = floating ? 2 : 0, startAlong = floating ? 4 : 0, endMargin = floating ? 4 : 0,
              lastRowMargin = floating ? 1 : 0;
    const int r = CrossSize(items, o);
    long long limit = -1;  // unlimited
    if (floating && floatRightX != 0) {
        int widest = 0;
        for (const TbItem& it : items)
            if (!it.separator) widest = std::max(widest, it.width);
        limit = std::max(floatRightX, widest + 8);
    }
    int p = startAlong, y = firstRow, e = startAlong;
    bool forced = false, firstGroup = true;
    int lastSep = -1;         // index of the last control placed, when a separator
    int extentBeforeSep = e;
    size_t i = 0;
    while (i < items.size()) {
        size_t groupEnd = i;
        int groupLen = 0;
        while (groupEnd < items.size()) {
            const TbItem& it = items[groupEnd++];
            if (it.separator) break;
            groupLen += it.width;
        }
        if (floating && (forced || (limit >= 0 && static_cast<long long>(p) + groupLen + endMargin > limit))) {
            if (!firstGroup) {
                y += r + 6;
                if (lastSep >= 0) {
                    e = extentBeforeSep;
                    out.places[static_cast<size_t>(lastSep)].w = 0;
                    out.lineSeps.push_back({y, items[static_cast<size_t>(lastSep)].blank});
                }
            }
            p = startAlong;
            forced = false;
        }
        firstGroup = false;
        for (; i < groupEnd; ++i) {
            const TbItem& it = items[i];
            int len = it.separator ? (vertical ? it.sizeVert : it.sizeHorz) : (vertical ? it.height : it.width);
            if (floating && !it.separator && limit >= 0 && p > startAlong &&
                static_cast<long long>(p) + len + endMargin > limit) {
                p = startAlong;
                y += r;
                forced = true;
            }
            TbPlaced& pl = out.places[i];
            if (!vertical) {
                if (it.separator)
                    pl = {p, y, it.sizeHorz, itemSize};
                else
                    pl = {p, y + (itemSize - it.height) / 2, it.width, it.height};
            } else {
                if (it.separator)
                    pl = {y, p, itemSize, it.sizeVert};
                else
                    pl = {y + (itemSize - it.width) / 2, p, it.width, it.height};
            }
            if (it.separator) {
                extentBeforeSep = e;
                lastSep = static_cast<int>(i);
            } else {
                lastSep = -1;
            }
            p += len;
            e = std::max(e, p);
        }
    }
    if (items.empty()) e += 8;
    out.clientW = e + endMargin;
    out.clientH = y + r + lastRowMargin;
    if (vertical) std::swap(out.clientW, out.clientH);
    return out;
}

std::vector<Size2> PotentialSizes(const std::vector<TbItem>& items) {
    std::vector<Size2> sizes;
    TbLayout one = LayoutToolbar(items, Orient::None, 0, CrossSize(items, Orient::None));
    sizes.push_back({one.clientW, one.clientH});
    const int stop = CrossSize(items, Orient::None) + 8;
    for (int w = one.clientW - 1; w >= stop;) {
        TbLayout l = LayoutToolbar(items, Orient::None, w, CrossSize(items, Orient::None));
        if (l.clientW > w) break;
        if (l.clientW < w) {
            w = l.clientW;
            continue;
        }
        Size2 s{l.clientW, l.clientH};
        bool replaced = false;
        for (size_t k = 1; k < sizes.size(); ++k)
            if (sizes[k].h == s.h) {
                sizes[k] = s;
                replaced = true;
            }
        if (!replaced && std::find(sizes.begin(), sizes.end(), s) == sizes.end() && s.h != sizes[0].h)
            sizes.push_back(s);
        --w;
    }
    return sizes;
}

int ChooseSize(const std::vector<int>& sizes, int current, int distance, int snap, bool firstOrTurned) {
    if (sizes.empty()) return current;
    if (firstOrTurned && distance >= current - snap && distance <= current + snap) return current;
    const int lo = *std::min_element(sizes.begin(), sizes.end());
    const int hi = *std::max_element(sizes.begin(), sizes.end());
    if (distance > current) {
        int best = hi;
        for (int s : sizes)
            if (s > distance && s < best) best = s;
        // Smallest size still larger than the cursor, else the largest.
        bool any = std::any_of(sizes.begin(), sizes.end(), [&](int s) { return s > distance; });
        return any ? best : hi;
    }
    int best = lo;
    bool any = false;
    for (int s : sizes)
        if (s <= distance && (!any || s > best)) {
            best = s;
            any = true;
        }
    return any ? best : lo;
}

int SnapDistance(const std::vector<int>& sizes, int current) {
    int snap = 12;
    for (int s : sizes)
        if (s != current) snap = std::min(snap, (s > current ? s - current : current - s) - 1);
    return std::max(snap, 0);
}

// ---- frames and hit tests ----------------------------------------------------

int HandleLength(Grip g, bool closeWhenDocked) {
    if (closeWhenDocked) return 14;
    return g == Grip::Double ? 9 : g == Grip::Single ? 6 : 0;
}

int FirstGripAt(Grip g, bool closeWhenDocked) {
    if (g == Grip::Double) return closeWhenDocked ? 5 : 4;
    return closeWhenDocked ? 7 : 3;
}

Box DockedCloseButton(Grip g, bool vertical, int clientWidth) {
    const int side = HandleLength(g, true) - 3;
    if (vertical) {
        const int x = clientWidth + 2 - side;
        return {x, 3, x + side, 3 + side};
    }
    return {3, 2, 3 + side, 2 + side};
}

Hit FloatingHitTest(Pt p, int w, int h, int f, int c, bool showCaption, bool hasClose, bool resizable,
                    bool cornerSizing) {
    if (showCaption && p.y >= f && p.y < f + c - 1 && p.x >= f && p.x < w - f) {
        const int side = c - 1;
        if (hasClose && p.x >= w - f - side) return Hit::Close;
        return Hit::Client;
    }
    if (!resizable) return Hit::Client;
    const int corner = c - 1 + f;
    if (cornerSizing) {
        if (p.x < f) return p.y < corner ? Hit::TopLeft : p.y >= h - corner ? Hit::BottomLeft : Hit::Left;
        if (p.x >= w - f - 1) return p.y < corner ? Hit::TopRight : p.y >= h - corner ? Hit::BottomRight : Hit::Right;
        if (p.y < f) return p.x < corner ? Hit::TopLeft : p.x >= w - corner ? Hit::TopRight : Hit::Top;
        if (p.y >= h - f) return p.x < corner ? Hit::BottomLeft : p.x >= w - corner ? Hit::BottomRight : Hit::Bottom;
        return Hit::Client;
    }
    if (p.y < f) return Hit::Top;
    if (p.y >= h - f) return Hit::Bottom;
    if (p.x < f) return Hit::Left;
    if (p.x >= w - f - 1) return Hit::Right;
    return Hit::Client;
}

// ---- dragging ------------------------------------------------------------------

namespace {
bool WithinSpan(int v, int lo, int hi, int slack, int offset, int size) {
    const int s = size > 1 ? static_cast<int>(static_cast<long long>(slack) * offset / (size - 1)) : slack / 2;
    return v >= lo - (slack - s) && v <= hi - 1 + s;
}
}  // namespace

bool NearDock(Box dock, bool empty, bool vertical, Pt cursor, Pt offset, int winW, int winH) {
    if (empty) {
        if (vertical)
            ++dock.r;
        else
            ++dock.b;
    }
    if (!WithinSpan(cursor.x, dock.l, dock.r, 32, offset.x, winW)) return false;
    if (vertical && (cursor.y < dock.t || cursor.y >= dock.b)) return false;
    return WithinSpan(cursor.y, dock.t, dock.b, 20, offset.y, winH);
}

int ScaleOffset(int offset, int oldSize, int newSize) {
    if (oldSize <= 1 || newSize <= 1) return 0;
    return static_cast<int>(static_cast<long long>(offset) * (newSize - 1) / (oldSize - 1));
}

Box KeepOutlineOnArea(Box r, Box work, int frame, int caption) {
    const int keep = frame + 4;
    const int w = r.w(), h = r.h();
    if (r.r < work.l + keep) r.l = work.l + keep - w;
    if (r.l > work.r - keep) r.l = work.r - keep;
    if (r.b < work.t + keep) r.t = work.t + keep - h;
    if (r.t > work.b - keep) r.t = work.b - keep;
    // The client area (below frame and caption) not above the top + 4.
    if (r.t + frame + caption < work.t + 4) r.t = work.t + 4 - frame - caption;
    r.r = r.l + w;
    r.b = r.t + h;
    return r;
}

Box MoveOnScreen(Box r, Box work, bool onlyIfFullyOff) {
    if (onlyIfFullyOff && Intersects(r, work)) return r;
    const int w = r.w(), h = r.h();
    if (r.r > work.r) r.l = work.r - w;
    if (r.b > work.b) r.t = work.b - h;
    if (r.l < work.l) r.l = work.l;
    if (r.t < work.t) r.t = work.t;
    r.r = r.l + w;
    r.b = r.t + h;
    return r;
}

Box SizeByHandle(Box r, int handle, int dx, int dy, int minW, int minH) {
    const bool left = handle == 0 || handle == 3 || handle == 6;
    const bool right = handle == 1 || handle == 4 || handle == 7;
    const bool top = handle >= 2 && handle <= 4;
    const bool bottom = handle >= 5 && handle <= 7;
    if (left) r.l = std::min(r.l + dx, r.r - minW);
    if (right) r.r = std::max(r.r + dx, r.l + minW);
    if (top) r.t = std::min(r.t + dy, r.b - minH);
    if (bottom) r.b = std::max(r.b + dy, r.t + minH);
    return r;
}

// ---- button content ---------------------------------------------------------

ContentPlace PlaceContent(int Space, int GlyphLen, int CaptionLen, int Margin, int Spacing, bool GlyphFirst) {
    int spacing = GlyphLen == 0 || CaptionLen == 0 ? 0 : Spacing;
    int margin = Margin;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (Space - GlyphLen - CaptionLen) / 3;
            spacing = margin;
        } else {
            margin = (Space - (GlyphLen + spacing + CaptionLen) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (Space - (margin + GlyphLen) - CaptionLen) / 2;
    }
    ContentPlace p;
    p.margin = margin;
    p.spacing = spacing;
    if (GlyphFirst) {
        p.glyph = margin;
        p.caption = margin + GlyphLen + spacing;
    } else {
        p.caption = margin;
        p.glyph = margin + CaptionLen + spacing;
    }
    return p;
}

}  // namespace bramble::tblayout
