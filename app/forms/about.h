// The About box: the program's name and version and a link to its home
// page.
#pragma once

#include "app/widgets/linklabel.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

// The version the About box shows.
inline constexpr const char* kBrambleVersion = "2.0.1";
inline constexpr const char* kBrambleHomePage = "http://www.quillmar.example/bramble/";

class TfrmAbout : public TForm {
public:
    explicit TfrmAbout(TComponent* AOwner);
    TImage* imgIcon;
    TLabel* lblName;
    TLabel* lblVersion;
    TLabel* lblCopyright;
    TLinkLabel* lblLink;
    TButton* bttnOk;

    void bttnOkClick(TObject* Sender);
};

extern TfrmAbout* frmAbout;

}  // namespace bramble
