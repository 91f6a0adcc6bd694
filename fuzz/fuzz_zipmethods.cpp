// The old ZIP methods over arbitrary bytes: shrunk (1), reduced (2-5) and
// imploded (6, all four flag combinations). Byte 0 picks the method and
// flags, bytes 1-2 the decoded size; the rest is the compressed data.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/zipmethod.h"
#include "engine/core/messages.h"
#include "fuzz/memory_input.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const uint16_t kMethods[] = {1, 2, 3, 4, 5, 6, 6, 6, 6, 0};
    const uint8_t pick = data[0] % 10;
    const uint16_t method = kMethods[pick];
    const uint16_t flags = pick >= 5 && pick <= 8 ? static_cast<uint16_t>((pick - 5) << 1) : 0;
    const int64_t unpacked = data[1] | data[2] << 8;
    data += 3;
    size -= 3;
    TZipCommon c;
    fuzz::ReadFromMemory(c, data, size);
    c.Crc = 0xFFFFFFFFu;
    try {
        ZipMethodDecode(c, method, flags, static_cast<int64_t>(size), unpacked, false);
    } catch (const E_RAISE&) {
    }
    return 0;
}
