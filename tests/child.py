"""Runs a script in a child interpreter on its own virtual screen, for what
could end the whole process when it goes wrong: X ends a process that asks for
a window past its limits."""
import json
import subprocess
import sys

# What every child script starts with: a screen, customtkinter at the widget
# scaling given as the first argument, and the kit.
PRELUDE = """
import json, sys
from tessarim.display import ensure_display
screen = ensure_display()
import customtkinter
customtkinter.set_widget_scaling(float(sys.argv[1]))
from Halvorine通用模組 import Pandrel
root = customtkinter.CTk()
def report(**result):
    print(json.dumps(result), flush=True)
"""


def run_child(script, scaling, *args, cwd, timeout=180):
    """Runs PRELUDE + script with `scaling` and `args`; returns the JSON lines it
    reported, after checking that it ended normally."""
    done = subprocess.run([sys.executable, "-P", "-c", PRELUDE + script, str(scaling), *map(str, args)],
                          capture_output=True, text=True, timeout=timeout, cwd=cwd)
    assert done.returncode == 0, done.stdout + done.stderr
    return [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]
