#include <gtest/gtest.h>

#include "ui/control.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

using test::Pump;

// A form made in code, freed the way the application frees forms.
struct FormHolder {
    TForm* f;
    FormHolder() : f(new TForm(nullptr)) { f->AfterConstruction(); }
    ~FormHolder() { TCustomForm::Free(f); }
    TForm* operator->() const { return f; }
};

TPanel* NewPanel(TWinControl* parent, TAlign a, int w, int h) {
    auto* p = new TPanel(parent->Owner() ? parent->Owner() : parent);
    p->SetBounds(0, 0, w, h);
    p->SetParent(parent);
    p->SetAlign(a);
    return p;
}

TEST(ControlLayout, AlignsTopBottomLeftRightClientInOrderAndAfterResize) {
    FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 400, 300);
    TPanel* client = NewPanel(form.f, alClient, 10, 10);
    TPanel* right = NewPanel(form.f, alRight, 50, 10);
    TPanel* top2 = NewPanel(form.f, alTop, 10, 30);
    top2->SetTop(100);  // below the first top panel
    TPanel* top1 = NewPanel(form.f, alTop, 10, 20);
    top1->SetTop(0);
    TPanel* bottom = NewPanel(form.f, alBottom, 10, 40);
    TPanel* left = NewPanel(form.f, alLeft, 60, 10);
    form->AfterConstruction();
    form->Show();
    Pump();

    TRect cr = form->ClientRect();
    EXPECT_EQ(top1->BoundsRect(), Rect(0, 0, cr.Right, 20));
    EXPECT_EQ(top2->BoundsRect(), Rect(0, 20, cr.Right, 50));
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, cr.Bottom - 40, cr.Right, cr.Bottom));
    EXPECT_EQ(left->BoundsRect(), Rect(0, 50, 60, cr.Bottom - 40));
    EXPECT_EQ(right->BoundsRect(), Rect(cr.Right - 50, 50, cr.Right, cr.Bottom - 40));
    EXPECT_EQ(client->BoundsRect(), Rect(60, 50, cr.Right - 50, cr.Bottom - 40));

    // A resize realigns; hiding a control gives its room away.
    form->SetBounds(0, 0, 500, 400);
    Pump();
    cr = form->ClientRect();
    EXPECT_EQ(client->BoundsRect(), Rect(60, 50, cr.Right - 50, cr.Bottom - 40));
    left->Hide();
    EXPECT_EQ(client->Left(), 0);
    // A control taken out of alignment keeps its place.
    right->SetAlign(alNone);
    right->SetBounds(5, 6, 7, 8);
    EXPECT_EQ(right->BoundsRect(), Rect(5, 6, 12, 14));
    EXPECT_EQ(client->Width(), cr.Right);
}

// A container that opts out of the library's alignment and stacks its
// children itself.
class TStacker : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int calls = 0;
    void AlignControls(TControl*, TRect& R) override {
        ++calls;
        int y = R.Top;
        for (int i = 0; i < ControlCount(); ++i) {
            Controls(i)->SetBounds(3, y, 10, Controls(i)->Height());
            y += Controls(i)->Height();
        }
    }
};

TEST(ControlLayout, ContainerCanReplaceAlignmentAndAlignsOnceWhileDisabled) {
    FormHolder form;
    auto* s = new TStacker(form.f);
    s->SetParent(form.f);
    s->SetBounds(0, 0, 100, 100);
    auto* a = NewPanel(s, alTop, 50, 7);
    auto* b = NewPanel(s, alTop, 50, 9);
    EXPECT_EQ(a->BoundsRect(), Rect(3, 0, 13, 7));
    EXPECT_EQ(b->BoundsRect(), Rect(3, 7, 13, 16));
    s->calls = 0;
    s->DisableAlign();
    a->SetHeight(20);
    b->SetHeight(5);
    EXPECT_EQ(s->calls, 0);
    s->EnableAlign();
    EXPECT_EQ(s->calls, 1);
    EXPECT_EQ(b->Top(), 20);
}

TEST(ControlProperties, FontAndColourFollowTheParentUntilSetOwn) {
    FormHolder form;
    auto* panel = NewPanel(form.f, alNone, 100, 100);
    auto* label = new TLabel(form.f);
    label->SetParent(panel);
    form->Font().SetName("Arial");
    form->Font().SetSize(12);
    form->SetColor(clYellow);
    EXPECT_EQ(panel->Font().Name(), "Arial");
    EXPECT_EQ(label->Font().Size(), 12);
    EXPECT_EQ(label->Color(), clYellow);
    EXPECT_TRUE(label->ParentFont());
    label->Font().SetStyle({fsBold});
    EXPECT_FALSE(label->ParentFont());
    form->Font().SetSize(20);
    EXPECT_EQ(panel->Font().Size(), 20);
    EXPECT_EQ(label->Font().Size(), 12);  // its own font now
    label->SetParentFont(true);
    EXPECT_EQ(label->Font().Size(), 20);
    panel->SetColor(clRed);
    EXPECT_EQ(label->Color(), clRed);
    EXPECT_EQ(form->Color(), clYellow);
}

TEST(ControlProperties, ShowHintReachesEveryDescendantThatFollowsItsParent) {
    FormHolder form;
    auto* bar = NewPanel(form.f, alTop, 200, 40);
    auto* group = NewPanel(bar, alNone, 100, 30);
    auto* button = new TButton(form.f);
    button->SetParent(bar);
    auto* nested = new TButton(form.f);
    nested->SetParent(group);
    auto* label = new TLabel(form.f);
    label->SetParent(group);
    group->SetName("group");
    button->SetName("button");
    nested->SetName("nested");
    label->SetName("label");
    auto* own = new TEdit(form.f);
    own->SetParent(bar);
    own->SetShowHint(false);  // a value of its own: no longer follows
    EXPECT_FALSE(own->ParentShowHint());

    auto follows = [&](bool v) {
        for (TControl* c : std::vector<TControl*>{group, button, nested, label}) {
            EXPECT_EQ(c->ShowHint(), v) << c->Name();
            EXPECT_TRUE(c->ParentShowHint()) << c->Name();
        }
    };
    bar->SetShowHint(true);
    follows(true);
    EXPECT_FALSE(own->ShowHint());
    bar->SetShowHint(false);
    follows(false);
    // Following again takes the parent's value now and its changes later;
    // a control placed later takes its new parent's.
    bar->SetShowHint(true);
    own->SetParentShowHint(true);
    EXPECT_TRUE(own->ShowHint());
    auto* later = new TButton(form.f);
    later->SetParent(group);
    EXPECT_TRUE(later->ShowHint());
    bar->SetShowHint(false);
    EXPECT_FALSE(later->ShowHint());
    EXPECT_FALSE(own->ShowHint());
}

// A windowless control that records what reaches it.
class TProbe : public TGraphicControl {
public:
    TProbe(TComponent* o, TColor c) : TGraphicControl(o), colour(c) {
        SetControlStyle({csCaptureMouse, csClickEvents, csOpaque});
    }
    TColor colour;
    std::vector<std::string> log;
    int clicks = 0;
    void Click() override {
        ++clicks;
        TGraphicControl::Click();
    }

protected:
    void Paint() override {
        Canvas().Brush().SetColor(colour);
        Canvas().FillRect(ClientRect());
        // Anything outside the control's own rectangle must be clipped away.
        Canvas().Brush().SetColor(clBlack);
        Canvas().FillRect(Rect(-50, -50, 0, 500));
    }
    void MouseDown(TMouseButton, TShiftState, int X, int Y) override {
        log.push_back("down " + std::to_string(X) + "," + std::to_string(Y));
    }
    void MouseMove(TShiftState, int X, int Y) override {
        log.push_back("move " + std::to_string(X) + "," + std::to_string(Y));
    }
    void MouseUp(TMouseButton, TShiftState, int X, int Y) override {
        log.push_back("up " + std::to_string(X) + "," + std::to_string(Y));
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == CM_MOUSEENTER) log.push_back("enter");
        if (m.Msg == CM_MOUSELEAVE) log.push_back("leave");
        TGraphicControl::WndProc(m);
    }
};

TEST(WindowlessControls, ArePaintedByTheParentInZOrderWithinTheirOwnClip) {
    FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetColor(clWhite);
    form->SetBounds(0, 0, 200, 100);
    auto* red = new TProbe(form.f, clRed);
    red->SetBounds(10, 10, 60, 40);
    red->SetParent(form.f);
    auto* blue = new TProbe(form.f, clBlue);
    blue->SetBounds(50, 20, 60, 40);  // overlaps red, on top
    blue->SetParent(form.f);
    auto* hidden = new TProbe(form.f, clLime);
    hidden->SetBounds(150, 10, 20, 20);
    hidden->SetParent(form.f);
    hidden->Hide();
    form->Show();
    Pump();
    TBitmap shot;
    test::RenderWindow(*form.f, shot);
    EXPECT_EQ(test::PixelAt(shot, 15, 15), ColorToRGB(clRed));
    EXPECT_EQ(test::PixelAt(shot, 60, 30), ColorToRGB(clBlue));   // the later control on top
    EXPECT_EQ(test::PixelAt(shot, 5, 5), ColorToRGB(clWhite));    // no black from outside the clip
    EXPECT_EQ(test::PixelAt(shot, 155, 15), ColorToRGB(clWhite)); // hidden: not painted
    red->BringToFront();
    test::RenderWindow(*form.f, shot);
    EXPECT_EQ(test::PixelAt(shot, 60, 30), ColorToRGB(clRed));
}

TEST(WindowlessControls, GetMouseFromTheParentWithCaptureEnterAndLeave) {
    FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 200, 100);
    auto* a = new TProbe(form.f, clRed);
    a->SetBounds(10, 10, 50, 50);
    a->SetParent(form.f);
    auto* b = new TProbe(form.f, clBlue);
    b->SetBounds(100, 10, 50, 50);
    b->SetParent(form.f);
    form->Show();
    Pump();
    HWND h = form->Handle();
    auto send = [&](UINT msg, int x, int y, WPARAM keys) { SendMessageA(h, msg, keys, MAKELPARAM(x, y)); };

    send(WM_MOUSEMOVE, 20, 20, 0);
    send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_TRUE(a->MouseCapture());
    // While a holds the mouse, moves over b still go to a, in a's coordinates.
    send(WM_MOUSEMOVE, 120, 30, MK_LBUTTON);
    send(WM_LBUTTONUP, 120, 30, 0);
    EXPECT_FALSE(a->MouseCapture());
    EXPECT_EQ(a->clicks, 0);  // released outside: no click
    std::vector<std::string> want{"enter", "move 10,10", "down 10,10", "move 110,20", "up 110,20"};
    EXPECT_EQ(a->log, want);
    EXPECT_TRUE(b->log.empty());

    // Without capture the mouse goes to the control under it, which enters.
    a->log.clear();
    send(WM_MOUSEMOVE, 120, 30, 0);
    EXPECT_EQ(a->log, std::vector<std::string>{"leave"});
    EXPECT_EQ(b->log, (std::vector<std::string>{"enter", "move 20,20"}));
    send(WM_LBUTTONDOWN, 120, 30, MK_LBUTTON);
    send(WM_LBUTTONUP, 121, 31, 0);
    EXPECT_EQ(b->clicks, 1);
    EXPECT_EQ(MouseControl(), b);
    EXPECT_EQ(FindDragTarget(form->ClientToScreen({125, 35}), false), b);
    EXPECT_EQ(FindDragTarget(form->ClientToScreen({80, 80}), false), form.f);
    // A disabled control is passed over.
    b->SetEnabled(false);
    b->log.clear();
    send(WM_LBUTTONDOWN, 120, 30, MK_LBUTTON);
    send(WM_LBUTTONUP, 120, 30, 0);
    EXPECT_EQ(b->clicks, 1);
    // Freeing the control under the mouse leaves no dangling reference.
    b->SetEnabled(true);
    send(WM_MOUSEMOVE, 120, 30, 0);
    delete b;
    EXPECT_EQ(MouseControl(), nullptr);
    send(WM_MOUSEMOVE, 121, 30, 0);
}

// A control whose window procedure throws.
class TThrower : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    bool throw_in_paint = false;

protected:
    void Paint() override {
        if (throw_in_paint) throw EInvalidOperation("paint failed");
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_USER + 7) throw std::runtime_error("boom in window procedure");
        TCustomControl::WndProc(m);
    }
};

TEST(ExceptionSafety, ExceptionsInWindowProceduresReachTheApplicationHandler) {
    test::ExceptionCatcher caught;
    FormHolder form;
    auto* t = new TThrower(form.f);
    t->SetBounds(0, 0, 50, 50);
    t->SetParent(form.f);
    form->Show();
    Pump();
    // Through SendMessage (a system frame), and through the queue.
    SendMessageA(t->Handle(), WM_USER + 7, 0, 0);
    PostMessageA(t->Handle(), WM_USER + 7, 0, 0);
    Pump();
    t->throw_in_paint = true;
    InvalidateRect(t->Handle(), nullptr, TRUE);
    UpdateWindow(t->Handle());
    ASSERT_GE(caught.Messages.size(), 3u);
    EXPECT_EQ(caught.Messages[0], "boom in window procedure");
    EXPECT_EQ(caught.Messages[1], "boom in window procedure");
    EXPECT_EQ(caught.Messages[2], "paint failed");
    // The window survived and still answers.
    t->throw_in_paint = false;
    EXPECT_TRUE(IsWindow(t->Handle()));
    EXPECT_EQ(t->Perform(CM_HITTEST), HTCLIENT);
}

TEST(ExceptionSafety, WithoutAHandlerTheExceptionIsShownInAMessageBox) {
    test::ScriptedModals modals;
    modals.ExpectMessage("boom in window procedure.", IDOK);
    Application->SetTitle("Bramble");
    auto saved = Application->OnException;
    Application->OnException = nullptr;
    FormHolder form;
    auto* t = new TThrower(form.f);
    t->SetParent(form.f);
    SendMessageA(t->Handle(), WM_USER + 7, 0, 0);
    Application->OnException = saved;
    ASSERT_EQ(modals.Asked.size(), 1u);
    EXPECT_EQ(modals.Asked[0], "Bramble: boom in window procedure.");
}

TEST(WindowControls, KeepStateAcrossRecreationAndMapHandles) {
    FormHolder form;
    auto* edit = new TEdit(form.f);
    edit->SetParent(form.f);
    edit->SetText("kept text");
    HWND before = edit->Handle();
    EXPECT_EQ(FindControl(before), edit);
    edit->SetBorderStyleSingle(false);  // needs a new window
    HWND after = edit->Handle();
    EXPECT_NE(before, after);
    EXPECT_EQ(FindControl(before), nullptr);
    EXPECT_EQ(FindControl(after), edit);
    EXPECT_EQ(edit->Text(), "kept text");
    // Handles come and go with the parent.
    edit->SetParent(nullptr);
    EXPECT_FALSE(edit->HandleAllocated());
    edit->SetParent(form.f);
    EXPECT_TRUE(edit->HandleAllocated());
    EXPECT_EQ(GetParent(edit->Handle()), form->Handle());
    delete edit;
    EXPECT_EQ(form->ControlCount(), 0);
}

TEST(WindowControls, PerformAndBroadcastReachChildrenUntilOneAnswers) {
    FormHolder form;
    std::vector<std::string> seen;
    auto make = [&](const std::string& name, LRESULT answer) {
        auto* p = new TPanel(form.f);
        p->SetParent(form.f);
        TWndMethod old = p->WindowProc;
        p->WindowProc = [&seen, name, answer, old](TMessage& m) {
            if (m.Msg == WM_USER + 1) {
                seen.push_back(name);
                m.Result = answer;
                return;
            }
            old(m);
        };
        return p;
    };
    make("a", 0);
    make("b", 5);
    make("c", 0);
    TMessage m{WM_USER + 1, 0, 0, 0};
    form->Broadcast(m);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(m.Result, 5);
    EXPECT_EQ(form->Controls(2)->Perform(WM_USER + 1), 0);
    EXPECT_EQ(seen.back(), "c");
}

}  // namespace
}  // namespace bramble
