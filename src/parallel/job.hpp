// One parallel loop handed to the worker pool: a range of chunk indices claimed one at a time
// by every thread that takes part, and the first failure (by chunk index) among them. A job
// belongs to the cancellable call of the thread that made it, if any (cancellation.hpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>

#include "base/cancellation.hpp"
#include "base/function_ref.hpp"

namespace vemo::parallel {

class Job {
public:
    // `participant` is run by each thread that takes part; it claims chunks until none remain
    // and must not throw: it records failures with `record_failure`.
    Job(std::size_t chunk_count, FunctionRef<void(Job&)> participant) noexcept
        : chunk_count_(chunk_count),
          participant_(participant),
          cancellation_(current_cancellation()) {}
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    std::size_t chunk_count() const noexcept { return chunk_count_; }

    // Claims the next chunk. False once every chunk is claimed, or once a chunk has failed:
    // the call's result is lost then, so the remaining chunks are not started.
    bool claim(std::size_t& chunk) noexcept {
        if (failed_.load(std::memory_order_relaxed)) return false;
        chunk = next_.fetch_add(1, std::memory_order_relaxed);
        return chunk < chunk_count_;
    }

    // Keeps the failure of the lowest chunk. Chunks are claimed in increasing order and every
    // claimed chunk runs to its end, so that is the same failure whatever the thread count.
    void record_failure(std::size_t chunk, std::exception_ptr failure) noexcept;

    // Runs the participant on this thread, working for the job's call.
    void participate() noexcept {
        const WorkingFor working_for(cancellation_);
        participant_(*this);
    }

    Cancellation* cancellation() const noexcept { return cancellation_; }

    // Rethrows the recorded failure, if any. Call only once every participant has returned.
    void rethrow_failure() const;

    // Bookkeeping of the pool, guarded by the pool's mutex.
    std::size_t active_participants = 0;
    bool queued = false;

private:
    const std::size_t chunk_count_;
    FunctionRef<void(Job&)> participant_;
    Cancellation* const cancellation_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> failed_{false};
    std::mutex failure_mutex_;
    std::size_t failed_chunk_ = 0;
    std::exception_ptr failure_;
};

}  // namespace vemo::parallel
