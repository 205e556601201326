"""CTkCalendar: the title bar, month paging, the day grid, day buttons and the picked date."""
import calendar
import datetime as dt
import gc

import pytest

from hostile import BadStr, only_python_errors


@pytest.fixture
def pin(pandrel_module, monkeypatch):
    """Pins the calendar's clock: the module global `datetime` answers now() with the given day."""
    def to(year, month, day):
        class Pinned:
            @staticmethod
            def now():
                return dt.datetime(year, month, day, 9, 30, 15, 123456)
        monkeypatch.setitem(vars(pandrel_module), "datetime", Pinned)
    to(2025, 3, 14)
    return to


@pytest.fixture
def make(Pandrel, frame, pin):
    def build(**options):
        cal = Pandrel.CTkCalendar(frame, **options)
        cal.pack()
        return cal
    return build


def parts(cal):
    """The title bar and the grid frames, oldest first."""
    bar, *grids = cal.content_frame.winfo_children()
    return bar, grids


def cells(grid):
    return {(int(c.grid_info()["row"]), int(c.grid_info()["column"])): c for c in grid.winfo_children()}


def test_constructor_state_title_bar_and_geometry(Pandrel, make, frame):
    import customtkinter
    cal = make()
    assert isinstance(cal, customtkinter.CTkFrame) and type(Pandrel.CTkCalendar) is type(customtkinter.CTkFrame)
    assert (cal.today, cal.day, cal.month, cal.year) == ((14, 3, 2025), 14, 3, 2025)
    assert (cal.month_label.get(), cal.year_label.get()) == (calendar.month_name[3], 2025)
    assert cal.data == {"日曆按鈕": {}} and cal.calendar_button is False and cal.labels_by_date == {}
    info = cal.content_frame.pack_info()
    assert (info["expand"], info["fill"], info["padx"], info["pady"]) == (1, "both", 3, 3)  # 8 / 3, as Tk rounds it
    bar, [grid] = parts(cal)
    assert {k: bar.place_info()[k] for k in ("relx", "rely", "anchor", "relheight", "relwidth")} == {
        "relx": "0.5", "rely": "0.02", "anchor": "n", "relheight": "0.18", "relwidth": "0.95"}
    back, month, year, forward = bar.winfo_children()
    assert [(w.cget("text"), w.pack_info()["side"]) for w in (back, forward)] == [("<", "left"), (">", "right")]
    assert [str(w.cget("textvariable")) for w in (month, year)] == [str(cal.month_label), str(cal.year_label)]
    assert (grid.place_info()["rely"], grid.place_info()["anchor"], grid.place_info()["relheight"]) == ("0.97", "s",
                                                                                                       "0.75")
    assert grid.grid_columnconfigure(6)["uniform"] == "b" and grid.grid_rowconfigure(5)["weight"] == 1
    forward.invoke()
    assert (cal.month, cal.month_label.get()) == (4, "April")
    back.invoke()
    back.invoke()
    assert (cal.month, cal.year, cal.day) == (2, 2025, 14)


@pytest.mark.parametrize("year, month, rows, first", [(2021, 2, 4, (0, 0)), (2025, 3, 6, (0, 5))])
def test_day_grid_follows_monthcalendar(make, pin, year, month, rows, first):
    pin(year, month, 1)
    grid = parts(make())[1][0]
    laid = cells(grid)
    assert len(laid) == calendar.monthrange(year, month)[1] and laid[first].cget("text") == "1"
    assert max(r for r, _ in laid) == rows - 1 and grid.grid_size() == (7, rows)
    assert grid.grid_rowconfigure(rows - 1)["uniform"] == "b"


def test_registry_is_rebuilt_and_the_old_grid_stays(make):
    cal = make(calendar_button=True)
    march = dict(cal.data["日曆按鈕"])
    assert list(march) == [f"2025-3-{d}" for d in range(1, 32)]
    assert all(b.cget("fg_color") == "#2b2b2b" for b in march.values())
    cal.change_month(1)
    assert list(cal.data["日曆按鈕"]) == [f"2025-4-{d}" for d in range(1, 31)]
    assert not any(b.winfo_exists() for b in march.values())
    cal.change_month(0)
    assert len(parts(cal)[1]) == 3  # each build keeps the earlier grid frames beneath it


def test_today_cell_and_clicking_a_day(make, capsys):
    cal = make(calendar_button=True, today_fg_color="red", today_text_color="white")
    buttons = cal.data["日曆按鈕"]
    assert len(buttons) == 30 and "2025-3-14" not in buttons
    today = cells(parts(cal)[1][0])[(2, 4)]
    assert (today.cget("text"), today.cget("fg_color"), today.cget("text_color")) == ("14", "red", "white")
    buttons["2025-3-5"].invoke()
    assert capsys.readouterr().out == "{'年': 2025, '月': 3, '日': 5}\n"
    assert [k for k, b in buttons.items() if b.cget("fg_color") == "#9D9D9D"] == ["2025-3-5"]
    picked = cal.get_day()
    assert picked == {"年": 2025, "月": 3, "日": 5} and picked is cal.data["設定日期"]
    with pytest.raises(KeyError, match="'2025-3-14'"):
        cal.set_day(2025, 3, 14)
    assert all(b.cget("fg_color") == "#2b2b2b" for b in buttons.values()) and cal.get_day()["日"] == 14
    with pytest.raises(KeyError, match="'2025-03-05'"):
        cal.set_day("2025", "03", "05")


def test_without_today_colour_every_day_is_a_label(make):
    cal = make(today_text_color="white")
    grid = parts(cal)[1][0]
    assert cal.data["日曆按鈕"] == {} and all(type(c).__name__ == "CTkLabel" for c in grid.winfo_children())
    assert cells(grid)[(2, 4)].cget("text_color") != "white"
    with pytest.raises(KeyError, match="設定日期"):
        cal.get_day()


@pytest.mark.parametrize("start, amount, shown", [
    ((2025, 12, 14), 1, (1, 2026, 1)), ((2026, 1, 14), -1, (12, 2025, 1)), ((2025, 3, 14), 1, (4, 2025, 14)),
    ((2025, 10, 14), 5, (1, 2026, 1)), ((2025, 3, 14), -14, (12, 2024, 1)), ((2025, 3, 14), 0, (3, 2025, 14))])
def test_change_month_wraps_once(make, pin, start, amount, shown):
    pin(*start)
    cal = make()
    cal.change_month(amount)
    assert (cal.month, cal.year, cal.day) == shown
    assert (cal.month_label.get(), cal.year_label.get()) == (calendar.month_name[shown[0]], shown[1])


def test_failures(Pandrel, make, frame):
    cal = make()
    assert cal.date_is_today((14, 3, 2025)) is True and cal.date_is_today((14, 3, 2024, "x")) is False
    for bad, error in [([14, 3, 2025], TypeError), (None, TypeError), (type("T", (tuple,), {})((14, 3, 2025)),
                                                                       TypeError), ((14, 3), IndexError)]:
        with pytest.raises(error, match="'date' must be tuple, not" if error is TypeError else None):
            cal.date_is_today(bad)
    with pytest.raises(TypeError):
        cal.change_month("x")
    assert (cal.month, cal.year, len(parts(cal)[1])) == (3, 2025, 1)
    with pytest.raises(TypeError):
        Pandrel.CTkCalendar(frame, corner_radius=None)
    with pytest.raises(TypeError, match="unexpected keyword argument 'colour'"):
        Pandrel.CTkCalendar(frame, colour=1)


HOSTILE = [None, 0, -1, 10**100, 1.5, float("nan"), "", "x" * 200_000, b"b", object(), BadStr(), [], ("a",), "\ud800"]


def test_hostile_arguments(Pandrel, make, frame, capsys):
    cal = make(calendar_button=True)
    grid = parts(cal)[1][0]
    for value in HOSTILE:
        only_python_errors(
            lambda: cal.setup_label_normal(grid, value, 0, 0), lambda: cal.setup_label_normal(value, 1, value, 0),
            lambda: cal.set_day(value, 3, value), lambda: cal.date_is_today((value,) * 3),
            lambda: Pandrel.CTkCalendar(frame, width=value), lambda: Pandrel.CTkCalendar(frame, calendar_label_pad=value),
            lambda: Pandrel.CTkCalendar(frame, today_fg_color=value), lambda: Pandrel.CTkCalendar(frame, fg_color=value))
        cal.month, cal.year = 3, 2025
        only_python_errors(lambda: cal.change_month(value))
    with pytest.raises(ValueError, match="too large"):
        cal.setup_label_normal(grid, "x" * 200_000, 0, 0)
    cal.month, cal.year = 3, 2025
    cal.change_month(1)
    cal.data["日曆按鈕"]["2025-4-2"].invoke()
    assert cal.get_day() == {"年": 2025, "月": 4, "日": 2}
    capsys.readouterr()


def test_destroyed_calendars_are_freed(Pandrel, root, pin, capsys):
    import customtkinter

    def one_round():
        holder = customtkinter.CTkFrame(root)
        cal = Pandrel.CTkCalendar(holder, calendar_button=True, today_fg_color="red")
        cal.data["日曆按鈕"]["2025-3-3"].invoke()
        cal.change_month(1)
        cal.change_month(-2)
        holder.destroy()

    for _ in range(3):
        one_round()
    root.update()
    gc.collect()
    before = len(gc.get_objects())
    for _ in range(15):
        one_round()
    root.update()
    gc.collect()
    assert len(gc.get_objects()) - before < 40
    capsys.readouterr()
