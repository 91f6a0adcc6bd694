#include "kits/menu/shortcutlist.h"

#include "engine/core/exception.h"

namespace bramble::menukit {

namespace {

template <typename F>
void ForEachPiece(const std::string& List, F&& f) {
    size_t pos = 0;
    while (pos <= List.size()) {
        size_t end = List.find(';', pos);
        if (end == std::string::npos) end = List.size();
        std::string piece = TrimText(List.substr(pos, end - pos));
        if (piece.empty()) return;  // an empty piece ends the list
        if (!f(piece)) return;
        pos = end + 1;
    }
}

}  // namespace

std::string TrimText(const std::string& Text) {
    size_t b = 0, e = Text.size();
    while (b < e && static_cast<unsigned char>(Text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(Text[e - 1]) <= ' ') --e;
    return Text.substr(b, e - b);
}

std::string FirstShortCutText(const std::string& List) {
    if (List == cNoShortCut) return {};
    return TrimText(List.substr(0, List.find(';')));
}

std::string NormalizeShortCutList(const std::string& Text, const ShortCutParser& Parse,
                                  const ShortCutFormatter& Format) {
    if (Text.empty() || Text == cNoShortCut) return cNoShortCut;
    std::string result;
    ForEachPiece(Text, [&](const std::string& piece) {
        ShortCutValue v = Parse(piece);
        if (v == 0) throw Exception("Invalid shortcut: '" + piece + "'");
        if (!result.empty()) result += ';';
        result += Format(v);
        return true;
    });
    return result.empty() ? cNoShortCut : result;
}

std::vector<ShortCutValue> ShortCutListValues(const std::string& List, const ShortCutParser& Parse) {
    std::vector<ShortCutValue> values;
    if (List == cNoShortCut) return values;
    ForEachPiece(List, [&](const std::string& piece) {
        if (ShortCutValue v = Parse(piece)) values.push_back(v);
        return true;
    });
    return values;
}

bool ShortCutListHolds(const std::string& List, ShortCutValue Value, const ShortCutParser& Parse) {
    if (Value == 0) return false;
    for (ShortCutValue v : ShortCutListValues(List, Parse))
        if (v == Value) return true;
    return false;
}

}  // namespace bramble::menukit
