// The gzip format's records, the one place that knows their layout: the
// member header (magic, method, flags, time, and the optional extra field,
// name, comment and header CRC behind it), the 8-byte trailer, and the
// signatures of gzip's older relatives (compress, pack) that share its
// first byte. Detection, the lister walk, the gzip reader and the gzip
// writer all read and write them through here.
//
// The header is parsed through a small reader function and never looks
// past End, so it is tested and fuzzed on bytes in memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace bramble::gzip {

constexpr uint8_t kMagic0 = 0x1F;
constexpr uint8_t kMagicGzip = 0x8B;
constexpr uint8_t kMagicOldGzip = 0x9E;
constexpr uint8_t kMagicCompress = 0x9D;

constexpr uint8_t kFText = 0x01, kFHCrc = 0x02, kFExtra = 0x04, kFName = 0x08, kFComment = 0x10,
                  kFEncrypted = 0x20;

constexpr int64_t kHeaderSize = 10;
constexpr int64_t kTrailerSize = 8;
// The smallest whole member: a header, an empty deflate stream and a trailer
// take 20; anything under header and trailer is cut short.
constexpr int64_t kMinMember = kHeaderSize + kTrailerSize;
// How much of a stored name is kept (a file name's most on Windows); the
// rest of the field is passed over.
constexpr size_t kNameKeep = 255;

// (The two-byte signatures of the whole family are core's IsGZipSignature:
// detection knew them before there were format modules.)
// The two bytes open a gzip member (the current or the old magic).
inline bool IsGzipMagic(const uint8_t* p) { return p[0] == kMagic0 && (p[1] == kMagicGzip || p[1] == kMagicOldGzip); }

// Reads up to Count bytes at Pos into Out; the number read, less at the end.
using ReadAtFn = std::function<int64_t(int64_t Pos, uint8_t* Out, int64_t Count)>;

// A member's header as stored.
struct THeader {
    uint8_t Method = 0;
    uint8_t Flags = 0;
    uint32_t MTime = 0;      // seconds since 1970; 0 when none was stored
    std::string Name;        // the stored name (OEM, path and all), at most kNameKeep bytes
    int64_t DataStart = 0;   // the compressed data, or as far as the header could be followed
};

// Parses the member header at Pos; nothing at or past End is read. False
// when it is no gzip header, or when its fields run past End (H then holds
// what was read, DataStart as far as they could be followed).
bool ReadHeader(int64_t Pos, int64_t End, const ReadAtFn& Read, THeader& H);
// The file's own name of a stored name: a stored path is not trusted.
std::string BaseName(const std::string& Stored);

// The header the engine writes: deflate, the given flags and time, no extra
// field (the name, when kFName is set, follows it NUL-terminated).
std::array<uint8_t, kHeaderSize> MakeHeader(uint8_t Flags, uint32_t MTime);

// The trailer: CRC-32 and the size modulo 2^32 of what the member holds.
struct TTrailer {
    uint32_t CRC = 0;
    uint32_t Size = 0;
};
TTrailer ParseTrailer(const uint8_t* p);

}  // namespace bramble::gzip
