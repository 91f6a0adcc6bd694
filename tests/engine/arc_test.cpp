// The ARC/PAK reader: archives Debian's arc makes at test time (it picks
// stored, packed, squeezed, crunched or, asked to, squashed per file)
// extract as nomarch and unar extract them; the methods arc does not write
// (the oldest stored kind and the three hashed crunches) and PAK
// directories come from a small builder here, checked with the same peers;
// and the damaged-data cases each end their entry with their message.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/formats/arc.h"
#include "engine/lister/dovex.h"
#include "engine/readers/readers.h"
#include "engine/readers/unarc.h"
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

struct Events {
    std::vector<int> errors;
    std::map<std::string, bool> ends;  // entry name (no folder), CRC_PASS
    void Watch(TZipCommon& c) {
        c.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        c.OnEnd = [this](TObject*, const std::string& FN, bool pass) { ends[FN] = pass; };
        c.ProgressHook = nullptr;
    }
    int Count(int id) const { return static_cast<int>(std::count(errors.begin(), errors.end(), id)); }
};

// Tests (Dir empty) or extracts the archive with the reader the engine
// hands out for ARC.
int Read(const std::string& archive, Events& ev, const std::string& dir = "", TArcType kind = atArc) {
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(kind);
    ev.Watch(*reader);
    reader->SetArchiveFile(archive);
    reader->FileSpec() = {"*.*"};
    reader->SetConfirmOverwrites(false);
    if (!dir.empty()) reader->SetExtractDir(dir);
    try {
        return dir.empty() ? reader->Test() : reader->Extract();
    } catch (const E_RAISE& e) {
        ev.errors.push_back(e.Code());
        return -1;
    }
}

using Tree = std::map<std::string, std::string>;

// The names the lister shows, in order.
std::vector<std::string> Listed(const std::string& archive) {
    TDovex d;
    std::vector<std::string> names;
    d.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    d.SetArchiveFile(archive);
    d.SetFileSpec({"*.*"});
    d.OnRead = [&](TObject*, int, int) { names.push_back(d.EntryInfo.FileName); };
    d.ReadArchive();
    return names;
}
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

// ---- the builder ----------------------------------------------------------------------------

uint16_t Crc16(const std::string& s) {
    uint16_t r = 0;
    Crc16Block(s.data(), s.size(), r);
    return r;
}

// The run-length stage: runs of three or more as byte 0x90 count; 0x90
// itself as 0x90 0.
std::string Rle(const std::string& d) {
    std::string out;
    for (size_t i = 0; i < d.size();) {
        const char c = d[i];
        if (static_cast<uint8_t>(c) == 0x90) {
            out += "\x90";
            out.push_back('\0');
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < d.size() && d[i + run] == c && run < 255) ++run;
        if (run >= 3) {
            out.push_back(c);
            out.push_back('\x90');
            out.push_back(static_cast<char>(run));
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

// The hashed 4096-entry table of the crunched methods, as an encoder keeps it.
class CrunchTable {
public:
    explicit CrunchTable(bool newHash) : newHash_(newHash) {
        for (int c = 0; c < 256; ++c) Add(0xFFFF, static_cast<uint8_t>(c));
    }
    int Find(uint16_t p, uint8_t c) const {
        unsigned at = Hash(p, c);
        if (!used_[at]) return -1;
        for (;;) {
            if (pred_[at] == p && foll_[at] == c) return static_cast<int>(at);
            if (next_[at] == 0) return -1;
            at = next_[at];
        }
    }
    void Add(uint16_t p, uint8_t c) {
        if (count_ >= 4096) return;
        unsigned at = Hash(p, c);
        if (used_[at]) {
            while (next_[at] != 0) at = next_[at];
            unsigned free = (at + 101) & 0xFFF;
            while (used_[free]) free = (free + 1) & 0xFFF;
            next_[at] = static_cast<uint16_t>(free);
            at = free;
        }
        used_[at] = true;
        pred_[at] = p;
        foll_[at] = c;
        ++count_;
    }
    bool Used(unsigned at) const { return used_[at]; }
    uint8_t Follower(unsigned at) const { return foll_[at]; }
    // The first entry of the string at a slot (an unused slot leads on
    // to slot 0 as its cleared predecessor).
    unsigned Root(unsigned at) const {
        for (int n = 0; n < 4096 && pred_[at] != 0xFFFF; ++n) at = pred_[at];
        return at;
    }
    // Where Add would put an entry.
    unsigned Place(uint16_t p, uint8_t c) const {
        unsigned at = Hash(p, c);
        if (!used_[at]) return at;
        while (next_[at] != 0) at = next_[at];
        unsigned free = (at + 101) & 0xFFF;
        while (used_[free]) free = (free + 1) & 0xFFF;
        return free;
    }

private:
    unsigned Hash(uint16_t p, uint8_t c) const {
        const uint32_t key = (uint32_t{p} + c) & 0xFFFF;
        if (newHash_) return (key * 15073u) & 0xFFF;
        const uint32_t k = (key | 0x800) & 0xFFFF;
        return (k * k >> 6) & 0xFFF;
    }
    bool newHash_;
    unsigned count_ = 0;
    std::array<bool, 4096> used_{};
    std::array<uint16_t, 4096> next_{}, pred_{};
    std::array<uint8_t, 4096> foll_{};
};

std::string PackCodes(const std::vector<unsigned>& codes) {
    std::string out;
    for (size_t i = 0; i < codes.size(); i += 2) {
        const unsigned a = codes[i], b = i + 1 < codes.size() ? codes[i + 1] : 0;
        out.push_back(static_cast<char>(a >> 4));
        out.push_back(static_cast<char>((a & 0xF) << 4 | (b >> 8)));
        if (i + 1 < codes.size()) out.push_back(static_cast<char>(b));
    }
    return out;
}

std::string Crunch(const std::string& d, bool newHash) {
    if (d.empty()) return {};
    CrunchTable t(newHash);
    std::vector<unsigned> codes;
    int w = t.Find(0xFFFF, static_cast<uint8_t>(d[0]));
    for (size_t i = 1; i < d.size(); ++i) {
        const uint8_t c = static_cast<uint8_t>(d[i]);
        const int x = t.Find(static_cast<uint16_t>(w), c);
        if (x >= 0) {
            w = x;
            continue;
        }
        codes.push_back(static_cast<unsigned>(w));
        t.Add(static_cast<uint16_t>(w), c);
        w = t.Find(0xFFFF, c);
    }
    codes.push_back(static_cast<unsigned>(w));
    return PackCodes(codes);
}

constexpr uint32_t kStamp = 0x5A2F6000u | 0x4A21;  // a DOS stamp: 2025-01-15 12:01:02

// One entry: header and packed bytes for the data by the method.
std::string Entry(uint8_t method, const std::string& name, const std::string& data, std::string packed = {},
                  bool packedGiven = false) {
    if (!packedGiven) {
        switch (method) {
            case 1:
            case 2: packed = data; break;
            case 3: packed = Rle(data); break;
            case 5: packed = Crunch(data, false); break;
            case 6: packed = Crunch(Rle(data), false); break;
            case 7: packed = Crunch(Rle(data), true); break;
            default: break;
        }
    }
    arc::THeader h;
    h.Method = method;
    h.Name = name;
    h.PackedSize = static_cast<uint32_t>(packed.size());
    h.UnpackedSize = static_cast<uint32_t>(data.size());
    h.Stamp = kStamp;
    h.Crc = Crc16(data);
    const std::vector<uint8_t> b = arc::MakeHeader(h);
    return std::string(b.begin(), b.end()) + packed;
}
std::string DirEntry(const std::string& name) {
    arc::THeader h;
    h.Method = arc::kMethodDirectory;
    h.Name = name;
    h.Stamp = kStamp;
    const std::vector<uint8_t> b = arc::MakeHeader(h);
    return std::string(b.begin(), b.end());
}
// The entry with another unpacked size in its header.
std::string WithUnpackedSize(std::string entry, uint32_t size) {
    for (int i = 0; i < 4; ++i) entry[25 + i] = static_cast<char>(size >> (8 * i));
    return entry;
}
const std::string kDirEnd = "\x1a\x1f";
const std::string kEnd = std::string("\x1a\0", 2);

// Text that compresses, with runs for the run-length stage and 0x90s.
std::string Sample(size_t lines) {
    std::string s;
    for (size_t i = 0; i < lines; ++i) {
        s += "line " + std::to_string(i % 37) + " of the sample, the quick brown fox\n";
        if (i % 5 == 0) s.append(i % 40 + 3, static_cast<char>('a' + i % 26));
        if (i % 7 == 0) s += "\x90\x90\x90\x90 \x90";
    }
    return s;
}

#ifndef _WIN32
using test::Peer;
bool Have(const char* tool) { return Peer(std::string("command -v ") + tool).first == 0; }

// What nomarch extracts into a fresh folder (it writes into the current one).
Tree Nomarch(const std::string& archive, const std::string& name) {
    const std::string dir = ScratchDir(name);
    EXPECT_EQ(Peer("cd '" + dir + "' && nomarch '" + archive + "'").first, 0);
    return ReadTree(dir);
}
#endif

// ---- the tests ------------------------------------------------------------------------------

TEST(UnArc, ExtractsEveryMethodOfArchivesArcMakesAsNomarchDoes) {
#ifdef _WIN32
    GTEST_SKIP() << "arc and nomarch run natively";
#else
    if (!Have("arc") || !Have("nomarch")) GTEST_SKIP() << "arc or nomarch is not installed";
    // Data that makes arc choose each of its methods.
    Tree files;
    files["text.txt"] = Sample(3000);                       // crunched (8)
    files["noise.bin"] = Noise(5000, 3);                    // stored (2)
    files["empty.txt"] = "";
    files["one.txt"] = "x";
    std::string runs;                                       // packed (3)
    for (uint32_t i = 0, s = 9; i < 200; ++i) {
        s = s * 1103515245u + 12345u;
        runs.append(3 + (s >> 20) % 197, static_cast<char>(s >> 12));
    }
    files["runs.bin"] = runs;
    std::string skew;                                       // squeezed (4)
    for (uint32_t i = 0, s = 5; i < 30000; ++i) {
        s = s * 1103515245u + 12345u;
        int v = 0;
        for (uint32_t r = s >> 8; (r & 3) != 0 && v < 40; r >>= 2) ++v;
        skew.push_back(static_cast<char>(v * 5));
    }
    files["skew.bin"] = skew;
    const std::string src = ScratchDir("arc-src");
    for (const auto& [name, data] : files) WriteAll(Join(src, name), data);

    struct Case {
        const char* command;   // arc's command: a adds, aq squashes
        std::vector<int> methods;  // what arc must have chosen among them
    };
    for (const Case& c : {Case{"a", {2, 4, 8}}, Case{"aq", {2, 3, 9}}}) {
        SCOPED_TRACE(c.command);
        const std::string dir = ScratchDir(std::string("arc-") + c.command);
        const std::string archive = Join(dir, "made.arc");
        ASSERT_EQ(Peer("cd '" + src + "' && arc " + c.command + " '" + archive + "' *").first, 0);
        // The methods arc chose, from the headers.
        const std::string bytes = ReadAll(archive);
        std::vector<int> seen;
        arc::THeader h;
        for (int64_t at = 0; arc::ParseHeader(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                                               bytes.size() - static_cast<size_t>(at), at, h) == arc::TParse::Ok;
             at = h.Next())
            seen.push_back(h.Method);
        for (int m : c.methods) EXPECT_NE(std::find(seen.begin(), seen.end(), m), seen.end()) << "method " << m;

        Events ev;
        const std::string out = Join(dir, "ours");
        EXPECT_EQ(Read(archive, ev, out), static_cast<int>(files.size()));
        EXPECT_TRUE(ev.errors.empty());
        for (const auto& [name, pass] : ev.ends) EXPECT_TRUE(pass) << name;
        EXPECT_EQ(ReadTree(out), Nomarch(archive, std::string("arc-nomarch-") + c.command));
        EXPECT_EQ(ReadTree(out), files);
    }
#endif
}

TEST(UnArc, ExtractsTheMethodsArcDoesNotWriteAndPakDirectories) {
    const std::string text = Sample(400);
    std::string known;  // the methods nomarch knows too
    known += Entry(1, "OLD.TXT", text);
    known += Entry(3, "PACKED.TXT", text);
    known += Entry(5, "CRUNCH5.TXT", text);
    known += Entry(6, "CRUNCH6.TXT", text);
    std::string newHash;
    newHash += Entry(7, "CRUNCH7.TXT", text);
    newHash += Entry(7, "NOISE.BIN", Noise(20000, 1));  // fills the table
    std::string pak;
    pak += DirEntry("DOCS");
    pak += Entry(2, "IN.TXT", "in docs\n");
    pak += DirEntry("OLD");
    pak += Entry(6, "DEEP.TXT", text);
    pak += kDirEnd;
    pak += Entry(2, "AFTER.TXT", "back in docs\n");
    pak += kDirEnd;
    const std::string top = Entry(2, "TOP.TXT", "top\n");
    const std::string dir = ScratchDir("arc-built");
    const std::string path = Join(dir, "built.arc");
    // A directory end with no directory open is passed over.
    WriteAll(path, known + newHash + pak + kDirEnd + top + kEnd);

    const Tree expected = {{"OLD.TXT", text},         {"PACKED.TXT", text},          {"CRUNCH5.TXT", text},
                           {"CRUNCH6.TXT", text},     {"CRUNCH7.TXT", text},         {"NOISE.BIN", Noise(20000, 1)},
                           {"DOCS/IN.TXT", "in docs\n"}, {"DOCS/OLD/DEEP.TXT", text}, {"DOCS/AFTER.TXT", "back in docs\n"},
                           {"TOP.TXT", "top\n"}};
    Events ev;
    EXPECT_EQ(Read(path, ev, Join(dir, "ours")), static_cast<int>(expected.size()));
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_EQ(ReadTree(Join(dir, "ours")), expected);
    for (const auto& [name, pass] : ev.ends) EXPECT_TRUE(pass) << name;
    // The lister walks the directories as the reader does.
    EXPECT_EQ(Listed(path), (std::vector<std::string>{"OLD.TXT", "PACKED.TXT", "CRUNCH5.TXT", "CRUNCH6.TXT",
                                                      "CRUNCH7.TXT", "NOISE.BIN", "DOCS\\IN.TXT",
                                                      "DOCS\\OLD\\DEEP.TXT", "DOCS\\AFTER.TXT", "TOP.TXT"}));

#ifndef _WIN32
    // nomarch knows neither method 7 nor PAK directories; unar knows both.
    if (Have("nomarch")) {
        WriteAll(Join(dir, "known.arc"), known + kEnd);
        EXPECT_EQ(Peer("nomarch -t '" + Join(dir, "known.arc") + "'").first, 0);
        const Tree peer = Nomarch(Join(dir, "known.arc"), "arc-built-nomarch");
        EXPECT_EQ(peer.size(), 4u);
        for (const auto& [name, data] : peer) {
            std::string upper = name;
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(expected.at(upper), data) << name;
        }
    }
    if (Have("unar")) {
        WriteAll(Join(dir, "all.arc"), known + newHash + pak + top + kEnd);
        const std::string peerDir = ScratchDir("arc-built-unar");
        Peer("unar -q -f -D -o '" + peerDir + "' '" + Join(dir, "all.arc") + "'");
        EXPECT_EQ(ReadTree(peerDir), expected);
    }
#endif
}

TEST(UnArc, RunLengthStage) {
    struct Case {
        std::string packed, unpacked;
    };
    const Case cases[] = {
        {std::string("\x90\0", 2), "\x90"},
        {"A\x90\x05", "AAAAA"},
        {std::string("A\x90\0\x90\x03", 5), "A\x90" "AA"},  // 0x90 0 does not change the byte repeated
        {"AB\x90\x01", "AB"},
    };
    for (const Case& c : cases) {
        const std::string dir = ScratchDir("arc-rle");
        WriteAll(Join(dir, "r.arc"), Entry(3, "R", c.unpacked, c.packed, true) + kEnd);
        Events ev;
        EXPECT_EQ(Read(Join(dir, "r.arc"), ev, Join(dir, "o")), 1);
        EXPECT_EQ(ReadAll(Join(dir, "o/R")), c.unpacked);
        EXPECT_TRUE(ev.errors.empty());
    }
}

// Each damaged entry ends with its message; the sound entry after it is
// still extracted.
TEST(UnArc, DamagedDataEndsItsEntryWithItsMessage) {
    const std::string good = Entry(2, "GOOD.TXT", "good\n");
    auto le16 = [](int v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
    // A crunched stream whose strings never end: an unused slot as the
    // code before, with slot 0 unused too (an unused slot leads there).
    // A single byte, then an unused slot u, then each time the slot the
    // table is about to fill: every string is the one before and its first
    // byte, until the slot about to be filled is u itself. Then u's
    // predecessor is the last string, which leads back to u.
    CrunchTable t(false);
    unsigned single = 0;
    while (!t.Used(single)) ++single;
    t.Add(static_cast<uint16_t>(single), t.Follower(single));
    unsigned u = 1;
    while (t.Used(u)) ++u;
    const uint8_t f = t.Follower(t.Root(0));
    std::vector<unsigned> codes = {single, u};
    for (unsigned x = u, n = 0; n < 4096; ++n) {
        const unsigned p = t.Place(static_cast<uint16_t>(x), f);
        t.Add(static_cast<uint16_t>(x), f);
        codes.push_back(p);
        if (p == u) break;
        x = p;
    }
    codes.push_back(u);
    const std::string loop = PackCodes(codes);
    ASSERT_EQ(codes[codes.size() - 2], u);

    struct Case {
        const char* what;
        std::string entry;
        int message;
    };
    const Case cases[] = {
        {"node count 300", Entry(4, "SQ", "abc", le16(300) + std::string(8, '\0'), true), 25152},
        {"negative node count", Entry(4, "SQ", "abc", le16(-1), true), 25152},
        {"child past the tree", Entry(4, "SQ", "abc", le16(1) + le16(5) + le16(-1) + "\xff", true), 25152},
        {"value past the end code", Entry(4, "SQ", "abc", le16(1) + le16(-300) + le16(-1) + "\xff", true), 25152},
        {"13 bits in method 8", Entry(8, "DY", "abc", "\x0d\x61\x00", true), 25134},
        // Its strings grow to the loop: more than six bytes.
        {"crunched loop", WithUnpackedSize(Entry(5, "CR", "abcdef", loop, true), 0xFFFFFFFFu), 25298},
        {"code beyond the table", Entry(9, "SQ", "abc", "\xff\xff\xff\xff", true), 25139},
        {"method 10", Entry(10, "PK", "abc", "xyz", true), 25326},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir("arc-bad");
        // A sound entry first: detection takes the kind from it.
        WriteAll(Join(dir, "b.arc"), Entry(2, "LEAD.TXT", "lead\n") + c.entry + good + kEnd);
        Events ev;
        Read(Join(dir, "b.arc"), ev, Join(dir, "o"));
        EXPECT_EQ(ev.Count(c.message), 1);
        EXPECT_EQ(ReadAll(Join(dir, "o/GOOD.TXT")), "good\n");
    }
}

// The entry with the unpacked size Claim in its header, and the CRC-16 of
// as much of Data (what the header then describes).
std::string Claiming(std::string entry, const std::string& data, int64_t claim) {
    entry = WithUnpackedSize(std::move(entry), static_cast<uint32_t>(claim));
    const uint16_t crc = Crc16(data.substr(0, static_cast<size_t>(std::min<int64_t>(claim, data.size()))));
    entry[23] = static_cast<char>(crc & 0xFF);
    entry[24] = static_cast<char>(crc >> 8);
    return entry;
}

// Data that decodes to another size than its header gives, with the CRC
// of what the header describes, fails its entry with 25109, in a test as
// in an extraction, and nothing past the header's size is written; arc's
// own last run, whose count it writes twice, is let by.
TEST(UnArc, AnEntryOfAnotherSizeThanItsHeaderSaysFails) {
    const std::string data = Sample(200) + std::string(40, 'z');  // ends in a run
    struct Sized {
        std::string what;
        std::string entry;  // as made, for data
        std::string data;
    };
    std::vector<Sized> entries;
    for (uint8_t m : {2, 3, 5, 6, 7})
        entries.push_back({"method " + std::to_string(m), Entry(m, "SIZED.TXT", data), data});
#ifndef _WIN32
    // The methods arc writes itself: entries of archives it makes, the
    // text crunched (8) or squashed (9), skewed bytes squeezed (4).
    if (Have("arc")) {
        std::string skew;
        for (uint32_t i = 0, s = 5; i < 30000; ++i) {
            s = s * 1103515245u + 12345u;
            int v = 0;
            for (uint32_t r = s >> 8; (r & 3) != 0 && v < 40; r >>= 2) ++v;
            skew.push_back(static_cast<char>(v * 5));
        }
        skew.append(40, 'z');
        const std::map<std::string, std::string> sources = {{"text.txt", data}, {"skew.bin", skew}};
        const std::string src = ScratchDir("arc-sized-src");
        for (const auto& [name, bytes] : sources) WriteAll(Join(src, name), bytes);
        std::set<int> methods;
        for (const char* command : {"a", "aq"}) {
            const std::string archive = Join(ScratchDir(std::string("arc-sized-") + command), "m.arc");
            ASSERT_EQ(Peer("cd '" + src + "' && arc " + command + " '" + archive + "' text.txt skew.bin").first, 0);
            const std::string bytes = ReadAll(archive);
            arc::THeader h;
            for (int64_t at = 0; arc::ParseHeader(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                                                   bytes.size() - static_cast<size_t>(at), at, h) == arc::TParse::Ok;
                 at = h.Next()) {
                if (h.Method == 2 || !methods.insert(h.Method).second) continue;
                std::string entry = bytes.substr(static_cast<size_t>(at), static_cast<size_t>(h.Next() - at));
                entry.replace(2, 13, std::string("SIZED.TXT\0\0\0\0", 13));
                entries.push_back({"method " + std::to_string(h.Method) + " by arc", entry, sources.at(h.Name)});
            }
        }
        for (int m : {4, 8, 9}) EXPECT_TRUE(methods.count(m)) << "arc wrote no method " << m;
    }
#endif
    const std::string good = Entry(2, "GOOD.TXT", "good\n");
    auto run = [&](const std::string& entry, const std::string& wanted, std::vector<int> errors) {
        const std::string dir = ScratchDir("arc-sized");
        WriteAll(Join(dir, "s.arc"), Entry(2, "LEAD.TXT", "lead\n") + entry + good + kEnd);
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "test");
            Events ev;
            const std::string out = Join(dir, "o");
            EXPECT_EQ(Read(Join(dir, "s.arc"), ev, extract ? out : ""), 3);
            EXPECT_EQ(ev.errors, errors);
            ASSERT_EQ(ev.ends.size(), 3u);
            for (const auto& [name, pass] : ev.ends)
                EXPECT_EQ(pass, name.find("SIZED") == std::string::npos || errors.empty()) << name;
            if (!extract) continue;
            // A failed entry leaves no file.
            EXPECT_EQ(ReadAll(Join(out, "SIZED.TXT")), errors.empty() ? wanted : "");
            EXPECT_EQ(os::FileExists(Join(out, "SIZED.TXT")), errors.empty());
            EXPECT_EQ(ReadAll(Join(out, "GOOD.TXT")), "good\n");
        }
    };
    for (const Sized& e : entries) {
        const int64_t size = static_cast<int64_t>(e.data.size());
        // Into the run at the end, just before it, and elsewhere.
        for (int64_t claim : {int64_t{0xFFFFFFFF}, size + 1, size - 1, size - 40, size / 2, int64_t{0}}) {
            SCOPED_TRACE(e.what + ", " + std::to_string(claim) + " bytes");
            run(Claiming(e.entry, e.data, claim), e.data.substr(0, static_cast<size_t>(std::min(claim, size))),
                {25109});
        }
    }

    // After the run that ends the data, the same run again is dropped; a
    // third time, or anything else, is more than the header says.
    const std::string packed = Rle(data);
    ASSERT_EQ(packed.substr(packed.size() - 3), "z\x90\x28");
    struct Tail {
        const char* what;
        std::string tail;
        std::vector<int> errors;
    };
    const Tail tails[] = {
        {"the last run twice, as arc writes it", "\x90\x28", {}},
        {"the last run three times", "\x90\x28\x90\x28", {25109}},
        {"another run", "\x90\x05", {25109}},
        {"a byte", "z", {25109}},
        {"a 0x90 byte", std::string("\x90\0", 2), {25109}},
    };
    for (const Tail& t : tails) {
        SCOPED_TRACE(t.what);
        run(Entry(3, "SIZED.TXT", data, packed + t.tail, true), data, t.errors);
    }
}

TEST(UnArc, AnEntryCutShortByTheEndOfTheFileFails) {
    const std::string dir = ScratchDir("arc-cut");
    std::string cut = Entry(2, "CUT.TXT", std::string(100, 'c'));
    cut.resize(cut.size() - 60);
    WriteAll(Join(dir, "c.arc"), Entry(2, "LEAD.TXT", "lead\n") + cut);
    Events ev;
    EXPECT_EQ(Read(Join(dir, "c.arc"), ev, Join(dir, "o")), 2);
    EXPECT_EQ(ev.Count(25236), 1);
    for (const auto& [name, pass] : ev.ends) EXPECT_EQ(pass, name.find("CUT") == std::string::npos) << name;
}

TEST(UnArc, NamesStayInsideTheOutputFolder) {
    // Thirteen name bytes without a NUL, PAK directories named to climb
    // out, a directory end with nothing open.
    const std::string dir = ScratchDir("arc-names");
    std::string a;
    a += Entry(2, "ABCDEFGHIJKLMNOPQ", "long\n");
    a += kDirEnd;
    a += DirEntry("..");
    a += DirEntry("C:\\");
    a += Entry(2, "..\\UP.TXT", "up\n");
    a += kDirEnd + kDirEnd;
    a += kEnd;
    // MakeHeader keeps a NUL; this one fills all thirteen bytes.
    const size_t at = a.find("ABCDEFGHIJKL");
    a[at + 12] = 'M';
    WriteAll(Join(dir, "n.arc"), a);
    Events ev;
    const std::string out = Join(dir, "o");
    EXPECT_EQ(Read(Join(dir, "n.arc"), ev, out), 2);
    EXPECT_EQ(ReadTree(out), (Tree{{"ABCDEFGHIJKLM", "long\n"}, {"C/UP.TXT", "up\n"}}));
    for (const auto& e : fs::directory_iterator(dir)) EXPECT_TRUE(e.path().filename() == "o" || e.path().filename() == "n.arc");
}

TEST(UnArc, CorpusArchivesTest) {
    BRAMBLE_NEED_CORPUS();
    Events ev;
    EXPECT_EQ(Read(Join(test::CorpusDir(), "misc/patool-t.arc"), ev), 2);
    EXPECT_TRUE(ev.errors.empty());
    for (const auto& [name, pass] : ev.ends) EXPECT_TRUE(pass) << name;
}

TEST(UnArc, PeerFixturesTest) {
    for (const char* name : {"plain.arc", "squashed.arc", "stored.arc"}) {
        SCOPED_TRACE(name);
        const std::string path = Join(test::FixturesDir(), name);
        if (!fs::exists(path)) GTEST_SKIP() << "fixtures not made";
        Events ev;
        EXPECT_GT(Read(path, ev), 0);
        EXPECT_TRUE(ev.errors.empty());
        for (const auto& [n, pass] : ev.ends) EXPECT_TRUE(pass) << n;
    }
}

}  // namespace
}  // namespace bramble
