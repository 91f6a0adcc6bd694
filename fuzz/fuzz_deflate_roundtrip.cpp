// The deflate encoder over arbitrary data, checked by the engine's own
// decoder: whatever goes in must come back byte for byte, at every level,
// as a deflate stream or (when allowed) stored raw.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/codecs/deflate.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/crc.h"
#include "engine/core/zipcommon.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // First byte: level in bits 0-1, raw storing allowed in bit 2, and in
    // bits 3-7 how often the data is repeated (to reach window slides).
    const uint8_t control = data[0];
    const TDeflateType level = static_cast<TDeflateType>(control & 3);
    const bool allowRaw = (control & 4) != 0;
    // Repeats give long-range matches; the whole stays small enough for a
    // slow sanitised level-X run to finish well inside the time limit.
    size_t copies = 1 + (control >> 3) * 8;
    const size_t cap = (size_t{256} << 10) / size;
    if (copies > cap) copies = cap > 0 ? cap : 1;
    TMemoryStream source;
    for (size_t i = 0; i < copies; ++i) source.Write(data + 1, static_cast<int64_t>(size - 1));
    const std::vector<uint8_t>& in = source.Data();

    TZipCommon c;
    TMemoryStream packed;
    c.InputSource = isMemory;
    c.MemoryBlock = in.data();
    c.MemoryLeft = static_cast<int64_t>(in.size());
    c.OutputTarget = otCallerStream;
    c.StreamB = &packed;
    c.Crc = 0xFFFFFFFF;
    uint16_t method = 0;
    int64_t n = Deflate(c, level, false, nullptr, nullptr, static_cast<int64_t>(in.size()), allowRaw, method);
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(in.data(), in.size(), crc);
    if (n != packed.Size() || c.Crc != crc) std::abort();
    if (method != 8 && !(method == 0 && allowRaw)) std::abort();

    TZipCommon d;
    TMemoryStream back;
    d.InputSource = isMemory;
    d.MemoryBlock = packed.Data().data();
    d.MemoryLeft = packed.Size();
    d.OutputTarget = otCallerStream;
    d.StreamB = &back;
    d.Crc = 0xFFFFFFFF;
    ZipMethodDecode(d, method, 0, packed.Size(), static_cast<int64_t>(in.size()), false);
    if (back.Data() != in || d.Crc != crc) std::abort();
    return 0;
}
