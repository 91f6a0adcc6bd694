#include "engine/bindings/unrarreader.h"

#include <cstring>

#include "engine/core/helpers.h"
#include "engine/formats/rar.h"

namespace bramble {

TUnRAR::TUnRAR(TComponent* AOwner) : TLibraryReader(AOwner) { arcType_ = atRar; }

TUnRAR::~TUnRAR() { Close(); }

int TUnRAR::RarErrorToMessageId(int Code) {
    switch (Code) {
        case 10: return 25161;
        case 11: return 25253;
        case 12: return 25108;
        case 13: case 14: return 25242;
        case 15: return 25235;
        case 16: case 19: return 25136;
        case 17: return 25137;
        case 18: return 25236;
        case 21: return 25135;
        case 22: return 26517;
        default: return 0;
    }
}

void TUnRAR::Open() {
    arcName_ = NulTerminated(archiveFile_);
    rar::RAROpenArchiveData data{};
    data.ArcName = arcName_.data();
    data.OpenMode = 1;
    handle_ = rar::Unrar().RAROpenArchive(&data);
    if (!handle_ || data.OpenResult != 0) {
        Close();
        const int id = RarErrorToMessageId(static_cast<int>(data.OpenResult));
        RaiseError(archiveFile_, "", "0", id != 0 ? id : 25235);
    }
    rar::Unrar().RARSetProcessDataProc(handle_, TLibraryRun::DataCallback);
    rar::Unrar().RARSetChangeVolProc(handle_, TLibraryRun::VolumeCallback);
}

void TUnRAR::Close() {
    if (handle_) rar::Unrar().RARCloseArchive(handle_);
    handle_ = nullptr;
}

int TUnRAR::ReadEntry(TLibEntry& E) {
    std::memset(&header_, 0, sizeof header_);
    const int result = rar::Unrar().RARReadHeader(handle_, &header_);
    if (result != 0) return result;
    E.StoredName.assign(header_.FileName, strnlen(header_.FileName, sizeof header_.FileName));
    E.UnixHost = header_.HostOS == rar::kHostUnix || header_.HostOS == rar::kHostBeOS;
    // 0x4000 is the folder bit of a Unix mode only; 0x10 there is a
    // permission.
    E.Folder = (header_.Flags & rar::kDirectoryMask) == rar::kDirectoryMask ||
               (E.UnixHost ? (header_.FileAttr & 0x4000) != 0 : (header_.FileAttr & 0x10) != 0);
    E.Encrypted = (header_.Flags & rar::kEncrypted) != 0;
    E.ToNext = (header_.Flags & rar::kToNext) != 0;
    E.Size = header_.UnpSize;
    E.Crc = header_.FileCRC;
    E.DosTime = header_.FileTime;
    if (countAsItGoes_ && !E.Folder && !(header_.Flags & rar::kFromPrevious) &&
        MatchesFileSpec(ShownName(E), false))
        CountEntry(header_.UnpSize, header_.PackSize, header_.FileTime);
    return 0;
}

int TUnRAR::CallProcess(int Operation, const char* Dest) {
    dest_ = NulTerminated(Dest ? Dest : "");
    return rar::Unrar().RARProcessFile(handle_, Operation, nullptr, Dest ? dest_.data() : nullptr);
}

void TUnRAR::CallSetPassword(const std::string& Password) {
    std::vector<char> p = NulTerminated(Password);
    rar::Unrar().RARSetPassword(handle_, p.data());
}

void TUnRAR::CountEntries(const std::string& Path, int64_t StartOffset) {
    TFileStream f;
    if (!f.Open(Path, os::OpenMode::Read)) {
        ReportError(Path, "", "0", 25235);
        return;
    }
    const rar::TReadAt read = [&f](int64_t o, void* b, int64_t n) -> int64_t {
        return f.Seek(o) ? f.Read(b, n) : 0;
    };
    if (rar::SignatureAt(read, StartOffset) != rar::TSignature::Rar15) {
        // Format 5 (or something the library may know better): counted as
        // the library reads it.
        countAsItGoes_ = true;
        return;
    }
    rar::TMainHeader main;
    if (rar::ParseMain(read, StartOffset, main) != rar::TParse::Ok || main.EncryptedHeaders()) {
        if (f.Size() < StartOffset + rar::kMarkerSize + rar::kMainHeaderSize) ReportError(Path, "", "0", 25236);
        countAsItGoes_ = true;
        return;
    }
    // Blocks that carry no data size (comments and the like) are passed
    // over by their header size rather than taken for the end: the count
    // would stop short of the entries behind them. The end block ends it.
    int64_t at = main.Next;
    rar::TBlock b;
    while (!cancel_ && rar::ParseBlock(read, at, b) == rar::TParse::Ok && b.Type != rar::kEndBlock) {
        if (b.IsFile() && !b.Directory() && MatchesFileSpec(OemToAnsiName(b.Name), false)) {
            if (!b.FromPrevious()) {
                CountEntry(b.UnpSize, b.PackSize, b.FTime);
            } else if (!b.ToNext()) {
                continuedCrc_ = b.FileCRC;
                continuedSeen_ = true;
            }
        }
        if (b.Next <= at) break;
        at = b.Next;
    }
}

void TUnRAR::ExtractArchive() {
    if (!rar::UnrarLoaded()) RaiseError(archiveFile_, "", "0", 25260);
    countAsItGoes_ = false;
    RunEntries();
}

}  // namespace bramble
