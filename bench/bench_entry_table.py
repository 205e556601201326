"""Figures for Entry_Table: building a table of 500 rows by 6 columns (3
editable, 3 display-only) and one get() of it, each against the same widget
calls made directly from Python (the floor), and with --baseline DIR against
an earlier build of the kit installed there. Prints figures; asserts nothing.

    python bench/bench_entry_table.py [--rows N] [--rounds R] [--baseline DIR]
"""
import argparse
import json
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # common.py, also under python -P
import common  # noqa: E402

COLUMNS = [("編號", 80, "normal"), ("名稱", 160, "disabled"), ("數量", 80, "normal"), ("單價", 100, "disabled"),
           ("備註", 200, "normal"), ("合計", 100, "disabled")]


def font(customtkinter):
    return customtkinter.CTkFont(family="Microsoft JhengHei", size=15, weight="bold")


def kit_build(pandrel, frame, rows):
    table = pandrel.Entry_Table(frame)
    for name, width, state in COLUMNS:
        table.add_entry_name(name, width, state=state)
    table.add_table(rows)
    return table


def floor_build(frame, rows):
    """The widget calls of the same table, written out in Python."""
    import customtkinter
    import pyautogui
    import tkinter

    columns, x = [], 50
    for name, width, state in COLUMNS:
        width = float(width)
        label = customtkinter.CTkLabel(frame, text=name, font=font(customtkinter))
        label.place(x=x + (width - 2) / 2, y=18, anchor="center")
        columns.append((width, x, state))
        x += width - 2
    frame.configure(height=14000 * rows / 500 + 50)
    cells = []
    for width, x, state in columns:
        column = []
        cells.append((state, column))
        if state == "normal":
            for i in range(rows):
                entry = customtkinter.CTkEntry(frame, placeholder_text="", width=width, height=30, corner_radius=0)
                entry.place(x=x, y=30 + 28 * i)
                column.append(entry)
        else:
            screen_width, _ = pyautogui.size()
            for i in range(rows):
                cell = customtkinter.CTkFrame(frame, width, height=30, border_width=2, corner_radius=0,
                                              fg_color="#353638", border_color="#53575a")
                cell.place(x=x - 1, y=30 + 28 * i)
                variable = tkinter.StringVar()
                variable.set("")
                label = tkinter.Label(cell, textvariable=variable, bg="#353638", fg="white",
                                      font=font(customtkinter))
                label.place(x=100, y=18 * screen_width / 2560, anchor="e")
                column.append([variable, label])
    for i in range(rows):
        customtkinter.CTkLabel(frame, text=str(i + 1), font=font(customtkinter)).place(x=30, y=30 + 28 * i)
    return cells


def floor_get(cells, defaults):
    values = []
    for (state, column), default in zip(cells, defaults):
        out = []
        values.append(out)
        if state == "normal":
            for i, entry in enumerate(column):
                out.append(default[i] if entry.get() == "" else entry.get())
        else:
            out.extend(default[i] for i in range(len(column)))
    return values


CLOCKS = (("build", "wall"), ("get()", "wall"), ("build", "cpu"), ("get()", "cpu"))


def measure_once(side, rows):
    """One build and one get() of one side in this process: build and get()
    seconds, by the wall clock and in this process's CPU time (the machine is
    shared, and the CPU time is the steadier figure there)."""
    with common.kit_root() as (customtkinter, pandrel, root):
        frame = customtkinter.CTkFrame(root)
        frame.grid(row=0, column=0)
        began, began_cpu = time.perf_counter(), time.process_time()
        made = kit_build(pandrel, frame, rows) if side == "kit" else floor_build(frame, rows)
        built, built_cpu = time.perf_counter() - began, time.process_time() - began_cpu
        if side == "kit":
            editable = [column for column in made.entry.values() if column and not isinstance(column[0], list)]
        else:
            editable = [column for state, column in made if state == "normal"]
        for column in editable:
            column[-1].insert(0, "typed")  # one cell with text, the others empty
        if side == "kit":
            began, began_cpu = time.perf_counter(), time.process_time()
            made.get()
        else:
            defaults = [[""] * len(column) for _, column in made]
            began, began_cpu = time.perf_counter(), time.process_time()
            floor_get(made, defaults)
        got, got_cpu = time.perf_counter() - began, time.process_time() - began_cpu
    return built, got, built_cpu, got_cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=500)
    parser.add_argument("--rounds", type=int, default=5)
    common.baseline_option(parser)
    parser.add_argument("--once", choices=("kit", "floor"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    with common.screen():
        if args.once:
            print(json.dumps(measure_once(args.once, args.rows)))
            return
        # Each measurement in a fresh process: Tk slows down as a process makes
        # and destroys thousands of widgets, which would favour whichever side
        # ran first.
        sides = {"kit": lambda: common.in_child(__file__, "--once", "kit", "--rows", args.rows),
                 "floor": lambda: common.in_child(__file__, "--once", "floor", "--rows", args.rows)}
        if args.baseline:
            sides["earlier"] = lambda: common.in_child(__file__, "--once", "kit", "--rows", args.rows,
                                                       pythonpath=args.baseline)
        runs = common.alternating(args.rounds, sides)
        for side, results in runs.items():
            if any("failed" in run for run in results):
                print(f"Entry_Table ({side}): failed: {[run for run in results if 'failed' in run][0]}")
                return
        for k, (what, clock) in enumerate(CLOCKS):
            kit, bare = (statistics.median(run[k] for run in runs[side]) for side in ("kit", "floor"))
            print(f"Entry_Table {what:5s} of {args.rows} rows x {len(COLUMNS)} columns ({clock:4s}): "
                  f"kit {kit * 1000:9.2f} ms, floor (same calls from Python) {bare * 1000:9.2f} ms, "
                  f"ratio {kit / bare:.3f} (target <= 1.05); medians of {args.rounds} rounds, each in a fresh process")
            if args.baseline:
                print(common.earlier_ratio(runs["kit"], runs["earlier"], k))


if __name__ == "__main__":
    main()
