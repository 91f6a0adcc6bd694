// The path combo box: its rows and indents for a path, the drives folder
// and network paths, moves that fire OnChange once (and not for the same
// folder in another case), relative paths made full, picks that wait for
// the list to close, and rows drawn without indent in the closed box.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/widgets/filelist.h"
#include "app/widgets/pathcombo.h"
#include "support/testenv.h"
#include "ui/forms.h"
#include "ui/graphics.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

constexpr DWORD Drives(std::initializer_list<char> Letters) {
    DWORD m = 0;
    for (char c : Letters) m |= 1u << (c - 'A');
    return m;
}

TEST(PathComboRules, RowsIndentTheLevelsBetweenTheDrives) {
    const std::string desk = "C:\\Users\\me\\Desktop\\";
    const struct {
        const char* path;
        DWORD mask;
        std::vector<TPathRow> want;
        int selected;
    } cases[] = {
        {"C:\\a\\b\\c\\", Drives({'A', 'C', 'E'}),
         {{desk, 0}, {"", 4}, {"A:\\", 8}, {"C:\\", 8}, {"C:\\a\\", 12}, {"C:\\a\\b\\", 16},
          {"C:\\a\\b\\c\\", 21}, {"E:\\", 8}},
         6},
        {"d:\\", Drives({'C', 'D'}), {{desk, 0}, {"", 4}, {"C:\\", 8}, {"D:\\", 8}}, 3},
        // A drive the mask lacks still carries the path.
        {"Q:\\x\\", Drives({'C'}), {{desk, 0}, {"", 4}, {"C:\\", 8}, {"Q:\\", 8}, {"Q:\\x\\", 13}}, 4},
        {"", Drives({'C', 'D'}), {{desk, 0}, {"", 4}, {"C:\\", 8}, {"D:\\", 8}}, 1},
        {"c:\\users\\ME\\desktop\\", Drives({'C'}), {{desk, 0}, {"", 4}, {"C:\\", 8}}, 0},
        {"\\\\server\\share\\", Drives({'C'}), {{desk, 0}, {"", 4}}, -1},
    };
    for (const auto& c : cases) {
        int selected = -2;
        EXPECT_EQ(PathComboRows(c.path, c.mask, desk, selected), c.want) << c.path;
        EXPECT_EQ(selected, c.selected) << c.path;
    }
}

TEST(PathComboRules, PathsGetTheirBackslashAndRelativeOnesAreMadeFull) {
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string here = cwd;
    if (here.back() != '\\') here += '\\';
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"C:", "C:\\"},
        {"C:\\x", "C:\\x\\"},
        {"C:\\x\\..\\y\\", "C:\\y\\"},
        {"docs", here + "docs\\"},
        {".", here},
        {"\\\\srv\\s", "\\\\srv\\s\\"},
    };
    for (const auto& c : cases) {
        std::string out = "(unset)";
        EXPECT_TRUE(NormalizeComboPath(c.in, out)) << c.in;
        EXPECT_EQ(out, c.out) << c.in;
    }
}

// Lets the test draw a row as the control would.
class DrawablePathCombo : public TPathComboBox {
public:
    using TPathComboBox::TPathComboBox;
    using TPathComboBox::DrawItem;
};

class PathComboForm : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = new TForm(nullptr);
        form_->AfterConstruction();
        form_->SetBounds(20, 20, 420, 320);
        combo_ = new DrawablePathCombo(form_);
        combo_->SetParent(form_);
        combo_->SetLeft(8);
        combo_->SetTop(8);
        combo_->OnChange = [this](TObject*) { moves_.push_back(combo_->Path()); };
        form_->Show();
        test::Pump();
    }
    void TearDown() override { TCustomForm::Free(form_); }
    // The user picks a row: the selection changes, the box tells its parent.
    void Pick(int Row) {
        SendMessageA(combo_->Handle(), CB_SETCURSEL, static_cast<WPARAM>(Row), 0);
        SendMessageA(form_->Handle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo_->Handle()));
        test::Pump();
    }
    TForm* form_ = nullptr;
    DrawablePathCombo* combo_ = nullptr;
    std::vector<std::string> moves_;
};

TEST_F(PathComboForm, SetPathMovesOnceAndIgnoresTheSameFolderInAnotherCase) {
    EXPECT_EQ(combo_->Width(), 230);
    const std::string dir = test::ScratchDir("pathcombo-levels");
    const std::string deep = test::Join(dir, "One\\Two");
    CreateDirectoryA(test::Join(dir, "One").c_str(), nullptr);
    CreateDirectoryA(deep.c_str(), nullptr);

    combo_->SetPath(deep);
    EXPECT_EQ(combo_->Path(), deep + "\\");
    ASSERT_EQ(moves_, std::vector<std::string>{deep + "\\"});
    int selected = -1;
    const auto rows = PathComboRows(combo_->Path(), combo_->DriveMask(), combo_->DesktopPath(), selected);
    ASSERT_EQ(combo_->Items().Count(), static_cast<int>(rows.size()));
    EXPECT_EQ(combo_->ItemIndex(), selected);
    EXPECT_EQ(combo_->Items().Get(selected), deep + "\\");
    EXPECT_EQ(rows[static_cast<size_t>(selected)].Data % 4, 1);  // the open-folder row

    CharUpperA(const_cast<char*>(deep.data()));
    combo_->SetPath(deep);  // upper case, no backslash
    EXPECT_EQ(moves_.size(), 1u);
    EXPECT_NE(combo_->Path(), deep + "\\");  // keeps its own case

    // A relative folder is read from the current one, not as a drive.
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(dir.c_str());
    combo_->SetPath("One");
    SetCurrentDirectoryA(cwd);
    EXPECT_EQ(combo_->Path(), test::Join(dir, "One") + "\\");
    EXPECT_EQ(moves_.size(), 2u);

    // A network path: only the desktop and the drives folder, none chosen.
    combo_->SetPath("\\\\");
    EXPECT_EQ(combo_->Items().Count(), 2);
    EXPECT_EQ(combo_->ItemIndex(), -1);
    combo_->SetPath("");
    EXPECT_EQ(combo_->Path(), "");
    EXPECT_EQ(combo_->ItemIndex(), 1);

    // A move made by the handler itself is not reported to it again.
    combo_->OnChange = [this](TObject*) {
        moves_.push_back(combo_->Path());
        if (combo_->Path() == "C:\\") combo_->SetPath("C:\\windows");
    };
    moves_.clear();
    combo_->SetPath("C:\\");
    EXPECT_EQ(moves_, std::vector<std::string>{"C:\\"});
    EXPECT_EQ(combo_->Path(), "C:\\windows\\");
    EXPECT_FALSE(combo_->Busy());
}

TEST_F(PathComboForm, APickMovesWhenTheListClosesAndAtOnceWhenClosed) {
    combo_->SetPath("C:\\windows");
    moves_.clear();
    // Row 3 or later is a drive or level row; pick the drives folder (1).
    Pick(1);
    EXPECT_EQ(moves_, std::vector<std::string>{""});
    EXPECT_EQ(combo_->ItemIndex(), 1);

    combo_->SetPath("C:\\windows");
    moves_.clear();
    combo_->SetDroppedDown(true);
    test::Pump();
    ASSERT_TRUE(combo_->DroppedDown());
    Pick(0);
    EXPECT_TRUE(moves_.empty());  // still choosing
    combo_->SetDroppedDown(false);
    test::Pump();
    EXPECT_EQ(moves_, std::vector<std::string>{combo_->DesktopPath()});
}

// The first column from the left that is not the window's background.
int FirstInk(TBitmap& B, int Y0, int Y1) {
    const COLORREF bg = test::PixelAt(B, B.Width() - 1, 0);
    for (int x = 0; x < B.Width(); ++x)
        for (int y = Y0; y < Y1; ++y)
            if (test::PixelAt(B, x, y) != bg) return x;
    return -1;
}

TEST_F(PathComboForm, RowsAreIndentedInTheListButNotInTheClosedBox) {
    const std::string dir = test::ScratchDir("pathcombo-draw");
    combo_->SetPath(dir);
    const int row = combo_->ItemIndex();
    ASSERT_GE(row, 3);
    int selected = -1;
    const int level = PathComboRows(combo_->Path(), combo_->DriveMask(), combo_->DesktopPath(), selected)
                          [static_cast<size_t>(row)].Data / 4;
    ASSERT_GE(level, 3);
    const int h = combo_->ItemHeight();
    TBitmap bmp;
    bmp.SetWidth(300);
    bmp.SetHeight(2 * h + 6);
    bmp.Canvas().Brush().SetColor(clWindow);
    bmp.Canvas().FillRect(Rect(0, 0, 300, 2 * h + 6));
    combo_->Canvas().SetHandle(bmp.Canvas().Handle());
    combo_->Canvas().Font().Assign(combo_->Font());
    // In the list: indented, even where the row happens to start at 3.
    combo_->DrawItem(row, Rect(0, 3, 300, 3 + h), TOwnerDrawState{});
    // In the closed box: flush left.
    combo_->DrawItem(row, Rect(0, h + 6, 300, 2 * h + 6), TOwnerDrawState{odComboBoxEdit});
    combo_->Canvas().SetHandle(nullptr);
    EXPECT_GE(FirstInk(bmp, 3, 3 + h), level * 10);
    EXPECT_LT(FirstInk(bmp, h + 6, 2 * h + 6), 10);
}

// What the screen shows over the form, the open drop-down list included
// (a window of its own that a grab of the form leaves out).
void SaveScreenArea(TWinControl& Control, const std::string& Name) {
    RECT r{};
    GetWindowRect(Control.Handle(), &r);
    TBitmap shot;
    shot.SetSize(r.right - r.left, r.bottom - r.top);
    HDC screen = GetDC(nullptr);
    BitBlt(shot.Canvas().Handle(), 0, 0, shot.Width(), shot.Height(), screen, r.left, r.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    shot.SaveToFile(test::ArtifactsDir() + "\\" + Name);
}

TEST_F(PathComboForm, DrivesAFileListAsTheAddDialogWill) {
    const std::string dir = test::ScratchDir("pathcombo-with-list");
    CreateDirectoryA(test::Join(dir, "Reports").c_str(), nullptr);
    test::WriteAll(test::Join(dir, "notes.txt"), "notes");
    auto* list = new TFileList(form_);
    list->SetParent(form_);
    list->SetBounds(8, 40, 390, 230);
    list->SetViewStyle(vsReport);
    combo_->OnChange = [&](TObject*) { list->SetDirectory(combo_->Path()); };
    combo_->SetPath(test::Join(dir, "Reports"));
    EXPECT_EQ(list->Directory(), combo_->Path());
    Pick(combo_->ItemIndex() - 1);  // up one level
    EXPECT_EQ(list->Directory(), dir + "\\");
    EXPECT_GE(list->Items().Count(), 3);  // "..", Reports, notes.txt
    Pick(1);                               // the drives folder
    EXPECT_TRUE(list->DriveList());
    combo_->SetPath(test::Join(dir, "Reports"));
    combo_->SetFocus();
    combo_->SetDroppedDown(true);
    test::Pump();
    SaveScreenArea(*form_, "pathcombo-open.bmp");
    combo_->SetDroppedDown(false);
    test::Pump();
    test::SaveScreenshot(*form_, "pathcombo-closed.bmp");
}

}  // namespace
}  // namespace bramble
