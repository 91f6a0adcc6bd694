#include "ui_support.h"

#include <cstdlib>

namespace bramble::test {

ScriptedModals::ScriptedModals() { previous_ = SetModalInterceptor(this); }

ScriptedModals::~ScriptedModals() {
    SetModalInterceptor(previous_);
    EXPECT_TRUE(script_.empty()) << script_.size() << " expected question(s) never came";
}

ScriptedModals& ScriptedModals::ExpectMessage(const std::string& Text, int Result) {
    script_.push_back({kMessage, Text, Result, true, nullptr});
    return *this;
}

ScriptedModals& ScriptedModals::ExpectInput(std::string Answer) {
    script_.push_back({kInput, std::move(Answer), 0, true, nullptr});
    return *this;
}

ScriptedModals& ScriptedModals::ExpectInputCancel() {
    script_.push_back({kInput, "", 0, false, nullptr});
    return *this;
}

ScriptedModals& ScriptedModals::ExpectForm(std::function<int(TCustomForm*)> Drive) {
    script_.push_back({kForm, "", 0, true, std::move(Drive)});
    return *this;
}

ScriptedModals& ScriptedModals::ExpectFileDialog(std::string FileName) {
    script_.push_back({kFile, std::move(FileName), 0, true, nullptr});
    return *this;
}

bool ScriptedModals::Next(Kind k, const std::string& what, Step& out) {
    Asked.push_back(what);
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected modal question: " << what;
        return false;
    }
    if (script_.front().kind != k) {
        ADD_FAILURE() << "modal question of another kind than expected: " << what;
        script_.pop_front();
        return false;
    }
    out = script_.front();
    script_.pop_front();
    return true;
}

int ScriptedModals::MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons) {
    Step s;
    if (!Next(kMessage, MsgDlgCaption(DlgType) + ": " + Msg, s)) return mrCancel;
    EXPECT_NE(Msg.find(s.text), std::string::npos) << "message \"" << Msg << "\" lacks \"" << s.text << "\"";
    return s.result;
}

int ScriptedModals::MessageBox(const std::string& Text, const std::string& Caption, UINT) {
    Step s;
    if (!Next(kMessage, Caption + ": " + Text, s)) return IDCANCEL;
    EXPECT_NE(Text.find(s.text), std::string::npos) << "message \"" << Text << "\" lacks \"" << s.text << "\"";
    return s.result;
}

bool ScriptedModals::InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
    Step s;
    if (!Next(kInput, Caption + ": " + Prompt, s)) return false;
    if (s.ok) Value = s.text;
    return s.ok;
}

int ScriptedModals::ShowModal(TCustomForm* Form) {
    Step s;
    if (!Next(kForm, "form: " + Form->Caption(), s)) return mrCancel;
    return s.drive ? s.drive(Form) : mrOk;
}

bool ScriptedModals::ExecuteFileDialog(TOpenDialog* Dialog, bool Save) {
    Step s;
    if (!Next(kFile, std::string(Save ? "save: " : "open: ") + Dialog->Title(), s)) return false;
    if (s.text.empty()) return false;
    Dialog->SetFileName(s.text);
    Dialog->Files().Clear();
    Dialog->Files().Add(s.text);
    return true;
}

void Pump(int Rounds) {
    for (int i = 0; i < Rounds; ++i) {
        Application->ProcessMessages();
        Sleep(1);
    }
}

DWORD WINAPI OtherProgramWindow::Run(LPVOID p) {
    auto* self = static_cast<OtherProgramWindow*>(p);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Bramble.OtherProgram";
    RegisterClassA(&wc);  // fails harmlessly when already there
    self->wnd_ = CreateWindowExA(0, wc.lpszClassName, "Other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(self->ready_);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
    if (IsWindow(self->wnd_)) DestroyWindow(self->wnd_);
    return 0;
}

OtherProgramWindow::OtherProgramWindow() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &thread_id_);
    WaitForSingleObject(ready_, 5000);
}

OtherProgramWindow::~OtherProgramWindow() {
    PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(ready_);
}

ExceptionCatcher::ExceptionCatcher() : previous_(Application->OnException) {
    Application->OnException = [this](TObject*, const std::exception_ptr& E) {
        Messages.push_back(ExceptionMessage(E));
    };
}

ExceptionCatcher::~ExceptionCatcher() { Application->OnException = previous_; }

std::string ArtifactsDir() {
    std::string d;
    if (const char* e = std::getenv("BRAMBLE_ARTIFACTS")) d = e;
#ifdef BRAMBLE_ARTIFACTS_DEFAULT
    if (d.empty()) d = BRAMBLE_ARTIFACTS_DEFAULT;
#endif
    if (!d.empty() && d[0] == '/') {
        for (char& c : d)
            if (c == '/') c = '\\';
        d = "Z:" + d;
    }
    CreateDirectoryA(d.c_str(), nullptr);
    return d;
}

void RenderWindow(TWinControl& Control, TBitmap& Into) {
    RECT r{};
    GetWindowRect(Control.Handle(), &r);
    Into.SetSize(r.right - r.left, r.bottom - r.top);
    TCanvas& c = Into.Canvas();
    c.Brush().SetColor(clFuchsia);
    c.FillRect(Rect(0, 0, Into.Width(), Into.Height()));
    Control.PaintTo(c.Handle(), 0, 0);
    GdiFlush();
}

void GrabWindow(TWinControl& Control, TBitmap& Into) {
    HWND h = Control.Handle();
    RECT r{};
    GetWindowRect(h, &r);
    Into.SetSize(r.right - r.left, r.bottom - r.top);
    HDC wdc = GetWindowDC(h);
    BitBlt(Into.Canvas().Handle(), 0, 0, Into.Width(), Into.Height(), wdc, 0, 0, SRCCOPY);
    ReleaseDC(h, wdc);
    GdiFlush();
}

std::string SaveScreenshot(TWinControl& Control, const std::string& Name) {
    std::string dir = ArtifactsDir() + "\\";
    TBitmap shown;
    GrabWindow(Control, shown);
    shown.SaveToFile(dir + Name);
    TBitmap printed;
    RenderWindow(Control, printed);
    std::string stem = Name.substr(0, Name.rfind('.'));
    printed.SaveToFile(dir + stem + "-print.bmp");
    return dir + Name;
}

COLORREF PixelAt(TBitmap& B, int X, int Y) {
    return static_cast<COLORREF>(B.Canvas().Pixel(X, Y));
}

}  // namespace bramble::test
