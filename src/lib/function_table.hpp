// The module's functions, in registration order (which is also the order of __all__).
#pragma once

#include <span>

#include "binding/py_ref.hpp"

namespace vemo {

// Method definitions that live as long as the process, as function objects require.
std::span<PyMethodDef> function_table();

}  // namespace vemo
