// The caret's blink interval for controls that draw their own caret.
#pragma once

#include <windows.h>

namespace bramble {

// The system's blink time; a steady or unreadable setting gives the
// usual half second so that a drawn caret still shows.
inline UINT CaretBlinkInterval() {
    UINT t = GetCaretBlinkTime();
    return t == 0 || t == INFINITE ? 500u : t;
}

}  // namespace bramble
