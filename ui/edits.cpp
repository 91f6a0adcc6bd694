#include "ui/stdctrls.h"

#include <algorithm>

namespace bramble {

// ---- edits ------------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "EDIT");
    P.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    if (read_only_) P.Style |= ES_READONLY;
    if (char_case_ == ecUpperCase) P.Style |= ES_UPPERCASE;
    if (char_case_ == ecLowerCase) P.Style |= ES_LOWERCASE;
    if (password_char_) P.Style |= ES_PASSWORD;
    if (border_) P.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::SetMaxLength(int v) {
    max_length_ = std::max(v, 0);
    if (HandleAllocated()) UpdateMaxLength();
}

void TCustomEdit::UpdateMaxLength() {
    // 0 lifts the control's own default limit (32,767 characters), which
    // also cuts text added from code.
    SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(max_length_), 0);
}

void TCustomEdit::SetReadOnly(bool v) {
    read_only_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, v, 0);
}

void TCustomEdit::SetPasswordChar(char v) {
    if (v == password_char_) return;
    password_char_ = v;
    if (HandleAllocated()) {
        SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(v), 0);
        Invalidate();
    }
}

void TCustomEdit::SetCharCase(TEditCharCase v) {
    if (v == char_case_) return;
    char_case_ = v;
    RecreateWnd();
}

void TCustomEdit::SetBorderStyleSingle(bool v) {
    if (v == border_) return;
    border_ = v;
    RecreateWnd();
}

bool TCustomEdit::Modified() const {
    if (!HandleAllocated()) return modified_;
    return SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETMODIFY, 0, 0) != 0;
}

void TCustomEdit::SetModified(bool v) {
    modified_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETMODIFY, v, 0);
}

int TCustomEdit::SelStart() const {
    if (!HandleAllocated()) return sel_start_;
    DWORD s = 0, e = 0;
    SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s),
                 reinterpret_cast<LPARAM>(&e));
    return static_cast<int>(s);
}

int TCustomEdit::SelLength() const {
    if (!HandleAllocated()) return sel_length_;
    DWORD s = 0, e = 0;
    SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s),
                 reinterpret_cast<LPARAM>(&e));
    return static_cast<int>(e - s);
}

void TCustomEdit::SetSelStart(int v) {
    sel_start_ = v;
    sel_length_ = 0;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(v), v);
}

void TCustomEdit::SetSelLength(int v) {
    sel_length_ = v;
    if (HandleAllocated()) {
        int s = SelStart();
        SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(s), s + v);
    }
}

std::string TCustomEdit::SelText() const {
    std::string t = GetText();
    int s = std::clamp(SelStart(), 0, static_cast<int>(t.size()));
    int l = std::clamp(SelLength(), 0, static_cast<int>(t.size()) - s);
    return t.substr(static_cast<size_t>(s), static_cast<size_t>(l));
}

void TCustomEdit::SetSelText(const std::string& v) {
    SendMessageA(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(v.c_str()));
}

void TCustomEdit::SelectAll() {
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::Change() {
    if (OnChange && !Silent()) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == EN_CHANGE && !ControlState().contains(csCreating)) Change();
            return;
        case CM_TEXTCHANGED:
            // Set from code before the window exists: no EN_CHANGE will come.
            if (!HandleAllocated()) Change();
            break;
        case WM_SETFOCUS:
            TWinControl::WndProc(m);
            if (auto_select_ && !(GetKeyState(VK_LBUTTON) < 0)) SelectAll();
            return;
        default: break;
    }
    TWinControl::WndProc(m);
    if (m.Msg == WM_CREATE) {
        UpdateMaxLength();
        if (password_char_) SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(password_char_), 0);
    }
}

// Lines of a memo: the window's text when it exists, else the kept text.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo* m) : memo_(m) {}
    int Count() const override {
        if (int n; ByRows(n)) return n;
        return static_cast<int>(Split().size());
    }
    std::string Get(int Index) const override {
        if (int n; ByRows(n)) {
            if (Index < 0 || Index >= n) Error(SListIndexError, Index);
            return Row(Index);
        }
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) Error(SListIndexError, Index);
        return l[static_cast<size_t>(Index)];
    }
    void Put(int Index, const std::string& S) override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) Error(SListIndexError, Index);
        l[static_cast<size_t>(Index)] = S;
        Join(l);
    }
    int Add(const std::string& S) override {
        if (!memo_->HandleAllocated()) {
            std::string& t = memo_->text_;
            bool line_open = !t.empty() && t.back() != '\n' && t.back() != '\r';
            if (line_open) t += "\r\n";
            t += S;
            memo_->Perform(CM_TEXTCHANGED);
            return Count() - 1;
        }
        return Append(S);
    }
    void Insert(int Index, const std::string& S) override {
        auto l = Split();
        if (Index < 0 || Index > static_cast<int>(l.size())) Error(SListIndexError, Index);
        if (Index == static_cast<int>(l.size())) {
            Add(S);
            return;
        }
        l.insert(l.begin() + Index, S);
        Join(l);
    }
    void Delete(int Index) override {
        auto l = Split();
        if (Index < 0 || Index >= static_cast<int>(l.size())) Error(SListIndexError, Index);
        l.erase(l.begin() + Index);
        Join(l);
    }
    void Clear() override { memo_->SetText(""); }

protected:
    // Between BeginUpdate and EndUpdate the window does not paint.
    void SetUpdateState(bool Updating) override {
        if (!memo_->HandleAllocated()) return;
        Send(WM_SETREDRAW, !Updating);
        if (!Updating) InvalidateRect(memo_->Handle(), nullptr, TRUE);
    }

private:
    LRESULT Send(UINT Msg, WPARAM W = 0, LPARAM L = 0) const { return SendMessageA(memo_->Handle(), Msg, W, L); }
    // Without word wrap every row of the window is one line: the window
    // counts and reads them without handing over the whole text.
    bool ByRows(int& Lines) const {
        if (!memo_->HandleAllocated() || memo_->WordWrap()) return false;
        int rows = static_cast<int>(Send(EM_GETLINECOUNT));
        // A last empty row is where the next line would start.
        Lines = rows > 0 && RowLength(rows - 1) == 0 ? rows - 1 : rows;
        return true;
    }
    int RowLength(int Row) const {
        LRESULT start = Send(EM_LINEINDEX, static_cast<WPARAM>(Row));
        return start < 0 ? 0 : static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(start)));
    }
    std::string Row(int Index) const {
        int n = RowLength(Index);
        // EM_GETLINE takes the buffer's size in its first word.
        std::string buf(static_cast<size_t>(std::max(n, 1)) + 1, '\0');
        *reinterpret_cast<WORD*>(buf.data()) = static_cast<WORD>(std::min<size_t>(buf.size(), 0xFFFF));
        LRESULT got = Send(EM_GETLINE, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, n)));
        return buf;
    }
    // Appends at the end through the selection: the cost is the line's, not
    // the text's (a long run logs thousands of lines one by one), and the
    // view follows the new line. Where the last line ends and how many lines
    // there are is remembered from the append before: asking the window
    // walks the whole text in some rich edits.
    int Append(const std::string& S) {
        HWND h = memo_->Handle();
        int len = GetWindowTextLengthA(h);
        int lines;
        bool open;  // the last line holds text: the new one needs a break
        if (len > 0 && len == memo_->append_len_) {
            lines = memo_->append_lines_;
            open = true;
        } else if (memo_->WordWrap()) {
            std::string t = memo_->GetText();
            open = !t.empty() && t.back() != '\n' && t.back() != '\r';
            lines = static_cast<int>(Split().size());
        } else {
            int rows = static_cast<int>(Send(EM_GETLINECOUNT));
            open = rows > 0 && RowLength(rows - 1) > 0;
            lines = open ? rows : std::max(rows - 1, 0);
        }
        std::string add = open ? "\r\n" + S : S;
        // The control would repaint itself for every line; the new line is
        // painted with the rest when the program next paints.
        bool hold = UpdateCount() == 0;
        if (hold) Send(WM_SETREDRAW, FALSE);
        memo_->appending_ = true;
        // Beyond the end is the end, in either kind of control.
        Send(EM_SETSEL, static_cast<WPARAM>(len), len);
        Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(add.c_str()));
        memo_->appending_ = false;
        if (hold) {
            Send(WM_SETREDRAW, TRUE);
            Send(EM_SCROLLCARET);
            InvalidateRect(h, nullptr, FALSE);
        }
        // Only a line of one row's text leaves a state simple to know.
        bool simple = !S.empty() && S.find_first_of("\r\n") == std::string::npos;
        memo_->append_len_ = simple ? GetWindowTextLengthA(h) : -1;
        memo_->append_lines_ = lines + 1;
        return lines;
    }
    std::vector<std::string> Split() const {
        std::string t = memo_->GetText();
        std::vector<std::string> out;
        size_t i = 0;
        while (i < t.size()) {
            size_t j = i;
            while (j < t.size() && t[j] != '\r' && t[j] != '\n') ++j;
            out.push_back(t.substr(i, j - i));
            if (j < t.size() && t[j] == '\r') ++j;
            if (j < t.size() && t[j] == '\n') ++j;
            i = j;
        }
        return out;
    }
    void Join(const std::vector<std::string>& l) {
        std::string t;
        for (size_t i = 0; i < l.size(); ++i) {
            if (i) t += "\r\n";
            t += l[i];
        }
        memo_->SetText(t);
    }
    TCustomMemo* memo_;
};

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)) {
    SetBounds(0, 0, 185, 89);
    SetAutoSelect(false);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& P) {
    TCustomEdit::CreateParams(P);
    P.Style &= ~(ES_AUTOHSCROLL);
    P.Style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (!word_wrap_) P.Style |= ES_AUTOHSCROLL;
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) P.Style |= WS_VSCROLL;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) P.Style |= WS_HSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
    if (v == scroll_bars_) return;
    scroll_bars_ = v;
    RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool v) {
    if (v == word_wrap_) return;
    word_wrap_ = v;
    RecreateWnd();
}

void TCustomMemo::WndProc(TMessage& m) {
    // Text set or edited other than by Lines().Add: what the last append
    // left no longer holds.
    if (m.Msg == CM_TEXTCHANGED || m.Msg == WM_SETTEXT ||
        (m.Msg == CN_COMMAND && HIWORD(m.WParam) == EN_CHANGE && !appending_))
        append_len_ = -1;
    if (m.Msg == WM_GETDLGCODE) {
        TCustomEdit::WndProc(m);
        if (!want_tabs_) m.Result &= ~DLGC_WANTTAB;
        if (!want_returns_) m.Result &= ~DLGC_WANTALLKEYS;
        return;
    }
    TCustomEdit::WndProc(m);
}

}  // namespace bramble
