// The set-up the menu kit's window tests share: one form per test, and after
// it every menu closed and the form freed, so no open menu or hook of one
// test reaches the next.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "kits/menu/menustate.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble::test {

struct MenuFormTest : ::testing::Test {
    TForm* form = nullptr;

    // A W x H form at (100, 100), not yet shown.
    void NewForm(int W, int H) {
        form = new TForm(nullptr);
        form->AfterConstruction();
        form->SetBounds(100, 100, W, H);
    }
    // Shown and in front, as a form is when its user opens a menu.
    void NewShownForm(int W, int H) {
        NewForm(W, H);
        form->Show();
        SetForegroundWindow(form->Handle());
    }
    void TearDown() override {
        CloseActiveMenus(true);
        Pump();
        TCustomForm::Free(form);
        Pump();
    }
};

}  // namespace bramble::test
