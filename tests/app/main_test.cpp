// The main window driven in-process under Wine (opening, listing,
// extracting, testing, cancelling, the switch of the command line, making
// a self-extracting program), and bramble.exe itself started as a process
// for "/x" and "/s".
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/forms/about.h"
#include "app/forms/main.h"
#include "app/forms/overwrite.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/writers/uuencode.h"
#include "main_window.h"
#include "support/testenv.h"
#include "ui/registry.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

TEST(MainWindowHelpers, CommandLineSwitchAndPath) {
    EXPECT_EQ(ParseCommandLine({}).Switch, "");
    TCommandLine a = ParseCommandLine({"C:\\My", "Files\\a.zip"});
    EXPECT_EQ(a.Switch, "none");
    EXPECT_EQ(a.Path, "C:\\My Files\\a.zip");
    TCommandLine b = ParseCommandLine({"/x", "/e", "C:\\Data\\Old Files.zip", "  "});
    EXPECT_EQ(b.Switch, "/e");  // the last switch wins
    EXPECT_EQ(b.Path, "C:\\Data\\Old Files.zip");
    EXPECT_EQ(ParseCommandLine({"-v/x"}).Switch, "-v/x");  // a "/" anywhere makes a switch
}

TEST(MainWindowHelpers, NamesDerivedFromAPathCutAtTheLastDotOfTheName) {
    EXPECT_EQ(PathWithoutExtension("C:\\Data\\Old Files.zip"), "C:\\Data\\Old Files");
    EXPECT_EQ(PathWithoutExtension("C:\\x\\data.tar.gz"), "C:\\x\\data.tar");
    EXPECT_EQ(PathWithoutExtension("C:\\x\\archive.lzh"), "C:\\x\\archive");   // not "the last 4 characters"
    EXPECT_EQ(PathWithoutExtension("C:\\x\\a.jpeg"), "C:\\x\\a");
    EXPECT_EQ(PathWithoutExtension("C:\\my.dir\\archive"), "C:\\my.dir\\archive");  // a dot in a folder is not one
    EXPECT_EQ(PathWithoutExtension("C:\\x\\name .zip"), "C:\\x\\name");
    EXPECT_EQ(AddArchiveName("C:\\Docs\\letter.final.txt"), "C:\\Docs\\letter.zip");
    EXPECT_EQ(AddArchiveName("C:\\Docs\\README"), "C:\\Docs\\README.zip");
}

TEST(MainWindowHelpers, DialogsStayOffTheTaskbarOrInsideTheWorkArea) {
    const TRect main = Rect(0, 100, 400, 400);  // at the screen's left edge
    const TRect wa = Rect(0, 0, 1024, 738);
    // Taskbar on the left: the dialog opens just right of it.
    TRect left = Rect(0, 0, 60, 768);
    EXPECT_EQ(PlaceDialogRect(main, 300, 200, 1024, 768, &left, wa).X, 60);
    // Taskbar on the right: the dialog's right edge is put on it.
    TRect right = Rect(964, 0, 1024, 768);
    EXPECT_EQ(PlaceDialogRect(Rect(800, 100, 1100, 400), 300, 200, 1024, 768, &right, wa).X, 664);
    // Taskbar at the bottom: the dialog ends on its top edge.
    TRect bottom = Rect(0, 738, 1024, 768);
    EXPECT_EQ(PlaceDialogRect(Rect(0, 600, 400, 900), 300, 200, 1024, 768, &bottom, wa).Y, 538);
    // No taskbar window (as under Wine): the work area bounds the dialog.
    TPoint p = PlaceDialogRect(Rect(-200, -50, 100, 100), 300, 200, 1024, 768, nullptr, Rect(10, 20, 1000, 700));
    EXPECT_EQ(p.X, 10);
    EXPECT_EQ(p.Y, 20);
    p = PlaceDialogRect(Rect(900, 600, 1200, 800), 300, 200, 1024, 768, nullptr, Rect(10, 20, 1000, 700));
    EXPECT_EQ(p.X, 700);
    EXPECT_EQ(p.Y, 500);
}

TEST(MainWindowHelpers, ErrorLinesOnlyForTheReportedRanges) {
    EXPECT_EQ(ErrorLine("C:\\Data\\A.ZIP", "extra", 25151),
              "c:\\data\\a.zip:   Error#: 25151   : File fails CRC check   extra");
    EXPECT_NE(ErrorLine("a.zip", "", 26500).find("Message#: 26500"), std::string::npos);
    EXPECT_EQ(ErrorLine("a.zip", "", 25099), "");
    EXPECT_EQ(ErrorLine("a.zip", "", 26859), "");
}

TEST(MainWindowHelpers, ExpandLongPathGivesLongNamesAndNamesWhatIsMissing) {
    const std::string dir = ScratchDir("expand");
    const std::string sub = Join(dir, "Long Folder Name");
    CreateDirectoryA(sub.c_str(), nullptr);
    const std::string file = Join(sub, "archive file.zip");
    test::WriteAll(file, "x");
    char shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(file.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_TRUE(SameText(ExpandLongPath(shortName), file)) << ExpandLongPath(shortName);
    EXPECT_TRUE(SameText(ExpandLongPath(sub + "\\"), sub + "\\"));
    try {
        ExpandLongPath(Join(sub, "missing.zip"));
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Path " + Join(sub, "missing.zip") + " does not exist!");
    }
}

TEST_F(MainWindow, OpensArchivesOfSeveralKindsAndListsTheirEntries) {
    AnswerAll modals;
    TfrmMain* f = Make();
    struct Case {
        const char* fixture;
        const char* tsv;
        const char* kind;
    };
    for (Case c : {Case{"plain.zip", "plain.zip.tsv", "ZIP"}, {"gnu.tar", "gnu.tar.tsv", "TAR"},
                   {"hello.txt.gz", "hello.txt.gz.tsv", "GZip"}, {"plain.arj", "plain.arj.tsv", "ARJ"},
                   {"plain.lzh", "plain.lzh.lha.tsv", "LHA"}}) {
        SCOPED_TRACE(c.fixture);
        f->OpenArchive(Join(FixturesDir(), c.fixture));
        test::Pump();
        std::map<std::string, int64_t> want = PeerListing(c.tsv);
        std::map<std::string, int64_t> got;
        ASSERT_EQ(f->ListView1->Items().Count(), f->Entries->Count());
        for (int i = 0; i < f->Entries->Count(); ++i) {
            const TShellItem* e = f->Entries->GetEntry(i);
            got[e->StoredName()] = e->SizeValue;
            // The row the list view shows is the record's.
            EXPECT_EQ(f->ListView1->Items().Item(i)->Caption(), e->Name);
        }
        EXPECT_EQ(got, want);
        EXPECT_EQ(f->Caption(), std::string(c.fixture) + " - Bramble");
        EXPECT_EQ(Trim(f->StatusBar1->Panels()[0]->Text()), c.kind);
        EXPECT_NE(f->StatusBar1->Panels()[2]->Text().find("Total " + std::to_string(want.size()) + " file(s)"),
                  std::string::npos);
        EXPECT_TRUE(f->mnuTest->Enabled());
        EXPECT_TRUE(f->mnuClose1->Enabled());
    }
    // A kind this program lists but cannot extract keeps its extract
    // commands off: a PAK archive, whose first entry is crushed.
    std::string pak("\x1a\x0a" "CRUSHED.TXT\0\0" "\x04\0\0\0" "\x21\x22\x00\x60" "\0\0" "\x04\0\0\0" "abcd"
                    "\x1a\0", 35);
    const std::string pakFile = Join(ScratchDir("pak"), "crushed.pak");
    test::WriteAll(pakFile, pak);
    f->OpenArchive(pakFile);
    EXPECT_EQ(f->ListView1->Items().Count(), 1);
    EXPECT_FALSE(f->mnuExtract1->Enabled());
    ASSERT_EQ(f->ReaderFor(f->Dovex1->ArcType()), nullptr);
    // Fast extract is offered whatever the kind, and says why it cannot.
    EXPECT_TRUE(f->ActionFastextract1->Enabled());
    modals.Asked.clear();
    Choose(f->ActionFastextract1);
    EXPECT_EQ(modals.Asked, std::vector<std::string>{"Extract not supported for this filetype."});

    // Close; also with no writer chosen (a cancelled New leaves none).
    f->CompressComponent = nullptr;
    f->mnuClose1->Click();
    EXPECT_EQ(f->Caption(), "Bramble");
    EXPECT_EQ(f->ListView1->Items().Count(), 0);
    EXPECT_FALSE(f->mnuTest->Enabled());
    EXPECT_FALSE(f->mnuDelete1->Enabled());
    EXPECT_FALSE(f->ToolbarButtonDel->Enabled());
}

TEST_F(MainWindow, DecodesAnEncodedArchiveIntoTheTempFolderAndListsIt) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-uue");
    const std::string zip = CopyInto(dir, "plain.zip");
    const std::string uue = Join(dir, "plain.uue");
    {
        TUUEncode enc;
        enc.SetArchiveFile(zip);
        enc.SetOutFilename(uue);
        ASSERT_EQ(enc.Compress(), 1);
    }
    // The only plain.zip left is the one decoding makes.
    ASSERT_TRUE(DeleteFileA(zip.c_str()));
    f->TempFolder = AppendBackslash(ScratchDir("main-uue-temp"));

    f->OpenArchive(uue);
    test::Pump();
    EXPECT_TRUE(modals.AskedAbout("Decode archive to a temp folder and open it?"));
    const std::string decoded = f->TempFolder + "plain.zip";
    EXPECT_EQ(f->Dovex1->ArchiveFile(), decoded);
    EXPECT_EQ(f->Dovex1->ArcType(), atZip);
    std::map<std::string, int64_t> got;
    for (int i = 0; i < f->Entries->Count(); ++i) {
        const TShellItem* e = f->Entries->GetEntry(i);
        got[e->StoredName()] = e->SizeValue;
    }
    EXPECT_EQ(got, PeerListing("plain.zip.tsv"));
    EXPECT_EQ(f->ListView1->Items().Count(), f->Entries->Count());
    EXPECT_EQ(Trim(f->StatusBar1->Panels()[0]->Text()), "ZIP");
    EXPECT_EQ(ReadAll(decoded), ReadAll(Join(FixturesDir(), "plain.zip")));
    // The decoded copy is the program's own and goes with the window.
    EXPECT_EQ(f->ExtractedNames.count(decoded), 1u);

    // No: the encoded file stays open as its one entry.
    modals.DialogAnswer = mrNo;
    f->OpenArchive(uue);
    test::Pump();
    EXPECT_EQ(f->Dovex1->ArchiveFile(), uue);
    ASSERT_EQ(f->Entries->Count(), 1);
    EXPECT_EQ(f->Entries->GetEntry(0)->Name, "plain.zip");

    // An encoded file that holds no archive is only listed; Fast extract
    // decodes it like any other kind.
    modals.Asked.clear();
    const std::string hello = CopyInto(dir, "hello.uue");
    f->OpenArchive(hello);
    test::Pump();
    EXPECT_FALSE(modals.AskedAbout("Decode archive"));
    EXPECT_TRUE(f->ActionFastextract1->Enabled());
    f->ActionFastextract1->Click();
    test::Pump();
    EXPECT_EQ(ReadAll(Join(Join(dir, "hello"), "hello.txt")), ReadAll(Join(Join(FixturesDir(), "in"), "hello.txt")));
}

TEST_F(MainWindow, DeleteFollowsTheArchiveKindAndTheButtonsStayEnabled) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    EXPECT_TRUE(f->mnuDelete1->Enabled());
    EXPECT_TRUE(f->ToolbarButtonDel->Enabled());
    // Cabinets are never offered Add or Delete, and neither are kinds
    // without a writer here; the toolbar's buttons stay enabled all the same.
    for (const char* fixture : {"plain.cab", "plain.arj", "hello.txt.gz"}) {
        f->OpenArchive(Join(FixturesDir(), fixture));
        EXPECT_FALSE(f->mnuDelete1->Enabled()) << fixture;
        EXPECT_FALSE(f->mnuAddFiles1->Enabled()) << fixture;
        for (TToolbarButton97* b : {f->ToolbarButtonAdd, f->ToolbarButtonDel, f->ToolbarButtonExtract,
                                    f->ToolbarButtonView})
            EXPECT_TRUE(b->Enabled()) << fixture << " " << b->Name();
    }
    // The Delete key does nothing where the menu offers nothing.
    f->ListView1->SelectAll();
    WORD key = VK_DELETE;
    f->ListView1KeyDown(f->ListView1, key, {});
    EXPECT_TRUE(modals.Asked.empty());
}

TEST_F(MainWindow, AToolbarClickTheKindDoesNotAllowSaysWhy) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string pak = Join(ScratchDir("main-toolbar-kind"), "crushed.pak");
    test::WriteAll(pak, std::string("\x1a\x0a" "CRUSHED.TXT\0\0" "\x04\0\0\0" "\x21\x22\x00\x60" "\0\0"
                                    "\x04\0\0\0" "abcd" "\x1a\0", 35));
    const std::string compression = "Compression not supported for this archive";
    struct Case {
        std::string archive;
        TToolbarButton97* button;
        std::string said;
    };
    for (const Case& c : {Case{Join(FixturesDir(), "plain.cab"), f->ToolbarButtonAdd, compression},
                          {Join(FixturesDir(), "plain.cab"), f->ToolbarButtonDel, compression},
                          {Join(FixturesDir(), "hello.txt.gz"), f->ToolbarButtonAdd, compression},
                          {Join(FixturesDir(), "plain.arj"), f->ToolbarButtonDel, compression},
                          {pak, f->ToolbarButtonExtract, "Extract not supported for this filetype."}}) {
        SCOPED_TRACE(c.archive + " " + c.button->Name());
        f->OpenArchive(c.archive);
        f->ListView1->SelectAll();
        modals.Asked.clear();
        c.button->Click();
        test::Pump();
        EXPECT_EQ(modals.Asked, std::vector<std::string>{c.said});
    }
}

TEST_F(MainWindow, ExtractsAllAndSelectedEntriesAndAsksBeforeOverwriting) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-extract");
    const std::string archive = CopyInto(dir, "plain.zip");
    f->OpenArchive(archive);

    // Fast extract with nothing selected: everything, folders kept, into a
    // folder named like the archive.
    f->ActionFastextract1->Click();
    EXPECT_EQ(Tree(Join(dir, "plain")), Inputs());
    EXPECT_TRUE(modals.Asked.empty());
    EXPECT_EQ(f->LedColor(), clGreen);
    EXPECT_EQ(f->StatusBar1->Panels()[1]->Text(), "Ready...");

    // Selected entries only.
    const std::string only = Join(dir, "only");
    for (int i = 0; i < f->Entries->Count(); ++i)
        f->ListView1->SetIsSelected(i, f->Entries->GetEntry(i)->StoredName() == "sub\\nested.txt");
    f->ExtractFiles(only, "", "", 1, 0, true);
    std::map<std::string, std::string> want{{"sub\\nested.txt", Inputs()["sub\\nested.txt"]}};
    EXPECT_EQ(Tree(only), want);

    // Again with confirmation: the question comes, "No" with "Don't ask
    // again" keeps the file; a command tried meanwhile is refused.
    test::WriteAll(Join(only, "sub\\nested.txt"), "mine");
    int questions = 0;
    modals.Drive = [&](TCustomForm* form) {
        auto* q = dynamic_cast<TfrmOverwrite*>(form);
        EXPECT_NE(q, nullptr);
        if (!q) return mrCancel;
        ++questions;
        EXPECT_NE(q->lblFileName->Caption().find("nested.txt"), std::string::npos);
        EXPECT_TRUE(f->Busy());
        f->mnuTest->Click();  // no second job inside this one
        q->chkDontAsk->SetChecked(true);
        return mrNo;
    };
    f->ExtractFiles(only, "", "", 1, 0, true);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ReadAll(Join(only, "sub\\nested.txt")), "mine");
    EXPECT_FALSE(HasLine("Testing archive..."));
    EXPECT_FALSE(f->Busy());

    // "Overwrite existing" (no confirmation) overwrites, whatever the last
    // run's "Don't ask again" left behind.
    modals.Drive = nullptr;
    f->ExtractFiles(only, "", "", 0, 0, true);
    EXPECT_EQ(ReadAll(Join(only, "sub\\nested.txt")), Inputs()["sub\\nested.txt"]);
}

TEST_F(MainWindow, ClosingDuringARunCancelsItAndClosesWhenItIsOver) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-close");
    const std::string archive = CopyInto(dir, "plain.zip");
    f->OpenArchive(archive);
    f->ActionFastextract1->Click();
    bool stillOpen = false;
    modals.Drive = [&](TCustomForm*) {
        f->Close();  // asked while the extraction waits for this answer
        stillOpen = f->Visible();
        return mrYes;
    };
    f->ActionFastextract1->Click();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(HasLine("Error#: 25449"));
    EXPECT_EQ(std::count(modals.Asked.begin(), modals.Asked.end(), "form: Confirm file overwrite..."), 1);
    test::Pump(5);
    EXPECT_FALSE(f->Visible());
}

TEST_F(MainWindow, DeletesOnlyTheTemporaryFilesItWrote) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string temp = ScratchDir("main-temp");
    f->TempFolder = AppendBackslash(temp);
    // The user's own file of the same name as an entry.
    const std::string users = Join(temp, "hello.txt");
    test::WriteAll(users, "the user's file");
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    for (int i = 0; i < f->Entries->Count(); ++i) {
        const std::string n = f->Entries->GetEntry(i)->Name;
        f->ListView1->SetIsSelected(i, n == "hello.txt" || n == "about.txt");
    }
    modals.Drive = [](TCustomForm*) { return mrNo; };  // keep the user's file
    f->mnuView2->Click();  // no viewer: extracted into the temporary folder
    EXPECT_TRUE(modals.AskedAbout("form: Confirm file overwrite..."));
    EXPECT_EQ(f->ExtractedNames.size(), 1u);
    EXPECT_TRUE(os::FileExists(Join(temp, "about.txt")));
    TCustomForm::Free(form_);
    form_ = nullptr;
    EXPECT_FALSE(os::FileExists(Join(temp, "about.txt")));
    EXPECT_EQ(ReadAll(users), "the user's file");
}

TEST_F(MainWindow, TestsGoodAndCorruptedArchivesIntoTheMessagesWindow) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->OpenArchive(Join(FixturesDir(), "stored.zip"));
    f->mnuTest->Click();
    auto lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "Testing archive...");
    EXPECT_EQ(lines.back(), "Testing done.");
    EXPECT_TRUE(HasLine("hello.txt ...Ok"));
    EXPECT_FALSE(HasLine("...Failed"));
    EXPECT_TRUE(f->MsgToolWindow->Visible());
    EXPECT_TRUE(modals.Asked.empty());

    // One byte of hello.txt's stored data changed: that entry fails.
    const std::string dir = ScratchDir("main-corrupt");
    std::string bytes = ReadAll(Join(FixturesDir(), "stored.zip"));
    size_t at = bytes.find("This is the second line.");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 't';
    const std::string bad = Join(dir, "corrupt.zip");
    test::WriteAll(bad, bytes);
    f->RichEdit1->Lines().Clear();
    f->OpenArchive(bad);
    f->mnuTest->Click();
    EXPECT_TRUE(HasLine("hello.txt ...Failed"));
    EXPECT_TRUE(HasLine("Testing done."));
    EXPECT_EQ(f->LedColor(), clGreen);
    EXPECT_FALSE(f->ProgressBar1->Visible());
}

TEST_F(MainWindow, TheBusyIndicatorCancelsARunWithOneBoxThatSaysSo) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-cancel");
    const std::string archive = CopyInto(dir, "many.zip");
    f->OpenArchive(archive);
    ASSERT_EQ(f->Entries->Count(), 1000);
    EXPECT_EQ(f->LedColor(), clGreen);
    // A click on the indicator, taken while the run lets messages through.
    f->pbxLed->HandleNeeded();
    PostMessageA(f->pbxLed->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(f->pbxLed->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    f->ActionFastextract1->Click();
    EXPECT_TRUE(HasLine("Error#: 25449"));
    EXPECT_EQ(modals.Asked, std::vector<std::string>{"File   : " + archive + "\rError# : 25449\rUser canceled"});
    modals.Asked.clear();
    EXPECT_LT(Tree(Join(dir, "many")).size(), 1000u);
    EXPECT_FALSE(f->Busy());
    EXPECT_EQ(f->LedColor(), clGreen);
    EXPECT_FALSE(f->ProgressBar1->Visible());
    // A click while nothing runs does nothing.
    f->pbxLedClick(f->pbxLed);
    EXPECT_TRUE(modals.Asked.empty());
}

TEST_F(MainWindow, TheSwitchRunsOnceAfterTheFirstPaintAndCloses) {
    AnswerAll modals;
    const std::string dir = ScratchDir("main-switch");
    const std::string archive = CopyInto(dir, "plain.zip");
    TfrmMain* f = Make({"/x", archive});
    for (int i = 0; i < 20 && f->Visible(); ++i) test::Pump();
    EXPECT_EQ(Tree(Join(dir, "plain")), Inputs());
    EXPECT_EQ(f->CommandSwitch, "none");
    EXPECT_FALSE(f->Visible());  // closed
    // Painting again does not extract again.
    test::WriteAll(Join(dir, "plain\\hello.txt"), "changed");
    f->Show();
    f->Invalidate();
    test::Pump(10);
    EXPECT_EQ(ReadAll(Join(dir, "plain\\hello.txt")), "changed");
    EXPECT_TRUE(modals.Asked.empty());
}

TEST_F(MainWindow, ScreenshotWithAnArchiveOpen) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->SetBounds(0, 0, 760, 480);
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    f->mnuTest->Click();
    f->ListView1->SetIsSelected(1, true);
    f->DisplayTotals();
    test::Pump(10);
    std::string shot = test::SaveScreenshot(*f, "bramble-main.bmp");
    EXPECT_TRUE(os::FileExists(shot));
}

// ---- bramble.exe as a process -------------------------------------------------------

std::string ProgramPath() {
    std::string p = BRAMBLE_PROGRAM_DEFAULT;
    if (!p.empty() && p[0] == '/') {
        std::replace(p.begin(), p.end(), '/', '\\');
        p = "Z:" + p;
    }
    return p;
}

struct Found {
    DWORD pid;
    std::vector<std::string> texts;
    HWND box = nullptr;
};

BOOL CALLBACK CollectText(HWND c, LPARAM p) {
    char text[512] = {};
    GetWindowTextA(c, text, sizeof text);
    char cls[64] = {};
    GetClassNameA(c, cls, sizeof cls);
    if (std::string(cls) == "Static" && text[0]) reinterpret_cast<Found*>(p)->texts.push_back(text);
    return TRUE;
}

// A visible dialog box of the process: its texts.
BOOL CALLBACK FindBox(HWND w, LPARAM p) {
    auto* fd = reinterpret_cast<Found*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid != fd->pid || std::string(cls) != "#32770" || !IsWindowVisible(w)) return TRUE;
    fd->box = w;
    EnumChildWindows(w, CollectText, p);
    return FALSE;
}

// Runs bramble.exe with the arguments; message boxes it shows are read and
// answered OK. Returns their texts.
std::vector<std::string> RunProgram(const std::string& Args, DWORD& ExitCode) {
    std::string cmd = "\"" + ProgramPath() + "\" " + Args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    std::vector<std::string> boxes;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << cmd;
        return boxes;
    }
    for (int waited = 0; waited < 60000; waited += 100) {
        if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
        Found found{pi.dwProcessId, {}, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
        if (found.box) {
            for (auto& t : found.texts) boxes.push_back(t);
            PostMessageA(found.box, WM_COMMAND, IDOK, 0);
            Sleep(300);
        }
    }
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "bramble.exe did not end: " << cmd;
        TerminateProcess(pi.hProcess, 99);
    }
    GetExitCodeProcess(pi.hProcess, &ExitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return boxes;
}

// A stored ZIP entry by hand: peers refuse to write names that climb out.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& Entries) {
    std::string out, central;
    auto le16 = [](std::string& s, uint32_t v) {
        s += static_cast<char>(v & 0xFF);
        s += static_cast<char>((v >> 8) & 0xFF);
    };
    auto le32 = [&](std::string& s, uint32_t v) {
        le16(s, v & 0xFFFF);
        le16(s, v >> 16);
    };
    for (const auto& [name, data] : Entries) {
        uint32_t crc = 0xFFFFFFFFu;
        Crc32Block(data.data(), data.size(), crc);
        crc = ~crc;
        const uint32_t offset = static_cast<uint32_t>(out.size());
        le32(out, 0x04034b50);
        le16(out, 10);
        le16(out, 0);
        le16(out, 0);
        le32(out, 0x21000000);  // 1996-08-00 00:00
        le32(out, crc);
        le32(out, static_cast<uint32_t>(data.size()));
        le32(out, static_cast<uint32_t>(data.size()));
        le16(out, static_cast<uint32_t>(name.size()));
        le16(out, 0);
        out += name + data;
        le32(central, 0x02014b50);
        le16(central, 20);
        le16(central, 10);
        le16(central, 0);
        le16(central, 0);
        le32(central, 0x21000000);
        le32(central, crc);
        le32(central, static_cast<uint32_t>(data.size()));
        le32(central, static_cast<uint32_t>(data.size()));
        le16(central, static_cast<uint32_t>(name.size()));
        le16(central, 0);
        le16(central, 0);
        le16(central, 0);
        le16(central, 0);
        le32(central, 0);
        le32(central, offset);
        central += name;
    }
    const uint32_t cdStart = static_cast<uint32_t>(out.size());
    out += central;
    le32(out, 0x06054b50);
    le16(out, 0);
    le16(out, 0);
    le16(out, static_cast<uint32_t>(Entries.size()));
    le16(out, static_cast<uint32_t>(Entries.size()));
    le32(out, static_cast<uint32_t>(central.size()));
    le32(out, cdStart);
    le16(out, 0);
    return out;
}

class ProgramRun : public ::testing::Test {
protected:
    // The program reads this process's registry (no redirection crosses
    // processes): the start-up question is switched off for the runs and
    // whatever the runs stored is removed again.
    void SetUp() override {
        TRegistry r;
        r.SetRootKey(HKEY_CURRENT_USER);
        had_key_ = r.KeyExists("Software\\Quillmar\\Bramble");
        WriteDefaultCheckNo();
    }
    void TearDown() override {
        if (had_key_) return;
        TRegistry r;
        r.SetRootKey(HKEY_CURRENT_USER);
        for (const char* k : {"Software\\Quillmar\\Bramble\\Options", "Software\\Quillmar\\Bramble\\Pos",
                              "Software\\Quillmar\\Bramble", "Software\\Quillmar"})
            r.DeleteKey(k);
    }
    bool had_key_ = false;
};

// The program file carries its own icon (the title bar and About show it)
// and the version About names, as the shell's properties read them.
TEST(ProgramFile, HasItsIconAndAVersionResource) {
    const std::string program = ProgramPath();
    HMODULE m = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(m) << program;
    EXPECT_TRUE(FindResourceA(m, "MAINICON", reinterpret_cast<LPCSTR>(RT_GROUP_ICON)));
    HICON icon = static_cast<HICON>(LoadImageA(m, "MAINICON", IMAGE_ICON, 32, 32, 0));
    EXPECT_TRUE(icon);
    if (icon) DestroyIcon(icon);
    FreeLibrary(m);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(std::string(numbers), kBrambleVersion);
    for (const char* name : {"FileVersion", "ProductName"}) {
        char* text = nullptr;
        ASSERT_TRUE(VerQueryValueA(info.data(), (std::string("\\StringFileInfo\\040904E4\\") + name).c_str(),
                                   reinterpret_cast<void**>(&text), &len))
            << name;
        EXPECT_EQ(std::string(text), std::string(name) == "FileVersion" ? kBrambleVersion : "Bramble");
    }
}

TEST_F(ProgramRun, ExtractSwitchGivesThePeersTreeOnceAndRefusesAnExistingFolder) {
    const std::string dir = ScratchDir("program-x");
    struct Case {
        const char* fixture;
        const char* folder;
        std::map<std::string, std::string> tree;
    };
    const std::map<std::string, std::string> gz{{"hello.txt", Inputs()["hello.txt"]}};
    for (const Case& c : {Case{"plain.zip", "plain", Inputs()}, Case{"gnu.tar", "gnu", Inputs()},
                          Case{"hello.txt.gz", "hello.txt", gz}}) {
        SCOPED_TRACE(c.fixture);
        const std::string archive = CopyInto(dir, c.fixture);
        DWORD code = 0;
        std::vector<std::string> boxes = RunProgram("/x \"" + archive + "\"", code);
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        EXPECT_EQ(Tree(Join(dir, c.folder)), c.tree);

        // A second run finds the folder there: it says so and writes nothing.
        const std::string first = Join(Join(dir, c.folder), c.tree.begin()->first);
        DeleteFileA(first.c_str());
        boxes = RunProgram("/x \"" + archive + "\"", code);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "Cannot create folder " + Join(dir, c.folder));
        EXPECT_FALSE(os::FileExists(first));
    }
}

TEST_F(ProgramRun, AnArchiveClimbingOutOfItsFolderWritesNothingOutside) {
    const std::string root = ScratchDir("program-escape");
    const std::string dir = Join(root, "inner");
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string archive = Join(dir, "escape.zip");
    test::WriteAll(archive, StoredZip({{"../escaped.txt", "up one"},
                                       {"..\\..\\escaped2.txt", "up two"},
                                       {"sub/../../escaped3.txt", "sideways"},
                                       {"fine.txt", "stays"}}));
    DWORD code = 0;
    RunProgram("/x \"" + archive + "\"", code);
    for (const char* n : {"escaped.txt", "escaped2.txt", "escaped3.txt"}) {
        EXPECT_FALSE(os::FileExists(Join(root, n))) << n;
        EXPECT_FALSE(os::FileExists(Join(dir, n))) << n;
    }
    EXPECT_EQ(ReadAll(Join(Join(dir, "escape"), "fine.txt")), "stays");
    // Whatever was written went below the new folder.
    std::map<std::string, std::string> tree = Tree(root);
    for (const auto& [name, data] : tree)
        EXPECT_TRUE(name == "inner\\escape.zip" || name.rfind("inner\\escape\\", 0) == 0) << name;
}

// ---- self-extracting programs -------------------------------------------------

// unzip's test of a file, run as the peer it is (Wine starts Unix programs):
// its exit status, with what it printed in Said.
int UnzipTest(const std::string& File, std::string& Said) {
    auto unix = [](std::string p) {
        if (p.size() > 2 && p[1] == ':') p.erase(0, 2);
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    };
    const std::string out = Join(ScratchDir("unzip-t"), "said.txt");
    DeleteFileA(out.c_str());
    std::string cmd = "Z:\\bin\\sh -c \"unzip -t '" + unix(File) + "' > '" + unix(out) + "' 2>&1; echo status=$? >> '" +
                      unix(out) + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // Wine hands a Unix program over without a process to wait on: the
    // status line is its end.
    size_t at = std::string::npos;
    for (int waited = 0; waited < 30000 && at == std::string::npos; waited += 100) {
        Sleep(100);
        Said = os::FileExists(out) ? ReadAll(out) : std::string();
        at = Said.rfind("status=");
        if (at != std::string::npos && Said.find('\n', at) == std::string::npos) at = std::string::npos;
    }
    return at == std::string::npos ? -1 : std::atoi(Said.c_str() + at + 7);
}

TEST_F(MainWindow, MakeSelfExtractingBuildsAProgramUnzipAcceptsAndAsksBeforeReplacingOne) {
    AnswerAll modals;
    // The stub ships beside the program; the program here is this test.
    const std::string stub = Join(ExtractFilePath(ProgramPath()), "zipsfx.bin");
    const std::string ours = Join(ExtractFilePath(Application->ExeName()), "zipsfx.bin");
    ASSERT_TRUE(CopyFileA(stub.c_str(), ours.c_str(), FALSE));
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-sfx");
    f->OpenArchive(CopyInto(dir, "gnu.tar"));
    EXPECT_FALSE(f->FileMakeexe1->Visible());
    const std::string archive = CopyInto(dir, "plain.zip");
    const std::string exe = Join(dir, "plain.exe");
    f->OpenArchive(archive);
    ASSERT_TRUE(f->FileMakeexe1->Visible());

    modals.Asked.clear();
    Choose(f->FileMakeexe1);
    EXPECT_EQ(modals.Asked, std::vector<std::string>{"Creation of " + exe + " Finished"});
    const std::string built = ReadAll(exe);
    EXPECT_EQ(built.size(), ReadAll(stub).size() + ReadAll(archive).size());
    EXPECT_EQ(built.compare(0, ReadAll(stub).size(), ReadAll(stub)), 0);
    std::string said;
    EXPECT_EQ(UnzipTest(exe, said), 0) << said;
    EXPECT_EQ(said.find("warning"), std::string::npos) << said;

    // One there already: No leaves it, Yes replaces it.
    const std::string question = exe + " already exists, overwrite?";
    test::WriteAll(exe, "an older program");
    for (int answer : {IDNO, IDYES}) {
        modals.Asked.clear();
        modals.BoxAnswer = answer;
        Choose(f->FileMakeexe1);
        ASSERT_FALSE(modals.Asked.empty());
        EXPECT_EQ(modals.Asked[0], question);
        EXPECT_EQ(modals.Asked.size(), answer == IDYES ? 2u : 1u);
        EXPECT_EQ(ReadAll(exe), answer == IDYES ? built : "an older program");
    }

    // Without the stub: an error box naming it, and the program kept.
    ASSERT_TRUE(DeleteFileA(ours.c_str()));
    modals.Asked.clear();
    Choose(f->FileMakeexe1);
    ASSERT_EQ(modals.Asked.size(), 2u);
    EXPECT_NE(modals.Asked[1].find("zipsfx.bin"), std::string::npos) << modals.Asked[1];
    EXPECT_EQ(modals.LastBoxFlags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(ReadAll(exe), built);
}

TEST_F(ProgramRun, TheSelfExtractorSwitchBuildsTheProgramAndCloses) {
    const std::string dir = ScratchDir("program-s");
    const std::string archive = CopyInto(dir, "plain.zip");
    const std::string exe = Join(dir, "plain.exe");
    DWORD code = 1;
    EXPECT_EQ(RunProgram("/s \"" + archive + "\"", code), std::vector<std::string>{"Creation of " + exe + " Finished"});
    EXPECT_EQ(code, 0u);
    std::string said;
    EXPECT_EQ(UnzipTest(exe, said), 0) << said;
}

}  // namespace
}  // namespace bramble
