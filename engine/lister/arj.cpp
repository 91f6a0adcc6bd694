// ARJ walk of the lister, across volumes.
#include <functional>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {


constexpr uint16_t kArjId = 0xEA60;
constexpr int kMaxBasicSize = 2600;

// One ARJ header block: the basic header and where the block ends.
struct ArjBlock {
    int64_t offset = 0;
    uint16_t basicSize = 0;        // 0: the end of the archive
    std::vector<uint8_t> basic;    // the basic header
    int64_t end = 0;               // past the extended headers: the data starts here

    uint8_t Flags() const { return basic.size() > 4 ? basic[4] : 0; }
    uint8_t Method() const { return basic.size() > 5 ? basic[5] : 0; }
    uint8_t FileType() const { return basic.size() > 6 ? basic[6] : 0; }
    uint32_t Field32(size_t at) const { return basic.size() >= at + 4 ? Le32(&basic[at]) : 0; }
    uint16_t Field16(size_t at) const { return basic.size() >= at + 2 ? Le16(&basic[at]) : 0; }
    int64_t Packed() const { return Field32(12); }
    int64_t Unpacked() const { return Field32(16); }
    // The NUL-terminated name after the fixed part of the basic header.
    std::string RawName() const {
        size_t start = basic.empty() ? 0 : basic[0];
        std::string name;
        for (size_t i = start; i < basic.size() && basic[i] != 0; ++i) name.push_back(static_cast<char>(basic[i]));
        return name;
    }
};

using Reader = std::function<bool(int64_t, void*, int64_t)>;

// Reads the block at offset. False when there is no ARJ header there or it
// cannot be read whole; a basic size of 0 is a valid end block.
bool ReadArjBlock(const Reader& read, int64_t offset, int64_t fileSize, ArjBlock& b) {
    uint8_t head[4];
    b = ArjBlock();
    b.offset = offset;
    if (!read(offset, head, 4) || Le16(head) != kArjId) return false;
    b.basicSize = Le16(head + 2);
    if (b.basicSize == 0) {
        b.end = offset + 4;
        return true;
    }
    if (b.basicSize > kMaxBasicSize || b.basicSize < 30) return false;
    b.basic.resize(b.basicSize);
    if (!read(offset + 4, b.basic.data(), b.basicSize)) return false;
    // The basic header's CRC, then extended headers (size, data, CRC) up to
    // a size of 0.
    int64_t pos = offset + 4 + b.basicSize + 4;
    for (;;) {
        uint8_t sz[2];
        if (!read(pos, sz, 2)) return false;
        pos += 2;
        uint16_t extSize = Le16(sz);
        if (extSize == 0) break;
        pos += extSize + 4;
        if (pos > fileSize) return false;
    }
    b.end = pos;
    return true;
}

}  // namespace

void TDovex::SetupArj() {
    walkPath_.clear();
    // Every run numbers the volumes from the archive's own name again.
    ParseVolumeNumber();
    if (arcType_ == atArjExe) {
        // A self-extractor's volumes are named like a plain archive's.
        volumeLetter_ = 'a';
        volumeNumber_ = 1;
    }
    const int64_t start = scanPos_ - 1;
    uint8_t head[4];
    if (!ReadAt(start, head, 4) || Le16(head) != kArjId || Le16(head + 2) == 0)
        RaiseError(archiveFile_, "", "0", 25108);
    if (Le16(head + 2) >= kMaxBasicSize) {
        headerSize_ = 0;
        return;
    }
    Reader read = [this](int64_t o, void* b, int64_t n) { return ReadAt(o, b, n); };
    ArjBlock main;
    if (!ReadArjBlock(read, start, scanEnd_, main)) {
        headerSize_ = 0;
        return;
    }
    volumeContinues_ = (main.Flags() & 0x04) != 0;
    scanPos_ = main.end + 1;
    headerSize_ = 4;
}

void TDovex::ParseArj() {
    const int64_t at = scanPos_ - 1;
    if (hdrRead_ < 4 || Le16(hdr_.data()) != kArjId) return EndScan();
    Reader read = [this](int64_t o, void* b, int64_t n) { return ReadAt(o, b, n); };

    // Opens the next volume and reads its main header; the offset of its
    // first file header, or -1 when the volume was refused or is no ARJ.
    std::string volume = inFile_.FileName();
    auto nextVolume = [&]() -> int64_t {
        if (!MoveToNextVolume(volume)) return -1;
        ArjBlock main;
        if (!ReadArjBlock(read, 0, scanEnd_, main) || main.basicSize == 0) return -1;
        volumeContinues_ = (main.Flags() & 0x04) != 0;
        return main.end;
    };

    ArjBlock b;
    if (!ReadArjBlock(read, at, scanEnd_, b)) return EndScan();
    if (b.basicSize == 0) {
        // The end of this volume; a set that goes on continues in the next.
        if (!volumeContinues_) return EndScan();
        int64_t first = nextVolume();
        if (first < 0) return EndScan();
        next_ = first;
        return;
    }

    EntryInfo.Clear();
    EntryInfo.FileName = ConvertStoredName(b.RawName().substr(0, 2500));
    EntryInfo.VersionMadeBy = b.basic[1];
    EntryInfo.VersionNeeded = b.basic[2];
    EntryInfo.Encrypted = (b.Flags() & 0x01) != 0;
    EntryInfo.MethodCode = b.Method();
    EntryInfo.MethodName = CompressMethodName(b.Method(), b.FileType());
    // Hosts of the Unix family store seconds since 1970, the others a DOS
    // date and time.
    const uint8_t host = b.basic[3];
    EntryInfo.DateTime =
        (host == 2 || host == 8) ? UnixToDateTime(b.Field32(8)) : FileDateToDateTime(b.Field32(8));
    EntryInfo.CRC = b.Field32(20);
    EntryInfo.Attr = b.Field16(26);
    EntryInfo.ExternalAttr = b.Field16(26);
    EntryInfo.PackedSize = b.Packed();
    EntryInfo.UnpackedSize = b.Unpacked();
    next_ = b.end + b.Packed();

    // A file split over volumes: its parts open the volumes that follow
    // and are summed into one entry.
    const int64_t headerOffset = at;
    if (b.Flags() & 0x04) {
        const std::string name = b.RawName();
        bool more = true;
        while (more) {
            int64_t first = nextVolume();
            if (first < 0) return EndScan();  // refused: nothing more is listed
            ArjBlock part;
            if (!ReadArjBlock(read, first, scanEnd_, part) || part.basicSize == 0 ||
                !(part.Flags() & 0x08) || part.RawName() != name) {
                // The next volume does not continue this file: its walk
                // starts with its first header.
                next_ = first;
                break;
            }
            EntryInfo.PackedSize += part.Packed();
            EntryInfo.UnpackedSize += part.Unpacked();
            next_ = part.end + part.Packed();
            more = (part.Flags() & 0x04) != 0;
        }
    }

    if (b.FileType() == 3) {
        if (showBlankDirs_) ListEntry(headerOffset, false, false);
        return;
    }
    ListEntry(headerOffset);
}

}  // namespace bramble
