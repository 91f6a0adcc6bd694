// The ZIP reader over arbitrary bytes: the input is written to a file,
// detected, and tested with every event assigned (a list of passwords
// tried in turn, then answered wrongly; damaged headers let through). When the input's length is odd the
// file sits on a removable drive, so spanned-set handling runs too: every
// disk asked for is "inserted" (the same file under the label asked for)
// a few times, then refused.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/core/exception.h"
#include "engine/core/os.h"
#include "engine/readers/ziprecords.h"
#include "engine/readers/unzip.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz_unzip_" + std::to_string(getpid()) + ".zip";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    const bool removable = (size & 1) != 0;
    int disk = 1;
    int answers = 0;
    os::DriveProvider provider;
    provider.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
    provider.volumeInfo = [&](const std::string&, os::VolumeInfo& info) {
        info.label = zip::VolumeLabel(disk);
        info.serial = static_cast<uint32_t>(disk);
        return true;
    };
    provider.diskSpace = [](const std::string&, os::DiskSpace& s) {
        s = {1, 512, 2000, 2880};
        return true;
    };
    struct Restore {
        ~Restore() { os::SetDriveProvider(nullptr); }
    } restore;
    if (removable) os::SetDriveProvider(&provider);

    TUnZIP r;
    r.SetArchiveFile(removable ? "A:" + path : path);
    r.FileSpec() = {"*.*"};
    // Several candidates: one that opens a header but not its data makes
    // way for the next, then for the question.
    r.SetPasswords({"", "secret", "x"});
    r.ProgressHook = nullptr;
    r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    r.OnEnd = [](TObject*, const std::string&, bool) {};
    r.OnGetPassword = [](TObject*, const std::string&, std::string& pw, bool& again) {
        pw = "wrong";
        again = true;
    };
    r.OnCorruptZipHeader = [](TObject*, uint8_t, bool& cancel) { cancel = false; };
    r.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
        disk = 1;
        cancel = ++answers > 4;
    };
    r.OnGetZipLastDisk = [&](TObject*, bool& cancel) { cancel = ++answers > 4; };
    r.OnGetZipNextDisk = [&](TObject*, const std::string& volume, bool& cancel) {
        disk = std::atoi(volume.c_str());
        cancel = ++answers > 4;
    };
    try {
        r.Test();
    } catch (const E_RAISE&) {
    }
    return 0;
}
