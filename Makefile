# Two commands set up and run everything on a fresh machine:
#   make run    the Tessarim window with the reference host and worker
#   make test   the test suite
VENV    ?= .venv
PYTHON  ?= python3
PY      := $(VENV)/bin/python
APT_PACKAGES := xvfb xauth fonts-noto-cjk

.PHONY: setup system-packages venv build test run bench clean

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
	$(PY) -m pip install -q "setuptools>=75" "wheel>=0.44" "scikit-build-core>=0.10" "pybind11>=2.12"

# Builds both extension modules and installs them with the packages into the
# virtual environment; the build folder is kept, so rebuilds are incremental.
build: $(PY)
	@mkdir -p build
	flock build/.lock $(PY) -m pip install -q --no-build-isolation ".[test]"

test: setup
	$(VENV)/bin/pytest tests

run: setup
	$(PY) -P -m tessarim   # -P: the installed packages, not the source folders here

bench: setup
	$(PY) -P bench/bench_pandrel.py
	$(PY) -P bench/bench_calendar.py
	$(PY) -P bench/bench_gui.py
	$(PY) -P bench/bench_entry_table.py

	$(PY) -P bench/bench_chart.py

	$(PY) -P bench/bench_map.py

clean:
	rm -rf build $(VENV)
