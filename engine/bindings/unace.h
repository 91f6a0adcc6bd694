// The ACE maker's unace.dll, bound at run time from the program's folder.
// Only the binding lives here; the ACE reader drives it and gives the
// records their shape (they pass through here untyped).
#pragma once

#include <cstdint>

#include "engine/bindings/binding.h"

namespace bramble::ace {

struct UnaceEntryPoints {
    int(BRAMBLE_STDCALL* ACEOpenArchive)(void* OpenData);
    int(BRAMBLE_STDCALL* ACECloseArchive)(void* Archive);
    int(BRAMBLE_STDCALL* ACEReadHeader)(void* Archive, void* HeaderData);
    int(BRAMBLE_STDCALL* ACEProcessFile)(void* Archive, int Operation, char* DestPath);
    void(BRAMBLE_STDCALL* ACESetPassword)(void* Archive, char* Password);
};

// The library's entry points, or substitutes with fixed results when it is
// missing: open 5, close 0, read header 9, process file 128, set password
// nothing.
const UnaceEntryPoints& Unace();
bool UnaceLoaded();

void LoadUnAceDll();
void UnloadUnAceDll();

}  // namespace bramble::ace
