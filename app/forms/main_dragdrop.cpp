// Drag and drop on the main window: archives dropped on it open, files
// dropped on the list are for Add, and entries dragged out of the list are
// extracted at the moment of the drop for the shell to copy.
#include <windows.h>

#include "app/forms/main_private.h"
#include "app/widgets/dragdrop.h"

namespace bramble {

void TfrmMain::DragFilesTrg1Drop(TObject*) {
    BringToFront();
    if (DragFilesTrg1->FileCount() < 1) return;
    // Something that is not an archive leaves the one open before as the
    // lister's file, also when the look at it ended in an error.
    struct Restore {
        TfrmMain& f;
        std::string before;
        ~Restore() {
            if (!IsValidArcType(f.Dovex1->ArcType())) f.Dovex1->SetArchiveFile(before);
        }
    } restore{*this, Dovex1->ArchiveFile()};
    OpenArchive(DragFilesTrg1->Files().front());
}

void TfrmMain::DragFilesTrg2Drop(TObject*) {
    BringToFront();
    if (DragFilesTrg2->FileCount() < 1 || !mnuAddFiles1->Enabled()) return;
    // Add starts with the dropped files, each by its own full path.
    const std::vector<std::string> files = DragFilesTrg2->Files();
    TSwapGuard<bool> dropped(FilesDropped, true);
    AddFiles(files);
}

void TfrmMain::DragFilesSrc1Dropping(TObject*) {
    // Into TempFolder, flat: the names handed to the shell are TempFolder +
    // name. A file already there may be one the user keeps: ask first.
    ExtractFiles(TempFolder, "", "", 1, 0, false);
}

void TfrmMain::ListView1MouseMove(TObject*, TShiftState Shift, int X, int Y) {
    if (!Shift.contains(ssLeft) || DragStartPoint.X < 0 || Busy()) return;
    if (std::abs(X - DragStartPoint.X) < 1 && std::abs(Y - DragStartPoint.Y) < 1) return;
    if (ListView1->SelCount() < 1) return;
    DragStartPoint.X = -1;
    DragFilesTrg1->SetEnabled(false);
    DragFilesTrg2->SetEnabled(false);
    DragFilesSrc1->ClearFiles();
    for (const TShellItem* it : Entries->SelectedItems()) DragFilesSrc1->AddFile(TempFolder + it->Name);
    int result = 0;
    Command([&] {
        struct Reenable {
            TDragFilesTrg* t;
            ~Reenable() { t->SetEnabled(true); }
        } again{DragFilesTrg1};
        result = DragFilesSrc1->Execute();
    });
    if (result == 0) MessageDlg("Something went wrong!", mtError, {mbOK});
}

}  // namespace bramble
