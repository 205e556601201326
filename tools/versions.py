"""Prints the releases of the runtime dependencies (and pytest) installed in
the running interpreter's environment, one line: what a test run used."""
from __future__ import annotations

import importlib.metadata as metadata
import re
import sys

requires = metadata.requires("tessarim") or []
names = [re.split(r"[ ;<>=!~\[]", r, maxsplit=1)[0] for r in requires if "extra ==" not in r]
label = sys.argv[1] if len(sys.argv) > 1 else "installed"
versions = " ".join(f"{n}=={metadata.version(n)}" for n in names + ["pytest"])
print(f"dependencies ({label}, CPython {sys.version.split()[0]}): {versions}")
