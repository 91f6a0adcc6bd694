// The registry wrapper: one open key at a time under a root key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/classes.h"

namespace bramble {

enum TRegDataType : uint8_t { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry : public TObject {
public:
    explicit TRegistry(REGSAM Access = KEY_ALL_ACCESS);
    ~TRegistry() override;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return root_; }
    void SetRootKey(HKEY v);
    HKEY CurrentKey() const { return current_; }
    const std::string& CurrentPath() const { return current_path_; }
    REGSAM Access() const { return access_; }
    void SetAccess(REGSAM v) { access_ = v; }
    // Close without flushing to disk (the default).
    bool LazyWrite() const { return lazy_write_; }
    void SetLazyWrite(bool v) { lazy_write_ = v; }

    // Key names are relative to the root key; a leading "\" is dropped.
    bool OpenKey(const std::string& Key, bool CanCreate);
    // Opens the key for reading only; Access stays what it was.
    bool OpenKeyReadOnly(const std::string& Key);
    void CloseKey();
    bool CreateKey(const std::string& Key);
    bool DeleteKey(const std::string& Key);
    bool KeyExists(const std::string& Key);
    bool HasSubKeys();
    void GetKeyNames(TStrings& Strings);

    bool ValueExists(const std::string& Name);
    bool DeleteValue(const std::string& Name);
    void GetValueNames(TStrings& Strings);
    TRegDataType GetDataType(const std::string& Name);
    int GetDataSize(const std::string& Name);

    // Reads of the class library: a missing string is empty; a missing or
    // mistyped integer, Boolean or binary value raises ERegistryException.
    std::string ReadString(const std::string& Name);
    int ReadInteger(const std::string& Name);
    bool ReadBool(const std::string& Name);
    int ReadBinaryData(const std::string& Name, void* Buffer, int BufSize);
    // Reads that fall back to a default instead.
    std::string ReadStringDef(const std::string& Name, const std::string& Default);
    int ReadIntegerDef(const std::string& Name, int Default);
    bool ReadBoolDef(const std::string& Name, bool Default);

    // Writes raise ERegistryException when the value cannot be set.
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteExpandString(const std::string& Name, const std::string& Value);
    void WriteInteger(const std::string& Name, int Value);
    void WriteBool(const std::string& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }
    void WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize);

private:
    static std::string Normalize(const std::string& Key);
    HKEY BaseFor(const std::string& Key) const;
    HKEY root_ = HKEY_CURRENT_USER;
    HKEY current_ = nullptr;
    std::string current_path_;
    REGSAM access_;
    bool lazy_write_ = true;
};

}  // namespace bramble
