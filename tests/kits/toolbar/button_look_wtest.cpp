// Toolbar buttons under Wine as the user sees them: what a see-through
// button leaves on its bar, the hint over a dialog its click opens, the
// held and disabled states, and the drawn pieces read back by pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "kits/toolbar/scene.h"

namespace bramble {
namespace {

using test::Pump;

// The scene's bar with a second button; both keep their hot border while
// the test program is not the active one.
struct Bar : test::Scene {
    TToolbarButton97* a;
    TToolbarButton97* b;
    Bar() {
        a = button;
        b = test::NewButton(bar, "Add");
        for (TToolbarButton97* btn : {a, b}) btn->SetShowBorderWhenInactive(true);
        Pump();
    }
    // Points the cursor at a button and tells its bar, as a real move does.
    void MoveTo(TToolbarButton97* btn) {
        TPoint p = btn->ClientToScreen({5, 5});
        SetCursorPos(p.X, p.Y);
        PostMessageA(bar->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(btn->Left() + 5, btn->Top() + 5));
        Pump();
    }
    // What the bar's window shows at a point of a button.
    COLORREF Shown(TToolbarButton97* btn, int X, int Y) {
        HDC dc = GetDC(bar->Handle());
        COLORREF c = GetPixel(dc, btn->Left() + X, btn->Top() + Y);
        ReleaseDC(bar->Handle(), dc);
        return c;
    }
};

TEST(ToolbarButtonLook, HotBorderGoesWhenTheMouseLeavesWhateverTheOpaqueness) {
    struct Case {
        bool flat, opaque;
    } cases[] = {{true, true}, {true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("flat ") + (c.flat ? "1" : "0") + " opaque " + (c.opaque ? "1" : "0"));
        Bar t;
        t.a->SetFlat(c.flat);
        t.a->SetOpaque(c.opaque);
        // A face unlike the bar's: a see-through button must show the bar.
        t.a->SetColor(clRed);
        Pump();
        t.MoveTo(t.a);
        ASSERT_TRUE(t.a->MouseInControl());
        if (c.flat) {
            EXPECT_EQ(t.Shown(t.a, 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
        }
        t.MoveTo(t.b);
        ASSERT_FALSE(t.a->MouseInControl());
        const COLORREF corner = t.Shown(t.a, 0, 0), inside = t.Shown(t.a, 2, 2);
        if (c.flat && !c.opaque) {
            EXPECT_EQ(corner, GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ(inside, GetSysColor(COLOR_BTNFACE));
        } else {
            EXPECT_EQ(corner, RGB(255, 0, 0));
            EXPECT_EQ(inside, RGB(255, 0, 0));
        }
    }
}

BOOL CALLBACK FindShownHint(HWND h, LPARAM out) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (IsWindowVisible(h) && std::string(cls).find("Hint") != std::string::npos) {
        *reinterpret_cast<bool*>(out) = true;
        return FALSE;
    }
    return TRUE;
}

bool HintOnScreen() {
    bool shown = false;
    EnumThreadWindows(GetCurrentThreadId(), FindShownHint, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

TEST(ToolbarButtonLook, ClickOpeningADialogTakesTheHintAway) {
    const int pause = Application->HintPause();
    // Shown before the press, and still waiting for its pause at the press.
    for (bool shownFirst : {true, false}) {
        SCOPED_TRACE(shownFirst ? "hint shown" : "hint pending");
        Bar t;
        t.a->SetHint("Extract files");
        t.a->SetShowHint(true);
        Application->SetShowHint(true);
        Application->SetHintPause(shownFirst ? 1 : 30);
        Application->NoteMouseControl(t.b);
        Application->NoteMouseControl(t.a);
        if (shownFirst) {
            for (int i = 0; i < 50 && !HintOnScreen(); ++i) {
                Sleep(10);
                Pump(1);
            }
            ASSERT_TRUE(HintOnScreen());
        }
        bool overDialog = true;
        // The handler stands for a modal dialog: it runs its own loop for a
        // while with the hint's pause long past.
        t.a->OnClick = [&](TObject*) {
            Sleep(80);
            Pump();
            overDialog = HintOnScreen();
        };
        t.a->Click();
        EXPECT_FALSE(overDialog);
        Application->NoteMouseControl(nullptr);
    }
    Application->SetHintPause(pause);
}

TEST(ToolbarButtonLook, DrawnPiecesReadBack) {
    Bar t;
    // A combo drop-down: the arrow part's edge ends two pixels before the
    // right edge, where the bar shows through.
    TPopupMenu menu(nullptr);
    t.a->SetDropdownMenu(&menu);
    t.a->SetDropdownCombo(true);
    t.a->SetFlat(false);
    Pump();
    const int w = t.a->Width();
    EXPECT_EQ(t.Shown(t.a, w - 1, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(t.Shown(t.a, w - 2, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_NE(t.Shown(t.a, w - 3, 5), GetSysColor(COLOR_BTNFACE));
    // A down button of a group: the checkerboard has the highlight where
    // row and column have the same parity.
    t.b->SetGroupIndex(1);
    t.b->SetAllowAllUp(true);
    t.b->SetFlat(false);
    t.b->SetDown(true);
    Pump();
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
    struct Px {
        int x, y;
        COLORREF want;
    } px[] = {{4, 4, hi}, {5, 5, hi}, {4, 5, face}, {5, 4, face}, {6, 4, hi}};
    for (const Px& p : px) EXPECT_EQ(t.Shown(t.b, p.x, p.y), p.want) << p.x << "," << p.y;
}

TEST(ToolbarButtonLook, HeldStatesAndDisablingWhileHeld) {
    Bar t;
    t.a->SetGroupIndex(1);
    t.a->SetAllowAllUp(true);
    t.a->SetDown(true);
    Pump();
    // Held with the cursor on the button or off it: a down button stays
    // exclusive, it does not look pressed by the mouse.
    t.bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(t.a->Left() + 5, t.a->Top() + 5));
    for (int x : {6, 200}) {
        t.bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(t.a->Left() + x, t.a->Top() + 5));
        EXPECT_EQ(t.a->State(), tbsExclusive) << x;
    }
    // Disabled while held: the mouse is let go.
    ASSERT_TRUE(t.a->MouseCapture());
    t.a->SetEnabled(false);
    EXPECT_FALSE(t.a->MouseCapture());
    EXPECT_EQ(t.a->State(), tbsDisabled);
    int clicks = 0;
    t.a->OnClick = [&](TObject*) { ++clicks; };
    t.bar->Perform(WM_LBUTTONUP, 0, MAKELPARAM(t.a->Left() + 5, t.a->Top() + 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(t.a->Down());
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolbarButtonAction, FollowsCheckedHelpAndImageOnlyWhileShowingTheActionsValue) {
    struct Case {
        const char* name;
        int ownHelp, ownImage;       // set on the button before linking (0, -1: defaults)
        int laterHelp, laterImage;   // set on the button after linking (0 or -2: none)
        int wantHelp, wantImage;     // after the action changes to 9 and 3
    } cases[] = {
        {"defaults follow", 0, -1, 0, -2, 9, 3},
        {"own values before linking stay", 7, 4, 0, -2, 7, 4},
        {"own values after linking stay", 0, -1, 8, 1, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bar t;
        TAction action(nullptr);
        action.SetHelpContext(5);
        action.SetImageIndex(2);
        t.a->SetHelpContext(c.ownHelp);
        if (c.ownImage != -1) t.a->SetImageIndex(c.ownImage);
        t.a->SetAction(&action);
        if (c.laterHelp) t.a->SetHelpContext(c.laterHelp);
        if (c.laterImage != -2) t.a->SetImageIndex(c.laterImage);
        action.SetHelpContext(9);
        action.SetImageIndex(3);
        EXPECT_EQ(t.a->HelpContext(), c.wantHelp);
        EXPECT_EQ(t.a->ImageIndex(), c.wantImage);
        t.a->SetAction(nullptr);
    }
    // Down follows Checked while the two agree; raised by hand, it stays.
    Bar t;
    TAction toggle(nullptr);
    t.a->SetGroupIndex(2);
    t.a->SetAllowAllUp(true);
    t.a->SetAction(&toggle);
    toggle.SetChecked(true);
    EXPECT_TRUE(t.a->Down());
    t.a->SetDown(false);
    toggle.SetCaption("View");  // any change of the action
    EXPECT_FALSE(t.a->Down());
    EXPECT_TRUE(toggle.Checked());
    t.a->SetAction(nullptr);
}

}  // namespace
}  // namespace bramble
