// _core.write_pages: writes a buffer into a file a page at a time, the interpreter lock released.
//
// Written in large calls, a buffer lands in the page cache as large folios (up to 2 MiB with
// ext4 on Linux 6.x); written a page at a time, as single pages. On a virtual machine whose host
// takes freed memory back (free page reporting), backing a large folio again on its first write
// costs about five times what the same bytes cost as pages (see docs/performance.md). A page
// per call costs a system call per 4 KiB elsewhere; it runs in a thread of its own, and without
// the lock the other threads go on meanwhile.
#pragma once

#include <span>

#include "binding/py_ref.hpp"

namespace vemo {

std::span<PyMethodDef> page_write_functions();

}  // namespace vemo
