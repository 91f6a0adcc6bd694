// Listing speed: a ZIP and a TAR of 100,000 entries each, listed through
// TDovex and through the peer tools (unzip -Z1, tar tf) as processes, wall
// time side by side. The archives are made with python3 in a temporary
// folder at run time. Peak memory is shown before and after the listings to
// show that it stays flat.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "engine/lister/dovex.h"

using namespace bramble;

namespace {

constexpr int kEntries = 100000;
constexpr int kRounds = 5;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Best wall time of kRounds runs.
template <typename F>
double Best(F&& f) {
    double best = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, Seconds(std::chrono::steady_clock::now() - t0));
    }
    return best;
}

long PeakKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

bool Make(const std::string& dir) {
    const std::string script = dir + "/make.py";
    std::ofstream(script) << "import sys, tarfile, zipfile, io\n"
                             "d, n = sys.argv[1], int(sys.argv[2])\n"
                             "names = ['dir%03d/file%06d.txt' % (i % 500, i) for i in range(n)]\n"
                             "data = b'listing bench\\n'\n"
                             "with zipfile.ZipFile(d + '/bench.zip', 'w', zipfile.ZIP_STORED) as z:\n"
                             "    for name in names:\n"
                             "        z.writestr(zipfile.ZipInfo(name, (2001, 2, 3, 4, 5, 6)), data)\n"
                             "with tarfile.open(d + '/bench.tar', 'w', format=tarfile.USTAR_FORMAT) as t:\n"
                             "    for name in names:\n"
                             "        info = tarfile.TarInfo(name)\n"
                             "        info.size = len(data)\n"
                             "        info.mtime = 981173106\n"
                             "        t.addfile(info, io.BytesIO(data))\n";
    const std::string cmd = "python3 " + script + " " + dir + " " + std::to_string(kEntries);
    return std::system(cmd.c_str()) == 0;
}

int ListCount(const std::string& archive) {
    TDovex d;
    d.SetArchiveFile(archive);
    d.SetFileSpec({"*.*"});
    int count = 0;
    int64_t bytes = 0;
    d.OnRead = [&](TObject*, int, int) {
        ++count;
        bytes += static_cast<int64_t>(d.EntryInfo.FileName.size()) + d.EntryInfo.UnpackedSize;
    };
    d.ReadArchive();
    return bytes > 0 ? count : 0;
}

void Compare(const char* label, const std::string& archive, const std::string& peer) {
    int listed = 0;
    const double ours = Best([&] { listed = ListCount(archive); });
    const std::string cmd = peer + " '" + archive + "' > /dev/null";
    int rc = 0;
    const double theirs = Best([&] { rc = std::system(cmd.c_str()); });
    std::printf("%-4s %6d entries   TDovex %8.1f ms   %-10s %8.1f ms   ratio %.2f%s\n", label, listed,
                ours * 1000, peer.c_str(), theirs * 1000, ours / theirs, rc == 0 ? "" : "   (peer failed)");
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/bramble-listbench.XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) return 1;
    std::printf("making a ZIP and a TAR of %d entries in %s ...\n", kEntries, dir);
    if (!Make(dir)) {
        std::fprintf(stderr, "python3 failed\n");
        return 1;
    }
    const long before = PeakKb();
    Compare("ZIP", std::string(dir) + "/bench.zip", "unzip -Z1");
    Compare("TAR", std::string(dir) + "/bench.tar", "tar tf");
    std::printf("peak memory: %ld KB before listing, %ld KB after\n", before, PeakKb());
    std::system((std::string("rm -rf '") + dir + "'").c_str());
    return 0;
}
