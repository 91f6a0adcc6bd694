// Compares the engine's deflate encoder with zlib's raw deflate and with
// libdeflate (the fastest packaged encoder, whole buffer in one call; left
// out where it is not installed, as in the Windows builds) on the same
// data: C++ headers (text), the cmake binary, both together, and 1000
// small entries of 2000 bytes of the text, each its own stream. Prints the
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

// A data set: one entry, or many small ones, each coded as a stream of its
// own (as an archive of small files holds them).
using Entries = std::vector<Bytes>;

size_t TotalSize(const Entries& in) {
    size_t n = 0;
    for (const Bytes& e : in) n += e.size();
    return n;
}

// One component codes every entry, as the program's writer does.
Result Ours(const Entries& in, TDeflateType level, int runs, bool& ok) {
    TZipCommon c;
    std::vector<TMemoryStream> out(in.size());
    std::vector<uint32_t> crcs(in.size());
    Result r;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        for (size_t k = 0; k < in.size(); ++k) {
            out[k].Clear();
            out[k].Data().reserve(in[k].size() + in[k].size() / 8 + 1024);
        }
        r.size = 0;
        double t0 = ThreadSeconds();
        for (size_t k = 0; k < in.size(); ++k) {
            uint16_t method = 0;
            int64_t n = bench::EngineDeflate(c, in[k], level, out[k], method);
            r.size += size_t(n);
            crcs[k] = c.Crc;
            if (size_t(n) != out[k].Data().size() || method != 8) ok = false;
        }
        best = std::min(best, ThreadSeconds() - t0);
    }
    // zlib must give every entry back, and the read hook must have seen it all.
    for (size_t k = 0; k < in.size(); ++k) {
        Bytes back(in[k].size() + 1);
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = out[k].Data().data();
        z.avail_in = uInt(out[k].Data().size());
        z.next_out = back.data();
        z.avail_out = uInt(back.size());
        int rc = inflate(&z, Z_FINISH);
        if (rc != Z_STREAM_END || z.total_out != in[k].size() || !std::equal(in[k].begin(), in[k].end(), back.begin()) ||
            z.avail_in != 0)
            ok = false;
        inflateEnd(&z);
        uint32_t crc = 0xFFFFFFFF;
        Crc32Block(in[k].data(), in[k].size(), crc);
        if (crc != crcs[k]) ok = false;
    }
    r.mbps = double(TotalSize(in)) / 1e6 / best;
    return r;
}

// A stream set up and ended per entry.
Result Zlib(const Entries& in, int level, int runs) {
    size_t largest = 0;
    for (const Bytes& e : in) largest = std::max(largest, e.size());
    Bytes out(deflateBound(nullptr, uLong(largest)) + 1024);
    Result r;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        r.size = 0;
        double t0 = ThreadSeconds();
        for (const Bytes& e : in) {
            z_stream z{};
            deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
            z.next_in = const_cast<uint8_t*>(e.data());
            z.avail_in = uInt(e.size());
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            deflate(&z, Z_FINISH);
            r.size += z.total_out;
            deflateEnd(&z);
        }
        best = std::min(best, ThreadSeconds() - t0);
    }
    r.mbps = double(TotalSize(in)) / 1e6 / best;
    return r;
}

// One compressor for every entry, as its interface intends. Speed 0 where
// libdeflate is not installed.
Result Libdeflate(const Entries& in, int level, int runs) {
    Result r;
#if BRAMBLE_BENCH_LIBDEFLATE
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    size_t largest = 0;
    for (const Bytes& e : in) largest = std::max(largest, e.size());
    Bytes out(libdeflate_deflate_compress_bound(c, largest));
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        r.size = 0;
        double t0 = ThreadSeconds();
        for (const Bytes& e : in) r.size += libdeflate_deflate_compress(c, e.data(), e.size(), out.data(), out.size());
        best = std::min(best, ThreadSeconds() - t0);
    }
    libdeflate_free_compressor(c);
    r.mbps = double(TotalSize(in)) / 1e6 / best;
#else
    (void)in, (void)level, (void)runs;
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
    Entries small;
    for (size_t at = 0; small.size() < 1000 && at + 2000 <= text.size(); at += 2000)
        small.emplace_back(text.begin() + at, text.begin() + at + 2000);
    struct Corpus {
        const char* name;
        Entries data;
    } corpora[] = {{"text", {text}}, {"binary", {binary}}, {"both", {both}}, {"small", small}};
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
                Result o1 = Ours(c.data, p.ours, runs, ok);
                Result z1 = Zlib(c.data, p.zlevel, runs);
                Result l1 = Libdeflate(c.data, p.zlevel, runs);
                o.size = o1.size, z.size = z1.size, l.size = l1.size;
                o.mbps = std::max(o.mbps, o1.mbps);
                z.mbps = std::max(z.mbps, z1.mbps);
                l.mbps = std::max(l.mbps, l1.mbps);
                vsZlib.Add(perMb(z1), perMb(o1));
                vsLibdeflate.Add(perMb(l1), perMb(o1));
            }
            double n = double(TotalSize(c.data));
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
