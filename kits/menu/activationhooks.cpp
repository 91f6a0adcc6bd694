#include "kits/menu/menustate.h"

namespace bramble {

namespace {

HHOOK g_cbt = nullptr, g_call = nullptr;
int g_refs = 0;

// Posted, never handled inside the hook: the bars look at the windows once
// the change is done.
void PostToBarsOf(HWND Wnd, UINT Msg, WPARAM W) {
    if (!Wnd) return;
    for (TMenuBarLink* b : MenuBars()) {
        HWND bar = b->BarHandle();
        if (!bar) continue;
        HWND root = GetAncestor(bar, GA_ROOT);
        if (Wnd == root || IsChild(root, Wnd)) PostMessage(bar, Msg, W, 0);
    }
}

LRESULT CALLBACK CbtHook(int Code, WPARAM W, LPARAM L) {
    if (Code >= 0) {
        auto wnd = reinterpret_cast<HWND>(W);
        bool document = Code == HCBT_DESTROYWND && (GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_MDICHILD);
        if (Code == HCBT_MINMAX || Code == HCBT_SETFOCUS || document) PostToBarsOf(wnd, LFM_MENUCHANGED, lfmMDIChanged);
    }
    return CallNextHookEx(g_cbt, Code, W, L);
}

LRESULT CALLBACK CallWndProcHook(int Code, WPARAM W, LPARAM L) {
    if (Code >= 0) {
        const auto* cw = reinterpret_cast<const CWPSTRUCT*>(L);
        if (cw->message == WM_ACTIVATE) PostToBarsOf(cw->hwnd, LFM_ACTIVATION, LOWORD(cw->wParam) != WA_INACTIVE);
        else if (cw->message == WM_ACTIVATEAPP) PostToBarsOf(cw->hwnd, LFM_ACTIVATION, LOWORD(cw->wParam));
    }
    return CallNextHookEx(g_call, Code, W, L);
}

}  // namespace

void InstallActivationHooks() {
    if (g_refs++ > 0) return;
    // A hook that cannot be had leaves the bars without its notices.
    g_cbt = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    g_call = SetWindowsHookExA(WH_CALLWNDPROC, CallWndProcHook, nullptr, GetCurrentThreadId());
}

void RemoveActivationHooks() {
    if (g_refs == 0 || --g_refs > 0) return;
    if (g_cbt) UnhookWindowsHookEx(g_cbt);
    if (g_call) UnhookWindowsHookEx(g_call);
    g_cbt = g_call = nullptr;
}

}  // namespace bramble
