// Archive-kind detection over arbitrary file contents: it must classify
// anything without reading past what it read, crashing or hanging.
#include <cstddef>
#include <cstdint>
#include <string>

#include <unistd.h>

#include "engine/lister/dovex.h"
#include "engine/core/os.h"

using namespace bramble;

namespace {

// One fixed file per process, rewritten for each input.
const std::string& InputPath() {
    static const std::string path = [] {
        std::string p = "/tmp/bramble-fuzz-detect-" + std::to_string(getpid());
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        os::File f;
        if (!f.Open(InputPath(), os::OpenMode::Create)) return 0;
        f.Write(data, static_cast<int64_t>(size));
    }
    // Every name ending a kind's rules look at.
    static const char* const names[] = {"", ".jar", ".r05", ".a01", ".arj", ".ace", ".rar"};
    for (const char* suffix : names) {
        std::string name = InputPath() + suffix;
        if (*suffix) {
            os::FileDelete(name);
            os::FileCopy(InputPath(), name, false);
        }
        TDovex d;
        d.SetArchiveFile(name);
        d.SetZipCmntBufSize(static_cast<int>(size % 40000));
        d.SetArchiveFile(name);
        if (*suffix) os::FileDelete(name);
    }
    return 0;
}
