#include "parallel/pool.hpp"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "parallel/thread_count.hpp"

namespace vemo::parallel {
namespace {

class Pool {
public:
    explicit Pool(std::size_t size) : size_(size) {
        for (std::size_t i = 0; i < size; ++i) std::thread([this, i] { work(i); }).detach();
    }

    std::size_t size() const noexcept { return size_; }

    bool on_a_worker() const noexcept { return current_pool == this; }

    // Whether `job` could keep no more than one thread busy: one chunk, or a pool of one.
    bool one_thread_suffices(const Job& job) const noexcept {
        return job.chunk_count() <= 1 || size_ == 1;
    }

    void run(Job& job) {
        std::unique_lock lock(mutex_);
        if (!on_a_worker() && one_thread_suffices(job) && computing_ < size_) {
            run_here(lock, job);
            return;
        }
        submit(lock, job);
        if (on_a_worker()) {
            // A worker waiting on nested work runs it itself and then helps with whatever
            // is pending, so the pool never waits on itself.
            participate(lock, job);
            while (!complete(job)) {
                if (queue_.empty())
                    wait_for_change(lock);
                else
                    participate(lock, *queue_.front());
            }
        } else {
            wait(lock, job);
        }
    }

    // For a thread outside the pool: hands `job` over, runs alongside() meanwhile, then waits
    // for the job, even when alongside() throws, since the job writes into the caller's memory.
    // Returns alongside's failure, if any.
    std::exception_ptr run_alongside(Job& job, FunctionRef<void()> alongside) {
        {
            std::unique_lock lock(mutex_);
            submit(lock, job);
        }
        std::exception_ptr alongside_failure;
        try {
            alongside();
        } catch (...) {
            alongside_failure = std::current_exception();
            // The call's results are lost: its chunks still to come need not run.
            if (Cancellation* cancellation = job.cancellation()) cancellation->request();
        }
        std::unique_lock lock(mutex_);
        wait(lock, job);
        return alongside_failure;
    }

private:
    // Runs `job` on this thread outside the pool, in place of an idle pool thread: the job
    // could use only one thread, and handing it over would cost two thread switches and move
    // it away from the caller's cache. It counts against the pool's size like a pool thread,
    // and as one it runs any loop it starts itself. Called and returns locked.
    void run_here(std::unique_lock<std::mutex>& lock, Job& job) {
        ++computing_;
        current_pool = this;
        lock.unlock();
        job.participate();
        lock.lock();
        current_pool = nullptr;
        --computing_;
        // A pool thread may be waiting for the turn this thread took.
        if (!queue_.empty()) changed_.notify_all();
    }

    void submit(std::unique_lock<std::mutex>&, Job& job) {
        queue_.push_back(&job);
        job.queued = true;
        changed_.notify_all();
    }

    void wait(std::unique_lock<std::mutex>& lock, const Job& job) {
        while (!complete(job)) wait_for_change(lock);
    }

    // Waits for the pool's state to change. The calling thread of a cancellable call also wakes
    // when its poll is due and asks it, with the mutex released: the poll may block.
    void wait_for_change(std::unique_lock<std::mutex>& lock) {
        if (!polls_here()) {
            changed_.wait(lock);
            return;
        }
        Cancellation& cancellation = *current_cancellation();
        if (changed_.wait_until(lock, cancellation.next_poll()) == std::cv_status::timeout) {
            lock.unlock();
            cancellation.poll_if_due();
            lock.lock();
        }
    }

    static bool complete(const Job& job) noexcept {
        return !job.queued && job.active_participants == 0;
    }

    // Runs `job` on this thread until its chunks are all claimed. Called and returns locked.
    void participate(std::unique_lock<std::mutex>& lock, Job& job) {
        ++job.active_participants;
        lock.unlock();
        job.participate();
        lock.lock();
        --job.active_participants;
        // Every chunk is claimed now, so nobody new needs to join.
        if (job.queued) {
            queue_.erase(std::find(queue_.begin(), queue_.end(), &job));
            job.queued = false;
        }
        if (complete(job)) changed_.notify_all();
    }

    void work(std::size_t index) {
        current_pool = this;
        const std::string name = "vemo-worker-" + std::to_string(index);
        pthread_setname_np(pthread_self(), name.c_str());
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !queue_.empty() && computing_ < size_; });
            ++computing_;
            participate(lock, *queue_.front());
            --computing_;
        }
    }

    static thread_local Pool* current_pool;

    const std::size_t size_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job*> queue_;
    // Threads working for the pool, its own and callers running a job in place of one: never
    // more than size_, so the pool's size bounds the CPUs its loops use, whoever calls.
    std::size_t computing_ = 0;
};

thread_local Pool* Pool::current_pool = nullptr;

// The pool is never destroyed: its threads may still be parked when the process exits. A forked
// child has none of its threads, so it drops the parent's pool and starts its own on first use.
std::mutex instance_mutex;
Pool* instance = nullptr;

void lock_instance() { instance_mutex.lock(); }
void unlock_instance() { instance_mutex.unlock(); }
void forget_instance_in_child() {
    instance = nullptr;  // leaked on purpose: its threads do not exist in the child
    instance_mutex.unlock();
}

Pool& process_pool() {
    std::lock_guard lock(instance_mutex);
    if (instance == nullptr) {
        static const bool fork_handlers_installed =
            pthread_atfork(lock_instance, unlock_instance, forget_instance_in_child) == 0;
        (void)fork_handlers_installed;
        instance = new Pool(configured_thread_count());
    }
    return *instance;
}

}  // namespace

std::size_t pool_size() { return process_pool().size(); }

void run(Job& job) {
    if (job.chunk_count() == 0) return;
    process_pool().run(job);
    job.rethrow_failure();
}

void run_alongside(Job& job, FunctionRef<void()> alongside) {
    Pool& pool = process_pool();
    if (pool.one_thread_suffices(job) || pool.on_a_worker()) {
        run(job);
        alongside();
        return;
    }
    const std::exception_ptr alongside_failure = pool.run_alongside(job, alongside);
    try {
        job.rethrow_failure();
    } catch (const Cancelled&) {
        if (!alongside_failure) throw;
    }
    if (alongside_failure) std::rethrow_exception(alongside_failure);
}

void for_each_chunk(std::size_t count, std::size_t grain,
                    FunctionRef<void(std::size_t, std::size_t)> body) {
    if (grain == 0) grain = 1;
    const std::size_t chunks = count / grain + (count % grain != 0);
    auto participant = [&](Job& job) {
        std::size_t chunk = 0;
        while (job.claim(chunk)) {
            const std::size_t begin = chunk * grain;
            try {
                cancellation_point();
                body(begin, std::min(count, begin + grain));
            } catch (...) {
                job.record_failure(chunk, std::current_exception());
            }
        }
    };
    Job job(chunks, participant);
    run(job);
}

}  // namespace vemo::parallel
