// The popup window's picture: which rows a selection move paints again, a
// background picture under the rows, the title band's edge and the checker
// behind a checked glyph.
#include <gtest/gtest.h>
#include <windows.h>

#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

constexpr COLORREF kMark = RGB(255, 0, 255);

struct PopupLookFixture : ::testing::Test {
    TForm* form = nullptr;
    TPopupMenu2000* menu = nullptr;
    TMenuItem2000* items[5] = {};

    void SetUp() override {
        form = new TForm(nullptr);
        form->AfterConstruction();
        form->SetBounds(100, 100, 400, 300);
        form->Show();
        SetForegroundWindow(form->Handle());
        menu = new TPopupMenu2000(form);
        menu->Options().Animation = anNone;
        const char* captions[] = {"&Open", "&Save", "&Print", "&Close", "E&xit"};
        for (int i = 0; i < 5; ++i) {
            items[i] = new TMenuItem2000(form);
            items[i]->SetCaption(captions[i]);
            menu->Items()->Add(items[i]);
        }
        Pump();
    }
    void TearDown() override {
        CloseActiveMenus(true);
        Pump();
        TCustomForm::Free(form);
        Pump();
    }
    TPopupMenu2000Form* Win() { return menu->Window(); }
    void Key(WPARAM Vk) {
        PostMessage(form->Handle(), WM_KEYDOWN, Vk, 1);
        Pump();
    }
    // A point of row I in its arrow column, where nothing but the row's
    // background is drawn.
    POINT Spot(int I) {
        RECT r = Win()->ItemRect(I);
        return {r.right - 3, (r.top + r.bottom) / 2};
    }
    COLORREF OnScreen(POINT P) {
        HDC dc = GetDC(Win()->Handle());
        COLORREF c = GetPixel(dc, P.x, P.y);
        ReleaseDC(Win()->Handle(), dc);
        return c;
    }
    void Picture(TBitmap& B) {
        RECT r;
        GetWindowRect(Win()->Handle(), &r);
        B.SetSize(r.right - r.left, r.bottom - r.top);
        Win()->PaintTo(B.Canvas().Handle());
    }
    void SolidBackground(int W, int H, COLORREF C, T_LFM_BackgroundDisplay How) {
        TBitmap& bg = menu->Options().Background();
        bg.SetSize(W, H);
        RECT all{0, 0, W, H};
        HBRUSH b = CreateSolidBrush(C);
        FillRect(bg.Canvas().Handle(), &all, b);
        DeleteObject(b);
        menu->Options().BackgroundDisplay = How;
    }
};

TEST_F(PopupLookFixture, ASelectionMoveRepaintsOnlyTheTwoRowsItChanged) {
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    Key(VK_DOWN);
    ASSERT_EQ(Win()->Selected(), 0);
    // Marks straight on the window: a row painted again loses its mark.
    HDC dc = GetDC(Win()->Handle());
    for (int i = 0; i < 5; ++i) SetPixel(dc, Spot(i).x, Spot(i).y, kMark);
    ReleaseDC(Win()->Handle(), dc);
    Key(VK_DOWN);
    ASSERT_EQ(Win()->Selected(), 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(OnScreen(Spot(i)) == kMark, i > 1) << i;
    EXPECT_EQ(OnScreen(Spot(1)), GetSysColor(COLOR_HIGHLIGHT));
    // A new layout paints everything again.
    items[4]->SetHidden(true);
    CloseActiveMenus(true);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    dc = GetDC(Win()->Handle());
    SetPixel(dc, Spot(2).x, Spot(2).y, kMark);
    ReleaseDC(Win()->Handle(), dc);
    Win()->Expand();
    Pump();
    EXPECT_NE(OnScreen(Spot(2)), kMark);
}

TEST_F(PopupLookFixture, OverAPictureTheSelectedRowShowsItInverted) {
    SolidBackground(8, 8, RGB(0, 128, 255), bdTile);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(OnScreen(Spot(0)), RGB(0, 128, 255));
    EXPECT_EQ(OnScreen(Spot(1)), RGB(255, 127, 0));
    EXPECT_EQ(OnScreen(Spot(2)), RGB(0, 128, 255));
}

TEST_F(PopupLookFixture, ACentredPictureSitsInTheMiddleOfTheItemArea) {
    menu->Options().Title.Visible = true;
    menu->Options().Title.Width = 40;
    SolidBackground(30, 20, RGB(0, 200, 0), bdCenter);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    TBitmap b;
    Picture(b);
    RECT box{b.Width(), b.Height(), -1, -1};
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (test::PixelAt(b, x, y) == RGB(0, 200, 0)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    RECT items = Win()->ItemRect(0);
    int edge = menu->Options().Margins.Border + 2;  // the border and the raised frame
    EXPECT_EQ(box.left, items.left + (items.right - items.left - 30) / 2);
    EXPECT_EQ(box.top, edge + (b.Height() - 2 * edge - 20) / 2);
    EXPECT_EQ(box.right - box.left, 30);
    b.SaveToFile(test::ArtifactsDir() + "\\menu-centred-background.bmp");
}

TEST_F(PopupLookFixture, AHiddenFirstRowUnderATitleBandHasNoLineAbove) {
    menu->Options().Colors.Line = static_cast<TColor>(RGB(255, 0, 0));
    menu->Options().Title.Width = 24;
    items[0]->SetHidden(true);
    for (bool band : {false, true}) {
        menu->Options().Title.Visible = band;
        ASSERT_FALSE(menu->TrackPopup(150, 150));
        Win()->Expand();
        Pump();
        TBitmap b;
        Picture(b);
        RECT r = Win()->ItemRect(0);
        EXPECT_EQ(test::PixelAt(b, r.left + 5, r.top) == RGB(255, 0, 0), !band) << band;
        CloseActiveMenus(true);
        Pump();
    }
}

TEST_F(PopupLookFixture, ACheckedGlyphSitsOnAChecker) {
    TBitmap& g = items[2]->Bitmap();
    g.SetSize(16, 16);
    HDC gdc = g.Canvas().Handle();
    RECT all{0, 0, 16, 16}, dot{6, 6, 10, 10};
    HBRUSH clear = CreateSolidBrush(RGB(0, 128, 128)), ink = CreateSolidBrush(RGB(0, 0, 0));
    FillRect(gdc, &all, clear);
    FillRect(gdc, &dot, ink);
    DeleteObject(clear);
    DeleteObject(ink);
    items[2]->SetChecked(true);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    struct Case {
        bool selected;
        bool checker;
    } cases[] = {{false, true}, {true, false}};
    for (const Case& k : cases) {
        if (k.selected) {
            Key(VK_DOWN);
            Key(VK_DOWN);
            Key(VK_DOWN);
            ASSERT_EQ(Win()->Selected(), 2);
        }
        TBitmap b;
        Picture(b);
        RECT r = Win()->ItemRect(2);
        // Inside the sunken frame, beside the glyph's ink.
        int x = r.left + 3, y = r.top + std::max(1, (int(r.bottom - r.top) - 16) / 2) + 1;
        COLORREF a = test::PixelAt(b, x, y), c = test::PixelAt(b, x + 1, y);
        COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
        bool checker = (a == hi && c == face) || (a == face && c == hi);
        EXPECT_EQ(checker, k.checker) << k.selected;
        if (!k.selected) b.SaveToFile(test::ArtifactsDir() + "\\menu-checked-glyph.bmp");
    }
}

}  // namespace
}  // namespace bramble
