// Updating a large ZIP and writing and extracting a TAR of many small files:
// the engine (through arcdrv, as a process, like the peers) side by side with
// Info-ZIP zip and GNU tar in one run, wall time.
//
//   update_bench [--ours CMD] [--dir DIR] [--rounds N] [--entries N]
//
// CMD runs arcdrv (default: arcdrv beside this program's build, in
// tests/tools); under Wine give "tools/wine-run build/win32/tests/tools/arcdrv.exe".
// DIR is where the archives are made (default /dev/shm, else /tmp). Each
// round starts from a fresh copy of the archive; the copy is not timed. The
// table shows the median of the rounds, their spread (min-max) and ours /
// peer of the medians: below 1 ours is faster. What starting CMD costs by
// itself (arcdrv without arguments: Wine's start-up under Wine) is timed
// too, and a second ratio leaves it out of ours.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string ours;
    std::string dir;
    int rounds = 7;
    int entries = 20000;
};

// Bytes deflate cannot shrink much, so the archive is the size it is meant
// to be (about 9 KB an entry: 183 MB for 20,000).
std::string Noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

void WriteFile(const fs::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs Cmd in Dir with its output discarded; false when it failed.
bool Run(const std::string& dir, const std::string& cmd) {
    const std::string line = "cd " + Quote(dir) + " && " + cmd + " >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

struct Sample {
    std::vector<double> times;
    double Median() const {
        std::vector<double> t = times;
        std::sort(t.begin(), t.end());
        return t.empty() ? 0 : t[t.size() / 2];
    }
    double Min() const { return times.empty() ? 0 : *std::min_element(times.begin(), times.end()); }
    double Max() const { return times.empty() ? 0 : *std::max_element(times.begin(), times.end()); }
};

// Times Cmd after Prepare (untimed) for each round; ours and the peer take
// turns so both see the same state of the machine.
struct Pair {
    Pair(const char* w, const char* p) : what(w), peerName(p) {}
    const char* what;
    const char* peerName;
    Sample ours, peer;
    bool failed = false;
};

double TimeOnce(const std::string& dir, const std::string& cmd, bool& ok) {
    const auto t0 = std::chrono::steady_clock::now();
    ok = Run(dir, cmd) && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Print(const Pair& p, double startup) {
    if (p.failed) {
        std::printf("%-34s a command failed; see it run by hand\n", p.what);
        return;
    }
    const double peer = std::max(p.peer.Median(), 1e-9);
    std::printf("%-34s %8.3f s (%.3f-%.3f)  %-10s %8.3f s (%.3f-%.3f)  %5.2fx  %5.2fx\n", p.what,
                p.ours.Median(), p.ours.Min(), p.ours.Max(), p.peerName, p.peer.Median(), p.peer.Min(),
                p.peer.Max(), p.ours.Median() / peer, std::max(p.ours.Median() - startup, 0.0) / peer);
}

std::string DefaultOurs(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::canonical(fs::path(argv0), ec);
    if (ec) self = fs::path(argv0);
    return (self.parent_path().parent_path() / "tests" / "tools" / "arcdrv").string();
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.ours = DefaultOurs(argv[0]);
    o.dir = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--ours") o.ours = argv[i + 1];
        else if (a == "--dir") o.dir = argv[i + 1];
        else if (a == "--rounds") o.rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--entries") o.entries = std::max(2, std::atoi(argv[i + 1]));
        else {
            std::fprintf(stderr, "usage: update_bench [--ours CMD] [--dir DIR] [--rounds N] [--entries N]\n");
            return 2;
        }
    }
    const fs::path root = fs::path(o.dir) / ("update_bench." + std::to_string(getpid()));
    fs::create_directories(root / "big");
    fs::create_directories(root / "small");
    const std::string dir = root.string();
    std::printf("making %d files of 9 KB and %d of 0.5-3 KB in %s\n", o.entries, o.entries, dir.c_str());
    for (int i = 0; i < o.entries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.bin", i);
        WriteFile(root / "big" / name, Noise(9150, static_cast<uint32_t>(i)));
        WriteFile(root / "small" / name, Noise(512 + static_cast<size_t>(i % 2560), static_cast<uint32_t>(i) + 7u));
    }
    WriteFile(root / "new.bin", Noise(50 * 1024, 99));
    if (!Run(dir, "zip -q -r -1 base.zip big")) {
        std::fprintf(stderr, "zip could not make the archive\n");
        return 1;
    }
    std::printf("base.zip: %.1f MB, %d entries; ours: %s\n\n",
                static_cast<double>(fs::file_size(root / "base.zip")) / 1e6, o.entries, o.ours.c_str());
    char victim[32];
    std::snprintf(victim, sizeof victim, "big/f%05d.bin", o.entries / 2);
    // The engine names entries with '\\' as the program shows them.
    std::string ourVictim = victim;
    std::replace(ourVictim.begin(), ourVictim.end(), '/', '\\');
    // Ours builds its temporary archive beside the archive, as zip does (the
    // system's temporary folder may lie on another volume, which costs a
    // second copy); under Wine the folder of the prefix decides.
    const std::string ours = "TMPDIR=" + Quote(dir) + " " + o.ours;

    Pair add{"add one 50 KB file to the ZIP", "zip"};
    Pair del{"delete one entry of the ZIP", "zip -d"};
    Pair tarc{"TAR of the small files, create", "tar cf"};
    Pair tarx{"TAR of the small files, extract", "tar xf"};
    Sample startup;
    for (int r = 0; r < o.rounds; ++r) {
        bool ok = true;
        // Its usage message and exit status 2: only the start-up is timed.
        startup.times.push_back(TimeOnce(dir, ours, ok));
        // Both start from the same archive each round.
        Run(dir, "cp base.zip ours.zip && cp base.zip peer.zip");
        ok = true;
        add.ours.times.push_back(TimeOnce(dir, ours + " add ours.zip new.bin", ok));
        add.peer.times.push_back(TimeOnce(dir, "zip -q peer.zip new.bin", ok));
        add.failed = add.failed || !ok;

        Run(dir, "cp base.zip ours.zip && cp base.zip peer.zip");
        ok = true;
        del.ours.times.push_back(TimeOnce(dir, ours + " delete ours.zip " + Quote(ourVictim), ok));
        del.peer.times.push_back(TimeOnce(dir, "zip -q -d peer.zip " + Quote(victim), ok));
        del.failed = del.failed || !ok;

        Run(dir, "rm -f ours.tar peer.tar");
        ok = true;
        tarc.ours.times.push_back(TimeOnce(dir, ours + " add ours.tar -k tar -r --dirs start 'small/*'", ok));
        tarc.peer.times.push_back(TimeOnce(dir, "tar cf peer.tar small", ok));
        tarc.failed = tarc.failed || !ok;

        Run(dir, "rm -rf xo xp && mkdir xo xp");
        ok = true;
        tarx.ours.times.push_back(TimeOnce(dir, ours + " extract peer.tar xo", ok));
        tarx.peer.times.push_back(TimeOnce(dir, "tar xf peer.tar -C xp", ok));
        tarx.failed = tarx.failed || !ok;
    }
    // The runs must have done the same work: an equal archive listing.
    const bool sameAdd = Run(dir, "unzip -Z1 ours.zip | sort >o.lst && unzip -Z1 peer.zip | sort >p.lst && cmp -s o.lst p.lst");
    std::printf("start-up of ours alone: %.3f s (%.3f-%.3f)\n", startup.Median(), startup.Min(), startup.Max());
    std::printf("%-34s %-32s %-32s %s\n", "", "ours (median, spread)", "peer",
                "ours / peer, and without the start-up");
    Print(add, startup.Median());
    Print(del, startup.Median());
    Print(tarc, startup.Median());
    Print(tarx, startup.Median());
    if (!sameAdd) std::printf("\nnote: the last ZIPs made by ours and the peer list different entries\n");
    fs::remove_all(root);
    return 0;
}
