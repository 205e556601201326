"""Drives one report request through the Tessarim window, as a user would.

The window module looks its globals up at call time, so for the demo run the
host rebinds `GUI.customtkinter` to a thin proxy of the real package whose `CTk`
hands the finished window to this driver when its main loop starts. From then
on the driver works in Tk callbacks on the window's own thread: it fills the two
path fields, clicks "輸出檢索報告", waits until the worker has finished and the
log box shows its last line, saves a screenshot of the window and closes it.
"""
from __future__ import annotations

import contextlib
import os
import sys
import time
import types
from pathlib import Path

from .worker import ReportWorker

OUTPUT_BUTTON = "輸出檢索報告"
FINAL_LINE = "檢索報告已輸出："


class DemoError(Exception):
    """The window did not behave as the demo expects; the message says how."""


class _CustomTkinterProxy(types.ModuleType):
    """The real customtkinter, except for its `CTk`."""

    def __init__(self, real: types.ModuleType, ctk_class: type):
        super().__init__(real.__name__, real.__doc__)
        self._real = real
        self.CTk = ctk_class

    def __getattr__(self, name: str):
        return getattr(self._real, name)


def widgets(root, kind: type) -> list:
    """Every widget of the given class under root, in creation order."""
    found, pending = [], [root]
    while pending:
        widget = pending.pop(0)
        children = widget.winfo_children()
        found.extend(child for child in children if isinstance(child, kind))
        pending.extend(children)
    return found


class WindowDemo:
    def __init__(
        self,
        worker: ReportWorker,
        Queue_All_variable,
        Event_All_variable,
        *,
        patents: str,
        template: str = "",
        screenshot: Path,
        timeout: float = 60.0,
        settle_ms: int = 800,
    ):
        self.worker = worker
        self.queues = Queue_All_variable
        self.events = Event_All_variable
        self.patents = patents
        self.template = template
        self.screenshot = screenshot
        self.timeout = timeout
        self.settle_ms = settle_ms
        self.app = None
        self.failure: str | None = None
        self.finished = False
        self.window_size: tuple[int, int] | None = None
        self.report: Path | None = None
        self._before = 0
        self._deadline = 0.0

    # -- hooking into the window ------------------------------------------

    @contextlib.contextmanager
    def installed(self, gui_module):
        """Rebinds the window module's `customtkinter` for the demo run only."""
        real = gui_module.customtkinter
        driver = self

        class DemoCTk(real.CTk):
            def mainloop(self, *args, **kwargs):
                driver.attach(self)
                super().mainloop(*args, **kwargs)

        gui_module.customtkinter = _CustomTkinterProxy(real, DemoCTk)
        try:
            yield self
        finally:
            gui_module.customtkinter = real

    def attach(self, app) -> None:
        if self.app is not None:
            return
        self.app = app
        self._deadline = time.monotonic() + self.timeout
        app.after(self.settle_ms, self._step(self._fill_and_press))

    # -- the steps, each a Tk callback --------------------------------------

    def _step(self, function):
        def run():
            if self.app is None or self.finished:
                return
            try:
                function()
            except DemoError as exc:
                self._fail(str(exc))
            except Exception as exc:
                self._fail(f"{type(exc).__name__}: {exc}")

        return run

    def _fill_and_press(self) -> None:
        import customtkinter

        app = self.app
        app.update_idletasks()
        entries = widgets(app, customtkinter.CTkEntry)
        if len(entries) != 2:
            raise DemoError(f"expected the two path fields, found {len(entries)} entry fields")
        entries.sort(key=lambda e: (e.winfo_rooty(), e.winfo_rootx()))
        for entry, text in zip(entries, (self.template, self.patents)):
            entry.delete(0, "end")
            if text:
                entry.insert(0, text)
        buttons = [b for b in widgets(app, customtkinter.CTkButton) if b.cget("text") == OUTPUT_BUTTON]
        if len(buttons) != 1:
            raise DemoError(f'expected one button "{OUTPUT_BUTTON}", found {len(buttons)}')
        self._before = len(self.worker.completed())
        app.update()
        click(buttons[0])
        app.after(100, self._step(self._wait_for_worker))

    def _wait_for_worker(self) -> None:
        import customtkinter

        results = self.worker.completed()
        done = len(results) > self._before
        idle = not self.events["get_receipt"].is_set() and self.queues["get_receipt"].empty()
        if done and idle:
            result = results[-1]
            expected = (FINAL_LINE + str(result.report)) if result.report else result.error
            log = "".join(box.get("1.0", "end") for box in widgets(self.app, customtkinter.CTkTextbox))
            labels = [b.cget("text") for b in widgets(self.app, customtkinter.CTkButton)]
            if expected and expected in log and OUTPUT_BUTTON in labels:
                if result.error:
                    self.failure = f"the worker reported: {result.error}"
                elif not isinstance(result.request, dict) or result.request.get("專利檔案路徑") != self.patents:
                    self.failure = f"the request did not carry the patent path: {result.request!r}"
                else:
                    self.report = result.report
                self.app.after(300, self._step(self._take_screenshot))
                return
        if time.monotonic() > self._deadline:
            what = "the worker did not finish" if not done else "the window did not show the worker's lines"
            raise DemoError(f"{what} within {self.timeout:g} s")
        self.app.after(100, self._step(self._wait_for_worker))

    def _take_screenshot(self) -> None:
        from PIL import ImageGrab

        app = self.app
        app.update()
        x, y = app.winfo_rootx(), app.winfo_rooty()
        width, height = app.winfo_width(), app.winfo_height()
        self.screenshot.parent.mkdir(parents=True, exist_ok=True)
        options = {"xdisplay": os.environ["DISPLAY"]} if os.environ.get("DISPLAY") and sys.platform.startswith("linux") else {}
        ImageGrab.grab(bbox=(x, y, x + width, y + height), **options).save(self.screenshot)
        self.window_size = (width, height)
        print(f"截圖：{self.screenshot} ({width}x{height})", flush=True)
        self._close()

    # -- the end --------------------------------------------------------------

    def _fail(self, message: str) -> None:
        if self.failure is None:
            self.failure = message
        self._close()

    def _close(self) -> None:
        """Closes the window the way its close box does."""
        self.finished = True
        app, self.app = self.app, None
        if app is None:
            return
        handler = app.protocol("WM_DELETE_WINDOW")
        if handler:
            app.tk.call(handler)
        else:
            app.destroy()


def click(button) -> None:
    """A real pointer click in the middle of the button."""
    x = button.winfo_rootx() + button.winfo_width() // 2
    y = button.winfo_rooty() + button.winfo_height() // 2
    import pyautogui

    pyautogui.FAILSAFE = False
    pyautogui.click(x, y, _pause=False)
