// The message of the internal failure that a call raises, for exact comparison in tests.
#pragma once

#include <string>

#include "base/failure.hpp"

namespace vemo::testing {

template <class F>
std::string failure_message(F&& call) {
    try {
        call();
    } catch (const InternalFailure& failure) {
        return failure.message();
    }
    return "(no failure)";
}

}  // namespace vemo::testing
