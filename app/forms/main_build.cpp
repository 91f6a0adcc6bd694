// Building the main window: its menus, toolbar, list, Messages window and
// status bar, and the engine components with their events wired to the
// window's handlers.
#include <windows.h>

#include "app/forms/main_private.h"
#include "app/widgets/dragdrop.h"
#include "app/widgets/mrulist.h"
#include "app/widgets/statusbar.h"
#include "engine/readers/readers.h"
#include "engine/readers/ungzip.h"
#include "engine/readers/untar.h"
#include "engine/readers/uudecode.h"
#include "engine/bindings/makecab.h"
#include "engine/writers/bh.h"
#include "engine/writers/gzip.h"
#include "engine/writers/lha.h"
#include "engine/writers/tar.h"
#include "engine/writers/uuencode.h"
#include "engine/writers/zip.h"
#include "kits/menu/shortcutlist.h"

namespace bramble {

TfrmMain* frmMain = nullptr;

// ---- the indicator box ------------------------------------------------------------------

TLedBox::TLedBox(TComponent* AOwner) : TCustomControl(AOwner) {}

void TLedBox::Paint() {
    if (OnPaint) OnPaint(this);
}

// ---- construction -----------------------------------------------------------------------

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmMain");
    SetCaption("Bramble");
    SetPosition(poDesigned);
    SetBounds(100, 100, 640, 480);
    Font().SetName("MS Sans Serif");
    // The program's own icon on the title bar and the taskbar; a host
    // without it (a test) keeps the system's.
    if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON")) Icon().SetHandle(CopyIcon(icon));

    BuildStatusBar();
    BuildDocks();
    BuildListAndMessages();
    BuildToolbar();
    BuildMenus();
    BuildMenuBar();
    CreateEngine();

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->SetName("OpenDialog1");

    OnCreate = [this](TObject* s) { formCreate(s); };
    OnDestroy = [this](TObject* s) { formDestroy(s); };
    OnPaint = [this](TObject* s) { FormPaint(s); };
    OnResize = [this](TObject* s) { FormResize(s); };
    OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
}

TfrmMain::~TfrmMain() {
    if (hooksInstalled_) os::SetAppHooks(savedHooks_);
    if (frmMain == this) frmMain = nullptr;
}

namespace {
TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const std::string& Name, const std::string& Caption,
                   TShortCut Short = 0) {
    // A kit item: no shortcut here means none, not the standard command's.
    auto* m = new TMenuItem2000(Owner);
    m->SetName(Name);
    m->SetCaption(Caption);
    if (Short) m->SetShortCut(Short);
    else m->SetShortCutList(menukit::cNoShortCut);
    if (Parent) Parent->Add(m);
    return m;
}
}  // namespace

void TfrmMain::BuildMenus() {
    MainMenu1 = new TMainMenu2000(this);
    MainMenu1->SetName("MainMenu1");
    TMenuItem* root = MainMenu1->Items();
    auto cmd = [this](TMenuItem* m, void (TfrmMain::*fn)(TObject*)) {
        m->OnClick = [this, fn](TObject* s) { Command([&] { (this->*fn)(s); }); };
    };
    auto plain = [this](TMenuItem* m, void (TfrmMain::*fn)(TObject*)) {
        m->OnClick = [this, fn](TObject* s) { (this->*fn)(s); };
    };

    mnuFile = NewItem(this, root, "mnuFile", "&File");
    mnuNew1 = NewItem(this, mnuFile, "mnuNew1", "&New...");
    mnuOpen1 = NewItem(this, mnuFile, "mnuOpen1", "&Open...");
    mnuClose1 = NewItem(this, mnuFile, "mnuClose1", "&Close", ShortCut('C', {ssCtrl}));
    NewItem(this, mnuFile, "N1", "-");
    FileMakeexe1 = NewItem(this, mnuFile, "FileMakeexe1", "&Make self extracting .exe");
    mnuUUEncode1 = NewItem(this, mnuFile, "mnuUUEncode1", "&UUEncode...", ShortCut('U', {ssCtrl}));
    TMenuItem* N2 = NewItem(this, mnuFile, "N2", "-");
    mnuExit1 = NewItem(this, mnuFile, "mnuExit1", "E&xit", ShortCut('X', {ssCtrl}));
    cmd(mnuOpen1, &TfrmMain::mnuOpen1Click);
    cmd(mnuNew1, &TfrmMain::mnuNew1Click);
    cmd(mnuClose1, &TfrmMain::mnuClose1Click);
    plain(mnuExit1, &TfrmMain::mnuExit1Click);
    cmd(FileMakeexe1, &TfrmMain::FileMakeexe1Click);
    // Shown while the open archive is a ZIP.
    FileMakeexe1->SetVisible(false);
    static_cast<TMenuItem2000*>(mnuUUEncode1)->SetHidden(true);
    cmd(mnuUUEncode1, &TfrmMain::mnuUUEncode1Click);

    mnuAction = NewItem(this, root, "mnuAction", "&Action");
    mnuAddFiles1 = NewItem(this, mnuAction, "mnuAddFiles1", "&Add files...", ShortCut('F', {ssCtrl}));
    mnuDelete1 = NewItem(this, mnuAction, "mnuDelete1", "&Delete selected", ShortCut(VK_DELETE, {}));
    mnuExtract1 = NewItem(this, mnuAction, "mnuExtract1", "&Extract...", ShortCut('E', {ssCtrl}));
    ActionFastextract1 = NewItem(this, mnuAction, "ActionFastextract1", "&Fast extract");
    mnuView2 = NewItem(this, mnuAction, "mnuView2", "&View", ShortCut(VK_F6, {}));
    NewItem(this, mnuAction, "N3", "-");
    SelectAll1 = NewItem(this, mnuAction, "SelectAll1", "Select A&ll");
    Invertselection1 = NewItem(this, mnuAction, "Invertselection1", "&Invert selection");
    NewItem(this, mnuAction, "N4", "-");
    mnuTest = NewItem(this, mnuAction, "mnuTest", "&Test", ShortCut('T', {ssCtrl}));
    mnuRefresh1 = NewItem(this, mnuAction, "mnuRefresh1", "&Refresh", ShortCut(VK_F5, {}));
    cmd(mnuAddFiles1, &TfrmMain::mnuAddFiles1Click);
    cmd(mnuDelete1, &TfrmMain::mnuDelete1Click);
    cmd(mnuExtract1, &TfrmMain::mnuExtract1Click);
    cmd(ActionFastextract1, &TfrmMain::ActionFastextract1Click);
    cmd(mnuView2, &TfrmMain::mnuView2Click);
    cmd(SelectAll1, &TfrmMain::SelectAll1Click);
    cmd(Invertselection1, &TfrmMain::Invertselection1Click);
    cmd(mnuTest, &TfrmMain::mnuTestClick);
    cmd(mnuRefresh1, &TfrmMain::mnuRefresh1Click);

    mnuViewMenu = NewItem(this, root, "mnuViewMenu", "&View");
    mnuToolbar = NewItem(this, mnuViewMenu, "mnuToolbar", "&Toolbar");
    mnuErrorMessages1 = NewItem(this, mnuViewMenu, "mnuErrorMessages1", "&Messages", ShortCut(VK_F1, {ssCtrl}));
    mnuDisplayElapsedTime1 = NewItem(this, mnuViewMenu, "mnuDisplayElapsedTime1", "Display &Elapsed time");
    mnuBlankDirs1 = NewItem(this, mnuViewMenu, "mnuBlankDirs1", "Show empty &dirs");
    NewItem(this, mnuViewMenu, "N5", "-");
    mnuSort1 = NewItem(this, mnuViewMenu, "mnuSort1", "&Sort");
    mnuIcons = NewItem(this, mnuViewMenu, "mnuIcons", "&Icons");
    mnuReport1 = NewItem(this, mnuIcons, "mnuReport1", "&Report");
    mnuList1 = NewItem(this, mnuIcons, "mnuList1", "&List");
    mnuSmall1 = NewItem(this, mnuIcons, "mnuSmall1", "&Small");
    mnuLarge1 = NewItem(this, mnuIcons, "mnuLarge1", "L&arge");
    NewItem(this, mnuViewMenu, "N6", "-");
    mnuOptions = NewItem(this, mnuViewMenu, "mnuOptions", "&Options...");
    mnuToolbar->SetChecked(true);
    mnuErrorMessages1->SetChecked(true);
    static_cast<TMenuItem2000*>(mnuDisplayElapsedTime1)->SetHidden(true);
    static_cast<TMenuItem2000*>(mnuBlankDirs1)->SetHidden(true);
    mnuBlankDirs1->SetChecked(true);  // flipped at start-up: empty folders hidden
    for (TMenuItem* m : {mnuReport1, mnuList1, mnuSmall1, mnuLarge1}) {
        m->SetRadioItem(true);
        m->SetGroupIndex(1);
        cmd(m, &TfrmMain::View1Click);
    }
    mnuReport1->SetChecked(true);
    plain(mnuToolbar, &TfrmMain::mnuToolbarClick);
    plain(mnuErrorMessages1, &TfrmMain::mnuErrorMessages1Click);
    plain(mnuDisplayElapsedTime1, &TfrmMain::mnuDisplayElapsedTime1Click);
    cmd(mnuBlankDirs1, &TfrmMain::mnuBlankDirs1Click);
    cmd(mnuSort1, &TfrmMain::mnuSort1Click);
    cmd(mnuOptions, &TfrmMain::mnuOptionsClick);

    mnuHelp = NewItem(this, root, "mnuHelp", "&Help");
    Contents1 = NewItem(this, mnuHelp, "Contents1", "&Contents", ShortCut(VK_F1, {}));
    BrambleHomepage1 = NewItem(this, mnuHelp, "BrambleHomepage1", "Bramble &home page");
    NewItem(this, mnuHelp, "N7", "-");
    About1 = NewItem(this, mnuHelp, "About1", "&About...");
    plain(Contents1, &TfrmMain::Contents1Click);
    plain(BrambleHomepage1, &TfrmMain::BrambleHomepage1Click);
    plain(About1, &TfrmMain::About1Click);

    // Hints of our own: a caption that matches a standard command would
    // otherwise show that command's text.
    const std::pair<TMenuItem*, const char*> hints[] = {
        {mnuNew1, "Create a new archive"},
        {mnuOpen1, "Open an archive"},
        {mnuClose1, "Close the archive"},
        {FileMakeexe1, "Make a self-extracting program of the archive"},
        {mnuUUEncode1, "UUEncode or XXEncode a file"},
        {mnuExit1, "Quit Bramble"},
        {mnuAddFiles1, "Add files to the archive"},
        {mnuDelete1, "Delete the selected files from the archive"},
        {mnuExtract1, "Extract files from the archive"},
        {ActionFastextract1, "Extract into a folder named after the archive"},
        {mnuView2, "Open the selected file with its program"},
        {SelectAll1, "Select every file in the list"},
        {Invertselection1, "Select the unselected files and unselect the others"},
        {mnuTest, "Test the archive"},
        {mnuRefresh1, "Read the archive again"},
        {mnuToolbar, "Show or hide the toolbar"},
        {mnuErrorMessages1, "Show or hide the Messages window"},
        {mnuDisplayElapsedTime1, "Show how long an operation took"},
        {mnuBlankDirs1, "Show or hide empty folders"},
        {mnuSort1, "Sort the list"},
        {mnuIcons, "Choose how the list shows the files"},
        {mnuOptions, "Change Bramble's settings"},
        {Contents1, "Open the help"},
        {BrambleHomepage1, "Visit Bramble's home page"},
        {About1, "About Bramble"},
    };
    for (const auto& [m, h] : hints) m->SetHint(h);

    // Until an archive is open the archive commands are off.
    for (TMenuItem* m : {mnuAddFiles1, mnuDelete1, mnuExtract1, ActionFastextract1, mnuView2, SelectAll1,
                         Invertselection1, mnuTest, mnuRefresh1, mnuClose1})
        m->SetEnabled(false);
    // The menu is shown by the menu bar on the "Menu Bar" toolbar, not as
    // the window's own bar. The hidden items the user chose stay shown.
    MainMenu1->Loaded();

    // The list's popup menu.
    PopupMenu98List = new TPopupMenu2000(this);
    PopupMenu98List->SetName("PopupMenu98List");
    ListOpen1 = NewItem(this, PopupMenu98List->Items(), "ListOpen1", "&Open");
    Properties1 = NewItem(this, PopupMenu98List->Items(), "Properties1", "&Properties");
    ListOpen1->SetDefault(true);
    cmd(ListOpen1, &TfrmMain::ListView1DblClick);
    cmd(Properties1, &TfrmMain::Properties1Click);

    // The recent archives go above the separator before Exit; the list
    // reads them back as soon as it knows where they are stored.
    MRUFileList1 = new TMRUFileList(this);
    MRUFileList1->SetName("MRUFileList1");
    MRUFileList1->SetMaximum(4);
    MRUFileList1->SetMaxCaptionWidth(130);
    MRUFileList1->SetFileMenu(N2);
    MRUFileList1->OnMRUItemClick = [this](TObject* s, const std::string& f) {
        Command([&] { MRUFileList1MRUItemClick(s, f); });
    };
    MRUFileList1->SetAutoSaveName("\\Software\\Quillmar\\Bramble");
}

void TfrmMain::BuildDocks() {
    // Made after the status bar, so the bottom dock sits above it.
    auto dock = [this](const char* name, TDockPosition p) {
        auto* d = new TDock97(this);
        d->SetName(name);
        d->SetPosition(p);
        d->SetParent(this);
        return d;
    };
    DockTop = dock("DockTop", dpTop);
    DockBottom = dock("DockBottom", dpBottom);
    DockLeft = dock("DockLeft", dpLeft);
    DockRight = dock("DockRight", dpRight);
}

void TfrmMain::BuildToolbar() {
    Skiffbar1 = new TSkiffbar(this);
    Skiffbar1->SetName("Skiffbar1");
    Skiffbar1->SetCaption("Toolbar");
    Skiffbar1->SetDockRow(1);
    Skiffbar1->SetDockedTo(DockTop);
    Skiffbar1->OnClose = [this](TObject* s) { Skiffbar1Close(s); };

    PopupMenuTB = new TPopupMenu2000(this);
    PopupMenuTB->SetName("PopupMenuTB");
    Flat1 = NewItem(this, PopupMenuTB->Items(), "Flat1", "&Flat");
    Text1 = NewItem(this, PopupMenuTB->Items(), "Text1", "&Text");
    Tooltips1 = NewItem(this, PopupMenuTB->Items(), "Tooltips1", "T&ooltips");
    Flat1->OnClick = [this](TObject* s) { FlatClick(s); };
    Text1->OnClick = [this](TObject* s) { TextClick(s); };
    Tooltips1->OnClick = [this](TObject* s) { TooltipsClick(s); };
    Text1->SetChecked(true);
    Flat1->SetChecked(true);
    Tooltips1->SetChecked(true);
    Skiffbar1->SetPopupMenu(PopupMenuTB);

    PopupMenuOpen = new TPopupMenu2000(this);
    PopupMenuOpen->SetName("PopupMenuOpen");
    PopupMenuExtract = new TPopupMenu2000(this);
    PopupMenuExtract->SetName("PopupMenuExtract");
    PopupMenuInstall = new TPopupMenu2000(this);
    PopupMenuInstall->SetName("PopupMenuInstall");

    auto button = [this](const std::string& name, const std::string& caption, const std::string& hint) {
        auto* b = new TToolbarButton97(this);
        b->SetName(name);
        b->SetCaption(caption);
        b->SetHint(hint);
        b->SetLayout(blGlyphTop);
        b->SetSpacing(1);
        b->SetMargin(2);
        b->SetParent(Skiffbar1);
        return b;
    };
    auto separator = [this](const std::string& name) {
        auto* s = new TToolbarSep97(this);
        s->SetName(name);
        s->SetParent(Skiffbar1);
    };
    ToolbarButtonNew = button("ToolbarButtonNew", "New", "New archive");
    ToolbarButtonOpen = button("ToolbarButtonOpen", "Open", "Open archive");
    ToolbarButtonAdd = button("ToolbarButtonAdd", "Add", "Add files");
    separator("ToolbarSep971");
    ToolbarButtonExtract = button("ToolbarButtonExtract", "Extract", "Extract files");
    ToolbarButtonDel = button("ToolbarButtonDel", "Delete", "Delete selected files");
    separator("ToolbarSep972");
    ToolbarButtonView = button("ToolbarButtonView", "View", "View selected files");
    ToolbarButtonInstall = button("ToolbarButtonInstall", "Install", "Install");
    ToolbarButtonInstall->SetVisible(false);
    // Its own look, which the toolbar's Text toggle leaves alone.
    ToolbarButtonInstall->SetDisplayMode(dmBoth);
    ToolbarButtonInstall->SetBounds(0, 0, 52, 42);

    // Open and Extract drop their lists from an arrow beside the button;
    // Install is a drop-down as a whole.
    ToolbarButtonOpen->SetDropdownCombo(true);
    ToolbarButtonOpen->SetDropdownMenu(PopupMenuOpen);
    ToolbarButtonExtract->SetDropdownCombo(true);
    ToolbarButtonExtract->SetDropdownMenu(PopupMenuExtract);
    ToolbarButtonInstall->SetDropdownMenu(PopupMenuInstall);
    // No list while a run is under way: its commands would be refused.
    for (TToolbarButton97* b : {ToolbarButtonOpen, ToolbarButtonExtract, ToolbarButtonInstall})
        b->OnDropdown = [this](TObject*, bool& Show, bool&) {
            if (Busy()) Show = false;
        };

    ToolbarButtonOpen->OnClick = [this](TObject* s) { Command([&] { mnuOpen1Click(s); }); };
    ToolbarButtonNew->OnClick = [this](TObject* s) { Command([&] { mnuNew1Click(s); }); };
    ToolbarButtonAdd->OnClick = [this](TObject* s) { ToolbarCommand(mnuAddFiles1, &TfrmMain::mnuAddFiles1Click, s); };
    ToolbarButtonDel->OnClick = [this](TObject* s) { ToolbarCommand(mnuDelete1, &TfrmMain::mnuDelete1Click, s); };
    ToolbarButtonView->OnClick = [this](TObject* s) { Command([&] { mnuView2Click(s); }); };
    ToolbarButtonExtract->OnClick = [this](TObject* s) {
        ToolbarCommand(mnuExtract1, &TfrmMain::mnuExtract1Click, s);
    };
    PopupMenuOpen->OnPopup = [this](TObject* s) { PopupMenuOpenPopup(s); };
    PopupMenuExtract->OnPopup = [this](TObject* s) { PopupMenuExtractPopup(s); };

    struct HoverSpec {
        TToolbarButton97* b;
        const char* base;
    };
    for (HoverSpec h : {HoverSpec{ToolbarButtonNew, "NEW"}, {ToolbarButtonOpen, "OPEN"}, {ToolbarButtonAdd, "ADD"},
                        {ToolbarButtonExtract, "EXTR"}, {ToolbarButtonDel, "DEL"}, {ToolbarButtonView, "VIEW"},
                        {ToolbarButtonInstall, "SETUP"}}) {
        TToolbarButton97* b = h.b;
        std::string base = h.base;
        b->OnMouseEnter = [this, b, base](TObject*) { ButtonHover(b, base, true); };
        b->OnMouseExit = [this, b, base](TObject*) { ButtonHover(b, base, false); };
    }
    for (TToolbarButton97* b : {ToolbarButtonAdd, ToolbarButtonExtract, ToolbarButtonDel, ToolbarButtonView})
        b->SetEnabled(false);
    ToolbarLook();
}

void TfrmMain::BuildMenuBar() {
    MainMenu981 = new TSkiffbar(this);
    MainMenu981->SetName("MainMenu981");
    MainMenu981->SetCaption("Menu Bar");
    // Closed, the menu bar could not be brought back: nothing names it on
    // the View menu, and its place is not stored as hidden.
    MainMenu981->SetCloseButton(false);
    MainMenu981->SetDockRow(0);
    MainMenu981->SetDockedTo(DockTop);
    MenuBar20001 = new TMenuBar2000(this);
    MenuBar20001->SetName("MenuBar20001");
    // The toolbar sizes itself to the bar: stretched to the toolbar's width
    // the bar would widen the toolbar at every fit.
    MenuBar20001->SetAlign(alNone);
    MenuBar20001->StretchToParent = false;
    MenuBar20001->SetParent(MainMenu981);
    MenuBar20001->SetMenu(MainMenu1);
}

void TfrmMain::BuildListAndMessages() {
    MsgToolWindow = new TToolWindow97(this);
    MsgToolWindow->SetName("MsgToolWindow");
    MsgToolWindow->SetCaption("Messages");
    // The settings record the Messages window's dock as top or bottom
    // only; a side dock could not be restored.
    MsgToolWindow->SetDockableTo({dpTop, dpBottom});
    MsgToolWindow->SetFullSize(true);
    MsgToolWindow->SetClientAreaWidth(400);
    MsgToolWindow->SetClientAreaHeight(100);
    MsgToolWindow->SetDockedTo(DockBottom);
    MsgToolWindow->OnClose = [this](TObject* s) { MsgToolWindowClose(s); };

    RichEdit1 = new TRichEdit(this);
    RichEdit1->SetName("RichEdit1");
    RichEdit1->SetParent(MsgToolWindow);
    RichEdit1->SetAlign(alClient);
    RichEdit1->SetReadOnly(true);
    RichEdit1->SetWordWrap(false);
    RichEdit1->SetScrollBars(ssBoth);

    ListView1 = new TListView(this);
    ListView1->SetName("ListView1");
    ListView1->SetParent(this);
    ListView1->SetAlign(alClient);
    ListView1->SetViewStyle(vsReport);
    ListView1->SetMultiSelect(true);
    ListView1->SetReadOnly(true);
    ListView1->SetHideSelection(false);
    ListView1->OnDblClick = [this](TObject* s) { Command([&] { ListView1DblClick(s); }); };
    ListView1->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { ListView1KeyDown(s, k, sh); };
    ListView1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        ListView1MouseDown(s, b, sh, x, y);
    };
    ListView1->OnClick = [this](TObject* s) { ListView1Click(s); };
    ListView1->OnChange = [this](TObject* s, TListItem* i, TItemChange c) { ListView1Change(s, i, c); };
    ListView1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { ListView1MouseMove(s, sh, x, y); };

    // Files from the shell: on the window they open an archive, on the
    // list (while one is open) they are added to it.
    DragFilesTrg1 = new TDragFilesTrg(this);
    DragFilesTrg1->SetName("DragFilesTrg1");
    DragFilesTrg1->SetTarget(this);
    DragFilesTrg1->SetEnabled(true);
    DragFilesTrg1->OnDrop = [this](TObject* s) { Command([&] { DragFilesTrg1Drop(s); }); };
    DragFilesTrg2 = new TDragFilesTrg(this);
    DragFilesTrg2->SetName("DragFilesTrg2");
    DragFilesTrg2->SetTarget(ListView1);
    DragFilesTrg2->OnDrop = [this](TObject* s) { Command([&] { DragFilesTrg2Drop(s); }); };
    DragFilesSrc1 = new TDragFilesSrc(this);
    DragFilesSrc1->SetName("DragFilesSrc1");
    DragFilesSrc1->OnDropping = [this](TObject* s) { DragFilesSrc1Dropping(s); };
}

void TfrmMain::BuildStatusBar() {
    StatusBar1 = new TFriendlyStatusBar(this);
    StatusBar1->SetName("StatusBar1");
    StatusBar1->SetParent(this);
    StatusBar1->SetBounds(0, 440, 640, 20);
    StatusBar1->SetAlign(alBottom);
    StatusBar1->SetSizeGrip(false);
    for (int i = 0; i < 3; ++i) StatusBar1->Panels().Add();
    StatusBar1->OnClick = [this](TObject*) { DisplayTotals(); };
    StatusBar1->OnResize = [this](TObject* s) { FormResize(s); };

    ProgressBar1 = new TProgressBar(this);
    ProgressBar1->SetName("ProgressBar1");
    ProgressBar1->SetParent(StatusBar1);
    ProgressBar1->SetVisible(false);
    ProgressBar1->SetSmooth(true);

    imgLed.SetSize(13, 13);
    {
        TCanvas& c = imgLed.Canvas();
        c.Brush().SetColor(clBtnFace);
        c.FillRect(Rect(0, 0, 13, 13));
        c.Pen().SetColor(clDkGray);
        c.Brush().SetColor(clGreen);
        c.Ellipse(1, 1, 12, 12);
    }
    pbxLed = new TLedBox(this);
    pbxLed->SetName("pbxLed");
    pbxLed->SetParent(StatusBar1);
    pbxLed->SetBounds(0, 2, 18, 16);
    pbxLed->SetHint("Click to cancel");
    pbxLed->SetShowHint(true);
    pbxLed->OnPaint = [this](TObject* s) { pbxLedPaint(s); };
    pbxLed->OnClick = [this](TObject* s) { pbxLedClick(s); };
}

void TfrmMain::WireReader(TUnBase* R, TArcType Kind) {
    R->OnBegin = [this](TObject* s, const std::string& fn, int n, bool& x) { UnZIP1begin(s, fn, n, x); };
    R->OnEnd = [this](TObject* s, const std::string& fn, bool pass) { UnZIP1end(s, fn, pass); };
    R->OnProgress = [this](TObject* s, uint8_t f, uint8_t a) { UnZIP1Progress(s, f, a); };
    R->OnError = [this](TObject* s, const std::string& fn, const std::string& ex, const std::string& v, int c) {
        Dovex1Error(s, fn, ex, v, c);
    };
    R->OnFileExists = [this](TObject* s, const std::string& fn, TDateTime d, TOverwriteMode& m) {
        UnZIP1FileExists(s, fn, d, m);
    };
    R->OnElapsedTime = [this](TObject* s, float t) { UnZIP1ElapsedTime(s, t); };
    const bool zip = Kind == atZip || Kind == atZipExe || Kind == atZipMV;
    const bool volumes = Kind == atACE || Kind == atArj || Kind == atArjExe || Kind == atRar || Kind == atRarExe ||
                         Kind == atCab || Kind == atUue;
    const bool passwords = Kind != atCab && Kind != atUue && Kind != atArc && Kind != atArcExe && Kind != atGZip &&
                           Kind != atLha && Kind != atLhaExe && Kind != atLzh && Kind != atLzhExe &&
                           Kind != atTar && Kind != atZoo;
    if (passwords)
        R->OnGetPassword = [this](TObject* s, const std::string& fn, std::string& p, bool& t) {
            UnZIP1GetPassword(s, fn, p, t);
        };
    if (volumes)
        R->OnNextVolume = [this](TObject* s, std::string& n, const std::string& id, bool e, bool& c) {
            Dovex1NextVolume(s, n, id, e, c);
        };
    if (zip) {
        R->OnGetZipFirstDisk = [this](TObject* s, bool& c) { Dovex1GetZipFirstDisk(s, c); };
        R->OnGetZipLastDisk = [this](TObject* s, bool& c) { Dovex1GetZipLastDisk(s, c); };
        R->OnGetZipNextDisk = [this](TObject* s, const std::string& n, bool& c) { Dovex1GetZipNextDisk(s, n, c); };
    }
}

void TfrmMain::WireWriter(TCompBase* W, unsigned Events) {
    W->OnActivate = [this](TObject* s) { Zip1Activate(s); };
    W->OnDeactivate = [this](TObject* s) { Zip1Deactivate(s); };
    W->OnBegin = [this](TObject* s, const std::string& fn, int n, bool& x) { Zip1begin(s, fn, n, x); };
    W->OnEnd = [this](TObject* s, const std::string& fn, bool pass) { Zip1end(s, fn, pass); };
    W->OnProgress = [this](TObject* s, uint8_t f, uint8_t a) { UnZIP1Progress(s, f, a); };
    W->OnError = [this](TObject* s, const std::string& fn, const std::string& ex, const std::string& v, int c) {
        Dovex1Error(s, fn, ex, v, c);
    };
    W->OnElapsedTime = [this](TObject* s, float t) { UnZIP1ElapsedTime(s, t); };
    W->OnNonWriteableArchive = [this](TObject* s, const std::string& a, bool& w) { Zip1NonWriteableArchive(s, a, w); };
    if (Events & weRead) W->OnRead = [this](TObject* s, int o, int n) { Dovex1Read(s, o, n); };
    if (Events & weFolders) {
        W->OnRecurseDir = [this](TObject* s, const std::string& d) { Zip1RecurseDir(s, d); };
        W->OnReplaceFile = [this](TObject* s, const std::string& ofn, const std::string& fn, TDateTime od,
                                  TDateTime nd, int os, int ns, int oa, int na, bool& r) {
            Zip1ReplaceFile(s, ofn, fn, od, nd, os, ns, oa, na, r);
        };
    }
    if (Events & wePassword)
        W->OnGetPassword = [this](TObject* s, const std::string& fn, std::string& p, bool& t) {
            UnZIP1GetPassword(s, fn, p, t);
        };
    // A writer that makes one output file beside its source asks before
    // replacing one that is there.
    if (Events & weFileExists)
        W->OnFileExists = [this](TObject* s, const std::string& fn, TDateTime d, TOverwriteMode& m) {
            UnZIP1FileExists(s, fn, d, m);
        };
}

void TfrmMain::CreateEngine() {
    Dovex1 = new TDovex(this);
    Dovex1->SetName("Dovex1");
    Dovex1->OnActivate = [this](TObject* s) { Dovex1Activate(s); };
    Dovex1->OnDeactivate = [this](TObject* s) { Dovex1Deactivate(s); };
    Dovex1->OnError = [this](TObject* s, const std::string& fn, const std::string& ex, const std::string& v, int c) {
        Dovex1Error(s, fn, ex, v, c);
    };
    Dovex1->OnNextVolume = [this](TObject* s, std::string& n, const std::string& id, bool e, bool& c) {
        Dovex1NextVolume(s, n, id, e, c);
    };
    Dovex1->OnRead = [this](TObject* s, int o, int n) { Dovex1Read(s, o, n); };
    Dovex1->OnCorruptZipHeader = [this](TObject* s, uint8_t f, bool& c) { Dovex1CorruptZipHeader(s, f, c); };
    Dovex1->OnGetZipFirstDisk = [this](TObject* s, bool& c) { Dovex1GetZipFirstDisk(s, c); };
    Dovex1->OnGetZipLastDisk = [this](TObject* s, bool& c) { Dovex1GetZipLastDisk(s, c); };
    Dovex1->OnGetZipNextDisk = [this](TObject* s, const std::string& n, bool& c) { Dovex1GetZipNextDisk(s, n, c); };
    Dovex1->OnElapsedTime = [this](TObject* s, float t) { UnZIP1ElapsedTime(s, t); };

    ZipCheck1 = new TZipCheck(this);
    ZipCheck1->SetName("ZipCheck1");
    ZipCheck1->OnActivate = [this](TObject* s) { ZipCheck1Activate(s); };
    ZipCheck1->OnDeactivate = [this](TObject* s) { ZipCheck1Deactivate(s); };
    ZipCheck1->OnBegin = [this](TObject* s, const std::string& fn, int n, bool& x) { UnZIP1begin(s, fn, n, x); };
    ZipCheck1->OnEnd = [this](TObject* s, const std::string& fn) { ZipCheck1End(s, fn); };
    ZipCheck1->OnProgress = [this](TObject* s, uint8_t f, uint8_t a) { UnZIP1Progress(s, f, a); };
    ZipCheck1->OnError = [this](TObject* s, const std::string& fn, const std::string& ex, const std::string& v,
                                int c) { ZipCheck1Error(s, fn, ex, v, c); };
    ZipCheck1->OnGetPassword = [this](TObject* s, const std::string& fn, std::string& p, bool& t) {
        UnZIP1GetPassword(s, fn, p, t);
    };
    ZipCheck1->OnNextVolume = [this](TObject* s, std::string& n, const std::string& id, bool e, bool& c) {
        ZipCheck1NextVolume(s, n, id, e, c);
    };
    ZipCheck1->OnStatus = [this](TObject* s, const std::string& fn, bool p) { ZipCheck1Status(s, fn, p); };
    ZipCheck1->OnElapsedTime = [this](TObject* s, float t) { UnZIP1ElapsedTime(s, t); };

    UnTAR1 = new TUnTAR(this);
    UnTAR1->SetName("UnTAR1");
    WireReader(UnTAR1, atTar);
    UUDecode1 = new TUUDecode(this);
    UUDecode1->SetName("UUDecode1");
    WireReader(UUDecode1, atUue);
    // One reader per family, each wired for what its kind can ask.
    struct ReaderSlot {
        TUnBase** slot;
        TArcType kind;
        const char* name;
    };
    for (ReaderSlot r : {ReaderSlot{&UnACE1, atACE, "UnACE1"}, {&UnARC1, atArc, "UnARC1"}, {&UnARJ1, atArj, "UnARJ1"},
                         {&UnBH1, atBh, "UnBH1"}, {&UnCAB1, atCab, "UnCAB1"}, {&UnGZIP1, atGZip, "UnGZIP1"},
                         {&UnJar1, atJar, "UnJar1"}, {&UnLHA1, atLha, "UnLHA1"}, {&UnRAR1, atRar, "UnRAR1"},
                         {&UnZIP1, atZip, "UnZIP1"}, {&UnZOO1, atZoo, "UnZOO1"}}) {
        std::unique_ptr<TUnBase> reader = CreateReaderForKind(r.kind);
        reader->SetName(r.name);
        WireReader(reader.get(), r.kind);
        // A decompressed TAR goes on to the window's TAR reader, which has
        // the window's events.
        if (auto* gz = dynamic_cast<TUnGZIP*>(reader.get())) gz->SetUnTar(UnTAR1);
        *r.slot = reader.get();
        readers_.push_back(std::move(reader));
    }

    constexpr unsigned archive = weRead | weFolders;
    auto* zip = new TZip(this);
    zip->SetName("Zip1");
    Zip1 = zip;
    WireWriter(Zip1, archive | wePassword);
    zip->OnInsertDiskette = [this](TObject* s, const std::string& n, int t, int f, bool& c) {
        Zip1InsertDiskette(s, n, t, f, c);
    };
    auto* tar = new TTar(this);
    tar->SetName("Tar1");
    Tar1 = tar;
    WireWriter(Tar1, archive);
    auto* bh = new TBlakHole(this);
    bh->SetName("BlakHole1");
    BlakHole1 = bh;
    WireWriter(BlakHole1, archive | wePassword);
    auto* lha = new TLha(this);
    lha->SetName("Lha1");
    Lha1 = lha;
    WireWriter(Lha1, archive);
    auto* cab = new TMakeCAB(this);
    cab->SetName("MakeCAB1");
    MakeCAB1 = cab;
    WireWriter(MakeCAB1, archive);
    auto* gz = new TGZip(this);
    gz->SetName("GZip1");
    GZip1 = gz;
    WireWriter(GZip1, weRead | weFileExists);
    auto* jar = new TJar(this);
    jar->SetName("Jar1");
    Jar1 = jar;
    WireWriter(Jar1, archive | wePassword);
    UUEncode1 = new TUUEncode(this);
    UUEncode1->SetName("UUEncode1");
    WireWriter(UUEncode1, weFileExists);
}

TUnBase* TfrmMain::ReaderFor(TArcType Kind) {
    // The program's table: kinds it leaves to no reader get none, whatever
    // the engine could do with them.
    switch (Kind) {
        case atACE: return UnACE1;
        case atArc: case atArcExe: return UnARC1;
        case atArj: case atArjExe: return UnARJ1;
        case atBh: case atBhExe: return UnBH1;
        case atCab: return UnCAB1;
        case atGZip: return UnGZIP1;
        case atJar: return UnJar1;
        case atLha: case atLhaExe: case atLzh: case atLzhExe: return UnLHA1;
        case atRar: case atRarExe: return UnRAR1;
        case atTar: return UnTAR1;
        case atUue: return UUDecode1;
        case atZip: case atZipExe: case atZipMV: return UnZIP1;
        case atZoo: return UnZOO1;
        default: return nullptr;
    }
}

}  // namespace bramble
