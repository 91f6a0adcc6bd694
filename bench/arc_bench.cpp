// The ARC reader against the peers, in one run: a crunched archive that
// Debian's arc makes here of several megabytes (C++ headers from
// /usr/include/c++ and the cmake binary, as the other benchmarks use),
// extracted by TUnARC, by `nomarch` and by `unar` (each a process of its
// own, started once per run), every one into a fresh folder; best of the
// runs; MB/s of unpacked bytes (10^6) and the ratio of each peer's time to
// ours (above 1: we are faster). The output of each is compared with the
// input files.
//
//   arc_bench [runs] [text-MB]
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

#include "engine/formats/arc.h"
#include "engine/readers/unarc.h"

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

int Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

int OurExtract(const fs::path& archive, const fs::path& dir) {
    TUnARC r;
    r.ProgressHook = nullptr;
    int passed = 0;
    r.OnEnd = [&](TObject*, const std::string&, bool pass) { passed += pass; };
    r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    r.SetArchiveFile(archive.string());
    r.FileSpec() = {"*.*"};
    r.SetExtractDir(dir.string());
    r.SetConfirmOverwrites(false);
    r.Extract();
    return passed;
}

struct Corpus {
    const char* name;
    Bytes data;
};

// The extracted files, found under any case the tool gave their names.
bool Same(const fs::path& dir, const std::vector<Corpus>& corpora) {
    for (const Corpus& c : corpora) {
        bool found = false;
        for (const auto& e : fs::directory_iterator(dir)) {
            std::string n = e.path().filename().string();
            for (char& ch : n) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (n == c.name) found = ReadFile(e.path()) == c.data;
        }
        if (!found) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const size_t textMB = argc > 2 ? size_t(std::atoi(argv[2])) : 8;
    if (Run("command -v arc") != 0 || Run("command -v nomarch") != 0 || Run("command -v unar") != 0) {
        std::fprintf(stderr, "arc_bench needs arc, nomarch and unar\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("arc_bench_" + std::to_string(getpid()));
    fs::create_directories(dir / "src");
    std::vector<Corpus> corpora = {{"text", TextCorpus(textMB << 20)}, {"binary", ReadFile("/usr/bin/cmake")}};
    int64_t total = 0;
    for (const Corpus& c : corpora) {
        WriteFile(dir / "src" / c.name, c.data);
        total += int64_t(c.data.size());
    }
    const fs::path archive = dir / "made.arc";
    if (Run("cd '" + (dir / "src").string() + "' && arc a '" + archive.string() + "' text binary") != 0) {
        std::fprintf(stderr, "arc failed\n");
        return 2;
    }
    // What arc chose for each file.
    std::string methods;
    {
        const Bytes b = ReadFile(archive);
        arc::THeader h;
        for (int64_t at = 0; arc::ParseHeader(b.data() + at, b.size() - size_t(at), at, h) == arc::TParse::Ok;
             at = h.Next())
            methods += h.Name + ":" + std::to_string(h.Method) + " ";
    }

    std::string failed;
    int peerFailures = 0;
    double ours = 1e30, nomarch = 1e30, unar = 1e30;
    for (int i = 0; i < runs; ++i) {
        const fs::path o = dir / ("ours" + std::to_string(i)), n = dir / ("nomarch" + std::to_string(i)),
                       u = dir / ("unar" + std::to_string(i));
        fs::create_directories(n);
        auto t0 = Clock::now();
        if (OurExtract(archive, o) != int(corpora.size())) failed += "TUnARC ";
        ours = std::min(ours, Seconds(t0));
        if (!Same(o, corpora)) failed += "TUnARC-output ";
        // A peer run that fails (this machine's unar now and then crashes
        // on large archives) is counted, not timed.
        t0 = Clock::now();
        if (Run("cd '" + n.string() + "' && nomarch '" + archive.string() + "'") == 0 && Same(n, corpora))
            nomarch = std::min(nomarch, Seconds(t0));
        else
            ++peerFailures;
        // unar is tried up to three times for a run that counts.
        for (int attempt = 0; attempt < 3; ++attempt) {
            fs::remove_all(u);
            t0 = Clock::now();
            if (Run("unar -q -D -o '" + u.string() + "' '" + archive.string() + "'") == 0 && Same(u, corpora)) {
                unar = std::min(unar, Seconds(t0));
                break;
            }
            ++peerFailures;
        }
        for (const fs::path& p : {o, n, u}) fs::remove_all(p);
    }
    const double mb = double(total) / 1e6;
    std::printf("extract: arc archive (%s), %lld bytes unpacked, %lld packed; best of %d runs\n", methods.c_str(),
                static_cast<long long>(total), static_cast<long long>(fs::file_size(archive)), runs);
    auto peer = [&](const char* name, double t) {
        if (t >= 1e29)
            std::printf("   %s: every run failed", name);
        else
            std::printf("   %s %8.1f MB/s (ratio %.2fx)", name, mb / t, t / ours);
    };
    std::printf("  TUnARC %8.1f MB/s", mb / ours);
    peer("nomarch", nomarch);
    peer("unar", unar);
    std::printf("%s\n", failed.empty() ? "" : ("  FAILED: " + failed).c_str());
    if (peerFailures) std::printf("  (%d peer runs failed and were not timed)\n", peerFailures);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return failed.empty() ? 0 : 1;
}
