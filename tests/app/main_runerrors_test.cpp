// How a run tells what went wrong: one box however many entries fail, every
// failure on the Messages window with a count at the end, the box in words
// that fit the failure, and nothing started from the temporary folder that
// the run did not write whole.
#include "app/widgets/linklabel.h"
#include "engine/core/helpers.h"
#include "support/zipbuild.h"
#include "main_window.h"

namespace bramble {
namespace {

const char* const kNotValid =
    "Not a valid archive file, if you downloaded it from the internet, try downloading it again.";

int LinesWith(const std::vector<std::string>& Lines, const std::string& Part) {
    return static_cast<int>(std::count_if(Lines.begin(), Lines.end(),
                                          [&](const std::string& l) { return l.find(Part) != std::string::npos; }));
}

std::string ZipFile(const std::string& Dir, const std::string& Name, const std::vector<test::ZItem>& Items) {
    const std::string path = Join(Dir, Name);
    test::WriteAll(path, test::BuildZip(Items));
    return path;
}

std::string LastLine(TfrmMain* f) {
    const int n = f->RichEdit1->Lines().Count();
    return n ? f->RichEdit1->Lines()[n - 1] : std::string();
}

test::ZItem Item(const std::string& Name, const std::string& Data, bool BadCrc = false) {
    test::ZItem it;
    it.name = Name;
    it.data = Data;
    it.badCrc = BadCrc;
    return it;
}

void SelectOnly(TfrmMain* f, const std::string& Name) {
    for (int i = 0; i < f->Entries->Count(); ++i) f->ListView1->SetIsSelected(i, f->Entries->GetEntry(i)->Name == Name);
}

TEST_F(MainWindow, ARunShowsOneBoxHoweverManyEntriesFailAndCountsThem) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-many");
    std::vector<test::ZItem> items;
    for (int i = 0; i < 120; ++i) {
        const std::string n = std::to_string(i);
        items.push_back(Item("e" + std::string(3 - n.size(), '0') + n + ".txt", "entry " + n, true));
    }
    f->OpenArchive(ZipFile(dir, "crc.zip", items));
    ASSERT_EQ(f->Entries->Count(), 120);

    // Extraction: one "Extract failed!" box, every entry on its line.
    f->RichEdit1->Lines().Clear();
    modals.Asked.clear();
    const std::string out = AppendBackslash(Join(dir, "out"));
    f->ExtractFiles(out, "", "", 0, 1, true);
    EXPECT_EQ(modals.Asked, std::vector<std::string>{out + "e000.txt\rExtract failed!"});
    EXPECT_EQ(LinesWith(Lines(), " ...Extract failed!"), 120);
    EXPECT_TRUE(HasLine(out + "e119.txt ...Extract failed!"));
    EXPECT_EQ(LastLine(f), "120 entries failed.");

    // The test of the same archive: one box, every entry on its line.
    f->RichEdit1->Lines().Clear();
    modals.Asked.clear();
    Choose(f->mnuTest);
    EXPECT_EQ(modals.Asked.size(), 1u);
    EXPECT_EQ(LinesWith(Lines(), " ...Failed"), 120);
    EXPECT_EQ(LinesWith(Lines(), "Error#: 25151"), 120);
    EXPECT_TRUE(HasLine("e119.txt"));
    EXPECT_EQ(LastLine(f), "120 entries failed.");

    // Entries that overlap are refused, each on its line, in a test too.
    const std::string overlap = Join(FixturesDir(), "ziphostile\\overlap.zip");
    if (!test::FixtureAbsent("ziphostile\\overlap.zip").empty()) return;
    f->OpenArchive(overlap);
    for (bool testing : {true, false}) {
        SCOPED_TRACE(testing);
        f->RichEdit1->Lines().Clear();
        modals.Asked.clear();
        if (testing) {
            Choose(f->mnuTest);
        } else {
            f->ExtractFiles(AppendBackslash(Join(dir, "overlap")), "", "", 0, 1, true);
        }
        const int refused = LinesWith(Lines(), "Error#: 25248");
        EXPECT_GE(refused, 9);
        if (testing) {
            EXPECT_EQ(LinesWith(Lines(), " ...Failed"), refused);
        }
        EXPECT_TRUE(HasLine(std::to_string(refused) + " entries failed."));
        EXPECT_LE(modals.Asked.size(), testing ? 1u : 2u) << ::testing::PrintToString(modals.Asked);
    }
}

// What a box says by what failed; the prompt for a password names the entry.
TEST_F(MainWindow, AFailureThatIsNotTheArchivesIsToldInItsOwnWords) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-words");
    test::ZItem locked = Item("hello.txt", "hello");
    locked.password = "secret";
    const std::string lockedZip = ZipFile(dir, "locked.zip", {locked});
    const std::string plainZip = ZipFile(dir, "plain.zip", {Item("hello.txt", "hello")});
    test::ZItem unknownMethod = Item("hello.txt", "hello");
    unknownMethod.method = 99;
    const std::string damagedZip = ZipFile(dir, "damaged.zip", {unknownMethod});

    struct Case {
        const char* what;
        std::string archive;
        int confirm;
        std::function<void(const std::string& Target)> prepare;
        int overwriteAnswer;
        std::string box;  // "" the message's own text: code and words
        int code;
        const char* words;
    } cases[] = {
        {"no password", lockedZip, 0, nullptr, mrYes, "", 26517, "Invalid password"},
        // A folder where the output file would go.
        {"output refused", plainZip, 0,
         [](const std::string& t) { CreateDirectoryA((t + "hello.txt").c_str(), nullptr); }, mrYes, "", 25235,
         "Error opening file"},
        {"cancelled", plainZip, 1, [](const std::string& t) { test::WriteAll(t + "hello.txt", "mine"); }, mrCancel,
         "", 25449, "User canceled"},
        {"damaged", damagedZip, 0, nullptr, mrYes, kNotValid, 0, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = AppendBackslash(Join(dir, "out" + std::to_string(n++)));
        CreateDirectoryA(target.c_str(), nullptr);
        if (c.prepare) c.prepare(target);
        f->OpenArchive(c.archive);
        modals.Asked.clear();
        modals.Prompts.clear();
        modals.Drive = [&](TCustomForm*) { return c.overwriteAnswer; };
        try {
            f->ExtractFiles(target, "", "", c.confirm, 1, true);
        } catch (const E_RAISE&) {
            // the cancel ends the run; its box came first
        }
        // The first box after the questions.
        auto first = std::find_if(modals.Asked.begin(), modals.Asked.end(), [](const std::string& a) {
            return a.rfind("form: ", 0) != 0 && a != "Encrypted file...";
        });
        ASSERT_NE(first, modals.Asked.end());
        const std::string box = *first;
        if (!c.box.empty()) {
            EXPECT_EQ(box, c.box);
            continue;
        }
        const std::string file = c.code == 25449 ? c.archive : target + "hello.txt";
        EXPECT_EQ(box, "File   : " + file + "\rError# : " + std::to_string(c.code) + "\r" + c.words);
        if (c.code == 26517) {
            EXPECT_EQ(modals.Prompts, std::vector<std::string>{"Enter password for hello.txt"});
        }
    }
}

// The shell calls the program would have made.
struct ShellCalls {
    std::vector<std::string> files;
    TShellExecuteFn saved = ShellExecuteHook;
    ShellCalls() {
        ShellExecuteHook = [this](HWND, const std::string&, const std::string& f, const std::string&,
                                  const std::string&, int) { files.push_back(f); };
    }
    ~ShellCalls() { ShellExecuteHook = saved; }
};

TEST_F(MainWindow, OpenAndInstallStartOnlyWhatThisRunWroteWhole) {
    AnswerAll modals;
    ShellCalls shell;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-start");
    const std::string zip = ZipFile(dir, "mixed.zip",
                                    {Item("good.txt", "good"), Item("bad.txt", "bad", true), Item("old.txt", "new"),
                                     Item("setup.exe", "MZ", true)});
    struct Case {
        const char* entry;
        bool started;
    } cases[] = {{"good.txt", true}, {"bad.txt", false}, {"old.txt", false}, {"setup.exe", false}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        f->TempFolder = AppendBackslash(ScratchDir("main-runerr-temp" + std::to_string(n++)));
        // An older copy the user keeps by answering No.
        test::WriteAll(f->TempFolder + "old.txt", "old");
        modals.Drive = [](TCustomForm*) { return mrNo; };
        modals.DialogAnswer = mrYes;  // Install: everything, then run it
        f->OpenArchive(zip);
        SelectOnly(f, c.entry);
        shell.files.clear();
        Choose(f->ListOpen1);
        EXPECT_EQ(shell.files, c.started ? std::vector<std::string>{f->TempFolder + c.entry}
                                         : std::vector<std::string>{});
        EXPECT_EQ(HasLine(f->TempFolder + c.entry + " was not started"), !c.started);
    }
}

TEST_F(MainWindow, TheReaderIsToldTheDiskTheChosenEntriesWereListedFrom) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-label");
    const std::string zip = ZipFile(dir, "labels.zip", {Item("a.txt", "a"), Item("b.txt", "b")});
    struct Case {
        std::vector<std::string> labels;  // of a.txt and b.txt as listed
        int which;
        std::string expected;
    } cases[] = {
        {{"DISK1", "DISK2"}, 0, "DISK1"},
        {{"", "DISK2"}, 0, "DISK2"},
        {{"", ""}, 0, ""},
        {{"DISK1", "DISK2"}, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected + " " + std::to_string(c.which));
        f->OpenArchive(zip);
        // The list as a listing of labelled disks would have left it.
        f->Entries->Clear();
        for (size_t i = 0; i < 2; ++i) {
            TEntryInfo info;
            info.FileName = i == 0 ? "a.txt" : "b.txt";
            f->Entries->Add(info, 0, c.labels[i]);
        }
        f->Entries->UpdateCount();
        f->ListView1->SetIsSelected(0, true);
        f->ListView1->SetIsSelected(1, true);
        f->UnZIP1->SetVolumeLabel("left from before");
        f->ExtractFiles(AppendBackslash(Join(dir, "out")), "", "", 0, c.which, true);
        EXPECT_EQ(f->UnZIP1->VolumeLabel(), c.expected);
    }
}

}  // namespace
}  // namespace bramble
