"""The settings window: the two report fonts and the text-size ratio."""
import math

import customtkinter
import pytest

from gui_driver import run_gui

FONTS = ["微軟正黑體", "標楷體", "Calibri", "新細明體", "Brush Script MT"]


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    folder = tmp_path / "home"
    folder.mkdir()
    monkeypatch.setenv("HOME", str(folder))
    return folder


class Settings:
    """One open settings window, its widgets found by type in creation order."""

    def __init__(self, toplevel):
        self.window = toplevel
        kids = toplevel.winfo_children()
        self.labels = [k for k in kids if isinstance(k, customtkinter.CTkLabel)]
        self.english, self.chinese = [k for k in kids if isinstance(k, customtkinter.CTkOptionMenu)]
        (self.entry,) = [k for k in kids if isinstance(k, customtkinter.CTkEntry)]
        (self.confirm,) = [k for k in kids if isinstance(k, customtkinter.CTkButton)]

    def hint(self):
        return self.entry.cget("placeholder_text")


def open_settings(w):
    before = set(w.settings_windows())
    w.press(w.settings_button)
    (new,) = set(w.settings_windows()) - before
    new.update_idletasks()
    return Settings(new)


def pressed_request(w):
    w.press(w.output_button)
    (sent,) = w.requests()
    return sent


def test_the_window_with_the_defaults():
    seen = {}

    def script(w):
        s = open_settings(w)
        win = s.window
        w.app.update()  # X11 reports -topmost once the window is mapped
        seen["window"] = (win.title(), bool(win.attributes("-topmost")), win.master is w.app)
        seen["size"] = (win._current_width, win._current_height)
        seen["labels"] = [(l.cget("text"), l.grid_info()["row"], l.grid_info()["pady"], l.cget("font").cget("size"))
                          for l in s.labels]
        seen["menus"] = [(m.get(), m.cget("values"), m.grid_info()["row"], m.grid_info()["padx"],
                          m.grid_info()["pady"], m.cget("width"), m.cget("height"), m.cget("dynamic_resizing"))
                         for m in (s.english, s.chinese)]
        seen["entry"] = (s.entry.get(), s.hint(), s.entry.grid_info()["row"], s.entry.grid_info()["sticky"],
                         s.entry.cget("width"), s.entry.cget("height"))
        seen["confirm"] = (s.confirm.cget("text"), s.confirm.grid_info()["row"], s.confirm.grid_info()["padx"],
                           s.confirm.grid_info()["pady"])

    run = run_gui(script)
    assert seen["window"] == ("設定", True, True)
    assert seen["size"] == (300, 330)
    assert seen["labels"] == [("英文字體設定", 1, (0, 10), 15), ("中文字體設定", 2, (0, 10), 15),
                              ("文字大小比例", 4, 10, 15)]
    assert seen["menus"] == [("Calibri", FONTS, 1, 20, (60, 10), 50, 20, False),
                             ("標楷體", FONTS, 3, 20, 10, 50, 20, False)]
    assert seen["entry"] == ("", "100", 5, "new", 300, 30)
    assert seen["confirm"] == ("確認", 6, 50, 10)
    assert run.log.errors == []


@pytest.mark.parametrize("typed, ratio, next_hint", [
    ("", 1, "100"),
    ("150", 1.5, "150.0"),
    ("110", 1.1, "110.00000000000001"),
    (" 2e2 ", 2.0, "200.0"),
    ("0.5", 0.005, "0.5"),
    ("abc", 1, "100"),
    ("150%", 1, "100"),
    ("１５０", 1.5, "150.0"),   # the interpreter's float reads full-width digits
    # not a usable ratio: stored as 100 per cent
    ("0", 1, "100"),
    ("-50", 1, "100"),
    ("nan", 1, "100"),
    ("inf", 1, "100"),
    ("-inf", 1, "100"),
    ("1e400", 1, "100"),
    ("1e-400", 1, "100"),
])
def test_confirming_a_ratio(typed, ratio, next_hint):
    seen = {}

    def script(w):
        first = open_settings(w)
        first.entry.insert(0, typed)
        first.confirm.invoke()
        seen["request"] = pressed_request(w)
        seen["kept"] = (first.window.winfo_exists(), first.entry.get(), first.hint())
        seen["hint"] = open_settings(w).hint()

    run_gui(script)
    stored = seen["request"]["文字大小比例"]
    assert stored == ratio and type(stored) is type(ratio)
    assert math.isfinite(stored) and stored > 0
    # The window stays, with its text and its old hint; the next window hints the new ratio.
    assert seen["kept"] == (1, typed, "100")
    assert seen["hint"] == next_hint


def test_confirming_stores_the_fonts_and_an_empty_ratio_forgets_the_old_one():
    seen = []

    def script(w):
        s = open_settings(w)
        s.english.set("Brush Script MT")
        s.chinese.set("新細明體")
        s.entry.insert(0, "120")
        s.confirm.invoke()
        seen.append(pressed_request(w))
        s.entry.delete(0, "end")
        s.confirm.invoke()  # confirm again: an empty field means 100 per cent, whatever was stored
        seen.append(pressed_request(w))
        again = open_settings(w)
        seen.append((again.english.get(), again.chinese.get(), again.hint()))

    run_gui(script)
    first, second, reopened = seen
    assert (first["文字大小比例"], first["英文文字字體"], first["中文文字字體"]) == (1.2, "Brush Script MT", "新細明體")
    assert (second["文字大小比例"], second["英文文字字體"], second["中文文字字體"]) == (1, "Brush Script MT", "新細明體")
    assert reopened == ("Brush Script MT", "新細明體", "100")


def test_choices_count_only_when_confirmed():
    seen = []

    def script(w):
        s = open_settings(w)
        s.english.set("微軟正黑體")
        s.entry.insert(0, "300")
        s.window.destroy()  # closed through the title bar
        seen.append(pressed_request(w))

    run_gui(script)
    (sent,) = seen
    assert (sent["文字大小比例"], sent["英文文字字體"], sent["中文文字字體"]) == (1, "Calibri", "標楷體")


def test_two_windows_each_write_their_own_choices():
    seen = []

    def script(w):
        a, b = open_settings(w), open_settings(w)
        a.english.set("新細明體")
        a.entry.insert(0, "80")
        b.english.set("微軟正黑體")
        b.chinese.set("Calibri")
        b.entry.insert(0, "125")
        a.confirm.invoke()
        seen.append(pressed_request(w))
        b.confirm.invoke()
        seen.append(pressed_request(w))
        a.confirm.invoke()
        seen.append(pressed_request(w))
        seen.append(len(w.settings_windows()))

    run_gui(script)
    pick = [(r["文字大小比例"], r["英文文字字體"], r["中文文字字體"]) for r in seen[:3]]
    assert pick == [(0.8, "新細明體", "標楷體"), (1.25, "微軟正黑體", "Calibri"), (0.8, "新細明體", "標楷體")]
    assert seen[3] == 2


def test_the_settings_window_goes_with_the_main_window():
    kept = []

    def script(w):
        kept.append(open_settings(w).window)

    run_gui(script)
    (window,) = kept
    with pytest.raises(Exception):
        window.winfo_exists()


def test_the_confirm_handler_is_nested_in_the_opener_and_not_wrapped():
    seen = {}

    def script(w):
        s = open_settings(w)
        seen["command"] = s.confirm._command

    run = run_gui(script)
    assert seen["command"].__qualname__ == "GUI.<locals>.button_event_004.<locals>.button_event_004_A"
    assert seen["command"].__name__ == "button_event_004_A"
    assert seen["command"] not in run.log.wrapped and not hasattr(seen["command"], "__wrapped__")
    assert "GUI.<locals>.button_event_004" in run.log.names()
