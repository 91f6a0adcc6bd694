#include "ui/selectdir.h"

#include <windows.h>

#include <cstring>

#include "engine/core/os.h"
#include "ui/classes.h"
#include "ui/dialogs.h"

namespace bramble {

namespace {
bool IsDir(const std::string& Path) {
    if (Path.empty()) return false;
    const DWORD a = GetFileAttributesA(Path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// "C:\" keeps its "\", "C:\Data\" loses it.
std::string WithoutSlash(std::string Path) {
    while (Path.size() > 3 && (Path.back() == '\\' || Path.back() == '/')) Path.pop_back();
    return Path;
}

std::string Join(const std::string& Dir, const std::string& Name) {
    if (!Dir.empty() && Dir.back() == '\\') return Dir + Name;
    return Dir + "\\" + Name;
}

// Makes Path and the folders above it that are missing.
bool MakeFolders(const std::string& Path) {
    if (IsDir(Path)) return true;
    const size_t cut = Path.find_last_of('\\');
    if (cut != std::string::npos && cut > 2 && !MakeFolders(Path.substr(0, cut))) return false;
    return CreateDirectoryA(Path.c_str(), nullptr) || IsDir(Path);
}

template <typename T>
T* Place(TSelectDirForm* Form, int X, int Y, int W, int H) {
    auto* c = new T(Form);
    c->SetBounds(X, Y, W, H);
    c->SetParent(Form);
    return c;
}
}  // namespace

TSelectDirForm::TSelectDirForm(TSelectDirOpts Options, int HelpCtx) : TForm(nullptr), options_(Options) {
    SetCaption(SSelectDirCap);
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(340);
    SetClientHeight(250);
    SetHelpContext(HelpCtx);
    Place<TLabel>(this, 8, 8, 200, 13)->SetCaption("Directory &Name:");
    edit_ = Place<TEdit>(this, 8, 24, 230, 21);
    Place<TLabel>(this, 8, 52, 200, 13)->SetCaption("&Directories:");
    folders_ = Place<TComboBox>(this, 8, 68, 230, 130);
    folders_->SetStyle(csSimple);
    folders_->OnChange = [this](TObject*) {
        const int i = folders_->ItemIndex();
        if (i >= 0) Open(folders_->Items()[i]);
    };
    Place<TLabel>(this, 8, 204, 200, 13)->SetCaption("D&rives:");
    drives_ = Place<TComboBox>(this, 8, 220, 230, 21);
    drives_->SetStyle(csDropDownList);
    char drives[256] = {};
    const DWORD n = GetLogicalDriveStringsA(sizeof drives, drives);
    for (const char* d = drives; n && n < sizeof drives && *d; d += std::strlen(d) + 1) drives_->Items().Add(d);
    drives_->OnChange = [this](TObject*) {
        const int i = drives_->ItemIndex();
        if (i >= 0) SetDirectory(drives_->Items()[i]);
    };
    auto* ok = Place<TButton>(this, 252, 24, 80, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { TryAccept(); };
    auto* cancel = Place<TButton>(this, 252, 56, 80, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    if (HelpCtx) {
        auto* help = Place<TButton>(this, 252, 88, 80, 25);
        help->SetCaption("&Help");
        help->OnClick = [this](TObject*) { Application->HelpContext(HelpContext()); };
    }
}

void TSelectDirForm::SetDirectory(const std::string& Path) {
    edit_->SetText(WithoutSlash(Path));
    // A folder not there yet is only named: the list stays where it was.
    if (IsDir(Path)) {
        shown_ = WithoutSlash(Path);
        FillFolders();
        // The drive the folder is on shows below.
        for (int i = 0; i < drives_->Items().Count(); ++i)
            if (CompareText(drives_->Items()[i].substr(0, 2), shown_.substr(0, 2)) == 0) drives_->SetItemIndex(i);
    }
}

void TSelectDirForm::Open(const std::string& Name) {
    if (Name == "..") {
        const size_t cut = shown_.find_last_of('\\');
        if (cut == std::string::npos) return;
        SetDirectory(cut <= 2 ? shown_.substr(0, cut + 1) : shown_.substr(0, cut));
        return;
    }
    SetDirectory(Join(shown_, Name));
}

void TSelectDirForm::FillFolders() {
    TStringList& items = folders_->Items();
    items.Clear();
    if (shown_.size() > 3) items.Add("..");
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(Join(shown_, "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") items.Add(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

void TSelectDirForm::TryAccept() {
    const std::string dir = WithoutSlash(Directory());
    if (dir.empty()) return;
    if (!IsDir(dir)) {
        if (!options_.contains(sdAllowCreate)) {
            MessageBeep(MB_ICONWARNING);
            return;
        }
        if (options_.contains(sdPrompt) && MessageDlg(SConfirmCreateDir, mtConfirmation, TMsgDlgButtons{mbYes, mbNo}) != mrYes) return;
        if (options_.contains(sdPerformCreate) && !MakeFolders(dir)) {
            MessageDlg(os::SysErrorMessage(GetLastError()), mtError, {mbOK});
            return;
        }
    }
    SetModalResult(mrOk);
}

bool SelectDirectory(std::string& Directory, TSelectDirOpts Options, int HelpCtx) {
    TSelectDirForm* form = new TSelectDirForm(Options, HelpCtx);
    form->AfterConstruction();
    std::string result;
    bool ok = false;
    try {
        form->SetDirectory(Directory);
        ok = form->ShowModal() == mrOk;
        result = WithoutSlash(form->Directory());
    } catch (...) {
        TCustomForm::Free(form);
        throw;
    }
    TCustomForm::Free(form);
    if (ok) Directory = result;
    return ok;
}

}  // namespace bramble
