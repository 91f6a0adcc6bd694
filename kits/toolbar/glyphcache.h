// The program-wide store of the toolbar buttons' prepared images: one image
// list per image size, shared by all buttons, whose freed slots are used
// again. A list goes with its last image.
#pragma once

#include "ui/graphics.h"

namespace bramble {

// An image list that remembers which of its slots hold an image.
class TGlyphList : public TCustomImageList {
public:
    TGlyphList(int AWidth, int AHeight);
    // Stores Image (of the list's size) with Mask (white: left out) in a free
    // slot and returns the slot.
    int AddGlyph(TBitmap& Image, TBitmap& Mask);
    void FreeGlyph(int Index);
    int UsedCount() const;

private:
    std::vector<bool> used_;
};

// One prepared image: its list and slot (no list: none).
struct TCachedGlyph {
    TGlyphList* List = nullptr;
    int Index = -1;
};

// Stores Image with Mask in the shared list of Image's size.
TCachedGlyph CacheGlyph(TBitmap& Image, TBitmap& Mask);
// Frees the slot; the list goes when it is empty. Glyph is reset.
void ReleaseGlyph(TCachedGlyph& Glyph);
// For tests: how many lists, and how many images in all, are cached.
int GlyphCacheLists();
int GlyphCacheImages();

}  // namespace bramble
