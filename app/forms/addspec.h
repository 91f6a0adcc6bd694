// How the Add dialog's choices become a writer's settings, apart from any
// window: which writer a new archive's name asks for, the methods a writer
// offers in the dialog's order, and how the text of the file-name box turns
// into FileSpec lines.
#pragma once

#include <string>
#include <vector>

#include "engine/core/arctypes.h"
#include "engine/core/types.h"

namespace bramble {

// The writer kinds the main window keeps as the last one used.
enum TWriterKind : int {
    wkBh = 2, wkCab = 3, wkGZip = 4, wkJar = 5, wkLha = 6, wkTar = 7, wkZip = 8, wkZoo = 9
};

// A kind the dialog has a writer for: BH, CAB, gzip, LHA, TAR or ZIP kept,
// every other value (JAR and ZOO included) the ZIP writer's.
int WriterKindOf(int Kind);
// The writer kind for a new archive by its name's extension, any case, or
// the start of one: ".BH", ".CAB", ".LHA", ".LZH", ".ZIP", ".ZOO", ".GZ",
// ".TAR", ".JAR" (so ".Z" is a ZIP and "." a BH); other names, and names
// without an extension, keep LastKind.
int WriterKindForName(const std::string& ArchiveName, int LastKind);
// The writer kind for an open archive's kind; 0 for kinds without one.
int WriterKindForArcType(TArcType Kind);
// The archive kind a writer kind writes.
TArcType ArcTypeOfWriterKind(int Kind);

// The twelve method names, by method value.
const std::string& MethodName(TCompressMethod Method);
// The method of a row text; cmStore for a text that names none.
TCompressMethod MethodOfName(const std::string& Name);
// The methods of Allowed in the dialog's order (Quantum before Lzx; the UU
// and XX methods never).
std::vector<TCompressMethod> MethodRows(const TSet<TCompressMethod>& Allowed);

// The names in the file-name box: a text holding double quotes is cut
// after each quote followed by a blank, each piece loses its quotes and
// leading blanks, and what follows the last such pair is one more name
// when it holds more than blanks; a text without quotes is one name (or
// mask). Names are trimmed; empty ones are dropped.
std::vector<std::string> SplitFileNames(const std::string& Text);
// What the box shows for a selection: each name in double quotes followed
// by one blank.
std::string QuotedNames(const std::vector<std::string>& Names);
// True for "C:\..." and "\\server\share\...".
bool IsAbsoluteName(const std::string& Name);
// The FileSpec line for a name typed or chosen in Folder: an absolute name
// as it is, a name from the root ("\x") on Folder's drive, anything else
// below Folder. Empty when Folder is empty and the name is not absolute.
std::string FileSpecLine(const std::string& Folder, const std::string& Name);

}  // namespace bramble
