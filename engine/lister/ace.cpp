// ACE walk of the lister, across volumes.
#include "engine/core/helpers.h"
#include "engine/formats/ace.h"
#include "engine/lister/dovex.h"

namespace bramble {

void TDovex::SetupAce() {
    // Every run numbers the volumes from the archive's own name again.
    ParseVolumeNumber();
    headerSize_ = 0;
    const int64_t start = scanPos_ - 1;
    const ace::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    ace::TMainHeader main;
    if (ace::ParseMain(read, start, main) != ace::TParse::Ok) return;
    walkVersion_ = main.VersionCreated;
    scanPos_ = main.Next + 1;
    headerSize_ = ace::kBaseSize;
}

void TDovex::ParseAce() {
    const int64_t at = scanPos_ - 1;
    const ace::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    ace::TBlock b;
    if (ace::ParseBlock(read, at, b) != ace::TParse::Ok) return EndScan();
    next_ = b.Next;
    if (!b.IsFile()) return;  // recovery records and the like

    // Opens the next volume; the offset of its first block, or -1 when
    // the volume was refused or is no ACE archive.
    std::string volume = inFile_.FileName();
    auto nextVolume = [&]() -> int64_t {
        if (!MoveToNextVolume(volume)) return -1;
        ace::TMainHeader main;
        if (ace::ParseMain(read, 0, main) != ace::TParse::Ok) return -1;
        return main.Next;
    };

    EntryInfo.Clear();
    int64_t packed = b.PackSize;
    ace::TBlock last = b;
    // A file continued in the next volumes is listed once, from its last
    // part, with the packed sizes of all parts.
    while (last.ToNext()) {
        const int64_t first = nextVolume();
        if (first < 0) return EndScan();  // refused: nothing more is listed
        ace::TBlock part;
        if (ace::ParseBlock(read, first, part) != ace::TParse::Ok || !part.IsFile() || !part.FromPrevious() ||
            part.Name != b.Name) {
            next_ = first;  // the next volume does not continue this file
            return;
        }
        packed += part.PackSize;
        next_ = part.Next;
        last = std::move(part);
    }

    EntryInfo.FileName = ConvertStoredName(b.Name);
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = last.OrigSize;
    EntryInfo.DateTime = FileDateToDateTime(last.FTime);
    EntryInfo.Attr = static_cast<uint16_t>(last.Attr);
    EntryInfo.ExternalAttr = last.Attr & 0xFFFF;
    EntryInfo.CRC = last.Crc32;
    EntryInfo.MethodCode = last.Method;
    EntryInfo.MethodName = CompressMethodName(last.Method, 0);
    EntryInfo.Encrypted = last.Encrypted();
    EntryInfo.VersionMadeBy = walkVersion_;
    EntryInfo.VersionNeeded = walkVersion_;
    // A folder entry is shown, like the other kinds' folders, only on demand.
    if (last.Directory()) {
        if (showBlankDirs_) ListEntry(at, false);
        return;
    }
    ListEntry(at);
}

}  // namespace bramble
