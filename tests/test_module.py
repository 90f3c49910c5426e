import importlib
import types

import vemo

NAMES = [
    "linear_assign",
    "mat_linear_assign",
    "linear_congested_assign",
    "mat_linear_congested_assign",
]

SIGNATURES = {
    "linear_assign": "(from, to, arc_freqs, costs, demands, dsts)",
    "mat_linear_assign": "(alignments, freqs, travel_time_mat, demands_mat)",
    "linear_congested_assign": "(from, to, arc_freqs, costs, demands, dsts, capacity, "
    "average_decay_factor=0.01, beta=0.2, tol=0.001, max_iters=1000)",
    "mat_linear_congested_assign": "(alignments, freqs, travel_time_mat, demands_mat, capacity, "
    "average_decay_factor=0.01, beta=0.2, tol=0.001, max_iters=1000)",
}


def test_module_attributes():
    assert vemo.__all__ == NAMES
    assert vemo.__doc__ == ""
    assert vemo.__name__ == "vemo"
    assert not hasattr(vemo, "PanicException")
    own = {name for name in vars(vemo) if not name.startswith("__")}
    assert own == set(NAMES)


def test_functions_are_builtins_bound_to_the_module():
    for name in NAMES:
        function = getattr(vemo, name)
        assert isinstance(function, types.BuiltinFunctionType)
        assert function.__name__ == name
        assert function.__qualname__ == name
        assert function.__module__ == "vemo"
        assert function.__self__ is vemo
        assert function.__text_signature__ == SIGNATURES[name]
        assert function.__doc__ is None


def test_second_import_returns_the_same_module():
    assert importlib.import_module("vemo") is vemo


def test_reload_keeps_the_module_working(run_python):
    # A reload of a single-phase extension runs no initialisation: the module stays as it was.
    result = run_python(
        """
        import importlib, vemo
        assert importlib.reload(vemo) is vemo
        print(vemo.__all__)
        print(vemo.linear_assign([0], [1], [float("inf")], [2.5], [1, 0], [1]))
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [str(NAMES), "([2.5, 0.0], [1.0])"]


def test_reimport_after_removal_is_refused(run_python):
    result = run_python(
        """
        import sys, vemo
        del sys.modules["vemo"]
        for attempt in range(2):
            try:
                import vemo
            except ImportError as error:
                print(type(error).__name__, error)
        """
    )
    assert result.returncode == 0, result.stderr
    message = "ImportError PyO3 modules may only be initialized once per interpreter process"
    assert result.stdout.splitlines() == [message, message]
