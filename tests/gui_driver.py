"""Drives the blocking `GUI(...)` call in process, on the (virtual) screen.

`run_gui(script)` calls `GUI.GUI` with fresh channels while `CTk.mainloop` is
replaced by a stand-in that hands the window to `script(window)`, then cancels
every pending `after` callback and destroys the window, so `GUI` goes on to send
its end signals and return. The poller is run one tick at a time, on demand
(`window.tick()`), never by the clock.

    from gui_driver import run_gui

    def script(w):
        w.press(w.output_button)
        assert w.requests() == [...]
        w.tick()
        assert w.label() == "輸出中."

    run = run_gui(script)
    assert run.log.errors == []

Used by the GUI tests and by the window benchmark; needs a display (the test
harness, or `tessarim.display.ensure_display()`).
"""
from __future__ import annotations

import functools
import importlib
import queue
import re
import threading
import tkinter
import traceback
from dataclasses import dataclass, field
from typing import Any, Callable

import customtkinter

POLLER_SCRIPT = re.compile(r"^\d+aa$")  # tkinter names an after command <id><function name>
RED = "<$$$顏色[red]$$$>"
END = "</$$$顏色$$$>"


def gui_module():
    return importlib.import_module("GUI")


def channels():
    """The two mappings a host passes to GUI."""
    queues = {"起始數據": queue.Queue(), "get_receipt": queue.Queue(), "end": queue.Queue()}
    events = {"get_receipt": threading.Event(), "end": threading.Event()}
    return queues, events


def drain(q) -> list:
    items = []
    while not q.empty():
        items.append(q.get_nowait())
    return items


def pending_after(app) -> list[tuple[str, str]]:
    """(id, script) of every pending `after` callback of the window's interpreter."""
    found = []
    for ident in app.tk.splitlist(app.tk.call("after", "info")):
        try:
            script = app.tk.splitlist(app.tk.call("after", "info", ident))[0]
        except Exception:
            continue
        found.append((str(ident), str(script)))
    return found


def cancel_all_after(app) -> None:
    """Cancels without deleting the commands: each is deleted by the widget that
    registered it when that widget is destroyed."""
    for ident, _ in pending_after(app):
        app.tk.call("after", "cancel", ident)


class HandlerLog:
    """A stand-in for `try_except_log`: records every function it is given, in
    order, and every exception that leaves a wrapped function (it swallows them,
    as the window's logger does)."""

    def __init__(self):
        self.wrapped: list[Callable] = []
        self.errors: list[tuple[str, BaseException]] = []

    def __call__(self, function):
        self.wrapped.append(function)

        @functools.wraps(function)
        def logged():
            try:
                return function()
            except Exception as error:  # the window's logger swallows them too
                self.errors.append((function.__qualname__, error))
                return None

        return logged

    def names(self) -> list[str]:
        return [f.__qualname__ for f in self.wrapped]


def _children(widget, kind):
    return [w for w in widget.winfo_children() if isinstance(w, kind)]


def _grid(widget) -> dict:
    return widget.grid_info()


class Window:
    """The running main window as a test sees it: its widgets found in the
    widget tree by where the window puts them, plus the channels."""

    def __init__(self, app, queues, events):
        self.app = app
        self.queues = queues
        self.events = events
        self.callback_errors: list[str] = []
        app.report_callback_exception = self._record_callback_error
        app.update()

    def _record_callback_error(self, exc, value, tb):
        self.callback_errors.append("".join(traceback.format_exception(exc, value, tb)))

    # --- the widget tree
    def band(self, row: int, column: int = 0):
        for w in _children(self.app, customtkinter.CTkFrame):
            info = _grid(w)
            if info and int(info["row"]) == row and int(info["column"]) == column:
                return w
        raise LookupError(f"no frame at row {row}, column {column} of the window")

    @property
    def FF(self):
        return self.band(0)

    @property
    def AA(self):
        return self.band(1, 0)

    @property
    def BB(self):
        return self.band(1, 1)

    @property
    def DD(self):
        return self.band(2)

    def buttons(self, parent) -> list:
        return _children(parent, customtkinter.CTkButton)

    def button_at(self, parent, **grid) -> Any:
        """The button of `parent` whose grid options include `grid` (tuples
        compare with Tk's answer, which gives equal pads as one number)."""
        def same(a, b):
            if isinstance(b, tuple) and len(set(b)) == 1:
                b = b[0]
            if isinstance(a, tuple) and len(set(a)) == 1:
                a = a[0]
            return str(a) == str(b)

        hits = [b for b in self.buttons(parent) if all(same(_grid(b).get(k), v) for k, v in grid.items())]
        if len(hits) != 1:
            raise LookupError(f"{len(hits)} buttons with {grid} in {parent}")
        return hits[0]

    @property
    def output_button(self):
        (button,) = self.buttons(self.BB)
        return button

    @property
    def folder_button(self):
        return self.button_at(self.FF, column=1, padx=(178, 55))

    @property
    def help_button(self):
        return self.button_at(self.FF, column=1, padx=(78, 105))

    @property
    def settings_button(self):
        return self.button_at(self.FF, column=2)

    @property
    def bin_button(self):
        return self.button_at(self.AA, padx=(20, 5))

    @property
    def template_button(self):
        return self.button_at(self.AA, pady=(38, 5))

    @property
    def patent_button(self):
        return self.button_at(self.AA, pady=(72, 5))

    @property
    def switch(self):
        (switch,) = _children(self.FF, customtkinter.CTkSwitch)
        return switch

    @property
    def path_frame(self):
        """frame[1] of AA, holding the settings table's frame."""
        (outer,) = _children(self.AA, customtkinter.CTkFrame)
        return outer

    def path_entries(self) -> list:
        (inner,) = _children(self.path_frame, customtkinter.CTkFrame)
        return _children(inner, customtkinter.CTkEntry)

    @property
    def template_field(self):
        return self.path_entries()[0]

    @property
    def patent_field(self):
        return self.path_entries()[1]

    @property
    def textbox(self):
        (log_frame,) = _children(self.DD, customtkinter.CTkFrame)
        (box,) = _children(log_frame, customtkinter.CTkTextbox)
        return box

    # --- reading state
    def label(self) -> str:
        return self.output_button.cget("text")

    def log_text(self) -> str:
        return self.textbox.get("1.0", "end-1c")

    def log_lines(self) -> list[str]:
        return self.log_text().split("\n")[:-1]

    def tagged(self, tag: str) -> list[str]:
        ranges = self.textbox.tag_ranges(tag)
        return [self.textbox.get(ranges[i], ranges[i + 1]) for i in range(0, len(ranges), 2)]

    def requests(self) -> list:
        return drain(self.queues["起始數據"])

    def settings_windows(self) -> list:
        return [w for w in self.app.winfo_children() if isinstance(w, customtkinter.CTkToplevel)]

    # --- acting
    def press(self, button) -> Any:
        result = button.invoke()
        self.app.update_idletasks()
        return result

    def type_into(self, entry, text: str) -> None:
        entry.delete(0, "end")
        entry.insert(0, text)

    def poller_ids(self) -> list[tuple[str, str]]:
        return [(i, s) for i, s in pending_after(self.app) if POLLER_SCRIPT.match(s)]

    def tick(self, times: int = 1) -> None:
        """Runs the armed poller now, exactly as the timer would (it re-arms itself)."""
        for _ in range(times):
            armed = self.poller_ids()
            if len(armed) != 1:
                raise AssertionError(f"expected one armed poller, found {armed}")
            ident, script = armed[0]
            self.app.tk.call("after", "cancel", ident)
            self.app.tk.eval(script)
        self.app.update_idletasks()


@dataclass
class Run:
    """What one call of GUI left behind."""
    result: Any
    queues: dict
    events: dict
    log: HandlerLog | None
    callback_errors: list = field(default_factory=list)


class _Patch:
    def __init__(self):
        self._undo = []

    def set(self, target, name, value):
        missing = object()
        old = getattr(target, name, missing)
        self._undo.append((target, name, old, missing))
        setattr(target, name, value)

    def undo(self):
        while self._undo:
            target, name, old, missing = self._undo.pop()
            if old is missing:
                delattr(target, name)
            else:
                setattr(target, name, old)


def run_gui(script: Callable[[Window], Any] | None = None, queues=None, events=None, *, log: bool | HandlerLog = True,
            module=None, keywords: bool = False, **globals_) -> Run:
    """Calls GUI(queues, events) with `script` in place of the main loop.

    log: True installs a fresh HandlerLog as the module's try_except_log, a
    HandlerLog instance installs that one, False keeps the module's own.
    keywords: pass the two mappings by keyword.
    globals_: module globals rebound for the call (e.g. __file__=...).
    """
    module = module or gui_module()
    if queues is None and events is None:
        queues, events = channels()
    patch = _Patch()
    recorder = HandlerLog() if log is True else (log or None)
    seen: dict = {}

    def mainloop(app, *args, **kwargs):
        try:
            window = Window(app, queues, events)
            seen["errors"] = window.callback_errors
            if script is not None:
                script(window)
            del window
        finally:
            if app.winfo_exists():
                cancel_all_after(app)
                app.update_idletasks()
                cancel_all_after(app)
                app.destroy()

    try:
        # The window must be tkinter's default root, as it is in a host: PIL's
        # photo images (under every CTkImage) and parentless widgets and variables
        # go to the default root. A root the test session made first steps aside.
        patch.set(tkinter, "_default_root", None)
        patch.set(customtkinter.CTk, "mainloop", mainloop)
        if recorder is not None:
            patch.set(module, "try_except_log", recorder)
        for name, value in globals_.items():
            patch.set(module, name, value)
        if keywords:
            result = module.GUI(Event_All_variable=events, Queue_All_variable=queues)
        else:
            result = module.GUI(queues, events)
    finally:
        patch.undo()
    return Run(result, queues, events, recorder, seen.get("errors", []))
