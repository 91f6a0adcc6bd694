// Commands and switches as a user meets them: what a switch without its
// dialog does, where Open starts, the viewer question, the second
// shortcuts, and installing an .inf from the archive.
#include "engine/core/helpers.h"
#include "engine/writers/zip.h"
#include "main_window.h"
#include "support/winefloppy.h"

namespace bramble {
namespace {

TEST_F(MainWindow, TheExtractSwitchAsksThroughTheDialogAndTheWindowStays) {
    AnswerAll modals;
    const std::string archive = CopyInto(ScratchDir("main-switches"), "plain.zip");
    TfrmMain* f = Make({"/e", archive});
    test::Pump(20);
    EXPECT_TRUE(f->Visible());
    EXPECT_EQ(f->Dovex1->ArchiveFile(), archive);
    ASSERT_EQ(modals.Asked.size(), 1u);
    EXPECT_EQ(modals.Asked[0].rfind("form: ", 0), 0u);
}

TEST_F(MainWindow, OpenStartsOnADriveThatHasADisk) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string here = ScratchDir("main-open-start");
    // A floppy drive with a disk (A:, a folder) and one without (B:, a
    // folder that is not there).
    std::string unixHere = here.substr(2);
    std::replace(unixHere.begin(), unixHere.end(), '\\', '/');
    ASSERT_TRUE(test::MapWineFloppy('A', unixHere));
    ASSERT_TRUE(test::MapWineFloppy('B', unixHere + "/no-disk"));
    struct Case {
        bool last;
        std::string folder;
        std::string starts;
    };
    for (const Case& c : {Case{false, "b:\\archives", "c:\\"}, Case{false, "A:\\", "A:\\"},
                          Case{false, "C:\\windows", "C:\\windows"}, Case{true, here, here}}) {
        SCOPED_TRACE(c.folder);
        (c.last ? frmOptions->RadioLastOpen : frmOptions->RadioOther)->SetChecked(true);
        frmOptions->StartupFolder->SetText(c.folder);
        f->LastOpenFolder = c.folder;
        modals.Asked.clear();
        Choose(f->mnuOpen1);
        ASSERT_EQ(modals.Asked.size(), 1u);
        EXPECT_EQ(modals.Asked[0], "file dialog: " + c.starts);
    }
    test::UnmapWineDrive('A');
    test::UnmapWineDrive('B');
}

TEST_F(MainWindow, ViewWithoutAViewerAsksAndStillExtracts) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->TempFolder = AppendBackslash(ScratchDir("main-view-temp"));
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    for (int answer : {mrNo, mrYes}) {
        SCOPED_TRACE(answer);
        for (int i = 0; i < f->Entries->Count(); ++i)
            f->ListView1->SetIsSelected(i, f->Entries->GetEntry(i)->Name == "hello.txt");
        modals.Asked.clear();
        modals.DialogAnswer = answer;
        frmOptions->ViewProgram->SetText("");
        Choose(f->mnuView2);
        ASSERT_FALSE(modals.Asked.empty());
        EXPECT_EQ(modals.Asked[0], "There is currently no viewer configured, would you like to configure one now?");
        EXPECT_EQ(modals.AskedAbout("form: Options"), answer == mrYes);
        EXPECT_EQ(ReadAll(f->TempFolder + "hello.txt"), Inputs()["hello.txt"]);
        DeleteFileA((f->TempFolder + "hello.txt").c_str());
    }
}

TEST_F(MainWindow, AddAndExtractAnswerTheirSecondShortcutsWhenEnabled) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump();
    f->ListView1->SetFocus();
    struct Case {
        TMenuItem* item;
        char key;
    };
    for (Case c : {Case{f->mnuAddFiles1, 'A'}, Case{f->mnuExtract1, 'E'}}) {
        SCOPED_TRACE(c.key);
        int clicks = 0;
        c.item->OnClick = [&](TObject*) { ++clicks; };
        // Typed as the user types it: through the message loop, Shift down.
        auto press = [&] {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_SHIFT] = 0x80;
            SetKeyboardState(keys);
            PostMessageA(f->ListView1->Handle(), WM_KEYDOWN, static_cast<WPARAM>(c.key), 1);
            test::Pump();
            keys[VK_SHIFT] = 0;
            SetKeyboardState(keys);
        };
        c.item->SetEnabled(true);
        press();
        EXPECT_EQ(clicks, 1);
        c.item->SetEnabled(false);
        press();
        EXPECT_EQ(clicks, 1);
        c.item->OnClick = nullptr;
    }
}

TEST_F(MainWindow, InstallRunsAnInfFromATemporaryFolderWithBlanks) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-inf");
    const std::string inf = Join(dir, "setup.inf");
    test::WriteAll(inf,
                   "[Version]\r\nSignature=\"$Chicago$\"\r\n\r\n[DefaultInstall]\r\nAddReg=Probe\r\n\r\n"
                   "[Probe]\r\nHKLM,Software\\BrambleInfProbe,Done,,\"yes\"\r\n");
    const std::string zip = Join(dir, "driver.zip");
    {
        TZip w;
        w.SetArchiveFile(zip);
        w.SetDefaultDir(dir);
        w.FileSpec().push_back("setup.inf");
        ASSERT_EQ(w.Compress(), 1);
    }
    TRegistry machine;
    machine.SetRootKey(HKEY_LOCAL_MACHINE);
    machine.DeleteKey("Software\\BrambleInfProbe");
    f->TempFolder = AppendBackslash(ScratchDir("main inf temp"));
    f->OpenArchive(zip);
    f->ListView1->SetIsSelected(0, true);
    Choose(f->ListOpen1);
    EXPECT_TRUE(modals.AskedAbout("Would you like to extract all the files to a temporary folder and run setup.inf?"));
    // rundll32 runs on its own: wait for what the .inf writes.
    bool installed = false;
    for (int i = 0; i < 100 && !installed; ++i) {
        Sleep(100);
        installed = machine.KeyExists("Software\\BrambleInfProbe");
    }
    EXPECT_TRUE(installed);
    machine.DeleteKey("Software\\BrambleInfProbe");
}

}  // namespace
}  // namespace bramble
