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
Entry_Table = _Pandrel.Entry_Table
Set_Table = _Pandrel.Set_Table
Set_Button = _Pandrel.Set_Button
CTkCalendar = _Pandrel.CTkCalendar
Set_CTkTextbox = _Pandrel.Set_CTkTextbox
try_except: Merrowfold

def try_except_log(function: Callable[[], _T]) -> Callable[[], _T | None]: ...

class Parameters:
    # "顯示免用統一發票章", "顯示負責人章", "顯示日期", "文字大小比例", "中文文字字體",
    # "英文文字字體", "輸出專利說明書PDF檔案"
    parameters: dict[str, bool | int | float | str]
    def __init__(self) -> None: ...

# Queues "起始數據", "get_receipt", "end"; events "get_receipt", "end".
# Runs the window's main loop and returns when the window is closed.
def GUI(Queue_All_variable: Mapping[str, _Queue], Event_All_variable: Mapping[str, _Event]) -> None: ...
