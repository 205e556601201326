"""The module frame: its globals, the class Pandrel and many_days."""
import importlib
import inspect
import sys

import pytest


def test_module_globals_in_order(pandrel_module):
    names = [n for n in vars(pandrel_module) if not n.startswith("__")]
    assert names == ["os", "tkinter", "customtkinter", "pyautogui", "Image", "time", "partial", "json",
                     "webbrowser", "ctk", "calendar", "datetime", "tk", "random", "string", "Pandrel"]
    assert pandrel_module.customtkinter is pandrel_module.ctk
    assert pandrel_module.tkinter is pandrel_module.tk
    assert pandrel_module.__doc__ is None
    assert "Entry_Table" not in vars(pandrel_module)


def test_pandrel_class(Pandrel):
    assert Pandrel.__bases__ == (object,)
    assert Pandrel.__doc__ is None
    assert Pandrel.__module__ == "Halvorine通用模組.Pandrel"
    members = [n for n in vars(Pandrel) if n not in ("__module__", "__dict__", "__weakref__", "__doc__")]
    assert members == ["__init__", "CTkCalendar", "Chart_Matplotlib", "Entry_Table", "Set_Table", "Set_Button",
                       "many_days", "Draw_Map", "Set_CTkTextbox"]
    p = Pandrel()
    assert p.__version__ == "v2025_01_04_001"
    assert vars(p) == {"__version__": "v2025_01_04_001"}
    with pytest.raises(AttributeError):
        Pandrel.__version__
    assert Pandrel.Entry_Table is Pandrel().Entry_Table
    with pytest.raises(TypeError):
        Pandrel(1)


@pytest.mark.parametrize("year, month, days", [
    (2000, 2, 29), (1900, 2, 28), (2024, 2, 29), (2023, 2, 28), (-4, 2, 29), (-100, 2, 28),
    (2023, "4", 30), (2023, 1.9, 31), ("2024", "2", 29), (2023, 11, 30), (2023, 12, 31),
    (10**40, 2, 29), (10**40 + 100, 2, 28),
])
def test_many_days(Pandrel, year, month, days):
    result = Pandrel().many_days(year, month)
    assert result == days and type(result) is int


@pytest.mark.parametrize("month", [0, 13, -1, 10**30])
def test_many_days_rejects_a_month_outside_the_year(Pandrel, month):
    with pytest.raises(ValueError) as error:
        Pandrel().many_days(2023, month)
    assert str(error.value) == "輸入的月份錯誤 month = " + str(month)


def test_many_days_converts_before_checking(Pandrel):
    with pytest.raises(ValueError, match="invalid literal for int"):
        Pandrel().many_days("abc", 4)          # the year is converted even for April
    with pytest.raises(TypeError):
        Pandrel().many_days(None, 2)


def test_qualified_names_and_module(Pandrel):
    for cls_name in ["CTkCalendar", "Chart_Matplotlib", "Entry_Table", "Set_Table", "Set_Button", "Draw_Map",
                     "Set_CTkTextbox"]:
        cls = getattr(Pandrel, cls_name)
        assert cls.__qualname__ == "Pandrel." + cls_name
        assert cls.__module__ == "Halvorine通用模組.Pandrel"
        for name, member in vars(cls).items():
            if callable(member) and not isinstance(member, type):
                assert member.__qualname__ == f"Pandrel.{cls_name}.{name}"
                assert member.__module__ == "Halvorine通用模組.Pandrel"
                assert member.__doc__ is None
    assert Pandrel.many_days.__qualname__ == "Pandrel.many_days"
    assert Pandrel.__init__.__qualname__ == "Pandrel.__init__"


def run_python(code, tmp_path):
    """A fresh interpreter on the installed packages (the display is inherited)."""
    import subprocess

    return subprocess.run([sys.executable, "-P", "-c", code], cwd=tmp_path, capture_output=True, text=True,
                          timeout=120)


def test_load_imports_only_what_it_binds(tmp_path):
    result = run_python(
        "import sys, Halvorine通用模組\n"
        "print(sorted(m for m in ('matplotlib', 'numpy', 'tkintermapview', 'gpxpy') if m in sys.modules))",
        tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip().splitlines()[-1] == "[]"


def test_a_missing_package_fails_the_load_or_only_its_constructor(tmp_path):
    without_pyautogui = run_python(
        "import sys; sys.modules['pyautogui'] = None\n"
        "try:\n    import Halvorine通用模組\nexcept ImportError as e:\n"
        "    print(type(e).__name__, 'Halvorine通用模組.Pandrel' in sys.modules)", tmp_path)
    assert without_pyautogui.returncode == 0, without_pyautogui.stderr
    assert without_pyautogui.stdout.strip().splitlines()[-1] == "ModuleNotFoundError False"
    without_map = run_python(
        "import sys; sys.modules['tkintermapview'] = None\n"
        "import customtkinter, Halvorine通用模組 as H\n"
        "root = customtkinter.CTk()\n"
        "try:\n    H.Pandrel.Draw_Map(root)\nexcept ImportError as e:\n    print('ImportError', e.name)\n"
        "root.destroy()", tmp_path)
    assert without_map.returncode == 0, without_map.stderr
    assert without_map.stdout.strip().splitlines()[-1] == "ImportError tkintermapview"


def test_try_except_log_keeps_the_window_running(capsys):
    import Halvorine通用模組 as package

    def handler():
        raise ValueError("broken handler")

    log = package.Merrowfold().try_except_log
    assert log(lambda: 7)() == 7
    wrapped = log(handler)
    assert wrapped() is None
    err = capsys.readouterr().err
    assert "test_try_except_log_keeps_the_window_running.<locals>.handler" in err
    assert "Traceback (most recent call last)" in err and "ValueError: broken handler" in err
    with pytest.raises(KeyboardInterrupt):  # only Exception is caught
        log(lambda: (_ for _ in ()).throw(KeyboardInterrupt))()
