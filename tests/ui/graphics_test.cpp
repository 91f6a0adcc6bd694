#include <gtest/gtest.h>

#include <vector>

#include "ui/graphics.h"
#include "ui_support.h"

namespace bramble {
namespace {

TEST(Bitmaps, DrawReadBackResizeAndTakeTheBottomLeftPixelAsTransparent) {
    TBitmap b(20, 10);
    EXPECT_EQ(b.Canvas().Pixel(3, 3), clWhite);  // a new bitmap is white
    b.Canvas().Brush().SetColor(clRed);
    b.Canvas().FillRect(Rect(0, 0, 10, 10));
    b.Canvas().SetPixel(0, 9, clLime);
    EXPECT_EQ(b.Canvas().Pixel(5, 5), clRed);
    EXPECT_EQ(b.TransparentColor(), clLime);
    b.SetTransparentColor(clBlue);
    EXPECT_EQ(b.TransparentColor(), clBlue);
    b.SetTransparentColor(clDefault);
    // Growing keeps the picture at the top left.
    b.SetSize(30, 30);
    EXPECT_EQ(b.Canvas().Pixel(5, 5), clRed);
    EXPECT_EQ(b.Canvas().Pixel(25, 25), clWhite);
    EXPECT_EQ(b.TransparentColor(), clWhite);
    // The handle can be used elsewhere and the canvas again afterwards.
    HBITMAP h = b.Handle();
    BITMAP info{};
    ASSERT_TRUE(GetObjectA(h, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 30);
    b.Canvas().SetPixel(29, 29, clBlue);
    EXPECT_EQ(b.Canvas().Pixel(29, 29), clBlue);
    TBitmap copy;
    copy.Assign(b);
    EXPECT_EQ(copy.Canvas().Pixel(5, 5), clRed);
    b.Clear();
    EXPECT_TRUE(b.Empty());
}

TEST(Canvas, AnIconStretchesToTheRectangleAndLeavesItsTransparentPartsAlone) {
    // 32 by 32: the left half red and opaque, the right half transparent.
    std::vector<uint8_t> andMask(32 * 4, 0), xorMask(32 * 4, 0);
    for (int y = 0; y < 32; ++y) {
        andMask[static_cast<size_t>(y * 4 + 2)] = 0xFF;
        andMask[static_cast<size_t>(y * 4 + 3)] = 0xFF;
    }
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, colour);
        // Black under the transparent half: the mask keeps the background
        // there and the colour is XORed over it.
        RECT all{0, 0, 32, 32}, left{0, 0, 16, 32};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &left, red);
        DeleteObject(red);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    HBITMAP mask = CreateBitmap(32, 32, 1, 1, andMask.data());
    ICONINFO ii{TRUE, 0, 0, mask, colour};
    TIcon icon;
    icon.SetHandle(CreateIconIndirect(&ii));
    DeleteObject(mask);
    DeleteObject(colour);
    ASSERT_FALSE(icon.Empty());

    TBitmap b(20, 20);
    b.Canvas().StretchDraw(Rect(2, 2, 18, 18), icon);
    EXPECT_EQ(b.Canvas().Pixel(4, 10), clRed);
    EXPECT_EQ(b.Canvas().Pixel(16, 10), clWhite);  // transparent
    EXPECT_EQ(b.Canvas().Pixel(1, 10), clWhite);   // outside
    TIcon none;
    b.Canvas().StretchDraw(Rect(0, 0, 20, 20), none);
    EXPECT_EQ(b.Canvas().Pixel(1, 10), clWhite);
}

TEST(Bitmaps, SaveToAFileAndLoadItBack) {
    std::string path = test::ArtifactsDir() + "\\roundtrip.bmp";
    {
        TBitmap b(7, 5);  // odd width: padded rows
        b.Canvas().Brush().SetColor(clNavy);
        b.Canvas().FillRect(Rect(0, 0, 7, 5));
        b.Canvas().SetPixel(6, 0, clYellow);
        b.SaveToFile(path);
    }
    TBitmap back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Width(), 7);
    EXPECT_EQ(back.Height(), 5);
    EXPECT_EQ(back.Canvas().Pixel(6, 0), clYellow);
    EXPECT_EQ(back.Canvas().Pixel(0, 4), clNavy);
    TBitmap mono(9, 3);
    mono.SetMonochrome(true);
    mono.Canvas().Brush().SetColor(clBlack);
    mono.Canvas().FillRect(Rect(0, 0, 4, 3));
    mono.SaveToFile(path);
    back.LoadFromFile(path);
    EXPECT_TRUE(back.Monochrome());
    EXPECT_EQ(back.Canvas().Pixel(1, 1), clBlack);
    EXPECT_EQ(back.Canvas().Pixel(8, 1), clWhite);
    EXPECT_THROW(back.LoadFromFile(test::ArtifactsDir() + "\\missing.bmp"), EInvalidGraphic);
    EXPECT_THROW(back.LoadFromResourceName(GetModuleHandleA(nullptr), "NOSUCHBMP"), EInvalidGraphic);
}

TEST(Canvas, FontChangesReachTheContextAndTextIsMeasured) {
    TBitmap b(200, 50);
    TCanvas& c = b.Canvas();
    c.Font().SetName("Arial");
    c.Font().SetSize(8);
    int small = c.TextWidth("Bramble archive");
    c.Font().SetSize(16);
    int large = c.TextWidth("Bramble archive");
    EXPECT_GT(large, small + small / 2);
    EXPECT_GT(c.TextHeight(""), 0);
    EXPECT_EQ(c.TextWidth(""), 0);
    c.Brush().SetColor(clWhite);
    c.FillRect(Rect(0, 0, 200, 50));
    c.Pen().SetColor(clRed);
    c.MoveTo(0, 10);
    c.LineTo(100, 10);
    EXPECT_EQ(c.Pixel(50, 10), clRed);
    c.Brush().SetColor(clBlue);
    c.Polygon({{120, 5}, {140, 5}, {140, 25}, {120, 25}});
    EXPECT_EQ(c.Pixel(130, 15), clBlue);
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
}

TEST(ImageLists, AddMaskedImagesDrawTransparentlyAndTellTheirListeners) {
    TImageList il(nullptr);
    TChangeLink link;
    int changes = 0;
    link.OnChange = [&](TObject*) { ++changes; };
    il.RegisterChanges(&link);
    TBitmap strip(32, 16);  // two images
    strip.Canvas().Brush().SetColor(clFuchsia);
    strip.Canvas().FillRect(Rect(0, 0, 32, 16));
    strip.Canvas().Brush().SetColor(clGreen);
    strip.Canvas().FillRect(Rect(4, 4, 12, 12));
    EXPECT_EQ(il.AddMasked(strip, clFuchsia), 0);
    EXPECT_EQ(il.Count(), 2);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(strip.Canvas().Pixel(0, 0), clFuchsia);  // the caller's bitmap is untouched
    TBitmap target(16, 16);
    target.Canvas().Brush().SetColor(clYellow);
    target.Canvas().FillRect(Rect(0, 0, 16, 16));
    il.Draw(target.Canvas(), 0, 0, 0);
    EXPECT_EQ(target.Canvas().Pixel(8, 8), clGreen);
    EXPECT_EQ(target.Canvas().Pixel(1, 1), clYellow);
    il.Draw(target.Canvas(), 0, 0, 99);  // out of range: nothing
    TBitmap tiny(4, 4);
    EXPECT_THROW(il.Add(&tiny, nullptr), EInvalidOperation);
    EXPECT_THROW(il.Delete(5), EInvalidOperation);
    // A shared handle is not destroyed with the list.
    HIMAGELIST shared = ImageList_Create(16, 16, ILC_COLOR24, 1, 1);
    {
        TImageList user(nullptr);
        user.SetShareImages(true);
        user.SetHandle(shared);
        EXPECT_EQ(user.Width(), 16);
    }
    EXPECT_EQ(ImageList_GetImageCount(shared), 0);
    EXPECT_TRUE(ImageList_Destroy(shared));
    il.UnRegisterChanges(&link);
    int before = changes;
    il.Clear();
    EXPECT_EQ(changes, before);
}

}  // namespace
}  // namespace bramble
