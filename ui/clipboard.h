// Plain text on the clipboard (CF_TEXT), read with a bound so that a huge
// or unterminated clipboard block cannot run a reader away.
#pragma once

#include <cstddef>
#include <string>

namespace bramble {

inline constexpr size_t kClipboardTextLimit = 64 * 1024;

bool ClipboardHasText();
// Empty when there is no text; at most Limit bytes, up to the first NUL
// inside the block.
std::string GetTextFromClipboard(size_t Limit = kClipboardTextLimit);
bool PutTextOnClipboard(const std::string& Text);

}  // namespace bramble
