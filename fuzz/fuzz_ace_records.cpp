// The ACE block walk over arbitrary bytes: the main header and every block
// until the walk ends; what a parsed block says must be consistent, and
// the walk must always move forward.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/ace.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto end = static_cast<int64_t>(size);
    const ace::TReadAt read = [&](int64_t o, void* b, int64_t n) -> int64_t {
        if (o < 0 || o >= end || n <= 0) return 0;
        if (n > end - o) n = end - o;
        std::memcpy(b, data + o, static_cast<size_t>(n));
        return n;
    };
    ace::TMainHeader main;
    int64_t at = 0;
    if (ace::ParseMain(read, 0, main) == ace::TParse::Ok) {
        if (main.Next < ace::kMainFixed) std::abort();
        at = main.Next;
    }
    ace::TBlock b;
    for (int blocks = 0; blocks < 100000 && ace::ParseBlock(read, at, b) == ace::TParse::Ok; ++blocks) {
        if (b.Offset != at || b.HeadSize < 3 || b.Next < at + 4 + b.HeadSize || b.DataSize < 0) std::abort();
        if (b.IsFile() && (b.Name.size() > ace::kMaxName || b.DataSize != b.PackSize)) std::abort();
        if (b.Next > end) break;
        at = b.Next;
    }
    return 0;
}
