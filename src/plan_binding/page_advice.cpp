#include "plan_binding/page_advice.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "binding/python_error.hpp"
#include "plan_binding/computation_error.hpp"

namespace vemo {
namespace {

// Below this NumPy asks for no huge pages, and nothing needs undoing.
constexpr std::size_t kAdvisedFrom = std::size_t{4} << 20;

PyRef advise_small_pages(PyObject* array) {
    Py_buffer view{};
    require_status(PyObject_GetBuffer(array, &view, PyBUF_SIMPLE | PyBUF_WRITABLE));
    const auto start = reinterpret_cast<std::uintptr_t>(view.buf);
    const auto length = static_cast<std::size_t>(view.len);
    PyBuffer_Release(&view);
    if (length < kAdvisedFrom) return PyRef::borrow(Py_None);
    // Only whole pages can be advised; the pages at either end may hold other memory.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + length) / page * page;
    // Advice only: where the kernel has no huge pages or refuses, the array is as good as before.
#ifdef MADV_NOHUGEPAGE
    if (first < end) madvise(reinterpret_cast<void*>(first), end - first, MADV_NOHUGEPAGE);
#endif
    return PyRef::borrow(Py_None);
}

PyObject* advise_small_pages_entry(PyObject*, PyObject* array) {
    return plan_boundary([&] { return advise_small_pages(array); });
}

PyMethodDef functions[] = {
    {"advise_small_pages", advise_small_pages_entry, METH_O,
     "advise_small_pages(array)\n--\n\n"
     "Asks the kernel to back a new, not yet written array of 4 MiB or more by small pages."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

std::span<PyMethodDef> page_advice_functions() { return {functions, 1}; }

}  // namespace vemo
