#include "kits/controls/comboedit.h"

#include <shellapi.h>

#include <vector>

#include "engine/core/helpers.h"
#include "kits/controls/browsefolder.h"
#include "kits/controls/utils.h"
#include "ui/forms.h"

namespace bramble {

namespace {
// The platform's combo-box arrow among its own bitmaps.
constexpr WORD kObmCombo = 32738;

bool IsFile(const std::string& Path) {
    if (Path.empty()) return false;
    DWORD a = GetFileAttributesA(Path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The platform's critical-error and open-file boxes stay away while a
// dialog looks at drives.
struct QuietErrors {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ~QuietErrors() { SetErrorMode(old); }
};

std::string Quoted(const std::string& Name) {
    if (Name.find(' ') != std::string::npos && Name[0] != '"') return "\"" + Name + "\"";
    return Name;
}

std::string FolderOf(const std::string& Path) { return FolderWithoutSlash(ExtractFilePath(Path)); }
}  // namespace

// ---- TEditButton ------------------------------------------------------------------

TEditButton::TEditButton(TComponent* AOwner, TCustomComboEdit* Edit) : TVqSpeedButton(AOwner), edit_(Edit) {}

void TEditButton::SetDropDownMark(bool v) {
    if (v == drop_down_mark_) return;
    drop_down_mark_ = v;
    Invalidate();
}

void TEditButton::Paint() {
    if (drop_down_mark_) {
        // The platform draws its own combo-box button: arrow, frame and
        // pressed look, as a combo box beside the edit would show it.
        RECT r{0, 0, Width(), Height()};
        UINT st = DFCS_SCROLLCOMBOBOX;
        if (State() == bsDown || State() == bsExclusive) st |= DFCS_PUSHED | DFCS_FLAT;
        if (!Enabled()) st |= DFCS_INACTIVE;
        DrawFrameControl(Canvas().Handle(), &r, DFC_SCROLL, st);
        return;
    }
    TVqSpeedButton::Paint();
    if (Style() == bsNew && Flat()) return;
    // A separator down the left edge, against the text.
    HDC dc = Canvas().Handle();
    auto line = [&](int x, TColor c) {
        HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(c));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, Height());
        SelectObject(dc, old);
        DeleteObject(pen);
    };
    line(0, Style() == bsWin31 ? clBtnShadow : clBtnFace);
    line(1, clBtnHighlight);
}

void TEditButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && edit_ && edit_->HasPopup()) {
        // The press itself opens or closes the window, so the release
        // over a window that just opened does not close it again.
        if (edit_->PopupVisible())
            edit_->HidePopup(false);
        else
            edit_->ShowPopup();
        return;
    }
    if (Button == mbLeft && edit_ && edit_->CanFocus() && !edit_->Focused()) edit_->SetFocus();
    TVqSpeedButton::MouseDown(Button, Shift, X, Y);
}

// ---- TCustomComboEdit -------------------------------------------------------------

TCustomComboEdit::TCustomComboEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
    InitControlsKit();
    SetBounds(Left(), Top(), 121, 21);
    panel_ = new TPanel(this);
    panel_->SetBevelOuter(bvNone);
    panel_->SetCaption("");
    panel_->SetParent(this);
    button_ = new TEditButton(this, this);
    button_->SetParent(panel_);
    button_->SetAlign(alClient);
    button_->SetGrayedInactive(false);
    button_->SetLayout(blGlyphLeft);
    button_->OnClick = [this](TObject*) { DoClick(); };
    PlaceButton();
}

TCustomComboEdit::~TCustomComboEdit() { Destroying(); }

void TCustomComboEdit::CreateParams(TCreateParams& Params) {
    TCustomMaskEdit::CreateParams(Params);
    // The button's panel is a child window: the edit paints around it.
    Params.Style |= WS_CLIPCHILDREN;
}

void TCustomComboEdit::CreateWnd() {
    TCustomMaskEdit::CreateWnd();
    PlaceButton();
}

void TCustomComboEdit::Resize() {
    TCustomMaskEdit::Resize();
    PlaceButton();
}

void TCustomComboEdit::PlaceButton() {
    if (!panel_) return;
    const TRect cr = HandleAllocated() ? ClientRect() : Rect(0, 0, Width() - 4, Height() - 4);
    const int w = LargerOf(button_width_, 0);
    panel_->SetVisible(w > 0);
    panel_->SetBounds(cr.Right - w, 0, w, cr.Height());
    // The text stops short of the button.
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, w + 2));
}

void TCustomComboEdit::SetButtonWidth(int v) {
    if (v < 0) v = 0;
    if (v == button_width_) return;
    button_width_ = v;
    PlaceButton();
}

void TCustomComboEdit::SetDirectInput(bool v) {
    direct_input_ = v;
    TCustomMaskEdit::SetReadOnly(read_only_ || !direct_input_);
}

void TCustomComboEdit::SetReadOnly(bool v) {
    read_only_ = v;
    TCustomMaskEdit::SetReadOnly(read_only_ || !direct_input_);
}

void TCustomComboEdit::SetGlyph(TBitmap* v) {
    glyph_kind_ = gkCustom;
    button_->SetGlyph(v);
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind v) {
    if (v == glyph_kind_) return;
    glyph_kind_ = v;
    UpdateGlyph();
}

void TCustomComboEdit::UpdateGlyph() {
    button_->SetDropDownMark(glyph_kind_ == gkDropDown);
    switch (glyph_kind_) {
        case gkDefault:
            button_->SetGlyph(DefaultGlyph());
            button_->SetNumGlyphs(1);
            break;
        case gkDropDown: {
            made_glyph_ = std::make_unique<TBitmap>();
            if (HBITMAP h = LoadBitmapA(nullptr, MAKEINTRESOURCEA(kObmCombo))) {
                // The platform's bitmap may be monochrome: its 0 bits are
                // the arrow (black), its 1 bits the ground (white).
                BITMAP bm{};
                GetObjectA(h, sizeof bm, &bm);
                made_glyph_->SetSize(bm.bmWidth, bm.bmHeight);
                HDC src = CreateCompatibleDC(nullptr);
                HGDIOBJ old = SelectObject(src, h);
                HDC dst = made_glyph_->Canvas().Handle();
                SetTextColor(dst, RGB(0, 0, 0));
                SetBkColor(dst, RGB(255, 255, 255));
                BitBlt(dst, 0, 0, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
                SelectObject(src, old);
                DeleteDC(src);
                DeleteObject(h);
                // Its bottom row may be a bar of arrow colour: the ground
                // is what stays out.
                made_glyph_->SetTransparentColor(clWhite);
            }
            button_->SetGlyph(made_glyph_.get());
            button_->SetNumGlyphs(1);
            break;
        }
        case gkEllipsis: {
            // Three 2 by 2 dots, 2 pixels apart.
            made_glyph_ = std::make_unique<TBitmap>(10, 2);
            made_glyph_->SetMonochrome(true);
            TCanvas& c = made_glyph_->Canvas();
            c.Brush().SetColor(clWhite);
            c.FillRect(Rect(0, 0, 10, 2));
            c.Brush().SetColor(clBlack);
            for (int i = 0; i < 3; ++i) c.FillRect(Rect(i * 4, 0, i * 4 + 2, 2));
            made_glyph_->SetTransparentColor(clWhite);
            button_->SetGlyph(made_glyph_.get());
            button_->SetNumGlyphs(1);
            break;
        }
        case gkCustom:
            break;
    }
    SetButtonWidth(DefaultButtonWidth());
}

int TCustomComboEdit::DefaultButtonWidth() {
    const int scroll = GetSystemMetrics(SM_CXVSCROLL);
    if (glyph_kind_ == gkDefault && !button_->Glyph().Empty())
        return LargerOf(button_->Glyph().Width() / LargerOf(button_->NumGlyphs(), 1) + 6, scroll);
    if (glyph_kind_ == gkDropDown) return scroll;
    return 21;
}

void TCustomComboEdit::ButtonClick() {
    if (!HasPopup()) return;
    if (popup_visible_)
        HidePopup(false);
    else
        ShowPopup();
}

void TCustomComboEdit::ShowPopup() {
    if (!HasPopup() || popup_visible_) return;
    popup_visible_ = true;
    PopupDropDown();
}

void TCustomComboEdit::HidePopup(bool Accept) {
    if (!popup_visible_) return;
    popup_visible_ = false;
    PopupCloseUp(Accept);
}

void TCustomComboEdit::DoClick() {
    if (button_width_ <= 0 || !button_->Enabled()) return;
    ButtonClick();
}

void TCustomComboEdit::KeyDown(WORD& Key, TShiftState Shift) {
    if (popup_visible_ && (Key == VK_RETURN || Key == VK_ESCAPE) && Shift.empty()) {
        HidePopup(Key == VK_RETURN);
        Key = 0;
        return;
    }
    if (click_key_ != scNone && ShortCut(Key, Shift) == click_key_ && button_width_ > 0) {
        Key = 0;
        DoClick();
        return;
    }
    TCustomMaskEdit::KeyDown(Key, Shift);
}

void TCustomComboEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TAliveToken alive = AliveToken();
    TCustomMaskEdit::MouseDown(Button, Shift, X, Y);
    if (alive.Alive() && Button == mbLeft && !direct_input_) DoClick();
}

// ---- TFileDirEdit ---------------------------------------------------------------------

TFileDirEdit::TFileDirEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) { SetGlyphKind(gkDefault); }

TBitmap* TFileDirEdit::DefaultGlyph() {
    // One copy for the whole program, freed when it ends.
    static std::unique_ptr<TBitmap> glyph = [] {
        auto b = std::make_unique<TBitmap>();
        try {
            b->LoadFromResourceName(GetModuleHandleA(nullptr), "FEDITBMP");
        } catch (const Exception&) {
            b->Clear();  // a program without the kit's resources: no glyph
        }
        return b;
    }();
    return glyph->Empty() ? nullptr : glyph.get();
}

void TFileDirEdit::SetAcceptFiles(bool v) {
    if (v == accept_files_) return;
    accept_files_ = v;
    if (HandleAllocated()) DragAcceptFiles(Handle(), v);
}

void TFileDirEdit::SetOEMConvert(bool v) {
    if (v == oem_convert_) return;
    oem_convert_ = v;
    RecreateWnd();
}

void TFileDirEdit::CreateParams(TCreateParams& Params) {
    TCustomComboEdit::CreateParams(Params);
    if (oem_convert_) Params.Style |= ES_OEMCONVERT;
}

void TFileDirEdit::CreateWnd() {
    TCustomComboEdit::CreateWnd();
    if (accept_files_) DragAcceptFiles(Handle(), TRUE);
}

void TFileDirEdit::ButtonClick() {
    TAliveToken alive = AliveToken();
    if (OnButtonClick) OnButtonClick(this);
    if (!alive.Alive()) return;
    if (HasPopup())
        TCustomComboEdit::ButtonClick();
    else
        RunDialog();
}

void TFileDirEdit::DropFiles(HDROP Drop) {
    struct Finish {
        HDROP d;
        ~Finish() { DragFinish(d); }
    } finish{Drop};
    TAliveToken alive = AliveToken();
    ClearFileList();
    const UINT n = DragQueryFileA(Drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n && alive.Alive(); ++i) {
        if (i > 0 && !MultipleSelect()) break;
        // Taken whole, however long.
        std::vector<char> name(DragQueryFileA(Drop, i, nullptr, 0) + 1);
        DragQueryFileA(Drop, i, name.data(), static_cast<UINT>(name.size()));
        try {
            ReceptFileDir(name.data());
        } catch (const EComboEditError&) {
            // A name the edit cannot hold is left out; the drop goes on.
            MessageBeep(MB_ICONWARNING);
        }
    }
    if (alive.Alive() && OnDropFiles) OnDropFiles(this);
}

void TFileDirEdit::WndProc(TMessage& m) {
    if (m.Msg == WM_DROPFILES) {
        HDROP drop = reinterpret_cast<HDROP>(m.WParam);
        CallGuarded(this, [&] { DropFiles(drop); });
        m.Result = 0;
        return;
    }
    TCustomComboEdit::WndProc(m);
}

// ---- TFilenameEdit ----------------------------------------------------------------------

TFilenameEdit::TFilenameEdit(TComponent* AOwner) : TFileDirEdit(AOwner), dialog_(std::make_unique<TOpenDialog>()) {
    dialog_->SetFilter("All files (*.*)|*.*");
    dialog_->SetTitle("Browse");
}

TFilenameEdit::~TFilenameEdit() = default;

void TFilenameEdit::SetDialogKind(TFileDialogKind v) {
    if (v == dialog_kind_) return;
    dialog_kind_ = v;
    // The dialog of the new kind takes every setting of the old one.
    std::unique_ptr<TOpenDialog> d;
    switch (v) {
        case dkOpen: d = std::make_unique<TOpenDialog>(); break;
        case dkSave: d = std::make_unique<TSaveDialog>(); break;
        case dkOpenPicture: d = std::make_unique<TOpenPictureDialog>(); break;
        case dkSavePicture: d = std::make_unique<TSavePictureDialog>(); break;
    }
    d->SetFileName(dialog_->FileName());
    d->SetFilter(dialog_->Filter());
    d->SetFilterIndex(dialog_->FilterIndex());
    d->SetInitialDir(dialog_->InitialDir());
    d->SetDefaultExt(dialog_->DefaultExt());
    d->SetTitle(dialog_->Title());
    d->SetOptions(dialog_->Options());
    d->SetHelpContext(dialog_->HelpContext());
    d->SetFileEditStyle(dialog_->FileEditStyle());
    d->HistoryList().Assign(dialog_->HistoryList());
    d->Files().Assign(dialog_->Files());
    dialog_ = std::move(d);
}

std::string TFilenameEdit::FileName() const {
    const std::string t = Text();
    if (IsFile(t)) return t;
    std::string program, params;
    SplitProgramAndParams(t, program, params);
    return program;
}

void TFilenameEdit::SetFileName(const std::string& v) {
    if (v.empty()) {
        SetText("");
    } else {
        std::string plain = v, params;
        if (v[0] == '"') SplitProgramAndParams(v, plain, params);
        if (!FileNameIsValid(plain)) throw EComboEditError(Format(SInvalidFileName, v.c_str()));
        SetText(Quoted(v));
    }
    ClearFileList();
}

bool TFilenameEdit::MultipleSelect() const { return dialog_->Options().contains(ofAllowMultiSelect); }

void TFilenameEdit::ReceptFileDir(const std::string& Name) {
    if (!MultipleSelect()) {
        SetFileName(Name);
        return;
    }
    if (dialog_->Files().Count() == 0) SetFileName(Name);
    dialog_->Files().Add(Name);
}

void TFilenameEdit::ClearFileList() { dialog_->Files().Clear(); }

std::string TFilenameEdit::GetLongName() { return LongPathName(FileName()); }
std::string TFilenameEdit::GetShortName() { return ShortPathName(FileName()); }

void TFilenameEdit::RunDialog() {
    TAliveToken alive = AliveToken();
    std::string name = FileName();
    bool action = true;
    if (OnBeforeDialog) OnBeforeDialog(this, name, action);
    if (!alive.Alive() || !action) return;
    if (FileNameIsValid(name)) {
        const std::string folder = FolderOf(name);
        if (IsExistingDir(folder)) dialog_->SetInitialDir(folder);
        const std::string file = ExtractFileName(name);
        dialog_->SetFileName(FileNameIsValid(file) ? file : std::string());
    }
    dialog_->SetHelpContext(HelpContext());
    {
        QuietErrors quiet;
        action = dialog_->Execute();
    }
    if (!alive.Alive()) return;
    if (action) name = dialog_->FileName();
    if (CanFocus()) SetFocus();
    if (OnAfterDialog) OnAfterDialog(this, name, action);
    if (!alive.Alive() || !action) return;
    SetText(Quoted(name));
    const std::string folder = FolderOf(dialog_->FileName());
    if (!folder.empty()) dialog_->SetInitialDir(folder);
}

// ---- TDirectoryEdit ------------------------------------------------------------------------

TDirectoryEdit::TDirectoryEdit(TComponent* AOwner) : TFileDirEdit(AOwner) {}

void TDirectoryEdit::ReceptFileDir(const std::string& Name) {
    const std::string folder = IsFile(Name) ? FolderOf(Name) : Name;
    const std::string t = Text();
    SetText(multiple_dirs_ && !t.empty() ? t + ";" + folder : folder);
}

std::string TDirectoryEdit::MapItems(bool Long) {
    auto map = [&](const std::string& s) { return Long ? LongPathName(s) : ShortPathName(s); };
    const std::string t = Text();
    if (!multiple_dirs_) return map(t);
    std::string out;
    int pos = 1;
    while (pos <= static_cast<int>(t.size())) {
        const std::string item = map(ExtractSubstringAt(t, pos, ";"));
        if (item.empty()) continue;
        if (!out.empty()) out += ';';
        out += item;
    }
    return out;
}

std::string TDirectoryEdit::GetLongName() { return MapItems(true); }
std::string TDirectoryEdit::GetShortName() { return MapItems(false); }

void TDirectoryEdit::RunDialog() {
    TAliveToken alive = AliveToken();
    std::string folder = Text();
    bool action = true;
    if (OnBeforeDialog) OnBeforeDialog(this, folder, action);
    if (!alive.Alive() || !action) return;
    // The root of the current drive stands in for a missing start folder,
    // spelt out: the shell's browser does not read a bare "\".
    char full[MAX_PATH] = {};
    const std::string root = GetFullPathNameA("\\", MAX_PATH, full, nullptr) ? full : std::string(1, '\\');
    if (folder.empty()) folder = initial_dir_.empty() ? root : initial_dir_;
    if (!IsExistingDir(folder)) folder = root;
    {
        QuietErrors quiet;
        if (dialog_kind_ == dkWin32)
            action = BrowseForDirectory(folder, dialog_text_, HelpContext());
        else
            action = SelectDirectory(folder, dialog_options_, HelpContext());
    }
    if (!alive.Alive()) return;
    if (CanFocus()) SetFocus();
    if (OnAfterDialog) OnAfterDialog(this, folder, action);
    if (!alive.Alive() || !action) return;
    SetSelLength(0);
    const std::string t = Text();
    SetText(multiple_dirs_ && !t.empty() ? t + ";" + folder : folder);
    if (IsExistingDir(folder)) initial_dir_ = folder;
}

}  // namespace bramble
