// The lister's ZIP walks: the central directory when detection found it,
// else the local headers from the start of the data; a spanned set on a
// removable drive is walked disk by disk from its last disk.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/dovex.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/readers/ziprecords.h"

namespace bramble {

namespace {

constexpr int kLocalStep = static_cast<int>(zip::kLocalSize);
constexpr int kCentralStep = static_cast<int>(zip::kCentralSize);

// Records that may stand where the walk's next header was expected without
// anything being wrong: the walk has simply reached the end of its part.
bool EndsZipWalk(uint32_t sig) {
    switch (sig) {
        case zip::kLocalSig:
        case zip::kCentralSig:
        case zip::kEndSig:
        case zip::kZip64EndSig:
        case zip::kZip64LocatorSig:
        case zip::kDigitalSigSig:
            return true;
        default:
            return false;
    }
}

}  // namespace

void TDovex::SetupZip() {
    zipHeaders_ = 0;
    headerSize_ = 0;
    if (arcType_ == atZipMV) {
        if (diskManager_->DriveType() == os::dtRemovable) {
            WalkSpannedZip();
            return;
        }
        // On a fixed drive the parts were joined into one file: it is read
        // as it is, every disk number taken as 0.
        TZipEndRecord end = TZipEndRecord::Parse(zipEndRecord_.data());
        if (!end.Valid()) {
            ReportError(archiveFile_, "", "0", 25108);
            return;
        }
        scanPos_ = int64_t{end.CentralOffset} + 1;
        headerSize_ = kCentralStep;
        return;
    }

    if (OnCorruptZipHeader && (zipHeadFlags_ & 0x19) != 0x19) {
        bool cancel = true;
        Paused([&] { OnCorruptZipHeader(this, zipHeadFlags_, cancel); });
        if (cancel) return;
    }
    scanPos_ = arcOffset_ + 1;
    const uint8_t flags = (zipHeadFlags_ & 0x08) ? zipHeadFlags_ : 0x10;
    if (flags == 0x10)
        headerSize_ = kLocalStep;
    else if (flags & 0x08)
        headerSize_ = kCentralStep;
    else
        ReportError(archiveFile_, "", "0", 25108);
}

void TDovex::ParseZip() {
    const int64_t at = scanPos_ - 1;
    const uint32_t sig = hdrRead_ >= 4 ? zip::GetLe32(hdr_.data()) : 0;
    const bool first = zipHeaders_++ == 0;

    if (headerSize_ == kLocalStep && first && (sig == zip::kSpanMarker || sig == zip::kSingleSpanMarker)) {
        // The first disk of a spanned set: the entries start behind the marker.
        next_ = at + zip::kMarkerSize;
        zipHeaders_ = 0;
        return;
    }
    const uint32_t want = headerSize_ == kLocalStep ? zip::kLocalSig : zip::kCentralSig;
    if (sig != want || hdrRead_ < headerSize_) {
        if (first && !EndsZipWalk(sig)) ReportError(archiveFile_, "", "0", 25108);
        EndScan();
        return;
    }

    if (headerSize_ == kCentralStep) {
        const TZipCentralRecord r = TZipCentralRecord::Parse(hdr_.data());
        std::string name = ReadZipName(at + kCentralStep, r.NameLength, r.Flags, r.VersionMadeBy);
        next_ = at + r.TotalSize();
        ListZipCentral(hdr_.data(), r.LocalOffset, name);
        return;
    }

    const TZipLocalHeader h = TZipLocalHeader::Parse(hdr_.data());
    EntryInfo.FileName = ReadZipName(at + kLocalStep, h.NameLength, h.Flags, 0);
    EntryInfo.Encrypted = (h.Flags & zip::kFlagEncrypted) != 0;
    EntryInfo.PackedSize = h.PackedSize;
    EntryInfo.UnpackedSize = h.UnpackedSize;
    EntryInfo.CRC = h.CRC;
    EntryInfo.MethodCode = h.Method;
    EntryInfo.MethodName = CompressMethodName(h.Method, h.Flags);
    EntryInfo.DateTime = FileDateToDateTime(h.DosDateTime());
    EntryInfo.VersionMadeBy = h.VersionNeeded;
    EntryInfo.VersionNeeded = h.VersionNeeded;
    EntryInfo.Attr = 0;
    EntryInfo.ExternalAttr = 0;
    const int64_t data = at + h.DataOffset();
    next_ = data + h.PackedSize;

    if ((h.Flags & zip::kFlagDescriptor) && h.PackedSize == 0) {
        // Written by a streaming archiver: the sizes follow the data in a
        // descriptor. Its signature is looked for, and it counts only when
        // its packed size is the distance to it; without one the entry's
        // end is unknown and the walk cannot go on past it.
        next_ = scanEnd_;
        std::vector<uint8_t> block(65536 + 16);
        for (int64_t pos = data; pos < scanEnd_ && next_ == scanEnd_;) {
            const int64_t got = ReadUpTo(pos, block.data(), static_cast<int64_t>(block.size()));
            if (got < 16) break;
            for (int64_t i = 0; i + 16 <= got; ++i) {
                const uint8_t* p = &block[static_cast<size_t>(i)];
                if (p[0] != 'P' || zip::GetLe32(p) != zip::kSpanMarker) continue;
                if (zip::GetLe32(p + 8) != static_cast<uint64_t>(pos + i - data)) continue;
                EntryInfo.CRC = zip::GetLe32(p + 4);
                EntryInfo.PackedSize = zip::GetLe32(p + 8);
                EntryInfo.UnpackedSize = zip::GetLe32(p + 12);
                next_ = pos + i + 16;
                break;
            }
            pos += got - 15;  // overlap so a descriptor across blocks is seen
        }
    }
    ListEntry(at);
}

std::string TDovex::ReadZipName(int64_t offset, int64_t length, uint16_t flags, uint16_t madeBy) {
    length = std::min<int64_t>(length, 2500);
    if (length <= 0) return {};
    std::string raw(static_cast<size_t>(length), '\0');
    raw.resize(static_cast<size_t>(ReadUpTo(offset, raw.data(), length)));
    return zip::NameIsUtf8(raw, flags, madeBy) ? Utf8ToAnsiName(raw) : ConvertStoredName(raw);
}

void TDovex::ListZipCentral(const uint8_t* record, int64_t at, const std::string& name) {
    const TZipCentralRecord r = TZipCentralRecord::Parse(record);
    EntryInfo.FileName = name;
    EntryInfo.Encrypted = (r.Flags & zip::kFlagEncrypted) != 0;
    EntryInfo.PackedSize = r.PackedSize;
    EntryInfo.UnpackedSize = r.UnpackedSize;
    EntryInfo.CRC = r.CRC;
    EntryInfo.MethodCode = r.Method;
    EntryInfo.MethodName = CompressMethodName(r.Method, r.Flags | (r.ExternalAttr & zip::kAttrDirectory) << 16);
    EntryInfo.DateTime = FileDateToDateTime(r.DosDateTime());
    EntryInfo.VersionMadeBy = r.VersionMadeBy;
    EntryInfo.VersionNeeded = r.VersionNeeded;
    EntryInfo.Attr = r.InternalAttr;
    EntryInfo.ExternalAttr = r.ExternalAttr & 0xFFFF;
    if (r.IsDirectory()) {
        // Folders show only on request and are not counted; a look-up still
        // needs its name to match.
        if (showBlankDirs_) ListEntry(at, scanMode_ == smLookup, false);
        return;
    }
    ListEntry(at);
}

// A spanned set on removable disks: the end record is on the last disk, the
// central directory starts on the disk it names and may run on over the
// following disks, any record split at any byte.
void TDovex::WalkSpannedZip() {
    headerSize_ = 0;
    if (OnGetZipLastDisk) {
        const TArcType kind = arcType_;
        while (!(zipHeadFlags_ & 0x01)) {
            bool cancel = true;
            Paused([&] { OnGetZipLastDisk(this, cancel); });
            if (cancel) {
                cancel_ = true;
                return;
            }
            inFile_.Close();
            DetectArcType();
            arcType_ = kind;
            if (!inFile_.Open(archiveFile_, os::OpenMode::Read)) RaiseError(archiveFile_, "", "0", 25236);
        }
    }
    if (!(zipHeadFlags_ & 0x01)) {
        ReportError(archiveFile_, "", "0", 25906);
        return;
    }
    ReopenSpannedDisk();
    DropReadAhead();
    scanEnd_ = arcFileSize_;

    const TZipEndRecord end = TZipEndRecord::Parse(zipEndRecord_.data());
    int disk = end.ThisDisk;

    // Asks for disk `wanted` (from 0) until the drive holds it; a disk
    // without a set label is taken on the user's word.
    auto askDisk = [&](int wanted) {
        if (wanted > end.ThisDisk) return false;
        if (!OnGetZipNextDisk) RaiseError(archiveFile_, "OnGetZipNextDisk", "0", 25270);
        for (;;) {
            bool cancel = true;
            Paused([&] { OnGetZipNextDisk(this, std::to_string(wanted + 1), cancel); });
            if (cancel) {
                cancel_ = true;
                return false;
            }
            ReopenSpannedDisk();
            DropReadAhead();  // the same name, another disk
            scanEnd_ = arcFileSize_;
            const int n = diskManager_->DiskNumber();
            if (n == 0 || n - 1 == wanted) break;
        }
        disk = wanted;
        return true;
    };
    // Reads on across the end of a disk into the next one.
    auto read = [&](int64_t& pos, void* out, int64_t count) {
        auto* p = static_cast<uint8_t*>(out);
        while (count > 0) {
            if (pos >= scanEnd_) {
                if (!askDisk(disk + 1)) return false;
                pos = 0;
                continue;
            }
            const int64_t n = std::min(count, scanEnd_ - pos);
            if (!ReadAt(pos, p, n)) return false;
            pos += n;
            p += n;
            count -= n;
        }
        return true;
    };

    if (end.CentralDisk != disk && !askDisk(end.CentralDisk)) return;
    int64_t pos = end.CentralOffset;
    std::vector<uint8_t> raw;
    for (uint32_t i = 0; i < end.TotalEntries && !cancel_; ++i) {
        os::ProcessMessages();
        uint8_t record[zip::kCentralSize];
        const int64_t at = pos;
        if (!read(pos, record, kCentralStep)) break;
        const TZipCentralRecord r = TZipCentralRecord::Parse(record);
        if (!r.Valid()) {
            if (i == 0) ReportError(archiveFile_, "", "0", 25108);
            break;
        }
        scanPos_ = at + 1;
        raw.resize(r.NameLength);
        if (!read(pos, raw.data(), r.NameLength)) break;
        if (raw.size() > 2500) raw.resize(2500);
        const std::string stored(raw.begin(), raw.end());
        const std::string name =
            zip::NameIsUtf8(stored, r.Flags, r.VersionMadeBy) ? Utf8ToAnsiName(stored) : ConvertStoredName(stored);
        // The extra field and comment are passed over, possibly onto the
        // next disk.
        int64_t skip = int64_t{r.ExtraLength} + r.CommentLength;
        bool more = true;
        while (skip > 0) {
            if (pos >= scanEnd_) {
                if (!askDisk(disk + 1)) {
                    more = false;
                    break;
                }
                pos = 0;
                continue;
            }
            const int64_t n = std::min(skip, scanEnd_ - pos);
            pos += n;
            skip -= n;
        }
        ListZipCentral(record, r.LocalOffset, name);
        if (!more) break;
    }
}

}  // namespace bramble
