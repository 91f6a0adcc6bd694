#include "engine/codecs/lzhuf.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/codecs/lzhbits.h"
#include "engine/codecs/zipmethod.h"

namespace bramble {

namespace {

constexpr int N = 4096;                        // ring buffer
constexpr int F = 60;                          // longest match
constexpr int kThreshold = 2;                  // matches of 3 or more are coded
constexpr int NIL = N;                         // no node
constexpr int kChars = 256 - kThreshold + F;   // 314 symbols: bytes, then lengths 3..60
constexpr int T = 2 * kChars - 1;              // tree nodes
constexpr int R = T - 1;                       // the root
constexpr uint16_t kMaxFreq = 0x8000;
constexpr int kStart = N - F;                  // where coding starts in the ring
constexpr int64_t kBlock = 32768;

// The fixed code of a position's upper six bits: lengths 3 (1 value), 4 (3),
// 5 (8), 6 (12), 7 (24), 8 (16), codes assigned in value order. Code[v] is
// the code left-aligned in 8 bits; the decoder's tables map the next 8 bits
// to the value and its length.
struct TPositionCode {
    uint8_t Code[64] = {};
    uint8_t Length[64] = {};
    uint8_t Value[256] = {};
    uint8_t ValueLength[256] = {};
};

constexpr TPositionCode MakePositionCode() {
    TPositionCode p;
    const int perLength[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};
    int v = 0, start = 0;
    for (int len = 3; len <= 8; ++len) {
        for (int k = 0; k < perLength[len]; ++k, ++v) {
            p.Code[v] = static_cast<uint8_t>(start);
            p.Length[v] = static_cast<uint8_t>(len);
            const int span = 1 << (8 - len);
            for (int i = 0; i < span; ++i) {
                p.Value[start + i] = static_cast<uint8_t>(v);
                p.ValueLength[start + i] = static_cast<uint8_t>(len);
            }
            start += span;
        }
    }
    return p;
}

constexpr TPositionCode kPosition = MakePositionCode();

// The adaptive Huffman tree both sides keep. Nodes are ordered by
// frequency; siblings stand side by side, Son[n] naming the first of the
// pair, and a leaf holding symbol c has Son = c + T. Parent[T + c] is the
// leaf of symbol c.
class TAdaptiveTree {
public:
    TAdaptiveTree() {
        for (int i = 0; i < kChars; ++i) {
            freq_[i] = 1;
            son_[i] = static_cast<uint16_t>(i + T);
            parent_[i + T] = static_cast<uint16_t>(i);
        }
        for (int i = 0, j = kChars; j <= R; i += 2, ++j) {
            freq_[j] = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
            son_[j] = static_cast<uint16_t>(i);
            parent_[i] = parent_[i + 1] = static_cast<uint16_t>(j);
        }
        freq_[T] = 0xFFFF;  // stops the search for a larger node
        parent_[R] = 0;
    }

    int Root() const { return son_[R]; }
    int Son(int n) const { return son_[n]; }
    int LeafOf(int symbol) const { return parent_[symbol + T]; }
    int Parent(int n) const { return parent_[n]; }

    // Counts symbol c once more, keeping the nodes ordered.
    void Update(int c) {
        if (freq_[R] == kMaxFreq) Rebuild();
        int n = parent_[c + T];
        do {
            const uint16_t k = ++freq_[n];
            int l = n + 1;
            if (k > freq_[l]) {
                // Trade places with the last node of a smaller frequency.
                while (k > freq_[++l]) {
                }
                --l;
                freq_[n] = freq_[l];
                freq_[l] = k;
                const int i = son_[n];
                parent_[i] = static_cast<uint16_t>(l);
                if (i < T) parent_[i + 1] = static_cast<uint16_t>(l);
                const int j = son_[l];
                son_[l] = static_cast<uint16_t>(i);
                parent_[j] = static_cast<uint16_t>(n);
                if (j < T) parent_[j + 1] = static_cast<uint16_t>(n);
                son_[n] = static_cast<uint16_t>(j);
                n = l;
            }
            n = parent_[n];
        } while (n != 0);
    }

private:
    // Halves every leaf's frequency (rounding up) and builds the tree anew.
    void Rebuild() {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son_[i] >= T) {
                freq_[j] = static_cast<uint16_t>((freq_[i] + 1) / 2);
                son_[j] = son_[i];
                ++j;
            }
        }
        for (int i = 0, n = kChars; n < T; i += 2, ++n) {
            const uint16_t f = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
            int k = n - 1;
            while (f < freq_[k]) --k;
            ++k;
            std::memmove(&freq_[k + 1], &freq_[k], static_cast<size_t>(n - k) * sizeof freq_[0]);
            freq_[k] = f;
            std::memmove(&son_[k + 1], &son_[k], static_cast<size_t>(n - k) * sizeof son_[0]);
            son_[k] = static_cast<uint16_t>(i);
        }
        for (int i = 0; i < T; ++i) {
            const int k = son_[i];
            parent_[k] = static_cast<uint16_t>(i);
            if (k < T) parent_[k + 1] = static_cast<uint16_t>(i);
        }
    }

    uint16_t freq_[T + 1];
    uint16_t parent_[T + kChars];
    uint16_t son_[T];
};

// ---- decoding -------------------------------------------------------------

class TLh1Decoder {
public:
    TLh1Decoder(TZipCommon& Owner, TStream* Input, TStream* Output, int64_t PackedSize, int64_t UnpackedSize,
                int64_t ArchiveTotal)
        : owner_(Owner), output_(Output), in_(Owner, Input, PackedSize, false),
          unpacked_(UnpackedSize < 0 ? 0 : UnpackedSize), archiveTotal_(ArchiveTotal),
          out_(static_cast<size_t>(kBlock)) {
        std::memset(ring_, ' ', sizeof ring_);
    }

    bool Run() {
        try {
            Decode();
        } catch (const TLzhTruncated&) {
            // Said as a cut, not left to the CRC check (see TLzhTruncated).
            Flush();
            try {
                ZipDecodeError(owner_, 25236);
            } catch (const E_RAISE& e) {
                if (e.Code() != 25236) throw;  // cancelled meanwhile
            }
            return false;
        }
        Flush();
        return true;
    }

private:
    int DecodeChar() {
        if (in_.Count() < 32) in_.Refill();
        int c = tree_.Root();
        int depth = 0;
        uint64_t bits = in_.Bits();
        while (c < T) {
            if (depth == 32) {
                in_.Drop(depth);
                in_.Refill();
                bits = in_.Bits();
                depth = 0;
            }
            c = tree_.Son(c + static_cast<int>(bits >> 63));
            bits <<= 1;
            ++depth;
        }
        in_.Drop(depth);
        c -= T;
        tree_.Update(c);
        return c;
    }

    int DecodePosition() {
        const uint32_t i = in_.Get(8);
        const int extra = kPosition.ValueLength[i] - 2;
        const uint32_t v = i << extra | in_.Get(extra);
        return kPosition.Value[i] << 6 | static_cast<int>(v & 0x3F);
    }

    void Put(uint8_t b) {
        out_[used_++] = b;
        if (used_ == out_.size()) Flush();
    }

    void Flush() {
        if (used_ == 0) return;
        const int64_t n = static_cast<int64_t>(used_);
        used_ = 0;
        owner_.ExtractWriteHook(output_, true, n, 16, false, out_.data());
        written_ += n;
        if (owner_.Cancel()) ZipDecodeError(owner_, 25400);
        owner_.DoProgress(written_, unpacked_, archiveTotal_ > 0 ? archiveTotal_ : unpacked_);
    }

    void Decode() {
        int r = kStart;
        int64_t produced = 0;
        while (produced < unpacked_) {
            const int c = DecodeChar();
            if (c < 256) {
                Put(static_cast<uint8_t>(c));
                ring_[r] = static_cast<uint8_t>(c);
                r = (r + 1) & (N - 1);
                ++produced;
                continue;
            }
            int from = (r - DecodePosition() - 1) & (N - 1);
            int64_t length = c - 253;
            if (length > unpacked_ - produced) length = unpacked_ - produced;
            for (int64_t k = 0; k < length; ++k) {
                const uint8_t b = ring_[from];
                from = (from + 1) & (N - 1);
                Put(b);
                ring_[r] = b;
                r = (r + 1) & (N - 1);
            }
            produced += length;
        }
    }

    TZipCommon& owner_;
    TStream* output_;
    TLzhBitInput in_;
    int64_t unpacked_;
    int64_t archiveTotal_;
    TAdaptiveTree tree_;
    uint8_t ring_[N];
    std::vector<uint8_t> out_;
    size_t used_ = 0;
    int64_t written_ = 0;
};

// ---- encoding -------------------------------------------------------------

class TLh1Encoder {
public:
    TLh1Encoder(TZipCommon& Owner, TStream* Output, TStream* Input, int64_t InputSize, int64_t ArchiveTotal)
        : owner_(Owner), input_(Input), inputLeft_(InputSize < 0 ? 0 : InputSize), total_(InputSize),
          archiveTotal_(ArchiveTotal), out_(Owner, Output, false), in_(static_cast<size_t>(kBlock)) {}

    int64_t Run() {
        InitTree();
        int s = 0, r = kStart;
        for (int i = 0; i < r; ++i) text_[i] = ' ';
        int len = 0;
        for (int c; len < F && (c = NextByte()) >= 0; ++len) text_[r + len] = static_cast<uint8_t>(c);
        for (int i = 1; i <= F; ++i) InsertNode(r - i);
        InsertNode(r);
        while (len > 0) {
            if (matchLength_ > len) matchLength_ = len;
            if (matchLength_ <= kThreshold) {
                matchLength_ = 1;
                EncodeChar(text_[r]);
            } else {
                EncodeChar(255 - kThreshold + matchLength_);
                EncodePosition(matchPosition_);
            }
            const int last = matchLength_;
            int i = 0;
            for (int c; i < last && (c = NextByte()) >= 0; ++i) {
                DeleteNode(s);
                text_[s] = static_cast<uint8_t>(c);
                if (s < F - 1) text_[s + N] = static_cast<uint8_t>(c);  // the mirror behind the end
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                InsertNode(r);
            }
            for (; i < last; ++i) {
                DeleteNode(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len) InsertNode(r);
            }
        }
        out_.FlushBits();
        out_.Flush();
        return out_.Produced();
    }

private:
    int NextByte() {
        if (pos_ == got_) {
            if (owner_.Cancel()) ZipDecodeError(owner_, 25400);
            if (inputLeft_ <= 0) return -1;
            const int64_t want = inputLeft_ < kBlock ? inputLeft_ : kBlock;
            int64_t got = owner_.ReadHook(input_, want, 16, false, in_.data());
            if (got <= 0) {
                inputLeft_ = 0;
                return -1;
            }
            if (got > want) got = want;
            inputLeft_ -= got;
            read_ += got;
            pos_ = 0;
            got_ = static_cast<size_t>(got);
            owner_.DoProgress(read_, total_, archiveTotal_ > 0 ? archiveTotal_ : total_);
        }
        return in_[pos_++];
    }

    void EncodeChar(int c) {
        // From the leaf up to the root, the odd one of a pair being a 1;
        // sent root first.
        uint32_t code = 0;
        int length = 0;
        for (int k = tree_.LeafOf(c); k != R; k = tree_.Parent(k)) {
            code |= static_cast<uint32_t>(k & 1) << length;
            ++length;
        }
        out_.Put(length, code);
        tree_.Update(c);
    }

    void EncodePosition(int p) {
        const int upper = p >> 6;
        out_.Put(kPosition.Length[upper], static_cast<uint32_t>(kPosition.Code[upper] >> (8 - kPosition.Length[upper])));
        out_.Put(6, static_cast<uint32_t>(p & 0x3F));
    }

    // ---- the binary search trees of the ring's positions, keyed by the F
    // bytes from each position, rooted at N + 1 + its first byte.
    void InitTree() {
        for (int i = N + 1; i <= N + 256; ++i) right_[i] = NIL;
        for (int i = 0; i < N; ++i) dad_[i] = NIL;
    }

    // Enters position r and finds the longest match for it (the nearest of
    // equally long ones); an equal F-byte key replaces its older node.
    void InsertNode(int r) {
        int cmp = 1;
        const uint8_t* key = &text_[r];
        int p = N + 1 + key[0];
        right_[r] = left_[r] = NIL;
        matchLength_ = 0;
        for (;;) {
            if (cmp >= 0) {
                if (right_[p] != NIL) {
                    p = right_[p];
                } else {
                    right_[p] = r;
                    dad_[r] = p;
                    return;
                }
            } else {
                if (left_[p] != NIL) {
                    p = left_[p];
                } else {
                    left_[p] = r;
                    dad_[r] = p;
                    return;
                }
            }
            int i = 1;
            for (; i < F; ++i)
                if ((cmp = key[i] - text_[p + i]) != 0) break;
            if (i > kThreshold) {
                const int position = ((r - p) & (N - 1)) - 1;
                if (i > matchLength_) {
                    matchPosition_ = position;
                    if ((matchLength_ = i) >= F) break;
                } else if (i == matchLength_ && position < matchPosition_) {
                    matchPosition_ = position;
                }
            }
        }
        dad_[r] = dad_[p];
        left_[r] = left_[p];
        right_[r] = right_[p];
        dad_[left_[p]] = r;
        dad_[right_[p]] = r;
        if (right_[dad_[p]] == p)
            right_[dad_[p]] = r;
        else
            left_[dad_[p]] = r;
        dad_[p] = NIL;
    }

    void DeleteNode(int p) {
        if (dad_[p] == NIL) return;
        int q;
        if (right_[p] == NIL) {
            q = left_[p];
        } else if (left_[p] == NIL) {
            q = right_[p];
        } else {
            q = left_[p];
            if (right_[q] != NIL) {
                do {
                    q = right_[q];
                } while (right_[q] != NIL);
                right_[dad_[q]] = left_[q];
                dad_[left_[q]] = dad_[q];
                left_[q] = left_[p];
                dad_[left_[p]] = q;
            }
            right_[q] = right_[p];
            dad_[right_[p]] = q;
        }
        dad_[q] = dad_[p];
        if (right_[dad_[p]] == p)
            right_[dad_[p]] = q;
        else
            left_[dad_[p]] = q;
        dad_[p] = NIL;
    }

    TZipCommon& owner_;
    TStream* input_;
    int64_t inputLeft_;
    int64_t total_;
    int64_t archiveTotal_;
    int64_t read_ = 0;
    TLzhBitOutput out_;
    std::vector<uint8_t> in_;
    size_t pos_ = 0, got_ = 0;
    TAdaptiveTree tree_;

    uint8_t text_[N + F - 1] = {};
    int left_[N + 257] = {};  // the roots use right_ only; the room keeps every index in bounds
    int right_[N + 257] = {};
    int dad_[N + 1] = {};
    int matchPosition_ = 0;
    int matchLength_ = 0;
};

}  // namespace

int64_t LzhufEncode(TZipCommon& Owner, TStream* Output, TStream* Input, int64_t InputSize, int64_t ArchiveTotal) {
    std::unique_ptr<TLh1Encoder> e;
    try {
        e = std::make_unique<TLh1Encoder>(Owner, Output, Input, InputSize, ArchiveTotal);
    } catch (const std::bad_alloc&) {
        ZipDecodeError(Owner, 25253);
    }
    return e->Run();
}

bool LzhufDecode(TZipCommon& Owner, TStream* Input, TStream* Output, int64_t PackedSize, int64_t UnpackedSize,
                 int64_t ArchiveTotal) {
    std::unique_ptr<TLh1Decoder> d;
    try {
        d = std::make_unique<TLh1Decoder>(Owner, Input, Output, PackedSize, UnpackedSize, ArchiveTotal);
    } catch (const std::bad_alloc&) {
        ZipDecodeError(Owner, 25253);
    }
    return d->Run();
}

}  // namespace bramble
