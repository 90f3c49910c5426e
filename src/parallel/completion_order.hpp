// Which items of a parallel loop have finished, for one thread that takes their results in
// index order while the pool goes on with later items.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace vemo::parallel {

class CompletionOrder {
public:
    explicit CompletionOrder(std::size_t count) : finished_(count, false) {}

    // Item `index` is done; its results may be read from now on.
    void finish(std::size_t index);

    // No further item will finish: the loop has failed.
    void stop();

    // Blocks until item `index` is done (true) or the loop has stopped before it (false). The
    // calling thread of a cancellable call polls meanwhile and throws Cancelled once cancelled.
    bool wait_for(std::size_t index);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> finished_;
    bool stopped_ = false;
};

}  // namespace vemo::parallel
