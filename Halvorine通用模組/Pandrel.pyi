"""The widget kit for customtkinter: every widget is a class nested in `Pandrel`.

Every method that makes or changes a widget must run on the Tk thread, the thread whose
Tcl interpreter holds the widget (the one that made the application), unless its
docstring says otherwise. Sizes are in pixels unless a docstring says otherwise. A widget
larger than the window system can show would end the process when Tk shows it, so the
kit refuses it first with ValueError and leaves the widgets as they were.
"""
# Types of the widget kit Halvorine通用模組.Pandrel.
#
# customtkinter and tkintermapview ship no type information, so the widgets
# they make are typed `Any` (`_Widget`); the parent a kit object is built in
# is any Tk widget (`tkinter.Misc`), customtkinter's included. The module's
# imported globals (os, tkinter, customtkinter, ...) are not re-exported;
# names a class attribute shadows (Figure, threading, ...) are imported as _X.
import threading as _threading
import tkinter
from collections.abc import Callable, Sequence
from os import PathLike
from types import ModuleType
from typing import Any, TypeAlias

import customtkinter
from _typeshed import ConvertibleToFloat, ConvertibleToInt
from matplotlib.axes import Axes as _Axes
from matplotlib.backends.backend_tkagg import FigureCanvasTkAgg as _FigureCanvasTkAgg
from matplotlib.figure import Figure as _Figure

_Widget: TypeAlias = Any
_Color: TypeAlias = str | tuple[str, str]
_Pad: TypeAlias = int | tuple[int, int]
_Path: TypeAlias = str | PathLike[str]
_Numbers: TypeAlias = Sequence[float] | Any  # a sequence or a numpy array

class Pandrel:
    """The kit: its widget classes are attributes of the class, so `Pandrel.Entry_Table(frame)`
    and `Pandrel().Entry_Table(frame)` make the same widget. An instance holds only
    `__version__`; `many_days` is the kit's date utility."""

    __version__: str
    def __init__(self) -> None: ...

    class CTkCalendar(customtkinter.CTkFrame):  # type: ignore[misc]
        """A month calendar that is itself a customtkinter frame: place it like one.

        It opens on the current month, with a title bar ("<", month name, year, ">") above the
        grid of days. `width`, `height`, `corner_radius`, `border_width` and `calendar_label_pad`
        (the padding around each day, one number or a (before, after) pair) are in pixels; the
        other arguments are colours, as customtkinter takes them. `today_fg_color` and
        `today_text_color` mark today's date; without `today_fg_color` today looks like any day.
        With `calendar_button=True` the days are buttons: a click calls `set_day`, and the
        buttons of the shown month are kept in `data["日曆按鈕"]` under "year-month-day" keys
        without zero padding, e.g. "2025-4-5". ValueError when a day would be too large for
        the window system to show.
        """

        data: dict[str, dict[str, Any]]
        calendar_button: bool
        today_text_color: _Color | None
        today_fg_color: _Color | None
        today: tuple[int, int, int]
        day: int
        month: int
        year: int
        labels_by_date: dict[Any, Any]
        month_label: tkinter.StringVar
        year_label: tkinter.IntVar
        title_bar_fg_color: _Color | None
        title_bar_border_width: int | None
        title_bar_border_color: _Color | None
        title_bar_text_color: _Color | None
        title_bar_button_fg_color: _Color | None
        title_bar_button_hover_color: _Color | None
        title_bar_button_text_color: _Color | None
        title_bar_button_border_width: int | None
        title_bar_button_border_color: _Color | None
        title_bar_corner_radius: int | None
        calendar_fg_color: _Color | None
        calendar_border_width: int | None
        calendar_border_color: _Color | None
        calendar_corner_radius: int | None
        calendar_text_fg_color: _Color | None
        calendar_text_color: _Color | None
        calendar_label_pad: int | tuple[int, int]
        content_frame: _Widget
        def __init__(
            self,
            master: tkinter.Misc,
            today_fg_color: _Color | None = None,
            today_text_color: _Color | None = None,
            width: int = 250,
            height: int = 250,
            fg_color: _Color | None = None,
            corner_radius: int = 8,
            border_width: int | None = None,
            border_color: _Color | None = None,
            bg_color: _Color = "transparent",
            background_corner_colors: tuple[_Color, _Color, _Color, _Color] | None = None,
            title_bar_fg_color: _Color | None = None,
            title_bar_border_width: int | None = None,
            title_bar_border_color: _Color | None = None,
            title_bar_corner_radius: int | None = None,
            title_bar_text_color: _Color | None = None,
            title_bar_button_fg_color: _Color | None = None,
            title_bar_button_hover_color: _Color | None = None,
            title_bar_button_text_color: _Color | None = None,
            title_bar_button_border_width: int | None = None,
            title_bar_button_border_color: _Color | None = None,
            calendar_fg_color: _Color | None = None,
            calendar_border_width: int | None = None,
            calendar_border_color: _Color | None = None,
            calendar_corner_radius: int | None = None,
            calendar_text_color: _Color | None = None,
            calendar_text_fg_color: _Color | None = None,
            calendar_label_pad: int | tuple[int, int] = 1,
            calendar_button: bool = False,
        ) -> None: ...
        def setup_header_frame(self) -> None:
            """Builds the title bar at the top of `content_frame`: the "<" and ">" buttons
            (`change_month(-1)` and `change_month(1)`) around the month name and the year.
            The constructor calls it."""

        def create_calendar_frame(self) -> None:
            """Builds the grid of days of the shown month (`year`, `month`) over the earlier
            grids, which stay in the calendar with their labels; the day buttons of the earlier
            grid are destroyed. The constructor and `change_month` call it."""

        def change_month(self, amount: int) -> None:
            """Shows the month `amount` months away: ">" is 1, "<" is -1. A month past December
            becomes January of the next year, one before January December of the year before.
            Each change lays a new grid of days."""

        def current_date(self) -> tuple[int, int, int]:
            """Today's date on this computer's clock, as (day, month, year)."""

        def date_is_today(self, date: tuple[Any, ...]) -> bool:
            """Whether `date`, a (day, month, year) tuple, is `today` (the date the calendar
            was made on). TypeError unless `date` is exactly a tuple."""

        def set_day(self, yy: int, mm: int, dd: int) -> None:
            """Selects year `yy`, month `mm`, day `dd`, what a click on a day button does: stores
            {"年": yy, "月": mm, "日": dd} in `data["設定日期"]`, prints it, and marks that day's
            button grey ("#9D9D9D"), the others "#2b2b2b". KeyError, after storing, when the
            shown month has no button for that date."""

        def get_day(self) -> dict[str, Any]:
            """The selected date, {"年": year, "月": month, "日": day} (the stored dict itself).
            KeyError before the first `set_day`."""

        def setup_label_normal(self, frame: tkinter.Misc, day: int, row: int, column: int) -> None:
            """Puts the cell of `day` of the shown month into `frame` at grid `row` and `column`:
            today's label, a day button (kept in `data["日曆按鈕"]`) with `calendar_button`,
            or a plain label. ValueError when the cell would be too large to show."""

    class Chart_Matplotlib:
        """Matplotlib line charts stacked in column 0 of the parent `frame`, one grid row each.

        The constructor imports matplotlib and numpy (ImportError without them), so the kit
        loads without them. Each chart is kept under its name in `fig`, `ax` and `canvas`.
        """

        Figure: type[_Figure]
        np: ModuleType
        FigureCanvasTkAgg: type[_FigureCanvasTkAgg]
        frame: _Widget
        canvas: dict[Any, _FigureCanvasTkAgg]
        fig: dict[Any, _Figure]
        ax: dict[Any, _Axes]
        row: int
        row_name: dict[Any, int]
        invert_xaxis: dict[Any, Any]
        ylim: dict[Any, Any]
        def __init__(self, frame: tkinter.Misc) -> None: ...
        def add(self, x: _Numbers, y: _Numbers, **kwargs: Any) -> None:
            """Draws `y` over `x` (sequences or numpy arrays of equal length) as a new chart in
            the next grid row. Keywords: `name` (default "$$$<row>$$$"); `Lx`, `Ly`, the size
            in pixels (default the parent's configured width and height); `dpi` (100; the
            figure is Lx/dpi by Ly/dpi inches); `facecolor` ("#2b2b2b"); `line_color`
            ("#3B8ED0"); `bottom`, the bottom margin as a fraction of the height (0.3);
            `invert_xaxis` (False); `ylim`, a fixed (low, high) y range (None: automatic).
            ValueError when the chart would be too large for the window system to show;
            IndexError for an empty `y`."""

        def update(self, x: _Numbers, y: _Numbers, name: object = None) -> None:
            """Redraws the chart named `name` in place with new data, keeping its background,
            inversion and y range; the line takes matplotlib's default colour. The name is
            looked up as str(name), so charts meant for updating get a text name from `add`.
            KeyError for an unknown name."""

        def test(
            self,
            Lx: float | None = None,
            Ly: float | None = None,
            dpi: float = 100,
            facecolor: str = "#2b2b2b",
            line_color: str = "#3B8ED0",
            bottom: float = 0.3,
        ) -> None:
            """Draws a sample chart, a sine of amplitude 2 and period 1 from 0 to 3, in the next
            grid row; the arguments mean what they mean for `add` (`Lx`, `Ly` in pixels).
            ValueError when it would be too large to show."""

    class Entry_Table:
        """A grid of cells under named column headers, with row numbers on the left, placed
        at fixed pixels in the parent `frame`, whose height is set to fit the rows (for
        scrolling, a frame packed inside a CTkScrollableFrame).

        Declare the columns left to right with `add_entry_name`, then build the rows once
        with `add_table`. Columns are addressed by name (as str(name)); rows by index from 0.
        """

        entry_name: dict[str, list[Any]]
        entry_x_init: int
        entry_x: float
        frame: _Widget
        entry: dict[str, list[Any]]
        N: int
        default_value_get: dict[str, list[str]]
        name_to_random_string: dict[str, str]
        def __init__(self, frame: tkinter.Misc) -> None: ...
        def random_string(self, length: int = 20) -> str:
            """`length` random ASCII letters and digits: the key a new column is kept under."""

        def add_entry_name(
            self,
            name: object,
            width: ConvertibleToFloat,
            state: str = "normal",
            math_calculate_multiplication: list[Any] = ...,
        ) -> None:
            """Declares the next column, to the right of the others: its bold header str(name)
            and its width in pixels (float(width); neighbouring columns overlap by 2 pixels).
            `state` "normal" gives editable cells, "disabled" display-only ones; any other
            state, a header without cells. `math_calculate_multiplication` is kept with the
            column. ValueError when the header would be too large for the window system."""

        def add_table(self, n: int, serial_number: bool = True) -> None:
            """Builds `n` rows of cells for every declared column, 28 pixels apart (cells are
            30 pixels high), numbered 1 to n on the left when `serial_number`, and sets the
            parent's height to fit them. ValueError when the table would be taller, or a
            column wider, than the window system can show."""

        def delete_all(self) -> None:
            """Empties every cell, typed and shown text alike (the grey hints stay), and forgets
            the default values."""

        def get(self) -> list[list[str]]:
            """One list per column, left to right, of one string per row (empty for a column
            without cells): the typed text of an editable cell or, when nothing is typed and
            for display-only cells, the default value from `set_text(..., default_value=True)`,
            else ""."""

        def update(self) -> None:
            """Does nothing; kept for callers that call it."""

        def set_text(self, name: object, y: int, text: object, default_value: bool = False) -> None:
            """Puts `text` into row `y` of the column `name`: shown as str(text) in a display-only
            cell, as the grey hint of an editable one. With `default_value`, `get()` reports
            str(text) for that cell while nothing is typed there. KeyError for an unknown
            column, IndexError for a row outside the table, ValueError (the cell unchanged)
            when the text would be too large to show."""

        def set_title_text(self, name: object, new_name: object) -> None:
            """Shows str(new_name) as the header of the column `name`; both names address the
            column from then on. KeyError for an unknown column, ValueError (the header
            unchanged) when the new header would be too large to show."""

    class Set_Table:
        """A column of named settings placed at fixed pixels in the parent `frame`: each row a
        bold label at x 10 and, when editable, a 200 x 30 pixel entry field at x 130; rows are
        31 pixels apart from y 10. Rows are addressed by name (as str(name))."""

        entry_name: dict[str, list[Any]]
        entry_x_init: int
        entry_x: int
        entry_y_init: int
        entry_y: int
        frame: _Widget
        entry: dict[str, _Widget]
        N: int
        width_unit: int
        def __init__(self, frame: tkinter.Misc) -> None: ...
        def add_entry_name(
            self,
            name: object,
            state: str = "normal",
            math_calculate_multiplication: list[Any] = ...,
            text: str = "",
        ) -> None:
            """Adds the next row, labelled str(name). With `state` "normal" it gets an entry
            field showing `text` as its grey hint; any other state, the label alone.
            `math_calculate_multiplication` is kept with the row. ValueError when the label
            would be too large for the window system to show."""

        def get(self, name: object) -> str:
            """The text typed in the field of row `name` (the hint is not text). KeyError for a
            row without a field."""

        def delete_all(self) -> None:
            """Empties every field."""

        def set(self, name: object, text: object) -> None:
            """Replaces the text of row `name`'s field by str(text) (the field is unchanged when
            str fails). KeyError for a row without a field."""

    class Set_Button:
        """Command buttons kept by name (as str(name)), each placed in the parent given to
        `add_button`. `button_data[name]` holds the button under "CTkButton" and, for an
        image button, its image under "CTkImage"."""

        button_data: dict[str, dict[str, _Widget]]
        def __init__(self) -> None: ...
        def add_button(
            self,
            frame: tkinter.Misc,
            button_name: object = None,
            image_path: _Path | None = None,
            size: tuple[int, int] = ...,
            text: str = "",
            row: int = 0,
            column: int = 0,
            padx: _Pad | None = None,
            pady: _Pad | None = None,
            sticky: str = "ne",
            corner_radius: int = 6,
            button_event: Callable[[], object] | None = None,
            fg_color: _Color = "#2b2b2b",
            width: int = 20,
            font: Any = None,
        ) -> None:
            """Makes a button in `frame` and grids it at `row`, `column` with `sticky`; `padx`,
            `pady` are pixels or (before, after) pairs. `button_name` defaults to
            str(time.time()); a new button under an existing name replaces it in `button_data`
            (the old one stays on screen). With `image_path` the button shows that image at
            `size` (width, height) pixels on `fg_color`; otherwise `text` in `font` (default
            bold Microsoft JhengHei 15). `width` and `corner_radius` are in pixels.
            `button_event` runs on a click; without it a click prints "按鈕沒有定義觸發環境".
            ValueError when the button would be too large for the window system to show;
            PIL's errors for an image it cannot open."""

        def cget(self, button_name: object, data: object) -> Any:
            """The option str(data) of the named button, e.g. "text" or "state". KeyError for an
            unknown name."""

        def configure(self, button_name: object, text: str | None = None, state: str | None = None) -> None:
            """Sets the named button's text to str(text), or, when no text is given, its state
            ("normal" or "disabled"). KeyError for an unknown name; ValueError (the text
            unchanged) when the new text would make the button too large to show."""

    def many_days(self, year: ConvertibleToInt, month: ConvertibleToInt) -> int:
        """The number of days (28 to 31) of `month` in `year`, leap years by the Gregorian rule;
        both go through int() first, so "2024" and 2.0 will do. ValueError "輸入的月份錯誤
        month = <month>" for a month outside 1 to 12, and int()'s errors."""

    class Draw_Map:
        """A tkintermapview map in the parent `frame` (grid row 0, column 0) that draws the tracks
        of GPX files as blue paths.

        The map is 750 x 400 pixels on a 1920 x 1080 screen, in proportion on others, centred
        over Taiwan (23.75 degrees latitude, 120.94 degrees longitude) at zoom level 7. Its Tk
        calls always run on the Tk thread (the thread the Tcl interpreter runs on, whichever
        thread made the map), driven by the event loop. `lock_draw_line` is held while one
        file's paths are drawn and while the paths are cleared.
        """

        math: ModuleType
        threading: ModuleType
        lock_draw_line: _threading.Lock
        gpxpy: ModuleType
        frame: _Widget
        map_widget: _Widget
        max_y: int
        min_y: int
        max_x: int
        min_x: int
        def __init__(self, frame: tkinter.Misc) -> None: ...
        def draw_gpx(self, data_path: _Path, **kwargs: Any) -> None:
            """Draws the GPX file `data_path` without blocking; keyword `adapt_sizes` (default
            False) also fits the view to its tracks. Returns at once: a daemon thread reads and
            parses the file and works out the view, and makes no Tk call itself; it hands the
            map work (the view, then the paths in slices of about 15 ms under `lock_draw_line`)
            to the Tk thread through the event loop, so the event loop must run.
            Failures are raised on that thread (threading.excepthook reports them). Prints
            "已匯入 --> <path>" once the file is on the map."""

        def _draw_gpx(self, data_path: _Path, adapt_sizes: bool, **kwargs: Any) -> None:
            """The work of `draw_gpx` on the calling thread. Files whose name does not end in
            ".gpx" are ignored. With `adapt_sizes` the view is centred on the tracks and zoomed
            to fit them, printing "適應大小 座標(<lon>, <lat>) 層級(<zoom>)" (degrees, zoom level).
            On the Tk thread the paths are drawn at once when the lock is free, otherwise from
            the event loop as soon as it is (never waiting); on another thread it returns once
            the file is on the map, or when the map's window is destroyed. Prints
            "已匯入 --> <path>" when drawn. OSError for a file it cannot read, gpxpy's errors
            for one that is not GPX."""

        def delete_all_path(self) -> None:
            """Removes every path from the map. On the Tk thread it clears at once when the lock
            is free, otherwise returns at once and clears as soon as the file being drawn is on
            the map; from another thread it waits for that file, then clears."""

    class Set_CTkTextbox:
        """A log box: a customtkinter text box of 700 x 300 pixels, corner radius 0, gridded at row
        0, column 0 of the parent `frame`, with colour markup in its lines. Keywords of the
        constructor go to CTkTextbox; repeating master, width, height or corner_radius is a
        TypeError."""

        re: ModuleType
        frame: _Widget
        textbox: _Widget
        def __init__(self, frame: tkinter.Misc, **kwargs: Any) -> None: ...
        def add_text(self, text: str, **kwargs: Any) -> None:
            """Adds `text` as a line at the bottom of the box, or at the top when it holds the
            marker <$$$最前方顯示$$$> (which is removed). A piece written
            <$$$顏色[red]$$$>...</$$$顏色$$$> within one line gets the Tk tag of that colour
            name (red, green and blue are coloured); the other pieces get the tag of the
            keyword `color` (default "white")."""

        def delete_all(self, **kwargs: Any) -> None:
            """Empties the box."""
