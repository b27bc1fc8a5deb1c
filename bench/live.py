#!/usr/bin/env python3
"""Live bench: what plotting a steady stream costs. The generator kivrel_paced_feed writes lines of
numbers at a fixed rate through a pipe into "kivrel -" under Xvfb; the figures are the CPU time of
kivrel and of the X server, in % of one core, over the measured seconds, and the frames kivrel drew
per second. Next to them, the same stream into "cat > /dev/null" is the floor of reading it at all.

Scenes: 8 columns x 2000 lines/s in the default window and again with the window at 1920 x 1080,
64 columns x 500 lines/s in the default window, each streamed for 1 + 10 s of which the first second
is not measured; and idle: one line, then the pipe stays open without data.

    python3 bench/live.py            builds the release build and runs the scenes under Xvfb
    python3 bench/live.py --grab     also counts the frames on screen, as a check of frames/s

The generator starts after kivrel reports its first frame (KIVREL_REPORT_FIRST_FRAME), so start-up
is not measured. The frames come from kivrel's report at the end of its input (KIVREL_REPORT_EOF):
frames drawn from the first byte to the end, over those seconds. For idle, the frames of a run
closed 1 s after its one line are taken from those of a run closed 6 s after it.
CPU comes from utime + stime in /proc/<pid>/stat, sampled at both ends of the measured seconds.
"""

import ctypes
import hashlib
import os
import re
import select
import subprocess
import sys
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICK = 1.0 / os.sysconf("SC_CLK_TCK")
# GTK paces its repaints at 60 frames/s under X without a compositing window manager, as under Xvfb.
DISPLAY_RATE = 60
STREAM_SECONDS = 10
SKIPPED_SECONDS = 1
IDLE_SECONDS = 5


def cpu_seconds(pid):
    """utime + stime of a process (all its threads) in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * TICK  # fields 14 and 15 of stat(5)


def wake_ups(pid):
    """Context switches of a process's main thread, where GTK's main loop runs: each wake-up is one."""
    with open("/proc/%d/status" % pid) as f:
        return sum(int(line.split()[1]) for line in f if "ctxt_switches:" in line)


def x_server_pid():
    """The Xvfb serving DISPLAY."""
    display = os.environ["DISPLAY"].split(".")[0]
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                arguments = f.read().decode(errors="replace").split("\0")
        except OSError:
            continue
        if arguments and os.path.basename(arguments[0]) == "Xvfb" and display in arguments:
            return int(entry)
    sys.exit("no Xvfb process for DISPLAY=%s" % display)


def window_size(window):
    geometry = subprocess.run(["xdotool", "getwindowgeometry", window], check=True, capture_output=True,
                              text=True).stdout
    return tuple(map(int, re.search(r"Geometry: (\d+)x(\d+)", geometry).groups()))


class Kivrel:
    """kivrel reading standard input from a file descriptor, its standard error read line by line."""

    def __init__(self, build, stdin):
        environment = dict(os.environ, KIVREL_REPORT_FIRST_FRAME="1", KIVREL_REPORT_EOF="1", KIVREL_NO_SETTINGS="1")
        self.process = subprocess.Popen([os.path.join(build, "kivrel"), "-"], stdin=stdin,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=environment)
        self.buffer = b""

    def wait_for(self, text, timeout=60.0):
        """The first line of standard error containing text."""
        end = time.monotonic() + timeout
        while True:
            lines = self.buffer.split(b"\n")
            for n, line in enumerate(lines[:-1]):
                if text.encode() in line:
                    self.buffer = b"\n".join(lines[n + 1:])
                    return line.decode()
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.process.stderr], [], [], left)[0]:
                raise RuntimeError("kivrel wrote no %r: %r" % (text, self.buffer))
            chunk = os.read(self.process.stderr.fileno(), 4096)
            if not chunk:
                raise RuntimeError("kivrel ended before %r: %r" % (text, self.buffer))
            self.buffer += chunk

    def window(self):
        """The main window: the largest visible window of the process."""
        search = ["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(self.process.pid)]
        windows = subprocess.run(search, check=True, capture_output=True, text=True).stdout.split()
        return max(windows, key=lambda window: window_size(window)[0] * window_size(window)[1])

    def resize(self, width, height):
        """Sets the window's size (Xvfb has no window manager to maximise it) and waits for it."""
        window = self.window()
        subprocess.run(["xdotool", "windowsize", window, str(width), str(height)], check=True)
        for _ in range(100):
            if window_size(window) == (width, height):
                time.sleep(0.5)  # the repaints at the new size
                return
            time.sleep(0.05)
        raise RuntimeError("the window is %r, not %dx%d" % (window_size(window), width, height))

    def end(self):
        self.process.terminate()
        self.process.wait()
        self.process.stderr.close()


def end_of_input(report):
    """(lines, seconds, frames) from kivrel's end-of-input line."""
    found = re.search(r"(\d+) lines in ([\d.]+) s .*?, (\d+) frames", report)
    if not found:
        raise RuntimeError("unexpected end-of-input report: " + report)
    return int(found.group(1)), float(found.group(2)), int(found.group(3))


def feed(build, columns, rate, seconds, stdout):
    return subprocess.Popen([os.path.join(build, "bench", "kivrel_paced_feed"), str(columns), str(rate),
                             str(seconds)], stdout=stdout, stderr=subprocess.PIPE, text=True)


def measure(pids, begin, end):
    """CPU % of one core of each process between two monotonic times, and the wake-ups per second
    of the first process."""
    time.sleep(max(0.0, begin - time.monotonic()))
    before, woken, t0 = [cpu_seconds(pid) for pid in pids], wake_ups(pids[0]), time.monotonic()
    time.sleep(max(0.0, end - time.monotonic()))
    after, woken, t1 = [cpu_seconds(pid) for pid in pids], wake_ups(pids[0]) - woken, time.monotonic()
    return [100.0 * (b - a) / (t1 - t0) for a, b in zip(before, after)], woken / (t1 - t0)


def measure_stream(pids, start):
    """CPU % over the measured seconds of a stream that began at start."""
    return measure(pids, start + SKIPPED_SECONDS, start + SKIPPED_SECONDS + STREAM_SECONDS)[0]


def floor(build, columns, rate):
    """CPU % of cat > /dev/null reading the same stream."""
    read, write = os.pipe()
    cat = subprocess.Popen(["cat"], stdin=read, stdout=subprocess.DEVNULL)
    generator = feed(build, columns, rate, SKIPPED_SECONDS + STREAM_SECONDS, write)
    os.close(read)
    os.close(write)
    (percent,) = measure_stream([cat.pid], time.monotonic())
    generator.communicate()
    cat.wait()
    return percent


def stream(build, columns, rate, size=None, grab=False):
    """(kivrel CPU %, X server CPU %, frames/s, lines/s, generator's report) for one stream."""
    read, write = os.pipe()
    kivrel = Kivrel(build, read)
    os.close(read)
    try:
        kivrel.wait_for("first frame drawn")
        if size:
            kivrel.resize(*size)
        generator = feed(build, columns, rate, SKIPPED_SECONDS + STREAM_SECONDS, write)
        os.close(write)
        write = None
        start = time.monotonic()
        if grab:
            time.sleep(SKIPPED_SECONDS + 2)  # grabbing takes X server time: measure CPU after it
            grabbed = frames_on_screen(kivrel.window())
        cpu = measure_stream([kivrel.process.pid, x_server_pid()], start)
        fed = generator.communicate()[1].strip()
        lines, seconds, frames = end_of_input(kivrel.wait_for("end of input:"))
    finally:
        if write is not None:
            os.close(write)
        kivrel.end()
    result = (cpu[0], cpu[1], frames / seconds, lines / seconds, fed)
    return result + (grabbed,) if grab else result


def idle(build):
    """(kivrel CPU %, X server CPU %, frames/s, kivrel's wake-ups/s) with the input open and no data
    after one line."""
    frames = []
    for silence in (SKIPPED_SECONDS, SKIPPED_SECONDS + IDLE_SECONDS):
        read, write = os.pipe()
        kivrel = Kivrel(build, read)
        os.close(read)
        try:
            kivrel.wait_for("first frame drawn")
            os.write(write, b"1 2 3 4 5 6 7 8\n")  # the frames are counted from the first byte on
            start = time.monotonic()
            if silence > SKIPPED_SECONDS:
                cpu, woken = measure([kivrel.process.pid, x_server_pid()], start + SKIPPED_SECONDS,
                                     start + silence)
            else:
                time.sleep(silence)
            os.close(write)
            write = None
            frames.append(end_of_input(kivrel.wait_for("end of input:"))[2])
        finally:
            if write is not None:
                os.close(write)
            kivrel.end()
    return cpu[0], cpu[1], (frames[1] - frames[0]) / IDLE_SECONDS, woken


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


def frames_on_screen(window, seconds=1.0):
    """Distinct pictures in a row of grabs of the window taken every 10 ms for one second: the
    frames that reached the screen, as every frame stays there for 16 ms at 60 frames/s. A grab
    is one pixel row in every 8, full width (whole pictures of a large window take longer to fetch
    than a frame lasts); the graphs cross these rows wherever they change."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    for call in (x11.XGrabServer, x11.XUngrabServer, x11.XFlush):
        call.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    width, height = window_size(window)
    z_pixmap, all_planes = 2, (1 << 64) - 1
    changes, grabs, last = 0, 0, None
    start = time.monotonic()
    while time.monotonic() < start + seconds:
        time.sleep(max(0.0, start + grabs * 0.01 - time.monotonic()))  # the server is free in between
        picture = hashlib.md5()
        x11.XGrabServer(display)  # no frame lands between the rows of one grab
        for y in range(0, height, 8):
            image = x11.XGetImage(display, int(window), 0, y, width, 1, all_planes, z_pixmap)
            picture.update(ctypes.string_at(image.contents.data, image.contents.bytes_per_line))
            x11.XDestroyImage(image)
        x11.XUngrabServer(display)
        x11.XFlush(display)
        grabs += 1
        if last is not None and picture.digest() != last:
            changes += 1
        last = picture.digest()
    x11.XCloseDisplay(display)
    return changes / seconds, grabs / seconds


def live(table, build, grab=False):
    """Runs every scene and adds its rows to the table."""
    print("running the live scenes (%d s streams)" % STREAM_SECONDS, flush=True)
    scenes = (("8 x 2000 lines/s, default window", 8, 2000, None, 8),
              ("8 x 2000 lines/s, 1920x1080 window", 8, 2000, (1920, 1080), 20),
              ("64 x 500 lines/s, default window", 64, 500, None, 15))
    for label, columns, rate, size, goal in scenes:
        result = stream(build, columns, rate, size, grab)
        mine, server, fps, lines = result[:4]
        base = floor(build, columns, rate)
        print("    %s: kivrel %.1f %%, X server %.1f %%, %.1f frames/s, %.0f lines/s; generator: %s; "
              "cat %.1f %%" % (label, mine, server, fps, lines, result[4], base), flush=True)
        both = mine + server
        table.add("live %s: CPU %% of a core, kivrel + X server (vs cat)" % label, both, base, "%",
                  both / base if base > 0 else None, "<= %d" % goal, both <= goal)
        table.add("  kivrel alone", mine, None, "%", None, "", None)
        table.add("  X server alone", server, None, "%", None, "", None)
        least = DISPLAY_RATE * 0.95
        table.add("  repaints during that stream", fps, None, "frames/s", None, ">= %d" % least, fps >= least)
        if grab:
            changes, grabs = result[5]
            table.add("  pictures on screen, 1 s of grabs (%.0f grabs/s)" % grabs, changes, None, "frames/s",
                      None, "", None)
    mine, server, fps, woken = idle(build)
    print("    idle: kivrel %.1f %%, X server %.1f %%, %.1f frames/s, %.1f wake-ups/s"
          % (mine, server, fps, woken), flush=True)
    # One clock tick in the measured seconds is the least /proc can show; a process that wakes now
    # and then for a moment may be charged one.
    tick = 100.0 * TICK / IDLE_SECONDS
    table.add("live idle, input open: CPU % of a core, kivrel + X server", mine + server, None, "%", None,
              "<= %.1f (1 tick)" % tick, mine + server <= tick * 1.05)
    table.add("  repaints while idle", fps, None, "frames/s", None, "0", fps == 0)
    table.add("  kivrel's wake-ups while idle", woken, None, "1/s", None, "", None)


def main():
    grab = "--grab" in sys.argv[1:]
    build = os.path.abspath(os.environ.get("KIVREL_BENCH_BUILD", os.path.join(SOURCE, "build-bench")))
    if "--inside" not in sys.argv[1:]:
        subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DKIVREL_SANITIZE=OFF", "-DKIVREL_TESTS=OFF", "-DKIVREL_BENCH=ON"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "kivrel", "kivrel_paced_feed"], check=True,
                       stdout=subprocess.DEVNULL)
        environment = dict(os.environ, KIVREL_BENCH_BUILD=build, GSETTINGS_BACKEND="memory", NO_AT_BRIDGE="1")
        os.execvpe("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1920x1200x24", sys.executable,
                                os.path.abspath(__file__), "--inside"] + sys.argv[1:], environment)
    from report import Table
    table = Table()
    live(table, build, grab)
    print()
    table.print()


if __name__ == "__main__":
    main()
