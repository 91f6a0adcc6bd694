#include "ui/mdi.h"

#include <algorithm>

namespace bramble {

namespace {
// Window menu commands would start here; the frame has no window menu.
constexpr UINT kFirstChildId = 0xFF00;
constexpr int kClientId = 0xCAC;
}  // namespace

TCustomForm* TMDIFrameForm::ActiveMDIChild() const {
    HWND client = ClientHandle();
    if (!client) return nullptr;
    auto child = reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0));
    return child ? dynamic_cast<TCustomForm*>(FindControl(child)) : nullptr;
}

bool TMDIFrameForm::ActiveChildMaximized() const {
    HWND client = ClientHandle();
    if (!client) return false;
    BOOL maximized = FALSE;
    auto child = reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized)));
    return child && maximized;
}

void TMDIFrameForm::CreateWnd() {
    TForm::CreateWnd();
    CLIENTCREATESTRUCT ccs{nullptr, kFirstChildId};
    client_ = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL,
                              0, 0, 0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClientId)),
                              GetModuleHandleA(nullptr), &ccs);
    if (!client_) throw EOutOfResources(SWindowCreate);
    Realign();
}

void TMDIFrameForm::DefaultHandler(TMessage& M) {
    // The client keeps the place the aligned controls leave it; the frame
    // procedure would stretch it over the whole client area.
    if (!HandleAllocated() || !ClientHandle() || M.Msg == WM_SIZE) {
        TForm::DefaultHandler(M);
        return;
    }
    M.Result = DefFrameProcA(Handle(), client_, M.Msg, M.WParam, M.LParam);
}

void TMDIFrameForm::AlignControls(TControl* AControl, TRect& R) {
    TForm::AlignControls(AControl, R);
    if (HWND client = ClientHandle())
        MoveWindow(client, R.Left, R.Top, std::max(R.Width(), 0), std::max(R.Height(), 0), TRUE);
}

TMDIChildForm::TMDIChildForm(TComponent* AOwner, TMDIFrameForm* Frame) : TForm(AOwner), frame_(Frame) {
    if (frame_) frame_->FreeNotification(this);
}

void TMDIChildForm::Notification(TComponent* AComponent, TOperation Operation) {
    TForm::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == frame_) frame_ = nullptr;
}

void TMDIChildForm::CreateParams(TCreateParams& P) {
    TForm::CreateParams(P);
    P.Style &= ~WS_POPUP;
    P.Style |= WS_CHILD | WS_CLIPSIBLINGS;
    P.ExStyle |= WS_EX_MDICHILD;
    P.WndParent = frame_ ? frame_->ClientHandle() : nullptr;
}

void TMDIChildForm::CreateWnd() {
    if (frame_) frame_->HandleNeeded();
    TForm::CreateWnd();
}

void TMDIChildForm::DestroyWnd() {
    // The client picks the next active child and drops a maximised state.
    HWND client = frame_ ? frame_->ClientHandle() : nullptr;
    if (client && HandleAllocated()) SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(Handle()), 0);
    TForm::DestroyWnd();
}

void TMDIChildForm::DefaultHandler(TMessage& M) {
    if (!HandleAllocated()) return;
    M.Result = DefMDIChildProcA(Handle(), M.Msg, M.WParam, M.LParam);
}

void TMDIChildForm::DoClose(TCloseAction& Action) {
    if (Action == caHide) Action = caFree;
    TForm::DoClose(Action);
}

}  // namespace bramble
