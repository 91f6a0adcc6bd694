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

using P = TCustomPopupMenu2000;

TEST(PopupFont, SwitchRules) {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    struct Case {
        const char* Name;
        bool Owned;  // by the form, which shows hints
        std::function<void(P&)> Change;
        bool ParentFont, SystemFont, FontStored, ShowHint, ParentShowHint;
    } cases[] = {
        {"as constructed", true, [](P&) {}, false, true, false, false, false},
        {"ParentFont clears SystemFont", true, [](P& p) { p.SetParentFont(true); }, true, false, false, false, false},
        {"SystemFont clears ParentFont", true, [](P& p) { p.SetParentFont(true), p.SetSystemFont(true); }, false, true,
         false, false, false},
        {"neither: the Font is kept", true, [](P& p) { p.SetSystemFont(false); }, false, false, true, false, false},
        {"ParentShowHint takes the form's", true, [](P& p) { p.SetParentShowHint(true); }, false, true, false, true,
         true},
        {"a ShowHint of its own clears it", true, [](P& p) { p.SetParentShowHint(true), p.SetShowHint(false); }, false,
         true, false, false, false},
        {"no owner control: no hints", false, [](P& p) { p.SetShowHint(true), p.SetParentShowHint(true); }, false, true,
         false, false, true},
    };
    form->SetShowHint(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPopupMenu2000 p(c.Owned ? form : nullptr);
        c.Change(p);
        EXPECT_EQ((std::vector<bool>{p.ParentFont(), p.SystemFont(), p.FontStored(), p.ShowHint(), p.ParentShowHint()}),
                  (std::vector<bool>{c.ParentFont, c.SystemFont, c.FontStored, c.ShowHint, c.ParentShowHint}));
        EXPECT_TRUE(p.Ctl3D);
    }
    TCustomForm::Free(form);
}

// The owner form's font, the platform's menu font or the popup's own Font;
// only the platform's font sets the item height.
TEST(PopupFont, TheWindowsFontInEachCase) {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    auto* menu = new TPopupMenu2000(form);
    menu->Options().Animation = anNone;
    auto* item = new TMenuItem2000(form);
    item->SetCaption("&Properties of the archive");
    menu->Items()->Add(item);
    auto measure = [&] {
        EXPECT_FALSE(menu->TrackPopup(150, 150));
        RECT r = menu->Window()->ItemRect(0);
        CloseActiveMenus(true);
        return r;
    };
    const RECT system = measure();
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
        RECT r = measure();
        if (c.Bigger) EXPECT_GT(r.right, system.right + 100);
        else EXPECT_LT(r.right, system.right + 40);
        EXPECT_EQ(r.bottom - r.top, c.SystemFont ? system.bottom - system.top : menu->Options().ItemHeight);
    }
    TCustomForm::Free(form);
    test::Pump();
}

}  // namespace
}  // namespace bramble
