"""Drives the blocking `GUI(...)` call in process, on the (virtual) screen.

`run_gui(script)` calls `GUI.GUI` with fresh channels while `CTk.mainloop` is a
stand-in that hands the window to `script(window)`, then cancels every pending
`after` callback and destroys the window, so GUI sends its end signals and
returns. The poller runs one tick at a time on demand (`window.tick()`), never by
the clock. Used by the GUI tests and the window benchmark.
"""
import functools
import importlib
import re
import tkinter

import customtkinter

from tessarim.host import make_channels

RED, END = "<$$$顏色[red]$$$>", "</$$$顏色$$$>"
POLLER = re.compile(r"^\d+aa$")  # tkinter names an after command <id><function name>


# The host's own channels: the window is driven exactly as the reference host drives it.
channels = make_channels


def pending_after(app):
    """(id, script) of the pending `after` callbacks of the window's interpreter."""
    return [(i, app.tk.splitlist(app.tk.call("after", "info", i))[0])
            for i in app.tk.splitlist(app.tk.call("after", "info"))]


def cancel_all_after(app):
    """Cancels without deleting the commands: each goes with the widget that made it."""
    for ident, _ in pending_after(app):
        app.tk.call("after", "cancel", ident)


class HandlerLog:
    """A try_except_log that records what it wraps and what the wrapped raise."""

    def __init__(self):
        self.wrapped, self.errors = [], []

    def __call__(self, function):
        self.wrapped.append(function)

        @functools.wraps(function)
        def logged():
            try:
                return function()
            except Exception as error:
                self.errors.append((function.__qualname__, error))

        return logged

    def names(self):
        return [f.__qualname__ for f in self.wrapped]


def kids(widget, kind):
    return [w for w in widget.winfo_children() if isinstance(w, kind)]


def grid(widget, *keys):
    info = widget.grid_info()
    return {k: info[k] for k in keys}


class Window:
    """The running window as a test sees it: widgets found where the window puts them."""

    def __init__(self, app, queues, events):
        self.app, self.queues, self.events = app, queues, events
        self.callback_errors = []
        app.report_callback_exception = lambda *exc: self.callback_errors.append(exc[1])
        app.update()

    def band(self, row, column=0):
        (frame,) = [f for f in kids(self.app, customtkinter.CTkFrame)
                    if (f.grid_info()["row"], f.grid_info()["column"]) == (row, column)]
        return frame

    FF = property(lambda self: self.band(0))
    AA = property(lambda self: self.band(1, 0))
    BB = property(lambda self: self.band(1, 1))
    DD = property(lambda self: self.band(2))

    def button(self, parent, **where):
        (hit,) = [b for b in kids(parent, customtkinter.CTkButton) if grid(b, *where) == where]
        return hit

    output_button = property(lambda self: kids(self.BB, customtkinter.CTkButton)[0])
    folder_button = property(lambda self: self.button(self.FF, padx=(178, 55)))
    help_button = property(lambda self: self.button(self.FF, padx=(78, 105)))
    settings_button = property(lambda self: self.button(self.FF, column=2))
    bin_button = property(lambda self: self.button(self.AA, padx=(20, 5)))
    template_button = property(lambda self: self.button(self.AA, pady=(38, 5)))
    patent_button = property(lambda self: self.button(self.AA, pady=(72, 5)))
    switch = property(lambda self: kids(self.FF, customtkinter.CTkSwitch)[0])
    header = property(lambda self: kids(self.FF, customtkinter.CTkFrame)[0])
    path_frame = property(lambda self: kids(self.AA, customtkinter.CTkFrame)[0])
    template_field = property(lambda self: self.path_entries()[0])
    patent_field = property(lambda self: self.path_entries()[1])
    textbox = property(lambda self: kids(kids(self.DD, customtkinter.CTkFrame)[0], customtkinter.CTkTextbox)[0])

    def path_entries(self):
        return kids(kids(self.path_frame, customtkinter.CTkFrame)[0], customtkinter.CTkEntry)

    def label(self):
        return self.output_button.cget("text")

    def log_lines(self):
        return self.textbox.get("1.0", "end-1c").split("\n")[:-1]

    def tagged(self, tag):
        r = self.textbox.tag_ranges(tag)
        return [self.textbox.get(r[i], r[i + 1]) for i in range(0, len(r), 2)]

    def requests(self):
        q, items = self.queues["起始數據"], []
        while not q.empty():
            items.append(q.get_nowait())
        return items

    def press(self, button):
        button.invoke()
        self.app.update_idletasks()

    def press_output(self):
        """Presses the output button; returns the one request it queued."""
        self.press(self.output_button)
        (request,) = self.requests()
        return request

    @staticmethod
    def type_into(entry, text):
        entry.delete(0, "end")
        entry.insert(0, text)

    def settings_windows(self):
        return kids(self.app, customtkinter.CTkToplevel)

    def poller_ids(self):
        return [i for i, script in pending_after(self.app) if POLLER.match(script)]

    def tick(self, times=1):
        """Runs the armed poller now, as its timer would (it re-arms itself)."""
        for _ in range(times):
            (ident,) = self.poller_ids()
            script = self.app.tk.splitlist(self.app.tk.call("after", "info", ident))[0]
            self.app.tk.call("after", "cancel", ident)
            self.app.tk.eval(script)
        self.app.update_idletasks()


def run_gui(script=None, queues=None, events=None, *, log=True, keywords=False, **module_globals):
    """Calls GUI(queues, events) with `script(window)` in place of the main loop and
    returns (GUI's result, the HandlerLog installed as try_except_log or None).

    log: True installs a fresh HandlerLog, a HandlerLog installs that one, False
    keeps the module's own logger. module_globals: GUI globals rebound for the call.
    """
    gui = importlib.import_module("GUI")
    if queues is None:
        queues, events = channels()
    recorder = HandlerLog() if log is True else (log or None)

    def mainloop(app, *args, **kwargs):
        try:
            if script is not None:
                script(Window(app, queues, events))
        finally:
            cancel_all_after(app)
            app.update_idletasks()
            cancel_all_after(app)
            app.destroy()

    undo = []

    def patch(target, name, value):
        undo.append((target, name, getattr(target, name)))
        setattr(target, name, value)

    try:
        # The window must be tkinter's default root, as in a host: PIL's photo images
        # (under every CTkImage) and parentless widgets go there. A root the test
        # session made first steps aside.
        patch(tkinter, "_default_root", None)
        patch(customtkinter.CTk, "mainloop", mainloop)
        if recorder is not None:
            patch(gui, "try_except_log", recorder)
        for name, value in module_globals.items():
            patch(gui, name, value)
        if keywords:
            result = gui.GUI(Event_All_variable=events, Queue_All_variable=queues)
        else:
            result = gui.GUI(queues, events)
    finally:
        for target, name, value in reversed(undo):
            setattr(target, name, value)
    return result, recorder
