// The lister's TAR walk: one 512-byte header per entry, the data padded to
// a multiple of 512 behind it.
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/formats/tar.h"

namespace bramble {

void TDovex::SetupTar() { headerSize_ = tar::kBlock; }

void TDovex::ParseTar() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < tar::kBlock) {
        EndScan();
        return;
    }
    // An empty name is the end-of-archive block; a header whose checksum
    // does not hold is not a header, and nothing after it can be trusted.
    const std::string name = tar::ListedName(h);
    if (name.empty() || !tar::ChecksumOk(h)) {
        EndScan();
        return;
    }

    int64_t size = tar::Size(h);
    if (size < 0) size = 0;
    const int64_t remaining = scanEnd_ - (at + tar::kBlock);
    next_ = size >= remaining ? scanEnd_ : at + tar::kBlock + tar::Padded(size);

    const uint8_t type = h[156];
    if (type != 0 && type != '0' && type != '1') return;
    EntryInfo.FileName = ConvertStoredName(name);
    EntryInfo.Encrypted = false;
    EntryInfo.PackedSize = size;
    EntryInfo.UnpackedSize = size;
    EntryInfo.CRC = static_cast<uint32_t>(tar::StoredChecksum(h));
    EntryInfo.MethodCode = 0;
    EntryInfo.MethodName = CompressMethodName(0, 0);
    EntryInfo.DateTime = UnixToDateTime(tar::MTime(h));
    EntryInfo.VersionMadeBy = 0;
    EntryInfo.VersionNeeded = 0;
    EntryInfo.Attr = 0;
    EntryInfo.ExternalAttr = 0;
    ListEntry(at);
}

}  // namespace bramble
