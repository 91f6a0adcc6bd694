// The popup and the bar driven by real input (the pointer and the
// keyboard as the user moves them): the chevron click, underlined letters,
// Alt and F10 over an open popup, presses elsewhere in menu mode.
#include <gtest/gtest.h>
#include <windows.h>

#include "kits/menu/menu_form.h"
#include "kits/menu/menubar.h"
#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "ui/mdi.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

void Tap(WORD Vk, bool Up = true) {
    keybd_event(static_cast<BYTE>(Vk), 0, 0, 0);
    if (Up) keybd_event(static_cast<BYTE>(Vk), 0, KEYEVENTF_KEYUP, 0);
}
void Release(WORD Vk) { keybd_event(static_cast<BYTE>(Vk), 0, KEYEVENTF_KEYUP, 0); }

void ClickAt(POINT P) {
    SetCursorPos(P.x, P.y);
    Pump();
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Pump();
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

struct KeysFixture : test::MenuFormTest {
    TMainMenu2000* menu = nullptr;
    TMenuBar2000* bar = nullptr;
    TMenuItem2000 *file = nullptr, *view = nullptr, *uue = nullptr;
    TEdit* edit = nullptr;
    std::vector<std::string> clicked;

    TMenuItem2000* Add(TMenuItem* Parent, const std::string& Caption) {
        auto* i = new TMenuItem2000(form);
        i->SetCaption(Caption);
        i->OnClick = [this, Caption](TObject*) { clicked.push_back(Caption); };
        Parent->Add(i);
        return i;
    }

    void SetUp() override {
        SetStateSaving(false);
        NewForm(420, 300);
        menu = new TMainMenu2000(form);
        file = Add(menu->Items(), "&File");
        Add(file, "&Open...");
        uue = Add(file, "&UUEncode...");
        uue->SetHidden(true);
        Add(file, "-");
        Add(file, "E&xit");
        view = Add(menu->Items(), "&View");
        Add(view, "&Icons");
        Add(view, "&Options...");
        form->SetMenu(menu);
        bar = new TMenuBar2000(form);
        bar->SetParent(form);
        bar->Loaded();
        bar->Options().Animation = anSmart;
        edit = new TEdit(form);
        edit->SetParent(form);
        edit->SetBounds(20, 120, 200, 24);
        form->Show();
        SetForegroundWindow(form->Handle());
        SetActiveWindow(form->Handle());
        edit->SetFocus();
        Pump();
        clicked.clear();
    }

    void TearDown() override {
        MenuFormTest::TearDown();
        SetStateSaving(true);
    }

    TCustomPopupMenu2000* Drop() { return bar->DropDownMenu(); }
    bool DropOpen() { return Drop() && Drop()->IsFormOpen(); }
};

// A menu left open by a fault must not hang the run: it is closed after a
// while, and the test then fails on what it checks. So is the platform's
// own keyboard menu (on the window's system menu), whose loop holds ours.
bool g_platformMenu = false;
void CALLBACK Watchdog(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    CloseActiveMenus(true);
    GUITHREADINFO g{};
    g.cbSize = sizeof(g);
    if (GetGUIThreadInfo(GetCurrentThreadId(), &g) && (g.flags & GUI_INMENUMODE)) {
        g_platformMenu = true;
        EndMenu();
    }
}

TEST_F(KeysFixture, TheChevronClickExpandsWithoutChoosingWhatMovesUnderIt) {
    // Opened from the bar (its press still captured) and on its own.
    for (bool fromBar : {true, false}) {
        clicked.clear();
        TPopupMenu2000 own(form);
        own.Options().Animation = anSmart;
        own.SetAttachedItem(file);
        TCustomPopupMenu2000* popup = fromBar ? Drop() : &own;
        bool expanded = false, stillOpen = false;
        auto clickChevron = [&] {
            // The press that opened the drop-down is released first.
            if (fromBar) mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
            Pump();
            TPopupMenu2000Form* f = popup->Window();
            ASSERT_TRUE(f->HasExpandButton());
            RECT wr;
            GetWindowRect(f->Handle(), &wr);
            // The chevron strip at the bottom, where Exit comes to lie.
            ClickAt(POINT{(wr.left + wr.right) / 2, wr.bottom - 9});
            Pump(10);
            expanded = f->Expanded();
            stillOpen = popup->IsFormOpen();
            CloseActiveMenus(true);
        };
        popup->OnPopup = [&](TObject*) { RunLater(clickChevron); };
        UINT_PTR dog = SetTimer(nullptr, 0, 4000, Watchdog);
        if (fromBar) {
            RECT r = bar->TopItemRect(0);
            POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            ClientToScreen(bar->Handle(), &at);
            SetCursorPos(at.x, at.y);
            Pump();
            mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        } else {
            own.Popup(200, 150);
        }
        Pump(20);
        KillTimer(nullptr, dog);
        EXPECT_TRUE(expanded) << fromBar;
        EXPECT_TRUE(stillOpen) << fromBar;
        EXPECT_EQ(clicked, (std::vector<std::string>(fromBar ? 1 : 0, "&File"))) << fromBar;
        popup->OnPopup = nullptr;
    }
}

TEST_F(KeysFixture, AnUnderlinedLetterRunsItsItemAtOnce) {
    struct Case {
        WORD Top, Letter;
        const char* Item;
        bool AltHeld;  // through the letter, else let go after the top one
    };
    for (Case c : {Case{'V', 'O', "&Options...", false}, Case{'F', 'X', "E&xit", false},
                   Case{'V', 'O', "&Options...", true}}) {
        clicked.clear();
        bool opened = false;
        Drop()->OnPopup = [&](TObject*) {
            opened = true;
            RunLater([&] {
                Tap(c.Letter);
                if (c.AltHeld) Release(VK_MENU);
            });
        };
        g_platformMenu = false;
        UINT_PTR dog = SetTimer(nullptr, 0, 4000, Watchdog);
        keybd_event(VK_MENU, 0, 0, 0);
        Tap(c.Top);
        if (!c.AltHeld) Release(VK_MENU);
        Pump(20);
        KillTimer(nullptr, dog);
        EXPECT_TRUE(opened) << c.Item;
        EXPECT_FALSE(g_platformMenu) << c.Item;
        EXPECT_FALSE(DropOpen()) << c.Item;
        ASSERT_EQ(clicked.size(), 2u) << c.Item;
        EXPECT_EQ(clicked[1], c.Item);
        EXPECT_EQ(bar->MenuMode(), 0) << c.Item;
    }
}

TEST_F(KeysFixture, APressWhereTheMenuGrewChoosesNothingUntilThePointerMoves) {
    // The chevron's own delay ends while the button is down on it, or
    // before a click with the pointer resting there; Exit lies there now.
    for (bool held : {true, false}) {
        clicked.clear();
        TPopupMenu2000 own(form);
        own.Options().Animation = anNone;
        own.SetAttachedItem(file);
        own.OnPopup = [&](TObject*) {
            RunLater([&] {
                TPopupMenu2000Form* f = own.Window();
                RECT wr;
                GetWindowRect(f->Handle(), &wr);
                POINT at{(wr.left + wr.right) / 2, wr.bottom - 9};
                SetCursorPos(at.x, at.y);
                Pump();
                if (held) mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
                Pump();
                SendMessage(f->Handle(), WM_TIMER, 2, 0);
                Pump();
                if (held) mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
                else ClickAt(at);
                Pump(10);
                EXPECT_TRUE(f->Expanded()) << held;
                EXPECT_TRUE(own.IsFormOpen()) << held;
                // Moved away and back, the spot is aimed at.
                SetCursorPos(at.x, at.y - 4);
                Pump();
                ClickAt(at);
                Pump(10);
                CloseActiveMenus(true);
            });
        };
        UINT_PTR dog = SetTimer(nullptr, 0, 4000, Watchdog);
        own.Popup(200, 150);
        KillTimer(nullptr, dog);
        EXPECT_EQ(clicked, (std::vector<std::string>{"E&xit"})) << held;
    }
}

void PostTo(HWND W, UINT Msg, WPARAM Key) { PostMessage(W, Msg, Key, Msg == WM_KEYDOWN ? 1 : 1 << 29); }

TEST_F(KeysFixture, AltOrF10OverAnOpenDropDownClosesItWithoutMenuMode) {
    for (WPARAM key : {WPARAM{VK_MENU}, WPARAM{VK_F10}}) {
        HWND w = form->Handle();
        Drop()->OnPopup = [&](TObject*) {
            PostTo(w, WM_SYSKEYDOWN, key);
            PostTo(w, WM_SYSKEYUP, key);
        };
        UINT_PTR dog = SetTimer(nullptr, 0, 4000, Watchdog);
        PostTo(w, WM_SYSKEYDOWN, 'F');
        PostTo(w, WM_SYSKEYUP, 'F');
        Pump(10);
        KillTimer(nullptr, dog);
        EXPECT_FALSE(DropOpen()) << key;
        EXPECT_EQ(bar->MenuMode(), 0) << key;
        // The next Alt enters menu mode as ever.
        PostTo(w, WM_SYSKEYDOWN, VK_MENU);
        PostTo(w, WM_SYSKEYUP, VK_MENU);
        Pump();
        EXPECT_EQ(bar->MenuMode(), 2) << key;
        PostTo(w, WM_KEYDOWN, VK_ESCAPE);
        Pump();
    }
}

TEST_F(KeysFixture, APressElsewhereLeavesMenuModeAndTheKeysGoOn) {
    struct Case {
        UINT Press;
        WPARAM Key;
    };
    for (Case c : {Case{WM_LBUTTONDOWN, VK_MENU}, Case{WM_RBUTTONDOWN, VK_F10}, Case{WM_LBUTTONDOWN, VK_F10}}) {
        edit->SetText("");
        HWND w = form->Handle();
        PostTo(w, WM_SYSKEYDOWN, c.Key);
        PostTo(w, WM_SYSKEYUP, c.Key);
        Pump();
        ASSERT_EQ(bar->MenuMode(), 2);
        PostMessage(edit->Handle(), c.Press, c.Press == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, MAKELPARAM(5, 5));
        // (No right release: the edit's own context menu would open.)
        if (c.Press == WM_LBUTTONDOWN) PostMessage(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        Pump();
        EXPECT_EQ(bar->MenuMode(), 0) << c.Key;
        edit->SetFocus();
        Tap('Q');
        Pump();
        EXPECT_EQ(edit->Text(), "q") << c.Key;
    }
}

TEST_F(KeysFixture, TheFadeInShowsNoFinishedMenuBeforeItsFirstBlend) {
    TPopupMenu2000 own(form);
    own.Options().Animation = anFadeIn;
    own.SetAttachedItem(view);
    ASSERT_FALSE(own.TrackPopup(200, 150));
    HWND w = own.Window()->Handle();
    EXPECT_TRUE(IsWindowVisible(w));
    // No paint waits: the first step blends from the screen.
    EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
    CloseActiveMenus(true);
    Pump();
}

TEST_F(KeysFixture, AKitPopupsShortCutsFireFromItsControl) {
    TPopupMenu2000 context(form);
    TMenuItem2000* copy = Add(context.Items(), "&Copy");
    copy->SetShortCutList("Ctrl+K");
    TMenuItem2000* off = Add(context.Items(), "&Paste");
    off->SetShortCutList("Ctrl+J");
    off->SetEnabled(false);
    edit->SetPopupMenu(&context);
    struct Case {
        WORD Key;
        std::vector<std::string> Clicked;
    };
    for (const Case& c : {Case{'K', {"&Copy"}}, Case{'J', {}}}) {
        clicked.clear();
        edit->SetFocus();
        Pump();
        keybd_event(VK_CONTROL, 0, 0, 0);
        Tap(c.Key);
        Release(VK_CONTROL);
        Pump();
        EXPECT_EQ(clicked, c.Clicked) << char(c.Key);
    }
    edit->SetPopupMenu(nullptr);
}

// Closes the open menus each time it fires, also an outer menu that a
// fault left open without being the active one.
TCustomPopupMenu2000* g_outermost = nullptr;
void CALLBACK RepeatingWatchdog(HWND, UINT, UINT_PTR, DWORD) {
    if (!IsActivePopupOpen() && g_outermost && g_outermost->IsFormOpen()) SetActivePopup(g_outermost);
    CloseActiveMenus(true);
}

POINT ScreenPoint(HWND W, RECT R) {
    POINT p{(R.left + R.right) / 2, (R.top + R.bottom) / 2};
    ClientToScreen(W, &p);
    return p;
}

TEST_F(KeysFixture, AnItemsOwnMenuOpensAsAChildOfTheChainAndEndsWithIt) {
    // Ended by a choice in it (0), a press elsewhere (1), Escape or Left;
    // an outer menu left open takes Down and Enter: Other.
    struct Case {
        WORD End;
        std::vector<std::string> Clicked;
    };
    for (const Case& c : {Case{0, {"&Forget"}}, Case{1, {}}, Case{VK_ESCAPE, {"&Other"}}, Case{VK_LEFT, {"&Other"}}}) {
        clicked.clear();
        TPopupMenu2000 outer(form), inner(form);
        outer.Options().Animation = anNone;
        TMenuItem2000* item = Add(outer.Items(), "&Recent");
        Add(outer.Items(), "&Other");
        Add(inner.Items(), "&Forget");
        item->SetPopupMenu(&inner);
        TObject* sender = nullptr;
        bool asChild = false;
        outer.OnPopup = [&](TObject*) {
            RunLater([&] {
                POINT at = ScreenPoint(outer.Window()->Handle(), outer.Window()->ItemRect(0));
                SetCursorPos(at.x, at.y);
                Pump();
                mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
                mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
            });
        };
        inner.OnPopup = [&](TObject* S) {
            sender = S;
            RunLater([&] {
                TPopupMenu2000Form* shown = outer.GetDeepestForm();
                asChild = shown != outer.Window() && shown->Items() == inner.Items();
                if (!asChild) shown = inner.Window();
                if (c.End == 0) ClickAt(ScreenPoint(shown->Handle(), shown->ItemRect(0)));
                else if (c.End == 1) ClickAt(ScreenPoint(edit->Handle(), RECT{0, 0, 20, 20}));
                else Tap(c.End);
                Pump(5);
                if (shown->IsOpen() || !outer.IsFormOpen()) return;
                Tap(VK_DOWN);
                Tap(VK_RETURN);
            });
        };
        g_outermost = &outer;
        UINT_PTR dog = SetTimer(nullptr, 0, 3000, RepeatingWatchdog);
        outer.Popup(200, 150);
        KillTimer(nullptr, dog);
        g_outermost = nullptr;
        EXPECT_EQ(sender, item) << c.End;
        EXPECT_TRUE(asChild) << c.End;
        EXPECT_EQ(clicked, c.Clicked) << c.End;
    }
}

TEST_F(KeysFixture, F1ShowsAPopUpHelpWhereTheFormHasAHelpButton) {
    std::vector<UINT> asked;
    Application->SetHelpFile("bramble.hlp");
    Application->HelpDispatcher = [&](UINT Command, ULONG_PTR) {
        asked.push_back(Command);
        return true;
    };
    TPopupMenu2000 own(form);
    own.Options().Animation = anNone;
    Add(own.Items(), "&Help me")->SetHelpContext(7);
    file->SetHelpContext(7);
    for (UINT want : {HELP_CONTEXT, HELP_CONTEXTPOPUP}) {
        if (want == HELP_CONTEXTPOPUP) {
            form->SetBorderStyle(bsDialog);
            form->SetBorderIcons({biSystemMenu, biHelp});
        }
        // From the popup, and from the bar in its menu mode.
        ASSERT_FALSE(own.TrackPopup(200, 150));
        for (auto [msg, key] : {std::pair{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_F1}, {WM_SYSKEYDOWN, VK_MENU},
                                {WM_SYSKEYUP, VK_MENU}, {WM_KEYDOWN, VK_F1}}) {
            PostTo(form->Handle(), msg, key);
            Pump();
        }
        EXPECT_EQ(asked, (std::vector<UINT>{want, want}));
        asked.clear();
    }
    Application->HelpDispatcher = nullptr;
    Application->SetHelpFile("");
}

TEST_F(KeysFixture, AMenuOpenedWhileAnotherProgramIsActiveBringsThisOneForward) {
    test::OtherProgramWindow other;
    SetForegroundWindow(other.Handle());
    Pump();
    ASSERT_FALSE(form->Active());
    TPopupMenu2000 own(form);
    Add(own.Items(), "&One");
    ASSERT_FALSE(own.TrackPopup(200, 150));
    EXPECT_EQ(GetForegroundWindow(), Application->Handle());
    CloseActiveMenus(true);
}

template <class F>
struct NcActivateSpy : F {
    using F::F;
    std::vector<WPARAM> Nc;
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_NCACTIVATE) Nc.push_back(M.WParam);
        F::WndProc(M);
    }
};

template <class F>
F* ShownAt(F* Form, int Top) {
    Form->AfterConstruction();
    Form->SetBounds(560, Top, 300, 200);
    Form->Show();
    return Form;
}

TEST_F(KeysFixture, TheActivationAndFocusAMenuIsOfferedGoToItsForm) {
    auto* owner = ShownAt(new NcActivateSpy<TForm>(nullptr), 100);
    auto* frame = ShownAt(new NcActivateSpy<TMDIFrameForm>(nullptr), 400);
    auto* doc = ShownAt(new TMDIChildForm(nullptr, frame), 0);
    // Owned by the forms, freed with them.
    auto* own = new TPopupMenu2000(owner);
    auto* docs = new TPopupMenu2000(doc);
    Add(own->Items(), "&One");
    Add(docs->Items(), "&Two");
    // Still sliding in, the menu hands the focus offered to its form, and
    // so the activation a click offers (it takes none).
    ASSERT_FALSE(own->TrackPopup(600, 150));
    for (UINT msg : {WM_SETFOCUS, WM_MOUSEACTIVATE}) {
        SetForegroundWindow(form->Handle());
        LRESULT r = SendMessage(own->Window()->Handle(), msg, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
        EXPECT_EQ(GetActiveWindow(), owner->Handle()) << msg;
        EXPECT_TRUE(msg == WM_SETFOCUS || r == MA_NOACTIVATE);
    }
    // Activated all the same, a menu keeps its form's caption active; a
    // document's, its frame's.
    for (auto [menu, spy] : {std::pair{own, &owner->Nc}, std::pair{docs, &frame->Nc}}) {
        ASSERT_FALSE(menu->TrackPopup(600, 150));
        spy->clear();
        SendMessage(menu->Window()->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
        EXPECT_EQ(*spy, std::vector<WPARAM>{TRUE});
    }
    CloseActiveMenus(true);
    for (TCustomForm* f : std::initializer_list<TCustomForm*>{doc, frame, owner}) TCustomForm::Free(f);
    Pump();
}

TEST_F(KeysFixture, AChosenHiddenItemShowsTheHiddenDividerBeyondItsHiddenNeighbours) {
    struct Case {
        bool NeighbourHidden, DividerShown;
    };
    for (Case c : {Case{true, true}, Case{false, false}}) {
        TPopupMenu2000 own(form);
        own.Options().Animation = anNone;
        Add(own.Items(), "&Top");
        TMenuItem2000* divider = Add(own.Items(), "-");
        divider->SetHidden(true);
        TMenuItem2000* neighbour = Add(own.Items(), "&Near");
        neighbour->SetHidden(c.NeighbourHidden);
        TMenuItem2000* chosen = Add(own.Items(), "&Chosen");
        chosen->SetHidden(true);
        ASSERT_FALSE(own.TrackPopup(200, 150));
        own.Window()->Expand();
        Pump();
        PostMessage(own.Window()->Handle(), WM_KEYDOWN, 'C', 1);
        Pump();
        EXPECT_FALSE(chosen->Hidden());
        EXPECT_EQ(!divider->Hidden(), c.DividerShown) << c.NeighbourHidden;
        EXPECT_EQ(neighbour->Hidden(), c.NeighbourHidden);
        CloseActiveMenus(true);
        Pump();
    }
}

}  // namespace
}  // namespace bramble
