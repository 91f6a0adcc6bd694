// The LZH family's codecs: the static-Huffman decoder over every stream of
// its methods in the corpus and the peer-made fixtures (LHA -lh4- to -lh6-
// of many LHA programs, jlha, arj methods 1-3), the -lh1- coder the same way
// and in round trips, the -lh5- encoder in both its builds, and damaged
// streams of each fault family.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/codecs/lh5encode.h"
#include "engine/codecs/lzhdecode.h"
#include "engine/codecs/lzhuf.h"
#include "engine/core/crc.h"
#include "engine/core/os.h"
#include "engine/core/zipcrypt.h"
#include "engine/formats/lha.h"
#include "support/testenv.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// One run of a codec over bytes in memory, its output in memory.
struct Decoded {
    std::string out;    // what was written, unless only counted
    int64_t written = 0;
    uint32_t check = 0;
    std::vector<int> errors;
    bool ok = false;  // what the decoder returned
};

// A component whose kind (which picks the cipher) a test may set.
class Probe : public TZipCommon {
public:
    void SetKind(TArcType t) { arcType_ = t; }
};

struct Owner {
    Probe c;
    TMemoryStream sink;
    std::vector<int> errors;

    explicit Owner(const std::string& in, TArcType kind = atNA) {
        c.InputSource = isMemory;
        c.MemoryBlock = reinterpret_cast<const uint8_t*>(in.data());
        c.MemoryLeft = static_cast<int64_t>(in.size());
        c.OutputTarget = otCallerStream;
        c.StreamB = &sink;
        c.ProgressHook = nullptr;
        c.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        c.SetKind(kind);
    }
    int64_t written = 0;
    // Decoded output is checked and counted, not kept (the corpus holds
    // hundreds of megabytes of it).
    void CountOnly() {
        c.OutputTarget = otTest;
        TWriteHook write = c.ExtractWriteHook;
        c.ExtractWriteHook = [this, write](TStream* s, bool data, int64_t n, int k, bool d, const uint8_t* b) {
            written += n;
            return write(s, data, n, k, d, b);
        };
    }
    Decoded Result(bool ok) {
        Decoded r;
        r.out.assign(reinterpret_cast<const char*>(sink.Data().data()), sink.Data().size());
        r.written = written ? written : static_cast<int64_t>(r.out.size());
        r.check = c.Crc;
        r.errors = errors;
        r.ok = ok;
        return r;
    }
};

Decoded Decode(const std::string& packed, const TLzhParams& p, int64_t size, TArcType kind = atNA,
               bool keep = true) {
    Owner o(packed, kind);
    if (!keep) o.CountOnly();
    o.c.Crc = p.CrcKind == 32 ? 0xFFFFFFFFu : 0;
    const bool ok = LzhDecode(o.c, p, nullptr, nullptr, static_cast<int64_t>(packed.size()), size);
    return o.Result(ok);
}

Decoded DecodeLh1(const std::string& packed, int64_t size, bool keep = true) {
    Owner o(packed);
    if (!keep) o.CountOnly();
    const bool ok = LzhufDecode(o.c, nullptr, nullptr, static_cast<int64_t>(packed.size()), size);
    return o.Result(ok);
}

struct Encoded {
    std::string packed;
    uint32_t check = 0;
    bool incompressible = false;
};

Encoded EncodeLh5(const std::string& in, int crcKind, bool encrypt = false, TArcType kind = atNA) {
    Owner o(in, kind);
    o.c.Crc = crcKind == 32 ? 0xFFFFFFFFu : 0;
    Encoded e;
    const int64_t n = LzhEncode(o.c, crcKind, encrypt, nullptr, nullptr, static_cast<int64_t>(in.size()),
                                e.incompressible);
    e.packed.assign(reinterpret_cast<const char*>(o.sink.Data().data()), o.sink.Data().size());
    e.check = o.c.Crc;
    EXPECT_TRUE(e.incompressible || n == static_cast<int64_t>(e.packed.size()));
    return e;
}

Encoded EncodeLh1(const std::string& in) {
    Owner o(in);
    Encoded e;
    const int64_t n = LzhufEncode(o.c, nullptr, nullptr, static_cast<int64_t>(in.size()));
    e.packed.assign(reinterpret_cast<const char*>(o.sink.Data().data()), o.sink.Data().size());
    e.check = o.c.Crc;
    EXPECT_EQ(n, static_cast<int64_t>(e.packed.size()));
    return e;
}

uint16_t Crc16Of(const std::string& s) {
    uint16_t r = 0;
    Crc16Block(s.data(), s.size(), r);
    return r;
}

// Every file below Dir whose extension is one of Exts (lower case, dot
// included), as full paths.
void Walk(const std::string& dir, const std::vector<std::string>& exts, std::vector<std::string>& out) {
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(Join(dir, "*"), fd); rc == 0; rc = finder.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        const std::string path = Join(dir, fd.name);
        if (fd.attributes & os::faDirectory) {
            Walk(path, exts, out);
            continue;
        }
        std::string ext = fd.name.substr(std::min(fd.name.size(), fd.name.find_last_of('.')));
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string& e : exts)
            if (ext == e) out.push_back(path);
    }
    finder.Close();
}

// The LHA entries of an archive file, read with the header module.
struct Entry {
    lha::THeader h;
    std::string packed;
};
std::vector<Entry> LhaEntries(const std::string& path) {
    const std::string bytes = ReadAll(path);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::vector<Entry> entries;
    int64_t at = lha::FirstHeaderOffset(
        [&](int64_t o, void* b, int64_t n) -> int64_t {
            if (o < 0 || o >= static_cast<int64_t>(bytes.size())) return 0;
            n = std::min<int64_t>(n, static_cast<int64_t>(bytes.size()) - o);
            std::memcpy(b, data + o, static_cast<size_t>(n));
            return n;
        },
        0);
    for (lha::THeader h; lha::ParseHeader(data, bytes.size(), at, h) == lha::TParse::Ok; at = h.Next) {
        if (h.Next > static_cast<int64_t>(bytes.size())) break;
        entries.push_back({h, bytes.substr(static_cast<size_t>(h.DataOffset), static_cast<size_t>(h.PackedSize))});
    }
    return entries;
}

std::vector<std::string> LhaArchives() {
    std::vector<std::string> archives;
    if (test::CorpusPresent()) Walk(test::CorpusDir(), {".lzh", ".lha"}, archives);
    for (const char* f : {"plain.lzh", "level0.lzh", "level1.lzh", "lzh/o5.lzh", "lzh/o6.lzh", "lzh/o7.lzh"})
        archives.push_back(Fixture(f));
    return archives;
}

// The first entry of an ARJ archive: the data behind its file header, with
// its method, sizes and CRC-32.
struct ArjEntry {
    int method = -1;
    std::string packed;
    int64_t size = 0;
    uint32_t crc = 0;
};
ArjEntry FirstArjEntry(const std::string& bytes) {
    auto le16 = [&](size_t at) { return static_cast<size_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
    auto le32 = [&](size_t at) { return uint32_t(le16(at)) | uint32_t(le16(at + 2)) << 16; };
    // A header: 60 EA, size, the header, its CRC-32, extended headers (none).
    auto skip = [&](size_t at) { return at + 4 + le16(at + 2) + 4 + 2; };
    ArjEntry e;
    if (bytes.size() < 64) return e;
    const size_t file = skip(0);
    const size_t basic = file + 4;
    const size_t data = skip(file);
    e.method = uint8_t(bytes[basic + 5]);
    const uint32_t packed = le32(basic + 12);
    e.size = le32(basic + 16);
    e.crc = le32(basic + 20);
    if (data + packed <= bytes.size()) e.packed = bytes.substr(data, packed);
    return e;
}

// ---- the static-Huffman decoder ------------------------------------------------------

TEST(LzhDecode, EveryStreamOfItsMethodsDecodesWithItsCheckValue) {
    struct Case {
        std::string name;
        std::string packed;
        TLzhParams params;
        int64_t size;
        uint32_t check;
    };
    std::vector<Case> cases;
    std::map<char, int> perMethod;
    for (const std::string& archive : LhaArchives()) {
        for (const Entry& e : LhaEntries(archive)) {
            const lha::TMethod m = lha::MethodOf(e.h.Method);
            if (m != lha::TMethod::Lh4 && m != lha::TMethod::Lh5 && m != lha::TMethod::Lh6) continue;
            const TLzhParams p = m == lha::TMethod::Lh4 ? lzh::kLh4 : m == lha::TMethod::Lh5 ? lzh::kLh5 : lzh::kLh6;
            cases.push_back({archive + ": " + e.h.Name, e.packed, p, e.h.UnpackedSize, e.h.Crc});
            ++perMethod[e.h.Method[3]];
        }
    }
    // ARJ methods 1-3 are the same stream with a 64 KB position alphabet.
    for (int m = 1; m <= 3; ++m) {
        const ArjEntry a = FirstArjEntry(ReadAll(Fixture("lzh/arjm" + std::to_string(m) + ".arj")));
        ASSERT_EQ(a.method, m);
        cases.push_back({"arj -m" + std::to_string(m), a.packed, lzh::Arj(false), a.size, a.crc});
    }
    if (test::CorpusPresent()) {
        EXPECT_GE(perMethod['4'], 2);
        EXPECT_GE(perMethod['5'], 60);
        EXPECT_GE(perMethod['6'], 10);
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded r = Decode(c.packed, c.params, c.size, atNA, false);
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(r.written, c.size);
        EXPECT_EQ(c.params.CrcKind == 32 ? ~r.check : r.check & 0xFFFF, c.check);
    }

    // Matches 30000 bytes back need the 32768-byte window of -lh6-.
    for (const Entry& e : LhaEntries(Fixture("lzh/o6.lzh"))) {
        if (e.h.Name != "far.bin") continue;
        TLzhParams narrow = lzh::kLh6;
        narrow.Mode = 3;
        const Decoded r = Decode(e.packed, narrow, e.h.UnpackedSize);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errors, std::vector<int>{25120});
    }
    if (!test::CorpusPresent()) GTEST_SKIP() << "decoded the fixtures only: " << test::CorpusAbsent();
}

// A stream written bit by bit, most significant first.
struct Bits {
    std::string bytes;
    int used = 0;
    Bits& Put(int n, uint32_t v) {
        while (n > 0) {
            if (used == 0) bytes.push_back('\0');
            const int take = std::min(n, 8 - used);
            const uint32_t part = (v >> (n - take)) & ((1u << take) - 1);
            bytes.back() = static_cast<char>(bytes.back() | part << (8 - used - take));
            used = (used + take) & 7;
            n -= take;
        }
        return *this;
    }
};

TEST(LzhDecode, DamagedStreamsFailTheirEntryWithOneReport) {
    const std::string text = ReadAll(Join(Fixture("in"), "about.txt"));
    const std::string good = EncodeLh5(text, 16).packed;
    struct Case {
        const char* what;
        std::string stream;
        TLzhParams params;
        int error;
    };
    const Case cases[] = {
        // Three codes of one bit: more than the code space holds.
        {"over-full code lengths", Bits().Put(16, 1).Put(5, 3).Put(3, 1).Put(3, 1).Put(3, 1).Put(2, 0).bytes,
         lzh::kLh5, 25120},
        {"incomplete code lengths", Bits().Put(16, 1).Put(5, 3).Put(3, 1).Put(3, 2).Put(3, 0).Put(2, 0).bytes,
         lzh::kLh5, 25120},
        {"more code lengths than symbols", Bits().Put(16, 1).Put(5, 20).bytes, lzh::kLh5, 25120},
        {"constant code-length symbol out of range", Bits().Put(16, 1).Put(5, 0).Put(5, 19).bytes, lzh::kLh5, 25120},
        {"constant literal/length symbol out of range",
         Bits().Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 510).bytes, lzh::kLh5, 25120},
        {"literal/length count beyond the alphabet", Bits().Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 511).bytes,
         lzh::kLh5, 25120},
        {"code length of 17 bits", Bits().Put(16, 1).Put(5, 1).Put(3, 7).Put(11, 0x7FF).Put(2, 0).bytes, lzh::kLh5,
         25120},
        // One match, length 3, position 2^15 + x: beyond ARJ's 26624-byte window.
        {"match beyond the window",
         Bits().Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 256).Put(5, 0).Put(5, 16).Put(15, 5).bytes,
         lzh::Arj(false), 25120},
        {"data cut inside the entry", good.substr(0, good.size() / 2), lzh::kLh5, 25236},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Decoded r = Decode(c.stream, c.params, static_cast<int64_t>(text.size()));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errors, std::vector<int>{c.error});
        EXPECT_LT(r.out.size(), text.size());
        // What came before the fault is written and is right.
        EXPECT_EQ(r.out, text.substr(0, r.out.size()));
    }

    // A write that fails (a full disk) is not the entry's fault: it ends
    // the run, whatever the decoder was doing.
    struct Full : TStream {
        int64_t Read(void*, int64_t) override { return 0; }
        int64_t Write(const void*, int64_t n) override { return n / 2; }
        bool Seek(int64_t) override { return true; }
        int64_t Position() const override { return 0; }
        int64_t Size() const override { return 0; }
        bool SetSize(int64_t) override { return true; }
    } full;
    Owner o(good);
    o.c.StreamB = &full;
    try {
        LzhDecode(o.c, lzh::kLh5, nullptr, nullptr, static_cast<int64_t>(good.size()),
                  static_cast<int64_t>(text.size()));
        ADD_FAILURE() << "a short write went unnoticed";
    } catch (const E_RAISE& e) {
        EXPECT_EQ(e.Code(), 25136);
    }
}

// A block of literals only, each coded in Width bits: its code-length
// code is the one symbol Width + 2 (lengths of Width for all 2^Width
// literals), its position code the one symbol 0.
void LiteralBlock(Bits& b, const std::string& literals, int width) {
    b.Put(16, static_cast<uint32_t>(literals.size()));
    b.Put(5, 0).Put(5, static_cast<uint32_t>(width + 2));
    b.Put(9, 1u << width);
    b.Put(4, 0).Put(4, 0);
    for (char c : literals) b.Put(width, static_cast<uint8_t>(c));
}

#ifndef _WIN32
using test::Peer;
#endif

TEST(LzhDecode, ConstantCodeLengthCodesAcrossTheInputBlocks) {
    // A constant code-length code takes no bits, so the literal/length
    // lengths are read with the register left as full as a refill made it.
    // Before the third block's lengths, the input moves on to its second
    // 32 KB block: the first block's 1-bit literals and the second's 8-bit
    // ones put that at every bit and byte offset of the register.
    struct Stream {
        std::string packed, unpacked;
    };
    std::vector<Stream> streams;
    for (int bits = 1; bits <= 8; ++bits) {
        for (int bytes = 32740; bytes < 32756; ++bytes) {
            std::string ones, text, tail;
            for (int i = 0; i < bits; ++i) ones.push_back(static_cast<char>(i & 1));
            for (int i = 0; i < bytes; ++i) text.push_back(static_cast<char>(i * 7 + bits));
            // Enough for the second input block to fill the register.
            while (tail.size() < 200) tail += "the end\r\n\x90";
            Bits b;
            LiteralBlock(b, ones, 1);
            LiteralBlock(b, text, 8);
            LiteralBlock(b, tail, 8);
            streams.push_back({b.bytes, ones + text + tail});
        }
    }
    for (const Stream& s : streams) {
        const Decoded r = Decode(s.packed, lzh::kLh5, static_cast<int64_t>(s.unpacked.size()));
        ASSERT_TRUE(r.ok) << s.unpacked.size();
        ASSERT_TRUE(r.out == s.unpacked) << s.unpacked.size();
    }

#ifndef _WIN32
    // The streams are -lh5- as LHA knows it: lhasa tests them all.
    if (Peer("command -v lhasa").first != 0) GTEST_SKIP() << "lhasa is not installed";
    std::string archive;
    for (size_t i = 0; i < streams.size(); ++i) {
        lha::TLevel0 h;
        h.Digit = '5';
        h.PackedSize = static_cast<uint32_t>(streams[i].packed.size());
        h.UnpackedSize = static_cast<uint32_t>(streams[i].unpacked.size());
        h.Name = "s" + std::to_string(i);
        h.Crc = Crc16Of(streams[i].unpacked);
        const std::vector<uint8_t> head = lha::MakeLevel0(h);
        archive.append(head.begin(), head.end());
        archive += streams[i].packed;
    }
    archive.push_back('\0');
    const std::string path = Join(test::ScratchDir("lzh-constant"), "constant.lzh");
    test::WriteAll(path, archive);
    const auto [status, says] = Peer("lhasa t '" + path + "'");
    EXPECT_EQ(status, 0) << says;
    EXPECT_EQ(static_cast<size_t>(std::count(says.begin(), says.end(), '\n')), streams.size()) << says;
    EXPECT_EQ(says.find("CRC"), std::string::npos) << says;
#endif
}

// ---- the -lh5- encoder ----------------------------------------------------------------

TEST(LzhEncode, BothBuildsRoundTripThroughTheDecoder) {
    const std::string about = ReadAll(Join(Fixture("in"), "about.txt"));
    const std::string big = ReadAll(Join(Fixture("in"), "big.bin"));
    std::string random;
    for (uint32_t x = 12345; random.size() < 50000;) {
        x = x * 1103515245u + 12345u;
        random.push_back(static_cast<char>(x >> 24));
    }
    struct Case {
        const char* what;
        std::string data;
        bool incompressible;
    };
    const Case cases[] = {
        {"text", about + about, false},
        {"mixed binary", big, false},
        // Later blocks hold one match symbol and one position only: the
        // single-symbol forms.
        // The first literal, then matches of 256 only.
        {"a run of one byte, blocks of one symbol", std::string(1 + 256 * 11718, 'z'), false},
        {"random bytes", random, true},
        {"a few bytes", "abc", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Encoded lha = EncodeLh5(c.data, 16);
        ASSERT_EQ(lha.incompressible, c.incompressible);
        EXPECT_EQ(lha.check, Crc16Of(c.data));
        if (c.incompressible) continue;
        EXPECT_LT(lha.packed.size(), c.data.size());
        const Decoded back = Decode(lha.packed, lzh::kLh5, static_cast<int64_t>(c.data.size()));
        EXPECT_TRUE(back.ok && back.out == c.data);

        // BH's build: CRC-32 of the source, the packed bytes enciphered on
        // the way out and deciphered on the way in.
        ZipInitKeys("secret");
        const Encoded bh = EncodeLh5(c.data, 32, true, atBh);
        uint32_t crc = 0xFFFFFFFFu;
        Crc32Block(c.data.data(), c.data.size(), crc);
        EXPECT_EQ(bh.check, crc);
        EXPECT_NE(bh.packed, lha.packed);
        ZipInitKeys("secret");
        const Decoded fused = Decode(bh.packed, lzh::Bh(true), static_cast<int64_t>(c.data.size()), atBh);
        EXPECT_TRUE(fused.ok && fused.out == c.data);
        EXPECT_EQ(fused.check, crc);

        // ZOO's streams end with a block of no symbols.
        const std::string zoo = lha.packed + std::string(2, '\0');
        const Decoded z = Decode(zoo, lzh::kZoo, static_cast<int64_t>(c.data.size()));
        EXPECT_TRUE(z.ok && z.out == c.data);
    }
}

TEST(LzhDecode, AStreamWithItsEndBlockEndsAtTheEntrysSizeOrFails) {
    // A literal, then matches of 256 bytes, ended by a block of no
    // symbols: claims of other sizes than the stream's. ZOO's streams are
    // held to their end block; LHA's, which have none, end at the size.
    const std::string data(1 + 256 * 40, 'z');
    const std::string packed = EncodeLh5(data, 16).packed + std::string(2, '\0');
    const int64_t size = static_cast<int64_t>(data.size());
    struct Case {
        const char* what;
        int64_t claim;
        std::vector<int> zoo;  // the faults reported
    };
    const Case cases[] = {
        {"the stream's own size", size, {}},
        {"4 GB", int64_t{0xFFFFFFFF}, {25109}},
        {"a byte more", size + 1, {25109}},
        {"inside the last match", size - 100, {25109}},
        {"at the end of a match", size - 256, {25109}},
        {"the first byte only", 1, {25109}},
        {"nothing", 0, {25109}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Decoded z = Decode(packed, lzh::kZoo, c.claim);
        EXPECT_EQ(z.errors, c.zoo);
        EXPECT_EQ(z.ok, c.zoo.empty());
        // Never more than the claim, and what is written is right.
        EXPECT_EQ(z.out, data.substr(0, static_cast<size_t>(std::min(c.claim, size))));
        const Decoded l = Decode(packed, lzh::kLh5, c.claim);
        EXPECT_TRUE(l.errors.empty());
        EXPECT_TRUE(l.ok);
        EXPECT_EQ(l.out, z.out);
    }
    // A stream that ends with its last block, without the end block, is
    // taken when the size is reached there; another block there is more
    // than the entry holds.
    const std::string blocks = packed.substr(0, packed.size() - 2);
    const Decoded bare = Decode(blocks, lzh::kZoo, size);
    EXPECT_TRUE(bare.ok && bare.out == data);
    EXPECT_TRUE(bare.errors.empty());
    const Decoded more = Decode(blocks + packed, lzh::kZoo, size);
    EXPECT_EQ(more.errors, std::vector<int>{25109});
    EXPECT_EQ(more.out, data);
}

// ---- the -lh1- coder ------------------------------------------------------------------

TEST(Lzhuf, CorpusStreamsDecodeAndOwnStreamsRoundTrip) {
    int decoded = 0;
    for (const std::string& archive : LhaArchives()) {
        for (const Entry& e : LhaEntries(archive)) {
            if (lha::MethodOf(e.h.Method) != lha::TMethod::Lh1) continue;
            SCOPED_TRACE(archive + ": " + e.h.Name);
            const Decoded r = DecodeLh1(e.packed, e.h.UnpackedSize, false);
            EXPECT_TRUE(r.ok);
            EXPECT_EQ(r.written, e.h.UnpackedSize);
            EXPECT_EQ(r.check & 0xFFFF, e.h.Crc);
            ++decoded;
        }
    }
    if (test::CorpusPresent()) {
        EXPECT_GE(decoded, 20);
    }

    const std::string about = ReadAll(Join(Fixture("in"), "about.txt"));
    std::string text;  // enough symbols for the frequencies to be halved several times
    while (text.size() < 400000) text += about;
    struct Case {
        const char* what;
        std::string data;
    };
    const Case cases[] = {
        {"blanks, a match into the blank start", std::string(60, ' ')},
        {"a run longer than the longest match", std::string(1000, 'q')},
        {"text, the tree rebuilt on the way", text},
        {"mixed binary", ReadAll(Join(Fixture("in"), "big.bin"))},
        {"one byte", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Encoded e = EncodeLh1(c.data);
        EXPECT_EQ(e.check, Crc16Of(c.data));
        const Decoded back = DecodeLh1(e.packed, static_cast<int64_t>(c.data.size()));
        EXPECT_TRUE(back.ok);
        EXPECT_EQ(back.out, c.data);
        EXPECT_EQ(back.check, Crc16Of(c.data));
    }
    // 60 blanks are one symbol and one position: a handful of bytes.
    EXPECT_LE(EncodeLh1(std::string(60, ' ')).packed.size(), 4u);

    // Cut inside the entry: it stops where the data ends, fails, and writes
    // nothing made up beyond what it decoded.
    const std::string packed = EncodeLh1(text).packed;
    const Decoded cut = DecodeLh1(packed.substr(0, packed.size() / 3), static_cast<int64_t>(text.size()));
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.errors, std::vector<int>{25236});
    EXPECT_LT(cut.out.size(), text.size() / 2);
    EXPECT_EQ(cut.out, text.substr(0, cut.out.size()));
}

}  // namespace
}  // namespace bramble
