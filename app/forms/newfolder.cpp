#include "app/forms/newfolder.h"

#include "app/forms/extract.h"

namespace bramble {

TfrmNewFolder* frmNewFolder = nullptr;

std::string NewFolderPath(const std::string& Current, const std::string& Name) {
    const size_t b = Name.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const std::string name = Name.substr(b, Name.find_last_not_of(" \t") - b + 1);
    if (name.find(':') != std::string::npos) return name;
    // Under an empty or relative folder the result would depend on the
    // process's current folder.
    const bool full = (Current.size() >= 3 && Current[1] == ':' && Current[2] == '\\') ||
                      (Current.size() >= 2 && Current[0] == '\\' && Current[1] == '\\');
    if (!full) return {};
    if (Current.back() == '\\') return Current + name;
    return Current + "\\" + name;
}

TfrmNewFolder::TfrmNewFolder(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmNewFolder");
    SetCaption("Create folder");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(400, 142);
    Font().SetName("MS Sans Serif");

    auto label = [this](const char* name, const std::string& text, int x, int y, int w, int h) {
        auto* l = new TLabel(this);
        l->SetName(name);
        l->SetParent(this);
        l->SetAutoSize(false);
        l->SetBounds(x, y, w, h);
        l->SetCaption(text);
        return l;
    };
    Label1 = label("Label1", "Current folder: ", 8, 10, 90, 13);
    CurrentFolderLbl = label("CurrentFolderLbl", "", 100, 10, 292, 13);
    CurrentFolderLbl->SetShowAccelChar(false);
    Label2 = label("Label2", "Name:", 8, 38, 90, 13);
    Edit1 = new TEdit(this);
    Edit1->SetName("Edit1");
    Edit1->SetParent(this);
    Edit1->SetBounds(100, 34, 292, 21);
    Edit1->SetTabOrder(0);
    Label2->SetFocusControl(Edit1);
    Label3 = label("Label3",
                   "Tip: you can automatically create a new folder by typing\r\na folder name in the Extract To "
                   "field in the Extract form.",
                   8, 66, 384, 28);
    Label3->SetShowAccelChar(false);

    auto button = [this](const char* name, const std::string& text, int x, int order) {
        auto* b = new TButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetBounds(x, 106, 75, 25);
        b->SetCaption(text);
        b->SetTabOrder(order);
        return b;
    };
    Button1 = button("Button1", "Ok", 154, 1);
    Button1->SetDefault(true);
    Button2 = button("Button2", "Cancel", 236, 2);
    Button2->SetCancel(true);
    Button3 = button("Button3", "&Help", 318, 3);

    OnShow = [this](TObject* s) { FormActivate(s); };
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button2->OnClick = [this](TObject* s) { Button2Click(s); };
    Button3->OnClick = [this](TObject* s) { Button3Click(s); };
}

TfrmNewFolder::~TfrmNewFolder() {
    if (frmNewFolder == this) frmNewFolder = nullptr;
}

void TfrmNewFolder::FormActivate(TObject*) { SetActiveControl(Edit1); }

void TfrmNewFolder::Button1Click(TObject*) {
    // A name that gives no folder is refused and the dialog stays.
    if (NewFolderPath(CurrentFolderLbl->Caption(), Edit1->Text()).empty()) {
        MessageBeep(MB_ICONWARNING);
        if (Edit1->CanFocus()) Edit1->SetFocus();
        return;
    }
    SetModalResult(mrOk);
}

void TfrmNewFolder::Button2Click(TObject*) { SetModalResult(mrCancel); }

void TfrmNewFolder::Button3Click(TObject*) { Application->HelpContext(800); }

void EnsureExtractDialogs() {
    if (!frmExtract) {
        frmExtract = new TfrmExtract(Application);
        frmExtract->AfterConstruction();
    }
    if (!frmNewFolder) {
        frmNewFolder = new TfrmNewFolder(Application);
        frmNewFolder->AfterConstruction();
    }
}

}  // namespace bramble
