#include "kits/toolbar/glyphcache.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "ui/classes.h"

namespace bramble {

TGlyphList::TGlyphList(int AWidth, int AHeight) {
    SetWidth(AWidth);
    SetHeight(AHeight);
}

int TGlyphList::AddGlyph(TBitmap& Image, TBitmap& Mask) {
    if (Mask.Width() < Image.Width() || Mask.Height() < Image.Height()) throw EInvalidOperation(SInvalidImageSize);
    // The list draws the image over the masked-out background: what lies
    // under the mask has to be black.
    TBitmap image;
    image.Assign(Image);
    image.SetPixelFormat(pf24bit);
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.ScanLine(y);
        const uint8_t* m = Mask.ScanLine(y);
        for (int x = 0; x < image.Width(); ++x)
            if (m[x / 8] & (0x80 >> (x % 8))) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 0;
    }
    const auto freeSlot = std::find(used_.begin(), used_.end(), false);
    if (freeSlot != used_.end()) {
        const int i = static_cast<int>(freeSlot - used_.begin());
        Replace(i, &image, &Mask);
        used_[static_cast<size_t>(i)] = true;
        return i;
    }
    const int i = Add(&image, &Mask);
    if (static_cast<size_t>(i) >= used_.size()) used_.resize(static_cast<size_t>(i) + 1, false);
    used_[static_cast<size_t>(i)] = true;
    return i;
}

void TGlyphList::FreeGlyph(int Index) {
    if (Index >= 0 && static_cast<size_t>(Index) < used_.size()) used_[static_cast<size_t>(Index)] = false;
}

int TGlyphList::UsedCount() const { return static_cast<int>(std::count(used_.begin(), used_.end(), true)); }

namespace {

using TGlyphCache = std::map<std::pair<int, int>, std::unique_ptr<TGlyphList>>;
// Made with the first list and freed with the last: buttons may outlive
// the program's static objects.
TGlyphCache* g_cache = nullptr;

void DropIfEmpty(TGlyphList* list) {
    if (!g_cache || list->UsedCount() > 0) return;
    g_cache->erase({list->Width(), list->Height()});
    if (g_cache->empty()) {
        delete g_cache;
        g_cache = nullptr;
    }
}

}  // namespace

TCachedGlyph CacheGlyph(TBitmap& Image, TBitmap& Mask) {
    if (Image.Empty()) return {};
    if (!g_cache) g_cache = new TGlyphCache;
    auto& slot = (*g_cache)[{Image.Width(), Image.Height()}];
    if (!slot) slot = std::make_unique<TGlyphList>(Image.Width(), Image.Height());
    TGlyphList* list = slot.get();
    try {
        return {list, list->AddGlyph(Image, Mask)};
    } catch (...) {
        DropIfEmpty(list);
        throw;
    }
}

void ReleaseGlyph(TCachedGlyph& Glyph) {
    if (Glyph.List) {
        Glyph.List->FreeGlyph(Glyph.Index);
        DropIfEmpty(Glyph.List);
    }
    Glyph = {};
}

int GlyphCacheLists() { return g_cache ? static_cast<int>(g_cache->size()) : 0; }

int GlyphCacheImages() {
    int n = 0;
    if (g_cache)
        for (auto& [size, list] : *g_cache) n += list->UsedCount();
    return n;
}

}  // namespace bramble
