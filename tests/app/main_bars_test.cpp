// The main window's docks and bars: the menu bar and toolbar on top, the
// Messages window below, the toolbar floated and wrapped, drop-downs under
// their buttons, the View checks following the close buttons, and the
// placement kept through the registry, bad values included. Each look
// leaves a screenshot for a person to check.
#include <climits>

#include "app/settings/settings.h"
#include "main_window.h"

namespace bramble {
namespace {

class MainBars : public MainWindow {
protected:
    // The window closed (its settings written) and made again.
    TfrmMain* Restart() {
        TCustomForm::Free(form_);
        form_ = nullptr;
        TCustomForm::Free(options_);
        options_ = nullptr;
        TfrmMain* f = Make();
        // Floating bars hide while the program is inactive, which a test
        // under a bare X server may well be.
        for (TCustomToolWindow97* w : Bars(f)) w->SetHideWhenInactive(false);
        test::Pump(5);
        return f;
    }
    static std::vector<TCustomToolWindow97*> Bars(TfrmMain* f) {
        return {f->MainMenu981, f->Skiffbar1, f->MsgToolWindow};
    }
    static void WritePos(const std::vector<std::pair<const char*, int>>& Values) {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(SettingsPosKey, true));
        for (const auto& [name, v] : Values) r.WriteInteger(name, v);
    }
    static int ReadPos(const char* Name) {
        TRegistry r;
        if (!r.OpenKeyReadOnly(SettingsPosKey)) return INT_MIN;
        return r.ReadIntegerDef(Name, INT_MIN);
    }
};

RECT ScreenRect(TControl* c) {
    TPoint tl = c->ClientToScreen(Point(0, 0));
    return RECT{tl.X, tl.Y, tl.X + c->Width(), tl.Y + c->Height()};
}

// Where the drop-down menu stood when it was open, then closed.
RECT g_menu_rect{};
TfrmMain* g_shot_form = nullptr;

// The screen under the form and the open menu, as a person sees it: the
// menu is a window of its own, over the form.
void SaveScreen(TfrmMain* f, HWND Menu, const std::string& Name) {
    RECT a, b, u;
    GetWindowRect(f->Handle(), &a);
    GetWindowRect(Menu, &b);
    UnionRect(&u, &a, &b);
    TBitmap shot(u.right - u.left, u.bottom - u.top);
    HDC screen = GetDC(nullptr);
    BitBlt(shot.Canvas().Handle(), 0, 0, u.right - u.left, u.bottom - u.top, screen, u.left, u.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    shot.SaveToFile(test::ArtifactsDir() + "\\" + Name);
}

void CALLBACK NoteAndCloseMenu(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TCustomPopupMenu2000* open = ActivePopup();
    if (open && open->IsFormOpen()) {
        GetWindowRect(open->Window()->Handle(), &g_menu_rect);
        if (g_shot_form) SaveScreen(g_shot_form, open->Window()->Handle(), "bramble-open-dropdown.bmp");
    }
    CloseActiveMenus(true);
}

TEST_F(MainBars, TwoRowsOnTopMessagesBelowFloatingWrappedAndBackAfterARestart) {
    AnswerAll modals;
    TfrmMain* f = Restart();
    f->SetBounds(30, 30, 640, 480);
    test::Pump(5);
    EXPECT_EQ(GetMenu(f->Handle()), nullptr);  // the menu is on its toolbar
    EXPECT_EQ(f->MainMenu981->DockedTo(), f->DockTop);
    EXPECT_EQ(f->Skiffbar1->DockedTo(), f->DockTop);
    EXPECT_EQ(f->MainMenu981->DockRow(), 0);
    EXPECT_EQ(f->Skiffbar1->DockRow(), 1);
    EXPECT_LT(f->MainMenu981->Top() + f->MainMenu981->Height(), f->Skiffbar1->Top() + 1);
    EXPECT_FALSE(f->MainMenu981->CloseButton());
    EXPECT_EQ(f->MainMenu981->Caption(), "Menu Bar");
    EXPECT_EQ(f->Skiffbar1->Caption(), "Toolbar");
    // Six captioned buttons 42 high; Install waits for items.
    EXPECT_FALSE(f->ToolbarButtonInstall->Visible());
    for (TToolbarButton97* b : {f->ToolbarButtonNew, f->ToolbarButtonOpen, f->ToolbarButtonAdd,
                                f->ToolbarButtonExtract, f->ToolbarButtonDel, f->ToolbarButtonView}) {
        EXPECT_TRUE(b->Visible()) << b->Name();
        EXPECT_EQ(b->Height(), 42) << b->Name();
        EXPECT_EQ(b->DisplayMode(), dmBoth) << b->Name();
    }
    EXPECT_TRUE(f->ToolbarButtonOpen->DropdownCombo());
    EXPECT_TRUE(f->ToolbarButtonExtract->DropdownCombo());
    // Messages below the list, the bottom dock above the status bar.
    EXPECT_EQ(f->MsgToolWindow->DockedTo(), f->DockBottom);
    EXPECT_LE(f->ListView1->Top() + f->ListView1->Height(), f->DockBottom->Top());
    EXPECT_EQ(f->DockBottom->Top() + f->DockBottom->Height(), f->StatusBar1->Top());
    EXPECT_EQ(f->ListView1->Top(), f->DockTop->Height());
    test::SaveScreenshot(*f, "bramble-bars-docked.bmp");

    f->Text1->Click();
    test::Pump(5);
    EXPECT_EQ(f->ToolbarButtonView->Height(), 26);
    EXPECT_EQ(f->ToolbarButtonView->DisplayMode(), dmGlyphOnly);
    test::SaveScreenshot(*f, "bramble-bars-notext.bmp");
    f->Text1->Click();
    test::Pump(5);

    // Open's list of recent archives drops from its arrow, under the button.
    const std::string archive = CopyInto(ScratchDir("main-bars"), "plain.zip");
    f->OpenArchive(archive);
    f->mnuClose1->Click();
    g_menu_rect = {};
    g_shot_form = f;
    TNotifyEvent fill = f->PopupMenuOpen->OnPopup;
    f->PopupMenuOpen->OnPopup = [&](TObject* s) {
        fill(s);
        SetTimer(nullptr, 0, 200, NoteAndCloseMenu);
    };
    TToolbarButton97* open = f->ToolbarButtonOpen;
    open->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(open->Width() - 3, 5));
    open->Perform(WM_LBUTTONUP, 0, MAKELPARAM(open->Width() - 3, 5));
    test::Pump(5);
    f->PopupMenuOpen->OnPopup = fill;
    ASSERT_GE(f->PopupMenuOpen->Items()->Count(), 1);
    EXPECT_EQ(f->PopupMenuOpen->Items()->Items(0)->Hint(), archive);
    const RECT button = ScreenRect(open);
    EXPECT_EQ(g_menu_rect.left, button.left);
    EXPECT_EQ(g_menu_rect.top, button.bottom);
    // The arrow only drops the list: no Open dialog was asked for.
    EXPECT_FALSE(modals.AskedAbout("file dialog"));

    // Floated and wrapped into two rows, with its caption and close button.
    f->Skiffbar1->SetFloatingPosition({200, 300});
    f->Skiffbar1->SetDockedTo(nullptr);
    // Room for the first two groups: View goes to a second row.
    f->Skiffbar1->SetFloatRightX(4 + 52 + 60 + 52 + 6 + 60 + 52 + 4);
    test::Pump(10);
    ASSERT_FALSE(f->Skiffbar1->Docked());
    EXPECT_TRUE(f->Skiffbar1->CloseButton());
    EXPECT_TRUE(IsWindowVisible(f->Skiffbar1->Handle()));
    EXPECT_EQ(f->Skiffbar1->LineSeparators().size(), 1u);
    EXPECT_GT(f->ToolbarButtonView->Top(), f->ToolbarButtonOpen->Top());
    EXPECT_EQ(f->DockTop->Height(), f->MainMenu981->Height());  // one row left on top
    test::SaveScreenshot(*f->Skiffbar1, "bramble-toolbar-floating.bmp");
    const TPoint floated = Point(f->Skiffbar1->Left(), f->Skiffbar1->Top());

    // A restart finds everything where it was.
    f = Restart();
    EXPECT_FALSE(f->Skiffbar1->Docked());
    EXPECT_EQ(Point(f->Skiffbar1->Left(), f->Skiffbar1->Top()), floated);
    EXPECT_TRUE(IsWindowVisible(f->Skiffbar1->Handle()));
    EXPECT_EQ(f->MainMenu981->DockedTo(), f->DockTop);
    EXPECT_EQ(f->MsgToolWindow->DockedTo(), f->DockBottom);
    test::SaveScreenshot(*f, "bramble-bars-restarted.bmp");
}

TEST_F(MainBars, PlacesGoThroughTheRegistryAndBadValuesAreTamed) {
    AnswerAll modals;
    TfrmMain* f = Restart();
    // The menu bar on the bottom, the toolbar second on the left dock, the
    // Messages window floating at a size of its own.
    f->MainMenu981->SetDockedTo(f->DockBottom);
    f->Skiffbar1->SetDockPos(40);
    f->Skiffbar1->SetDockedTo(f->DockLeft);
    f->MsgToolWindow->SetFloatingPosition({150, 200});
    f->MsgToolWindow->SetDockedTo(nullptr);
    f->MsgToolWindow->SetClientAreaWidth(300);
    f->MsgToolWindow->SetClientAreaHeight(90);
    test::Pump(5);
    const int toolbarPos = f->Skiffbar1->Top();
    f = Restart();
    EXPECT_EQ(ReadPos("mnuDock"), 3);
    EXPECT_EQ(ReadPos("tbDock"), 4);
    EXPECT_EQ(ReadPos("MsgDock"), 0);
    EXPECT_EQ(f->MainMenu981->DockedTo(), f->DockBottom);
    EXPECT_EQ(f->Skiffbar1->DockedTo(), f->DockLeft);
    // The place along the side dock came back from the stored top.
    EXPECT_EQ(f->Skiffbar1->Top(), toolbarPos);
    EXPECT_EQ(f->Skiffbar1->DockPos(), toolbarPos);
    EXPECT_FALSE(f->MsgToolWindow->Docked());
    EXPECT_EQ(f->MsgToolWindow->ClientWidth(), 300);
    EXPECT_EQ(f->MsgToolWindow->ClientHeight(), 90);
    test::SaveScreenshot(*f, "bramble-bars-moved.bmp");

    // Values nobody should trust.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, int>> values;
        std::function<void(TfrmMain*)> check;
    };
    const Case cases[] = {
        {"rows and places near the limits",
         {{"mnuDock", 1}, {"mnuDockRow", INT_MAX}, {"mnuLeft", INT_MAX}, {"tbDock", 1}, {"tbDockRow", INT_MIN},
          {"tbLeft", INT_MIN}, {"MsgDock", 2}, {"MsgDockRow", INT_MAX}, {"MsgLeft", INT_MAX - 3}},
         [](TfrmMain* f) {
             EXPECT_EQ(f->MainMenu981->DockedTo(), f->DockTop);
             EXPECT_EQ(f->Skiffbar1->DockedTo(), f->DockTop);
             EXPECT_LE(f->DockTop->Height(), 2 * (42 + 4) + 4);  // rows compacted
             EXPECT_GE(f->Skiffbar1->Left(), 0);
             EXPECT_LE(f->MainMenu981->Left(), f->DockTop->ClientWidth());
             EXPECT_EQ(f->MsgToolWindow->DockedTo(), f->DockBottom);
         }},
        {"dock codes that do not exist",
         {{"mnuDock", 9}, {"tbDock", -3}, {"MsgDock", 7}},
         [](TfrmMain* f) {
             EXPECT_EQ(f->MainMenu981->DockedTo(), f->DockTop);
             EXPECT_EQ(f->Skiffbar1->DockedTo(), f->DockTop);
             EXPECT_EQ(f->MsgToolWindow->DockedTo(), f->DockBottom);
         }},
        {"floating far off every screen, sizes out of range",
         {{"mnuDock", 0}, {"mnuLeft", -90000}, {"mnuTop", 2000000000}, {"tbDock", 1}, {"MsgDock", 0},
          {"MsgLeft", 50000}, {"MsgTop", -50000}, {"MsgWidth", 1 << 30}, {"MsgHeight", 5}},
         [work](TfrmMain* f) {
             for (TCustomToolWindow97* w : {static_cast<TCustomToolWindow97*>(f->MainMenu981),
                                            static_cast<TCustomToolWindow97*>(f->MsgToolWindow)}) {
                 SCOPED_TRACE(w->Name());
                 ASSERT_FALSE(w->Docked());
                 RECT r = ScreenRect(w);
                 // Reachable: some of it on the work area.
                 EXPECT_LT(r.left, work.right);
                 EXPECT_GT(r.right, work.left);
                 EXPECT_LT(r.top, work.bottom);
                 EXPECT_GT(r.bottom, work.top);
             }
             EXPECT_EQ(f->MsgToolWindow->ClientHeight(), f->MsgToolWindow->MinClientHeight());
             EXPECT_LE(f->MsgToolWindow->Width(), work.right - work.left + 2 * 8);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TCustomForm::Free(form_);
        form_ = nullptr;
        WritePos(c.values);
        TCustomForm::Free(options_);
        options_ = nullptr;
        f = Make();
        test::Pump(5);
        c.check(f);
        // Put back on their docks for the next case.
        TCustomForm::Free(form_);
        form_ = nullptr;
        WritePos({{"mnuDock", 1}, {"mnuDockRow", 0}, {"mnuLeft", 0}, {"mnuTop", 0}, {"tbDock", 1}, {"tbDockRow", 1},
                  {"tbLeft", 0}, {"tbTop", 0}, {"MsgDock", 2}, {"MsgDockRow", 0}, {"MsgLeft", 0}, {"MsgTop", 0},
                  {"MsgWidth", 400}, {"MsgHeight", 100}});
    }
}

TEST_F(MainBars, ViewChecksFollowTheCloseButtonsAndTheMenuBarRunsTheMenu) {
    AnswerAll modals;
    TfrmMain* f = Restart();
    struct Pair {
        TCustomToolWindow97* bar;
        TMenuItem* check;
    };
    for (Pair p : {Pair{f->Skiffbar1, f->mnuToolbar}, Pair{f->MsgToolWindow, f->mnuErrorMessages1}}) {
        SCOPED_TRACE(p.bar->Name());
        for (bool floating : {false, true}) {
            if (floating) {
                p.bar->SetFloatingPosition({250, 250});
                p.bar->SetDockedTo(nullptr);
                test::Pump(3);
            }
            ASSERT_TRUE(p.check->Checked());
            p.bar->CloseClicked();
            test::Pump(3);
            EXPECT_FALSE(p.bar->Visible());
            EXPECT_FALSE(p.check->Checked());
            p.check->Click();
            test::Pump(3);
            EXPECT_TRUE(p.bar->Visible());
            EXPECT_TRUE(p.check->Checked());
            EXPECT_EQ(p.bar->Docked(), !floating);
        }
    }
    // Hidden through the View menu, which the menu bar drops: the check is
    // stored and comes back.
    f->MenuBar20001->DropDownMenu()->OnPopup = [f](TObject*) { PostMessage(f->Handle(), WM_KEYDOWN, 'T', 1); };
    const RECT v = f->MenuBar20001->TopItemRect(2);
    PostMessage(f->MenuBar20001->Handle(), WM_LBUTTONDOWN, MK_LBUTTON,
                MAKELPARAM((v.left + v.right) / 2, (v.top + v.bottom) / 2));
    test::Pump(10);
    EXPECT_FALSE(f->mnuToolbar->Checked());
    EXPECT_FALSE(f->Skiffbar1->Visible());
    f = Restart();
    EXPECT_FALSE(f->mnuToolbar->Checked());
    EXPECT_FALSE(f->Skiffbar1->Visible());
    EXPECT_EQ(ReadPos("tbVisible"), 0);
    // The shortcuts work without the window's own menu bar.
    EXPECT_TRUE(f->mnuErrorMessages1->Checked());
    EXPECT_TRUE(f->IsShortCut(VK_F1, {ssCtrl}));
    EXPECT_FALSE(f->mnuErrorMessages1->Checked());
}

// A press on the drop-down's own button while its menu is open, as the
// user's second click makes it: the pointer over the arrow, the press and
// the release posted to the bar that holds the button.
TToolbarButton97* g_opener = nullptr;
int g_popups = 0;

void CALLBACK CloseMenuNow(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    CloseActiveMenus(true);
}

void CALLBACK ClickTheOpener(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TWinControl* bar = g_opener->Parent();
    const POINT at{g_opener->Left() + g_opener->Width() - 3, g_opener->Top() + 5};
    POINT screen = at;
    ClientToScreen(bar->Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessage(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessage(bar->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

TEST_F(MainBars, DropDownsAndTheToolbarMenuAreTheKitsAndAClickOnTheOpenerOnlyClosesThem) {
    AnswerAll modals;
    TfrmMain* f = Restart();
    f->SetBounds(30, 30, 640, 480);
    const std::string archive = CopyInto(ScratchDir("main-bars-kit"), "plain.zip");
    f->OpenArchive(archive);
    test::Pump(5);
    for (TToolbarButton97* b : {f->ToolbarButtonOpen, f->ToolbarButtonExtract}) {
        SCOPED_TRACE(b->Name());
        auto* menu = dynamic_cast<TPopupMenu2000*>(b->DropdownMenu());
        ASSERT_NE(menu, nullptr);
        g_opener = b;
        g_popups = 0;
        TNotifyEvent fill = menu->OnPopup;
        menu->OnPopup = [&](TObject* s) {
            fill(s);
            ++g_popups;
            SetTimer(nullptr, 0, 200, ClickTheOpener);
        };
        // The failsafe: a menu the press did not close goes after a while.
        const UINT_PTR failsafe = SetTimer(nullptr, 0, 3000, CloseMenuNow);
        b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b->Width() - 3, 5));
        b->Perform(WM_LBUTTONUP, 0, MAKELPARAM(b->Width() - 3, 5));
        test::Pump(10);
        KillTimer(nullptr, failsafe);
        menu->OnPopup = fill;
        EXPECT_EQ(g_popups, 1);
        EXPECT_FALSE(menu->IsFormOpen());
        EXPECT_FALSE(IsActivePopupOpen());
        // Every item the menu got is the kit's.
        ASSERT_GE(menu->Items()->Count(), 1);
        for (int i = 0; i < menu->Items()->Count(); ++i)
            EXPECT_NE(dynamic_cast<TMenuItem2000*>(menu->Items()->Items(i)), nullptr) << i;
        // Nor did the press run the button's own command.
        EXPECT_FALSE(modals.AskedAbout("file dialog"));
    }
    // On the right dock a drop-down opens to the left of its button.
    f->Skiffbar1->SetDockedTo(f->DockRight);
    test::Pump(5);
    g_menu_rect = {};
    g_shot_form = nullptr;
    TToolbarButton97* open = f->ToolbarButtonOpen;
    TNotifyEvent fill = f->PopupMenuOpen->OnPopup;
    f->PopupMenuOpen->OnPopup = [&](TObject* s) {
        fill(s);
        SetTimer(nullptr, 0, 200, NoteAndCloseMenu);
    };
    open->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(open->Width() - 3, 5));
    open->Perform(WM_LBUTTONUP, 0, MAKELPARAM(open->Width() - 3, 5));
    test::Pump(5);
    f->PopupMenuOpen->OnPopup = fill;
    const RECT button = ScreenRect(open);
    EXPECT_EQ(g_menu_rect.right, button.left);
    EXPECT_EQ(g_menu_rect.top, button.top);
    EXPECT_EQ(f->PopupMenuOpen->Alignment(), paLeft);  // given back
    f->Skiffbar1->SetDockedTo(f->DockTop);
    test::Pump(5);

    // The toolbar's own menu comes from a right-click on it, with its checks.
    ASSERT_EQ(f->Skiffbar1->PopupMenu(), f->PopupMenuTB);
    f->PopupMenuTB->OnPopup = [](TObject*) {
        SetTimer(nullptr, 0, 100, CloseMenuNow);
    };
    RECT tb;
    GetWindowRect(f->Skiffbar1->Handle(), &tb);
    SendMessageA(f->Skiffbar1->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(f->Skiffbar1->Handle()),
                 MAKELPARAM(tb.left + 10, tb.top + 10));
    const int shown = f->PopupMenuTB->Window() ? f->PopupMenuTB->Window()->ShownCount() : -1;
    EXPECT_EQ(shown, 3);
    for (TMenuItem* m : {f->Flat1, f->Text1, f->Tooltips1}) EXPECT_TRUE(m->Checked()) << m->Name();
    EXPECT_FALSE(IsActivePopupOpen());
}

}  // namespace
}  // namespace bramble
