"""The reference report worker of Tessarim.

The window hands each output request to the worker through the queue
"起始數據" and sets the event "get_receipt" while an output runs. The worker
takes the request, reads the patent publication numbers from the chosen
workbook, writes a report workbook into the product folder and reports its
progress as log lines on the queue "get_receipt" (in the log box's markup). It
clears the event "get_receipt" when the output ends, whether it succeeded or
not. It stops on `None` from "起始數據" or once the event "end" is set.

This reference works offline: it lists each number with what can be read off
the number itself (office and kind code); it fetches no bibliographic data and
no patent-document PDFs.
"""
from __future__ import annotations

import math
import numbers
import os
import queue
import re
import sys
import threading
import traceback
from dataclasses import dataclass
from datetime import datetime
from pathlib import Path
from typing import Callable, Mapping

PATENT_WORKBOOK = "檢索專利公開號.xlsx"
REPORT_PREFIX = "檢索報告"
REPORT_SHEET = "檢索報告"
HEADERS = ("序號", "專利公開號", "國家/地區", "種類代碼", "專利說明書PDF")
BASE_FONT_SIZE = 12.0
MIN_FONT_SIZE, MAX_FONT_SIZE = 1.0, 409.0  # what spreadsheet programs accept
DEFAULT_CHINESE_FONT = "標楷體"
DEFAULT_ENGLISH_FONT = "Calibri"
PDF_REQUESTED = "未下載（離線版本）"
PDF_NOT_REQUESTED = "未要求"
PROGRESS_LINES = 20  # at most about this many per-number lines in the log

OFFICES = {
    "TW": "台灣",
    "US": "美國",
    "CN": "中國大陸",
    "JP": "日本",
    "KR": "韓國",
    "EP": "歐洲專利局",
    "WO": "世界智慧財產權組織",
    "DE": "德國",
    "GB": "英國",
    "FR": "法國",
}

_NUMBER = re.compile(r"^([A-Z]{2})([A-Z]?\d[\d/-]*?)([A-Z]\d?)?$")
_CJK = re.compile(r"[\u2e80-\u9fff\uf900-\ufaff\uff00-\uffef\u3000-\u303f]")


def product_folder() -> Path:
    """Where reports and the patent-number workbook live, resolved now."""
    if sys.platform.startswith("win"):
        return Path("C:/Halvorine/Tessarim/")
    return Path(os.path.expanduser("~/Halvorine/Tessarim/"))


# ------------------------------------------------------------------ log lines

def _clean(value: object) -> str:
    """Text from outside (paths, cell values, error messages) made safe for one
    log line: no line breaks, and nothing the log box would read as markup."""
    text = str(value)
    for ch in "\r\n\t":
        text = text.replace(ch, " ")
    return text.replace("$$$", "$$ $")


def green(text: str) -> str:
    return f"<$$$顏色[green]$$$>{text}</$$$顏色$$$>"


def red(text: str) -> str:
    return f"<$$$顏色[red]$$$>{text}</$$$顏色$$$>"


def _reason(exc: BaseException) -> str:
    """Why a workbook could not be opened, in a few words."""
    from zipfile import BadZipFile

    from openpyxl.utils.exceptions import InvalidFileException

    if isinstance(exc, (InvalidFileException, BadZipFile)):
        return "不是可讀取的 Excel 活頁簿（.xlsx、.xlsm）"
    if isinstance(exc, PermissionError):
        return "沒有讀取權限"
    return _clean(exc) or type(exc).__name__


class RequestError(Exception):
    """A request that cannot be carried out; its message becomes a red line."""


# ----------------------------------------------------------------- the report

def read_patent_numbers(path: str) -> list[str]:
    """The publication numbers in the first column of the workbook's first
    sheet: the header row skipped, blank cells skipped, values stripped."""
    if not isinstance(path, str) or not path.strip():
        raise RequestError("未選擇專利檔案，請先選擇專利檔案路徑")
    if not os.path.exists(path):
        raise RequestError(f"找不到專利檔案：{_clean(path)}")
    if not os.path.isfile(path):
        raise RequestError(f"專利檔案路徑不是檔案：{_clean(path)}")
    from openpyxl import load_workbook

    try:
        book = load_workbook(path, read_only=True, data_only=True)
    except Exception as exc:
        raise RequestError(f"無法讀取專利檔案：{_clean(path)}（{_reason(exc)}）") from exc
    try:
        sheet = book.worksheets[0] if book.worksheets else None
        found = []
        if sheet is not None:
            for (value,) in sheet.iter_rows(min_row=2, max_col=1, values_only=True):
                if value is None:
                    continue
                if isinstance(value, float) and value.is_integer():
                    value = int(value)
                text = str(value).strip()
                if text:
                    found.append(text)
    except Exception as exc:
        raise RequestError(f"無法讀取專利檔案：{_clean(path)}（{_reason(exc)}）") from exc
    finally:
        book.close()
    if not found:
        raise RequestError(f"專利檔案中沒有專利公開號：{_clean(path)}")
    return found


def font_size(ratio: object) -> tuple[float, str | None]:
    """The report's font size for a text-size ratio, and a complaint when the
    ratio could not be used as given."""
    if isinstance(ratio, bool) or not isinstance(ratio, numbers.Real) or not math.isfinite(ratio) or ratio <= 0:
        return BASE_FONT_SIZE, f"文字大小比例 {_clean(ratio)} 無效，改用 100%"
    size = round(BASE_FONT_SIZE * float(ratio) * 2) / 2  # spreadsheet sizes go in half points
    if size < MIN_FONT_SIZE or size > MAX_FONT_SIZE:
        size = min(max(size, MIN_FONT_SIZE), MAX_FONT_SIZE)
        return size, f"文字大小比例 {_clean(ratio)} 超出範圍，字體大小改用 {size:g}"
    return size, None


def describe(number: str) -> tuple[str, str]:
    """The office and the kind code that can be read off a publication number."""
    match = _NUMBER.match(number.replace(" ", "").upper())
    if not match:
        return "", ""
    office, _, kind = match.groups()
    return OFFICES.get(office, office), kind or ""


def _font_name(value: object, default: str) -> str:
    return value.strip() if isinstance(value, str) and value.strip() else default


def _display_width(text: str) -> int:
    """Width in character cells: CJK characters take two."""
    return sum(2 if _CJK.match(ch) else 1 for ch in text)


@dataclass
class Result:
    request: object
    report: Path | None = None
    error: str | None = None


class ReportBuilder:
    """Turns one request into one report workbook, posting log lines as it goes."""

    def __init__(self, folder: Path, now: datetime, post: Callable[[str], None]):
        self.folder = folder
        self.now = now
        self.post = post

    def build(self, request: Mapping) -> Path:
        if not isinstance(request, Mapping):
            raise RequestError(f"無法辨識的輸出要求：{_clean(type(request).__name__)}")
        patents = request.get("專利檔案路徑", "")
        self.post(green(f"讀取專利檔案：{_clean(patents)}"))
        found = read_patent_numbers(patents)
        self.post(green(f"共 {len(found)} 筆專利公開號"))

        size, complaint = font_size(request.get("文字大小比例", 1))
        if complaint:
            self.post(red(complaint))
        chinese = _font_name(request.get("中文文字字體"), DEFAULT_CHINESE_FONT)
        english = _font_name(request.get("英文文字字體"), DEFAULT_ENGLISH_FONT)
        wants_pdf = bool(request.get("輸出專利說明書", False))
        if wants_pdf:
            self.post("此參考版本不連線，無法下載專利說明書PDF檔案，只輸出檢索報告")

        book, sheet, from_template = self._open_template(request.get("範本檔案路徑", ""))
        self._fill(sheet, found, size, chinese, english, wants_pdf, from_template)
        return self._save(book)

    def _open_template(self, template: object):
        from openpyxl import Workbook, load_workbook

        if isinstance(template, str) and template.strip():
            try:
                book = load_workbook(template)
                self.post(green(f"使用範本檔案：{_clean(template)}"))
                return book, book.active, True
            except Exception as exc:
                self.post(red(f"無法讀取範本檔案：{_clean(template)}（{_reason(exc)}），改用空白格式"))
        book = Workbook()
        book.active.title = REPORT_SHEET
        return book, book.active, False

    def _fill(self, sheet, found, size, chinese, english, wants_pdf, from_template) -> None:
        from openpyxl.styles import Alignment, Font, PatternFill
        from openpyxl.utils import get_column_letter

        def font_for(value, **extra):
            name = chinese if _CJK.search(str(value)) else english
            return Font(name=name, size=size, **extra)

        empty = sheet.max_row == 1 and sheet.max_column == 1 and sheet.cell(1, 1).value is None
        top = 1 if empty else sheet.max_row + 1
        widths = [_display_width(h) for h in HEADERS]

        for column, title in enumerate(HEADERS, start=1):
            cell = sheet.cell(top, column, title)
            cell.font = font_for(title, bold=True, color=None if from_template else "FFFFFF")
            cell.alignment = Alignment(horizontal="center", vertical="center")
            if not from_template:
                cell.fill = PatternFill("solid", start_color="1F6AA5")

        pdf_text = PDF_REQUESTED if wants_pdf else PDF_NOT_REQUESTED
        step = max(1, math.ceil(len(found) / PROGRESS_LINES))
        for index, number in enumerate(found, start=1):
            office, kind = describe(number)
            row = (index, number, office, kind, pdf_text)
            for column, value in enumerate(row, start=1):
                cell = sheet.cell(top + index, column, value)
                if cell.data_type == "f":
                    cell.data_type = "s"  # text from the user's file stays text, never a formula
                cell.font = font_for(value)
                widths[column - 1] = max(widths[column - 1], _display_width(str(value)))
            if index % step == 0 or index == len(found):
                self.post(green(f"({index}/{len(found)}) {_clean(number)}"))

        scale = size / 11
        for column, width in enumerate(widths, start=1):
            letter = get_column_letter(column)
            if from_template and letter in sheet.column_dimensions and sheet.column_dimensions[letter].customWidth:
                continue  # the template's own layout wins
            sheet.column_dimensions[letter].width = round(width * scale + 3, 1)
        if not from_template:
            sheet.freeze_panes = "A2"

    def _save(self, book) -> Path:
        try:
            self.folder.mkdir(parents=True, exist_ok=True)
        except OSError as exc:
            raise RequestError(f"無法建立資料夾：{_clean(self.folder)}（{_clean(exc)}）") from exc
        book.properties.creator = "Tessarim"
        book.properties.title = REPORT_PREFIX
        path, handle = reserve_report_file(self.folder, self.now)
        try:
            with handle:
                book.save(handle)
        except Exception as exc:
            path.unlink(missing_ok=True)
            raise RequestError(f"無法寫入檢索報告：{_clean(path)}（{_clean(exc)}）") from exc
        return path


def reserve_report_file(folder: Path, now: datetime):
    """A new report file named after the time, opened for writing. Creation is
    exclusive, so an existing report (even one written a moment ago by another
    worker) is never overwritten: the name gets a counter instead."""
    stamp = now.strftime("%Y%m%d_%H%M%S")
    for counter in range(1, 10_000):
        suffix = "" if counter == 1 else f"_{counter}"
        path = folder / f"{REPORT_PREFIX}_{stamp}{suffix}.xlsx"
        try:
            return path, open(path, "xb")
        except FileExistsError:
            continue
        except OSError as exc:
            raise RequestError(f"無法寫入檢索報告：{_clean(path)}（{_clean(exc)}）") from exc
    raise RequestError(f"無法寫入檢索報告：{_clean(folder)} 中同一時間的報告太多")


# ----------------------------------------------------------------- the worker

class ReportWorker:
    """Serves the window's requests until it is told to stop."""

    def __init__(
        self,
        Queue_All_variable: Mapping,
        Event_All_variable: Mapping,
        *,
        poll_interval: float = 0.2,
        folder: Callable[[], Path] = product_folder,
        clock: Callable[[], datetime] = datetime.now,
    ):
        self.queues = Queue_All_variable
        self.events = Event_All_variable
        self.poll_interval = poll_interval
        self.folder = folder
        self.clock = clock
        self.results: list[Result] = []
        self._lock = threading.Lock()

    def post(self, line: str) -> None:
        self.queues["get_receipt"].put(line)

    def run(self) -> None:
        start = self.queues["起始數據"]
        end = self.events["end"]
        while not end.is_set():
            try:
                request = start.get(timeout=self.poll_interval)
            except queue.Empty:
                continue
            if request is None:
                break
            try:
                self.handle(request)
            except Exception:  # e.g. a host whose event mapping lacks a key
                traceback.print_exc(file=sys.stderr)

    def handle(self, request: object) -> Result:
        """Carries out one request; never raises."""
        result = Result(request)
        try:
            self.post(green("開始輸出檢索報告"))
            builder = ReportBuilder(self.folder(), self.clock(), self.post)
            result.report = builder.build(request)
            self.post(green("檢索報告已輸出：") + _clean(result.report))
        except RequestError as exc:
            result.error = str(exc)
            self._post_quietly(red(result.error))
        except Exception as exc:  # a fault of this worker: keep serving, say so
            result.error = f"輸出失敗：{type(exc).__name__}: {_clean(exc)}"
            traceback.print_exc(file=sys.stderr)
            self._post_quietly(red(result.error))
        finally:
            with self._lock:
                self.results.append(result)
            self.events["get_receipt"].clear()
        return result

    def _post_quietly(self, line: str) -> None:
        try:
            self.post(line)
        except Exception:
            traceback.print_exc(file=sys.stderr)

    def completed(self) -> list[Result]:
        with self._lock:
            return list(self.results)


def start_worker(Queue_All_variable: Mapping, Event_All_variable: Mapping, **options) -> tuple[ReportWorker, threading.Thread]:
    """Starts a worker on its own daemon thread (a worker that failed to stop
    must not keep the process alive)."""
    worker = ReportWorker(Queue_All_variable, Event_All_variable, **options)
    thread = threading.Thread(target=worker.run, name="tessarim-worker", daemon=True)
    thread.start()
    return worker, thread
