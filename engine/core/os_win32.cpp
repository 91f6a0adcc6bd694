// The OS layer on Windows: thin wrappers over the ANSI Win32 calls.
#include "engine/core/os.h"
#include "engine/core/os_shared.h"

#include <windows.h>
#include <shellapi.h>

// winuser.h maps these old names to OemToCharA / CharToOemA.
#undef OemToAnsi
#undef AnsiToOem

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// The base of the module this code is linked into (the linker's).
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace bramble::os {

namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

uint64_t FromFileTime(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

// Restores the previous error mode when it goes out of scope, so that a
// missing disk or library fails quietly instead of showing a system box.
class QuietErrors {
public:
    explicit QuietErrors(UINT mode) : previous_(SetErrorMode(mode)) {}
    ~QuietErrors() { SetErrorMode(previous_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    UINT previous_;
};

const char* RootOrNull(const std::string& root) { return root.empty() ? nullptr : root.c_str(); }

using detail::Hooks;
using detail::Provider;

void Fill(FindData& out, const WIN32_FIND_DATAA& fd) {
    out.name = fd.cFileName;
    out.attributes = fd.dwFileAttributes;
    out.size = static_cast<int64_t>((static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    out.lastWrite = FromFileTime(fd.ftLastWriteTime);
}

// Opens a file or folder only to read or write its times.
HANDLE OpenForTimes(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

// ---- File --------------------------------------------------------------

bool File::Open(const std::string& path, OpenMode mode, Share sharing) {
    Close();
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
    case OpenMode::Read:
        // Readers do not stand in the way of a writer elsewhere.
        share |= FILE_SHARE_WRITE;
        break;
    case OpenMode::ReadWrite: access |= GENERIC_WRITE; break;
    case OpenMode::Create:
        access |= GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        break;
    }
    if (sharing == Share::DenyNone) share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (sharing == Share::DenyWrite) share = FILE_SHARE_READ;
    if (sharing == Share::Exclusive) share = 0;
    HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool File::IsOpen() const { return handle_ != -1; }

bool File::Close() {
    if (handle_ == -1) return true;
    BOOL ok = CloseHandle(H(handle_));
    handle_ = -1;
    return ok != FALSE;
}

int64_t File::Read(void* buffer, int64_t count) {
    if (handle_ == -1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        DWORD want = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
        DWORD got = 0;
        if (!ReadFile(H(handle_), out + done, want, &got, nullptr)) return done > 0 ? done : -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}

int64_t File::Write(const void* buffer, int64_t count) {
    if (handle_ == -1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    const char* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        DWORD want = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
        DWORD put = 0;
        if (!WriteFile(H(handle_), in + done, want, &put, nullptr)) return done > 0 ? done : -1;
        if (put == 0) break;
        done += put;
    }
    return done;
}

bool File::Seek(int64_t position) {
    if (handle_ == -1 || position < 0) return false;
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(H(handle_), to, nullptr, FILE_BEGIN) != FALSE;
}

int64_t File::Position() const {
    if (handle_ == -1) return -1;
    LARGE_INTEGER zero, pos;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(H(handle_), zero, &pos, FILE_CURRENT)) return -1;
    return pos.QuadPart;
}

int64_t File::Size() const {
    if (handle_ == -1) return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(H(handle_), &size)) return -1;
    return size.QuadPart;
}

bool File::Truncate() {
    if (handle_ == -1) return false;
    return SetEndOfFile(H(handle_)) != FALSE;
}

int64_t File::CopyRange(File& Source, int64_t From, int64_t Count) {
    if (handle_ == -1 || Source.handle_ == -1 || !Source.Seek(From)) return 0;
    std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count, 1), 1 << 20)));
    int64_t done = 0;
    while (done < Count) {
        const int64_t want = std::min<int64_t>(Count - done, static_cast<int64_t>(buffer.size()));
        const int64_t got = Source.Read(buffer.data(), want);
        if (got <= 0) return done;
        const int64_t put = Write(buffer.data(), got);
        if (put > 0) done += put;
        if (put != got) return done;
    }
    return done;
}

// ---- Finder ------------------------------------------------------------

struct Finder::State {};

Finder::~Finder() { Close(); }

void Finder::Close() {
    if (handle_ != -1) FindClose(H(handle_));
    handle_ = -1;
}

int Finder::First(const std::string& pattern, FindData& out) {
    Close();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        return err ? static_cast<int>(err) : ERROR_FILE_NOT_FOUND;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    Fill(out, fd);
    return 0;
}

int Finder::Next(FindData& out) {
    if (handle_ == -1) return ERROR_NO_MORE_FILES;
    WIN32_FIND_DATAA fd;
    if (!FindNextFileA(H(handle_), &fd)) {
        DWORD err = GetLastError();
        return err ? static_cast<int>(err) : ERROR_NO_MORE_FILES;
    }
    Fill(out, fd);
    return 0;
}

// ---- names, attributes, times --------------------------------------------

uint32_t GetAttributes(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a == INVALID_FILE_ATTRIBUTES ? kInvalidAttributes : static_cast<uint32_t>(a);
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

bool GetTimes(const std::string& path, FileTimes& out) {
    HANDLE h = OpenForTimes(path, FILE_READ_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME c, a, w;
    BOOL ok = GetFileTime(h, &c, &a, &w);
    CloseHandle(h);
    if (!ok) return false;
    out.creation = FromFileTime(c);
    out.lastAccess = FromFileTime(a);
    out.lastWrite = FromFileTime(w);
    return true;
}

bool SetTimes(const std::string& path, const FileTimes& times) {
    HANDLE h = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME c = ToFileTime(times.creation), a = ToFileTime(times.lastAccess),
             w = ToFileTime(times.lastWrite);
    BOOL ok = SetFileTime(h, times.creation ? &c : nullptr, times.lastAccess ? &a : nullptr,
                          times.lastWrite ? &w : nullptr);
    DWORD err = GetLastError();
    CloseHandle(h);
    SetLastError(err);
    return ok != FALSE;
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsRegularFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES &&
           !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

bool SameFile(const std::string& a, const std::string& b) {
    // Asked of the file system, which knows its own aliases (short names,
    // case, links): opened for no access, so nothing is refused for sharing.
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool FileDelete(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool FileRecycle(const std::string& path) {
    if (!FileExists(path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // The shell takes a list of names, each NUL-terminated, ending with an
    // empty one.
    std::string from = path;
    from.push_back('\0');
    from.push_back('\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_RENAMEONCOLLISION | FOF_ALLOWUNDO;
    return SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted;
}

bool FileMove(const std::string& from, const std::string& to, bool replace) {
    DWORD flags = MOVEFILE_COPY_ALLOWED;
    if (replace) flags |= MOVEFILE_REPLACE_EXISTING;
    return MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
}

bool FileRename(const std::string& from, const std::string& to) {
    // Without MOVEFILE_COPY_ALLOWED: across volumes this fails instead of
    // copying over the target. A read-only target is refused as Windows
    // refuses it; asked here because a process with the rights to ignore
    // the attribute (Wine run as root) would otherwise replace it.
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool FileCopy(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool DirCreate(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool DirRemove(const std::string& path) { return RemoveDirectoryA(path.c_str()) != FALSE; }

std::string CurrentDir() {
    DWORD need = GetCurrentDirectoryA(0, nullptr);
    if (need == 0) return {};
    std::string dir(need, '\0');
    DWORD len = GetCurrentDirectoryA(need, dir.data());
    if (len == 0 || len >= need) return {};
    dir.resize(len);
    // Only a drive root keeps its separator ("C:\").
    if (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    return dir;
}

bool SetCurrentDir(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != FALSE; }

std::string FullPathName(const std::string& path) {
    if (path.empty()) return {};
    std::string full(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        char* filePart = nullptr;
        DWORD len = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                     &filePart);
        if (len == 0) return {};
        if (len < full.size()) {
            full.resize(len);
            return full;
        }
        full.assign(len + 1, '\0');
    }
    return {};
}

std::string GetTempDirectory() {
    char buffer[MAX_PATH + 1];
    DWORD len = GetTempPathA(sizeof buffer, buffer);
    if (len == 0 || len > MAX_PATH) return {};
    std::string dir(buffer, len);
    if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

std::string MakeTempFile(const std::string& dir, const std::string& prefix) {
    std::string base = dir.empty() ? GetTempDirectory() : dir;
    if (base.empty()) return {};
    char name[MAX_PATH + 1];
    if (GetTempFileNameA(base.c_str(), prefix.c_str(), 0, name) == 0) return {};
    return name;
}

char PathSeparator() { return '\\'; }

size_t MaxPathLength() { return MAX_PATH - 1; }

// ---- drives --------------------------------------------------------------

unsigned DriveType(const std::string& root) {
    auto& p = Provider();
    if (p && p->driveType) return p->driveType(root);
    return GetDriveTypeA(RootOrNull(root));
}

bool GetVolumeInfo(const std::string& root, VolumeInfo& out) {
    auto& p = Provider();
    if (p && p->volumeInfo) return p->volumeInfo(root, out);
    char label[MAX_PATH + 1] = {};
    char fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0, maxComponent = 0, flags = 0;
    BOOL ok;
    {
        QuietErrors quiet(SEM_FAILCRITICALERRORS);
        ok = GetVolumeInformationA(RootOrNull(root), label, sizeof label, &serial, &maxComponent,
                                   &flags, fileSystem, sizeof fileSystem);
    }
    if (!ok) return false;
    out.label = label;
    out.serial = serial;
    out.fileSystem = fileSystem;
    return true;
}

bool GetDiskSpace(const std::string& root, DiskSpace& out) {
    auto& p = Provider();
    if (p && p->diskSpace) {
        if (!p->diskSpace(root, out)) return false;
        if (out.totalBytes == 0) {
            uint64_t unit = uint64_t{out.bytesPerSector} * out.sectorsPerCluster;
            out.freeBytes = unit * out.freeClusters;
            out.totalBytes = unit * out.totalClusters;
        }
        return true;
    }
    DWORD spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
    ULARGE_INTEGER available{}, total{}, totalFree{};
    BOOL ok, okEx;
    {
        QuietErrors quiet(SEM_FAILCRITICALERRORS);
        ok = GetDiskFreeSpaceA(RootOrNull(root), &spc, &bps, &freeClusters, &totalClusters);
        okEx = ok && GetDiskFreeSpaceExA(RootOrNull(root), &available, &total, &totalFree);
    }
    if (!ok) return false;
    // The cluster counts stop near 2 GB on large volumes; the byte counts
    // do not.
    if (okEx) {
        out.freeBytes = available.QuadPart;
        out.totalBytes = total.QuadPart;
    } else {
        out.freeBytes = uint64_t{spc} * bps * freeClusters;
        out.totalBytes = uint64_t{spc} * bps * totalClusters;
    }
    out.sectorsPerCluster = spc;
    out.bytesPerSector = bps;
    out.freeClusters = freeClusters;
    out.totalClusters = totalClusters;
    return true;
}

bool WriteVolumeLabel(const std::string& root, const std::string& label) {
    auto& p = Provider();
    if (p && p->setLabel) return p->setLabel(root, label);
    return SetVolumeLabelA(RootOrNull(root), label.c_str()) != FALSE;
}

namespace {

// The register block of the Windows 9x VWIN32 device calls.
struct DiocRegisters {
    DWORD ebx, edx, ecx, eax, edi, esi, flags;
};
constexpr DWORD kVwin32Int13 = 4;  // BIOS disk services
constexpr DWORD kCarryFlag = 1;

}  // namespace

unsigned GetFloppyKind(const std::string& drive) {
    if (drive.empty()) return 0;
    char letter = drive[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return 0;
    // Only Windows 9x has this device; elsewhere the open fails and the form
    // stays unknown.
    HANDLE device = CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (device == INVALID_HANDLE_VALUE) return 0;
    DiocRegisters regs{};
    regs.eax = 0x0800;  // get drive parameters
    regs.edx = static_cast<DWORD>(letter - 'A');
    regs.flags = kCarryFlag;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(device, kVwin32Int13, &regs, sizeof regs, &regs, sizeof regs,
                              &returned, nullptr);
    CloseHandle(device);
    if (!ok || (regs.flags & kCarryFlag)) return 0;
    // BL: 1 360K and 2 1.2M are 5.25"; 3 720K and up are 3.5".
    return (regs.ebx & 0xFF) >= 3 ? 7 : 8;
}

QuietDriveErrors::QuietDriveErrors() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {
    SetErrorMode(previous_ | SEM_FAILCRITICALERRORS);
}

QuietDriveErrors::~QuietDriveErrors() { SetErrorMode(previous_); }

// ---- text --------------------------------------------------------------

std::string OemToAnsi(const std::string& text) {
    if (text.empty()) return {};
    std::string out(text.size(), '\0');
    OemToCharBuffA(text.data(), out.data(), static_cast<DWORD>(text.size()));
    return out;
}

std::string AnsiToOem(const std::string& text) {
    if (text.empty()) return {};
    std::string out(text.size(), '\0');
    CharToOemBuffA(text.data(), out.data(), static_cast<DWORD>(text.size()));
    return out;
}

std::string Utf8ToAnsi(const std::string& text) {
    if (text.empty()) return {};
    // Decoded here rather than by MultiByteToWideChar, so that bad bytes and
    // characters beyond the 16-bit range fare alike on every system: each
    // becomes one mark that no code page can show.
    std::wstring wide;
    for (uint32_t cp : detail::DecodeUtf8(text))
        wide.push_back(static_cast<wchar_t>(cp > 0xFFFF ? detail::kNoCharacter : cp));
    const int need = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, "_", nullptr);
    if (need <= 0) return std::string(wide.size(), '_');
    std::string out(static_cast<size_t>(need), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), need,
                        "_", nullptr);
    return out;
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// ---- time --------------------------------------------------------------

int TimeZoneBias() {
    TIME_ZONE_INFORMATION tz;
    switch (GetTimeZoneInformation(&tz)) {
    case TIME_ZONE_ID_DAYLIGHT: return static_cast<int>(tz.Bias + tz.DaylightBias);
    case TIME_ZONE_ID_STANDARD: return static_cast<int>(tz.Bias + tz.StandardBias);
    case TIME_ZONE_ID_UNKNOWN: return static_cast<int>(tz.Bias);
    default: return 0;
    }
}

uint64_t FileTimeToLocal(uint64_t utcFileTime) {
    FILETIME in = ToFileTime(utcFileTime), out;
    if (!FileTimeToLocalFileTime(&in, &out)) return utcFileTime;
    return FromFileTime(out);
}

uint64_t LocalToFileTime(uint64_t localFileTime) {
    FILETIME in = ToFileTime(localFileTime), out;
    if (!LocalFileTimeToFileTime(&in, &out)) return localFileTime;
    return FromFileTime(out);
}

uint32_t TickCount() { return GetTickCount(); }

uint64_t NowFileTime() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return FromFileTime(ft);
}

// ---- randomness --------------------------------------------------------

void RandomBytes(void* buffer, size_t count) {
    // RtlGenRandom is exported by name SystemFunction036 only; it is not in
    // the import libraries of every toolchain, so it is looked up.
    using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    static GenRandom gen = [] {
        HMODULE advapi = LoadLibraryA("advapi32.dll");
        return advapi ? reinterpret_cast<GenRandom>(
                            reinterpret_cast<void*>(GetProcAddress(advapi, "SystemFunction036")))
                      : nullptr;
    }();
    auto* out = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        ULONG chunk = static_cast<ULONG>(std::min<size_t>(count, 1u << 20));
        if (!gen || !gen(out, chunk)) {
            // Every supported system has the call; a system without it
            // must not be handed predictable bytes as random.
            FatalAppExitA(0, "The system's random number source is not available.");
        }
        out += chunk;
        count -= chunk;
    }
}

// ---- libraries ---------------------------------------------------------

void* LibraryLoad(const std::string& name) {
    QuietErrors quiet(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
}

void* LibrarySymbol(void* library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void LibraryFree(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

std::string SystemFolder() {
    char buffer[MAX_PATH + 1];
    const UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return {};
    std::string dir(buffer, n);
    if (dir.back() != '\\') dir += '\\';
    return dir;
}

std::string ProgramFolder() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return {};
    std::string path(buffer, n);
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// ---- the program's resources and the shell -------------------------------

bool StringTableText(unsigned id, std::string& text) {
    // The module this code is linked into: the program itself, or a
    // library that links the engine in.
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(&__ImageBase);
    char buffer[1024];
    const int n = LoadStringA(module, id, buffer, sizeof buffer);
    // A module without the id (a library that links the engine in and
    // carries no table) gives the compiled text, not a blank one.
    if (n <= 0) return false;
    text.assign(buffer, static_cast<size_t>(n));
    return true;
}

int ShellIconIndex(const std::string& name) {
    SHFILEINFOA sfi{};
    // The index alone: no icon handle is made, so none can be leaked.
    if (name.empty() ||
        !SHGetFileInfoA(name.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
        return -1;
    return sfi.iIcon;
}

std::string ShellTypeName(const std::string& name) {
    SHFILEINFOA sfi{};
    if (name.empty() || !SHGetFileInfoA(name.c_str(), 0, &sfi, sizeof sfi, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
        return {};
    sfi.szTypeName[sizeof sfi.szTypeName - 1] = '\0';
    return sfi.szTypeName;
}

// ---- the application's hooks -------------------------------------------



void ProcessMessages() { Hooks().processMessages(); }

// ---- timers --------------------------------------------------------------

namespace {

// Thread timers without a window: the system picks the id and hands it to
// the one procedure, which finds the callback by it.
std::map<UINT_PTR, std::shared_ptr<std::function<void()>>>& Timers() {
    static std::map<UINT_PTR, std::shared_ptr<std::function<void()>>> timers;
    return timers;
}

void RunTimer(UINT_PTR id) {
    auto it = Timers().find(id);
    if (it == Timers().end()) return;  // stopped by an earlier callback
    auto callback = it->second;        // survives a StopTimer inside
    try {
        (*callback)();
    } catch (...) {
        // Nothing may unwind through the system's message dispatch.
        try {
            if (Hooks().handleException) Hooks().handleException(std::current_exception());
        } catch (...) {
        }
    }
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) { RunTimer(id); }

}  // namespace

TimerId StartTimer(unsigned ms, std::function<void()> callback) {
    if (!callback) return 0;
    UINT_PTR id = SetTimer(nullptr, 0, ms, TimerProc);
    if (id == 0) return 0;
    Timers()[id] = std::make_shared<std::function<void()>>(std::move(callback));
    return id;
}

void StopTimer(TimerId id) {
    if (Timers().erase(id)) KillTimer(nullptr, id);
}

void FireTimers() {
    std::vector<UINT_PTR> ids;
    for (const auto& entry : Timers()) ids.push_back(entry.first);
    for (UINT_PTR id : ids) RunTimer(id);
}

uint32_t LastError() { return GetLastError(); }

std::string SysErrorMessage(uint32_t code) {
    char buffer[1024];
    DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, len);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

}  // namespace bramble::os
