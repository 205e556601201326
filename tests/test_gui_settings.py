"""The settings window: the two report fonts and the text-size ratio."""
import customtkinter
import pytest

from gui_driver import kids, run_gui

FONTS = ["微軟正黑體", "標楷體", "Calibri", "新細明體", "Brush Script MT"]


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    (tmp_path / "home").mkdir()
    monkeypatch.setenv("HOME", str(tmp_path / "home"))


class Settings:
    """One settings window opened through the header's gear button."""

    def __init__(self, w):
        before = w.settings_windows()
        w.press(w.settings_button)
        (self.window,) = [s for s in w.settings_windows() if s not in before]
        self.labels = kids(self.window, customtkinter.CTkLabel)
        self.english, self.chinese = kids(self.window, customtkinter.CTkOptionMenu)
        (self.entry,) = kids(self.window, customtkinter.CTkEntry)
        (self.confirm,) = kids(self.window, customtkinter.CTkButton)

    def choose(self, english=None, chinese=None, ratio=None):
        if english:
            self.english.set(english)
        if chinese:
            self.chinese.set(chinese)
        if ratio is not None:
            self.entry.delete(0, "end")
            self.entry.insert(0, ratio)
        self.confirm.invoke()

    def hint(self):
        return self.entry.cget("placeholder_text")


def chosen(request):
    return request["文字大小比例"], request["英文文字字體"], request["中文文字字體"]


def test_the_window_with_the_defaults():
    seen = {}

    def script(w):
        s = Settings(w)
        w.app.update()  # X11 reports -topmost once the window is mapped
        seen["window"] = (s.window.title(), s.window.attributes("-topmost"), s.window.master is w.app,
                          s.window._current_width, s.window._current_height)
        seen["labels"] = [(l.cget("text"), l.grid_info()["row"], l.grid_info()["pady"]) for l in s.labels]
        seen["menus"] = [(m.get(), m.cget("values"), m.grid_info()["row"], m.grid_info()["pady"], m.cget("width"),
                          m.cget("dynamic_resizing")) for m in (s.english, s.chinese)]
        seen["entry"] = (s.entry.get(), s.hint(), s.entry.grid_info()["row"], s.entry.cget("width"))
        seen["confirm"] = (s.confirm.cget("text"), s.confirm.grid_info()["row"], s.confirm.grid_info()["padx"])

    _, log = run_gui(script)
    assert seen == {
        "window": ("設定", 1, True, 300, 330),
        "labels": [("英文字體設定", 1, (0, 10)), ("中文字體設定", 2, (0, 10)), ("文字大小比例", 4, 10)],
        "menus": [("Calibri", FONTS, 1, (60, 10), 50, False), ("標楷體", FONTS, 3, 10, 50, False)],
        "entry": ("", "100", 5, 300),
        "confirm": ("確認", 6, 50)}
    assert log.errors == []


@pytest.mark.parametrize("typed, ratio, next_hint", [
    ("", 1, "100"), ("150", 1.5, "150.0"), ("110", 1.1, "110.00000000000001"), (" 2e2 ", 2.0, "200.0"),
    ("0.5", 0.005, "0.5"), ("１５０", 1.5, "150.0"),
    ("abc", 1, "100"), ("150%", 1, "100"),
    # not a usable ratio either: 100 per cent
    ("0", 1, "100"), ("-50", 1, "100"), ("nan", 1, "100"), ("inf", 1, "100"), ("-inf", 1, "100"),
    ("1e400", 1, "100"), ("1e-400", 1, "100"),
])
def test_confirming_a_ratio(typed, ratio, next_hint):
    seen = []

    def script(w):
        s = Settings(w)
        s.choose(ratio=typed)
        seen.append(w.press_output()["文字大小比例"])
        # the window stays open with its text and its old hint
        seen.append((s.window.winfo_exists(), s.entry.get(), s.hint(), Settings(w).hint()))

    run_gui(script)
    assert seen[0] == ratio and type(seen[0]) is type(ratio)
    assert seen[1] == (1, typed, "100", next_hint)


def test_a_ratio_that_raises_any_kind_of_error_stores_1_and_the_fonts():
    class Stop(BaseException):
        pass

    class Ratio(str):
        def __float__(self):
            raise Stop("not a number")

    seen = []

    def script(w):
        s = Settings(w)
        s.entry.get = lambda: Ratio("150")  # what the confirm reads
        s.choose("Brush Script MT", "新細明體")
        seen.append(chosen(w.press_output()))

    _, log = run_gui(script)
    assert seen == [(1, "Brush Script MT", "新細明體")] and log.errors == []


def test_fonts_and_ratio_count_only_when_confirmed_and_persist():
    seen = []

    def script(w):
        s = Settings(w)
        s.english.set("微軟正黑體")
        s.window.destroy()  # closed through the title bar: nothing stored
        seen.append(chosen(w.press_output()))
        s = Settings(w)
        s.choose("Brush Script MT", "新細明體", "120")
        seen.append(chosen(w.press_output()))
        s.choose(ratio="")  # an empty field means 100 per cent, whatever was stored
        seen.append(chosen(w.press_output()))
        again = Settings(w)
        seen.append((again.english.get(), again.chinese.get(), again.hint()))

    run_gui(script)
    assert seen == [(1, "Calibri", "標楷體"), (1.2, "Brush Script MT", "新細明體"), (1, "Brush Script MT", "新細明體"),
                    ("Brush Script MT", "新細明體", "100")]


def test_two_windows_each_write_their_own_choices():
    seen = []

    def script(w):
        a, b = Settings(w), Settings(w)
        a.english.set("新細明體")
        a.entry.insert(0, "80")
        b.chinese.set("Calibri")
        b.entry.insert(0, "125")
        for window in (a, b, a):
            window.confirm.invoke()
            seen.append(chosen(w.press_output()))

    run_gui(script)
    assert seen == [(0.8, "新細明體", "標楷體"), (1.25, "Calibri", "Calibri"), (0.8, "新細明體", "標楷體")]
