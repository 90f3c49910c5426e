#include "base/cancellation.hpp"

namespace vemo {

void Cancellation::poll_if_due() {
    if (Clock::now() < next_poll_) return;
    if (!interrupted_ && poll_()) {
        interrupted_ = true;
        request();
    }
    next_poll_ = Clock::now() + kPollInterval;
}

}  // namespace vemo
