#include "engine/codecs/zoolzw.h"

#include <array>
#include <memory>

namespace bramble {

namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirstFree = 258;
constexpr int kMaxBits = 13;
constexpr unsigned kTableSize = 1u << kMaxBits;

class TBits {
public:
    explicit TBits(TArcInput& In) : in_(In) {}
    // The next code of Width bits, or -1 when the data holds no whole one.
    int Read(int Width) {
        while (count_ < Width) {
            const int b = in_.Get();
            if (b < 0) return -1;
            bits_ |= static_cast<uint32_t>(b) << count_;
            count_ += 8;
        }
        const int code = static_cast<int>(bits_ & ((1u << Width) - 1));
        bits_ >>= Width;
        count_ -= Width;
        return code;
    }

private:
    TArcInput& in_;
    uint32_t bits_ = 0;
    int count_ = 0;
};

struct TTable {
    std::array<uint16_t, kTableSize> prefix;
    std::array<uint8_t, kTableSize> suffix;
    // The longest string the table can make is shorter than its size.
    std::array<uint8_t, kTableSize> stack;
};

}  // namespace

void ZooLzwDecode(TArcInput& In, TArcOutput& Out) {
    auto t = std::make_unique<TTable>();
    TBits bits(In);
    int width = 9;
    unsigned limit = 512, nextFree = kFirstFree;
    unsigned previous = 0;
    uint8_t first = 0;
    bool literalNext = true;  // at the start, as after a reset

    for (;;) {
        int read = bits.Read(width);
        if (read < 0 || static_cast<unsigned>(read) == kEnd) break;
        unsigned code = static_cast<unsigned>(read);
        if (code == kClear) {
            width = 9;
            limit = 512;
            nextFree = kFirstFree;
            literalNext = true;
            continue;
        }
        if (literalNext) {
            // The first code after a reset stands for itself.
            if (code > 255) throw E_RAISE(25121);
            first = static_cast<uint8_t>(code);
            Out.Put(first);
            previous = code;
            literalNext = false;
            continue;
        }
        const unsigned in = code;
        size_t sp = t->stack.size();
        if (code > nextFree || (code == nextFree && nextFree >= kTableSize)) throw E_RAISE(25121);
        if (code == nextFree) {
            // Not made yet: the previous string and its own first byte.
            t->stack[--sp] = first;
            code = previous;
        }
        while (code > 255) {
            if (sp == 0) throw E_RAISE(25121);
            t->stack[--sp] = t->suffix[code];
            code = t->prefix[code];
        }
        if (sp == 0) throw E_RAISE(25121);
        first = static_cast<uint8_t>(code);
        t->stack[--sp] = first;
        Out.Put(t->stack.data() + sp, t->stack.size() - sp);
        if (nextFree < kTableSize) {
            t->prefix[nextFree] = static_cast<uint16_t>(previous);
            t->suffix[nextFree] = first;
            ++nextFree;
            if (nextFree >= limit && width < kMaxBits) {
                ++width;
                limit <<= 1;
            }
        }
        previous = in;
    }
    Out.Flush();
}

}  // namespace bramble
