// Caption texts of menu items: accelerators, lines, the tab-separated
// shortcut part.
#pragma once

#include <string>
#include <vector>

namespace bramble::menukit {

// Each single "&" dropped, "&&" made one "&".
std::string StripAmpersands(const std::string& Caption);

// The "&" accelerator, upper-cased; 0 when none.
char AcceleratorOf(const std::string& Caption);

// Whether the key (an upper-case letter or digit, or another character)
// chooses the caption: by its "&" mark, else, with FirstLetter, by the first
// character of the shown text.
bool IsItemAccel(char Key, const std::string& Caption, bool FirstLetter);

// The caption split at a tab: text before, shortcut text after (empty
// when there is no tab).
void SplitAtTab(const std::string& Caption, std::string& Text, std::string& ShortCut);

// Whether the caption names a file or folder: such captions are never
// broken into lines, whatever backslashes they hold.
bool LooksLikePath(const std::string& Caption);

// The lines of a caption: broken at CR always, and at the two characters
// backslash and "n" when BackslashN is set and the caption is no path.
std::vector<std::string> CaptionLines(const std::string& Caption, bool BackslashN);
inline int CountTextLines(const std::string& Caption, bool BackslashN) {
    return static_cast<int>(CaptionLines(Caption, BackslashN).size());
}

}  // namespace bramble::menukit
