// The BH reader and writer: round trips at every method with and without a
// password, each entry's data checked by a peer (raw deflate by Python's
// zlib, Fuse data rewrapped as an -lh5- LHA entry for lhasa), the password
// rules of the reader, the stored CRC in both forms, and the headers that
// the reader, the lister and an update must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/zipcrypt.h"
#include "engine/formats/bh.h"
#include "engine/formats/lha.h"
#include "engine/lister/dovex.h"
#include "engine/readers/readers.h"
#include "engine/readers/zipcheck.h"
#include "engine/writers/bh.h"
#include "engine/writers/writers.h"
#include "support/faults.h"
#include "support/testenv.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bramble {
namespace {

namespace fs = std::filesystem;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

using Tree = std::map<std::string, std::string>;

struct Events {
    std::vector<int> errors;
    std::vector<std::pair<std::string, bool>> ends;
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

std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

Tree ReadTree(const std::string& dir) {
    Tree t;
    if (!fs::exists(dir)) return t;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) t[fs::relative(e.path(), dir).generic_string()] = ReadAll(e.path().string());
    return t;
}

std::string MakeSources(const std::string& name, const Tree& files) {
    const std::string src = ScratchDir(name);
    for (const auto& [n, data] : files) {
        fs::create_directories(fs::path(Join(src, n)).parent_path());
        WriteAll(Join(src, n), data);
    }
    return src;
}

// Writes FileSpec from Src into Archive; the files added.
int Write(const std::string& archive, const std::string& src, Events& ev, TCompressMethod method = cmFuse,
          const std::string& password = "", std::vector<std::string> spec = {"*.*"}, TSwitch sw = swAdd) {
    std::unique_ptr<TCompBase> w = CreateWriterForKind(atBh);
    ev.Watch(*w);
    w->SetCompressMethod(method);
    w->SetPassword(password);
    w->SetDefaultDir(src);
    w->SetRecurseDirs(true);
    w->SetArchiveFile(archive);
    w->FileSpec() = std::move(spec);
    w->SetSwitch(sw);
    w->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int, int, int, int,
                          bool& replace) { replace = true; };
    try {
        return w->Compress();
    } catch (const E_RAISE&) {
        return -1;  // OnError has told why
    }
}

// Tests (Dir empty) or extracts the archive through the reader the program
// picks; Setup adjusts the reader first.
int Read(const std::string& archive, Events& ev, const std::string& dir = "",
         const std::function<void(TUnBase&)>& setup = nullptr) {
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(atBh);
    ev.Watch(*reader);
    reader->SetArchiveFile(archive);
    reader->FileSpec() = {"*.*"};
    reader->SetConfirmOverwrites(false);
    if (!dir.empty()) reader->SetExtractDir(dir);
    if (setup) setup(*reader);
    try {
        return dir.empty() ? reader->Test() : reader->Extract();
    } catch (const E_RAISE& e) {
        ev.errors.push_back(e.Code());
        return -1;
    }
}

std::vector<bh::TEntry> Entries(const std::string& bytes) {
    std::vector<bh::TEntry> out;
    bh::TEntry e;
    for (int64_t at = 0;
         bh::ParseEntry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), at, e) == bh::TParse::Ok;
         at = e.Next)
        out.push_back(e);
    return out;
}

// The entry's packed data, deciphered when it is encrypted.
std::string PackedData(const std::string& bytes, const bh::TEntry& e, const std::string& password) {
    std::string data = bytes.substr(static_cast<size_t>(e.DataOffset), e.H.PackedSize);
    if (!e.H.Encrypted()) return data;
    EXPECT_TRUE(ZipCheckCryptHeader(reinterpret_cast<const uint8_t*>(data.data()), password, e.H.Flags, e.H.Crc,
                                    e.H.DosDate));
    data.erase(0, bh::kCryptHeaderSize);
    ZipDecryptBuffer(reinterpret_cast<uint8_t*>(data.data()), data.size());
    return data;
}

#ifndef _WIN32
std::pair<int, std::string> Peer(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return {-1, out};
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// What a peer makes of one entry's data: Python's zlib inflates method 8,
// lhasa unpacks method 1 put into an -lh5- entry of its own.
std::string PeerDecode(const bh::TEntry& e, const std::string& data, const std::string& dir) {
    const std::string raw = Join(dir, "raw");
    if (e.H.Method == bh::kMethodDeflate) {
        WriteAll(raw, data);
        return Peer("python3 -c 'import sys,zlib; sys.stdout.buffer.write(zlib.decompress("
                    "open(sys.argv[1],\"rb\").read(), -15))' '" + raw + "'").second;
    }
    lha::TLevel0 h;
    h.Digit = '5';
    h.PackedSize = static_cast<uint32_t>(data.size());
    h.UnpackedSize = e.H.UnpackedSize;
    h.Name = "entry";
    const std::string original = ReadAll(Join(dir, "expected"));
    uint16_t crc = 0;
    Crc16Block(original.data(), original.size(), crc);
    h.Crc = crc;
    const std::vector<uint8_t> head = lha::MakeLevel0(h);
    const std::string lzh = Join(dir, "rewrapped.lzh");
    WriteAll(lzh, std::string(head.begin(), head.end()) + data + std::string(1, '\0'));
    const std::string out = ScratchDir(dir.substr(dir.find_last_of('/') + 1) + "-lhasa");
    if (Peer("lhasa xfw='" + out + "' '" + lzh + "'").first != 0) return {};
    return ReadAll(Join(out, "entry"));
}
#endif

// ---- round trips --------------------------------------------------------------------------

TEST(BhWriter, RoundTripsEveryMethodWithAndWithoutPasswordAndPeersReadTheData) {
    Tree sources;
    sources["about.txt"] = "";
    for (int i = 0; i < 400; ++i) sources["about.txt"] += "Line " + std::to_string(i % 37) + " of a text that repeats.\n";
    sources["empty.txt"] = "";
    sources["noise.bin"] = Noise(30000, 3);  // does not shrink
    sources["packed.zip"] = Noise(500, 9);   // an archive by its name: stored as it is
    sources["sub/nested.txt"] = std::string(5000, 'n');
    const std::string src = MakeSources("bh-src", sources);

    struct Case {
        TCompressMethod method;
        uint8_t code;
        const char* password;
    };
    const Case cases[] = {{cmStore, 0, ""},   {cmStore, 0, "secret"},   {cmFuse, 1, ""},
                          {cmFuse, 1, "pw1"}, {cmDeflate, 8, ""}, {cmDeflate, 8, "long password"}};
    for (const Case& c : cases) {
        const std::string tag = std::to_string(c.code) + (*c.password ? "e" : "p");
        SCOPED_TRACE(tag);
        const std::string dir = ScratchDir("bh-rt-" + tag);
        const std::string archive = Join(dir, "ours.bh");
        Events ev;
        EXPECT_EQ(Write(archive, src, ev, c.method, c.password), static_cast<int>(sources.size()));
        EXPECT_TRUE(ev.errors.empty());

        const std::string bytes = ReadAll(archive);
        const std::vector<bh::TEntry> entries = Entries(bytes);
        ASSERT_EQ(entries.size(), sources.size());
        int64_t end = 0;
        for (const bh::TEntry& e : entries) {
            SCOPED_TRACE(e.Name);
            end = e.Next;
            std::string key = e.Name;
            std::replace(key.begin(), key.end(), '\\', '/');
            const std::string& original = sources[key];
            EXPECT_EQ(e.H.EntrySize, bh::kHeaderSize + e.Name.size());
            EXPECT_EQ(e.H.ExtraLength, 0);
            EXPECT_EQ(e.H.UnpackedSize, original.size());
            const bool encrypted = *c.password && !original.empty();
            EXPECT_EQ(e.H.Encrypted(), encrypted);
            const uint8_t expected = original.empty() || e.Name == "packed.zip" ? 0
                                     : c.code == 1 && e.Name == "noise.bin"    ? 0
                                                                                : c.code;
            EXPECT_EQ(e.H.Method, expected);
            const std::string data = PackedData(bytes, e, c.password);
            if (expected == 0) {  // stored: the data, behind the encryption header
                EXPECT_EQ(e.H.PackedSize, original.size() + (encrypted ? 12 : 0));
                EXPECT_TRUE(data == original);
            }
#ifndef _WIN32
            if (expected != 0) {
                const std::string peerDir = ScratchDir("bh-peer-" + tag + "-" + std::to_string(e.Offset));
                WriteAll(Join(peerDir, "expected"), original);
                EXPECT_TRUE(PeerDecode(e, data, peerDir) == original);
            }
#endif
        }
        EXPECT_EQ(end, static_cast<int64_t>(bytes.size()));

        // The lister sees what was written.
        TDovex lister;
        std::vector<std::pair<std::string, bool>> listed;
        lister.OnRead = [&](TObject*, int, int) {
            listed.emplace_back(lister.EntryInfo.FileName, lister.EntryInfo.Encrypted);
        };
        lister.SetArchiveFile(archive);
        lister.FileSpec() = {"*.*"};
        lister.ReadArchive();
        EXPECT_EQ(lister.ArcType(), atBh);
        EXPECT_EQ(listed.size(), sources.size());

        const std::string back = ScratchDir("bh-back-" + tag);
        Events rev;
        Read(archive, rev, back, [&](TUnBase& r) { r.SetPasswords({c.password}); });
        EXPECT_TRUE(rev.errors.empty());
        EXPECT_EQ(rev.Passed(), static_cast<int>(sources.size()));
        EXPECT_TRUE(ReadTree(back) == sources);

        // The tester takes BH archives through the same reader.
        TZipCheck check;
        check.ProgressHook = nullptr;
        check.SetArchiveFile(archive);
        check.FileSpec() = {"*.*"};
        check.SetPasswords({c.password});
        int ok = 0, bad = 0;
        check.OnStatus = [&](TObject*, const std::string&, bool pass) { ++(pass ? ok : bad); };
        check.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int) { ++bad; };
        check.TestArchive();
        EXPECT_EQ(ok, static_cast<int>(sources.size()));
        EXPECT_EQ(bad, 0);
    }
}

// ---- the reader's passwords ---------------------------------------------------------------

TEST(UnBh, PasswordsAreTriedInOrderAndAFailedOneEndsTheRun) {
    const std::string src = MakeSources("bh-pw-src", {{"a.txt", "first entry\n"}, {"b.txt", "second entry\n"}});
    const std::string archive = Join(ScratchDir("bh-pw"), "locked.bh");
    Events wev;
    ASSERT_EQ(Write(archive, src, wev, cmStore, "right"), 2);

    struct Case {
        const char* name;
        std::vector<std::string> stored;      // Passwords before the run
        bool event;                           // OnGetPassword assigned
        std::vector<std::string> answers;     // what the event says, in turn ("" and TryAgain False: gives up)
        int calls, extracted, invalid, failed, unassigned;
        std::vector<std::string> after;       // Passwords after the run
    };
    // One check byte lets about one wrong password in 256 through the
    // header check, and which ones depends on the random header bytes: the
    // wrong passwords here are ones this archive's headers refuse.
    const std::string bytes = ReadAll(archive);
    std::vector<std::string> wrong;
    for (int i = 0; wrong.size() < 5; ++i) {
        const std::string pw = "wrong" + std::to_string(i);
        bool refused = true;
        for (const bh::TEntry& e : Entries(bytes))
            refused = refused && !ZipCheckCryptHeader(reinterpret_cast<const uint8_t*>(bytes.data()) + e.DataOffset,
                                                      pw, e.H.Flags, e.H.Crc, e.H.DosDate);
        if (refused) wrong.push_back(pw);
    }
    const Case cases[] = {
        {"stored fits", {wrong[0], "right"}, true, {}, 0, 2, 0, 0, 0, {wrong[0], "right"}},
        {"typed fits", {}, true, {"right"}, 1, 2, 0, 0, 0, {"right"}},
        {"typed moves to front", {wrong[0]}, true, {wrong[1], "right"}, 2, 2, 1, 0, 0, {"right", wrong[0]}},
        {"three misses", {}, true, {wrong[2], wrong[3], wrong[4], "right"}, 3, 0, 3, 1, 0, {}},
        {"gives up", {}, true, {""}, 1, 0, 0, 1, 0, {}},
        {"no event", {wrong[0]}, false, {}, 0, 0, 0, 0, 1, {wrong[0]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = ScratchDir(std::string("bh-pw-out-") + c.name);
        Events ev;
        int calls = 0;
        std::vector<std::string> after;
        Read(archive, ev, out, [&](TUnBase& r) {
            r.SetPasswordAttempts(3);
            r.SetPasswords(c.stored);
            if (c.event)
                r.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool& again) {
                    EXPECT_TRUE(again);
                    const std::string a = c.answers[static_cast<size_t>(calls++)];
                    if (a.empty())
                        again = false;
                    else
                        pw = a;
                };
            r.OnDeactivate = [&](TObject* s) { after = static_cast<TUnBase*>(s)->Passwords(); };
        });
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(static_cast<int>(ReadTree(out).size()), c.extracted);
        EXPECT_EQ(ev.Passed(), c.extracted);
        EXPECT_EQ(ev.Count(26517), c.invalid);
        EXPECT_EQ(ev.Count(26522), c.failed);
        EXPECT_EQ(ev.Count(25270), c.unassigned);
        EXPECT_EQ(after, c.after);
    }
}

// ---- stored CRCs ---------------------------------------------------------------------------

TEST(UnBh, StoredCrcPassesInBothFormsAndFailsOtherwise) {
    const std::string src = MakeSources("bh-crc-src", {{"a.txt", "checked data\n"}});
    struct Form {
        const char* name;
        uint32_t (*stored)(uint32_t);
        bool pass;
    };
    const Form forms[] = {{"final", [](uint32_t v) { return v; }, true},
                          {"uninverted", [](uint32_t v) { return ~v; }, true},
                          {"wrong", [](uint32_t v) { return v ^ 0x100; }, false}};
    for (const TCompressMethod m : {cmStore, cmFuse, cmDeflate})
        for (const Form& f : forms) {
            SCOPED_TRACE(std::string(f.name) + " " + std::to_string(m));
            const std::string archive = Join(ScratchDir("bh-crc"), "crc.bh");
            Events wev;
            ASSERT_EQ(Write(archive, src, wev, m), 1);
            std::string bytes = ReadAll(archive);
            const auto* p = reinterpret_cast<uint8_t*>(bytes.data());
            const uint32_t crc = Le32(p + 23);
            const uint32_t put = f.stored(crc);
            for (int i = 0; i < 4; ++i) bytes[23 + i] = static_cast<char>(put >> (8 * i));
            WriteAll(archive, bytes);
            Events ev;
            Read(archive, ev);
            ASSERT_EQ(ev.ends.size(), 1u);
            EXPECT_EQ(ev.ends[0].second, f.pass);
        }
}

// ---- headers that cannot be trusted --------------------------------------------------------

int ListCount(const std::string& archive) {
    TDovex lister;
    int n = 0;
    lister.OnRead = [&](TObject*, int, int) { ++n; };
    lister.SetArchiveFile(archive);
    lister.FileSpec() = {"*.*"};
    lister.ReadArchive();
    return n;
}

// Memory that runs out while the first entry is decoded (raised where the
// decoder writes, as a decoder that cannot get its window or tables
// raises it) fails that entry alone, whatever the method.
TEST(UnBh, MemoryRunningOutFailsOnlyTheEntryBeingDecoded) {
    const std::string src = MakeSources("bh-oom-src", {{"a.txt", std::string(3000, 'a')}, {"b.txt", "bee\n"}});
    for (TCompressMethod method : {cmFuse, cmDeflate}) {
        SCOPED_TRACE(method);
        const std::string archive = Join(ScratchDir("bh-oom"), "a.bh");
        Events made;
        ASSERT_EQ(Write(archive, src, made, method), 2);
        Events ev;
        EXPECT_EQ(Read(archive, ev, "", [](TUnBase& r) { test::RaiseOnFirstWrite(r, 25253); }), 2);
        EXPECT_EQ(ev.errors, std::vector<int>{25253});
        ASSERT_EQ(ev.ends.size(), 2u);
        EXPECT_FALSE(ev.ends[0].second);
        EXPECT_TRUE(ev.ends[1].second);
    }
}

TEST(BhFormat, DamagedHeadersAreTakenAlikeByListerReaderAndUpdate) {
    const std::string src = MakeSources("bh-bad-src", {{"a.txt", "alpha alpha alpha\n"}, {"b.txt", "beta beta\n"}});
    const std::string good = Join(ScratchDir("bh-bad-good"), "good.bh");
    Events wev;
    ASSERT_EQ(Write(good, src, wev, cmStore), 2);
    const std::string pristine = ReadAll(good);
    const std::vector<bh::TEntry> entries = Entries(pristine);
    ASSERT_EQ(entries.size(), 2u);
    const auto put16 = [](std::string& b, size_t at, uint16_t v) {
        b[at] = static_cast<char>(v);
        b[at + 1] = static_cast<char>(v >> 8);
    };

    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        bh::TParse parsed;  // of the first entry
        int listed, files, passed, readError, updateError;  // files: what the extraction left
    };
    const Case cases[] = {
        // Without room for its encryption header the entry's size would
        // go below zero once the header is taken off.
        {"encrypted below 12", [&](std::string& b) { b[9] = 1; b[15] = 5; b[16] = b[17] = b[18] = 0; },
         bh::TParse::Corrupt, 0, 0, 0, 25108, 25350},
        // A 16-bit name length far beyond the file.
        {"name past the end", [&](std::string& b) { put16(b, 33, 0xFFFF); }, bh::TParse::Corrupt, 0, 0, 0, 25108, 25350},
        {"data past the end", [&](std::string& b) { b.resize(b.size() - 3); }, bh::TParse::Ok, 2, 1, 1, 25236, 25350},
        // Extra bytes in front of the next header that would reach back
        // past the entry's own data: where the entry ends is in doubt.
        {"extra past its data", [&](std::string& b) { put16(b, 35, 0x4000); }, bh::TParse::Ok, 2, 2, 2, 0, 25350},
        // A header whose size field is 0 holds no entry.
        {"size field 0", [&](std::string& b) { put16(b, 4, 0); }, bh::TParse::Ok, 1, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = pristine;
        c.damage(bytes);
        const std::string dir = ScratchDir(std::string("bh-bad-") + c.name);
        const std::string archive = Join(dir, "bad.bh");
        WriteAll(archive, bytes);

        bh::TEntry first;
        EXPECT_EQ(bh::ParseEntry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0, first), c.parsed);
        EXPECT_EQ(ListCount(archive), c.listed);

        Events ev;
        Read(archive, ev, Join(dir, "out"));
        EXPECT_EQ(static_cast<int>(ReadTree(Join(dir, "out")).size()), c.files);
        EXPECT_EQ(ev.Passed(), c.passed);
        EXPECT_EQ(ev.Count(c.readError), c.readError ? 1 : 0);

        // An update carries over only what it can copy whole, else leaves
        // the archive as it was.
        const std::string more = MakeSources(std::string("bh-bad-more-") + c.name, {{"c.txt", "gamma\n"}});
        Events uev;
        const int added = Write(archive, more, uev, cmStore);
        if (c.updateError) {
            EXPECT_EQ(added, -1);
            EXPECT_EQ(uev.Count(c.updateError), 1);
            EXPECT_TRUE(ReadAll(archive) == bytes);
        } else {
            EXPECT_EQ(added, 1);
            EXPECT_EQ(ListCount(archive), c.listed + 1);
        }
    }
}

TEST(BhFormat, NameLengthStaysWithinTheSixteenBitSizeField) {
    EXPECT_EQ(bh::MakeHeader({}, std::string(bh::kMaxName, 'n')).size(), 0xFFFFu);
    EXPECT_TRUE(bh::MakeHeader({}, std::string(bh::kMaxName + 1, 'n')).empty());
    EXPECT_TRUE(bh::MakeHeader({}, "").empty());

    // A name longer than the field holds is refused, the others go in.
    const std::string src = MakeSources("bh-long-src", {{"a.txt", "a\n"}, {"b.txt", "b\n"}});
    const std::string archive = Join(ScratchDir("bh-long"), "long.bh");
    TBlakHole w;
    Events ev;
    ev.Watch(w);
    w.OnRenameCompressedFile = [](TObject*, std::string& fn) {
        if (fn == "a.txt") fn = std::string(bh::kMaxName + 1, 'n');
    };
    w.SetDefaultDir(src);
    w.SetArchiveFile(archive);
    w.FileSpec() = {"*.*"};
    EXPECT_EQ(w.Compress(), 1);
    EXPECT_EQ(ev.errors, std::vector<int>{25243});
    EXPECT_EQ(ListCount(archive), 1);
}

// ---- updates ---------------------------------------------------------------------------------

TEST(BhWriter, AddsReplacesDeletesAndMovesKeepingTheOtherEntriesAsTheyWere) {
    const std::string src = MakeSources("bh-up-src", {{"a.txt", std::string(3000, 'a')}, {"b.txt", "bee\n"}});
    const std::string archive = Join(ScratchDir("bh-up"), "up.bh");
    Events ev;
    ASSERT_EQ(Write(archive, src, ev, cmFuse, "pw"), 2);
    const std::string before = ReadAll(archive);
    const bh::TEntry a = Entries(before)[0];

    // Added with another method: the old entries are copied byte for byte.
    WriteAll(Join(src, "c.txt"), std::string(4000, 'c'));
    ASSERT_EQ(Write(archive, src, ev, cmDeflate, "", {"c.txt"}), 1);
    std::string after = ReadAll(archive);
    EXPECT_EQ(after.compare(0, static_cast<size_t>(a.Next), before, 0, static_cast<size_t>(a.Next)), 0);
    EXPECT_EQ(ListCount(archive), 3);

    // Replaced: the new content, in the entry's place.
    WriteAll(Join(src, "b.txt"), "a new bee\n");
    ASSERT_EQ(Write(archive, src, ev, cmStore, "", {"b.txt"}), 1);
    std::vector<bh::TEntry> now = Entries(ReadAll(archive));
    ASSERT_EQ(now.size(), 3u);

    // Deleted.
    Events dev;
    EXPECT_EQ(Write(archive, src, dev, cmStore, "", {"a.txt"}, swDelete), 1);
    now = Entries(ReadAll(archive));
    ASSERT_EQ(now.size(), 2u);
    for (const bh::TEntry& e : now) EXPECT_NE(e.Name, "a.txt");

    // Moved: in the archive, gone from the folder.
    WriteAll(Join(src, "d.txt"), "moved\n");
    EXPECT_EQ(Write(archive, src, ev, cmFuse, "", {"d.txt"}, swMove), 1);
    EXPECT_FALSE(fs::exists(Join(src, "d.txt")));

    const std::string out = ScratchDir("bh-up-out");
    Events rev;
    Read(archive, rev, out, [](TUnBase& r) { r.SetPasswords({"pw"}); });
    EXPECT_TRUE(rev.errors.empty());
    const Tree expected = {{"b.txt", "a new bee\n"}, {"c.txt", std::string(4000, 'c')}, {"d.txt", "moved\n"}};
    EXPECT_TRUE(ReadTree(out) == expected);
}

}  // namespace
}  // namespace bramble
