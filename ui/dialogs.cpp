#include "ui/dialogs.h"

#include <commdlg.h>

#include <vector>

#include "ui/forms.h"
#include "ui/msgdlg.h"
#include "ui/stdctrls.h"

namespace bramble {

namespace {
TModalInterceptor* g_interceptor = nullptr;
}

TModalInterceptor* SetModalInterceptor(TModalInterceptor* Interceptor) {
    TModalInterceptor* old = g_interceptor;
    g_interceptor = Interceptor;
    return old;
}

TModalInterceptor* ModalInterceptor() { return g_interceptor; }

std::string MsgDlgCaption(TMsgDlgType DlgType) {
    switch (DlgType) {
        case mtWarning: return "Warning";
        case mtError: return "Error";
        case mtInformation: return "Information";
        case mtConfirmation: return "Confirm";
        case mtCustom: break;
    }
    std::string t = Application ? Application->Title() : std::string();
    return t;
}

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    if (g_interceptor) return g_interceptor->MessageDlg(Msg, DlgType, Buttons);
    // The platform's box has no All, No to all or Yes to all.
    if (Buttons.contains(mbAll) || Buttons.contains(mbNoToAll) || Buttons.contains(mbYesToAll))
        return MessageDlgCaptions(Msg, DlgType, Buttons, {}, HelpCtx);
    UINT flags = 0;
    bool yes = Buttons.contains(mbYes) || Buttons.contains(mbYesToAll);
    bool no = Buttons.contains(mbNo) || Buttons.contains(mbNoToAll);
    if (Buttons.contains(mbAbort) || (Buttons.contains(mbIgnore) && Buttons.contains(mbRetry)))
        flags = MB_ABORTRETRYIGNORE;
    else if (yes && no && Buttons.contains(mbCancel))
        flags = MB_YESNOCANCEL;
    else if (yes || no)
        flags = MB_YESNO;
    else if (Buttons.contains(mbRetry))
        flags = MB_RETRYCANCEL;
    else if (Buttons.contains(mbCancel))
        flags = MB_OKCANCEL;
    else
        flags = MB_OK;
    switch (DlgType) {
        case mtWarning: flags |= MB_ICONWARNING; break;
        case mtError: flags |= MB_ICONERROR; break;
        case mtInformation: flags |= MB_ICONINFORMATION; break;
        case mtConfirmation: flags |= MB_ICONQUESTION; break;
        case mtCustom: break;
    }
    if (Buttons.contains(mbHelp)) flags |= MB_HELP;
    HWND owner = GetActiveWindow();
    // All the thread's windows wait for the answer (floating tool windows too).
    TTaskWindowsLock lock;
    return ::MessageBoxA(owner, WrapForMessageBox(Msg).c_str(), MsgDlgCaption(DlgType).c_str(), flags | MB_TASKMODAL);
}

void ShowMessage(const std::string& Msg) { MessageDlg(Msg, mtCustom, {mbOK}); }

namespace {

bool QueryBox(const std::string& ACaption, const std::string& APrompt, std::string& Value, bool Masked) {
    if (g_interceptor) return g_interceptor->InputQuery(ACaption, APrompt, Value);
    // The box is built each time and freed on every way out.
    struct FormGuard {
        TForm* f;
        ~FormGuard() { TCustomForm::Free(f); }
    } guard{new TForm(nullptr)};
    TForm* form = guard.f;
    form->SetBorderStyle(bsDialog);
    form->SetCaption(ACaption);
    form->SetPosition(poScreenCenter);
    form->SetClientSize(250, 90);
    auto* prompt = new TLabel(form);
    prompt->SetParent(form);
    prompt->SetBounds(8, 8, 234, 13);
    prompt->SetCaption(APrompt);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(8, 26, 234, 21);
    edit->SetText(Value);
    if (Masked) edit->SetPasswordChar('*');
    prompt->SetFocusControl(edit);
    auto* ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(88, 58, 75, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* cancel = new TButton(form);
    cancel->SetParent(form);
    cancel->SetBounds(167, 58, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    form->AfterConstruction();
    form->SetActiveControl(edit);
    if (form->ExecuteModal() != mrOk) return false;
    Value = edit->Text();
    return true;
}

}  // namespace

bool InputQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value) {
    return QueryBox(ACaption, APrompt, Value, false);
}

bool PasswordQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value) {
    return QueryBox(ACaption, APrompt, Value, true);
}

std::string InputBox(const std::string& ACaption, const std::string& APrompt, const std::string& ADefault) {
    std::string v = ADefault;
    InputQuery(ACaption, APrompt, v);
    return v;
}

// ---- file dialogs -------------------------------------------------------------------------------

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

std::string TOpenDialog::PlatformFilter(const std::string& Filter) {
    if (Filter.empty()) return std::string("\0\0", 2);
    std::string f = Filter;
    for (char& c : f)
        if (c == '|') c = '\0';
    f.push_back('\0');
    f.push_back('\0');
    return f;
}

bool TOpenDialog::Execute() { return DoExecute(false); }

bool TSaveDialog::Execute() { return DoExecute(true); }

TOpenPictureDialog::TOpenPictureDialog(TComponent* AOwner) : TOpenDialog(AOwner) {
    SetFilter("All (*.bmp;*.ico)|*.bmp;*.ico|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico");
}

bool TSavePictureDialog::Execute() { return DoExecute(true); }

bool TOpenDialog::DoExecute(bool Save) {
    if (g_interceptor) return g_interceptor->ExecuteFileDialog(this, Save);
    static const std::pair<TOpenOption, DWORD> map[] = {
        {ofReadOnly, OFN_READONLY}, {ofOverwritePrompt, OFN_OVERWRITEPROMPT}, {ofHideReadOnly, OFN_HIDEREADONLY},
        {ofNoChangeDir, OFN_NOCHANGEDIR}, {ofShowHelp, OFN_SHOWHELP}, {ofNoValidate, OFN_NOVALIDATE},
        {ofAllowMultiSelect, OFN_ALLOWMULTISELECT}, {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
        {ofPathMustExist, OFN_PATHMUSTEXIST}, {ofFileMustExist, OFN_FILEMUSTEXIST},
        {ofCreatePrompt, OFN_CREATEPROMPT}, {ofShareAware, OFN_SHAREAWARE},
        {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN}, {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
        {ofNoNetworkButton, OFN_NONETWORKBUTTON}, {ofNoLongNames, OFN_NOLONGNAMES},
        {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS}, {ofEnableIncludeNotify, OFN_ENABLEINCLUDENOTIFY},
        {ofEnableSizing, OFN_ENABLESIZING}};
    DWORD flags = 0;
    for (auto& [o, f] : map)
        if (options_.contains(o)) flags |= f;
    if (!options_.contains(ofOldStyleDialog)) flags |= OFN_EXPLORER;
    std::vector<char> buf(options_.contains(ofAllowMultiSelect) ? 0x10000 : MAX_PATH + 1, '\0');
    lstrcpynA(buf.data(), file_name_.c_str(), static_cast<int>(buf.size()));
    std::string filter = PlatformFilter(filter_);
    std::string ext = default_ext_;
    if (!ext.empty() && ext.front() == '.') ext.erase(ext.begin());
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(filter_index_);
    ofn.lpstrFile = buf.data();
    ofn.nMaxFile = static_cast<DWORD>(buf.size());
    ofn.lpstrInitialDir = initial_dir_.empty() ? nullptr : initial_dir_.c_str();
    ofn.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    ofn.Flags = flags;
    BOOL ok = Save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok) return false;
    filter_index_ = static_cast<int>(ofn.nFilterIndex);
    if (ofn.Flags & OFN_READONLY)
        options_.insert(ofReadOnly);
    else
        options_.erase(ofReadOnly);
    if (ofn.Flags & OFN_EXTENSIONDIFFERENT)
        options_.insert(ofExtensionDifferent);
    else
        options_.erase(ofExtensionDifferent);
    files_.Clear();
    // Several files come as the folder, then each name, NUL-separated.
    std::string first = buf.data();
    const char* p = buf.data() + first.size() + 1;
    if (options_.contains(ofAllowMultiSelect) && *p) {
        std::string dir = first;
        if (!dir.empty() && dir.back() != '\\') dir += '\\';
        while (*p) {
            std::string name = p;
            files_.Add(dir + name);
            p += name.size() + 1;
        }
        file_name_ = files_.Get(0);
    } else {
        file_name_ = first;
        files_.Add(first);
    }
    return true;
}

}  // namespace bramble
