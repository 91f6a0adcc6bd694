// The -lh5- and -lh1- encoders over arbitrary data, checked by the engine's
// own decoders: whatever goes in must come back byte for byte with its
// CRC-16, or (-lh5- only) be declared incompressible.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/codecs/lh5encode.h"
#include "engine/codecs/lzhdecode.h"
#include "engine/codecs/lzhuf.h"
#include "engine/core/crc.h"
#include "engine/core/zipcommon.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // First byte: the method in bit 0, in bits 1-7 how often the data is
    // repeated (to reach the window's slides and long runs): up to enough
    // to slide -lh5-'s buffer and fill its blocks, or to go round -lh1-'s
    // 4 KB ring a few times; more only slows the run.
    const uint8_t control = data[0];
    const bool lh1 = control & 1;
    size_t copies = 1 + (control >> 1) * 16;
    const size_t cap = (lh1 ? size_t{16} << 10 : size_t{64} << 10) / size;
    if (copies > cap) copies = cap > 0 ? cap : 1;
    std::vector<uint8_t> in;
    for (size_t i = 0; i < copies; ++i) in.insert(in.end(), data + 1, data + size);
    uint16_t crc = 0;
    Crc16Block(in.data(), in.size(), crc);

    TZipCommon c;
    TMemoryStream packed;
    c.InputSource = isMemory;
    c.MemoryBlock = in.data();
    c.MemoryLeft = static_cast<int64_t>(in.size());
    c.OutputTarget = otCallerStream;
    c.StreamB = &packed;
    c.ProgressHook = nullptr;
    c.Crc = 0;
    bool incompressible = false;
    const int64_t n = lh1 ? LzhufEncode(c, nullptr, nullptr, static_cast<int64_t>(in.size()))
                          : LzhEncode(c, nullptr, nullptr, static_cast<int64_t>(in.size()), incompressible);
    // An encoder that finds the data incompressible gives up before it has
    // read it all (the writer then stores the entry), so its check value
    // covers only what it read.
    if (incompressible) return 0;
    if (c.Crc != crc) std::abort();
    if (n != packed.Size()) std::abort();
    if (!lh1 && !in.empty() && n >= static_cast<int64_t>(in.size())) std::abort();

    TZipCommon d;
    TMemoryStream back;
    d.InputSource = isMemory;
    d.MemoryBlock = packed.Data().data();
    d.MemoryLeft = packed.Size();
    d.OutputTarget = otCallerStream;
    d.StreamB = &back;
    d.ProgressHook = nullptr;
    d.Crc = 0;
    const bool ok = lh1 ? LzhufDecode(d, nullptr, nullptr, packed.Size(), static_cast<int64_t>(in.size()))
                        : LzhDecode(d, lzh::kLh5, nullptr, nullptr, packed.Size(), static_cast<int64_t>(in.size()));
    if (!ok || back.Data() != in || d.Crc != crc) std::abort();
    return 0;
}
