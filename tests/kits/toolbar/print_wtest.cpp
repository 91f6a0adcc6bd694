// The kit's windows printed into a caller's DC under Wine: the caller gets
// its DC back as it gave it, and a hidden window asked to check its
// visibility prints nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kits/toolbar/hooks.h"
#include "kits/toolbar/scene.h"

namespace bramble {
namespace {

using test::Pump;

struct MemoryDC {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemoryDC(int W, int H) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bmp = CreateCompatibleBitmap(screen, W, H);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bmp);
        RECT r{0, 0, W, H};
        HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    ~MemoryDC() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

TEST(ToolbarPrint, ClientPaintingLeavesTheCallersDCAsItWas) {
    test::Scene s;
    struct Case {
        const char* name;
        HWND wnd;
        bool drawsClient;  // the dock's face is its background, erased apart
    } cases[] = {{"dock", s.dock->Handle(), false}, {"bar", s.bar->Handle(), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryDC m(200, 60);
        HFONT font = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        HGDIOBJ oldFont = SelectObject(m.dc, font);
        SetTextColor(m.dc, RGB(1, 2, 3));
        SetBkColor(m.dc, RGB(4, 5, 6));
        SetBkMode(m.dc, OPAQUE);
        SetBrushOrgEx(m.dc, 3, 3, nullptr);
        SendMessageA(c.wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m.dc), PRF_CLIENT);
        EXPECT_EQ(GetTextColor(m.dc), RGB(1, 2, 3));
        EXPECT_EQ(GetBkColor(m.dc), RGB(4, 5, 6));
        EXPECT_EQ(GetBkMode(m.dc), OPAQUE);
        EXPECT_EQ(GetCurrentObject(m.dc, OBJ_FONT), font);
        POINT org{};
        GetBrushOrgEx(m.dc, &org);
        EXPECT_EQ(org.x, 3);
        // And it did paint: the blue is gone where the window is.
        if (c.drawsClient) {
            EXPECT_NE(GetPixel(m.dc, 5, 5), RGB(0, 0, 255));
        }
        SelectObject(m.dc, oldFont);
        DeleteObject(font);
    }
    // Hidden and asked to check: nothing drawn, and still answered.
    s.bar->Hide();
    Pump();
    MemoryDC m(200, 60);
    EXPECT_EQ(SendMessageA(s.bar->Handle(), WM_PRINT, reinterpret_cast<WPARAM>(m.dc),
                           PRF_CHECKVISIBLE | PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND),
              1);
    EXPECT_EQ(GetPixel(m.dc, 5, 5), RGB(0, 0, 255));
}

}  // namespace
}  // namespace bramble
