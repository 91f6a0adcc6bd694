// Colours, fonts, brushes, pens, the canvas, bitmaps, icons and image lists.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/classes.h"
#include "ui/component.h"

namespace bramble {

// ---- colours -----------------------------------------------------------------

// An RGB value (0x00BBGGRR), or a system colour: 0x80000000 | COLOR_xxx.
using TColor = int32_t;

inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
inline constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
inline constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
inline constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
inline constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
inline constexpr TColor clMenu = clSystemColor | COLOR_MENU;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
inline constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
inline constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
inline constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
inline constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
inline constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
inline constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
inline constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;

inline constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                        clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                        clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                        clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                        clLtGray = 0xC0C0C0, clDkGray = 0x808080;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colours resolved to the current RGB value.
COLORREF ColorToRGB(TColor Color);

// ---- change links ---------------------------------------------------------------

// Something that tells listeners it changed; fonts, brushes, pens, bitmaps
// and image lists.
class TGraphicsObject : public TObject {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

// A graphics object whose GDI handle is made from its description on first
// use. A change retires the handle rather than deleting it: a canvas may
// still have it selected into a context until the change notice makes it
// deselect, so the retired handle is deleted only on the next Handle() or
// with the object.
template <typename H>
class TGdiGraphicsObject : public TGraphicsObject {
public:
    TGdiGraphicsObject() = default;
    ~TGdiGraphicsObject() override {
        if (handle_) DeleteObject(handle_);
        if (stale_) DeleteObject(stale_);
    }
    TGdiGraphicsObject(const TGdiGraphicsObject&) = delete;
    TGdiGraphicsObject& operator=(const TGdiGraphicsObject&) = delete;

protected:
    // The handle; Make() creates it when there is none.
    template <typename MakeFn>
    H CachedHandle(MakeFn Make) {
        if (stale_) {
            DeleteObject(stale_);
            stale_ = nullptr;
        }
        if (!handle_) {
            handle_ = Make();
            if (!handle_) throw EOutOfResources("Out of system resources");
        }
        return handle_;
    }
    // The description changed: the next Handle() makes a new handle.
    void Invalidate() {
        if (handle_) {
            if (stale_) DeleteObject(stale_);
            stale_ = handle_;
            handle_ = nullptr;
        }
        Changed();
    }

private:
    H handle_ = nullptr;
    H stale_ = nullptr;  // replaced but perhaps still selected somewhere
};

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

class TFont : public TGdiGraphicsObject<HFONT> {
public:
    TFont();

    void Assign(const TFont& Source);
    // The logical font; made on first use and again after a change.
    HFONT Handle();
    // Adopts a font (the layer's copy of its description, not the handle).
    void SetHandle(HFONT Value);

    const std::string& Name() const { return name_; }
    void SetName(const std::string& v);
    // Points; the height in pixels is negative for the character height.
    int Size() const;
    void SetSize(int v);
    int Height() const { return height_; }
    void SetHeight(int v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles v);
    uint8_t Charset() const { return charset_; }
    void SetCharset(uint8_t v);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch v);
    int PixelsPerInch() const { return ppi_; }

private:
    std::string name_ = "MS Sans Serif";
    int height_ = -11;
    TColor color_ = clWindowText;
    TFontStyles style_;
    uint8_t charset_ = DEFAULT_CHARSET;
    TFontPitch pitch_ = fpDefault;
    int ppi_ = 96;
};

enum TBrushStyle : uint8_t { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBitmap;

class TBrush : public TGdiGraphicsObject<HBRUSH> {
public:
    void Assign(const TBrush& Source);
    HBRUSH Handle();
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle v);
    // A pattern brush; the bitmap is copied when the handle is made.
    TBitmap* Bitmap() const { return bitmap_; }
    void SetBitmap(TBitmap* v);

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    TBitmap* bitmap_ = nullptr;
};

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : uint8_t { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
                          pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor };

class TPen : public TGdiGraphicsObject<HPEN> {
public:
    void Assign(const TPen& Source);
    HPEN Handle();
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    int Width() const { return width_; }
    void SetWidth(int v);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle v);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode v);

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

class TIcon;

// Drawing on a device context with the current font, brush and pen.
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The device context; a canvas that makes its own (bitmaps) does so here.
    HDC Handle();
    // Lends a context (controls lend theirs while painting); 0 detaches.
    void SetHandle(HDC Value);
    bool HandleAllocated() const { return dc_ != nullptr; }

    TFont& Font() { return font_; }
    TBrush& Brush() { return brush_; }
    TPen& Pen() { return pen_; }
    DWORD CopyMode() const { return copy_mode_; }
    void SetCopyMode(DWORD v) { copy_mode_ = v; }

    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    TPoint PenPos();
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
    void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void FillRect(const TRect& R);
    void FrameRect(const TRect& R);
    void DrawFocusRect(const TRect& R);
    void Polygon(const std::vector<TPoint>& Points);
    void Polyline(const std::vector<TPoint>& Points);
    void TextOut(int X, int Y, const std::string& Text);
    void TextRect(const TRect& R, int X, int Y, const std::string& Text);
    SIZE TextExtent(const std::string& Text);
    int TextWidth(const std::string& Text) { return TextExtent(Text).cx; }
    int TextHeight(const std::string& Text) { return TextExtent(Text).cy; }
    TEXTMETRICA TextMetrics();
    void Draw(int X, int Y, TBitmap& Bitmap);
    void Draw(int X, int Y, TIcon& Icon);
    void StretchDraw(const TRect& R, TBitmap& Bitmap);
    // The icon drawn at the rectangle's size, its transparent parts left.
    void StretchDraw(const TRect& R, TIcon& Icon);
    void CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect);
    TColor Pixel(int X, int Y);
    void SetPixel(int X, int Y, TColor Color);
    TRect ClipRect();

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void CreateHandle() {}
    // Puts the font, pen and brush into the context; called before drawing.
    void RequiredState();
    void DeselectHandles();
    void Changing();
    void Changed();

private:
    HDC dc_ = nullptr;
    TFont font_;
    TBrush brush_;
    TPen pen_;
    DWORD copy_mode_ = SRCCOPY;
    HGDIOBJ old_font_ = nullptr, old_brush_ = nullptr, old_pen_ = nullptr;
    bool state_valid_ = false;
};

enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };

class TBitmapCanvas;

// A device-independent bitmap section with a canvas of its own.
class TBitmap : public TGraphicsObject {
public:
    TBitmap();
    TBitmap(int AWidth, int AHeight);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    void Assign(const TBitmap& Source);
    bool Empty() const { return width_ == 0 || height_ == 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int v) { SetSize(v, height_); }
    void SetHeight(int v) { SetSize(width_, v); }
    // Resizing keeps the picture's top-left part; new area is white.
    void SetSize(int AWidth, int AHeight);
    TPixelFormat PixelFormat() const { return format_; }
    void SetPixelFormat(TPixelFormat v);
    bool Monochrome() const { return format_ == pf1bit; }
    void SetMonochrome(bool v) { SetPixelFormat(v ? pf1bit : pf24bit); }

    // The bitmap handle; taken out of the canvas's context first, so it can
    // be selected elsewhere (image lists, brushes).
    HBITMAP Handle();
    // Adopts the picture of a bitmap handle (copied; the handle stays the caller's).
    void SetHandle(HBITMAP Value);
    TCanvas& Canvas();

    // The colour left out when drawn transparently: the bottom-left pixel
    // unless a colour was set.
    TColor TransparentColor();
    void SetTransparentColor(TColor v) { transparent_color_ = v; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v) { transparent_ = v; }

    // The colours a picture of 256 colours or fewer came with, for palette
    // displays; 0 when it had none. The bitmap owns it: SetPalette takes
    // the handle over and frees the one it had.
    HPALETTE Palette() const { return palette_; }
    void SetPalette(HPALETTE Value);

    void LoadFromResourceName(HINSTANCE Instance, const std::string& ResName);
    void LoadFromResourceID(HINSTANCE Instance, int ResID);
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);
    // Drops the picture and its palette.
    void Clear();

    // Raw access to the bits (bottom-up rows, 4-byte aligned), for tests and
    // fast loops; flushes pending drawing first.
    const uint8_t* Bits();
    int RowBytes() const;
    // Writable pixels of one row, Row 0 at the top; flushes pending drawing.
    uint8_t* ScanLine(int Row);

private:
    friend class TBitmapCanvas;
    void FreeContext();
    void Recreate(int w, int h, TPixelFormat f, HBITMAP copyFrom);
    void AdoptPicture(HBITMAP h);
    int width_ = 0, height_ = 0;
    TPixelFormat format_ = pf24bit;
    HBITMAP handle_ = nullptr;
    void* bits_ = nullptr;
    std::unique_ptr<TBitmapCanvas> canvas_;
    TColor transparent_color_ = clDefault;
    bool transparent_ = false;
    HPALETTE palette_ = nullptr;
};

// A palette of its own with Palette's colours; 0 for none.
HPALETTE CopyPalette(HPALETTE Palette);

class TIcon : public TGraphicsObject {
public:
    TIcon() = default;
    ~TIcon() override;
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;
    void Assign(const TIcon& Source);
    HICON Handle() const { return handle_; }
    // Takes ownership of the icon.
    void SetHandle(HICON Value);
    // Gives the icon away: the caller frees it.
    HICON ReleaseHandle();
    bool Empty() const { return handle_ == nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void LoadFromResourceName(HINSTANCE Instance, const std::string& ResName);
    void LoadFromResourceID(HINSTANCE Instance, int ResID);
    void LoadFromFile(const std::string& FileName);

private:
    HICON handle_ = nullptr;
    int width_ = 0, height_ = 0;
};

class TCustomImageList;

// A listener registered with an image list (controls that show its images).
class TChangeLink : public TObject {
public:
    ~TChangeLink() override;
    TCustomImageList* Sender() const { return sender_; }
    TNotifyEvent OnChange;

private:
    friend class TCustomImageList;
    TCustomImageList* sender_ = nullptr;
};

enum TDrawingStyle : uint8_t { dsFocus, dsSelected, dsNormal, dsTransparent };

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner = nullptr);
    ~TCustomImageList() override;

    // The image list handle, made on first use.
    HIMAGELIST Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    // Uses another list's handle (e.g. the system image list); with
    // ShareImages it is never destroyed here.
    void SetHandle(HIMAGELIST Value);
    bool ShareImages() const { return share_; }
    void SetShareImages(bool v) { share_ = v; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int v);
    void SetHeight(int v);
    int Count();
    TColor BkColor() const { return bk_color_; }
    void SetBkColor(TColor v);
    TDrawingStyle DrawingStyle() const { return drawing_style_; }
    void SetDrawingStyle(TDrawingStyle v) { drawing_style_ = v; }

    int Add(TBitmap* Image, TBitmap* Mask);
    int AddMasked(TBitmap& Image, TColor MaskColor);
    int AddIcon(TIcon& Image);
    void Replace(int Index, TBitmap* Image, TBitmap* Mask);
    void Delete(int Index);
    void Clear();
    void Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled = true);
    void GetBitmap(int Index, TBitmap& Image);
    // The image's monochrome mask: white where the image is transparent.
    void GetMask(int Index, TBitmap& Mask);
    void GetIcon(int Index, TIcon& Image);

    void RegisterChanges(TChangeLink* Value);
    void UnRegisterChanges(TChangeLink* Value);
    TNotifyEvent OnChange;

protected:
    void Change();

private:
    void FreeHandle();
    HIMAGELIST handle_ = nullptr;
    bool share_ = false;
    int width_ = 16, height_ = 16;
    TColor bk_color_ = clNone;
    TDrawingStyle drawing_style_ = dsNormal;
    std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};

// Moves a component's image-list property from the list in Field to Value:
// Link's registration and Owner's free notification go with it.
void SwitchImageList(TComponent* Owner, TCustomImageList*& Field, TCustomImageList* Value, TChangeLink& Link);

// Screen-compatible memory context helpers used by controls that paint off
// screen: a bitmap of the given size on a memory DC, freed together.
class TMemoryDC {
public:
    TMemoryDC(HDC Reference, int W, int H);
    ~TMemoryDC();
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    HDC DC() const { return dc_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

}  // namespace bramble
