"""Draw_Map: the map's set-up, drawing GPX files (directly and on the drawing
thread), fitting the view, and clearing while a file is being drawn."""
import gc
import sys
import threading
import time
import tkinter
from pathlib import Path

import pytest

import child
from hostile import BadStr, only_python_errors

GPX = Path(__file__).resolve().parent / "data" / "gpx"  # real tracks (see its README)
BLUE = "#2894FF"


def gpx_text(tracks):
    """A GPX document: tracks of segments of (latitude, longitude) points."""
    body = "".join(
        "<trk>" + "".join("<trkseg>" + "".join(f'<trkpt lat="{y}" lon="{x}"/>' for y, x in seg) + "</trkseg>"
                          for seg in track) + "</trk>" for track in tracks)
    return f'<?xml version="1.0"?><gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">{body}</gpx>'


def write_gpx(folder, tracks, name="t.gpx"):
    path = folder / name
    path.write_text(gpx_text(tracks), encoding="utf-8")
    return str(path)


def run_loop(root, done, timeout=20.0):
    """Runs the real Tk main loop (another thread's Tk calls need it) until done() or the deadline."""
    deadline = time.monotonic() + timeout
    finished = []

    def poll():
        if done():
            finished.append(True)
        if finished or time.monotonic() > deadline:
            root.quit()
        else:
            root.after(5, poll)

    root.after(5, poll)
    tkinter.Misc.mainloop(root)
    assert finished, "timed out"


def drawn(m):
    return [(p.width, p.path_color, list(p.position_list)) for p in m.map_widget.canvas_path_list]


@pytest.fixture(autouse=True)
def offline(monkeypatch):
    """Tile downloads fail at once: no test needs them, and a slow name look-up
    would keep the map's loader threads busy after the map is gone."""
    import requests
    import tkintermapview.map_widget

    def no_network(*args, **kwargs):
        raise requests.exceptions.ConnectionError("offline")

    monkeypatch.setattr(tkintermapview.map_widget.requests, "get", no_network)


@pytest.fixture
def m(Pandrel, frame):
    return Pandrel.Draw_Map(frame)


def test_construction(Pandrel, frame, monkeypatch):
    import pyautogui

    monkeypatch.setattr(pyautogui, "size", lambda: (2560, 1440))
    m = Pandrel.Draw_Map(frame)
    assert list(vars(m)) == ["math", "threading", "lock_draw_line", "gpxpy", "frame", "map_widget", "max_y",
                             "min_y", "max_x", "min_x"]
    assert (m.max_y, m.min_y, m.max_x, m.min_x) == (180, -180, 90, -90) and m.frame is frame
    assert (m.map_widget.width, m.map_widget.height) == (1000.0, 400 * 1440 / 1080)
    assert m.map_widget.grid_info()["rowspan"] == 2 and m.map_widget.grid_info()["sticky"] == "nesw"
    assert m.map_widget.zoom == 7
    assert m.map_widget.get_position() == pytest.approx((23.749959894724828, 120.94158253422043), abs=1e-6)
    assert not m.lock_draw_line.locked() and m.map_widget.canvas_path_list == []


@pytest.mark.parametrize("name", ["korita-zbevnica.gpx", "cerknicko-jezero.gpx", "track-with-empty-segment.gpx",
                                  "gpx1.1_with_all_fields.gpx", "route.gpx", "unicode_with_bom.gpx"])
def test_real_files_draw_one_path_per_segment_that_forms_a_line(m, name, capsys):
    import gpxpy

    path = GPX / name
    with open(path, encoding="utf-8") as f:
        segments = [[(p.latitude, p.longitude) for p in s.points] for t in gpxpy.parse(f).tracks for s in t.segments]
    m._draw_gpx(str(path), False)
    assert drawn(m) == [(3, BLUE, s) for s in segments if len(s) >= 2]
    assert capsys.readouterr().out == f"已匯入 --> {path}\n"


def test_wrong_extension_is_ignored_and_view_kept(m, tmp_path, capsys):
    good = write_gpx(tmp_path, [[[(1, 1), (2, 2)]]])
    for name in ("T.GPX", "t.gpx "):
        (tmp_path / name).write_text(Path(good).read_text())
        m._draw_gpx(str(tmp_path / name), True)
    assert capsys.readouterr().out == "" and drawn(m) == []
    m._draw_gpx(good, False, progress_check=True, progress="p")
    assert capsys.readouterr().out == f"\rp 1/1\n已匯入 --> {good}\n"
    assert m.map_widget.zoom == 7  # not fitted


@pytest.mark.parametrize("points, zoom, centre", [
    ([(23.0, 120.0), (23.2, 120.5)], 9, (120.25, 23.1)),        # 720 and 900: both 9
    ([(10.0, 5.0), (10.5, 5.0)], 8, (5.0, 10.25)),               # one longitude: latitude decides, 360
    ([(10.0, 5.0), (10.0, 50.0)], 3, (27.5, 10.0)),              # one latitude: longitude decides, 8
    ([(10.0, 5.0), (10.0, 5.0)], 19, (5.0, 10.0)),               # one place: the closest view
])
def test_view_fit(m, tmp_path, capsys, points, zoom, centre):
    path = write_gpx(tmp_path, [[points[:1]], [points[1:]]])  # one-point segments still count
    m._draw_gpx(path, True)
    out = capsys.readouterr().out.splitlines()
    assert out[0] == f"適應大小 座標({centre[0]}, {centre[1]}) 層級({zoom})"
    assert m.map_widget.zoom == zoom and drawn(m) == []
    assert m.map_widget.get_position() == pytest.approx((centre[1], centre[0]), abs=1e-3)


def test_two_tracks_of_three_segments_and_a_lone_point_between(m, tmp_path):
    seg = [(1.0, 2.0), (1.5, 2.5), (2.0, 3.0)]
    tracks = [[seg, [(9.0, 9.0)], seg], [seg, seg, seg]]
    m._draw_gpx(write_gpx(tmp_path, tracks), False)
    assert drawn(m) == [(3, BLUE, seg)] * 5


def test_failures_end_the_draw_and_leave_the_lock_free(m, tmp_path, monkeypatch):
    import gpxpy.gpx

    (tmp_path / "bad.gpx").write_text("not xml")
    empty = write_gpx(tmp_path, [], "empty.gpx")
    for path, adapt, error in [(str(tmp_path / "none.gpx"), False, FileNotFoundError),
                               (str(tmp_path / "bad.gpx"), False, gpxpy.gpx.GPXException),
                               (empty, True, ValueError)]:
        with pytest.raises(error):
            m._draw_gpx(path, adapt)
    monkeypatch.setattr(m.map_widget, "set_path", lambda *a, **k: 1 / 0)
    with pytest.raises(ZeroDivisionError):
        m._draw_gpx(write_gpx(tmp_path, [[[(1, 1), (2, 2)]]]), False)
    assert not m.lock_draw_line.locked()
    m.delete_all_path()


def test_draw_gpx_starts_one_daemon_thread(m, tmp_path, root, monkeypatch, capsys):
    path = write_gpx(tmp_path, [[[(1.0, 1.0), (3.0, 2.0)]]])
    made = []

    class Recorder(threading.Thread):
        def __init__(self, **kw):
            made.append(kw)
            super().__init__(**kw)

    monkeypatch.setattr(m.threading, "Thread", Recorder)
    assert m.draw_gpx(path, other=1) is None
    m.draw_gpx(path, adapt_sizes=True)
    assert [(k["args"], k["daemon"], k["target"] == m._draw_gpx) for k in made] == [
        ((path, False), True, True), ((path, True), True, True)]
    run_loop(root, lambda: not any(t.is_alive() for t in threading.enumerate() if isinstance(t, Recorder)))
    assert drawn(m) == [(3, BLUE, [(1.0, 1.0), (3.0, 2.0)])] * 2 and m.map_widget.zoom == 6
    assert capsys.readouterr().out.count("已匯入 --> ") == 2


def test_tk_thread_draw_waits_for_the_lock_without_blocking(m, tmp_path, root, capsys):
    path = write_gpx(tmp_path, [[[(1.0, 1.0), (3.0, 2.0)]]])
    m.map_widget.set_path([(0, 0), (1, 1)])
    m.lock_draw_line.acquire()
    m._draw_gpx(path, False)
    m.delete_all_path()
    assert len(drawn(m)) == 1 and capsys.readouterr().out == ""  # both wait for the lock
    m.lock_draw_line.release()
    run_loop(root, lambda: "已匯入" in capsys.readouterr().out, 5)
    run_loop(root, lambda: drawn(m) == [], 5)  # the clear came after the draw, by order


def test_any_subclass_works_without_its_hash_or_eq_being_called(Pandrel, frame, tmp_path, root, capsys):
    class Touchy(Pandrel.Draw_Map):
        def __eq__(self, other):
            raise AssertionError("compared")

    class Unhashable(Pandrel.Draw_Map):
        def __hash__(self):
            raise AssertionError("hashed")

    path = write_gpx(tmp_path, [[[(1.0, 1.0), (3.0, 2.0)]]])
    for cls in (Touchy, Unhashable):
        m = cls(frame)
        m._draw_gpx(path, True)
        assert drawn(m) == [(3, BLUE, [(1.0, 1.0), (3.0, 2.0)])]
        m.delete_all_path()
        assert drawn(m) == []
        m.draw_gpx(path)
        run_loop(root, lambda: drawn(m) != [], 10)  # the drawing thread hands its file to the Tk thread
        m.map_widget.destroy()
    capsys.readouterr()


# Threads meet Tk in child processes, each with a time-out: a crash, an abort
# or a freeze fails one test and never the suite. Each script prints one JSON
# line of findings last.
PREAMBLE = child.START + r"""
from Halvorine通用模組.Pandrel import Pandrel
root = customtkinter.CTk()
def new_map(parent):
    m = Pandrel.Draw_Map(parent)
    m.map_widget.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"  # offline: tiles fail at once
    return m
def when(ready, then):
    then() if ready() else root.after(1, when, ready, then)
result = {}
"""

# A clear on the Tk thread while a file is drawn returns at once and removes
# the paths once the file is on the map; with make_on_helper the map is made
# on another thread than Tk's.
CLEAR_DURING_DRAW = PREAMBLE + r"""
holder = {}
def start():
    m = holder["m"]
    base = threading.active_count()
    m.draw_gpx(sys.argv[1])
    def clear():
        result["mid_draw"] = len(m.map_widget.canvas_path_list)
        t = time.monotonic()
        m.delete_all_path()
        result["clear_took"] = time.monotonic() - t
        when(lambda: threading.active_count() <= base and not m.lock_draw_line.locked(), root.quit)
    when(m.lock_draw_line.locked, clear)
if sys.argv[2] == "make_on_helper":
    helper = threading.Thread(target=lambda: holder.update(m=new_map(root)), daemon=True)
    root.after(1, helper.start)
    when(lambda: "m" in holder, start)
else:
    holder["m"] = new_map(root)
    root.after(1, start)
root.mainloop()
root.update()
result["left"] = len(holder["m"].map_widget.canvas_path_list)
print(json.dumps(result))
"""

# Concurrent draws that each fit the view.
CONCURRENT = PREAMBLE + r"""
m = new_map(root)
base = threading.active_count()
for path in sys.argv[1:]:
    m.draw_gpx(path, adapt_sizes=True)
when(lambda: threading.active_count() <= base and not m.lock_draw_line.locked(), root.quit)
root.mainloop()
w = m.map_widget
result.update(paths=len(w.canvas_path_list), zoom=w.zoom, last_zoom=w.last_zoom, locked=m.lock_draw_line.locked(),
              columns=len(w.canvas_tile_array), threads=threading.active_count() - base)
print(json.dumps(result))
"""

# The map's window destroyed while a file is drawn: the drawing thread ends.
DESTROYED = PREAMBLE + r"""
window = customtkinter.CTkFrame(root)
window.grid()
m = new_map(window)
m.draw_gpx(sys.argv[1])
drawer = [t for t in threading.enumerate() if t.daemon and t.is_alive()][-1]
def destroy():
    result["mid_draw"] = len(m.map_widget.canvas_path_list)
    window.destroy()
    when(lambda: not drawer.is_alive(), root.quit)
when(m.lock_draw_line.locked, destroy)
root.mainloop()
result.update(locked=m.lock_draw_line.locked(), alive=drawer.is_alive())
print(json.dumps(result))
"""

# delete_all_path from another thread while the Tk thread pumps no events:
# it waits for lock_draw_line, returns without the Tk thread when the map holds
# no path, and hands the clear to the Tk thread otherwise.
CLEAR_FROM_ANOTHER_THREAD = PREAMBLE + r"""
m = new_map(root)
root.update()
def clearer():
    t = threading.Thread(target=m.delete_all_path, daemon=True)
    t.start()
    return t
t = clearer()
t.join(10)
result["empty_returned"] = not t.is_alive()
m.lock_draw_line.acquire()
t = clearer()
t.join(0.3)
result["waited_for_lock"] = t.is_alive()
m.lock_draw_line.release()
t.join(10)
result["returned_after_lock"] = not t.is_alive()
m.map_widget.set_path([(0, 0), (1, 1)])
t = clearer()
t.join(0.3)
result["needs_tk_thread"] = t.is_alive() and len(m.map_widget.canvas_path_list) == 1
when(lambda: not t.is_alive(), root.quit)
root.mainloop()
result["left"] = len(m.map_widget.canvas_path_list)
print(json.dumps(result))
"""


# The program ends while a kit call runs on a daemon thread.
EXIT_WHILE_DRAWING = PREAMBLE + r"""
m = new_map(root)
m.draw_gpx(sys.argv[1], adapt_sizes=True)
drawer = [t for t in threading.enumerate() if t.daemon and t.is_alive()][-1]
def end():
    print(json.dumps({"drawing": drawer.is_alive()}), flush=True)
    root.destroy()
root.after(300, end)
root.mainloop()
"""

# The chart is updated with Python-only drawing (child.PYTHON_ONLY_CHART says why).
EXIT_WHILE_CHARTING = PREAMBLE + child.PYTHON_ONLY_CHART + r"""
frame = customtkinter.CTkFrame(root, width=300, height=200)
frame.grid()
charts = Pandrel.Chart_Matplotlib(frame)
x = list(range(2000))
charts.add(x, [i % 7 for i in x], name="a")
python_only(charts, "a")
updates = [0]
def loop():
    while True:
        updates[0] += 1
        charts.update(x, [(i * updates[0]) % 11 for i in x], "a")
root.after(1, threading.Thread(target=loop, daemon=True).start)
def end():
    print(json.dumps({"updates": updates[0]}), flush=True)
    root.destroy()
root.after(700, end)
root.mainloop()
"""


@pytest.fixture(scope="module")
def long_track(tmp_path_factory):
    """100 segments of 1,000 points: seconds to parse, many slices to draw."""
    seg = [(45 + k * 1e-5, 14 + (k % 97) * 1e-4) for k in range(1000)]
    return write_gpx(tmp_path_factory.mktemp("long"), [[seg] * 100])


# The threaded cases once more with the interpreter's debug allocator, which
# stops the process when memory is touched without the GIL.
MALLOC = [None, "debug"]


@pytest.mark.parametrize("malloc", MALLOC)
@pytest.mark.parametrize("where", ["made_on_tk_thread", "make_on_helper"])
def test_clear_on_the_tk_thread_during_a_draw_does_not_freeze(long_track, where, malloc):
    done, reports = child.run(CLEAR_DURING_DRAW, long_track, where, malloc=malloc, timeout=90)
    assert done.returncode == 0, done.stderr
    result = reports[-1]
    assert result["mid_draw"] < 100 and result["clear_took"] < 0.1, result
    assert result["left"] == 0, result  # removed once the file was on the map


@pytest.mark.parametrize("malloc", MALLOC)
def test_concurrent_fitting_draws_draw_every_file(malloc):
    files = [GPX / "korita-zbevnica.gpx", GPX / "cerknicko-jezero.gpx"] * 4
    done, reports = child.run(CONCURRENT, *files, malloc=malloc, timeout=90)
    assert done.returncode == 0 and "Traceback" not in done.stderr, done.stderr
    result, lines = reports[-1], done.stdout.splitlines()
    assert sum(line.startswith("已匯入 --> ") for line in lines) == 8
    assert result["paths"] == 4 * 3 + 4 * 7 and not result["locked"] and result["threads"] == 0, result
    # the last fit wins, and the tile grid follows the view
    last = [line for line in lines if line.startswith("適應大小")][-1]
    assert last.endswith(f"層級({result['zoom']})") and result["last_zoom"] == result["zoom"], (last, result)
    assert result["columns"] < 20, result


@pytest.mark.parametrize("malloc", MALLOC)
def test_destroying_the_window_mid_draw_ends_the_drawing_thread(long_track, malloc):
    done, reports = child.run(DESTROYED, long_track, malloc=malloc, timeout=90)
    assert done.returncode == 0, done.stderr
    result = reports[-1]
    assert result["mid_draw"] < 100 and not result["alive"] and not result["locked"], result


@pytest.mark.parametrize("script, under_way", [(EXIT_WHILE_DRAWING, "drawing"), (EXIT_WHILE_CHARTING, "updates")],
                         ids=["map", "chart"])
def test_exit_while_a_kit_call_runs_on_a_daemon_thread(long_track, script, under_way):
    done, reports = child.run(script, long_track, timeout=90)
    assert done.returncode == 0, (done.returncode, done.stderr[-2000:])
    assert reports[-1][under_way], reports  # the kit call was under way at exit


@pytest.mark.parametrize("malloc", MALLOC)
def test_clear_from_another_thread_needs_the_tk_thread_only_for_paths(malloc):
    done, reports = child.run(CLEAR_FROM_ANOTHER_THREAD, malloc=malloc, timeout=60)
    assert done.returncode == 0, done.stderr
    assert reports[-1] == {"empty_returned": True, "waited_for_lock": True, "returned_after_lock": True,
                           "needs_tk_thread": True, "left": 0}, reports


def test_hostile_arguments_and_no_growth(m, tmp_path, root, capsys, monkeypatch):
    path = write_gpx(tmp_path, [[[(1.0, 1.0), (2.0, 2.0)]]])
    failed, started = [], []
    monkeypatch.setattr(threading, "excepthook", failed.append)

    class Recorder(threading.Thread):
        def start(self):
            started.append(self)
            super().start()

    monkeypatch.setattr(m.threading, "Thread", Recorder)
    for value in [None, 0, 1.5, "", ".gpx", b"x.gpx", BadStr(), [], {}, ("a", ".gpx"), "\ud800.gpx",
                  "x" * 5000 + ".gpx", str(tmp_path)]:
        only_python_errors(lambda: m._draw_gpx(value, value), lambda: m._draw_gpx(path, BadStr()),
                           lambda: m._draw_gpx(path, True, progress=value, progress_check=value),
                           lambda: m.draw_gpx(value, adapt_sizes=value))
    run_loop(root, lambda: not any(t.is_alive() for t in started), 10)
    # junk that ends in ".gpx" ends its thread with an exception; other junk is ignored
    assert len(started) == 13 and len(failed) == 8
    m.delete_all_path()
    m.map_widget.running = False  # its tile loaders make objects of their own meanwhile
    time.sleep(0.2)
    ref = sys.getrefcount(path)

    def one():
        m._draw_gpx(path, True)
        m.delete_all_path()

    for _ in range(5):
        one()
    gc.collect()
    before = len(gc.get_objects())
    for _ in range(40):
        one()
    gc.collect()
    assert len(gc.get_objects()) - before < 40 and sys.getrefcount(path) == ref
    assert drawn(m) == [] and not m.lock_draw_line.locked()
    capsys.readouterr()
