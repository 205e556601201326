"""Set_Table: named settings rows, their places and their fields."""
import types

import pytest

from hostile import BadStr, only_python_errors


@pytest.fixture
def table(Pandrel, frame):
    return Pandrel.Set_Table(frame)


def at(widget):
    info = widget.place_info()
    return int(info["x"]), int(info["y"])


def test_constructor_attributes_and_no_widgets(Pandrel, frame):
    table = Pandrel.Set_Table(frame)
    assert list(vars(table).items()) == [
        ("entry_name", {}), ("entry_x_init", 10), ("entry_x", 10), ("entry_y_init", 1), ("entry_y", 10),
        ("frame", frame), ("entry", {}), ("N", 0), ("width_unit", 200)]
    assert frame.winfo_children() == []


def test_rows_are_placed_31_pixels_apart(table):
    table.add_entry_name("範本檔案路徑", text="請選擇範本")
    table.add_entry_name("說明", state="disabled")
    table.add_entry_name("專利檔案路徑")
    assert (table.N, table.entry_y) == (3, 103)
    for k, name in enumerate(["範本檔案路徑", "說明", "專利檔案路徑"]):
        index, x, _, _, label = table.entry_name[name]
        assert (index, x, at(label), label.cget("text")) == (k, 10, (10, 10 + 31 * k), name)
        font = label.cget("font")
        assert (font.cget("family"), font.cget("size"), font.cget("weight")) == ("Microsoft JhengHei", 15, "bold")
    assert list(table.entry) == ["範本檔案路徑", "專利檔案路徑"]
    assert at(table.entry["專利檔案路徑"]) == (130, 72)
    field = table.entry["範本檔案路徑"]
    assert (at(field), field.cget("width"), field.cget("height")) == ((130, 10), 200, 30)
    assert field.cget("placeholder_text") == "請選擇範本" and table.get("範本檔案路徑") == ""


@pytest.mark.parametrize("state", ["disabled", "Normal", "normal ", None, 0])
def test_only_the_state_normal_gets_a_field(table, state):
    table.add_entry_name("row", state=state)
    assert table.entry == {} and table.entry_name["row"][2] is state
    assert (table.N, table.entry_y) == (1, 41)
    with pytest.raises(KeyError, match="row"):
        table.get("row")
    with pytest.raises(KeyError, match="row"):
        table.set("row", "x")


def test_default_list_is_shared_and_records_keep_arguments(Pandrel, table):
    own = [2, 3]
    table.add_entry_name("a")
    table.add_entry_name("b")
    table.add_entry_name("c", math_calculate_multiplication=own)
    shared = Pandrel.Set_Table.add_entry_name.__defaults__[1]
    assert shared == [] and table.entry_name["a"][3] is shared and table.entry_name["b"][3] is shared
    assert table.entry_name["c"][3] is own
    assert shared is not Pandrel.Entry_Table.add_entry_name.__defaults__[1]


@pytest.mark.parametrize("value, shown", [(12, "12"), ("C:/資料/專利.xlsx", "C:/資料/專利.xlsx"), (None, "None"),
                                          ("", "")])
def test_set_replaces_the_text_with_str(table, value, shown):
    table.add_entry_name("path", text="hint")
    table.set("path", "something long already there")
    table.set("path", value)
    assert table.get("path") == shown


def test_set_with_unprintable_text_keeps_the_field(table):
    table.add_entry_name("path")
    table.set("path", "kept")
    with pytest.raises(RuntimeError):
        table.set("path", BadStr())
    assert table.get("path") == "kept"


def test_names_go_through_str(table):
    table.add_entry_name(5)
    table.set(5, "five")
    assert list(table.entry_name) == ["5"] and table.get("5") == "five"
    assert table.entry_name["5"][4].cget("text") == "5"


def test_delete_all_empties_every_field_in_order(table, pandrel_module, monkeypatch):
    table.delete_all()  # nothing yet
    for name in ("a", "b", "c"):
        table.add_entry_name(name, state="normal" if name != "b" else "disabled", text=f"hint {name}")
    table.set("a", 1)
    table.set("c", 3)
    table.delete_all()
    assert (table.get("a"), table.get("c")) == ("", "")
    assert (table.N, table.entry_y, len(table.entry_name)) == (3, 103, 3)
    order = []
    for name in ("a", "c"):
        table.entry[name] = types.SimpleNamespace(delete=lambda *a, n=name: order.append((n,) + a))
    table.delete_all()
    assert order == [("a", "0", pandrel_module.tkinter.END), ("c", "0", pandrel_module.tkinter.END)]


@pytest.mark.parametrize("second_state, field_replaced", [("normal", True), ("disabled", False)])
def test_a_reused_name_adds_a_row_and_keeps_the_old_widgets(table, second_state, field_replaced):
    table.add_entry_name("x")
    table.set("x", "first")
    old_label, old_field = table.entry_name["x"][4], table.entry["x"]
    table.add_entry_name("x", state=second_state)
    index, _, _, _, label = table.entry_name["x"]
    assert (index, at(label), table.N) == (1, (10, 41), 2)
    assert old_label.winfo_exists() and at(old_label) == (10, 10)
    assert old_field.winfo_exists() and at(old_field) == (130, 10)
    assert (table.entry["x"] is not old_field) == field_replaced
    assert table.get("x") == ("" if field_replaced else "first")


def test_a_name_too_large_to_show_is_refused(table, frame):
    table.add_entry_name("a")
    children = len(frame.children)
    with pytest.raises(ValueError, match="too large to show"):
        table.add_entry_name("x" * 5000)
    assert (len(frame.children), table.N, table.entry_y, list(table.entry_name)) == (children, 1, 41, ["a"])
    frame.update()


@pytest.mark.parametrize("value", [None, 0, 10**100, float("nan"), "", "x" * 100_000, b"b", object(), BadStr(),
                                   "\ud800", [], ("a", "b")])
def test_hostile_arguments_only_raise(table, value):
    table.add_entry_name("path")
    only_python_errors(lambda: table.add_entry_name(value, state=value, text=value),
                 lambda: table.add_entry_name("n", math_calculate_multiplication=value, text=value),
                 lambda: table.set("path", value), lambda: table.get(value), lambda: table.set(value, value))
    table.frame.update()  # shown: a widget too large for the window system would end the process here
    table.set("path", "ok")
    assert table.get("path") == "ok"
    table.delete_all()
    assert table.get("path") == ""
