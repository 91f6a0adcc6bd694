#include "app/forms/extract.h"

#include "app/forms/foldername.h"
#include "app/forms/main.h"
#include "app/forms/newfolder.h"
#include "app/settings/settings.h"
#include "engine/core/diskmanager.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "ui/dialogs.h"
#include "ui/registry.h"

namespace bramble {

TfrmExtract* frmExtract = nullptr;

namespace {

// Folders compare without case and without a trailing "\" ("C:\Out\" is
// "c:\out"); a root keeps its "\" either way.
bool IsFullPath(const std::string& P) {
    return (P.size() >= 3 && P[1] == ':' && (P[2] == '\\' || P[2] == '/')) ||
           (P.size() >= 2 && P[0] == '\\' && P[1] == '\\');
}

std::string Trimmed(const std::string& S) {
    size_t b = S.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = S.find_last_not_of(" \t");
    return S.substr(b, e - b + 1);
}

}  // namespace

void AddRecentFolder(std::vector<std::string>& List, const std::string& Folder) {
    if (Folder.empty()) return;
    // Compared as written: the list shows what was typed.
    std::vector<std::string> out{Folder};
    for (const std::string& f : List)
        if (f != Folder && out.size() < 10) out.push_back(f);
    List.swap(out);
}

void WriteMRUExtract(const std::vector<std::string>& List) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    try {
        if (!reg.OpenKey(SettingsMRUExtractKey, true)) return;
        for (size_t i = 0; i < 10; ++i) {
            const std::string name = "H" + std::to_string(i);
            if (i < List.size())
                reg.WriteString(name, List[i]);
            else if (reg.ValueExists(name))
                reg.DeleteValue(name);
        }
    } catch (const ERegistryException&) {
    }
}

bool ReadRestoreFolders(bool Default) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKeyReadOnly(SettingsOptionsKey)) return Default;
    try {
        return reg.ReadBoolDef("RestoreFolders", Default);
    } catch (const ERegistryException&) {
        return Default;
    }
}

void WriteRestoreFolders(bool Value) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    try {
        if (reg.OpenKey(SettingsOptionsKey, true)) reg.WriteBool("RestoreFolders", Value);
    } catch (const ERegistryException&) {
    }
}

TfrmExtract::TfrmExtract(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmExtract");
    SetCaption("Extract");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(448, 318);
    Font().SetName("MS Sans Serif");
    SetShowHint(true);

    auto label = [this](const char* name, const std::string& text, int x, int y, int w) {
        auto* l = new TLabel(this);
        l->SetName(name);
        l->SetParent(this);
        l->SetBounds(x, y, w, 13);
        l->SetCaption(text);
        return l;
    };
    auto button = [this](const char* name, const std::string& text, int x, int y, int w) {
        auto* b = new TButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetBounds(x, y, w, 25);
        b->SetCaption(text);
        return b;
    };

    Label2 = label("Label2", "Extract &To:", 8, 8, 120);
    ExtractToCmb = new TComboBox(this);
    ExtractToCmb->SetName("ExtractToCmb");
    ExtractToCmb->SetParent(this);
    ExtractToCmb->SetBounds(8, 24, 396, 21);
    ExtractToCmb->SetDropDownCount(10);
    ExtractToCmb->SetTabOrder(0);
    Label2->SetFocusControl(ExtractToCmb);

    SetTreeBttn = button("SetTreeBttn", ">", 410, 23, 30);
    SetTreeBttn->SetHeight(23);
    SetTreeBttn->SetHint("Show the typed folder in the tree");
    SetTreeBttn->SetTabOrder(1);

    Label1 = label("Label1", "Select Folder:", 8, 54, 120);
    SystemTreeView1 = new TSystemTreeView(this);
    SystemTreeView1->SetName("SystemTreeView1");
    SystemTreeView1->SetParent(this);
    SystemTreeView1->SetBounds(8, 70, 264, 240);
    SystemTreeView1->SetTabOrder(2);

    RadioGroup2 = new TRadioGroup(this);
    RadioGroup2->SetName("RadioGroup2");
    RadioGroup2->SetParent(this);
    RadioGroup2->SetBounds(282, 64, 158, 62);
    RadioGroup2->SetCaption("Files");
    RadioGroup2->Items().Add("O&verwrite Existing");
    RadioGroup2->Items().Add("&Confirm Overwrite");
    RadioGroup2->SetItemIndex(1);
    RadioGroup2->SetTabOrder(3);

    RadioGroup1 = new TRadioGroup(this);
    RadioGroup1->SetName("RadioGroup1");
    RadioGroup1->SetParent(this);
    RadioGroup1->SetBounds(282, 132, 158, 62);
    RadioGroup1->SetCaption("Extract");
    RadioGroup1->Items().Add("&Selected Files");
    RadioGroup1->Items().Add("&All Files");
    RadioGroup1->SetItemIndex(0);
    RadioGroup1->SetTabOrder(4);

    CheckBox1 = new TCheckBox(this);
    CheckBox1->SetName("CheckBox1");
    CheckBox1->SetParent(this);
    CheckBox1->SetBounds(284, 202, 156, 17);
    CheckBox1->SetCaption("&Restore Original Folders");
    CheckBox1->SetChecked(true);
    CheckBox1->SetTabOrder(5);

    ExtractBtn = button("ExtractBtn", "Extract", 282, 253, 76);
    ExtractBtn->SetDefault(true);
    ExtractBtn->SetTabOrder(6);
    CancelBtn = button("CancelBtn", "Cancel", 364, 253, 76);
    CancelBtn->SetCancel(true);
    CancelBtn->SetTabOrder(7);
    NewFolderBttn = button("NewFolderBttn", "&New Folder", 282, 285, 76);
    NewFolderBttn->SetHint("Create new folder");
    NewFolderBttn->SetTabOrder(8);
    HelpBtn = button("HelpBtn", "&Help", 364, 285, 76);
    HelpBtn->SetTabOrder(9);

    OnCreate = [this](TObject* s) { FormCreate(s); };
    // Every showing, not every activation: coming back from the New folder
    // dialog must keep the folder it put into the combo.
    OnShow = [this](TObject* s) { FormActivate(s); };
    RadioGroup1->OnClick = [this](TObject* s) { RadioGroup1Click(s); };
    RadioGroup2->OnClick = [this](TObject* s) { RadioGroup1Click(s); };
    SystemTreeView1->OnChange = [this](TObject* s, TTreeNode* n) { SystemTreeView1Change(s, n); };
    SetTreeBttn->OnClick = [this](TObject* s) { SetTreeBttnClick(s); };
    NewFolderBttn->OnClick = [this](TObject* s) { NewFolderBttnClick(s); };
    ExtractBtn->OnClick = [this](TObject* s) { ExtractBtnClick(s); };
    CancelBtn->OnClick = [this](TObject* s) { CancelBtnClick(s); };
    HelpBtn->OnClick = [this](TObject* s) { HelpBtnClick(s); };
}

TfrmExtract::~TfrmExtract() {
    if (frmExtract == this) frmExtract = nullptr;
}

void TfrmExtract::FormCreate(TObject*) {
    // The picked folder stays visible while the focus is elsewhere.
    SystemTreeView1->SetHideSelection(false);
}

int TfrmExtract::SelectedCount() const { return EntryList ? EntryList->SelCount() : 0; }

void TfrmExtract::FormActivate(TObject*) {
    ExtractToCmb->Items().Clear();
    for (const std::string& f : ReadMRUExtract()) ExtractToCmb->Items().Add(f);
    // The check box follows the store only where the recent folders are
    // kept, that is once an extraction has written them.
    if (TRegistry(KEY_READ).OpenKeyReadOnly(SettingsMRUExtractKey))
        CheckBox1->SetChecked(ReadRestoreFolders(CheckBox1->Checked()));
    RadioGroup1->SetItemIndex(SelectedCount() == 0 ? 1 : 0);
    SystemTreeView1->SetDirectory("c:\\");
    ExtractToCmb->SetText(ExtractToCmb->Items().Count() > 0 ? ExtractToCmb->Items()[0] : std::string());
    if (ExtractToCmb->HandleAllocated())
        SendMessageA(ExtractToCmb->Handle(), CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    SetActiveControl(ExtractToCmb);
}

void TfrmExtract::RadioGroup1Click(TObject*) {
    if (RadioGroup1->ItemIndex() == 0 && SelectedCount() == 0) RadioGroup1->SetItemIndex(1);
}

void TfrmExtract::SystemTreeView1Change(TObject*, TTreeNode*) {
    ExtractToCmb->SetText(SystemTreeView1->Directory());
}

void TfrmExtract::SetTreeBttnClick(TObject*) {
    const std::string folder = TargetFolder();
    if (IsNameableFolder(folder) && os::DirectoryExists(folder))
        SystemTreeView1->SetDirectory(folder);
    else
        ShowMessage("The folder " + ExtractToCmb->Text() + " does not exist");
    if (SystemTreeView1->CanFocus()) SystemTreeView1->SetFocus();
}

void TfrmExtract::NewFolderBttnClick(TObject*) {
    EnsureExtractDialogs();
    PlaceDialog(frmNewFolder, this);
    frmNewFolder->CurrentFolderLbl->SetCaption(ExtractToCmb->Text());
    frmNewFolder->Edit1->SetText("");
    // The name is applied however the dialog closes: an empty one gives
    // no path and leaves the combo alone.
    frmNewFolder->ShowModal();
    const std::string path = NewFolderPath(ExtractToCmb->Text(), frmNewFolder->Edit1->Text());
    if (!path.empty()) ExtractToCmb->SetText(path);
}

std::string TfrmExtract::TargetFolder() const {
    std::string t = Trimmed(ExtractToCmb->Text());
    if (t.empty() || IsFullPath(t)) return t;
    // A relative folder would land wherever the process's current folder
    // happens to be; it is taken from the archive's folder instead.
    if (BaseFolder.empty() || !IsFullPath(BaseFolder)) return {};
    const std::string joined = AppendBackslash(BaseFolder) + t;
    char full[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameA(joined.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : joined;
}

void TfrmExtract::ExtractBtnClick(TObject*) {
    const std::string typed = Trimmed(ExtractToCmb->Text());
    if (!typed.empty()) {
        const std::string folder = TargetFolder();
        // A name Windows cannot give (a second drive colon from two pasted
        // paths, a device name) is refused before any of it is made.
        if (folder.empty() || !IsNameableFolder(folder)) {
            Application->MessageBox(typed + "\r\r ...not found.", Application->Title(), MB_OK);
            if (ExtractToCmb->CanFocus()) ExtractToCmb->SetFocus();
            return;
        }
        ExtractToCmb->SetText(folder);
        if (!os::DirectoryExists(folder)) {
            try {
                ForceDirs(folder);
            } catch (const Exception&) {
            }
        }
        if (os::DirectoryExists(AppendBackslash(folder))) {
            SetModalResult(mrOk);
        } else {
            if (CheckDriveReady(folder)) {
                Application->MessageBox(folder + "\r\r ...not found.", Application->Title(), MB_OK);
                if (ExtractToCmb->CanFocus()) ExtractToCmb->SetFocus();
            }
            // A folder that is not there goes into no list.
            return;
        }
    }
    AddToList(ExtractToCmb->Text());
    std::vector<std::string> list;
    for (int i = 0; i < ExtractToCmb->Items().Count(); ++i) list.push_back(ExtractToCmb->Items()[i]);
    WriteMRUExtract(list);
    WriteRestoreFolders(CheckBox1->Checked());
}

void TfrmExtract::CancelBtnClick(TObject*) { SetModalResult(mrCancel); }

void TfrmExtract::HelpBtnClick(TObject*) { Application->HelpContext(430); }

void TfrmExtract::AddToList(const std::string& Folder) {
    if (Folder.empty()) return;
    const std::string text = ExtractToCmb->Text();
    std::vector<std::string> list;
    for (int i = 0; i < ExtractToCmb->Items().Count(); ++i) list.push_back(ExtractToCmb->Items()[i]);
    AddRecentFolder(list, Folder);
    ExtractToCmb->Items().Clear();
    for (const std::string& f : list) ExtractToCmb->Items().Add(f);
    ExtractToCmb->SetText(text);
    SetCaption(list.front());
}

}  // namespace bramble
