#include "engine/readers/tarheader.h"

#include <cstring>

namespace bramble::tar {

int64_t ComputeChecksum(const uint8_t* block) {
    int64_t sum = 0;
    for (int i = 0; i < kBlock; ++i) sum += (i >= 148 && i < 156) ? 32 : block[i];
    return sum;
}

bool ChecksumOk(const uint8_t* block) { return Number(block, 148, 8) == ComputeChecksum(block); }

bool IsZeroBlock(const uint8_t* block, int Count) {
    for (int i = 0; i < Count; ++i)
        if (block[i]) return false;
    return true;
}

std::string Field(const uint8_t* block, int offset, int width) {
    const char* p = reinterpret_cast<const char*>(block + offset);
    size_t n = 0;
    while (n < static_cast<size_t>(width) && p[n]) ++n;
    return std::string(p, n);
}

int64_t Number(const uint8_t* block, int offset, int width) {
    const uint8_t* p = block + offset;
    if (p[0] & 0x80) {
        // Base-256: the rest of the field is a big-endian number. Values
        // that would not fit are taken as the largest, never wrapped.
        uint64_t v = p[0] & 0x3F;
        for (int i = 1; i < width; ++i) {
            if (v >> 55) return INT64_MAX;
            v = v << 8 | p[i];
        }
        return (p[0] & 0x40) ? 0 : static_cast<int64_t>(v);
    }
    int64_t v = 0;
    for (int i = 0; i < width && p[i]; ++i) {
        if (p[i] < '0' || p[i] > '7') continue;
        if (v > (INT64_MAX >> 3)) return INT64_MAX;
        v = v * 8 + (p[i] - '0');
    }
    return v;
}

std::string FullName(const uint8_t* block) {
    std::string name = Field(block, 0, 100);
    if (std::memcmp(block + 257, "ustar", 6) == 0) {
        std::string prefix = Field(block, 345, 155);
        if (!prefix.empty()) name = prefix + "/" + name;
    }
    return name;
}

std::string PaxPath(const std::string& Records) {
    size_t pos = 0;
    std::string path;
    while (pos < Records.size()) {
        size_t len = 0, i = pos;
        while (i < Records.size() && i - pos < 9 && Records[i] >= '0' && Records[i] <= '9')
            len = len * 10 + static_cast<size_t>(Records[i++] - '0');
        if (i == pos || i >= Records.size() || Records[i] != ' ' || len <= i - pos + 1 ||
            len > Records.size() - pos)
            break;
        const std::string record = Records.substr(i + 1, pos + len - i - 1);
        pos += len;
        const size_t eq = record.find('=');
        if (eq == std::string::npos) break;
        if (record.compare(0, eq, "path") == 0) {
            path = record.substr(eq + 1);
            if (!path.empty() && path.back() == '\n') path.pop_back();
        }
    }
    // A NUL would cut the name where the reader does not expect it.
    return path.substr(0, path.find('\0'));
}

}  // namespace bramble::tar
