#include "ui/tooltipctl.h"

#include <commctrl.h>

#include <vector>

namespace bramble {

TToolTipControl::TToolTipControl(HWND Owner, int MaxTipWidth) : owner_(Owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Owner, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
    if (tip_) SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, MaxTipWidth);
}

TToolTipControl::~TToolTipControl() {
    if (tip_) DestroyWindow(tip_);
}

void TToolTipControl::AddTool(UINT_PTR Id, const RECT& Rect, const std::string& Text) {
    if (!tip_) return;
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = owner_;
    ti.uId = Id;
    ti.rect = Rect;
    ti.hinst = GetModuleHandleA(nullptr);
    ti.lpszText = const_cast<char*>(Text.c_str());
    SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void TToolTipControl::RelayMouseMove(POINT Pt) {
    if (!tip_) return;
    MSG m{};
    m.hwnd = owner_;
    m.message = WM_MOUSEMOVE;
    m.lParam = MAKELPARAM(Pt.x, Pt.y);
    m.pt = Pt;
    ClientToScreen(owner_, &m.pt);
    m.time = GetMessageTime();
    SendMessageA(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void TToolTipControl::Activate(bool On) {
    if (tip_) SendMessageA(tip_, TTM_ACTIVATE, On ? TRUE : FALSE, 0);
}

int TToolTipControl::ToolCount() const {
    return tip_ ? static_cast<int>(SendMessageA(tip_, TTM_GETTOOLCOUNT, 0, 0)) : 0;
}

std::string TToolTipControl::ToolTextAt(POINT Pt) const {
    if (!tip_) return {};
    TTHITTESTINFOA hit{};
    hit.hwnd = owner_;
    hit.pt = Pt;
    hit.ti.cbSize = TTTOOLINFOA_V1_SIZE;
    if (!SendMessageA(tip_, TTM_HITTESTA, 0, reinterpret_cast<LPARAM>(&hit))) return {};
    // The tool's text, read with a bounded buffer.
    std::vector<char> buf(1024, '\0');
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = owner_;
    ti.uId = hit.ti.uId;
    ti.lpszText = buf.data();
    SendMessageA(tip_, TTM_GETTEXTA, buf.size(), reinterpret_cast<LPARAM>(&ti));
    buf.back() = '\0';
    return std::string(buf.data());
}

}  // namespace bramble
