// The RAR 1.5 to 4 block layout, read in this one place: the lister's walk,
// the RAR reader's counting walk (and the test stand-in of the library) all
// come here. Format 5 has another marker and other blocks; it is only told
// apart, never walked.
//
// After the 7-byte marker "Rar!" 1A 07 00 comes a sequence of blocks, each
// starting (little-endian) with
//   0  2  HEAD_CRC
//   2  1  HEAD_TYPE   (0x73 main, 0x74 file, 0x7A new sub-block, 0x7B end)
//   3  2  HEAD_FLAGS  (0x8000: a 32-bit data size stands at 7)
//   5  2  HEAD_SIZE   (the whole header)
// A file block goes on with PACK_SIZE (4, at 7), UNP_SIZE (4, at 11),
// HOST_OS (1, at 15), FILE_CRC (4, at 16), FTIME (4, at 20), UNP_VER (1, at
// 24), METHOD (1, at 25), NAME_SIZE (2, at 26), ATTR (4, at 28); with flag
// 0x100 the high halves of the two sizes follow at 32 and 36; then the name,
// and with flag 0x400 an 8-byte salt. PACK_SIZE bytes of data follow the
// header.
//
// Parsing is pure: every field is bounded by the bytes actually there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace bramble::rar {

constexpr int kMarkerSize = 7;
constexpr int kMainHeaderSize = 13;
constexpr int kFileFixed = 32;
constexpr int kLargeFixed = 40;
constexpr size_t kMaxName = 2500;  // names longer than this are cut when shown

constexpr uint8_t kMainBlock = 0x73, kFileBlock = 0x74, kNewSubBlock = 0x7A, kEndBlock = 0x7B;

// HEAD_FLAGS of the main header.
constexpr uint16_t kMainVolume = 0x0001, kMainEncryptedHeaders = 0x0080;
// HEAD_FLAGS of a file block.
constexpr uint16_t kFromPrevious = 0x0001, kToNext = 0x0002, kEncrypted = 0x0004, kDirectoryMask = 0x00E0,
                   kLargeFile = 0x0100, kUnicodeName = 0x0200, kSalt = 0x0400;
// HEAD_FLAGS of every block.
constexpr uint16_t kSkipIfUnknown = 0x4000, kLongBlock = 0x8000;
// HEAD_FLAGS of the end block: the set goes on in the next volume.
constexpr uint16_t kEndNextVolume = 0x0001;

constexpr uint8_t kHostUnix = 3, kHostBeOS = 5;

// Up to Count bytes at Offset into Buffer; the number of bytes read.
using TReadAt = std::function<int64_t(int64_t Offset, void* Buffer, int64_t Count)>;

enum class TSignature : uint8_t { None, Rar15, Rar5 };
// Which marker stands at Offset: the exact 1.5-4 one, the format-5 one or
// neither.
TSignature SignatureAt(const TReadAt& Read, int64_t Offset);

enum class TParse : uint8_t {
    Ok,
    End,  // no bytes left where a block would start
    Bad,  // a block that is cut short or whose fields do not fit
};

struct TMainHeader {
    uint16_t Flags = 0;
    uint16_t HeadSize = 0;
    int64_t Next = 0;  // where the first block after it starts
    bool Volume() const { return (Flags & kMainVolume) != 0; }
    bool EncryptedHeaders() const { return (Flags & kMainEncryptedHeaders) != 0; }
};
// The main header right behind the marker at MarkerOffset.
TParse ParseMain(const TReadAt& Read, int64_t MarkerOffset, TMainHeader& Main);

struct TBlock {
    int64_t Offset = 0;  // where the block starts
    uint8_t Type = 0;
    uint16_t Flags = 0;
    uint16_t HeadSize = 0;
    int64_t DataSize = 0;  // bytes of data behind the header
    int64_t Next = 0;      // where the next block starts

    // File blocks (Type kFileBlock) only.
    int64_t PackSize = 0;
    int64_t UnpSize = 0;
    uint8_t HostOS = 0;
    uint32_t FileCRC = 0;
    uint32_t FTime = 0;
    uint8_t UnpVer = 0;
    uint8_t Method = 0;
    uint32_t Attr = 0;      // as stored: DOS attributes, or a Unix mode
    std::string Name;       // as stored (the plain part of a Unicode name), at most kMaxName bytes
    uint8_t Salt[8] = {};

    bool IsFile() const { return Type == kFileBlock; }
    bool FromPrevious() const { return (Flags & kFromPrevious) != 0; }
    bool ToNext() const { return (Flags & kToNext) != 0; }
    bool Encrypted() const { return (Flags & kEncrypted) != 0; }
    bool UnixHost() const { return HostOS == kHostUnix || HostOS == kHostBeOS; }
    // The folder bit is 0x4000 of a Unix mode (0x10 there is a permission)
    // and 0x10 of DOS attributes; the flags' folder value says so for both.
    bool Directory() const;
    // DOS attributes: a Unix mode becomes a plain folder or file.
    uint32_t DosAttr() const;
};

// The block at Offset (its whole header is read; the data is not).
TParse ParseBlock(const TReadAt& Read, int64_t Offset, TBlock& Block);

}  // namespace bramble::rar
