// Which of the window's handlers each engine component reports through:
// an event left unset is a question never asked (a file replaced without
// asking) or a line never written.
#include "engine/core/helpers.h"
#include "engine/writers/gzip.h"
#include "engine/writers/uuencode.h"
#include "main_window.h"

namespace bramble {
namespace {

struct Wiring {
    const char* name;
    bool fileExists, password, recurse, replace, read, nonWriteable;
};

TEST_F(MainWindow, EveryWriterHasTheEventsItsWorkCanRaise) {
    TfrmMain* f = Make();
    const Wiring table[] = {
        // name       exists password recurse replace read  nonWriteable
        {"Zip1", false, true, true, true, true, true},
        {"BlakHole1", false, true, true, true, true, true},
        {"Jar1", false, true, true, true, true, true},
        {"Lha1", false, false, true, true, true, true},
        {"MakeCAB1", false, false, true, true, true, true},
        {"Tar1", false, false, true, true, true, true},
        {"GZip1", true, false, false, false, true, true},
        {"UUEncode1", true, false, false, false, false, true},
    };
    TCompBase* const writers[] = {f->Zip1, f->BlakHole1, f->Jar1, f->Lha1, f->MakeCAB1, f->Tar1, f->GZip1,
                                  f->UUEncode1};
    for (size_t i = 0; i < std::size(table); ++i) {
        const Wiring& w = table[i];
        TCompBase* c = writers[i];
        ASSERT_TRUE(c) << w.name;
        EXPECT_EQ(c->Name(), w.name);
        EXPECT_EQ(bool(c->OnFileExists), w.fileExists) << w.name;
        EXPECT_EQ(bool(c->OnGetPassword), w.password) << w.name;
        EXPECT_EQ(bool(c->OnRecurseDir), w.recurse) << w.name;
        EXPECT_EQ(bool(c->OnReplaceFile), w.replace) << w.name;
        EXPECT_EQ(bool(c->OnRead), w.read) << w.name;
        EXPECT_EQ(bool(c->OnNonWriteableArchive), w.nonWriteable) << w.name;
        EXPECT_TRUE(c->OnActivate && c->OnBegin && c->OnEnd && c->OnError && c->OnElapsedTime) << w.name;
    }
}

// The readers exist with the window, one per family, each asking what its
// kind can ask; the extraction of a kind goes to its family's reader.
TEST_F(MainWindow, TheReadersAreTheWindowsOwnFromTheStart) {
    TfrmMain* f = Make();
    struct Reader {
        TUnBase* reader;
        const char* name;
        bool password, volumes;
    } table[] = {
        {f->UnZIP1, "UnZIP1", true, false},  {f->UnARJ1, "UnARJ1", true, true},
        {f->UnACE1, "UnACE1", true, true},   {f->UnRAR1, "UnRAR1", true, true},
        {f->UnBH1, "UnBH1", true, false},    {f->UnJar1, "UnJar1", true, false},
        {f->UnCAB1, "UnCAB1", false, true},  {f->UnARC1, "UnARC1", false, false},
        {f->UnGZIP1, "UnGZIP1", false, false}, {f->UnLHA1, "UnLHA1", false, false},
        {f->UnZOO1, "UnZOO1", false, false},
    };
    for (const Reader& r : table) {
        ASSERT_TRUE(r.reader) << r.name;
        EXPECT_EQ(r.reader->Name(), r.name);
        EXPECT_TRUE(r.reader->OnFileExists) << r.name;
        EXPECT_EQ(bool(r.reader->OnGetPassword), r.password) << r.name;
        EXPECT_EQ(bool(r.reader->OnNextVolume), r.volumes) << r.name;
    }
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    f->ExtractFiles(AppendBackslash(ScratchDir("main-readers")), "", "", 0, 1, true);
    EXPECT_EQ(f->ExtractComponent, f->UnZIP1);
}

// The gzip writer puts NAME.gz beside NAME: one that is there is the
// user's, and is replaced only on Yes.
TEST_F(MainWindow, TheGzipWriterAsksBeforeReplacingAnExistingOutput) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-gzip-exists");
    test::WriteAll(Join(dir, "a.txt"), "new contents");
    const std::string out = Join(dir, "a.txt.gz");
    struct Case {
        int answer;
        bool kept;
    } cases[] = {{mrNo, true}, {mrYes, false}};
    for (const Case& c : cases) {
        test::WriteAll(out, "mine");
        modals.Asked.clear();
        modals.Drive = [&](TCustomForm*) { return c.answer; };
        f->GZip1->SetConfirmOverwrites(true);
        f->GZip1->SetOverwriteMode(omOverwrite);
        f->GZip1->SetDefaultDir(dir);
        f->GZip1->SetArchiveFile(Join(dir, "x.gz"));
        f->GZip1->FileSpec() = {"a.txt"};
        f->GZip1->Compress();
        EXPECT_TRUE(modals.AskedAbout("form: Confirm file overwrite...")) << c.answer;
        EXPECT_EQ(ReadAll(out) == "mine", c.kept) << c.answer;
    }
}

}  // namespace
}  // namespace bramble
