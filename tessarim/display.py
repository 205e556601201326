"""A virtual screen for machines without one.

Tk, pyautogui and the Tessarim window all need an X display. Where none is set,
`ensure_display()` starts Xvfb on a free display number, points DISPLAY at it and
stops exactly that process again (by its PID) when `close()` is called or the
interpreter exits.
"""
from __future__ import annotations

import atexit
import os
import shutil
import subprocess
import sys
import tempfile


class VirtualScreen:
    def __init__(self, process: subprocess.Popen, display: str, auth_dir: str | None):
        self.process = process
        self.display = display
        self._auth_dir = auth_dir

    def close(self) -> None:
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self._auth_dir:
            shutil.rmtree(self._auth_dir, ignore_errors=True)
            self._auth_dir = None


def _ensure_xauthority() -> str | None:
    """pyautogui's X library refuses to connect without an authority file; an
    empty one is enough for a local server that checks nothing."""
    path = os.environ.get("XAUTHORITY") or os.path.join(os.path.expanduser("~"), ".Xauthority")
    if os.path.exists(path):
        os.environ.setdefault("XAUTHORITY", path)
        return None
    folder = tempfile.mkdtemp(prefix="tessarim-xauth-")
    path = os.path.join(folder, "Xauthority")
    open(path, "wb").close()
    os.environ["XAUTHORITY"] = path
    return folder


def _add_cookie(path: str, display: str) -> None:
    """An entry for our own server in our own authority file, so the X library
    finds details for the display (and says nothing about missing ones)."""
    xauth = shutil.which("xauth")
    if xauth is None:
        return
    subprocess.run([xauth, "-f", path, "add", display, ".", os.urandom(16).hex()],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def ensure_display(width: int = 1920, height: int = 1080) -> VirtualScreen | None:
    """Returns the virtual screen it started, or None when a display was set."""
    if sys.platform.startswith("win") or sys.platform == "darwin":
        return None
    auth_dir = _ensure_xauthority()
    if os.environ.get("DISPLAY"):
        return None
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        raise RuntimeError("no display is set and Xvfb is not installed (apt-get install xvfb)")
    read_fd, write_fd = os.pipe()
    process = subprocess.Popen(
        [xvfb, "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
        pass_fds=(write_fd,),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        number = pipe.readline().strip()
    if not number:
        process.kill()
        process.wait()
        raise RuntimeError("Xvfb did not start")
    screen = VirtualScreen(process, f":{number}", auth_dir)
    if auth_dir is not None:
        _add_cookie(os.environ["XAUTHORITY"], screen.display)
    os.environ["DISPLAY"] = screen.display
    atexit.register(screen.close)
    return screen
