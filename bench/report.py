#!/usr/bin/env python3
"""Runs every Kivrel benchmark of a release build and prints one table: each figure next to its
baseline measured in the same run, the ratio, and the goal for that ratio. Nothing is asserted; a
missed goal is marked "missed" and the command still succeeds.

    python3 bench/report.py <build dir>   (tools/bench.sh builds and runs it under Xvfb)

The Google Benchmark programs write JSON (--benchmark_out); the ingest figures come from
bench/ingest.sh, the CPU time and repaints of a steady stream from bench/live.py; the start-up
figures are timed here from starting the process to the line that the program writes to standard
error when its first frame is drawn (KIVREL_REPORT_FIRST_FRAME), and for a large plot file also to
the line that tells when the file is wholly read.
"""

import json
import math
import os
import re
import select
import statistics
import subprocess
import sys
import tempfile
import time

import live

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Table:
    def __init__(self):
        self.rows = []

    def add(self, figure, value, baseline, unit, ratio, goal, met):
        self.rows.append((figure, value, baseline, unit, ratio, goal, met))

    def print(self):
        header = ("figure", "kivrel", "baseline", "unit", "ratio", "goal", "")
        cells = [header] + [
            (f, fmt(v), fmt(b), u, "%.2f" % r if r is not None else "-", g,
             "" if m is None else "met" if m else "missed")
            for f, v, b, u, r, g, m in self.rows
        ]
        widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
        for n, row in enumerate(cells):
            print("  ".join(c.ljust(w) if i in (0, 3, 5, 6) else c.rjust(w)
                            for i, (c, w) in enumerate(zip(row, widths))).rstrip())
            if n == 0:
                print("  ".join("-" * w for w in widths))


def fmt(value):
    if value is None:
        return "-"
    if value >= 1e6:
        return "%.2fM" % (value / 1e6)
    if value >= 1e4:
        return "%.0f" % value
    if value >= 100:
        return "%.1f" % value
    return "%.3g" % value


def run_benchmark(build, program, pattern, out_dir):
    """Runs one Google Benchmark program; returns {name: run} of its iteration runs."""
    out = os.path.join(out_dir, program + ".json")
    command = [os.path.join(build, "bench", program), "--benchmark_filter=" + pattern,
               "--benchmark_out=" + out, "--benchmark_out_format=json"]
    print("running", program, flush=True)
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, cwd=out_dir)
    if done.returncode != 0:
        sys.exit("%s failed:\n%s" % (program, done.stderr))
    with open(out) as f:
        runs = json.load(f)["benchmarks"]
    return {r["name"]: r for r in runs if r.get("run_type", "iteration") == "iteration"}


def process_line(table, build, out_dir):
    runs = run_benchmark(build, "kivrel_model_bench", "^(strtodBaseline|processLine)/", out_dir)
    for columns in (8, 64):
        base = runs["strtodBaseline/%d_columns" % columns]["items_per_second"]
        for axis in ("fixed_ring", "extendable_axis"):
            rate = runs["processLine/%d_columns/%s" % (columns, axis)]["items_per_second"]
            table.add("processLine values/s, %d columns, %s" % (columns, axis.replace("_", " ")),
                      rate, base, "values/s", rate / base, ">= 0.5", rate / base >= 0.5)
    # The same numbers between commas under -csv and as name:value words under -labels, next to
    # plain lines in the fixed ring: at most 1.5 times the time.
    for columns in (8, 64):
        plain = runs["processLine/%d_columns/fixed_ring" % columns]["items_per_second"]
        for mode in ("csv", "labels"):
            rate = runs["processLine/%d_columns/%s" % (columns, mode)]["items_per_second"]
            table.add("processLine values/s, %d columns, -%s (vs plain lines)" % (columns, mode),
                      rate, plain, "values/s", rate / plain, ">= 0.67", rate / plain >= 1 / 1.5)


def ingest(table, build):
    print("running bench/ingest.sh", flush=True)
    environment = dict(os.environ, KIVREL_BENCH_BUILD=build)
    output = subprocess.run(["bash", os.path.join(SOURCE, "bench", "ingest.sh"), "--inside"],
                            check=True, capture_output=True, text=True, cwd=SOURCE, env=environment).stdout
    print(output, end="")
    blocks = re.findall(r"^(\S.*?)\s+\d+ lines/s.*?peak RSS\s+(\d+) KiB.*\n"
                        r"\s+kivrel:.*?\((\d+) lines/s\).*?\(([\d.]+) frames/s\)\n"
                        r"\s+baseline:.*?\((\d+) lines/s\), peak RSS (\d+) KiB", output, re.M)
    for label, rss, rate, fps, base, base_rss in blocks:
        rate, fps, base = float(rate), float(fps), float(base)
        ratio = rate / base if base else 0.0
        table.add("ingest lines/s, " + label, rate, base, "lines/s", ratio,
                  ">= 0.25 at >= 30 fps", ratio >= 0.25 and fps >= 30)
        table.add("  frames/s during that ingest", fps, None, "frames/s", None, ">= 30", fps >= 30)
        table.add("  peak RSS", float(rss), float(base_rss), "KiB", float(rss) / float(base_rss),
                  "", None)


def draw_plot(table, build, out_dir):
    runs = run_benchmark(build, "kivrel_render_bench", "/([0-9]|1[0-5])$", out_dir)
    scenes = {5: "8 x 610", 0: "8 x 1861", 1: "64 x 1861", 2: "64 x 50000 zoom 0",
              3: "64 x 50000 zoomed out", 4: "64 x 1861 in 8 displays"}
    for scene, label in scenes.items():
        ms = runs["BM_DrawPlot/%d" % scene]["real_time"]
        naive = runs["BM_NaivePathAntialiased/%d" % scene]["real_time"]
        aliased = runs["BM_NaivePathNoAntialias/%d" % scene]["real_time"]
        table.add("drawPlot ms/frame 1920x1080, %s (vs one antialiased path)" % label, ms, naive, "ms",
                  ms / naive, "<= 1.3", ms / naive <= 1.3)
        table.add("  same vs one path without antialiasing", ms, aliased, "ms", ms / aliased, "<= 2",
                  ms / aliased <= 2)
    # Zoomed fully out, Min/Max Envelope mode next to plain decimation of the same scene.
    for plain, label in ((6, "64 x 50000 fully out"), (8, "8 x 1000000 fully out"),
                         (10, "8 x 1000000 flat fully out")):
        ms = runs["BM_DrawPlot/%d" % (plain + 1)]["real_time"]
        base = runs["BM_DrawPlot/%d" % plain]["real_time"]
        table.add("drawPlot ms/frame 1920x1080, %s, envelope (vs plain decimation)" % label, ms, base,
                  "ms", ms / base, "", None)
    # 64 graphs each in its own display: the window's start size and full screen.
    for scene, label, goal in ((12, "660x367", 16.0), (13, "1920x1080", 60.0)):
        ms = runs["BM_DrawPlot/%d" % scene]["real_time"]
        aliased = runs["BM_NaivePathNoAntialias/%d" % scene]["real_time"]
        table.add("drawPlot ms/frame %s, 64 graphs in 64 displays (vs one path without antialiasing)"
                  % label, ms, aliased, "ms", ms / aliased, "<= %g ms" % goal, ms <= goal)
    # The readout of a held left button next to the same frame without it.
    for scene, plain, label in ((14, 0, "8 x 1861"), (15, 1, "64 x 1861")):
        ms = runs["BM_DrawPlot/%d" % scene]["real_time"]
        base = runs["BM_DrawPlot/%d" % plain]["real_time"]
        table.add("drawPlot ms/frame 1920x1080, %s, readout (vs without)" % label, ms, base, "ms",
                  ms / base, "<= 1.1", ms / base <= 1.1)
    live_frames(table, runs)


def live_frames(table, runs):
    """A live frame (the lines of one frame, then the picture brought up to date from the kept
    layers) next to the same frame drawn whole, as every frame was before the layers were kept."""
    for columns, lines, label in ((8, 33, "8 x 2000"), (64, 8, "64 x 500")):
        ms = runs["BM_LiveFrame/%d/%d/0" % (columns, lines)]["real_time"]
        whole = runs["BM_LiveFrame/%d/%d/1" % (columns, lines)]["real_time"]
        table.add("live frame ms at 624x254, %s lines/s at 60 frames/s (vs drawn whole)" % label, ms, whole,
                  "ms", ms / whole, "", None)


def plt_files(table, build, out_dir):
    runs = run_benchmark(build, "kivrel_files_bench", ".", out_dir)
    for what, mine, bare in (("save", "BM_SavePlt", "BM_SaveBaselineFprintf"),
                             ("read", "BM_ReadPlt", "BM_ReadBaselineStrtod")):
        ms, base = runs[mine]["real_time"], runs[bare]["real_time"]
        table.add("PLT %s 64 x 50000 ms (vs bare %s)" % (what, "fprintf" if what == "save" else "strtod"),
                  ms, base, "ms", ms / base, "<= 1.5", ms / base <= 1.5)


def expression(table, build, out_dir):
    runs = run_benchmark(build, "kivrel_expr_bench", ".", out_dir)
    ms, native = runs["interpretedFormula"]["real_time"], runs["nativeFormula"]["real_time"]
    table.add("runExpression 1e6 points ms (vs the formula in C++)", ms, native, "ms", ms / native,
              "<= 10", ms / native <= 10)


def first_frame(command, environment, timeout=60.0, until=("first frame drawn",)):
    """Seconds from starting the command to its "first frame drawn" line on standard error, and the
    peak RSS in KiB of the process, ended right after that line. With more texts in until, the
    process is ended after the last of them, and the seconds are a list: one for each text (the
    peak RSS is still the one at the first)."""
    start = time.monotonic()
    seen = {}
    first_rss = None
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, env=environment)
    try:
        buffer = b""
        while len(seen) < len(until):
            left = timeout - (time.monotonic() - start)
            if left <= 0 or not select.select([process.stderr], [], [], left)[0]:
                raise RuntimeError("no %r from %s" % (until, " ".join(command)))
            chunk = os.read(process.stderr.fileno(), 4096)
            if not chunk:
                raise RuntimeError("%s ended before %r: %r" % (" ".join(command), until, buffer))
            buffer += chunk
            for text in until:
                if text not in seen and text.encode() in buffer:
                    seen[text] = time.monotonic() - start
            if until[0] in seen and first_rss is None and len(until) > 1:
                first_rss = peak_rss(process.pid)
    finally:
        process.terminate()
        usage = os.wait4(process.pid, 0)[2]
        process.returncode = 0  # reaped above
        process.stderr.close()
    seconds = [seen[text] for text in until]
    if len(until) == 1:
        return seconds[0], usage.ru_maxrss
    return seconds, first_rss if first_rss is not None else usage.ru_maxrss


def peak_rss(pid):
    """The peak RSS in KiB of a running process so far (VmHWM), or None."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def write_plot_file(name, graphs=64, slots=50000):
    # As kivrel saves it: the X-axis size (slots - 1) and one line per slot but the one being written.
    with open(name, "w") as f:
        f.write("#$ -xsize %d\n" % (slots - 1))
        for i in range(slots - 1):
            f.write(" ".join("%g" % round(1000 * math.sin(i * 0.001 * (g + 1)) + g * 0.25, 3)
                             for g in range(graphs)) + " \n")


def start_up(table, build, out_dir, runs=7):
    environment = dict(os.environ, KIVREL_REPORT_FIRST_FRAME="1")
    plot = os.path.join(out_dir, "startup-64x50000.plt")
    write_plot_file(plot)
    kivrel = os.path.join(build, "kivrel")
    commands = {"empty": [os.path.join(build, "bench", "kivrel_empty_window")], "none": [kivrel],
                "file": [kivrel, plot]}
    # A large file is read after the first frame; kivrel says when the last of it is in the plot.
    loaded = "start-up files read"
    print("timing start-up (%d runs each, median)" % runs, flush=True)
    times = {key: [] for key in commands}
    rss = {key: [] for key in commands}
    full = []
    for key in commands:
        first_frame(commands[key], environment)  # warms the caches; not counted
    for _ in range(runs):  # interleaved, so that a busy moment hits all three alike
        for key, command in commands.items():
            if key == "file":
                (seconds, whole), kib = first_frame(command, environment, until=("first frame drawn", loaded))
                full.append(whole)
            else:
                seconds, kib = first_frame(command, environment)
            times[key].append(seconds)
            rss[key].append(kib)
    empty = statistics.median(times["empty"]) * 1000
    empty_rss = statistics.median(rss["empty"])
    for key, label in (("none", "no input"), ("file", "64 x 50000 plot file")):
        ms = statistics.median(times[key]) * 1000
        table.add("start-up ms to first frame, %s (vs empty GTK window)" % label, ms, empty, "ms",
                  ms / empty, "<= 1.5", ms / empty <= 1.5)
        kib = statistics.median(rss[key])
        table.add("  peak RSS at that frame", kib, empty_rss, "KiB", kib / empty_rss, "", None)
    ms = statistics.median(full) * 1000
    table.add("  same file wholly read (vs empty GTK window's first frame)", ms, empty, "ms", ms / empty, "",
              None)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: report.py <build dir>")
    build = os.path.abspath(sys.argv[1])
    table = Table()
    with tempfile.TemporaryDirectory(prefix="kivrel-bench-") as out_dir:
        process_line(table, build, out_dir)
        ingest(table, build)
        live.live(table, build)
        draw_plot(table, build, out_dir)
        plt_files(table, build, out_dir)
        start_up(table, build, out_dir)
        expression(table, build, out_dir)
    print()
    table.print()


if __name__ == "__main__":
    main()
