"""The Tessarim window: it collects the user's template and patent-number files and output
options, hands each report request to a worker through the queues and events its host
passes in, and shows the worker's progress and log lines. `import GUI` works from any folder
(the module lies in site-packages' model/ folder, beside its resource folder 格式範本)."""
# Types of the Tessarim window module GUI. Its imported modules (os, tkinter,
# customtkinter, Image, ... and the package under the alias Halvorine) are not
# re-exported; the kit objects it binds at import are.
from collections.abc import Callable, Mapping
from typing import Any, Protocol, TypeVar

from Halvorine通用模組 import Merrowfold
from Halvorine通用模組 import Pandrel as _Pandrel

_T = TypeVar("_T")

class _Queue(Protocol):
    def put(self, item: Any, /) -> object: ...
    def get(self) -> Any: ...
    def empty(self) -> bool: ...

class _Event(Protocol):
    def set(self) -> object: ...
    def is_set(self) -> bool: ...

pandrel: _Pandrel
"""The kit instance the window is built with."""
Entry_Table = _Pandrel.Entry_Table
Set_Table = _Pandrel.Set_Table
Set_Button = _Pandrel.Set_Button
CTkCalendar = _Pandrel.CTkCalendar
Set_CTkTextbox = _Pandrel.Set_CTkTextbox
try_except: Merrowfold
"""The error logger whose try_except_log wraps the window's handlers."""

def try_except_log(function: Callable[[], _T]) -> Callable[[], _T | None]:
    """Wraps a handler of no arguments so that an Exception it raises is written to standard
    error ("<qualified name> 發生錯誤:" and the traceback) and the window keeps running; the
    wrapper returns the handler's result, or None after a failure."""

class Parameters:
    """The report settings of one window, in `parameters`: "顯示免用統一發票章" (False),
    "顯示負責人章" (False), "顯示日期" (True), "文字大小比例" (1, the text-size factor; the
    settings window takes it in per cent), "中文文字字體" ("標楷體"), "英文文字字體"
    ("Calibri") and "輸出專利說明書PDF檔案" (True; the window's switch "輸出專利說明書" sets
    it, and starts off)."""

    parameters: dict[str, bool | int | float | str]
    def __init__(self) -> None: ...

def GUI(Queue_All_variable: Mapping[str, _Queue], Event_All_variable: Mapping[str, _Event]) -> None:
    """Shows the Tessarim window and runs its main loop on the calling thread, which becomes
    the Tk thread, until the window is closed. `Queue_All_variable` holds the queues
    "起始數據", "get_receipt" and "end", `Event_All_variable` the events "get_receipt" and
    "end" (tessarim/host.py is the reference host).

    It first makes the product folder ~/Halvorine/Tessarim (C:/Halvorine/Tessarim on Windows)
    and, the first time, copies the sample workbook 檢索專利公開號.xlsx into it. Pressing
    "輸出檢索報告" sets the event "get_receipt", empties the log box and puts the request on
    the queue "起始數據": a dict of the two file paths ("範本檔案路徑", "專利檔案路徑"), the
    fonts and text-size factor from the settings window ("設定"), and the flag
    "輸出專利說明書". Every 500 ms the window shows "輸出中." to "輸出中..." on that button
    while the event is set, and adds each line from the queue "get_receipt" to the log box
    (with Set_CTkTextbox.add_text's markup). A failing handler is logged to standard error
    and the window goes on. Once the window is closed it puts None on "end", sets the event
    "end" and puts None on "起始數據", in that order."""
