#include "engine/codecs/lh5encode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/codecs/lzhbits.h"
#include "engine/codecs/zipmethod.h"

namespace bramble {

namespace {

constexpr int kDicBit = 13;
constexpr int kDicSize = 1 << kDicBit;  // the farthest a match reaches back
constexpr int kMaxMatch = 256;
constexpr int kThreshold = 3;           // the shortest match
constexpr int kNC = 510;                // bytes, then lengths 3..256
constexpr int kNT = 19;                 // code-length alphabet
constexpr int kNP = kDicBit + 1;        // bit lengths of positions 0..8191
constexpr int kTBit = 5;
constexpr int kCBit = 9;
constexpr int kPBit = 4;
constexpr int kMaxCodeLength = 16;
// A block holds what a 32768-byte buffer takes: a byte per literal, three
// per match and a flag byte before every eight symbols.
constexpr int kBlockBuffer = 32768;
constexpr int64_t kReadBlock = 8192;
// Matches are searched in hash chains, not a Patricia tree: at the same
// speed they give sizes 0.3-0.5% below jlha's. The search follows at most
// this many earlier positions with the same three bytes.
constexpr int kMaxChain = 512;
constexpr int kHashBits = 15;
constexpr int kBufferSize = 4 * kDicSize + kMaxMatch;

// Number of bits of a position: 0 for 0.
int BitLength(unsigned v) {
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

// A canonical prefix code over symbols 0..n-1 for the frequencies given,
// no code longer than 16 bits. With fewer than two symbols in use there is
// no code: the one symbol (0 when none) is returned, to be sent in the
// single-symbol form. Otherwise -1, with Length and Code filled.
int MakeCode(int n, const uint32_t* freq, uint8_t* length, uint16_t* code) {
    std::vector<int> used;
    for (int i = 0; i < n; ++i) {
        length[i] = 0;
        code[i] = 0;
        if (freq[i]) used.push_back(i);
    }
    if (used.size() < 2) return used.empty() ? 0 : used[0];

    // Huffman's tree by two queues over the symbols sorted by frequency
    // (the symbol order breaks ties); the depth of each leaf.
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return freq[a] < freq[b]; });
    const size_t m = used.size();
    std::vector<uint64_t> weight(2 * m);
    std::vector<int> parent(2 * m, -1);
    for (size_t i = 0; i < m; ++i) weight[i] = freq[used[i]];
    size_t leaf = 0, inner = m, made = m;
    auto take = [&]() -> size_t {
        if (leaf < m && (inner >= made || weight[leaf] <= weight[inner])) return leaf++;
        return inner++;
    };
    while (made < 2 * m - 1) {
        const size_t a = take(), b = take();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = static_cast<int>(made);
        ++made;
    }
    std::vector<int> depth(2 * m - 1, 0);
    int count[64] = {};
    for (size_t i = 2 * m - 2; i-- > 0;) {
        depth[i] = depth[static_cast<size_t>(parent[i])] + 1;
        if (i < m) ++count[std::min(depth[i], kMaxCodeLength)];
    }
    // Codes deeper than 16 were counted at 16: give codes of a shorter
    // length one more bit each until the code is exactly complete again.
    uint32_t kraft = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) kraft += static_cast<uint32_t>(count[l]) << (kMaxCodeLength - l);
    while (kraft != 1u << kMaxCodeLength) {
        --count[kMaxCodeLength];
        for (int l = kMaxCodeLength - 1; l > 0; --l) {
            if (count[l]) {
                --count[l];
                count[l + 1] += 2;
                break;
            }
        }
        --kraft;
    }
    // The rarest symbols take the longest codes.
    size_t s = 0;
    for (int l = kMaxCodeLength; l > 0; --l)
        for (int k = 0; k < count[l]; ++k) length[used[s++]] = static_cast<uint8_t>(l);

    uint16_t next[kMaxCodeLength + 2] = {};
    int per[kMaxCodeLength + 1] = {};
    for (int i = 0; i < n; ++i) ++per[length[i]];
    for (int l = 1; l <= kMaxCodeLength; ++l) next[l + 1] = static_cast<uint16_t>((next[l] + per[l]) << 1);
    for (int i = 0; i < n; ++i)
        if (length[i]) code[i] = next[length[i]]++;
    return -1;
}

class TLh5Encoder {
public:
    TLh5Encoder(TZipCommon& Owner, int CrcKind, bool Encrypt, TStream* Output, TStream* Input, int64_t InputSize,
                int64_t ArchiveTotal)
        : owner_(Owner), crcKind_(CrcKind), input_(Input), inputLeft_(InputSize < 0 ? 0 : InputSize),
          total_(InputSize), archiveTotal_(ArchiveTotal), out_(Owner, Output, Encrypt),
          text_(static_cast<size_t>(kBufferSize), 0), head_(size_t{1} << kHashBits, -1),
          prev_(static_cast<size_t>(kDicSize), -1) {
        out_.SetLimit(&read_);
        symbols_.reserve(kBlockBuffer);
        positions_.reserve(kBlockBuffer / 3);
    }

    int64_t Run(bool& Incompressible) {
        Fill();
        int64_t length = 0, distance = 0;
        if (Available(pos_) > 0) Find(pos_, length, distance);
        while (Available(pos_) > 0 && !out_.Overflowed()) {
            if (length < kThreshold) {
                Literal(At(pos_));
                Advance(1);
                Find(pos_, length, distance);
                continue;
            }
            // One step of lookahead: a longer match at the next byte wins
            // over this one.
            int64_t nextLength = 0, nextDistance = 0;
            if (Available(pos_ + 1) > 0) Find(pos_ + 1, nextLength, nextDistance);
            if (nextLength > length) {
                Literal(At(pos_));
                Advance(1);
                length = nextLength;
                distance = nextDistance;
                continue;
            }
            Match(length, distance);
            // Position pos_ + 1 is in the chains already; the rest of the
            // match goes in without a search.
            for (int64_t k = 2; k < length; ++k) Insert(pos_ + k);
            Advance(length);
            length = 0;
            if (Available(pos_) > 0) Find(pos_, length, distance);
        }
        if (!out_.Overflowed()) {
            SendBlock();
            out_.FlushBits();
        }
        // Packed data as long as the source is no gain either.
        Incompressible = out_.Overflowed() || out_.Produced() >= read_;
        if (!Incompressible) out_.Flush();
        return out_.Produced();
    }

private:
    // ---- the source, in a window of absolute positions ----
    uint8_t At(int64_t p) const { return text_[static_cast<size_t>(p - base_)]; }
    int64_t Available(int64_t p) const { return end_ - p; }

    // Keeps at least kMaxMatch bytes ahead of pos_ while the source lasts.
    void Fill() {
        while (!ended_ && end_ - pos_ < kMaxMatch + kReadBlock) {
            if (end_ - base_ + kReadBlock > kBufferSize) {
                // The oldest bytes beyond the dictionary's reach go.
                const int64_t keep = std::max<int64_t>(base_, pos_ - kDicSize - 1);
                std::memmove(text_.data(), text_.data() + (keep - base_), static_cast<size_t>(end_ - keep));
                base_ = keep;
            }
            if (owner_.Cancel()) ZipDecodeError(owner_, 25400);
            const int64_t want = std::min(inputLeft_, kReadBlock);
            int64_t got = want > 0 ? owner_.ReadHook(input_, want, crcKind_, false, text_.data() + (end_ - base_)) : 0;
            if (got <= 0) {
                ended_ = true;
                break;
            }
            if (got > want) got = want;
            inputLeft_ -= got;
            read_ += got;
            end_ += got;
            owner_.DoProgress(read_, total_, archiveTotal_ > 0 ? archiveTotal_ : total_);
        }
    }

    void Advance(int64_t n) {
        pos_ += n;
        if (end_ - pos_ < kMaxMatch) Fill();
    }

    uint32_t Hash(int64_t p) const {
        const uint8_t* t = &text_[static_cast<size_t>(p - base_)];
        return ((uint32_t{t[0]} << 16 | uint32_t{t[1]} << 8 | t[2]) * 2654435761u) >> (32 - kHashBits);
    }

    void Insert(int64_t p) {
        if (Available(p) < kThreshold) return;
        const uint32_t h = Hash(p);
        prev_[static_cast<size_t>(p & (kDicSize - 1))] = head_[h];
        head_[h] = p;
    }

    // Enters p into the chains and finds its longest match among the
    // positions the chain walk reaches (the nearest of equally long ones).
    void Find(int64_t p, int64_t& length, int64_t& distance) {
        length = 0;
        distance = 0;
        const int64_t avail = std::min<int64_t>(Available(p), kMaxMatch);
        if (avail < kThreshold) return;
        const uint32_t h = Hash(p);
        int64_t candidate = head_[h];
        prev_[static_cast<size_t>(p & (kDicSize - 1))] = candidate;
        head_[h] = p;
        const uint8_t* cur = &text_[static_cast<size_t>(p - base_)];
        int64_t best = kThreshold - 1;
        for (int chain = 0; chain < kMaxChain && candidate >= 0 && candidate < p && p - candidate <= kDicSize &&
                            candidate >= base_;
             ++chain) {
            const uint8_t* c = &text_[static_cast<size_t>(candidate - base_)];
            if (c[best] == cur[best] && c[0] == cur[0] && c[1] == cur[1]) {
                int64_t n = 2;
                while (n < avail && c[n] == cur[n]) ++n;
                if (n > best) {
                    best = n;
                    length = n;
                    distance = p - candidate;
                    if (n >= avail) break;
                }
            }
            const int64_t older = prev_[static_cast<size_t>(candidate & (kDicSize - 1))];
            if (older >= candidate) break;  // the slot was taken by a newer position
            candidate = older;
        }
    }

    // ---- blocks ----
    void StartSymbol() {
        if (symbols_.size() % 8 == 0) {
            if (bufferUsed_ >= kBlockBuffer - 24) SendBlock();
            ++bufferUsed_;  // the flag byte
        }
    }
    void Literal(uint8_t b) {
        StartSymbol();
        symbols_.push_back(b);
        ++cFreq_[b];
        ++bufferUsed_;
    }
    void Match(int64_t length, int64_t distance) {
        StartSymbol();
        const unsigned position = static_cast<unsigned>(distance - 1);
        const uint16_t symbol = static_cast<uint16_t>(length - kThreshold + 256);
        symbols_.push_back(symbol);
        positions_.push_back(static_cast<uint16_t>(position));
        ++cFreq_[symbol];
        ++pFreq_[BitLength(position)];
        bufferUsed_ += 3;
    }

    void PutCode(const uint8_t* length, const uint16_t* code, int symbol) { out_.Put(length[symbol], code[symbol]); }

    // The code lengths of a code-length or position code.
    void WritePtLen(int n, int nbit, int special) {
        while (n > 0 && ptLen_[n - 1] == 0) --n;
        out_.Put(nbit, static_cast<uint32_t>(n));
        int i = 0;
        while (i < n) {
            const int k = ptLen_[i++];
            if (k <= 6)
                out_.Put(3, static_cast<uint32_t>(k));
            else
                out_.Put(k - 3, (1u << (k - 3)) - 2);
            if (i == special) {
                while (i < 6 && ptLen_[i] == 0) ++i;
                out_.Put(2, static_cast<uint32_t>((i - 3) & 3));
            }
        }
    }

    // Runs of zero lengths: 1-2 as that many symbols 0, 3-18 as symbol 1
    // and 4 bits, exactly 19 as symbol 0 then symbol 1 with 15, 20 and
    // more as symbol 2 and 9 bits; a length l as symbol l + 2.
    template <typename Visit>
    void WalkCLen(Visit visit) {
        int n = kNC;
        while (n > 0 && cLen_[n - 1] == 0) --n;
        int i = 0;
        while (i < n) {
            const int k = cLen_[i++];
            if (k != 0) {
                visit(k + 2, 0, 0);
                continue;
            }
            int run = 1;
            while (i < n && cLen_[i] == 0) {
                ++i;
                ++run;
            }
            if (run <= 2) {
                for (int r = 0; r < run; ++r) visit(0, 0, 0);
            } else if (run <= 18) {
                visit(1, 4, run - 3);
            } else if (run == 19) {
                visit(0, 0, 0);
                visit(1, 4, 15);
            } else {
                visit(2, kCBit, run - 20);
            }
        }
    }

    void SendBlock() {
        if (symbols_.empty()) return;
        const int cRoot = MakeCode(kNC, cFreq_, cLen_, cCode_);
        out_.Put(16, static_cast<uint32_t>(symbols_.size()));
        if (cRoot < 0) {
            uint32_t tFreq[kNT] = {};
            WalkCLen([&](int symbol, int, int) { ++tFreq[symbol]; });
            const int tRoot = MakeCode(kNT, tFreq, ptLen_, ptCode_);
            if (tRoot < 0) {
                WritePtLen(kNT, kTBit, 3);
            } else {
                out_.Put(kTBit, 0);
                out_.Put(kTBit, static_cast<uint32_t>(tRoot));
            }
            int n = kNC;
            while (n > 0 && cLen_[n - 1] == 0) --n;
            out_.Put(kCBit, static_cast<uint32_t>(n));
            WalkCLen([&](int symbol, int bits, int value) {
                if (tRoot < 0) PutCode(ptLen_, ptCode_, symbol);
                out_.Put(bits, static_cast<uint32_t>(value));
            });
        } else {
            out_.Put(kTBit, 0);
            out_.Put(kTBit, 0);
            out_.Put(kCBit, 0);
            out_.Put(kCBit, static_cast<uint32_t>(cRoot));
        }
        const int pRoot = MakeCode(kNP, pFreq_, ptLen_, ptCode_);
        if (pRoot < 0) {
            WritePtLen(kNP, kPBit, -1);
        } else {
            out_.Put(kPBit, 0);
            out_.Put(kPBit, static_cast<uint32_t>(pRoot));
        }
        size_t m = 0;
        for (const uint16_t s : symbols_) {
            if (cRoot < 0) PutCode(cLen_, cCode_, s);
            if (s < 256) continue;
            const unsigned position = positions_[m++];
            const int bits = BitLength(position);
            if (pRoot < 0) PutCode(ptLen_, ptCode_, bits);
            if (bits > 1) out_.Put(bits - 1, position & ((1u << (bits - 1)) - 1));
            if (out_.Overflowed()) break;
        }
        symbols_.clear();
        positions_.clear();
        std::fill(std::begin(cFreq_), std::end(cFreq_), 0u);
        std::fill(std::begin(pFreq_), std::end(pFreq_), 0u);
        bufferUsed_ = 0;
    }

    TZipCommon& owner_;
    int crcKind_;
    TStream* input_;
    int64_t inputLeft_;
    int64_t total_;
    int64_t archiveTotal_;
    int64_t read_ = 0;  // the limit of the packed size
    TLzhBitOutput out_;

    std::vector<uint8_t> text_;
    int64_t base_ = 0;  // absolute position of text_[0]
    int64_t pos_ = 0;   // the next byte to code
    int64_t end_ = 0;   // the end of what was read
    bool ended_ = false;
    std::vector<int64_t> head_;
    std::vector<int64_t> prev_;

    std::vector<uint16_t> symbols_;
    std::vector<uint16_t> positions_;
    int bufferUsed_ = 0;
    uint32_t cFreq_[kNC] = {};
    uint32_t pFreq_[kNP] = {};
    uint8_t cLen_[kNC] = {};
    uint16_t cCode_[kNC] = {};
    uint8_t ptLen_[kNT] = {};
    uint16_t ptCode_[kNT] = {};
};

}  // namespace

int64_t LzhEncode(TZipCommon& Owner, int CrcKind, bool Encrypt, TStream* Output, TStream* Input, int64_t InputSize,
                  bool& Incompressible, int64_t ArchiveTotal) {
    Incompressible = false;
    std::unique_ptr<TLh5Encoder> e;
    try {
        e = std::make_unique<TLh5Encoder>(Owner, CrcKind, Encrypt, Output, Input, InputSize, ArchiveTotal);
    } catch (const std::bad_alloc&) {
        ZipDecodeError(Owner, 25253);
    }
    return e->Run(Incompressible);
}

}  // namespace bramble
