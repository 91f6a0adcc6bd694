#include "engine/bindings/unacereader.h"

#include <cstring>

#include "engine/core/helpers.h"
#include "engine/formats/ace.h"

namespace bramble {

TUnACE::TUnACE(TComponent* AOwner) : TLibraryReader(AOwner) { arcType_ = atACE; }

TUnACE::~TUnACE() { Close(); }

int TUnACE::AceErrorToMessageId(int Code) {
    switch (Code) {
        case 1: return 25253;
        case 3: return 25172;
        case 4: return 25159;
        case 5: return 25235;
        case 6: return 25236;
        case 7: return 25136;
        case 9: return 25151;
        case 128: case 132: return 25242;
        case 131: return 26517;
        case 255: return 25400;
        default: return 0;
    }
}

void TUnACE::Open() {
    arcName_ = NulTerminated(archiveFile_);
    ace::ACEOpenArchiveData data{};
    data.ArcName = arcName_.data();
    data.OpenMode = 1;
    data.ProcessDataProc = TLibraryRun::DataCallback;
    data.ChangeVolProc = TLibraryRun::VolumeCallback;
    handle_ = ace::Unace().ACEOpenArchive(&data);
    if (!handle_ || data.OpenResult != 0) {
        Close();
        const int id = AceErrorToMessageId(static_cast<int>(data.OpenResult));
        RaiseError(archiveFile_, "", "0", id != 0 ? id : 25235);
    }
}

void TUnACE::Close() {
    if (handle_) ace::Unace().ACECloseArchive(handle_);
    handle_ = nullptr;
}

int TUnACE::ReadEntry(TLibEntry& E) {
    std::memset(&header_, 0, sizeof header_);
    const int result = ace::Unace().ACEReadHeader(handle_, &header_);
    if (result != 0) return result;
    E.StoredName.assign(header_.FileName, strnlen(header_.FileName, sizeof header_.FileName));
    E.Folder = (header_.FileAttr & 0x10) != 0;
    E.Encrypted = (header_.Flags & ace::kEncrypted) != 0;
    E.ToNext = (header_.Flags & ace::kToNext) != 0;
    E.Size = header_.UnpSize;
    E.Crc = header_.FileCRC;
    E.DosTime = header_.FileTime;
    return 0;
}

int TUnACE::EndOfArchive() const { return ace::kAceEndOfArchive; }

int TUnACE::CallProcess(int Operation, const char* Dest) {
    dest_ = NulTerminated(Dest ? Dest : "");
    return ace::Unace().ACEProcessFile(handle_, Operation, Dest ? dest_.data() : nullptr);
}

void TUnACE::CallSetPassword(const std::string& Password) {
    std::vector<char> p = NulTerminated(Password);
    ace::Unace().ACESetPassword(handle_, p.data());
}

void TUnACE::CountEntries(const std::string& Path, int64_t StartOffset) {
    TFileStream f;
    if (!f.Open(Path, os::OpenMode::Read)) {
        ReportError(Path, "", "0", 25235);
        return;
    }
    const ace::TReadAt read = [&f](int64_t o, void* b, int64_t n) -> int64_t {
        return f.Seek(o) ? f.Read(b, n) : 0;
    };
    ace::TMainHeader main;
    if (ace::ParseMain(read, StartOffset, main) != ace::TParse::Ok) return;
    // The walk follows the header sizes over file blocks; the first block of
    // another kind (a recovery record, say) ends it. The library reads on
    // past it all the same.
    int64_t at = main.Next;
    ace::TBlock b;
    while (!cancel_ && ace::ParseBlock(read, at, b) == ace::TParse::Ok && b.IsFile()) {
        if (!b.Directory() && MatchesFileSpec(OemToAnsiName(b.Name), false)) {
            if (!b.FromPrevious()) {
                CountEntry(b.OrigSize, b.PackSize, b.FTime);
            } else if (!b.ToNext()) {
                continuedCrc_ = b.Crc32;
                continuedSeen_ = true;
            }
        }
        if (b.Next <= at) break;
        at = b.Next;
    }
}

bool TUnACE::PrepareRetry(int Result) {
    if (Result == ace::kAceUserAbort) return false;
    return TLibraryReader::PrepareRetry(Result);
}

void TUnACE::ExtractArchive() {
    if (!ace::UnaceLoaded()) RaiseError(archiveFile_, "", "0", 25262);
    RunEntries();
}

}  // namespace bramble
