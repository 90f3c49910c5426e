#include "parallel/completion_order.hpp"

namespace vemo::parallel {

void CompletionOrder::finish(std::size_t index) {
    {
        std::lock_guard lock(mutex_);
        finished_[index] = true;
    }
    changed_.notify_all();
}

void CompletionOrder::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

bool CompletionOrder::wait_for(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_[index] || stopped_; });
    return finished_[index];
}

}  // namespace vemo::parallel
