// The TAR header block as the reader and the writer see it: the fields they
// use, the checksum, and the kinds of entry.
#pragma once

#include <cstdint>
#include <string>

namespace bramble::tar {

constexpr int kBlock = 512;

// Sum of the block's bytes with the checksum field counted as blanks.
int64_t ComputeChecksum(const uint8_t* block);
// The stored checksum matches the computed one (an all-zero block does not).
bool ChecksumOk(const uint8_t* block);
// The first Count bytes of a block are all zero.
bool IsZeroBlock(const uint8_t* block, int Count = kBlock);

// A NUL-terminated field of at most width bytes.
std::string Field(const uint8_t* block, int offset, int width);
// A number field: octal digits (others skipped), or the base-256 form
// (high bit of the first byte set) some writers use for large values.
int64_t Number(const uint8_t* block, int offset, int width);

inline int64_t Size(const uint8_t* b) { return Number(b, 124, 12); }
inline int64_t MTime(const uint8_t* b) { return Number(b, 136, 12); }
inline char Type(const uint8_t* b) { return static_cast<char>(b[156]); }
// POSIX ustar headers ("ustar" and a NUL at 257) may carry a prefix of the
// path in bytes 345..499; the GNU form ("ustar  ") keeps other fields there.
std::string FullName(const uint8_t* block);
// Type flags whose data is a regular file: NUL, '0' and '7'.
inline bool IsRegular(char type) { return type == '\0' || type == '0' || type == '7'; }
// The "path" value of a pax extended header's records ("LEN key=value\n"
// each), or empty; records that do not parse end the search.
std::string PaxPath(const std::string& Records);
// Data rounded up to whole blocks.
inline int64_t Padded(int64_t size) { return (size + kBlock - 1) / kBlock * kBlock; }

}  // namespace bramble::tar
