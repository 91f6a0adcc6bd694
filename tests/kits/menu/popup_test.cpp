// The kit's popup menu driven by posted messages: keys and mouse, submenus,
// hidden items and their saved state, outside clicks, placement, the
// modal loop's end, and a picture of an open menu.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "kits/menu/menu_form.h"
#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

struct MenuFixture : test::MenuFormTest {
    TPopupMenu2000* menu = nullptr;
    TMenuItem2000 *open = nullptr, *save = nullptr, *uue = nullptr, *view = nullptr, *icons = nullptr,
                  *details = nullptr, *exitItem = nullptr, *disabled = nullptr;
    std::vector<std::string> clicked;

    TMenuItem2000* Add(TMenuItem* Parent, const std::string& Caption, const std::string& Name = "") {
        auto* i = new TMenuItem2000(form);
        i->SetCaption(Caption);
        i->SetName(Name);
        i->OnClick = [this, Caption](TObject*) { clicked.push_back(Caption); };
        Parent->Add(i);
        return i;
    }

    void SetUp() override {
        SetStateSaving(true);
        NewShownForm(400, 300);
        menu = new TPopupMenu2000(form);
        menu->SetName("TestMenu");
        menu->Options().Animation = anNone;
        TMenuItem* root = menu->Items();
        Add(root, "&New");
        open = Add(root, "&Open...");
        save = Add(root, "&Save", "Save1");
        Add(root, "-");
        uue = Add(root, "&UUEncode...", "UUEncode1");
        uue->SetHidden(true);
        view = Add(root, "&View");
        icons = Add(view, "&Icons");
        icons->SetRadioItem(true);
        icons->SetChecked(true);
        details = Add(view, "&Details");
        details->SetRadioItem(true);
        disabled = Add(root, "&Print");
        disabled->SetEnabled(false);
        Add(root, "-");
        exitItem = Add(root, "E&xit");
        Pump();
    }


    void Key(WPARAM Vk) { PostMessage(form->Handle(), WM_KEYDOWN, Vk, 1); }
    TPopupMenu2000Form* Win() { return menu->Window(); }
    std::string SelectedCaption(TPopupMenu2000Form* W) {
        return W->Selected() >= 0 ? W->ShownItem(W->Selected())->Caption() : "";
    }
};

TEST_F(MenuFixture, KeysMoveWrapSkipAndChoose) {
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    ASSERT_TRUE(menu->IsFormOpen());
    // New, Open, Save, -, View, Print, -, Exit: the hidden UUEncode is out.
    EXPECT_EQ(Win()->ShownCount(), 8);
    EXPECT_TRUE(Win()->HasExpandButton());
    CloseActiveMenus(true);
    uue->SetHidden(false);
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    EXPECT_FALSE(Win()->HasExpandButton());
    Key(VK_UP);  // from nothing up: the last item
    Pump();
    EXPECT_EQ(SelectedCaption(Win()), "E&xit");
    Key(VK_DOWN);  // past the end: nothing, then the first
    Pump();
    EXPECT_EQ(Win()->Selected(), kNoItem);
    Key(VK_DOWN);
    Pump();
    EXPECT_EQ(SelectedCaption(Win()), "&New");
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);  // the divider is skipped
    Pump();
    EXPECT_EQ(SelectedCaption(Win()), "&UUEncode...");
    Key(VK_DOWN);
    Pump();
    EXPECT_EQ(SelectedCaption(Win()), "&View");
    Key(VK_RIGHT);
    Pump();
    ASSERT_NE(Win()->ChildForm(), nullptr);
    EXPECT_TRUE(Win()->ChildForm()->IsOpen());
    EXPECT_EQ(SelectedCaption(Win()->ChildForm()), "&Icons");
    Key(VK_LEFT);
    Pump();
    EXPECT_FALSE(Win()->ChildForm()->IsOpen());
    EXPECT_TRUE(menu->IsFormOpen());
    Key(VK_ESCAPE);
    Pump();
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_TRUE(clicked.empty() || clicked == std::vector<std::string>{"&View"});
}

TEST_F(MenuFixture, PopupReturnsAfterTheCommandRunsLast) {
    std::vector<std::string> order;
    menu->OnMenuCommand = [&](TObject*) { order.push_back("command"); };
    save->OnClick = [&](TObject*) {
        order.push_back(menu->IsFormOpen() ? "click while open" : "click");
    };
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RETURN);
    menu->Popup(200, 200);
    EXPECT_EQ(order, (std::vector<std::string>{"command", "click"}));
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_EQ(ActivePopup(), nullptr);
}

TEST_F(MenuFixture, AcceleratorsAndFirstLetters) {
    Key('X');
    menu->Popup(200, 200);
    EXPECT_EQ(clicked, std::vector<std::string>{"E&xit"});
    clicked.clear();
    // A disabled item's accelerator does nothing; the menu stays.
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    Key('P');
    Pump();
    EXPECT_TRUE(menu->IsFormOpen());
    EXPECT_TRUE(clicked.empty());
}

TEST_F(MenuFixture, F1ShowsTheSelectedItemsHelp) {
    std::vector<ULONG_PTR> asked;
    Application->SetHelpFile("bramble.hlp");
    Application->HelpDispatcher = [&](UINT, ULONG_PTR Data) {
        asked.push_back(Data);
        return true;
    };
    open->SetHelpContext(42);
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    Key(VK_DOWN);
    Key(VK_F1);  // New has none: nothing happens
    Key(VK_DOWN);
    Key(VK_F1);
    Pump();
    Application->HelpDispatcher = nullptr;
    Application->SetHelpFile("");
    EXPECT_EQ(asked, std::vector<ULONG_PTR>{42});
    EXPECT_FALSE(menu->IsFormOpen());
}

TEST_F(MenuFixture, CloseQueryKeepsTheMenuOpen) {
    bool allow = false;
    menu->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = allow; };
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    Key(VK_DOWN);
    Key(VK_RETURN);
    Pump();
    EXPECT_TRUE(menu->IsFormOpen());
    allow = true;
    Key(VK_RETURN);
    Pump();
    EXPECT_FALSE(menu->IsFormOpen());
}

TEST_F(MenuFixture, HiddenItemsExpandAndTheChoiceIsSaved) {
    {
        TRegistry r;
        r.SetRootKey(HKEY_CURRENT_USER);
        r.DeleteKey(MenuOrderKeyName("TestMenu"));
    }
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    // Down past the last item expands.
    Key(VK_UP);
    Key(VK_DOWN);
    Pump();
    EXPECT_TRUE(Win()->Expanded());
    ASSERT_EQ(Win()->ShownCount(), 9);
    int at = -1;
    for (int i = 0; i < Win()->ShownCount(); ++i)
        if (Win()->ShownItem(i) == uue) at = i;
    ASSERT_GE(at, 0);
    RECT r = Win()->ItemRect(at);
    LPARAM pos = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SetCursorPos(0, 0);
    PostMessage(Win()->Handle(), WM_MOUSEMOVE, 0, pos);
    PostMessage(Win()->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, pos);
    PostMessage(Win()->Handle(), WM_LBUTTONUP, 0, pos);
    Pump();
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_FALSE(uue->Hidden());
    TRegistry reg;
    ASSERT_TRUE(OpenMenuOrderKey(reg, "TestMenu"));
    EXPECT_EQ(reg.ReadString("UUEncode1"), "Hidden=0");
    // Loading reads the state back; a bad value leaves it; a long one is ignored.
    reg.WriteString("UUEncode1", "Hidden=1");
    reg.WriteString("Save1", "Hidden=x");
    reg.CloseKey();
    LoadMenuState(menu);
    EXPECT_TRUE(uue->Hidden());
    EXPECT_FALSE(save->Hidden());
    // A new showing starts collapsed again.
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    EXPECT_FALSE(Win()->Expanded());
    // Ctrl+Down expands too.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    Key(VK_DOWN);
    Pump();
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(Win()->Expanded());
}

TEST_F(MenuFixture, AllHiddenExpandsItselfAndEmptyIsTransient) {
    auto* only = new TPopupMenu2000(form);
    only->Options().Animation = anNone;
    auto* a = Add(only->Items(), "A");
    a->SetHidden(true);
    ASSERT_FALSE(only->TrackPopup(100, 100));
    EXPECT_EQ(only->Window()->ShownCount(), 1);
    CloseActiveMenus(true);

    auto* empty = new TPopupMenu2000(form);
    empty->Options().Animation = anNone;
    PostMessage(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_FALSE(empty->TrackPopup(100, 100));
    ASSERT_EQ(empty->Window()->ShownCount(), 1);
    EXPECT_EQ(empty->Window()->ShownItem(0)->Caption(), "(Empty)");
    EXPECT_FALSE(empty->Window()->ShownItem(0)->Enabled());
    empty->Popup(100, 100);
    EXPECT_EQ(empty->Items()->Count(), 0);
}

TEST_F(MenuFixture, OutsideClickClosesAndKeysArePeekedOnce) {
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    Key(VK_DOWN);
    MSG m;
    // Looked at without removal, then taken: handled once.
    ASSERT_TRUE(PeekMessage(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
    Pump();
    EXPECT_EQ(SelectedCaption(Win()), "&New");
    PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Pump();
    EXPECT_FALSE(menu->IsFormOpen());
    EXPECT_EQ(ActivePopup(), nullptr);
}

TEST_F(MenuFixture, APressOnTheOpenerClosesAndComesAfterPopupReturns) {
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetBounds(250, 200, 80, 25);
    Pump();
    menu->SetPopupComponent(button);
    HWND bh = button->Handle();
    RECT br;
    GetWindowRect(bh, &br);
    SetCursorPos((br.left + br.right) / 2, (br.top + br.bottom) / 2);
    menu->OnPopup = [&](TObject*) { PostMessage(bh, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); };
    menu->Popup(100, 100);
    EXPECT_FALSE(menu->IsFormOpen());
    // The press was put back: the opener sees it only now (and drops it).
    MSG m;
    EXPECT_TRUE(PeekMessage(&m, bh, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
}

TEST_F(MenuFixture, QuitEndsTheModalLoopAndIsPostedAgain) {
    PostQuitMessage(7);
    menu->Popup(200, 200);
    EXPECT_FALSE(menu->IsFormOpen());
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 7u);
}

TEST_F(MenuFixture, FreedDuringItsCommandIsNotTouched) {
    save->OnClick = [&](TObject*) {
        delete menu;
        menu = nullptr;
    };
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RETURN);
    TPopupMenu2000* m = menu;
    m->Popup(200, 200);
    EXPECT_EQ(menu, nullptr);
    EXPECT_EQ(ActivePopup(), nullptr);
}

TEST_F(MenuFixture, PlacedInsideTheWorkAreaAtTheCorner) {
    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_FALSE(menu->TrackPopup(work.right - 5, work.bottom - 5));
    RECT r;
    GetWindowRect(Win()->Handle(), &r);
    EXPECT_TRUE(Win()->OpensUp());
    EXPECT_GE(r.left, work.left);
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom);
    EXPECT_GE(r.top, work.top);
    // A submenu near the right edge opens on the left of its parent.
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_RIGHT);
    Pump();
    ASSERT_NE(Win()->ChildForm(), nullptr);
    ASSERT_TRUE(Win()->ChildForm()->IsOpen());
    RECT c;
    GetWindowRect(Win()->ChildForm()->Handle(), &c);
    EXPECT_TRUE(Win()->ChildForm()->OpensLeft());
    EXPECT_LT(c.left, r.left);
}

TEST_F(MenuFixture, AnimatedShowingEndsAtFullSize) {
    for (T_LFM_Animation a : {anVSlide, anHSlide, anUnfold, anFadeIn, anSmart, anPopup, anRandom}) {
        menu->Options().Animation = a;
        ASSERT_FALSE(menu->TrackPopup(300, 300));
        for (int i = 0; i < 200 && true; ++i) Pump(1);
        RECT r;
        GetWindowRect(Win()->Handle(), &r);
        EXPECT_GT(r.right - r.left, 60) << int(a);
        EXPECT_GT(r.bottom - r.top, 100) << int(a);
        CloseActiveMenus(true);
    }
}

TEST_F(MenuFixture, SmartAndPopupPlayTheirKindAndLeaveTheWindowSlidingSideways) {
    // Each showing takes the options' kind again: the smart one grows
    // downward, the pop-up one sideways too.
    for (T_LFM_Animation a : {anSmart, anSmart, anPopup, anPopup}) {
        menu->Options().Animation = a;
        ASSERT_FALSE(menu->TrackPopup(300, 300));
        RECT start, end;
        GetWindowRect(Win()->Handle(), &start);
        for (int i = 0; i < 200; ++i) Pump(1);
        GetWindowRect(Win()->Handle(), &end);
        EXPECT_LT(start.bottom - start.top, end.bottom - end.top) << a;
        EXPECT_EQ(start.right - start.left < end.right - end.left, a == anPopup) << a;
        EXPECT_EQ(Win()->Animation(), anHSlide) << a;
        CloseActiveMenus(true);
    }
}

TEST_F(MenuFixture, ScreenshotOfAnOpenMenuAndSubmenu) {
    menu->Options().Title.Visible = true;
    menu->Options().Title.Text = "Bramble";
    menu->Options().Title.Width = 24;
    menu->Options().Title.Font.SetSize(12);
    icons->SetChecked(true);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_RIGHT);
    Pump(10);
    ASSERT_TRUE(Win()->ChildForm() && Win()->ChildForm()->IsOpen());
    RECT r;
    GetWindowRect(Win()->Handle(), &r);
    TBitmap b(r.right - r.left, r.bottom - r.top);
    Win()->PaintTo(b.Canvas().Handle());
    b.SaveToFile(test::ArtifactsDir() + "\\menu-open-print.bmp");
    RECT cr;
    GetWindowRect(Win()->ChildForm()->Handle(), &cr);
    TBitmap sub(cr.right - cr.left, cr.bottom - cr.top);
    Win()->ChildForm()->PaintTo(sub.Canvas().Handle());
    sub.SaveToFile(test::ArtifactsDir() + "\\menu-sub-print.bmp");
    // Expanded, the hidden item shows dithered.
    CloseActiveMenus(true);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Win()->Expand();
    Pump(5);
    GetWindowRect(Win()->Handle(), &r);
    TBitmap e(r.right - r.left, r.bottom - r.top);
    Win()->PaintTo(e.Canvas().Handle());
    e.SaveToFile(test::ArtifactsDir() + "\\menu-expanded-print.bmp");
    CloseActiveMenus(true);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_RIGHT);
    Pump(10);
    // The selected item is highlighted; the frame is drawn.
    COLORREF hl = GetSysColor(COLOR_HIGHLIGHT);
    RECT sel = Win()->ItemRect(Win()->Selected());
    EXPECT_EQ(test::PixelAt(b, sel.left + 3, (sel.top + sel.bottom) / 2), hl);
    Pump(5);
}

TEST_F(MenuFixture, HoverOpensTheSubmenuAfterAPause) {
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    int at = -1;
    for (int i = 0; i < Win()->ShownCount(); ++i)
        if (Win()->ShownItem(i) == view) at = i;
    ASSERT_GE(at, 0);
    RECT r = Win()->ItemRect(at);
    SetCursorPos(1, 1);
    PostMessage(Win()->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    Pump();
    EXPECT_EQ(Win()->Selected(), at);
    EXPECT_FALSE(Win()->ChildForm() && Win()->ChildForm()->IsOpen());
    for (int i = 0; i < 60 && !(Win()->ChildForm() && Win()->ChildForm()->IsOpen()); ++i) {
        Sleep(10);
        Pump(1);
    }
    ASSERT_TRUE(Win()->ChildForm() && Win()->ChildForm()->IsOpen());
    EXPECT_EQ(Win()->ChildForm()->Items(), view);
}

TEST_F(MenuFixture, TallMenusFitAndScrollToTheSelection) {
    auto* tall = new TPopupMenu2000(form);
    tall->Options().Animation = anNone;
    for (int i = 0; i < 150; ++i) Add(tall->Items(), "Setup entry " + std::to_string(i) + ".inf");
    ASSERT_FALSE(tall->TrackPopup(100, 100));
    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    RECT w;
    GetWindowRect(tall->Window()->Handle(), &w);
    EXPECT_LE(w.bottom - w.top, work.bottom - work.top);
    EXPECT_GE(w.top, work.top);
    EXPECT_LE(w.bottom, work.bottom);
    // The last item, chosen from the keyboard, comes into view.
    PostMessage(form->Handle(), WM_KEYDOWN, VK_UP, 1);
    Pump();
    ASSERT_EQ(tall->Window()->Selected(), 149);
    RECT last = tall->Window()->ItemRect(149);
    EXPECT_GT(last.top, 0);
    EXPECT_LE(last.bottom, w.bottom - w.top);
    EXPECT_EQ(tall->Window()->ItemAtPos(20, (last.top + last.bottom) / 2), 149);
}

TEST_F(MenuFixture, StateReadsAreBoundedAndNamelessItemsAreNotSaved) {
    TRegistry reg;
    ASSERT_TRUE(OpenMenuOrderKey(reg, "TestMenu"));
    reg.WriteString("UUEncode1", std::string(5000, 'x') + "Hidden=0");
    reg.CloseKey();
    uue->SetHidden(true);
    LoadMenuState(menu);
    EXPECT_TRUE(uue->Hidden());
    // An item without a name writes nothing.
    auto* nameless = Add(menu->Items(), "Nameless");
    nameless->SetHidden(true);
    SaveMenuItemState(nameless);
    ASSERT_TRUE(OpenMenuOrderKey(reg, "TestMenu"));
    EXPECT_FALSE(reg.ValueExists(""));
}

// An item whose action turns it off when asked.
class ActionGatedItem : public TMenuItem2000 {
public:
    using TMenuItem2000::TMenuItem2000;
    bool allow = true;
    void InitiateAction() override { SetEnabled(allow); }
};

TEST_F(MenuFixture, ShortCutsAskTheActionFirst) {
    auto* gated = new ActionGatedItem(form);
    gated->SetCaption("Gated");
    gated->SetShortCutList("F9");
    int runs = 0;
    gated->OnClick = [&](TObject*) { ++runs; };
    menu->Items()->Add(gated);
    EXPECT_TRUE(KeyMatchesShortCut(VK_F9, menu->Items()));
    EXPECT_EQ(runs, 1);
    gated->allow = false;
    EXPECT_TRUE(KeyMatchesShortCut(VK_F9, menu->Items()));
    EXPECT_EQ(runs, 1);
    // Spelt differently, the same key.
    save->SetShortCutList("shift+del ; ctrl+s");
    EXPECT_EQ(save->StoredShortCutList(), "Shift+Del;Ctrl+S");
    EXPECT_EQ(save->FirstShortCutText(), "Shift+Del");
    EXPECT_TRUE(KeyMatchesShortCut(scShift | VK_DELETE, menu->Items()));
    EXPECT_FALSE(KeyMatchesShortCut(VK_DELETE, menu->Items()));
    EXPECT_THROW(save->SetShortCutList("Ctrl+Foo"), Exception);
    EXPECT_EQ(save->StoredShortCutList(), "Shift+Del;Ctrl+S");
    // Set to none on purpose: the standard command's shortcut is gone.
    auto* copy = Add(menu->Items(), "&Copy");
    EXPECT_EQ(copy->FirstShortCutText(), "Ctrl+C");
    EXPECT_EQ(copy->KitHint(), "Copies the selection to the clipboard");
    copy->SetShortCutList("");
    copy->SetHint("");
    EXPECT_EQ(copy->FirstShortCutText(), "");
    EXPECT_EQ(copy->StoredShortCutList(), "\x01");
    EXPECT_EQ(copy->KitHint(), "");
}

TEST_F(MenuFixture, DraggableMenusTearOffAndCloseWithTheirMenu) {
    menu->Options().Draggable = true;
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    EXPECT_EQ(Win()->ItemAtPos(30, 6), kDragHandle);
    EXPECT_GE(Win()->ItemRect(0).top, 12);
    RECT r;
    GetWindowRect(Win()->Handle(), &r);
    TBitmap b(r.right - r.left, r.bottom - r.top);
    Win()->PaintTo(b.Canvas().Handle());
    b.SaveToFile(test::ArtifactsDir() + "\\menu-draggable-print.bmp");
    PostMessage(Win()->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 6));
    Pump();
    EXPECT_FALSE(menu->IsFormOpen());
    ASSERT_EQ(menu->FloatingCount(), 1);
    TPopupMenu2000Form* f = menu->FloatingWindow(0);
    HWND fw = f->Handle();
    EXPECT_TRUE(IsWindowVisible(fw));
    char caption[64] = {};
    GetWindowTextA(fw, caption, sizeof(caption));
    EXPECT_STREQ(caption, "LFM/2000 Menu");
    EXPECT_NE(f->ItemAtPos(30, 6), kDragHandle);
    {
        RECT fr;
        GetWindowRect(fw, &fr);
        HDC screen = GetDC(nullptr);
        TBitmap shot(fr.right - fr.left, fr.bottom - fr.top);
        BitBlt(shot.Canvas().Handle(), 0, 0, shot.Width(), shot.Height(), screen, fr.left, fr.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
        shot.SaveToFile(test::ArtifactsDir() + "\\menu-floating.bmp");
    }
    // A command on the floating menu runs; the window stays.
    RECT ir = f->ItemRect(2);
    LPARAM pos = MAKELPARAM((ir.left + ir.right) / 2, (ir.top + ir.bottom) / 2);
    PostMessage(fw, WM_LBUTTONDOWN, MK_LBUTTON, pos);
    PostMessage(fw, WM_LBUTTONUP, 0, pos);
    Pump();
    EXPECT_EQ(clicked, std::vector<std::string>{"&Save"});
    EXPECT_TRUE(IsWindowVisible(fw));
    // An outside press leaves it; freeing the menu closes it.
    PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Pump();
    EXPECT_TRUE(IsWindowVisible(fw));
    delete menu;
    menu = nullptr;
    EXPECT_FALSE(IsWindow(fw));
}

TEST_F(MenuFixture, HintsGoToTheStatusBar) {
    auto* status = new TStatusBar(form);
    status->SetParent(form);
    status->SetSimplePanel(true);
    menu->SetStatusBar(status);
    open->SetHint("Short|Opens an&#160archive file");
    ASSERT_FALSE(menu->TrackPopup(200, 200));
    Key(VK_DOWN);
    Pump();
    EXPECT_EQ(status->SimpleText(), "Create a new document");  // the standard command's
    Key(VK_DOWN);
    Pump();
    EXPECT_EQ(status->SimpleText(), "Opens an archive file");
    Key(VK_ESCAPE);
    Pump();
    EXPECT_EQ(status->SimpleText(), "");
}

}  // namespace
}  // namespace bramble
