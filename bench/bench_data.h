// What the codec benchmarks share: their data sets, their clock and their
// ratios. The Windows builds run under Wine, where the Linux tree is drive
// Z:, so they read the very files the native builds read. libdeflate is an
// anchor only where it is installed for the compiler (Debian packages it
// for Linux, not for mingw-w64): BRAMBLE_BENCH_LIBDEFLATE says whether it
// is there.
#pragma once

#if __has_include(<libdeflate.h>)
#include <libdeflate.h>
#define BRAMBLE_BENCH_LIBDEFLATE 1
#else
#define BRAMBLE_BENCH_LIBDEFLATE 0
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

#ifdef _WIN32
inline const char* const kTextRoot = "Z:/usr/include/c++";
inline const char* const kBinaryFile = "Z:/usr/bin/cmake";
#else
inline const char* const kTextRoot = "/usr/include/c++";
inline const char* const kBinaryFile = "/usr/bin/cmake";
#endif

inline Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

// C++ headers in name order, concatenated up to Limit bytes.
inline Bytes CollectText(size_t limit) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(
             kTextRoot, std::filesystem::directory_options::skip_permission_denied)) {
        if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    Bytes text;
    for (const auto& p : files) {
        Bytes b = ReadFile(p);
        text.insert(text.end(), b.begin(), b.end());
        if (text.size() >= limit) break;
    }
    if (text.size() > limit) text.resize(limit);
    return text;
}

inline Bytes BinarySample() { return ReadFile(kBinaryFile); }

// On Linux the calling thread's processor time: on a shared machine, time
// spent waiting for a processor does not count against whichever coder ran.
// Wine's thread times move in scheduler ticks, far too coarse for one run,
// so the Windows builds take the performance counter's wall time.
inline double ThreadSeconds() {
#ifdef _WIN32
    static const double tick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * tick;
#else
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

// A speed ratio, ours against an anchor, with its run-to-run spread. The
// ratio is of the best times; each round, in which both coders ran back to
// back, also gives a ratio of its own, and the lowest and highest of those
// show how far one round's reading strays: under Wine, where the counter's
// wall time takes in whatever else the machine does, a best-of ratio alone
// can mislead.
class TRatio {
public:
    // One round's times (seconds; 0 or less: the anchor did not run).
    void Add(double anchorSeconds, double oursSeconds) {
        if (anchorSeconds <= 0 || oursSeconds <= 0) return;
        bestAnchor_ = std::min(bestAnchor_, anchorSeconds);
        bestOurs_ = std::min(bestOurs_, oursSeconds);
        double r = anchorSeconds / oursSeconds;
        low_ = std::min(low_, r);
        high_ = std::max(high_, r);
    }
    bool Empty() const { return high_ == 0; }
    // Above 1: ours is faster. 0 when the anchor never ran.
    double Best() const { return Empty() ? 0.0 : bestAnchor_ / bestOurs_; }
    // "2.20 (2.05-2.31)": the best-of ratio, then the rounds' range.
    std::string Text() const {
        char buf[48];
        if (Empty())
            std::snprintf(buf, sizeof buf, "0");
        else
            std::snprintf(buf, sizeof buf, "%.2f (%.2f-%.2f)", Best(), low_, high_);
        return buf;
    }

private:
    double bestAnchor_ = 1e30;
    double bestOurs_ = 1e30;
    double low_ = 1e30;
    double high_ = 0;
};

}  // namespace bench
