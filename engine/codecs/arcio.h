// The two ends every ARC method shares: the packed bytes of one entry read
// a block at a time through the component's read hook, and the output
// gathered in a block and written through its extract write hook with the
// CRC-16 over it, directly or through the run-length stage that most
// methods end in.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/codecs/unlzw.h"
#include "engine/core/zipcommon.h"

namespace bramble {

class TArcInput {
public:
    TArcInput(TZipCommon& Owner, int64_t PackedSize) : owner_(Owner), left_(PackedSize), buf_(kBlock) {}

    // The next packed byte, or -1 when the entry's bytes are used up.
    int Get() {
        if (pos_ == end_ && !Fill()) return -1;
        return buf_[pos_++];
    }
    int64_t Left() const { return left_ + static_cast<int64_t>(end_ - pos_); }

private:
    static constexpr size_t kBlock = 32767;
    bool Fill() {
        if (left_ <= 0) return false;
        const int64_t want = left_ < static_cast<int64_t>(kBlock) ? left_ : static_cast<int64_t>(kBlock);
        const int64_t got = owner_.ReadHook(nullptr, want, 0, false, buf_.data());
        // The archive ends inside the entry.
        if (got <= 0) throw E_RAISE(25236);
        left_ -= got;
        pos_ = 0;
        end_ = static_cast<size_t>(got);
        return true;
    }

    TZipCommon& owner_;
    int64_t left_;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, end_ = 0;
};

class TArcOutput final : public TLzwSink {
public:
    // Output goes to Stream (nullptr: the hook picks the target); Total is
    // the entry's unpacked size and ArchiveTotal what the run has left to
    // do, for the progress figures.
    TArcOutput(TZipCommon& Owner, TStream* Stream, int64_t Total, int64_t ArchiveTotal, bool Rle)
        : owner_(Owner), stream_(Stream), total_(Total), archiveTotal_(ArchiveTotal), room_(Total), rle_(Rle) {
        buf_.resize(kBlock + 1);
    }

    // Output past the entry's unpacked size fails the entry (25109) once
    // the bytes up to it are written: the data is not what the header
    // says, and damaged data could otherwise go on far past it. One run
    // is let by, and dropped: arc writes the count of a run that ends the
    // data twice.
    void Put(uint8_t B) {
        if (room_ == 0) Overflow();
        --room_;
        buf_[n_++] = B;
        if (n_ == kBlock) Write();
    }
    // The run-length stage: 0x90 n repeats the byte before it n - 1 more
    // times; 0x90 0 is 0x90 itself.
    void PutRle(uint8_t B) {
        if (!repeat_) {
            if (B == kRun) {
                repeat_ = true;
            } else {
                last_ = B;
                Put(B);
            }
            return;
        }
        repeat_ = false;
        if (B == 0) {
            Put(kRun);
            return;
        }
        PutFill(last_, static_cast<size_t>(B - 1));
    }
    void Out(uint8_t B) { rle_ ? PutRle(B) : Put(B); }

    void Put(const uint8_t* Bytes, size_t Count) override {
        if (!rle_) return PutBlock(Bytes, Count);
        // The usual case, a short string with room for it: straight into
        // the block up to a run mark.
        if (!repeat_ && n_ + Count < kBlock && static_cast<int64_t>(Count) <= room_) {
            uint8_t* o = buf_.data() + n_;
            size_t i = 0;
            while (i < Count && Bytes[i] != kRun) {
                o[i] = Bytes[i];
                ++i;
            }
            if (i > 0) {
                n_ += i;
                room_ -= static_cast<int64_t>(i);
                last_ = Bytes[i - 1];
                Bytes += i;
                Count -= i;
            }
            if (Count == 0) return;
        }
        // The bytes between run marks go on in one piece.
        const uint8_t* end = Bytes + Count;
        while (Bytes < end) {
            if (repeat_) {
                PutRle(*Bytes++);
                continue;
            }
            const void* mark = std::memchr(Bytes, kRun, static_cast<size_t>(end - Bytes));
            const uint8_t* stop = mark ? static_cast<const uint8_t*>(mark) : end;
            if (stop > Bytes) {
                PutBlock(Bytes, static_cast<size_t>(stop - Bytes));
                last_ = stop[-1];
            }
            Bytes = stop;
            if (mark) {
                repeat_ = true;
                ++Bytes;
            }
        }
    }
    void Flush() override {
        if (n_ > 0) Write();
    }
    // The end of the entry's data: what is held is written, and output
    // short of the unpacked size fails the entry (25109).
    void Finish() {
        Flush();
        if (room_ > 0) throw E_RAISE(25109);
    }
    int64_t Written() const { return written_; }

private:
    static constexpr size_t kBlock = 32767;
    static constexpr uint8_t kRun = 0x90;
    void PutBlock(const uint8_t* Bytes, size_t Count) {
        while (Count > 0 && room_ > 0) {
            size_t k = std::min(Count, kBlock - n_);
            if (static_cast<int64_t>(k) > room_) k = static_cast<size_t>(room_);
            std::memcpy(buf_.data() + n_, Bytes, k);
            n_ += k;
            room_ -= static_cast<int64_t>(k);
            Bytes += k;
            Count -= k;
            if (n_ == kBlock) Write();
        }
        if (Count > 0) Overflow();
    }
    void PutFill(uint8_t B, size_t Count) {
        if (room_ == 0 && Count == endingRun_) {
            endingRun_ = 0;
            return;
        }
        const size_t run = Count;
        while (Count > 0 && room_ > 0) {
            size_t k = std::min(Count, kBlock - n_);
            if (static_cast<int64_t>(k) > room_) k = static_cast<size_t>(room_);
            std::memset(buf_.data() + n_, B, k);
            n_ += k;
            room_ -= static_cast<int64_t>(k);
            Count -= k;
            if (n_ == kBlock) Write();
        }
        if (Count > 0) Overflow();
        if (room_ == 0) endingRun_ = run;
    }
    [[noreturn]] void Overflow() {
        Flush();
        throw E_RAISE(25109);
    }
    void Write() {
        const size_t n = n_;
        n_ = 0;
        if (owner_.ExtractWriteHook(stream_, true, static_cast<int64_t>(n), 16, false, buf_.data()) == 0)
            throw E_RAISE(25136);
        written_ += static_cast<int64_t>(n);
        owner_.DoProgress(written_, total_, archiveTotal_ > 0 ? archiveTotal_ : total_);
        if (owner_.Cancel()) throw E_RAISE(25400);
    }

    TZipCommon& owner_;
    TStream* stream_;
    int64_t total_, archiveTotal_, room_;
    bool rle_;
    std::vector<uint8_t> buf_;
    size_t n_ = 0;
    int64_t written_ = 0;
    bool repeat_ = false;
    uint8_t last_ = 0;
    size_t endingRun_ = 0;  // the repeats of a run that reached the size
};

}  // namespace bramble
