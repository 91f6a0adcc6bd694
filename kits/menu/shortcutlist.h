// Lists of shortcuts held as one text ("Ctrl+C;Ctrl+Ins"): the first one is
// shown, every one fires the item. Kept free of the window layer so that the
// rules can be checked anywhere; the caller hands in the conversions between
// a shortcut's text and its value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble::menukit {

using ShortCutValue = uint16_t;
using ShortCutParser = std::function<ShortCutValue(const std::string&)>;
using ShortCutFormatter = std::function<std::string(ShortCutValue)>;

// The stored text that means "none on purpose": it keeps the command cache
// from lending its shortcut.
inline const std::string cNoShortCut = "\x01";

std::string TrimText(const std::string& Text);

// The piece up to the first ";", trimmed; empty for the "none" mark.
std::string FirstShortCutText(const std::string& List);

// Splits at ";", trims each piece, stops at the first empty piece, and
// rewrites every piece in the standard spelling. A piece that names no
// shortcut raises Exception "Invalid shortcut: '<piece>'". An empty text
// gives the "none" mark.
std::string NormalizeShortCutList(const std::string& Text, const ShortCutParser& Parse,
                                  const ShortCutFormatter& Format);

// The values of the list's pieces (pieces that name nothing are left out).
std::vector<ShortCutValue> ShortCutListValues(const std::string& List, const ShortCutParser& Parse);

// Whether a key with this value fires the list: compared by value, so that
// "ctrl+ins" and "Ctrl+Ins" are the same key.
bool ShortCutListHolds(const std::string& List, ShortCutValue Value, const ShortCutParser& Parse);

}  // namespace bramble::menukit
