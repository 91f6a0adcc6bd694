#include "sfx/sfxform.h"

#include "engine/core/helpers.h"
#include "ui/dialogs.h"

namespace bramble {

TfrmSfx* frmSfx = nullptr;

TfrmSfx::TfrmSfx(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmSfx");
    SetCaption("Bramble Self-Extractor");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poScreenCenter);
    SetClientSize(420, 122);
    Font().SetName("MS Sans Serif");

    lblPrompt = new TLabel(this);
    lblPrompt->SetName("lblPrompt");
    lblPrompt->SetParent(this);
    lblPrompt->SetBounds(12, 12, 396, 16);
    lblPrompt->SetCaption("&Extract the files to this folder:");

    edtFolder = new TEdit(this);
    edtFolder->SetName("edtFolder");
    edtFolder->SetParent(this);
    edtFolder->SetBounds(12, 32, 396, 21);
    edtFolder->SetTabOrder(0);
    lblPrompt->SetFocusControl(edtFolder);

    ProgressBar1 = new TProgressBar(this);
    ProgressBar1->SetName("ProgressBar1");
    ProgressBar1->SetParent(this);
    ProgressBar1->SetBounds(12, 62, 396, 14);
    ProgressBar1->SetMax(100);
    ProgressBar1->SetVisible(false);

    btnExtract = new TButton(this);
    btnExtract->SetName("btnExtract");
    btnExtract->SetParent(this);
    btnExtract->SetBounds(242, 86, 80, 25);
    btnExtract->SetCaption("E&xtract");
    btnExtract->SetDefault(true);
    btnExtract->SetTabOrder(1);
    btnExtract->OnClick = [this](TObject* s) { btnExtractClick(s); };

    btnCancel = new TButton(this);
    btnCancel->SetName("btnCancel");
    btnCancel->SetParent(this);
    btnCancel->SetBounds(328, 86, 80, 25);
    btnCancel->SetCaption("Cancel");
    btnCancel->SetCancel(true);
    btnCancel->SetTabOrder(2);
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };

    SetActiveControl(edtFolder);
}

void TfrmSfx::SetExtractor(TSelfExtract* Extractor) {
    extractor_ = Extractor;
    extractor_->OnOverwrite = [](const std::string& FN) {
        const int r = MessageDlg(FN + "\r\rThis file already exists. Overwrite it?", mtConfirmation, mbYesNoCancel);
        return r == mrYes ? TOverwriteAnswer::Yes : r == mrNo ? TOverwriteAnswer::No : TOverwriteAnswer::Cancel;
    };
    extractor_->OnProgress = [this](int Percent) {
        ProgressBar1->SetPosition(Percent);
        Application->ProcessMessages();
    };
}

void TfrmSfx::btnExtractClick(TObject*) {
    if (running_ || !extractor_) return;
    std::string folder = edtFolder->Text();
    while (!folder.empty() && folder.back() == ' ') folder.pop_back();
    if (folder.empty()) {
        ShowMessage("Please name the folder to extract the files to.");
        return;
    }
    running_ = true;
    edtFolder->SetEnabled(false);
    btnExtract->SetEnabled(false);
    btnCancel->SetEnabled(false);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(true);
    Screen->SetCursor(crHourGlass);
    const TSelfExtract::Result r = extractor_->Extract(folder);
    Screen->SetCursor(crDefault);
    running_ = false;

    std::string text = std::to_string(r.Extracted) + (r.Extracted == 1 ? " file" : " files") +
                       " extracted to " + folder + ".";
    if (r.Cancelled) text += "\rThe extraction was cancelled.";
    for (const std::string& e : r.Errors) text += "\r" + e;
    Application->MessageBox(text, Caption(),
                            MB_OK | (r.Errors.empty() ? MB_ICONINFORMATION : MB_ICONERROR));
    Close();
}

void TfrmSfx::btnCancelClick(TObject*) {
    if (!running_) Close();
}

}  // namespace bramble
