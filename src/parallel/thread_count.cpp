#include "parallel/thread_count.hpp"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace vemo::parallel {
namespace {

std::optional<std::string> read_first_line(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) return std::nullopt;
    return line;
}

std::optional<long long> parse_signed(std::string_view text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Whole CPUs granted by `quota` per `period`; nothing when there is no limit.
std::optional<std::size_t> cpus_from_quota(std::optional<long long> quota,
                                           std::optional<long long> period) {
    if (!quota || !period || *quota <= 0 || *period <= 0) return std::nullopt;
    return std::max<std::size_t>(1, static_cast<std::size_t>(*quota / *period));
}

// cgroup v2: "max 100000" (no limit) or "<quota> <period>".
std::optional<std::size_t> cpu_max_limit(const std::string& dir) {
    const auto line = read_first_line(dir + "/cpu.max");
    if (!line) return std::nullopt;
    std::istringstream fields(*line);
    std::string quota, period;
    if (!(fields >> quota >> period) || quota == "max") return std::nullopt;
    return cpus_from_quota(parse_signed(quota), parse_signed(period));
}

// cgroup v1: cpu.cfs_quota_us is -1 when there is no limit.
std::optional<std::size_t> cfs_limit(const std::string& dir) {
    const auto quota = read_first_line(dir + "/cpu.cfs_quota_us");
    const auto period = read_first_line(dir + "/cpu.cfs_period_us");
    if (!quota || !period) return std::nullopt;
    return cpus_from_quota(parse_signed(*quota), parse_signed(*period));
}

// The tightest limit of `limit_in(dir)` over the cgroup folder `base + path` and its ancestors
// up to `base`: a quota set on a parent binds its children too.
template <class LimitIn>
std::optional<std::size_t> tightest_along(const std::string& base, std::string path,
                                          LimitIn limit_in) {
    std::optional<std::size_t> tightest;
    for (;;) {
        if (const auto limit = limit_in(base + path); limit && (!tightest || *limit < *tightest))
            tightest = limit;
        if (path.empty() || path == "/") break;
        const auto slash = path.rfind('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    return tightest;
}

bool has_controller(std::string_view controllers, std::string_view wanted) {
    while (!controllers.empty()) {
        const auto comma = controllers.find(',');
        if (controllers.substr(0, comma) == wanted) return true;
        if (comma == std::string_view::npos) break;
        controllers.remove_prefix(comma + 1);
    }
    return false;
}

std::optional<std::size_t> affinity_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return std::nullopt;
    const int count = CPU_COUNT(&set);
    return count > 0 ? std::optional<std::size_t>(count) : std::nullopt;
}

}  // namespace

std::optional<std::size_t> parse_unsigned(const char* text) {
    if (text == nullptr) return std::nullopt;
    std::string_view digits(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<std::size_t> cgroup_cpu_limit(const std::string& root) {
    std::ifstream membership(root + "/proc/self/cgroup");
    const std::string mount = root + "/sys/fs/cgroup";
    std::optional<std::size_t> tightest;
    auto keep_tightest = [&](std::optional<std::size_t> limit) {
        if (limit && (!tightest || *limit < *tightest)) tightest = limit;
    };
    // Each line is "<hierarchy id>:<controllers>:<path>"; v2 has the id 0 and no controllers.
    for (std::string line; std::getline(membership, line);) {
        const auto first = line.find(':');
        const auto second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string_view controllers(line.data() + first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty()) {
            keep_tightest(tightest_along(mount, path, cpu_max_limit));
        } else if (has_controller(controllers, "cpu")) {
            for (const char* folder : {"/cpu", "/cpu,cpuacct", "/cpuacct,cpu"})
                keep_tightest(tightest_along(mount + folder, path, cfs_limit));
        }
    }
    return tightest;
}

std::size_t choose_thread_count(const char* num_threads, const char* num_cpus,
                                std::optional<std::size_t> available_cpus) {
    const auto requested = parse_unsigned(num_threads);
    if (requested && *requested > 0) return *requested;
    if (!requested) {
        if (const auto cpus = parse_unsigned(num_cpus); cpus && *cpus > 0) return *cpus;
    }
    return available_cpus.value_or(1);
}

std::size_t configured_thread_count() {
    std::optional<std::size_t> available = affinity_cpus();
    if (const auto quota = cgroup_cpu_limit(); quota && (!available || *quota < *available))
        available = quota;
    return choose_thread_count(std::getenv("RAYON_NUM_THREADS"), std::getenv("RAYON_RS_NUM_CPUS"),
                               available);
}

}  // namespace vemo::parallel
