// The popup window's picture (which rows a selection move paints again, a
// background picture under the rows, the title band's edge, the checker
// behind a checked glyph) and a platform menu handle shown as its entries.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "kits/menu/menu_form.h"
#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

constexpr COLORREF kMark = RGB(255, 0, 255);

struct PopupLookFixture : test::MenuFormTest {
    TPopupMenu2000* menu = nullptr;
    TMenuItem2000* items[5] = {};

    void SetUp() override {
        NewShownForm(400, 300);
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
    static void Solid(TBitmap& B, int W, int H, COLORREF C) {
        B.SetSize(W, H);
        RECT all{0, 0, W, H};
        HBRUSH b = CreateSolidBrush(C);
        FillRect(B.Canvas().Handle(), &all, b);
        DeleteObject(b);
    }
};

TEST_F(PopupLookFixture, ASelectionMoveRepaintsOnlyTheTwoRowsItChanged) {
    constexpr COLORREF kPicture = RGB(0, 128, 255), kInverted = RGB(255, 127, 0);
    for (bool picture : {false, true}) {
        if (picture) Solid(menu->Options().Background(), 8, 8, kPicture);
        menu->Options().BackgroundDisplay = bdTile;
        ASSERT_FALSE(menu->TrackPopup(150, 150));
        Key(VK_DOWN);
        ASSERT_EQ(Win()->Selected(), 0);
        // Marks straight on the window: a row painted again loses its mark.
        HDC dc = GetDC(Win()->Handle());
        for (int i = 0; i < 5; ++i) SetPixel(dc, Spot(i).x, Spot(i).y, kMark);
        ReleaseDC(Win()->Handle(), dc);
        Key(VK_DOWN);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(OnScreen(Spot(i)) == kMark, i > 1) << i;
        // Over a picture the selected row shows it inverted.
        EXPECT_EQ(OnScreen(Spot(0)), picture ? kPicture : ColorToRGB(clMenu));
        EXPECT_EQ(OnScreen(Spot(1)), picture ? kInverted : ColorToRGB(clHighlight));
        // A new layout paints everything again.
        Win()->Expand();
        Pump();
        EXPECT_NE(OnScreen(Spot(3)), kMark);
        CloseActiveMenus(true);
    }
}

TEST_F(PopupLookFixture, ACentredPictureSitsInTheMiddleOfTheItemArea) {
    menu->Options().Title.Visible = true;
    menu->Options().Title.Width = 40;
    Solid(menu->Options().Background(), 30, 20, RGB(0, 200, 0));
    menu->Options().BackgroundDisplay = bdCenter;
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

TEST_F(PopupLookFixture, ACheckedGlyphSitsOnACheckerUnlessSelected) {
    // A glyph with a little ink in the middle of its transparent colour.
    Solid(items[2]->Bitmap(), 16, 16, RGB(0, 128, 128));
    RECT dot{6, 6, 10, 10};
    FillRect(items[2]->Bitmap().Canvas().Handle(), &dot, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    items[2]->SetChecked(true);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    for (bool selected : {false, true}) {
        if (selected) Win()->SelectItem(2);
        TBitmap b;
        Picture(b);
        if (!selected) b.SaveToFile(test::ArtifactsDir() + "\\menu-checked-glyph.bmp");
        // Inside the sunken frame, beside the glyph's ink.
        RECT r = Win()->ItemRect(2);
        int x = r.left + 3, y = r.top + std::max(1, (int(r.bottom - r.top) - 16) / 2) + 1;
        COLORREF a = test::PixelAt(b, x, y), c = test::PixelAt(b, x + 1, y);
        COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ((a == hi && c == face) || (a == face && c == hi), !selected) << selected;
    }
}

// ---- a platform menu handle --------------------------------------------------------------

std::vector<WPARAM> g_commands;
WNDPROC g_form_proc = nullptr;

LRESULT CALLBACK RecordCommands(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
    if (Msg == WM_COMMAND) g_commands.push_back(WP);
    return CallWindowProcA(g_form_proc, W, Msg, WP, LP);
}

struct NativeFixture : PopupLookFixture {
    HMENU handle = CreatePopupMenu(), sub = CreatePopupMenu();
    std::vector<TObject*> commands;

    void SetUp() override {
        PopupLookFixture::SetUp();
        menu->Items()->Clear();
        g_commands.clear();
        g_form_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordCommands)));
        menu->OnMenuCommand = [this](TObject* Sender) { commands.push_back(Sender); };
        AppendMenuA(handle, MF_STRING, 101, "&Normal\tCtrl+N");
        AppendMenuA(handle, MF_STRING | MF_GRAYED, 102, "&Grayed");
        AppendMenuA(handle, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(handle, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "&Sub");
        AppendMenuA(sub, MF_STRING | MF_CHECKED, 201, "&Inner");
        menu->SetNativeMenu(handle);
    }
    void TearDown() override {
        SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_form_proc));
        PopupLookFixture::TearDown();
        DestroyMenu(handle);  // and its submenu
    }
};

TEST_F(NativeFixture, EveryEntryGetsARowAndSelectionSkipsTheSeparatorAndTheGrayedEntry) {
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    ASSERT_EQ(Win()->ShownCount(), 4);  // and no "(Empty)"
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Win()->ShownNativePos(i), Win()->ShownItem(i) ? -1 : i);
    RECT sep = Win()->ItemRect(2);
    EXPECT_EQ(sep.bottom - sep.top, menu->Options().SeparatorHeight);
    TBitmap b;
    Picture(b);
    b.SaveToFile(test::ArtifactsDir() + "\\menu-native.bmp");
    std::vector<int> seen;
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP, VK_UP}) {
        Key(key);
        seen.push_back(Win()->Selected());
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 3, -1, 3, 0}));
}

TEST_F(NativeFixture, ChoosingPostsTheEntrysCommandToTheOwnerForm) {
    struct Case {
        std::vector<WPARAM> keys;
        std::vector<WPARAM> posted;
    } cases[] = {
        {{VK_DOWN, VK_RETURN}, {101}},
        {{'N'}, {101}},
        {{'G'}, {}},  // a grayed entry's accelerator only beeps
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, {201}},  // from the submenu opened by its handle
    };
    for (const Case& k : cases) {
        g_commands.clear();
        commands.clear();
        ASSERT_FALSE(menu->TrackPopup(150, 150));
        for (WPARAM key : k.keys) Key(key);
        EXPECT_EQ(g_commands, k.posted) << k.keys.back();
        EXPECT_EQ(menu->IsFormOpen(), k.posted.empty()) << k.keys.back();
        EXPECT_EQ(commands.size(), k.posted.size());
        CloseActiveMenus(true);
        Pump();
    }
}

TEST_F(NativeFixture, TheSubmenuOpensFromTheEntrysHandleUnlessDisabled) {
    for (bool disabled : {false, true}) {
        EnableMenuItem(handle, 3, MF_BYPOSITION | (disabled ? MF_DISABLED : MF_ENABLED));
        ASSERT_FALSE(menu->TrackPopup(150, 150));
        Win()->SelectItem(3);  // a disabled entry can still be selected
        ASSERT_EQ(Win()->Selected(), 3);
        Key(VK_RIGHT);
        TPopupMenu2000Form* child = Win()->ChildForm();
        EXPECT_EQ(child && child->IsOpen() && child->NativeMenu() == sub, !disabled) << disabled;
        CloseActiveMenus(true);
        Pump();
    }
}

}  // namespace
}  // namespace bramble
