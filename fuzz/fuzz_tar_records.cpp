// The TAR format module over arbitrary bytes: the walk over the records
// (long names, pax paths, damaged and cut blocks), every header field, and
// the header the writer makes from a name taken from the input, whose
// checksum must hold. Nothing may read outside the input or loop forever.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/formats/tar.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t end = static_cast<int64_t>(size);
    const auto readAt = [&](int64_t pos, uint8_t* out, int64_t count) -> int64_t {
        if (pos < 0 || pos >= end) return 0;
        const int64_t n = std::min(count, end - pos);
        std::memcpy(out, data + pos, static_cast<size_t>(n));
        return n;
    };
    tar::TWalker walk(0, end, readAt);
    tar::TWalkEntry e;
    int64_t last = -1;
    while (walk.Next(e) == tar::TWalker::Step::Entry) {
        // Every step moves on, and what it gives lies in the input.
        if (walk.Position() <= last || e.Pos < e.Start || e.Data != e.Pos + tar::kBlock || e.Data > end) std::abort();
        if (e.Cut != (e.Size > end - e.Data)) std::abort();
        last = walk.Position();
        const uint8_t* h = e.Header.data();
        (void)tar::MTime(h);
        (void)tar::StoredChecksum(h);
        (void)tar::ListedName(h);
        (void)tar::FullName(h);
    }
    (void)tar::PaxPath(std::string(reinterpret_cast<const char*>(data), size));

    // The writer's header for a name out of the input.
    const std::string name(reinterpret_cast<const char*>(data), std::min<size_t>(size, 99));
    const int64_t value = size >= 8 ? static_cast<int64_t>(data[size - 1]) << 24 | data[size - 2] : 0;
    const std::string header = tar::MakeHeader(name.substr(0, name.find('\0')), value, value);
    const auto* hb = reinterpret_cast<const uint8_t*>(header.data());
    if (header.size() != static_cast<size_t>(tar::kBlock) || !tar::ChecksumOk(hb) || tar::Size(hb) != value ||
        tar::MTime(hb) != value)
        std::abort();
    return 0;
}
