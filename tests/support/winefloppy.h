// Emulated floppy drives for the Windows tests under Wine.
//
// Wine's mount manager maps a drive letter to a Linux folder and answers
// for it: type removable, label and serial from the folder's
// .windows-label and .windows-serial, space from the file system the folder
// sits on (tests/floppy mounts 1.44 MB tmpfs folders for that). It reads
// the label and serial when the letter is mapped and keeps them, so a disk
// is changed by mapping the letter again (to the same folder after
// rewriting its label files, or to another folder). The mapping is made
// through the manager itself and takes effect at once, in this process and
// every later one of the prefix; a mapping written only to the registry is
// seen after the next wineserver start.
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <winioctl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bramble::test {

inline bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The Linux path of a Windows path; empty when not under Wine.
inline std::string UnixPathOf(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(const WCHAR*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), n);
    char* unix = toUnix(wide.c_str());
    if (!unix) return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

namespace detail {

// The mount manager's request to map a drive letter to a Linux folder, as
// Wine's own drive configuration sends it.
struct WineUnixDrive {
    ULONG size;
    ULONG type;  // a GetDriveTypeA value; 1 removes the mapping
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

inline bool DefineWineDrive(char letter, const std::string& unixFolder, ULONG type) {
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z') return false;
    std::vector<char> request(sizeof(WineUnixDrive) + unixFolder.size() + 1, '\0');
    WineUnixDrive head{};
    head.size = static_cast<ULONG>(request.size());
    head.type = type;
    head.letter = static_cast<WCHAR>(letter);
    if (!unixFolder.empty()) {
        head.mountPointOffset = sizeof(WineUnixDrive);
        std::memcpy(request.data() + sizeof(WineUnixDrive), unixFolder.c_str(), unixFolder.size() + 1);
    }
    std::memcpy(request.data(), &head, sizeof head);
    HANDLE manager = CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                              nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

}  // namespace detail

// Maps Letter to a Linux folder as a floppy drive, or maps it again, which
// is how a disk is changed. False when not under Wine.
inline bool MapWineFloppy(char Letter, const std::string& unixFolder) {
    return !unixFolder.empty() && detail::DefineWineDrive(Letter, unixFolder, DRIVE_REMOVABLE);
}

// Takes the letter away: the drive then has no root, like a drive whose
// disk cannot be read.
inline bool UnmapWineDrive(char Letter) { return detail::DefineWineDrive(Letter, {}, DRIVE_NO_ROOT_DIR); }

// The disks that tests/floppy prepared for this run (disk1, disk2, ...
// under $BRAMBLE_FLOPPY), in Windows form ("Z:\...\disk1"); empty when the
// run has none.
inline std::string PreparedFloppy(int n) {
    const char* dir = std::getenv("BRAMBLE_FLOPPY");
    if (!dir || dir[0] != '/') return {};
    std::string path = "Z:" + std::string(dir) + "/disk" + std::to_string(n);
    for (char& c : path)
        if (c == '/') c = '\\';
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return path;
}

// True when the prepared disks are 1.44 MB file systems of their own
// (tests/floppy could mount them), so their space is a floppy's.
inline bool PreparedFloppiesHaveFloppySpace() {
    const char* dir = std::getenv("BRAMBLE_FLOPPY");
    if (!dir || dir[0] != '/') return false;
    std::string marker = "Z:" + std::string(dir) + "/mounted";
    for (char& c : marker)
        if (c == '/') c = '\\';
    return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace bramble::test

#endif  // _WIN32
