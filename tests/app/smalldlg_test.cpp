// The small dialogs (Properties, UUEncode, About with its link), the
// recent-files list under the File menu and the status bar that holds the
// progress bar: what a user sees and what survives a restart.
#include "app/forms/about.h"
#include "app/forms/properties.h"
#include "app/forms/uuencodedlg.h"
#include "app/widgets/linklabel.h"
#include "app/widgets/mrulist.h"
#include "app/widgets/statusbar.h"
#include "engine/core/helpers.h"
#include "engine/writers/uuencode.h"
#include "main_window.h"

namespace bramble {
namespace {

// The shell calls the program would have made.
struct ShellCalls {
    struct Call {
        std::string verb, file, params, folder;
        int show;
    };
    std::vector<Call> calls;
    TShellExecuteFn saved = ShellExecuteHook;
    ShellCalls() {
        ShellExecuteHook = [this](HWND, const std::string& v, const std::string& f, const std::string& p,
                                  const std::string& d, int s) { calls.push_back({v, f, p, d, s}); };
    }
    ~ShellCalls() { ShellExecuteHook = saved; }
};

// The captions of a menu's items from First on.
std::vector<std::string> Captions(TMenuItem* Menu, int First = 0) {
    std::vector<std::string> out;
    for (int i = First; i < Menu->Count(); ++i) out.push_back(Menu->Items(i)->Caption());
    return out;
}

// Dialogs exist from start-up in the program; here each test makes them.
class SmallDialogs : public MainWindow {
protected:
    void TearDown() override {
        for (TCustomForm* d : {static_cast<TCustomForm*>(frmProperties), static_cast<TCustomForm*>(frmUUEncode),
                               static_cast<TCustomForm*>(frmAbout)})
            if (d) TCustomForm::Free(d);
        frmProperties = nullptr;
        frmUUEncode = nullptr;
        frmAbout = nullptr;
        MainWindow::TearDown();
    }
    template <typename T>
    T* MakeDialog(T*& Ref) {
        Ref = new T(nullptr);
        Ref->AfterConstruction();
        return Ref;
    }
};

TEST(SmallDialogFormats, PropertiesDateAndTime) {
    struct Case {
        TDateTime when;
        const char *date, *time;
    } cases[] = {
        {EncodeDateTime(1999, 2, 3, 14, 5, 0), "02-03-99", "14:05"},
        {EncodeDateTime(2000, 12, 31, 0, 0, 59), "12-31-00", "00:00"},
        {EncodeDateTime(1980, 1, 1, 23, 59, 0), "01-01-80", "23:59"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PropertiesDate(c.when), c.date);
        EXPECT_EQ(PropertiesTime(c.when), c.time);
    }
}

TEST_F(SmallDialogs, PropertiesShowsTheSelectedEntryAndNothingForAMissingOne) {
    AnswerAll modals;
    TfrmMain* f = Make();
    TfrmProperties* p = MakeDialog(frmProperties);
    TEntryInfo info;
    info.FileName = "docs\\a&b.txt";
    info.DateTime = EncodeDateTime(1999, 2, 3, 14, 5, 0);
    info.PackedSize = 1234;
    info.UnpackedSize = 5000000000LL;
    info.Ratio = 75;
    info.CRC = 0x0BADF00D;
    info.MethodName = "Deflated";
    info.MethodCode = 8;
    p->ShowInfo("C:\\x.zip", info);
    const std::vector<std::string> want = {"C:\\x.zip", "docs\\a&b.txt", "02-03-99", "14:05", "1234",
                                           "5000000000", "75%", "BADF00D", "Deflated", "8"};
    TLabel* values[] = {p->Label11, p->Label12, p->Label13, p->Label14, p->Label15,
                        p->Label16, p->Label17, p->Label18, p->Label19, p->Label20};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(values[i]->Caption(), want[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(p->Captions[8]->Caption(), "CompressionMethod:");
    EXPECT_EQ(p->Captions[9]->Caption(), "CompressionMethod:");

    // A real entry by folder and name; then one the archive does not hold,
    // and none at all: the earlier values must not stay.
    const std::string archive = CopyInto(ScratchDir("props"), "plain.zip");
    f->OpenArchive(archive);
    const TShellItem* nested = nullptr;
    for (int i = 0; i < f->Entries->Count(); ++i)
        if (f->Entries->GetEntry(i)->Name == "nested.txt") nested = f->Entries->GetEntry(i);
    ASSERT_TRUE(nested);
    p->ShowEntry(*f->Dovex1, nested->StoredName());
    EXPECT_EQ(p->Label11->Hint(), archive);
    EXPECT_EQ(p->Label12->Caption(), nested->StoredName());
    EXPECT_EQ(p->Label16->Caption(), nested->Size);
    EXPECT_EQ(p->Label13->Caption() + " " + p->Label14->Caption(),
              PropertiesDate(nested->DateValue) + " " + PropertiesTime(nested->DateValue));
    for (const std::string& name : {std::string("sub\\missing.txt"), std::string()}) {
        p->ShowEntry(*f->Dovex1, name);
        for (TLabel* v : values) EXPECT_EQ(v->Caption(), "") << name;
    }

    // The list's popup command shows the dialog.
    f->ListView1->SetIsSelected(0, true);
    Choose(f->Properties1);
    EXPECT_TRUE(modals.AskedAbout("form: Properties"));
    EXPECT_TRUE(p->btnClose->Default());
    EXPECT_TRUE(p->btnClose->Cancel());
}

TEST(SmallDialogFormats, PartSizeIsDigitsWithinRange) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    } cases[] = {{"", true, 0},         {"0", true, 0},          {" 12 ", true, 12},
                 {"abc", false, 0},     {"-1", false, 0},        {"1.5", false, 0},
                 {"99999999999", false, 0}, {"134217727", true, 134217727}, {"134217728", false, 0}};
    for (const Case& c : cases) {
        int v = -7;
        EXPECT_EQ(ParseKBytesPerVolume(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST_F(SmallDialogs, UUEncodeFillsFromTheArchiveRefusesOneFileForBothAndSetsTheEncoder) {
    AnswerAll modals;
    TfrmMain* f = Make();
    TfrmUUEncode* u = MakeDialog(frmUUEncode);
    u->Encoder = f->UUEncode1;
    EXPECT_EQ(u->Caption(), "UUEncode / XXEncode");
    EXPECT_FALSE(u->BttnOk->Enabled());
    EXPECT_EQ(u->Edit3->Text(), "0");
    EXPECT_EQ(u->RadioGroup1->ItemIndex(), 0);
    EXPECT_EQ(u->Edit1->Hint(), "Wildcards ok...");

    const std::string dir = ScratchDir("uuenc");
    const std::string archive = CopyInto(dir, "plain.zip");
    f->OpenArchive(archive);
    u->FormActivate(nullptr);
    EXPECT_EQ(u->Edit1->Text(), archive);
    EXPECT_EQ(u->Edit2->Text(), Join(dir, "plain.ENC"));
    EXPECT_TRUE(u->BttnOk->Enabled());

    // Typed or differently written, one file for both is refused on Ok.
    for (const std::string& out : {archive, UpperCase(archive), Join(dir, ".\\plain.zip")}) {
        SCOPED_TRACE(out);
        modals.Asked.clear();
        u->Edit1->SetText(archive);
        u->Edit2->SetText(out);
        u->SetModalResult(mrNone);
        u->btnOKClick(nullptr);
        EXPECT_TRUE(modals.AskedAbout("Error: infile and outfile are the same"));
        EXPECT_EQ(u->Edit1->Text(), "");
        EXPECT_EQ(u->Edit2->Text(), "");
        EXPECT_FALSE(u->BttnOk->Enabled());
        EXPECT_EQ(u->ModalResult(), mrNone);
    }

    // A part size that is not a number keeps the dialog open.
    u->Edit1->SetText(archive);
    u->Edit2->SetText(Join(dir, "out.xxe"));
    u->Edit3->SetText("99999999999");
    modals.Asked.clear();
    u->btnOKClick(nullptr);
    EXPECT_TRUE(modals.AskedAbout("Max kbytes per file"));
    EXPECT_EQ(u->ModalResult(), mrNone);

    u->Edit3->SetText("64");
    u->RadioGroup1->SetItemIndex(1);
    u->CheckBox1->SetChecked(true);
    u->btnOKClick(nullptr);
    EXPECT_EQ(u->ModalResult(), mrOk);
    EXPECT_EQ(f->UUEncode1->ArchiveFile(), archive);
    EXPECT_EQ(f->UUEncode1->OutFilename(), Join(dir, "out.xxe"));
    EXPECT_EQ(f->UUEncode1->KBytesPerVolume(), 64);
    EXPECT_TRUE(f->UUEncode1->WriteTableToFile());
    EXPECT_EQ(f->UUEncode1->CompressMethod(), cmXXEncode);
    // Activation ran again: the fields show the open archive.
    EXPECT_EQ(u->Edit2->Text(), Join(dir, "plain.ENC"));
    // Only settings: nothing was written.
    EXPECT_FALSE(os::FileExists(Join(dir, "out.xxe")));

    // The folder button puts a name in the folder only when there is one.
    u->ChooseFolder = [&](const std::string&, std::string& folder) {
        folder = dir;
        return true;
    };
    u->Edit1->SetText("");
    u->Edit2->SetText("keep");
    u->btnSelectDirClick(nullptr);
    EXPECT_EQ(u->Edit2->Text(), "keep");
    u->Edit1->SetText(archive);
    u->btnSelectDirClick(nullptr);
    EXPECT_EQ(u->Edit2->Text(), Join(dir, "plain.ENC"));

    // Ctrl+U opens it although its menu item is hidden.
    modals.Asked.clear();
    EXPECT_TRUE(f->IsShortCut('U', {ssCtrl}));
    EXPECT_TRUE(modals.AskedAbout("form: UUEncode / XXEncode"));
}

// Activating the dialog again (back from a box or another program) must
// not throw away typed names; showing it again takes the archive's anew.
TEST_F(SmallDialogs, UUEncodeKeepsTypedNamesOnReactivationAndRefillsWhenShownAgain) {
    AnswerAll modals;
    TfrmMain* f = Make();
    TfrmUUEncode* u = MakeDialog(frmUUEncode);
    u->Encoder = f->UUEncode1;
    const std::string dir = ScratchDir("uuenc-typed");
    const std::string archive = CopyInto(dir, "plain.zip");
    f->OpenArchive(archive);
    int activations = 0;
    TNotifyEvent activate = u->OnActivate;
    u->OnActivate = [&](TObject* s) {
        ++activations;
        activate(s);
    };
    auto activateAgain = [&] {
        SetActiveWindow(f->Handle());
        test::Pump(5);
        SetActiveWindow(u->Handle());
        test::Pump(5);
    };
    u->Show();
    test::Pump(5);
    ASSERT_GE(activations, 1);
    EXPECT_EQ(u->Edit1->Text(), archive);
    EXPECT_EQ(u->Edit2->Text(), Join(dir, "plain.ENC"));

    u->Edit1->SetText(Join(dir, "typed.bin"));
    u->Edit2->SetText(Join(dir, "typed.uue"));
    const int before = activations;
    activateAgain();
    ASSERT_GT(activations, before) << "the dialog was not activated again";
    EXPECT_EQ(u->Edit1->Text(), Join(dir, "typed.bin"));
    EXPECT_EQ(u->Edit2->Text(), Join(dir, "typed.uue"));
    EXPECT_TRUE(u->BttnOk->Enabled());

    u->Hide();
    test::Pump(5);
    u->Show();
    test::Pump(5);
    EXPECT_EQ(u->Edit1->Text(), archive);
    EXPECT_EQ(u->Edit2->Text(), Join(dir, "plain.ENC"));
    u->Hide();
}

TEST_F(SmallDialogs, TheLinkOpensItsTargetAndTheShellOpensWithTheDefaultVerb) {
    AnswerAll modals;
    ShellCalls shell;
    TfrmMain* f = Make();
    TfrmAbout* a = MakeDialog(frmAbout);
    TLinkLabel* link = a->lblLink;
    EXPECT_EQ(link->LinkColor(), static_cast<TColor>(0xFF0000));
    EXPECT_TRUE(link->Font().Style().contains(fsUnderline));
    EXPECT_EQ(link->Cursor(), crLinkHand);
    EXPECT_NE(Screen->Cursors(crLinkHand), nullptr);
    link->SetLinkColor(static_cast<TColor>(0x0000FF));
    EXPECT_EQ(link->Font().Color(), static_cast<TColor>(0x0000FF));

    link->Click();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].verb, "open");
    EXPECT_EQ(shell.calls[0].file, kBrambleHomePage);
    EXPECT_EQ(shell.calls[0].show, SW_SHOWNORMAL);

    ShellOpenFile("C:\\t\\setup.exe", "", "C:\\t\\", 5);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].verb, "");
    EXPECT_EQ(shell.calls[1].folder, "C:\\t\\");
    EXPECT_EQ(shell.calls[1].show, 5);

    Choose(f->About1);
    EXPECT_TRUE(modals.AskedAbout("form: About Bramble"));
    EXPECT_TRUE(a->bttnOk->Default());
}

// ---- the recent-files list ----------------------------------------------------------

// The list on its own is tested in mrulist_test.cpp.

TEST_F(MainWindow, RecentArchivesInTheFileMenuSurviveARestartAndOpenOnClick) {
    AnswerAll modals;
    const std::string dir = ScratchDir("mru-window");
    std::vector<std::string> archives;
    for (const char* n : {"one.zip", "two.zip", "three.zip", "four.zip", "five.zip"}) {
        archives.push_back(Join(dir, n));
        CopyFileA(Join(FixturesDir(), "plain.zip").c_str(), archives.back().c_str(), FALSE);
    }
    TfrmMain* f = Make();
    const int before = f->mnuFile->Count();
    for (const std::string& a : archives) f->OpenArchive(a);
    TMenuItem* file = f->mnuFile;
    const int first = file->IndexOf(f->mnuUUEncode1) + 1;
    std::vector<std::string> want = {"-", "&1 " + MinimizeName(archives[4], 130, MenuTextWidth),
                                     "&2 " + MinimizeName(archives[3], 130, MenuTextWidth),
                                     "&3 " + MinimizeName(archives[2], 130, MenuTextWidth),
                                     "&4 " + MinimizeName(archives[1], 130, MenuTextWidth),
                                     "-", "&Clear MRU List", "&Remove Obsolete", "-", "E&xit"};
    EXPECT_EQ(Captions(file, first), want);
    EXPECT_EQ(file->Count(), before + 8);

    // A click on an entry opens it; the menu is made again afterwards,
    // not inside the click.
    auto* third = dynamic_cast<TMRUMenuItem*>(file->Items(first + 3));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->FileName(), archives[2]);
    Choose(third);
    EXPECT_EQ(f->Dovex1->ArchiveFile(), archives[2]);
    test::Pump();
    EXPECT_EQ(f->MRUFileList1->Items().front(), archives[2]);
    EXPECT_EQ(file->Items(first + 1)->Caption(), "&1 " + MinimizeName(archives[2], 130, MenuTextWidth));

    // A file that went away is said and leaves the list.
    DeleteFileA(archives[1].c_str());
    auto* gone = dynamic_cast<TMRUMenuItem*>(file->Items(first + 4));
    ASSERT_TRUE(gone);
    ASSERT_EQ(gone->FileName(), archives[1]);
    Choose(gone);
    test::Pump();
    EXPECT_TRUE(modals.AskedAbout(archives[1] + " does not exist anymore."));
    EXPECT_EQ(f->MRUFileList1->Items().size(), 3u);

    // Exit saves; the next start reads them back and drops what is gone.
    TCustomForm::Free(form_);
    form_ = nullptr;
    DeleteFileA(archives[3].c_str());
    f = Make();
    EXPECT_EQ(f->MRUFileList1->Items(), (std::vector<std::string>{archives[2], archives[4]}));
    EXPECT_EQ(f->mnuFile->Count(), before + 6);
}

// The dialogs as a user sees them, with four recent archives open.
TEST_F(SmallDialogs, Screens) {
    AnswerAll modals;
    const std::string dir = ScratchDir("screens");
    std::vector<std::string> archives;
    for (const char* n : {"reports 1998.zip", "R&D notes.zip", "backup.zip", "a very long archive name.zip"}) {
        archives.push_back(Join(dir, n));
        CopyFileA(Join(FixturesDir(), "plain.zip").c_str(), archives.back().c_str(), FALSE);
    }
    TfrmMain* f = Make();
    for (const std::string& a : archives) f->OpenArchive(a);
    f->ListView1->SetIsSelected(0, true);

    TfrmProperties* p = MakeDialog(frmProperties);
    PlaceDialog(p, f);
    p->Show();
    test::Pump(10);
    EXPECT_EQ(p->Label11->Hint(), archives.back());
    EXPECT_NE(p->Label11->Caption().find("a very long archive name.zip"), std::string::npos);
    EXPECT_EQ(p->ActiveControl(), p->btnClose);
    test::SaveScreenshot(*p, "smalldlg-properties.bmp");
    p->Hide();

    TfrmUUEncode* u = MakeDialog(frmUUEncode);
    PlaceDialog(u, f);
    u->Show();
    test::Pump(10);
    EXPECT_EQ(u->Edit1->Text(), archives.back());
    EXPECT_EQ(GetWindowLongPtrA(u->BttnOk->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    test::SaveScreenshot(*u, "smalldlg-uuencode.bmp");
    u->Hide();

    TfrmAbout* a = MakeDialog(frmAbout);
    PlaceDialog(a, f);
    a->Show();
    test::Pump(10);
    test::SaveScreenshot(*a, "smalldlg-about.bmp");
    a->Hide();
}

TEST_F(MainWindow, TheStatusBarHoldsTheProgressBarAndIndicator) {
    TfrmMain* f = Make();
    auto* bar = dynamic_cast<TFriendlyStatusBar*>(f->StatusBar1);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->ControlStyle().contains(csAcceptsControls));
    EXPECT_EQ(bar->Panels().Count(), 3);
    EXPECT_EQ(f->ProgressBar1->Parent(), bar);
    EXPECT_EQ(f->pbxLed->Parent(), bar);
}

}  // namespace
}  // namespace bramble
