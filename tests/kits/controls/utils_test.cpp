#include <gtest/gtest.h>

#include "controls_support.h"
#include "kits/controls/utils.h"
#include "ui/forms.h"
#include "ui/graphics.h"

namespace bramble {
namespace {

TEST(ControlsUtils, FileNamesAndFolderResults) {
    struct Case {
        const char* name;
        bool valid;
    } names[] = {
        {"C:\\Program Files\\v.exe", true}, {"v.exe", true}, {"", false}, {"a|b.exe", false},
        {"C:\\dir\\", false},  // no file part
        {"x[1].txt", false},   {"x]", false}, {"<in", false}, {"out>", false}, {"say\"", false},
        {"C:\\*.txt", false},  {"a?b", false},  // wildcards name no one file
    };
    for (const Case& c : names) EXPECT_EQ(FileNameIsValid(c.name), c.valid) << c.name;

    struct Fold {
        const char* in;
        const char* out;
    } folders[] = {{"C:\\Data\\", "C:\\Data"}, {"C:\\", "C:\\"}, {"C:\\Data", "C:\\Data"},
                   {"C:\\Data\\\\", "C:\\Data"}, {"\\", "\\"}, {"", ""}};
    for (const Fold& f : folders) EXPECT_EQ(FolderWithoutSlash(f.in), f.out) << f.in;
}

TEST(ControlsUtils, SplitsCommandLinesIntoProgramAndParameters) {
    struct Case {
        const char* line;
        const char* program;
        const char* params;
    } cases[] = {
        {"\"C:\\Program Files\\v.exe\" -a \"b c\"", "C:\\Program Files\\v.exe", "-a \"b c\""},
        {"v.exe", "v.exe", ""},
        {"  v.exe\t-x \x01 -y  ", "v.exe", "-x -y"},
        {"\"\" v.exe a", "v.exe", "a"},             // a leading empty pair is skipped
        {"\"C:\\a b\\v.exe -x", "C:\\a b\\v.exe -x", ""},  // no closing quote: to the end
        {"a\"b c\"d e", "ab cd", "e"},              // quoted stretches inside a token
        {"", "", ""},
    };
    for (const Case& c : cases) {
        std::string program = "stale", params = "stale";
        SplitProgramAndParams(c.line, program, params);
        EXPECT_EQ(program, c.program) << c.line;
        EXPECT_EQ(params, c.params) << c.line;
    }
}

TEST(ControlsUtils, ShortensTextAndExtractsSubstrings) {
    TBitmap b(10, 10);
    TCanvas& c = b.Canvas();
    const std::string text = "A caption far too long for the button";
    EXPECT_EQ(ShortenTextToWidth(text, c, c.TextWidth(text)), text);
    const int dots = c.TextWidth("...");
    for (int w : {c.TextWidth(text) - 1, c.TextWidth("A cap..."), dots}) {
        std::string s = ShortenTextToWidth(text, c, w);
        EXPECT_LE(c.TextWidth(s), w);
        ASSERT_GE(s.size(), 3u);
        EXPECT_EQ(s.substr(s.size() - 3), "...");
        EXPECT_EQ(text.compare(0, s.size() - 3, s, 0, s.size() - 3), 0) << s;
    }
    // Narrower than "...": nothing fits, and nothing runs below the start.
    for (int w : {dots - 1, 0, -5}) EXPECT_EQ(ShortenTextToWidth(text, c, w), "") << w;

    int pos = 1;
    const std::string list = "C:\\a;;D:\\b";
    EXPECT_EQ(ExtractSubstringAt(list, pos, ";"), "C:\\a");
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(ExtractSubstringAt(list, pos, ";"), "");
    EXPECT_EQ(ExtractSubstringAt(list, pos, ";"), "D:\\b");
    EXPECT_GT(pos, static_cast<int>(list.size()));
    EXPECT_EQ(ExtractSubstringAt(list, pos, ";"), "");
}

TEST(ControlsUtils, LongAndShortPathsKeepWhatIsNotThereYet) {
    test::TempDir dir;
    const std::string file = dir.File("Long Folder Name\\long file name.txt");
    const std::string short_path = ShortPathName(file);
    EXPECT_EQ(short_path.find(' '), std::string::npos) << short_path;
    EXPECT_EQ(LongPathName(short_path), LongPathName(file));
    EXPECT_EQ(LongFileName(file), "long file name.txt");
    EXPECT_EQ(LongFileName(dir.Path() + "\\missing"), "");
    EXPECT_EQ(LongFileName(dir.Path() + "\\Long*"), "");  // a pattern is no name

    // A temporary folder still to be made keeps its own parts.
    const std::string later = ShortPathName(dir.Path() + "\\Long Folder Name") + "\\not yet\\made later";
    EXPECT_EQ(LongPathName(later), LongPathName(dir.Path()) + "\\Long Folder Name\\not yet\\made later");
    // The drive part stays; "." and ".." stay as they are.
    EXPECT_EQ(LongPathName("C:\\"), "C:\\");
    EXPECT_EQ(LongPathName(dir.Path() + "\\..\\x y"), LongPathName(dir.Path()) + "\\..\\x y");
}

TEST(ControlsUtils, WindowHelpers) {
    test::FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(10, 10, 300, 200);
    form->Show();
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    CenterWindowOnScreen(form->Handle());
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, (sw - 300) / 2);
    EXPECT_EQ(r.top, (sh - 200) / 2);
    EXPECT_EQ(WidthOfRect(r), 300);
    // Larger than the screen: the top left corner stays on it.
    form->SetBounds(0, 0, sw + 100, 50);
    CenterWindowOnScreen(form->Handle());
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, (sh - 50) / 2);

    SetActiveWindow(form->Handle());
    EXPECT_TRUE(ThreadOwnsActiveWindow());

    PostQuitMessage(7);
    RepostPendingQuit(form->Handle());
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 7u);
}

// What the screen holds under the kit's cursor numbers once the program
// has started, before any test has made one of the kit's controls.
HCURSOR g_at_start[2] = {};
class CursorsAtStart : public testing::Environment {
    void SetUp() override {
        g_at_start[0] = Screen->Cursors(crVqHand);
        g_at_start[1] = Screen->Cursors(crVqDrag);
    }
};
[[maybe_unused]] testing::Environment* const g_probe = testing::AddGlobalTestEnvironment(new CursorsAtStart);

TEST(ControlsUtils, KitCursorsFromStartAndDefaultGlyph) {
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    for (TCursor id : {crVqHand, crVqDrag}) {
        HCURSOR h = Screen->Cursors(id);
        EXPECT_EQ(h, g_at_start[id - crVqHand]) << id;
        EXPECT_NE(h, nullptr) << id;
        EXPECT_NE(h, arrow) << id;
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(h, &ii)) << id;
        EXPECT_FALSE(ii.fIcon);
        if (ii.hbmMask) DeleteObject(ii.hbmMask);
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
    }
    TBitmap glyph;
    glyph.LoadFromResourceName(GetModuleHandleA(nullptr), "FEDITBMP");
    EXPECT_EQ(glyph.Width(), 15);
    EXPECT_EQ(glyph.Height(), 12);
}

TEST(ControlsUtils, DisabledBitmapIsEmbossed) {
    TBitmap b(6, 6);
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, 6, 6));
    b.Canvas().SetPixel(2, 2, clBlack);
    b.Canvas().SetPixel(3, 2, clWhite);  // light pixels drop out
    auto d = MakeDisabledBitmap(b);
    ASSERT_EQ(d->Width(), 6);
    EXPECT_EQ(static_cast<COLORREF>(d->Canvas().Pixel(2, 2)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(static_cast<COLORREF>(d->Canvas().Pixel(3, 3)), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(static_cast<COLORREF>(d->Canvas().Pixel(3, 2)), ColorToRGB(clBtnFace));
    EXPECT_EQ(static_cast<COLORREF>(d->Canvas().Pixel(0, 5)), ColorToRGB(clBtnFace));
    EXPECT_EQ(MakeDisabledBitmap(*std::make_unique<TBitmap>())->Width(), 0);
}

}  // namespace
}  // namespace bramble
