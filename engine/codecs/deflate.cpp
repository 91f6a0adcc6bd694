#include "engine/codecs/deflate.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <emmintrin.h>
#endif

#include "engine/codecs/deflatecodes.h"
#include "engine/codecs/spare.h"
#include "engine/core/messages.h"

namespace bramble {

namespace {

using namespace deflatecodes;

static_assert(std::endian::native == std::endian::little, "the bit writer stores little-endian words");

// ---- format constants ------------------------------------------------------

constexpr unsigned kWSize = 32768;                              // sliding window (history)
constexpr unsigned kWMask = kWSize - 1;
constexpr unsigned kWindowBytes = 2 * kWSize;                   // history + lookahead
constexpr unsigned kHashBits = 15;
constexpr unsigned kHashSize = 1u << kHashBits;
constexpr unsigned kHash3Bits = 15;
constexpr unsigned kHash3Size = 1u << kHash3Bits;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 258;
constexpr unsigned kMinLookahead = kMaxMatch + kMinMatch + 1;   // 262
constexpr unsigned kMaxDist = kWSize - kMinLookahead;           // 32506
constexpr unsigned kTooFar = 4096;
constexpr unsigned kSymLimit = 32767;                           // symbols per block
constexpr unsigned kLitCodes = 286;
constexpr unsigned kDistCodes = 30;
constexpr unsigned kBlCodes = 19;
constexpr unsigned kMaxBits = 15;
constexpr unsigned kMaxBlBits = 7;
constexpr unsigned kEndBlock = 256;
// Bytes handed to the write hook at a time: each write goes through the
// cipher, the disk checks and the system, and 1 KB writes cost a call per
// kilobyte for nothing.
constexpr size_t kOutBuf = 65536;
constexpr size_t kOutSlack = 64;   // a symbol never writes more than 8 bytes past the check

constexpr uint32_t kMatchSym = 0x80000000u;  // marks a match in the symbol buffer
constexpr uint32_t kNoDist = 30;             // the distance code field of a literal

// A Huffman code ready for an LSB-first bit writer: the code bits reversed,
// with any extra bits already placed above them.
struct Code {
    uint32_t bits = 0;
    uint32_t len = 0;
};

uint32_t Reverse(uint32_t code, unsigned len) {
    uint32_t r = 0;
    for (unsigned i = 0; i < len; ++i, code >>= 1) r = (r << 1) | (code & 1);
    return r;
}

// Tables that never change: built once per program run.
struct StaticTables {
    uint8_t lengthCode[256];  // match length - 3 -> length code 0..28
    uint8_t fixedLitLen[288];
    uint8_t fixedDistLen[kDistCodes];

    StaticTables() {
        for (unsigned code = 0; code < 28; ++code)
            for (unsigned n = 0; n < (1u << kLengthExtra[code]); ++n)
                lengthCode[kLengthBase[code] - 3 + n] = static_cast<uint8_t>(code);
        // Length 258 has its own code, not the last of code 27's range.
        lengthCode[255] = 28;
        for (unsigned i = 0; i < 288; ++i) fixedLitLen[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        for (unsigned i = 0; i < kDistCodes; ++i) fixedDistLen[i] = 5;
    }
};

const StaticTables& Tables() {
    static const StaticTables t;
    return t;
}

// Distance codes come in pairs per power of two: the code is twice the
// top bit's index plus the bit below it. Computed without a table or a
// branch, where the table needs a near/far test that data full of short
// matches mispredicts. Codes 0 and 1 stand alone.
constexpr unsigned DistCodeOf(unsigned d /* distance - 1 */) {
    const unsigned top = static_cast<unsigned>(std::bit_width(d | 1u)) - 1;
    const unsigned code = 2 * top + (((d << 1) >> top) & 1);
    return d < 2 ? d : code;
}

constexpr bool DistCodesAgreeWithTheBases() {
    for (unsigned code = 0; code < kDistCodes; ++code)
        for (unsigned n = 0; n < (1u << kDistExtra[code]); ++n)
            if (DistCodeOf(kDistBase[code] - 1 + n) != code) return false;
    return true;
}
static_assert(DistCodesAgreeWithTheBases());

// ---- match parameters ----------------------------------------------------------

struct Config {
    unsigned good;   // shorten the chain walk once the previous match is this long
    unsigned lazy;   // lazy: no new search once the previous match is this long;
                     // fast: matches up to this long have all their strings inserted
    unsigned nice;   // stop the chain walk at a match this long
    unsigned chain;  // chain steps at most
};

constexpr Config ConfigOf(int level) {
    switch (level) {
        case 1: return {4, 4, 8, 4};  // fast
        case 2: return {4, 5, 16, 8};  // fast
        case 9: return {32, 258, 258, 4096};
        default: return {8, 32, 128, 256};  // 7
    }
}

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// ---- Huffman code lengths ------------------------------------------------------

// Optimal code lengths for the symbols with a non-zero frequency, limited to
// maxBits (the overflow is pushed up from the deepest level). At least two
// codes always get a length, as a decoder needs a complete or one-bit code.
void BuildLengths(const uint32_t* freq, unsigned n, unsigned maxBits, uint8_t* lens) {
    std::memset(lens, 0, n);
    uint32_t keyed[kLitCodes];  // frequency in the high bits, symbol in the low 9 bits
    unsigned count = 0;
    for (unsigned i = 0; i < n; ++i)
        if (freq[i]) keyed[count++] = (std::min<uint32_t>(freq[i], 0x7FFFFF) << 9) | i;
    if (count < 2) {
        unsigned used = count ? (keyed[0] & 0x1FF) : 1;
        lens[used] = 1;
        lens[used == 0 ? 1 : 0] = 1;
        return;
    }
    std::sort(keyed, keyed + count);

    // Code lengths in place (the minimum-redundancy algorithm of Moffat and
    // Katajainen): A holds frequencies sorted ascending, then parent links,
    // then depths.
    uint32_t A[kLitCodes];
    for (unsigned i = 0; i < count; ++i) A[i] = keyed[i] >> 9;
    {
        int nn = static_cast<int>(count);
        A[0] += A[1];
        int root = 0, leaf = 2;
        for (int next = 1; next < nn - 1; ++next) {
            if (leaf >= nn || A[root] < A[leaf]) {
                A[next] = A[root];
                A[root++] = static_cast<uint32_t>(next);
            } else {
                A[next] = A[leaf++];
            }
            if (leaf >= nn || (root < next && A[root] < A[leaf])) {
                A[next] += A[root];
                A[root++] = static_cast<uint32_t>(next);
            } else {
                A[next] += A[leaf++];
            }
        }
        A[nn - 2] = 0;
        for (int next = nn - 3; next >= 0; --next) A[next] = A[A[next]] + 1;
        int avbl = 1, used = 0, depth = 0;
        root = nn - 2;
        int next = nn - 1;
        while (avbl > 0) {
            while (root >= 0 && static_cast<int>(A[root]) == depth) {
                ++used;
                --root;
            }
            while (avbl > used) {
                A[next--] = static_cast<uint32_t>(depth);
                --avbl;
            }
            avbl = 2 * used;
            ++depth;
            used = 0;
        }
    }

    // A[0] is now the longest length (least frequent symbol).
    if (A[0] > maxBits) {
        unsigned perLen[kMaxBits + 1] = {};
        for (unsigned i = 0; i < count; ++i) ++perLen[std::min<uint32_t>(A[i], maxBits)];
        uint32_t total = 0;
        for (unsigned l = 1; l <= maxBits; ++l) total += perLen[l] << (maxBits - l);
        while (total > (1u << maxBits)) {
            --perLen[maxBits];
            for (unsigned l = maxBits - 1; l > 0; --l) {
                if (perLen[l]) {
                    --perLen[l];
                    perLen[l + 1] += 2;
                    break;
                }
            }
            --total;
        }
        unsigned idx = 0;
        for (unsigned l = maxBits; l > 0; --l)
            for (unsigned k = perLen[l]; k > 0; --k) A[idx++] = l;
    }
    for (unsigned i = 0; i < count; ++i) lens[keyed[i] & 0x1FF] = static_cast<uint8_t>(A[i]);
}

// Canonical codes for the lengths; false when the lengths over-subscribe
// the code space (which BuildLengths never produces).
bool MakeCodes(const uint8_t* lens, unsigned n, unsigned maxBits, Code* codes) {
    unsigned perLen[kMaxBits + 2] = {};
    for (unsigned i = 0; i < n; ++i) ++perLen[lens[i]];
    perLen[0] = 0;
    uint32_t next[kMaxBits + 2] = {};
    uint32_t code = 0;
    for (unsigned l = 1; l <= maxBits; ++l) {
        code = (code + perLen[l - 1]) << 1;
        next[l] = code;
    }
    for (unsigned l = 1; l <= maxBits; ++l)
        if (next[l] + perLen[l] > (1u << l)) return false;
    for (unsigned i = 0; i < n; ++i) {
        unsigned l = lens[i];
        if (l > maxBits) return false;
        codes[i].len = l;
        codes[i].bits = l ? Reverse(next[l]++, l) : 0;
    }
    return true;
}

// ---- the encoder -----------------------------------------------------------------

constexpr size_t kChainsSize = kHashSize + kHash3Size + kWSize;

// The encoder's buffers, some 450 KB, kept for the next entry.
struct TDeflateWorkspace {
    std::unique_ptr<uint8_t[]> window{new uint8_t[kWindowBytes + 16]};
    std::unique_ptr<uint16_t[]> chains{new uint16_t[kChainsSize]};
    std::unique_ptr<uint32_t[]> syms{new uint32_t[kSymLimit + 1]};
    std::unique_ptr<uint8_t[]> outBuf{new uint8_t[kOutBuf + kOutSlack]};
};
// Kept between calls rather than taken per call: see spare.h.
TSpare<TDeflateWorkspace> gSpare;

class Encoder {
public:
    Encoder(TZipCommon& owner, int level, bool encrypt, TStream* in, TStream* out, int64_t inputSize,
            bool allowRaw, int64_t archiveTotal, TDeflateWorkspace& ws)
        : owner_(owner), t_(Tables()), level_(level), earlyEnd_(level >= 3), encrypt_(encrypt),
          in_(in), out_(out), inputSize_(inputSize), archiveTotal_(archiveTotal), allowRaw_(allowRaw),
          window_(ws.window.get()), chains_(ws.chains.get()), syms_(ws.syms.get()), outBuf_(ws.outBuf.get()) {
        // The chain heads must start empty (0: no entry), or the search
        // follows positions of the previous entry; the window is cleared as
        // well, so that nothing of that entry lies even where the search
        // may look past the input's end.
        std::memset(window_, 0, kWindowBytes + 16);
        std::memset(chains_, 0, kChainsSize * sizeof(uint16_t));
    }

    int64_t Run(uint16_t& method);

private:
    // input
    void Fill();
    void Slide();
    // The chains link strings by their first four bytes: a candidate that
    // shares only three bytes is of no use once a match of four is known,
    // and would spend the chain limit for nothing. The nearest string
    // sharing just three bytes has a table of its own (one entry a hash).
    // Both hashes multiply, which spreads similar strings far better than
    // shift-and-xor.
    static unsigned Hash4(const uint8_t* p) { return (Load32(p) * 0x1E35A7BDu) >> (32 - kHashBits); }
    static unsigned Hash3(const uint8_t* p) { return ((Load32(p) << 8) * 0x9E3779B1u) >> (32 - kHash3Bits); }
    // The chain heads, the 3-byte entries and the chain links, one array.
    struct Chains {
        uint16_t* base;
        uint16_t* head() const { return base; }
        uint16_t* head3() const { return base + kHashSize; }
        uint16_t* prev() const { return base + kHashSize + kHash3Size; }
    };
    // Makes s the head of its chain and of its 3-byte entry.
    static void InsertAt(const uint8_t* win, const Chains& tb, unsigned s) {
        const unsigned h = Hash4(win + s);
        tb.prev()[s & kWMask] = tb.head()[h];
        tb.head()[h] = static_cast<uint16_t>(s);
        tb.head3()[Hash3(win + s)] = static_cast<uint16_t>(s);
    }
    // The same, returning the previous chain head and 3-byte entry.
    static unsigned InsertFind(const uint8_t* win, const Chains& tb, unsigned s, unsigned& near3) {
        const unsigned h = Hash4(win + s), h3 = Hash3(win + s);
        const unsigned old = tb.head()[h];
        near3 = tb.head3()[h3];
        tb.prev()[s & kWMask] = static_cast<uint16_t>(old);
        tb.head()[h] = static_cast<uint16_t>(s);
        tb.head3()[h3] = static_cast<uint16_t>(s);
        return old;
    }
    struct Hot;
    Hot Unpark() const;
    void Park(const Hot& h);
    template <Config C>
    void RunFast();
    template <Config C>
    void RunLazy();

    // tally
    void TallyLit(uint32_t* syms, Hot& h, uint8_t c);
    void TallyMatch(uint32_t* syms, Hot& h, unsigned dist, unsigned len);
    bool BlockFull(Hot& h);
    bool LooksDone() const;

    // blocks and bits
    void FlushBlock(bool final);
    void WriteStored(const uint8_t* data, unsigned len, bool final);
    void WriteSymbols(const Code* lit, const Code* dist);
    void Put(uint64_t bits, unsigned n) {
        bitBuf_ |= bits << bitCount_;
        bitCount_ += n;
        if (bitCount_ >= 32) {
            uint32_t w = static_cast<uint32_t>(bitBuf_);
            std::memcpy(&outBuf_[outPos_], &w, 4);
            outPos_ += 4;
            bitBuf_ >>= 32;
            bitCount_ -= 32;
        }
    }
    void AlignToByte() {
        bitCount_ = (bitCount_ + 7) & ~7u;
        while (bitCount_ >= 8) {
            outBuf_[outPos_++] = static_cast<uint8_t>(bitBuf_);
            bitBuf_ >>= 8;
            bitCount_ -= 8;
        }
    }
    void EnsureRoom() {
        if (outPos_ >= kOutBuf) FlushOut();
    }
    void FlushOut();
    void WriteRaw(const uint8_t* data, size_t len);
    [[noreturn]] void Fail(int code) {
        owner_.RaiseError(owner_.ArchiveFile(), "", "0", code);
        throw E_RAISE(code);  // only reached through an override that returns
    }

    TZipCommon& owner_;
    const StaticTables& t_;
    const int level_;
    const bool earlyEnd_;
    const bool encrypt_;
    TStream* const in_;
    TStream* const out_;
    const int64_t inputSize_;
    const int64_t archiveTotal_;
    const bool allowRaw_;

    uint8_t* const window_;    // kWindowBytes + 16
    uint16_t* const chains_;  // see Chains
    unsigned strstart_ = 0;
    unsigned lookahead_ = 0;
    unsigned matchStart_ = 0;
    long blockStart_ = 0;  // goes negative once the block's start slid out of the window
    bool eof_ = false;
    int64_t bytesRead_ = 0;

    // Written before read: left uninitialised (tiny inputs are common).
    // A literal | kNoDist << 8, or kMatchSym | (length - 3) | distance code
    // << 8 | (distance - 1) << 13: the writer then needs no lookups of its
    // own beyond the block's codes (the extra bits are the low bits of
    // distance - 1), and a literal is a match with an empty distance.
    uint32_t* const syms_;
    unsigned n_ = 0;
    uint32_t litFreq_[kLitCodes] = {};
    uint32_t distFreq_[kDistCodes] = {};
    bool firstBlock_ = true;
    bool rawStored_ = false;

    uint8_t* const outBuf_;
    size_t outPos_ = 0;
    uint64_t bitBuf_ = 0;
    unsigned bitCount_ = 0;
    int64_t written_ = 0;
};

// Positions that slid out become "no entry" (0), the others move down by
// kWSize: a saturating subtract, which SSE2 does eight positions at a time.
// Scalar, the slide takes a third of the fastest level's time on i686; the
// compiler widens the loop on its own only at its highest optimisation
// level. x86_64 always has SSE2; i686 takes it when the processor has it.
static_assert(kChainsSize % 8 == 0);

[[maybe_unused]] void SlidePositionsScalar(uint16_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint16_t>(p[i] >= kWSize ? p[i] - kWSize : 0);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("sse2"))) void SlidePositionsSse2(uint16_t* p, size_t n) {
    const __m128i window = _mm_set1_epi16(static_cast<short>(kWSize));
    for (size_t i = 0; i < n; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_subs_epu16(v, window));
    }
}
#endif

#if defined(__i386__) && !defined(__SSE2__)
bool DetectSse2() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
}
const bool kHasSse2 = DetectSse2();

void SlidePositions(uint16_t* p, size_t n) {
    if (kHasSse2)
        SlidePositionsSse2(p, n);
    else
        SlidePositionsScalar(p, n);
}
#elif defined(__x86_64__) || defined(__i386__)
void SlidePositions(uint16_t* p, size_t n) { SlidePositionsSse2(p, n); }
#else
void SlidePositions(uint16_t* p, size_t n) { SlidePositionsScalar(p, n); }
#endif

void Encoder::Slide() {
    std::memcpy(window_, window_ + kWSize, kWSize);
    matchStart_ = matchStart_ >= kWSize ? matchStart_ - kWSize : 0;
    strstart_ -= kWSize;
    blockStart_ -= static_cast<long>(kWSize);
    SlidePositions(chains_, kChainsSize);
}

void Encoder::Fill() {
    for (;;) {
        if (strstart_ >= kWSize + kMaxDist) Slide();
        if (eof_) return;
        unsigned room = kWindowBytes - lookahead_ - strstart_;
        int64_t got = owner_.ReadHook(in_, room, 32, false, &window_[strstart_ + lookahead_]);
        if (got <= 0) {
            eof_ = true;
        } else {
            if (got > room) got = room;  // a hook never delivers more than asked
            lookahead_ += static_cast<unsigned>(got);
            bytesRead_ += got;
        }
        owner_.DoProgress(bytesRead_, inputSize_, archiveTotal_);
        if (owner_.Cancel()) Fail(25400);
        if (lookahead_ >= kMinLookahead) return;
    }
}

// The longest match for the string at s, if longer than best: near3 is
// the nearest string sharing three bytes, cur the head of the chain of
// strings sharing four (0: none, or out of reach). The match's position goes
// to matchPos. Chain candidates at or below limit are out of reach.
inline unsigned LongestMatch(const uint8_t* win, const uint16_t* prev, unsigned s, unsigned cur, unsigned near3,
                             unsigned best, unsigned chain, unsigned nice, unsigned limit, unsigned& matchPos) {
    const uint8_t* scan = win + s;
    if (best < kMinMatch && near3 != 0 && ((Load32(win + near3) ^ Load32(scan)) & 0x00FFFFFFu) == 0) {
        best = kMinMatch;
        matchPos = near3;
    }
    if (cur == 0) return best;
    // A candidate must match the four bytes that end at scan[best] (only the
    // first three while best is 2) before the whole compare: most are
    // rejected by that one load. best < kMaxMatch, so the load stays inside
    // the window.
    unsigned endAt = best >= 3 ? best - 3 : 0;
    uint32_t endMask = best >= 3 ? 0xFFFFFFFFu : 0x00FFFFFFu;
    uint32_t endWord = Load32(scan + endAt) & endMask;
    do {
        const uint8_t* match = win + cur;
        if ((Load32(match + endAt) & endMask) != endWord) continue;
        unsigned len = 0;
        for (;;) {
            uint64_t x = Load64(scan + len) ^ Load64(match + len);
            if (x) {
                len += static_cast<unsigned>(std::countr_zero(x)) >> 3;
                break;
            }
            len += 8;
            if (len >= kMaxMatch) break;
        }
        // The last word reaches past 258 (never past the window's padding).
        if (len > kMaxMatch) len = kMaxMatch;
        if (len > best) {
            matchPos = cur;
            best = len;
            if (len >= nice) break;
            endAt = best - 3;
            endMask = 0xFFFFFFFFu;
            endWord = Load32(scan + endAt);
        }
    } while ((cur = prev[cur & kWMask]) > limit && --chain != 0);
    return best;
}

// The lazy levels' long chain walks, kept out of line: inlined into the
// loop they lose their registers to it. The fast levels' short walks gain
// more from inlining.
[[gnu::noinline]] unsigned LongestMatchOutOfLine(const uint8_t* win, const uint16_t* prev, unsigned s, unsigned cur,
                                                 unsigned near3, unsigned best, unsigned chain, unsigned nice,
                                                 unsigned limit, unsigned& matchPos) {
    return LongestMatch(win, prev, s, cur, near3, best, chain, nice, limit, matchPos);
}

// A table entry as a candidate: 0 when empty or farther back than the
// farthest distance. An empty entry needs no test of its own (it comes out
// 0 either way): one compare the compiler turns into a select, where two
// gave a branch that data without matches mispredicts.
inline unsigned InReach(unsigned cand, unsigned s) { return s - cand <= kMaxDist ? cand : 0; }

// The hot loops keep the encoder's state in locals: a store into the symbol
// buffer or the tables could alias any member, which would then go back to
// memory after every byte. Park() hands the state back to the members
// before a call that uses them, Unpark() takes it again after.
struct Encoder::Hot {
    unsigned s, ahead, n, matchPos;
};

Encoder::Hot Encoder::Unpark() const { return {strstart_, lookahead_, n_, matchStart_}; }

void Encoder::Park(const Hot& h) {
    strstart_ = h.s;
    lookahead_ = h.ahead;
    n_ = h.n;
    matchStart_ = h.matchPos;
}

inline void Encoder::TallyLit(uint32_t* syms, Hot& h, uint8_t c) {
    syms[h.n++] = c | kNoDist << 8;
    ++litFreq_[c];
}

inline void Encoder::TallyMatch(uint32_t* syms, Hot& h, unsigned dist, unsigned len) {
    const unsigned dc = DistCodeOf(dist - 1);
    syms[h.n++] = kMatchSym | (len - kMinMatch) | (dc << 8) | ((dist - 1) << 13);
    ++litFreq_[kEndBlock + 1 + t_.lengthCode[len - kMinMatch]];
    ++distFreq_[dc];
}

inline bool Encoder::BlockFull(Hot& h) {
    if (h.n >= kSymLimit) return true;
    if (!earlyEnd_ || (h.n & 0xFFF) != 0) return false;
    Park(h);
    return LooksDone();
}

// The level's parameters are constants of the loop: the registers they
// would take are worth more to the loop.
template <Config C>
void Encoder::RunFast() {
    const uint8_t* const win = window_;
    const Chains tb{chains_};
    uint32_t* const syms = syms_;
    constexpr unsigned insertLimit = C.lazy, chain = C.chain, niceMax = C.nice;
    Hot h = Unpark();
    for (;;) {
        if (h.ahead < kMinLookahead) {
            Park(h);
            Fill();
            h = Unpark();
            if (h.ahead == 0) break;
        }
        unsigned cand = 0, near3 = 0;
        if (h.ahead >= kMinMatch) {
            cand = InReach(InsertFind(win, tb, h.s, near3), h.s);
            near3 = InReach(near3, h.s);
            // The next position's entries start on their way while this one
            // is searched: on data that seldom matches, each lookup would
            // otherwise start cold behind the search's mispredicted branches.
            __builtin_prefetch(&tb.head()[Hash4(win + h.s + 1)]);
            __builtin_prefetch(&tb.head3()[Hash3(win + h.s + 1)]);
        }
        unsigned len = 0;
        if ((cand | near3) != 0) {
            const unsigned limit = h.s > kMaxDist ? h.s - kMaxDist : 0;
            len = LongestMatch(win, tb.prev(), h.s, cand, near3, kMinMatch - 1, chain, std::min(niceMax, h.ahead), limit,
                               h.matchPos);
            if (len > h.ahead) len = h.ahead;
        }
        bool full;
        if (len >= kMinMatch) {
            TallyMatch(syms, h, h.s - h.matchPos, len);
            full = h.n >= kSymLimit;  // the fast levels end blocks only when full
            h.ahead -= len;
            if (len <= insertLimit && h.ahead >= kMinMatch) {
                for (unsigned k = 1; k < len; ++k) InsertAt(win, tb, h.s + k);
            }
            h.s += len;
        } else {
            TallyLit(syms, h, win[h.s]);
            full = h.n >= kSymLimit;
            --h.ahead;
            ++h.s;
        }
        if (full) {
            Park(h);
            FlushBlock(false);
            h = Unpark();
        }
    }
    Park(h);
}

template <Config C>
void Encoder::RunLazy() {
    const uint8_t* const win = window_;
    const Chains tb{chains_};
    uint32_t* const syms = syms_;
    constexpr unsigned lazy = C.lazy, good = C.good, chainMax = C.chain, niceMax = C.nice;
    unsigned matchLength = kMinMatch - 1;
    bool pending = false;  // the byte before s waits to be tallied
    Hot h = Unpark();
    for (;;) {
        if (h.ahead < kMinLookahead) {
            Park(h);
            Fill();
            h = Unpark();
            if (h.ahead == 0) break;
        }
        unsigned cand = 0, near3 = 0;
        if (h.ahead >= kMinMatch) {
            cand = InReach(InsertFind(win, tb, h.s, near3), h.s);
            near3 = InReach(near3, h.s);
        }
        const unsigned prevLength = matchLength;
        const unsigned prevMatch = h.matchPos;
        matchLength = kMinMatch - 1;
        if (prevLength < lazy && (cand != 0 || (near3 != 0 && prevLength < kMinMatch))) {
            const unsigned limit = h.s > kMaxDist ? h.s - kMaxDist : 0;
            matchLength = LongestMatchOutOfLine(win, tb.prev(), h.s, cand, near3, prevLength, prevLength >= good ? chainMax >> 2 : chainMax,
                                       std::min(niceMax, h.ahead), limit, h.matchPos);
            if (matchLength > h.ahead) matchLength = h.ahead;
            if (matchLength == kMinMatch && h.s - h.matchPos > kTooFar) matchLength = kMinMatch - 1;
        }
        if (prevLength >= kMinMatch && matchLength <= prevLength) {
            const unsigned maxInsert = h.s + h.ahead - kMinMatch;
            TallyMatch(syms, h, h.s - 1 - prevMatch, prevLength);
            const bool full = BlockFull(h);
            // The strings of the match from s on (s - 1 and s are in already).
            h.ahead -= prevLength - 1;
            const unsigned end = h.s - 1 + prevLength;
            const unsigned stop = std::min(end - 1, maxInsert);
            for (unsigned p = h.s + 1; p <= stop; ++p) InsertAt(win, tb, p);
            h.s = end;
            pending = false;
            matchLength = kMinMatch - 1;
            if (full) {
                Park(h);
                FlushBlock(false);
                h = Unpark();
            }
        } else if (pending) {
            // The block ends behind the literal, before s moves on.
            TallyLit(syms, h, win[h.s - 1]);
            if (BlockFull(h)) {
                Park(h);
                FlushBlock(false);
                h = Unpark();
            }
            ++h.s;
            --h.ahead;
        } else {
            pending = true;
            ++h.s;
            --h.ahead;
        }
    }
    if (pending) TallyLit(syms, h, win[h.s - 1]);
    Park(h);
}

bool Encoder::LooksDone() const {
    uint64_t outBits = uint64_t(n_) * 8;
    for (unsigned d = 0; d < kDistCodes; ++d) outBits += uint64_t(distFreq_[d]) * (5 + kDistExtra[d]);
    uint64_t outBytes = outBits >> 3;
    long inBytes = static_cast<long>(strstart_) - blockStart_;
    uint64_t matches = 0;
    for (unsigned d = 0; d < kDistCodes; ++d) matches += distFreq_[d];
    return matches < n_ / 2 && outBytes < static_cast<uint64_t>(inBytes / 2);
}

void Encoder::FlushOut() {
    if (outPos_ == 0) return;
    owner_.CompressWriteHook(out_, true, static_cast<int64_t>(outPos_), 0, encrypt_, outBuf_);
    written_ += static_cast<int64_t>(outPos_);
    outPos_ = 0;
}

void Encoder::WriteRaw(const uint8_t* data, size_t len) {
    EnsureRoom();
    while (len > 0) {
        size_t k = std::min(len, kOutBuf - outPos_);
        std::memcpy(&outBuf_[outPos_], data, k);
        outPos_ += k;
        data += k;
        len -= k;
        EnsureRoom();
    }
}

void Encoder::WriteStored(const uint8_t* data, unsigned len, bool final) {
    Put(final ? 1 : 0, 3);
    AlignToByte();
    EnsureRoom();
    uint8_t hdr[4] = {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(~len),
                      static_cast<uint8_t>(~len >> 8)};
    WriteRaw(hdr, 4);
    WriteRaw(data, len);
}

void Encoder::WriteSymbols(const Code* lit, const Code* dist) {
    // The literals, then the length symbols with their extra bits folded
    // in, indexed by the symbol's match flag and low byte: literals and
    // matches take the same path, with no branch between them to mispredict
    // on data where they alternate at random.
    Code first[512];
    std::copy(lit, lit + 256, first);
    for (unsigned lc = 0; lc < 256; ++lc) {
        unsigned code = t_.lengthCode[lc];
        const Code& c = lit[kEndBlock + 1 + code];
        first[256 + lc].bits = c.bits | ((lc + kMinMatch - kLengthBase[code]) << c.len);
        first[256 + lc].len = c.len + kLengthExtra[code];
    }
    // Distance codes with the room their extra bits take and the mask that
    // picks those bits from distance - 1; a literal's is empty.
    struct DistSym {
        uint32_t bits, codeLen, len, extraMask;
    } distCodes[kNoDist + 1];
    for (unsigned dc = 0; dc < kDistCodes; ++dc)
        distCodes[dc] = {dist[dc].bits, dist[dc].len, dist[dc].len + kDistExtra[dc], (1u << kDistExtra[dc]) - 1};
    distCodes[kNoDist] = {0, 0, 0, 0};
    // The bit state lives in locals: every store into the output buffer
    // could alias the members, which would then go back to memory after
    // each symbol. Whole bytes leave 8 at a time with no test (the slack
    // behind the buffer takes what is written past the mark); a symbol is
    // at most 48 bits, so with at most 7 bits left over it always fits.
    uint8_t* const base = outBuf_;
    uint8_t* const mark = base + kOutBuf;
    uint8_t* out = base + outPos_;
    uint64_t bb = bitBuf_;
    unsigned bc = bitCount_;
    auto flushBits = [&] {
        std::memcpy(out, &bb, 8);
        out += bc >> 3;
        bb >>= bc & ~7u;
        bc &= 7;
    };
    flushBits();
    const uint32_t* s = syms_;
    const uint32_t* const end = s + n_;
    for (; s != end; ++s) {
        if (out >= mark) {
            outPos_ = static_cast<size_t>(out - base);
            FlushOut();
            out = base;
        }
        const uint32_t v = *s;
        const Code& lc = first[(v >> 23 & 0x100) | (v & 0xFF)];
        const DistSym& dcode = distCodes[(v >> 8) & 31];
        bb |= uint64_t(lc.bits) << bc;
        bc += lc.len;
        bb |= uint64_t(dcode.bits | (((v >> 13) & dcode.extraMask) << dcode.codeLen)) << bc;
        bc += dcode.len;
        flushBits();
    }
    outPos_ = static_cast<size_t>(out - base);
    bitBuf_ = bb;
    bitCount_ = bc;
    EnsureRoom();
    Put(lit[kEndBlock].bits, lit[kEndBlock].len);
}

void Encoder::FlushBlock(bool final) {
    const unsigned storedLen = static_cast<unsigned>(static_cast<long>(strstart_) - blockStart_);
    const bool inWindow = blockStart_ >= 0;
    litFreq_[kEndBlock] = 1;

    uint8_t litLen[kLitCodes], distLen[kDistCodes];
    BuildLengths(litFreq_, kLitCodes, kMaxBits, litLen);
    BuildLengths(distFreq_, kDistCodes, kMaxBits, distLen);

    // Extra bits cost the same in both codings.
    uint64_t extraBits = 0;
    for (unsigned c = 0; c < 29; ++c) extraBits += uint64_t(litFreq_[kEndBlock + 1 + c]) * kLengthExtra[c];
    for (unsigned c = 0; c < kDistCodes; ++c) extraBits += uint64_t(distFreq_[c]) * kDistExtra[c];
    uint64_t dynBits = extraBits, fixBits = extraBits;
    for (unsigned c = 0; c < kLitCodes; ++c) {
        dynBits += uint64_t(litFreq_[c]) * litLen[c];
        fixBits += uint64_t(litFreq_[c]) * t_.fixedLitLen[c];
    }
    for (unsigned c = 0; c < kDistCodes; ++c) {
        dynBits += uint64_t(distFreq_[c]) * distLen[c];
        fixBits += uint64_t(distFreq_[c]) * 5;
    }

    // Run-length coded tree lengths (runs may cross from the literal to the
    // distance lengths, as the format allows).
    unsigned hlit = kLitCodes, hdist = kDistCodes;
    while (hlit > 257 && litLen[hlit - 1] == 0) --hlit;
    while (hdist > 1 && distLen[hdist - 1] == 0) --hdist;
    uint8_t all[kLitCodes + kDistCodes];
    std::memcpy(all, litLen, hlit);
    std::memcpy(all + hlit, distLen, hdist);
    const unsigned total = hlit + hdist;
    uint16_t rle[kLitCodes + kDistCodes];  // symbol | extra << 5
    unsigned nrle = 0;
    uint32_t blFreq[kBlCodes] = {};
    auto emit = [&](unsigned sym, unsigned extra) {
        rle[nrle++] = static_cast<uint16_t>(sym | extra << 5);
        ++blFreq[sym];
    };
    for (unsigned i = 0; i < total;) {
        unsigned l = all[i];
        unsigned run = 1;
        while (i + run < total && all[i + run] == l) ++run;
        i += run;
        if (l == 0) {
            while (run >= 11) {
                unsigned r = std::min(run, 138u);
                emit(18, r - 11);
                run -= r;
            }
            if (run >= 3) {
                emit(17, run - 3);
                run = 0;
            }
        } else {
            emit(l, 0);
            --run;
            while (run >= 3) {
                unsigned r = std::min(run, 6u);
                emit(16, r - 3);
                run -= r;
            }
        }
        for (; run > 0; --run) emit(l, 0);
    }
    uint8_t blLen[kBlCodes];
    BuildLengths(blFreq, kBlCodes, kMaxBlBits, blLen);
    unsigned hclen = kBlCodes;
    while (hclen > 4 && blLen[kCodeLengthOrder[hclen - 1]] == 0) --hclen;
    dynBits += 5 + 5 + 4 + 3 * hclen;
    for (unsigned c = 0; c < kBlCodes; ++c) dynBits += uint64_t(blFreq[c]) * blLen[c];
    dynBits += uint64_t(blFreq[16]) * 2 + uint64_t(blFreq[17]) * 3 + uint64_t(blFreq[18]) * 7;

    const uint64_t dynBytes = (dynBits + 3 + 7) >> 3;
    const uint64_t fixBytes = (fixBits + 3 + 7) >> 3;
    const uint64_t estimate = std::min(dynBytes, fixBytes);

    const uint8_t* blockData = inWindow ? &window_[static_cast<size_t>(blockStart_)] : nullptr;
    if (firstBlock_ && final && allowRaw_ && inWindow && estimate >= storedLen) {
        // Nothing is gained: the whole input goes out as it is (stored).
        // Measured against the better of both codings, so that a short
        // input of random bytes (whose dynamic tree costs more than the
        // fixed codes) is stored too.
        WriteRaw(blockData, storedLen);
        rawStored_ = true;
    } else if (inWindow && storedLen <= 0xFFFF && uint64_t(storedLen) + 4 <= estimate) {
        WriteStored(blockData, storedLen, final);
    } else if (fixBytes == estimate) {
        Code lit[288], dist[kDistCodes];
        if (!MakeCodes(t_.fixedLitLen, 288, kMaxBits, lit) || !MakeCodes(t_.fixedDistLen, kDistCodes, kMaxBits, dist))
            Fail(25246);
        Put((final ? 1 : 0) | (1 << 1), 3);
        WriteSymbols(lit, dist);
    } else {
        Code lit[kLitCodes], dist[kDistCodes], bl[kBlCodes];
        if (!MakeCodes(litLen, kLitCodes, kMaxBits, lit) || !MakeCodes(distLen, kDistCodes, kMaxBits, dist) ||
            !MakeCodes(blLen, kBlCodes, kMaxBlBits, bl))
            Fail(25246);
        Put((final ? 1 : 0) | (2 << 1), 3);
        Put(hlit - 257, 5);
        Put(hdist - 1, 5);
        Put(hclen - 4, 4);
        for (unsigned i = 0; i < hclen; ++i) Put(blLen[kCodeLengthOrder[i]], 3);
        static constexpr uint8_t kRepeatBits[3] = {2, 3, 7};
        for (unsigned i = 0; i < nrle; ++i) {
            EnsureRoom();
            unsigned sym = rle[i] & 31, extra = rle[i] >> 5;
            // A tree symbol without a usable code would make the stream
            // undecodable: an internal fault, never sent. Raised, not shown
            // and passed over, since the entry written on would not read.
            if (bl[sym].len == 0 || bl[sym].len > kMaxBlBits) Fail(25245);
            Put(bl[sym].bits, bl[sym].len);
            if (sym >= 16) Put(extra, kRepeatBits[sym - 16]);
        }
        WriteSymbols(lit, dist);
    }

    // The next block.
    firstBlock_ = false;
    blockStart_ = static_cast<long>(strstart_);
    n_ = 0;
    std::memset(litFreq_, 0, sizeof litFreq_);
    std::memset(distFreq_, 0, sizeof distFreq_);
    EnsureRoom();
}

int64_t Encoder::Run(uint16_t& method) {
    method = 8;
    Fill();
    if (lookahead_ == 0) {
        if (allowRaw_) {
            method = 0;  // an empty entry is simply stored
            return 0;
        }
        // The shortest valid stream: one final fixed block holding only the end code.
        Put(1 | (1 << 1), 3);
        Put(0, 7);
        AlignToByte();
        FlushOut();
        return written_;
    }
    switch (level_) {
        case 1: RunFast<ConfigOf(1)>(); break;
        case 2: RunFast<ConfigOf(2)>(); break;
        case 9: RunLazy<ConfigOf(9)>(); break;
        default: RunLazy<ConfigOf(7)>(); break;
    }
    FlushBlock(true);
    if (rawStored_) method = 0;
    AlignToByte();
    FlushOut();
    return written_;
}

}  // namespace

int DeflateLevelOf(TDeflateType Level) {
    switch (Level) {
        case dtDeflateS: return 1;
        case dtDeflateF: return 2;
        case dtDeflateX: return 9;
        default: return 7;
    }
}

int64_t Deflate(TZipCommon& Owner, TDeflateType Level, bool Encrypt, TStream* Input, TStream* Output,
                int64_t InputSize, bool AllowRawStore, uint16_t& MethodOut, int64_t ArchiveTotal) {
    std::unique_ptr<TDeflateWorkspace> ws = gSpare.Take();
    int64_t n = Encoder(Owner, DeflateLevelOf(Level), Encrypt, Input, Output, InputSize, AllowRawStore, ArchiveTotal, *ws)
                    .Run(MethodOut);
    gSpare.Keep(std::move(ws));
    return n;
}

}  // namespace bramble
