// The RAR and ACE readers through their libraries: our own stand-ins of
// unrar.dll and unace.dll (tests/standins) sit beside the test program
// under the real names, over stored archives written here, with scripted
// faults. The lister's walks over the same archives and over the corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/bindings/unace.h"
#include "engine/bindings/unacereader.h"
#include "engine/bindings/unrar.h"
#include "engine/bindings/unrarreader.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/lister/dovex.h"
#include "engine/readers/readers.h"
#include "support/libarchives.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;
using testlib::Item;

struct Outcome {
    std::vector<int> errors;
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<std::string> passwordsAsked;
    std::vector<std::string> answers;  // given in turn; empty: decline
    int volumesAsked = 0;
    bool confirmVolumes = true;
    bool raised = false;
    int raisedId = 0;

    void Watch(TLibraryReader& r) {
        r.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        r.OnEnd = [this](TObject*, const std::string& FN, bool pass) { ends.emplace_back(FN, pass); };
        r.OnGetPassword = [this](TObject*, const std::string& FN, std::string& pw, bool& again) {
            passwordsAsked.push_back(FN);
            const size_t n = passwordsAsked.size() - 1;
            if (n < answers.size() && !answers[n].empty()) {
                pw = answers[n];
                again = true;
            } else {
                again = false;
            }
        };
        r.OnNextVolume = [this](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
            ++volumesAsked;
            cancel = !(exists && confirmVolumes);
            (void)name;
        };
    }
    int Count(int id) const { return static_cast<int>(std::count(errors.begin(), errors.end(), id)); }
    int Passed() const {
        int n = 0;
        for (const auto& e : ends) n += e.second;
        return n;
    }
};

template <typename R>
int Extract(R& r, const std::string& archive, const std::string& dir, Outcome& run, bool test = false) {
    run.Watch(r);
    r.SetArchiveFile(archive);
    r.SetExtractDir(dir);
    r.SetConfirmOverwrites(false);
    if (r.FileSpec().empty()) r.FileSpec() = {"*.*"};
    try {
        return test ? r.Test() : r.Extract();
    } catch (const E_RAISE& e) {
        run.raised = true;
        run.raisedId = e.Code();
        return -1;
    }
}

struct Listed {
    std::vector<TEntryInfo> rows;
    std::vector<int> errors;
    bool raised = false;
    TArcType kind = atNA;
};

Listed List(const std::string& path) {
    Listed out;
    TDovex d;
    d.SetArchiveFile(path);
    out.kind = d.ArcType();
    d.SetFileSpec({"*.*"});
    d.OnRead = [&](TObject*, int, int) { out.rows.push_back(d.EntryInfo); };
    d.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int id) {
        out.errors.push_back(id);
    };
    d.OnNextVolume = [&](TObject*, std::string&, const std::string&, bool exists, bool& cancel) { cancel = !exists; };
    try {
        d.ReadArchive();
    } catch (const E_RAISE&) {
        out.raised = true;
    }
    return out;
}

std::string Text(size_t n, char seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(seed + (i * 7) % 23);
    return s;
}

// ---- bindings ---------------------------------------------------------------------

TEST(LibraryReaders, StandInsAreBoundAndAMissingLibraryRefusesTheRun) {
    ASSERT_TRUE(rar::UnrarLoaded());
    ASSERT_TRUE(ace::UnaceLoaded());
    const std::string dir = ScratchDir("libreaders_missing");
    WriteAll(Join(dir, "a.rar"), testlib::RarArchive({{"A.TXT", "a"}}));
    WriteAll(Join(dir, "a.ace"), testlib::AceArchive({{"A.TXT", "a"}}));
    rar::UnloadUnrarDll();
    ace::UnloadUnAceDll();
    Outcome rr, ra;
    TUnRAR r;
    TUnACE a;
    Extract(r, Join(dir, "a.rar"), Join(dir, "out"), rr);
    Extract(a, Join(dir, "a.ace"), Join(dir, "out"), ra);
    rar::LoadUnrarDll();
    ace::LoadUnAceDll();
    EXPECT_TRUE(rr.raised);
    EXPECT_EQ(rr.errors, std::vector<int>{25260});
    EXPECT_TRUE(ra.raised);
    EXPECT_EQ(ra.errors, std::vector<int>{25262});
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "out"), "A.TXT")));
    EXPECT_TRUE(rar::UnrarLoaded());
}

TEST(LibraryReaders, EngineTableGivesTheReaders) {
    EXPECT_NE(dynamic_cast<TUnRAR*>(CreateReaderForKind(atRar).get()), nullptr);
    EXPECT_NE(dynamic_cast<TUnRAR*>(CreateReaderForKind(atRarExe).get()), nullptr);
    EXPECT_NE(dynamic_cast<TUnACE*>(CreateReaderForKind(atACE).get()), nullptr);
}

TEST(LibraryReaders, ResultCodesMapToTheirMessages) {
    const std::map<int, int> rarTable = {{10, 25161}, {11, 25253}, {12, 25108}, {13, 25242}, {14, 25242},
                                         {15, 25235}, {16, 25136}, {17, 25137}, {18, 25236}, {19, 25136},
                                         {21, 25135}, {22, 26517}, {0, 0},      {20, 0},     {99, 0}};
    for (const auto& [code, id] : rarTable) EXPECT_EQ(TUnRAR::RarErrorToMessageId(code), id) << code;
    const std::map<int, int> aceTable = {{1, 25253}, {3, 25172},   {4, 25159},   {5, 25235},   {6, 25236},
                                         {7, 25136}, {9, 25151},   {128, 25242}, {132, 25242}, {131, 26517},
                                         {255, 25400}, {0, 0},     {2, 0},       {8, 0}};
    for (const auto& [code, id] : aceTable) EXPECT_EQ(TUnACE::AceErrorToMessageId(code), id) << code;
}

TEST(LibraryReaders, TheCrcPassesInEitherFormAndOnlyThen) {
    // The header's CRC as the finished value, as the register stands before
    // its final inversion, and a wrong one; extracted and tested.
    Item finished{"FINISHED.TXT", Text(1500, 'f')};
    Item raw{"RAW.TXT", Text(700, 'r')};
    raw.rawCrc = true;
    Item wrong{"WRONG.TXT", "wrong"};
    wrong.badCrc = true;
    const std::vector<Item> items = {finished, raw, wrong};
    const std::vector<std::pair<std::string, bool>> expected = {{"FINISHED.TXT", true}, {"RAW.TXT", true},
                                                                {"WRONG.TXT", false}};
    for (bool ace : {false, true}) {
        for (bool test : {false, true}) {
            const std::string what = std::string(ace ? "ace" : "rar") + (test ? " test" : " extract");
            const std::string dir = ScratchDir("libreaders_crc_" + std::to_string(ace) + std::to_string(test));
            const std::string archive = Join(dir, ace ? "c.ace" : "c.rar");
            WriteAll(archive, ace ? testlib::AceArchive(items) : testlib::RarArchive(items));
            Outcome run;
            std::vector<std::pair<std::string, bool>> ends;
            auto check = [&](TLibraryReader& r) {
                Extract(r, archive, Join(dir, "out"), run, test);
                for (const auto& [name, pass] : run.ends) ends.emplace_back(ExtractFileName(name), pass);
                EXPECT_EQ(ends, expected) << what;
                EXPECT_TRUE(run.errors.empty()) << what;
            };
            if (ace) {
                TUnACE r;
                check(r);
            } else {
                TUnRAR r;
                check(r);
            }
        }
    }
}

// ---- RAR --------------------------------------------------------------------------

TEST(UnRar, ExtractsFilesLeavesFoldersAndNeverTouchesTheArchive) {
    const std::string dir = ScratchDir("unrar_extract");
    const std::string archive = Join(dir, "set.rar");
    const std::string big = Text(5000, 'a');
    WriteAll(archive, testlib::RarArchive({
                          {"A.TXT", "alpha"},
                          {"SUB", "", 0x10},
                          {"SUB\\B.TXT", big},
                          {"unix/mode.txt", "unix file", 0x81B4, 3},  // 0100664: 0x10 is group write
                          {"unix/dir", "", 0x41ED, 3},
                          {"..\\..\\escape.txt", "out"},
                          {"RO.TXT", "read-only", 0x21},
                      }));
    const std::string before = ReadAll(archive);
    const std::string out = Join(dir, "out");
    Outcome run;
    TUnRAR r;
    EXPECT_EQ(Extract(r, archive, out, run), 5);
    EXPECT_FALSE(run.raised) << run.raisedId;
    EXPECT_EQ(run.errors, std::vector<int>{});
    EXPECT_EQ(run.Passed(), 5);
    EXPECT_EQ(r.Counted(), 5);
    EXPECT_EQ(ReadAll(Join(out, "A.TXT")), "alpha");
    EXPECT_TRUE(ReadAll(Join(Join(out, "SUB"), "B.TXT")) == big);
    EXPECT_EQ(ReadAll(Join(Join(out, "unix"), "mode.txt")), "unix file");
    // The unsafe name lands inside the output folder.
    EXPECT_EQ(ReadAll(Join(out, "escape.txt")), "out");
    EXPECT_FALSE(os::FileExists(Join(Join(out, "unix"), "dir")));
    EXPECT_EQ(ReadAll(archive), before);
#ifdef _WIN32
    // The library applies what the header holds; a Unix mode (here with
    // the bits that read as system and folder) leaves a plain file, DOS
    // attributes stand.
    const uint32_t odd = os::faReadOnly | os::faHidden | os::faSysFile | os::faDirectory;
    EXPECT_EQ(os::GetAttributes(Join(Join(out, "unix"), "mode.txt")) & odd, 0u);
    EXPECT_NE(os::GetAttributes(Join(out, "RO.TXT")) & os::faReadOnly, 0u);
    os::SetAttributes(Join(out, "RO.TXT"), os::faArchive);
#endif

    // Only what the specs take.
    Outcome some;
    TUnRAR r2;
    r2.FileSpec() = {"*.TXT"};
    r2.SetRecurseDirs(false);
    const std::string out2 = Join(dir, "out2");
    Extract(r2, archive, out2, some);
    EXPECT_TRUE(os::FileExists(Join(out2, "A.TXT")));
}

TEST(UnRar, ASelfExtractorIsCountedFromWhereItsArchiveStarts) {
    const std::string dir = ScratchDir("unrar_sfx");
    const std::string exe = Join(dir, "sfx.exe");
    // Detection looks for the archive past the first 17000 bytes of a program.
    std::string stub = "MZ" + std::string(18000, '\0');
    WriteAll(exe, stub + testlib::RarArchive({{"A.TXT", "a"}, {"B.TXT", "b"}}));
    TUnRAR r;
    r.SetArchiveFile(exe);
    ASSERT_EQ(r.ArcType(), atRarExe);
    Outcome run;
    EXPECT_EQ(Extract(r, exe, Join(dir, "out"), run), 2);
    EXPECT_EQ(r.Counted(), 2);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "B.TXT")), "b");
}

TEST(UnRar, TestRunsHandTheDataToTheWriteHookAndCatchBadCrcs) {
    const std::string dir = ScratchDir("unrar_test");
    const std::string archive = Join(dir, "t.rar");
    Item bad{"BAD.TXT", "bad data"};
    bad.badCrc = true;
    WriteAll(archive, testlib::RarArchive({{"GOOD.TXT", Text(3000, 'x')}, bad, {"LAST.TXT", "z"}}));
    Outcome run;
    TUnRAR r;
    Extract(r, archive, Join(dir, "out"), run, true);
    ASSERT_EQ(run.ends.size(), 3u);
    EXPECT_TRUE(run.ends[0].second);
    EXPECT_FALSE(run.ends[1].second);
    EXPECT_TRUE(run.ends[2].second);
    EXPECT_FALSE(os::DirectoryExists(Join(dir, "out")));

    // Without OnEnd the failure is reported.
    Outcome quiet;
    TUnRAR r2;
    quiet.Watch(r2);
    r2.OnEnd = nullptr;
    r2.SetArchiveFile(archive);
    r2.FileSpec() = {"*.*"};
    r2.Test();
    EXPECT_EQ(quiet.errors, std::vector<int>{25151});

    // Into a stream of the caller's: the data comes through the hook.
    TMemoryStream stream;
    Outcome toStream;
    TUnRAR r3;
    toStream.Watch(r3);
    r3.SetArchiveFile(archive);
    r3.FileSpec() = {"GOOD.TXT"};
    r3.InputSource = isArchive;
    r3.OutputTarget = otCallerStream;
    r3.StreamB = &stream;
    r3.SetConfirmOverwrites(false);
    r3.FileSpec() = {"GOOD.TXT"};
    r3.OnEnd = [&](TObject*, const std::string&, bool pass) { toStream.ends.emplace_back("GOOD", pass); };
    {
        TRunScope scope(r3);
        EXPECT_NO_THROW(r3.ExtractArchive());
    }
    std::string got(static_cast<size_t>(stream.Size()), '\0');
    stream.Seek(0);
    stream.Read(got.data(), stream.Size());
    EXPECT_TRUE(got == Text(3000, 'x'));
    ASSERT_EQ(toStream.ends.size(), 1u);
    EXPECT_TRUE(toStream.ends[0].second);
}

struct PasswordCase {
    const char* what;
    int attempts;
    std::vector<std::string> answers;
    bool extracted;
    int asked;
    std::vector<int> errors;
};

template <typename R>
void RunPasswordCases(const std::string& name, bool ace) {
    const std::vector<PasswordCase> cases = {
        {"right at once", 3, {"secret"}, true, 1, {}},
        {"two wrong then right", 3, {"one", "two", "secret"}, true, 3, {}},
        {"declined", 3, {}, false, 1, {26517}},
        {"wrong in every round", 2, {"one", "two"}, false, 2, {26517}},
    };
    for (const PasswordCase& c : cases) {
        const std::string dir = ScratchDir(name + "_" + std::to_string(&c - cases.data()));
        Item locked{"LOCKED.TXT", Text(2500, 'k')};
        locked.password = "secret";
        const std::vector<Item> items = {{"BEFORE.TXT", "first"}, locked, {"AFTER.TXT", "last"}};
        const std::string archive = Join(dir, ace ? "p.ace" : "p.rar");
        WriteAll(archive, ace ? testlib::AceArchive(items) : testlib::RarArchive(items));
        const std::string out = Join(dir, "out");
        Outcome run;
        run.answers = c.answers;
        R r;
        r.SetPasswordAttempts(c.attempts);
        Extract(r, archive, out, run);
        EXPECT_EQ(os::FileExists(Join(out, "LOCKED.TXT")) && ReadAll(Join(out, "LOCKED.TXT")) == locked.data,
                  c.extracted)
            << c.what;
        EXPECT_EQ(static_cast<int>(run.passwordsAsked.size()), c.asked) << c.what;
        EXPECT_EQ(run.errors, c.errors) << c.what;
        // A retry goes back to the same entry, not over the ones before.
        EXPECT_EQ(std::count_if(run.ends.begin(), run.ends.end(),
                                [](const auto& e) { return e.first.find("BEFORE") != std::string::npos; }),
                  1)
            << c.what;
        // A failed password ends the run.
        EXPECT_EQ(os::FileExists(Join(out, "AFTER.TXT")), c.extracted) << c.what;
    }
}

TEST(UnRar, PasswordsRightWrongAndDeclined) { RunPasswordCases<TUnRAR>("unrar_pw", false); }

TEST(UnRar, VolumesConfirmedAndDeclined) {
    for (bool confirm : {true, false}) {
        const std::string dir = ScratchDir(std::string("unrar_volumes_") + (confirm ? "yes" : "no"));
        Item split{"SPLIT.BIN", Text(4000, 's')};
        const auto vols = testlib::RarVolumes({{"ONE.TXT", "1"}}, split, {{"TWO.TXT", "2"}});
        WriteAll(Join(dir, "v.rar"), vols[0]);
        // A volume that is there goes on without a question to decline.
        if (confirm) WriteAll(Join(dir, "v.r00"), vols[1]);
        const std::string out = Join(dir, "out");
        Outcome run;
        run.confirmVolumes = confirm;
        TUnRAR r;
        Extract(r, Join(dir, "v.rar"), out, run);
        EXPECT_EQ(run.volumesAsked, 1);
        EXPECT_TRUE(run.errors.empty()) << run.errors.size();
        EXPECT_TRUE(os::FileExists(Join(out, "ONE.TXT")));
        if (confirm) {
            EXPECT_TRUE(ReadAll(Join(out, "SPLIT.BIN")) == split.data);
            EXPECT_EQ(ReadAll(Join(out, "TWO.TXT")), "2");
            // Counted once, from the first volume; the second adds its own.
            EXPECT_EQ(r.Counted(), 3);
            EXPECT_EQ(run.Passed(), 3);
        } else {
            EXPECT_FALSE(os::FileExists(Join(out, "TWO.TXT")));
            EXPECT_EQ(r.Counted(), 2);
        }
    }
}

TEST(UnRar, AVolumeFoundUnderAnotherNameIsWrittenBackToTheLibrary) {
    const std::string dir = ScratchDir("unrar_volume_elsewhere");
    Item split{"SPLIT.BIN", Text(3000, 'e')};
    const auto vols = testlib::RarVolumes({}, split, {{"TWO.TXT", "2"}});
    WriteAll(Join(dir, "v.rar"), vols[0]);
    WriteAll(Join(dir, "second part.rar"), vols[1]);
    Outcome run;
    TUnRAR r;
    run.Watch(r);
    int asked = 0;
    r.OnNextVolume = [&](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
        ++asked;
        EXPECT_FALSE(exists);
        name = Join(dir, "second part.rar");
        cancel = false;
    };
    r.SetArchiveFile(Join(dir, "v.rar"));
    r.SetExtractDir(Join(dir, "out"));
    r.FileSpec() = {"*.*"};
    r.Extract();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(ReadAll(Join(Join(dir, "out"), "SPLIT.BIN")) == split.data);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "TWO.TXT")), "2");
    EXPECT_EQ(run.Passed(), 2);
}

TEST(UnRar, EveryLibraryFailureIsReportedAndTheRunGoesOn) {
    const std::string dir = ScratchDir("unrar_faults");
    std::vector<Item> items;
    const std::vector<std::pair<int, int>> faults = {{10, 25161}, {11, 25253}, {12, 25108}, {13, 25242},
                                                     {14, 25242}, {15, 25235}, {16, 25136}, {17, 25137},
                                                     {18, 25236}, {19, 25136}, {20, 25151}, {21, 25135},
                                                     {22, 26517}};
    std::vector<int> expected;
    for (const auto& [code, id] : faults) {
        items.push_back({"FAIL" + std::to_string(code) + "_X.TXT", "x"});
        expected.push_back(id);
    }
    items.push_back({"FINE.TXT", "fine"});
    WriteAll(Join(dir, "f.rar"), testlib::RarArchive(items));
    Outcome run;
    TUnRAR r;
    r.OnEnd = nullptr;
    Extract(r, Join(dir, "f.rar"), Join(dir, "out"), run);
    EXPECT_EQ(run.errors, expected);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "FINE.TXT")), "fine");

    // A header the library cannot read ends the run after what came before.
    WriteAll(Join(dir, "h.rar"), testlib::RarArchive({{"OK.TXT", "ok"}, {"BADHDR.TXT", "x"}, {"NEVER.TXT", "n"}}));
    Outcome hdr;
    TUnRAR r2;
    Extract(r2, Join(dir, "h.rar"), Join(dir, "out2"), hdr);
    EXPECT_EQ(hdr.errors, std::vector<int>{25108});
    EXPECT_TRUE(os::FileExists(Join(Join(dir, "out2"), "OK.TXT")));
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "out2"), "NEVER.TXT")));
}

TEST(UnRar, AMainHeaderCutShortIsReportedBeforeTheLibrarySaysItsPiece) {
    const std::string dir = ScratchDir("unrar_cut_main");
    // A self-extractor's archive (a plain one that short is no archive to
    // detection), and the second volume of a set.
    const std::string cut = testlib::RarMarker() + testlib::RarMain().substr(0, 6);
    const std::string exe = Join(dir, "cut.exe");
    WriteAll(exe, "MZ" + std::string(18000, '\0') + cut);
    Outcome run;
    TUnRAR r;
    r.SetArchiveFile(exe);
    ASSERT_EQ(r.ArcType(), atRarExe);
    Extract(r, exe, Join(dir, "out"), run);
    EXPECT_TRUE(run.raised);
    EXPECT_EQ(run.errors, (std::vector<int>{25236, 25242}));
    EXPECT_EQ(r.Counted(), 0);

    Item split{"SPLIT.BIN", Text(2000, 'c')};
    const auto vols = testlib::RarVolumes({{"ONE.TXT", "1"}}, split, {});
    WriteAll(Join(dir, "v.rar"), vols[0]);
    WriteAll(Join(dir, "v.r00"), cut);
    Outcome volume;
    TUnRAR r2;
    Extract(r2, Join(dir, "v.rar"), Join(dir, "out2"), volume);
    EXPECT_FALSE(volume.raised);
    EXPECT_EQ(volume.errors, (std::vector<int>{25236, 25135}));
    EXPECT_EQ(ReadAll(Join(Join(dir, "out2"), "ONE.TXT")), "1");
}

TEST(UnRar, Format5GoesToTheLibraryCountedAsItGoesAndTheListerRefusesIt) {
    const std::string dir = ScratchDir("unrar_rar5");
    const std::string archive = Join(dir, "five.rar");
    WriteAll(archive, testlib::RarArchive({{"A.TXT", "a"}, {"B.TXT", "b"}, {"C.TXT", "c"}}, true));
    Outcome run;
    TUnRAR r;
    EXPECT_EQ(Extract(r, archive, Join(dir, "out"), run), 3);
    EXPECT_EQ(r.Counted(), 3);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "C.TXT")), "c");
    const Listed l = List(archive);
    EXPECT_TRUE(l.rows.empty());
    EXPECT_EQ(l.errors, std::vector<int>{25328});
    EXPECT_FALSE(l.raised);
}

TEST(UnRar, ListerReadsOurArchivesAndTheirVolumes) {
    const std::string dir = ScratchDir("unrar_list");
    Item split{"SPLIT.BIN", Text(4000, 's')};
    const auto vols = testlib::RarVolumes({{"ONE.TXT", "1"}}, split, {{"TWO.TXT", "2", 0x81A4, 3}});
    WriteAll(Join(dir, "v.rar"), vols[0]);
    WriteAll(Join(dir, "v.r00"), vols[1]);
    const Listed l = List(Join(dir, "v.rar"));
    ASSERT_EQ(l.rows.size(), 3u);
    EXPECT_EQ(l.rows[1].FileName, "SPLIT.BIN");
    EXPECT_EQ(l.rows[1].UnpackedSize, 4000);
    EXPECT_EQ(l.rows[1].CRC, testlib::Crc32Of(split.data));
    EXPECT_EQ(l.rows[2].ExternalAttr, 0x20u);
}

TEST(UnRar, ListerWalkTakesLargeSizesAndStopsAtDamageWithoutGarbage) {
    using testlib::L16;
    using testlib::L32;
    const std::string dir = ScratchDir("unrar_list_damage");
    const std::string good = testlib::RarFile({"GOOD.TXT", "good"}, "good", 0, testlib::Crc32Of("good"));
    // A file block with the large-size flag: the high halves of the sizes
    // stand before the name (no data follows: the entry is only listed).
    std::string rest = L32(0) + L32(0x10) + std::string(1, '\2') + L32(0) + L32(testlib::kDos2001) +
                       std::string("\x14\x30", 2) + L16(7) + L32(0x20) + L32(0) + L32(2) + "BIG.BIN";
    const std::string large = testlib::RarBlock(0x74, 0x8100, rest);
    // A header whose name runs past its end.
    std::string badName = good;
    badName[26] = '\x7F';
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"large sizes", testlib::RarMarker() + testlib::RarMain() + good + large + testlib::RarEnd(), {"GOOD.TXT", "BIG.BIN"}},
        {"cut inside a header", testlib::RarMarker() + testlib::RarMain() + good + good.substr(0, 20), {"GOOD.TXT"}},
        {"name past the header", testlib::RarMarker() + testlib::RarMain() + good + badName + good, {"GOOD.TXT"}},
        {"no block type", testlib::RarMarker() + testlib::RarMain() + good + testlib::RarBlock(0x7C, 0, "") + good,
         {"GOOD.TXT"}},
        {"other blocks passed over",
         testlib::RarMarker() + testlib::RarMain() + testlib::RarBlock(0x75, 0, "comment") +
             testlib::RarBlock(0x77, 0x8000, L32(5)) + "xxxxx" + good + testlib::RarEnd(),
         {"GOOD.TXT"}},
        {"marker of another format", std::string("Rar!\x1A\x07\x02\x00", 8) + testlib::RarMain() + good, {}},
    };
    for (const Case& c : cases) {
        const std::string path = Join(dir, "case.rar");
        WriteAll(path, c.bytes);
        const Listed l = List(path);
        std::vector<std::string> names;
        for (const TEntryInfo& e : l.rows) names.push_back(e.FileName);
        EXPECT_EQ(names, c.names) << c.what;
        EXPECT_FALSE(l.raised) << c.what;
        if (c.names.size() == 2) {
            EXPECT_EQ(l.rows[1].UnpackedSize, (int64_t{2} << 32) | 0x10) << c.what;
        }
    }
}

TEST(UnRar, CorpusArchivesListAndFormat5IsRefused) {
    BRAMBLE_NEED_CORPUS();
    std::vector<std::string> files = {"misc/patool-t.rar", "misc/patool-p.rar"};
    for (const auto& e : std::filesystem::directory_iterator(Join(test::CorpusDir(), "libarchive"))) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file() && name.find("rar") != std::string::npos) files.push_back("libarchive/" + name);
    }
    int listed = 0, refused = 0;
    for (const std::string& f : files) {
        const std::string path = Join(Join(test::CorpusDir(), f.substr(0, f.find('/'))), f.substr(f.find('/') + 1));
        const std::string head = ReadAll(path).substr(0, 8);
        const Listed l = List(path);
        if (l.kind != atRar && l.kind != atRarExe) continue;
        // Damaged test archives (a cut main header, a set whose next
        // volume is not there) end with the reason, never with garbage.
        if (l.raised) {
            ASSERT_FALSE(l.errors.empty()) << f;
            EXPECT_TRUE(l.errors.back() == 25236 || l.errors.back() == 25172) << f << " " << l.errors.back();
        }
        if (head == std::string("Rar!\x1A\x07\x01\x00", 8)) {
            EXPECT_TRUE(l.rows.empty()) << f;
            EXPECT_EQ(std::count(l.errors.begin(), l.errors.end(), 25328), 1) << f;
            ++refused;
        } else if (!l.rows.empty()) {
            ++listed;
            for (const TEntryInfo& e : l.rows) EXPECT_FALSE(e.FileName.empty()) << f;
        }
    }
    EXPECT_GT(listed, 15);
    EXPECT_GT(refused, 15);
}

// ---- ACE --------------------------------------------------------------------------

TEST(UnAce, ExtractsTestsAndCatchesBadCrcs) {
    const std::string dir = ScratchDir("unace_extract");
    const std::string archive = Join(dir, "a.ace");
    Item bad{"BAD.TXT", "bad"};
    bad.badCrc = true;
    const std::string big = Text(3500, 'q');
    WriteAll(archive, testlib::AceArchive({{"A.TXT", "alpha"}, {"SUB", "", 0x10}, {"SUB\\B.TXT", big}, bad}));
    const std::string before = ReadAll(archive);
    Outcome run;
    TUnACE r;
    Extract(r, archive, Join(dir, "out"), run);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "A.TXT")), "alpha");
    EXPECT_TRUE(ReadAll(Join(Join(Join(dir, "out"), "SUB"), "B.TXT")) == big);
    EXPECT_EQ(r.Counted(), 3);
    ASSERT_EQ(run.ends.size(), 3u);
    EXPECT_FALSE(run.ends[2].second);
    EXPECT_EQ(ReadAll(archive), before);

    Outcome test;
    TUnACE r2;
    Extract(r2, archive, Join(dir, "none"), test, true);
    EXPECT_EQ(test.Passed(), 2);
    EXPECT_FALSE(os::DirectoryExists(Join(dir, "none")));
}

TEST(UnAce, ABlockOtherThanAFileEndsTheCountingWalk) {
    const std::string dir = ScratchDir("unace_other_block");
    const std::string archive = Join(dir, "o.ace");
    // A block of type 2 with a body of its own between two files: the
    // library reads past it, the count stops at it.
    const std::string other = testlib::AceBlock(std::string(1, '\x02') + testlib::L16(0) + std::string(8, 'x'));
    WriteAll(archive, testlib::AceMain() + testlib::AceFile({"A.TXT", "a"}, "a", 0, testlib::Crc32Of("a")) + other +
                          testlib::AceFile({"B.TXT", "b"}, "b", 0, testlib::Crc32Of("b")));
    Outcome run;
    TUnACE r;
    EXPECT_EQ(Extract(r, archive, Join(dir, "out"), run), 2);
    EXPECT_EQ(r.Counted(), 1);
    EXPECT_EQ(run.Passed(), 2);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "B.TXT")), "b");
}

TEST(UnAce, PasswordsRightWrongAndDeclined) { RunPasswordCases<TUnACE>("unace_pw", true); }

TEST(UnAce, AUserAbortEndsThePasswordRoundsAtOnce) {
    const std::string dir = ScratchDir("unace_abort");
    Item locked{"FAIL255_L.TXT", "x"};
    locked.password = "pw";
    WriteAll(Join(dir, "a.ace"), testlib::AceArchive({locked}));
    Outcome run;
    run.answers = {"pw", "pw", "pw"};
    TUnACE r;
    r.SetPasswordAttempts(3);
    Extract(r, Join(dir, "a.ace"), Join(dir, "out"), run);
    EXPECT_EQ(run.passwordsAsked.size(), 1u);
    EXPECT_EQ(run.errors, std::vector<int>{25400});
}

TEST(UnAce, VolumesAndFailures) {
    const std::string dir = ScratchDir("unace_volumes");
    Item split{"SPLIT.BIN", Text(3000, 'v')};
    const auto vols = testlib::AceVolumes({{"ONE.TXT", "1"}}, split, {{"FAIL7_W.TXT", "w"}, {"TWO.TXT", "2"}});
    WriteAll(Join(dir, "v.ace"), vols[0]);
    WriteAll(Join(dir, "v.C00"), vols[1]);
    Outcome run;
    TUnACE r;
    r.OnEnd = nullptr;
    Extract(r, Join(dir, "v.ace"), Join(dir, "out"), run);
    EXPECT_EQ(run.volumesAsked, 1);
    EXPECT_TRUE(ReadAll(Join(Join(dir, "out"), "SPLIT.BIN")) == split.data);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "TWO.TXT")), "2");
    EXPECT_EQ(run.errors, std::vector<int>{25136});
    const Listed l = List(Join(dir, "v.ace"));
    ASSERT_EQ(l.rows.size(), 4u);
    EXPECT_EQ(l.rows[1].PackedSize, 3000);

    os::FileDelete(Join(dir, "v.C00"));
    Outcome declined;
    declined.confirmVolumes = false;
    TUnACE r2;
    Extract(r2, Join(dir, "v.ace"), Join(dir, "out2"), declined);
    EXPECT_TRUE(declined.errors.empty());
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "out2"), "TWO.TXT")));
}

TEST(UnAce, EveryLibraryFailureIsReported) {
    const std::string dir = ScratchDir("unace_faults");
    std::vector<Item> items;
    const std::vector<std::pair<int, int>> faults = {{1, 25253}, {3, 25172},   {4, 25159},   {5, 25235},
                                                     {6, 25236}, {7, 25136},   {8, 25151},   {9, 25151},
                                                     {128, 25242}, {131, 26517}, {132, 25242}, {255, 25400}};
    std::vector<int> expected;
    for (const auto& [code, id] : faults) {
        items.push_back({"FAIL" + std::to_string(code) + "_X.TXT", "x"});
        expected.push_back(id);
    }
    // A user abort ends the run.
    items.push_back({"NEVER.TXT", "n"});
    WriteAll(Join(dir, "f.ace"), testlib::AceArchive(items));
    Outcome run;
    TUnACE r;
    r.OnEnd = nullptr;
    Extract(r, Join(dir, "f.ace"), Join(dir, "out"), run);
    EXPECT_EQ(run.errors, expected);
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "out"), "NEVER.TXT")));
}

TEST(UnAce, CorpusArchiveLists) {
    BRAMBLE_NEED_CORPUS();
    const Listed l = List(Join(Join(test::CorpusDir(), "misc"), "patool-t.ace"));
    EXPECT_FALSE(l.raised);
    EXPECT_FALSE(l.rows.empty());
}

}  // namespace
}  // namespace bramble
