// The static-Huffman LZ decoder over arbitrary bytes with every caller's
// parameters: any stream must decode or fail its entry with a message id,
// without reading or writing out of bounds or hanging. The first byte picks
// the parameters, the read size (whole blocks or a few bytes per read) and
// the size the entry claims.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/lzhdecode.h"
#include "engine/core/messages.h"
#include "fuzz/memory_input.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    static const TLzhParams params[] = {lzh::kLh4, lzh::kLh5,        lzh::kLh6,       lzh::kZoo,
                                        lzh::Bh(false), lzh::Arj(false), lzh::kLh5, lzh::kLh6};
    const TLzhParams& p = params[mode & 7];
    TZipCommon c;
    fuzz::ReadFromMemory(c, data, size);
    if (mode & 8) {
        // Short reads put every refill in the middle of a code.
        const int64_t step = 1 + ((mode >> 4) & 3);
        fuzz::ShortReads(c, step);
    }
    // A few bytes of constant codes make megabytes: the claim stays small
    // enough for the run to end well inside the time limit.
    int64_t claimed = (static_cast<int64_t>(size) + 1) << (mode >> 6 << 2);
    if (claimed > (int64_t{1} << 22)) claimed = int64_t{1} << 22;
    try {
        LzhDecode(c, p, nullptr, nullptr, static_cast<int64_t>(size), claimed);
    } catch (const E_RAISE&) {
    }
    return 0;
}
