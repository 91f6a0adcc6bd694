#include <windows.h>

#include <cstdint>
#include <string>

#include "kits/controls/utils.h"
#include "ui/forms.h"

namespace bramble {

namespace {
bool g_four_digit_year = false;

// The kit's cursors, 32 by 32, top row first: '.' lets the screen show
// through, '#' is black and 'o' white.

// A pointing hand; the hot spot is the fingertip.
const char* const kHandCursor[32] = {
    ".....##.........................",
    "....#oo#........................",
    "....#oo#........................",
    "....#oo#........................",
    "....#oo#........................",
    "....#oo###......................",
    "....#oo#oo###...................",
    "....#oo#oo#oo##.................",
    "....#oo#oo#oo#o#................",
    ".##.#oo#oo#oo#oo#...............",
    "#oo##oooooooooo#o#..............",
    "#ooo#oooooooooooo#..............",
    ".#oo#oooooooooooo#..............",
    "..#o#ooooooooooooo#.............",
    "..#oooooooooooooo#..............",
    "...#ooooooooooooo#..............",
    "...#oooooooooooo#...............",
    "....#ooooooooooo#...............",
    "....#oooooooooo#................",
    ".....#ooooooooo#................",
    ".....#ooooooooo#................",
    ".....###########................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};

// A closed hand holding what it drags; the hot spot is its middle.
const char* const kDragCursor[32] = {
    "................................",
    "....##.##.##....................",
    "...#oo#oo#oo#...................",
    "...#oo#oo#oo##..................",
    "...#oo#oo#oo#o#.................",
    ".##.#oooooooooo#................",
    "#oo##oooooooooo#................",
    "#ooo#ooooooooooo#...............",
    ".#oooooooooooooo#...............",
    "..#ooooooooooooo#...............",
    "...#oooooooooooo#...............",
    "...#ooooooooooo#................",
    "....#oooooooooo#................",
    "....#ooooooooo#.................",
    ".....#ooooooooo#................",
    ".....###########................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};

HCURSOR MakeCursor(const char* const Rows[32], int HotX, int HotY) {
    uint8_t and_mask[32 * 4] = {}, xor_mask[32 * 4] = {};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const char c = Rows[y][x];
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
            if (c == '.') and_mask[y * 4 + x / 8] |= bit;
            if (c == 'o') xor_mask[y * 4 + x / 8] |= bit;
        }
    return CreateCursor(GetModuleHandleA(nullptr), HotX, HotY, 32, 32, and_mask, xor_mask);
}
}  // namespace

void InitControlsKit() {
    static bool done = false;
    if (done || !Screen) return;
    done = true;
    // The screen destroys them at the end.
    if (HCURSOR h = MakeCursor(kHandCursor, 5, 0)) Screen->SetCursors(crVqHand, h);
    if (HCURSOR h = MakeCursor(kDragCursor, 8, 8)) Screen->SetCursors(crVqDrag, h);
    char fmt[80] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, fmt, sizeof fmt))
        g_four_digit_year = UpperCase(fmt).find("YYYY") != std::string::npos;
}

bool FourDigitYear() { return g_four_digit_year; }

namespace {
// The cursors and the date setting are there from start-up, before any of
// the kit's controls is made: forms may name crVqHand on their own.
[[maybe_unused]] const bool g_registered = (RunAtStart(InitControlsKit), true);
}  // namespace

}  // namespace bramble
