#include "app/forms/about.h"

namespace bramble {

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmAbout");
    SetCaption("About Bramble");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(300, 150);
    Font().SetName("MS Sans Serif");

    imgIcon = new TImage(this);
    imgIcon->SetName("imgIcon");
    imgIcon->SetParent(this);
    imgIcon->SetBounds(16, 16, 32, 32);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    if (!icon) icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    imgIcon->Icon().SetHandle(CopyIcon(icon));

    lblName = new TLabel(this);
    lblName->SetName("lblName");
    lblName->SetParent(this);
    lblName->SetBounds(64, 16, 220, 20);
    lblName->Font().SetStyle({fsBold});
    lblName->Font().SetSize(10);
    lblName->SetCaption("Bramble");

    lblVersion = new TLabel(this);
    lblVersion->SetName("lblVersion");
    lblVersion->SetParent(this);
    lblVersion->SetBounds(64, 40, 220, 16);
    lblVersion->SetCaption(std::string("Version ") + kBrambleVersion);

    lblCopyright = new TLabel(this);
    lblCopyright->SetName("lblCopyright");
    lblCopyright->SetParent(this);
    lblCopyright->SetBounds(64, 58, 220, 16);
    lblCopyright->SetCaption("Archive manager by Quillmar");

    lblLink = new TLinkLabel(this);
    lblLink->SetName("lblLink");
    lblLink->SetParent(this);
    lblLink->SetBounds(64, 80, 220, 16);
    lblLink->SetShowAccelChar(false);
    lblLink->SetCaption(kBrambleHomePage);
    lblLink->SetLinkTo(kBrambleHomePage);

    bttnOk = new TButton(this);
    bttnOk->SetName("bttnOk");
    bttnOk->SetParent(this);
    bttnOk->SetBounds(112, 112, 75, 25);
    bttnOk->SetCaption("OK");
    bttnOk->SetDefault(true);
    bttnOk->SetCancel(true);
    bttnOk->OnClick = [this](TObject* s) { bttnOkClick(s); };
    SetActiveControl(bttnOk);
}

void TfrmAbout::bttnOkClick(TObject*) { SetModalResult(mrOk); }

}  // namespace bramble
