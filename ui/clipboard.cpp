#include "ui/clipboard.h"

#include <windows.h>

#include <cstring>

namespace bramble {

bool ClipboardHasText() { return IsClipboardFormatAvailable(CF_TEXT) != 0; }

std::string GetTextFromClipboard(size_t Limit) {
    std::string out;
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        size_t size = GlobalSize(h);
        if (const auto* p = static_cast<const char*>(GlobalLock(h))) {
            size_t n = size < Limit ? size : Limit;
            const void* nul = std::memchr(p, 0, n);
            out.assign(p, nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : n);
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

bool PutTextOnClipboard(const std::string& Text) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, Text.size() + 1);
    if (!h) return false;
    if (auto* p = static_cast<char*>(GlobalLock(h))) {
        std::memcpy(p, Text.c_str(), Text.size() + 1);
        GlobalUnlock(h);
    }
    if (!OpenClipboard(nullptr)) {
        GlobalFree(h);
        return false;
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_TEXT, h) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(h);
    return ok;
}

}  // namespace bramble
