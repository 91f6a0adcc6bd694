#include "kits/menu/itemdraw.h"

#include <algorithm>
#include <functional>

#include "kits/menu/commandcache.h"
#include "kits/menu/menutext.h"

namespace bramble {

namespace {

void Fill(HDC dc, const RECT& r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
    HPEN p = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ old = SelectObject(dc, p);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(p);
}

// ---- the standard glyphs: simple pictures drawn once into a strip ----------------

constexpr COLORREF kMask = RGB(255, 0, 255);

void Page(HDC dc, int x, int y, COLORREF band) {
    RECT r{x + 3, y + 1, x + 13, y + 15};
    Fill(dc, r, RGB(255, 255, 255));
    HBRUSH frame = CreateSolidBrush(RGB(0, 0, 0));
    FrameRect(dc, &r, frame);
    DeleteObject(frame);
    Fill(dc, {x + 5, y + 4, x + 11, y + 6}, band);
    Fill(dc, {x + 5, y + 8, x + 11, y + 9}, RGB(128, 128, 128));
    Fill(dc, {x + 5, y + 11, x + 11, y + 12}, RGB(128, 128, 128));
}

void Glyph(HDC dc, int x, const std::string& key, int cell) {
    static const COLORREF palette[] = {RGB(0, 0, 128), RGB(128, 0, 0), RGB(0, 128, 0), RGB(128, 128, 0),
                                       RGB(0, 128, 128), RGB(128, 0, 128)};
    Fill(dc, {x, 0, x + 16, 16}, kMask);
    auto is = [&](const char* k) { return key == k; };
    if (is("OPEN") || is("NEWFOLDER") || is("NEWFOLDERB") || is("MOVETOFOLDER") || is("UPONELEVEL")) {
        Fill(dc, {x + 1, 4, x + 14, 14}, RGB(255, 255, 0));
        Fill(dc, {x + 1, 3, x + 6, 5}, RGB(255, 255, 0));
        HBRUSH f = CreateSolidBrush(RGB(128, 128, 0));
        RECT r{x + 1, 4, x + 14, 14};
        FrameRect(dc, &r, f);
        DeleteObject(f);
    } else if (is("SAVE") || is("SAVEALL")) {
        Fill(dc, {x + 1, 1, x + 15, 15}, RGB(0, 0, 128));
        Fill(dc, {x + 4, 2, x + 12, 7}, RGB(255, 255, 255));
        Fill(dc, {x + 5, 10, x + 11, 15}, RGB(192, 192, 192));
    } else if (is("COPY")) {
        Page(dc, x - 2, -1, palette[0]);
        Page(dc, x + 2, 1, palette[0]);
    } else if (is("CUT")) {
        Line(dc, x + 4, 1, x + 10, 10, RGB(0, 0, 0));
        Line(dc, x + 11, 1, x + 5, 10, RGB(0, 0, 0));
        Ellipse(dc, x + 2, 9, x + 7, 15);
        Ellipse(dc, x + 9, 9, x + 14, 15);
    } else if (is("PASTE")) {
        Fill(dc, {x + 2, 2, x + 12, 15}, RGB(128, 64, 0));
        Page(dc, x + 3, 2, palette[0]);
    } else if (is("DELETE") || is("DELETEB") || is("CLEAR")) {
        for (int d = 0; d < 2; ++d) {
            Line(dc, x + 3 + d, 3, x + 13 + d, 13, RGB(255, 0, 0));
            Line(dc, x + 12 + d, 3, x + 2 + d, 13, RGB(255, 0, 0));
        }
    } else if (is("FIND") || is("FINDNEXT") || is("SEARCH") || is("SEARCHTHEWEB")) {
        HPEN p = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
        HGDIOBJ o = SelectObject(dc, p);
        HGDIOBJ ob = SelectObject(dc, GetStockObject(WHITE_BRUSH));
        Ellipse(dc, x + 2, 2, x + 10, 10);
        MoveToEx(dc, x + 9, 9, nullptr);
        LineTo(dc, x + 14, 14);
        SelectObject(dc, ob);
        SelectObject(dc, o);
        DeleteObject(p);
    } else if (is("PRINT") || is("PRINTPREVIEW")) {
        Fill(dc, {x + 1, 6, x + 15, 12}, RGB(192, 192, 192));
        Fill(dc, {x + 4, 1, x + 12, 6}, RGB(255, 255, 255));
        Fill(dc, {x + 4, 12, x + 12, 15}, RGB(255, 255, 255));
        Fill(dc, {x + 12, 8, x + 14, 9}, RGB(0, 128, 0));
    } else if (is("CONTENTSANDINDEX") || is("HELPONHELP") || is("WHATSTHIS") || is("CONTENTS")) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 128));
        RECT r{x, 0, x + 16, 16};
        DrawTextA(dc, "?", 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else {
        Page(dc, x, 0, palette[cell % 6]);
    }
}

HIMAGELIST CacheImages() {
    static HIMAGELIST list = [] {
        const auto& cache = menukit::CommandCache::Instance();
        HIMAGELIST l = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, cache.Count(), 1);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP strip = CreateCompatibleBitmap(screen, 16 * cache.Count(), 16);
        HGDIOBJ old = SelectObject(dc, strip);
        for (int i = 0; i < cache.Count(); ++i) Glyph(dc, 16 * i, cache.Entry(i).Key, i);
        SelectObject(dc, old);
        ImageList_AddMasked(l, strip, kMask);
        DeleteObject(strip);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return l;
    }();
    return list;
}

void DrawCheckMark(HDC dc, const RECT& r, bool radio, COLORREF c) {
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    if (radio) {
        HBRUSH b = CreateSolidBrush(c);
        HPEN p = CreatePen(PS_SOLID, 1, c);
        HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, p);
        Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
        SelectObject(dc, ob);
        SelectObject(dc, op);
        DeleteObject(b);
        DeleteObject(p);
        return;
    }
    for (int d = 0; d < 3; ++d) {
        Line(dc, cx - 3, cy - 1 + d, cx - 1, cy + 1 + d, c);
        Line(dc, cx - 1, cy + 1 + d, cx + 4, cy - 4 + d, c);
    }
}

void DrawArrow(HDC dc, int left, int right, int top, int bottom, bool pointLeft, COLORREF c) {
    int y = (top + bottom - 5) / 2;
    POINT pts[3];
    if (!pointLeft) {
        int base = right - 8, tip = right - 5;
        pts[0] = {base, y};
        pts[1] = {tip, y + 3};
        pts[2] = {base, y + 6};
    } else {
        int base = left + 8, tip = left + 5;
        pts[0] = {base, y};
        pts[1] = {tip, y + 3};
        pts[2] = {base, y + 6};
    }
    HBRUSH b = CreateSolidBrush(c);
    HPEN p = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, p);
    Polygon(dc, pts, 3);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(b);
    DeleteObject(p);
}

void DrawLines(HDC dc, const std::vector<std::string>& lines, RECT r, UINT align) {
    int n = static_cast<int>(lines.size());
    int h = (r.bottom - r.top) / std::max(1, n);
    for (int i = 0; i < n; ++i) {
        RECT lr{r.left, r.top + i * h, r.right, r.top + (i + 1) * h};
        DrawTextA(dc, lines[static_cast<size_t>(i)].c_str(), static_cast<int>(lines[static_cast<size_t>(i)].size()), &lr,
                  DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | align);
    }
}

}  // namespace

void FillDitheredRect(HDC DC, const RECT& R) {
    if (GetDeviceCaps(DC, BITSPIXEL) * GetDeviceCaps(DC, PLANES) <= 8) {
        Fill(DC, R, GetSysColor(COLOR_BTNHIGHLIGHT));
        return;
    }
    static const WORD bits[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH b = CreatePatternBrush(pattern);
    COLORREF oldText = SetTextColor(DC, GetSysColor(COLOR_BTNFACE));
    COLORREF oldBk = SetBkColor(DC, GetSysColor(COLOR_BTNHIGHLIGHT));
    FillRect(DC, &R, b);
    SetTextColor(DC, oldText);
    SetBkColor(DC, oldBk);
    DeleteObject(b);
    DeleteObject(pattern);
}

void DrawTransparentGlyph(HDC DC, int X, int Y, TBitmap& Bitmap, int NumGlyphs, int Index) {
    if (Bitmap.Empty()) return;
    int w = NumGlyphs > 1 ? Bitmap.Width() / NumGlyphs : Bitmap.Width();
    int sx = NumGlyphs > 1 ? Index * w : 0;
    HDC src = Bitmap.Canvas().Handle();
    COLORREF transparent = GetPixel(src, 0, Bitmap.Height() - 1);
    TransparentBlt(DC, X, Y, w, Bitmap.Height(), src, sx, 0, w, Bitmap.Height(), transparent);
}

void DrawDisabledGlyph(HDC DC, int X, int Y, HDC Source, int W, int H, COLORREF Transparent, TColor Highlight,
                       TColor Shadow) {
    COLORREF hl = ColorToRGB(Highlight), sh = ColorToRGB(Shadow);
    std::vector<POINT> dark;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            COLORREF c = GetPixel(Source, x, y);
            if (c == Transparent || c == CLR_INVALID) continue;
            if (GetRValue(c) < 133 && GetGValue(c) < 129 && GetBValue(c) < 133) dark.push_back({x, y});
        }
    for (POINT p : dark) SetPixel(DC, X + p.x + 1, Y + p.y + 1, hl);
    for (POINT p : dark) SetPixel(DC, X + p.x, Y + p.y, sh);
}

void DrawCacheGlyph(HDC DC, int X, int Y, int Cell, bool Enabled, TColor Highlight, TColor Shadow) {
    if (Cell < 0 || Cell >= menukit::CommandCache::Instance().Count()) return;
    HIMAGELIST l = CacheImages();
    if (Enabled) {
        ImageList_Draw(l, Cell, DC, X, Y, ILD_TRANSPARENT);
        return;
    }
    HDC mem = CreateCompatibleDC(DC);
    HBITMAP bmp = CreateCompatibleBitmap(DC, 16, 16);
    HGDIOBJ old = SelectObject(mem, bmp);
    Fill(mem, {0, 0, 16, 16}, kMask);
    ImageList_Draw(l, Cell, mem, 0, 0, ILD_TRANSPARENT);
    DrawDisabledGlyph(DC, X, Y, mem, 16, 16, kMask, Highlight, Shadow);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
}

void DrawExpandButton(HDC DC, const RECT& R, bool Selected, bool Pressed, TColor Face) {
    RECT r = R;
    if (Selected) {
        FillDitheredRect(DC, r);
        DrawEdge(DC, &r, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    } else {
        Fill(DC, r, ColorToRGB(Face));
    }
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2 - 3;
    COLORREF c = GetSysColor(COLOR_MENUTEXT);
    for (int k = 0; k < 2; ++k)
        for (int d = 0; d < 2; ++d) {
            int y = cy + k * 4 + d;
            Line(DC, cx - 3, y, cx, y + 3, c);
            Line(DC, cx, y + 3, cx + 4, y - 1, c);
        }
}

void PrepareItemArea(const ItemDrawContext& C, const ItemDrawState& S) {
    const T_LFM_BaseOptions& o = *C.Options;
    RECT r{C.Cols.ItemLeft, C.Top, C.Cols.ItemRight, C.Top + C.Height};
    bool highlight = S.Selected && !(S.Disabled && C.Flags.contains(mfNoHighDisabled));
    if (highlight) {
        if (!S.Background) Fill(C.DC, r, ColorToRGB(o.Colors.Highlight));
    } else if (S.Hidden) {
        FillDitheredRect(C.DC, r);
        if (!S.HiddenAbove && o.Colors.Line != clNone)
            Line(C.DC, r.left, r.top, r.right, r.top, ColorToRGB(o.Colors.Line));
        if (!S.HiddenBelow && o.Colors.LineShadow != clNone)
            Line(C.DC, r.left, r.bottom - 1, r.right, r.bottom - 1, ColorToRGB(o.Colors.LineShadow));
    } else if (!C.Transparent) {
        Fill(C.DC, r, ColorToRGB(o.Colors.Menu));
    }
}

void DrawSeparatorLine(const ItemDrawContext& C, const ItemDrawState& S) {
    ItemDrawState plain = S;
    plain.Selected = false;
    PrepareItemArea(C, plain);
    const T_LFM_BaseOptions& o = *C.Options;
    int inset = C.Flags.contains(mfNoShortDividers) ? 2 : 14;
    int y = C.Top + C.Height / 2 - 1;
    int l = C.Cols.ItemLeft + inset, r = C.Cols.ItemRight - inset;
    if (o.Colors.Line != clNone) Line(C.DC, l, y, r, y, ColorToRGB(o.Colors.Line));
    if (o.Colors.LineShadow != clNone) Line(C.DC, l, y + 1, r, y + 1, ColorToRGB(o.Colors.LineShadow));
}

namespace {

// What one row shows, whatever kind of item it comes from.
struct ItemFace {
    std::string Caption, ShortCut;
    bool KitCaption = false;  // breaks at backslash-n too
    bool HasGlyph = false;
    std::function<void(int X, int Y)> Glyph;
    HBITMAP CheckBitmap = nullptr;  // a platform entry's own mark for its state
};

void DrawCheckBitmap(HDC dc, const RECT& r, HBITMAP bitmap) {
    BITMAP bm{};
    if (!GetObjectA(bitmap, sizeof(bm), &bm)) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap);
    int x = (r.left + r.right - bm.bmWidth) / 2, y = (r.top + r.bottom - bm.bmHeight) / 2;
    BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCAND);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void DrawItemFace(const ItemDrawContext& C, const ItemDrawState& S, const ItemFace& F) {
    const T_LFM_BaseOptions& o = *C.Options;
    PrepareItemArea(C, S);
    bool highlight = S.Selected && !(S.Disabled && C.Flags.contains(mfNoHighDisabled));
    COLORREF markColor = ColorToRGB(highlight ? o.Colors.HighlightText : o.Colors.MenuText);

    // Glyph column.
    RECT bmp{C.Cols.BitmapX, C.Top, C.Cols.BitmapX + C.Cols.BitmapWidth, C.Top + C.Height};
    RECT glyphArea = bmp;
    bool splitCheck = C.Flags.contains(mfShowCheckMark);
    if (splitCheck) {
        int mid = (bmp.left + bmp.right) / 2;
        if (S.Checked) DrawCheckMark(C.DC, {bmp.left, bmp.top, mid, bmp.bottom}, S.Radio, markColor);
        glyphArea.left = mid;
    }
    int gx = glyphArea.left + std::max<int>(1, (glyphArea.right - glyphArea.left - 16) / 2);
    int gy = C.Top + std::max(1, (C.Height - 16) / 2);
    // No glyph column (a bar item without a picture): nothing goes there.
    bool column = C.Cols.BitmapWidth > 0;
    bool glyph = column && F.HasGlyph;
    bool framed = glyph && S.Checked && !splitCheck && !C.Flags.contains(mfNoBitmapRect);
    RECT frame{gx - 1, gy - 1, gx + 17, gy + 17};
    // A checked glyph sits on a checker, as a pressed tool button does.
    if (framed && !S.Selected) FillDitheredRect(C.DC, frame);
    if (glyph) F.Glyph(gx, gy);
    if (framed) {
        DrawEdge(C.DC, &frame, BDR_SUNKENOUTER, BF_RECT);
    } else if (!glyph && column && !splitCheck) {
        if (F.CheckBitmap) DrawCheckBitmap(C.DC, glyphArea, F.CheckBitmap);
        else if (S.Checked) DrawCheckMark(C.DC, glyphArea, S.Radio, markColor);
    }

    // Text columns.
    HFONT font = C.Font;
    HFONT bold = nullptr;
    if (S.Default && font) {
        LOGFONTA lf{};
        GetObjectA(font, sizeof(lf), &lf);
        lf.lfWeight = FW_BOLD;
        bold = CreateFontIndirectA(&lf);
        font = bold;
    }
    HGDIOBJ oldFont = font ? SelectObject(C.DC, font) : nullptr;
    SetBkMode(C.DC, TRANSPARENT);
    UINT align = DT_LEFT;
    switch (o.Alignment) {
        case T_LFM_Alignment::taCenter: align = DT_CENTER; break;
        case T_LFM_Alignment::taRightJustify:
        case T_LFM_Alignment::taRightToLeft: align = DT_RIGHT; break;
        default: break;
    }
    bool rtl = o.Alignment == T_LFM_Alignment::taRightToLeft;
    UINT scAlign = (rtl || C.Flags.contains(mfStandardAlign)) ? DT_LEFT : DT_RIGHT;
    std::vector<std::string> lines = C.SingleLine ? std::vector<std::string>{F.Caption}
                                                  : menukit::CaptionLines(F.Caption, F.KitCaption);
    const std::string& shortcut = F.ShortCut;
    RECT cap{C.Cols.CaptionX, C.Top, C.Cols.CaptionX + C.Cols.CaptionWidth, C.Top + C.Height};
    RECT sc{C.Cols.ShortCutX, C.Top, C.Cols.ShortCutX + C.Cols.ShortCutWidth, C.Top + C.Height};
    auto text = [&](int dx, COLORREF color) {
        SetTextColor(C.DC, color);
        RECT a = cap, b = sc;
        OffsetRect(&a, dx, dx);
        OffsetRect(&b, dx, dx);
        DrawLines(C.DC, lines, a, align);
        if (!shortcut.empty())
            DrawTextA(C.DC, shortcut.c_str(), static_cast<int>(shortcut.size()), &b,
                      DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | scAlign);
    };
    if (S.Disabled && !(highlight)) {
        text(1, ColorToRGB(o.Colors.DisabledShadow));
        text(0, ColorToRGB(o.Colors.DisabledText));
    } else {
        text(0, ColorToRGB(highlight ? o.Colors.HighlightText : S.Disabled ? o.Colors.DisabledText : o.Colors.MenuText));
    }
    if (S.Submenu)
        DrawArrow(C.DC, C.Cols.ArrowX, C.Cols.ArrowX + C.Cols.ArrowWidth, C.Top, C.Top + C.Height, rtl, markColor);
    if (oldFont) SelectObject(C.DC, oldFont);
    if (bold) DeleteObject(bold);
}

}  // namespace

void DrawMenuItem(const ItemDrawContext& C, TMenuItem* Item, const ItemDrawState& Given) {
    // Drawn as the item's action stands now, not as when the caller looked.
    ItemDrawState S = Given;
    if (UpdateItemAction(Item)) {
        S.Disabled = !Item->Enabled();
        S.Checked = Item->Checked();
    }
    if (Item->IsLine()) {
        DrawSeparatorLine(C, S);
        return;
    }
    const T_LFM_BaseOptions& o = *C.Options;
    auto* kit = dynamic_cast<TMenuItem2000*>(Item);
    std::string caption = Item->Caption(), shortcut;
    if (kit) shortcut = kit->FirstShortCutText();
    else if (Item->ShortCut()) shortcut = ShortCutToText(Item->ShortCut());
    ItemFace face;
    std::string tabShortCut;
    menukit::SplitAtTab(caption, face.Caption, tabShortCut);
    face.ShortCut = shortcut.empty() ? tabShortCut : shortcut;
    face.KitCaption = kit != nullptr;

    const auto& cache = menukit::CommandCache::Instance();
    bool enabled = !S.Disabled;
    int cell = -1;
    if (C.Images && Item->ImageIndex() >= 0) {
        face.Glyph = [&](int x, int y) {
            TCanvas canvas;
            canvas.SetHandle(C.DC);
            C.Images->Draw(canvas, x, y, Item->ImageIndex(), enabled);
            canvas.SetHandle(nullptr);
        };
    } else if (kit && kit->DefaultIndex() >= 0) {
        cell = cache.CellOfIndex(kit->DefaultIndex(), false);
    } else if (Item->HasBitmap()) {
        face.Glyph = [&](int x, int y) {
            TBitmap& b = Item->Bitmap();
            int n = kit ? kit->NumGlyphs() : 1;
            if (enabled) {
                DrawTransparentGlyph(C.DC, x, y, b, n, 0);
                return;
            }
            HDC src = b.Canvas().Handle();
            int w = n > 1 ? b.Width() / n : b.Width();
            DrawDisabledGlyph(C.DC, x, y, src, w, b.Height(), GetPixel(src, 0, b.Height() - 1), o.Colors.DisabledShadow,
                              o.Colors.DisabledText);
        };
    } else if (kit) {
        cell = cache.CellOfCaption(Item->Caption());
        if (cell >= 0 && !cache.Entry(cell).HasGlyph) cell = -1;
    }
    if (cell >= 0)
        face.Glyph = [&](int x, int y) {
            DrawCacheGlyph(C.DC, x, y, cell, enabled, o.Colors.DisabledShadow, o.Colors.DisabledText);
        };
    face.HasGlyph = static_cast<bool>(face.Glyph);
    DrawItemFace(C, S, face);
}

NativeMenuEntry ReadNativeMenuEntry(HMENU Handle, int Position) {
    NativeMenuEntry e;
    char text[256] = {};
    MENUITEMINFOA mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_STRING;
    mi.dwTypeData = text;
    mi.cch = sizeof(text) - 1;
    if (!Handle || Position < 0 || !GetMenuItemInfoA(Handle, static_cast<UINT>(Position), TRUE, &mi)) return e;
    e.Id = mi.wID;
    e.SubMenu = mi.hSubMenu;
    e.Separator = (mi.fType & MFT_SEPARATOR) != 0;
    e.Radio = (mi.fType & MFT_RADIOCHECK) != 0;
    e.Grayed = (mi.fState & MF_GRAYED) != 0;
    e.Disabled = (mi.fState & MF_DISABLED) != 0;
    e.Checked = (mi.fState & MFS_CHECKED) != 0;
    e.Default = (mi.fState & MFS_DEFAULT) != 0;
    e.CheckedBitmap = mi.hbmpChecked;
    e.UncheckedBitmap = mi.hbmpUnchecked;
    if (!e.Separator) e.Text = text;
    return e;
}

void DrawNativeMenuItem(const ItemDrawContext& C, HMENU Handle, int Position, const ItemDrawState& S) {
    NativeMenuEntry e = ReadNativeMenuEntry(Handle, Position);
    ItemDrawState s = S;
    s.Checked = e.Checked;
    s.Radio = e.Radio;
    s.Default = e.Default;
    s.Disabled = !e.Enabled();
    s.Submenu = e.SubMenu != nullptr;
    if (e.Separator) {
        DrawSeparatorLine(C, s);
        return;
    }
    ItemFace face;
    menukit::SplitAtTab(e.Text, face.Caption, face.ShortCut);
    face.CheckBitmap = e.Checked ? e.CheckedBitmap : e.UncheckedBitmap;
    DrawItemFace(C, s, face);
}

}  // namespace bramble
