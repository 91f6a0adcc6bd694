// The lister's TAR walk: one 512-byte header per entry, the data padded to
// a multiple of 512 behind it. Pax extended and global headers give the
// entries after them their names, sizes and times, as the reader takes them.
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/formats/tar.h"

namespace bramble {

void TDovex::SetupTar() {
    headerSize_ = tar::kBlock;
    tarOwn_ = {};
    tarGlobals_ = {};
}

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

    const char type = tar::Type(h);
    const bool record = tar::IsNameRecord(type) || type == 'g';
    // Records describe the headers after them with their own header's size.
    tar::TPaxEntry view;
    if (!record) {
        view = tar::ApplyPax(h, name, std::move(tarOwn_), tarGlobals_);
        tarOwn_ = {};
    }
    int64_t size = record ? tar::Size(h) : view.Size;
    if (size < 0) size = 0;
    // An old sparse map's own blocks are no headers: the walk steps over
    // them, as the reader's does.
    const int64_t data = tar::DataStart(h, at, scanEnd_, [this](int64_t pos, uint8_t* out, int64_t n) {
        return ReadUpTo(pos, out, n);
    });
    if (data < 0) {
        EndScan();
        return;
    }
    const int64_t remaining = scanEnd_ - data;
    next_ = size >= remaining ? scanEnd_ : data + tar::Padded(size);

    if (tar::IsPaxHeader(type)) {
        // A header the reader cannot read ends its walk: the lister's too.
        std::string text;
        tar::TPaxRecords records;
        if (size <= tar::kMaxPaxData && size <= remaining) {
            text.resize(static_cast<size_t>(size));
            text.resize(static_cast<size_t>(ReadUpTo(data, text.data(), size)));
        }
        if (static_cast<int64_t>(text.size()) != size || !tar::ParsePax(text, records) ||
            (type == 'g' && !tar::MergeGlobals(tarGlobals_, records))) {
            EndScan();
            return;
        }
        if (type == 'x') tar::OverlayPax(tarOwn_, std::move(records));
        return;
    }
    if (record) return;

    if (type != 0 && type != '0' && type != '1') return;
    EntryInfo.FileName = ConvertStoredName(view.Name);
    EntryInfo.Encrypted = false;
    EntryInfo.PackedSize = size;
    EntryInfo.UnpackedSize = view.Sparse.Given ? std::max<int64_t>(view.Sparse.FileSize(), 0) : size;
    EntryInfo.CRC = static_cast<uint32_t>(tar::StoredChecksum(h));
    EntryInfo.MethodCode = 0;
    EntryInfo.MethodName = CompressMethodName(0, 0);
    EntryInfo.DateTime = UnixToDateTime(view.MTime);
    EntryInfo.VersionMadeBy = 0;
    EntryInfo.VersionNeeded = 0;
    EntryInfo.Attr = 0;
    EntryInfo.ExternalAttr = 0;
    ListEntry(at);
}

}  // namespace bramble
