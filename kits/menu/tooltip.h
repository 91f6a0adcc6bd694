// The tooltips of an open menu window: one tool per item row with a hint,
// one per button-array cell with a hint line, and the drag handle's.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/tooltipctl.h"

namespace bramble {

class T_LFM_ToolTipWindow {
public:
    explicit T_LFM_ToolTipWindow(HWND Owner);
    void AddTool(const RECT& Rect, const std::string& Text);
    void RelayMouseMove(POINT Pt);
    // Switched on once while off, off once while on.
    void Activate();
    void Deactivate();
    bool Active() const { return active_; }
    int ToolCount() const { return control_.ToolCount(); }
    std::string TextAt(POINT Pt) const { return control_.ToolTextAt(Pt); }
    HWND Handle() const { return control_.Handle(); }

private:
    TToolTipControl control_;
    UINT_PTR next_id_ = 0;
    bool active_ = false;
};

}  // namespace bramble
