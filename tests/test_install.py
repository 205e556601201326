"""What the suite tests is the installation (`pip install .` or a wheel), never
the checkout's source folders: the modules come from the interpreter's
site-packages, laid out with their stubs, markers and resources."""
import importlib
import sysconfig
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
SITE = {Path(sysconfig.get_path(name)).resolve() for name in ("purelib", "platlib")}


def test_modules_come_from_site_packages():
    for name, folder in [("Halvorine通用模組", "Halvorine通用模組"), ("Halvorine通用模組.Pandrel", "Halvorine通用模組"),
                         ("GUI", "model"), ("tessarim", "tessarim")]:
        path = Path(importlib.import_module(name).__file__).resolve()
        assert path.parent.name == folder and path.parent.parent in SITE, (name, path)


def test_installed_files_are_the_checkouts():
    site = Path(importlib.import_module("GUI").__file__).resolve().parents[1]
    same = {name: name for name in ["Halvorine通用模組/__init__.pyi", "Halvorine通用模組/Pandrel.pyi",
                                    "Halvorine通用模組/py.typed", "model/GUI.pyi", "model/py.typed"]}
    same["GUI-stubs/__init__.pyi"] = "model/GUI.pyi"
    same["tessarim-model.pth"] = "packaging/tessarim-model.pth"
    # README's map example draws the sample tracks from the package: gpxpy's files, unchanged.
    for track in ("korita-zbevnica.gpx", "cerknicko-jezero.gpx"):
        same[f"tessarim/tracks/{track}"] = f"tests/data/gpx/{track}"
    resources = sorted(p.relative_to(ROOT).as_posix() for p in (ROOT / "model" / "格式範本").iterdir())
    assert resources and sorted(p.name for p in (site / "model" / "格式範本").iterdir()) == [
        Path(r).name for r in resources]
    same.update({name: name for name in resources})
    for installed, source in same.items():
        assert (site / installed).read_bytes() == (ROOT / source).read_bytes(), installed
