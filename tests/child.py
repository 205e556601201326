"""Runs a script in a child interpreter, for what could end the whole process
when it goes wrong: X ends a process that asks for a window past its limits,
and a thread that meets Tk wrongly crashes, aborts or freezes the interpreter.
A crash or a freeze then fails one test, never the suite."""
import json
import os
import subprocess
import sys

# What every child script starts with: a screen and customtkinter.
START = """
import json, sys, threading, time
from tessarim.display import ensure_display
screen = ensure_display()
import customtkinter
"""

# For a chart updated on a daemon thread when the program ends: after a real
# `add`, `python_only(charts, name)` gives the chart axes, a figure and a
# canvas made of Python alone, so the kit's `update` runs Python frames, one
# short Tk call through tkinter and the kit's own. matplotlib's C++ calls back
# into Python (a path's vertices, a font file's bytes), and a daemon thread
# that the interpreter ends inside such a call crashes the process, the same
# program in plain Python as much as with the kit: bench/bench_exit.py counts
# both sides; a test of the kit's own frames at exit cannot.
PYTHON_ONLY_CHART = """
class PythonOnlyChart:
    def __init__(self, widget):
        self.widget, self.points = widget, []
    def clear(self):
        self.points = []
    def get_facecolor(self):
        return "#2b2b2b"
    def set_facecolor(self, colour):
        pass
    def plot(self, x, y):
        self.points = [(float(a), float(b)) for a, b in zip(x, y)]
    def tick_params(self, **options):
        pass
    def draw(self):
        self.widget.winfo_width()
def python_only(charts, name):
    charts.ax[name] = charts.fig[name] = charts.canvas[name] = PythonOnlyChart(charts.canvas[name].get_tk_widget())
"""

# ... then, for the size tests, customtkinter at the widget scaling given as
# the first argument, and the kit.
PRELUDE = START + """
customtkinter.set_widget_scaling(float(sys.argv[1]))
from Halvorine通用模組 import Pandrel
root = customtkinter.CTk()
def report(**result):
    print(json.dumps(result), flush=True)
"""


def run(script, *args, malloc=None, cwd=None, timeout=180):
    """Runs `script` with `args` in a new interpreter (with PYTHONMALLOC=`malloc`
    when given); the finished process and the JSON objects it printed, one a line."""
    env = dict(os.environ, PYTHONMALLOC=malloc) if malloc else None
    done = subprocess.run([sys.executable, "-P", "-c", script, *map(str, args)], capture_output=True, text=True,
                          timeout=timeout, cwd=cwd, env=env)
    return done, [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]


def run_child(script, scaling, *args, cwd, timeout=180):
    """Runs PRELUDE + script with `scaling` and `args`; returns the JSON lines it
    reported, after checking that it ended normally."""
    done, reports = run(PRELUDE + script, scaling, *args, cwd=cwd, timeout=timeout)
    assert done.returncode == 0, done.stdout + done.stderr
    return reports
