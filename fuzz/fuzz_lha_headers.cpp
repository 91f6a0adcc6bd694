// The LHA header parser over arbitrary bytes: every header of a chain is
// parsed until the walk ends, and what a parsed header says must lie
// within the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/lha.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto end = static_cast<int64_t>(size);
    const lha::TReadAt read = [&](int64_t o, void* b, int64_t n) -> int64_t {
        if (o < 0 || o >= end || n <= 0) return 0;
        if (n > end - o) n = end - o;
        std::memcpy(b, data + o, static_cast<size_t>(n));
        return n;
    };
    int64_t at = lha::FirstHeaderOffset(read, 0);
    lha::THeader h;
    while (lha::ParseHeader(data, size, at, h) == lha::TParse::Ok) {
        if (h.DataOffset < at + lha::kBaseSize || h.DataOffset > end || h.Next < h.DataOffset) std::abort();
        if (h.PackedSize < 0 || h.Name.size() > 2500) std::abort();
        lha::NameToAnsi(h.Name);
        lha::MethodOf(h.Method);
        at = h.Next;
    }
    return 0;
}
