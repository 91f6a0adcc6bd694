// Floating tool windows under Wine: whose window owns them, when they stay
// above every other window, and what a click on them does to activation.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kits/toolbar/scene.h"

namespace bramble {
namespace {

using test::Pump;

struct Floater : test::Scene {
    Floater() {
        bar->SetFloatingPosition({300, 300});
        Pump();
        bar->ToggleDocked();
        Pump();
    }
    bool Topmost() const { return (GetWindowLongA(bar->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
};

TEST(ToolbarFloatingMode, OwnerAndTopmostFollowTheModeAndTheEnabledState) {
    for (TToolWindowFloatingMode mode : {fmOnTopOfParentForm, fmOnTopOfAllForms}) {
        const bool all = mode == fmOnTopOfAllForms;
        SCOPED_TRACE(all ? "all forms" : "parent form");
        Floater t;
        t.bar->SetFloatingMode(mode);
        Pump();
        ASSERT_FALSE(t.bar->Docked());
        ASSERT_TRUE(IsWindowVisible(t.bar->Handle()));
        EXPECT_EQ(GetWindow(t.bar->Handle(), GW_OWNER), all ? Application->Handle() : t.f->Handle());
        EXPECT_EQ(t.Topmost(), all);
        // A modal dialog disables the window: it must not stay above it.
        EnableWindow(t.bar->Handle(), FALSE);
        EXPECT_FALSE(t.Topmost());
        EnableWindow(t.bar->Handle(), TRUE);
        EXPECT_EQ(t.Topmost(), all);
    }
}

TEST(ToolbarFloatingMode, ClickOnTheFloatingWindowActivatesItsForm) {
    for (bool activateParent : {true, false}) {
        SCOPED_TRACE(activateParent ? "ActivateParent" : "not ActivateParent");
        Floater t;
        t.bar->SetActivateParent(activateParent);
        test::Form other("Other");
        other->SetBounds(700, 100, 200, 200);
        other->Show();
        SetActiveWindow(other->Handle());
        Pump();
        ASSERT_EQ(GetActiveWindow(), other->Handle());
        const LRESULT r = SendMessageA(t.bar->Handle(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(t.f->Handle()),
                                       MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
        EXPECT_EQ(r, MA_NOACTIVATE);
        EXPECT_EQ(GetActiveWindow(), activateParent ? t.f->Handle() : other->Handle());
    }
}

}  // namespace
}  // namespace bramble
