#include "engine/readers/ziprecords.h"

#include <cstdio>
#include <type_traits>

#include "engine/core/helpers.h"

namespace bramble {

using namespace zip;

std::string zip::VolumeLabel(int DiskNumber) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.3d", DiskNumber);
    return std::string(kVolumeLabelPrefix) + digits;
}

bool zip::NameIsUtf8(const std::string& Raw, uint16_t Flags, uint16_t MadeBy) {
    constexpr int kUnixHost = 3;
    return (Flags & kFlagUtf8) || ((MadeBy >> 8) == kUnixHost && IsUtf8Text(Raw));
}

std::string zip::AnsiName(const std::string& Raw, uint16_t Flags, uint16_t MadeBy) {
    return NameIsUtf8(Raw, Flags, MadeBy) ? Utf8ToAnsiName(Raw) : OemToAnsiName(Raw);
}

// Each record is its fields in stored order, each as wide as its type, with
// no gaps: one list of the fields per record serves parsing, writing and the
// size check.
namespace {

class FieldReader {
public:
    explicit FieldReader(const uint8_t* p) : p_(p) {}
    void operator()(uint16_t& v) {
        v = GetLe16(p_);
        p_ += 2;
    }
    void operator()(uint32_t& v) {
        v = GetLe32(p_);
        p_ += 4;
    }

private:
    const uint8_t* p_;
};

class FieldWriter {
public:
    explicit FieldWriter(uint8_t* p) : p_(p) {}
    void operator()(uint16_t v) {
        PutLe16(p_, v);
        p_ += 2;
    }
    void operator()(uint32_t v) {
        PutLe32(p_, v);
        p_ += 4;
    }

private:
    uint8_t* p_;
};

// Rec is Record, const or not: Write visits a const record.
template <typename Rec, typename Record>
concept SameRecord = std::is_same_v<std::remove_const_t<Rec>, Record>;

template <SameRecord<TZipLocalHeader> Rec, typename Visit>
constexpr void Fields(Rec& h, Visit&& f) {
    f(h.Signature);
    f(h.VersionNeeded);
    f(h.Flags);
    f(h.Method);
    f(h.Time);
    f(h.Date);
    f(h.CRC);
    f(h.PackedSize);
    f(h.UnpackedSize);
    f(h.NameLength);
    f(h.ExtraLength);
}

template <SameRecord<TZipCentralRecord> Rec, typename Visit>
constexpr void Fields(Rec& r, Visit&& f) {
    f(r.Signature);
    f(r.VersionMadeBy);
    f(r.VersionNeeded);
    f(r.Flags);
    f(r.Method);
    f(r.Time);
    f(r.Date);
    f(r.CRC);
    f(r.PackedSize);
    f(r.UnpackedSize);
    f(r.NameLength);
    f(r.ExtraLength);
    f(r.CommentLength);
    f(r.DiskStart);
    f(r.InternalAttr);
    f(r.ExternalAttr);
    f(r.LocalOffset);
}

template <SameRecord<TZipEndRecord> Rec, typename Visit>
constexpr void Fields(Rec& e, Visit&& f) {
    f(e.Signature);
    f(e.ThisDisk);
    f(e.CentralDisk);
    f(e.EntriesOnDisk);
    f(e.TotalEntries);
    f(e.CentralSize);
    f(e.CentralOffset);
    f(e.CommentLength);
}

template <typename Rec>
constexpr size_t StoredSize() {
    Rec r{};
    size_t n = 0;
    Fields(r, [&n](const auto& v) { n += sizeof v; });
    return n;
}

static_assert(StoredSize<TZipLocalHeader>() == TZipLocalHeader::kSize);
static_assert(StoredSize<TZipCentralRecord>() == TZipCentralRecord::kSize);
static_assert(StoredSize<TZipEndRecord>() == TZipEndRecord::kSize);

template <typename Rec>
Rec ParseRecord(const uint8_t* p) {
    Rec r;
    Fields(r, FieldReader(p));
    return r;
}

template <typename Rec>
std::array<uint8_t, Rec::kSize> RecordBytes(const Rec& r) {
    std::array<uint8_t, Rec::kSize> b{};
    r.Write(b.data());
    return b;
}

}  // namespace

TZipLocalHeader TZipLocalHeader::Parse(const uint8_t* p) { return ParseRecord<TZipLocalHeader>(p); }
void TZipLocalHeader::Write(uint8_t* p) const { Fields(*this, FieldWriter(p)); }
std::array<uint8_t, TZipLocalHeader::kSize> TZipLocalHeader::Bytes() const { return RecordBytes(*this); }

TZipCentralRecord TZipCentralRecord::Parse(const uint8_t* p) { return ParseRecord<TZipCentralRecord>(p); }
void TZipCentralRecord::Write(uint8_t* p) const { Fields(*this, FieldWriter(p)); }
std::array<uint8_t, TZipCentralRecord::kSize> TZipCentralRecord::Bytes() const { return RecordBytes(*this); }

TZipEndRecord TZipEndRecord::Parse(const uint8_t* p) { return ParseRecord<TZipEndRecord>(p); }
void TZipEndRecord::Write(uint8_t* p) const { Fields(*this, FieldWriter(p)); }
std::array<uint8_t, TZipEndRecord::kSize> TZipEndRecord::Bytes() const { return RecordBytes(*this); }

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
