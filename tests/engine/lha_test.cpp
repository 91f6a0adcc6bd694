// The LHA reader and writer: every archive of the corpus and the jlha
// fixtures read entry by entry, extraction against the fixtures' inputs,
// cuts and full disks where they happen, and our archives in round trips,
// checked natively by lhasa, 7z and bsdtar, with updates of archives the
// peers made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/lha.h"
#include "engine/lister/dovex.h"
#include "engine/readers/readers.h"
#include "engine/readers/unlha.h"
#include "engine/writers/lha.h"
#include "engine/writers/writers.h"
#include "support/testenv.h"
#include "support/winefloppy.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace bramble {
namespace {

namespace fs = std::filesystem;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// What a run reported.
struct Events {
    std::vector<int> errors;
    std::vector<std::pair<std::string, bool>> ends;  // name, CRC_PASS
    int raised = 0;
    void Watch(TZipCommon& c) {
        c.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        c.OnEnd = [this](TObject*, const std::string& FN, bool pass) { ends.emplace_back(FN, pass); };
        c.ProgressHook = nullptr;
    }
    int Count(int id) const { return static_cast<int>(std::count(errors.begin(), errors.end(), id)); }
    int Passed() const {
        int n = 0;
        for (const auto& e : ends) n += e.second;
        return n;
    }
};

// Runs the reader the program picks for the archive: a test (Dir empty) or
// an extraction into Dir.
int Read(const std::string& archive, Events& ev, const std::string& dir = "") {
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(atLzh);
    ev.Watch(*reader);
    reader->SetArchiveFile(archive);
    reader->FileSpec() = {"*.*"};
    reader->SetConfirmOverwrites(false);
    if (!dir.empty()) reader->SetExtractDir(dir);
    try {
        return dir.empty() ? reader->Test() : reader->Extract();
    } catch (const E_RAISE& e) {
        ev.errors.push_back(e.Code());
        ++ev.raised;
        return -1;
    }
}

using Tree = std::map<std::string, std::string>;

Tree ReadTree(const std::string& dir) {
    Tree t;
    if (!fs::exists(dir)) return t;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) t[fs::relative(e.path(), dir).generic_string()] = ReadAll(e.path().string());
    return t;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

struct Listed {
    std::vector<lha::THeader> headers;
    lha::TParse last = lha::TParse::End;
};
Listed Headers(const std::string& path) {
    const std::string bytes = ReadAll(path);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    Listed l;
    int64_t at = bytes.empty() || bytes[0] != 0 ? 0 : lha::kPrefixSize;
    lha::THeader h;
    while ((l.last = lha::ParseHeader(data, bytes.size(), at, h)) == lha::TParse::Ok) {
        l.headers.push_back(h);
        at = h.Next;
    }
    return l;
}

// ---- the reader -------------------------------------------------------------------------

TEST(UnLha, ReadsEveryArchiveEntryByEntryAndGoesOnPastWhatItCannot) {
    std::vector<std::string> archives;
    for (const char* f : {"plain.lzh", "plain.lha", "level0.lzh", "level1.lzh", "lzh/o5.lzh", "lzh/o6.lzh", "lzh/o7.lzh"})
        archives.push_back(Fixture(f));
    if (test::CorpusPresent())
        for (const auto& e : fs::recursive_directory_iterator(test::CorpusDir())) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".lzh" || ext == ".lha" || ext == ".LZH")) archives.push_back(e.path().string());
        }
    // Archives broken on purpose, and what the reader says about them
    // besides its verdicts on the entries.
    const std::map<std::string, std::set<int>> damaged = {
        {"regression/truncated.lzh", {25236}},         // the data ends inside the entry
        {"test_fuzz.lzh", {25328}},                    // garbage read as a header of level 3+
        {"lha_oversize_header.lzh", {25328}},
        {"lha_filename_utf16.lzh", {25108}},           // the last header cut off
        {"lha_symlink_missing_target.lzh", {25108}},   // a name longer than its header
        {"h3_lfn.lzh", {25328}}, {"h3_lh0.lzh", {25328}}, {"h3_lh5.lzh", {25328}}, {"h3_subdir.lzh", {25328}},
        {"lha_header3.lzh", {25328}},
    };
    int entries = 0, refused = 0;
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        const Listed l = Headers(archive);
        int covered = 0, unsupported = 0;
        for (const lha::THeader& h : l.headers) {
            const lha::TMethod m = lha::MethodOf(h.Method);
            // Directories, also those written as empty files named "dir\\".
            if (m == lha::TMethod::Directory || h.Name.empty() || h.Name.back() == '\\') continue;
            (m == lha::TMethod::Unsupported ? unsupported : covered) += 1;
        }
        std::set<int> expected = {};
        if (unsupported) expected.insert(25326);
        // Windows paths have backslashes where the tails have '/'.
        const std::string path = fs::path(archive).generic_string();
        for (const auto& [tail, ids] : damaged)
            if (path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0)
                expected.insert(ids.begin(), ids.end());

        Events ev;
        Read(archive, ev);
        EXPECT_EQ(ev.raised, 0);
        EXPECT_EQ(std::set<int>(ev.errors.begin(), ev.errors.end()), expected);
        // One verdict per entry: the unsupported ones fail, the run goes on.
        EXPECT_EQ(static_cast<int>(ev.ends.size()), covered + unsupported);
        EXPECT_EQ(ev.Count(25326), unsupported);
        if (!expected.count(25236)) {
            EXPECT_EQ(ev.Passed(), covered);
        }
        entries += covered;
        refused += unsupported;
    }
    if (!test::CorpusPresent()) GTEST_SKIP() << "read the fixtures only: " << test::CorpusAbsent();
    EXPECT_GT(entries, 200);
    EXPECT_GT(refused, 20);
}

TEST(UnLha, ExtractsTheInputsWithTheirStoredTimes) {
    const Tree inputs = ReadTree(Fixture("in"));
    ASSERT_EQ(inputs.size(), 4u);
    for (const char* name : {"level0.lzh", "level1.lzh", "plain.lzh", "lzh/o5.lzh", "lzh/o6.lzh"}) {
        SCOPED_TRACE(name);
        std::string tag = name;
        for (char& c : tag)
            if (c == '/') c = '-';
        const std::string dir = ScratchDir("x-" + tag);
        Events ev;
        Read(Fixture(name), ev, dir);
        EXPECT_TRUE(ev.errors.empty());
        Tree out = ReadTree(dir);
        out.erase("far.bin");
        EXPECT_TRUE(out == inputs);
        // Level 2 keeps the time in seconds since 1970 (the fixtures'
        // 2001-02-03 04:05:06 UTC): it comes back whatever the zone.
        if (Headers(Fixture(name)).headers.front().Level == 2) {
            os::FileTimes t;
            ASSERT_TRUE(os::GetTimes(Join(dir, "about.txt"), t));
            const int64_t unix = static_cast<int64_t>(t.lastWrite / 10000000ULL) - 11644473600LL;
            EXPECT_LE(std::llabs(unix - 981173106), 2);
        }
    }
}

TEST(UnLha, CutsAndFullDisksEndWhatTheyHit) {
    // Cut inside big.bin's data: about.txt before it passes, big.bin fails
    // on its own, nothing after it is found.
    const std::string whole = ReadAll(Fixture("lzh/o5.lzh"));
    const Listed l = Headers(Fixture("lzh/o5.lzh"));
    ASSERT_GE(l.headers.size(), 2u);
    ASSERT_EQ(l.headers[1].Name, "big.bin");
    const std::string cutDir = ScratchDir("cut");
    const std::string cut = Join(cutDir, "cut.lzh");
    WriteAll(cut, whole.substr(0, static_cast<size_t>(l.headers[1].DataOffset + l.headers[1].PackedSize / 2)));
    Events ev;
    Read(cut, ev);
    EXPECT_EQ(ev.errors, std::vector<int>{25236});
    ASSERT_EQ(ev.ends.size(), 2u);
    EXPECT_TRUE(ev.ends[0].second);
    EXPECT_FALSE(ev.ends[1].second);

    // A disk that fills up ends the run: the write that does not fit is
    // refused, and the next entries are not tried.
    const std::string source = Fixture("lzh/o5.lzh");
#ifdef _WIN32
    const std::string floppy = test::PreparedFloppy(1);
    if (floppy.empty() || !test::PreparedFloppiesHaveFloppySpace()) GTEST_SKIP() << "no 1.44 MB disk in this run";
    // 3 MB of text packed small, onto a 1.44 MB disk.
    const std::string src = ScratchDir("full-src");
    std::string text;
    while (text.size() < 3000000) text += ReadAll(Join(Fixture("in"), "about.txt"));
    WriteAll(Join(src, "huge.txt"), text);
    WriteAll(Join(src, "zz.txt"), "after\n");
    const std::string packed = Join(ScratchDir("full-arc"), "huge.lzh");
    TLha w;
    w.SetDefaultDir(src);
    w.SetArchiveFile(packed);
    w.FileSpec() = {"huge.txt", "zz.txt"};
    ASSERT_EQ(w.Compress(), 2);
    const std::string target = Join(floppy, "full");
    os::DirCreate(target);
    Events full;
    Read(packed, full, target);
    EXPECT_EQ(full.raised, 1);
    EXPECT_EQ(full.errors.back(), 25136);
    EXPECT_TRUE(full.ends.empty());
    EXPECT_FALSE(os::FileExists(Join(target, "zz.txt")));
    os::FileDelete(Join(target, "huge.txt"));
    os::DirRemove(target);
#else
    // Natively the output about.txt is the system's always-full device.
    const std::string dir = ScratchDir("full");
    ASSERT_EQ(symlink("/dev/full", Join(dir, "about.txt").c_str()), 0);
    Events full;
    Read(source, full, dir);
    EXPECT_EQ(full.raised, 1);
    // Reported (naming the file), then raised.
    EXPECT_EQ(full.errors, (std::vector<int>{25136, 25136}));
    EXPECT_TRUE(full.ends.empty());
    EXPECT_FALSE(os::FileExists(Join(dir, "big.bin")));
#endif
}

// A level-0 archive of the entries as given: method digit, stored name,
// packed bytes, the unpacked bytes (size and CRC-16 from them).
struct Raw {
    char digit;
    std::string name, packed, unpacked;
    uint8_t attr = 0x20;
    int64_t claimed = -1;  // the unpacked size the header gives, when not the data's
};
constexpr uint32_t kRawStamp = 0x2A4320A3u;  // 2001-02-03 04:05:06, DOS
std::string RawArchive(const std::vector<Raw>& entries) {
    std::string a;
    for (const Raw& e : entries) {
        lha::TLevel0 h;
        h.Digit = e.digit;
        h.PackedSize = static_cast<uint32_t>(e.packed.size());
        h.UnpackedSize = static_cast<uint32_t>(e.claimed >= 0 ? e.claimed : static_cast<int64_t>(e.unpacked.size()));
        h.DosDate = kRawStamp;
        h.Attr = e.attr;
        h.Name = e.name;
        uint16_t crc = 0;
        Crc16Block(e.unpacked.data(), e.unpacked.size(), crc);
        h.Crc = crc;
        const std::vector<uint8_t> head = lha::MakeLevel0(h);
        a.append(head.begin(), head.end());
        a += e.packed;
    }
    a.push_back('\0');
    return a;
}

TEST(UnLha, WhatAnEntrysDecodingRaisesEndsThatEntryAlone) {
    // The first entry's output raises while it is written, as a decoder
    // running out of memory or a caller's write hook would; the second is
    // sound. Faults of the entry fail it, its file goes (stamped with the
    // stored read-only bit first), and the run goes on; a cancel (code 0:
    // the user cancels as the entry is written) ends the run.
    struct Case {
        const char* what;
        int code;
        std::vector<int> errors;
    };
    const Case cases[] = {
        {"memory runs out", 25253, {25253}},
        {"a damaged code", 25120, {25120}},
        {"a cancel", 0, {25449, 25400, 25400}},
    };
    const std::string archive = Join(ScratchDir("raise-arc"), "r.lzh");
    WriteAll(archive, RawArchive({{'0', "first.txt", "first entry\n", "first entry\n", 0x21},
                                  {'0', "second.txt", "second entry\n", "second entry\n"}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir(std::string("raise-") + std::to_string(c.code));
        std::unique_ptr<TUnBase> reader = CreateReaderForKind(atLzh);
        Events ev;
        ev.Watch(*reader);
        reader->SetArchiveFile(archive);
        reader->FileSpec() = {"*.*"};
        reader->SetConfirmOverwrites(false);
        reader->SetExtractDir(dir);
        TUnBase* r = reader.get();
        const TWriteHook write = reader->ExtractWriteHook;
        reader->ExtractWriteHook = [&, r, write](TStream* s, bool data, int64_t n, int k, bool d, const uint8_t* b) {
            if (data && r->EntryName().find("first") != std::string::npos) {
                if (c.code == 0)
                    r->SetCancel(true);
                else
                    r->RaiseError(r->EntryName(), "", "0", c.code);
            }
            return write(s, data, n, k, d, b);
        };
        try {
            reader->Extract();
        } catch (const E_RAISE& e) {
            ev.errors.push_back(e.Code());
            ++ev.raised;
        }
        // A raised end of the run is the last of the errors.
        EXPECT_EQ(ev.errors, c.errors);
        EXPECT_EQ(ev.raised, c.code == 0 ? 1 : 0);
        const std::string first = Join(dir, "first.txt");
        if (c.code == 0) {
            EXPECT_TRUE(ev.ends.empty());
            EXPECT_FALSE(os::FileExists(Join(dir, "second.txt")));
            continue;
        }
        ASSERT_EQ(ev.ends.size(), 2u);
        EXPECT_FALSE(ev.ends[0].second);
        EXPECT_TRUE(ev.ends[1].second);
        EXPECT_EQ(ReadAll(Join(dir, "second.txt")), "second entry\n");
        // Stamped read-only as it was, it goes all the same.
        EXPECT_FALSE(os::FileExists(first));
    }
}

TEST(UnLha, WithoutOnEndEveryFailedEntryReportsTheCheckFailure) {
    // Three codes of one bit in the code-length code: more than it holds.
    const std::string overfull("\x00\x01\x19\x24\x00", 5);
    const std::string text = "sound text, sound text, sound text\n";
    struct Case {
        const char* what;
        Raw entry;
        std::vector<int> withOnEnd, without;
    };
    const Case cases[] = {
        {"damaged -lh5- data", {'5', "bad.txt", overfull, text}, {25120}, {25120, 25151}},
        // A block of five symbols, and no more data.
        {"data cut short", {'5', "cut.txt", std::string("\x00\x05", 2), text}, {25236}, {25236, 25151}},
        {"a wrong check value", {'0', "crc.txt", text, "S" + text.substr(1)}, {}, {25151}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir("no-onend");
        const std::string archive = Join(dir, "a.lzh");
        WriteAll(archive, RawArchive({{'0', "good.txt", text, text}, c.entry}));
        for (bool onEnd : {true, false}) {
            SCOPED_TRACE(onEnd ? "OnEnd" : "no OnEnd");
            std::unique_ptr<TUnBase> reader = CreateReaderForKind(atLzh);
            Events ev;
            ev.Watch(*reader);
            if (!onEnd) reader->OnEnd = nullptr;
            reader->SetArchiveFile(archive);
            reader->FileSpec() = {"*.*"};
            EXPECT_EQ(reader->Test(), 2);
            EXPECT_EQ(ev.errors, onEnd ? c.withOnEnd : c.without);
            if (onEnd) {
                ASSERT_EQ(ev.ends.size(), 2u);
                EXPECT_TRUE(ev.ends[0].second);
                EXPECT_FALSE(ev.ends[1].second);
            }
        }
    }
}

// 17 stored bytes under a header that gives another size, with the CRC of
// the 17: the entry fails with 25109 in a test as in an extraction, nothing
// past the header's size is written, and the next entry is still read.
TEST(UnLha, AStoredEntryOfAnotherSizeThanItsHeaderSaysFails) {
    const std::string data = "seventeen  bytes\n";
    for (int64_t claim : {int64_t{3}, int64_t{16}, int64_t{18}, int64_t{0xFFFFFFFF}}) {
        SCOPED_TRACE(claim);
        Raw sized{'0', "sized.txt", data, data};
        sized.claimed = claim;
        const std::string dir = ScratchDir("lha-sized");
        WriteAll(Join(dir, "s.lzh"), RawArchive({sized, {'0', "good.txt", "good\n", "good\n"}}));
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "test");
            Events ev;
            EXPECT_EQ(Read(Join(dir, "s.lzh"), ev, extract ? Join(dir, "o") : ""), 2);
            EXPECT_EQ(ev.errors, std::vector<int>{25109});
            ASSERT_EQ(ev.ends.size(), 2u);
            EXPECT_FALSE(ev.ends[0].second);
            EXPECT_TRUE(ev.ends[1].second);
            if (!extract) continue;
            EXPECT_FALSE(os::FileExists(Join(dir, "o/sized.txt")));
            EXPECT_EQ(ReadAll(Join(dir, "o/good.txt")), "good\n");
        }
    }
}

// The same entries, stored, under level-2 headers with a name header.
std::string Level2Archive(const std::vector<Raw>& entries) {
    std::string a;
    for (const Raw& e : entries) {
        std::string h(26, '\0');
        auto* p = reinterpret_cast<uint8_t*>(h.data());
        std::memcpy(p + 2, "-lh0-", 5);
        PutLe32(p + 7, static_cast<uint32_t>(e.packed.size()));
        PutLe32(p + 11, static_cast<uint32_t>(e.unpacked.size()));
        PutLe32(p + 15, 981173106);
        p[20] = 2;
        uint16_t crc = 0;
        Crc16Block(e.unpacked.data(), e.unpacked.size(), crc);
        PutLe16(p + 21, crc);
        PutLe16(p + 24, static_cast<uint16_t>(e.name.size() + 3));
        h += '\x01' + e.name + std::string(2, '\0');
        PutLe16(reinterpret_cast<uint8_t*>(h.data()), static_cast<uint16_t>(h.size()));
        a += h + e.packed;
    }
    return a + '\0';
}

// The second of three headers damaged so that the walk cannot go on past
// it: the run says so (25108) in a test as in an extraction, and the entry
// before it is still taken.
TEST(UnLha, AHeaderThatLosesTheEntriesBehindItFailsTheRun) {
    const std::vector<Raw> entries = {{'0', "a.txt", "first\n", "first\n"},
                                      {'0', "b.txt", "second\n", "second\n"},
                                      {'0', "c.txt", "third\n", "third\n"}};
    struct Case {
        const char* what;
        bool level2;
        std::function<void(uint8_t*)> patch;  // at the second header
        std::vector<int> errors;
        size_t ends;  // the first passes, the others fail
    };
    const Case cases[] = {
        {"a header size byte of 0xFF", false, [](uint8_t* h) { h[0] = 0xFF; }, {25108}, 1},
        {"a header size one byte too large", false, [](uint8_t* h) { ++h[0]; }, {25108}, 2},
        {"a packed size that runs into the next header", false, [](uint8_t* h) { h[7] += 3; }, {25108, 25109}, 2},
        {"a level-2 total size of 10", true, [](uint8_t* h) { PutLe16(h, 10); }, {25108}, 1},
        {"a level-2 total size of 0xFFFF", true, [](uint8_t* h) { PutLe16(h, 0xFFFF); }, {25108}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = c.level2 ? Level2Archive(entries) : RawArchive(entries);
        lha::THeader first;
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        ASSERT_EQ(lha::ParseHeader(data, bytes.size(), 0, first), lha::TParse::Ok);
        c.patch(reinterpret_cast<uint8_t*>(bytes.data()) + first.Next);
        const std::string dir = ScratchDir("lha-lost");
        WriteAll(Join(dir, "l.lzh"), bytes);
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "test");
            Events ev;
            Read(Join(dir, "l.lzh"), ev, extract ? Join(dir, "o") : "");
            EXPECT_EQ(ev.errors, c.errors);
            ASSERT_EQ(ev.ends.size(), c.ends);
            for (size_t i = 0; i < c.ends; ++i) EXPECT_EQ(ev.ends[i].second, i == 0);
        }
        EXPECT_EQ(ReadAll(Join(dir, "o/a.txt")), "first\n");
    }
}

// Names longer than the engine keeps, cut where the cut would make a
// folder of the file or one file of two: each such entry fails (25235) in a
// test as in an extraction, the lister still shows it, the next entry is
// extracted.
TEST(UnLha, ANameTooLongToKeepFailsItsEntry) {
    std::string deep;
    while (deep.size() < lha::kMaxName) deep += "ninechars\\";  // a separator at the cut
    const std::string part = deep.substr(0, lha::kMaxName - 10) + std::string(20, 'n');
    const std::vector<std::vector<std::string>> cases = {{deep + "file.txt"}, {part + "A.txt", part + "B.txt"}};
    for (const auto& names : cases) {
        SCOPED_TRACE(names.size() == 1 ? "cut on a separator" : "cut inside a part");
        std::vector<Raw> entries;
        for (const std::string& n : names) {
            const std::string data = "long " + n.substr(n.size() - 5);
            entries.push_back({'0', n, data, data});
        }
        entries.push_back({'0', "after.txt", "after\n", "after\n"});
        const std::string dir = ScratchDir("lha-long");
        WriteAll(Join(dir, "n.lzh"), Level2Archive(entries));
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "test");
            Events ev;
            Read(Join(dir, "n.lzh"), ev, extract ? Join(dir, "o") : "");
            EXPECT_EQ(ev.errors, std::vector<int>(names.size(), 25235));
            ASSERT_EQ(ev.ends.size(), names.size() + 1);
            for (size_t i = 0; i < ev.ends.size(); ++i) EXPECT_EQ(ev.ends[i].second, i == names.size());
        }
        EXPECT_EQ(ReadTree(Join(dir, "o")), (Tree{{"after.txt", "after\n"}}));
        TDovex d;
        d.SetArchiveFile(Join(dir, "n.lzh"));
        d.SetFileSpec({"*.*"});
        std::vector<std::string> listed;
        d.OnRead = [&](TObject*, int, int) { listed.push_back(d.EntryInfo.FileName); };
        d.ReadArchive();
        std::vector<std::string> expected = names;
        expected.push_back("after.txt");
        EXPECT_EQ(listed, expected);
    }
}

// ---- the writer ---------------------------------------------------------------------------

#ifndef _WIN32
using test::Peer;
#endif

TEST(LhaWriter, RoundTripsThroughOurReaderAndThePeers) {
    Tree sources = ReadTree(Fixture("in"));
    sources["empty.txt"] = "";
    sources["noise.bin"] = Noise(40000, 7);  // does not shrink
    sources["packed.gz"] = ReadAll(Fixture("hello.txt.gz"));  // an archive: stored as it is
    const std::string src = ScratchDir("w-src");
    for (const auto& [name, data] : sources) {
        fs::create_directories(fs::path(Join(src, name)).parent_path());
        WriteAll(Join(src, name), data);
    }

    struct Case {
        TCompressMethod method;
        char digit;
    };
    for (const Case c : {Case{cmStore, '0'}, Case{cmFrozen1, '1'}, Case{cmFrozen5, '5'}}) {
        SCOPED_TRACE(c.digit);
        const std::string dir = ScratchDir(std::string("w-") + c.digit);
        const std::string archive = Join(dir, "ours.lzh");
        std::unique_ptr<TCompBase> w = CreateWriterForKind(atLzh);
        Events ev;
        ev.Watch(*w);
        w->SetCompressMethod(c.method);
        w->SetDefaultDir(src);
        w->SetRecurseDirs(true);
        w->SetArchiveFile(archive);
        w->FileSpec() = {"*.*"};
        EXPECT_EQ(w->Compress(), static_cast<int>(sources.size()));
        EXPECT_TRUE(ev.errors.empty());

        // Empty files and archives are stored; -lh5- stores what does not
        // shrink, -lh1- codes it all the same.
        std::map<std::string, char> methods;
        for (const lha::THeader& h : Headers(archive).headers) {
            EXPECT_EQ(h.Level, 0);
            methods[h.Name] = h.Method[3];
        }
        EXPECT_EQ(methods["empty.txt"], '0');
        EXPECT_EQ(methods["packed.gz"], '0');
        EXPECT_EQ(methods["about.txt"], c.digit);
        EXPECT_EQ(methods["noise.bin"], c.digit == '1' ? '1' : '0');

        const std::string back = ScratchDir(std::string("w-back-") + c.digit);
        Events rev;
        Read(archive, rev, back);
        EXPECT_TRUE(rev.errors.empty());
        EXPECT_TRUE(ReadTree(back) == sources);

#ifndef _WIN32
        const std::string q = "'" + archive + "'";
        auto [tested, says] = Peer("lhasa t " + q);
        EXPECT_EQ(tested, 0) << says;
        // 7z tests -lh0- and -lh5-; -lh1- it can only list.
        auto [sevenZ, sevenSays] = Peer(std::string("7z ") + (c.digit == '1' ? "l " : "t ") + q);
        EXPECT_EQ(sevenZ, 0) << sevenSays;
        EXPECT_NE(sevenSays.find(c.digit == '1' ? "sub/nested.txt" : "Everything is Ok"), std::string::npos)
            << sevenSays;
        auto [listed, names] = Peer("bsdtar -tf " + q);
        EXPECT_EQ(listed, 0) << names;
        EXPECT_EQ(names, "about.txt\nbig.bin\nempty.txt\nhello.txt\nnoise.bin\npacked.gz\nsub/nested.txt\n");
        const std::string peerOut = ScratchDir(std::string("w-lhasa-") + c.digit);
        EXPECT_EQ(Peer("lhasa xfw='" + peerOut + "' " + q).first, 0);
        EXPECT_TRUE(ReadTree(peerOut) == sources);
#endif
    }

#ifndef _WIN32
    // The size byte holds 22 + the name: a name of 233 bytes is the
    // longest; 234 is refused (Windows paths would not reach these names
    // inside the scratch folder).
    const std::string longName(233, 'n'), tooLong(234, 'n');
    WriteAll(Join(src, longName), "the longest name a level-0 header holds\n");
    WriteAll(Join(src, tooLong), "refused\n");
    const std::string archive = Join(ScratchDir("w-long"), "long.lzh");
    TLha w;
    Events ev;
    ev.Watch(w);
    w.SetDefaultDir(src);
    w.SetArchiveFile(archive);
    w.FileSpec() = {longName, tooLong};
    EXPECT_EQ(w.Compress(), 1);
    EXPECT_EQ(ev.errors, std::vector<int>{25243});
    ASSERT_EQ(ev.ends.size(), 2u);
    EXPECT_FALSE(ev.ends[1].second);
    auto [tested, says] = Peer("lhasa t '" + archive + "'");
    EXPECT_EQ(tested, 0) << says;
    EXPECT_NE(says.find(longName), std::string::npos);
#endif
}

TEST(LhaWriter, UpdatesKeepWhatTheyCannotReadAsItWas) {
    // An archive jlha made (level 2): new entries join, the old ones are
    // copied byte for byte, deleted ones go.
    const std::string dir = ScratchDir("upd");
    const std::string archive = Join(dir, "o5.lzh");
    const std::string original = ReadAll(Fixture("lzh/o5.lzh"));
    WriteAll(archive, original);
    const Listed before = Headers(archive);
    WriteAll(Join(dir, "new.txt"), "a new entry\n");
    TLha w;
    Events ev;
    ev.Watch(w);
    w.SetDefaultDir(dir);
    w.SetArchiveFile(archive);
    w.FileSpec() = {"new.txt"};
    EXPECT_EQ(w.Compress(), 1);
    const std::string after = ReadAll(archive);
    const Listed l = Headers(archive);
    ASSERT_EQ(l.headers.size(), before.headers.size() + 1);
    for (size_t i = 0; i < before.headers.size(); ++i) {
        const lha::THeader& o = before.headers[i];
        EXPECT_EQ(after.substr(static_cast<size_t>(l.headers[i].Offset), static_cast<size_t>(o.Next - o.Offset)),
                  original.substr(static_cast<size_t>(o.Offset), static_cast<size_t>(o.Next - o.Offset)));
    }
    EXPECT_EQ(l.headers.back().Name, "new.txt");
#ifndef _WIN32
    auto [tested, says] = Peer("lhasa t '" + archive + "'");
    EXPECT_EQ(tested, 0) << says;
#endif
    TLha d;
    d.SetArchiveFile(archive);
    d.FileSpec() = {"big.bin", "new.txt"};
    d.SetSwitch(swDelete);
    int reported = 0;  // a delete describes none of the entries it keeps
    d.OnRead = [&](TObject*, int, int) { ++reported; };
    EXPECT_EQ(d.Compress(), 2);
    EXPECT_EQ(reported, 0);
    EXPECT_EQ(Headers(archive).headers.size(), before.headers.size() - 1);
    Events rev;
    Read(archive, rev);
    EXPECT_TRUE(rev.errors.empty());
    EXPECT_EQ(rev.Passed(), static_cast<int>(before.headers.size()) - 1);

    // What cannot be carried over whole leaves the archive as it was: a
    // level-3 header (25350), an entry cut off or lost behind a damaged
    // header (25350), a file that is no LHA archive (25242).
    struct Case {
        const char* what;
        std::string bytes;
        int error;
    };
    std::vector<Case> cases = {
        {"cut inside the last entry", original.substr(0, original.size() - 100), 25350},
        {"not an LHA archive", ReadAll(Fixture("plain.zip")), 25242},
        {"a packed size that points past the next header", original, 25350},
    };
    cases.back().bytes[static_cast<size_t>(before.headers[0].Offset) + 7] += 3;
    if (test::CorpusPresent())
        cases.push_back({"level 3", ReadAll(Join(test::CorpusDir(), "lha/lha_os2_208/h3_lh5.lzh")), 25350});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = Join(dir, "case.lzh");
        WriteAll(target, c.bytes);
        TLha u;
        Events uev;
        uev.Watch(u);
        u.SetDefaultDir(dir);
        u.SetArchiveFile(target);
        u.FileSpec() = {"new.txt"};
        try {
            u.Compress();
            ADD_FAILURE() << "updated";
        } catch (const E_RAISE& e) {
            EXPECT_EQ(e.Code(), c.error);
        }
        EXPECT_EQ(ReadAll(target), c.bytes);
    }
}

}  // namespace
}  // namespace bramble
