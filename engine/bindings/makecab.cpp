#include "engine/bindings/makecab.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/cab.h"

namespace bramble {

namespace {

// The library's callbacks: each carries the writer as its user pointer and
// lets nothing thrown get past it.
template <typename R, typename F>
R Guarded(void* pv, R failure, F&& f) noexcept {
    auto* w = static_cast<TMakeCAB*>(pv);
    if (!w) return failure;
    try {
        return f(*w);
    } catch (...) {
        w->Call().Keep();
        return failure;
    }
}

int BRAMBLE_CDECL FilePlaced(cab::CCAB*, char*, cab::LONG32, cab::BOOL32, void*) noexcept { return 0; }
void* BRAMBLE_CDECL Alloc(uint32_t cb) noexcept { return std::malloc(cb ? cb : 1); }
void BRAMBLE_CDECL Free(void* p) noexcept { std::free(p); }

intptr_t BRAMBLE_CDECL Open(char* name, int oflag, int pmode, int* err, void* pv) noexcept {
    return Guarded<intptr_t>(pv, -1, [&](TMakeCAB& w) {
        return w.FileHandler().Open(w.FileOnDisk(name), oflag, pmode, *err);
    });
}
uint32_t BRAMBLE_CDECL Read(intptr_t hf, void* memory, uint32_t cb, int* err, void* pv) noexcept {
    return Guarded<uint32_t>(pv, static_cast<uint32_t>(-1),
                             [&](TMakeCAB& w) { return w.ReadSource(hf, memory, cb, *err); });
}
uint32_t BRAMBLE_CDECL Write(intptr_t hf, void* memory, uint32_t cb, int* err, void* pv) noexcept {
    return Guarded<uint32_t>(pv, static_cast<uint32_t>(-1),
                             [&](TMakeCAB& w) { return w.FileHandler().Write(hf, memory, cb, *err); });
}
int BRAMBLE_CDECL Close(intptr_t hf, int* err, void* pv) noexcept {
    return Guarded<int>(pv, -1, [&](TMakeCAB& w) { return w.FileHandler().Close(hf, *err); });
}
cab::LONG32 BRAMBLE_CDECL Seek(intptr_t hf, cab::LONG32 dist, int seektype, int* err, void* pv) noexcept {
    return Guarded<cab::LONG32>(pv, -1, [&](TMakeCAB& w) { return w.FileHandler().Seek(hf, dist, seektype, *err); });
}
int BRAMBLE_CDECL Delete(char* name, int* err, void* pv) noexcept {
    return Guarded<int>(pv, -1, [&](TMakeCAB& w) { return w.FileHandler().Delete(w.FileOnDisk(name), *err); });
}
cab::BOOL32 BRAMBLE_CDECL TempFile(char* buffer, int size, void* pv) noexcept {
    return Guarded<cab::BOOL32>(pv, 0, [&](TMakeCAB& w) -> cab::BOOL32 {
        const std::string name = w.GetTempFileName();
        if (name.empty() || static_cast<int>(name.size()) >= size) return 0;
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        return 1;
    });
}
cab::BOOL32 BRAMBLE_CDECL NextCabinet(cab::CCAB* ccab, uint32_t previous, void* pv) noexcept {
    return Guarded<cab::BOOL32>(pv, 0, [&](TMakeCAB& w) -> cab::BOOL32 { return w.GetNextCabinet(*ccab, previous); });
}
cab::LONG32 BRAMBLE_CDECL Status(uint32_t, uint32_t, uint32_t, void*) noexcept { return 0; }
intptr_t BRAMBLE_CDECL OpenInfo(char* name, uint16_t* date, uint16_t* time, uint16_t* attribs, int* err,
                                void* pv) noexcept {
    return Guarded<intptr_t>(pv, -1,
                             [&](TMakeCAB& w) { return w.GetOpenInfo(name, *date, *time, *attribs, *err); });
}

bool PutName(char (&buffer)[cab::kCabNameBuffer], const std::string& value) {
    if (value.size() >= sizeof buffer) return false;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return true;
}

const char* MethodName(TCompressMethod m) {
    switch (m) {
        case cmMsZip: return "MsZIP";
        case cmLzx: return "Lzx";
        case cmQuantum: return "Quantum";
        default: return "Stored";
    }
}

}  // namespace

TMakeCAB::TMakeCAB(TComponent* AOwner) : TCompBase(AOwner) {
    arcType_ = atCab;
    InitDefaultExt(".CAB");
    allowedMethods_ = TSet<TCompressMethod>{cmStore, cmMsZip, cmLzx, cmQuantum};
    compressMethod_ = cmMsZip;
}

TMakeCAB::~TMakeCAB() { DestroyContext(); }

void TMakeCAB::SetArcType(TArcType) {
    if (!ComponentState().contains(csLoading)) AddDefaultExt();
    arcType_ = atCab;
}

void TMakeCAB::SetLzxLevel(int v) { lzxLevel_ = std::clamp(v, 15, 21); }
void TMakeCAB::SetQuantumLevel(int v) { quantumLevel_ = std::clamp(v, 1, 7); }
void TMakeCAB::SetQuantumMemory(int v) { quantumMemory_ = std::clamp(v, 10, 21); }

uint16_t TMakeCAB::CompressionWord() const {
    switch (compressMethod_) {
        case cmMsZip: return cab::tcompTYPE_MSZIP;
        case cmLzx: return TCOMPfromLZXWindow(lzxLevel_);
        case cmQuantum: {
            // QuantumType's ordinal is the word's type; ctLzx (2) stands for
            // the library's LZX type, 3.
            const int type = quantumType_ == ctLzx ? cab::tcompTYPE_LZX : static_cast<int>(quantumType_);
            return TCOMPfromTypeLevelMemory(type, quantumLevel_, quantumMemory_);
        }
        default: return cab::tcompTYPE_NONE;
    }
}

uint16_t TMakeCAB::EntryMethodCode() const {
    switch (compressMethod_) {
        case cmMsZip: return 1;
        case cmLzx: return 2;
        case cmQuantum: return static_cast<uint16_t>(quantumType_);
        default: return 0;
    }
}

void TMakeCAB::CreateContext(const std::string& CabinetName) {
    DestroyContext();
    ccab_ = cab::CCAB{};
    ccab_.cb = 0x7FFFFFFF;
    ccab_.cbFolderThresh = 900000;
    ccab_.fFailOnIncompressible = failOnIncompressible_ ? 1 : 0;
    ccab_.setID = 0;
    if (!PutName(ccab_.szCab, ExtractFileName(CabinetName)) || !PutName(ccab_.szCabPath, ExtractFilePath(CabinetName)))
        RaiseError(archiveFile_, "", "0", 25243);
    call_.Clear();
    // The library keeps the error record's address for the context's life.
    context_ = cab::Fci().FCICreate(&call_.Erf, FilePlaced, Alloc, Free, Open, Read, Write, Close, Seek, Delete,
                                    TempFile, &ccab_, this);
    if (!context_) {
        call_.Check();
        RaiseCabinetError(call_.Erf.erfOper, call_.Erf.erfType);
    }
}

void TMakeCAB::DestroyContext() {
    if (context_) cab::Fci().FCIDestroy(context_);
    context_ = nullptr;
}

void TMakeCAB::CompressArchive() {
    if (archiveFile_.empty() || fileSpec_.empty()) return;
    if (!cab::FciLoaded()) RaiseError(archiveFile_, "", "0", 25261);
    // A cabinet is written whole: there is nothing to delete from or read.
    if (switch_ == swDelete || switch_ == swRead) {
        ReportError(archiveFile_, "", "0", 26859);
        return;
    }
    newArchive_ = !os::FileExists(archiveFile_);
    if (!newArchive_ && !IsWritableFile(archiveFile_)) {
        // With nobody to ask the run ends, and says why; a No from the
        // handler ends it without more said.
        if (!OnNonWriteableArchive) {
            ReportError(archiveFile_, "", "0", 25136);
            return;
        }
        bool writeToFile = false;
        Paused([&] { OnNonWriteableArchive(this, archiveFile_, writeToFile); });
        if (!writeToFile) return;
        if (!os::SetAttributes(archiveFile_, os::faArchive) || !IsWritableFile(archiveFile_)) {
            ReportError(archiveFile_, "", "0", 25136);
            return;
        }
    }

    TRunScope run(*this, this);
    // Runs first on the way out: the context and every file of the run are
    // let go, and an unfinished cabinet is removed. After an error nothing
    // is flushed: the library would finish a cabinet of what it took so
    // far, and the old cabinet is to stay as it was.
    struct Cleanup {
        TMakeCAB& c;
        ~Cleanup() {
            c.DestroyContext();
            c.files_.CloseAll();
            c.inputFile_.Close();
            c.entries_.Clear();
            if (!c.tempName_.empty() && os::FileExists(c.tempName_)) os::FileDelete(c.tempName_);
            c.tempName_.clear();
            // Names the library asked for and left behind, or never used.
            for (const std::string& name : c.libraryTemps_)
                if (os::FileExists(name)) os::FileDelete(name);
            c.libraryTemps_.clear();
            c.cabinetPath_.clear();
        }
    } cleanup{*this};

    GatherAll();

    // Written beside the target, so the last step is a rename. The library
    // is told the archive's own name, which the cabinet records (a chain's
    // next cabinet names it as the one before): the file it writes under
    // that name is the temporary (FileOnDisk).
    tempName_ = os::MakeTempFile(ExtractFilePath(archiveFile_), "dvx");
    if (tempName_.empty()) RaiseError(archiveFile_, "", "0", 25235);
    cabinetPath_ = os::FullPathName(archiveFile_);
    CreateContext(archiveFile_);

    // The run's own timer (TRunScope) tells OnElapsedTime, once, at its end.
    int count = 0;
    for (int i = 0; i < entries_.Count(); ++i) {
        os::ProcessMessages();
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        THeadObject& e = entries_[i];
        if (e.State != THeadObject::hsNew) continue;
        if (!CompressOne(e, ++count)) bytesToDo_ -= e.UnpackedSize;
    }
    if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
    if (filesAdded_ == 0) return;  // nothing to write: an existing cabinet stays

    call_.Clear();
    const bool flushed = cab::Fci().FCIFlushCabinet(context_, 0, NextCabinet, Status) != 0;
    call_.Check();
    if (!flushed) RaiseCabinetError(call_.Erf.erfOper, call_.Erf.erfType);
    DestroyContext();
    files_.CloseAll();
    if (!RenameTempArchive(tempName_, archiveFile_)) RaiseError(archiveFile_, ReplaceFailure(), "0", 25136);
    tempName_.clear();
    success_ = true;

    // A move takes the sources away once the cabinet in the archive's place
    // is seen to hold them.
    if (switch_ != swMove) return;
    const auto held = HeldSources();
    entries_.Clear();
    if (!held.empty()) DeleteMovedSources(held);
}

std::string TMakeCAB::FileOnDisk(const std::string& Name) const {
    if (tempName_.empty() || cabinetPath_.empty()) return Name;
    return UpperCase(os::FullPathName(Name)) == UpperCase(cabinetPath_) ? tempName_ : Name;
}

void TMakeCAB::ReadHeaders() {
    // Only the check before a move deletes its sources reads a cabinet (one
    // is never updated): the names it lists, if it is as long as its header
    // says. An entry whose data goes on into the next cabinet of a chain is
    // not whole here.
    if (!verifyPass_ || !oldArchive_) return;
    TFileStream& f = *oldArchive_;
    const int64_t size = f.Size();
    const int64_t headerMax = static_cast<int64_t>(cabfmt::kHeaderMax);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp<int64_t>(size, 0, headerMax)));
    const int64_t want = static_cast<int64_t>(buffer.size());
    cabfmt::Header h;
    if (want == 0 || !f.Seek(0) || f.Read(buffer.data(), want) != want ||
        !cabfmt::ParseHeader(buffer.data(), buffer.size(), h) || h.cbCabinet != size)
        return;
    int64_t at = h.coffFiles;
    for (int i = 0; i < h.cFiles; ++i) {
        uint8_t record[cabfmt::kFileMax];
        if (!f.Seek(at)) return;
        const int64_t got = f.Read(record, sizeof record);
        cabfmt::File file;
        if (got <= 0 || !cabfmt::ParseFile(record, static_cast<size_t>(got), file)) return;
        at += static_cast<int64_t>(file.size);
        if (file.iFolder == cabfmt::kContinuedToNext || file.iFolder == cabfmt::kContinuedPrevAndNext) continue;
        THeadObject e;
        e.Name = file.name;
        entries_.Add(std::move(e));
    }
}

bool TMakeCAB::CompressOne(THeadObject& e, int Count) {
    sourceSize_ = sourceLeft_ = e.UnpackedSize;
    std::string name = e.Name;
    if (!DoFileBegin(name, Count)) return false;
    // The library keeps names of up to 255 bytes; a longer one is refused,
    // never cut.
    if (name.empty() || name.size() >= cab::kCabNameBuffer || e.SourcePath.size() >= 260) {
        ReportError(e.SourcePath, "", "0", 25243);
        return false;
    }
    std::string source = e.SourcePath;
    call_.Clear();
    const bool added = cab::Fci().FCIAddFile(context_, source.data(), name.data(), 0, NextCabinet, Status, OpenInfo,
                                             CompressionWord()) != 0;
    sourceHandle_ = -1;
    call_.Check();
    if (!added) RaiseCabinetError(call_.Erf.erfOper, call_.Erf.erfType);
    e.Written = true;
    ++filesAdded_;
    if (OnRead) {
        EntryInfo.FileName = OemToAnsiName(name);
        OnRead(this, 0, 0);
    }
    if (OnEnd) OnEnd(this, e.SourcePath, true);
    return true;
}

uint32_t TMakeCAB::ReadSource(intptr_t Handle, void* Buffer, uint32_t Count, int& Error) {
    const uint32_t got = files_.Read(Handle, Buffer, Count, Error);
    if (Handle == sourceHandle_ && got != static_cast<uint32_t>(-1) && got > 0) {
        sourceLeft_ = std::max<int64_t>(sourceLeft_ - got, 0);
        bytesToDo_ = std::max<int64_t>(bytesToDo_ - got, 0);
        progressByFile_ = static_cast<uint8_t>(PercentOf(sourceSize_ - sourceLeft_, sourceSize_));
        progressByArchive_ = static_cast<uint8_t>(PercentOf(totalToDo_ - bytesToDo_, totalToDo_));
        if (ProgressHook) ProgressHook(sourceSize_ - sourceLeft_, sourceSize_, totalToDo_);
    }
    return got;
}

std::string TMakeCAB::GetTempFileName() {
    // The file made for the name is kept: the library opens it by name
    // later, and a name let go in between could be taken by anyone. Our
    // handler's create opens it again from empty.
    std::string name = os::MakeTempFile(tempDir_, "dvx");
    if (!name.empty()) libraryTemps_.push_back(name);
    return name;
}

intptr_t TMakeCAB::GetOpenInfo(const std::string& Name, uint16_t& Date, uint16_t& Time, uint16_t& Attribs,
                               int& Error) {
    const uint32_t attr = os::GetAttributes(Name);
    if (attr == os::kInvalidAttributes) {
        Error = static_cast<int>(os::LastError());
        return -1;
    }
    const intptr_t hf = files_.Open(Name, cab::kOpenBinary | cab::kOpenReadOnly, 0, Error);
    if (hf == -1) return -1;
    sourceHandle_ = hf;
    os::FileTimes times;
    // Stored times are local DOS times, as the file list shows them.
    const uint32_t dos = ApplyDateAttribute(os::GetTimes(Name, times) ? FileTimeToDosDate(times.lastWrite) : 0);
    Date = static_cast<uint16_t>(dos >> 16);
    Time = static_cast<uint16_t>(dos & 0xFFFF);
    Attribs = static_cast<uint16_t>(attr & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive));
    if (OnRead) {
        EntryInfo.Clear();
        EntryInfo.UnpackedSize = sourceSize_;
        EntryInfo.PackedSize = sourceSize_;
        EntryInfo.DateTime = DosDateToDateTime(dos);
        EntryInfo.Attr = EntryInfo.ExternalAttr = Attribs;
        EntryInfo.MethodCode = EntryMethodCode();
        EntryInfo.MethodName = MethodName(compressMethod_);
    }
    return hf;
}

bool TMakeCAB::GetNextCabinet(cab::CCAB& Cab, uint32_t PreviousSize) {
    bool abort = true;
    std::string name;
    if (OnGetNextCabinet) Paused([&] { OnGetNextCabinet(this, Cab, name, static_cast<int>(PreviousSize), abort); });
    if (abort) return false;
    if (!PutName(Cab.szCab, ExtractFileName(name)) || !PutName(Cab.szCabPath, ExtractFilePath(name))) {
        ReportError(name, "", "0", 25243);
        return false;
    }
    return true;
}

}  // namespace bramble
