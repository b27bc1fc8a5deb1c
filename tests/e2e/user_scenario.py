#!/usr/bin/env python3
"""A user's session with the real kivrel program, driven only through what a person uses: keyboard
accelerators, the file choosers (a typed path), the Eval Expression and configuration dialogs and
mouse clicks on the plot, sent with xdotool to a running X server (Xvfb in the test run).

    user_scenario.py --kivrel BIN --stream BIN --work DIR

The session plots the demo stream (option lines first) read from standard input, pauses and
resumes it, adds a reference line with Ctrl+click, saves, opens the saved file, merges a WXV file,
evaluates sin(x) over 0..2*pi, exports PDF and SVG, changes a display's weight in the configuration
dialog, saves again as PLT and WXV and quits. Every file written is then parsed and compared with
what the session did. Waits poll for windows, files and counts with bounded timeouts.

On failure a screenshot of the screen and kivrel's standard error are kept in DIR.
Exit status: 0 passed, 1 failed, 77 skipped (no display or no xdotool).
"""

import argparse
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ElementTree

TIMEOUT = 30.0  # seconds for any single wait; the whole session takes about half a minute
WINDOW_WIDTH, WINDOW_HEIGHT = 900, 700
# Ctrl+click here puts a reference line in the lower display, the step's, whose Y range the stream
# fixes at -1.5..1.5: the point lies in that display's lower half, so the value is below zero.
CLICK_X, CLICK_Y = 450, 580
WXV_FRAMES = 100


class Failed(Exception):
    pass


def log(text):
    print("%8.3f  %s" % (time.monotonic() - STARTED, text), flush=True)


STARTED = time.monotonic()


def selection_reader():
    """A hidden Tk root that reads X selections, or None without Tk or a display."""
    try:
        import tkinter
        root = tkinter.Tk()
        root.withdraw()
        return root
    except Exception:
        return None


SELECTION = None  # set in main once the display is known


def wait_for(what, condition, timeout=TIMEOUT, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failed("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def xdotool(*arguments):
    done = subprocess.run(["xdotool"] + [str(a) for a in arguments], capture_output=True, text=True,
                          timeout=TIMEOUT)
    return done.stdout.strip() if done.returncode == 0 else None


class Relay:
    """Copies the demo stream into kivrel's standard input and counts the lines handed over."""

    def __init__(self, source, sink):
        self.source, self.sink = source, sink
        self.lines = 0
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        try:
            for line in self.source:
                self.sink.write(line)
                self.sink.flush()
                self.lines += 1
        except (BrokenPipeError, ValueError, OSError):
            pass  # kivrel closed its input (Open File) or ended

    def wait_lines(self, more):
        target = self.lines + more
        wait_for("%d more stream lines" % more, lambda: self.lines >= target)


class Kivrel:
    def __init__(self, args, work):
        # A desktop of its own: an empty recent-files list, and file choosers that open in the
        # working folder instead of the recent files, so that the session runs the same every time
        # and leaves the user's lists alone.
        settings = os.path.join(work, "config", "glib-2.0", "settings")
        os.makedirs(settings)
        with open(os.path.join(settings, "keyfile"), "w") as f:
            f.write("[org/gtk/settings/file-chooser]\nstartup-mode='cwd'\n")
        environment = dict(os.environ, KIVREL_REPORT_FIRST_FRAME="1", KIVREL_NO_SETTINGS="1", GSETTINGS_BACKEND="keyfile",
                           XDG_CONFIG_HOME=os.path.join(work, "config"),
                           XDG_DATA_HOME=os.path.join(work, "data"))
        self.stream = subprocess.Popen([args.stream], stdout=subprocess.PIPE)
        self.process = subprocess.Popen([args.kivrel, "-"], stdin=subprocess.PIPE, stderr=subprocess.PIPE,
                                        env=environment, cwd=work)
        self.relay = Relay(self.stream.stdout, self.process.stdin)
        self.errors = []
        threading.Thread(target=self.read_errors, daemon=True).start()
        self.window = None

    def read_errors(self):
        for line in self.process.stderr:
            self.errors.append(line.decode(errors="replace").rstrip("\n"))

    def windows(self, name):
        found = xdotool("search", "--all", "--onlyvisible", "--pid", self.process.pid, "--name", name)
        return found.split() if found else []

    def wait_window(self, name):
        return wait_for("a window named %r" % name, lambda: (self.windows(name) or [None])[0])

    def focus(self, window):
        if xdotool("windowfocus", "--sync", window) is None:
            raise Failed("cannot focus window %s" % window)

    def keys(self, *keys):
        for key in keys:
            xdotool("key", "--clearmodifiers", key)

    def accelerator(self, key):
        """The key on the main window, as a person presses it with the window in front."""
        self.focus(self.window)
        self.keys(key)

    def dialog(self, key, title):
        """Opens a dialog with an accelerator and gives it the keyboard."""
        self.accelerator(key)
        dialog = self.wait_window("^%s$" % re.escape(title))
        self.focus(dialog)
        return dialog

    def wait_closed(self, window):
        wait_for("window %s to close" % window, lambda: window not in self.windows(""))

    def wait_window_sync(self, title):
        """The chooser or dialog named exactly title, waited for by the X server search itself."""
        found = xdotool("search", "--sync", "--all", "--onlyvisible", "--pid", self.process.pid,
                        "--name", "^%s$" % re.escape(title))
        if not found:
            raise Failed("no window named %r appeared" % title)
        return found.split()[0]

    def settle(self, quiet=0.5, timeout=5.0):
        """Waits until kivrel's set of shown windows has stayed the same for quiet seconds: a
        chooser that is still loading its folder, or an entry's completion pop-up that is still
        coming or going, changes it."""
        deadline = time.monotonic() + timeout
        shown, since = None, time.monotonic()
        while time.monotonic() < deadline:
            now = self.windows("")
            if now != shown:
                shown, since = now, time.monotonic()
            elif time.monotonic() - since >= quiet:
                return
            time.sleep(0.05)

    def field_text(self):
        """What the chooser's focused text field holds: all of it is selected, which makes it the X
        primary selection, and read back. None where Python has no Tk to read selections with."""
        if SELECTION is None:
            return None
        self.keys("ctrl+a")
        time.sleep(0.2)
        try:
            return SELECTION.selection_get(selection="PRIMARY")
        except Exception:  # no owner yet: an empty field selects nothing
            return ""

    def choose_file(self, key, title, path, save):
        """Answers a file chooser by typing the full path: into the name field of a save chooser,
        into the location field (Ctrl+L) of an open chooser. The chooser must have settled first: a
        save chooser that starts on a file selects that file in its list once the folder is read,
        and writes the file's name over whatever was typed before. The field is read back before
        Return, and typed again when it holds something else."""
        self.accelerator(key)
        dialog = self.wait_window_sync(title)
        for attempt in range(3):
            self.focus(dialog)
            self.settle()
            self.focus(dialog)
            self.keys("ctrl+a" if save else "ctrl+l")
            if not save:
                self.keys("ctrl+a")
            xdotool("type", "--delay", 20, path)
            self.settle()
            held = self.field_text()
            if held is None or held == path:
                break
            log("the %s field holds %r instead of the path; typing it again" % (title, held))
        else:
            raise Failed("the %s chooser did not take the path %s" % (title, path))
        self.keys("Return")
        # The location field's completion pop-up may take the first Return, as it does for a
        # person, who then presses Return once more.
        try:
            wait_for("window %s to close" % dialog, lambda: dialog not in self.windows(""), timeout=5)
        except Failed:
            log("the %s chooser is still open; Return once more" % title)
            self.focus(dialog)
            self.settle()
            self.keys("Return")
            self.wait_closed(dialog)

    def save(self, path):
        self.choose_file("ctrl+s", "Save Plot", path, save=True)
        return wait_for("a complete plot in " + path, lambda: read_plot(path))

    def quit(self):
        self.accelerator("ctrl+q")
        try:
            return self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failed("kivrel did not end after Ctrl+Q")

    def stop(self):
        for process in (self.process, self.stream):
            if process.poll() is None:
                process.kill()
            process.wait()


def read_plot(path):
    """A saved PLT file as (option lines, columns), or None while it is missing or incomplete."""
    try:
        with open(path) as f:
            lines = f.read().split("\n")
    except OSError:
        return None
    if not lines or lines[-1] != "":
        return None
    options = [line for line in lines[:-1] if line.startswith("#")]
    rows = [line.split() for line in lines[:-1] if not line.startswith("#")]
    size = re.search(r"-xsize (\d+)", "\n".join(options))
    if not size or len(rows) != int(size.group(1)) or not rows:
        return None
    columns = [[float(row[c]) for row in rows] for c in range(len(rows[0]))]
    return options, columns


def option_line(options, prefix):
    for line in options:
        if line.startswith(prefix):
            return line
    raise Failed("no option line %r in %s" % (prefix, options))


def titles(options):
    return re.findall(r'^#~ -t "([^"]*)"', "\n".join(options), re.M)


def reference_lines(options, display):
    line = option_line(options, "#~ -dpy %d " % display)
    return [float(v) for v in re.findall(r"-l (\S+)", line)]


def check(condition, text):
    if not condition:
        raise Failed(text)
    log("ok: " + text)


def write_wxv(path):
    # Two channels at 1000 samples/s: a rising and a falling ramp.
    with open(path, "w") as f:
        f.write("# RIFF %d WAVE fmt 6 1 2 1000 4000 4 16 data %d\n" % (2 * WXV_FRAMES + 11, 2 * WXV_FRAMES))
        for i in range(WXV_FRAMES):
            f.write("%d %d \n" % (10 * i, -10 * i))


def check_pdf(path, expected_texts):
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True, check=True).stdout
    size = re.search(r"Page size:\s+([\d.]+) x ([\d.]+) pts", info)
    check(re.search(r"Pages:\s+1\b", info) and size, "the PDF has one page with a size")
    text = subprocess.run(["pdftotext", path, "-"], capture_output=True, text=True, check=True).stdout
    for expected in expected_texts:
        check(expected in text, "the PDF shows %r" % expected)
    return float(size.group(1)), float(size.group(2))


def check_svg(path, page_size, graphs):
    root = ElementTree.parse(path).getroot()
    check(root.tag == "{http://www.w3.org/2000/svg}svg", "the SVG file is an SVG document")
    width, height = (float(root.get(a).rstrip("pt")) for a in ("width", "height"))
    check((width, height) == page_size, "the SVG has the size of the PDF page (%g x %g)" % page_size)
    stroked = [p for p in root.iter("{http://www.w3.org/2000/svg}path")
               if "stroke:rgb" in (p.get("style") or "")]
    check(len(stroked) >= graphs, "the SVG strokes at least one path per graph (%d)" % len(stroked))


def scenario(kivrel, work):
    log("start: demo stream | kivrel -")
    wait_for("the first frame", lambda: any("first frame drawn" in e for e in kivrel.errors))
    kivrel.window = kivrel.wait_window("^Kivrel")
    kivrel.relay.wait_lines(100)
    xdotool("windowsize", kivrel.window, WINDOW_WIDTH, WINDOW_HEIGHT)
    wait_for("the window size", lambda: "Geometry: %dx%d" % (WINDOW_WIDTH, WINDOW_HEIGHT)
             in (xdotool("getwindowgeometry", kivrel.window) or ""))
    # The X server has the new size at once; the plot takes it only when kivrel has laid the window
    # out and drawn it again, and a click before that lands outside the plot.
    wait_for("the plot drawn at the new size", lambda: white_near(kivrel.window, CLICK_X, CLICK_Y))

    log("pause (Ctrl+P), reference line (Ctrl+click), save")
    kivrel.accelerator("ctrl+p")
    xdotool("mousemove", "--window", kivrel.window, "--sync", CLICK_X, CLICK_Y)
    xdotool("keydown", "ctrl", "click", 1, "keyup", "ctrl")
    paused_options, paused = kivrel.save(os.path.join(work, "paused.plt"))
    check(option_line(paused_options, "#>") == "#> Kivrel demo :: sine, noise and a step",
          "the saved plot keeps the stream's title")
    check(titles(paused_options) == ["sine", "noisy sine", "step"], "the stream's three graphs are saved")
    check(set(paused[2]) <= {-1.0, 0.0, 1.0} and any(paused[2]), "the step graph holds the stream's steps")
    check(reference_lines(paused_options, 0) == [0.5, -0.5], "display 0 keeps the stream's reference lines")
    added = reference_lines(paused_options, 1)
    check(len(added) == 1 and -1.5 < added[0] < -0.2,
          "Ctrl+click added one reference line below zero to the step's display: %s" % added)

    check(all(len(column) == 609 for column in paused),
          "every slot of the start ring is saved, those no line has reached yet as 0")

    log("still paused: stream lines arrive but the plot does not change; a readout held and kept")
    kivrel.relay.wait_lines(60)
    xdotool("mousemove", "--window", kivrel.window, "--sync", CLICK_X, CLICK_Y)
    xdotool("mousedown", 1)
    xdotool("mousemove", "--window", kivrel.window, "--sync", CLICK_X - 40, CLICK_Y)
    kivrel.settle()
    xdotool("keydown", "shift", "mouseup", 1)
    xdotool("mousemove", "--window", kivrel.window, "--sync", CLICK_X - 120, CLICK_Y)
    xdotool("mousedown", 1)
    kivrel.settle()
    xdotool("keyup", "shift", "mouseup", 1)
    kivrel.settle()
    _, still_paused = kivrel.save(os.path.join(work, "still-paused.plt"))
    check(still_paused == paused, "while paused the samples stay as they were, readout or not")

    log("resume (Ctrl+P)")
    kivrel.accelerator("ctrl+p")
    kivrel.relay.wait_lines(60)
    resumed_options, resumed = kivrel.save(os.path.join(work, "resumed.plt"))
    check(resumed != paused, "after resuming the plot takes in the stream again")

    log("open the saved file (Ctrl+O)")
    resumed_path = os.path.join(work, "resumed.plt")
    kivrel.choose_file("ctrl+o", "Open File", resumed_path, save=False)
    kivrel.wait_window(re.escape(resumed_path))

    log("merge a WXV file (Ctrl+M)")
    wxv = os.path.join(work, "merge.wxv")
    write_wxv(wxv)
    kivrel.choose_file("ctrl+m", "Merge File", wxv, save=False)

    log("evaluate sin(x) over 0..2*pi (Ctrl+E)")
    dialog = kivrel.dialog("ctrl+e", "Input Dialog")
    xdotool("type", "--delay", 10, "sin(x)")
    kivrel.keys("Tab")
    xdotool("type", "0")
    kivrel.keys("Tab")
    xdotool("type", "--delay", 10, "2*pi")
    kivrel.keys("Return")
    kivrel.wait_closed(dialog)

    log("export PDF and SVG (Ctrl+X)")
    pdf, svg = os.path.join(work, "plot.pdf"), os.path.join(work, "plot.svg")
    for path in (pdf, svg):
        kivrel.choose_file("ctrl+x", "Export to PDF/SVG", path, save=True)
        wait_for("the export " + path, lambda: os.path.exists(path) and os.path.getsize(path) > 0)

    log("configuration dialog (Ctrl+C): display 0 weight 2 -> 3, OK")
    dialog = kivrel.dialog("ctrl+c", "Configure")
    # The keyboard starts in X-Axis Size; ten fields on is display 0's Weight (its Y-Min and
    # Y-Max are skipped: they are off while its range is automatic).
    kivrel.keys(*["Tab"] * 10)
    kivrel.keys("ctrl+a")
    xdotool("type", "3")
    # Back to the first field, then on backwards past Save, Load, Cancel and Apply to OK.
    kivrel.keys(*["shift+Tab"] * 15)
    kivrel.keys("space")
    kivrel.wait_closed(dialog)

    log("save again as PLT and WXV (Ctrl+S)")
    final_options, final = kivrel.save(os.path.join(work, "final.plt"))
    final_wxv = os.path.join(work, "final.wxv")
    kivrel.choose_file("ctrl+s", "Save Plot", final_wxv, save=True)
    wxv_header, wxv_rows = wait_for("a complete " + final_wxv, lambda: read_wxv(final_wxv))

    log("quit (Ctrl+Q)")
    status = kivrel.quit()
    check(status == 0, "kivrel ended with status 0 after Ctrl+Q (status %s)" % status)

    log("checking the files")
    check(option_line(final_options, "#>").startswith("#> Kivrel demo :: sine, noise and a step"),
          "the final plot keeps the opened file's title")
    check(re.match(r"#~ -dpy 0 -w 3\b", option_line(final_options, "#~ -dpy 0 ")),
          "the configuration dialog's weight 3 reached display 0")
    check(reference_lines(final_options, 1) == added, "the Ctrl+click reference line survived save and open")
    names = titles(final_options)
    check(names[:3] == ["sine", "noisy sine", "step"] and names[-1] == "sin(x)" and len(names) == 6
          and all(n.startswith("merge") for n in names[3:5]),
          "graphs: the opened three, the two merged WXV channels, sin(x): %s" % names)
    check(final[:3] == resumed, "the opened file's samples are unchanged")
    check(final[3][:WXV_FRAMES] == [10.0 * i for i in range(WXV_FRAMES)] and
          final[4][:WXV_FRAMES] == [-10.0 * i for i in range(WXV_FRAMES)],
          "the merged WXV channels hold the file's ramps")
    count = len(final[5])
    expected = [math.sin(2 * math.pi * i / (count - 1)) for i in range(count)]
    check(max(abs(a - b) for a, b in zip(final[5], expected)) < 1e-5,
          "sin(x) holds %d points from 0 to 2*pi, both ends included" % count)
    display = re.search(r'^#~ -t "sin\(x\)" -d (\d+)', "\n".join(final_options), re.M)
    scale = option_line(final_options, "#~ -dpy %s " % (display.group(1) if display else "?"))
    check(re.search(r"-xsz %d -xmin 0 -xmax 6\.28319" % count, scale),
          "the X scale of sin(x)'s display runs over its %d points from 0 to 2*pi" % count)
    check(wxv_header[:10] == ["#", "RIFF", str(6 * count + 11), "WAVE", "fmt", "6", "1", "6", "1000", "12000"],
          "the WXV header: 6 channels at 1000 samples/s: %s" % " ".join(wxv_header))
    # The PLT values carry six digits, so a sample just below a whole number may show as that number.
    check(len(wxv_rows) == count and all(
        len(row) == 6 and all(abs(int(v) - final[c][r]) < 1.000001 for c, v in enumerate(row))
        for r, row in enumerate(wxv_rows)),
        "the WXV body holds the plot's samples cut to whole numbers")
    check([int(row[3]) for row in wxv_rows[:WXV_FRAMES]] == [10 * i for i in range(WXV_FRAMES)],
          "the WXV body keeps the merged ramp exactly")

    # The reference line's value is written at its right end.
    page = check_pdf(pdf, ["Kivrel demo :: sine, noise and a step", "noisy sine", "step", "merge_0",
                           "merge_1", "sin(x)", "%.2f" % added[0]])
    check_svg(svg, page, 6)


def read_wxv(path):
    try:
        with open(path) as f:
            lines = f.read().split("\n")
    except OSError:
        return None
    if len(lines) < 2 or lines[-1] != "":
        return None
    header = lines[0].split()
    rows = [line.split() for line in lines[1:-1]]
    if len(header) != 14 or len(rows) * 6 != int(header[13]):
        return None
    return header, rows


def white_near(window, x, y, reach=4):
    """True when the window shows a white pixel (the plot's background) within reach of (x, y).
    The pixels come from xwd: a header of 25 big-endian 32-bit fields, the window name, the colour
    map, then rows of 32-bit pixels whose byte order the header gives."""
    try:
        data = subprocess.run(["xwd", "-id", str(window), "-silent"], capture_output=True,
                              timeout=TIMEOUT).stdout
    except (OSError, subprocess.SubprocessError):
        return False
    if len(data) < 100:
        return False
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height, byte_order = fields[0], fields[4], fields[5], fields[7]
    bits_per_pixel, bytes_per_line, colours = fields[11], fields[12], fields[19]
    if bits_per_pixel != 32 or x + reach >= width or y + reach >= height:
        return False
    start = header_size + 12 * colours
    for row in range(y - reach, y + reach + 1):
        for column in range(x - reach, x + reach + 1):
            offset = start + row * bytes_per_line + 4 * column
            pixel = data[offset:offset + 4]
            if len(pixel) == 4 and (pixel[:3] if byte_order == 0 else pixel[1:]) == b"\xff\xff\xff":
                return True
    return False


def screenshot(work):
    name = os.path.join(work, "failure.xwd")
    if shutil.which("xwd"):
        subprocess.run(["xwd", "-root", "-silent", "-out", name], timeout=TIMEOUT)
        if shutil.which("convert"):
            subprocess.run(["convert", name, name[:-4] + ".png"], timeout=TIMEOUT)
    return name


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kivrel", required=True)
    parser.add_argument("--stream", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not shutil.which("xdotool"):
        print("skipped: needs an X display and xdotool")
        return 77
    global SELECTION
    SELECTION = selection_reader()
    if SELECTION is None:
        log("no Tk: chooser fields are not read back before Return")
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    kivrel = Kivrel(args, work)
    try:
        scenario(kivrel, work)
    except (Failed, subprocess.SubprocessError, OSError) as failure:
        log("FAILED: %s" % failure)
        log("screenshot: %s" % screenshot(work))
        print("kivrel's standard error:\n  " + "\n  ".join(kivrel.errors), flush=True)
        return 1
    finally:
        kivrel.stop()
    complaints = [e for e in kivrel.errors if "CRITICAL" in e or "WARNING" in e or "ERROR" in e]
    if complaints:
        print("kivrel complained on standard error:\n  " + "\n  ".join(complaints))
        return 1
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
