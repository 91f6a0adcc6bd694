// What the window shows while it works and how it holds together: the
// progress bar through a run, a window made small, and the toolbar's
// disabled buttons. Each leaves a screenshot for a person to look at.
#include <cmath>
#include <set>

#include "engine/core/helpers.h"
#include "engine/readers/untar.h"
#include "app/forms/main_private.h"
#include "main_window.h"

namespace bramble {
namespace {

// The bar where each entry of a run ended, against the bytes of the run
// done by then.
struct ProgressLog {
    std::vector<std::pair<std::string, int>> ends;  // entry, bar position
};

TEST_F(MainWindow, TheProgressBarFollowsTheBytesOfTheRun) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("main-progress");
    struct Case {
        const char* fixture;
        const char* tsv;
        bool test;  // Test, else Fast extract
    };
    for (const Case& c : {Case{"plain.zip", "plain.zip.tsv", true}, Case{"plain.zip", "plain.zip.tsv", false},
                          Case{"gnu.tar", "gnu.tar.tsv", true}, Case{"gnu.tar", "gnu.tar.tsv", false},
                          Case{"tarball.tar.gz", "ustar.tar.tsv", false}, Case{"three.tar", nullptr, true},
                          Case{"three.tar", nullptr, false}}) {
        SCOPED_TRACE(std::string(c.fixture) + (c.test ? " test" : " extract"));
        const std::string archive = Join(ScratchDir(std::string("main-progress-") + (c.test ? "t" : "x")), c.fixture);
        std::map<std::string, int64_t> sizes;
        if (c.tsv) {
            CopyFileA(Join(FixturesDir(), c.fixture).c_str(), archive.c_str(), FALSE);
            for (const auto& [name, size] : PeerListing(c.tsv)) sizes[ExtractFileName(name)] = size;
        } else {
            // Three alike entries: a count that runs ahead shows in the
            // second.
            test::WriteAll(archive, DotSlashTar({{"./one.bin", std::string(40000, '1')},
                                                 {"./two.bin", std::string(40000, '2')},
                                                 {"./three.bin", std::string(40000, '3')}}));
            sizes = {{"one.bin", 40000}, {"two.bin", 40000}, {"three.bin", 40000}};
        }
        int64_t total = 0;
        for (const auto& [name, size] : sizes) total += size;
        f->OpenArchive(archive);
        ProgressLog log;
        // A .tar.gz also ends its gzip member (the .tar the entries come
        // from): only the entries count.
        auto record = [&](const std::string& FN) {
            if (sizes.count(ExtractFileName(FN))) log.ends.emplace_back(ExtractFileName(FN), f->ProgressBar1->Position());
        };
        TOnEnd savedEnd;
        TOnIntegrityStatus savedStatus = f->ZipCheck1->OnStatus;
        TZipCommon* reader = nullptr;
        if (c.test) {
            f->ZipCheck1->OnStatus = [&](TObject* s, const std::string& fn, bool p) {
                savedStatus(s, fn, p);
                record(fn);
            };
            Choose(f->mnuTest);
        } else {
            reader = f->ReaderFor(f->Dovex1->ArcType());
            savedEnd = reader->OnEnd;
            reader->OnEnd = [&](TObject* s, const std::string& fn, bool p) {
                savedEnd(s, fn, p);
                record(fn);
            };
            Choose(f->ActionFastextract1);
            reader->OnEnd = savedEnd;
        }
        f->ZipCheck1->OnStatus = savedStatus;
        ASSERT_EQ(log.ends.size(), sizes.size());
        int64_t done = 0;
        int last = 0;
        for (const auto& [name, position] : log.ends) {
            done += sizes[name];
            const int want = static_cast<int>(std::lround(100.0 * static_cast<double>(done) / static_cast<double>(total)));
            EXPECT_NEAR(position, want, 1) << name;
            EXPECT_GE(position, last) << name;
            last = position;
        }
        EXPECT_EQ(last, 100);
    }
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST_F(MainWindow, AWindowMadeSmallKeepsToolbarListAndStatusBarUsable) {
    AnswerAll modals;
    TfrmMain* f = Make();
    f->OpenArchive(Join(FixturesDir(), "many.zip"));
    for (bool messages : {true, false}) {
        SCOPED_TRACE(messages ? "with the Messages window" : "without it");
        if (f->MsgToolWindow->Visible() != messages) f->mnuErrorMessages1->Click();
        f->SetBounds(40, 40, 300, 200);
        test::Pump(5);
        test::SaveScreenshot(*f, messages ? "bramble-small.bmp" : "bramble-small-nomessages.bmp");
        // Every toolbar button is inside the window.
        for (TControl* b : {static_cast<TControl*>(f->ToolbarButtonView), static_cast<TControl*>(f->ToolbarButtonDel)})
            EXPECT_LE(b->Left() + b->Width(), f->Skiffbar1->ClientWidth()) << b->Name();
        // The list shows a few rows below the toolbar and above the rest.
        EXPECT_GE(f->ListView1->Top(), f->DockTop->Top() + f->DockTop->Height());
        EXPECT_GE(f->ListView1->Height(), 90);
        if (messages) {
            EXPECT_LE(f->ListView1->Top() + f->ListView1->Height(), f->DockBottom->Top());
        }
        EXPECT_LE(f->ListView1->Top() + f->ListView1->Height(), f->StatusBar1->Top());
        // The status bar's texts have room, and the light stays right of them.
        int panels = 0;
        for (int i = 0; i < 3; ++i) panels += f->StatusBar1->Panels()[i]->Width();
        EXPECT_GE(f->StatusBar1->Panels()[2]->Width(), 150);
        EXPECT_GE(f->pbxLed->Left(), panels);
        EXPECT_LE(f->pbxLed->Left() + f->pbxLed->Width(), f->StatusBar1->ClientWidth());
    }
}

// Whether the button's picture has a coloured pixel, as the screen shows it
// on the toolbar.
bool GlyphHasColour(TControl& Button) {
    TBitmap shot;
    TWinControl& bar = *Button.Parent();
    test::RenderWindow(bar, shot);
    // The picture has the bar's frame and grip; the button sits in its client.
    RECT wr{};
    GetWindowRect(bar.Handle(), &wr);
    POINT o{0, 0};
    ClientToScreen(bar.Handle(), &o);
    const int left = Button.Left() + (o.x - wr.left), top = Button.Top() + (o.y - wr.top);
    for (int y = top + 2; y < top + Button.Height() - 2; ++y)
        for (int x = left + 2; x < left + Button.Width() - 2; ++x) {
            COLORREF c = test::PixelAt(shot, x, y);
            int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (std::max({r, g, b}) - std::min({r, g, b}) > 24) return true;
        }
    return false;
}

TEST_F(MainWindow, DisabledToolbarButtonsAreDrawnDisabled) {
    AnswerAll modals;
    TfrmMain* f = Make();
    test::Pump(5);
    test::SaveScreenshot(*f->Skiffbar1, "bramble-toolbar-closed.bmp");
    ASSERT_FALSE(f->ToolbarButtonDel->Enabled());
    EXPECT_FALSE(GlyphHasColour(*f->ToolbarButtonDel));
    EXPECT_FALSE(GlyphHasColour(*f->ToolbarButtonAdd));
    EXPECT_TRUE(GlyphHasColour(*f->ToolbarButtonOpen));
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump(5);
    test::SaveScreenshot(*f->Skiffbar1, "bramble-toolbar-open.bmp");
    ASSERT_TRUE(f->ToolbarButtonDel->Enabled());
    EXPECT_TRUE(GlyphHasColour(*f->ToolbarButtonDel));
    f->mnuClose1->Click();
    test::Pump(5);
    EXPECT_FALSE(GlyphHasColour(*f->ToolbarButtonDel));
}

// The colours a painted glyph uses, the transparent ground left out.
std::set<COLORREF> GlyphColours(const std::string& Base, bool Hot, bool Low) {
    TBitmap strip;
    PaintGlyphStrip(strip, Base, Hot, Low);
    std::set<COLORREF> out;
    for (int y = 0; y < strip.Height(); ++y)
        for (int x = 0; x < strip.Width() / 2; ++x) {
            const COLORREF c = test::PixelAt(strip, x, y);
            if (c != static_cast<COLORREF>(clFuchsia)) out.insert(c);
        }
    return out;
}

TEST(ToolbarGlyphs, TheLowColourFormsUseOnlyTheSixteenBasicColours) {
    const std::set<COLORREF> basic = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                      0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                      0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    for (const char* base : {"NEW", "OPEN", "ADD", "EXTR", "DEL", "VIEW"})
        for (bool hot : {false, true}) {
            const auto low = GlyphColours(base, hot, true), high = GlyphColours(base, hot, false);
            for (COLORREF c : low) EXPECT_TRUE(basic.count(c)) << base << hot << std::hex << c;
            // A picture drawn in basic colours alone has nothing to lose.
            const bool basicOnly = std::all_of(high.begin(), high.end(), [&](COLORREF c) { return basic.count(c); });
            EXPECT_EQ(low == high, basicOnly) << base << hot;
        }
}

TEST_F(MainWindow, TheTextToggleLeavesInstallAsItIs) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const int w = f->ToolbarButtonInstall->Width(), h = f->ToolbarButtonInstall->Height();
    const TButtonDisplayMode mode = f->ToolbarButtonInstall->DisplayMode();
    for (int i = 0; i < 2; ++i) {
        f->Text1->Click();
        test::Pump(3);
        EXPECT_EQ(f->ToolbarButtonView->Height(), i == 0 ? 26 : 42);
        EXPECT_EQ(f->ToolbarButtonInstall->Width(), w);
        EXPECT_EQ(f->ToolbarButtonInstall->Height(), h);
        EXPECT_EQ(f->ToolbarButtonInstall->DisplayMode(), mode);
    }
}

// The Messages pane from the start: its text fills the window's inside, no
// more, so its scroll bar and its last line are in sight.
TEST_F(MainWindow, TheMessagesPaneShowsItsScrollBarOnceTheTextOutgrowsIt) {
    AnswerAll modals;
    TfrmMain* f = Make();
    test::Pump(5);
    HWND edit = f->RichEdit1->Handle(), holder = GetParent(edit);
    auto fits = [&](const char* when) {
        RECT text{};
        GetWindowRect(edit, &text);
        for (HWND around : {holder, f->Handle()}) {
            RECT inside{};
            GetClientRect(around, &inside);
            MapWindowPoints(around, nullptr, reinterpret_cast<POINT*>(&inside), 2);
            EXPECT_GE(text.left, inside.left) << when;
            EXPECT_GE(text.top, inside.top) << when;
            EXPECT_LE(text.right, inside.right) << when;
            EXPECT_LE(text.bottom, inside.bottom) << when;
        }
    };
    fits("shown");
    for (int w : {500, 900}) {
        f->SetBounds(f->Left(), f->Top(), w, 420);
        test::Pump(5);
        fits(w == 500 ? "narrower" : "wider");
    }
    // Tests write more lines than the pane shows.
    f->OpenArchive(Join(FixturesDir(), "plain.zip"));
    for (int i = 0; i < 4; ++i) Choose(f->mnuTest);
    test::Pump(5);
    ASSERT_GT(f->RichEdit1->Lines().Count(), 20);
    EXPECT_TRUE(GetWindowLongPtrA(edit, GWL_STYLE) & WS_VSCROLL);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    EXPECT_TRUE(GetScrollInfo(edit, SB_VERT, &si));
    EXPECT_GT(si.nMax, static_cast<int>(si.nPage));
    test::SaveScreenshot(*f, "bramble-messages-pane.bmp");
    // On the screen: the bar's up arrow, dark on its button, where the
    // page would be blank.
    TBitmap shot;
    test::GrabWindow(*f, shot);
    RECT form{}, text{};
    GetWindowRect(f->Handle(), &form);
    GetWindowRect(edit, &text);
    const int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYVSCROLL);
    int darkest = 255;
    for (int y = text.top + 2; y < text.top + 2 + cy; ++y)
        for (int x = text.right - 2 - cx; x < text.right - 2; ++x) {
            const COLORREF c = test::PixelAt(shot, x - form.left, y - form.top);
            darkest = std::min(darkest, (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100);
        }
    EXPECT_LT(darkest, 100);
}

}  // namespace
}  // namespace bramble
