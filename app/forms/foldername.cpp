#include "app/forms/foldername.h"

#include <cctype>
#include <cstring>

namespace bramble {

namespace {

bool IsDeviceName(std::string Name) {
    // "nul.txt" and "con " are the devices too.
    Name = Name.substr(0, Name.find('.'));
    while (!Name.empty() && Name.back() == ' ') Name.pop_back();
    for (char& c : Name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* d : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (Name == d) return true;
    return Name.size() == 4 && (Name.compare(0, 3, "COM") == 0 || Name.compare(0, 3, "LPT") == 0) &&
           Name[3] >= '1' && Name[3] <= '9';
}

}  // namespace

bool IsNameableFolder(const std::string& Path) {
    if (Path.empty()) return false;
    size_t from = 0;
    if (Path.size() >= 2 && Path[1] == ':' && std::isalpha(static_cast<unsigned char>(Path[0])))
        from = 2;
    else if (Path.compare(0, 2, "\\\\") == 0)
        from = 2;
    std::string part;
    for (size_t i = from; i <= Path.size(); ++i) {
        const char c = i < Path.size() ? Path[i] : '\\';
        if (c == '\\' || c == '/') {
            if (IsDeviceName(part)) return false;
            part.clear();
            continue;
        }
        if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c)) return false;
        part += c;
    }
    return true;
}

}  // namespace bramble
