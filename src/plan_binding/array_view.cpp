#include "plan_binding/array_view.hpp"

#include <string_view>

#include "binding/python_error.hpp"

namespace vemo {
namespace {

bool holds(const Py_buffer& view, Element element) {
    const std::string_view format = view.format == nullptr ? "B" : view.format;
    switch (element) {
        case Element::u8:
            return view.itemsize == 1 && format == "B";
        case Element::u64:
            return view.itemsize == 8 && (format == "L" || format == "Q");
        case Element::f32:
            return view.itemsize == 4 && format == "f";
        case Element::f64:
            return view.itemsize == 8 && format == "d";
    }
    return false;
}

}  // namespace

ArrayView::ArrayView(PyObject* array, const char* name, Element element, int dimensions,
                     bool writable) {
    const int flags = PyBUF_C_CONTIGUOUS | PyBUF_FORMAT | (writable ? PyBUF_WRITABLE : 0);
    if (PyObject_GetBuffer(array, &view_, flags) < 0) {
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError, "%s: a C-contiguous%s array is needed", name,
                     writable ? " writable" : "");
        throw PyErrorSet();
    }
    if ((dimensions != 0 && view_.ndim != dimensions) || !holds(view_, element)) {
        PyErr_Format(PyExc_TypeError,
                     "%s: an array of %d dimension(s) of the expected type is needed", name,
                     dimensions);
        PyBuffer_Release(&view_);
        view_ = {};
        throw PyErrorSet();
    }
}

ArrayView::~ArrayView() {
    if (view_.obj != nullptr) PyBuffer_Release(&view_);
}

std::size_t ArrayView::size() const noexcept {
    std::size_t count = 1;
    for (int d = 0; d < view_.ndim; ++d) count *= static_cast<std::size_t>(view_.shape[d]);
    return count;
}

}  // namespace vemo
