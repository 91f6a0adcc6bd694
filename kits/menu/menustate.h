// What the kit's menus share in the process: the one open popup chain, the
// menu bars, the message hook that closes menus on outside clicks and
// routes keys, the saved hidden states, hints, the caret and bounded
// message pumps.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "kits/menu/menuitem2000.h"
#include "ui/comctrls.h"

namespace bramble {

class TCustomPopupMenu2000;

// A menu bar as the shared routines see it.
class TMenuBarLink {
public:
    virtual ~TMenuBarLink() = default;
    virtual TMenu* BarMenu() const = 0;
    virtual HWND BarHandle() = 0;
    // Keys reach a bar only while its own form (or a floating window of
    // that form) is the active window.
    virtual bool AcceptsKeys() = 0;
    // A key message for the bar; true when it used it.
    virtual bool BarKeyMessage(const MSG& Msg) = 0;
    virtual void ExitMenuMode() = 0;
    // The bar's window, or one inside it.
    virtual bool OwnsWindow(HWND Window) = 0;
    virtual void ClearPressed() {}
    // Whether the bar is in its menu mode (keys go to it).
    virtual bool InMenuMode() const { return false; }
    // The Alt or F10 that closed an open drop-down: its release must not
    // put the bar into menu mode.
    virtual void SetAltConsumed(bool Value) { (void)Value; }
};

std::vector<TMenuBarLink*>& MenuBars();
HWND MenuBarWindowOf(TMenu* Menu);

TCustomPopupMenu2000* ActivePopup();
void SetActivePopup(TCustomPopupMenu2000* Popup);
bool IsActivePopupOpen();
void CloseActiveMenus(bool AlsoBars, bool Fade = false);

// Menu order: HKCU "Software\Tellwick\<program file name>\MenuOrder\<menu>".
std::string MenuOrderKeyName(const std::string& MenuName);
bool OpenMenuOrderKey(TRegistry& Registry, const std::string& MenuName);
void LoadMenuState(TMenu* Menu);
// Saves the item's state under its own menu's key.
void SaveMenuItemState(TMenuItem2000* Item);
void SetStateSaving(bool On);

// Dispatch pending paint (or mouse move) messages, a bounded number; a
// WM_QUIT met on the way is posted again and ends the pump.
void ProcessPaintMessages();
void ProcessMouseMoveMessages();

void HideCaretCounted();
void RestoreCaret();

// The long part of the hint, "&#" and its three characters made a blank,
// put on the status bar (simple text, or the panel at Index).
void ShowStatusHint(const std::string& Text, TStatusBar* Bar, int Index);

// The system's menu font; the stock one when it cannot be read.
HFONT CreateMenuFont();

// Runs F from the message loop, outside every window's handler (a command
// chosen on a floating menu may free that menu and its windows).
void RunLater(std::function<void()> F);

void InstallGetMessageHook();
void RemoveGetMessageHook();

// Activation changes (0x508, wParam: active) and document changes (0x507
// with wParam 2: a window of the bar's form minimised, maximised, focused
// or a document closed) reach the menu bars through two more hooks.
inline constexpr UINT LFM_ACTIVATION = 0x508;
void InstallActivationHooks();
void RemoveActivationHooks();

}  // namespace bramble
