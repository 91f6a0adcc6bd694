#include "kits/menu/menutext.h"

namespace bramble::menukit {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string StripAmpersands(const std::string& Caption) {
    std::string out;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += Caption[i];
    }
    return out;
}

char AcceleratorOf(const std::string& Caption) {
    for (size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&') continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return UpperAscii(Caption[i + 1]);
    }
    return 0;
}

bool IsItemAccel(char Key, const std::string& Caption, bool FirstLetter) {
    Key = UpperAscii(Key);
    if (Key == 0) return false;
    if (!FirstLetter) return AcceleratorOf(Caption) == Key;
    std::string shown = StripAmpersands(Caption);
    return !shown.empty() && UpperAscii(shown[0]) == Key;
}

void SplitAtTab(const std::string& Caption, std::string& Text, std::string& ShortCut) {
    size_t tab = Caption.find('\t');
    if (tab == std::string::npos) {
        Text = Caption;
        ShortCut.clear();
    } else {
        Text = Caption.substr(0, tab);
        ShortCut = Caption.substr(tab + 1);
    }
}

bool LooksLikePath(const std::string& Caption) {
    std::string s = StripAmpersands(Caption);
    // Recent-file items may carry a number first ("1 C:\...").
    size_t p = 0;
    while (p < s.size() && ((s[p] >= '0' && s[p] <= '9') || s[p] == ' ')) ++p;
    auto pathAt = [&s](size_t At) {
        if (s.compare(At, 2, "\\\\") == 0) return true;
        return s.size() >= At + 3 && ((s[At] >= 'A' && s[At] <= 'Z') || (s[At] >= 'a' && s[At] <= 'z')) &&
               s[At + 1] == ':' && s[At + 2] == '\\';
    };
    if (pathAt(p)) return true;
    // Or a path after a few words ("To: C:\Temp\new").
    for (size_t i = p; i + 1 < s.size(); ++i)
        if (s[i] == ' ' && pathAt(i + 1)) return true;
    return false;
}

std::vector<std::string> CaptionLines(const std::string& Caption, bool BackslashN) {
    bool splitBackslash = BackslashN && !LooksLikePath(Caption);
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < Caption.size(); ++i) {
        char c = Caption[i];
        if (c == '\r') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else if (splitBackslash && c == '\\' && i + 1 < Caption.size() && Caption[i + 1] == 'n') {
            ++i;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

}  // namespace bramble::menukit
