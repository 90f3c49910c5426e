"""The source folders form layers: each includes only itself and the layers before it in
LAYERS, so no two folders depend on each other."""
import re
from pathlib import Path

SOURCES = Path(__file__).parent.parent / "src"
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
