#!/usr/bin/env python3
"""End-to-end tests of the built discsim window program, as a user sees it.

Each case starts its own virtual X server (Xvfb) where it needs one, drives the program with
xdotool, looks at it with xwininfo, xprop and ImageMagick's import, and stops everything it
started. Run one case: discsim_e2e.py CASE --discsim PATH [--send-close PATH].
`screenshot OUT.png` saves a picture of the running window instead.
"""

import argparse
import fcntl
import os
import pty
import select
import signal
import subprocess
import sys
import termios
import time

WIDTH, HEIGHT = 1280, 768
SCREEN_W, SCREEN_H = 1600, 1000
RED, WHITE, CYAN = (255, 0, 0), (255, 255, 255), (0, 255, 255)
CENTRE = [(640, 384), (641, 384), (640, 385), (641, 385)]
SOURCE = [(570, 384), (571, 384), (570, 385), (571, 385)]

args = None


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise Failure(f"timed out after {timeout} s waiting for {what}")


def no_display_env():
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
        env.pop(name, None)
    return env


class Xvfb:
    """A virtual X server on a free display number that it picks itself (-displayfd). -noreset
    keeps it from resetting whenever its last client leaves, which would make the next client
    that connects in that moment find no display."""

    def __enter__(self):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_fd], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_fd, 16) if ready else b""
            if not chunk:
                os.close(read_fd)
                self.process.kill()
                raise Failure("Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.env = dict(os.environ)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("SDL_VIDEODRIVER", None)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def run(self, *command, timeout=30):
        return subprocess.run(list(command), env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=timeout)


class Program:
    """The program under test; killed at the end of its block if it is still running."""

    def __init__(self, env, stdin=subprocess.DEVNULL, **popen):
        self.process = subprocess.Popen([args.discsim], env=env, stdin=stdin,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, **popen)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
        if self.process.stdin is not None and self.process.stdin.closed:
            self.process.stdin = None
        self.process.communicate()

    def running(self):
        return self.process.poll() is None

    def ends_with(self, timeout):
        """Waits for the end; returns the exit status (negative: the signal) and checks that
        nothing was written to the terminal."""
        try:
            out, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"still running {timeout} s later")
        check(out == b"" and err == b"", f"wrote to the terminal: {out!r} {err!r}")
        return self.process.returncode

    def stays_running(self, seconds):
        time.sleep(seconds)
        check(self.running(), f"ended with status {self.process.returncode}")


def find_window(x):
    def search():
        found = x.run("xdotool", "search", "--name", "^discsim$")
        ids = found.stdout.split()
        return ids[0].decode() if found.returncode == 0 and ids else None

    window = wait_for(search, 30, "the window titled discsim")
    wait_for(lambda: x.run("xdotool", "getwindowfocus").stdout.strip().decode() == window, 10,
             "the window to take the keyboard focus")
    return window


def window_info(x, window):
    info = {}
    for line in x.run("xwininfo", "-id", window).stdout.decode().splitlines():
        key, _, value = line.strip().partition(":")
        info[key.strip()] = value.strip()
    return info


def screenshot(x, window):
    """The window's pixels as {(column, row): (r, g, b)} via a binary 8-bit PPM."""
    shot = x.run("import", "-window", window, "-depth", "8", "ppm:-", timeout=60)
    check(shot.returncode == 0, f"import failed: {shot.stderr.decode()}")
    data = shot.stdout
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum, separated by whitespace
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    check(fields[0] == b"P6" and fields[3] == b"255", f"unexpected picture header {fields}")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + width * height * 3]
    return width, height, pixels


def pixel(shot, column, row):
    width, _, pixels = shot
    i = (row * width + column) * 3
    return tuple(pixels[i:i + 3])


def count_colour(shot, colour, near=None, radius=None):
    """How many pixels have the colour, and how many of those lie farther than radius from
    near."""
    width, height, pixels = shot
    wanted = bytes(colour)
    total = outside = 0
    i = pixels.find(wanted)
    while i >= 0:
        if i % 3 == 0:
            total += 1
            if near is not None:
                column, row = (i // 3) % width, (i // 3) // width
                if (column - near[0]) ** 2 + (row - near[1]) ** 2 > radius ** 2:
                    outside += 1
            i = pixels.find(wanted, i + 3)
        else:
            i = pixels.find(wanted, i + 1)
    return total, outside


def check_picture(x, window):
    """The markers, thousands of red pixels in a disc around the centre, and white particles
    near the source point."""
    shot = screenshot(x, window)
    check(shot[:2] == (WIDTH, HEIGHT), f"picture is {shot[0]} x {shot[1]}")
    for p in CENTRE:
        check(pixel(shot, *p) == WHITE, f"centre marker pixel {p} is {pixel(shot, *p)}")
    for p in SOURCE:
        check(pixel(shot, *p) == CYAN, f"source marker pixel {p} is {pixel(shot, *p)}")
    reds, far_reds = count_colour(shot, RED, (640, 384), 320)
    check(reds >= 2000, f"only {reds} red pixels")
    check(far_reds == 0, f"{far_reds} red pixels outside the disc")
    # A particle is white within 60 units of the source point, so within 60 pixels of its marker
    # on the screen; the only other white pixels are the four of the centre marker, 70 away.
    whites, far_whites = count_colour(shot, WHITE, (570.5, 384.5), 62)
    check(whites - 4 >= 1, "no white particle near the source point")
    check(far_whites == 4, f"{far_whites - 4} white pixels far from the source point")
    return reds, whites - 4


def escape_ends_it(x, program, within=1.0):
    check(program.running(), "ended before the escape key")
    x.run("xdotool", "key", "Escape")
    sent = time.monotonic()
    status = program.ends_with(timeout=30)
    took = time.monotonic() - sent
    check(status == 0, f"exit status {status}")
    check(took < within, f"ended {took:.2f} s after the escape key")
    return took


# ---- cases -------------------------------------------------------------------------------------

def case_window_and_picture():
    with Xvfb() as x, Program(x.env) as program:
        window = find_window(x)
        name = x.run("xprop", "-id", window, "WM_NAME").stdout.decode()
        check('"discsim"' in name, f"title {name!r}")
        info = window_info(x, window)
        check(info.get("Width") == str(WIDTH) and info.get("Height") == str(HEIGHT),
              f"drawing area {info.get('Width')} x {info.get('Height')}")
        check(info.get("Absolute upper-left X") == str((SCREEN_W - WIDTH) // 2)
              and info.get("Absolute upper-left Y") == str((SCREEN_H - HEIGHT) // 2),
              "window not centred on the desktop")
        check(info.get("Map State") == "IsViewable", "window not shown")
        hints = x.run("xprop", "-id", window, "WM_NORMAL_HINTS").stdout.decode()
        check(f"minimum size: {WIDTH} by {HEIGHT}" in hints
              and f"maximum size: {WIDTH} by {HEIGHT}" in hints, f"resizable: {hints}")
        time.sleep(1.5)
        reds, whites = check_picture(x, window)
        took = escape_ends_it(x, program)
        print(f"{reds} red and {whites} white particle pixels; ended {took:.3f} s after escape")


def case_other_keys_change_nothing():
    with Xvfb() as x, Program(x.env) as program:
        window = find_window(x)
        for keys in (["space"], ["a", "Z", "q", "1"], ["Up", "Down", "Left", "Right"],
                     ["F1", "F5", "F10", "F12"], ["Home", "End", "Prior", "Next", "Insert",
                                                  "Delete"],
                     ["Return", "Tab", "BackSpace", "ctrl+c", "shift", "alt+x"],
                     ["space"] * 20, ["Up"] * 18):
            x.run("xdotool", "key", "--delay", "5", *keys)
            program.stays_running(0.3)
        program.stays_running(1.0)
        check_picture(x, window)
        # Twenty keys straight before the escape: the queue drops old keys, never the escape.
        x.run("xdotool", "key", "--delay", "0", *(["space"] * 20))
        escape_ends_it(x, program)


def case_close_request_changes_nothing():
    with Xvfb() as x, Program(x.env) as program:
        window = find_window(x)
        protocols = x.run("xprop", "-id", window, "WM_PROTOCOLS").stdout.decode()
        check("WM_DELETE_WINDOW" in protocols, f"no close request protocol: {protocols}")
        for _ in range(3):
            sent = x.run(args.send_close, window)
            check(sent.returncode == 0, f"close request not sent: {sent.stderr.decode()}")
            program.stays_running(0.5)
        program.stays_running(1.0)
        check(window_info(x, window).get("Map State") == "IsViewable", "window closed")
        check_picture(x, window)
        escape_ends_it(x, program)


def case_twenty_starts():
    with Xvfb() as x:
        for run in range(20):
            with Program(x.env) as program:
                find_window(x)
                try:
                    escape_ends_it(x, program, within=5.0)
                except Failure as failure:
                    raise Failure(f"start {run + 1}: {failure}")


def case_no_display_pipe():
    env = no_display_env()
    # The escape byte ends it, after other bytes that do not.
    with Program(env, stdin=subprocess.PIPE) as program:
        program.stays_running(1.0)
        program.process.stdin.write(b" a\xff")
        program.process.stdin.flush()
        program.stays_running(0.5)
        program.process.stdin.write(b"\x1b")
        program.process.stdin.flush()
        check(program.ends_with(timeout=10) == 0, "exit status not 0")
    # Past the pipe's end no keys arrive: it runs on.
    with Program(env, stdin=subprocess.PIPE) as program:
        program.process.stdin.write(b"x")
        program.process.stdin.close()
        program.stays_running(1.5)
    # An escape byte waiting before start-up is read at the first step.
    read_fd, write_fd = os.pipe()
    os.write(write_fd, b"\x1b")
    with Program(env, stdin=read_fd) as program:
        os.close(read_fd)
        check(program.ends_with(timeout=10) == 0, "exit status not 0")
    os.close(write_fd)


class Terminal:
    """A pseudo-terminal that becomes the program's controlling terminal and standard input."""

    def __init__(self):
        self.controller, self.terminal = pty.openpty()
        self.before = termios.tcgetattr(self.terminal)

    def settings(self):
        return termios.tcgetattr(self.terminal)

    def start(self, env):
        terminal = self.terminal

        def make_controlling():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        program = Program(env, stdin=terminal, preexec_fn=make_controlling)
        wait_for(lambda: not (self.settings()[3] & termios.ECHO) or not program.running(), 30,
                 "the terminal to be switched to reading keys")
        check(program.running(), "ended at start-up")
        check(not (self.settings()[3] & termios.ICANON), "terminal still line-buffered")
        return program

    def type(self, data):
        os.write(self.controller, data)

    def close(self):
        os.close(self.controller)
        os.close(self.terminal)


def case_no_display_terminal():
    env = no_display_env()
    term = Terminal()
    try:
        with term.start(env) as program:
            for sequence in (b"\x1b[A", b"\x1b[D", b"\x1bOP", b"\x1b[15~", b" ", b"q"):
                term.type(sequence)
                program.stays_running(0.4)
            term.type(b"\x1b")
            check(program.ends_with(timeout=10) == 0, "exit status not 0")
        check(term.settings() == term.before, "terminal settings not given back")
    finally:
        term.close()


def case_no_display_interrupts():
    env = no_display_env()
    for name, interrupt, expected in (
            ("the interrupt key", lambda term, program: term.type(b"\x03"), signal.SIGINT),
            ("SIGINT", lambda term, program: program.process.send_signal(signal.SIGINT),
             signal.SIGINT),
            ("SIGTERM", lambda term, program: program.process.send_signal(signal.SIGTERM),
             signal.SIGTERM),
            ("SIGHUP", lambda term, program: program.process.send_signal(signal.SIGHUP),
             signal.SIGHUP)):
        term = Terminal()
        try:
            with term.start(env) as program:
                program.stays_running(0.3)
                interrupt(term, program)
                status = program.ends_with(timeout=10)
                check(status == -expected, f"{name}: ended with {status}, not by the signal")
            check(term.settings() == term.before, f"{name}: terminal settings not given back")
        finally:
            term.close()


def save_screenshot(path):
    with Xvfb() as x, Program(x.env) as program:
        window = find_window(x)
        time.sleep(3)
        shot = x.run("import", "-window", window, "-colors", "8", "-depth", "8", "PNG8:" + path,
                     timeout=60)
        check(shot.returncode == 0, shot.stderr.decode())
        escape_ends_it(x, program, within=5.0)


CASES = {
    "window_and_picture": case_window_and_picture,
    "other_keys_change_nothing": case_other_keys_change_nothing,
    "close_request_changes_nothing": case_close_request_changes_nothing,
    "twenty_starts": case_twenty_starts,
    "no_display_pipe": case_no_display_pipe,
    "no_display_terminal": case_no_display_terminal,
    "no_display_interrupts": case_no_display_interrupts,
}


def main():
    global args
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("case", choices=sorted(CASES) + ["screenshot"])
    parser.add_argument("output", nargs="?", help="the PNG file of `screenshot`")
    parser.add_argument("--discsim", required=True)
    parser.add_argument("--send-close")
    args = parser.parse_args()
    try:
        if args.case == "screenshot":
            save_screenshot(args.output)
        else:
            CASES[args.case]()
    except Failure as failure:
        print(f"FAILED {args.case}: {failure}", file=sys.stderr)
        return 1
    print(f"passed {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
