// The LHA/LZH walk of the lister (header levels 0 to 2).
#include <algorithm>

#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/formats/lha.h"

namespace bramble {

// ---- LHA --------------------------------------------------------------------------

void TDovex::SetupLha() {
    const lha::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    scanPos_ = lha::FirstHeaderOffset(read, scanPos_ - 1) + 1;
    headerSize_ = lha::kBaseSize;
}

void TDovex::ParseLha() {
    const int64_t at = scanPos_ - 1;
    const lha::TReadAt read = [this](int64_t o, void* b, int64_t n) { return ReadUpTo(o, b, n); };
    lha::THeader h;
    if (lha::ParseHeader(read, scanEnd_, at, h) != lha::TParse::Ok) return EndScan();

    EntryInfo.Clear();
    // The digit of "-lhN-"; other ids keep their character, which names
    // no method.
    const char m = h.Method[3];
    EntryInfo.MethodCode = static_cast<uint16_t>(
        lha::IsLhMethod(h.Method) && m >= '0' && m <= '9' ? m - '0' : static_cast<unsigned char>(m));
    EntryInfo.UnpackedSize = h.UnpackedSize;
    EntryInfo.PackedSize = std::min<int64_t>(h.PackedSize, h.UnpackedSize);
    EntryInfo.Attr = 32;
    EntryInfo.ExternalAttr = h.Attr;
    EntryInfo.CRC = h.Crc;
    EntryInfo.DateTime = h.UnixTime() ? UnixToDateTime(h.Stamp) : FileDateToDateTime(h.Stamp);
    EntryInfo.FileName = lha::NameToAnsi(h.Name);
    // A directory entry names no file: it never passes a file spec.
    if (h.Directory() && !EntryInfo.FileName.empty() && EntryInfo.FileName.back() != '\\')
        EntryInfo.FileName.push_back('\\');
    EntryInfo.MethodName = CompressMethodName(EntryInfo.MethodCode, 0);
    next_ = h.Next;
    ListEntry(at);
}

}  // namespace bramble
