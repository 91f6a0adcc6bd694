#include "engine/core/zipcommon.h"

#include <cmath>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

TZipCommon::TZipCommon(TComponent* AOwner) : TReadWriteObj(AOwner) {
    ProgressHook = [this](int64_t d, int64_t t, int64_t a) { DefaultProgress(d, t, a); };
}

TZipCommon::~TZipCommon() {
    if (RunningComponent() == this) SetRunningComponent(nullptr);
}

// ---- properties -------------------------------------------------------------

void TZipCommon::SetFileSpec(std::vector<std::string> v) {
    NormalizeSpecList(v);
    fileSpec_ = std::move(v);
}

void TZipCommon::SetExcludeSpec(std::vector<std::string> v) {
    NormalizeSpecList(v);
    excludeSpec_ = std::move(v);
}

void TZipCommon::SetExtractDir(const std::string& v) {
    extractDir_ = v.empty() ? v : AppendBackslash(SlashToBackslash(v));
}

void TZipCommon::SetCancel(bool Value) {
    cancel_ = Value;
    if (Value && OnError) OnError(this, archiveFile_, "", "", 25449);
    os::ProcessMessages();
}

// ---- errors -------------------------------------------------------------------

void TZipCommon::RaiseError(const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                            int ECode) {
    timer_.Pause();
    TZipCommon* running = RunningComponent();
    if (running && running->Cancel()) ECode = 25400;
    try {
        if (OnError) OnError(this, FN, MsgEx, VolumeID, ECode);
    } catch (...) {
        timer_.Resume();
        throw;
    }
    timer_.Resume();
    throw E_RAISE(ECode);
}

void TZipCommon::ReportError(const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                             int ECode) {
    if (!OnError) return;
    Paused([&] { OnError(this, FN, MsgEx, VolumeID, ECode); });
}

// ---- names ----------------------------------------------------------------------

std::string TZipCommon::ConvertFileName(const std::string& Name) {
    return ConvertAnsiName(OemToAnsiName(Name));  // also '/' -> '\'
}

std::string TZipCommon::ConvertAnsiName(const std::string& AnsiName) {
    const std::string name = SlashToBackslash(AnsiName);

    std::string dir = extractDir_;
    if (dir.empty()) {
        dir = ExtractFilePath(archiveFile_);
        if (dir.empty()) dir = AppendBackslash(os::CurrentDir());
    }
    dir = AppendBackslash(SlashToBackslash(dir));

    // Names come from the archive and are not to be trusted: whatever they
    // say, the result stays inside the output folder.
    std::vector<std::string> parts;
    std::vector<bool> mapped;  // per part: a character Windows forbids became '_'
    std::string part;
    bool partMapped = false;
    auto flush = [&] {
        // Windows drops dots and blanks at the end of a name ("a." and "a "
        // are "a"), so the name said is the one written; what is only dots
        // and blanks ("." and ".." too) names no file here.
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (!part.empty()) {
            parts.push_back(part);
            mapped.push_back(partMapped);
        }
        part.clear();
        partMapped = false;
    };
    size_t start = 0;
    if (name.size() >= 2 && name[1] == ':') start = 2;  // a drive prefix
    for (size_t i = start; i < name.size(); ++i) {
        const char c = name[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (os::IsLeadByte(u) && i + 1 < name.size()) {
            // A double-byte character, whose trail byte may equal '\' or '|'.
            part.push_back(c);
            part.push_back(name[++i]);
        } else if (c == '\\') {
            flush();
        } else if (c == ':') {
            continue;  // no drives and no alternate data streams
        } else if (IsForbiddenInName(u)) {
            part.push_back('_');
            partMapped = true;
        } else {
            part.push_back(c);
        }
    }
    flush();
    if (parts.empty()) {
        outputName_.clear();
        ReportError(name, "", "0", 25243);
        return {};
    }
    // A part that Windows takes for a device (NUL, COM1.txt, "con .") would
    // open the device instead of making a file: it gets a leading '_'.
    bool renamed = false;
    for (size_t i = useStoredDirs_ ? 0 : parts.size() - 1; i < parts.size(); ++i) {
        renamed = renamed || mapped[i];
        if (!IsDeviceName(parts[i])) continue;
        parts[i] = "_" + parts[i];
        renamed = true;
    }
    std::string result = dir;
    if (useStoredDirs_)
        for (size_t i = 0; i + 1 < parts.size(); ++i) result += parts[i] + "\\";
    result += parts.back();
    if (result.find(':') == std::string::npos && result[0] != '\\' && result[0] != '/') result = "\\" + result;
    outputName_ = result;
    // Said only where a file is made under the new name.
    if (renamed && OutputTarget == otFile) ReportError(name, "", "0", 25243);
    return result;
}

std::string TZipCommon::GetVolumeName(const std::string& Name, int N) {
    if (N < 0) return {};
    std::string base = Name.substr(0, LastDotPos(Name));
    // A dot in a folder name is not the extension's.
    size_t sep = Name.find_last_of("\\/:");
    if (sep != std::string::npos && LastDotPos(Name) < sep) base = Name;
    if (arcType_ == atRar || arcType_ == atRarExe) {
        // Volume 0 too: a set named .rar (letter 'q') goes on with .r00.
        if (N % 100 == 0) {
            int next = static_cast<unsigned char>(volumeLetter_) + 1;
            if (next >= 123) next = '0';
            volumeLetter_ = static_cast<char>(next);
        }
        N %= 100;
    }
    std::string number = std::to_string(N);
    if (N >= 100) return base + "." + number;
    if (N >= 10) return base + "." + volumeLetter_ + number;
    return base + "." + volumeLetter_ + "0" + number;
}

TDateTime TZipCommon::PackedDateToDateTime(uint32_t Packed) { return DosDateToDateTime(Packed); }

// ---- output -------------------------------------------------------------------

bool TZipCommon::OpenOutput(const std::string& Name, TStream* Stream) {
    if (Name.empty()) return false;
    ResetTextMode();
    switch (OutputTarget) {
        case otFile: {
            // Refused whole before any of its folders is made.
            if (Name.size() > os::MaxPathLength()) return false;
            std::string dir = ExtractFilePath(Name);
            if (!dir.empty()) {
                try {
                    ForceDirs(dir);
                } catch (const Exception&) {
                    return false;
                }
            }
            outFile_.Close();
            if (outFile_.Open(Name, os::OpenMode::Create)) return true;
            uint32_t attr = os::GetAttributes(Name);
            if (attr != os::kInvalidAttributes && (attr & os::faReadOnly)) {
                os::SetAttributes(Name, attr & ~os::faReadOnly);
                return outFile_.Open(Name, os::OpenMode::Create);
            }
            return false;
        }
        case otMemory:
            if (!StreamA) return false;
            memoryOutputs_.push_back(Name);
            return true;
        case otTempStream:
            tempOutput_ = std::make_unique<TTempFileStream>();
            return tempOutput_->IsOpen();
        case otCallerStream: return StreamB != nullptr;
        case otNone: return false;
        default: return true;
    }
}

bool TZipCommon::CloseOutput() {
    switch (OutputTarget) {
        case otFile: return outFile_.Close();
        case otMemory:
        case otCallerStream: return true;
        case otTempStream: tempOutput_.reset(); return true;
        case otNone: return false;
        default: return true;
    }
}

// ---- specs and progress -----------------------------------------------------

bool TZipCommon::MatchesFileSpec(const std::string& Name, bool NameOnly) const {
    if (ExtractFileName(Name).empty()) return false;
    bool taken = false;
    for (const std::string& spec : fileSpec_) {
        if (spec == "*.*" || WildcardMatch(spec, Name, NameOnly)) {
            taken = true;
            break;
        }
    }
    if (!taken) return false;
    for (const std::string& spec : excludeSpec_)
        if (spec == "*.*" || WildcardMatch(spec, Name, NameOnly)) return false;
    return true;
}

bool TZipCommon::MoreToFind(int Found) const {
    if (fileSpec_.size() > 1) return static_cast<int>(fileSpec_.size()) > Found;
    return fileSpec_.size() == 1 && fileSpec_[0].find('*') != std::string::npos;
}

void TZipCommon::DoProgress(int64_t Done, int64_t Total, int64_t ArchiveTotal) {
    progressByFile_ = static_cast<uint8_t>(PercentOf(Done, Total));
    // The bytes of the run still to do are what remained when the entry
    // began less what the entry has done since; the part done is measured
    // against the whole run, not against what was left of it.
    const int64_t whole = RunTotal();
    if (whole > 0)
        progressByArchive_ = static_cast<uint8_t>(PercentOf(whole - (ArchiveTotal - Done), whole));
    else
        progressByArchive_ = static_cast<uint8_t>(PercentOf(ArchiveTotal - (Total - Done), ArchiveTotal));
    if (ProgressHook) ProgressHook(Done, Total, ArchiveTotal);
}

void TZipCommon::DefaultProgress(int64_t, int64_t, int64_t) {
    os::ProcessMessages();
    if (OnProgress) OnProgress(this, progressByFile_, progressByArchive_);
}

uint8_t TZipCommon::CalcRatio(int64_t Packed, int64_t Unpacked) {
    if (Packed == 0 || Unpacked == 0 || Packed >= Unpacked) return 0;
    if (Unpacked - Packed > 100000) {
        Packed /= 100;
        Unpacked /= 100;
    }
    if (Unpacked == 0) return 1;
    int64_t r = (Unpacked - Packed) * 100 / Unpacked;
    return static_cast<uint8_t>(r == 0 ? 1 : r);
}

bool TZipCommon::EraseFile(const std::string& Name, bool AllowUndo) {
    if (AllowUndo && os::FileExists(Name)) return os::FileRecycle(Name);
    return os::FileDelete(Name);
}

int TZipCommon::GetFileIconIndex(const std::string& Name) { return os::ShellIconIndex(Name); }

std::string TZipCommon::GetFileTypeName(const std::string& Name) { return os::ShellTypeName(Name); }

std::string TZipCommon::MakeTempFileName() {
    std::string name = os::MakeTempFile("", "dvx");
    if (name.empty()) ReportError("TempFile", "", "0", 25235);
    return name;
}

// ---- volumes ------------------------------------------------------------------

bool TZipCommon::AskNextVolume(std::string& VolumeName, int VolumeID) {
    if (VolumeID > 999) {
        ReportError(VolumeName, "", std::to_string(VolumeID), 25250);
        return false;
    }
    if (VolumeName.empty()) {
        ReportError(VolumeName, "", std::to_string(VolumeID), 25243);
        return false;
    }
    if (!OnNextVolume) return false;
    if (ExtractFilePath(VolumeName).empty()) VolumeName = AppendBackslash(os::CurrentDir()) + VolumeName;
    bool found = false;
    for (;;) {
        bool cancelled = true;
        bool exists = os::FileExists(VolumeName);
        Paused([&] { OnNextVolume(this, VolumeName, std::to_string(VolumeID), exists, cancelled); });
        if (os::FileExists(VolumeName)) {
            found = true;
            break;
        }
        if (cancelled) break;
    }
    if (found) ++volumeNumber_;
    return found;
}

bool TZipCommon::OpenNextVolume(std::string& VolumeName) {
    if (!OnNextVolume) return false;
    VolumeName = GetVolumeName(VolumeName, volumeNumber_);
    if (!AskNextVolume(VolumeName, volumeNumber_)) {
        if (inFile_.IsOpen()) inFile_.Seek(inFile_.Size());
        return false;
    }
    std::string previous = inFile_.FileName();
    if (inFile_.IsOpen() && !inFile_.Close()) RaiseError(VolumeName, std::to_string(volumeNumber_), "0", 25137);
    if (!inFile_.Open(VolumeName, os::OpenMode::Read) || inFile_.Size() < 0) {
        if (!previous.empty()) inFile_.Open(previous, os::OpenMode::Read);
        RaiseError(VolumeName, "", "0", 25236);
    }
    arcFileSize_ = inFile_.Size();
    return true;
}

bool TZipCommon::ReopenSpannedDisk() {
    if (inFile_.IsOpen() && !inFile_.Close()) RaiseError(archiveFile_, "", "0", 25137);
    if (!inFile_.Open(archiveFile_, os::OpenMode::Read) || inFile_.Size() < 0)
        RaiseError(archiveFile_, "", "0", 25236);
    arcFileSize_ = inFile_.Size();
    return diskManager_->RefreshDiskInfo();
}

// ---- runs ---------------------------------------------------------------------

TRunScope::TRunScope(TZipCommon& c, TZipCommon* handOverFrom) : c_(c), previous_(RunningComponent()) {
    if (previous_ && previous_ != handOverFrom) c.RaiseError(c.ArchiveFile(), "", "0", 26859);
    SetRunningComponent(&c);
    c.SetCancelQuietly(false);
    c.ElapsedTimer().Start();
    try {
        if (c.OnActivate) c.OnActivate(&c);
    } catch (...) {
        c.ElapsedTimer().Stop();
        SetRunningComponent(previous_);
        throw;
    }
}

TRunScope::~TRunScope() {
    c_.ElapsedTimer().Stop();
    // Handlers must not throw out of a destructor; what they throw here is
    // lost, the run has ended anyway.
    try {
        if (c_.OnDeactivate) c_.OnDeactivate(&c_);
        if (c_.OnElapsedTime) c_.OnElapsedTime(&c_, c_.ElapsedTimer().ElapsedTime());
    } catch (...) {
    }
    SetRunningComponent(previous_);
}

}  // namespace bramble
