// The popup menu's font and hint switches: their rules, and the font its
// window measures and paints with.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

struct FontFixture : ::testing::Test {
    TForm* form = nullptr;

    void SetUp() override {
        form = new TForm(nullptr);
        form->AfterConstruction();
        form->SetBounds(100, 100, 400, 300);
        form->Show();
        SetForegroundWindow(form->Handle());
        Pump();
    }
    void TearDown() override {
        CloseActiveMenus(true);
        TCustomForm::Free(form);
        Pump();
    }
};

TEST_F(FontFixture, SwitchRules) {
    using P = TCustomPopupMenu2000;
    struct Case {
        const char* Name;
        bool OwnedByForm, FormShowHint;
        std::function<void(P&)> Change;
        bool ParentFont, SystemFont, FontStored, ShowHint, ParentShowHint;
    } cases[] = {
        {"as constructed", true, false, [](P&) {}, false, true, false, false, false},
        {"ParentFont clears SystemFont", true, false, [](P& p) { p.SetParentFont(true); }, true, false, false, false,
         false},
        {"SystemFont clears ParentFont", true, false,
         [](P& p) {
             p.SetParentFont(true);
             p.SetSystemFont(true);
         },
         false, true, false, false, false},
        {"neither: the Font is kept", true, false, [](P& p) { p.SetSystemFont(false); }, false, false, true, false,
         false},
        {"ParentShowHint takes the form's", true, true, [](P& p) { p.SetParentShowHint(true); }, false, true, false,
         true, true},
        {"a ShowHint of its own clears ParentShowHint", true, true,
         [](P& p) {
             p.SetParentShowHint(true);
             p.SetShowHint(false);
         },
         false, true, false, false, false},
        {"ParentShowHint without an owner control", false, true,
         [](P& p) {
             p.SetShowHint(true);
             p.SetParentShowHint(true);
         },
         false, true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        form->SetShowHint(c.FormShowHint);
        TPopupMenu2000 p(c.OwnedByForm ? form : nullptr);
        c.Change(p);
        EXPECT_EQ(p.ParentFont(), c.ParentFont);
        EXPECT_EQ(p.SystemFont(), c.SystemFont);
        EXPECT_EQ(p.FontStored(), c.FontStored);
        EXPECT_EQ(p.ShowHint(), c.ShowHint);
        EXPECT_EQ(p.ParentShowHint(), c.ParentShowHint);
        EXPECT_TRUE(p.Ctl3D);
    }
}

// The window measures with the owner form's font, the platform's menu font
// or the popup's own Font; only the platform's font sets the item height.
TEST_F(FontFixture, TheWindowsFontInEachCase) {
    auto* menu = new TPopupMenu2000(form);
    menu->Options().Animation = anNone;
    auto* item = new TMenuItem2000(form);
    item->SetCaption("&Properties of the archive");
    menu->Items()->Add(item);
    auto measure = [&](int& Height) {
        EXPECT_FALSE(menu->TrackPopup(150, 150));
        RECT r = menu->Window()->ItemRect(0);
        CloseActiveMenus(true);
        Height = r.bottom - r.top;
        return r.right - r.left;
    };
    int systemHeight = 0;
    const int system = measure(systemHeight);
    struct Case {
        const char* Name;
        bool ParentFont, SystemFont;
        int FormFont, PopupFont;  // heights
        bool Bigger;
    } cases[] = {
        {"the platform's, whatever the Font", false, true, -40, -40, false},
        {"the popup's Font", false, false, -11, -40, true},
        {"the form's", true, false, -40, -11, true},
        {"the form's, not the Font", true, false, -11, -40, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        form->Font().SetHeight(c.FormFont);
        menu->Font().SetHeight(c.PopupFont);
        menu->SetSystemFont(c.SystemFont);
        menu->SetParentFont(c.ParentFont);
        int height = 0, width = measure(height);
        if (c.Bigger) EXPECT_GT(width, system + 100);
        else EXPECT_LT(width, system + 40);
        EXPECT_EQ(height, c.SystemFont ? systemHeight : menu->Options().ItemHeight);
    }
}

// For the eye: a popup with a big font of its own.
TEST_F(FontFixture, ScreenshotOfAPopupWithABigFont) {
    auto* menu = new TPopupMenu2000(form);
    menu->Options().Animation = anNone;
    menu->Options().ItemHeight = 34;
    for (const char* caption : {"&Open...", "&Save", "-", "E&xit"}) {
        auto* item = new TMenuItem2000(form);
        item->SetCaption(caption);
        menu->Items()->Add(item);
    }
    menu->SetSystemFont(false);
    menu->Font().SetHeight(-26);
    menu->Font().SetName("Arial");
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump(5);
    RECT r;
    GetWindowRect(menu->Window()->Handle(), &r);
    TBitmap b(r.right - r.left, r.bottom - r.top);
    menu->Window()->PaintTo(b.Canvas().Handle());
    b.SaveToFile(test::ArtifactsDir() + "\\menu-big-font.bmp");
    EXPECT_GT(r.right - r.left, 120);
}

}  // namespace
}  // namespace bramble
