// The LHA reader and the -lh5- encoder against the peers, in one run, on the
// deflate benchmark's data (C++ headers from /usr/include/c++, the cmake
// binary, and the two together):
//   decode  one -lh5- archive of the three made by `jlha ao5`, tested by
//           TUnLHA and by `lhasa t` (a process of its own, started once per
//           run); best of the runs; MB/s of unpacked bytes (10^6) and the
//           ratio lhasa time / our time (above 1: we are faster).
//   encode  LzhEncode of each file against what `jlha ao5` packed it to, in
//           bytes and as a difference; our encoder's speed beside it. Each
//           of our streams is decoded again and compared with its input.
//
//   lha_bench [runs] [text-MB]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/codecs/lh5encode.h"
#include "engine/codecs/lzhdecode.h"
#include "engine/core/crc.h"
#include "engine/core/zipcommon.h"
#include "engine/formats/lha.h"
#include "engine/readers/unlha.h"

using namespace bramble;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

Bytes ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const fs::path& p, const Bytes& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

Bytes TextCorpus(size_t limit) {
    std::vector<fs::path> files;
    for (auto& e : fs::recursive_directory_iterator("/usr/include/c++"))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    Bytes all;
    for (auto& p : files) {
        Bytes b = ReadFile(p);
        all.insert(all.end(), b.begin(), b.end());
        if (all.size() >= limit) break;
    }
    all.resize(std::min(all.size(), limit));
    return all;
}

// Exit status of a shell command, its output thrown away.
int Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The entries of an LHA archive by name.
std::vector<lha::THeader> Entries(const fs::path& archive) {
    const Bytes b = ReadFile(archive);
    std::vector<lha::THeader> out;
    lha::THeader h;
    int64_t at = 0;
    while (lha::ParseHeader(b.data(), b.size(), at, h) == lha::TParse::Ok) {
        out.push_back(h);
        at = h.Next;
    }
    return out;
}

// Our test of the archive: the entries that passed their CRC.
int OurTest(const fs::path& archive) {
    TUnLHA r;
    r.ProgressHook = nullptr;
    int passed = 0;
    r.OnEnd = [&](TObject*, const std::string&, bool pass) { passed += pass; };
    r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    r.SetArchiveFile(archive.string());
    r.FileSpec() = {"*.*"};
    r.Test();
    return passed;
}

struct Encoded {
    int64_t size = 0;
    double mbps = 0;
    bool ok = true;
};

Encoded OurEncode(const Bytes& in, int runs) {
    Encoded r;
    TMemoryStream packed;
    double best = 1e30;
    uint16_t crc = 0;
    Crc16Block(in.data(), in.size(), crc);
    for (int i = 0; i < runs; ++i) {
        TZipCommon c;
        c.ProgressHook = nullptr;
        c.InputSource = isMemory;
        c.MemoryBlock = in.data();
        c.MemoryLeft = int64_t(in.size());
        c.OutputTarget = otCallerStream;
        c.StreamB = &packed;
        c.Crc = 0;
        packed.Clear();
        bool incompressible = false;
        const auto t0 = Clock::now();
        r.size = LzhEncode(c, nullptr, nullptr, int64_t(in.size()), incompressible);
        best = std::min(best, Seconds(t0));
        if (incompressible || c.Crc != crc || r.size != packed.Size()) r.ok = false;
    }
    r.mbps = double(in.size()) / 1e6 / best;

    TZipCommon d;
    TMemoryStream back;
    d.ProgressHook = nullptr;
    d.InputSource = isMemory;
    d.MemoryBlock = packed.Data().data();
    d.MemoryLeft = packed.Size();
    d.OutputTarget = otCallerStream;
    d.StreamB = &back;
    d.Crc = 0;
    if (!LzhDecode(d, lzh::kLh5, nullptr, nullptr, packed.Size(), int64_t(in.size())) || back.Data() != in)
        r.ok = false;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const size_t textMB = argc > 2 ? size_t(std::atoi(argv[2])) : 16;
    if (Run("command -v jlha") != 0 || Run("command -v lhasa") != 0) {
        std::fprintf(stderr, "lha_bench needs jlha (jlha-utils) and lhasa\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("lha_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Corpus {
        const char* name;
        Bytes data;
    } corpora[] = {{"text", TextCorpus(textMB << 20)}, {"binary", ReadFile("/usr/bin/cmake")}, {"both", {}}};
    corpora[2].data = corpora[0].data;
    corpora[2].data.insert(corpora[2].data.end(), corpora[1].data.begin(), corpora[1].data.end());
    int64_t total = 0;
    for (const Corpus& c : corpora) {
        WriteFile(dir / c.name, c.data);
        total += int64_t(c.data.size());
    }
    const fs::path archive = dir / "o5.lzh";
    if (Run("cd '" + dir.string() + "' && jlha ao5 o5.lzh text binary both") != 0) {
        std::fprintf(stderr, "jlha failed\n");
        return 2;
    }
    const auto entries = Entries(archive);
    bool allOk = entries.size() == 3;

    // ---- decode ----
    double ours = 1e30, peer = 1e30;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        if (OurTest(archive) != 3) allOk = false;
        ours = std::min(ours, Seconds(t0));
        t0 = Clock::now();
        if (Run("lhasa t '" + archive.string() + "'") != 0) allOk = false;
        peer = std::min(peer, Seconds(t0));
    }
    std::printf("decode: jlha -o5 archive, %lld bytes unpacked, %lld packed; best of %d runs (test, no output)\n",
                static_cast<long long>(total), static_cast<long long>(fs::file_size(archive)), runs);
    std::printf("  TUnLHA %8.1f MB/s   lhasa %8.1f MB/s   ratio %.2fx%s\n", double(total) / 1e6 / ours,
                double(total) / 1e6 / peer, peer / ours, allOk ? "" : "  TEST FAILED");

    // ---- encode ----
    std::printf("encode: -lh5- packed bytes, ours against jlha -o5\n");
    std::printf("%-7s %10s %10s %10s %8s %10s\n", "data", "bytes", "ours", "jlha", "size+%", "ours MB/s");
    for (const Corpus& c : corpora) {
        const Encoded e = OurEncode(c.data, runs);
        int64_t jlha = -1;
        for (const auto& h : entries)
            if (h.Name == c.name) jlha = h.PackedSize;
        std::printf("%-7s %10zu %10lld %10lld %+8.2f %10.1f%s\n", c.name, c.data.size(),
                    static_cast<long long>(e.size), static_cast<long long>(jlha),
                    100.0 * (double(e.size) / double(jlha) - 1), e.mbps, e.ok ? "" : "  ROUND TRIP FAILED");
        allOk = allOk && e.ok && jlha > 0;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return allOk ? 0 : 1;
}
