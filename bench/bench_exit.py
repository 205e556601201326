"""Ending a program while daemon threads work the widgets: crashes and exit time.

A window with a map, a chart, a log box and a table; daemon threads draw GPX
files (real and broken) and clear the map, update the chart, write the log box
and the table, without pause. The program ends at a random moment in one of
several ways: main returns after the main loop ran (root.quit) or without it
having run, the window is destroyed, sys.exit in a callback, an exception
escapes main. Each run is a fresh process; the same program runs with the kit
("kit") and written out in plain customtkinter/matplotlib/tkintermapview
("plain"), the sides alternating. Printed per side: the runs, the failed exits (a
signal, an exit status the way of ending does not give, or a hang after main
ended; a run that froze or crashed before main ended is counted apart), and the median
and maximum time from the end of main to the end of the process.

    python bench/bench_exit.py [--runs N] [--seed S] [--cores DIR] [--kit-path DIR]

--cores keeps the core dumps of crashed runs in DIR (one folder per run) and
prints the crashing thread's stack of each; --kit-path runs the kit side with an
earlier build of the kit put before the installed one.
"""
import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
GPX = HERE.parent / "tests" / "data" / "gpx"
WAYS = {"return_after_loop": 0, "return_without_loop": 0, "destroy": 0, "sys_exit_in_callback": 3,
        "exception_from_main": 1}
HANG_S = 15

CHILD = r"""
import sys, threading, time, random
side, way, delay = sys.argv[1], sys.argv[2], float(sys.argv[3])
files = sys.argv[4:]
from tessarim.display import ensure_display
screen = ensure_display()
import customtkinter
root = customtkinter.CTk()
frame = customtkinter.CTkFrame(root, width=400, height=250)
frame.grid(row=0, column=0)
mapframe = customtkinter.CTkFrame(root)
mapframe.grid(row=0, column=1)
logframe = customtkinter.CTkFrame(root)
logframe.grid(row=1, column=0)
tableframe = customtkinter.CTkFrame(root, width=400, height=100)
tableframe.grid(row=1, column=1)
x = list(range(500))

if side == "kit":
    from Halvorine通用模組.Pandrel import Pandrel
    charts = Pandrel.Chart_Matplotlib(frame)
    charts.add(x, [i % 7 for i in x], name="a")
    m = Pandrel.Draw_Map(mapframe)
    m.map_widget.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"
    box = Pandrel.Set_CTkTextbox(logframe)
    table = Pandrel.Set_Table(tableframe)
    table.add_entry_name("a")
    def chart_step(k):
        charts.update(x, [(i * k) % 11 for i in x], "a")
    def draw_step(path):
        m._draw_gpx(path, True)
    def clear_step():
        m.delete_all_path()
    def log_step(k):
        box.add_text(f"line <$$$顏色[red]$$$>{k}</$$$顏色$$$>")
        if k % 50 == 0:
            box.delete_all()
    def table_step(k):
        table.set("a", k)
else:
    import gpxpy, math, tkintermapview
    from matplotlib.figure import Figure
    from matplotlib.backends.backend_tkagg import FigureCanvasTkAgg
    fig = Figure(figsize=(4, 2.5), dpi=100, facecolor="#2b2b2b")
    ax = fig.add_subplot()
    ax.plot(x, [i % 7 for i in x], color="#3B8ED0")
    canvas = FigureCanvasTkAgg(fig, master=frame)
    canvas.get_tk_widget().grid(row=0, column=0)
    canvas.draw()
    mw = tkintermapview.TkinterMapView(mapframe, width=390, height=200, corner_radius=0)
    mw.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"
    mw.grid(row=0, column=0)
    lock = threading.Lock()
    box = customtkinter.CTkTextbox(logframe, width=700, height=300, corner_radius=0)
    box.grid(row=0, column=0)
    box.tag_config("red", foreground="red")
    label = customtkinter.CTkLabel(tableframe, text="a")
    label.place(x=10, y=10)
    entry = customtkinter.CTkEntry(tableframe, width=200, height=30)
    entry.place(x=130, y=10)
    def chart_step(k):
        ax.clear()
        ax.set_facecolor("#2b2b2b")
        ax.plot(x, [(i * k) % 11 for i in x])
        canvas.draw()
    def draw_step(path):
        with open(path, "r", encoding="utf-8") as f:
            gpx = gpxpy.parse(f)
        paths = [[(p.latitude, p.longitude) for p in s.points] for t in gpx.tracks for s in t.segments]
        with lock:
            lats = [p[0] for q in paths for p in q]
            lons = [p[1] for q in paths for p in q]
            mw.set_position((max(lats) + min(lats)) / 2, (max(lons) + min(lons)) / 2)
            mw.set_zoom(int(math.log(360 / max(abs(max(lons) - min(lons)), 1e-9), 2)))
            for p in paths:
                if len(p) >= 2:
                    mw.set_path(p, width=3, color="#2894FF")
    def clear_step():
        with lock:
            mw.delete_all_path()
    def log_step(k):
        box.insert("end", "line ")
        box.insert("end", f"{k}", "red")
        box.insert("end", "\n")
        if k % 50 == 0:
            box.delete("1.0", "end")
    def table_step(k):
        entry.delete(0, "end")
        entry.insert(0, str(k))

def forever(step, *cycle):
    def run():
        k = 0
        while True:
            k += 1
            try:
                step(cycle[k % len(cycle)] if cycle else k)
            except Exception:
                time.sleep(0.001)
    threading.Thread(target=run, daemon=True).start()

def start_threads():
    forever(chart_step)
    forever(draw_step, *files)
    forever(lambda k: clear_step() if k % 3 == 0 else time.sleep(0.02))
    forever(log_step)
    forever(table_step)

def end_of_main():
    print("END", time.monotonic(), flush=True)

root.update()
if way == "return_without_loop":
    start_threads()
    until = time.monotonic() + delay
    while time.monotonic() < until:
        root.update()
        time.sleep(0.005)
    end_of_main()
else:
    root.after(1, start_threads)
    if way == "return_after_loop":
        root.after(int(delay * 1000), root.quit)
    elif way == "destroy":
        root.after(int(delay * 1000), root.destroy)
    elif way == "sys_exit_in_callback":
        def leave():
            end_of_main()
            sys.exit(3)
        root.after(int(delay * 1000), leave)
    elif way == "exception_from_main":
        root.after(int(delay * 1000), root.quit)
    root.mainloop()
    if way == "exception_from_main":
        end_of_main()
        raise RuntimeError("the end")
    if way != "sys_exit_in_callback":
        end_of_main()
"""


def one_run(side, way, delay, files, kit_path, cores):
    env = dict(os.environ)
    if side == "kit" and kit_path:
        env["PYTHONPATH"] = kit_path
    work = tempfile.mkdtemp(prefix="exit-run-")

    def allow_cores():
        resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))

    child = subprocess.Popen([sys.executable, "-P", "-c", CHILD, side, way, str(delay), *files], cwd=work, env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             preexec_fn=allow_cores if cores else None)
    try:
        out, err = child.communicate(timeout=HANG_S)
        ended = time.monotonic()
        hung = False
    except subprocess.TimeoutExpired:
        if cores:  # every thread's stack, for the hang
            stacks = subprocess.run(["gdb", "-q", "-batch", "-p", str(child.pid), "-ex", "thread apply all bt 30"],
                                    capture_output=True, text=True).stdout
            Path(work, "core-hang.txt").write_text(stacks)
        child.kill()
        out, err = child.communicate()
        ended, hung = time.monotonic(), True
    ends = [float(line.split()[1]) for line in out.splitlines() if line.startswith("END ")]
    latency = ended - ends[-1] if ends and not hung else None
    # A program that freezes before main ends (Tk calls from other threads can
    # deadlock the main loop, either side) is no failure of the exit.
    # Likewise a crash before main ends (the plain program's Tk calls from other
    # threads crash CPython 3.12 and 3.13 while it runs) is counted apart.
    froze = hung and not ends
    failed = hung or child.returncode != WAYS[way]
    early = failed and not hung and not ends
    crashed = failed and not froze and not early
    kept = None
    if crashed and cores and any(p.name.startswith("core") for p in Path(work).iterdir()):
        kept = Path(cores) / f"{side}-{way}-{child.pid}"
        shutil.copytree(work, kept)
    shutil.rmtree(work, ignore_errors=True)
    return {"crashed": crashed, "hung": hung and not froze, "froze": froze, "early": early, "rc": child.returncode, "latency": latency,
            "tail": err.strip().splitlines()[-1:] if crashed else [], "core": kept}


def crashing_stack(core_dir):
    core = next(p for p in Path(core_dir).iterdir() if p.name.startswith("core"))
    if core.suffix == ".txt":
        return [line for line in core.read_text().splitlines() if line.startswith(("#", "Thread"))]
    done = subprocess.run(["gdb", "-q", "-batch", "-ex", "bt 40", sys.executable, str(core)], capture_output=True,
                          text=True)
    return [line for line in done.stdout.splitlines() if line.startswith("#")]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=40, help="runs per side")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--cores", help="a folder for the core dumps of crashed runs")
    parser.add_argument("--kit-path", help="a folder with an earlier build of the kit, for the kit side")
    args = parser.parse_args()
    files = [str(p) for p in sorted(GPX.glob("*.gpx"))][:2]
    broken = tempfile.NamedTemporaryFile("w", suffix=".gpx", delete=False)
    broken.write("<gpx><trk><trkseg><trkpt lat='x'")
    broken.close()
    files.append(broken.name)
    if args.cores:
        os.makedirs(args.cores, exist_ok=True)
    rng = random.Random(args.seed)
    plan = [(rng.choice(list(WAYS)), round(rng.uniform(0.2, 2.0), 2)) for _ in range(args.runs)]
    results = {"kit": [], "plain": []}
    print(f"Python {sys.version.split()[0]}: {args.runs} runs a side, sides alternating"
          + (f", kit from {args.kit_path}" if args.kit_path else ""), flush=True)
    for n, (way, delay) in enumerate(plan):
        for side in (("kit", "plain") if n % 2 == 0 else ("plain", "kit")):
            r = one_run(side, way, delay, files, args.kit_path, args.cores)
            results[side].append(r)
            if r["froze"] or r["early"]:
                print(f"  {side} {'froze' if r['froze'] else 'crashed'} before main ended: {way} at {delay} s, "
                      f"status {r['rc']}", flush=True)
            if r["crashed"]:
                print(f"  {side} crashed: {way} at {delay} s, status {r['rc']}{' (hang)' if r['hung'] else ''}"
                      f" {r['tail']}", flush=True)
                if r["core"]:
                    stack = crashing_stack(r["core"])
                    kit_frames = [line for line in stack if "Halvorine" in line or "Pandrel" in line]
                    print(f"    core: {r['core']}; kit frames on the crashing thread: {len(kit_frames)}")
                    for line in stack[:12]:
                        print("     ", line[:160])
    for side, runs in results.items():
        lat = [r["latency"] for r in runs if r["latency"] is not None]
        crashes = sum(r["crashed"] for r in runs)
        hangs = sum(r["hung"] for r in runs)
        froze = sum(r["froze"] for r in runs)
        early = sum(r["early"] for r in runs)
        print(f"{side:5}: {crashes} failed exits in {len(runs) - froze - early} runs ({hangs} of them hangs; "
              f"{froze} more runs froze and {early} crashed before main ended); end of main to end of process: "
              f"median {statistics.median(lat):.3f} s, max {max(lat):.3f} s")
    os.unlink(broken.name)


if __name__ == "__main__":
    main()
