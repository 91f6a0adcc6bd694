// The LHA and BH record layouts: what the header module makes of headers of
// every level, hand-built here byte by byte, and the headers it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/formats/bh.h"
#include "engine/formats/lha.h"

namespace bramble {
namespace {

std::string Le16(uint32_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(v) + Le16(v >> 16); }

// The 22 bytes every level shares; the size byte is filled in later.
std::string Base(const std::string& method, uint32_t packed, uint32_t size, uint32_t stamp, uint8_t level) {
    return std::string(2, '\0') + method + Le32(packed) + Le32(size) + Le32(stamp) + '\x20' +
           static_cast<char>(level);
}

std::string Ext(uint8_t type, const std::string& data) { return static_cast<char>(type) + data; }

// Extended headers as a chain: the size of the first, then each one
// followed by the size of the next (a size counts type, data and the next
// size).
std::string Chain(const std::vector<std::string>& exts) {
    std::string out = Le16(exts.empty() ? 0 : static_cast<uint32_t>(exts[0].size() + 2));
    for (size_t i = 0; i < exts.size(); ++i)
        out += exts[i] + Le16(i + 1 < exts.size() ? static_cast<uint32_t>(exts[i + 1].size() + 2) : 0);
    return out;
}

std::string Level0(const std::string& method, const std::string& name, const std::string& data, const std::string& more = "") {
    std::string h = Base(method, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(data.size()), 0x2A434C83, 0) +
                    static_cast<char>(name.size()) + name + Le16(0x1234) + more;
    h[0] = static_cast<char>(h.size() - 2);
    return h + data;
}

std::string Level1(const std::string& name, const std::vector<std::string>& exts, const std::string& data) {
    std::string chain = Chain(exts);
    std::string tail = chain.substr(2);
    std::string h = Base("-lh5-", static_cast<uint32_t>(tail.size() + data.size()), 99, 0x2A434C83, 1) +
                    static_cast<char>(name.size()) + name + Le16(0x1234) + 'M' + chain.substr(0, 2);
    h[0] = static_cast<char>(h.size() - 2);
    return h + tail + data;
}

std::string Level2(const std::string& method, const std::vector<std::string>& exts, const std::string& data,
                   size_t pad = 0) {
    std::string h = Base(method, static_cast<uint32_t>(data.size()), 99, 981173106, 2) + Le16(0x1234) + 'U' +
                    Chain(exts) + std::string(pad, '\0');
    h.replace(0, 2, Le16(static_cast<uint32_t>(h.size())));
    return h + data;
}

TEST(LhaFormat, HeaderRules) {
    struct Case {
        const char* what;
        std::string bytes;
        lha::TParse result;
        std::string name;
        int64_t packed;     // data alone
        int64_t dataAt;     // where the data starts
    };
    const std::string sjis = "\x95\x5c";  // a double-byte character whose second byte is '\'
    std::string lowZero = Level2("-lh0-", {Ext(1, "pad.txt")}, "xy");
    lowZero = Level2("-lh0-", {Ext(1, "pad.txt")}, "xy", 256 - (lowZero.size() - 2));
    std::vector<Case> cases = {
        {"level 0", Level0("-lh5-", "DIR\\A.TXT", "12345"), lha::TParse::Ok, "DIR\\A.TXT", 5, 33},
        {"level 0, '/' and 0xFF are separators", Level0("-lh0-", "a/b\xff" "c", "x"), lha::TParse::Ok, "a\\b\\c", 1, 29},
        {"level 0, a NUL ends the name, blanks around it go", Level0("-lh0-", std::string(" B.TXT \0note", 12), "x"),
         lha::TParse::Ok, "B.TXT", 1, 36},
        // The double-byte lead bytes run 0x80-0x9F and 0xE0-0xFD: what
        // follows one is no separator.
        {"level 0, 0x80 leads a pair", Level0("-lh0-", "\x80/x", "x"), lha::TParse::Ok, "\x80/x", 1, 27},
        {"level 0, 0x9F leads a pair", Level0("-lh0-", "\x9F\xFFx", "x"), lha::TParse::Ok, "\x9F\xFFx", 1, 27},
        {"level 0, 0xE0 leads a pair", Level0("-lh0-", "\xE0/x", "x"), lha::TParse::Ok, "\xE0/x", 1, 27},
        {"level 0, 0xFD leads a pair", Level0("-lh0-", "\xFD\xFFx", "x"), lha::TParse::Ok, "\xFD\xFFx", 1, 27},
        {"level 0, 0x7F leads none", Level0("-lh0-", "\x7F/x", "x"), lha::TParse::Ok, "\x7F\\x", 1, 27},
        {"level 0, 0xA0 leads none", Level0("-lh0-", "\xA0/x", "x"), lha::TParse::Ok, "\xA0\\x", 1, 27},
        {"level 0, 0xDF leads none", Level0("-lh0-", "\xDF\xFFx", "x"), lha::TParse::Ok, "\xDF\\x", 1, 27},
        {"level 0, 0xFE leads none", Level0("-lh0-", "\xFE/x", "x"), lha::TParse::Ok, "\xFE\\x", 1, 27},
        {"level 0, a writer's own bytes behind the CRC", Level0("-lh0-", "C", "x", "U\x01\x02\x03"), lha::TParse::Ok, "C",
         1, 29},
        {"level 0, a name running past the header", [] {
             std::string h = Level0("-lh0-", "ABC", "x");
             h[21] = 9;
             return h;
         }(), lha::TParse::Corrupt, "", 0, 0},
        {"level 1: the directory header, extended headers out of the packed size",
         Level1("F.TXT", {Ext(2, "d1\xff" "d2\xff"), Ext(0x40, std::string("\x20\x00", 2))}, "data"), lha::TParse::Ok, "d1\\d2\\F.TXT",
         4, 32 + 9 + 5},
        {"level 1: a name header replaces the short name", Level1("F", {Ext(1, "long name.txt")}, "d"),
         lha::TParse::Ok, "long name.txt", 1, 28 + 16},
        {"level 2: the name header, though the common header comes first",
         Level2("-lh5-", {Ext(0, "\x11\x22"), Ext(1, "file.txt"), Ext(2, "a\xff" "b")}, "12"), lha::TParse::Ok,
         "a\\b\\file.txt", 2, 26 + 5 + 11 + 6},
        {"level 2: no name header, the first extended header is the name", Level2("-lh0-", {Ext(0x44, "odd.txt")}, "z"),
         lha::TParse::Ok, "odd.txt", 1, 26 + 10},
        {"level 2: neither the common header nor the directory is a name",
         Level2("-lh0-", {Ext(0, "\x11\x22"), Ext(2, "dir")}, "z"), lha::TParse::Ok, "dir\\", 1, 26 + 5 + 6},
        {"level 2: a size whose low byte is 0 is no end marker", lowZero, lha::TParse::Ok, "pad.txt", 2, 256},
        {"level 2: a double-byte character keeps its second byte", Level2("-lh0-", {Ext(1, sjis + "x")}, "z"),
         lha::TParse::Ok, sjis + "x", 1, 26 + 6},
        {"extended header of size 2", [] {
             std::string h = Level2("-lh0-", {Ext(1, "n")}, "z");
             h.replace(24, 2, Le16(2));
             return h;
         }(), lha::TParse::Corrupt, "", 0, 0},
        {"extended header running past the file", [] {
             std::string h = Level2("-lh0-", {Ext(1, "n")}, "z");
             h.replace(24, 2, Le16(0xFFF0));
             return h;
         }(), lha::TParse::Corrupt, "", 0, 0},
        {"level 1 extended headers beyond the packed size", [] {
             std::string h = Level1("F", {Ext(1, "name")}, "d");
             h.replace(7, 4, Le32(3));
             return h;
         }(), lha::TParse::Corrupt, "", 0, 0},
        {"level 3", [] {
             std::string h = Level0("-lh5-", "A", "x");
             h[20] = 3;
             return h;
         }(), lha::TParse::Level, "", 0, 0},
        {"the end marker", [] {
             std::string h = Level0("-lh0-", "A", "x");
             h[0] = 0;
             return h;
         }(), lha::TParse::End, "", 0, 0},
        {"no method id", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", lha::TParse::End, "", 0, 0},
        {"a header cut short", Level0("-lh0-", "NAME.TXT", "x").substr(0, 25), lha::TParse::Corrupt, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lha::THeader h;
        const lha::TParse r = lha::ParseHeader(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), 0, h);
        ASSERT_EQ(r, c.result);
        if (r != lha::TParse::Ok) continue;
        EXPECT_EQ(h.Name, c.name);
        EXPECT_EQ(h.PackedSize, c.packed);
        EXPECT_EQ(h.DataOffset, c.dataAt);
        EXPECT_EQ(h.Next, c.dataAt + c.packed);
        EXPECT_EQ(h.Crc, 0x1234);
        EXPECT_EQ(h.UnixTime(), h.Level == 2);
    }
    // The second byte of a double-byte character is not converted.
    EXPECT_EQ(lha::NameToAnsi(sjis + "\\x"), sjis + "\\x");
    EXPECT_EQ(lha::StoredName(sjis, "x"), sjis + "\\x");

    // An archive that starts with a 0 byte begins 128 bytes later.
    const std::string prefixed = std::string(128, '\0') + Level0("-lh0-", "A", "x");
    auto read = [&](int64_t o, void* b, int64_t n) -> int64_t {
        n = std::min<int64_t>(n, static_cast<int64_t>(prefixed.size()) - o);
        if (o < 0 || n <= 0) return 0;
        std::memcpy(b, prefixed.data() + o, static_cast<size_t>(n));
        return n;
    };
    EXPECT_EQ(lha::FirstHeaderOffset(read, 0), 128);

    // Only "-lh?-" ids name the methods read here.
    struct Id {
        const char* id;
        lha::TMethod method;
    };
    for (const Id& i : {Id{"-lh0-", lha::TMethod::Stored}, Id{"-lh1-", lha::TMethod::Lh1}, Id{"-lh4-", lha::TMethod::Lh4},
                        Id{"-lh5-", lha::TMethod::Lh5}, Id{"-lh6-", lha::TMethod::Lh6},
                        Id{"-lhd-", lha::TMethod::Directory}, Id{"-lh7-", lha::TMethod::Unsupported},
                        Id{"-lh2-", lha::TMethod::Unsupported}, Id{"-lz5-", lha::TMethod::Unsupported},
                        Id{"-lzs-", lha::TMethod::Unsupported}, Id{"-pm2-", lha::TMethod::Unsupported}})
        EXPECT_EQ(lha::MethodOf(i.id), i.method) << i.id;
}

TEST(LhaFormat, WritesHeadersItReadsBack) {
    lha::TLevel0 w;
    w.Digit = '5';
    w.PackedSize = 7;
    w.UnpackedSize = 9;
    w.DosDate = 0x2A434C83;
    w.Attr = 0x21;
    w.Name = "DIR\\NAME.TXT";
    w.Crc = 0xBEEF;
    std::vector<uint8_t> bytes = lha::MakeLevel0(w);
    ASSERT_EQ(bytes.size(), 24u + w.Name.size());
    EXPECT_EQ(bytes[0], static_cast<uint8_t>(22 + w.Name.size()));
    EXPECT_EQ(bytes[1], lha::HeaderChecksum(bytes.data(), bytes.size()));
    bytes.resize(bytes.size() + 7, 'd');
    lha::THeader h;
    ASSERT_EQ(lha::ParseHeader(bytes.data(), bytes.size(), 0, h), lha::TParse::Ok);
    EXPECT_EQ(std::string(h.Method, 5), "-lh5-");
    EXPECT_EQ(h.Name, w.Name);
    EXPECT_EQ(h.PackedSize, 7);
    EXPECT_EQ(h.UnpackedSize, 9u);
    EXPECT_EQ(h.Stamp, w.DosDate);
    EXPECT_EQ(h.Attr, 0x21);
    EXPECT_EQ(h.Crc, 0xBEEF);
    EXPECT_EQ(h.Next, static_cast<int64_t>(bytes.size()));

    // The size byte holds 22 + the name: 233 bytes at most.
    w.Name.assign(233, 'n');
    EXPECT_EQ(lha::MakeLevel0(w).size(), 257u);
    w.Name.assign(234, 'n');
    EXPECT_TRUE(lha::MakeLevel0(w).empty());

    bh::THeader b;
    b.EntrySize = 37 + 5;
    b.VersionMadeBy = 122;
    b.VersionNeeded = 112;
    b.Flags = 1;
    b.Method = 1;
    b.DosDate = 0x2A434C83;
    b.PackedSize = 112;
    b.UnpackedSize = 300;
    b.Crc = 0xCAFEF00D;
    b.Attr = 0x20;
    b.NameLength = 5;
    const auto raw = b.Bytes();
    bh::THeader back;
    ASSERT_TRUE(bh::THeader::Parse(raw.data(), raw.size(), back));
    EXPECT_EQ(back.Bytes(), raw);
    EXPECT_TRUE(back.Encrypted());
    EXPECT_EQ(back.DataOffset(), 42);
    EXPECT_FALSE(bh::THeader::Parse(raw.data(), 36, back));
    EXPECT_TRUE(bh::LooksLikeHeader(raw.data(), raw.size()));
    // The BH program's own code holds the signature too.
    const uint8_t code[] = {0x42, 0x48, 0x05, 0x07, 0x0F, 0x94, 0xC3, 0x84};
    EXPECT_FALSE(bh::LooksLikeHeader(code, sizeof code));
}

}  // namespace
}  // namespace bramble
