// Forms, the application object, the screen and the hint window.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"

namespace bramble {

class TMainMenu;

// Modal results; the values of the platform's IDOK...IDNO where one exists.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                              mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO, mrAll = mrNo + 1,
                              mrNoToAll = mrAll + 1, mrYesToAll = mrNoToAll + 1;

enum TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormStyle : uint8_t { fsNormal, fsStayOnTop };
enum TPosition : uint8_t { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
enum TFormStateFlag : uint8_t { fsCreating, fsVisible, fsShowing, fsModal, fsActivated, fsCreatedMDIChild };
using TFormState = TSet<TFormStateFlag>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // Ends construction of a form built in code: every component made in the
    // constructor is told Loaded(), then OnCreate fires. TApplication::
    // CreateForm calls it; code that news a form itself calls it once.
    void AfterConstruction();
    // Fires OnDestroy and takes the window down while the whole object is
    // still alive. The application and Release call it before deleting.
    void BeforeDestruction();
    // Deletes a form the way the application does.
    static void Free(TCustomForm* Form);

    void Show();
    void Hide();
    // Shown until ModalResult is set; answered by the modal interceptor when
    // one is installed (tests).
    virtual int ShowModal();
    // The real modal loop, whatever interceptor is installed.
    int ExecuteModal();
    void Close();
    virtual bool CloseQuery();
    // Deletes the form once the messages already queued have run.
    void Release();

    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult v) { modal_result_ = v; }
    TFormBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TFormBorderStyle v);
    TBorderIcons BorderIcons() const { return border_icons_; }
    void SetBorderIcons(TBorderIcons v);
    TFormStyle FormStyle() const { return form_style_; }
    void SetFormStyle(TFormStyle v);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition v) { position_ = v; }
    TWindowState WindowState() const;
    void SetWindowState(TWindowState v);
    bool KeyPreview() const { return key_preview_; }
    void SetKeyPreview(bool v) { key_preview_ = v; }
    TWinControl* ActiveControl() const { return active_control_; }
    void SetActiveControl(TWinControl* v);
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* v);
    TIcon& Icon() { return icon_; }
    TFormState FormState() const { return form_state_; }
    bool Active() const { return active_; }
    TCanvas& Canvas() { return *canvas_; }

    // Called by controls when they receive the focus or go away.
    void FocusChanged(TWinControl* Control);
    void ControlGone(TWinControl* Control);
    // Moves the focus to the next (or previous) tab stop after CurControl.
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    // Clicks the main menu item (or a popup menu item owned by the form) with
    // this shortcut.
    virtual bool IsShortCut(WORD Key, TShiftState Shift);
    // Runs OnKeyDown of the form when KeyPreview is on; true when it ate the key.
    bool PreviewKeyDown(WORD& Key, TShiftState Shift);

    void SetVisible(bool v) override;
    void SetFocus() override;
    bool CanFocus() const override;
    TRect ClientRect() override;
    void SetClientSize(int W, int H) override;
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void PaintWindow(HDC DC) override;
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void Activate();
    virtual void Deactivate();
    virtual void DoClose(TCloseAction& Action);
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void CloseModal();
    void PlaceWindow();
    void UpdateMenu();
    TModalResult modal_result_ = mrNone;
    TFormBorderStyle border_style_ = bsSizeable;
    TBorderIcons border_icons_{biSystemMenu, biMinimize, biMaximize};
    TFormStyle form_style_ = fsNormal;
    TPosition position_ = poDesigned;
    TWindowState window_state_ = wsNormal;
    bool key_preview_ = false;
    TWinControl* active_control_ = nullptr;
    TMainMenu* menu_ = nullptr;
    TIcon icon_;
    TFormState form_state_;
    bool active_ = false;
    bool destroy_fired_ = false;
    bool placed_ = false;
    std::unique_ptr<TControlCanvas> canvas_;
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

// The small yellow window that shows a hint.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* AOwner);
    void ActivateHint(const TRect& R, const std::string& Hint);
    TRect CalcHintRect(int MaxWidth, const std::string& Hint);
    void ReleaseHandle();

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
};

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception_ptr& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;
// Answers help requests; true when it handled the request.
using THelpDispatcher = std::function<bool(UINT Command, ULONG_PTR Data)>;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // The hidden application window (owner of forms and timers).
    HWND Handle();
    void Initialize() {}
    // Creates a form owned by the application; the first becomes MainForm.
    template <typename T>
    T* CreateForm(T*& Reference) {
        T* f = new T(this);
        Reference = f;
        if (!main_form_) main_form_ = f;
        f->AfterConstruction();
        return f;
    }
    void Run();
    void ProcessMessages();
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Forgets a Terminate; for programs (tests) that run several loops.
    void ResetTerminated() { terminated_ = false; }

    TCustomForm* MainForm() const { return main_form_; }
    void SetMainForm(TCustomForm* v) { main_form_ = v; }
    bool ShowMainForm() const { return show_main_form_; }
    void SetShowMainForm(bool v) { show_main_form_ = v; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& v);
    const std::string& HelpFile() const { return help_file_; }
    void SetHelpFile(const std::string& v) { help_file_ = v; }
    std::string ExeName() const;
    bool Active() const { return active_; }

    // Help: the dispatcher when one is set, else the platform's help engine.
    bool HelpCommand(UINT Command, ULONG_PTR Data);
    bool HelpContext(int Context);
    THelpDispatcher HelpDispatcher;

    // Every exception caught at a system entry point ends here: OnException
    // when assigned, else ShowException.
    void HandleException(TObject* Sender, std::exception_ptr E);
    void ShowException(std::exception_ptr E);
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags);

    // Hints.
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v);
    bool ShowHint() const { return show_hint_; }
    void SetShowHint(bool v);
    int HintPause() const { return hint_pause_; }
    void SetHintPause(int v) { hint_pause_ = v; }
    int HintHidePause() const { return hint_hide_pause_; }
    void SetHintHidePause(int v) { hint_hide_pause_ = v; }
    TColor HintColor() const { return hint_color_; }
    void SetHintColor(TColor v) { hint_color_ = v; }
    void CancelHint();
    void HideHint();
    // Told by the controls when the mouse moves onto another control.
    void NoteMouseControl(TControl* Control);

    void BringToFront();
    void Minimize();
    void Restore();

    // Internal: forms register here and report activation of the program.
    void AddForm(TCustomForm* F);
    void RemoveForm(TCustomForm* F);
    void AppActivated(bool Active);

    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    TMessageEvent OnMessage;
    TNotifyEvent OnHint;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

private:
    friend LRESULT CALLBACK AppWndProc(HWND, UINT, WPARAM, LPARAM);
    bool ProcessMessage(MSG& Msg);
    bool IsKeyMsg(MSG& Msg);
    bool IsHintMsg(MSG& Msg);
    void Idle(const MSG& Msg);
    void HintTimerExpired();
    void HandleAppMessage(TMessage& Message);
    HWND handle_ = nullptr;
    TCustomForm* main_form_ = nullptr;
    bool show_main_form_ = true;
    bool terminated_ = false;
    bool active_ = false;
    std::string title_;
    std::string help_file_;
    std::string hint_;
    bool show_hint_ = true;
    int hint_pause_ = 500;
    int hint_hide_pause_ = 2500;
    TColor hint_color_ = clInfoBk;
    TControl* hint_control_ = nullptr;
    std::unique_ptr<THintWindow> hint_window_;
    bool hint_active_ = false;
    TAliveToken hint_token_;
};

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner);
    ~TScreen() override;

    int Width() const;
    int Height() const;
    int PixelsPerInch() const;
    // Bits per pixel times colour planes of the display.
    int BitsPerPixel() const;
    TRect WorkAreaRect() const;

    // An application-wide cursor (the hourglass while busy); crDefault lets
    // each control show its own.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor v);
    HCURSOR Cursors(TCursor Index);
    // Registers an application cursor under an id (e.g. 14000); the screen
    // destroys it at the end.
    void SetCursors(TCursor Index, HCURSOR Handle);

    int FormCount() const { return static_cast<int>(forms_.size()); }
    TCustomForm* Forms(int Index) const { return forms_[static_cast<size_t>(Index)]; }
    TCustomForm* ActiveForm() const { return active_form_; }
    TWinControl* ActiveControl() const;

private:
    friend class TCustomForm;
    friend class TApplication;
    TCursor cursor_ = crDefault;
    std::map<TCursor, HCURSOR> cursors_;
    std::vector<HCURSOR> own_cursors_;
    std::vector<TCustomForm*> forms_;
    TCustomForm* active_form_ = nullptr;
};

extern TApplication* Application;
extern TScreen* Screen;

// Frees the application object (its forms hear OnDestroy first) and the
// screen, and leaves both null. The program calls it before WinMain
// returns, while everything the forms' destroy handlers use still stands;
// whatever is left is freed at exit.
void DoneApplication();
// Runs Proc once the screen and application objects stand: at once when
// they already do, else right after they are made at start-up. Lets a
// library that is linked in set itself up at start without depending on
// the order the program's files are initialised in.
void RunAtStart(void (*Proc)());

// A hidden window whose messages go to Method (timers, the application).
// Method sets Message.Result and calls DefWindowProc itself where needed.
HWND AllocateHWnd(std::function<void(TMessage& Message)> Method);
void DeallocateHWnd(HWND Wnd);

// For the life of the object the calling thread's visible, enabled windows
// (all but Skip) take no input, as around a modal window that the platform
// runs itself (the shell's folder browser); afterwards they are enabled
// again and the window that was active is made active again.
class TTaskWindowsLock {
public:
    explicit TTaskWindowsLock(HWND Skip = nullptr);
    ~TTaskWindowsLock();
    TTaskWindowsLock(const TTaskWindowsLock&) = delete;
    TTaskWindowsLock& operator=(const TTaskWindowsLock&) = delete;

private:
    HWND was_active_ = nullptr;
    std::vector<HWND> disabled_;
};

// The first form up the parent chain, or null.
TCustomForm* GetParentForm(const TControl* Control);
// "Short|Long" hints: the part before and after the bar.
std::string GetShortHint(const std::string& Hint);
std::string GetLongHint(const std::string& Hint);

// A hook of the GUI thread shared by everyone who asks for the same kind:
// installed with the first registration, removed with the last. A callback
// returns true to swallow the event (the hook then answers 1).
using THookCallback = std::function<bool(int Code, WPARAM WParam, LPARAM LParam)>;
class TThreadHook {
public:
    TThreadHook(int IdHook, THookCallback Callback);
    ~TThreadHook();
    TThreadHook(const TThreadHook&) = delete;
    TThreadHook& operator=(const TThreadHook&) = delete;
    // How many registrations the hook of this kind has (for tests).
    static int Count(int IdHook);

private:
    int id_;
};

}  // namespace bramble
