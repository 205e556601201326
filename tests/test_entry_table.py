"""Entry_Table: columns under named headers, rows of cells, values and sizes."""
import gc
import random
import re
import string
import types

import pytest

from child import run_child
from hostile import BadStr, only_python_errors


@pytest.fixture
def table(Pandrel, frame):
    return Pandrel.Entry_Table(frame)


@pytest.fixture
def placed(monkeypatch):
    """Records the exact keyword arguments of every place() by widget class."""
    import customtkinter
    import tkinter

    calls = []
    for cls in (customtkinter.CTkLabel, customtkinter.CTkEntry, customtkinter.CTkFrame, tkinter.Label):
        original = cls.place

        def place(self, *args, _cls=cls, _original=original, **kwargs):
            calls.append((_cls.__name__, kwargs))
            return _original(self, *args, **kwargs)

        monkeypatch.setattr(cls, "place", place)
    return calls


def cells(table, name):
    return table.entry[table.name_to_random_string[name]]


def record(table, name):
    return table.entry_name[table.name_to_random_string[name]]


def at(widget):
    info = widget.place_info()
    return int(info["x"]), int(info["y"])


def test_constructor_attributes_and_no_widgets(table, frame):
    assert list(vars(table).items()) == [
        ("entry_name", {}), ("entry_x_init", 50), ("entry_x", 50), ("frame", frame), ("entry", {}), ("N", 0),
        ("default_value_get", {}), ("name_to_random_string", {})]
    assert frame.winfo_children() == [] and table.update() is None


def test_columns_and_rows_are_placed_with_python_arithmetic(table, frame, placed, pandrel_module, monkeypatch):
    monkeypatch.setattr(pandrel_module, "pyautogui", types.SimpleNamespace(size=lambda: (1920, 1080)))
    table.add_entry_name("A", 100)
    table.add_entry_name("B", "80", state="disabled")
    assert [(r[0], r[1], r[2], r[3]) for r in (record(table, "A"), record(table, "B"))] == [
        (0, 100.0, 50, "normal"), (1, 80.0, 148.0, "disabled")]
    assert type(record(table, "A")[2]) is int and (table.entry_x, table.N) == (226.0, 2)
    assert placed == [("CTkLabel", {"x": 99.0, "y": 18, "anchor": "center"}),
                      ("CTkLabel", {"x": 187.0, "y": 18, "anchor": "center"})]
    header = record(table, "B")[5]
    font = header.cget("font")
    assert (header.cget("text"), font.cget("family"), font.cget("size"), font.cget("weight")) == (
        "B", "Microsoft JhengHei", 15, "bold")
    del placed[:]
    table.add_table(3)
    assert frame.cget("height") == 134.0
    editable, shown = cells(table, "A"), cells(table, "B")
    assert [at(c) for c in editable] == [(50, 30), (50, 58), (50, 86)]
    assert [(c.cget("width"), c.cget("height"), c.cget("corner_radius")) for c in editable] == [(100.0, 30, 0)] * 3
    assert [at(c[1].master) for c in shown] == [(147, 30), (147, 58), (147, 86)]
    assert {("Label", "x", 100), ("Label", "y", 13.5), ("CTkFrame", "x", 147.0)} <= {
        (cls, k, v) for cls, kw in placed for k, v in kw.items()}
    labels = [w for w in frame.winfo_children() if type(w).__name__ == "CTkLabel" and w.cget("text").isdigit()]
    assert [(w.cget("text"), at(w)) for w in labels] == [("1", (30, 30)), ("2", (30, 58)), ("3", (30, 86))]
    label = shown[0][1]
    assert (label.cget("bg"), label.cget("fg"), str(label.cget("textvariable"))) == ("#353638", "white", str(shown[0][0]))
    assert table.default_value_get == {k: ["", "", ""] for k in table.entry_name}


@pytest.mark.parametrize("screen, y", [((2560, 1440), 18.0), ((1000, 800), 7.03125)])
def test_display_only_label_follows_the_screen_width(table, placed, pandrel_module, monkeypatch, screen, y):
    monkeypatch.setattr(pandrel_module, "pyautogui", types.SimpleNamespace(size=lambda: screen))
    table.add_entry_name("B", 80, state="disabled")
    table.add_table(2)
    assert [kw["y"] for cls, kw in placed if cls == "Label"] == [y, y]


def test_random_string_draws_as_python_would(table, pandrel_module, monkeypatch):
    random.seed(1234)
    keys = [table.random_string(), table.random_string(5), table.random_string(0)]
    random.seed(1234)
    alphabet = string.ascii_letters + string.digits
    assert keys == ["".join(random.choices(alphabet, k=k)) for k in (20, 5, 0)]
    monkeypatch.setattr(pandrel_module, "string", types.SimpleNamespace(ascii_letters="a", digits="1"))
    assert set(table.random_string(50)) <= {"a", "1"}


def test_python_order_of_the_column_key_and_the_table_size(Pandrel, table, frame):
    # name_to_random_string[str(name)] = self.random_string(): the draw comes
    # first, so a name whose str() fails still uses up one draw.
    order = []

    class Name:
        def __str__(self):
            order.append("str")
            raise LookupError("no name")

    class Watched(Pandrel.Entry_Table):
        def random_string(self, length=20):
            order.append("draw")
            return super().random_string(length)

    random.seed(7)
    with pytest.raises(LookupError):
        Watched(frame).add_entry_name(Name(), 50)
    after = random.random()
    random.seed(7)
    random.choices(string.ascii_letters + string.digits, k=20)
    assert order == ["draw", "str"] and after == random.random()

    class Rows(int):  # str(n) is only for a refusal's message
        def __str__(self):
            raise RuntimeError("not asked")

    table.add_entry_name("A", 100)
    table.add_table(Rows(3), serial_number=False)
    assert len(cells(table, "A")) == 3


def test_values_defaults_and_clearing(table):
    table.add_entry_name("A", 100)
    table.add_entry_name("B", 80, state="disabled")
    table.add_entry_name("C", 60, state="readonly")
    table.add_table(2)
    table.set_text("A", 0, "x")
    table.set_text("B", 1, 5)
    assert table.get() == [["", ""], ["", ""], []]
    assert cells(table, "A")[0].cget("placeholder_text") == "x" and cells(table, "B")[1][0].get() == "5"
    table.set_text("A", -1, "y", True)
    table.set_text("B", 1, 5, True)
    assert table.get() == [["", "y"], ["", "5"], []]
    cells(table, "A")[1].insert(0, "typed")
    assert table.get()[0] == ["", "typed"]
    cells(table, "A")[0].insert(0, "z" * 12000)
    table.delete_all()
    assert table.get() == [["", ""], ["", ""], []] and cells(table, "A")[0].get() == ""
    assert cells(table, "B")[1][0].get() == ""


def test_renamed_column_answers_to_both_names(table):
    table.add_entry_name("A", 100, state="disabled")
    table.add_table(1)
    table.set_title_text("A", 7)
    assert record(table, "A")[5].cget("text") == "7"
    table.set_text(7, 0, "via new", True)
    table.set_text("A", 0, "via old")
    assert table.get() == [["via new"]] and cells(table, "7")[0][0].get() == "via old"


def test_failures_leave_the_steps_before_them_done(table, frame):
    table.add_entry_name("A", 100)
    with pytest.raises(TypeError):
        table.add_table(None)
    with pytest.raises(TypeError):
        table.add_table("3")
    assert table.entry == {} and len(frame.winfo_children()) == 1
    with pytest.raises(ValueError):
        table.add_entry_name("W", "wide")
    assert "W" in table.name_to_random_string and table.N == 1
    with pytest.raises(KeyError):
        table.set_text("W", 0, "x")
    with pytest.raises(TypeError):
        table.add_table(2.0)  # cells made, then range(2.0) refuses the numbers
    assert len(cells(table, "A")) == 2
    table.add_table(2.0, serial_number=False)
    table.add_entry_name("late", 50)
    for call, error in [(lambda: table.set_text("nobody", 0, "x"), KeyError),
                        (lambda: table.set_title_text("nobody", "x"), KeyError),
                        (lambda: table.set_text("late", 0, "x"), KeyError),
                        (lambda: table.set_text("A", 2, "x"), IndexError),
                        (lambda: table.set_text("A", "0", "x"), TypeError)]:
        with pytest.raises(error):
            call()
    assert len(table.get()) == 1


@pytest.mark.parametrize("call", [
    lambda t: t.add_table(1167),  # 32726 pixels: the parent's own canvas would pass the 32707 it can take
    lambda t: t.add_table(1200),  # 33650 pixels: past any window, refused before the parent changes
    lambda t: t.add_table(float("inf")),
    lambda t: (t.add_entry_name("wide", 40000), t.add_table(1)),
    lambda t: (t.add_entry_name("wide", 40000, state="disabled"), t.add_table(1)),
    lambda t: t.add_entry_name("x" * 5000, 10),
    lambda t: t.set_title_text("A", "x" * 5000),
    lambda t: t.set_text("B", 0, "x" * 5000),
])
def test_sizes_the_window_system_cannot_show_are_refused(table, frame, call):
    table.add_entry_name("A", 100)
    table.add_entry_name("B", 80, state="disabled")
    table.add_table(1)
    table.set_text("B", 0, "kept", True)
    kept = cells(table, "B")[0][0]
    with pytest.raises(ValueError, match="too large to show"):
        call(table)
    frame.update()  # shown: anything too large would end the process here
    assert frame.cget("height") == 78.0 and record(table, "A")[5].cget("text") == "A"
    assert kept.get() == "kept" and set(table.name_to_random_string) <= {"A", "B", "wide"}


# Each case builds one table in a fresh parent, shows it and reports the real
# sizes, or the refusal; the process must live on either way.
SIZES = """
def text(pixels):
    font = customtkinter.CTkFont(family="Microsoft JhengHei", size=15, weight="bold")
    return "x" * round(pixels / font.measure("x"))

for case in sys.argv[2:]:
    kind, size = case.split(":")
    size = int(size)
    if kind == "scroll":
        parent = customtkinter.CTkScrollableFrame(root, width=500, height=300)
    else:
        parent = customtkinter.CTkFrame(root, width=size if kind == "wide" else 200)
    parent.grid(row=0, column=0)
    table = Pandrel.Entry_Table(parent)
    table.add_entry_name(text(size) if kind == "header" else "A", size if kind == "column" else 100)
    table.add_entry_name("B", 80, state="disabled")
    try:
        table.add_table(size if kind in ("rows", "scroll") else 2)
        if kind == "title":
            table.set_title_text("A", text(size))
        if kind == "text":
            table.set_text("B", 0, text(size))
    except ValueError as refused:
        report(case=case, refused=str(refused))
    else:
        root.update()
        first, second = table.entry_name  # the column keys, in order
        header = table.entry_name[first][5]
        shown = {"rows": parent, "wide": parent, "column": table.entry[first][0], "header": header,
                 "title": header, "text": table.entry[second][0][1]}.get(kind)
        shown = shown or parent._parent_canvas
        report(case=case, width=shown.winfo_width(), height=shown.winfo_height())
    parent.destroy()
root.update()
report(alive=True)
"""


@pytest.mark.parametrize("scaling, cases", [
    # Below X's limits everything is built and shown, in real pixels: rows (16850 and, at 2.0, 16900 pixels
    # tall), a parent and a column 20000 pixels wide, texts about 22000 pixels wide; in a scrollable frame
    # the frame around its canvas (12 pixels taller) is the last to fit: 1165 rows, not 1166.
    (1.0, {"rows:600": (None, 16850), "wide:20000": (20000, None), "column:20000": (20000, 30),
           "header:22000": (22000, None), "title:22000": (22000, None), "text:22000": (22000, None),
           "scroll:1165": (None, 32670), "scroll:1166": r"the Canvas \S+ would be \d+ x 32710 pixels, 3 more than the 32707"}),
    (2.0, {"rows:300": (None, 16900), "column:10000": (20000, 60), "rows:582": (None, 32700),
           "rows:583": r"the Canvas \S+ would be 400 x 32748 pixels, 41 more than the 32707",
           "column:20000": "its cells would be 40000 pixels wide, 7233 more than the 32767"}),
    # README's scrollable frame at 3.0: a canvas of 33750 pixels ended the process.
    (3.0, {"scroll:400": "its parent would be 33750 pixels tall, 983 more than the 32767", "rows:10": (None, 990)}),
])
def test_sizes_below_the_limits_are_shown_and_above_refused(tmp_path, scaling, cases):
    results = run_child(SIZES, scaling, *cases, cwd=tmp_path)
    assert results[-1] == {"alive": True}
    for result in results[:-1]:
        expected = cases[result["case"]]
        if isinstance(expected, str):
            assert re.search("too large to show: " + expected, result.get("refused", "")), result
            continue
        assert "refused" not in result, result
        for got, want in zip((result["width"], result["height"]), expected):
            assert want is None or abs(got - want) <= want // 50, result
    assert [r["case"] for r in results[:-1]] == list(cases)


HOSTILE = [None, 0, -1, 10**100, -10**100, 1.5, float("nan"), "", "x" * 100_000, b"b", object(), BadStr(), [],
           ("a", "b"), "\ud800", "disabled", "normal"]


@pytest.mark.parametrize("value", HOSTILE)
def test_hostile_arguments_only_raise(Pandrel, frame, value):
    table = Pandrel.Entry_Table(frame)
    table.add_entry_name("A", 30)
    table.add_entry_name("B", 30, state="disabled")
    table.add_table(1)
    only_python_errors(lambda: table.add_entry_name(value, value, state=value, math_calculate_multiplication=value),
                       lambda: table.add_table(value, serial_number=value),
                       lambda: table.random_string(value),
                       lambda: table.set_text(value, value, value, value),
                       lambda: table.set_text("B", 0, value, value),
                       lambda: table.set_text("A", 0, value, value),
                       lambda: table.set_title_text(value, value),
                       lambda: table.set_title_text("A", value),
                       lambda: Pandrel.Entry_Table(value).add_table(1))
    frame.update()
    table.delete_all()
    assert all(v == "" for column in table.get() for v in column)


def test_making_and_destroying_tables_does_not_grow_live_objects(Pandrel, root):
    import customtkinter

    def one_round():
        holder = customtkinter.CTkFrame(root)
        table = Pandrel.Entry_Table(holder)
        table.add_entry_name("A", 60)
        table.add_entry_name("B", 60, state="disabled")
        table.add_table(3)
        table.set_text("A", 0, "a", True)
        table.set_text("B", 1, "b", True)
        table.set_title_text("A", "C")
        table.get()
        table.delete_all()
        holder.destroy()

    for _ in range(5):
        one_round()
    root.update()
    gc.collect()
    before = len(gc.get_objects())
    for _ in range(30):
        one_round()
    root.update()
    gc.collect()
    assert len(gc.get_objects()) - before < 30
