#include "kits/controls/utils.h"

#include <algorithm>
#include <vector>

#include "ui/forms.h"

namespace bramble {

namespace {
// Component boundaries of a path: the drive or share prefix ("C:\",
// "\\server\share\", "\") and the names after it.
void SplitPath(const std::string& Path, std::string& Prefix, std::vector<std::string>& Names, bool& Trailing) {
    size_t i = 0;
    if (Path.size() >= 2 && Path[1] == ':') {
        i = 2;
    } else if (Path.size() >= 2 && Path[0] == '\\' && Path[1] == '\\') {
        // \\server\share is the root of a UNC path: never looked up by name.
        i = 2;
        for (int part = 0; part < 2 && i < Path.size(); ++part) {
            size_t e = Path.find('\\', i);
            i = e == std::string::npos ? Path.size() : e + (part == 0 ? 1 : 0);
        }
    }
    if (i < Path.size() && Path[i] == '\\') ++i;
    Prefix = Path.substr(0, i);
    Names.clear();
    Trailing = Path.size() > i && Path.back() == '\\';
    size_t s = i;
    while (s < Path.size()) {
        size_t e = Path.find('\\', s);
        if (e == std::string::npos) e = Path.size();
        if (e > s) Names.push_back(Path.substr(s, e - s));
        s = e + 1;
    }
}

std::string FindName(const std::string& Path, bool Long) {
    if (Path.empty() || HasAnyChar(Path, "*?")) return {};
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(Path.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return {};
    FindClose(h);
    std::string full = fd.cFileName, alt = fd.cAlternateFileName;
    if (Long) return full.empty() ? alt : full;
    return alt.empty() ? full : alt;
}

std::string MapPath(const std::string& Path, bool Long) {
    std::string prefix;
    std::vector<std::string> names;
    bool trailing = false;
    SplitPath(Path, prefix, names, trailing);
    std::string walked = prefix, out = prefix;
    for (size_t k = 0; k < names.size(); ++k) {
        walked += names[k];
        std::string n = names[k] == "." || names[k] == ".." ? std::string() : FindName(walked, Long);
        out += n.empty() ? names[k] : n;
        if (k + 1 < names.size() || trailing) {
            walked += '\\';
            out += '\\';
        }
    }
    return out;
}

BOOL CALLBACK IsActiveWindowProc(HWND h, LPARAM l) {
    auto* found = reinterpret_cast<std::pair<HWND, bool>*>(l);
    if (h == found->first) {
        found->second = true;
        return FALSE;
    }
    return TRUE;
}

bool IsDarkPixel(COLORREF c) {
    return GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11 < 192 * 100;
}
}  // namespace

void CenterWindowOnScreen(HWND Window) {
    RECT r{};
    if (!GetWindowRect(Window, &r)) return;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const int w = WidthOfRect(r), h = HeightOfRect(r);
    int x = (sw - w) / 2, y = (sh - h) / 2;
    if (x + w > sw) x = sw - w;
    if (y + h > sh) y = sh - h;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(Window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string ShortenTextToWidth(const std::string& Text, TCanvas& Canvas, int Width) {
    if (Canvas.TextWidth(Text) <= Width) return Text;
    for (size_t n = Text.size(); n-- > 0;) {
        std::string s = Text.substr(0, n) + "...";
        if (Canvas.TextWidth(s) <= Width) return s;
    }
    return {};
}

void SplitProgramAndParams(const std::string& CommandLine, std::string& Program, std::string& Params) {
    const std::string& s = CommandLine;
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < s.size() && static_cast<unsigned char>(s[i]) < 33) ++i;
    };
    auto token = [&] {
        std::string t;
        bool quoted = false;
        while (i < s.size() && (quoted || static_cast<unsigned char>(s[i]) >= 33)) {
            if (s[i] == '"')
                quoted = !quoted;  // an unclosed quote runs to the end of the text
            else
                t += s[i];
            ++i;
        }
        return t;
    };
    skip_blanks();
    if (s.compare(i, 2, "\"\"") == 0) {
        i += 2;
        skip_blanks();
    }
    Program = token();
    Params.clear();
    for (;;) {
        skip_blanks();
        if (i >= s.size()) break;
        std::string t = token();
        if (!Params.empty()) Params += ' ';
        Params += t.find(' ') != std::string::npos ? "\"" + t + "\"" : t;
    }
}

bool ThreadOwnsActiveWindow() {
    std::pair<HWND, bool> found{GetActiveWindow(), false};
    if (!found.first) return false;
    EnumThreadWindows(GetCurrentThreadId(), IsActiveWindowProc, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

void RepostPendingQuit(HWND) {
    // A quit message belongs to the thread, not to a window.
    MSG m{};
    if (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) PostQuitMessage(static_cast<int>(m.wParam));
}

std::string ExtractSubstringAt(const std::string& Text, int& Pos, const std::string& Delimiters) {
    if (Pos < 1) Pos = 1;
    size_t start = static_cast<size_t>(Pos - 1);
    if (start >= Text.size()) {
        Pos = static_cast<int>(Text.size()) + 1;
        return {};
    }
    size_t end = Text.find_first_of(Delimiters, start);
    if (end == std::string::npos) end = Text.size();
    Pos = static_cast<int>(end) + 2;
    return Text.substr(start, end - start);
}

bool IsExistingDir(const std::string& Path) {
    if (Path.empty()) return false;
    DWORD a = GetFileAttributesA(Path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasAnyChar(const std::string& Text, const std::string& Chars) {
    return Text.find_first_of(Chars) != std::string::npos;
}

bool FileNameIsValid(const std::string& Name) {
    // "*" and "?" are refused as well as the six: a wildcard is never the
    // name of one file, and the file dialog would take it as a filter.
    if (Name.empty() || HasAnyChar(Name, "<>\"[]|*?")) return false;
    // A name ending in "\" names a folder, with no file part.
    return Name.back() != '\\';
}

std::string LongFileName(const std::string& Path) { return FindName(Path, true); }
std::string ShortFileName(const std::string& Path) { return FindName(Path, false); }
std::string LongPathName(const std::string& Path) { return MapPath(Path, true); }
std::string ShortPathName(const std::string& Path) { return MapPath(Path, false); }

std::string FolderWithoutSlash(const std::string& Path) {
    std::string s = Path;
    while (s.size() > 1 && s.back() == '\\' && !(s.size() == 3 && s[1] == ':') && s != "\\\\")
        s.pop_back();
    return s;
}

std::unique_ptr<TBitmap> MakeDisabledBitmap(TBitmap& Bitmap) {
    const int w = Bitmap.Width(), h = Bitmap.Height();
    auto out = std::make_unique<TBitmap>(w, h);
    if (w <= 0 || h <= 0) return out;
    const COLORREF transparent = ColorToRGB(Bitmap.TransparentColor());
    HDC src = Bitmap.Canvas().Handle();
    std::vector<bool> dark(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = GetPixel(src, x, y);
            dark[static_cast<size_t>(y) * w + x] = c != transparent && IsDarkPixel(c);
        }
    HDC dst = out->Canvas().Handle();
    const COLORREF face = ColorToRGB(clBtnFace), light = ColorToRGB(clBtnHighlight),
                   shadow = ColorToRGB(clBtnShadow);
    RECT all{0, 0, w, h};
    HBRUSH b = CreateSolidBrush(face);
    FillRect(dst, &all, b);
    DeleteObject(b);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (dark[static_cast<size_t>(y) * w + x] && x + 1 < w && y + 1 < h) ::SetPixel(dst, x + 1, y + 1, light);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (dark[static_cast<size_t>(y) * w + x]) ::SetPixel(dst, x, y, shadow);
    out->SetTransparentColor(clBtnFace);
    return out;
}

std::unique_ptr<TBitmap> MakeGrayedBitmap(TBitmap& Bitmap) {
    const int w = Bitmap.Width(), h = Bitmap.Height();
    auto out = std::make_unique<TBitmap>(w, h);
    const TColor tc = Bitmap.TransparentColor();
    out->SetTransparentColor(tc);
    if (w <= 0 || h <= 0) return out;
    const COLORREF transparent = ColorToRGB(tc);
    HDC src = Bitmap.Canvas().Handle();
    HDC dst = out->Canvas().Handle();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = GetPixel(src, x, y);
            if (c != transparent) {
                int l = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
                // Lighter than the plain gray, so it reads as inactive.
                l = (l + 255) / 2;
                c = RGB(l, l, l);
                if (c == transparent) c = RGB(l ^ 1, l, l);
            }
            ::SetPixel(dst, x, y, c);
        }
    return out;
}

void DrawImageEmbossed(HDC DC, HIMAGELIST Images, int Index, int X, int Y) {
    int w = 0, h = 0;
    if (!Images || !ImageList_GetIconSize(Images, &w, &h) || w <= 0 || h <= 0) return;
    HDC mono = CreateCompatibleDC(DC);
    HBITMAP bmp = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(mono, bmp);
    RECT r{0, 0, w, h};
    FillRect(mono, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(Images, Index, mono, 0, 0, ILD_MASK);
    // Where the mask is black the brush goes through; white keeps DC.
    const COLORREF oldText = SetTextColor(DC, RGB(0, 0, 0));
    const COLORREF oldBk = SetBkColor(DC, RGB(255, 255, 255));
    auto stamp = [&](TColor c, int dx) {
        HBRUSH b = CreateSolidBrush(ColorToRGB(c));
        HGDIOBJ ob = SelectObject(DC, b);
        BitBlt(DC, X + dx, Y + dx, w, h, mono, 0, 0, 0x00B8074A);  // PSDPxax
        SelectObject(DC, ob);
        DeleteObject(b);
    };
    stamp(clBtnHighlight, 1);
    stamp(clBtnShadow, 0);
    SetTextColor(DC, oldText);
    SetBkColor(DC, oldBk);
    SelectObject(mono, old);
    DeleteObject(bmp);
    DeleteDC(mono);
}

void PaintParentBackground(TControl* Control, HDC DC) {
    TWinControl* parent = Control ? Control->Parent() : nullptr;
    if (!parent || !parent->HandleAllocated()) return;
    int saved = SaveDC(DC);
    POINT org{};
    GetViewportOrgEx(DC, &org);
    SetViewportOrgEx(DC, org.x - Control->Left(), org.y - Control->Top(), nullptr);
    IntersectClipRect(DC, Control->Left(), Control->Top(), Control->Left() + Control->Width(),
                      Control->Top() + Control->Height());
    parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
    const TRect me = Control->BoundsRect();
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == Control) break;  // only those below it
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const TRect r = c->BoundsRect();
        if (r.Right <= me.Left || r.Left >= me.Right || r.Bottom <= me.Top || r.Top >= me.Bottom) continue;
        int s2 = SaveDC(DC);
        POINT o2{};
        GetViewportOrgEx(DC, &o2);
        SetViewportOrgEx(DC, o2.x + r.Left, o2.y + r.Top, nullptr);
        IntersectClipRect(DC, 0, 0, r.Width(), r.Height());
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
        RestoreDC(DC, s2);
    }
    RestoreDC(DC, saved);
}

}  // namespace bramble
