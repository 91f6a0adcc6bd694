// TAR pax records and sparse files: an entry's size, name and time from its
// extended header or the global ones, GNU tar's three pax sparse formats
// expanded, and every header or map that does not hold refused, alike in
// the reader and the lister; natively also against what GNU tar, bsdtar and
// Python write and GNU tar extracts.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/tar.h"
#include "engine/lister/dovex.h"
#include "engine/readers/untar.h"
#include "support/testenv.h"

namespace bramble {
namespace {

namespace fs = std::filesystem;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

constexpr int64_t kTime = 981173106;  // even: DOS dates keep every other second

// ---- archives of the tests' own ------------------------------------------------------------

// More: an old sparse header's map goes on in a block after it.
std::string Block(char type, const std::string& name, int64_t size, int64_t mtime = kTime, bool more = false) {
    std::string h = tar::MakeHeader(name, size, mtime);
    h[156] = type;
    h[482] = more;
    char sum[16];
    std::snprintf(sum, sizeof sum, "%06llo",
                  static_cast<unsigned long long>(tar::ComputeChecksum(reinterpret_cast<const uint8_t*>(h.data()))));
    h.replace(148, 8, std::string(sum, 6) + std::string("\0 ", 2));
    return h;
}
std::string Pad(std::string s) { return s.append((512 - s.size() % 512) % 512, '\0'); }
// "LEN key=value\n", LEN counting itself.
std::string Rec(const std::string& key, const std::string& value) {
    const size_t body = key.size() + value.size() + 3;
    size_t len = body + 1;
    while (std::to_string(len).size() + body != len) ++len;
    return std::to_string(len) + " " + key + "=" + value + "\n";
}
std::string Pax(char type, const std::string& records) {
    return Block(type, "PaxHeader/x", static_cast<int64_t>(records.size())) + Pad(records);
}
std::string File(const std::string& name, const std::string& data, int64_t sizeField = -1) {
    return Block('0', name, sizeField < 0 ? static_cast<int64_t>(data.size()) : sizeField) + Pad(data);
}
const std::string kEnd(1024, '\0');

std::string Noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return s;
}

// ---- runs ------------------------------------------------------------------------------------

struct Outcome {
    std::map<std::string, std::string> files;  // written, by '/' path
    std::map<std::string, int64_t> times;
    std::vector<std::pair<std::string, int>> errors;  // (file name part, id)
    std::map<std::string, bool> ends;
    int raised = 0;
    bool Reported(int id) const {
        for (const auto& e : errors)
            if (e.second == id) return true;
        return false;
    }
};

Outcome Extract(const std::string& archive, bool test = false) {
    Outcome run;
    const std::string out = Join(ExtractFilePath(archive), "out");
    TUnTAR r;
    r.OnError = [&](TObject*, const std::string& FN, const std::string&, const std::string&, int id) {
        run.errors.push_back({ExtractFileName(FN), id});
    };
    r.OnEnd = [&](TObject*, const std::string& FN, bool pass) { run.ends[ExtractFileName(FN)] = pass; };
    r.SetArchiveFile(archive);
    r.SetExtractDir(out);
    r.SetConfirmOverwrites(false);
    r.FileSpec() = {"*.*"};
    try {
        test ? r.Test() : r.Extract();
    } catch (const E_RAISE& e) {
        run.errors.push_back({"", e.Code()});
        ++run.raised;
    }
    if (!fs::exists(out)) return run;
    for (const auto& e : fs::recursive_directory_iterator(out)) {
        if (!e.is_regular_file()) continue;
        const std::string name = fs::relative(e.path(), out).generic_string();
        run.files[name] = ReadAll(e.path().string());
        os::FileTimes t;
        if (os::GetTimes(e.path().string(), t)) run.times[name] = static_cast<int64_t>(t.lastWrite / 10000000ULL) - 11644473600LL;
    }
    return run;
}

std::string Save(const std::string& bytes, const std::string& dir = "tar-pax") {
    const std::string archive = Join(ScratchDir(dir), "a.tar");
    WriteAll(archive, bytes);
    return archive;
}

std::vector<TEntryInfo> List(const std::string& archive) {
    std::vector<TEntryInfo> out;
    TDovex d;
    d.SetArchiveFile(archive);
    d.SetArcType(atTar);
    d.SetFileSpec({"*.*"});
    d.OnRead = [&](TObject*, int, int) { out.push_back(d.EntryInfo); };
    d.ReadArchive();
    return out;
}

struct Expected {
    std::string name, data;
    int64_t mtime = kTime;
    int64_t size = -1;  // listed: the data's size unless given
};

// The reader writes exactly these files with these times, and the lister
// lists them so.
void ExpectRead(const std::string& bytes, const std::vector<Expected>& want) {
    const std::string archive = Save(bytes);
    const Outcome run = Extract(archive);
    EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
    std::map<std::string, std::string> files;
    for (const Expected& w : want) files[w.name] = w.data;
    EXPECT_TRUE(run.files == files) << ::testing::PrintToString(run.files);
    const std::vector<TEntryInfo> listed = List(archive);
    ASSERT_EQ(listed.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(run.times.count(want[i].name) ? run.times.at(want[i].name) : -1, want[i].mtime);
        EXPECT_EQ(listed[i].FileName, SlashToBackslash(want[i].name));
        EXPECT_EQ(listed[i].UnpackedSize, want[i].size < 0 ? static_cast<int64_t>(want[i].data.size()) : want[i].size);
        EXPECT_DOUBLE_EQ(listed[i].DateTime, UnixToDateTime(want[i].mtime));
    }
}

// ===================================================================== pax records

TEST(TarPax, SizesNamesAndTimesComeFromExtendedAndGlobalHeaders) {
    // Data that holds a header of its own: read with the header's size, the
    // walk would take it for an entry.
    const std::string trap = File("trap.txt", "evil");
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<Expected> want;
    };
    const std::vector<Case> cases = {
        {"a size past the header's field", Pax('x', Rec("size", "1024")) + File("big.bin", trap, 0) + File("after", "a"),
         {{"big.bin", trap}, {"after", "a"}}},
        {"a size below the header's", Pax('x', Rec("size", "3")) + File("small", "abc", 5000) + File("after", "a"),
         {{"small", "abc"}, {"after", "a"}}},
        {"a global size, overridden, and dropped by an empty value",
         Pax('g', Rec("size", "4")) + File("g1", "gggg", 0) + Pax('x', Rec("size", "2")) + File("x1", "xx", 0) +
             Pax('x', Rec("size", "")) + File("own", "own!!") + File("g2", "GGGG", 7) + Pax('g', Rec("size", "")) +
             File("plain", "p"),
         {{"g1", "gggg"}, {"x1", "xx"}, {"own", "own!!"}, {"g2", "GGGG"}, {"plain", "p"}}},
        {"paths", Pax('g', Rec("path", "dir/global.txt")) + File("h1", "1") + Pax('x', Rec("path", "own.txt")) +
                      File("h2", "2") + Pax('x', Rec("path", "")) + File("h3", "3"),
         {{"dir/global.txt", "1"}, {"own.txt", "2"}, {"h3", "3"}}},
        {"times, with fractions and junk",
         Pax('x', Rec("mtime", "1234567890.75")) + File("frac", "f") + Pax('g', Rec("mtime", "1000000000")) +
             File("global", "g") + Pax('x', Rec("mtime", "soon")) + File("junk", "j") +
             Pax('x', Rec("mtime", "1300000000.5x")) + File("tail", "t"),
         {{"frac", "f", 1234567890}, {"global", "g", 1000000000}, {"junk", "j", 1000000000},
          {"tail", "t", 1300000000}}},
        {"records in one header with others", Pax('x', Rec("atime", "1.5") + Rec("size", "5") + Rec("x", "=\n=")) +
                                                  File("mixed", "mixed", 1),
         {{"mixed", "mixed"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRead(c.bytes + kEnd, c.want);
    }
}

TEST(TarPax, AHeaderThatCannotBeReadEndsTheWalkWith25236) {
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"a length that is no number", "x7 size=1\n"},
        {"a length past the data", "99 size=1\n"},
        {"a zero length", "0 size=1\n"},
        {"no newline where the length ends", "9 size=12"},
        {"no '='", "9 sizeXY\n"},
        {"a negative size", Rec("size", "-5")},
        {"a size that is no number", Rec("size", "12a")},
        {"a size past any file", Rec("size", "99999999999999999999")},
    };
    for (const auto& [what, records] : bad) {
        for (const char type : {'x', 'g'}) {
            SCOPED_TRACE(std::string(what) + " in " + type);
            const std::string archive =
                Save(File("before", "b") + Pax(type, records) + File("hidden", "h") + File("after", "a") + kEnd);
            const Outcome run = Extract(archive);
            EXPECT_EQ(run.raised, 0);
            EXPECT_TRUE(run.files == (std::map<std::string, std::string>{{"before", "b"}}));
            EXPECT_EQ(run.errors, (std::vector<std::pair<std::string, int>>{{"a.tar", 25236}}));
            ASSERT_EQ(List(archive).size(), 1u);
        }
    }
    // A global path longer than any system's is not every later entry's.
    const Outcome run = Extract(Save(Pax('g', Rec("path", std::string(5000, 'p'))) + File("after", "a") + kEnd));
    EXPECT_TRUE(run.files.empty());
    EXPECT_TRUE(run.Reported(25236));
}

TEST(TarPax, ASizePastTheFileFailsItsEntryWithWhatIsThere) {
    const std::string archive = Save(File("first", "1") + Pax('x', Rec("size", "100000")) + File("cut.bin", "partial", 0));
    for (const bool test : {false, true}) {
        const Outcome run = Extract(archive, test);
        EXPECT_EQ(run.ends, (std::map<std::string, bool>{{"first", true}, {"cut.bin", false}}));
        EXPECT_TRUE(run.Reported(25236));
        if (!test) {
            EXPECT_EQ(run.files.count("cut.bin"), 0u);
        }
    }
}

TEST(TarPax, TheWalkRefusesAnExtendedHeaderPastItsLimitWithoutReadingIt) {
    // A header that says 17 MB in a file that goes on for ever.
    const std::string head = Block('x', "PaxHeader/x", tar::kMaxPaxData + 1);
    int64_t largest = 0;
    tar::TWalker walk(0, INT64_MAX / 4, [&](int64_t pos, uint8_t* out, int64_t n) {
        largest = std::max(largest, n);
        for (int64_t i = 0; i < n; ++i) out[i] = pos + i < 512 ? static_cast<uint8_t>(head[pos + i]) : 0;
        return n;
    });
    tar::TWalkEntry e;
    EXPECT_EQ(walk.Next(e), tar::TWalker::Step::BadRecord);
    EXPECT_EQ(largest, tar::kBlock);
    EXPECT_EQ(walk.Next(e), tar::TWalker::Step::End);
}

// ===================================================================== sparse files

// The same sparse file in each pax format: 70000 bytes, data at 1000 and
// 40000, a hole at its end.
const std::vector<std::pair<int64_t, std::string>> kChunks = {{1000, Noise(600, 1)}, {40000, Noise(3000, 2)}};
constexpr int64_t kRealSize = 70000;

std::string Expanded() {
    std::string f(kRealSize, '\0');
    for (const auto& [at, data] : kChunks) f.replace(static_cast<size_t>(at), data.size(), data);
    return f;
}
std::string Packed() {
    std::string p;
    for (const auto& c : kChunks) p += c.second;
    return p;
}
std::string Sparse00() {
    std::string r = Rec("GNU.sparse.size", std::to_string(kRealSize)) + Rec("GNU.sparse.numblocks", "3");
    for (const auto& [at, data] : kChunks)
        r += Rec("GNU.sparse.offset", std::to_string(at)) + Rec("GNU.sparse.numbytes", std::to_string(data.size()));
    r += Rec("GNU.sparse.offset", std::to_string(kRealSize)) + Rec("GNU.sparse.numbytes", "0");
    return Pax('x', r) + File("f.bin", Packed());
}
std::string Sparse01(const std::string& map = "1000,600,40000,3000,70000,0") {
    return Pax('x', Rec("GNU.sparse.size", std::to_string(kRealSize)) + Rec("GNU.sparse.name", "f.bin") +
                        Rec("GNU.sparse.map", map)) +
           File("GNUSparseFile.7/f.bin", Packed());
}
std::string Sparse10(const std::string& map = "2\n1000\n600\n40000\n3000\n", const std::string& version = "") {
    return Pax('x', (version.empty() ? Rec("GNU.sparse.major", "1") + Rec("GNU.sparse.minor", "0") : version) +
                        Rec("GNU.sparse.name", "f.bin") + Rec("GNU.sparse.realsize", std::to_string(kRealSize))) +
           File("GNUSparseFile.7/f.bin", Pad(map) + Packed());
}

TEST(TarSparse, EachPaxFormatIsExpandedUnderItsRealName) {
    const std::vector<std::pair<const char*, std::string>> formats = {
        {"0.0", Sparse00()}, {"0.1", Sparse01()}, {"1.0", Sparse10()}};
    for (const auto& [version, entry] : formats) {
        SCOPED_TRACE(version);
        ExpectRead(entry + File("next.txt", "n") + kEnd, {{"f.bin", Expanded()}, {"next.txt", "n"}});
        const Outcome tested = Extract(Save(entry + kEnd), true);
        EXPECT_EQ(tested.ends, (std::map<std::string, bool>{{"f.bin", true}}));
    }
    // Holes only, as GNU tar stores a file of zeros.
    ExpectRead(Sparse10("2\n0\n0\n70000\n0\n") + kEnd, {{"f.bin", std::string(kRealSize, '\0')}});
    // Cut short 500 bytes into the second chunk (extended header, header
    // and map take 2048 bytes): the entry fails and leaves nothing.
    const Outcome cut = Extract(Save(Sparse10().substr(0, 2048 + 600 + 500)));
    EXPECT_EQ(cut.ends, (std::map<std::string, bool>{{"f.bin", false}}));
    EXPECT_TRUE(cut.Reported(25236));
    EXPECT_EQ(cut.files.count("f.bin"), 0u);
}

TEST(TarSparse, HugeRealSizesAreListedAndTestedWithoutWritingTheirHoles) {
    // Four files of nearly 4 EB each, holes only: more than a total holds.
    const std::string huge = "4000000000000000000";
    std::string bytes;
    for (const char* name : {"a", "b", "c", "d"})
        bytes += Pax('x', Rec("GNU.sparse.major", "1") + Rec("GNU.sparse.minor", "0") + Rec("GNU.sparse.name", name) +
                              Rec("GNU.sparse.realsize", huge)) +
                 File(std::string("GNUSparseFile.1/") + name, Pad("1\n" + huge + "\n0\n"));
    const std::string archive = Save(bytes + kEnd);
    TDovex d;
    d.SetArchiveFile(archive);
    d.SetFileSpec({"*.*"});
    int listed = 0;
    d.OnRead = [&](TObject*, int, int) { listed += d.EntryInfo.UnpackedSize == 4000000000000000000LL; };
    d.ReadArchive();
    EXPECT_EQ(listed, 4);
    EXPECT_EQ(d.TotalUnpacked(), INT64_MAX);
    const Outcome run = Extract(archive, true);
    EXPECT_EQ(run.ends, (std::map<std::string, bool>{{"a", true}, {"b", true}, {"c", true}, {"d", true}}));
}

// A few hundred bytes of archive may declare gigabytes of holes: they are
// made by lengthening the file, not by writing zeros (which, natively, a
// file system that keeps holes shows as blocks never written).
TEST(TarSparse, HolesOfAnExtractedFileAreNotWrittenOut) {
    constexpr int64_t kHuge = int64_t{1} << 30;  // 1 GB, a chunk at 512 MB and a hole to the end
    const std::string data = Noise(700, 3);
    const std::string archive =
        Save(Pax('x', Rec("GNU.sparse.major", "1") + Rec("GNU.sparse.minor", "0") + Rec("GNU.sparse.name", "h.bin") +
                          Rec("GNU.sparse.realsize", std::to_string(kHuge))) +
                 File("GNUSparseFile.1/h.bin", Pad("1\n" + std::to_string(kHuge / 2) + "\n700\n") + data) + kEnd,
             "tar-holes");
    const std::string out = Join(ExtractFilePath(archive), "out");
    TUnTAR r;
    std::vector<int> errors;
    std::map<std::string, bool> ends;
    r.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int id) { errors.push_back(id); };
    r.OnEnd = [&](TObject*, const std::string& FN, bool pass) { ends[ExtractFileName(FN)] = pass; };
    r.SetArchiveFile(archive);
    r.SetExtractDir(out);
    r.SetConfirmOverwrites(false);
    r.FileSpec() = {"*.*"};
    r.Extract();
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
    EXPECT_EQ(ends, (std::map<std::string, bool>{{"h.bin", true}}));
    const std::string file = Join(out, "h.bin");
    ASSERT_EQ(static_cast<int64_t>(fs::file_size(file)), kHuge);
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string around(720, '\1');
    std::fseek(f, static_cast<long>(kHuge / 2 - 10), SEEK_SET);
    EXPECT_EQ(std::fread(around.data(), 1, around.size(), f), around.size());
    std::fclose(f);
    EXPECT_EQ(around, std::string(10, '\0') + data + std::string(10, '\0'));
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_LT(static_cast<int64_t>(st.st_blocks) * 512, int64_t{64} << 20) << "the holes were written out";
#endif
    fs::remove_all(out);
}

TEST(TarSparse, AMapThatDoesNotHoldIsRefusedAndTheRunGoesOn) {
    auto pairs = [](const std::string& extra) {
        return Pax('x', Rec("GNU.sparse.size", "70000") + Rec("GNU.sparse.offset", "0") +
                            Rec("GNU.sparse.numbytes", "3600") + extra) +
               File("f.bin", Packed());
    };
    struct Case {
        const char* what;
        std::string entry;
        int id;
    };
    const std::vector<Case> cases = {
        {"0.1 out of order", Sparse01("40000,3000,1000,600"), 25248},
        {"0.1 overlapping", Sparse01("1000,600,1500,3000"), 25248},
        {"0.1 past the real size", Sparse01("1000,600,69000,3000"), 25248},
        {"0.1 more data than stored", Sparse01("1000,600,40000,3001"), 25248},
        {"0.1 an offset without its length", Sparse01("1000,600,40000"), 25248},
        {"0.1 not a number", Sparse01("1000,600,4e4,3000"), 25248},
        {"0.0 a length without its offset", pairs(Rec("GNU.sparse.numbytes", "1")), 25248},
        {"0.0 a count that is not the map's", pairs(Rec("GNU.sparse.numblocks", "2")), 25248},
        {"0.0 and a 0.1 map", pairs(Rec("GNU.sparse.map", "0,3600")), 25248},
        {"no real size", Pax('x', Rec("GNU.sparse.map", "0,3600")) + File("f.bin", Packed()), 25248},
        {"1.0 a huge count", Sparse10("1000000000\n"), 25248},
        {"1.0 more chunks than the data holds", Sparse10("1200\n"), 25248},
        {"1.0 a line that is no number", Sparse10("#!gnu-sparse-format\n2\n"), 25248},
        {"1.0 a number past any file", Sparse10("1\n99999999999999999999\n1\n"), 25248},
        {"major 2", Sparse10("2\n1000\n600\n40000\n3000\n", Rec("GNU.sparse.major", "2")), 25326},
        {"version 1.1", Sparse10("2\n1000\n600\n40000\n3000\n", Rec("GNU.sparse.major", "1") + Rec("GNU.sparse.minor", "1")),
         25326},
        {"GNU tar's old form", Block('S', "f.bin", 4) + Pad("0123"), 25326},
        // Data that ends in a header a walk would find, taking the map's
        // block for data.
        {"GNU tar's old form, its map going on", Block('S', "f.bin", 1024, kTime, true) + std::string(512, '\0') +
                                                      std::string(512, 'm') + Block('0', "hidden.txt", 0), 25326},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string archive = Save(c.entry + File("next.txt", "n") + kEnd);
        const Outcome run = Extract(archive);
        EXPECT_EQ(run.raised, 0);
        // Neither the packed form nor anything under its stored name.
        EXPECT_TRUE(run.files == (std::map<std::string, std::string>{{"next.txt", "n"}}))
            << ::testing::PrintToString(run.files);
        EXPECT_EQ(run.errors, (std::vector<std::pair<std::string, int>>{{"f.bin", c.id}}));
        // The refused file fails, as it does in a test.
        EXPECT_EQ(run.ends, (std::map<std::string, bool>{{"f.bin", false}, {"next.txt", true}}));
        EXPECT_EQ(Extract(archive, true).ends, run.ends);
        // The lister steps over the same blocks: the file after is listed,
        // and nothing that only looks like a header.
        std::vector<std::string> listed;
        for (const TEntryInfo& e : List(archive)) listed.push_back(e.FileName);
        EXPECT_EQ(listed.back(), "next.txt");
        EXPECT_EQ(std::count(listed.begin(), listed.end(), "hidden.txt"), 0);
    }
    // A 1.0 map of two blocks cut off by the end of the file in its second.
    std::string map = "200\n";
    for (int i = 0; i < 200; ++i) map += "0\n0\n";
    const Outcome run = Extract(Save(Sparse10(map).substr(0, 1536 + 700)));
    EXPECT_TRUE(run.files.empty());
    EXPECT_EQ(run.errors, (std::vector<std::pair<std::string, int>>{{"f.bin", 25236}}));
    EXPECT_EQ(run.ends, (std::map<std::string, bool>{{"f.bin", false}}));
}

#ifndef _WIN32
// ===================================================================== peers

int Shell(const std::string& command) { return std::system(command.c_str()); }

// What GNU tar extracts of an archive is what the reader writes, and what
// "tar tvf" lists (size and name) the lister lists.
void ExpectAsGnuTar(const std::string& archive, size_t files) {
    SCOPED_TRACE(archive);
    const std::string peer = Join(ExtractFilePath(archive), "gnu");
    ASSERT_EQ(Shell("mkdir -p '" + peer + "' && tar -xf '" + archive + "' -C '" + peer + "'"), 0);
    std::map<std::string, std::string> expected;
    for (const auto& e : fs::recursive_directory_iterator(peer))
        if (e.is_regular_file()) expected[fs::relative(e.path(), peer).generic_string()] = ReadAll(e.path().string());
    const Outcome run = Extract(archive);
    EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(run.files.size(), files);
    EXPECT_TRUE(run.files == expected);
    const std::vector<TEntryInfo> listed = List(archive);
    ASSERT_EQ(listed.size(), files);
    for (const TEntryInfo& e : listed) {
        const std::string name = BackslashToSlash(e.FileName);
        ASSERT_TRUE(expected.count(name)) << name;
        EXPECT_EQ(e.UnpackedSize, static_cast<int64_t>(expected[name].size())) << name;
    }
}

TEST(TarPaxInterop, SparseAndPaxArchivesOfThePeersExtractAsGnuTarExtractsThem) {
    if (Shell("tar --version >/dev/null 2>&1 && bsdtar --version >/dev/null 2>&1 && python3 -V >/dev/null 2>&1"))
        GTEST_SKIP() << "GNU tar, bsdtar and python3 are needed";
    const std::string src = ScratchDir("tar-pax-src");
    // A file of holes around a few runs of data, ending in a hole.
    ASSERT_EQ(Shell("cd '" + src + "' && truncate -s 3M sparse.bin && printf HELLO | dd of=sparse.bin bs=1 "
                    "seek=100000 conv=notrunc 2>/dev/null && head -c 10000 /dev/urandom | dd of=sparse.bin bs=1 "
                    "seek=2000000 conv=notrunc 2>/dev/null && printf plain > plain.txt"),
              0);
    int n = 0;
    auto make = [&](const std::string& command) {
        const std::string dir = ScratchDir("tar-pax-peer" + std::to_string(n++));
        const std::string archive = Join(dir, "p.tar");
        EXPECT_EQ(Shell("cd '" + src + "' && " + command + " '" + archive + "' sparse.bin plain.txt"), 0) << command;
        return archive;
    };
    for (const std::string version : {"0.0", "0.1", "1.0"})
        ExpectAsGnuTar(make("tar --format=pax -S --sparse-version=" + version + " -cf"), 2);
    ExpectAsGnuTar(make("tar --format=pax -cf"), 2);
    ExpectAsGnuTar(make("bsdtar --format=pax -cf"), 2);
    // Python: a global header's time, an entry's own size and time.
    const std::string py = Join(ScratchDir("tar-pax-python"), "py.tar");
    ASSERT_EQ(Shell("python3 - '" + py + "' <<'EOF'\n"
                    "import io, sys, tarfile\n"
                    "with tarfile.open(sys.argv[1], 'w', format=tarfile.PAX_FORMAT,\n"
                    "                  pax_headers={'mtime': '1000000000.5'}) as t:\n"
                    "    for name, data, own in (('a.txt', b'hello', {'size': '5', 'mtime': '1300000000.25'}),\n"
                    "                            ('b.txt', b'abc', {})):\n"
                    "        i = tarfile.TarInfo(name); i.size = len(data); i.mtime = 1234567890\n"
                    "        i.pax_headers = own; t.addfile(i, io.BytesIO(data))\n"
                    "EOF"),
              0);
    ExpectAsGnuTar(py, 2);
    const Outcome run = Extract(py);
    EXPECT_EQ(run.times.at("a.txt"), 1300000000);
    EXPECT_EQ(run.times.at("b.txt"), 1000000000);
}
#endif

}  // namespace
}  // namespace bramble
