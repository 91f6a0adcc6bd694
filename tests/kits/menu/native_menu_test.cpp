// A popup showing a platform menu handle: its entries' rows, which of them
// can be selected, the command posted to the owner form, and a submenu
// opened from the entry's own handle.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

std::vector<WPARAM> g_commands;
WNDPROC g_form_proc = nullptr;

LRESULT CALLBACK RecordCommands(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
    if (Msg == WM_COMMAND) g_commands.push_back(WP);
    return CallWindowProcA(g_form_proc, W, Msg, WP, LP);
}

struct NativeFixture : ::testing::Test {
    TForm* form = nullptr;
    TPopupMenu2000* menu = nullptr;
    HMENU handle = nullptr, sub = nullptr;
    std::vector<TObject*> commands;

    void SetUp() override {
        form = new TForm(nullptr);
        form->AfterConstruction();
        form->SetBounds(100, 100, 400, 300);
        form->Show();
        SetForegroundWindow(form->Handle());
        g_commands.clear();
        g_form_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordCommands)));
        menu = new TPopupMenu2000(form);
        menu->Options().Animation = anNone;
        menu->OnMenuCommand = [this](TObject* Sender) { commands.push_back(Sender); };
        handle = CreatePopupMenu();
        sub = CreatePopupMenu();
        AppendMenuA(handle, MF_STRING, 101, "&Normal\tCtrl+N");
        AppendMenuA(handle, MF_STRING | MF_GRAYED, 102, "&Grayed");
        AppendMenuA(handle, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(handle, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "&Sub");
        AppendMenuA(sub, MF_STRING | MF_CHECKED, 201, "&Inner");
        menu->SetNativeMenu(handle);
        Pump();
    }
    void TearDown() override {
        CloseActiveMenus(true);
        Pump();
        SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_form_proc));
        TCustomForm::Free(form);
        DestroyMenu(handle);  // and its submenu
        Pump();
    }
    TPopupMenu2000Form* Win() { return menu->Window(); }
    void Key(WPARAM Vk) {
        PostMessage(form->Handle(), WM_KEYDOWN, Vk, 1);
        Pump();
    }
};

TEST_F(NativeFixture, EveryEntryGetsARowAndNoEmptyItem) {
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    ASSERT_EQ(Win()->ShownCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Win()->ShownItem(i), nullptr);
        EXPECT_EQ(Win()->ShownNativePos(i), i);
    }
    RECT sep = Win()->ItemRect(2), normal = Win()->ItemRect(0);
    EXPECT_EQ(sep.bottom - sep.top, menu->Options().SeparatorHeight);
    EXPECT_GT(normal.bottom - normal.top, sep.bottom - sep.top);
    TBitmap b(Win()->ItemRect(0).right + 4, Win()->ItemRect(3).bottom + 4);
    Win()->PaintTo(b.Canvas().Handle());
    b.SaveToFile(test::ArtifactsDir() + "\\menu-native.bmp");
}

TEST_F(NativeFixture, SelectionSkipsTheSeparatorAndTheGrayedEntry) {
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        Key(VK_DOWN);
        seen.push_back(Win()->Selected());
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 3, -1}));
    Key(VK_UP);
    EXPECT_EQ(Win()->Selected(), 3);
    Key(VK_UP);
    EXPECT_EQ(Win()->Selected(), 0);
}

TEST_F(NativeFixture, ChoosingPostsTheEntrysCommandToTheOwnerForm) {
    struct Case {
        std::vector<WPARAM> keys;
        std::vector<WPARAM> posted;
        bool open;  // still open afterwards
    } cases[] = {
        {{VK_DOWN, VK_RETURN}, {101}, false},
        {{'N'}, {101}, false},
        {{'G'}, {}, true},  // a grayed entry's accelerator only beeps
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, {201}, false},
    };
    for (const Case& k : cases) {
        g_commands.clear();
        commands.clear();
        ASSERT_FALSE(menu->TrackPopup(150, 150));
        Pump();
        for (WPARAM key : k.keys) Key(key);
        Pump();
        EXPECT_EQ(g_commands, k.posted) << k.keys.back();
        EXPECT_EQ(menu->IsFormOpen(), k.open) << k.keys.back();
        EXPECT_EQ(commands, k.posted.empty() ? std::vector<TObject*>{} : std::vector<TObject*>{menu});
        CloseActiveMenus(true);
        Pump();
    }
}

TEST_F(NativeFixture, TheSubmenuOpensFromTheEntrysHandle) {
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RIGHT);
    TPopupMenu2000Form* child = Win()->ChildForm();
    ASSERT_TRUE(child && child->IsOpen());
    EXPECT_EQ(child->NativeMenu(), sub);
    EXPECT_EQ(child->ShownCount(), 1);
    EXPECT_EQ(child->Selected(), 0);
    // Not from a disabled entry, which can still be selected.
    CloseActiveMenus(true);
    Pump();
    EnableMenuItem(handle, 3, MF_BYPOSITION | MF_DISABLED);
    ASSERT_FALSE(menu->TrackPopup(150, 150));
    Pump();
    Key(VK_DOWN);
    Key(VK_DOWN);
    ASSERT_EQ(Win()->Selected(), 3);
    Key(VK_RIGHT);
    EXPECT_FALSE(Win()->ChildForm() && Win()->ChildForm()->IsOpen());
}

}  // namespace
}  // namespace bramble
