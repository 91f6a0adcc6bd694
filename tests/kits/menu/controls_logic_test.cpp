// The edit box's text rules and the button array's cells, without windows.
#include <gtest/gtest.h>

#include <string>

#include "kits/menu/editmodel.h"
#include "kits/menu/geometry.h"

namespace bramble::menukit {
namespace {

struct FakeClipboard {
    std::string text;
    bool has = true;
    EditClipboard Io() {
        return {[this] { return has; }, [this] { return text; }, [this](const std::string& t) { text = t, has = true; }};
    }
};

EditModel Box(const std::string& Text, int MaxLength = 0, bool ReadOnly = false) {
    EditModel m;
    m.Text = Text;
    m.MaxLength = MaxLength;
    m.ReadOnly = ReadOnly;
    m.Begin(static_cast<int>(Text.size()));
    return m;
}

TEST(EditModel, TypingLimitsAndReadOnly) {
    EditModel m = Box("abcde", 5);
    auto r = m.KeyPress('f');  // full: beeps and keeps the text
    EXPECT_TRUE(r.Beep);
    EXPECT_EQ(m.Text, "abcde");
    m.SetCaret(0, false);
    m.SetCaret(2, true);  // "ab" selected: typing replaces it, so it fits
    EXPECT_FALSE(m.KeyPress('X').Beep);
    EXPECT_EQ(m.Text, "Xcde");
    EXPECT_EQ(m.Caret(), 1);
    EXPECT_TRUE(m.KeyPress('\t').Beep);  // controls are not typed

    EditModel ro = Box("abc", 0, true);
    FakeClipboard clip;
    EXPECT_TRUE(ro.KeyPress('x').Beep);
    EXPECT_TRUE(ro.KeyDown(vkBack, false, false, clip.Io()).Beep);
    ro.SetCaret(0, false);
    ro.SetCaret(3, true);
    EXPECT_TRUE(ro.KeyDown(vkDelete, true, false, clip.Io()).Beep);  // Shift+Del cut refused
    EXPECT_TRUE(ro.KeyDown('X', false, true, clip.Io()).Beep);       // Ctrl+X refused
    EXPECT_TRUE(ro.KeyDown('V', false, true, clip.Io()).Beep);       // Ctrl+V refused
    EXPECT_TRUE(ro.KeyDown(vkInsert, true, false, clip.Io()).Beep);  // Shift+Ins refused
    EXPECT_EQ(ro.Text, "abc");
    ro.KeyDown('C', false, true, clip.Io());  // copying is fine
    EXPECT_EQ(clip.text, "abc");
}

TEST(EditModel, CaretSelectionAndEdges) {
    FakeClipboard clip;
    EditModel m = Box("hello");
    struct Step {
        int Key;
        bool Shift;
        int Caret, SelStart, SelLength;
        bool Beep;
    };
    const Step steps[] = {
        {vkRight, false, 5, 5, 0, true},  // at the end: beep
        {vkEnd, false, 5, 5, 0, true},
        {vkLeft, true, 4, 4, 1, false},   // Shift extends
        {vkHome, true, 0, 0, 5, false},   // to the start, all selected
        {vkRight, false, 5, 5, 0, false}, // a plain move drops the selection at its end
        {vkHome, false, 0, 0, 0, false},
        {vkLeft, false, 0, 0, 0, true},   // at the start: beep
        {vkBack, false, 0, 0, 0, true},
    };
    for (const Step& s : steps) {
        auto r = m.KeyDown(s.Key, s.Shift, false, clip.Io());
        EXPECT_TRUE(r.Handled);
        EXPECT_EQ(r.Beep, s.Beep) << s.Key;
        EXPECT_EQ(m.Caret(), s.Caret) << s.Key;
        EXPECT_EQ(m.SelStart(), s.SelStart) << s.Key;
        EXPECT_EQ(m.SelLength(), s.SelLength) << s.Key;
    }
    EXPECT_FALSE(m.KeyDown('Q', false, false, clip.Io()).Handled);  // left to the menu
    m.KeyDown(vkDelete, false, false, clip.Io());
    EXPECT_EQ(m.Text, "ello");
    m.KeyDown(vkEnd, false, false, clip.Io());
    m.KeyDown(vkBack, false, false, clip.Io());
    EXPECT_EQ(m.Text, "ell");
}

TEST(EditModel, ClipboardAndUndo) {
    FakeClipboard clip;
    EditModel m = Box("one two");
    m.SetCaret(0, false);
    m.SetCaret(3, true);
    m.KeyDown('X', false, true, clip.Io());  // cut
    EXPECT_EQ(clip.text, "one");
    EXPECT_EQ(m.Text, " two");
    clip.text = "a\tb\nc";  // controls become blanks
    m.KeyDown('V', false, true, clip.Io());
    EXPECT_EQ(m.Text, "a b c two");
    EXPECT_EQ(m.Caret(), 5);
    clip.has = false;  // nothing to paste: nothing happens
    EXPECT_FALSE(m.KeyDown('V', false, true, clip.Io()).Beep);
    m.End(false);  // Escape: the text from the start of the edit
    EXPECT_EQ(m.Text, "one two");
    EXPECT_FALSE(m.Editing());

    EditModel lim = Box("abc", 5);
    clip.has = true;
    clip.text = "123456";
    lim.KeyDown(vkInsert, true, false, clip.Io());  // only two fit
    EXPECT_EQ(lim.Text, "abc12");
    EXPECT_TRUE(lim.KeyDown('V', false, true, clip.Io()).Beep);  // full
    lim.End(true);
    EXPECT_EQ(lim.Text, "abc12");
}

TEST(EditModel, ScrollKeepsCaretInView) {
    auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 10; };
    EditModel m = Box(std::string(30, 'x'));
    m.Scroll(width, 100);  // caret at 30: at most 10 characters fit before it
    EXPECT_EQ(m.ScrollStart(), 20);
    m.SetCaret(18, false);
    m.Scroll(width, 100);  // before the scroll start: back by six
    EXPECT_EQ(m.ScrollStart(), 12);
    EXPECT_EQ(m.PosAtX(width, 24), 14);
    EXPECT_EQ(m.PosAtX(width, -5), 12);
    EXPECT_EQ(m.PosAtX(width, 10000), 30);
}

TEST(CellGrid, CellsAndDegenerateBitmaps) {
    struct Case {
        CellGrid G;
        int X, Y, Want;
    };
    const Case cases[] = {
        {{0, 0, 64, 32, 2, 4}, 2, 2, 0},      // first cell, past the 2-pixel inset
        {{0, 0, 64, 32, 2, 4}, 2 + 16, 2, 1},
        {{0, 0, 64, 32, 2, 4}, 2 + 48, 2 + 16, 7},
        {{0, 0, 64, 32, 2, 4}, 1, 1, -1},     // in the inset
        {{0, 0, 64, 32, 2, 4}, 2 + 64, 2, -1},  // right of the last column
        {{0, 0, 0, 0, 1, 1}, 5, 5, -1},       // empty bitmap: no division
        {{0, 0, 3, 16, 1, 4}, 2, 2, -1},      // narrower than one pixel a cell
        {{0, 0, 64, 32, 0, 0}, 5, 5, -1},     // no rows, no columns
        {{10, 20, 32, 16, 1, 2}, 10 + 2 + 16, 22, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(CellAt(c.G, c.X, c.Y), c.Want) << c.X << "," << c.Y;
}

}  // namespace
}  // namespace bramble::menukit
