// ARJ's fast method (4) over arbitrary bytes: any stream must decode or fail
// its entry with a message id, without reading or writing out of bounds or
// hanging. The first byte picks the read size (whole blocks or a few bytes
// per read) and how much the entry claims.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/arjfast.h"
#include "engine/core/messages.h"
#include "fuzz/memory_input.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    TZipCommon c;
    fuzz::ReadFromMemory(c, data, size);
    if (mode & 8) {
        // Short reads put every refill in the middle of a code.
        const int64_t step = 1 + ((mode >> 4) & 3);
        fuzz::ShortReads(c, step);
    }
    int64_t claimed = (static_cast<int64_t>(size) + 1) << (mode >> 6 << 2);
    if (claimed > (int64_t{1} << 22)) claimed = int64_t{1} << 22;
    try {
        ArjDecodeFast(c, nullptr, nullptr, static_cast<int64_t>(size), claimed, false);
    } catch (const E_RAISE&) {
    }
    return 0;
}
