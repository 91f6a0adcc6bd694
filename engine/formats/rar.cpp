#include "engine/formats/rar.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"

namespace bramble::rar {

namespace {

constexpr uint8_t kMarker15[kMarkerSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kMarker5[8] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
// No archive holds this much; a size beyond it is damage, and it keeps
// every sum of offsets far from overflowing.
constexpr int64_t kMaxSize = int64_t{1} << 48;

}  // namespace

TSignature SignatureAt(const TReadAt& Read, int64_t Offset) {
    uint8_t m[8] = {};
    const int64_t got = Read(Offset, m, sizeof m);
    if (got >= kMarkerSize && std::memcmp(m, kMarker15, kMarkerSize) == 0) return TSignature::Rar15;
    if (got >= 8 && std::memcmp(m, kMarker5, 8) == 0) return TSignature::Rar5;
    return TSignature::None;
}

TParse ParseMain(const TReadAt& Read, int64_t MarkerOffset, TMainHeader& Main) {
    Main = TMainHeader();
    uint8_t h[kMainHeaderSize];
    const int64_t at = MarkerOffset + kMarkerSize;
    const int64_t got = Read(at, h, kMainHeaderSize);
    if (got <= 0) return TParse::End;
    if (got != kMainHeaderSize || h[2] != kMainBlock) return TParse::Bad;
    Main.Flags = Le16(h + 3);
    Main.HeadSize = Le16(h + 5);
    if (Main.HeadSize < kMainHeaderSize) return TParse::Bad;
    Main.Next = at + Main.HeadSize;
    return TParse::Ok;
}

bool TBlock::Directory() const {
    if ((Flags & kDirectoryMask) == kDirectoryMask) return true;
    return UnixHost() ? (Attr & 0x4000) != 0 : (Attr & 0x10) != 0;
}

uint32_t TBlock::DosAttr() const {
    if (UnixHost()) return (Attr & 0x4000) ? 0x10 : 0x20;
    return Attr;
}

TParse ParseBlock(const TReadAt& Read, int64_t Offset, TBlock& Block) {
    Block = TBlock();
    Block.Offset = Offset;
    uint8_t base[11] = {};
    const int64_t got = Read(Offset, base, sizeof base);
    if (got <= 0) return TParse::End;
    if (got < 7) return TParse::Bad;
    Block.Type = base[2];
    Block.Flags = Le16(base + 3);
    Block.HeadSize = Le16(base + 5);
    // Types run from the marker's 0x72 to the end block's 0x7B; anything
    // else is no block of these archives.
    if (Block.HeadSize < 7 || Block.Type < 0x72 || Block.Type > kEndBlock) return TParse::Bad;
    // File and sub-blocks always carry their data size, whether or not they
    // set the flag that announces it.
    const bool sized = (Block.Flags & kLongBlock) || Block.Type == kFileBlock || Block.Type == kNewSubBlock;
    if (sized) {
        if (Block.HeadSize < 11 || got < 11) return TParse::Bad;
        Block.DataSize = Le32(base + 7);
    }
    if (Block.Type == kFileBlock || Block.Type == kNewSubBlock) {
        const bool large = (Block.Flags & kLargeFile) != 0;
        if (Block.HeadSize < (large ? kLargeFixed : kFileFixed)) return TParse::Bad;
        std::vector<uint8_t> h(Block.HeadSize);
        if (Read(Offset, h.data(), Block.HeadSize) != Block.HeadSize) return TParse::Bad;
        uint64_t pack = Le32(&h[7]), unp = Le32(&h[11]);
        if (large) {
            pack |= uint64_t{Le32(&h[32])} << 32;
            unp |= uint64_t{Le32(&h[36])} << 32;
        }
        if (pack >= static_cast<uint64_t>(kMaxSize) || unp >= static_cast<uint64_t>(kMaxSize)) return TParse::Bad;
        Block.PackSize = static_cast<int64_t>(pack);
        Block.UnpSize = static_cast<int64_t>(unp);
        Block.DataSize = Block.PackSize;
        Block.HostOS = h[15];
        Block.FileCRC = Le32(&h[16]);
        Block.FTime = Le32(&h[20]);
        Block.UnpVer = h[24];
        Block.Method = h[25];
        Block.Attr = Le32(&h[28]);
        const size_t nameAt = large ? kLargeFixed : kFileFixed;
        const size_t nameSize = Le16(&h[26]);
        if (nameAt + nameSize > h.size()) return TParse::Bad;
        std::string name(reinterpret_cast<const char*>(&h[nameAt]), nameSize);
        // A Unicode name follows the plain one after a NUL.
        const size_t nul = name.find('\0');
        if (nul != std::string::npos) name.erase(nul);
        if (name.size() > kMaxName) name.resize(kMaxName);
        Block.Name = std::move(name);
        const size_t saltAt = nameAt + nameSize;
        if ((Block.Flags & kSalt) && saltAt + 8 <= h.size()) std::memcpy(Block.Salt, &h[saltAt], 8);
    } else if (Block.HeadSize > sizeof base && Read(Offset + Block.HeadSize - 1, base, 1) != 1) {
        return TParse::Bad;  // the header is cut short
    }
    Block.Next = Offset + Block.HeadSize + Block.DataSize;
    return TParse::Ok;
}

}  // namespace bramble::rar
