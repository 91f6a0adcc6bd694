#include "engine/codecs/inflate.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>

#include "engine/codecs/deflatecodes.h"
#include "engine/codecs/spare.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define BRAMBLE_INFLATE_BMI2 1
#endif

namespace bramble {

namespace {

// ---- decode tables ------------------------------------------------------------
//
// One 32-bit entry per lookup slot:
//   bits 0-7    bits to drop: code length plus extra bits (at most 28); for
//               a subtable pointer, the root bits
//   bits 8-11   code length within this table (subtable pointer: its index bits)
//   bits 13-15  flags: subtable pointer, end of block, invalid
//   bits 16-30  value: literal byte, length or distance base, subtable start
//   bit 31      literal
// The hot loop tests a literal by the sign alone and drops bits by the low
// byte alone; lengths and distances drop code and extra bits at once, and
// the extra value is the dropped bits shifted right by the code length.

constexpr uint32_t kLiteral = 1u << 31;
constexpr uint32_t kSubtable = 1u << 13;
constexpr uint32_t kEndOfBlock = 1u << 14;
constexpr uint32_t kInvalid = 1u << 15;
constexpr uint32_t kSpecial = kSubtable | kEndOfBlock | kInvalid;

constexpr unsigned kLitBits = 11;
constexpr unsigned kDistBits = 8;
constexpr unsigned kPreBits = 7;
constexpr uint32_t kLitMask = (1u << kLitBits) - 1;
constexpr uint32_t kDistMask = (1u << kDistBits) - 1;
constexpr uint32_t kPreMask = (1u << kPreBits) - 1;
// Each code longer than the root bits opens at most one subtable of at most
// 2^(15 - root) slots: a bound that needs no trust in the code lengths.
constexpr size_t kLitSize = (1u << kLitBits) + 288 * (1u << (15 - kLitBits));
constexpr size_t kDistSize = (1u << kDistBits) + 32 * (1u << (15 - kDistBits));
constexpr size_t kPreSize = 1u << kPreBits;

using namespace deflatecodes;

enum class TableKind { CodeLengths, LitLen, Dist };

constexpr uint32_t MakeEntry(uint32_t flags, uint32_t value, unsigned codeLen, unsigned extra) {
    return value << 16 | flags | codeLen << 8 | (codeLen + extra);
}

// What each symbol stands for, as an entry without its code length (which
// BuildTable adds to both the drop count and the length field).
template <TableKind Kind, unsigned N>
constexpr std::array<uint32_t, N> SymbolEntries() {
    std::array<uint32_t, N> t{};
    for (unsigned sym = 0; sym < N; ++sym) {
        if constexpr (Kind == TableKind::CodeLengths) {
            t[sym] = MakeEntry(0, sym, 0, 0);
        } else if constexpr (Kind == TableKind::LitLen) {
            if (sym < 256)
                t[sym] = MakeEntry(kLiteral, sym, 0, 0);
            else if (sym == 256)
                t[sym] = MakeEntry(kEndOfBlock, 0, 0, 0);
            else if (sym < 286)
                t[sym] = MakeEntry(0, kLengthBase[sym - 257], 0, kLengthExtra[sym - 257]);
            else  // 286 and 287 take part in the code but stand for nothing
                t[sym] = MakeEntry(kInvalid, 0, 0, 0);
        } else {
            t[sym] = sym < 30 ? MakeEntry(0, kDistBase[sym], 0, kDistExtra[sym]) : MakeEntry(kInvalid, 0, 0, 0);
        }
    }
    return t;
}
constexpr auto kPreEntries = SymbolEntries<TableKind::CodeLengths, 19>();
constexpr auto kLitLenEntries = SymbolEntries<TableKind::LitLen, 288>();
constexpr auto kDistEntries = SymbolEntries<TableKind::Dist, 32>();

uint32_t SymbolEntry(const uint32_t* entries, unsigned sym, unsigned codeLen) {
    return entries[sym] + (codeLen << 8 | codeLen);
}

// Every dynamic block builds two tables: reversing a code a byte at a time
// keeps that cheap beside decoding the block.
constexpr auto kReversedBytes = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = 0;
        for (unsigned b = 0; b < 8; ++b) r |= ((i >> b) & 1u) << (7 - b);
        t[i] = static_cast<uint8_t>(r);
    }
    return t;
}();

uint32_t ReverseBits(uint32_t code, unsigned len) {
    uint32_t r = static_cast<uint32_t>(kReversedBytes[code & 0xFF]) << 8 | kReversedBytes[code >> 8 & 0xFF];
    return r >> (16 - len);
}

// Builds the lookup table of a canonical code from its code lengths.
// Returns false for lengths that do not form a usable code: over-subscribed,
// or incomplete beyond the one case deflate allows (a single code of one
// bit, for literal/length and distance codes). No codes at all gives a table
// whose every slot is invalid.
bool BuildTable(const uint8_t* lens, unsigned n, unsigned root, uint32_t* table, size_t capacity,
                TableKind kind) {
    unsigned count[16] = {};
    for (unsigned i = 0; i < n; ++i) count[lens[i] & 15]++;
    count[0] = 0;
    int left = 1;
    unsigned maxLen = 0;
    for (unsigned len = 1; len <= 15; ++len) {
        left <<= 1;
        left -= static_cast<int>(count[len]);
        if (left < 0) return false;
        if (count[len]) maxLen = len;
    }
    const size_t rootSize = size_t{1} << root;
    const uint32_t* entries = kind == TableKind::LitLen ? kLitLenEntries.data()
                              : kind == TableKind::Dist ? kDistEntries.data()
                                                        : kPreEntries.data();
    // A complete code fills every slot; only the lone one-bit code leaves
    // holes (and no code at all).
    if (left > 0)
        for (size_t i = 0; i < rootSize; ++i) table[i] = kInvalid;
    if (maxLen == 0) return true;
    if (left > 0 && (kind == TableKind::CodeLengths || maxLen != 1)) return false;

    // Symbols in code order: by length, then by value.
    unsigned offs[16] = {};
    for (unsigned len = 1; len < 15; ++len) offs[len + 1] = offs[len] + count[len];
    uint16_t sorted[288];
    unsigned total = 0;
    for (unsigned sym = 0; sym < n; ++sym) {
        if (lens[sym]) {
            sorted[offs[lens[sym]]++] = static_cast<uint16_t>(sym);
            ++total;
        }
    }

    // Codes no longer than the root bits fill the root table by doubling:
    // once every code of length L is in place, the table's first 2^L slots
    // are final for those codes whatever bits follow, so copying them above
    // themselves gives the table for length L+1. Each code is written once
    // and the rest are block copies, not a strided store per slot.
    uint32_t code = 0;  // canonical code, first bit highest
    unsigned prevLen = 0;
    unsigned i = 0;
    unsigned filledLen = 1;  // the table holds every code this long or shorter
    for (; i < total; ++i) {
        unsigned sym = sorted[i];
        unsigned len = lens[sym];
        if (len > root) break;
        if (i > 0) code = (code + 1) << (len - prevLen);
        prevLen = len;
        for (; filledLen < len; ++filledLen)
            std::memcpy(table + (size_t{1} << filledLen), table, sizeof(uint32_t) << filledLen);
        table[ReverseBits(code, len)] = SymbolEntry(entries, sym, len);
    }
    for (; filledLen < root; ++filledLen)
        std::memcpy(table + (size_t{1} << filledLen), table, sizeof(uint32_t) << filledLen);

    // Longer codes go into subtables behind their first root bits.
    size_t next = rootSize;  // where the next subtable goes
    uint32_t openPrefix = ~0u;
    size_t subStart = 0;
    unsigned subBits = 0;
    for (; i < total; ++i) {
        unsigned sym = sorted[i];
        unsigned len = lens[sym];
        if (i > 0) code = (code + 1) << (len - prevLen);
        prevLen = len;
        uint32_t rev = ReverseBits(code, len);  // as it arrives, first bit lowest
        uint32_t prefix = rev & static_cast<uint32_t>(rootSize - 1);
        if (prefix != openPrefix) {
            // The subtable holds every code behind this prefix: size it
            // by the codes of this length and longer still to place.
            unsigned bits = len - root;
            int room = 1 << bits;
            while (bits + root < maxLen) {
                room -= static_cast<int>(count[bits + root]);
                if (room <= 0) break;
                ++bits;
                room <<= 1;
            }
            subBits = bits;
            subStart = next;
            if (subStart + (size_t{1} << subBits) > capacity) return false;
            next += size_t{1} << subBits;
            if (left > 0)
                for (size_t k = 0; k < (size_t{1} << subBits); ++k) table[subStart + k] = kInvalid;
            table[prefix] = MakeEntry(kSubtable, static_cast<uint32_t>(subStart), subBits, root - subBits);
            openPrefix = prefix;
        }
        uint32_t e = SymbolEntry(entries, sym, len - root);
        for (size_t k = rev >> root; k < (size_t{1} << subBits); k += size_t{1} << (len - root))
            table[subStart + k] = e;
        count[len]--;
    }
    return true;
}

#ifdef BRAMBLE_INFLATE_BMI2
bool DetectBmi2() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & bit_BMI2) != 0;
}
const bool kHasBmi2 = DetectBmi2();
#endif

constexpr TInflateWord kNativeWord = sizeof(void*) >= 8 ? TInflateWord::Wide : TInflateWord::Narrow;
std::atomic<TInflateWord> gWord{kNativeWord};

// ---- the decoder ----------------------------------------------------------------

// Output goes into one buffer holding the 32 KB history the distances may
// reach and a large stretch of new output; when the stretch is full it is
// written out in one block and the last 32 KB move to the front.
constexpr size_t kHistory = 32768;
constexpr size_t kBufSize = kHistory * 8;
constexpr size_t kBufSlack = 64;          // word-wise copies may run past the end
constexpr size_t kFastRoom = 300;  // one loop turn writes at most 3 literals and a match with its overrun
constexpr ptrdiff_t kFastInput = 24;      // a turn's refills, each loading a word some bytes on

template <typename TWord>
inline TWord LoadWord(const uint8_t* p) {
    TWord v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        if constexpr (sizeof v == 8)
            v = __builtin_bswap64(v);
        else
            v = __builtin_bswap32(v);
    }
    return v;
}

// A block's two decode tables in one array: the literal/length table, then
// the distance table.
struct TCodeTables {
    static constexpr size_t kDist = kLitSize;  // where the distance table starts
    uint32_t entries[kLitSize + kDistSize];
    uint32_t* Lit() { return entries; }
    uint32_t* Dist() { return entries + kDist; }
    const uint32_t* Lit() const { return entries; }
    const uint32_t* Dist() const { return entries + kDist; }
};

// What a decoder works in besides its place in the stream: the output
// buffer and the decode tables, some 350 KB, kept for the next entry. The
// fixed code's tables, once built in it, stay valid. Nothing else carries
// over: every distance is checked against the entry's own output.
struct TWorkspace {
    std::unique_ptr<uint8_t[]> buf{new uint8_t[kBufSize + kBufSlack]};
    TCodeTables dynamic;
    TCodeTables fixed;
    bool fixedBuilt = false;
    uint32_t pre[kPreSize];
};
TSpare<TWorkspace> gSpare;

class TInflater {
public:
    TInflater(TZipInput& in, TZipOutput& out, TWorkspace& ws)
        : in_(in), out_(out), buf_(ws.buf.get()), fixedBuilt_(ws.fixedBuilt), dynamic_(ws.dynamic), fixed_(ws.fixed),
          pre_(ws.pre) {
        op_ = flushed_ = buf_;
    }

    void Run() {
        for (;;) {
            uint32_t header = in_.ZipGetBits(3);
            switch (header >> 1) {
                case 0: StoredBlock(); break;
                case 1:
                    if (!fixedBuilt_) BuildFixed();
                    HuffmanBlock(fixed_);
                    break;
                case 2:
                    ReadDynamicTables();
                    HuffmanBlock(dynamic_);
                    break;
                default: Fail(25109);
            }
            if (header & 1) break;
        }
        Flush();
    }

private:
    TZipInput& in_;
    TZipOutput& out_;
    uint8_t* const buf_;
    uint8_t* op_;       // next byte of output
    uint8_t* flushed_;  // first byte not yet written out
    bool& fixedBuilt_;
    const bool wide_ = gWord.load(std::memory_order_relaxed) == TInflateWord::Wide;
    TCodeTables& dynamic_;
    TCodeTables& fixed_;
    uint32_t* const pre_;

    [[noreturn]] void Fail(int code) { ZipDecodeError(out_.Owner(), code); }

    uint8_t* BufEnd() { return buf_ + kBufSize; }
    uint8_t* FastLimit() { return buf_ + kBufSize - kFastRoom; }

    void Flush() {
        out_.Write(flushed_, static_cast<size_t>(op_ - flushed_));
        if (static_cast<size_t>(op_ - buf_) > kHistory) {
            std::memmove(buf_, op_ - kHistory, kHistory);
            op_ = buf_ + kHistory;
        }
        flushed_ = op_;
    }

    void BuildFixed() {
        uint8_t lens[288];
        for (unsigned i = 0; i < 144; ++i) lens[i] = 8;
        for (unsigned i = 144; i < 256; ++i) lens[i] = 9;
        for (unsigned i = 256; i < 280; ++i) lens[i] = 7;
        for (unsigned i = 280; i < 288; ++i) lens[i] = 8;
        BuildTable(lens, 288, kLitBits, fixed_.Lit(), kLitSize, TableKind::LitLen);
        uint8_t dlens[32];
        for (unsigned i = 0; i < 32; ++i) dlens[i] = 5;
        BuildTable(dlens, 32, kDistBits, fixed_.Dist(), kDistSize, TableKind::Dist);
        fixedBuilt_ = true;
    }

    void ReadDynamicTables() {
        unsigned nlit = in_.ZipGetBits(5) + 257;
        unsigned ndist = in_.ZipGetBits(5) + 1;
        unsigned ncode = in_.ZipGetBits(4) + 4;
        if (nlit > 288 || ndist > 32) Fail(25247);

        uint8_t preLens[19] = {};
        for (unsigned i = 0; i < ncode; ++i) preLens[kCodeLengthOrder[i]] = static_cast<uint8_t>(in_.ZipGetBits(3));
        if (!BuildTable(preLens, 19, kPreBits, pre_, kPreSize, TableKind::CodeLengths)) Fail(25138);

        uint8_t lens[288 + 32] = {};
        unsigned total = nlit + ndist;
        for (unsigned n = 0; n < total;) {
            uint32_t e = pre_[in_.ZipPeekBits(kPreBits) & kPreMask];
            if (e & kSpecial) Fail(25138);
            in_.ZipDropBits(e & 0xFF);
            unsigned sym = e >> 16;
            if (sym < 16) {
                lens[n++] = static_cast<uint8_t>(sym);
                continue;
            }
            unsigned repeat;
            uint8_t value = 0;
            if (sym == 16) {
                if (n == 0) Fail(25138);  // nothing to repeat
                value = lens[n - 1];
                repeat = 3 + in_.ZipGetBits(2);
            } else if (sym == 17) {
                repeat = 3 + in_.ZipGetBits(3);
            } else {
                repeat = 11 + in_.ZipGetBits(7);
            }
            if (repeat > total - n) Fail(25138);
            std::memset(lens + n, value, repeat);
            n += repeat;
        }
        // Without an end-of-block code the block could never end.
        if (lens[256] == 0) Fail(25138);
        if (!BuildTable(lens, nlit, kLitBits, dynamic_.Lit(), kLitSize, TableKind::LitLen)) Fail(25138);
        if (!BuildTable(lens + nlit, ndist, kDistBits, dynamic_.Dist(), kDistSize, TableKind::Dist)) Fail(25138);
    }

    void StoredBlock() {
        in_.AlignToByte();
        uint32_t len = in_.ZipGetBits(16);
        uint32_t nlen = in_.ZipGetBits(16);
        if ((len ^ 0xFFFFu) != nlen) Fail(25109);
        if (op_ > FastLimit()) Flush();
        // Whole bytes still in the bit buffer come first.
        while (len && in_.BitCount >= 8) {
            if (op_ == BufEnd()) Flush();
            *op_++ = static_cast<uint8_t>(in_.ZipGetBits(8));
            --len;
        }
        if (!len) return;
        // The buffer is empty now; what stood above its count were copies of
        // the bytes at Next, which are taken directly from here on.
        in_.Bits = 0;
        while (len) {
            if (in_.Next == in_.End && !in_.Fill()) in_.Truncated();
            if (op_ == BufEnd()) Flush();
            size_t n = len;
            size_t avail = static_cast<size_t>(in_.End - in_.Next);
            size_t room = static_cast<size_t>(BufEnd() - op_);
            if (n > avail) n = avail;
            if (n > room) n = room;
            std::memcpy(op_, in_.Next, n);
            op_ += n;
            in_.Next += n;
            len -= static_cast<uint32_t>(n);
        }
    }

    void HuffmanBlock(const TCodeTables& t) {
        for (;;) {
            if (op_ > FastLimit()) Flush();
            if (in_.End - in_.Next < 2 * kFastInput) in_.Fill();
            // The narrow loop takes over a buffer of 31 bits at most; the
            // slow path, which tops up only what it needs, drains the longer
            // one the block's header may leave behind.
            if (in_.End - in_.Next >= kFastInput && (wide_ || in_.BitCount < 32)) {
                if (FastLoop(t)) return;
            } else {
                if (SlowSymbol(t)) return;
            }
        }
    }

    // One symbol with every bit accounted for: used near the end of the
    // input, where words cannot be loaded ahead, and where the narrow loop
    // cannot take over yet. It reads only the bytes each step needs, so the
    // buffer shrinks as it goes. True at the end of block.
    bool SlowSymbol(const TCodeTables& t) {
        const uint32_t* lit = t.Lit();
        const uint32_t* dist = t.Dist();
        auto need = [this](unsigned n) {
            if (in_.BitCount < n) in_.ZipNeedBits(n, n);
        };
        // A code of up to 15 bits, through its subtable when it has one.
        auto code = [&](const uint32_t* table, unsigned rootBits) {
            need(15);
            uint32_t e = table[in_.Bits & ((1u << rootBits) - 1)];
            if (e & kSubtable) {
                in_.ZipDropBits(rootBits);
                e = table[(e >> 16) + (in_.Bits & ((1u << ((e >> 8) & 15)) - 1))];
            }
            return e;
        };
        auto baseValue = [&](uint32_t e) {
            unsigned n = e & 0xFF;
            need(n);
            uint32_t v = (e >> 16) + ((static_cast<uint32_t>(in_.Bits) & ((1u << n) - 1)) >> ((e >> 8) & 15));
            in_.ZipDropBits(n);
            return v;
        };
        uint32_t e = code(lit, kLitBits);
        if (e & kLiteral) {
            in_.ZipDropBits(e & 0xFF);
            *op_++ = static_cast<uint8_t>(e >> 16);
            return false;
        }
        if (e & kEndOfBlock) {
            in_.ZipDropBits(e & 0xFF);
            return true;
        }
        if (e & kSpecial) Fail(25109);
        uint32_t length = baseValue(e);
        e = code(dist, kDistBits);
        if (e & kSpecial) Fail(25109);
        uint32_t distance = baseValue(e);
        if (distance > static_cast<size_t>(op_ - buf_)) Fail(25109);
        const uint8_t* src = op_ - distance;
        for (uint32_t i = 0; i < length; ++i) op_[i] = src[i];
        op_ += length;
        return false;
    }

    // The hot loop: runs while kFastInput input bytes are buffered and the
    // output has room for one more turn, so no symbol checks either bound.
    // Its bit buffer is a word of 64 bits, or of 32 where 64-bit shifts take
    // several instructions (i686). The bit count lives in the low bits of
    // Count only (six or five): whole entries are subtracted from it, which
    // leaves their low byte (the bits to drop) exact modulo the word's width
    // and saves masking them out on every symbol. True at the end of block.
    bool FastLoop(const TCodeTables& t) {
#ifdef BRAMBLE_INFLATE_BMI2
        if (kHasBmi2) return wide_ ? FastLoopBmi2<uint64_t>(t) : FastLoopBmi2<uint32_t>(t);
#endif
        return wide_ ? FastLoopBody<uint64_t>(t) : FastLoopBody<uint32_t>(t);
    }

#ifdef BRAMBLE_INFLATE_BMI2
    // The same loop where shifts by a count held in a register, and masks of
    // a variable width, take one instruction each: most of its steps are such.
    template <typename TWord>
    __attribute__((target("bmi2"))) bool FastLoopBmi2(const TCodeTables& t) {
        return FastLoopBody<TWord>(t);
    }
#endif

    template <typename TWord>
    __attribute__((always_inline)) bool FastLoopBody(const TCodeTables& t) {
        constexpr bool kWide = sizeof(TWord) == 8;
        constexpr uint32_t kCountMask = 8 * sizeof(TWord) - 1;
        constexpr uint32_t kTopUp = 8 * sizeof(TWord) - 8;  // bits a refill leaves at least
        // Input one turn takes at most: two refills of 7 bytes in the wide
        // loop, four of 3 in the narrow one.
        constexpr size_t kTurnInput = kWide ? 14 : 12;
        // Both tables are reached from one base register: the distance
        // table lies at a fixed offset from the other.
        const uint32_t* const lit = t.entries;
        constexpr size_t kDist = TCodeTables::kDist;
        const uint8_t* ip = in_.Next;
        const uint8_t* const inLimit = in_.End - kFastInput;  // the caller leaves this many
        TWord bits = static_cast<TWord>(in_.Bits);
        uint32_t count = in_.BitCount;
        uint8_t* op = op_;
        uint8_t* const opLimit = FastLimit();
        const uint8_t* const outStart = buf_;
        bool endOfBlock = false;
        int error = 0;

        // Tops the buffer up to kTopUp bits or more with one unaligned load;
        // the bytes wholly taken in are passed over.
        auto refill = [&]() __attribute__((always_inline)) {
            bits |= LoadWord<TWord>(ip) << (count & kCountMask);
            ip += ((count & kCountMask) ^ kCountMask) >> 3;
            count |= kTopUp;
        };
        auto drop = [&](uint32_t entry) __attribute__((always_inline)) {
            bits >>= entry & kCountMask;
            count -= entry;
        };
        // The entry of a code that may run into a subtable, its root entry
        // given; the root bits are dropped when it does. The narrow loop
        // refills between the two, for the distance codes whose subtable
        // entry takes 20 bits.
        auto resolve = [&](size_t table, uint32_t entry) __attribute__((always_inline)) {
            if (entry & kSubtable) {
                drop(entry);
                if constexpr (!kWide) refill();
                entry = lit[table + (entry >> 16) + (static_cast<uint32_t>(bits) & ((1u << ((entry >> 8) & 15)) - 1))];
            }
            return entry;
        };
        // Length or distance: base plus the extra bits above the code.
        auto baseValue = [&](uint32_t entry) __attribute__((always_inline)) {
            // The low byte (at most 28) and the next one (the code length;
            // the flags above it are clear here) serve as counts unmasked,
            // which BMI2's bzhi and shrx take as they stand.
            TWord taken = bits & ((TWord{1} << static_cast<uint8_t>(entry)) - 1);
            uint32_t v = (entry >> 16) + static_cast<uint32_t>(taken >> static_cast<uint8_t>(entry >> 8));
            drop(entry);
            return v;
        };

        // The root entry of the next code is looked up from the bits already
        // there where enough are left, before the refill that follows, so
        // the two do not wait on each other. At the top of a turn at least
        // kTopUp bits are valid and E is the root entry they start with.
        refill();
        uint32_t e = lit[bits & kLitMask];
        // The bounds are checked once for as many turns as cannot pass them
        // (a turn takes kTurnInput input bytes and kFastRoom output bytes at
        // most), not on every turn.
        while (ip <= inLimit && op <= opLimit) {
            size_t turns = std::min(static_cast<size_t>(inLimit - ip) / kTurnInput,
                                    static_cast<size_t>(opLimit - op) / kFastRoom) +
                           1;
            do {
                // Root-table literals take 11 bits at most. In the wide loop
                // up to two of them leave room for a length (20 bits with
                // its subtable) and the root lookup of its distance; a third
                // goes only with the lookup of the code after it, and a
                // refill follows. The narrow loop's 24 bits hold two
                // literals, or one and the lookup of the code after it.
                if (e & kLiteral) {
                    drop(e);
                    *op++ = static_cast<uint8_t>(e >> 16);
                    e = lit[bits & kLitMask];
                    if (e & kLiteral) {
                        drop(e);
                        *op++ = static_cast<uint8_t>(e >> 16);
                        if constexpr (kWide) {
                            e = lit[bits & kLitMask];
                            if (e & kLiteral) {
                                drop(e);
                                *op++ = static_cast<uint8_t>(e >> 16);
                                e = lit[bits & kLitMask];
                                refill();
                                continue;
                            }
                        } else {
                            refill();
                            e = lit[bits & kLitMask];
                            continue;
                        }
                    }
                    if constexpr (!kWide) refill();
                }
                if (__builtin_expect(e & kSpecial, 0)) {
                    if (e & kSubtable) {
                        e = resolve(0, e);
                        if (e & kLiteral) {
                            drop(e);
                            *op++ = static_cast<uint8_t>(e >> 16);
                            refill();
                            e = lit[bits & kLitMask];
                            continue;
                        }
                    }
                    if (e & kEndOfBlock) {
                        drop(e);
                        endOfBlock = true;
                        goto done;
                    }
                    if (e & kInvalid) {
                        error = 25109;  // literal/length symbol 286 or 287, or no such code
                        goto done;
                    }
                }
                uint32_t length = baseValue(e);
                if constexpr (kWide) {
                    e = lit[kDist + (bits & kDistMask)];  // 14 bits left at least
                    refill();
                } else {
                    refill();
                    e = lit[kDist + (bits & kDistMask)];
                }
                if (__builtin_expect(e & kSpecial, 0)) {
                    e = resolve(kDist, e);
                    if (e & kSpecial) {
                        error = 25109;  // distance code 30 or 31, or no such code
                        goto done;
                    }
                }
                uint32_t distance = baseValue(e);
                if (__builtin_expect(distance > static_cast<size_t>(op - outStart), 0)) {
                    error = 25109;  // before the first byte of output
                    goto done;
                }
                if constexpr (kWide) {
                    e = lit[bits & kLitMask];  // 28 bits left at least
                    refill();
                } else {
                    refill();
                    e = lit[bits & kLitMask];
                }
                CopyMatch(op, distance, length);
                op += length;
            } while (--turns);
        }
    done:
        in_.Next = ip;
        in_.Bits = bits;
        in_.BitCount = count & kCountMask;
        op_ = op;
        if (error) Fail(error);
        return endOfBlock;
    }

    // Copies a match whose output has room for kFastRoom bytes: words are
    // written past its end, and the first ones with no loop test, since
    // most matches are short and the loop's exit would be mispredicted for
    // every other length.
    __attribute__((always_inline)) static void CopyMatch(uint8_t* dst, uint32_t distance, uint32_t length) {
        const uint8_t* src = dst - distance;
        uint8_t* const end = dst + length;
        if (distance >= 16) {
            std::memcpy(dst, src, 16);
            std::memcpy(dst + 16, src + 16, 16);
            std::memcpy(dst + 32, src + 32, 16);
            std::memcpy(dst + 48, src + 48, 16);
            dst += 64;
            src += 64;
            while (dst < end) {
                std::memcpy(dst, src, 16);
                std::memcpy(dst + 16, src + 16, 16);
                dst += 32;
                src += 32;
            }
        } else if (distance >= 8) {
            // Eight bytes behind or more, a word never reads what it writes.
            std::memcpy(dst, src, 8);
            std::memcpy(dst + 8, src + 8, 8);
            std::memcpy(dst + 16, src + 16, 8);
            dst += 24;
            src += 24;
            while (dst < end) {
                std::memcpy(dst, src, 8);
                dst += 8;
                src += 8;
            }
        } else if (distance == 1) {
            uint64_t pattern = 0x0101010101010101ull * *src;
            std::memcpy(dst, &pattern, 8);
            std::memcpy(dst + 8, &pattern, 8);
            std::memcpy(dst + 16, &pattern, 8);
            dst += 24;
            while (dst < end) {
                std::memcpy(dst, &pattern, 8);
                dst += 8;
            }
        } else {
            // Of each word only the first Distance bytes were there before
            // it is read, and those are the ones kept: the word after starts
            // Distance bytes on.
            do {
                uint64_t w;
                std::memcpy(&w, src, 8);
                std::memcpy(dst, &w, 8);
                dst += distance;
                src += distance;
            } while (dst < end);
        }
    }
};

}  // namespace

TInflateWord InflateNativeWord() { return kNativeWord; }

void InflateUseWord(TInflateWord Word) { gWord.store(Word, std::memory_order_relaxed); }

void Inflate(TZipInput& In, TZipOutput& Out) {
    std::unique_ptr<TWorkspace> ws = gSpare.Take();
    TInflater(In, Out, *ws).Run();
    gSpare.Keep(std::move(ws));
}

}  // namespace bramble
