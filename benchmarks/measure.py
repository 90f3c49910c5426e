"""Timing, resident memory and the fresh process per configuration that the benchmarks run in."""

import ctypes
import gc
import json
import os
import resource
import statistics
import subprocess
import sys
import time
from pathlib import Path


# A pause before each timed call. The peer's OpenMP threads spin for a few milliseconds after
# its parallel loops, on the CPUs the next call needs: measured at 10^4 arcs with 2 threads, a
# vemo call right after the peer took 12% longer; 5 ms of pause removed the difference.
SETTLE_SECONDS = 0.02


def round_times(repeats, calls):
    """The times of each named call of `calls`, running them in turn, round after round, so
    that a ratio of two of them compares runs that saw the same load from the rest of the
    machine. Every other round runs the calls in reverse order, so that no call always comes
    right after the same one (after a call that freed much memory, say) and a drift in the
    machine's speed within a round favours neither of two calls. The collector is off while
    timing, so that no run pays for another's garbage, and a call's result is freed outside its
    time; each call starts after a pause (SETTLE_SECONDS), so that none runs beside threads of
    the one before."""
    times = {name: [] for name in calls}
    forward = list(calls.items())
    gc.collect()
    gc.disable()
    try:
        for round_number in range(repeats):
            for name, call in forward if round_number % 2 == 0 else reversed(forward):
                time.sleep(SETTLE_SECONDS)
                start = time.perf_counter()
                result = call()
                times[name].append(time.perf_counter() - start)
                del result
    finally:
        gc.enable()
    return times


def best_times(repeats, calls):
    """The best time of each named call over the rounds of round_times: the run least
    disturbed."""
    return {name: min(times) for name, times in round_times(repeats, calls).items()}


def median_ratio(times, name, over):
    """The median over the rounds of round_times of one call's time over another's in the same
    round: steadier than a ratio of best times where one run in a few is disturbed."""
    return statistics.median(a / b for a, b in zip(times[name], times[over]))


def resident_bytes():
    """The process's resident set now."""
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def reset_peak_resident():
    """Lower the kernel's peak resident set mark to the resident set now, so that the next
    peak read belongs to what runs after this point and not to building the inputs."""
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")


def peak_resident_bytes():
    """The peak resident set since the last reset (ru_maxrss is in KiB on Linux)."""
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024


def release_freed_memory():
    """Collects garbage and hands what the C allocator keeps of freed memory back to the system
    (glibc's malloc_trim), so that a call measured next cannot reuse pages that the resident set
    before it already counts, and look smaller than it is."""
    gc.collect()
    libc = ctypes.CDLL(None)
    if hasattr(libc, "malloc_trim"):
        libc.malloc_trim(0)


def extra_peak_bytes(call, result_bytes):
    """Peak resident memory of one `call()` above what the process held before it and what its
    results hold after it: the call's own working memory. The results are returned so that
    they stay alive while they are measured."""
    gc.collect()
    before = resident_bytes()
    reset_peak_resident()
    results = call()
    peak = peak_resident_bytes()
    return peak - before - result_bytes(results), results


def in_fresh_process(script, args, threads):
    """Run `script` with `args` in a new interpreter whose worker pool has `threads` threads
    (the pool's size is fixed at its first use, so every thread count needs its own process)
    and return the JSON object it prints last on standard output."""
    # NumPy's OpenBLAS threads otherwise wait spinning on the CPUs the measured calls use.
    env = dict(os.environ, RAYON_NUM_THREADS=str(threads), OPENBLAS_NUM_THREADS="1")
    done = subprocess.run([sys.executable, str(Path(__file__).with_name(script)), *args],
                          env=env, stdout=subprocess.PIPE, text=True, check=True)
    return json.loads(done.stdout.strip().splitlines()[-1])


def build_identity(module):
    """An extension module's file and modification time: tells whether every process of a run
    measured the same build, on a machine where others may reinstall it meanwhile."""
    return f"{module.__file__} {os.stat(module.__file__).st_mtime_ns}"


def available_cpus():
    return len(os.sched_getaffinity(0))
