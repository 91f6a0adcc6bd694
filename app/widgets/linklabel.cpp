#include "app/widgets/linklabel.h"

#include <shellapi.h>

#include "ui/forms.h"

namespace bramble {

TShellExecuteFn ShellExecuteHook = [](HWND Owner, const std::string& Verb, const std::string& File,
                                      const std::string& Parameters, const std::string& Folder, int Show) {
    ShellExecuteA(Owner, Verb.empty() ? nullptr : Verb.c_str(), File.c_str(),
                  Parameters.empty() ? nullptr : Parameters.c_str(), Folder.empty() ? nullptr : Folder.c_str(), Show);
};

void ShellOpenFile(const std::string& File, const std::string& Parameters, const std::string& Folder, int Show) {
    HWND owner = nullptr;
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
        owner = Application->MainForm()->Handle();
    if (ShellExecuteHook) ShellExecuteHook(owner, "", File, Parameters, Folder, Show);
}

HCURSOR LoadLinkCursor() {
    HCURSOR c = nullptr;
    if (HMODULE cc = GetModuleHandleA("comctl32.dll")) c = LoadCursorA(cc, MAKEINTRESOURCEA(108));
    if (!c) c = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    if (!c) c = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    // The screen frees the cursors it holds: it gets a copy of its own.
    return c ? static_cast<HCURSOR>(CopyIcon(c)) : nullptr;
}

TLinkLabel::TLinkLabel(TComponent* AOwner) : TLabel(AOwner) {
    Font().SetStyle({fsUnderline});
    Font().SetColor(linkColor_);
    if (Screen) {
        static TScreen* installedIn = nullptr;
        if (installedIn != Screen) {
            if (HCURSOR c = LoadLinkCursor()) {
                Screen->SetCursors(crLinkHand, c);
                installedIn = Screen;
            }
        }
        if (installedIn == Screen) SetCursor(crLinkHand);
    }
}

TLinkLabel::~TLinkLabel() { Font().SetStyle({}); }

void TLinkLabel::SetLinkColor(TColor v) {
    linkColor_ = v;
    Font().SetColor(v);
    Invalidate();
}

void TLinkLabel::Click() {
    TLabel::Click();
    if (!linkTo_.empty() && ShellExecuteHook) ShellExecuteHook(GetDesktopWindow(), "open", linkTo_, "", "", SW_SHOWNORMAL);
}

}  // namespace bramble
