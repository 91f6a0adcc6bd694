// The TAR format module over arbitrary bytes: the walk over the records
// (long names, pax extended and global headers, damaged and cut blocks),
// every header field, the sparse maps of the entries the walk finds, and
// the header the writer makes from a name taken from the input, whose
// checksum must hold. Nothing may read outside the input or loop forever,
// and a map that passes its check must be one a file can be written from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
        // Every step moves on, and what it gives lies in the input; only
        // an old sparse map puts blocks between a header and its data.
        const int64_t gap = e.Data - e.Pos;
        if (walk.Position() <= last || e.Pos < e.Start || gap < tar::kBlock || gap % tar::kBlock != 0 ||
            (gap != tar::kBlock && e.Type != tar::kOldSparse) || e.Data > end)
            std::abort();
        if (e.Cut != (e.Size > end - e.Data)) std::abort();
        last = walk.Position();
        const uint8_t* h = e.Header.data();
        (void)tar::MTime(h);
        (void)tar::StoredChecksum(h);
        (void)tar::ListedName(h);
        (void)tar::FullName(h);
        if (!e.Sparse.Given) continue;
        std::vector<tar::TSparseChunk> map;
        int64_t chunks = 0;
        if (tar::SparseMap(e.Sparse, e.Data, e.Size, end, readAt, map, chunks) != tar::TSparseCheck::Ok) continue;
        // In order, inside the file, no more data than the entry holds
        // behind a map of whole blocks.
        if (chunks < e.Data || (chunks - e.Data) % tar::kBlock != 0 || chunks - e.Data > e.Size) std::abort();
        int64_t at = 0, stored = 0;
        for (const tar::TSparseChunk& c : map) {
            if (c.Offset < at || c.Length < 0 || c.Offset + c.Length > e.Sparse.FileSize()) std::abort();
            at = c.Offset + c.Length;
            stored += c.Length;
        }
        if (stored > e.Size - (chunks - e.Data)) std::abort();
    }
    // The whole input as one pax header's records, as global defaults, and
    // over the first block as its header.
    tar::TPaxRecords records, globals;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (tar::ParsePax(text, records) && tar::MergeGlobals(globals, records) && size >= tar::kBlock) {
        const tar::TPaxEntry view = tar::ApplyPax(data, "base", records, globals);
        if (records.Size.state == tar::TPaxValue<int64_t>::Set && view.Size != records.Size.value) std::abort();
    }

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
