// ACE walk of the lister, across volumes.
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


// Every block: HEAD_CRC (2), HEAD_SIZE (2), then HEAD_SIZE bytes that start
// with HEAD_TYPE (1) and HEAD_FLAGS (2).
constexpr int kBase = 7;
constexpr int kMainFixed = 31;  // up to the creator version and beyond
constexpr int kFileFixed = 35;  // up to the name
constexpr uint8_t kMainBlock = 0, kFileBlock = 1;
constexpr uint16_t kAddSize = 0x0001, kToNext = 0x2000, kFromPrevious = 0x1000, kEncrypted = 0x4000;

}  // namespace

void TDovex::SetupAce() {
    // Every run numbers the volumes from the archive's own name again.
    ParseVolumeNumber();
    headerSize_ = 0;
    const int64_t start = scanPos_ - 1;
    uint8_t h[kMainFixed];
    if (!ReadAt(start, h, kMainFixed) || h[4] != kMainBlock || std::memcmp(h + 7, "**ACE**", 7) != 0) return;
    walkVersion_ = h[15];
    // The main header's size covers its optional parts (comment and the
    // like): the first file block follows it.
    scanPos_ = start + 4 + Le16(h + 2) + 1;
    headerSize_ = kBase;
}

void TDovex::ParseAce() {
    const int64_t at = scanPos_ - 1;
    if (hdrRead_ < kBase) return EndScan();
    const uint16_t headSize = Le16(hdr_.data() + 2);
    if (headSize < 3) return EndScan();
    std::vector<uint8_t> head(static_cast<size_t>(headSize) + 4);
    if (!ReadAt(at, head.data(), static_cast<int64_t>(head.size()))) return EndScan();
    const uint8_t type = head[4];
    const uint16_t flags = Le16(&head[5]);
    const int64_t addSize = ((flags & kAddSize) && head.size() >= 11) ? Le32(&head[7]) : 0;
    next_ = at + 4 + headSize + addSize;
    if (type != kFileBlock) return;  // recovery records and the like
    if (head.size() < kFileFixed) return EndScan();

    // Opens the next volume; the offset of its first block, or -1 when
    // the volume was refused or is no ACE archive.
    std::string volume = inFile_.FileName();
    auto nextVolume = [&]() -> int64_t {
        if (!MoveToNextVolume(volume)) return -1;
        uint8_t m[kMainFixed];
        if (!ReadAt(0, m, kMainFixed) || m[4] != kMainBlock || std::memcmp(m + 7, "**ACE**", 7) != 0) return -1;
        return 4 + Le16(m + 2);
    };
    auto rawName = [](const std::vector<uint8_t>& hd) {
        size_t len = std::min<size_t>(Le16(&hd[33]), hd.size() - kFileFixed);
        return std::string(reinterpret_cast<const char*>(&hd[kFileFixed]), std::min<size_t>(len, 2500));
    };

    EntryInfo.Clear();
    const std::string name = rawName(head);
    int64_t packed = Le32(&head[7]);
    std::vector<uint8_t> last = head;
    uint16_t lastFlags = flags;
    // A file continued in the next volumes is listed once, from its last
    // part, with the packed sizes of all parts.
    while (lastFlags & kToNext) {
        int64_t first = nextVolume();
        if (first < 0) return EndScan();  // refused: nothing more is listed
        uint8_t b[4];
        std::vector<uint8_t> part;
        bool ok = ReadAt(first, b, 4) && Le16(b + 2) >= kFileFixed - 4;
        if (ok) {
            part.resize(static_cast<size_t>(Le16(b + 2)) + 4);
            ok = ReadAt(first, part.data(), static_cast<int64_t>(part.size())) && part[4] == kFileBlock &&
                 (Le16(&part[5]) & kFromPrevious) && rawName(part) == name;
        }
        if (!ok) {
            next_ = first;  // the next volume does not continue this file
            return;
        }
        lastFlags = Le16(&part[5]);
        packed += Le32(&part[7]);
        next_ = first + static_cast<int64_t>(part.size()) + Le32(&part[7]);
        last = std::move(part);
    }

    EntryInfo.FileName = ConvertStoredName(name);
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = Le32(&last[11]);
    EntryInfo.DateTime = FileDateToDateTime(Le32(&last[15]));
    EntryInfo.Attr = static_cast<uint16_t>(Le32(&last[19]));
    EntryInfo.ExternalAttr = Le32(&last[19]) & 0xFFFF;
    EntryInfo.CRC = Le32(&last[23]);
    EntryInfo.MethodCode = last[27];
    EntryInfo.MethodName = CompressMethodName(last[27], 0);
    EntryInfo.Encrypted = (lastFlags & kEncrypted) != 0;
    EntryInfo.VersionMadeBy = walkVersion_;
    EntryInfo.VersionNeeded = walkVersion_;
    // A folder entry is shown, like the other kinds' folders, only on demand.
    if (EntryInfo.ExternalAttr & 0x10) {
        if (showBlankDirs_) ListEntry(at, false, false);
        return;
    }
    ListEntry(at);
}

}  // namespace bramble
