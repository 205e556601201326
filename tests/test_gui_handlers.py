"""The main window at work: the output request, the busy label, the worker's log
lines, the small buttons, the switch, and failures reaching try_except_log."""
import contextlib
import os
import queue
import subprocess
import sys
import threading
import tkinter.filedialog
import webbrowser

import pytest

from gui_driver import END, RED, HandlerLog, channels, run_gui

IDLE, BUSY = "輸出檢索報告", ["輸出中.", "輸出中..", "輸出中..."]


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    (tmp_path / "home").mkdir()
    monkeypatch.setenv("HOME", str(tmp_path / "home"))
    return tmp_path / "home"


def request(template="", patent="", pdf=False):
    return {"範本檔案路徑": template, "專利檔案路徑": patent, "文字大小比例": 1, "中文文字字體": "標楷體",
            "英文文字字體": "Calibri", "輸出專利說明書": pdf}


def test_output_queues_the_request_as_it_is_at_the_press():
    seen = []

    def script(w):
        w.queues["get_receipt"].put("earlier line")
        w.tick()
        first = w.press_output()  # both fields empty, switch off since start-up
        seen.append((w.events["get_receipt"].is_set(), w.log_lines(), first))
        w.type_into(w.template_field, "C:/範本/報告.xlsx")
        w.type_into(w.patent_field, " /tmp/numbers.xlsx ")
        w.switch.toggle()
        second = w.press_output()
        w.switch.toggle()  # after the press: the queued request keeps True
        w.press(w.output_button)
        w.press(w.output_button)  # pressing again while busy queues again
        seen.append([second] + w.requests())
        seen.append(w.callback_errors)

    _, log = run_gui(script)
    assert seen[0] == (True, [], request())
    assert list(seen[0][2]) == list(request()) and type(seen[0][2]["文字大小比例"]) is int
    assert seen[1] == [request("C:/範本/報告.xlsx", " /tmp/numbers.xlsx ", pdf=True),
                       request("C:/範本/報告.xlsx", " /tmp/numbers.xlsx "),
                       request("C:/範本/報告.xlsx", " /tmp/numbers.xlsx ")]
    assert seen[2] == [] and log.errors == []


def test_the_label_cycles_while_busy_and_returns_at_the_first_idle_tick():
    labels = []

    def script(w):
        w.tick()
        w.press(w.output_button)
        labels.append(w.label())  # the press itself leaves the label
        for _ in range(4):
            w.tick()
            labels.append(w.label())
        w.events["get_receipt"].clear()  # the worker is done
        for _ in range(2):
            w.tick()
            labels.append(w.label())
        w.output_button.configure(text="odd")
        w.events["get_receipt"].set()
        w.tick()
        labels.append(w.label())

    _, log = run_gui(script)
    assert labels == [IDLE] + BUSY + [BUSY[0], IDLE, IDLE, BUSY[0]] and log.errors == []


def test_queued_texts_appear_in_order_within_one_tick():
    seen = {}

    def script(w):
        worker = threading.Thread(target=lambda: [w.queues["get_receipt"].put(t) for t in
                                                  ["first", f"a{RED}b{END}c", None, 5, "last"]])
        worker.start()
        worker.join()
        seen["before"] = w.log_lines()
        w.tick()  # items that are not text are dropped on their own
        seen["lines"], seen["red"] = w.log_lines(), w.tagged("red")
        w.queues["get_receipt"].put("next")
        w.tick()
        seen["after"], seen["armed"] = w.log_lines()[-1], len(w.poller_ids())

    _, log = run_gui(script)
    assert seen == {"before": [], "lines": ["first", "abc", "last"], "red": ["b"], "after": "next", "armed": 1}
    assert log.errors == []


class Broken:
    def __getattr__(self, name):
        raise RuntimeError(f"{name} is broken")


def without_receipts():
    return {"起始數據": queue.Queue(), "end": queue.Queue()}, {"end": threading.Event()}


@pytest.mark.parametrize("mappings, close_error", [
    (without_receipts, None),
    (lambda: tuple({**m, "get_receipt": Broken()} for m in without_receipts()), None),
    (lambda: ("X", "X"), TypeError),   # only closing fails, on "X"["end"]
], ids=["missing keys", "broken channels", "placeholder strings"])
def test_the_poller_keeps_ticking_when_the_mappings_fail_it(mappings, close_error):
    seen, log = [], HandlerLog()

    def script(w):
        for _ in range(3):
            w.tick()
            seen.append((w.label(), w.log_lines(), len(w.poller_ids())))

    with pytest.raises(close_error) if close_error else contextlib.nullcontext():
        run_gui(script, *mappings(), log=log)
    assert seen == [(IDLE, [], 1)] * 3 and log.errors == []


class RefusingQueue(queue.Queue):
    def put(self, item, block=True, timeout=None):
        if item is not None:  # the end signal still goes through
            raise RuntimeError("worker queue closed\nfor good")
        super().put(item)


@pytest.mark.parametrize("start_queue, reason", [
    (None, "KeyError: '起始數據'"),
    (RefusingQueue(), "RuntimeError: worker queue closed for good"),
])
def test_a_request_that_cannot_be_handed_over_leaves_the_window_idle_and_says_so(start_queue, reason):
    queues, events = channels()
    queues.pop("起始數據") if start_queue is None else queues.update({"起始數據": start_queue})
    seen, log = {}, HandlerLog()

    def script(w):
        w.queues["get_receipt"].put("old line")
        w.tick()
        w.press(w.output_button)
        seen.update(busy=w.events["get_receipt"].is_set(), lines=w.log_lines(), red=w.tagged("red"))
        w.tick()
        seen["label"] = w.label()

    # without a start queue the last end signal fails too, and the host learns it
    with pytest.raises(KeyError) if start_queue is None else contextlib.nullcontext():
        run_gui(script, queues, events, log=log)
    line = f"輸出要求無法交給處理程序（{reason}），請再試一次。"
    assert seen == {"busy": False, "lines": [line], "red": [line], "label": IDLE} and log.errors == []


def test_the_bin_empties_both_fields_and_leaves_the_log():
    seen = []

    def script(w):
        w.type_into(w.template_field, "t.xlsx")
        w.type_into(w.patent_field, "p.xlsx")
        w.queues["get_receipt"].put("kept")
        w.tick()
        w.press(w.bin_button)
        seen.extend([w.log_lines(), w.press_output()])

    run_gui(script)
    assert seen == [["kept"], request()]


@pytest.mark.parametrize("button, index", [("template_button", 0), ("patent_button", 1)])
@pytest.mark.parametrize("answer, kept", [("/data/選擇的 檔案.xlsx", False), ("", True), ((), True), (None, True),
                                         (0, False)],
                         ids=["chosen", "cancelled", "cancelled as a tuple", "cancelled as None", "false but != ''"])
def test_the_file_choosers(monkeypatch, button, index, answer, kept):
    calls, seen = [], []
    monkeypatch.setattr(tkinter.filedialog, "askopenfilename", lambda *a, **k: calls.append((a, k)) or answer)

    def script(w):
        for field in w.path_entries():
            w.type_into(field, "before")
        w.press(getattr(w, button))
        seen.extend(field.get() for field in w.path_entries())

    _, log = run_gui(script)
    expected = ["before", "before"]
    expected[index] = "before" if kept else str(answer)
    assert calls == [((), {"title": "選擇檔案"})] and seen == expected and log.errors == []


@pytest.mark.parametrize("failures", [0, 1, 2])
def test_the_web_page_tries_https_then_http(monkeypatch, failures):
    calls = []

    def open_page(url, *args, **kwargs):
        calls.append(url)
        if len(calls) <= failures:
            raise webbrowser.Error("no browser")

    monkeypatch.setattr(webbrowser, "open", open_page)
    _, log = run_gui(lambda w: w.press(w.help_button))
    assert calls == ["https://www.halvorine.com/tessarim", "http://www.halvorine.com/tessarim"][:failures + 1]
    assert [name for name, _ in log.errors] == ["GUI.<locals>.button_event_008"] * (failures == 2)


@pytest.mark.parametrize("platform", ["linux", "darwin", "win32"])
def test_the_folder_button_opens_the_product_folder_without_waiting(monkeypatch, home, platform):
    calls = []

    class Popen:
        def __init__(self, *args, **kwargs):
            calls.append((args, kwargs))

        def wait(self, *args):
            raise AssertionError("the window does not wait for the file manager")

    monkeypatch.setattr(subprocess, "Popen", Popen)

    def script(w):
        real = sys.platform  # patched only around the press: customtkinter asks it too
        monkeypatch.setattr(sys, "platform", platform)
        try:
            w.press(w.folder_button)
        finally:
            monkeypatch.setattr(sys, "platform", real)

    _, log = run_gui(script)
    folder = os.path.join(str(home), "Halvorine", "Tessarim")
    assert calls == [{"linux": ((["xdg-open", folder],), {}), "darwin": ((["open", folder],), {}),
                      "win32": (("explorer C:\\Halvorine\\Tessarim",), {})}[platform]]
    assert log.errors == []


def fail_popen(monkeypatch, channels_):
    def Popen(*args, **kwargs):
        raise FileNotFoundError(2, "No such file or directory", "xdg-open")

    monkeypatch.setattr(subprocess, "Popen", Popen)


def drop_receipt_event(monkeypatch, channels_):
    channels_[1].pop("get_receipt")


@pytest.mark.parametrize("arrange, button, handler, error", [
    (fail_popen, "folder_button", "button_event_005", FileNotFoundError),
    (drop_receipt_event, "output_button", "button_event_001", KeyError),
])
def test_handler_exceptions_reach_try_except_log_and_the_window_goes_on(monkeypatch, arrange, button, handler, error):
    mappings, seen = channels(), []
    arrange(monkeypatch, mappings)

    def script(w):
        w.press(getattr(w, button))
        w.tick()
        seen.append((w.label(), w.requests()))

    _, log = run_gui(script, *mappings)
    assert [(n, type(e)) for n, e in log.errors] == [("GUI.<locals>." + handler, error)]
    assert seen == [(IDLE, [])]


def test_the_module_logger_reports_a_failing_handler(monkeypatch, capsys):
    monkeypatch.setattr(webbrowser, "open", lambda *a, **k: (_ for _ in ()).throw(OSError("no browser")))
    seen = []
    run_gui(lambda w: (w.press(w.help_button), seen.append(w.label())), log=False)
    err = capsys.readouterr().err
    assert "GUI.<locals>.button_event_008" in err and "OSError: no browser" in err and seen == [IDLE]
