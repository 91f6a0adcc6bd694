// A label that looks and acts like a web link, and the program's way of
// handing a file or address to the desktop shell.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/stdctrls.h"

namespace bramble {

// How the shell is asked to open something; tests replace it to see what
// would have been opened. The result is not examined: a missing program or
// an unknown document type fails silently (the shell may say so itself).
using TShellExecuteFn = std::function<void(HWND Owner, const std::string& Verb, const std::string& File,
                                           const std::string& Parameters, const std::string& Folder, int Show)>;
extern TShellExecuteFn ShellExecuteHook;

// Starts a program or opens a document with the default verb, the main
// window as owner (the desktop when there is none).
void ShellOpenFile(const std::string& File, const std::string& Parameters, const std::string& Folder, int Show);

// The cursor index the link's hand cursor is installed under in the screen.
inline constexpr TCursor crLinkHand = 1;

class TLinkLabel : public TLabel {
public:
    explicit TLinkLabel(TComponent* AOwner);
    ~TLinkLabel() override;
    TColor LinkColor() const { return linkColor_; }
    void SetLinkColor(TColor v);
    const std::string& LinkTo() const { return linkTo_; }
    void SetLinkTo(const std::string& v) { linkTo_ = v; }
    void Click() override;

private:
    TColor linkColor_ = static_cast<TColor>(0xFF0000);
    std::string linkTo_;
};

// The hand cursor: the common controls' own when it has one, else the
// system's.
HCURSOR LoadLinkCursor();

}  // namespace bramble
