// The gzip and compress reader over arbitrary bytes: tested always, and
// small inputs also extracted so a decompressed TAR goes on to the TAR
// reader. Whatever the input, the reader must end with a message, never a
// crash or a hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/core/messages.h"
#include "engine/readers/ungzip.h"
#include "engine/readers/untar.h"

using namespace bramble;

namespace {

void Quiet(TZipCommon& c) {
    c.ProgressHook = nullptr;
    c.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    c.OnEnd = [](TObject*, const std::string&, bool) {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string base = "/tmp/fuzz_gzip_" + std::to_string(getpid());
    static const std::string path = base + ".tar.gz";
    static const std::string outDir = base + ".out";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    for (bool extract : {false, true}) {
        // Output is at most about a thousand times the input.
        if (extract && size > 2048) break;
        TUnGZIP r;
        TUnTAR tar;
        Quiet(r);
        Quiet(tar);
        r.SetUnTar(&tar);
        r.SetArchiveFile(path);
        r.FileSpec() = {"*.*"};
        r.SetExtractDir(outDir);
        try {
            if (extract)
                r.Extract();
            else
                r.Test();
        } catch (const E_RAISE&) {
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(outDir, ec);
    return 0;
}
