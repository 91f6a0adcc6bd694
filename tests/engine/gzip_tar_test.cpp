// The gzip/compress reader, the TAR reader and the gzip and TAR writers:
// against archives the peer tools made (tests/make-fixtures), against small
// TARs built here, and (natively) against the peers reading ours.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/lister/dovex.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"
#include "engine/readers/readers.h"
#include "engine/readers/ungzip.h"
#include "engine/readers/untar.h"
#include "engine/writers/gzip.h"
#include "engine/writers/tar.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::FixturesDir;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

constexpr int64_t kFixtureTime = 981173106;  // 2001-02-03 04:05:06 UTC, the fixtures' file times
constexpr uint64_t kTicks = 10000000ULL;
constexpr uint64_t kEpoch = 11644473600ULL;

std::string Fixture(const std::string& name) { return Join(FixturesDir(), name); }
std::string Input(const std::string& name) { return ReadAll(Join(Fixture("in"), name)); }
std::string GzFixture(const std::string& name) { return Join(Fixture("gztar"), name); }

int64_t UnixTimeOf(const std::string& path) {
    os::FileTimes t;
    if (!os::GetTimes(path, t)) return -1;
    return static_cast<int64_t>(t.lastWrite / kTicks) - static_cast<int64_t>(kEpoch);
}

void SetUnixTime(const std::string& path, int64_t seconds) {
    os::FileTimes t;
    t.lastWrite = (static_cast<uint64_t>(seconds) + kEpoch) * kTicks;
    ASSERT_TRUE(os::SetTimes(path, t));
}

uint32_t Le32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}

// What one run reported.
struct Events {
    std::vector<int> errors;
    std::map<std::string, bool> ends;  // file name part -> CRC_PASS
    int raised = 0;

    void Watch(TZipCommon& c) {
        c.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        c.OnEnd = [this](TObject*, const std::string& FN, bool pass) { ends[ExtractFileName(FN)] = pass; };
    }
    int Count(int id) const {
        int n = 0;
        for (int e : errors) n += e == id;
        return n;
    }
};

// Extracts through the reader the program picks for the archive's kind.
int ExtractAll(const std::string& archive, const std::string& dir, Events& ev, bool assignOnEnd = true,
               const std::function<void(TUnBase&)>& setUp = {}) {
    TUnTAR probe;
    probe.SetArchiveFile(archive);
    const TArcType kind = probe.ArcType() == atTar ? atTar : atGZip;
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(kind);
    ev.Watch(*reader);
    if (!assignOnEnd) reader->OnEnd = nullptr;
    // The TAR reader a decompressed TAR goes on to reports for itself.
    if (auto* gz = dynamic_cast<TUnGZIP*>(reader.get()); gz && gz->UnTar()) ev.Watch(*gz->UnTar());
    reader->SetArchiveFile(archive);
    reader->SetExtractDir(dir);
    reader->FileSpec() = {"*.*"};
    if (setUp) setUp(*reader);
    try {
        return reader->Extract();
    } catch (const E_RAISE& e) {
        ev.errors.push_back(e.Code());
        ++ev.raised;
        return -1;
    }
}

// ---- a small TAR builder of the tests' own (ustar headers) -------------------------

std::string Octal(int64_t v, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llo", width - 1, static_cast<long long>(v));
    return std::string(buf) + '\0';
}

std::string TarHeader(const std::string& name, int64_t size, char type = '0', int64_t mtime = kFixtureTime) {
    std::string h(512, '\0');
    h.replace(0, std::min<size_t>(name.size(), 100), name.substr(0, 100));
    h.replace(100, 8, Octal(0644, 8));
    h.replace(108, 8, Octal(0, 8));
    h.replace(116, 8, Octal(0, 8));
    h.replace(124, 12, Octal(size, 12));
    h.replace(136, 12, Octal(mtime, 12));
    h[156] = type;
    h.replace(257, 8, std::string("ustar\0" "00", 8));
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(148, 8, Octal(sum, 7) + " ");
    return h;
}

std::string TarEntry(const std::string& name, const std::string& data, char type = '0') {
    std::string e = TarHeader(name, static_cast<int64_t>(data.size()), type) + data;
    e.append((512 - data.size() % 512) % 512, '\0');
    return e;
}

const std::string kTarEnd(1024, '\0');

// Every regular file below dir, by path relative to it with '/' separators.
void ListTree(const std::string& dir, const std::string& prefix, std::map<std::string, std::string>& out) {
    os::Finder f;
    os::FindData fd;
    for (int rc = f.First(Join(dir, "*"), fd); rc == 0; rc = f.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        if (fd.attributes & os::faDirectory)
            ListTree(Join(dir, fd.name), prefix + fd.name + "/", out);
        else
            out[prefix + fd.name] = ReadAll(Join(dir, fd.name));
    }
}
std::string Incompressible(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 2463534242u;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

std::map<std::string, std::string> Tree(const std::string& dir) {
    std::map<std::string, std::string> m;
    ListTree(dir, "", m);
    return m;
}

// ===================================================================== gzip reader

TEST(GzipReader, ExtractsPeerMembersByteForByteUnderTheirNames) {
    const std::string big = Input("big.bin");
    ASSERT_FALSE(big.empty()) << "fixtures missing: run ctest -R make_fixtures";
    struct Case {
        std::string archive, name, content;
    };
    std::vector<Case> cases;
    for (int n = 1; n <= 9; ++n)
        cases.push_back({GzFixture("level" + std::to_string(n) + ".gz"), "level" + std::to_string(n), big});
    cases.push_back({GzFixture("python.gz"), "from-python.bin", big});
    cases.push_back({GzFixture("about-N.gz"), "about.txt", Input("about.txt")});
    cases.push_back({GzFixture("comment.gz"), "commented.txt", Input("about.txt")});  // FLG 0x1A
    cases.push_back({GzFixture("extra.gz"), "commented.txt", Input("about.txt")});    // FLG 0x1E
    cases.push_back({Fixture("hello.txt.gz"), "hello.txt", Input("hello.txt")});      // no name: archive less .gz
    cases.push_back({Fixture("named.gz"), "hello.txt", Input("hello.txt")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const std::string dir = ScratchDir("gz-peer");
        Events ev;
        EXPECT_EQ(ExtractAll(c.archive, dir, ev), 1);
        EXPECT_TRUE(ev.errors.empty());
        EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{c.name, true}}));
        EXPECT_TRUE(ReadAll(Join(dir, c.name)) == c.content);
    }
    // gzip -N stored the source's time, which the output takes.
    const std::string dir = ScratchDir("gz-peer-time");
    Events ev;
    ExtractAll(GzFixture("about-N.gz"), dir, ev);
    EXPECT_EQ(UnixTimeOf(Join(dir, "about.txt")), kFixtureTime);

    // A member of method 0 holds its data as it is; with no time stored
    // (MTIME 0) the output takes the .gz file's own.
    const std::string data = "stored, not deflated\n";
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(data.data(), data.size(), crc);
    std::string stored("\x1f\x8b\x00\x00\x00\x00\x00\x00\x00\x03", 10);
    stored += data;
    for (uint32_t v : {~crc, static_cast<uint32_t>(data.size())})
        for (int i = 0; i < 4; ++i) stored += static_cast<char>((v >> (8 * i)) & 0xFF);
    const std::string archive = Join(dir, "plain.gz");
    WriteAll(archive, stored);
    SetUnixTime(archive, kFixtureTime + 3600);
    Events sev;
    EXPECT_EQ(ExtractAll(archive, Join(dir, "out"), sev), 1);
    EXPECT_EQ(sev.ends, (std::map<std::string, bool>{{"plain", true}}));
    EXPECT_EQ(ReadAll(Join(dir, "out/plain")), data);
    EXPECT_EQ(UnixTimeOf(Join(dir, "out/plain")), kFixtureTime + 3600);
}

TEST(GzipReader, ChecksEachConcatenatedMember) {
    const std::string good = ReadAll(GzFixture("concat.gz"));
    ASSERT_FALSE(good.empty());
    const std::string expected = Input("hello.txt") + Input("about.txt");
    const std::string dir = ScratchDir("gz-concat");
    Events ev;
    EXPECT_EQ(ExtractAll(GzFixture("concat.gz"), dir, ev), 1);
    EXPECT_TRUE(ReadAll(Join(dir, "concat")) == expected);
    EXPECT_EQ(ev.ends["concat"], true);

    // The first member is hello.txt.gz as it stands.
    const size_t second = ReadAll(Fixture("hello.txt.gz")).size();
    ASSERT_EQ(good.substr(second, 2), "\x1f\x8b");
    for (size_t at : {second - 8 /* CRC of the first */, good.size() - 8 /* CRC of the second */,
                      good.size() - 4 /* size of the second */}) {
        SCOPED_TRACE(at);
        std::string bad = good;
        bad[at] ^= 0x55;
        const std::string archive = Join(dir, "bad.gz");
        WriteAll(archive, bad);
        Events bev;
        ExtractAll(archive, ScratchDir("gz-concat-out"), bev);
        EXPECT_EQ(bev.ends, (std::map<std::string, bool>{{"bad", false}}));
    }
}

TEST(GzipReader, RefusesDamagedAndForeignMembers) {
    const std::string good = ReadAll(Fixture("hello.txt.gz"));
    ASSERT_GE(good.size(), 20u);
    const std::string dir = ScratchDir("gz-bad");
    const std::string out = Join(dir, "out");
    auto run = [&](const std::string& bytes, bool withOnEnd = true) {
        const std::string archive = Join(dir, "x.txt.gz");
        WriteAll(archive, bytes);
        os::FileDelete(Join(out, "x.txt"));
        Events ev;
        ExtractAll(archive, out, ev, withOnEnd);
        return ev;
    };
    std::string badCrc = good;
    badCrc[good.size() - 8] ^= 1;
    Events ev = run(badCrc);
    EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{"x.txt", false}}));
    EXPECT_TRUE(ev.errors.empty());
    ev = run(badCrc, false);  // without OnEnd the mismatch is reported
    EXPECT_EQ(ev.Count(25151), 1);

    std::string encrypted = good;
    encrypted[3] = 0x20;
    ev = run(encrypted);
    EXPECT_EQ(ev.raised, 1);
    EXPECT_EQ(ev.Count(25290), 2);  // OnError, then the raise
    EXPECT_FALSE(os::FileExists(Join(out, "x.txt")));

    // A name field that runs to the end leaves no room for data and trailer.
    ev = run(std::string("\x1f\x8b\x08\x08\0\0\0\0\0\0", 10) + std::string(30, 'n'));
    EXPECT_EQ(ev.raised, 1);
    EXPECT_EQ(ev.errors.back(), 25236);
    // Too short to be a gzip file at all: refused before anything is read.
    ev = run(good.substr(0, 17));
    EXPECT_EQ(ev.raised, 1);
    EXPECT_FALSE(os::FileExists(Join(out, "x.txt")));

    std::string unknownMethod = good;
    unknownMethod[2] = 5;
    ev = run(unknownMethod);
    EXPECT_EQ(ev.Count(25326), 1);

    // Deflate data cut short: an error, never a pass.
    ev = run(good.substr(0, good.size() - 12) + good.substr(good.size() - 8));
    EXPECT_TRUE(ev.raised == 1 || ev.ends["x.txt"] == false);

    // A fault in any member, or in a .Z file's codes, fails the file and
    // leaves none of it; pack files are not decoded.
    const std::string badBlock = std::string("\x1f\x8b\x08\0\0\0\0\0\0\0\x07", 11) + std::string(9, '\0');
    for (const auto& [bytes, id] : std::vector<std::pair<std::string, int>>{
             {good + badBlock, 25109}, {badBlock, 25109}, {good + std::string(good).replace(2, 1, "\x05"), 25326},
             {good + std::string(good).replace(3, 1, "\x20"), 25290},
             {std::string("\x1f\x9d\x90\x41\x04\x02", 6), 25139},  // 'A', then a code two past the table
             {std::string("\x1f\x9d\xb0\x41\0", 5), 25138}, {"\x1f\x1e" + std::string(20, 'p'), 25326}}) {
        ev = run(bytes);
        EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{"x.txt", false}})) << id;
        EXPECT_EQ(ev.errors, std::vector<int>{id});
        EXPECT_FALSE(os::FileExists(Join(out, "x.txt")));
    }
}

TEST(GzipReader, AStoredNameKeepsItsFoldersInsideTheTarget) {
    const std::string good = ReadAll(Fixture("hello.txt.gz")), longName(300, 'n');
    struct Case {
        std::string stored;
        bool dirs;
        std::string written;
    };
    for (const Case& c : {Case{"dir/sub/f.txt", true, "dir/sub/f.txt"}, Case{"dir/sub/f.txt", false, "f.txt"},
                          Case{longName, true, longName.substr(0, 255)}, Case{"../../evil", true, "evil"},
                          Case{"/etc/x", true, "etc/x"}, Case{"C:\\x", true, "x"}}) {
        const std::string dir = ScratchDir("gz-names"), archive = Join(dir, "a.gz");
        WriteAll(archive, std::string(good).replace(3, 1, "\x08").insert(10, c.stored + '\0'));
        Events ev;
        ExtractAll(archive, Join(Join(dir, "deep"), "out"), ev, true, [&c](TUnBase& r) { r.SetUseStoredDirs(c.dirs); });
        // Windows takes no path that long: the entry's end names it.
        if (c.stored == longName)
            EXPECT_EQ(ev.ends.count(c.written), 1u);
        else
            EXPECT_EQ(Tree(Join(dir, "deep")),
                      (std::map<std::string, std::string>{{"out/" + c.written, Input("hello.txt")}}));
    }
}

TEST(CompressReader, ExtractsEveryWidthAndHandsTarsOn) {
    const std::string big = Input("big.bin");
    for (int b = 10; b <= 16; ++b) {
        SCOPED_TRACE(b);
        const std::string dir = ScratchDir("z-width");
        Events ev;
        EXPECT_EQ(ExtractAll(GzFixture("b" + std::to_string(b) + ".Z"), dir, ev), 1);
        EXPECT_TRUE(ReadAll(Join(dir, "b" + std::to_string(b))) == big);
        EXPECT_EQ(ev.ends["b" + std::to_string(b)], true);
    }
    // A .tar.gz and a .tar.Z unpack their entries in one run.
    for (const std::string& archive : {Fixture("tarball.tar.gz"), GzFixture("tarball.tar.Z")}) {
        SCOPED_TRACE(archive);
        const std::string dir = ScratchDir("tgz");
        Events ev;
        ExtractAll(archive, dir, ev);
        EXPECT_TRUE(ReadAll(Join(dir, "hello.txt")) == Input("hello.txt"));
        EXPECT_TRUE(ReadAll(Join(dir, "big.bin")) == Input("big.bin"));
        EXPECT_TRUE(ReadAll(Join(Join(dir, "sub"), "nested.txt")) == Input(Join("sub", "nested.txt")));
        EXPECT_EQ(UnixTimeOf(Join(dir, "about.txt")), kFixtureTime);
        EXPECT_EQ(ev.ends.count("about.txt"), 1u);
    }
    // A cancel while the codes are read never lets the cut file pass.
    Events ev;
    ExtractAll(Fixture("hello.txt.Z"), ScratchDir("z-cancel"), ev, true, [](TUnBase& r) {
        // The first call comes before the file begins.
        r.OnProgress = [&r, n = 0](TObject*, uint8_t, uint8_t) mutable { if (++n == 2) r.SetCancel(true); };
    });
    EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{"hello.txt", false}}));
}

TEST(GzipReader, HandsTheTarOnWithItsSettingsAndListeners) {
    // The reader the table gives out: its TAR reader was set up by nobody.
    struct Case {
        const char* what;
        bool confirm;
        TOverwriteMode answer;  // given by OnFileExists, or set up front
        bool replaced;
    };
    for (const Case& c : {Case{"asked, skip", true, omSkip, false}, Case{"not asked, overwrite", false, omOverwrite, true}}) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir("tgz-handover");
        WriteAll(Join(dir, "hello.txt"), "mine");
        std::unique_ptr<TUnBase> reader = CreateReaderForKind(atGZip);
        auto& gz = dynamic_cast<TUnGZIP&>(*reader);
        ASSERT_NE(gz.UnTar(), nullptr);
        std::vector<std::string> begun, asked;
        std::set<std::string> ended;
        int progress = 0;
        gz.OnBegin = [&](TObject*, const std::string& fn, int, bool&) { begun.push_back(ExtractFileName(fn)); };
        gz.OnEnd = [&](TObject*, const std::string& fn, bool pass) {
            if (pass) ended.insert(ExtractFileName(fn));
        };
        gz.OnProgress = [&](TObject*, uint8_t, uint8_t) { ++progress; };
        gz.OnFileExists = [&](TObject*, const std::string& fn, TDateTime, TOverwriteMode& mode) {
            asked.push_back(ExtractFileName(fn));
            mode = c.answer;
        };
        gz.SetConfirmOverwrites(c.confirm);
        gz.SetOverwriteMode(c.confirm ? omOverwrite : c.answer);
        gz.SetDateAttribute(daSysDate);
        gz.SetArchiveFile(Fixture("tarball.tar.gz"));
        gz.SetExtractDir(dir);
        gz.FileSpec() = {"*.*"};
        gz.Extract();
        EXPECT_EQ(ReadAll(Join(dir, "hello.txt")) == "mine", !c.replaced);
        EXPECT_EQ(asked, c.confirm ? std::vector<std::string>{"hello.txt"} : std::vector<std::string>{});
        // The TAR's entries went through the gzip reader's listeners.
        std::vector<std::string> expected = {"tarball.tar", "about.txt", "big.bin", "hello.txt", "nested.txt"};
        if (!c.replaced) expected.erase(expected.begin() + 3);  // skipped before it begins
        EXPECT_EQ(begun, expected);
        EXPECT_EQ(ended.count("big.bin"), 1u);
        EXPECT_EQ(ended.count("nested.txt"), 1u);
        EXPECT_GT(progress, 2);
        // With the gzip reader's date setting: today, not the stored 2001.
        EXPECT_GT(UnixTimeOf(Join(dir, "about.txt")), kFixtureTime + 86400);
        // A "skip" chosen for the TAR's entry stays the run's answer; the
        // TAR reader is left without the gzip reader's listeners.
        EXPECT_EQ(gz.OverwriteMode(), c.answer);
        EXPECT_FALSE(gz.UnTar()->OnBegin);
        EXPECT_FALSE(gz.UnTar()->OnFileExists);
    }
}

// ===================================================================== TAR reader

TEST(TarReader, ExtractsRegularFilesOfEveryPeerFormatWithTheirTimes) {
    for (const std::string name : {"v7.tar", "ustar.tar", "gnu.tar", "posix.tar", "bsd.tar", "labelled.tar"}) {
        SCOPED_TRACE(name);
        const std::string dir = ScratchDir("tar-peer");
        Events ev;
        EXPECT_EQ(ExtractAll(Fixture(name), dir, ev), 4);
        const auto tree = Tree(dir);
        EXPECT_EQ(tree.size(), 4u);
        for (const std::string f : {"about.txt", "big.bin", "hello.txt", "sub/nested.txt"}) {
            EXPECT_TRUE(tree.count(f) && tree.at(f) == Input(f)) << f;
            EXPECT_EQ(UnixTimeOf(Join(dir, f)), kFixtureTime) << f;
        }
        EXPECT_TRUE(ev.errors.empty());
    }
}

TEST(TarReader, RestoresLongNamesAndSkipsLinksDevicesAndFolders) {
    const std::string listed = ReadAll(GzFixture("longnames.txt"));
    const size_t nl = listed.find('\n');
    ASSERT_NE(nl, std::string::npos);
    const std::string deep = listed.substr(0, nl);              // fits a ustar prefix
    const std::string leaf = listed.substr(nl + 1, listed.size() - nl - 2);  // 116 bytes: GNU 'L' or pax
    struct Case {
        std::string archive;
        bool hasDeep, hasLeaf;
        int skipped;  // symlink, hard link, FIFO
    };
    for (const Case& c : {Case{"links-gnu.tar", true, true, 3}, Case{"links-posix.tar", true, true, 3},
                          Case{"links-bsd.tar", true, true, 3}, Case{"links-ustar.tar", true, false, 3},
                          Case{"links-v7.tar", false, false, 2}}) {
        SCOPED_TRACE(c.archive);
        const std::string dir = ScratchDir("tar-links");
        Events ev;
        ExtractAll(GzFixture(c.archive), dir, ev);
        auto tree = Tree(dir);
        std::map<std::string, std::string> expected = {{"hardlink.txt", "plain\n"}};
        if (c.hasDeep) expected[deep] = "deep file\n";
        if (c.hasLeaf) expected[leaf] = "long leaf\n";
        // Names may carry the "./" of "tar cf x.tar .": it names no folder.
        EXPECT_EQ(tree, expected);
        EXPECT_EQ(ev.Count(26800), c.skipped);
        EXPECT_FALSE(os::FileExists(Join(dir, "emptydir")));
        EXPECT_FALSE(os::FileExists(Join(dir, "symlink.txt")));
    }
}

TEST(TarReader, KeepsEveryNameInsideExtractDir) {
    const std::string dir = ScratchDir("tar-escape");
    const std::string archive = Join(dir, "evil.tar");
    WriteAll(archive, TarEntry("../up.txt", "1") + TarEntry("/abs.txt", "2") + TarEntry("a/../../b.txt", "3") +
                          TarEntry("c:/drive.txt", "4") + TarEntry("ok/./in.txt", "5") + TarEntry("..", "6") + kTarEnd);
    const std::string out = Join(dir, "out");
    Events ev;
    ExtractAll(archive, out, ev);
    EXPECT_TRUE(ev.ends.count("..") && !ev.ends.at(".."));  // no name is left of it: it fails
    const auto tree = Tree(out);
    EXPECT_EQ(tree.size(), 5u);
    for (const auto& [name, data] : tree) EXPECT_EQ(data.size(), 1u) << name;
    // Nothing landed beside the output folder or above it.
    const auto around = Tree(dir);
    for (const auto& [name, data] : around) EXPECT_TRUE(name == "evil.tar" || name.rfind("out/", 0) == 0) << name;
}

TEST(TarReader, PassesOverDamagedBlocksAndStopsAtTwoZeroBlocks) {
    const std::string dir = ScratchDir("tar-damage");
    std::string second = TarEntry("second.txt", "two\n");
    second[0] = 'X';  // the checksum no longer matches
    const std::string zero(512, '\0');
    // One zero block is padding; two end the archive.
    const std::string bytes = TarEntry("first.txt", "one\n") + second + zero + TarEntry("third.txt", "three\n") +
                              kTarEnd + TarEntry("after.txt", "never\n");
    const std::string archive = Join(dir, "damaged.tar");
    WriteAll(archive, bytes);
    const std::string out = Join(dir, "out");
    Events ev;
    EXPECT_EQ(ExtractAll(archive, out, ev), 2);
    EXPECT_EQ(Tree(out), (std::map<std::string, std::string>{{"first.txt", "one\n"}, {"third.txt", "three\n"}}));
}

TEST(TarReader, AnArchiveCutShortFailsTheEntryItCutAndSaysSo) {
    const std::string dir = ScratchDir("tar-cut");
    const std::string big = Incompressible(20000), small(600, 's');
    // big.bin: header at 0, data 512..20512, next header at 20992; small.txt:
    // data 21504..22104, padding to 22528; then the two end blocks.
    const std::string whole = TarEntry("big.bin", big) + TarEntry("small.txt", small) + kTarEnd;
    ASSERT_EQ(whole.size(), 23552u);
    struct Case {
        const char* where;
        size_t length;
        std::set<std::string> ok, failed;
        bool cut;  // 25236 is reported
    };
    const std::vector<Case> cases = {
        {"in the first entry's data", 5000, {}, {"big.bin"}, true},
        {"in a later, smaller entry's data", 21600, {"big.bin"}, {"small.txt"}, true},
        {"in a header", 21200, {"big.bin"}, {}, true},
        {"in the last entry's padding", 22200, {"big.bin", "small.txt"}, {}, true},
        {"in the end blocks", 23000, {"big.bin", "small.txt"}, {}, false},
        {"nowhere", whole.size(), {"big.bin", "small.txt"}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const std::string archive = Join(dir, "cut.tar");
        WriteAll(archive, whole.substr(0, c.length));
        for (const bool test : {false, true}) {
            SCOPED_TRACE(test ? "test" : "extract");
            TUnTAR r;
            Events ev;
            ev.Watch(r);
            r.SetArchiveFile(archive);
            r.SetExtractDir(Join(dir, "out"));
            r.SetConfirmOverwrites(false);
            r.FileSpec() = {"*.*"};
            try {
                test ? r.Test() : r.Extract();
            } catch (const E_RAISE& e) {
                ev.errors.push_back(e.Code());
                ++ev.raised;
            }
            EXPECT_EQ(ev.raised, 0);
            std::set<std::string> ok, failed;
            for (const auto& [name, pass] : ev.ends) (pass ? ok : failed).insert(name);
            EXPECT_EQ(ok, c.ok);
            EXPECT_EQ(failed, c.failed);
            EXPECT_EQ(ev.Count(25236), c.cut ? 1 : 0) << ::testing::PrintToString(ev.errors);
        }
        // A cut entry leaves nothing that could pass for it.
        if (c.length == 5000) {
            EXPECT_FALSE(os::FileExists(Join(Join(dir, "out"), "big.bin")));
        }
#ifndef _WIN32
        // bsdtar says each of these archives is cut short (GNU tar passes
        // a cut header, and a cut end block as we do); whole, both pass.
        const std::string q = "'" + archive + "' >/dev/null 2>&1";
        if (c.cut) {
            EXPECT_NE(std::system(("bsdtar -tf " + q).c_str()), 0);
        }
        if (c.length == whole.size()) {
            EXPECT_EQ(std::system(("bsdtar -tf " + q).c_str()), 0);
            EXPECT_EQ(std::system(("tar -tf " + q).c_str()), 0);
        }
#endif
    }
}

// ===================================================================== gzip writer

struct Sources {
    std::string dir;
    explicit Sources(const std::string& name) : dir(ScratchDir(name)) {}
    std::string Put(const std::string& name, const std::string& data, int64_t mtime = 1234567890) {
        const std::string path = Join(dir, name);
        WriteAll(path, data);
        SetUnixTime(path, mtime);
        return path;
    }
};


TEST(GzipWriter, WritesOneValidMemberPerSourceBesideArchiveFile) {
    BRAMBLE_NEED_FIXTURE(Join("in", "about.txt"));
    Sources src("gzw-src");
    src.Put("a.txt", Input("about.txt"), 1234567891);  // an odd second survives
    src.Put("b.txt", "short text\n");
    src.Put("empty.txt", "");
    src.Put("noise.bin", Incompressible(100));
    const std::string outDir = ScratchDir("gzw-out");
    TGZip gz;
    Events ev;
    ev.Watch(gz);
    gz.SetDefaultDir(src.dir);
    gz.SetArchiveFile(Join(outDir, "target"));
    EXPECT_EQ(gz.ArchiveFile(), SlashToBackslash(Join(outDir, "target.GZ")));
    gz.FileSpec() = {"*.*"};
    EXPECT_EQ(gz.Compress(), 4);
    EXPECT_TRUE(ev.errors.empty());

    const std::string a = ReadAll(Join(outDir, "a.txt.gz"));
    ASSERT_GE(a.size(), 20u);
    EXPECT_EQ(a.substr(0, 4), std::string("\x1f\x8b\x08\x08", 4));  // deflate, name present
    EXPECT_EQ(Le32(a, 4), 1234567891u);                                // source time, UTC seconds
    EXPECT_EQ(a.substr(10, 6), std::string("a.txt\0", 6));             // bare name
    EXPECT_EQ(Le32(a, a.size() - 4), Input("about.txt").size());
    EXPECT_EQ(UnixTimeOf(Join(outDir, "a.txt.gz")), 1234567891);

    // An empty source: empty deflate stream and trailer, no name.
    const std::string e = ReadAll(Join(outDir, "empty.txt.gz"));
    EXPECT_EQ(e.size(), 20u);
    EXPECT_EQ(e.substr(0, 4), std::string("\x1f\x8b\x08\x00", 4));
    EXPECT_EQ(e.substr(10), std::string("\x03\x00\0\0\0\0\0\0\0\0", 10));

    // Incompressible data stays deflate (stored blocks), never CM 0.
    const std::string n = ReadAll(Join(outDir, "noise.bin.gz"));
    EXPECT_EQ(uint8_t(n[2]), 8);

    // The engine's own reader takes all of them back.
    for (const auto& [name, data] : std::map<std::string, std::string>{{"a.txt", Input("about.txt")},
                                                                        {"b.txt", "short text\n"},
                                                                        {"empty.txt", ""},
                                                                        {"noise.bin", Incompressible(100)}}) {
        SCOPED_TRACE(name);
        const std::string back = ScratchDir("gzw-back");
        Events rev;
        ExtractAll(Join(outDir, name + ".gz"), back, rev);
        EXPECT_EQ(rev.ends, (std::map<std::string, bool>{{name, true}}));
        EXPECT_TRUE(ReadAll(Join(back, name)) == data);
    }
    // Sources stay with swAdd.
    EXPECT_TRUE(os::FileExists(Join(src.dir, "a.txt")));

    // swRead lists a .gz as its one entry and writes nothing.
    TGZip lister;
    std::vector<std::string> listed;
    lister.OnRead = [&](TObject*, int, int) {
        listed.push_back(lister.EntryInfo.FileName + " " + std::to_string(lister.EntryInfo.UnpackedSize));
    };
    lister.SetArchiveFile(Join(outDir, "a.txt.gz"));
    lister.FileSpec() = {"*.*"};
    lister.SetSwitch(swRead);
    EXPECT_EQ(lister.Compress(), 0);
    EXPECT_EQ(listed, (std::vector<std::string>{"a.txt " + std::to_string(Input("about.txt").size())}));
}

TEST(GzipWriter, MovesOnlyWrittenSourcesAndRespectsExistingOutputs) {
    Sources src("gzm-src");
    src.Put("a.txt", "alpha\n");
    src.Put("b.txt", "beta\n");
    const std::string outDir = ScratchDir("gzm-out");
    // b.txt.gz exists read-only: without OnNonWriteableArchive it is kept
    // and its source stays although the run moves.
    const std::string lockedOut = Join(outDir, "b.txt.gz");
    WriteAll(lockedOut, "old");
    os::SetAttributes(lockedOut, os::faReadOnly);
    {
        TGZip gz;
        Events ev;
        ev.Watch(gz);
        gz.SetDefaultDir(src.dir);
        gz.SetArchiveFile(Join(outDir, "x.gz"));
        gz.FileSpec() = {"*.txt"};
        gz.SetSwitch(swMove);
        gz.SetDeleteOptions(doFinal);
        EXPECT_EQ(gz.Compress(), 1);
        EXPECT_EQ(ev.Count(25136), 1);
        EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{"a.txt", true}, {"b.txt", false}}));
        EXPECT_FALSE(os::FileExists(Join(src.dir, "a.txt")));
        EXPECT_TRUE(os::FileExists(Join(src.dir, "b.txt")));
        EXPECT_EQ(ReadAll(lockedOut), "old");
    }
    // OnFileExists answering omSkip keeps the output; allowed by
    // OnNonWriteableArchive, the read-only output is replaced.
    {
        TGZip gz;
        Events ev;
        ev.Watch(gz);
        int asked = 0;
        gz.OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode& m) {
            ++asked;
            m = omSkip;
        };
        gz.SetDefaultDir(src.dir);
        gz.SetArchiveFile(Join(outDir, "x.gz"));
        gz.FileSpec() = {"b.txt"};
        EXPECT_EQ(gz.Compress(), 0);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(ReadAll(lockedOut), "old");

        gz.OnFileExists = nullptr;
        gz.SetOverwriteMode(omOverwrite);
        gz.OnNonWriteableArchive = [](TObject*, const std::string&, bool& write) { write = true; };
        EXPECT_EQ(gz.Compress(), 1);
        EXPECT_EQ(ReadAll(lockedOut).substr(0, 2), "\x1f\x8b");
    }
    // Deleting from gzip files is nothing to do.
    TGZip gz;
    Events ev;
    ev.Watch(gz);
    gz.SetArchiveFile(Join(outDir, "x.gz"));
    gz.FileSpec() = {"a.txt"};
    gz.SetSwitch(swDelete);
    EXPECT_EQ(gz.Compress(), 0);
    EXPECT_EQ(ev.Count(26859), 1);
}

// ===================================================================== TAR writer

TTar& Configure(TTar& tar, Events& ev, const std::string& srcDir, const std::string& archive) {
    ev.Watch(tar);
    tar.SetDefaultDir(srcDir);
    tar.SetArchiveFile(archive);
    tar.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int, int, int,
                           int, bool& replace) { replace = true; };
    return tar;
}

TEST(TarWriter, WritesPlainHeadersPaddingAndTwoZeroBlocks) {
    Sources src("tarw-src");
    src.Put("one.txt", "1", 1234567891);
    const std::string archive = Join(ScratchDir("tarw-out"), "x");
    TTar tar;
    Events ev;
    Configure(tar, ev, src.dir, archive);
    EXPECT_EQ(tar.ArchiveFile(), SlashToBackslash(archive + ".TAR"));
    tar.FileSpec() = {"one.txt"};
    EXPECT_EQ(tar.Compress(), 1);
    const std::string t = ReadAll(archive + ".TAR");
    ASSERT_EQ(t.size(), 512u * 4);  // header, data block, two zero blocks
    EXPECT_EQ(t.substr(0, 8), std::string("one.txt\0", 8));
    EXPECT_EQ(t.substr(100, 8), std::string("100666 \0", 8));
    EXPECT_EQ(t.substr(124, 12), "          1 ");
    EXPECT_EQ(OctalToInt(t.substr(136, 12)), 1234567891);  // true UTC seconds
    EXPECT_EQ(t[512], '1');
    EXPECT_EQ(t.substr(513), std::string(511 + 1024, '\0'));
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? 32u : uint8_t(t[size_t(i)]);
    EXPECT_EQ(OctalToInt(t.substr(148, 6)), sum);
    EXPECT_EQ(t.substr(154, 2), std::string("\0 ", 2));

    // The reader gives it back with its time.
    const std::string back = ScratchDir("tarw-back");
    Events rev;
    ExtractAll(archive + ".TAR", back, rev);
    EXPECT_EQ(ReadAll(Join(back, "one.txt")), "1");
    EXPECT_EQ(UnixTimeOf(Join(back, "one.txt")), 1234567890);  // DOS dates keep even seconds
}

TEST(TarWriter, RefusesNamesLongerThanNinetyNineBytes) {
    Sources src("tarlong-src");
    const std::string ok(99, 'k'), tooLong(100, 'l');
    src.Put(ok, "fits");
    src.Put(tooLong, "does not");
    const std::string archive = Join(ScratchDir("tarlong-out"), "x.tar");
    TTar tar;
    Events ev;
    Configure(tar, ev, src.dir, archive);
    tar.FileSpec() = {"*"};
    EXPECT_EQ(tar.Compress(), 1);
    EXPECT_EQ(ev.Count(25243), 1);
    EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{ok, true}, {tooLong, false}}));
    const std::string back = ScratchDir("tarlong-back");
    Events rev;
    ExtractAll(archive, back, rev);
    EXPECT_EQ(Tree(back), (std::map<std::string, std::string>{{ok, "fits"}}));
}

TEST(TarWriter, RefusesAFileLargerThanTheSizeFieldHolds) {
    Sources src("tarhuge-src");
    src.Put("small.txt", "s");
    // One byte past eleven octal digits, as a hole: it costs no disk.
    std::filesystem::resize_file(src.Put("huge.bin", ""), 077777777777LL + 1);
    TTar tar;
    Events ev;
    Configure(tar, ev, src.dir, Join(ScratchDir("tarhuge-out"), "x.tar")).FileSpec() = {"*"};
    EXPECT_EQ(tar.Compress(), 1);
    std::filesystem::remove(Join(src.dir, "huge.bin"));
    EXPECT_EQ(ev.errors, std::vector<int>{25256});
    EXPECT_EQ(ev.ends, (std::map<std::string, bool>{{"huge.bin", false}, {"small.txt", true}}));
}

TEST(TarWriter, UpdatesReplacesAndDeletesEntriesKeepingLongNameRecordsWithTheirEntries) {
    Sources src("tarup-src");
    src.Put("a.txt", "first a\n");
    src.Put("b.txt", "b\n");
    const std::string out = ScratchDir("tarup-out");
    const std::string archive = Join(out, "x.tar");
    {
        TTar tar;
        Events ev;
        Configure(tar, ev, src.dir, archive);
        tar.FileSpec() = {"a.txt", "b.txt"};
        EXPECT_EQ(tar.Compress(), 2);
    }
    src.Put("a.txt", "second a, longer\n", 1300000000);
    src.Put("c.txt", "c\n");
    {
        TTar tar;
        Events ev;
        Configure(tar, ev, src.dir, archive);
        tar.FileSpec() = {"a.txt", "c.txt"};
        EXPECT_EQ(tar.Compress(), 2);
    }
    {
        TTar tar;
        Events ev;
        Configure(tar, ev, src.dir, archive);
        tar.FileSpec() = {"b.txt"};
        tar.SetSwitch(swDelete);
        EXPECT_EQ(tar.Compress(), 1);
    }
    const std::string back = ScratchDir("tarup-back");
    Events rev;
    ExtractAll(archive, back, rev);
    EXPECT_EQ(Tree(back), (std::map<std::string, std::string>{{"a.txt", "second a, longer\n"}, {"c.txt", "c\n"}}));
    EXPECT_EQ(ReadAll(archive).substr(ReadAll(archive).size() - 1024), kTarEnd);
    {
        TTar lister;
        std::vector<std::string> listed;
        lister.OnRead = [&](TObject*, int, int) { listed.push_back(lister.EntryInfo.FileName); };
        lister.SetArchiveFile(archive);
        lister.FileSpec() = {"*.*"};
        lister.SetSwitch(swRead);
        lister.Compress();
        EXPECT_EQ(listed, (std::vector<std::string>{"a.txt", "c.txt"}));
    }

    // A GNU tar archive: deleting the long-named entry takes its 'L'
    // record along, and entries added after the others keep their names.
    const std::string listed = ReadAll(GzFixture("longnames.txt"));
    const std::string leaf = listed.substr(listed.find('\n') + 1, listed.size() - listed.find('\n') - 2);
    const std::string gnu = Join(out, "gnu.tar");
    WriteAll(gnu, ReadAll(GzFixture("links-gnu.tar")));
    {
        TTar tar;
        Events ev;
        Configure(tar, ev, src.dir, gnu);
        tar.FileSpec() = {leaf};
        tar.SetSwitch(swDelete);
        EXPECT_EQ(tar.Compress(), 1);
        tar.FileSpec() = {"c.txt"};
        tar.SetSwitch(swAdd);
        EXPECT_EQ(tar.Compress(), 1);
    }
    const std::string gback = ScratchDir("tarup-gnu");
    Events gev;
    ExtractAll(gnu, gback, gev);
    auto tree = Tree(gback);
    EXPECT_EQ(tree.count(leaf), 0u);
    EXPECT_EQ(tree.count("c.txt"), 1u);
    EXPECT_EQ(tree.count("hardlink.txt"), 1u);
    EXPECT_EQ(tree.size(), 3u);  // and the deep file, under its full name
}

TEST(TarWriter, DeletesByTheNameTheListShows) {
    // As "tar -C dir -cf x.tar ." stores names: behind "./".
    const std::string dir = ScratchDir("tarw-dot");
    const std::string archive = Join(dir, "dot.tar");
    WriteAll(archive, TarEntry("./", "", '5') + TarEntry("./a.txt", "alpha\n") + TarEntry("./sub/b.txt", "beta\n") +
                          TarEntry("c.txt", "gamma\n") + kTarEnd);
    auto listed = [&] {
        TDovex d;
        d.SetArchiveFile(archive);
        d.FileSpec() = {"*.*"};
        std::vector<std::string> names;
        d.OnRead = [&](TObject*, int, int) { names.push_back(d.EntryInfo.FileName); };
        d.ReadArchive();
        return names;
    };
    ASSERT_EQ(listed(), (std::vector<std::string>{".\\a.txt", ".\\sub\\b.txt", "c.txt"}));
    struct Case {
        std::string spec;  // put into FileSpec as the program does, unchanged
        int deleted;
        std::vector<std::string> left;
    };
    const std::vector<Case> cases = {
        {".\\a.txt", 1, {".\\sub\\b.txt", "c.txt"}},  // as the list shows it
        {"sub\\b.txt", 1, {"c.txt"}},                // without the "./"
        {".\\a.txt", 0, {"c.txt"}},                   // gone already: said so
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        TTar t;
        Events ev;
        ev.Watch(t);
        t.SetArchiveFile(archive);
        t.SetSwitch(swDelete);
        t.FileSpec().push_back(c.spec);
        EXPECT_EQ(t.Compress(), c.deleted);
        EXPECT_EQ(ev.Count(25172), c.deleted ? 0 : 1);
        EXPECT_EQ(listed(), c.left);
    }
#ifndef _WIN32
    EXPECT_EQ(std::system(("tar -tf '" + archive + "' >/dev/null 2>&1").c_str()), 0);
#endif
}

TEST(TarWriter, NeverReplacesAFileThatIsNoTar) {
    Sources src("tarforeign-src");
    src.Put("a.txt", "a");
    const std::string archive = Join(ScratchDir("tarforeign"), "notes.tar");
    const std::string text(2000, 'n');
    WriteAll(archive, text);
    TTar tar;
    Events ev;
    Configure(tar, ev, src.dir, archive);
    tar.FileSpec() = {"a.txt"};
    EXPECT_THROW(tar.Compress(), E_RAISE);
    EXPECT_EQ(ev.Count(25242), 1);
    EXPECT_EQ(ReadAll(archive), text);
}

TEST(TarWriter, GzipTarLeavesOnlyACompleteTarGz) {
    Sources src("targz-src");
    src.Put("a.txt", Input("about.txt"));
    src.Put("b.txt", "b\n");
    const std::string out = ScratchDir("targz-out");
    const std::string archive = Join(out, "x.tar");
    {
        TTar tar;
        Events ev;
        Configure(tar, ev, src.dir, archive);
        tar.SetCompressMethod(cmGzipTar);
        EXPECT_EQ(tar.CompressMethod(), cmGzipTar);
        tar.FileSpec() = {"*.txt"};
        tar.SetSwitch(swMove);
        tar.SetDeleteOptions(doFinal);
        EXPECT_EQ(tar.Compress(), 2);
        EXPECT_TRUE(ev.errors.empty());
    }
    EXPECT_FALSE(os::FileExists(archive));
    EXPECT_TRUE(os::FileExists(archive + ".gz"));
    EXPECT_FALSE(os::FileExists(Join(src.dir, "a.txt")));  // the move went through
    const std::string back = ScratchDir("targz-back");
    Events rev;
    ExtractAll(archive + ".gz", back, rev);
    auto tree = Tree(back);
    tree.erase("x.tar");
    EXPECT_EQ(tree, (std::map<std::string, std::string>{{"a.txt", Input("about.txt")}, {"b.txt", "b\n"}}));

    // When the .tar.gz cannot be written the TAR stays.
    src.Put("c.txt", "c\n");
    os::SetAttributes(archive + ".gz", os::faReadOnly);
    TTar tar;
    Events ev;
    Configure(tar, ev, src.dir, archive);
    tar.SetCompressMethod(cmGzipTar);
    tar.FileSpec() = {"c.txt"};
    tar.Compress();
    EXPECT_EQ(ev.Count(25136), 1);
    EXPECT_TRUE(os::FileExists(archive));
    os::SetAttributes(archive + ".gz", os::faArchive);
}

#ifndef _WIN32
// ===================================================================== peers read ours

std::string Output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

TEST(GzipTarInterop, PeersReadOurGzipAndTarFiles) {
    BRAMBLE_NEED_FIXTURE(Join("in", "about.txt"));
    BRAMBLE_NEED_FIXTURE(Join("in", "big.bin"));
    Sources src("interop-src");
    src.Put("about.txt", Input("about.txt"), 1234567890);
    src.Put("big.bin", Input("big.bin"), 1234567890);
    src.Put("empty.txt", "", 1234567890);
    const std::string out = ScratchDir("interop-out");
    {
        TGZip gz;
        gz.SetDefaultDir(src.dir);
        gz.SetArchiveFile(Join(out, "x.gz"));
        gz.FileSpec() = {"*"};
        gz.SetDeflateType(dtDeflateX);
        EXPECT_EQ(gz.Compress(), 3);
    }
    for (const std::string name : {"about.txt", "big.bin", "empty.txt"}) {
        SCOPED_TRACE(name);
        const std::string gzPath = Join(out, name + ".gz");
        EXPECT_EQ(std::system(("gzip -t '" + gzPath + "'").c_str()), 0);
        // -N takes the stored name (and time) whatever the .gz is called.
        const std::string renamed = Join(ScratchDir("interop-gzn"), "renamed.gz");
        WriteAll(renamed, ReadAll(gzPath));
        EXPECT_EQ(std::system(("cd \"$(dirname '" + renamed + "')\" && gzip -dN renamed.gz").c_str()), 0);
        // An empty member carries no name: gzip falls back on the .gz's.
        const bool empty = name == "empty.txt";
        const std::string restored = Join(ExtractFilePath(renamed), empty ? "renamed" : name);
        ASSERT_TRUE(os::FileExists(restored));
        EXPECT_TRUE(ReadAll(restored) == (empty ? std::string() : Input(name)));
        EXPECT_EQ(UnixTimeOf(restored), 1234567890);
    }

    const std::string archive = Join(out, "t.tar");
    TTar tar;
    tar.SetDefaultDir(src.dir);
    tar.SetArchiveFile(archive);
    tar.FileSpec() = {"*"};
    EXPECT_EQ(tar.Compress(), 3);
    const std::string listing = Output("TZ=UTC tar tvf '" + archive + "' 2>&1");
    EXPECT_NE(listing.find("102400 2009-02-13 23:31 big.bin"), std::string::npos) << listing;
    EXPECT_NE(listing.find(" 0 2009-02-13 23:31 empty.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find(std::to_string(Input("about.txt").size()) + " 2009-02-13 23:31 about.txt"),
              std::string::npos)
        << listing;

    TTar tgz;
    tgz.SetDefaultDir(src.dir);
    tgz.SetArchiveFile(Join(out, "z.tar"));
    tgz.SetCompressMethod(cmGzipTar);
    tgz.FileSpec() = {"*"};
    EXPECT_EQ(tgz.Compress(), 3);
    const std::string unpacked = ScratchDir("interop-xzf");
    EXPECT_EQ(std::system(("tar xzf '" + Join(out, "z.tar.gz") + "' -C '" + unpacked + "'").c_str()), 0);
    EXPECT_TRUE(ReadAll(Join(unpacked, "big.bin")) == Input("big.bin"));
    EXPECT_TRUE(ReadAll(Join(unpacked, "about.txt")) == Input("about.txt"));
    EXPECT_EQ(UnixTimeOf(Join(unpacked, "big.bin")), 1234567890);
}
#endif

}  // namespace
}  // namespace bramble
