// One codec run for counting instructions under emulation (see bench/i686/run):
//   codec_count inflate|deflate text|binary ours|ours-wide|zlib LEVEL REPEATS
// Data: the benchmarks' text and binary sets, 4 MB of each. Inflate decodes
// a zlib stream of level 6; ours-wide is our decoder with the 64-bit bit
// buffer whatever the build. Deflate compresses at LEVEL (ours: 1, 2, 7, 9
// are S, F, N, X). The data is prepared whatever REPEATS is, so the count
// at REPEATS 1 less the count at 0 is the codec's alone.
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_data.h"
#include "engine/codecs/deflate.h"
#include "engine/codecs/inflate.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/streams.h"

using namespace bramble;
using bench::Bytes;

namespace {

constexpr size_t kSize = size_t(4) << 20;

Bytes ZlibDeflate(const Bytes& in, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, in.size()));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void ZlibInflate(const Bytes& packed, size_t expected) {
    static Bytes out(262144);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = uInt(packed.size());
    size_t total = 0;
    int rc;
    do {
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        total += out.size() - z.avail_out;
    } while (rc == Z_OK);
    inflateEnd(&z);
    if (rc != Z_STREAM_END || total != expected) {
        std::fprintf(stderr, "zlib inflate failed\n");
        std::exit(1);
    }
}

void OurInflate(const Bytes& packed, size_t expected) {
    TZipCommon c;
    c.InputSource = isMemory;
    c.MemoryBlock = packed.data();
    c.MemoryLeft = int64_t(packed.size());
    c.OutputTarget = otTest;
    c.ProgressHook = nullptr;
    int64_t seen = 0;
    c.ExtractWriteHook = [&seen](TStream*, bool, int64_t n, int, bool, const uint8_t*) {
        seen += n;
        return n;
    };
    c.Crc = 0xFFFFFFFFu;
    ZipMethodDecode(c, 8, 0, int64_t(packed.size()), int64_t(expected), false);
    if (size_t(seen) != expected) {
        std::fprintf(stderr, "inflate gave %lld bytes\n", static_cast<long long>(seen));
        std::exit(1);
    }
}

void OurDeflate(const Bytes& in, int level) {
    TDeflateType type = level <= 1 ? dtDeflateS : level == 2 ? dtDeflateF : level <= 7 ? dtDeflateN : dtDeflateX;
    TZipCommon c;
    TMemoryStream out;
    c.InputSource = isMemory;
    c.MemoryBlock = in.data();
    c.MemoryLeft = int64_t(in.size());
    c.OutputTarget = otCallerStream;
    c.StreamB = &out;
    c.Crc = 0xFFFFFFFF;
    uint16_t method = 0;
    Deflate(c, type, false, nullptr, nullptr, int64_t(in.size()), false, method);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: codec_count inflate|deflate text|binary ours|ours-wide|zlib LEVEL REPEATS\n");
        return 2;
    }
    const std::string codec = argv[1], set = argv[2], who = argv[3];
    const int level = std::atoi(argv[4]), repeats = std::atoi(argv[5]);
    Bytes data = set == "text" ? bench::CollectText(kSize) : bench::BinarySample();
    if (data.size() > kSize) data.resize(kSize);
    if (who == "ours-wide") InflateUseWord(TInflateWord::Wide);
    if (codec == "inflate") {
        const Bytes packed = ZlibDeflate(data, 6);
        for (int i = 0; i < repeats; ++i) who == "zlib" ? ZlibInflate(packed, data.size()) : OurInflate(packed, data.size());
    } else {
        for (int i = 0; i < repeats; ++i) who == "zlib" ? void(ZlibDeflate(data, level)) : OurDeflate(data, level);
    }
    return 0;
}
