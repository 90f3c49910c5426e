// _core.write_pages: writes a buffer into a file 16 pages at a time, the interpreter lock
// released.
//
// Written in large calls, a buffer lands in the page cache as large folios (up to 2 MiB with
// ext4 on Linux 6.x); written in small pieces, as small folios. On a virtual machine whose host
// takes freed memory back (free page reporting), a large folio takes a free block the host has
// taken back, and its first write waits for the host to back it again, while small folios are
// taken first from the fragments the machine still backs (see docs/performance.md). Elsewhere
// the small pieces cost a system call per 64 KiB, in a thread of its own; without the lock the
// other threads go on meanwhile.
#pragma once

#include <span>

#include "binding/py_ref.hpp"

namespace vemo {

std::span<PyMethodDef> page_write_functions();

}  // namespace vemo
