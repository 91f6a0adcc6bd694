// A toolbar floated and docked again under Wine: it must come back as a
// plain child of its dock, so that the form is activated and keeps the
// keyboard as before.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "kits/toolbar/scene.h"
#include "ui/stdctrls.h"

namespace bramble {
namespace {

using test::Pump;

void PostMouse(HWND wnd, UINT msg, POINT screen, WPARAM keys = 0) {
    ScreenToClient(wnd, &screen);
    PostMessageA(wnd, msg, keys, MAKELPARAM(screen.x, screen.y));
}

// Drags a bar by its grip to a screen point, as the user does.
void Drag(TCustomToolWindow97* w, POINT to) {
    HWND h = w->Handle();
    RECT r{};
    GetWindowRect(h, &r);
    POINT grab{r.left + 4, r.top + 4};
    PostMouse(h, WM_MOUSEMOVE, {(grab.x + to.x) / 2, (grab.y + to.y) / 2}, MK_LBUTTON);
    PostMouse(h, WM_MOUSEMOVE, to, MK_LBUTTON);
    PostMouse(h, WM_LBUTTONUP, to);
    ScreenToClient(h, &grab);
    w->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    Pump();
}

TEST(ToolbarRedock, FloatedAndDockedAgainTheFormTakesActivationAndKeys) {
    for (TDockPosition pos : {dpTop, dpBottom}) {
        SCOPED_TRACE(pos == dpTop ? "top" : "bottom");
        test::Form f;
        TDock97* dock = f.NewDock(pos);
        auto* edit = new TEdit(f.f);
        edit->SetBounds(200, 200, 120, 24);
        edit->SetParent(f.f);
        f->Show();
        TSkiffbar* t = f.NewBar(dock, "Toolbar");
        for (const char* c : {"New", "Open"}) test::NewButton(t, c);
        Pump();
        SetCursorPos(1270, 1010);
        Drag(t, {400, 350});
        ASSERT_FALSE(t->Docked());
        // The user clicks into the floating bar, then drags it home.
        SetActiveWindow(t->Handle());
        Pump();
        RECT dr{};
        GetWindowRect(dock->Handle(), &dr);
        RECT fr{};
        GetWindowRect(f->Handle(), &fr);
        POINT home = pos == dpTop ? POINT{dr.left + 200, dr.top - 10} : POINT{(fr.left + fr.right) / 2, dr.top - 2};
        Drag(t, home);
        ASSERT_EQ(t->DockedTo(), dock);
        const HWND h = t->Handle();
        const LONG style = GetWindowLongA(h, GWL_STYLE), ex = GetWindowLongA(h, GWL_EXSTYLE);
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE(style & WS_POPUP);
        EXPECT_FALSE(ex & WS_EX_TOOLWINDOW);
        EXPECT_EQ(GetParent(h), dock->Handle());
        // The form is active again and its edit has the keyboard.
        SetForegroundWindow(f->Handle());
        SetActiveWindow(f->Handle());
        edit->SetFocus();
        Pump();
        EXPECT_EQ(GetActiveWindow(), f->Handle());
        EXPECT_EQ(GetFocus(), edit->Handle());
    }
}

TEST(ToolbarRedock, ParentChangeEventsComeInOrderWithOneMoveAtTheEnd) {
    test::Scene s;
    TSkiffbar* t = s.bar;
    t->SetFloatingPosition({300, 300});
    Pump();
    std::vector<std::string> ev;
    auto note = [&](const char* n) { return [&ev, n](TObject*) { ev.push_back(n); }; };
    t->OnDockChanging = note("changing");
    t->OnRecreating = note("recreating");
    t->OnRecreated = note("recreated");
    t->OnDockChanged = note("changed");
    t->OnMove = note("move");
    bool hiddenThen = false;
    t->OnDockChangingEx = [&](TObject*, TDock97* to) { ev.push_back(to ? "ex dock" : "ex float"); };
    t->OnDockChangingHidden = [&](TObject*, TDock97* to) {
        ev.push_back(to ? "hidden dock" : "hidden float");
        hiddenThen = !t->HandleAllocated() || !IsWindowVisible(t->Handle()) || t->Docked();
    };
    struct Case {
        const char* name;
        std::vector<std::string> want;
    } cases[] = {
        {"to floating", {"changing", "ex float", "recreating", "hidden float", "move", "recreated", "changed"}},
        {"to the dock", {"changing", "ex dock", "recreating", "hidden dock", "move", "recreated", "changed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ev.clear();
        t->ToggleDocked();
        Pump();
        EXPECT_EQ(ev, c.want);
        EXPECT_TRUE(hiddenThen);
    }
}

}  // namespace
}  // namespace bramble
