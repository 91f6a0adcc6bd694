#include <vector>

#include "kits/menu/popupmenu.h"

namespace bramble {

// Only a top window that faded in, with no submenu open and an item still
// selected (a command was chosen), fades out; the screen under it is the
// one taken when it was shown.
void TPopupMenu2000Form::FadeOut() {
    if (parent_ || floating_ || animation_ != anFadeIn || selected_ < 0 || !IsOpen()) return;
    if (child_ && child_->IsOpen()) return;
    size_t n = static_cast<size_t>(full_w_) * static_cast<size_t>(full_h_) * 4;
    if (n == 0 || fade_screen_.size() != n) return;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = full_w_;
    bi.bmiHeader.biHeight = -full_h_;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, full_w_, full_h_);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    PaintTo(mem);
    SelectObject(mem, old);
    fade_image_.assign(n, 0);
    GetDIBits(mem, bmp, 0, static_cast<UINT>(full_h_), fade_image_.data(), &bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    fade_diff_.assign(n, 0);
    for (size_t i = 0; i < n; ++i) fade_diff_[i] = menukit::FadeDifference(fade_screen_[i], fade_image_[i]);
    std::vector<uint8_t> pix(n);
    HDC dc = GetDC(wnd_);
    for (int step = 19; step >= 0; --step) {
        for (size_t i = 0; i < n; ++i) pix[i] = menukit::FadeByte(fade_screen_[i], fade_diff_[i], step);
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(full_w_), static_cast<DWORD>(full_h_), 0, 0, 0,
                          static_cast<UINT>(full_h_), pix.data(), &bi, DIB_RGB_COLORS);
        GdiFlush();
        Sleep(5);
    }
    ReleaseDC(wnd_, dc);
}

}  // namespace bramble
