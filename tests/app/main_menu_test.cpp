// The main window's menu bar: the four menus on the "Menu Bar" toolbar at
// the bar's own width, Alt selecting File unopened and Down opening it with
// its hidden item kept back until the menu is expanded, View's Icons
// submenu beside it, a shortcut running its command, and the app's items
// showing no standard command's shortcut or hint.
#include "main_window.h"

namespace bramble {
namespace {

using MainMenuBar = MainWindow;

void Activate(TfrmMain* f) {
    SetForegroundWindow(f->Handle());
    SetActiveWindow(f->Handle());
    test::Pump(3);
}

// The screen under the form and the open menu, as a person sees it.
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

bool Shows(TPopupMenu2000Form* w, TMenuItem* Item) {
    for (int i = 0; i < w->ShownCount(); ++i)
        if (w->ShownItem(i) == Item) return true;
    return false;
}

// What the File drop-down showed, noted from inside its loop.
struct Seen {
    bool open = false, uuBefore = true, chevron = false, uuAfter = false, exitShown = false;
};
Seen seen;
TfrmMain* g_form = nullptr;

// Once it has grown to show its hidden items again.
void CALLBACK LookAtExpandedFile(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TPopupMenu2000Form* w = g_form->MenuBar20001->DropDownMenu()->Window();
    if (w && w->IsOpen()) SaveScreen(g_form, w->Handle(), "bramble-menu-file-expanded.bmp");
    CloseActiveMenus(true);
}

void CALLBACK LookAtFile(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TPopupMenu2000Form* w = g_form->MenuBar20001->DropDownMenu()->Window();
    if (!w || !w->IsOpen()) return;
    seen.open = true;
    seen.uuBefore = Shows(w, g_form->mnuUUEncode1);
    seen.exitShown = Shows(w, g_form->mnuExit1);
    seen.chevron = w->HasExpandButton();
    SaveScreen(g_form, w->Handle(), "bramble-menu-file-open.bmp");
    w->Expand();
    seen.uuAfter = Shows(w, g_form->mnuUUEncode1);
    SetTimer(nullptr, 0, 400, LookAtExpandedFile);
}

// The View menu with its Icons submenu opened beside it.
struct ViewSeen {
    bool open = false, sub = false;
    RECT menu{}, icons{}, row{};
};
ViewSeen viewSeen;

void CALLBACK LookAtIcons(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TPopupMenu2000Form* w = g_form->MenuBar20001->DropDownMenu()->Window();
    if (w && w->IsOpen() && w->ChildForm() && w->ChildForm()->IsOpen()) {
        viewSeen.sub = true;
        GetWindowRect(w->Handle(), &viewSeen.menu);
        GetWindowRect(w->ChildForm()->Handle(), &viewSeen.icons);
        SaveScreen(g_form, w->ChildForm()->Handle(), "bramble-menu-view-icons.bmp");
    }
    CloseActiveMenus(true);
}

void CALLBACK OpenIcons(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TPopupMenu2000Form* w = g_form->MenuBar20001->DropDownMenu()->Window();
    if (!w || !w->IsOpen()) return;
    viewSeen.open = true;
    for (int i = 0; i < w->ShownCount(); ++i)
        if (w->ShownItem(i) == g_form->mnuIcons) {
            w->SelectItem(i);
            viewSeen.row = w->ItemRect(i);
        }
    w->OpenSubmenu(false);
    SetTimer(nullptr, 0, 400, LookAtIcons);
}

// The pixels of a window as it paints itself.
void Print(TWinControl* c, TBitmap& b) {
    b.SetSize(c->Width(), c->Height());
    c->PaintTo(b.Canvas().Handle(), 0, 0);
}

bool SameArea(TBitmap& A, TBitmap& B, const RECT& R) {
    for (int y = R.top; y < R.bottom; ++y)
        for (int x = R.left; x < R.right; ++x)
            if (test::PixelAt(A, x, y) != test::PixelAt(B, x, y)) return false;
    return true;
}

TEST_F(MainMenuBar, ShowsTheFourMenusAtItsOwnWidthThroughFloatingAndDocking) {
    AnswerAll modals;
    TfrmMain* f = Make();
    TMenuBar2000* bar = f->MenuBar20001;
    EXPECT_EQ(GetMenu(f->Handle()), nullptr);
    EXPECT_EQ(bar->Parent(), f->MainMenu981);
    EXPECT_EQ(bar->Menu(), f->MainMenu1);
    ASSERT_EQ(bar->TopCount(), 4);
    EXPECT_EQ(bar->TopItemRect(3).top, 0);  // one row
    const int width = bar->Width();
    EXPECT_EQ(width, bar->TopItemRect(3).right);
    // Each fit of the toolbar around the bar leaves it as it was.
    for (int i = 0; i < 3; ++i) {
        f->MainMenu981->SetDockedTo(nullptr);
        test::Pump(3);
        f->MainMenu981->SetDockedTo(f->DockTop);
        test::Pump(3);
    }
    EXPECT_EQ(bar->Width(), width);
    EXPECT_LE(f->MainMenu981->ClientWidth(), width + 16);
}

TEST_F(MainMenuBar, AltThenDownOpensFileWithItsHiddenItemBehindTheChevron) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->SetBounds(40, 40, 600, 420);
    Activate(f);
    TMenuBar2000* bar = f->MenuBar20001;
    seen = {};
    g_form = f;
    bar->DropDownMenu()->OnPopup = [](TObject*) { SetTimer(nullptr, 0, 300, LookAtFile); };
    PostMessage(f->Handle(), WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    TBitmap before, after;
    Print(bar, before);
    PostMessage(f->Handle(), WM_SYSKEYUP, VK_MENU, 1 << 29);
    test::Pump(3);
    EXPECT_EQ(bar->MenuMode(), 2);
    EXPECT_EQ(bar->SelectedIndex(), 0);
    // File is drawn selected, the others as they were, and nothing opened.
    EXPECT_FALSE(IsActivePopupOpen());
    Print(bar, after);
    EXPECT_FALSE(SameArea(before, after, bar->TopItemRect(0)));
    for (int i = 1; i < bar->TopCount(); ++i) EXPECT_TRUE(SameArea(before, after, bar->TopItemRect(i))) << i;
    test::SaveScreenshot(*f, "bramble-menu-bar-after-alt.bmp");
    PostMessage(f->Handle(), WM_KEYDOWN, VK_DOWN, 1);
    test::Pump(20);
    EXPECT_TRUE(seen.open);
    EXPECT_TRUE(seen.exitShown);
    EXPECT_FALSE(seen.uuBefore);
    EXPECT_TRUE(seen.chevron);
    EXPECT_TRUE(seen.uuAfter);
    bar->ExitMenuMode();
}

TEST_F(MainMenuBar, ViewShowsItsChecksAndOpensIconsBesideIt) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->SetBounds(40, 40, 600, 420);
    Activate(f);
    TMenuBar2000* bar = f->MenuBar20001;
    viewSeen = {};
    g_form = f;
    bar->DropDownMenu()->OnPopup = [](TObject*) { SetTimer(nullptr, 0, 300, OpenIcons); };
    const RECT v = bar->TopItemRect(2);
    PostMessage(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((v.left + v.right) / 2, (v.top + v.bottom) / 2));
    for (int i = 0; i < 200 && !viewSeen.sub; ++i) test::Pump(5);
    test::Pump(5);
    EXPECT_TRUE(viewSeen.open);
    ASSERT_TRUE(viewSeen.sub);
    // Beside its row: over the menu's right edge by 5, 5 above the row.
    EXPECT_EQ(viewSeen.icons.left, viewSeen.menu.right - 5);
    EXPECT_EQ(viewSeen.icons.top, viewSeen.menu.top + viewSeen.row.top - 5);
    EXPECT_TRUE(f->mnuToolbar->Checked());
    EXPECT_TRUE(f->mnuReport1->Checked());
    EXPECT_FALSE(IsActivePopupOpen());
    bar->ExitMenuMode();
}

TEST_F(MainMenuBar, ShortcutsRunTheirCommandAndTheAppsItemsKeepTheirOwn) {
    AnswerAll modals;
    TfrmMain* f = Make();
    Activate(f);
    // Ctrl+F1, typed on the window, hides the Messages window.
    BYTE keys[256], saved[256];
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    SetKeyboardState(keys);
    ASSERT_TRUE(f->mnuErrorMessages1->Checked());
    PostMessage(f->Handle(), WM_KEYDOWN, VK_F1, 1);
    test::Pump(10);
    SetKeyboardState(saved);
    EXPECT_FALSE(f->mnuErrorMessages1->Checked());
    EXPECT_FALSE(f->MsgToolWindow->Visible());

    // Items without a shortcut of their own show none, and their own hint
    // rather than the standard command's of the same caption.
    struct Case {
        TMenuItem* Item;
        const char* ShortCut;
        const char* Hint;
    };
    for (const Case& c : {Case{f->mnuNew1, "", "Create a new archive"},
                          Case{f->mnuOpen1, "", "Open an archive"},
                          Case{f->SelectAll1, "", "Select every file in the list"},
                          Case{f->mnuView2, "F6", "Open the selected file with its program"},
                          Case{f->mnuClose1, "Ctrl+C", "Close the archive"},
                          Case{f->mnuExit1, "Ctrl+X", "Quit Bramble"}}) {
        auto* k = dynamic_cast<TMenuItem2000*>(c.Item);
        ASSERT_NE(k, nullptr) << c.Item->Name();
        EXPECT_EQ(k->ShortCutList(), c.ShortCut) << c.Item->Name();
        EXPECT_EQ(k->KitHint(), c.Hint) << c.Item->Name();
    }
}

}  // namespace
}  // namespace bramble
