#include "app/forms/foldername.h"

#include <cctype>

#include "engine/core/helpers.h"

namespace bramble {

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
        // A colon past the drive would name a stream, or under some hosts
        // make a folder no Windows program can open again.
        if (c == ':' || IsForbiddenInName(static_cast<unsigned char>(c))) return false;
        part += c;
    }
    return true;
}

}  // namespace bramble
