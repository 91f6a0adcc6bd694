// Outside libraries bound at run time by name. Each binding loads its
// library once, quietly, when the engine starts, and either resolves every
// entry point it needs or none: a library that loads but lacks one of them
// is treated as missing, so a component never meets half a library.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

// The libraries' calling conventions. The cabinet interfaces are cdecl, the
// archive makers' libraries stdcall; x86_64 and the native build have one
// convention only.
#if defined(_WIN32) && !defined(_WIN64)
#define BRAMBLE_CDECL __cdecl
#define BRAMBLE_STDCALL __stdcall
#else
#define BRAMBLE_CDECL
#define BRAMBLE_STDCALL
#endif

namespace bramble {

// Loads a library with the system's error boxes off; nullptr when it is
// missing. Never shows a message.
void* LoadLibraryQuiet(const std::string& Path);

// Name in Folder, where the bindings load their libraries from (never by
// bare name: the system's search takes the current folder and the path,
// where a planted library would be loaded). Empty when Folder is unknown.
std::string LibraryPath(const std::string& Folder, const std::string& Name);

class TBinding {
public:
    // Loads Path and looks up every name into Symbols (in order). True only
    // when the library loaded and had all of them; otherwise the library is
    // let go again and Symbols is left null. An empty Path loads nothing.
    bool Load(const std::string& Path, std::initializer_list<const char*> Names, void** Symbols);
    // Frees the library when one is held; the flag is cleared.
    void Unload();

    bool Loaded() const { return module_ != nullptr; }
    void* Module() const { return module_; }

private:
    void* module_ = nullptr;
};

// Turns a looked-up symbol into the entry point's own type.
template <typename F>
F SymbolAs(void* symbol) {
    return reinterpret_cast<F>(reinterpret_cast<intptr_t>(symbol));
}

}  // namespace bramble
