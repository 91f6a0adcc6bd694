// The menu bar on a document frame: merging with the active document's
// menu by group index, the maximised document's icon and caption buttons,
// its system menu from the icon and from Alt+numeric minus, and a picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "kits/menu/menubar.h"
#include "ui/mdi.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

struct MDIFixture : ::testing::Test {
    TMDIFrameForm* frame = nullptr;
    TMainMenu2000* menu = nullptr;
    TMenuBar2000* bar = nullptr;

    static TMenuItem2000* Add(TMenu* Menu, TMenuItem* Parent, const std::string& Caption, uint8_t Group = 0) {
        auto* i = new TMenuItem2000(Menu);
        i->SetCaption(Caption);
        i->SetGroupIndex(Group);
        Parent->Add(i);
        return i;
    }

    void SetUp() override {
        frame = new TMDIFrameForm(nullptr);
        frame->AfterConstruction();
        frame->SetBounds(60, 60, 560, 400);
        menu = new TMainMenu2000(frame);
        Add(menu, Add(menu, menu->Items(), "&File", 0), "&New");
        Add(menu, Add(menu, menu->Items(), "&Edit", 1), "&Copy");
        Add(menu, Add(menu, menu->Items(), "&Window", 5), "&Cascade");
        Add(menu, Add(menu, menu->Items(), "&Help", 9), "&About");
        frame->SetMenu(menu);
        bar = new TMenuBar2000(frame);
        bar->SetParent(frame);
        bar->Loaded();
        frame->Show();
        SetForegroundWindow(frame->Handle());
        Pump();
    }

    std::vector<std::pair<TMDIChildForm*, TAliveToken>> children;

    void TearDown() override {
        CloseActiveMenus(true);
        for (auto& [c, alive] : children)
            if (alive.Alive()) TCustomForm::Free(c);
        TCustomForm::Free(frame);
        Pump();
    }

    // A document whose menu brings top items of the given groups.
    TMDIChildForm* Child(const std::vector<std::pair<std::string, uint8_t>>& Tops,
                         TBorderIcons Icons = {biSystemMenu, biMinimize, biMaximize}) {
        auto* c = new TMDIChildForm(nullptr, frame);
        c->AfterConstruction();
        c->SetBorderIcons(Icons);
        c->SetBounds(10, 10, 240, 160);
        auto* m = new TMainMenu2000(c);
        for (auto& [caption, group] : Tops) Add(m, Add(m, m->Items(), caption, group), "&Item");
        c->SetMenu(m);
        m->Loaded();
        children.emplace_back(c, c->AliveToken());
        c->Show();
        Pump();
        return c;
    }

    std::vector<std::string> Tops() {
        std::vector<std::string> r;
        for (int i = 0; i < bar->TopCount(); ++i) r.push_back(bar->IsSystemItem(i) ? "[icon]" : bar->TopItem(i)->Caption());
        return r;
    }
    void Activate(TCustomForm* C) {
        SendMessage(frame->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(C->Handle()), 0);
        Pump();
    }
    void Maximize(TCustomForm* C) {
        SendMessage(frame->ClientHandle(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(C->Handle()), 0);
        Pump();
    }
    LPARAM Centre(RECT R) { return MAKELPARAM((R.left + R.right) / 2, (R.top + R.bottom) / 2); }
    void Click(RECT R) {
        PostMessage(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Centre(R));
        PostMessage(bar->Handle(), WM_LBUTTONUP, 0, Centre(R));
        Pump();
    }
};

TEST_F(MDIFixture, TheActiveDocumentsItemsReplaceTheirGroupsInGroupOrder) {
    EXPECT_EQ(Tops(), (std::vector<std::string>{"&File", "&Edit", "&Window", "&Help"}));
    TMDIChildForm* a = Child({{"&Tools", 3}, {"&Edit text", 1}, {"&Table", 3}});
    Activate(a);
    EXPECT_EQ(Tops(), (std::vector<std::string>{"&File", "&Edit text", "&Tools", "&Table", "&Window", "&Help"}));
    // Another document: only the active one's items show, never those of
    // a document behind it.
    TMDIChildForm* b = Child({{"F&ormat", 2}});
    Activate(b);
    EXPECT_EQ(Tops(), (std::vector<std::string>{"&File", "&Edit", "F&ormat", "&Window", "&Help"}));
    Activate(a);
    EXPECT_EQ(Tops()[2], "&Tools");
    // Documents going away take their items with them at once.
    TCustomForm::Free(a);
    EXPECT_EQ(Tops(), (std::vector<std::string>{"&File", "&Edit", "F&ormat", "&Window", "&Help"}));
    TCustomForm::Free(b);
    Pump();
    EXPECT_EQ(Tops(), (std::vector<std::string>{"&File", "&Edit", "&Window", "&Help"}));
}

// Only the shown menus answer keys: a document behind the active one keeps
// its shortcuts to itself.
TEST_F(MDIFixture, ADocumentsShortCutFiresOnlyWhileItsMenuIsShown) {
    std::vector<TMenuItem*> fired;
    TMDIChildForm* docs[] = {Child({{"&Tools", 3}}), Child({{"T&able", 3}})};
    for (TMDIChildForm* c : docs) {
        auto* it = static_cast<TMenuItem2000*>(c->Menu()->Items()->Items(0)->Items(0));
        it->SetShortCutList("Ctrl+K");
        it->OnClick = [&fired, it](TObject*) { fired.push_back(it); };
    }
    BYTE keys[256], saved[256];
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    for (TMDIChildForm* c : {docs[1], docs[0]}) {
        Activate(c);
        fired.clear();
        SetKeyboardState(keys);
        PostMessage(frame->Handle(), WM_KEYDOWN, 'K', 1);
        Pump();
        SetKeyboardState(saved);
        EXPECT_EQ(fired, std::vector<TMenuItem*>{c->Menu()->Items()->Items(0)->Items(0)});
    }
}

TEST_F(MDIFixture, CaptionButtonsOnlyWithAMaximisedDocumentAndTheirCommands) {
    TMDIChildForm* c = Child({});
    EXPECT_FALSE(bar->IsSystemItem(0));
    RECT none = bar->CaptionButtonRect(3);
    EXPECT_TRUE(IsRectEmpty(&none));
    Maximize(c);
    ASSERT_TRUE(bar->IsSystemItem(0));
    RECT close = bar->CaptionButtonRect(3), restore = bar->CaptionButtonRect(2), minimise = bar->CaptionButtonRect(1);
    EXPECT_EQ(close.right, bar->Width() - 1);
    EXPECT_EQ(close.bottom, bar->Height() - 2);
    EXPECT_EQ(restore.right, close.left - 2);
    EXPECT_EQ(minimise.right, restore.left);
    EXPECT_GT(bar->TopItemRect(1).left, 0);  // the items follow the icon

    // A press that leaves the button before its release does nothing.
    PostMessage(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Centre(minimise));
    PostMessage(bar->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessage(bar->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Pump();
    EXPECT_TRUE(IsZoomed(c->Handle()));
    EXPECT_EQ(bar->PressedButton(), 0);

    Click(minimise);
    EXPECT_TRUE(IsIconic(c->Handle()));
    EXPECT_FALSE(bar->IsSystemItem(0));
    Maximize(c);
    Click(bar->CaptionButtonRect(2));
    EXPECT_FALSE(IsZoomed(c->Handle()));
    EXPECT_FALSE(IsIconic(c->Handle()));
    Maximize(c);
    HWND h = c->Handle();
    Click(bar->CaptionButtonRect(3));
    Pump();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(frame->ActiveMDIChild(), nullptr);
    EXPECT_EQ(Tops(), (std::vector<std::string>{"&File", "&Edit", "&Window", "&Help"}));

    // A double click on the icon closes the document too.
    TMDIChildForm* d = Child({});
    Maximize(d);
    h = d->Handle();
    ASSERT_TRUE(bar->IsSystemItem(0));
    PostMessage(bar->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, Centre(bar->TopItemRect(0)));
    Pump(6);
    EXPECT_FALSE(IsWindow(h));
}

// Right to left the icon holds the bar's right end and the caption buttons
// its left end, mirrored; painting and presses follow.
TEST_F(MDIFixture, RightToLeftTheIconAtTheRightEndTheButtonsAtTheLeft) {
    TMDIChildForm* c = Child({});
    Maximize(c);
    bar->Options().Alignment = T_LFM_Alignment::taRightToLeft;
    bar->Repaint();
    ASSERT_TRUE(bar->IsSystemItem(0));
    RECT icon = bar->TopItemRect(0), last = bar->TopItemRect(bar->TopCount() - 1);
    RECT close = bar->CaptionButtonRect(3), restore = bar->CaptionButtonRect(2), minimise = bar->CaptionButtonRect(1);
    EXPECT_EQ(icon.right, bar->Width());
    EXPECT_EQ(last.right, icon.left);
    EXPECT_EQ(close.left, 1);
    EXPECT_EQ(restore.left, close.right + 2);
    EXPECT_EQ(minimise.left, restore.right);
    ASSERT_LT(minimise.right, bar->TopItemRect(1).left);

    // Painted where it is pressed: the buttons' edges, nothing between them
    // and the items.
    TBitmap pic(bar->Width(), bar->Height());
    bar->Perform(WM_PAINT, reinterpret_cast<WPARAM>(pic.Canvas().Handle()), 0);
    int marks[2] = {0, 0};
    for (int x = 0; x < bar->TopItemRect(1).left; ++x)
        marks[x > minimise.right] += test::PixelAt(pic, x, (close.top + close.bottom) / 2) != ColorToRGB(clMenu);
    EXPECT_GT(marks[0], 10);
    EXPECT_EQ(marks[1], 0);
    Click(minimise);
    EXPECT_TRUE(IsIconic(c->Handle()));
}

std::function<void()> g_later;
VOID CALLBACK FireLater(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    if (g_later) g_later();
}

TEST_F(MDIFixture, TheDocumentsSystemMenuFromTheIconAndFromAltMinus) {
    struct Case {
        bool maximised;
        bool byKey;  // Alt+numeric minus, else a click on the icon
        WPARAM choose;
        const char* expect;
    } cases[] = {
        {true, false, 'N', "minimised"},  // Mi&nimize
        {true, true, 'R', "normal"},      // &Restore
        {false, true, 'X', "maximised"},  // Ma&ximize
        {true, true, 'C', "closed"},      // &Close
    };
    for (const Case& k : cases) {
        TMDIChildForm* c = Child({});
        if (k.maximised) Maximize(c);
        HWND h = c->Handle();
        std::vector<std::string> shown;
        bool maximizeEnabled = true;
        // Looked at once the drop-down shows, then the entry is chosen.
        g_later = [&] {
            TPopupMenu2000Form* w = bar->DropDownMenu()->Window();
            // The bar's icon shows the document's own system menu.
            if (w && k.maximised) {
                EXPECT_NE(w->NativeMenu(), nullptr);
            }
            for (int i = 0; w && i < w->ShownCount(); ++i) {
                TMenuItem* it = w->ShownItem(i);
                NativeMenuEntry e = it ? NativeMenuEntry{} : ReadNativeMenuEntry(w->NativeMenu(), w->ShownNativePos(i));
                shown.push_back(it ? it->Caption() : e.Text);
                if (shown.back().find("Ma&ximize") == 0) maximizeEnabled = it ? it->Enabled() : e.Enabled();
            }
            PostMessage(frame->Handle(), WM_KEYDOWN, k.choose, 1);
        };
        bar->DropDownMenu()->OnPopup = [](TObject*) { SetTimer(nullptr, 0, 200, FireLater); };
        if (k.byKey) PostMessage(frame->Handle(), WM_SYSKEYDOWN, VK_SUBTRACT, 1 << 29);
        else PostMessage(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Centre(bar->TopItemRect(0)));
        for (int i = 0; i < 50 && shown.empty(); ++i) Pump(1);
        Pump(6);
        EXPECT_GE(shown.size(), 5u) << k.expect;
        EXPECT_EQ(maximizeEnabled, !k.maximised) << k.expect;
        std::string state = !IsWindow(h)         ? "closed"
                            : IsIconic(h)        ? "minimised"
                            : IsZoomed(h)        ? "maximised"
                                                 : "normal";
        EXPECT_EQ(state, k.expect);
        EXPECT_FALSE(bar->DropDownMenu()->IsFormOpen());
        if (IsWindow(h)) TCustomForm::Free(c);
        Pump();
    }
}

TEST_F(MDIFixture, ScreenshotOfTheBarWithAMaximisedDocument) {
    // Asks for no minimise box; the platform's client may still give one.
    TMDIChildForm* c = Child({{"&Tools", 3}}, {biSystemMenu, biMaximize});
    Maximize(c);
    Activate(c);
    bar->UpdateItems(true);
    Pump();
    // The whole frame: the bar over the maximised document.
    TBitmap b(frame->Width(), frame->Height());
    frame->PaintTo(b.Canvas().Handle(), 0, 0);
    b.SaveToFile(test::ArtifactsDir() + "\\menubar-mdi.bmp");
    EXPECT_TRUE(bar->IsSystemItem(0));
    EXPECT_FALSE(bar->CaptionButtonRect(1).left == 0 && bar->CaptionButtonRect(1).right == 0);
}

}  // namespace
}  // namespace bramble
