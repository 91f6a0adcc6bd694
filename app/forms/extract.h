// The Extract dialog: where to extract (typed, one of the ten recent
// folders, or picked in the shell's folder tree), which entries, whether
// existing files are replaced without asking, and whether stored folders
// are restored. The Extract command reads its answers after OK.
#pragma once

#include <string>
#include <vector>

#include "app/widgets/systree.h"
#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

// The recent folders with Folder put first: unique as written (case and a
// trailing "\" count), ten at most, newest first. An empty folder changes
// nothing.
void AddRecentFolder(std::vector<std::string>& List, const std::string& Folder);
// Writes the list as "H0", "H1", ... and removes values past its end.
void WriteMRUExtract(const std::vector<std::string>& List);
// The stored "Restore original folders" answer, Default when none.
bool ReadRestoreFolders(bool Default);
void WriteRestoreFolders(bool Value);

class TfrmExtract : public TForm {
public:
    explicit TfrmExtract(TComponent* AOwner);
    ~TfrmExtract() override;

    TLabel* Label2;
    TComboBox* ExtractToCmb;
    TButton* SetTreeBttn;
    TLabel* Label1;
    TSystemTreeView* SystemTreeView1;
    TRadioGroup* RadioGroup2;  // Files: 0 overwrite, 1 confirm
    TRadioGroup* RadioGroup1;  // Extract: 0 selected, 1 all
    TCheckBox* CheckBox1;      // restore original folders
    TButton* ExtractBtn;
    TButton* CancelBtn;
    TButton* HelpBtn;
    TButton* NewFolderBttn;

    // The main window's entry list, whose selection decides between
    // selected and all entries (none: all).
    TListView* EntryList = nullptr;
    // Where a relative folder typed into the combo is taken from (the
    // archive's folder); without one a relative folder is refused.
    std::string BaseFolder;

    void FormCreate(TObject* Sender);
    // Refreshes the dialog from the stored state; runs every time it shows.
    void FormActivate(TObject* Sender);
    void RadioGroup1Click(TObject* Sender);
    void SystemTreeView1Change(TObject* Sender, TTreeNode* Node);
    void SetTreeBttnClick(TObject* Sender);
    void NewFolderBttnClick(TObject* Sender);
    void ExtractBtnClick(TObject* Sender);
    void CancelBtnClick(TObject* Sender);
    void HelpBtnClick(TObject* Sender);
    void AddToList(const std::string& Folder);

    // The target folder with relative paths made full; empty when it
    // cannot be (relative without a base folder).
    std::string TargetFolder() const;

private:
    int SelectedCount() const;
};

extern TfrmExtract* frmExtract;

}  // namespace bramble
