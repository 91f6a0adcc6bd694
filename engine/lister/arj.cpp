// ARJ walk of the lister, across volumes.
#include "engine/core/bytes.h"
#include "engine/core/helpers.h"
#include "engine/formats/arj.h"
#include "engine/lister/dovex.h"

namespace bramble {

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
    const arj::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    // Not even a main header where detection saw one: the archive is
    // unreadable.
    uint8_t head[4];
    if (read(start, head, 4) != 4 || Le16(head) != arj::kHeaderId || Le16(head + 2) == 0)
        RaiseError(archiveFile_, "", "0", 25108);
    arj::THeader main;
    if (arj::ReadHeader(read, scanEnd_, start, main) != arj::TParse::Ok) {
        headerSize_ = 0;
        return;
    }
    volumeContinues_ = main.Continues();
    scanPos_ = main.DataOffset + 1;
    headerSize_ = 4;
}

void TDovex::ParseArj() {
    const int64_t at = scanPos_ - 1;
    const arj::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };

    // Opens the next volume and reads its main header; the offset of its
    // first file header, or -1 when the volume was refused or is no ARJ.
    std::string volume = inFile_.FileName();
    auto nextVolume = [&]() -> int64_t {
        if (!MoveToNextVolume(volume)) return -1;
        arj::THeader main;
        if (arj::ReadHeader(read, scanEnd_, 0, main) != arj::TParse::Ok) return -1;
        volumeContinues_ = main.Continues();
        return main.DataOffset;
    };

    arj::THeader h;
    const arj::TParse parsed = arj::ReadHeader(read, scanEnd_, at, h);
    if (parsed == arj::TParse::End) {
        // The end of this volume; a set that goes on continues in the next.
        if (!volumeContinues_) return EndScan();
        const int64_t first = nextVolume();
        if (first < 0) return EndScan();
        next_ = first;
        return;
    }
    if (parsed != arj::TParse::Ok) return EndScan();

    EntryInfo.Clear();
    EntryInfo.FileName = ConvertStoredName(h.Name.substr(0, 2500));
    EntryInfo.VersionMadeBy = h.Version;
    EntryInfo.VersionNeeded = h.MinVersion;
    EntryInfo.Encrypted = h.Garbled();
    EntryInfo.MethodCode = h.Method;
    EntryInfo.MethodName = CompressMethodName(h.Method, h.FileType);
    EntryInfo.DateTime = h.UnixTime() ? UnixToDateTime(h.Stamp) : FileDateToDateTime(h.Stamp);
    EntryInfo.CRC = h.Crc;
    EntryInfo.Attr = h.Attr;
    EntryInfo.ExternalAttr = h.Attr;
    EntryInfo.PackedSize = h.PackedSize;
    EntryInfo.UnpackedSize = h.UnpackedSize;
    next_ = h.Next();

    // A file split over volumes: its parts open the volumes that follow
    // and are summed into one entry.
    const int64_t headerOffset = at;
    if (h.Continues()) {
        bool more = true;
        while (more) {
            const int64_t first = nextVolume();
            if (first < 0) return EndScan();  // refused: nothing more is listed
            arj::THeader part;
            if (arj::ReadHeader(read, scanEnd_, first, part) != arj::TParse::Ok || !part.Continued() ||
                part.Name != h.Name) {
                // The next volume does not continue this file: its walk
                // starts with its first header.
                next_ = first;
                break;
            }
            EntryInfo.PackedSize += part.PackedSize;
            EntryInfo.UnpackedSize += part.UnpackedSize;
            next_ = part.Next();
            more = part.Continues();
        }
    }

    if (h.FileType == arj::kDirectoryType) {
        if (showBlankDirs_) ListEntry(headerOffset, false);
        return;
    }
    ListEntry(headerOffset);
}

}  // namespace bramble
