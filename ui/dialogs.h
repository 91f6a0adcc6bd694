// Message dialogs, input boxes, the open and save dialogs, and the hook
// through which tests answer every modal window with scripted answers.
#pragma once

#include <windows.h>

#include <string>

#include "ui/classes.h"
#include "ui/component.h"
#include "ui/forms.h"

namespace bramble {

enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint8_t { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll,
                            mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

class TOpenDialog;

// Everything modal asks this first when one is installed. Tests install a
// scripted one; an unexpected question then fails the test instead of
// waiting for a user.
class TModalInterceptor {
public:
    virtual ~TModalInterceptor() = default;
    virtual int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) = 0;
    virtual int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) = 0;
    virtual bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) = 0;
    virtual int ShowModal(TCustomForm* Form) = 0;
    virtual bool ExecuteFileDialog(TOpenDialog* Dialog, bool Save) = 0;
};

// Installs (or with null removes) the interceptor; returns the previous one.
TModalInterceptor* SetModalInterceptor(TModalInterceptor* Interceptor);
TModalInterceptor* ModalInterceptor();

// Captions of the dialog types: "Warning", "Error", "Information", "Confirm",
// and the application's title for mtCustom.
std::string MsgDlgCaption(TMsgDlgType DlgType);
// Returns the modal result of the pressed button (mrYes, mrOk...).
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx = 0);
void ShowMessage(const std::string& Msg);
// An edit box with a prompt; Value is changed only on OK.
bool InputQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value);
// The same box with what is typed masked (a password); scripted answers
// come through the interceptor's InputQuery.
bool PasswordQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value);
std::string InputBox(const std::string& ACaption, const std::string& APrompt, const std::string& ADefault);

enum TOpenOption : uint8_t {
    ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
    ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
    ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
    ofEnableIncludeNotify, ofEnableSizing
};
using TOpenOptions = TSet<TOpenOption>;
// How the old-style dialog takes the name: a plain edit, or a combo box
// that offers HistoryList.
enum TFileEditStyle : uint8_t { fsEdit, fsComboBox };

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* AOwner = nullptr);
    // Runs the dialog; true when the user chose a file.
    virtual bool Execute();

    const std::string& FileName() const { return file_name_; }
    void SetFileName(const std::string& v) { file_name_ = v; }
    TStringList& Files() { return files_; }
    // "Description|Mask|Description|Mask..."
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& v) { filter_ = v; }
    // 1-based, as the platform counts filters.
    int FilterIndex() const { return filter_index_; }
    void SetFilterIndex(int v) { filter_index_ = v; }
    const std::string& InitialDir() const { return initial_dir_; }
    void SetInitialDir(const std::string& v) { initial_dir_ = v; }
    const std::string& DefaultExt() const { return default_ext_; }
    void SetDefaultExt(const std::string& v) { default_ext_ = v; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& v) { title_ = v; }
    TOpenOptions Options() const { return options_; }
    void SetOptions(TOpenOptions v) { options_ = v; }
    int HelpContext() const { return help_context_; }
    void SetHelpContext(int v) { help_context_ = v; }
    TStringList& HistoryList() { return history_; }
    TFileEditStyle FileEditStyle() const { return file_edit_style_; }
    void SetFileEditStyle(TFileEditStyle v) { file_edit_style_ = v; }

    // The filter text with "|" turned into the platform's NUL separators.
    static std::string PlatformFilter(const std::string& Filter);

protected:
    bool DoExecute(bool Save);

private:
    std::string file_name_, filter_, initial_dir_, default_ext_, title_;
    int filter_index_ = 1;
    TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
    int help_context_ = 0;
    TFileEditStyle file_edit_style_ = fsEdit;
    TStringList files_, history_;
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    bool Execute() override;
};

// The file dialogs for pictures: they start with a filter of the picture
// kinds the graphics layer reads.
class TOpenPictureDialog : public TOpenDialog {
public:
    explicit TOpenPictureDialog(TComponent* AOwner = nullptr);
};

class TSavePictureDialog : public TOpenPictureDialog {
public:
    using TOpenPictureDialog::TOpenPictureDialog;
    bool Execute() override;
};

}  // namespace bramble
