#include "engine/formats/gzip.h"

#include <algorithm>

#include "engine/core/bytes.h"

namespace bramble::gzip {

bool ReadHeader(int64_t Pos, int64_t End, const ReadAtFn& Read, THeader& H) {
    H = THeader();
    H.DataStart = Pos;
    uint8_t h[kHeaderSize];
    if (Pos < 0 || End - Pos < kHeaderSize || Read(Pos, h, kHeaderSize) != kHeaderSize || !IsGzipMagic(h))
        return false;
    H.Method = h[2];
    H.Flags = h[3];
    H.MTime = Le32(h + 4);
    int64_t p = Pos + kHeaderSize;
    H.DataStart = p;
    if (H.Flags & kFExtra) {
        uint8_t xl[2];
        if (End - p < 2 || Read(p, xl, 2) != 2) return false;
        p += 2 + Le16(xl);
        H.DataStart = p;
    }
    // A NUL-terminated field of any length; only its end matters, and the
    // first kNameKeep bytes of a name.
    auto zfield = [&](std::string* keep) {
        uint8_t buf[512];
        for (;;) {
            if (p >= End) return false;
            const int64_t got = Read(p, buf, std::min<int64_t>(sizeof buf, End - p));
            if (got <= 0) return false;
            for (int64_t i = 0; i < got; ++i) {
                if (buf[i] == 0) {
                    p += i + 1;
                    return true;
                }
                if (keep && keep->size() < kNameKeep) keep->push_back(static_cast<char>(buf[i]));
            }
            p += got;
        }
    };
    const bool whole = (!(H.Flags & kFName) || zfield(&H.Name)) && (!(H.Flags & kFComment) || zfield(nullptr));
    // RFC 1952 gives bit 1 to the header's CRC-16 (zlib writes one when
    // asked): no multi-part mark, and refusing it would refuse valid files.
    if (whole && (H.Flags & kFHCrc)) p += 2;
    H.DataStart = p;
    return whole && p <= End;
}

std::string BaseName(const std::string& Stored) {
    const size_t cut = Stored.find_last_of("/\\:");
    return cut == std::string::npos ? Stored : Stored.substr(cut + 1);
}

std::array<uint8_t, kHeaderSize> MakeHeader(uint8_t Flags, uint32_t MTime) {
    std::array<uint8_t, kHeaderSize> h = {kMagic0, kMagicGzip, 8, Flags, 0, 0, 0, 0, 0, 0};
    PutLe32(h.data() + 4, MTime);
    return h;
}

TTrailer ParseTrailer(const uint8_t* p) { return {Le32(p), Le32(p + 4)}; }

}  // namespace bramble::gzip
