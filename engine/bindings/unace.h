// The ACE maker's unace.dll, bound at run time from the program's folder.
// Only the binding and the records it exchanges live here; the ACE reader
// drives it.
#pragma once

#include <cstdint>

#include "engine/bindings/binding.h"

namespace bramble::ace {

using HANDLE = void*;

// The same contracts as the RAR library's: a decoded block (answer 1 to go
// on, 0 to stop), and a volume path in a buffer of kVolumeBuffer bytes with
// mode 0 (the library asks for a missing volume) or 1 (it moves to one that
// exists); answer 1 to go on, 0 to stop.
using ACEPROCESSDATAPROC = int(BRAMBLE_STDCALL*)(unsigned char* Addr, int Size);
using ACECHANGEVOLPROC = int(BRAMBLE_STDCALL*)(char* ArcName, int Mode);
constexpr int kVolumeBuffer = 260;

struct ACEOpenArchiveData {
    char* ArcName;
    uint32_t OpenMode;    // 0 list, 1 extract
    uint32_t OpenResult;  // 0 or one of the library's error codes
    ACEPROCESSDATAPROC ProcessDataProc;
    ACECHANGEVOLPROC ChangeVolProc;
};

struct ACEHeaderData {
    char ArcName[260];
    char FileName[260];
    uint32_t Flags;
    uint32_t PackSize;
    uint32_t UnpSize;
    uint32_t FileTime;
    uint32_t FileAttr;
    uint32_t FileCRC;
    uint32_t HostOS;
    uint32_t Method;
};

// Result codes the reader relies on.
constexpr int kAceEndOfArchive = 2;
constexpr int kAceUserAbort = 255;

struct UnaceEntryPoints {
    HANDLE(BRAMBLE_STDCALL* ACEOpenArchive)(ACEOpenArchiveData* OpenData);
    int(BRAMBLE_STDCALL* ACECloseArchive)(HANDLE Archive);
    int(BRAMBLE_STDCALL* ACEReadHeader)(HANDLE Archive, ACEHeaderData* HeaderData);
    int(BRAMBLE_STDCALL* ACEProcessFile)(HANDLE Archive, int Operation, char* DestPath);
    void(BRAMBLE_STDCALL* ACESetPassword)(HANDLE Archive, char* Password);
};

// The library's entry points, or substitutes with fixed results when it is
// missing: open fails with 5 in the record (no handle), close 0, read
// header 9, process file 128, set password nothing.
const UnaceEntryPoints& Unace();
bool UnaceLoaded();

void LoadUnAceDll();
void UnloadUnAceDll();

}  // namespace bramble::ace
