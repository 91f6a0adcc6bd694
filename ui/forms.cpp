#include "ui/forms.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <utility>

#include "ui/actions.h"
#include "ui/dialogs.h"
#include "ui/menus.h"
#include "ui/msgdlg.h"

namespace bramble {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {



using UtilMethod = std::function<void(TMessage&)>;

LRESULT CALLBACK UtilWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* f = reinterpret_cast<UtilMethod*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!f) return DefWindowProcA(h, msg, w, l);
    TMessage m{msg, w, l, 0};
    try {
        (*f)(m);
    } catch (...) {
        HandleCallbackException(nullptr);
    }
    return m.Result;
}

const char* const kUtilClass = "Bramble.UtilWindow";

enum : UINT_PTR { kHintShowTimer = 1, kHintHideTimer = 2 };

}  // namespace

HWND AllocateHWnd(std::function<void(TMessage& Message)> Method) {
    static bool registered = false;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = UtilWndProc;
        wc.hInstance = inst;
        wc.lpszClassName = kUtilClass;
        if (!RegisterClassExA(&wc)) throw EOutOfResources(SWindowClass);
        registered = true;
    }
    HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst, nullptr);
    if (!h) throw EOutOfResources(SWindowCreate);
    SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new UtilMethod(std::move(Method))));
    return h;
}

void DeallocateHWnd(HWND Wnd) {
    if (!Wnd) return;
    auto* f = reinterpret_cast<UtilMethod*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
    DestroyWindow(Wnd);
    delete f;
}

TCustomForm* GetParentForm(const TControl* Control) {
    for (const TControl* c = Control; c; c = c->Parent())
        if (auto* f = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(f);
    return nullptr;
}

std::string GetShortHint(const std::string& Hint) {
    size_t p = Hint.find('|');
    return p == std::string::npos ? Hint : Hint.substr(0, p);
}

std::string GetLongHint(const std::string& Hint) {
    size_t p = Hint.find('|');
    return p == std::string::npos ? Hint : Hint.substr(p + 1);
}

// ---- TCustomForm --------------------------------------------------------------------------

// The application object a form belongs to: its owner when that is one.
static TApplication* AppOf(TCustomForm* f) {
    if (auto* a = dynamic_cast<TApplication*>(f->Owner())) return a;
    return Application;
}

TCustomForm::TCustomForm(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {
    form_state_.insert(fsCreating);
    // Controls made in the derived constructor are loading until
    // AfterConstruction tells them Loaded().
    BeginLoading();
    visible_ = false;
    parent_color_ = false;
    SetColor(clBtnFace);
    SetParentFont(false);
    SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 320, 240);
    if (Application) Application->AddForm(this);
    if (Screen) Screen->forms_.push_back(this);
}

TCustomForm::~TCustomForm() {
    Destroying();
    if (menu_) {
        menu_->SetWindowHandle(nullptr);
        menu_->RemoveFreeNotification(this);
        menu_ = nullptr;
    }
    if (Screen) {
        auto& l = Screen->forms_;
        l.erase(std::remove(l.begin(), l.end(), this), l.end());
        if (Screen->active_form_ == this) Screen->active_form_ = nullptr;
    }
    if (Application) Application->RemoveForm(this);
    active_control_ = nullptr;
    DestroyHandle();
}

void TCustomForm::AfterConstruction() {
    if (!form_state_.contains(fsCreating)) return;
    LoadedAll();
    form_state_.erase(fsCreating);
    DoCreate();
}

void TCustomForm::BeforeDestruction() {
    if (destroy_fired_) return;
    destroy_fired_ = true;
    try {
        DoDestroy();
    } catch (...) {
        HandleCallbackException(this);
    }
    Destroying();
    DestroyHandle();
}

void TCustomForm::Free(TCustomForm* Form) {
    if (!Form) return;
    Form->BeforeDestruction();
    delete Form;
}

void TCustomForm::DoCreate() {
    if (!OnCreate) return;
    // A failing create handler is an error like any other: the user sees it
    // and the form, made as far as the handler got, stays.
    try {
        OnCreate(this);
    } catch (...) {
        TApplication* app = AppOf(this);
        if (!app) throw;
        app->HandleException(this, std::current_exception());
    }
}

void TCustomForm::DoDestroy() {
    if (OnDestroy) OnDestroy(this);
}

void TCustomForm::DoShow() {
    if (OnShow && !Silent()) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide && !Silent()) OnHide(this);
}

void TCustomForm::Activate() {
    if (OnActivate && !Silent()) OnActivate(this);
}

void TCustomForm::Deactivate() {
    if (OnDeactivate && !Silent()) OnDeactivate(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose && !Silent()) OnClose(this, Action);
}

void TCustomForm::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.Style &= ~(WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    P.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    P.ExStyle = 0;
    switch (border_style_) {
        case bsNone: P.Style |= WS_POPUP; break;
        case bsSingle:
        case bsToolWindow: P.Style |= WS_CAPTION | WS_BORDER; break;
        case bsSizeable:
        case bsSizeToolWin: P.Style |= WS_CAPTION | WS_THICKFRAME; break;
        case bsDialog:
            P.Style |= WS_POPUP | WS_CAPTION;
            P.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
            break;
    }
    if (border_style_ == bsToolWindow || border_style_ == bsSizeToolWin) P.ExStyle |= WS_EX_TOOLWINDOW;
    if (border_style_ != bsNone && border_icons_.contains(biSystemMenu)) {
        P.Style |= WS_SYSMENU;
        bool small = border_style_ == bsDialog || border_style_ == bsToolWindow || border_style_ == bsSizeToolWin;
        if (!small) {
            if (border_icons_.contains(biMinimize)) P.Style |= WS_MINIMIZEBOX;
            if (border_icons_.contains(biMaximize)) P.Style |= WS_MAXIMIZEBOX;
        }
        if (border_icons_.contains(biHelp) && (small || !(P.Style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))))
            P.ExStyle |= WS_EX_CONTEXTHELP;
    }
    if (form_style_ == fsStayOnTop) P.ExStyle |= WS_EX_TOPMOST;
    if (position_ == poDefault) P.X = P.Y = static_cast<int>(CW_USEDEFAULT);
    // Forms other than the main one belong to it (or to the application's
    // window), so they stay above it and leave the task bar alone.
    if (!ParentWindow()) {
        TCustomForm* mf = Application ? Application->MainForm() : nullptr;
        if (mf && mf != this && mf->HandleAllocated())
            P.WndParent = mf->Handle();
        else if (mf != this && Application)
            P.WndParent = Application->Handle();
        else
            P.WndParent = nullptr;
    }
    P.WindowClass.style = CS_DBLCLKS;
    P.WindowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    if (!icon_.Empty()) SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Handle()));
    UpdateMenu();
}

void TCustomForm::UpdateMenu() {
    if (!HandleAllocated()) return;
    if (menu_) {
        menu_->SetWindowHandle(Handle());
        ::SetMenu(Handle(), menu_->Handle());
    } else {
        ::SetMenu(Handle(), nullptr);
    }
}

TRect TCustomForm::ClientRect() {
    if (HandleAllocated()) return TWinControl::ClientRect();
    TCreateParams P;
    CreateParams(P);
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, P.Style, menu_ != nullptr, P.ExStyle);
    return Rect(0, 0, std::max<int>(0, Width() - (r.right - r.left)), std::max<int>(0, Height() - (r.bottom - r.top)));
}

void TCustomForm::SetClientSize(int W, int H) {
    TRect c = ClientRect();
    SetBounds(Left(), Top(), W + (Width() - c.Width()), H + (Height() - c.Height()));
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
    if (v == border_icons_) return;
    border_icons_ = v;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle v) {
    if (v == form_style_) return;
    form_style_ = v;
    if (HandleAllocated())
        SetWindowPos(Handle(), v == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TCustomForm::WindowState() const {
    if (HandleAllocated() && Visible()) {
        HWND h = const_cast<TCustomForm*>(this)->Handle();
        if (IsIconic(h)) return wsMinimized;
        if (IsZoomed(h)) return wsMaximized;
        return wsNormal;
    }
    return window_state_;
}

void TCustomForm::SetWindowState(TWindowState v) {
    window_state_ = v;
    if (HandleAllocated() && Visible())
        ShowWindow(Handle(), v == wsMinimized ? SW_MINIMIZE : v == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TCustomForm::SetMenu(TMainMenu* v) {
    if (v == menu_) return;
    if (menu_) {
        menu_->SetWindowHandle(nullptr);
        menu_->RemoveFreeNotification(this);
    }
    menu_ = v;
    if (v) v->FreeNotification(this);
    UpdateMenu();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == menu_) {
        menu_ = nullptr;
        if (HandleAllocated() && !ComponentState().contains(csDestroying)) ::SetMenu(Handle(), nullptr);
    }
}

void TCustomForm::PlaceWindow() {
    if (placed_) return;
    placed_ = true;
    TRect area = Screen ? Screen->WorkAreaRect() : Rect(0, 0, 640, 480);
    TCustomForm* over = nullptr;
    if (position_ == poMainFormCenter || position_ == poOwnerFormCenter) {
        over = dynamic_cast<TCustomForm*>(Owner());
        if (!over || position_ == poMainFormCenter) over = Application ? Application->MainForm() : nullptr;
        if (over == this || (over && !over->Visible())) over = nullptr;
    }
    if (position_ == poScreenCenter || ((position_ == poMainFormCenter || position_ == poOwnerFormCenter) && !over)) {
        SetBounds(area.Left + (area.Width() - Width()) / 2, area.Top + (area.Height() - Height()) / 2, Width(),
                  Height());
    } else if (over) {
        SetBounds(over->Left() + (over->Width() - Width()) / 2, over->Top() + (over->Height() - Height()) / 2,
                  Width(), Height());
    }
}

void TCustomForm::SetVisible(bool v) {
    if (form_state_.contains(fsShowing)) throw EInvalidOperation(SVisibleChanged);
    if (v == Visible()) {
        if (v && HandleAllocated()) SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return;
    }
    // A form shown before AfterConstruction is finished first.
    if (v && ComponentState().contains(csLoading)) AfterConstruction();
    form_state_.insert(fsShowing);
    try {
        if (v) {
            DoShow();
            visible_ = true;
            HandleNeeded();
            PlaceWindow();
            int cmd = window_state_ == wsMaximized ? SW_SHOWMAXIMIZED
                      : window_state_ == wsMinimized ? SW_SHOWMINIMIZED
                                                     : SW_SHOWNORMAL;
            ShowWindow(Handle(), cmd);
            if (form_style_ == fsStayOnTop)
                SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        } else {
            DoHide();
            visible_ = false;
            if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
        }
    } catch (...) {
        form_state_.erase(fsShowing);
        throw;
    }
    form_state_.erase(fsShowing);
}

void TCustomForm::Show() {
    SetVisible(true);
    if (HandleAllocated()) SetForegroundWindow(Handle());
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CanFocus() const { return Visible() && Enabled() && HandleAllocated(); }

void TCustomForm::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation(SCannotFocus);
    SetForegroundWindow(Handle());
    if (active_control_ && active_control_->CanFocus())
        ::SetFocus(active_control_->Handle());
    else
        ::SetFocus(Handle());
}

void TCustomForm::SetActiveControl(TWinControl* v) {
    if (v == active_control_) return;
    if (v && (v == this || !ContainsControl(v))) throw EInvalidOperation(SCannotFocus);
    active_control_ = v;
    if (v && active_ && v->CanFocus()) ::SetFocus(v->Handle());
}

void TCustomForm::FocusChanged(TWinControl* Control) {
    if (Control == this) return;
    active_control_ = Control;
}

void TCustomForm::ControlGone(TWinControl* Control) {
    if (active_control_ && (active_control_ == Control || Control->ContainsControl(active_control_)))
        active_control_ = nullptr;
}

void TCustomForm::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return;
    int n = static_cast<int>(list.size());
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (list[static_cast<size_t>(i)] == CurControl) start = i;
    if (start < 0) start = GoForward ? n - 1 : 0;
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = GoForward ? (i + 1) % n : (i + n - 1) % n;
        TWinControl* c = list[static_cast<size_t>(i)];
        if (c == CurControl) continue;
        if (CheckTabStop && !c->TabStop()) continue;
        if (!c->CanFocus()) continue;
        c->SetFocus();
        return;
    }
}

bool TCustomForm::IsShortCut(WORD Key, TShiftState Shift) {
    TShortCut sc = ShortCut(Key, Shift);
    return menu_ && sc && menu_->IsShortCut(sc);
}

bool TCustomForm::PreviewKeyDown(WORD& Key, TShiftState Shift) {
    if (OnKeyDown && !Silent()) OnKeyDown(this, Key, Shift);
    return Key == 0;
}

bool TCustomForm::CloseQuery() {
    bool can = true;
    if (OnCloseQuery && !Silent()) OnCloseQuery(this, can);
    return can;
}

void TCustomForm::Close() {
    if (form_state_.contains(fsModal)) {
        modal_result_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    TApplication* app = AppOf(this);
    if (app && app->MainForm() == this) {
        app->Terminate();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        SetWindowState(wsMinimized);
    } else {
        Release();
    }
}

void TCustomForm::Release() {
    if (HandleAllocated()) PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

int TCustomForm::ShowModal() {
    if (Visible() || !Enabled() || form_state_.contains(fsModal)) throw EInvalidOperation(SShowModalVisible);
    if (TModalInterceptor* i = ModalInterceptor()) {
        modal_result_ = mrNone;
        form_state_.insert(fsModal);
        TAliveToken alive = AliveToken();
        int r;
        try {
            r = i->ShowModal(this);
        } catch (...) {
            if (alive.Alive()) form_state_.erase(fsModal);
            throw;
        }
        if (alive.Alive()) {
            form_state_.erase(fsModal);
            modal_result_ = r;
            if (Visible()) Hide();
        }
        return r;
    }
    return ExecuteModal();
}

namespace {
struct TaskWindows {
    HWND skip;
    std::vector<HWND> disabled;
};
BOOL CALLBACK DisableTaskWindow(HWND h, LPARAM l) {
    auto* t = reinterpret_cast<TaskWindows*>(l);
    return CallGuarded(nullptr, TRUE, [&] {
        if (h != t->skip && IsWindowVisible(h) && IsWindowEnabled(h)) {
            t->disabled.push_back(h);
            EnableWindow(h, FALSE);
        }
        return TRUE;
    });
}
}  // namespace

TTaskWindowsLock::TTaskWindowsLock(HWND Skip) : was_active_(GetActiveWindow()) {
    TaskWindows tw{Skip, {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&tw));
    disabled_ = std::move(tw.disabled);
}

TTaskWindowsLock::~TTaskWindowsLock() {
    for (HWND h : disabled_)
        if (IsWindow(h)) EnableWindow(h, TRUE);
    if (was_active_ && IsWindow(was_active_)) SetActiveWindow(was_active_);
}

int TCustomForm::ExecuteModal() {
    if (Visible() || !Enabled()) throw EInvalidOperation(SShowModalVisible);
    if (HWND cap = GetCapture()) {
        SendMessageA(cap, WM_CANCELMODE, 0, 0);
        ReleaseCapture();
    }
    TAliveToken alive = AliveToken();
    HandleNeeded();
    form_state_.insert(fsModal);
    HWND was_active = GetActiveWindow();
    TaskWindows tw{Handle(), {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&tw));
    // The windows the dialog disabled take input again before it hides:
    // hiding the active window activates the next one that can be, and a
    // disabled owner would hand the foreground to another program.
    auto enable = [&] {
        for (HWND h : tw.disabled)
            if (IsWindow(h)) EnableWindow(h, TRUE);
        tw.disabled.clear();
    };
    auto finish = [&] {
        if (alive.Alive()) form_state_.erase(fsModal);
        if (was_active && IsWindow(was_active)) SetActiveWindow(was_active);
    };
    try {
        Show();
        modal_result_ = mrNone;
        do {
            Application->HandleMessage();
            if (!alive.Alive()) break;
            if (Application->Terminated())
                modal_result_ = mrCancel;
            else if (modal_result_ != mrNone)
                CloseModal();
        } while (modal_result_ == mrNone);
        enable();
        if (alive.Alive()) Hide();
    } catch (...) {
        // Let the other windows take input again before the caller decides.
        enable();
        if (alive.Alive() && Visible()) {
            try {
                Hide();
            } catch (...) {
            }
        }
        finish();
        throw;
    }
    finish();
    return alive.Alive() ? modal_result_ : mrCancel;
}

void TCustomForm::CloseModal() {
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    switch (action) {
        case caNone: modal_result_ = mrNone; break;
        case caFree: Release(); break;
        default: break;
    }
}

void TCustomForm::PaintWindow(HDC DC) {
    canvas_->FreeHandle();
    canvas_->SetHandle(DC);
    struct Detach {
        TCanvas& c;
        ~Detach() { c.SetHandle(nullptr); }
    } detach{*canvas_};
    canvas_->Font().Assign(Font());
    canvas_->Brush().SetColor(Color());
    if (OnPaint && !Silent()) OnPaint(this);
}

void TCustomForm::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_ACTIVATE: {
            bool on = LOWORD(m.WParam) != WA_INACTIVE;
            DefaultHandler(m);
            if (on) {
                active_ = true;
                form_state_.insert(fsActivated);
                if (Screen) Screen->active_form_ = this;
                if (!HIWORD(m.WParam)) {
                    if (active_control_ && active_control_->CanFocus())
                        ::SetFocus(active_control_->Handle());
                    else if (!active_control_)
                        SelectNext(nullptr, true, true);
                }
                Activate();
            } else {
                active_ = false;
                Deactivate();
            }
            return;
        }
        case WM_ACTIVATEAPP:
            DefaultHandler(m);
            if (Application) Application->AppActivated(m.WParam != 0);
            return;
        case WM_CLOSE:
            Close();
            return;
        case CM_RELEASE:
            Free(this);
            return;
        case CM_DIALOGKEY: {
            WORD key = static_cast<WORD>(m.WParam);
            TShiftState shift = KeyboardShiftState();
            if (key == VK_TAB && !shift.contains(ssAlt) && !shift.contains(ssCtrl)) {
                SelectNext(active_control_, !shift.contains(ssShift), true);
                m.Result = 1;
                return;
            }
            break;  // Enter, Escape and the rest go to the controls
        }
        case WM_COMMAND:
            if (m.LParam == 0 && HIWORD(m.WParam) == 0) {
                UINT id = LOWORD(m.WParam);
                if ((menu_ && menu_->DispatchCommand(id)) || [&] {
                        TMenuItem* it = FindMenuItemByCommand(id);
                        if (it) it->Click();
                        return it != nullptr;
                    }())
                    return;
            }
            break;
        case WM_MENUSELECT:
            if (Application && !(HIWORD(m.WParam) & MF_POPUP)) {
                TMenuItem* it = FindMenuItemByCommand(LOWORD(m.WParam));
                Application->SetHint(it ? GetLongHint(it->Hint()) : std::string());
            }
            break;
        case WM_SYSCOMMAND:
            if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
                window_state_ = wsMinimized;
            }
            break;
        default:
            break;
    }
    TWinControl::WndProc(m);
}

// ---- THintWindow ---------------------------------------------------------------------------------

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    SetVisible(false);
    SetParentColor(false);
    SetParentFont(false);
    SetColor(clInfoBk);
    Font().SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    P.Style = WS_POPUP | WS_BORDER;
    P.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    P.WndParent = Application ? Application->Handle() : nullptr;
    P.WindowClass.style |= CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::string& Hint) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    RECT r{0, 0, MaxWidth, 0};
    DrawTextA(dc, Hint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return Rect(0, 0, r.right + 8, r.bottom + 4);
}

void THintWindow::ActivateHint(const TRect& R, const std::string& Hint) {
    SetCaption(Hint);
    SetBounds(R.Left, R.Top, R.Width(), R.Height());
    HandleNeeded();
    SetVisible(true);
    SetWindowPos(Handle(), HWND_TOPMOST, R.Left, R.Top, R.Width(), R.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void THintWindow::ReleaseHandle() { SetVisible(false); }

void THintWindow::Paint() {
    TRect r = ClientRect();
    Canvas().Brush().SetStyle(bsClear);
    RECT rr{r.Left + 3, r.Top + 2, r.Right - 2, r.Bottom};
    HDC dc = Canvas().Handle();
    Canvas().TextExtent("");  // puts font and colours into the context
    DrawTextA(dc, Caption().c_str(), -1, &rr, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

// ---- TApplication -----------------------------------------------------------------------------

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() {
    Destroying();
    KillTimer(handle_, kHintShowTimer);
    hint_window_.reset();
    // Forms hear OnDestroy while they are whole, newest first.
    std::vector<TCustomForm*> forms;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* f = dynamic_cast<TCustomForm*>(Components(i))) forms.push_back(f);
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) (*it)->BeforeDestruction();
    main_form_ = nullptr;
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
    if (handle_) {
        HWND h = handle_;
        handle_ = nullptr;
        DeallocateHWnd(h);
    }
}

HWND TApplication::Handle() {
    if (!handle_) {
        handle_ = AllocateHWnd([this](TMessage& m) { HandleAppMessage(m); });
        SetWindowTextA(handle_, title_.c_str());
    }
    return handle_;
}

void TApplication::HandleAppMessage(TMessage& m) {
    switch (m.Msg) {
        case WM_TIMER:
            if (m.WParam == kHintShowTimer) {
                KillTimer(handle_, kHintShowTimer);
                HintTimerExpired();
            } else if (m.WParam == kHintHideTimer) {
                HideHint();
            }
            return;
        case WM_ACTIVATEAPP:
            AppActivated(m.WParam != 0);
            break;
        case WM_CLOSE:
            if (main_form_) main_form_->Close();
            return;
        default:
            break;
    }
    m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
}

void TApplication::SetTitle(const std::string& v) {
    title_ = v;
    if (handle_) SetWindowTextA(handle_, v.c_str());
}

std::string TApplication::ExeName() const {
    char buf[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return buf;
}

void TApplication::AddForm(TCustomForm* F) {}

void TApplication::RemoveForm(TCustomForm* F) {
    if (main_form_ == F) main_form_ = nullptr;
}

void TApplication::Run() {
    if (main_form_ && show_main_form_) main_form_->Show();
    while (!terminated_) HandleMessage();
}

bool TApplication::ProcessMessage(MSG& Msg) {
    if (!PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (Msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool handled = false;
    if (OnMessage) CallGuarded(this, [&] { OnMessage(Msg, handled); });
    if (handled) return true;
    IsHintMsg(Msg);
    bool key = CallGuarded(this, false, [&] { return IsKeyMsg(Msg); });
    if (!key) {
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
    return true;
}

bool TApplication::IsKeyMsg(MSG& Msg) {
    UINT cn = 0;
    switch (Msg.message) {
        case WM_KEYDOWN: cn = CN_KEYDOWN; break;
        case WM_SYSKEYDOWN: cn = CN_SYSKEYDOWN; break;
        case WM_CHAR: cn = CN_CHAR; break;
        case WM_SYSCHAR: cn = CN_SYSCHAR; break;
        default: return false;
    }
    HWND w = GetCapture();
    if (!w) w = Msg.hwnd;
    TWinControl* c = nullptr;
    while (w && !(c = FindControl(w))) w = GetParent(w);
    if (!c) return false;
    return c->Perform(cn, Msg.wParam, Msg.lParam) != 0;
}

bool TApplication::IsHintMsg(MSG& Msg) {
    if (!hint_active_) return false;
    switch (Msg.message) {
        case WM_KEYDOWN: case WM_SYSKEYDOWN: case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN: case WM_ACTIVATE: case WM_ACTIVATEAPP:
            CancelHint();
            break;
        default: break;
    }
    return false;
}

void TApplication::Idle(const MSG&) {
    TControlCanvas::FreeDeviceContexts();
    CallGuarded(this, [] { UpdateActions(); });
    bool done = true;
    if (OnIdle) CallGuarded(this, [&] { OnIdle(this, done); });
    if (done) WaitMessage();
}

void TApplication::HandleMessage() {
    MSG msg{};
    if (!ProcessMessage(msg)) Idle(msg);
}

void TApplication::ProcessMessages() {
    MSG msg{};
    while (ProcessMessage(msg)) {
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(TObject* Sender, std::exception_ptr E) {
    if (OnException) {
        OnException(Sender, E);
    } else {
        ShowException(E);
    }
}

void TApplication::ShowException(std::exception_ptr E) {
    std::string msg = ExceptionMessage(E);
    if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
    MessageBox(msg, title_.empty() ? std::string("Error") : title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) {
    if (TModalInterceptor* i = ModalInterceptor()) return i->MessageBox(Text, Caption, Flags);
    HWND owner = GetActiveWindow();
    if (!owner && main_form_ && main_form_->HandleAllocated()) owner = main_form_->Handle();
    // Every window of the thread waits for the answer, as under a modal
    // form: floating tool windows are not the owner, and a command started
    // from one of them would run under the question.
    TTaskWindowsLock lock;
    return ::MessageBoxA(owner, WrapForMessageBox(Text).c_str(), Caption.c_str(), Flags);
}

bool TApplication::HelpCommand(UINT Command, ULONG_PTR Data) {
    if (HelpDispatcher) return HelpDispatcher(Command, Data);
    if (help_file_.empty()) return false;
    HWND owner = main_form_ && main_form_->HandleAllocated() ? main_form_->Handle() : Handle();
    return WinHelpA(owner, help_file_.c_str(), Command, Data) != FALSE;
}

bool TApplication::HelpContext(int Context) { return HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(Context)); }

void TApplication::SetHint(const std::string& v) {
    if (v == hint_) return;
    hint_ = v;
    if (OnHint) OnHint(this);
}

void TApplication::SetShowHint(bool v) {
    show_hint_ = v;
    if (!v) CancelHint();
}

void TApplication::HideHint() {
    if (handle_) KillTimer(handle_, kHintHideTimer);
    if (hint_window_) hint_window_->ReleaseHandle();
    hint_active_ = false;
}

void TApplication::CancelHint() {
    HideHint();
    if (handle_) KillTimer(handle_, kHintShowTimer);
}

static std::string HintOf(TControl* c) {
    for (; c; c = c->Parent())
        if (!c->Hint().empty()) return c->Hint();
    return {};
}

void TApplication::NoteMouseControl(TControl* Control) {
    if (Control == hint_control_ && hint_token_.Alive()) return;
    CancelHint();
    hint_control_ = Control;
    hint_token_ = Control ? Control->AliveToken() : TAliveToken();
    std::string h = Control ? HintOf(Control) : std::string();
    SetHint(GetLongHint(h));
    if (Control && show_hint_ && Control->ShowHint() && !GetShortHint(h).empty())
        SetTimer(Handle(), kHintShowTimer, static_cast<UINT>(hint_pause_), nullptr);
}

void TApplication::HintTimerExpired() {
    if (!hint_control_ || !hint_token_.Alive()) return;
    std::string text = GetShortHint(HintOf(hint_control_));
    if (text.empty()) return;
    if (!hint_window_) hint_window_ = std::make_unique<THintWindow>(nullptr);
    hint_window_->SetColor(hint_color_);
    POINT p{};
    GetCursorPos(&p);
    TRect r = hint_window_->CalcHintRect(Screen ? Screen->Width() : 640, text);
    int x = p.x, y = p.y + 20;
    if (Screen) {
        if (x + r.Width() > Screen->Width()) x = Screen->Width() - r.Width();
        if (y + r.Height() > Screen->Height()) y = p.y - r.Height() - 2;
    }
    hint_window_->ActivateHint(Bounds(x, y, r.Width(), r.Height()), text);
    hint_active_ = true;
    SetTimer(Handle(), kHintHideTimer, static_cast<UINT>(hint_hide_pause_), nullptr);
}

void TApplication::AppActivated(bool Active) {
    if (Active == active_) return;
    active_ = Active;
    if (!Active) CancelHint();
    TNotifyEvent& e = Active ? OnActivate : OnDeactivate;
    if (e) e(this);
}

void TApplication::BringToFront() {
    if (main_form_ && main_form_->HandleAllocated()) SetForegroundWindow(main_form_->Handle());
}

void TApplication::Minimize() {
    if (main_form_ && main_form_->HandleAllocated()) ShowWindow(main_form_->Handle(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (main_form_ && main_form_->HandleAllocated()) ShowWindow(main_form_->Handle(), SW_RESTORE);
}

// ---- TScreen ---------------------------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen() {
    for (HCURSOR c : own_cursors_) DestroyCursor(c);
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

int TScreen::PixelsPerInch() const {
    HDC dc = GetDC(nullptr);
    int v = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return v;
}

int TScreen::BitsPerPixel() const {
    HDC dc = GetDC(nullptr);
    int v = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return v;
}

TRect TScreen::WorkAreaRect() const {
    RECT r{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return Rect(0, 0, Width(), Height());
    return {r.left, r.top, r.right, r.bottom};
}

HCURSOR TScreen::Cursors(TCursor Index) {
    auto it = cursors_.find(Index);
    if (it != cursors_.end()) return it->second;
    LPCSTR id = nullptr;
    switch (Index) {
        case crNone: return nullptr;
        case crDefault: case crArrow: id = reinterpret_cast<LPCSTR>(IDC_ARROW); break;
        case crCross: id = reinterpret_cast<LPCSTR>(IDC_CROSS); break;
        case crIBeam: id = reinterpret_cast<LPCSTR>(IDC_IBEAM); break;
        case crSizeNESW: id = reinterpret_cast<LPCSTR>(IDC_SIZENESW); break;
        case crSizeNS: case crVSplit: id = reinterpret_cast<LPCSTR>(IDC_SIZENS); break;
        case crSizeNWSE: id = reinterpret_cast<LPCSTR>(IDC_SIZENWSE); break;
        case crSizeWE: case crHSplit: id = reinterpret_cast<LPCSTR>(IDC_SIZEWE); break;
        case crUpArrow: id = reinterpret_cast<LPCSTR>(IDC_UPARROW); break;
        case crHourGlass: id = reinterpret_cast<LPCSTR>(IDC_WAIT); break;
        case crNo: case crNoDrop: id = reinterpret_cast<LPCSTR>(IDC_NO); break;
        case crAppStart: id = reinterpret_cast<LPCSTR>(IDC_APPSTARTING); break;
        case crHelp: id = reinterpret_cast<LPCSTR>(IDC_HELP); break;
        case crHandPoint: id = reinterpret_cast<LPCSTR>(32649); break;
        case crSizeAll: id = reinterpret_cast<LPCSTR>(IDC_SIZEALL); break;
        default: id = reinterpret_cast<LPCSTR>(IDC_ARROW); break;
    }
    HCURSOR h = LoadCursorA(nullptr, id);
    if (!h) h = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    return h;
}

void TScreen::SetCursors(TCursor Index, HCURSOR Handle) {
    cursors_[Index] = Handle;
    if (Handle && std::find(own_cursors_.begin(), own_cursors_.end(), Handle) == own_cursors_.end())
        own_cursors_.push_back(Handle);
}

void TScreen::SetCursor(TCursor v) {
    if (v == cursor_) return;
    cursor_ = v;
    if (v == crDefault) {
        // Let the window under the mouse choose again.
        POINT p{};
        GetCursorPos(&p);
        HWND h = WindowFromPoint(p);
        if (h && GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId()) {
            LRESULT code = SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
            SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(code, WM_MOUSEMOVE));
            return;
        }
    }
    ::SetCursor(Cursors(v));
}

TWinControl* TScreen::ActiveControl() const { return active_form_ ? active_form_->ActiveControl() : nullptr; }

// ---- TThreadHook --------------------------------------------------------------------------------

namespace {

struct HookSlot {
    HHOOK hook = nullptr;
    std::vector<std::pair<TThreadHook*, THookCallback>> callbacks;
};

constexpr int kHookMin = -1, kHookMax = 14;
HookSlot g_hooks[kHookMax - kHookMin + 1];

template <int Id>
LRESULT CALLBACK HookProc(int code, WPARAM w, LPARAM l) {
    HookSlot& slot = g_hooks[Id - kHookMin];
    if (code < 0) return CallNextHookEx(slot.hook, code, w, l);
    bool eat = false;
    auto list = slot.callbacks;  // a callback may register or unregister
    for (auto& [owner, cb] : list) {
        bool still = false;
        for (auto& e : slot.callbacks)
            if (e.first == owner) still = true;
        if (!still) continue;
        if (CallGuarded(nullptr, false, [&] { return cb(code, w, l); })) eat = true;
    }
    if (eat) return 1;
    return CallNextHookEx(slot.hook, code, w, l);
}

template <int... Ids>
constexpr auto MakeProcs(std::integer_sequence<int, Ids...>) {
    return std::array<HOOKPROC, sizeof...(Ids)>{HookProc<Ids + kHookMin>...};
}

const auto g_hook_procs = MakeProcs(std::make_integer_sequence<int, kHookMax - kHookMin + 1>{});

}  // namespace

TThreadHook::TThreadHook(int IdHook, THookCallback Callback) : id_(IdHook) {
    if (IdHook < kHookMin || IdHook > kHookMax) throw EInvalidOperation("Unknown hook kind");
    HookSlot& slot = g_hooks[IdHook - kHookMin];
    if (!slot.hook) {
        slot.hook = SetWindowsHookExA(IdHook, g_hook_procs[static_cast<size_t>(IdHook - kHookMin)], nullptr,
                                      GetCurrentThreadId());
        if (!slot.hook) throw EOutOfResources("Cannot install hook");
    }
    slot.callbacks.emplace_back(this, std::move(Callback));
}

TThreadHook::~TThreadHook() {
    HookSlot& slot = g_hooks[id_ - kHookMin];
    auto& l = slot.callbacks;
    l.erase(std::remove_if(l.begin(), l.end(), [this](auto& e) { return e.first == this; }), l.end());
    if (l.empty() && slot.hook) {
        UnhookWindowsHookEx(slot.hook);
        slot.hook = nullptr;
    }
}

int TThreadHook::Count(int IdHook) {
    if (IdHook < kHookMin || IdHook > kHookMax) return 0;
    return static_cast<int>(g_hooks[IdHook - kHookMin].callbacks.size());
}

void DoneApplication() {
    if (Application) {
        // Deleted while still reachable: forms going away report through it.
        delete Application;
        Application = nullptr;
    }
    if (Screen) {
        delete Screen;
        Screen = nullptr;
    }
}

namespace {
// A function's own static: it stands whichever file registers first.
std::vector<void (*)()>& StartProcs() {
    static std::vector<void (*)()> procs;
    return procs;
}
bool g_started = false;
}  // namespace

void RunAtStart(void (*Proc)()) {
    if (g_started && Screen) {
        Proc();
        return;
    }
    StartProcs().push_back(Proc);
}

// The application and screen objects live from start-up to exit; defined
// last so they go first at exit, while everything above still stands. The
// program frees them itself before it returns (DoneApplication): statics of
// other files may be gone by then.
namespace {
struct GlobalObjects {
    GlobalObjects() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                 ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        Screen = new TScreen(nullptr);
        Application = new TApplication(nullptr);
        SetCallbackExceptionHandler([](TObject* Sender, std::exception_ptr E) {
            if (Application) Application->HandleException(Sender, E);
        });
        g_started = true;
        for (void (*proc)() : StartProcs()) proc();
        StartProcs().clear();
    }
    ~GlobalObjects() {
        try {
            DoneApplication();
            SetCallbackExceptionHandler(nullptr);
        } catch (...) {
        }
    }
};
GlobalObjects g_globals;
}  // namespace

}  // namespace bramble
