// The widgets' own texts: the messages of the shell tree and list and the
// captions of the recent-files list's items. They live in the program's
// string table, made at build time from the table in texts.cpp.
#pragma once

#include <string>

namespace bramble {

enum TWidgetText : unsigned {
    SCouldNotGetRootFolder = 10000,
    SCouldNotEnumerate = 10005,
    SCouldNotGetFolderData = 10010,
    SCouldNotFindFolder = 10015,
    SCouldNotGetDesktop = 10020,
    SInvokeCommandFailed = 10025,
    SCouldNotGetUIObject = 10030,
    SErrorParsingMask = 10040,
    SMRUSubmenuName = 10100,
    SMRUClearItemName = 10101,
    SMRURemoveObsoleteName = 10102,
};

// The text from the string table of the module this code is linked into;
// the built-in copy where that module carries none (a library that does
// not link the resource in).
std::string WidgetText(TWidgetText Id);

}  // namespace bramble
