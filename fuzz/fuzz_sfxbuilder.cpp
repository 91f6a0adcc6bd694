// The self-extractor builder over arbitrary bytes as the archive: it reads
// the end record and walks the central directory itself. Whatever the
// bytes, it ends with a program no longer than the stub and the archive,
// or with a message id and nothing written: no crash, no hang, no file
// outside its folder, no temporary file left.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/forms/sfxbuilder.h"
#include "engine/core/os.h"

using namespace bramble;

namespace {

void Write(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

int64_t SizeOf(const std::string& path) {
    os::File f;
    return f.Open(path, os::OpenMode::Read) ? f.Size() : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        std::string d = "/tmp/fuzz_sfx_" + std::to_string(getpid());
        os::DirCreate(d);
        return d;
    }();
    const std::string stub = dir + "/zipsfx.bin", archive = dir + "/in.zip", exe = dir + "/in.exe";
    static const bool stubWritten = [&] {
        Write(stub, "MZ stub of the fuzz run", 23);
        return true;
    }();
    (void)stubWritten;
    Write(archive, data, size);
    os::FileDelete(exe);

    const TSfxResult r = MakeSelfExtractor(stub, archive, exe);
    if (r.Ok()) {
        if (SizeOf(exe) <= 23 || SizeOf(exe) > 23 + static_cast<int64_t>(size)) std::abort();
    } else {
        static const int known[] = {25108, 25136, 25137, 25172, 25235, 25236, 25242, 25253, 25256, 25292};
        bool ok = false;
        for (int id : known) ok = ok || r.ErrorId == id;
        if (!ok || os::FileExists(exe)) std::abort();
    }
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(dir + "/dvx*", fd); rc == 0; rc = finder.Next(fd)) std::abort();
    return 0;
}
