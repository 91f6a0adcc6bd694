#include "engine/bindings/cabinet.h"

#include "engine/core/os.h"

namespace bramble::cab {

namespace {

// Stand-ins for a missing library: every call still has a target.
HFDI BRAMBLE_CDECL NoFDICreate(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int, ERF*) {
    return nullptr;
}
BOOL32 BRAMBLE_CDECL NoFDIIsCabinet(HFDI, intptr_t, FDICABINETINFO*) { return 1; }
BOOL32 BRAMBLE_CDECL NoFDICopy(HFDI, char*, char*, int, PFNFDINOTIFY, void*, void*) { return 1; }
BOOL32 BRAMBLE_CDECL NoFDIDestroy(HFDI) { return 1; }

HFCI BRAMBLE_CDECL NoFCICreate(ERF*, PFNFCIFILEPLACED, PFNFCIALLOC, PFNFCIFREE, PFNFCIOPEN, PFNFCIREAD,
                               PFNFCIWRITE, PFNFCICLOSE, PFNFCISEEK, PFNFCIDELETE, PFNFCIGETTEMPFILE, CCAB*,
                               void*) {
    return nullptr;
}
BOOL32 BRAMBLE_CDECL NoFCIAddFile(HFCI, char*, char*, BOOL32, PFNFCIGETNEXTCABINET, PFNFCISTATUS,
                                  PFNFCIGETOPENINFO, TCOMP) {
    return 1;
}
BOOL32 BRAMBLE_CDECL NoFCIFlushCabinet(HFCI, BOOL32, PFNFCIGETNEXTCABINET, PFNFCISTATUS) { return 1; }
BOOL32 BRAMBLE_CDECL NoFCIFlushFolder(HFCI, PFNFCIGETNEXTCABINET, PFNFCISTATUS) { return 1; }
BOOL32 BRAMBLE_CDECL NoFCIDestroy(HFCI) { return 1; }

constexpr FdiEntryPoints kNoFdi{NoFDICreate, NoFDIIsCabinet, NoFDICopy, NoFDIDestroy};
constexpr FciEntryPoints kNoFci{NoFCICreate, NoFCIAddFile, NoFCIFlushCabinet, NoFCIFlushFolder, NoFCIDestroy};

// Only the system's own copy: a cabinet.dll planted in the current folder
// or on the path is never loaded.
std::string CabinetPath() { return LibraryPath(os::SystemFolder(), "cabinet.dll"); }

struct Bindings {
    TBinding fdiLib, fciLib;  // each interface holds the library for itself
    FdiEntryPoints fdi = kNoFdi;
    FciEntryPoints fci = kNoFci;
};

Bindings& State() {
    static Bindings b;
    return b;
}

// Binds both interfaces when the engine starts and lets them go when it
// ends.
struct EngineLifetime {
    EngineLifetime() {
        LoadCabinetReadLib();
        LoadCabinetLib();
    }
    ~EngineLifetime() {
        UnloadCabinetReadLib();
        UnloadCabinetLib();
    }
};
const EngineLifetime lifetime;

}  // namespace

void LoadCabinetReadLib() {
    Bindings& b = State();
    void* p[4];
    if (b.fdiLib.Load(CabinetPath(), {"FDICreate", "FDIIsCabinet", "FDICopy", "FDIDestroy"}, p))
        b.fdi = {SymbolAs<FDICreateFn>(p[0]), SymbolAs<FDIIsCabinetFn>(p[1]), SymbolAs<FDICopyFn>(p[2]),
                 SymbolAs<FDIDestroyFn>(p[3])};
    else
        b.fdi = kNoFdi;
}

void UnloadCabinetReadLib() {
    Bindings& b = State();
    b.fdiLib.Unload();
    b.fdi = kNoFdi;
}

void LoadCabinetLib() {
    Bindings& b = State();
    void* p[5];
    if (b.fciLib.Load(CabinetPath(), {"FCICreate", "FCIAddFile", "FCIFlushCabinet", "FCIFlushFolder", "FCIDestroy"},
                      p))
        b.fci = {SymbolAs<FCICreateFn>(p[0]), SymbolAs<FCIAddFileFn>(p[1]), SymbolAs<FCIFlushCabinetFn>(p[2]),
                 SymbolAs<FCIFlushFolderFn>(p[3]), SymbolAs<FCIDestroyFn>(p[4])};
    else
        b.fci = kNoFci;
}

void UnloadCabinetLib() {
    Bindings& b = State();
    b.fciLib.Unload();
    b.fci = kNoFci;
}

const FdiEntryPoints& Fdi() { return State().fdi; }
bool FdiLoaded() { return State().fdiLib.Loaded(); }
const FciEntryPoints& Fci() { return State().fci; }
bool FciLoaded() { return State().fciLib.Loaded(); }

}  // namespace bramble::cab
