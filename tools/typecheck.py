"""make typecheck: the installed stubs against the installed modules, a
docstring on every public name of the stubs, and README's Python examples
under mypy --strict.

Run with `python -P` from the repository root: everything is checked as
installed in the virtual environment (the stubs and py.typed markers beside
the built modules in site-packages), never the checkout's source folders.
Exits non-zero when any check fails.
"""
from __future__ import annotations

import ast
import importlib.util
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


# Underscored names that callers use all the same, so they need a docstring too.
DOCUMENTED_PRIVATE = {"_draw_gpx"}


def installed_stubs() -> list[Path]:
    """The stubs as installed: the package's two, GUI's beside the module, and
    the stub-only package GUI-stubs that mypy reads for GUI."""
    package = importlib.util.find_spec("Halvorine通用模組")
    gui = importlib.util.find_spec("GUI")
    assert package and package.submodule_search_locations and gui and gui.origin
    folder = Path(list(package.submodule_search_locations)[0])
    return [folder / "__init__.pyi", folder / "Pandrel.pyi", Path(gui.origin).parent / "GUI.pyi",
            folder.parent / "GUI-stubs" / "__init__.pyi"]


def undocumented(source: str) -> list[str]:
    """The public classes, functions and methods of a stub (and the stub itself,
    as "<module>") that have no docstring. Editors show a stub's docstrings on
    hover. Public: not underscored, or in DOCUMENTED_PRIVATE; dunder methods and
    the members of an underscored class are not looked at (a class's docstring
    describes its constructor's arguments)."""
    tree = ast.parse(source)

    def documented(node: ast.Module | ast.ClassDef | ast.FunctionDef | ast.AsyncFunctionDef) -> bool:
        return bool((ast.get_docstring(node) or "").strip())

    missing = [] if documented(tree) else ["<module>"]

    def visit(body: list[ast.stmt], prefix: str) -> None:
        for node in body:
            if isinstance(node, ast.If):
                visit(node.body + node.orelse, prefix)
            if not isinstance(node, (ast.ClassDef, ast.FunctionDef, ast.AsyncFunctionDef)):
                continue
            if node.name.startswith("_") and node.name not in DOCUMENTED_PRIVATE:
                continue
            if not documented(node):
                missing.append(prefix + node.name)
            if isinstance(node, ast.ClassDef):
                visit(node.body, f"{prefix}{node.name}.")

    visit(tree.body, "")
    return missing


def check_docstrings() -> bool:
    failed = False
    stubs = installed_stubs()
    for stub in stubs:
        if not stub.is_file():
            print(f"{stub}: not installed")
            failed = True
            continue
        for name in undocumented(stub.read_text(encoding="utf-8")):
            print(f"{stub}: {name} has no docstring")
            failed = True
    print(f"docstrings: {len(stubs)} stub(s)", "incomplete" if failed else "complete", flush=True)
    return not failed


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
    if not check_docstrings():
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
