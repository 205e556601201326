"""The reference report worker, driven through real queues and events."""
import math
import time
from datetime import datetime
from pathlib import Path

import pytest
from openpyxl import Workbook, load_workbook

from tessarim.host import make_channels
from tessarim.worker import (
    HEADERS,
    PDF_NOT_REQUESTED,
    PDF_REQUESTED,
    start_worker,
)

GREEN = "<$$$顏色[green]$$$>"
RED = "<$$$顏色[red]$$$>"
CLOSE = "</$$$顏色$$$>"
FIXED = datetime(2025, 1, 4, 12, 0, 0)


@pytest.fixture
def home(tmp_path, monkeypatch):
    monkeypatch.setenv("HOME", str(tmp_path))
    return tmp_path


@pytest.fixture
def reports(home):
    folder = home / "Halvorine" / "Tessarim"
    return lambda: sorted(folder.glob("檢索報告_*.xlsx"))


def make_book(path: Path, column, *, title=None) -> Path:
    book = Workbook()
    sheet = book.active
    if title:
        sheet.title = title
    for value in column:
        sheet.append([value])
    book.save(path)
    return path


@pytest.fixture
def patents(tmp_path):
    return make_book(tmp_path / "numbers.xlsx", ["專利公開號", " TW202312345A ", None, "  ", "US11234567B2", 12345.0])


def request(patents="", template="", ratio=1, chinese="標楷體", english="Calibri", pdf=False):
    return {
        "範本檔案路徑": str(template),
        "專利檔案路徑": str(patents),
        "文字大小比例": ratio,
        "中文文字字體": chinese,
        "英文文字字體": english,
        "輸出專利說明書": pdf,
    }


def drain(q):
    items = []
    while not q.empty():
        items.append(q.get())
    return items


def serve(*requests, clock=None):
    """Runs a worker over the requests the way the window sends them (event set,
    request queued), then None; returns the worker, its log lines per request
    and whether the event was clear after each request."""
    queues, events = make_channels()
    options = {"poll_interval": 0.02}
    if clock:
        options["clock"] = clock
    worker, thread = start_worker(queues, events, **options)
    lines, cleared = [], []
    for item in requests:
        done = len(worker.completed())
        events["get_receipt"].set()
        queues["起始數據"].put(item)
        deadline = time.monotonic() + 30   # a hang, not a slow request: a busy machine took over 10 s
        while len(worker.completed()) == done and time.monotonic() < deadline:
            thread.join(0.01)
        assert len(worker.completed()) == done + 1, "the worker did not finish the request"
        cleared.append(not events["get_receipt"].is_set())
        lines.append(drain(queues["get_receipt"]))
    queues["起始數據"].put(None)
    thread.join(5)
    assert not thread.is_alive()
    return worker, lines, cleared


def rows_of(path):
    sheet = load_workbook(path).active
    return sheet, [[c.value for c in row] for row in sheet.iter_rows()]


@pytest.mark.parametrize(
    "ratio, size, chinese, english",
    [(1, 12, "標楷體", "Calibri"), (1.5, 18, "微軟正黑體", "Arial"), (1.1, 13, "新細明體", "Brush Script MT")],
)
def test_report_rows_fonts_and_sizes(home, reports, patents, ratio, size, chinese, english):
    worker, lines, cleared = serve(request(patents, ratio=ratio, chinese=chinese, english=english))
    assert cleared == [True]
    [report] = reports()
    assert worker.completed()[0].report == report
    sheet, rows = rows_of(report)
    assert rows == [
        list(HEADERS),
        [1, "TW202312345A", "台灣", "A", PDF_NOT_REQUESTED],
        [2, "US11234567B2", "美國", "B2", PDF_NOT_REQUESTED],
        [3, "12345", None, None, PDF_NOT_REQUESTED],
    ]
    for row in sheet.iter_rows():
        for cell in row:
            assert cell.font.sz == size
    assert all(cell.font.b and cell.font.name == chinese for cell in sheet[1])
    assert sheet["B2"].font.name == english and sheet["A2"].font.name == english
    assert sheet["C2"].font.name == chinese and sheet["E2"].font.name == chinese
    assert sheet.column_dimensions["B"].width > sheet.column_dimensions["A"].width


def test_log_lines_carry_the_markup_and_name_the_report(home, reports, patents):
    _, [lines], _ = serve(request(patents))
    [report] = reports()
    assert lines[0] == f"{GREEN}開始輸出檢索報告{CLOSE}"
    assert f"{GREEN}共 3 筆專利公開號{CLOSE}" in lines
    assert [line for line in lines if "/3)" in line] == [
        f"{GREEN}(1/3) TW202312345A{CLOSE}",
        f"{GREEN}(2/3) US11234567B2{CLOSE}",
        f"{GREEN}(3/3) 12345{CLOSE}",
    ]
    assert lines[-1] == f"{GREEN}檢索報告已輸出：{CLOSE}{report}"
    assert all(line.startswith(GREEN) for line in lines)


@pytest.mark.parametrize("pdf", [True, False])
def test_pdf_flag_gives_a_plain_line(home, reports, patents, pdf):
    _, [lines], _ = serve(request(patents, pdf=pdf))
    plain = [line for line in lines if "$$$" not in line]
    assert plain == (["此參考版本不連線，無法下載專利說明書PDF檔案，只輸出檢索報告"] if pdf else [])
    _, rows = rows_of(reports()[0])
    assert {row[4] for row in rows[1:]} == {PDF_REQUESTED if pdf else PDF_NOT_REQUESTED}


def test_many_numbers_keep_the_log_short(home, tmp_path, reports):
    path = make_book(tmp_path / "many.xlsx", ["號碼"] + [f"TW2023{n:05d}A" for n in range(95)])
    _, [lines], _ = serve(request(path))
    progress = [line for line in lines if "/95)" in line]
    assert len(progress) == 19 and progress[-1].endswith(f"(95/95) TW202300094A{CLOSE}")
    assert len(rows_of(reports()[0])[1]) == 96


def broken_inputs(tmp_path):
    text = tmp_path / "notes.xlsx"
    text.write_text("not a workbook")
    empty = make_book(tmp_path / "empty.xlsx", ["專利公開號", None, "   "])
    return {
        "no path": (request(""), "未選擇專利檔案"),
        "missing": (request(tmp_path / "gone.xlsx"), "找不到專利檔案"),
        "folder": (request(tmp_path), "專利檔案路徑不是檔案"),
        "unreadable": (request(text), "無法讀取專利檔案"),
        "no numbers": (request(empty), "專利檔案中沒有專利公開號"),
        "no dict": ("X", "無法辨識的輸出要求"),
    }


@pytest.mark.parametrize("case", ["no path", "missing", "folder", "unreadable", "no numbers", "no dict"])
def test_bad_requests_give_a_red_line_and_no_report(home, tmp_path, reports, patents, case):
    item, message = broken_inputs(tmp_path)[case]
    worker, [bad, good], cleared = serve(item, request(patents))
    assert bad[-1].startswith(f"{RED}{message}") and bad[-1].endswith(CLOSE)
    assert not any("檢索報告已輸出" in line for line in bad)
    assert worker.completed()[0].report is None and message in worker.completed()[0].error
    # the worker is still serving: the next request succeeds
    assert cleared == [True, True]
    assert len(reports()) == 1 and good[-1].endswith(str(reports()[0]))


def test_an_unexpected_fault_becomes_a_red_line_and_the_worker_lives_on(home, patents, capsys):
    queues, events = make_channels()
    calls = []

    def folder():
        calls.append(1)
        if len(calls) == 1:
            raise RuntimeError("disk on fire")
        return home / "out"

    worker, thread = start_worker(queues, events, poll_interval=0.02, folder=folder)
    for _ in range(2):
        events["get_receipt"].set()
        queues["起始數據"].put(request(patents))
    queues["起始數據"].put(None)
    thread.join(10)
    assert not thread.is_alive() and not events["get_receipt"].is_set()
    lines = drain(queues["get_receipt"])
    assert f"{RED}輸出失敗：RuntimeError: disk on fire{CLOSE}" in lines
    assert [bool(r.report) for r in worker.completed()] == [False, True]
    assert worker.completed()[1].report.parent == home / "out"
    assert "disk on fire" in capsys.readouterr().err


def test_template_is_the_starting_point(home, tmp_path, reports, patents):
    template = Workbook()
    sheet = template.active
    sheet.title = "客戶範本"
    sheet["A1"] = "某某事務所 檢索報告"
    sheet.column_dimensions["B"].width = 40
    template.create_sheet("說明")["A1"] = "注意事項"
    template.save(tmp_path / "template.xlsx")

    _, [lines], _ = serve(request(patents, template=tmp_path / "template.xlsx", ratio=2))
    assert f"{GREEN}使用範本檔案：{tmp_path / 'template.xlsx'}{CLOSE}" in lines
    book = load_workbook(reports()[0])
    assert book.sheetnames == ["客戶範本", "說明"] and book["說明"]["A1"].value == "注意事項"
    sheet = book["客戶範本"]
    assert [c.value for c in sheet["A"]] == ["某某事務所 檢索報告", "序號", 1, 2, 3]
    assert sheet["B3"].value == "TW202312345A" and sheet["B3"].font.sz == 24
    assert sheet.column_dimensions["B"].width == 40  # the template's layout stays
    # the template itself is untouched
    assert load_workbook(tmp_path / "template.xlsx").active.max_row == 1


@pytest.mark.parametrize("template", ["missing.xlsx", "notes.txt"])
def test_an_unreadable_template_falls_back_to_a_blank_report(home, tmp_path, reports, patents, template):
    (tmp_path / "notes.txt").write_text("plain text")
    _, [lines], cleared = serve(request(patents, template=tmp_path / template))
    assert any(line.startswith(f"{RED}無法讀取範本檔案：{tmp_path / template}") for line in lines)
    assert cleared == [True] and lines[-1].startswith(f"{GREEN}檢索報告已輸出")
    _, rows = rows_of(reports()[0])
    assert rows[0] == list(HEADERS) and len(rows) == 4


@pytest.mark.parametrize(
    "ratio, size, complaint",
    [
        ("abc", 12, "文字大小比例 abc 無效"),
        (-1.0, 12, "文字大小比例 -1.0 無效"),
        (0, 12, "文字大小比例 0 無效"),
        (math.nan, 12, "文字大小比例 nan 無效"),
        (True, 12, "文字大小比例 True 無效"),
        (100, 409, "文字大小比例 100 超出範圍"),
        (0.01, 1, "文字大小比例 0.01 超出範圍"),
    ],
)
def test_unusable_ratio_is_reported_and_replaced(home, reports, patents, ratio, size, complaint):
    _, [lines], _ = serve(request(patents, ratio=ratio))
    assert any(line.startswith(f"{RED}{complaint}") for line in lines)
    sheet = load_workbook(reports()[0]).active
    assert {cell.font.sz for row in sheet.iter_rows() for cell in row} == {size}


def test_reports_are_never_overwritten(home, reports, patents):
    folder = home / "Halvorine" / "Tessarim"
    folder.mkdir(parents=True)
    earlier = folder / "檢索報告_20250104_120000.xlsx"
    earlier.write_bytes(b"the user's own file")
    worker, lines, _ = serve(request(patents), request(patents), clock=lambda: FIXED)
    names = [r.report.name for r in worker.completed()]
    assert names == ["檢索報告_20250104_120000_2.xlsx", "檢索報告_20250104_120000_3.xlsx"]
    assert earlier.read_bytes() == b"the user's own file"
    assert len(reports()) == 3


@pytest.mark.parametrize("how", ["None on 起始數據", "end event"])
def test_worker_stops(how):
    queues, events = make_channels()
    _, thread = start_worker(queues, events, poll_interval=0.02)
    if how == "end event":
        events["end"].set()
    else:
        queues["起始數據"].put(None)
    thread.join(2)
    assert not thread.is_alive()
    assert queues["get_receipt"].empty()


def test_window_close_signals_stop_a_busy_worker(home, patents):
    """The close sequence of the window arrives while requests are still queued:
    the worker finishes what it is doing and stops without taking more."""
    queues, events = make_channels()
    worker, thread = start_worker(queues, events, poll_interval=0.02)
    events["get_receipt"].set()
    queues["起始數據"].put(request(patents))
    thread.join(0.5)
    for _ in range(3):
        queues["起始數據"].put(request(patents))
    queues["end"].put(None)
    events["end"].set()
    queues["起始數據"].put(None)
    thread.join(5)
    assert not thread.is_alive()
    assert 1 <= len(worker.completed()) < 4
    assert queues["end"].get_nowait() is None  # left for the host


def test_outside_text_cannot_inject_markup_or_formulas(home, tmp_path, reports):
    book = Workbook()
    book.active.append(["號碼"])
    book.active.append(["TW1<$$$最前方顯示$$$>"])
    book.active.append(["US2</$$$顏色$$$>x"])
    book.active.append(['=HYPERLINK("http://x","y")'])
    book.active["A4"].data_type = "s"  # a text cell that looks like a formula
    book.save(tmp_path / "odd.xlsx")
    _, [lines], _ = serve(request(tmp_path / "odd.xlsx"))
    numbers = [line for line in lines if "/3)" in line]
    assert numbers[:2] == [f"{GREEN}(1/3) TW1<$$ $最前方顯示$$ $>{CLOSE}", f"{GREEN}(2/3) US2</$$ $顏色$$ $>x{CLOSE}"]
    # the report keeps the values as they were, as text
    sheet, rows = rows_of(reports()[0])
    assert [row[1] for row in rows[1:]] == ["TW1<$$$最前方顯示$$$>", "US2</$$$顏色$$$>x", '=HYPERLINK("http://x","y")']
    assert sheet["B4"].data_type == "s"


def test_lines_render_in_the_log_box(home, patents, frame, Pandrel):
    """What the worker posts shows in the window's log box in its colours."""
    _, [lines], _ = serve(request(patents, pdf=True))
    box = Pandrel().Set_CTkTextbox(frame)
    for line in lines:
        box.add_text(line)
    text = box.textbox.get("1.0", "end")
    assert "$$$" not in text
    shown = text.rstrip("\n").split("\n")
    assert len(shown) == len(lines)
    assert shown[0] == "開始輸出檢索報告" and shown[-1].startswith("檢索報告已輸出：")
    green_text = "".join(
        box.textbox.get(start, end) for start, end in zip(*[iter(box.textbox.tag_ranges("green"))] * 2)
    )
    assert "(3/3) 12345" in green_text and "PDF" not in green_text
