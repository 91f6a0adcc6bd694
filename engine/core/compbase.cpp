#include "engine/core/compbase.h"

#include <algorithm>
#include <cctype>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr int64_t kBlockSize = 32768;
// The new archive is written through a buffer of this size, and kept
// entries are copied over in blocks of this size.
constexpr size_t kOutputBuffer = size_t{1} << 20;
// The headers of an old archive being updated are read through a buffer of
// this size: enough for a header with its name, little read ahead that the
// copy of the entries reads again.
constexpr size_t kHeaderBuffer = 512;
// A walk of the headers alone reads them one after the other.
constexpr size_t kWalkBuffer = 16384;
// Deeper than any real tree; a folder link that loops ends here.
constexpr int kMaxDirDepth = 64;

bool SameText(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

bool StartsWithText(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// A path without its drive ("C:") or UNC server and share: "\dir\f.txt".
std::string WithoutRoot(const std::string& path) {
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        size_t server = path.find('\\', 2);
        if (server == std::string::npos) return {};
        size_t share = path.find('\\', server + 1);
        return share == std::string::npos ? std::string() : path.substr(share);
    }
    size_t colon = path.find(':');
    return colon == std::string::npos ? path : path.substr(colon + 1);
}

// A name the engine gives its temporary files, as GetTempFileName makes
// them: "dvx", one to four hex digits, ".tmp".
bool IsEngineTempName(const std::string& name) {
    const std::string n = UpperCase(name);
    if (n.size() < 8 || n.size() > 11 || n.compare(0, 3, "DVX") != 0 || n.compare(n.size() - 4, 4, ".TMP") != 0)
        return false;
    for (size_t i = 3; i + 4 < n.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(n[i]))) return false;
    return true;
}

// A run that was killed leaves its temporary archive behind, the size of the
// whole archive. Each run clears what such runs left in its temporary
// folder: only the engine's own files, and only a day after their last
// write, so no run still under way loses its temporary.
void RemoveStaleTemporaries(const std::string& dir) {
    if (dir.empty()) return;
    constexpr uint64_t kDay = uint64_t{24} * 60 * 60 * 10000000;  // FILETIME units
    const uint64_t now = os::NowFileTime();
    const std::string folder = AppendBackslash(dir);
    std::vector<std::string> stale;
    {
        os::Finder finder;
        os::FindData fd;
        for (int rc = finder.First(folder + "dvx*.tmp", fd); rc == 0; rc = finder.Next(fd))
            if (IsEngineTempName(fd.name) && !(fd.attributes & (os::faDirectory | os::faReadOnly)) &&
                fd.lastWrite < now && now - fd.lastWrite > kDay)
                stale.push_back(folder + fd.name);
    }
    for (const std::string& path : stale)
        if (os::IsRegularFile(path)) os::FileDelete(path);
}

// The size and last write time of a file; false when there is none.
bool FileStamp(const std::string& path, int64_t& size, uint64_t& lastWrite) {
    os::Finder finder;
    os::FindData fd;
    if (finder.First(path, fd) != 0 || (fd.attributes & os::faDirectory)) return false;
    size = fd.size;
    lastWrite = fd.lastWrite;
    return true;
}

}  // namespace

// ---- THeadList ------------------------------------------------------------------

std::string THeadList::Key(const std::string& Name) { return UpperCase(Name); }

int THeadList::IndexOf(const std::string& Name) const {
    auto it = index_.find(Key(Name));
    return it == index_.end() ? -1 : it->second;
}

int THeadList::Add(THeadObject Entry) {
    const int i = Count();
    // The first of two equal names is the one found by name.
    index_.emplace(Key(Entry.Name), i);
    items_.push_back(std::make_unique<THeadObject>(std::move(Entry)));
    return i;
}

void THeadList::Clear() {
    items_.clear();
    index_.clear();
}

// ---- properties -----------------------------------------------------------------

TCompBase::TCompBase(TComponent* AOwner)
    : TZipCommon(AOwner), defaultDir_(AppendBackslash(os::CurrentDir())), tempDir_(GetSystemTempDir()) {}

TCompBase::~TCompBase() = default;

const std::string& TCompBase::DefaultDir() const {
    if (Trim(defaultDir_).empty()) defaultDir_ = AppendBackslash(os::CurrentDir());
    return defaultDir_;
}

void TCompBase::SetDefaultDir(const std::string& v) {
    std::string dir = Trim(v);
    if (dir.empty() || !DirExists(dir)) dir = os::CurrentDir();
    defaultDir_ = AppendBackslash(dir);
}

void TCompBase::SetDefaultExt(const std::string& v) {
    const std::string old = defaultExt_;
    std::string ext;
    if (v.empty() || v == ".") {
        ext = ownDefaultExt_;
    } else {
        ext = v[0] == '.' ? v : "." + v;
        ext = ext.substr(0, 4);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    defaultExt_ = ext;
    if (archiveFile_.empty() || ext.empty()) return;
    const std::string current = ExtractFileExt(archiveFile_);
    if (current.empty())
        archiveFile_ += ext;
    else if (!old.empty() && SameText(current, old))
        archiveFile_ = ChangeFileExt(archiveFile_, ext);
}

void TCompBase::SetDeflateType(TDeflateType v) {
    static const uint8_t levels[] = {1, 2, 7, 9};
    deflateType_ = v <= dtDeflateX ? v : dtDeflateN;
    deflateLevel_ = levels[deflateType_];
}

void TCompBase::SetTempDir(const std::string& v) {
    if (v.empty()) {
        tempDir_ = GetSystemTempDir();
        return;
    }
    // A form being loaded sets its stored folder without anyone there to
    // answer the question.
    if (DirExists(v) || ComponentState().contains(csLoading)) {
        tempDir_ = v;
        return;
    }
    const std::string question = MessageText(26899) + "\r\r" + v;
    if (os::AskYesNo(question, "Confirm") == os::Answer::Yes) {
        try {
            ForceDirs(v);
        } catch (const Exception&) {
        }
        if (DirExists(v)) {
            tempDir_ = v;
            return;
        }
    }
    tempDir_ = GetSystemTempDir();
}

void TCompBase::AddDefaultExt() {
    if (!archiveFile_.empty() && ExtractFileExt(archiveFile_).empty()) archiveFile_ += defaultExt_;
}

// ---- shared operations ------------------------------------------------------------

std::string TCompBase::ConvertFileName(const std::string& Name) {
    const std::string path = AnsiToOemName(Name);
    auto relative = [&](bool keepStart) {
        std::string base = AppendBackslash(AnsiToOemName(baseDir_));
        std::string rest;
        if (!base.empty() && StartsWithText(path, base)) {
            rest = path.substr(base.size());
        } else {
            // Not below the base folder: keep the path, but never a root.
            rest = WithoutRoot(path);
            while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
        }
        if (keepStart) {
            std::string start = ExtractFileName(RemoveBackslash(base));
            if (!start.empty()) rest = start + "\\" + rest;
        }
        return rest;
    };
    switch (storedDirNames_) {
        case sdNone: return ExtractFileName(path);
        case sdAbsolute: return path;
        case sdAbsoluteNoDrv: return WithoutRoot(path);
        case sdRelative: return relative(false);
        case sdRelativeStoreStart: return relative(true);
    }
    return path;
}

bool TCompBase::DoFileBegin(std::string& FN, int Count) {
    if (OnProgress) {
        progressByFile_ = 0;
        if (ProgressHook) ProgressHook(0, 0, totalToDo_);
    }
    bool extract = true;
    if (OnBegin) OnBegin(this, FN, Count, extract);
    if (extract && OnRenameCompressedFile) OnRenameCompressedFile(this, FN);
    return extract && !FN.empty();
}

bool TCompBase::StartFile(const THeadObject& E, TFileStart& S) {
    if (!OpenInputFile(E.SourcePath)) return false;
    S.DosDate = ApplyDateAttribute(E.DosDate);
    const std::string asListed = OemToAnsiName(E.Name);
    S.FN = asListed;
    if (!DoFileBegin(S.FN, currentIndex_ + 1)) return false;
    S.NameKept = S.FN == asListed;
    return true;
}

bool TCompBase::RefuseFile(const std::string& FN, int Code) {
    ReportError(FN, "", "0", Code);
    if (OnEnd) OnEnd(this, FN, false);
    return false;
}

bool TCompBase::SourceSizeWithin(const std::string& FN, int64_t Limit, int64_t& Size) {
    Size = inputFile_.Size();
    if (Size < 0) return RefuseFile(FN, 25236);
    if (Size > Limit) {
        bytesToDo_ -= Size;
        return RefuseFile(FN, 25256);
    }
    return true;
}

void TCompBase::ReportProgress(int64_t Done, int64_t Total) {
    progressByFile_ = static_cast<uint8_t>(PercentOf(Done, Total));
    progressByArchive_ = static_cast<uint8_t>(PercentOf(totalToDo_ - bytesToDo_, totalToDo_));
    if (ProgressHook) ProgressHook(Done, Total, totalToDo_);
}

int64_t TCompBase::StoreData(TStream& Source, TStream& Output, int64_t Count, int CrcKind, bool Encrypt) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp<int64_t>(Count, 1, kBlockSize)));
    int64_t done = 0;
    while (done < Count) {
        // A half-copied entry must not end up in an archive.
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        const int64_t want = std::min<int64_t>(Count - done, kBlockSize);
        const int64_t got = ReadHook(&Source, want, CrcKind, false, buffer.data());
        // A source that ends early is a fault of the read, not of the
        // archive's write: it is told as one.
        if (got <= 0) RaiseError(archiveFile_, "", "0", 25236);
        CompressWriteHook(&Output, true, got, 0, Encrypt, buffer.data());
        done += got;
        bytesToDo_ -= got;
        ReportProgress(done, Count);
    }
    return done;
}

void TCompBase::DeflateFlags(uint16_t& Flags) const {
    Flags = static_cast<uint16_t>(Flags & ~0x0006u);
    switch (deflateLevel_) {
        case 1: Flags |= 6; break;
        case 2: Flags |= 4; break;
        case 9: Flags |= 2; break;
        default: break;
    }
}

bool TCompBase::OpenInputFile(const std::string& Name) {
    inputFile_.Close();
    if (inputFile_.Open(Name, os::OpenMode::Read)) return true;
    ReportError(Name, "", "0", 25235);
    return false;
}

uint32_t TCompBase::ApplyDateAttribute(uint32_t FileDate) const {
    switch (dateAttribute_) {
        case daSysDate: return FileTimeToDosDate(os::NowFileTime());
        case daMaxFileDate: return maxFileDate_ ? maxFileDate_ : FileDate;
        default: return FileDate;
    }
}

bool TCompBase::RenameTempArchive(const std::string& TempName, const std::string& Target) {
    replaceFailure_.clear();
    if (filesAdded_ < 1 && !(switch_ == swDelete && filesDeleted_ >= 1)) {
        if (os::FileExists(TempName)) os::FileDelete(TempName);
        return true;
    }
    // One rename on the target's volume replaces the old archive in a
    // single step. A copy over the target would destroy it first, and a
    // full disk half-way through would then leave no archive at all.
    if (os::FileRename(TempName, Target)) return true;
    // The temporary lies on another volume: it is copied beside the target
    // first, and that copy is renamed.
    const std::string beside = os::MakeTempFile(ExtractFilePath(os::FullPathName(Target)), "dvx");
    if (beside.empty()) {
        // Not even an empty file could be made beside the target.
        replaceFailure_ = Target;
        return false;
    }
    if (os::FileCopy(TempName, beside, false)) {
        if (os::FileRename(beside, Target)) {
            os::FileDelete(TempName);
            return true;
        }
        replaceFailure_ = Target;
    } else {
        replaceFailure_ = beside;
    }
    os::FileDelete(beside);
    return false;
}

// ---- gathering ----------------------------------------------------------------------

int TCompBase::GatherFileSpec(int i) {
    std::string spec = fileSpec_[static_cast<size_t>(i)];
    if (ExtractFilePath(spec).empty())
        spec = AppendBackslash(DefaultDir()) + spec;
    else if (spec.size() >= 2 && spec[1] == ':' && (spec.size() == 2 || (spec[2] != '\\' && spec[2] != '/')))
        spec = spec.substr(0, 2) + '\\' + spec.substr(2);
    const std::string full = os::FullPathName(spec);
    baseDir_ = ExtractFilePath(full);
    const int found = GatherFiles(baseDir_, ExtractFileName(full));
    // One report for the whole tree: a sub-folder without a match is not
    // an error.
    if (found == 0 && !cancel_)
        ReportError(full, "", "0", 25172);
    else if (found > 0)
        fileSpec_[static_cast<size_t>(i)] = full;
    return found;
}

int TCompBase::GatherFiles(const std::string& Dir, const std::string& Mask) {
    struct Depth {
        int& d;
        explicit Depth(int& v) : d(v) { ++d; }
        ~Depth() { --d; }
    };
    static thread_local int depth = 0;
    Depth level(depth);
    if (depth > kMaxDirDepth) {
        ReportError(Dir, "", "0", 25265);
        return 0;
    }

    // An empty floppy or CD drive fails the search instead of asking for a
    // disk in the middle of the run.
    os::QuietDriveErrors quiet;
    int found = 0;
    const TdvxFileAttr& fa = fileAttribute_;
    os::FindData fd;
    {
        os::Finder finder;
        if (finder.First(Dir + Mask, fd) == 0) {
            do {
                os::ProcessMessages();
                if (cancel_) return found;
                if (fd.attributes & os::faDirectory) continue;
                bool passes = (fd.attributes & os::faArchive) ? fa.ftArchive() : fa.ftZeroAttr();
                if (fd.attributes & os::faReadOnly) passes = passes || fa.ftReadOnly();
                if (fd.attributes & os::faHidden) passes = passes || fa.ftHidden();
                if (fd.attributes & os::faSysFile) passes = passes || fa.ftSysFile();
                if (passes && AddGathered(Dir + fd.name, fd)) ++found;
            } while (finder.Next(fd) == 0);
        }
    }
    if (!recurseDirs_) return found;

    os::Finder dirs;
    if (dirs.First(Dir + "*", fd) == 0) {
        do {
            if (cancel_) break;
            if (!(fd.attributes & os::faDirectory) || fd.name.empty() || fd.name[0] == '.') continue;
            const std::string sub = AppendBackslash(Dir + fd.name);
            if (OnRecurseDir) OnRecurseDir(this, sub);
            found += GatherFiles(sub, Mask);
        } while (dirs.Next(fd) == 0);
    }
    return found;
}

bool TCompBase::AddGathered(const std::string& Path, const os::FindData& Found) {
    // The archive never goes into itself, nor does its temporary file.
    const std::string full = os::FullPathName(Path);
    if ((!archiveFile_.empty() && SameText(full, os::FullPathName(archiveFile_))) ||
        (!tempName_.empty() && SameText(full, os::FullPathName(tempName_))))
        return false;

    const std::string stored = ConvertFileName(Path);
    if (stored.empty()) return false;
    for (const std::string& spec : excludeSpec_) {
        const bool nameOnly = spec.find_first_of("\\/:") == std::string::npos;
        if (spec == "*.*" || WildcardMatch(spec, stored, nameOnly)) return false;
    }

    const uint32_t date = FileTimeToDosDate(Found.lastWrite);
    if (date > maxFileDate_) maxFileDate_ = date;

    const int at = entries_.IndexOf(stored);
    if (at < 0) {
        THeadObject e;
        e.Name = stored;
        e.SourcePath = Path;
        e.UnpackedSize = Found.size;
        e.DosDate = date;
        e.FoundWrite = Found.lastWrite;
        e.Attr = Found.attributes;
        e.State = THeadObject::hsNew;
        entries_.Add(std::move(e));
        totalUnpacked_ += Found.size;
        return true;
    }

    THeadObject& old = entries_[at];
    // The same file reached twice in this run (two specs, or sdNone names).
    if (!old.Kept()) return true;
    if (old.DosDate == date && old.UnpackedSize == Found.size && (old.Attr & 0x3F) == (Found.attributes & 0x3F)) {
        // The archive holds this very file already: a move takes it away.
        if (old.SourcePath.empty()) old.SourcePath = Path;
        return true;
    }
    if (!OnReplaceFile) return true;
    bool replace = true;
    Paused([&] {
        OnReplaceFile(this, old.Name, Path, DosDateToDateTime(old.DosDate), DosDateToDateTime(date),
                      ClampToInt(old.UnpackedSize), ClampToInt(Found.size), static_cast<int>(old.Attr),
                      static_cast<int>(Found.attributes), replace);
    });
    if (!replace) return true;
    old.State = THeadObject::hsNew;
    old.SourcePath = Path;
    old.UnpackedSize = Found.size;
    old.PackedSize = 0;
    old.DosDate = date;
    old.FoundWrite = Found.lastWrite;
    old.Attr = Found.attributes;
    old.Header.clear();
    old.Extra.clear();
    old.CopySize = 0;
    old.Offset = 0;
    totalUnpacked_ += Found.size;
    return true;
}

// ---- the run ------------------------------------------------------------------------

int TCompBase::Compress() {
    InputSource = isStreamHandedIn;
    OutputTarget = otTempStream;
    return RunCompress();
}

int TCompBase::RunCompress() {
    success_ = false;
    TZipCommon* previous = RunningComponent();
    if (previous && previous != this) RaiseError(archiveFile_, "", "0", 26859);
    struct Running {
        TCompBase& c;
        TZipCommon* previous;
        ~Running() {
            c.entries_.Clear();
            SetRunningComponent(previous);
        }
    } running{*this, previous};
    SetRunningComponent(this);
    SetCancelQuietly(false);
    maxFileDate_ = 0;
    fileCount_ = 0;
    totalPacked_ = totalUnpacked_ = 0;
    progressByFile_ = progressByArchive_ = 0;
    bytesToDo_ = totalToDo_ = 0;
    filesAdded_ = filesDeleted_ = 0;
    ProgressHook = [this](int64_t d, int64_t t, int64_t a) { DefaultProgress(d, t, a); };
    entries_.Clear();

    RemoveStaleTemporaries(tempDir_);
    if (!archiveFile_.empty()) CompressArchive();

    fileCount_ = switch_ == swDelete ? filesDeleted_ : filesAdded_;
    return fileCount_;
}

void TCompBase::OutputWriteFailed(TStream* Output) {
    auto* file = dynamic_cast<TFileStream*>(Output);
    ReportError(archiveFile_, file ? file->FileName() : std::string(), "0", 25136);
}

void TCompBase::CheckWritable() {
    if (IsWritableFile(archiveFile_)) return;
    if (!OnNonWriteableArchive) RaiseError(archiveFile_, "", "0", 25136);
    bool writeToFile = false;
    Paused([&] { OnNonWriteableArchive(this, archiveFile_, writeToFile); });
    // No means no: the archive and its attributes stay as they are.
    if (!writeToFile) RaiseError(archiveFile_, "", "0", 25136);
    if (!os::SetAttributes(archiveFile_, os::faArchive) || !IsWritableFile(archiveFile_))
        RaiseError(archiveFile_, "", "0", 25136);
}

void TCompBase::ReadArchiveHeaders() {
    struct Close {
        TCompBase& c;
        ~Close() { c.oldArchive_.reset(); }
    } close{*this};
    oldArchive_ = std::make_unique<TFileStream>();
    if (!oldArchive_->Open(archiveFile_, os::OpenMode::Read)) RaiseError(archiveFile_, "", "0", 25235);
    oldArchive_->SetBuffer(kWalkBuffer);
    for (int more = ReadFirstHeader(); more != 0 && !cancel_; more = ReadNextHeader()) {
        HeaderRead();
        ++fileCount_;
        if (OnRead) OnRead(this, ClampToInt(readHeader_.Offset), fileCount_);
    }
}

int TCompBase::ReadFirstHeader() {
    headersToRead_ = -1;
    headerPos_ = scanPosition_ - 1;
    return ReadNextHeader();
}

void TCompBase::CompressArchive() {
    newArchive_ = !os::FileExists(archiveFile_);
    scanPosition_ = newArchive_ ? 1 : std::max<int64_t>(arcOffset_, 1);

    if (switch_ == swRead) {
        if (!newArchive_) ReadArchiveHeaders();
        return;
    }
    if (switch_ == swDelete && newArchive_) RaiseError(archiveFile_, "", "0", 26859);
    if (!newArchive_) CheckWritable();

    TRunScope run(*this, this);  // OnActivate now, OnDeactivate on the way out
    // Declared after the scope: runs first on the way out, so the files are
    // closed and the temporary archive is gone before OnDeactivate.
    struct Cleanup {
        TCompBase& c;
        ~Cleanup() {
            c.tempArchive_.reset();
            c.oldArchive_.reset();
            c.inputFile_.Close();
            c.entries_.Clear();
            c.current_ = nullptr;
            c.currentIndex_ = -1;
            c.verifyPass_ = false;
            if (!c.keepTemp_ && !c.tempName_.empty() && os::FileExists(c.tempName_)) os::FileDelete(c.tempName_);
            c.tempName_.clear();
        }
    } cleanup{*this};

    keepTemp_ = false;
    replaceFailure_.clear();
    oldSize_ = -1;
    oldWrite_ = 0;
    if (!newArchive_) FileStamp(archiveFile_, oldSize_, oldWrite_);
    tempName_ = os::MakeTempFile(tempDir_, "dvx");
    if (tempName_.empty()) RaiseError("TempFile", "", "0", 25235);
    tempArchive_ = std::make_unique<TFileStream>();
    if (!tempArchive_->Open(tempName_, os::OpenMode::Create)) RaiseError(tempName_, "", "0", 25235);
    tempArchive_->SetBuffer(kOutputBuffer);
    if (!newArchive_) {
        oldArchive_ = std::make_unique<TFileStream>();
        if (!oldArchive_->Open(archiveFile_, os::OpenMode::Read)) RaiseError(archiveFile_, "", "0", 25235);
        oldArchive_->SetBuffer(kHeaderBuffer);
        // An executable stub in front stays in front.
        const int64_t stub = std::min<int64_t>(scanPosition_ - 1, oldArchive_->Size());
        if (stub > 0) {
            oldArchive_->Seek(0);
            StoreData(*oldArchive_, *tempArchive_, stub);
        }
        // Deleting takes what FileSpec names, whatever ExcludeSpec says; the
        // property itself is left alone.
        std::vector<std::string> noExcludes;
        TSwapGuard<std::vector<std::string>> excludes(excludeSpec_,
                                                      switch_ == swDelete ? noExcludes : excludeSpec_);
        ReadHeaders();
    }
    if (switch_ == swDelete && filesDeleted_ == 0) {
        // No entry goes by any of the names: say so, and leave the archive
        // as it is.
        for (const std::string& spec : fileSpec_) ReportError(spec, "", "0", 25172);
        if (fileSpec_.empty()) ReportError(archiveFile_, "", "0", 26859);
        return;
    }

    UpdateArchive();
    PostProcess();

    std::vector<std::pair<std::string, std::string>> held;
    if (switch_ == swMove && success_) held = HeldSources();
    tempArchive_.reset();
    oldArchive_.reset();
    entries_.Clear();
    if (!held.empty()) DeleteMovedSources(held);
}

std::vector<std::pair<std::string, std::string>> TCompBase::HeldSources() const {
    // A source whose entry stayed behind in another version (a changed file
    // not put in its place) is the only copy of what it holds now: it stays.
    // So does one left out of the run.
    std::vector<std::pair<std::string, std::string>> held;
    for (int i = 0; i < entries_.Count(); ++i) {
        const THeadObject& e = entries_[i];
        if (e.Written || (e.Kept() && !e.SourcePath.empty())) held.emplace_back(e.Name, e.SourcePath);
    }
    return held;
}

void TCompBase::GatherAll() {
    RefreshArchiveDrive();
    for (int i = 0; i < static_cast<int>(fileSpec_.size()); ++i) {
        os::ProcessMessages();
        if (cancel_) break;
        GatherFileSpec(i);
    }
    // A cancelled run writes nothing: the old archive stays as it was.
    if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
    bytesToDo_ = totalToDo_ = totalUnpacked_;
}

void TCompBase::UpdateArchive() {
    if (switch_ != swDelete) {
        GatherAll();
    } else {
        RefreshArchiveDrive();
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        bytesToDo_ = totalToDo_ = totalUnpacked_;
    }
    WriteEntries();
    if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
    FinishArchive();
    if (success_) ReportEntries();
}

void TCompBase::WriteEntries() {
    static const uint8_t zeros[512] = {};
    for (int i = 0; i < entries_.Count(); ++i) {
        if (cancel_) return;
        THeadObject& e = entries_[i];
        if (e.State == THeadObject::hsNew) {
            const int64_t start = tempArchive_->Position();
            current_ = &e;
            currentIndex_ = i;
            bool ok;
            try {
                ok = CompressFile();
            } catch (...) {
                inputFile_.Close();
                current_ = nullptr;
                throw;
            }
            inputFile_.Close();
            current_ = nullptr;
            currentIndex_ = -1;
            if (ok) {
                e.Written = true;
                ++filesAdded_;
            } else {
                // Whatever a refused file left behind is cut off again.
                e.State = THeadObject::hsDropped;
                if (start >= 0 && tempArchive_->Position() != start) tempArchive_->SetSize(start);
            }
        } else if (e.State == THeadObject::hsKept) {
            // Kept entries that follow each other in the old archive go
            // over in one copy of their whole run.
            const int64_t start = e.Offset;
            int64_t size = KeptSize(e);
            int last = i;
            while (arcType_ != atTar && last + 1 < entries_.Count()) {
                const THeadObject& next = entries_[last + 1];
                if (next.State != THeadObject::hsKept || next.Offset != start + size) break;
                size += KeptSize(next);
                ++last;
            }
            const int64_t to = tempArchive_->Position();
            for (int k = i; k <= last; ++k) entries_[k].NewOffset = to + (entries_[k].Offset - start);
            if (start < 0 || !oldArchive_ || !oldArchive_->Seek(start)) RaiseError(archiveFile_, "", "0", 25292);
            CopyKept(size);
            if (arcType_ == atTar && size % 512 != 0)
                CompressWriteHook(tempArchive_.get(), false, 512 - size % 512, 0, false, zeros);
            i = last;
        }
    }
}

int64_t TCompBase::KeptSize(const THeadObject& E) {
    return E.CopySize > 0 ? E.CopySize : GetLocalHeaderSize() + static_cast<int64_t>(E.Name.size()) + E.PackedSize;
}

void TCompBase::CopyKept(int64_t Count) {
    int64_t done = 0;
    while (done < Count) {
        // A half-copied entry must not end up in an archive.
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        const int64_t want = std::min<int64_t>(Count - done, static_cast<int64_t>(kOutputBuffer) * 8);
        const int64_t from = oldArchive_->Position();
        const int64_t got = tempArchive_->CopyRange(*oldArchive_, want);
        done += std::max<int64_t>(got, 0);
        bytesToDo_ -= std::max<int64_t>(got, 0);
        if (got != want) {
            // The old archive had the bytes: the write fell short.
            if (from >= 0 && from + want <= oldArchive_->Size()) {
                OutputWriteFailed(tempArchive_.get());
                throw E_RAISE(25136);
            }
            RaiseError(archiveFile_, "", "0", 25236);
        }
        ReportProgress(done, Count);
        os::ProcessMessages();
    }
}

void TCompBase::FlushTempArchive() {
    // What is still buffered is the tail of the last write: when it does
    // not fit, that write fell short, as if it had not been buffered.
    if (tempArchive_->Flush()) return;
    OutputWriteFailed(tempArchive_.get());
    throw E_RAISE(25136);
}

void TCompBase::FinishArchive() {
    // Deleting the last entries leaves an empty archive, not the old one.
    if (entries_.Empty() && !(switch_ == swDelete && filesDeleted_ > 0)) return;
    FlushTempArchive();
    const bool closed = tempArchive_->Close();
    if (oldArchive_) oldArchive_->Close();
    success_ = false;
    // A temporary that did not close cleanly may lack its last blocks: it
    // is no copy worth keeping.
    if (closed && RenameTempArchive(tempName_, archiveFile_)) {
        success_ = true;
        return;
    }
    // Nothing went into the archive after all.
    filesAdded_ = filesDeleted_ = 0;
    ReportError(archiveFile_, closed ? replaceFailure_ : tempName_, "0", 25136);
    // The temporary is worth keeping only when it is the one complete copy
    // left: the old archive is gone or changed under the run. A temporary
    // that did not close cleanly may lack its last blocks, and one beside a
    // whole old archive (or beside sources a new one was made of) holds
    // nothing that is not still there.
    int64_t size = -1;
    uint64_t write = 0;
    const bool oldWhole =
        newArchive_ || (FileStamp(archiveFile_, size, write) && size == oldSize_ && write == oldWrite_);
    if (closed && !oldWhole && os::FileExists(tempName_))
        KeepTemporary();
    else if (os::FileExists(tempName_))
        os::FileDelete(tempName_);
}

void TCompBase::KeepTemporary() {
    keepTemp_ = true;
    os::SetAttributes(tempName_, os::faReadOnly);
    ReportError(archiveFile_, tempName_, "0", 25350);
}

void TCompBase::DeleteMovedSources(const std::vector<std::pair<std::string, std::string>>& Held) {
    progressByFile_ = progressByArchive_ = 0;
    if (ProgressHook) ProgressHook(0, 0, 0);
    if (verifyBeforeDelete_) {
        // Only what the new archive is seen to hold is deleted.
        oldArchive_ = std::make_unique<TFileStream>();
        if (!oldArchive_->Open(archiveFile_, os::OpenMode::Read)) {
            ReportError(archiveFile_, "", "0", 25235);
            return;
        }
        entries_.Clear();
        verifyPass_ = true;
        ReadHeaders();
        verifyPass_ = false;
        oldArchive_.reset();
    }
    for (const auto& [name, source] : Held) {
        if (verifyBeforeDelete_ && entries_.IndexOf(name) < 0) continue;
        if (!EraseFile(source, deleteOptions_ == doAllowUndo)) ReportError(source, "", "0", 25169);
    }
    entries_.Clear();
}

}  // namespace bramble
