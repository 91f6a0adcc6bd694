#include "engine/codecs/lzhdecode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/codecs/lzhbits.h"
#include "engine/codecs/zipmethod.h"

namespace bramble {

namespace {

constexpr int kNC = 510;       // literal/length alphabet: 256 bytes, lengths 3..256
constexpr int kNT = 19;        // code-length alphabet
constexpr int kTBit = 5;
constexpr int kCBit = 9;
constexpr int kMaxNP = 17;     // position alphabet of DicBit 16
constexpr int kMaxLength = 16; // longest code
constexpr int kCTableBits = 12;
constexpr int kPTableBits = 8;

// Thrown inside the decoder for a damaged stream once the fault has been
// reported; the decoder flushes what it has and the entry fails.
struct TDataFault {};

// A decoding table of a canonical prefix code, read most significant bit
// first: a direct table indexed by the next TableBits bits, and small
// second-level tables for the longer codes.
class THuffTable {
public:
    // Entries: the symbol in bits 0-15 and the code length in bits 16-20;
    // a second-level reference has bit 31 set, its index bits in 16-20 and
    // its start in 0-15.
    static constexpr uint32_t kSub = 0x80000000u;

    int Bits() const { return bits_; }
    const uint32_t* Entries() const { return table_.data(); }

    // Every code is Symbol and zero bits long.
    void Constant(int Symbol, int TableBits) {
        bits_ = TableBits;
        table_.assign(size_t{1} << TableBits, static_cast<uint32_t>(Symbol));
    }

    // False when the lengths (each at most 16) do not make a complete
    // prefix code. Lengths that are all zero make the constant code of
    // symbol 0.
    bool Build(const uint8_t* Lengths, int N, int TableBits) {
        int count[kMaxLength + 1] = {};
        for (int i = 0; i < N; ++i) ++count[Lengths[i]];
        count[0] = 0;
        uint32_t kraft = 0;
        for (int l = 1; l <= kMaxLength; ++l) kraft += static_cast<uint32_t>(count[l]) << (kMaxLength - l);
        if (kraft == 0) {
            Constant(0, TableBits);
            return true;
        }
        if (kraft != 1u << kMaxLength) return false;

        uint32_t next[kMaxLength + 2] = {};
        for (int l = 1; l <= kMaxLength; ++l) next[l + 1] = (next[l] + static_cast<uint32_t>(count[l])) << 1;
        bits_ = TableBits;
        const uint32_t direct = 1u << TableBits;
        table_.assign(direct, 0);

        // The longest code under each direct entry sizes its second level.
        uint8_t deepest[1 << kCTableBits] = {};
        uint32_t codes[kNC];
        {
            uint32_t code[kMaxLength + 2];
            std::memcpy(code, next, sizeof code);
            for (int s = 0; s < N; ++s) {
                const int l = Lengths[s];
                if (l == 0) continue;
                codes[s] = code[l]++;
                if (l > TableBits) {
                    const uint32_t prefix = codes[s] >> (l - TableBits);
                    if (l > deepest[prefix]) deepest[prefix] = static_cast<uint8_t>(l);
                }
            }
        }
        for (uint32_t p = 0; p < direct; ++p) {
            if (deepest[p] == 0) continue;
            const int sub = deepest[p] - TableBits;
            const uint32_t start = static_cast<uint32_t>(table_.size());
            table_.resize(table_.size() + (size_t{1} << sub), 0);
            table_[p] = kSub | static_cast<uint32_t>(sub) << 16 | start;
        }
        for (int s = 0; s < N; ++s) {
            const int l = Lengths[s];
            if (l == 0) continue;
            const uint32_t entry = static_cast<uint32_t>(s) | static_cast<uint32_t>(l) << 16;
            if (l <= TableBits) {
                const uint32_t first = codes[s] << (TableBits - l);
                for (uint32_t k = 0; k < (1u << (TableBits - l)); ++k) table_[first + k] = entry;
            } else {
                const uint32_t prefix = codes[s] >> (l - TableBits);
                const uint32_t ref = table_[prefix];
                const int sub = static_cast<int>((ref >> 16) & 31);
                const uint32_t low = codes[s] & ((1u << (l - TableBits)) - 1);
                const uint32_t first = (ref & 0xFFFF) + (low << (TableBits + sub - l));
                for (uint32_t k = 0; k < (1u << (TableBits + sub - l)); ++k) table_[first + k] = entry;
            }
        }
        return true;
    }

private:
    int bits_ = 0;
    std::vector<uint32_t> table_;
};

class TLzhDecoder {
public:
    TLzhDecoder(TZipCommon& Owner, const TLzhParams& P, TStream* Input, TStream* Output, int64_t PackedSize,
                int64_t UnpackedSize, int64_t ArchiveTotal)
        : owner_(Owner),
          p_(P),
          output_(Output),
          unpacked_(UnpackedSize < 0 ? 0 : UnpackedSize),
          archiveTotal_(ArchiveTotal),
          windowSize_(P.WindowSize()),
          np_(P.DicBit + 1),
          in_(Owner, Input, PackedSize, P.Decrypt()),
          window_(static_cast<size_t>(windowSize_), 0) {}

    bool Run() {
        try {
            Decode();
        } catch (const TDataFault&) {
            Flush();
            return false;
        } catch (const TLzhTruncated&) {
            Flush();
            try {
                Fault(25236);
            } catch (const TDataFault&) {
            }
            return false;
        }
        Flush();
        return true;
    }

private:
    int DecodeWith(const THuffTable& t) {
        uint32_t e = t.Entries()[in_.Peek(t.Bits())];
        if (e & THuffTable::kSub) {
            const int sub = static_cast<int>((e >> 16) & 31);
            e = t.Entries()[(e & 0xFFFF) + static_cast<uint32_t>((in_.Bits() << t.Bits()) >> (64 - sub))];
        }
        in_.Drop(static_cast<int>((e >> 16) & 31));
        return static_cast<int>(e & 0xFFFF);
    }

    [[noreturn]] void Fault(int code) {
        // Reported once; the entry then fails. A cancel that turned the
        // message into 25400 ends the run instead.
        try {
            ZipDecodeError(owner_, code);
        } catch (const E_RAISE& e) {
            if (e.Code() != code) throw;
        }
        throw TDataFault{};
    }

    // ---- the code lengths of a block ----
    void ReadPtLen(int nn, int nbit, int special) {
        in_.Refill();
        const int n = static_cast<int>(in_.Get(nbit));
        if (n == 0) {
            const int c = static_cast<int>(in_.Get(nbit));
            if (c >= nn) Fault(25120);
            pt_.Constant(c, kPTableBits);
            return;
        }
        if (n > nn) Fault(25120);
        uint8_t len[kMaxNP > kNT ? kMaxNP : kNT] = {};
        int i = 0;
        while (i < n) {
            in_.Refill();
            int c = static_cast<int>(in_.Peek(3));
            if (c == 7) {
                uint64_t probe = in_.Bits() << 3;
                while (probe & (uint64_t{1} << 63)) {
                    if (++c > kMaxLength) Fault(25120);
                    probe <<= 1;
                }
                in_.Drop(c - 3);
            } else {
                in_.Drop(3);
            }
            len[i++] = static_cast<uint8_t>(c);
            if (i == special) {
                int k = static_cast<int>(in_.Get(2));
                while (k-- > 0 && i < nn) len[i++] = 0;
            }
        }
        if (!pt_.Build(len, nn, kPTableBits)) Fault(25120);
    }

    void ReadCLen() {
        in_.Refill();
        const int n = static_cast<int>(in_.Get(kCBit));
        if (n == 0) {
            const int c = static_cast<int>(in_.Get(kCBit));
            if (c >= kNC) Fault(25120);
            c_.Constant(c, kCTableBits);
            return;
        }
        if (n > kNC) Fault(25120);
        uint8_t len[kNC] = {};
        int i = 0;
        while (i < n) {
            in_.Refill();
            const int c = DecodeWith(pt_);
            if (c <= 2) {
                int run = c == 0 ? 1 : c == 1 ? static_cast<int>(in_.Get(4)) + 3 : static_cast<int>(in_.Get(kCBit)) + 20;
                while (run-- > 0 && i < kNC) len[i++] = 0;
            } else {
                len[i++] = static_cast<uint8_t>(c - 2);
            }
        }
        if (!c_.Build(len, kNC, kCTableBits)) Fault(25120);
    }

    // ---- output ----
    void Flush() {
        if (pos_ == 0) return;
        const int64_t n = pos_;
        pos_ = 0;
        owner_.ExtractWriteHook(output_, true, n, p_.CrcKind, false, window_.data());
        written_ += n;
        if (owner_.Cancel()) ZipDecodeError(owner_, 25400);
        owner_.DoProgress(written_, unpacked_, archiveTotal_ > 0 ? archiveTotal_ : unpacked_);
    }

    void Copy(int64_t distance, int64_t length) {
        uint8_t* w = window_.data();
        int64_t from = pos_ - distance;
        if (from < 0) from += windowSize_;
        if (pos_ + length <= windowSize_ && from + length <= windowSize_) {
            if (from >= pos_)
                std::memmove(w + pos_, w + from, static_cast<size_t>(length));  // older bytes, ahead in the ring
            else if (distance >= length)
                std::memcpy(w + pos_, w + from, static_cast<size_t>(length));
            else
                for (int64_t k = 0; k < length; ++k) w[pos_ + k] = w[from + k];  // repeats what it writes
            pos_ += length;
            if (pos_ == windowSize_) Flush();
            return;
        }
        for (int64_t k = 0; k < length; ++k) {
            w[pos_++] = w[from++];
            if (from == windowSize_) from = 0;
            if (pos_ == windowSize_) Flush();
        }
    }

    void Decode() {
        int64_t produced = 0;
        uint32_t blockLeft = 0;
        while (produced < unpacked_) {
            if (blockLeft == 0) {
                in_.Refill();
                blockLeft = in_.Get(16);
                if (blockLeft == 0) {  // the end of the stream
                    if (p_.EndBlock) Fault(25109);
                    return;
                }
                ReadPtLen(kNT, kTBit, 3);
                ReadCLen();
                ReadPtLen(np_, p_.PBit, -1);
            }
            --blockLeft;
            if (in_.Count() < 48) in_.Refill();
            const int c = DecodeWith(c_);
            if (c < 256) {
                window_[static_cast<size_t>(pos_++)] = static_cast<uint8_t>(c);
                ++produced;
                if (pos_ == windowSize_) Flush();
                continue;
            }
            const int64_t length = c - 253;
            const int j = DecodeWith(pt_);
            const int64_t position = j == 0 ? 0 : (int64_t{1} << (j - 1)) + in_.Get(j - 1);
            // A distance beyond the window has no bytes to copy (wrapped
            // once it still points outside): made for a larger window.
            if (position >= windowSize_) Fault(25120);
            const int64_t take = std::min(length, unpacked_ - produced);
            Copy(position + 1, take);
            produced += take;
            if (take < length && p_.EndBlock) Fault(25109);  // a match past the entry's size
        }
        if (!p_.EndBlock) return;
        // Symbols left in the block, or another block after it: the stream
        // goes on past the size. (Data that simply ends there is let be.)
        if (blockLeft != 0) Fault(25109);
        in_.Refill();
        if (in_.DataBits() >= 16 && in_.Peek(16) != 0) Fault(25109);
    }

    TZipCommon& owner_;
    TLzhParams p_;
    TStream* output_;
    int64_t unpacked_;
    int64_t archiveTotal_;
    int64_t windowSize_;
    int np_;

    TLzhBitInput in_;

    THuffTable c_;
    THuffTable pt_;

    std::vector<uint8_t> window_;
    int64_t pos_ = 0;
    int64_t written_ = 0;
};

}  // namespace

bool LzhDecode(TZipCommon& Owner, const TLzhParams& P, TStream* Input, TStream* Output, int64_t PackedSize,
               int64_t UnpackedSize, int64_t ArchiveTotal) {
    std::unique_ptr<TLzhDecoder> d;
    try {
        d = std::make_unique<TLzhDecoder>(Owner, P, Input, Output, PackedSize, UnpackedSize, ArchiveTotal);
    } catch (const std::bad_alloc&) {
        ZipDecodeError(Owner, 25253);
    }
    return d->Run();
}

}  // namespace bramble
