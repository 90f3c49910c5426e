#include "parallel/completion_order.hpp"

#include "base/cancellation.hpp"

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
    auto ready = [&] { return finished_[index] || stopped_; };
    if (!polls_here()) {
        changed_.wait(lock, ready);
        return finished_[index];
    }
    const Cancellation& cancellation = *current_cancellation();
    while (!changed_.wait_until(lock, cancellation.next_poll(), ready)) {
        lock.unlock();
        cancellation_point();
        lock.lock();
    }
    return finished_[index];
}

}  // namespace vemo::parallel
