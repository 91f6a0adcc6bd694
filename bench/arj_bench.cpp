// The ARJ reader against the peers, in one run: `arj a -m1` (and -m4) packs
// the deflate benchmark's data (C++ headers from /usr/include/c++, the cmake
// binary, and the two together); each archive is then extracted into a
// fresh folder by TUnARJ and by every peer that reads it here (arj itself,
// 7z, unar), each a process of its own started once per run; best of the
// runs; MB/s of unpacked bytes (10^6) and the ratio peer time / our time
// (above 1: we are faster). Every extraction is compared with the input.
//
//   arj_bench [runs] [text-MB]
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

#include "engine/readers/unarj.h"

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

struct Corpus {
    const char* name;
    Bytes data;
};

// Whether Dir holds the corpora as they were.
bool Same(const fs::path& dir, const std::vector<Corpus>& corpora) {
    for (const Corpus& c : corpora)
        if (ReadFile(dir / c.name) != c.data) return false;
    return true;
}

// Our extraction: the entries that passed their CRC.
int OurExtract(const fs::path& archive, const fs::path& out) {
    TUnARJ r;
    r.ProgressHook = nullptr;
    int passed = 0;
    r.OnEnd = [&](TObject*, const std::string&, bool pass) { passed += pass; };
    r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
    r.SetArchiveFile(archive.string());
    r.FileSpec() = {"*.*"};
    r.SetExtractDir(out.string());
    r.SetConfirmOverwrites(false);
    r.Extract();
    return passed;
}

struct Peer {
    const char* name;
    const char* probe;
    std::string (*command)(const fs::path& archive, const fs::path& out);
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const size_t textMB = argc > 2 ? size_t(std::atoi(argv[2])) : 16;
    if (Run("command -v arj") != 0) {
        std::fprintf(stderr, "arj_bench needs arj\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("arj_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<Corpus> corpora = {{"text", TextCorpus(textMB << 20)}, {"binary", ReadFile("/usr/bin/cmake")}, {"both", {}}};
    corpora[2].data = corpora[0].data;
    corpora[2].data.insert(corpora[2].data.end(), corpora[1].data.begin(), corpora[1].data.end());
    int64_t total = 0;
    for (const Corpus& c : corpora) {
        WriteFile(dir / c.name, c.data);
        total += int64_t(c.data.size());
    }

    const Peer peers[] = {
        {"arj", "arj", [](const fs::path& a, const fs::path& o) {
             return "arj x -i -y '" + a.string() + "' '" + o.string() + "/'";
         }},
        {"7z", "7z", [](const fs::path& a, const fs::path& o) {
             return "7z x -y '-o" + o.string() + "' '" + a.string() + "'";
         }},
        {"unar", "unar", [](const fs::path& a, const fs::path& o) {
             return "unar -q -f -D -o '" + o.string() + "' '" + a.string() + "'";
         }},
    };

    bool allOk = true;
    for (const char* method : {"1", "4"}) {
        const fs::path archive = dir / (std::string("m") + method + ".arj");
        if (Run("cd '" + dir.string() + "' && arj a -i -y -m" + method + " '" + archive.string() +
                "' text binary both") != 0) {
            std::fprintf(stderr, "arj failed\n");
            return 2;
        }
        std::printf("extract: arj -m%s archive, %lld bytes unpacked, %lld packed; best of %d runs\n", method,
                    static_cast<long long>(total), static_cast<long long>(fs::file_size(archive)), runs);
        const fs::path out = dir / "out";
        double ours = 1e30;
        bool ok = true;
        for (int i = 0; i < runs; ++i) {
            fs::remove_all(out);
            fs::create_directories(out);
            const auto t0 = Clock::now();
            if (OurExtract(archive, out) != 3) ok = false;
            ours = std::min(ours, Seconds(t0));
            ok = ok && Same(out, corpora);
        }
        std::printf("  %-7s %8.1f MB/s%s\n", "TUnARJ", double(total) / 1e6 / ours, ok ? "" : "  EXTRACTION FAILED");
        allOk = allOk && ok;
        double fastest = 1e30;
        for (const Peer& p : peers) {
            if (Run(std::string("command -v ") + p.probe) != 0) continue;
            double best = 1e30;
            bool peerOk = true;
            for (int i = 0; i < runs; ++i) {
                fs::remove_all(out);
                fs::create_directories(out);
                const auto t0 = Clock::now();
                const int rc = Run(p.command(archive, out));
                best = std::min(best, Seconds(t0));
                peerOk = peerOk && rc == 0 && Same(out, corpora);
            }
            // A peer that cannot read the method is shown, not counted.
            if (peerOk) fastest = std::min(fastest, best);
            std::printf("  %-7s %8.1f MB/s   ratio %.2fx%s\n", p.name, double(total) / 1e6 / best, best / ours,
                        peerOk ? "" : "  (did not extract it)");
        }
        if (fastest < 1e30)
            std::printf("  against the fastest peer: %.2fx\n", fastest / ours);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return allOk ? 0 : 1;
}
