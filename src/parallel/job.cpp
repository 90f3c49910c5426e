#include "parallel/job.hpp"

namespace vemo::parallel {

void Job::record_failure(std::size_t chunk, std::exception_ptr failure) noexcept {
    std::lock_guard lock(failure_mutex_);
    if (!failure_ || chunk < failed_chunk_) {
        failure_ = std::move(failure);
        failed_chunk_ = chunk;
    }
    failed_.store(true, std::memory_order_relaxed);
}

void Job::rethrow_failure() const {
    if (failure_) std::rethrow_exception(failure_);
}

}  // namespace vemo::parallel
