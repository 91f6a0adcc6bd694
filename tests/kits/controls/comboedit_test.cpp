#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "controls_support.h"
#include "kits/controls/comboedit.h"
#include "kits/controls/utils.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Pump;

template <typename T>
T* NewEdit(TWinControl* parent, int y) {
    auto* e = new T(parent);
    e->SetBounds(10, y, 250, 21);
    e->SetParent(parent);
    return e;
}

// A drop from the shell, as WM_DROPFILES hands it over.
HDROP MakeDrop(const std::vector<std::string>& names) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const auto& n : names) size += n.size() + 1;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    char* p = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
    for (const auto& n : names) {
        std::memcpy(p, n.c_str(), n.size() + 1);
        p += n.size() + 1;
    }
    GlobalUnlock(g);
    return static_cast<HDROP>(g);
}

void Drop(TWinControl* edit, const std::vector<std::string>& names) {
    SendMessageA(edit->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names)), 0);
}

TEST(FilenameEdit, FileNameIsQuotedInTheTextAndValidated) {
    test::FormHolder form;
    auto* e = NewEdit<TFilenameEdit>(form.f, 10);
    e->SetFileName("C:\\Program Files\\v.exe");
    EXPECT_EQ(e->Text(), "\"C:\\Program Files\\v.exe\"");
    EXPECT_EQ(e->FileName(), "C:\\Program Files\\v.exe");
    e->SetFileName("\"C:\\Program Files\\v.exe\" -x");  // already quoted: kept
    EXPECT_EQ(e->Text(), "\"C:\\Program Files\\v.exe\" -x");
    EXPECT_EQ(e->FileName(), "C:\\Program Files\\v.exe");
    for (const char* bad : {"C:\\a|b.exe", "C:\\x[1].exe", "C:\\dir\\", "C:\\*.exe"}) {
        try {
            e->SetFileName(bad);
            ADD_FAILURE() << bad;
        } catch (const EComboEditError& x) {
            EXPECT_EQ(std::string(x.what()), std::string("Invalid file name - ") + bad);
        }
        EXPECT_EQ(e->Text(), "\"C:\\Program Files\\v.exe\" -x");
    }
    e->SetFileName("");
    EXPECT_EQ(e->Text(), "");
    // A file that exists is its own name, blanks and all.
    test::TempDir dir;
    const std::string f = dir.File("a b.txt");
    e->SetText(f);
    EXPECT_EQ(e->FileName(), f);
    EXPECT_EQ(e->GetLongName(), LongPathName(f));
    EXPECT_EQ(e->GetShortName(), ShortPathName(f));
}

TEST(FilenameEdit, ButtonAndAltDownBrowseFromTheTextsFolder) {
    test::FormHolder form;
    form->Show();
    auto* e = NewEdit<TFilenameEdit>(form.f, 10);
    EXPECT_EQ(e->GlyphKind(), gkDefault);
    EXPECT_EQ(e->Glyph().Width(), 15);  // "FEDITBMP"
    EXPECT_EQ(e->ButtonWidth(), 21);
    EXPECT_EQ(e->Filter(), "All files (*.*)|*.*");
    EXPECT_EQ(e->DialogTitle(), "Browse");
    EXPECT_EQ(e->ClickKey(), scAlt | VK_DOWN);
    test::TempDir dir;
    const std::string viewer = dir.File("Viewers\\my view.exe");
    e->SetText("\"" + viewer + "\" /p");

    test::ScriptedModals modals;
    modals.ExpectFileDialog("");  // by the button: cancelled
    int clicks = 0;
    e->OnButtonClick = [&](TObject*) { ++clicks; };
    e->Button()->Click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(e->Dialog().InitialDir(), dir.Path() + "\\Viewers");
    EXPECT_EQ(e->Dialog().FileName(), "my view.exe");
    EXPECT_EQ(e->Text(), "\"" + viewer + "\" /p");

    // Alt+Down, as the keyboard sends it: the dialog's choice is quoted.
    modals.ExpectFileDialog("C:\\Program Files\\other.exe");
    e->Perform(WM_SYSKEYDOWN, VK_DOWN, 1 << 29);
    EXPECT_EQ(e->Text(), "\"C:\\Program Files\\other.exe\"");
    EXPECT_EQ(e->Dialog().InitialDir(), "C:\\Program Files");

    // The handlers see and may stop the dialog.
    e->OnBeforeDialog = [](TObject*, std::string& name, bool& action) { action = name != "stop"; };
    e->SetText("stop");
    e->DoClick();
    e->OnBeforeDialog = nullptr;
    modals.ExpectFileDialog("C:\\x.exe");
    e->OnAfterDialog = [](TObject*, std::string& name, bool& action) { name = "C:\\changed.exe"; };
    e->DoClick();
    EXPECT_EQ(e->Text(), "C:\\changed.exe");
    EXPECT_EQ(modals.Pending(), 0);
    ASSERT_EQ(modals.Asked.size(), 3u);
    EXPECT_EQ(modals.Asked[0], "open: Browse");
}

TEST(FileDirEdits, DropsFromTheShellAreTakenWhole) {
    test::FormHolder form;
    form->Show();
    test::TempDir dir;
    const std::string file = dir.File("b\\x.txt");
    auto* dirs = NewEdit<TDirectoryEdit>(form.f, 10);
    dirs->SetMultipleDirs(true);
    dirs->SetText("C:\\a");
    int dropped = 0;
    dirs->OnDropFiles = [&](TObject*) { ++dropped; };
    Drop(dirs, {file, dir.Path()});
    EXPECT_EQ(dirs->Text(), "C:\\a;" + dir.Path() + "\\b;" + dir.Path());
    EXPECT_EQ(dropped, 1);
    // The long and short forms of each item; empty items add no ";".
    dirs->SetText(dir.Path() + ";;" + dir.Path() + "\\b");
    EXPECT_EQ(dirs->GetLongName(), LongPathName(dir.Path()) + ";" + LongPathName(dir.Path() + "\\b"));

    // One folder only: the first path, however long.
    dirs->SetMultipleDirs(false);
    const std::string deep = "C:\\" + std::string(300, 'd');
    Drop(dirs, {deep, file});
    EXPECT_EQ(dirs->Text(), deep);

    // A name the file edit cannot hold is left out, and nothing escapes.
    test::ExceptionCatcher caught;
    auto* files = NewEdit<TFilenameEdit>(form.f, 40);
    files->SetText("kept");
    int fdropped = 0;
    files->OnDropFiles = [&](TObject*) { ++fdropped; };
    Drop(files, {"C:\\bad|name.txt"});
    EXPECT_EQ(files->Text(), "kept");
    EXPECT_EQ(fdropped, 1);
    Drop(files, {"C:\\with blank\\v.exe", file});
    EXPECT_EQ(files->Text(), "\"C:\\with blank\\v.exe\"");
    EXPECT_TRUE(caught.Messages.empty());
}

TEST(DirectoryEdit, BrowsesFromTheTextOrTheRoot) {
    test::FormHolder form;
    form->Show();
    auto* e = NewEdit<TDirectoryEdit>(form.f, 10);
    EXPECT_EQ(e->DialogKind(), dkVCL);
    char windir[MAX_PATH] = {}, root[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, MAX_PATH);
    GetFullPathNameA("\\", MAX_PATH, root, nullptr);
    struct Case {
        std::string text;
        TDirDialogKind kind;
        bool multiple;
        std::string result;
    } cases[] = {
        {windir, dkWin32, false, windir},
        {"C:\\no\\such\\folder", dkWin32, false, root},  // opens at "\"
        {windir, dkWin32, true, std::string(windir) + ";" + windir},
    };
    for (const Case& c : cases) {
        e->SetText(c.text);
        e->SetDialogKind(c.kind);
        e->SetMultipleDirs(c.multiple);
        test::AnswerNextDialog(IDOK);
        e->DoClick();
        EXPECT_EQ(e->Text(), c.result) << c.text;
    }
    EXPECT_EQ(e->InitialDir(), windir);
    e->SetMultipleDirs(false);
    e->SetText(windir);
    test::AnswerNextDialog(IDCANCEL);
    e->SetDialogKind(dkWin32);
    e->DoClick();
    EXPECT_EQ(e->Text(), windir);

    // dkVCL: the window layer's folder form, with DialogOptions.
    test::TempDir dir;
    const std::string made = dir.Path() + "\\new";
    e->SetDialogKind(dkVCL);
    e->SetDialogOptions({sdAllowCreate, sdPerformCreate});
    e->SetText("C:\\no\\such\\folder");
    test::ScriptedModals modals;
    modals.ExpectForm([&](TCustomForm* f) {
        auto* form = dynamic_cast<TSelectDirForm*>(f);
        if (!form) return static_cast<int>(mrCancel);
        EXPECT_EQ(form->Directory(), root);  // a missing start folder: the root
        form->NameEdit().SetText(made);
        form->TryAccept();
        return form->ModalResult();
    });
    e->DoClick();
    EXPECT_EQ(modals.Pending(), 0);
    EXPECT_EQ(e->Text(), made);
    EXPECT_TRUE(IsExistingDir(made));
}

TEST(ComboEdit, DirectInputOffBrowsesOnAClickAndGlyphKindsSizeTheButton) {
    test::FormHolder form;
    form->Show();
    auto* e = NewEdit<TFilenameEdit>(form.f, 10);
    e->SetDirectInput(false);
    EXPECT_TRUE(GetWindowLongPtrA(e->Handle(), GWL_STYLE) & ES_READONLY);
    test::ScriptedModals modals;
    modals.ExpectFileDialog("C:\\v.exe");
    e->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    e->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(e->Text(), "C:\\v.exe");
    e->SetDirectInput(true);
    EXPECT_FALSE(GetWindowLongPtrA(e->Handle(), GWL_STYLE) & ES_READONLY);
    e->SetReadOnly(true);
    EXPECT_TRUE(GetWindowLongPtrA(e->Handle(), GWL_STYLE) & ES_READONLY);

    e->SetGlyphKind(gkDropDown);
    EXPECT_EQ(e->ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_FALSE(e->Glyph().Empty());
    EXPECT_EQ(e->NumGlyphs(), 1);
    e->SetGlyphKind(gkEllipsis);
    EXPECT_EQ(e->ButtonWidth(), 21);
    EXPECT_EQ(e->Glyph().Width(), 10);  // three 2-pixel dots, 2 apart
    EXPECT_EQ(e->Glyph().Height(), 2);
    EXPECT_EQ(e->NumGlyphs(), 1);
    Pump();
    // The button sits inside the right edge, the text stops before it.
    RECT br{}, er{};
    GetWindowRect(e->Button()->Parent()->Handle(), &br);
    GetClientRect(e->Handle(), &er);
    MapWindowPoints(e->Handle(), nullptr, reinterpret_cast<POINT*>(&er), 2);
    EXPECT_EQ(br.right, er.right);
    EXPECT_EQ(br.right - br.left, 21);
    const LRESULT margins = SendMessageA(e->Handle(), EM_GETMARGINS, 0, 0);
    EXPECT_GE(HIWORD(margins), 21);
    e->SetButtonWidth(0);
    int clicks = 0;
    e->OnButtonClick = [&](TObject*) { ++clicks; };
    e->Perform(WM_SYSKEYDOWN, VK_DOWN, 1 << 29);  // no button, no dialog
    EXPECT_EQ(clicks, 0);
}

TEST(ComboEdit, ScreenshotOfTheEditsAndButtons) {
    test::FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 360, 140);
    form->SetColor(clBtnFace);
    auto* label = new TLabel(form.f);
    label->SetParent(form.f);
    label->SetBounds(10, 14, 60, 13);
    label->SetCaption("Viewer :");
    auto* viewer = NewEdit<TFilenameEdit>(form.f, 10);
    viewer->SetLeft(80);
    viewer->SetText("C:\\Program Files\\viewer.exe");
    auto* folder = NewEdit<TDirectoryEdit>(form.f, 40);
    folder->SetLeft(80);
    folder->SetGlyphKind(gkEllipsis);
    folder->SetText("C:\\Temp");
    auto* drop = NewEdit<TDirectoryEdit>(form.f, 70);
    drop->SetLeft(80);
    drop->SetGlyphKind(gkDropDown);
    auto* b = new TVqSpeedButton(form.f);
    b->SetParent(form.f);
    b->SetBounds(80, 100, 90, 25);
    b->SetCaption("Options");
    b->SetDropDownMenu(new TPopupMenu(form.f));
    b->SetLayout(blGlyphLeft);
    form->Show();
    Pump();
    test::SaveScreenshot(*form.f, "comboedits.bmp");
}

TEST(FilenameEdit, EachDialogKindGetsItsDialogWithTheSettingsCarriedOver) {
    test::FormHolder form;
    auto* e = NewEdit<TFilenameEdit>(form.f, 10);
    e->SetFileEditStyle(fsComboBox);
    e->SetFilter("Text|*.txt");
    e->SetDialogTitle("Viewer");
    struct Case {
        TFileDialogKind kind;
        bool picture;
        const char* asked;
    } cases[] = {
        {dkOpenPicture, true, "open: Viewer"},
        {dkSavePicture, true, "save: Viewer"},
        {dkSave, false, "save: Viewer"},
        {dkOpen, false, "open: Viewer"},
    };
    for (const Case& c : cases) {
        e->SetDialogKind(c.kind);
        EXPECT_EQ(dynamic_cast<TOpenPictureDialog*>(&e->Dialog()) != nullptr, c.picture) << c.asked;
        EXPECT_EQ(e->FileEditStyle(), fsComboBox) << c.asked;
        EXPECT_EQ(e->Filter(), "Text|*.txt") << c.asked;
        test::ScriptedModals modals;
        modals.ExpectFileDialog("");
        e->DoClick();
        ASSERT_EQ(modals.Asked.size(), 1u);
        EXPECT_EQ(modals.Asked[0], c.asked);
    }
    // A picture dialog made on its own offers the picture kinds.
    TOpenPictureDialog pictures;
    EXPECT_NE(pictures.Filter().find("*.bmp"), std::string::npos);
}

TEST(FileDirEdits, TypedTextGoesThroughTheOemCodePage) {
    test::FormHolder form;
    form->Show();
    TFileDirEdit* edits[] = {NewEdit<TFilenameEdit>(form.f, 10), NewEdit<TDirectoryEdit>(form.f, 40)};
    for (TFileDirEdit* e : edits) {
        EXPECT_TRUE(e->OEMConvert());
        EXPECT_TRUE(GetWindowLongPtrA(e->Handle(), GWL_STYLE) & ES_OEMCONVERT);
        e->SetText("C:\\kept");
        e->SetOEMConvert(false);
        EXPECT_FALSE(GetWindowLongPtrA(e->Handle(), GWL_STYLE) & ES_OEMCONVERT);
        EXPECT_EQ(e->Text(), "C:\\kept");  // the new window keeps the text
    }
}

// The drop-down kind's button is the platform's own combo-box button.
TEST(ComboEdit, DropDownKindDrawsTheComboBoxButton) {
    test::FormHolder form;
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 60);
    form->Show();
    auto* e = NewEdit<TDirectoryEdit>(form.f, 10);
    e->SetGlyphKind(gkDropDown);
    Pump();
    TWinControl* panel = e->Button()->Parent();
    const int w = panel->Width(), h = panel->Height();
    ASSERT_GT(w, 4);
    TBitmap want(w, h);
    RECT r{0, 0, w, h};
    DrawFrameControl(want.Canvas().Handle(), &r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
    panel->Repaint();
    TBitmap shot;
    test::GrabWindow(*panel, shot);
    int differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) differ += test::PixelAt(shot, x, y) != test::PixelAt(want, x, y);
    EXPECT_EQ(differ, 0);
    // Another kind takes the glyph again.
    e->SetGlyphKind(gkEllipsis);
    EXPECT_FALSE(e->Button()->DropDownMark());
}

// An edit with a drop-down window, as a descendant would make one.
class TListEdit : public TCustomComboEdit {
public:
    using TCustomComboEdit::TCustomComboEdit;
    std::vector<std::string> log;

protected:
    bool HasPopup() const override { return true; }
    void PopupDropDown() override { log.push_back("open"); }
    void PopupCloseUp(bool Accept) override { log.push_back(Accept ? "accept" : "cancel"); }
};

TEST(ComboEdit, TheButtonAndEnterOrEscapeOpenAndCloseTheDropDownWindow) {
    struct Case {
        const char* steps;  // b: press on the button, k: Alt+Down, r: Enter, e: Escape
        const char* log;
        bool open;
    } cases[] = {
        {"b", "open", true},
        {"bb", "open cancel", false},
        {"kr", "open accept", false},
        {"be", "open cancel", false},
        {"r", "", false},  // no window: Enter is the edit's
        {"kk", "open cancel", false},
    };
    test::FormHolder form;
    form->Show();
    auto* e = NewEdit<TListEdit>(form.f, 10);
    int clicks = 0;
    e->Button()->OnClick = [&](TObject*) { ++clicks; };
    for (const Case& c : cases) {
        e->log.clear();
        for (const char* s = c.steps; *s; ++s) {
            switch (*s) {
                case 'b':
                    e->Button()->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
                    e->Button()->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
                    break;
                case 'k': e->Perform(WM_SYSKEYDOWN, VK_DOWN, 1 << 29); break;
                case 'r': e->Perform(WM_KEYDOWN, VK_RETURN, 0); break;
                case 'e': e->Perform(WM_KEYDOWN, VK_ESCAPE, 0); break;
                default: break;
            }
        }
        std::string log;
        for (const auto& l : e->log) log += (log.empty() ? "" : " ") + l;
        EXPECT_EQ(log, c.log) << c.steps;
        EXPECT_EQ(e->PopupVisible(), c.open) << c.steps;
        e->HidePopup(false);
    }
    EXPECT_EQ(clicks, 0);  // the press opens the window instead of clicking
}

}  // namespace
}  // namespace bramble
