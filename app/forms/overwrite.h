// The question asked when an extracted file would replace one that exists:
// "&Yes" overwrites it, "&No" keeps it, Escape cancels the whole run, and
// "Don't ask again" answers every later file of the run the same way.
#pragma once

#include <string>

#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

class TfrmOverwrite : public TForm {
public:
    explicit TfrmOverwrite(TComponent* AOwner);

    // Shows the file in question (shortened to fit when long).
    void SetFileName(const std::string& FN);
    bool DontAskAgain() const { return chkDontAsk->Checked(); }

    TImage* imgQuestion;
    TLabel* Label1;        // the question
    TLabel* lblFileName;   // the file
    TButton* btnYes;
    TButton* btnNo;
    TCheckBox* chkDontAsk;

private:
    void FormShow(TObject* Sender);
    void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
};

extern TfrmOverwrite* frmOverwrite;

}  // namespace bramble
