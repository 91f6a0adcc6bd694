// The -lh1- decoder over arbitrary bytes: any stream must decode or fail
// with a message id, without reading or writing out of bounds or hanging.
// The first byte sets the size the entry claims.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/lzhuf.h"
#include "engine/core/messages.h"
#include "fuzz/memory_input.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int64_t claimed = (static_cast<int64_t>(size) + 1) << (data[0] & 7);
    ++data;
    --size;
    TZipCommon c;
    fuzz::ReadFromMemory(c, data, size);
    try {
        LzhufDecode(c, nullptr, nullptr, static_cast<int64_t>(size), claimed);
    } catch (const E_RAISE&) {
    }
    return 0;
}
