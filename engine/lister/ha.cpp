// HA walk of the lister.
#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


constexpr int kHaArchiveHeader = 4;  // "HA" and the entry count
constexpr int kHaFixed = 17;         // type, packed, size, CRC, time
constexpr int kHaMaxString = 2500;

}  // namespace

void TDovex::SetupHa() {
    scanPos_ += kHaArchiveHeader;
    headerSize_ = kHaFixed + 1;
}

void TDovex::ParseHa() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < kHaFixed + 1) return EndScan();
    // Copy, ASC, HSC, directory and special entries; any other type is no
    // header.
    const int type = h[0] & 0x0F;
    if (type > 2 && type < 14) return EndScan();

    // The path and the name, NUL-terminated, then the length of the
    // machine-specific data and that data.
    int64_t pos = at + kHaFixed;
    auto readString = [&](std::string& s) -> bool {
        uint8_t buf[256];
        s.clear();
        while (static_cast<int>(s.size()) <= kHaMaxString) {
            int64_t got = ReadUpTo(pos, buf, sizeof buf);
            if (got <= 0) return false;
            for (int64_t i = 0; i < got; ++i) {
                if (buf[i] == 0) {
                    pos += i + 1;
                    return true;
                }
                s.push_back(static_cast<char>(buf[i]));
            }
            pos += got;
        }
        return false;
    };
    std::string path, name;
    if (!readString(path) || !readString(name)) return EndScan();
    uint8_t machineLen = 0;
    if (!ReadAt(pos, &machineLen, 1)) return EndScan();
    pos += 1 + machineLen;
    if (pos > scanEnd_) return EndScan();  // cut off by the end of the file

    const int64_t packed = Le32(h + 1);
    next_ = pos + packed;

    if (!path.empty()) {
        unsigned char last = static_cast<unsigned char>(path.back());
        if (last != 0xFF && last != '/' && last != '\\') path.push_back('\\');
    }
    EntryInfo.Clear();
    EntryInfo.FileName = ConvertStoredName(path + name, true);
    EntryInfo.MethodCode = h[0] & 0x0F;
    EntryInfo.VersionMadeBy = h[0] >> 4;
    EntryInfo.VersionNeeded = h[0] >> 4;
    EntryInfo.MethodName = CompressMethodName(EntryInfo.MethodCode, 0);
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = Le32(h + 5);
    EntryInfo.CRC = Le32(h + 9);
    // The header carries the entry's own time, in seconds since 1970.
    EntryInfo.DateTime = UnixToDateTime(Le32(h + 13));
    EntryInfo.Attr = 32;
    EntryInfo.ExternalAttr = 32;
    // A folder entry is shown, like the other kinds' folders, only on demand.
    if (type == 14) {
        EntryInfo.Attr = EntryInfo.ExternalAttr = 16;
        if (showBlankDirs_) ListEntry(at, false);
        return;
    }
    ListEntry(at);
}

}  // namespace bramble
