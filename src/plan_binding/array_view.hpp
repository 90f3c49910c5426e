// A NumPy array's memory as a span, for the planner's module. The Python package hands the
// module arrays it has converted and allocated itself, C-contiguous and of the exact element
// type, so a mismatch here is a programming error in that package: it is refused with a
// TypeError naming the argument, never read.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "binding/py_ref.hpp"

namespace vemo {

enum class Element { u8, u64, f32, f64 };

class ArrayView {
public:
    // The buffer of `array`, which must hold `element`s in `dimensions` dimensions (any number
    // when 0), C-contiguous (and writable when `writable`). Released when the view is destroyed,
    // which must happen with the interpreter lock held.
    ArrayView(PyObject* array, const char* name, Element element, int dimensions, bool writable);
    ArrayView(ArrayView&& other) noexcept : view_(std::exchange(other.view_, {})) {}
    ArrayView(const ArrayView&) = delete;
    ArrayView& operator=(const ArrayView&) = delete;
    ArrayView& operator=(ArrayView&&) = delete;
    ~ArrayView();

    std::size_t size() const noexcept;
    int dimensions() const noexcept { return view_.ndim; }
    std::size_t extent(int dimension) const noexcept {
        return static_cast<std::size_t>(view_.shape[dimension]);
    }

    template <class T>
    std::span<T> span() const noexcept {
        return {static_cast<T*>(view_.buf), size()};
    }

private:
    Py_buffer view_{};
};

}  // namespace vemo
