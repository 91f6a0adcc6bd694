// The text rules of a menu item's one-line edit box: caret, selection,
// typing, deleting, clipboard moves, the length limit, read-only, undo and
// the scroll start that keeps the caret in view. No window here: keys come
// in as virtual-key codes, the clipboard and text widths as callbacks.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <string>

namespace bramble::menukit {

// Virtual-key codes the model reacts to (the platform's values).
inline constexpr int vkBack = 0x08, vkEnd = 0x23, vkHome = 0x24, vkLeft = 0x25, vkRight = 0x27, vkInsert = 0x2D,
                     vkDelete = 0x2E;

// The clipboard as the edit box sees it.
struct EditClipboard {
    std::function<bool()> HasText;
    std::function<std::string()> GetText;
    std::function<void(const std::string&)> PutText;
};

class EditModel {
public:
    std::string Text;
    int MaxLength = 0;  // 0: no limit
    bool ReadOnly = false;

    bool Editing() const { return editing_; }
    int Caret() const { return caret_; }
    int SelStart() const { return std::min(caret_, anchor_); }
    int SelLength() const { return std::abs(caret_ - anchor_); }
    int ScrollStart() const { return scroll_; }
    std::string SelText() const { return Text.substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength())); }

    // Keeps the text for undo and puts the caret at Pos.
    void Begin(int Pos);
    // Without acceptance the text kept at Begin comes back.
    void End(bool Accept);
    void SetCaret(int Pos, bool Extend);

    struct Result {
        bool Handled = false;  // the key was the edit box's
        bool Beep = false;
    };
    Result KeyDown(int Key, bool Shift, bool Ctrl, const EditClipboard& Clipboard);
    Result KeyPress(char Ch);
    // Replaces the selection with Text's characters (controls made blanks),
    // as many as the length limit lets in; false when none could go in.
    bool Paste(const std::string& Text);

    // Keeps the caret inside the visible part of a field Width pixels wide.
    void Scroll(const std::function<int(const std::string&)>& TextWidth, int Width);
    // The character position nearest to X pixels from the scroll start.
    int PosAtX(const std::function<int(const std::string&)>& TextWidth, int X) const;

private:
    void DeleteSelection();
    bool CanInsert() const;
    bool editing_ = false;
    std::string undo_;
    int caret_ = 0, anchor_ = 0, scroll_ = 0;
};

}  // namespace bramble::menukit
