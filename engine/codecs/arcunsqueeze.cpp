#include "engine/codecs/arcunsqueeze.h"

#include <array>

namespace bramble {

namespace {

constexpr int kMaxNodes = 256;
constexpr int kEndOfData = 256;

int Get16(TArcInput& In) {
    const int lo = In.Get(), hi = In.Get();
    if (lo < 0 || hi < 0) throw E_RAISE(25236);
    return static_cast<int16_t>(lo | hi << 8);
}

}  // namespace

void ArcUnsqueeze(TArcInput& In, TArcOutput& Out) {
    const int count = Get16(In);
    if (count < 0 || count > kMaxNodes) throw E_RAISE(25152);
    std::array<std::array<int16_t, 2>, kMaxNodes> nodes;
    nodes[0] = {-(kEndOfData + 1), -(kEndOfData + 1)};
    // A child that names a node past the tree, or a value past the end
    // code, would send the walk outside the table.
    const int nodesThere = count > 0 ? count : 1;
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < 2; ++k) {
            const int child = Get16(In);
            if (child >= nodesThere || child < -(kEndOfData + 1)) throw E_RAISE(25152);
            nodes[static_cast<size_t>(i)][static_cast<size_t>(k)] = static_cast<int16_t>(child);
        }

    int node = 0;
    for (;;) {
        const int byte = In.Get();
        if (byte < 0) return;  // the data ends without its end code
        for (int bit = 0; bit < 8; ++bit) {
            const int child = nodes[static_cast<size_t>(node)][static_cast<size_t>((byte >> bit) & 1)];
            if (child >= 0) {
                node = child;
                continue;
            }
            const int value = -(child + 1);
            if (value == kEndOfData) return;
            Out.PutRle(static_cast<uint8_t>(value));
            node = 0;
        }
    }
}

}  // namespace bramble
