#include "kits/menu/menuoptions.h"

#include <algorithm>
#include <cmath>

#include "kits/menu/geometry.h"

namespace bramble {

namespace {

menukit::Rgb ToRgb(TColor c) {
    COLORREF v = ColorToRGB(c);
    return {GetRValue(v), GetGValue(v), GetBValue(v)};
}

COLORREF FromRgb(menukit::Rgb c) {
    return RGB(static_cast<BYTE>(c.R), static_cast<BYTE>(c.G), static_cast<BYTE>(c.B));
}

void FillSolid(HDC dc, const RECT& r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

int Round256(int i, int extent) { return static_cast<int>(std::lround(static_cast<double>(i) * extent / 256.0)); }

}  // namespace

T_LFM_Title::T_LFM_Title() {
    Font.SetName("Arial");
    Font.SetSize(24);
    Font.SetStyle({fsBold});
    Font.SetColor(clWhite);
}

TBitmap& T_LFM_Title::Bitmap() {
    if (!bitmap_) bitmap_ = std::make_unique<TBitmap>();
    return *bitmap_;
}

void T_LFM_Title::Assign(const T_LFM_Title& S) {
    Align = S.Align;
    Alignment = S.Alignment;
    Text = S.Text;
    Font.Assign(S.Font);
    ColorBegin = S.ColorBegin;
    ColorEnd = S.ColorEnd;
    Width = S.Width;
    TextDirection = S.TextDirection;
    Visible = S.Visible;
    Gradient = S.Gradient;
    if (S.HasBitmap()) Bitmap().Assign(*S.bitmap_);
}

bool T_LFM_Title::IsDefault() const {
    return Align == atLeft && Alignment == taLeftJustify && Text.empty() && ColorBegin == 0xFF0000 &&
           ColorEnd == 0 && Width == 50 && TextDirection && !Visible && !HasBitmap() && Gradient == grTopToBottom;
}

void T_LFM_Title::PaintTitle(TCanvas& Canvas) {
    if (!Visible || Width <= 0) return;
    TRect clip = Canvas.ClipRect();
    RECT band;
    band.left = Align == atLeft ? clip.Left + 2 : clip.Right - Width - 2;
    band.right = band.left + Width;
    band.top = clip.Top + 2;
    band.bottom = clip.Bottom - 2;
    int w = band.right - band.left, h = band.bottom - band.top;
    if (w <= 0 || h <= 0) return;

    HDC screen = Canvas.Handle();
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);

    if (ColorBegin == ColorEnd) {
        FillSolid(dc, {0, 0, w, h}, ColorToRGB(ColorBegin));
    } else {
        menukit::Rgb first = ToRgb(ColorEnd), second = ToRgb(ColorBegin);
        if (Gradient == grBottomToTop || Gradient == grRightToLeft || Gradient == grOutsideIn) std::swap(first, second);
        bool dual = Gradient == grDualVertical || Gradient == grDualHorizontal;
        int steps = dual ? 127 : 256;
        auto colour = [&](int i) {
            if (dual && i > 127) return FromRgb(menukit::GradientStep(second, first, steps, i - 128));
            return FromRgb(menukit::GradientStep(first, second, steps, i));
        };
        bool horizontalStripes = Gradient == grTopToBottom || Gradient == grBottomToTop || Gradient == grDualHorizontal;
        bool verticalStripes = Gradient == grLeftToRight || Gradient == grRightToLeft || Gradient == grDualVertical;
        if (horizontalStripes) {
            for (int i = 0; i < 256; ++i) FillSolid(dc, {0, Round256(i, h), w, Round256(i + 1, h)}, colour(i));
        } else if (verticalStripes) {
            for (int i = 0; i < 256; ++i) FillSolid(dc, {Round256(i, w), 0, Round256(i + 1, w), h}, colour(i));
        } else {
            for (int i = 0; i < 128; ++i)
                FillSolid(dc, {Round256(i, w), Round256(i, h), Round256(255 - i, w), Round256(255 - i, h)},
                          colour(std::min(255, 2 * i)));
        }
    }

    if (HasBitmap()) {
        int bx = (w - bitmap_->Width()) / 2, by;
        switch (Alignment) {
            case taRightJustify: by = 0; break;
            case taCenter: by = (h - bitmap_->Height()) / 2; break;
            default: by = h - bitmap_->Height(); break;
        }
        BitBlt(dc, bx, by, bitmap_->Width(), bitmap_->Height(), bitmap_->Canvas().Handle(), 0, 0, SRCCOPY);
    }

    if (!Text.empty()) {
        LOGFONTA lf{};
        lf.lfHeight = Font.Height();
        lf.lfWeight = Font.Style().contains(fsBold) ? 700 : 400;
        lf.lfItalic = Font.Style().contains(fsItalic);
        lf.lfUnderline = Font.Style().contains(fsUnderline);
        lf.lfStrikeOut = Font.Style().contains(fsStrikeOut);
        lf.lfCharSet = Font.Charset();
        lf.lfEscapement = lf.lfOrientation = TextDirection ? 900 : 2700;
        lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        lstrcpynA(lf.lfFaceName, Font.Name().c_str(), LF_FACESIZE);
        HFONT f = CreateFontIndirectA(&lf);
        HGDIOBJ oldFont = SelectObject(dc, f);
        SIZE ext{};
        GetTextExtentPoint32A(dc, Text.c_str(), static_cast<int>(Text.size()), &ext);
        int pos;
        switch (Alignment) {
            case taRightJustify: pos = ext.cx + 30; break;
            case taCenter: pos = (h + ext.cx) / 2 + 10; break;
            default: pos = h - 10; break;
        }
        int x, y;
        if (TextDirection) {
            x = (w - ext.cy) / 2 - 2;
            y = pos;
        } else {
            x = (w + ext.cy) / 2 + 2;
            y = h - pos;
        }
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(Font.Color()));
        TextOutA(dc, x, y, Text.c_str(), static_cast<int>(Text.size()));
        SelectObject(dc, oldFont);
        DeleteObject(f);
    }

    BitBlt(screen, band.left, band.top, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
}

TBitmap& T_LFM_BaseOptions::Background() {
    if (!background_) background_ = std::make_unique<TBitmap>();
    return *background_;
}

void T_LFM_BaseOptions::Assign(const T_LFM_BaseOptions& S) {
    ItemHeight = S.ItemHeight;
    SeparatorHeight = S.SeparatorHeight;
    BackgroundDisplay = S.BackgroundDisplay;
    Alignment = S.Alignment;
    Caption = S.Caption;
    Draggable = S.Draggable;
    Margins = S.Margins;
    Title.Assign(S.Title);
    Colors = S.Colors;
    if (S.HasBackground()) Background().Assign(*S.background_);
}

bool T_LFM_BaseOptions::IsDefault() const {
    return Alignment == T_LFM_Alignment::taLeftJustify && Caption.empty() && Colors.IsDefault() && !Draggable && ItemHeight == 19 &&
           SeparatorHeight == 9 && Title.IsDefault() && !HasBackground() && Flags.empty() &&
           BackgroundDisplay == bdDefault && Margins.IsDefault();
}

void T_LFM_Options::Assign(const T_LFM_BaseOptions& Source) {
    T_LFM_BaseOptions::Assign(Source);
    if (auto* o = dynamic_cast<const T_LFM_Options*>(&Source)) {
        Flags = o->Flags;
        Animation = o->Animation;
    }
}

bool T_LFM_Options::IsDefault() const { return T_LFM_BaseOptions::IsDefault() && Animation == anSmart; }

}  // namespace bramble
