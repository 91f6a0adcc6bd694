#include "app/forms/uuencodedlg.h"

#include <cctype>

#include "app/forms/main.h"
#include "engine/core/helpers.h"
#include "engine/writers/uuencode.h"
#include "ui/dialogs.h"
#include "ui/selectdir.h"

namespace bramble {

TfrmUUEncode* frmUUEncode = nullptr;

namespace {

const char* const kSameFile = "Error: infile and outfile are the same";

std::string FullPath(const std::string& P) {
    char buf[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(P.c_str(), sizeof buf, buf, nullptr);
    std::string out = (n > 0 && n < sizeof buf) ? std::string(buf, n) : P;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

}  // namespace

bool ParseKBytesPerVolume(const std::string& Text, int& KBytes) {
    size_t b = 0, e = Text.size();
    while (b < e && Text[b] == ' ') ++b;
    while (e > b && Text[e - 1] == ' ') --e;
    if (b == e) {
        KBytes = 0;
        return true;
    }
    long long v = 0;
    for (size_t i = b; i < e; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(Text[i]))) return false;
        v = v * 10 + (Text[i] - '0');
        if (v > kMaxKBytesPerVolume) return false;
    }
    KBytes = static_cast<int>(v);
    return true;
}

bool SameFilePath(const std::string& A, const std::string& B) {
    if (A.empty() || B.empty()) return false;
    const std::string a = FullPath(A), b = FullPath(B);
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

TfrmUUEncode::TfrmUUEncode(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmUUEncode");
    SetCaption("UUEncode / XXEncode");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(420, 194);
    Font().SetName("MS Sans Serif");
    SetShowHint(true);

    auto label = [this](const std::string& name, const std::string& caption, int x, int y, int w) {
        auto* l = new TLabel(this);
        l->SetName(name);
        l->SetParent(this);
        l->SetBounds(x, y, w, 16);
        l->SetCaption(caption);
        return l;
    };
    auto edit = [this](const std::string& name, int x, int y, int w) {
        auto* e = new TEdit(this);
        e->SetName(name);
        e->SetParent(this);
        e->SetBounds(x, y, w, 21);
        return e;
    };
    auto button = [this](const std::string& name, const std::string& caption, int x, int y, int w, int h) {
        auto* b = new TButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetBounds(x, y, w, h);
        b->SetCaption(caption);
        return b;
    };

    Label1 = label("Label1", "&Read File:", 12, 16, 80);
    Edit1 = edit("Edit1", 96, 12, 280);
    Edit1->SetHint("Wildcards ok...");
    BitBtn1 = button("BitBtn1", "...", 382, 12, 26, 21);
    BitBtn1->SetHint("Select file to encode...");
    Label2 = label("Label2", "&Write File:", 12, 46, 80);
    Edit2 = edit("Edit2", 96, 42, 280);
    Edit2->SetHint("Wildcards ok...");
    btnSelectDir = button("btnSelectDir", "...", 382, 42, 26, 21);
    btnSelectDir->SetHint("Change directory...");
    Label1->SetFocusControl(Edit1);
    Label2->SetFocusControl(Edit2);

    RadioGroup1 = new TRadioGroup(this);
    RadioGroup1->SetName("RadioGroup1");
    RadioGroup1->SetParent(this);
    RadioGroup1->SetBounds(12, 76, 180, 66);
    RadioGroup1->SetCaption("Encode Method");
    RadioGroup1->Items().Add("UUencode");
    RadioGroup1->Items().Add("XXencode");
    RadioGroup1->SetItemIndex(0);

    Label3 = label("Label3", "&Max kbytes per file:", 208, 84, 110);
    Edit3 = edit("Edit3", 322, 80, 86);
    Edit3->SetText("0");
    Label3->SetFocusControl(Edit3);
    CheckBox1 = new TCheckBox(this);
    CheckBox1->SetName("CheckBox1");
    CheckBox1->SetParent(this);
    CheckBox1->SetBounds(208, 116, 200, 17);
    CheckBox1->SetCaption("Write Decode Table To File");

    BttnOk = button("BttnOk", "Ok", 168, 156, 75, 25);
    BttnOk->SetDefault(true);
    BttnOk->SetEnabled(false);
    BttnCancel = button("BttnCancel", "Cancel", 251, 156, 75, 25);
    BttnCancel->SetCancel(true);
    BttnCancel->SetModalResult(mrCancel);
    BttnHelp = button("BttnHelp", "Help", 334, 156, 75, 25);
    SetHelpContext(405);

    int order = 0;
    for (TWinControl* c : std::initializer_list<TWinControl*>{Edit1, BitBtn1, Edit2, btnSelectDir, RadioGroup1, Edit3,
                                                              CheckBox1, BttnOk, BttnCancel, BttnHelp})
        c->SetTabOrder(order++);

    Edit1->OnChange = [this](TObject* s) { Edit1Change(s); };
    Edit2->OnChange = [this](TObject* s) { Edit1Change(s); };
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    btnSelectDir->OnClick = [this](TObject* s) { btnSelectDirClick(s); };
    BttnOk->OnClick = [this](TObject* s) { btnOKClick(s); };
    BttnHelp->OnClick = [this](TObject* s) { BttnHelpClick(s); };
    OnShow = [this](TObject*) { refillNames_ = true; };
    OnActivate = [this](TObject* s) { FormActivate(s); };
    // The folder form may make the folder the user types, after asking.
    ChooseFolder = [](const std::string& Start, std::string& Folder) {
        Folder = Start;
        return SelectDirectory(Folder, TSelectDirOpts{sdAllowCreate, sdPerformCreate, sdPrompt}, 0);
    };
    SetActiveControl(Edit1);
}

void TfrmUUEncode::FormActivate(TObject*) {
    // The names come from the open archive once per showing: coming back
    // from an error box or another program keeps what the user typed.
    const bool refill = refillNames_;
    refillNames_ = false;
    if (refill && frmMain && frmMain->Dovex1 && !frmMain->Dovex1->ArchiveFile().empty() &&
        IsValidArcType(frmMain->Dovex1->ArcType())) {
        Edit1->SetText(frmMain->Dovex1->ArchiveFile());
        Edit2->SetText(ChangeFileExt(frmMain->Dovex1->ArchiveFile(), ".ENC"));
    }
    Edit1Change(nullptr);
}

void TfrmUUEncode::Edit1Change(TObject*) { BttnOk->SetEnabled(!Edit1->Text().empty()); }

bool TfrmUUEncode::RefuseSameFile() {
    if (!SameFilePath(Edit1->Text(), Edit2->Text())) return false;
    ShowMessage(kSameFile);
    Edit1->SetText("");
    Edit2->SetText("");
    return true;
}

void TfrmUUEncode::BitBtn1Click(TObject*) {
    TOpenDialog* dlg = frmMain ? frmMain->OpenDialog1 : nullptr;
    if (!dlg) return;
    const std::string oldTitle = dlg->Title();
    dlg->SetFileName(Edit1->Text());
    dlg->SetTitle("Select file to encode...");
    const bool ok = dlg->Execute();
    dlg->SetTitle(oldTitle);
    if (!ok) return;
    Edit1->SetText(dlg->FileName());
    Edit2->SetText(ChangeFileExt(dlg->FileName(), ".ENC"));
    RefuseSameFile();
}

void TfrmUUEncode::btnSelectDirClick(TObject*) {
    const std::string in = Edit1->Text();
    if (!in.empty()) {
        const std::string dir = ExtractFilePath(in);
        DWORD a = dir.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(dir.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) SetCurrentDirectoryA(dir.c_str());
    }
    std::string folder;
    if (!ChooseFolder || !ChooseFolder(os::CurrentDir(), folder) || folder.empty()) return;
    if (Encoder) Encoder->SetDefaultDir(folder);
    SetCurrentDirectoryA(folder.c_str());
    // Without a file to encode there is no name to put in that folder yet.
    if (ExtractFileName(in).empty()) return;
    if (folder.back() != '\\') folder += '\\';
    Edit2->SetText(folder + ChangeFileExt(ExtractFileName(in), ".ENC"));
}

void TfrmUUEncode::btnOKClick(TObject*) {
    int kbytes = 0;
    if (!ParseKBytesPerVolume(Edit3->Text(), kbytes)) {
        ShowMessage("Max kbytes per file: enter a whole number from 0 to " + std::to_string(kMaxKBytesPerVolume) +
                    " (0 writes one file).");
        if (Edit3->CanFocus()) Edit3->SetFocus();
        return;
    }
    // Encoding into the file it reads would destroy it, whether the names
    // were typed, browsed or came from an archive already named *.ENC.
    if (RefuseSameFile()) return;
    if (Encoder) {
        Encoder->SetArchiveFile(Edit1->Text());
        Encoder->SetOutFilename(Edit2->Text());
        Encoder->SetKBytesPerVolume(kbytes);
        Encoder->SetWriteTableToFile(CheckBox1->Checked());
    }
    Screen->SetCursor(crHourGlass);
    if (Encoder) Encoder->SetCompressMethod(RadioGroup1->ItemIndex() == 1 ? cmXXEncode : cmUUEncode);
    refillNames_ = true;
    FormActivate(this);
    Screen->SetCursor(crDefault);
    SetModalResult(mrOk);
}

void TfrmUUEncode::BttnHelpClick(TObject*) {
    if (Application) Application->HelpContext(405);
}

}  // namespace bramble
