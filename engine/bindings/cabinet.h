// The platform's cabinet library, cabinet.dll: its File Decompression
// Interface (FDI, reading) and File Compression Interface (FCI, writing),
// declared as the library's published interface describes them, and the two
// run-time bindings of it. Natively the library is never there.
#pragma once

#include <cstdint>

#include "engine/bindings/binding.h"

namespace bramble::cab {

// The library's 32-bit BOOL, int and long (long is 32 bits on Windows).
using BOOL32 = int32_t;
using LONG32 = int32_t;
using HFDI = void*;
using HFCI = void*;

// The error record every FDI and FCI context reports into.
struct ERF {
    int32_t erfOper;  // the library's error code (FDIERROR_* / FCIERR_*)
    int32_t erfType;  // the C run-time's errno, when it applies
    BOOL32 fError;
};

// open() flags and modes the library passes to the file callbacks.
enum : int {
    kOpenReadOnly = 0x0000,
    kOpenWriteOnly = 0x0001,
    kOpenReadWrite = 0x0002,
    kOpenAppend = 0x0008,
    kOpenCreate = 0x0100,
    kOpenTruncate = 0x0200,
    kOpenExclusive = 0x0400,
    kOpenBinary = 0x8000,
};

// ---- FDI ----------------------------------------------------------------

using PFNALLOC = void*(BRAMBLE_CDECL*)(uint32_t cb);
using PFNFREE = void(BRAMBLE_CDECL*)(void* pv);
using PFNOPEN = intptr_t(BRAMBLE_CDECL*)(char* pszFile, int oflag, int pmode);
using PFNREAD = uint32_t(BRAMBLE_CDECL*)(intptr_t hf, void* pv, uint32_t cb);
using PFNWRITE = uint32_t(BRAMBLE_CDECL*)(intptr_t hf, void* pv, uint32_t cb);
using PFNCLOSE = int(BRAMBLE_CDECL*)(intptr_t hf);
using PFNSEEK = LONG32(BRAMBLE_CDECL*)(intptr_t hf, LONG32 dist, int seektype);

struct FDICABINETINFO {
    LONG32 cbCabinet;
    uint16_t cFolders;
    uint16_t cFiles;
    uint16_t setID;
    uint16_t iCabinet;
    BOOL32 fReserve;
    BOOL32 hasprev;
    BOOL32 hasnext;
};

enum FDINOTIFICATIONTYPE : int {
    fdintCABINET_INFO = 0,
    fdintPARTIAL_FILE = 1,
    fdintCOPY_FILE = 2,
    fdintCLOSE_FILE_INFO = 3,
    fdintNEXT_CABINET = 4,
    fdintENUMERATE = 5,
};

// FDIERROR_USER_ABORT: what a notification sets when it stops a copy.
constexpr int kFdiErrorUserAbort = 11;
// The size of the name and path buffers FDI hands to fdintNEXT_CABINET.
constexpr int kCabNameBuffer = 256;

struct FDINOTIFICATION {
    LONG32 cb;
    char* psz1;
    char* psz2;
    char* psz3;  // fdintNEXT_CABINET: the cabinet path buffer, 256 bytes
    void* pv;    // FDICopy's user pointer
    intptr_t hf;
    uint16_t date;
    uint16_t time;
    uint16_t attribs;
    uint16_t setID;
    uint16_t iCabinet;
    uint16_t iFolder;
    int fdie;  // FDIERROR of a failed attempt at the next cabinet
};

using PFNFDINOTIFY = intptr_t(BRAMBLE_CDECL*)(FDINOTIFICATIONTYPE fdint, FDINOTIFICATION* pfdin);

using FDICreateFn = HFDI(BRAMBLE_CDECL*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK,
                                         int cpuType, ERF* perf);
using FDIIsCabinetFn = BOOL32(BRAMBLE_CDECL*)(HFDI, intptr_t hf, FDICABINETINFO* pfdici);
using FDICopyFn = BOOL32(BRAMBLE_CDECL*)(HFDI, char* pszCabinet, char* pszCabPath, int flags,
                                         PFNFDINOTIFY pfnfdin, void* pfnfdid, void* pvUser);
using FDIDestroyFn = BOOL32(BRAMBLE_CDECL*)(HFDI);

struct FdiEntryPoints {
    FDICreateFn FDICreate;
    FDIIsCabinetFn FDIIsCabinet;
    FDICopyFn FDICopy;
    FDIDestroyFn FDIDestroy;
};

// ---- FCI ----------------------------------------------------------------

// The cabinet description FCI reads when it starts a cabinet, and fills in
// for the next one.
struct CCAB {
    uint32_t cb;              // largest cabinet
    uint32_t cbFolderThresh;  // folder size at which a new folder starts
    uint32_t cbReserveCFHeader;
    uint32_t cbReserveCFFolder;
    uint32_t cbReserveCFData;
    int32_t iCab;
    int32_t iDisk;
    int32_t fFailOnIncompressible;
    uint16_t setID;
    char szDisk[kCabNameBuffer];
    char szCab[kCabNameBuffer];
    char szCabPath[kCabNameBuffer];
};

// The compression word of FCIAddFile: type in the low nibble, level at 4,
// window or memory at 8.
using TCOMP = uint16_t;
enum : TCOMP { tcompTYPE_NONE = 0, tcompTYPE_MSZIP = 1, tcompTYPE_QUANTUM = 2, tcompTYPE_LZX = 3 };

using PFNFCIFILEPLACED = int(BRAMBLE_CDECL*)(CCAB* pccab, char* pszFile, LONG32 cbFile, BOOL32 fContinuation,
                                             void* pv);
using PFNFCIALLOC = PFNALLOC;
using PFNFCIFREE = PFNFREE;
using PFNFCIOPEN = intptr_t(BRAMBLE_CDECL*)(char* pszFile, int oflag, int pmode, int* err, void* pv);
using PFNFCIREAD = uint32_t(BRAMBLE_CDECL*)(intptr_t hf, void* memory, uint32_t cb, int* err, void* pv);
using PFNFCIWRITE = uint32_t(BRAMBLE_CDECL*)(intptr_t hf, void* memory, uint32_t cb, int* err, void* pv);
using PFNFCICLOSE = int(BRAMBLE_CDECL*)(intptr_t hf, int* err, void* pv);
using PFNFCISEEK = LONG32(BRAMBLE_CDECL*)(intptr_t hf, LONG32 dist, int seektype, int* err, void* pv);
using PFNFCIDELETE = int(BRAMBLE_CDECL*)(char* pszFile, int* err, void* pv);
using PFNFCIGETTEMPFILE = BOOL32(BRAMBLE_CDECL*)(char* pszTempName, int cbTempName, void* pv);
using PFNFCIGETNEXTCABINET = BOOL32(BRAMBLE_CDECL*)(CCAB* pccab, uint32_t cbPrevCab, void* pv);
using PFNFCISTATUS = LONG32(BRAMBLE_CDECL*)(uint32_t typeStatus, uint32_t cb1, uint32_t cb2, void* pv);
using PFNFCIGETOPENINFO = intptr_t(BRAMBLE_CDECL*)(char* pszName, uint16_t* pdate, uint16_t* ptime,
                                                   uint16_t* pattribs, int* err, void* pv);

using FCICreateFn = HFCI(BRAMBLE_CDECL*)(ERF* perf, PFNFCIFILEPLACED, PFNFCIALLOC, PFNFCIFREE, PFNFCIOPEN,
                                         PFNFCIREAD, PFNFCIWRITE, PFNFCICLOSE, PFNFCISEEK, PFNFCIDELETE,
                                         PFNFCIGETTEMPFILE, CCAB* pccab, void* pv);
using FCIAddFileFn = BOOL32(BRAMBLE_CDECL*)(HFCI, char* pszSourceFile, char* pszFileName, BOOL32 fExecute,
                                            PFNFCIGETNEXTCABINET, PFNFCISTATUS, PFNFCIGETOPENINFO,
                                            TCOMP typeCompress);
using FCIFlushCabinetFn = BOOL32(BRAMBLE_CDECL*)(HFCI, BOOL32 fGetNextCab, PFNFCIGETNEXTCABINET, PFNFCISTATUS);
using FCIFlushFolderFn = BOOL32(BRAMBLE_CDECL*)(HFCI, PFNFCIGETNEXTCABINET, PFNFCISTATUS);
using FCIDestroyFn = BOOL32(BRAMBLE_CDECL*)(HFCI);

struct FciEntryPoints {
    FCICreateFn FCICreate;
    FCIAddFileFn FCIAddFile;
    FCIFlushCabinetFn FCIFlushCabinet;
    FCIFlushFolderFn FCIFlushFolder;  // bound, never called
    FCIDestroyFn FCIDestroy;
};

// ---- the bindings -----------------------------------------------------------

// The entry points of each interface: the library's, or substitutes that
// answer "no context" (create) and TRUE (everything else) when it is
// missing. Loaded when the engine starts, from the system folder only.
const FdiEntryPoints& Fdi();
bool FdiLoaded();
const FciEntryPoints& Fci();
bool FciLoaded();

// The engine's start and end for each binding; the start runs on its own
// before the first component exists, the end when the engine unloads.
void LoadCabinetReadLib();
void UnloadCabinetReadLib();
void LoadCabinetLib();
void UnloadCabinetLib();

}  // namespace bramble::cab
