"""What the benchmarks here share: a virtual screen when there is none, the
installed kit on a customtkinter root, sides measured in alternation, in this
process or each measurement in a fresh one, and an earlier build measured
beside this one (--baseline DIR). Prints nothing itself."""
import contextlib
import importlib
import json
import os
import statistics
import subprocess
import sys

from tessarim.display import ensure_display  # the installed package


@contextlib.contextmanager
def screen():
    """The display for Tk: the real one, or a virtual screen for the duration."""
    virtual = ensure_display()
    try:
        yield
    finally:
        if virtual is not None:
            virtual.close()


@contextlib.contextmanager
def kit_root(geometry=None):
    """(customtkinter, Pandrel, root): the kit's class and a shown root, destroyed afterwards."""
    import customtkinter

    pandrel = importlib.import_module("Halvorine通用模組.Pandrel").Pandrel
    root = customtkinter.CTk()
    if geometry:
        root.geometry(geometry)
    root.update()
    try:
        yield customtkinter, pandrel, root
    finally:
        root.destroy()


def alternating(rounds, sides):
    """Calls each side once a round, the order reversed every other round so
    neither side always goes first; {name: [result, ...]}."""
    results = {name: [] for name in sides}
    order = list(sides)
    for round_ in range(rounds):
        for name in (order if round_ % 2 == 0 else order[::-1]):
            results[name].append(sides[name]())
    return results


def in_child(script, *args, pythonpath=None):
    """Runs `script` (a path) with `args` in a fresh interpreter and returns the
    JSON object it prints last, or {"failed": ...} when it does not end well.
    `pythonpath` goes before the installed packages (an earlier build)."""
    env = dict(os.environ)
    if pythonpath:
        env["PYTHONPATH"] = pythonpath
    child = subprocess.run([sys.executable, "-P", script, *map(str, args)], capture_output=True, text=True, env=env)
    lines = child.stdout.strip().splitlines()
    if child.returncode != 0 or not lines:
        what = f"signal {-child.returncode}" if child.returncode < 0 else f"exit status {child.returncode}"
        return {"failed": what, "stderr": child.stderr[-400:]}
    return json.loads(lines[-1])


def baseline_option(parser):
    """--baseline DIR: a folder an earlier build of the kit is installed in
    (pip install --no-deps --target DIR <its wheel>), measured beside this one."""
    parser.add_argument("--baseline", metavar="DIR", help="a folder with an earlier build of the kit installed")


def builds(baseline, script, *args):
    """The sides of one measurement, each run in a fresh process: "this build",
    and "earlier build" (the same script with `baseline` first on the path)
    when a baseline is given."""
    sides = {"this build": lambda: in_child(script, *args)}
    if baseline:
        sides["earlier build"] = lambda: in_child(script, *args, pythonpath=baseline)
    return sides



def earlier_ratio(this_runs, earlier_runs, k, unit="ms"):
    """The line comparing this build with the earlier one on measurement k of
    each run: the ratio of the medians, and of the rounds paired in order."""
    this = statistics.median(run[k] for run in this_runs)
    earlier = statistics.median(run[k] for run in earlier_runs)
    paired = [a[k] / b[k] for a, b in zip(this_runs, earlier_runs)]
    return (f"  this build / earlier build: {this / earlier:.3f} (earlier {earlier * 1000:.2f} {unit}; round by "
            f"round {statistics.median(paired):.3f}, {min(paired):.3f} .. {max(paired):.3f}) (target <= 1.02)")
