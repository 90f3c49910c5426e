#include "binding/interpreter_lock.hpp"

#include <cxxabi.h>

#include <chrono>
#include <thread>

namespace vemo {

void restore_thread(PyThreadState* state) noexcept {
    try {
        PyEval_RestoreThread(state);
    } catch (abi::__forced_unwind&) {
        // CPython ends a thread that takes the lock during shutdown with pthread_exit, whose
        // unwinding cannot cross this thread's C++ frames (the process would abort). The thread
        // sleeps instead until the process has exited, as later CPython versions do themselves.
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

}  // namespace vemo
