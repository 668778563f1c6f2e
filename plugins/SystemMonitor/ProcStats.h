// Reading CPU and memory use from the kernel's /proc texts. Kept apart from the drawing so the parsing
// can be checked against fixed texts.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace corvane_plugins {

struct CpuTimes {
    uint64_t busy = 0;
    uint64_t total = 0;
};

// The first line of /proc/stat: "cpu  user nice system idle iowait irq softirq steal guest guest_nice",
// in clock ticks since boot. Guest time is already inside user time, so only the first eight count.
inline std::optional<CpuTimes> parseCpuTimes(const std::string& procStat) {
    std::istringstream in(procStat);
    std::string label;
    if (!(in >> label) || label != "cpu")
        return std::nullopt;
    uint64_t field[8] = {};
    for (int i = 0; i < 4; ++i) // user, nice, system and idle are always there
        if (!(in >> field[i]))
            return std::nullopt;
    for (int i = 4; i < 8 && in >> field[i]; ++i) {
    }
    CpuTimes times;
    for (uint64_t value : field)
        times.total += value;
    uint64_t idle = field[3] + field[4]; // waiting for input/output is idle time too
    times.busy = times.total - idle;
    return times;
}

// The share of the time between two readings that the processors were busy, 0 to 1.
inline double cpuLoad(const CpuTimes& before, const CpuTimes& after) {
    if (after.total <= before.total || after.busy < before.busy)
        return 0;
    double load = double(after.busy - before.busy) / double(after.total - before.total);
    return load > 1 ? 1 : load;
}

// The share of memory in use, 0 to 1: what the kernel cannot hand out without swapping
// (1 - MemAvailable / MemTotal) from /proc/meminfo.
inline std::optional<double> parseMemoryUse(const std::string& meminfo) {
    std::istringstream in(meminfo);
    std::string key;
    uint64_t value = 0, total = 0, available = 0;
    bool haveAvailable = false;
    while (in >> key >> value) {
        if (key == "MemTotal:")
            total = value;
        else if (key == "MemAvailable:")
            available = value, haveAvailable = true;
        in.ignore(256, '\n');
    }
    if (total == 0 || !haveAvailable || available > total)
        return std::nullopt;
    return 1.0 - double(available) / double(total);
}

inline std::string readWholeFile(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace corvane_plugins
