// The common controls' tooltip window over rectangles of one owner window:
// tools added by rectangle, mouse moves relayed, switched on and off.
#pragma once

#include <windows.h>

#include <string>

namespace bramble {

class TToolTipControl {
public:
    // Owned by Owner; tips wrap at MaxTipWidth pixels.
    TToolTipControl(HWND Owner, int MaxTipWidth);
    ~TToolTipControl();
    TToolTipControl(const TToolTipControl&) = delete;
    TToolTipControl& operator=(const TToolTipControl&) = delete;

    HWND Handle() const { return tip_; }
    void AddTool(UINT_PTR Id, const RECT& Rect, const std::string& Text);
    // A mouse move of the owner at a client point.
    void RelayMouseMove(POINT Pt);
    void Activate(bool On);
    int ToolCount() const;
    // The text of the tool under the last relayed point, for tests and
    // status lines; empty when none.
    std::string ToolTextAt(POINT Pt) const;

private:
    HWND owner_, tip_ = nullptr;
};

}  // namespace bramble
