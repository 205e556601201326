"""Runs every Python example of README.md as written, as a user would on an
installed wheel: each in a fresh interpreter (this one, with -P, from a
temporary folder), on the virtual screen when there is no display. A timer
started by the example's mainloop() closes its window after a few seconds.

An example fails when it prints a traceback (its own, a Tk callback's or a
thread's), exits non-zero, never reaches mainloop() (its window would never
show) or is still running a minute later. Exits non-zero when any fails.

usage: python -P tools/check-readme.py README.md [SECONDS]
"""
from __future__ import annotations

import os
import re
import subprocess
import sys
import tempfile
import time

# Runs in the child before the example: the virtual screen, and mainloop()
# noted and closed by a timer. customtkinter's CTk.mainloop ends in tkinter's.
PRELUDE = r'''
import sys, tkinter
from tessarim.display import ensure_display
ensure_display()
_mainloop = tkinter.Misc.mainloop
_close_after = int(float(sys.argv[2]) * 1000)
def mainloop(self, n=0):
    print("[mainloop reached]", flush=True)
    self.after(_close_after, self._root().destroy)
    _mainloop(self, n)
tkinter.Misc.mainloop = mainloop
source = sys.argv[1]
del sys.argv[1:]
exec(compile(source, "<README example>", "exec"), {"__name__": "__main__"})
'''


def examples(readme: str) -> list[tuple[int, str]]:
    """The python blocks of the README, with the line each starts on."""
    found = []
    for match in re.finditer(r"^```python\n(.*?)^```", readme, re.S | re.M):
        found.append((readme.count("\n", 0, match.start()) + 2, match[1]))
    return found


def main() -> int:
    readme_path = sys.argv[1]
    seconds = sys.argv[2] if len(sys.argv) > 2 else "3"
    with open(readme_path, encoding="utf-8") as f:
        blocks = examples(f.read())
    if not blocks:
        print(f"no python example in {readme_path}")
        return 1
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        for line, source in blocks:
            start = time.monotonic()
            try:
                # A home folder of its own: customtkinter writes its fonts into ~/.fonts at
                # import, over files other Tk programs of the user may have mapped.
                run = subprocess.run([sys.executable, "-P", "-c", PRELUDE, source, seconds], cwd=work,
                                     env=dict(os.environ, HOME=work), capture_output=True, text=True,
                                     timeout=60)
                output, status = run.stdout + run.stderr, run.returncode
            except subprocess.TimeoutExpired as late:
                output = "".join(o.decode() if isinstance(o, bytes) else (o or "") for o in (late.stdout, late.stderr))
                status = "still running after 60 s"
            faults = []
            if "Traceback" in output:
                faults.append("a traceback")
            if status != 0:
                faults.append(f"exit status {status}")
            if "[mainloop reached]" not in output:
                faults.append("no mainloop(): its window never shows")
            verdict = "FAILED: " + ", ".join(faults) if faults else "ran"
            print(f"README.md line {line}: {verdict} ({time.monotonic() - start:.1f} s)")
            if faults:
                failed += 1
                print("    " + output.rstrip().replace("\n", "\n    "))
    print(f"README examples: {len(blocks) - failed} of {len(blocks)} ran as written")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
