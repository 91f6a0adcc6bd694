// File associations and the registration of the shell's context-menu
// handler, and the registry helpers they use. None of the operations
// reports a failure: keys that cannot be written or removed (no rights)
// stay as they were.
#pragma once

#include <windows.h>

#include <string>

#include "ui/classes.h"

namespace bramble {

// Full path of the running program, as the shell must start it.
std::string ProgramFileName();
// The context-menu library's full path: bmshell.dll beside the program.
std::string ShellExtLibraryFile();

// Whether the key opens (it is not created).
bool RegistryKeyExists(HKEY Root, const std::string& Key);
// Appends the names of the key's direct subkeys to List; true when there
// was at least one.
bool GetRegSubTree(HKEY Root, const std::string& Key, TStrings& List);
// Deletes one key, which on NT must have no subkeys; true on success.
bool DeleteRegKey(HKEY Root, const std::string& Key);
// Deletes the key with everything below it; true when it is gone after.
// An empty key name is refused: it would name the root itself.
bool NTDeleteRegKey(HKEY Root, const std::string& Key);

// Associates the extension (without its dot; "zip" also gets the New-menu
// template of an empty ZIP archive) with this program and the icon file.
void MakeAssociation(const std::string& Ext, const std::string& IconFile);
// Removes the association only while the extension is still ours: the
// extension key's default value, our New-menu template and our class go;
// what other programs keep under the extension key (open-with lists,
// handlers, templates, other values) stays, and the key goes only when
// nothing is left in it.
void RemoveAssociation(const std::string& Ext);
// Registers and removes the context-menu handler for all files.
void MakeShellExt();
void RemoveShellExt();

}  // namespace bramble
