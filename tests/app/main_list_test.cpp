// The entry list's selection as the user makes it: kept with the records
// across a sort, followed by the status bar whatever changed it, and a
// right-click that selects an entry and shows its menu at once.
#include <windows.h>
#include <commctrl.h>

#include <set>

#include "main_window.h"

namespace bramble {
namespace {

// A popup menu's own loop runs until this ends it.
void CALLBACK CloseMenuSoon(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    CloseActiveMenus(true);
}

// Where the list's menu stood and which way it opened, noted from inside
// its loop.
struct MenuSeen {
    bool open = false, up = false, left = false;
    RECT rect{};
    int items = 0;
};
MenuSeen g_seen;
TfrmMain* g_form = nullptr;

void CALLBACK NoteListMenu(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TPopupMenu2000Form* w = g_form->PopupMenu98List->Window();
    if (w && w->IsOpen()) {
        g_seen.open = true;
        g_seen.up = w->OpensUp();
        g_seen.left = w->OpensLeft();
        g_seen.items = w->ShownCount();
        GetWindowRect(w->Handle(), &g_seen.rect);
        RECT a, u;
        GetWindowRect(g_form->Handle(), &a);
        UnionRect(&u, &a, &g_seen.rect);
        TBitmap shot(u.right - u.left, u.bottom - u.top);
        HDC screen = GetDC(nullptr);
        BitBlt(shot.Canvas().Handle(), 0, 0, u.right - u.left, u.bottom - u.top, screen, u.left, u.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
        shot.SaveToFile(test::ArtifactsDir() + "\\bramble-list-popup-corner.bmp");
    }
    CloseActiveMenus(true);
}

std::set<std::string> SelectedSet(TfrmMain* f) {
    std::vector<std::string> v = f->Entries->SelectedNames();
    return {v.begin(), v.end()};
}

void SelectOnly(TfrmMain* f, const std::set<std::string>& Names) {
    for (int i = 0; i < f->Entries->Count(); ++i)
        f->ListView1->SetIsSelected(i, Names.count(f->Entries->GetEntry(i)->StoredName()) > 0);
}

int RowOf(TfrmMain* f, const std::string& Stored) {
    for (int i = 0; i < f->Entries->Count(); ++i)
        if (f->Entries->GetEntry(i)->StoredName() == Stored) return i;
    return -1;
}

// A right-click as the mouse makes it: the press, and the release the
// control waits for while it decides between a click and a drag.
void RightClick(TfrmMain* f, int X, int Y) {
    HWND h = f->ListView1->Handle();
    PostMessageA(h, WM_RBUTTONUP, 0, MAKELPARAM(X, Y));
    SendMessageA(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(X, Y));
    test::Pump();
}

POINT RowPoint(TfrmMain* f, int Row) {
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageA(f->ListView1->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&r));
    return {r.left + 4, (r.top + r.bottom) / 2};
}

// Keys as the control reads them: the message, with the shift state the
// control asks the keyboard for.
void Key(TfrmMain* f, WORD VKey, bool Shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE saved = keys[VK_SHIFT];
    keys[VK_SHIFT] = Shift ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(f->ListView1->Handle(), WM_KEYDOWN, VKey, 1);
    SendMessageA(f->ListView1->Handle(), WM_KEYUP, VKey, 0xC0000001);
    keys[VK_SHIFT] = saved;
    SetKeyboardState(keys);
    test::Pump();
}

TEST_F(MainWindow, TheSelectionStaysWithTheRecordsAcrossSorts) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump();
    const std::set<std::string> chosen{"hello.txt", "sub\\nested.txt"};
    SelectOnly(f, chosen);
    f->DisplayTotals();
    const std::string totals = f->StatusBar1->Panels()[1]->Text();
    // Size up, size down, name, date: every order moves rows about.
    for (int column : {ecSize, ecSize, ecName, ecModified, ecPacked}) {
        SCOPED_TRACE(column);
        f->Entries->ColumnClick(column);
        test::Pump();
        EXPECT_EQ(SelectedSet(f), chosen);
        EXPECT_EQ(f->ListView1->SelCount(), 2);
        EXPECT_EQ(f->StatusBar1->Panels()[1]->Text(), totals);
    }
    // Delete now would act on exactly these.
    EXPECT_EQ(f->Entries->SelectedNames().size(), 2u);
}

TEST_F(MainWindow, TheStatusBarFollowsEverySelectionChangeOfTheList) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string fresh1 = f->StatusBar1->Panels()[1]->Text();
    const std::string fresh2 = f->StatusBar1->Panels()[2]->Text();
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump();
    f->ListView1->SetFocus();
    struct Case {
        const char* what;
        std::function<void()> act;
        int selected;
    };
    const Case cases[] = {
        {"Shift+Down from the first row",
         [&] {
             f->ListView1->SetItemIndex(0);
             SendMessageA(f->ListView1->Handle(), LVM_SETSELECTIONMARK, 0, 0);
             Key(f, VK_DOWN, true);
         },
         2},
        {"Shift+End from the first row",
         [&] {
             f->ListView1->SetItemIndex(0);
             SendMessageA(f->ListView1->Handle(), LVM_SETSELECTIONMARK, 0, 0);
             Key(f, VK_END, true);
         },
         4},
        {"type-ahead",
         [&] {
             SendMessageA(f->ListView1->Handle(), WM_CHAR, 'h', 1);
             test::Pump();
         },
         1},
        {"right-click on a row", [&] { POINT p = RowPoint(f, RowOf(f, "big.bin")); RightClick(f, p.x, p.y); }, 1},
    };
    f->PopupMenu98List->OnPopup = [](TObject*) {
        SetTimer(nullptr, 0, 20, CloseMenuSoon);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        f->ListView1->ClearSelection();
        f->DisplayTotals();
        ASSERT_EQ(f->ListView1->SelCount(), 0);
        c.act();
        test::Pump(5);
        EXPECT_EQ(f->ListView1->SelCount(), c.selected);
        EXPECT_EQ(f->StatusBar1->Panels()[1]->Text(), f->Entries->SelectedText());
        EXPECT_EQ(f->StatusBar1->Panels()[1]->Text().rfind(std::to_string(c.selected) + " file(s) selected", 0), 0u)
            << f->StatusBar1->Panels()[1]->Text();
    }
    // Closed: no totals of the archive that was open.
    f->mnuClose1->Click();
    test::Pump();
    EXPECT_EQ(f->StatusBar1->Panels()[1]->Text(), fresh1);
    EXPECT_EQ(f->StatusBar1->Panels()[2]->Text(), fresh2);
}

TEST_F(MainWindow, TheFirstRightClickSelectsTheEntryAndShowsItsMenu) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump();
    int popups = 0;
    f->PopupMenu98List->OnPopup = [&](TObject*) {
        ++popups;
        SetTimer(nullptr, 0, 20, CloseMenuSoon);
    };
    const int row = RowOf(f, "hello.txt");
    ASSERT_GE(row, 0);
    POINT p = RowPoint(f, row);
    RightClick(f, p.x, p.y);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(SelectedSet(f), std::set<std::string>{"hello.txt"});
    // Below the last row: nothing is selected and no entry menu comes.
    RECT client{};
    GetClientRect(f->ListView1->Handle(), &client);
    RightClick(f, 10, client.bottom - 4);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(f->ListView1->SelCount(), 0);
}

TEST_F(MainWindow, TheListMenuIsTheKitsAtThePointAndFitsTheScreenCorner) {
    AnswerAll modals;
    TfrmMain* f = Make();
    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    // The window in the bottom-right corner of the work area.
    f->SetBounds(work.right - 560, work.bottom - 400, 560, 400);
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump();
    f->ListView1->SetIsSelected(0, true);
    f->ListView1->SetPopupMenu(f->PopupMenu98List);
    g_form = f;
    f->PopupMenu98List->OnPopup = [](TObject*) { SetTimer(nullptr, 0, 300, NoteListMenu); };
    HWND list = f->ListView1->Handle();
    struct Case {
        const char* what;
        POINT at;  // screen point; -1, -1 from the keyboard
        bool up, left;
    };
    RECT lr;
    GetWindowRect(list, &lr);
    const TPoint mid = f->ListView1->ClientToScreen({f->ListView1->Width() / 2, f->ListView1->Height() / 2});
    const POINT centre{mid.X, mid.Y};
    for (const Case& c : {Case{"mouse in the middle", {lr.left + 20, lr.top + 30}, false, false},
                          Case{"keyboard", {-1, -1}, false, false},
                          Case{"mouse at the corner", {work.right - 3, work.bottom - 3}, true, true}}) {
        SCOPED_TRACE(c.what);
        g_seen = {};
        SendMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(c.at.x, c.at.y));
        test::Pump(3);
        ASSERT_TRUE(g_seen.open);
        EXPECT_EQ(g_seen.items, 2);  // Open, Properties
        EXPECT_EQ(g_seen.up, c.up);
        EXPECT_EQ(g_seen.left, c.left);
        const RECT& r = g_seen.rect;
        EXPECT_GE(r.left, work.left);
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.right, work.right);
        EXPECT_LE(r.bottom, work.bottom);
        const POINT p = c.at.x == -1 ? centre : c.at;
        if (c.up) {
            EXPECT_LE(r.bottom, p.y + 1);
            EXPECT_LT(r.left, p.x);
        } else {
            EXPECT_EQ(r.left, p.x);
            EXPECT_EQ(r.top, p.y);
        }
        EXPECT_FALSE(IsActivePopupOpen());
    }
}

}  // namespace
}  // namespace bramble
