// The ACE block layout, read in this one place: the lister's walk, the ACE
// reader's counting walk (and the test stand-in of the library) come here.
//
// Every block (little-endian): HEAD_CRC (2), HEAD_SIZE (2), then HEAD_SIZE
// bytes that start with HEAD_TYPE (1) and HEAD_FLAGS (2). With flag bit 0
// a 4-byte size of data behind the header stands at 7.
// Main block (type 0): "**ACE**" at 7, the version to extract at 14 and the
// creator's version at 15.
// File block (type 1): PACK_SIZE (4, at 7), ORIG_SIZE (4, at 11), FTIME
// (4, at 15), ATTR (4, at 19), CRC32 (4, at 23), the method at 27, the name
// size (2, at 33) and the name at 35. Flag 0x1000 marks an entry continued
// from the previous volume, 0x2000 one going on in the next, 0x4000 an
// encrypted one.
//
// Parsing is pure: every field is bounded by the bytes actually there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace bramble::ace {

constexpr int kBaseSize = 7;    // HEAD_CRC, HEAD_SIZE, HEAD_TYPE, HEAD_FLAGS
constexpr int kMainFixed = 31;  // up to the creator's version and beyond
constexpr int kFileFixed = 35;  // up to the name
constexpr size_t kMaxName = 2500;

constexpr uint8_t kMainBlock = 0, kFileBlock = 1;
constexpr uint16_t kAddSize = 0x0001, kComment = 0x0002, kFromPrevious = 0x1000, kToNext = 0x2000,
                   kEncrypted = 0x4000;

using TReadAt = std::function<int64_t(int64_t Offset, void* Buffer, int64_t Count)>;

enum class TParse : uint8_t {
    Ok,
    End,  // no bytes, or a HEAD_SIZE of 0, where a block would start
    Bad,  // a block that is cut short or whose fields do not fit
};

struct TMainHeader {
    uint16_t Flags = 0;
    uint8_t VersionExtract = 0;
    uint8_t VersionCreated = 0;
    int64_t Next = 0;  // where the first block after it starts
};
// The main header at Offset, with its "**ACE**" signature.
TParse ParseMain(const TReadAt& Read, int64_t Offset, TMainHeader& Main);

struct TBlock {
    int64_t Offset = 0;
    uint16_t HeadSize = 0;  // bytes after HEAD_SIZE
    uint8_t Type = 0;
    uint16_t Flags = 0;
    int64_t DataSize = 0;  // bytes of data behind the header
    int64_t Next = 0;      // where the next block starts

    // File blocks only.
    uint32_t PackSize = 0;
    uint32_t OrigSize = 0;
    uint32_t FTime = 0;
    uint32_t Attr = 0;
    uint32_t Crc32 = 0;
    uint8_t Method = 0;
    std::string Name;  // as stored, at most kMaxName bytes

    bool IsFile() const { return Type == kFileBlock; }
    bool FromPrevious() const { return (Flags & kFromPrevious) != 0; }
    bool ToNext() const { return (Flags & kToNext) != 0; }
    bool Encrypted() const { return (Flags & kEncrypted) != 0; }
    bool Directory() const { return (Attr & 0x10) != 0; }
};
TParse ParseBlock(const TReadAt& Read, int64_t Offset, TBlock& Block);

}  // namespace bramble::ace
