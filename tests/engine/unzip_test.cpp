// The ZIP reader against archives made by the peer tools, the shared corpus
// and small archives built here: byte-exact extraction, passwords, CRC
// failures, folders, lost central directories, hostile names, stamps,
// skipping, and spanned sets on (faked) removable disks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/readers/unzip.h"
#include "engine/formats/zip.h"
#include "support/testenv.h"
#include "support/zipbuild.h"
#include "support/winefloppy.h"

// The run options are given by name, the others left at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;
using test::ZItem;
using test::BuildZip;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }
std::string Corpus(const std::string& name) { return Join(Join(test::CorpusDir(), "misc"), name); }

// A stored name as a path under Dir on this platform.
std::string Under(const std::string& dir, std::string name) {
    std::replace(name.begin(), name.end(), '/', os::PathSeparator());
    std::replace(name.begin(), name.end(), '\\', os::PathSeparator());
    return Join(dir, name);
}

// ---- running the reader -------------------------------------------------------------

struct ReaderRun {
    int count = 0;
    int raised = 0;
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<int> errors;
    std::vector<std::string> errorEx;
    std::vector<std::string> begun;

    bool AllPassed() const {
        return std::all_of(ends.begin(), ends.end(), [](const auto& e) { return e.second; });
    }
    int Errors(int code) const { return static_cast<int>(std::count(errors.begin(), errors.end(), code)); }
    std::set<std::string> Failed() const {
        std::set<std::string> f;
        for (const auto& [name, pass] : ends)
            if (!pass) f.insert(ExtractFileName(name));
        return f;
    }
};

struct GoOptions {
    bool test = false;
    bool onEnd = true;
    std::function<void(TUnZIP&)> setup;
};

ReaderRun Go(const std::string& archive, const std::string& dir, const GoOptions& o = {}) {
    ReaderRun run;
    TUnZIP r;
    r.SetArchiveFile(archive);
    if (!dir.empty()) r.SetExtractDir(dir);
    r.FileSpec() = {"*.*"};
    r.OnError = [&](TObject*, const std::string&, const std::string& ex, const std::string&, int code) {
        run.errors.push_back(code);
        run.errorEx.push_back(ex);
    };
    if (o.onEnd)
        r.OnEnd = [&](TObject*, const std::string& fn, bool pass) { run.ends.emplace_back(fn, pass); };
    r.OnBegin = [&](TObject*, const std::string& fn, int, bool&) { run.begun.push_back(fn); };
    if (o.setup) o.setup(r);
    try {
        run.count = o.test ? r.Test() : r.Extract();
    } catch (const E_RAISE& e) {
        run.raised = e.Code();
    }
    EXPECT_EQ(RunningComponent(), nullptr);
    return run;
}

// What zipinfo listed for a fixture when it was made: (name, size) of files.
std::vector<std::pair<std::string, int64_t>> PeerFiles(const std::string& archive) {
    std::vector<std::pair<std::string, int64_t>> files;
    std::istringstream in(ReadAll(Join(Join(test::FixturesDir(), "peers"), archive + ".tsv")));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string x; std::getline(ls, x, '\t');) f.push_back(x);
        if (f.size() >= 4 && f[3] == "f") files.emplace_back(f[0], std::stoll(f[1]));
    }
    return files;
}

// Every listed file is in Dir with its size, and equal to its input where
// the fixture was made from one.
void ExpectExtracted(const std::string& dir, const std::vector<std::pair<std::string, int64_t>>& files) {
    for (const auto& [name, size] : files) {
        SCOPED_TRACE(name);
        const std::string got = ReadAll(Under(dir, name));
        EXPECT_EQ(static_cast<int64_t>(got.size()), size);
        const std::string input = Under(Join(test::FixturesDir(), "in"), name);
        if (os::FileExists(input)) {
            EXPECT_TRUE(got == ReadAll(input)) << "differs from its input";
        }
    }
}

TEST(ZipReader, ExtractsPeerArchivesByteForByte) {
    const std::vector<std::pair<std::string, int64_t>> small = {
        {"about.txt", 11360}, {"hello.txt", 56}, {"sub/nested.txt", -1}};
    struct Case {
        std::string archive;
        std::vector<std::pair<std::string, int64_t>> files;  // empty: the peers' listing
    };
    auto nested = static_cast<int64_t>(ReadAll(Fixture("in/sub/nested.txt")).size());
    auto withNested = small;
    withNested[2].second = nested;
    const std::vector<Case> cases = {
        {"plain.zip", {}},     {"stored.zip", {}},  {"comment.zip", {}},      {"python.zip", {}},
        {"7z.zip", {}},        {"app.jar", {}},     {"APP2.JAR", {}},         {"zeros_prefixed.zip", {}},
        {"streamed.zip", {}},  {"many.zip", {}},    {"dirs.zip", {}},         {"encrypted.zip", {}},
        {"sfx.exe", withNested}, {"sfx_15770.exe", withNested}, {"sfx_unadjusted.exe", withNested},
        // Cut before its central directory: the local headers carry it,
        // with sizes in descriptors behind the data.
        {"nocentral.zip", {{"hello.txt", 56}, {"about.txt", 11360}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const auto files = c.files.empty() ? PeerFiles(c.archive) : c.files;
        ASSERT_FALSE(files.empty());
        const std::string dir = ScratchDir("unzip-peer-" + c.archive);
        const ReaderRun run = Go(Fixture(c.archive), dir, {.setup = [](TUnZIP& r) { r.SetPasswords({"secret"}); }});
        EXPECT_EQ(run.raised, 0);
        EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
        EXPECT_EQ(run.count, static_cast<int>(files.size()));
        EXPECT_EQ(run.ends.size(), files.size());
        EXPECT_TRUE(run.AllPassed());
        ExpectExtracted(dir, files);
    }
}

TEST(ZipReader, ShrunkAndImplodedCorpusArchivesTestWithCorrectCrcs) {
    BRAMBLE_NEED_CORPUS();
    const std::map<std::string, size_t> archives = {
        {"cc-SHRUNK.ZIP", 2},          {"cc-imploding-4Kdict-2trees.zip", 1}, {"cc-imploding-8Kdict-3trees.zip", 1},
        {"cc-moby-imploded.zip", 135}, {"cc-lorem-ipsum-implode.zip", 1},
    };
    for (const auto& [name, entries] : archives) {
        SCOPED_TRACE(name);
        const ReaderRun run = Go(Corpus(name), "", {.test = true});
        EXPECT_EQ(run.raised, 0);
        EXPECT_TRUE(run.errors.empty());
        EXPECT_EQ(run.ends.size(), entries);
        EXPECT_TRUE(run.AllPassed());
    }
    // Extracted, the largest imploded text is the size it claims.
    const std::string dir = ScratchDir("unzip-lorem");
    const ReaderRun run = Go(Corpus("cc-lorem-ipsum-implode.zip"), dir);
    EXPECT_TRUE(run.AllPassed());
    EXPECT_EQ(ReadAll(Join(dir, "LOREM.TXT")).size(), 144060u);
}

TEST(ZipReader, PasswordsAreTriedInTurnThenAskedForAFewTimes) {
    const std::string archive = Fixture("encrypted.zip");
    const auto files = PeerFiles("encrypted.zip");
    ASSERT_EQ(files.size(), 2u);

    // The right one in Passwords, a wrong one in Password: nobody is asked.
    {
        int asked = 0;
        const std::string dir = ScratchDir("unzip-pw-list");
        const ReaderRun run = Go(archive, dir, {.setup = [&](TUnZIP& r) {
                               r.SetPassword("wrong");
                               r.SetPasswords({"nope", "secret"});
                               r.OnGetPassword = [&](TObject*, const std::string&, std::string&, bool&) { ++asked; };
                           }});
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(run.count, 2);
        EXPECT_TRUE(run.AllPassed());
        EXPECT_TRUE(run.errors.empty());
        ExpectExtracted(dir, files);
    }
    // Three wrong answers: each is "Invalid password", then "Password
    // failed" ends the run after that entry's end.
    {
        std::vector<std::string> answers = {"bad1", "bad2", "bad3", "secret"};
        size_t next = 0;
        const ReaderRun run = Go(archive, ScratchDir("unzip-pw-wrong"), {.setup = [&](TUnZIP& r) {
                               r.SetPasswordAttempts(3);
                               r.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool& again) {
                                   pw = answers[next++];
                                   again = true;
                               };
                           }});
        EXPECT_EQ(next, 3u);
        EXPECT_EQ(run.errors, std::vector<int>({26517, 26517, 26517, 26522}));
        ASSERT_EQ(run.ends.size(), 1u);
        EXPECT_FALSE(run.ends[0].second);
        EXPECT_EQ(run.raised, 0);
    }
    // TryAgain left False stops asking at once.
    {
        int asked = 0;
        const ReaderRun run = Go(archive, ScratchDir("unzip-pw-once"), {.setup = [&](TUnZIP& r) {
                               r.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool&) {
                                   pw = "bad1";
                                   ++asked;
                               };
                           }});
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(run.errors, std::vector<int>({26517, 26522}));
    }
    // Nobody to ask: each encrypted entry is reported and passed over.
    {
        const std::string dir = ScratchDir("unzip-pw-none");
        const ReaderRun run = Go(archive, dir);
        EXPECT_EQ(run.errors, std::vector<int>({25270, 25270}));
        EXPECT_EQ(run.errorEx, std::vector<std::string>({"OnGetPassword", "OnGetPassword"}));
        EXPECT_EQ(run.ends.size(), 2u);
        EXPECT_EQ(run.Failed().size(), 2u);
        EXPECT_EQ(run.raised, 0);
        EXPECT_FALSE(os::FileExists(Join(dir, "hello.txt")));
    }
    // An answer that opens the archive is kept for the next entries.
    {
        int asked = 0;
        std::vector<std::string> learned;
        const std::string dir = ScratchDir("unzip-pw-asked");
        const ReaderRun run = Go(archive, dir, {.setup = [&](TUnZIP& r) {
                               r.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool&) {
                                   pw = "secret";
                                   ++asked;
                               };
                               r.OnDeactivate = [&](TObject*) { learned = r.Passwords(); };
                           }});
        EXPECT_EQ(asked, 1);
        EXPECT_TRUE(run.AllPassed());
        EXPECT_EQ(learned, std::vector<std::string>({"secret"}));
        ExpectExtracted(dir, files);
    }
}

TEST(ZipReader, APasswordThatOpensOnlyTheHeaderMakesWayForTheNext) {
    struct Case {
        const char* what;
        ZItem item;
        std::vector<std::string> passwords;
        const char* answer;  // what OnGetPassword gives; nullptr: no handler
        bool pass;
        int asked;
    };
    auto entry = [](uint16_t method, uint16_t flags, std::optional<std::string> decoy, bool badCrc = false) {
        ZItem it{"about.txt", std::string(3000, 'a') + "the end\n"};
        it.method = method;
        it.flags = flags;
        it.password = "secret";
        it.alsoOpensFor = std::move(decoy);
        it.badCrc = badCrc;
        return it;
    };
    const std::vector<Case> cases = {
        // As "zip -P secret" writes to a pipe; no password given but the
        // right one in the list: the empty one is never tried.
        {"streamed, deflated, header passes for none", entry(8, 0x08, ""), {"secret"}, nullptr, true, 0},
        {"stored, header passes for none", entry(0, 0, ""), {"secret"}, nullptr, true, 0},
        {"a wrong one first in the list", entry(8, 0, "decoy"), {"decoy", "secret"}, nullptr, true, 0},
        {"the list's only one is wrong: the user is asked", entry(0, 0x08, "decoy"), {"decoy"}, "secret", true, 1},
        {"damaged data, right password: the entry fails", entry(0, 0, std::nullopt, true), {"secret"}, nullptr,
         false, 0},
    };
    const std::string src = ScratchDir("unzip-pw-decoy");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string archive = Join(src, "decoy.zip");
        WriteAll(archive, BuildZip({c.item, {"plain.txt", "not encrypted"}}));
        for (const bool test : {false, true}) {
            SCOPED_TRACE(test ? "test" : "extract");
            int asked = 0;
            const std::string dir = ScratchDir("unzip-pw-decoy-out");
            const ReaderRun run = Go(archive, dir, {.test = test, .setup = [&](TUnZIP& r) {
                                                        r.SetPasswords(c.passwords);
                                                        if (c.answer)
                                                            r.OnGetPassword = [&](TObject*, const std::string&,
                                                                                  std::string& pw, bool&) {
                                                                pw = c.answer;
                                                                ++asked;
                                                            };
                                                    }});
            EXPECT_EQ(run.raised, 0);
            EXPECT_EQ(asked, c.asked);
            // Nothing a tried and abandoned password found is reported.
            EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
            EXPECT_EQ(run.Failed(), c.pass ? std::set<std::string>() : std::set<std::string>({"about.txt"}));
            if (!test && c.pass) {
                EXPECT_TRUE(ReadAll(Join(dir, "about.txt")) == c.item.data);
            }
        }
#ifndef _WIN32
        // The archive is sound to the peer as well (damage aside).
        const int peer = std::system(("unzip -tqq -P secret '" + archive + "' >/dev/null 2>&1").c_str());
        EXPECT_EQ(peer == 0, c.pass);
#endif
    }
}

TEST(ZipReader, CrcFailuresFailOnlyTheirEntry) {
    const std::string src = ScratchDir("unzip-crc-src");
    const std::string stored = Join(src, "stored.zip");
    WriteAll(stored, BuildZip({{"one.txt", "first entry"}, {"two.txt", "second entry", 0x20, 20, 0x2A4320A3, true},
                               {"three.txt", "third entry"}}));
    // With OnEnd the entry ends with CRC_PASS False; nothing is reported.
    ReaderRun run = Go(stored, ScratchDir("unzip-crc-1"));
    EXPECT_EQ(run.Failed(), std::set<std::string>({"two.txt"}));
    EXPECT_EQ(run.ends.size(), 3u);
    EXPECT_TRUE(run.errors.empty());
    // Without OnEnd 25151 is reported and the run goes on.
    const std::string dir = ScratchDir("unzip-crc-2");
    run = Go(stored, dir, {.onEnd = false});
    EXPECT_EQ(run.errors, std::vector<int>({25151}));
    EXPECT_EQ(run.count, 3);
    EXPECT_EQ(ReadAll(Join(dir, "three.txt")), "third entry");

    // One byte flipped in the deflated data of big.bin.
    std::string bytes = ReadAll(Fixture("plain.zip"));
    const size_t name = bytes.find("big.bin");
    ASSERT_NE(name, std::string::npos);
    const size_t header = bytes.rfind("PK\x03\x04", name);
    ASSERT_NE(header, std::string::npos);
    const size_t data = header + 30 + zip::GetLe16(reinterpret_cast<const uint8_t*>(&bytes[header + 26])) +
                        zip::GetLe16(reinterpret_cast<const uint8_t*>(&bytes[header + 28]));
    const size_t packed = zip::GetLe32(reinterpret_cast<const uint8_t*>(&bytes[header + 18]));
    bytes[data + packed / 2] = static_cast<char>(bytes[data + packed / 2] ^ 0x10);
    const std::string damaged = Join(src, "damaged.zip");
    WriteAll(damaged, bytes);
    run = Go(damaged, "", {.test = true});
    EXPECT_EQ(run.raised, 0);
    EXPECT_EQ(run.ends.size(), PeerFiles("plain.zip").size());
    EXPECT_EQ(run.Failed(), std::set<std::string>({"big.bin"}));
#ifndef _WIN32
    // The peer agrees about which entry is bad.
    const std::string report = Join(src, "unzip-t.txt");
    std::system(("unzip -t '" + damaged + "' > '" + report + "' 2>&1").c_str());
    std::istringstream lines(ReadAll(report));
    std::set<std::string> peerFailed;
    int peerTested = 0;
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find("testing: ");
        if (at == std::string::npos) continue;
        ++peerTested;
        std::istringstream words(line.substr(at + 9));
        std::string entry, verdict;
        words >> entry >> verdict;
        if (verdict != "OK") peerFailed.insert(ExtractFileName(SlashToBackslash(entry)));
    }
    EXPECT_EQ(peerTested, static_cast<int>(run.ends.size()));
    EXPECT_EQ(peerFailed, run.Failed());
#endif
}

TEST(ZipReader, UnknownMethodsFailTheirEntryBeforeAnyOutput) {
    const std::string src = ScratchDir("unzip-method-src");
    for (const uint16_t method : {7, 9, 12, 14, 99}) {
        SCOPED_TRACE(method);
        const std::string archive = Join(src, "m" + std::to_string(method) + ".zip");
        ZItem odd{"odd.bin", "whatever this is"};
        odd.method = method;
        WriteAll(archive, BuildZip({{"a.txt", "alpha"}, odd, {"c.txt", "charlie"}}));
        // A file of the entry's name that the run may replace is left as it
        // was: nothing could be decoded into it.
        const std::string dir = ScratchDir("unzip-method-" + std::to_string(method));
        WriteAll(Join(dir, "odd.bin"), "mine");
        const GoOptions replace = {.setup = [](TUnZIP& r) { r.SetConfirmOverwrites(false); }};
        ReaderRun run = Go(archive, dir, replace);
        EXPECT_EQ(run.raised, 0);
        EXPECT_EQ(run.errors, std::vector<int>({25326}));
        EXPECT_EQ(run.Failed(), std::set<std::string>({"odd.bin"}));
        EXPECT_EQ(run.ends.size(), 3u);
        EXPECT_EQ(ReadAll(Join(dir, "odd.bin")), "mine");
        EXPECT_EQ(ReadAll(Join(dir, "c.txt")), "charlie");
        // Nor is anything made of it where there was nothing.
        os::FileDelete(Join(dir, "odd.bin"));
        run = Go(archive, dir, replace);
        EXPECT_FALSE(os::FileExists(Join(dir, "odd.bin")));
        run = Go(archive, "", {.test = true});
        EXPECT_EQ(run.errors, std::vector<int>({25326}));
        EXPECT_EQ(run.Failed(), std::set<std::string>({"odd.bin"}));
    }
}

TEST(ZipReader, ASingleNameStopsTheWalkAtItsFirstMatch) {
    const std::string archive = Join(ScratchDir("unzip-first-src"), "dup.zip");
    WriteAll(archive, BuildZip({{"dup.txt", "first"}, {"other.txt", "other"}, {"dup.txt", "second"}}));
    // One name without wildcards: the first entry of that name only.
    std::string dir = ScratchDir("unzip-first-one");
    ReaderRun run = Go(archive, dir, {.setup = [](TUnZIP& r) { r.FileSpec() = {"dup.txt"}; }});
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(run.begun.size(), 1u);
    EXPECT_EQ(ReadAll(Join(dir, "dup.txt")), "first");
    // A wildcard finds them all; the later one replaces the earlier.
    dir = ScratchDir("unzip-first-all");
    run = Go(archive, dir, {.setup = [](TUnZIP& r) {
                 r.FileSpec() = {"dup.*"};
                 r.SetConfirmOverwrites(false);
             }});
    EXPECT_EQ(run.count, 2);
    EXPECT_EQ(ReadAll(Join(dir, "dup.txt")), "second");
    EXPECT_FALSE(os::FileExists(Join(dir, "other.txt")));
}

TEST(ZipReader, FoldersAndVolumeLabelsAreNeitherExtractedNorCounted) {
    const std::string src = ScratchDir("unzip-dirs-src");
    const std::string archive = Join(src, "dirs.zip");
    WriteAll(archive, BuildZip({{"folder/", "", 0x10}, {"LABEL", "", 0x08}, {"folder/file.txt", "in a folder"},
                                {"unixdir/", "", 0x41ED0010, 3 << 8}}));
    const std::string dir = ScratchDir("unzip-dirs");
    const ReaderRun run = Go(archive, dir);
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(run.begun.size(), 1u);
    EXPECT_EQ(ReadAll(Join(Join(dir, "folder"), "file.txt")), "in a folder");
    EXPECT_FALSE(os::FileExists(Join(dir, "LABEL")));
    EXPECT_FALSE(os::DirectoryExists(Join(dir, "unixdir")));

    // Only folders: nothing at all.
    const ReaderRun none = Go(Fixture("onlydirs.zip"), ScratchDir("unzip-onlydirs"));
    EXPECT_EQ(none.count, 0);
    EXPECT_TRUE(none.ends.empty());
    EXPECT_TRUE(none.errors.empty());
}

TEST(ZipReader, ArchiveWithoutCentralDirectoryIsReadByItsLocalHeaders) {
    const std::string src = ScratchDir("unzip-local-src");
    // Made without one, and a peer archive cut where its directory starts.
    const std::string built = Join(src, "built.zip");
    WriteAll(built, BuildZip({{"a.txt", "alpha"}, {"b.txt", "bravo"}}, false));
    std::string plain = ReadAll(Fixture("plain.zip"));
    const size_t central = plain.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    const std::string cut = Join(src, "cut.zip");
    WriteAll(cut, plain.substr(0, central + 20));  // a torn directory is no directory

    std::string dir = ScratchDir("unzip-local-1");
    ReaderRun run = Go(built, dir);
    EXPECT_EQ(run.count, 2);
    EXPECT_TRUE(run.AllPassed());
    EXPECT_EQ(ReadAll(Join(dir, "b.txt")), "bravo");

    dir = ScratchDir("unzip-local-2");
    run = Go(cut, dir);
    EXPECT_EQ(run.raised, 0);
    EXPECT_TRUE(run.AllPassed());
    ExpectExtracted(dir, PeerFiles("plain.zip"));
    EXPECT_EQ(run.count, static_cast<int>(PeerFiles("plain.zip").size()));

    // The missing directory is asked about first; Cancel ends the run quietly.
    uint8_t flags = 0;
    run = Go(cut, ScratchDir("unzip-local-3"), {.setup = [&](TUnZIP& r) {
                 r.OnCorruptZipHeader = [&](TObject*, uint8_t f, bool&) { flags = f; };
             }});
    EXPECT_EQ(flags, 0x10);
    EXPECT_EQ(run.count, 0);
    EXPECT_TRUE(run.errors.empty());
}

// Every file below Root, relative to it, with '/' separators.
std::set<std::string> FilesBelow(const std::string& root) {
    namespace fs = std::filesystem;
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(fs::u8path(root)))
        if (e.is_regular_file()) {
            std::string rel = fs::relative(e.path(), fs::u8path(root)).generic_string();
            out.insert(rel);
        }
    return out;
}

TEST(ZipReader, HostileNamesNeverWriteOutsideTheTargetFolder) {
    const std::vector<std::string> names = {"../../evil.txt", "/abs.txt", "C:\\x\\y.txt", "a/../../b.txt",
                                            "..\\..\\w.txt"};
    std::vector<std::pair<std::string, std::string>> archives;
    const std::string src = ScratchDir("unzip-hostile-src");
    std::vector<ZItem> items;
    for (const std::string& n : names) items.push_back({n, "payload of " + n});
    archives.emplace_back("built", Join(src, "built.zip"));
    WriteAll(archives.back().second, BuildZip(items));
#ifndef _WIN32
    // The same names written by another hand.
    const std::string py = Join(src, "python.zip");
    std::string script = "import zipfile\nz = zipfile.ZipFile('" + py + "', 'w')\n";
    for (const std::string& n : names) {
        std::string quoted;
        for (char c : n) quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
        script += "z.writestr(zipfile.ZipInfo('" + quoted + "'), 'payload')\n";
    }
    script += "z.close()\n";
    WriteAll(Join(src, "make.py"), script);
    ASSERT_EQ(std::system(("python3 '" + Join(src, "make.py") + "'").c_str()), 0);
    archives.emplace_back("python", py);
#endif
    for (bool storedDirs : {true, false}) {
        for (const auto& [kind, archive] : archives) {
            SCOPED_TRACE(kind + (storedDirs ? " with folders" : " flat"));
            const std::string root = ScratchDir("unzip-hostile-" + kind + (storedDirs ? "-dirs" : "-flat"));
            const std::string target = Join(Join(root, "deep"), "out");
            ASSERT_TRUE(os::DirCreate(Join(root, "deep")));
            const ReaderRun run = Go(archive, target, {.setup = [&](TUnZIP& r) { r.SetUseStoredDirs(storedDirs); }});
            EXPECT_EQ(run.raised, 0);
            EXPECT_EQ(run.count, static_cast<int>(names.size()));
            for (const std::string& f : FilesBelow(root)) EXPECT_EQ(f.rfind("deep/out/", 0), 0u) << f;
            const std::set<std::string> written = FilesBelow(target);
            if (storedDirs)
                EXPECT_EQ(written, std::set<std::string>({"evil.txt", "abs.txt", "x/y.txt", "a/b.txt", "w.txt"}));
            else
                EXPECT_EQ(written, std::set<std::string>({"evil.txt", "abs.txt", "y.txt", "b.txt", "w.txt"}));
        }
    }
}

TEST(ZipReader, RestoresOnlyDosAttributeBitsAndTheChosenDate) {
    const std::string src = ScratchDir("unzip-stamp-src");
    const uint32_t d2001 = 0x2A43'20A3, d2005 = 0x32A5'6000, d2003 = 0x2E21'4000;
    const std::string archive = Join(src, "stamps.zip");
    // Made on Unix (host 3): the mode in the high half, read-only in bit 0
    // when nobody may write.
    WriteAll(archive, BuildZip({{"rw.txt", "mode 0644", 0x81A40000, 3 << 8 | 30, d2001},
                                {"ro.txt", "mode 0444", 0x81240001, 3 << 8 | 30, d2005},
                                {"x.txt", "mode 0757", 0x81EF0020, 3 << 8 | 30, d2003}}));
    auto stampOf = [](const std::string& path) {
        os::FileTimes t;
        EXPECT_TRUE(os::GetTimes(path, t));
        return t.lastWrite;
    };
    auto attrOf = [](const std::string& path) { return os::GetAttributes(path); };

    std::string dir = ScratchDir("unzip-stamp-file");
    ReaderRun run = Go(archive, dir);
    ASSERT_EQ(run.count, 3);
    EXPECT_EQ(attrOf(Join(dir, "rw.txt")) & os::faReadOnly, 0u);
    EXPECT_EQ(attrOf(Join(dir, "ro.txt")) & os::faReadOnly, os::faReadOnly);
    for (const char* f : {"rw.txt", "ro.txt", "x.txt"}) {
        EXPECT_EQ(attrOf(Join(dir, f)) & (os::faHidden | os::faSysFile | os::faDirectory), 0u) << f;
        EXPECT_NE(attrOf(Join(dir, f)), os::kInvalidAttributes) << f;
    }
    EXPECT_EQ(stampOf(Join(dir, "rw.txt")), DosDateToFileTime(d2001));
    EXPECT_EQ(stampOf(Join(dir, "x.txt")), DosDateToFileTime(d2003));
    os::SetAttributes(Join(dir, "ro.txt"), 0);

    // daMaxFileDate: every file gets the newest date of the run.
    dir = ScratchDir("unzip-stamp-max");
    run = Go(archive, dir, {.setup = [](TUnZIP& r) {
                 r.SetDateAttribute(daMaxFileDate);
                 r.SetRestoreFileAttr(false);
             }});
    ASSERT_EQ(run.count, 3);
    for (const char* f : {"rw.txt", "ro.txt", "x.txt"}) EXPECT_EQ(stampOf(Join(dir, f)), DosDateToFileTime(d2005)) << f;
    EXPECT_EQ(attrOf(Join(dir, "ro.txt")) & os::faReadOnly, 0u);

#ifndef _WIN32
    // The peer on this host does the same with real modes.
    const std::string in = ScratchDir("unzip-stamp-in");
    WriteAll(Join(in, "locked.txt"), "locked");
    WriteAll(Join(in, "open.txt"), "open");
    std::filesystem::permissions(Join(in, "locked.txt"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::group_read |
                                                             std::filesystem::perms::others_read);
    const std::string peer = Join(src, "peer.zip");
    ASSERT_EQ(std::system(("cd '" + in + "' && zip -q '" + peer + "' locked.txt open.txt").c_str()), 0);
    dir = ScratchDir("unzip-stamp-peer");
    run = Go(peer, dir);
    EXPECT_EQ(run.count, 2);
    EXPECT_EQ(attrOf(Join(dir, "locked.txt")) & os::faReadOnly, os::faReadOnly);
    EXPECT_EQ(attrOf(Join(dir, "open.txt")) & os::faReadOnly, 0u);
    os::SetAttributes(Join(dir, "locked.txt"), 0);
    os::SetAttributes(Join(in, "locked.txt"), 0);
#endif
}

TEST(ZipReader, ExistingOutputsAreSkippedWhenAsked) {
    const std::string src = ScratchDir("unzip-skip-src");
    const std::string archive = Join(src, "skip.zip");
    WriteAll(archive, BuildZip({{"keep.txt", "from the archive"}, {"new.txt", "new one"}}));
    const std::string dir = ScratchDir("unzip-skip");
    WriteAll(Join(dir, "keep.txt"), "mine");
    int asked = 0;
    const ReaderRun run = Go(archive, dir, {.setup = [&](TUnZIP& r) {
                           r.SetConfirmOverwrites(true);
                           r.OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode& m) {
                               ++asked;
                               m = omSkip;
                           };
                       }});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(run.ends.size(), 1u);
    EXPECT_EQ(ReadAll(Join(dir, "keep.txt")), "mine");
    EXPECT_EQ(ReadAll(Join(dir, "new.txt")), "new one");
    // omSkip as the setting, nobody asked: the same.
    WriteAll(Join(dir, "new.txt"), "changed");
    const ReaderRun again = Go(archive, dir, {.setup = [](TUnZIP& r) { r.SetOverwriteMode(omSkip); }});
    EXPECT_EQ(again.count, 0);
    EXPECT_EQ(ReadAll(Join(dir, "new.txt")), "changed");
}

TEST(ZipReader, RefusedEntriesFailAndTheRunGoesOn) {
    std::vector<ZItem> items;
    for (int i = 10; i < 30; ++i) items.push_back({"e" + std::to_string(i) + ".txt", "entry"});
    const std::string sound = BuildZip(items);
    std::string badHeader = sound;
    badHeader[sound.find("e15.txt") - TZipLocalHeader::kSize] = 'X';
    std::vector<ZItem> unsafe = items;
    unsafe.insert(unsafe.begin() + 5, {"../..", "nowhere to go"});
    std::set<std::string> cut;
    for (int i = 13; i < 30; ++i) cut.insert("e" + std::to_string(i) + ".txt");
    struct Case {
        std::string bytes;
        int64_t cutAt;  // as the third entry begins, the archive is cut there
        std::set<std::string> failed;
        size_t passed;
    };
    const std::vector<Case> cases = {
        {badHeader, -1, {"e15.txt"}, 19},
        {sound, static_cast<int64_t>(sound.find("e13.txt")) + 2, cut, 3},  // within a name, headers after it gone
        {BuildZip(unsafe), -1, {".."}, 20},
    };
    const std::string archive = Join(ScratchDir("unzip-refused-src"), "refused.zip");
    for (const auto& [bytes, cutAt, failed, passed] : cases) {
        for (const bool test : {false, true}) {
            SCOPED_TRACE(*failed.begin() + (test ? " testing" : " extracting"));
            WriteAll(archive, bytes);
            int begun = 0;
            const ReaderRun run = Go(archive, test ? "" : ScratchDir("unzip-refused"),
                                     {.test = test, .setup = [&, cutAt = cutAt](TUnZIP& r) {
                                          r.OnBegin = [&](TObject*, const std::string&, int, bool&) {
                                              if (++begun == 3 && cutAt >= 0)
                                                  std::filesystem::resize_file(std::filesystem::u8path(archive),
                                                                               static_cast<uintmax_t>(cutAt));
                                          };
                                      }});
            EXPECT_EQ(run.raised, 0);
            EXPECT_EQ(run.Failed(), failed);
            EXPECT_EQ(run.ends.size(), failed.size() + passed);
            EXPECT_EQ(run.errors.size(), failed.size());
        }
    }
}

// ---- spanned sets on a faked removable drive ----------------------------------------

// A floppy drive whose disk the test changes: "inserting" disk N writes its
// part under the archive's name and gives the drive the disk's label and
// serial (labels and serials can be switched off).
class FloppyDrive {
public:
    explicit FloppyDrive(std::vector<std::string> parts, const std::string& folder)
        : parts_(std::move(parts)), file_(Join(folder, "set.zip")) {
        provider_.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
        provider_.volumeInfo = [this](const std::string&, os::VolumeInfo& info) {
            info.label = labelled ? zip::VolumeLabel(disk_) : "";
            info.serial = serials ? 0x5000u + static_cast<uint32_t>(disk_) : 0;
            info.fileSystem = "FAT";
            return true;
        };
        provider_.diskSpace = [](const std::string&, os::DiskSpace& s) {
            s = {64, 512, 1000000, 2000000};
            return true;
        };
        os::SetDriveProvider(&provider_);
    }
    ~FloppyDrive() { os::SetDriveProvider(nullptr); }

    // The archive's name as the engine is given it: natively the drive
    // letter is what makes it ask the drive at all.
    std::string Archive() const {
#ifdef _WIN32
        return file_;
#else
        return "A:" + file_;
#endif
    }
    int Count() const { return static_cast<int>(parts_.size()); }
    int Disk() const { return disk_; }
    void Insert(int disk) {
        disk_ = disk;
        WriteAll(file_, parts_[static_cast<size_t>(disk - 1)]);
    }
    // Wires the three disk events: each inserts the disk asked for and
    // notes the question ("last", "first" or the volume asked).
    void Answer(TUnZIP& r, std::vector<std::string>& asked) {
        r.OnGetZipLastDisk = [&, this](TObject*, bool& cancel) {
            asked.push_back("last");
            Insert(Count());
            cancel = false;
        };
        r.OnGetZipFirstDisk = [&, this](TObject*, bool& cancel) {
            asked.push_back("first");
            Insert(1);
            cancel = false;
        };
        r.OnGetZipNextDisk = [&, this](TObject*, const std::string& volume, bool& cancel) {
            asked.push_back(volume);
            Insert(std::stoi(volume));
            cancel = false;
        };
    }

    bool labelled = true;
    bool serials = true;

private:
    std::vector<std::string> parts_;
    std::string file_;
    int disk_ = 1;
    os::DriveProvider provider_;
};

// The parts of a set in disk order: PREFIX.z01, .z02, ..., then PREFIX.zip.
std::vector<std::string> PartsOf(const std::string& prefix) {
    std::vector<std::string> parts;
    for (int i = 1;; ++i) {
        char ext[16];
        std::snprintf(ext, sizeof ext, ".z%02d", i);
        if (!os::FileExists(prefix + ext)) break;
        parts.push_back(ReadAll(prefix + ext));
    }
    parts.push_back(ReadAll(prefix + ".zip"));
    return parts;
}

struct SpannedSet {
    std::string name;
    std::vector<std::string> parts;
    std::map<std::string, std::string> files;  // stored name -> content
};

std::vector<SpannedSet> SpannedSets() {
    std::vector<SpannedSet> sets;
    const std::string big = ReadAll(Fixture("in/big.bin")), hello = ReadAll(Fixture("in/hello.txt"));
    sets.push_back({"spanned", PartsOf(Fixture("spanned")), {{"big.bin", big}, {"hello.txt", hello}}});
#ifndef _WIN32
    // About 300 KB over four or five disks, deflated and stored (stored data runs
    // across disks through the same input).
    const std::string in = ScratchDir("unzip-span-in");
    std::string data;
    uint32_t x = 12345;
    while (data.size() < 300 * 1024) {
        x = x * 1103515245u + 12345u;
        data += (x >> 16) % 16 ? std::string(1, static_cast<char>(x >> 8)) : std::string("some text ");
    }
    WriteAll(Join(in, "data.bin"), data);
    WriteAll(Join(in, "hello.txt"), hello);
    for (const std::string level : {"-6", "-0"}) {
        const std::string out = ScratchDir("unzip-span-made" + level);
        const std::string cmd = "cd '" + in + "' && zip -q -X " + level + " -s 64k '" + Join(out, "set.zip") +
                                "' data.bin hello.txt";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        sets.push_back({"made" + level, PartsOf(Join(out, "set")), {{"data.bin", data}, {"hello.txt", hello}}});
        EXPECT_GE(sets.back().parts.size(), 4u);
    }
#endif
    return sets;
}

TEST(ZipReader, SpannedSetsAskForEachDiskTheyNeed) {
    for (const SpannedSet& set : SpannedSets()) {
        SCOPED_TRACE(set.name);
        const int n = static_cast<int>(set.parts.size());
        ASSERT_GE(n, 2);
        FloppyDrive drive(set.parts, ScratchDir("unzip-span-drive-" + set.name));
        std::vector<std::string> asked;

        // Opened on its first disk: the last one is asked for (the central
        // directory lies there), then the first, then each in turn.
        drive.Insert(1);
        const std::string dir = ScratchDir("unzip-span-out-" + set.name);
        ReaderRun run = Go(drive.Archive(), dir, {.setup = [&](TUnZIP& r) {
                         EXPECT_EQ(r.ArcType(), atZipMV);
                         drive.Answer(r, asked);
                     }});
        std::vector<std::string> expected = {"last", "first"};
        for (int i = 2; i <= n; ++i) expected.push_back(std::to_string(i));
        EXPECT_EQ(asked, expected);
        EXPECT_EQ(run.raised, 0);
        EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
        EXPECT_EQ(run.count, static_cast<int>(set.files.size()));
        EXPECT_TRUE(run.AllPassed());
        for (const auto& [name, content] : set.files) EXPECT_TRUE(ReadAll(Join(dir, name)) == content) << name;

        // Opened on its last disk it goes straight to the first; a wrong
        // disk is refused until the right one comes.
        drive.Insert(n);
        asked.clear();
        int wrongFirst = 0;
        run = Go(drive.Archive(), "", {.test = true, .setup = [&](TUnZIP& r) {
                     drive.Answer(r, asked);
                     r.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
                         asked.push_back("first");
                         drive.Insert(wrongFirst++ == 0 ? 2 : 1);
                         cancel = false;
                     };
                 }});
        expected.erase(expected.begin());
        expected.insert(expected.begin(), "first");
        EXPECT_EQ(asked, expected);
        EXPECT_TRUE(run.AllPassed());
        EXPECT_EQ(run.ends.size(), set.files.size());

        // Refusing a disk in the middle of an entry ends the run quietly.
        drive.Insert(n);
        asked.clear();
        bool cancelled = false;
        run = Go(drive.Archive(), "", {.test = true, .setup = [&](TUnZIP& r) {
                     drive.Answer(r, asked);
                     r.OnGetZipNextDisk = [&](TObject*, const std::string& v, bool&) { asked.push_back(v); };
                     r.OnDeactivate = [&](TObject*) { cancelled = r.Cancel(); };
                 }});
        EXPECT_EQ(asked, std::vector<std::string>({"first", "2"}));
        EXPECT_EQ(run.raised, 0);
        EXPECT_TRUE(run.errors.empty());
        EXPECT_TRUE(run.ends.empty());
        EXPECT_TRUE(cancelled);
    }
}

TEST(ZipReader, SpannedSetDiskChecksByLabelOrSerial) {
    const SpannedSet set = SpannedSets()[0];
    FloppyDrive drive(set.parts, ScratchDir("unzip-span-check"));
    // Labelled: the wrong disk, then the right one.
    std::vector<std::string> asked;
    drive.Insert(1);
    int tries = 0;
    ReaderRun run = Go(drive.Archive(), "", {.test = true, .setup = [&](TUnZIP& r) {
                     drive.Answer(r, asked);
                     r.OnGetZipNextDisk = [&](TObject*, const std::string& v, bool& cancel) {
                         asked.push_back(v);
                         drive.Insert(tries++ == 0 ? 1 : std::stoi(v));
                         cancel = false;
                     };
                 }});
    EXPECT_EQ(asked, std::vector<std::string>({"last", "first", "2", "2"}));
    EXPECT_TRUE(run.AllPassed());
    EXPECT_EQ(run.ends.size(), 2u);

    // Unlabelled with serials: the same serial is the same disk, asked again.
    drive.labelled = false;
    drive.Insert(1);
    asked.clear();
    tries = 0;
    run = Go(drive.Archive(), "", {.test = true, .setup = [&](TUnZIP& r) {
                 drive.Answer(r, asked);
                 r.OnGetZipNextDisk = [&](TObject*, const std::string& v, bool& cancel) {
                     asked.push_back(v);
                     if (tries++ > 0) drive.Insert(std::stoi(v));
                     cancel = false;
                 };
             }});
    EXPECT_EQ(asked, std::vector<std::string>({"last", "first", "2", "2"}));
    EXPECT_TRUE(run.AllPassed());
    EXPECT_TRUE(run.errors.empty());

    // Neither labels nor serials: 25154 is reported and the user's word taken.
    drive.serials = false;
    drive.Insert(1);
    asked.clear();
    run = Go(drive.Archive(), "", {.test = true, .setup = [&](TUnZIP& r) { drive.Answer(r, asked); }});
    EXPECT_EQ(asked, std::vector<std::string>({"last", "first", "2"}));
    EXPECT_EQ(run.errors, std::vector<int>({25154}));
    EXPECT_TRUE(run.AllPassed());
    EXPECT_EQ(run.ends.size(), 2u);

    // The events a set needs, unassigned: 25270 names the missing one.
    drive.labelled = drive.serials = true;
    drive.Insert(1);
    run = Go(drive.Archive(), "", {.test = true});
    EXPECT_EQ(run.errors, std::vector<int>({25270}));
    EXPECT_EQ(run.errorEx, std::vector<std::string>({"OnGetZipLastDisk"}));
    EXPECT_TRUE(run.ends.empty());
    EXPECT_EQ(run.raised, 0);
    drive.Insert(2);
    run = Go(drive.Archive(), "", {.test = true});
    EXPECT_EQ(run.errorEx, std::vector<std::string>({"OnGetZipFirstDisk"}));
}

TEST(ZipReader, SpannedSetWithItsDirectoryOverTwoDisks) {
    // zip -s 64k of 1000 files: the central directory starts on the first
    // disk and ends on the last.
    const std::vector<std::string> parts = PartsOf(Fixture("spanmany"));
    ASSERT_EQ(parts.size(), 2u);
    FloppyDrive drive(parts, ScratchDir("unzip-spanmany"));
    drive.Insert(2);
    std::vector<std::string> asked;
    const std::string dir = ScratchDir("unzip-spanmany-out");
    const ReaderRun run = Go(drive.Archive(), dir, {.setup = [&](TUnZIP& r) { drive.Answer(r, asked); }});
    EXPECT_EQ(run.raised, 0);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_EQ(run.count, 1000);
    EXPECT_TRUE(run.AllPassed());
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked[0], "first");  // where the directory starts
    EXPECT_EQ(asked[1], "2");      // where it ends
    const std::string whole = ScratchDir("unzip-many-out");
    Go(Fixture("many.zip"), whole);
    for (int i = 0; i < 1000; i += 111) {
        char name[16];
        std::snprintf(name, sizeof name, "f%04d.txt", i);
        EXPECT_EQ(ReadAll(Join(dir, name)), ReadAll(Join(whole, name))) << name;
    }
}

#ifdef _WIN32
// The same set on floppies that Wine emulates: a drive letter the mount
// manager maps to one folder per disk, with the disks' labels and serials.
TEST(ZipReader, SpannedSetFromEmulatedFloppies) {
    if (!test::RunningUnderWine()) GTEST_SKIP() << "emulated floppies need Wine";
    const std::vector<std::string> parts = PartsOf(Fixture("spanned"));
    ASSERT_EQ(parts.size(), 2u);
    std::vector<std::string> disks;
    for (int n = 1; n <= 2; ++n) {
        std::string dir = test::PreparedFloppy(n);
        if (dir.empty()) {
            dir = os::GetTempDirectory() + "bramble-unzip-floppy" + std::to_string(n);
            os::DirCreate(dir);
        }
        for (const char* stale : {"set.zip", ".windows-label"}) os::FileDelete(Join(dir, stale));
        WriteAll(Join(dir, "set.zip"), parts[static_cast<size_t>(n - 1)]);
        WriteAll(Join(dir, ".windows-label"), zip::VolumeLabel(n) + "\n");
        WriteAll(Join(dir, ".windows-serial"), (n == 1 ? "1111AAAA" : "2222BBBB") + std::string("\n"));
        disks.push_back(dir);
    }
    const char letter = 'R';
    auto insert = [&](int disk) { ASSERT_TRUE(test::MapWineFloppy(letter, test::UnixPathOf(disks[disk - 1]))); };
    struct Unmap {
        char l;
        ~Unmap() { test::UnmapWineDrive(l); }
    } unmap{letter};
    insert(1);

    std::vector<std::string> asked;
    const std::string dir = ScratchDir("unzip-floppy-out");
    const ReaderRun run = Go(std::string(1, letter) + ":\\set.zip", dir, {.setup = [&](TUnZIP& r) {
                                 EXPECT_EQ(r.ArcType(), atZipMV);
                                 r.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
                                     asked.push_back("last");
                                     insert(2);
                                     cancel = false;
                                 };
                                 r.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
                                     asked.push_back("first");
                                     insert(1);
                                     cancel = false;
                                 };
                                 r.OnGetZipNextDisk = [&](TObject*, const std::string& v, bool& cancel) {
                                     asked.push_back(v);
                                     insert(std::stoi(v));
                                     cancel = false;
                                 };
                             }});
    EXPECT_EQ(asked, std::vector<std::string>({"last", "first", "2"}));
    EXPECT_EQ(run.raised, 0);
    EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(run.count, 2);
    EXPECT_TRUE(run.AllPassed());
    EXPECT_TRUE(ReadAll(Join(dir, "big.bin")) == ReadAll(Fixture("in/big.bin")));
    EXPECT_EQ(ReadAll(Join(dir, "hello.txt")), ReadAll(Fixture("in/hello.txt")));
}
#endif

}  // namespace
}  // namespace bramble
