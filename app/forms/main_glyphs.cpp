// The toolbar's glyphs, painted rather than loaded: each button's picture
// in its plain form and the brighter one under the mouse, each with its
// disabled form beside it.
#include "app/forms/main_private.h"

#include <vector>

namespace bramble {

namespace {

constexpr int kGlyphSize = 20;

// Whether a pixel of a painted glyph is part of its drawing: not the
// transparent ground, and not a pale fill (a page's white), which a
// disabled picture leaves out as menus do.
bool Ink(TColor c) {
    if (c == clFuchsia) return false;
    const COLORREF rgb = static_cast<COLORREF>(c);
    const int luminance = (GetRValue(rgb) * 30 + GetGValue(rgb) * 59 + GetBValue(rgb) * 11) / 100;
    return luminance < 200;
}

// The 16 colours every display has: the low-colour pictures use only
// these, so they do not dither on a 16-colour screen.
TColor NearestBasicColour(TColor c) {
    static constexpr COLORREF basic[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                           0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                           0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    const COLORREF rgb = static_cast<COLORREF>(c);
    COLORREF best = basic[0];
    long bestDistance = -1;
    for (COLORREF b : basic) {
        const long dr = GetRValue(rgb) - GetRValue(b), dg = GetGValue(rgb) - GetGValue(b),
                   db = GetBValue(rgb) - GetBValue(b);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = b;
        }
    }
    return static_cast<TColor>(best);
}

}  // namespace

void PaintGlyph(TBitmap& B, const std::string& Base, bool Hot) {
    const int S = kGlyphSize;
    B.SetSize(S, S);
    TCanvas& c = B.Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clFuchsia);  // transparent
    c.FillRect(Rect(0, 0, S, S));
    c.Pen().SetColor(Hot ? clBlack : clDkGray);
    auto fill = [&](TColor hot, TColor plain) { c.Brush().SetColor(Hot ? hot : plain); };
    if (Base == "NEW" || Base == "ADD" || Base == "VIEW") {
        fill(clWhite, 0xF0F0F0);
        c.Polygon({Point(4, 2), Point(12, 2), Point(16, 6), Point(16, 18), Point(4, 18)});
        c.MoveTo(12, 2);
        c.LineTo(12, 6);
        c.LineTo(16, 6);
    }
    if (Base == "OPEN") {
        fill(0x00D0FF, 0x60B0D0);
        c.Polygon({Point(1, 5), Point(7, 5), Point(9, 7), Point(18, 7), Point(18, 17), Point(1, 17)});
    } else if (Base == "ADD") {
        fill(0x00A000, 0x508050);
        c.Rectangle(9, 8, 12, 17);
        c.Rectangle(6, 11, 15, 14);
    } else if (Base == "EXTR") {
        fill(0x3070B0, 0x607080);
        c.Rectangle(2, 9, 18, 18);
        fill(0xE06000, 0x907050);
        c.Polygon({Point(8, 1), Point(12, 1), Point(12, 6), Point(15, 6), Point(10, 11), Point(5, 6), Point(8, 6)});
    } else if (Base == "DEL") {
        c.Pen().SetColor(Hot ? clRed : 0x4040A0);
        c.Pen().SetWidth(3);
        c.MoveTo(4, 4);
        c.LineTo(16, 16);
        c.MoveTo(16, 4);
        c.LineTo(4, 16);
        c.Pen().SetWidth(1);
    } else if (Base == "VIEW") {
        fill(0xFFE0C0, 0xD0C0B0);
        c.Ellipse(5, 6, 13, 14);
        c.Pen().SetWidth(2);
        c.MoveTo(12, 13);
        c.LineTo(16, 17);
        c.Pen().SetWidth(1);
    } else if (Base == "SETUP") {
        fill(0xC0C0C0, 0xA0A0A0);
        c.Rectangle(2, 3, 18, 14);
        fill(0x800000, 0x606060);
        c.Rectangle(4, 5, 16, 12);
        fill(0xC0C0C0, 0xA0A0A0);
        c.Rectangle(6, 15, 14, 18);
    }
}


// The button's glyph as a strip of two: the picture, then its disabled
// form as menus draw one, the drawing in the shadow colour with a
// highlight one pixel down and right and no colour left.
void PaintGlyphStrip(TBitmap& B, const std::string& Base, bool Hot, bool LowColour) {
    const int S = kGlyphSize;
    TBitmap picture;
    PaintGlyph(picture, Base, Hot);
    if (LowColour)
        for (int y = 0; y < S; ++y)
            for (int x = 0; x < S; ++x) {
                const TColor p = picture.Canvas().Pixel(x, y);
                if (p != clFuchsia) picture.Canvas().SetPixel(x, y, NearestBasicColour(p));
            }
    B.SetSize(2 * S, S);
    TCanvas& c = B.Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clFuchsia);
    c.FillRect(Rect(0, 0, 2 * S, S));
    c.CopyRect(Rect(0, 0, S, S), picture.Canvas(), Rect(0, 0, S, S));
    std::vector<bool> ink(static_cast<size_t>(S * S));
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) ink[static_cast<size_t>(y * S + x)] = Ink(picture.Canvas().Pixel(x, y));
    const TColor highlight = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            if (!ink[static_cast<size_t>(y * S + x)]) continue;
            if (x + 1 < S && y + 1 < S && !ink[static_cast<size_t>((y + 1) * S + x + 1)])
                c.SetPixel(S + x + 1, y + 1, highlight);
            c.SetPixel(S + x, y, shadow);
        }
}

void TfrmMain::LoadGlyph(TToolbarButton97* B, const std::string& Name) {
    // The name says the picture and its form: "HI"/"LO" for the display's
    // colours, a trailing "G" for the plain (not hovered) state.
    std::string base = Name;
    bool plain = false;
    if (base.size() > 1 && base.back() == 'G') {
        plain = true;
        base.pop_back();
    }
    bool low = false;
    if (base.size() > 2) {
        low = base.compare(base.size() - 2, 2, "LO") == 0;
        base.resize(base.size() - 2);  // "HI" or "LO"
    }
    // Given whole, so the button takes the strip's two pictures (the second
    // for the disabled state) and its transparent colour afresh.
    TBitmap strip;
    PaintGlyphStrip(strip, base, !plain, low);
    B->SetGlyph(&strip);
}

void TfrmMain::ButtonHover(TToolbarButton97* B, const std::string& Base, bool Enter) {
    const bool hi = Screen && Screen->BitsPerPixel() >= 9;
    if (Base == "SETUP")
        LoadGlyph(B, Enter ? "SETUPLO" : "SETUPLOG");
    else
        LoadGlyph(B, Base + (hi ? "HI" : "LO") + (Enter ? "" : "G"));
}

}  // namespace bramble
