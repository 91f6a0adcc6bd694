// The lister's header walks over arbitrary file contents: whatever kind
// detection makes of the bytes, the walk must end without crashing,
// reading out of bounds or hanging, and fail only with E_RAISE.
#include <cstddef>
#include <cstdint>
#include <string>

#include <unistd.h>

#include "engine/lister/dovex.h"
#include "engine/core/os.h"

using namespace bramble;

namespace {

const std::string& InputPath() {
    static const std::string path = "/tmp/bramble-fuzz-list-" + std::to_string(getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        os::File f;
        if (!f.Open(InputPath(), os::OpenMode::Create)) return 0;
        f.Write(data, static_cast<int64_t>(size));
    }
    TDovex d;
    d.SetArchiveFile(InputPath());
    if (!IsValidArcType(d.ArcType())) return 0;
    d.SetFileSpec({"*.*"});
    d.SetShowBlankDirs(size % 2 == 0);
    int64_t sum = 0;
    d.OnRead = [&](TObject*, int offset, int filenum) {
        sum += int64_t{offset} + filenum + static_cast<int64_t>(d.EntryInfo.FileName.size()) + d.EntryInfo.PackedSize;
    };
    d.OnReadFile = [&](TObject*, const std::string& name) { sum += name.size(); };
    // Every volume, cabinet or disk a walk asks for is this same file, so
    // chains that point back at themselves are exercised too.
    d.OnNextVolume = [](TObject*, std::string& name, const std::string&, bool, bool& cancel) {
        name = InputPath();
        cancel = false;
    };
    d.OnCorruptZipHeader = [](TObject*, uint8_t, bool& cancel) { cancel = false; };
    try {
        d.ReadArchive();
    } catch (const E_RAISE&) {
    }
    try {
        d.CollectNames();
    } catch (const E_RAISE&) {
    }
    return sum == -1;
}
