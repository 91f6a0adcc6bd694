// Edits with a small button inside their right edge, and the two that
// browse for a path with it: the file-name edit (the file dialog) and the
// directory edit (the folder browser). Both take paths dropped from the
// shell.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "kits/controls/speedbutton.h"
#include "ui/dialogs.h"
#include "ui/maskedit.h"
#include "ui/menus.h"
#include "ui/selectdir.h"
#include "ui/stdctrls.h"

namespace bramble {

class EComboEditError : public Exception { public: using Exception::Exception; };
inline constexpr const char* SInvalidFileName = "Invalid file name - %s";

enum TGlyphKind : uint8_t { gkCustom, gkDefault, gkDropDown, gkEllipsis };
enum TFileDialogKind : uint8_t { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
enum TDirDialogKind : uint8_t { dkVCL, dkWin32 };

// Sender, the name the dialog starts from or chose, and whether to go on.
using TExecOpenDialogEvent = std::function<void(TObject* Sender, std::string& Name, bool& Action)>;

class TCustomComboEdit;

// The button inside the edit.
class TEditButton : public TVqSpeedButton {
public:
    TEditButton(TComponent* AOwner, TCustomComboEdit* Edit);
    // Drawn as the platform's combo-box button instead of a glyph.
    bool DropDownMark() const { return drop_down_mark_; }
    void SetDropDownMark(bool v);

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TCustomComboEdit* edit_;
    bool drop_down_mark_ = false;
};

// EditMask and Text come from the mask edit; without a mask it is a
// plain edit.
class TCustomComboEdit : public TCustomMaskEdit {
public:
    explicit TCustomComboEdit(TComponent* AOwner);
    ~TCustomComboEdit() override;

    TEditButton* Button() const { return button_; }
    const std::string& ButtonHint() const { return button_->Hint(); }
    void SetButtonHint(const std::string& v) { button_->SetHint(v); }
    TShortCut ClickKey() const { return click_key_; }
    void SetClickKey(TShortCut v) { click_key_ = v; }
    // Off: the text is read-only and a click in it browses.
    bool DirectInput() const { return direct_input_; }
    void SetDirectInput(bool v);
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v);
    TGlyphKind GlyphKind() const { return glyph_kind_; }
    void SetGlyphKind(TGlyphKind v);
    TBitmap& Glyph() { return button_->Glyph(); }
    // A picture of one's own; GlyphKind becomes gkCustom.
    void SetGlyph(TBitmap* v);
    int NumGlyphs() const { return button_->NumGlyphs(); }
    void SetNumGlyphs(int v) { button_->SetNumGlyphs(v); }
    int ButtonWidth() const { return button_width_; }
    void SetButtonWidth(int v);
    // The width the glyph kind gives the button.
    int DefaultButtonWidth();

    // Runs the button: OnButtonClick, then the kind's own work (a dialog,
    // or the drop-down window where the edit has one).
    void DoClick();

    // The drop-down window of an edit that has one; the base has none.
    bool PopupVisible() const { return popup_visible_; }
    void ShowPopup();
    // Enter closes it with Accept, Escape and the button without.
    void HidePopup(bool Accept);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Resize() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // What a click of the button does: the base opens or closes the
    // drop-down window when there is one.
    virtual void ButtonClick();
    virtual bool HasPopup() const { return false; }
    // Show the window below the edit and take it away again.
    virtual void PopupDropDown() {}
    virtual void PopupCloseUp(bool Accept) {}
    // The glyph of gkDefault; none in the base.
    virtual TBitmap* DefaultGlyph() { return nullptr; }
    void UpdateGlyph();

private:
    friend class TEditButton;
    void PlaceButton();
    TPanel* panel_ = nullptr;
    TEditButton* button_ = nullptr;
    TShortCut click_key_ = scAlt | VK_DOWN;
    bool direct_input_ = true;
    bool read_only_ = false;
    bool popup_visible_ = false;
    TGlyphKind glyph_kind_ = gkCustom;
    int button_width_ = 21;
    std::unique_ptr<TBitmap> made_glyph_;  // the arrow or the dots
};

class TFileDirEdit : public TCustomComboEdit {
public:
    explicit TFileDirEdit(TComponent* AOwner);

    bool AcceptFiles() const { return accept_files_; }
    void SetAcceptFiles(bool v);
    // Typed characters go through the OEM code page and back, so the text
    // holds only what a path on an OEM file system can hold.
    bool OEMConvert() const { return oem_convert_; }
    void SetOEMConvert(bool v);

    // The text with every path component in its long (or 8.3) form.
    virtual std::string GetLongName() = 0;
    virtual std::string GetShortName() = 0;
    // Takes one dropped or chosen path.
    virtual void ReceptFileDir(const std::string& Name) = 0;
    virtual void ClearFileList() {}

    TExecOpenDialogEvent OnBeforeDialog;
    TExecOpenDialogEvent OnAfterDialog;
    TNotifyEvent OnDropFiles;
    TNotifyEvent OnButtonClick;

    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    TBitmap* DefaultGlyph() override;
    void ButtonClick() override;
    // Runs the dialog; the base does nothing.
    virtual void RunDialog() {}
    // Whether a drop of several paths takes them all.
    virtual bool MultipleSelect() const { return false; }
    void DropFiles(HDROP Drop);

private:
    bool accept_files_ = true;
    bool oem_convert_ = true;
};

class TFilenameEdit : public TFileDirEdit {
public:
    explicit TFilenameEdit(TComponent* AOwner);
    ~TFilenameEdit() override;

    TFileDialogKind DialogKind() const { return dialog_kind_; }
    void SetDialogKind(TFileDialogKind v);
    TOpenDialog& Dialog() { return *dialog_; }
    const std::string& DefaultExt() const { return dialog_->DefaultExt(); }
    void SetDefaultExt(const std::string& v) { dialog_->SetDefaultExt(v); }
    // The text as a plain path: the text itself when such a file exists,
    // else the program part of it as a command line.
    std::string FileName() const;
    // Quotes a name holding a blank; raises EComboEditError for an invalid
    // one and leaves the text as it was.
    void SetFileName(const std::string& v);
    const std::string& Filter() const { return dialog_->Filter(); }
    void SetFilter(const std::string& v) { dialog_->SetFilter(v); }
    int FilterIndex() const { return dialog_->FilterIndex(); }
    void SetFilterIndex(int v) { dialog_->SetFilterIndex(v); }
    const std::string& InitialDir() const { return dialog_->InitialDir(); }
    void SetInitialDir(const std::string& v) { dialog_->SetInitialDir(v); }
    TStringList& HistoryList() { return dialog_->HistoryList(); }
    TOpenOptions DialogOptions() const { return dialog_->Options(); }
    void SetDialogOptions(TOpenOptions v) { dialog_->SetOptions(v); }
    const std::string& DialogTitle() const { return dialog_->Title(); }
    void SetDialogTitle(const std::string& v) { dialog_->SetTitle(v); }
    TFileEditStyle FileEditStyle() const { return dialog_->FileEditStyle(); }
    void SetFileEditStyle(TFileEditStyle v) { dialog_->SetFileEditStyle(v); }

    std::string GetLongName() override;
    std::string GetShortName() override;
    void ReceptFileDir(const std::string& Name) override;
    void ClearFileList() override;

protected:
    void RunDialog() override;
    bool MultipleSelect() const override;

private:
    std::unique_ptr<TOpenDialog> dialog_;
    TFileDialogKind dialog_kind_ = dkOpen;
};

class TDirectoryEdit : public TFileDirEdit {
public:
    explicit TDirectoryEdit(TComponent* AOwner);

    TDirDialogKind DialogKind() const { return dialog_kind_; }
    void SetDialogKind(TDirDialogKind v) { dialog_kind_ = v; }
    const std::string& DialogText() const { return dialog_text_; }
    void SetDialogText(const std::string& v) { dialog_text_ = v; }
    TSelectDirOpts DialogOptions() const { return dialog_options_; }
    void SetDialogOptions(TSelectDirOpts v) { dialog_options_ = v; }
    const std::string& InitialDir() const { return initial_dir_; }
    void SetInitialDir(const std::string& v) { initial_dir_ = v; }
    // Several folders in the text, separated by ";".
    bool MultipleDirs() const { return multiple_dirs_; }
    void SetMultipleDirs(bool v) { multiple_dirs_ = v; }

    std::string GetLongName() override;
    std::string GetShortName() override;
    void ReceptFileDir(const std::string& Name) override;

protected:
    void RunDialog() override;
    bool MultipleSelect() const override { return multiple_dirs_; }

private:
    std::string MapItems(bool Long);
    TDirDialogKind dialog_kind_ = dkVCL;
    std::string dialog_text_;
    TSelectDirOpts dialog_options_;
    std::string initial_dir_;
    bool multiple_dirs_ = false;
};

}  // namespace bramble
