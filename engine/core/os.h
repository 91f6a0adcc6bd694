// The engine's only door to the operating system. Everything in engine/ that
// needs files, drives, time or the user goes through these calls, so the
// engine builds and is tested natively (os_posix.cpp) as well as on Windows
// (os_win32.cpp).
//
// Names avoid those of the Win32 API: windows.h turns many of them into
// macros.
//
// Paths are ANSI strings in the platform's form. On Windows that is the
// native form; natively a path may use '\' or '/' as separator and a
// leading "X:" drive is ignored, so the engine's Windows-style names work
// unchanged in native tests.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace bramble::os {

// File attribute bits as Windows stores them (also used in DOS records).
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
};
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// ---- files -------------------------------------------------------------

enum class OpenMode { Read, ReadWrite, Create /* truncate or create, read/write */ };
// Who else may open a file while it is held. Usual: readers let everyone
// in, writers let others read. DenyWrite: others may read it, nobody may
// write it. The native build has no share modes: there every open lets
// everyone in.
enum class Share { Usual, DenyNone, DenyWrite, Exclusive };

// A file handle with 64-bit positions. Moves, never copies; closes itself.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open(const std::string& path, OpenMode mode, Share share = Share::Usual);
    bool IsOpen() const;
    bool Close();  // false when the system reports an error on close

    // Bytes actually transferred; -1 on an I/O error.
    int64_t Read(void* buffer, int64_t count);
    int64_t Write(const void* buffer, int64_t count);
    bool Seek(int64_t position);  // absolute, from the start
    int64_t Position() const;     // -1 when closed or on error
    int64_t Size() const;         // -1 when closed or on error
    bool Truncate();              // cut the file at the current position
    // Copies Count bytes of Source, from its position From, to this file at
    // its current position (which moves on past them); Source's position
    // is left undefined. Where the system can, the bytes never pass through
    // this process. The bytes copied: fewer on an error or at Source's end.
    int64_t CopyRange(File& Source, int64_t From, int64_t Count);

private:
    intptr_t handle_ = -1;
};

// File times are Windows FILETIME values: 100 ns units since 1601-01-01 UTC.
struct FileTimes {
    uint64_t creation = 0;
    uint64_t lastAccess = 0;
    uint64_t lastWrite = 0;
};

struct FindData {
    std::string name;         // file name part only
    uint32_t attributes = 0;  // fa* bits
    int64_t size = 0;
    uint64_t lastWrite = 0;   // FILETIME, UTC
};

// Iterates the entries matching a pattern ("dir\*.txt"); "." and ".." are
// returned as the system returns them.
class Finder {
public:
    Finder() = default;
    ~Finder();
    Finder(const Finder&) = delete;
    Finder& operator=(const Finder&) = delete;
    // 0 on success, else the system error code (2 = not found).
    int First(const std::string& pattern, FindData& out);
    int Next(FindData& out);
    void Close();

private:
    intptr_t handle_ = -1;
    struct State;
    State* state_ = nullptr;
};

uint32_t GetAttributes(const std::string& path);  // kInvalidAttributes on failure
bool SetAttributes(const std::string& path, uint32_t attributes);
bool GetTimes(const std::string& path, FileTimes& out);
bool SetTimes(const std::string& path, const FileTimes& times);  // 0 fields left unchanged
bool FileExists(const std::string& path);   // a file, not a directory
bool DirectoryExists(const std::string& path);
// A file and nothing else: not a folder, a link, a device or a pipe.
bool IsRegularFile(const std::string& path);
// Both names lead to one existing file, however they are spelt (case, a
// relative path, a link). False when either does not exist.
bool SameFile(const std::string& a, const std::string& b);
bool FileDelete(const std::string& path);
// To the recycle bin where the platform has one (silent, no confirmation).
// Natively the same as FileDelete.
bool FileRecycle(const std::string& path);
// Move or rename; with replace an existing target is replaced (copy allowed
// across volumes).
bool FileMove(const std::string& from, const std::string& to, bool replace);
// Renames within one volume, replacing an existing target in one step, so
// the target is always either the old file or the new one. Never copies:
// false across volumes (and for a read-only target, as on Windows).
bool FileRename(const std::string& from, const std::string& to);
bool FileCopy(const std::string& from, const std::string& to, bool failIfExists);
bool DirCreate(const std::string& path);
bool DirRemove(const std::string& path);
std::string CurrentDir();  // without a trailing separator
bool SetCurrentDir(const std::string& path);
std::string FullPathName(const std::string& path);

// The system's temporary folder, with a trailing separator; empty on failure.
std::string GetTempDirectory();
// Creates a new unique empty file in dir (the system's temporary folder
// when empty) whose name starts with prefix; its full name, or empty.
std::string MakeTempFile(const std::string& dir, const std::string& prefix);

char PathSeparator();  // '\\' on Windows, '/' natively
// The longest path, in characters, under which the platform makes a file or
// a folder: MAX_PATH less its terminating NUL on Windows (the ANSI calls
// take no more), PATH_MAX less its NUL natively.
size_t MaxPathLength();

// ---- drives ------------------------------------------------------------

struct VolumeInfo {
    std::string label;
    uint32_t serial = 0;
    std::string fileSystem;
};

struct DiskSpace {
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint32_t freeClusters = 0;
    uint32_t totalClusters = 0;
    // The same space in bytes, exact beyond 4 GB: free to the caller and
    // total (GetDiskFreeSpaceExA / statvfs). A provider that leaves
    // totalBytes 0 gets both worked out from the cluster counts.
    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
};

// Drive type values as GetDriveTypeA answers: 0 unknown, 1 no root,
// 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk.
enum : unsigned { dtUnknown = 0, dtNoRoot = 1, dtRemovable = 2, dtFixed = 3,
                  dtRemote = 4, dtCDROM = 5, dtRAMDisk = 6 };

// root is a drive root such as "A:\" or a UNC share root "\\srv\share\".
unsigned DriveType(const std::string& root);
bool GetVolumeInfo(const std::string& root, VolumeInfo& out);
bool GetDiskSpace(const std::string& root, DiskSpace& out);
bool WriteVolumeLabel(const std::string& root, const std::string& label);
// The floppy form of a removable drive: 7 (3.5"), 8 (5.25"), 0 unknown.
unsigned GetFloppyKind(const std::string& drive);

// While one lives, a drive without its disk fails a call quietly instead of
// making the system ask to insert one (Windows' SEM_FAILCRITICALERRORS, set
// on top of the mode there was and given back after). Nothing natively.
class QuietDriveErrors {
public:
    QuietDriveErrors();
    ~QuietDriveErrors();
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    uint32_t previous_ = 0;
};

// Natively every root is a fixed drive with an empty label unless a test
// installs a provider; on Windows the provider, when set, answers instead of
// the system too. Pass nullptr to go back to the default.
struct DriveProvider {
    std::function<unsigned(const std::string& root)> driveType;
    std::function<bool(const std::string& root, VolumeInfo&)> volumeInfo;
    std::function<bool(const std::string& root, DiskSpace&)> diskSpace;
    std::function<bool(const std::string& root, const std::string& label)> setLabel;
};
void SetDriveProvider(const DriveProvider* provider);

// ---- text --------------------------------------------------------------

// OEM <-> ANSI code page. On Windows OemToCharA / CharToOemA; natively the
// CP437 and CP1252 tables.
std::string OemToAnsi(const std::string& text);
std::string AnsiToOem(const std::string& text);
// UTF-8 to the ANSI code page (on Windows the process's, natively CP1252).
// A character the code page cannot show, or a byte that is no part of a
// valid UTF-8 sequence, becomes '_'.
std::string Utf8ToAnsi(const std::string& text);
// True when c is a lead byte of a double-byte character in the ANSI code
// page (never natively: CP1252 is single-byte).
bool IsLeadByte(unsigned char c);

// ---- time --------------------------------------------------------------

// Minutes to add to local time to get UTC (Windows' Bias, with the daylight
// part applied when daylight time is in force).
int TimeZoneBias();
uint64_t FileTimeToLocal(uint64_t utcFileTime);
uint64_t LocalToFileTime(uint64_t localFileTime);
uint32_t TickCount();  // milliseconds, wraps
uint64_t NowFileTime();  // current time as FILETIME, UTC

// ---- timers ------------------------------------------------------------

// Timers fire on the thread's message loop, every ms milliseconds, until
// stopped: on Windows through SetTimer, natively from ProcessMessages. A
// callback may stop its own or any other timer. 0 is never a timer.
using TimerId = uintptr_t;
TimerId StartTimer(unsigned ms, std::function<void()> callback);
void StopTimer(TimerId id);
// Fires every running timer once now, as if its interval had passed, so
// tests need not wait for the clock.
void FireTimers();

// ---- randomness ------------------------------------------------------------

// Fills with bytes from the system's cryptographic random source.
void RandomBytes(void* buffer, size_t count);

// ---- libraries ---------------------------------------------------------

void* LibraryLoad(const std::string& name);  // with system error boxes off
void* LibrarySymbol(void* library, const char* name);
void LibraryFree(void* library);
// Where outside libraries are taken from, with a trailing separator: the
// system's own folder (for the platform's libraries) and the folder of the
// running program (for libraries shipped beside it). Neither is ever the
// current folder. Natively the system folder is empty.
std::string SystemFolder();
std::string ProgramFolder();

// ---- the program's resources and the shell -------------------------------

// On Windows the message texts are a string table in the resources of the
// module the engine is linked into: true, with Text the string Id there;
// false when the module holds no such string. Natively there is no such
// table: false, and the engine takes the texts it is compiled with.
bool StringTableText(unsigned Id, std::string& Text);
// The shell's icon (its index in the system image list) and type name for
// a file of that name, asked by the name alone (SHGetFileInfoA with
// SHGFI_USEFILEATTRIBUTES and no attributes: the file need not exist). -1
// and an empty name where the shell has none, and always natively, where
// there is no shell to show its icons.
int ShellIconIndex(const std::string& Name);
std::string ShellTypeName(const std::string& Name);

// ---- the application's hooks -------------------------------------------

// The engine asks the user and lets pending messages run only through these.
// The application installs its own; the defaults process nothing and answer
// No / Cancel, so tests and command-line tools never block.
enum class Answer { Yes, No, Retry, Cancel };
struct AppHooks {
    std::function<void()> processMessages;
    std::function<Answer(const std::string& text, const std::string& caption)> askYesNo;
    std::function<Answer(const std::string& text, const std::string& caption)> askRetryCancel;
    // Gets what a timer callback threw (it cannot cross the system's
    // dispatch); unset, such exceptions are dropped.
    std::function<void(std::exception_ptr)> handleException;
};
void SetAppHooks(const AppHooks& hooks);
const AppHooks& GetAppHooks();
// Runs the application's hook; natively it then fires the timers that are
// due, as a message loop would.
void ProcessMessages();
Answer AskYesNo(const std::string& text, const std::string& caption);
Answer AskRetryCancel(const std::string& text, const std::string& caption);

// The last system error, and the system's text for it.
uint32_t LastError();
std::string SysErrorMessage(uint32_t code);

}  // namespace bramble::os
