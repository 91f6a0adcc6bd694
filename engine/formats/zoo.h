// The ZOO record layout, read and written in this one place: the lister,
// the reader and the tests' fixture builder all come here.
//
// The archive header (at offset 0):
//   0  20 text, ignored
//   20 4  tag 0xFDC4A7DC
//   24 4  offset of the first directory entry
//   28 4  the same offset negated: the two add up to 0
//   32 1  major version, 33 1 minor version
//   34 1  header type; 35 4 comment offset; 39 2 comment length; 41 2
//         version data (archives of the first versions stop at 34)
// Directory entries form a chain, each naming where the next one lies:
//   0  4  tag
//   4  1  entry type (2: the fields from 51 on are there)
//   5  1  method: 0 stored, 1 LZW, 2 LZH
//   6  4  offset of the next entry; the last entry of the chain is an
//         empty one naming none (0)
//   10 4  offset of the packed data
//   14 4  DOS date (low half) and time (high half)
//   18 2  CRC-16 of the unpacked data
//   20 4  unpacked size, 24 4 packed size
//   28 1  major version, 29 1 minor version
//   30 1  deleted flag
//   31 1  structure; 32 4 comment offset; 36 2 comment length
//   38 13 short name, NUL-terminated
//   51 2  length of the variable part
//   53 1  time zone; 54 2 CRC of the entry
//   56 1  long-name length, 57 1 directory-name length
// The variable part follows the 58 bytes: the long name, then the
// directory name ('/' separators), each as long as its length says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble {
namespace zoo {

constexpr uint32_t kTag = 0xFDC4A7DC;
constexpr int kArchiveHeaderMin = 34;  // what every version has
constexpr int kArchiveHeaderSize = 43;
constexpr int kEntrySize = 58;
constexpr int kShortNameSize = 13;

// Up to Count bytes at Offset into Buffer; the number of bytes read.
using TReadAt = std::function<int64_t(int64_t Offset, void* Buffer, int64_t Count)>;

struct TArchiveHeader {
    uint32_t FirstEntry = 0;
    uint8_t Major = 0, Minor = 0, Type = 0;
};
// False when fewer than 34 bytes are there, the tag differs, or the first
// entry's offset and its negated copy do not add up to 0.
bool ParseArchiveHeader(const uint8_t* P, size_t Available, TArchiveHeader& H);
std::vector<uint8_t> MakeArchiveHeader(uint32_t FirstEntry);

enum class TParse : uint8_t {
    Ok,
    BadTag,  // 58 bytes whose tag is not the entry tag
    Short,   // the file ends inside the entry
};

struct TEntry {
    int64_t Offset = 0;
    uint8_t Type = 2;
    uint8_t Method = 0;
    uint32_t Next = 0;
    uint32_t DataOffset = 0;
    uint32_t Stamp = 0;  // DOS stamp, time in the low half
    uint16_t Crc = 0;
    uint32_t UnpackedSize = 0;
    uint32_t PackedSize = 0;
    uint8_t Major = 2, Minor = 1;
    bool Deleted = false;
    std::string ShortName;  // up to its NUL, at most 13 bytes
    std::string LongName;   // up to a NUL, from the variable part
    std::string Directory;  // the same
    uint16_t VariableSize = 0;

    // The empty entry that closes the chain.
    bool Terminator() const { return Next == 0; }
    // The stored path: the directory with '\' separators and a '\', then
    // the long name, or the short name without one (OEM code page).
    std::string StoredPath() const;
    // Where the chain goes on, or 0 when it ends here: at the terminator,
    // and at a link that does not lead forward (which would loop).
    int64_t NextInChain() const { return Next > Offset ? int64_t{Next} : 0; }
    // A link to this entry or one before it: a damaged entry, behind which
    // the rest of the chain cannot be found.
    bool LinksBack() const { return Next != 0 && Next <= Offset; }
};

// The entry at At: its 58 bytes and the variable part.
TParse ReadEntry(const TReadAt& Read, int64_t At, TEntry& E);
TParse ParseEntry(const uint8_t* P, size_t Available, int64_t At, TEntry& E);

// An entry's bytes with its variable part (type 2), as an archiver writes
// them: the long name and directory go in the variable part with their
// NULs.
std::vector<uint8_t> MakeEntry(const TEntry& E);

}  // namespace zoo
}  // namespace bramble
