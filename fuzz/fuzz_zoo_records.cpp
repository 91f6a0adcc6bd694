// The ZOO record parsers over arbitrary bytes: the archive header, then
// the chain of entries as the reader walks it; the chain only moves
// forward, every name is bounded, and a parsed entry writes back its
// fixed fields unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/formats/zoo.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto end = static_cast<int64_t>(size);
    const zoo::TReadAt read = [&](int64_t o, void* b, int64_t n) -> int64_t {
        if (o < 0 || o >= end || n <= 0) return 0;
        if (n > end - o) n = end - o;
        std::memcpy(b, data + o, static_cast<size_t>(n));
        return n;
    };
    zoo::TArchiveHeader header;
    if (!zoo::ParseArchiveHeader(data, size, header)) return 0;
    int64_t at = header.FirstEntry;
    while (at != 0) {
        zoo::TEntry e;
        if (zoo::ReadEntry(read, at, e) != zoo::TParse::Ok || e.Terminator()) break;
        const int64_t next = e.NextInChain();
        if (next != 0 && next <= at) std::abort();
        if (e.ShortName.size() > 13 || e.LongName.size() > 255 || e.Directory.size() > 255) std::abort();
        if (e.StoredPath().size() > 13 + 255 + 256) std::abort();
        if (at + zoo::kEntrySize <= end) {
            const std::vector<uint8_t> b = zoo::MakeEntry(e);
            // Method, links, stamp, CRC and sizes as they were.
            if (std::memcmp(b.data() + 5, data + at + 5, 23) != 0) std::abort();
        }
        at = next;
    }
    return 0;
}
