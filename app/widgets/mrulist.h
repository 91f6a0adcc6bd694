// The recent-files list: numbered menu items in a file menu (and, when
// given, a popup menu) for the files used last, a click that reports the
// chosen file, and storage in the registry or an ini file between runs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/menus.h"

namespace bramble {

class TMRUFileList;

enum TRootKey : uint8_t { rkClassesRoot, rkCurrentUser, rkLocalMachine, rkUsers, rkCurrentConfig, rkDynData };
enum TMRUDisplay : uint8_t { mdFullPath, mdFileNameExt, mdFileNameOnly, mdCustom };

// One item the list put into a menu: an entry (MRUIndex from 1), or the
// separator, submenu or a command item (MRUIndex 0).
class TMRUMenuItem : public TMenuItem {
public:
    TMRUMenuItem(TMRUFileList* List, int Index, const std::string& File, const std::string& Full);
    ~TMRUMenuItem() override;
    const std::string& FullCaption() const { return fullCaption_; }
    TMRUFileList* List() const { return list_; }
    int MRUIndex() const { return index_; }
    // The file this entry was made for: a click opens this one even when
    // the list changed since the menu was built.
    const std::string& FileName() const { return file_; }

private:
    friend class TMRUFileList;
    TMRUFileList* list_;
    int index_;
    std::string file_;
    std::string fullCaption_;
};

using TMRUClickEvent = std::function<void(TObject* Sender, const std::string& AFilename)>;
using TMRURemoveObsoleteEvent = std::function<void(TObject* Sender, const std::string& AnItem, bool& Remove)>;
using TMRUDisplayNameEvent =
    std::function<void(TObject* Sender, const std::string& AFilename, std::string& ADisplayName)>;
using TMRUItemEvent = std::function<void(TObject* Sender, TMRUMenuItem* Item)>;

class TMRUFileList : public TComponent {
public:
    explicit TMRUFileList(TComponent* AOwner);
    ~TMRUFileList() override;

    // ---- the list ----
    void AddItem(const std::string& FileName);
    virtual void Clear();
    virtual void RemoveObsolete();
    void Load();
    void Save();
    const std::vector<std::string>& Items() const { return items_; }
    // While updates are suspended AddItem leaves the menus alone.
    void BeginUpdate() { ++updating_; }
    void EndUpdate();

    // ---- properties ----
    bool UseRegistry() const { return useRegistry_; }
    void SetUseRegistry(bool v) { useRegistry_ = v; }
    std::string Version() const { return "TMRUFileList v2.60"; }
    void SetVersion(const std::string&) {}
    bool AddToTop() const { return addToTop_; }
    void SetAddToTop(bool v) { addToTop_ = v; }
    int Maximum() const { return maximum_; }
    void SetMaximum(uint8_t v);
    bool RemoveOnClick() const { return removeOnClick_; }
    void SetRemoveOnClick(bool v) { removeOnClick_ = v; }
    bool UseSubmenu() const { return useSubmenu_; }
    void SetUseSubmenu(bool v);
    bool InsertSeparator() const { return insertSeparator_; }
    void SetInsertSeparator(bool v);
    const std::string& SubmenuName() const { return submenuName_; }
    void SetSubmenuName(const std::string& v);
    const std::string& ClearItemName() const { return clearItemName_; }
    void SetClearItemName(const std::string& v) { clearItemName_ = v; }
    bool ShowClearItem() const { return showClearItem_; }
    void SetShowClearItem(bool v) { showClearItem_ = v; }
    bool ShowRemoveObsolete() const { return showRemoveObsolete_; }
    void SetShowRemoveObsolete(bool v) { showRemoveObsolete_ = v; }
    const std::string& RemoveObsoleteName() const { return removeObsoleteName_; }
    void SetRemoveObsoleteName(const std::string& v) { removeObsoleteName_ = v; }
    TMenuItem* FileMenu() const { return fileMenu_; }
    void SetFileMenu(TMenuItem* v);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* v);
    bool AutoSave() const { return autoSave_; }
    void SetAutoSave(bool v) { autoSave_ = v; }
    const std::string& AutoSaveName() const { return autoSaveName_; }
    void SetAutoSaveName(const std::string& v);
    const std::string& AutoSaveKey() const { return autoSaveKey_; }
    void SetAutoSaveKey(const std::string& v);
    TRootKey AutoSaveRootKey() const { return rootKey_; }
    void SetAutoSaveRootKey(TRootKey v);
    int MaxCaptionWidth() const { return maxCaptionWidth_; }
    void SetMaxCaptionWidth(int v);
    TMRUDisplay MRUDisplay() const { return display_; }
    void SetMRUDisplay(TMRUDisplay v);

    TMRUClickEvent OnMRUItemClick;
    TMRURemoveObsoleteEvent OnRemoveObsolete;
    TMRUDisplayNameEvent OnGetDisplayName;
    TMRUItemEvent OnCreateMRUItem;
    TMRUItemEvent OnDestroyMRUItem;

    // ---- what the menus are made of ----
    virtual void RebuildMenu();
    virtual void DoGetDisplayName(const std::string& AFilename, std::string& ADisplayName);
    virtual void DoRemoveObsolete(const std::string& AnItem, bool& Remove);
    virtual void DoMRUItemClick(const std::string& AFilename);
    virtual void DoCreateMRUItem(TMRUMenuItem* Item);
    virtual void DoDestroyMRUItem(TMRUMenuItem* Item);
    // What an entry's item does when clicked.
    void MRUItemClick(TMRUMenuItem* Item);

    // The caption an entry numbered N gets for File by the display mode.
    std::string EntryCaption(int N, const std::string& File);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void RemoveMenuItems();
    void RemoveFrom(TMenuItem* Parent);
    TMRUMenuItem* NewItem(int Index, const std::string& File, const std::string& Full);
    void StorageChanged();
    HKEY RootHandle() const;
    std::string KeyPath() const;
    // A rebuild asked for while an entry's click runs happens once the
    // click is over: the clicked item may not go inside its own handler.
    void RequestRebuild();
    void PostedRebuild();
    // Ends a click; a rebuild asked for during it is posted now.
    void ClickDone();

    std::vector<std::string> items_;
    int updating_ = 0;
    bool useRegistry_ = true, addToTop_ = true, removeOnClick_ = true, useSubmenu_ = false,
         insertSeparator_ = true, showClearItem_ = true, showRemoveObsolete_ = true, autoSave_ = true;
    uint8_t maximum_ = 5;
    std::string submenuName_, clearItemName_, removeObsoleteName_,
        autoSaveName_ = "\\Software\\My Application", autoSaveKey_ = "MRU Items";
    TMenuItem* fileMenu_ = nullptr;
    TPopupMenu* popupMenu_ = nullptr;
    TRootKey rootKey_ = rkCurrentUser;
    int maxCaptionWidth_ = 200;
    TMRUDisplay display_ = mdFullPath;
    int clicking_ = 0;
    bool rebuildPosted_ = false;
    bool rebuildPending_ = false;
    HWND window_ = nullptr;
};

// Path shortened to fit MaxWidth pixels as Measure counts them: folders
// from the start of the path give way to "...", then the drive, until the
// rest fits; the file name itself is never cut.
std::string MinimizeName(const std::string& FileName, int MaxWidth,
                         const std::function<int(const std::string&)>& Measure);
// Width of a text in the system's menu font.
int MenuTextWidth(const std::string& Text);
// Doubles every "&" so a menu shows it rather than underlining the next
// character.
std::string EscapeAmpersands(const std::string& Text);

}  // namespace bramble
