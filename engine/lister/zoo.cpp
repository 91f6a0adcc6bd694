// ZOO walk of the lister: a chain of directory entries, each naming the
// offset of the next.
#include <algorithm>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


constexpr uint32_t kZooTag = 0xFDC4A7DC;
constexpr int kZooArchiveHeader = 43;
constexpr int kZooEntry = 58;

}  // namespace

void TDovex::SetupZoo() {
    headerSize_ = 0;
    uint8_t h[kZooArchiveHeader];
    if (!ReadAt(scanPos_ - 1, h, kZooArchiveHeader)) return;
    const uint32_t first = Le32(h + 24);
    const uint32_t minus = Le32(h + 28);
    if (static_cast<uint32_t>(first + minus) != 0 || first == 0) return;
    // The first entry lies behind the archive header (and its comment).
    if (first < 34) return;
    scanPos_ = static_cast<int64_t>(first) + 1;
    headerSize_ = kZooEntry;
}

void TDovex::ParseZoo() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < kZooEntry || Le32(h) != kZooTag) return EndScan();
    const int64_t nextEntry = Le32(h + 6);
    // The chain only runs forwards: an entry pointing back or to itself
    // ends it. The last entry of the chain is an empty one naming no next.
    if (nextEntry == 0) return EndScan();
    next_ = nextEntry > at ? nextEntry : scanEnd_;
    if (h[30] != 0) return;  // deleted

    std::string shortName;
    for (int i = 38; i < 51 && h[i] != 0; ++i) shortName.push_back(static_cast<char>(h[i]));
    std::string longName, dirName;
    if (h[4] == 2 && Le16(h + 51) > 0) {
        const int nameLen = h[56], dirLen = h[57];
        std::string var(static_cast<size_t>(nameLen + dirLen), '\0');
        if (!var.empty()) {
            if (!ReadAt(at + kZooEntry, var.data(), nameLen + dirLen)) return EndScan();
            longName = var.substr(0, std::min<size_t>(var.size(), static_cast<size_t>(nameLen)));
            if (var.size() > static_cast<size_t>(nameLen)) dirName = var.substr(static_cast<size_t>(nameLen));
        }
    }
    auto cutAtNul = [](std::string& s) {
        size_t nul = s.find('\0');
        if (nul != std::string::npos) s.erase(nul);
    };
    cutAtNul(longName);
    cutAtNul(dirName);
    std::string name = longName.empty() ? shortName : longName;
    if (!dirName.empty() && dirName.back() != '/' && dirName.back() != '\\') dirName.push_back('/');

    EntryInfo.Clear();
    EntryInfo.FileName = ConvertStoredName(dirName + name);
    EntryInfo.MethodCode = h[5];
    EntryInfo.MethodName = CompressMethodName(h[5], 0);
    EntryInfo.DateTime = FileDateToDateTime(SwapWords(Le32(h + 14)));
    EntryInfo.CRC = Le16(h + 18);
    EntryInfo.UnpackedSize = Le32(h + 20);
    EntryInfo.PackedSize = Le32(h + 24);
    EntryInfo.VersionMadeBy = h[28];
    EntryInfo.VersionNeeded = h[29];
    ListEntry(at);
}

}  // namespace bramble
