// ARC and PAK walk of the lister.
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


constexpr int kArcHeader = 29;
// The oldest stored method has no unpacked-size field.
constexpr int kArcHeaderMethod1 = 25;

}  // namespace

void TDovex::SetupArc() {
    walkPath_.clear();
    headerSize_ = kArcHeader;
}

void TDovex::ParseArc() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < 2 || h[0] != 0x1A) return EndScan();
    const uint8_t method = h[1];
    if (method == 0) return EndScan();
    if (method == 31) {
        // The 2-byte end of a PAK directory: back to its parent.
        size_t cut = walkPath_.size() > 1 ? walkPath_.find_last_of('\\', walkPath_.size() - 2) : std::string::npos;
        walkPath_.erase(cut == std::string::npos ? 0 : cut + 1);
        next_ = at + 2;
        return;
    }
    const int headerLen = method == 1 ? kArcHeaderMethod1 : kArcHeader;
    if (hdrRead_ < headerLen) return EndScan();

    char rawName[14] = {};
    std::memcpy(rawName, h + 2, 13);
    const std::string name = ConvertStoredName(rawName);
    const int64_t packed = Le32(h + 15);

    EntryInfo.Clear();
    EntryInfo.MethodCode = method;
    EntryInfo.MethodName = CompressMethodName(method, method);
    EntryInfo.DateTime = FileDateToDateTime(SwapWords(Le32(h + 19)));
    EntryInfo.CRC = Le16(h + 23);

    if (method == 30) {
        // A PAK directory: the entries after it, up to its end marker, lie
        // in it.
        EntryInfo.FileName = walkPath_ + name + "\\";
        EntryInfo.Attr = 16;
        EntryInfo.ExternalAttr = 16;
        if (walkPath_.size() + name.size() < 2500) walkPath_ += name + "\\";
        next_ = at + headerLen;
        if (showBlankDirs_) ListEntry(at, false, false);
        return;
    }

    EntryInfo.FileName = walkPath_ + name;
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = method == 1 ? packed : Le32(h + 25);
    EntryInfo.Attr = 32;
    EntryInfo.ExternalAttr = 32;
    next_ = at + headerLen + packed;
    ListEntry(at);
}

}  // namespace bramble
