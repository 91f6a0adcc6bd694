#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "engine/core/os.h"
#include "engine/core/streams.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::set<std::string> List(const std::string& pattern) {
    std::set<std::string> names;
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(pattern, fd); rc == 0; rc = finder.Next(fd)) names.insert(fd.name);
    return names;
}

std::string NamePart(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

TEST(OsFile, ReadsWritesSeeksAndTruncates) {
    std::string name = Join(ScratchDir("file"), "data.bin");
    os::File f;
    ASSERT_TRUE(f.Open(name, os::OpenMode::Create));
    EXPECT_EQ(f.Write("0123456789", 10), 10);
    EXPECT_EQ(f.Position(), 10);
    ASSERT_TRUE(f.Seek(20));  // past the end: the gap reads as zeros after the next write
    EXPECT_EQ(f.Write("xy", 2), 2);
    EXPECT_EQ(f.Size(), 22);
    ASSERT_TRUE(f.Seek(3));
    char buf[32] = {};
    EXPECT_EQ(f.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "3456");
    ASSERT_TRUE(f.Seek(8));
    ASSERT_TRUE(f.Truncate());
    EXPECT_EQ(f.Size(), 8);
    EXPECT_EQ(f.Read(buf, 4), 0);  // at the end
    os::File moved = std::move(f);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(moved.Close());
    EXPECT_EQ(ReadAll(name), "01234567");

    ASSERT_TRUE(f.Open(name, os::OpenMode::Read));
    EXPECT_EQ(f.Write("z", 1), -1);  // not opened for writing
    EXPECT_EQ(f.Read(buf, sizeof buf), 8);
    f.Close();
    EXPECT_EQ(f.Position(), -1);
    EXPECT_FALSE(f.Open(Join(ScratchDir("file"), "missing"), os::OpenMode::Read));
}

TEST(OsFinder, MatchesWildcardsTheWindowsWay) {
    std::string dir = ScratchDir("finder");
    for (const char* n : {"a.txt", "B.TXT", "c.dat", "noext"}) WriteAll(Join(dir, n), "12345");
    ASSERT_TRUE(os::DirCreate(Join(dir, "sub")));

    std::set<std::string> all = {".", "..", "a.txt", "B.TXT", "c.dat", "noext", "sub"};
    EXPECT_EQ(List(Join(dir, "*")), all);
    EXPECT_EQ(List(Join(dir, "*.*")), all);  // also names without a dot
    EXPECT_EQ(List(Join(dir, "*.txt")), (std::set<std::string>{"a.txt", "B.TXT"}));
    EXPECT_EQ(List(Join(dir, "?.dat")), (std::set<std::string>{"c.dat"}));
    EXPECT_EQ(List(Join(dir, "c.dat")), (std::set<std::string>{"c.dat"}));

    // A pattern without a folder searches the current one.
    std::string previous = os::CurrentDir();
    ASSERT_TRUE(os::SetCurrentDir(dir));
    os::FindData fd;
    os::Finder finder;
    EXPECT_EQ(List("*.txt"), (std::set<std::string>{"a.txt", "B.TXT"}));
    ASSERT_EQ(finder.First("c.*", fd), 0);
    EXPECT_EQ(fd.size, 5);  // stat found the entry, not a name built wrongly
    EXPECT_TRUE(os::SetCurrentDir(previous));

    EXPECT_EQ(finder.First(Join(dir, "zz*"), fd), 2);
    EXPECT_NE(finder.First(Join(Join(dir, "nodir"), "*"), fd), 0);
    ASSERT_EQ(finder.First(Join(dir, "sub"), fd), 0);
    EXPECT_TRUE(fd.attributes & os::faDirectory);
    ASSERT_EQ(finder.First(Join(dir, "a.*"), fd), 0);
    EXPECT_EQ(fd.size, 5);
    EXPECT_FALSE(fd.attributes & os::faDirectory);
    EXPECT_NE(finder.Next(fd), 0);
}

TEST(OsFiles, AttributesAndExistence) {
    std::string dir = ScratchDir("attrs");
    std::string name = Join(dir, "f.txt");
    WriteAll(name, "x");
    EXPECT_TRUE(os::FileExists(name));
    EXPECT_FALSE(os::DirectoryExists(name));
    EXPECT_TRUE(os::DirectoryExists(dir));
    EXPECT_FALSE(os::FileExists(dir));
    EXPECT_EQ(os::GetAttributes(Join(dir, "none")), os::kInvalidAttributes);
    EXPECT_TRUE(os::GetAttributes(dir) & os::faDirectory);

    uint32_t a = os::GetAttributes(name);
    EXPECT_FALSE(a & (os::faReadOnly | os::faDirectory));
    ASSERT_TRUE(os::SetAttributes(name, os::faReadOnly | os::faArchive));
    EXPECT_TRUE(os::GetAttributes(name) & os::faReadOnly);
    EXPECT_FALSE(os::FileDelete(name));  // read-only files resist deletion
    ASSERT_TRUE(os::SetAttributes(name, os::faArchive));
    EXPECT_FALSE(os::GetAttributes(name) & os::faReadOnly);
    EXPECT_TRUE(os::FileDelete(name));
    EXPECT_FALSE(os::FileExists(name));
}

TEST(OsFiles, TimesRoundTrip) {
    std::string name = Join(ScratchDir("times"), "t.txt");
    WriteAll(name, "x");
    os::FileTimes before;
    ASSERT_TRUE(os::GetTimes(name, before));
    const uint64_t stamp = 126261675060000000ull;  // 2001-02-03 04:05:06 UTC
    os::FileTimes set;
    set.lastWrite = stamp;  // the other fields stay as they are
    ASSERT_TRUE(os::SetTimes(name, set));
    os::FileTimes after;
    ASSERT_TRUE(os::GetTimes(name, after));
    EXPECT_EQ(after.lastWrite, stamp);
    EXPECT_EQ(after.lastAccess, before.lastAccess);
    os::Finder finder;
    os::FindData fd;
    ASSERT_EQ(finder.First(name, fd), 0);
    EXPECT_EQ(fd.lastWrite, stamp);
    EXPECT_FALSE(os::SetTimes(name + ".none", set));

    // Local time is UTC shifted by the bias in force.
    uint64_t now = os::NowFileTime();
    int64_t shift = static_cast<int64_t>(os::FileTimeToLocal(now) - now);
    EXPECT_EQ(shift, -static_cast<int64_t>(os::TimeZoneBias()) * 60 * 10000000);
    EXPECT_EQ(os::LocalToFileTime(os::FileTimeToLocal(now)), now);
}

TEST(OsTemp, NamesCarryPrefixAndStreamDeletesItsFile) {
    std::string dir = ScratchDir("temp");
    std::string first = os::MakeTempFile(dir, "dvxextra");
    std::string second = os::MakeTempFile(dir, "dvx");
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    for (const std::string& n : {first, second}) {
        std::string part = NamePart(n);
        // dvx + up to 4 hex digits (the system does not always pad) + .tmp
        ASSERT_GE(part.size(), 8u) << part;
        ASSERT_LE(part.size(), 11u) << part;
        EXPECT_EQ(part.substr(0, 3), "dvx");
        EXPECT_EQ(part.find_first_not_of("0123456789ABCDEFabcdef", 3), part.size() - 4) << part;
        EXPECT_EQ(part.substr(part.size() - 4), ".tmp");
        EXPECT_TRUE(os::FileExists(n));
        EXPECT_EQ(ReadAll(n), "");
    }
    EXPECT_FALSE(os::GetTempDirectory().empty());

    std::string kept;
    {
        TTempFileStream stream(dir);
        ASSERT_TRUE(stream.IsOpen());
        kept = stream.FileName();
        EXPECT_EQ(NamePart(kept).substr(0, 3), "dvx");
        EXPECT_EQ(stream.Write("abc", 3), 3);
        EXPECT_TRUE(os::FileExists(kept));
    }
    EXPECT_FALSE(os::FileExists(kept));
}

TEST(OsFiles, MoveReplacesOnlyWhenAsked) {
    std::string dir = ScratchDir("move");
    std::string a = Join(dir, "a"), b = Join(dir, "b"), c = Join(dir, "c");
    WriteAll(a, "new");
    WriteAll(b, "old");
    EXPECT_FALSE(os::FileMove(a, b, false));
    EXPECT_EQ(ReadAll(a), "new");
    EXPECT_EQ(ReadAll(b), "old");
    EXPECT_TRUE(os::FileMove(a, b, true));
    EXPECT_FALSE(os::FileExists(a));
    EXPECT_EQ(ReadAll(b), "new");
    EXPECT_TRUE(os::FileMove(b, c, false));
    EXPECT_EQ(ReadAll(c), "new");
    EXPECT_TRUE(os::FileCopy(c, a, true));
    EXPECT_FALSE(os::FileCopy(c, a, true));
    EXPECT_EQ(ReadAll(a), "new");
}

TEST(OsFiles, RenameReplacesInOneStepAndNeverOverAReadOnlyFile) {
    std::string dir = ScratchDir("rename");
    std::string a = Join(dir, "a"), b = Join(dir, "b"), c = Join(dir, "c");
    WriteAll(a, "new");
    WriteAll(b, "old");
    EXPECT_TRUE(os::FileRename(a, b));
    EXPECT_FALSE(os::FileExists(a));
    EXPECT_EQ(ReadAll(b), "new");
    EXPECT_FALSE(os::FileRename(a, c));
    WriteAll(a, "newer");
    ASSERT_TRUE(os::SetAttributes(b, os::faReadOnly));
    EXPECT_FALSE(os::FileRename(a, b));
    EXPECT_EQ(ReadAll(b), "new");
    EXPECT_EQ(ReadAll(a), "newer");
    os::SetAttributes(b, os::faArchive);
}

TEST(OsText, Utf8BecomesTheAnsiCodePageWithAMarkForWhatItLacks) {
    // The tests run with the Western code page (1252), natively and under
    // Wine.
    struct Case {
        const char* utf8;
        const char* ansi;
    };
    const Case cases[] = {
        {"plain.txt", "plain.txt"},
        {"caf\xC3\xA9.txt", "caf\xE9.txt"},                  // e-acute
        {"\xE2\x82\xAC\xE2\x80\x94\xC5\xA0", "\x80\x97\x8A"},  // euro, em dash, S-caron
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "__.txt"},          // CJK: no ANSI form
        {"\xF0\x9F\x98\x80!", "_!"},                        // beyond 16 bits
        {"a\xC3" "b", "a_b"},                                // cut short
        {"\xC0\xAF", "__"},                                  // overlong '/': never a separator
        {"\xED\xA0\x80x", "___x"},                          // a surrogate
        {"\x80\xFF", "__"},                                  // stray bytes
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(os::Utf8ToAnsi(c.utf8), c.ansi);
    }
}

TEST(OsText, OemAndAnsiAccentedLettersRoundTrip) {
    // u-umlaut, e-acute, a-umlaut, A-umlaut, o-umlaut, O-umlaut, U-umlaut,
    // n-tilde, sharp s; ASCII passes unchanged.
    const std::string oem = "Az09 \x81\x82\x84\x8E\x94\x99\x9A\xA4\xE1";
    const std::string ansi = "Az09 \xFC\xE9\xE4\xC4\xF6\xD6\xDC\xF1\xDF";
    EXPECT_EQ(os::OemToAnsi(oem), ansi);
    EXPECT_EQ(os::AnsiToOem(ansi), oem);
    // What the other code page lacks gets a look-alike, else '?'.
    EXPECT_EQ(os::OemToAnsi("\xC4\xDA"), "-+");
    EXPECT_EQ(os::AnsiToOem("\xC0\xD5\x80"), "AO?");
    EXPECT_EQ(os::OemToAnsi(""), "");
    EXPECT_FALSE(os::IsLeadByte('A'));
    EXPECT_FALSE(os::IsLeadByte(0xFC));
}

TEST(OsDrives, ProviderFakesARemovableDisk) {
    std::string written;
    os::DriveProvider fake;
    fake.driveType = [](const std::string&) { return unsigned(os::dtRemovable); };
    fake.volumeInfo = [](const std::string&, os::VolumeInfo& v) {
        v.label = "PKBACK# 002";
        v.serial = 0x1234ABCD;
        return true;
    };
    fake.setLabel = [&](const std::string&, const std::string& label) {
        written = label;
        return true;
    };
    os::SetDriveProvider(&fake);
    EXPECT_EQ(os::DriveType("A:\\"), os::dtRemovable);
    os::VolumeInfo info;
    ASSERT_TRUE(os::GetVolumeInfo("A:\\", info));
    EXPECT_EQ(info.label, "PKBACK# 002");
    EXPECT_EQ(info.serial, 0x1234ABCDu);
    EXPECT_TRUE(os::WriteVolumeLabel("A:\\", "PKBACK# 003"));
    EXPECT_EQ(written, "PKBACK# 003");
    // Disk space is not faked, so the real drive of the current folder answers.
    os::DiskSpace space;
    ASSERT_TRUE(os::GetDiskSpace(os::CurrentDir().substr(0, 3), space));
    EXPECT_GT(uint64_t(space.bytesPerSector) * space.sectorsPerCluster, 0u);
    EXPECT_GT(space.totalClusters, 0u);
    EXPECT_LE(space.freeClusters, space.totalClusters);
    os::SetDriveProvider(nullptr);
#ifndef _WIN32
    EXPECT_EQ(os::DriveType("A:\\"), os::dtFixed);
    ASSERT_TRUE(os::GetVolumeInfo("A:\\", info));
    EXPECT_EQ(info.label, "");
    EXPECT_EQ(info.serial, 0u);
#endif
}

TEST(OsMisc, RandomBytesVaryAndDefaultHooksNeverBlock) {
    unsigned char a[32] = {}, b[32] = {};
    os::RandomBytes(a, sizeof a);
    os::RandomBytes(b, sizeof b);
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
    EXPECT_NE(std::count(a, a + sizeof a, 0), 32);

    EXPECT_EQ(os::AskYesNo("?", "t"), os::Answer::No);
    EXPECT_EQ(os::AskRetryCancel("?", "t"), os::Answer::Cancel);
    os::AppHooks hooks;
    hooks.askYesNo = [](const std::string&, const std::string&) { return os::Answer::Yes; };
    os::SetAppHooks(hooks);
    EXPECT_EQ(os::AskYesNo("?", "t"), os::Answer::Yes);
    EXPECT_EQ(os::AskRetryCancel("?", "t"), os::Answer::Cancel);  // missing hook keeps its default
    os::ProcessMessages();
    os::SetAppHooks({});

    std::string text = os::SysErrorMessage(2);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}

TEST(Streams, MemoryStreamGrowsAndCopies) {
    TMemoryStream m;
    ASSERT_TRUE(m.Seek(4));  // beyond the end: the gap fills with zeros
    EXPECT_EQ(m.Write("ab", 2), 2);
    EXPECT_EQ(m.Size(), 6);
    EXPECT_EQ(std::string(m.Data().begin(), m.Data().end()), std::string("\0\0\0\0ab", 6));
    ASSERT_TRUE(m.Seek(10));
    char c;
    EXPECT_EQ(m.Read(&c, 1), 0);
    ASSERT_TRUE(m.SetSize(3));
    EXPECT_EQ(m.Position(), 3);

    std::string name = Join(ScratchDir("streams"), "copy.bin");
    TFileStream f;
    ASSERT_TRUE(f.Open(name, os::OpenMode::Create));
    std::string big(200000, 'q');
    TMemoryStream src;
    src.Write(big.data(), static_cast<int64_t>(big.size()));
    ASSERT_TRUE(src.Seek(100));
    EXPECT_EQ(f.CopyFrom(src, 0), 199900);  // the rest from the position
    ASSERT_TRUE(src.Seek(0));
    EXPECT_EQ(f.CopyFrom(src, 50), 50);
    EXPECT_EQ(f.Size(), 199950);
    ASSERT_TRUE(f.SetSize(10));
    EXPECT_EQ(f.Size(), 10);
    f.Close();
    EXPECT_EQ(ReadAll(name), std::string(10, 'q'));
}

}  // namespace
}  // namespace bramble
