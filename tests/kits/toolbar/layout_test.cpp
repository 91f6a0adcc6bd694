// The docking kit's arithmetic, checked natively: dock rows, toolbar
// wrapping, floating sizes and snapping, frames and drag targets.
#include "kits/toolbar/layout.h"

#include <gtest/gtest.h>

#include <climits>

namespace bramble::tblayout {
namespace {

DockBar Bar(int row, int pos, int length, int cross = 22, bool full = false, bool visible = true) {
    return {row, pos, length, cross, full, visible};
}

TEST(DockLayout, ThicknessRowsAndCompaction) {
    std::vector<DockBar> none;
    EXPECT_EQ(LayoutDock(none, 500, false, false, 0).thickness, 0);
    EXPECT_EQ(LayoutDock(none, 500, false, false, 1).thickness, 1);
    std::vector<DockBar> hidden{Bar(0, 0, 50, 22, false, false)};
    EXPECT_EQ(LayoutDock(hidden, 500, false, false, 0).thickness, 0);

    // Rows 0, 2, 5 become 0, 1, 2; each row is its thickest bar + 4.
    std::vector<DockBar> bars{Bar(5, 0, 40, 30), Bar(0, 0, 40, 22), Bar(2, 0, 40, 3)};
    DockLayout l = LayoutDock(bars, 500, false, false, 0);
    EXPECT_EQ(bars[0].row, 2);
    EXPECT_EQ(bars[1].row, 0);
    EXPECT_EQ(bars[2].row, 1);
    ASSERT_EQ(l.rowSizes, (std::vector<int>{22, 8, 30}));
    EXPECT_EQ(l.places[1].across, 0);
    EXPECT_EQ(l.places[2].across, 26);
    EXPECT_EQ(l.places[0].across, 26 + 12);
    EXPECT_EQ(l.places[0].thickness, 34);
    EXPECT_EQ(l.thickness, 26 + 12 + 34);
    EXPECT_EQ(l.order, (std::vector<int>{1, 2, 0}));

    // LimitToOneRow puts every bar in row 0, one after the other.
    std::vector<DockBar> one{Bar(3, 0, 40), Bar(1, 0, 40)};
    l = LayoutDock(one, 500, true, false, 0);
    EXPECT_EQ(one[0].row, 0);
    EXPECT_EQ(l.places[0].across, l.places[1].across);
    EXPECT_NE(l.places[0].along, l.places[1].along);
}

TEST(DockLayout, PositionsFullSizeAndClipping) {
    // Same row and position: one after the other, in the sort's order.
    std::vector<DockBar> same{Bar(0, 10, 40), Bar(0, 10, 30)};
    DockLayout l = LayoutDock(same, 500, false, false, 0);
    EXPECT_EQ(same[0].pos, 10);
    EXPECT_EQ(same[1].pos, 50);

    // A full-size bar in a shared row: the other bar moves a row down, the
    // full-size one spans the dock at 0.
    std::vector<DockBar> full{Bar(0, 0, 40), Bar(0, 100, 60, 22, true), Bar(1, 0, 40)};
    l = LayoutDock(full, 300, false, false, 0);
    EXPECT_EQ(full[1].row, 0);
    EXPECT_EQ(full[0].row, 1);
    EXPECT_EQ(full[2].row, 2);
    EXPECT_EQ(l.places[1].along, 0);
    EXPECT_EQ(l.places[1].length, 300);

    // Too long for the dock: pushed back from the far end, the first one
    // past the start runs over the end; DockPos kept unless clipping.
    for (bool clip : {false, true}) {
        std::vector<DockBar> over{Bar(0, 0, 100), Bar(0, 150, 100), Bar(0, 400, 100)};
        l = LayoutDock(over, 250, false, clip, 0);
        EXPECT_EQ(l.places[2].along, 200);
        EXPECT_EQ(l.places[1].along, 100);
        EXPECT_EQ(l.places[0].along, 0);
        EXPECT_EQ(over[2].pos, clip ? 200 : 400);
        std::vector<DockBar> fits{Bar(0, 0, 100), Bar(0, 400, 100)};
        l = LayoutDock(fits, 250, false, clip, 0);
        EXPECT_EQ(l.places[1].along, 150);
        EXPECT_EQ(fits[1].pos, clip ? 150 : 400);
    }

    // Values from settings near the integer limits are clamped, not overflowed.
    std::vector<DockBar> wild{Bar(INT_MAX, INT_MAX, INT_MAX), Bar(INT_MIN, INT_MIN, 50)};
    l = LayoutDock(wild, 300, false, true, 0);
    EXPECT_EQ(wild[0].row, 1);
    EXPECT_EQ(wild[1].row, 0);
    EXPECT_LE(wild[0].pos, kMaxDockPos);
    EXPECT_GE(wild[1].pos, 0);
}

TEST(DockLayout, RowOfAndDesiredRow) {
    const std::vector<int> rows{22, 0, 30};  // spans 0-26, 26-60, then the next row
    struct Case {
        int xy, row;
        bool before;
    } cases[] = {{0, 0, true},   {4, 0, true},    {5, 0, false},  {20, 0, false}, {21, 2, true},
                 {30, 2, true},  {31, 2, false},  {54, 2, false}, {55, 3, true},  {59, 3, true},
                 {65, 3, false}, {1000, 3, false}};
    for (const Case& c : cases) {
        RowHit h = GetRowOf(rows, c.xy);
        EXPECT_EQ(h.row, c.row) << c.xy;
        EXPECT_EQ(h.before, c.before) << c.xy;
    }
    EXPECT_EQ(GetRowOf({}, 3).row, 0);
    EXPECT_EQ(GetDesiredRow(rows, 10), 0);
    EXPECT_EQ(GetDesiredRow(rows, 40), 2);
    EXPECT_EQ(GetDesiredRow(rows, 90), 3);
}

std::vector<TbItem> Buttons(std::initializer_list<int> widths, int h = 22) {
    std::vector<TbItem> v;
    for (int w : widths) {
        if (w == 0)
            v.push_back({true, false, 0, 0, 6, 6});
        else
            v.push_back({false, false, w, h, 6, 6});
    }
    return v;
}

TEST(ToolbarLayout, DockedFloatingAndWrapping) {
    // Docked: one row, centred across the item size, no margins.
    auto items = Buttons({23, 23, 0, 40});
    TbLayout d = LayoutToolbar(items, Orient::Horizontal, 50, 26);
    EXPECT_EQ(d.places[1].x, 23);
    EXPECT_EQ(d.places[1].y, 2);
    EXPECT_EQ(d.places[2].x, 46);
    EXPECT_EQ(d.places[2].h, 26);
    EXPECT_EQ(d.places[3].x, 52);
    EXPECT_EQ(d.clientW, 92);
    EXPECT_EQ(d.clientH, 22);
    // Vertical: across and along exchanged.
    TbLayout v = LayoutToolbar(items, Orient::Vertical, 0, 40);
    EXPECT_EQ(v.places[3].y, 50);
    EXPECT_EQ(v.clientW, 40);

    // Floating, no wrap point: one row with margins 4 + 4 and 2 + 1.
    TbLayout f = LayoutToolbar(items, Orient::None, 0, 22);
    EXPECT_EQ(f.places[0].x, 4);
    EXPECT_EQ(f.places[0].y, 2);
    EXPECT_EQ(f.clientW, 4 + 92 + 4);
    EXPECT_EQ(f.clientH, 2 + 22 + 1);
    EXPECT_TRUE(f.lineSeps.empty());

    // Wrapped at the separator: it vanishes, the next row is R + 6 lower,
    // with an etched line in the gap (none for a blank separator).
    for (bool blank : {false, true}) {
        items[2].blank = blank;
        TbLayout w = LayoutToolbar(items, Orient::None, 60, 22);
        EXPECT_EQ(w.places[2].w, 0);
        EXPECT_EQ(w.places[3].x, 4);
        EXPECT_EQ(w.places[3].y, 2 + 22 + 6);
        ASSERT_EQ(w.lineSeps.size(), 1u);
        EXPECT_EQ(w.lineSeps[0].y, 30);
        EXPECT_EQ(w.lineSeps[0].blank, blank);
        EXPECT_EQ(w.clientW, 4 + 46 + 4);
        EXPECT_EQ(w.clientH, 30 + 22 + 1);
    }
    // Too narrow for the widest button: wraps at its width + 8, one per row.
    TbLayout n = LayoutToolbar(Buttons({40, 40}), Orient::None, 10, 22);
    EXPECT_EQ(n.places[1].x, 4);
    EXPECT_EQ(n.places[1].y, 2 + 22);
    EXPECT_EQ(n.clientW, 48);
    // Empty: 8 pixels plus the margins.
    EXPECT_EQ(LayoutToolbar({}, Orient::None, 0, 8).clientW, 16);
    EXPECT_EQ(LayoutToolbar({}, Orient::Horizontal, 0, 8).clientW, 8);
}

TEST(ToolbarLayout, PotentialSizesAndSnapping) {
    // Two groups of two 30-px buttons: one row, two rows, one per row.
    auto items = Buttons({30, 30, 0, 30, 30});
    std::vector<Size2> s = PotentialSizes(items);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], (Size2{4 + 126 + 4, 25}));
    EXPECT_EQ(s[1], (Size2{68, 2 + 22 + 6 + 22 + 1}));
    EXPECT_EQ(s[2].w, 38);
    EXPECT_GT(s[2].h, s[1].h);
    for (size_t i = 1; i < s.size(); ++i)
        for (size_t j = 0; j < i; ++j) EXPECT_FALSE(s[i] == s[j]);

    const std::vector<int> widths{94, 48, 28};
    EXPECT_EQ(SnapDistance(widths, 48), 12);
    EXPECT_EQ(SnapDistance({30, 36}, 30), 5);
    struct Case {
        int current, distance;
        bool first;
        int want;
    } cases[] = {{94, 90, true, 94},  {94, 80, true, 48},  {94, 40, false, 28}, {48, 50, false, 94},
                 {48, 58, true, 48},  {28, 10, false, 28}, {28, 200, false, 94}, {94, 94, false, 94}};
    for (const Case& c : cases)
        EXPECT_EQ(ChooseSize(widths, c.current, c.distance, 12, c.first), c.want) << c.current << " " << c.distance;
}

TEST(Frames, HandlesAndHitTests) {
    EXPECT_EQ(HandleLength(Grip::Double, false), 9);
    EXPECT_EQ(HandleLength(Grip::None, false), 0);
    EXPECT_EQ(HandleLength(Grip::Single, false), 6);
    EXPECT_EQ(HandleLength(Grip::None, true), 14);
    EXPECT_EQ(FirstGripAt(Grip::Double, true), 5);
    EXPECT_EQ(FirstGripAt(Grip::Single, false), 3);
    EXPECT_EQ(DockedCloseButton(Grip::Double, false, 50), (Box{3, 2, 14, 13}));
    EXPECT_EQ(DockedCloseButton(Grip::Double, true, 30), (Box{21, 3, 32, 14}));

    // A 100 x 60 window, frame 3, caption 15.
    struct Case {
        int x, y;
        bool corners;
        Hit want;
    } cases[] = {{50, 8, true, Hit::Client},   {90, 8, true, Hit::Close},     {1, 30, true, Hit::Left},
                 {10, 1, false, Hit::Top},      {1, 30, false, Hit::Left},     {96, 30, true, Hit::Right},
                 {1, 10, true, Hit::TopLeft},  {98, 58, true, Hit::BottomRight}, {50, 1, true, Hit::Top},
                 {50, 58, true, Hit::Bottom},  {5, 1, true, Hit::TopLeft},    {50, 30, true, Hit::Client}};
    for (const Case& c : cases)
        EXPECT_EQ(FloatingHitTest({c.x, c.y}, 100, 60, 3, 15, true, true, true, c.corners), c.want)
            << c.x << "," << c.y;
    EXPECT_EQ(FloatingHitTest({1, 30}, 100, 60, 3, 15, true, true, false, true), Hit::Client);
    EXPECT_EQ(FloatingHitTest({90, 8}, 100, 60, 3, 15, true, false, true, true), Hit::Client);
}

TEST(Dragging, DockTargetsOutlinesAndScreenKeeping) {
    const Box top{0, 0, 400, 30};
    // 32 px across x split by the cursor's place in a 101-px window, 20 across y.
    EXPECT_TRUE(NearDock(top, false, false, {-31, 10}, {0, 5}, 101, 21));
    EXPECT_FALSE(NearDock(top, false, false, {-1, 10}, {100, 5}, 101, 21));
    EXPECT_TRUE(NearDock(top, false, false, {431, 10}, {100, 5}, 101, 21));
    EXPECT_TRUE(NearDock(top, false, false, {200, 49}, {50, 20}, 101, 21));
    EXPECT_FALSE(NearDock(top, false, false, {200, 50}, {50, 20}, 101, 21));
    // An empty dock still catches the cursor beside its one-pixel edge.
    EXPECT_TRUE(NearDock({0, 0, 400, 0}, true, false, {200, 10}, {50, 10}, 101, 21));
    // A vertical dock wants the cursor within its height.
    EXPECT_FALSE(NearDock({0, 30, 0, 300}, true, true, {5, 310}, {10, 0}, 30, 1));
    // One-pixel windows never divide by zero.
    EXPECT_TRUE(NearDock(top, false, false, {10, 10}, {0, 0}, 1, 1));
    EXPECT_EQ(ScaleOffset(50, 101, 201), 100);
    EXPECT_EQ(ScaleOffset(5, 1, 50), 0);

    const Box work{0, 0, 800, 600};
    Box far = KeepOutlineOnArea({5000, 5000, 5100, 5040}, work, 3, 15);
    EXPECT_EQ(far.l, 800 - 7);
    EXPECT_EQ(far.t, 600 - 7);
    EXPECT_EQ(far.w(), 100);
    Box high = KeepOutlineOnArea({10, -50, 110, -10}, work, 3, 15);
    EXPECT_EQ(high.t, 4 - 18);
    EXPECT_EQ(MoveOnScreen({-3000, 10, -2900, 50}, work, true), (Box{0, 10, 100, 50}));
    EXPECT_EQ(MoveOnScreen({750, 10, 850, 50}, work, true), (Box{750, 10, 850, 50}));
    EXPECT_EQ(MoveOnScreen({750, 580, 850, 620}, work, false), (Box{700, 560, 800, 600}));
    EXPECT_EQ(SizeByHandle({0, 0, 100, 100}, 3, 80, 95, 40, 30), (Box{60, 70, 100, 100}));
    EXPECT_EQ(SizeByHandle({0, 0, 100, 100}, 7, -90, 10, 40, 30), (Box{0, 0, 40, 110}));
}

TEST(Dragging, QuickChecksOfClamps) {
    EXPECT_EQ(ClampRow(-4), 0);
    EXPECT_EQ(ClampRow(1 << 30), kMaxDockRow);
    EXPECT_EQ(ClampPos(INT_MIN), -kMaxDockPos);
}

}  // namespace
}  // namespace bramble::tblayout

namespace bramble::tblayout {
namespace {

TEST(ButtonContent, MarginAndSpacingMinusOneSpreadOrCentre) {
    struct Case {
        int space, glyph, caption, margin, spacing;
        bool glyphFirst;
        int wantGlyph, wantCaption;
    } cases[] = {
        {40, 16, 12, -1, 4, true, 4, 24},     // centred: (40 - 32 + 1) / 2
        {40, 16, 12, -1, -1, true, 4, 24},    // split in three: margin = spacing = 12 / 3
        {41, 16, 10, -1, -1, false, 20, 5},   // 15 / 3 = 5, caption first
        {40, 16, 12, 2, -1, true, 2, 23},     // spread: spacing (40 - 18 - 12) / 2
        {40, 16, 12, 3, 4, true, 3, 23},      // both given
        {40, 16, 0, -1, -1, true, 12, 28},    // no caption: spacing 0, centred
        {40, 0, 12, -1, 7, true, 14, 14},     // no glyph: spacing 0, centred
        {20, 16, 12, -1, -1, true, -2, 12},   // too little room: negative, as drawn
    };
    for (const Case& c : cases) {
        const ContentPlace p = PlaceContent(c.space, c.glyph, c.caption, c.margin, c.spacing, c.glyphFirst);
        EXPECT_EQ(p.glyph, c.wantGlyph) << c.space << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(p.caption, c.wantCaption) << c.space << " " << c.margin << " " << c.spacing;
    }
}

}  // namespace
}  // namespace bramble::tblayout
