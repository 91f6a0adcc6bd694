// The thread hooks the docking kit listens through (application activation,
// window moves and sizes, window destruction, mouse moves anywhere in the
// thread), the list sort the kit uses, and the answers to WM_PRINT and
// WM_PRINTCLIENT for the kit's windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble {

class TWinControl;
struct TMessage;

class TWinControl;

enum THookCode : uint8_t { hookActivateApp, hookWindowPosChanged, hookWindowDestroying, hookMouseMove };
using THookCodes = uint8_t;  // bit n for code n
constexpr THookCodes HookBit(THookCode c) { return static_cast<THookCodes>(1u << c); }

using THookProc = void (*)(THookCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam);

// Registers Proc for Codes; a second registration of the same routine keeps
// its first set but counts the hooks of the new one too. While Designing no
// hook is installed.
void RegisterHookCallback(THookProc Proc, THookCodes Codes, bool Designing = false);
// Drops one registration of Proc, undoing exactly the hook counts that
// registration added.
void UnregisterHookCallback(THookProc Proc);
// For tests: registrations of Proc and whether each hook kind is installed.
int HookRegistrations(THookProc Proc);
bool HookInstalled(int Kind);

bool HasActiveWindow();

// Sorts List in place by Compare (negative, zero, positive); not stable.
void QuickSortList(std::vector<void*>& List, const std::function<int(void*, void*)>& Compare);

// Prepares a window DC for painting the non-client area through an update
// region in screen coordinates (0 or 1: the whole window).
void ClipToNonClientUpdate(HWND Wnd, HDC DC, HRGN UpdateRegion);

using TNCPaintProc = std::function<void(HWND Wnd, HDC DC)>;
// Answers WM_PRINT (DC in WParam, PRF_ flags in LParam) for Wnd.
LRESULT AnswerPrintMessage(HWND Wnd, WPARAM WParam, LPARAM LParam, const TNCPaintProc& NCPaint);

// Answers WM_PRINTCLIENT (DC in WParam) with Control's own paint handler;
// whatever the painting selects into the DC or changes in it is undone
// before the caller gets its DC back.
void AnswerPrintClientMessage(TWinControl* Control, TMessage& Message);

// The kit's version text, shown by every component's Version property.
std::string SkiffbarVersion();

}  // namespace bramble
