"""Arguments that record their conversions and comparisons: each kit method
converts and compares them as the same methods written in Python do, once per
time the code writes it, in its order, with its operator."""
import pytest


class Recorder:
    """Logs str(), ==, != and float() on it into a shared list; compares equal
    when `equal` says so."""

    def __init__(self, log, name, text="r", equal=NotImplemented):
        self.log, self.name, self.text, self.equal = log, name, text, equal

    def __str__(self):
        self.log.append((self.name, "str"))
        return self.text

    def __eq__(self, other):
        self.log.append((self.name, "==", other))
        return self.equal

    def __ne__(self, other):
        self.log.append((self.name, "!=", other))
        return NotImplemented

    def __float__(self):
        self.log.append((self.name, "float"))
        return 60.0

    __hash__ = object.__hash__


class Pad(int):
    """A padding (tkinter takes it as the number it is) that logs == and !=."""

    def __new__(cls, log, value):
        pad = super().__new__(cls, value)
        pad.log = log
        return pad

    def __eq__(self, other):
        self.log.append(("pad", "==", other))
        return NotImplemented

    def __ne__(self, other):
        self.log.append(("pad", "!=", other))
        return NotImplemented

    __hash__ = int.__hash__


@pytest.fixture
def log():
    return []


def test_set_table(Pandrel, frame, log):
    table = Pandrel.Set_Table(frame)
    table.add_entry_name(Recorder(log, "name", "path"), state=Recorder(log, "state"))
    # the label's text, the record's key, the record read back for its state
    assert log == [("name", "str")] * 3 + [("state", "==", "normal")]
    table.add_entry_name("field")
    log.clear()
    with pytest.raises(KeyError):  # the name is looked up before the value is made text
        table.set(Recorder(log, "name", "missing"), Recorder(log, "value"))
    table.set(Recorder(log, "name", "field"), Recorder(log, "value", "v"))
    assert log == [("name", "str"), ("name", "str"), ("name", "str"), ("value", "str")]
    assert table.get("field") == "v"


def test_set_button(Pandrel, frame, log):
    buttons = Pandrel.Set_Button()
    buttons.add_button(frame, Recorder(log, "name", "b"), text="go", padx=Pad(log, 3))
    assert log == [("name", "==", None)] + [("name", "str")] * 3 + [("pad", "==", None), ("pad", "!=", None)]
    assert buttons.button_data["b"]["CTkButton"].grid_info()["padx"] == 3
    log.clear()
    buttons.configure(Recorder(log, "name", "b"), text=Recorder(log, "text", "went"))
    assert log == [("text", "!=", None), ("name", "str"), ("text", "str")]
    assert buttons.cget("b", "text") == "went"


def test_entry_table(Pandrel, frame, log):
    table = Pandrel.Entry_Table(frame)
    table.add_entry_name(Recorder(log, "name", "A"), Recorder(log, "width"))
    assert log == [("name", "str"), ("width", "float"), ("name", "str"), ("name", "str"), ("width", "float"),
                   ("width", "float")]
    table.add_table(1)
    log.clear()
    table.set_title_text(Recorder(log, "old", "A"), Recorder(log, "new", "B"))
    assert log == [("old", "str"), ("new", "str"), ("new", "str"), ("new", "str")]
    log.clear()
    table.set_text(Recorder(log, "name", "B"), 0, Recorder(log, "text", "t"), True)
    # the column's state twice ("disabled", then "normal") and its cell; the
    # placeholder's text (customtkinter's str), then the default's value before
    # its place
    assert log == [("name", "str")] * 3 + [("text", "str"), ("text", "str"), ("name", "str")]


def test_ctk_calendar(Pandrel, frame, log):
    cal = Pandrel.CTkCalendar(frame, calendar_button=True)
    day, month, year = cal.today
    date = tuple(Recorder(log, part, equal=True) for part in ("day", "month", "year"))
    assert cal.date_is_today(date) is True
    assert log == [("year", "==", year), ("month", "==", month), ("day", "==", day)]
    log.clear()
    cal.month, cal.year = 3, 2025
    cal.change_month(0)
    cal.set_day(Recorder(log, "yy", "2025"), Recorder(log, "mm", "3"), Recorder(log, "dd", "5"))
    # the date key, as an f-string formats each part
    assert log == [("yy", "str"), ("mm", "str"), ("dd", "str")]
    assert cal.data["日曆按鈕"]["2025-3-5"].cget("fg_color") == "#9D9D9D"


def test_chart(Pandrel, frame, log):
    frame.configure(width=200, height=100)
    chart = Pandrel.Chart_Matplotlib(frame)

    class Limits(tuple):
        def __ne__(self, other):
            log.append(("ylim", "!=", other))
            return tuple.__ne__(self, other)

    chart.add([0, 1], [1, 2], name="c", ylim=Limits((0, 3)))
    chart.update([0, 1], [2, 1], Recorder(log, "name", "c"))
    assert log == [("ylim", "!=", None), ("name", "str"), ("ylim", "!=", None)]
    assert chart.ax["c"].get_ylim() == (0, 3)
