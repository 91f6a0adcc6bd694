#include "ui/canvasext.h"

#include <algorithm>

namespace bramble {

int CanvasDrawText(TCanvas& Canvas, const std::string& Text, TRect& R, UINT Format) {
    HDC dc = Canvas.Handle();
    HGDIOBJ old = SelectObject(dc, Canvas.Font().Handle());
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, ColorToRGB(Canvas.Font().Color()));
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    int h = DrawTextA(dc, Text.c_str(), static_cast<int>(Text.size()), &r, Format);
    if (Format & DT_CALCRECT) R = TRect{r.left, r.top, r.right, r.bottom};
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, old);
    return h;
}

void CanvasGradientFill(TCanvas& Canvas, const TRect& R, TColor From, TColor To, bool Horizontal) {
    COLORREF a = ColorToRGB(From), b = ColorToRGB(To);
    int extent = Horizontal ? R.Width() : R.Height();
    if (extent <= 0) return;
    int stripes = std::min(256, extent);
    HDC dc = Canvas.Handle();
    for (int i = 0; i < stripes; ++i) {
        auto mix = [&](int x, int y) { return x + (y - x) * i / std::max(1, stripes - 1); };
        HBRUSH br = CreateSolidBrush(RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
                                         mix(GetBValue(a), GetBValue(b))));
        int p0 = extent * i / stripes, p1 = extent * (i + 1) / stripes;
        RECT s = Horizontal ? RECT{R.Left + p0, R.Top, R.Left + p1, R.Bottom} : RECT{R.Left, R.Top + p0, R.Right, R.Top + p1};
        FillRect(dc, &s, br);
        DeleteObject(br);
    }
}

}  // namespace bramble
