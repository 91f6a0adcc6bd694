// The main window's look: the toolbar's layout and toggles, the status
// bar's panels, the busy indicator, the Messages window, and where dialogs
// are placed.
#include <windows.h>

#include <algorithm>

#include "app/forms/main_private.h"

namespace bramble {

TPoint PlaceDialogRect(const TRect& M, int W, int H, int SW, int SH, const TRect* T, const TRect& WA) {
    int left = M.Left + (M.Width() - W) / 2;
    int top = M.Top + (M.Height() - H) / 2;
    if (T) {
        if (T->Right < SW / 2) {
            if (left < T->Right) left = T->Right;
        } else if (left < 0) {
            left = 0;
        }
        if (T->Left > SW / 2 && left + W > T->Left)
            left = T->Left - W;
        else if (left + W > SW)
            left = SW - W;
        if (T->Bottom < SH / 2) {
            if (top < T->Bottom) top = T->Bottom;
        } else if (top < 0) {
            top = 0;
        }
        if (T->Top > SH / 2 && top + H > T->Top)
            top = T->Top - H;
        else if (top + H > SH)
            top = SH - H;
    } else {
        // No taskbar to keep clear of: the work area is what may be used.
        if (left + W > WA.Right) left = WA.Right - W;
        if (left < WA.Left) left = WA.Left;
        if (top + H > WA.Bottom) top = WA.Bottom - H;
        if (top < WA.Top) top = WA.Top;
    }
    return Point(left, top);
}

void PlaceDialog(TCustomForm* Dialog, TCustomForm* Main) {
    if (!Dialog || !Main) return;
    RECT tr{};
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    TRect taskbar;
    bool have = tray && GetWindowRect(tray, &tr);
    if (have) taskbar = Rect(tr.left, tr.top, tr.right, tr.bottom);
    TRect wa = Screen ? Screen->WorkAreaRect() : Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    TPoint p = PlaceDialogRect(Main->BoundsRect(), Dialog->Width(), Dialog->Height(), GetSystemMetrics(SM_CXSCREEN),
                               GetSystemMetrics(SM_CYSCREEN), have ? &taskbar : nullptr, wa);
    Dialog->SetPosition(poDesigned);
    Dialog->SetBounds(p.X, p.Y, Dialog->Width(), Dialog->Height());
}

void TfrmMain::ToolbarLook() {
    const bool hi = Screen && Screen->BitsPerPixel() >= 9;
    const char* suffix = hi ? "HIG" : "LOG";
    LoadGlyph(ToolbarButtonNew, std::string("NEW") + suffix);
    LoadGlyph(ToolbarButtonOpen, std::string("OPEN") + suffix);
    LoadGlyph(ToolbarButtonAdd, std::string("ADD") + suffix);
    LoadGlyph(ToolbarButtonExtract, std::string("EXTR") + suffix);
    LoadGlyph(ToolbarButtonDel, std::string("DEL") + suffix);
    LoadGlyph(ToolbarButtonView, std::string("VIEW") + suffix);
    LoadGlyph(ToolbarButtonInstall, "SETUPLOG");

    const bool text = Text1->Checked();
    const int h = text ? 42 : 26;
    struct W {
        TToolbarButton97* b;
        int withText, without;
    };
    // The toolbar places the buttons and sizes itself to them. Install
    // keeps the look it was made with: it shows only while the archive has
    // something to install.
    for (W w : {W{ToolbarButtonNew, 52, 30}, {ToolbarButtonOpen, 60, 38}, {ToolbarButtonAdd, 52, 30},
                {ToolbarButtonExtract, 60, 38}, {ToolbarButtonDel, 52, 30}, {ToolbarButtonView, 52, 30}}) {
        w.b->SetDisplayMode(text ? dmBoth : dmGlyphOnly);
        w.b->SetBounds(w.b->Left(), w.b->Top(), text ? w.withText : w.without, h);
    }
}

TPoint TfrmMain::MinimumClientSize() {
    // Wide enough for the bars docked across the window and for the status
    // bar's totals ("Total 1000 file(s), 123 MB") beside the light.
    const int sides = DockLeft->Width() + DockRight->Width();
    int width = 2 * (kLeastTotalsWidth + 39);
    for (TCustomToolWindow97* bar : {static_cast<TCustomToolWindow97*>(MainMenu981),
                                     static_cast<TCustomToolWindow97*>(Skiffbar1)}) {
        TDock97* d = bar->DockedTo();
        if (bar->Visible() && d && d->Orientation() == TBarOrientation::Horizontal)
            width = std::max(width, bar->Width() + sides);
    }
    // High enough for a few rows of the list besides the docks.
    const int height = kLeastListHeight + StatusBar1->Height() + DockTop->Height() + DockBottom->Height();
    return Point(width, height);
}

void TfrmMain::KeepMinimumSize() {
    if (!HandleAllocated() || WindowState() != wsNormal) return;
    const TPoint least = MinimumClientSize();
    if (ClientWidth() < least.X || ClientHeight() < least.Y)
        SetClientSize(std::max(ClientWidth(), least.X), std::max(ClientHeight(), least.Y));
}

void TfrmMain::FlatClick(TObject*) {
    Flat1->SetChecked(!Flat1->Checked());
    for (TToolbarButton97* b : {ToolbarButtonNew, ToolbarButtonOpen, ToolbarButtonAdd, ToolbarButtonExtract,
                                ToolbarButtonDel, ToolbarButtonView})
        b->SetFlat(Flat1->Checked());
}

void TfrmMain::TextClick(TObject*) {
    Text1->SetChecked(!Text1->Checked());
    ToolbarLook();
    KeepMinimumSize();
}

void TfrmMain::TooltipsClick(TObject*) {
    Tooltips1->SetChecked(!Tooltips1->Checked());
    Skiffbar1->SetShowHint(Tooltips1->Checked());
}

void TfrmMain::FormResize(TObject*) {
    const int w = StatusBar1->Width();
    const int half = std::max(0, w / 2 - 39);
    StatusBar1->Panels()[0]->SetWidth(50);
    StatusBar1->Panels()[1]->SetWidth(half);
    StatusBar1->Panels()[2]->SetWidth(half);
    const int h = StatusBar1->Height();
    ProgressBar1->SetBounds(50 + half + 2, 2, std::max(0, half - 2), std::max(4, h - 4));
    pbxLed->SetBounds(50 + 2 * half + 4, std::max(0, (h - 16) / 2), 18, 16);
}

void TfrmMain::SetLedColor(TColor Color) {
    ledColor_ = Color;
    HDC dc = imgLed.Canvas().Handle();
    COLORREF at = GetPixel(dc, 6, 6);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
    HGDIOBJ old = SelectObject(dc, brush);
    ExtFloodFill(dc, 6, 6, at, FLOODFILLSURFACE);
    SelectObject(dc, old);
    DeleteObject(brush);
    GdiFlush();
    pbxLed->Invalidate();
    if (pbxLed->HandleAllocated()) pbxLed->Update();
}

void TfrmMain::pbxLedPaint(TObject*) {
    TCanvas& c = pbxLed->Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(Rect(0, 0, pbxLed->Width(), pbxLed->Height()));
    c.Draw((pbxLed->Width() - imgLed.Width()) / 2, (pbxLed->Height() - imgLed.Height()) / 2, imgLed);
}

void TfrmMain::pbxLedClick(TObject*) {
    TZipCommon* c = RunningComponent();
    if (!c) return;
    c->SetCancel(true);
    SetStatus(1, "Aborting...", true);
}

void TfrmMain::ApplicationBusy() {
    if (busyCount_++ == 0) {
        ListView1->SetCursor(crHourGlass);
        SetLedColor(clRed);
    }
    ListView1->Items().BeginUpdate();
}

void TfrmMain::ApplicationWaiting() {
    ListView1->Items().EndUpdate();
    if (busyCount_ > 0 && --busyCount_ == 0) {
        SetLedColor(clGreen);
        ListView1->SetCursor(crDefault);
    }
}

void TfrmMain::SetStatus(int Panel, const std::string& Text, bool RepaintNow) {
    StatusBar1->Panels()[Panel]->SetText(Text);
    if (RepaintNow && StatusBar1->HandleAllocated()) StatusBar1->Repaint();
}

std::string TfrmMain::ShortenPath(const std::string& Path) {
    int width = StatusBar1->Panels()[1]->Width() - 8;
    if (width <= 0 || !StatusBar1->HandleAllocated()) return Path;
    HWND bar = StatusBar1->Handle();
    HDC dc = GetDC(bar);
    if (!dc) return Path;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(bar, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    auto textWidth = [dc](const std::string& s) {
        SIZE sz{};
        GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    std::string result = Path;
    if (textWidth(Path) > width) {
        // Folders leave from the front, after the drive, until the name fits.
        std::string drive, rest = Path;
        size_t first = Path.find('\\');
        if (first != std::string::npos) {
            drive = Path.substr(0, first + 1);
            rest = Path.substr(first + 1);
        }
        result = drive + "...\\" + rest;
        while (textWidth(result) > width) {
            size_t sep = rest.find('\\');
            if (sep == std::string::npos) break;
            rest = rest.substr(sep + 1);
            result = drive + "...\\" + rest;
        }
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(bar, dc);
    return result;
}

void TfrmMain::AddMessage(const std::string& Line) {
    if (MsgToolWindow->Visible() && RichEdit1->CanFocus()) RichEdit1->SetFocus();
    const bool hadBar = RichEdit1->HandleAllocated() && (GetWindowLongPtrA(RichEdit1->Handle(), GWL_STYLE) & WS_VSCROLL);
    RichEdit1->Lines().Add(Line);
    // The rich edit adds its scroll bar when the text outgrows it but leaves
    // the frame unpainted: without this the bar and the last line stay out
    // of sight until the pane is shown again.
    if (RichEdit1->HandleAllocated() && !hadBar && (GetWindowLongPtrA(RichEdit1->Handle(), GWL_STYLE) & WS_VSCROLL))
        SetWindowPos(RichEdit1->Handle(), nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::ShowMessages() {
    mnuErrorMessages1->SetChecked(true);
    MsgToolWindow->SetVisible(true);
    KeepMinimumSize();
}

void TfrmMain::DisplayTotals() {
    if (Entries) {
        // Closed: the lister still holds the last archive's byte total.
        SetStatus(2, Entries->TotalsText(Dovex1->ArchiveFile().empty() ? 0 : Dovex1->TotalUnpacked()));
        SetStatus(1, Entries->SelectedText());
    }
    ProgressBar1->SetVisible(false);
    if (StatusBar1->HandleAllocated()) StatusBar1->Repaint();
}

void TfrmMain::SetArchiveCaption() {
    if (IsValidArcType(Dovex1->ArcType())) {
        SetCaption(ExtractFileName(Dovex1->ArchiveFile()) + " - Bramble");
        SetStatus(0, Dovex1->GetArcTypeName());
        FileMakeexe1->SetVisible(Dovex1->ArcType() == atZip);
    } else {
        SetCaption("Bramble");
        SetStatus(0, "");
        FileMakeexe1->SetVisible(false);
    }
}

}  // namespace bramble
