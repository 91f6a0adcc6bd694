#include "engine/bindings/binding.h"

#include "engine/core/os.h"

namespace bramble {

void* LoadLibraryQuiet(const std::string& Path) { return os::LibraryLoad(Path); }

std::string LibraryPath(const std::string& Folder, const std::string& Name) {
    return Folder.empty() ? std::string() : Folder + Name;
}

bool TBinding::Load(const std::string& Path, std::initializer_list<const char*> Names, void** Symbols) {
    Unload();
    void* module = Path.empty() ? nullptr : LoadLibraryQuiet(Path);
    size_t i = 0;
    bool complete = module != nullptr;
    for (const char* name : Names) {
        Symbols[i] = complete ? os::LibrarySymbol(module, name) : nullptr;
        complete = complete && Symbols[i] != nullptr;
        ++i;
    }
    if (!complete) {
        for (size_t j = 0; j < Names.size(); ++j) Symbols[j] = nullptr;
        os::LibraryFree(module);
        return false;
    }
    module_ = module;
    return true;
}

void TBinding::Unload() {
    os::LibraryFree(module_);
    module_ = nullptr;
}

}  // namespace bramble
