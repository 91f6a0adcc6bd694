#include "engine/bindings/uncab.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/cab.h"

namespace bramble {

namespace {

constexpr uint16_t kNameIsUtf = 0x80;

// The run under way. The library's file callbacks carry no user pointer,
// so they find the reader here; one run at a time in the process.
struct CabRun {
    TUnCAB* reader = nullptr;
    TCabinetCall* call = nullptr;
    bool counting = false;
    bool takeInfo = false;  // only the first cabinet report of each copy counts
    std::string nextCabinet, nextDisk, cabinetPath;
    int setId = 0, index = 0;
    bool goOn = true;
    bool refused = false;  // a notification stopped the copy on purpose
    int64_t counted = 0;
    std::set<std::string> walked;  // cabinets copied in this run, upper case
    std::map<std::string, bool> checked;  // CheckTables' answer per cabinet, upper case
    // Entries whose data reaches past their folder's: refused, never
    // asked of the library.
    std::vector<cabfmt::File> pastFolder;
};
CabRun run;

// Every callback the library gets: nothing thrown gets past them. A failure
// is kept for the caller and the library gets its failure value.
template <typename R, typename F>
R Guarded(R failure, F&& f) noexcept {
    if (!run.reader) return failure;
    try {
        return f();
    } catch (...) {
        run.call->Keep();
        return failure;
    }
}

void* BRAMBLE_CDECL CabAlloc(uint32_t cb) noexcept { return std::malloc(cb ? cb : 1); }
void BRAMBLE_CDECL CabFree(void* p) noexcept { std::free(p); }

intptr_t BRAMBLE_CDECL CabOpen(char* name, int oflag, int pmode) noexcept {
    return Guarded<intptr_t>(-1, [&] {
        int error = 0;
        return run.reader->FileHandler().Open(name, oflag, pmode, error);
    });
}

uint32_t BRAMBLE_CDECL CabRead(intptr_t hf, void* pv, uint32_t cb) noexcept {
    return Guarded<uint32_t>(static_cast<uint32_t>(-1), [&] {
        int error = 0;
        return run.reader->FileHandler().Read(hf, pv, cb, error);
    });
}

uint32_t BRAMBLE_CDECL CabWrite(intptr_t hf, void* pv, uint32_t cb) noexcept {
    return Guarded<uint32_t>(static_cast<uint32_t>(-1), [&]() -> uint32_t {
        if (hf == TUnCAB::kOutputHandle) {
            // The library may write on after a write it was refused (a full
            // disk): the failure kept ends the run, nothing more is written.
            if (run.call->Pending) return static_cast<uint32_t>(-1);
            return static_cast<uint32_t>(run.reader->WriteEntryData(pv, cb));
        }
        int error = 0;
        return run.reader->FileHandler().Write(hf, pv, cb, error);
    });
}

int BRAMBLE_CDECL CabClose(intptr_t hf) noexcept {
    return Guarded<int>(-1, [&] {
        if (hf == TUnCAB::kOutputHandle) {
            run.reader->AbandonOutput();
            return 0;
        }
        int error = 0;
        return run.reader->FileHandler().Close(hf, error);
    });
}

cab::LONG32 BRAMBLE_CDECL CabSeek(intptr_t hf, cab::LONG32 dist, int seektype) noexcept {
    return Guarded<cab::LONG32>(-1, [&] {
        int error = 0;
        return run.reader->FileHandler().Seek(hf, dist, seektype, error);
    });
}

// Copies an answer back into one of the library's 256-byte buffers; a
// name that does not fit is refused, never cut: a cut path names another
// file, which the library would then open.
bool PutBack(char* buffer, const std::string& value) {
    if (!buffer || value.size() >= cab::kCabNameBuffer) return false;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return true;
}

std::string Str(const char* s) { return s ? s : ""; }

intptr_t BRAMBLE_CDECL CabNotify(cab::FDINOTIFICATIONTYPE type, cab::FDINOTIFICATION* n) noexcept {
    return Guarded<intptr_t>(-1, [&]() -> intptr_t {
        TUnCAB& r = *run.reader;
        switch (type) {
            case cab::fdintCABINET_INFO:
                r.CabinetInfo(Str(n->psz1), Str(n->psz2), Str(n->psz3), n->setID, n->iCabinet);
                return 0;
            case cab::fdintCOPY_FILE: {
                // After a failure kept for the caller no entry is begun.
                if (!run.goOn || run.call->Pending) {
                    if (!run.goOn) {
                        run.call->Erf.erfOper = cab::kFdiErrorUserAbort;
                        run.call->Erf.fError = 1;
                    }
                    run.refused = true;
                    return -1;
                }
                const TUnCAB::TCopyAction action =
                    run.counting ? r.CountFile(Str(n->psz1), static_cast<uint32_t>(n->cb), n->date, n->time, n->attribs)
                                 : r.CopyFile(Str(n->psz1), static_cast<uint32_t>(n->cb), n->date, n->time, n->attribs);
                if (action == TUnCAB::caExtract) return TUnCAB::kOutputHandle;
                if (action == TUnCAB::caSkip) return 0;
                run.refused = true;
                return -1;
            }
            case cab::fdintCLOSE_FILE_INFO:
                r.CloseFileInfo(Str(n->psz1), n->hf, n->date, n->time, n->attribs, n->cb != 0);
                return 1;
            case cab::fdintNEXT_CABINET: {
                std::string name = Str(n->psz1), disk = Str(n->psz2), path = Str(n->psz3);
                const std::string askedName = name, askedDisk = disk;
                bool ok = r.NextCabinet(name, disk, path, n->fdie);
                if (ok && (!PutBack(n->psz3, path) || (name != askedName && !PutBack(n->psz1, name)) ||
                           (disk != askedDisk && !PutBack(n->psz2, disk)))) {
                    r.ReportError(path + name, "", "0", 25243);
                    ok = false;
                }
                if (ok) return 0;
                run.refused = true;
                return -1;
            }
            default: return 0;
        }
    });
}

bool PastItsFolder(const std::string& Name, int64_t Size, uint16_t Date, uint16_t Time) {
    for (const cabfmt::File& f : run.pastFolder)
        if (f.name == Name && f.cbFile == Size && f.date == Date && f.time == Time) return true;
    return false;
}

std::string ShownName(const std::string& stored, uint16_t attribs) {
    return (attribs & kNameIsUtf) ? SlashToBackslash(stored) : OemToAnsiName(stored);
}

// Holds the run state for one extraction and clears it however it ends.
struct RunGuard {
    RunGuard(TUnCAB* reader, TCabinetCall* call) {
        run = CabRun();
        run.reader = reader;
        run.call = call;
    }
    ~RunGuard() { run = CabRun(); }
};

}  // namespace

TUnCAB::TUnCAB(TComponent* AOwner) : TUnBase(AOwner) { arcType_ = atCab; }

TUnCAB::~TUnCAB() {
    if (context_) cab::Fdi().FDIDestroy(context_);
}

bool TUnCAB::CreateContext() {
    if (context_) return true;
    call_.Clear();
    // The library keeps the error record's address for the context's life.
    context_ = cab::Fdi().FDICreate(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek,
                                    static_cast<int>(cpuType_) - 1, &call_.Erf);
    if (!context_) {
        call_.Check();
        RaiseCabinetError(call_.Erf.erfOper, call_.Erf.erfType);
    }
    return true;
}

bool TUnCAB::IsCabinet(const std::string& Path) {
    int error = 0;
    const intptr_t hf = files_.Open(Path, cab::kOpenBinary | cab::kOpenReadOnly, 0, error);
    if (hf == -1) RaiseError(Path, "", "0", 25235);
    cab::FDICABINETINFO info{};
    call_.Clear();
    // FALSE only says "not a cabinet": the error record is not looked at.
    const bool is = cab::Fdi().FDIIsCabinet(context_, hf, &info) != 0;
    const bool closed = files_.Close(hf, error) == 0;
    if (call_.Pending) call_.Check();
    if (!closed) RaiseError(Path, "", "0", 25137);
    return is;
}

bool TUnCAB::CheckTables(const std::string& Path) {
    const auto known = run.checked.find(UpperCase(Path));
    if (known != run.checked.end()) return known->second;
    int error = 0;
    const intptr_t hf = files_.Open(Path, cab::kOpenBinary | cab::kOpenReadOnly, 0, error);
    if (hf == -1) RaiseError(Path, "", "0", 25235);
    const int32_t size = files_.Seek(hf, 0, SEEK_END, error);
    const cabfmt::Survey s =
        cabfmt::SurveyCabinet(size > 0 ? static_cast<uint64_t>(size) : 0, [&](uint64_t at, void* buffer, size_t count) {
            int e = 0;
            if (at > static_cast<uint64_t>(size) || files_.Seek(hf, static_cast<int32_t>(at), SEEK_SET, e) < 0)
                return size_t{0};
            const uint32_t got = files_.Read(hf, buffer, static_cast<uint32_t>(count), e);
            return got == static_cast<uint32_t>(-1) ? size_t{0} : size_t{got};
        });
    files_.Close(hf, error);
    const bool usable = s.usable && !s.cutShort;
    run.checked[UpperCase(Path)] = usable;
    // Entries that reach past their folder are said one by one, as the run
    // meets them.
    if (!usable || s.files.size() < s.header.cFiles) ReportError(Path, "", "0", 25108);
    if (!usable) return false;
    if (s.files.size() < s.header.cFiles) {
        uint8_t count[2];
        PutLe16(count, static_cast<uint16_t>(s.files.size()));
        files_.Amend(Path, cabfmt::kFileCountAt, std::string(count, count + 2));
    }
    for (size_t i = 0; i < s.files.size(); ++i)
        if (s.pastItsFolder[i]) run.pastFolder.push_back(s.files[i]);
    return true;
}

bool TUnCAB::CopyCabinet(const std::string& Path, bool Counting) {
    std::string folder = ExtractFilePath(Path), name = ExtractFileName(Path);
    char nameBuffer[cab::kCabNameBuffer], folderBuffer[cab::kCabNameBuffer];
    // The library joins the two into buffers of its own of this size.
    if (folder.size() + name.size() >= cab::kCabNameBuffer || !PutBack(nameBuffer, name) ||
        !PutBack(folderBuffer, folder))
        RaiseError(Path, "", "0", 25243);
    run.counting = Counting;
    run.refused = false;
    if (Counting) {
        run.counted = 0;
        totalUnpacked_ = 0;
    }
    call_.Clear();
    const bool ok = cab::Fdi().FDICopy(context_, nameBuffer, folderBuffer, 0, CabNotify, nullptr, this) != 0;
    run.counting = false;
    if (outputOpen_) {
        // The library gave up inside the entry (its data fails the
        // checksum, say): the entry failed, whatever the run does next. A
        // failed write or a cancel says so itself.
        AbandonOutput();
        if (!call_.Pending && !cancel_) EndEntry(entryName_, false);
    }
    if (call_.Pending) call_.Check();
    if (!ok) {
        // A cancel ends the run as every reader's does, with "User Aborted",
        // not as the library's user-abort error.
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        if (run.refused) return false;
    }
    call_.Check();
    if (Counting) SetBytesToDo(run.counted);
    return true;
}

void TUnCAB::ExtractArchive() {
    if (!cab::FdiLoaded()) RaiseError(archiveFile_, "", "0", 25261);
    RunGuard guard(this, &call_);
    struct CloseLeftovers {
        TStreamCabinetFileHandler& files;
        ~CloseLeftovers() { files.CloseAll(); }
    } leftovers{files_};
    run.goOn = true;
    Crc = 0xFFFFFFFF;
    CreateContext();
    // A cabinet behind a self-extractor's program is read from where it
    // starts.
    files_.SetOrigin(archiveFile_, arcOffset_ > 1 ? arcOffset_ - 1 : 0);
    files_.ClearAmends();

    std::string cabinet = archiveFile_;
    if (os::FileExists(cabinet) && (!IsCabinet(cabinet) || !CheckTables(cabinet))) return;
    if (!CopyCabinet(cabinet, true)) return;
    for (;;) {
        run.walked.insert(UpperCase(cabinet));
        run.takeInfo = true;
        run.nextCabinet.clear();
        if (!CopyCabinet(cabinet, false)) break;
        if (!run.goOn || cancel_ || run.nextCabinet.empty()) break;
        std::string next = ExtractFilePath(cabinet) + ExtractFileName(SlashToBackslash(run.nextCabinet));
        const int setId = run.setId, index = run.index;
        if (!AskNextVolume(next, index + 1)) break;
        if (run.walked.count(UpperCase(next))) {
            // A chain that leads back to a cabinet already read.
            ReportError(next, "", "0", 25904);
            break;
        }
        files_.SetOrigin({}, 0);
        if (!IsCabinet(next)) {
            ReportError(next, "", "0", 25904);
            break;
        }
        if (!CheckTables(next)) break;
        cabinet = next;
        if (!CopyCabinet(cabinet, true)) break;
        if (run.setId != setId || run.index != index + 1) {
            ReportError(next, "", "0", 25904);
            break;
        }
    }
}

void TUnCAB::CabinetInfo(const std::string& NextCabinet, const std::string& NextDisk,
                         const std::string& CabinetPath, int SetId, int CabinetIndex) {
    if (!run.takeInfo && !run.counting) return;
    run.nextCabinet = NextCabinet;
    run.nextDisk = NextDisk;
    run.cabinetPath = CabinetPath;
    run.setId = SetId;
    run.index = CabinetIndex;
    if (!run.counting) run.takeInfo = false;
}

TUnCAB::TCopyAction TUnCAB::CountFile(const std::string& Name, int64_t Size, uint16_t Date, uint16_t Time,
                                      uint16_t Attribs) {
    if (MatchesFileSpec(ShownName(Name, Attribs), false) && !cancel_ && !PastItsFolder(Name, Size, Date, Time)) {
        run.counted += Size;
        totalUnpacked_ += Size;
        const uint32_t dos = uint32_t{Date} << 16 | Time;
        if (dos > maxFileDate_) maxFileDate_ = dos;
    }
    return caSkip;
}

TUnCAB::TCopyAction TUnCAB::CopyFile(const std::string& Name, int64_t Size, uint16_t Date, uint16_t Time,
                                     uint16_t Attribs) {
    const std::string shown = ShownName(Name, Attribs);
    if (!MatchesFileSpec(shown, false) || cancel_) return caSkip;
    entrySize_ = Size;
    entryDone_ = 0;
    const std::string out = ConvertFileName((Attribs & kNameIsUtf) ? os::AnsiToOem(shown) : Name);
    if (out.empty()) {
        NameRefused(shown, Size);
        return caSkip;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    if (PastItsFolder(Name, Size, Date, Time)) {
        // Its bytes were not counted: there are none to take off.
        EntryFailed(toFile ? out : shown, 25108, 0);
        return caSkip;
    }
    std::string FN = toFile ? out : shown;
    bool exists = false;
    const TPrepareResult r = PrepareExtractFile(FN, exists, FileDateToDateTime(uint32_t{Date} << 16 | Time));
    run.goOn = !cancel_;
    if (r == prStop) return caAbort;
    if (r == prSkip) {
        SkipBytes(Size);
        return caSkip;
    }
    entryName_ = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(entryName_, entryName_, Size)) return caSkip;
    outputOpen_ = true;
    Crc = 0xFFFFFFFF;
    return caExtract;
}

int64_t TUnCAB::WriteEntryData(const void* Buffer, uint32_t Count) {
    if (run.counting) return Count;
    bytesToDo_ -= Count;
    entryDone_ += Count;
    ReportProgress(entryDone_, entrySize_);
    // The library checks the data; the check value is kept for the
    // handlers all the same.
    return ExtractWriteHook(OutputStreamArg(), true, Count, 32, false, static_cast<const uint8_t*>(Buffer));
}

void TUnCAB::CloseFileInfo(const std::string&, intptr_t, uint16_t Date, uint16_t Time, uint16_t Attribs, bool) {
    if (!outputOpen_) return;
    if (call_.Pending) {
        // A write failed (reported, the output removed): the run ends with
        // it once the library returns.
        AbandonOutput();
        return;
    }
    if (entryDone_ != entrySize_) {
        // The library closes an entry whose data it could not get whole (its
        // next cabinet was refused): what arrived is not the entry.
        AbandonOutput();
        if (!EndEntry(entryName_, false)) ReportError(entryName_, "", "0", 25151);
        return;
    }
    outputOpen_ = false;
    // Closed and stamped before OnEnd, as every reader does: the handler
    // sees the finished file.
    if (OutputTarget == otFile)
        RestoreFileStamp(Attribs, uint32_t{Date} << 16 | Time, entryName_);
    else
        CloseOutput();
    // The library has checked the data.
    EndEntry(entryName_, true);
}

void TUnCAB::AbandonOutput() {
    if (!outputOpen_) return;
    outputOpen_ = false;
    // What was written of it is not the entry: nothing partial is left.
    DiscardOutput();
}

bool TUnCAB::NextCabinet(std::string& Name, std::string& Disk, std::string& Path, int Error) {
    (void)Disk;
    std::string full = AppendBackslash(Path) + ExtractFileName(SlashToBackslash(Name));
    if (Path.empty()) full = ExtractFilePath(archiveFile_) + ExtractFileName(SlashToBackslash(Name));
    if (Error != 0) {
        // The library could not use the cabinet it was given: asking again
        // for the same one would go round for ever.
        ReportError(full, "", "0", 25904);
        return false;
    }
    if (!AskNextVolume(full, run.index + 1)) return false;
    if (run.walked.count(UpperCase(full))) {
        ReportError(full, "", "0", 25904);
        return false;
    }
    if (!CheckTables(full)) return false;
    Path = ExtractFilePath(full);
    Name = ExtractFileName(full);
    return true;
}

}  // namespace bramble
