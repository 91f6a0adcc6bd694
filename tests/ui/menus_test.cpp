#include <gtest/gtest.h>

#include <functional>

#include "ui/actions.h"
#include "ui/forms.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

TEST(Shortcuts, TextAndValuesConvertBothWays) {
    EXPECT_EQ(ShortCutToText(ShortCut('C', {ssCtrl})), "Ctrl+C");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {ssShift})), "Shift+Del");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_F3, {})), "F3");
    EXPECT_EQ(ShortCutToText(ShortCut('Z', {ssCtrl, ssShift})), "Shift+Ctrl+Z");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_F2, {ssAlt, ssShift})), "Shift+Alt+F2");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_INSERT, {})), "Ins");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_RETURN, {})), "Enter");
    EXPECT_EQ(ShortCutToText(0), "");
    EXPECT_EQ(TextToShortCut("Ctrl+C"), ShortCut('C', {ssCtrl}));
    EXPECT_EQ(TextToShortCut("ctrl+shift+z"), ShortCut('Z', {ssCtrl, ssShift}));
    EXPECT_EQ(TextToShortCut("Alt+Shift+F2"), ShortCut(VK_F2, {ssAlt, ssShift}));
    EXPECT_EQ(TextToShortCut("F12"), ShortCut(VK_F12, {}));
    EXPECT_EQ(TextToShortCut("Del"), ShortCut(VK_DELETE, {}));
    EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(TextToShortCut("Ctrl+Foo"), 0);
    EXPECT_EQ(TextToShortCut(""), 0);
    for (TShortCut sc : {ShortCut('A', {ssCtrl}), ShortCut(VK_F11, {}), ShortCut(VK_NUMPAD5, {ssShift}),
                         ShortCut(VK_BACK, {ssAlt})})
        EXPECT_EQ(TextToShortCut(ShortCutToText(sc)), sc) << ShortCutToText(sc);
    EXPECT_EQ(ShortCut(0x1FF, {}), 0);  // not a key
}

TEST(Shortcuts, HotkeysAreStrippedAndFound) {
    EXPECT_EQ(StripHotkey("&File"), "File");
    EXPECT_EQ(StripHotkey("Save && E&xit"), "Save & Exit");
    EXPECT_EQ(StripHotkey("trailing&"), "trailing");
    EXPECT_EQ(GetHotkey("Save && E&xit"), 'X');
    EXPECT_EQ(GetHotkey("A && B"), 0);
    EXPECT_EQ(GetHotkey(""), 0);
    EXPECT_TRUE(IsAccel('x', "E&xit"));
    EXPECT_FALSE(IsAccel('e', "E&xit"));
}

TEST(Menus, ItemsFormATreeWithRadioGroupsAndIndexChecks) {
    TComponent owner(nullptr);
    TPopupMenu menu(&owner);
    auto item = [&](const std::string& cap) {
        auto* m = new TMenuItem(&owner);
        m->SetCaption(cap);
        return m;
    };
    TMenuItem* view = item("&View");
    menu.Items()->Add(view);
    TMenuItem* report = item("&Report");
    TMenuItem* list = item("&List");
    TMenuItem* sep = item("-");
    TMenuItem* flat = item("&Flat");
    for (TMenuItem* m : {report, list, sep, flat}) view->Add(m);
    for (TMenuItem* m : {report, list}) {
        m->SetRadioItem(true);
        m->SetGroupIndex(1);
        m->SetAutoCheck(true);
    }
    report->SetChecked(true);
    list->Click();
    EXPECT_TRUE(list->Checked());
    EXPECT_FALSE(report->Checked());
    flat->SetAutoCheck(true);
    flat->Click();
    flat->Click();
    EXPECT_FALSE(flat->Checked());
    EXPECT_EQ(view->Find("list"), list);
    EXPECT_EQ(list->MenuIndex(), 1);
    EXPECT_EQ(list->GetParentMenu(), &menu);
    EXPECT_TRUE(sep->IsLine());
    EXPECT_THROW(view->Add(report), EMenuError);     // already in a menu
    EXPECT_THROW(report->Add(view), EMenuError);     // its own ancestor
    EXPECT_THROW(view->Items(9), EMenuError);
    EXPECT_THROW(view->Remove(item("stray")), EMenuError);
    list->SetMenuIndex(0);
    EXPECT_EQ(view->Items(0), list);
    delete report;
    EXPECT_EQ(view->Count(), 3);
    EXPECT_EQ(FindMenuItemByCommand(list->Command()), list);
    UINT gone = flat->Command();
    delete flat;
    EXPECT_EQ(FindMenuItemByCommand(gone), nullptr);

    // The Win32 menu shows visible items with their shortcut text and state.
    list->SetShortCut(TextToShortCut("Ctrl+L"));
    list->SetEnabled(false);
    sep->SetVisible(false);
    HMENU h = menu.Handle();
    ASSERT_EQ(GetMenuItemCount(h), 1);
    HMENU sub = GetSubMenu(h, 0);
    ASSERT_EQ(GetMenuItemCount(sub), 1);
    char text[64] = {};
    GetMenuStringA(sub, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&List\tCtrl+L");
    EXPECT_TRUE(GetMenuState(sub, 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED);
    // A disabled item's shortcut does nothing; an enabled one clicks.
    int clicks = 0;
    list->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_FALSE(menu.IsShortCut(TextToShortCut("Ctrl+L")));
    list->SetEnabled(true);
    EXPECT_TRUE(menu.IsShortCut(TextToShortCut("Ctrl+L")));
    EXPECT_TRUE(menu.DispatchCommand(list->Command()));
    EXPECT_EQ(clicks, 2);
}

TEST(Menus, AnItemFollowsItsActionAndRunsIt) {
    TMenu menu(nullptr);
    auto* action = new TAction(nullptr);
    action->SetCaption("&Run");
    action->SetShortCut(ShortCut('R', {ssCtrl}));
    int runs = 0, own = 0;
    action->OnExecute = [&](TObject*) { ++runs; };
    auto* item = new TMenuItem(&menu);
    menu.Items()->Add(item);
    item->SetAction(action);
    EXPECT_EQ(item->Caption(), "&Run");
    // The action's own update reaches the item.
    action->OnUpdate = [&](TObject*) { action->SetEnabled(false); };
    item->InitiateAction();
    EXPECT_FALSE(item->Enabled());
    action->OnUpdate = nullptr;
    action->SetEnabled(true);
    EXPECT_TRUE(menu.IsShortCut(ShortCut('R', {ssCtrl})));
    // The item's own handler goes first.
    item->OnClick = [&](TObject*) { ++own; };
    item->Click();
    EXPECT_EQ(runs * 10 + own, 11);
    // A freed action leaves the item as it was.
    delete action;
    EXPECT_EQ(item->Action(), nullptr);
    EXPECT_EQ(item->Caption(), "&Run");
    // Linked while the action loads: what the item has set stays.
    TAction loading(nullptr);
    loading.BeginLoading();
    loading.SetCaption("&Other");
    TMenuItem mine(nullptr);
    mine.SetCaption("&Mine");
    mine.SetAction(&loading);
    EXPECT_EQ(mine.Caption(), "&Mine");
}

TEST(Menus, ItemChangesReachTheBuiltMenuInPlace) {
    auto* form = new TForm(nullptr);
    auto* menu = new TMainMenu(form);
    auto item = [&](TMenuItem* parent, const std::string& cap) {
        auto* m = new TMenuItem(form);
        m->SetCaption(cap);
        parent->Add(m);
        return m;
    };
    TMenuItem* file = item(menu->Items(), "&File");
    TMenuItem* open = item(file, "&Open");
    TMenuItem* test = item(file, "&Test");
    TMenuItem* recent = item(file, "&Recent");
    TMenuItem* first = item(recent, "first.zip");
    form->SetMenu(menu);
    form->AfterConstruction();
    form->Show();
    test::Pump();
    const HMENU bar = GetMenu(form->Handle());
    const HMENU drop = GetSubMenu(bar, 0);
    const HMENU sub = GetSubMenu(drop, 2);
    ASSERT_TRUE(bar && drop && sub);
    auto state = [&](TMenuItem* m) { return GetMenuState(bar, m->Command(), MF_BYCOMMAND); };
    auto text = [&](TMenuItem* m) {
        char t[64] = {};
        GetMenuStringA(bar, m->Command(), t, sizeof t, MF_BYCOMMAND);
        return std::string(t);
    };
    struct Change {
        const char* what;
        std::function<void()> make;
        std::function<bool()> shows;
    };
    TMenuItem* added = nullptr;
    const Change changes[] = {
        {"disable", [&] { test->SetEnabled(false); }, [&] { return (state(test) & MF_GRAYED) != 0; }},
        {"check", [&] { open->SetChecked(true); }, [&] { return (state(open) & MF_CHECKED) != 0; }},
        {"caption", [&] { test->SetCaption("&Check"); }, [&] { return text(test) == "&Check"; }},
        {"shortcut", [&] { open->SetShortCut(TextToShortCut("Ctrl+O")); },
         [&] { return text(open) == "&Open\tCtrl+O"; }},
        {"hide", [&] { open->SetVisible(false); }, [&] { return GetMenuItemCount(drop) == 2; }},
        {"show", [&] { open->SetVisible(true); }, [&] { return GetMenuItemCount(drop) == 3 && GetSubMenu(drop, 2) == sub; }},
        {"add below", [&] { added = item(recent, "second.zip"); }, [&] { return GetMenuItemCount(sub) == 2; }},
        {"move", [&] { added->SetMenuIndex(0); }, [&] { return GetMenuItemID(sub, 0) == added->Command(); }},
        {"delete", [&] { delete first; }, [&] { return GetMenuItemCount(sub) == 1; }},
        {"bar item", [&] { file->SetEnabled(false); }, [&] { return (state(file) & MF_GRAYED) != 0; }},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        c.make();
        EXPECT_TRUE(c.shows());
        // The same menus stand: nothing was rebuilt, nothing open destroyed.
        EXPECT_EQ(GetMenu(form->Handle()), bar);
        EXPECT_EQ(GetSubMenu(bar, 0), drop);
        EXPECT_TRUE(IsMenu(sub));
    }
    // An item that loses its last subitem is a plain item again.
    delete added;
    EXPECT_EQ(GetSubMenu(drop, 2), nullptr);
    EXPECT_FALSE(IsMenu(sub));
    TCustomForm::Free(form);
}

// What a change made while a popup menu was open found.
struct OpenMenuChange {
    TPopupMenu* pm;
    TMenuItem *extract, *hidden;
    HMENU open = nullptr;
    bool alive = false, same = false, greyed = false;
    int count = 0;
} g_open;

void CALLBACK ChangeOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
    if (g_open.open) return;
    g_open.open = g_open.pm->Handle();
    g_open.extract->SetEnabled(false);
    g_open.hidden->SetVisible(true);
    g_open.alive = IsMenu(g_open.open) != FALSE;
    g_open.same = g_open.pm->Handle() == g_open.open;
    g_open.greyed = (GetMenuState(g_open.open, g_open.extract->Command(), MF_BYCOMMAND) & MF_GRAYED) != 0;
    g_open.count = GetMenuItemCount(g_open.open);
    EndMenu();
}

TEST(Menus, AChangeWhileThePopupIsOpenLeavesTheOpenMenuStanding) {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    auto* pm = new TPopupMenu(form);
    auto item = [&](const std::string& cap) {
        auto* m = new TMenuItem(form);
        m->SetCaption(cap);
        pm->Items()->Add(m);
        return m;
    };
    TMenuItem* extract = item("&Extract");
    TMenuItem* hidden = item("&Install");
    hidden->SetVisible(false);
    form->Show();
    test::Pump();
    g_open = {pm, extract, hidden};
    // While the menu loop runs, a timer changes the items, then ends it.
    UINT_PTR timer = SetTimer(nullptr, 0, 50, ChangeOpenMenu);
    pm->Popup(100, 100);
    KillTimer(nullptr, timer);
    ASSERT_NE(g_open.open, nullptr) << "the timer never ran inside the menu loop";
    EXPECT_TRUE(g_open.alive);
    EXPECT_TRUE(g_open.same);
    EXPECT_TRUE(g_open.greyed);
    EXPECT_EQ(g_open.count, 2);
    TCustomForm::Free(form);
}

// The menu kit replaces showing: a popup whose Popup records the call.
class TRecordingPopup : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    std::vector<TPoint> shown;
    void Popup(int X, int Y) override {
        DoPopup(this);
        shown.push_back({X, Y});
    }
};

TEST(Menus, ContextMenuOfAWindowlessControlGoesThroughTheReplaceablePopup) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 200, 100);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 80, 30);
    auto* pm = new TRecordingPopup(form);
    int popups = 0;
    pm->OnPopup = [&](TObject*) { ++popups; };
    label->SetPopupMenu(pm);
    form->Show();
    test::Pump();
    HWND h = form->Handle();
    SendMessageA(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    SendMessageA(h, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    test::Pump();
    ASSERT_EQ(pm->shown.size(), 1u);
    EXPECT_EQ(pm->shown[0], form->ClientToScreen({20, 20}));
    EXPECT_EQ(pm->PopupComponent(), label);
    EXPECT_EQ(popups, 1);
    // Outside the label the form has no popup menu: nothing shows.
    SendMessageA(h, WM_RBUTTONUP, 0, MAKELPARAM(150, 80));
    test::Pump();
    EXPECT_EQ(pm->shown.size(), 1u);
    // The popup forgets a freed popup component.
    delete label;
    EXPECT_EQ(pm->PopupComponent(), nullptr);
    TCustomForm::Free(form);
}

}  // namespace
}  // namespace bramble
