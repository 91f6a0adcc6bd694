// The Add dialog as a user meets it: new archives of every writable kind
// from picked files, read back by the engine (and ZIP by unzip), adding to
// an open ZIP with a password, Add Tree with relative folders, dropped
// files from several folders, the methods each writer offers, the writer a
// new archive's name asks for, and how the file-name box is read.
#include <deque>

#include "app/forms/addfiles.h"
#include "app/forms/addspec.h"
#include "app/widgets/filelist.h"
#include "app/widgets/mrulist.h"
#include "app/widgets/pathcombo.h"
#include "engine/core/compbase.h"
#include "engine/core/helpers.h"
#include "main_window.h"

namespace bramble {
namespace {

TEST(AddSpec, NewArchiveKindGoesByASearchInTheExtensionList) {
    const int last = wkLha;
    for (const auto& [name, kind] : std::vector<std::pair<std::string, int>>{
             {"C:\\a\\x.zip", wkZip}, {"x.ZIP", wkZip}, {"x.jar", wkJar}, {"x.zoo", wkZoo}, {"x.bh", wkBh},
             {"x.Cab", wkCab}, {"x.lha", wkLha}, {"x.lzh", wkLha}, {"x.tar", wkTar}, {"x.tar.gz", wkGZip},
             // The start of a listed extension finds it.
             {"notes.c", wkCab}, {"x.C", wkCab}, {"x.T", wkTar}, {"x.G", wkGZip}, {"x.B", wkBh}, {"x.L", wkLha},
             {"x.LH", wkLha}, {"x.ZI", wkZip}, {"x.zo", wkZoo}, {"x.J", wkJar}, {"x.ta", wkTar},
             {"x.Z", wkZip}, {"x.lz", wkLha}, {"x.", wkBh},
             // No extension: the kind used last.
             {"noext", last}, {"C:\\dir.d\\noext", last},
             // Not in the list, or across two of its entries.
             {"x.7z", last}, {"x.zipx", last}, {"x.H", last}, {"x.BHC", last}, {"x.GZT", last},
             {"C:\\dir.zip\\plain", last}}) {
        EXPECT_EQ(WriterKindForName(name, last), kind) << name;
    }
    // JAR and ZOO, and anything unknown, are written by the ZIP writer.
    for (int k : {int{wkJar}, int{wkZoo}, 0, 1, 5, 42}) EXPECT_EQ(WriterKindOf(k), wkZip) << k;
    for (int k : {int{wkBh}, int{wkCab}, int{wkGZip}, int{wkLha}, int{wkTar}, int{wkZip}}) EXPECT_EQ(WriterKindOf(k), k);
    EXPECT_EQ(WriterKindForArcType(atLzh), wkLha);
    EXPECT_EQ(WriterKindForArcType(atZipExe), wkZip);
    EXPECT_EQ(WriterKindForArcType(atArj), 0);
}

TEST(AddSpec, FileNameBoxIsReadAlikeForAddAndTree) {
    using V = std::vector<std::string>;
    for (const auto& [text, names] : std::vector<std::pair<std::string, V>>{
             {"*.*", {"*.*"}},
             {"  report 1.txt ", {"report 1.txt"}},
             {"", {}},
             {"   ", {}},
             {"\"a.txt\" \"b c.txt\" ", {"a.txt", "b c.txt"}},
             {"\"a.txt\" ", {"a.txt"}},
             // Left to us: a last name without its blank is one more name.
             {"\"a.txt\" \"b.txt\"", {"a.txt", "b.txt"}},
             {"\"a.txt\"", {"a.txt"}},
             {"\"\" \"\" ", {}},
             {"\"a.txt\"  \"b.txt\" x", {"a.txt", "b.txt", "x"}},
         }) {
        EXPECT_EQ(SplitFileNames(text), names) << text;
    }
    EXPECT_EQ(SplitFileNames(QuotedNames({"a.txt", "b c.txt", "d"})), (V{"a.txt", "b c.txt", "d"}));

    for (const auto& [folder, name, line] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"C:\\dir\\", "a.txt", "C:\\dir\\a.txt"},
             {"C:\\dir", "*.txt", "C:\\dir\\*.txt"},
             // A typed absolute name is taken as it is.
             {"C:\\dir\\", "D:\\x\\y.txt", "D:\\x\\y.txt"},
             {"C:\\dir\\", "\\\\srv\\s\\y.txt", "\\\\srv\\s\\y.txt"},
             {"C:\\dir\\", "\\x\\y.txt", "C:\\x\\y.txt"},
             // No folder (the drives list): only absolute names.
             {"", "a.txt", ""},
             {"", "C:\\a.txt", "C:\\a.txt"}}) {
        EXPECT_EQ(FileSpecLine(folder, name), line) << folder << " + " << name;
    }
}

// Answers the password boxes from a script and lets the Add dialog be
// driven while it is "shown".
class Answers : public AnswerAll {
public:
    bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override {
        Asked.push_back(Caption + "|" + Prompt);
        if (Typed.empty()) return false;
        std::string t = Typed.front();
        Typed.pop_front();
        if (t == "<cancel>") return false;
        Value = t;
        return true;
    }
    std::deque<std::string> Typed;
};

// The dialog's part in a test: picks Names in Folder, sets what Setup
// asks, and presses Button (bttnAdd by default).
struct AddScript {
    std::string Folder;
    std::vector<std::string> Names;
    std::function<void(TfrmAddFiles*)> Setup;
    bool Tree = false;
    int operator()(TCustomForm* F) const {
        auto* a = dynamic_cast<TfrmAddFiles*>(F);
        if (!a) return mrCancel;
        a->PathComboBox1->SetPath(Folder);
        a->PathComboBox1Change(a);
        if (Setup) Setup(a);
        if (!Names.empty()) a->edtFileSpec->SetText(Names.size() == 1 ? Names[0] : QuotedNames(Names));
        (Tree ? a->btnAddDir : a->bttnAdd)->Click();
        return a->ModalResult();
    }
};

std::vector<std::string> Listed(TfrmMain* F) {
    std::vector<std::string> out;
    for (int i = 0; i < F->Entries->Count(); ++i) out.push_back(F->Entries->GetEntry(i)->StoredName());
    std::sort(out.begin(), out.end());
    return out;
}

std::string UnixPath(std::string p) {
    if (p.size() > 2 && p[1] == ':') p.erase(0, 2);
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

// unzip run as the peer it is (Wine starts Unix programs) with Options on
// File: its exit status, what it printed in Said.
int Unzip(const std::string& Options, const std::string& File, std::string& Said) {
    const std::string out = Join(ScratchDir("add-unzip"), "said.txt");
    DeleteFileA(out.c_str());
    std::string cmd = "Z:\\bin\\sh -c \"unzip " + Options + " '" + UnixPath(File) + "' > '" + UnixPath(out) +
                      "' 2>&1; echo status=$? >> '" + UnixPath(out) + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    size_t at = std::string::npos;
    for (int waited = 0; waited < 30000 && at == std::string::npos; waited += 100) {
        Sleep(100);
        Said = os::FileExists(out) ? ReadAll(out) : std::string();
        at = Said.rfind("status=");
        if (at != std::string::npos && Said.find('\n', at) == std::string::npos) at = std::string::npos;
    }
    return at == std::string::npos ? -1 : std::atoi(Said.c_str() + at + 7);
}

std::string Sources(const std::string& Name) {
    const std::string src = ScratchDir(Name);
    test::WriteAll(Join(src, "a.txt"), "alpha alpha alpha alpha\r\n");
    test::WriteAll(Join(src, "b c.txt"), std::string(3000, 'b'));
    test::WriteAll(Join(src, "left out.txt"), "not picked");
    return src;
}

TEST_F(MainWindow, NewArchiveOfEachWritableKindFromPickedFiles) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = Sources("add-new-src");
    const std::string out = ScratchDir("add-new");
    // "All files": under the ZIP, CAB or LHA filter a name gets that
    // filter's extension; here the typed extension picks the kind.
    f->OpenDialog1->SetFilterIndex(7);
    struct Case {
        const char* name;
        TArcType kind;
    };
    for (const Case& c : {Case{"new.zip", atZip}, {"new.lzh", atLzh}, {"new.bh", atBh}, {"new.cab", atCab},
                          {"new.tar", atTar}, {"new.gz", atGZip}}) {
        SCOPED_TRACE(c.name);
        modals.FileToOpen = Join(out, c.name);
        modals.Drive = AddScript{src, {"a.txt", "b c.txt"}, nullptr};
        Choose(f->mnuNew1);
        if (c.kind == atGZip) {
            // One gzip file per source, beside the name; the first is shown.
            for (const char* n : {"a.txt.gz", "b c.txt.gz"}) EXPECT_TRUE(os::FileExists(Join(out, n))) << n;
            EXPECT_EQ(f->Dovex1->ArchiveFile(), Join(out, "a.txt.gz"));
            EXPECT_EQ(Listed(f), std::vector<std::string>{"a.txt"});
            continue;
        }
        ASSERT_TRUE(os::FileExists(Join(out, c.name)));
        EXPECT_EQ(WriterKindForArcType(f->Dovex1->ArcType()), WriterKindForArcType(c.kind));
        EXPECT_EQ(Listed(f), (std::vector<std::string>{"a.txt", "b c.txt"}));
        EXPECT_NE(f->Caption().find(c.name), std::string::npos) << f->Caption();
        if (c.kind == atZip) {
            std::string said;
            EXPECT_EQ(Unzip("-t", Join(out, c.name), said), 0) << said;
        }
    }
    // New archives go into the recent-files list, newest first (four kept).
    const std::vector<std::string>& recent = f->MRUFileList1->Items();
    ASSERT_FALSE(recent.empty());
    EXPECT_TRUE(SameText(recent.front(), Join(out, "a.txt.gz"))) << recent.front();
    EXPECT_TRUE(std::any_of(recent.begin(), recent.end(), [&](const std::string& r) {
        return SameText(r, Join(out, "new.tar"));
    }));
}

TEST_F(MainWindow, MethodListOffersWhatEachWriterAllowsInTheDialogsOrder) {
    AnswerAll modals;
    TfrmMain* f = Make();
    EnsureAddDialog();
    using V = std::vector<std::string>;
    for (const auto& [name, rows] : std::vector<std::pair<std::string, V>>{
             {"x.zip", {"Store", "Deflate"}},
             {"x.jar", {"Store", "Deflate"}},
             {"x.bh", {"Store", "Deflate", "Fuse"}},
             {"x.lha", {"Store", "Frozen1", "Frozen5"}},
             {"x.cab", {"Store", "MsZip", "Quantum", "Lzx"}},
             {"x.gz", {"Deflate"}},
             {"x.tar", {"Tarred", "GzipTar"}}}) {
        SCOPED_TRACE(name);
        frmAddFiles->Prepare(*f, true, name);
        TCompBase* w = frmAddFiles->CompressComponent;
        ASSERT_NE(w, nullptr);
        V got;
        for (int i = 0; i < frmAddFiles->ComboBox1->Items().Count(); ++i)
            got.push_back(frmAddFiles->ComboBox1->Items()[i]);
        EXPECT_EQ(got, rows);
        ASSERT_GE(frmAddFiles->ComboBox1->ItemIndex(), 0);
        EXPECT_EQ(MethodOfName(got[static_cast<size_t>(frmAddFiles->ComboBox1->ItemIndex())]), w->CompressMethod());
        // Picking a row sets the writer's method.
        frmAddFiles->ComboBox1->SetItemIndex(static_cast<int>(got.size()) - 1);
        frmAddFiles->ComboBox1Change(nullptr);
        EXPECT_EQ(MethodName(w->CompressMethod()), got.back());
        // The password only where the kind can be encrypted.
        const bool encrypts = name == "x.zip" || name == "x.jar" || name == "x.bh";
        EXPECT_EQ(frmAddFiles->btnPassword->Enabled(), encrypts);
    }
    // A name without a listed extension takes the kind used last (TAR).
    frmAddFiles->Prepare(*f, true, "notes.7z");
    EXPECT_EQ(frmAddFiles->CompressComponent, f->Tar1);
    EXPECT_EQ(f->Tag, wkTar);
}

TEST_F(MainWindow, PasswordIsAskedTwiceAndAMismatchClearsIt) {
    Answers modals;
    TfrmMain* f = Make();
    EnsureAddDialog();
    frmAddFiles->Prepare(*f, true, "x.zip");
    TCompBase* w = frmAddFiles->CompressComponent;
    struct Case {
        std::deque<std::string> typed;
        std::string password;
        const char* caption;
        bool mismatch;
    };
    for (const Case& c : {Case{{"", "", "s3cret", "", "s3cret"}, "s3cret", "PROTECTED", false},
                          Case{{"one", "two"}, "", "&Password", true},
                          Case{{"kept", "kept"}, "kept", "PROTECTED", false},
                          Case{{"<cancel>"}, "", "&Password", false},
                          Case{{"Case", "case"}, "", "&Password", true}}) {
        modals.Typed = c.typed;
        modals.Asked.clear();
        frmAddFiles->btnPassword->Click();
        EXPECT_EQ(w->Password(), c.password);
        EXPECT_EQ(frmAddFiles->btnPassword->Caption(), c.caption);
        EXPECT_EQ(modals.AskedAbout("Password verification failed.\r\rPlease retry..."), c.mismatch);
        EXPECT_TRUE(modals.Typed.empty());
        if (!c.typed.empty() && c.typed.front() != "<cancel>") {
            EXPECT_TRUE(modals.AskedAbout("Security Encryption...|Enter Password:"));
            EXPECT_TRUE(modals.AskedAbout("Verify Password...|Re-enter Password:"));
        }
    }
    // Shown again, the caption follows what the writer holds.
    w->SetPassword("left");
    frmAddFiles->Prepare(*f, true, "y.zip");
    EXPECT_EQ(frmAddFiles->btnPassword->Caption(), "PROTECTED");
    w->SetPassword("");
    frmAddFiles->Prepare(*f, true, "y.zip");
    EXPECT_EQ(frmAddFiles->btnPassword->Caption(), "&Password");
}

TEST_F(MainWindow, AddToAnOpenZipWithAPasswordUnzipAccepts) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = Sources("add-pw-src");
    const std::string out = ScratchDir("add-pw");
    const std::string archive = Join(out, "locked.zip");
    modals.FileToOpen = archive;
    modals.Drive = AddScript{src, {"a.txt"}, nullptr};
    Choose(f->mnuNew1);
    ASSERT_TRUE(f->mnuAddFiles1->Enabled());

    modals.Typed = {"pass word", "pass word"};
    modals.Drive = AddScript{src, {"b c.txt"}, [](TfrmAddFiles* a) { a->btnPassword->Click(); }};
    Choose(f->mnuAddFiles1);
    EXPECT_EQ(Listed(f), (std::vector<std::string>{"a.txt", "b c.txt"}));
    std::string said;
    EXPECT_EQ(Unzip("-P 'pass word' -t", archive, said), 0) << said;
    EXPECT_EQ(Unzip("-P wrong -t", archive, said) != 0, true) << said;
    f->Zip1->SetPassword("");
}

TEST_F(MainWindow, AddTreeStoresRelativeFoldersAndDroppedFilesGoByTheirOwnPaths) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = ScratchDir("add-tree-src");
    CreateDirectoryA(Join(src, "sub").c_str(), nullptr);
    CreateDirectoryA(Join(src, "sub\\deeper").c_str(), nullptr);
    test::WriteAll(Join(src, "top.txt"), "top");
    test::WriteAll(Join(src, "sub\\nested.txt"), "nested");
    test::WriteAll(Join(src, "sub\\deeper\\deep.txt"), "deep");
    const std::string out = ScratchDir("add-tree");
    const std::string archive = Join(out, "tree.zip");
    modals.FileToOpen = archive;
    AddScript tree{src, {}, [](TfrmAddFiles* a) {
                       a->ComboBox2->SetItemIndex(sdRelative);
                       a->ComboBox2Change(a);
                       a->edtFileSpec->SetText("*.*");
                   }};
    tree.Tree = true;
    modals.Drive = tree;
    Choose(f->mnuNew1);
    EXPECT_EQ(Listed(f), (std::vector<std::string>{"sub\\deeper\\deep.txt", "sub\\nested.txt", "top.txt"}));

    // Dropped from two folders, with a file of the same name in the first
    // folder as in the second: each goes in from where it was dropped.
    const std::string other = ScratchDir("add-drop-other");
    test::WriteAll(Join(other, "top.txt"), "the other top");
    test::WriteAll(Join(other, "extra.txt"), "extra");
    std::string edit;
    modals.Drive = [&](TCustomForm* F) {
        auto* a = dynamic_cast<TfrmAddFiles*>(F);
        if (!a) return static_cast<int>(mrCancel);
        edit = a->edtFileSpec->Text();
        a->ComboBox2->SetItemIndex(sdNone);
        a->ComboBox2Change(a);
        a->bttnAdd->Click();
        return a->ModalResult();
    };
    f->FilesDropped = true;
    f->AddFiles({Join(src, "sub\\nested.txt"), Join(other, "extra.txt")});
    f->FilesDropped = false;
    EXPECT_EQ(edit, QuotedNames({"nested.txt", Join(other, "extra.txt")}));
    EXPECT_EQ(Listed(f), (std::vector<std::string>{"extra.txt", "nested.txt", "sub\\deeper\\deep.txt",
                                                   "sub\\nested.txt", "top.txt"}));
    std::string said;
    EXPECT_EQ(Unzip("-t", archive, said), 0) << said;

    // A New that writes nothing leaves the archive open before in place.
    const std::vector<std::string> before = Listed(f);
    modals.FileToOpen = Join(out, "nothing.zip");
    modals.Drive = AddScript{src, {"no such file.txt"}, nullptr};
    Choose(f->mnuNew1);
    EXPECT_FALSE(os::FileExists(Join(out, "nothing.zip")));
    EXPECT_EQ(f->Dovex1->ArchiveFile(), archive);
    EXPECT_EQ(Listed(f), before);
    EXPECT_TRUE(f->mnuAddFiles1->Enabled());
}

bool SameLines(const std::vector<std::string>& Got, const std::vector<std::string>& Want) {
    return Got.size() == Want.size() && std::equal(Got.begin(), Got.end(), Want.begin(), SameText);
}

// A folder of the dialog's list, by its name.
TListItem* ItemNamed(TfrmAddFiles* A, const std::string& Name) {
    for (int i = 0; i < A->FileList1->Items().Count(); ++i) {
        TListItem* it = A->FileList1->Items().Item(i);
        const TFileItemInfo* info = TFileListView::ItemInfo(it);
        if (info && SameText(info->Name, Name)) return it;
    }
    return nullptr;
}

void SelectOnly(TfrmAddFiles* A, TListItem* Item) {
    for (int i = 0; i < A->FileList1->Items().Count(); ++i) A->FileList1->Items().Item(i)->SetSelected(false);
    Item->SetSelected(true);
    A->FileList1->SetSelected(Item);
}

std::string TreeSource(const std::string& Name) {
    const std::string src = ScratchDir(Name);
    CreateDirectoryA(Join(src, "sub").c_str(), nullptr);
    CreateDirectoryA(Join(src, "sub\\deeper").c_str(), nullptr);
    test::WriteAll(Join(src, "top.txt"), "top");
    test::WriteAll(Join(src, "sub\\nested.txt"), "nested");
    test::WriteAll(Join(src, "sub\\deeper\\deep.txt"), "deep");
    return src;
}

// Folders in the Add dialog are gone into, or added as trees, as picked:
// Add Tree on a picked folder adds that folder, a typed folder name opens
// it, Enter in the list opens the folder under it.
TEST_F(MainWindow, AddDialogFoldersAreTheOnesPickedOrTyped) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = TreeSource("add-pick-src");
    const std::string out = ScratchDir("add-pick");

    modals.FileToOpen = Join(out, "picked.zip");
    modals.Drive = [&](TCustomForm* F) {
        auto* a = dynamic_cast<TfrmAddFiles*>(F);
        if (!a) return static_cast<int>(mrCancel);
        a->PathComboBox1->SetPath(src);
        a->PathComboBox1Change(a);
        a->ComboBox2->SetItemIndex(sdRelative);
        a->ComboBox2Change(a);
        TListItem* sub = ItemNamed(a, "sub");
        EXPECT_NE(sub, nullptr);
        if (!sub) return static_cast<int>(mrCancel);
        SelectOnly(a, sub);
        a->FileList1Click(a);
        EXPECT_EQ(a->edtFileSpec->Text(), "*.*");
        a->btnAddDir->Click();
        return a->ModalResult();
    };
    Choose(f->mnuNew1);
    // The picked folder's tree and nothing beside it (not top.txt).
    EXPECT_EQ(Listed(f), (std::vector<std::string>{"deeper\\deep.txt", "nested.txt"}));

    struct Typed {
        std::string text;
        std::string goesTo;  // "" when the name is added instead
    };
    for (const Typed& c : {Typed{Join(src, "sub"), Join(src, "sub")},
                           Typed{Join(src, "sub") + "\\", Join(src, "sub")},
                           Typed{"sub", Join(src, "sub")},
                           Typed{"  sub\\deeper ", Join(src, "sub\\deeper")},
                           Typed{"top.txt", ""},
                           Typed{"\"sub\" ", ""},
                           Typed{"s*", ""}}) {
        SCOPED_TRACE(c.text);
        modals.Drive = [&](TCustomForm* F) {
            auto* a = dynamic_cast<TfrmAddFiles*>(F);
            if (!a) return static_cast<int>(mrCancel);
            a->PathComboBox1->SetPath(src);
            a->PathComboBox1Change(a);
            a->edtFileSpec->SetText(c.text);
            a->bttnAdd->Click();
            if (!c.goesTo.empty()) {
                EXPECT_EQ(a->ModalResult(), mrNone);
                EXPECT_TRUE(SameText(AppendBackslash(a->Folder()), AppendBackslash(c.goesTo))) << a->Folder();
                EXPECT_TRUE(SameText(AppendBackslash(a->FileList1->Directory()), AppendBackslash(c.goesTo)))
                    << a->FileList1->Directory();
                EXPECT_EQ(a->edtFileSpec->Text(), "*.*");
                EXPECT_TRUE(a->CompressComponent->FileSpec().empty());
                return static_cast<int>(mrCancel);
            }
            EXPECT_EQ(a->ModalResult(), mrOk);
            a->CompressComponent->FileSpec().clear();
            return static_cast<int>(mrCancel);
        };
        Choose(f->mnuAddFiles1);
    }

    // Enter in the list: the folder under the selection opens and the
    // dialog stays; Enter on a file adds it.
    struct Key {
        const char* item;
        std::string goesTo;
        std::vector<std::string> added;
    };
    for (const Key& k : {Key{"sub", Join(src, "sub"), {}}, Key{"top.txt", src, {Join(src, "top.txt")}}}) {
        SCOPED_TRACE(k.item);
        modals.Drive = [&](TCustomForm* F) {
            auto* a = dynamic_cast<TfrmAddFiles*>(F);
            if (!a) return static_cast<int>(mrCancel);
            a->Show();
            test::Pump(5);
            a->PathComboBox1->SetPath(src);
            a->PathComboBox1Change(a);
            test::Pump(3);
            TListItem* it = ItemNamed(a, k.item);
            EXPECT_NE(it, nullptr);
            if (it) {
                SelectOnly(a, it);
                a->FileList1->SetFocus();
                test::Pump(3);
                PostMessageA(a->FileList1->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
                PostMessageA(a->FileList1->Handle(), WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
                test::Pump(5);
                EXPECT_EQ(a->ModalResult(), k.added.empty() ? mrNone : mrOk);
                EXPECT_TRUE(SameText(AppendBackslash(a->Folder()), AppendBackslash(k.goesTo))) << a->Folder();
                EXPECT_TRUE(SameLines(a->CompressComponent->FileSpec(), k.added));
                a->CompressComponent->FileSpec().clear();
            }
            a->Hide();
            a->SetModalResult(mrNone);
            return static_cast<int>(mrCancel);
        };
        Choose(f->mnuAddFiles1);
    }

    // Add, a double-click and Add Tree with nothing picked: folders by their
    // own names, the tree's mask as typed; only Add remembers the folder.
    const std::string sub = Join(src, "sub"), top = Join(src, "top.txt");
    struct Case {
        const char* text;
        int how;  // 0 Add, 1 double-click, 2 Add Tree
        std::vector<std::string> lines;
    };
    for (const Case& c : {Case{"\"sub\" \"top.txt\" ", 0, {sub, top}}, Case{"top.txt", 1, {top}}, Case{"", 1, {}},
                          Case{"", 2, {src + "\\"}}, Case{" *.txt ", 2, {src + "\\ *.txt "}}}) {
        SCOPED_TRACE(::testing::Message() << c.how << " " << c.text);
        f->LastOpenFolder = "C:\\remembered";
        std::vector<std::string> lines;
        modals.Drive = [&](TCustomForm* F) {
            auto* a = dynamic_cast<TfrmAddFiles*>(F);
            if (!a) return static_cast<int>(mrCancel);
            a->PathComboBox1->SetPath(src);
            a->PathComboBox1Change(a);
            a->FileList1->SetSelected(nullptr);
            a->edtFileSpec->SetText(c.text);
            if (c.how == 1)
                a->FileList1DblClick(a);
            else
                (c.how == 2 ? a->btnAddDir : a->bttnAdd)->Click();
            EXPECT_EQ(a->ModalResult(), c.lines.empty() ? mrNone : mrOk);
            lines.swap(a->CompressComponent->FileSpec());
            return static_cast<int>(mrCancel);
        };
        Choose(f->mnuAddFiles1);
        EXPECT_TRUE(SameLines(lines, c.lines)) << ::testing::PrintToString(lines);
        EXPECT_EQ(f->LastOpenFolder == "C:\\remembered", c.how == 2) << f->LastOpenFolder;
    }
}

// Each showing starts in the options' start folder, the last Add's folder
// or (system default) where the dialog was; an empty path lists nothing.
// The one dialog serves every showing.
TEST_F(MainWindow, AddDialogStartsWhereTheOptionsSay) {
    AnswerAll modals;
    TfrmMain* f = Make();
    EnsureAddDialog();
    TfrmAddFiles* const a = frmAddFiles;
    const std::string other = Sources("add-start-other"), kept = ScratchDir("add-start-kept");
    test::WriteAll(Join(kept, "kept.txt"), "k");
    f->LastOpenFolder = TreeSource("add-start-last");
    frmOptions->StartupFolder->SetText(other);
    for (const auto& [radio, folder] : std::vector<std::pair<TRadioButton*, std::string>>{
             {frmOptions->RadioOther, other}, {frmOptions->RadioLastOpen, f->LastOpenFolder}, {frmOptions->RadioDefault, kept}}) {
        a->PathComboBox1->SetPath(kept);
        a->edtFileSpec->SetText("x");
        radio->SetChecked(true);
        a->Prepare(*f, true, "x.zip");
        EXPECT_TRUE(SameText(AppendBackslash(a->FileList1->Directory()), AppendBackslash(folder))) << folder;
        EXPECT_EQ(a->edtFileSpec->Text(), "*.*");
    }
    frmOptions->StartupFolder->SetText("");
    frmOptions->RadioOther->SetChecked(true);
    a->sbReportView->Click();
    EnsureAddDialog();
    a->Prepare(*f, true, "x.zip");
    EXPECT_EQ(a->FileList1->Items().Count(), 0);
    EXPECT_EQ(frmAddFiles, a);
    EXPECT_EQ(a->FileList1->ViewStyle(), vsReport);
}

// The dialog refreshes the writer on every activation but sets up the
// folder and the file-name box once per showing: back from the password
// boxes the file picked is still the one added.
TEST_F(MainWindow, AddDialogKeepsThePickedFilesWhenActivatedAgain) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = Sources("add-act-src");
    const std::string out = ScratchDir("add-act");
    modals.FileToOpen = Join(out, "act.zip");
    modals.Drive = AddScript{src, {"a.txt"}, nullptr};
    Choose(f->mnuNew1);
    ASSERT_TRUE(f->mnuAddFiles1->Enabled());
    frmOptions->RadioOther->SetChecked(true);
    frmOptions->StartupFolder->SetText(out);

    int activations = 0;
    modals.Typed = {"pw", "pw"};
    modals.Drive = [&](TCustomForm* F) {
        auto* a = dynamic_cast<TfrmAddFiles*>(F);
        if (!a) return static_cast<int>(mrCancel);
        TNotifyEvent activate = a->OnActivate;
        a->OnActivate = [&, activate](TObject* s) {
            ++activations;
            if (activate) activate(s);
        };
        a->Show();
        test::Pump(5);
        EXPECT_TRUE(SameText(AppendBackslash(a->Folder()), AppendBackslash(out))) << a->Folder();
        a->PathComboBox1->SetPath(src);
        a->PathComboBox1Change(a);
        a->edtFileSpec->SetText("b c.txt");
        a->btnPassword->Click();
        // A writer left switched to Delete is back on Add.
        a->CompressComponent->SetSwitch(swDelete);
        const int before = activations;
        SetActiveWindow(f->Handle());
        test::Pump(5);
        SetActiveWindow(a->Handle());
        test::Pump(5);
        EXPECT_GT(activations, before);
        test::SaveScreenshot(*a, "add-after-password.bmp");
        EXPECT_EQ(a->edtFileSpec->Text(), "b c.txt");
        EXPECT_EQ(a->CompressComponent->Switch(), swAdd);
        EXPECT_EQ(a->rgSwitch->ItemIndex(), 0);
        a->bttnAdd->Click();
        a->OnActivate = activate;
        a->Hide();
        return a->ModalResult();
    };
    Choose(f->mnuAddFiles1);
    EXPECT_GT(activations, 0);
    std::string said;
    EXPECT_EQ(Unzip("-P pw -t", Join(out, "act.zip"), said), 0) << said;
    EXPECT_NE(said.find("b c.txt"), std::string::npos) << said;
    f->Zip1->SetPassword("");
}

// Each control of the dialog sets what it stands for in the writer, and
// the list and up button move and pick as a user expects.
TEST_F(MainWindow, AddDialogControlsSetTheWriterAndMoveTheList) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = TreeSource("add-ctl-src");
    test::WriteAll(Join(src, "two.txt"), "two");
    const std::string out = ScratchDir("add-ctl");
    const std::string archive = Join(out, "ctl.zip");
    modals.FileToOpen = archive;
    modals.Drive = AddScript{src, {"top.txt"}, nullptr};
    Choose(f->mnuNew1);
    ASSERT_TRUE(f->mnuAddFiles1->Enabled());

    modals.Drive = [&](TCustomForm* F) {
        auto* a = dynamic_cast<TfrmAddFiles*>(F);
        if (!a) return static_cast<int>(mrCancel);
        TCompBase* w = a->CompressComponent;
        TdvxFileAttr& attr = w->FileAttribute();
        // Each box its own flag, and only that one.
        using Flag = bool (TdvxFileAttr::*)() const;
        const std::vector<std::pair<TCheckBox*, Flag>> boxes{{a->ckbArchive, &TdvxFileAttr::ftArchive},
                                                             {a->ckbReadOnly, &TdvxFileAttr::ftReadOnly},
                                                             {a->ckbHidden, &TdvxFileAttr::ftHidden},
                                                             {a->ckbSysFile, &TdvxFileAttr::ftSysFile},
                                                             {a->ckbVolumeID, &TdvxFileAttr::ftVolumeID}};
        for (const auto& [box, flag] : boxes) {
            SCOPED_TRACE(box->Caption());
            std::vector<bool> others;
            for (const auto& [b, fl] : boxes) others.push_back((attr.*fl)());
            box->SetChecked(!box->Checked());
            EXPECT_EQ((attr.*flag)(), box->Checked());
            for (size_t i = 0; i < boxes.size(); ++i) {
                if (boxes[i].first == box) continue;
                EXPECT_EQ((attr.*boxes[i].second)(), others[i]) << boxes[i].first->Caption();
            }
            box->SetChecked(!box->Checked());
            EXPECT_EQ((attr.*flag)(), box->Checked());
        }
        for (const auto& [row, sw] : std::vector<std::pair<int, TSwitch>>{{1, swMove}, {0, swAdd}}) {
            a->rgSwitch->SetItemIndex(row);
            a->rgSwitchClick(a);
            EXPECT_EQ(w->Switch(), sw);
        }

        a->PathComboBox1->SetPath(src);
        a->PathComboBox1Change(a);
        // Two picked: both quoted, each with its blank; one folder: no change.
        TListItem* top = ItemNamed(a, "top.txt");
        TListItem* two = ItemNamed(a, "two.txt");
        TListItem* sub = ItemNamed(a, "sub");
        EXPECT_TRUE(top && two && sub);
        if (!top || !two || !sub) return static_cast<int>(mrCancel);
        SelectOnly(a, top);
        two->SetSelected(true);
        a->FileList1Click(a);
        const std::string both = a->edtFileSpec->Text();
        EXPECT_TRUE(both == "\"top.txt\" \"two.txt\" " || both == "\"two.txt\" \"top.txt\" ") << both;
        a->edtFileSpec->SetText("kept");
        SelectOnly(a, sub);
        a->FileList1Click(a);
        EXPECT_EQ(a->edtFileSpec->Text(), "kept");
        // Double-click on a folder goes into it.
        a->FileList1DblClick(a);
        EXPECT_TRUE(SameText(AppendBackslash(a->Folder()), AppendBackslash(Join(src, "sub"))));
        // Up: the parent, and from a drive root the drives (no path).
        a->sbUpLevelClick(a);
        EXPECT_TRUE(SameText(AppendBackslash(a->Folder()), AppendBackslash(src))) << a->Folder();
        a->PathComboBox1->SetPath("C:\\");
        a->PathComboBox1Change(a);
        a->sbUpLevelClick(a);
        EXPECT_EQ(a->Folder(), "");
        EXPECT_TRUE(a->FileList1->DriveList());

        // Add: the open archive is never added to itself.
        a->PathComboBox1->SetPath(out);
        a->PathComboBox1Change(a);
        a->edtFileSpec->SetText("*.*");
        a->bttnAdd->Click();
        EXPECT_EQ(a->ModalResult(), mrOk);
        EXPECT_NE(std::find(w->ExcludeSpec().begin(), w->ExcludeSpec().end(), archive), w->ExcludeSpec().end());
        return static_cast<int>(mrCancel);
    };
    Choose(f->mnuAddFiles1);
}

TEST_F(MainWindow, AddDialogScreenshots) {
    Answers modals;
    TfrmMain* f = Make();
    const std::string src = Sources("add-shot-src");
    test::WriteAll(Join(src, "notes.lzh"), "x");
    CreateDirectoryA(Join(src, "folder").c_str(), nullptr);
    const std::string out = ScratchDir("add-shot");
    auto shoot = [&](const std::string& file, bool report) {
        return [&, file, report](TCustomForm* F) {
            auto* a = dynamic_cast<TfrmAddFiles*>(F);
            if (!a) return static_cast<int>(mrCancel);
            a->PathComboBox1->SetPath(src);
            a->PathComboBox1Change(a);
            (report ? a->sbReportView : a->sbListView)->Click();
            a->Show();
            test::Pump(10);
            EXPECT_TRUE(os::FileExists(test::SaveScreenshot(*a, file)));
            a->Hide();
            return static_cast<int>(mrCancel);
        };
    };
    modals.FileToOpen = Join(out, "shot.zip");
    modals.Drive = shoot("add-new-zip-list.bmp", false);
    Choose(f->mnuNew1);
    modals.Drive = shoot("add-new-zip-report.bmp", true);
    Choose(f->mnuNew1);

    modals.FileToOpen = Join(out, "open.lzh");
    modals.Drive = AddScript{src, {"a.txt"}, nullptr};
    f->OpenDialog1->SetFilterIndex(7);  // "All files": the typed extension stays
    Choose(f->mnuNew1);
    ASSERT_EQ(WriterKindForArcType(f->Dovex1->ArcType()), wkLha);
    modals.Drive = shoot("add-open-lha-report.bmp", true);
    Choose(f->mnuAddFiles1);
    modals.Drive = shoot("add-open-lha-list.bmp", false);
    Choose(f->mnuAddFiles1);
}

}  // namespace
}  // namespace bramble
