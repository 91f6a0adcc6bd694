// The Options dialog: the program's settings on five pages (general,
// folders, toolbar, view, associations). It lives from start-up to the end;
// its edits and radio buttons hold the viewer, start-up folder and
// temporary folder the rest of the program reads, and each show refreshes
// the other pages from the registry, the shell folders and the main
// window.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "kits/controls/comboedit.h"
#include "kits/menu/popupmenu.h"
#include "kits/toolbar/button.h"
#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"

namespace bramble {

// The archive extensions the dialog associates, in the order of all
// per-extension work.
inline constexpr int OptionsExtCount = 16;
inline constexpr std::array<const char*, OptionsExtCount> OptionsExtensions = {
    "zip", "cab", "zoo", "arj", "lha", "lzh", "rar", "arc", "tar", "gz", "enc", "uue", "xxe", "z", "ace", "jar"};

// Default widths that a column hidden by the dialog gets back when it is
// shown again (columns 1 to 11 of the entry list).
inline constexpr std::array<int, 11> OptionsColumnDefaults = {70, 70, 38, 90, 70, 58, 100, 50, 40, 200, 150};

// Where the dialog goes: 18 pixels right of and below the main window, kept
// clear of a taskbar docked on any edge (Taskbar null: there is none) and
// on the screen.
TPoint PlaceOptionsRect(int MainLeft, int MainTop, int DialogWidth, int DialogHeight, int ScreenWidth,
                        int ScreenHeight, const TRect* Taskbar);

// The user's "Desktop" or "Start Menu" folder as the shell records it
// under the current user's Explorer "Shell Folders" key; empty when the
// value is missing or empty.
std::string ShellFolder(const std::string& Name);

class TfrmOptions : public TForm {
public:
    explicit TfrmOptions(TComponent* AOwner);
    ~TfrmOptions() override;

    TPageControl* PageControl1;
    TTabSheet *General, *Folders, *ToolBarTab, *ViewTab, *AssociateTab;
    // General
    TCheckBox *ShellExt, *InclStart, *InclDesk, *OnTop;
    TLabel* lblViewer;
    TFilenameEdit* ViewProgram;
    // Folders
    TRadioButton *RadioDefault, *RadioLastOpen, *RadioOther;
    TDirectoryEdit* StartupFolder;
    TDirectoryEdit* tmpDir;
    // ToolBar
    TCheckBox *Flat, *Tooltips, *Text;
    // View: Name, then columns 1 to 11 in order.
    TCheckBox *Name, *Size, *ChkPacked, *Ratio, *Folder, *Modified, *Method, *FileType, *Offset, *Encrypted,
        *VolumeID, *Comment;
    TCheckBox *FullRowSelect, *Showgrid;
    // Associate: one box and one icon button per extension, in the order of
    // OptionsExtensions.
    std::array<TCheckBox*, OptionsExtCount> CheckBoxes{};
    std::array<TToolbarButton97*, OptionsExtCount> ToolbarButtons{};
    TButton *ToolbarButtonAll, *ToolbarButtonNone;
    TImage *Image1, *Image2;
    // The form's own
    TButton *bttnOk, *bttnCancel, *bttnHelp;
    TCheckBox* HasChanged;
    TPopupMenu2000* PopupMenu20001;

    // The eleven column boxes, column 1 first.
    std::array<TCheckBox*, 11> ColumnBoxes() const;
    // The box and button of an extension ("zip" or "ZIP"); null when none.
    TCheckBox* CheckBoxOf(const std::string& Ext) const;
    TToolbarButton97* ToolbarButtonOf(const std::string& Ext) const;
    // The upper-case extension whose button was pressed last.
    const std::string& IconTargetExt() const { return iconTargetExt_; }

    void FormShow(TObject* Sender);
    void bttnOkClick(TObject* Sender);
    void bttnCancelClick(TObject* Sender);
    void bttnHelpClick(TObject* Sender);
    void MyPopupHandler(TObject* Sender);
    void ToolbarButtonClick(int Index);
    void ToolbarButtonAllClick(TObject* Sender);
    void ToolbarButtonNoneClick(TObject* Sender);
    // The icon file each item of the icon menu stands for, by the item's
    // Tag.
    const std::vector<std::string>& IconFiles() const { return iconFiles_; }

private:
    void BuildGeneral();
    void BuildFolders();
    void BuildToolbarPage();
    void BuildView();
    void BuildAssociate();
    void Changed() { HasChanged->SetChecked(true); }
    void CheckBoxClick(int Index);
    // Loads the icon into Image1 and its 16-by-16 picture into Image2; a
    // file that does not load gives a blank picture. False then.
    bool LoadIconPicture(const std::string& IconFile);
    // Gives the button Image2's picture with its drop-down arrow.
    void SetButtonGlyph(TToolbarButton97* Button);
    std::string iconTargetExt_;
    std::vector<std::string> iconFiles_;
};

extern TfrmOptions* frmOptions;

}  // namespace bramble
