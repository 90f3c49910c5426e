"""The source folders form layers: each includes only itself and the layers before it in
LAYERS, so no two folders depend on each other. So do vemo_plan's two: the job imports only
public names of the thin layer, which imports nothing of the job."""
import ast
import re
from pathlib import Path

SOURCES = Path(__file__).parent.parent / "src"
PLAN = Path(__file__).parent.parent / "python" / "vemo_plan"
LAYERS = ["base", "parallel", "assignment/utils", "assignment/linear",
          "assignment/congested_linear", "assignment/plan", "binding", "plan_binding", "lib"]
INCLUDE = re.compile(r'#include "([^"]+)/[^/"]+"')


def test_every_include_stays_in_its_layer_or_reaches_an_earlier_one():
    offending = []
    for path in sorted(SOURCES.rglob("*.[ch]pp")):
        own = LAYERS.index(path.parent.relative_to(SOURCES).as_posix())
        for folder in INCLUDE.findall(path.read_text()):
            if LAYERS.index(folder) > own:
                offending.append(f"{path.relative_to(SOURCES)} includes {folder}")
    assert offending == []


def imported_names(path):
    """Every (module, name) that the Python file at `path` imports, the module's dotted path
    resolved from the folder above vemo_plan; name is None for `import module`."""
    package = path.parent.relative_to(PLAN.parent).parts
    for node in ast.walk(ast.parse(path.read_text())):
        if isinstance(node, ast.Import):
            yield from ((tuple(alias.name.split(".")), None) for alias in node.names)
        elif isinstance(node, ast.ImportFrom):
            base = package[:len(package) - node.level + 1] if node.level else ()
            module = base + tuple(node.module.split(".") if node.module else ())
            yield from ((module, alias.name) for alias in node.names)


def test_the_job_uses_public_names_of_the_thin_layer_which_ignores_the_job():
    offending = []
    for path in sorted(PLAN.rglob("*.py")):
        in_job = path.parent.relative_to(PLAN).parts[:1] == ("job",)
        for module, name in imported_names(path):
            if module[:1] != ("vemo_plan",):
                continue
            if module[1:2] == ("job",):
                # `python -m vemo_plan` is the job's command line.
                wrong = not in_job and path.name != "__main__.py"
            else:
                wrong = in_job and any(part.startswith("_") for part in (*module, name or ""))
            if wrong:
                offending.append(f"{path.relative_to(PLAN)} imports {'.'.join(module)} {name}")
    assert offending == []
