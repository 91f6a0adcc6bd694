#include "engine/formats/ace.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"

namespace bramble::ace {

TParse ParseMain(const TReadAt& Read, int64_t Offset, TMainHeader& Main) {
    Main = TMainHeader();
    uint8_t h[kMainFixed];
    const int64_t got = Read(Offset, h, kMainFixed);
    if (got <= 0) return TParse::End;
    if (got != kMainFixed || h[4] != kMainBlock || std::memcmp(h + 7, "**ACE**", 7) != 0) return TParse::Bad;
    const uint16_t headSize = Le16(h + 2);
    if (headSize + 4 < kMainFixed) return TParse::Bad;
    Main.Flags = Le16(h + 5);
    Main.VersionExtract = h[14];
    Main.VersionCreated = h[15];
    // The header's size covers its optional parts (comment and the like).
    Main.Next = Offset + 4 + headSize;
    return TParse::Ok;
}

TParse ParseBlock(const TReadAt& Read, int64_t Offset, TBlock& Block) {
    Block = TBlock();
    Block.Offset = Offset;
    uint8_t b[4];
    const int64_t got = Read(Offset, b, 4);
    if (got <= 0) return TParse::End;
    if (got < 4) return TParse::Bad;
    Block.HeadSize = Le16(b + 2);
    if (Block.HeadSize == 0) return TParse::End;
    if (Block.HeadSize < 3) return TParse::Bad;
    std::vector<uint8_t> h(static_cast<size_t>(Block.HeadSize) + 4);
    if (Read(Offset, h.data(), static_cast<int64_t>(h.size())) != static_cast<int64_t>(h.size())) return TParse::Bad;
    Block.Type = h[4];
    Block.Flags = Le16(&h[5]);
    if (Block.Flags & kAddSize) {
        if (h.size() < 11) return TParse::Bad;
        Block.DataSize = Le32(&h[7]);
    }
    if (Block.Type == kFileBlock) {
        if (h.size() < kFileFixed) return TParse::Bad;
        Block.PackSize = Le32(&h[7]);
        Block.DataSize = Block.PackSize;
        Block.OrigSize = Le32(&h[11]);
        Block.FTime = Le32(&h[15]);
        Block.Attr = Le32(&h[19]);
        Block.Crc32 = Le32(&h[23]);
        Block.Method = h[27];
        const size_t nameSize = Le16(&h[33]);
        if (kFileFixed + nameSize > h.size()) return TParse::Bad;
        Block.Name.assign(reinterpret_cast<const char*>(&h[kFileFixed]), std::min(nameSize, kMaxName));
    }
    Block.Next = Offset + static_cast<int64_t>(h.size()) + Block.DataSize;
    return TParse::Ok;
}

}  // namespace bramble::ace
