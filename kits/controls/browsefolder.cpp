#include "kits/controls/browsefolder.h"

#include <shellapi.h>
#include <shlobj.h>

#include "kits/controls/utils.h"
#include "ui/forms.h"

namespace bramble {

namespace {
const char kDialogProp[] = "Bramble.BrowseFolderDlg";

// Item lists the shell hands out, freed on every way out.
struct ItemList {
    LPITEMIDLIST p = nullptr;
    ~ItemList() {
        if (p) CoTaskMemFree(p);
    }
};
}  // namespace

TBrowseFolderDlg::TBrowseFolderDlg(TComponent* AOwner) : TComponent(AOwner) { InitControlsKit(); }

TBrowseFolderDlg::~TBrowseFolderDlg() { Unhook(); }

bool TBrowseFolderDlg::Execute() {
    ItemList root;
    if (!desktop_root_ || browse_kind_ != bfFolders) {
        const int csidl = browse_kind_ == bfFolders ? CSIDL_DRIVES : CSIDL_NETWORK;
        HWND owner = Application ? Application->Handle() : nullptr;
        HRESULT hr = SHGetSpecialFolderLocation(owner, csidl, &root.p);
        if (FAILED(hr)) throw Exception(Format("System Error.  Code: %ld.\r\n", static_cast<long>(hr)));
    }
    BROWSEINFOA bi{};
    bi.hwndOwner = Application ? Application->Handle() : nullptr;
    bi.pidlRoot = root.p;
    bi.pszDisplayName = display_name_;
    bi.lpszTitle = dialog_text_.empty() ? nullptr : dialog_text_.c_str();
    bi.ulFlags = browse_kind_ == bfFolders ? BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT : BIF_BROWSEFORCOMPUTER;
    bi.lpfn = BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(this);
    start_folder_ = folder_name_;
    ItemList chosen;
    {
        TTaskWindowsLock lock(bi.hwndOwner);
        chosen.p = SHBrowseForFolderA(&bi);
    }
    Unhook();
    handle_ = nullptr;
    if (!chosen.p) {
        folder_name_ = start_folder_;
        return false;
    }
    if (browse_kind_ == bfFolders) {
        char path[MAX_PATH] = {};
        folder_name_ = SHGetPathFromIDListA(chosen.p, path) ? FolderWithoutSlash(path) : std::string();
    } else {
        folder_name_ = display_name_;
    }
    image_index_ = bi.iImage;
    return true;
}

int CALLBACK TBrowseFolderDlg::BrowseCallback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data) {
    // Nothing thrown may cross the shell's frames.
    auto* self = reinterpret_cast<TBrowseFolderDlg*>(Data);
    CallGuarded(self, [&] {
        if (Msg == BFFM_INITIALIZED)
            self->Initialized(Wnd);
        else if (Msg == BFFM_SELCHANGED)
            self->SelChanged(Param);
    });
    return 0;
}

void TBrowseFolderDlg::Initialized(HWND Wnd) {
    handle_ = Wnd;
    if (position_ == dpScreenCenter) CenterWindowOnScreen(Wnd);
    SetPropA(Wnd, kDialogProp, this);
    old_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TBrowseFolderDlg::SubclassProc)));
    if (browse_kind_ == bfComputers || IsExistingDir(folder_name_))
        SendMessageA(Wnd, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder_name_.c_str()));
    if (help_context_ != 0) AddHelpButton();
    if (OnInitialized) OnInitialized(this);
}

void TBrowseFolderDlg::AddHelpButton() {
    HWND first = FindWindowExA(handle_, nullptr, "BUTTON", nullptr);
    RECT r{10, 10, 85, 33};
    if (first) {
        GetWindowRect(first, &r);
        MapWindowPoints(nullptr, handle_, reinterpret_cast<POINT*>(&r), 2);
    }
    // The row of the dialog's buttons, at the left edge of the tree.
    RECT client{};
    GetClientRect(handle_, &client);
    const int w = WidthOfRect(r), h = HeightOfRect(r);
    int left = 10;
    if (HWND tree = FindWindowExA(handle_, nullptr, "SysTreeView32", nullptr)) {
        RECT t{};
        GetWindowRect(tree, &t);
        MapWindowPoints(nullptr, handle_, reinterpret_cast<POINT*>(&t), 2);
        left = t.left;
    }
    HWND b = CreateWindowExA(0, "BUTTON", "&Help", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, left, r.top,
                             w, h, handle_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(idBrowseHelp)),
                             GetModuleHandleA(nullptr), nullptr);
    if (b) SendMessageA(b, WM_SETFONT, SendMessageA(handle_, WM_GETFONT, 0, 0), FALSE);
}

void TBrowseFolderDlg::SelChanged(LPARAM Item) {
    auto* item = reinterpret_cast<LPCITEMIDLIST>(Item);
    if (browse_kind_ == bfFolders) {
        char path[MAX_PATH] = {};
        if (item && SHGetPathFromIDListA(item, path)) {
            folder_name_ = FolderWithoutSlash(path);
            SendMessageA(handle_, BFFM_ENABLEOK, 0, IsExistingDir(folder_name_) ? TRUE : FALSE);
        } else {
            folder_name_.clear();
            SendMessageA(handle_, BFFM_ENABLEOK, 0, FALSE);
        }
    } else {
        SHFILEINFOA fi{};
        if (item && SHGetFileInfoA(reinterpret_cast<LPCSTR>(item), 0, &fi, sizeof fi, SHGFI_PIDL | SHGFI_DISPLAYNAME))
            folder_name_ = fi.szDisplayName;
        else
            folder_name_.clear();
    }
    if (OnSelChanged) OnSelChanged(this);
}

LRESULT CALLBACK TBrowseFolderDlg::SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* self = static_cast<TBrowseFolderDlg*>(GetPropA(Wnd, kDialogProp));
    if (!self) return DefWindowProcA(Wnd, Msg, WParam, LParam);
    WNDPROC old = self->old_proc_;
    TMessage m{Msg, WParam, LParam, 0};
    bool ok = CallGuarded(self, false, [&] {
        self->WndProc(m);
        return true;
    });
    if (!ok) return old ? CallWindowProcA(old, Wnd, Msg, WParam, LParam) : 0;
    return m.Result;
}

void TBrowseFolderDlg::WndProc(TMessage& m) {
    HWND wnd = handle_;
    WNDPROC old = old_proc_;
    if (m.Msg == WM_COMMAND && LOWORD(m.WParam) == idBrowseHelp && HIWORD(m.WParam) == 0) {
        if (Application) Application->HelpContext(help_context_);
        return;
    }
    if (m.Msg == WM_NCDESTROY) {
        Unhook();
        m.Result = CallWindowProcA(old, wnd, m.Msg, m.WParam, m.LParam);
        return;
    }
    m.Result = CallWindowProcA(old, wnd, m.Msg, m.WParam, m.LParam);
}

void TBrowseFolderDlg::Unhook() {
    if (!handle_ || !old_proc_) return;
    if (IsWindow(handle_)) {
        SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc_));
        RemovePropA(handle_, kDialogProp);
    }
    old_proc_ = nullptr;
}

bool BrowseForDirectory(std::string& Folder, const std::string& DialogText, int HelpContext) {
    TBrowseFolderDlg dlg(nullptr);
    dlg.SetDialogText(DialogText);
    dlg.SetFolderName(Folder);
    dlg.SetHelpContext(HelpContext);
    if (!dlg.Execute()) return false;
    Folder = dlg.FolderName();
    return true;
}

}  // namespace bramble
