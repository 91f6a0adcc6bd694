#include "app/widgets/pathcombo.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/widgets/shellitem.h"
#include "ui/errormode.h"

namespace bramble {

namespace {

std::string Upper(std::string S) {
    if (!S.empty()) CharUpperBuffA(S.data(), static_cast<DWORD>(S.size()));
    return S;
}

bool DriveRooted(const std::string& P) {
    return P.size() >= 3 && IsCharAlphaA(P[0]) && P[1] == ':' && P[2] == '\\';
}

void AddDrive(std::vector<TPathRow>& Rows, int Drive) {
    Rows.push_back({std::string(1, static_cast<char>('A' + Drive)) + ":\\", 8});
}

}  // namespace

std::vector<TPathRow> PathComboRows(const std::string& Path, DWORD DriveMask, const std::string& DesktopPath,
                                    int& Selected) {
    std::vector<TPathRow> rows{{DesktopPath, 0}, {std::string(), 4}};
    Selected = -1;
    if (Path.empty() || Upper(Path) == Upper(DesktopPath)) {
        for (int d = 0; d < 26; ++d)
            if (DriveMask & (1u << d)) AddDrive(rows, d);
        Selected = Path.empty() ? 1 : 0;
        return rows;
    }
    // Network paths and anything else without a drive show no levels.
    const char letter = Upper(Path.substr(0, 1))[0];
    if (letter < 'A' || letter > 'Z' || !DriveRooted(Path)) return rows;
    const int drive = letter - 'A';
    for (int d = 0; d < drive; ++d)
        if (DriveMask & (1u << d)) AddDrive(rows, d);
    AddDrive(rows, drive);
    Selected = static_cast<int>(rows.size()) - 1;
    int level = 3;
    for (size_t start = 3, slash; (slash = Path.find('\\', start)) != std::string::npos; start = slash + 1) {
        rows.push_back({Path.substr(0, slash + 1), 4 * level++});
        Selected = static_cast<int>(rows.size()) - 1;
    }
    if (rows.back().Data > 8) rows.back().Data += 1;
    for (int d = drive + 1; d < 26; ++d)
        if (DriveMask & (1u << d)) AddDrive(rows, d);
    return rows;
}

bool NormalizeComboPath(const std::string& Path, std::string& Out) {
    if (Path.empty()) {
        Out.clear();
        return true;
    }
    std::string p = Path;
    if (p.back() != '\\') p += '\\';
    if (p.compare(0, 2, "\\\\") == 0) {
        Out = p;
        return true;
    }
    // A relative folder ("docs", "C:docs", "\docs") would otherwise read
    // as a drive of its first letter; "." and ".." levels would show as
    // levels of their own.
    char full[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameA(p.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return false;
    p = full;
    if (p.back() != '\\') p += '\\';
    if (!DriveRooted(p) && p.compare(0, 2, "\\\\") != 0) return false;
    Out = p;
    return true;
}

// ---- TPathComboBox ----------------------------------------------------------------------------

TPathComboBox::TPathComboBox(TComponent* AOwner) : TComboBox(AOwner) {
    SetWidth(230);
    SetStyle(csOwnerDrawFixed);
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, MAX_PATH);
    SHFILEINFOA sfi{};
    images_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(windir, 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    drive_mask_ = GetLogicalDrives();
    char cwd[MAX_PATH * 2] = {};
    const DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (n > 0 && n < sizeof cwd) {
        path_ = cwd;
        if (path_.back() != '\\') path_ += '\\';
    }
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &pidl)) && pidl) {
        char dir[MAX_PATH] = {};
        if (SHGetPathFromIDListA(pidl, dir) && dir[0]) {
            desktop_path_ = dir;
            if (desktop_path_.back() != '\\') desktop_path_ += '\\';
        }
        PidlFree(pidl);
    }
    auto special = [](int Csidl, std::string& Name, int& Icon) {
        LPITEMIDLIST id = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, Csidl, &id)) || !id) return;
        SHFILEINFOA info{};
        if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(id), 0, &info, sizeof info,
                           SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
            Name = info.szDisplayName;
            Icon = info.iIcon;
        }
        PidlFree(id);
    };
    special(CSIDL_DESKTOP, desktop_name_, desktop_icon_);
    special(CSIDL_DRIVES, drives_name_, drives_icon_);
    UpdateRowHeight();
    Rebuild();
}

TPathComboBox::~TPathComboBox() { Destroying(); }

void TPathComboBox::CreateWnd() {
    TComboBox::CreateWnd();
    Rebuild();
}

void TPathComboBox::SetPath(const std::string& Path) {
    std::string path;
    if (!NormalizeComboPath(Path, path)) return;
    if (Upper(path) == Upper(path_)) return;
    path_ = path;
    Rebuild();
    if (busy_) return;
    busy_ = true;
    TAliveToken alive = AliveToken();
    struct Done {
        TPathComboBox* self;
        TAliveToken& alive;
        ~Done() {
            if (alive.Alive()) self->busy_ = false;
        }
    } done{this, alive};
    if (OnChange && !Silent()) OnChange(this);
}

void TPathComboBox::Rebuild() {
    int selected = -1;
    rows_ = PathComboRows(path_, drive_mask_, desktop_path_, selected);
    looks_.assign(rows_.size(), TRowLook{});
    Items().BeginUpdate();
    Items().Clear();
    for (const TPathRow& row : rows_) Items().Add(row.Text);
    Items().EndUpdate();
    SetItemIndex(selected);
}

const TPathComboBox::TRowLook& TPathComboBox::LookOf(int Index) {
    TRowLook& look = looks_.at(static_cast<size_t>(Index));
    if (look.Known) return look;
    look.Known = true;
    if (Index == 0) {
        look.Name = desktop_name_;
        look.Icon = desktop_icon_;
    } else if (Index == 1) {
        look.Name = drives_name_;
        look.Icon = drives_icon_;
    } else {
        // Drive rows name empty floppy and CD drives too.
        TQuietDrives quiet;
        const TPathRow& row = rows_[static_cast<size_t>(Index)];
        SHFILEINFOA sfi{};
        UINT flags = SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
        if (row.Data & 1) flags |= SHGFI_OPENICON;
        if (SHGetFileInfoA(row.Text.c_str(), 0, &sfi, sizeof sfi, flags)) {
            look.Name = sfi.szDisplayName;
            look.Icon = sfi.iIcon;
        }
    }
    if (look.Name.empty()) look.Name = rows_[static_cast<size_t>(Index)].Text;
    return look;
}

void TPathComboBox::DrawItem(int Index, TRect R, TOwnerDrawState State) {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(R);
    if (Index < 0 || Index >= static_cast<int>(rows_.size())) return;
    const TRowLook& look = LookOf(Index);
    // The closed box shows where the user is, not how deep it lies.
    const int indent = State.contains(odComboBoxEdit) ? 0 : rows_[static_cast<size_t>(Index)].Data / 4 * 10;
    int iw = 16, ih = 16;
    if (images_) ImageList_GetIconSize(images_, &iw, &ih);
    const int x = R.Left + indent + 2;
    const bool selected = State.contains(odSelected);
    if (images_ && look.Icon >= 0)
        ImageList_Draw(images_, look.Icon, c.Handle(), x, R.Top + (R.Height() - ih) / 2,
                       selected ? ILD_FOCUS : ILD_NORMAL);
    const int left = x + iw + 4;
    const int th = c.TextHeight(look.Name);
    TRect band = Rect(left, R.Top, std::min<int>(left + c.TextWidth(look.Name) + 4, R.Right), R.Bottom);
    c.Brush().SetColor(selected ? clHighlight : Color());
    c.Font().SetColor(selected ? clHighlightText : Font().Color());
    c.TextRect(band, left + 2, R.Top + (R.Height() - th) / 2, look.Name);
}

void TPathComboBox::ApplyPick(bool Closing) {
    const int i = ItemIndex();
    if (i < 0 || i >= static_cast<int>(rows_.size())) return;
    if (!Closing && DroppedDown()) return;
    const std::string text = rows_[static_cast<size_t>(i)].Text;
    if (text != path_) SetPath(text);
}

void TPathComboBox::Click() {
    TAliveToken alive = AliveToken();
    TComboBox::Click();
    if (alive.Alive()) ApplyPick(false);
}

void TPathComboBox::KeyPress(char& Key) {
    TComboBox::KeyPress(Key);
    if (Key == 13 || Key == 27) Click();
}

void TPathComboBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CM_WANTSPECIALKEY:
            // Enter and Escape close an open list here; a closed box leaves
            // them to the dialog's default and cancel buttons.
            if ((m.WParam == VK_RETURN || m.WParam == VK_ESCAPE) && DroppedDown()) {
                m.Result = 1;
                return;
            }
            break;
        case CN_COMMAND:
            if (HIWORD(m.WParam) == CBN_CLOSEUP) {
                TAliveToken alive = AliveToken();
                TComboBox::WndProc(m);
                if (alive.Alive()) ApplyPick(true);
                return;
            }
            break;
        default: break;
    }
    TComboBox::WndProc(m);
}

void TPathComboBox::FontChanged() {
    TComboBox::FontChanged();
    UpdateRowHeight();
}

void TPathComboBox::UpdateRowHeight() {
    int text = 13;
    if (HDC dc = GetDC(nullptr)) {
        HGDIOBJ old = SelectObject(dc, Font().Handle());
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc, &tm)) text = tm.tmHeight;
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    int iw = 16, ih = 16;
    if (images_) ImageList_GetIconSize(images_, &iw, &ih);
    SetItemHeight(std::max(text + 2, ih));
}

}  // namespace bramble
