// What the file list knows of one entry and the rules that need no window:
// the kinds of detail column, the attribute filter, the detail texts, the
// mask and folder-list parsing, and the order of two entries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/types.h"
#include "ui/classes.h"

namespace bramble {

enum TFileInfo : uint8_t {
    fiName, fiSize, fiType, fiModified, fiCreated, fiLastAccess, fiAttributes, fiDosName, fiDosExt, fiPath, fiAll
};
using TFileInfos = TSet<TFileInfo>;

enum TFileType : uint8_t { ftArchive, ftReadonly, ftSystem, ftHidden, ftTemporary, ftAll };
using TFileTypes = TSet<TFileType>;

// What a list item keeps of the entry it shows. Callers take names from
// here, never from the caption: the caption is the shell's display name,
// which may hide the extension or be a drive's label.
struct TFileItemInfo {
    std::string Folder;  // the folder holding the entry, with its "\"; empty for a drive
    std::string Name;    // the entry's real name; for a drive its root, "C:\"
    char Drive = 0;      // the drive letter of an entry of the drive list, else 0
    WIN32_FIND_DATAA FindData{};

    bool IsFolder() const;  // folders, "..", and drives
    bool IsParent() const { return Name == ".."; }
    int64_t Size() const;
    // Folder + Name (for a drive, its root).
    std::string FullPath() const;
};

// Whether an entry with these attributes is listed under Types: an
// attribute the types do not allow keeps it out; an entry with none of
// archive, read-only, hidden, system and temporary always passes.
bool MatchesFileTypes(DWORD Attributes, TFileTypes Types);

// "D", "A", "R", "S", "H", "T" in this order, each when set.
std::string AttributeText(DWORD Attributes);
// A file's size right-aligned in ten characters, so text order is size
// order up to ten digits (larger sizes take more characters); empty for a
// folder.
std::string FileSizeText(const TFileItemInfo& Info);
// The local date in the user's format, two blanks, the time without
// seconds; empty for a time the entry does not have.
std::string FileTimeText(const FILETIME& Utc);
// The short name's extension with its ".", of the short name or else the
// long one.
std::string DosName(const WIN32_FIND_DATAA& Find);
std::string DosExt(const WIN32_FIND_DATAA& Find);

// Turns a mask text into patterns: "," and ";" separate them, blanks
// around each are dropped, empty pieces are skipped, and (unless
// CaseSensitive) they are folded to lower case. Completing makes a bare
// word match anywhere ("doc" -> "*doc*") and a piece without "." a prefix
// ("abc?" -> "abc?*"). An empty text (or one of blanks and separators only)
// gives "*". The list ends sorted, duplicates ignored.
void ParseMaskList(const std::string& Masks, TStringList& List, bool Complete, bool CaseSensitive);

// The folders of a Directory value: cut at ";", each given a trailing "\",
// empty pieces skipped. DriveList is set for an empty value (list the
// drives) and the result is then one empty folder.
std::vector<std::string> ParseFolderList(const std::string& Value, bool& DriveList);

// What CompareFileKeys looks at of an item: its texts as the list shows
// them.
struct TFileSortKey {
    std::string Caption;   // the name column's text
    std::string SizeText;  // the size column's text: empty for folders, drives and ".."
    std::string Detail;    // the sorted column's text (empty when the item has none)
};
// Negative when A goes first. Items without a size text (folders) come
// first in both directions; then the name column compares the captions
// and any other column its texts, ties by caption, all upper-cased. The
// size texts are right-aligned, so text order is number order as long as
// a size fits in ten digits. Descending reverses, and the date columns
// reverse once more, so their first click puts the greatest text first.
int CompareFileKeys(const TFileSortKey& A, const TFileSortKey& B, TFileInfo Kind, bool Descending);

}  // namespace bramble
