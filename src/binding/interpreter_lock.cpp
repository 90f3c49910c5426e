#include "binding/interpreter_lock.hpp"

#include <chrono>
#include <thread>

namespace vemo {

void restore_thread(PyThreadState* state) noexcept {
    try {
        PyEval_RestoreThread(state);
    } catch (...) {
        // Only the forced unwinding of pthread_exit comes out of the C API here: CPython ends
        // a thread that takes the lock during shutdown that way, and the unwinding cannot cross
        // this thread's C++ frames (the process would abort). The thread sleeps instead until
        // the process has exited, as later CPython versions do themselves. (Caught without
        // naming abi::__forced_unwind, which has no object to bind a reference to.)
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

}  // namespace vemo
