// The lister's cabinet walk (CFFILE entries in turn, on through a chain of
// cabinets) and its InstallShield-style compressed archive walk (MsGZ:
// directory records, then one record per file).
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/cab.h"

namespace bramble {

// Reads the cabinet header at base, the folder table behind it, and moves
// the walk to the first CFFILE. False (with the error reported) when the
// tables cannot be read or contradict each other.
bool TDovex::ReadCabHeader(int64_t base) {
    const cabfmt::Survey s = cabfmt::SurveyCabinet(
        static_cast<uint64_t>(std::max<int64_t>(arcFileSize_ - base, 0)), [&](uint64_t at, void* buffer, size_t count) {
            const int64_t got = ReadUpTo(base + static_cast<int64_t>(at), buffer, static_cast<int64_t>(count));
            return got > 0 ? static_cast<size_t>(got) : size_t{0};
        });
    const cabfmt::Header& h = s.header;
    // A file table that lies part of the way is listed up to the lie.
    if (!s.usable || s.files.size() < h.cFiles) ReportError(cab_.path, "", "0", 25108);
    if (!s.usable) return false;
    cab_.filesLeft = static_cast<uint32_t>(s.files.size());
    cab_.flags = h.flags;
    cab_.setId = h.setID;
    cab_.index = h.iCabinet;
    cab_.nextName = h.nextCabinet;
    cab_.folderMethods.clear();
    cab_.folderPacked.clear();
    cab_.folderUnpacked.clear();
    for (const cabfmt::Folder& folder : s.folders) {
        cab_.folderMethods.push_back(folder.typeCompress);
        SumCabFolder(base, h, folder);
    }
    next_ = base + h.coffFiles;
    scanPos_ = next_ + 1;
    return true;
}

// Cabinets keep no packed size per file, only per data block of a folder:
// the folder's blocks are summed (headers only, nothing is decompressed)
// so that each file can be given its share. A block that cannot be read
// ends the sum with what was counted.
void TDovex::SumCabFolder(int64_t base, const cabfmt::Header& h, const cabfmt::Folder& folder) {
    int64_t packed = 0, unpacked = 0;
    int64_t at = base + folder.coffCabStart;
    for (unsigned b = 0; b < folder.cCFData && at < arcFileSize_; ++b) {
        uint8_t d[cabfmt::kDataFixed];
        cabfmt::DataBlock block;
        if (!ReadAt(at, d, sizeof d) || !cabfmt::ParseDataBlock(d, sizeof d, block)) break;
        packed += block.cbData;
        unpacked += block.cbUncomp;
        at += static_cast<int64_t>(sizeof d) + h.cbCFData + block.cbData;
    }
    cab_.folderPacked.push_back(packed);
    cab_.folderUnpacked.push_back(unpacked);
}

void TDovex::SetupCab() {
    headerSize_ = 0;
    cab_ = CabWalk();
    cab_.path = archiveFile_;
    if (ReadCabHeader(scanPos_ - 1)) headerSize_ = cabfmt::kFileFixed;
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
    if (hdrRead_ < static_cast<int64_t>(cabfmt::kFileFixed) || cab_.filesLeft == 0) {
        EndScan();
        return;
    }
    uint8_t raw[cabfmt::kFileMax];
    const int64_t got = ReadUpTo(at, raw, sizeof raw);
    cabfmt::File file;
    if (got <= 0 || !cabfmt::ParseFile(raw, static_cast<size_t>(got), file)) {
        ReportError(cab_.path, "", "0", 25108);
        EndScan();
        return;
    }
    next_ = at + static_cast<int64_t>(file.size);
    --cab_.filesLeft;

    // An entry carried over from the previous cabinet was listed there.
    if (file.iFolder != cabfmt::kContinuedFromPrev) {
        const int index = cabfmt::FolderOf(file.iFolder, static_cast<uint16_t>(cab_.folderMethods.size()));
        const uint16_t method = index >= 0 ? cab_.folderMethods[static_cast<size_t>(index)] : 0;
        EntryInfo.FileName =
            (file.attribs & cabfmt::kNameIsUtf) ? SlashToBackslash(file.name) : ConvertStoredName(file.name);
        EntryInfo.Encrypted = false;
        EntryInfo.PackedSize = file.cbFile;
        if (index >= 0 && cab_.folderUnpacked[static_cast<size_t>(index)] > 0) {
            const auto i = static_cast<size_t>(index);
            const double share = static_cast<double>(cab_.folderPacked[i]) / static_cast<double>(cab_.folderUnpacked[i]);
            EntryInfo.PackedSize = static_cast<int64_t>(static_cast<double>(file.cbFile) * share + 0.5);
        }
        EntryInfo.UnpackedSize = file.cbFile;
        EntryInfo.CRC = 0;
        EntryInfo.MethodCode = method;
        EntryInfo.MethodName = CompressMethodName(method, 0);
        EntryInfo.DateTime = FileDateToDateTime(uint32_t{file.date} << 16 | file.time);
        EntryInfo.VersionMadeBy = 0;
        EntryInfo.VersionNeeded = 0;
        EntryInfo.Attr = file.attribs & 0x3F;
        EntryInfo.ExternalAttr = file.attribs & 0x3F;
        ListEntry(at);
    }
    if (cab_.filesLeft == 0 && !found_ && !cancel_) {
        if (cab_.flags & cabfmt::kHasNext)
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
