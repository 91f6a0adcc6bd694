// The toolbar and docking kit under Wine: hooks, docks, toolbars docked and
// floating, dragging by posted mouse messages, buttons, and screenshots.
#include <gtest/gtest.h>
#include <windows.h>
#include <windowsx.h>

#include <string>
#include <vector>

#include "kits/toolbar/hooks.h"
#include "kits/toolbar/scene.h"
#include "ui/stdctrls.h"

namespace bramble {
namespace {

using test::Pump;

using test::Form;
using test::NewButton;

TToolbarSep97* NewSep(TWinControl* bar) {
    auto* s = new TToolbarSep97(bar);
    s->SetParent(bar);
    return s;
}

// A toolbar of six 42 x 26 buttons in three groups.
TSkiffbar* NewToolbar(Form& f, TDock97* dock, const std::string& name = "Toolbar") {
    TSkiffbar* t = f.NewBar(dock, name == "Toolbar" ? "Skiffbar1" : name);
    t->SetCaption(name);
    for (const char* c : {"New", "Open"}) NewButton(t, c);
    NewSep(t);
    for (const char* c : {"Add", "Delete"}) NewButton(t, c);
    NewSep(t);
    for (const char* c : {"View", "Install"}) NewButton(t, c);
    return t;
}

RECT WindowRect(TWinControl* c) {
    RECT r{};
    GetWindowRect(c->Handle(), &r);
    return r;
}

// Posts a mouse message to Wnd for a screen point.
void PostMouse(HWND wnd, UINT msg, POINT screen, WPARAM keys = 0) {
    ScreenToClient(wnd, &screen);
    PostMessageA(wnd, msg, keys, MAKELPARAM(screen.x, screen.y));
}

// Drags a tool window by its drag handle (or caption) from where it is to
// a screen point: the moves and the release are queued first, then the
// press starts the loop that reads them.
void Drag(TCustomToolWindow97* w, POINT to, bool escape = false) {
    HWND h = w->Handle();
    RECT r = WindowRect(w);
    POINT grab{r.left + 4, r.top + 4};
    POINT mid{(grab.x + to.x) / 2, (grab.y + to.y) / 2};
    PostMouse(h, WM_MOUSEMOVE, mid, MK_LBUTTON);
    PostMouse(h, WM_MOUSEMOVE, to, MK_LBUTTON);
    if (escape) PostMessageA(h, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMouse(h, WM_LBUTTONUP, to);
    POINT c = grab;
    ScreenToClient(h, &c);
    w->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
    Pump();
}

void SetCtrl(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// ---- hooks ------------------------------------------------------------------------

std::vector<std::string> g_calls;
void HookA(THookCode c, HWND, WPARAM, LPARAM);
void HookB(THookCode c, HWND, WPARAM, LPARAM) { g_calls.push_back("B" + std::to_string(c)); }
void HookA(THookCode c, HWND, WPARAM, LPARAM) {
    g_calls.push_back("A" + std::to_string(c));
    // Dropping another registration in the middle of a dispatch.
    if (c == hookWindowPosChanged) UnregisterHookCallback(HookB);
}

TEST(ToolbarHooks, CountsUndoExactlyAndDispatchSurvivesChanges) {
    const bool kind2 = HookInstalled(2);
    RegisterHookCallback(HookA, HookBit(hookWindowPosChanged), false);
    RegisterHookCallback(HookA, HookBit(hookMouseMove), false);  // keeps the first set, counts both hooks
    EXPECT_EQ(HookRegistrations(HookA), 2);
    EXPECT_TRUE(HookInstalled(0));
    EXPECT_TRUE(HookInstalled(2));
    RegisterHookCallback(HookB, HookBit(hookWindowPosChanged), true);  // designing: no hook of its own
    g_calls.clear();
    Form f;
    f->Show();
    f->SetBounds(120, 120, 300, 200);
    Pump();
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0], "A1");
    // B was unregistered by A during the first dispatch and never called after.
    for (const std::string& s : g_calls) EXPECT_NE(s, "B1");
    EXPECT_EQ(HookRegistrations(HookB), 0);
    UnregisterHookCallback(HookA);  // takes back the last registration's mouse hook
    EXPECT_EQ(HookInstalled(2), kind2);
    EXPECT_TRUE(HookInstalled(0));
    UnregisterHookCallback(HookA);
    EXPECT_EQ(HookRegistrations(HookA), 0);
    EXPECT_EQ(HookInstalled(2), kind2);
    UnregisterHookCallback(HookA);  // never registered now: nothing changes

    int compares = 0;
    std::vector<void*> none, one{&compares};
    QuickSortList(none, [&](void*, void*) { return ++compares, 0; });
    QuickSortList(one, [&](void*, void*) { return ++compares, 0; });
    EXPECT_EQ(compares, 0);
    std::vector<int> v{5, 3, 9, 1, 7, 3};
    std::vector<void*> l;
    for (int& x : v) l.push_back(&x);
    QuickSortList(l, [](void* a, void* b) { return *static_cast<int*>(a) < *static_cast<int*>(b) ? -1 : *static_cast<int*>(a) > *static_cast<int*>(b) ? 1 : 0; });
    for (size_t i = 1; i < l.size(); ++i) EXPECT_LE(*static_cast<int*>(l[i - 1]), *static_cast<int*>(l[i]));
    EXPECT_EQ(SkiffbarVersion(), "Skiffbar version 1.75");
}

// ---- docks and toolbars --------------------------------------------------------------

TEST(ToolbarDock, ThicknessRowsAndRefusals) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    TDock97* bottom = f.NewDock(dpBottom);
    f->Show();
    Pump();
    EXPECT_EQ(top->Height(), 0);
    bottom->SetFixAlign(true);
    EXPECT_EQ(bottom->Height(), 1);

    TSkiffbar* a = NewToolbar(f, top, "A");
    TSkiffbar* b = NewToolbar(f, top, "B");
    b->SetDockRow(5);
    Pump();
    // Two rows of 26-px buttons: each row 26 + 4.
    EXPECT_EQ(b->DockRow(), 1);
    EXPECT_EQ(top->Height(), 60);
    EXPECT_EQ(a->Top(), 0);
    EXPECT_EQ(b->Top(), 30);
    // Docked: one row, no wrapping, the handle at the left.
    EXPECT_EQ(a->Height(), 30);
    EXPECT_EQ(a->Width(), 4 + 9 + 6 * 42 + 2 * 6);
    // A hidden bar leaves the dock as if empty.
    b->Hide();
    Pump();
    EXPECT_EQ(top->Height(), 30);
    b->Show();
    // Out-of-range places from settings are clamped.
    b->SetDockRow(1 << 30);
    b->SetDockPos(INT_MAX);
    Pump();
    EXPECT_EQ(b->DockRow(), 1);
    EXPECT_LE(b->Left() + b->Width(), top->ClientWidth() + b->Width());

    try {
        top->SetPosition(dpLeft);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Cannot change Position of a TDock97 if it already contains controls");
    }
    EXPECT_EQ(top->Position(), dpTop);
    auto* inner = new TDock97(f.f);
    EXPECT_THROW(inner->SetParent(a), EInvalidOperation);
    auto* sep = new TToolbarSep97(f.f);
    try {
        sep->SetParent(f.f);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "TToolbarSep97 can only be placed on a TSkiffbar");
    }
}

TEST(ToolbarFloating, WrapsAtFloatRightXWithEtchedLines) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* t = NewToolbar(f, top);
    t->SetFloatingPosition({300, 300});
    t->SetDockedTo(nullptr);
    Pump();
    ASSERT_FALSE(t->Docked());
    EXPECT_EQ(top->Height(), 0);
    EXPECT_TRUE(IsWindowVisible(t->Handle()));
    EXPECT_EQ(t->ClientWidth(), 4 + 6 * 42 + 2 * 6 + 4);
    EXPECT_EQ(t->ClientHeight(), 2 + 26 + 1);
    // Wrapped after the second group: the separator vanishes, the rows are
    // R + 6 apart with an etched line in the gap.
    t->SetFloatRightX(4 + 4 * 42 + 6 + 4);
    Pump();
    EXPECT_EQ(t->ClientWidth(), 4 + 4 * 42 + 6 + 4);
    EXPECT_EQ(t->ClientHeight(), 2 + 26 + 6 + 26 + 1);
    ASSERT_EQ(t->LineSeparators().size(), 1u);
    EXPECT_EQ(t->LineSeparators()[0].y, 2 + 26 + 6);
    EXPECT_EQ(t->Controls(6)->Left(), 4);  // "View" starts the second row
    // Double-click floats back onto the last dock.
    t->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
    Pump();
    EXPECT_EQ(t->DockedTo(), top);
    EXPECT_EQ(top->Height(), 30);
}

TEST(ToolbarDrag, FloatsRedocksHonoursCtrlEscapeAndNoFloat) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    TDock97* bottom = f.NewDock(dpBottom);
    f->Show();
    TSkiffbar* t = NewToolbar(f, top);
    Pump();
    SetCursorPos(1270, 1010);
    // Dragged into the middle of the form: floats where the outline was.
    Drag(t, {400, 350});
    ASSERT_FALSE(t->Docked());
    RECT r = WindowRect(t);
    EXPECT_NEAR(r.left, 400 - 4, 12);
    // Escape leaves it where it is.
    Drag(t, {600, 600}, true);
    EXPECT_EQ(WindowRect(t).left, r.left);
    // Ctrl held: never docks, even over the bottom dock.
    RECT fr = WindowRect(f.f);
    RECT bd = WindowRect(bottom);
    POINT overBottom{(fr.left + fr.right) / 2, bd.top - 2};
    SetCtrl(true);
    Drag(t, overBottom);
    SetCtrl(false);
    EXPECT_FALSE(t->Docked());
    // Without Ctrl it docks on the bottom dock.
    Drag(t, overBottom);
    EXPECT_EQ(t->DockedTo(), bottom);
    EXPECT_EQ(bottom->Height(), 30);
    EXPECT_EQ(top->Height(), 0);
    // And back to the top one, in a new row before the first when dropped
    // at its leading edge.
    TSkiffbar* other = NewToolbar(f, top, "Other");
    Pump();
    RECT tr = WindowRect(top);
    Drag(t, {tr.left + 200, tr.top - 10});
    EXPECT_EQ(t->DockedTo(), top);
    EXPECT_EQ(t->DockRow(), 0);
    EXPECT_EQ(other->DockRow(), 1);
    // A window that cannot float stays docked when dropped away from docks.
    t->SetDockMode(dmCannotFloat);
    Drag(t, {400, 300});
    EXPECT_EQ(t->DockedTo(), top);
}

TSkiffbar* g_victim = nullptr;
void CALLBACK FreeVictim(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    delete g_victim;
    g_victim = nullptr;
}

TEST(ToolbarDrag, WindowFreedInsideItsLoopEndsTheLoop) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    g_victim = NewToolbar(f, top);
    Pump();
    HWND h = g_victim->Handle();
    RECT r = WindowRect(g_victim);
    POINT c{r.left + 4, r.top + 4};  // on the drag handle
    ScreenToClient(h, &c);
    // The timer frees the bar while the loop waits; the queued release
    // would otherwise end the loop by docking a freed window.
    SetTimer(nullptr, 0, 10, FreeVictim);
    Sleep(30);
    PostMouse(h, WM_MOUSEMOVE, {r.left + 300, r.top + 300}, MK_LBUTTON);
    g_victim->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
    EXPECT_EQ(g_victim, nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(top->DockList().empty());
    Pump();
}

TEST(ToolbarSizing, FloatingResizeSnapsToWrappedSizesEscapeKeeps) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* t = NewToolbar(f, top);
    t->SetFloatingPosition({200, 300});
    t->SetDockedTo(nullptr);
    Pump();
    const int w0 = t->Width();
    RECT r = WindowRect(t);
    // Grab the right edge and pull it left to about half the width.
    POINT start{r.right - 1, (r.top + r.bottom) / 2};
    SetCursorPos(start.x, start.y);
    POINT to{r.left + w0 / 2, start.y};
    HWND h = t->Handle();
    PostMouse(h, WM_MOUSEMOVE, to, MK_LBUTTON);
    PostMessageA(h, WM_KEYDOWN, VK_ESCAPE, 0);
    t->Perform(WM_NCLBUTTONDOWN, HTRIGHT, MAKELPARAM(start.x, start.y));
    Pump();
    EXPECT_EQ(t->Width(), w0);
    EXPECT_EQ(t->FloatRightX(), 0);
    SetCursorPos(start.x, start.y);
    PostMouse(h, WM_MOUSEMOVE, to, MK_LBUTTON);
    PostMouse(h, WM_LBUTTONUP, to);
    t->Perform(WM_NCLBUTTONDOWN, HTRIGHT, MAKELPARAM(start.x, start.y));
    Pump();
    // One of the wrapped sizes: two or three rows, the width of its rows.
    EXPECT_LT(t->Width(), w0);
    EXPECT_GT(t->FloatRightX(), 0);
    EXPECT_FALSE(t->LineSeparators().empty());
    SetCursorPos(1270, 1010);
}

TEST(ToolWindow, ClientAreaMinimumAndCloseButton) {
    Form f;
    TDock97* bottom = f.NewDock(dpBottom);
    f->Show();
    auto* w = new TToolWindow97(f.f);
    w->SetCaption("Messages");
    w->SetHideWhenInactive(false);
    w->SetDockableTo({dpTop, dpBottom});
    w->SetDockedTo(bottom);
    w->SetClientAreaWidth(300);
    w->SetClientAreaHeight(80);
    Pump();
    EXPECT_EQ(w->ClientHeight(), 80);
    EXPECT_EQ(bottom->Height(), 84);
    w->SetFloatingPosition({300, 400});
    w->SetDockedTo(nullptr);
    Pump();
    EXPECT_EQ(w->ClientWidth(), 300);
    EXPECT_EQ(w->ClientHeight(), 80);
    // The close button asks first; refused, the window stays.
    bool allow = false;
    int closed = 0;
    w->OnCloseQuery = [&](TObject*, bool& can) { can = allow; };
    w->OnClose = [&](TObject*) { ++closed; };
    w->CloseClicked();
    EXPECT_TRUE(w->Visible());
    allow = true;
    w->CloseClicked();
    EXPECT_FALSE(w->Visible());
    EXPECT_EQ(closed, 1);
    // Off screen (a monitor that is gone): pulled back.
    w->Show();
    w->SetBounds(-5000, -5000, w->Width(), w->Height());
    w->MoveOnScreen(true);
    EXPECT_GE(w->Left(), 0);
    EXPECT_GE(w->Top(), 0);
}

// ---- buttons ------------------------------------------------------------------------

TEST(ToolbarButton, GroupsClampsAndComboWidth) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    auto* bar = new TSkiffbar(f.f);
    bar->SetDockedTo(top);
    TToolbarButton97* lone = NewButton(bar, "x", 23, 22);
    lone->SetDown(true);
    EXPECT_FALSE(lone->Down());
    TToolbarButton97* a = NewButton(bar, "a");
    TToolbarButton97* b = NewButton(bar, "b");
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    a->SetDown(true);
    b->SetDown(true);
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(b->Down());
    b->SetDown(false);  // the only down one: needs AllowAllUp
    EXPECT_TRUE(b->Down());
    a->SetAllowAllUp(true);
    EXPECT_TRUE(b->AllowAllUp());
    b->SetDown(false);
    EXPECT_FALSE(b->Down());

    lone->SetNumGlyphs(7);
    EXPECT_EQ(lone->NumGlyphs(), 5);
    lone->SetDropdownArrowWidth(3);
    EXPECT_EQ(lone->DropdownArrowWidth(), 7);
    lone->SetMargin(-5);
    EXPECT_EQ(lone->Margin(), -1);
    const int w = lone->Width();
    lone->SetDropdownCombo(true);
    EXPECT_EQ(lone->Width(), w + 9);
    TBitmap empty;
    lone->SetGlyph(&empty);
    EXPECT_EQ(lone->NumGlyphs(), 1);
    TBitmap strip(64, 16);
    lone->SetGlyph(&strip);
    EXPECT_EQ(lone->NumGlyphs(), 4);
}

TEST(ToolbarButton, DropdownPurgeDropsPressesOnTheButtonOnly) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* bar = NewToolbar(f, top);
    Pump();
    auto* open = static_cast<TToolbarButton97*>(bar->Controls(1));
    auto* add = static_cast<TToolbarButton97*>(bar->Controls(3));
    open->SetDropdownAlways(true);
    int dropdowns = 0, clicks = 0, addClicks = 0;
    open->OnDropdown = [&](TObject*, bool& show, bool& remove) {
        ++dropdowns;
        show = false;
        remove = true;
        // The press that closed the menu on its own button, and one elsewhere.
        HWND h = bar->Handle();
        PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(open->Left() + 5, open->Top() + 5));
        PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(open->Left() + 5, open->Top() + 5));
        PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(add->Left() + 5, add->Top() + 5));
        PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(add->Left() + 5, add->Top() + 5));
    };
    open->OnClick = [&](TObject*) { ++clicks; };
    add->OnClick = [&](TObject*) { ++addClicks; };
    open->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    open->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    EXPECT_EQ(dropdowns, 1);  // not reopened by the closing press
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(addClicks, 1);  // clicks elsewhere still arrive

    // A button freed by its own click handler is not touched again.
    auto* del = static_cast<TToolbarButton97*>(bar->Controls(4));
    del->OnClick = [&](TObject*) { delete del; };
    del->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    del->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    EXPECT_EQ(bar->ControlCount(), 7);
}

// ---- screenshots ------------------------------------------------------------------------

TEST(ToolbarScreens, DockedAndFloatingWrapped) {
    Form f;
    f->SetBounds(20, 20, 640, 420);
    TDock97* top = f.NewDock(dpTop);
    TDock97* bottom = f.NewDock(dpBottom);
    TDock97* left = f.NewDock(dpLeft);
    f->Show();
    TSkiffbar* side = NewToolbar(f, left, "Side");
    TSkiffbar* menu = NewToolbar(f, top, "Menu Bar");
    menu->SetCloseButton(false);
    TSkiffbar* docked = NewToolbar(f, top, "Toolbar");
    docked->SetDockRow(1);
    auto* msgs = new TToolWindow97(f.f);
    msgs->SetCaption("Messages");
    msgs->SetDockedTo(bottom);
    msgs->SetClientAreaWidth(300);
    msgs->SetClientAreaHeight(60);
    TBitmap glyph(16, 16);
    glyph.Canvas().Brush().SetColor(clFuchsia);
    glyph.Canvas().FillRect(Rect(0, 0, 16, 16));
    glyph.Canvas().Brush().SetColor(clNavy);
    glyph.Canvas().FillRect(Rect(3, 3, 13, 13));
    static_cast<TToolbarButton97*>(docked->Controls(0))->SetGlyph(&glyph);
    static_cast<TToolbarButton97*>(docked->Controls(0))->SetWidth(60);
    static_cast<TToolbarButton97*>(docked->Controls(4))->SetEnabled(false);
    static_cast<TToolbarButton97*>(docked->Controls(4))->SetGlyph(&glyph);
    static_cast<TToolbarButton97*>(docked->Controls(4))->SetWidth(60);
    auto* floating = NewToolbar(f, top, "Floating");
    floating->SetFloatingPosition({700, 100});
    floating->SetDockedTo(nullptr);
    floating->SetFloatRightX(4 + 4 * 42 + 6 + 4);
    Pump(10);
    EXPECT_EQ(top->Height(), 60);
    // On a side dock the buttons stand one under the other.
    EXPECT_EQ(left->Width(), 42 + 4);
    EXPECT_EQ(side->Controls(1)->Top(), 26);
    EXPECT_EQ(floating->ClientHeight(), 2 + 26 + 6 + 26 + 1);
    test::SaveScreenshot(*f.f, "toolbar-docked.bmp");
    test::SaveScreenshot(*floating, "toolbar-floating.bmp");
    // The etched line of the wrap, in the floating bar's gap.
    TBitmap shot;
    test::RenderWindow(*floating, shot);
    RECT wr = WindowRect(floating);
    POINT o{0, 0};
    ClientToScreen(floating->Handle(), &o);
    const int lineY = (o.y - wr.top) + 2 + 26 + 6 - 4;
    EXPECT_EQ(test::PixelAt(shot, (o.x - wr.left) + 20, lineY), static_cast<COLORREF>(GetSysColor(COLOR_BTNSHADOW)));
    if (const char* hold = getenv("TOOLBAR_HOLD")) Sleep(static_cast<DWORD>(atoi(hold)));
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

HWND g_floating_wnd = nullptr;
int g_enabled_during = -1;

BOOL CALLBACK AnswerBox(HWND h, LPARAM) {
    char cls[32] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(h)) PostMessageA(h, WM_COMMAND, IDNO, 0);
    return TRUE;
}

void CALLBACK CheckAndAnswer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_enabled_during = IsWindowEnabled(g_floating_wnd) ? 1 : 0;
    EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

TEST(ToolbarFloating, QuestionsDisableFloatingWindows) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* t = NewToolbar(f, top);
    t->SetFloatingPosition({500, 500});
    t->SetDockedTo(nullptr);
    Pump();
    g_floating_wnd = t->Handle();
    ASSERT_TRUE(IsWindowEnabled(g_floating_wnd));
    SetTimer(nullptr, 0, 300, CheckAndAnswer);
    EXPECT_EQ(MessageDlg("Delete selected file(s)?", mtConfirmation, {mbYes, mbNo}), IDNO);
    EXPECT_EQ(g_enabled_during, 0);  // no command from the floating bar under the question
    EXPECT_TRUE(IsWindowEnabled(g_floating_wnd));
}

}  // namespace
}  // namespace bramble

#include "kits/toolbar/placement.h"
#include "ui/registry.h"

namespace bramble {
namespace {

const char* const kPlacementKey = "Software\\Bramble\\ToolbarKitTest";

TPositionWriteIntProc RegWriter(TRegistry& reg) {
    return [&reg](const std::string& bar, const std::string& value, int v) {
        reg.CloseKey();
        reg.OpenKey(std::string(kPlacementKey) + "\\" + bar, true);
        reg.WriteInteger(value, v);
    };
}

TPositionReadIntProc RegReader(TRegistry& reg) {
    return [&reg](const std::string& bar, const std::string& value, int def) {
        reg.CloseKey();
        if (!reg.OpenKey(std::string(kPlacementKey) + "\\" + bar, false)) return def;
        return reg.ReadIntegerDef(value, def);
    };
}

TEST(ToolbarPlacement, RoundTripThroughTheRegistryAndDistrust) {
    TRegistry reg;
    reg.DeleteKey(kPlacementKey);
    {
        Form f;
        TDock97* top = f.NewDock(dpTop);
        TDock97* bottom = f.NewDock(dpBottom);
        f->Show();
        TSkiffbar* menu = NewToolbar(f, top, "MainMenu981");
        TSkiffbar* bar = NewToolbar(f, top);
        auto* msgs = new TToolWindow97(f.f);
        msgs->SetName("MsgToolWindow");
        msgs->SetDockableTo({dpTop, dpBottom});
        msgs->SetDockedTo(bottom);
        msgs->SetClientAreaWidth(200);
        msgs->SetClientAreaHeight(70);
        Pump();
        // The toolbar docked at the bottom, second in its row; the menu bar
        // floating and wrapped.
        bar->SetDockPos(300);
        bar->SetDockedTo(bottom);
        menu->SetFloatingPosition({400, 450});
        menu->SetDockedTo(nullptr);
        menu->SetFloatRightX(120);
        Pump();
        const std::vector<TDock97*> docks{top, bottom};
        for (TCustomToolWindow97* w : {static_cast<TCustomToolWindow97*>(menu), static_cast<TCustomToolWindow97*>(bar),
                                       static_cast<TCustomToolWindow97*>(msgs)})
            SaveToolWindowPlacement(w, docks, RegWriter(reg));
    }
    {
        // A restart: made docked on the top dock, then restored.
        Form f;
        TDock97* top = f.NewDock(dpTop);
        TDock97* bottom = f.NewDock(dpBottom);
        f->Show();
        TSkiffbar* menu = NewToolbar(f, top, "MainMenu981");
        TSkiffbar* bar = NewToolbar(f, top);
        auto* msgs = new TToolWindow97(f.f);
        msgs->SetName("MsgToolWindow");
        msgs->SetDockableTo({dpTop, dpBottom});
        msgs->SetDockedTo(top);
        Pump();
        const std::vector<TDock97*> docks{top, bottom};
        for (TCustomToolWindow97* w : {static_cast<TCustomToolWindow97*>(menu), static_cast<TCustomToolWindow97*>(bar),
                                       static_cast<TCustomToolWindow97*>(msgs)})
            LoadToolWindowPlacement(w, docks, RegReader(reg));
        Pump();
        EXPECT_FALSE(menu->Docked());
        EXPECT_EQ(menu->Left(), 400);
        EXPECT_EQ(menu->FloatRightX(), 120);
        EXPECT_EQ(bar->DockedTo(), bottom);
        EXPECT_EQ(msgs->DockedTo(), bottom);
        EXPECT_EQ(msgs->ClientWidth(), 200);
        EXPECT_EQ(msgs->ClientHeight(), 70);
        EXPECT_EQ(top->Height(), 0);

        // Values nobody should trust: a row and position near the limits, a
        // dock that does not exist, a floating place far off screen, a
        // client size below the minimum.
        reg.CloseKey();
        reg.OpenKey(std::string(kPlacementKey) + "\\Skiffbar1", true);
        reg.WriteInteger("Row", INT_MAX);
        reg.WriteInteger("Pos", INT_MAX - 5);
        reg.CloseKey();
        reg.OpenKey(std::string(kPlacementKey) + "\\MsgToolWindow", true);
        reg.WriteInteger("Dock", 7);
        reg.WriteInteger("ClientHeight", -40);
        reg.CloseKey();
        reg.OpenKey(std::string(kPlacementKey) + "\\MainMenu981", true);
        reg.WriteInteger("FloatLeft", -90000);
        reg.WriteInteger("FloatTop", 2000000000);
        for (TCustomToolWindow97* w : {static_cast<TCustomToolWindow97*>(menu), static_cast<TCustomToolWindow97*>(bar),
                                       static_cast<TCustomToolWindow97*>(msgs)})
            LoadToolWindowPlacement(w, docks, RegReader(reg));
        Pump();
        EXPECT_EQ(bar->DockRow(), 1);  // compacted after the Messages window's row
        EXPECT_LE(bar->Left() + bar->Width(), bottom->ClientWidth() + bar->Width());
        EXPECT_EQ(msgs->DockedTo(), bottom);
        EXPECT_EQ(msgs->ClientHeight(), 32);
        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_GE(menu->Left(), work.left);
        EXPECT_LE(menu->Top() + menu->Height(), work.bottom);
    }
    reg.CloseKey();
    reg.DeleteKey(kPlacementKey);
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolbarButton, FollowsItsActionAndRunsIt) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* bar = NewToolbar(f, top);
    auto* del = static_cast<TToolbarButton97*>(bar->Controls(4));
    auto* view = static_cast<TToolbarButton97*>(bar->Controls(6));
    auto* action = new TAction(f.f);
    action->SetCaption("Delete");
    action->SetHint("Delete selected files");
    int runs = 0;
    bool canDelete = false;
    action->OnExecute = [&](TObject*) { ++runs; };
    action->OnUpdate = [&](TObject* s) { static_cast<TAction*>(s)->SetEnabled(canDelete); };
    del->SetAction(action);
    view->SetAction(action);
    EXPECT_EQ(del->Hint(), "Delete selected files");
    // The idle cycle: the command's state reaches both buttons.
    UpdateActions();
    EXPECT_FALSE(del->Enabled());
    EXPECT_FALSE(view->Enabled());
    canDelete = true;
    UpdateActions();
    EXPECT_TRUE(del->Enabled());
    del->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    del->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(runs, 1);
    // A grouped button's Down follows Checked both ways.
    auto* toggle = new TAction(f.f);
    view->SetGroupIndex(3);
    view->SetAllowAllUp(true);
    view->SetAction(toggle);
    toggle->SetChecked(true);
    EXPECT_TRUE(view->Down());
    view->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    view->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(view->Down());
    EXPECT_FALSE(toggle->Checked());
    // A freed action leaves the buttons alone.
    delete action;
    EXPECT_EQ(del->Action(), nullptr);
    del->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    del->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolbarButton, OneHotBorderAtATime) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* bar = NewToolbar(f, top);
    Pump();
    auto* a = static_cast<TToolbarButton97*>(bar->Controls(0));
    auto* b = static_cast<TToolbarButton97*>(bar->Controls(1));
    a->SetShowBorderWhenInactive(true);
    b->SetShowBorderWhenInactive(true);
    int enters = 0, exits = 0;
    a->OnMouseEnter = [&](TObject*) { ++enters; };
    a->OnMouseExit = [&](TObject*) { ++exits; };
    auto moveTo = [&](TToolbarButton97* btn) {
        TPoint p = btn->ClientToScreen({5, 5});
        SetCursorPos(p.X, p.Y);
        PostMessageA(bar->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(btn->Left() + 5, btn->Top() + 5));
        Pump();
    };
    moveTo(a);
    EXPECT_EQ(TToolbarButton97::HotButton(), a);
    EXPECT_TRUE(a->MouseInControl());
    moveTo(b);
    EXPECT_EQ(TToolbarButton97::HotButton(), b);
    EXPECT_FALSE(a->MouseInControl());
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
    // Away from the bar: the timer or the mouse hook takes the border off.
    SetCursorPos(1270, 1010);
    Sleep(200);
    Pump(10);
    EXPECT_EQ(TToolbarButton97::HotButton(), nullptr);
    EXPECT_FALSE(b->MouseInControl());
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolbarDrag, FixedDockWindowsAndParentsRefused) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    TDock97* bottom = f.NewDock(dpBottom);
    f->Show();
    TSkiffbar* t = NewToolbar(f, top);
    Pump();
    SetCursorPos(1270, 1010);
    t->SetDockMode(dmCannotFloatOrChangeDocks);
    RECT fr = WindowRect(f.f), bd = WindowRect(bottom);
    Drag(t, {(fr.left + fr.right) / 2, bd.top - 2});
    EXPECT_EQ(t->DockedTo(), top);
    // Moved along its own dock instead.
    RECT tr = WindowRect(top);
    Drag(t, {tr.left + 150, tr.top + 10});
    EXPECT_EQ(t->DockedTo(), top);
    EXPECT_GT(t->DockPos(), 100);
    auto* panel = new TPanel(f.f);
    panel->SetParent(f.f);
    try {
        t->SetParent(panel);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "A tool window can only be placed on a TDock97 or directly on the form");
    }
    EXPECT_EQ(t->DockedTo(), top);
}

TEST(ToolbarButton, RepeatingClicksWhileHeld) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    TSkiffbar* bar = NewToolbar(f, top);
    Pump();
    auto* b = static_cast<TToolbarButton97*>(bar->Controls(0));
    b->SetRepeating(true);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    TPoint p = b->ClientToScreen({5, 5});
    SetCursorPos(p.X, p.Y);
    Pump();
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(clicks, 1);  // at once
    const DWORD until = GetTickCount() + 700;
    while (GetTickCount() < until) {
        Pump();
        Sleep(10);
    }
    // After 400 ms, then every 100 ms.
    EXPECT_GE(clicks, 3);
    EXPECT_LE(clicks, 6);
    b->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    const int held = clicks;
    Sleep(300);
    Pump();
    EXPECT_EQ(clicks, held);
    SetCursorPos(1270, 1010);
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolbarDock, FreedDockBeforeItsBars) {
    // Docks freed before the bars on them (and the reverse) leave nothing
    // pointing at freed objects.
    for (bool dockFirst : {true, false}) {
        Form f;
        TDock97* top = f.NewDock(dpTop);
        f->Show();
        TSkiffbar* a = NewToolbar(f, top);
        TSkiffbar* b = NewToolbar(f, top, "B");
        b->SetFloatingPosition({300, 300});
        b->SetDockedTo(nullptr);  // floating, still registered on its last dock
        Pump();
        if (dockFirst) {
            delete top;  // takes the bar docked on it along
            EXPECT_EQ(b->LastDock(), nullptr);
        } else {
            delete a;
            delete top;
        }
        delete b;
        Pump();
    }
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolWindow, ResizeStopsAtMinimumAndInactiveApplicationHidesFloaters) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    f->Show();
    auto* w = new TToolWindow97(f.f);
    w->SetCaption("Messages");
    w->SetDockedTo(top);
    w->SetClientAreaWidth(200);
    w->SetClientAreaHeight(100);
    w->SetFloatingPosition({400, 300});
    w->SetDockedTo(nullptr);
    Pump();
    SetForegroundWindow(f->Handle());
    Pump();
    // Pulled far up and left by the bottom-right corner: stops at the minimum.
    RECT r = WindowRect(w);
    POINT start{r.right - 2, r.bottom - 2};
    SetCursorPos(start.x, start.y);
    HWND h = w->Handle();
    PostMouse(h, WM_MOUSEMOVE, {start.x - 500, start.y - 500}, MK_LBUTTON);
    PostMouse(h, WM_LBUTTONUP, {start.x - 500, start.y - 500});
    w->Perform(WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, MAKELPARAM(start.x, start.y));
    Pump();
    EXPECT_EQ(w->ClientWidth(), 32);
    EXPECT_EQ(w->ClientHeight(), 32);
    EXPECT_EQ(w->ClientAreaWidth(), 32);
    SetCursorPos(1270, 1010);

    // With HideWhenInactive the floater goes while another program is
    // active, and comes back with its own.
    ASSERT_TRUE(w->HideWhenInactive());
    EXPECT_TRUE(IsWindowVisible(h));
    {
        test::OtherProgramWindow other;
        SetForegroundWindow(other.Handle());
        Sleep(100);
        Pump(10);
        EXPECT_FALSE(IsWindowVisible(h));
        SetForegroundWindow(f->Handle());
        Sleep(100);
        Pump(10);
        EXPECT_TRUE(IsWindowVisible(h));
    }
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ToolbarDrag, RequestDockCanRefuseAndDocksReportBars) {
    Form f;
    TDock97* top = f.NewDock(dpTop);
    TDock97* bottom = f.NewDock(dpBottom);
    f->Show();
    std::vector<std::string> events;
    bottom->OnInsertRemoveBar = [&](TObject*, bool in, TCustomToolWindow97* b) {
        events.push_back(std::string(in ? "+" : "-") + b->Name());
    };
    bool accept = false;
    int asked = 0;
    bottom->OnRequestDock = [&](TObject*, TCustomToolWindow97*, bool& a) {
        ++asked;
        a = accept;
    };
    TSkiffbar* t = NewToolbar(f, top);
    Pump();
    SetCursorPos(1270, 1010);
    RECT fr = WindowRect(f.f), bd = WindowRect(bottom);
    POINT overBottom{(fr.left + fr.right) / 2, bd.top - 2};
    Drag(t, overBottom);
    EXPECT_GT(asked, 0);
    EXPECT_FALSE(t->Docked());  // refused: floats there instead
    accept = true;
    Drag(t, overBottom);
    EXPECT_EQ(t->DockedTo(), bottom);
    t->Hide();
    t->Show();
    EXPECT_EQ(events, (std::vector<std::string>{"+Skiffbar1", "-Skiffbar1", "+Skiffbar1"}));
}

}  // namespace
}  // namespace bramble
