#include "engine/formats/tar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/helpers.h"

namespace bramble::tar {

int64_t ComputeChecksum(const uint8_t* block) {
    int64_t sum = 0;
    for (int i = 0; i < kBlock; ++i) sum += (i >= 148 && i < 156) ? 32 : block[i];
    return sum;
}

bool ChecksumOk(const uint8_t* block) {
    int64_t sum = 0, signedSum = 0;
    for (int i = 0; i < kBlock; ++i) {
        const uint8_t b = (i >= 148 && i < 156) ? ' ' : block[i];
        sum += b;
        signedSum += static_cast<int8_t>(b);
    }
    const int64_t stored = StoredChecksum(block);
    return stored == sum || stored == signedSum;
}

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
    constexpr int64_t kLargest = INT64_MAX / 2;
    const uint8_t* p = block + offset;
    if (p[0] & 0x80) {
        const bool negative = (p[0] & 0x40) != 0;
        uint64_t v = 0;
        for (int i = 1; i < width; ++i) {
            const uint8_t b = negative ? static_cast<uint8_t>(~p[i]) : p[i];
            if (v >> 54) return negative ? -kLargest : kLargest;
            v = v << 8 | b;
        }
        return negative ? -static_cast<int64_t>(v) - 1 : static_cast<int64_t>(v);
    }
    int64_t v = 0;
    for (int i = 0; i < width && p[i]; ++i) {
        if (p[i] < '0' || p[i] > '7') continue;
        if (v > (kLargest >> 3)) return kLargest;
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

std::string ListedName(const uint8_t* block) {
    size_t len = 0;
    while (len < 100 && block[len] != 0) ++len;
    size_t first = 0;
    while (first < len && block[first] <= ' ') ++first;
    while (len > first && block[len - 1] <= ' ') --len;
    return std::string(reinterpret_cast<const char*>(block) + first, len - first);
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

std::string MakeHeader(const std::string& Name, int64_t Size, int64_t MTime) {
    std::string h(kBlock, '\0');
    std::memcpy(h.data(), Name.data(), std::min<size_t>(Name.size(), 99));
    auto put = [&h](int at, const std::string& field) { h.replace(static_cast<size_t>(at), field.size(), field); };
    put(100, IntToOctal(0100666, 8, true));  // regular file, read and write for all
    put(108, IntToOctal(0, 8, true));
    put(116, IntToOctal(0, 8, true));
    put(124, IntToOctal(Size, 11, false) + " ");
    put(136, IntToOctal(MTime, 11, false) + " ");
    h[156] = '\0';
    const int64_t sum = ComputeChecksum(reinterpret_cast<const uint8_t*>(h.data()));
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06llo", static_cast<unsigned long long>(sum));
    put(148, std::string(digits, 6) + std::string("\0 ", 2));
    return h;
}

// ---- the walk -------------------------------------------------------------------------------

TWalker::Step TWalker::Next(TWalkEntry& e) {
    std::string longName;
    int64_t start = -1;
    int zeroBlocks = 0;
    uint8_t* h = e.Header.data();
    while (pos_ < end_) {
        if (pos_ + kBlock > end_) {
            // A header cut off by the end of the file: the archive was cut
            // short (zeros there are only padding that ran out).
            const int64_t left = end_ - pos_;
            const bool zeros = read_(pos_, h, left) == left && IsZeroBlock(h, static_cast<int>(left));
            pos_ = end_;
            return zeros ? Step::End : Step::CutHeader;
        }
        if (read_(pos_, h, kBlock) != kBlock) return Step::End;
        if (IsZeroBlock(h)) {
            // Two zero blocks end the archive; one alone is padding.
            if (++zeroBlocks == 2) return Step::End;
            pos_ += kBlock;
            start = -1;
            longName.clear();
            continue;
        }
        zeroBlocks = 0;
        if (!ChecksumOk(h)) {
            // A damaged block: the next header is looked for one block on.
            pos_ += kBlock;
            start = -1;
            longName.clear();
            continue;
        }
        const char type = Type(h);
        const int64_t size = Size(h);
        if (size < 0) return Step::End;
        const int64_t data = pos_ + kBlock;
        const bool cut = size > end_ - data;
        const int64_t next = cut ? end_ : data + Padded(size);
        if (cut && !IsRegular(type)) {
            pos_ = end_;
            return Step::CutRecord;
        }
        if (start < 0) start = pos_;
        if (IsNameRecord(type)) {
            // Records that describe the next header travel with it, so the
            // name they give never passes to a later entry.
            if (type != 'K') {
                std::string record(static_cast<size_t>(std::min<int64_t>(size, 65536)), '\0');
                const int64_t got = read_(data, reinterpret_cast<uint8_t*>(record.data()),
                                          static_cast<int64_t>(record.size()));
                record.resize(static_cast<size_t>(std::clamp<int64_t>(got, 0, static_cast<int64_t>(record.size()))));
                if (type == 'L')
                    longName = record.substr(0, record.find('\0'));
                else if (std::string path = PaxPath(record); !path.empty())
                    longName = path;
            }
            pos_ = next;
            continue;
        }
        e.Name = longName.empty() ? FullName(h) : longName;
        if (e.Name.empty()) return Step::End;
        e.Start = start;
        e.Pos = pos_;
        e.Data = data;
        e.Size = size;
        e.Next = next;
        e.Cut = cut;
        e.Type = type;
        pos_ = next;
        return Step::Entry;
    }
    return Step::End;
}

}  // namespace bramble::tar
