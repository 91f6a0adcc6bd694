#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "ui/ui_support.h"
#include "controls_support.h"
#include "kits/controls/browsefolder.h"
#include "kits/controls/utils.h"

namespace bramble {
namespace {

std::string WindowsDir() {
    char d[MAX_PATH] = {};
    GetWindowsDirectoryA(d, MAX_PATH);
    return d;
}

TEST(BrowseFolderDlg, OpensCentredAtTheFolderAndReturnsItWithoutSlash) {
    test::FormHolder form;
    form->SetBounds(0, 0, 200, 100);
    form->Show();
    int helped = 0;
    auto old_help = Application->HelpDispatcher;
    Application->HelpDispatcher = [&](UINT, ULONG_PTR data) {
        helped = static_cast<int>(data);
        return true;
    };
    struct Case {
        std::string start, result;
    } cases[] = {{WindowsDir() + "\\", WindowsDir()}, {"C:\\", "C:\\"}};
    for (const Case& c : cases) {
        TBrowseFolderDlg dlg;
        EXPECT_EQ(dlg.Position(), dpScreenCenter);
        EXPECT_TRUE(dlg.DesktopRoot());
        dlg.SetFolderName(c.start);
        dlg.SetDialogText("Pick a folder");
        dlg.SetHelpContext(610);
        bool form_disabled = false;
        dlg.OnInitialized = [&](TObject*) {
            HWND h = dlg.Handle();
            RECT r{};
            GetWindowRect(h, &r);
            EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - WidthOfRect(r)) / 2);
            EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - HeightOfRect(r)) / 2);
            HWND help = GetDlgItem(h, idBrowseHelp);
            ASSERT_NE(help, nullptr);
            char caption[32] = {};
            GetWindowTextA(help, caption, sizeof caption);
            EXPECT_STREQ(caption, "&Help");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, IDOK)));  // an existing folder
            form_disabled = !IsWindowEnabled(form->Handle());
            SendMessageA(h, WM_COMMAND, MAKEWPARAM(idBrowseHelp, 0), 0);
            PostMessageA(h, WM_COMMAND, IDOK, 0);
        };
        ASSERT_TRUE(dlg.Execute()) << c.start;
        EXPECT_EQ(dlg.FolderName(), c.result);
        EXPECT_TRUE(form_disabled);
        EXPECT_TRUE(IsWindowEnabled(form->Handle()));
        EXPECT_EQ(helped, 610);
    }
    Application->HelpDispatcher = old_help;
}

TEST(BrowseFolderDlg, CancelAndFailuresLeaveTheFolderAsItWas) {
    test::ExceptionCatcher caught;
    for (bool throw_in_handler : {false, true}) {
        TBrowseFolderDlg dlg;
        dlg.SetFolderName(WindowsDir());
        std::string seen = "none";
        dlg.OnSelChanged = [&](TObject*) { seen = dlg.FolderName(); };
        dlg.OnInitialized = [&](TObject*) {
            HWND h = dlg.Handle();
            EXPECT_EQ(GetDlgItem(h, idBrowseHelp), nullptr);  // no help context, no button
            // Moving the selection changes FolderName while browsing; OK
            // is only for folders of the file system.
            SendMessageA(h, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\"));
            EXPECT_EQ(seen, "C:\\");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, IDOK)));
            LPITEMIDLIST drives = nullptr;
            if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives))) {
                SendMessageA(h, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(drives));
                CoTaskMemFree(drives);
                EXPECT_EQ(seen, "");
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, IDOK)));
            }
            PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
            // A handler's exception stops at the shell's callback.
            if (throw_in_handler) throw Exception("handler failed");
        };
        EXPECT_FALSE(dlg.Execute());
        EXPECT_EQ(dlg.FolderName(), WindowsDir());
    }
    ASSERT_EQ(caught.Messages.size(), 1u);
    EXPECT_EQ(caught.Messages[0], "handler failed");

    // The one-call form changes the folder only on OK.
    std::string folder = WindowsDir() + "\\";
    test::AnswerNextDialog(IDCANCEL);
    EXPECT_FALSE(BrowseForDirectory(folder, "Folder", 0));
    EXPECT_EQ(folder, WindowsDir() + "\\");
    test::AnswerNextDialog(IDOK);
    EXPECT_TRUE(BrowseForDirectory(folder, "Folder", 0));
    EXPECT_EQ(folder, WindowsDir());
}

}  // namespace
}  // namespace bramble
