// The class identifier of the context-menu handler, shared by bramble.exe
// (which registers and removes it) and bmshell.dll (which serves it). It is
// fixed for good: changing it orphans every earlier registration.
#pragma once

#include <windows.h>

namespace bramble {

// {A5F25D2F-4A88-4170-A53B-5CDD3F7E352F}
inline constexpr GUID ShellExtClassId = {
    0xa5f25d2f, 0x4a88, 0x4170, {0xa5, 0x3b, 0x5c, 0xdd, 0x3f, 0x7e, 0x35, 0x2f}};

// The same identifier in the registry's text form (braces, upper case), as
// key names and values hold it.
inline constexpr const char* ShellExtClassIdText = "{A5F25D2F-4A88-4170-A53B-5CDD3F7E352F}";

// The handler's description: the default value of its CLSID key and its
// name in the approved-extensions list.
inline constexpr const char* ShellExtDescription = "Bramble ContextMenu";

}  // namespace bramble
