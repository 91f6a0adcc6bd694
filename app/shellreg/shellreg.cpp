#include "app/shellreg/shellreg.h"

#include <algorithm>
#include <vector>

#include "app/shellreg/clsid.h"
#include "ui/registry.h"

namespace bramble {

namespace {

const char* const ContextMenuKey = "*\\shellex\\ContextMenuHandlers\\Bramble";
const char* const ApprovedKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

std::string ClassKey() { return std::string("CLSID\\") + ShellExtClassIdText; }

// The New menu's template: an end-of-central-directory record alone.
const unsigned char EmptyZip[22] = {0x50, 0x4B, 0x05, 0x06};

bool IsRootName(const std::string& Key) { return Key.find_first_not_of('\\') == std::string::npos; }

// Opens (creating) one key, sets its values and closes it; a key that
// cannot be opened or written is skipped so the others still get written.
struct Value {
    std::string Name;
    std::string Text;
};

void WriteKey(HKEY Root, const std::string& Key, const std::vector<Value>& Values) {
    TRegistry reg;
    reg.SetRootKey(Root);
    try {
        if (!reg.OpenKey(Key, true)) return;
        for (const Value& v : Values) reg.WriteString(v.Name, v.Text);
    } catch (const ERegistryException&) {
    }
}

}  // namespace

std::string ProgramFileName() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

std::string ShellExtLibraryFile() {
    std::string program = ProgramFileName();
    size_t slash = program.find_last_of("\\/:");
    return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + "bmshell.dll";
}

bool RegistryKeyExists(HKEY Root, const std::string& Key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(Root, Key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

bool GetRegSubTree(HKEY Root, const std::string& Key, TStrings& List) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(Root, Key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    bool found = false;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        if (RegEnumKeyA(h, i, name, sizeof name) != ERROR_SUCCESS) break;
        List.Add(name);
        found = true;
    }
    RegCloseKey(h);
    return found;
}

bool DeleteRegKey(HKEY Root, const std::string& Key) {
    if (IsRootName(Key)) return false;
    return RegDeleteKeyA(Root, Key.c_str()) == ERROR_SUCCESS;
}

bool NTDeleteRegKey(HKEY Root, const std::string& Key) {
    if (IsRootName(Key)) return false;
    TStringList names;
    if (GetRegSubTree(Root, Key, names)) {
        // The names were taken before any deletion, so indexes do not shift
        // under the walk.
        for (int i = 0; i < names.Count(); ++i) {
            NTDeleteRegKey(Root, Key + "\\" + names[i]);
            DeleteRegKey(Root, Key);
        }
    } else if (RegistryKeyExists(Root, Key)) {
        DeleteRegKey(Root, Key);
    }
    return !RegistryKeyExists(Root, Key);
}

void MakeAssociation(const std::string& Ext, const std::string& IconFile) {
    // An empty extension would claim the key "." and the class "Bramble.".
    if (Ext.empty()) return;
    const std::string cls = "Bramble." + Ext;
    WriteKey(HKEY_CLASSES_ROOT, "." + Ext, {{"", cls}});
    if (Ext == "zip") {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        try {
            if (reg.OpenKey(".zip\\ShellNew", true)) reg.WriteBinaryData("Data", EmptyZip, sizeof EmptyZip);
        } catch (const ERegistryException&) {
        }
    }
    WriteKey(HKEY_CLASSES_ROOT, cls, {{"", "Bramble Archive"}});
    WriteKey(HKEY_CLASSES_ROOT, cls + "\\DefaultIcon", {{"", IconFile}});
    // Quoted, so that a program folder with blanks in it cannot be read by
    // the shell as another program followed by arguments.
    WriteKey(HKEY_CLASSES_ROOT, cls + "\\Shell\\Open\\Command", {{"", "\"" + ProgramFileName() + "\" \"%1\""}});
}

namespace {

// Deletes a key of HKEY_CLASSES_ROOT that has neither values nor subkeys.
void DeleteIfEmpty(const std::string& Key) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    if (!reg.OpenKeyReadOnly(Key)) return;
    TStringList values;
    reg.GetValueNames(values);
    const bool empty = values.Count() == 0 && !reg.HasSubKeys();
    reg.CloseKey();
    if (empty) DeleteRegKey(HKEY_CLASSES_ROOT, Key);
}

}  // namespace

void RemoveAssociation(const std::string& Ext) {
    if (Ext.empty()) return;
    const std::string cls = "Bramble." + Ext;
    const std::string key = "." + Ext;
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (!reg.OpenKey(key, false)) return;
        if (reg.ReadStringDef("", "") != cls) return;
        // The extension's key is shared: other programs keep their open-with
        // lists, handlers and templates there. Only what we wrote goes.
        reg.DeleteValue("");
    }
    if (Ext == "zip") {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (reg.OpenKey(key + "\\ShellNew", false)) {
            unsigned char data[sizeof EmptyZip + 1];
            if (reg.GetDataType("Data") == rdBinary && reg.GetDataSize("Data") == static_cast<int>(sizeof EmptyZip) &&
                reg.ReadBinaryData("Data", data, sizeof data) == static_cast<int>(sizeof EmptyZip) &&
                std::equal(data, data + sizeof EmptyZip, EmptyZip))
                reg.DeleteValue("Data");
        }
        reg.CloseKey();
        DeleteIfEmpty(key + "\\ShellNew");
    }
    DeleteIfEmpty(key);
    NTDeleteRegKey(HKEY_CLASSES_ROOT, cls);
}

void MakeShellExt() {
    WriteKey(HKEY_CLASSES_ROOT, ContextMenuKey, {{"", ShellExtClassIdText}});
    WriteKey(HKEY_CLASSES_ROOT, ClassKey(), {{"", ShellExtDescription}});
    // The full path: a bare name would be looked up on the shell's search
    // path, not beside this program.
    WriteKey(HKEY_CLASSES_ROOT, ClassKey() + "\\InProcServer32",
             {{"", ShellExtLibraryFile()}, {"ThreadingModel", "Apartment"}});
    WriteKey(HKEY_LOCAL_MACHINE, ApprovedKey, {{ShellExtClassIdText, ShellExtDescription}});
}

void RemoveShellExt() {
    for (const std::string& key : {std::string(ContextMenuKey), ClassKey(), ClassKey() + "\\InProcServer32"})
        if (RegistryKeyExists(HKEY_CLASSES_ROOT, key)) NTDeleteRegKey(HKEY_CLASSES_ROOT, key);
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (reg.OpenKey(ApprovedKey, false)) reg.DeleteValue(ShellExtClassIdText);
}

}  // namespace bramble
