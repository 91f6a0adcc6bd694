// The menu kit's rules that need no window: shortcut lists, the standard
// commands, caption texts, placement against the work area, rows, columns
// and colour steps.
#include <gtest/gtest.h>

#include <cctype>

#include "engine/core/exception.h"
#include "kits/menu/commandcache.h"
#include "kits/menu/geometry.h"
#include "kits/menu/menutext.h"
#include "kits/menu/shortcutlist.h"

namespace bramble::menukit {
namespace {

// A small stand-in for the window layer's conversions: modifiers in any
// case and order, letters, digits, F-keys, Del and Ins.
ShortCutValue Parse(const std::string& Text) {
    std::string t = Text;
    ShortCutValue mods = 0;
    for (;;) {
        size_t plus = t.find('+');
        if (plus == std::string::npos || plus + 1 >= t.size()) break;
        std::string m = t.substr(0, plus);
        for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (m == "shift") mods |= 0x2000;
        else if (m == "ctrl") mods |= 0x4000;
        else if (m == "alt") mods |= 0x8000;
        else return 0;
        t = t.substr(plus + 1);
    }
    std::string k;
    for (char c : t) k += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (k.size() == 1 && std::isalnum(static_cast<unsigned char>(k[0]))) return mods | static_cast<ShortCutValue>(k[0]);
    if (k == "DEL") return mods | 0x2E;
    if (k == "INS") return mods | 0x2D;
    if (k.size() >= 2 && k[0] == 'F' && std::isdigit(static_cast<unsigned char>(k[1]))) {
        int n = std::stoi(k.substr(1));
        if (n >= 1 && n <= 12) return mods | static_cast<ShortCutValue>(0x70 + n - 1);
    }
    return 0;
}

std::string Format(ShortCutValue v) {
    std::string s;
    if (v & 0x2000) s += "Shift+";
    if (v & 0x4000) s += "Ctrl+";
    if (v & 0x8000) s += "Alt+";
    int key = v & 0xFF;
    if (key == 0x2E) return s + "Del";
    if (key == 0x2D) return s + "Ins";
    if (key >= 0x70 && key <= 0x7B) return s + "F" + std::to_string(key - 0x70 + 1);
    return s + static_cast<char>(key);
}

TEST(MenuShortCutList, NormalisesPiecesAndStopsAtAnEmptyOne) {
    struct Case { const char* In; const char* Out; } cases[] = {
        {"ctrl+f ; shift+a", "Ctrl+F;Shift+A"},
        {"Ctrl+F;;Shift+A", "Ctrl+F"},
        {"", "\x01"},
        {"\x01", "\x01"},
        {" ; Ctrl+A", "\x01"},
        {"F3", "F3"},
        {"Ctrl+C;Ctrl+Ins", "Ctrl+C;Ctrl+Ins"},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizeShortCutList(c.In, Parse, Format), c.Out) << c.In;
    EXPECT_EQ(FirstShortCutText("Ctrl+X; Shift+Del"), "Ctrl+X");
    EXPECT_EQ(FirstShortCutText(" F3 "), "F3");
    EXPECT_EQ(FirstShortCutText(cNoShortCut), "");
}

TEST(MenuShortCutList, BadPieceRaisesNamingIt) {
    for (const char* bad : {"Ctrl+Foo", "Ctrl+A;Bogus", "Hyper+X"}) {
        try {
            NormalizeShortCutList(bad, Parse, Format);
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            std::string what = e.what();
            EXPECT_EQ(what.rfind("Invalid shortcut: '", 0), 0u) << what;
            EXPECT_EQ(what.back(), '\'');
        }
    }
    try {
        NormalizeShortCutList("Ctrl+A;Ctrl+Foo", Parse, Format);
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid shortcut: 'Ctrl+Foo'");
    }
}

TEST(MenuShortCutList, MatchesByValueAndWholeElement) {
    const ShortCutValue shiftDel = 0x2000 | 0x2E, del = 0x2E, ctrlIns = 0x4000 | 0x2D;
    EXPECT_TRUE(ShortCutListHolds("Ctrl+X;Shift+Del", shiftDel, Parse));
    EXPECT_FALSE(ShortCutListHolds("Ctrl+X;Shift+Del", del, Parse));
    // Spelt differently, the same keys.
    EXPECT_TRUE(ShortCutListHolds("ctrl+c; CTRL+INS", ctrlIns, Parse));
    EXPECT_TRUE(ShortCutListHolds("Shift+Ctrl+Z", 0x6000 | 'Z', Parse));
    EXPECT_TRUE(ShortCutListHolds("Ctrl+Shift+Z", 0x6000 | 'Z', Parse));
    EXPECT_FALSE(ShortCutListHolds(cNoShortCut, del, Parse));
    EXPECT_FALSE(ShortCutListHolds("Del", 0, Parse));
}

TEST(MenuCommandCache, TableAndLookups) {
    const CommandCache& c = CommandCache::Instance();
    EXPECT_EQ(c.Count(), 110);
    EXPECT_EQ(c.GlyphCount(), 72);
    for (int i = 1; i < c.Count(); ++i) EXPECT_LT(c.Entry(i - 1).Key, c.Entry(i).Key);
    EXPECT_EQ(c.MakeKey("Select &All"), "SELECTALL");
    EXPECT_EQ(c.MakeKey("DELETE_B"), "DELETEB");
    struct Case { const char* Caption; const char* ShortCut; const char* Hint; } cases[] = {
        {"&Copy", "Ctrl+C;Ctrl+Ins", "Copies the selection to the clipboard"},
        {"Cu&t", "Ctrl+X;Shift+Del", "Cuts the selection and moves it to the clipboard"},
        {"Select &All", "Ctrl+A", "Select the entire document"},
        {"&Open...", "Ctrl+O", "Opens an existing document from a file"},
        {"&View", "", "Contains commands for controlling the display of your document"},
        {"Save &As...", "F12;Ctrl+Shift+S", "Saves the active document under a new name"},
        {"Up One Level", "", "Up one level"},
    };
    for (const Case& k : cases) {
        const CommandCacheEntry* e = c.FindByCaption(k.Caption);
        ASSERT_NE(e, nullptr) << k.Caption;
        EXPECT_EQ(e->ShortCut, k.ShortCut) << k.Caption;
        EXPECT_EQ(e->Hint, k.Hint) << k.Caption;
    }
    EXPECT_FALSE(c.HasCaption("E&xtract..."));
    EXPECT_FALSE(c.HasCaption("---"));
    // DefaultIndex counts only entries with both flags.
    EXPECT_EQ(c.Entry(c.CellOfIndex(0, false)).Key, "ADDRESSBOOK");
    EXPECT_EQ(c.CellOfIndex(71, false) >= 0, true);
    EXPECT_EQ(c.CellOfIndex(72, false), -1);
    EXPECT_EQ(c.CellOfIndex(-1, false), -1);
    EXPECT_EQ(c.Entry(c.CellOfIndex(5, false)).Key, "AUTOPREVIEW");  // ARRANGEICONS skipped
    EXPECT_EQ(c.CellOfIndex(5, true), 5);
    EXPECT_EQ(c.CellOfIndex(110, true), -1);
    EXPECT_EQ(c.CellOfCaption("&Copy"), 17);
}

TEST(MenuCommandCache, AddEntryUpdatesInPlace) {
    CommandCache c;
    c.AddEntry("copy", "Ctrl+K", true, true, "Mine");
    EXPECT_EQ(c.Count(), 110);
    EXPECT_EQ(c.GlyphCount(), 72);
    EXPECT_EQ(c.FindByCaption("&Copy")->ShortCut, "Ctrl+K");
    c.AddEntry("Zzz Extra", "", true, true, "");
    EXPECT_EQ(c.Count(), 111);
    EXPECT_EQ(c.GlyphCount(), 73);
    EXPECT_EQ(c.Entry(110).Key, "ZZZEXTRA");
}

TEST(MenuText, AcceleratorsLinesAndTabs) {
    EXPECT_EQ(StripAmpersands("&Save && Exit"), "Save & Exit");
    EXPECT_EQ(AcceleratorOf("Save && E&xit"), 'X');
    EXPECT_EQ(AcceleratorOf("Tom && Jerry"), 0);
    EXPECT_TRUE(IsItemAccel('x', "E&xit", false));
    EXPECT_FALSE(IsItemAccel('E', "E&xit", false));
    EXPECT_TRUE(IsItemAccel('E', "E&xit", true));
    EXPECT_FALSE(IsItemAccel(0, "", true));
    std::string text, sc;
    SplitAtTab("Open\tCtrl+O", text, sc);
    EXPECT_EQ(text, "Open");
    EXPECT_EQ(sc, "Ctrl+O");
    struct Case { const char* Caption; bool Kit; int Lines; } cases[] = {
        {"One\\nTwo", true, 2},
        {"One\\nTwo", false, 1},
        {"One\rTwo\r\nThree", false, 3},
        {"C:\\new\\notes.zip", true, 1},
        {"&1 C:\\Archives\\new.zip", true, 1},
        {"\\\\server\\n\\x.zip", true, 1},
        // A drop-down's "To: " + folder is a path too.
        {"To: C:\\Temp\\new", true, 1},
        {"To: \\\\server\\new", true, 1},
        {"Save as\\nC:", true, 2},
        {"Plain", true, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(CountTextLines(c.Caption, c.Kit), c.Lines) << c.Caption;
    EXPECT_EQ(CaptionLines("Up\\nDown", true)[1], "Down");
}

TEST(MenuPlacement, FitsTheWorkAreaOnAllSides) {
    const Box work{0, 0, 1280, 994};  // a task bar below
    struct Case {
        const char* What;
        PlaceRequest R;
        int Left, Top, Height;
        bool Left_, Up, Clipped;
    } cases[] = {
        {"fits", {work, 100, 100, 200, 300, false, false, 0, 100}, 100, 100, 300, false, false, false},
        {"right edge", {work, 1200, 100, 200, 300, false, false, 0, 100}, 1080, 100, 300, true, false, false},
        {"submenu flips beside parent", {work, 1150, 100, 200, 300, false, true, 960, 100}, 766, 100, 300, true, false, false},
        {"bottom opens up", {work, 100, 900, 200, 300, false, false, 0, 900}, 100, 600, 300, false, true, false},
        {"bottom, no room above", {work, 100, 250, 200, 800, false, false, 0, 250}, 100, 194, 800, false, false, false},
        {"right to left", {work, 300, 100, 200, 300, true, false, 0, 100}, 100, 100, 300, true, false, false},
        {"taller than the screen", {work, 100, 500, 200, 3000, false, false, 0, 500}, 100, 0, 994, false, false, true},
        {"no slide up", {work, 100, 900, 200, 300, false, false, 0, 900, false}, 100, 694, 300, false, false, false},
    };
    for (const Case& c : cases) {
        Placement p = PlaceMenu(c.R);
        EXPECT_EQ(p.Left, c.Left) << c.What;
        EXPECT_EQ(p.Top, c.Top) << c.What;
        EXPECT_EQ(p.Height, c.Height) << c.What;
        EXPECT_EQ(p.OpensLeft, c.Left_) << c.What;
        EXPECT_EQ(p.OpensUp, c.Up) << c.What;
        EXPECT_EQ(p.Clipped, c.Clipped) << c.What;
    }
}

TEST(MenuPlacement, TaskBarOnTheLeftOrTopAndASecondMonitor) {
    // Task bar on the left and top: nothing may go under it.
    Placement p = PlaceMenu({{60, 40, 1280, 1024}, 10, 5, 200, 300, false, false, 0, 5});
    EXPECT_EQ(p.Left, 60);
    EXPECT_EQ(p.Top, 40);
    // A monitor right of the primary one keeps the menu there.
    p = PlaceMenu({{1280, 0, 2560, 1024}, 2500, 100, 200, 300, false, false, 0, 100});
    EXPECT_EQ(p.Left, 2360);
    EXPECT_GE(p.Left, 1280);
    // A submenu flipped left past the work area's left edge stays inside.
    p = PlaceMenu({{0, 0, 400, 600}, 300, 10, 250, 100, false, true, 100, 10});
    EXPECT_EQ(p.Left, 0);
}

TEST(MenuRows, HiddenItemsSeparatorsAndLines) {
    RowMetrics m;  // item 19, separator 9, border 1
    std::vector<RowEntry> items = {
        {RowKind::Item}, {RowKind::Separator}, {RowKind::Item, true, true},
        {RowKind::Item, false}, {RowKind::Item, true, false, 2}, {RowKind::Control, true, false, 1, 30},
    };
    RowLayout l = LayoutRows(items, m, false);
    ASSERT_EQ(l.Rows.size(), 4u);
    EXPECT_TRUE(l.HasExpandButton);
    EXPECT_EQ(l.Rows[0].Top, 1);
    EXPECT_EQ(l.Rows[1].Top, 20);
    EXPECT_EQ(l.Rows[2].Index, 4);
    EXPECT_EQ(l.Rows[2].Height, 38);
    EXPECT_EQ(l.Rows[3].Height, 30);
    l = LayoutRows(items, m, true);
    ASSERT_EQ(l.Rows.size(), 5u);
    EXPECT_FALSE(l.HasExpandButton);
    EXPECT_EQ(l.Rows[2].Height, 21);
    EXPECT_TRUE(l.Rows[2].ShownHidden);
    // All hidden (a divider too): the window expands itself.
    std::vector<RowEntry> allHidden = {{RowKind::Item, true, true}, {RowKind::Separator}, {RowKind::Item, true, true}};
    l = LayoutRows(allHidden, m, false);
    EXPECT_TRUE(l.Expanded);
    EXPECT_EQ(l.Rows.size(), 3u);
    // Frame and drag handle push the first row down.
    m.Frame = true;
    m.Draggable = true;
    EXPECT_EQ(LayoutRows(items, m, false).Rows[0].Top, 12);
    EXPECT_EQ(RowAt(LayoutRows(items, m, false), 12), 0);
    EXPECT_EQ(RowAt(LayoutRows(items, m, false), 5), -1);
}

TEST(MenuColumns, LeftToRightMirroredAndBand) {
    ColumnInput s;
    s.ClientWidth = 200;
    s.WidestCaption = 80;
    s.WidestShortCut = 40;
    Columns c = ItemColumns(s);
    EXPECT_EQ(c.BitmapWidth, 20);
    EXPECT_EQ(c.ArrowWidth, 19);
    EXPECT_EQ(c.CaptionX, 24);
    EXPECT_EQ(c.ShortCutX, 199 - 23 - 40);
    EXPECT_EQ(c.ArrowX, 199 - 19 - 2);
    s.RightToLeft = true;
    c = ItemColumns(s);
    EXPECT_EQ(c.ShortCutX, 24);
    EXPECT_EQ(c.CaptionX, 199 - 23 - 80);
    EXPECT_EQ(c.ArrowX, 1);
    EXPECT_EQ(c.BitmapX, 199 - 19 - 1);
    s.RightToLeft = false;
    s.BandVisible = true;
    s.BandWidth = 30;
    s.Frame = true;
    c = ItemColumns(s);
    EXPECT_EQ(c.ItemLeft, 33);
    EXPECT_EQ(c.ItemRight, 197);
}

TEST(MenuColours, GradientAndFadeStayInRange) {
    Rgb black{0, 0, 0}, blue{0, 0, 255}, white{255, 255, 255};
    EXPECT_EQ(GradientStep(black, blue, 256, 0), black);
    EXPECT_EQ(GradientStep(black, blue, 256, 255).B, 255);
    // Steps past the end, or a dual gradient's half, never leave 0..255.
    EXPECT_EQ(GradientStep(black, white, 127, 200), white);
    EXPECT_EQ(GradientStep(white, black, 127, 200), black);
    EXPECT_EQ(GradientStep(white, black, 256, 255).R, 2);
    // A dark menu over a light screen: the difference is negative.
    int16_t d = FadeDifference(250, 10);
    EXPECT_EQ(d, -12);
    EXPECT_EQ(FadeByte(250, d, 1), 238);
    EXPECT_EQ(FadeByte(250, d, 20), 10);
    EXPECT_EQ(FadeByte(5, -12, 20), 0);
    EXPECT_EQ(FadeByte(250, 12, 20), 255);
}

}  // namespace
}  // namespace bramble::menukit
