// arcdrv: a command-line driver of the archive engine, for tests and
// benchmarks. It sets up components the way the program does and prints
// what they report, in a stable, tab-separated form.
//
//   arcdrv detect ARCHIVE     kind name (trimmed), a tab, ArcOffset
//
// Exit status: 0 success, 1 the operation failed, 2 usage.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/dovex.h"

using namespace bramble;

namespace {

int Usage() {
    std::fputs("usage: arcdrv detect ARCHIVE\n", stderr);
    return 2;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

int Detect(const std::string& archive) {
    TDovex dovex;
    dovex.SetArchiveFile(archive);
    std::printf("%s\t%lld\n", Trim(dovex.GetArcTypeName()).c_str(), static_cast<long long>(dovex.ArcOffset()));
    return IsValidArcType(dovex.ArcType()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    try {
        if (args[0] == "detect" && args.size() == 2) return Detect(args[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "arcdrv: %s\n", e.what());
        return 1;
    }
    return Usage();
}
