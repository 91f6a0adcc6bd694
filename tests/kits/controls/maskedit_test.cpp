#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "controls_support.h"
#include "kits/controls/comboedit.h"
#include "ui/maskedit.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

// Masks without ":" and "/": those are the locale's separators.
TEST(MaskEdit, MasksShowValuesWithLiteralsAndBlanks) {
    struct Case {
        const char* mask;
        const char* value;  // set as Text
        const char* shown;  // EditText
        const char* text;   // Text read back
    } cases[] = {
        {"000-0000;1;_", "555-1234", "555-1234", "555-1234"},
        {"000-0000;0;_", "5551234", "555-1234", "5551234"},
        {"000-0000;0;*", "55", "55*-****", "55"},
        {"000-0000;1;_", "", "___-____", "   -    "},  // Text shows blanks as spaces
        {">LL<ll;1;_", "abCD", "ABcd", "ABcd"},
        {">LL<>ll;1;_", "abCD", "ABCD", "ABCD"},
        {"\\A00;1;_", "A12", "A12", "A12"},       // an escaped mask letter
        {"0\\;0;1;_", "1;2", "1;2", "1;2"},       // a literal ";" before the fields
        {"99_99;0;_", "1234", "12 34", "1234"},   // "_" shows a blank
        {"000;0;_", "1x3", "1_3", "1 3"},         // a refused character stays blank
        {"!999;0;_", "  7", "__7", "7"},          // blanks in front
        {"999;0;_", "7", "7__", "7"},             // blanks behind
        {"", "as typed", "as typed", "as typed"}, // no mask: a plain edit
    };
    test::FormHolder form;
    auto* e = new TCustomMaskEdit(form.f);
    e->SetParent(form.f);
    for (const Case& c : cases) {
        e->SetEditMask(c.mask);
        e->SetText(c.value);
        EXPECT_EQ(e->EditText(), c.shown) << c.mask;
        EXPECT_EQ(e->Text(), c.text) << c.mask;
    }
}

// What typing does, key by key, in a mask edit and in an edit with a button.
TEST(MaskEdit, TypingFillsThePlacesAndSkipsTheLiterals) {
    struct Case {
        const char* keys;  // '\b' backspace, '\x7f' the Delete key at the start
        const char* shown;
        int caret;
    } cases[] = {
        {"5551234", "555-1234", 8},
        {"555", "555-____", 4},      // the caret waits behind the literal
        {"5x5", "55_-____", 2},      // a letter is refused
        {"555\b", "55_-____", 2},    // backspace steps over the literal
        {"5551234\x7f", "_55-1234", 0},  // Delete blanks, nothing shifts
        {"55512345", "555-1234", 8}, // full: the rest is refused
    };
    test::FormHolder form;
    form->Show();
    auto* plain = new TCustomMaskEdit(form.f);
    plain->SetParent(form.f);
    auto* dir = new TDirectoryEdit(form.f);
    dir->SetParent(form.f);
    dir->SetTop(30);
    for (TCustomMaskEdit* e : {plain, static_cast<TCustomMaskEdit*>(dir)}) {
        e->SetEditMask("000-0000;1;_");
        for (const Case& c : cases) {
            e->SetText("");
            e->SetSelStart(0);
            e->SetSelLength(0);
            for (const char* k = c.keys; *k; ++k) {
                if (*k == '\x7f') {
                    e->SetSelStart(0);
                    e->Perform(WM_KEYDOWN, VK_DELETE, 0);
                } else {
                    e->Perform(WM_CHAR, static_cast<unsigned char>(*k), 0);
                }
            }
            EXPECT_EQ(e->EditText(), c.shown) << c.keys;
            EXPECT_EQ(e->SelStart(), c.caret) << c.keys;
        }
    }
    // A selection typed over is blanked first.
    plain->SetText("555-1234");
    plain->SetSelStart(1);
    plain->SetSelLength(5);
    plain->Perform(WM_CHAR, '9', 0);
    EXPECT_EQ(plain->EditText(), "59_-__34");
}

TEST(MaskEdit, RequiredPlacesAreValidatedAndANewMaskKeepsTheValue) {
    test::FormHolder form;
    auto* e = new TCustomMaskEdit(form.f);
    e->SetParent(form.f);
    e->SetText("5551234");
    e->SetEditMask("000-0000;0;_");
    EXPECT_EQ(e->EditText(), "555-1234");
    EXPECT_EQ(e->MaxLength(), 8);
    EXPECT_NO_THROW(e->ValidateEdit());
    e->SetEditMask("00-99;1;_");  // the typed characters move over
    EXPECT_EQ(e->EditText(), "55-51");
    e->SetText("1");
    try {
        e->ValidateEdit();
        ADD_FAILURE() << "a required place is empty";
    } catch (const EMaskEditError& x) {
        EXPECT_EQ(std::string(x.what()), "Invalid input value.  Use escape key to abandon changes");
    }
    e->SetText("12");  // the optional places may stay empty
    EXPECT_NO_THROW(e->ValidateEdit());
    e->SetEditMask("");
    EXPECT_EQ(e->EditText(), "12  ");
    EXPECT_EQ(e->MaxLength(), 0);
}

}  // namespace
}  // namespace bramble
