#include "engine/formats/lha.h"

#include <algorithm>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/helpers.h"
#include "engine/core/streams.h"

namespace bramble {

namespace lha {

namespace {

// A level-2 header's 16-bit size reaches this far at most. Some writers
// (OS-9) store a size a little short of the extended headers that really
// follow, so the chain may run on past it up to here.
constexpr int64_t kLevel2Reach = 0x10000;

// Extended-header types.
constexpr uint8_t kExtCommon = 0x00;     // CRC-16 of the header itself
constexpr uint8_t kExtName = 0x01;
constexpr uint8_t kExtDirectory = 0x02;  // separators 0xFF (or '/')

// The first byte of a double-byte character, taken as widely as LHA
// readers of the time took it (a little beyond Shift-JIS's 0x81-0x9F and
// 0xE0-0xFC); its second byte may look like a separator and is never one.
bool IsLeadByte(unsigned char c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFD); }

// A stored part as LHA readers take it: it ends at a NUL, since Amiga
// archivers put the file's comment behind one (lha, lhasa and lsar all cut
// there; a blank in its place would put the comment into the file's name),
// and blanks around it are dropped.
std::string CleanPart(std::string raw) {
    const size_t nul = raw.find('\0');
    if (nul != std::string::npos) raw.erase(nul);
    const size_t first = raw.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const size_t last = raw.find_last_not_of(' ');
    return raw.substr(first, last - first + 1);
}

}  // namespace

TReadAt StreamReader(TStream& Stream) {
    return [&Stream](int64_t Offset, void* Buffer, int64_t Count) -> int64_t {
        if (Offset < 0 || Count <= 0 || !Stream.Seek(Offset)) return 0;
        const int64_t got = Stream.Read(Buffer, Count);
        return got < 0 ? 0 : got;
    };
}

bool IsMethodId(const uint8_t* P) {
    if (P[0] != '-' || P[4] != '-') return false;
    for (int i = 1; i < 4; ++i)
        if (P[i] < 0x20 || P[i] > 0x7E) return false;
    return true;
}

bool IsLhMethod(const char* Id) { return Id[0] == '-' && Id[1] == 'l' && Id[2] == 'h' && Id[4] == '-'; }

bool IsDirectoryMethod(const char* Id) { return std::memcmp(Id, "-lhd-", 5) == 0; }

TMethod MethodOf(const char* Id) {
    if (!IsLhMethod(Id)) return TMethod::Unsupported;
    switch (Id[3]) {
        case '0': return TMethod::Stored;
        case '1': return TMethod::Lh1;
        case '4': return TMethod::Lh4;
        case '5': return TMethod::Lh5;
        case '6': return TMethod::Lh6;
        case 'd': return TMethod::Directory;
        default: return TMethod::Unsupported;
    }
}

std::array<char, 5> MethodId(char Digit) { return {'-', 'l', 'h', Digit, '-'}; }

namespace {

// Turns '/' and 0xFF into '\\' outside double-byte characters; true when
// the text ends with a separator (not with a second byte that looks like
// one).
bool ConvertSeparators(std::string& s) {
    bool endsWithSeparator = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        endsWithSeparator = false;
        if (IsLeadByte(c) && i + 1 < s.size()) {
            ++i;  // the pair stays as it is
        } else if (c == '/' || c == 0xFF || c == '\\') {
            s[i] = '\\';
            endsWithSeparator = true;
        }
    }
    return endsWithSeparator;
}

}  // namespace

std::string StoredName(const std::string& Directory, const std::string& Name) {
    std::string full = CleanPart(Directory);
    if (!full.empty() && !ConvertSeparators(full)) full.push_back('\\');
    std::string name = CleanPart(Name);
    ConvertSeparators(name);
    // Whole, however long: a name cut short may end on a separator (a
    // folder, not the file) or equal another entry's.
    return full + name;
}

std::string NameToAnsi(const std::string& Stored) {
    // Printable ASCII is the same in the OEM and the ANSI code page.
    if (std::all_of(Stored.begin(), Stored.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) return Stored;
    std::string out, run;
    auto flush = [&] {
        if (!run.empty()) out += OemToAnsiName(run);
        run.clear();
    };
    for (size_t i = 0; i < Stored.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(Stored[i])) && i + 1 < Stored.size()) {
            flush();
            out.push_back(Stored[i]);
            out.push_back(Stored[++i]);
        } else {
            run.push_back(Stored[i]);
        }
    }
    flush();
    return out;
}

int64_t FirstHeaderOffset(const TReadAt& Read, int64_t Start) {
    uint8_t first = 1;
    if (Read(Start, &first, 1) == 1 && first == 0) return Start + kPrefixSize;
    return Start;
}

TParse ParseHeader(const TReadAt& Read, int64_t Size, int64_t At, THeader& H) {
    H = THeader();
    H.Offset = At;
    uint8_t b[kBaseSize];
    if (At < 0 || At + kBaseSize > Size || Read(At, b, kBaseSize) != kBaseSize) return TParse::End;
    if (!IsMethodId(b + kMethodOffset)) return TParse::End;
    H.Level = b[20];
    if (b[0] == 0 && H.Level != 2) return TParse::End;  // the end marker
    if (H.Level > 2) return TParse::Level;

    std::memcpy(H.Method, b + kMethodOffset, kMethodSize);
    H.StoredPacked = Le32(b + 7);
    H.UnpackedSize = Le32(b + 11);
    H.Stamp = Le32(b + 15);
    H.Attr = b[19];

    std::string name, directory;
    int64_t extStart = 0, extEnd = 0;  // where the extended headers lie
    uint16_t extSize = 0;              // size of the first one
    if (H.Level < 2) {
        const int total = b[0] + 2;
        // Level 0: base, name, CRC. Level 1 adds the OS id and the size of
        // the first extended header. Writers may keep more of their own
        // between the CRC and the end of the header.
        const int fixed = H.Level == 0 ? kLevel0Fixed : kLevel0Fixed + 3;
        if (total < fixed) return TParse::Corrupt;
        if (At + total > Size) return TParse::Corrupt;
        uint8_t base[257];
        if (Read(At, base, total) != total) return TParse::Corrupt;
        // A name running past the header leaves no CRC to be had.
        const int nameLength = base[21];
        if (nameLength > total - fixed) return TParse::Corrupt;
        name.assign(reinterpret_cast<const char*>(base + kBaseSize), static_cast<size_t>(nameLength));
        H.Crc = Le16(base + kBaseSize + nameLength);
        H.HeaderLength = total;
        if (H.Level == 1) {
            H.OsId = base[total - 3];
            extSize = Le16(base + total - 2);
            extStart = At + total;
            // The extended headers count in the packed size.
            extEnd = std::min<int64_t>(At + total + H.StoredPacked, Size);
        }
    } else {
        // The 16-bit size, not its low byte (which may well be 0).
        const int total = Le16(b);
        if (total < kBaseSize + 4) return TParse::Corrupt;
        if (At + total > Size) return TParse::Corrupt;
        uint8_t tail[5];  // CRC-16, OS id, first extended-header size
        if (Read(At + 21, tail, 5) != 5) return TParse::Corrupt;
        H.Crc = Le16(tail);
        H.OsId = tail[2];
        extSize = Le16(tail + 3);
        extStart = At + kBaseSize + 4;
        extEnd = std::min<int64_t>(At + kLevel2Reach, Size);
        H.HeaderLength = total;
    }

    // The chain: each header's size covers its type byte, its data and the
    // size of the next one, so a size of 1 or 2 cannot be. A size of 256 or
    // more is read like any other, within the file (and at level 2 the
    // header's reach): a long name or folder needs one, and lha and lhasa
    // read it too.
    int64_t pos = extStart;
    std::vector<uint8_t> ext;
    bool sawName = false;
    std::string firstData;
    uint8_t firstType = kExtCommon;
    bool first = true;
    while (extSize != 0) {
        if (extSize < 3 || pos + extSize > extEnd) return TParse::Corrupt;
        ext.resize(extSize);
        if (Read(pos, ext.data(), extSize) != extSize) return TParse::Corrupt;
        const std::string data(reinterpret_cast<const char*>(ext.data() + 1), extSize - 3u);
        if (first) {
            firstType = ext[0];
            firstData = data;
            first = false;
        }
        if (ext[0] == kExtName) {
            // The name header names the entry wherever it stands, at level
            // 1 as at 2 (lha for Unix writes the common header first).
            name = data;
            sawName = true;
        } else if (ext[0] == kExtDirectory) {
            directory = data;
        }
        pos += extSize;
        extSize = Le16(ext.data() + ext.size() - 2);
    }
    const int64_t extTotal = pos - extStart;

    if (H.Level == 2 && !sawName && !first && firstType != kExtCommon && firstType != kExtDirectory) {
        // Writers that give the name no type of its own put it first; the
        // common header (a CRC) and the directory are never the name.
        name = firstData;
    }

    if (H.Level == 0) {
        H.DataOffset = At + H.HeaderLength;
        H.PackedSize = H.StoredPacked;
    } else if (H.Level == 1) {
        H.HeaderLength += extTotal;
        H.DataOffset = At + H.HeaderLength;
        H.PackedSize = int64_t{H.StoredPacked} - extTotal;
    } else {
        // The chain decides where the data starts when it runs on past the
        // stored size.
        if (extTotal > 0 && pos > At + H.HeaderLength) H.HeaderLength = pos - At;
        H.DataOffset = At + H.HeaderLength;
        H.PackedSize = H.StoredPacked;
    }
    // A header cut off by the end of the file holds no entry.
    if (H.DataOffset > Size) return TParse::Corrupt;
    H.Next = H.DataOffset + H.PackedSize;
    H.Name = StoredName(directory, name);
    return TParse::Ok;
}

bool EndsHere(const TReadAt& Read, int64_t Size, int64_t At) {
    if (At >= Size) return true;
    uint8_t first = 1;
    return Read(At, &first, 1) == 1 && first == 0;
}

TParse ParseHeader(const uint8_t* Data, size_t Size, int64_t At, THeader& H) {
    TReadAt read = [Data, Size](int64_t Offset, void* Buffer, int64_t Count) -> int64_t {
        if (Offset < 0 || Count <= 0 || static_cast<uint64_t>(Offset) >= Size) return 0;
        const int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(Size) - Offset);
        std::memcpy(Buffer, Data + Offset, static_cast<size_t>(n));
        return n;
    };
    return ParseHeader(read, static_cast<int64_t>(Size), At, H);
}

uint8_t HeaderChecksum(const uint8_t* Header, size_t Size) {
    unsigned sum = 0;
    for (size_t i = 2; i < Size; ++i) sum += Header[i];
    return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> MakeLevel0(const TLevel0& H) {
    if (H.Name.empty() || H.Name.size() > kMaxLevel0Name) return {};
    const size_t n = H.Name.size();
    std::vector<uint8_t> h(static_cast<size_t>(kLevel0Fixed) + n, 0);
    h[0] = static_cast<uint8_t>(kBaseSize + n);
    const std::array<char, 5> id = MethodId(H.Digit);
    std::memcpy(&h[kMethodOffset], id.data(), id.size());
    PutLe32(&h[7], H.PackedSize);
    PutLe32(&h[11], H.UnpackedSize);
    PutLe32(&h[15], H.DosDate);
    h[19] = H.Attr;
    h[20] = 0;
    h[21] = static_cast<uint8_t>(n);
    std::memcpy(&h[kBaseSize], H.Name.data(), n);
    PutLe16(&h[kBaseSize + n], H.Crc);
    h[1] = HeaderChecksum(h.data(), h.size());
    return h;
}

}  // namespace lha

}  // namespace bramble
