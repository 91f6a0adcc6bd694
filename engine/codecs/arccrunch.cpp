#include "engine/codecs/arccrunch.h"

#include <array>
#include <memory>

namespace bramble {

namespace {

constexpr unsigned kTableSize = 4096;
constexpr uint16_t kNoPredecessor = 0xFFFF;

struct TEntry {
    bool used;
    uint16_t next;         // the next entry of the same hash chain; 0 ends it
    uint16_t predecessor;  // the code of the string without its last byte
    uint8_t follower;      // the string's last byte
};

class TCrunchTable {
public:
    explicit TCrunchTable(bool NewHash) : newHash_(NewHash) {
        entries_.fill(TEntry{false, 0, 0, 0});
        for (unsigned c = 0; c < 256; ++c) Add(kNoPredecessor, static_cast<uint8_t>(c));
    }

    const TEntry& operator[](unsigned Code) const { return entries_[Code]; }
    bool Full() const { return count_ >= kTableSize; }

    void Add(uint16_t Predecessor, uint8_t Follower) {
        if (Full()) return;
        TEntry& e = entries_[Slot(Predecessor, Follower)];
        e = TEntry{true, 0, Predecessor, Follower};
        ++count_;
    }

private:
    unsigned Hash(uint16_t p, uint8_t c) const {
        const uint32_t key = (uint32_t{p} + c) & 0xFFFF;
        if (newHash_) return (key * 15073u) & 0xFFF;
        const uint32_t k = (key | 0x800) & 0xFFFF;
        return (k * k >> 6) & 0xFFF;
    }
    // The hashed slot when it is free; otherwise the first free slot from
    // 101 past the end of its chain on, linked to the chain. The table is
    // not full, so one is found.
    unsigned Slot(uint16_t p, uint8_t c) {
        unsigned at = Hash(p, c);
        if (!entries_[at].used) return at;
        // Chains only link slots taken in order, so one cannot run longer
        // than the entries made.
        for (unsigned steps = 0; entries_[at].next != 0 && steps < kTableSize; ++steps) at = entries_[at].next;
        unsigned free = (at + 101) & 0xFFF;
        while (entries_[free].used) free = (free + 1) & 0xFFF;
        entries_[at].next = static_cast<uint16_t>(free);
        return free;
    }

    bool newHash_;
    unsigned count_ = 0;
    std::array<TEntry, kTableSize> entries_;
};

// Twelve-bit codes, two in three bytes, the first in the high bits.
class TCodeReader {
public:
    explicit TCodeReader(TArcInput& In) : in_(In) {}
    // The next code, or -1 at the end of the data.
    int Next() {
        if (half_) {
            half_ = false;
            const int b = in_.Get();
            return b < 0 ? -1 : (held_ & 0x0F) << 8 | b;
        }
        const int b1 = in_.Get();
        if (b1 < 0) return -1;
        const int b2 = in_.Get();
        if (b2 < 0) return -1;
        held_ = b2;
        half_ = true;
        return b1 << 4 | b2 >> 4;
    }

private:
    TArcInput& in_;
    int held_ = 0;
    bool half_ = false;
};

}  // namespace

void ArcUncrunch(TArcInput& In, TArcOutput& Out, bool NewHash) {
    auto table = std::make_unique<TCrunchTable>(NewHash);
    TCodeReader codes(In);
    // A string is at most as long as the table has entries.
    std::array<uint8_t, kTableSize> stack;

    int code = codes.Next();
    if (code < 0) return;
    unsigned previous = static_cast<unsigned>(code);
    uint8_t first = (*table)[previous].follower;
    Out.Out(first);
    while ((code = codes.Next()) >= 0) {
        size_t sp = stack.size();
        unsigned c = static_cast<unsigned>(code);
        if (!(*table)[c].used) {
            // Not made yet: the previous string and its own first byte.
            stack[--sp] = first;
            c = previous;
        }
        while ((*table)[c].predecessor != kNoPredecessor) {
            if (sp == 0) throw E_RAISE(25298);
            stack[--sp] = (*table)[c].follower;
            c = (*table)[c].predecessor;
            if (c >= kTableSize) throw E_RAISE(25298);
        }
        if (sp == 0) throw E_RAISE(25298);
        first = (*table)[c].follower;
        stack[--sp] = first;
        Out.Put(stack.data() + sp, stack.size() - sp);
        table->Add(static_cast<uint16_t>(previous), first);
        previous = static_cast<unsigned>(code);
    }
}

}  // namespace bramble
