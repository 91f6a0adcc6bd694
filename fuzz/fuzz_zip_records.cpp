// The ZIP format module over arbitrary bytes: the end-record search, the
// central directory and local headers it leads to, the streamed-descriptor
// search, and every record's parse and write, which must give back the same
// bytes. Nothing may read outside the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/zip.h"

using namespace bramble;

namespace {

template <typename Rec>
void RoundTrip(const uint8_t* data, size_t size) {
    if (size < Rec::kSize) return;
    const Rec r = Rec::Parse(data);
    if (std::memcmp(r.Bytes().data(), data, Rec::kSize) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RoundTrip<TZipLocalHeader>(data, size);
    RoundTrip<TZipCentralRecord>(data, size);
    RoundTrip<TZipEndRecord>(data, size);

    // The input as a whole file: its end record, then the directory.
    if (const auto hit = zip::FindEndRecord(data, size)) {
        if (*hit + zip::kEndSize > size) std::abort();
        const TZipEndRecord end = TZipEndRecord::Parse(data + *hit);
        if (*hit + zip::kEndSize + end.CommentLength > size) std::abort();
        uint64_t pos = end.CentralOffset;
        for (unsigned i = 0; i < end.TotalEntries && pos + zip::kCentralSize <= size; ++i) {
            const TZipCentralRecord c = TZipCentralRecord::Parse(data + pos);
            if (!c.Valid()) break;
            if (c.LocalOffset + uint64_t{zip::kLocalSize} <= size) {
                const TZipLocalHeader h = TZipLocalHeader::Parse(data + c.LocalOffset);
                (void)h.DataOffset();
            }
            if (c.NameLength <= size - pos - zip::kCentralSize) {
                const std::string raw(reinterpret_cast<const char*>(data + pos + zip::kCentralSize), c.NameLength);
                (void)zip::NameIsUtf8(raw, c.Flags, c.VersionMadeBy);
            }
            pos += static_cast<uint64_t>(c.TotalSize());
        }
    }
    // One that a caller's rule narrows: no comment at all.
    (void)zip::FindEndRecord(data, size, [](const TZipEndRecord& e, size_t) { return e.CommentLength == 0; });

    // A streamed entry's data starting at the first byte's offset.
    const int64_t start = size > 0 ? data[0] % static_cast<int64_t>(size) : 0;
    const auto readAt = [&](int64_t pos, uint8_t* out, int64_t count) -> int64_t {
        if (pos < 0 || pos >= static_cast<int64_t>(size)) return 0;
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(size) - pos);
        std::memcpy(out, data + pos, static_cast<size_t>(n));
        return n;
    };
    int64_t next = -1;
    if (const auto d = zip::FindDescriptor(start, static_cast<int64_t>(size), readAt, next)) {
        if (next < start + static_cast<int64_t>(zip::kDescriptorSize) || next > static_cast<int64_t>(size)) std::abort();
        if (next - static_cast<int64_t>(zip::kDescriptorSize) - start != d->PackedSize) std::abort();
    }
    for (size_t i = 0; i < size && i < 64; ++i)
        (void)zip::DescriptorLength(data + i, size - i, size >= 4 ? zip::GetLe32(data) : 0);
    return 0;
}
