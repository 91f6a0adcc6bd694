// The controls kit's small helpers: strings, paths, windows, drawing, and
// what the kit sets up once at start (its cursors, the date setting).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "ui/control.h"
#include "ui/graphics.h"

namespace bramble {

// Application cursor ids of the kit's pointing hand and dragging hand.
inline constexpr TCursor crVqHand = 14000;
inline constexpr TCursor crVqDrag = 14001;

// Makes the kit's cursors and puts them into the screen's table, and
// notes the date setting. Runs once; every component of the kit calls it on creation, so a
// program that uses the kit needs no start-up call of its own.
void InitControlsKit();
// Whether the short date format shows four-digit years (noted at start).
bool FourDigitYear();

inline int LargerOf(int a, int b) { return a > b ? a : b; }
inline int SmallerOf(int a, int b) { return a < b ? a : b; }
inline int WidthOfRect(const RECT& r) { return r.right - r.left; }
inline int HeightOfRect(const RECT& r) { return r.bottom - r.top; }

// Moves the window to the middle of the screen, then back inside it, with
// neither resizing, re-ordering nor activating it.
void CenterWindowOnScreen(HWND Window);

// The text when it fits Width on the canvas, else the longest head of it
// followed by "..." that fits; "" when not even "..." fits.
std::string ShortenTextToWidth(const std::string& Text, TCanvas& Canvas, int Width);

// The first token of a command line as the program (quotes dropped), the
// other tokens joined by single blanks as the parameters (a token holding a
// blank in quotes). Tokens are separated by characters below 33.
void SplitProgramAndParams(const std::string& CommandLine, std::string& Program, std::string& Params);

// Whether the active window is one of the calling thread's windows.
bool ThreadOwnsActiveWindow();
// Takes a waiting quit message and posts it again, so a local message loop
// does not swallow it.
void RepostPendingQuit(HWND Window);

// From the 1-based Pos, the text up to the first of Delimiters; Pos moves
// past that delimiter (past the end when there is none).
std::string ExtractSubstringAt(const std::string& Text, int& Pos, const std::string& Delimiters);
bool IsExistingDir(const std::string& Path);
bool HasAnyChar(const std::string& Text, const std::string& Chars);
// Not empty, none of < > " [ ] | * ?, and something after the last "\".
bool FileNameIsValid(const std::string& Name);

// The long (or 8.3) form of the last component of an existing path; ""
// when it is not found.
std::string LongFileName(const std::string& Path);
std::string ShortFileName(const std::string& Path);
// The whole path with every component in its long (or 8.3) form. The
// drive or share part stays, and a component that is not found (a folder
// still to be made) keeps its own text.
std::string LongPathName(const std::string& Path);
std::string ShortPathName(const std::string& Path);

// The folder a browser returned, without a trailing "\" unless it is a
// drive root ("C:\" stays, "C:\Data\" becomes "C:\Data").
std::string FolderWithoutSlash(const std::string& Path);

// An embossed copy of a bitmap, as a disabled button shows it: the dark
// pixels of the picture in the highlight colour one pixel down and right,
// then in the shadow colour, on the button face (its transparent colour).
std::unique_ptr<TBitmap> MakeDisabledBitmap(TBitmap& Bitmap);
// A gray-scale copy with the same transparent colour.
std::unique_ptr<TBitmap> MakeGrayedBitmap(TBitmap& Bitmap);
// Draws one image of an image list embossed in the highlight and shadow
// colours.
void DrawImageEmbossed(HDC DC, HIMAGELIST Images, int Index, int X, int Y);
// Paints what lies behind a windowless control onto DC (whose origin is the
// control's top left): the parent's background and the visible windowless
// siblings below it.
void PaintParentBackground(TControl* Control, HDC DC);

}  // namespace bramble
