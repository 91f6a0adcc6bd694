// One codec run for counting instructions under emulation (see bench/i686/run):
//   codec_count inflate|deflate text|binary ours|ours-wide|zlib LEVEL REPEATS
// Data: the benchmarks' text and binary sets, 4 MB of each. Inflate decodes
// a zlib stream of level 6; ours-wide is our decoder with the 64-bit bit
// buffer whatever the build. Deflate compresses at LEVEL (ours: 1, 2, 7, 9
// are S, F, N, X). The data is prepared whatever REPEATS is, so the count
// at REPEATS 1 less the count at 0 is the codec's alone.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_codecs.h"
#include "bench/bench_data.h"
#include "engine/codecs/inflate.h"

using namespace bramble;
using bench::Bytes;

namespace {

constexpr size_t kSize = size_t(4) << 20;

TDeflateType DeflateType(int level) {
    return level <= 1 ? dtDeflateS : level == 2 ? dtDeflateF : level <= 7 ? dtDeflateN : dtDeflateX;
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
        const Bytes packed = bench::RawDeflate(data, 6);
        for (int i = 0; i < repeats; ++i)
            who == "zlib" ? bench::ZlibInflate(packed, data.size(), false) : bench::EngineInflate(packed, data.size(), false);
    } else {
        for (int i = 0; i < repeats; ++i) {
            if (who == "zlib") {
                bench::RawDeflate(data, level);
            } else {
                TZipCommon c;
                TMemoryStream out;
                uint16_t method = 0;
                bench::EngineDeflate(c, data, DeflateType(level), out, method);
            }
        }
    }
    return 0;
}
