#include "app/forms/overwrite.h"

namespace bramble {

TfrmOverwrite* frmOverwrite = nullptr;

TfrmOverwrite::TfrmOverwrite(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmOverwrite");
    SetCaption("Confirm file overwrite...");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poMainFormCenter);
    SetClientSize(400, 132);
    Font().SetName("MS Sans Serif");
    SetKeyPreview(true);

    imgQuestion = new TImage(this);
    imgQuestion->SetName("imgQuestion");
    imgQuestion->SetParent(this);
    imgQuestion->SetBounds(14, 14, 32, 32);
    imgQuestion->Icon().SetHandle(CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION))));

    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetBounds(60, 14, 320, 16);
    Label1->SetCaption("This file already exists. Overwrite it?");

    lblFileName = new TLabel(this);
    lblFileName->SetName("lblFileName");
    lblFileName->SetParent(this);
    lblFileName->SetAutoSize(false);
    lblFileName->SetShowAccelChar(false);
    lblFileName->SetBounds(60, 36, 328, 32);
    lblFileName->SetWordWrap(true);
    lblFileName->Font().SetStyle({fsBold});

    chkDontAsk = new TCheckBox(this);
    chkDontAsk->SetName("chkDontAsk");
    chkDontAsk->SetParent(this);
    chkDontAsk->SetBounds(14, 100, 170, 17);
    chkDontAsk->SetCaption("Don't ask again");
    chkDontAsk->SetTabOrder(2);

    btnYes = new TButton(this);
    btnYes->SetName("btnYes");
    btnYes->SetParent(this);
    btnYes->SetBounds(222, 96, 80, 25);
    btnYes->SetCaption("&Yes");
    btnYes->SetModalResult(mrYes);
    btnYes->SetTabOrder(1);

    btnNo = new TButton(this);
    btnNo->SetName("btnNo");
    btnNo->SetParent(this);
    btnNo->SetBounds(308, 96, 80, 25);
    btnNo->SetCaption("&No");
    btnNo->SetModalResult(mrNo);
    btnNo->SetDefault(true);
    btnNo->SetTabOrder(0);

    SetActiveControl(btnNo);
    OnShow = [this](TObject* s) { FormShow(s); };
    OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TfrmOverwrite::SetFileName(const std::string& FN) { lblFileName->SetCaption(FN); }

void TfrmOverwrite::FormShow(TObject*) {
    // Keeping the file is the answer a stray Enter should give.
    if (btnNo->CanFocus()) btnNo->SetFocus();
}

void TfrmOverwrite::FormKeyDown(TObject*, WORD& Key, TShiftState) {
    // Escape is neither answer: it stops the run.
    if (Key == VK_ESCAPE) {
        Key = 0;
        SetModalResult(mrCancel);
    }
}

}  // namespace bramble
