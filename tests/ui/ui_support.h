// Helpers for driving the window layer in-process: scripted answers for
// everything modal, message pumping, and window screenshots.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <string>

#include "ui/dialogs.h"
#include "ui/forms.h"

namespace bramble::test {

// Answers message dialogs, message boxes, input boxes, file dialogs and
// ShowModal from a queue of expectations, in order. A question nobody
// expected, or one of the wrong kind, fails the test and gets a cancel.
class ScriptedModals : public TModalInterceptor {
public:
    ScriptedModals();
    ~ScriptedModals() override;

    // The message must contain Text; the dialog answers Result.
    ScriptedModals& ExpectMessage(const std::string& Text, int Result);
    ScriptedModals& ExpectInput(std::string Answer);         // OK with this text
    ScriptedModals& ExpectInputCancel();
    // The form is handed to Drive, which returns the modal result.
    ScriptedModals& ExpectForm(std::function<int(TCustomForm*)> Drive);
    ScriptedModals& ExpectFileDialog(std::string FileName);  // empty: cancelled

    int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) override;
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) override;
    bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override;
    int ShowModal(TCustomForm* Form) override;
    bool ExecuteFileDialog(TOpenDialog* Dialog, bool Save) override;

    // What the questions said, in order ("caption: text" for boxes).
    std::vector<std::string> Asked;
    int Pending() const { return static_cast<int>(script_.size()); }

private:
    enum Kind { kMessage, kInput, kForm, kFile };
    struct Step {
        Kind kind;
        std::string text;
        int result = 0;
        bool ok = true;
        std::function<int(TCustomForm*)> drive;
    };
    bool Next(Kind k, const std::string& what, Step& out);
    std::deque<Step> script_;
    TModalInterceptor* previous_;
};

// Runs the queued messages until none are left (and a little longer, for
// posted follow-ups), without blocking.
void Pump(int Rounds = 3);

// A shown top-level window of another thread, which to the system's
// activation is another program's: hiding an active window may hand it the
// foreground.
class OtherProgramWindow {
public:
    OtherProgramWindow();
    ~OtherProgramWindow();
    HWND Handle() const { return wnd_; }

private:
    static DWORD WINAPI Run(LPVOID Self);
    HANDLE thread_ = nullptr;
    DWORD thread_id_ = 0;
    HANDLE ready_ = nullptr;
    HWND wnd_ = nullptr;
};

// Catches exceptions that reach the application's handler during a test.
class ExceptionCatcher {
public:
    ExceptionCatcher();
    ~ExceptionCatcher();
    std::vector<std::string> Messages;

private:
    TExceptionEvent previous_;
};

// Where test artifacts go (screenshots), in the platform's path form.
std::string ArtifactsDir();
// Renders a control's window (WM_PRINT) into a bitmap of its size.
void RenderWindow(TWinControl& Control, TBitmap& Into);
// Copies what the window shows on the display (frame included) into a
// bitmap: Wine's WM_PRINT leaves out frames and push buttons.
void GrabWindow(TWinControl& Control, TBitmap& Into);
// Saves the window as .bmp files: Name as shown on the display, and Name
// with "-print" before the extension as rendered through WM_PRINT.
// Returns the path of the first.
std::string SaveScreenshot(TWinControl& Control, const std::string& Name);
// Colour of a pixel of a rendered bitmap (x from the left, y from the top).
COLORREF PixelAt(TBitmap& B, int X, int Y);

}  // namespace bramble::test
