// Computations that answer Ctrl-C.
//
// Python runs signal handlers on its main thread only, between bytecodes, so a computation with
// the interpreter lock released would run none until it returns. A call from the main thread
// therefore polls: at short intervals its thread takes the lock back and runs the pending
// handlers. If one raises (KeyboardInterrupt for SIGINT, or whatever a handler installed with
// signal.signal raises), the computation is cancelled, and once no thread works on it any more
// its memory is freed and the handler's exception leaves the call. Calls from other threads are
// not polled unless they report progress: no handler would run there, and each poll would wait
// for the lock.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>

#include "base/cancellation.hpp"
#include "base/function_ref.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/python_error.hpp"

namespace vemo {

// Whether this is the interpreter's main thread, the one that runs signal handlers.
bool on_main_thread();

// Takes the interpreter lock back and runs the pending signal handlers (on the main thread)
// and then `report`, if given; true if either raised, its exception then being set. For a thread
// inside a ReleasedInterpreterLock.
bool poll_python(bool run_handlers, const FunctionRef<void()>* report) noexcept;

// compute() with the interpreter lock released; its result is complete before the lock is back.
// On the main thread, a signal handler that raises meanwhile cancels it, and the call throws
// PyErrorSet with the handler's exception. With `report`, the call also polls on other threads,
// and runs report() with the lock held at every poll: a report that raises (PyErrorSet) cancels
// the computation in the same way.
template <class Compute>
auto run_unlocked(Compute&& compute, const FunctionRef<void()>* report = nullptr) {
    const bool run_handlers = on_main_thread();
    if (!run_handlers && report == nullptr) {
        ReleasedInterpreterLock unlocked;
        return compute();
    }
    std::optional<std::invoke_result_t<Compute&>> result;
    bool interrupted = false;
    {
        ReleasedInterpreterLock unlocked;
        auto poll = [&] { return poll_python(run_handlers, report); };
        const CancellableCall call(poll);
        try {
            result.emplace(compute());
        } catch (...) {
            // Once interrupted, whatever stopped the computation is a consequence.
            if (!call.interrupted()) throw;
        }
        interrupted = call.interrupted();
    }
    if (interrupted) throw PyErrorSet();
    return std::move(*result);
}

}  // namespace vemo
