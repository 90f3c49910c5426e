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
CMAKE := $(VENV)/bin/cmake
CTEST := $(VENV)/bin/ctest
CPP_FLAGS := -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV))/bin/ninja \
             -DVEMO_BUILD_EXTENSION=OFF -DVEMO_BUILD_TESTS=ON

.PHONY: all install test test-python test-cpp demo bench asan tsan clean

all: install

# The packages of one of pyproject.toml's extras, named as the first argument.
EXTRA := import sys, tomllib; print(*tomllib.load(open("pyproject.toml", "rb")) \
         ["project"]["optional-dependencies"][sys.argv[1]])

$(VENV)/.ready: pyproject.toml
	$(PYTHON) -m venv $(VENV)
	$(VPY) -m pip install -q --disable-pip-version-check \
	    "scikit-build-core>=0.10" cmake ninja $$($(VPY) -c '$(EXTRA)' test)
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

# The C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: $(VENV)/.ready
	scripts/ensure-gtest
	$(CMAKE) -S . -B $(ASAN_BUILD) $(CPP_FLAGS) -DCMAKE_BUILD_TYPE=Debug \
	    -DVEMO_SANITIZE=address,undefined >/dev/null
	$(CMAKE) --build $(ASAN_BUILD)
	ASAN_OPTIONS=allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    $(CTEST) --test-dir $(ASAN_BUILD) --output-on-failure -j2

# The C++ tests under ThreadSanitizer.
tsan: $(VENV)/.ready
	scripts/ensure-gtest
	$(CMAKE) -S . -B $(TSAN_BUILD) $(CPP_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DVEMO_SANITIZE=thread >/dev/null
	$(CMAKE) --build $(TSAN_BUILD)
	$(CTEST) --test-dir $(TSAN_BUILD) --output-on-failure -j2

demo: install
	$(VPY) examples/demo.py

# The benchmark suite with its peer and floors (pyproject.toml's `bench` extra);
# BENCH_ARGS=--quick runs the small sizes only.
bench: install
	$(VPY) -m pip install -q --disable-pip-version-check $$($(VPY) -c '$(EXTRA)' bench)
	$(VPY) benchmarks/run.py $(BENCH_ARGS)

clean:
	rm -rf build .venv-*
