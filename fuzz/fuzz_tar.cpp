// The TAR reader and the TAR writer's walk of an existing archive over
// arbitrary bytes: testing, listing (swRead) and deleting an entry (which
// copies the kept entries into a new archive) must end with a message,
// never a crash, a hang or a read outside the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/core/messages.h"
#include "engine/readers/untar.h"
#include "engine/writers/tar.h"

using namespace bramble;

namespace {

void Quiet(TZipCommon& c) {
    c.ProgressHook = nullptr;
    c.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    c.OnEnd = [](TObject*, const std::string&, bool) {};
}

bool Write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz_tar_" + std::to_string(getpid()) + ".tar";
    if (!Write(path, data, size)) return 0;
    {
        TUnTAR r;
        Quiet(r);
        r.SetArchiveFile(path);
        r.FileSpec() = {"*.*"};
        try {
            r.Test();
        } catch (const E_RAISE&) {
        }
    }
    for (TSwitch sw : {swRead, swDelete}) {
        TTar w;
        Quiet(w);
        w.OnRead = [&w](TObject*, int, int) { (void)w.EntryInfo.FileName.size(); };
        w.SetTempDir("/tmp");
        w.SetArchiveFile(path);
        w.FileSpec() = {"a*"};
        w.SetSwitch(sw);
        try {
            w.Compress();
        } catch (const E_RAISE&) {
        }
    }
    return 0;
}
