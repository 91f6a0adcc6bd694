// A tree of the shell's namespace (desktop, drives, folders, special
// folders) as the shell's explorer shows it: the shell's names, icons and
// order, children read when a node first opens, the item's shell menu on a
// right-click, renaming through the shell, and the selected folder watched
// so that folders made or removed outside show up by themselves.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "app/widgets/shellitem.h"
#include "ui/comctrls.h"
#include "ui/comobj.h"
#include "ui/thread.h"

namespace bramble {

enum TRootFolder : uint8_t {
    rfDesktop, rfRecycleBin, rfControlPanel, rfDesktopDir, rfDrives, rfFavoriteURLs, rfFonts, rfNetHood,
    rfNetHoodDir, rfDocumentDir, rfPrinters, rfPrograms, rfRecentDir, rfSendTo, rfStartMenu, rfStartup,
    rfTemplates, rfFileSystem, rfCustom
};
enum TPopupMenuMethod : uint8_t { pmmNone, pmmContext, pmmUser, pmmContextUser };

// The shell's special-folder number of each root but rfCustom.
int RootFolderCsidl(TRootFolder Root);

// Watches one folder and ends when something in it changes (or when told
// to stop, or when the folder cannot be watched: then silently).
class TFileChangeThread : public TThread {
public:
    // Filter bits: 0 file name, 1 folder name, 2 attributes, 3 size,
    // 4 last write, 5 security.
    TFileChangeThread(const std::string& Folder, bool WatchSubtree, unsigned Filter);
    // Stops the worker while the fields it reads still stand.
    ~TFileChangeThread() override;
    const std::string& Folder() const { return folder_; }
    static DWORD PlatformFilter(unsigned Filter);

protected:
    void Execute() override;
    void DoTerminate() override;

private:
    std::string folder_;
    bool subtree_;
    unsigned filter_;
    std::atomic<bool> no_change_{false};
};

class TSystemListView;

class TSystemTreeView : public TTreeView {
public:
    explicit TSystemTreeView(TComponent* AOwner);
    ~TSystemTreeView() override;

    TRootFolder RootFolder() const { return root_folder_; }
    void SetRootFolder(TRootFolder v);
    const std::string& CustomDir() const { return custom_dir_; }
    void SetCustomDir(const std::string& v);
    const std::string& CustomDirCaption() const { return custom_caption_; }
    void SetCustomDirCaption(const std::string& v);
    // The selected node's file-system path; "" when none or virtual.
    std::string Directory() const;
    // Opens the nodes down to Path and selects it; a path that does not
    // parse leaves the selection as it is.
    void SetDirectory(const std::string& Path);
    std::string Selection() const { return Directory(); }
    void SetSelection(const std::string& Path) { SetDirectory(Path); }
    bool ShowFiles() const { return show_files_; }
    void SetShowFiles(bool v);
    bool ShowHiddenDirs() const { return show_hidden_; }
    void SetShowHiddenDirs(bool v);
    bool ExpandRoot() const { return expand_root_; }
    void SetExpandRoot(bool v) { expand_root_ = v; }
    bool Checkboxes() const { return checkboxes_; }
    void SetCheckboxes(bool v);
    bool Autoscroll() const { return autoscroll_; }
    void SetAutoscroll(bool v) { autoscroll_ = v; }
    TPopupMenuMethod PopupMenuMethod() const { return popup_method_; }
    void SetPopupMenuMethod(TPopupMenuMethod v) { popup_method_ = v; }
    std::string Version() const { return "Bramble shell folder tree 1.0"; }
    // A linked list that shows the selected folder.
    TSystemListView* ListView() const { return list_; }
    void SetListView(TSystemListView* v);

    // The node's data (null for a node without any).
    static TFolderItemData* DataOf(const TTreeNode* Node);
    // Re-reads the node's children, keeping it open when it was.
    virtual void RefreshNode(TTreeNode* Node);
    virtual void SortNodes(TTreeNode* Node);
    // The folder being watched for changes ("" when none), for tests.
    std::string WatchedFolder() const;

    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Change(TTreeNode* Node) override;
    bool CanExpand(TTreeNode* Node) override;
    bool GetHasChildren(TTreeNode* Node) override;
    void Delete(TTreeNode* Node) override;
    bool CanEdit(TTreeNode* Node) override;
    void Edit(TTreeNode* Node, std::string& S) override;
    bool ContextClick(TPoint ScreenPos) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    // Adds a node for an item of Folder under Parent, taking over both
    // lists; null (lists freed) when the item is not shown.
    virtual TTreeNode* AddNode(IShellFolder* Folder, LPITEMIDLIST Relative, LPITEMIDLIST Absolute,
                               TTreeNode* Parent);
    virtual bool ShowPopupMenu(TTreeNode* Node, TPoint ScreenPos);

private:
    void Build();
    void ReadChildren(TTreeNode* Node);
    TComPtr<IShellFolder> FolderOf(TTreeNode* Node);
    TFolderItemData* DataOrReport(TTreeNode* Node);
    void StartWatch(TTreeNode* Node, const std::string& Path);
    void StopWatch();
    void FolderChanged();
    void SelectPidl(LPCITEMIDLIST Target);

    TComPtr<IShellFolder> desktop_;
    TCustomImageList images_;
    TRootFolder root_folder_ = rfDesktop;
    std::string custom_dir_, custom_caption_;
    std::string pending_dir_;
    bool show_files_ = false, show_hidden_ = true, expand_root_ = true, checkboxes_ = false, autoscroll_ = false;
    TPopupMenuMethod popup_method_ = pmmContext;
    TSystemListView* list_ = nullptr;
    void ShowInList(TTreeNode* Node);
    std::unique_ptr<TFileChangeThread> watch_;
    TTreeNode* watch_node_ = nullptr;
    WPARAM watch_generation_ = 0;
};

}  // namespace bramble
