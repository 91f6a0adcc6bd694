// What the window tells the user when something goes wrong: once, in words
// that say what happened, under the names the user sees in the list.
#include <set>

#include "engine/core/diskmanager.h"
#include "engine/writers/zip.h"
#include "main_window.h"

namespace bramble {
namespace {

void SelectByName(TfrmMain* f, const std::string& Name) {
    for (int i = 0; i < f->Entries->Count(); ++i) f->ListView1->SetIsSelected(i, f->Entries->GetEntry(i)->Name == Name);
}

bool Listed(TfrmMain* f, const std::string& Name) {
    for (int i = 0; i < f->Entries->Count(); ++i)
        if (f->Entries->GetEntry(i)->Name == Name) return true;
    return false;
}

TEST_F(MainWindow, EachFailureIsToldOnceInWordsThatSayWhatHappened) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-told");
    const std::string text = CopyInto(dir, "notarchive.txt");

    // A file that is not an archive, chosen in the Open dialog: one box.
    modals.FileToOpen = text;
    Choose(f->mnuOpen1);
    test::Pump();
    modals.Asked.erase(modals.Asked.begin());  // the file dialog itself
    EXPECT_EQ(modals.Asked.size(), 1u) << ::testing::PrintToString(modals.Asked);

    // Fast extract of x.tar.gz where a file x.tar stands in the way of the
    // folder named like the archive: said as "/x" says it.
    const std::string gz = Join(dir, "x.tar.gz");
    CopyFileA(Join(FixturesDir(), "tarball.tar.gz").c_str(), gz.c_str(), FALSE);
    const std::string blocker = Join(dir, "x.tar");
    test::WriteAll(blocker, "a file of the user's");
    f->OpenArchive(gz);
    test::Pump();
    modals.Asked.clear();
    Choose(f->ActionFastextract1);
    test::Pump();
    EXPECT_EQ(modals.Asked, std::vector<std::string>{"Cannot create folder " + blocker});
    EXPECT_EQ(ReadAll(blocker), "a file of the user's");
}

TEST_F(MainWindow, ANotArchiveOnTheCommandLineGivesOneBox) {
    AnswerAll modals;
    const std::string text = CopyInto(ScratchDir("main-told-cl"), "notarchive.txt");
    Make({text});
    test::Pump(5);
    EXPECT_EQ(modals.Asked.size(), 1u) << ::testing::PrintToString(modals.Asked);
}

// One byte in the middle of an entry's data flipped, found through its
// local header.
void DamageZipEntry(std::string& Zip, const std::string& Name) {
    const std::string sig("PK\x03\x04", 4);
    for (size_t at = Zip.find(sig); at != std::string::npos; at = Zip.find(sig, at + 4)) {
        auto le16 = [&](size_t o) { return static_cast<size_t>(static_cast<uint8_t>(Zip[o]) | static_cast<uint8_t>(Zip[o + 1]) << 8); };
        const size_t nameLen = le16(at + 26), extraLen = le16(at + 28);
        if (Zip.compare(at + 30, nameLen, Name) != 0) continue;
        const size_t packed = le16(at + 18) | le16(at + 20) << 16;
        Zip[at + 30 + nameLen + extraLen + packed / 2] ^= 0x55;
        return;
    }
    ADD_FAILURE() << Name << " not found";
}

TEST_F(MainWindow, ATestReportsEveryDamagedEntryUnderItsStoredName) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-damaged");
    struct Case {
        const char* fixture;
        std::vector<std::string> damage;  // stored names as the archive has them
        std::set<std::string> listed;     // ... and as the list shows them
    };
    for (const Case& c : {Case{"stored.zip", {"hello.txt", "sub/nested.txt"}, {"hello.txt", "sub\\nested.txt"}},
                          Case{"plain.zip", {"about.txt", "big.bin"}, {"about.txt", "big.bin"}}}) {
        SCOPED_TRACE(c.fixture);
        std::string bytes = ReadAll(Join(FixturesDir(), c.fixture));
        for (const std::string& n : c.damage) DamageZipEntry(bytes, n);
        const std::string bad = Join(dir, c.fixture);
        test::WriteAll(bad, bytes);
        f->OpenArchive(bad);
        f->RichEdit1->Lines().Clear();
        modals.Asked.clear();
        Choose(f->mnuTest);
        test::Pump();
        for (const std::string& n : c.listed) EXPECT_TRUE(HasLine(n + " ...Failed")) << n;
        EXPECT_TRUE(HasLine("Testing done."));
        // A box that names a file names a damaged entry as the list shows it.
        for (const std::string& a : modals.Asked) {
            if (a.rfind("File   : ", 0) != 0) continue;
            std::string name = a.substr(9, a.find('\r') - 9);
            EXPECT_EQ(c.listed.count(name), 1u) << a;
        }
        SCOPED_TRACE(::testing::PrintToString(modals.Asked) + ::testing::PrintToString(Lines()));
    }
}

TEST_F(MainWindow, ADeleteThatRemovesNothingSaysSoOnce) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-delete");

    // Another program took both selected entries out after the list was
    // read: each missed name on the Messages window, one box for the lot.
    const std::string zip = CopyInto(dir, "stored.zip");
    f->OpenArchive(zip);
    for (int i = 0; i < f->Entries->Count(); ++i) {
        const std::string n = f->Entries->GetEntry(i)->Name;
        f->ListView1->SetIsSelected(i, n == "hello.txt" || n == "nested.txt");
    }
    ASSERT_EQ(f->ListView1->SelCount(), 2);
    {
        TZip other;
        other.SetArchiveFile(zip);
        other.SetSwitch(swDelete);
        other.FileSpec() = {"hello.txt", "sub\\nested.txt"};
        ASSERT_EQ(other.Compress(), 2);
    }
    const std::string before = ReadAll(zip);
    f->RichEdit1->Lines().Clear();
    modals.Asked.clear();
    Choose(f->mnuDelete1);
    test::Pump();
    EXPECT_EQ(modals.Asked, (std::vector<std::string>{
                                "Delete selected file(s)?",
                                "The selected file(s) were not found in the archive: nothing was deleted."}));
    int missed = 0;
    for (const std::string& l : Lines()) missed += l.find("Error#: 25172") != std::string::npos;
    EXPECT_EQ(missed, 2) << ::testing::PrintToString(Lines());
    EXPECT_EQ(ReadAll(zip), before);

    // Names stored as "./hello.txt" (as tar -C dir . makes them): the entry
    // the user chose goes, and only that one.
    const std::string tar = Join(dir, "dots.tar");
    test::WriteAll(tar, DotSlashTar({{"./hello.txt", "hello\n"}, {"./sub/", ""}, {"./sub/n.txt", "nested\n"}}));
    f->OpenArchive(tar);
    ASSERT_TRUE(Listed(f, "hello.txt"));
    SelectByName(f, "hello.txt");
    modals.Asked.clear();
    Choose(f->mnuDelete1);
    test::Pump();
    EXPECT_EQ(modals.Asked, std::vector<std::string>{"Delete selected file(s)?"});
    EXPECT_FALSE(Listed(f, "hello.txt"));
    EXPECT_TRUE(Listed(f, "n.txt"));
}

// A drive that cannot be read: the engine's Retry/Cancel question is a box
// with the stop icon, the root and the message standing together.
TEST_F(MainWindow, ADriveThatIsNotReadyIsAskedAboutInAStopBox) {
    AnswerAll modals;
    Make();
    modals.Asked.clear();
    modals.BoxAnswer = IDCANCEL;
    // No drive Q: in the test prefix.
    EXPECT_FALSE(CheckDriveReady("q:\\set.zip"));
    ASSERT_EQ(modals.Asked.size(), 1u);
    EXPECT_EQ(modals.Asked[0].rfind("Q:\\is not accessible.\r\n\r\n", 0), 0u) << modals.Asked[0];
    EXPECT_EQ(modals.LastBoxFlags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(modals.LastBoxFlags & MB_TYPEMASK, static_cast<UINT>(MB_RETRYCANCEL));
}

// The archive's drive is checked before the first extraction of the run
// only: a drive that is not ready ends the command and is asked about again
// next time; once one check has passed, later extractions go straight to
// the dialog.
TEST_F(MainWindow, TheDriveIsCheckedBeforeTheFirstExtractionOfTheRunOnly) {
    AnswerAll modals;
    modals.BoxAnswer = IDCANCEL;
    TfrmMain* f = Make();
    const std::string unreadable = "q:\\set.zip";  // no drive Q: in the test prefix
    const std::string readable = Join(FixturesDir(), "plain.zip");
    struct Step {
        const std::string& archive;
        bool driveAsked;
    };
    for (Step s : {Step{unreadable, true}, {unreadable, true}, {readable, false}, {unreadable, false}}) {
        SCOPED_TRACE(s.archive);
        f->Dovex1->SetArchiveFile(s.archive);
        modals.Asked.clear();
        f->mnuExtract1Click(f);
        ASSERT_EQ(modals.Asked.size(), 1u);
        EXPECT_EQ(modals.Asked[0].rfind("Q:\\is not accessible.", 0) == 0, s.driveAsked) << modals.Asked[0];
        EXPECT_EQ(modals.Asked[0] == "form: Extract", !s.driveAsked) << modals.Asked[0];
    }
}

}  // namespace
}  // namespace bramble
