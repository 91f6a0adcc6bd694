// How the main window behaves towards the desktop and the user's settings:
// always on top from the stored options, and the toolbar's hints following
// the Tooltips toggle.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/forms/main.h"
#include "app/settings/settings.h"
#include "registry_redirect.h"
#include "ui/dialogs.h"
#include "ui/graphics.h"
#include "ui/msgdlg.h"
#include "ui/registry.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

// Any question the window asks is answered No at once and counted: these
// tests expect none, and a real box would wait for a click forever.
class NoQuestions : public TModalInterceptor {
public:
    NoQuestions() { previous_ = SetModalInterceptor(this); }
    ~NoQuestions() override { SetModalInterceptor(previous_); }
    int MessageDlg(const std::string&, TMsgDlgType, TMsgDlgButtons) override { return ++Asked, mrNo; }
    int MessageBox(const std::string&, const std::string&, UINT) override { return ++Asked, IDNO; }
    bool InputQuery(const std::string&, const std::string&, std::string&) override { return ++Asked, false; }
    int ShowModal(TCustomForm*) override { return ++Asked, mrCancel; }
    bool ExecuteFileDialog(TOpenDialog*, bool) override { return ++Asked, false; }
    int Asked = 0;

private:
    TModalInterceptor* previous_;
};

// Enumeration step: the text of a shown hint window (a visible tool
// popup with text) goes to the string at Found.
BOOL CALLBACK ShownHint(HWND Window, LPARAM Found) {
    if (!IsWindowVisible(Window) || !(GetWindowLongPtrA(Window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) ||
        !(GetWindowLongPtrA(Window, GWL_STYLE) & WS_POPUP))
        return TRUE;
    char t[128] = {};
    GetWindowTextA(Window, t, sizeof t);
    *reinterpret_cast<std::string*>(Found) = t;
    return !t[0];
}

class WindowBehaviour : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(user_.ok());
        ASSERT_TRUE(classes_.ok());
        // Not the start-up question about being the default archiver.
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(SettingsOptionsKey, true));
        r.WriteString("DefaultCheck", "No");
    }
    void TearDown() override {
        if (form_) TCustomForm::Free(form_);
        Application->SetHintPause(pause_);
        EXPECT_EQ(questions_.Asked, 0);
    }
    static void Write(const char* Key, const char* Name, int Value) {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(Key, true));
        r.WriteInteger(Name, Value);
    }
    static int Read(const char* Key, const char* Name) {
        TRegistry r;
        if (!r.OpenKeyReadOnly(Key)) return -1;
        return r.ReadIntegerDef(Name, -1);
    }
    TfrmMain* Make() {
        form_ = new TfrmMain(nullptr);
        form_->AfterConstruction();
        form_->Show();
        test::Pump();
        return form_;
    }
    void Close() {
        TCustomForm::Free(form_);
        form_ = nullptr;
    }
    // The text of the hint window shown once the mouse rests on Control
    // ("" when none comes up).
    std::string HintFor(TControl* Control) {
        Application->SetHintPause(10);
        Application->CancelHint();
        Application->NoteMouseControl(nullptr);
        Application->NoteMouseControl(Control);
        std::string shown;
        for (int i = 0; i < 40 && shown.empty(); ++i) {
            Sleep(10);
            test::Pump();
            EnumThreadWindows(GetCurrentThreadId(), ShownHint, reinterpret_cast<LPARAM>(&shown));
        }
        Application->CancelHint();
        Application->NoteMouseControl(nullptr);
        return shown;
    }

    testing::RegistryRedirect user_{HKEY_CURRENT_USER, "WindowBehaviourUser"};
    testing::RegistryRedirect classes_{HKEY_CLASSES_ROOT, "WindowBehaviourClasses"};
    NoQuestions questions_;
    TfrmMain* form_ = nullptr;
    int pause_ = Application->HintPause();
};

TEST_F(WindowBehaviour, AlwaysOnTopFromTheStoredOptionsHoldsFromTheFirstShow) {
    for (int on_top : {1, 0}) {
        SCOPED_TRACE(on_top);
        Write(SettingsOptionsKey, "OnTop", on_top);
        TfrmMain* f = Make();
        EXPECT_EQ(f->FormStyle() == fsStayOnTop, on_top == 1);
        EXPECT_EQ((GetWindowLongPtrA(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on_top == 1);
        // A window made again (a changed border, say) keeps it.
        f->SetBorderIcons(f->BorderIcons());
        EXPECT_EQ((GetWindowLongPtrA(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on_top == 1);
        Close();
    }
}

TEST_F(WindowBehaviour, ToolbarHintsFollowTheTooltipsToggleAndItsStoredValue) {
    // Stored off: no hint until the user turns them on again.
    Write(SettingsPosKey, "tbTips", 0);
    TfrmMain* f = Make();
    EXPECT_FALSE(f->Tooltips1->Checked());
    EXPECT_EQ(HintFor(f->ToolbarButtonOpen), "");
    f->Tooltips1->Click();
    EXPECT_TRUE(f->Tooltips1->Checked());
    EXPECT_EQ(HintFor(f->ToolbarButtonOpen), "Open archive");
    EXPECT_EQ(HintFor(f->ToolbarButtonDel), "Delete selected files");
    f->Tooltips1->Click();
    EXPECT_EQ(HintFor(f->ToolbarButtonOpen), "");
    f->Tooltips1->Click();
    // The choice is kept for the next start, and taken from there.
    Close();
    EXPECT_EQ(Read(SettingsPosKey, "tbTips"), 1);
    f = Make();
    EXPECT_TRUE(f->Tooltips1->Checked());
    EXPECT_EQ(HintFor(f->ToolbarButtonView), "View selected files");
}

// The box the platform shows: found from a timer its modal loop runs,
// measured, kept as a picture, then answered.
struct ShownBox {
    static inline RECT rect{};
    static inline bool seen = false;
    static void CALLBACK Look(HWND, UINT, UINT_PTR Id, DWORD) {
        HWND box = FindWindowA("#32770", "Long path probe");
        if (!box) return;
        KillTimer(nullptr, Id);
        GetWindowRect(box, &rect);
        seen = true;
        TBitmap shot;
        shot.SetSize(rect.right - rect.left, rect.bottom - rect.top);
        HDC screen = GetDC(nullptr);
        BitBlt(shot.Canvas().Handle(), 0, 0, shot.Width(), shot.Height(), screen, rect.left, rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
        shot.SaveToFile(test::ArtifactsDir() + "\\long-path-box.bmp");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
};

std::string LongPath(size_t Length) {
    std::string p = "C:\\users\\someone\\Documents";
    for (int i = 0; p.size() < Length; ++i) p += "\\a-rather-long-folder-name-" + std::to_string(i);
    return p.substr(0, Length);
}

TEST(MessageBoxText, LongRunsAreBrokenWhereTheyWouldPassTheWidth) {
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    auto width = [dc](const std::string& t) {
        SIZE sz{};
        GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    const int max = 300;
    struct Case {
        std::string text;
        bool changed;
    } cases[] = {
        {"This file already exists. Overwrite it?", false},
        {"A sentence with many short words that the box wraps by itself between its words anyway", false},
        {"Cannot create folder " + LongPath(333), true},
        {std::string(400, 'x'), true},                 // no separator at all
        {"\\" + std::string(200, 'y') + "\\z", true},  // a separator too near the start to cut at
        {LongPath(333) + "\r\rExtract failed!", true},
    };
    for (const Case& c : cases) {
        const std::string out = BreakLongRuns(c.text, font, max);
        std::string joined;
        for (char ch : out)
            if (ch != '\n' || c.text.find('\n') != std::string::npos) joined += ch;
        EXPECT_EQ(joined, c.text);
        EXPECT_EQ(out != c.text, c.changed) << c.text;
        size_t start = 0;
        while (start <= out.size()) {
            size_t end = out.find_first_of(" \r\n", start);
            if (end == std::string::npos) end = out.size();
            EXPECT_LE(width(out.substr(start, end - start)), max) << out.substr(start, end - start);
            start = end + 1;
        }
    }
    DeleteDC(dc);
}

TEST(MessageBoxText, AMessageBoxForALongPathStaysOnTheScreen) {
    ShownBox::seen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ShownBox::Look);
    Application->MessageBox("Cannot create folder " + LongPath(333), "Long path probe", MB_OK);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(ShownBox::seen);
    EXPECT_GE(ShownBox::rect.left, 0);
    EXPECT_LE(ShownBox::rect.right, GetSystemMetrics(SM_CXSCREEN));
}

}  // namespace
}  // namespace bramble
