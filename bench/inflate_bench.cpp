// Inflate throughput of ZipMethodDecode against two anchors on the same
// deflate streams, in one run: zlib's raw inflate (streaming, as ours runs)
// and libdeflate (whole buffer in one call, the fastest packaged decoder;
// left out where it is not installed, as in the Windows builds):
//   text    C++ headers from /usr/include/c++, concatenated (several MB)
//   binary  /usr/bin/cmake
//   both    the two together
//   small   1000 entries of 2000 bytes of the text, each decoded on its own
// Ours also runs with the other bit buffer than the build's own (32-bit in a
// 64-bit build, 64-bit in the i686 build), decoding only.
// Each stream is made by zlib (level 6 unless LEVEL says otherwise, raw). Every decoder runs it several
// times; the best processor time counts. MB/s are of decoded output (1 MB = 10^6 bytes).
// Each ratio is followed by the range of the rounds' own ratios (each round
// runs every decoder once), which shows how far one reading can stray.
//
//   inflate_bench [TEXT_MB] [REPEATS] [LEVEL]
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/codecs/inflate.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/crc.h"
#include "bench/bench_codecs.h"
#include "bench/bench_data.h"

using namespace bramble;
using bench::Bytes;
using bench::EngineInflate;
using bench::RawDeflate;
using bench::ZlibInflate;
using bench::ThreadSeconds;
constexpr bool kLibdeflate = BRAMBLE_BENCH_LIBDEFLATE;

namespace {

int Level = 6;

// The time of a coder that did not run: its speed reads 0, and so does its
// ratio to ours.
constexpr double kNotRun = 1e30;
double Ratio(double anchorSeconds, double oursSeconds) {
    return anchorSeconds >= kNotRun ? 0.0 : anchorSeconds / oursSeconds;
}

template <typename F>
double BestSeconds(int repeats, F&& f) {
    double best = kNotRun;
    for (int i = 0; i < repeats; ++i) {
        double t0 = ThreadSeconds();
        f();
        double s = ThreadSeconds() - t0;
        best = std::min(best, s);
    }
    return best;
}

// libdeflate decodes the whole stream into one buffer; with Crc its own
// CRC-32 runs over the output afterwards.
uint32_t LibdeflateInflate(const Bytes& packed, size_t expected, bool withCrc) {
#if BRAMBLE_BENCH_LIBDEFLATE
    static libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    static Bytes out;
    if (out.size() < expected) out.resize(expected);
    size_t got = 0;
    if (libdeflate_deflate_decompress(d, packed.data(), packed.size(), out.data(), expected, &got) !=
            LIBDEFLATE_SUCCESS ||
        got != expected) {
        std::fprintf(stderr, "libdeflate inflate failed\n");
        std::exit(1);
    }
    return withCrc ? libdeflate_crc32(0, out.data(), got) : 0;
#else
    return 0;
#endif
}

void Measure(const char* name, const Bytes& data, int repeats) {
    Bytes packed = RawDeflate(data, Level);
    size_t n = data.size();
    uint32_t want = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data.data(), static_cast<uInt>(n)));
    if (ZlibInflate(packed, n, true) != want || EngineInflate(packed, n, true) != want) {
        std::fprintf(stderr, "%s: CRC mismatch\n", name);
        std::exit(1);
    }
    if (kLibdeflate && LibdeflateInflate(packed, n, true) != want) {
        std::fprintf(stderr, "%s: libdeflate CRC mismatch\n", name);
        std::exit(1);
    }
    double mb = static_cast<double>(n) / 1e6;
    // Interleaved, so a burst of load elsewhere on the machine hits all three
    // decoders alike rather than one of them; each round's own ratios give
    // the spread.
    double zPlain = kNotRun, lPlain = kNotRun, ePlain = kNotRun, zCrc = kNotRun, lCrc = kNotRun, eCrc = kNotRun;
    double eOther = kNotRun;  // ours with the other bit buffer than this build's own
    bench::TRatio plainZ, plainL, crcZ, crcL, crcCost, otherZ;
    const TInflateWord native = InflateNativeWord();
    const TInflateWord other = native == TInflateWord::Wide ? TInflateWord::Narrow : TInflateWord::Wide;
    auto once = [](auto&& f) { return BestSeconds(1, f); };
    for (int i = 0; i < repeats; ++i) {
        double z = once([&] { ZlibInflate(packed, n, false); });
        double l = kLibdeflate ? once([&] { LibdeflateInflate(packed, n, false); }) : 0.0;
        double e = once([&] { EngineInflate(packed, n, false); });
        double zc = once([&] { ZlibInflate(packed, n, true); });
        double lc = kLibdeflate ? once([&] { LibdeflateInflate(packed, n, true); }) : 0.0;
        double ec = once([&] { EngineInflate(packed, n, true); });
        InflateUseWord(other);
        double eo = once([&] { EngineInflate(packed, n, false); });
        InflateUseWord(native);
        plainZ.Add(z, e);
        plainL.Add(l, e);
        crcZ.Add(zc, ec);
        crcL.Add(lc, ec);
        crcCost.Add(ec, e);
        otherZ.Add(z, eo);
        zPlain = std::min(zPlain, z), ePlain = std::min(ePlain, e), eOther = std::min(eOther, eo);
        zCrc = std::min(zCrc, zc), eCrc = std::min(eCrc, ec);
        if (kLibdeflate) lPlain = std::min(lPlain, l), lCrc = std::min(lCrc, lc);
    }
    std::printf("%-7s %8.2f MB -> %7.2f MB packed\n", name, mb, static_cast<double>(packed.size()) / 1e6);
    std::printf("  decode only   zlib %7.1f  libdeflate %7.1f  ours %7.1f MB/s   ours/zlib %s  ours/libdeflate %s\n",
                mb / zPlain, mb / lPlain, mb / ePlain, plainZ.Text().c_str(), plainL.Text().c_str());
    std::printf("  with CRC-32   zlib %7.1f  libdeflate %7.1f  ours %7.1f MB/s   ours/zlib %s  ours/libdeflate %s\n",
                mb / zCrc, mb / lCrc, mb / eCrc, crcZ.Text().c_str(), crcL.Text().c_str());
    std::printf("  ours with CRC-32 / ours decode only: time x%s\n", crcCost.Text().c_str());
    std::printf("  decode only, ours with a %s-bit bit buffer (this build's own: %s-bit): %7.1f MB/s   /zlib %s\n",
                other == TInflateWord::Wide ? "64" : "32", native == TInflateWord::Wide ? "64" : "32", mb / eOther,
                otherZ.Text().c_str());
}

// Many small entries, as an archive of small files holds them: each one
// pays the decoder's setup (its state and buffers) besides the decoding.
// zlib sets up a stream per entry, libdeflate reuses its decompressor.
void MeasureSmall(const Bytes& text, int repeats) {
    constexpr size_t kEntry = 2000, kCount = 1000;
    std::vector<Bytes> packed;
    for (size_t at = 0; packed.size() < kCount && at + kEntry <= text.size(); at += kEntry)
        packed.push_back(RawDeflate(Bytes(text.begin() + at, text.begin() + at + kEntry), Level));
    auto all = [&](uint32_t (*decode)(const Bytes&, size_t, bool)) {
        return BestSeconds(1, [&] {
            for (const Bytes& p : packed) decode(p, kEntry, false);
        });
    };
    bench::TRatio vsZlib, vsLibdeflate;
    double z = kNotRun, l = kNotRun, e = kNotRun;
    for (int i = 0; i < repeats; ++i) {
        double zs = all(ZlibInflate);
        double ls = kLibdeflate ? all(LibdeflateInflate) : 0.0;
        double es = all(EngineInflate);
        vsZlib.Add(zs, es);
        vsLibdeflate.Add(ls, es);
        z = std::min(z, zs), e = std::min(e, es);
        if (kLibdeflate) l = std::min(l, ls);
    }
    double mb = static_cast<double>(packed.size() * kEntry) / 1e6;
    std::printf("small   %zu entries of %zu bytes of the text\n", packed.size(), kEntry);
    std::printf("  decode only   zlib %7.1f  libdeflate %7.1f  ours %7.1f MB/s   ours/zlib %s  ours/libdeflate %s\n",
                mb / z, mb / l, mb / e, vsZlib.Text().c_str(), vsLibdeflate.Text().c_str());
}

// CRC-32 alone over the text, in 32 KB pieces as the decoder hands them
// out: ours as the processor allows, ours kept to the 128-bit fold and to
// the table, and the two anchors.
void MeasureCrc(const Bytes& data, int repeats) {
    auto run = [&](auto&& crc) {
        return BestSeconds(repeats, [&] {
            for (size_t at = 0; at < data.size(); at += 32768) crc(data.data() + at, std::min<size_t>(32768, data.size() - at));
        });
    };
    uint32_t sink = 0;
    double zl = run([&](const uint8_t* p, size_t n) { sink ^= uint32_t(crc32(0, p, uInt(n))); });
#if BRAMBLE_BENCH_LIBDEFLATE
    double ld = run([&](const uint8_t* p, size_t n) { sink ^= libdeflate_crc32(0, p, n); });
#else
    double ld = kNotRun;
#endif
    double ours = run([&](const uint8_t* p, size_t n) { Crc32Block(p, n, sink); });
    Crc32LimitPath(TCrc32Path::Clmul);
    double narrow = run([&](const uint8_t* p, size_t n) { Crc32Block(p, n, sink); });
    Crc32LimitPath(TCrc32Path::Table);
    double table = run([&](const uint8_t* p, size_t n) { Crc32Block(p, n, sink); });
    Crc32LimitPath(TCrc32Path::WideClmul);
    double mb = static_cast<double>(data.size()) / 1e6;
    static const char* const kPathNames[] = {"the table", "128-bit carry-less multiply", "256-bit carry-less multiply"};
    std::printf("crc-32  zlib %7.0f  libdeflate %7.0f  ours %7.0f  ours/128-bit %7.0f  ours/table %7.0f MB/s   "
                "ours/zlib %.2f  ours/libdeflate %.2f  table/zlib %.2f  (ours: %s)\n",
                mb / zl, mb / ld, mb / ours, mb / narrow, mb / table, zl / ours, Ratio(ld, ours), zl / table,
                kPathNames[static_cast<int>(Crc32FastestPath())]);
    if (sink == 0x12345678u) std::printf(" \n");
}

}  // namespace

int main(int argc, char** argv) {
    size_t textMb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
    int repeats = argc > 2 ? std::atoi(argv[2]) : 7;
    if (argc > 3) Level = std::atoi(argv[3]);
    Bytes text = bench::CollectText(textMb * 1000000);
    Bytes binary = bench::BinarySample();
    Bytes both = text;
    both.insert(both.end(), binary.begin(), binary.end());
#if BRAMBLE_BENCH_LIBDEFLATE
    const char* libdeflateVersion = LIBDEFLATE_VERSION_STRING;
#else
    const char* libdeflateVersion = "not installed here (its columns read 0)";
#endif
    std::printf("zlib %s, libdeflate %s; streams of zlib level %d; best of %d runs; ratios are of speed (above 1: ours is faster)\n",
                zlibVersion(), libdeflateVersion, Level, repeats);
    MeasureCrc(text, repeats);
    Measure("text", text, repeats);
    Measure("binary", binary, repeats);
    Measure("both", both, repeats);
    MeasureSmall(text, repeats);
    return 0;
}
