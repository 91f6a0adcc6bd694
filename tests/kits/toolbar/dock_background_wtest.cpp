// A dock's background and frame under Wine, read back by pixels: the tiles
// shared with its bars, the transparent colour, the bound lines, and a
// batch of changes laid out once at the end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kits/toolbar/scene.h"

namespace bramble {
namespace {

using test::Pump;

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0);

struct Scene : test::Scene {
    TSkiffbar* NewBar(const std::string& name) {
        TSkiffbar* t = Form::NewBar(dock, name);
        test::NewButton(t, "Open");
        return t;
    }
    // A pixel of the screen as a window's frame DC shows it.
    static COLORREF At(HWND w, int X, int Y) {
        HDC dc = GetWindowDC(w);
        COLORREF c = GetPixel(dc, X, Y);
        ReleaseDC(w, dc);
        return c;
    }
    // The tile colour at a screen point: 8 x 8 tiles anchored at the
    // dock's outer corner, red in columns 0-3 and green in 4-7.
    COLORREF Tile(POINT Screen, COLORREF RedShowsAs) {
        RECT dr{};
        GetWindowRect(dock->Handle(), &dr);
        return ((Screen.x - dr.left) % 8) < 4 ? RedShowsAs : kGreen;
    }
};

void SetTiles(TDock97* d) {
    TBitmap bmp(8, 8);
    HDC dc = bmp.Canvas().Handle();
    RECT l{0, 0, 4, 8}, r{4, 0, 8, 8};
    HBRUSH red = CreateSolidBrush(kRed), green = CreateSolidBrush(kGreen);
    FillRect(dc, &l, red);  // the bottom-left pixel is red: the transparent colour
    FillRect(dc, &r, green);
    DeleteObject(red);
    DeleteObject(green);
    d->SetBackground(&bmp);
}

// The same tiles as SetTiles, as a picture of 256 colours whose colour
// table holds red and green.
void SetPaletteTiles(TDock97* d) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD table[2];
    } bi{};
    bi.h = {sizeof(BITMAPINFOHEADER), 8, 8, 1, 8, BI_RGB, 0, 0, 0, 2, 0};
    bi.table[0] = {0, 0, 255, 0};
    bi.table[1] = {0, 255, 0, 0};
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) static_cast<uint8_t*>(bits)[y * 8 + x] = x < 4 ? 0 : 1;
    TBitmap bmp;
    bmp.SetHandle(h);
    DeleteObject(h);
    d->SetBackground(&bmp);  // the dock keeps a palette of its own
}

TEST(ToolbarDockBackground, BarsShareTheTilesAndTheTransparentColourShowsTheDock) {
    struct Case {
        const char* name;
        bool onToolbars, transparent, table;
    } cases[] = {{"shared", true, false, false},
                 {"dock only", false, false, false},
                 {"transparent", true, true, false},
                 {"colour table", true, false, true},
                 {"colour table, transparent", true, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.dock->SetColor(clYellow);
        s.dock->SetBackgroundOnToolbars(c.onToolbars);
        s.dock->SetBackgroundTransparent(c.transparent);
        (c.table ? SetPaletteTiles : SetTiles)(s.dock);
        Pump();
        // The picture's colours are what a palette display realises.
        if (const HPALETTE pal = s.dock->GetPalette()) {
            PALETTEENTRY e[2]{};
            ASSERT_EQ(GetPaletteEntries(pal, 0, 2, e), 2u);
            EXPECT_EQ(RGB(e[0].peRed, e[0].peGreen, e[0].peBlue), kRed);
            EXPECT_EQ(RGB(e[1].peRed, e[1].peGreen, e[1].peBlue), kGreen);
        } else {
            EXPECT_FALSE(c.table);
        }
        const COLORREF redShows = c.transparent ? RGB(255, 255, 0) : kRed;
        // The bar's second frame ring, along its top edge.
        RECT br{};
        GetWindowRect(s.bar->Handle(), &br);
        for (int x : {10, 13, 14, 18}) {
            const COLORREF want = c.onToolbars ? s.Tile({br.left + x, br.top + 1}, redShows)
                                               : GetSysColor(COLOR_BTNFACE);
            EXPECT_EQ(Scene::At(s.bar->Handle(), x, 1), want) << "frame x " << x;
        }
        if (c.onToolbars)
            test::SaveScreenshot(*s.f, std::string("dock-background-") + (c.table ? "palette-" : "") +
                                           (c.transparent ? "transparent.bmp" : "shared.bmp"));
        // The dock itself, right of the bar.
        RECT dr{};
        GetWindowRect(s.dock->Handle(), &dr);
        for (int x : {300, 302, 305}) {
            EXPECT_EQ(Scene::At(s.dock->Handle(), x, 5), s.Tile({dr.left + x, dr.top + 5}, redShows)) << "dock x " << x;
        }
        s.dock->SetBackground(nullptr);
        EXPECT_EQ(s.dock->GetPalette(), nullptr);
    }
}

TEST(ToolbarDockBackground, BoundLinesAndOneLayoutPerBatch) {
    Scene s;
    const int h = s.dock->Height();
    TDockBoundLines lines;
    lines.insert(blTop);
    lines.insert(blBottom);
    s.dock->SetBoundLines(lines);
    Pump();
    EXPECT_EQ(s.dock->Height(), h + 2);
    EXPECT_EQ(Scene::At(s.dock->Handle(), 50, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(Scene::At(s.dock->Handle(), 50, s.dock->Height() - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    // Changes inside nested updates wait for the outermost end.
    TSkiffbar* other = s.NewBar("Other");
    Pump();
    const int left = other->Left();
    s.dock->BeginUpdate();
    s.dock->BeginUpdate();
    other->SetDockPos(300);
    s.bar->SetDockPos(150);
    s.dock->EndUpdate();
    EXPECT_EQ(other->Left(), left);
    s.dock->EndUpdate();
    EXPECT_EQ(other->Left(), 300);
    EXPECT_EQ(s.bar->Left(), 150);
}

}  // namespace
}  // namespace bramble
