// The arithmetic of the menu windows: where a window goes against the work
// area, the rows of its items, the columns of one item, and the colour steps
// of gradients and fades. Plain values in, plain values out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bramble::menukit {

struct Box {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(int X, int Y) const { return X >= Left && X < Right && Y >= Top && Y < Bottom; }
};

// ---- placement ---------------------------------------------------------------------------

struct PlaceRequest {
    Box WorkArea;       // of the monitor that holds the point
    int X = 0, Y = 0;   // wanted top-left corner
    int Width = 0, Height = 0;
    bool RightToLeft = false;  // opens to the left of X
    bool Submenu = false;      // beside a parent window
    int ParentLeft = 0;        // the parent window's left edge (submenus)
    // Where the bottom goes when the window opens upward: Y for a popup at
    // a point, the top of the bar item for a drop-down of a bar at the
    // bottom of its form.
    int UpAnchor = 0;
    bool MayOpenUp = true;     // not with the horizontal slide
};

struct Placement {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool OpensLeft = false, OpensUp = false;
    // Taller than the work area: cut to it; the window scrolls its rows.
    bool Clipped = false;
};

Placement PlaceMenu(const PlaceRequest& R);

// ---- rows ------------------------------------------------------------------------------------

enum class RowKind : uint8_t { Item, Separator, Control };

struct RowEntry {
    RowKind Kind = RowKind::Item;
    bool Visible = true;
    bool Hidden = false;   // shown only when the window is expanded
    int Lines = 1;         // text lines of the caption
    int ControlHeight = 0; // for Control rows
};

struct RowMetrics {
    int ItemHeight = 19, SeparatorHeight = 9;
    int MarginTop = 0, MarginBorder = 1, MarginSpace = 0;
    bool Frame = false, Draggable = false, Floating = false;
};

struct Row {
    int Index = 0;  // position in the item list
    int Top = 0, Height = 0;
    bool ShownHidden = false;
};

struct RowLayout {
    std::vector<Row> Rows;
    bool HasExpandButton = false;
    bool Expanded = false;  // the caller asked for it, or nothing else was showable
    int Bottom = 0;         // below the last row
};

// Lays the rows out; a window where every shown item is hidden expands itself.
RowLayout LayoutRows(const std::vector<RowEntry>& Items, const RowMetrics& M, bool Expanded);

// The row at a window-relative Y, or -1.
int RowAt(const RowLayout& L, int Y);

// ---- columns ---------------------------------------------------------------------------------

struct ColumnInput {
    int ClientWidth = 0;
    int Border = 1;            // Margins.Border
    bool Frame = false, Floating = false;
    int MarginLeft = 23, MarginRight = 23;
    int ItemHeight = 19;
    int WidestCaption = 0, WidestShortCut = 0;
    bool RightToLeft = false;
    bool BandVisible = false, BandRight = false;
    int BandWidth = 0;
};

struct Columns {
    int ItemLeft = 0, ItemRight = 0;
    int CaptionX = 0, CaptionWidth = 0;
    int ShortCutX = 0, ShortCutWidth = 0;
    int BitmapX = 0, BitmapWidth = 0;
    int ArrowX = 0, ArrowWidth = 0;
};

Columns ItemColumns(const ColumnInput& S);

// ---- button arrays ---------------------------------------------------------------------

// The cells of a button array: one bitmap of Width by Height cut into
// Rows by Columns; the control's own rectangle starts at Left, Top.
struct CellGrid {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Rows = 1, Columns = 1;
    int CellWidth() const;
    int CellHeight() const;
};

// The cell under the point, counted row by row; -1 outside the cells, or
// when the bitmap is too small for one cell.
int CellAt(const CellGrid& G, int X, int Y);

// ---- colours ---------------------------------------------------------------------------------

struct Rgb {
    int R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

// Step i of a gradient from First to Second in Steps steps: each channel
// first + round(i * (second - first + 1) / steps), kept to 0..255.
Rgb GradientStep(Rgb First, Rgb Second, int Steps, int I);

// One byte of a fade-in: screen + step * difference, kept to 0..255; the
// difference is (image - screen) / 20 and may be negative.
int16_t FadeDifference(uint8_t Screen, uint8_t Image);
uint8_t FadeByte(uint8_t Screen, int16_t Difference, int Step);

}  // namespace bramble::menukit
