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

from gui_driver import HandlerLog, channels, run_gui

GUI = importlib.import_module("GUI")
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(GUI.__file__)), "格式範本")
WORKBOOK = "檢索專利公開號.xlsx"


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    """Every window of these tests keeps its product folder under a fresh home."""
    folder = tmp_path / "home"
    folder.mkdir()
    monkeypatch.setenv("HOME", str(folder))
    return folder


def product(home):
    return home / "Halvorine" / "Tessarim"


def module_copy(tmp_path, without=()):
    """A stand-in for the module's folder: a copy of the resource folder minus
    some files, with a fake module file beside it (for GUI.__file__)."""
    folder = tmp_path / "module"
    shutil.copytree(RESOURCES, folder / "格式範本")
    for name in without:
        os.remove(folder / "格式範本" / name)
    return str(folder / "GUI.so")


class RecordingCTk(customtkinter.CTk):
    """Remembers the windows made (weakly), to reach a window GUI never runs."""
    made = []

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        RecordingCTk.made.append(weakref.ref(self))


def ctk_recording_windows():
    """customtkinter as GUI sees it, with CTk replaced by RecordingCTk."""
    proxy = types.ModuleType("customtkinter")
    proxy.__dict__.update(vars(customtkinter))
    proxy.CTk = RecordingCTk
    RecordingCTk.made = []
    return proxy


# ----------------------------------------------------------------- the module

def test_module_globals_are_bound_in_order():
    names = [n for n in vars(GUI) if not n.startswith("__")]
    assert names == ["os", "tkinter", "customtkinter", "time", "webbrowser", "shutil", "Image", "subprocess",
                     "Halvorine", "pandrel", "Entry_Table", "Set_Table", "Set_Button", "CTkCalendar",
                     "Set_CTkTextbox", "try_except", "try_except_log", "Parameters", "GUI"]
    Halvorine = importlib.import_module("Halvorine通用模組")
    assert GUI.Halvorine is Halvorine
    assert type(GUI.pandrel) is Halvorine.Pandrel
    for name in ("Entry_Table", "Set_Table", "Set_Button", "CTkCalendar", "Set_CTkTextbox"):
        assert getattr(GUI, name) is getattr(Halvorine.Pandrel, name)
    assert type(GUI.try_except) is Halvorine.Merrowfold
    assert GUI.try_except_log.__self__ is GUI.try_except
    assert GUI.Image is importlib.import_module("PIL.Image")
    assert GUI.GUI.__qualname__ == "GUI" and GUI.GUI.__module__ == "GUI"


def test_parameters():
    first, second = GUI.Parameters(), GUI.Parameters()
    assert list(first.parameters.items()) == [
        ("顯示免用統一發票章", False), ("顯示負責人章", False), ("顯示日期", True), ("文字大小比例", 1),
        ("中文文字字體", "標楷體"), ("英文文字字體", "Calibri"), ("輸出專利說明書PDF檔案", True)]
    assert type(first.parameters["文字大小比例"]) is int
    first.parameters["中文文字字體"] = "新細明體"
    assert second.parameters["中文文字字體"] == "標楷體"
    assert vars(first) == {"parameters": first.parameters}
    assert GUI.Parameters.__bases__ == (object,) and GUI.Parameters.__module__ == "GUI"
    for args, kwargs in [((1,), {}), ((), {"x": 1})]:
        with pytest.raises(TypeError):
            GUI.Parameters(*args, **kwargs)


@pytest.mark.parametrize("args, kwargs", [((), {}), ((1,), {}), ((1, 2, 3), {}), ((1,), {"Queue_All_variable": 2}),
                                          ((), {"queues": 1, "events": 2})])
def test_gui_takes_exactly_the_two_mappings(args, kwargs, home):
    with pytest.raises(TypeError):
        GUI.GUI(*args, **kwargs)
    assert not (home / "Halvorine").exists()


def test_import_opens_no_window_and_touches_no_file(tmp_path):
    probe = ("import os, tkinter, GUI; "
             "print(tkinter._default_root is None, os.path.exists(os.path.expanduser('~/Halvorine')))")
    env = dict(os.environ, HOME=str(tmp_path))
    out = subprocess.run([sys.executable, "-c", probe], env=env, cwd=tmp_path, capture_output=True, text=True,
                         timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines()[-1].split() == ["True", "False"]  # pyautogui may chat before
    assert not (tmp_path / "Halvorine").exists()


def test_gui_accepts_its_mappings_by_keyword():
    queues, events = channels()
    seen = []
    run = run_gui(lambda w: seen.append(w.queues), queues, events, keywords=True)
    assert run.result is None and seen == [queues]
    assert queues["end"].get_nowait() is None and events["end"].is_set()


# ------------------------------------------------------ product folder and workbook

def test_first_run_makes_the_product_folder_and_copies_the_workbook_once(home):
    run_gui()
    copy = product(home) / WORKBOOK
    with open(os.path.join(RESOURCES, WORKBOOK), "rb") as original:
        assert copy.read_bytes() == original.read()
    listing = sorted(os.listdir(home / "Halvorine")), sorted(os.listdir(product(home)))
    stamp = copy.stat().st_mtime_ns

    run_gui()
    assert (sorted(os.listdir(home / "Halvorine")), sorted(os.listdir(product(home)))) == listing
    assert copy.stat().st_mtime_ns == stamp

    copy.write_bytes(b"edited by the user")
    run_gui()
    assert copy.read_bytes() == b"edited by the user"


def test_a_workbook_that_cannot_be_copied_is_reported_and_the_window_opens(tmp_path, home, capsys):
    fake_file = module_copy(tmp_path, without=[WORKBOOK])
    opened = []
    run = run_gui(lambda w: opened.append(w.label()), __file__=fake_file)
    out = capsys.readouterr().out
    line = next(l for l in out.splitlines() if l.startswith(WORKBOOK + " --> "))
    assert "No such file or directory" in line and WORKBOOK in line[len(WORKBOOK):]
    assert opened == ["輸出檢索報告"] and run.log.errors == []
    assert product(home).is_dir() and not (product(home) / WORKBOOK).exists()


def test_an_unusable_home_folder_is_no_reason_not_to_open_the_window(home, capsys):
    (home / "Halvorine").write_text("a file where the folder should be")
    opened = []
    run_gui(lambda w: opened.append(True))
    assert opened == [True]
    assert WORKBOOK + " --> " in capsys.readouterr().out
    assert (home / "Halvorine").read_text() == "a file where the folder should be"


# ----------------------------------------------------------------- widget tree

def grid_of(widget, *keys):
    info = widget.grid_info()
    return {k: info[k] for k in keys}


def test_window_and_band_layout():
    seen = {}

    def script(w):
        app = w.app
        seen["title"] = app.title()
        seen["resizable"] = tuple(bool(x) for x in app.resizable())
        seen["weights"] = [app.grid_columnconfigure(c)["weight"] for c in range(3)]
        seen["bands"] = [grid_of(b, "row", "column", "columnspan", "padx", "pady", "sticky") for b in
                         (w.FF, w.AA, w.BB, w.DD)]
        seen["band_colors"] = {b.cget("fg_color") for b in (w.FF, w.AA, w.BB, w.DD)}
        frame1 = w.path_frame
        (frame5,) = [c for c in frame1.winfo_children() if isinstance(c, customtkinter.CTkFrame)]
        (frame2,) = [c for c in w.BB.winfo_children() if isinstance(c, customtkinter.CTkFrame)]
        (frame4,) = [c for c in w.FF.winfo_children() if isinstance(c, customtkinter.CTkFrame)]
        (frame6,) = [c for c in w.DD.winfo_children() if isinstance(c, customtkinter.CTkFrame)]
        seen["frame1"] = (grid_of(frame1, "row", "column", "sticky"), frame1.cget("width"), frame1.cget("height"))
        place = frame5.place_info()
        seen["frame5"] = (place["x"], place["y"], frame5.cget("width"), frame5.cget("height"), frame5.cget("fg_color"))
        seen["frame2"] = (grid_of(frame2, "row", "column", "sticky"), frame2.cget("width"), frame2.cget("height"))
        seen["frame4"] = (grid_of(frame4, "row", "column", "rowspan", "sticky"), frame4.cget("height"),
                          frame4.cget("fg_color"))
        seen["frame6"] = (grid_of(frame6, "row", "column", "rowspan", "sticky"), frame6.cget("fg_color"))
        seen["log_parent"] = w.textbox.master is frame6
        seen["rows"] = [(e.place_info()["x"], e.place_info()["y"], e.get()) for e in w.path_entries()]

    run_gui(script)
    assert seen["title"] == "Tessarim"
    assert seen["resizable"] == (False, False)
    assert seen["weights"] == [1, 1, 1]
    assert seen["bands"] == [
        {"row": 0, "column": 0, "columnspan": 2, "padx": (10, 5), "pady": (10, 5), "sticky": "nesw"},
        {"row": 1, "column": 0, "columnspan": 1, "padx": (10, 5), "pady": (5, 0), "sticky": "nesw"},
        {"row": 1, "column": 1, "columnspan": 1, "padx": (0, 10), "pady": (5, 0), "sticky": "nesw"},
        {"row": 2, "column": 0, "columnspan": 2, "padx": 10, "pady": (5, 10), "sticky": "ew"},
    ]
    assert seen["band_colors"] == {"transparent"}
    assert seen["frame1"] == ({"row": 0, "column": 0, "sticky": "new"}, 395, 110)
    assert seen["frame5"] == ("10", "30", 395, 110, "transparent")
    assert seen["frame2"] == ({"row": 0, "column": 0, "sticky": "new"}, 300, 110)
    assert seen["frame4"] == ({"row": 0, "column": 0, "rowspan": 2, "sticky": "nesw"}, 10, "transparent")
    assert seen["frame6"] == ({"row": 0, "column": 0, "rowspan": 2, "sticky": "nesw"}, "transparent")
    assert seen["log_parent"]
    # The settings table: template row first, patent row 31 pixels below, both empty.
    assert seen["rows"] == [("130", "10", ""), ("130", "41", "")]


def test_buttons_and_switch():
    seen = {}

    def image_size(button):
        return button.cget("image").cget("size")

    def script(w):
        out = w.output_button
        seen["output"] = (grid_of(out, "row", "column", "padx", "pady", "sticky"), out.cget("text"),
                          out.cget("width"), out.cget("image"))
        seen["images"] = {
            name: (grid_of(b, "row", "column", "padx", "pady", "sticky"), image_size(b), b.cget("fg_color"),
                   b.cget("corner_radius"), b.cget("width"), b.cget("text"))
            for name, b in [("folder", w.folder_button), ("help", w.help_button), ("bin", w.bin_button),
                            ("template", w.template_button), ("patent", w.patent_button),
                            ("settings", w.settings_button)]}
        sw = w.switch
        seen["switch"] = (grid_of(sw, "row", "column", "padx", "pady", "sticky"), sw.cget("text"), sw.get(),
                          sw.cget("onvalue"), sw.cget("offvalue"), sw.cget("font").cget("family"),
                          sw.cget("font").cget("weight"))
        seen["counts"] = (len(w.buttons(w.FF)), len(w.buttons(w.AA)), len(w.buttons(w.BB)))

    run_gui(script)
    assert seen["output"] == ({"row": 0, "column": 0, "padx": 50, "pady": 10, "sticky": ""}, "輸出檢索報告", 140, None)
    ne = "ne"
    assert seen["images"] == {
        "folder": ({"row": 0, "column": 1, "padx": (178, 55), "pady": 0, "sticky": ne}, (25, 25), "transparent", 6,
                   20, ""),
        "help": ({"row": 0, "column": 1, "padx": (78, 105), "pady": 0, "sticky": ne}, (25, 25), "transparent", 6, 20,
                 ""),
        "bin": ({"row": 0, "column": 0, "padx": (20, 5), "pady": 0, "sticky": ne}, (20, 20), "#2b2b2b", 0, 20, ""),
        "template": ({"row": 0, "column": 0, "padx": (10, 5), "pady": (38, 5), "sticky": ne}, (25, 25), "#2b2b2b", 0,
                     20, ""),
        "patent": ({"row": 0, "column": 0, "padx": (10, 5), "pady": (72, 5), "sticky": ne}, (25, 25), "#2b2b2b", 0,
                   20, ""),
        "settings": ({"row": 0, "column": 2, "padx": (5, 0), "pady": 0, "sticky": ne}, (25, 25), "transparent", 6,
                     20, ""),
    }
    assert seen["switch"] == ({"row": 0, "column": 1, "padx": (210, 0), "pady": (40, 0), "sticky": "w"},
                              "輸出專利說明書", "off", "on", "off", "Microsoft JhengHei", "bold")
    # FF: folder, question mark, settings (the logos sit in its inner frame); AA: bin and two folders.
    assert seen["counts"] == (3, 3, 1)


def test_header_logos_and_title():
    seen = {}

    def script(w):
        (frame4,) = [c for c in w.FF.winfo_children() if isinstance(c, customtkinter.CTkFrame)]
        logos = [c for c in frame4.winfo_children() if isinstance(c, customtkinter.CTkButton)]
        seen["logos"] = [(grid_of(b, "row", "column", "padx", "sticky"), b.cget("image").cget("size"),
                          b.cget("state"), b.cget("width"), b.cget("fg_color"), b.cget("text")) for b in logos]
        (label,) = [c for c in frame4.winfo_children() if isinstance(c, customtkinter.CTkLabel)]
        seen["label"] = (grid_of(label, "row", "column", "sticky"), label.cget("text"),
                         label.cget("font").cget("family"), label.cget("font").cget("size"))

    run_gui(script)
    assert seen["logos"] == [
        ({"row": 0, "column": 0, "padx": (0, 5), "sticky": "w"}, (50, 50), "disabled", 50, "transparent", ""),
        ({"row": 0, "column": 1, "padx": (0, 15), "sticky": "w"}, (120, 30), "disabled", 50, "transparent", ""),
    ]
    assert seen["label"] == ({"row": 0, "column": 2, "sticky": "nesw"}, "Tessarim", "Microsoft JhengHei", 16)


def test_the_settings_button_overlaps_no_other_header_control():
    boxes = {}

    def box(widget):
        x, y = widget.winfo_rootx(), widget.winfo_rooty()
        return x, y, x + widget.winfo_width(), y + widget.winfo_height()

    def script(w):
        w.app.update()
        for name in ("settings_button", "folder_button", "help_button", "switch"):
            boxes[name] = box(getattr(w, name))

    run_gui(script)
    gear = boxes.pop("settings_button")
    assert gear[2] - gear[0] > 20 and gear[3] - gear[1] > 20
    for name, (x0, y0, x1, y1) in boxes.items():
        assert gear[2] <= x0 or x1 <= gear[0] or gear[3] <= y0 or y1 <= gear[1], name


@pytest.mark.parametrize("missing, logos, title", [
    ("logo.png", 0, False),            # the first step of the header fails: nothing of it
    ("logo(僅文字).png", 1, False),     # the first logo stays
    ("logo.ico", 2, True),             # not used here: the header is whole
])
def test_a_missing_header_image_costs_only_the_header(tmp_path, capsys, missing, logos, title):
    seen = {}

    def script(w):
        (frame4,) = [c for c in w.FF.winfo_children() if isinstance(c, customtkinter.CTkFrame)]
        seen["logos"] = len([c for c in frame4.winfo_children() if isinstance(c, customtkinter.CTkButton)])
        seen["title"] = any(isinstance(c, customtkinter.CTkLabel) for c in frame4.winfo_children())
        w.press(w.output_button)
        seen["requests"] = len(w.requests())

    run = run_gui(script, __file__=module_copy(tmp_path, without=[missing]))
    assert (seen["logos"], seen["title"], seen["requests"]) == (logos, title, 1)
    out = capsys.readouterr().out
    if missing != "logo.ico":
        assert f"No such file or directory: '{tmp_path / 'module' / '格式範本' / missing}'" in out
    assert run.log.errors == []


def test_the_window_icon_is_the_logo(tmp_path, monkeypatch, capsys):
    proxy = ctk_recording_windows()
    monkeypatch.setattr(GUI, "customtkinter", proxy)
    icons = []

    def iconphoto(self, default, *images):
        icons.append((default, [(i.width(), i.height()) for i in images]))
        return customtkinter.CTk.iconphoto(self, default, *images)

    monkeypatch.setattr(RecordingCTk, "iconphoto", iconphoto, raising=False)
    from PIL import Image
    with Image.open(os.path.join(RESOURCES, "logo.png")) as logo:
        size = logo.size

    run_gui(lambda w: None)
    assert icons == [(True, [size])]
    assert capsys.readouterr().out == ""

    # Without the PNG the window goes on without an icon and says why.
    opened = []
    run_gui(lambda w: opened.append(w), __file__=module_copy(tmp_path, without=["logo.png"]))
    assert len(icons) == 1 and len(opened) == 1
    assert "logo.png" in capsys.readouterr().out


@pytest.mark.parametrize("missing", ["資料夾.png", "垃圾桶.png", "問號001.png", "設定.png"])
def test_a_missing_button_image_fails_gui_before_the_main_loop(tmp_path, missing, monkeypatch):
    monkeypatch.setattr(GUI, "customtkinter", ctk_recording_windows())
    queues, events = channels()
    looped = []
    with pytest.raises(FileNotFoundError):
        run_gui(lambda w: looped.append(w), queues, events, __file__=module_copy(tmp_path, without=[missing]))
    assert looped == [] and queues["end"].empty() and not events["end"].is_set() and queues["起始數據"].empty()
    (app,) = [ref() for ref in RecordingCTk.made]
    app.destroy()


# ------------------------------------------------------------ handler bindings

def test_every_handler_is_wrapped_as_it_is_defined_except_the_switch():
    log = HandlerLog()
    seen = {}

    def script(w):
        seen["commands"] = {name: getattr(w, name)._command for name in
                            ("output_button", "bin_button", "settings_button", "folder_button", "template_button",
                             "patent_button", "help_button")}
        seen["switch"] = w.switch._command

    run_gui(script, log=log)
    handlers = ["button_event_001", "button_event_003", "button_event_004", "button_event_005", "button_event_006",
                "button_event_007", "button_event_008", "aa"]
    assert log.names() == ["GUI.<locals>." + h for h in handlers]
    assert [f.__name__ for f in log.wrapped] == handlers
    assert all(f.__module__ == "GUI" for f in log.wrapped)
    by_name = dict(zip(handlers, log.wrapped))
    expected = {"output_button": "button_event_001", "bin_button": "button_event_003",
                "settings_button": "button_event_004", "folder_button": "button_event_005",
                "template_button": "button_event_006", "patent_button": "button_event_007",
                "help_button": "button_event_008"}
    for button, handler in expected.items():
        # the button holds what try_except_log returned, not the bare handler
        assert seen["commands"][button].__wrapped__ is by_name[handler], button
    assert seen["switch"].__qualname__ == "GUI.<locals>.switch_event_001"
    assert seen["switch"] not in log.wrapped and not hasattr(seen["switch"], "__wrapped__")


def test_gui_reads_its_globals_when_it_runs(monkeypatch):
    proxy = ctk_recording_windows()
    monkeypatch.setattr(GUI, "customtkinter", proxy)
    seen = []
    run_gui(lambda w: seen.append(type(w.app)))
    assert seen == [RecordingCTk] and len(RecordingCTk.made) == 1


# ----------------------------------------------------------------- closing

class Journal:
    def __init__(self):
        self.entries = []

    def queue(self, key):
        journal = self

        class Q:
            def put(self, item):
                journal.entries.append(("put", key, item))

            def empty(self):
                return True

            def get(self):
                raise AssertionError("nothing to get")

        return Q()

    def event(self, key):
        journal = self

        class E:
            def set(self):
                journal.entries.append(("set", key))

            def is_set(self):
                return False

            def clear(self):
                journal.entries.append(("clear", key))

        return E()


def test_closing_sends_the_three_end_signals_in_order():
    journal = Journal()
    queues = {k: journal.queue(k) for k in ("起始數據", "get_receipt", "end")}
    events = {k: journal.event(k) for k in ("get_receipt", "end")}

    def script(w):
        w.tick(3)
        assert journal.entries == []

    run = run_gui(script, queues, events)
    assert run.result is None
    assert journal.entries == [("put", "end", None), ("set", "end"), ("put", "起始數據", None)]


def test_run_as_the_main_program(monkeypatch):
    """Loaded under the name __main__, the module opens the window with "X" for
    both mappings and, when it closes, sends nothing."""
    Merrowfold = importlib.import_module("Halvorine通用模組").Merrowfold
    log = HandlerLog()
    monkeypatch.setattr(Merrowfold, "try_except_log", lambda self, function: log(function))
    seen = {}

    def mainloop(app):
        from gui_driver import Window, cancel_all_after
        w = Window(app, "X", "X")
        w.tick(2)
        seen["label"] = w.label()
        w.press(w.output_button)
        seen["log"] = w.log_text()
        w.press(w.bin_button)
        cancel_all_after(app)
        app.destroy()

    monkeypatch.setattr(customtkinter.CTk, "mainloop", mainloop)
    monkeypatch.setattr(tkinter, "_default_root", None)  # the window is the process's root, as in a host
    spec = importlib.util.spec_from_file_location("__main__", GUI.__file__)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)  # runs GUI("X", "X") and returns once the window is closed

    assert module.__name__ == "__main__" and module.GUI is not GUI.GUI
    assert seen["label"] == "輸出檢索報告" and seen["log"] == ""
    # the output handler fails at its first step, indexing "X"; the poller's failures stay inside it
    assert [(name, type(e)) for name, e in log.errors] == [("GUI.<locals>.button_event_001", TypeError)]


# ----------------------------------------------------------------- lifetime

def test_nothing_of_the_window_outlives_gui(monkeypatch):
    monkeypatch.setattr(GUI, "customtkinter", ctk_recording_windows())
    refs = {}

    def script(w):
        refs["handler"] = weakref.ref(w.output_button._command.__wrapped_handler__)
        refs["button"] = weakref.ref(w.output_button)
        w.press(w.settings_button)
        refs["settings"] = weakref.ref(w.settings_windows()[0])
        w.tick(2)

    run_gui(script, log=False)
    refs["app"] = RecordingCTk.made[0]
    gc.collect()
    assert {name: ref() for name, ref in refs.items()} == dict.fromkeys(refs)
