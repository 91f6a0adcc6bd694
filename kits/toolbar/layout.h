// The arithmetic of the docking kit, kept free of windows so that it can be
// checked on its own: how a dock stacks its bars into rows, how a toolbar
// lines up or wraps its controls, which sizes a floating toolbar may take,
// where a dragged outline snaps, and what a point on a bar's frame means.
#pragma once

#include <cstdint>
#include <vector>

namespace bramble::tblayout {

struct Pt {
    int x = 0, y = 0;
};
struct Box {
    int l = 0, t = 0, r = 0, b = 0;
    int w() const { return r - l; }
    int h() const { return b - t; }
    bool operator==(const Box&) const = default;
};
bool Intersects(const Box& a, const Box& b);

// Rows and positions read from settings or set by a program are kept in a
// range where sums of positions and lengths cannot overflow.
inline constexpr int kMaxDockRow = 255;
inline constexpr int kMaxDockPos = 1 << 20;
int ClampRow(int Row);
int ClampPos(int Pos);

// ---- dock rows ------------------------------------------------------------

struct DockBar {
    int row = 0;
    int pos = 0;
    int length = 0;     // along the dock
    int cross = 0;      // the bar's wanted thickness across the dock
    bool fullSize = false;
    bool visible = true;  // visible on the dock
};

struct DockPlace {
    int along = 0, across = 0, length = 0, thickness = 0;
};

struct DockLayout {
    std::vector<int> order;      // indexes of the input, sorted by row then position
    std::vector<int> rowSizes;   // per row: thickest visible bar (at least 8), 0 for none
    std::vector<DockPlace> places;  // per input bar (meaningful for visible ones)
    int thickness = 0;           // client thickness of the dock
};

// Lays the bars out on a dock of client length ClientLength. Rewrites the
// bars' rows (blank rows closed, full-size bars alone in their row) and
// positions (no overlap; squeezed to the length only with ClipPoses).
// EmptyThickness is what an empty dock gets (0, or 1 with a fixed alignment).
DockLayout LayoutDock(std::vector<DockBar>& Bars, int ClientLength, bool LimitToOneRow, bool ClipPoses,
                      int EmptyThickness);

// The row under a coordinate across the dock: Before means a new row is to
// be opened in front of it.
struct RowHit {
    int row = 0;
    bool before = false;
};
RowHit GetRowOf(const std::vector<int>& RowSizes, int XY);
int GetDesiredRow(const std::vector<int>& RowSizes, int Pos);

// ---- toolbar content -------------------------------------------------------

enum class Orient : uint8_t { None, Horizontal, Vertical };

struct TbItem {
    bool separator = false;
    bool blank = false;
    int width = 0, height = 0;   // a control's own size
    int sizeHorz = 6, sizeVert = 6;  // a separator's length
};

struct TbPlaced {
    int x = 0, y = 0, w = 0, h = 0;
};

struct TbLineSep {
    int y = 0;
    bool blank = false;
};

struct TbLayout {
    std::vector<TbPlaced> places;      // per item
    std::vector<TbLineSep> lineSeps;   // wrap points of a floating bar
    int clientW = 0, clientH = 0;
};

// The thickness of a toolbar's row: the largest control across, at least 8.
int CrossSize(const std::vector<TbItem>& Items, Orient O);
// Lines the items up; ItemSize is the thickness controls are centred in
// (the dock row's, or the cross size). FloatRightX wraps a floating bar
// (0: one row).
TbLayout LayoutToolbar(const std::vector<TbItem>& Items, Orient O, int FloatRightX, int ItemSize);

// The distinct client sizes a floating toolbar can take, one row first.
struct Size2 {
    int w = 0, h = 0;
    bool operator==(const Size2&) const = default;
};
std::vector<Size2> PotentialSizes(const std::vector<TbItem>& Items);

// Picks among Sizes (one dimension, any order) the one a resize with the
// cursor at Distance from the fixed edge lands on. Current is the size now;
// Snap the distance within which the current size holds when FirstOrTurned.
int ChooseSize(const std::vector<int>& Sizes, int Current, int Distance, int Snap, bool FirstOrTurned);
// The snap distance around the current size: 12, less when neighbours are closer.
int SnapDistance(const std::vector<int>& Sizes, int Current);

// ---- frames and hit tests ----------------------------------------------------

enum class Grip : uint8_t { Double, None, Single };
// Docked drag handle length and the start of its first grip.
int HandleLength(Grip G, bool CloseWhenDocked);
int FirstGripAt(Grip G, bool CloseWhenDocked);
inline constexpr int kDockedBorder = 2;
// The docked close button in window coordinates.
Box DockedCloseButton(Grip G, bool Vertical, int ClientWidth);

enum class Hit : uint8_t { Client, Close, Left, Right, Top, TopLeft, TopRight, Bottom, BottomLeft, BottomRight };
// Floating window of outer size W x H with frame F and caption height C;
// FY, when given, is the frame's height at the top and bottom.
Hit FloatingHitTest(Pt P, int W, int H, int F, int C, bool ShowCaption, bool HasClose, bool Resizable,
                    bool CornerSizing, int FY = -1);

// ---- dragging ------------------------------------------------------------------

// Whether the cursor is near enough a dock to dock there. Offset is the
// cursor's place inside the dragged window of size WinW x WinH.
bool NearDock(Box Dock, bool Empty, bool Vertical, Pt Cursor, Pt Offset, int WinW, int WinH);
// The cursor's offset kept proportionally in a window of another size.
int ScaleOffset(int Offset, int OldSize, int NewSize);
// A floating outline kept so frame + 4 pixels stay on the work area and the
// client area does not start above its top + 4.
Box KeepOutlineOnArea(Box R, Box Work, int Frame, int Caption);
// Shifts a window back onto the work area (MoveOnScreen); with
// OnlyIfFullyOff, only a window that does not touch it.
Box MoveOnScreen(Box R, Box Work, bool OnlyIfFullyOff);
// Resizes R by the cursor's displacement on the grabbed edges, keeping at
// least MinW x MinH. Handle: 0 left, 1 right, 2 top, 3 top-left, 4 top-right,
// 5 bottom, 6 bottom-left, 7 bottom-right.
Box SizeByHandle(Box R, int Handle, int DX, int DY, int MinW, int MinH);

// ---- button content ---------------------------------------------------------

// Where a button's glyph and caption start along its layout direction, in a
// face Space long. Margin -1 centres, Spacing -1 spreads evenly; the spacing
// counts only when there are both a glyph and a caption. GlyphFirst puts the
// glyph before the caption.
struct ContentPlace {
    int glyph = 0, caption = 0;
    int margin = 0, spacing = 0;  // as used
};
ContentPlace PlaceContent(int Space, int GlyphLen, int CaptionLen, int Margin, int Spacing, bool GlyphFirst);

}  // namespace bramble::tblayout
