// The main window's entry list: one record per listed archive entry, kept by
// the window itself and shown through an owner-data list view that asks for
// the rows it paints. Also the shell's icons and type names for stored
// names, and the status bar's totals.
//
// How the main window uses it (TfrmMain):
//
//   formCreate:         Entries = std::make_unique<TEntryList>(ListView1, UseVirtualList);
//                       Entries->Setup();                // columns, owner data, events
//                       SetSystemImageLists(ListView1);  // shared system icons
//                       Entries->OnInstallEntry = [this](const std::string& Name) {
//                           ...add an item Name to the Install button's menu...
//                       };
//                       (stored column widths: Entries->SetColumnWidths(...))
//   Dovex1Activate:     Entries->Clear();
//   Dovex1Read(Sender, Offset, Filenum):
//                       Entries->AddFromComponent(*static_cast<TZipCommon*>(Sender), Offset);
//   Dovex1Deactivate:   Entries->UpdateCount();
//   DisplayTotals:      panel 2 := Entries->TotalsText(Dovex1->TotalUnpacked());
//                       panel 1 := Entries->SelectedText();
//   Extract selected:   Entries->SelectedNames() (stored names, for FileSpec)
//   formDestroy:        FreeSystemImageLists(ListView1); Entries.reset();
//
// The entry list wires the list view's OnData, OnDataFind, OnDataHint,
// OnColumnClick and OnCompare itself; the window keeps OnClick and the rest.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/component.h"
#include "engine/core/entryinfo.h"
#include "engine/core/types.h"

namespace bramble {

class TListView;
class TListItem;
class TZipCommon;

// One listed entry. The texts are what the columns show; the numbers beside
// them are what sorting and the totals use, so sizes beyond 2 GB and dates
// compare by value.
struct TShellItem {
    uint8_t Flag = 0;
    std::string Name;         // file-name part of the stored name
    std::string Packed;       // decimal
    std::string Size;         // decimal
    std::string Ratio;        // decimal + "%"
    std::string Folder;       // folder part with its trailing '\', or empty
    std::string Modified;     // "mm/dd/yy hh:mm"
    std::string Method;
    std::string FileType;
    std::string Offset;       // decimal header offset
    std::string Encrypted;    // "Yes" / "No"
    std::string VolumeID;
    std::string FileComment;
    int Icon = -1;            // index in the system image list

    int64_t PackedValue = 0;
    int64_t SizeValue = 0;
    int64_t OffsetValue = 0;
    TDateTime DateValue = 0;
    // The stored path as the engine reported it (Folder + Name).
    std::string StoredName() const { return Folder + Name; }
};

// Column order of the list view.
enum TEntryColumn : int {
    ecName, ecSize, ecPacked, ecRatio, ecFolder, ecModified, ecMethod, ecFileType, ecOffset, ecEncrypted,
    ecVolumeID, ecFileComment
};
constexpr int EntryColumnCount = 12;

// The shell's icon index and type name per extension, asked by name only
// through the engine (TZipCommon::GetFileIconIndex, GetFileTypeName: the
// file need not exist). Each extension is asked once per process; the icon
// index needs no handle, so nothing is left to free.
class TShellFileInfo {
public:
    // Index in the system image list for a file named Name.
    static int IconIndex(const std::string& Name);
    // The shell's type name; empty when it has none.
    static std::string TypeName(const std::string& Name);
    // The type column's text: the shell's name, else the extension without
    // its dot + " File".
    static std::string FileTypeText(const std::string& Name);
    // The icon a row shows: every ".exe" gets the generic program icon.
    static int DisplayIcon(const std::string& Name);
    static void ClearCache();

    // How the shell is asked (unset: through the engine); tests replace
    // these to count or fake calls.
    using TIconLookup = std::function<int(const std::string& Name)>;
    using TTypeLookup = std::function<std::string(const std::string& Name)>;
    static TIconLookup IconLookup;
    static TTypeLookup TypeLookup;
};

// Gives the list view two image lists sharing the system's large and small
// icon lists (the list view owns them; the system lists are never freed).
void SetSystemImageLists(TListView* ListView);
void FreeSystemImageLists(TListView* ListView);

// "123 bytes", "1.5 KB", "2.34 MB"; empty for a negative count.
std::string FormatKB(int64_t Bytes);
// Thousands separators ("#,##0").
std::string FormatThousands(int64_t Value);
// "mm/dd/yy hh:mm".
std::string FormatEntryDate(TDateTime Value);

class TEntryList {
public:
    // Virtual: owner-data list view backed by the records (comctl32 4.70 and
    // later); otherwise ordinary list items that point at the records.
    explicit TEntryList(TListView* ListView, bool Virtual = true);
    ~TEntryList();
    TEntryList(const TEntryList&) = delete;
    TEntryList& operator=(const TEntryList&) = delete;

    // Report view, multi-select, read-only, the twelve columns with their
    // captions, widths and alignment; owner data when virtual; the list
    // view's data, find, hint, column-click and compare events.
    void Setup();
    static const char* ColumnCaption(int Column);
    static int DefaultColumnWidth(int Column);
    std::vector<int> ColumnWidths() const;
    void SetColumnWidths(const std::vector<int>& Widths);  // extra or missing widths are ignored

    // Frees every record and empties the list view.
    void Clear();
    // One entry from a component's current entry (OnRead of the lister and
    // the writers); Offset is OnRead's header offset. Calls OnInstallEntry
    // for setup/install programs and ".inf" files.
    TShellItem* AddFromComponent(TZipCommon& Sender, int64_t Offset, const std::string& Comment = "");
    TShellItem* Add(const TEntryInfo& Info, int64_t Offset = 0, const std::string& VolumeID = "",
                    const std::string& Comment = "");
    // Hands the record count to the list view and repaints (end of a listing).
    void UpdateCount();

    int Count() const { return static_cast<int>(items_.size()); }
    // The record of a row (nullptr beyond the list).
    const TShellItem* GetEntry(int Index) const;

    // A header click: another column becomes current, ascending; the current
    // column flips direction. Then sorts.
    void ColumnClick(int Column);
    // Sorts by a column in a direction and makes them current.
    void Sort(int Column, bool Ascending);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    // Order of two records by a column, ascending (negative, 0, positive).
    static int CompareBy(int Column, const TShellItem& A, const TShellItem& B);
    // The same for the plain items the list view sorts itself.
    static int ComparePlain(int Column, const TShellItem& A, const TShellItem& B);

    // Typeahead: the first row from Start on (wrapping to the top when Wrap)
    // whose name starts with Text, case-insensitively; -1 when none.
    int FindPrefix(const std::string& Text, int Start, bool Wrap) const;

    std::vector<int> SelectedIndices() const;
    std::vector<const TShellItem*> SelectedItems() const;
    std::vector<std::string> SelectedNames() const;  // stored names
    int SelectedCount() const;
    int64_t SelectedBytes() const;
    int64_t TotalSize() const;    // unpacked, every record
    int64_t TotalPacked() const;
    // Status bar texts: "Total N file(s), <kb>" for the archive's byte total
    // the lister reports, and "N file(s) selected, <kb>".
    std::string TotalsText(int64_t ArchiveBytes) const;
    std::string SelectedText() const;

    // Names that go on the Install button's menu.
    static bool IsInstallName(const std::string& Name);
    std::function<void(const std::string& Name)> OnInstallEntry;

    TListView* ListView() const { return listView_; }
    bool Virtual() const { return virtual_; }

private:
    void ListViewData(TListItem* Item);
    // Puts the selection and the focus back on the records they were on
    // before a sort moved them to other rows.
    void RestoreSelection(const std::vector<const TShellItem*>& Selected, const TShellItem* Focused);
    void RedrawRows();
    void FillItem(TListItem* Item, const TShellItem& Rec, bool Report) const;
    TListView* listView_;
    TAliveToken listViewAlive_;  // the window may be freed first
    bool virtual_;
    std::vector<std::unique_ptr<TShellItem>> items_;
    int sortColumn_ = 0;
    bool ascending_ = false;
};

}  // namespace bramble
