#include "base/failure.hpp"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

namespace vemo {
namespace {

std::string current_thread_name() {
    if (static_cast<pid_t>(syscall(SYS_gettid)) == getpid()) return "main";
    char name[32] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0 || name[0] == '\0')
        return "<unnamed>";
    return name;
}

// Source paths are absolute in the build; the part from "src/" on is what a reader needs.
std::string_view short_path(std::string_view path) {
    const auto at = path.rfind("/src/");
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

}  // namespace

const char* InternalFailure::what() const noexcept { return message_.c_str(); }

void fail(std::string message, std::source_location where) {
    const auto path = short_path(where.file_name());
    std::fprintf(stderr, "\nthread '%s' failed at %.*s:%u:%u:\n%s\n", current_thread_name().c_str(),
                 static_cast<int>(path.size()), path.data(), static_cast<unsigned>(where.line()),
                 static_cast<unsigned>(where.column()), message.c_str());
    std::fflush(stderr);
    throw InternalFailure(std::move(message));
}

void fail_index_out_of_bounds(std::size_t index, std::size_t length, std::source_location where) {
    fail("index out of bounds: the len is " + std::to_string(length) + " but the index is " +
             std::to_string(index),
         where);
}

void fail_range_start(std::size_t start, std::size_t length, std::source_location where) {
    fail("range start index " + std::to_string(start) + " out of range for slice of length " +
             std::to_string(length),
         where);
}

void fail_range_end(std::size_t end, std::size_t length, std::source_location where) {
    fail("range end index " + std::to_string(end) + " out of range for slice of length " +
             std::to_string(length),
         where);
}

void fail_divide_by_zero(std::source_location where) { fail("attempt to divide by zero", where); }

void fail_value_absent(const char* what, std::source_location where) {
    fail(std::string("a required value was absent: ") + what, where);
}

void fail_allocation(std::size_t bytes, std::source_location where) {
    fail("memory allocation of " + std::to_string(bytes) + " bytes failed", where);
}

void fail_capacity_overflow(std::source_location where) { fail("capacity overflow", where); }

}  // namespace vemo
