#include "kits/menu/tooltip.h"

namespace bramble {

// Long hints wrap rather than run across the screen.
constexpr int kMaxTipWidth = 220;

T_LFM_ToolTipWindow::T_LFM_ToolTipWindow(HWND Owner) : control_(Owner, kMaxTipWidth) { control_.Activate(false); }

void T_LFM_ToolTipWindow::AddTool(const RECT& Rect, const std::string& Text) { control_.AddTool(next_id_++, Rect, Text); }

void T_LFM_ToolTipWindow::RelayMouseMove(POINT Pt) { control_.RelayMouseMove(Pt); }

void T_LFM_ToolTipWindow::Activate() {
    if (active_) return;
    active_ = true;
    control_.Activate(true);
}

void T_LFM_ToolTipWindow::Deactivate() {
    if (!active_) return;
    active_ = false;
    control_.Activate(false);
}

}  // namespace bramble
