// How the menu bar draws and re-lays out its top items: glyphs by the
// item painter, the pressed and flat looks, right to left, its own font,
// a transparent bar, and the keys that reach merged menus.
#include <gtest/gtest.h>
#include <windows.h>

#include "kits/menu/menu_form.h"
#include "kits/menu/menubar.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

constexpr COLORREF kRed = RGB(255, 0, 0);

// Counts its layouts: each one ends in new bounds.
class CountingBar : public TMenuBar2000 {
public:
    using TMenuBar2000::TMenuBar2000;
    int Layouts = 0;
    void SetBounds(int L, int T, int W, int H) override {
        ++Layouts;
        TMenuBar2000::SetBounds(L, T, W, H);
    }
};

// A 16 by 16 red square; the bottom-left pixel (the transparent colour) white.
void FillGlyph(TBitmap& B) {
    B.SetSize(16, 16);
    HDC dc = B.Canvas().Handle();
    RECT r{0, 0, 16, 16};
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(dc, &r, red);
    DeleteObject(red);
    SetPixel(dc, 0, 15, RGB(255, 255, 255));
}

struct LookFixture : test::MenuFormTest {
    TMainMenu2000* menu = nullptr;
    CountingBar* bar = nullptr;
    std::vector<std::string> clicked;

    template <class Item = TMenuItem2000>
    Item* Add(TMenuItem* Parent, const std::string& Caption) {
        auto* i = new Item(form);
        i->SetCaption(Caption);
        i->OnClick = [this, Caption](TObject*) { clicked.push_back(Caption); };
        Parent->Add(i);
        return i;
    }

    void SetUp() override {
        NewForm(420, 300);
        menu = new TMainMenu2000(form);
        Add(Add(menu->Items(), "&File"), "&New");
        Add(Add(menu->Items(), "&View"), "&Icons");
        form->SetMenu(menu);
        bar = new CountingBar(form);
        bar->SetParent(form);
        bar->Loaded();
        form->Show();
        SetForegroundWindow(form->Handle());
        SetActiveWindow(form->Handle());
        Pump();
        clicked.clear();
    }


    // The bar as its own paint draws it.
    std::unique_ptr<TBitmap> Picture() {
        auto b = std::make_unique<TBitmap>(bar->Width(), bar->Height());
        bar->Perform(WM_PAINT, reinterpret_cast<WPARAM>(b->Canvas().Handle()), 0);
        return b;
    }

    static int Count(TBitmap& B, RECT R, COLORREF C) {
        int n = 0;
        for (int y = R.top; y < R.bottom; ++y)
            for (int x = R.left; x < R.right; ++x) n += GetPixel(B.Canvas().Handle(), x, y) == C;
        return n;
    }

    void Post(UINT Msg, WPARAM Key, LPARAM Data = 1) { PostMessage(form->Handle(), Msg, Key, Data); }
};

// Each glyph source widens its item by its own rule, and the glyph is
// painted at the caption's start (its end right to left).
TEST_F(LookFixture, TopItemsShowTheirGlyphs) {
    struct Case {
        const char* Name;
        bool ClassLibraryItem;
        bool RightToLeft;
        int ExtraWidth;
    } cases[] = {
        {"kit item's bitmap: its width", false, false, 16},
        {"class-library item's bitmap: its width and a gap", true, false, 20},
        {"right to left: the glyph at the item's right end", false, true, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TMenuItem* item = c.ClassLibraryItem ? static_cast<TMenuItem*>(Add<TMenuItem>(menu->Items(), "&Tools"))
                                             : Add(menu->Items(), "&Tools");
        // Measured against a twin without a glyph.
        TMenuItem* twin = Add(menu->Items(), "&Tools");
        FillGlyph(item->Bitmap());
        bar->Options().Alignment = c.RightToLeft ? T_LFM_Alignment::taRightToLeft : T_LFM_Alignment::taLeftJustify;
        bar->Repaint();
        ASSERT_EQ(bar->TopCount(), 4);
        RECT r = bar->TopItemRect(2), t = bar->TopItemRect(3);
        EXPECT_EQ((r.right - r.left) - (t.right - t.left), c.ExtraWidth);
        auto pic = Picture();
        RECT start{r.left, r.top, r.left + 24, r.bottom}, end{r.right - 24, r.top, r.right, r.bottom};
        EXPECT_GT(Count(*pic, c.RightToLeft ? end : start, kRed), 200);
        EXPECT_EQ(Count(*pic, c.RightToLeft ? start : end, kRed), 0);
        EXPECT_EQ(Count(*pic, t, kRed), 0);
        if (c.RightToLeft) EXPECT_EQ(bar->TopItemRect(3).right, bar->Width());
        else EXPECT_EQ(bar->TopItemRect(0).left, 0);
        delete item;
        delete twin;
        Pump();
    }
}

// The keyboard-selected item of the active menu: pressed in with Ctl3D,
// in the highlight colour without.
TEST_F(LookFixture, SelectedItemPressedOrHighlighted) {
    Post(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(WM_SYSKEYUP, VK_MENU, 1 << 29);
    Pump();
    ASSERT_EQ(bar->MenuMode(), 2);
    ASSERT_EQ(bar->SelectedIndex(), 0);
    RECT r = bar->TopItemRect(0);
    COLORREF hl = ColorToRGB(bar->Options().Colors.Highlight);
    for (bool ctl3d : {true, false}) {
        SCOPED_TRACE(ctl3d ? "Ctl3D" : "flat");
        bar->SetCtl3D(ctl3d);
        auto pic = Picture();
        HDC dc = pic->Canvas().Handle();
        if (ctl3d) {
            EXPECT_EQ(Count(*pic, r, hl), 0);
            // The sunken edge: shadow along the top, highlight along the bottom.
            EXPECT_EQ(GetPixel(dc, r.left + 3, r.top), GetSysColor(COLOR_BTNSHADOW));
            EXPECT_EQ(GetPixel(dc, r.left + 3, r.bottom - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
        } else {
            EXPECT_GT(Count(*pic, r, hl), (r.right - r.left) * (r.bottom - r.top) / 2);
        }
    }
}

// The bar's own font when SystemFont is off; its changes, and the
// platform's settings changing, lay the bar out again.
TEST_F(LookFixture, FontAndSettingsChangesLayOutAgain) {
    EXPECT_FALSE(bar->ParentFont());
    EXPECT_TRUE(bar->SystemFont());
    int systemHeight = bar->Height();
    bar->Font().SetHeight(-30);
    EXPECT_EQ(bar->Height(), systemHeight);  // the platform's font still
    bar->SetSystemFont(false);
    int big = bar->Height();
    EXPECT_GT(big, systemHeight + 10);
    bar->Font().SetHeight(-40);
    EXPECT_GT(bar->Height(), big);
    bar->SetParentFont(true);
    bar->SetSystemFont(true);
    EXPECT_FALSE(bar->ParentFont());
    EXPECT_EQ(bar->Height(), systemHeight);

    // A width kept from the last layout goes with the next one.
    bar->SetAlign(alNone);
    bar->StretchToParent = false;
    ASSERT_GT(bar->Width(), bar->TopItemRect(1).right);
    SendMessage(bar->Handle(), WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(bar->Width(), bar->TopItemRect(1).right);
}

// Options reach the layout and the colours with Repaint or Update.
TEST_F(LookFixture, RepaintAndUpdateTakeTheOptions) {
    for (bool update : {false, true}) {
        bar->Options().Alignment = update ? T_LFM_Alignment::taLeftJustify : T_LFM_Alignment::taRightToLeft;
        bar->Options().Colors.Menu = update ? clBlue : clRed;
        EXPECT_EQ(bar->TopItemRect(0).left == 0, !update);  // not yet
        if (update) bar->Update();
        else bar->Repaint();
        EXPECT_EQ(bar->TopItemRect(0).left == 0, update);
        EXPECT_EQ(test::PixelAt(*Picture(), bar->Width() - 2, 2), ColorToRGB(bar->Options().Colors.Menu));
    }
}

// The drop-down measures its items in the bar's own font.
TEST_F(LookFixture, TheDropDownTakesTheBarsFont) {
    auto width = [&] {
        bar->DropDownMenu()->OnPopup = [this](TObject*) { Post(WM_KEYDOWN, VK_ESCAPE); };
        Post(WM_SYSKEYDOWN, 'F', 1 << 29);
        Pump(10);
        bar->ExitMenuMode();
        RECT r = bar->DropDownMenu()->Window()->ItemRect(0);
        return r.right - r.left;
    };
    int system = width();
    bar->SetSystemFont(false);
    bar->Font().SetHeight(-40);
    EXPECT_GT(width(), system + 30);
}

// The parent's picture behind the items, the items themselves on it.
TEST_F(LookFixture, TransparentBarShowsItsParent) {
    form->SetColor(clLime);
    COLORREF lime = ColorToRGB(clLime);
    RECT empty{bar->TopItemRect(1).right + 10, 2, bar->Width() - 2, bar->Height() - 2};
    ASSERT_LT(empty.left, empty.right);
    EXPECT_EQ(Count(*Picture(), empty, lime), 0);
    bar->SetTransparent(true);
    EXPECT_FALSE(bar->ControlStyle().contains(csOpaque));
    auto pic = Picture();
    EXPECT_EQ(Count(*pic, empty, lime), (empty.right - empty.left) * (empty.bottom - empty.top));
    EXPECT_GT(Count(*pic, bar->TopItemRect(0), ColorToRGB(bar->Options().Colors.MenuText)), 0);
    bar->SetTransparent(false);
    EXPECT_TRUE(bar->ControlStyle().contains(csOpaque));
}

// Shortcuts are looked up in the bar's menu and then in the merged menus
// it shows, whether the press or only the release reaches the bar; a menu
// merged from no active document shows nothing and fires nothing.
TEST_F(LookFixture, ShortCutsOfMergedMenus) {
    auto* other = new TMainMenu2000(form);
    TMenuItem2000* tools = Add(other->Items(), "&Tools");
    Add(tools, "&Run")->SetShortCutList("F7");
    Add(menu->Items()->Items(0), "&Print")->SetShortCutList("F5");
    menu->AddMergedMenu(other);
    Pump();
    struct Case {
        const char* Name;
        UINT Msg;
        WPARAM Key;
        std::vector<std::string> Clicked;
    } cases[] = {
        {"own menu's key", WM_KEYDOWN, VK_F5, {"&File", "&Print"}},
        {"own menu's key, only released", WM_SYSKEYUP, VK_F5, {"&File", "&Print"}},
        {"key of a menu not shown", WM_KEYDOWN, VK_F7, {}},
        {"key of a menu not shown, only released", WM_SYSKEYUP, VK_F7, {}},
        {"no item has it", WM_SYSKEYUP, VK_F8, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        clicked.clear();
        Post(c.Msg, c.Key);
        Pump();
        EXPECT_EQ(clicked, c.Clicked);
    }
    menu->RemoveMergedMenu(other);
}

// F1 on the bar's active menu closes it (help for the item) instead of
// keeping the keyboard.
TEST_F(LookFixture, F1LeavesTheActiveMenu) {
    Post(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(WM_SYSKEYUP, VK_MENU, 1 << 29);
    Pump();
    ASSERT_EQ(bar->MenuMode(), 2);
    Post(WM_KEYDOWN, VK_F1);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 0);
}

// A picture given to a top item makes room for itself on the bar.
TEST_F(LookFixture, BitmapChangeLaysOutAgain) {
    auto* view = static_cast<TMenuItem2000*>(menu->Items()->Items(1));
    int before = bar->TopItemRect(1).right;
    TBitmap glyph;
    FillGlyph(glyph);
    view->SetBitmap(glyph);
    test::Pump();
    EXPECT_EQ(bar->TopItemRect(1).right, before + 16);
}

// Each top item with a hint is a tool of the bar's tooltips, while ShowHint.
TEST_F(LookFixture, ToolTipsShowTheTopItemsHints) {
    menu->Items()->Items(1)->SetHint("How the list looks");
    bar->UpdateItems(true);
    EXPECT_EQ(bar->ToolTips(), nullptr);
    bar->SetShowHint(true);
    bar->UpdateItems(true);
    ASSERT_NE(bar->ToolTips(), nullptr);
    RECT r = bar->TopItemRect(1);
    EXPECT_EQ(bar->ToolTips()->TextAt(POINT{r.right + 20, r.top + 2}), "");
    EXPECT_EQ(bar->ToolTips()->TextAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}), "How the list looks");
}

// A main menu put on the form is what a bar without a menu shows.
TEST_F(LookFixture, InsertedMainMenuBecomesTheMenu) {
    struct Bar : TMenuBar2000 {
        using TMenuBar2000::TMenuBar2000;
        void Inserted(TComponent* C) { Notification(C, opInsert); }
    };
    auto* lone = new Bar(form);
    auto* popup = new TPopupMenu2000(form);
    lone->Inserted(popup);
    EXPECT_EQ(lone->Menu(), nullptr);
    lone->Inserted(menu);
    EXPECT_EQ(lone->Menu(), menu);
    auto* other = new TMainMenu2000(form);
    lone->Inserted(other);
    EXPECT_EQ(lone->Menu(), menu);  // one already set stays
    delete lone;
    delete popup;
    delete other;
}

TEST_F(LookFixture, SeveralItemChangesInARowCauseOneLayout) {
    TMenuItem* file = menu->Items()->Items(0);
    bar->Layouts = 0;
    file->SetCaption("&File 1");
    Pump();
    int one = bar->Layouts;
    ASSERT_GT(one, 0);
    bar->Layouts = 0;
    file->SetCaption("&File 12");
    file->SetCaption("&File 123");
    menu->Items()->Items(1)->SetCaption("&View 1");
    Pump();
    EXPECT_EQ(bar->Layouts, one);
}

// A change that came while a drop-down was open shows once it closed.
TEST_F(LookFixture, ChangeDuringDropDownAppliedWhenItCloses) {
    TMenuItem* view = menu->Items()->Items(1);
    int before = bar->TopItemRect(1).right;
    bar->DropDownMenu()->OnPopup = [&](TObject*) {
        view->SetCaption("&View and a much longer caption");
        Post(WM_KEYDOWN, VK_ESCAPE);
    };
    Post(WM_SYSKEYDOWN, 'F', 1 << 29);
    Pump(10);
    ASSERT_FALSE(bar->DropDownMenu()->IsFormOpen());
    EXPECT_GT(bar->TopItemRect(1).right, before + 40);
}

// The top items' actions are brought up to date, hidden ones left alone.
TEST_F(LookFixture, InitiateActionReachesVisibleTopItems) {
    struct Item : TMenuItem2000 {
        using TMenuItem2000::TMenuItem2000;
        int Updates = 0;
        void InitiateAction() override { ++Updates; }
    };
    auto* shown = Add<Item>(menu->Items(), "&Shown");
    auto* hidden = Add<Item>(menu->Items(), "&Hidden");
    hidden->SetVisible(false);
    Pump();
    bar->InitiateAction();
    EXPECT_EQ(shown->Updates, 1);
    EXPECT_EQ(hidden->Updates, 0);
}

// For the eye: a glyph on a top item, the pressed look, right to left, a
// bigger font.
TEST_F(LookFixture, ScreenshotOfTheBarsLooks) {
    TMenuItem2000* tools = Add(menu->Items(), "&Tools");
    FillGlyph(tools->Bitmap());
    bar->Options().Alignment = T_LFM_Alignment::taRightToLeft;
    bar->SetSystemFont(false);
    bar->Font().SetHeight(-18);
    bar->Repaint();
    Post(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(WM_SYSKEYUP, VK_MENU, 1 << 29);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 2);
    Picture()->SaveToFile(test::ArtifactsDir() + "\\menubar-look.bmp");
    bar->SetCtl3D(false);
    bar->Options().Alignment = T_LFM_Alignment::taLeftJustify;
    bar->SetSystemFont(true);
    bar->Repaint();
    Picture()->SaveToFile(test::ArtifactsDir() + "\\menubar-flat.bmp");
}

}  // namespace
}  // namespace bramble
