// The window layer's own folder form: a folder name, the folders in it
// and the drives, for programs that choose a folder without the shell's
// browser. It can let a folder that does not exist yet be named, and make
// it.
#pragma once

#include <string>

#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

// sdAllowCreate: a folder that does not exist may be chosen;
// sdPerformCreate: such a folder is made on OK; sdPrompt: the user is asked
// first.
enum TSelectDirOpt : uint8_t { sdAllowCreate, sdPerformCreate, sdPrompt };
using TSelectDirOpts = TSet<TSelectDirOpt>;

inline constexpr const char* SSelectDirCap = "Select Directory";
inline constexpr const char* SConfirmCreateDir = "The specified directory does not exist. Create it?";

class TSelectDirForm : public TForm {
public:
    TSelectDirForm(TSelectDirOpts Options, int HelpCtx);

    // The folder named in the edit, as typed.
    std::string Directory() const { return edit_->Text(); }
    // Shows Path and lists the folders in it.
    void SetDirectory(const std::string& Path);
    // Opens the listed folder Name ("..": the one above).
    void Open(const std::string& Name);
    TEdit& NameEdit() { return *edit_; }
    TComboBox& Folders() { return *folders_; }
    TComboBox& Drives() { return *drives_; }
    // The OK button's work: ModalResult becomes mrOk when the named folder
    // may be taken (made first when the options say so); otherwise the
    // form stays.
    void TryAccept();

private:
    void FillFolders();
    TSelectDirOpts options_;
    TEdit* edit_;
    TComboBox* folders_;
    TComboBox* drives_;
    std::string shown_;  // the folder the list holds
};

// Runs the folder form from Directory; on OK Directory becomes the chosen
// folder (without a trailing "\" unless it is a drive's root).
bool SelectDirectory(std::string& Directory, TSelectDirOpts Options, int HelpCtx);

}  // namespace bramble
