// arcdrv, the engine's command-line driver, as scripts and people use it:
// the listing format, the tester's verdicts and exit codes next to what
// unzip -t and gzip -t say about the same damaged archives, and extraction
// into a folder named relative to the current one. Native only: it runs
// the built program and the peers.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// arcdrv is built beside the tests (tests/tools).
std::string ArcDrv() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "arcdrv";
    std::string dir(self, static_cast<size_t>(n));
    return Join(dir.substr(0, dir.rfind('/')), "tools/arcdrv");
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Result {
    int exit = -1;
    std::string out, err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

// Runs a shell command line; standard error is kept apart.
Result Shell(const std::string& command) {
    Result r;
    char errFile[] = "/tmp/bramble-arcdrv-XXXXXX";
    const int fd = mkstemp(errFile);
    if (fd < 0) return r;
    close(fd);
    FILE* p = popen((command + " 2>" + Quote(errFile)).c_str(), "r");
    if (p) {
        char buf[4096];
        for (size_t got; (got = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, got);
        const int status = pclose(p);
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = ReadAll(errFile);
    }
    unlink(errFile);
    return r;
}

Result ArcDrvRun(const std::string& args) { return Shell(Quote(ArcDrv()) + " " + args); }

std::vector<std::string> Split(const std::string& line, char sep = '\t') {
    std::vector<std::string> f;
    std::stringstream in(line);
    for (std::string x; std::getline(in, x, sep);) f.push_back(x);
    if (!line.empty() && line.back() == sep) f.emplace_back();
    return f;
}

std::string Slashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

// ---- the listing ----------------------------------------------------------------------

TEST(ArcDrv, ListPrintsOneTabSeparatedLinePerEntryThenTotals) {
    ASSERT_TRUE(access(ArcDrv().c_str(), X_OK) == 0) << ArcDrv() << " is not built";
    const std::regex number("[0-9]+"), crc("[0-9A-F]{8}"), stamp("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");

    // plain.zip against what zipinfo listed for it.
    const Result r = ArcDrvRun("list " + Quote(Fixture("plain.zip")));
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = r.Lines();
    std::vector<std::vector<std::string>> peer;
    for (const std::string& line : Split(ReadAll(Fixture("peers/plain.zip.tsv")), '\n')) {
        std::vector<std::string> f = Split(line);
        if (f.size() == 4 && f[3] == "f") peer.push_back(f);
    }
    ASSERT_EQ(peer.size(), 4u);
    ASSERT_EQ(lines.size(), peer.size() + 1);
    long long unpacked = 0, packed = 0;
    std::map<std::string, std::vector<std::string>> byName;
    for (size_t i = 0; i < peer.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const std::vector<std::string> f = Split(lines[i]);
        ASSERT_EQ(f.size(), 6u);
        EXPECT_EQ(Slashes(f[0]), peer[i][0]);
        EXPECT_TRUE(std::regex_match(f[1], number));
        EXPECT_TRUE(std::regex_match(f[2], number));
        EXPECT_TRUE(std::regex_match(f[3], crc));
        EXPECT_FALSE(f[4].empty());
        EXPECT_TRUE(std::regex_match(f[5], stamp));
        EXPECT_EQ(f[1], peer[i][1]);
        EXPECT_EQ(f[2], peer[i][2]);
        unpacked += std::stoll(f[1]);
        packed += std::stoll(f[2]);
        byName[f[0]] = f;
    }
    EXPECT_EQ(byName["hello.txt"],
              std::vector<std::string>({"hello.txt", "56", "52", "D360EAA4", "DeflateN", "2001-02-03 04:05:06"}));
    EXPECT_EQ(byName["sub\\nested.txt"][4], "Stored");
    EXPECT_EQ(lines.back(), "TOTAL\t4\t" + std::to_string(unpacked) + "\t" + std::to_string(packed));

    // Other kinds the same way: a TAR, whose "CRC" is the header checksum.
    const Result tar = ArcDrvRun("list " + Quote(Fixture("ustar.tar")));
    EXPECT_EQ(tar.exit, 0);
    ASSERT_EQ(tar.Lines().size(), 5u);
    EXPECT_EQ(Split(tar.Lines()[2]),
              std::vector<std::string>({"hello.txt", "56", "56", "0000124D", "Tarred", "2001-02-03 04:05:06"}));
    EXPECT_EQ(tar.Lines().back(), "TOTAL\t4\t113828\t113828");

    // An empty archive is a totals line alone; what is no archive fails
    // with the engine's message and no totals.
    const Result none = ArcDrvRun("list " + Quote(Fixture("onlydirs.zip")));
    EXPECT_EQ(none.exit, 0);
    EXPECT_EQ(none.out, "TOTAL\t0\t0\t0\n");
    const Result unknown = ArcDrvRun("list " + Quote(Fixture("sevenz.7z")));
    EXPECT_EQ(unknown.exit, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.rfind("error 25327 ", 0), 0u) << unknown.err;
    EXPECT_EQ(ArcDrvRun("list").exit, 2);
}

// ---- the tester -----------------------------------------------------------------------

uint32_t Le(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
}

struct ZipData {
    std::string name;
    size_t start = 0;  // first byte of the entry's data (its encryption header included)
    size_t size = 0;
};

// Where each entry's data lies, from the central directory.
std::vector<ZipData> DataOf(const std::string& zip) {
    std::vector<ZipData> out;
    const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) return out;
    size_t at = Le(zip, end + 16, 4);
    for (uint32_t i = 0, n = Le(zip, end + 10, 2); i < n && at + 46 <= zip.size(); ++i) {
        const size_t nameLength = Le(zip, at + 28, 2);
        ZipData d;
        d.name = zip.substr(at + 46, nameLength);
        d.size = Le(zip, at + 20, 4);
        const size_t local = Le(zip, at + 42, 4);
        d.start = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
        at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
        if (d.size > 0) out.push_back(d);
    }
    return out;
}

// The entries unzip -t does not pass.
std::set<std::string> UnzipFails(const std::string& archive, const std::string& password) {
    const Result r = Shell("unzip -t -P " + Quote(password) + " " + Quote(archive));
    std::set<std::string> failed;
    for (const std::string& line : r.Lines()) {
        const size_t at = line.find("testing: ");
        if (at == std::string::npos) continue;
        std::istringstream words(line.substr(at + 9));
        std::string entry, verdict;
        words >> entry >> verdict;
        if (verdict != "OK") failed.insert(entry);
    }
    return failed;
}

std::set<std::string> Verdicts(const Result& r, const std::string& verdict) {
    std::set<std::string> names;
    for (const std::string& line : r.Lines())
        if (line.rfind(verdict + " ", 0) == 0) names.insert(Slashes(line.substr(verdict.size() + 1)));
    return names;
}

TEST(ArcDrv, TestFailsExactlyTheDamagedEntryAsUnzipDoes) {
    const std::string dir = ScratchDir("arcdrv-flip");
    int damaged = 0;
    for (const std::string name : {"plain.zip", "stored.zip", "7z.zip", "python.zip", "streamed.zip", "encrypted.zip",
                                   "zipinterop/level9.zip", "zipinterop/7z-enc.zip"}) {
        const std::string zip = ReadAll(Fixture(name));
        const std::vector<ZipData> entries = DataOf(zip);
        ASSERT_GE(entries.size(), 2u) << name;
        for (const ZipData& e : entries) {
            // Behind the encryption header, which only decides the password.
            const bool encrypted = Le(zip, zip.find(std::string("PK\x03\x04", 4)) + 6, 2) & 1;
            const size_t skip = encrypted ? 12 : 0;
            if (e.size <= skip) continue;
            SCOPED_TRACE(name + ": " + e.name);
            std::string bytes = zip;
            const size_t at = e.start + skip + (e.size - skip) / 2;
            bytes[at] = static_cast<char>(bytes[at] ^ 0x04);
            const std::string path = Join(dir, "damaged.zip");
            WriteAll(path, bytes);
            const Result r = ArcDrvRun("test " + Quote(path) + " -p secret");
            EXPECT_EQ(r.exit, 1) << r.out << r.err;
            EXPECT_EQ(Verdicts(r, "FAIL"), std::set<std::string>({e.name})) << r.out;
            EXPECT_EQ(Verdicts(r, "OK").size() + 1, entries.size()) << r.out;
            EXPECT_EQ(UnzipFails(path, "secret"), std::set<std::string>({e.name}));
            ++damaged;
        }
    }
    EXPECT_GE(damaged, 20);
}

TEST(ArcDrv, TestExitsZeroOnlyWhenEveryEntryPasses) {
    struct Case {
        std::string archive, options;
        int exit;
        std::set<std::string> ok, fail;
        std::string error;  // first message id on standard error
    };
    const std::string dir = ScratchDir("arcdrv-test");

    // A .tar.gz with one byte of its deflate data changed.
    std::string gz = ReadAll(Fixture("tarball.tar.gz"));
    gz[gz.size() / 2] = static_cast<char>(gz[gz.size() / 2] ^ 0x20);
    WriteAll(Join(dir, "damaged.tar.gz"), gz);
    EXPECT_NE(Shell("gzip -t " + Quote(Join(dir, "damaged.tar.gz"))).exit, 0);
    // A ZIP whose second local header is not where the directory says.
    std::string zip = ReadAll(Fixture("plain.zip"));
    const size_t second = zip.find(std::string("PK\x03\x04", 4), 4);
    ASSERT_NE(second, std::string::npos);
    zip[second + 2] = 'X';
    WriteAll(Join(dir, "moved.zip"), zip);
    const std::string movedEntry = zip.substr(second + 30, Le(zip, second + 26, 2));

    // A TAR cut inside big.bin's data, as "head -c" would leave it.
    const std::string tar = ReadAll(Fixture("ustar.tar"));
    const size_t bigHeader = tar.find("big.bin");
    ASSERT_NE(bigHeader, std::string::npos);
    WriteAll(Join(dir, "cut.tar"), tar.substr(0, bigHeader + 512 + 30000));

    const std::set<std::string> four = {"about.txt", "big.bin", "hello.txt", "sub/nested.txt"};
    std::set<std::string> threeLeft = four;
    threeLeft.erase(movedEntry);
    const std::vector<Case> cases = {
        {Fixture("plain.zip"), "", 0, four, {}, ""},
        {Fixture("ustar.tar"), "", 0, four, {}, ""},
        {Fixture("tarball.tar.gz"), "", 0, {"tarball.tar"}, {}, ""},
        {Fixture("hello.txt.Z"), "", 0, {"hello.txt"}, {}, ""},
        {Fixture("gztar/tarball.tar.Z"), "", 0, {"tarball.tar"}, {}, ""},
        {Fixture("encrypted.zip"), "-p secret", 0, {"hello.txt", "about.txt"}, {}, ""},
        {Fixture("onlydirs.zip"), "", 0, {}, {}, ""},
        {Join(dir, "damaged.tar.gz"), "", 1, {}, {"damaged.tar"}, "25151"},  // named after the file
        {Join(dir, "cut.tar"), "", 1, {"about.txt"}, {"big.bin"}, "25236"},
        {Fixture("encrypted.zip"), "", 1, {}, {"hello.txt", "about.txt"}, "25270"},
        {Fixture("encrypted.zip"), "-p wrong", 1, {}, {"hello.txt", "about.txt"}, "25270"},
        {Join(dir, "moved.zip"), "", 1, threeLeft, {movedEntry}, "25248"},
        {Fixture("plain.cab"), "", 1, {}, {}, "25242"},
        {Fixture("hello.uue"), "", 1, {}, {}, "25242"},
        {Fixture("sevenz.7z"), "", 1, {}, {}, "25242"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + " " + c.options);
        const Result r = ArcDrvRun("test " + Quote(c.archive) + " " + c.options);
        EXPECT_EQ(r.exit, c.exit) << r.out << r.err;
        EXPECT_EQ(Verdicts(r, "OK"), c.ok) << r.out;
        EXPECT_EQ(Verdicts(r, "FAIL"), c.fail) << r.out;
        // Every line is a verdict.
        EXPECT_EQ(r.Lines().size(), c.ok.size() + c.fail.size()) << r.out;
        if (c.error.empty())
            EXPECT_EQ(r.err, "");
        else
            EXPECT_NE(r.err.find("error " + c.error + " "), std::string::npos) << r.err;
    }
    EXPECT_EQ(ArcDrvRun("test").exit, 2);
    EXPECT_EQ(ArcDrvRun("test " + Quote(Fixture("plain.zip")) + " stray").exit, 2);
}

// ---- extraction -------------------------------------------------------------------------

TEST(ArcDrv, ExtractWritesIntoAFolderRelativeToTheCurrentOne) {
    const std::string dir = ScratchDir("arcdrv-extract");
    const Result r = Shell("cd " + Quote(dir) + " && " + Quote(ArcDrv()) + " extract " + Quote(Fixture("plain.zip")) +
                         " out");
    EXPECT_EQ(r.exit, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "extracted 4\n");
    for (const std::string name : {"about.txt", "big.bin", "hello.txt", "sub/nested.txt"})
        EXPECT_TRUE(ReadAll(Join(Join(dir, "out"), name)) == ReadAll(Join(Fixture("in"), name))) << name;
}

// An extraction fails (exit 1) whenever an entry is lost, whether its data
// failed its check, the reader refused it, or a bad header ended the walk;
// "extracted N" counts only the files written whole.
TEST(ArcDrv, ExtractFailsForEveryEntryLostAndCountsOnlyWholeFiles) {
    const std::string dir = ScratchDir("arcdrv-extract-lost");
    const std::string zip = ReadAll(Fixture("plain.zip"));
    const std::vector<ZipData> entries = DataOf(zip);
    ASSERT_EQ(entries.size(), 4u);
    std::string flipped = zip;
    flipped[entries[1].start + entries[1].size / 2] ^= 0x04;
    WriteAll(Join(dir, "flipped.zip"), flipped);
    // The second local header is not where the directory says.
    std::string moved = zip;
    const size_t second = zip.find(std::string("PK\x03\x04", 4), 4);
    ASSERT_NE(second, std::string::npos);
    moved[second + 2] = 'X';
    WriteAll(Join(dir, "moved.zip"), moved);
    const std::string movedEntry = zip.substr(second + 30, Le(zip, second + 26, 2));
    // An LHA whose second header gives its size as 255: the walk cannot go
    // on past it.
    std::string lzh = ReadAll(Fixture("level1.lzh"));
    const size_t method = lzh.find("-lh", lzh.find("-lh") + 1);
    ASSERT_NE(method, std::string::npos);
    lzh[method - 2] = '\xff';
    WriteAll(Join(dir, "badheader.lzh"), lzh);
    // No central directory, and the first entry says it runs on for 4 GB:
    // the walk of the local headers cannot find the next one.
    std::string local = zip.substr(0, zip.find(std::string("PK\x01\x02", 4)));
    for (int i = 0; i < 4; ++i) local[18 + i] = "\xf0\xff\xff\xff"[i];
    WriteAll(Join(dir, "overstated-local.zip"), local);
    struct Case {
        std::string archive;
        int exit, extracted;
        std::set<std::string> fail;  // below the target
        std::string error;
    };
    std::vector<Case> cases = {
        {Fixture("plain.zip"), 0, 4, {}, ""},
        {"flipped.zip", 1, 3, {entries[1].name}, ""},  // OnEnd alone says it
        {"moved.zip", 1, 3, {movedEntry}, "25248"},
        {"badheader.lzh", 1, 1, {}, "25108"},
        {"overstated-local.zip", 1, 1, {}, "25236"},
    };
    // LHA headers of level 3 are not read: the walk stops at the first.
    if (test::CorpusPresent())
        cases.push_back({Join(test::CorpusDir(), "lha/lha_os2_208/h3_subdir.lzh"), 1, 0, {}, "25328"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const Result r = Shell("cd " + Quote(dir) + " && rm -rf out && " + Quote(ArcDrv()) + " extract " +
                               Quote(c.archive) + " out");
        EXPECT_EQ(r.exit, c.exit) << r.out << r.err;
        std::set<std::string> failed;
        for (const std::string& name : Verdicts(r, "FAIL")) {
            const size_t below = name.find("/out/");
            failed.insert(below == std::string::npos ? name : name.substr(below + 5));
        }
        EXPECT_EQ(failed, c.fail) << r.out;
        EXPECT_NE(r.out.find("extracted " + std::to_string(c.extracted) + "\n"), std::string::npos) << r.out;
        if (!c.error.empty()) {
            EXPECT_NE(r.err.find("error " + c.error + " "), std::string::npos) << r.err;
        }
    }
}

TEST(ArcDrv, ExtractOfAnArchiveCutShortFails) {
    const std::string dir = ScratchDir("arcdrv-extract-cut");
    const std::string tar = ReadAll(Fixture("ustar.tar"));
    const size_t bigHeader = tar.find("big.bin");
    ASSERT_NE(bigHeader, std::string::npos);
    struct Case {
        size_t length;
        std::string out;
    };
    // Cut inside big.bin's data, and inside the header after it.
    for (const Case& c : {Case{bigHeader + 512 + 30000, "FAIL "}, Case{bigHeader + 512 + 102400 + 100, ""}}) {
        SCOPED_TRACE(c.length);
        WriteAll(Join(dir, "cut.tar"), tar.substr(0, c.length));
        const Result r = Shell("cd " + Quote(dir) + " && " + Quote(ArcDrv()) + " extract cut.tar out");
        EXPECT_EQ(r.exit, 1) << r.out << r.err;
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
        EXPECT_NE(r.err.find("error 25236 "), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace bramble

#endif  // _WIN32
