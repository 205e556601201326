"""Hostile arguments and repeated use: only Python exceptions, never a crash or
a SystemError (the core's sign of a C++ failure), and no growth of live objects."""
import gc
import itertools
import sys
import types

import pytest

from hostile import BadStr, only_python_errors


class BadEq:
    def __eq__(self, other):
        raise RuntimeError("no comparison")

    __hash__ = object.__hash__


HOSTILE = [None, 0, -1, 10**100, 1.5, float("nan"), "", "x" * 200_000, b"bytes", object(), BadStr(), BadEq(), [],
           {}, ("a", "b"), "\ud800"]


def functions_of(cls):
    return {name: f for name, f in vars(cls).items() if type(f).__name__ == "function"}


def call_quietly(fn, *args, **kwargs):
    only_python_errors(lambda: fn(*args, **kwargs))


@pytest.mark.parametrize("class_name", ["Set_CTkTextbox", "Set_Button", "Set_Table", "Entry_Table", "CTkCalendar",
                                        "Chart_Matplotlib", "Draw_Map"])
def test_unbound_methods_with_hostile_arguments(Pandrel, class_name):
    for name, fn in functions_of(getattr(Pandrel, class_name)).items():
        if class_name == "CTkCalendar" and name == "__init__":
            continue  # a real frame's __init__ on a foreign self is the toolkit's business
        for count in range(0, 4):
            for values in itertools.islice(itertools.product(HOSTILE, repeat=count), 60):
                call_quietly(fn, *values)
        call_quietly(fn, **{"self": None, "unknown": 1})
        call_quietly(fn, *([None] * 40))


def test_live_objects_with_hostile_arguments(Pandrel, frame, capsys):
    box = Pandrel.Set_CTkTextbox(frame)
    buttons = Pandrel.Set_Button()
    table = Pandrel.Set_Table(frame)
    table.add_entry_name("path")
    buttons.add_button(frame, button_name="ok", text="ok")
    for value in HOSTILE:
        call_quietly(box.add_text, value)
        call_quietly(box.add_text, "a<$$$顏色[red]$$$>b</$$$顏色$$$>", color=value)
        call_quietly(box.delete_all, bogus=value)
        call_quietly(Pandrel.Set_CTkTextbox, frame, width=value)
        call_quietly(buttons.add_button, frame, button_name=value, text=value if isinstance(value, str) else "t")
        call_quietly(buttons.add_button, frame, button_name="bad", row=value, padx=value, font=value)
        call_quietly(buttons.add_button, frame, button_name="img", image_path=value, size=value)
        call_quietly(buttons.cget, value, "text")
        call_quietly(buttons.cget, "ok", value)
        call_quietly(buttons.configure, "ok", text=value)
        call_quietly(buttons.configure, "ok", state=value)
        call_quietly(table.add_entry_name, value, state=value, text=value)
        call_quietly(table.set, "path", value)
        call_quietly(table.get, value)
        call_quietly(Pandrel().many_days, value, value)
    # The objects still work afterwards.
    box.delete_all()
    box.add_text("still fine")
    assert box.textbox.get("1.0", "end") == "still fine\n\n"
    table.set("path", "ok")
    assert table.get("path") == "ok"
    buttons.configure("ok", text="again")
    assert buttons.cget("ok", "text") == "again"
    capsys.readouterr()


def live_objects():
    gc.collect()
    return len(gc.get_objects())


def test_repeated_use_does_not_grow_live_objects(Pandrel, root):
    import customtkinter

    def one_round():
        holder = customtkinter.CTkFrame(root)
        box = Pandrel.Set_CTkTextbox(holder)
        for text in ("plain", "a<$$$顏色[red]$$$>b</$$$顏色$$$>c", "<$$$最前方顯示$$$>top"):
            box.add_text(text)
        box.delete_all()
        buttons = Pandrel.Set_Button()
        buttons.add_button(holder, button_name="b", text="b", padx=1, pady=(1, 2))
        buttons.configure("b", text="c")
        buttons.cget("b", "text")
        table = Pandrel.Set_Table(holder)
        table.add_entry_name("a")
        table.set("a", 12)
        table.get("a")
        table.delete_all()
        Pandrel().many_days(2024, 2)
        holder.destroy()

    for _ in range(5):
        one_round()
    root.update()
    before = live_objects()
    for _ in range(40):
        one_round()
    root.update()
    after = live_objects()
    assert after - before < 40, (before, after)


def test_calls_leave_argument_reference_counts_alone(Pandrel, frame):
    box = Pandrel.Set_CTkTextbox(frame)
    table = Pandrel.Set_Table(frame)
    table.add_entry_name("k")
    text = "line " + "<$$$顏色[green]$$$>ok</$$$顏色$$$>"
    key = "k" + ""
    colour = "blue" * 1
    p = Pandrel()
    year = 2024 * 10**20
    before = [sys.getrefcount(o) for o in (text, key, colour, year)]
    for _ in range(300):
        box.add_text(text, color=colour)
        table.get(key)
        p.many_days(year, 2)
        try:
            p.many_days(year, 13)
        except ValueError:
            pass
        try:
            table.get(text)
        except KeyError:
            pass
    box.delete_all()
    assert [sys.getrefcount(o) for o in (text, key, colour, year)] == before
