// The ARC/PAK header parser over arbitrary bytes: the chain of headers is
// walked as the reader walks it, every step moves forward, names stay
// within their 13 bytes, the PAK directory path stays bounded, and a
// parsed header writes back to the bytes it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/arc.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int64_t at = 0;
    arc::TDirectoryPath dirs;
    for (;;) {
        if (at < 0 || static_cast<size_t>(at) >= size) break;
        arc::THeader h;
        const arc::TParse parsed = arc::ParseHeader(data + at, size - static_cast<size_t>(at), at, h);
        if (parsed == arc::TParse::End) break;
        if (h.Next() <= at) std::abort();
        if (parsed == arc::TParse::DirectoryEnd) {
            dirs.Close();
        } else {
            if (h.Name.size() > 13 || h.Name.find('\0') != std::string::npos) std::abort();
            if (h.Directory()) dirs.Open(h.Name);
            // What was read writes back the same, up to the name's NUL.
            const std::vector<uint8_t> b = arc::MakeHeader(h);
            if (b.size() != static_cast<size_t>(h.HeaderSize)) std::abort();
            if (std::memcmp(b.data() + 15, data + at + 15, b.size() - 15) != 0 && !h.Directory()) std::abort();
        }
        if (dirs.Path().size() > 2600) std::abort();
        at = h.Next();
    }
    return 0;
}
