// The gzip format module over arbitrary bytes: the member header with its
// optional fields, read from the start and from a position the input
// chooses, the trailer, and the header the writer makes, which must read
// back as written. Nothing may read at or past the end given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/gzip.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t end = static_cast<int64_t>(size);
    const auto readAt = [&](int64_t pos, uint8_t* out, int64_t count) -> int64_t {
        if (pos < 0 || pos >= end) return 0;
        const int64_t n = std::min(count, end - pos);
        std::memcpy(out, data + pos, static_cast<size_t>(n));
        return n;
    };
    for (int64_t at : {int64_t{0}, size > 0 ? int64_t{data[size - 1]} : int64_t{0}}) {
        gzip::THeader h;
        const bool whole = gzip::ReadHeader(at, end, readAt, h);
        if (h.Name.size() > gzip::kNameKeep) std::abort();
        if (whole && (h.DataStart < at + gzip::kHeaderSize || h.DataStart > end)) std::abort();
        (void)gzip::BaseName(h.Name);
    }
    if (size >= gzip::kTrailerSize) (void)gzip::ParseTrailer(data + size - gzip::kTrailerSize);

    if (size >= 5) {
        const uint8_t flags = data[0] & gzip::kFName;
        uint32_t mtime;
        std::memcpy(&mtime, data + 1, 4);
        const auto made = gzip::MakeHeader(flags, mtime);
        uint8_t member[gzip::kHeaderSize + 2] = {};
        std::memcpy(member, made.data(), made.size());  // an empty name behind it when flagged
        gzip::THeader h;
        const auto readMade = [&](int64_t pos, uint8_t* out, int64_t count) -> int64_t {
            if (pos < 0 || pos >= int64_t{sizeof member}) return 0;
            const int64_t n = std::min<int64_t>(count, int64_t{sizeof member} - pos);
            std::memcpy(out, member + pos, static_cast<size_t>(n));
            return n;
        };
        if (!gzip::ReadHeader(0, sizeof member, readMade, h) || h.Flags != flags || h.MTime != mtime ||
            h.Method != 8 || !h.Name.empty())
            std::abort();
    }
    return 0;
}
