// The TAR format's records, the one place that knows their layout: the
// 512-byte header block (ustar with its name prefix, the GNU form), the
// GNU long-name and pax records that name the header after them, the
// checksum, the number fields, and the walk over an archive's records that
// the TAR reader and the TAR writer share. The lister reads its headers
// through the same field and checksum rules.
//
// Everything here looks only at the bytes it is given: a header is always a
// whole block, and the walk reads through a small reader function, so the
// module is tested and fuzzed on bytes in memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace bramble::tar {

constexpr int kBlock = 512;

// Sum of the block's bytes with the checksum field counted as blanks.
int64_t ComputeChecksum(const uint8_t* block);
// The stored checksum matches the sum of the block's bytes taken unsigned,
// or taken signed as some old archivers summed them (an all-zero block
// matches neither).
bool ChecksumOk(const uint8_t* block);
// The first Count bytes of a block are all zero.
bool IsZeroBlock(const uint8_t* block, int Count = kBlock);

// A NUL-terminated field of at most width bytes.
std::string Field(const uint8_t* block, int offset, int width);
// A number field: octal digits up to the first NUL (others skipped), or,
// when the first byte has its top bit set, the big-endian binary form GNU
// tar uses for values octal cannot hold (0x80 lead: positive, 0xFF lead:
// negative, two's complement). Values beyond 62 bits saturate at
// +-INT64_MAX / 2, so sums with file positions cannot overflow.
int64_t Number(const uint8_t* block, int offset, int width);

inline int64_t Size(const uint8_t* b) { return Number(b, 124, 12); }
inline int64_t MTime(const uint8_t* b) { return Number(b, 136, 12); }
inline int64_t StoredChecksum(const uint8_t* b) { return Number(b, 148, 8); }
inline char Type(const uint8_t* b) { return static_cast<char>(b[156]); }
// POSIX ustar headers ("ustar" and a NUL at 257) may carry a prefix of the
// path in bytes 345..499; the GNU form ("ustar  ") keeps other fields there.
std::string FullName(const uint8_t* block);
// The 100-byte name field with the blanks around it dropped, as the lister
// shows a header ("./a.txt" stays "./a.txt"); a delete names entries so.
std::string ListedName(const uint8_t* block);
// Type flags whose data is a regular file: NUL, '0' and '7'.
inline bool IsRegular(char type) { return type == '\0' || type == '0' || type == '7'; }
// Records that describe the header after them: a GNU long name ('L') or
// long link name ('K'), a pax extended header ('x').
inline bool IsNameRecord(char type) { return type == 'L' || type == 'K' || type == 'x'; }
// The "path" value of a pax extended header's records ("LEN key=value\n"
// each), or empty; records that do not parse end the search.
std::string PaxPath(const std::string& Records);
// Data rounded up to whole blocks.
inline int64_t Padded(int64_t size) { return (size + kBlock - 1) / kBlock * kBlock; }

// The header block of a regular file as the engine writes it: the name
// (at most 99 bytes, the caller checks), mode 0100666, owner 0, the size
// and time in 11 octal digits and the checksum.
std::string MakeHeader(const std::string& Name, int64_t Size, int64_t MTime);

// Reads up to Count bytes at Pos into Out; the number read, less at the end.
using ReadAtFn = std::function<int64_t(int64_t Pos, uint8_t* Out, int64_t Count)>;

// One entry found by the walk.
struct TWalkEntry {
    int64_t Start = 0;  // the first block that belongs to it: its name records, else its header
    int64_t Pos = 0;    // its header block
    int64_t Data = 0;   // its data
    int64_t Size = 0;
    int64_t Next = 0;   // the record after it: Data + Padded(Size), or the file's end when Cut
    bool Cut = false;   // its data runs past the end of the file
    char Type = 0;
    std::string Name;   // the long name its records gave, else FullName
    std::array<uint8_t, kBlock> Header{};
};

// The walk over an archive's records from a position to the end of the
// file. One zero block is padding, two end the archive; a block whose
// checksum does not hold is passed over one block on; GNU long-name and pax
// records name the header right after them (a zero or damaged block between
// drops what they said).
class TWalker {
public:
    enum class Step {
        Entry,      // e holds the next entry
        End,        // the archive ends here
        CutHeader,  // a header cut off by the end of the file (not just zeros)
        CutRecord,  // a name record, link or folder whose data runs past the end
    };
    TWalker(int64_t Pos, int64_t End, ReadAtFn Read) : pos_(Pos), end_(End), read_(std::move(Read)) {}
    Step Next(TWalkEntry& e);
    // Where the walk goes on: the record after the last entry.
    int64_t Position() const { return pos_; }

private:
    int64_t pos_;
    int64_t end_;
    ReadAtFn read_;
};

}  // namespace bramble::tar
