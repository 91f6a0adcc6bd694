// The ARC/PAK reader over arbitrary bytes: the input is written to a file,
// tested, and small inputs also extracted into a folder of their own.
// Whatever the input, the reader must end with a message, never a crash or
// a hang, and write nothing outside that folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/core/messages.h"
#include "engine/readers/unarc.h"

using namespace bramble;

namespace {
// Detection would turn most inputs away before the reader sees them: the
// kind is set whatever the bytes are, so the walk and the decoders get
// every input.
class Reader : public TUnARC {
public:
    void Force() {
        if (arcType_ != atArc) {
            arcType_ = atArc;
            arcOffset_ = 1;
        }
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string base = "/tmp/fuzz_unarc_" + std::to_string(getpid());
    static const std::string path = base + ".unarc";
    // Output goes one level down, so anything written beside it is seen.
    static const std::string outer = base + ".out";
    static const std::string outDir = outer + "/in";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    for (bool extract : {false, true}) {
        if (extract && size > 4096) break;
        Reader r;
        r.ProgressHook = nullptr;
        r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
        r.OnEnd = [](TObject*, const std::string&, bool) {};
        r.SetArchiveFile(path);
        r.Force();
        r.FileSpec() = {"*.*"};
        r.SetExtractDir(outDir);
        r.SetConfirmOverwrites(false);
        // An entry may claim gigabytes that a few bytes of code produce:
        // the run stops after a fixed amount of output.
        int64_t written = 0;
        TWriteHook write = r.ExtractWriteHook;
        r.ExtractWriteHook = [&](TStream* s, bool isData, int64_t n, int k, bool d, const uint8_t* b) -> int64_t {
            written += n;
            if (written > (int64_t{4} << 20)) throw E_RAISE(25400);
            return write(s, isData, n, k, d, b);
        };
        try {
            if (extract)
                r.Extract();
            else
                r.Test();
        } catch (const E_RAISE&) {
        }
    }
    // Names from the archive must not lead out of the folder.
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(outer, ec))
        if (e.path().filename() != "in") std::abort();
    std::filesystem::remove_all(outer, ec);
    return 0;
}
