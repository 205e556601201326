"""Draws each widget of the kit with sample data, and the Tessarim window in the
middle of a report, on the (virtual) screen, and saves one PNG each.

    python -P tools/gallery.py [--out docs/gallery] [--only NAME ...]

Run through `make gallery`, which uses the installed packages. Without a
display it starts a virtual screen. Nothing here needs the network: the map's
tiles are not downloaded, so the map shows its tracks on an empty background.
"""
from __future__ import annotations

import argparse
import datetime as _datetime
import os
import queue
import sys
import threading
import time
from pathlib import Path

from tessarim.display import ensure_display

HERE = Path(__file__).resolve().parent
REPO = HERE.parent
RESOURCES = REPO / "model" / "格式範本"
GPX = REPO / "tests" / "data" / "gpx"

RED, GREEN, BLUE, END = "<$$$顏色[red]$$$>", "<$$$顏色[green]$$$>", "<$$$顏色[blue]$$$>", "</$$$顏色$$$>"


def settle(root, seconds=0.4):
    """Lets Tk (and customtkinter's delayed redraws) finish drawing."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        root.update()
        time.sleep(0.02)


def grab(widget, path: Path) -> tuple[int, int]:
    from PIL import ImageGrab

    widget.update()
    x, y = widget.winfo_rootx(), widget.winfo_rooty()
    width, height = widget.winfo_width(), widget.winfo_height()
    options = {"xdisplay": os.environ["DISPLAY"]} if os.environ.get("DISPLAY") and sys.platform.startswith("linux") else {}
    path.parent.mkdir(parents=True, exist_ok=True)
    ImageGrab.grab(bbox=(x, y, x + width, y + height), **options).save(path)
    return width, height


# -- the kit's widgets, one function each: build into `frame` ----------------

def textbox(kit, frame):
    log = kit.Set_CTkTextbox(frame)
    log.add_text("讀取檢索專利公開號.xlsx：共 3 筆")
    log.add_text(f"TW202301234A {GREEN}完成{END}")
    log.add_text(f"TW202305678A {RED}查無資料{END}，略過")
    log.add_text(f"TW202309999A {GREEN}完成{END}，說明書 {BLUE}已下載{END}")
    log.add_text("<$$$最前方顯示$$$>檢索報告 v2025_01_04_001")


def buttons(kit, frame):
    bar = kit.Set_Button()
    bar.add_button(frame, button_name="folder", image_path=str(RESOURCES / "資料夾.png"), size=(25, 25),
                   row=0, column=0, padx=10, pady=10)
    bar.add_button(frame, button_name="bin", image_path=str(RESOURCES / "垃圾桶.png"), size=(20, 20),
                   row=0, column=1, padx=10, pady=10, corner_radius=0)
    bar.add_button(frame, button_name="help", image_path=str(RESOURCES / "問號001.png"), size=(25, 25),
                   row=0, column=2, padx=10, pady=10, fg_color="transparent")
    bar.add_button(frame, button_name="go", text="輸出檢索報告", width=140, row=1, column=0, padx=10, pady=10,
                   sticky="")
    bar.add_button(frame, button_name="busy", text="輸出中..", width=140, row=1, column=1, padx=10, pady=10,
                   sticky="")
    bar.configure("busy", state="disabled")


def settings_table(kit, frame):
    frame.configure(width=360, height=110)
    table = kit.Set_Table(frame)
    table.add_entry_name("範本檔案路徑", text="請選擇範本")
    table.add_entry_name("專利檔案路徑")
    table.add_entry_name("說明", state="disabled")
    table.set("專利檔案路徑", "~/Halvorine/Tessarim/檢索專利公開號.xlsx")


def entry_table(kit, frame):
    frame.configure(width=520)
    table = kit.Entry_Table(frame)
    table.add_entry_name("公開號", 150)
    table.add_entry_name("申請日", 110)
    table.add_entry_name("頁數", 110, state="disabled")
    table.add_entry_name("狀態", 120, state="disabled")
    table.add_table(6)
    rows = [("TW202301234A", "2023-01-05", 12, "完成"), ("TW202305678A", "2023-02-17", 8, "查無資料"),
            ("TW202309999A", "2023-03-30", 21, "完成")]
    for y, (number, date, pages, state) in enumerate(rows):
        table.set_text("公開號", y, number, True)
        table.set_text("申請日", y, date, True)
        table.set_text("頁數", y, pages, True)
        table.set_text("狀態", y, state, True)


def calendar(kit, frame, pandrel_module):
    class Pinned(_datetime.datetime):
        @classmethod
        def now(cls, tz=None):
            return cls(2025, 3, 14, 9, 30)

    saved = pandrel_module.datetime
    pandrel_module.datetime = Pinned
    try:
        cal = kit.CTkCalendar(frame, width=300, height=260, today_fg_color="#3B8ED0", today_text_color="white",
                              calendar_button=True)
    finally:
        pandrel_module.datetime = saved
    cal.grid(row=0, column=0, padx=10, pady=10)
    cal.set_day(2025, 3, 21)


def chart(kit, frame):
    import math

    frame.configure(width=560, height=260)
    charts = kit.Chart_Matplotlib(frame)
    x = [i / 10 for i in range(200)]
    y = [math.sin(v) * math.exp(-v / 12) * 3 for v in x]
    charts.add(x, y, name="衰減", Lx=560, Ly=260, bottom=0.15)


def gpx_map(kit, frame):
    frame.configure(width=760, height=420)
    track = kit.Draw_Map(frame)
    path = GPX / "korita-zbevnica.gpx"
    if path.exists():
        track._draw_gpx(str(path), True)


WIDGETS = {
    "Set_CTkTextbox": textbox,
    "Set_Button": buttons,
    "Set_Table": settings_table,
    "Entry_Table": entry_table,
    "CTkCalendar": calendar,
    "Chart_Matplotlib": chart,
    "Draw_Map": gpx_map,
}


def draw_widgets(out: Path, wanted) -> None:
    import importlib

    import customtkinter

    pandrel_module = importlib.import_module("Halvorine通用模組.Pandrel")
    kit = pandrel_module.Pandrel()
    customtkinter.set_appearance_mode("dark")
    root = customtkinter.CTk()
    root.geometry("+0+0")
    for name, build in WIDGETS.items():
        if not wanted(name):
            continue
        frame = customtkinter.CTkFrame(root, corner_radius=0)
        frame.grid(row=0, column=0, sticky="nsew")
        try:
            if build is calendar:
                build(kit, frame, pandrel_module)
            else:
                build(kit, frame)
        except NotImplementedError as exc:
            print(f"{name}: skipped ({exc})")
            frame.destroy()
            continue
        settle(root, 1.0 if name == "Draw_Map" else 0.4)
        size = grab(frame, out / f"{name}.png")
        print(f"{name}: {out / (name + '.png')} ({size[0]}x{size[1]})")
        frame.destroy()
        root.update()
    for pending in root.tk.splitlist(root.tk.call("after", "info")):
        root.after_cancel(pending)  # customtkinter's own redraw timers
    root.destroy()


# -- the window in the middle of a report ------------------------------------

def draw_window(out: Path) -> None:
    import GUI
    from tessarim.demo import _CustomTkinterProxy
    from tessarim.host import make_channels, signal_end

    Queue_All_variable, Event_All_variable = make_channels()
    lines = ["讀取檢索專利公開號.xlsx：共 3 筆", f"TW202301234A {GREEN}完成{END}",
             f"TW202305678A {RED}查無資料{END}，略過", "TW202309999A 下載說明書中……"]

    def worker():
        request = Queue_All_variable["起始數據"].get()
        if request is None:
            return
        for line in lines:  # the report is still running: the event stays set
            Queue_All_variable["get_receipt"].put(line)
        Queue_All_variable["起始數據"].get()  # None, once the window has closed

    thread = threading.Thread(target=worker, daemon=True)
    thread.start()
    real = GUI.customtkinter

    class GalleryCTk(real.CTk):
        def mainloop(self, *args, **kwargs):
            self.after(800, lambda: fill_and_press(self))
            super().mainloop(*args, **kwargs)

    def fill_and_press(app):
        from tessarim.demo import widgets

        entries = sorted(widgets(app, real.CTkEntry), key=lambda e: e.winfo_rooty())
        for entry, text in zip(entries, ("~/Halvorine/Tessarim/範本.xlsx",
                                         "~/Halvorine/Tessarim/檢索專利公開號.xlsx")):
            entry.insert(0, text)
        for button in widgets(app, real.CTkButton):
            if button.cget("text") == "輸出檢索報告":
                button.invoke()
        app.after(1700, lambda: shoot(app))  # three ticks: "輸出中..." and the lines are in

    def shoot(app):
        size = grab(app, out / "GUI.png")
        print(f"GUI: {out / 'GUI.png'} ({size[0]}x{size[1]})")
        app.destroy()

    GUI.customtkinter = _CustomTkinterProxy(real, GalleryCTk)
    try:
        GUI.GUI(Queue_All_variable, Event_All_variable)
    finally:
        GUI.customtkinter = real
        signal_end(Queue_All_variable, Event_All_variable)
        thread.join(5)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=REPO / "docs" / "gallery")
    parser.add_argument("--only", nargs="*", default=[], help="widget names (or GUI) to draw")
    args = parser.parse_args(argv)
    ensure_display()
    only = set(args.only)

    def wanted(name):
        return not only or name in only

    draw_widgets(args.out, wanted)
    if wanted("GUI"):
        draw_window(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
