// The LHA record layouts, read and written in this one place:
// detection, the lister, the readers and the writers all come here.
//
// LHA: a sequence of entries, each a header and its packed data; a header
// whose size byte is 0, or the end of the file, ends the archive. Headers
// come in three levels (0, 1 and 2) that share their first 22 bytes:
//   0  1  header size (level 0/1: the header is this many bytes plus 2;
//         level 2: low byte of the 16-bit total size)
//   1  1  checksum of the header (level 0/1)
//   2  5  method id, "-lh5-"
//   7  4  packed size
//   11 4  unpacked size
//   15 4  DOS time and date (level 0/1), seconds since 1970 (level 2)
//   19 1  DOS attributes
//   20 1  level
// Level 0 and 1 go on with the name length and the name, then the CRC-16
// of the unpacked data; level 1 adds the OS id and the size of the first
// extended header, and counts its extended headers (which lie between the
// header and the data) in the packed size. Level 2 keeps the CRC-16 at 21,
// the OS id at 23 and the first extended-header size at 24; its name is in
// the extended headers. Each extended header is a type byte, its data and
// the size of the next one (0 ends the chain).
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

namespace lha {

constexpr int kBaseSize = 22;          // bytes 0-21, common to every level
constexpr int kLevel0Fixed = 24;       // level 0: base header and CRC-16, the name between
constexpr size_t kMaxLevel0Name = 233; // the size byte holds 22 + name length
constexpr int kPrefixSize = 128;       // skipped when an archive starts with a 0 byte
constexpr size_t kMaxName = 2500;      // a longer stored path names no file that can be made
constexpr int kMethodOffset = 2;
constexpr int kMethodSize = 5;

// Up to Count bytes at Offset into Buffer; the number of bytes read.
using TReadAt = std::function<int64_t(int64_t Offset, void* Buffer, int64_t Count)>;
// A read function over a stream (which it seeks).
TReadAt StreamReader(TStream& Stream);

// "-" three printable characters "-": the shape of every LHA method id
// ("-lh5-", "-lzs-", "-pm2-"). P holds at least 5 bytes.
bool IsMethodId(const uint8_t* P);
// Detection's test of the first four bytes of a file (little-endian): the
// method id's "-l" at offsets 2 and 3.
inline bool LooksLikeStart(uint32_t FirstFour) { return (FirstFour >> 16) == 0x6C2D; }
// "-lh?-": the family this engine decodes or refuses by its digit.
bool IsLhMethod(const char* Id);
// "-lhd-": a directory entry, no data.
bool IsDirectoryMethod(const char* Id);

enum class TMethod : uint8_t {
    Stored,       // -lh0-
    Lh1,          // -lh1-: LZSS with adaptive Huffman
    Lh4,          // -lh4-, -lh5-, -lh6-: LZSS with static Huffman blocks
    Lh5,
    Lh6,
    Directory,    // -lhd-
    Unsupported,  // every other id, "-lh7-", "-lzs-", "-pm2-" ...
};
TMethod MethodOf(const char* Id);
// The id written for a method digit: "-lh" digit "-".
std::array<char, 5> MethodId(char Digit);

enum class TParse : uint8_t {
    Ok,
    End,      // no header here: the end of the archive
    Corrupt,  // a header whose fields contradict each other or the file
    Level,    // a header level above 2
};

struct THeader {
    int64_t Offset = 0;        // first byte of the header
    uint8_t Level = 0;
    char Method[5] = {};
    int64_t PackedSize = 0;    // the data alone (level 1's extended headers taken off)
    uint32_t StoredPacked = 0; // the packed-size field as stored
    uint32_t UnpackedSize = 0;
    uint32_t Stamp = 0;        // DOS date-time, or seconds since 1970 at level 2
    uint8_t Attr = 0;
    uint16_t Crc = 0;
    uint8_t OsId = 0;          // 0 at level 0
    int64_t HeaderLength = 0;  // base header and extended headers: the data starts here
    int64_t DataOffset = 0;
    int64_t Next = 0;          // where the next header starts
    // The entry's path as stored (OEM code page): directory part and name
    // joined by '\', the separators '/' and 0xFF turned into '\' except
    // inside a double-byte character, cut at a NUL, blanks around the
    // parts dropped.
    std::string Name;

    bool UnixTime() const { return Level == 2; }
    bool NameTooLong() const { return Name.size() > kMaxName; }
    bool Directory() const { return IsDirectoryMethod(Method); }
};

// The header at At, in a file of Size bytes.
TParse ParseHeader(const TReadAt& Read, int64_t Size, int64_t At, THeader& H);
TParse ParseHeader(const uint8_t* Data, size_t Size, int64_t At, THeader& H);
// Where ParseHeader found no header: whether the archive ends there as it
// should, at the end of the file or at the end marker's 0 byte. Anything
// else is a header damaged past reading (or the bytes a damaged one
// pointed to), and the entries behind it are lost.
bool EndsHere(const TReadAt& Read, int64_t Size, int64_t At);

// Where the first header is when the archive's data starts at Start: 128
// bytes later when the byte there is 0.
int64_t FirstHeaderOffset(const TReadAt& Read, int64_t Start);

// The name rules: directory part and name as stored, joined into the path
// described at THeader::Name.
std::string StoredName(const std::string& Directory, const std::string& Name);
// A stored path in the ANSI code page, leaving double-byte characters as
// they are.
std::string NameToAnsi(const std::string& Stored);

// Low 8 bits of the sum of the header bytes from offset 2 to the end.
uint8_t HeaderChecksum(const uint8_t* Header, size_t Size);

// A level-0 header as the writer makes it: 24 bytes plus the name.
struct TLevel0 {
    char Digit = '0';  // the method digit of "-lh?-"
    uint32_t PackedSize = 0;
    uint32_t UnpackedSize = 0;
    uint32_t DosDate = 0;
    uint8_t Attr = 0x20;
    std::string Name;  // stored bytes, at most kMaxLevel0Name
    uint16_t Crc = 0;
};
// The header's bytes with its checksum; empty when the name is empty or
// longer than kMaxLevel0Name.
std::vector<uint8_t> MakeLevel0(const TLevel0& H);

}  // namespace lha

}  // namespace bramble
