// The ARJ record layout, read in this one place: detection, the lister and
// the reader all come here.
//
// An archive is a main header, then file headers each followed by its
// packed data, then an end block. Every header block is, little-endian:
//   0  2  id 0xEA60 (bytes 60 EA)
//   2  2  basic header size; 0 marks the end of the archive
//   4  n  the basic header
//   4+n 4 CRC-32 of the basic header
//   then extended headers: a 16-bit size, while not 0 that many bytes and
//   a 4-byte CRC, then the next size.
// The basic header:
//   0  1  first header size: where the name starts in the basic header
//   1  1  archiver version
//   2  1  minimum version to extract
//   3  1  host OS
//   4  1  flags (below)
//   5  1  method: 0 stored, 1-3 compressed, 4 fast
//   6  1  file type: 0 binary, 1 text, 2 comment (main header), 3 directory
//   7  1  password modifier
//   8  4  time stamp: a DOS date and time, or seconds since 1970 from the
//         Unix family of hosts
//   12 4  packed size
//   16 4  unpacked size
//   20 4  CRC-32 of the unpacked data (of this part, for a split file)
//   24 2  where the file name starts within the path
//   26 2  file access mode (DOS attributes)
//   28 2  host data
//   first header size: the name, NUL-terminated, OEM code page; then the
//   comment, NUL-terminated.
//
// Parsing is pure: bytes in memory or a read function, every field bounded
// by the bytes actually there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace bramble {

class TStream;

namespace arj {

constexpr uint16_t kHeaderId = 0xEA60;
constexpr size_t kMaxBasicSize = 2600;
constexpr size_t kFixedSize = 30;       // the fields up to the host data
constexpr int64_t kSearchSpan = 25000;  // how far the first header is looked for

// Basic header flags.
constexpr uint8_t kGarbled = 0x01;
constexpr uint8_t kVolume = 0x04;     // continues in the next volume
constexpr uint8_t kContinued = 0x08;  // a part continued from the previous volume

constexpr uint8_t kDirectoryType = 3;
constexpr uint16_t kDirectoryAttr = 0x10;
constexpr uint8_t kHighestMethod = 4;
constexpr uint8_t kHighestVersion = 3;  // the highest minimum version extracted

// Up to Count bytes at Offset into Buffer; the number of bytes read.
using TReadAt = std::function<int64_t(int64_t Offset, void* Buffer, int64_t Count)>;
// A read function over a stream (which it seeks).
TReadAt StreamReader(TStream& Stream);

enum class TParse : uint8_t {
    Ok,
    End,    // an end block (basic size 0)
    Short,  // the block is cut off by the end of the file
    Bad,    // no header id, or a basic size that no header has
    Crc,    // the basic header fails its CRC
};

struct THeader {
    int64_t Offset = 0;      // the id's first byte
    uint16_t BasicSize = 0;  // 0 in an end block
    uint8_t FirstSize = 0;
    uint8_t Version = 0;
    uint8_t MinVersion = 0;
    uint8_t HostOs = 0;
    uint8_t Flags = 0;
    uint8_t Method = 0;
    uint8_t FileType = 0;
    uint8_t PasswordModifier = 0;
    uint32_t Stamp = 0;
    uint32_t PackedSize = 0;
    uint32_t UnpackedSize = 0;
    uint32_t Crc = 0;
    uint16_t NamePos = 0;
    uint16_t Attr = 0;
    uint16_t HostData = 0;
    std::string Name;     // as stored: OEM code page, the separators the host wrote
    std::string Comment;
    int64_t DataOffset = 0;  // past the extended headers: the packed data starts here

    int64_t Next() const { return DataOffset + PackedSize; }
    bool Garbled() const { return (Flags & kGarbled) != 0; }
    bool Continues() const { return (Flags & kVolume) != 0; }
    bool Continued() const { return (Flags & kContinued) != 0; }
    // The Unix family (Unix, NeXT) stores seconds since 1970 and a Unix
    // mode in the access-mode field.
    bool UnixHost() const { return HostOs == 2 || HostOs == 8; }
    bool UnixTime() const { return UnixHost(); }
    // A directory by its file type or, from hosts that store DOS attributes,
    // by the directory bit (in a Unix mode that bit is group write).
    bool Directory() const { return FileType == kDirectoryType || (!UnixHost() && (Attr & kDirectoryAttr) != 0); }
    // The DOS attributes the entry's file gets: a Unix mode gives only
    // read-only, when no one may write.
    uint32_t DosAttr() const { return UnixHost() ? ((Attr & 0222) == 0 ? 0x01u : 0u) : Attr; }
};

// The fields, name and comment of a basic header of Size bytes (its CRC
// not checked). False when the fixed fields do not fit or the first header
// size points outside it; name and comment end at their NUL or at the end
// of the basic header, whichever comes first.
bool ParseBasic(const uint8_t* Basic, size_t Size, THeader& H);

// The whole header block at At in a file of Size bytes: id, basic header
// with its CRC, extended headers skipped.
TParse ReadHeader(const TReadAt& Read, int64_t Size, int64_t At, THeader& H);

// Whether a header block starts at At whose basic header is whole and
// passes its CRC: two bytes of the id turn up in any program's code.
bool HeaderAt(const TReadAt& Read, int64_t At);

// The first header at or after From, looked for up to Limit (exclusive) and
// not past Size - 2; -1 when there is none.
int64_t FindHeader(const TReadAt& Read, int64_t Size, int64_t From, int64_t Limit);

}  // namespace arj

}  // namespace bramble
