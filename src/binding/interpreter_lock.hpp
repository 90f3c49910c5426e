// Releases the interpreter lock for the lifetime of a scope.
#pragma once

#include "binding/py_ref.hpp"

namespace vemo {

// Other Python threads run while the computation does; the destructor takes the lock back on
// every way out of the scope, a failure included, before anything touches Python again.
// Nothing in the scope may touch a Python object.
class ReleasedInterpreterLock {
public:
    ReleasedInterpreterLock() noexcept : state_(PyEval_SaveThread()) {}
    ~ReleasedInterpreterLock() { PyEval_RestoreThread(state_); }
    ReleasedInterpreterLock(const ReleasedInterpreterLock&) = delete;
    ReleasedInterpreterLock& operator=(const ReleasedInterpreterLock&) = delete;

private:
    PyThreadState* state_;
};

// Takes the interpreter lock back for a scope of a thread that released it, such as a step that
// hands part of the results to Python while the computation goes on.
class HeldInterpreterLock {
public:
    HeldInterpreterLock() noexcept : state_(PyGILState_Ensure()) {}
    ~HeldInterpreterLock() { PyGILState_Release(state_); }
    HeldInterpreterLock(const HeldInterpreterLock&) = delete;
    HeldInterpreterLock& operator=(const HeldInterpreterLock&) = delete;

private:
    PyGILState_STATE state_;
};

// compute() with the interpreter lock released; its result is complete before the lock is back.
template <class Compute>
auto run_unlocked(Compute&& compute) {
    ReleasedInterpreterLock unlocked;
    return compute();
}

}  // namespace vemo
