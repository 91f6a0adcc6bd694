// Item-identifier lists and what a tree node or list item keeps of a shell
// item: the folder that holds it, its lists, its attributes.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "engine/core/exception.h"
#include "ui/comobj.h"

namespace bramble {

class TCustomImageList;

// Lists are allocated with the shell's allocator and freed with it.
size_t PidlSize(LPCITEMIDLIST P);  // with the terminator
int PidlCount(LPCITEMIDLIST P);
LPITEMIDLIST PidlClone(LPCITEMIDLIST P);
LPITEMIDLIST PidlConcat(LPCITEMIDLIST A, LPCITEMIDLIST B);
// The Index-th item alone, as a list of one (Index < PidlCount).
LPITEMIDLIST PidlItem(LPCITEMIDLIST P, int Index);
void PidlFree(LPITEMIDLIST P);
bool PidlEmpty(LPCITEMIDLIST P);

// The item's file-system path; empty for a virtual item.
std::string PidlPath(LPCITEMIDLIST Absolute);
// A display name from the shell's answer, in the program's code page.
std::string StrRetText(STRRET& S, LPCITEMIDLIST Item);
std::wstring Widen(const std::string& S);

// Folder data still alive when they should all have gone.
class ELeaking : public Exception {
public:
    ELeaking() : Exception("Memory Leak Detected.  Not all folder data was freed.") {}
};

// What one node (or list item) owns; freed with it.
struct TFolderItemData {
    TFolderItemData();
    ~TFolderItemData();
    TFolderItemData(const TFolderItemData&) = delete;
    TFolderItemData& operator=(const TFolderItemData&) = delete;

    bool ChildrenRead = false;
    TComPtr<IShellFolder> ParentFolder;
    LPITEMIDLIST Relative = nullptr;
    LPITEMIDLIST Absolute = nullptr;
    ULONG Attributes = 0;

    // How many exist now (a non-zero count at the end is a leak).
    static int Live();
    // Raises ELeaking unless every one made has been freed.
    static void CheckAllFreed();
};

// Gives Small and Large the shell's system image lists (shared, never
// destroyed here), sized to the system's icons.
void AttachSystemImages(TCustomImageList& Small, TCustomImageList& Large);

// The attribute flags the tree and list read.
inline constexpr ULONG kItemAttributeMask = 0xF20B0177;

}  // namespace bramble
