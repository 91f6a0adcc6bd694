// The BH record parser over arbitrary bytes: every entry of the chain is
// parsed until the walk ends, what a parsed entry says must lie within the
// input, and a header parses and writes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/bh.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto end = static_cast<int64_t>(size);
    int64_t at = 0;
    bh::TEntry e;
    while (bh::ParseEntry(data, size, at, e) == bh::TParse::Ok) {
        if (e.DataOffset != at + static_cast<int64_t>(bh::kHeaderSize) + e.H.NameLength) std::abort();
        if (e.DataOffset > end || e.Next < e.DataOffset || e.Name.size() > e.H.NameLength) std::abort();
        if (e.Listed() && e.H.Encrypted() && e.DataSize() < 0) std::abort();
        at = e.Next;
    }

    bh::THeader h;
    if (bh::THeader::Parse(data, size, h)) {
        const auto bytes = h.Bytes();
        if (std::memcmp(bytes.data(), data, bytes.size()) != 0) std::abort();
        // Written with a name, it reads back as that name.
        const std::string name(reinterpret_cast<const char*>(data), size < 300 ? size : 300);
        const std::vector<uint8_t> made = bh::MakeHeader(h, name);
        bh::TEntry back;
        if (!made.empty()) {
            if (bh::ParseEntry(made.data(), made.size(), 0, back) == bh::TParse::Corrupt && !h.Encrypted())
                std::abort();
            if (back.H.NameLength != name.size() || back.H.EntrySize != bh::kHeaderSize + name.size()) std::abort();
        }
    }
    return 0;
}
