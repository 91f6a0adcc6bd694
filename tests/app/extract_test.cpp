// The Extract dialog and the shell folder tree as a user meets them: the
// tree at drive C: opening folders only when asked, folders made and
// removed outside showing up, the recent folders, and extracting through
// the dialog with scripted answers.
#include <cstring>

#include "app/forms/extract.h"
#include "app/forms/foldername.h"
#include "app/forms/newfolder.h"
#include "app/settings/settings.h"
#include "app/widgets/shellitem.h"
#include "app/widgets/syslist.h"
#include "app/widgets/systree.h"
#include "app/widgets/texts.h"
#include "engine/core/helpers.h"
#include "main_window.h"

namespace bramble {
namespace {

std::string LowerCase(std::string S) {
    for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return S;
}

std::string Key(std::string P) {
    while (P.size() > 3 && P.back() == '\\') P.pop_back();
    return LowerCase(P);
}

// Runs the message loop until Done holds or about five seconds passed.
bool PumpUntil(const std::function<bool()>& Done) {
    for (int i = 0; i < 500; ++i) {
        if (Done()) return true;
        test::Pump(1);
        Sleep(10);
    }
    return Done();
}

TTreeNode* ChildNamed(TTreeNode* Node, const std::string& Name) {
    for (int i = 0; Node && i < Node->Count(); ++i)
        if (LowerCase(Node->Item(i)->Text()) == LowerCase(Name)) return Node->Item(i);
    return nullptr;
}

class TreeForm : public ::testing::Test {
protected:
    void SetUp() override {
        liveBefore_ = TFolderItemData::Live();
        form_ = new TForm(nullptr);
        form_->AfterConstruction();
        form_->SetBounds(10, 10, 320, 480);
        tree_ = new TSystemTreeView(form_);
        tree_->SetParent(form_);
        tree_->SetBounds(0, 0, 300, 440);
        form_->Show();
        test::Pump();
    }
    void TearDown() override { TCustomForm::Free(form_); }
    TForm* form_ = nullptr;
    TSystemTreeView* tree_ = nullptr;
    int liveBefore_ = 0;  // other trees (the Extract dialog's) hold theirs
};

TEST_F(TreeForm, ShowsDriveCAndReadsFoldersOnlyWhenOpened) {
    ASSERT_NE(tree_->Items().GetFirstNode(), nullptr);
    EXPECT_TRUE(tree_->Items().GetFirstNode()->Expanded());  // the root opens by itself
    tree_->SetDirectory("c:\\");
    ASSERT_NE(tree_->Selected(), nullptr);
    EXPECT_EQ(Key(tree_->Directory()), "c:\\");
    EXPECT_NE(tree_->Selected()->Text().find("C:"), std::string::npos) << tree_->Selected()->Text();
    EXPECT_TRUE(tree_->Selected()->Parent()->Expanded());

    // a\b\c below a scratch folder: opening the scratch folder reads a,
    // whose own children wait until it is opened.
    const std::string here = ScratchDir("tree-lazy");
    CreateDirectoryA(Join(here, "a").c_str(), nullptr);
    CreateDirectoryA(Join(here, "a\\b").c_str(), nullptr);
    CreateDirectoryA(Join(here, "a\\b\\c").c_str(), nullptr);
    CreateDirectoryA(Join(here, "empty").c_str(), nullptr);
    const std::string file = Join(here, "only-files");
    CreateDirectoryA(file.c_str(), nullptr);
    test::WriteAll(Join(file, "x.txt"), "x");
    tree_->SetDirectory(here);
    TTreeNode* scratch = tree_->Selected();
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(Key(tree_->Directory()), Key(here));
    scratch->Expand(false);
    TTreeNode* a = ChildNamed(scratch, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->HasChildren());
    EXPECT_EQ(a->Count(), 0);  // not read yet
    a->Expand(false);
    test::Pump();
    ASSERT_EQ(a->Count(), 1);
    EXPECT_EQ(a->Item(0)->Text(), "b");
    EXPECT_EQ(a->Item(0)->Count(), 0);
    // Folders without folders show no button, files or not.
    for (const char* leaf : {"empty", "only-files"}) {
        TTreeNode* n = ChildNamed(scratch, leaf);
        ASSERT_NE(n, nullptr) << leaf;
        EXPECT_FALSE(n->HasChildren()) << leaf;
    }
    // The shell's order: by name.
    std::vector<std::string> names;
    for (int i = 0; i < scratch->Count(); ++i) names.push_back(LowerCase(scratch->Item(i)->Text()));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << ::testing::PrintToString(names);

    // A path that does not parse keeps the selection and throws nothing.
    tree_->SetDirectory("q:\\no\\such\\place");
    EXPECT_EQ(tree_->Selected(), scratch);
}

TEST_F(TreeForm, FoldersMadeAndRemovedOutsideShowUp) {
    const std::string here = ScratchDir("tree-watch");
    tree_->SetDirectory(here);
    TTreeNode* scratch = tree_->Selected();
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(Key(tree_->WatchedFolder()), Key(here));

    const std::string made = Join(here, "made outside");
    ASSERT_TRUE(CreateDirectoryA(made.c_str(), nullptr));
    EXPECT_TRUE(PumpUntil([&] { return ChildNamed(tree_->Selected(), "made outside") != nullptr; }));
    EXPECT_EQ(tree_->Selected(), scratch);

    // Removing the selected folder selects its parent.
    tree_->SetDirectory(made);
    ASSERT_EQ(Key(tree_->Directory()), Key(made));
    ASSERT_TRUE(RemoveDirectoryA(made.c_str()));
    EXPECT_TRUE(PumpUntil([&] { return Key(tree_->Directory()) == Key(here); })) << tree_->Directory();
    EXPECT_EQ(ChildNamed(tree_->Selected(), "made outside"), nullptr);

    // A tree that goes while its watch is running is never reported to.
    tree_->SetDirectory(here);
    CreateDirectoryA(Join(here, "late").c_str(), nullptr);
    delete tree_;
    tree_ = nullptr;
    test::Pump(10);
    EXPECT_EQ(TFolderItemData::Live(), liveBefore_);
}

// F2 renames through the shell; a name the shell refuses keeps the old
// label.
TEST_F(TreeForm, F2RenamesThroughTheShell) {
    const std::string here = ScratchDir("tree-rename");
    CreateDirectoryA(Join(here, "before").c_str(), nullptr);
    RemoveDirectoryA(Join(here, "after").c_str());
    CreateDirectoryA(Join(here, "taken").c_str(), nullptr);
    tree_->SetDirectory(Join(here, "before"));
    TTreeNode* node = tree_->Selected();
    ASSERT_NE(node, nullptr);
    auto rename = [&](const char* to) {
        tree_->SetFocus();
        SendMessageA(tree_->Handle(), WM_KEYDOWN, VK_F2, 0);
        test::Pump();
        HWND edit = reinterpret_cast<HWND>(SendMessageA(tree_->Handle(), TVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(edit, nullptr);
        SetWindowTextA(edit, to);
        SendMessageA(tree_->Handle(), TVM_ENDEDITLABELNOW, FALSE, 0);
        test::Pump();
    };
    AnswerAll quiet;  // the shell's own refusal box, if it shows one
    rename("after");
    EXPECT_EQ(node->Text(), "after");
    EXPECT_TRUE(os::DirectoryExists(Join(here, "after")));
    EXPECT_EQ(Key(tree_->Directory()), Key(Join(here, "after")));
    rename("taken");
    EXPECT_EQ(node->Text(), "after");
    EXPECT_TRUE(os::DirectoryExists(Join(here, "after")));
}

// Dismisses the first popup menu that shows, after counting its items: the
// user looked at the shell's menu and chose nothing.
class MenuCloser {
public:
    MenuCloser() {
        shown = 0;
        items = -1;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~MenuCloser() { KillTimer(nullptr, timer_); }
    static inline int shown = 0;
    static inline int items = -1;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND m = FindWindowA("#32768", nullptr);
        if (!m || !IsWindowVisible(m)) return;
        auto menu = reinterpret_cast<HMENU>(SendMessageA(m, MN_GETHMENU, 0, 0));
        items = menu ? GetMenuItemCount(menu) : 0;
        ++shown;
        EndMenu();
    }
    UINT_PTR timer_;
};

// A right-click as the controls see it: the pointer over Where (client
// point of Control), then the click's notification.
LRESULT RightClickAt(TWinControl* Control, TForm* Form, POINT Where) {
    ClientToScreen(Control->Handle(), &Where);
    SetCursorPos(Where.x, Where.y);
    NMHDR hdr{};
    hdr.hwndFrom = Control->Handle();
    hdr.code = NM_RCLICK;
    return SendMessageA(Form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
}

POINT ItemPoint(TListView* List, int Index) {
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageA(List->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
    return {r.left + 4, (r.top + r.bottom) / 2};
}

// The shell's own menu comes up for a node, for one list item and for a
// selection of several; closing it without a choice runs nothing.
TEST_F(TreeForm, RightClickShowsTheShellMenuForOneOrManyItems) {
    const std::string here = ScratchDir("shell-menus");
    for (const char* f : {"one.txt", "two.txt"}) test::WriteAll(Join(here, f), f);
    auto* list = new TSystemListView(form_);
    list->SetParent(form_);
    list->SetBounds(0, 240, 300, 200);
    list->SetMultiSelect(true);
    list->SetTreeView(tree_);
    tree_->SetHeight(230);
    tree_->SetDirectory(here);
    test::Pump();
    ASSERT_EQ(list->Items().Count(), 2);
    AnswerAll quiet;  // a failing shell says so in a box

    {
        MenuCloser closer;
        RECT r{};
        const HTREEITEM item = tree_->Selected()->ItemId();
        std::memcpy(&r, &item, sizeof item);  // the message takes the item in the rectangle
        SendMessageA(tree_->Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
        EXPECT_EQ(RightClickAt(tree_, form_, {r.left + 2, (r.top + r.bottom) / 2}), 1);
        EXPECT_EQ(MenuCloser::shown, 1);
        EXPECT_GT(MenuCloser::items, 0);
    }
    {
        // Over an unselected item: that item alone.
        MenuCloser closer;
        list->Items().Item(0)->SetSelected(true);
        EXPECT_EQ(RightClickAt(list, form_, ItemPoint(list, 1)), 1);
        EXPECT_EQ(MenuCloser::shown, 1);
        EXPECT_GT(MenuCloser::items, 0);
        EXPECT_EQ(list->SelCount(), 1);
        EXPECT_TRUE(list->Items().Item(1)->Selected());
    }
    {
        // Over a selected item: the whole selection.
        MenuCloser closer;
        list->SelectAll();
        EXPECT_EQ(RightClickAt(list, form_, ItemPoint(list, 0)), 1);
        EXPECT_EQ(MenuCloser::shown, 1);
        EXPECT_GT(MenuCloser::items, 0);
        EXPECT_EQ(list->SelCount(), 2);
    }
    {
        // Over no item: no menu.
        MenuCloser closer;
        EXPECT_EQ(RightClickAt(list, form_, {250, 180}), 0);
        EXPECT_EQ(MenuCloser::shown, 0);
    }
    EXPECT_TRUE(quiet.Asked.empty()) << ::testing::PrintToString(quiet.Asked);
    for (const char* f : {"one.txt", "two.txt"}) EXPECT_TRUE(os::FileExists(Join(here, f))) << f;
    delete list;
}

// A double-click on a folder in the list opens it in the tree, and so in the
// list; a handler of the owner's takes the double-click over.
TEST_F(TreeForm, ListDoubleClickOpensAFolder) {
    const std::string here = ScratchDir("list-open");
    CreateDirectoryA(Join(here, "sub").c_str(), nullptr);
    test::WriteAll(Join(here, "sub\\inner.txt"), "x");
    test::WriteAll(Join(here, "outer.txt"), "x");
    auto* list = new TSystemListView(form_);
    list->SetParent(form_);
    list->SetBounds(0, 240, 300, 200);
    list->SetTreeView(tree_);
    tree_->SetDirectory(here);
    test::Pump();
    auto indexOf = [&](const std::string& caption) {
        for (int i = 0; i < list->Items().Count(); ++i)
            if (LowerCase(list->Items().Item(i)->Caption()) == caption) return i;
        return -1;
    };
    auto dblClick = [&] {
        NMHDR hdr{};
        hdr.hwndFrom = list->Handle();
        hdr.code = NM_DBLCLK;
        SendMessageA(form_->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
        test::Pump();
    };
    // Nothing selected: nothing happens.
    dblClick();
    EXPECT_EQ(Key(tree_->Directory()), Key(here));
    // The owner's handler, when there is one, is all that runs.
    int handled = 0;
    list->OnDblClick = [&](TObject*) { ++handled; };
    ASSERT_GE(indexOf("sub"), 0);
    list->Items().Item(indexOf("sub"))->SetSelected(true);
    dblClick();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(Key(tree_->Directory()), Key(here));
    list->OnDblClick = nullptr;
    dblClick();
    EXPECT_EQ(Key(tree_->Directory()), Key(Join(here, "sub")));
    EXPECT_GE(indexOf("inner.txt"), 0);
    EXPECT_EQ(indexOf("outer.txt"), -1);
    delete list;
}

TEST(ExtractFolders, RecentListKeepsTenNewestFirstWithoutDuplicates) {
    std::vector<std::string> list;
    for (int i = 0; i < 11; ++i) AddRecentFolder(list, "C:\\Out" + std::to_string(i));
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list.front(), "C:\\Out10");
    EXPECT_EQ(list.back(), "C:\\Out1");  // the oldest went
    // The same folder as written is one place; another case or a trailing
    // "\" is another item.
    struct Again {
        const char* folder;
        size_t count;
    };
    for (const Again& a : {Again{"C:\\Out5", 10}, Again{"c:\\out5", 10}, Again{"C:\\Out5\\", 10}}) {
        SCOPED_TRACE(a.folder);
        const std::vector<std::string> before = list;
        AddRecentFolder(list, a.folder);
        EXPECT_EQ(list.front(), a.folder);
        EXPECT_EQ(list.size(), a.count);
        EXPECT_EQ(std::count(list.begin(), list.end(), std::string(a.folder)), 1);
        const bool had = std::find(before.begin(), before.end(), a.folder) != before.end();
        // A new item pushes the oldest out; a known one only moves up.
        EXPECT_EQ(std::find(list.begin(), list.end(), before.back()) == list.end(), !had);
    }
    AddRecentFolder(list, "");
    EXPECT_EQ(list.size(), 10u);
    std::vector<std::string> roots{"D:\\"};
    AddRecentFolder(roots, "d:");
    EXPECT_EQ(roots, (std::vector<std::string>{"d:", "D:\\"}));
}

TEST(ExtractFolders, NewFolderNamesBuildUnderTheCurrentFolder) {
    struct Case {
        const char* current;
        const char* name;
        const char* want;
    };
    for (const Case& c : {Case{"C:\\", "Out", "C:\\Out"}, Case{"C:\\Data", "Out", "C:\\Data\\Out"},
                          Case{"C:\\Data\\", "Out", "C:\\Data\\Out"}, Case{"C:\\Data", "D:\\Out", "D:\\Out"},
                          Case{"", "D:\\Out", "D:\\Out"}, Case{"abc", "Out", ""}, Case{"", "Out", ""},
                          Case{"C:\\Data", "", ""}, Case{"C:\\Data", "   ", ""},
                          Case{"\\\\server\\share", "Out", "\\\\server\\share\\Out"}}) {
        EXPECT_EQ(NewFolderPath(c.current, c.name), c.want) << c.current << " + " << c.name;
    }
}

// Answers the Extract dialog as a user would: shown, then Act, then the
// result of the button it pressed.
struct ExtractScript {
    std::function<void(TfrmExtract*)> Act;
    int operator()(TCustomForm* F) const {
        auto* e = dynamic_cast<TfrmExtract*>(F);
        if (!e) return mrCancel;
        e->SetModalResult(mrNone);
        e->Show();
        test::Pump();
        Act(e);
        const int r = e->ModalResult();
        e->Hide();
        return r;
    }
};

TEST_F(MainWindow, ExtractingThroughTheDialog) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string here = ScratchDir("extract-dialog");
    const std::string archive = CopyInto(here, "plain.zip");
    f->OpenArchive(archive);
    ASSERT_TRUE(f->mnuExtract1->Enabled());
    const std::string target = Join(here, "new\\nested");

    // Into a folder that does not exist yet: made with its parents.
    bool allFiles = false, confirmed = false, restoreShown = false;
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        allFiles = e->RadioGroup1->ItemIndex() == 1;  // nothing selected
        confirmed = e->RadioGroup2->ItemIndex() == 1;
        restoreShown = e->CheckBox1->Checked();
        EXPECT_EQ(e->ActiveControl(), e->ExtractToCmb);
        EXPECT_EQ(Key(e->SystemTreeView1->Directory()), "c:\\");
        test::SaveScreenshot(*e, "extract-dialog.bmp");
        // "Selected" flips back while nothing is selected.
        e->RadioGroup1->Buttons(0)->SetChecked(true);
        EXPECT_EQ(e->RadioGroup1->ItemIndex(), 1);
        e->ExtractToCmb->SetText(target);
        e->ExtractBtn->Click();
    }};
    Choose(f->mnuExtract1);
    EXPECT_TRUE(allFiles);
    EXPECT_TRUE(confirmed);
    EXPECT_TRUE(restoreShown);
    EXPECT_TRUE(Tree(target) == Inputs());
    ASSERT_FALSE(ReadMRUExtract().empty());
    EXPECT_EQ(ReadMRUExtract().front(), target);
    EXPECT_EQ(frmExtract->Caption(), target);

    // "Overwrite Existing" after a run that asked: the question stays on
    // until "Don't ask again" turns it off (cancelled here, so nothing is
    // replaced, and the run says it was cancelled); the dialog shows the
    // last folder first.
    test::WriteAll(Join(target, "hello.txt"), "changed");
    std::string shown;
    modals.Asked.clear();
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        shown = e->ExtractToCmb->Text();
        e->RadioGroup2->SetItemIndex(0);
        e->CheckBox1->SetChecked(false);
        e->ExtractBtn->Click();
    }};
    Choose(f->mnuExtract1);
    EXPECT_EQ(shown, target);
    EXPECT_EQ(ReadAll(Join(target, "hello.txt")), "changed");
    EXPECT_EQ(modals.Asked, (std::vector<std::string>{"form: " + target, "form: Confirm file overwrite...",
                                                      "File   : " + f->Dovex1->ArchiveFile() +
                                                          "\rError# : 25449\rUser canceled"}));
    EXPECT_FALSE(ReadRestoreFolders(true));

    // Confirm asks before replacing.
    test::WriteAll(Join(target, "hello.txt"), "changed");
    modals.Asked.clear();
    modals.DialogAnswer = mrNo;
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        e->RadioGroup2->SetItemIndex(1);
        e->ExtractBtn->Click();
    }};
    Choose(f->mnuExtract1);
    EXPECT_GT(modals.Asked.size(), 1u);

    // Cancel applies nothing: no folder, no list change, no setting.
    const auto before = ReadMRUExtract();
    const std::string other = Join(here, "never");
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        e->ExtractToCmb->SetText(other);
        e->CheckBox1->SetChecked(true);
        e->CancelBtn->Click();
    }};
    Choose(f->mnuExtract1);
    EXPECT_FALSE(os::DirectoryExists(other));
    EXPECT_EQ(ReadMRUExtract(), before);
    EXPECT_FALSE(ReadRestoreFolders(true));

    // A relative folder is taken from the archive's folder.
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        e->ExtractToCmb->SetText("rel\\out");
        e->CheckBox1->SetChecked(true);
        e->ExtractBtn->Click();
    }};
    Choose(f->mnuExtract1);
    EXPECT_TRUE(Tree(Join(here, "rel\\out")) == Inputs());
    EXPECT_EQ(ReadMRUExtract().front(), Join(here, "rel\\out"));

    // A folder that cannot be made says so and the dialog stays open.
    modals.Asked.clear();
    int stayed = -1;
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        e->ExtractToCmb->SetText(Join(here, "plain.zip\\inside"));
        e->ExtractBtn->Click();
        stayed = e->ModalResult();
    }};
    Choose(f->mnuExtract1);
    EXPECT_EQ(stayed, mrNone);
    EXPECT_TRUE(modals.AskedAbout("\r\r ...not found."));

    // Two paths pasted into one: refused before any of it is made, in the
    // dialog and from the Extract button's recent folders.
    const std::string pasted = Join(here, "allZ:\\tmp\\out");
    modals.Asked.clear();
    modals.Drive = ExtractScript{[&](TfrmExtract* e) {
        e->ExtractToCmb->SetText(pasted);
        e->ExtractBtn->Click();
        stayed = e->ModalResult();
    }};
    Choose(f->mnuExtract1);
    EXPECT_EQ(stayed, mrNone);
    TMenuItem recent(nullptr);
    recent.SetHint(pasted);
    f->MyPopupHandler(&recent);
    EXPECT_EQ(std::count(modals.Asked.begin(), modals.Asked.end(), pasted + "\r\r ...not found."), 2);
    EXPECT_FALSE(os::DirectoryExists(Join(here, "allZ:")));
}

TEST(ExtractFolders, NamesWindowsCannotGiveAreRefused) {
    for (const char* ok : {"C:\\out", "c:/out/sub", "C:\\", "\\\\srv\\share\\out", "C:\\a b\\x.y", "C:\\console\\com10"})
        EXPECT_TRUE(IsNameableFolder(ok)) << ok;
    for (const char* bad : {"", "C:\\x\\allZ:\\tmp", "C::\\x", "C:\\a?b", "C:\\a*", "C:\\a|b", "C:\\\"a\"", "C:\\a<b>",
                            "C:\\a\tb", "C:\\x\\NUL", "C:\\x\\con.txt\\y", "C:\\x\\com1", "C:\\lpt9 ", "\\\\?\\C:\\x"})
        EXPECT_FALSE(IsNameableFolder(bad)) << bad;
}

// "Restore original folders" is read back only where recent folders are
// kept; before any extraction the box keeps its own state.
TEST_F(MainWindow, ExtractDialogReadsRestoreFoldersOnlyWithTheRecentFolders) {
    AnswerAll modals;
    Make();
    EnsureExtractDialogs();
    TRegistry().DeleteKey(SettingsMRUExtractKey);
    WriteRestoreFolders(false);
    for (bool recentKept : {false, true}) {
        SCOPED_TRACE(recentKept);
        if (recentKept) WriteMRUExtract({"C:\\Out"});
        frmExtract->CheckBox1->SetChecked(true);
        frmExtract->FormActivate(nullptr);
        EXPECT_EQ(frmExtract->CheckBox1->Checked(), !recentKept);
    }
    TRegistry().DeleteKey(SettingsMRUExtractKey);
}

// The New folder dialog always closes with Cancel; its name is applied
// however it closes.
TEST_F(MainWindow, NewFolderPutsThePathInTheComboHoweverItCloses) {
    AnswerAll modals;
    Make();
    EnsureExtractDialogs();
    frmExtract->ExtractToCmb->SetText("C:\\Data");
    for (int answer : {mrCancel, mrOk}) {
        modals.Drive = [&](TCustomForm* F) {
            auto* n = dynamic_cast<TfrmNewFolder*>(F);
            if (!n) return static_cast<int>(mrCancel);
            EXPECT_EQ(n->CurrentFolderLbl->Caption(), "C:\\Data");
            n->Edit1->SetText("Out");
            if (answer == mrOk) {
                n->Show();
                test::Pump();
                test::SaveScreenshot(*n, "newfolder-dialog.bmp");
                n->Hide();
            }
            return answer;
        };
        frmExtract->ExtractToCmb->SetText("C:\\Data");
        frmExtract->NewFolderBttn->Click();
        EXPECT_EQ(frmExtract->ExtractToCmb->Text(), "C:\\Data\\Out") << answer;
    }
    EXPECT_FALSE(os::DirectoryExists("C:\\Data\\Out"));  // only Extract makes it
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(ShellList, MaskSizesAndStoredWidths) {
    const auto pieces = TSystemListView::SplitMask("txt,doc");
    for (const auto& [path, ok] : std::vector<std::pair<std::string, bool>>{
             {"C:\\x\\A.TXT", true}, {"C:\\x\\b.doc", true}, {"C:\\x\\c.txt.bak", false},
             {"C:\\x.txt\\noext", false}, {"C:doc", false}}) {
        EXPECT_EQ(TSystemListView::MaskAccepts(pieces, path), ok) << path;
    }
    // Pieces are taken as written: a dot or a blank matches no file.
    for (const char* mask : {".txt", " doc", ".txt, doc"})
        EXPECT_FALSE(TSystemListView::MaskAccepts(TSystemListView::SplitMask(mask), "C:\\A.TXT")) << mask;
    EXPECT_TRUE(TSystemListView::MaskAccepts({}, "C:\\anything"));
    EXPECT_EQ(TSystemListView::SplitMask(",a,,B,"), (std::vector<std::string>{"", "a", "", "b"}));

    for (const auto& [size, text] : std::vector<std::pair<uint64_t, std::string>>{
             {0, "0 KB"}, {1, "1 KB"}, {1024, "1 KB"}, {1025, "2 KB"}, {5ull << 32, "20971520 KB"}})
        EXPECT_EQ(TSystemListView::KiloBytes(size), text) << size;

    int widths[4] = {120, 60, 120, 120};
    TSystemListView::ApplyDirectoryCols(std::string("\xC8\x00", 2), widths);
    EXPECT_EQ(std::vector<int>(widths, widths + 4), (std::vector<int>{200, 60, 120, 120}));
    TSystemListView::ApplyDirectoryCols(std::string("\x10\x00\x20\x00\x30\x00\x40\x00\x50\x00", 10), widths);
    EXPECT_EQ(std::vector<int>(widths, widths + 4), (std::vector<int>{16, 32, 48, 64}));
    TSystemListView::ApplyDirectoryCols(std::string("\x01", 1), widths);
    EXPECT_EQ(widths[0], 16);
}

// A list placed first takes the tree that joins its owner later; a list
// that has its tree keeps it.
TEST(ShellList, LinksToATreeAddedToItsOwnerLater) {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    auto* list = new TSystemListView(form);
    auto* tree = new TSystemTreeView(form);
    EXPECT_EQ(list->TreeView(), tree);
    EXPECT_EQ(tree->ListView(), list);
    auto* second = new TSystemTreeView(form);
    EXPECT_EQ(list->TreeView(), tree);
    EXPECT_EQ(second->ListView(), nullptr);
    delete tree;
    EXPECT_EQ(list->TreeView(), nullptr);
    TCustomForm::Free(form);
}

// The list's items keep their folder data only as long as the control
// keeps the items.
TEST_F(TreeForm, ListItemsLetTheirFolderDataGoWithThem) {
    const std::string here = ScratchDir("list-release");
    for (const char* f : {"a.txt", "b.txt", "c.txt"}) test::WriteAll(Join(here, f), f);
    auto* list = new TSystemListView(form_);
    list->SetParent(form_);
    list->SetBounds(0, 240, 300, 200);
    list->SetTreeView(tree_);
    tree_->SetDirectory(here);
    test::Pump();
    ASSERT_EQ(list->Items().Count(), 3);
    test::SaveScreenshot(*form_, "shell-tree-and-list.bmp");
    const int live = TFolderItemData::Live();
    list->Items().Delete(0);
    EXPECT_EQ(TFolderItemData::Live(), live - 1);
    EXPECT_EQ(list->Items().Count(), 2);
    // The rest are still what they were.
    EXPECT_FALSE(list->ItemPath(list->Items().Item(0)).empty());
    delete list;
    EXPECT_EQ(TFolderItemData::Live(), live - 3);
}

TEST(ShellItems, FolderDataLeftAliveRaiseELeaking) {
    const int before = TFolderItemData::Live();
    auto data = std::make_unique<TFolderItemData>();
    try {
        TFolderItemData::CheckAllFreed();
        ADD_FAILURE() << "no ELeaking";
    } catch (const ELeaking& e) {
        EXPECT_STREQ(e.what(), "Memory Leak Detected.  Not all folder data was freed.");
    }
    data.reset();
    if (before == 0) {
        EXPECT_NO_THROW(TFolderItemData::CheckAllFreed());
    }
}

// The tree's and list's messages are the program's own texts, in its
// string table.
TEST(ShellItems, MessagesComeFromTheStringTable) {
    struct Case {
        TWidgetText id;
        const char* text;
    };
    const Case cases[] = {
        {SCouldNotGetRootFolder, "Could not get the root folder."},
        {SCouldNotEnumerate, "Could not enumerate system objects."},
        {SCouldNotGetFolderData, "Could not get folder data."},
        {SCouldNotFindFolder, "Could not find folder."},
        {SCouldNotGetDesktop, "Could not get Desktop folder."},
        {SInvokeCommandFailed, "InvokeCommand failed. Result = $%x"},
        {SCouldNotGetUIObject, "Could not get UI object. Result = $%x"},
        {SErrorParsingMask, "Error parsing mask string."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char text[128] = {};
        ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), c.id, text, sizeof text), 0);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(WidgetText(c.id), c.text);
    }
}

TEST_F(TreeForm, ListShowsTheSelectedFolder) {
    auto* list = new TSystemListView(form_);
    list->SetParent(form_);
    list->SetBounds(0, 0, 300, 200);
    list->SetTreeView(tree_);
    EXPECT_EQ(tree_->ListView(), list);
    const std::string here = ScratchDir("list-folder");
    test::WriteAll(Join(here, "A.TXT"), std::string(1025, 'a'));
    test::WriteAll(Join(here, "b.doc"), "");
    test::WriteAll(Join(here, "c.txt.bak"), "c");
    CreateDirectoryA(Join(here, "sub").c_str(), nullptr);
    tree_->SetDirectory(here);
    test::Pump();
    auto captions = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < list->Items().Count(); ++i) out.push_back(list->Items().Item(i)->Caption());
        return out;
    };
    auto has = [&](const std::string& n) {
        auto c = captions();
        return std::find(c.begin(), c.end(), n) != c.end();
    };
    EXPECT_EQ(list->ColumnType(), ctFileSystem);
    ASSERT_EQ(list->Columns().Count(), 4);
    EXPECT_EQ(list->Columns().Items(1)->Caption(), "Size");
    EXPECT_TRUE(has("A.TXT") && has("c.txt.bak") && has("sub")) << ::testing::PrintToString(captions());
    for (int i = 0; i < list->Items().Count(); ++i) {
        TListItem* it = list->Items().Item(i);
        if (it->Caption() == "A.TXT") {
            EXPECT_EQ(it->SubItems()[0], "2 KB");
        }
        if (it->Caption() == "b.doc") {
            EXPECT_EQ(it->SubItems()[0], "0 KB");
        }
    }

    list->SetSimpleMask("txt,doc");
    EXPECT_TRUE(has("A.TXT") && has("b.doc") && has("sub"));
    EXPECT_FALSE(has("c.txt.bak"));

    // The first click on "Name" sorts descending, and folders go last.
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = list->Handle();
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iSubItem = 0;
    SendMessageA(form_->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(captions(), (std::vector<std::string>{"b.doc", "A.TXT", "sub"}));
    SendMessageA(form_->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(captions(), (std::vector<std::string>{"sub", "A.TXT", "b.doc"}));

    // Renaming in place goes through the shell.
    list->SetFocus();
    HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_EDITLABELA, 1, 0));  // A.TXT
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "renamed.txt");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    test::Pump();
    EXPECT_TRUE(os::FileExists(Join(here, "renamed.txt")));
    EXPECT_EQ(list->Items().Item(1)->Caption(), "renamed.txt");
    EXPECT_EQ(list->ItemPath(list->Items().Item(1)), Join(here, "renamed.txt"));

    // A user column set without its handler is one "Name" column.
    list->SetColumnType(ctUser);
    EXPECT_EQ(list->ColumnType(), ctUnknown);
    ASSERT_EQ(list->Columns().Count(), 1);
    EXPECT_EQ(list->Columns().Items(0)->Caption(), "Name");
    delete list;
    EXPECT_EQ(tree_->ListView(), nullptr);
}

}  // namespace
}  // namespace bramble
