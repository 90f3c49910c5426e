#include "binding/buffer_values.hpp"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "assignment/utils/failure.hpp"

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
    std::memcpy(&element, static_cast<const char*>(view.buf) + i * view.strides[0],
                sizeof element);
    return element;
}

template <class Element, class Out, class Convert>
bool copy_elements(const Py_buffer& view, std::vector<Out>& out, Convert convert) {
    if (view.itemsize != static_cast<Py_ssize_t>(sizeof(Element))) return false;
    const auto count = static_cast<std::size_t>(view.shape[0]);
    reserve_exactly(out, count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto converted = convert(element_at<Element>(view, i));
        if (!converted) return false;
        out.push_back(*converted);
    }
    return true;
}

template <class Integer>
std::optional<std::size_t> as_index(Integer value) noexcept {
    if constexpr (std::is_signed_v<Integer>) {
        if (value < 0) return std::nullopt;
    }
    return static_cast<std::size_t>(value);
}

template <class Integer>
bool copy_indices(const Py_buffer& view, std::vector<std::size_t>& out) {
    return copy_elements<Integer>(view, out, as_index<Integer>);
}

}  // namespace

std::optional<std::vector<float>> f32_values_from_buffer(PyObject* value) {
    BufferView view;
    if (!readable_type(value) || !view.open(value)) return std::nullopt;
    std::vector<float> values;
    auto keep = [](auto element) { return std::optional<float>(static_cast<float>(element)); };
    bool read = false;
    switch (element_code(view.get())) {
        case 'f': read = copy_elements<float>(view.get(), values, keep); break;
        case 'd': read = copy_elements<double>(view.get(), values, keep); break;
        default: break;
    }
    return read ? std::optional(std::move(values)) : std::nullopt;
}

std::optional<std::vector<std::size_t>> index_values_from_buffer(PyObject* value) {
    BufferView view;
    if (!readable_type(value) || !view.open(value)) return std::nullopt;
    std::vector<std::size_t> values;
    const Py_buffer& buffer = view.get();
    bool read = false;
    // Each code is read at the width the buffer says; codes of another width give up.
    switch (element_code(buffer)) {
        case 'i': case 'l': case 'q':
            read = buffer.itemsize == 4 ? copy_indices<std::int32_t>(buffer, values)
                                        : copy_indices<std::int64_t>(buffer, values);
            break;
        case 'I': case 'L': case 'Q':
            read = buffer.itemsize == 4 ? copy_indices<std::uint32_t>(buffer, values)
                                        : copy_indices<std::uint64_t>(buffer, values);
            break;
        default: break;
    }
    return read ? std::optional(std::move(values)) : std::nullopt;
}

}  // namespace vemo
