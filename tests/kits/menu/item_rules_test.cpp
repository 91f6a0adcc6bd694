// Rules of the kit's items and options that need a device to check: the
// typed accesses that refuse, kit root items, stored shortcut texts, the
// title band's gradient and the Down button's look.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "kits/menu/itemcontrols.h"
#include "kits/menu/itemdraw.h"
#include "kits/menu/menubar.h"
#include "kits/menu/popupmenu.h"
#include "ui/actions.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

TEST(ItemRules, TypedAccessRefusesWhatIsNotThere) {
    TMenuItem2000 root(nullptr);
    root.SetName("Root");
    auto* kit = new TMenuItem2000(nullptr);
    kit->SetName("Kit");
    root.Add(kit);
    root.Add(new TMenuItem(nullptr));  // not a kit item
    struct Case {
        const char* Name;
        std::function<void()> Access;
        const char* Message;  // null: no error
    } cases[] = {
        {"subitem 0", [&] { root.SubItem(0); }, nullptr},
        {"past the end", [&] { root.SubItem(2); }, "Menu not found"},
        {"negative", [&] { root.SubItem(-1); }, "Menu not found"},
        {"a class-library subitem", [&] { root.SubItem(1); }, "Menu not found"},
        {"button of a plain item", [&] { kit->Button(); }, "Kit: This is not a Button"},
        {"editbox of a plain item", [&] { kit->Editbox(); }, "Kit: This is not an Editbox"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (!c.Message) {
            EXPECT_NO_THROW(c.Access());
            continue;
        }
        try {
            c.Access();
            ADD_FAILURE() << "no error";
        } catch (const EMenuError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
    EXPECT_EQ(&root.SubItem(0), kit);
}

TEST(ItemRules, KitMenusHaveKitRootItems) {
    TMainMenu2000 main(nullptr);
    TPopupMenu2000 popup(nullptr);
    for (TMenu* m : {static_cast<TMenu*>(&main), static_cast<TMenu*>(&popup)}) {
        auto* root = dynamic_cast<TMenuItem2000*>(m->Items());
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->GetParentMenu(), m);
        // The root's own options reach its subitems' window.
        root->Options().Margins.Left = 30;
        EXPECT_TRUE(root->HasOwnOptions());
    }
}

// Loaded texts are not normalised, an empty one neither; set later, an
// empty one is none on purpose.
TEST(ItemRules, ShortCutTextsKeptAsLoaded) {
    struct Case {
        const char* Text;
        bool Loading;
        const char* Stored;
    } cases[] = {
        {"", true, ""},
        {"\x01", true, "\x01"},
        {"ctrl+o", true, "ctrl+o"},
        {"", false, "\x01"},
        {"ctrl+o", false, "Ctrl+O"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TMenuItem2000 item(nullptr);
        if (c.Loading) item.BeginLoading();
        item.SetShortCutList(c.Text);
        EXPECT_EQ(item.StoredShortCutList(), c.Stored);
    }
}

COLORREF At(TBitmap& B, int X, int Y) { return GetPixel(B.Canvas().Handle(), X, Y); }

// A band 2 pixels in from the picture's edges; at least 256 pixels along
// its gradient so that the first stripe is not drawn over by the next.
TEST(ItemRules, TitleGradientEnds) {
    constexpr COLORREF kBlack = RGB(0, 0, 0);
    struct Case {
        const char* Name;
        T_LFM_Gradient Gradient;
        TColor Begin, End;
        bool Flat;
        COLORREF Top;        // the first stripe (or left)
        bool FarIsBegin;     // the last stripe near the begin colour
    } cases[] = {
        {"equal colours: one flat fill", grTopToBottom, clRed, clRed, true, RGB(255, 0, 0), false},
        {"defaults top to bottom", grTopToBottom, 0xFF0000, 0, false, kBlack, true},
        {"left to right", grLeftToRight, 0xFF0000, 0, false, kBlack, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        bool across = c.Gradient == grLeftToRight;
        int w = across ? 300 : 20;
        TBitmap b(w + 40, 300);
        T_LFM_Title t;
        t.Visible = true;
        t.Width = w;
        t.Gradient = c.Gradient;
        t.ColorBegin = c.Begin;
        t.ColorEnd = c.End;
        t.PaintTitle(b.Canvas());
        COLORREF first = At(b, 2, 2);
        COLORREF last = across ? At(b, w + 1, 2) : At(b, 2, 297);
        EXPECT_EQ(first, c.Top);
        if (c.Flat) {
            for (int y = 2; y < 298; y += 7)
                for (int x = 2; x < w + 2; x += 3) EXPECT_EQ(At(b, x, y), c.Top) << x << "," << y;
        }
        if (c.FarIsBegin) {
            EXPECT_GE(GetBValue(last), 240);
            EXPECT_LE(GetRValue(last), 1);  // each step adds (0 - 0 + 1) / 256
        }
        EXPECT_NE(At(b, w + 20, 50), first);  // outside the band
    }
}

// The caller saw the item enabled; its action, asked at drawing, says not.
TEST(ItemRules, AnItemIsDrawnAsItsActionStandsWhenDrawn) {
    TAction action(nullptr);
    action.SetCaption("Run");
    bool enabled = true;
    action.OnUpdate = [&](TObject*) { action.SetEnabled(enabled); };
    TMenuItem2000 item(nullptr);
    item.SetAction(&action);
    T_LFM_Options o;
    o.Colors.DisabledText = clRed;
    for (bool now : {true, false}) {
        SCOPED_TRACE(now);
        enabled = now;
        TBitmap b(120, 20);
        ItemDrawContext c;
        c.DC = b.Canvas().Handle();
        c.Options = &o;
        c.Cols = {0, 120, 24, 90, 114, 0, 0, 0, 114, 6};
        c.Height = 20;
        ItemDrawState s;  // enabled when looked at
        DrawMenuItem(c, &item, s);
        int red = 0;  // the disabled text's colour
        for (int y = 0; y < 20; ++y)
            for (int x = 24; x < 114; ++x) red += At(b, x, y) == RGB(255, 0, 0);
        EXPECT_EQ(red > 0, !now);
    }
}

// A Down button is lit and sunken like a selected one unless the mouse
// holds it; its caption keeps the menu's text colour.
TEST(ItemRules, DownButtonLook) {
    TMenuItem2000 item(nullptr);
    item.SetCaption("Go");
    item.SetControl(ctlButton);
    T_LFM_Options o;
    COLORREF hl = ColorToRGB(o.Colors.Highlight);
    struct Case {
        const char* Name;
        bool Down, Selected, Held;
        bool Lit;
    } cases[] = {
        {"down", true, false, false, true},
        {"up", false, false, false, false},
        {"selected", false, true, false, true},
        {"down, held by the mouse", true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        item.Button().AllowAllUp = true;
        item.Button().SetDown(c.Down);
        TBitmap b(120, 30);
        ControlDrawInfo info;
        info.Context.DC = b.Canvas().Handle();
        info.Context.Options = &o;
        info.Context.Cols.ItemLeft = 0;
        info.Context.Cols.ItemRight = 120;
        info.Context.Height = 30;
        info.State.Selected = c.Selected;
        info.LeftDown = c.Held;
        info.ItemRect = RECT{0, 0, 120, 30};
        item.ControlOptions().Paint(info);
        EXPECT_EQ(At(b, 10, 14) == hl, c.Lit);
        if (c.Lit && !c.Selected) {
            // Sunken: the shadow along the top edge.
            EXPECT_EQ(At(b, 10, 1), GetSysColor(COLOR_BTNSHADOW));
        }
    }
}

}  // namespace
}  // namespace bramble
