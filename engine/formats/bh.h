// The BH record layout, read and written in this one place: detection, the
// lister, the reader and the writer all come here.
//
// A BH archive is a sequence of entries, each a 37-byte header, the name,
// for an encrypted entry the 12-byte encryption header of the traditional
// ZIP cipher, then the packed data. All fields are little-endian:
//   0  4  signature 42 48 05 07
//   4  2  37 + name length; 0 marks an entry that is passed over
//   6  1  header size, 37
//   7  1  version made by
//   8  1  version needed to extract
//   9  1  flags: bit 0 encrypted; bits 1-2 the deflate level, as in ZIP
//   10 1  method: 0 stored, 1 Fuse (the -lh5- coder), 8 deflate (2 too)
//   11 4  DOS time (low half) and date
//   15 4  packed size, the encryption header included
//   19 4  unpacked size
//   23 4  CRC-32 of the unpacked data
//   27 2  DOS attributes
//   29 4  reserved
//   33 2  name length
//   35 2  extra length
// The name follows the 37 bytes and the data follows the name, whatever the
// extra length says: the next entry starts at 37 + name length + packed size.
//
// Parsing is pure: bytes in memory or a read function, every field bounded
// by the bytes actually there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble {

class TStream;

namespace bh {

constexpr uint32_t kSignature = 0x07054842;  // "BH" 05 07
constexpr size_t kHeaderSize = 37;
constexpr uint32_t kCryptHeaderSize = 12;
// The field at offset 4 holds 37 + the name's length in 16 bits.
constexpr size_t kMaxName = 0xFFFF - kHeaderSize;

enum : uint8_t { kMethodStored = 0, kMethodFuse = 1, kMethodDeflate2 = 2, kMethodDeflate = 8 };

struct THeader {
    uint16_t EntrySize = 0;  // 37 + name length; 0 marks an entry that is passed over
    uint8_t HeaderSize = kHeaderSize;
    uint8_t VersionMadeBy = 0;
    uint8_t VersionNeeded = 0;
    uint8_t Flags = 0;       // bit 0 encrypted; bits 1-2 the deflate level, as in ZIP
    uint8_t Method = 0;      // 0 stored, 1 Fuse, 8 (and 2) deflate
    uint32_t DosDate = 0;
    uint32_t PackedSize = 0; // with the 12-byte encryption header of an encrypted entry
    uint32_t UnpackedSize = 0;
    uint32_t Crc = 0;
    uint16_t Attr = 0;
    uint32_t Reserved = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;

    bool Encrypted() const { return (Flags & 1) != 0; }
    // Where the packed data starts, counted from the header: the name
    // follows the 37 bytes whatever the extra length says.
    int64_t DataOffset() const { return int64_t{kHeaderSize} + NameLength; }

    // False when fewer than 37 bytes are there or the signature differs.
    static bool Parse(const uint8_t* P, size_t Size, THeader& H);
    std::array<uint8_t, kHeaderSize> Bytes() const;
};

// A BH header at P: the signature, and not the BH program's own code, which
// holds the signature followed by these four bytes.
bool LooksLikeHeader(const uint8_t* P, size_t Available);

// Up to Count bytes at Offset into Buffer; the number of bytes read.
using TReadAt = std::function<int64_t(int64_t Offset, void* Buffer, int64_t Count)>;
// A read function over a stream (which it seeks).
TReadAt StreamReader(TStream& Stream);

enum class TParse : uint8_t {
    Ok,
    End,      // no header here (another signature, or the end of the file)
    Corrupt,  // a header whose fields contradict the file or each other
};

// One entry: its header, name and where it lies.
struct TEntry {
    THeader H;
    int64_t Offset = 0;      // first byte of the header
    int64_t DataOffset = 0;  // first byte after the name: the encryption header or the data
    int64_t Next = 0;        // where the next header starts
    std::string Name;        // as stored (OEM code page), cut at a NUL

    // A header whose size field is 0 holds no entry: it is passed over.
    bool Listed() const { return H.EntrySize != 0; }
    // The packed data alone, without the encryption header.
    int64_t DataSize() const { return int64_t{H.PackedSize} - (H.Encrypted() ? kCryptHeaderSize : 0); }
};

// The entry at At in a file of Size bytes. Corrupt: the name runs past the
// end of the file, or an encrypted entry is too short for its encryption
// header. The data itself may run past the end (Next > Size): readers find
// that out when they decode, writers refuse to carry such an entry over.
TParse ParseEntry(const TReadAt& Read, int64_t Size, int64_t At, TEntry& E);
TParse ParseEntry(const uint8_t* Data, size_t Size, int64_t At, TEntry& E);

// Header and name as the writer puts them down: the size field and the name
// length are taken from Name. Empty when the name is empty or longer than
// kMaxName.
std::vector<uint8_t> MakeHeader(THeader H, const std::string& Name);

}  // namespace bh

}  // namespace bramble
