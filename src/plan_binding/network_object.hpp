// _core.Network: an arc network prepared once (node count, search graph) over four arrays that
// the object keeps alive and never changes.
#pragma once

#include "assignment/linear/network.hpp"
#include "binding/py_ref.hpp"

namespace vemo {

// Creates the type and adds it to `module` as Network.
void add_network_type(PyObject* module);

// The prepared network of a _core.Network; a TypeError naming `name` for anything else.
Network& prepared_network(PyObject* object, const char* name);

}  // namespace vemo
