#include <gtest/gtest.h>

#include <cstdio>
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

TEST(Memo, LinesAddedOneByOneAllStayAndCountAsLines) {
    struct Case {
        const char* what;
        bool rich;
        bool wrap;
    };
    for (const Case& c : {Case{"rich edit", true, false}, Case{"memo", false, false}, Case{"wrapping memo", false, true}}) {
        SCOPED_TRACE(c.what);
        auto* form = new TForm(nullptr);
        form->AfterConstruction();
        TCustomMemo* memo = c.rich ? static_cast<TCustomMemo*>(new TRichEdit(form)) : new TMemo(form);
        memo->SetWordWrap(c.wrap);
        memo->SetReadOnly(true);
        memo->Lines().Add("kept from before the window");
        memo->SetParent(form);
        memo->SetBounds(0, 0, 300, 200);
        form->Show();
        test::Pump();
        // Far more than the control's own default of 32,767 characters.
        EXPECT_GE(static_cast<DWORD>(SendMessageA(memo->Handle(), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
        const int n = 2000;
        char line[64];
        for (int i = 1; i < n; ++i) {
            std::snprintf(line, sizeof line, "%05d tested OK  some\\folder\\file.txt", i);
            memo->Lines().Add(line);
        }
        ASSERT_EQ(memo->Lines().Count(), n);
        EXPECT_EQ(memo->Lines()[0], "kept from before the window");
        EXPECT_EQ(memo->Lines()[n - 1], line);
        EXPECT_EQ(memo->Lines()[1000], "01000 tested OK  some\\folder\\file.txt");
        // A text ending in a line break gets no empty line before the next.
        memo->SetText("a\r\nb\r\n");
        EXPECT_EQ(memo->Lines().Add("c"), 2);
        EXPECT_EQ(memo->Lines().Count(), 3);
        EXPECT_EQ(memo->Lines()[2], "c");
        memo->Lines().Clear();
        EXPECT_EQ(memo->Lines().Add("only"), 0);
        EXPECT_EQ(memo->Lines().Count(), 1);
        TCustomForm::Free(form);
    }
}

}  // namespace
}  // namespace bramble
