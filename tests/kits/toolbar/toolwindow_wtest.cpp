// The tool window under Wine: freed half-way through a move, its docked
// frame, and the floating window's parent, activation, showing and work area.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kits/toolbar/scene.h"
#include "ui/mdi.h"
#include "ui/stdctrls.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0);

// A shown form with a top and a bottom dock and one bar on the top dock.
struct Scene : test::Form {
    TDock97* top;
    TDock97* bottom;
    TSkiffbar* bar;
    explicit Scene(TForm* Existing = nullptr) : test::Form(Existing) {
        top = NewDock(dpTop);
        bottom = NewDock(dpBottom);
        f->Show();
        bar = AddBar(top);
        Pump();
    }
    TSkiffbar* AddBar(TDock97* On) {
        TSkiffbar* t = NewBar(On);
        test::NewButton(t, "Open");
        return t;
    }
    void Float() {
        bar->SetFloatingPosition({300, 300});
        bar->ToggleDocked();
        Pump();
        ASSERT_FALSE(bar->Docked());
        ASSERT_TRUE(IsWindowVisible(bar->Handle()));
    }
};

COLORREF FramePixel(HWND W, int X, int Y) {
    HDC dc = GetWindowDC(W);
    const COLORREF c = GetPixel(dc, X, Y);
    ReleaseDC(W, dc);
    return c;
}

TEST(ToolbarToolWindow, FreedWhileHiddenForItsNewPlaceBothDocksLayOutAgain) {
    for (bool toDock : {true, false}) {
        SCOPED_TRACE(toDock ? "to the other dock" : "to floating");
        Scene s;
        TSkiffbar* stays = s.AddBar(s.top);
        TSkiffbar* below = s.AddBar(s.bottom);
        Pump();
        s.bar->OnDockChangingHidden = [&](TObject*, TDock97*) { delete s.bar; };
        if (toDock)
            s.bar->SetDockedTo(s.bottom);
        else
            s.bar->ToggleDocked();
        Pump();
        stays->SetDockPos(300);
        below->SetDockPos(250);
        EXPECT_EQ(stays->Left(), 300);
        EXPECT_EQ(below->Left(), 250);
    }
}

// Counts (and runs) the queued frame paints of a window.
int RunQueuedFramePaints(HWND W) {
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, W, WM_PAINTDOCKEDNC, WM_PAINTDOCKEDNC, PM_REMOVE)) {
        ++n;
        DispatchMessageA(&msg);
    }
    return n;
}

TEST(ToolbarToolWindow, DockedFramePaintsOnceFromTheQueueAfterABatchOfChanges) {
    Scene s;
    HWND h = s.bar->Handle();
    RunQueuedFramePaints(h);
    s.bar->SetColor(clRed);
    s.bar->SetColor(clBlue);
    EXPECT_EQ(RunQueuedFramePaints(h), 1);
    EXPECT_EQ(FramePixel(h, 20, 1), RGB(0, 0, 255));
}

TEST(ToolbarToolWindow, MovedAlongATiledDockTheBarsTilesLineUpWithTheDocks) {
    Scene s;
    TBitmap bmp(8, 8);
    HDC dc = bmp.Canvas().Handle();
    RECT l{0, 0, 4, 8}, r{4, 0, 8, 8};
    HBRUSH red = CreateSolidBrush(kRed), green = CreateSolidBrush(kGreen);
    FillRect(dc, &l, red);
    FillRect(dc, &r, green);
    DeleteObject(red);
    DeleteObject(green);
    s.top->SetBackground(&bmp);
    s.bar->SetDockPos(150);
    Pump();
    for (int pos : {151, 153, 156, 161}) {
        SCOPED_TRACE(pos);
        s.bar->SetDockPos(pos);
        Pump();
        RECT dr{}, br{};
        GetWindowRect(s.top->Handle(), &dr);
        GetWindowRect(s.bar->Handle(), &br);
        for (int x = 8; x < 24; ++x) {
            const COLORREF want = ((br.left + x - dr.left) % 8) < 4 ? kRed : kGreen;
            ASSERT_EQ(FramePixel(s.bar->Handle(), x, 1), want) << "x " << x;
        }
    }
}

// The last WM_NCACTIVATE sent to a window, seen by a hook on the thread.
HWND g_watched = nullptr;
int g_last_ncactivate = -1;
HHOOK g_hook = nullptr;
LRESULT CALLBACK WatchNcActivate(int Code, WPARAM W, LPARAM L) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(L);
    if (Code == HC_ACTION && m->hwnd == g_watched && m->message == WM_NCACTIVATE) g_last_ncactivate = m->wParam != 0;
    return CallNextHookEx(g_hook, Code, W, L);
}

TEST(ToolbarToolWindow, FloatsOnAHiddenParentFormWhereEscapeGivesTheKeyboardBack) {
    Scene s;
    auto* edit = new TEdit(s.f);
    edit->SetBounds(200, 200, 120, 24);
    edit->SetParent(s.f);
    auto* barEdit = new TEdit(s.bar);
    barEdit->SetBounds(0, 0, 60, 22);
    barEdit->SetParent(s.bar);
    s.f->SetActiveControl(edit);
    s.Float();
    auto* fp = dynamic_cast<TFloatingWindowParent*>(s.bar->Parent());
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(fp->ParentForm(), s.f);
    barEdit->SetFocus();
    ASSERT_EQ(GetFocus(), barEdit->Handle());
    barEdit->Perform(CN_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(GetFocus(), edit->Handle());
    // Docked again, the hidden form goes.
    TAliveToken gone = fp->AliveToken();
    s.bar->ToggleDocked();
    EXPECT_FALSE(gone.Alive());
}

TEST(ToolbarToolWindow, ActiveFloatingWindowKeepsItsFormsCaptionLit) {
    Scene s;
    s.Float();
    SetActiveWindow(s.f->Handle());
    Pump();
    g_watched = s.f->Handle();
    g_hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchNcActivate, nullptr, GetCurrentThreadId());
    SetActiveWindow(s.bar->Handle());
    Pump();
    UnhookWindowsHookEx(g_hook);
    // Activated from its form, the window keeps the activation.
    EXPECT_EQ(GetActiveWindow(), s.bar->Handle());
    EXPECT_EQ(g_last_ncactivate, 1);
}

TEST(ToolbarToolWindow, HiddenWhileActiveHandsActivationToTheFirstOtherWindow) {
    enum Other { kPlain, kDisabled, kTopmost, kHidden };
    struct Case {
        const char* name;
        Other other;
        bool otherGetsIt;
    } cases[] = {{"plain", kPlain, true}, {"disabled", kDisabled, false}, {"topmost", kTopmost, false},
                 {"hidden", kHidden, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.Float();
        TForm* g = new TForm(nullptr);
        g->AfterConstruction();
        g->SetBounds(760, 100, 200, 200);
        g->Show();
        SetActiveWindow(s.f->Handle());
        Pump();
        // g above the form, the form active, then the bar activated from it.
        SetWindowPos(g->Handle(), c.other == kTopmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (c.other == kDisabled) EnableWindow(g->Handle(), FALSE);
        if (c.other == kHidden) ShowWindow(g->Handle(), SW_HIDE);
        SetActiveWindow(s.bar->Handle());
        Pump();
        ASSERT_EQ(GetActiveWindow(), s.bar->Handle());
        s.bar->SetVisible(false);
        Pump();
        EXPECT_EQ(GetActiveWindow(), c.otherGetsIt ? g->Handle() : s.f->Handle());
        TCustomForm::Free(g);
    }
}

TEST(ToolbarToolWindow, FloatingOverAHiddenFormOrAHiddenOrMinimisedMDIFrameHides) {
    enum Change { kNone, kFormHidden, kFrameHidden, kFrameMinimised };
    struct Case {
        const char* name;
        Change change;
        TToolWindowFloatingMode mode;
        bool mdi, visible;
    } cases[] = {
        {"shown", kNone, fmOnTopOfParentForm, false, true},
        {"form hidden", kFormHidden, fmOnTopOfParentForm, false, false},
        {"form hidden, above all forms", kFormHidden, fmOnTopOfAllForms, false, true},
        {"document shown", kNone, fmOnTopOfParentForm, true, true},
        {"frame hidden", kFrameHidden, fmOnTopOfParentForm, true, false},
        {"frame minimised", kFrameMinimised, fmOnTopOfParentForm, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMDIFrameForm* frame = c.mdi ? new TMDIFrameForm(nullptr) : nullptr;
        TForm* form = frame ? new TMDIChildForm(nullptr, frame) : nullptr;
        for (TForm* f : {static_cast<TForm*>(frame), form})
            if (f) f->AfterConstruction();
        if (frame) frame->Show();
        {
            Scene s(form);
            s.Float();
            s.bar->SetFloatingMode(c.mode);
            if (c.change == kFormHidden) s.f->Hide();
            if (c.change == kFrameHidden) frame->Hide();
            if (c.change == kFrameMinimised) ShowWindow(frame->Handle(), SW_MINIMIZE);
            Pump();
            EXPECT_EQ(s.bar->ShouldBeVisible(), c.visible);
            if (c.change == kFrameMinimised) {
                // The activation comes back to the program for the tests after this one.
                ShowWindow(frame->Handle(), SW_RESTORE);
                SetForegroundWindow(frame->Handle());
                Pump();
            }
        }
        if (frame) TCustomForm::Free(frame);
        Pump();
    }
}

TEST(ToolbarToolWindow, KeptOnTheDesktopWorkAreaOfASingleMonitor) {
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
    RECT saved{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved, 0);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) - 150};
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &work, 0);
    {
        Scene s;
        s.Float();
        s.bar->SetBounds(200, work.bottom + 20, s.bar->Width(), s.bar->Height());
        s.bar->MoveOnScreen(false);
        EXPECT_EQ(s.bar->Top() + s.bar->Height(), work.bottom);
    }
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved, 0);
}

TEST(ToolbarToolWindow, FloatingFrameIsMeasuredPerAxis) {
    using tblayout::Hit;
    // A frame 3 pixels wide and 5 high, a 15-pixel caption, 100 x 60.
    struct Case {
        int x, y;
        Hit want;
    } cases[] = {{50, 4, Hit::Top},   {50, 55, Hit::Bottom}, {50, 5, Hit::Client},  {2, 30, Hit::Left},
                 {3, 30, Hit::Client}, {1, 18, Hit::TopLeft}, {16, 2, Hit::TopLeft}, {96, 57, Hit::BottomRight}};
    for (const Case& c : cases)
        EXPECT_EQ(tblayout::FloatingHitTest({c.x, c.y}, 100, 60, 3, 15, true, true, true, true, 5), c.want)
            << c.x << "," << c.y;
}

}  // namespace
}  // namespace bramble
