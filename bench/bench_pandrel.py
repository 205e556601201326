"""Figures for the widget kit: the import cost of Pandrel beyond its
dependencies, and Set_CTkTextbox.add_text against the bare insert calls that it
makes on a CTkTextbox (the floor). Prints figures; asserts nothing.

    python bench/bench_pandrel.py [--lines N] [--rounds R]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # common.py, also under python -P
import common  # noqa: E402

DEPENDENCIES = ("import os, tkinter, customtkinter, pyautogui, time, functools, json, webbrowser, calendar, "
                "datetime, random, string, re; from PIL import Image")

IMPORT_PROBE = f"""
import time
{DEPENDENCIES}
start = time.perf_counter()
import Halvorine通用模組
print((time.perf_counter() - start) * 1000.0)
"""

SEGMENT = "(.*?)<\\$\\$\\$顏色\\[(.*?)\\]\\$\\$\\$>(.*?)</\\$\\$\\$顏色\\$\\$\\$>"
RED = "<$$$顏色[red]$$$>"
END = "</$$$顏色$$$>"
TOP = "<$$$最前方顯示$$$>"


def import_overhead(rounds):
    figures = []
    for _ in range(rounds):
        out = subprocess.run([sys.executable, "-P", "-c", IMPORT_PROBE], capture_output=True, text=True, check=True)
        figures.append(float(out.stdout.strip().splitlines()[-1]))
    return statistics.median(figures), min(figures)


def floor_plain(box, i):
    box.insert("end", f"progress line {i} of the report", "white")
    box.insert("end", "\n")


def floor_coloured(box, i):
    box.insert("end", "patent ", "white")
    box.insert("end", f"TW2023{i:05d}A", "red")
    box.insert("end", " done", "white")
    box.insert("end", "\n")


def floor_top(box, i):
    box.insert("1.0", "\n")
    box.insert("1.0", " done", "white")
    box.insert("1.0", f"TW2023{i:05d}A", "green")
    box.insert("1.0", "patent ", "white")


LINES = {
    "plain": (lambda i: f"progress line {i} of the report", floor_plain),
    "coloured": (lambda i: f"patent {RED}TW2023{i:05d}A{END} done", floor_coloured),
    "top-inserted": (lambda i: f"{TOP}patent <$$$顏色[green]$$$>TW2023{i:05d}A{END} done", floor_top),
}


def with_tags(floor):
    """The floor plus the three tag configurations that add_text makes on every call."""
    def write(box, i):
        floor(box, i)
        box.tag_config("red", foreground="red")
        box.tag_config("green", foreground="green")
        box.tag_config("blue", foreground="blue")
    return write


def time_lines(make, write, lines):
    box = make()
    start = time.perf_counter()
    for i in range(lines):
        write(box, i)
    elapsed = time.perf_counter() - start
    return elapsed, box


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lines", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    with common.screen():
        median, best = import_overhead(args.rounds)
        print(f"import overhead of Halvorine通用模組 (Pandrel) beyond its dependencies: "
              f"median {median:.2f} ms, best {best:.2f} ms (target < 5 ms)")

        with common.kit_root() as (customtkinter, pandrel, root):
            parent = customtkinter.CTkFrame(root)
            parent.grid()

            for kind, (text_of, floor) in LINES.items():
                kit_times, floor_times, tagged_times = [], [], []
                for _ in range(args.rounds):
                    kit_box = pandrel.Set_CTkTextbox(parent)
                    t, _ = time_lines(lambda: kit_box, lambda b, i: b.add_text(text_of(i)), args.lines)
                    kit_times.append(t)
                    kit_box.textbox.destroy()
                    t, box = time_lines(lambda: customtkinter.CTkTextbox(parent, width=700, height=300, corner_radius=0),
                                        floor, args.lines)
                    floor_times.append(t)
                    box.destroy()
                    t, box = time_lines(lambda: customtkinter.CTkTextbox(parent, width=700, height=300, corner_radius=0),
                                        with_tags(floor), args.lines)
                    tagged_times.append(t)
                    box.destroy()
                kit, bare = statistics.median(kit_times), statistics.median(floor_times)
                tagged = statistics.median(tagged_times)
                print(f"add_text, {kind:13s}: {kit / args.lines * 1e6:7.2f} us/line; floor (inserts) "
                      f"{bare / args.lines * 1e6:7.2f} us/line, ratio {kit / bare:.3f} (target <= 1.2); "
                      f"inserts + 3 tag_config {tagged / args.lines * 1e6:7.2f} us/line, ratio {kit / tagged:.3f}")
            # One long line without a complete segment: the expression alone rescans it
            # from every position.
            for length in (4_000, 16_000):
                long_line = "x" * length + f"{RED}unclosed"
                box = pandrel.Set_CTkTextbox(parent)
                began = time.perf_counter()
                box.add_text(long_line)
                kit = time.perf_counter() - began
                began = time.perf_counter()
                re.compile(SEGMENT).findall(long_line)
                bare = time.perf_counter() - began
                print(f"add_text of a {length}-character line without a closing marker: {kit * 1000:.2f} ms "
                      f"(findall of the expression alone: {bare * 1000:.1f} ms)")
                box.textbox.destroy()


if __name__ == "__main__":
    main()
