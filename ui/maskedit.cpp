#include "ui/maskedit.h"

#include <cctype>

namespace bramble {

namespace {
char LocaleSeparator(LCTYPE Type, char Fallback) {
    char buf[8] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, buf, sizeof buf) > 1 ? buf[0] : Fallback;
}
}  // namespace

TEditMaskInfo::TEditMaskInfo(const std::string& EditMask) {
    // The fields are split at the last two ";", so a literal ";" can stand
    // in the mask itself.
    std::string mask = EditMask;
    std::vector<std::string> fields;
    for (int i = 0; i < 2; ++i) {
        const size_t p = mask.rfind(';');
        if (p == std::string::npos || (p > 0 && mask[p - 1] == '\\')) break;
        fields.insert(fields.begin(), mask.substr(p + 1));
        mask.erase(p);
    }
    if (!fields.empty()) save_literals_ = fields[0] != "0";
    if (fields.size() > 1 && !fields[1].empty()) blank_ = fields[1][0];
    char fold = 0;
    for (size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        auto add = [&](TKind k, bool req) { places_.push_back({k, req, 0, fold}); };
        auto literal = [&](char l) { places_.push_back({mkLiteral, false, l, 0}); };
        switch (c) {
            case '!': leading_blanks_ = true; break;
            case '>': fold = '>'; break;
            case '<':
                if (i + 1 < mask.size() && mask[i + 1] == '>') {
                    fold = 0;
                    ++i;
                } else {
                    fold = '<';
                }
                break;
            case '\\':
                if (i + 1 < mask.size()) literal(mask[++i]);
                break;
            case 'L': add(mkLetter, true); break;
            case 'l': add(mkLetter, false); break;
            case 'A': add(mkAlnum, true); break;
            case 'a': add(mkAlnum, false); break;
            case 'C': add(mkAny, true); break;
            case 'c': add(mkAny, false); break;
            case '0': add(mkDigit, true); break;
            case '9': add(mkDigit, false); break;
            case '#': add(mkDigitSign, false); break;
            case ':': literal(LocaleSeparator(LOCALE_STIME, ':')); break;
            case '/': literal(LocaleSeparator(LOCALE_SDATE, '/')); break;
            case '_': literal(' '); break;
            default: literal(c); break;
        }
    }
}

char TEditMaskInfo::Accept(int I, char Ch) const {
    if (I < 0 || I >= Length()) return 0;
    const TPlace& p = Place(I);
    const auto u = static_cast<unsigned char>(Ch);
    bool ok = false;
    switch (p.kind) {
        case mkLiteral: return 0;
        case mkLetter: ok = std::isalpha(u) || u >= 0x80; break;
        case mkAlnum: ok = std::isalnum(u) || u >= 0x80; break;
        case mkAny: ok = u >= 32; break;
        case mkDigit: ok = std::isdigit(u); break;
        case mkDigitSign: ok = std::isdigit(u) || Ch == '+' || Ch == '-'; break;
    }
    if (!ok) return 0;
    if (p.fold == '>') return static_cast<char>(std::toupper(u));
    if (p.fold == '<') return static_cast<char>(std::tolower(u));
    return Ch;
}

int TEditMaskInfo::Editable(int I, int Step) const {
    for (; I >= 0 && I < Length(); I += Step)
        if (Place(I).kind != mkLiteral) return I;
    return -1;
}

std::string TEditMaskInfo::Typed(const std::string& EditText) const {
    if (Empty()) return EditText;
    std::string out;
    for (int i = 0; i < Length() && i < static_cast<int>(EditText.size()); ++i) {
        const char c = EditText[static_cast<size_t>(i)];
        if (Place(i).kind != mkLiteral) out += c == blank_ ? ' ' : c;
    }
    return out;
}

std::string TEditMaskInfo::Fill(const std::string& Value, bool Literals) const {
    if (Empty()) return Value;
    std::string shown(static_cast<size_t>(Length()), blank_);
    for (int i = 0; i < Length(); ++i)
        if (Place(i).kind == mkLiteral) shown[static_cast<size_t>(i)] = Place(i).literal;
    // The value's characters go into the places in order; a value that
    // holds the literals steps over them where they match.
    size_t v = 0;
    for (int i = 0; i < Length() && v < Value.size(); ++i) {
        const TPlace& p = Place(i);
        if (p.kind == mkLiteral) {
            if (Literals && Value[v] == p.literal) ++v;
            continue;
        }
        const char c = Value[v] == ' ' ? blank_ : Accept(i, Value[v]);
        if (c) shown[static_cast<size_t>(i)] = c;
        ++v;
    }
    return shown;
}

std::string TEditMaskInfo::ValueOf(const std::string& EditText) const {
    if (Empty()) return EditText;
    std::string out;
    for (int i = 0; i < Length() && i < static_cast<int>(EditText.size()); ++i) {
        const char c = EditText[static_cast<size_t>(i)];
        if (Place(i).kind == mkLiteral) {
            if (save_literals_) out += c;
        } else {
            out += c == blank_ ? ' ' : c;
        }
    }
    if (!save_literals_) {
        // Without literals the value is only what was typed: the blanks of
        // places left empty go.
        const size_t first = out.find_first_not_of(' ');
        if (first == std::string::npos) out.clear();
        else if (leading_blanks_) out.erase(0, first);
        else out.erase(out.find_last_not_of(' ') + 1);
    }
    return out;
}

bool TEditMaskInfo::Complete(const std::string& EditText) const {
    for (int i = 0; i < Length(); ++i) {
        if (Place(i).kind == mkLiteral || !Place(i).required) continue;
        if (i >= static_cast<int>(EditText.size())) return false;
        const char c = EditText[static_cast<size_t>(i)];
        if (c == blank_ || c == ' ') return false;
    }
    return true;
}

// ---- TCustomMaskEdit -------------------------------------------------------------

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::SetEditMask(const std::string& v) {
    if (v == edit_mask_) return;
    // What was typed lands in the new mask's places, whatever literals
    // either mask holds.
    const std::string typed = info_.Typed(EditText());
    const bool was_masked = IsMasked();
    edit_mask_ = v;
    info_ = TEditMaskInfo(v);
    // A mask holds the text to its places; without one the edit is open.
    if (was_masked || IsMasked()) SetMaxLength(info_.Length());
    SetEditText(info_.Empty() ? typed : info_.Fill(typed, false));
}

std::string TCustomMaskEdit::GetText() const { return info_.ValueOf(EditText()); }

void TCustomMaskEdit::SetText(const std::string& v) { SetEditText(info_.EditTextOf(v)); }

void TCustomMaskEdit::ValidateEdit() {
    if (IsMasked() && !info_.Complete(EditText())) throw EMaskEditError(SMaskEditErr);
}

void TCustomMaskEdit::ClearPlaces(std::string& Shown, int From, int To) const {
    for (int i = From; i < To && i < static_cast<int>(Shown.size()); ++i)
        if (info_.Place(i).kind != TEditMaskInfo::mkLiteral) Shown[static_cast<size_t>(i)] = info_.Blank();
}

void TCustomMaskEdit::Show(const std::string& Shown, int Caret) {
    SetEditText(Shown);
    SetSelStart(Caret);
    SetSelLength(0);
    SetModified(true);
}

void TCustomMaskEdit::KeyDown(WORD& Key, TShiftState Shift) {
    TCustomEdit::KeyDown(Key, Shift);
    if (!IsMasked() || ReadOnly() || Key != VK_DELETE) return;
    // Delete blanks places and never shifts the ones behind: they keep
    // their place in the mask.
    std::string s = EditText();
    const int start = SelStart(), len = SelLength();
    ClearPlaces(s, start, len > 0 ? start + len : start + 1);
    Show(s, start);
    Key = 0;
}

void TCustomMaskEdit::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    if (!IsMasked() || Key == 0 || ReadOnly()) return;
    const unsigned char k = static_cast<unsigned char>(Key);
    if (k < 32 && Key != '\b') return;  // Enter, Escape, Ctrl+letters
    std::string s = EditText();
    if (s.size() != static_cast<size_t>(info_.Length())) s = info_.EditTextOf(GetText());
    const int start = SelStart(), len = SelLength();
    const char key = Key;
    Key = 0;
    if (key == '\b') {
        if (len > 0) {
            ClearPlaces(s, start, start + len);
            Show(s, start);
            return;
        }
        const int at = info_.Editable(start - 1, -1);
        if (at < 0) return;
        ClearPlaces(s, at, at + 1);
        Show(s, at);
        return;
    }
    const int at = info_.Editable(start, 1);
    const char c = info_.Accept(at, key);
    if (at < 0 || !c) {
        MessageBeep(0);
        return;
    }
    if (len > 0) ClearPlaces(s, start, start + len);
    s[static_cast<size_t>(at)] = c;
    const int next = info_.Editable(at + 1, 1);
    Show(s, next < 0 ? info_.Length() : next);
}

}  // namespace bramble
