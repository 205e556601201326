"""Figures for Chart_Matplotlib: `add` and `update` of a long series against
the same matplotlib calls made directly from Python (the floor: figure,
layout, axes, line, the end-point test, tick colours, canvas, draw, grid),
and `update` called from another thread while the main loop runs (the kit
hands it to the Tk thread; the floor draws on the calling thread, and
matplotlib hands the blit over). Medians over rounds; which side runs first
alternates from round to round. With --baseline, the kit's three figures
against an earlier build, each round in fresh processes. Then how responsive
the window stays while one and two worker threads redraw charts of their own
without pause (10 ms between redraws): the ticks per second of a 50 ms timer
of the window, for the kit, the same program in plain matplotlib and (with
--baseline) the earlier build, each round a fresh process per side. Prints
figures; asserts nothing.

    python bench/bench_chart.py [--points N] [--rounds R] [--baseline DIR]
"""
import argparse
import gc
import importlib
import json
import math
import os
import statistics
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # common.py, also under python -P
import common  # noqa: E402


def end_markers(np, ax, x, y):
    if (len(y) >= 1 and np.isnan(y[0]) and not np.isnan(y[-1])) or (np.isnan(y[-1]) and not np.isnan(y[0])):
        for xs, ys in (([x[0]], [y[-1]]), ([x[-1]], [y[-1]]), ([x[0]], [y[0]]), ([x[-1]], [y[0]])):
            ax.scatter(xs, ys, s=1, alpha=0)


def floor_add(parent, x, y, row):
    import numpy as np
    from matplotlib.backends.backend_tkagg import FigureCanvasTkAgg
    from matplotlib.figure import Figure

    fig = Figure(figsize=(800 / 100, 300 / 100), dpi=100, facecolor="#2b2b2b")
    fig.tight_layout()
    fig.subplots_adjust(bottom=0.3)
    ax = fig.add_subplot(111)
    ax.set_facecolor("#2b2b2b")
    ax.plot(x, y, color="#3B8ED0")
    end_markers(np, ax, x, y)
    ax.tick_params(axis="x", colors="#D0D0D0")
    ax.tick_params(axis="y", colors="#D0D0D0")
    canvas = FigureCanvasTkAgg(fig, master=parent)
    canvas.draw()
    canvas.get_tk_widget().grid(row=row, column=0, sticky="nsew")
    return fig, ax, canvas


def floor_update(fig, ax, canvas, x, y):
    import numpy as np

    ax.clear()
    ax.set_facecolor(fig.get_facecolor())
    ax.plot(x, y)
    end_markers(np, ax, x, y)
    ax.tick_params(axis="x", colors="#D0D0D0")
    ax.tick_params(axis="y", colors="#D0D0D0")
    canvas.draw()


def timed(fn):
    gc.collect()   # the previous side's garbage is not collected on this side's clock
    start = time.perf_counter()
    result = fn()
    return time.perf_counter() - start, result


STEPS = ("add", "update", "update from another thread")


def from_thread(root, step):
    """Seconds of one call of `step` on another thread, the main loop running."""
    took = []

    def work():
        try:
            took.append(timed(step)[0])
        finally:
            root.after(0, root.quit)

    root.after(0, lambda: threading.Thread(target=work, daemon=True).start())
    root.mainloop()
    return took[0]


def series(points):
    x = list(range(points))
    y = [math.nan] + [math.sin(i / 1000) for i in range(1, points)]   # one NaN end: the markers too
    y2 = [math.cos(i / 1000) for i in range(points - 1)] + [math.nan]
    return x, y, y2


def kit_round(customtkinter, pandrel, root, x, y, y2):
    """[add, update, update from another thread] of the kit, in seconds."""
    parent = customtkinter.CTkFrame(root)
    chart = pandrel.Chart_Matplotlib(parent)
    took = [timed(lambda: chart.add(x, y, name="c", Lx=800, Ly=300))[0], timed(lambda: chart.update(x, y2, "c"))[0],
            from_thread(root, lambda: chart.update(x, y, "c"))]
    parent.destroy()
    root.update()
    return took


def child(points):
    """One round of the kit in this process, printed as JSON (--baseline)."""
    with common.screen(), common.kit_root() as (customtkinter, pandrel, root):
        print(json.dumps(kit_round(customtkinter, pandrel, root, *series(points))))


def compare_with_matplotlib(args):
    with common.kit_root() as (customtkinter, pandrel, root):
        x, y, y2 = series(args.points)
        times = {f"{side} {step}": [] for side in ("kit", "floor") for step in STEPS}

        def kit():
            for step, t in zip(STEPS, kit_round(customtkinter, pandrel, root, x, y, y2)):
                times[f"kit {step}"].append(t)

        def floor():
            parent = customtkinter.CTkFrame(root)
            t, (fig, ax, canvas) = timed(lambda: floor_add(parent, x, y, 0))
            times["floor add"].append(t)
            times["floor update"].append(timed(lambda: floor_update(fig, ax, canvas, x, y2))[0])
            times["floor update from another thread"].append(
                from_thread(root, lambda: floor_update(fig, ax, canvas, x, y)))
            parent.destroy()
            root.update()

        common.alternating(args.rounds, {"kit": kit, "floor": floor})
        med = {name: statistics.median(values) for name, values in times.items()}
        for step in STEPS:
            kit, bare = med[f"kit {step}"], med[f"floor {step}"]
            print(f"Chart_Matplotlib.{step} of {args.points} points: median {kit * 1000:.1f} ms; direct matplotlib "
                  f"{bare * 1000:.1f} ms; ratio {kit / bare:.3f} (target <= 1.05)")


def compare_with_earlier_build(args):
    runs = common.alternating(args.rounds, common.builds(args.baseline, __file__, "--child", "--points", args.points))
    failed = [r for side in runs.values() for r in side if isinstance(r, dict)]
    if failed:
        print("  a round failed:", failed[0])
        return
    for k, step in enumerate(STEPS):
        print(f"Chart_Matplotlib.{step}, this build against the earlier one:")
        print(common.earlier_ratio(runs["this build"], runs["earlier build"], k))


def ticks_child(side, workers, seconds=3.0):
    """The window's ticks per second while `workers` threads redraw, printed as JSON."""
    with common.screen():
        import customtkinter

        root = customtkinter.CTk()
        x = list(range(500))
        redraws = []
        for i in range(workers):
            frame = customtkinter.CTkFrame(root, width=300, height=150)
            frame.grid(row=0, column=i)
            if side == "kit":
                chart = importlib.import_module("Halvorine通用模組.Pandrel").Pandrel.Chart_Matplotlib(frame)
                chart.add(x, x, name="c")
                redraws.append(lambda k, chart=chart: chart.update(x, [(v * k) % 13 for v in x], "c"))
            else:
                from matplotlib.backends.backend_tkagg import FigureCanvasTkAgg
                from matplotlib.figure import Figure

                fig = Figure(figsize=(3, 1.5), dpi=100, facecolor="#2b2b2b")
                ax = fig.add_subplot(111)
                canvas = FigureCanvasTkAgg(fig, master=frame)
                canvas.get_tk_widget().grid(row=0, column=0, sticky="nsew")

                def redraw(k, fig=fig, ax=ax, canvas=canvas):
                    ax.clear()
                    ax.set_facecolor(fig.get_facecolor())
                    ax.plot(x, [(v * k) % 13 for v in x])
                    ax.tick_params(axis="x", colors="#D0D0D0")
                    ax.tick_params(axis="y", colors="#D0D0D0")
                    canvas.draw()

                redraws.append(redraw)
        stop = threading.Event()

        def worker(redraw):
            k = 0
            while not stop.is_set():
                k += 1
                redraw(k)
                time.sleep(0.01)

        ticks = []

        def tick():
            ticks.append(time.monotonic())
            root.after(50, tick)

        threads = [threading.Thread(target=worker, args=(r,)) for r in redraws]

        def start():
            for t in threads:
                t.start()
            root.after(50, tick)
            root.after(int(seconds * 1000), root.quit)

        root.after(0, start)
        root.mainloop()
        stop.set()
        while any(t.is_alive() for t in threads):
            root.update()
            time.sleep(0.005)
        root.destroy()
        print(json.dumps(len(ticks) / seconds))


def compare_ticks(args):
    script = os.path.abspath(__file__)
    for workers in (1, 2):
        sides = {"kit": lambda: common.in_child(script, "--ticks-child", "kit", workers),
                 "plain": lambda: common.in_child(script, "--ticks-child", "plain", workers)}
        if args.baseline:
            sides["earlier build"] = lambda: common.in_child(script, "--ticks-child", "kit", workers,
                                                             pythonpath=args.baseline)
        runs = common.alternating(max(3, args.rounds // 2), sides)
        failed = [r for side in runs.values() for r in side if isinstance(r, dict)]
        if failed:
            print("  a round failed:", failed[0])
            continue
        med = {side: statistics.median(values) for side, values in runs.items()}
        line = (f"window ticks per second (timer of 50 ms) while {workers} worker(s) redraw: kit {med['kit']:.1f}, "
                f"plain Python {med['plain']:.1f}, ratio {med['kit'] / med['plain']:.3f} (target >= 0.9)")
        if args.baseline:
            line += f"; earlier build {med['earlier build']:.1f}"
        print(line)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--points", type=int, default=100_000)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--child", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--ticks-child", nargs=2, metavar=("SIDE", "WORKERS"), help=argparse.SUPPRESS)
    common.baseline_option(parser)
    args = parser.parse_args()
    if args.child:
        return child(args.points)
    if args.ticks_child:
        return ticks_child(args.ticks_child[0], int(args.ticks_child[1]))
    with common.screen():
        compare_with_matplotlib(args)
        if args.baseline:
            compare_with_earlier_build(args)
        compare_ticks(args)


if __name__ == "__main__":
    main()
