// The Extract command: the Extract dialog asks where and how, then the
// chosen entries are extracted there.
#include "app/forms/extract.h"
#include "app/forms/main_private.h"
#include "app/forms/newfolder.h"
#include "engine/core/diskmanager.h"

namespace bramble {

void TfrmMain::mnuExtract1Click(TObject*) {
    if (Dovex1->ArchiveFile().empty()) {
        ShowMessage("You must open an archive before you can extract files");
        return;
    }
    // Once a run: the archive may sit on a disk that has since left the
    // drive.
    if (!driveChecked_) {
        if (!CheckDriveReady(ExtractFileDir(Dovex1->ArchiveFile()))) return;
        driveChecked_ = true;
    }
    EnsureExtractDialogs();
    frmExtract->EntryList = ListView1;
    frmExtract->BaseFolder = ExtractFileDir(Dovex1->ArchiveFile());
    PlaceDialog(frmExtract, this);
    if (frmExtract->ShowModal() != mrOk) return;
    const std::string target = frmExtract->ExtractToCmb->Text();
    ExtractFiles(target, "", "", frmExtract->RadioGroup2->ItemIndex(), frmExtract->RadioGroup1->ItemIndex(),
                 frmExtract->CheckBox1->Checked());
}

}  // namespace bramble
