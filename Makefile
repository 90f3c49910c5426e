# Everything a newcomer needs: `make demo` and `make test` set up a virtual environment for
# $(PYTHON), build and install vemo into it, and run. Build folders are kept under build/ so
# that later runs rebuild only what changed.
PYTHON ?= python3
PYVER := $(shell $(PYTHON) -c 'import sys; print("%d.%d" % sys.version_info[:2])')
VENV := .venv-$(PYVER)
VPY := $(VENV)/bin/python
CPP_BUILD := build/cpp-tests
ASAN_BUILD := build/cpp-asan
TSAN_BUILD := build/cpp-tsan
# The sanitized extension lives in a virtual environment of its own, so that $(VENV) keeps the
# normal build.
ASAN_VENV := .venv-asan-$(PYVER)
ASAN_VPY := $(ASAN_VENV)/bin/python
DEMO_VENV := .venv-demo-$(PYVER)
DEMO_VPY := $(DEMO_VENV)/bin/python
CMAKE := $(VENV)/bin/cmake
CTEST := $(VENV)/bin/ctest
CPP_FLAGS := -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV))/bin/ninja \
             -DVEMO_BUILD_EXTENSION=OFF -DVEMO_BUILD_TESTS=ON

.PHONY: all install test test-python test-cpp format format-check demo bench bench-plan asan asan-python tsan clean

all: install

# The packages of one of pyproject.toml's extras, named as the first argument.
EXTRA := import sys, tomllib; print(*tomllib.load(open("pyproject.toml", "rb")) \
         ["project"]["optional-dependencies"][sys.argv[1]])

$(VENV)/.ready $(ASAN_VENV)/.ready: pyproject.toml
	$(PYTHON) -m venv $(@D)
	$(@D)/bin/python -m pip install -q --disable-pip-version-check \
	    "scikit-build-core>=0.10" cmake ninja $$($(@D)/bin/python -c '$(EXTRA)' test)
	touch $@

# --no-build-isolation reuses the venv's build tools and the persistent build/ folder.
install: $(VENV)/.ready
	$(VPY) -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps .

test: test-cpp test-python

test-python: install
	$(VPY) -m pytest -q tests

test-cpp: $(VENV)/.ready
	scripts/ensure-gtest
	$(CMAKE) -S . -B $(CPP_BUILD) $(CPP_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	$(CMAKE) --build $(CPP_BUILD)
	$(CTEST) --test-dir $(CPP_BUILD) --output-on-failure -j2

# Every C++ file as .clang-format lays it out: `format` rewrites them, `format-check` fails on
# any that differs.
CPP_SOURCES = $(shell git ls-files 'src/*.cpp' 'src/*.hpp' 'tests/cpp/*.cpp' 'tests/cpp/*.hpp')
format: $(VENV)/.ready
	$(VENV)/bin/clang-format -i $(CPP_SOURCES)

format-check: $(VENV)/.ready
	@$(VENV)/bin/clang-format --dry-run --Werror $(CPP_SOURCES) && echo "C++ layout: $(words $(CPP_SOURCES)) files as .clang-format lays them out"

# The C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: $(VENV)/.ready
	scripts/ensure-gtest
	$(CMAKE) -S . -B $(ASAN_BUILD) $(CPP_FLAGS) -DCMAKE_BUILD_TYPE=Debug \
	    -DVEMO_SANITIZE=address,undefined >/dev/null
	$(CMAKE) --build $(ASAN_BUILD)
	ASAN_OPTIONS=allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    $(CTEST) --test-dir $(ASAN_BUILD) --output-on-failure -j2

# The whole pytest suite against the extension built with AddressSanitizer and
# UndefinedBehaviorSanitizer. The interpreter is not built with them, so the ASan runtime is
# preloaded, and libstdc++ with it: ASan intercepts C++ exception throwing only in libraries
# loaded before it starts. CPython frees little at exit, hence no leak report; a null from
# malloc lets the interpreter raise MemoryError.
asan-python: $(ASAN_VENV)/.ready
	$(ASAN_VPY) -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps . \
	    -Cbuild-dir=build/asan-$(PYVER) -Ccmake.build-type=RelWithDebInfo \
	    -Ccmake.define.VEMO_SANITIZE=address,undefined
	LD_PRELOAD="$$(gcc -print-file-name=libasan.so) $$(gcc -print-file-name=libstdc++.so)" \
	    ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
	    UBSAN_OPTIONS=print_stacktrace=1 $(ASAN_VPY) -m pytest -q tests

# The C++ tests under ThreadSanitizer.
tsan: $(VENV)/.ready
	scripts/ensure-gtest
	$(CMAKE) -S . -B $(TSAN_BUILD) $(CPP_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DVEMO_SANITIZE=thread >/dev/null
	$(CMAKE) --build $(TSAN_BUILD)
	$(CTEST) --test-dir $(TSAN_BUILD) --output-on-failure -j2

# The demo's environment holds what the job needs (vemo with the planner's extras), not the
# test tools.
$(DEMO_VENV)/.ready: pyproject.toml
	$(PYTHON) -m venv $(@D)
	$(@D)/bin/python -m pip install -q --disable-pip-version-check "scikit-build-core>=0.10" cmake ninja
	touch $@

demo: $(DEMO_VENV)/.ready
	$(DEMO_VPY) -m pip install -q --disable-pip-version-check --no-build-isolation ".[plan,gtfs]"
	$(DEMO_VPY) examples/demo.py
	$(DEMO_VPY) -m vemo_plan --congested --no-progress --out build/demo/plan

# The benchmark suite with its peer and floors (pyproject.toml's `bench` extra; without them
# it measures the rest); BENCH_ARGS=--quick runs the small sizes only.
BENCH_EXTRA = $(VPY) -m pip install -q --disable-pip-version-check $$($(VPY) -c '$(EXTRA)' bench) \
	    || echo "The bench extra did not install: the benchmarks run without what is missing."

bench: install
	$(BENCH_EXTRA)
	$(VPY) benchmarks/run.py $(BENCH_ARGS)

# vemo_plan's benchmarks: results out, skims, memory, the peer with skims, and the scale run.
bench-plan: install
	$(BENCH_EXTRA)
	$(VPY) benchmarks/plan_run.py $(BENCH_ARGS)

clean:
	rm -rf build .venv-*
