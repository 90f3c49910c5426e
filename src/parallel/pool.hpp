// The process-wide worker pool and its parallel loops.
//
// The pool starts its threads at its first use and keeps them until the process ends; its size
// is fixed then (see thread_count.hpp), and so is the number of threads its loops keep busy at
// once. A thread outside the pool hands a loop to the pool and blocks until it is done, except
// a loop that could use only one thread (one chunk, or a pool of one thread): while a pool
// thread is idle, the caller runs that loop itself, in its place. A pool thread that starts a
// nested loop works on it itself and helps with pending work while it waits, so nested loops
// never deadlock. Several threads may start loops at once. A failure in any chunk is rethrown
// on the calling thread once every chunk of that loop has finished (chunks write into the
// caller's memory), so nothing outlives the call.
//
// Loops are split into chunks that depend only on the loop's size and grain, never on the
// number of threads, so a reduction associates its terms the same way for any pool size.
//
// A loop of a cancellable call (cancellation.hpp) checks for cancellation before each item or
// chunk; its calling thread polls while it waits; a cancelled loop throws Cancelled once every
// chunk that had started has stopped.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "base/function_ref.hpp"
#include "parallel/completion_order.hpp"
#include "parallel/job.hpp"

namespace vemo::parallel {

// Number of threads of the process-wide pool, starting it if needed.
std::size_t pool_size();

// Runs `job` on the process-wide pool and blocks until it is done; rethrows its failure.
void run(Job& job);

// Runs `job` on the process-wide pool and alongside() on the calling thread meanwhile, then
// waits for the job; rethrows the job's failure, else alongside's. A failure of alongside()
// cancels the job's call, if cancellable, and is rethrown rather than the Cancelled it causes. With
// a pool of one thread (one core at a time, as configured), on a pool thread, or for a job of one
// chunk (nothing to overlap, and handing over to the calling thread would only add a wake-up),
// alongside() runs after the job.
void run_alongside(Job& job, FunctionRef<void()> alongside);

// Calls body(begin, end) for consecutive chunks of at most `grain` indices covering [0, count).
void for_each_chunk(std::size_t count, std::size_t grain,
                    FunctionRef<void(std::size_t, std::size_t)> body);

namespace detail {

// A participant of for_each_with_state: claims items one at a time, with a state of its own
// made at its first item, and tells `order` (if any) of every item done and of a failure.
template <class MakeState, class Body>
auto participant_with_state(MakeState& make_state, Body& body, CompletionOrder* order) {
    return [&make_state, &body, order](Job& job) {
        std::optional<decltype(make_state())> state;
        std::size_t index = 0;
        while (job.claim(index)) {
            try {
                cancellation_point();
                if (!state) state.emplace(make_state());
                body(*state, index);
                if (order != nullptr) order->finish(index);
            } catch (...) {
                job.record_failure(index, std::current_exception());
                if (order != nullptr) order->stop();
            }
        }
    };
}

}  // namespace detail

// Calls body(state, i) for every i in [0, count), one index at a time (dynamic scheduling, for
// items of uneven cost). Each participating thread makes one state with make_state() at its
// first item and reuses it for every later item it takes.
template <class MakeState, class Body>
void for_each_with_state(std::size_t count, MakeState&& make_state, Body&& body) {
    auto participant = detail::participant_with_state(make_state, body, nullptr);
    Job job(count, participant);
    run(job);
}

// Like for_each_with_state, and calls done(i) on the calling thread for i = 0, 1, ... in turn,
// each once body(state, i) has returned, while the pool goes on with later items (see
// run_alongside for when it does not). No done(i) comes after a failed item.
template <class MakeState, class Body>
void for_each_with_state(std::size_t count, MakeState&& make_state, Body&& body,
                         FunctionRef<void(std::size_t)> done) {
    CompletionOrder order(count);
    auto participant = detail::participant_with_state(make_state, body, &order);
    Job job(count, participant);
    run_alongside(job, [&] {
        for (std::size_t index = 0; index < count && order.wait_for(index); ++index) done(index);
    });
}

// Folds map(i) over [0, count): each chunk of `grain` indices from `identity` in increasing i,
// then the chunk results in chunk order, all with `combine`.
template <class T, class Map, class Combine>
T reduce(std::size_t count, std::size_t grain, T identity, Map&& map, Combine&& combine) {
    if (grain == 0) grain = 1;
    const std::size_t chunks = count / grain + (count % grain != 0);
    std::vector<T> partial(chunks, identity);
    for_each_chunk(count, grain, [&](std::size_t begin, std::size_t end) {
        T acc = identity;
        for (std::size_t i = begin; i < end; ++i) acc = combine(acc, map(i));
        partial[begin / grain] = acc;
    });
    T total = identity;
    for (const T& value : partial) total = combine(total, value);
    return total;
}

}  // namespace vemo::parallel
