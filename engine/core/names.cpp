// Name, path and separator helpers.
#include <string_view>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr std::string_view kPathDelimiters = "\\/:";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Position of the last character of Text that is one of Delimiters, skipping
// the trail bytes of double-byte characters; npos when there is none.
size_t LastDelimiter(const std::string& Text, std::string_view Delimiters) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < Text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        if (os::IsLeadByte(c) && i + 1 < Text.size()) {
            ++i;
            continue;
        }
        if (Delimiters.find(static_cast<char>(c)) != std::string_view::npos) last = i;
    }
    return last;
}

// Start of the last character, which may be a double-byte one.
size_t LastCharStart(const std::string& Text) {
    size_t start = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        start = i;
        if (os::IsLeadByte(static_cast<unsigned char>(Text[i])) && i + 1 < Text.size()) ++i;
    }
    return start;
}

bool EndsInSeparator(const std::string& Path) {
    if (Path.empty()) return false;
    const size_t last = LastCharStart(Path);
    return last == Path.size() - 1 && IsSeparator(Path[last]);
}

}  // namespace

std::string OemToAnsiName(const std::string& Name) { return SlashToBackslash(os::OemToAnsi(Name)); }

std::string Utf8ToAnsiName(const std::string& Name) { return SlashToBackslash(os::Utf8ToAnsi(Name)); }

bool IsUtf8Text(std::string_view Text) {
    bool beyondAscii = false;
    for (size_t i = 0; i < Text.size();) {
        const auto b = static_cast<unsigned char>(Text[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        // Lead bytes of a shortest form: C2..DF, E0..EF, F0..F4.
        const size_t follow = b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : 0;
        if (follow == 0 || Text.size() - i <= follow) return false;
        uint32_t cp = b & (0x3Fu >> follow);
        for (size_t k = 1; k <= follow; ++k) {
            const auto c = static_cast<unsigned char>(Text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = cp << 6 | (c & 0x3Fu);
        }
        const uint32_t least = follow == 1 ? 0x80 : follow == 2 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        beyondAscii = true;
        i += follow + 1;
    }
    return beyondAscii;
}

std::string AnsiToOemName(const std::string& Name) { return SlashToBackslash(os::AnsiToOem(Name)); }

std::string SlashToBackslash(std::string Name) {
    for (char& c : Name)
        if (c == '/') c = '\\';
    return Name;
}

std::string BackslashToSlash(std::string Name) {
    for (size_t i = 0; i < Name.size(); ++i) {
        if (os::IsLeadByte(static_cast<unsigned char>(Name[i])) && i + 1 < Name.size())
            ++i;
        else if (Name[i] == '\\')
            Name[i] = '/';
    }
    return Name;
}

std::string AppendBackslash(const std::string& Path) {
    if (Path.empty() || EndsInSeparator(Path)) return Path;
    return Path + '\\';
}

std::string RemoveBackslash(const std::string& Path) {
    if (!EndsInSeparator(Path)) return Path;
    return Path.substr(0, Path.size() - 1);
}

bool IsUNCPath(const std::string& Path) {
    return Path.size() >= 3 && IsSeparator(Path[0]) && IsSeparator(Path[1]);
}

// The names Windows keeps for devices in every folder, whatever the case,
// the extension, or dots and blanks after the name. COM and LPT also take
// the superscript digits 1 to 3 (0xB9, 0xB2, 0xB3 in the ANSI code page).
bool IsDeviceName(const std::string& Part) {
    std::string base = Part.substr(0, Part.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    base = UpperCase(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    // COM0 and LPT0 are reserved too, as are the superscript digits.
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// Characters no Windows file name may hold.
bool IsForbiddenInName(unsigned char c) {
    return c < 32 || c == '?' || c == '*' || c == '"' || c == '<' || c == '>' || c == '|';
}

size_t LastDotPos(const std::string& Name) {
    const size_t pos = Name.rfind('.');
    return pos == std::string::npos ? Name.size() : pos;
}

std::string ShiftChars(const std::string& Text, bool Subtract, int Amount) {
    const unsigned delta = Subtract ? 0u - static_cast<unsigned>(Amount) : static_cast<unsigned>(Amount);
    std::string out = Text;
    for (char& c : out)
        c = static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(c) + delta));
    return out;
}

std::string SplitToken(std::string& Text, const std::string& Delimiter) {
    const size_t pos = Delimiter.empty() ? std::string::npos : Text.find(Delimiter);
    std::string token;
    if (pos == std::string::npos) {
        token.swap(Text);
    } else {
        token = Text.substr(0, pos);
        Text.erase(0, pos + Delimiter.size());
    }
    return token;
}

std::string ExtractFileName(const std::string& Path) {
    const size_t pos = LastDelimiter(Path, kPathDelimiters);
    return pos == std::string::npos ? Path : Path.substr(pos + 1);
}

std::string ExtractFilePath(const std::string& Path) {
    const size_t pos = LastDelimiter(Path, kPathDelimiters);
    return pos == std::string::npos ? std::string() : Path.substr(0, pos + 1);
}

std::string ExtractFileExt(const std::string& Path) {
    const size_t pos = LastDelimiter(Path, ".\\/:");
    return pos != std::string::npos && Path[pos] == '.' ? Path.substr(pos) : std::string();
}

std::string ChangeFileExt(const std::string& Path, const std::string& Ext) {
    size_t pos = LastDelimiter(Path, ".\\/:");
    if (pos == std::string::npos || Path[pos] != '.') pos = Path.size();
    return Path.substr(0, pos) + Ext;
}

std::string UpperCase(std::string Text) {
    for (char& c : Text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return Text;
}

void NormalizeSpecList(std::vector<std::string>& List) {
    std::vector<std::string> kept;
    kept.reserve(List.size());
    for (const std::string& entry : List) {
        if (entry.empty()) continue;
        std::string name = ExtractFileName(SlashToBackslash(entry));
        if (!name.empty()) kept.push_back(std::move(name));
    }
    List.swap(kept);
}

}  // namespace bramble
