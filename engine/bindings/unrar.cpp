#include "engine/bindings/unrar.h"

#include "engine/core/os.h"

namespace bramble::rar {

namespace {

HANDLE BRAMBLE_STDCALL NoOpen(RAROpenArchiveData* data) {
    // The library reports an open failure in the record, with no handle.
    if (data) data->OpenResult = 15;
    return nullptr;
}
int BRAMBLE_STDCALL NoClose(HANDLE) { return 0; }
int BRAMBLE_STDCALL NoReadHeader(HANDLE, RARHeaderData*) { return 12; }
int BRAMBLE_STDCALL NoProcessFile(HANDLE, int, char*, char*) { return 13; }
void BRAMBLE_STDCALL NoSetChangeVolProc(HANDLE, CHANGEVOLPROC) {}
void BRAMBLE_STDCALL NoSetProcessDataProc(HANDLE, PROCESSDATAPROC) {}
void BRAMBLE_STDCALL NoSetPassword(HANDLE, char*) {}

constexpr UnrarEntryPoints kMissing{NoOpen,          NoClose,           NoReadHeader, NoProcessFile,
                                    NoSetChangeVolProc, NoSetProcessDataProc, NoSetPassword};

struct Binding {
    TBinding lib;
    UnrarEntryPoints points = kMissing;
};

Binding& State() {
    static Binding b;
    return b;
}

struct EngineLifetime {
    EngineLifetime() { LoadUnrarDll(); }
    ~EngineLifetime() { UnloadUnrarDll(); }
};
const EngineLifetime lifetime;

}  // namespace

void LoadUnrarDll() {
    Binding& b = State();
    void* p[7];
    // Shipped beside the program: one planted in the current folder or on
    // the path is never loaded.
    if (b.lib.Load(LibraryPath(os::ProgramFolder(), "unrar.dll"),
                   {"RAROpenArchive", "RARCloseArchive", "RARReadHeader", "RARProcessFile", "RARSetChangeVolProc",
                    "RARSetProcessDataProc", "RARSetPassword"},
                   p)) {
        UnrarEntryPoints& e = b.points;
        e.RAROpenArchive = SymbolAs<decltype(e.RAROpenArchive)>(p[0]);
        e.RARCloseArchive = SymbolAs<decltype(e.RARCloseArchive)>(p[1]);
        e.RARReadHeader = SymbolAs<decltype(e.RARReadHeader)>(p[2]);
        e.RARProcessFile = SymbolAs<decltype(e.RARProcessFile)>(p[3]);
        e.RARSetChangeVolProc = SymbolAs<decltype(e.RARSetChangeVolProc)>(p[4]);
        e.RARSetProcessDataProc = SymbolAs<decltype(e.RARSetProcessDataProc)>(p[5]);
        e.RARSetPassword = SymbolAs<decltype(e.RARSetPassword)>(p[6]);
    } else {
        b.points = kMissing;
    }
}

void UnloadUnrarDll() {
    State().lib.Unload();
    State().points = kMissing;
}

const UnrarEntryPoints& Unrar() { return State().points; }
bool UnrarLoaded() { return State().lib.Loaded(); }

}  // namespace bramble::rar
