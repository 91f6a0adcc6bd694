#include "engine/formats/arc.h"

#include <cstring>

#include "engine/core/bytes.h"

namespace bramble {
namespace arc {

namespace {

// Paths grow with every directory opened; past this the directory is
// still counted (so its end marker matches) but adds nothing.
constexpr size_t kMaxPath = 2500;

}  // namespace

TParse ParseHeader(const uint8_t* P, size_t Available, int64_t At, THeader& H) {
    H = THeader();
    H.Offset = At;
    if (Available < 2 || P[0] != kMarker || P[1] == kMethodEnd) return TParse::End;
    H.Method = P[1];
    if (H.Method == kMethodDirectoryEnd) {
        H.HeaderSize = 2;
        return TParse::DirectoryEnd;
    }
    // Method 1 comes from archivers whose headers had no unpacked size:
    // read as 29 bytes, its data would start 4 bytes late.
    H.HeaderSize = H.Method == 1 ? kOldHeaderSize : kHeaderSize;
    if (Available < static_cast<size_t>(H.HeaderSize)) return TParse::End;
    // Thirteen bytes whether or not a NUL is among them.
    size_t n = 0;
    while (n < kNameSize && P[2 + n] != 0) ++n;
    H.Name.assign(reinterpret_cast<const char*>(P + 2), n);
    H.PackedSize = Le32(P + 15);
    // Stored as date then time: the halves swapped give a DOS stamp.
    H.Stamp = Le16(P + 21) | uint32_t{Le16(P + 19)} << 16;
    H.Crc = Le16(P + 23);
    H.UnpackedSize = H.Method == 1 ? H.PackedSize : Le32(P + 25);
    if (H.Directory()) H.PackedSize = H.UnpackedSize = 0;
    return TParse::Ok;
}

std::vector<uint8_t> MakeHeader(const THeader& H) {
    if (H.Method == kMethodDirectoryEnd) return {kMarker, kMethodDirectoryEnd};
    std::vector<uint8_t> b(H.Method == 1 ? kOldHeaderSize : kHeaderSize, 0);
    b[0] = kMarker;
    b[1] = H.Method;
    std::memcpy(b.data() + 2, H.Name.data(), std::min<size_t>(H.Name.size(), kNameSize - 1));
    PutLe32(b.data() + 15, H.PackedSize);
    PutLe16(b.data() + 19, static_cast<uint16_t>(H.Stamp >> 16));
    PutLe16(b.data() + 21, static_cast<uint16_t>(H.Stamp));
    PutLe16(b.data() + 23, H.Crc);
    if (H.Method != 1) PutLe32(b.data() + 25, H.UnpackedSize);
    return b;
}

void TDirectoryPath::Open(const std::string& Name) {
    parts_.push_back(path_.size() + Name.size() < kMaxPath ? Name : std::string());
    if (!parts_.back().empty()) path_ += parts_.back() + "\\";
}

void TDirectoryPath::Close() {
    if (parts_.empty()) return;  // no directory open: nothing to close
    const std::string& last = parts_.back();
    if (!last.empty()) path_.resize(path_.size() - last.size() - 1);
    parts_.pop_back();
}

}  // namespace arc
}  // namespace bramble
