// Releasing the interpreter lock around the computation, and taking it back.
#pragma once

#include "binding/py_ref.hpp"

namespace vemo {

// PyEval_RestoreThread(state). A thread that takes the lock back while the interpreter shuts
// down (a daemon thread whose call outlives the main thread) never returns from it: it sleeps
// until the process has exited.
void restore_thread(PyThreadState* state) noexcept;

// The thread state that this thread's innermost ReleasedInterpreterLock saved, or null. Kept
// here rather than asked of PyGILState_GetThisThreadState, which answers null once the
// interpreter has begun to shut down.
inline thread_local PyThreadState* released_thread_state = nullptr;

// Other Python threads run while the computation does; the destructor takes the lock back on
// every way out of the scope, a failure included, before anything touches Python again.
// Nothing in the scope may touch a Python object.
class ReleasedInterpreterLock {
public:
    ReleasedInterpreterLock() noexcept
        : state_(PyEval_SaveThread()), outer_(released_thread_state) {
        released_thread_state = state_;
    }
    ~ReleasedInterpreterLock() {
        released_thread_state = outer_;
        restore_thread(state_);
    }
    ReleasedInterpreterLock(const ReleasedInterpreterLock&) = delete;
    ReleasedInterpreterLock& operator=(const ReleasedInterpreterLock&) = delete;

private:
    PyThreadState* state_;
    PyThreadState* outer_;
};

// Takes the interpreter lock back for a scope inside a ReleasedInterpreterLock of the same
// thread, such as a step that hands part of the results to Python while the computation goes on.
class HeldInterpreterLock {
public:
    HeldInterpreterLock() noexcept : state_(released_thread_state) { restore_thread(state_); }
    ~HeldInterpreterLock() { PyEval_SaveThread(); }
    HeldInterpreterLock(const HeldInterpreterLock&) = delete;
    HeldInterpreterLock& operator=(const HeldInterpreterLock&) = delete;

private:
    PyThreadState* state_;
};

}  // namespace vemo
