"""Figures for CTkCalendar: paging through months with change_month against the
same widget calls made directly from Python (the floor), and with --baseline
DIR against an earlier build of the kit installed there, each paging in a fresh
process, sides alternating; and how many widgets paging leaves behind (each
month's grid frame stays under the next one, with its labels). Prints figures;
asserts nothing.

    python bench/bench_calendar.py [--changes N] [--rounds R] [--baseline DIR]
"""
import argparse
import json
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # common.py, also under python -P
import common  # noqa: E402


def python_change_month(cal, amount, ctk, calendar):
    """change_month and the grid build it makes, written out in Python."""
    cal.month += amount
    if cal.month < 1:
        cal.year -= 1
        cal.month = 12
        cal.day = 1
    elif cal.month > 12:
        cal.year += 1
        cal.month = 1
        cal.day = 1
    cal.month_label.set(calendar.month_name[cal.month])
    cal.year_label.set(cal.year)
    frame = ctk.CTkFrame(cal.content_frame, fg_color=cal.calendar_fg_color, corner_radius=cal.calendar_corner_radius,
                         border_width=cal.calendar_border_width, border_color=cal.calendar_border_color)
    weeks = calendar.monthcalendar(cal.year, cal.month)
    frame.columnconfigure((0, 1, 2, 3, 4, 5, 6), weight=1, uniform="b")
    frame.rowconfigure(tuple(range(len(weeks))), weight=1, uniform="b")
    registry = cal.data["日曆按鈕"]
    for key in list(registry):
        registry[key].destroy()
        del registry[key]
    for row in range(len(weeks)):
        for column in range(7):
            day = weeks[row][column]
            if day == 0:
                continue
            grid = dict(row=row, column=column, sticky="nsew", padx=cal.calendar_label_pad, pady=cal.calendar_label_pad)
            if cal.today_fg_color is not None and (day, cal.month, cal.year) == cal.today:
                ctk.CTkLabel(frame, text=str(day), corner_radius=5, fg_color=cal.today_fg_color,
                             font=ctk.CTkFont("Arial", 11), text_color=cal.today_text_color).grid(**grid)
            elif cal.calendar_button:
                button = ctk.CTkButton(frame, text=str(day), corner_radius=5,
                                       command=lambda d=day: cal.set_day(cal.year, cal.month, d), fg_color="#2b2b2b",
                                       font=ctk.CTkFont("Arial", 11), text_color=cal.calendar_text_color)
                registry[f"{cal.year}-{cal.month}-{day}"] = button
                button.grid(**grid)
            else:
                ctk.CTkLabel(frame, text=str(day), corner_radius=5, fg_color=cal.calendar_text_fg_color,
                             font=ctk.CTkFont("Arial", 11), text_color=cal.calendar_text_color).grid(**grid)
    frame.place(relx=0.5, rely=0.97, anchor="s", relheight=0.75, relwidth=0.95)


def descendants(widget, only=None):
    """Tk windows inside `widget`, or only the instances of `only`."""
    return sum((only is None or isinstance(child, only)) + descendants(child, only)
               for child in widget.winfo_children())


def page(root, make, step, changes):
    """Seconds of `changes` steps, shown: by the wall clock and in this
    process's CPU time (the machine may be shared; that is the steadier one)."""
    cal = make()
    start, start_cpu = time.perf_counter(), time.process_time()
    for i in range(changes):
        step(cal, 1)
    root.update()
    elapsed, elapsed_cpu = time.perf_counter() - start, time.process_time() - start_cpu
    cal.destroy()
    root.update()
    return elapsed, elapsed_cpu


def page_once(side, buttons, changes):
    """Seconds of `changes` month changes of one side in this process."""
    with common.kit_root("400x400") as (ctk, pandrel, root):
        import calendar

        def make():
            cal = pandrel.CTkCalendar(root, calendar_button=buttons, today_fg_color="red")
            cal.pack(expand=True, fill="both")
            return cal

        if side == "kit":
            return page(root, make, lambda cal, amount: cal.change_month(amount), changes)
        return page(root, make, lambda cal, amount: python_change_month(cal, amount, ctk, calendar), changes)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--changes", type=int, default=120)
    parser.add_argument("--rounds", type=int, default=3)
    common.baseline_option(parser)
    parser.add_argument("--once", nargs=2, metavar=("SIDE", "BUTTONS"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    with common.screen():
        if args.once:
            print(json.dumps(page_once(args.once[0], args.once[1] == "1", args.changes)))
            return
        paging(args)
        leftovers()


def paging(args):
    """The kit's paging against the floor, and against an earlier build."""
    for buttons in (False, True):
        once = ("--changes", args.changes, "--once")
        sides = {"kit": lambda: common.in_child(__file__, *once, "kit", int(buttons)),
                 "floor": lambda: common.in_child(__file__, *once, "floor", int(buttons))}
        if args.baseline:
            sides["earlier"] = lambda: common.in_child(__file__, *once, "kit", int(buttons),
                                                       pythonpath=args.baseline)
        times = common.alternating(args.rounds, sides)
        kind = "day buttons" if buttons else "day labels"
        failed = [t for runs in times.values() for t in runs if isinstance(t, dict)]
        if failed:
            print(f"{args.changes} change_month calls ({kind}): failed: {failed[0]}")
            continue
        for k, clock in enumerate(("wall", "cpu")):
            kit, floor = (statistics.median(t[k] for t in times[side]) for side in ("kit", "floor"))
            print(f"{args.changes} change_month calls ({kind}, {clock:4s}): kit median {kit * 1000:.0f} ms, "
                  f"same calls from Python {floor * 1000:.0f} ms, ratio {kit / floor:.3f} (target <= 1.05); "
                  f"{args.rounds} rounds, each in a fresh process")
            if args.baseline:
                print(common.earlier_ratio(times["kit"], times["earlier"], k))

def leftovers():
    """What paging leaves behind in the calendar, and the time per change."""
    with common.kit_root("400x400") as (ctk, pandrel, root):
        for buttons in (False, True):
            for changes in (12, 120):
                cal = pandrel.CTkCalendar(root, calendar_button=buttons)
                cal.pack()
                fresh, fresh_ctk = descendants(cal), descendants(cal, ctk.CTkBaseClass)
                start = time.perf_counter()
                for _ in range(changes):
                    cal.change_month(1)
                root.update()
                took = time.perf_counter() - start
                left, left_ctk = descendants(cal), descendants(cal, ctk.CTkBaseClass)
                grids = len(cal.content_frame.winfo_children()) - 1
                kind = "day buttons" if buttons else "day labels"
                print(f"{changes} month changes ({kind}): {left_ctk} customtkinter widgets ({left} Tk windows) in the "
                      f"calendar against {fresh_ctk} ({fresh}) when new: +{left_ctk - fresh_ctk} (+{left - fresh}), "
                      f"{grids} grid frames stacked, {took * 1000 / changes:.1f} ms per change")
                cal.destroy()
                root.update()


if __name__ == "__main__":
    main()
