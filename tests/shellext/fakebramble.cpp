// A stand-in for bramble.exe: appends the command line it was started with
// to the file named by BRAMBLE_FAKE_LOG, one line per start, and ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* log = std::getenv("BRAMBLE_FAKE_LOG");
    if (!log) return 2;
    // Written whole and then renamed into place, so a reader never sees
    // half a line.
    const std::string temp = std::string(log) + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return 3;
    std::fputs(GetCommandLineA(), f);
    std::fputc('\n', f);
    std::fclose(f);
    return MoveFileExA(temp.c_str(), log, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
