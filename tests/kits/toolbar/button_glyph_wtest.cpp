// Toolbar button pictures under Wine: images from an image list, the
// glyph mask, the embossed disabled image in both styles, the shared
// glyph cache, and printing owned windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "kits/toolbar/glyphcache.h"
#include "kits/toolbar/hooks.h"
#include "kits/toolbar/scene.h"
#include "ui/classes.h"

namespace bramble {
namespace {

using test::Pump;

// A shown form for buttons placed straight on it.
struct Form : test::Form {
    Form() : test::Form("Glyph test") { f->Show(); }
};

// 16 x 16: fuchsia (left out) around a navy square (3..12) with a white
// middle (6..9), the lit part a sixteen-colour glyph would have.
void PaintGlyph(TBitmap& b, TColor square = clNavy) {
    b.SetSize(16, 16);
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, 16, 16));
    b.Canvas().Brush().SetColor(square);
    b.Canvas().FillRect(Rect(3, 3, 13, 13));
    b.Canvas().Brush().SetColor(clWhite);
    b.Canvas().FillRect(Rect(6, 6, 10, 10));
}

// A 26 x 26 button without caption: its 16 x 16 glyph starts at (5, 5).
TToolbarButton97* NewButton(TForm* f, int left) {
    auto* b = new TToolbarButton97(f);
    b->SetBounds(left, 10, 26, 26);
    b->SetParent(f);
    return b;
}

// The colour at (X, Y) of Button as the form prints it.
struct Shot {
    TBitmap bmp;
    POINT client{};
    explicit Shot(TForm* f) {
        Pump();
        test::RenderWindow(*f, bmp);
        RECT wr{};
        GetWindowRect(f->Handle(), &wr);
        POINT o{0, 0};
        ClientToScreen(f->Handle(), &o);
        client = {o.x - wr.left, o.y - wr.top};
    }
    COLORREF At(TControl* b, int X, int Y) { return test::PixelAt(bmp, client.x + b->Left() + X, client.y + b->Top() + Y); }
};

COLORREF Sys(int i) { return static_cast<COLORREF>(GetSysColor(i)); }
COLORREF Rgb(TColor c) { return ColorToRGB(c); }

TEST(ToolbarButtonGlyph, ImageListImagesEnabledDisabledAndBothDisabledStyles) {
    Form f;
    auto* images = new TImageList(f.f);
    TBitmap pic;
    PaintGlyph(pic);
    images->AddMasked(pic, clFuchsia);
    TToolbarButton97* up = NewButton(f.f, 10);
    TToolbarButton97* off = NewButton(f.f, 40);
    TToolbarButton97* old = NewButton(f.f, 70);
    for (TToolbarButton97* b : {up, off, old}) {
        b->SetImages(images);
        b->SetImageIndex(0);
    }
    off->SetEnabled(false);
    old->SetEnabled(false);
    old->SetOldDisabledStyle(true);
    EXPECT_EQ(up->NumGlyphs(), 1);
    Shot s(f.f);
    // Drawn transparently from the list.
    EXPECT_EQ(s.At(up, 5 + 4, 5 + 4), Rgb(clNavy));
    EXPECT_EQ(s.At(up, 5 + 7, 5 + 7), Rgb(clWhite));
    EXPECT_EQ(s.At(up, 5 + 1, 5 + 1), Sys(COLOR_BTNFACE));
    // Embossed: the shape in shadow, lit one pixel down and right; white
    // parts are not part of the shape...
    EXPECT_EQ(s.At(off, 5 + 4, 5 + 4), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(s.At(off, 5 + 13, 5 + 13), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(s.At(off, 5 + 7, 5 + 7), Sys(COLOR_BTNFACE));
    EXPECT_EQ(s.At(off, 5 + 1, 5 + 1), Sys(COLOR_BTNFACE));
    // ...but are with the older style, which takes every pixel shown.
    EXPECT_EQ(s.At(old, 5 + 7, 5 + 7), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(s.At(old, 5 + 13, 5 + 13), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(s.At(old, 5 + 1, 5 + 1), Sys(COLOR_BTNFACE));
    test::SaveScreenshot(*f.f, "toolbar-button-images.bmp");

    // A change of the list's image shows at once (nothing stale cached);
    // a list freed under the buttons is forgotten.
    TBitmap red;
    PaintGlyph(red, clRed);
    images->Clear();
    images->AddMasked(red, clFuchsia);
    Shot s2(f.f);
    EXPECT_EQ(s2.At(up, 5 + 4, 5 + 4), Rgb(clRed));
    delete images;
    EXPECT_EQ(up->Images(), nullptr);
    Shot s3(f.f);
    EXPECT_EQ(s3.At(up, 5 + 4, 5 + 4), Sys(COLOR_BTNFACE));
}

TEST(ToolbarButtonGlyph, DownButtonWithImagesKeepsCheckerFaceAndShift) {
    Form f;
    auto* images = new TImageList(f.f);
    TBitmap pic;
    PaintGlyph(pic);
    images->AddMasked(pic, clFuchsia);
    TToolbarButton97* b = NewButton(f.f, 10);
    b->SetImages(images);
    b->SetImageIndex(0);
    b->SetGroupIndex(1);
    b->SetDown(true);
    Shot s(f.f);
    // Pushed: the content moves by one pixel.
    EXPECT_EQ(s.At(b, 6 + 4, 6 + 4), Rgb(clNavy));
    EXPECT_EQ(s.At(b, 6 + 3, 6 + 3), Rgb(clNavy));
    // The checker face shows through the image's transparent parts.
    const std::set<COLORREF> seen{s.At(b, 6 + 1, 6 + 1), s.At(b, 6 + 2, 6 + 1)};
    EXPECT_EQ(seen, (std::set<COLORREF>{Sys(COLOR_BTNFACE), Sys(COLOR_BTNHIGHLIGHT)}));
}

TEST(ToolbarButtonGlyph, GlyphMaskDecidesWhatShowsAndMustCoverTheGlyph) {
    Form f;
    // All navy: by the bottom-left pixel the whole glyph would be left out.
    TBitmap navy(16, 16);
    navy.Canvas().Brush().SetColor(clNavy);
    navy.Canvas().FillRect(Rect(0, 0, 16, 16));
    TBitmap mask(16, 16);
    mask.Canvas().Brush().SetColor(clWhite);
    mask.Canvas().FillRect(Rect(0, 0, 16, 16));
    mask.Canvas().Brush().SetColor(clBlack);
    mask.Canvas().FillRect(Rect(3, 3, 13, 13));
    mask.SetMonochrome(true);
    TToolbarButton97* plain = NewButton(f.f, 10);
    TToolbarButton97* masked = NewButton(f.f, 40);
    TToolbarButton97* old = NewButton(f.f, 70);
    for (TToolbarButton97* b : {plain, masked, old}) b->SetGlyph(&navy);
    masked->SetGlyphMask(&mask);
    old->SetGlyphMask(&mask);
    old->SetOldDisabledStyle(true);
    old->SetEnabled(false);
    Shot s(f.f);
    EXPECT_EQ(s.At(plain, 5 + 4, 5 + 4), Sys(COLOR_BTNFACE));
    EXPECT_EQ(s.At(masked, 5 + 4, 5 + 4), Rgb(clNavy));
    EXPECT_EQ(s.At(masked, 5 + 1, 5 + 1), Sys(COLOR_BTNFACE));
    // The older disabled style takes its shape from the mask.
    EXPECT_EQ(s.At(old, 5 + 4, 5 + 4), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(s.At(old, 5 + 13, 5 + 13), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(s.At(old, 5 + 1, 5 + 1), Sys(COLOR_BTNFACE));

    // A mask smaller than the glyph is refused and the old one stays.
    TBitmap small(8, 8);
    EXPECT_THROW(masked->SetGlyphMask(&small), EInvalidOperation);
    EXPECT_EQ(masked->GlyphMask().Width(), 16);
    TBitmap wide(32, 16);
    EXPECT_THROW(masked->SetGlyph(&wide), EInvalidOperation);
    EXPECT_EQ(masked->Glyph().Width(), 16);
}

TEST(ToolbarButtonGlyph, ButtonsShareOneCachedListPerSize) {
    const int lists = GlyphCacheLists(), cached = GlyphCacheImages();
    {
        Form f;
        TBitmap g13(13, 13), g11(11, 11);
        TToolbarButton97* a = NewButton(f.f, 10);
        TToolbarButton97* b = NewButton(f.f, 40);
        TToolbarButton97* c = NewButton(f.f, 70);
        a->SetGlyph(&g13);
        b->SetGlyph(&g13);
        Shot s1(f.f);
        EXPECT_EQ(GlyphCacheLists(), lists + 1);  // one list holds both
        EXPECT_EQ(GlyphCacheImages(), cached + 2);
        c->SetGlyph(&g11);
        b->SetEnabled(false);  // its embossed image is one pixel larger each way
        Shot s2(f.f);
        EXPECT_EQ(GlyphCacheLists(), lists + 3);
        EXPECT_EQ(GlyphCacheImages(), cached + 4);
        // A new glyph gives its old images back; a list goes with its
        // last image.
        a->SetGlyph(&g11);
        Shot s3(f.f);
        EXPECT_EQ(GlyphCacheImages(), cached + 4);
        EXPECT_EQ(GlyphCacheLists(), lists + 3);
        delete b;
        EXPECT_EQ(GlyphCacheImages(), cached + 2);
        EXPECT_EQ(GlyphCacheLists(), lists + 1);
    }
    EXPECT_EQ(GlyphCacheLists(), lists);
    EXPECT_EQ(GlyphCacheImages(), cached);
}

TEST(ToolbarButtonGlyph, LoadingPreparesTheImageOfTheStartingState) {
    SetCursorPos(1270, 1010);  // no button starts hot
    test::Scene s;
    const int cached = GlyphCacheImages();
    TBitmap pic;
    PaintGlyph(pic);
    s.bar->BeginLoading();
    for (bool enabled : {true, false}) {
        TToolbarButton97* b = test::NewButton(s.bar, "");
        b->SetGlyph(&pic);
        b->SetEnabled(enabled);
    }
    EXPECT_EQ(GlyphCacheImages(), cached);
    s.bar->LoadedAll();
    // The enabled and the embossed disabled image, before any paint.
    EXPECT_EQ(GlyphCacheImages(), cached + 2);
    // And they are the ones the paint needs.
    Pump();
    s.bar->Repaint();
    EXPECT_EQ(GlyphCacheImages(), cached + 2);
}

TEST(ToolbarPrint, OwnedWindowsPrintOnlyWhenAsked) {
    test::Scene f;
    TSkiffbar* bar = f.bar;
    bar->SetCaption("Floating");
    POINT at{0, 0};
    ClientToScreen(f.f->Handle(), &at);
    bar->SetFloatingPosition({at.x + 60, at.y + 60});
    bar->SetDockedTo(nullptr);
    Pump(5);
    ASSERT_EQ(GetWindow(bar->Handle(), GW_OWNER), f.f->Handle());
    RECT br{}, fr{};
    GetWindowRect(bar->Handle(), &br);
    GetWindowRect(f.f->Handle(), &fr);
    const int w = fr.right - fr.left, h = fr.bottom - fr.top;
    auto print = [&](TBitmap& shot, LPARAM flags) {
        shot.SetSize(w, h);
        shot.Canvas().Brush().SetColor(clFuchsia);
        shot.Canvas().FillRect(Rect(0, 0, w, h));
        AnswerPrintMessage(f.f->Handle(), reinterpret_cast<WPARAM>(shot.Canvas().Handle()), flags, nullptr);
        GdiFlush();
    };
    // Pixels of the bar's place (the form's window coordinates) that differ.
    auto differing = [&](TBitmap& a, TBitmap& b) {
        int n = 0;
        for (int y = br.top - fr.top; y < br.bottom - fr.top; ++y)
            for (int x = br.left - fr.left; x < br.right - fr.left; ++x) n += test::PixelAt(a, x, y) != test::PixelAt(b, x, y);
        return n;
    };
    const LPARAM base = PRF_NONCLIENT | PRF_CLIENT;
    TBitmap without, with, hidden;
    print(without, base);
    print(with, base | PRF_OWNED);
    EXPECT_GT(differing(without, with), (br.right - br.left) * (br.bottom - br.top) / 4);
    bar->SetVisible(false);
    Pump();
    print(hidden, base | PRF_OWNED);
    EXPECT_EQ(differing(without, hidden), 0);  // hidden owned windows stay out
}

}  // namespace
}  // namespace bramble
