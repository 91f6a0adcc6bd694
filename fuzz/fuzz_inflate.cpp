// Inflate over arbitrary bytes: any stream must decode or raise a message
// id, without reading or writing out of bounds or hanging. The first byte
// picks how the input reaches the decoder (whole blocks or a few bytes per
// read) and whether the decoded size is known. Both bit buffers run, the
// 64-bit one and the 32-bit one.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/inflate.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/messages.h"
#include "fuzz/memory_input.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    for (TInflateWord word : {TInflateWord::Wide, TInflateWord::Narrow}) {
        InflateUseWord(word);
        TZipCommon c;
        fuzz::ReadFromMemory(c, data, size);
        if (mode & 1) {
            // Short reads put every refill in the middle of a code.
            unsigned step = 1 + (mode >> 4);
            fuzz::ShortReads(c, step);
        }
        // Known sizes exercise the length checks; unknown ones run to the end.
        int64_t unpacked = (mode & 2) ? static_cast<int64_t>(size) * ((mode >> 2) & 3) : -1;
        c.Crc = 0xFFFFFFFFu;
        try {
            ZipMethodDecode(c, 8, 0, static_cast<int64_t>(size), unpacked, false);
        } catch (const E_RAISE&) {
        }
    }
    return 0;
}
