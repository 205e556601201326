"""Draw_Map: how long draw_gpx takes to put a file on the map, and how long the
Tk event loop stalls meanwhile, for two files: 200 segments of 1,000 points and
one segment of 200,000 points. The stalls are split at gpxpy.parse, which holds
the GIL for long stretches; the longest set_path is the map's own projection of one
path on the Tk thread.

Each measurement runs in a fresh process, so an earlier build of the kit can be
measured beside this one, the sides alternating: --baseline DIR names a folder
it is installed in (pip install --no-deps --target DIR <its wheel>). Prints
figures; asserts nothing.

    python bench/bench_map.py [--rounds R] [--baseline DIR]
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # common.py, also under python -P
import common  # noqa: E402

FILES = {"200 segments x 1,000 points": (200, 1_000), "1 segment x 200,000 points": (1, 200_000)}


def write_track(path, segments, per):
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0"?><gpx version="1.1" creator="bench" '
                'xmlns="http://www.topografix.com/GPX/1/1"><trk>')
        for s in range(segments):
            f.write("<trkseg>")
            for k in range(per):
                i = s * per + k
                f.write(f'<trkpt lat="{45 + i * 1e-6:.7f}" lon="{14 + (i % 997) * 1e-5:.6f}"/>')
            f.write("</trkseg>")
        f.write("</trk></gpx>")


def measure(data_path, segments):
    """One draw_gpx in this process: seconds to the last path, of gpxpy.parse,
    of the longest event-loop gaps outside and during the parse, and of the
    longest set_path."""
    with common.screen(), common.kit_root() as (_, pandrel, root):
        m = pandrel.Draw_Map(root)
        m.map_widget.tile_server = "http://127.0.0.1:9/{z}/{x}/{y}.png"  # offline: tiles fail at once
        parse_window, set_paths = [], []
        gpxpy, set_path = m.gpxpy, m.map_widget.set_path

        class TimedParse:  # the kit looks up self.gpxpy.parse and self.map_widget.set_path at each call
            def parse(self, file):
                began = time.perf_counter()
                try:
                    return gpxpy.parse(file)
                finally:
                    parse_window.extend((began, time.perf_counter()))

        def timed_set_path(*args, **kwargs):
            began = time.perf_counter()
            try:
                return set_path(*args, **kwargs)
            finally:
                set_paths.append(time.perf_counter() - began)

        m.gpxpy, m.map_widget.set_path = TimedParse(), timed_set_path
        beats = []

        def beat():
            beats.append(time.perf_counter())
            if len(m.map_widget.canvas_path_list) == segments and not m.lock_draw_line.locked():
                root.quit()
            else:
                root.after(1, beat)

        began = time.perf_counter()
        m.draw_gpx(data_path)
        beats.append(time.perf_counter())
        root.after(1, beat)
        root.mainloop()
        # Each gap split into its part within the parse and its part outside
        # (a gap may straddle the parse's end).
        outside, during = [0.0], [0.0]
        for a, b in zip(beats, beats[1:]):
            within = max(0.0, min(b, parse_window[1]) - max(a, parse_window[0]))
            during.append(within)
            outside.append(b - a - within)
        m.map_widget.running = False
        total, parse = beats[-1] - began, parse_window[1] - parse_window[0]
        return {"total": total, "parse": parse, "rest": total - parse, "outside": max(outside),
                "during": max(during), "set_path": max(set_paths)}


def ms(seconds):
    return f"{seconds * 1000:7.1f} ms"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=5)
    common.baseline_option(parser)
    parser.add_argument("--measure", nargs=2, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.measure:
        import json

        print(json.dumps(measure(args.measure[0], int(args.measure[1]))))
        return
    folder = tempfile.mkdtemp()
    print(f"CPython {sys.version.split()[0]}; {args.rounds} rounds, each measurement in a fresh process"
          + (", sides alternating" if args.baseline else ""))
    for title, (segments, per) in FILES.items():
        path = os.path.join(folder, "track.gpx")
        write_track(path, segments, per)
        sides = common.builds(args.baseline, __file__, "--measure", path, segments)
        results = common.alternating(args.rounds, sides)
        print(f"{title} ({os.path.getsize(path) / 1e6:.1f} MB):")
        medians = {}
        for name, runs in results.items():
            failed = [r["failed"] for r in runs if "failed" in r]
            runs = [r for r in runs if "failed" not in r]
            if not runs:
                print(f"  {name:13s}: every run failed ({', '.join(sorted(set(failed)))})")
                continue
            med = {key: statistics.median(r[key] for r in runs) for key in runs[0]}
            medians[name] = med["total"], med["rest"]
            print(f"  {name:13s}: draw_gpx to the last path {ms(med['total'])} (best {ms(min(r['total'] for r in runs))}),"
                  f" gpxpy.parse {ms(med['parse'])}, the rest {ms(med['rest'])};"
                  f" longest Tk-loop gap outside the parse {ms(med['outside'])}"
                  f" (target <= 50 ms), during it {ms(med['during'])}; longest set_path {ms(med['set_path'])}"
                  + (f"; {len(failed)} of {args.rounds} runs failed ({', '.join(sorted(set(failed)))})" if failed else ""))
        if len(medians) == 2:
            (this, rest), (earlier, earlier_rest) = medians["this build"], medians["earlier build"]
            print(f"  this build / earlier build, draw_gpx to the last path: {this / earlier:.3f}, without the parse"
                  f" {rest / earlier_rest:.3f} (target: not slower)")
        os.remove(path)
    os.rmdir(folder)


if __name__ == "__main__":
    main()
