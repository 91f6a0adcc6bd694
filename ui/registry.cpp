#include "ui/registry.h"

namespace bramble {

TRegistry::TRegistry(REGSAM Access) : access_(Access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY v) {
    if (v == root_) return;
    CloseKey();
    root_ = v;
}

std::string TRegistry::Normalize(const std::string& Key) {
    std::string k = Key;
    while (!k.empty() && k.front() == '\\') k.erase(k.begin());
    while (!k.empty() && k.back() == '\\') k.pop_back();
    return k;
}

// A name with a leading "\" starts at the root; any other is relative to
// the open key.
HKEY TRegistry::BaseFor(const std::string& Key) const {
    if (!Key.empty() && Key.front() == '\\') return root_;
    return current_ ? current_ : root_;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
    HKEY base = BaseFor(Key);
    bool relative = base == current_ && current_;
    std::string k = Normalize(Key);
    HKEY h = nullptr;
    LONG r;
    if (CanCreate) {
        DWORD disp = 0;
        r = RegCreateKeyExA(base, k.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, &h, &disp);
    } else {
        r = RegOpenKeyExA(base, k.c_str(), 0, access_, &h);
    }
    if (r != ERROR_SUCCESS) return false;
    std::string path = relative && !k.empty() ? current_path_ + "\\" + k : (relative ? current_path_ : k);
    CloseKey();
    current_ = h;
    current_path_ = path;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
    // Read access for this key only: the object keeps the access it was
    // made with for the keys it opens and writes later.
    struct Restore {
        REGSAM& access;
        REGSAM saved;
        ~Restore() { access = saved; }
    } restore{access_, access_};
    access_ = KEY_READ;
    return OpenKey(Key, false);
}

void TRegistry::CloseKey() {
    if (!current_) return;
    if (!lazy_write_) RegFlushKey(current_);
    RegCloseKey(current_);
    current_ = nullptr;
    current_path_.clear();
}

bool TRegistry::CreateKey(const std::string& Key) {
    HKEY h = nullptr;
    DWORD disp = 0;
    std::string k = Normalize(Key);
    LONG r = RegCreateKeyExA(BaseFor(Key), k.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, &h,
                             &disp);
    if (r != ERROR_SUCCESS) throw ERegistryException(Format(SRegCreateFailed, Key.c_str()));
    RegCloseKey(h);
    return true;
}

// Deletes a key with everything below it (the platform's own call refuses
// keys with subkeys on NT).
static LONG DeleteTree(HKEY base, const std::string& k) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(base, k.c_str(), 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
        for (;;) {
            char name[256];
            DWORD n = sizeof name;
            if (RegEnumKeyExA(h, 0, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (DeleteTree(h, name) != ERROR_SUCCESS) break;
        }
        RegCloseKey(h);
    }
    return RegDeleteKeyA(base, k.c_str());
}

bool TRegistry::DeleteKey(const std::string& Key) {
    std::string k = Normalize(Key);
    if (k.empty()) return false;
    return DeleteTree(BaseFor(Key), k) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& Key) {
    HKEY h = nullptr;
    std::string k = Normalize(Key);
    if (RegOpenKeyExA(BaseFor(Key), k.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

bool TRegistry::HasSubKeys() {
    if (!current_) return false;
    DWORD n = 0;
    RegQueryInfoKeyA(current_, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    return n > 0;
}

void TRegistry::GetKeyNames(TStrings& Strings) {
    Strings.Clear();
    if (!current_) return;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD n = sizeof name;
        if (RegEnumKeyExA(current_, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        Strings.Add(std::string(name, n));
    }
}

bool TRegistry::ValueExists(const std::string& Name) {
    return current_ && RegQueryValueExA(current_, Name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& Name) {
    return current_ && RegDeleteValueA(current_, Name.c_str()) == ERROR_SUCCESS;
}

void TRegistry::GetValueNames(TStrings& Strings) {
    Strings.Clear();
    if (!current_) return;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD n = sizeof name;
        if (RegEnumValueA(current_, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        Strings.Add(std::string(name, n));
    }
}

TRegDataType TRegistry::GetDataType(const std::string& Name) {
    DWORD type = 0;
    if (!current_ || RegQueryValueExA(current_, Name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return rdUnknown;
    switch (type) {
        case REG_SZ: return rdString;
        case REG_EXPAND_SZ: return rdExpandString;
        case REG_DWORD: return rdInteger;
        case REG_BINARY: return rdBinary;
        default: return rdUnknown;
    }
}

int TRegistry::GetDataSize(const std::string& Name) {
    DWORD size = 0;
    if (!current_ || RegQueryValueExA(current_, Name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return -1;
    return static_cast<int>(size);
}

std::string TRegistry::ReadString(const std::string& Name) {
    int size = GetDataSize(Name);
    if (size <= 0) return {};
    TRegDataType t = GetDataType(Name);
    if (t != rdString && t != rdExpandString) throw ERegistryException(Format(SInvalidRegType, Name.c_str()));
    std::string buf(static_cast<size_t>(size) + 1, '\0');
    DWORD n = static_cast<DWORD>(size);
    if (RegQueryValueExA(current_, Name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &n) !=
        ERROR_SUCCESS)
        throw ERegistryException(Format(SRegGetDataFailed, Name.c_str()));
    buf.resize(std::min<size_t>(n, buf.size()));
    // Stored strings may or may not carry their terminator.
    size_t z = buf.find('\0');
    if (z != std::string::npos) buf.resize(z);
    return buf;
}

int TRegistry::ReadInteger(const std::string& Name) {
    DWORD type = 0, v = 0, n = sizeof v;
    if (!current_ ||
        RegQueryValueExA(current_, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &n) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegGetDataFailed, Name.c_str()));
    if (type != REG_DWORD || n != sizeof v) throw ERegistryException(Format(SInvalidRegType, Name.c_str()));
    return static_cast<int>(v);
}

bool TRegistry::ReadBool(const std::string& Name) { return ReadInteger(Name) != 0; }

int TRegistry::ReadBinaryData(const std::string& Name, void* Buffer, int BufSize) {
    DWORD type = 0, n = 0;
    if (!current_ || RegQueryValueExA(current_, Name.c_str(), nullptr, &type, nullptr, &n) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegGetDataFailed, Name.c_str()));
    if (type != REG_BINARY) throw ERegistryException(Format(SInvalidRegType, Name.c_str()));
    if (BufSize < 0 || n > static_cast<DWORD>(BufSize)) throw ERegistryException(Format(SRegGetDataFailed, Name.c_str()));
    if (RegQueryValueExA(current_, Name.c_str(), nullptr, nullptr, static_cast<BYTE*>(Buffer), &n) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegGetDataFailed, Name.c_str()));
    return static_cast<int>(n);
}

std::string TRegistry::ReadStringDef(const std::string& Name, const std::string& Default) {
    if (!ValueExists(Name)) return Default;
    try {
        return ReadString(Name);
    } catch (const ERegistryException&) {
        return Default;
    }
}

int TRegistry::ReadIntegerDef(const std::string& Name, int Default) {
    try {
        return ReadInteger(Name);
    } catch (const ERegistryException&) {
        return Default;
    }
}

bool TRegistry::ReadBoolDef(const std::string& Name, bool Default) { return ReadIntegerDef(Name, Default) != 0; }

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
    if (!current_ || RegSetValueExA(current_, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                                    static_cast<DWORD>(Value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
}

void TRegistry::WriteExpandString(const std::string& Name, const std::string& Value) {
    if (!current_ ||
        RegSetValueExA(current_, Name.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                       static_cast<DWORD>(Value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
}

void TRegistry::WriteInteger(const std::string& Name, int Value) {
    DWORD v = static_cast<DWORD>(Value);
    if (!current_ || RegSetValueExA(current_, Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                                    sizeof v) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
}

void TRegistry::WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize) {
    if (!current_ || BufSize < 0 ||
        RegSetValueExA(current_, Name.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(Buffer),
                       static_cast<DWORD>(BufSize)) != ERROR_SUCCESS)
        throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
}

}  // namespace bramble
