// The menu bar on a form: layout and wrapping, Alt and accelerators,
// arrows along the bar, shortcuts only while its form is active, and a
// picture of the bar with a drop-down open.
#include <gtest/gtest.h>
#include <windows.h>

#include "kits/menu/menu_form.h"
#include "kits/menu/menubar.h"
#include "ui/actions.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

struct BarFixture : test::MenuFormTest {
    TMainMenu2000* menu = nullptr;
    TMenuBar2000* bar = nullptr;
    TMenuItem2000 *file = nullptr, *open = nullptr, *view = nullptr, *help = nullptr;
    std::vector<std::string> clicked;

    TMenuItem2000* Add(TMenuItem* Parent, const std::string& Caption) {
        auto* i = new TMenuItem2000(form);
        i->SetCaption(Caption);
        i->OnClick = [this, Caption](TObject*) { clicked.push_back(Caption); };
        Parent->Add(i);
        return i;
    }

    void SetUp() override {
        NewForm(420, 300);
        menu = new TMainMenu2000(form);
        menu->SetName("MainMenu1");
        file = Add(menu->Items(), "&File");
        Add(file, "&New");
        open = Add(file, "&Open...");
        open->SetShortCutList("Ctrl+O;F3");
        Add(file, "-");
        Add(file, "E&xit");
        auto* action = Add(menu->Items(), "&Action");
        Add(action, "&Add");
        view = Add(menu->Items(), "&View");
        Add(view, "&Icons")->SetChecked(true);
        help = Add(menu->Items(), "&Help");
        Add(help, "&About");
        form->SetMenu(menu);
        bar = new TMenuBar2000(form);
        bar->SetParent(form);
        bar->Loaded();
        form->Show();
        SetForegroundWindow(form->Handle());
        SetActiveWindow(form->Handle());
        Pump();
        clicked.clear();
    }


    void Post(UINT Msg, WPARAM Key, LPARAM Data = 1) { PostMessage(form->Handle(), Msg, Key, Data); }
};

TEST_F(BarFixture, TakesTheMenuAndLaysOutItsTopItems) {
    EXPECT_EQ(form->Menu(), nullptr);
    EXPECT_EQ(bar->Menu(), menu);
    ASSERT_EQ(bar->TopCount(), 4);
    EXPECT_EQ(bar->TopItemRect(0).left, 0);
    EXPECT_EQ(bar->TopItemRect(1).left, bar->TopItemRect(0).right);
    EXPECT_EQ(bar->Width(), form->ClientWidth());
    // A narrow parent wraps the items onto a second row.
    form->SetClientWidth(90);
    bar->UpdateItems(true);
    EXPECT_GT(bar->TopItemRect(3).top, 0);
    EXPECT_GT(bar->Height(), bar->TopItemRect(0).bottom);
    // Inside a toolbar that sizes itself the bar keeps its own width.
    form->SetClientWidth(800);
    bar->SetAlign(alNone);
    bar->StretchToParent = false;
    bar->UpdateItems(true);
    EXPECT_EQ(bar->Width(), bar->TopItemRect(3).right);
    // A caption change re-lays the bar out once its notice arrives.
    int before = bar->TopItemRect(1).right;
    file->SetCaption("&File and more");
    file->SetCaption("&File and much more");
    Pump();
    EXPECT_GT(bar->TopItemRect(1).right, before);
}

TEST_F(BarFixture, AltSelectsTheFirstItemArrowsMoveEscapeLeaves) {
    Post(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(WM_SYSKEYUP, VK_MENU, 1 << 29);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 2);
    EXPECT_EQ(bar->SelectedIndex(), 0);
    EXPECT_FALSE(bar->DropDownMenu() && bar->DropDownMenu()->IsFormOpen());
    Post(WM_KEYDOWN, VK_LEFT);
    Pump();
    EXPECT_EQ(bar->SelectedIndex(), 3);  // wraps
    Post(WM_KEYDOWN, VK_RIGHT);
    Post(WM_KEYDOWN, VK_RIGHT);
    Pump();
    EXPECT_EQ(bar->SelectedIndex(), 1);
    Post(WM_KEYDOWN, VK_ESCAPE);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 0);
    // Alt pressed again while in menu mode leaves it, and its release
    // does not enter it again.
    Post(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(WM_SYSKEYUP, VK_MENU, 1 << 29);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 2);
    Post(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(WM_SYSKEYUP, VK_MENU, 1 << 29);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 0);
}

TEST_F(BarFixture, AltLetterOpensAndEnterChooses) {
    // Keys typed once the drop-down is there.
    bar->DropDownMenu()->OnPopup = [&](TObject*) {
        Post(WM_KEYDOWN, VK_DOWN);
        Post(WM_KEYDOWN, VK_RETURN);
    };
    Post(WM_SYSKEYDOWN, 'F', 1 << 29);
    Pump(10);
    EXPECT_EQ(clicked, (std::vector<std::string>{"&File", "&Open..."}));
    EXPECT_EQ(bar->MenuMode(), 0);
    EXPECT_FALSE(bar->DropDownMenu()->IsFormOpen());
}

TEST_F(BarFixture, RightInADropDownMovesAlongTheBar) {
    int shown = 0;
    bar->DropDownMenu()->OnPopup = [&](TObject*) { Post(WM_KEYDOWN, ++shown < 3 ? VK_RIGHT : VK_ESCAPE); };
    Post(WM_SYSKEYDOWN, 'F', 1 << 29);
    Pump(10);
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(bar->SelectedIndex(), 2);
    EXPECT_EQ(bar->MenuMode(), 2);
    EXPECT_FALSE(bar->DropDownMenu()->IsFormOpen());
    Post(WM_KEYDOWN, VK_ESCAPE);
    Pump();
    EXPECT_EQ(bar->MenuMode(), 0);
}

TEST_F(BarFixture, ShortCutsOnlyWhileTheFormIsActiveAndItemsEnabled) {
    Post(WM_KEYDOWN, VK_F3);
    Pump();
    EXPECT_EQ(clicked, (std::vector<std::string>{"&File", "&Open..."}));
    clicked.clear();
    // Under a modal box the form is disabled: its shortcuts wait.
    EnableWindow(form->Handle(), FALSE);
    Post(WM_KEYDOWN, VK_F3);
    Pump();
    EnableWindow(form->Handle(), TRUE);
    EXPECT_TRUE(clicked.empty());
    // A disabled item on the way stops the command.
    file->SetEnabled(false);
    Post(WM_KEYDOWN, VK_F3);
    Pump();
    EXPECT_TRUE(clicked.empty());
    file->SetEnabled(true);
    open->SetEnabled(false);
    Post(WM_KEYDOWN, VK_F3);
    Pump();
    EXPECT_EQ(clicked, std::vector<std::string>{"&File"});
}

TEST_F(BarFixture, AnItemsActionTellsTheBarAndItsKeyRunsIt) {
    auto* same = new TAction(form);
    same->SetCaption("&Help");  // nothing else of the item changes
    help->SetAction(same);
    MSG m{};
    ASSERT_TRUE(PeekMessage(&m, bar->Handle(), LFM_MENUCHANGED, LFM_MENUCHANGED, PM_REMOVE));
    EXPECT_EQ(m.wParam, lfmRebuild);
    auto* run = new TAction(form);
    run->SetShortCut(ShortCut(VK_F9, {}));
    run->OnExecute = [this](TObject*) { clicked.push_back("run"); };
    TMenuItem2000* about = static_cast<TMenuItem2000*>(help->Items(0));
    about->OnClick = nullptr;
    about->SetAction(run);
    EXPECT_EQ(about->ShortCutList(), "F9");
    Post(WM_KEYDOWN, VK_F9);
    Pump();
    EXPECT_EQ(clicked, (std::vector<std::string>{"&Help", "run"}));
}

// The form's own shortcut lookup (when no bar took its menu) fires kit items.
TEST_F(BarFixture, TheFormsShortCutLookupFiresKitItems) {
    form->SetMenu(menu);
    EXPECT_TRUE(form->IsShortCut(VK_F3, {}));
    EXPECT_FALSE(form->IsShortCut(VK_F4, {}));
    EXPECT_EQ(clicked, (std::vector<std::string>{"&File", "&Open..."}));
}

// Posts a message once the current showing has settled: what is posted
// during the showing is taken as pointer noise and dispatched at once.
MSG g_later;
VOID CALLBACK PostLaterProc(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    PostMessage(g_later.hwnd, g_later.message, g_later.wParam, g_later.lParam);
}
void PostLater(HWND W, UINT Msg, WPARAM Wp, LPARAM Lp) {
    g_later = MSG{W, Msg, Wp, Lp, 0, {}};
    SetTimer(nullptr, 0, 100, PostLaterProc);
}

TEST_F(BarFixture, ClickOpensSlidingSwitchesSecondClickCloses) {
    auto centre = [&](int I) {
        RECT r = bar->TopItemRect(I);
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    std::vector<TMenuItem*> shown;
    bar->DropDownMenu()->OnPopup = [&](TObject*) {
        shown.push_back(bar->DropDownMenu()->Window() ? bar->DropDownMenu()->Window()->Items() : nullptr);
        if (shown.size() == 1) PostLater(bar->Handle(), WM_MOUSEMOVE, 0, centre(2));
        else PostLater(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, centre(2));
    };
    PostMessage(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, centre(0));
    Pump(10);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(clicked, (std::vector<std::string>{"&File", "&View"}));
    EXPECT_FALSE(bar->DropDownMenu()->IsFormOpen());
    EXPECT_EQ(bar->MenuMode(), 0);
}

VOID CALLBACK GrabAndEscape(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    HDC screen = GetDC(nullptr);
    TBitmap b(560, 320);
    BitBlt(b.Canvas().Handle(), 0, 0, 560, 320, screen, 80, 80, SRCCOPY);
    ReleaseDC(nullptr, screen);
    b.SaveToFile(test::ArtifactsDir() + "\\menubar-open.bmp");
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
}

TEST_F(BarFixture, ScreenshotOfTheBarWithFileOpen) {
    SetTimer(nullptr, 0, 400, GrabAndEscape);
    Post(WM_SYSKEYDOWN, 'F', 1 << 29);
    for (int i = 0; i < 100 && bar->MenuMode() != 2; ++i) Pump(1);
    for (int i = 0; i < 100 && !bar->DropDownMenu()->IsFormOpen(); ++i) Pump(1);
    Pump(5);
    EXPECT_FALSE(bar->DropDownMenu()->IsFormOpen());
}

}  // namespace
}  // namespace bramble
