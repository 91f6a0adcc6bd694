// The codec runs the benchmarks time and bench/i686 counts: zlib's raw
// deflate and inflate, and ours through the component's hooks as the
// program runs them (memory in, no output target).
#pragma once

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "engine/codecs/deflate.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/streams.h"
#include "engine/core/zipcommon.h"

namespace bench {

using Bytes = std::vector<uint8_t>;

// zlib's raw deflate stream of In at Level, in one call.
inline Bytes RawDeflate(const Bytes& in, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, in.size()));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// zlib raw inflate into 256 KB blocks, as a streaming extractor would run
// it; with Crc the blocks are also checked with zlib's crc32.
inline uint32_t ZlibInflate(const Bytes& packed, size_t expected, bool withCrc) {
    static Bytes out(262144);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    uLong crc = crc32(0, nullptr, 0);
    size_t total = 0;
    int rc;
    do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        size_t n = out.size() - z.avail_out;
        if (withCrc) crc = crc32(crc, out.data(), static_cast<uInt>(n));
        total += n;
    } while (rc == Z_OK);
    inflateEnd(&z);
    if (rc != Z_STREAM_END || total != expected) {
        std::fprintf(stderr, "zlib inflate failed (%d)\n", rc);
        std::exit(1);
    }
    return static_cast<uint32_t>(crc);
}

// ZipMethodDecode through the component's hooks, decoding only (no output
// target). With Crc the real extract hook runs and folds every block into
// the CRC-32; without it the hook only counts.
inline uint32_t EngineInflate(const Bytes& packed, size_t expected, bool withCrc) {
    using namespace bramble;
    TZipCommon c;
    c.InputSource = isMemory;
    c.MemoryBlock = packed.data();
    c.MemoryLeft = static_cast<int64_t>(packed.size());
    c.OutputTarget = otTest;
    c.ProgressHook = nullptr;
    int64_t seen = 0;
    if (!withCrc) {
        c.ExtractWriteHook = [&seen](TStream*, bool, int64_t n, int, bool, const uint8_t*) {
            seen += n;
            return n;
        };
    }
    c.Crc = 0xFFFFFFFFu;
    try {
        ZipMethodDecode(c, 8, 0, static_cast<int64_t>(packed.size()), static_cast<int64_t>(expected), false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ZipMethodDecode failed: %s\n", e.what());
        std::exit(1);
    }
    return ~c.Crc;
}

// Our deflate of In into Out through the component's hooks; C's Crc
// register, started here, ends over the input.
inline int64_t EngineDeflate(bramble::TZipCommon& c, const Bytes& in, bramble::TDeflateType level,
                             bramble::TMemoryStream& out, uint16_t& method) {
    using namespace bramble;
    c.InputSource = isMemory;
    c.MemoryBlock = in.data();
    c.MemoryLeft = int64_t(in.size());
    c.OutputTarget = otCallerStream;
    c.StreamB = &out;
    c.Crc = 0xFFFFFFFF;
    method = 0;
    return Deflate(c, level, false, nullptr, nullptr, int64_t(in.size()), false, method);
}

}  // namespace bench
