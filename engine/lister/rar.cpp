// RAR walk of the lister (archive format 1.5 to 4, the blocks after the
// "Rar!" marker), across volumes.
#include <functional>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


constexpr int kMarker = 7;
constexpr int kMainHeader = 13;
constexpr int kFileFixed = 32;
constexpr uint8_t kMainBlock = 0x73, kFileBlock = 0x74, kNewSubBlock = 0x7A, kEndBlock = 0x7B;
constexpr uint16_t kLongBlock = 0x8000, kLargeFile = 0x0100, kUnicodeName = 0x0200;
constexpr uint16_t kFromPrevious = 0x01, kToNext = 0x02, kEncrypted = 0x04;
constexpr uint16_t kVolumeArchive = 0x0001, kEncryptedHeaders = 0x0080;
constexpr uint16_t kEndNextVolume = 0x0001;

using Reader = std::function<int64_t(int64_t, void*, int64_t)>;

// One block header as far as the walk needs it.
struct RarBlock {
    uint8_t type = 0;
    uint16_t flags = 0;
    uint16_t headSize = 0;
    int64_t dataSize = 0;  // bytes of data after the header
    std::vector<uint8_t> head;  // the whole header of a file block

    // File block fields.
    uint8_t HostOS() const { return head[15]; }
    uint32_t Crc() const { return Le32(&head[16]); }
    uint32_t FTime() const { return Le32(&head[20]); }
    uint8_t UnpVer() const { return head[24]; }
    uint8_t Method() const { return head[25]; }
    uint32_t RawAttr() const { return Le32(&head[28]); }
    int64_t UnpSize() const {
        int64_t v = Le32(&head[11]);
        if ((flags & kLargeFile) && head.size() >= 40) v |= static_cast<int64_t>(Le32(&head[36])) << 32;
        return v;
    }
    std::string RawName() const {
        size_t at = (flags & kLargeFile) ? 40 : 32;
        if (head.size() <= at) return {};
        size_t len = std::min<size_t>(Le16(&head[26]), head.size() - at);
        std::string name(reinterpret_cast<const char*>(&head[at]), len);
        // A Unicode name follows the plain one after a NUL.
        if (flags & kUnicodeName) {
            size_t nul = name.find('\0');
            if (nul != std::string::npos) name.erase(nul);
        }
        return name.substr(0, 2500);
    }
    // DOS attributes; a Unix host stores its mode bits instead.
    uint32_t Attributes() const {
        uint8_t host = HostOS();
        if (host == 3 || host == 5) return (RawAttr() & 0x4000) ? 0x10 : 0x20;
        return RawAttr();
    }
    bool IsDirectory() const { return (flags & 0xE0) == 0xE0 || (Attributes() & 0x10) != 0; }
};

// Reads the block at offset: false when there is none.
bool ReadRarBlock(const Reader& read, int64_t offset, RarBlock& b) {
    uint8_t h[kFileFixed + 8];
    b = RarBlock();
    int64_t got = read(offset, h, sizeof h);
    if (got < 7) return false;
    b.type = h[2];
    b.flags = Le16(h + 3);
    b.headSize = Le16(h + 5);
    if (b.headSize < 7 || b.type < 0x72 || b.type > 0x7B) return false;
    // File blocks always carry their packed size, whether or not they set
    // the flag that announces data.
    if ((b.flags & kLongBlock) || b.type == kFileBlock || b.type == kNewSubBlock) {
        if (got < 11) return false;
        b.dataSize = Le32(h + 7);
        if ((b.type == kFileBlock || b.type == kNewSubBlock) && (b.flags & kLargeFile) && got >= 36)
            b.dataSize |= static_cast<int64_t>(Le32(h + 32)) << 32;
    }
    if (b.type == kFileBlock) {
        if (b.headSize < kFileFixed) return false;
        b.head.resize(b.headSize);
        if (read(offset, b.head.data(), b.headSize) != b.headSize) return false;
    }
    return true;
}

}  // namespace

void TDovex::SetupRar() {
    // Every run numbers the volumes from the archive's own name again.
    ParseVolumeNumber();
    headerSize_ = 0;
    const int64_t start = scanPos_ - 1;
    uint8_t marker[kMarker];
    uint8_t main[kMainHeader];
    if (!inFile_.Seek(start + kMarker)) RaiseError(archiveFile_, "", "0", 25235);
    if (inFile_.Read(main, kMainHeader) != kMainHeader) RaiseError(archiveFile_, "", "0", 25236);
    // Archives of format 5 have another marker and other blocks; encrypted
    // block headers cannot be walked without the password.
    if (!ReadAt(start, marker, kMarker) || marker[6] != 0) return;
    if (main[2] != kMainBlock || (Le16(main + 3) & kEncryptedHeaders)) return;
    volumeContinues_ = (Le16(main + 3) & kVolumeArchive) != 0;
    scanPos_ = start + kMarker + std::max<int>(kMainHeader, Le16(main + 5)) + 1;
    headerSize_ = kFileFixed;
}

void TDovex::ParseRar() {
    const int64_t at = scanPos_ - 1;
    Reader read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };

    // Opens the next volume; the offset of its first block after the main
    // header, or -1 when the volume was refused.
    std::string volume = inFile_.FileName();
    auto nextVolume = [&]() -> int64_t {
        if (!MoveToNextVolume(volume)) return -1;
        uint8_t main[kMainHeader];
        if (!ReadAt(kMarker, main, kMainHeader)) RaiseError(volume, "", "0", 25236);
        if (main[2] != kMainBlock || (Le16(main + 3) & kEncryptedHeaders)) return -1;
        volumeContinues_ = (Le16(main + 3) & kVolumeArchive) != 0;
        return kMarker + std::max<int>(kMainHeader, Le16(main + 5));
    };

    RarBlock b;
    if (!ReadRarBlock(read, at, b)) return EndScan();
    next_ = at + b.headSize + b.dataSize;
    if (b.type == kEndBlock) {
        // The end of this volume; a set that goes on continues in the next.
        if (!volumeContinues_ || !(b.flags & kEndNextVolume)) return EndScan();
        int64_t first = nextVolume();
        if (first < 0) return EndScan();
        next_ = first;
        return;
    }
    if (b.type != kFileBlock) return;

    EntryInfo.Clear();
    int64_t packed = b.dataSize;
    // A file continued in the next volumes is listed once, from its last
    // part, with the packed sizes of all parts.
    RarBlock last = b;
    const std::string name = b.RawName();
    while (last.flags & kToNext) {
        int64_t first = nextVolume();
        if (first < 0) return EndScan();  // refused: nothing more is listed
        RarBlock part;
        if (!ReadRarBlock(read, first, part) || part.type != kFileBlock || !(part.flags & kFromPrevious) ||
            part.RawName() != name) {
            // The next volume does not continue this file: its walk starts
            // with its first block, and the broken entry is not listed.
            next_ = first;
            return;
        }
        packed += part.dataSize;
        next_ = first + part.headSize + part.dataSize;
        last = std::move(part);
    }

    EntryInfo.FileName = ConvertStoredName(name);
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = last.UnpSize();
    EntryInfo.CRC = last.Crc();
    EntryInfo.DateTime = FileDateToDateTime(last.FTime());
    EntryInfo.VersionMadeBy = last.UnpVer();
    EntryInfo.MethodCode = last.Method();
    EntryInfo.Encrypted = (last.flags & kEncrypted) != 0;
    const uint32_t attr = last.Attributes();
    EntryInfo.Attr = static_cast<uint16_t>(attr);
    EntryInfo.ExternalAttr = attr & 0xFFFF;
    EntryInfo.MethodName = CompressMethodName(last.Method(), last.IsDirectory() ? attr | 0x10 : attr);
    if (last.IsDirectory()) {
        if (showBlankDirs_) ListEntry(at, false, false);
        return;
    }
    ListEntry(at);
}

}  // namespace bramble
