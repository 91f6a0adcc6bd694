// The command line: how the arguments split into the switch and the path,
// and the long form of the path.
#include <windows.h>

#include "app/forms/main_private.h"

namespace bramble {

namespace {

std::vector<std::string>& ArgStore() {
    static std::vector<std::string> args;
    return args;
}

bool IsUncRoot(const std::string& p) {
    if (!IsUNCPath(p)) return false;
    size_t a = p.find('\\', 2);
    if (a == std::string::npos) return true;
    size_t b = p.find('\\', a + 1);
    return b == std::string::npos || b + 1 == p.size();
}

std::string ExpandLongPathPart(const std::string& Path) {
    const std::string dir = ExtractFileDir(Path);
    if (dir == Path) return Path.substr(0, Path.size() - 1);
    if (IsUncRoot(Path) || Path.empty()) return Path;
    if (Path.find_first_of("*?") != std::string::npos)
        throw Exception(Format("Path %s does not exist!", Path.c_str()));
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(Path.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) throw Exception(Format("Path %s does not exist!", Path.c_str()));
    FindClose(h);
    return ExpandLongPathPart(dir) + "\\" + fd.cFileName;
}

// Colours of the painted toolbar glyphs: the plain form, and the brighter

}  // namespace

void SetCommandLineArguments(std::vector<std::string> Args) { ArgStore() = std::move(Args); }
const std::vector<std::string>& CommandLineArguments() { return ArgStore(); }

std::vector<std::string> ProcessArguments() {
    std::vector<std::string> out;
    for (int i = 1; i < __argc; ++i) out.emplace_back(__argv[i]);
    return out;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& Args) {
    TCommandLine r;
    if (Args.empty()) return r;
    r.Switch = "none";
    for (const std::string& a : Args) {
        if (a.find('/') != std::string::npos)
            r.Switch = a;
        else
            r.Path += a + " ";
    }
    while (!r.Path.empty() && r.Path.back() == ' ') r.Path.pop_back();
    return r;
}

std::string ExpandLongPath(const std::string& Path) {
    std::string p = Path;
    bool slash = !p.empty() && p.back() == '\\';
    if (slash) p.pop_back();
    if (!p.empty()) {
        char buf[MAX_PATH * 2];
        DWORD n = GetFullPathNameA(p.c_str(), sizeof buf, buf, nullptr);
        if (n > 0 && n < sizeof buf) p.assign(buf, n);
    }
    std::string r = ExpandLongPathPart(p);
    if (slash) r += "\\";
    return r;
}

std::string PathWithoutExtension(const std::string& Path) {
    const std::string name = ExtractFileName(Path);
    std::string r = Path;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) r.resize(Path.size() - (name.size() - dot));
    while (!r.empty() && r.back() == ' ') r.pop_back();
    return r;
}

std::string AddArchiveName(const std::string& Path) {
    std::string name = ExtractFileName(Path);
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return ExtractFilePath(Path) + name + ".zip";
}

}  // namespace bramble
