#include "engine/codecs/unshrink.h"

#include <memory>
#include <vector>

namespace bramble {

namespace {

constexpr unsigned kCodes = 8192;   // 13-bit codes
constexpr unsigned kFirstFree = 257;
constexpr unsigned kMaxWidth = 13;
constexpr size_t kOutBlock = 32768;

struct TShrinkTables {
    int32_t parent[kCodes];  // -1: free (or a character)
    uint8_t value[kCodes];
    uint16_t children[kCodes];
    uint16_t freeCodes[kCodes];  // ascending
    unsigned freeCount = 0;
    unsigned freeNext = 0;
    uint8_t stack[kCodes];

    TShrinkTables() {
        for (unsigned i = 0; i < kCodes; ++i) {
            parent[i] = -1;
            value[i] = static_cast<uint8_t>(i);
            children[i] = 0;
        }
        CollectFree();
    }

    void CollectFree() {
        freeCount = freeNext = 0;
        for (unsigned i = kFirstFree; i < kCodes; ++i)
            if (parent[i] < 0) freeCodes[freeCount++] = static_cast<uint16_t>(i);
    }

    // Frees every code that was a leaf when the clear came; a parent that
    // loses its last child now stays until the next clear.
    void PartialClear() {
        std::vector<uint16_t> leaves;
        for (unsigned i = kFirstFree; i < kCodes; ++i)
            if (parent[i] >= 0 && children[i] == 0) leaves.push_back(static_cast<uint16_t>(i));
        for (uint16_t code : leaves) {
            int32_t p = parent[code];
            if (children[p]) --children[p];
            parent[code] = -1;
        }
        CollectFree();
    }
};

}  // namespace

void Unshrink(TZipInput& In, TZipOutput& Out) {
    TZipCommon& c = In.Owner();
    int64_t left = Out.Expected();
    if (left <= 0) return;
    if (In.Remaining() == 0 && In.Next == In.End) ZipDecodeError(c, 25109);  // not one code

    auto t = std::make_unique<TShrinkTables>();
    std::vector<uint8_t> out(kOutBlock);
    size_t used = 0;
    auto put = [&](uint8_t b) {
        out[used++] = b;
        --left;
        if (used == kOutBlock) {
            Out.Write(out.data(), used);
            used = 0;
        }
    };

    unsigned width = 9;
    unsigned prev = In.ZipGetBits(width);
    if (prev > 255) ZipDecodeError(c, 25109);  // the first code must be a character
    put(static_cast<uint8_t>(prev));

    while (left > 0) {
        unsigned code = In.ZipGetBits(width);
        if (code == 256) {
            unsigned control = In.ZipGetBits(width);
            if (control == 1) {
                if (width == kMaxWidth) ZipDecodeError(c, 25109);
                ++width;
            } else if (control == 2) {
                t->PartialClear();
            } else {
                ZipDecodeError(c, 25109);
            }
            continue;
        }

        // A code not yet defined is the previous string and its first byte.
        bool undefined = code >= kFirstFree && t->parent[code] < 0;
        unsigned walk = undefined ? prev : code;
        unsigned sp = 0;
        while (walk >= kFirstFree) {
            if (t->parent[walk] < 0) ZipDecodeError(c, 25109);  // a string through a freed code
            if (sp == kCodes) {
                Out.Write(out.data(), used);
                ZipDecodeError(c, 25298);
            }
            t->stack[sp++] = t->value[walk];
            walk = static_cast<unsigned>(t->parent[walk]);
        }
        if (walk == 256 || sp == kCodes) {
            Out.Write(out.data(), used);
            ZipDecodeError(c, walk == 256 ? 25109 : 25298);
        }
        t->stack[sp++] = static_cast<uint8_t>(walk);
        uint8_t first = t->stack[sp - 1];
        while (sp > 0 && left > 0) put(t->stack[--sp]);
        if (undefined && left > 0) put(first);

        if (t->freeNext < t->freeCount) {
            unsigned n = t->freeCodes[t->freeNext++];
            t->parent[n] = static_cast<int32_t>(prev);
            t->value[n] = first;
            ++t->children[prev];
        }
        prev = code;
    }
    Out.Write(out.data(), used);
}

}  // namespace bramble
