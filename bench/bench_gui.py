"""Figures for the Tessarim window: start-up time from the GUI call to the
first idle moment, one poller tick draining 1,000 queued lines against 1,000
direct add_text calls, and live objects after 10,000 idle ticks. Prints figures;
asserts nothing.

    python bench/bench_gui.py [--starts N] [--lines N] [--ticks N]
"""
import argparse
import gc
import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
sys.path.insert(0, HERE)  # common.py, also under python -P
import common  # noqa: E402


def line(i):
    return f"處理 TW2023{i:05d}A <$$$顏色[green]$$$>完成</$$$顏色$$$> ({i})"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--starts", type=int, default=7)
    parser.add_argument("--lines", type=int, default=1000)
    parser.add_argument("--ticks", type=int, default=10_000)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    os.environ["HOME"] = tempfile.mkdtemp(prefix="tessarim-bench-")  # the product folder goes here
    with common.screen():
        import gui_driver

        # Start-up: GUI call to the first idle moment of the built window.
        starts = []
        for _ in range(args.starts):
            began = time.perf_counter()
            gui_driver.run_gui(lambda w: starts.append(time.perf_counter() - began), log=False)
        print(f"start-up, GUI call to first idle: median {statistics.median(starts) * 1000:.1f} ms, "
              f"best {min(starts) * 1000:.1f} ms ({args.starts} windows)")

        def drain_and_direct(window):
            import importlib
            box_class = importlib.import_module("Halvorine通用模組.Pandrel").Pandrel.Set_CTkTextbox
            textbox = window.textbox
            ticks, direct = [], []
            # The direct calls go to the window's own text widget, through a log-box
            # object in the state its constructor would leave it.
            box = object.__new__(box_class)
            box.re, box.frame, box.textbox = __import__("re"), textbox.master, textbox
            lines = [line(i) for i in range(args.lines)]
            q = window.queues["get_receipt"]
            def by_tick():
                textbox.delete("1.0", "end")
                for text in lines:
                    q.put(text)
                window.app.update_idletasks()
                began = time.perf_counter()
                window.tick()
                ticks.append(time.perf_counter() - began)
                assert len(window.log_lines()) == args.lines

            def directly():
                box.delete_all()
                window.app.update_idletasks()
                began = time.perf_counter()
                for text in lines:
                    box.add_text(text)
                window.app.update_idletasks()
                direct.append(time.perf_counter() - began)

            for round_ in range(args.rounds):  # alternate which goes first
                for run in ((by_tick, directly) if round_ % 2 == 0 else (directly, by_tick)):
                    run()
            tick, plain = statistics.median(ticks), statistics.median(direct)
            print(f"poller tick draining {args.lines} lines: {tick * 1000:.1f} ms; {args.lines} direct add_text "
                  f"calls: {plain * 1000:.1f} ms; ratio {tick / plain:.3f} (target <= 1.05)")

            textbox.delete("1.0", "end")
            window.tick(50)
            gc.collect()
            before = len(gc.get_objects())
            began = time.perf_counter()
            window.tick(args.ticks)
            spent = time.perf_counter() - began
            gc.collect()
            after = len(gc.get_objects())
            print(f"live objects after {args.ticks} idle ticks: {before} -> {after} ({after - before:+d}; target: "
                  f"no growth); {spent / args.ticks * 1e6:.1f} us per idle tick")

        gui_driver.run_gui(drain_and_direct, log=False)


if __name__ == "__main__":
    main()
