// The RAR block walk over arbitrary bytes: the marker, the main header and
// every block until the walk ends; what a parsed block says must be
// consistent, and the walk must always move forward.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/rar.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto end = static_cast<int64_t>(size);
    const rar::TReadAt read = [&](int64_t o, void* b, int64_t n) -> int64_t {
        if (o < 0 || o >= end || n <= 0) return 0;
        if (n > end - o) n = end - o;
        std::memcpy(b, data + o, static_cast<size_t>(n));
        return n;
    };
    const rar::TSignature sig = rar::SignatureAt(read, 0);
    rar::TMainHeader main;
    // Without a marker the bytes are walked as blocks from the start too.
    int64_t at = 0;
    if (sig != rar::TSignature::None && rar::ParseMain(read, sig == rar::TSignature::Rar5 ? 1 : 0, main) == rar::TParse::Ok) {
        if (main.Next < rar::kMarkerSize + rar::kMainHeaderSize) std::abort();
        at = main.Next;
    }
    rar::TBlock b;
    for (int blocks = 0; blocks < 100000 && rar::ParseBlock(read, at, b) == rar::TParse::Ok; ++blocks) {
        if (b.Offset != at || b.HeadSize < 7 || b.Next < at + b.HeadSize || b.DataSize < 0) std::abort();
        if (b.IsFile()) {
            if (b.Name.size() > rar::kMaxName || b.PackSize < 0 || b.UnpSize < 0 || b.DataSize != b.PackSize)
                std::abort();
            b.Directory();
            b.DosAttr();
        }
        if (b.Next > end) break;
        at = b.Next;
    }
    return 0;
}
