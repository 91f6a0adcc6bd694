// RAR walk of the lister (archive format 1.5 to 4, the blocks after the
// "Rar!" marker), across volumes.
#include "engine/core/helpers.h"
#include "engine/formats/rar.h"
#include "engine/lister/dovex.h"

namespace bramble {

void TDovex::SetupRar() {
    // Every run numbers the volumes from the archive's own name again.
    ParseVolumeNumber();
    headerSize_ = 0;
    const int64_t start = scanPos_ - 1;
    const rar::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    switch (rar::SignatureAt(read, start)) {
        case rar::TSignature::Rar15: break;
        case rar::TSignature::Rar5:
            // Another layout altogether: refused, nothing half-read shown.
            ReportError(archiveFile_, "", "0", 25328);
            return;
        case rar::TSignature::None: return;
    }
    rar::TMainHeader main;
    if (rar::ParseMain(read, start, main) != rar::TParse::Ok) RaiseError(archiveFile_, "", "0", 25236);
    // Encrypted block headers cannot be walked without the password.
    if (main.EncryptedHeaders()) return;
    volumeContinues_ = main.Volume();
    scanPos_ = main.Next + 1;
    headerSize_ = rar::kFileFixed;
}

void TDovex::ParseRar() {
    const int64_t at = scanPos_ - 1;
    const rar::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };

    // Opens the next volume; the offset of its first block after the main
    // header, or -1 when the volume was refused or is no RAR volume.
    std::string volume = inFile_.FileName();
    auto nextVolume = [&]() -> int64_t {
        if (!MoveToNextVolume(volume)) return -1;
        rar::TMainHeader main;
        if (rar::SignatureAt(read, 0) != rar::TSignature::Rar15) return -1;
        if (rar::ParseMain(read, 0, main) != rar::TParse::Ok) RaiseError(volume, "", "0", 25236);
        if (main.EncryptedHeaders()) return -1;
        volumeContinues_ = main.Volume();
        return main.Next;
    };

    rar::TBlock b;
    if (rar::ParseBlock(read, at, b) != rar::TParse::Ok) return EndScan();
    next_ = b.Next;
    if (b.Type == rar::kEndBlock) {
        // The end of this volume; a set that goes on continues in the next.
        if (!volumeContinues_ || !(b.Flags & rar::kEndNextVolume)) return EndScan();
        const int64_t first = nextVolume();
        if (first < 0) return EndScan();
        next_ = first;
        return;
    }
    if (!b.IsFile()) return;

    EntryInfo.Clear();
    int64_t packed = b.PackSize;
    // A file continued in the next volumes is listed once, from its last
    // part, with the packed sizes of all parts.
    rar::TBlock last = b;
    while (last.ToNext()) {
        const int64_t first = nextVolume();
        if (first < 0) return EndScan();  // refused: nothing more is listed
        rar::TBlock part;
        if (rar::ParseBlock(read, first, part) != rar::TParse::Ok || !part.IsFile() || !part.FromPrevious() ||
            part.Name != b.Name) {
            // The next volume does not continue this file: its walk starts
            // with its first block, and the broken entry is not listed.
            next_ = first;
            return;
        }
        packed += part.PackSize;
        next_ = part.Next;
        last = std::move(part);
    }

    EntryInfo.FileName = ConvertStoredName(b.Name);
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = last.UnpSize;
    EntryInfo.CRC = last.FileCRC;
    EntryInfo.DateTime = FileDateToDateTime(last.FTime);
    EntryInfo.VersionMadeBy = last.UnpVer;
    EntryInfo.MethodCode = last.Method;
    EntryInfo.Encrypted = last.Encrypted();
    const uint32_t attr = last.DosAttr();
    EntryInfo.Attr = static_cast<uint16_t>(attr);
    EntryInfo.ExternalAttr = attr & 0xFFFF;
    EntryInfo.MethodName = CompressMethodName(last.Method, last.Directory() ? attr | 0x10 : attr);
    if (last.Directory()) {
        if (showBlankDirs_) ListEntry(at, false);
        return;
    }
    ListEntry(at);
}

}  // namespace bramble
