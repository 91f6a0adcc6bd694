// The compress (.Z) decoder over arbitrary streams: corrupt codes must be
// refused, never followed out of the table.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/unlzw.h"
#include "engine/core/zipcommon.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TZipCommon c;
    TMemoryStream sink;
    c.InputSource = isMemory;
    c.MemoryBlock = data;
    c.MemoryLeft = static_cast<int64_t>(size);
    c.OutputTarget = otCallerStream;
    c.StreamB = &sink;
    try {
        UnLzwDecode(c, static_cast<int64_t>(size));
    } catch (const E_RAISE&) {
    }
    return 0;
}
