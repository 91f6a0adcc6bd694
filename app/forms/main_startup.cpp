// Start-up and the end of the window: the create handler, the settings the
// window applies and saves, the first paint and the command-line switch it
// carries out.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>

#include "app/forms/foldername.h"
#include "app/forms/main_private.h"
#include "app/forms/options.h"
#include "app/settings/settings.h"
#include "app/shellreg/shellreg.h"
#include "app/widgets/mrulist.h"
#include "engine/core/compbase.h"
#include "engine/core/zipcommon.h"
#include "ui/registry.h"

namespace bramble {

// ---- default-program question -----------------------------------------------------

TfrmDefault::TfrmDefault(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmDefault");
    SetCaption("Bramble");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poScreenCenter);
    SetClientSize(420, 130);
    Label1 = new TLabel(this);
    Label1->SetParent(this);
    Label1->SetAutoSize(false);
    Label1->SetWordWrap(true);
    Label1->SetBounds(14, 12, 392, 44);
    Label1->SetCaption(
        "Bramble is currently not your default zip compression program.\r\nWould you like to make it your default zip "
        "compression program?");
    CheckBox1 = new TCheckBox(this);
    CheckBox1->SetParent(this);
    CheckBox1->SetBounds(14, 64, 392, 17);
    CheckBox1->SetCaption("Always perform this check when starting Bramble");
    CheckBox1->SetChecked(true);
    btnYes = new TButton(this);
    btnYes->SetParent(this);
    btnYes->SetBounds(238, 94, 80, 25);
    btnYes->SetCaption("&Yes");
    btnYes->SetModalResult(mrYes);
    btnYes->SetDefault(true);
    btnNo = new TButton(this);
    btnNo->SetParent(this);
    btnNo->SetBounds(326, 94, 80, 25);
    btnNo->SetCaption("&No");
    btnNo->SetModalResult(mrNo);
    btnNo->SetCancel(true);
}

// ---- start-up ---------------------------------------------------------------------------

void TfrmMain::formCreate(TObject*) {
    frmMain = this;
    savedHooks_ = os::GetAppHooks();
    os::SetAppHooks(ProgramHooks());
    hooksInstalled_ = true;

    // 1. The common controls' version decides the list's mode.
    UseVirtualList = true;
    if (HMODULE cc = GetModuleHandleA("comctl32.dll")) {
        struct DllVersion {
            DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
        } v{sizeof(DllVersion), 0, 0, 0, 0};
        using Fn = HRESULT(CALLBACK*)(DllVersion*);
        if (auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(cc, "DllGetVersion"))))
            if (SUCCEEDED(fn(&v))) UseVirtualList = ((v.dwMajorVersion << 16) | v.dwMinorVersion) >= 0x00040046;
    }
    // 2. The entry list over the list view, with the system's icons.
    Entries = std::make_unique<TEntryList>(ListView1, UseVirtualList);
    Entries->Setup();
    Entries->OnInstallEntry = [this](const std::string& Name) {
        // An entry's name, not a command: no standard command's shortcut.
        auto* m = new TMenuItem2000(this);
        m->SetShortCut(0);
        // Doubled so that the click's StripHotkey gives the name back whole
        // ("Setup&Go.exe" is not "SetupGo.exe").
        m->SetCaption(EscapeAmpersands(Name));
        m->OnClick = [this](TObject* s) { Command([&] { PopupHandlerInstall(s); }); };
        PopupMenuInstall->Items()->Add(m);
        PopupMenuInstallChange();
    };
    // Sorting reorders the records a running listing is adding to.
    if (auto click = ListView1->OnColumnClick)
        ListView1->OnColumnClick = [this, click](TObject* s, TListColumn* c) {
            if (!Busy()) click(s, c);
        };
    SetSystemImageLists(ListView1);

    // 3-4. The default-program question.
    TSettings s;
    ReadSettings(s);
    if (!RegistryKeyExists(HKEY_CLASSES_ROOT, "Bramble.zip") && s.DefaultCheck != "No") {
        auto* q = new TfrmDefault(this);
        q->AfterConstruction();
        int answer = q->ShowModal();
        if (answer == mrYes) {
            std::string exe = ProgramFileName();
            MakeAssociation("zip", ExtractFileDir(exe) + "\\default.ico");
            SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
        }
        std::string check = q->CheckBox1->Checked() ? s.DefaultCheck : std::string("No");
        WriteDefaultCheck(check);
        TCustomForm::Free(q);
    }

    // 5-6.
    DisplayTotals();
    ExtractedNames.clear();
    TempFolder.clear();
    // 7. Window place, toolbar, list and folders.
    ApplySettings();
    // 8. Glyphs by the display's colours.
    ToolbarLook();
    // 9. Archives that are gone leave the recent list.
    MRUFileList1->RemoveObsolete();
    // 10. The temporary folder, always with its trailing separator.
    if (TempFolder.empty()) {
        char buf[256] = {};
        DWORD n = GetTempPathA(254, buf);
        TempFolder = (n > 0 && n < 254) ? std::string(buf, n) : std::string("c:\\");
    }
    TempFolder = AppendBackslash(TempFolder);
    // 11-12.
    CompressComponent = Zip1;
    SetDateSeparator('/');
    // 14. Show empty dirs: the command itself flips the stored check back
    // and hands it on.
    mnuBlankDirs1Click(this);
    // 15.
    Dovex1->SetArchiveFile("");

    // 16. The command line.
    const std::vector<std::string>& args = CommandLineArguments();
    if (!args.empty()) {
        TCommandLine cl = ParseCommandLine(args);
        CommandSwitch = cl.Switch;
        CommandPath = cl.Path;
        // Opening changes the current folder: derived names come from the
        // path as it was meant at start-up.
        char buf[MAX_PATH * 2];
        DWORD n = CommandPath.empty() ? 0 : GetFullPathNameA(CommandPath.c_str(), sizeof buf, buf, nullptr);
        switchPath_ = (n > 0 && n < sizeof buf) ? std::string(buf, n) : CommandPath;
        if (CommandSwitch == "/e" || CommandSwitch == "/x" || CommandSwitch == "/s" || CommandSwitch == "none") {
            try {
                Command([&] {
                    std::string path = ExpandLongPath(CommandPath);
                    switchPath_ = path;
                    OpenArchive(path);
                });
            } catch (...) {
                Application->HandleException(this, std::current_exception());
            }
        }
    }
}

void TfrmMain::ApplySettings() {
    TSettings s;
    // Without a stored choice empty folders stay out of the list (the
    // stored value is the inverse of the check, which start-up flips).
    s.BlankDirs = true;
    s.FLeft = Left();
    s.FTop = Top();
    s.FWidth = Width();
    s.FHeight = Height();
    ReadSettings(s);
    if (s.PosFound) {
        // Each look item is set to the opposite and clicked back, which
        // applies it.
        Flat1->SetChecked(!s.tbFlat);
        FlatClick(Flat1);
        Tooltips1->SetChecked(!s.tbTips);
        TooltipsClick(Tooltips1);
        Text1->SetChecked(!s.tbText);
        TextClick(Text1);
        SetBounds(s.FLeft, s.FTop, s.FWidth, s.FHeight);
        if (s.FState == 1) SetWindowState(wsMaximized);
        RestoreBars(s);
    }
    if (s.OptionsFound) {
        // Through the form style: the window does not exist yet at start-up,
        // and the style makes it topmost whenever it is made.
        if (s.OnTop) SetFormStyle(fsStayOnTop);
        TempFolder = s.tmpDir;
        LastOpenFolder = s.LastOpenFolder;
        mnuBlankDirs1->SetChecked(s.BlankDirs);
        if (s.ViewStyle >= 0 && s.ViewStyle <= 3) View1Click(mnuIcons->Items(s.ViewStyle));
        ListView1->SetRowSelect(s.RowSelect);
        ListView1->SetGridLines(s.ShowGrid);
        Entries->SetColumnWidths(std::vector<int>(s.Columns.begin(), s.Columns.end()));
    }
}

void TfrmMain::SaveSettings() {
    TSettings s;
    ReadSettings(s);  // what this window does not own stays as stored
    s.tbFlat = Flat1->Checked();
    s.tbTips = Tooltips1->Checked();
    s.tbText = Text1->Checked();
    if (WindowState() == wsMaximized) {
        s.FState = 1;
    } else {
        s.FState = 0;
        s.FLeft = Left();
        s.FTop = Top();
        s.FWidth = Width();
        s.FHeight = Height();
    }
    StoreBars(s);
    s.LastOpenFolder = LastOpenFolder;
    s.ViewStyle = mnuReport1->Checked() ? 0 : mnuList1->Checked() ? 1 : mnuSmall1->Checked() ? 2 : 3;
    s.RowSelect = ListView1->RowSelect();
    s.ShowGrid = ListView1->GridLines();
    s.BlankDirs = !mnuBlankDirs1->Checked();
    std::vector<int> w = Entries ? Entries->ColumnWidths() : std::vector<int>();
    for (size_t i = 0; i < w.size() && i < s.Columns.size(); ++i) s.Columns[i] = w[i];
    WriteSettings(s);
}

void TfrmMain::formDestroy(TObject*) {
    // Only what this program wrote into the temporary folder goes.
    for (const std::string& n : ExtractedNames) DeleteFileA(n.c_str());
    ExtractedNames.clear();
    if (Entries) FreeSystemImageLists(ListView1);
    SaveSettings();
    Entries.reset();
    if (hooksInstalled_) {
        os::SetAppHooks(savedHooks_);
        hooksInstalled_ = false;
    }
}

void TfrmMain::FormCloseQuery(TObject*, bool& CanClose) {
    if (!Busy()) return;
    // The run is told to stop; the window closes when it has.
    CanClose = false;
    closePending_ = true;
    if (TZipCommon* c = RunningComponent()) c->SetCancel(true);
}

void TfrmMain::ReadOptions() {
    if (!frmOptions) return;
    frmOptions->tmpDir->SetText(TempFolder);
    TRegistry reg(KEY_READ);
    if (!reg.OpenKeyReadOnly(SettingsOptionsKey)) return;
    // A value that is missing, or not of its type, leaves its control as
    // it is. The viewer goes in as text: a stored name the file-name edit
    // would refuse must not stop the window from painting.
    auto text = [&](const char* Value, TCustomEdit* Edit) {
        if (reg.GetDataType(Value) == rdString || reg.GetDataType(Value) == rdExpandString)
            Edit->SetText(reg.ReadStringDef(Value, ""));
    };
    auto radio = [&](const char* Value, TRadioButton* Button) {
        if (reg.GetDataType(Value) == rdInteger) Button->SetChecked(reg.ReadBoolDef(Value, false));
    };
    text("Viewer", frmOptions->ViewProgram);
    radio("StartDefault", frmOptions->RadioDefault);
    radio("StartLast", frmOptions->RadioLastOpen);
    radio("StartOther", frmOptions->RadioOther);
    text("StartupFolder", frmOptions->StartupFolder);
    if (frmOptions->RadioLastOpen->Checked() && reg.GetDataType("LastOpenFolder") == rdString)
        LastOpenFolder = reg.ReadStringDef("LastOpenFolder", LastOpenFolder);
}

void TfrmMain::FormPaint(TObject*) {
    if (!firstPaint_) return;
    firstPaint_ = false;
    ReadOptions();
    if (!switchPosted_ && (CommandSwitch == "/e" || CommandSwitch == "/x" || CommandSwitch == "/s" ||
                           CommandSwitch == "/a")) {
        switchPosted_ = true;
        PostMessageA(Handle(), WM_RUNSWITCH, 0, 0);
    }
    if (ListView1->CanFocus()) ListView1->SetFocus();
}

void TfrmMain::WndProc(TMessage& Message) {
    if (Message.Msg == WM_RUNSWITCH) {
        RunSwitch();
        return;
    }
    if (Message.Msg == WM_GETMINMAXINFO && HandleAllocated()) {
        TForm::WndProc(Message);
        const TPoint least = MinimumClientSize();
        RECT r{0, 0, least.X, least.Y};
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_STYLE)), GetMenu(Handle()) != nullptr,
                           static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_EXSTYLE)));
        auto* mmi = reinterpret_cast<MINMAXINFO*>(Message.LParam);
        mmi->ptMinTrackSize.x = std::max<LONG>(mmi->ptMinTrackSize.x, r.right - r.left);
        mmi->ptMinTrackSize.y = std::max<LONG>(mmi->ptMinTrackSize.y, r.bottom - r.top);
        return;
    }
    if (Message.Msg == WM_SELECTIONTOTALS) {
        totalsPosted_ = false;
        // A run writes its own progress into the status bar.
        if (!Busy()) DisplayTotals();
        return;
    }
    TForm::WndProc(Message);
}

void TfrmMain::RunSwitch() {
    const std::string sw = CommandSwitch;
    CommandSwitch = "none";
    // These three end the program after their action; "/e" leaves the
    // window open.
    const bool closing = sw == "/x" || sw == "/a" || sw == "/s";
    try {
        RunSwitchAction(sw);
    } catch (...) {
        // Shown before the window goes, not swallowed by its closing.
        Application->HandleException(this, std::current_exception());
    }
    if (closing) {
        // Whatever happened to the action, the window closes after it.
        closePending_ = true;
        if (!Busy() && HandleAllocated()) PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }
}

void TfrmMain::RunSwitchAction(const std::string& sw) {
    if (sw == "/x") {
        Command([&] {
            const std::string folder = PathWithoutExtension(switchPath_.empty() ? CommandPath : switchPath_);
            if (IsNameableFolder(folder) && CreateDirectoryA(folder.c_str(), nullptr)) {
                ExtractFiles(folder, "", "", 0, 1, true);
            } else {
                Application->MessageBox("Cannot create folder " + folder, Application->Title(), MB_OK);
            }
        });
    } else if (sw == "/a") {
        Command([&] {
            if (!Zip1) return;
            const std::string source = switchPath_.empty() ? CommandPath : switchPath_;
            const std::string archive = AddArchiveName(source);
            // A file on a floppy in drive A: does not go on the recent list:
            // the disk will not be there next time.
            const std::string folder = ExtractFilePath(source);
            if (folder.empty() || std::tolower(static_cast<unsigned char>(folder[0])) != 'a')
                MRUFileList1->AddItem(archive);
            CompressComponent = Zip1;
            Zip1->SetSwitch(swAdd);
            Zip1->SetArchiveFile(archive);
            Zip1->SetDefaultDir(ExtractFilePath(source));
            Zip1->FileSpec().clear();
            Zip1->FileSpec().push_back(ExtractFileName(source));
            Zip1->Compress();
        });
    }
    else if (sw == "/s") {
        Command([&] { FileMakeexe1Click(this); });
    }
    else if (sw == "/e") {
        Command([&] { mnuExtract1Click(this); });
    }
}

}  // namespace bramble
