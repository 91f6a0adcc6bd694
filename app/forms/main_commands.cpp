// The main window's commands: opening, closing, extracting, viewing,
// installing, deleting, testing, and the list's keyboard and mouse.
#include <windows.h>
#include <shellapi.h>

#include <cctype>

#include "app/forms/foldername.h"
#include "app/forms/main_private.h"
#include "app/forms/options.h"
#include "app/forms/sfxbuilder.h"
#include "app/settings/settings.h"
#include "app/widgets/dragdrop.h"
#include "app/widgets/linklabel.h"
#include "app/widgets/mrulist.h"
#include "engine/core/compbase.h"
#include "engine/core/messages.h"
#include "engine/readers/untar.h"
#include "engine/readers/uudecode.h"

namespace bramble {

std::string getkb(int64_t Bytes) { return FormatKB(Bytes); }

void TfrmMain::OpenArchive(const std::string& Path) {
    RunMark mark(*this);
    const std::string dir = ExtractFileDir(Path);
    if (!dir.empty()) SetCurrentDirectoryA(dir.c_str());
    {
        Dovex1->FileSpec().clear();
        BusyScope busy(*this);
        if (Dovex1->FileSpec().empty()) Dovex1->FileSpec().push_back("*.*");
        ClearInstallMenu();
        Entries->Clear();
        Dovex1->SetArchiveFile(Path);
        Dovex1->ReadArchive();
        if (IsValidArcType(Dovex1->ArcType())) {
            MRUFileList1->AddItem(Path);
            EnableMenus();
            DisplayTotals();
        }
        SetArchiveCaption();
    }
    if (Dovex1->ArcType() == atUue) DoUueDecode();
    EnableMenus();
}

void TfrmMain::DoUueDecode() {
    // Only an encoded archive is worth opening: the lister's one entry
    // names what the text holds.
    if (!Entries || Entries->Count() < 1) return;
    if (TZipCommon::ArcExtIndex(ExtractFileExt(Entries->GetEntry(0)->Name)) < 0) return;
    if (MessageDlg("Decode archive to a temp folder and open it?", mtConfirmation, {mbYes, mbNo}) != mrYes) return;

    struct DecodeLook {
        TfrmMain& f;
        std::string folder = os::CurrentDir();
        explicit DecodeLook(TfrmMain& ff) : f(ff) {
            f.ProgressBar1->SetPosition(0);
            f.ProgressBar1->SetVisible(true);
            f.ApplicationBusy();
            // The decoded file is the program's own: it goes with the window.
            f.tempRun_ = true;
        }
        ~DecodeLook() {
            f.tempRun_ = false;
            f.ProgressBar1->SetVisible(false);
            os::SetCurrentDir(folder);
            f.ApplicationWaiting();
        }
    } look(*this);

    UUDecode1->SetArchiveFile(Dovex1->ArchiveFile());
    UUDecode1->SetExtractDir(TempFolder);
    UUDecode1->FileSpec() = {"*.*"};
    try {
        UUDecode1->Extract();
    } catch (const E_RAISE&) {
        return;  // said on the Messages window through OnError
    }
    const std::string decoded = UUDecode1->DecodedFileName();
    if (decoded.empty() || !os::FileExists(decoded)) return;
    Dovex1->SetArchiveFile(decoded);
    Dovex1->ReadArchive();
    OpenDialog1->SetFileName(decoded);
    // The list now shows the decoded archive: so do the totals and the
    // caption.
    DisplayTotals();
    SetArchiveCaption();
}

void TfrmMain::EnableMenus() {
    for (TMenuItem* m : {mnuTest, mnuView2, SelectAll1, Invertselection1, ActionFastextract1, mnuRefresh1, mnuClose1})
        m->SetEnabled(true);
    DragFilesTrg2->SetEnabled(true);
    const TArcType kind = Dovex1->ArcType();
    bool writer = false;
    switch (kind) {
        case atZip: case atZipExe: writer = Zip1 != nullptr; break;
        case atTar: writer = Tar1 != nullptr; break;
        case atBh: writer = BlakHole1 != nullptr; break;
        case atLha: case atLzh: writer = Lha1 != nullptr; break;
        default: break;
    }
    mnuAddFiles1->SetEnabled(CanCompressArcType(kind) && kind != atCab && writer);
    mnuDelete1->SetEnabled(CanCompressArcType(kind) && kind != atCab && writer);
    mnuExtract1->SetEnabled(CanExtractArcType(kind));
    // The buttons stay enabled whatever the kind: their commands say
    // themselves what the kind does not allow.
    for (TToolbarButton97* b : {ToolbarButtonAdd, ToolbarButtonDel, ToolbarButtonExtract, ToolbarButtonView})
        b->SetEnabled(true);
}

void TfrmMain::ToolbarCommand(TMenuItem* Item, void (TfrmMain::*Handler)(TObject*), TObject* Sender) {
    // The button is there whatever the kind; a command the kind does not
    // allow is refused with the reason, not dropped without a word.
    Command([&] {
        if (Item->Enabled())
            (this->*Handler)(Sender);
        else
            ShowMessage(Item == mnuExtract1 ? "Extract not supported for this filetype."
                                            : "Compression not supported for this archive");
    });
}

bool TfrmMain::DiskInDrive(char Drive) {
    const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    const std::string root = std::string(1, Drive) + ":\\";
    ULARGE_INTEGER total{};
    const bool ok = GetDiskFreeSpaceExA(root.c_str(), nullptr, &total, nullptr) != 0;
    SetErrorMode(old);
    return ok;
}

void TfrmMain::NotAvailable(const std::string& What) {
    ShowMessages();
    AddMessage(What + ": not available yet.");
}

bool TfrmMain::IsShortCut(WORD Key, TShiftState Shift) {
    if (TForm::IsShortCut(Key, Shift)) return true;
    const TShortCut sc = ShortCut(Key, Shift);
    // The menu bar routes the menu's shortcuts while the window is active;
    // a key that reaches the form all the same is looked up here.
    if (sc && MainMenu1->IsShortCut(sc)) return true;
    TMenuItem* item = sc == ShortCut('A', {ssShift})   ? mnuAddFiles1
                      : sc == ShortCut('E', {ssShift}) ? mnuExtract1
                                                       : nullptr;
    // A disabled command leaves the key to the list (type-ahead).
    if (!item || !item->Enabled()) return false;
    item->Click();
    return true;
}

std::string TfrmMain::ArchiveDialogFolder() {
    std::string initial;
    if (frmOptions && frmOptions->RadioOther->Checked()) initial = frmOptions->StartupFolder->Text();
    if (frmOptions && frmOptions->RadioLastOpen->Checked()) initial = LastOpenFolder;
    // A start folder on a floppy drive without a disk, or no drive C at
    // all, would leave the dialog waiting on the drive.
    const char drive = initial.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(initial[0])));
    if ((drive == 'a' || drive == 'b') ? !DiskInDrive(drive) : !DiskInDrive('c')) initial = "c:\\";
    return initial;
}

void TfrmMain::mnuOpen1Click(TObject*) {
    OpenDialog1->SetInitialDir(ArchiveDialogFolder());
    OpenDialog1->SetFilter(
        "Zip files|*.zip|Cab files|*.cab|Lha files|*.lha|Arj files|*.arj|gZip files|*.gz|Tar files|*.tar|Zoo "
        "files|*.zoo|All Archives|*.zip;*.cab;*.lha;*.lzh;*.rar;*.ace;*.jar;*.arc;*.arj;*.gz;*.tar;*.zoo|Encoded "
        "files|*.uue;*.xxe;*.enc|All files (*.*)|*.*");
    OpenDialog1->SetTitle("Open Archive...");
    OpenDialog1->SetOptions({ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing});
    if (!OpenDialog1->Execute()) return;
    const std::string name = OpenDialog1->FileName();
    LastOpenFolder = ExtractFilePath(name);
    if (os::FileExists(name))
        OpenArchive(name);
    else
        CreateNewArchive(name);
}

void TfrmMain::ClearInstallMenu() {
    PopupMenuInstall->Items()->Clear();
    PopupMenuInstallChange();
}

void TfrmMain::PopupMenuInstallChange() {
    const bool shown = PopupMenuInstall->Items()->Count() > 0;
    if (shown == ToolbarButtonInstall->Visible()) return;
    ToolbarButtonInstall->SetVisible(shown);
    KeepMinimumSize();
}

void TfrmMain::mnuClose1Click(TObject*) {
    ClearInstallMenu();
    Dovex1->SetArchiveFile("");
    {
        BusyScope busy(*this);
        Entries->Clear();
    }
    SetCaption("Bramble");
    for (TMenuItem* m : {mnuAddFiles1, mnuTest, mnuDelete1, mnuExtract1, mnuView2, SelectAll1, Invertselection1,
                         mnuRefresh1, mnuClose1, ActionFastextract1})
        m->SetEnabled(false);
    DragFilesTrg2->SetEnabled(false);
    for (TToolbarButton97* b : {ToolbarButtonAdd, ToolbarButtonExtract, ToolbarButtonDel, ToolbarButtonView})
        b->SetEnabled(false);
    FileMakeexe1->SetVisible(false);
    SetStatus(0, "");
    // No writer may have been chosen (a cancelled New).
    if (CompressComponent) CompressComponent->SetArchiveFile("");
    DisplayTotals();
}

void TfrmMain::mnuExit1Click(TObject*) { Close(); }

void TfrmMain::FileMakeexe1Click(TObject*) {
    const std::string archive = Dovex1->ArchiveFile();
    if (archive.empty()) return;
    const std::string exe = SelfExtractorName(archive);
    if (os::FileExists(exe) && Application->MessageBox(exe + " already exists, overwrite?", Application->Title(),
                                                       MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    TSfxResult r;
    {
        struct BuildLook {
            TfrmMain& f;
            explicit BuildLook(TfrmMain& ff) : f(ff) {
                f.ProgressBar1->SetPosition(0);
                f.ProgressBar1->SetVisible(true);
                f.ListView1->SetCursor(crHourGlass);
            }
            ~BuildLook() {
                f.ProgressBar1->SetVisible(false);
                f.ListView1->SetCursor(crDefault);
            }
        } look(*this);
        // The stub ships beside the program.
        r = MakeSelfExtractor(ExtractFilePath(Application->ExeName()) + SfxStubFileName, archive, exe,
                              [this](int64_t Done, int64_t Total) {
                                  ProgressBar1->SetPosition(Total > 0 ? static_cast<int>(Done * 100 / Total) : 0);
                                  if (ProgressBar1->HandleAllocated()) ProgressBar1->Update();
                                  Application->ProcessMessages();
                              });
    }
    if (r.Ok())
        ShowMessage(r.Message(exe));
    else
        Application->MessageBox(r.Message(exe), Application->Title(), MB_OK | MB_ICONERROR);
}

bool TfrmMain::DefineCompressComponent() {
    CompressComponent = nullptr;
    const TArcType kind = Dovex1->ArcType();
    if (!CanCompressArcType(kind)) {
        ShowMessage("Compression not supported for this archive");
        return false;
    }
    switch (kind) {
        case atZip: case atZipExe: CompressComponent = Zip1; break;
        case atTar: CompressComponent = Tar1; break;
        case atBh: CompressComponent = BlakHole1; break;
        case atCab: CompressComponent = MakeCAB1; break;
        case atLha: case atLzh: CompressComponent = Lha1; break;
        default: break;
    }
    return CompressComponent != nullptr;
}

void TfrmMain::mnuDelete1Click(TObject*) {
    if (!mnuDelete1->Enabled()) return;
    if (ListView1->SelCount() == 0 || Dovex1->ArchiveFile().empty()) {
        ShowMessage("No files selected to delete");
        return;
    }
    if (MessageDlg("Delete selected file(s)?", mtConfirmation, {mbYes, mbNo}) != mrYes) return;
    if (!DefineCompressComponent()) return;
    TCompBase* w = CompressComponent;
    struct Restore {
        TfrmMain& f;
        TCompBase* w;
        ~Restore() {
            w->SetSwitch(swAdd);
            Screen->SetCursor(crDefault);
        }
    } restore{*this, w};
    Screen->SetCursor(crHourGlass);
    w->SetDeleteOptions(doAllowUndo);
    w->SetArchiveFile(Dovex1->ArchiveFile());
    w->FileSpec().clear();
    for (const std::string& n : Entries->SelectedNames()) w->FileSpec().push_back(n);
    w->SetSwitch(swDelete);
    const int reported = reportedErrors_;
    {
        TSwapGuard<bool> quiet(deleting_, true);
        if (!w->FileSpec().empty()) w->Compress();
    }
    mnuRefresh1Click(this);
    // The user answered Yes: a delete that found nothing to remove (the
    // archive changed since it was listed, or its names are stored in
    // another form) must not pass for one that worked. The names it missed
    // are on the Messages window; the box comes once, not once a name.
    if (w->FilesDeleted() == 0 && reportedErrors_ == reported) {
        ShowMessages();
        ShowMessage("The selected file(s) were not found in the archive: nothing was deleted.");
    }
}

void TfrmMain::ExtractFiles(const std::string& Target, const std::string& Viewer, const std::string& OpenWith,
                            int Confirm, int Which, bool Restore) {
    if (Dovex1->ArchiveFile().empty()) return;
    RunMark mark(*this);
    TUnBase* r = ReaderFor(Dovex1->ArcType());
    if (!r) {
        ShowMessage("Extract not supported for this filetype.");
        return;
    }
    ExtractComponent = r;
    r->SetArchiveFile(Dovex1->ArchiveFile());
    r->SetZipCmntBufSize(Dovex1->ZipCmntBufSize());
    r->SetExtractDir(Target);
    r->SetUseStoredDirs(Restore);
    r->SetDateAttribute(daFileDate);
    // A run that asks starts asking afresh, whatever "Don't ask again"
    // answered last time; a run that does not ask leaves the question as
    // the last run left it.
    for (TUnBase* each : {r, static_cast<TUnBase*>(UnTAR1)}) {
        if (Confirm == 1) each->SetConfirmOverwrites(true);
        each->SetOverwriteMode(omOverwrite);
        if (each != r) {
            each->SetUseStoredDirs(Restore);
            each->SetDateAttribute(daFileDate);
        }
    }

    struct RunLook {
        TfrmMain& f;
        bool temp;
        RunLook(TfrmMain& ff, bool t) : f(ff), temp(t) {
            f.tempRun_ = t;
            f.tempWhole_.clear();
            f.ProgressBar1->SetPosition(0);
            f.ProgressBar1->SetVisible(true);
            f.ListView1->SetCursor(crHourGlass);
            f.SetLedColor(clRed);
        }
        ~RunLook() {
            f.tempRun_ = false;
            f.ProgressBar1->SetVisible(false);
            f.SetStatus(1, "Ready...", true);
            f.SetLedColor(clGreen);
            f.ListView1->SetCursor(crDefault);
        }
    } look(*this, SameText(AppendBackslash(Target), TempFolder));

    if (Which == 0) {
        TSwapGuard<TOnElapsedTime> quiet(r->OnElapsedTime, nullptr);
        r->FileSpec().clear();
        // The disk the entries were listed from: the first selected entry
        // that knows it says so.
        r->SetVolumeLabel("");
        for (const TShellItem* it : Entries->SelectedItems())
            if (r->VolumeLabel().empty()) r->SetVolumeLabel(it->VolumeID);
        for (const std::string& n : Entries->SelectedNames()) r->FileSpec().push_back(n);
        if (r->FileSpec().empty()) return;
        r->Extract();
        if (Viewer.empty() && OpenWith.empty()) return;
        for (const TShellItem* it : Entries->SelectedItems()) {
            const std::string file = TempFolder + it->Name;
            if (!StartableTempFile(file)) continue;
            if (!Viewer.empty()) OpenWithShell(Viewer, "\"" + file + "\"");
            if (!OpenWith.empty()) OpenWithShell(file, "");
        }
    } else {
        r->SetVolumeLabel("");
        r->FileSpec() = Dovex1->FileSpec();
        if (r->FileSpec().empty()) r->FileSpec().push_back("*.*");
        r->Extract();
    }
}

bool TfrmMain::WrittenWhole(const std::string& Path) const { return tempWhole_.count(LowerStr(Path)) > 0; }

bool TfrmMain::StartableTempFile(const std::string& File) {
    if (WrittenWhole(File)) return true;
    // Whatever stands there under that name (an older copy kept on "No",
    // a cut one after a cancel, one that failed its check) is not the entry.
    ShowMessages();
    AddMessage(File + " was not started: it did not come out of the archive whole.");
    return false;
}

void TfrmMain::OpenWithShell(const std::string& File, const std::string& Parameters) {
    ShellOpenFile(File, Parameters, TempFolder, SW_SHOW);
}

bool TfrmMain::TargetFolderPossible(const std::string& Target) {
    // The recent folders may hold one stored before such names were
    // refused.
    if (!IsNameableFolder(Target)) {
        Application->MessageBox(Target + "\r\r ...not found.", Application->Title(), MB_OK);
        return false;
    }
    if (!os::FileExists(Target)) return true;
    // x.tar.gz extracts into x.tar: a file of that name is in the way.
    Application->MessageBox("Cannot create folder " + Target, Application->Title(), MB_OK);
    return false;
}

void TfrmMain::ActionFastextract1Click(TObject*) {
    if (Dovex1->ArchiveFile().empty()) return;
    const std::string target = PathWithoutExtension(Dovex1->ArchiveFile());
    if (!TargetFolderPossible(target)) return;
    ExtractFiles(target, "", "", 1, ListView1->SelCount() > 0 ? 0 : 1, true);
}

void TfrmMain::PopupMenuOpenPopup(TObject*) {
    PopupMenuOpen->Items()->Clear();
    for (const std::string& file : MRUFileList1->Items()) {
        // A name, not a command: no standard command's shortcut.
        auto* m = new TMenuItem2000(this);
        m->SetShortCut(0);
        m->SetCaption(EscapeAmpersands(file));
        // The path itself beside the item: the caption has its "&" doubled.
        m->SetHint(file);
        m->OnClick = [this](TObject* s) { Command([&] { PopupHandlerOpen(s); }); };
        PopupMenuOpen->Items()->Add(m);
    }
}

void TfrmMain::PopupHandlerOpen(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (item) MRUFileList1MRUItemClick(item, item->Hint());
}

void TfrmMain::PopupMenuExtractPopup(TObject*) {
    PopupMenuExtract->Items()->Clear();
    if (Dovex1->ArchiveFile().empty()) return;
    auto add = [this](const std::string& folder) {
        auto* m = new TMenuItem2000(this);
        m->SetShortCut(0);
        m->SetCaption("To: " + folder);
        m->SetHint(folder);
        m->OnClick = [this](TObject* s) { Command([&] { MyPopupHandler(s); }); };
        PopupMenuExtract->Items()->Add(m);
    };
    add(PathWithoutExtension(Dovex1->ArchiveFile()));
    auto* sep = new TMenuItem2000(this);
    sep->SetCaption("-");
    PopupMenuExtract->Items()->Add(sep);
    for (const std::string& f : ReadMRUExtract()) add(f);
}

void TfrmMain::MyPopupHandler(TObject* Sender) {
    auto* m = dynamic_cast<TMenuItem*>(Sender);
    if (!m || !TargetFolderPossible(m->Hint())) return;
    ExtractFiles(m->Hint(), "", "", 1, ListView1->SelCount() > 0 ? 0 : 1, true);
}

void TfrmMain::mnuView2Click(TObject*) {
    if (ListView1->SelCount() == 0) {
        ShowMessage("No file(s) selected for viewing");
        return;
    }
    // Without a viewer the entries are still extracted.
    if (frmOptions && frmOptions->ViewProgram->Text().empty() &&
        MessageDlg("There is currently no viewer configured, would you like to configure one now?", mtInformation,
                   {mbYes, mbNo}) == mrYes) {
        frmOptions->PageControl1->SetActivePage(frmOptions->General);
        mnuOptionsClick(this);
    }
    // The program part of the text: a viewer with blanks in its path is
    // kept quoted there.
    ExtractFiles(TempFolder, frmOptions ? frmOptions->ViewProgram->FileName() : std::string(), "", 1, 0, false);
}

void TfrmMain::SelectAll1Click(TObject*) {
    ListView1->SelectAll();
    DisplayTotals();
}

void TfrmMain::Invertselection1Click(TObject*) {
    const int n = ListView1->Items().Count();
    for (int i = 0; i < n; ++i) ListView1->SetIsSelected(i, !ListView1->IsSelected(i));
    DisplayTotals();
}

void TfrmMain::mnuTestClick(TObject*) {
    ShowMessages();
    AddMessage("Testing archive...");
    struct Done {
        TfrmMain& f;
        ~Done() { f.AddMessage("Testing done."); }
    } done{*this};
    ZipCheck1->FileSpec() = Dovex1->FileSpec();
    if (ZipCheck1->FileSpec().empty()) ZipCheck1->FileSpec().push_back("*.*");
    ZipCheck1->SetArchiveFile(Dovex1->ArchiveFile());
    if (!CanExtractArcType(ZipCheck1->ArcType())) {
        ShowMessage(MessageText(25242));
        return;
    }
    ZipCheck1->TestArchive();
}

void TfrmMain::mnuRefresh1Click(TObject*) {
    BusyScope busy(*this);
    if (Dovex1->FileSpec().empty()) Dovex1->FileSpec().push_back("*.*");
    ClearInstallMenu();
    Entries->Clear();
    if (!Dovex1->ArchiveFile().empty()) {
        Dovex1->SetArchiveFile(Dovex1->ArchiveFile());
        Dovex1->ReadArchive();
        DisplayTotals();
        if (ListView1->CanFocus()) ListView1->SetFocus();
    }
}

void TfrmMain::mnuToolbarClick(TObject*) {
    mnuToolbar->SetChecked(!mnuToolbar->Checked());
    Skiffbar1->SetVisible(mnuToolbar->Checked());
    KeepMinimumSize();
}

void TfrmMain::mnuErrorMessages1Click(TObject*) {
    mnuErrorMessages1->SetChecked(!mnuErrorMessages1->Checked());
    MsgToolWindow->SetVisible(mnuErrorMessages1->Checked());
    KeepMinimumSize();
}

void TfrmMain::Skiffbar1Close(TObject*) { mnuToolbar->SetChecked(false); }

void TfrmMain::MsgToolWindowClose(TObject*) { mnuErrorMessages1->SetChecked(false); }

void TfrmMain::mnuDisplayElapsedTime1Click(TObject*) {
    mnuDisplayElapsedTime1->SetChecked(!mnuDisplayElapsedTime1->Checked());
}

void TfrmMain::mnuBlankDirs1Click(TObject*) {
    mnuBlankDirs1->SetChecked(!mnuBlankDirs1->Checked());
    Dovex1->SetShowBlankDirs(mnuBlankDirs1->Checked());
    mnuRefresh1Click(this);
}

void TfrmMain::mnuSort1Click(TObject*) {
    if (ListView1->ViewStyle() == vsReport) {
        ShowMessage("Click on the column headers");
        return;
    }
    Entries->ColumnClick(0);
}

void TfrmMain::View1Click(TObject* Sender) {
    auto* m = dynamic_cast<TMenuItem*>(Sender);
    if (!m) return;
    static const TViewStyle styles[] = {vsReport, vsList, vsSmallIcon, vsIcon};
    const int i = m->MenuIndex();
    if (i < 0 || i > 3) return;
    ListView1->SetViewStyle(styles[i]);
    m->SetChecked(true);
}

void TfrmMain::Contents1Click(TObject*) { Application->HelpCommand(HELP_FINDER, 0); }

void TfrmMain::BrambleHomepage1Click(TObject*) {
    ShellExecuteA(Handle(), "open", "http://www.quillmar.example/bramble/", nullptr, nullptr, SW_SHOWNORMAL);
}

void TfrmMain::ListView1Click(TObject*) { DisplayTotals(); }

void TfrmMain::ListView1Change(TObject*, TListItem*, TItemChange Change) {
    if (Change != ctState) return;
    // The control selects a row on a right-click before it asks for the
    // context menu: the menu must be there by then, not after the press.
    ListView1->SetPopupMenu(ListView1->SelCount() > 0 ? PopupMenu98List : nullptr);
    if (!totalsPosted_ && HandleAllocated()) totalsPosted_ = PostMessageA(Handle(), WM_SELECTIONTOTALS, 0, 0) != 0;
}

void TfrmMain::ListView1MouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
    ListView1->SetPopupMenu(ListView1->SelCount() > 0 ? PopupMenu98List : nullptr);
    DragStartPoint = Point(X, Y);
}

void TfrmMain::ListView1KeyDown(TObject* Sender, WORD& Key, TShiftState) {
    if (Busy()) return;
    if (Key == VK_RETURN) {
        if (ListView1->SelCount() == 1) Command([&] { ListView1DblClick(Sender); });
    } else if (Key == VK_DELETE) {
        // The keys follow the menu: nothing where Delete is not offered.
        if (mnuDelete1->Enabled()) Command([&] { mnuDelete1Click(Sender); });
        Key = 0;
    } else if (Key == VK_INSERT) {
        if (mnuAddFiles1->Enabled()) mnuAddFiles1->Click();
        Key = 0;
    }
}

std::string TfrmMain::PropertiesEntryName() {
    if (!Entries) return "";
    // A right-click gives its row the focus (keeping a selection it is part
    // of), so the focused row is the one the popup was opened on.
    if (TListItem* focused = ListView1->ItemFocused())
        if (ListView1->IsSelected(focused->Index()))
            if (const TShellItem* e = Entries->GetEntry(focused->Index())) return e->StoredName();
    const auto selected = Entries->SelectedItems();
    return !selected.empty() && selected.front() ? selected.front()->StoredName() : "";
}

void TfrmMain::ExtractSelectedAndOpen() { ExtractFiles(TempFolder, "", "set", 1, 0, false); }

void TfrmMain::ListView1DblClick(TObject*) {
    TListItem* it = ListView1->Selected();
    if (!it || Dovex1->ArchiveFile().empty()) return;
    const std::string name = it->Caption();
    const std::string lower = LowerStr(name);
    if (TEntryList::IsInstallName(name) || StartsWithNoCase(lower, "setup") || StartsWithNoCase(lower, "install") ||
        LowerStr(ExtractFileExt(name)) == ".inf")
        Install(name);
    else
        ExtractSelectedAndOpen();
}

void TfrmMain::PopupHandlerInstall(TObject* Sender) {
    auto* m = dynamic_cast<TMenuItem*>(Sender);
    if (!m) return;
    Install(StripHotkey(m->Caption()));
}

void TfrmMain::Install(const std::string& Name) {
    const int answer = MessageDlg("Would you like to extract all the files to a temporary folder and run " + Name +
                                      "?" + "\rNote: Do NOT close the Bramble window until the program is fully "
                                            "installed!",
                                  mtConfirmation, {mbYes, mbNo});
    if (answer != mrYes) {
        ExtractSelectedAndOpen();
        return;
    }
    ExtractFiles(TempFolder, "", "set", 1, 1, false);
    const std::string file = TempFolder + Name;
    if (!StartableTempFile(file)) return;
    if (LowerStr(ExtractFileExt(Name)) != ".inf") {
        OpenWithShell(file, "");
        return;
    }
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    std::string cmd = v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS
                          ? "rundll.exe setupx.dll,InstallHinfSection DefaultInstall 132 "
                          : "rundll32.exe setupapi.dll,InstallHinfSection DefaultInstall 132 ";
    // The path goes unquoted even when it holds blanks: InstallHinfSection
    // takes the rest of its command line as the path and does not remove
    // quotes, so a quoted path names no file.
    WinExec((cmd + file).c_str(), SW_SHOW);
}

}  // namespace bramble
