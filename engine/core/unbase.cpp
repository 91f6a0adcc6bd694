#include "engine/core/unbase.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr int64_t kBlockSize = 32768;

// Kinds whose outside libraries open the archive themselves.
bool OpensItself(TArcType t) {
    return t == atACE || t == atAceExe || t == atCab || t == atRar || t == atRarExe;
}

// An entry's file that must go may have been given the entry's read-only
// attribute already.
void RemoveFile(const std::string& Name) {
    if (os::FileDelete(Name) || !os::FileExists(Name)) return;
    os::SetAttributes(Name, os::faArchive);
    os::FileDelete(Name);
}

}  // namespace

std::string DriveOfPath(const std::string& Path) {
    if (IsUNCPath(Path)) {
        size_t p = Path.find_first_of("\\/", 2);
        p = p == std::string::npos ? std::string::npos : Path.find_first_of("\\/", p + 1);
        return p == std::string::npos ? Path : Path.substr(0, p);
    }
    if (Path.size() >= 2 && Path[1] == ':') return Path.substr(0, 2);
    std::string cur = os::CurrentDir();
    if (cur.size() >= 2 && cur[1] == ':') return cur.substr(0, 2);
    return {};
}

int TUnBase::Extract(TZipCommon* HandOverFrom) {
    InputSource = isArchive;
    OutputTarget = otFile;
    return ExecuteExtract(HandOverFrom);
}

int TUnBase::Test(TZipCommon* HandOverFrom) {
    OutputTarget = otTest;
    return ExecuteExtract(HandOverFrom);
}

int TUnBase::ExecuteExtract(TZipCommon* HandOverFrom) {
    fileCount_ = 0;
    totalPacked_ = totalUnpacked_ = 0;
    progressByFile_ = progressByArchive_ = 0;
    bytesToDo_ = totalToDo_ = 0;
    maxFileDate_ = 0;
    SetCancelQuietly(false);
    ProgressHook = [this](int64_t d, int64_t t, int64_t a) { DefaultProgress(d, t, a); };
    if (cpuType_ == cpt80486) cpuType_ = cptAuto;

    // Whatever the reader does on its way through volumes, and however the
    // run ends, the component is left as it was found: archive name (and
    // its kind), files closed, entry list freed.
    struct Restore {
        TUnBase& c;
        std::string archive;
        int raising = std::uncaught_exceptions();
        ~Restore() {
            c.inFile_.Close();
            c.outFile_.Close();
            // A run that ends inside an entry (cancelled, or raised) leaves
            // no part of it behind.
            if (!c.entryFile_.empty() && (c.cancel_ || std::uncaught_exceptions() > raising))
                RemoveFile(c.entryFile_);
            c.entryFile_.clear();
            c.tempOutput_.reset();
            c.fileList_.Clear();
            if (c.archiveFile_ != archive) {
                int count = c.fileCount_;
                c.SetArchiveFile(archive);
                c.fileCount_ = count;
            }
        }
    } restore{*this, archiveFile_};

    if (archiveFile_.empty()) RaiseError(archiveFile_, "", "0", 25172);
    if (!CanExtractArcType(arcType_)) RaiseError(archiveFile_, "", "0", 25242);
    if (!OpensItself(arcType_) && !inFile_.Open(archiveFile_, os::OpenMode::Read))
        RaiseError(archiveFile_, "", "0", 25235);

    TRunScope run(*this, HandOverFrom);  // OnActivate ... OnDeactivate

    password_.clear();
    outputName_.clear();
    entryName_.clear();
    entryFile_.clear();
    scanEnd_ = arcFileSize_;
    scanPosition_ = arcOffset_;

    if (OutputTarget == otFile || OutputTarget == otTempStream || OutputTarget == otCallerStream) {
        // A disk manager of its own: the component's one stays on the
        // archive's drive, which a spanned set keeps asking about.
        std::string dir = extractDir_.empty() ? ExtractFilePath(archiveFile_) : extractDir_;
        TDiskManager output;
        output.SetDrive(DriveOfPath(dir));
        outputDriveType_ = output.DriveType();
    }

    fileList_.Clear();
    ExtractArchive();
    return fileCount_;
}

TPrepareResult TUnBase::PrepareExtractFile(std::string& FN, bool& Exists, TDateTime FileDate) {
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    entryFile_.clear();
    timer_.Pause();
    struct Resume {
        TdvxTimer& t;
        ~Resume() { t.Resume(); }
    } resume{timer_};

    uint32_t dos = DateTimeToFileDate(FileDate);
    if (dos > maxFileDate_) maxFileDate_ = dos;

    if (OnProgress) {
        progressByFile_ = 0;
        if (ProgressHook) ProgressHook(0, 0, totalToDo_);
    }

    // Only an output that would be written over is worth a question; a test
    // run, or output into a stream, writes no file at all.
    Exists = toFile && !outputName_.empty() && os::FileExists(outputName_);
    // An entry named like the archive, extracted beside it, would empty the
    // archive as it is being read: it fails before anyone is asked.
    const auto isArchive = [this](const std::string& name) {
        return OutputTarget == otFile && os::SameFile(name, archiveFile_);
    };
    if (Exists && isArchive(outputName_)) {
        EntryFailed(outputName_, 25171, 0);
        return prSkip;
    }
    if (confirmOverwrites_ && Exists) {
        if (OnFileExists)
            OnFileExists(this, outputName_, FileDate, overwriteMode_);
        else
            overwriteMode_ = omSkip;
    }
    if (Exists && (overwriteMode_ == omSkip || cancel_)) return cancel_ ? prStop : prSkip;

    ++fileCount_;
    std::string name = toFile ? outputName_ : FN;
    bool extract = true;
    if (OnBegin) OnBegin(this, name, fileCount_, extract);
    if (cancel_) return prStop;
    if (!extract) {
        // Refused entries are not handled, so they are not counted.
        --fileCount_;
        return prSkip;
    }
    if (toFile && OnRenameCompressedFile) {
        const std::string given = name;
        OnRenameCompressedFile(this, name);
        if (name != given && isArchive(name)) {
            --fileCount_;
            EntryFailed(name, 25171, 0);
            return prSkip;
        }
    }
    if (name.empty()) {
        --fileCount_;
        return prSkip;
    }
    if (toFile)
        outputName_ = name;
    else
        FN = name;
    entryName_ = name;
    return cancel_ ? prStop : prExtract;
}

void TUnBase::FinishEntry(const std::string& FN, const std::string& Target, bool Pass, uint32_t Attr,
                          uint32_t DosDate) {
    if (OutputTarget == otFile)
        RestoreFileStamp(Attr, DosDate, Target);
    else
        CloseOutput();
    // Every entry gets its verdict: one whose decoding failed has had its
    // fault reported, but without OnEnd nothing else says it failed.
    if (!EndEntry(FN, Pass) && !Pass) ReportError(FN, "", "0", 25151);
}

bool TUnBase::OpenOutput(const std::string& Name, TStream* Stream) {
    if (!TZipCommon::OpenOutput(Name, Stream)) return false;
    if (OutputTarget == otFile) entryFile_ = Name;
    return true;
}

bool TUnBase::EndEntry(const std::string& FN, bool Pass) {
    if (!Pass && !entryFile_.empty()) {
        // Stamped or not, what it holds is not the entry. A file that was
        // there before is not given back: it was emptied when the entry's
        // output was opened over it.
        outFile_.Close();
        RemoveFile(entryFile_);
    }
    entryFile_.clear();
    if (!OnEnd) return false;
    OnEnd(this, FN, Pass);
    return true;
}

bool TUnBase::OpenEntryOutput(const std::string& FN, const std::string& Target, int64_t Size) {
    if (OpenOutput(Target, OutputStreamArg())) return true;
    OutputRefused(FN, Target, Size);
    return false;
}

void TUnBase::OutputRefused(const std::string& FN, const std::string& Target, int64_t Size) {
    ReportError(Target, "", "0", 25235);
    SkipBytes(Size);
    EndEntry(FN, false);
}

void TUnBase::EntryFailed(const std::string& FN, int Code, int64_t Size) {
    ReportError(FN, "", "0", Code);
    SkipBytes(Size);
    EndEntry(FN, false);
}

void TUnBase::NameRefused(const std::string& Shown, int64_t Size) {
    SkipBytes(Size);
    EndEntry(Shown, false);
}

void TUnBase::DiscardOutput() {
    if (OutputTarget != otFile) {
        CloseOutput();
        return;
    }
    outFile_.Close();
    if (!entryFile_.empty()) RemoveFile(entryFile_);
    entryFile_.clear();
}

void TUnBase::RestoreFileStamp(uint32_t Attr, uint32_t DosDate, const std::string& FN) {
    if (OutputTarget != otFile) return;
    if (DosDate > maxFileDate_) maxFileDate_ = DosDate;
    bool closed = CloseOutput();
    std::string name = FN.empty() ? outputName_ : FN;
    if (!closed) ReportError(name, "", "0", 25137);

    uint32_t date = DosDate;
    switch (dateAttribute_) {
        case daFileDate: break;
        case daSysDate: date = FileTimeToDosDate(os::NowFileTime()); break;
        case daMaxFileDate: date = maxFileDate_; break;
    }
    os::FileTimes times;
    times.lastWrite = DosDateToFileTime(date);
    os::SetTimes(name, times);

    // Only the DOS bits: a Unix mode in the high half is not an attribute,
    // and directory or volume bits on a file make no sense.
    const uint32_t dos = Attr & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive);
    if (restoreFileAttr_ && dos != 0 && dos != os::faArchive) os::SetAttributes(name, dos);
}

void TUnBase::OutputWriteFailed(TStream* Output) {
    std::string name = entryName_;
    if (Output == &outFile_) {
        name = outFile_.FileName();
        outFile_.Close();
        os::FileDelete(name);
        entryFile_.clear();
    }
    ReportError(name, "", "0", 25136);
}

void TUnBase::ReportProgress(int64_t Done, int64_t Total) {
    progressByFile_ = static_cast<uint8_t>(PercentOf(Done, Total));
    progressByArchive_ = static_cast<uint8_t>(PercentOf(totalToDo_ - bytesToDo_, totalToDo_));
    if (ProgressHook) ProgressHook(Done, Total, totalToDo_);
}

bool TUnBase::UnStore(int64_t PackedSize, int CrcKind, bool Decrypt, TStream* Input) {
    const bool garbled = arcType_ == atArj || arcType_ == atArjExe;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(PackedSize, 1), kBlockSize)));
    TStream* out = OutputStreamArg();
    int64_t left = PackedSize;
    while (left > 0) {
        if (cancel_) return false;
        const int64_t want = std::min<int64_t>(left, kBlockSize);
        const int64_t got = ReadHook(Input, want, 0, Decrypt && garbled, buffer.data());
        if (got <= 0) RaiseError(archiveFile_, "", "0", 25236);
        ExtractWriteHook(out, true, got, CrcKind, Decrypt && !garbled, buffer.data());
        left -= got;
        bytesToDo_ -= got;
        ReportProgress(PackedSize - left, PackedSize);
    }
    return !cancel_;
}

}  // namespace bramble
