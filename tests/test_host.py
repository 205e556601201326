"""`python -m tessarim` without a display: the demo round trip through the real
window, and the host's own checks against windows that misbehave."""
import os
import re
import subprocess
import sys
import textwrap

import pytest
from openpyxl import Workbook, load_workbook
from PIL import Image

BACKGROUND = (36, 36, 36)  # the dark theme's window colour (gray14)


def run_host(tmp_path, *args, pythonpath=None):
    home, work = tmp_path / "home", tmp_path / "work"
    home.mkdir(exist_ok=True)
    work.mkdir(exist_ok=True)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "PYTHONPATH")}
    env["HOME"] = str(home)
    if pythonpath:
        env["PYTHONPATH"] = str(pythonpath)
    result = subprocess.run(
        [sys.executable, "-m", "tessarim", "--timeout", "60", *args],
        cwd=work, env=env, capture_output=True, text=True, timeout=240,
    )
    return result, home / "Halvorine" / "Tessarim", work


def test_demo_round_trip_through_the_window(tmp_path):
    result, folder, work = run_host(tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr

    # the screenshot: default place, the window's size, the window's pixels
    shot = work / "artifacts" / "tessarim-window.png"
    match = re.search(r"^截圖：(.+) \((\d+)x(\d+)\)$", result.stdout, re.M)
    assert match and match[1] == str(shot)
    image = Image.open(shot).convert("RGB")
    width, height = image.size
    assert (width, height) == (int(match[2]), int(match[3]))
    assert width > 700 and height > 400  # the log box alone is 700 wide
    corners = [(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)]
    assert [image.getpixel(p) for p in corners] == [BACKGROUND] * 4
    # the worker's progress lines are on screen in green
    pixels = zip(*[iter(image.tobytes())] * 3)   # (r, g, b) per pixel, in every Pillow
    assert sum(1 for r, g, b in pixels if g > 90 and r < 50 and b < 50) > 200

    # the report: one row per number of the workbook copy the window made
    [report] = folder.glob("檢索報告_*.xlsx")
    assert f"檢索報告：{report}" in result.stdout
    numbers = [r[0] for r in load_workbook(folder / "檢索專利公開號.xlsx").active.iter_rows(min_row=2, values_only=True)]
    assert [r[1] for r in load_workbook(report).active.iter_rows(min_row=2, values_only=True)] == numbers
    assert len(numbers) >= 5

    # the window's end signals reached the worker and its thread joined
    assert "報告程序已結束" in result.stdout


def test_a_window_that_fails_to_start_still_stops_the_worker(tmp_path):
    fake = tmp_path / "fake"
    fake.mkdir()
    (fake / "GUI.py").write_text("import customtkinter\n\n\ndef GUI(Queue_All_variable, Event_All_variable):\n    raise RuntimeError('window broke')\n")
    result, _, _ = run_host(tmp_path, "--screenshot", str(tmp_path / "shot.png"), pythonpath=fake)
    assert result.returncode == 1
    assert "RuntimeError: window broke" in result.stderr
    assert "報告程序已結束" in result.stdout
    assert not (tmp_path / "shot.png").exists()


# A stand-in window with the same protocol, for the host's checks of a window
# that gets something wrong.
FAKE_WINDOW = textwrap.dedent(
    """
    import customtkinter

    def GUI(Queue_All_variable, Event_All_variable):
        app = customtkinter.CTk()
        for row in range(ENTRIES):
            customtkinter.CTkEntry(app).grid(row=row, column=0)
        box = customtkinter.CTkTextbox(app)
        box.grid(row=9, column=0)

        def press():
            Event_All_variable["get_receipt"].set()
            Queue_All_variable["起始數據"].put({"範本檔案路徑": "", "專利檔案路徑": app.winfo_children()[1].get()})

        button = customtkinter.CTkButton(app, text="輸出檢索報告", command=press)
        button.grid(row=0, column=1)

        def poll():
            while not Queue_All_variable["get_receipt"].empty():
                line = Queue_All_variable["get_receipt"].get()
                box.insert("end", line.replace("<$$$顏色[green]$$$>", "").replace("</$$$顏色$$$>", "") + "\\n")
            app.after(100, poll)

        app.after(100, poll)
        app.mainloop()
    """
)


@pytest.mark.parametrize(
    "entries, failure, shot_taken",
    [(2, "the window did not send its end signals", True), (3, "expected the two path fields, found 3", False)],
)
def test_demo_reports_a_window_that_breaks_the_protocol(tmp_path, entries, failure, shot_taken):
    fake = tmp_path / "fake"
    fake.mkdir()
    (fake / "GUI.py").write_text(FAKE_WINDOW.replace("ENTRIES", str(entries)))
    folder = tmp_path / "home" / "Halvorine" / "Tessarim"
    folder.mkdir(parents=True)
    book = Workbook()
    book.active.append(["專利公開號"])
    book.active.append(["TW202312345A"])
    book.save(folder / "檢索專利公開號.xlsx")
    result, _, _ = run_host(tmp_path, "--screenshot", str(tmp_path / "shot.png"), pythonpath=fake)
    assert result.returncode == 1
    assert f"示範失敗：{failure}" in result.stderr
    assert "報告程序已結束" in result.stdout  # the host stopped the worker itself
    assert (tmp_path / "shot.png").exists() == shot_taken
