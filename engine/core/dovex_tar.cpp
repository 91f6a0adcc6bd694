// The lister's TAR walk: one 512-byte header per entry, the data padded to
// a multiple of 512 behind it.
#include <string_view>

#include "engine/core/dovex.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {

constexpr int kBlock = 512;

// A number field: octal digits, or, when the first byte has its top bit set,
// the big-endian binary form GNU tar uses for values octal cannot hold
// (0x80 lead: positive, 0xFF lead: negative). Values beyond 62 bits
// saturate.
int64_t TarNumber(const uint8_t* p, size_t width) {
    if (!(p[0] & 0x80)) return OctalToInt(std::string_view(reinterpret_cast<const char*>(p), width));
    const bool negative = (p[0] & 0x40) != 0;
    uint64_t v = 0;
    for (size_t i = 1; i < width; ++i) {
        const uint8_t b = negative ? static_cast<uint8_t>(~p[i]) : p[i];
        if (v >> 54) return negative ? INT64_MIN / 2 : INT64_MAX / 2;
        v = v << 8 | b;
    }
    return negative ? -static_cast<int64_t>(v) - 1 : static_cast<int64_t>(v);
}

// The header's checksum holds the sum of its bytes with the checksum field
// taken as blanks; some old archivers summed signed bytes.
bool ChecksumMatches(const uint8_t* h, int64_t stored) {
    int64_t sum = 0, signedSum = 0;
    for (int i = 0; i < kBlock; ++i) {
        const uint8_t b = (i >= 148 && i < 156) ? ' ' : h[i];
        sum += b;
        signedSum += static_cast<int8_t>(b);
    }
    return stored == sum || stored == signedSum;
}

}  // namespace

void TDovex::SetupTar() { headerSize_ = kBlock; }

void TDovex::ParseTar() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < kBlock) {
        EndScan();
        return;
    }
    size_t len = 0;
    while (len < 100 && h[len] != 0) ++len;
    size_t first = 0;
    while (first < len && h[first] <= ' ') ++first;
    while (len > first && h[len - 1] <= ' ') --len;
    // An empty name is the end-of-archive block; a header whose checksum
    // does not hold is not a header, and nothing after it can be trusted.
    const int64_t checksum = TarNumber(h + 148, 8);
    if (len == first || !ChecksumMatches(h, checksum)) {
        EndScan();
        return;
    }

    int64_t size = TarNumber(h + 124, 12);
    if (size < 0) size = 0;
    const int64_t remaining = scanEnd_ - (at + kBlock);
    next_ = size >= remaining ? scanEnd_ : at + kBlock + (size + kBlock - 1) / kBlock * kBlock;

    const uint8_t type = h[156];
    if (type != 0 && type != '0' && type != '1') return;
    EntryInfo.FileName =
        ConvertStoredName(std::string(reinterpret_cast<const char*>(h) + first, len - first));
    EntryInfo.Encrypted = false;
    EntryInfo.PackedSize = size;
    EntryInfo.UnpackedSize = size;
    EntryInfo.CRC = static_cast<uint32_t>(checksum);
    EntryInfo.MethodCode = 0;
    EntryInfo.MethodName = CompressMethodName(0, 0);
    EntryInfo.DateTime = UnixToDateTime(TarNumber(h + 136, 12));
    EntryInfo.VersionMadeBy = 0;
    EntryInfo.VersionNeeded = 0;
    EntryInfo.Attr = 0;
    EntryInfo.ExternalAttr = 0;
    ListEntry(at);
}

}  // namespace bramble
