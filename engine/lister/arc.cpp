// ARC and PAK walk of the lister.
#include "engine/formats/arc.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

void TDovex::SetupArc() {
    arcDirs_.Clear();
    headerSize_ = arc::kHeaderSize;
}

void TDovex::ParseArc() {
    const int64_t at = scanPos_ - 1;
    arc::THeader h;
    switch (arc::ParseHeader(hdr_.data(), static_cast<size_t>(hdrRead_), at, h)) {
        case arc::TParse::End: return EndScan();
        case arc::TParse::DirectoryEnd:
            arcDirs_.Close();
            next_ = h.Next();
            return;
        case arc::TParse::Ok: break;
    }
    const std::string name = ConvertStoredName(h.Name);

    EntryInfo.Clear();
    EntryInfo.MethodCode = h.Method;
    EntryInfo.MethodName = CompressMethodName(h.Method, h.Method);
    EntryInfo.DateTime = FileDateToDateTime(h.Stamp);
    EntryInfo.CRC = h.Crc;
    next_ = h.Next();

    if (h.Directory()) {
        // A PAK directory: the entries after it, up to its end marker, lie
        // in it.
        EntryInfo.FileName = ConvertStoredName(arcDirs_.Path()) + name + "\\";
        EntryInfo.Attr = 16;
        EntryInfo.ExternalAttr = 16;
        arcDirs_.Open(h.Name);
        if (showBlankDirs_) ListEntry(at, false);
        return;
    }

    EntryInfo.FileName = ConvertStoredName(arcDirs_.Path()) + name;
    EntryInfo.PackedSize = h.PackedSize;
    EntryInfo.UnpackedSize = h.UnpackedSize;
    EntryInfo.Attr = 32;
    EntryInfo.ExternalAttr = 32;
    ListEntry(at);
}

}  // namespace bramble
