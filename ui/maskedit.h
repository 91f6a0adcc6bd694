// An edit that takes its text through a mask: "mask;keep;blank". The mask
// names, place by place, what may be typed there (L/l letter, A/a letter
// or digit, C/c any character, 0/9 digit, # digit or sign; upper case
// required, lower case optional), the literals shown between (":" and "/"
// are the locale's time and date separators, "\" makes the next character
// literal, "_" shows a blank) and the case typed letters take (">" upper,
// "<" lower, "<>" as typed). "!" puts the blanks of optional places that
// were left empty in front instead of behind. The second field is "0" when
// Text leaves the literals out; the third is the blank shown for an empty
// place ("_" by default).
#pragma once

#include <string>
#include <vector>

#include "ui/stdctrls.h"

namespace bramble {

class EMaskEditError : public Exception { public: using Exception::Exception; };
inline constexpr const char* SMaskEditErr = "Invalid input value.  Use escape key to abandon changes";

// A mask taken apart.
class TEditMaskInfo {
public:
    enum TKind : uint8_t { mkLiteral, mkLetter, mkAlnum, mkAny, mkDigit, mkDigitSign };
    struct TPlace {
        TKind kind;
        bool required;
        char literal;  // for mkLiteral
        char fold;     // '>' upper, '<' lower, 0 as typed
    };

    explicit TEditMaskInfo(const std::string& EditMask = {});
    bool Empty() const { return places_.empty(); }
    int Length() const { return static_cast<int>(places_.size()); }
    const TPlace& Place(int I) const { return places_[static_cast<size_t>(I)]; }
    bool SaveLiterals() const { return save_literals_; }
    char Blank() const { return blank_; }
    bool LeadingBlanks() const { return leading_blanks_; }

    // Ch as it goes into place I (its case folded), or 0 when it may not.
    char Accept(int I, char Ch) const;
    // The next (Step 1) or previous (Step -1) place from I on that takes
    // typing, or -1.
    int Editable(int I, int Step) const;
    // The shown text of a value: Value holds the literals when
    // SaveLiterals, else only what was typed.
    std::string EditTextOf(const std::string& Value) const { return Fill(Value, save_literals_); }
    // The typed characters of a shown text, blanks as spaces, no literals.
    std::string Typed(const std::string& EditText) const;
    // Places the characters of Value in order; with Literals, a value's
    // character matching a literal steps over it.
    std::string Fill(const std::string& Value, bool Literals) const;
    // The value of a shown text, as Text gives it.
    std::string ValueOf(const std::string& EditText) const;
    // Whether every required place of the shown text is filled.
    bool Complete(const std::string& EditText) const;

private:
    std::vector<TPlace> places_;
    bool save_literals_ = true;
    char blank_ = '_';
    bool leading_blanks_ = false;
};

class TCustomMaskEdit : public TCustomEdit {
public:
    explicit TCustomMaskEdit(TComponent* AOwner);

    const std::string& EditMask() const { return edit_mask_; }
    // Keeps the value: it is shown again through the new mask.
    void SetEditMask(const std::string& v);
    bool IsMasked() const { return !info_.Empty(); }
    // The text as shown, literals and blanks included.
    std::string EditText() const { return TCustomEdit::GetText(); }
    void SetEditText(const std::string& v) { TCustomEdit::SetText(v); }
    // Raises EMaskEditError when a required place is empty.
    void ValidateEdit();

    std::string GetText() const override;
    void SetText(const std::string& v) override;

protected:
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    // Blanks the editable places of [From, To).
    void ClearPlaces(std::string& Shown, int From, int To) const;
    void Show(const std::string& Shown, int Caret);
    std::string edit_mask_;
    TEditMaskInfo info_;
};

}  // namespace bramble
