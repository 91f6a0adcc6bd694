// The on-disk records of ZIP archives, shared by detection, the lister, the
// ZIP reader and the ZIP writer: local file header, central directory
// record, end-of-central-directory record, the marker that opens the first
// disk of a spanned set, and the volume labels of spanned disks.
//
// Every record is parsed from and written to plain little-endian bytes, one
// field at a time, so the layout does not depend on the compiler's packing
// or the machine's byte order. Parse reads exactly kSize bytes; callers
// check that they have them.
#pragma once

#include "engine/core/bytes.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace bramble {

namespace zip {

constexpr uint32_t kLocalSig = 0x04034B50;    // "PK" 3 4
constexpr uint32_t kCentralSig = 0x02014B50;  // "PK" 1 2
constexpr uint32_t kEndSig = 0x06054B50;      // "PK" 5 6
// Opens the first disk of a spanned set, before the first local header.
constexpr uint32_t kSpanMarker = 0x08074B50;  // "PK" 7 8
// What some archivers write instead when a "spanned" set fitted one disk.
constexpr uint32_t kSingleSpanMarker = 0x30304B50;  // "PK" 0 0
// Zip64 end record and locator, and the central directory's digital
// signature: records that may follow the central directory.
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
constexpr uint32_t kDigitalSigSig = 0x05054B50;

constexpr size_t kLocalSize = 30;
constexpr size_t kCentralSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kMarkerSize = 4;
// The traditional encryption header in front of an encrypted entry's data.
constexpr size_t kCryptHeaderSize = 12;

// General-purpose flag bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDeflateLevel = 0x0006;
constexpr uint16_t kFlagDescriptor = 0x0008;
// The name (and comment) are UTF-8, not the OEM code page.
constexpr uint16_t kFlagUtf8 = 0x0800;

// The external attributes' directory bit (MS-DOS attributes in the low byte).
constexpr uint32_t kAttrDirectory = 0x10;

// Values the engine's writer puts into new records.
constexpr uint16_t kVersionNeededLocal = 20;
constexpr uint16_t kVersionMadeBy = 20;
constexpr uint16_t kVersionNeededCentral = 9;

// Volume labels of spanned disks: the prefix, then the disk's number.
constexpr const char* kVolumeLabelPrefix = "PKBACK# ";

inline uint16_t GetLe16(const uint8_t* p) { return Le16(p); }
inline uint32_t GetLe32(const uint8_t* p) { return Le32(p); }
using bramble::PutLe16;
using bramble::PutLe32;

// "PKBACK# " followed by the number formatted with "%.3d" (at least three
// digits, zero-padded): disk 1 is "PKBACK# 001".
std::string VolumeLabel(int DiskNumber);

// Whether a stored name is UTF-8: kFlagUtf8 says so, or the record was
// made on a Unix host (MadeBy, a central record's "version made by", high
// byte 3) and the name is valid UTF-8 beyond ASCII. Info-ZIP on Unix
// stores its names so without the flag; an OEM name is almost never valid
// UTF-8 by chance. Local headers say nothing of the host: MadeBy 0.
bool NameIsUtf8(const std::string& Raw, uint16_t Flags, uint16_t MadeBy = 0);
// A stored name as the ANSI name readers show and match, with '\'
// separators: decoded as UTF-8 when NameIsUtf8 (a character the ANSI code
// page lacks becomes '_'), else from the OEM code page.
std::string AnsiName(const std::string& Raw, uint16_t Flags, uint16_t MadeBy = 0);

}  // namespace zip

// Local file header: 30 bytes, then the name, then the extra field.
struct TZipLocalHeader {
    static constexpr size_t kSize = zip::kLocalSize;

    uint32_t Signature = zip::kLocalSig;
    uint16_t VersionNeeded = zip::kVersionNeededLocal;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;  // DOS packed
    uint16_t Date = 0;  // DOS packed
    uint32_t CRC = 0;
    uint32_t PackedSize = 0;    // includes the encryption header
    uint32_t UnpackedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;

    static TZipLocalHeader Parse(const uint8_t* p);
    void Write(uint8_t* p) const;
    std::array<uint8_t, kSize> Bytes() const;
    bool Valid() const { return Signature == zip::kLocalSig; }
    // Date in the high 16 bits, time in the low.
    uint32_t DosDateTime() const { return uint32_t{Date} << 16 | Time; }
    // Where the entry's data starts, counted from the header.
    int64_t DataOffset() const { return int64_t{kSize} + NameLength + ExtraLength; }
};

// Central directory record: 46 bytes, then the name, the extra field and
// the comment.
struct TZipCentralRecord {
    static constexpr size_t kSize = zip::kCentralSize;

    uint32_t Signature = zip::kCentralSig;
    uint16_t VersionMadeBy = zip::kVersionMadeBy;
    uint16_t VersionNeeded = zip::kVersionNeededCentral;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t CRC = 0;
    uint32_t PackedSize = 0;
    uint32_t UnpackedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t DiskStart = 0;       // disk (from 0) that holds the local header
    uint16_t InternalAttr = 0;
    uint32_t ExternalAttr = 0;
    uint32_t LocalOffset = 0;     // of the local header, on its disk

    static TZipCentralRecord Parse(const uint8_t* p);
    void Write(uint8_t* p) const;
    std::array<uint8_t, kSize> Bytes() const;
    bool Valid() const { return Signature == zip::kCentralSig; }
    uint32_t DosDateTime() const { return uint32_t{Date} << 16 | Time; }
    bool IsDirectory() const { return (ExternalAttr & zip::kAttrDirectory) != 0; }
    // The whole record with its name, extra field and comment.
    int64_t TotalSize() const { return int64_t{kSize} + NameLength + ExtraLength + CommentLength; }
};

// End of central directory record: 22 bytes, then the archive comment.
struct TZipEndRecord {
    static constexpr size_t kSize = zip::kEndSize;

    uint32_t Signature = zip::kEndSig;
    uint16_t ThisDisk = 0;         // in a spanned set the last disk, from 0
    uint16_t CentralDisk = 0;      // where the central directory starts
    uint16_t EntriesOnDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t CentralSize = 0;
    uint32_t CentralOffset = 0;    // on its disk
    uint16_t CommentLength = 0;

    static TZipEndRecord Parse(const uint8_t* p);
    void Write(uint8_t* p) const;
    std::array<uint8_t, kSize> Bytes() const;
    bool Valid() const { return Signature == zip::kEndSig; }
};

// The ZIP reader's record of one entry to extract, filled from a local
// header or a central record.
struct TZipEntryRec {
    uint16_t Flags = 0;
    uint32_t Method = 0;
    uint32_t Offset = 0;        // of the local header
    uint32_t PackedSize = 0;
    uint32_t UnpackedSize = 0;
    uint32_t CRC = 0;
    uint32_t ExternalAttr = 0;  // 0x20 when taken from a local header

    static TZipEntryRec FromLocal(const TZipLocalHeader& h, uint32_t Offset);
    static TZipEntryRec FromCentral(const TZipCentralRecord& r);
};

}  // namespace bramble
