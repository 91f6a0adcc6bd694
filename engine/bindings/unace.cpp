#include "engine/bindings/unace.h"

#include "engine/core/os.h"

namespace bramble::ace {

namespace {

HANDLE BRAMBLE_STDCALL NoOpen(ACEOpenArchiveData* data) {
    // The library reports an open failure in the record, with no handle.
    if (data) data->OpenResult = 5;
    return nullptr;
}
int BRAMBLE_STDCALL NoClose(HANDLE) { return 0; }
int BRAMBLE_STDCALL NoReadHeader(HANDLE, ACEHeaderData*) { return 9; }
int BRAMBLE_STDCALL NoProcessFile(HANDLE, int, char*) { return 128; }
void BRAMBLE_STDCALL NoSetPassword(HANDLE, char*) {}

constexpr UnaceEntryPoints kMissing{NoOpen, NoClose, NoReadHeader, NoProcessFile, NoSetPassword};

struct Binding {
    TBinding lib;
    UnaceEntryPoints points = kMissing;
};

Binding& State() {
    static Binding b;
    return b;
}

struct EngineLifetime {
    EngineLifetime() { LoadUnAceDll(); }
    ~EngineLifetime() { UnloadUnAceDll(); }
};
const EngineLifetime lifetime;

}  // namespace

void LoadUnAceDll() {
    Binding& b = State();
    void* p[5];
    // Shipped beside the program: one planted in the current folder or on
    // the path is never loaded.
    if (b.lib.Load(LibraryPath(os::ProgramFolder(), "unace.dll"),
                   {"ACEOpenArchive", "ACECloseArchive", "ACEReadHeader", "ACEProcessFile", "ACESetPassword"}, p)) {
        UnaceEntryPoints& e = b.points;
        e.ACEOpenArchive = SymbolAs<decltype(e.ACEOpenArchive)>(p[0]);
        e.ACECloseArchive = SymbolAs<decltype(e.ACECloseArchive)>(p[1]);
        e.ACEReadHeader = SymbolAs<decltype(e.ACEReadHeader)>(p[2]);
        e.ACEProcessFile = SymbolAs<decltype(e.ACEProcessFile)>(p[3]);
        e.ACESetPassword = SymbolAs<decltype(e.ACESetPassword)>(p[4]);
    } else {
        b.points = kMissing;
    }
}

void UnloadUnAceDll() {
    State().lib.Unload();
    State().points = kMissing;
}

const UnaceEntryPoints& Unace() { return State().points; }
bool UnaceLoaded() { return State().lib.Loaded(); }

}  // namespace bramble::ace
