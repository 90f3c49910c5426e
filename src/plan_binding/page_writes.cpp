#include "plan_binding/page_writes.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <span>

#include "binding/interpreter_lock.hpp"
#include "binding/python_error.hpp"
#include "plan_binding/array_view.hpp"
#include "plan_binding/computation_error.hpp"

namespace vemo {
namespace {

// Pages a write takes at most: small enough that the page cache takes small folios, large
// enough that the system calls cost little (region-nord's skims.omx: 64 KiB writes finished in
// 0.26 to 0.29 s where page-sized ones took 0.41 s and 16 MiB ones 0.66 to 0.99 s).
constexpr std::size_t kPagesPerWrite = 16;

// Writes `data` at `offset` of file `descriptor` in writes that end at boundaries of
// kPagesPerWrite pages of the file, until done or until `stop[0]` is set; the bytes written.
PyRef write_pages(PyObject* arguments) {
    int descriptor = -1;
    long long offset = 0;
    PyObject* data_object = nullptr;
    PyObject* stop_object = nullptr;
    require_status(PyArg_ParseTuple(arguments, "iLOO:write_pages", &descriptor, &offset,
                                    &data_object, &stop_object));
    const ArrayView data(data_object, "data", Element::u8, 1, false);
    const ArrayView stop(stop_object, "stop", Element::u8, 1, true);
    if (offset < 0 || stop.size() < 1) raise_error(PyExc_ValueError, "offset < 0 or no stop flag");

    const std::span<const unsigned char> bytes = data.span<const unsigned char>();
    const std::size_t size = bytes.size();
    const auto piece = static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) * kPagesPerWrite;
    // Set by another thread while this one writes: read atomically, a byte at a time.
    const std::atomic_ref<unsigned char> stopped(stop.span<unsigned char>()[0]);
    std::size_t written = 0;
    int error = 0;
    {
        const ReleasedInterpreterLock released;
        while (written < size && stopped.load(std::memory_order_relaxed) == 0) {
            const auto at = static_cast<std::size_t>(offset) + written;
            const std::size_t length = std::min(piece - at % piece, size - written);
            const ssize_t done =
                pwrite(descriptor, bytes.data() + written, length, static_cast<off_t>(at));
            if (done > 0) {
                written += static_cast<std::size_t>(done);
            } else if (done == 0 || errno != EINTR) {
                error = done == 0 ? EIO : errno;
                break;
            }
        }
    }
    if (error != 0) {
        errno = error;
        PyErr_SetFromErrno(PyExc_OSError);
        raise_current_error();
    }
    return require(PyLong_FromSize_t(written));
}

PyObject* write_pages_entry(PyObject*, PyObject* arguments) {
    return plan_boundary([&] { return write_pages(arguments); });
}

PyMethodDef functions[] = {
    {"write_pages", write_pages_entry, METH_VARARGS,
     "write_pages(descriptor, offset, data, stop)\n--\n\n"
     "Writes data at offset of the file 16 pages at a time, the interpreter lock released, until\n"
     "done or until stop[0] is set; returns the bytes written. Raises OSError on a failed write."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

std::span<PyMethodDef> page_write_functions() { return {functions, 1}; }

}  // namespace vemo
