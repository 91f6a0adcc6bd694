#include "kits/menu/editmodel.h"

namespace bramble::menukit {

void EditModel::Begin(int Pos) {
    undo_ = Text;
    editing_ = true;
    scroll_ = std::clamp(scroll_, 0, static_cast<int>(Text.size()));
    SetCaret(Pos, false);
}

void EditModel::End(bool Accept) {
    if (editing_ && !Accept) Text = undo_;
    undo_.clear();
    editing_ = false;
    caret_ = anchor_ = std::min(caret_, static_cast<int>(Text.size()));
    scroll_ = std::min(scroll_, caret_);
}

void EditModel::SetCaret(int Pos, bool Extend) {
    caret_ = std::clamp(Pos, 0, static_cast<int>(Text.size()));
    if (!Extend) anchor_ = caret_;
}

void EditModel::DeleteSelection() {
    int s = SelStart(), n = SelLength();
    Text.erase(static_cast<size_t>(s), static_cast<size_t>(n));
    caret_ = anchor_ = s;
}

bool EditModel::CanInsert() const {
    return MaxLength <= 0 || static_cast<int>(Text.size()) - SelLength() < MaxLength;
}

bool EditModel::Paste(const std::string& Value) {
    if (ReadOnly) return false;
    std::string t = Value;
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    if (MaxLength > 0) {
        int room = MaxLength - (static_cast<int>(Text.size()) - SelLength());
        if (room <= 0) return false;
        if (static_cast<int>(t.size()) > room) t.resize(static_cast<size_t>(room));
    }
    if (t.empty()) return false;
    DeleteSelection();
    Text.insert(static_cast<size_t>(caret_), t);
    caret_ = anchor_ = caret_ + static_cast<int>(t.size());
    return true;
}

EditModel::Result EditModel::KeyDown(int Key, bool Shift, bool Ctrl, const EditClipboard& Clipboard) {
    Result r;
    bool sel = SelLength() > 0;
    int len = static_cast<int>(Text.size());
    auto copy = [&] {
        if (sel && Clipboard.PutText) Clipboard.PutText(SelText());
    };
    auto cut = [&] {
        if (ReadOnly || !sel) {
            r.Beep = true;
            return;
        }
        copy();
        DeleteSelection();
    };
    auto paste = [&] {
        bool has = Clipboard.HasText && Clipboard.HasText();
        if (!has) return;
        if (!Paste(Clipboard.GetText ? Clipboard.GetText() : std::string())) r.Beep = true;
    };
    r.Handled = true;
    if (!sel && caret_ == 0 && (Key == vkLeft || Key == vkBack || Key == vkHome)) {
        r.Beep = true;
        return r;
    }
    if (!sel && caret_ == len && (Key == vkRight || Key == vkDelete || Key == vkEnd)) {
        r.Beep = true;
        return r;
    }
    if (ReadOnly && (Key == vkBack || Key == vkDelete)) {
        r.Beep = true;
        return r;
    }
    switch (Key) {
        case vkDelete:
            if (Shift) cut();
            else if (Ctrl) {
                if (sel) DeleteSelection();
            } else if (sel) DeleteSelection();
            else Text.erase(static_cast<size_t>(caret_), 1);
            break;
        case vkBack:
            if (sel) DeleteSelection();
            else {
                Text.erase(static_cast<size_t>(caret_ - 1), 1);
                caret_ = anchor_ = caret_ - 1;
            }
            break;
        case vkInsert:
            if (Shift) paste();
            else if (Ctrl) copy();
            else r.Handled = false;
            break;
        case vkLeft: SetCaret(!Shift && sel ? SelStart() : caret_ - 1, Shift); break;
        case vkRight: SetCaret(!Shift && sel ? SelStart() + SelLength() : caret_ + 1, Shift); break;
        case vkHome: SetCaret(0, Shift); break;
        case vkEnd: SetCaret(len, Shift); break;
        case 'C':
            if (Ctrl) copy();
            else r.Handled = false;
            break;
        case 'X':
            if (Ctrl) cut();
            else r.Handled = false;
            break;
        case 'V':
            if (Ctrl) paste();
            else r.Handled = false;
            break;
        default: r.Handled = false; break;
    }
    return r;
}

EditModel::Result EditModel::KeyPress(char Ch) {
    Result r;
    r.Handled = true;
    if (ReadOnly || static_cast<unsigned char>(Ch) < 32 || !CanInsert()) {
        r.Beep = true;
        return r;
    }
    DeleteSelection();
    Text.insert(static_cast<size_t>(caret_), 1, Ch);
    caret_ = anchor_ = caret_ + 1;
    return r;
}

void EditModel::Scroll(const std::function<int(const std::string&)>& TextWidth, int Width) {
    int len = static_cast<int>(Text.size());
    caret_ = std::clamp(caret_, 0, len);
    anchor_ = std::clamp(anchor_, 0, len);
    scroll_ = std::clamp(scroll_, 0, len);
    if (caret_ <= scroll_) scroll_ = std::max(0, caret_ - 6);
    while (scroll_ < caret_ &&
           TextWidth(Text.substr(static_cast<size_t>(scroll_), static_cast<size_t>(caret_ - scroll_))) > Width)
        ++scroll_;
}

int EditModel::PosAtX(const std::function<int(const std::string&)>& TextWidth, int X) const {
    int len = static_cast<int>(Text.size());
    int prev = 0;
    for (int i = scroll_ + 1; i <= len; ++i) {
        int w = TextWidth(Text.substr(static_cast<size_t>(scroll_), static_cast<size_t>(i - scroll_)));
        if (X < w) return X - prev < w - X ? i - 1 : i;
        prev = w;
    }
    return len;
}

}  // namespace bramble::menukit
