// The Add dialog: the user picks files in a folder and says how they go
// into the archive (method, stored folder names, add or move, attribute
// filter, password). It chooses the writer and leaves the answers in it;
// the main window's command runs the writer after OK.
#pragma once

#include <string>
#include <vector>

#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

class TCompBase;
class TfrmMain;
class TFileList;
class TPathComboBox;
class TVqSpeedButton;
class TListItem;

class TfrmAddFiles : public TForm {
public:
    explicit TfrmAddFiles(TComponent* AOwner);
    ~TfrmAddFiles() override;

    TLabel* Label1;  // "Add from:"
    TPathComboBox* PathComboBox1;
    TVqSpeedButton *sbUpLevel, *sbListView, *sbReportView;
    TFileList* FileList1;
    TLabel* Label2;  // "File name:"
    TEdit* edtFileSpec;
    TButton *bttnAdd, *BttnCancel, *BttnHelp, *btnAddDir, *btnPassword;
    TLabel* Label3;  // "Compression:"
    TComboBox* ComboBox1;
    TLabel* Label4;  // "Folders:"
    TComboBox* ComboBox2;
    TRadioGroup* rgSwitch;
    TGroupBox* GroupBox1;  // "A&ttribute (File type)"
    TCheckBox *ckbArchive, *ckbReadOnly, *ckbHidden, *ckbSysFile, *ckbVolumeID;

    // The writer the dialog chose; its settings are the dialog's answer.
    TCompBase* CompressComponent = nullptr;

    // Readies the dialog for one showing, before it is shown. NewArchive:
    // the writer goes by ArchiveName's extension and starts with an empty
    // FileSpec; otherwise by the open archive's kind. Dropped: full paths
    // of files dropped on the main window, which the dialog starts with.
    void Prepare(TfrmMain& Main, bool NewArchive, const std::string& ArchiveName,
                 const std::vector<std::string>& Dropped = {});
    // Runs on every activation of the dialog (and from Prepare): list and
    // writer refreshed from the live state; the folder and the file-name
    // box only on the first activation of a showing.
    void FormActivate(TObject* Sender);

    void DefineCompressorClick(int Kind);
    void InitializeNewCompressComponent();
    void SetSkipFilesState();
    void SetCompressMethodState();

    void btnOKClick(TObject* Sender);
    void btnAddDirClick(TObject* Sender);
    void btnPasswordClick(TObject* Sender);
    void rgSwitchClick(TObject* Sender);
    void ComboBox1Change(TObject* Sender);
    void ComboBox2Change(TObject* Sender);
    void ckbArchiveClick(TObject* Sender);
    void ckbReadOnlyClick(TObject* Sender);
    void ckbHiddenClick(TObject* Sender);
    void ckbSysFileClick(TObject* Sender);
    void ckbVolumeIDClick(TObject* Sender);
    void edtFileSpecEnter(TObject* Sender);
    void PathComboBox1Change(TObject* Sender);
    void sbUpLevelClick(TObject* Sender);
    void sbListViewClick(TObject* Sender);
    void sbReportViewClick(TObject* Sender);
    void FileList1Click(TObject* Sender);
    void FileList1DblClick(TObject* Sender);
    void FileList1KeyPress(TObject* Sender, char& Key);
    void BttnHelpClick(TObject* Sender);

    // The folder the dialog shows ("" for the drives).
    std::string Folder() const;

protected:
    void WndProc(TMessage& Message) override;

private:
    TCompBase* WriterOfKind(int Kind) const;
    // Selected items in list order, and their real file names.
    std::vector<TListItem*> SelectedItems() const;
    // Enters a folder item of the list (a drive in the drives list).
    void EnterItem(TListItem* Item);
    // FileSpec lines for the names in the file-name box; false (nothing
    // added) when a name has no folder to go with.
    bool AddNames(const std::string& Folder);
    void ExcludeArchive();
    // The one folder selected in the list, "" when there is none.
    std::string SelectedFolder() const;
    // A typed name that is a folder: the list goes there. False when the
    // box holds something else.
    bool OpenTypedFolder();

    TfrmMain* main_ = nullptr;
    bool newArchive_ = false;
    std::string archiveName_;
    bool filesDropped_ = false;
    // Set when the dialog is about to be shown; the first activation then
    // sets up the folder and the file-name box.
    bool newShowing_ = false;
};

extern TfrmAddFiles* frmAddFiles;
// The program makes the dialog at start-up with the other forms; this
// makes it where that has not happened (a test's own main window).
void EnsureAddDialog();

}  // namespace bramble
