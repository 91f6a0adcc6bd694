// arcdrv: a command-line driver of the archive engine, for tests and
// benchmarks. It sets up components the way the program does and prints
// what they report, in a stable, tab-separated form.
//
//   arcdrv detect ARCHIVE     kind name (trimmed), a tab, ArcOffset
//   arcdrv list ARCHIVE       one line per entry: name, unpacked size,
//                             packed size, CRC (8 hex digits), method,
//                             date-time "yyyy-mm-dd hh:mm:ss", tab-separated;
//                             then "TOTAL", entries, unpacked, packed
//
// Exit status: 0 success, 1 the operation failed, 2 usage.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/dovex.h"
#include "engine/core/helpers.h"

using namespace bramble;

namespace {

int Usage() {
    std::fputs("usage: arcdrv detect ARCHIVE\n"
               "       arcdrv list ARCHIVE\n",
               stderr);
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

// Engine errors go to standard error as "error ID text [extra]".
void PrintErrors(TZipCommon& c) {
    c.OnError = [](TObject*, const std::string& FN, const std::string& MsgEx, const std::string&, int ECode) {
        std::fprintf(stderr, "error %d %s%s%s\n", ECode, MessageText(ECode).c_str(), MsgEx.empty() ? "" : " ",
                     MsgEx.c_str());
    };
}

int List(const std::string& archive) {
    TDovex dovex;
    PrintErrors(dovex);
    dovex.SetArchiveFile(archive);
    dovex.FileSpec() = {"*.*"};
    dovex.OnRead = [&dovex](TObject*, int, int) {
        const TEntryInfo& e = dovex.EntryInfo;
        int y, mo, d, h, mi, s;
        DecodeDateTime(e.DateTime, y, mo, d, h, mi, s);
        std::printf("%s\t%lld\t%lld\t%08X\t%s\t%04d-%02d-%02d %02d:%02d:%02d\n", e.FileName.c_str(),
                    static_cast<long long>(e.UnpackedSize), static_cast<long long>(e.PackedSize), e.CRC,
                    e.MethodName.c_str(), y, mo, d, h, mi, s);
    };
    dovex.ReadArchive();
    std::printf("TOTAL\t%d\t%lld\t%lld\n", dovex.FileCount(), static_cast<long long>(dovex.TotalUnpacked()),
                static_cast<long long>(dovex.TotalPacked()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    try {
        if (args[0] == "detect" && args.size() == 2) return Detect(args[1]);
        if (args[0] == "list" && args.size() == 2) return List(args[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "arcdrv: %s\n", e.what());
        return 1;
    }
    return Usage();
}
