// LHA/LZH (header levels 0 to 2) and BH walks of the lister.
#include <algorithm>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


// An LHA method id: "-" four characters "-" ("-lh5-", "-lhd-", "-lzs-" ...).
bool IsLhaMethodId(const uint8_t* p) {
    if (p[0] != '-' || p[4] != '-') return false;
    for (int i = 1; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    return true;
}

// Stored name bytes as LHA readers take them: the name ends at a NUL
// (Amiga archivers put the file's comment behind one) and blanks around it
// are dropped.
std::string LhaRawName(std::string raw) {
    size_t nul = raw.find('\0');
    if (nul != std::string::npos) raw.erase(nul);
    size_t first = raw.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = raw.find_last_not_of(' ');
    return raw.substr(first, last - first + 1);
}

}  // namespace

// ---- LHA --------------------------------------------------------------------------

void TDovex::SetupLha() {
    uint8_t first[22];
    int64_t start = scanPos_ - 1;
    // A 128-byte prefix (a leading 0 byte) in front of the first header.
    if (ReadUpTo(start, first, 1) == 1 && first[0] == 0) scanPos_ += 128;
    headerSize_ = 22;
}

void TDovex::ParseLha() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < 22 || !IsLhaMethodId(h + 2)) return EndScan();
    const uint8_t level = h[20];
    if (h[0] == 0 && level != 2) return EndScan();  // the end of the archive
    if (level > 2) return EndScan();

    EntryInfo.Clear();
    const bool lhMethod = h[3] == 'l' && h[4] == 'h';
    const bool directory = std::memcmp(h + 2, "-lhd-", 5) == 0;
    // The digit of "-lhN-"; other ids keep their character, which names
    // no method.
    EntryInfo.MethodCode = (lhMethod && h[5] >= '0' && h[5] <= '9') ? h[5] - '0' : h[5];
    int64_t packed = Le32(h + 7);
    EntryInfo.UnpackedSize = Le32(h + 11);
    EntryInfo.Attr = 32;

    std::string name;       // stored bytes, separators not yet converted
    std::string directoryPart;
    int64_t extStart = 0;   // first extended header (its type byte)
    int64_t extEnd = 0;     // where extended headers must end
    uint16_t extSize = 0;   // size of the first extended header
    int64_t dataStart = 0;

    if (level < 2) {
        // The base header is header-size + 2 bytes: read it whole.
        const int total = h[0] + 2;
        uint8_t base[257 + 2] = {};
        if (total < 24 || !ReadAt(at, base, total)) return EndScan();
        int nameLen = std::min<int>(base[21], total - 24);
        name.assign(reinterpret_cast<const char*>(base + 22), static_cast<size_t>(nameLen));
        EntryInfo.CRC = Le16(base + 22 + nameLen);
        EntryInfo.DateTime = FileDateToDateTime(Le32(h + 15));
        EntryInfo.ExternalAttr = h[19];
        dataStart = at + total;
        if (level == 1 && total >= 27 + nameLen) {
            extSize = Le16(base + total - 2);
            extStart = dataStart;
            // The extended headers lie within the packed size.
            extEnd = std::min<int64_t>(dataStart + packed, scanEnd_);
        }
    } else {
        const int64_t total = Le16(h);
        if (total < 26) return EndScan();
        uint8_t tail[5];  // CRC-16, OS id, first extended header size
        if (!ReadAt(at + 21, tail, 5)) return EndScan();
        EntryInfo.CRC = Le16(tail);
        EntryInfo.DateTime = UnixToDateTime(Le32(h + 15));
        EntryInfo.ExternalAttr = h[19];
        extSize = Le16(tail + 3);
        extStart = at + 26;
        // Some writers (OS-9) store a total a little short of the chain of
        // extended headers that really follows: the chain, ended by a size
        // of 0, decides where the data starts.
        extEnd = std::min<int64_t>(at + 0x10000, scanEnd_);
        dataStart = at + total;
    }

    // Extended headers: each one's size covers its type byte, its data and
    // the size of the next one; 0 ends the chain.
    int64_t extTotal = 0;
    int64_t pos = extStart;
    std::vector<uint8_t> ext;
    bool chainEnded = extSize == 0;
    while (extSize != 0 && extStart != 0) {
        if (extSize < 3 || pos + extSize > extEnd) break;
        ext.resize(extSize);
        if (!ReadAt(pos, ext.data(), extSize)) break;
        const size_t dataLen = extSize - 3u;
        const char* data = reinterpret_cast<const char*>(ext.data() + 1);
        if (ext[0] == 0x01)
            name.assign(data, dataLen);
        else if (ext[0] == 0x02)
            directoryPart.assign(data, dataLen);
        pos += extSize;
        extTotal += extSize;
        extSize = Le16(ext.data() + extSize - 2);
        chainEnded = extSize == 0;
    }
    if (level == 2 && chainEnded && pos > dataStart) dataStart = pos;
    // A header cut off by the end of the file holds no entry.
    if (dataStart > scanEnd_) return EndScan();
    if (level == 1) {
        packed -= extTotal;
        if (packed < 0) packed = 0;
    }

    std::string full = LhaRawName(directoryPart);
    if (!full.empty()) {
        unsigned char lastByte = static_cast<unsigned char>(full.back());
        if (lastByte != 0xFF && lastByte != '/' && lastByte != '\\') full.push_back('\\');
    }
    full += LhaRawName(name);
    if (full.size() > 2500) full.resize(2500);
    EntryInfo.FileName = ConvertStoredName(full, true);
    // A directory entry names no file: it never passes a file spec.
    if (directory && !EntryInfo.FileName.empty() && EntryInfo.FileName.back() != '\\')
        EntryInfo.FileName.push_back('\\');
    EntryInfo.PackedSize = std::min<int64_t>(packed, EntryInfo.UnpackedSize);
    EntryInfo.MethodName = CompressMethodName(EntryInfo.MethodCode, 0);

    // Level 1's stored packed size counts the extended headers that lie
    // between the base header and the data, so at every level the next
    // header is the stored packed size past the base header.
    next_ = dataStart + Le32(h + 7);
    ListEntry(at);
}

// ---- BH ---------------------------------------------------------------------------

void TDovex::SetupBh() { headerSize_ = 37; }

void TDovex::ParseBh() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < 37 || Le32(h) != 0x07054842) return EndScan();
    const uint16_t nameLen = Le16(h + 33);
    const int64_t packed = Le32(h + 15);
    if (at + 37 + nameLen > scanEnd_) return EndScan();  // cut off by the end of the file
    next_ = at + 37 + nameLen + packed;
    // A header whose size field is 0 holds no entry.
    if (Le16(h + 4) == 0) return;

    EntryInfo.Clear();
    EntryInfo.FileName = ReadStoredName(at + 37, nameLen);
    EntryInfo.VersionMadeBy = h[7];
    EntryInfo.VersionNeeded = h[8];
    EntryInfo.Encrypted = (h[9] & 1) != 0;
    EntryInfo.MethodCode = h[10];
    EntryInfo.MethodName = CompressMethodName(h[10], h[9]);
    EntryInfo.DateTime = FileDateToDateTime(Le32(h + 11));
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = Le32(h + 19);
    EntryInfo.CRC = Le32(h + 23);
    EntryInfo.Attr = Le16(h + 27);
    EntryInfo.ExternalAttr = Le16(h + 27);
    ListEntry(at);
}

}  // namespace bramble
