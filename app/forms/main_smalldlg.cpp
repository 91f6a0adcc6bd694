// The main window's small dialogs (About, an entry's Properties, UUEncode)
// and the recent-files list's click.
#include <windows.h>

#include "app/forms/about.h"
#include "app/forms/main_private.h"
#include "app/forms/properties.h"
#include "app/forms/uuencodedlg.h"
#include "engine/writers/uuencode.h"

namespace bramble {

void TfrmMain::About1Click(TObject*) {
    if (!frmAbout) return;
    PlaceDialog(frmAbout, this);
    frmAbout->ShowModal();
}

void TfrmMain::Properties1Click(TObject*) {
    if (!frmProperties) return;
    PlaceDialog(frmProperties, this);
    frmProperties->ShowModal();
}

void TfrmMain::mnuUUEncode1Click(TObject*) {
    if (!frmUUEncode) return;
    frmUUEncode->Encoder = UUEncode1;
    PlaceDialog(frmUUEncode, this);
    frmUUEncode->ShowModal();
}

void TfrmMain::MRUFileList1MRUItemClick(TObject*, const std::string& AFilename) {
    if (AFilename.empty()) return;
    if (!os::FileExists(AFilename)) {
        ShowMessage(AFilename + " does not exist anymore.");
        return;
    }
    OpenArchive(AFilename);
}

}  // namespace bramble
