// The main window's Options command: where the dialog goes, and what a
// confirmed change does to the window, the user's shortcuts, the shell and
// the associations.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "app/forms/main_private.h"
#include "app/forms/options.h"
#include "app/shellreg/shellreg.h"

namespace bramble {

void TfrmMain::mnuOptionsClick(TObject*) {
    if (!frmOptions) return;
    // 1. Beside this window, clear of the taskbar.
    RECT tr{};
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    const bool haveTray = tray && GetWindowRect(tray, &tr);
    const TRect taskbar = Rect(tr.left, tr.top, tr.right, tr.bottom);
    const int sw = Screen ? Screen->Width() : GetSystemMetrics(SM_CXSCREEN);
    const int sh = Screen ? Screen->Height() : GetSystemMetrics(SM_CYSCREEN);
    TPoint p = PlaceOptionsRect(Left(), Top(), frmOptions->Width(), frmOptions->Height(), sw, sh,
                                haveTray ? &taskbar : nullptr);
    frmOptions->SetPosition(poDesigned);
    frmOptions->SetBounds(p.X, p.Y, frmOptions->Width(), frmOptions->Height());
    // 2.
    if (frmOptions->ShowModal() != mrOk || !frmOptions->HasChanged->Checked()) return;
    ApplyOptions();
}

void TfrmMain::ApplyShortcuts() {
    const HRESULT init = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        const std::string program = ProgramFileName();
        link->SetPath(program.c_str());
        link->SetWorkingDirectory(ExtractFileDir(program).c_str());
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            for (auto [name, box] :
                 {std::pair{"Desktop", frmOptions->InclDesk}, std::pair{"Start Menu", frmOptions->InclStart}}) {
                // A user without such a folder gets no shortcut there, and
                // certainly none in the current folder.
                const std::string dir = ShellFolder(name);
                if (dir.empty()) continue;
                CreateDirectoryA(dir.c_str(), nullptr);
                const std::string lnk = AppendBackslash(dir) + "Bramble.lnk";
                if (box->Checked()) {
                    int n = MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, nullptr, 0);
                    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
                    if (n > 0) MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, w.data(), n);
                    file->Save(w.c_str(), TRUE);
                } else {
                    DeleteFileA(lnk.c_str());
                }
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
}

void TfrmMain::ApplyOptions() {
    TfrmOptions& o = *frmOptions;
    // 3.
    if (HandleAllocated())
        SetWindowPos(Handle(), o.OnTop->Checked() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // 4.
    ApplyShortcuts();
    // 5. Each runs once when it differs: the commands toggle.
    if (o.Flat->Checked() != Flat1->Checked()) FlatClick(Flat1);
    if (o.Tooltips->Checked() != Tooltips1->Checked()) TooltipsClick(Tooltips1);
    if (o.Text->Checked() != Text1->Checked()) TextClick(Text1);
    // 6.
    if (o.ShellExt->Checked())
        MakeShellExt();
    else
        RemoveShellExt();
    // 7-8.
    for (int i = 0; i < OptionsExtCount; ++i) {
        const std::string ext = OptionsExtensions[static_cast<size_t>(i)];
        if (o.CheckBoxes[static_cast<size_t>(i)]->Checked())
            MakeAssociation(ext, o.ToolbarButtons[static_cast<size_t>(i)]->Hint());
        else
            RemoveAssociation(ext);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
    // 9. A hidden column comes back at its default width, not at the one
    // it had.
    auto boxes = o.ColumnBoxes();
    TListColumns& cols = ListView1->Columns();
    for (int i = 0; i < 11 && i + 1 < cols.Count(); ++i) {
        TListColumn* c = cols[i + 1];
        if (!boxes[static_cast<size_t>(i)]->Checked())
            c->SetWidth(0);
        else if (c->Width() == 0)
            c->SetWidth(OptionsColumnDefaults[static_cast<size_t>(i)]);
    }
    // 10.
    ListView1->SetGridLines(o.Showgrid->Checked());
    ListView1->SetRowSelect(o.FullRowSelect->Checked());
}

}  // namespace bramble
