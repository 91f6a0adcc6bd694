#include "engine/formats/arj.h"

#include <algorithm>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/crc.h"
#include "engine/core/streams.h"

namespace bramble {
namespace arj {

namespace {

// The NUL-terminated text at Start, cut at End; Start moves past the NUL.
std::string TextUpTo(const uint8_t* P, size_t& Start, size_t End) {
    std::string s;
    while (Start < End && P[Start] != 0) s.push_back(static_cast<char>(P[Start++]));
    if (Start < End) ++Start;
    return s;
}

bool ReadExactly(const TReadAt& Read, int64_t At, void* Buffer, int64_t Count) {
    return Read(At, Buffer, Count) == Count;
}

}  // namespace

TReadAt StreamReader(TStream& Stream) {
    return [&Stream](int64_t Offset, void* Buffer, int64_t Count) -> int64_t {
        if (Offset < 0 || Count <= 0 || !Stream.Seek(Offset)) return 0;
        const int64_t got = Stream.Read(Buffer, Count);
        return got < 0 ? 0 : got;
    };
}

bool ParseBasic(const uint8_t* Basic, size_t Size, THeader& H) {
    if (Size < kFixedSize || Size > kMaxBasicSize) return false;
    H.FirstSize = Basic[0];
    // The name starts after the fixed fields and inside the basic header.
    if (H.FirstSize < kFixedSize || H.FirstSize > Size) return false;
    H.Version = Basic[1];
    H.MinVersion = Basic[2];
    H.HostOs = Basic[3];
    H.Flags = Basic[4];
    H.Method = Basic[5];
    H.FileType = Basic[6];
    H.PasswordModifier = Basic[7];
    H.Stamp = Le32(Basic + 8);
    H.PackedSize = Le32(Basic + 12);
    H.UnpackedSize = Le32(Basic + 16);
    H.Crc = Le32(Basic + 20);
    H.NamePos = Le16(Basic + 24);
    H.Attr = Le16(Basic + 26);
    H.HostData = Le16(Basic + 28);
    size_t at = H.FirstSize;
    H.Name = TextUpTo(Basic, at, Size);
    H.Comment = TextUpTo(Basic, at, Size);
    return true;
}

TParse ReadHeader(const TReadAt& Read, int64_t Size, int64_t At, THeader& H) {
    H = THeader();
    H.Offset = At;
    uint8_t head[4];
    if (At < 0 || At + 4 > Size) return TParse::Short;
    if (!ReadExactly(Read, At, head, 4)) return TParse::Short;
    if (Le16(head) != kHeaderId) return TParse::Bad;
    H.BasicSize = Le16(head + 2);
    if (H.BasicSize == 0) {
        H.DataOffset = At + 4;
        return TParse::End;
    }
    if (H.BasicSize > kMaxBasicSize) return TParse::Bad;
    std::vector<uint8_t> basic(size_t{H.BasicSize} + 4);
    if (At + 4 + static_cast<int64_t>(basic.size()) > Size) return TParse::Short;
    if (!ReadExactly(Read, At + 4, basic.data(), static_cast<int64_t>(basic.size()))) return TParse::Short;
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(basic.data(), H.BasicSize, crc);
    if ((crc ^ 0xFFFFFFFF) != Le32(&basic[H.BasicSize])) return TParse::Crc;
    if (!ParseBasic(basic.data(), H.BasicSize, H)) return TParse::Bad;

    // Extended headers: nothing here reads them, each is passed over.
    int64_t pos = At + 4 + H.BasicSize + 4;
    for (;;) {
        uint8_t sz[2];
        if (pos + 2 > Size || !ReadExactly(Read, pos, sz, 2)) return TParse::Short;
        pos += 2;
        const uint16_t ext = Le16(sz);
        if (ext == 0) break;
        pos += int64_t{ext} + 4;
        if (pos > Size) return TParse::Short;
    }
    H.DataOffset = pos;
    return TParse::Ok;
}

bool HeaderAt(const TReadAt& Read, int64_t At) {
    uint8_t head[4];
    if (At < 0 || !ReadExactly(Read, At, head, 4) || Le16(head) != kHeaderId) return false;
    const size_t size = Le16(head + 2);
    if (size == 0 || size > kMaxBasicSize) return false;
    std::vector<uint8_t> basic(size + 4);
    if (!ReadExactly(Read, At + 4, basic.data(), static_cast<int64_t>(basic.size()))) return false;
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(basic.data(), size, crc);
    return (crc ^ 0xFFFFFFFF) == Le32(&basic[size]);
}

int64_t FindHeader(const TReadAt& Read, int64_t Size, int64_t From, int64_t Limit) {
    if (From < 0) From = 0;
    const int64_t last = std::min(Limit, Size - 2);  // candidates stop short of it
    if (From >= last) return -1;
    std::vector<uint8_t> span(static_cast<size_t>(last - From + 1));
    const int64_t got = Read(From, span.data(), static_cast<int64_t>(span.size()));
    for (int64_t i = 0; i + 1 < got; ++i) {
        const uint8_t* p = &span[static_cast<size_t>(i)];
        if (p[0] == 0x60 && p[1] == 0xEA && HeaderAt(Read, From + i)) return From + i;
    }
    return -1;
}

}  // namespace arj
}  // namespace bramble
