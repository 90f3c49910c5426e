#include "base/cancellation.hpp"

namespace vemo {

constinit thread_local detail::CurrentCall detail::current_call;

const char* Cancelled::what() const noexcept { return "the call was cancelled"; }

void Cancellation::poll_if_due() {
    if (Clock::now() < next_poll_) return;
    if (!interrupted_ && poll_()) {
        interrupted_ = true;
        request();
    }
    next_poll_ = Clock::now() + kPollInterval;
}

void cancellation_point() {
    Cancellation* const cancellation = detail::current_call.cancellation;
    if (cancellation == nullptr) return;
    if (detail::current_call.polls) cancellation->poll_if_due();
    if (cancellation->requested()) throw Cancelled();
}

}  // namespace vemo
