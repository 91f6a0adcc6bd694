#include "engine/codecs/unlzw.h"

#include <cstring>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/zipcommon.h"

namespace bramble {

namespace {

constexpr int kInBlock = 32768;
constexpr int kOutBlock = 16384;
constexpr int kMaxBits = 16;

class LzwInput {
public:
    LzwInput(TZipCommon& c, int64_t size) : c_(c), left_(size), buf_(kInBlock + 64) {}

    // Refills so that at least want bytes are unread, or the input ends.
    void Fill(int64_t want) {
        int64_t consumed = (bit - bitBase_) >> 3;
        if (end_ - consumed >= want || left_ <= 0) return;
        // A skip to the end of a code group may run past what is buffered.
        if (consumed > end_) consumed = end_;
        std::memmove(buf_.data(), buf_.data() + consumed, static_cast<size_t>(end_ - consumed));
        end_ -= consumed;
        bitBase_ += consumed * 8;
        int64_t room = static_cast<int64_t>(buf_.size()) - end_;
        int64_t n = room < left_ ? room : left_;
        int64_t got = n > 0 ? c_.ReadHook(nullptr, n, 0, false, buf_.data() + end_) : 0;
        if (got <= 0) {
            left_ = 0;
        } else {
            end_ += got;
            left_ -= got;
        }
        // Without a total the sink reports the progress (in output bytes).
        if (total_ > 0) c_.DoProgress(total_ - left_, total_, total_);
    }
    void SetTotal(int64_t t) { total_ = t; }

    // Bit position counted from the start of the stream.
    int64_t bit = 0;

    // The code of width bits at the current bit position; false when the
    // input holds no whole code there.
    bool Code(int width, unsigned& code) {
        int64_t byte = (bit - bitBase_) >> 3;
        if (byte + 3 > end_) {
            Fill(kInBlock);
            byte = (bit - bitBase_) >> 3;
        }
        int shift = static_cast<int>(bit & 7);
        int64_t avail = end_ - byte;
        if (avail <= 0 || avail * 8 - shift < width) return false;
        uint32_t v = buf_[static_cast<size_t>(byte)];
        if (avail > 1) v |= uint32_t{buf_[static_cast<size_t>(byte + 1)]} << 8;
        if (avail > 2) v |= uint32_t{buf_[static_cast<size_t>(byte + 2)]} << 16;
        code = (v >> shift) & ((1u << width) - 1);
        bit += width;
        return true;
    }

    // Codes come in groups of eight of one width: a width change or a clear
    // skips what is left of the current group.
    void SkipToGroupEnd(int width, int64_t groupStart) {
        int64_t groupBits = int64_t{width} * 8;
        int64_t used = bit - groupStart;
        int64_t rem = used % groupBits;
        if (rem) bit += groupBits - rem;
    }

private:
    TZipCommon& c_;
    int64_t left_;
    int64_t total_ = 0;
    std::vector<uint8_t> buf_;
    int64_t end_ = 0;      // bytes of buf_ filled
    int64_t bitBase_ = 0;  // stream bit position of buf_[0]
};

// The .Z output: straight to the write hook with CRC-32 over it.
class LzwOutput final : public TLzwSink {
public:
    explicit LzwOutput(TZipCommon& c) : c_(c) { buf_.reserve(kOutBlock + (1 << kMaxBits)); }
    void Put(const uint8_t* p, size_t n) override {
        buf_.insert(buf_.end(), p, p + n);
        if (buf_.size() >= kOutBlock) Flush();
    }
    void Flush() override {
        if (!buf_.empty()) c_.ExtractWriteHook(nullptr, true, static_cast<int64_t>(buf_.size()), 32, false, buf_.data());
        buf_.clear();
    }

private:
    TZipCommon& c_;
    std::vector<uint8_t> buf_;
};

void DecodeCodes(LzwInput& in, TZipCommon& Reader, int maxBits, bool blockMode, TLzwSink& out);

}  // namespace

bool UnLzwDecode(TZipCommon& Reader, int64_t CompressedSize) {
    if (CompressedSize <= 0) return true;
    LzwInput in(Reader, CompressedSize);
    in.SetTotal(CompressedSize);
    unsigned flags;
    if (!in.Code(8, flags)) return true;  // nothing but the magic: empty output
    if (flags & 0x60) throw E_RAISE(25138);
    const int maxBits = flags & 0x1F;
    if (maxBits < 9 || maxBits > kMaxBits) throw E_RAISE(25138);
    LzwOutput out(Reader);
    DecodeCodes(in, Reader, maxBits, (flags & 0x80) != 0, out);
    return true;
}

void LzwDecodeCodes(TZipCommon& Reader, int64_t CompressedSize, int MaxBits, bool BlockMode, TLzwSink& Sink) {
    if (MaxBits < 9 || MaxBits > kMaxBits) throw E_RAISE(25138);
    if (CompressedSize <= 0) {
        Sink.Flush();
        return;
    }
    LzwInput in(Reader, CompressedSize);
    DecodeCodes(in, Reader, MaxBits, BlockMode, Sink);
}

namespace {

void DecodeCodes(LzwInput& in, TZipCommon& Reader, int maxBits, bool blockMode, TLzwSink& out) {
    const unsigned maxMaxCode = 1u << maxBits;
    std::vector<uint16_t> prefix(maxMaxCode);
    std::vector<uint8_t> suffix(maxMaxCode);
    // Each code's string length: a string is written straight to its place
    // in the output block, last byte first.
    std::vector<uint16_t> length(maxMaxCode, 1);
    for (unsigned i = 0; i < 256; ++i) suffix[i] = static_cast<uint8_t>(i);

    int width = 9;
    unsigned maxCode = (1u << width) - 1;
    unsigned freeEnt = blockMode ? 257 : 256;
    int64_t groupStart = in.bit;

    // Strings gather in a block handed on whole; whatever stops the
    // decoding, what was decoded before it is handed on and flushed.
    constexpr size_t kBlock = 1 << 16;
    struct Block {
        TLzwSink& o;
        std::vector<uint8_t> bytes;
        size_t used = 0;
        bool done = false;
        void Hand() {
            if (used) o.Put(bytes.data(), used);
            used = 0;
        }
        ~Block() {
            if (done) return;
            try {
                Hand();
                o.Flush();
            } catch (...) {
            }
        }
    } block{out, std::vector<uint8_t>(kBlock + maxMaxCode + 1)};

    unsigned code;
    if (!in.Code(width, code)) return;
    if (code > 255) throw E_RAISE(25139);
    unsigned oldCode = code;
    uint8_t finChar = static_cast<uint8_t>(code);
    block.bytes[block.used++] = finChar;

    while (!Reader.Cancel()) {
        if (freeEnt > maxCode && width < maxBits) {
            in.SkipToGroupEnd(width, groupStart);
            groupStart = in.bit;
            ++width;
            maxCode = width == maxBits ? maxMaxCode : (1u << width) - 1;
        }
        if (!in.Code(width, code)) break;  // the input is used up
        if (code == 256 && blockMode) {
            in.SkipToGroupEnd(width, groupStart);
            freeEnt = 256;
            width = 9;
            maxCode = (1u << width) - 1;
            groupStart = in.bit;
            continue;
        }
        const unsigned inCode = code;
        size_t size;
        if (code >= freeEnt) {
            // Only the code being made right now may be used before it
            // exists (the KwKwK case); anything further is corrupt.
            if (code > freeEnt) throw E_RAISE(25139);
            size = size_t{length[oldCode]} + 1;
        } else {
            size = length[code];
        }
        if (block.used + size > kBlock) block.Hand();
        uint8_t* const start = block.bytes.data() + block.used;
        uint8_t* p = start + size;
        if (code >= freeEnt) {
            *--p = finChar;
            code = oldCode;
        }
        // Each prefix is a code made before its entry, and the lengths
        // follow the prefixes: the walk ends at start, the check is only
        // a guard.
        while (code >= 256) {
            if (p == start) throw E_RAISE(25139);
            *--p = suffix[code];
            code = prefix[code];
        }
        if (p != start + 1) throw E_RAISE(25139);
        finChar = static_cast<uint8_t>(code);
        *--p = finChar;
        block.used += size;
        if (freeEnt < maxMaxCode) {
            prefix[freeEnt] = static_cast<uint16_t>(oldCode);
            suffix[freeEnt] = finChar;
            length[freeEnt] = static_cast<uint16_t>(length[oldCode] + 1);
            ++freeEnt;
        }
        oldCode = inCode;
    }
    block.Hand();
    block.done = true;
    out.Flush();
}

}  // namespace

}  // namespace bramble
