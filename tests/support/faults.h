// Faults a test makes a reader meet where they really arise.
#pragma once

#include <memory>

#include "engine/core/unbase.h"

namespace bramble::test {

// The first block of entry data Reader writes raises Code instead, as a
// decoder that cannot go on (no memory for its tables) raises it where it
// stands; every later block is written.
inline void RaiseOnFirstWrite(TUnBase& Reader, int Code) {
    auto raised = std::make_shared<bool>(false);
    const TWriteHook write = Reader.ExtractWriteHook;
    Reader.ExtractWriteHook = [raised, &Reader, write, Code](TStream* s, bool data, int64_t n, int k, bool d,
                                                             const uint8_t* b) {
        if (data && !*raised) {
            *raised = true;
            Reader.RaiseError(Reader.EntryName(), "", "0", Code);
        }
        return write(s, data, n, k, d, b);
    };
}

}  // namespace bramble::test
