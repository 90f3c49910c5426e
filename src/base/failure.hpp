// The computation's one failure type, and the checks that raise it.
//
// Every failure inside the computation (bad indices, an empty input where a value is needed,
// a division by zero, memory that cannot be obtained) ends the whole call. `fail` writes a short
// report to standard error on the failing thread, then throws `InternalFailure`; the worker pool
// carries it back to the calling thread and the Python call wrapper raises it as PanicException.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <limits>
#include <new>
#include <source_location>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/cancellation.hpp"

namespace vemo {

// Exported, with what() out of line: its type information lives in the core library alone, so a
// module catches the very type that a worker thread threw.
class [[gnu::visibility("default")]] InternalFailure : public std::exception {
public:
    explicit InternalFailure(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override;
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Reports the failure on standard error, naming this thread and `where`, then throws.
[[noreturn]] void fail(std::string message,
                       std::source_location where = std::source_location::current());

[[noreturn]] void fail_index_out_of_bounds(
    std::size_t index, std::size_t length,
    std::source_location where = std::source_location::current());

[[noreturn]] void fail_range_start(std::size_t start, std::size_t length,
                                   std::source_location where = std::source_location::current());

[[noreturn]] void fail_range_end(std::size_t end, std::size_t length,
                                 std::source_location where = std::source_location::current());

[[noreturn]] void fail_divide_by_zero(std::source_location where = std::source_location::current());

// An empty sequence where an element is needed.
[[noreturn]] void fail_value_absent(const char* what,
                                    std::source_location where = std::source_location::current());

// Memory that cannot be obtained: `bytes` is the size of the refused request.
[[noreturn]] void fail_allocation(std::size_t bytes,
                                  std::source_location where = std::source_location::current());

[[noreturn]] void fail_capacity_overflow(
    std::source_location where = std::source_location::current());

inline std::size_t checked_index(std::size_t index, std::size_t length,
                                 std::source_location where = std::source_location::current()) {
    if (index >= length) fail_index_out_of_bounds(index, length, where);
    return index;
}

template <class T>
const T& checked_at(std::span<const T> values, std::size_t index,
                    std::source_location where = std::source_location::current()) {
    return values[checked_index(index, values.size(), where)];
}

// a × b for sizes that must be allocated; an overflowing product can never be obtained.
inline std::size_t checked_size_product(
    std::size_t a, std::size_t b, std::source_location where = std::source_location::current()) {
    std::size_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) fail_capacity_overflow(where);
    return product;
}

// Makes sure `values` can hold `count` elements, reporting a refusal as an internal failure
// with the byte count instead of letting std::bad_alloc or std::length_error escape.
template <class T, class Allocator>
void reserve_exactly(std::vector<T, Allocator>& values, std::size_t count,
                     std::source_location where = std::source_location::current()) {
    if (count > static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T))
        fail_capacity_overflow(where);
    try {
        values.reserve(count);
    } catch (const std::bad_alloc&) {
        fail_allocation(count * sizeof(T), where);
    }
}

// A vector of `count` copies of `value`, allocated once. Result vectors of a gigabyte take a
// good part of a second to fill, so a cancelled call stops between chunks of the fill.
template <class T>
std::vector<T> filled_vector(std::size_t count, const T& value,
                             std::source_location where = std::source_location::current()) {
    constexpr std::size_t kChunkBytes = std::size_t{1} << 24;
    constexpr std::size_t kChunk = kChunkBytes / sizeof(T) + 1;
    std::vector<T> values;
    reserve_exactly(values, count, where);
    while (values.size() < count) {
        cancellation_point();
        values.resize(values.size() + std::min(kChunk, count - values.size()), value);
    }
    return values;
}

}  // namespace vemo
