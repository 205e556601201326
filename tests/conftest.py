"""Test harness: a virtual screen when there is none, and one Tk root per session."""
import os
import shutil
import sys
import tempfile

import pytest

from tessarim.display import ensure_display

# customtkinter copies its fonts into ~/.fonts at every import on Linux, writing
# over the files in place: a process that has them mapped to draw text (any
# other Tk program of the same user, such as another test run on the machine)
# dies of SIGBUS when a file is cut short under it. The session, and the
# children it starts, get a home folder of their own.
_home = tempfile.mkdtemp(prefix="tessarim-test-home-")
os.environ["HOME"] = _home

# Before anything imports pyautogui or tkinter: both need the display at import.
_screen = ensure_display()


def pytest_unconfigure(config):
    if _screen is not None:
        _screen.close()
    shutil.rmtree(_home, ignore_errors=True)


def cancel_pending_callbacks(widget):
    """Cancels every `after` callback of a Tk interpreter, so destroying it
    leaves no "invalid command name" noise behind."""
    for pending in widget.tk.splitlist(widget.tk.call("after", "info")):
        try:
            widget.after_cancel(pending)
        except Exception:
            pass


def destroy_quietly(widget):
    """Destroys a widget tree even when a widget in it was left half-made by a
    constructor that raised (customtkinter's destroy then fails on missing
    attributes); the Tk side is destroyed all the same."""
    import tkinter

    for child in list(widget.children.values()):
        destroy_quietly(child)
    try:
        widget.destroy()
    except Exception:
        tkinter.Misc.destroy(widget)
        try:
            widget.tk.call("destroy", widget._w)
        except tkinter.TclError:
            pass


@pytest.fixture(scope="session")
def root():
    import customtkinter

    app = customtkinter.CTk()
    app.geometry("900x700")
    app.update()
    yield app
    cancel_pending_callbacks(app)
    app.update()
    cancel_pending_callbacks(app)
    destroy_quietly(app)


@pytest.fixture
def frame(root):
    """A fresh frame on the session root for each test, destroyed afterwards."""
    import customtkinter

    f = customtkinter.CTkFrame(root)
    f.grid(row=0, column=0, sticky="nsew")
    root.update_idletasks()
    yield f
    destroy_quietly(f)
    root.update_idletasks()


@pytest.fixture(scope="session")
def pandrel_module():
    return sys.modules["Halvorine通用模組.Pandrel"] if "Halvorine通用模組.Pandrel" in sys.modules else __import__(
        "importlib"
    ).import_module("Halvorine通用模組.Pandrel")


@pytest.fixture(scope="session")
def Pandrel(pandrel_module):
    return pandrel_module.Pandrel
