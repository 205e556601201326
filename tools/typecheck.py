"""make typecheck: the installed stubs against the installed modules, and
README's Python examples under mypy --strict.

Run with `python -P` from the repository root: everything is checked as
installed in the virtual environment (the stubs and py.typed markers beside
the built modules in site-packages), never the checkout's source folders.
Exits non-zero when either check fails.
"""
from __future__ import annotations

import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
CONFIG = ROOT / "pyproject.toml"
# A package is checked with its submodules (Halvorine通用模組.Pandrel).
MODULES = ["Halvorine通用模組", "GUI"]

# Every name stubtest may report, with the reason it is not a fault. Keep
# this empty unless a difference cannot be expressed in a stub.
ALLOWLIST: list[str] = []


def readme_examples(text: str) -> list[str]:
    """The bodies of README's ```python blocks, in order."""
    return re.findall(r"^```python\n(.*?)^```$", text, flags=re.MULTILINE | re.DOTALL)


def main() -> int:
    from tessarim.display import ensure_display

    ensure_display()  # importing the modules needs a display (tkinter, pyautogui)
    work = Path(tempfile.mkdtemp(prefix="tessarim-typecheck-"))
    env = dict(os.environ)
    failed = False

    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, dir=work) as allow:
        allow.write("\n".join(ALLOWLIST) + "\n")
    stubtest = [sys.executable, "-P", "-m", "mypy.stubtest", "--mypy-config-file", str(CONFIG),
                "--allowlist", allow.name, *MODULES]
    print("stubtest:", " ".join(MODULES), flush=True)
    if subprocess.run(stubtest, cwd=work, env=env).returncode != 0:
        failed = True

    examples = readme_examples((ROOT / "README.md").read_text(encoding="utf-8"))
    if not examples:
        print("README.md has no python example to check")
        return 1
    files = []
    for number, body in enumerate(examples, 1):
        path = work / f"readme_example_{number}.py"
        path.write_text(body, encoding="utf-8")
        files.append(str(path))
    print(f"mypy --strict: {len(files)} example(s) from README.md", flush=True)
    mypy = [sys.executable, "-P", "-m", "mypy", "--strict", "--config-file", str(CONFIG),
            "--no-incremental", *files]
    if subprocess.run(mypy, cwd=work, env=env).returncode != 0:
        failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
