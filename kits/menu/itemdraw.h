// Painting one menu item: the glyph, caption, shortcut and arrow columns,
// separators, the disabled emboss, hidden items dithered, and the glyphs
// of the standard commands.
#pragma once

#include <windows.h>

#include <string>

#include "kits/menu/geometry.h"
#include "kits/menu/menuitem2000.h"
#include "kits/menu/menuoptions.h"

namespace bramble {

struct ItemDrawState {
    bool Selected = false, Disabled = false, Hidden = false, HiddenAbove = false, HiddenBelow = false,
         Default = false, Submenu = false, Checked = false, Radio = false, Pressed = false;
    // A picture lies behind the rows: the selected one shows it inverted
    // instead of the highlight colour.
    bool Background = false;
};

struct ItemDrawContext {
    HDC DC = nullptr;
    const T_LFM_BaseOptions* Options = nullptr;
    T_LFM_Flags Flags;
    HFONT Font = nullptr;
    TCustomImageList* Images = nullptr;
    menukit::Columns Cols;
    int Top = 0, Height = 0;
    // Leave the item's background alone (a background picture shows).
    bool Transparent = false;
    // Captions left unbroken (a bar's items are one line).
    bool SingleLine = false;
};

void DrawMenuItem(const ItemDrawContext& C, TMenuItem* Item, const ItemDrawState& S);

// One entry of a platform menu handle, as the platform reports it.
struct NativeMenuEntry {
    UINT Id = 0;
    HMENU SubMenu = nullptr;
    bool Separator = false, Grayed = false, Disabled = false, Checked = false, Default = false, Radio = false;
    HBITMAP CheckedBitmap = nullptr, UncheckedBitmap = nullptr;
    std::string Text;  // the caption, a tab before the shortcut
    bool Enabled() const { return !Grayed && !Disabled; }
};
// An empty entry when there is no such position.
NativeMenuEntry ReadNativeMenuEntry(HMENU Handle, int Position);
// A platform entry drawn as a kit item: its states come from the entry,
// the selection and the pressed state from S.
void DrawNativeMenuItem(const ItemDrawContext& C, HMENU Handle, int Position, const ItemDrawState& S);
// The row's background: highlight, dithered for a shown hidden item, or
// the menu colour.
void PrepareItemArea(const ItemDrawContext& C, const ItemDrawState& S);
void DrawSeparatorLine(const ItemDrawContext& C, const ItemDrawState& S);
// The strip that expands a menu's hidden items: a downward chevron.
void DrawExpandButton(HDC DC, const RECT& R, bool Selected, bool Pressed, TColor Face);
// A checker of the button highlight and face (plain highlight on 256
// colours or fewer).
void FillDitheredRect(HDC DC, const RECT& R);
// Copies every pixel that differs from the bottom-left one.
void DrawTransparentGlyph(HDC DC, int X, int Y, TBitmap& Bitmap, int NumGlyphs, int Index);
// Embossed: every dark pixel, not of the transparent colour, first in
// Highlight one pixel right and down, then in Shadow in place.
void DrawDisabledGlyph(HDC DC, int X, int Y, HDC Source, int W, int H, COLORREF Transparent, TColor Highlight,
                       TColor Shadow);
// A glyph of the standard commands by its cell; enabled or embossed.
void DrawCacheGlyph(HDC DC, int X, int Y, int Cell, bool Enabled, TColor Highlight, TColor Shadow);

}  // namespace bramble
