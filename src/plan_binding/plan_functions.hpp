// _core.assign and _core.assign_congested: the planner's assignments, their results written into
// arrays the Python package allocated.
#pragma once

#include <span>

#include "binding/py_ref.hpp"

namespace vemo {

std::span<PyMethodDef> plan_functions();

}  // namespace vemo
