#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

TEST(ComboBox, OwnerDrawnRowsKeepTheirTextForTheSelectionAndForTyping) {
    for (TComboBoxStyle style : {csOwnerDrawFixed, csOwnerDrawVariable}) {
        SCOPED_TRACE(style);
        auto* form = new TForm(nullptr);
        form->AfterConstruction();
        auto* combo = new TComboBox(form);
        combo->SetStyle(style);
        combo->SetParent(form);
        for (const char* s : {"Alpha", "Bravo", "Charlie"}) combo->Items().Add(s);
        form->Show();
        test::Pump();
        combo->Items().Add("Delta");  // after the window exists
        HWND h = combo->Handle();
        ASSERT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 4);
        for (int i = 0; i < 4; ++i) {
            char text[32] = {};
            SendMessageA(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(text, combo->Items()[i]);
            // No address of a string long gone is kept as the row's data.
            EXPECT_EQ(SendMessageA(h, CB_GETITEMDATA, static_cast<WPARAM>(i), 0), 0) << i;
            if (::testing::Test::HasFailure()) break;
        }
        combo->SetItemIndex(1);
        EXPECT_EQ(combo->Text(), "Bravo");
        // Typing a letter selects the row that starts with it.
        SendMessageA(h, WM_CHAR, 'c', 1);
        EXPECT_EQ(combo->ItemIndex(), 2);
        EXPECT_EQ(combo->Text(), "Charlie");
        TCustomForm::Free(form);
    }
}

}  // namespace
}  // namespace bramble
