// The UU/XX decoder over arbitrary text: extracted into a scratch folder,
// with a next-part handler that names a part which exists, so the
// multi-part path runs too. Whatever the input, the decoder must end with a
// message, never a crash or a hang, and write nothing outside its folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/core/messages.h"
#include "engine/readers/uudecode.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string base = "/tmp/fuzz_uudecode_" + std::to_string(getpid());
    static const std::string path = base + ".uue";
    static const std::string part = base + ".uu1";
    static const std::string outDir = base + ".out/";
    // The detector wants "begin " near the start: give every input a
    // chance by putting one in front of half of them.
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && (data[0] & 1)) text = "begin 644 f.bin\n" + text.substr(1);
    for (const std::string* p : {&path, &part}) {
        FILE* f = std::fopen(p->c_str(), "wb");
        if (!f) return 0;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    TUUDecode r;
    r.ProgressHook = nullptr;
    r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    r.OnEnd = [](TObject*, const std::string&, bool) {};
    // One further part at most: the same text again.
    int parts = 0;
    r.OnNextVolume = [&](TObject*, std::string& name, const std::string&, bool, bool& cancel) {
        cancel = parts++ > 0;
        if (!cancel) name = part;
    };
    r.SetArchiveFile(path);
    r.FileSpec() = {"*.*"};
    r.SetExtractDir(outDir);
    try {
        r.Extract();
    } catch (const E_RAISE&) {
    }
    std::error_code ec;
    std::filesystem::remove_all(outDir, ec);
    return 0;
}
