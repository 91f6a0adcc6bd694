#include "app/forms/addfiles.h"

#include "app/forms/addspec.h"
#include "app/forms/main.h"
#include "app/forms/options.h"
#include "app/widgets/filelist.h"
#include "app/widgets/pathcombo.h"
#include "engine/core/compbase.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "kits/controls/speedbutton.h"
#include "ui/dialogs.h"

namespace bramble {

TfrmAddFiles* frmAddFiles = nullptr;

void EnsureAddDialog() {
    if (frmAddFiles) return;
    frmAddFiles = new TfrmAddFiles(Application);
    frmAddFiles->AfterConstruction();
}

namespace {

// The speed buttons' pictures, drawn here: an arrow up out of a folder, a
// list of small rows, and a report with a header line.
enum class TGlyph { Up, List, Report };

void PaintAddGlyph(TBitmap& B, TGlyph Kind) {
    B.SetSize(16, 16);
    TCanvas& c = B.Canvas();
    c.Brush().SetColor(clFuchsia);
    c.FillRect(TRect{0, 0, 16, 16});
    c.Pen().SetColor(clBlack);
    c.Brush().SetColor(clBlack);
    switch (Kind) {
        case TGlyph::Up:
            // A folder with an arrow pointing up out of it.
            c.Brush().SetColor(static_cast<TColor>(0x00FFFF));
            c.Rectangle(1, 6, 12, 14);
            c.Brush().SetColor(clBlack);
            c.Polygon({Point(11, 1), Point(15, 5), Point(7, 5)});
            c.FillRect(TRect{10, 5, 12, 10});
            break;
        case TGlyph::List:
            for (int x : {1, 9})
                for (int y : {2, 7, 12}) {
                    c.FillRect(TRect{x, y, x + 2, y + 2});
                    c.FillRect(TRect{x + 3, y + 1, x + 7, y + 2});
                }
            break;
        case TGlyph::Report:
            c.FillRect(TRect{1, 1, 15, 3});
            for (int y : {5, 9, 13}) {
                c.FillRect(TRect{1, y, 3, y + 2});
                c.FillRect(TRect{4, y + 1, 15, y + 2});
            }
            break;
    }
}

}  // namespace

TfrmAddFiles::TfrmAddFiles(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmAddFiles");
    SetCaption("Add");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(496, 382);
    Font().SetName("MS Sans Serif");
    SetShowHint(true);

    auto label = [this](const char* name, const std::string& text, int x, int y, int w) {
        auto* l = new TLabel(this);
        l->SetName(name);
        l->SetParent(this);
        l->SetBounds(x, y, w, 13);
        l->SetCaption(text);
        return l;
    };
    auto button = [this](const char* name, const std::string& text, int y) {
        auto* b = new TButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetBounds(400, y, 88, 25);
        b->SetCaption(text);
        return b;
    };
    auto speed = [this](const char* name, const std::string& hint, int x, TGlyph g) {
        auto* b = new TVqSpeedButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetBounds(x, 7, 23, 22);
        b->SetHint(hint);
        TBitmap glyph;
        PaintAddGlyph(glyph, g);
        b->SetGlyph(&glyph);
        return b;
    };

    Label1 = label("Label1", "Add from:", 8, 11, 60);
    PathComboBox1 = new TPathComboBox(this);
    PathComboBox1->SetName("PathComboBox1");
    PathComboBox1->SetParent(this);
    PathComboBox1->SetBounds(72, 8, 230, 22);
    PathComboBox1->SetTabOrder(0);
    sbUpLevel = speed("sbUpLevel", "Up one level", 308, TGlyph::Up);
    sbListView = speed("sbListView", "List", 340, TGlyph::List);
    sbReportView = speed("sbReportView", "Details", 363, TGlyph::Report);
    for (TVqSpeedButton* b : {sbListView, sbReportView}) {
        b->SetGroupIndex(1);
        b->SetAllowAllUp(false);
    }
    sbListView->SetDown(true);

    FileList1 = new TFileList(this);
    FileList1->SetName("FileList1");
    FileList1->SetParent(this);
    FileList1->SetBounds(8, 36, 380, 210);
    FileList1->SetReadOnly(true);
    FileList1->SetMultiSelect(true);
    FileList1->SetViewStyle(vsList);
    FileList1->SetAcceptFiles(false);
    FileList1->SetFileTypes({ftAll});
    FileList1->SetDisplayParentDir(false);
    FileList1->SetMask("*.*");
    FileList1->SetViewColumns({fiName, fiSize, fiType, fiModified, fiAttributes});
    FileList1->SetTabOrder(1);

    Label2 = label("Label2", "File name:", 8, 259, 62);
    edtFileSpec = new TEdit(this);
    edtFileSpec->SetName("edtFileSpec");
    edtFileSpec->SetParent(this);
    edtFileSpec->SetBounds(72, 255, 316, 21);
    edtFileSpec->SetText("*.*");
    edtFileSpec->SetTabOrder(2);
    Label2->SetFocusControl(edtFileSpec);

    Label3 = label("Label3", "Compression:", 8, 289, 80);
    ComboBox1 = new TComboBox(this);
    ComboBox1->SetName("ComboBox1");
    ComboBox1->SetParent(this);
    ComboBox1->SetStyle(csDropDownList);
    ComboBox1->SetBounds(90, 285, 104, 21);
    ComboBox1->SetDropDownCount(5);
    ComboBox1->SetTabOrder(3);
    Label3->SetFocusControl(ComboBox1);

    Label4 = label("Label4", "Folders:", 204, 289, 48);
    ComboBox2 = new TComboBox(this);
    ComboBox2->SetName("ComboBox2");
    ComboBox2->SetParent(this);
    ComboBox2->SetStyle(csDropDownList);
    ComboBox2->SetBounds(252, 285, 136, 21);
    for (const char* s : {"None", "Absolute", "AbsoluteNoDrv", "Relative", "RelativeStoreStart"})
        ComboBox2->Items().Add(s);
    ComboBox2->SetTabOrder(4);
    Label4->SetFocusControl(ComboBox2);

    rgSwitch = new TRadioGroup(this);
    rgSwitch->SetName("rgSwitch");
    rgSwitch->SetParent(this);
    rgSwitch->SetBounds(8, 314, 136, 60);
    rgSwitch->SetCaption("Ac&tion");
    rgSwitch->Items().Add("Add File(s)");
    rgSwitch->Items().Add("Move Files(s)");
    rgSwitch->SetItemIndex(0);
    rgSwitch->SetTabOrder(5);

    GroupBox1 = new TGroupBox(this);
    GroupBox1->SetName("GroupBox1");
    GroupBox1->SetParent(this);
    GroupBox1->SetBounds(152, 314, 236, 60);
    GroupBox1->SetCaption("A&ttribute (File type)");
    GroupBox1->SetTabOrder(6);
    auto box = [this](const char* name, const std::string& text, int x, int y, int w) {
        auto* c = new TCheckBox(this);
        c->SetName(name);
        c->SetParent(GroupBox1);
        c->SetBounds(x, y, w, 17);
        c->SetCaption(text);
        return c;
    };
    ckbArchive = box("ckbArchive", "Archive", 8, 16, 70);
    ckbReadOnly = box("ckbReadOnly", "Read Only", 8, 36, 82);
    ckbHidden = box("ckbHidden", "Hidden", 94, 16, 62);
    ckbSysFile = box("ckbSysFile", "SysFile", 94, 36, 62);
    ckbVolumeID = box("ckbVolumeID", "VolumeID", 160, 16, 72);

    bttnAdd = button("bttnAdd", "&Add", 36);
    bttnAdd->SetDefault(true);
    bttnAdd->SetTabOrder(7);
    BttnCancel = button("BttnCancel", "Cancel", 66);
    BttnCancel->SetCancel(true);
    BttnCancel->SetModalResult(mrCancel);
    BttnCancel->SetTabOrder(8);
    BttnHelp = button("BttnHelp", "Help", 96);
    BttnHelp->SetTabOrder(9);
    btnAddDir = button("btnAddDir", "Add &Tree", 140);
    btnAddDir->SetHint("Add the folder with its sub-folders");
    btnAddDir->SetTabOrder(10);
    btnPassword = button("btnPassword", "&Password", 170);
    btnPassword->SetTabOrder(11);

    bttnAdd->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnAddDir->OnClick = [this](TObject* s) { btnAddDirClick(s); };
    btnPassword->OnClick = [this](TObject* s) { btnPasswordClick(s); };
    BttnHelp->OnClick = [this](TObject* s) { BttnHelpClick(s); };
    rgSwitch->OnClick = [this](TObject* s) { rgSwitchClick(s); };
    ComboBox1->OnChange = [this](TObject* s) { ComboBox1Change(s); };
    ComboBox2->OnChange = [this](TObject* s) { ComboBox2Change(s); };
    ckbArchive->OnClick = [this](TObject* s) { ckbArchiveClick(s); };
    ckbReadOnly->OnClick = [this](TObject* s) { ckbReadOnlyClick(s); };
    ckbHidden->OnClick = [this](TObject* s) { ckbHiddenClick(s); };
    ckbSysFile->OnClick = [this](TObject* s) { ckbSysFileClick(s); };
    ckbVolumeID->OnClick = [this](TObject* s) { ckbVolumeIDClick(s); };
    edtFileSpec->OnEnter = [this](TObject* s) { edtFileSpecEnter(s); };
    PathComboBox1->OnChange = [this](TObject* s) { PathComboBox1Change(s); };
    sbUpLevel->OnClick = [this](TObject* s) { sbUpLevelClick(s); };
    sbListView->OnClick = [this](TObject* s) { sbListViewClick(s); };
    sbReportView->OnClick = [this](TObject* s) { sbReportViewClick(s); };
    FileList1->OnClick = [this](TObject* s) { FileList1Click(s); };
    FileList1->OnDblClick = [this](TObject* s) { FileList1DblClick(s); };
    FileList1->OnKeyPress = [this](TObject* s, char& k) { FileList1KeyPress(s, k); };
    OnShow = [this](TObject*) { newShowing_ = true; };
    OnActivate = [this](TObject* s) { FormActivate(s); };
}

TfrmAddFiles::~TfrmAddFiles() {
    if (frmAddFiles == this) frmAddFiles = nullptr;
}

std::string TfrmAddFiles::Folder() const { return PathComboBox1->Path(); }

TCompBase* TfrmAddFiles::WriterOfKind(int Kind) const {
    if (!main_) return nullptr;
    switch (WriterKindOf(Kind)) {
        case wkBh: return main_->BlakHole1;
        case wkCab: return main_->MakeCAB1;
        case wkGZip: return main_->GZip1;
        case wkLha: return main_->Lha1;
        case wkTar: return main_->Tar1;
        default: return main_->Zip1;
    }
}

void TfrmAddFiles::Prepare(TfrmMain& Main, bool NewArchive, const std::string& ArchiveName,
                           const std::vector<std::string>& Dropped) {
    main_ = &Main;
    newArchive_ = NewArchive;
    archiveName_ = ArchiveName;
    filesDropped_ = !Dropped.empty();
    // Dropped files are looked for in their own folder.
    if (filesDropped_) PathComboBox1->SetPath(ExtractFilePath(Dropped.front()));
    newShowing_ = true;
    FormActivate(this);
    if (!CompressComponent) return;
    // A new archive starts from nothing, whatever an earlier Add left.
    if (NewArchive) CompressComponent->FileSpec().clear();
    if (!filesDropped_) return;

    // The dropped files themselves: those of the shown folder by name
    // (selected in the list), the others by their full paths.
    const std::string path = Folder();
    std::vector<std::string> names;
    for (int i = 0; i < FileList1->Items().Count(); ++i) FileList1->Items().Item(i)->SetSelected(false);
    for (const std::string& d : Dropped) {
        const bool here = SameText(ExtractFilePath(d), AppendBackslash(path));
        names.push_back(here ? ExtractFileName(d) : d);
        if (!here) continue;
        for (int i = 0; i < FileList1->Items().Count(); ++i) {
            TListItem* it = FileList1->Items().Item(i);
            const TFileItemInfo* info = TFileListView::ItemInfo(it);
            if (info && SameText(info->Name, ExtractFileName(d))) it->SetSelected(true);
        }
    }
    edtFileSpec->SetText(QuotedNames(names));
    SetActiveControl(FileList1);
    FileList1->Invalidate();
}

void TfrmAddFiles::FormActivate(TObject*) {
    if (!main_) return;
    TfrmMain& Main = *main_;
    // The folder and the file-name box are set up once per showing: coming
    // back from the password boxes or another window keeps what the user
    // picked there.
    const bool fresh = newShowing_;
    newShowing_ = false;
    // Where the files come from: the start folder the options ask for
    // ("System default" keeps the last one).
    if (fresh && !filesDropped_ && frmOptions) {
        if (frmOptions->RadioOther->Checked()) PathComboBox1->SetPath(frmOptions->StartupFolder->Text());
        if (frmOptions->RadioLastOpen->Checked()) PathComboBox1->SetPath(Main.LastOpenFolder);
    }
    // The attributes stay in the list, hidden: the dialog reads them.
    FileList1->SetColumnWidth(fiAttributes, 0);
    const std::string path = Folder();
    if (path.empty())
        FileList1->Items().Clear();
    else if (!SameText(path, FileList1->Directory()) || FileList1->Items().Count() == 0)
        FileList1->SetDirectory(path);

    int kind = Main.Tag;
    if (!newArchive_ && Main.Dovex1 && !Main.Dovex1->ArchiveFile().empty())
        kind = WriterKindForArcType(Main.Dovex1->ArcType());
    else
        kind = WriterKindForName(archiveName_, Main.Tag);
    DefineCompressorClick(kind);
    if (!CompressComponent) return;
    CompressComponent->SetRecurseDirs(false);
    if (fresh && !filesDropped_) {
        edtFileSpec->SetText("*.*");
        SetActiveControl(edtFileSpec);
        edtFileSpecEnter(this);
    }
    FileList1->Invalidate();
}

void TfrmAddFiles::WndProc(TMessage& Message) {
    // Enter in the file list is the list's own key (it opens a folder or
    // adds the files picked): the default button must not take it first.
    if (Message.Msg == CM_DIALOGKEY && Message.WParam == VK_RETURN && ActiveControl() == FileList1) {
        Message.Result = 0;
        return;
    }
    TForm::WndProc(Message);
}

void TfrmAddFiles::DefineCompressorClick(int Kind) {
    CompressComponent = WriterOfKind(Kind);
    if (main_) main_->Tag = WriterKindOf(Kind);
    if (CompressComponent) InitializeNewCompressComponent();
}

void TfrmAddFiles::InitializeNewCompressComponent() {
    TCompBase* w = CompressComponent;
    SetSkipFilesState();
    SetCompressMethodState();
    ComboBox2->SetItemIndex(w->StoredDirNames() <= sdRelativeStoreStart ? w->StoredDirNames() : -1);
    // A delete or read left in the writer is no answer to Add.
    if (w->Switch() > swMove) w->SetSwitch(swAdd);
    rgSwitch->SetItemIndex(w->Switch());
    if (w->DefaultDir().empty() || !os::DirectoryExists(w->DefaultDir())) w->SetDefaultDir(os::CurrentDir());
    btnPassword->SetEnabled(CanEncryptArcType(ArcTypeOfWriterKind(main_ ? main_->Tag : wkZip)));
    // The caption says what the writer holds, set now or left from before.
    btnPassword->SetCaption(btnPassword->Enabled() && !w->Password().empty() ? "PROTECTED" : "&Password");
    if (!btnPassword->Enabled()) w->SetPassword("");
}

void TfrmAddFiles::SetSkipFilesState() {
    TdvxFileAttr& a = CompressComponent->FileAttribute();
    ckbArchive->SetChecked(a.ftArchive());
    ckbReadOnly->SetChecked(a.ftReadOnly());
    ckbHidden->SetChecked(a.ftHidden());
    ckbSysFile->SetChecked(a.ftSysFile());
    ckbVolumeID->SetChecked(a.ftVolumeID());
}

void TfrmAddFiles::SetCompressMethodState() {
    ComboBox1->Items().Clear();
    int selected = -1;
    for (TCompressMethod m : MethodRows(CompressComponent->AllowedMethods())) {
        if (m == CompressComponent->CompressMethod()) selected = ComboBox1->Items().Count();
        ComboBox1->Items().Add(MethodName(m));
    }
    ComboBox1->SetItemIndex(selected);
}

std::vector<TListItem*> TfrmAddFiles::SelectedItems() const {
    std::vector<TListItem*> out;
    for (int i = 0; i < FileList1->Items().Count(); ++i) {
        TListItem* it = FileList1->Items().Item(i);
        if (it->Selected()) out.push_back(it);
    }
    return out;
}

void TfrmAddFiles::ExcludeArchive() {
    // Only the archive of this run: what an earlier Add excluded is gone.
    CompressComponent->ExcludeSpec().clear();
    const std::string archive =
        !newArchive_ && main_ && main_->Dovex1 ? main_->Dovex1->ArchiveFile() : archiveName_;
    if (!archive.empty()) CompressComponent->ExcludeSpec().push_back(archive);
}

bool TfrmAddFiles::AddNames(const std::string& FolderPath) {
    std::vector<std::string> lines;
    for (const std::string& n : SplitFileNames(edtFileSpec->Text())) {
        // A folder picked among the files goes in by its own name, as the
        // files beside it do.
        const std::string line = FileSpecLine(FolderPath, n);
        if (line.empty()) return false;
        lines.push_back(line);
    }
    if (lines.empty()) return false;
    for (const std::string& l : lines) CompressComponent->FileSpec().push_back(l);
    return true;
}

void TfrmAddFiles::btnOKClick(TObject*) {
    if (!CompressComponent) return;
    CompressComponent->SetRecurseDirs(false);
    if (main_) main_->LastOpenFolder = Folder();
    if (SplitFileNames(edtFileSpec->Text()).empty()) return;
    if (OpenTypedFolder()) return;
    const std::string folder = FileList1->DriveList() ? std::string() : Folder();
    // A plain name in the drives list has no folder: the dialog stays.
    if (!AddNames(folder)) return;
    ExcludeArchive();
    SetModalResult(mrOk);
}

std::string TfrmAddFiles::SelectedFolder() const {
    if (FileList1->DriveList()) return {};
    const std::vector<TListItem*> items = SelectedItems();
    if (items.size() != 1) return {};
    const TFileItemInfo* info = TFileListView::ItemInfo(items.front());
    return info && info->IsFolder() && !info->Drive ? info->FullPath() : std::string();
}

bool TfrmAddFiles::OpenTypedFolder() {
    // As in the system's file dialogs, Enter on a folder's name moves there
    // instead of adding what it holds.
    const std::string text = edtFileSpec->Text();
    if (text.find('"') != std::string::npos) return false;
    const std::vector<std::string> names = SplitFileNames(text);
    if (names.size() != 1 || names.front().find_first_of("*?") != std::string::npos) return false;
    const std::string dir = FileSpecLine(FileList1->DriveList() ? std::string() : Folder(), names.front());
    if (dir.empty() || !os::DirectoryExists(dir)) return false;
    PathComboBox1->SetPath(dir.size() > 3 && dir.back() == '\\' ? dir.substr(0, dir.size() - 1) : dir);
    PathComboBox1Change(this);
    edtFileSpec->SetText("*.*");
    if (edtFileSpec->CanFocus()) edtFileSpec->SetFocus();
    edtFileSpecEnter(this);
    return true;
}

void TfrmAddFiles::btnAddDirClick(TObject*) {
    if (!CompressComponent) return;
    const std::string folder = Folder();
    // The drives list is no tree: adding from the root of whatever drive
    // is current would take a whole disk. The dialog stays.
    if (folder.empty() || FileList1->DriveList()) return;
    CompressComponent->SetRecurseDirs(true);
    CompressComponent->SetDefaultDir(folder);
    os::SetCurrentDir(folder);
    // A folder picked in the list is the tree to add; without one, the
    // folder shown. The file-name box is the mask in every folder of the
    // tree, taken as typed.
    const std::string picked = SelectedFolder();
    CompressComponent->FileSpec().push_back(AppendBackslash(picked.empty() ? folder : picked) + edtFileSpec->Text());
    ExcludeArchive();
    SetModalResult(mrOk);
}

void TfrmAddFiles::btnPasswordClick(TObject*) {
    if (!CompressComponent) return;
    // Asked again while the answer is empty; Cancel gives up.
    auto ask = [](const std::string& caption, const std::string& prompt, std::string& answer) {
        for (;;) {
            std::string v;
            if (!PasswordQuery(caption, prompt, v)) return false;
            if (!v.empty()) {
                answer = v;
                return true;
            }
        }
    };
    std::string first, second;
    bool ok = ask("Security Encryption...", "Enter Password:", first) &&
              ask("Verify Password...", "Re-enter Password:", second);
    if (ok && first != second) {
        Application->MessageBox("Password verification failed.\r\rPlease retry...", Application->Title(),
                                MB_OK | MB_ICONINFORMATION);
        ok = false;
    }
    CompressComponent->SetPassword(ok ? first : std::string());
    btnPassword->SetCaption(ok ? "PROTECTED" : "&Password");
}

void TfrmAddFiles::rgSwitchClick(TObject*) {
    if (!CompressComponent) return;
    const int i = rgSwitch->ItemIndex();
    CompressComponent->SetSwitch(i == 1 ? swMove : swAdd);
}

void TfrmAddFiles::ComboBox1Change(TObject*) {
    if (!CompressComponent || ComboBox1->ItemIndex() < 0) return;
    CompressComponent->SetCompressMethod(MethodOfName(ComboBox1->Items()[ComboBox1->ItemIndex()]));
}

void TfrmAddFiles::ComboBox2Change(TObject*) {
    if (!CompressComponent || ComboBox2->ItemIndex() < 0) return;
    CompressComponent->SetStoredDirNames(static_cast<TStoredDirNames>(ComboBox2->ItemIndex()));
}

void TfrmAddFiles::ckbArchiveClick(TObject*) {
    if (CompressComponent) CompressComponent->FileAttribute().SetftArchive(ckbArchive->Checked());
}

void TfrmAddFiles::ckbReadOnlyClick(TObject*) {
    if (CompressComponent) CompressComponent->FileAttribute().SetftReadOnly(ckbReadOnly->Checked());
}

void TfrmAddFiles::ckbHiddenClick(TObject*) {
    if (CompressComponent) CompressComponent->FileAttribute().SetftHidden(ckbHidden->Checked());
}

void TfrmAddFiles::ckbSysFileClick(TObject*) {
    if (CompressComponent) CompressComponent->FileAttribute().SetftSysFile(ckbSysFile->Checked());
}

void TfrmAddFiles::ckbVolumeIDClick(TObject*) {
    if (CompressComponent) CompressComponent->FileAttribute().SetftVolumeID(ckbVolumeID->Checked());
}

void TfrmAddFiles::edtFileSpecEnter(TObject*) {
    edtFileSpec->SetSelStart(0);
    edtFileSpec->SetSelLength(static_cast<int>(edtFileSpec->Text().size()));
}

void TfrmAddFiles::PathComboBox1Change(TObject*) {
    sbUpLevel->SetEnabled(PathComboBox1->ItemIndex() != 0);
    if (!SameText(FileList1->Directory(), Folder())) FileList1->SetDirectory(Folder());
}

void TfrmAddFiles::sbUpLevelClick(TObject*) {
    const int row = PathComboBox1->ItemIndex();
    if (row > 1 && PathComboBox1->Items()[row].size() > 3) {
        PathComboBox1->SetPath(PathComboBox1->Items()[row - 1]);
    } else if (row == 1) {
        PathComboBox1->SetPath(PathComboBox1->Items()[0]);
    } else {
        PathComboBox1->SetPath("");
    }
    PathComboBox1Change(this);
}

void TfrmAddFiles::sbListViewClick(TObject*) {
    sbListView->SetDown(true);
    FileList1->SetViewStyle(vsList);
}

void TfrmAddFiles::sbReportViewClick(TObject*) {
    sbReportView->SetDown(true);
    FileList1->SetViewStyle(vsReport);
}

void TfrmAddFiles::FileList1Click(TObject*) {
    const std::vector<TListItem*> items = SelectedItems();
    if (items.empty()) return;
    // Names are the entries' own, never the shell's display names (which
    // may hide the extension).
    auto name = [](TListItem* it) {
        const TFileItemInfo* info = TFileListView::ItemInfo(it);
        return info ? info->Name : it->Caption();
    };
    if (items.size() > 1) {
        std::vector<std::string> names;
        for (TListItem* it : items) names.push_back(name(it));
        edtFileSpec->SetText(QuotedNames(names));
        return;
    }
    const TFileItemInfo* info = TFileListView::ItemInfo(items.front());
    if (info && info->IsFolder()) return;
    edtFileSpec->SetText(name(items.front()));
}

void TfrmAddFiles::EnterItem(TListItem* Item) {
    const TFileItemInfo* info = TFileListView::ItemInfo(Item);
    if (!info) return;
    // A drive of the drives list goes by the letter kept with it, never by
    // its display name.
    if (info->Drive) {
        PathComboBox1->SetPath(std::string(1, info->Drive) + ":\\");
    } else if (!Folder().empty()) {
        PathComboBox1->SetPath(info->FullPath());
    }
    PathComboBox1Change(this);
}

void TfrmAddFiles::FileList1DblClick(TObject*) {
    TListItem* it = FileList1->Selected();
    const TFileItemInfo* info = it ? TFileListView::ItemInfo(it) : nullptr;
    if (info && info->IsFolder())
        EnterItem(it);
    else
        btnOKClick(this);
}

void TfrmAddFiles::FileList1KeyPress(TObject*, char& Key) {
    if (Key != 13) return;
    TListItem* it = FileList1->Selected();
    if (!it) return;
    Key = 0;
    const TFileItemInfo* info = TFileListView::ItemInfo(it);
    if (info && info->IsFolder()) {
        EnterItem(it);
        return;
    }
    // Picked with the keys, the files are not in the file-name box yet.
    FileList1Click(this);
    btnOKClick(this);
}

void TfrmAddFiles::BttnHelpClick(TObject*) { Application->HelpContext(435); }

}  // namespace bramble
