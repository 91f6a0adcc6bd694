#include "ui/graphics.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace bramble {

COLORREF ColorToRGB(TColor Color) {
    if (Color & clSystemColor) return GetSysColor(Color & 0xFF);
    return static_cast<COLORREF>(Color) & 0xFFFFFF;
}

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TFont ---------------------------------------------------------------------

TFont::TFont() {
    HDC dc = GetDC(nullptr);
    if (dc) {
        ppi_ = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    if (ppi_ <= 0) ppi_ = 96;
    height_ = -MulDiv(8, ppi_, 72);
}

HFONT TFont::Handle() {
    return CachedHandle([this] {
        LOGFONTA lf{};
        lf.lfHeight = height_;
        lf.lfWeight = style_.contains(fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = style_.contains(fsItalic);
        lf.lfUnderline = style_.contains(fsUnderline);
        lf.lfStrikeOut = style_.contains(fsStrikeOut);
        lf.lfCharSet = charset_;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
        lstrcpynA(lf.lfFaceName, name_.c_str(), LF_FACESIZE);
        return CreateFontIndirectA(&lf);
    });
}

void TFont::SetHandle(HFONT Value) {
    LOGFONTA lf{};
    if (!Value || !GetObjectA(Value, sizeof lf, &lf)) return;
    name_ = lf.lfFaceName;
    height_ = lf.lfHeight;
    TFontStyles s;
    if (lf.lfWeight >= FW_BOLD) s.insert(fsBold);
    if (lf.lfItalic) s.insert(fsItalic);
    if (lf.lfUnderline) s.insert(fsUnderline);
    if (lf.lfStrikeOut) s.insert(fsStrikeOut);
    style_ = s;
    charset_ = lf.lfCharSet;
    Invalidate();
}

void TFont::Assign(const TFont& o) {
    if (&o == this) return;
    name_ = o.name_;
    height_ = o.height_;
    color_ = o.color_;
    style_ = o.style_;
    charset_ = o.charset_;
    pitch_ = o.pitch_;
    Invalidate();
}

void TFont::SetName(const std::string& v) {
    if (v.empty() || v == name_) return;
    name_ = v;
    Invalidate();
}

int TFont::Size() const { return -MulDiv(height_, 72, ppi_); }

void TFont::SetSize(int v) { SetHeight(-MulDiv(v, ppi_, 72)); }

void TFont::SetHeight(int v) {
    if (v == height_) return;
    height_ = v;
    Invalidate();
}

void TFont::SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    Changed();  // the colour is not part of the handle
}

void TFont::SetStyle(TFontStyles v) {
    if (v == style_) return;
    style_ = v;
    Invalidate();
}

void TFont::SetCharset(uint8_t v) {
    if (v == charset_) return;
    charset_ = v;
    Invalidate();
}

void TFont::SetPitch(TFontPitch v) {
    if (v == pitch_) return;
    pitch_ = v;
    Invalidate();
}

// ---- TBrush --------------------------------------------------------------------

HBRUSH TBrush::Handle() {
    return CachedHandle([this] {
        if (bitmap_ && !bitmap_->Empty()) return CreatePatternBrush(bitmap_->Handle());
        LOGBRUSH lb{};
        lb.lbColor = ColorToRGB(color_);
        switch (style_) {
            case bsSolid: lb.lbStyle = BS_SOLID; break;
            case bsClear: lb.lbStyle = BS_HOLLOW; break;
            default:
                lb.lbStyle = BS_HATCHED;
                lb.lbHatch = static_cast<ULONG_PTR>(style_ - bsHorizontal);
        }
        return CreateBrushIndirect(&lb);
    });
}

void TBrush::Assign(const TBrush& o) {
    if (&o == this) return;
    color_ = o.color_;
    style_ = o.style_;
    bitmap_ = o.bitmap_;
    Invalidate();
}

void TBrush::SetColor(TColor v) {
    if (v == color_ && style_ != bsClear) return;
    color_ = v;
    if (style_ == bsClear) style_ = bsSolid;
    Invalidate();
}

void TBrush::SetStyle(TBrushStyle v) {
    if (v == style_) return;
    style_ = v;
    Invalidate();
}

void TBrush::SetBitmap(TBitmap* v) {
    bitmap_ = v;
    Invalidate();
}

// ---- TPen ----------------------------------------------------------------------

HPEN TPen::Handle() {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    return CachedHandle([this] { return CreatePen(styles[style_], width_, ColorToRGB(color_)); });
}

void TPen::Assign(const TPen& o) {
    if (&o == this) return;
    color_ = o.color_;
    width_ = o.width_;
    style_ = o.style_;
    mode_ = o.mode_;
    Invalidate();
}

void TPen::SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    Invalidate();
}

void TPen::SetWidth(int v) {
    if (v == width_ || v < 0) return;
    width_ = v;
    Invalidate();
}

void TPen::SetStyle(TPenStyle v) {
    if (v == style_) return;
    style_ = v;
    Invalidate();
}

void TPen::SetMode(TPenMode v) {
    if (v == mode_) return;
    mode_ = v;
    Changed();  // the canvas puts its state into the context again
}

// ---- TCanvas -------------------------------------------------------------------

TCanvas::TCanvas() {
    auto invalidate = [this](TObject*) { DeselectHandles(); };
    font_.OnChange = invalidate;
    brush_.OnChange = invalidate;
    pen_.OnChange = invalidate;
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
    return dc_;
}

void TCanvas::SetHandle(HDC Value) {
    if (Value == dc_) return;
    DeselectHandles();
    dc_ = Value;
}

void TCanvas::DeselectHandles() {
    if (dc_ && state_valid_) {
        if (old_font_) SelectObject(dc_, old_font_);
        if (old_brush_) SelectObject(dc_, old_brush_);
        if (old_pen_) SelectObject(dc_, old_pen_);
    }
    old_font_ = old_brush_ = old_pen_ = nullptr;
    state_valid_ = false;
}

void TCanvas::RequiredState() {
    HDC dc = Handle();
    if (state_valid_) return;
    old_font_ = SelectObject(dc, font_.Handle());
    old_brush_ = SelectObject(dc, brush_.Handle());
    old_pen_ = SelectObject(dc, pen_.Handle());
    state_valid_ = true;
    SetTextColor(dc, ColorToRGB(font_.Color()));
    SetBkColor(dc, ColorToRGB(brush_.Color()));
    SetBkMode(dc, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
    static const int rop2[] = {R2_BLACK, R2_WHITE, R2_NOP, R2_NOT, R2_COPYPEN, R2_NOTCOPYPEN, R2_MERGEPENNOT,
                               R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                               R2_MASKPEN, R2_NOTMASKPEN, R2_XORPEN, R2_NOTXORPEN};
    SetROP2(dc, rop2[pen_.Mode()]);
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::MoveTo(int X, int Y) {
    RequiredState();
    MoveToEx(dc_, X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y) {
    RequiredState();
    Changing();
    ::LineTo(dc_, X, Y);
    Changed();
}

TPoint TCanvas::PenPos() {
    POINT p{};
    GetCurrentPositionEx(Handle(), &p);
    return {p.x, p.y};
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    RequiredState();
    Changing();
    ::Rectangle(dc_, X1, Y1, X2, Y2);
    Changed();
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3) {
    RequiredState();
    Changing();
    ::RoundRect(dc_, X1, Y1, X2, Y2, X3, Y3);
    Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
    RequiredState();
    Changing();
    ::Ellipse(dc_, X1, Y1, X2, Y2);
    Changed();
}

void TCanvas::FillRect(const TRect& R) {
    RequiredState();
    Changing();
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    ::FillRect(dc_, &r, brush_.Handle());
    Changed();
}

void TCanvas::FrameRect(const TRect& R) {
    RequiredState();
    Changing();
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    ::FrameRect(dc_, &r, brush_.Handle());
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& R) {
    RequiredState();
    Changing();
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    ::DrawFocusRect(dc_, &r);
    Changed();
}

static std::vector<POINT> ToPoints(const std::vector<TPoint>& pts) {
    std::vector<POINT> out(pts.size());
    for (size_t i = 0; i < pts.size(); ++i) out[i] = {pts[i].X, pts[i].Y};
    return out;
}

void TCanvas::Polygon(const std::vector<TPoint>& Points) {
    if (Points.empty()) return;
    RequiredState();
    Changing();
    auto p = ToPoints(Points);
    ::Polygon(dc_, p.data(), static_cast<int>(p.size()));
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& Points) {
    if (Points.empty()) return;
    RequiredState();
    Changing();
    auto p = ToPoints(Points);
    ::Polyline(dc_, p.data(), static_cast<int>(p.size()));
    Changed();
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
    RequiredState();
    Changing();
    ::TextOutA(dc_, X, Y, Text.data(), static_cast<int>(Text.size()));
    Changed();
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const std::string& Text) {
    RequiredState();
    Changing();
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    UINT opts = ETO_CLIPPED | (brush_.Style() != bsClear ? ETO_OPAQUE : 0);
    ::ExtTextOutA(dc_, X, Y, opts, &r, Text.data(), static_cast<UINT>(Text.size()), nullptr);
    Changed();
}

SIZE TCanvas::TextExtent(const std::string& Text) {
    RequiredState();
    SIZE s{0, 0};
    if (Text.empty()) {
        // The height of a line still counts for an empty text.
        GetTextExtentPoint32A(dc_, " ", 1, &s);
        s.cx = 0;
        return s;
    }
    GetTextExtentPoint32A(dc_, Text.data(), static_cast<int>(Text.size()), &s);
    return s;
}

TEXTMETRICA TCanvas::TextMetrics() {
    RequiredState();
    TEXTMETRICA tm{};
    GetTextMetricsA(dc_, &tm);
    return tm;
}

void TCanvas::Draw(int X, int Y, TBitmap& B) {
    if (B.Empty()) return;
    RequiredState();
    Changing();
    HDC src = B.Canvas().Handle();
    if (B.Transparent()) {
        TransparentBlt(dc_, X, Y, B.Width(), B.Height(), src, 0, 0, B.Width(), B.Height(),
                       ColorToRGB(B.TransparentColor()));
    } else {
        BitBlt(dc_, X, Y, B.Width(), B.Height(), src, 0, 0, copy_mode_);
    }
    Changed();
}

void TCanvas::Draw(int X, int Y, TIcon& I) {
    if (I.Empty()) return;
    RequiredState();
    Changing();
    DrawIconEx(dc_, X, Y, I.Handle(), 0, 0, 0, nullptr, DI_NORMAL);
    Changed();
}

void TCanvas::StretchDraw(const TRect& R, TBitmap& B) {
    if (B.Empty()) return;
    RequiredState();
    Changing();
    SetStretchBltMode(dc_, COLORONCOLOR);
    StretchBlt(dc_, R.Left, R.Top, R.Width(), R.Height(), B.Canvas().Handle(), 0, 0, B.Width(), B.Height(),
               copy_mode_);
    Changed();
}

void TCanvas::StretchDraw(const TRect& R, TIcon& I) {
    if (I.Empty()) return;
    RequiredState();
    Changing();
    DrawIconEx(dc_, R.Left, R.Top, I.Handle(), R.Width(), R.Height(), 0, nullptr, DI_NORMAL);
    Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas& Source, const TRect& S) {
    RequiredState();
    Source.RequiredState();
    Changing();
    StretchBlt(dc_, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), Source.Handle(), S.Left, S.Top, S.Width(),
               S.Height(), copy_mode_);
    Changed();
}

TColor TCanvas::Pixel(int X, int Y) {
    RequiredState();
    COLORREF c = GetPixel(dc_, X, Y);
    return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
    RequiredState();
    Changing();
    SetPixelV(dc_, X, Y, ColorToRGB(Color));
    Changed();
}

TRect TCanvas::ClipRect() {
    RequiredState();
    RECT r{};
    GetClipBox(dc_, &r);
    return {r.left, r.top, r.right, r.bottom};
}

// ---- TBitmap -------------------------------------------------------------------

class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* b) : bitmap_(b) {}
    ~TBitmapCanvas() override { Release(); }
    void Release() {
        if (!mem_) return;
        SetHandle(nullptr);
        SelectObject(mem_, old_);
        DeleteDC(mem_);
        mem_ = nullptr;
    }

protected:
    void CreateHandle() override {
        if (mem_) return;
        if (!bitmap_->handle_) bitmap_->Recreate(0, 0, bitmap_->format_, nullptr);
        mem_ = CreateCompatibleDC(nullptr);
        if (!mem_) throw EOutOfResources("Out of system resources");
        old_ = SelectObject(mem_, bitmap_->handle_);
        SetHandle(mem_);
    }

private:
    TBitmap* bitmap_;
    HDC mem_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int AWidth, int AHeight) { SetSize(AWidth, AHeight); }

TBitmap::~TBitmap() {
    canvas_.reset();
    if (handle_) DeleteObject(handle_);
    if (palette_) DeleteObject(palette_);
}

// A palette of the given colours; 0 for none.
static HPALETTE NewPalette(const std::vector<PALETTEENTRY>& Entries) {
    if (Entries.empty()) return nullptr;
    std::vector<uint8_t> buf(sizeof(LOGPALETTE) + Entries.size() * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(Entries.size());
    std::memcpy(lp->palPalEntry, Entries.data(), Entries.size() * sizeof(PALETTEENTRY));
    return CreatePalette(lp);
}

HPALETTE CopyPalette(HPALETTE Palette) {
    WORD count = 0;
    if (!Palette || !GetObjectA(Palette, sizeof count, &count)) return nullptr;
    std::vector<PALETTEENTRY> entries(count);
    if (count) GetPaletteEntries(Palette, 0, count, entries.data());
    return NewPalette(entries);
}

// The colour table of a DIB section of 256 colours or fewer as a palette;
// 0 for any other bitmap.
static HPALETTE PaletteOfDIB(HBITMAP h) {
    DIBSECTION ds{};
    if (GetObjectA(h, sizeof ds, &ds) != sizeof ds || ds.dsBmih.biBitCount > 8) return nullptr;
    RGBQUAD table[256];
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, h);
    const UINT count = GetDIBColorTable(dc, 0, 256, table);
    SelectObject(dc, old);
    DeleteDC(dc);
    std::vector<PALETTEENTRY> entries;
    for (UINT i = 0; i < count; ++i) entries.push_back({table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0});
    return NewPalette(entries);
}

void TBitmap::SetPalette(HPALETTE Value) {
    if (Value == palette_) return;
    if (palette_) DeleteObject(palette_);
    palette_ = Value;
    Changed();
}

void TBitmap::Clear() {
    if (palette_) {
        DeleteObject(palette_);
        palette_ = nullptr;
    }
    SetSize(0, 0);
}

void TBitmap::FreeContext() {
    if (canvas_) canvas_->Release();
}

int TBitmap::RowBytes() const {
    int bpp = format_ == pf1bit ? 1 : format_ == pf32bit ? 32 : 24;
    return ((width_ * bpp + 31) / 32) * 4;
}

void TBitmap::Recreate(int w, int h, TPixelFormat f, HBITMAP copyFrom) {
    FreeContext();
    if (f != pf1bit && f != pf32bit) f = pf24bit;
    int bpp = f == pf1bit ? 1 : f == pf32bit ? 32 : 24;
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD pal[2];
    } bi{};
    bi.h.biSize = sizeof(BITMAPINFOHEADER);
    bi.h.biWidth = std::max(w, 1);
    bi.h.biHeight = std::max(h, 1);
    bi.h.biPlanes = 1;
    bi.h.biBitCount = static_cast<WORD>(bpp);
    bi.h.biCompression = BI_RGB;
    if (bpp == 1) {
        bi.pal[1] = RGBQUAD{255, 255, 255, 0};
        bi.h.biClrUsed = 2;
    }
    void* bits = nullptr;
    HBITMAP nb = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!nb) throw EOutOfResources("Out of system resources");
    // New area is white, as a fresh canvas is.
    std::memset(bits, 0xFF, static_cast<size_t>(((bi.h.biWidth * bpp + 31) / 32) * 4) * bi.h.biHeight);
    HBITMAP old = handle_;
    int ow = width_, oh = height_;
    HBITMAP src = copyFrom ? copyFrom : old;
    if (src && (copyFrom || (ow > 0 && oh > 0))) {
        BITMAP info{};
        GetObjectA(src, sizeof info, &info);
        int cw = copyFrom ? info.bmWidth : ow, ch = copyFrom ? info.bmHeight : oh;
        HDC sdc = CreateCompatibleDC(nullptr), ddc = CreateCompatibleDC(nullptr);
        HGDIOBJ so = SelectObject(sdc, src), dso = SelectObject(ddc, nb);
        // Keep the top-left part: rows count from the top in a context.
        BitBlt(ddc, 0, 0, std::min(cw, w), std::min(ch, h), sdc, 0, 0, SRCCOPY);
        SelectObject(sdc, so);
        SelectObject(ddc, dso);
        DeleteDC(sdc);
        DeleteDC(ddc);
    }
    if (old) DeleteObject(old);
    handle_ = nb;
    bits_ = bits;
    width_ = w;
    height_ = h;
    format_ = f;
}

void TBitmap::SetSize(int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (AWidth == width_ && AHeight == height_ && handle_) return;
    Recreate(AWidth, AHeight, format_, nullptr);
    Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat v) {
    if (v != pf1bit && v != pf32bit) v = pf24bit;
    if (v == format_ && handle_) return;
    Recreate(width_, height_, v, nullptr);
    Changed();
}

HBITMAP TBitmap::Handle() {
    FreeContext();
    if (!handle_) Recreate(width_, height_, format_, nullptr);
    GdiFlush();
    return handle_;
}

TCanvas& TBitmap::Canvas() {
    if (!canvas_) {
        canvas_ = std::make_unique<TBitmapCanvas>(this);
        canvas_->OnChange = [this](TObject*) { Changed(); };
    }
    return *canvas_;
}

void TBitmap::AdoptPicture(HBITMAP h) {
    BITMAP info{};
    if (!h || !GetObjectA(h, sizeof info, &info)) throw EInvalidGraphic(SInvalidBitmap);
    TPixelFormat f = info.bmBitsPixel == 1 ? pf1bit : info.bmBitsPixel == 32 ? pf32bit : pf24bit;
    Recreate(info.bmWidth, std::abs(info.bmHeight), f, h);
    transparent_color_ = clDefault;
    if (palette_) DeleteObject(palette_);
    palette_ = PaletteOfDIB(h);
    Changed();
}

void TBitmap::SetHandle(HBITMAP Value) {
    if (!Value) {
        Clear();
        return;
    }
    AdoptPicture(Value);
}

void TBitmap::Assign(const TBitmap& o) {
    if (&o == this) return;
    TBitmap& src = const_cast<TBitmap&>(o);
    if (src.Empty()) {
        Recreate(0, 0, src.format_, nullptr);
    } else {
        Recreate(src.width_, src.height_, src.format_, src.Handle());
    }
    transparent_color_ = o.transparent_color_;
    transparent_ = o.transparent_;
    if (palette_) DeleteObject(palette_);
    palette_ = CopyPalette(o.palette_);
    Changed();
}

uint8_t* TBitmap::ScanLine(int Row) {
    if (Row < 0 || Row >= height_) throw EInvalidGraphic("Scan line index out of range");
    if (!handle_) Recreate(width_, height_, format_, nullptr);
    GdiFlush();
    return static_cast<uint8_t*>(bits_) + static_cast<size_t>(height_ - 1 - Row) * static_cast<size_t>(RowBytes());
}

const uint8_t* TBitmap::Bits() {
    if (!handle_) Recreate(width_, height_, format_, nullptr);
    GdiFlush();
    return static_cast<const uint8_t*>(bits_);
}

TColor TBitmap::TransparentColor() {
    if (transparent_color_ != clDefault) return transparent_color_;
    if (Empty()) return clNone;
    const uint8_t* b = Bits();  // bottom-up: the first row is the bottom one
    if (format_ == pf1bit) return (b[0] & 0x80) ? clWhite : clBlack;
    return static_cast<TColor>(RGB(b[2], b[1], b[0]));
}

void TBitmap::LoadFromResourceName(HINSTANCE Instance, const std::string& ResName) {
    HBITMAP h = static_cast<HBITMAP>(LoadImageA(Instance, ResName.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!h) throw EInvalidGraphic(Format("Resource %s not found", ResName.c_str()));
    try {
        AdoptPicture(h);
    } catch (...) {
        DeleteObject(h);
        throw;
    }
    DeleteObject(h);
}

void TBitmap::LoadFromResourceID(HINSTANCE Instance, int ResID) {
    HBITMAP h = static_cast<HBITMAP>(LoadImageA(Instance, MAKEINTRESOURCEA(ResID), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!h) throw EInvalidGraphic(Format("Resource %d not found", ResID));
    try {
        AdoptPicture(h);
    } catch (...) {
        DeleteObject(h);
        throw;
    }
    DeleteObject(h);
}

void TBitmap::LoadFromFile(const std::string& FileName) {
    HBITMAP h = static_cast<HBITMAP>(
        LoadImageA(nullptr, FileName.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!h) throw EInvalidGraphic(SInvalidBitmap);
    try {
        AdoptPicture(h);
    } catch (...) {
        DeleteObject(h);
        throw;
    }
    DeleteObject(h);
}

void TBitmap::SaveToFile(const std::string& FileName) {
    const uint8_t* bits = Bits();
    int bpp = format_ == pf1bit ? 1 : format_ == pf32bit ? 32 : 24;
    int w = std::max(width_, 1), h = std::max(height_, 1);
    uint32_t row = static_cast<uint32_t>(((w * bpp + 31) / 32) * 4);
    uint32_t palette = bpp == 1 ? 8 : 0;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = static_cast<WORD>(bpp);
    ih.biCompression = BI_RGB;
    ih.biSizeImage = row * static_cast<uint32_t>(h);
    if (bpp == 1) ih.biClrUsed = 2;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih + palette;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::ofstream f(FileName, std::ios::binary | std::ios::trunc);
    if (!f) throw EInvalidGraphic(Format("Cannot create file \"%s\"", FileName.c_str()));
    f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    f.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    if (bpp == 1) {
        const uint8_t pal[8] = {0, 0, 0, 0, 255, 255, 255, 0};
        f.write(reinterpret_cast<const char*>(pal), 8);
    }
    f.write(reinterpret_cast<const char*>(bits), static_cast<std::streamsize>(ih.biSizeImage));
    if (!f) throw EInvalidGraphic(Format("Cannot write file \"%s\"", FileName.c_str()));
}

// ---- TIcon ---------------------------------------------------------------------

TIcon::~TIcon() {
    if (handle_) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON Value) {
    if (Value == handle_) return;
    if (handle_) DestroyIcon(handle_);
    handle_ = Value;
    width_ = height_ = 0;
    if (handle_) {
        ICONINFO ii{};
        if (GetIconInfo(handle_, &ii)) {
            BITMAP b{};
            if (ii.hbmColor && GetObjectA(ii.hbmColor, sizeof b, &b)) {
                width_ = b.bmWidth;
                height_ = b.bmHeight;
            } else if (ii.hbmMask && GetObjectA(ii.hbmMask, sizeof b, &b)) {
                width_ = b.bmWidth;
                height_ = b.bmHeight / 2;
            }
            if (ii.hbmColor) DeleteObject(ii.hbmColor);
            if (ii.hbmMask) DeleteObject(ii.hbmMask);
        }
    }
    Changed();
}

HICON TIcon::ReleaseHandle() {
    HICON h = handle_;
    handle_ = nullptr;
    width_ = height_ = 0;
    return h;
}

void TIcon::Assign(const TIcon& o) {
    if (&o == this) return;
    SetHandle(o.handle_ ? CopyIcon(o.handle_) : nullptr);
}

void TIcon::LoadFromResourceName(HINSTANCE Instance, const std::string& ResName) {
    HICON h = static_cast<HICON>(LoadImageA(Instance, ResName.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (!h) throw EInvalidGraphic(Format("Resource %s not found", ResName.c_str()));
    SetHandle(h);
}

void TIcon::LoadFromResourceID(HINSTANCE Instance, int ResID) {
    HICON h = static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(ResID), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (!h) throw EInvalidGraphic(Format("Resource %d not found", ResID));
    SetHandle(h);
}

void TIcon::LoadFromFile(const std::string& FileName) {
    HICON h = static_cast<HICON>(LoadImageA(nullptr, FileName.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    if (!h) throw EInvalidGraphic(SInvalidIcon);
    SetHandle(h);
}

// ---- image lists ------------------------------------------------------------------

TChangeLink::~TChangeLink() {
    if (sender_) sender_->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::~TCustomImageList() {
    for (TChangeLink* l : links_) l->sender_ = nullptr;
    links_.clear();
    FreeHandle();
}

void TCustomImageList::FreeHandle() {
    if (handle_ && !share_) ImageList_Destroy(handle_);
    handle_ = nullptr;
}

HIMAGELIST TCustomImageList::Handle() {
    if (!handle_) {
        handle_ = ImageList_Create(width_, height_, ILC_COLOR24 | ILC_MASK, 4, 4);
        if (!handle_) throw EInvalidOperation(SInvalidImageList);
        if (bk_color_ != clNone) ImageList_SetBkColor(handle_, ColorToRGB(bk_color_));
    }
    return handle_;
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
    FreeHandle();
    handle_ = Value;
    if (handle_) {
        int cx = 0, cy = 0;
        if (ImageList_GetIconSize(handle_, &cx, &cy)) {
            width_ = cx;
            height_ = cy;
        }
    }
    Change();
}

void TCustomImageList::SetWidth(int v) {
    if (v == width_ || v <= 0) return;
    FreeHandle();
    width_ = v;
    Change();
}

void TCustomImageList::SetHeight(int v) {
    if (v == height_ || v <= 0) return;
    FreeHandle();
    height_ = v;
    Change();
}

int TCustomImageList::Count() { return handle_ ? ImageList_GetImageCount(handle_) : 0; }

void TCustomImageList::SetBkColor(TColor v) {
    bk_color_ = v;
    if (handle_) ImageList_SetBkColor(handle_, v == clNone ? CLR_NONE : ColorToRGB(v));
    Change();
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
    if (!Image) return -1;
    if (Image->Width() < width_ || Image->Height() < height_) throw EInvalidOperation(SInvalidImageSize);
    if (Mask && (Mask->Width() < Image->Width() || Mask->Height() < Image->Height()))
        throw EInvalidOperation(SInvalidImageSize);
    HIMAGELIST h = Handle();
    int r = ImageList_Add(h, Image->Handle(), Mask ? Mask->Handle() : nullptr);
    if (r < 0) throw EInvalidOperation(SInvalidImageList);
    Change();
    return r;
}

int TCustomImageList::AddMasked(TBitmap& Image, TColor MaskColor) {
    if (Image.Width() < width_ || Image.Height() < height_) throw EInvalidOperation(SInvalidImageSize);
    HIMAGELIST h = Handle();
    TColor c = MaskColor == clDefault ? Image.TransparentColor() : MaskColor;
    // ImageList_AddMasked blacks out the masked pixels of the bitmap it is
    // given: hand it a copy.
    TBitmap copy;
    copy.Assign(Image);
    int r = ImageList_AddMasked(h, copy.Handle(), ColorToRGB(c));
    if (r < 0) throw EInvalidOperation(SInvalidImageList);
    Change();
    return r;
}

int TCustomImageList::AddIcon(TIcon& Image) {
    if (Image.Empty()) return -1;
    int r = ImageList_ReplaceIcon(Handle(), -1, Image.Handle());
    if (r < 0) throw EInvalidOperation(SInvalidImageList);
    Change();
    return r;
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation(SImageIndexError);
    if (!Image || !ImageList_Replace(Handle(), Index, Image->Handle(), Mask ? Mask->Handle() : nullptr))
        throw EInvalidOperation(SReplaceImage);
    Change();
}

void TCustomImageList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation(SImageIndexError);
    ImageList_Remove(Handle(), Index);
    Change();
}

void TCustomImageList::Clear() {
    if (handle_) ImageList_Remove(handle_, -1);
    Change();
}

void TCustomImageList::Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled) {
    if (!handle_ || Index < 0 || Index >= Count()) return;
    HDC dc = Canvas.Handle();
    if (Enabled) {
        UINT style = drawing_style_ == dsTransparent || bk_color_ == clNone ? ILD_TRANSPARENT : ILD_NORMAL;
        if (drawing_style_ == dsSelected) style |= ILD_SELECTED;
        if (drawing_style_ == dsFocus) style |= ILD_FOCUS;
        ImageList_DrawEx(handle_, Index, dc, X, Y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
        return;
    }
    // Disabled: the image's shape embossed, highlight below right, shadow on top.
    HDC mono = CreateCompatibleDC(dc);
    HBITMAP mb = CreateBitmap(width_, height_, 1, 1, nullptr);
    HGDIOBJ om = SelectObject(mono, mb);
    PatBlt(mono, 0, 0, width_, height_, WHITENESS);
    ImageList_Draw(handle_, Index, mono, 0, 0, ILD_MASK);
    PatBlt(mono, 0, 0, width_, height_, DSTINVERT);  // the shape white
    COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0)), oldBk = ::SetBkColor(dc, RGB(255, 255, 255));
    HBRUSH hi = CreateSolidBrush(ColorToRGB(clBtnHighlight)), sh = CreateSolidBrush(ColorToRGB(clBtnShadow));
    HGDIOBJ ob = SelectObject(dc, hi);
    BitBlt(dc, X + 1, Y + 1, width_, height_, mono, 0, 0, 0x00E20746);
    SelectObject(dc, sh);
    BitBlt(dc, X, Y, width_, height_, mono, 0, 0, 0x00E20746);
    SelectObject(dc, ob);
    DeleteObject(hi);
    DeleteObject(sh);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBk);
    SelectObject(mono, om);
    DeleteObject(mb);
    DeleteDC(mono);
}

void TCustomImageList::GetBitmap(int Index, TBitmap& Image) {
    Image.SetSize(width_, height_);
    if (!handle_ || Index < 0 || Index >= Count()) return;
    TCanvas& c = Image.Canvas();
    c.Brush().SetColor(bk_color_ == clNone ? clBtnFace : bk_color_);
    c.FillRect(Rect(0, 0, width_, height_));
    ImageList_Draw(handle_, Index, c.Handle(), 0, 0, ILD_NORMAL);
}

void TCustomImageList::GetMask(int Index, TBitmap& Mask) {
    Mask.SetPixelFormat(pf1bit);
    Mask.SetSize(width_, height_);
    TCanvas& c = Mask.Canvas();
    PatBlt(c.Handle(), 0, 0, width_, height_, WHITENESS);
    if (!handle_ || Index < 0 || Index >= Count()) return;
    ImageList_Draw(handle_, Index, c.Handle(), 0, 0, ILD_MASK);
}

void TCustomImageList::GetIcon(int Index, TIcon& Image) {
    if (!handle_ || Index < 0 || Index >= Count()) return;
    Image.SetHandle(ImageList_GetIcon(handle_, Index, ILD_NORMAL));
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
    if (!Value) return;
    if (Value->sender_ && Value->sender_ != this) Value->sender_->UnRegisterChanges(Value);
    Value->sender_ = this;
    if (std::find(links_.begin(), links_.end(), Value) == links_.end()) links_.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
    links_.erase(std::remove(links_.begin(), links_.end(), Value), links_.end());
    if (Value && Value->sender_ == this) Value->sender_ = nullptr;
}

void TCustomImageList::Change() {
    std::vector<TChangeLink*> links = links_;
    for (TChangeLink* l : links)
        if (l->OnChange) l->OnChange(this);
    if (OnChange) OnChange(this);
}

void SwitchImageList(TComponent* Owner, TCustomImageList*& Field, TCustomImageList* Value, TChangeLink& Link) {
    if (Field) {
        Field->UnRegisterChanges(&Link);
        Field->RemoveFreeNotification(Owner);
    }
    Field = Value;
    if (Value) {
        Value->RegisterChanges(&Link);
        Value->FreeNotification(Owner);
    }
}

// ---- TMemoryDC -------------------------------------------------------------------

TMemoryDC::TMemoryDC(HDC Reference, int W, int H) {
    HDC screen = Reference ? nullptr : GetDC(nullptr);
    HDC ref = Reference ? Reference : screen;
    dc_ = CreateCompatibleDC(ref);
    bmp_ = CreateCompatibleBitmap(ref, std::max(W, 1), std::max(H, 1));
    if (screen) ReleaseDC(nullptr, screen);
    if (!dc_ || !bmp_) {
        if (dc_) DeleteDC(dc_);
        if (bmp_) DeleteObject(bmp_);
        throw EOutOfResources("Out of system resources");
    }
    old_ = SelectObject(dc_, bmp_);
}

TMemoryDC::~TMemoryDC() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
}

}  // namespace bramble
