// The self-extractor builder: its output is the stub followed by the
// archive exactly as zip -A adjusts such a concatenation, and unzip tests
// it without a warning (natively, beside the peers); it refuses what it
// cannot make and leaves nothing behind, also when the disk fills in the
// middle of the copy (under Wine, on a 1.44 MB disk of its own).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/forms/sfxbuilder.h"
#include "engine/core/os.h"
#include "support/testenv.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::WriteAll;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// A stub of our own: an executable marker and pseudo-random bytes, of an
// odd length so no offset lands on a round number by luck.
std::string StubBytes(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    s[0] = 'M';
    s[1] = 'Z';
    return s;
}

// The names of the temporary files a build may have left in the folder.
std::vector<std::string> Leftovers(const std::string& dir) {
    std::vector<std::string> names;
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(Join(dir, "dvx*"), fd); rc == 0; rc = finder.Next(fd)) names.push_back(fd.name);
    return names;
}

#ifndef _WIN32
// Runs a shell command; its exit status, with what it printed in Output.
int Shell(const std::string& command, std::string* Output = nullptr) {
    const std::string out = test::ScratchDir("cmd") + "/out.txt";
    const int status = std::system((command + " > '" + out + "' 2>&1").c_str());
    if (Output) *Output = ReadAll(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SfxBuilder, OutputIsTheStubThenTheArchiveAsZipAdjustsIt) {
    const std::string dir = test::ScratchDir("peers");
    const std::string stub = Join(dir, "zipsfx.bin");
    WriteAll(stub, StubBytes(20001));
    // Archives without and with a comment (3000 bytes: found by the
    // backward scan), with extra fields, folders, 1000 entries, encrypted
    // ones, from other writers, and one already behind a stub. zip -A
    // rewrites entries with data descriptors into plain ones: those are
    // only tested.
    struct Case {
        const char* name;
        bool sameAsZipA;
    };
    for (const Case c : {Case{"stored.zip", true}, Case{"plain.zip", true}, Case{"comment.zip", true},
                         Case{"dirs.zip", true}, Case{"many.zip", true}, Case{"encrypted.zip", true},
                         Case{"7z.zip", true}, Case{"python.zip", true}, Case{"sfx.exe", true},
                         Case{"streamed.zip", false}}) {
        const std::string name = c.name;
        SCOPED_TRACE(name);
        const std::string archive = Fixture(name);
        const std::string before = ReadAll(archive);
        ASSERT_FALSE(before.empty());
        const std::string exe = Join(dir, name + ".exe");
        std::vector<int64_t> done;
        int64_t total = 0;
        const TSfxResult r = MakeSelfExtractor(stub, archive, exe, [&](int64_t d, int64_t t) {
            done.push_back(d);
            total = t;
        });
        ASSERT_TRUE(r.Ok()) << r.Message(exe);
        EXPECT_EQ(r.Message(exe), "Creation of " + exe + " Finished");

        const std::string expected = Join(dir, "peer-" + name + ".exe");
        WriteAll(expected, ReadAll(stub) + before);
        ASSERT_EQ(Shell("zip -qA '" + expected + "'"), 0);
        const std::string made = ReadAll(exe);
        if (c.sameAsZipA) {
            EXPECT_TRUE(made == ReadAll(expected)) << "differs from zip -A";
        }
        EXPECT_EQ(ReadAll(archive), before);

        std::string said;
        EXPECT_EQ(Shell("unzip -t -P secret '" + exe + "'", &said), 0) << said;
        EXPECT_EQ(said.find("warning"), std::string::npos) << said;

        // Progress climbs block by block to the whole file.
        ASSERT_FALSE(done.empty());
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
        EXPECT_EQ(done.back(), static_cast<int64_t>(made.size()));
        EXPECT_EQ(total, static_cast<int64_t>(made.size()));
    }
    EXPECT_TRUE(Leftovers(dir).empty());
}
#endif

TEST(SfxBuilder, RefusesWhatItCannotMakeAndLeavesNothingBehind) {
    const std::string dir = test::ScratchDir("refuse");
    const std::string stub = Join(dir, "zipsfx.bin");
    WriteAll(stub, StubBytes(5001));
    const std::string stored = ReadAll(Fixture("stored.zip"));
    ASSERT_GT(stored.size(), 100u);
    // Where stored.zip keeps its directory (the end record has no comment).
    auto le32 = [](const std::string& s, size_t at) {
        return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
               uint32_t(uint8_t(s[at + 3])) << 24;
    };
    const size_t central = le32(stored, stored.size() - 6);
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = stored;
        s.replace(at, bytes.size(), bytes);
        return s;
    };

    struct Case {
        const char* what;
        std::string archiveBytes;  // written as the archive; "=name": that fixture
        int id;
        enum { kArchive, kStub, kExe } file;
        bool exeIsArchive = false, exeIsStub = false, noStub = false, noArchive = false;
    };
    const std::string comment = ReadAll(Fixture("comment.zip"));
    std::vector<Case> cases = {
        {"plain text", "=notarchive.txt", 25242, Case::kArchive},
        {"an empty file", "", 25242, Case::kArchive},
        {"a disk of a spanned set", "=spanned.zip", 25242, Case::kArchive},
        {"a ZIP cut inside an entry", stored.substr(0, stored.size() / 3), 25242, Case::kArchive},
        {"a ZIP cut inside its directory", stored.substr(0, central + 20), 25242, Case::kArchive},
        {"a comment cut short", comment.substr(0, comment.size() - 100), 25242, Case::kArchive},
        {"a central header without its signature", patched(central, "PK\x09\x09"), 25108, Case::kArchive},
        {"a local offset past the directory", patched(central + 42, "\xF0\xFF\xFF\x7F"), 25108, Case::kArchive},
        {"no stub", stored, 25172, Case::kStub, false, false, true},
        {"no archive", stored, 25172, Case::kArchive, false, false, false, true},
        {"the program named like the archive", stored, 25171, Case::kExe, true},
        {"the program named like the stub", stored, 25171, Case::kExe, false, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string sub = Join(dir, "case" + std::to_string(n++));
        os::DirCreate(sub);
        std::string archive = Join(sub, c.exeIsArchive ? "x.exe" : "x.zip");
        const std::string bytes = c.archiveBytes.rfind('=', 0) == 0 ? ReadAll(Fixture(c.archiveBytes.substr(1)))
                                                                     : c.archiveBytes;
        if (!c.noArchive) WriteAll(archive, bytes);
        const std::string stubFile = c.noStub ? Join(sub, "missing.bin") : stub;
        std::string exe = c.exeIsStub ? stub : SelfExtractorName(archive);
        // A program of that name from before: a failed build keeps it.
        const std::string old = "an earlier program";
        if (!c.exeIsArchive && !c.exeIsStub) WriteAll(exe, old);
        const std::string stubBefore = ReadAll(stub);

        const TSfxResult r = MakeSelfExtractor(stubFile, archive, exe);
        EXPECT_EQ(r.ErrorId, c.id) << r.Message(exe);
        const std::string& concerned = c.file == Case::kArchive ? archive : c.file == Case::kStub ? stubFile : exe;
        EXPECT_EQ(r.FileName, concerned);
        EXPECT_NE(r.Message(exe).find(concerned), std::string::npos);

        if (!c.noArchive) {
            EXPECT_TRUE(ReadAll(archive) == bytes) << "the archive changed";
        }
        EXPECT_TRUE(ReadAll(stub) == stubBefore) << "the stub changed";
        if (!c.exeIsArchive && !c.exeIsStub) {
            EXPECT_EQ(ReadAll(exe), old);
        }
        EXPECT_TRUE(Leftovers(sub).empty());
    }
    EXPECT_TRUE(Leftovers(dir).empty());
}

#ifdef _WIN32
// A disk that fills up while the archive is being copied: the error says
// so, the earlier program stays, and no partial file is left on the disk.
TEST(SfxBuilder, ADiskThatFillsMidCopyLeavesTheEarlierProgram) {
    const char* env = std::getenv("BRAMBLE_SFXDISK");
    std::string disk = env ? env : "";
    if (!disk.empty() && disk[0] == '/') {
        for (char& c : disk)
            if (c == '/') c = '\\';
        disk = "Z:" + disk;
    }
    if (disk.empty() || !os::FileExists(Join(disk, "mounted"))) GTEST_SKIP() << "no 1.44 MB disk of our own here";
    disk = Join(disk, "disk1");

    const std::string dir = test::ScratchDir("diskfull");
    const std::string stub = Join(dir, "zipsfx.bin");
    WriteAll(stub, StubBytes(20001));
    const std::string archive = Fixture("plain.zip");
    const int64_t archiveSize = static_cast<int64_t>(ReadAll(archive).size());
    const std::string exe = Join(disk, "plain.exe");
    WriteAll(exe, "an earlier program");

    // Fill the disk so that the stub and half the archive still fit.
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA((disk + "\\").c_str(), &free, nullptr, nullptr));
    const int64_t room = 20001 + archiveSize / 2;
    ASSERT_GT(static_cast<int64_t>(free.QuadPart), room);
    const std::string filler = Join(disk, "filler.bin");
    WriteAll(filler, std::string(static_cast<size_t>(free.QuadPart - room), 'f'));

    int64_t written = 0;
    const TSfxResult r = MakeSelfExtractor(stub, archive, exe, [&](int64_t d, int64_t) { written = d; });
    EXPECT_EQ(r.ErrorId, 25136);
    EXPECT_EQ(r.FileName, exe);
    EXPECT_GT(written, 20001);  // it failed inside the archive's data
    EXPECT_EQ(ReadAll(exe), "an earlier program");
    EXPECT_TRUE(Leftovers(disk).empty());
    os::FileDelete(filler);
    os::FileDelete(exe);
}
// While the builder copies, the archive may be read elsewhere but not
// written: a writer would move the offsets the program is being made from.
TEST(SfxBuilder, HoldsTheArchiveAgainstWritersWhileItCopies) {
    const std::string dir = test::ScratchDir("sfx-deny-write");
    const std::string stub = Join(dir, "zipsfx.bin");
    WriteAll(stub, StubBytes(20001));
    const std::string archive = Join(dir, "plain.zip");
    WriteAll(archive, ReadAll(Fixture("plain.zip")));
    int asked = 0;
    const TSfxResult r = MakeSelfExtractor(stub, archive, Join(dir, "plain.exe"), [&](int64_t, int64_t) {
        if (asked++ > 0) return;
        os::File other;
        EXPECT_TRUE(other.Open(archive, os::OpenMode::Read, os::Share::DenyNone));
        other.Close();
        EXPECT_FALSE(other.Open(archive, os::OpenMode::ReadWrite, os::Share::DenyNone));
    });
    ASSERT_TRUE(r.Ok()) << r.Message(Join(dir, "plain.exe"));
    EXPECT_GT(asked, 0);
    os::File after;
    EXPECT_TRUE(after.Open(archive, os::OpenMode::ReadWrite));
}
#endif

}  // namespace
}  // namespace bramble
