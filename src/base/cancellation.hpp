// Cancelling a running call from the thread that started it.
//
// A caller that wants to be interruptible opens a CancellableCall around its computation, with
// a poll: a function that says whether to stop (the Python layer runs the interpreter's pending
// signal handlers there). The poll is asked on the calling thread only, at short intervals,
// while that thread waits for the pool or computes itself. Once it answers true, every loop of
// the call stops: each thread working on it throws Cancelled at its next cancellation point
// (before each item or chunk, and every few thousand steps of a long search), the call waits
// until none of them is still running, and Cancelled leaves the call on the calling thread.
//
// Threads inherit the call from the loops they work on, so nested loops and pool threads see
// it too. Without a CancellableCall nothing is ever cancelled and nothing is polled.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>

#include "base/function_ref.hpp"

namespace vemo {

// Exported, with what() out of line, as InternalFailure is (failure.hpp).
class [[gnu::visibility("default")]] Cancelled : public std::exception {
public:
    const char* what() const noexcept override;
};

// The state one call shares between its calling thread and the threads working for it.
class Cancellation {
public:
    using Poll = FunctionRef<bool()>;
    using Clock = std::chrono::steady_clock;

    // How long the calling thread goes without asking the poll, at most (give or take one
    // cancellation point's distance). Short enough that Ctrl-C feels immediate; long enough
    // that a poll which must wait for a busy interpreter lock (up to its 5 ms switch interval)
    // costs a computing caller little.
    static constexpr Clock::duration kPollInterval = std::chrono::milliseconds(50);

    explicit Cancellation(Poll poll) noexcept : poll_(poll), next_poll_(Clock::now()) {}
    Cancellation(const Cancellation&) = delete;
    Cancellation& operator=(const Cancellation&) = delete;

    // Whether the call's work is to stop: the poll said so, or the calling thread gave up.
    bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }
    void request() noexcept { requested_.store(true, std::memory_order_relaxed); }

    // Whether the poll said to stop. Read on the calling thread only.
    bool interrupted() const noexcept { return interrupted_; }

    // When the calling thread should next ask the poll.
    Clock::time_point next_poll() const noexcept { return next_poll_; }

    // On the calling thread: asks the poll if its time has come; a true answer cancels. The poll
    // must not throw.
    void poll_if_due();

private:
    std::atomic<bool> requested_{false};
    bool interrupted_ = false;
    Poll poll_;
    Clock::time_point next_poll_;
};

namespace detail {

// The call this thread works for, and whether it is that call's calling thread.
struct CurrentCall {
    Cancellation* cancellation = nullptr;
    bool polls = false;
};
// Defined in the core library, so that the modules and the pool's threads share it.
extern constinit thread_local CurrentCall current_call;

}  // namespace detail

// The cancellation of the call this thread works for, or null.
inline Cancellation* current_cancellation() noexcept { return detail::current_call.cancellation; }

// Whether this thread is the calling thread of a cancellable call, the one that polls.
inline bool polls_here() noexcept { return detail::current_call.polls; }

// Throws Cancelled if this thread's call is cancelled; on the calling thread, polls first when
// the poll is due. Costs a thread-local read when there is no cancellable call. Out of line, so
// that a hot loop calling it now and then keeps its registers.
[[gnu::cold]] void cancellation_point();

// Makes this thread the calling thread of a cancellable call for its lifetime. Throws nothing
// itself: computations inside throw Cancelled once the poll has said to stop.
class CancellableCall {
public:
    explicit CancellableCall(Cancellation::Poll poll) noexcept
        : cancellation_(poll), outer_(detail::current_call) {
        detail::current_call = {&cancellation_, true};
    }
    ~CancellableCall() { detail::current_call = outer_; }
    CancellableCall(const CancellableCall&) = delete;
    CancellableCall& operator=(const CancellableCall&) = delete;

    // Whether the poll said to stop: the computation inside has then thrown Cancelled, or
    // will at its next cancellation point.
    bool interrupted() const noexcept { return cancellation_.interrupted(); }

private:
    Cancellation cancellation_;
    detail::CurrentCall outer_;
};

// Makes this thread work for `cancellation`'s call (or for none) for its lifetime, without
// polling: how a pool thread takes on the call of the loop it works on.
class WorkingFor {
public:
    explicit WorkingFor(Cancellation* cancellation) noexcept : outer_(detail::current_call) {
        detail::current_call = {cancellation, outer_.polls && outer_.cancellation == cancellation};
    }
    ~WorkingFor() { detail::current_call = outer_; }
    WorkingFor(const WorkingFor&) = delete;
    WorkingFor& operator=(const WorkingFor&) = delete;

private:
    detail::CurrentCall outer_;
};

}  // namespace vemo
