// The small dialog that builds a new folder's name under the folder the
// Extract dialog shows; the folder itself is made when extracting.
#pragma once

#include <string>

#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

// The folder that Name gives under Current: a name holding ":" is a full
// path already; a current folder ending in "\" takes the name directly,
// any other gets a "\" between. Empty when it cannot be built: an empty or
// blank name, or a name other than a full path under an empty or relative
// current folder.
std::string NewFolderPath(const std::string& Current, const std::string& Name);

class TfrmNewFolder : public TForm {
public:
    explicit TfrmNewFolder(TComponent* AOwner);
    ~TfrmNewFolder() override;

    TLabel* Label1;            // "Current folder: "
    TLabel* CurrentFolderLbl;
    TLabel* Label2;            // "Name:"
    TEdit* Edit1;
    TLabel* Label3;            // the tip
    TButton* Button1;          // Ok
    TButton* Button2;          // Cancel
    TButton* Button3;          // Help

    void FormActivate(TObject* Sender);
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);
    void Button3Click(TObject* Sender);
};

extern TfrmNewFolder* frmNewFolder;

// Makes the Extract and New folder dialogs when the program has not yet
// (the main window's tests make the window alone).
void EnsureExtractDialogs();

}  // namespace bramble
