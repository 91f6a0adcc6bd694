// The self-extractor's window: which folder the files go to (the current
// one unless changed), then the run's progress and its outcome.
#pragma once

#include <string>

#include "sfx/selfextract.h"
#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

class TfrmSfx : public TForm {
public:
    TfrmSfx(TComponent* AOwner);

    // Must be set before the window is shown.
    void SetExtractor(TSelfExtract* Extractor);
    void SetFolder(const std::string& Folder) { edtFolder->SetText(Folder); }

    TLabel* lblPrompt;
    TEdit* edtFolder;
    TProgressBar* ProgressBar1;
    TButton* btnExtract;
    TButton* btnCancel;

private:
    void btnExtractClick(TObject* Sender);
    void btnCancelClick(TObject* Sender);
    TSelfExtract* extractor_ = nullptr;
    bool running_ = false;
};

extern TfrmSfx* frmSfx;

}  // namespace bramble
