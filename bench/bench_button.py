"""Figures for Set_Button: bars of text buttons and image buttons, each bar
added to a frame of its own shown in the window, with add_button against the
same customtkinter calls made directly from Python (the floor), and with
--baseline DIR against an earlier build of the kit installed there; each round
in a fresh process, the sides alternating. Prints figures; asserts nothing.

    python bench/bench_button.py [--bars B] [--buttons N] [--rounds R] [--baseline DIR]
"""
import argparse
import json
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # common.py, also under python -P
import common  # noqa: E402


def floor_bar(ctk, image_module, frame, count, image_path):
    data = {}
    for i in range(count):
        name = str(f"b{i}")
        data[name] = {}
        command = lambda: print("按鈕沒有定義觸發環境")  # noqa: E731
        if i % 2:
            data[name]["CTkImage"] = ctk.CTkImage(light_image=image_module.open(image_path),
                                                  dark_image=image_module.open(image_path), size=(20, 20))
            data[name]["CTkButton"] = ctk.CTkButton(frame, image=data[name]["CTkImage"], text="", command=command,
                                                    width=20, fg_color="#2b2b2b", corner_radius=6)
        else:
            font = ctk.CTkFont(family="Microsoft JhengHei", size=15, weight="bold")
            data[name]["CTkButton"] = ctk.CTkButton(frame, text=f"button {i}", command=command, width=20,
                                                    corner_radius=6, font=font)
        data[name]["CTkButton"].grid(row=i // 10, column=i % 10, padx=2, sticky="ne")


def kit_bar(pandrel, frame, count, image_path):
    bar = pandrel.Set_Button()
    for i in range(count):
        if i % 2:
            bar.add_button(frame, f"b{i}", image_path=image_path, row=i // 10, column=i % 10, padx=2)
        else:
            bar.add_button(frame, f"b{i}", text=f"button {i}", row=i // 10, column=i % 10, padx=2)


def once(side, bars, count):
    """Seconds of `bars` bars of `count` buttons each, shown, in this process."""
    from PIL import Image

    with common.kit_root("900x700") as (ctk, pandrel, root):
        image_path = os.path.join(tempfile.mkdtemp(), "icon.png")
        Image.new("RGB", (20, 20), "orange").save(image_path)
        frames = [ctk.CTkFrame(root) for _ in range(bars)]
        for row, frame in enumerate(frames):
            frame.grid(row=row, column=0)
        root.update()
        start = time.perf_counter()
        for frame in frames:
            if side == "kit":
                kit_bar(pandrel, frame, count, image_path)
            else:
                floor_bar(ctk, Image, frame, count, image_path)
        root.update()
        return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bars", type=int, default=8)
    parser.add_argument("--buttons", type=int, default=8, help="buttons a bar")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--once", metavar="SIDE", help=argparse.SUPPRESS)
    common.baseline_option(parser)
    args = parser.parse_args()
    with common.screen():
        if args.once:
            print(json.dumps([once(args.once, args.bars, args.buttons)]))
            return
        size = ("--bars", args.bars, "--buttons", args.buttons)
        sides = {side: (lambda side=side: common.in_child(__file__, *size, "--once", side)) for side in ("kit", "floor")}
        if args.baseline:
            sides["earlier"] = lambda: common.in_child(__file__, *size, "--once", "kit", pythonpath=args.baseline)
        runs = common.alternating(args.rounds, sides)
        failed = [r for side in runs.values() for r in side if isinstance(r, dict)]
        if failed:
            print("a round failed:", failed[0])
            return
        kit, floor = (statistics.median(r[0] for r in runs[side]) for side in ("kit", "floor"))
        print(f"{args.bars} bars of {args.buttons} buttons (half text, half image), shown: kit median {kit * 1000:.1f} ms, "
              f"same calls from Python {floor * 1000:.1f} ms, ratio {kit / floor:.3f} (target <= 1.00); "
              f"{args.rounds} rounds, each in a fresh process")
        if args.baseline:
            print(common.earlier_ratio(runs["kit"], runs["earlier"], 0))


if __name__ == "__main__":
    main()
