// How a run tells what went wrong: one box however many entries fail, every
// failure on the Messages window and a count at the end, boxes in words that
// fit, and nothing started that the run did not write whole.
#include "app/widgets/linklabel.h"
#include "engine/core/helpers.h"
#include "support/zipbuild.h"
#include "main_window.h"

namespace bramble {
namespace {

test::ZItem Item(const std::string& Name, bool BadCrc = false, uint16_t Method = 0) {
    test::ZItem it;
    it.name = Name;
    it.data = "data of " + Name;
    it.badCrc = BadCrc;
    it.method = Method;
    return it;
}

std::string ZipFile(const std::string& Dir, const std::string& Name, const std::vector<test::ZItem>& Items) {
    test::WriteAll(Join(Dir, Name), test::BuildZip(Items));
    return Join(Dir, Name);
}

TEST_F(MainWindow, ARunShowsOneBoxHoweverManyEntriesFailAndCountsThem) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-many");
    std::vector<test::ZItem> items;
    for (int i = 100; i < 220; ++i) items.push_back(Item("e" + std::to_string(i) + ".txt", true));
    const std::string out = AppendBackslash(Join(dir, "out"));
    auto count = [&](const std::string& Part) {
        auto l = Lines();
        return std::count_if(l.begin(), l.end(), [&](const std::string& s) { return s.find(Part) != std::string::npos; });
    };
    struct Case {
        std::string archive;
        bool testing;
        const char* line;  // one per failed entry
        int failed;        // 0: at least 9 (the overlapping entries)
    } cases[] = {{ZipFile(dir, "crc.zip", items), false, " ...Extract failed!", 120},
                 {ZipFile(dir, "crc.zip", items), true, " ...Failed", 120},
                 {Join(FixturesDir(), "ziphostile\\overlap.zip"), true, "Error#: 25248", 0},
                 {Join(FixturesDir(), "ziphostile\\overlap.zip"), false, "Error#: 25248", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + (c.testing ? " test" : " extract"));
        f->OpenArchive(c.archive);
        f->RichEdit1->Lines().Clear();
        modals.Asked.clear();
        if (c.testing)
            Choose(f->mnuTest);
        else
            f->ExtractFiles(out, "", "", 0, 1, true);
        const auto failed = count(c.line);
        if (c.failed) {
            EXPECT_EQ(failed, c.failed);
        } else {
            EXPECT_GE(failed, 9);
        }
        if (c.testing) {
            EXPECT_EQ(count(" ...Failed"), failed);
        }
        EXPECT_EQ(count(std::to_string(failed) + " entries failed."), 1);
        // The first error's box, and at most one "Extract failed!".
        EXPECT_LE(modals.Asked.size(), c.testing || c.failed ? 1u : 2u) << ::testing::PrintToString(modals.Asked);
    }
}

// The first box of a run by what failed; the password prompt names the entry.
TEST_F(MainWindow, AFailureThatIsNotTheArchivesIsToldInItsOwnWords) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-words");
    test::ZItem locked = Item("hello.txt");
    locked.password = "secret";
    const std::string plain = ZipFile(dir, "plain.zip", {Item("hello.txt")});
    struct Case {
        std::string archive;
        int confirm, answer;
        void (*prepare)(const std::string& OutputFile);
        std::string box;  // the file it names + "\r" + code + words, or the whole box
    } cases[] = {
        {ZipFile(dir, "locked.zip", {locked}), 0, mrYes, nullptr, "OUT\rError# : 26517\rInvalid password"},
        {plain, 0, mrYes, [](const std::string& o) { CreateDirectoryA(o.c_str(), nullptr); },
         "OUT\rError# : 25235\rError opening file"},
        {plain, 1, mrCancel, [](const std::string& o) { test::WriteAll(o, "mine"); },
         plain + "\rError# : 25449\rUser canceled"},
        {ZipFile(dir, "method.zip", {Item("hello.txt", false, 99)}), 0, mrYes, nullptr,
         "Not a valid archive file, if you downloaded it from the internet, try downloading it again."},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string target = AppendBackslash(Join(dir, "out" + std::to_string(i)));
        CreateDirectoryA(target.c_str(), nullptr);
        if (c.prepare) c.prepare(target + "hello.txt");
        f->OpenArchive(c.archive);
        modals.Asked.clear();
        modals.Drive = [&](TCustomForm*) { return c.answer; };
        try {
            f->ExtractFiles(target, "", "", c.confirm, 1, true);
        } catch (const E_RAISE&) {
        }
        std::string box = c.box;
        if (box.rfind("OUT", 0) == 0) box = "File   : " + target + "hello.txt" + box.substr(3);
        if (box.rfind("Z:", 0) == 0) box = "File   : " + box;
        // The first box after the questions.
        auto first = std::find_if(modals.Asked.begin(), modals.Asked.end(), [](const std::string& a) {
            return a.rfind("form: ", 0) != 0 && a != "Encrypted file...";
        });
        EXPECT_EQ(first == modals.Asked.end() ? "" : *first, box) << i;
    }
    EXPECT_EQ(modals.Prompts, std::vector<std::string>{"Enter password for hello.txt"});
}

TEST_F(MainWindow, OpenAndInstallStartOnlyWhatThisRunWroteWhole) {
    AnswerAll modals;
    std::vector<std::string> started;
    TShellExecuteFn saved = ShellExecuteHook;
    ShellExecuteHook = [&](HWND, const std::string&, const std::string& File, const std::string&, const std::string&,
                           int) { started.push_back(File); };
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-start");
    f->OpenArchive(ZipFile(dir, "mixed.zip", {Item("good.txt"), Item("bad.txt", true), Item("old.txt"),
                                              Item("setup.exe", true)}));
    modals.Drive = [](TCustomForm*) { return mrNo; };  // keeps an older copy
    for (const char* entry : {"good.txt", "bad.txt", "old.txt", "setup.exe"}) {
        f->TempFolder = AppendBackslash(ScratchDir(std::string("main-runerr-temp-") + entry));
        test::WriteAll(f->TempFolder + "old.txt", "older");
        for (int i = 0; i < f->Entries->Count(); ++i) f->ListView1->SetIsSelected(i, f->Entries->GetEntry(i)->Name == entry);
        started.clear();
        Choose(f->ListOpen1);  // setup.exe: Install, everything extracted
        const bool whole = std::string(entry) == "good.txt";
        EXPECT_EQ(started, whole ? std::vector<std::string>{f->TempFolder + entry} : std::vector<std::string>{});
        EXPECT_EQ(HasLine(f->TempFolder + entry + " was not started"), !whole) << entry;
    }
    ShellExecuteHook = saved;
}

TEST_F(MainWindow, TheReaderIsToldTheDiskTheChosenEntriesWereListedFrom) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-runerr-label");
    f->OpenArchive(ZipFile(dir, "labels.zip", {Item("a.txt"), Item("b.txt")}));
    struct Case {
        const char *a, *b;  // the labels the listing gave them
        int which;
        const char* expected;
    } cases[] = {{"DISK1", "DISK2", 0, "DISK1"}, {"", "DISK2", 0, "DISK2"}, {"", "", 0, ""}, {"DISK1", "DISK2", 1, ""}};
    for (const Case& c : cases) {
        f->Entries->Clear();
        for (const char* name : {"a.txt", "b.txt"}) {
            TEntryInfo info;
            info.FileName = name;
            f->Entries->Add(info, 0, name[0] == 'a' ? c.a : c.b);
        }
        f->Entries->UpdateCount();
        f->ListView1->SelectAll();
        f->UnZIP1->SetVolumeLabel("left from before");
        f->ExtractFiles(AppendBackslash(Join(dir, "out")), "", "", 0, c.which, true);
        EXPECT_EQ(f->UnZIP1->VolumeLabel(), c.expected) << c.a << c.b << c.which;
    }
}

}  // namespace
}  // namespace bramble
