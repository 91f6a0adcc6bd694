#include <vector>

#include "kits/menu/popupmenu.h"

namespace bramble {
namespace {

BITMAPINFO FadeBitmapInfo(int Width, int Height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = Width;
    bi.bmiHeader.biHeight = -Height;  // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    return bi;
}

}  // namespace

void TPopupMenu2000Form::TakeFadePictures(bool WithScreen) {
    const size_t n = static_cast<size_t>(full_w_) * static_cast<size_t>(full_h_) * 4;
    BITMAPINFO bi = FadeBitmapInfo(full_w_, full_h_);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, full_w_, full_h_);
    HGDIOBJ old = SelectObject(mem, bmp);
    if (WithScreen) {
        BitBlt(mem, 0, 0, full_w_, full_h_, screen, final_x_, final_y_, SRCCOPY);
        SelectObject(mem, old);  // GetDIBits wants the bitmap out of the context
        fade_screen_.assign(n, 0);
        GetDIBits(mem, bmp, 0, static_cast<UINT>(full_h_), fade_screen_.data(), &bi, DIB_RGB_COLORS);
        old = SelectObject(mem, bmp);
    }
    PaintTo(mem);
    SelectObject(mem, old);
    fade_image_.assign(n, 0);
    GetDIBits(mem, bmp, 0, static_cast<UINT>(full_h_), fade_image_.data(), &bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    fade_diff_.assign(n, 0);
    for (size_t i = 0; i < n && i < fade_screen_.size(); ++i)
        fade_diff_[i] = menukit::FadeDifference(fade_screen_[i], fade_image_[i]);
}

void TPopupMenu2000Form::DrawFadeStep(HDC DC, int Step) {
    std::vector<uint8_t> pix(fade_screen_.size());
    for (size_t i = 0; i < pix.size(); ++i) pix[i] = menukit::FadeByte(fade_screen_[i], fade_diff_[i], Step);
    BITMAPINFO bi = FadeBitmapInfo(full_w_, full_h_);
    SetDIBitsToDevice(DC, 0, 0, static_cast<DWORD>(full_w_), static_cast<DWORD>(full_h_), 0, 0, 0,
                      static_cast<UINT>(full_h_), pix.data(), &bi, DIB_RGB_COLORS);
}

// Only a top window that faded in, with no submenu open and an item still
// selected (a command was chosen), fades out; the screen under it is the
// one taken when it was shown.
void TPopupMenu2000Form::FadeOut() {
    if (parent_ || floating_ || animation_ != anFadeIn || selected_ < 0 || !IsOpen()) return;
    if (child_ && child_->IsOpen()) return;
    const size_t n = static_cast<size_t>(full_w_) * static_cast<size_t>(full_h_) * 4;
    if (n == 0 || fade_screen_.size() != n) return;
    TakeFadePictures(false);
    HDC dc = GetDC(wnd_);
    for (int step = 19; step >= 0; --step) {
        DrawFadeStep(dc, step);
        GdiFlush();
        Sleep(5);
    }
    ReleaseDC(wnd_, dc);
}

}  // namespace bramble
