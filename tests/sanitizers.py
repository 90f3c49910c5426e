"""What the tests must leave out when the module runs under a sanitizer."""
import os

import pytest

# AddressSanitizer's allocator aborts the whole process on a request it cannot meet, where the
# normal one lets vemo raise PanicException, so tests of refused allocations cannot run under it.
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")
skip_under_asan = pytest.mark.skipif(
    UNDER_ASAN, reason="AddressSanitizer aborts on an allocation it cannot make")
