// What the context menu offers for one file: which items, their texts,
// help texts and switches, and the command line that carries an item out.
// Plain text work, kept apart from the COM plumbing.
#pragma once

#include <string>

namespace bramble::shellext {

// The extension from the last "." of the name on (empty without one),
// with A to Z lower-cased and nothing else touched.
std::string LowerExtension(const std::string& FileName);
// Whether the extension is one of the archive kinds the program opens.
bool IsArchiveName(const std::string& FileName);
// The last component of a path.
std::string NameOfPath(const std::string& FileName);
// The ZIP archive "Add to" creates: the file name cut at its first "."
// with ".zip" appended (the program names the new archive the same way).
std::string AddArchiveName(const std::string& FileName);

// How many items the menu holds for the file: 3 for a ZIP archive, 2 for
// another archive, 1 for any other file, none for an empty name. Offsets
// from 0 below this count are the file's commands; others are not.
unsigned ItemCount(const std::string& FileName);
// The item at Offset (which must be below ItemCount).
std::string ItemText(const std::string& FileName, unsigned Offset);
const char* HelpText(const std::string& FileName, unsigned Offset);
// The program's switch for the item: "/x", "/a", "/e" or "/s".
const char* ItemSwitch(const std::string& FileName, unsigned Offset);

// The program file in RootDir followed by the switch and the quoted file.
// The program's own path is quoted too, so a folder with blanks cannot be
// taken for another program followed by arguments. Empty when no command
// can be made: no folder, or a folder or file name holding a quote.
std::string CommandLine(const std::string& RootDir, const std::string& Switch, const std::string& FileName);

}  // namespace bramble::shellext
