// Bit input and output of the LZH family (-lh1- to -lh6-, ARJ, BH Fuse,
// ZOO): bits most significant first, bytes through the owner's hooks.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/zipcommon.h"

namespace bramble {

// Thrown by TLzhBitInput when a decoder takes bits past the end of the data.
// The decoders report it as 25236 rather than go on with zero bits: a cut
// archive says so, instead of an entry decoded to its full size from
// nothing and then failing its check.
struct TLzhTruncated {};

// Packed bytes of one entry read in blocks of at most 32768 through the
// owner's ReadHook (check kind 0, deciphered when asked).
class TLzhBitInput {
public:
    static constexpr int64_t kBlock = 32768;

    TLzhBitInput(TZipCommon& Owner, TStream* Input, int64_t PackedSize, bool Decrypt)
        : owner_(Owner), input_(Input), left_(PackedSize < 0 ? 0 : PackedSize), decrypt_(Decrypt),
          buffer_(static_cast<size_t>(kBlock), 0) {
        next_ = end_ = buffer_.data();
    }

    // At least 56 bits in the register, and never 64: the fast path
    // shifts by the count. Past the end of the data zero bits come in,
    // counted: taking one of them throws TLzhTruncated.
    void Refill() {
        if (end_ - next_ >= 8) {
            uint64_t w = 0;
            for (int i = 0; i < 8; ++i) w = w << 8 | next_[i];
            // The bits below the count are always those of the next bytes,
            // so or-ing them in again changes nothing.
            bits_ |= w >> count_;
            const int bytes = (63 - count_) >> 3;
            next_ += bytes;
            count_ += bytes * 8;
            return;
        }
        // Whole bytes from below 56 end below 64 (a refill that takes
        // nothing, as after a constant code, may well come next).
        while (count_ < 56) {
            uint64_t b = 0;
            if (next_ != end_ || Fill())
                b = *next_++;
            else
                phantom_ += 8;
            bits_ |= b << (56 - count_);
            count_ += 8;
        }
    }

    // The register: Count() valid bits, the next one at the top.
    uint64_t Bits() const { return bits_; }
    int Count() const { return count_; }
    // Those of the Count() bits that are data, not zeros past its end.
    int DataBits() const { return count_ - phantom_; }

    // n from 1 to 32.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
    void Drop(int n) {
        bits_ <<= n;
        count_ -= n;
        if (count_ < phantom_) throw TLzhTruncated{};
    }
    // n from 0 to 32.
    uint32_t Get(int n) {
        if (n == 0) return 0;
        if (count_ < n) Refill();
        const uint32_t v = Peek(n);
        Drop(n);
        return v;
    }

private:
    bool Fill() {
        if (left_ <= 0) return false;
        const int64_t want = left_ < kBlock ? left_ : kBlock;
        int64_t got = owner_.ReadHook(input_, want, 0, decrypt_, buffer_.data());
        if (got <= 0) {
            left_ = 0;
            return false;
        }
        if (got > want) got = want;  // a hook that overstates what it read
        left_ -= got;
        next_ = buffer_.data();
        end_ = next_ + got;
        return true;
    }

    TZipCommon& owner_;
    TStream* input_;
    int64_t left_;
    bool decrypt_;
    std::vector<uint8_t> buffer_;
    const uint8_t* next_;
    const uint8_t* end_;
    uint64_t bits_ = 0;
    int count_ = 0;
    int phantom_ = 0;
};

// Packed bytes written in blocks of 32768 through the owner's
// CompressWriteHook (check kind 0, enciphered when asked). With a limit,
// bytes beyond it are dropped and Overflowed() tells so: the caller stores
// the entry instead.
class TLzhBitOutput {
public:
    // Whole 32 KB writes: the block size is no part of the stream.
    static constexpr size_t kBlock = 32768;

    TLzhBitOutput(TZipCommon& Owner, TStream* Output, bool Encrypt)
        : owner_(Owner), output_(Output), encrypt_(Encrypt), buffer_(kBlock) {}

    // The bytes may not reach *Limit (read from it at every byte).
    void SetLimit(const int64_t* Limit) { limit_ = Limit; }
    bool Overflowed() const { return overflowed_; }

    // n from 0 to 32 bits of Value, the highest first.
    void Put(int n, uint32_t Value) {
        if (n == 0) return;
        acc_ = acc_ << n | (Value & (n == 32 ? 0xFFFFFFFFu : (1u << n) - 1));
        count_ += n;
        while (count_ >= 8) {
            count_ -= 8;
            Byte(static_cast<uint8_t>(acc_ >> count_));
        }
    }
    // The bits of a partial byte, padded with zeros.
    void FlushBits() {
        if (count_ > 0) Put(8 - count_, 0);
    }
    // Everything buffered out through the hook.
    void Flush() {
        if (used_ == 0) return;
        const int64_t n = static_cast<int64_t>(used_);
        used_ = 0;
        owner_.CompressWriteHook(output_, true, n, 0, encrypt_, buffer_.data());
    }
    // Bytes produced so far (written or buffered).
    int64_t Produced() const { return produced_; }

private:
    void Byte(uint8_t b) {
        if (overflowed_) return;
        if (limit_ && produced_ >= *limit_) {
            overflowed_ = true;
            return;
        }
        buffer_[used_++] = b;
        ++produced_;
        if (used_ == kBlock) Flush();
    }

    TZipCommon& owner_;
    TStream* output_;
    bool encrypt_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    uint64_t acc_ = 0;
    int count_ = 0;
    int64_t produced_ = 0;
    const int64_t* limit_ = nullptr;
    bool overflowed_ = false;
};

}  // namespace bramble
