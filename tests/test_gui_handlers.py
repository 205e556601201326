"""The main window at work: the output request, the busy label, the worker's log
lines, the small buttons, the switch, and failures reaching try_except_log."""
import contextlib
import os
import queue
import sys
import threading
import tkinter.filedialog
import webbrowser

import pytest

from gui_driver import END, RED, HandlerLog, channels, run_gui

IDLE = "輸出檢索報告"
BUSY = ["輸出中.", "輸出中..", "輸出中..."]


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    folder = tmp_path / "home"
    folder.mkdir()
    monkeypatch.setenv("HOME", str(folder))
    return folder


def request(template="", patent="", ratio=1, chinese="標楷體", english="Calibri", pdf=False):
    return {"範本檔案路徑": template, "專利檔案路徑": patent, "文字大小比例": ratio, "中文文字字體": chinese,
            "英文文字字體": english, "輸出專利說明書": pdf}


def only_request(w):
    (sent,) = w.requests()
    return sent


# ----------------------------------------------------------------- output

def test_output_with_empty_fields_queues_the_defaults_and_marks_the_window_busy():
    seen = {}

    def script(w):
        w.queues["get_receipt"].put("earlier line")
        w.tick()
        seen["before"] = w.log_lines()
        w.events["get_receipt"].clear()
        w.press(w.output_button)
        seen["busy"] = w.events["get_receipt"].is_set()
        seen["log"] = w.log_text()
        seen["request"] = only_request(w)

    run = run_gui(script)
    assert seen["before"] == ["earlier line"]
    assert seen["busy"] and seen["log"] == ""
    assert list(seen["request"].items()) == list(request().items())
    assert type(seen["request"]["文字大小比例"]) is int
    assert run.log.errors == [] and run.callback_errors == []


def test_the_request_carries_the_fields_and_the_switch_as_they_are_at_the_press():
    seen = []

    def script(w):
        w.type_into(w.template_field, "C:/範本/報告.xlsx")
        w.type_into(w.patent_field, "  /tmp/numbers.xlsx ")
        w.switch.toggle()
        w.press(w.output_button)
        first = only_request(w)
        w.switch.toggle()  # after the press: the queued request keeps True
        w.type_into(w.patent_field, "other")
        w.press(w.output_button)
        w.press(w.output_button)  # a second press while busy queues a second request
        seen.extend([first] + w.requests())

    run = run_gui(script)
    assert seen == [request("C:/範本/報告.xlsx", "  /tmp/numbers.xlsx ", pdf=True),
                    request("C:/範本/報告.xlsx", "other", pdf=False),
                    request("C:/範本/報告.xlsx", "other", pdf=False)]
    assert seen[1] is not seen[2]
    assert run.log.errors == []


def test_the_switch_starts_off_and_sets_the_flag_both_ways():
    flags = []

    def script(w):
        for _ in range(3):
            flags.append((w.switch.get(), None))
            w.press(w.output_button)
            flags[-1] = (flags[-1][0], only_request(w)["輸出專利說明書"])
            w.switch.toggle()

    run_gui(script)
    assert flags == [("off", False), ("on", True), ("off", False)]


# ----------------------------------------------------------------- poller

def test_the_label_cycles_while_busy_and_returns_at_the_first_idle_tick():
    labels = []

    def script(w):
        w.tick()
        labels.append(w.label())
        w.press(w.output_button)
        labels.append(w.label())  # the press itself does not touch the label
        for _ in range(4):
            w.tick()
            labels.append(w.label())
        w.events["get_receipt"].clear()  # the worker is done
        for _ in range(2):
            w.tick()
            labels.append(w.label())

    run = run_gui(script)
    assert labels == [IDLE, IDLE] + BUSY + [BUSY[0], IDLE, IDLE]
    assert run.log.errors == []


def test_a_busy_tick_from_an_odd_label_starts_the_cycle():
    labels = []

    def script(w):
        w.output_button.configure(text="whatever")
        w.events["get_receipt"].set()
        w.tick()
        labels.append(w.label())

    run_gui(script)
    assert labels == [BUSY[0]]


def test_queued_texts_appear_in_order_within_one_tick_with_their_markup():
    seen = {}

    def script(w):
        receipts = w.queues["get_receipt"]
        for text in ["first", f"a{RED}b{END}c", "third"]:
            receipts.put(text)
        seen["before"] = w.log_text()
        w.tick()
        seen["lines"] = w.log_lines()
        seen["red"] = w.tagged("red")
        seen["left"] = receipts.qsize()

    run_gui(script)
    assert seen["before"] == ""
    assert seen["lines"] == ["first", "abc", "third"]
    assert seen["red"] == ["b"]
    assert seen["left"] == 0


def test_lines_put_by_a_worker_thread_arrive_at_the_next_ticks():
    seen = []

    def script(w):
        def worker():
            for i in range(50):
                w.queues["get_receipt"].put(f"line {i}")

        t = threading.Thread(target=worker)
        t.start()
        t.join()
        w.tick()
        seen.extend(w.log_lines())

    run_gui(script)
    assert seen == [f"line {i}" for i in range(50)]


def test_the_poller_survives_items_that_are_not_text():
    seen = {}

    def script(w):
        for item in ["a", 5, None, b"bytes", {"x": 1}, "b"]:
            w.queues["get_receipt"].put(item)
        w.tick()
        seen["lines"] = w.log_lines()
        seen["left"] = w.queues["get_receipt"].qsize()
        w.queues["get_receipt"].put("c")
        w.tick()
        seen["after"] = w.log_lines()
        seen["armed"] = len(w.poller_ids())

    run = run_gui(script)
    assert seen["lines"] == ["a", "b"] and seen["left"] == 0
    assert seen["after"] == ["a", "b", "c"] and seen["armed"] == 1
    assert run.log.errors == []


class Broken:
    """A channel whose every method raises."""

    def __getattr__(self, name):
        def fail(*args):
            raise RuntimeError(f"{name} is broken")

        return fail


def end_channels():
    return {"起始數據": queue.Queue(), "end": queue.Queue()}, {"end": threading.Event()}


@pytest.mark.parametrize("mappings, close_error", [
    (end_channels, None),
    (lambda: tuple({**m, "get_receipt": Broken()} for m in end_channels()), None),
    (lambda: ("X", "X"), TypeError),   # the placeholders: only closing fails, on "X"["end"]
], ids=["missing keys", "broken channels", "placeholder strings"])
def test_the_poller_keeps_ticking_when_the_mappings_fail_it(mappings, close_error):
    queues, events = mappings()
    seen = []
    log = HandlerLog()

    def script(w):
        for _ in range(3):
            w.tick()
            seen.append((w.label(), w.log_text(), len(w.poller_ids())))

    with pytest.raises(close_error) if close_error else contextlib.nullcontext():
        run_gui(script, queues, events, log=log)
    assert seen == [(IDLE, "", 1)] * 3
    assert log.errors == [] and [f.__name__ for f in log.wrapped][-1] == "aa"


# ------------------------------------------------------------ hand-over failure

class RefusingQueue(queue.Queue):
    """Refuses requests (the end signal None still goes through)."""

    def put(self, item, block=True, timeout=None):
        if item is not None:
            raise RuntimeError("worker queue closed\nfor good")
        super().put(item, block, timeout)


@pytest.mark.parametrize("break_channels", [
    lambda q: q.pop("起始數據"),
    lambda q: q.__setitem__("起始數據", RefusingQueue()),
], ids=["no start queue", "put refused"])
def test_a_request_that_cannot_be_handed_over_leaves_the_window_idle_and_says_so(break_channels):
    queues, events = channels()
    break_channels(queues)
    seen = {}

    def script(w):
        w.queues["get_receipt"].put("old line")
        w.tick()
        w.press(w.output_button)
        seen["busy"] = w.events["get_receipt"].is_set()
        seen["lines"] = w.log_lines()
        seen["red"] = w.tagged("red")
        w.tick()
        seen["label"] = w.label()

    log = HandlerLog()
    # without a start queue, closing fails too (on its last signal), and the host learns it
    with pytest.raises(KeyError) if "起始數據" not in queues else contextlib.nullcontext():
        run_gui(script, queues, events, log=log)
    assert seen["busy"] is False
    (line,) = seen["lines"]
    assert seen["red"] == [line] and line.startswith("輸出要求無法交給處理程序")
    assert ("KeyError: '起始數據'" if "起始數據" not in queues else "RuntimeError: worker queue closed for good") in line
    assert seen["label"] == IDLE
    assert log.errors == []


# ------------------------------------------------------------- small buttons

def test_the_bin_empties_both_fields_and_leaves_the_log():
    seen = {}

    def script(w):
        w.type_into(w.template_field, "t.xlsx")
        w.type_into(w.patent_field, "p.xlsx")
        w.queues["get_receipt"].put("kept")
        w.tick()
        w.press(w.bin_button)
        seen["fields"] = (w.template_field.get(), w.patent_field.get())
        seen["log"] = w.log_lines()
        w.press(w.output_button)
        seen["request"] = only_request(w)

    run_gui(script)
    assert seen["fields"] == ("", "") and seen["log"] == ["kept"]
    assert seen["request"] == request()


@pytest.mark.parametrize("button, field", [("template_button", "template_field"),
                                           ("patent_button", "patent_field")])
@pytest.mark.parametrize("answer, expected", [
    ("/data/選擇的檔案.xlsx", "/data/選擇的檔案.xlsx"),
    ("", "before"),   # cancelled
    ((), "before"),   # cancelled, as some Tk builds answer
])
def test_the_file_choosers(monkeypatch, button, field, answer, expected):
    calls = []

    def askopenfilename(*args, **kwargs):
        calls.append((args, kwargs))
        return answer

    monkeypatch.setattr(tkinter.filedialog, "askopenfilename", askopenfilename)
    seen = {}

    def script(w):
        w.type_into(w.template_field, "before")
        w.type_into(w.patent_field, "before")
        w.press(getattr(w, button))
        other = "patent_field" if field == "template_field" else "template_field"
        seen["fields"] = (getattr(w, field).get(), getattr(w, other).get())

    run = run_gui(script)
    assert calls == [((), {"title": "選擇檔案"})]
    assert seen["fields"] == (expected, "before")
    assert run.log.errors == []


@pytest.mark.parametrize("failures, opened, error", [
    (0, ["https://www.halvorine.com/tessarim"], None),
    (1, ["https://www.halvorine.com/tessarim", "http://www.halvorine.com/tessarim"], None),
    (2, ["https://www.halvorine.com/tessarim", "http://www.halvorine.com/tessarim"], OSError),
])
def test_the_web_page_tries_https_then_http(monkeypatch, failures, opened, error):
    calls = []

    def open_page(url, *args, **kwargs):
        calls.append(url)
        if len(calls) <= failures:
            raise OSError("no browser")
        return True

    monkeypatch.setattr(webbrowser, "open", open_page)
    run = run_gui(lambda w: w.press(w.help_button))
    assert calls == opened
    assert [(n, type(e)) for n, e in run.log.errors] == ([("GUI.<locals>.button_event_008", error)] if error else [])


@pytest.mark.parametrize("platform", ["linux", "darwin", "win32"])
def test_the_folder_button_opens_the_product_folder(monkeypatch, home, platform):
    calls = []

    class Popen:
        def __init__(self, *args, **kwargs):
            calls.append((args, kwargs))

        def wait(self, *args):
            raise AssertionError("the window does not wait for the file manager")

    monkeypatch.setattr(__import__("subprocess"), "Popen", Popen)

    def script(w):
        # only around the press: customtkinter itself asks sys.platform too
        real = sys.platform
        monkeypatch.setattr(sys, "platform", platform)
        try:
            w.press(w.folder_button)
        finally:
            monkeypatch.setattr(sys, "platform", real)

    run = run_gui(script)
    folder = os.path.join(str(home), "Halvorine", "Tessarim")
    expected = {"linux": ((["xdg-open", folder],), {}), "darwin": ((["open", folder],), {}),
                "win32": (("explorer C:\\Halvorine\\Tessarim",), {})}[platform]
    assert calls == [expected]
    assert run.log.errors == []


def test_a_folder_opener_that_cannot_start_reaches_the_logger(monkeypatch):
    def Popen(*args, **kwargs):
        raise FileNotFoundError(2, "No such file or directory", "xdg-open")

    monkeypatch.setattr(__import__("subprocess"), "Popen", Popen)
    run = run_gui(lambda w: w.press(w.folder_button))
    assert [(n, type(e)) for n, e in run.log.errors] == [("GUI.<locals>.button_event_005", FileNotFoundError)]


# ------------------------------------------------------------ failures

def test_handler_exceptions_reach_try_except_log():
    """A broken event mapping fails the output handler at its first step; the
    exception goes to the wrapper, and the window goes on."""
    queues, events = channels()
    events.pop("get_receipt")
    seen = []

    def script(w):
        w.press(w.output_button)
        w.tick()
        seen.append((w.label(), w.requests()))

    log = HandlerLog()
    run_gui(script, queues, events, log=log)
    assert [(n, type(e), e.args) for n, e in log.errors] == [
        ("GUI.<locals>.button_event_001", KeyError, ("get_receipt",))]
    assert seen == [(IDLE, [])]


def test_the_window_logger_receives_the_failure(monkeypatch, capsys):
    """With the module's own try_except_log, the failure is written by the
    logger (to standard error) and the window keeps running."""
    monkeypatch.setattr(webbrowser, "open", lambda *a, **k: (_ for _ in ()).throw(OSError("no browser")))
    seen = []
    run_gui(lambda w: (w.press(w.help_button), seen.append(w.label())), log=False)
    err = capsys.readouterr().err
    assert "GUI.<locals>.button_event_008" in err and "OSError: no browser" in err
    assert seen == [IDLE]
