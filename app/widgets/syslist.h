// The contents of the folder selected in a linked shell folder tree, with
// the shell's names, icons and order, size, type and date columns, an
// extension filter, the items' shell menus and their default commands.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/shellitem.h"
#include "app/widgets/systree.h"
#include "ui/comctrls.h"
#include "ui/comobj.h"

namespace bramble {

enum TColumnType : uint8_t { ctFileSystem, ctMachine, ctControlPanel, ctPrinters, ctDUNet, ctNetwork, ctUser, ctUnknown };

using TSLVAddListItem = std::function<void(TObject* Sender, TListItem* AItem)>;
// Negative when A goes before B; Param as SortItems was given it.
using TSLVCompare = std::function<int(TListItem* A, TListItem* B, LPARAM Param)>;

class TSystemListView : public TListView {
public:
    explicit TSystemListView(TComponent* AOwner);
    ~TSystemListView() override;

    TSystemTreeView* TreeView() const { return tree_; }
    void SetTreeView(TSystemTreeView* v);
    TColumnType ColumnType() const { return column_type_; }
    void SetColumnType(TColumnType v);
    bool ShowHiddenFiles() const { return show_hidden_; }
    void SetShowHiddenFiles(bool v) { show_hidden_ = v; }
    bool ShowFolders() const { return show_folders_; }
    void SetShowFolders(bool v);
    const std::string& SimpleMask() const { return mask_; }
    void SetSimpleMask(const std::string& v);
    bool Autoscroll() const { return autoscroll_; }
    void SetAutoscroll(bool v) { autoscroll_ = v; }
    TPopupMenuMethod PopupMenuMethod() const { return popup_method_; }
    void SetPopupMenuMethod(TPopupMenuMethod v) { popup_method_ = v; }
    std::string Version() const { return "Bramble shell file list 1.0"; }

    TNotifyEvent OnCreateColumns;
    TSLVAddListItem OnAddListItem;

    // Lists the node's folder (Desktop: the desktop itself).
    void ShowFolder(TTreeNode* Node, bool Desktop);
    void Refill();
    virtual void CreateColumns(TColumnType Type);
    // Adds one item, taking over both lists.
    virtual void AddListItem(IShellFolder* Folder, LPITEMIDLIST Absolute, LPITEMIDLIST Relative, TTreeNode* Node);
    // With no Compare, the default one (folders first, then the shell's
    // order by the column in Param's low word; a high word reverses).
    virtual bool SortItems(const TSLVCompare& Compare, LPARAM Param);
    virtual bool ShowItemMenu(TListItem* Item, TPoint ScreenPos);
    virtual bool ShowSelectionMenu(TPoint ScreenPos);
    std::string ItemPath(TListItem* Item) const;
    static int DefaultCompare(TListItem* A, TListItem* B, LPARAM Param);
    static TFolderItemData* DataOf(const TListItem* Item);
    int StoredWidth(int Index) const { return widths_[Index]; }
    const std::vector<std::string>& MaskPieces() const { return pieces_; }

    // The parts that do not need a window (for tests too).
    static bool MaskAccepts(const std::vector<std::string>& Pieces, const std::string& Path);
    static std::vector<std::string> SplitMask(const std::string& Mask);
    static std::string KiloBytes(uint64_t Size);
    // The four widths after a "DirectoryCols" value of these bytes.
    static void ApplyDirectoryCols(const std::string& Bytes, int (&Widths)[4]);

    void WndProc(TMessage& Message) override;

protected:
    void CreateWnd() override;
    void DblClick() override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void ReleaseItems();
    // Frees what the item kept of its shell item.
    void ReleaseData(TListItem* Item);
    void ListFolder(IShellFolder* Folder, TTreeNode* Node);
    HWND OwnerWindow();
    std::vector<std::unique_ptr<TFolderItemData>> data_;
    TCustomImageList small_, large_;
    TSystemTreeView* tree_ = nullptr;
    TTreeNode* node_ = nullptr;
    bool desktop_ = false;
    bool fill_waits_ = false;
    TColumnType column_type_ = ctFileSystem;
    bool show_hidden_ = true, show_folders_ = true, autoscroll_ = false;
    std::string mask_;
    std::vector<std::string> pieces_;
    TPopupMenuMethod popup_method_ = pmmContextUser;
    int widths_[4] = {120, 60, 120, 120};
    int last_column_ = 0;
    bool reversed_ = false;
};

}  // namespace bramble
