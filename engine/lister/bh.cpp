// The BH walk of the lister.
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/formats/bh.h"

namespace bramble {

void TDovex::SetupBh() { headerSize_ = static_cast<int>(bh::kHeaderSize); }

void TDovex::ParseBh() {
    const int64_t at = scanPos_ - 1;
    const bh::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    bh::TEntry e;
    if (bh::ParseEntry(read, scanEnd_, at, e) != bh::TParse::Ok) return EndScan();
    next_ = e.Next;
    if (!e.Listed()) return;

    const bh::THeader& h = e.H;
    EntryInfo.Clear();
    EntryInfo.FileName = ConvertStoredName(e.Name.substr(0, 2500));
    EntryInfo.VersionMadeBy = h.VersionMadeBy;
    EntryInfo.VersionNeeded = h.VersionNeeded;
    EntryInfo.Encrypted = h.Encrypted();
    EntryInfo.MethodCode = h.Method;
    EntryInfo.MethodName = CompressMethodName(h.Method, h.Flags);
    EntryInfo.DateTime = FileDateToDateTime(h.DosDate);
    EntryInfo.PackedSize = h.PackedSize;
    EntryInfo.UnpackedSize = h.UnpackedSize;
    EntryInfo.CRC = h.Crc;
    EntryInfo.Attr = h.Attr;
    EntryInfo.ExternalAttr = h.Attr;
    ListEntry(at);
}

}  // namespace bramble
