#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/codecs/deflate.h"
#include "engine/core/crc.h"
#include "engine/core/messages.h"
#include "engine/core/zipcommon.h"
#include "engine/core/zipcrypt.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using Bytes = std::vector<uint8_t>;

// ---- an independent decoder, written straight from RFC 1951 ----------------
// Slow and simple on purpose; besides the bytes it reports what the stream
// used, so tests can check the encoder's choices.

struct Decoded {
    bool ok = false;
    Bytes data;
    std::vector<int> blockTypes;  // 0 stored, 1 fixed, 2 dynamic, per block
    unsigned maxDistance = 0;
    unsigned farShortMatches = 0;  // length 3 with distance > 4096
    size_t bytesUsed = 0;          // stream bytes up to the end of the final block
};

class Inflater {
public:
    explicit Inflater(const Bytes& in) : in_(in) {}

    Decoded Run() {
        Decoded d;
        try {
            bool last = false;
            while (!last) {
                last = Bits(1) != 0;
                int type = static_cast<int>(Bits(2));
                d.blockTypes.push_back(type);
                if (type == 0) Stored(d);
                else if (type == 1) Fixed(d);
                else if (type == 2) Dynamic(d);
                else return d;
            }
            d.bytesUsed = pos_;
            d.ok = true;
        } catch (const char*) {
        }
        return d;
    }

private:
    struct Huff {
        std::vector<uint16_t> count, symbol;
    };

    unsigned Bits(unsigned n) {
        unsigned v = 0;
        for (unsigned i = 0; i < n; ++i) {
            if (bitPos_ == 0) {
                if (pos_ >= in_.size()) throw "eof";
                cur_ = in_[pos_++];
            }
            v |= ((cur_ >> bitPos_) & 1u) << i;
            bitPos_ = (bitPos_ + 1) & 7;
        }
        return v;
    }

    static Huff Make(const uint8_t* lens, unsigned n) {
        Huff h;
        h.count.assign(16, 0);
        for (unsigned i = 0; i < n; ++i) ++h.count[lens[i]];
        int left = 1;
        for (int l = 1; l < 16; ++l) {
            left = left * 2 - h.count[l];
            if (left < 0) throw "over-subscribed";
        }
        std::vector<uint16_t> offs(16, 0);
        for (int l = 1; l < 15; ++l) offs[l + 1] = static_cast<uint16_t>(offs[l] + h.count[l]);
        h.symbol.assign(n, 0);
        for (unsigned i = 0; i < n; ++i)
            if (lens[i]) h.symbol[offs[lens[i]]++] = static_cast<uint16_t>(i);
        return h;
    }

    unsigned Decode(const Huff& h) {
        int code = 0, first = 0, index = 0;
        for (int l = 1; l < 16; ++l) {
            code |= static_cast<int>(Bits(1));
            int count = h.count[l];
            if (code - count < first) return h.symbol[static_cast<size_t>(index + (code - first))];
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        throw "bad code";
    }

    void Stored(Decoded& d) {
        bitPos_ = 0;
        if (pos_ + 4 > in_.size()) throw "eof";
        unsigned len = in_[pos_] | in_[pos_ + 1] << 8;
        unsigned nlen = in_[pos_ + 2] | in_[pos_ + 3] << 8;
        pos_ += 4;
        if (len != (~nlen & 0xFFFF)) throw "bad stored length";
        if (pos_ + len > in_.size()) throw "eof";
        d.data.insert(d.data.end(), in_.begin() + static_cast<long>(pos_), in_.begin() + static_cast<long>(pos_ + len));
        pos_ += len;
    }

    void Codes(Decoded& d, const Huff& lit, const Huff& dist) {
        static const uint16_t lbase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const uint8_t lext[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const uint16_t dbase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                           33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static const uint8_t dext[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        for (;;) {
            unsigned sym = Decode(lit);
            if (sym < 256) {
                d.data.push_back(static_cast<uint8_t>(sym));
            } else if (sym == 256) {
                return;
            } else {
                sym -= 257;
                if (sym >= 29) throw "bad length";
                unsigned len = lbase[sym] + Bits(lext[sym]);
                unsigned ds = Decode(dist);
                if (ds >= 30) throw "bad distance";
                unsigned dd = dbase[ds] + Bits(dext[ds]);
                if (dd > d.data.size() || dd > 32768) throw "too far";
                d.maxDistance = std::max(d.maxDistance, dd);
                if (len == 3 && dd > 4096) ++d.farShortMatches;
                for (unsigned i = 0; i < len; ++i) d.data.push_back(d.data[d.data.size() - dd]);
            }
        }
    }

    void Fixed(Decoded& d) {
        uint8_t l[288], dl[30];
        for (int i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        std::memset(dl, 5, sizeof dl);
        Codes(d, Make(l, 288), Make(dl, 30));
    }

    void Dynamic(Decoded& d) {
        static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        unsigned nlen = Bits(5) + 257, ndist = Bits(5) + 1, ncode = Bits(4) + 4;
        if (nlen > 286 || ndist > 30) throw "bad counts";
        uint8_t lens[320] = {};
        for (unsigned i = 0; i < ncode; ++i) lens[order[i]] = static_cast<uint8_t>(Bits(3));
        Huff cl = Make(lens, 19);
        std::memset(lens, 0, sizeof lens);
        for (unsigned i = 0; i < nlen + ndist;) {
            unsigned sym = Decode(cl);
            if (sym < 16) {
                lens[i++] = static_cast<uint8_t>(sym);
                continue;
            }
            unsigned rep, val = 0;
            if (sym == 16) {
                if (i == 0) throw "repeat without length";
                val = lens[i - 1];
                rep = 3 + Bits(2);
            } else if (sym == 17) {
                rep = 3 + Bits(3);
            } else {
                rep = 11 + Bits(7);
            }
            if (i + rep > nlen + ndist) throw "too many lengths";
            while (rep--) lens[i++] = static_cast<uint8_t>(val);
        }
        if (lens[256] == 0) throw "no end code";
        Codes(d, Make(lens, nlen), Make(lens + nlen, ndist));
    }

    const Bytes& in_;
    size_t pos_ = 0;
    unsigned bitPos_ = 0;
    uint8_t cur_ = 0;
};

// ---- helpers -------------------------------------------------------------------

class Owner : public TZipCommon {
public:
    void SetKind(TArcType t) { arcType_ = t; }
};

struct Packed {
    Bytes out;
    int64_t count = 0;
    uint16_t method = 0xFFFF;
    uint32_t crc = 0;
};

Packed Compress(const Bytes& in, TDeflateType level, bool allowRaw = false, Owner* owner = nullptr,
             bool encrypt = false) {
    Owner local;
    Owner& c = owner ? *owner : local;
    TMemoryStream out;
    c.InputSource = isMemory;
    c.MemoryBlock = in.data();
    c.MemoryLeft = int64_t(in.size());
    c.OutputTarget = otCallerStream;
    c.StreamB = &out;
    c.Crc = 0xFFFFFFFF;
    Packed r;
    r.count = Deflate(c, level, encrypt, nullptr, nullptr, int64_t(in.size()), allowRaw, r.method);
    r.out = out.Data();
    r.crc = c.Crc;
    return r;
}

uint32_t Crc32Of(const Bytes& b) {
    uint32_t r = 0xFFFFFFFF;
    Crc32Block(b.data(), b.size(), r);
    return r;
}

Bytes Random(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

// Text-like data: words from a small vocabulary with random spacing.
Bytes Wordy(size_t n, uint32_t seed) {
    static const char* words[] = {"template", "typename", "const", "return", "static_cast", "std::vector",
                                  "namespace", "operator", "{", "}", ";", "(", ")", "int", "size_t", "if",
                                  "else", "for", "while", "value", "iterator", "allocator", "// comment"};
    std::mt19937 g(seed);
    Bytes b;
    while (b.size() < n) {
        const char* w = words[g() % (sizeof words / sizeof *words)];
        b.insert(b.end(), w, w + std::strlen(w));
        b.push_back(g() % 7 == 0 ? '\n' : ' ');
    }
    b.resize(n);
    return b;
}

const TDeflateType kLevels[] = {dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX};

// Compresses at every level and checks the stream gives the input back,
// that the count and the running CRC are right; returns the decodings.
std::vector<Decoded> RoundTripAllLevels(const Bytes& in, const char* what) {
    std::vector<Decoded> all;
    for (TDeflateType level : kLevels) {
        SCOPED_TRACE(std::string(what) + " level " + std::to_string(DeflateLevelOf(level)));
        Packed r = Compress(in, level);
        EXPECT_EQ(r.method, 8);
        EXPECT_EQ(r.count, int64_t(r.out.size()));
        EXPECT_EQ(r.crc, Crc32Of(in));
        Decoded d = Inflater(r.out).Run();
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.bytesUsed, r.out.size()) << "bytes after the final block";
        EXPECT_TRUE(d.data == in) << "decoded " << d.data.size() << " of " << in.size() << " bytes";
        all.push_back(std::move(d));
    }
    return all;
}

// ---- tests -----------------------------------------------------------------------

TEST(Deflate, EmptyInputGivesEmptyStreamOrEmptyStoredEntry) {
    for (TDeflateType level : kLevels) {
        Packed r = Compress({}, level);
        EXPECT_EQ(r.method, 8);
        EXPECT_EQ(r.out, (Bytes{0x03, 0x00}));
        EXPECT_EQ(r.count, 2);
        Decoded d = Inflater(r.out).Run();
        EXPECT_TRUE(d.ok);
        EXPECT_TRUE(d.data.empty());

        // The ZIP writer gets an empty stored entry instead.
        Packed z = Compress({}, level, true);
        EXPECT_EQ(z.method, 0);
        EXPECT_EQ(z.count, 0);
        EXPECT_TRUE(z.out.empty());
        EXPECT_EQ(z.crc, 0xFFFFFFFFu);
    }
}

TEST(Deflate, TinyInputsRoundTripAtEveryLevel) {
    RoundTripAllLevels({'x'}, "1 byte");
    RoundTripAllLevels({'a', 'b'}, "2 bytes");
    RoundTripAllLevels({'a', 'a', 'a', 'a'}, "4 same bytes");
    RoundTripAllLevels(Wordy(300, 1), "300 bytes of words");
}

TEST(Deflate, IncompressibleDataGoesIntoStoredBlocks) {
    for (size_t n : {size_t(100), size_t(65535), size_t(70000), size_t(300000)}) {
        Bytes in = Random(n, uint32_t(n));
        auto decoded = RoundTripAllLevels(in, ("random " + std::to_string(n)).c_str());
        for (const Decoded& d : decoded) {
            for (int t : d.blockTypes) EXPECT_EQ(t, 0) << "random " << n;
        }
        // Stored blocks cost 5 bytes each and hold up to 64K: the output
        // barely grows.
        Packed r = Compress(in, dtDeflateX);
        EXPECT_LE(r.out.size(), n + 5 * (n / 32000 + 2));
    }
}

TEST(Deflate, WholeInputIsStoredRawOnlyWhenTheCallerAllowsIt) {
    Bytes in = Random(100, 7);
    for (TDeflateType level : kLevels) {
        Packed raw = Compress(in, level, true);
        EXPECT_EQ(raw.method, 0);
        EXPECT_EQ(raw.out, in);  // no block header at all
        EXPECT_EQ(raw.count, 100);
        EXPECT_EQ(raw.crc, Crc32Of(in));

        Packed wrapped = Compress(in, level, false);
        EXPECT_EQ(wrapped.method, 8);
        EXPECT_EQ(wrapped.out.size(), 105u);  // one final stored block
        Decoded d = Inflater(wrapped.out).Run();
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.blockTypes, std::vector<int>{0});
        EXPECT_EQ(d.data, in);
    }
    // Compressible data stays deflated even when raw storing is allowed.
    Bytes text = Wordy(5000, 3);
    Packed c = Compress(text, dtDeflateN, true);
    EXPECT_EQ(c.method, 8);
    EXPECT_EQ(Inflater(c.out).Run().data, text);
    // More random data than one block can hold is never stored raw: the
    // stream is a valid deflate stream of stored blocks.
    Bytes big = Random(200000, 9);
    Packed b = Compress(big, dtDeflateS, true);
    EXPECT_EQ(b.method, 8);
    EXPECT_EQ(Inflater(b.out).Run().data, big);
}

TEST(Deflate, RepetitiveDataShrinksToAlmostNothing) {
    Bytes same(1 << 20, 'a');
    Bytes pattern;
    for (int i = 0; i < 100000; ++i) pattern.push_back(static_cast<uint8_t>("abcdefg"[i % 7]));
    for (const Bytes* in : {&same, &pattern}) {
        RoundTripAllLevels(*in, "repetitive");
        for (TDeflateType level : kLevels) EXPECT_LT(Compress(*in, level).out.size(), in->size() / 100);
    }
}

TEST(Deflate, MatchesReachTheFarthestDistanceAndAcrossWindowSlides) {
    // A random block repeated at the farthest distance the encoder looks back.
    const size_t far = 32506;
    Bytes block = Random(far, 11);
    Bytes in = block;
    in.insert(in.end(), block.begin(), block.end());
    in.insert(in.end(), block.begin(), block.end());
    for (const Decoded& d : RoundTripAllLevels(in, "farthest")) {
        EXPECT_EQ(d.maxDistance, far);
        EXPECT_NE(d.blockTypes.back(), 0);
    }
    EXPECT_LT(Compress(in, dtDeflateS).out.size(), far + far / 10);

    // One byte farther is out of reach: the repeat stays literal (stored).
    Bytes block2 = Random(32768, 12);
    Bytes in2 = block2;
    in2.insert(in2.end(), block2.begin(), block2.end());
    for (const Decoded& d : RoundTripAllLevels(in2, "beyond")) EXPECT_LE(d.maxDistance, far);

    // Many window slides, with repeats reaching back over each slide.
    Bytes slides;
    Bytes chunk = Random(9000, 13);
    std::mt19937 g(5);
    while (slides.size() < 400000) {
        if (g() % 3 == 0) {
            Bytes fresh = Random(5000, g());
            slides.insert(slides.end(), fresh.begin(), fresh.end());
        } else {
            slides.insert(slides.end(), chunk.begin(), chunk.end());
        }
    }
    RoundTripAllLevels(slides, "slides");
}

TEST(Deflate, LevelsKeepTheirMatchRules) {
    // A 3-byte repeat more than 4096 back is not worth a match to the lazy
    // levels; the fast levels may take it.
    Bytes in = {'Q', 'X', 'Z'};
    Bytes filler = Random(6000, 21);
    for (auto& b : filler) b = static_cast<uint8_t>('a' + b % 16);  // no 'Q', 'X', 'Z'
    in.insert(in.end(), filler.begin(), filler.end());
    in.insert(in.end(), {'Q', 'X', 'Z', '#'});
    auto decoded = RoundTripAllLevels(in, "far 3-byte repeat");
    EXPECT_EQ(decoded[2].farShortMatches, 0u);
    EXPECT_EQ(decoded[3].farShortMatches, 0u);

    // On text, more effort never costs size.
    Bytes text = Wordy(400000, 4);
    auto all = RoundTripAllLevels(text, "words");
    size_t s = Compress(text, dtDeflateS).out.size(), f = Compress(text, dtDeflateF).out.size();
    size_t n = Compress(text, dtDeflateN).out.size(), x = Compress(text, dtDeflateX).out.size();
    EXPECT_LE(x, n);
    EXPECT_LE(n, f);
    EXPECT_LE(f, s);
    for (const Decoded& d : all) {
        bool dynamic = false;
        for (int t : d.blockTypes) dynamic = dynamic || t == 2;
        EXPECT_TRUE(dynamic);
    }
}

TEST(Deflate, BlockAndWindowBoundariesRoundTrip) {
    Bytes mixed = Wordy(140000, 8);
    Bytes noise = Random(140000, 9);
    for (size_t i = 0; i < mixed.size(); i += 5000) std::copy_n(noise.begin() + long(i), 700, mixed.begin() + long(i));
    for (size_t n : {size_t(257), size_t(258), size_t(259), size_t(262), size_t(32767), size_t(32768),
                     size_t(65273), size_t(65274), size_t(65275), size_t(65536), size_t(65537), size_t(131073)}) {
        Bytes in(mixed.begin(), mixed.begin() + long(n));
        RoundTripAllLevels(in, ("boundary " + std::to_string(n)).c_str());
    }
}

TEST(Deflate, EveryLengthAndDistanceCodeBetweenLiteralsRoundTrips) {
    // Each repeat sits between random literals, so literal and match symbols
    // alternate; the lengths and distances hit each side of every extra-bit
    // boundary of the length and distance codes.
    struct Case {
        unsigned len, dist;
    } cases[] = {{3, 1},     {4, 2},      {5, 3},     {6, 4},     {10, 5},    {11, 7},    {12, 8},
                 {13, 9},    {18, 13},    {19, 16},   {22, 17},   {23, 24},   {34, 25},   {35, 33},
                 {66, 64},   {67, 65},    {130, 128}, {131, 129}, {226, 256}, {227, 257}, {257, 512},
                 {258, 513}, {258, 1024}, {100, 1025}, {40, 4096}, {40, 4097}, {16, 8193}, {16, 16384},
                 {16, 16385}, {16, 24577}, {16, 32506}};
    Bytes in = Random(33000, 31);
    std::mt19937 g(32);
    for (const Case& c : cases) {
        const size_t from = in.size() - c.dist;
        for (unsigned k = 0; k < c.len; ++k) in.push_back(in[from + k]);
        for (int k = 0; k < 5; ++k) in.push_back(static_cast<uint8_t>(g()));
    }
    RoundTripAllLevels(in, "every code");
}

TEST(Deflate, InputsEndingInsideTheHashOrOnAMatchRoundTrip) {
    // Fewer bytes than a hash reads, and repeats that run to the very last
    // byte: the search must not read or match past the input's end.
    struct Case {
        const char* what;
        size_t head, repeat;  // random bytes, then that many bytes repeating them
    } cases[] = {{"3 bytes", 3, 0},       {"5 bytes", 5, 0},           {"repeat to the end", 300, 3},
                 {"4 to the end", 300, 4}, {"258 to the end", 600, 258}, {"259 to the end", 600, 259},
                 {"long run to the end", 1, 100000}};
    for (const Case& c : cases) {
        Bytes in = Random(c.head, 33);
        for (size_t k = 0; k < c.repeat; ++k) in.push_back(in[k % c.head]);
        RoundTripAllLevels(in, c.what);
    }
}

TEST(Deflate, ShortReadsAreNotTheEndOfInput) {
    Bytes in = Wordy(200000, 10);
    Owner c;
    auto inner = c.ReadHook;
    c.ReadHook = [&](TStream* s, int64_t n, int k, bool d, uint8_t* b) { return inner(s, std::min<int64_t>(n, 777), k, d, b); };
    Packed r = Compress(in, dtDeflateN, false, &c);
    EXPECT_EQ(r.crc, Crc32Of(in));
    EXPECT_EQ(Inflater(r.out).Run().data, in);
}

TEST(Deflate, EncryptFlagReachesTheWriteHookAndCountsMatchTheOutput) {
    Bytes in = Wordy(100000, 12);
    Packed plain = Compress(in, dtDeflateN);

    Owner c;
    c.SetKind(atZip);
    ZipInitKeys("secret");
    Packed enc = Compress(in, dtDeflateN, false, &c, true);
    EXPECT_EQ(enc.count, int64_t(enc.out.size()));
    EXPECT_EQ(enc.count, plain.count);
    EXPECT_NE(enc.out, plain.out);
    ZipInitKeys("secret");
    ZipDecryptBuffer(enc.out.data(), enc.out.size());
    EXPECT_EQ(enc.out, plain.out);

    // Progress is reported while reading, up to the whole input.
    Owner p;
    int64_t lastDone = -1, calls = 0;
    p.ProgressHook = [&](int64_t done, int64_t total, int64_t) {
        EXPECT_EQ(total, int64_t(in.size()));
        EXPECT_GE(done, lastDone);
        lastDone = done;
        ++calls;
    };
    Compress(in, dtDeflateS, false, &p);
    EXPECT_GE(calls, 2);
    EXPECT_EQ(lastDone, int64_t(in.size()));
}

// The encoder's buffers serve one entry after another: what an entry left
// there (a longer one, one cut short by a cancel, one on another thread at
// the same time) must not change the stream of the next.
TEST(Deflate, TheStreamDoesNotDependOnWhatWasCompressedBefore) {
    const Bytes small = Wordy(5001, 20);
    std::vector<Bytes> first;
    for (TDeflateType level : kLevels) first.push_back(Compress(small, level).out);
    auto same = [&](const std::string& after) {
        for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(Compress(small, kLevels[i]).out == first[i]) << after << " " << i;
    };
    for (TDeflateType level : kLevels) {
        Compress(Wordy(300000, 21), level);
        same("a longer entry");
    }
    Owner c;
    c.ProgressHook = [&](int64_t, int64_t, int64_t) { c.SetCancel(true); };
    EXPECT_THROW(Compress(Random(400000, 22), dtDeflateX, false, &c), E_RAISE);
    same("a cancelled entry");

    std::vector<int> differ(4, 0);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (unsigned i = 0; i < 6; ++i) {
                if (i % 2) Compress(Random(50000 + 1000 * t, 23 + i), kLevels[(t + i) % 4]);
                else if (Compress(small, kLevels[t]).out != first[t]) ++differ[t];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(differ, std::vector<int>(4, 0));
}

TEST(Deflate, CancelStopsWithUserAborted) {
    Bytes in = Wordy(500000, 14);
    Owner c;
    std::vector<int> codes;
    c.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        codes.push_back(code);
    };
    int progress = 0;
    c.ProgressHook = [&](int64_t, int64_t, int64_t) {
        if (++progress == 2) c.SetCancel(true);
    };
    try {
        Compress(in, dtDeflateX, false, &c);
        FAIL() << "no exception";
    } catch (const E_RAISE& e) {
        EXPECT_EQ(e.Code(), 25400);
    }
    EXPECT_EQ(codes, (std::vector<int>{25449, 25400}));
    EXPECT_EQ(progress, 2);
}

#ifndef _WIN32
// Peers accept what we write: a gzip member checked by gzip -t, and raw
// streams inflated by Python's zlib.
TEST(Deflate, PeerToolsAcceptTheStreams) {
    std::string dir = test::ScratchDir("deflate_peers");
    Bytes in = Wordy(300000, 15);
    Bytes noise = Random(70000, 16);
    in.insert(in.end(), noise.begin(), noise.end());
    for (TDeflateType level : kLevels) {
        Packed r = Compress(in, level);
        std::string gz = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3};
        gz.append(r.out.begin(), r.out.end());
        uint32_t crc = ~r.crc, size = uint32_t(in.size());
        for (int i = 0; i < 4; ++i) gz.push_back(static_cast<char>(crc >> (8 * i)));
        for (int i = 0; i < 4; ++i) gz.push_back(static_cast<char>(size >> (8 * i)));
        std::string name = test::Join(dir, "l" + std::to_string(DeflateLevelOf(level)));
        test::WriteAll(name + ".gz", gz);
        EXPECT_EQ(std::system(("gzip -t " + name + ".gz").c_str()), 0);

        test::WriteAll(name + ".raw", std::string(r.out.begin(), r.out.end()));
        test::WriteAll(name + ".in", std::string(in.begin(), in.end()));
        std::string py = "python3 -c \"import zlib,sys; d=zlib.decompress(open('" + name +
                         ".raw','rb').read(),-15); sys.exit(0 if d==open('" + name + ".in','rb').read() else 1)\"";
        EXPECT_EQ(std::system(py.c_str()), 0);
    }
}
#endif

}  // namespace
}  // namespace bramble
