#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "ui/dialogs.h"
#include "ui/forms.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

using test::Pump;

// A dialog built in code as the program's dialogs are: controls made in the
// constructor, events wired to its own methods.
class TfrmAsk : public TForm {
public:
    explicit TfrmAsk(TComponent* AOwner) : TForm(AOwner) {
        SetCaption("Ask");
        SetBorderStyle(bsDialog);
        SetClientSize(220, 90);
        edtName = new TEdit(this);
        edtName->SetParent(this);
        edtName->SetBounds(8, 8, 200, 21);
        btnOK = new TButton(this);
        btnOK->SetParent(this);
        btnOK->SetBounds(50, 50, 75, 25);
        btnOK->SetCaption("&OK");
        btnOK->SetDefault(true);
        btnOK->SetModalResult(mrOk);
        btnCancel = new TButton(this);
        btnCancel->SetParent(this);
        btnCancel->SetBounds(130, 50, 75, 25);
        btnCancel->SetCaption("Cancel");
        btnCancel->SetCancel(true);
        btnCancel->SetModalResult(mrCancel);
        loading_in_ctor = edtName->ComponentState().contains(csLoading);
        OnCreate = [this](TObject*) { log.push_back(std::string("create, loading=") + (loading_in_create ? "1" : "0")); };
        OnShow = [this](TObject*) { log.push_back("show"); };
        OnHide = [this](TObject*) { log.push_back("hide"); };
        OnCloseQuery = [this](TObject*, bool& can) {
            log.push_back("closequery");
            if (refuse_close > 0) {
                --refuse_close;
                can = false;
            }
        };
        OnClose = [this](TObject*, TCloseAction&) { log.push_back("close"); };
        OnDestroy = [this](TObject*) {
            if (destroyed) *destroyed = true;
        };
    }
    void Loaded() override {
        loading_in_create = false;
        TForm::Loaded();
    }
    TEdit* edtName;
    TButton* btnOK;
    TButton* btnCancel;
    std::vector<std::string> log;
    int refuse_close = 0;
    bool loading_in_ctor = false;
    bool loading_in_create = true;
    bool* destroyed = nullptr;
};

TEST(Forms, CreatedInCodeTheyGetLoadedThenOnCreateAndBecomeTheMainForm) {
    bool destroyed = false;
    {
        TApplication app(nullptr);
        TfrmAsk* f = nullptr;
        app.CreateForm(f);
        EXPECT_EQ(app.MainForm(), f);
        EXPECT_TRUE(f->loading_in_ctor);
        EXPECT_EQ(f->log, std::vector<std::string>{"create, loading=0"});
        EXPECT_FALSE(f->edtName->ComponentState().contains(csLoading));
        TfrmAsk* second = nullptr;
        app.CreateForm(second);
        EXPECT_EQ(app.MainForm(), f);
        second->destroyed = &destroyed;
    }
    // The application frees its forms whole: OnDestroy still sees them.
    EXPECT_TRUE(destroyed);
}

TEST(Forms, ShowModalTakesScriptedAnswersAndTheFormKeepsItsStateBetweenUses) {
    test::ScriptedModals modals;
    TfrmAsk* f = nullptr;
    Application->CreateForm(f);
    modals.ExpectForm([](TCustomForm* form) {
        auto* ask = static_cast<TfrmAsk*>(form);
        form->Show();
        ask->edtName->SetText("typed");
        ask->btnOK->Click();
        return form->ModalResult();
    });
    modals.ExpectForm([](TCustomForm*) { return mrCancel; });
    EXPECT_EQ(f->ShowModal(), mrOk);
    EXPECT_FALSE(f->Visible());
    EXPECT_EQ(f->edtName->Text(), "typed");
    EXPECT_EQ(f->ShowModal(), mrCancel);
    EXPECT_EQ(f->edtName->Text(), "typed");
    EXPECT_EQ(modals.Asked, (std::vector<std::string>{"form: Ask", "form: Ask"}));
    TCustomForm::Free(f);
}

TEST(Forms, TheRealModalLoopEndsByDefaultAndCancelKeysAndAsksCloseQuery) {
    TfrmAsk* f = nullptr;
    Application->CreateForm(f);
    TTimer timer(nullptr);
    timer.SetInterval(30);
    std::vector<WORD> keys{VK_RETURN};
    timer.OnTimer = [&](TObject*) {
        if (!f->Visible() || keys.empty()) return;
        HWND target = GetFocus() ? GetFocus() : f->edtName->Handle();
        PostMessageA(target, WM_KEYDOWN, keys.front(), 1);
        keys.erase(keys.begin());
    };
    f->edtName->SetText("abc");
    EXPECT_EQ(f->ExecuteModal(), mrOk);
    EXPECT_EQ(f->log, (std::vector<std::string>{"create, loading=0", "show", "closequery", "close", "hide"}));
    // Escape clicks the cancel button; the first close is refused.
    f->log.clear();
    f->refuse_close = 1;
    keys = {VK_ESCAPE, VK_ESCAPE};
    EXPECT_EQ(f->ExecuteModal(), mrCancel);
    EXPECT_EQ(f->log, (std::vector<std::string>{"show", "closequery", "closequery", "close", "hide"}));
    timer.SetEnabled(false);
    // ShowModal of a visible form is refused.
    f->Show();
    EXPECT_THROW(f->ShowModal(), EInvalidOperation);
    f->Hide();
    TCustomForm::Free(f);
}

TEST(Forms, AfterAModalDialogItsOwnerIsTheForegroundWindowAgain) {
    test::OtherProgramWindow other;
    ASSERT_TRUE(IsWindow(other.Handle()));
    TfrmAsk* owner = nullptr;
    Application->CreateForm(owner);
    TCustomForm* was_main = Application->MainForm();
    Application->SetMainForm(owner);
    TfrmAsk* dlg = nullptr;
    Application->CreateForm(dlg);
    owner->Show();
    Pump();
    ASSERT_EQ(GetForegroundWindow(), owner->Handle());
    TTimer timer(nullptr);
    timer.SetInterval(30);
    timer.OnTimer = [&](TObject*) {
        if (dlg->Visible()) dlg->SetModalResult(mrOk);
    };
    EXPECT_EQ(dlg->ExecuteModal(), mrOk);
    timer.SetEnabled(false);
    Pump();
    EXPECT_EQ(GetForegroundWindow(), owner->Handle());
    EXPECT_EQ(GetActiveWindow(), owner->Handle());
    EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
    Application->SetMainForm(was_main);
    TCustomForm::Free(dlg);
    TCustomForm::Free(owner);
}

TEST(Forms, AnExceptionEscapingOnCreateIsShownAndTheProgramGoesOn) {
    struct TfrmBroken : TfrmAsk {
        explicit TfrmBroken(TComponent* AOwner) : TfrmAsk(AOwner) {
            OnCreate = [](TObject*) { throw std::runtime_error("Settings unreadable"); };
        }
    };
    TApplication app(nullptr);
    std::vector<std::string> shown;
    std::vector<TObject*> senders;
    app.OnException = [&](TObject* Sender, const std::exception_ptr& E) {
        shown.push_back(ExceptionMessage(E));
        senders.push_back(Sender);
    };
    TfrmBroken* f = nullptr;
    EXPECT_NO_THROW(app.CreateForm(f));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Settings unreadable"});
    EXPECT_EQ(senders, std::vector<TObject*>{f});
    // The form was made whole and the next one follows.
    EXPECT_EQ(app.MainForm(), f);
    EXPECT_FALSE(f->edtName->ComponentState().contains(csLoading));
    TfrmAsk* next = nullptr;
    app.CreateForm(next);
    EXPECT_EQ(next->log, std::vector<std::string>{"create, loading=0"});
}

TEST(Forms, ReleaseFreesTheFormOnlyAfterQueuedMessagesRun) {
    bool destroyed = false;
    auto* f = new TfrmAsk(nullptr);
    f->AfterConstruction();
    f->destroyed = &destroyed;
    TAliveToken alive = f->AliveToken();
    f->Show();
    f->Release();
    EXPECT_TRUE(alive.Alive());
    Pump();
    EXPECT_FALSE(alive.Alive());
    EXPECT_TRUE(destroyed);
}

TEST(Forms, TabMovesTheFocusAlongTabStopsInTabOrder) {
    auto* f = new TfrmAsk(nullptr);
    f->AfterConstruction();
    f->Show();
    Pump();
    f->edtName->SetFocus();
    EXPECT_EQ(f->ActiveControl(), f->edtName);
    f->SelectNext(f->edtName, true, true);
    EXPECT_EQ(f->ActiveControl(), f->btnOK);
    f->btnOK->SetTabOrder(5);  // moves to the end
    f->SelectNext(f->edtName, true, true);
    EXPECT_EQ(f->ActiveControl(), f->btnCancel);
    f->SelectNext(f->edtName, false, true);
    EXPECT_EQ(f->ActiveControl(), f->btnOK);  // backwards wraps to the last
    f->btnCancel->SetEnabled(false);
    f->SelectNext(f->edtName, true, true);
    EXPECT_EQ(f->ActiveControl(), f->btnOK);
    // A control going away is no longer the active one.
    delete f->btnOK;
    EXPECT_EQ(f->ActiveControl(), nullptr);
    TCustomForm::Free(f);
}

TEST(Forms, MenuShortcutsAndAcceleratorsWorkThroughTheMessageLoop) {
    auto* f = new TfrmAsk(nullptr);
    auto* menu = new TMainMenu(f);
    auto* file = new TMenuItem(f);
    file->SetCaption("&File");
    menu->Items()->Add(file);
    auto* refresh = new TMenuItem(f);
    refresh->SetCaption("&Refresh");
    refresh->SetShortCut(ShortCut(VK_F5, {}));
    int refreshed = 0;
    refresh->OnClick = [&](TObject*) { ++refreshed; };
    file->Add(refresh);
    f->SetMenu(menu);
    f->AfterConstruction();
    int ok_clicks = 0;
    f->btnOK->SetModalResult(mrNone);
    f->btnOK->OnClick = [&](TObject*) { ++ok_clicks; };
    f->Show();
    Pump();
    f->edtName->SetFocus();
    PostMessageA(f->edtName->Handle(), WM_KEYDOWN, VK_F5, 1);
    Pump();
    EXPECT_EQ(refreshed, 1);
    refresh->SetEnabled(false);
    PostMessageA(f->edtName->Handle(), WM_KEYDOWN, VK_F5, 1);
    Pump();
    EXPECT_EQ(refreshed, 1);
    // Alt+O presses "&OK".
    PostMessageA(f->edtName->Handle(), WM_SYSCHAR, 'o', 1 << 29);
    Pump();
    EXPECT_EQ(ok_clicks, 1);
    EXPECT_GT(GetMenuItemCount(GetMenu(f->Handle())), 0);
    TCustomForm::Free(f);
}

TEST(Forms, ClosingHidesDialogsAndTerminatesWithTheMainForm) {
    TApplication app(nullptr);
    TfrmAsk* main = nullptr;
    TfrmAsk* dlg = nullptr;
    app.CreateForm(main);
    app.CreateForm(dlg);
    dlg->Show();
    dlg->Close();
    EXPECT_FALSE(dlg->Visible());
    EXPECT_FALSE(app.Terminated());
    main->Show();
    main->refuse_close = 1;
    main->Close();
    EXPECT_FALSE(app.Terminated());
    main->Close();
    EXPECT_TRUE(app.Terminated());
    // Take the quit message out so later loops in this process run.
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST(ApplicationObject, TheProgramFreesItBeforeItsStaticObjectsGo) {
    // The program ends as bramble.exe does: WinMain frees the application,
    // then returns. The destroy handler must run before objects that were
    // made during the run (function statics) are taken down at exit.
    EXPECT_EXIT(
        {
            struct Witness {
                ~Witness() {
                    std::fputs("static gone;", stderr);
                    std::fflush(stderr);
                }
            };
            static Witness witness;
            TfrmAsk* f = nullptr;
            Application->CreateForm(f);
            f->OnDestroy = [](TObject*) {
                std::fputs("destroy handler;", stderr);
                std::fflush(stderr);
            };
            DoneApplication();
            if (!Application && !Screen) std::fputs("freed;", stderr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "destroy handler;freed;static gone;");
}

TEST(ApplicationObject, HintsHelpCursorsAndThreadHooks) {
    // The status-bar hint follows the control under the mouse.
    auto* f = new TfrmAsk(nullptr);
    f->AfterConstruction();
    f->btnOK->SetHint("OK|Accepts the name");
    std::vector<std::string> hints;
    Application->OnHint = [&](TObject*) { hints.push_back(Application->Hint()); };
    f->Show();
    Pump();
    SendMessageA(f->btnOK->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    SendMessageA(f->edtName->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    Application->OnHint = nullptr;
    EXPECT_EQ(hints, (std::vector<std::string>{"Accepts the name", ""}));
    TCustomForm::Free(f);

    std::vector<std::pair<UINT, ULONG_PTR>> help;
    Application->HelpDispatcher = [&](UINT c, ULONG_PTR d) {
        help.emplace_back(c, d);
        return true;
    };
    EXPECT_TRUE(Application->HelpContext(435));
    Application->HelpDispatcher = nullptr;
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].first, static_cast<UINT>(HELP_CONTEXT));
    EXPECT_EQ(help[0].second, 435u);

    HCURSOR hand = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS));
    Screen->SetCursors(14000, CopyCursor(hand));
    EXPECT_NE(Screen->Cursors(14000), nullptr);
    EXPECT_NE(Screen->Cursors(crHourGlass), Screen->Cursors(crDefault));
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crDefault);
    EXPECT_GT(Screen->Width(), 0);
    EXPECT_GT(Screen->BitsPerPixel(), 8);

    int calls_a = 0, calls_b = 0;
    {
        TThreadHook a(WH_GETMESSAGE, [&](int, WPARAM, LPARAM) {
            ++calls_a;
            return false;
        });
        {
            TThreadHook b(WH_GETMESSAGE, [&](int, WPARAM, LPARAM) {
                ++calls_b;
                throw std::runtime_error("hook failed");  // contained
                return false;
            });
            EXPECT_EQ(TThreadHook::Count(WH_GETMESSAGE), 2);
            test::ExceptionCatcher caught;
            PostMessageA(Application->Handle(), WM_NULL, 0, 0);
            Pump();
            EXPECT_FALSE(caught.Messages.empty());
        }
        EXPECT_EQ(TThreadHook::Count(WH_GETMESSAGE), 1);
        int before = calls_b;
        PostMessageA(Application->Handle(), WM_NULL, 0, 0);
        Pump();
        EXPECT_EQ(calls_b, before);
    }
    EXPECT_EQ(TThreadHook::Count(WH_GETMESSAGE), 0);
    EXPECT_GT(calls_a, 0);
}

}  // namespace
}  // namespace bramble
