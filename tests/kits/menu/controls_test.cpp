// Item controls in an open kit popup, driven by posted messages: buttons
// and their groups, button-array cells and hints, the edit box's keys and
// clipboard, the end of an edit with its menu, tooltips, and a picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "kits/menu/itemcontrols.h"
#include "kits/menu/menu_form.h"
#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "kits/menu/tooltip.h"
#include "ui/clipboard.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

const COLORREF kCells[4] = {RGB(200, 0, 0), RGB(0, 160, 0), RGB(0, 0, 200), RGB(220, 200, 0)};

struct ControlsFixture : test::MenuFormTest {
    TPopupMenu2000* menu = nullptr;
    TMenuItem2000 *bold = nullptr, *italic = nullptr, *colours = nullptr, *find = nullptr, *logo = nullptr,
                  *plain = nullptr;
    std::vector<std::string> clicked;

    TMenuItem2000* Add(const std::string& Caption, T_LFM_ControlType Kind) {
        auto* i = new TMenuItem2000(form);
        i->SetCaption(Caption);
        i->SetControl(Kind);
        i->OnClick = [this, Caption](TObject*) { clicked.push_back(Caption); };
        menu->Items()->Add(i);
        return i;
    }

    void SetUp() override {
        NewShownForm(400, 300);
        menu = new TPopupMenu2000(form);
        menu->Options().Animation = anNone;
        plain = Add("&Plain", ctlNone);
        plain->SetHint("A plain item");
        bold = Add("Bold", ctlButton);
        bold->SetGroupIndex(1);
        italic = Add("Italic", ctlButton);
        italic->SetGroupIndex(1);
        colours = Add("Colours", ctlButtonArray);
        auto& a = colours->ButtonArray();
        a.SetColumns(4);
        TBitmap& bmp = a.Bitmap();
        bmp.SetSize(64, 16);
        HDC dc = bmp.Canvas().Handle();
        for (int c = 0; c < 4; ++c) {
            RECT r{c * 16, 0, c * 16 + 16, 16};
            HBRUSH b = CreateSolidBrush(kCells[c]);
            FillRect(dc, &r, b);
            DeleteObject(b);
        }
        SetPixel(dc, 0, 0, RGB(255, 0, 255));  // the mask colour
        a.Hints().SetText("Red\nGreen\nBlue\nYellow");
        find = Add("&Find:", ctlEditbox);
        find->Editbox().SetText("abc");
        find->Editbox().MinWidth = 80;
        logo = Add("Logo", ctlBitmap);
        logo->ControlOptions();
        TBitmap& lb = static_cast<T_LFM_BitmapOptions&>(logo->ControlOptions()).Bitmap();
        lb.SetSize(20, 12);
        RECT lr{0, 0, 20, 12};
        HBRUSH b = CreateSolidBrush(RGB(0, 128, 128));
        FillRect(lb.Canvas().Handle(), &lr, b);
        DeleteObject(b);
        Pump();
    }


    TPopupMenu2000Form* Win() { return menu->Window(); }
    int Row(TMenuItem* Item) {
        for (int i = 0; i < Win()->ShownCount(); ++i)
            if (Win()->ShownItem(i) == Item) return i;
        return -1;
    }
    void Open() {
        ASSERT_FALSE(menu->TrackPopup(200, 200));
        ASSERT_TRUE(menu->IsFormOpen());
        Pump();
    }
    void ClickAt(int X, int Y) {
        LPARAM pos = MAKELPARAM(X, Y);
        SetCursorPos(0, 0);
        PostMessage(Win()->Handle(), WM_MOUSEMOVE, 0, pos);
        PostMessage(Win()->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, pos);
        PostMessage(Win()->Handle(), WM_LBUTTONUP, 0, pos);
        Pump();
    }
    void Click(TMenuItem* Item) {
        RECT r = Win()->ItemRect(Row(Item));
        ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    POINT CellCentre(int Cell) {
        RECT r = Win()->ItemRect(Row(colours));
        return POINT{r.left + 2 + Cell * 16 + 8, r.top + 2 + 8};
    }
    void Char(char C) { PostMessage(form->Handle(), WM_CHAR, static_cast<unsigned char>(C), 1); }
    void Key(WPARAM Vk) { PostMessage(form->Handle(), WM_KEYDOWN, Vk, 1); }
};

TEST_F(ControlsFixture, ButtonsToggleAndReleaseTheirGroup) {
    Open();
    Click(bold);
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_TRUE(bold->Button().Down());
    Open();
    Click(italic);
    EXPECT_TRUE(italic->Button().Down());
    EXPECT_FALSE(bold->Button().Down());  // one down per group
    // Without AllowAllUp a grouped button is released only by a sibling.
    italic->Button().AllowAllUp = false;
    Open();
    Click(italic);
    EXPECT_TRUE(italic->Button().Down());
    italic->Button().SetDown(false);
    EXPECT_TRUE(italic->Button().Down());
    bold->Button().SetDown(true);
    EXPECT_FALSE(italic->Button().Down());
    // Typed access checks the kind.
    bold->SetName("Bold1");
    EXPECT_THROW(bold->Editbox(), EMenuError);
    EXPECT_THROW(find->ButtonArray(), EMenuError);
    EXPECT_THROW(static_cast<T_LFM_BitmapOptions&>(logo->ControlOptions()).SetNumGlyphs(5), Exception);
}

TEST_F(ControlsFixture, ButtonArrayCellsHotCellHintsAndTooltips) {
    menu->SetShowHint(true);
    Open();
    auto& a = colours->ButtonArray();
    POINT p = CellCentre(2);
    SetCursorPos(0, 0);
    PostMessage(Win()->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    Pump();
    EXPECT_EQ(a.HotButton(), 2);
    EXPECT_EQ(a.ButtonAtPos(p.x, p.y), 2);
    EXPECT_EQ(Application->Hint(), "Blue");
    // One tool per hinted cell, one per hinted item (Bold, Italic and Find
    // have the standard commands' hints).
    ASSERT_NE(Win()->ToolTips(), nullptr);
    EXPECT_EQ(Win()->ToolTips()->ToolCount(), 8);
    EXPECT_EQ(Win()->ToolTips()->TextAt(p), "Blue");
    RECT pr = Win()->ItemRect(Row(plain));
    EXPECT_EQ(Win()->ToolTips()->TextAt(POINT{pr.left + 5, pr.top + 3}), "A plain item");
    ClickAt(p.x, p.y);
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_EQ(a.ItemIndex(), 2);
    EXPECT_EQ(MenuItemHint(colours), "Blue");
    // A zero-sized bitmap has no cells and divides by nothing.
    a.Bitmap().SetSize(0, 0);
    a.SetRows(0);
    Open();
    RECT r = Win()->ItemRect(Row(colours));
    EXPECT_EQ(a.ButtonAtPos(r.left + 3, r.top + 3), -1);
    TBitmap b(300, 300);
    Win()->PaintTo(b.Canvas().Handle());
    ClickAt(r.left + 3, (r.top + r.bottom) / 2);
    EXPECT_EQ(a.ItemIndex(), 2);  // no cell: the choice stays
}

TEST_F(ControlsFixture, EditBoxKeysClipboardLimitsAndUndo) {
    auto& e = find->Editbox();
    Open();
    Click(find);
    EXPECT_TRUE(menu->IsFormOpen());  // editing, not closing
    ASSERT_EQ(Win()->EditingItem(), find);
    EXPECT_TRUE(e.Editing());
    EXPECT_TRUE(e.CaretTimerRunning());
    Key(VK_END);
    Char('d');
    Char('\t');  // not typed
    Pump();
    EXPECT_EQ(e.Text(), "abcd");
    Key(VK_ESCAPE);  // undoes and ends the edit, the menu stays
    Pump();
    EXPECT_EQ(e.Text(), "abc");
    EXPECT_FALSE(e.Editing());
    EXPECT_FALSE(e.CaretTimerRunning());
    EXPECT_TRUE(menu->IsFormOpen());
    Click(find);
    Key(VK_END);
    Char('!');
    Key(VK_RETURN);
    Pump();
    EXPECT_EQ(e.Text(), "abc!");
    EXPECT_FALSE(e.Editing());

    // Clipboard: a paste fits MaxLength, a read-only box refuses paste and cut.
    e.SetMaxLength(6);
    ASSERT_TRUE(PutTextOnClipboard("12\t345"));
    Click(find);
    Key(VK_END);
    Pump();
    WORD k = 'V';
    e.KeyDown(k, TShiftState{ssCtrl});
    EXPECT_EQ(k, 0);
    EXPECT_EQ(e.Text(), "abc!12");
    k = VK_HOME;
    e.KeyDown(k, TShiftState{ssShift});
    k = 'C';
    e.KeyDown(k, TShiftState{ssCtrl});
    EXPECT_EQ(GetTextFromClipboard(), "abc!12");
    e.SetReadOnly(true);
    k = 'X';
    e.KeyDown(k, TShiftState{ssCtrl});
    k = VK_INSERT;
    e.KeyDown(k, TShiftState{ssShift});
    EXPECT_EQ(e.Text(), "abc!12");
    e.SetReadOnly(false);
    e.SetMaxLength(0);
    ASSERT_TRUE(PutTextOnClipboard("a\tb"));
    k = 'V';
    e.KeyDown(k, TShiftState{ssCtrl});  // replaces the selection, a tab shows as a blank
    EXPECT_EQ(e.Text(), "a b");
    Key(VK_ESCAPE);
    Pump();
    EXPECT_EQ(e.Text(), "abc!");
}

TEST_F(ControlsFixture, AnyCloseEndsTheEditUnaccepted) {
    auto& e = find->Editbox();
    struct Case {
        const char* Name;
        std::function<void()> Close;
    };
    const Case cases[] = {
        {"outside click", [&] { PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); }},
        {"Alt", [&] { PostMessage(form->Handle(), WM_SYSKEYDOWN, VK_MENU, 1 << 29); }},
        {"CloseActiveMenus", [&] { CloseActiveMenus(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Open();
        Click(find);
        ASSERT_TRUE(e.Editing());
        Key(VK_END);
        Char('x');
        Pump();
        ASSERT_EQ(e.Text(), "abcx");
        c.Close();
        Pump();
        EXPECT_FALSE(menu->IsFormOpen());
        EXPECT_FALSE(e.Editing());
        EXPECT_FALSE(e.CaretTimerRunning());
        EXPECT_EQ(e.Text(), "abc");
        // The next showing starts clean: keys move the selection again.
        Open();
        EXPECT_EQ(Win()->EditingItem(), nullptr);
        Key(VK_DOWN);
        Pump();
        EXPECT_EQ(Win()->Selected(), 0);
        EXPECT_EQ(e.Text(), "abc");
        CloseActiveMenus(true);
        Pump();
    }
}

TEST_F(ControlsFixture, PictureOfEachControlKind) {
    bold->Button().SetDown(true);
    colours->ButtonArray().SetItemIndex(1);
    Open();
    RECT wr;
    GetWindowRect(Win()->Handle(), &wr);
    TBitmap b(wr.right - wr.left, wr.bottom - wr.top);
    SendMessage(Win()->Handle(), WM_PRINT, reinterpret_cast<WPARAM>(b.Canvas().Handle()), PRF_CLIENT);
    b.SaveToFile(test::ArtifactsDir() + "\\menu-controls-print.bmp");
    // Button: its frame in the shadow colour, 5 pixels in.
    RECT br = Win()->ItemRect(Row(italic));
    EXPECT_EQ(test::PixelAt(b, br.left + 5, (br.top + br.bottom) / 2), GetSysColor(COLOR_BTNSHADOW));
    // Button array: each cell's colour, drawn 2 in and 1 down.
    RECT ar = Win()->ItemRect(Row(colours));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(test::PixelAt(b, ar.left + 2 + c * 16 + 8, ar.top + 1 + 8), kCells[c]) << c;
    // Edit box: the field in the window colour, right of the caption.
    RECT er = Win()->ItemRect(Row(find));
    EXPECT_EQ(test::PixelAt(b, er.right - 10, (er.top + er.bottom) / 2), GetSysColor(COLOR_WINDOW));
    // Bitmap: the glyph at the item's corner.
    RECT lr = Win()->ItemRect(Row(logo));
    EXPECT_EQ(test::PixelAt(b, lr.left + 3, lr.top + 3), RGB(0, 128, 128));
    // Held open for a look on the screen when asked (editing, a cell hot).
    if (const char* hold = getenv("BRAMBLE_MENU_HOLD_MS")) {
        Click(find);
        Char('!');
        POINT p = CellCentre(3);
        SetCursorPos(0, 0);
        PostMessage(Win()->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        for (DWORD end = GetTickCount() + static_cast<DWORD>(atoi(hold)); GetTickCount() < end;) {
            Pump();
            Sleep(20);
        }
        Key(VK_ESCAPE);
        Pump();
    }
    // Heights: a button is the item height + 6, the array its bitmap + 2.
    EXPECT_EQ(ar.bottom - ar.top, 18);
    EXPECT_EQ((br.bottom - br.top) - (Win()->ItemRect(Row(plain)).bottom - Win()->ItemRect(Row(plain)).top), 6);
}

}  // namespace
}  // namespace bramble
