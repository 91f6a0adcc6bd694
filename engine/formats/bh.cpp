#include "engine/formats/bh.h"

#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/streams.h"

namespace bramble {

namespace bh {

bool THeader::Parse(const uint8_t* P, size_t Size, THeader& H) {
    if (Size < kHeaderSize || Le32(P) != kSignature) return false;
    H.EntrySize = Le16(P + 4);
    H.HeaderSize = P[6];
    H.VersionMadeBy = P[7];
    H.VersionNeeded = P[8];
    H.Flags = P[9];
    H.Method = P[10];
    H.DosDate = Le32(P + 11);
    H.PackedSize = Le32(P + 15);
    H.UnpackedSize = Le32(P + 19);
    H.Crc = Le32(P + 23);
    H.Attr = Le16(P + 27);
    H.Reserved = Le32(P + 29);
    H.NameLength = Le16(P + 33);
    H.ExtraLength = Le16(P + 35);
    return true;
}

std::array<uint8_t, kHeaderSize> THeader::Bytes() const {
    std::array<uint8_t, kHeaderSize> b{};
    PutLe32(&b[0], kSignature);
    PutLe16(&b[4], EntrySize);
    b[6] = HeaderSize;
    b[7] = VersionMadeBy;
    b[8] = VersionNeeded;
    b[9] = Flags;
    b[10] = Method;
    PutLe32(&b[11], DosDate);
    PutLe32(&b[15], PackedSize);
    PutLe32(&b[19], UnpackedSize);
    PutLe32(&b[23], Crc);
    PutLe16(&b[27], Attr);
    PutLe32(&b[29], Reserved);
    PutLe16(&b[33], NameLength);
    PutLe16(&b[35], ExtraLength);
    return b;
}

bool LooksLikeHeader(const uint8_t* P, size_t Available) {
    return Available >= 4 && Le32(P) == kSignature && !(Available >= 8 && Le32(P + 4) == 0x84C3940F);
}

TReadAt StreamReader(TStream& Stream) {
    return [&Stream](int64_t Offset, void* Buffer, int64_t Count) -> int64_t {
        if (Offset < 0 || Count <= 0 || !Stream.Seek(Offset)) return 0;
        const int64_t got = Stream.Read(Buffer, Count);
        return got < 0 ? 0 : got;
    };
}

TParse ParseEntry(const TReadAt& Read, int64_t Size, int64_t At, TEntry& E) {
    E = TEntry{};
    if (At < 0 || Size - At < static_cast<int64_t>(kHeaderSize)) return TParse::End;
    uint8_t raw[kHeaderSize];
    if (Read(At, raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return TParse::End;
    if (!THeader::Parse(raw, sizeof raw, E.H)) return TParse::End;
    E.Offset = At;
    E.DataOffset = At + E.H.DataOffset();
    E.Next = E.DataOffset + E.H.PackedSize;
    if (E.DataOffset > Size) return TParse::Corrupt;  // the name is cut off
    // Without its encryption header an encrypted entry has no data to
    // speak of, and taking 12 off its size would run below zero.
    if (E.Listed() && E.H.Encrypted() && E.H.PackedSize < kCryptHeaderSize) return TParse::Corrupt;
    E.Name.resize(E.H.NameLength);
    if (E.H.NameLength > 0 && Read(At + static_cast<int64_t>(kHeaderSize), E.Name.data(), E.H.NameLength) !=
                                  static_cast<int64_t>(E.H.NameLength))
        return TParse::Corrupt;
    const size_t nul = E.Name.find('\0');
    if (nul != std::string::npos) E.Name.erase(nul);
    return TParse::Ok;
}

TParse ParseEntry(const uint8_t* Data, size_t Size, int64_t At, TEntry& E) {
    const auto end = static_cast<int64_t>(Size);
    const TReadAt read = [Data, end](int64_t o, void* b, int64_t n) -> int64_t {
        if (o < 0 || o >= end || n <= 0) return 0;
        if (n > end - o) n = end - o;
        std::memcpy(b, Data + o, static_cast<size_t>(n));
        return n;
    };
    return ParseEntry(read, end, At, E);
}

std::vector<uint8_t> MakeHeader(THeader H, const std::string& Name) {
    if (Name.empty() || Name.size() > kMaxName) return {};
    H.NameLength = static_cast<uint16_t>(Name.size());
    H.EntrySize = static_cast<uint16_t>(kHeaderSize + Name.size());
    H.HeaderSize = kHeaderSize;
    const auto head = H.Bytes();
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), Name.begin(), Name.end());
    return out;
}

}  // namespace bh

}  // namespace bramble
