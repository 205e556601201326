"""The reference host of the Tessarim window: `python -m tessarim`.

It creates the channels between the window and the report worker, starts the
worker on its own thread, shows the window on the main thread and, once the
window has closed (and so has told the worker to stop), waits for the worker.

With a display, it just opens the window. On Linux without one (DISPLAY unset)
it starts a virtual screen and runs a demo instead: one report request driven
through the window as a user would, a screenshot of the finished window, and a
clean close. The exit code says whether that round trip worked.
"""
from __future__ import annotations

import argparse
import os
import queue
import sys
import threading
import traceback
from pathlib import Path

from .worker import PATENT_WORKBOOK, product_folder, start_worker

DEFAULT_SCREENSHOT = Path("artifacts") / "tessarim-window.png"
JOIN_TIMEOUT = 10.0


def make_channels() -> tuple[dict, dict]:
    Queue_All_variable = {"起始數據": queue.Queue(), "get_receipt": queue.Queue(), "end": queue.Queue()}
    Event_All_variable = {"get_receipt": threading.Event(), "end": threading.Event()}
    return Queue_All_variable, Event_All_variable


def signal_end(Queue_All_variable, Event_All_variable) -> None:
    """What the window sends when it closes; the host sends it itself when the
    window never got that far."""
    Queue_All_variable["end"].put(None)
    Event_All_variable["end"].set()
    Queue_All_variable["起始數據"].put(None)


def parse_args(argv):
    parser = argparse.ArgumentParser(prog="python -m tessarim", description="The Tessarim window with its report worker.")
    parser.add_argument(
        "--screenshot",
        type=Path,
        default=DEFAULT_SCREENSHOT,
        help=f"where the demo saves the window's screenshot (default {DEFAULT_SCREENSHOT} under the current folder)",
    )
    parser.add_argument("--demo", action="store_true", help="run the demo even when a display is set")
    parser.add_argument("--template", default="", help="template workbook the demo enters (default: none)")
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds the demo waits for the worker (default 60)")
    return parser.parse_args(argv)


def headless() -> bool:
    return sys.platform.startswith("linux") and not os.environ.get("DISPLAY")


def main(argv: list[str] | None = None) -> int:
    args = parse_args(argv)
    demo = args.demo or headless()
    screen = None
    if headless():
        from .display import ensure_display

        screen = ensure_display()
    watchdog = None
    if demo:
        # The demo must never hang, whatever the window does.
        watchdog = _Watchdog(args.timeout + 60, screen)
    try:
        return run(demo=demo, args=args)
    finally:
        if watchdog:
            watchdog.cancel()
        if screen is not None:
            screen.close()


def run(*, demo: bool, args) -> int:
    try:
        import GUI
    except Exception:
        traceback.print_exc()
        print("無法載入視窗模組 GUI", file=sys.stderr)
        return 1

    Queue_All_variable, Event_All_variable = make_channels()
    worker, thread = start_worker(Queue_All_variable, Event_All_variable)
    driver = None
    window_ok = True
    try:
        if demo:
            from .demo import WindowDemo

            driver = WindowDemo(
                worker,
                Queue_All_variable,
                Event_All_variable,
                patents=str(product_folder() / PATENT_WORKBOOK),
                template=args.template,
                screenshot=args.screenshot.resolve(),
                timeout=args.timeout,
            )
            with driver.installed(GUI):
                GUI.GUI(Queue_All_variable, Event_All_variable)
        else:
            GUI.GUI(Queue_All_variable, Event_All_variable)
    except BaseException as exc:
        window_ok = False
        if not isinstance(exc, (KeyboardInterrupt, SystemExit)):
            traceback.print_exc()
        print("視窗異常結束", file=sys.stderr)

    window_signalled = Event_All_variable["end"].is_set()
    if not window_signalled:
        signal_end(Queue_All_variable, Event_All_variable)
    thread.join(JOIN_TIMEOUT)
    if thread.is_alive():
        print(f"報告程序未在 {JOIN_TIMEOUT:g} 秒內結束", file=sys.stderr)
        return 1
    print("報告程序已結束", flush=True)

    if not window_ok:
        return 1
    if driver is None:
        return 0
    if driver.failure is None and not driver.finished:
        driver.failure = "the window closed before the demo finished"
    if driver.failure is None and not window_signalled:
        driver.failure = "the window did not send its end signals"
    if driver.report is not None:
        print(f"檢索報告：{driver.report}", flush=True)
    if driver.failure:
        print(f"示範失敗：{driver.failure}", file=sys.stderr)
        return 1
    return 0


class _Watchdog:
    """Ends the process if the demo is still running after `seconds`."""

    def __init__(self, seconds: float, screen):
        self._screen = screen
        self._done = threading.Event()
        self._thread = threading.Thread(target=self._watch, args=(seconds,), name="tessarim-watchdog", daemon=True)
        self._thread.start()

    def _watch(self, seconds: float) -> None:
        if self._done.wait(seconds):
            return
        print(f"示範失敗：{seconds:g} 秒內未完成", file=sys.stderr, flush=True)
        if self._screen is not None:
            self._screen.close()
        os._exit(2)

    def cancel(self) -> None:
        self._done.set()
