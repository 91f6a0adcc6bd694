// Commands and switches as a user meets them: what a switch without its
// dialog does, where Open starts, the viewer question, the second
// shortcuts, and installing an .inf from the archive.
#include "app/forms/properties.h"
#include "app/widgets/mrulist.h"
#include "engine/core/helpers.h"
#include "ui/menus.h"
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

// An archive of the named files (each holding its own name) in a folder of
// its own.
std::string ZipOf(const std::string& Dir, const std::vector<std::string>& Names) {
    const std::string zip = Join(Dir, "entries.zip");
    TZip w;
    w.SetArchiveFile(zip);
    w.SetDefaultDir(Dir);
    for (const std::string& n : Names) {
        test::WriteAll(Join(Dir, n), "contents of " + n);
        w.FileSpec().push_back(n);
    }
    EXPECT_EQ(w.Compress(), static_cast<int>(Names.size()));
    return zip;
}

int RowOf(TfrmMain* f, const std::string& Name) {
    for (int i = 0; i < f->Entries->Count(); ++i)
        if (f->Entries->GetEntry(i)->Name == Name) return i;
    return -1;
}

TEST_F(MainWindow, InstallMenuItemsRunTheEntryByItsWholeName) {
    AnswerAll modals;
    modals.DialogAnswer = mrNo;  // ask only: open nothing
    TfrmMain* f = Make();
    f->OpenArchive(ZipOf(ScratchDir("main-install-amp"), {"Setup&Go.exe", "setup.inf"}));
    ASSERT_EQ(f->PopupMenuInstall->Items()->Count(), 2);
    for (int i = 0; i < 2; ++i) {
        TMenuItem* m = f->PopupMenuInstall->Items()->Items(i);
        modals.Asked.clear();
        m->Click();
        const std::string name = StripHotkey(m->Caption());
        EXPECT_TRUE(name == "Setup&Go.exe" || name == "setup.inf") << name;
        EXPECT_TRUE(modals.AskedAbout("temporary folder and run " + name + "?")) << name;
    }
}

TEST_F(MainWindow, PropertiesShowsTheRightClickedEntryAndLeavesTheTotals) {
    AnswerAll modals;
    TfrmMain* f = Make();
    auto* props = new TfrmProperties(nullptr);
    props->AfterConstruction();
    frmProperties = props;
    struct Free {
        ~Free() {
            TCustomForm::Free(frmProperties);
            frmProperties = nullptr;
        }
    } free;
    f->OpenArchive(ZipOf(ScratchDir("main-props"), {"readme.txt", "numbers.txt", "z.txt"}));
    const int64_t total = f->Dovex1->TotalUnpacked();
    const std::string totals = f->StatusBar1->Panels()[2]->Text();
    std::string shown;
    modals.Drive = [&](TCustomForm* Form) {
        if (Form->OnActivate) Form->OnActivate(Form);
        shown = props->Label12->Caption();
        return mrOk;
    };
    // What the list view does on a right-click on a row: the row gets the
    // focus, a selection it is part of stays.
    auto rightClick = [&](int Row) {
        LVITEMA it{};
        it.stateMask = LVIS_FOCUSED;
        it.state = LVIS_FOCUSED;
        SendMessageA(f->ListView1->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&it));
    };
    const int readme = RowOf(f, "readme.txt"), numbers = RowOf(f, "numbers.txt"), z = RowOf(f, "z.txt");
    ASSERT_GE(readme, 0);
    struct Case {
        std::vector<int> selected;
        int clicked;
        std::string want;
    } cases[] = {
        {{readme, numbers}, numbers, "numbers.txt"},
        {{readme, numbers}, readme, "readme.txt"},
        // The focus on a row that is not selected: the selection is described.
        {{numbers}, z, "numbers.txt"},
        {{readme, z}, z, "z.txt"},
    };
    for (const Case& c : cases) {
        f->ListView1->ClearSelection();
        for (int row : c.selected) f->ListView1->SetIsSelected(row, true);
        rightClick(c.clicked);
        Choose(f->Properties1);
        EXPECT_EQ(shown, c.want);
        EXPECT_EQ(f->Dovex1->TotalUnpacked(), total) << c.want;
        f->DisplayTotals();
        EXPECT_EQ(f->StatusBar1->Panels()[2]->Text(), totals) << c.want;
    }
}

TEST_F(MainWindow, DraggingOutAsksBeforeReplacingATemporaryFile) {
    AnswerAll modals;
    modals.Drive = [](TCustomForm*) { return mrNo; };
    TfrmMain* f = Make();
    f->TempFolder = AppendBackslash(ScratchDir("main-drag-temp"));
    f->OpenArchive(ZipOf(ScratchDir("main-drag"), {"readme.txt"}));
    test::WriteAll(f->TempFolder + "readme.txt", "the user's own");
    f->ListView1->SetIsSelected(0, true);
    f->DragFilesSrc1Dropping(f);
    EXPECT_TRUE(modals.AskedAbout("form: Confirm file overwrite..."));
    EXPECT_EQ(ReadAll(f->TempFolder + "readme.txt"), "the user's own");
}

TEST_F(MainWindow, ExtractWithNoArchiveOpenSaysSo) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->mnuExtract1Click(f);
    EXPECT_TRUE(modals.AskedAbout("You must open an archive before you can extract files"));
}

TEST_F(MainWindow, TheAddSwitchPutsItsArchiveOnTheRecentListUnlessOnDriveA) {
    const std::string dir = ScratchDir("main-add-switch");
    test::WriteAll(Join(dir, "note.txt"), "a note");
    struct Case {
        std::string source, archive;
        bool listed;
    } cases[] = {
        {Join(dir, "note.txt"), Join(dir, "note.zip"), true},
        {"A:\\note.txt", "A:\\note.zip", false},
        {"a:\\sub\\note.txt", "a:\\sub\\note.zip", false},
    };
    for (const Case& c : cases) {
        AnswerAll modals;
        TfrmMain* f = Make({"/a", c.source});
        for (int i = 0; i < 20 && f->Visible(); ++i) test::Pump();
        const auto& items = f->MRUFileList1->Items();
        EXPECT_EQ(std::find(items.begin(), items.end(), c.archive) != items.end(), c.listed) << c.source;
        TCustomForm::Free(form_);
        form_ = nullptr;
        TCustomForm::Free(options_);
        options_ = nullptr;
    }
}

TEST_F(MainWindow, NewGivesTheNameTheZipFiltersExtensionAndPutsItOnTheRecentList) {
    AnswerAll modals;  // the Add dialog is cancelled
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-new-names");
    struct Case {
        const char *typed, *made;
    } cases[] = {
        {"backup", "backup.zip"},
        {"x.tar", "x.tar.zip"},
        {"y.ZIP", "y.ZIP"},
        {"notes.2024", "notes.2024.zip"},
    };
    for (const Case& c : cases) {
        modals.FileToOpen = Join(dir, c.typed);
        f->mnuNew1Click(f);
        ASSERT_FALSE(f->MRUFileList1->Items().empty()) << c.typed;
        EXPECT_EQ(f->MRUFileList1->Items().front(), Join(dir, c.made));
    }
}

}  // namespace
}  // namespace bramble
