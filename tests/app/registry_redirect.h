// Points a predefined registry root (HKEY_CURRENT_USER, HKEY_CLASSES_ROOT,
// HKEY_LOCAL_MACHINE) of this process at a scratch key for the life of the
// object, so the tests write the program's real key names without touching
// the prefix's own settings, classes or machine keys.
#pragma once

#include <windows.h>

#include <string>

#include "ui/registry.h"

namespace bramble::testing {

class RegistryRedirect {
public:
    RegistryRedirect(HKEY Root, const std::string& Name) : root_(Root), path_("Software\\BrambleAppTests\\" + Name) {
        TRegistry cleaner;
        cleaner.DeleteKey(path_);
        RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &scratch_, nullptr);
        ok_ = scratch_ && RegOverridePredefKey(root_, scratch_) == ERROR_SUCCESS;
    }
    ~RegistryRedirect() {
        RegOverridePredefKey(root_, nullptr);
        if (scratch_) RegCloseKey(scratch_);
        TRegistry cleaner;
        cleaner.DeleteKey(path_);
        // The parent goes with its last scratch key.
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrambleAppTests");
    }
    RegistryRedirect(const RegistryRedirect&) = delete;
    RegistryRedirect& operator=(const RegistryRedirect&) = delete;

    bool ok() const { return ok_; }

private:
    HKEY root_;
    std::string path_;
    HKEY scratch_ = nullptr;
    bool ok_ = false;
};

}  // namespace bramble::testing
