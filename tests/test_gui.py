"""The module GUI and its window: globals, Parameters, the product folder, the
widget tree, the handler bindings, the end signals and the window's lifetime."""
import gc
import importlib
import importlib.util
import os
import shutil
import subprocess
import sys
import tkinter
import types
import weakref

import customtkinter
import pytest
from PIL import Image

from gui_driver import HandlerLog, Window, cancel_all_after, channels, grid, kids, run_gui

GUI = importlib.import_module("GUI")
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(GUI.__file__)), "格式範本")
WORKBOOK = "檢索專利公開號.xlsx"


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    """Every window here keeps its product folder under a fresh home."""
    (tmp_path / "home").mkdir()
    monkeypatch.setenv("HOME", str(tmp_path / "home"))
    return tmp_path / "home"


def module_file(tmp_path, without=()):
    """A module folder whose resource folder lacks some files; returns a __file__ in it."""
    shutil.copytree(RESOURCES, tmp_path / "module" / "格式範本")
    for name in without:
        os.remove(tmp_path / "module" / "格式範本" / name)
    return str(tmp_path / "module" / "GUI.so")


class RecordingCTk(customtkinter.CTk):
    made = []

    def __init__(self):
        super().__init__()
        RecordingCTk.made.append(weakref.ref(self))


@pytest.fixture
def windows(monkeypatch):
    """Rebinds GUI.customtkinter to a copy whose CTk records the windows GUI makes
    (weakly): GUI reads the global when it runs."""
    proxy = types.ModuleType("customtkinter")
    proxy.__dict__.update(vars(customtkinter), CTk=RecordingCTk)
    monkeypatch.setattr(GUI, "customtkinter", proxy)
    RecordingCTk.made = []
    return RecordingCTk.made


# ----------------------------------------------------------------- the module

def test_module_globals_and_parameters():
    assert [n for n in vars(GUI) if not n.startswith("__")] == [
        "os", "tkinter", "customtkinter", "time", "webbrowser", "shutil", "Image", "subprocess", "Halvorine",
        "pandrel", "Entry_Table", "Set_Table", "Set_Button", "CTkCalendar", "Set_CTkTextbox", "try_except",
        "try_except_log", "Parameters", "GUI"]
    Halvorine = importlib.import_module("Halvorine通用模組")
    assert type(GUI.pandrel) is Halvorine.Pandrel and GUI.Set_Table is Halvorine.Pandrel.Set_Table
    assert type(GUI.try_except) is Halvorine.Merrowfold and GUI.try_except_log.__self__ is GUI.try_except

    first, second = GUI.Parameters(), GUI.Parameters()
    assert list(first.parameters.items()) == [
        ("顯示免用統一發票章", False), ("顯示負責人章", False), ("顯示日期", True), ("文字大小比例", 1),
        ("中文文字字體", "標楷體"), ("英文文字字體", "Calibri"), ("輸出專利說明書PDF檔案", True)]
    assert type(first.parameters["文字大小比例"]) is int
    first.parameters["中文文字字體"] = "新細明體"
    assert second.parameters["中文文字字體"] == "標楷體"
    with pytest.raises(TypeError):
        GUI.Parameters(1)


@pytest.mark.parametrize("args, kwargs", [((), {}), ((1,), {}), ((1, 2, 3), {}), ((1,), {"Queue_All_variable": 2})])
def test_gui_takes_exactly_the_two_mappings(args, kwargs, home):
    with pytest.raises(TypeError):
        GUI.GUI(*args, **kwargs)
    assert os.listdir(home) == []


def test_import_opens_no_window_and_touches_no_file(tmp_path):
    probe = "import os, tkinter, GUI; print(tkinter._default_root, os.path.exists(os.path.expanduser('~/Halvorine')))"
    out = subprocess.run([sys.executable, "-c", probe], env=dict(os.environ, HOME=str(tmp_path)), cwd=tmp_path,
                         capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines()[-1] == "None False"  # (pyautogui may chat before)


# ------------------------------------------------------ product folder and workbook

def test_the_workbook_is_copied_once_and_never_overwritten(home):
    run_gui()
    copy = home / "Halvorine" / "Tessarim" / WORKBOOK
    with open(os.path.join(RESOURCES, WORKBOOK), "rb") as original:
        assert copy.read_bytes() == original.read()
    stamp = copy.stat().st_mtime_ns
    run_gui()
    assert copy.stat().st_mtime_ns == stamp and os.listdir(copy.parent) == [WORKBOOK]
    copy.write_bytes(b"edited by the user")
    run_gui()
    assert copy.read_bytes() == b"edited by the user"


@pytest.mark.parametrize("break_it", ["no template", "file in the way"])
def test_a_workbook_that_cannot_be_copied_is_printed_and_the_window_opens(tmp_path, home, capsys, break_it):
    rebound = {}
    if break_it == "no template":
        rebound["__file__"] = module_file(tmp_path, without=[WORKBOOK])
    else:
        (home / "Halvorine").write_text("not a folder")
    opened = []
    run_gui(lambda w: opened.append(w.label()), **rebound)
    assert opened == ["輸出檢索報告"]
    printed = [line for line in capsys.readouterr().out.splitlines() if line.startswith(WORKBOOK + " --> ")]
    assert len(printed) == 1 and ("No such file" in printed[0] or "Not a directory" in printed[0])


# ----------------------------------------------------------------- widget tree

def test_the_widget_tree():
    seen = {}
    pads = ("row", "column", "padx", "pady", "sticky")

    def script(w):
        app = w.app
        seen["app"] = (app.title(), app.resizable(), [app.grid_columnconfigure(c)["weight"] for c in range(3)])
        seen["bands"] = [(grid(b, "columnspan", *pads), b.cget("fg_color")) for b in (w.FF, w.AA, w.BB, w.DD)]
        frame5 = kids(w.path_frame, customtkinter.CTkFrame)[0]
        frame2, frame6 = kids(w.BB, customtkinter.CTkFrame)[0], kids(w.DD, customtkinter.CTkFrame)[0]
        seen["frames"] = [
            (grid(w.path_frame, "row", "column", "sticky"), w.path_frame.cget("width"), w.path_frame.cget("height")),
            ({k: frame5.place_info()[k] for k in ("x", "y")}, frame5.cget("width"), frame5.cget("fg_color")),
            (grid(frame2, "row", "column", "sticky"), frame2.cget("width"), frame2.cget("height")),
            (grid(w.header, "row", "column", "rowspan", "sticky"), w.header.cget("height"), w.header.cget("fg_color")),
            (grid(frame6, "row", "column", "rowspan", "sticky"), frame6.cget("fg_color"))]
        seen["rows"] = [(e.place_info()["x"], e.place_info()["y"], e.get()) for e in w.path_entries()]
        out = w.output_button
        seen["output"] = (grid(out, *pads), out.cget("text"), out.cget("width"))
        seen["images"] = [(grid(b, *pads), b.cget("image").cget("size"), b.cget("fg_color"), b.cget("corner_radius"))
                          for b in (w.folder_button, w.help_button, w.settings_button, w.bin_button,
                                    w.template_button, w.patent_button)]
        sw = w.switch
        seen["switch"] = (grid(sw, *pads), sw.cget("text"), sw.get(), sw.cget("onvalue"), sw.cget("offvalue"),
                          sw.cget("font").cget("family"), sw.cget("font").cget("weight"))
        seen["header"] = [(grid(b, "column", "padx", "sticky"), b.cget("image").cget("size"), b.cget("state"))
                          for b in kids(w.header, customtkinter.CTkButton)]
        (title,) = kids(w.header, customtkinter.CTkLabel)
        seen["title"] = (grid(title, "column", "sticky"), title.cget("text"), title.cget("font").cget("size"))

    run_gui(script)
    assert seen["app"] == ("Tessarim", (0, 0), [1, 1, 1])
    t = "transparent"
    assert seen["bands"] == [
        ({"columnspan": 2, "row": 0, "column": 0, "padx": (10, 5), "pady": (10, 5), "sticky": "nesw"}, t),
        ({"columnspan": 1, "row": 1, "column": 0, "padx": (10, 5), "pady": (5, 0), "sticky": "nesw"}, t),
        ({"columnspan": 1, "row": 1, "column": 1, "padx": (0, 10), "pady": (5, 0), "sticky": "nesw"}, t),
        ({"columnspan": 2, "row": 2, "column": 0, "padx": 10, "pady": (5, 10), "sticky": "ew"}, t)]
    assert seen["frames"] == [({"row": 0, "column": 0, "sticky": "new"}, 395, 110), ({"x": "10", "y": "30"}, 395, t),
                              ({"row": 0, "column": 0, "sticky": "new"}, 300, 110),
                              ({"row": 0, "column": 0, "rowspan": 2, "sticky": "nesw"}, 10, t),
                              ({"row": 0, "column": 0, "rowspan": 2, "sticky": "nesw"}, t)]
    assert seen["rows"] == [("130", "10", ""), ("130", "41", "")]
    assert seen["output"] == ({"row": 0, "column": 0, "padx": 50, "pady": 10, "sticky": ""}, "輸出檢索報告", 140)

    def at(column, padx, pady=0):
        return {"row": 0, "column": column, "padx": padx, "pady": pady, "sticky": "ne"}

    assert seen["images"] == [(at(1, (178, 55)), (25, 25), t, 6), (at(1, (78, 105)), (25, 25), t, 6),
                              (at(2, (5, 0)), (25, 25), t, 6), (at(0, (20, 5)), (20, 20), "#2b2b2b", 0),
                              (at(0, (10, 5), (38, 5)), (25, 25), "#2b2b2b", 0),
                              (at(0, (10, 5), (72, 5)), (25, 25), "#2b2b2b", 0)]
    assert seen["switch"] == ({"row": 0, "column": 1, "padx": (210, 0), "pady": (40, 0), "sticky": "w"},
                              "輸出專利說明書", "off", "on", "off", "Microsoft JhengHei", "bold")
    assert seen["header"] == [({"column": 0, "padx": (0, 5), "sticky": "w"}, (50, 50), "disabled"),
                              ({"column": 1, "padx": (0, 15), "sticky": "w"}, (120, 30), "disabled")]
    assert seen["title"] == ({"column": 2, "sticky": "nesw"}, "Tessarim", 16)


def test_the_settings_button_overlaps_no_other_header_control():
    boxes = []

    def script(w):
        w.app.update()
        for widget in (w.settings_button, w.folder_button, w.help_button, w.switch):
            x, y = widget.winfo_rootx(), widget.winfo_rooty()
            boxes.append((x, y, x + widget.winfo_width(), y + widget.winfo_height()))

    run_gui(script)
    (x0, y0, x1, y1), others = boxes[0], boxes[1:]
    assert x1 - x0 > 20 and y1 - y0 > 20
    for a0, b0, a1, b1 in others:
        assert x1 <= a0 or a1 <= x0 or y1 <= b0 or b1 <= y0


@pytest.mark.parametrize("missing, logos, title", [("logo.png", 0, 0), ("logo(僅文字).png", 1, 0), ("logo.ico", 2, 1)])
def test_a_missing_header_image_costs_only_the_header(tmp_path, capsys, missing, logos, title):
    seen = []

    def script(w):
        seen.append((len(kids(w.header, customtkinter.CTkButton)), len(kids(w.header, customtkinter.CTkLabel))))
        w.press_output()

    _, log = run_gui(script, __file__=module_file(tmp_path, without=[missing]))
    assert seen == [(logos, title)] and log.errors == []
    if missing != "logo.ico":  # (the .ico is the Windows icon)
        assert f"No such file or directory: '{tmp_path / 'module' / '格式範本' / missing}'" in capsys.readouterr().out


def test_the_window_icon_is_the_logo(tmp_path, monkeypatch, windows, capsys):
    icons = []
    monkeypatch.setattr(RecordingCTk, "iconphoto", lambda self, default, *images: icons.append(
        (default, [(i.width(), i.height()) for i in images])), raising=False)
    run_gui()
    with Image.open(os.path.join(RESOURCES, "logo.png")) as logo:
        assert icons == [(True, [logo.size])] and capsys.readouterr().out == ""


@pytest.mark.parametrize("missing", ["資料夾.png", "垃圾桶.png", "問號001.png"])
def test_a_missing_button_image_fails_gui_before_the_main_loop(tmp_path, windows, missing):
    queues, events = channels()
    with pytest.raises(FileNotFoundError):
        run_gui(lambda w: pytest.fail("no main loop"), queues, events, __file__=module_file(tmp_path, [missing]))
    assert queues["end"].empty() and not events["end"].is_set() and queues["起始數據"].empty()
    app = windows[0]()  # the half-built window stays, as the host would find it
    cancel_all_after(app)
    app.destroy()


def test_the_window_runs_on_the_seven_resource_files(tmp_path):
    # The gear's picture is the window's own: without it the gear is a text
    # button that still opens the settings window, and the end signals go out.
    queues, events = channels()
    seen = []

    def script(w):
        gear = w.settings_button
        seen.append((gear.cget("text"), gear.cget("image")))
        before = len(w.settings_windows())
        w.press(gear)
        seen.append(len(w.settings_windows()) - before)

    _, log = run_gui(script, queues, events, __file__=module_file(tmp_path, without=["設定.png"]))
    assert len(os.listdir(tmp_path / "module" / "格式範本")) == 7
    assert seen == [("設定", None), 1] and log.errors == []
    assert queues["end"].get_nowait() is None and events["end"].is_set()


class Stop(BaseException):
    """An error that is no Exception."""


def test_the_product_folders_ignore_errors_of_any_kind(home):
    proxy = types.ModuleType("os")
    proxy.__dict__.update(vars(os))
    tried = []

    def mkdir(path, *args, **kwargs):
        tried.append(path)
        raise Stop(path)

    proxy.mkdir = mkdir
    opened = []
    run_gui(lambda w: opened.append(w.label()), os=proxy)
    assert opened == ["輸出檢索報告"] and len(tried) == 2
    assert tried == [str(home / "Halvorine") + "/", str(home / "Halvorine" / "Tessarim") + "/"]


# ------------------------------------------------------------ handler bindings

def test_every_handler_is_wrapped_as_it_is_defined_except_the_switch():
    log, seen = HandlerLog(), {}
    buttons = ["output_button", "bin_button", "settings_button", "folder_button", "template_button",
               "patent_button", "help_button"]

    def script(w):
        seen.update({b: getattr(w, b)._command for b in buttons}, switch=w.switch._command)
        w.press(w.settings_button)
        seen["confirm"] = kids(w.settings_windows()[0], customtkinter.CTkButton)[0]._command

    run_gui(script, log=log)
    handlers = ["button_event_001", "button_event_003", "button_event_004", "button_event_005", "button_event_006",
                "button_event_007", "button_event_008", "aa"]
    assert log.names() == ["GUI.<locals>." + h for h in handlers]
    assert [f.__name__ for f in log.wrapped] == handlers and {f.__module__ for f in log.wrapped} == {"GUI"}
    for button, handler in zip(buttons, log.wrapped):
        assert seen[button].__wrapped__ is handler  # the buttons hold what try_except_log returned
    for name in ("switch", "confirm"):
        assert not hasattr(seen[name], "__wrapped__") and seen[name] not in log.wrapped
    assert seen["switch"].__qualname__ == "GUI.<locals>.switch_event_001"
    assert seen["confirm"].__qualname__ == "GUI.<locals>.button_event_004.<locals>.button_event_004_A"


# ----------------------------------------------------------------- closing

def test_closing_sends_the_three_end_signals_in_order():
    journal = []

    class Channel:
        def __init__(self, key):
            self.key = key

        def put(self, item):
            journal.append(("put", self.key, item))

        def set(self):
            journal.append(("set", self.key))

        def empty(self):
            return True

        def is_set(self):
            return False

    queues = {k: Channel(k) for k in ("起始數據", "get_receipt", "end")}
    events = {k: Channel(k) for k in ("get_receipt", "end")}
    result, _ = run_gui(lambda w: w.tick(3), queues, events, keywords=True)
    assert result is None
    assert journal == [("put", "end", None), ("set", "end"), ("put", "起始數據", None)]


def test_run_as_the_main_program(monkeypatch):
    """Loaded under the name __main__, the module opens the window with "X" for
    both mappings and, when it closes, sends nothing."""
    log, seen = HandlerLog(), {}
    monkeypatch.setattr(importlib.import_module("Halvorine通用模組").Merrowfold, "try_except_log",
                        lambda self, function: log(function))

    def mainloop(app):
        w = Window(app, "X", "X")
        w.tick(2)
        w.press(w.output_button)
        seen.update(label=w.label(), log=w.log_lines())
        cancel_all_after(app)
        app.destroy()

    monkeypatch.setattr(customtkinter.CTk, "mainloop", mainloop)
    monkeypatch.setattr(tkinter, "_default_root", None)  # the window is the process's root, as in a host
    loader_info = importlib.util.spec_from_file_location("__main__", GUI.__file__)
    module = importlib.util.module_from_spec(loader_info)
    loader_info.loader.exec_module(module)  # runs GUI("X", "X"): a close signal would fail on "X"["end"]
    assert module.__name__ == "__main__" and seen == {"label": "輸出檢索報告", "log": []}
    # the output handler fails at its first step; the poller's failures stay inside it
    assert [(name, type(e)) for name, e in log.errors] == [("GUI.<locals>.button_event_001", TypeError)]


def test_nothing_of_the_window_outlives_gui(windows):
    refs = []

    def script(w):
        refs.append(weakref.ref(w.output_button._command.__wrapped_handler__))  # Merrowfold keeps the handler
        w.press(w.settings_button)
        refs.append(weakref.ref(w.settings_windows()[0]))
        w.tick(2)

    run_gui(script, log=False)
    gc.collect()
    assert [ref() for ref in refs + windows] == [None, None, None]
