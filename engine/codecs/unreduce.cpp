#include "engine/codecs/unreduce.h"

#include <vector>

namespace bramble {

namespace {

constexpr uint8_t kDle = 144;
constexpr uint32_t kWindowSize = 4096;

// Bits of an index into a follower set of n bytes (n >= 1).
unsigned IndexBits(unsigned n) {
    unsigned bits = 1;
    while ((1u << bits) < n) ++bits;
    return bits;
}

}  // namespace

void Unreduce(TZipInput& In, TZipOutput& Out, int Factor) {
    TZipCommon& c = In.Owner();
    if (Factor < 1 || Factor > 4) ZipDecodeError(c, 25326);

    uint8_t followers[256][32];
    uint8_t counts[256];
    for (int ch = 255; ch >= 0; --ch) {
        unsigned n = In.ZipGetBits(6);
        if (n > 32) ZipDecodeError(c, 25109);  // a set holds at most 32 bytes
        counts[ch] = static_cast<uint8_t>(n);
        for (unsigned i = 0; i < n; ++i) followers[ch][i] = static_cast<uint8_t>(In.ZipGetBits(8));
    }

    const unsigned lengthMask = 0xFFu >> Factor;
    std::vector<uint8_t> window(kWindowSize, 0);
    uint32_t pos = 0;
    int64_t left = Out.Expected();
    auto put = [&](uint8_t b) {
        window[pos++] = b;
        --left;
        if (pos == kWindowSize) {
            Out.Write(window.data(), kWindowSize);
            pos = 0;
        }
    };

    uint8_t last = 0;
    int state = 0;
    unsigned v = 0, length = 0;
    while (left > 0) {
        // The next byte, predicted from the one before it.
        uint8_t b;
        unsigned n = counts[last];
        if (n == 0 || In.ZipGetBits(1)) {
            b = static_cast<uint8_t>(In.ZipGetBits(8));
        } else {
            unsigned index = In.ZipGetBits(IndexBits(n));
            if (index >= n) ZipDecodeError(c, 25109);
            b = followers[last][index];
        }
        last = b;

        switch (state) {
            case 0:
                if (b == kDle) state = 1;
                else put(b);
                break;
            case 1:
                if (b == 0) {
                    put(kDle);
                    state = 0;
                } else {
                    v = b;
                    length = v & lengthMask;
                    state = length == lengthMask ? 2 : 3;
                }
                break;
            case 2:
                length += b;
                state = 3;
                break;
            default: {
                uint32_t distance = ((v >> (8 - Factor)) << 8) + b + 1;
                uint32_t from = (pos - distance) & (kWindowSize - 1);
                for (uint32_t k = length + 3; k > 0 && left > 0; --k) {
                    put(window[from]);
                    from = (from + 1) & (kWindowSize - 1);
                }
                state = 0;
                break;
            }
        }
    }
    Out.Write(window.data(), pos);
}

}  // namespace bramble
