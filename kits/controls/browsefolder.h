// The shell's folder browser as a component: centred, opened at a folder,
// OK only on existing folders, an optional help button.
#pragma once

#include <windows.h>

#include <string>

#include "ui/component.h"
#include "ui/control.h"

namespace bramble {

enum TBrowseKind : uint8_t { bfFolders, bfComputers };
enum TDialogPosition : uint8_t { dpDefault, dpScreenCenter };

// The identifier of the help button added to the browser.
inline constexpr int idBrowseHelp = 0xFFFF;

class TBrowseFolderDlg : public TComponent {
public:
    explicit TBrowseFolderDlg(TComponent* AOwner = nullptr);
    ~TBrowseFolderDlg() override;

    // Runs the browser; true when an item was chosen (FolderName then holds
    // it). Cancel leaves FolderName as it was.
    bool Execute();

    TBrowseKind BrowseKind() const { return browse_kind_; }
    void SetBrowseKind(TBrowseKind v) { browse_kind_ = v; }
    bool DesktopRoot() const { return desktop_root_; }
    void SetDesktopRoot(bool v) { desktop_root_ = v; }
    const std::string& DialogText() const { return dialog_text_; }
    void SetDialogText(const std::string& v) { dialog_text_ = v; }
    const std::string& FolderName() const { return folder_name_; }
    void SetFolderName(const std::string& v) { folder_name_ = v; }
    int HelpContext() const { return help_context_; }
    void SetHelpContext(int v) { help_context_ = v; }
    TDialogPosition Position() const { return position_; }
    void SetPosition(TDialogPosition v) { position_ = v; }

    // The browser's window while it is open.
    HWND Handle() const { return handle_; }
    // The image index of the chosen item.
    int ImageIndex() const { return image_index_; }

    TNotifyEvent OnInitialized;
    TNotifyEvent OnSelChanged;

protected:
    // The subclassed browser's messages: the help button's click and the
    // window's end; everything else goes on to the browser.
    virtual void WndProc(TMessage& Message);

private:
    static int CALLBACK BrowseCallback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data);
    static LRESULT CALLBACK SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
    void Initialized(HWND Wnd);
    void SelChanged(LPARAM Item);
    void AddHelpButton();
    void Unhook();

    TBrowseKind browse_kind_ = bfFolders;
    bool desktop_root_ = true;
    std::string dialog_text_;
    std::string folder_name_;
    std::string start_folder_;  // given back on Cancel
    int help_context_ = 0;
    TDialogPosition position_ = dpScreenCenter;
    HWND handle_ = nullptr;
    WNDPROC old_proc_ = nullptr;
    char display_name_[MAX_PATH] = {};
    int image_index_ = -1;
};

// One call: the browser opened at Folder, with DialogText above the tree;
// on OK Folder becomes the choice.
bool BrowseForDirectory(std::string& Folder, const std::string& DialogText, int HelpContext);

}  // namespace bramble
