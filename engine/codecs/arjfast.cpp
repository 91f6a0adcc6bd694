#include "engine/codecs/arjfast.h"

#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/codecs/lzhbits.h"
#include "engine/codecs/zipmethod.h"

namespace bramble {

namespace {

constexpr int64_t kWindow = 26624;
constexpr int kMaxLengthOnes = 7;
constexpr int kFirstPositionWidth = 9;
constexpr int kLastPositionWidth = 13;

struct TDataFault {};

class TFastDecoder {
public:
    TFastDecoder(TZipCommon& Owner, TStream* Input, TStream* Output, int64_t PackedSize, int64_t UnpackedSize,
                 bool Garbled, int64_t ArchiveTotal)
        : owner_(Owner),
          output_(Output),
          unpacked_(UnpackedSize < 0 ? 0 : UnpackedSize),
          archiveTotal_(ArchiveTotal),
          in_(Owner, Input, PackedSize, Garbled),
          window_(static_cast<size_t>(kWindow), 0) {}

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
    [[noreturn]] void Fault(int code) {
        try {
            ZipDecodeError(owner_, code);
        } catch (const E_RAISE& e) {
            if (e.Code() != code) throw;
        }
        throw TDataFault{};
    }

    void Flush() {
        if (pos_ == 0) return;
        const int64_t n = pos_;
        pos_ = 0;
        owner_.ExtractWriteHook(output_, true, n, 32, false, window_.data());
        written_ += n;
        if (owner_.Cancel()) ZipDecodeError(owner_, 25400);
        owner_.DoProgress(written_, unpacked_, archiveTotal_ > 0 ? archiveTotal_ : unpacked_);
    }

    void Decode() {
        uint8_t* const w = window_.data();
        int64_t produced = 0;
        while (produced < unpacked_) {
            // An item takes at most 7 + 7 + 4 + 13 bits.
            if (in_.Count() < 32) in_.Refill();
            uint64_t bits = in_.Bits();
            int n = std::countl_one(bits);
            if (n > kMaxLengthOnes) n = kMaxLengthOnes;
            int used = n + (n < kMaxLengthOnes);
            bits <<= used;
            uint32_t length = (1u << n) - 1;
            if (n > 0) {
                length += static_cast<uint32_t>(bits >> (64 - n));
                bits <<= n;
                used += n;
            }
            if (length == 0) {
                w[pos_++] = static_cast<uint8_t>(bits >> 56);
                in_.Drop(used + 8);
                ++produced;
                if (pos_ == kWindow) Flush();
                continue;
            }
            int width = kFirstPositionWidth;
            uint32_t position = 0;
            while (width < kLastPositionWidth && (bits >> 63) != 0) {
                position += 1u << width;
                ++width;
                bits <<= 1;
                ++used;
            }
            if (width < kLastPositionWidth) {
                bits <<= 1;  // the zero bit that ended the run
                ++used;
            }
            position += static_cast<uint32_t>(bits >> (64 - width));
            in_.Drop(used + width);

            const int64_t distance = int64_t{position} + 1;
            if (distance > produced) Fault(25120);  // before the first byte of the output
            int64_t count = int64_t{length} + 2;
            if (count > unpacked_ - produced) count = unpacked_ - produced;
            produced += count;
            int64_t from = pos_ - distance;
            if (from < 0) from += kWindow;
            if (pos_ + count < kWindow && from + count <= kWindow && distance >= count) {
                std::memcpy(w + pos_, w + from, static_cast<size_t>(count));
                pos_ += count;
                continue;
            }
            while (count-- > 0) {
                w[pos_++] = w[from++];
                if (from == kWindow) from = 0;
                if (pos_ == kWindow) Flush();
            }
        }
    }

    TZipCommon& owner_;
    TStream* output_;
    int64_t unpacked_;
    int64_t archiveTotal_;
    TLzhBitInput in_;
    std::vector<uint8_t> window_;
    int64_t pos_ = 0;
    int64_t written_ = 0;
};

}  // namespace

bool ArjDecodeFast(TZipCommon& Owner, TStream* Input, TStream* Output, int64_t PackedSize, int64_t UnpackedSize,
                   bool Garbled, int64_t ArchiveTotal) {
    std::unique_ptr<TFastDecoder> d;
    try {
        d = std::make_unique<TFastDecoder>(Owner, Input, Output, PackedSize, UnpackedSize, Garbled, ArchiveTotal);
    } catch (const std::bad_alloc&) {
        ZipDecodeError(Owner, 25253);
    }
    return d->Run();
}

}  // namespace bramble
