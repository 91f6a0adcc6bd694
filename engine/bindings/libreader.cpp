#include "engine/bindings/libreader.h"

#include <algorithm>
#include <cstring>

#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

TLibraryReader* current = nullptr;

}  // namespace

TLibraryRun::TLibraryRun(TLibraryReader* Reader) { current = Reader; }
TLibraryRun::~TLibraryRun() { current = nullptr; }
TLibraryReader* TLibraryRun::Current() { return current; }

int BRAMBLE_STDCALL TLibraryRun::DataCallback(unsigned char* Addr, int Size) noexcept {
    return current ? current->ProcessData(Addr, Size) : 0;
}

int BRAMBLE_STDCALL TLibraryRun::VolumeCallback(char* ArcName, int Mode) noexcept {
    return current ? current->ChangeVolume(ArcName, Mode) : 0;
}

std::vector<char> NulTerminated(const std::string& S) {
    std::vector<char> b(S.begin(), S.end());
    b.push_back('\0');
    return b;
}

int TLibraryReader::ReadNext(TLibEntry& E) {
    E = TLibEntry{};
    const int result = ReadEntry(E);
    CheckPending();
    if (result == 0) ++headersRead_;
    return result;
}

bool TLibraryReader::PrepareRetry(int) {
    const int target = headersRead_;
    Close();
    Open();
    headersRead_ = 0;
    TLibEntry scratch;
    while (headersRead_ < target) {
        if (ReadNext(scratch) != 0) return false;
        if (headersRead_ == target) return true;
        CallProcess(opSkip, nullptr);
        CheckPending();
        if (volumeDeclined_ || cancel_) return false;
    }
    return true;
}

void TLibraryReader::RunEntries() {
    TLibraryRun run(this);
    struct Closer {
        TLibraryReader& r;
        ~Closer() { r.Close(); }
    } closer{*this};
    BeginRun();
    CountEntries(archiveFile_, std::max<int64_t>(scanPosition_ - 1, 0));
    Open();
    headersRead_ = 0;

    TLibEntry e;
    int result = ReadNext(e);
    bool stopped = false;
    while (result == 0 && !cancel_) {
        if (HandleEntry(e) == TOutcome::Stop) {
            stopped = true;
            break;
        }
        result = ReadNext(e);
    }
    // The loop runs to the library's end of the archive, not only up to the
    // entries counted: the library reads what the counting walk could not
    // (format 5, damaged or unknown blocks). Its end ends the loop quietly;
    // anything else it says about a header is reported.
    if (!stopped && !cancel_ && result != 0 && result != EndOfArchive()) {
        const int id = MessageOf(result);
        if (id != 0) ReportError(volumeName_, "", "0", id);
    }
}

void TLibraryReader::BeginRun() {
    counted_ = done_ = 0;
    volumeIndex_ = 0;
    volumeDeclined_ = false;
    lastAskedVolume_.clear();
    continuedCrc_ = 0;
    continuedSeen_ = false;
    pending_ = nullptr;
    volumeName_ = archiveFile_;
    totalPacked_ = totalUnpacked_ = 0;
    SetBytesToDo(0);
}

void TLibraryReader::CountEntry(int64_t Unpacked, int64_t Packed, uint32_t DosTime) {
    ++counted_;
    totalPacked_ += Packed;
    totalUnpacked_ += Unpacked;
    bytesToDo_ += Unpacked;
    totalToDo_ += Unpacked;
    if (DosTime > maxFileDate_) maxFileDate_ = DosTime;
}

void TLibraryReader::CheckPending() {
    if (!pending_) return;
    std::exception_ptr p = pending_;
    pending_ = nullptr;
    std::rethrow_exception(p);
}

std::string TLibraryReader::ShownName(const TLibEntry& E) const { return OemToAnsiName(E.StoredName); }

int TLibraryReader::ProcessData(const unsigned char* Addr, int Size) {
    if (!active_ || Size < 0) return 1;
    try {
        // Under a test the write hook folds the block into the check value;
        // otherwise it is folded here. Either way once.
        if (OutputTarget != otTest) Crc32Block(Addr, static_cast<size_t>(Size), Crc);
        if (cancel_) return 0;
        entryDone_ += Size;
        bytesToDo_ -= Size;
        ReportProgress(entryDone_, entrySize_);
        if (OutputTarget != otFile)
            ExtractWriteHook(OutputStreamArg(), true, Size, OutputTarget == otTest ? 32 : 0, false, Addr);
        return cancel_ ? 0 : 1;
    } catch (...) {
        // Nothing is thrown through the library: the run gets it afterwards.
        pending_ = std::current_exception();
        return 0;
    }
}

int TLibraryReader::ChangeVolume(char* ArcName, int Mode) {
    if (!ArcName) return 0;
    try {
        std::string name(ArcName, strnlen(ArcName, 256));
        // The library reports the move to a volume it had to ask for: that
        // one was answered already.
        const bool answered = Mode == 1 && !lastAskedVolume_.empty() && name == lastAskedVolume_;
        if (!answered) {
            if (!OnNextVolume || !AskNextVolume(name, ++volumeIndex_)) {
                volumeDeclined_ = true;
                return 0;
            }
            if (name.size() >= 256) {
                ReportError(name, "", std::to_string(volumeIndex_), 25243);
                volumeDeclined_ = true;
                return 0;
            }
            std::memcpy(ArcName, name.c_str(), name.size() + 1);
        }
        lastAskedVolume_ = Mode == 0 ? name : std::string();
        // ArchiveFile keeps the first volume's name: a password retry opens
        // the archive again from it and reads up to the same entry, and
        // setting it would run detection over every volume.
        volumeName_ = name;
        if (Mode == 1) CountEntries(name, 0);
        return 1;
    } catch (...) {
        pending_ = std::current_exception();
        volumeDeclined_ = true;
        return 0;
    }
}

void TLibraryReader::ReportResult(const std::string& FN, int Result) {
    const int id = MessageOf(Result);
    if (id != 0) ReportError(FN, "", "0", id);
}

int TLibraryReader::ProcessEntry(const TLibEntry& E, bool LastRound, bool& Stop) {
    const int operation = OutputTarget == otFile ? opExtract : opTest;
    const std::string out = ConvertFileName(E.StoredName);
    if (out.empty()) {
        NameRefused(ShownName(E), E.Size);
        return CallProcess(opSkip, nullptr);
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? out : ShownName(E);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, FileDateToDateTime(E.DosTime))) {
        case prStop: Stop = true; return 0;
        case prSkip: SkipBytes(E.Size); return CallProcess(opSkip, nullptr);
        case prExtract: break;
    }
    const std::string target = toFile ? OutputName() : FN;
    // Each entry that gets no output fails, and the library passes over it.
    if (OutputTarget == otFile) {
        const std::string dir = ExtractFilePath(target);
        if (!dir.empty() && !os::DirectoryExists(dir)) {
            try {
                ForceDirs(dir);
            } catch (const Exception&) {
                ReportError(dir, "", "0", 25150);
                SkipBytes(E.Size);
                EndEntry(FN, false);
                return CallProcess(opSkip, nullptr);
            }
        }
    } else if (OutputTarget < otNone && !OpenEntryOutput(FN, target, E.Size)) {
        return CallProcess(opSkip, nullptr);
    }

    Crc = 0xFFFFFFFF;
    entrySize_ = E.Size;
    entryDone_ = 0;
    continuedSeen_ = false;
    active_ = true;
    // The library writes the file itself: it is the entry's when the
    // library made it or sent data into it; a file it never came to stays.
    const bool existed = operation == opExtract && os::FileExists(target);
    int result;
    {
        struct Inactive {
            bool& a;
            ~Inactive() { a = false; }
        } inactive{active_};
        result = CallProcess(operation, operation == opExtract ? target.c_str() : nullptr);
    }
    if (operation == opExtract && !E.Folder && (!existed || entryDone_ > 0) && os::FileExists(target))
        EntryWroteFile(target);
    if (OutputTarget != otFile && OutputTarget < otNone) CloseOutput();
    CheckPending();
    if (cancel_) {
        Stop = true;
        return result;
    }
    if (result == 0 && OutputTarget == otFile && E.UnixHost && !E.Folder)
        // A Unix mode is no attribute: the file gets a plain one. It is set
        // here, on the file written, rather than by patching the archive's
        // headers for the run: a run that dies mid-way, a read-only archive
        // or one on a read-only medium would otherwise be left patched or
        // refused.
        os::SetAttributes(target, os::faArchive);
    SkipBytes(E.Size - entryDone_);
    if (result == 0 || LastRound) {
        const uint32_t expected = E.ToNext && continuedSeen_ ? continuedCrc_ : E.Crc;
        // The register as it stands or after its final inversion: either
        // form of the CRC passes.
        const bool pass = result == 0 && (~Crc == expected || Crc == expected);
        if (!EndEntry(FN, pass) && result == 0 && !pass) ReportError(FN, "", "0", 25151);
        if (!pass) --done_;
    }
    if (result != 0 && !E.Encrypted && !volumeDeclined_) {
        const int id = MessageOf(result);
        // A result the table does not know still fails the entry.
        ReportError(FN, "", "0", id != 0 ? id : 25151);
    }
    return result;
}

TLibraryReader::TOutcome TLibraryReader::PasswordRounds(const TLibEntry& E) {
    const std::string shown = ShownName(E);
    // What a failure reports when no round got as far as the library.
    int last = 0;
    const int attempts = passwordAttempts_;
    for (int round = 1; round <= attempts; ++round) {
        if (password_.empty()) {
            if (!OnGetPassword) break;
            std::string answer;
            bool tryAgain = true;
            Paused([&] { OnGetPassword(this, shown, answer, tryAgain); });
            if (cancel_ || !tryAgain || answer.empty()) break;
            password_ = answer;
        }
        CallSetPassword(password_);
        bool stop = false;
        const int result = ProcessEntry(E, round == attempts, stop);
        if (stop) return TOutcome::Stop;
        if (result == 0) return TOutcome::Processed;
        last = result;
        password_.clear();
        if (volumeDeclined_ || round == attempts || !PrepareRetry(result)) break;
    }
    if (cancel_ || volumeDeclined_) return TOutcome::Stop;
    const int id = last != 0 ? MessageOf(last) : 0;
    ReportError(shown, "", "0", id != 0 ? id : 26517);
    return TOutcome::Stop;
}

TLibraryReader::TOutcome TLibraryReader::HandleEntry(const TLibEntry& E) {
    // Folders and entries the file specs leave out are passed over without
    // a question, also when they are encrypted.
    if (E.Folder || !MatchesFileSpec(ShownName(E), false)) {
        const int result = CallProcess(opSkip, nullptr);
        CheckPending();
        if (result != 0 && !volumeDeclined_) ReportResult(ShownName(E), result);
        return volumeDeclined_ || cancel_ ? TOutcome::Stop : TOutcome::Processed;
    }
    ++done_;
    if (E.Encrypted) return PasswordRounds(E);
    bool stop = false;
    const int result = ProcessEntry(E, true, stop);
    // A library that says the user aborted has given up the archive.
    if (stop || volumeDeclined_ || cancel_ || (result != 0 && MessageOf(result) == 25400)) return TOutcome::Stop;
    return result == 0 ? TOutcome::Processed : TOutcome::Failed;
}

}  // namespace bramble
