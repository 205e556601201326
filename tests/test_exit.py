"""Ending the program while kit calls run on other threads, in child processes
with time-outs: a crash or a freeze at exit fails one test, never the suite."""
import pytest

import child

# Daemon threads update a chart and draw and clear a map without pause; once
# both are at work, the program ends after the given delay, with or without the
# main loop running. Last line: how much work was done. The chart is made
# by matplotlib and then updated through the kit with Python-only drawing
# (child.PYTHON_ONLY_CHART says why).
THREADS_AT_EXIT = child.START + child.PYTHON_ONLY_CHART + r"""
track, delay, way = sys.argv[1], float(sys.argv[2]), sys.argv[3]
from Halvorine通用模組.Pandrel import Pandrel
root = customtkinter.CTk()
frame = customtkinter.CTkFrame(root, width=300, height=200)
frame.grid(row=0, column=0)
charts = Pandrel.Chart_Matplotlib(frame)
x = list(range(2000))
charts.add(x, [i % 7 for i in x], name="a")
python_only(charts, "a")
mapframe = customtkinter.CTkFrame(root)
mapframe.grid(row=0, column=1)
m = Pandrel.Draw_Map(mapframe)
m.map_widget.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"  # offline: tiles fail at once
done = {"updates": 0, "draws": 0, "drawing": False}
def charting():
    while True:
        charts.update(x, [(i * done["updates"]) % 11 for i in x], "a")
        done["updates"] += 1
def drawing():
    while True:
        done["drawing"] = True
        m._draw_gpx(track, True)
        m.delete_all_path()
        done["draws"] += 1
def start():
    for work in (charting, drawing):
        threading.Thread(target=work, daemon=True).start()
# Without the main loop, tkinter refuses other threads' Tk calls, so the chart
# thread ends with RuntimeError after a second: only the drawing is awaited.
busy = lambda: done["drawing"] and (done["updates"] > 0 or way != "loop")
if way == "loop":
    def end_once_busy():
        root.after(int(delay * 1000), root.quit) if busy() else root.after(5, end_once_busy)
    root.after(1, start)
    end_once_busy()
    root.mainloop()
else:
    start()
    until = None
    while until is None or time.monotonic() < until:
        if until is None and busy():
            until = time.monotonic() + delay
        root.update()
        time.sleep(0.005)
print(json.dumps(done), flush=True)
"""

MOMENTS = [(0.1 + 0.12 * k, "loop" if k % 3 else "no loop") for k in range(12)]


def test_ending_the_program_while_threads_chart_and_draw(tmp_path):
    seg = [(45 + k * 1e-5, 14 + (k % 97) * 1e-4) for k in range(400)]
    track = tmp_path / "t.gpx"
    track.write_text("<gpx><trk>" + "".join(
        "<trkseg>" + "".join(f'<trkpt lat="{y}" lon="{x}"/>' for y, x in seg) + "</trkseg>" for _ in range(20))
        + "</trk></gpx>", encoding="utf-8")
    failed = []
    for delay, way in MOMENTS:
        done, reports = child.run(THREADS_AT_EXIT, track, delay, way, timeout=60)
        if done.returncode != 0 or "Fatal Python error" in done.stderr or "terminate called" in done.stderr:
            failed.append((delay, way, done.returncode, done.stderr[-1500:]))
        elif not (reports and reports[-1]["drawing"] and (reports[-1]["updates"] or way != "loop")):
            failed.append((delay, way, "no work under way", reports))
    assert not failed, failed


# An exit handler registered before the kit was imported stops and joins a
# daemon worker that calls the kit: the call completes, as it would in Python.
JOINED_WORKER = child.START + r"""
import atexit
returned = []
def stop_worker():
    worker.join(20)
    print(json.dumps({"returned": returned, "alive": worker.is_alive()}), flush=True)
atexit.register(stop_worker)
from Halvorine通用模組.Pandrel import Pandrel
def work():
    time.sleep(0.3)  # the program is ending by then
    returned.append(Pandrel().many_days(2024, 2))
worker = threading.Thread(target=work, daemon=True)
worker.start()
"""


@pytest.mark.parametrize("malloc", [None, "debug"])
def test_a_worker_joined_by_an_exit_handler_completes_its_kit_call(malloc):
    done, reports = child.run(JOINED_WORKER, malloc=malloc, timeout=60)
    assert done.returncode == 0, done.stderr
    assert reports == [{"returned": [29], "alive": False}]


# A kit call that the interpreter ends mid-way (the worker enters it once exit
# handlers run): its frames hold the only references to
# the open file; dropping them without the GIL would stop the debug allocator.
ENDED_MID_CALL = child.START + r"""
import atexit, types
started, go = threading.Event(), threading.Event()
def late():
    go.set()
    started.wait(20)
atexit.register(late)
from Halvorine通用模組.Pandrel import Pandrel
path = sys.argv[1]
def worker():
    go.wait()
    m = Pandrel.Draw_Map.__new__(Pandrel.Draw_Map)
    def parse(file):
        started.set()
        while True:
            pass
    m.gpxpy = types.SimpleNamespace(parse=parse)
    m._draw_gpx(path, False)
threading.Thread(target=worker, daemon=True).start()
class LetGo:
    def __del__(self):
        time.sleep(0.05)  # the GIL goes free while the interpreter finalizes
let_go = LetGo()
print(json.dumps({"main": "ends"}), flush=True)
"""


def test_a_kit_call_ended_by_the_interpreter_leaves_its_references_alone(tmp_path):
    track = tmp_path / "t.gpx"
    track.write_text("<gpx/>", encoding="utf-8")
    done, reports = child.run(ENDED_MID_CALL, track, malloc="debug", timeout=60)
    assert done.returncode == 0 and reports == [{"main": "ends"}], done.stderr
    assert "Fatal Python error" not in done.stderr, done.stderr


# A draw handed to the Tk thread when the program ends: an exit handler that
# pumps the Tk thread's events until the drawing thread is done sees it
# finish, as it would in Python.
DRAW_FINISHED_BY_EXIT_HANDLER = child.START + r"""
import atexit
after_call = []
def finish_drawing():
    deadline = time.monotonic() + 20
    while drawer.is_alive() and time.monotonic() < deadline:
        root.update()
        time.sleep(0.002)
    print(json.dumps({"after_call": after_call, "paths": len(m.map_widget.canvas_path_list)}), flush=True)
atexit.register(finish_drawing)
from Halvorine通用模組.Pandrel import Pandrel
root = customtkinter.CTk()
m = Pandrel.Draw_Map(root)
m.map_widget.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"  # offline: tiles fail at once
root.update()
def draw():
    m._draw_gpx(sys.argv[1], False)
    after_call.append(True)
drawer = threading.Thread(target=draw, daemon=True)
drawer.start()
while not m.lock_draw_line.locked() and not (m.map_widget._tessarim_tk_queue["jobs"]):
    time.sleep(0.001)  # the file is queued for the Tk thread, which pumps no events now
"""


def test_a_draw_waiting_for_the_tk_thread_at_exit_finishes_when_an_exit_handler_pumps(tmp_path):
    track = tmp_path / "t.gpx"
    track.write_text('<gpx><trk><trkseg><trkpt lat="1" lon="1"/><trkpt lat="2" lon="2"/></trkseg></trk></gpx>',
                     encoding="utf-8")
    done, reports = child.run(DRAW_FINISHED_BY_EXIT_HANDLER, track, timeout=60)
    assert done.returncode == 0, done.stderr
    assert reports == [{"after_call": [True], "paths": 1}], (reports, done.stderr[-1500:])
