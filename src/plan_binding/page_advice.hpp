// _core.advise_small_pages: keeps a new result array off transparent huge pages.
//
// NumPy asks the kernel for huge pages on every array of 4 MiB or more. A result array is written
// once, row after row, so huge pages save it few TLB misses, while first writing one can be dear:
// on a virtual machine whose host takes freed memory back (free page reporting), memory freed a
// few seconds earlier is backed again on the first write, and a huge page then cost about five
// times what its 512 small pages cost.
#pragma once

#include <span>

#include "binding/py_ref.hpp"

namespace vemo {

std::span<PyMethodDef> page_advice_functions();

}  // namespace vemo
