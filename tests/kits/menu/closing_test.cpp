// How a popup chain closes: OnMenuClose once per closing, with Cancelled
// when no command was chosen, before the command runs; a faded-in menu
// fades out after a choice and leaves the screen as it found it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "kits/menu/menu_form.h"
#include "kits/menu/menubar.h"
#include "kits/menu/menustate.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

struct CloseFixture : test::MenuFormTest {
    TPopupMenu2000* menu = nullptr;
    std::vector<std::string> events;

    TMenuItem2000* Add(TMenuItem* Parent, const std::string& Caption) {
        auto* i = new TMenuItem2000(form);
        i->SetCaption(Caption);
        i->OnClick = [this, Caption](TObject*) { events.push_back("click " + Caption); };
        Parent->Add(i);
        return i;
    }

    void SetUp() override {
        NewShownForm(400, 300);
        SetActiveWindow(form->Handle());
        menu = new TPopupMenu2000(form);
        menu->Options().Animation = anNone;
        Add(menu->Items(), "&New");
        Add(Add(menu->Items(), "&View"), "&Icons");
        Add(menu->Items(), "E&xit");
        menu->OnMenuClose = [this](TObject*, bool Cancelled) {
            events.push_back(Cancelled ? "closed cancelled" : "closed chosen");
        };
        Pump();
    }

};

TEST_F(CloseFixture, MenuCloseFiresOnceWithCancelledBeforeTheCommand) {
    struct Case {
        std::vector<WPARAM> keys;
        std::vector<std::string> expect;
    } cases[] = {
        {{VK_ESCAPE}, {"closed cancelled"}},
        {{VK_DOWN, VK_RETURN}, {"closed chosen", "click &New"}},
        // A submenu opened and closed again is still one closing.
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE}, {"click &View", "closed cancelled"}},
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, {"click &View", "closed chosen", "click &Icons"}},
        // A click outside the menu.
        {{}, {"closed cancelled"}},
    };
    for (const Case& k : cases) {
        events.clear();
        for (WPARAM key : k.keys) PostMessage(form->Handle(), WM_KEYDOWN, key, 1);
        if (k.keys.empty()) PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        menu->Popup(150, 150);
        EXPECT_EQ(events, k.expect) << k.keys.size();
        EXPECT_FALSE(menu->IsFormOpen());
    }
}

TEST_F(CloseFixture, TheBarGivesItsOnMenuCloseToItsDropDown) {
    auto* main = new TMainMenu2000(form);
    Add(Add(main->Items(), "&File"), "&Open");
    auto* bar = new TMenuBar2000(form);
    bar->SetParent(form);
    bar->SetMenu(main);
    bar->Loaded();
    bar->OnMenuClose = [this](TObject*, bool Cancelled) { events.push_back(Cancelled ? "bar cancelled" : "bar chosen"); };
    // Opened from the keyboard: the first item is selected.
    bar->DropDownMenu()->OnPopup = [this](TObject*) { PostMessage(form->Handle(), WM_KEYDOWN, VK_RETURN, 1); };
    Pump();
    events.clear();
    PostMessage(form->Handle(), WM_SYSKEYDOWN, 'F', 1 << 29);
    Pump(10);
    EXPECT_EQ(events, (std::vector<std::string>{"click &File", "bar chosen", "click &Open"}));
}

// A bar as the hook sees it, neither open nor in menu mode.
struct QuietBar : TMenuBarLink {
    int cleared = 0, exited = 0;
    TMenu* BarMenu() const override { return nullptr; }
    HWND BarHandle() override { return nullptr; }
    bool AcceptsKeys() override { return false; }
    bool BarKeyMessage(const MSG&) override { return false; }
    void ExitMenuMode() override { ++exited; }
    bool OwnsWindow(HWND) override { return false; }
    void ClearPressed() override { ++cleared; }
};

TEST_F(CloseFixture, APressElsewhereClearsTheBarsWithNoMenuOpen) {
    QuietBar bar;
    InstallGetMessageHook();
    MenuBars().push_back(&bar);
    PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessage(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    auto& bars = MenuBars();
    bars.erase(std::find(bars.begin(), bars.end(), &bar));
    RemoveGetMessageHook();
    EXPECT_EQ(bar.cleared, 1);
    EXPECT_EQ(bar.exited, 1);
}

DWORD g_chosen_at = 0;
VOID CALLBACK ChooseFirst(HWND Wnd, UINT, UINT_PTR Id, DWORD) {
    KillTimer(Wnd, Id);
    g_chosen_at = GetTickCount();
    PostMessage(Wnd, WM_KEYDOWN, VK_DOWN, 1);
    PostMessage(Wnd, WM_KEYDOWN, VK_RETURN, 1);
}

VOID CALLBACK Cancel(HWND Wnd, UINT, UINT_PTR Id, DWORD) {
    KillTimer(Wnd, Id);
    PostMessage(Wnd, WM_KEYDOWN, VK_ESCAPE, 1);
}

TEST_F(CloseFixture, AFadedMenuFadesOutAfterAChoiceAndLeavesNothingBehind) {
    menu->Options().Animation = anFadeIn;
    HDC screen = GetDC(nullptr);
    COLORREF before = GetPixel(screen, 190, 165);
    DWORD closedAt = 0;
    menu->Items()->Items(0)->OnClick = [&](TObject*) { events.push_back("click"); };
    menu->OnMenuClose = [&](TObject*, bool) { closedAt = GetTickCount(); };
    // Chosen once the fade-in is over.
    SetTimer(form->Handle(), 77, 500, ChooseFirst);
    menu->Popup(150, 150);
    EXPECT_EQ(events, std::vector<std::string>{"click"});
    EXPECT_FALSE(IsWindowVisible(menu->Window()->Handle()));
    RECT r;
    GetWindowRect(menu->Window()->Handle(), &r);
    EXPECT_TRUE(IsRectEmpty(&r));
    // Twenty steps of 5 ms at least.
    EXPECT_GE(static_cast<int>(closedAt - g_chosen_at), 90);
    Pump();
    EXPECT_EQ(GetPixel(screen, 190, 165), before);
    ReleaseDC(nullptr, screen);
    // Cancelling does not fade, and the menu shows again as it should.
    SetTimer(form->Handle(), 78, 400, Cancel);
    menu->Popup(150, 150);
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_EQ(ActivePopup(), nullptr);
}

}  // namespace
}  // namespace bramble
