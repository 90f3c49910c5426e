"""Internal failures: the PanicException type, its standard-error report, and a PanicException
passed back into the module by the caller's own object."""
import pytest

import vemo
from sanitizers import skip_under_asan

INF = float("inf")
OUT_OF_RANGE_DESTINATION = ([0], [1], [INF], [1.0], [0.0, 0.0], [5])
OUT_OF_RANGE_MESSAGE = "index out of bounds: the len is 2 but the index is 5"

PANIC_DOC = (
    "\n"
    "The exception raised when the native code of vemo, called from Python, fails.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n"
)


class FloatRaising:
    def __init__(self, error):
        self.error = error

    def __float__(self):
        raise self.error


class LenRaising:
    def __init__(self, error):
        self.error = error

    def __len__(self):
        raise self.error

    def __getitem__(self, index):
        return [0.0, 0.0][index]


def test_the_exception_type(panic_exception_type):
    assert panic_exception_type.__name__ == "PanicException"
    assert panic_exception_type.__qualname__ == "PanicException"
    assert panic_exception_type.__module__ == "pyo3_runtime"
    assert panic_exception_type.__bases__ == (BaseException,)
    assert not issubclass(panic_exception_type, Exception)
    assert panic_exception_type.__doc__ == PANIC_DOC
    with pytest.raises(panic_exception_type):
        try:
            vemo.linear_assign(*OUT_OF_RANGE_DESTINATION)
        except Exception:
            pytest.fail("PanicException was caught as an Exception")


def test_every_failure_raises_the_same_type_with_its_message(panic_exception_type):
    with pytest.raises(BaseException) as caught:
        vemo.linear_assign(*OUT_OF_RANGE_DESTINATION)
    assert type(caught.value) is panic_exception_type
    assert caught.value.args == (OUT_OF_RANGE_MESSAGE,)

    with pytest.raises(BaseException) as caught:
        vemo.linear_assign([], [], [], [], [], [])
    assert type(caught.value) is panic_exception_type
    assert len(caught.value.args) == 1
    assert caught.value.args[0].startswith("a required value was absent")


@skip_under_asan
def test_an_allocation_that_cannot_be_made_is_an_internal_failure(panic_exception_type):
    # 2**55 floats are more than any address space holds, yet not a size that overflows.
    class Huge:
        def __len__(self):
            return 2**55

        def __getitem__(self, index):
            return [0.0, 0.0][index]

    with pytest.raises(panic_exception_type) as caught:
        vemo.linear_assign([0], [1], [INF], [1.0], Huge(), [1])
    assert caught.value.args == ("memory allocation of 144115188075855872 bytes failed",)


def test_a_panic_exception_passed_back_in_becomes_a_new_internal_failure(panic_exception_type):
    with pytest.raises(panic_exception_type) as first:
        vemo.linear_assign(*OUT_OF_RANGE_DESTINATION)
    for demands in ([FloatRaising(first.value), 0.0], LenRaising(first.value)):
        with pytest.raises(panic_exception_type) as second:
            vemo.linear_assign([0], [1], [INF], [1.0], demands, [1])
        assert second.value is not first.value
        assert second.value.args == (OUT_OF_RANGE_MESSAGE,)


def test_standard_error_reports(run_python):
    result = run_python(
        """
        import vemo
        INF = float("inf")
        try:
            vemo.linear_assign([0], [1], [INF], [1.0], [0.0, 0.0], [5])
        except BaseException as error:
            first = error
            print("caught", type(error).__name__, error)

        class Passing:
            def __float__(self):
                raise first

        try:
            vemo.linear_assign([0], [1], [INF], [1.0], [Passing(), 0.0], [1])
        except BaseException as error:
            print("caught", type(error).__name__, error)
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "caught PanicException index out of bounds: the len is 2 but the index is 5"
    ] * 2
    lines = result.stderr.splitlines()
    # The computation's report: the failing thread and place, then the message.
    report = lines.index("index out of bounds: the len is 2 but the index is 5")
    assert lines[report - 1].startswith("thread '")
    assert " failed at src/" in lines[report - 1]
    # The PanicException passed back in: a notice, its Python traceback, then a report.
    notice = lines.index(
        "--- vemo is resuming an internal failure passed back to it as a PanicException. ---"
    )
    assert notice > report
    assert lines[notice + 1] == "Python stack trace below:"
    assert lines[notice + 2] == "Traceback (most recent call last):"
    assert "in __float__" in result.stderr
    traceback_end = lines.index(
        "pyo3_runtime.PanicException: index out of bounds: the len is 2 but the index is 5"
    )
    assert traceback_end > notice
    assert lines[-1] == "index out of bounds: the len is 2 but the index is 5"
    assert lines[-2].startswith("thread 'main' failed at src/binding/")
