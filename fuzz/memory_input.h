// What the decoder fuzz targets share: a component whose input is the
// fuzzer's bytes and whose output goes nowhere (a test run), and reads cut
// short so that every refill lands in the middle of a code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/zipcommon.h"

namespace fuzz {

inline void ReadFromMemory(bramble::TZipCommon& c, const uint8_t* data, size_t size) {
    c.InputSource = bramble::isMemory;
    c.MemoryBlock = data;
    c.MemoryLeft = static_cast<int64_t>(size);
    c.OutputTarget = bramble::otTest;
    c.ProgressHook = nullptr;
}

// Each read hands out at most Step bytes (Step > 0).
inline void ShortReads(bramble::TZipCommon& c, int64_t step) {
    c.ReadHook = [&c, step](bramble::TStream* s, int64_t n, int k, bool d, uint8_t* b) {
        return c.ReadBlock(s, n < step ? n : step, k, d, b);
    };
}

}  // namespace fuzz
