// The lister's cabinet walk (CFFILE entries in turn, on through a chain of
// cabinets) and its InstallShield-style compressed archive walk (MsGZ:
// directory records, then one record per file).
#include <algorithm>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {


constexpr int kCabFileStep = 16;
constexpr uint16_t kCabHasPrev = 0x01, kCabHasNext = 0x02, kCabReserve = 0x04;
constexpr uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr uint16_t kFolderPrevAndNext = 0xFFFF;
constexpr uint16_t kCabNameIsUtf = 0x80;

}  // namespace

// ---- cabinet ------------------------------------------------------------------

// Reads the cabinet header at base, the folder table behind it, and moves
// the walk to the first CFFILE. False (with the error reported) when the
// header or the folders cannot be read.
bool TDovex::ReadCabHeader(int64_t base) {
    uint8_t h[36];
    if (!ReadAt(base, h, sizeof h) || std::memcmp(h, "MSCF", 4) != 0) {
        ReportError(cab_.path, "", "0", 25108);
        return false;
    }
    const uint32_t firstFile = Le32(h + 16);
    const uint16_t folders = Le16(h + 26);
    cab_.filesLeft = Le16(h + 28);
    cab_.flags = Le16(h + 30);
    cab_.setId = Le16(h + 32);
    cab_.index = Le16(h + 34);
    cab_.nextName.clear();
    cab_.folderMethods.clear();

    // A NUL-terminated name of at most 255 bytes at pos.
    auto zstring = [&](int64_t& pos, std::string* out) {
        char buf[256];
        const int64_t got = ReadUpTo(pos, buf, sizeof buf);
        const char* nul = static_cast<const char*>(std::memchr(buf, 0, static_cast<size_t>(got)));
        if (!nul) return false;
        if (out) out->assign(buf, static_cast<size_t>(nul - buf));
        pos += nul - buf + 1;
        return true;
    };
    int64_t pos = base + sizeof h;
    int folderReserve = 0;
    bool ok = true;
    if (cab_.flags & kCabReserve) {
        uint8_t r[4];
        ok = ReadAt(pos, r, 4);
        folderReserve = r[2];
        pos += 4 + Le16(r);
    }
    if (ok && (cab_.flags & kCabHasPrev)) ok = zstring(pos, nullptr) && zstring(pos, nullptr);
    if (ok && (cab_.flags & kCabHasNext)) ok = zstring(pos, &cab_.nextName) && zstring(pos, nullptr);
    if (!ok) {
        ReportError(cab_.path, "", "0", 25108);
        return false;
    }
    for (int i = 0; i < folders; ++i) {
        uint8_t f[8];
        if (!ReadAt(pos, f, sizeof f)) break;
        cab_.folderMethods.push_back(Le16(f + 6));
        pos += sizeof f + folderReserve;
    }
    if (cab_.folderMethods.empty() && cab_.filesLeft > 0) {
        ReportError(cab_.path, "", "0", 25236);
        return false;
    }
    next_ = base + firstFile;
    scanPos_ = next_ + 1;
    return true;
}

void TDovex::SetupCab() {
    headerSize_ = 0;
    cab_ = CabWalk();
    cab_.path = archiveFile_;
    if (ReadCabHeader(scanPos_ - 1)) headerSize_ = kCabFileStep;
}

// Opens the cabinet that continues the set: only the file-name part of
// the stored name counts (the cabinet is looked for beside this one), and
// it must carry this set's id and the next index, which also keeps a chain
// from pointing back to a cabinet already walked.
bool TDovex::OpenNextCabinet() {
    EndScan();
    const std::string name = ExtractFileName(SlashToBackslash(cab_.nextName));
    if (name.empty()) {
        ReportError(cab_.path, "", "0", 25243);
        return false;
    }
    std::string path = ExtractFilePath(cab_.path) + name;
    if (!AskNextVolume(path, cab_.index + 1)) {
        cancel_ = true;
        return false;
    }
    if (!inFile_.Close()) RaiseError(cab_.path, "", "0", 25137);
    if (!inFile_.Open(path, os::OpenMode::Read) || inFile_.Size() < 0) RaiseError(path, "", "0", 25236);
    arcFileSize_ = inFile_.Size();
    scanEnd_ = arcFileSize_;
    const uint16_t setId = cab_.setId, index = cab_.index;
    cab_.path = path;
    if (!ReadCabHeader(0)) {
        EndScan();
        return false;
    }
    if (cab_.setId != setId || cab_.index != index + 1) {
        ReportError(path, "", "0", 25904);
        EndScan();
        return false;
    }
    volumeChanged_ = true;
    return true;
}

void TDovex::ParseCab() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    if (hdrRead_ < kCabFileStep || cab_.filesLeft == 0) {
        EndScan();
        return;
    }
    char raw[257];
    const int64_t got = ReadUpTo(at + kCabFileStep, raw, sizeof raw);
    const char* nul = static_cast<const char*>(std::memchr(raw, 0, static_cast<size_t>(got)));
    if (!nul) {
        ReportError(cab_.path, "", "0", 25108);
        EndScan();
        return;
    }
    next_ = at + kCabFileStep + (nul - raw) + 1;
    --cab_.filesLeft;

    const uint16_t folder = Le16(h + 8);
    const uint16_t attribs = Le16(h + 14);
    if (folder != kFolderContinuedFromPrev) {
        size_t index = folder;
        if (folder == kFolderContinuedToNext) index = cab_.folderMethods.empty() ? 0 : cab_.folderMethods.size() - 1;
        if (folder == kFolderPrevAndNext) index = 0;
        const uint16_t method = index < cab_.folderMethods.size() ? cab_.folderMethods[index] : 0;
        std::string name(raw, static_cast<size_t>(nul - raw));
        EntryInfo.FileName = (attribs & kCabNameIsUtf) ? SlashToBackslash(name) : ConvertStoredName(name);
        EntryInfo.Encrypted = false;
        EntryInfo.PackedSize = Le32(h);
        EntryInfo.UnpackedSize = Le32(h);
        EntryInfo.CRC = 0;
        EntryInfo.MethodCode = method;
        EntryInfo.MethodName = CompressMethodName(method, 0);
        EntryInfo.DateTime = FileDateToDateTime(uint32_t{Le16(h + 10)} << 16 | Le16(h + 12));
        EntryInfo.VersionMadeBy = 0;
        EntryInfo.VersionNeeded = 0;
        EntryInfo.Attr = attribs & 0x3F;
        EntryInfo.ExternalAttr = attribs & 0x3F;
        ListEntry(at);
    }
    if (cab_.filesLeft == 0 && !found_ && !cancel_) {
        if (cab_.flags & kCabHasNext)
            OpenNextCabinet();
        else
            EndScan();
    }
}

// ---- MsGZ ---------------------------------------------------------------------------
//
// Archive header (255 bytes): the file count at 12, the offset of the
// directory table at 41 and the directory count at 49. Each directory
// record: file count, record size and name length (16 bits each), then the
// name. The file records follow the directories: directory index at 1,
// size at 3, packed size at 7, date and time at 15, record size at 23,
// attributes at 25, name length at 29 and the name at 30.

namespace {
constexpr int kMsGZHeader = 255;
constexpr int kMsGZFileStep = 29;
constexpr int kMsGZNameAt = 30;
}  // namespace

void TDovex::SetupMsGZ() {
    headerSize_ = 0;
    msgzDirs_.clear();
    cab_ = CabWalk();
    const int64_t base = scanPos_ - 1;
    uint8_t h[kMsGZHeader];
    if (!ReadAt(base, h, sizeof h)) {
        ReportError(archiveFile_, "", "0", 25108);
        return;
    }
    cab_.filesLeft = Le16(h + 12);
    const uint16_t dirs = Le16(h + 49);
    int64_t pos = base + Le32(h + 41);
    for (uint32_t i = 0; i < dirs; ++i) {
        uint8_t d[6];
        if (!ReadAt(pos, d, sizeof d)) {
            ReportError(archiveFile_, "", "0", 25108);
            return;
        }
        const uint16_t nameLength = Le16(d + 4);
        std::string name(std::min<size_t>(nameLength, 255), '\0');
        name.resize(static_cast<size_t>(ReadUpTo(pos + 6, name.data(), static_cast<int64_t>(name.size()))));
        if (const size_t nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
        msgzDirs_.push_back({i, ConvertStoredName(name)});
        pos += std::max<int64_t>(Le16(d + 2), int64_t{6} + nameLength);
    }
    scanPos_ = pos + 1;
    headerSize_ = kMsGZFileStep;
}

void TDovex::ParseMsGZ() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    uint8_t nameLength = 0;
    if (hdrRead_ < kMsGZFileStep || cab_.filesLeft == 0 || !ReadAt(at + 29, &nameLength, 1)) {
        EndScan();
        return;
    }
    --cab_.filesLeft;
    std::string name(nameLength, '\0');
    name.resize(static_cast<size_t>(ReadUpTo(at + kMsGZNameAt, name.data(), nameLength)));
    next_ = at + std::max<int64_t>(Le16(h + 23), int64_t{kMsGZNameAt} + nameLength);

    const uint16_t dir = Le16(h + 1);
    std::string path = dir < msgzDirs_.size() ? msgzDirs_[dir].name : std::string();
    if (!path.empty() && path.back() != '\\') path.push_back('\\');
    EntryInfo.FileName = path + ConvertStoredName(name);
    EntryInfo.Encrypted = false;
    EntryInfo.UnpackedSize = Le32(h + 3);
    EntryInfo.PackedSize = Le32(h + 7);
    EntryInfo.CRC = 0;
    EntryInfo.MethodCode = 0;
    EntryInfo.MethodName = CompressMethodName(0, 0);
    EntryInfo.DateTime = FileDateToDateTime(SwapWords(Le32(h + 15)));
    EntryInfo.VersionMadeBy = 0;
    EntryInfo.VersionNeeded = 0;
    EntryInfo.Attr = h[25];
    EntryInfo.ExternalAttr = h[25];
    ListEntry(at);
}

}  // namespace bramble
