#include "engine/readers/ziprecords.h"

#include <cstdio>

namespace bramble {

using namespace zip;

std::string zip::VolumeLabel(int DiskNumber) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.3d", DiskNumber);
    return std::string(kVolumeLabelPrefix) + digits;
}

// ---- local header ----------------------------------------------------------------

TZipLocalHeader TZipLocalHeader::Parse(const uint8_t* p) {
    TZipLocalHeader h;
    h.Signature = GetLe32(p);
    h.VersionNeeded = GetLe16(p + 4);
    h.Flags = GetLe16(p + 6);
    h.Method = GetLe16(p + 8);
    h.Time = GetLe16(p + 10);
    h.Date = GetLe16(p + 12);
    h.CRC = GetLe32(p + 14);
    h.PackedSize = GetLe32(p + 18);
    h.UnpackedSize = GetLe32(p + 22);
    h.NameLength = GetLe16(p + 26);
    h.ExtraLength = GetLe16(p + 28);
    return h;
}

void TZipLocalHeader::Write(uint8_t* p) const {
    PutLe32(p, Signature);
    PutLe16(p + 4, VersionNeeded);
    PutLe16(p + 6, Flags);
    PutLe16(p + 8, Method);
    PutLe16(p + 10, Time);
    PutLe16(p + 12, Date);
    PutLe32(p + 14, CRC);
    PutLe32(p + 18, PackedSize);
    PutLe32(p + 22, UnpackedSize);
    PutLe16(p + 26, NameLength);
    PutLe16(p + 28, ExtraLength);
}

std::array<uint8_t, TZipLocalHeader::kSize> TZipLocalHeader::Bytes() const {
    std::array<uint8_t, kSize> b{};
    Write(b.data());
    return b;
}

// ---- central record ---------------------------------------------------------------

TZipCentralRecord TZipCentralRecord::Parse(const uint8_t* p) {
    TZipCentralRecord r;
    r.Signature = GetLe32(p);
    r.VersionMadeBy = GetLe16(p + 4);
    r.VersionNeeded = GetLe16(p + 6);
    r.Flags = GetLe16(p + 8);
    r.Method = GetLe16(p + 10);
    r.Time = GetLe16(p + 12);
    r.Date = GetLe16(p + 14);
    r.CRC = GetLe32(p + 16);
    r.PackedSize = GetLe32(p + 20);
    r.UnpackedSize = GetLe32(p + 24);
    r.NameLength = GetLe16(p + 28);
    r.ExtraLength = GetLe16(p + 30);
    r.CommentLength = GetLe16(p + 32);
    r.DiskStart = GetLe16(p + 34);
    r.InternalAttr = GetLe16(p + 36);
    r.ExternalAttr = GetLe32(p + 38);
    r.LocalOffset = GetLe32(p + 42);
    return r;
}

void TZipCentralRecord::Write(uint8_t* p) const {
    PutLe32(p, Signature);
    PutLe16(p + 4, VersionMadeBy);
    PutLe16(p + 6, VersionNeeded);
    PutLe16(p + 8, Flags);
    PutLe16(p + 10, Method);
    PutLe16(p + 12, Time);
    PutLe16(p + 14, Date);
    PutLe32(p + 16, CRC);
    PutLe32(p + 20, PackedSize);
    PutLe32(p + 24, UnpackedSize);
    PutLe16(p + 28, NameLength);
    PutLe16(p + 30, ExtraLength);
    PutLe16(p + 32, CommentLength);
    PutLe16(p + 34, DiskStart);
    PutLe16(p + 36, InternalAttr);
    PutLe32(p + 38, ExternalAttr);
    PutLe32(p + 42, LocalOffset);
}

std::array<uint8_t, TZipCentralRecord::kSize> TZipCentralRecord::Bytes() const {
    std::array<uint8_t, kSize> b{};
    Write(b.data());
    return b;
}

// ---- end record -------------------------------------------------------------------

TZipEndRecord TZipEndRecord::Parse(const uint8_t* p) {
    TZipEndRecord e;
    e.Signature = GetLe32(p);
    e.ThisDisk = GetLe16(p + 4);
    e.CentralDisk = GetLe16(p + 6);
    e.EntriesOnDisk = GetLe16(p + 8);
    e.TotalEntries = GetLe16(p + 10);
    e.CentralSize = GetLe32(p + 12);
    e.CentralOffset = GetLe32(p + 16);
    e.CommentLength = GetLe16(p + 20);
    return e;
}

void TZipEndRecord::Write(uint8_t* p) const {
    PutLe32(p, Signature);
    PutLe16(p + 4, ThisDisk);
    PutLe16(p + 6, CentralDisk);
    PutLe16(p + 8, EntriesOnDisk);
    PutLe16(p + 10, TotalEntries);
    PutLe32(p + 12, CentralSize);
    PutLe32(p + 16, CentralOffset);
    PutLe16(p + 20, CommentLength);
}

std::array<uint8_t, TZipEndRecord::kSize> TZipEndRecord::Bytes() const {
    std::array<uint8_t, kSize> b{};
    Write(b.data());
    return b;
}

// ---- the reader's entry record ----------------------------------------------------------

TZipEntryRec TZipEntryRec::FromLocal(const TZipLocalHeader& h, uint32_t Offset) {
    TZipEntryRec r;
    r.Flags = h.Flags;
    r.Method = h.Method;
    r.Offset = Offset;
    r.PackedSize = h.PackedSize;
    r.UnpackedSize = h.UnpackedSize;
    r.CRC = h.CRC;
    r.ExternalAttr = 0x20;
    return r;
}

TZipEntryRec TZipEntryRec::FromCentral(const TZipCentralRecord& c) {
    TZipEntryRec r;
    r.Flags = c.Flags;
    r.Method = c.Method;
    r.Offset = c.LocalOffset;
    r.PackedSize = c.PackedSize;
    r.UnpackedSize = c.UnpackedSize;
    r.CRC = c.CRC;
    r.ExternalAttr = c.ExternalAttr;
    return r;
}

}  // namespace bramble
