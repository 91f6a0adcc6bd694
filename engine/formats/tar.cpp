#include "engine/formats/tar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <type_traits>

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

// ---- pax records ----------------------------------------------------------------------------

namespace {

constexpr int64_t kLargest = INT64_MAX / 2;  // the number fields' bound: sums with positions cannot overflow

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, at most kLargest.
bool Decimal(std::string_view s, int64_t& v) {
    if (s.empty()) return false;
    v = 0;
    for (const char c : s) {
        if (!IsDigit(c)) return false;
        const int d = c - '0';
        if (v > (kLargest - d) / 10) return false;
        v = v * 10 + d;
    }
    return true;
}

// Seconds since 1970, maybe negative, maybe with a fraction, which rounds
// down ("-1.5" is -2). What follows the point is only ever a fraction, so
// it is not looked at closer than that.
bool Seconds(std::string_view s, int64_t& v) {
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    const size_t dot = s.find('.');
    if (!Decimal(s.substr(0, dot), v)) return false;
    const bool fraction = dot != std::string_view::npos && s.find_first_of("123456789", dot) != std::string_view::npos;
    if (negative) v = -v - (fraction ? 1 : 0);
    return true;
}

// A name value: up to a NUL (which would cut it where the reader does not
// expect), at most kMaxName bytes as long-name records are read.
std::string NameValue(std::string_view v) {
    v = v.substr(0, v.find('\0'));
    return std::string(v.substr(0, kMaxName));
}

template <typename T>
void Overlay(TPaxValue<T>& onto, const TPaxValue<T>& value) {
    if (value.state != TPaxValue<T>::Absent) onto = value;
}

// A value of its own, else (unless an empty one dropped it) the global one,
// else the header's.
template <typename T>
T Pick(const TPaxValue<T>& own, const TPaxValue<T>& global, T header) {
    if (own.state == TPaxValue<T>::Set) return own.value;
    if (own.state == TPaxValue<T>::Absent && global.state == TPaxValue<T>::Set) return global.value;
    return header;
}

// One GNU.sparse record; what does not hold marks the map damaged, the
// header itself stays readable (the entry's extent does not depend on it).
void TakeSparse(std::string_view key, std::string_view value, TSparseRecords& s) {
    s.Given = true;
    if (key == "name") {
        s.Name = NameValue(value);
        return;
    }
    int64_t n = 0;
    if (key == "map") {
        // "offset,length,offset,length..."
        s.MapGiven = true;
        s.Map.clear();
        bool offset = true;
        for (size_t at = 0; !value.empty();) {
            const size_t comma = value.find(',', at);
            if (!Decimal(value.substr(at, comma == std::string_view::npos ? comma : comma - at), n) ||
                (offset && s.Map.size() >= kMaxSparseChunks)) {
                s.Damaged = true;
                return;
            }
            if (offset)
                s.Map.push_back({n, -1});
            else
                s.Map.back().Length = n;
            offset = !offset;
            if (comma == std::string_view::npos) break;
            at = comma + 1;
        }
        if (!offset) s.Damaged = true;  // an offset without its length
        return;
    }
    int64_t* field = key == "major"       ? &s.Major
                     : key == "minor"     ? &s.Minor
                     : key == "realsize"  ? &s.RealSize
                     : key == "size"      ? &s.OldSize
                     : key == "numblocks" ? &s.NumBlocks
                                          : nullptr;
    const bool pair = key == "offset" || key == "numbytes";
    if (!field && !pair) return;
    if (value.empty() && field) return;
    if (!Decimal(value, n)) {
        s.Damaged = true;
    } else if (field) {
        *field = n;
    } else if (key == "offset") {
        s.PairsGiven = true;
        if (s.Map.size() >= kMaxSparseChunks)
            s.Damaged = true;
        else
            s.Map.push_back({n, -1});
    } else if (s.Map.empty() || s.Map.back().Length >= 0) {
        // A length completes the offset before it.
        s.Damaged = true;
    } else {
        s.Map.back().Length = n;
    }
}

bool TakeRecord(std::string_view key, std::string_view value, TPaxRecords& out) {
    constexpr std::string_view kSparse = "GNU.sparse.";
    if (key == "path") {
        std::string name = NameValue(value);
        out.Path = name.empty() ? TPaxValue<std::string>{TPaxValue<std::string>::Cleared, {}}
                                : TPaxValue<std::string>{TPaxValue<std::string>::Set, std::move(name)};
    } else if (key == "size" || key == "mtime") {
        TPaxValue<int64_t>& field = key == "size" ? out.Size : out.MTime;
        if (value.empty()) {
            field = {TPaxValue<int64_t>::Cleared, 0};
            return true;
        }
        // A size that is no number leaves the entry's extent unknown; a time
        // that is none leaves the header's.
        int64_t v = 0;
        if (key == "size" ? !Decimal(value, v) : !Seconds(value, v)) return key != "size";
        field = {TPaxValue<int64_t>::Set, v};
    } else if (key.substr(0, kSparse.size()) == kSparse) {
        TakeSparse(key.substr(kSparse.size()), value, out.Sparse);
    }
    return true;
}

}  // namespace

bool ParsePax(const std::string& Data, TPaxRecords& Out) {
    size_t pos = 0;
    while (pos < Data.size()) {
        // "LEN keyword=value\n", LEN counting the whole record.
        size_t len = 0, i = pos;
        while (i < Data.size() && i - pos < 9 && IsDigit(Data[i])) len = len * 10 + static_cast<size_t>(Data[i++] - '0');
        if (i == pos || i >= Data.size() || Data[i] != ' ' || len <= i - pos + 1 || len > Data.size() - pos ||
            Data[pos + len - 1] != '\n')
            return false;
        const std::string_view record(Data.data() + i + 1, pos + len - 1 - (i + 1));
        pos += len;
        const size_t eq = record.find('=');
        if (eq == std::string_view::npos || !TakeRecord(record.substr(0, eq), record.substr(eq + 1), Out)) return false;
    }
    return true;
}

void OverlayPax(TPaxRecords& Own, TPaxRecords&& Header) {
    Overlay(Own.Path, Header.Path);
    Overlay(Own.Size, Header.Size);
    Overlay(Own.MTime, Header.MTime);
    if (Header.Sparse.Given) Own.Sparse = std::move(Header.Sparse);
}

bool MergeGlobals(TPaxRecords& Globals, const TPaxRecords& Header) {
    if (Header.Path.state == TPaxValue<std::string>::Set && Header.Path.value.size() > kMaxGlobalPath) return false;
    auto merge = [](auto& global, const auto& value) {
        using V = std::decay_t<decltype(value)>;
        if (value.state == V::Set)
            global = value;
        else if (value.state == V::Cleared)
            global = V{};
    };
    merge(Globals.Path, Header.Path);
    merge(Globals.Size, Header.Size);
    merge(Globals.MTime, Header.MTime);
    return true;
}

TPaxEntry ApplyPax(const uint8_t* Header, std::string BaseName, TPaxRecords Own, const TPaxRecords& Globals) {
    TPaxEntry e;
    e.Name = Pick(Own.Path, Globals.Path, std::move(BaseName));
    e.Size = Pick(Own.Size, Globals.Size, Size(Header));
    e.MTime = Pick(Own.MTime, Globals.MTime, MTime(Header));
    if (IsRegular(Type(Header)) && Own.Sparse.Given) {
        e.Sparse = std::move(Own.Sparse);
        if (!e.Sparse.Name.empty()) e.Name = e.Sparse.Name;
    }
    return e;
}

// ---- sparse maps ----------------------------------------------------------------------------

namespace {

// The 1.0 map in front of the data: the count of chunks, then each chunk's
// offset and length, one decimal number a line; read a buffer at a time,
// no further than the entry's data.
class TMapReader {
public:
    TMapReader(int64_t At, int64_t DataEnd, int64_t FileEnd, const ReadAtFn& Read)
        : at_(At), dataEnd_(DataEnd), limit_(std::min(DataEnd, FileEnd)), read_(Read) {}
    // The next number; Damaged, or Cut when the file ends first.
    TSparseCheck Number(int64_t& v) {
        std::string digits;
        for (;;) {
            if (next_ == held_.size() && !Fill()) return cut_ ? TSparseCheck::Cut : TSparseCheck::Damaged;
            const char c = static_cast<char>(held_[next_++]);
            ++used_;
            if (c == '\n') break;
            // Leading zeros aside, no number kept has more than 19 digits.
            if (!IsDigit(c) || digits.size() > 40) return TSparseCheck::Damaged;
            digits.push_back(c);
        }
        return Decimal(digits, v) ? TSparseCheck::Ok : TSparseCheck::Damaged;
    }
    int64_t Used() const { return used_; }

private:
    bool Fill() {
        const int64_t want = std::min<int64_t>(limit_ - at_, 4096);
        if (want <= 0) {
            cut_ = at_ < dataEnd_;  // the file ended before the data did
            return false;
        }
        held_.resize(static_cast<size_t>(want));
        const int64_t got = read_(at_, held_.data(), want);
        if (got <= 0) {
            cut_ = true;
            return false;
        }
        held_.resize(static_cast<size_t>(got));
        at_ += got;
        next_ = 0;
        return true;
    }
    int64_t at_, dataEnd_, limit_;
    const ReadAtFn& read_;
    std::vector<uint8_t> held_;
    size_t next_ = 0;
    int64_t used_ = 0;
    bool cut_ = false;
};

}  // namespace

TSparseCheck SparseMap(const TSparseRecords& Records, int64_t Data, int64_t Size, int64_t End, const ReadAtFn& Read,
                       std::vector<TSparseChunk>& Map, int64_t& ChunkData) {
    Map.clear();
    ChunkData = Data;
    const TSparseRecords& r = Records;
    if (r.Major > 1 || (r.Major == 1 && r.Minor != 0) || (r.Major <= 0 && r.Minor > 1)) return TSparseCheck::Unsupported;
    if (r.Damaged || r.FileSize() < 0 || Size < 0) return TSparseCheck::Damaged;
    int64_t stored = Size;  // what the chunks' bytes may take of the data
    if (r.Major == 1) {
        TMapReader in(Data, Data + Size, End, Read);
        int64_t count = 0;
        if (const TSparseCheck c = in.Number(count); c != TSparseCheck::Ok) return c;
        // Each chunk takes at least four bytes of the map ("0\n0\n").
        if (count > static_cast<int64_t>(kMaxSparseChunks) || count > Size / 4) return TSparseCheck::Damaged;
        for (int64_t i = 0; i < count; ++i) {
            TSparseChunk c;
            if (const TSparseCheck k = in.Number(c.Offset); k != TSparseCheck::Ok) return k;
            if (const TSparseCheck k = in.Number(c.Length); k != TSparseCheck::Ok) return k;
            Map.push_back(c);
        }
        // The map fills whole blocks.
        const int64_t mapBytes = Padded(in.Used());
        if (mapBytes > Size) return TSparseCheck::Damaged;
        ChunkData = Data + mapBytes;
        stored = Size - mapBytes;
    } else {
        // Exactly one of the two forms of 0.x; every offset with its length.
        if (r.MapGiven == r.PairsGiven) return TSparseCheck::Damaged;
        Map = r.Map;
        if (r.NumBlocks >= 0 && r.NumBlocks != static_cast<int64_t>(Map.size())) return TSparseCheck::Damaged;
    }
    // In file order, apart, inside the file, and no more data than stored.
    const int64_t fileSize = r.FileSize();
    int64_t end = 0, total = 0;
    for (const TSparseChunk& c : Map) {
        if (c.Length < 0 || c.Offset < end || c.Offset > fileSize || c.Length > fileSize - c.Offset ||
            c.Length > stored - total)
            return TSparseCheck::Damaged;
        end = c.Offset + c.Length;
        total += c.Length;
    }
    return TSparseCheck::Ok;
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

int64_t DataStart(const uint8_t* Header, int64_t Pos, int64_t End, const ReadAtFn& Read) {
    int64_t data = Pos + kBlock;
    if (Type(Header) != kOldSparse || Header[482] == 0) return data;
    // The map goes on in blocks of its own: the data, and the header after
    // it, lie that much further on.
    uint8_t more[kBlock];
    do {
        if (End - data < kBlock || Read(data, more, kBlock) != kBlock) return -1;
        data += kBlock;
    } while (more[504] != 0);
    return data;
}

TWalker::Step TWalker::Next(TWalkEntry& e) {
    TPaxRecords own;  // what the records before the next header say about it
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
            own = {};
            continue;
        }
        zeroBlocks = 0;
        if (!ChecksumOk(h)) {
            // A damaged block: the next header is looked for one block on.
            pos_ += kBlock;
            start = -1;
            own = {};
            continue;
        }
        const char type = Type(h);
        // Records that describe other headers have their own header's size;
        // pax records give an entry's size, name and time.
        const bool record = IsNameRecord(type) || type == 'g';
        TPaxEntry view;
        if (!record) view = ApplyPax(h, FullName(h), std::move(own), globals_);
        const int64_t size = record ? Size(h) : view.Size;
        if (size < 0) return Step::End;
        const int64_t data = DataStart(h, pos_, end_, read_);
        if (data < 0) {
            pos_ = end_;
            return Step::CutRecord;
        }
        const bool cut = size > end_ - data;
        const int64_t next = cut ? end_ : data + Padded(size);
        if (cut && !IsRegular(type)) {
            pos_ = end_;
            return Step::CutRecord;
        }
        if (start < 0) start = pos_;
        if (record && type != 'K') {
            // Records that describe the next header travel with it, so what
            // they say never passes to a later entry.
            const bool pax = IsPaxHeader(type);
            if (pax && size > kMaxPaxData) {
                pos_ = end_;
                return Step::BadRecord;
            }
            std::string text(static_cast<size_t>(pax ? size : std::min<int64_t>(size, kMaxName)), '\0');
            const int64_t got = read_(data, reinterpret_cast<uint8_t*>(text.data()), static_cast<int64_t>(text.size()));
            text.resize(static_cast<size_t>(std::clamp<int64_t>(got, 0, static_cast<int64_t>(text.size()))));
            if (type == 'L') {
                if (std::string name = text.substr(0, text.find('\0')); !name.empty())
                    own.Path = {TPaxValue<std::string>::Set, std::move(name)};
            } else {
                TPaxRecords header;
                if (static_cast<int64_t>(text.size()) != size || !ParsePax(text, header) ||
                    (type == 'g' && !MergeGlobals(globals_, header))) {
                    pos_ = end_;
                    return Step::BadRecord;
                }
                if (type == 'x') OverlayPax(own, std::move(header));
            }
        }
        if (record && type != 'g') {
            pos_ = next;
            continue;
        }
        if (record) {
            // A global header is an entry of its own; records before it
            // describe nothing the walk gives.
            view = ApplyPax(h, FullName(h), {}, {});
            own = {};
        }
        e.Name = std::move(view.Name);
        if (e.Name.empty()) return Step::End;
        e.Start = start;
        e.Pos = pos_;
        e.Data = data;
        e.Size = size;
        e.Next = next;
        e.Cut = cut;
        e.Type = type;
        e.MTime = view.MTime;
        e.Sparse = std::move(view.Sparse);
        pos_ = next;
        return Step::Entry;
    }
    return Step::End;
}

}  // namespace bramble::tar
