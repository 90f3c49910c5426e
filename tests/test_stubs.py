"""The stub package vemo-stubs: installed with the module, in step with its signatures, and
used by mypy on the examples and on calls that must pass or fail."""

import ast
import re
import subprocess
import sys
from pathlib import Path

import pytest

import vemo

pytest.importorskip("mypy")

ROOT = Path(__file__).resolve().parents[1]
STUB = ROOT / "vemo-stubs" / "__init__.pyi"


@pytest.fixture(scope="module")
def mypy(tmp_path_factory):
    cache = tmp_path_factory.mktemp("mypy-cache")

    def run(*args, cwd):
        return subprocess.run([sys.executable, "-m", "mypy", "--cache-dir", str(cache), *args],
                              cwd=cwd, capture_output=True, text=True, timeout=600)

    return run


def test_the_stub_is_installed_beside_the_module():
    installed = Path(vemo.__file__).parent / "vemo-stubs" / "__init__.pyi"
    assert installed.read_text() == STUB.read_text()


def stub_signature(function):
    """The stub's parameters as the module's __text_signature__ writes them."""
    arguments = function.args
    parameters = [arg.arg for arg in arguments.posonlyargs + arguments.args]
    # `from` is spelled `from_` in the stub (see its header).
    parameters = ["from" if name == "from_" else name for name in parameters]
    defaults = [None] * (len(parameters) - len(arguments.defaults)) + arguments.defaults
    return "(" + ", ".join(name if default is None else f"{name}={ast.literal_eval(default)!r}"
                           for name, default in zip(parameters, defaults)) + ")"


def test_stub_signatures_match_the_module():
    tree = ast.parse(STUB.read_text())
    functions = [node for node in tree.body if isinstance(node, ast.FunctionDef)]
    assert [function.name for function in functions] == vemo.__all__
    for function in functions:
        assert stub_signature(function) == getattr(vemo, function.name).__text_signature__
        # Only `from` needs to be positional-only.
        assert [arg.arg for arg in function.args.posonlyargs] in ([], ["from_"])


def test_the_examples_type_check(mypy):
    result = mypy(cwd=ROOT)  # the files and settings of pyproject.toml's [tool.mypy]
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.startswith("Success: no issues found")


# Each line marked "# error" must be reported, and no other line.
CALLS = """\
import math
import numpy as np
import vemo

inf = math.inf
costs, flows = vemo.linear_assign([0, 0, 1], [2, 1, 2], [0.125, 0.5, inf], [12, 5, 10],
                                  [60, 0, 0], [2])
reveal_type(costs)
matrix, totals, total = vemo.mat_linear_assign(
    [[0, 1]], np.array([0.5]), np.zeros((2, 2), dtype=np.float32), [[0, 4], [0, 0]])
reveal_type(matrix)
reveal_type(total)
vemo.mat_linear_congested_assign([[0, 1]], [0.5], [[0, 10]], [[0, 4]], 70, beta=0.3,
                                 max_iters=np.int64(5))
vemo.linear_congested_assign(range(1), (1,), [inf], [1.0], b"\\x01", [1], 70.0, 0.1, 0.2, 0.01, 9)
vemo.linear_assign([0], [1], [1.0], [1.0], [1.0])  # error: dsts missing
vemo.linear_assign(from_=[0], to=[1], arc_freqs=[1], costs=[1], demands=[1], dsts=[1])  # error
vemo.linear_assign([0.5], [1], [1.0], [1.0], [1.0], [1])  # error: a float node index
vemo.linear_assign("01", [1], [1.0], [1.0], [1.0], [1])  # error: a str is no sequence here
vemo.linear_assign({0}, [1], [1.0], [1.0], [1.0], [1])  # error: a set is not indexable
vemo.linear_assign([0], [1], ["1"], [1.0], [1.0], [1])  # error: a str is no float value
vemo.linear_congested_assign([0], [1], [1.0], [1.0], [1.0], [1], 9.0, tol=None)  # error
vemo.mat_linear_assign([[0, 1]], [0.5], [[0, 10]], [[0, 4]], 70.0)  # error: too many
vemo.mat_linear_congested_assign([[0, 1]], [0.5], [[0, 1]], [[0, 1]], 9, max_iters=1.5)  # error
wrong: int = vemo.linear_assign([0], [1], [1.0], [1.0], [1.0], [1])[0]  # error
vemo.PanicException  # error: the module holds its four functions only
"""


def test_the_stub_types_calls_and_results(mypy, tmp_path):
    # Outside the project folder, so that mypy finds vemo through the installed stub package.
    (tmp_path / "calls.py").write_text(CALLS)
    result = mypy("calls.py", cwd=tmp_path)
    reported = re.findall(r"^calls\.py:(\d+): (error|note): (.*)$", result.stdout, re.MULTILINE)
    error_lines = {int(line) for line, kind, _ in reported if kind == "error"}
    marked = {n for n, text in enumerate(CALLS.splitlines(), 1) if "# error" in text}
    assert error_lines == marked, result.stdout
    # Older mypy versions qualify builtin names.
    revealed = [text.replace("builtins.", "") for _, kind, text in reported
                if text.startswith("Revealed type")]
    assert revealed == ['Revealed type is "list[float]"', 'Revealed type is "list[list[float]]"',
                        'Revealed type is "float"']



def test_the_planner_core_stub_matches_its_binding():
    core = pytest.importorskip("vemo_plan._core")
    tree = ast.parse((ROOT / "python" / "vemo_plan" / "_core.pyi").read_text())
    [assign] = [node for node in tree.body
                if isinstance(node, ast.FunctionDef) and node.name == "assign"]
    assert stub_signature(assign) == core.assign.__text_signature__
