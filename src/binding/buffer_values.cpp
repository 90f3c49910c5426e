#include "binding/buffer_values.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "base/failure.hpp"

namespace vemo {
namespace {

// A buffer view released on every way out.
class BufferView {
public:
    // Asks for a read-only view with its format and strides; false (no exception left) when
    // the object does not give one.
    bool open(PyObject* object) noexcept {
        if (PyObject_GetBuffer(object, &view_, PyBUF_RECORDS_RO) != 0) {
            PyErr_Clear();
            return false;
        }
        open_ = true;
        return true;
    }
    ~BufferView() {
        if (open_) PyBuffer_Release(&view_);
    }

    const Py_buffer& get() const noexcept { return view_; }

private:
    Py_buffer view_{};
    bool open_ = false;
};

bool readable_type(PyObject* value) noexcept {
    const std::string_view name = Py_TYPE(value)->tp_name;
    return name == "numpy.ndarray" || name == "array.array";
}

// The element code of a one-dimensional buffer in this machine's byte order, or 0.
char element_code(const Py_buffer& view) noexcept {
    if (view.ndim != 1 || view.format == nullptr) return 0;
    std::string_view format(view.format);
    constexpr char native_order = std::endian::native == std::endian::little ? '<' : '>';
    if (!format.empty() && (format[0] == '@' || format[0] == '=' || format[0] == native_order))
        format.remove_prefix(1);
    return format.size() == 1 ? format[0] : 0;
}

template <class Element>
Element element_at(const Py_buffer& view, std::size_t i) noexcept {
    Element element;
    std::memcpy(&element, static_cast<const char*>(view.buf) + i * view.strides[0], sizeof element);
    return element;
}

// Elements side by side at an address they may be read from as Element.
template <class Element>
bool contiguous(const Py_buffer& view) noexcept {
    return view.strides[0] == static_cast<Py_ssize_t>(sizeof(Element)) &&
           reinterpret_cast<std::uintptr_t>(view.buf) % alignof(Element) == 0;
}

template <class Element>
constexpr bool can_be_negative = std::is_integral_v<Element> && std::is_signed_v<Element>;

// The elements of `view`, each converted to Out; false if the width is not Element's or an
// index is negative. A contiguous buffer is converted by loops the compiler vectorises.
template <class Element, class Out>
bool copy_elements(const Py_buffer& view, std::vector<Out>& out) {
    if (view.itemsize != static_cast<Py_ssize_t>(sizeof(Element))) return false;
    const auto count = static_cast<std::size_t>(view.shape[0]);
    reserve_exactly(out, count);
    if (contiguous<Element>(view)) {
        const auto* const first = static_cast<const Element*>(view.buf);
        if constexpr (!can_be_negative<Element>) {
            out.assign(first, first + count);  // within the reserved capacity
        } else {
            // Converted a cache-sized run at a time, each run checked while it is still in the
            // cache: a negative element becomes an index with the top bit set.
            constexpr std::size_t kRun = 4096;
            for (std::size_t start = 0; start < count; start += kRun) {
                const std::size_t end = std::min(count, start + kRun);
                out.insert(out.end(), first + start, first + end);
                Out top_bits = 0;
                for (std::size_t i = start; i < end; ++i) top_bits |= out[i];
                if (top_bits >> (8 * sizeof(Out) - 1)) return false;
            }
        }
        return true;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto element = element_at<Element>(view, i);
        if constexpr (can_be_negative<Element>) {
            if (element < 0) return false;
        }
        out.push_back(static_cast<Out>(element));
    }
    return true;
}

// Integers read at the width the buffer says: 32 or 64 bits of the signedness of Integer32;
// copy_elements gives up on any other width.
template <class Integer32>
bool copy_integers(const Py_buffer& view, std::vector<std::size_t>& out) {
    using Integer64 = std::conditional_t<std::is_signed_v<Integer32>, std::int64_t, std::uint64_t>;
    return view.itemsize == 4 ? copy_elements<Integer32>(view, out)
                              : copy_elements<Integer64>(view, out);
}

}  // namespace

std::optional<std::vector<float>> f32_values_from_buffer(PyObject* value) {
    BufferView view;
    if (!readable_type(value) || !view.open(value)) return std::nullopt;
    std::vector<float> values;
    bool read = false;
    switch (element_code(view.get())) {
        case 'f':
            read = copy_elements<float>(view.get(), values);
            break;
        case 'd':
            read = copy_elements<double>(view.get(), values);
            break;
        default:
            break;
    }
    return read ? std::optional(std::move(values)) : std::nullopt;
}

std::optional<std::vector<std::size_t>> index_values_from_buffer(PyObject* value) {
    BufferView view;
    if (!readable_type(value) || !view.open(value)) return std::nullopt;
    std::vector<std::size_t> values;
    const Py_buffer& buffer = view.get();
    bool read = false;
    switch (element_code(buffer)) {
        case 'i':
        case 'l':
        case 'q':
            read = copy_integers<std::int32_t>(buffer, values);
            break;
        case 'I':
        case 'L':
        case 'Q':
            read = copy_integers<std::uint32_t>(buffer, values);
            break;
        default:
            break;
    }
    return read ? std::optional(std::move(values)) : std::nullopt;
}

}  // namespace vemo
