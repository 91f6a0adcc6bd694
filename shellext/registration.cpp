// The handler's registry keys: its class with the in-process server and
// threading model, the handler entries for every file and for the
// program's own class, and its entry in the approved-extensions list.
#include <string>
#include <vector>

#include "app/shellreg/clsid.h"
#include "shellext/factory.h"
#include "shellext/module.h"

namespace bramble::shellext {

namespace {

const char* const ApprovedKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char* const HandlerKeys[] = {
    "Bramble\\shellex\\ContextMenuHandlers\\ContMenu",
    "Bramble\\shellex\\ContextMenuHandlers",
    "Bramble\\shellex",
};

// The high bit of the version word is set on the Windows 9x family.
bool OnNtPlatform() { return (GetVersion() & 0x80000000u) == 0; }

std::string ClassKey() { return std::string("CLSID\\") + ShellExtClassIdText; }

// Creates the key (and its parents) and sets one string value in it.
bool SetValue(HKEY Root, const std::string& Key, const char* Name, const std::string& Data) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(Root, Key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Data.c_str()),
                                   static_cast<DWORD>(Data.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool KeyExists(HKEY Root, const std::string& Key) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(Root, Key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The library's own path as the class's server; in its short form when it
// holds a blank, where the file system keeps short names.
std::string ServerPath() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(ModuleInstance(), buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
    std::string path(buf.begin(), buf.end());
    if (path.find(' ') == std::string::npos) return path;
    const DWORD need = GetShortPathNameA(path.c_str(), nullptr, 0);
    if (need == 0) return path;
    std::string shortPath(need, '\0');
    const DWORD got = GetShortPathNameA(path.c_str(), shortPath.data(), need);
    if (got == 0 || got >= need) return path;
    shortPath.resize(got);
    return shortPath;
}

bool WriteKeys() {
    const std::string id = ShellExtClassIdText;
    const std::string server = ServerPath();
    if (server.empty()) return false;
    bool ok = SetValue(HKEY_CLASSES_ROOT, ClassKey(), nullptr, ShellExtDescription) &&
              SetValue(HKEY_CLASSES_ROOT, ClassKey() + "\\InprocServer32", nullptr, server) &&
              SetValue(HKEY_CLASSES_ROOT, ClassKey() + "\\InprocServer32", "ThreadingModel", "Apartment");
    ok = ok && SetValue(HKEY_CLASSES_ROOT, "Bramble\\shellex", nullptr, "") &&
         SetValue(HKEY_CLASSES_ROOT, "Bramble\\shellex\\ContextMenuHandlers", nullptr, "") &&
         SetValue(HKEY_CLASSES_ROOT, "Bramble\\shellex\\ContextMenuHandlers\\ContMenu", nullptr, id) &&
         SetValue(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble", nullptr, id);
    // The approved list matters only where the shell is told to load
    // approved extensions alone, and needs rights on the machine's key:
    // registration stands without it.
    // Only the NT shells keep such a list.
    if (ok && OnNtPlatform()) SetValue(HKEY_LOCAL_MACHINE, ApprovedKey, ShellExtClassIdText, ShellExtDescription);
    return ok;
}

bool RemoveKeys() {
    for (const char* key : HandlerKeys) RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (ClassKey() + "\\InprocServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ClassKey().c_str());
    // The handler entry for every file and the approved value stay: the
    // program removes them when it unregisters the extension.
    return !KeyExists(HKEY_CLASSES_ROOT, ClassKey());
}

}  // namespace

bool TContextMenuFactory::UpdateRegistry(bool Register) { return Register ? WriteKeys() : RemoveKeys(); }

}  // namespace bramble::shellext
