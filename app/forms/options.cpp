#include "app/forms/options.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>

#include "app/forms/main.h"
#include "app/settings/settings.h"
#include "app/shellreg/clsid.h"
#include "app/shellreg/shellreg.h"
#include "engine/core/helpers.h"
#include "ui/dialogs.h"
#include "ui/registry.h"

namespace bramble {

TfrmOptions* frmOptions = nullptr;

namespace {

// The glyphs' transparent colour, also their bottom-left pixel (column 0
// is always left blank). An icon's own pure fuchsia pixels show through,
// which icons rarely have.
constexpr TColor kKey = static_cast<TColor>(RGB(255, 0, 255));
constexpr int kGlyphW = 18, kGlyphH = 16;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string ProgramFolder() {
    std::string exe = ProgramFileName();
    size_t slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), n);
    w.resize(w.size() - 1);
    return w;
}

// An "&" in a file name is shown, not taken as an accelerator.
std::string MenuCaption(const std::string& Name) {
    std::string out;
    for (char c : Name) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

TGroupBox* Group(TComponent* Owner, TWinControl* Parent, const std::string& Caption, int L, int T, int W, int H) {
    auto* g = new TGroupBox(Owner);
    g->SetParent(Parent);
    g->SetBounds(L, T, W, H);
    g->SetCaption(Caption);
    return g;
}

TCheckBox* Check(TComponent* Owner, TWinControl* Parent, const std::string& Name, const std::string& Caption, int L,
                 int T, int W) {
    auto* c = new TCheckBox(Owner);
    c->SetName(Name);
    c->SetParent(Parent);
    c->SetBounds(L, T, W, 17);
    c->SetCaption(Caption);
    return c;
}

TTabSheet* Page(TComponent* Owner, TPageControl* Control, const std::string& Name, const std::string& Caption) {
    auto* p = new TTabSheet(Owner);
    p->SetName(Name);
    p->SetPageControl(Control);
    p->SetCaption(Caption);
    return p;
}

}  // namespace

// ---- placement --------------------------------------------------------------------------

TPoint PlaceOptionsRect(int MainLeft, int MainTop, int W, int H, int SW, int SH, const TRect* T) {
    int left = MainLeft + 18;
    int top = MainTop + 18;
    // Without a taskbar nothing is docked on any edge: only the screen
    // bounds the dialog.
    if (T && T->Right < SW / 2 && left < T->Right)
        left = T->Right;
    else if (left < 0)
        left = 0;
    if (T && T->Left > SW / 2 && left + W > T->Left)
        left = T->Left - W;
    else if (left + W > SW)
        left = SW - W;
    if (T && T->Bottom < SH / 2 && top < T->Bottom)
        top = T->Bottom;
    else if (top < 0)
        top = 0;
    if (T && T->Top > SH / 2 && top + H > T->Top)
        top = T->Top - H;
    else if (top + H > SH)
        top = SH - H;
    return Point(left, top);
}

std::string ShellFolder(const std::string& Name) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKeyReadOnly("Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")) return {};
    if (reg.GetDataType(Name) != rdString && reg.GetDataType(Name) != rdExpandString) return {};
    return reg.ReadStringDef(Name, "");
}

// ---- construction -----------------------------------------------------------------------

TfrmOptions::TfrmOptions(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmOptions");
    SetCaption("Options");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(400, 304);
    Font().SetName("MS Sans Serif");
    SetHelpContext(610);

    // First: setting up the pages' controls already marks it.
    HasChanged = Check(this, this, "HasChanged", "HasChanged", 8, 276, 80);
    HasChanged->SetVisible(false);
    HasChanged->SetTabStop(false);

    PageControl1 = new TPageControl(this);
    PageControl1->SetName("PageControl1");
    PageControl1->SetParent(this);
    PageControl1->SetBounds(8, 8, 384, 256);
    General = Page(this, PageControl1, "General", "General");
    Folders = Page(this, PageControl1, "Folders", "Folders");
    ToolBarTab = Page(this, PageControl1, "ToolBarTab", "ToolBar");
    ViewTab = Page(this, PageControl1, "ViewTab", "View");
    AssociateTab = Page(this, PageControl1, "AssociateTab", "Associate");
    BuildGeneral();
    BuildFolders();
    BuildToolbarPage();
    BuildView();
    // Before the association buttons, which drop it.
    PopupMenu20001 = new TPopupMenu2000(this);
    PopupMenu20001->SetName("PopupMenu20001");
    BuildAssociate();
    PageControl1->SetActivePage(General);

    bttnOk = new TButton(this);
    bttnOk->SetName("bttnOk");
    bttnOk->SetParent(this);
    bttnOk->SetBounds(152, 271, 75, 25);
    bttnOk->SetCaption("Ok");
    bttnOk->SetModalResult(mrOk);
    bttnOk->SetDefault(true);
    bttnOk->OnClick = [this](TObject* s) { bttnOkClick(s); };
    bttnCancel = new TButton(this);
    bttnCancel->SetName("bttnCancel");
    bttnCancel->SetParent(this);
    bttnCancel->SetBounds(235, 271, 75, 25);
    bttnCancel->SetCaption("Cancel");
    bttnCancel->SetCancel(true);
    bttnCancel->OnClick = [this](TObject* s) { bttnCancelClick(s); };
    bttnHelp = new TButton(this);
    bttnHelp->SetName("bttnHelp");
    bttnHelp->SetParent(this);
    bttnHelp->SetBounds(318, 271, 75, 25);
    bttnHelp->SetCaption("Help");
    bttnHelp->OnClick = [this](TObject* s) { bttnHelpClick(s); };

    OnShow = [this](TObject* s) { FormShow(s); };
}

TfrmOptions::~TfrmOptions() {
    if (frmOptions == this) frmOptions = nullptr;
}

void TfrmOptions::BuildGeneral() {
    TGroupBox* sys = Group(this, General, "System", 8, 8, 360, 88);
    ShellExt = Check(this, sys, "ShellExt", "Enable shell extensions", 14, 20, 330);
    InclStart = Check(this, sys, "InclStart", "Include Bramble in the &start menu", 14, 42, 330);
    InclDesk = Check(this, sys, "InclDesk", "Include Bramble on the &desktop", 14, 64, 330);
    TGroupBox* misc = Group(this, General, "Miscelaneous", 8, 106, 360, 80);
    OnTop = Check(this, misc, "OnTop", "Always On Top", 14, 20, 330);
    lblViewer = new TLabel(this);
    lblViewer->SetName("lblViewer");
    lblViewer->SetParent(misc);
    lblViewer->SetBounds(14, 49, 48, 13);
    lblViewer->SetCaption("Viewer :");
    ViewProgram = new TFilenameEdit(this);
    ViewProgram->SetName("ViewProgram");
    ViewProgram->SetParent(misc);
    ViewProgram->SetBounds(66, 45, 280, 21);
    ViewProgram->SetFilter("Programs (*.exe)|*.exe|All files (*.*)|*.*");
    lblViewer->SetFocusControl(ViewProgram);
    for (TCheckBox* c : {ShellExt, InclStart, InclDesk, OnTop}) c->OnClick = [this](TObject*) { Changed(); };
    ViewProgram->OnChange = [this](TObject*) { Changed(); };
}

void TfrmOptions::BuildFolders() {
    TGroupBox* start = Group(this, Folders, "Startup folder", 8, 8, 360, 122);
    RadioDefault = new TRadioButton(this);
    RadioLastOpen = new TRadioButton(this);
    RadioOther = new TRadioButton(this);
    int y = 20;
    for (auto [r, name, caption] : {std::tuple{RadioDefault, "RadioDefault", "System default"},
                                    std::tuple{RadioLastOpen, "RadioLastOpen", "Last open archive"},
                                    std::tuple{RadioOther, "RadioOther", "Other"}}) {
        r->SetName(name);
        r->SetParent(start);
        r->SetBounds(14, y, 330, 17);
        r->SetCaption(caption);
        // No handler: the start folder is stored with the other options
        // but does not count as a change by itself.
        y += 22;
    }
    RadioDefault->SetChecked(true);
    StartupFolder = new TDirectoryEdit(this);
    StartupFolder->SetName("StartupFolder");
    StartupFolder->SetParent(start);
    StartupFolder->SetBounds(32, 88, 314, 21);
    StartupFolder->SetDialogKind(dkWin32);
    StartupFolder->SetButtonWidth(20);

    TGroupBox* temp = Group(this, Folders, "Temp folder", 8, 140, 360, 56);
    tmpDir = new TDirectoryEdit(this);
    tmpDir->SetName("tmpDir");
    tmpDir->SetParent(temp);
    tmpDir->SetBounds(14, 22, 332, 21);
    tmpDir->SetDialogKind(dkWin32);
    tmpDir->SetDialogOptions({sdAllowCreate, sdPerformCreate});
    tmpDir->OnChange = [this](TObject*) { Changed(); };
}

void TfrmOptions::BuildToolbarPage() {
    TGroupBox* g = Group(this, ToolBarTab, "Toolbar configuration", 8, 8, 360, 88);
    Flat = Check(this, g, "Flat", "&Flat buttons", 14, 20, 330);
    Tooltips = Check(this, g, "Tooltips", "&Show tooltips", 14, 42, 330);
    Text = Check(this, g, "Text", "&Text labels", 14, 64, 330);
    for (TCheckBox* c : {Flat, Tooltips, Text}) c->OnClick = [this](TObject*) { Changed(); };
}

void TfrmOptions::BuildView() {
    TGroupBox* cols = Group(this, ViewTab, "Columns", 8, 8, 360, 158);
    struct Spec {
        TCheckBox** box;
        const char* name;
        const char* caption;
    };
    const Spec specs[12] = {{&Name, "Name", "Name"},         {&Size, "Size", "Size"},
                            {&ChkPacked, "ChkPacked", "Packed"}, {&Ratio, "Ratio", "Ratio"},
                            {&Folder, "Folder", "Folder"},   {&Modified, "Modified", "Modified"},
                            {&Method, "Method", "Method"},   {&FileType, "FileType", "File Type"},
                            {&Offset, "Offset", "Offset"},   {&Encrypted, "Encrypted", "Encrypted"},
                            {&VolumeID, "VolumeID", "VolumeID"}, {&Comment, "Comment", "Comment"}};
    for (int i = 0; i < 12; ++i)
        *specs[i].box = Check(this, cols, specs[i].name, specs[i].caption, i < 6 ? 14 : 186, 20 + (i % 6) * 22, 160);
    Name->SetChecked(true);
    Name->SetEnabled(false);
    for (TCheckBox* c : ColumnBoxes()) c->OnClick = [this](TObject*) { Changed(); };

    TGroupBox* look = Group(this, ViewTab, "Listview", 8, 174, 360, 46);
    FullRowSelect = Check(this, look, "FullRowSelect", "Full row select", 14, 20, 160);
    Showgrid = Check(this, look, "Showgrid", "Show grid", 186, 20, 160);
    for (TCheckBox* c : {FullRowSelect, Showgrid}) c->OnClick = [this](TObject*) { Changed(); };
}

void TfrmOptions::BuildAssociate() {
    TGroupBox* types = Group(this, AssociateTab, "File Types", 8, 8, 360, 146);
    for (int i = 0; i < OptionsExtCount; ++i) {
        const std::string ext = OptionsExtensions[static_cast<size_t>(i)];
        const int l = 14 + (i % 4) * 86, t = 22 + (i / 4) * 30;
        TCheckBox* c = Check(this, types, "CheckBox" + Upper(ext), ext, l, t + 3, 44);
        c->OnClick = [this, i](TObject*) { CheckBoxClick(i); };
        auto* b = new TToolbarButton97(this);
        b->SetName("ToolbarButton" + Upper(ext));
        b->SetParent(types);
        b->SetBounds(l + 44, t, 34, 23);
        // Glyph only, flat, with the kit's drop-down arrow for the menu.
        b->SetFlat(true);
        b->SetDropdownArrow(true);
        b->SetDropdownMenu(PopupMenu20001);
        b->SetEnabled(false);
        b->OnClick = [this, i](TObject*) { ToolbarButtonClick(i); };
        CheckBoxes[static_cast<size_t>(i)] = c;
        ToolbarButtons[static_cast<size_t>(i)] = b;
    }
    ToolbarButtonAll = new TButton(this);
    ToolbarButtonAll->SetName("ToolbarButtonAll");
    ToolbarButtonAll->SetParent(AssociateTab);
    ToolbarButtonAll->SetBounds(8, 164, 85, 25);
    ToolbarButtonAll->SetCaption("Select All");
    ToolbarButtonAll->OnClick = [this](TObject* s) { ToolbarButtonAllClick(s); };
    ToolbarButtonNone = new TButton(this);
    ToolbarButtonNone->SetName("ToolbarButtonNone");
    ToolbarButtonNone->SetParent(AssociateTab);
    ToolbarButtonNone->SetBounds(101, 164, 85, 25);
    ToolbarButtonNone->SetCaption("Select none");
    ToolbarButtonNone->OnClick = [this](TObject* s) { ToolbarButtonNoneClick(s); };

    Image1 = new TImage(this);
    Image1->SetName("Image1");
    Image1->SetParent(AssociateTab);
    Image1->SetBounds(300, 164, 32, 32);
    Image1->SetVisible(false);
    Image2 = new TImage(this);
    Image2->SetName("Image2");
    Image2->SetParent(AssociateTab);
    Image2->SetBounds(340, 164, 16, 16);
    Image2->SetVisible(false);
}

std::array<TCheckBox*, 11> TfrmOptions::ColumnBoxes() const {
    return {Size, ChkPacked, Ratio, Folder, Modified, Method, FileType, Offset, Encrypted, VolumeID, Comment};
}

TCheckBox* TfrmOptions::CheckBoxOf(const std::string& Ext) const {
    for (int i = 0; i < OptionsExtCount; ++i)
        if (Upper(OptionsExtensions[static_cast<size_t>(i)]) == Upper(Ext)) return CheckBoxes[static_cast<size_t>(i)];
    return nullptr;
}

TToolbarButton97* TfrmOptions::ToolbarButtonOf(const std::string& Ext) const {
    for (int i = 0; i < OptionsExtCount; ++i)
        if (Upper(OptionsExtensions[static_cast<size_t>(i)]) == Upper(Ext))
            return ToolbarButtons[static_cast<size_t>(i)];
    return nullptr;
}

// ---- icons ------------------------------------------------------------------------------

bool TfrmOptions::LoadIconPicture(const std::string& IconFile) {
    bool loaded = true;
    try {
        Image1->Icon().LoadFromFile(IconFile);
    } catch (const EInvalidGraphic&) {
        // A missing or broken icon file costs the button its picture, not
        // the dialog.
        Image1->Icon().SetHandle(nullptr);
        loaded = false;
    }
    TBitmap& b = Image2->Bitmap();
    b.SetSize(16, 16);
    b.Canvas().Brush().SetColor(kKey);
    b.Canvas().FillRect(Rect(0, 0, 16, 16));
    if (loaded) b.Canvas().StretchDraw(Rect(0, 0, 16, 16), Image1->Icon());
    b.SetTransparentColor(kKey);
    return loaded;
}

void TfrmOptions::SetButtonGlyph(TToolbarButton97* Button) {
    // Two pictures side by side: the icon, and the same greyed for a
    // disabled button.
    TBitmap strip;
    TBitmap& g = strip;
    g.SetSize(2 * kGlyphW, kGlyphH);
    TCanvas& c = g.Canvas();
    c.Brush().SetColor(kKey);
    c.FillRect(Rect(0, 0, 2 * kGlyphW, kGlyphH));
    TCanvas& src = Image2->Bitmap().Canvas();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const COLORREF p = ColorToRGB(src.Pixel(x, y));
            if (p == static_cast<COLORREF>(kKey)) continue;
            c.SetPixel(1 + x, y, static_cast<TColor>(p));
            const int lum = (GetRValue(p) * 30 + GetGValue(p) * 59 + GetBValue(p) * 11) / 100;
            const int grey = 128 + lum / 2;
            c.SetPixel(kGlyphW + 1 + x, y, static_cast<TColor>(RGB(grey, grey, grey)));
        }
    g.SetTransparentColor(kKey);
    // Given whole: the button takes the strip's two pictures from its shape.
    Button->SetGlyph(&strip);
    Button->SetNumGlyphs(2);
}

// ---- handlers ---------------------------------------------------------------------------

void TfrmOptions::CheckBoxClick(int Index) {
    Changed();
    ToolbarButtons[static_cast<size_t>(Index)]->SetEnabled(CheckBoxes[static_cast<size_t>(Index)]->Checked());
}

void TfrmOptions::ToolbarButtonClick(int Index) {
    Changed();
    // The button drops PopupMenu20001 itself once this has run.
    iconTargetExt_ = Upper(OptionsExtensions[static_cast<size_t>(Index)]);
}

void TfrmOptions::ToolbarButtonAllClick(TObject*) {
    Changed();
    for (TCheckBox* c : CheckBoxes) c->SetChecked(true);
}

void TfrmOptions::ToolbarButtonNoneClick(TObject*) {
    Changed();
    for (TCheckBox* c : CheckBoxes) c->SetChecked(false);
}

void TfrmOptions::MyPopupHandler(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || item->Tag() < 0 || item->Tag() >= static_cast<int>(iconFiles_.size())) return;
    // The file's name is kept beside the item: its caption may carry an
    // accelerator mark.
    const std::string file = iconFiles_[static_cast<size_t>(item->Tag())];
    LoadIconPicture(file);
    TToolbarButton97* b = ToolbarButtonOf(iconTargetExt_);
    if (!b) return;
    SetButtonGlyph(b);
    b->SetHint(file);
}

void TfrmOptions::FormShow(TObject*) {
    const std::string folder = ProgramFolder();
    // 1. The default icon on every extension that is not ours.
    const std::string defIcon = folder + "\\default.ico";
    LoadIconPicture(defIcon);
    for (int i = 0; i < OptionsExtCount; ++i) {
        TToolbarButton97* b = ToolbarButtons[static_cast<size_t>(i)];
        if (!CheckBoxes[static_cast<size_t>(i)]->Checked()) {
            SetButtonGlyph(b);
            b->SetHint(defIcon);
            b->SetEnabled(false);
        } else {
            b->SetEnabled(true);
        }
    }
    // 2.
    HasChanged->SetChecked(false);
    // 3. The shell extension: our handler's key names our class, or the
    // extension is off. Only a missing key leaves the box as it is.
    {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (reg.OpenKeyReadOnly("*\\shellex\\ContextMenuHandlers\\Bramble"))
            ShellExt->SetChecked(reg.ReadStringDef("", "") == ShellExtClassIdText);
    }
    // 4.
    {
        TRegistry reg(KEY_READ);
        if (reg.OpenKeyReadOnly(SettingsOptionsKey)) {
            if (reg.GetDataType("OnTop") == rdInteger) OnTop->SetChecked(reg.ReadBoolDef("OnTop", false));
            if (frmMain) {
                FullRowSelect->SetChecked(frmMain->ListView1->RowSelect());
                Showgrid->SetChecked(frmMain->ListView1->GridLines());
            }
        }
    }
    // 5. Associations and their icons.
    for (int i = 0; i < OptionsExtCount; ++i) {
        const std::string ext = OptionsExtensions[static_cast<size_t>(i)];
        const std::string cls = "Bramble." + ext;
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        const bool ours = reg.OpenKeyReadOnly("." + ext) && reg.ReadStringDef("", "") == cls;
        CheckBoxes[static_cast<size_t>(i)]->SetChecked(ours);
        reg.CloseKey();
        if (reg.OpenKeyReadOnly(cls + "\\DefaultIcon") && reg.GetDataType("") != rdUnknown) {
            const std::string icon = reg.ReadStringDef("", "");
            LoadIconPicture(icon);
            TToolbarButton97* b = ToolbarButtons[static_cast<size_t>(i)];
            SetButtonGlyph(b);
            b->SetHint(icon);
        }
    }
    // 6.
    if (frmMain) {
        Flat->SetChecked(frmMain->Flat1->Checked());
        Tooltips->SetChecked(frmMain->Tooltips1->Checked());
        Text->SetChecked(frmMain->Text1->Checked());
    }
    // 7. The shortcuts, looked for where saving them would put them (the
    // folder made when missing, one level, as saving does).
    {
        const HRESULT init = CoInitialize(nullptr);
        IShellLinkA* link = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link)))) {
            IPersistFile* file = nullptr;
            if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
                for (auto [name, box] : {std::pair{"Start Menu", InclStart}, std::pair{"Desktop", InclDesk}}) {
                    const std::string dir = ShellFolder(name);
                    // An empty value names no folder: "\Bramble.lnk" would
                    // be whatever lies at the current drive's root.
                    if (dir.empty()) continue;
                    if (GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryA(dir.c_str(), nullptr);
                    const std::string lnk = AppendBackslash(dir) + "Bramble.lnk";
                    if (GetFileAttributesA(lnk.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
                    if (SUCCEEDED(file->Load(Wide(lnk).c_str(), STGM_READ))) box->SetChecked(true);
                }
                file->Release();
            }
            link->Release();
        }
        if (SUCCEEDED(init)) CoUninitialize();
    }
    // 8. Columns.
    if (frmMain) {
        auto boxes = ColumnBoxes();
        TListColumns& cols = frmMain->ListView1->Columns();
        for (int i = 0; i < 11 && i + 1 < cols.Count(); ++i) boxes[static_cast<size_t>(i)]->SetChecked(cols[i + 1]->Width() > 0);
    }
    // 9. The icon menu: every icon beside the program.
    PopupMenu20001->Items()->Clear();
    iconFiles_.clear();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*.ico").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::string path = folder + "\\" + fd.cFileName;
            // A file's name, not a command: no standard command's shortcut.
            auto* m = new TMenuItem2000(this);
            m->SetShortCut(0);
            m->SetCaption(MenuCaption(fd.cFileName));
            m->SetTag(static_cast<int>(iconFiles_.size()));
            iconFiles_.push_back(path);
            LoadIconPicture(path);
            // The menu leaves out a glyph's bottom-left colour: a key row
            // under the picture keeps an icon that fills its square.
            TBitmap& g = m->Bitmap();
            g.SetSize(16, 17);
            g.Canvas().Brush().SetColor(kKey);
            g.Canvas().FillRect(Rect(0, 0, 16, 17));
            g.Canvas().Draw(0, 0, Image2->Bitmap());
            m->OnClick = [this](TObject* s) { MyPopupHandler(s); };
            PopupMenu20001->Items()->Add(m);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
}

void TfrmOptions::bttnOkClick(TObject*) {
    if (HasChanged->Checked()) {
        // Stored as typed: a folder that is not there yet may be made later.
        const std::string temp = tmpDir->Text();
        TRegistry reg;
        try {
            if (reg.OpenKey(SettingsOptionsKey, true)) {
                reg.WriteString("Viewer", ViewProgram->Text());
                reg.WriteBool("OnTop", OnTop->Checked());
                reg.WriteString("tmpDir", temp);
                reg.WriteBool("StartDefault", RadioDefault->Checked());
                reg.WriteBool("StartLast", RadioLastOpen->Checked());
                reg.WriteBool("StartOther", RadioOther->Checked());
                reg.WriteString("StartupFolder", StartupFolder->Text());
            }
        } catch (const ERegistryException&) {
        }
    }
    SetModalResult(mrOk);
}

void TfrmOptions::bttnCancelClick(TObject*) { SetModalResult(mrCancel); }

void TfrmOptions::bttnHelpClick(TObject*) { Application->HelpContext(610); }

}  // namespace bramble
