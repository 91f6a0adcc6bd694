// ZOO walk of the lister: a chain of directory entries, each naming the
// offset of the next.
#include "engine/formats/zoo.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

void TDovex::SetupZoo() {
    headerSize_ = 0;
    uint8_t h[zoo::kArchiveHeaderSize];
    const int64_t got = ReadUpTo(scanPos_ - 1, h, zoo::kArchiveHeaderSize);
    zoo::TArchiveHeader header;
    if (!zoo::ParseArchiveHeader(h, static_cast<size_t>(got), header)) return;
    // The first entry lies behind the archive header (and its comment).
    if (header.FirstEntry < zoo::kArchiveHeaderMin) return;
    scanPos_ = static_cast<int64_t>(header.FirstEntry) + 1;
    headerSize_ = zoo::kEntrySize;
}

void TDovex::ParseZoo() {
    const int64_t at = scanPos_ - 1;
    zoo::TEntry e;
    const zoo::TReadAt read = [this](int64_t offset, void* buffer, int64_t count) {
        return ReadUpTo(offset, buffer, count);
    };
    if (zoo::ReadEntry(read, at, e) != zoo::TParse::Ok || e.Terminator()) return EndScan();
    const int64_t next = e.NextInChain();
    next_ = next != 0 ? next : scanEnd_;
    // The entries behind a link that leads back cannot be found: said, so
    // the listing is not taken for the whole archive.
    if (e.LinksBack()) ReportError(archiveFile_, "", "0", 25108);
    if (e.Deleted) return;

    EntryInfo.Clear();
    EntryInfo.FileName = ConvertStoredName(e.StoredPath());
    EntryInfo.MethodCode = e.Method;
    EntryInfo.MethodName = CompressMethodName(e.Method, 0);
    EntryInfo.DateTime = FileDateToDateTime(e.Stamp);
    EntryInfo.CRC = e.Crc;
    EntryInfo.UnpackedSize = e.UnpackedSize;
    EntryInfo.PackedSize = e.PackedSize;
    EntryInfo.VersionMadeBy = e.Major;
    EntryInfo.VersionNeeded = e.Minor;
    ListEntry(at);
}

}  // namespace bramble
