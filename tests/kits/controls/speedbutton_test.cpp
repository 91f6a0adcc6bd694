#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "controls_support.h"
#include "kits/controls/speedbutton.h"
#include "ui/actions.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

TVqSpeedButton* NewButton(TWinControl* parent, int x, int y) {
    auto* b = new TVqSpeedButton(parent);
    b->SetBounds(x, y, b->Width(), b->Height());
    b->SetParent(parent);
    return b;
}

void Press(TControl* c, int x = 5, int y = 5) { c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Release(TControl* c, int x = 5, int y = 5) { c->Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

// A strip of N square images of Size pixels, image i filled with Colors[i].
std::unique_ptr<TBitmap> Strip(int n, int size, std::vector<TColor> colors = {}) {
    auto b = std::make_unique<TBitmap>(n * size, size);
    b->Canvas().Brush().SetColor(clFuchsia);
    b->Canvas().FillRect(Rect(0, 0, n * size, size));
    for (int i = 0; i < n && i < static_cast<int>(colors.size()); ++i) {
        b->Canvas().Brush().SetColor(colors[static_cast<size_t>(i)]);
        b->Canvas().FillRect(Rect(i * size + 2, 2, i * size + size - 2, size - 2));
    }
    return b;
}

TEST(VqSpeedButton, DefaultsAndGlyphCountFromTheStrip) {
    test::FormHolder form;
    const int live = TVqSpeedButton::ButtonCount();
    TVqSpeedButton* b = NewButton(form.f, 0, 0);
    EXPECT_EQ(TVqSpeedButton::ButtonCount(), live + 1);
    EXPECT_EQ(b->Width(), 25);
    EXPECT_EQ(b->Height(), 25);
    EXPECT_EQ(b->Layout(), blGlyphTop);
    EXPECT_EQ(b->Margin(), -1);
    EXPECT_EQ(b->Spacing(), 1);
    EXPECT_EQ(b->InitPause(), 500);
    EXPECT_EQ(b->RepeatInterval(), 100);
    EXPECT_TRUE(b->GrayedInactive());
    EXPECT_TRUE(b->MarkDropDown());
    EXPECT_TRUE(b->ShowHint());
    EXPECT_FALSE(b->ParentShowHint());
    EXPECT_EQ(b->GroupIndex(), 0);
    EXPECT_EQ(b->NumGlyphs(), 1);

    struct Case {
        int w, h, glyphs;
    } cases[] = {{64, 16, 4}, {16, 16, 1}, {80, 16, 5}, {96, 16, 5}, {160, 16, 5}};
    for (const Case& c : cases) {
        TBitmap strip(c.w, c.h);
        b->SetGlyph(&strip);
        EXPECT_EQ(b->NumGlyphs(), c.glyphs) << c.w << "x" << c.h;
    }
    // A picture that is no strip keeps the count it has.
    b->SetNumGlyphs(2);
    TBitmap odd(20, 16);
    b->SetGlyph(&odd);
    EXPECT_EQ(b->NumGlyphs(), 2);
    b->SetNumGlyphs(9);
    EXPECT_EQ(b->NumGlyphs(), 5);
    b->SetNumGlyphs(0);
    EXPECT_EQ(b->NumGlyphs(), 1);
    // Empty and flat pictures paint without dividing by zero.
    for (TBitmap* g : {new TBitmap(), new TBitmap(16, 0), new TBitmap(0, 16)}) {
        b->SetGlyph(g);
        delete g;
        form->Show();
        b->Repaint();
    }
    delete b;
    EXPECT_EQ(TVqSpeedButton::ButtonCount(), live);
}

TEST(VqSpeedButton, GroupsKeepOneDown) {
    test::FormHolder form;
    form->Show();
    TVqSpeedButton* lone = NewButton(form.f, 0, 0);
    int clicks = 0;
    lone->OnClick = [&](TObject*) { ++clicks; };
    lone->SetDown(true);
    EXPECT_FALSE(lone->Down());
    Press(lone);
    EXPECT_EQ(lone->State(), bsDown);
    Release(lone);
    EXPECT_FALSE(lone->Down());
    EXPECT_EQ(lone->State(), bsUp);
    EXPECT_EQ(clicks, 1);

    // Every control of the parent hears of a button going down.
    TPaintBox* spy = new TPaintBox(form.f);
    spy->SetParent(form.f);
    std::vector<WPARAM> heard;
    spy->WindowProc = [&](TMessage& m) {
        if (m.Msg == 0xB051) heard.push_back(m.WParam);
        spy->WndProc(m);
    };
    TVqSpeedButton* g[3];
    for (int i = 0; i < 3; ++i) {
        g[i] = NewButton(form.f, 30 * (i + 1), 0);
        g[i]->SetGroupIndex(1);
    }
    g[0]->SetDown(true);
    EXPECT_EQ(g[0]->State(), bsExclusive);
    EXPECT_EQ(heard, std::vector<WPARAM>{1});
    Press(g[1]);
    Release(g[1]);
    EXPECT_FALSE(g[0]->Down());
    EXPECT_TRUE(g[1]->Down());
    EXPECT_FALSE(g[2]->Down());
    // The down button cannot be raised while the group allows no all-up...
    Press(g[1]);
    Release(g[1]);
    EXPECT_TRUE(g[1]->Down());
    EXPECT_EQ(g[1]->State(), bsExclusive);
    g[1]->SetDown(false);
    EXPECT_TRUE(g[1]->Down());
    // ...and a release outside the button leaves it as it was.
    Press(g[2]);
    Release(g[2], 100, 100);
    EXPECT_TRUE(g[1]->Down());
    EXPECT_FALSE(g[2]->Down());
    // AllowAllUp set on one button holds for the group.
    g[2]->SetAllowAllUp(true);
    EXPECT_TRUE(g[1]->AllowAllUp());
    Press(g[1]);
    Release(g[1]);
    EXPECT_FALSE(g[1]->Down());
    for (auto* b : g) EXPECT_EQ(b->State(), bsUp);
}

TEST(VqSpeedButton, RepeatsWhileHeldAfterThePause) {
    test::FormHolder form;
    form->Show();
    TVqSpeedButton* b = NewButton(form.f, 10, 10);
    b->SetAllowTimer(true);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    for (bool release_inside : {true, false}) {
        clicks = 0;
        Press(b);
        TTimer* t = b->RepeatTimer();
        ASSERT_NE(t, nullptr);
        EXPECT_TRUE(t->Enabled());
        EXPECT_EQ(t->Interval(), 500u);
        t->OnTimer(t);  // the first tick, after the pause
        EXPECT_EQ(clicks, 1);
        EXPECT_EQ(t->Interval(), 100u);
        t->OnTimer(t);
        EXPECT_EQ(clicks, 2);
        if (release_inside)
            Release(b);
        else
            Release(b, -20, 5);
        EXPECT_EQ(clicks, release_inside ? 3 : 2);
        EXPECT_FALSE(t->Enabled());
    }
}

// A menu that records where it opens and stands in for the user's click
// that closes it: a press on the button, queued while the menu is open.
class TRecordingMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    std::vector<TPoint> opened;
    HWND click_into = nullptr;
    LPARAM click_at = 0;
    void Popup(int X, int Y) override {
        opened.push_back({X, Y});
        if (click_into) PostMessageA(click_into, WM_LBUTTONDOWN, MK_LBUTTON, click_at);
    }
};

TEST(VqSpeedButton, DropDownMenuOpensBelowAndTheClosingClickDoesNotReopenIt) {
    test::FormHolder form;
    form->SetBounds(100, 100, 300, 200);
    form->Show();
    TVqSpeedButton* b = NewButton(form.f, 40, 30);
    b->SetWidth(50);
    auto* menu = new TRecordingMenu(form.f);
    b->SetDropDownMenu(menu);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    menu->click_into = form->Handle();
    menu->click_at = MAKELPARAM(45, 35);

    Press(b);
    ASSERT_EQ(menu->opened.size(), 1u);
    EXPECT_EQ(menu->opened[0], b->ClientToScreen({-1, 25}));
    EXPECT_EQ(menu->PopupComponent(), b);
    Pump();
    EXPECT_EQ(menu->opened.size(), 1u);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(b->State(), bsUp);

    struct Case {
        TVqDropDownMenuPos pos;
        TPopupAlignment align;
        TPoint at;
    } cases[] = {{dmpBottom, paRight, {51, 25}}, {dmpBottom, paCenter, {25, 25}}, {dmpRight, paLeft, {50, -1}},
                 {dmpRight, paRight, {-1, -1}},  {dmpRight, paCenter, {25, 25}}};
    for (const Case& c : cases) {
        b->SetMenuPosition(c.pos);
        menu->SetAlignment(c.align);
        EXPECT_EQ(b->DropDownPoint(), c.at) << int(c.pos) << "/" << int(c.align);
    }
    b->SetDropDownMenu(nullptr);
    EXPECT_EQ(b->DropDownPoint(), (TPoint{0, 0}));
}

TEST(VqSpeedButton, ClicksReachTheFormAndAccelerators) {
    test::FormHolder form;
    form->Show();
    TVqSpeedButton* b = NewButton(form.f, 10, 10);
    b->SetCaption("&Go");
    b->SetModalResult(mrOk);
    form->SetModalResult(mrNone);
    Press(b);
    Release(b);
    EXPECT_EQ(form->ModalResult(), mrOk);

    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_EQ(form->Perform(CM_DIALOGCHAR, 'g'), 1);
    EXPECT_EQ(clicks, 1);
    b->SetEnabled(false);
    form->Perform(CM_DIALOGCHAR, 'g');
    Press(b);
    Release(b);
    EXPECT_EQ(clicks, 1);
    form->SetModalResult(mrNone);
}

TEST(VqSpeedButton, FlatButtonsAreGrayUntilHoveredAndDisabledOnesEmbossed) {
    test::FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 120);
    form->SetColor(clBtnFace);
    form->Show();
    SetActiveWindow(form->Handle());
    auto glyph = Strip(1, 16, {clRed});
    TVqSpeedButton* flat = NewButton(form.f, 10, 10);
    flat->SetFlat(true);
    flat->SetGlyph(glyph.get());
    TVqSpeedButton* off = NewButton(form.f, 50, 10);
    auto black = Strip(1, 16, {clBlack});
    off->SetGlyph(black.get());
    off->SetEnabled(false);
    off->SetFlat(true);  // disabled wins over the grayed look
    // A transparent button shows the windowless control below it.
    auto* below = new TPaintBox(form.f);
    below->SetParent(form.f);
    below->SetBounds(160, 10, 40, 40);
    below->OnPaint = [&](TObject*) {
        below->Canvas().Brush().SetColor(clBlue);
        below->Canvas().FillRect(Rect(0, 0, 40, 40));
    };
    TVqSpeedButton* see = NewButton(form.f, 170, 20);
    see->SetTransparent(true);
    see->SetFlat(true);
    TVqSpeedButton* cut = NewButton(form.f, 90, 10);
    cut->SetBounds(90, 10, 60, 40);
    cut->SetCaption("A caption far too long");
    Pump();

    auto pixel = [&](int x, int y) {
        // As the display shows it: printing leaves the glyphs out.
        form->Repaint();
        TBitmap shot;
        test::GrabWindow(*form.f, shot);
        return test::PixelAt(shot, x, y);
    };
    // Glyph top left at (4, 4) inside a 25-pixel button without a caption.
    const int gx = 10 + 4 + 8, gy = 10 + 4 + 8;
    COLORREF c = pixel(gx, gy);
    EXPECT_TRUE(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)) << std::hex << c;
    flat->Perform(CM_MOUSEENTER);
    EXPECT_TRUE(flat->MouseInside());
    flat->Repaint();
    EXPECT_EQ(pixel(gx, gy), RGB(255, 0, 0));
    flat->Perform(CM_MOUSELEAVE);
    EXPECT_FALSE(flat->MouseInside());

    EXPECT_EQ(pixel(170 + 12, 20 + 12), RGB(0, 0, 255));
    EXPECT_EQ(off->State(), bsDisabled);
    EXPECT_EQ(pixel(50 + 8, 10 + 8), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(50 + 4 + 14, 10 + 4 + 14), ColorToRGB(clBtnHighlight));
    test::SaveScreenshot(*form.f, "speedbuttons.bmp");
}

// The glyph an action gives the button, as the display shows it.
TEST(VqSpeedButton, FollowsItsActionAndTakesTheActionsImage) {
    test::FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 120, 60);
    form->SetColor(clBtnFace);
    form->Show();
    auto* images = new TImageList(form.f);
    images->SetWidth(16);
    images->SetHeight(16);
    for (TColor c : {clRed, clBlue}) {
        auto image = Strip(1, 16, {c});
        images->AddMasked(*image, clFuchsia);
    }
    auto* list = new TActionList(form.f);
    auto* action = new TAction(form.f);
    action->SetCaption("");
    action->SetImageIndex(1);
    action->SetActionList(list);
    TVqSpeedButton* b = NewButton(form.f, 10, 10);
    b->SetAction(action);
    EXPECT_EQ(b->Action(), action);
    EXPECT_TRUE(b->Glyph().Empty());  // no images yet
    list->SetImages(images);
    Pump();

    auto pixel = [&](int x, int y) {
        form->Repaint();
        TBitmap shot;
        test::GrabWindow(*form.f, shot);
        return test::PixelAt(shot, x, y);
    };
    // Glyph top left at (4, 4) in the 25-pixel button: its middle is the
    // image's colour, its masked ground the button face.
    struct Case {
        int index;
        COLORREF middle;
    } cases[] = {{1, RGB(0, 0, 255)}, {0, RGB(255, 0, 0)}};
    for (const Case& c : cases) {
        action->SetImageIndex(c.index);
        EXPECT_EQ(b->Glyph().Width(), 16);
        EXPECT_EQ(b->NumGlyphs(), 1);
        EXPECT_EQ(pixel(10 + 4 + 8, 10 + 4 + 8), c.middle) << c.index;
        EXPECT_EQ(pixel(10 + 4, 10 + 4), ColorToRGB(clBtnFace)) << c.index;
    }
    test::SaveScreenshot(*form.f, "speedbutton-action.bmp");

    // The action's state shows on the button; a click runs the action,
    // unless the button has a handler of its own.
    action->SetCaption("Go");
    action->SetHint("Runs it");
    action->SetEnabled(false);
    EXPECT_EQ(b->Caption(), "Go");
    EXPECT_EQ(b->Hint(), "Runs it");
    EXPECT_FALSE(b->Enabled());
    action->SetEnabled(true);
    int runs = 0, clicks = 0;
    action->OnExecute = [&](TObject*) { ++runs; };
    b->Click();
    EXPECT_EQ(runs, 1);
    b->OnClick = [&](TObject*) { ++clicks; };
    b->Click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(clicks, 1);
    b->OnClick = nullptr;
    // In a group the checked state is the down state, both ways.
    b->SetGroupIndex(3);
    action->SetChecked(true);
    EXPECT_TRUE(b->Down());
    b->SetAllowAllUp(true);
    b->SetDown(false);
    b->Click();
    EXPECT_FALSE(action->Checked());
    // A list that goes away takes its images along, not the button.
    delete list;
    EXPECT_EQ(action->ActionList(), nullptr);
    delete action;
    EXPECT_EQ(b->Action(), nullptr);
    b->Click();
    EXPECT_EQ(runs, 2);  // the last run was the grouped click above
}

}  // namespace
}  // namespace bramble
