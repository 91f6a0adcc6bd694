// Whether a folder path typed by the user is one Windows can make: the
// file system would otherwise refuse it part-way, or (under some hosts)
// make a folder whose name no Windows program can open again.
#pragma once

#include <string>

namespace bramble {

// True when every component of Path is a name Windows allows: no
// '<', '>', ':', '"', '|', '?', '*' or control character past the drive
// ("C:") or the "\\server" start, and no device name such as CON, NUL,
// COM1 or LPT1 (with or without an extension). An empty path is not one.
bool IsNameableFolder(const std::string& Path);

}  // namespace bramble
