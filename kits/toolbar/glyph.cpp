#include "kits/toolbar/glyph.h"

#include <algorithm>
#include <vector>

#include "ui/classes.h"

namespace bramble {

namespace {

COLORREF PixelOf(const uint8_t* row, int x) { return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]); }

void SetPixelOf(uint8_t* row, int x, COLORREF c) {
    row[3 * x] = GetBValue(c);
    row[3 * x + 1] = GetGValue(c);
    row[3 * x + 2] = GetRValue(c);
}

bool MaskBit(const uint8_t* row, int x) { return (row[x / 8] & (0x80 >> (x % 8))) != 0; }

void SetMaskBit(uint8_t* row, int x, bool v) {
    const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
    row[x / 8] = static_cast<uint8_t>(v ? row[x / 8] | bit : row[x / 8] & ~bit);
}

// Copies a W by H part of Src at (SX, 0) into Dst as true colour; a
// monochrome source comes out black and white whichever way the system
// maps it.
void CopyPart(TBitmap& Src, int SX, int W, int H, TBitmap& Dst) {
    Dst.SetPixelFormat(pf24bit);
    Dst.SetSize(W, H);
    HDC s = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(s, Src.Handle());
    HDC d = Dst.Canvas().Handle();
    SetTextColor(d, RGB(0, 0, 0));
    SetBkColor(d, RGB(0xFF, 0xFF, 0xFF));
    BitBlt(d, 0, 0, W, H, s, SX, 0, SRCCOPY);
    SelectObject(s, old);
    DeleteDC(s);
}

void NewMask(TBitmap& Mask, int W, int H) {
    Mask.SetPixelFormat(pf1bit);
    Mask.SetSize(W, H);
}

}  // namespace

TButtonGlyph::TButtonGlyph(TComponent* Owner, std::function<void()> Changed)
    : owner_(Owner), changed_(std::move(Changed)) {
    glyph_.OnChange = [this](TObject*) { this->Changed(); };
    mask_.OnChange = [this](TObject*) { this->Changed(); };
    link_.OnChange = [this](TObject*) { this->Changed(); };
}

TButtonGlyph::~TButtonGlyph() {
    glyph_.OnChange = nullptr;
    mask_.OnChange = nullptr;
    Invalidate();
}

void TButtonGlyph::Changed() {
    Invalidate();
    if (changed_) changed_();
}

void TButtonGlyph::Invalidate() {
    for (TCachedGlyph& g : prepared_) ReleaseGlyph(g);
}

void TButtonGlyph::SetGlyph(TBitmap* v) {
    if (v && !v->Empty() && !mask_.Empty() && (mask_.Width() < v->Width() || mask_.Height() < v->Height()))
        throw EInvalidOperation(SInvalidImageSize);
    if (v)
        glyph_.Assign(*v);
    else
        glyph_.Clear();
    // A strip of square-ish images side by side; anything else (and an
    // empty picture) is one glyph.
    const int w = glyph_.Width(), h = glyph_.Height();
    num_glyphs_ = (h > 0 && w % h == 0 && w / h >= 1 && w / h <= 5) ? w / h : 1;
    Changed();
}

void TButtonGlyph::SetGlyphMask(TBitmap* v) {
    if (v && !v->Empty() && !glyph_.Empty() && (v->Width() < glyph_.Width() || v->Height() < glyph_.Height()))
        throw EInvalidOperation(SInvalidImageSize);
    if (v)
        mask_.Assign(*v);
    else
        mask_.Clear();
}

void TButtonGlyph::SetNumGlyphs(int v) {
    num_glyphs_ = std::clamp(v, 1, 5);
    Changed();
}

void TButtonGlyph::SetImages(TCustomImageList* v) {
    if (v == images_) return;
    SwitchImageList(owner_, images_, v, link_);
    ImagesChanged();
}

void TButtonGlyph::ImagesFreed() {
    images_ = nullptr;  // the list has dropped our link itself
    ImagesChanged();
}

void TButtonGlyph::ImagesChanged() {
    const int w = glyph_.Width(), h = glyph_.Height();
    num_glyphs_ = (h > 0 && w % h == 0 && w / h >= 1 && w / h <= 5) ? w / h : 1;
    Changed();
}

void TButtonGlyph::SetImageIndex(int v) {
    if (v == image_index_) return;
    image_index_ = v;
    Changed();
}

void TButtonGlyph::SetOldDisabledStyle(bool v) {
    if (v == old_disabled_style_) return;
    old_disabled_style_ = v;
    Changed();
}

bool TButtonGlyph::FromImages() { return images_ && image_index_ >= 0 && image_index_ < images_->Count(); }

SIZE TButtonGlyph::Size() {
    if (FromImages()) return {images_->Width(), images_->Height()};
    if (glyph_.Empty()) return {0, 0};
    return {glyph_.Width() / NumGlyphs(), glyph_.Height()};
}

void TButtonGlyph::Source(int Cell, TBitmap& Image, TBitmap& Mask) {
    const SIZE s = Size();
    const int w = s.cx, h = s.cy;
    if (FromImages()) {
        images_->GetBitmap(image_index_, Image);
        images_->GetMask(image_index_, Mask);
        return;
    }
    CopyPart(glyph_, Cell * w, w, h, Image);
    NewMask(Mask, w, h);
    // A mask that no longer covers the glyph (the glyph was drawn on in
    // place) is passed over for the transparent colour.
    if (!mask_.Empty() && mask_.Width() >= glyph_.Width() && mask_.Height() >= glyph_.Height()) {
        TBitmap part;
        CopyPart(mask_, Cell * w, w, h, part);
        for (int y = 0; y < h; ++y) {
            const uint8_t* p = part.ScanLine(y);
            uint8_t* m = Mask.ScanLine(y);
            for (int x = 0; x < w; ++x) SetMaskBit(m, x, PixelOf(p, x) == RGB(0xFF, 0xFF, 0xFF));
        }
        return;
    }
    const COLORREF transparent = ColorToRGB(glyph_.TransparentColor());
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = Image.ScanLine(y);
        uint8_t* m = Mask.ScanLine(y);
        for (int x = 0; x < w; ++x) SetMaskBit(m, x, PixelOf(p, x) == transparent);
    }
}

void TButtonGlyph::Prepare(TButtonState97 State) {
    TCachedGlyph& slot = prepared_[State];
    if (slot.List) return;
    const SIZE s = Size();
    if (s.cx <= 0 || s.cy <= 0) return;
    const int n = NumGlyphs();
    TBitmap image, mask;
    if (State != tbsDisabled || n >= 2) {
        Source(State < n ? State : 0, image, mask);
        slot = CacheGlyph(image, mask);
        return;
    }
    // Embossed from the first image on the button face, one pixel larger
    // each way: its shape in highlight one pixel down and right, then in
    // shadow. The shape leaves out white and silver (the lit parts of the
    // usual sixteen-colour glyphs), or with the older style takes every
    // pixel that is not transparent.
    Source(0, image, mask);
    const int w = s.cx, h = s.cy;
    std::vector<bool> shape(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = image.ScanLine(y);
        const uint8_t* m = mask.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const COLORREF c = PixelOf(p, x);
            shape[static_cast<size_t>(y) * w + x] =
                !MaskBit(m, x) && (old_disabled_style_ || (c != RGB(0xFF, 0xFF, 0xFF) && c != RGB(0xC0, 0xC0, 0xC0)));
        }
    }
    TBitmap out(w + 1, h + 1), outMask;
    NewMask(outMask, w + 1, h + 1);
    const COLORREF face = ColorToRGB(clBtnFace), hi = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
    for (int y = 0; y <= h; ++y) {
        uint8_t* p = out.ScanLine(y);
        uint8_t* m = outMask.ScanLine(y);
        for (int x = 0; x <= w; ++x) {
            const bool under = x < w && y < h && shape[static_cast<size_t>(y) * w + x];
            const bool lit = x > 0 && y > 0 && shape[static_cast<size_t>(y - 1) * w + (x - 1)];
            SetPixelOf(p, x, under ? shadow : lit ? hi : face);
            SetMaskBit(m, x, !under && !lit);
        }
    }
    slot = CacheGlyph(out, outMask);
}

void TButtonGlyph::Draw(HDC DC, int X, int Y, TButtonState97 State) {
    Prepare(State);
    const TCachedGlyph& g = prepared_[State];
    if (!g.List) return;
    TCanvas c;
    c.SetHandle(DC);
    g.List->Draw(c, X, Y, g.Index);
    c.SetHandle(nullptr);
}

}  // namespace bramble
