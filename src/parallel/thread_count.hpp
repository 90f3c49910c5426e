// How many threads the worker pool starts:
//   1. RAYON_NUM_THREADS, if it parses as an unsigned integer greater than 0;
//   2. else, if RAYON_NUM_THREADS is absent or does not parse, RAYON_RS_NUM_CPUS, likewise;
//      (a RAYON_NUM_THREADS of 0 skips this step)
//   3. else the CPUs this process may run on: its affinity set, limited by a cgroup CPU quota
//      (rounded down, at least 1); 1 if neither can be read.
// The file-system root is a parameter so that tests can feed fake /proc and cgroup trees.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vemo::parallel {

// An unsigned decimal integer (an optional leading '+', nothing else around it), or nothing.
std::optional<std::size_t> parse_unsigned(const char* text);

// CPUs allowed by the cgroup CPU quota of this process (v2 cpu.max or v1 cfs quota and period,
// the tightest along the cgroup's ancestors), or nothing when no quota is set or readable.
std::optional<std::size_t> cgroup_cpu_limit(const std::string& root = "/");

// The rule above, given the two variables (null when absent) and the CPUs available.
std::size_t choose_thread_count(const char* num_threads, const char* num_cpus,
                                std::optional<std::size_t> available_cpus);

// The rule above, on this process's environment, affinity set and cgroups.
std::size_t configured_thread_count();

}  // namespace vemo::parallel
