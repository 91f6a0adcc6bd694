// List views of folders' entries with the shell's icons and names:
// TFileListView adds items for paths and takes files dropped from the
// shell; TFileList lists one or more folders (or the drives), filters by
// attributes, shows chosen detail columns and sorts by the one clicked.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/fileinfo.h"
#include "ui/comctrls.h"

namespace bramble {

// The dropped names, and where they were dropped (client coordinates).
using TFileDropEvent = std::function<void(TStrings* Files, int X, int Y)>;
// Path is the folder the entry was read from.
using TFlInsertEvent =
    std::function<void(TObject* Sender, TListItem* Item, const std::string& Path, const WIN32_FIND_DATAA& FindData)>;

// The file types' icons a list has met. The list asks the shell for each
// entry's icon instead, so this one stays empty.
using TTypeIconList = TStringList;

class TFileListView : public TListView {
public:
    explicit TFileListView(TComponent* AOwner);
    ~TFileListView() override;

    bool AcceptFiles() const { return accept_files_; }
    void SetAcceptFiles(bool v);
    TFileDropEvent OnFileDrop;

    // An item captioned with the shell's display name of Path and its icon.
    virtual TListItem* AddFileItem(const std::string& Path);
    // An item captioned "????" with the folder icon.
    virtual TListItem* AddUnknownItem(const std::string& Path);
    // An item captioned "????" without an image.
    virtual TListItem* AddUnknownItemNoImage(const std::string& Path);

    TTypeIconList& TypeIconList() { return type_icons_; }

    // What the item stands for (null for an item this view did not add).
    static TFileItemInfo* ItemInfo(const TListItem* Item);

    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;
    void CreateWnd() override;
    // Items and what they keep go together.
    void ClearItems();
    TListItem* NewItem(const std::string& Path, const std::string& Caption, int Image);

    DWORD drive_mask_ = 0;
    std::string drives_name_;
    int drives_icon_ = -1;
    static int FolderIcon();
    static const std::string& FolderTypeName();

private:
    void ReadDrop(HDROP Drop);
    void UpdateDropTarget();
    bool accept_files_ = false;
    TTypeIconList type_icons_;
    TCustomImageList small_, large_;
    std::vector<std::unique_ptr<TFileItemInfo>> infos_;
};

class TFileList : public TFileListView {
public:
    explicit TFileList(TComponent* AOwner);
    ~TFileList() override;

    // The folders joined by ";", each with its "\"; "" lists the drives.
    std::string Directory() const;
    void SetDirectory(const std::string& v);
    TFileTypes FileTypes() const { return file_types_; }
    void SetFileTypes(TFileTypes v);
    bool DisplayDirectory() const { return display_directory_; }
    void SetDisplayDirectory(bool v);
    bool DisplayParentDir() const { return display_parent_dir_; }
    void SetDisplayParentDir(bool v);
    // The patterns joined by ";" (see ParseMaskList). The listing itself is
    // not filtered by them; FileTypes filters.
    std::string Mask() const;
    void SetMask(const std::string& v);
    TFileInfo SortColumn() const { return sort_column_; }
    // The shown kind becomes the sort column; the same kind again reverses.
    void SetSortColumn(TFileInfo v);
    bool SortDescending() const { return descending_; }
    TFileInfos ViewColumns() const { return view_columns_; }
    void SetViewColumns(TFileInfos v);
    // Width 0 hides a column while its texts stay.
    void SetColumnWidth(TFileInfo Kind, int Width);
    int ColumnWidth(TFileInfo Kind) const;
    // The kind's column in the view, -1 when not shown.
    int ColumnPosition(TFileInfo Kind) const;
    TFileInfo ColumnKind(int Position) const;
    bool DriveList() const { return drive_list_; }
    // Whether a read is under way (it lets messages run between entries).
    bool Reading() const { return reading_; }

    TFlInsertEvent OnFileAdd;

    TListItem* AddFileItem(const std::string& Path) override;
    void BuildColumns();
    void ReadFiles();
    int CompareFileItems(TListItem* Item1, TListItem* Item2, int Position);
    // The columns' texts of an entry, as the kinds in ViewColumns ask.
    void FillDetails(TListItem* Item, const std::string& Folder, const WIN32_FIND_DATAA& Find);

    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;
    // False when the read was cut short (a new one was asked for, or the
    // list went away while messages ran).
    bool ReadFolder(const std::string& Folder);
    void SortItems();

private:
    struct TColumnInfo {
        const char* Caption;
        int Width;
        TAlignment Alignment;
        int Position;
    };
    bool Shown(TFileInfo Kind) const;
    bool LetMessagesRun();
    TColumnInfo columns_[fiAll];
    std::vector<TFileInfo> position_kinds_;
    TStringList folders_;  // sorted, duplicates ignored
    TStringList masks_;
    TFileTypes file_types_{ftArchive, ftReadonly};
    bool display_directory_ = true;
    bool display_parent_dir_ = true;
    TFileInfo sort_column_ = fiName;
    TFileInfos view_columns_{fiName, fiSize, fiType, fiModified};
    bool descending_ = false;
    bool drive_list_ = false;
    bool reading_ = false;
    bool reread_ = false;
};

}  // namespace bramble
