// What a toolbar button shows as its picture: a strip of glyphs or an image
// of an image list, prepared once per drawing state into the shared glyph
// cache, with the embossed image of a disabled button made from the first
// glyph when the strip has none of its own.
#pragma once

#include <windows.h>

#include <functional>

#include "kits/toolbar/glyphcache.h"
#include "ui/component.h"
#include "ui/graphics.h"

namespace bramble {

// The drawing states, in this order; a state also picks its glyph of a strip.
enum TButtonState97 : uint8_t { tbsUp, tbsDisabled, tbsDown, tbsExclusive, tbsMouseIn };

class TButtonGlyph {
public:
    // Owner gets the image list's free notification; Changed runs when what
    // is shown changes.
    TButtonGlyph(TComponent* Owner, std::function<void()> Changed);
    ~TButtonGlyph();
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    TBitmap& Glyph() { return glyph_; }
    // Takes a copy; NumGlyphs follows the strip's shape.
    void SetGlyph(TBitmap* v);
    TBitmap& GlyphMask() { return mask_; }
    // A mask smaller than the glyph is refused (EInvalidOperation).
    void SetGlyphMask(TBitmap* v);
    int NumGlyphs() const { return images_ ? 1 : num_glyphs_; }
    void SetNumGlyphs(int v);
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* v);
    // The list is being freed: forget it without touching it.
    void ImagesFreed();
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    bool OldDisabledStyle() const { return old_disabled_style_; }
    void SetOldDisabledStyle(bool v);

    // Drops the prepared images (new system colours, a changed source).
    void Invalidate();
    // The size of one image; 0 by 0 when there is none.
    SIZE Size();
    // Draws the image of State with its top-left at (X, Y).
    void Draw(HDC DC, int X, int Y, TButtonState97 State);
    // Makes the image of State now, if it is not made yet.
    void Prepare(TButtonState97 State);

private:
    bool FromImages();
    void Source(int Cell, TBitmap& Image, TBitmap& Mask);
    void Changed();
    void ImagesChanged();

    TComponent* owner_;
    std::function<void()> changed_;
    TBitmap glyph_, mask_;
    int num_glyphs_ = 1;
    TCustomImageList* images_ = nullptr;
    TChangeLink link_;
    int image_index_ = -1;
    bool old_disabled_style_ = false;
    TCachedGlyph prepared_[5];
};

}  // namespace bramble
