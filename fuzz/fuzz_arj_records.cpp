// The ARJ header records over arbitrary bytes: the first header is looked
// for, then every header of the chain is read until the walk ends; what a
// header says must lie within the input, and its name and comment within
// its basic header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/formats/arj.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto end = static_cast<int64_t>(size);
    const arj::TReadAt read = [&](int64_t o, void* b, int64_t n) -> int64_t {
        if (o < 0 || o >= end || n <= 0) return 0;
        if (n > end - o) n = end - o;
        std::memcpy(b, data + o, static_cast<size_t>(n));
        return n;
    };
    int64_t at = arj::FindHeader(read, end, 0, arj::kSearchSpan);
    if (at < 0) return 0;
    if (!arj::HeaderAt(read, at)) std::abort();
    arj::THeader h;
    while (arj::ReadHeader(read, end, at, h) == arj::TParse::Ok) {
        if (h.DataOffset < at + 4 + static_cast<int64_t>(arj::kFixedSize) + 4 + 2 || h.DataOffset > end) std::abort();
        if (h.BasicSize > arj::kMaxBasicSize || h.FirstSize > h.BasicSize) std::abort();
        if (h.Name.size() + h.Comment.size() + h.FirstSize > h.BasicSize) std::abort();
        if (h.Name.find('\0') != std::string::npos || h.Comment.find('\0') != std::string::npos) std::abort();
        at = h.Next();
    }
    // The basic header alone, as the bytes come.
    if (size >= 2) arj::ParseBasic(data + 2, size - 2 > arj::kMaxBasicSize ? arj::kMaxBasicSize : size - 2, h);
    return 0;
}
