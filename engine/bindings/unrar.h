// The RAR maker's unrar.dll, bound at run time from the program's folder.
// Only the binding lives here; the RAR reader drives it.
#pragma once

#include <cstdint>

#include "engine/bindings/binding.h"

namespace bramble::rar {

using HANDLE = void*;

struct RAROpenArchiveData {
    char* ArcName;
    uint32_t OpenMode;    // 0 list, 1 extract
    uint32_t OpenResult;  // 0 or one of the library's error codes
    char* CmtBuf;
    uint32_t CmtBufSize;
    uint32_t CmtSize;
    uint32_t CmtState;
};

struct RARHeaderData {
    char ArcName[260];
    char FileName[260];
    uint32_t Flags;
    uint32_t PackSize;
    uint32_t UnpSize;
    uint32_t HostOS;
    uint32_t FileCRC;
    uint32_t FileTime;
    uint32_t UnpVer;
    uint32_t Method;
    uint32_t FileAttr;
    char* CmtBuf;
    uint32_t CmtBufSize;
    uint32_t CmtSize;
    uint32_t CmtState;
};

using CHANGEVOLPROC = int(BRAMBLE_STDCALL*)(char* ArcName, int Mode);
using PROCESSDATAPROC = int(BRAMBLE_STDCALL*)(unsigned char* Addr, int Size);

struct UnrarEntryPoints {
    HANDLE(BRAMBLE_STDCALL* RAROpenArchive)(RAROpenArchiveData* ArchiveData);
    int(BRAMBLE_STDCALL* RARCloseArchive)(HANDLE hArcData);
    int(BRAMBLE_STDCALL* RARReadHeader)(HANDLE hArcData, RARHeaderData* HeaderData);
    int(BRAMBLE_STDCALL* RARProcessFile)(HANDLE hArcData, int Operation, char* DestPath, char* DestName);
    void(BRAMBLE_STDCALL* RARSetChangeVolProc)(HANDLE hArcData, CHANGEVOLPROC Proc);
    void(BRAMBLE_STDCALL* RARSetProcessDataProc)(HANDLE hArcData, PROCESSDATAPROC Proc);
    void(BRAMBLE_STDCALL* RARSetPassword)(HANDLE hArcData, char* Password);
};

// The library's entry points, or substitutes with fixed results when it is
// missing: open fails with 15 (no handle), close 0, read header 12,
// process file 13, the setters do nothing.
const UnrarEntryPoints& Unrar();
bool UnrarLoaded();

void LoadUnrarDll();
void UnloadUnrarDll();

}  // namespace bramble::rar
