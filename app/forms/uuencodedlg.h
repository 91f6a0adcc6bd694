// The UUEncode / XXEncode dialog: which file to encode, where the text
// goes, the method, the part size and the decode table. "Ok" hands these
// to the main window's encoder; the encoding itself is not started here.
#pragma once

#include <functional>
#include <string>

#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

class TUUEncode;

// The largest part size in kilobytes: about 16 lines are written per
// kilobyte, and the line count of a part must stay a 32-bit number.
inline constexpr int kMaxKBytesPerVolume = 0x7FFFFFFF / 16;

// The part size typed: empty is 0; anything but digits, or above the
// limit, is refused (false).
bool ParseKBytesPerVolume(const std::string& Text, int& KBytes);

// The same file, whatever the case, relative parts or separators.
bool SameFilePath(const std::string& A, const std::string& B);

class TfrmUUEncode : public TForm {
public:
    explicit TfrmUUEncode(TComponent* AOwner);

    TLabel *Label1, *Label2, *Label3;
    TEdit* Edit1;  // the file to encode
    TButton* BitBtn1;
    TEdit* Edit2;  // the text file to write
    TButton* btnSelectDir;
    TRadioGroup* RadioGroup1;
    TEdit* Edit3;  // kilobytes per part, 0 for one file
    TCheckBox* CheckBox1;
    TButton *BttnOk, *BttnCancel, *BttnHelp;

    // The encoder "Ok" sets up (the main window's).
    TUUEncode* Encoder = nullptr;
    // Asks for a folder starting at Start; false when cancelled. The
    // folder form unless a test sets its own.
    std::function<bool(const std::string& Start, std::string& Folder)> ChooseFolder;

    void FormActivate(TObject* Sender);
    void Edit1Change(TObject* Sender);
    void BitBtn1Click(TObject* Sender);
    void btnSelectDirClick(TObject* Sender);
    void btnOKClick(TObject* Sender);
    void BttnHelpClick(TObject* Sender);

private:
    // Says that input and output are one file and empties both; true when
    // they were.
    bool RefuseSameFile();
    // Set when the dialog is shown: its first activation fills the names.
    bool refillNames_ = true;
};

extern TfrmUUEncode* frmUUEncode;

}  // namespace bramble
