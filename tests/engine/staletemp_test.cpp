// Temporary archives that a killed run left behind: the next run of a
// writer removes those in its temporary folder once they are a day old, and
// nothing else.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine/core/os.h"
#include "engine/writers/zip.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

constexpr uint64_t kHour = uint64_t{60} * 60 * 10000000;  // FILETIME units

bool Age(const std::string& path, int64_t hours) {
    os::FileTimes t;
    t.lastWrite = static_cast<uint64_t>(static_cast<int64_t>(os::NowFileTime()) - hours * static_cast<int64_t>(kHour));
    return os::SetTimes(path, t);
}

bool Exists(const std::string& path) { return os::FileExists(path) || os::DirectoryExists(path); }

TEST(StaleTemporaries, AWriterRunRemovesOnlyTheEngineOwnTemporariesADayOld) {
    const std::string dir = ScratchDir("stale");
    const std::string tmp = Join(dir, "tmp"), src = Join(dir, "src"), other = Join(dir, "other");
    for (const std::string& d : {tmp, src, other}) ASSERT_TRUE(os::DirCreate(d));
    WriteAll(Join(src, "a.txt"), "alpha\n");

    enum Kind { kFile, kFolder, kReadOnly, kLink, kPipe };
    struct Case {
        const char* name;
        Kind kind;
        int64_t hours;  // age of its last write (negative: in the future)
        bool goes;
    };
    std::vector<Case> cases = {
        {"dvx1A2B.tmp", kFile, 48, true},        // what a killed run leaves
        {"dvx7.tmp", kFile, 30 * 24, true},      // the number is one to four hex digits
        {"dvxBEEF.tmp", kFile, 23, false},       // less than a day: may be a run under way
        {"dvxC0DE.tmp", kFile, -48, false},      // a clock that was wrong
        {"dvxnotours.tmp", kFile, 48, false},    // not a name the engine makes
        {"dvx12345.tmp", kFile, 48, false},      // nor this
        {"dvx1234.tmp.keep", kFile, 48, false},  // nor this
        {"abc1234.tmp", kFile, 48, false},       // another program's
        {"dvx2222.tmp", kFolder, 48, false},     // not a file
        {"dvx3333.tmp", kReadOnly, 48, false},   // the engine makes none of these
    };
#ifndef _WIN32
    cases.push_back({"dvx4444.tmp", kLink, 48, false});  // a link, to a file elsewhere
    cases.push_back({"dvx5555.tmp", kPipe, 48, false});
#endif
    const std::string linked = Join(other, "linked.bin");
    WriteAll(linked, "elsewhere");
    for (const Case& c : cases) {
        const std::string path = Join(tmp, c.name);
        switch (c.kind) {
            case kFile:
            case kReadOnly: WriteAll(path, "left"); break;
            case kFolder: ASSERT_TRUE(os::DirCreate(path)); break;
#ifndef _WIN32
            case kLink: ASSERT_EQ(symlink(linked.c_str(), path.c_str()), 0); break;
            case kPipe: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); break;
#endif
            default: break;
        }
        ASSERT_TRUE(Age(path, c.hours)) << c.name;
        if (c.kind == kReadOnly) {
            ASSERT_TRUE(os::SetAttributes(path, os::faReadOnly));
        }
    }
    // Only the temporary folder is the engine's: the same names beside the
    // archive and among the sources stay.
    for (const std::string& d : {src, other}) {
        WriteAll(Join(d, "dvx9ABC.tmp"), "beside");
        ASSERT_TRUE(Age(Join(d, "dvx9ABC.tmp"), 48));
    }

    TZip zip;
    zip.SetTempDir(tmp);
    zip.SetDefaultDir(src);
    zip.SetArchiveFile(Join(other, "a.zip"));
    zip.FileSpec() = {"a.txt"};
    ASSERT_EQ(zip.Compress(), 1);

    for (const Case& c : cases) EXPECT_EQ(Exists(Join(tmp, c.name)), !c.goes) << c.name;
    EXPECT_EQ(ReadAll(linked), "elsewhere");
    EXPECT_TRUE(os::FileExists(Join(src, "dvx9ABC.tmp")));
    EXPECT_TRUE(os::FileExists(Join(other, "dvx9ABC.tmp")));
    os::SetAttributes(Join(tmp, "dvx3333.tmp"), os::faArchive);
}

}  // namespace
}  // namespace bramble
