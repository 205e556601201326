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
    __version__: str
    def __init__(self) -> None: ...

    class CTkCalendar(customtkinter.CTkFrame):  # type: ignore[misc]
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
        def setup_header_frame(self) -> None: ...
        def create_calendar_frame(self) -> None: ...
        def change_month(self, amount: int) -> None: ...
        def current_date(self) -> tuple[int, int, int]: ...
        # date is (day, month, year); it must be exactly a tuple.
        def date_is_today(self, date: tuple[Any, ...]) -> bool: ...
        def set_day(self, yy: int, mm: int, dd: int) -> None: ...
        # The selection itself, {"年": ..., "月": ..., "日": ...}; KeyError before the first set_day.
        def get_day(self) -> dict[str, Any]: ...
        def setup_label_normal(self, frame: tkinter.Misc, day: int, row: int, column: int) -> None: ...

    class Chart_Matplotlib:
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
        def add(self, x: _Numbers, y: _Numbers, **kwargs: Any) -> None: ...
        def update(self, x: _Numbers, y: _Numbers, name: object = None) -> None: ...
        def test(
            self,
            Lx: float | None = None,
            Ly: float | None = None,
            dpi: float = 100,
            facecolor: str = "#2b2b2b",
            line_color: str = "#3B8ED0",
            bottom: float = 0.3,
        ) -> None: ...

    class Entry_Table:
        entry_name: dict[str, list[Any]]
        entry_x_init: int
        entry_x: float
        frame: _Widget
        entry: dict[str, list[Any]]
        N: int
        default_value_get: dict[str, list[str]]
        name_to_random_string: dict[str, str]
        def __init__(self, frame: tkinter.Misc) -> None: ...
        def random_string(self, length: int = 20) -> str: ...
        def add_entry_name(
            self,
            name: object,
            width: ConvertibleToFloat,
            state: str = "normal",
            math_calculate_multiplication: list[Any] = ...,
        ) -> None: ...
        def add_table(self, n: int, serial_number: bool = True) -> None: ...
        def delete_all(self) -> None: ...
        def get(self) -> list[list[str]]: ...
        def update(self) -> None: ...
        def set_text(self, name: object, y: int, text: object, default_value: bool = False) -> None: ...
        def set_title_text(self, name: object, new_name: object) -> None: ...

    class Set_Table:
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
        ) -> None: ...
        def get(self, name: object) -> str: ...
        def delete_all(self) -> None: ...
        def set(self, name: object, text: object) -> None: ...

    class Set_Button:
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
        ) -> None: ...
        def cget(self, button_name: object, data: object) -> Any: ...
        def configure(self, button_name: object, text: str | None = None, state: str | None = None) -> None: ...

    # Days of `month` in `year` (28 to 31); both go through int() first.
    # ValueError for a month outside 1 to 12.
    def many_days(self, year: ConvertibleToInt, month: ConvertibleToInt) -> int: ...

    class Draw_Map:
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
        # Keyword adapt_sizes (default False); draws on a thread of its own.
        def draw_gpx(self, data_path: _Path, **kwargs: Any) -> None: ...
        def _draw_gpx(self, data_path: _Path, adapt_sizes: bool, **kwargs: Any) -> None: ...
        def delete_all_path(self) -> None: ...

    class Set_CTkTextbox:
        re: ModuleType
        frame: _Widget
        textbox: _Widget
        def __init__(self, frame: tkinter.Misc, **kwargs: Any) -> None: ...
        # Keyword color: the tag of the plain pieces (default "white").
        def add_text(self, text: str, **kwargs: Any) -> None: ...
        def delete_all(self, **kwargs: Any) -> None: ...
