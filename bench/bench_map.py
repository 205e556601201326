"""Draw_Map: a 200,000-point track from draw_gpx to the last path on the map,
against the same steps written in Python, and the longest stall of the Tk event
loop while it draws. Prints figures only."""
import os
import tempfile
import threading
import time
import tkinter

from tessarim.display import ensure_display

screen = ensure_display()

import customtkinter  # noqa: E402
import gpxpy  # noqa: E402
from Halvorine通用模組.Pandrel import Pandrel  # noqa: E402

POINTS, SEGMENTS, ROUNDS = 200_000, 20, 5


def write_track(path):
    per = POINTS // SEGMENTS
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0"?><gpx version="1.1" creator="bench" xmlns="http://www.topografix.com/GPX/1/1"><trk>')
        for s in range(SEGMENTS):
            f.write("<trkseg>")
            for k in range(per):
                i = s * per + k
                f.write(f'<trkpt lat="{45 + i * 1e-6:.7f}" lon="{14 + (i % 997) * 1e-5:.6f}"/>')
            f.write("</trkseg>")
        f.write("</trk></gpx>")


def python_draw(m, data_path):
    """The same steps written directly in Python, on a thread."""
    def work():
        with open(data_path, "r", encoding="utf-8") as file:
            gpx = gpxpy.parse(file)
        paths = []
        for track in gpx.tracks:
            for segment in track.segments:
                lons = [p.longitude for p in segment.points]
                lats = [p.latitude for p in segment.points]
                paths.append(list(zip(lats, lons)))
        with m.lock_draw_line:
            for path in paths:
                m.map_widget.set_path(path, width=3, color="#2894FF")
    threading.Thread(target=work, daemon=True).start()


def timed(root, m, start):
    """Seconds from start() to the last path on the map, and the longest gap of an after(1) heartbeat."""
    m.map_widget.delete_all_path()
    gaps = [0.0]
    last = [time.perf_counter()]

    def beat():
        now = time.perf_counter()
        gaps[0] = max(gaps[0], now - last[0])
        last[0] = now
        if len(m.map_widget.canvas_path_list) == SEGMENTS and not m.lock_draw_line.locked():
            root.quit()
        else:
            root.after(1, beat)

    t0 = time.perf_counter()
    start()
    last[0] = time.perf_counter()
    root.after(1, beat)
    tkinter.Misc.mainloop(root)
    return time.perf_counter() - t0, gaps[0]


def main():
    folder = tempfile.mkdtemp()
    data_path = os.path.join(folder, "track.gpx")
    write_track(data_path)
    root = customtkinter.CTk()
    m = Pandrel.Draw_Map(root)
    m.map_widget.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"  # offline: tiles fail at once
    print(f"track: {POINTS} points in {SEGMENTS} segments, {os.path.getsize(data_path) / 1e6:.1f} MB")
    results = {"kit draw_gpx": [], "Python steps": []}
    for _ in range(ROUNDS):  # alternate, so neither side always runs first
        results["kit draw_gpx"].append(timed(root, m, lambda: m.draw_gpx(data_path)))
        results["Python steps"].append(timed(root, m, lambda: python_draw(m, data_path)))
    for name, runs in results.items():
        times = sorted(t for t, _ in runs)
        stall = max(g for _, g in runs)
        print(f"{name:14s} best {times[0] * 1000:8.1f} ms   median {times[len(times) // 2] * 1000:8.1f} ms   "
              f"longest event-loop stall {stall * 1000:7.1f} ms")
    m.map_widget.running = False
    root.destroy()
    os.remove(data_path)
    os.rmdir(folder)


if __name__ == "__main__":
    main()
    if screen is not None:
        screen.close()
