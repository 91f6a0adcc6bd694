// Compares the engine's deflate encoder with zlib's raw deflate and with
// libdeflate (the fastest packaged encoder, whole buffer in one call; left
// out where it is not installed, as in the Windows builds) on the same
// data: C++ headers (text), the cmake binary, and both together. Prints the
// compressed size as a percentage of the input and the speed in MB/s of
// each, best processor time of several runs. Every stream of ours is
// inflated by zlib and compared with the input.
//
// Usage: deflate_bench [runs] [text-MB] [levels, e.g. SFNX]
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/codecs/deflate.h"
#include "engine/core/crc.h"
#include "engine/core/zipcommon.h"
#include "bench/bench_codecs.h"
#include "bench/bench_data.h"

using namespace bramble;
using bench::Bytes;
using bench::ThreadSeconds;

namespace {

struct Result {
    size_t size = 0;
    double mbps = 0;
};

Result Ours(const Bytes& in, TDeflateType level, int runs, bool& ok) {
    TZipCommon c;
    TMemoryStream out;
    Result r;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        out.Clear();
        out.Data().reserve(in.size() + in.size() / 8 + 1024);
        uint16_t method = 0;
        double t0 = ThreadSeconds();
        int64_t n = bench::EngineDeflate(c, in, level, out, method);
        double s = ThreadSeconds() - t0;
        best = std::min(best, s);
        r.size = size_t(n);
        if (size_t(n) != out.Data().size() || method != 8) ok = false;
    }
    // zlib must give the input back, and the read hook must have seen it all.
    Bytes back(in.size() + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = out.Data().data();
    z.avail_in = uInt(out.Data().size());
    z.next_out = back.data();
    z.avail_out = uInt(back.size());
    int rc = inflate(&z, Z_FINISH);
    if (rc != Z_STREAM_END || z.total_out != in.size() || !std::equal(in.begin(), in.end(), back.begin()) ||
        z.avail_in != 0)
        ok = false;
    inflateEnd(&z);
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(in.data(), in.size(), crc);
    if (crc != c.Crc) ok = false;
    r.mbps = double(in.size()) / 1e6 / best;
    return r;
}

Result Zlib(const Bytes& in, int level, int runs) {
    Bytes out(deflateBound(nullptr, uLong(in.size())) + 1024);
    Result r;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        z_stream z{};
        double t0 = ThreadSeconds();
        deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        z.next_in = const_cast<uint8_t*>(in.data());
        z.avail_in = uInt(in.size());
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FINISH);
        r.size = z.total_out;
        deflateEnd(&z);
        best = std::min(best, ThreadSeconds() - t0);
    }
    r.mbps = double(in.size()) / 1e6 / best;
    return r;
}

// Speed 0 where libdeflate is not installed.
Result Libdeflate(const Bytes& in, int level, int runs) {
    Result r;
#if BRAMBLE_BENCH_LIBDEFLATE
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(c, in.size()));
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        double t0 = ThreadSeconds();
        r.size = libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size());
        best = std::min(best, ThreadSeconds() - t0);
    }
    libdeflate_free_compressor(c);
    r.mbps = double(in.size()) / 1e6 / best;
#endif
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    size_t textMB = argc > 2 ? size_t(std::atoi(argv[2])) : 4;
    std::string only = argc > 3 ? argv[3] : "SFNX";
    Bytes text = bench::CollectText(textMB << 20);
    Bytes binary = bench::BinarySample();
    Bytes both = text;
    both.insert(both.end(), binary.begin(), binary.end());
    struct Corpus {
        const char* name;
        const Bytes* data;
    } corpora[] = {{"text", &text}, {"binary", &binary}, {"both", &both}};
    struct Pair {
        TDeflateType ours;
        const char* name;
        int zlevel;
    } pairs[] = {{dtDeflateS, "S", 1}, {dtDeflateF, "F", 2}, {dtDeflateN, "N", 7}, {dtDeflateN, "N", 6},
                 {dtDeflateX, "X", 9}};

#if BRAMBLE_BENCH_LIBDEFLATE
    const char* libdeflateVersion = LIBDEFLATE_VERSION_STRING;
#else
    const char* libdeflateVersion = "not installed here (its speed reads 0)";
#endif
    std::printf("zlib %s, libdeflate %s, best of %d runs; ours includes the CRC-32 of the read hook\n",
                zlibVersion(), libdeflateVersion, runs);
    std::printf("size+%% is ours against the anchor's size; speed is ours/anchor (above 1: ours is faster), then the\n"
                "range of the rounds' own ratios\n");
    std::printf("%-7s %-3s %7s %7s | %-4s %7s %7s %7s %17s | %-4s %7s %7s %7s %17s\n", "data", "lvl", "ratio%",
                "MB/s", "zlib", "ratio%", "MB/s", "size+%", "speed", "ldef", "ratio%", "MB/s", "size+%", "speed");
    bool allOk = true;
    for (const Corpus& c : corpora) {
        for (const Pair& p : pairs) {
            if (only.find(p.name) == std::string::npos) continue;
            bool ok = true;
            // Each engine in turn, several rounds, best of all: bursts of load
            // elsewhere on the machine then hit all three alike. Each round's
            // own speed ratios give the spread.
            Result o, z, l;
            bench::TRatio vsZlib, vsLibdeflate;
            auto perMb = [](const Result& r) { return r.mbps > 0 ? 1.0 / r.mbps : 0.0; };
            for (int round = 0; round < 3; ++round) {
                Result o1 = Ours(*c.data, p.ours, runs, ok);
                Result z1 = Zlib(*c.data, p.zlevel, runs);
                Result l1 = Libdeflate(*c.data, p.zlevel, runs);
                o.size = o1.size, z.size = z1.size, l.size = l1.size;
                o.mbps = std::max(o.mbps, o1.mbps);
                z.mbps = std::max(z.mbps, z1.mbps);
                l.mbps = std::max(l.mbps, l1.mbps);
                vsZlib.Add(perMb(z1), perMb(o1));
                vsLibdeflate.Add(perMb(l1), perMb(o1));
            }
            double n = double(c.data->size());
            std::printf("%-7s %-3s %7.2f %7.1f | z%-3d %7.2f %7.1f %+7.2f %17s | l%-3d %7.2f %7.1f %+7.2f %17s%s\n",
                        c.name, p.name, 100.0 * double(o.size) / n, o.mbps, p.zlevel, 100.0 * double(z.size) / n,
                        z.mbps, 100.0 * (double(o.size) / double(z.size) - 1), vsZlib.Text().c_str(), p.zlevel,
                        100.0 * double(l.size) / n, l.mbps, l.size ? 100.0 * (double(o.size) / double(l.size) - 1) : 0.0,
                        vsLibdeflate.Text().c_str(), ok ? "" : "  ROUND TRIP FAILED");
            std::fflush(stdout);
            allOk = allOk && ok;
        }
    }
    return allOk ? 0 : 1;
}
