#pragma once

// Paired measurements for the benchmarks: the two sides run alternately in one process,
// so that a noisy, shared machine slows both alike, and the ratio of each pair is kept.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace Bench {

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
    Spread s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

// "label: median 1.23 (min 1.10, max 1.50), target at most 2.00"
inline void PrintRatio(const char* label, const std::vector<double>& ratios, double target) {
    const Spread s = SpreadOf(ratios);
    std::printf("%s: median %.2f (min %.2f, max %.2f) over %zu pairs, target at most %.2f%s\n", label,
                s.median, s.min, s.max, ratios.size(), target,
                s.median <= target ? "" : "  ** above target **");
    std::fflush(stdout);
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"); 0 when it cannot be read.
inline long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::stol(line.substr(prefix.size()));
    return 0;
}

// Sets the peak resident size back to the current one, so that the next VmHWM is the
// peak of what follows.
inline void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A folder on a RAM file system when there is one, so that no disk's sync time enters
// the figures.
inline std::string RamFolder() {
    return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

} // namespace Bench
