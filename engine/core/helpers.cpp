// Numbers, octal fields, small file-system helpers and header strings.
#include "engine/core/helpers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A path that names no directory of its own to create: empty, only
// separators ("\", "\\" of a UNC prefix, "/" natively), or a drive ("C:").
bool IsRoot(const std::string& dir) {
    if (std::all_of(dir.begin(), dir.end(), IsSeparator)) return true;
    return dir.size() == 2 && dir[1] == ':';
}

void FillSearchRec(TSearchRecDos& Rec, const os::FindData& fd) {
    Rec.Time = FileTimeToDosDate(fd.lastWrite);
    Rec.Size = fd.size;
    Rec.Attr = fd.attributes;
    Rec.Name = fd.name.substr(0, 260);
}

// Steps over entries with attributes the caller did not ask for.
int SkipExcluded(TSearchRecDos& Rec, os::FindData& fd, int rc) {
    while (rc == 0 && (fd.attributes & Rec.ExcludeAttr) != 0) rc = Rec.Finder->Next(fd);
    if (rc == 0) FillSearchRec(Rec, fd);
    return rc;
}

}  // namespace

// ---- octal -----------------------------------------------------------------

std::string IntToOctal(int64_t Value, int Width, bool Terminate) {
    if (Width <= 0) return std::string();
    const std::string tail = Terminate ? std::string(" \0", 2) : std::string();
    const size_t width = static_cast<size_t>(Width);
    if (tail.size() >= width) return tail.substr(tail.size() - width);
    const size_t area = width - tail.size();

    std::string digits;
    uint64_t v = Value < 0 ? 0 : static_cast<uint64_t>(Value);
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + (v & 7)));
        v >>= 3;
    } while (v != 0);
    if (digits.size() > area) digits.erase(0, digits.size() - area);
    return std::string(area - digits.size(), ' ') + digits + tail;
}

int64_t OctalToInt(std::string_view Text) {
    constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t value = 0;
    for (char c : Text) {
        if (c < '0' || c > '7') continue;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (kMax - digit) / 8) return static_cast<int64_t>(kMax);
        value = value * 8 + digit;
    }
    return static_cast<int64_t>(value);
}

// ---- numbers ---------------------------------------------------------------

bool IsDigits(std::string_view Text) {
    return std::all_of(Text.begin(), Text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int MinInt(int A, int B) { return A < B ? A : B; }

int PercentOf(int64_t Part, int64_t Whole) {
    if (Whole <= 0) return 0;
    // nearbyint in the default rounding mode rounds halves to even, as the
    // class library's Round does.
    const double percent = std::nearbyint(static_cast<double>(Part) * 100.0 / static_cast<double>(Whole));
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

bool IsGZipSignature(uint16_t Signature) {
    switch (Signature) {
        case 0x8B1F:  // gzip
        case 0x9E1F:  // old gzip
        case 0x9D1F:  // compress
        case 0xA01F:  // compress, LZH variant
        case 0x1E1F:  // pack
            return true;
        default:
            return false;
    }
}

// ---- files -----------------------------------------------------------------

bool DirExists(const std::string& Path) {
    const uint32_t attr = os::GetAttributes(Path);
    return attr != os::kInvalidAttributes && (attr & os::faDirectory) != 0;
}

bool FindFileExists(const std::string& Path) {
    os::Finder finder;
    os::FindData fd;
    const bool found = finder.First(Path, fd) == 0;
    finder.Close();
    return found;
}

bool IsWritableFile(const std::string& Path) {
    const uint32_t attr = os::GetAttributes(Path);
    if (attr == os::kInvalidAttributes) return false;
    return (attr & (os::faReadOnly | os::faHidden | os::faSysFile | os::faVolumeID | os::faDirectory)) == 0;
}

int FindFirstDos(const std::string& Path, uint32_t Attr, TSearchRecDos& Rec) {
    FindCloseDos(Rec);
    Rec.ExcludeAttr = ~Attr & 0x1E;
    Rec.Finder = std::make_unique<os::Finder>();
    os::FindData fd;
    const int rc = SkipExcluded(Rec, fd, Rec.Finder->First(Path, fd));
    if (rc != 0) FindCloseDos(Rec);
    return rc;
}

int FindNextDos(TSearchRecDos& Rec) {
    if (!Rec.Finder) return 18;  // no more files: nothing is open
    os::FindData fd;
    return SkipExcluded(Rec, fd, Rec.Finder->Next(fd));
}

void FindCloseDos(TSearchRecDos& Rec) {
    if (Rec.Finder) Rec.Finder->Close();
    Rec.Finder.reset();
}

void ForceDirs(const std::string& Path) {
    if (Path.empty()) throw Exception(MessageText(25156));
    // A path the platform cannot hold gets no folder at all, rather than
    // the part of it that fits.
    if (Path.size() > os::MaxPathLength()) return;
    // Where the path may be cut into folders: its separators and a drive's
    // colon, never the trail byte of a double-byte character.
    std::vector<size_t> cuts;
    for (size_t i = 0; i < Path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Path[i]);
        if (os::IsLeadByte(c) && i + 1 < Path.size())
            ++i;
        else if (IsSeparator(static_cast<char>(c)) || c == ':')
            cuts.push_back(i);
    }
    // Up from the whole path to the first folder that is there, then down
    // again making the missing ones, in one buffer: a deep path costs its
    // depth in calls, not its depth times its length in copies and stack.
    std::string dir = Path;
    size_t len = Path.size();
    size_t k = cuts.size();  // the cuts that lie inside dir
    std::vector<size_t> missing;  // lengths of the folders to make, deepest first
    for (;;) {
        // A trailing separator names the same folder.
        while (len > 1 && k > 0 && cuts[k - 1] == len - 1 && IsSeparator(Path[len - 1])) {
            --len;
            --k;
        }
        dir.resize(len);
        if (IsRoot(dir) || DirExists(dir)) break;
        missing.push_back(len);
        if (k == 0 || cuts[k - 1] + 1 >= len) break;
        len = cuts[k - 1] + 1;
    }
    // Failures are left for the caller's next file operation to find.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        dir.append(Path, dir.size(), *it - dir.size());
        os::DirCreate(dir);
    }
}

std::string GetSystemTempDir() { return os::GetTempDirectory(); }

// ---- header strings ----------------------------------------------------------

std::string ReadZString(TStream& F, int64_t& Offset) {
    char buffer[256];
    F.Seek(Offset);
    const int64_t got = std::max<int64_t>(F.Read(buffer, sizeof buffer), 0);
    const char* begin = buffer;
    const char* end = std::find(begin, begin + got, '\0');
    std::string text(begin, end);
    Offset += static_cast<int64_t>(text.size()) + 1;
    return text;
}

std::string ReadFixedString(TStream& F, int64_t& Offset, int Count) {
    std::string text;
    if (Count > 0) {
        text.resize(static_cast<size_t>(Count));
        F.Seek(Offset);
        const int64_t got = std::max<int64_t>(F.Read(text.data(), Count), 0);
        text.resize(static_cast<size_t>(got));
        std::replace(text.begin(), text.end(), '\0', ' ');
        Offset += Count;
    }
    return text;
}

}  // namespace bramble
