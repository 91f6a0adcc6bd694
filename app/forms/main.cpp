#include "app/forms/main.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

#include "app/forms/overwrite.h"
#include "app/settings/settings.h"
#include "app/shellreg/shellreg.h"
#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/readers/readers.h"
#include "engine/readers/ungzip.h"
#include "engine/readers/untar.h"
#include "engine/readers/unzip.h"
#include "engine/readers/uudecode.h"
#include "engine/writers/tar.h"
#include "engine/writers/zip.h"
#include "ui/registry.h"

namespace bramble {

TfrmMain* frmMain = nullptr;

namespace {

// Posted by the first paint: the command-line switch runs from the message
// loop, not inside WM_PAINT.
constexpr UINT WM_RUNSWITCH = WM_APP + 0x42;

std::vector<std::string>& ArgStore() {
    static std::vector<std::string> args;
    return args;
}

std::string LowerStr(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && LowerStr(s.substr(0, prefix.size())) == prefix;
}

// The folder part without its trailing separator, except for a root.
std::string ExtractFileDir(const std::string& Path) {
    std::string p = ExtractFilePath(Path);
    if (p.size() > 1 && (p.back() == '\\' || p.back() == '/') && p[p.size() - 2] != ':') {
        // "\\server\share\" keeps its last separator off as well; only
        // "X:\" and "\" stay as they are.
        p.pop_back();
    }
    return p;
}

bool IsUncRoot(const std::string& p) {
    if (!IsUNCPath(p)) return false;
    size_t a = p.find('\\', 2);
    if (a == std::string::npos) return true;
    size_t b = p.find('\\', a + 1);
    return b == std::string::npos || b + 1 == p.size();
}

std::string ExpandLongPathPart(const std::string& Path) {
    const std::string dir = ExtractFileDir(Path);
    if (dir == Path) return Path.substr(0, Path.size() - 1);
    if (IsUncRoot(Path) || Path.empty()) return Path;
    if (Path.find_first_of("*?") != std::string::npos)
        throw Exception(Format("Path %s does not exist!", Path.c_str()));
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(Path.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) throw Exception(Format("Path %s does not exist!", Path.c_str()));
    FindClose(h);
    return ExpandLongPathPart(dir) + "\\" + fd.cFileName;
}

// Colours of the painted toolbar glyphs: the plain form, and the brighter
// one under the mouse.
void PaintGlyph(TBitmap& B, const std::string& Base, bool Hot) {
    const int S = 20;
    B.SetSize(S, S);
    TCanvas& c = B.Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clFuchsia);  // transparent
    c.FillRect(Rect(0, 0, S, S));
    c.Pen().SetColor(Hot ? clBlack : clDkGray);
    auto fill = [&](TColor hot, TColor plain) { c.Brush().SetColor(Hot ? hot : plain); };
    if (Base == "NEW" || Base == "ADD" || Base == "VIEW") {
        fill(clWhite, 0xF0F0F0);
        c.Polygon({Point(4, 2), Point(12, 2), Point(16, 6), Point(16, 18), Point(4, 18)});
        c.MoveTo(12, 2);
        c.LineTo(12, 6);
        c.LineTo(16, 6);
    }
    if (Base == "OPEN") {
        fill(0x00D0FF, 0x60B0D0);
        c.Polygon({Point(1, 5), Point(7, 5), Point(9, 7), Point(18, 7), Point(18, 17), Point(1, 17)});
    } else if (Base == "ADD") {
        fill(0x00A000, 0x508050);
        c.Rectangle(9, 8, 12, 17);
        c.Rectangle(6, 11, 15, 14);
    } else if (Base == "EXTR") {
        fill(0x3070B0, 0x607080);
        c.Rectangle(2, 9, 18, 18);
        fill(0xE06000, 0x907050);
        c.Polygon({Point(8, 1), Point(12, 1), Point(12, 6), Point(15, 6), Point(10, 11), Point(5, 6), Point(8, 6)});
    } else if (Base == "DEL") {
        c.Pen().SetColor(Hot ? clRed : 0x4040A0);
        c.Pen().SetWidth(3);
        c.MoveTo(4, 4);
        c.LineTo(16, 16);
        c.MoveTo(16, 4);
        c.LineTo(4, 16);
        c.Pen().SetWidth(1);
    } else if (Base == "VIEW") {
        fill(0xFFE0C0, 0xD0C0B0);
        c.Ellipse(5, 6, 13, 14);
        c.Pen().SetWidth(2);
        c.MoveTo(12, 13);
        c.LineTo(16, 17);
        c.Pen().SetWidth(1);
    } else if (Base == "SETUP") {
        fill(0xC0C0C0, 0xA0A0A0);
        c.Rectangle(2, 3, 18, 14);
        fill(0x800000, 0x606060);
        c.Rectangle(4, 5, 16, 12);
        fill(0xC0C0C0, 0xA0A0A0);
        c.Rectangle(6, 15, 14, 18);
    }
}

}  // namespace

// ---- helpers -------------------------------------------------------------------

void SetCommandLineArguments(std::vector<std::string> Args) { ArgStore() = std::move(Args); }
const std::vector<std::string>& CommandLineArguments() { return ArgStore(); }

std::vector<std::string> ProcessArguments() {
    std::vector<std::string> out;
    for (int i = 1; i < __argc; ++i) out.emplace_back(__argv[i]);
    return out;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& Args) {
    TCommandLine r;
    if (Args.empty()) return r;
    r.Switch = "none";
    for (const std::string& a : Args) {
        if (a.find('/') != std::string::npos)
            r.Switch = a;
        else
            r.Path += a + " ";
    }
    while (!r.Path.empty() && r.Path.back() == ' ') r.Path.pop_back();
    return r;
}

std::string ExpandLongPath(const std::string& Path) {
    std::string p = Path;
    bool slash = !p.empty() && p.back() == '\\';
    if (slash) p.pop_back();
    if (!p.empty()) {
        char buf[MAX_PATH * 2];
        DWORD n = GetFullPathNameA(p.c_str(), sizeof buf, buf, nullptr);
        if (n > 0 && n < sizeof buf) p.assign(buf, n);
    }
    std::string r = ExpandLongPathPart(p);
    if (slash) r += "\\";
    return r;
}

std::string PathWithoutExtension(const std::string& Path) {
    const std::string name = ExtractFileName(Path);
    std::string r = Path;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) r.resize(Path.size() - (name.size() - dot));
    while (!r.empty() && r.back() == ' ') r.pop_back();
    return r;
}

std::string AddArchiveName(const std::string& Path) {
    std::string name = ExtractFileName(Path);
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return ExtractFilePath(Path) + name + ".zip";
}

std::string getkb(int64_t Bytes) { return FormatKB(Bytes); }

TPoint PlaceDialogRect(const TRect& M, int W, int H, int SW, int SH, const TRect* T, const TRect& WA) {
    int left = M.Left + (M.Width() - W) / 2;
    int top = M.Top + (M.Height() - H) / 2;
    if (T) {
        if (T->Right < SW / 2) {
            if (left < T->Right) left = T->Right;
        } else if (left < 0) {
            left = 0;
        }
        if (T->Left > SW / 2 && left + W > T->Left)
            left = T->Left - W;
        else if (left + W > SW)
            left = SW - W;
        if (T->Bottom < SH / 2) {
            if (top < T->Bottom) top = T->Bottom;
        } else if (top < 0) {
            top = 0;
        }
        if (T->Top > SH / 2 && top + H > T->Top)
            top = T->Top - H;
        else if (top + H > SH)
            top = SH - H;
    } else {
        // No taskbar to keep clear of: the work area is what may be used.
        if (left + W > WA.Right) left = WA.Right - W;
        if (left < WA.Left) left = WA.Left;
        if (top + H > WA.Bottom) top = WA.Bottom - H;
        if (top < WA.Top) top = WA.Top;
    }
    return Point(left, top);
}

void PlaceDialog(TCustomForm* Dialog, TCustomForm* Main) {
    if (!Dialog || !Main) return;
    RECT tr{};
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    TRect taskbar;
    bool have = tray && GetWindowRect(tray, &tr);
    if (have) taskbar = Rect(tr.left, tr.top, tr.right, tr.bottom);
    TRect wa = Screen ? Screen->WorkAreaRect() : Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    TPoint p = PlaceDialogRect(Main->BoundsRect(), Dialog->Width(), Dialog->Height(), GetSystemMetrics(SM_CXSCREEN),
                               GetSystemMetrics(SM_CYSCREEN), have ? &taskbar : nullptr, wa);
    Dialog->SetPosition(poDesigned);
    Dialog->SetBounds(p.X, p.Y, Dialog->Width(), Dialog->Height());
}

std::string ErrorLine(const std::string& ArchiveFile, const std::string& MsgEx, int ECode) {
    const bool error = ECode >= 25100 && ECode <= 25450;
    const bool message = ECode >= 26500 && ECode <= 26522;
    if (!error && !message) return {};
    return LowerStr(ArchiveFile) + ":" + "   " + (error ? "Error#: " : "Message#: ") + std::to_string(ECode) +
           "   " + ": " + MessageText(ECode) + "   " + MsgEx;
}

os::AppHooks ProgramHooks() {
    os::AppHooks h;
    h.processMessages = [] {
        if (Application) Application->ProcessMessages();
    };
    h.askYesNo = [](const std::string& text, const std::string& caption) {
        int r = Application->MessageBox(text, caption.empty() ? Application->Title() : caption,
                                        MB_YESNO | MB_ICONQUESTION);
        return r == IDYES ? os::Answer::Yes : os::Answer::No;
    };
    h.askRetryCancel = [](const std::string& text, const std::string& caption) {
        int r = Application->MessageBox(text, caption.empty() ? Application->Title() : caption,
                                        MB_RETRYCANCEL | MB_ICONWARNING);
        return r == IDRETRY ? os::Answer::Retry : os::Answer::Cancel;
    };
    h.handleException = [](std::exception_ptr e) {
        if (Application) Application->HandleException(nullptr, e);
    };
    return h;
}

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

    BuildStatusBar();
    BuildListAndMessages();
    BuildToolbar();
    BuildMenus();
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

// Marks a run of the window for the length of a scope; a close asked for
// meanwhile happens when the outermost run is over.
struct TfrmMain::RunMark {
    TfrmMain& f;
    explicit RunMark(TfrmMain& ff) : f(ff) { ++f.running_; }
    ~RunMark() {
        if (--f.running_ == 0 && f.closePending_ && f.HandleAllocated()) PostMessageA(f.Handle(), WM_CLOSE, 0, 0);
    }
    RunMark(const RunMark&) = delete;
    RunMark& operator=(const RunMark&) = delete;
};

template <typename F>
void TfrmMain::Command(F&& Body) {
    if (Busy()) {
        // Only the indicator's cancel and repaints are taken during a run.
        MessageBeep(0);
        return;
    }
    RunMark mark(*this);
    try {
        Body();
    } catch (const E_RAISE& e) {
        // A cancelled run has said so on the Messages window already.
        if (e.Code() == 25400 || e.Code() == 25449) return;
        throw;
    }
}

namespace {
TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const std::string& Name, const std::string& Caption,
                   TShortCut Short = 0) {
    auto* m = new TMenuItem(Owner);
    m->SetName(Name);
    m->SetCaption(Caption);
    m->SetShortCut(Short);
    if (Parent) Parent->Add(m);
    return m;
}
}  // namespace

void TfrmMain::BuildMenus() {
    MainMenu1 = new TMainMenu(this);
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
    NewItem(this, mnuFile, "N2", "-");
    mnuExit1 = NewItem(this, mnuFile, "mnuExit1", "E&xit", ShortCut('X', {ssCtrl}));
    cmd(mnuOpen1, &TfrmMain::mnuOpen1Click);
    cmd(mnuClose1, &TfrmMain::mnuClose1Click);
    plain(mnuExit1, &TfrmMain::mnuExit1Click);
    // New, the self-extractor and UUEncode need dialogs this program does
    // not have yet: present, never enabled.
    mnuNew1->SetEnabled(false);
    FileMakeexe1->SetVisible(false);
    FileMakeexe1->SetEnabled(false);
    mnuUUEncode1->SetVisible(false);
    mnuUUEncode1->SetEnabled(false);

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
    cmd(mnuDelete1, &TfrmMain::mnuDelete1Click);
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
    mnuDisplayElapsedTime1->SetVisible(false);
    mnuBlankDirs1->SetVisible(false);
    mnuBlankDirs1->SetChecked(true);  // flipped at start-up: empty folders hidden
    mnuOptions->SetEnabled(false);
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

    mnuHelp = NewItem(this, root, "mnuHelp", "&Help");
    Contents1 = NewItem(this, mnuHelp, "Contents1", "&Contents", ShortCut(VK_F1, {}));
    BrambleHomepage1 = NewItem(this, mnuHelp, "BrambleHomepage1", "Bramble &home page");
    NewItem(this, mnuHelp, "N7", "-");
    About1 = NewItem(this, mnuHelp, "About1", "&About...");
    plain(Contents1, &TfrmMain::Contents1Click);
    plain(BrambleHomepage1, &TfrmMain::BrambleHomepage1Click);
    About1->SetEnabled(false);

    // Until an archive is open the archive commands are off.
    for (TMenuItem* m : {mnuAddFiles1, mnuDelete1, mnuExtract1, ActionFastextract1, mnuView2, SelectAll1,
                         Invertselection1, mnuTest, mnuRefresh1, mnuClose1})
        m->SetEnabled(false);
    SetMenu(MainMenu1);

    // The list's popup menu.
    PopupMenu98List = new TPopupMenu(this);
    PopupMenu98List->SetName("PopupMenu98List");
    ListOpen1 = NewItem(this, PopupMenu98List->Items(), "ListOpen1", "&Open");
    Properties1 = NewItem(this, PopupMenu98List->Items(), "Properties1", "&Properties");
    ListOpen1->SetDefault(true);
    cmd(ListOpen1, &TfrmMain::ListView1DblClick);
    Properties1->SetEnabled(false);
}

void TfrmMain::BuildToolbar() {
    Skiffbar1 = new TPanel(this);
    Skiffbar1->SetName("Skiffbar1");
    Skiffbar1->SetParent(this);
    Skiffbar1->SetAlign(alTop);
    Skiffbar1->SetHeight(46);
    Skiffbar1->SetCaption("");
    Skiffbar1->SetBevelOuter(bvNone);

    PopupMenuTB = new TPopupMenu(this);
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

    PopupMenuExtract = new TPopupMenu(this);
    PopupMenuExtract->SetName("PopupMenuExtract");
    PopupMenuInstall = new TPopupMenu(this);
    PopupMenuInstall->SetName("PopupMenuInstall");

    auto button = [this](const std::string& name, const std::string& caption, const std::string& hint) {
        auto* b = new TBitBtn(this);
        b->SetName(name);
        b->SetParent(Skiffbar1);
        b->SetCaption(caption);
        b->SetHint(hint);
        b->SetLayout(blGlyphTop);
        b->SetSpacing(1);
        b->SetMargin(2);
        b->SetTabStop(false);
        return b;
    };
    ToolbarButtonNew = button("ToolbarButtonNew", "New", "New archive");
    ToolbarButtonOpen = button("ToolbarButtonOpen", "Open", "Open archive");
    ToolbarButtonAdd = button("ToolbarButtonAdd", "Add", "Add files");
    ToolbarButtonExtract = button("ToolbarButtonExtract", "Extract", "Extract files");
    ToolbarButtonExtractDrop = new TButton(this);
    ToolbarButtonExtractDrop->SetName("ToolbarButtonExtractDrop");
    ToolbarButtonExtractDrop->SetParent(Skiffbar1);
    ToolbarButtonExtractDrop->SetCaption("v");
    ToolbarButtonExtractDrop->SetHint("Extract to");
    ToolbarButtonExtractDrop->SetTabStop(false);
    ToolbarButtonDel = button("ToolbarButtonDel", "Delete", "Delete selected files");
    ToolbarButtonView = button("ToolbarButtonView", "View", "View selected files");
    ToolbarButtonInstall = button("ToolbarButtonInstall", "Install", "Install");
    ToolbarButtonInstall->SetVisible(false);

    ToolbarButtonOpen->OnClick = [this](TObject* s) { Command([&] { mnuOpen1Click(s); }); };
    ToolbarButtonDel->OnClick = [this](TObject* s) {
        if (mnuDelete1->Enabled()) Command([&] { mnuDelete1Click(s); });
    };
    ToolbarButtonView->OnClick = [this](TObject* s) { Command([&] { mnuView2Click(s); }); };
    ToolbarButtonExtractDrop->OnClick = [this](TObject*) {
        if (Busy()) return;
        TPoint p = ToolbarButtonExtractDrop->ClientToScreen(Point(0, ToolbarButtonExtractDrop->Height()));
        PopupMenuExtract->Popup(p.X, p.Y);
    };
    PopupMenuExtract->OnPopup = [this](TObject* s) { PopupMenuExtractPopup(s); };
    ToolbarButtonInstall->OnClick = [this](TObject*) {
        if (Busy()) return;
        TPoint p = ToolbarButtonInstall->ClientToScreen(Point(0, ToolbarButtonInstall->Height()));
        PopupMenuInstall->Popup(p.X, p.Y);
    };
    // New, Add and Extract open dialogs this program does not have yet.
    ToolbarButtonNew->SetEnabled(false);

    struct HoverSpec {
        TBitBtn* b;
        const char* base;
    };
    for (HoverSpec h : {HoverSpec{ToolbarButtonNew, "NEW"}, {ToolbarButtonOpen, "OPEN"}, {ToolbarButtonAdd, "ADD"},
                        {ToolbarButtonExtract, "EXTR"}, {ToolbarButtonDel, "DEL"}, {ToolbarButtonView, "VIEW"},
                        {ToolbarButtonInstall, "SETUP"}}) {
        TBitBtn* b = h.b;
        std::string base = h.base;
        b->OnMouseEnter = [this, b, base](TObject*) { ButtonHover(b, base, true); };
        b->OnMouseLeave = [this, b, base](TObject*) { ButtonHover(b, base, false); };
    }
    for (TBitBtn* b : {ToolbarButtonAdd, ToolbarButtonExtract, ToolbarButtonDel, ToolbarButtonView})
        b->SetEnabled(false);
    ToolbarButtonExtractDrop->SetEnabled(false);
    ToolbarLook();
}

void TfrmMain::BuildListAndMessages() {
    MsgToolWindow = new TPanel(this);
    MsgToolWindow->SetName("MsgToolWindow");
    MsgToolWindow->SetParent(this);
    MsgToolWindow->SetBounds(0, 300, 640, 100);
    MsgToolWindow->SetAlign(alBottom);
    MsgToolWindow->SetCaption("");
    MsgToolWindow->SetBevelOuter(bvRaised);

    MsgCaption = new TPanel(this);
    MsgCaption->SetName("MsgCaption");
    MsgCaption->SetParent(MsgToolWindow);
    MsgCaption->SetAlign(alTop);
    MsgCaption->SetHeight(18);
    MsgCaption->SetCaption("  Messages");
    MsgCaption->SetAlignment(taLeftJustify);
    MsgCaption->SetBevelOuter(bvNone);

    MsgClose = new TButton(this);
    MsgClose->SetName("MsgClose");
    MsgClose->SetParent(MsgCaption);
    MsgClose->SetBounds(600, 1, 16, 16);
    MsgClose->SetCaption("x");
    MsgClose->SetTabStop(false);
    MsgCaption->OnResize = [this](TObject*) { MsgClose->SetLeft(std::max(0, MsgCaption->Width() - 18)); };
    MsgClose->OnClick = [this](TObject*) {
        // Closing the window unchecks its menu item.
        MsgToolWindow->SetVisible(false);
        mnuErrorMessages1->SetChecked(false);
    };

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
}

void TfrmMain::BuildStatusBar() {
    StatusBar1 = new TStatusBar(this);
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

void TfrmMain::WireWriter(TCompBase* W) {
    W->OnActivate = [this](TObject* s) { Zip1Activate(s); };
    W->OnDeactivate = [this](TObject* s) { Zip1Deactivate(s); };
    W->OnBegin = [this](TObject* s, const std::string& fn, int n, bool& x) { Zip1begin(s, fn, n, x); };
    W->OnEnd = [this](TObject* s, const std::string& fn, bool pass) { Zip1end(s, fn, pass); };
    W->OnProgress = [this](TObject* s, uint8_t f, uint8_t a) { UnZIP1Progress(s, f, a); };
    W->OnError = [this](TObject* s, const std::string& fn, const std::string& ex, const std::string& v, int c) {
        Dovex1Error(s, fn, ex, v, c);
    };
    W->OnElapsedTime = [this](TObject* s, float t) { UnZIP1ElapsedTime(s, t); };
    W->OnRead = [this](TObject* s, int o, int n) { Dovex1Read(s, o, n); };
    W->OnNonWriteableArchive = [this](TObject* s, const std::string& a, bool& w) { Zip1NonWriteableArchive(s, a, w); };
    W->OnRecurseDir = [this](TObject* s, const std::string& d) { Zip1RecurseDir(s, d); };
    W->OnReplaceFile = [this](TObject* s, const std::string& ofn, const std::string& fn, TDateTime od, TDateTime nd,
                              int os, int ns, int oa, int na, bool& r) {
        Zip1ReplaceFile(s, ofn, fn, od, nd, os, ns, oa, na, r);
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

    auto* zip = new TZip(this);
    zip->SetName("Zip1");
    Zip1 = zip;
    WireWriter(Zip1);
    zip->OnInsertDiskette = [this](TObject* s, const std::string& n, int t, int f, bool& c) {
        Zip1InsertDiskette(s, n, t, f, c);
    };
    auto* tar = new TTar(this);
    tar->SetName("Tar1");
    Tar1 = tar;
    WireWriter(Tar1);
}

TUnBase* TfrmMain::ReaderFor(TArcType Kind) {
    // The program's table: kinds it leaves to no reader, whatever the
    // engine could do with them.
    switch (Kind) {
        case atNA: case atUnsupported: case atFileOpenErr: case atUnknown: case atAceExe: case atHa:
        case atJarExe: case atMsGZ: case atPak: case atPakExe:
            return nullptr;
        default: break;
    }
    if (Kind == atTar) return UnTAR1;
    if (Kind == atUue) return UUDecode1;
    auto it = readers_.find(Kind);
    if (it != readers_.end()) return it->second.get();
    std::unique_ptr<TUnBase> r = CreateReaderForKind(Kind);
    if (!r) return nullptr;
    WireReader(r.get(), Kind);
    // A decompressed TAR goes on to the window's TAR reader, which has the
    // window's events.
    if (auto* gz = dynamic_cast<TUnGZIP*>(r.get())) gz->SetUnTar(UnTAR1);
    TUnBase* p = r.get();
    readers_[Kind] = std::move(r);
    return p;
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
        auto* m = new TMenuItem(this);
        m->SetCaption(Name);
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
    // 14. Show empty dirs: the stored check is flipped back and handed on.
    mnuBlankDirs1->SetChecked(!mnuBlankDirs1->Checked());
    Dovex1->SetShowBlankDirs(mnuBlankDirs1->Checked());
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
        Skiffbar1->SetVisible(s.tbVisible);
        mnuToolbar->SetChecked(s.tbVisible);
        MsgToolWindow->SetVisible(s.MsgVisible);
        mnuErrorMessages1->SetChecked(s.MsgVisible);
        if (s.MsgHeight > 30) MsgToolWindow->SetHeight(s.MsgHeight);
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
    s.tbVisible = mnuToolbar->Checked();
    s.MsgVisible = mnuErrorMessages1->Checked();
    s.MsgDock = 2;
    s.MsgHeight = MsgToolWindow->Height();
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
    TSettings s;
    ReadSettings(s);
    if (!s.OptionsFound) return;
    ViewProgram = s.Viewer;
    StartLast = s.StartLast;
    StartOther = s.StartOther;
    StartupFolder = s.StartupFolder;
    if (StartLast) LastOpenFolder = s.LastOpenFolder;
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
    TForm::WndProc(Message);
}

void TfrmMain::RunSwitch() {
    const std::string sw = CommandSwitch;
    CommandSwitch = "none";
    const bool closing = sw == "/x" || sw == "/s" || sw == "/a";
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
            if (!folder.empty() && CreateDirectoryA(folder.c_str(), nullptr)) {
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
            CompressComponent = Zip1;
            Zip1->SetSwitch(swAdd);
            Zip1->SetArchiveFile(archive);
            Zip1->SetDefaultDir(ExtractFilePath(source));
            Zip1->FileSpec().clear();
            Zip1->FileSpec().push_back(ExtractFileName(source));
            Zip1->Compress();
        });
    }
    // "/e" and "/s" open dialogs this program does not have yet.
}

// ---- look ------------------------------------------------------------------------------

void TfrmMain::LoadGlyph(TBitBtn* B, const std::string& Name) {
    // The name says the picture and its form: "HI"/"LO" for the display's
    // colours, a trailing "G" for the plain (not hovered) state.
    std::string base = Name;
    bool plain = false;
    if (base.size() > 1 && base.back() == 'G') {
        plain = true;
        base.pop_back();
    }
    if (base.size() > 2) base.resize(base.size() - 2);  // "HI" or "LO"
    PaintGlyph(B->Glyph(), base, !plain);
    B->Invalidate();
}

void TfrmMain::ButtonHover(TBitBtn* B, const std::string& Base, bool Enter) {
    const bool hi = Screen && Screen->BitsPerPixel() >= 9;
    if (Base == "SETUP")
        LoadGlyph(B, Enter ? "SETUPLO" : "SETUPLOG");
    else
        LoadGlyph(B, Base + (hi ? "HI" : "LO") + (Enter ? "" : "G"));
}

void TfrmMain::ToolbarLook() {
    const bool hi = Screen && Screen->BitsPerPixel() >= 9;
    const char* suffix = hi ? "HIG" : "LOG";
    LoadGlyph(ToolbarButtonNew, std::string("NEW") + suffix);
    LoadGlyph(ToolbarButtonOpen, std::string("OPEN") + suffix);
    LoadGlyph(ToolbarButtonAdd, std::string("ADD") + suffix);
    LoadGlyph(ToolbarButtonExtract, std::string("EXTR") + suffix);
    LoadGlyph(ToolbarButtonDel, std::string("DEL") + suffix);
    LoadGlyph(ToolbarButtonView, std::string("VIEW") + suffix);
    LoadGlyph(ToolbarButtonInstall, "SETUPLOG");

    const bool text = Text1->Checked();
    const int h = text ? 42 : 26;
    struct W {
        TBitBtn* b;
        int withText, without;
        const char* caption;
    };
    int x = 2;
    for (W w : {W{ToolbarButtonNew, 52, 30, "New"}, {ToolbarButtonOpen, 60, 38, "Open"},
                {ToolbarButtonAdd, 52, 30, "Add"}, {ToolbarButtonExtract, 60, 38, "Extract"},
                {ToolbarButtonDel, 52, 30, "Delete"}, {ToolbarButtonView, 52, 30, "View"},
                {ToolbarButtonInstall, 52, 30, "Install"}}) {
        w.b->SetCaption(text ? w.caption : "");
        w.b->SetBounds(x, 2, text ? w.withText : w.without, h);
        x += w.b->Width() + 1;
        if (w.b == ToolbarButtonExtract) {
            ToolbarButtonExtractDrop->SetBounds(x, 2, 14, h);
            x += 15;
        }
        if (w.b == ToolbarButtonAdd || w.b == ToolbarButtonDel) x += 6;
    }
    Skiffbar1->SetHeight(h + 4);
}

void TfrmMain::FlatClick(TObject*) {
    Flat1->SetChecked(!Flat1->Checked());
    // Plain buttons have no flat look; the choice is kept for the toolbar
    // kit's buttons.
}

void TfrmMain::TextClick(TObject*) {
    Text1->SetChecked(!Text1->Checked());
    ToolbarLook();
}

void TfrmMain::TooltipsClick(TObject*) {
    Tooltips1->SetChecked(!Tooltips1->Checked());
    Skiffbar1->SetShowHint(Tooltips1->Checked());
}

void TfrmMain::FormResize(TObject*) {
    const int w = StatusBar1->Width();
    const int half = std::max(0, w / 2 - 39);
    StatusBar1->Panels()[0]->SetWidth(50);
    StatusBar1->Panels()[1]->SetWidth(half);
    StatusBar1->Panels()[2]->SetWidth(half);
    const int h = StatusBar1->Height();
    ProgressBar1->SetBounds(50 + half + 2, 2, std::max(0, half - 2), std::max(4, h - 4));
    pbxLed->SetBounds(50 + 2 * half + 4, std::max(0, (h - 16) / 2), 18, 16);
    MsgClose->SetLeft(std::max(0, MsgCaption->Width() - 18));
}

void TfrmMain::SetLedColor(TColor Color) {
    ledColor_ = Color;
    HDC dc = imgLed.Canvas().Handle();
    COLORREF at = GetPixel(dc, 6, 6);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
    HGDIOBJ old = SelectObject(dc, brush);
    ExtFloodFill(dc, 6, 6, at, FLOODFILLSURFACE);
    SelectObject(dc, old);
    DeleteObject(brush);
    GdiFlush();
    pbxLed->Invalidate();
    if (pbxLed->HandleAllocated()) pbxLed->Update();
}

void TfrmMain::pbxLedPaint(TObject*) {
    TCanvas& c = pbxLed->Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(Rect(0, 0, pbxLed->Width(), pbxLed->Height()));
    c.Draw((pbxLed->Width() - imgLed.Width()) / 2, (pbxLed->Height() - imgLed.Height()) / 2, imgLed);
}

void TfrmMain::pbxLedClick(TObject*) {
    TZipCommon* c = RunningComponent();
    if (!c) return;
    c->SetCancel(true);
    SetStatus(1, "Aborting...", true);
}

void TfrmMain::ApplicationBusy() {
    if (busyCount_++ == 0) {
        ListView1->SetCursor(crHourGlass);
        SetLedColor(clRed);
    }
    ListView1->Items().BeginUpdate();
}

void TfrmMain::ApplicationWaiting() {
    ListView1->Items().EndUpdate();
    if (busyCount_ > 0 && --busyCount_ == 0) {
        SetLedColor(clGreen);
        ListView1->SetCursor(crDefault);
    }
}

void TfrmMain::SetStatus(int Panel, const std::string& Text, bool RepaintNow) {
    StatusBar1->Panels()[Panel]->SetText(Text);
    if (RepaintNow && StatusBar1->HandleAllocated()) StatusBar1->Repaint();
}

std::string TfrmMain::ShortenPath(const std::string& Path) {
    int width = StatusBar1->Panels()[1]->Width() - 8;
    if (width <= 0 || !StatusBar1->HandleAllocated()) return Path;
    HWND bar = StatusBar1->Handle();
    HDC dc = GetDC(bar);
    if (!dc) return Path;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(bar, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    auto textWidth = [dc](const std::string& s) {
        SIZE sz{};
        GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    std::string result = Path;
    if (textWidth(Path) > width) {
        // Folders leave from the front, after the drive, until the name fits.
        std::string drive, rest = Path;
        size_t first = Path.find('\\');
        if (first != std::string::npos) {
            drive = Path.substr(0, first + 1);
            rest = Path.substr(first + 1);
        }
        result = drive + "...\\" + rest;
        while (textWidth(result) > width) {
            size_t sep = rest.find('\\');
            if (sep == std::string::npos) break;
            rest = rest.substr(sep + 1);
            result = drive + "...\\" + rest;
        }
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(bar, dc);
    return result;
}

void TfrmMain::AddMessage(const std::string& Line) {
    if (MsgToolWindow->Visible() && RichEdit1->CanFocus()) RichEdit1->SetFocus();
    RichEdit1->Lines().Add(Line);
}

void TfrmMain::ShowMessages() {
    mnuErrorMessages1->SetChecked(true);
    MsgToolWindow->SetVisible(true);
}

void TfrmMain::DisplayTotals() {
    if (Entries) {
        SetStatus(2, Entries->TotalsText(Dovex1->TotalUnpacked()));
        SetStatus(1, Entries->SelectedText());
    }
    ProgressBar1->SetVisible(false);
    if (StatusBar1->HandleAllocated()) StatusBar1->Repaint();
}

void TfrmMain::SetArchiveCaption() {
    if (IsValidArcType(Dovex1->ArcType())) {
        SetCaption(ExtractFileName(Dovex1->ArchiveFile()) + " - Bramble");
        SetStatus(0, Dovex1->GetArcTypeName());
        FileMakeexe1->SetVisible(Dovex1->ArcType() == atZip);
    } else {
        SetCaption("Bramble");
        SetStatus(0, "");
    }
}

// ---- commands ---------------------------------------------------------------------------

namespace {
// The window's busy state for the length of a scope, also when the engine
// raises.
struct BusyScope {
    TfrmMain& f;
    explicit BusyScope(TfrmMain& ff) : f(ff) { f.ApplicationBusy(); }
    ~BusyScope() { f.ApplicationWaiting(); }
};
}  // namespace

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
    const TArcType kind = Dovex1->ArcType();
    // Add needs the Add dialog, which this program does not have yet.
    mnuAddFiles1->SetEnabled(false);
    bool writer = false;
    switch (kind) {
        case atZip: case atZipExe: writer = Zip1 != nullptr; break;
        case atTar: writer = Tar1 != nullptr; break;
        default: break;
    }
    mnuDelete1->SetEnabled(CanCompressArcType(kind) && kind != atCab && writer);
    // The Extract dialog does not exist yet; the Extract button's drop-down
    // and Fast extract do the extracting meanwhile.
    mnuExtract1->SetEnabled(false);
    ActionFastextract1->SetEnabled(CanExtractArcType(kind));
    // The buttons follow the menu.
    ToolbarButtonAdd->SetEnabled(mnuAddFiles1->Enabled());
    ToolbarButtonDel->SetEnabled(mnuDelete1->Enabled());
    ToolbarButtonExtract->SetEnabled(mnuExtract1->Enabled());
    ToolbarButtonExtractDrop->SetEnabled(CanExtractArcType(kind));
    ToolbarButtonView->SetEnabled(mnuView2->Enabled());
}

void TfrmMain::mnuOpen1Click(TObject*) {
    std::string initial;
    if (StartOther) initial = StartupFolder;
    if (StartLast) initial = LastOpenFolder;
    OpenDialog1->SetInitialDir(initial);
    OpenDialog1->SetFilter(
        "Zip files|*.zip|Cab files|*.cab|Lha files|*.lha|Arj files|*.arj|gZip files|*.gz|Tar files|*.tar|Zoo "
        "files|*.zoo|All Archives|*.zip;*.cab;*.lha;*.lzh;*.rar;*.ace;*.jar;*.arc;*.arj;*.gz;*.tar;*.zoo|Encoded "
        "files|*.uue;*.xxe;*.enc|All files (*.*)|*.*");
    OpenDialog1->SetTitle("Open Archive...");
    OpenDialog1->SetOptions({ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing});
    if (!OpenDialog1->Execute()) return;
    const std::string name = OpenDialog1->FileName();
    LastOpenFolder = ExtractFilePath(name);
    if (os::FileExists(name)) OpenArchive(name);
    // A name that does not exist would start a new archive through the Add
    // dialog, which this program does not have yet.
}

void TfrmMain::ClearInstallMenu() {
    PopupMenuInstall->Items()->Clear();
    PopupMenuInstallChange();
}

void TfrmMain::PopupMenuInstallChange() { ToolbarButtonInstall->SetVisible(PopupMenuInstall->Items()->Count() > 0); }

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
    for (TControl* b : {static_cast<TControl*>(ToolbarButtonAdd), static_cast<TControl*>(ToolbarButtonExtract),
                        static_cast<TControl*>(ToolbarButtonDel), static_cast<TControl*>(ToolbarButtonView),
                        static_cast<TControl*>(ToolbarButtonExtractDrop)})
        b->SetEnabled(false);
    FileMakeexe1->SetVisible(false);
    SetStatus(0, "");
    // No writer may have been chosen (a cancelled New).
    if (CompressComponent) CompressComponent->SetArchiveFile("");
    DisplayTotals();
}

void TfrmMain::mnuExit1Click(TObject*) { Close(); }

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
        default: break;  // BH, cabinet and LHA writers are not here yet
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
    if (!w->FileSpec().empty()) w->Compress();
    mnuRefresh1Click(this);
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
    // Every run says both: overwrite silently, or ask (from a fresh start,
    // whatever "Don't ask again" answered last time).
    for (TUnBase* each : {r, static_cast<TUnBase*>(UnTAR1)}) {
        each->SetConfirmOverwrites(Confirm == 1);
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
        for (const std::string& n : Entries->SelectedNames()) r->FileSpec().push_back(n);
        if (r->FileSpec().empty()) return;
        r->Extract();
        for (const TShellItem* it : Entries->SelectedItems()) {
            const std::string file = TempFolder + it->Name;
            if (!Viewer.empty()) OpenWithShell(Viewer, "\"" + file + "\"");
            if (!OpenWith.empty()) OpenWithShell(file, "");
        }
    } else {
        r->FileSpec() = Dovex1->FileSpec();
        if (r->FileSpec().empty()) r->FileSpec().push_back("*.*");
        r->Extract();
    }
}

void TfrmMain::OpenWithShell(const std::string& File, const std::string& Parameters) {
    ShellExecuteA(Handle(), nullptr, File.c_str(), Parameters.empty() ? nullptr : Parameters.c_str(),
                  TempFolder.c_str(), SW_SHOW);
}

void TfrmMain::ActionFastextract1Click(TObject*) {
    if (Dovex1->ArchiveFile().empty()) return;
    const std::string target = PathWithoutExtension(Dovex1->ArchiveFile());
    ExtractFiles(target, "", "", 1, ListView1->SelCount() > 0 ? 0 : 1, true);
}

void TfrmMain::PopupMenuExtractPopup(TObject*) {
    PopupMenuExtract->Items()->Clear();
    if (Dovex1->ArchiveFile().empty()) return;
    auto add = [this](const std::string& folder) {
        auto* m = new TMenuItem(this);
        m->SetCaption("To: " + folder);
        m->SetHint(folder);
        m->OnClick = [this](TObject* s) { Command([&] { MyPopupHandler(s); }); };
        PopupMenuExtract->Items()->Add(m);
    };
    add(PathWithoutExtension(Dovex1->ArchiveFile()));
    auto* sep = new TMenuItem(this);
    sep->SetCaption("-");
    PopupMenuExtract->Items()->Add(sep);
    for (const std::string& f : ReadMRUExtract()) add(f);
}

void TfrmMain::MyPopupHandler(TObject* Sender) {
    auto* m = dynamic_cast<TMenuItem*>(Sender);
    if (!m) return;
    ExtractFiles(m->Hint(), "", "", 1, ListView1->SelCount() > 0 ? 0 : 1, true);
}

void TfrmMain::mnuView2Click(TObject*) {
    if (ListView1->SelCount() == 0) {
        ShowMessage("No file(s) selected for viewing");
        return;
    }
    // Without a viewer the entries are still extracted; the Options dialog
    // that would configure one is not in this program yet.
    ExtractFiles(TempFolder, ViewProgram, "", 1, 0, false);
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
}

void TfrmMain::mnuErrorMessages1Click(TObject*) {
    mnuErrorMessages1->SetChecked(!mnuErrorMessages1->Checked());
    MsgToolWindow->SetVisible(mnuErrorMessages1->Checked());
}

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

void TfrmMain::ListView1MouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    ListView1->SetPopupMenu(ListView1->SelCount() > 0 ? PopupMenu98List : nullptr);
}

void TfrmMain::ListView1KeyDown(TObject* Sender, WORD& Key, TShiftState) {
    if (Busy()) return;
    if (Key == VK_RETURN) {
        if (ListView1->SelCount() == 1) Command([&] { ListView1DblClick(Sender); });
    } else if (Key == VK_DELETE) {
        // The keys follow the menu: nothing where Delete is not offered.
        if (mnuDelete1->Enabled()) Command([&] { mnuDelete1Click(Sender); });
        Key = 0;
    }
    // Insert would run Add files, which needs the Add dialog.
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
    WinExec((cmd + file).c_str(), SW_SHOW);
}

// ---- engine events -------------------------------------------------------------------------

void TfrmMain::Dovex1Activate(TObject*) {
    ClearInstallMenu();
    ApplicationBusy();
    Entries->Clear();
}

void TfrmMain::Dovex1Deactivate(TObject*) {
    SetStatus(1, "");
    ApplicationWaiting();
    Entries->UpdateCount();
}

void TfrmMain::Dovex1Read(TObject* Sender, int Offset, int) {
    auto* c = dynamic_cast<TZipCommon*>(Sender);
    if (!c || !Entries) return;
    Entries->AddFromComponent(*c, Offset);
}

void TfrmMain::Dovex1Error(TObject* Sender, const std::string&, const std::string& MsgEx, const std::string&,
                           int ECode) {
    MessageBeep(0);
    auto* c = dynamic_cast<TdvxMain*>(Sender);
    const std::string line = ErrorLine(c ? c->ArchiveFile() : std::string(), MsgEx, ECode);
    if (line.empty()) return;
    AddMessage(line);
    if (ListView1->CanFocus()) ListView1->SetFocus();
    // A cancel is the user's own doing: the line says it.
    if (ECode == 25449 || ECode == 25400) return;
    Application->MessageBox(
        "Not a valid archive file, if you downloaded it from the internet, try downloading it again.",
        Application->Title(), MB_OK | MB_ICONERROR);
}

void TfrmMain::Dovex1NextVolume(TObject*, std::string& VolumeName, const std::string& VolumeID, bool FExists,
                                bool& Cancel) {
    Cancel = false;
    if (FExists) return;
    std::string v = VolumeName;
    if (InputQuery(ExtractFileName(VolumeName), "Volume ID: " + VolumeID, v))
        VolumeName = v;
    else
        Cancel = true;
}

void TfrmMain::Dovex1GetZipFirstDisk(TObject*, bool& Cancel) {
    if (MessageDlg("Insert FIRST disk of this archive set.", mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::Dovex1GetZipLastDisk(TObject*, bool& Cancel) {
    if (MessageDlg("Insert LAST disk of this archive set.", mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::Dovex1GetZipNextDisk(TObject*, const std::string& VolumeName, bool& Cancel) {
    if (MessageDlg("Insert disk# : " + VolumeName, mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::Dovex1CorruptZipHeader(TObject*, uint8_t HeadFlag, bool& Cancel) {
    ShowMessages();
    AddMessage("Warning : Bad zip header found: ");
    if (!(HeadFlag & 0x10)) AddMessage("Local header missing or corrupt");
    if (!(HeadFlag & 0x08)) AddMessage("Central header missing or corrupt");
    if (!(HeadFlag & 0x01)) AddMessage("Ending header missing or corrupt");
    Cancel = false;
}

void TfrmMain::UnZIP1begin(TObject*, const std::string& FN, int, bool&) {
    SetStatus(1, "Extracting: " + ShortenPath(FN), true);
    tempBegin_.clear();
    if (tempRun_) {
        tempBegin_ = FN;
        tempBeginNew_ = !os::FileExists(FN);
    }
}

void TfrmMain::UnZIP1end(TObject*, const std::string& FN, bool CRC_PASS) {
    // A file counts as this program's when it came out whole, or when
    // there was none before this run made it.
    if (tempRun_ && FN == tempBegin_ && os::FileExists(FN) && (CRC_PASS || tempBeginNew_))
        ExtractedNames.insert(FN);
    tempBegin_.clear();
    if (!CRC_PASS) Application->MessageBox(FN + "\rExtract failed!", Application->Title(), MB_OK);
}

void TfrmMain::UnZIP1Progress(TObject*, uint8_t, uint8_t ProgressByArchive) {
    ProgressBar1->SetPosition(ProgressByArchive);
    if (ProgressBar1->HandleAllocated()) ProgressBar1->Update();
}

void TfrmMain::UnZIP1FileExists(TObject* Sender, const std::string& FN, TDateTime, TOverwriteMode& OverwriteMode) {
    auto* c = dynamic_cast<TZipCommon*>(Sender);
    TfrmOverwrite* dlg = frmOverwrite;
    std::unique_ptr<TfrmOverwrite> own;
    if (!dlg) {
        own = std::make_unique<TfrmOverwrite>(nullptr);
        own->AfterConstruction();
        dlg = own.get();
    }
    dlg->SetFileName(FN);
    const int r = dlg->ShowModal();
    if (r == mrYes)
        OverwriteMode = omOverwrite;
    else if (r == mrNo)
        OverwriteMode = omSkip;
    else if (c)
        c->SetCancel(true);
    if (c) c->SetConfirmOverwrites(!dlg->DontAskAgain());
    if (own) {
        own->BeforeDestruction();
        own.reset();
    }
}

void TfrmMain::UnZIP1GetPassword(TObject*, const std::string&, std::string& Password, bool& TryAgain) {
    std::string p = Password;
    if (InputQuery("Encrypted file...", "Enter password", p))
        Password = p;
    else
        TryAgain = false;
}

void TfrmMain::UnZIP1ElapsedTime(TObject*, float ElapsedTime) {
    if (!mnuDisplayElapsedTime1->Checked()) return;
    AddMessage("Elapsed time : " + Format("Seconds: %g", static_cast<double>(ElapsedTime)));
}

void TfrmMain::Zip1Activate(TObject*) {
    ProgressBar1->SetVisible(true);
    ApplicationBusy();
}

void TfrmMain::Zip1Deactivate(TObject*) {
    ApplicationWaiting();
    DisplayTotals();
}

void TfrmMain::Zip1begin(TObject* Sender, const std::string& FN, int, bool&) {
    auto* w = dynamic_cast<TCompBase*>(Sender);
    SetStatus(1, std::string(w && w->Switch() == swDelete ? "Deleting: " : "Compressing: ") + ShortenPath(FN));
}

void TfrmMain::Zip1end(TObject*, const std::string&, bool) { SetStatus(1, ""); }

void TfrmMain::Zip1RecurseDir(TObject*, const std::string& Directory) {
    SetStatus(1, "Scanning dir: " + ShortenPath(Directory));
}

void TfrmMain::Zip1NonWriteableArchive(TObject*, const std::string& ArchiveFile, bool& WriteToFile) {
    if (MessageDlg(ArchiveFile + " is ReadOnly, SysFile, or Hidden file...\r\r" + "Write to this file?",
                   mtConfirmation, {mbYes, mbNo}) == mrYes)
        WriteToFile = true;
}

void TfrmMain::Zip1ReplaceFile(TObject*, const std::string& OldFN, const std::string& FN, TDateTime OldDate,
                               TDateTime NewDate, int OldFileSize, int NewFileSize, int OldAttr, int NewAttr,
                               bool& Replace) {
    auto date = [](TDateTime d) {
        int y, mo, da, h, mi, s;
        DecodeDateTime(d, y, mo, da, h, mi, s);
        const char sep = DateSeparator();
        return Format("%02d%c%02d%c%02d %02d:%02d", mo, sep, da, sep, y % 100, h, mi);
    };
    const std::string text = "Replace:\r" + FN + "\rSize: " + std::to_string(OldFileSize) + "\rDate: " +
                             date(OldDate) + "\rAttr: " + std::to_string(OldAttr) + "\r\rWith:\r" + OldFN +
                             "\rSize: " + std::to_string(NewFileSize) + "\rDate: " + date(NewDate) + "\rAttr: " +
                             std::to_string(NewAttr);
    if (MessageDlg(text, mtConfirmation, {mbYes, mbNo}) != mrYes) Replace = false;
}

void TfrmMain::Zip1InsertDiskette(TObject*, const std::string& VolumeName, int, int, bool& Cancel) {
    if (MessageDlg("Insert disk# : " + VolumeName, mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::ZipCheck1Activate(TObject*) {
    SetLedColor(clRed);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(true);
}

void TfrmMain::ZipCheck1Deactivate(TObject*) {
    SetLedColor(clGreen);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(false);
}

void TfrmMain::ZipCheck1Status(TObject*, const std::string& FN, bool PassFail) {
    AddMessage(FN + (PassFail ? " ...Ok" : " ...Failed"));
    if (ListView1->CanFocus()) ListView1->SetFocus();
}

void TfrmMain::ZipCheck1Error(TObject* Sender, const std::string& FN, const std::string& MsgEx,
                              const std::string&, int ECode) {
    MessageBeep(0);
    if (ECode == 25449 || ECode == 25400) {
        auto* c = dynamic_cast<TdvxMain*>(Sender);
        AddMessage(ErrorLine(c ? c->ArchiveFile() : FN, MsgEx, ECode));
        return;
    }
    Application->MessageBox("File   : " + FN + "\r" + "Error# : " + std::to_string(ECode) + "\r" + MessageText(ECode),
                            Application->Title(), MB_OK);
}

void TfrmMain::ZipCheck1End(TObject*, const std::string&) { SetStatus(1, "Ready..."); }

void TfrmMain::ZipCheck1NextVolume(TObject*, std::string& VolumeName, const std::string&, bool FExists,
                                   bool& Cancel) {
    if (FExists) return;
    std::string v = VolumeName;
    if (InputQuery("Enter new drv:\\directory...", "Filename: " + VolumeName, v))
        VolumeName = v;
    else
        Cancel = true;
}

}  // namespace bramble
