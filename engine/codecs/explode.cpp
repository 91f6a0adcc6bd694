#include "engine/codecs/explode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace bramble {

namespace {

// A binary decode tree of Shannon-Fano codes. Each inner node is a pair of
// slots: -1 empty, a leaf (kLeaf | value) or the index of the next node.
class TShannonFanoTree {
public:
    // Reads the compact description of a tree of Codes codes and builds it.
    void Read(TZipInput& in, unsigned Codes) {
        TZipCommon& c = in.Owner();
        uint8_t lens[256];
        unsigned bytes = in.ZipGetBits(8) + 1;
        unsigned k = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            unsigned b = in.ZipGetBits(8);
            unsigned count = (b >> 4) + 1;
            unsigned len = (b & 15) + 1;
            if (count > Codes - k) ZipDecodeError(c, 25109);  // more lengths than codes
            std::memset(lens + k, static_cast<int>(len), count);
            k += count;
        }
        if (k != Codes) ZipDecodeError(c, 25109);

        // Codes are handed out from the longest down, each length's codes
        // after the longer ones; ties keep the order of the values.
        std::vector<uint16_t> order(Codes);
        for (unsigned i = 0; i < Codes; ++i) order[i] = static_cast<uint16_t>(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint16_t a, uint16_t b) { return lens[a] < lens[b]; });

        // A code takes at most 16 inner nodes: room for any set of lengths,
        // also one that leaves paths open.
        slots_.assign(2 * (16 * Codes + 1), -1);
        nodes_ = 1;
        uint32_t code = 0, step = 0;
        unsigned lastLen = 0;
        for (unsigned i = Codes; i-- > 0;) {
            unsigned v = order[i];
            code += step;
            if (lens[v] != lastLen) {
                lastLen = lens[v];
                step = 1u << (16 - lastLen);
            }
            if (code > 0xFFFF) ZipDecodeError(c, 25293);  // more codes than the lengths allow
            Insert(c, code, lens[v], v);
        }
    }

    // Walks the tree one bit at a time from the first bit of the code.
    unsigned Decode(TZipInput& in) {
        int32_t node = 0;
        for (;;) {
            int32_t s = slots_[2 * static_cast<size_t>(node) + in.ZipGetBits(1)];
            if (s < 0) ZipDecodeError(in.Owner(), 25293);  // a path no code takes
            if (s & kLeaf) return static_cast<unsigned>(s & 0xFFFF);
            node = s;
        }
    }

private:
    static constexpr int32_t kLeaf = 0x40000000;
    std::vector<int32_t> slots_;
    int32_t nodes_ = 0;

    // The code's first bit is its highest.
    void Insert(TZipCommon& c, uint32_t code, unsigned len, unsigned value) {
        int32_t node = 0;
        for (unsigned b = 0; b < len; ++b) {
            size_t slot = 2 * static_cast<size_t>(node) + ((code >> (15 - b)) & 1);
            int32_t s = slots_[slot];
            if (b + 1 == len) {
                if (s != -1) ZipDecodeError(c, 25293);  // the slot is taken
                slots_[slot] = kLeaf | static_cast<int32_t>(value);
                return;
            }
            if (s == -1) {
                s = nodes_++;
                slots_[slot] = s;
            } else if (s & kLeaf) {
                ZipDecodeError(c, 25293);  // a shorter code is a prefix of this one
            }
            node = s;
        }
    }
};

}  // namespace

void Explode(TZipInput& In, TZipOutput& Out, uint16_t Flags) {
    const bool bigWindow = (Flags & 2) != 0;
    const bool literalTree = (Flags & 4) != 0;
    const uint32_t windowSize = bigWindow ? 8192 : 4096;
    const unsigned lowBits = bigWindow ? 7 : 6;
    const unsigned minLength = literalTree ? 3 : 2;

    auto literals = std::make_unique<TShannonFanoTree>();
    TShannonFanoTree lengths, distances;
    if (literalTree) literals->Read(In, 256);
    lengths.Read(In, 64);
    distances.Read(In, 64);

    // Zero-filled: a distance reaching before the first byte copies zeros.
    std::vector<uint8_t> window(windowSize, 0);
    const uint32_t mask = windowSize - 1;
    uint32_t pos = 0;
    int64_t left = Out.Expected();

    auto put = [&](uint8_t b) {
        window[pos++] = b;
        --left;
        if (pos == windowSize) {
            Out.Write(window.data(), windowSize);
            pos = 0;
        }
    };

    while (left > 0) {
        if (In.ZipGetBits(1)) {
            put(static_cast<uint8_t>(literalTree ? literals->Decode(In) : In.ZipGetBits(8)));
            continue;
        }
        uint32_t distance = In.ZipGetBits(lowBits);
        distance |= distances.Decode(In) << lowBits;
        distance += 1;
        uint32_t length = lengths.Decode(In);
        if (length == 63) length += In.ZipGetBits(8);
        length += minLength;
        uint32_t from = (pos - distance) & mask;
        while (length-- && left > 0) {
            put(window[from]);
            from = (from + 1) & mask;
        }
    }
    Out.Write(window.data(), pos);
}

}  // namespace bramble
