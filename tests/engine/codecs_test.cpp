#include "engine/codecs/zipmethod.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/codecs/inflate.h"
#include "engine/core/crc.h"
#include "engine/core/streams.h"
#include "engine/core/zipcrypt.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using Bytes = std::string;

// ---- a component decoding from memory into memory -----------------------------

class TDecodeProbe : public TZipCommon {
public:
    TDecodeProbe() {
        OutputTarget = otMemory;
        StreamA = &out_;
        OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            reported.push_back(code);
        };
    }
    void SetKind(TArcType t) { arcType_ = t; }
    void Feed(const Bytes& b) {
        input_ = b;
        InputSource = isMemory;
        MemoryBlock = reinterpret_cast<const uint8_t*>(input_.data());
        MemoryLeft = static_cast<int64_t>(input_.size());
    }
    Bytes Output() const { return Bytes(out_.Data().begin(), out_.Data().end()); }

    std::vector<int> reported;

private:
    TMemoryStream out_;
    Bytes input_;
};

struct TResult {
    Bytes data;
    uint32_t crc = 0;
    int error = 0;  // 0: decoded without a raise
    std::vector<int> reported;
};

TResult RunDecode(TDecodeProbe& p, const std::function<void()>& decode) {
    TResult r;
    p.Crc = 0xFFFFFFFFu;
    try {
        decode();
    } catch (const E_RAISE& e) {
        r.error = e.Code();
    }
    r.data = p.Output();
    r.crc = ~p.Crc;
    r.reported = p.reported;
    return r;
}

TResult Decode(uint16_t method, uint16_t flags, const Bytes& packed, int64_t unpacked) {
    TDecodeProbe p;
    p.Feed(packed);
    return RunDecode(p, [&] {
        ZipMethodDecode(p, method, flags, static_cast<int64_t>(packed.size()), unpacked, false);
    });
}

uint32_t Crc32Of(const Bytes& b) {
    uint32_t r = 0xFFFFFFFFu;
    Crc32Block(b.data(), b.size(), r);
    return ~r;
}

// ---- ZIP archives made by other tools -------------------------------------------

uint16_t Le16(const Bytes& b, size_t o) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b.at(o)) | static_cast<uint8_t>(b.at(o + 1)) << 8);
}
uint32_t Le32(const Bytes& b, size_t o) { return Le16(b, o) | static_cast<uint32_t>(Le16(b, o + 2)) << 16; }

struct TPeerEntry {
    std::string name;
    uint16_t flags = 0, method = 0;
    uint32_t crc = 0, dosDateTime = 0;
    int64_t packed = 0, unpacked = 0;
    uint16_t disk = 0;
    uint32_t localOffset = 0;
    Bytes data;  // compressed bytes (with the encryption header), when on this file
};

// Walks the central directory; the data of entries on this file is cut out
// behind their local headers.
std::vector<TPeerEntry> ReadPeerZip(const Bytes& zip) {
    std::vector<TPeerEntry> entries;
    size_t eocd = zip.rfind(Bytes("PK\x05\x06", 4));
    if (eocd == Bytes::npos) return entries;
    unsigned count = Le16(zip, eocd + 10);
    size_t p = Le32(zip, eocd + 16);
    uint16_t thisDisk = Le16(zip, eocd + 4);
    for (unsigned i = 0; i < count; ++i) {
        if (zip.compare(p, 4, "PK\x01\x02", 4) != 0) break;
        TPeerEntry e;
        e.flags = Le16(zip, p + 8);
        e.method = Le16(zip, p + 10);
        e.dosDateTime = Le32(zip, p + 12);
        e.crc = Le32(zip, p + 16);
        e.packed = Le32(zip, p + 20);
        e.unpacked = Le32(zip, p + 24);
        unsigned nlen = Le16(zip, p + 28), xlen = Le16(zip, p + 30), clen = Le16(zip, p + 32);
        e.disk = Le16(zip, p + 34);
        e.localOffset = Le32(zip, p + 42);
        e.name = zip.substr(p + 46, nlen);
        if (e.disk == thisDisk) {
            size_t l = e.localOffset;
            size_t data = l + 30 + Le16(zip, l + 26) + Le16(zip, l + 28);
            e.data = zip.substr(data, static_cast<size_t>(e.packed));
        }
        entries.push_back(e);
        p += 46 + nlen + xlen + clen;
    }
    return entries;
}

// Decodes every entry of a peer archive and checks size and CRC; returns the
// methods met.
std::map<int, int> CheckPeerArchive(const std::string& path, std::map<uint16_t, int>* flagsSeen = nullptr) {
    std::map<int, int> methods;
    Bytes zip = test::ReadAll(path);
    EXPECT_FALSE(zip.empty()) << path;
    auto entries = ReadPeerZip(zip);
    EXPECT_FALSE(entries.empty()) << path;
    for (const auto& e : entries) {
        TResult r = Decode(e.method, e.flags, e.data, e.unpacked);
        EXPECT_EQ(r.error, 0) << path << " " << e.name;
        EXPECT_EQ(static_cast<int64_t>(r.data.size()), e.unpacked) << path << " " << e.name;
        EXPECT_EQ(r.crc, e.crc) << path << " " << e.name;
        EXPECT_EQ(Crc32Of(r.data), e.crc) << path << " " << e.name;
        methods[e.method]++;
        if (flagsSeen) (*flagsSeen)[e.flags & 6]++;
    }
    return methods;
}

TEST(ZipMethodDecode, PeerArchivesDecodeToTheirCrc) {
    const std::string dir = test::FixturesDir();
    std::map<int, int> methods;
    for (const char* name : {"plain.zip", "stored.zip", "python.zip", "7z.zip", "comment.zip", "app.jar"}) {
        BRAMBLE_NEED_FIXTURE(name);
        for (auto [m, n] : CheckPeerArchive(test::Join(dir, name))) methods[m] += n;
    }
    EXPECT_GT(methods[0], 0);
    EXPECT_GT(methods[8], 0);
}

TEST(ZipMethodDecode, ShrunkAndImplodedCorpusArchivesDecodeToTheirCrc) {
    BRAMBLE_NEED_CORPUS();
    const std::string dir = test::Join(test::CorpusDir(), "misc");
    auto shrunk = CheckPeerArchive(test::Join(dir, "cc-SHRUNK.ZIP"));
    EXPECT_EQ(shrunk[1], 2);

    std::map<uint16_t, int> flags;
    int imploded = 0;
    for (const char* name : {"cc-imploding-4Kdict-2trees.zip", "cc-imploding-8Kdict-3trees.zip",
                             "cc-lorem-ipsum-implode.zip", "cc-moby-imploded.zip"}) {
        imploded += CheckPeerArchive(test::Join(dir, name), &flags)[6];
    }
    EXPECT_GT(imploded, 10);
    // Both window sizes and both tree counts were met.
    EXPECT_GT(flags[0], 0);
    EXPECT_GT(flags[6], 0);
}

TEST(ZipMethodDecode, RefusesUnknownMethodsBeforeTouchingTheData) {
    BRAMBLE_NEED_CORPUS();
    // A tokenized entry (method 7) made by a peer, and methods nobody here knows.
    Bytes zip = test::ReadAll(test::Join(test::Join(test::CorpusDir(), "misc"), "cc-moby.zip"));
    auto entries = ReadPeerZip(zip);
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_EQ(entries[0].method, 7);
    for (uint16_t method : {uint16_t(7), uint16_t(9), uint16_t(12), uint16_t(14), uint16_t(99)}) {
        TDecodeProbe p;
        p.Feed(entries[0].data);
        TResult r = RunDecode(p, [&] {
            ZipMethodDecode(p, method, 0, static_cast<int64_t>(entries[0].data.size()), entries[0].unpacked, false);
        });
        EXPECT_EQ(r.error, 25326) << method;
        EXPECT_EQ(r.reported, std::vector<int>{25326}) << method;
        EXPECT_TRUE(r.data.empty()) << method;
        EXPECT_EQ(p.MemoryLeft, static_cast<int64_t>(entries[0].data.size())) << method;
    }
}

TEST(ZipMethodDecode, EncryptedEntriesAreDecipheredAsTheyAreRead) {
    BRAMBLE_NEED_FIXTURE("encrypted.zip");
    Bytes zip = test::ReadAll(test::Join(test::FixturesDir(), "encrypted.zip"));
    auto entries = ReadPeerZip(zip);
    ASSERT_FALSE(entries.empty());
    int checked = 0;
    for (const auto& e : entries) {
        if (!(e.flags & 1)) continue;
        ASSERT_GE(e.data.size(), 12u);
        ASSERT_TRUE(ZipCheckCryptHeader(reinterpret_cast<const uint8_t*>(e.data.data()), "secret", e.flags, e.crc,
                                        e.dosDateTime))
            << e.name;
        TDecodeProbe p;
        p.SetKind(atZip);
        p.Feed(e.data.substr(12));
        // The stored size counts the 12-byte header, which is not fed again.
        TResult r = RunDecode(p, [&] { ZipMethodDecode(p, e.method, e.flags, e.packed, e.unpacked, true); });
        EXPECT_EQ(r.error, 0) << e.name;
        EXPECT_EQ(r.crc, e.crc) << e.name;
        EXPECT_EQ(p.MemoryLeft, 0) << e.name;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(ZipMethodDecode, EmptyEntriesNeedNoData) {
    for (uint16_t method : {0, 1, 2, 5, 6, 8}) {
        TResult r = Decode(method, 6, "", 0);
        EXPECT_EQ(r.error, 0) << method;
        EXPECT_TRUE(r.data.empty());
        EXPECT_EQ(r.crc, 0u);
    }
    // Old methods stop by size alone, so an unknown size cannot be decoded.
    EXPECT_EQ(Decode(6, 0, "xx", -1).error, 25109);
}

// Input that continues in a second part when the first runs dry, as the
// disks of a spanned set do.
class TTwoPartInput : public TZipInput {
public:
    TTwoPartInput(TDecodeProbe& c, int64_t count, const Bytes& second)
        : TZipInput(c, count, false), probe_(c), second_(second) {}
    int switches = 0;

protected:
    bool NextSource() override {
        if (switches++) return false;
        probe_.MemoryBlock = reinterpret_cast<const uint8_t*>(second_.data());
        probe_.MemoryLeft = static_cast<int64_t>(second_.size());
        return true;
    }

private:
    TDecodeProbe& probe_;
    const Bytes& second_;
};

TEST(ZipMethodDecode, InputContinuesOnTheNextSourceWhenOneEnds) {
    // zip -s 64k: the first entry starts on the first part and ends on the last.
    BRAMBLE_NEED_FIXTURE("spanned.z01");
    BRAMBLE_NEED_FIXTURE("spanned.zip");
    const std::string dir = test::FixturesDir();
    Bytes first = test::ReadAll(test::Join(dir, "spanned.z01"));
    Bytes last = test::ReadAll(test::Join(dir, "spanned.zip"));
    auto entries = ReadPeerZip(last);
    ASSERT_FALSE(entries.empty());
    const TPeerEntry& e = entries[0];
    ASSERT_EQ(e.disk, 0);
    size_t l = e.localOffset;
    size_t data = l + 30 + Le16(first, l + 26) + Le16(first, l + 28);
    ASSERT_LT(static_cast<int64_t>(first.size() - data), e.packed);

    TDecodeProbe p;
    p.Feed(first.substr(data));
    TTwoPartInput in(p, e.packed, last);
    TResult r = RunDecode(p, [&] { ZipMethodDecode(in, e.method, e.flags, e.unpacked); });
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(in.switches, 1);
    EXPECT_EQ(r.crc, e.crc);

    // Without a next part the same entry is cut short.
    TDecodeProbe q;
    q.Feed(first.substr(data));
    TResult cut = RunDecode(q, [&] { ZipMethodDecode(q, e.method, e.flags, e.packed, e.unpacked, false); });
    EXPECT_EQ(cut.error, 25236);
}

// ---- a test-only deflate writer: fixed codes and stored blocks ---------------------

class TBitWriter {
public:
    void Put(uint32_t v, unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            acc_ |= ((v >> i) & 1u) << n_;
            if (++n_ == 8) Flush();
        }
    }
    // A Huffman code: its first bit is its highest.
    void Code(uint32_t code, unsigned len) {
        for (unsigned i = len; i-- > 0;) Put((code >> i) & 1u, 1);
    }
    void Align() {
        if (n_) Flush();
    }
    void Byte(uint8_t b) { out_.push_back(static_cast<char>(b)); }
    Bytes Finish() {
        Align();
        return out_;
    }

private:
    void Flush() {
        out_.push_back(static_cast<char>(acc_));
        acc_ = 0;
        n_ = 0;
    }
    Bytes out_;
    uint32_t acc_ = 0;
    unsigned n_ = 0;
};

const uint16_t kLenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                               31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void FixedLiteral(TBitWriter& w, unsigned sym) {
    if (sym < 144) w.Code(0x30 + sym, 8);
    else if (sym < 256) w.Code(0x190 + sym - 144, 9);
    else if (sym < 280) w.Code(sym - 256, 7);
    else w.Code(0xC0 + sym - 280, 8);
}

void FixedMatch(TBitWriter& w, unsigned length, unsigned distance) {
    unsigned i = 28;
    while (kLenBase[i] > length) --i;
    FixedLiteral(w, 257 + i);
    w.Put(length - kLenBase[i], kLenExtra[i]);
    unsigned d = 29;
    while (kDistBase[d] > distance) --d;
    w.Code(d, 5);
    w.Put(distance - kDistBase[d], kDistExtra[d]);
}

// Greedy matching over the whole input, so matches reach back into earlier
// blocks; every third block of 100000 bytes is stored.
Bytes TestDeflate(const Bytes& data) {
    TBitWriter w;
    const size_t n = data.size();
    std::vector<int64_t> head(1 << 16, -1), prev(n, -1);
    auto hash = [&](size_t i) {
        return (static_cast<uint8_t>(data[i]) << 8 ^ static_cast<uint8_t>(data[i + 1]) << 4 ^
                static_cast<uint8_t>(data[i + 2])) & 0xFFFF;
    };
    auto insert = [&](size_t i) {
        if (i + 2 < n) {
            prev[i] = head[hash(i)];
            head[hash(i)] = static_cast<int64_t>(i);
        }
    };
    const size_t kBlock = 100000;
    size_t blockNo = 0;
    for (size_t start = 0;; start += kBlock, ++blockNo) {
        size_t end = std::min(n, start + kBlock);
        bool final = end == n;
        if (blockNo % 3 == 1) {
            for (size_t s = start; s < end;) {
                size_t len = std::min<size_t>(65535, end - s);
                w.Put(final && s + len == end ? 1 : 0, 1);
                w.Put(0, 2);
                w.Align();
                w.Put(static_cast<uint32_t>(len), 16);
                w.Put(static_cast<uint32_t>(len ^ 0xFFFF), 16);
                for (size_t k = 0; k < len; ++k) w.Byte(static_cast<uint8_t>(data[s + k]));
                for (size_t k = 0; k < len; ++k) insert(s + k);
                s += len;
            }
            if (start == end) {
                w.Put(1, 1);
                w.Put(1, 2);
                FixedLiteral(w, 256);
            }
        } else {
            w.Put(final ? 1 : 0, 1);
            w.Put(1, 2);
            for (size_t i = start; i < end;) {
                size_t bestLen = 0, bestDist = 0;
                if (i + 2 < n) {
                    int64_t cand = head[hash(i)];
                    for (int chain = 0; cand >= 0 && chain < 16; ++chain, cand = prev[cand]) {
                        size_t dist = i - static_cast<size_t>(cand);
                        if (dist > 32768) break;
                        size_t len = 0;
                        while (len < 258 && i + len < end && data[cand + len] == data[i + len]) ++len;
                        if (len > bestLen) {
                            bestLen = len;
                            bestDist = dist;
                        }
                    }
                }
                if (bestLen >= 3) {
                    FixedMatch(w, static_cast<unsigned>(bestLen), static_cast<unsigned>(bestDist));
                    for (size_t k = 0; k < bestLen; ++k) insert(i + k);
                    i += bestLen;
                } else {
                    FixedLiteral(w, static_cast<uint8_t>(data[i]));
                    insert(i);
                    ++i;
                }
            }
            FixedLiteral(w, 256);
        }
        if (final) break;
    }
    return w.Finish();
}

// Text-like data with long repeats, runs, noise and copies from exactly 32 KB
// back.
Bytes SampleData(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    static const char* const words[] = {"bramble ", "archive ", "window ", "inflate ", "the ", "of ", "\n",
                                        "block ",   "entry ",   "0123456789", "\t", "zzzz "};
    Bytes s;
    while (s.size() < size) {
        unsigned r = rng() % 100;
        if (r < 70) {
            s += words[rng() % 12];
        } else if (r < 80) {
            s.append(rng() % 300, static_cast<char>(rng()));
        } else if (r < 90) {
            for (unsigned k = rng() % 200; k > 0; --k) s.push_back(static_cast<char>(rng()));
        } else if (s.size() > 40000) {
            size_t from = r < 95 ? s.size() - 32768 : s.size() - 1 - rng() % 32768;
            size_t len = 3 + rng() % 400;
            for (size_t k = 0; k < len; ++k) s.push_back(s[from + k]);
        }
    }
    s.resize(size);
    return s;
}

// Every inflate test runs on both hot loops: the one with a 64-bit bit
// buffer and the one with a 32-bit buffer, whichever this build runs.
class Inflate : public ::testing::TestWithParam<TInflateWord> {
protected:
    void SetUp() override { InflateUseWord(GetParam()); }
    void TearDown() override { InflateUseWord(InflateNativeWord()); }
};
INSTANTIATE_TEST_SUITE_P(Words, Inflate, ::testing::Values(TInflateWord::Narrow, TInflateWord::Wide),
                         [](const auto& info) { return info.param == TInflateWord::Wide ? "Wide" : "Narrow"; });

TEST_P(Inflate, LargeStreamsDecodeAcrossWindowFlushesAndShortReads) {
    Bytes data = SampleData(1500000, 7);
    Bytes packed = TestDeflate(data);
    ASSERT_LT(packed.size(), data.size());

    TResult r = Decode(8, 0, packed, static_cast<int64_t>(data.size()));
    EXPECT_EQ(r.error, 0);
    EXPECT_TRUE(r.data == data);
    EXPECT_EQ(r.crc, Crc32Of(data));

    // The source handing out a few bytes at a time: every refill lands in
    // the middle of a code.
    TDecodeProbe p;
    p.Feed(packed);
    std::mt19937 rng(3);
    p.ReadHook = [&p, &rng](TStream* s, int64_t n, int k, bool d, uint8_t* b) {
        return p.ReadBlock(s, std::min<int64_t>(n, 1 + rng() % 7), k, d, b);
    };
    TResult dribbled = RunDecode(p, [&] {
        ZipMethodDecode(p, 8, 0, static_cast<int64_t>(packed.size()), static_cast<int64_t>(data.size()), false);
    });
    EXPECT_EQ(dribbled.error, 0);
    EXPECT_TRUE(dribbled.data == data);
}

TEST_P(Inflate, OutputOfTheWrongLengthIsReported) {
    Bytes data = SampleData(300000, 11);
    Bytes packed = TestDeflate(data);
    int64_t size = static_cast<int64_t>(data.size());
    EXPECT_EQ(Decode(8, 0, packed, size).error, 0);
    // Unknown size (gzip data): whatever the stream holds.
    TResult unknown = Decode(8, 0, packed, -1);
    EXPECT_EQ(unknown.error, 0);
    EXPECT_EQ(unknown.data.size(), data.size());

    TResult shorter = Decode(8, 0, packed, size + 1);
    EXPECT_EQ(shorter.error, 25109);
    EXPECT_EQ(shorter.reported, std::vector<int>{25109});
    TResult longer = Decode(8, 0, packed, size - 1);
    EXPECT_EQ(longer.error, 25109);
    // Nothing past the size the entry declares is written.
    EXPECT_LT(static_cast<int64_t>(longer.data.size()), size);
}

// The decoder keeps its buffer and tables from one entry for the next;
// entries decoded on several threads at once must each get their own, and
// one ending in an error must leave nothing behind for the next.
TEST_P(Inflate, EntriesOnSeveralThreadsAndAfterAFailureDecodeAsAlone) {
    const TInflateWord word = GetParam();
    std::vector<Bytes> data, packed;
    for (unsigned k = 0; k < 4; ++k) {
        data.push_back(SampleData(70000 + 30000 * k, 40 + k));
        packed.push_back(TestDeflate(data.back()));
    }
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            InflateUseWord(word);
            for (unsigned i = 0; i < 12; ++i) {
                unsigned k = (t + i) % 4;
                TResult r = Decode(8, 0, packed[k], static_cast<int64_t>(data[k].size()));
                if (r.error || r.data != data[k]) ++wrong[t];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));

    Bytes cut = packed[0].substr(0, packed[0].size() / 2);
    EXPECT_EQ(Decode(8, 0, cut, static_cast<int64_t>(data[0].size())).error, 25236);
    TResult after = Decode(8, 0, packed[1], static_cast<int64_t>(data[1].size()));
    EXPECT_EQ(after.error, 0);
    EXPECT_TRUE(after.data == data[1]);
}

TEST_P(Inflate, TruncatedInputEndsWithAnError) {
    Bytes data = SampleData(5000, 5);
    Bytes packed = TestDeflate(data);
    for (size_t cut = 0; cut < packed.size(); ++cut) {
        TResult r = Decode(8, 0, packed.substr(0, cut), static_cast<int64_t>(data.size()));
        EXPECT_TRUE(r.error == 25236 || r.error == 25109) << cut << " " << r.error;
    }
    // A source that holds less than the packed size claims.
    TDecodeProbe p;
    p.Feed(packed.substr(0, packed.size() / 2));
    TResult r = RunDecode(p, [&] {
        ZipMethodDecode(p, 8, 0, static_cast<int64_t>(packed.size()), static_cast<int64_t>(data.size()), false);
    });
    EXPECT_EQ(r.error, 25236);
}

TEST_P(Inflate, RejectsBadBlocksAndDistances) {
    {  // stored block whose NLEN is not the complement of LEN
        TBitWriter w;
        w.Put(1, 1);
        w.Put(0, 2);
        w.Align();
        w.Put(3, 16);
        w.Put(0xFFFD, 16);
        for (char c : Bytes("abc")) w.Byte(static_cast<uint8_t>(c));
        EXPECT_EQ(Decode(8, 0, w.Finish(), 3).error, 25109);
    }
    {  // the same with a correct NLEN
        TBitWriter w;
        w.Put(1, 1);
        w.Put(0, 2);
        w.Align();
        w.Put(3, 16);
        w.Put(0xFFFC, 16);
        for (char c : Bytes("abc")) w.Byte(static_cast<uint8_t>(c));
        TResult r = Decode(8, 0, w.Finish(), 3);
        EXPECT_EQ(r.error, 0);
        EXPECT_EQ(r.data, "abc");
    }
    {  // block type 3
        TBitWriter w;
        w.Put(1, 1);
        w.Put(3, 2);
        w.Put(0, 16);
        EXPECT_EQ(Decode(8, 0, w.Finish(), 0).error, 25109);
    }
    auto fixed = [](const std::function<void(TBitWriter&)>& body) {
        TBitWriter w;
        w.Put(1, 1);
        w.Put(1, 2);
        body(w);
        FixedLiteral(w, 256);
        return w.Finish();
    };
    // A match before anything was written, and one reaching one byte too far.
    EXPECT_EQ(Decode(8, 0, fixed([](TBitWriter& w) { FixedMatch(w, 3, 1); }), 3).error, 25109);
    Bytes tooFar = fixed([](TBitWriter& w) {
        FixedLiteral(w, 'a');
        FixedLiteral(w, 'b');
        FixedMatch(w, 4, 3);
    });
    EXPECT_EQ(Decode(8, 0, tooFar, 6).error, 25109);
    TResult fine = Decode(8, 0, fixed([](TBitWriter& w) {
                              FixedLiteral(w, 'a');
                              FixedLiteral(w, 'b');
                              FixedMatch(w, 5, 2);
                          }),
                          7);
    EXPECT_EQ(fine.error, 0);
    EXPECT_EQ(fine.data, "abababa");
    // Fixed literal/length symbols 286 and 287 and distance codes 30 and 31
    // have codes but no meaning.
    for (unsigned sym : {286u, 287u}) {
        Bytes s = fixed([sym](TBitWriter& w) {
            FixedLiteral(w, 'a');
            FixedLiteral(w, sym);
            w.Put(0, 16);
        });
        EXPECT_EQ(Decode(8, 0, s, 10).error, 25109) << sym;
    }
    for (unsigned code : {30u, 31u}) {
        Bytes s = fixed([code](TBitWriter& w) {
            FixedLiteral(w, 'a');
            FixedLiteral(w, 257);
            w.Code(code, 5);
            w.Put(0, 16);
        });
        EXPECT_EQ(Decode(8, 0, s, 4).error, 25109) << code;
    }
}

// A fixed-code block from a list of steps, and the output it stands for.
struct TStep {
    unsigned length;  // 0: a literal
    unsigned value;   // the literal, or the distance
};

std::pair<Bytes, Bytes> FixedBlock(const std::vector<TStep>& steps) {
    TBitWriter w;
    Bytes out;
    w.Put(1, 1);
    w.Put(1, 2);
    for (const TStep& s : steps) {
        if (s.length == 0) {
            FixedLiteral(w, s.value);
            out.push_back(static_cast<char>(s.value));
        } else {
            FixedMatch(w, s.length, s.value);
            for (unsigned k = 0; k < s.length; ++k) out.push_back(s.value <= out.size() ? out[out.size() - s.value] : '?');
        }
    }
    FixedLiteral(w, 256);
    return {w.Finish(), out};
}

// Matches are copied a word or more at a time, writing past their end, and
// the decoder's quick loop hands the last bytes of input and the end of its
// output buffer to a careful one: every short distance and those around the
// copies' strides, lengths around the word sizes and strides, matches at the end of the data, and long runs of matches that
// cross the output buffer's limit at each alignment.
TEST_P(Inflate, WordWiseMatchCopiesAndTheQuickLoopsEdges) {
    struct TCase {
        std::string name;
        std::vector<TStep> steps;
        int error;
    };
    std::vector<TCase> cases;
    const unsigned kLengths[] = {3,  4,  7,  8,  9,  15, 16, 17, 23, 24, 25, 31, 32,  33,  39,  40,
                                 41, 47, 48, 49, 63, 64, 65, 95, 96, 97, 100, 127, 128, 129, 257, 258};
    std::vector<unsigned> distances;
    for (unsigned d = 1; d <= 20; ++d) distances.push_back(d);
    for (unsigned d : {31u, 32u, 33u, 47u, 48u, 49u, 63u, 64u, 65u, 97u}) distances.push_back(d);
    for (unsigned tail : {0u, 40u}) {
        for (unsigned d : distances) {
            TCase c{"distance " + std::to_string(d) + (tail ? "" : " at the end"), {}, 0};
            for (unsigned k = 0; k < d; ++k) c.steps.push_back({0, 'a' + k});
            for (unsigned len : kLengths) {
                c.steps.push_back({len, d});
                c.steps.push_back({0, '0' + len % 10});  // overwrites what the copy wrote past its end
            }
            c.steps.push_back({258, d});
            for (unsigned k = 0; k < tail; ++k) c.steps.push_back({0, 'A' + k % 26});
            cases.push_back(c);
        }
        // One byte too far back, in the quick loop and in the careful one.
        TCase bad{"too far back" + std::string(tail ? "" : " at the end"), {{0, 'x'}, {0, 'y'}, {3, 3}}, 25109};
        for (unsigned k = 0; k < tail; ++k) bad.steps.push_back({0, 'A' + k % 26});
        cases.push_back(bad);
    }
    std::mt19937 rng(25);
    for (unsigned shift = 0; shift < 12; ++shift) {
        TCase c{"runs of matches shifted by " + std::to_string(shift), {}, 0};
        for (unsigned k = 0; k < 1000 + shift; ++k) c.steps.push_back({0, static_cast<unsigned>(rng() % 256)});
        const unsigned lens[] = {258, 255, 3, 200, 17, 258, 9};
        const unsigned dists[] = {1, 7, 300, 32768, 2, 16, 8, 31};
        size_t produced = 1000 + shift;
        for (unsigned k = 0; produced < 600000; ++k) {
            unsigned len = lens[k % 7], dist = static_cast<unsigned>(std::min<size_t>(dists[k % 8], produced));
            c.steps.push_back({len, dist});
            produced += len;
            if (k % 5 == 0) {
                c.steps.push_back({0, static_cast<unsigned>(rng() % 256)});
                ++produced;
            }
        }
        cases.push_back(c);
    }

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto [packed, want] = FixedBlock(c.steps);
        TResult r = Decode(8, 0, packed, static_cast<int64_t>(want.size()));
        EXPECT_EQ(r.error, c.error);
        if (!c.error) {
            EXPECT_TRUE(r.data == want);
        }
    }
}

// Canonical codes for a set of code lengths.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lens) {
    unsigned count[16] = {}, next[16] = {};
    for (uint8_t l : lens) count[l]++;
    count[0] = 0;
    uint32_t code = 0;
    for (unsigned b = 1; b < 16; ++b) {
        code = (code + count[b - 1]) << 1;
        next[b] = code;
    }
    std::vector<uint32_t> codes(lens.size());
    for (size_t s = 0; s < lens.size(); ++s)
        if (lens[s]) codes[s] = next[lens[s]]++;
    return codes;
}

struct TPreSym {
    unsigned sym, extra;
};

// A dynamic block header: counts, code-length code and the code-length
// symbols as given (they need not make sense).
void DynamicHeader(TBitWriter& w, unsigned nlit, unsigned ndist, const std::vector<uint8_t>& preLens,
                   const std::vector<TPreSym>& seq) {
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    w.Put(1, 1);
    w.Put(2, 2);
    w.Put(nlit - 257, 5);
    w.Put(ndist - 1, 5);
    w.Put(15, 4);  // all 19 code-length code lengths follow
    for (unsigned i = 0; i < 19; ++i) w.Put(preLens[order[i]], 3);
    auto codes = CanonicalCodes(preLens);
    for (const auto& p : seq) {
        w.Code(codes[p.sym], preLens[p.sym]);
        if (p.sym == 16) w.Put(p.extra, 2);
        if (p.sym == 17) w.Put(p.extra, 3);
        if (p.sym == 18) w.Put(p.extra, 7);
    }
}

std::vector<uint8_t> PreLens(std::initializer_list<std::pair<unsigned, uint8_t>> l) {
    std::vector<uint8_t> v(19, 0);
    for (auto [s, n] : l) v[s] = n;
    return v;
}

TEST_P(Inflate, AcceptsTheLargestDeclaredCodeCountsButNotTheirExtraSymbols) {
    // 287 literal/length and 31 distance codes, all complete.
    std::vector<uint8_t> lit(287), dist(31);
    for (unsigned i = 0; i < 256; ++i) lit[i] = 9;
    lit[256] = 5;
    for (unsigned i = 257; i < 287; ++i) lit[i] = 6;
    dist[0] = 4;
    for (unsigned i = 1; i < 31; ++i) dist[i] = 5;
    auto litCodes = CanonicalCodes(lit), distCodes = CanonicalCodes(dist);
    std::vector<TPreSym> seq;
    for (uint8_t l : lit) seq.push_back({l, 0});
    for (uint8_t l : dist) seq.push_back({l, 0});
    auto preLens = PreLens({{4, 2}, {5, 2}, {6, 2}, {9, 2}});

    auto stream = [&](const std::function<void(TBitWriter&)>& body) {
        TBitWriter w;
        DynamicHeader(w, 287, 31, preLens, seq);
        body(w);
        w.Code(litCodes[256], lit[256]);
        w.Put(0, 16);
        return w.Finish();
    };
    auto literal = [&](TBitWriter& w, unsigned s) { w.Code(litCodes[s], lit[s]); };
    TResult ok = Decode(8, 0, stream([&](TBitWriter& w) {
                            for (char c : Bytes("ABC")) literal(w, static_cast<uint8_t>(c));
                            literal(w, 257);                 // length 3
                            w.Code(distCodes[2], dist[2]);   // distance 3
                        }),
                        6);
    EXPECT_EQ(ok.error, 0);
    EXPECT_EQ(ok.data, "ABCABC");

    EXPECT_EQ(Decode(8, 0, stream([&](TBitWriter& w) { literal(w, 'A'); literal(w, 286); }), 10).error, 25109);
    EXPECT_EQ(Decode(8, 0, stream([&](TBitWriter& w) {
                           for (char c : Bytes("ABC")) literal(w, static_cast<uint8_t>(c));
                           literal(w, 257);
                           w.Code(distCodes[30], dist[30]);
                       }),
                     10)
                  .error,
              25109);
}

// The most bits one match can take: a 15-bit length code with 5 extra bits
// and a 15-bit distance code with 13, both behind subtables, far enough
// back to reach the start of the 32 KB window. The 32-bit loop refills
// between the two and inside the distance.
TEST_P(Inflate, TheLongestCodesWithTheMostExtraBits) {
    // Complete codes shaped as staircases: lengths 1, 2, ... 14, 15, 15.
    std::vector<uint8_t> lit(286), dist(30);
    for (unsigned i = 0; i < 13; ++i) lit['a' + i] = static_cast<uint8_t>(i + 1);
    lit[256] = 14;
    lit[284] = lit[285] = 15;  // lengths 227-258 (5 extra bits) and 258
    for (unsigned i = 0; i < 14; ++i) dist[i] = static_cast<uint8_t>(i + 1);
    dist[28] = dist[29] = 15;  // 16385-24576 and 24577-32768 (13 extra bits)
    std::vector<TPreSym> seq;
    for (uint8_t l : lit) seq.push_back({l, 0});
    for (uint8_t l : dist) seq.push_back({l, 0});
    std::vector<uint8_t> preLens(19, 0);
    for (unsigned i = 0; i < 16; ++i) preLens[i] = 4;
    auto litCodes = CanonicalCodes(lit), distCodes = CanonicalCodes(dist);

    TBitWriter w;
    DynamicHeader(w, 286, 30, preLens, seq);
    Bytes want;
    std::mt19937 rng(29);
    while (want.size() < 40000) {
        unsigned s = 'a' + rng() % 13;
        w.Code(litCodes[s], lit[s]);
        want.push_back(static_cast<char>(s));
    }
    struct {
        unsigned lengthExtra, distCode, distExtra;
    } const matches[] = {{30, 29, 8191}, {0, 28, 0}, {31, 29, 0}, {17, 28, 8191}, {5, 13, 31}, {30, 29, 4096}};
    for (auto m : matches) {
        unsigned length = 227 + m.lengthExtra;
        unsigned base = m.distCode == 29 ? 24577 : m.distCode == 28 ? 16385 : 97;
        size_t distance = base + m.distExtra;
        w.Code(litCodes[284], 15);
        w.Put(m.lengthExtra, 5);
        w.Code(distCodes[m.distCode], dist[m.distCode]);
        w.Put(m.distExtra, m.distCode == 13 ? 5 : 13);
        for (unsigned k = 0; k < length; ++k) want.push_back(want[want.size() - distance]);
        w.Code(litCodes['m'], lit['m']);  // the longest literal between them
        want.push_back('m');
    }
    w.Code(litCodes[256], lit[256]);
    w.Put(0, 32);
    TResult r = Decode(8, 0, w.Finish(), static_cast<int64_t>(want.size()));
    EXPECT_EQ(r.error, 0);
    EXPECT_TRUE(r.data == want);
}

TEST_P(Inflate, RejectsCodeLengthsThatMakeNoUsableCode) {
    auto run = [](unsigned nlit, unsigned ndist, const std::vector<uint8_t>& preLens, const std::vector<TPreSym>& seq) {
        TBitWriter w;
        DynamicHeader(w, nlit, ndist, preLens, seq);
        w.Put(0, 32);
        TResult r = Decode(8, 0, w.Finish(), 1);
        return r.error;
    };
    // A repeat of the previous length with no previous length.
    EXPECT_EQ(run(257, 1, PreLens({{16, 1}, {8, 1}}), {{16, 0}}), 25138);
    // A repeat running past the declared number of codes.
    EXPECT_EQ(run(257, 1, PreLens({{18, 1}, {8, 1}}), {{18, 127}, {18, 127}}), 25138);
    // An over-subscribed code-length code.
    EXPECT_EQ(run(257, 1, PreLens({{1, 1}, {2, 1}, {18, 1}}), {}), 25138);
    // An incomplete code-length code.
    EXPECT_EQ(run(257, 1, PreLens({{1, 2}, {2, 2}, {18, 2}}), {}), 25138);

    // Literal/length lengths: 'A' and end-of-block of 2 bits each (incomplete).
    std::vector<TPreSym> incomplete;
    for (unsigned s = 0; s < 258; ++s) incomplete.push_back({s == 'A' || s == 256 ? 2u : 0u, 0});
    EXPECT_EQ(run(257, 1, PreLens({{0, 1}, {2, 1}}), incomplete), 25138);
    // 'A' and 'B' of one bit each: complete, but no end-of-block code.
    std::vector<TPreSym> noEnd;
    for (unsigned s = 0; s < 258; ++s) noEnd.push_back({s == 'A' || s == 'B' ? 1u : 0u, 0});
    EXPECT_EQ(run(257, 1, PreLens({{0, 1}, {1, 1}}), noEnd), 25138);
    // A single one-bit code is the one incomplete code deflate allows.
    std::vector<TPreSym> single;
    for (unsigned s = 0; s < 258; ++s) single.push_back({s == 256 ? 1u : 0u, 0});
    TBitWriter w;
    DynamicHeader(w, 257, 1, PreLens({{0, 1}, {1, 1}}), single);
    w.Put(0, 1);  // end of block
    EXPECT_EQ(Decode(8, 0, w.Finish(), 0).error, 0);
}

TEST(ZipMethodDecode, CancelDuringTheDecodeEndsItAsUserAborted) {
    Bytes data = SampleData(1200000, 9);
    Bytes packed = TestDeflate(data);
    TDecodeProbe p;
    p.Feed(packed);
    int blocks = 0;
    p.ProgressHook = [&](int64_t, int64_t, int64_t) {
        if (++blocks == 1) p.SetCancelQuietly(true);
    };
    TResult r = RunDecode(p, [&] {
        ZipMethodDecode(p, 8, 0, static_cast<int64_t>(packed.size()), static_cast<int64_t>(data.size()), false);
    });
    EXPECT_EQ(r.error, 25400);
    EXPECT_EQ(blocks, 1);
    EXPECT_LT(r.data.size(), data.size());
}

// ---- shrink ------------------------------------------------------------------------

struct TCode {
    unsigned code, width;
};

Bytes Codes(std::initializer_list<TCode> codes) {
    TBitWriter w;
    for (auto c : codes) w.Put(c.code, c.width);
    return w.Finish();
}

TEST(Unshrink, PartialClearFreesLeavesForReuseInAscendingOrder) {
    // a b ab a builds 257 "ab", 258 "ba", 259 "aba"; the clear frees the
    // leaves 258 and 259 and keeps 257, the parent of 259. Then 258 is not
    // defined (previous "a" + 'a' = "aa" takes 258), 257 is "ab" and makes
    // 259 "aaa".
    Bytes s = Codes({{97, 9}, {98, 9}, {257, 9}, {97, 9}, {256, 9}, {2, 9}, {258, 9}, {257, 9}, {259, 9}});
    TResult r = Decode(1, 0, s, 12);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.data, "ababaaaabaaa");
    // Without the clear 258 would still be "ba".
    Bytes noClear = Codes({{97, 9}, {98, 9}, {257, 9}, {97, 9}, {258, 9}});
    EXPECT_EQ(Decode(1, 0, noClear, 7).data, "abababa");
}

TEST(Unshrink, WidensCodesOnRequestUpToThirteenBits) {
    Bytes s = Codes({{97, 9}, {256, 9}, {1, 9}, {98, 10}, {256, 10}, {1, 10}, {256, 11}, {1, 11},
                     {256, 12}, {1, 12}, {99, 13}});
    TResult r = Decode(1, 0, s, 3);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.data, "abc");
    Bytes past = Codes({{97, 9}, {256, 9}, {1, 9}, {256, 10}, {1, 10}, {256, 11}, {1, 11}, {256, 12}, {1, 12},
                        {256, 13}, {1, 13}, {99, 14}});
    EXPECT_EQ(Decode(1, 0, past, 2).error, 25109);
}

TEST(Unshrink, CorruptStreamsFailCleanly) {
    EXPECT_EQ(Decode(1, 0, Codes({{97, 9}, {256, 9}, {3, 9}, {98, 9}}), 2).error, 25109);  // control 3
    EXPECT_EQ(Decode(1, 0, Codes({{300, 9}}), 2).error, 25109);                            // first code
    EXPECT_EQ(Decode(1, 0, "", 5).error, 25109);                                           // no code at all
    EXPECT_EQ(Decode(1, 0, Codes({{97, 9}, {98, 9}}), 5).error, 25236);                   // runs out
    // The clear frees 257 (a leaf) while it is the previous code, so the
    // next node, which takes 257 again, is its own parent: decoding it must
    // end, not loop.
    Bytes loop = Codes({{97, 9}, {98, 9}, {257, 9}, {256, 9}, {2, 9}, {97, 9}, {257, 9}, {0, 9}});
    int error = Decode(1, 0, loop, 100).error;
    EXPECT_TRUE(error == 25298 || error == 25109) << error;
}

// ---- reduce ------------------------------------------------------------------------

// A test-only reducer. First stage: DLE-coded matches found through the
// positions of each 3-byte prefix.
std::vector<uint8_t> ReduceMatches(const Bytes& data, int factor) {
    const unsigned lengthMask = 0xFFu >> factor;
    const size_t maxDistance = size_t{256} << factor;
    const size_t maxLength = lengthMask + 255 + 3;
    std::map<uint32_t, std::vector<size_t>> seen;
    auto key = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(data[i]) | static_cast<uint8_t>(data[i + 1]) << 8 |
                                     static_cast<uint8_t>(data[i + 2]) << 16);
    };
    auto note = [&](size_t i) {
        if (i + 2 < data.size()) seen[key(i)].push_back(i);
    };
    std::vector<uint8_t> t;
    for (size_t i = 0; i < data.size();) {
        size_t bestLen = 0, bestDist = 0;
        if (i + 2 < data.size()) {
            auto it = seen.find(key(i));
            if (it != seen.end()) {
                const auto& at = it->second;
                for (size_t k = at.size(), tries = 0; k-- > 0 && tries < 64; ++tries) {
                    size_t d = i - at[k];
                    if (d > maxDistance) break;
                    size_t len = 0;
                    while (len < maxLength && i + len < data.size() && data[i + len - d] == data[i + len]) ++len;
                    if (len > bestLen) {
                        bestLen = len;
                        bestDist = d;
                    }
                }
            }
        }
        unsigned high = bestLen ? static_cast<unsigned>((bestDist - 1) >> 8) : 0;
        if (bestLen >= 3 && !(high == 0 && bestLen == 3)) {  // V = 0 would read as a literal DLE
            size_t len = bestLen - 3;
            unsigned v = high << (8 - factor) | static_cast<unsigned>(std::min<size_t>(len, lengthMask));
            t.push_back(144);
            t.push_back(static_cast<uint8_t>(v));
            if (len >= lengthMask) t.push_back(static_cast<uint8_t>(len - lengthMask));
            t.push_back(static_cast<uint8_t>((bestDist - 1) & 0xFF));
            for (size_t k = 0; k < bestLen; ++k) note(i + k);
            i += bestLen;
        } else {
            uint8_t b = static_cast<uint8_t>(data[i]);
            t.push_back(b);
            if (b == 144) t.push_back(0);
            note(i++);
        }
    }
    return t;
}

// Second stage: follower sets of the most frequent successors, up to Limit
// of them, and each byte coded through the set of the byte before it.
Bytes ReduceFollowers(const std::vector<uint8_t>& t, unsigned limit) {
    std::vector<std::vector<unsigned>> freq(256, std::vector<unsigned>(256, 0));
    uint8_t last = 0;
    for (uint8_t b : t) {
        freq[last][b]++;
        last = b;
    }
    std::vector<std::vector<uint8_t>> sets(256);
    for (unsigned c = 0; c < 256; ++c) {
        std::vector<unsigned> order;
        for (unsigned b = 0; b < 256; ++b)
            if (freq[c][b]) order.push_back(b);
        std::stable_sort(order.begin(), order.end(), [&](unsigned a, unsigned b) { return freq[c][a] > freq[c][b]; });
        for (size_t k = 0; k < order.size() && k < limit; ++k) sets[c].push_back(static_cast<uint8_t>(order[k]));
    }
    TBitWriter w;
    for (int c = 255; c >= 0; --c) {
        w.Put(static_cast<uint32_t>(sets[c].size()), 6);
        for (uint8_t b : sets[c]) w.Put(b, 8);
    }
    last = 0;
    for (uint8_t b : t) {
        const auto& set = sets[last];
        if (set.empty()) {
            w.Put(b, 8);
        } else {
            auto at = std::find(set.begin(), set.end(), b);
            if (at == set.end()) {
                w.Put(1, 1);
                w.Put(b, 8);
            } else {
                unsigned bits = 1;
                while ((1u << bits) < set.size()) ++bits;
                w.Put(0, 1);
                w.Put(static_cast<uint32_t>(at - set.begin()), bits);
            }
        }
        last = b;
    }
    return w.Finish();
}

TEST(Unreduce, TestReducerOutputRoundTripsForEveryFactor) {
    Bytes data = SampleData(20000, 21);
    for (int c = 0; c < 600; ++c) data.push_back(static_cast<char>(144));  // long DLE runs
    data += SampleData(3000, 22);
    for (int factor = 1; factor <= 4; ++factor) {
        auto matches = ReduceMatches(data, factor);
        for (unsigned limit : {0u, 5u, 32u}) {
            Bytes packed = ReduceFollowers(matches, limit);
            TResult r = Decode(static_cast<uint16_t>(factor + 1), 0, packed, static_cast<int64_t>(data.size()));
            EXPECT_EQ(r.error, 0) << factor << " " << limit;
            EXPECT_TRUE(r.data == data) << factor << " " << limit;
            EXPECT_EQ(r.crc, Crc32Of(data));
        }
    }
}

TEST(Unreduce, FollowerSetsBeyondTheirBoundsAreRefused) {
    {  // a set of 33 bytes
        TBitWriter w;
        w.Put(33, 6);
        w.Put(0, 32);
        EXPECT_EQ(Decode(2, 0, w.Finish(), 4).error, 25109);
    }
    {  // an index past the end of a set of three
        TBitWriter w;
        for (int c = 255; c > 0; --c) w.Put(0, 6);
        w.Put(3, 6);
        for (uint8_t b : {'x', 'y', 'z'}) w.Put(b, 8);
        w.Put(0, 1);
        w.Put(3, 2);  // no such follower
        w.Put(0, 16);
        TResult r = Decode(2, 0, w.Finish(), 4);
        EXPECT_EQ(r.error, 25109);
    }
}

// ---- implode -------------------------------------------------------------------------

TEST(Explode, TreeDescriptionsThatDoNotFitAreRefused) {
    auto tree = [](TBitWriter& w, std::initializer_list<uint8_t> bytes) {
        w.Put(static_cast<uint32_t>(bytes.size() - 1), 8);
        for (uint8_t b : bytes) w.Put(b, 8);
    };
    {  // 80 lengths for 64 codes
        TBitWriter w;
        tree(w, {0xF5, 0xF5, 0xF5, 0xF5, 0xF5});
        EXPECT_EQ(Decode(6, 0, w.Finish(), 10).error, 25109);
    }
    {  // 16 lengths for 64 codes
        TBitWriter w;
        tree(w, {0xF5});
        w.Put(0, 32);
        EXPECT_EQ(Decode(6, 0, w.Finish(), 10).error, 25109);
    }
    {  // 64 codes of one bit
        TBitWriter w;
        tree(w, {0xF0, 0xF0, 0xF0, 0xF0});
        EXPECT_EQ(Decode(6, 0, w.Finish(), 10).error, 25293);
    }
    {  // 64 codes of 7 bits fill half the tree; a code starting with 1 leads nowhere
        TBitWriter w;
        tree(w, {0xF6, 0xF6, 0xF6, 0xF6});
        tree(w, {0xF6, 0xF6, 0xF6, 0xF6});
        w.Put(0, 1);        // a match
        w.Put(0, 6);        // distance low bits
        w.Put(1, 1);        // first bit of the distance code
        w.Put(0, 16);
        EXPECT_EQ(Decode(6, 0, w.Finish(), 10).error, 25293);
    }
}

}  // namespace
}  // namespace bramble
