#include "engine/formats/zoo.h"

#include <algorithm>
#include <cstring>

#include "engine/core/bytes.h"

namespace bramble {
namespace zoo {

namespace {

std::string UpToNul(const uint8_t* P, size_t Size) {
    size_t n = 0;
    while (n < Size && P[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(P), n);
}

}  // namespace

bool ParseArchiveHeader(const uint8_t* P, size_t Available, TArchiveHeader& H) {
    H = TArchiveHeader();
    if (Available < kArchiveHeaderMin || Le32(P + 20) != kTag) return false;
    H.FirstEntry = Le32(P + 24);
    if (static_cast<uint32_t>(H.FirstEntry + Le32(P + 28)) != 0) return false;
    H.Major = P[32];
    H.Minor = P[33];
    if (Available >= kArchiveHeaderSize) H.Type = P[34];
    return true;
}

std::vector<uint8_t> MakeArchiveHeader(uint32_t FirstEntry) {
    std::vector<uint8_t> b(kArchiveHeaderSize, 0);
    static const char text[] = "ZOO 2.10 Archive.\x1A";
    std::memcpy(b.data(), text, sizeof text - 1);
    PutLe32(b.data() + 20, kTag);
    PutLe32(b.data() + 24, FirstEntry);
    PutLe32(b.data() + 28, 0u - FirstEntry);
    b[32] = 2;
    b[33] = 0;
    b[34] = 1;
    return b;
}

TParse ParseEntry(const uint8_t* P, size_t Available, int64_t At, TEntry& E) {
    E = TEntry();
    E.Offset = At;
    if (Available < kEntrySize) {
        // Archivers write the empty entry that ends the chain short of its
        // full size at the end of the file: its tag and its link of 0 are
        // all there is to read from it.
        if (Available >= 10 && Le32(P) == kTag && Le32(P + 6) == 0) {
            E.Next = 0;
            return TParse::Ok;
        }
        return TParse::Short;
    }
    if (Le32(P) != kTag) return TParse::BadTag;
    E.Type = P[4];
    E.Method = P[5];
    E.Next = Le32(P + 6);
    E.DataOffset = Le32(P + 10);
    E.Stamp = Le16(P + 16) | uint32_t{Le16(P + 14)} << 16;
    E.Crc = Le16(P + 18);
    E.UnpackedSize = Le32(P + 20);
    E.PackedSize = Le32(P + 24);
    E.Major = P[28];
    E.Minor = P[29];
    E.Deleted = P[30] != 0;
    E.ShortName = UpToNul(P + 38, kShortNameSize);
    E.VariableSize = E.Type == 2 ? Le16(P + 51) : 0;
    return TParse::Ok;
}

TParse ReadEntry(const TReadAt& Read, int64_t At, TEntry& E) {
    uint8_t b[kEntrySize];
    const int64_t got = At < 0 ? 0 : Read(At, b, kEntrySize);
    const TParse parsed = ParseEntry(b, static_cast<size_t>(std::max<int64_t>(got, 0)), At, E);
    if (parsed != TParse::Ok || E.VariableSize == 0) return parsed;
    // The two lengths, each at most 255 bytes, read only as far as the
    // file goes.
    const size_t nameLength = b[56], dirLength = b[57];
    std::vector<uint8_t> var(nameLength + dirLength);
    if (var.empty()) return parsed;
    const int64_t n = Read(At + kEntrySize, var.data(), static_cast<int64_t>(var.size()));
    const size_t have = static_cast<size_t>(std::max<int64_t>(n, 0));
    E.LongName = UpToNul(var.data(), std::min(have, nameLength));
    if (have > nameLength) E.Directory = UpToNul(var.data() + nameLength, have - nameLength);
    return parsed;
}

std::string TEntry::StoredPath() const {
    std::string path = Directory;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (!path.empty() && path.back() != '\\') path.push_back('\\');
    // The long name where there is one: the short name is only its 8.3
    // cut, and the entry was added under the long one.
    return path + (LongName.empty() ? ShortName : LongName);
}

std::vector<uint8_t> MakeEntry(const TEntry& E) {
    std::string longName = E.LongName.empty() ? std::string() : E.LongName.substr(0, 254) + '\0';
    std::string dir = E.Directory.empty() ? std::string() : E.Directory.substr(0, 254) + '\0';
    std::vector<uint8_t> b(kEntrySize, 0);
    PutLe32(b.data(), kTag);
    b[4] = 2;
    b[5] = E.Method;
    PutLe32(b.data() + 6, E.Next);
    PutLe32(b.data() + 10, E.DataOffset);
    PutLe16(b.data() + 14, static_cast<uint16_t>(E.Stamp >> 16));
    PutLe16(b.data() + 16, static_cast<uint16_t>(E.Stamp));
    PutLe16(b.data() + 18, E.Crc);
    PutLe32(b.data() + 20, E.UnpackedSize);
    PutLe32(b.data() + 24, E.PackedSize);
    b[28] = E.Major;
    b[29] = E.Minor;
    b[30] = E.Deleted ? 1 : 0;
    std::memcpy(b.data() + 38, E.ShortName.data(), std::min<size_t>(E.ShortName.size(), kShortNameSize - 1));
    PutLe16(b.data() + 51, static_cast<uint16_t>(longName.size() + dir.size() + 4));
    b[53] = 127;  // time zone unknown
    b[56] = static_cast<uint8_t>(longName.size());
    b[57] = static_cast<uint8_t>(dir.size());
    b.insert(b.end(), longName.begin(), longName.end());
    b.insert(b.end(), dir.begin(), dir.end());
    b.push_back(0);  // the system id that closes the variable part
    b.push_back(0);
    return b;
}

}  // namespace zoo
}  // namespace bramble
