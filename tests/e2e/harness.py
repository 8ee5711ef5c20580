"""Works the built Dahdit as a person would: in its own X server, with the mouse on the key,
keyboard shortcuts, the real clipboard and the files on disk.

The only timed waits are the key presses and the pauses between them; everything else is a
bounded poll for a window, a file or a clipboard text to appear.
"""

import contextlib
import ctypes
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import tempfile
import time
import urllib.parse

WAIT = 20.0  # seconds: the longest any window, file or text may take to appear
POLL = 0.05

PROGRAM_FILES = ("dahdit", "dahdit_db.mdb", "portable", "readme.txt")

# The main window's client area below the menu bar, in pixels (twips / 15).
MK = (8, 160, 257, 33)
TEXT1 = (8, 8, 305, 107)
TEXT2 = (320, 8, 305, 187)
SLIDER1 = (8, 120, 145, 37)
SLIDER2 = (160, 120, 153, 37)
CLIENT_HEIGHT = 225

# Plain Morse for the letters the cases key.
MORSE = {
    "A": ".-", "E": ".", "I": "..", "M": "--", "N": "-.", "O": "---", "P": ".--.",
    "R": ".-.", "S": "...", "T": "-",
}


class Failure(AssertionError):
    pass


def poll(what, probe, timeout=WAIT):
    """Calls probe until it returns something true, for at most timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(POLL)


class XServer:
    """An Xvfb of its own on a free display, so cases can run side by side."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise Failure("Xvfb did not start")
                number += chunk
        self.display = ":" + number.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def send_close_request(display, window):
    """What a window manager sends when the user clicks a window's close box: WM_DELETE_WINDOW."""
    xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise Failure("cannot open display " + display)
    event = _ClientMessage()
    event.type = 33  # ClientMessage
    event.window = window
    event.message_type = xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    event.data[1] = 0  # CurrentTime
    xlib.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    xlib.XFlush(dpy)
    xlib.XCloseDisplay(dpy)


class Dahdit:
    """One program folder, one X server, and the program started from that folder.

    Run as another user (as_user, a user and group id), the program cannot write the folder and
    keeps its files in that user's own folders, under a fresh home folder (home). With installed,
    program_dir is where the installed program is, and nothing is copied."""

    def __init__(self, program_dir, as_user=None, installed=False):
        self.folder = tempfile.mkdtemp(prefix="dahdit-e2e-")
        os.chmod(self.folder, 0o755)
        self.program = os.path.join(program_dir, "dahdit") if installed else self.path("dahdit")
        if not installed:
            for name in PROGRAM_FILES:
                shutil.copy2(os.path.join(program_dir, name), self.folder)
        self.as_user = as_user
        self.x = XServer()
        self.env = dict(os.environ)
        self.env.update({"DISPLAY": self.x.display, "QT_QPA_PLATFORM": "xcb"})
        self.env.pop("WAYLAND_DISPLAY", None)
        self.home = None
        self.settings_file = self.path("settings.ini")
        self.database_file = self.path("dahdit_db.mdb")
        if as_user is not None:
            self.home = tempfile.mkdtemp(prefix="dahdit-home-")
            os.chown(self.home, as_user, as_user)
            self.env["HOME"] = self.home
            for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"):
                self.env.pop(name, None)
            self.settings_file = os.path.join(self.home, ".config", "dahdit", "settings.ini")
            self.database_file = os.path.join(self.home, ".local", "share", "dahdit", "dahdit_db.mdb")
        self.proc = None
        self.main = None
        self.menubar = 0

    # ---- files ---------------------------------------------------------------------------------

    def path(self, name):
        return os.path.join(self.folder, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())

    def setting(self, key):
        """The value of key in section main of settings.ini, or None."""
        try:
            with open(self.settings_file, "rb") as f:
                text = f.read().decode()
        except FileNotFoundError:
            return None
        in_main = False
        for line in text.splitlines():
            if line.startswith("["):
                in_main = line.strip() == "[main]"
            elif in_main and line.startswith(key + "="):
                return line[len(key) + 1:]
        return None

    def query(self, sql, args=()):
        """Runs a query on the database the program uses, read-only: it never makes the file."""
        uri = "file:%s?mode=ro" % urllib.parse.quote(self.database_file)
        with contextlib.closing(sqlite3.connect(uri, uri=True)) as db:
            return db.execute(sql, args).fetchall()

    # ---- the process ---------------------------------------------------------------------------

    def start(self):
        command = [self.program]
        if self.as_user:
            command = ["setpriv", "--reuid=%d" % self.as_user, "--regid=%d" % self.as_user, "--clear-groups",
                       "--"] + command
        self.proc = subprocess.Popen(command, cwd=self.folder, env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=open(self.path("stderr.log") if not self.as_user else os.devnull, "ab"))
        self.main = self.wait_window("^Dahdit$")
        geometry = self.geometry(self.main)
        self.menubar = geometry[3] - CLIENT_HEIGHT
        if not 10 <= self.menubar <= 60:
            raise Failure("unexpected main window height %d" % geometry[3])
        self.focus(self.main)
        return self

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=WAIT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %.0f s" % timeout)

    def restart(self):
        self.close_box(self.main)
        if self.wait_exit() != 0:
            raise Failure("the program ended with a failure")
        return self.start()

    def stop(self):
        if self.running():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.x.stop()
        shutil.rmtree(self.folder, ignore_errors=True)
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)

    # ---- windows -------------------------------------------------------------------------------

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise Failure("xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr.strip()))
        return result.stdout

    def windows(self, title):
        out = self.xdotool("search", "--onlyvisible", "--name", title, check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, title, other_than=()):
        def probe():
            found = [w for w in self.windows(title) if w not in other_than]
            return found[0] if found else None
        return poll("a window titled %s" % title, probe)

    def wait_gone(self, window):
        def probe():
            return window not in self.windows(".*")
        poll("window %d to close" % window, probe)

    def xprop(self, window, name):
        """A property of a window as xprop prints it."""
        return subprocess.run(["xprop", "-id", str(window), name], env=self.env, capture_output=True,
                              text=True).stdout

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def focus(self, window):
        """Raises window and gives it the keyboard, as a click on its title bar would (there is no
        window manager: new windows open at the top left, over the main window)."""
        self.xdotool("windowraise", window, "windowfocus", "--sync", window)

    def close_box(self, window):
        send_close_request(self.x.display, window)

    def key(self, *keys, window=None):
        self.focus(window or self.main)
        self.xdotool("key", "--clearmodifiers", *keys)

    def type(self, text, window):
        self.focus(window)
        typed = subprocess.run(["xdotool", "type", "--delay", "20", "--file", "-"], input=text.encode(),
                               env=self.env, capture_output=True)
        if typed.returncode != 0:
            raise Failure("xdotool type failed: " + typed.stderr.decode())

    def client_point(self, rect, dx=None, dy=None):
        """Screen coordinates of a point in a control of the main window (its centre by default)."""
        x0, y0, _, _ = self.geometry(self.main)
        left, top, width, height = rect
        return (x0 + left + (width // 2 if dx is None else dx),
                y0 + self.menubar + top + (height // 2 if dy is None else dy))

    def click(self, x, y):
        self.focus(self.main)
        self.xdotool("mousemove", x, y, "click", 1)

    def menu(self, title_index, item_index=None):
        """Chooses a menu item: a click on the first menu title, Right to the wanted menu (which
        opens with its first item highlighted), Down to the item, or Up for the last item."""
        x0, y0, _, _ = self.geometry(self.main)
        self.focus(self.main)
        self.xdotool("mousemove", x0 + 14, y0 + self.menubar // 2, "click", 1)
        keys = ["Right"] * title_index
        if item_index is None:
            keys.append("Up")  # wraps round to the last item
        else:
            keys += ["Down"] * (item_index + (1 if title_index == 0 else 0))
        for key in keys + ["Return"]:
            self.xdotool("key", key)

    # ---- the key -------------------------------------------------------------------------------

    def key_morse(self, symbols, dot=0.06, dash=0.30, gap=0.06, symbol_gap=0.5):
        """Keys symbols (each a text of "." and "-") on the Morse key with real press durations."""
        x, y = self.client_point(MK)
        self.focus(self.main)
        chain = ["mousemove", x, y]
        for i, symbol in enumerate(symbols):
            for j, mark in enumerate(symbol):
                chain += ["mousedown", 1, "sleep", dot if mark == "." else dash, "mouseup", 1]
                if j + 1 < len(symbol):
                    chain += ["sleep", gap]
            if i + 1 < len(symbols):
                chain += ["sleep", symbol_gap]
        self.xdotool(*chain)

    # ---- clipboard -----------------------------------------------------------------------------

    def clipboard(self):
        result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, capture_output=True)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def hold_clipboard(self, text):
        """Puts text on the clipboard from an xclip that serves it until another program takes
        the clipboard over, and returns that xclip."""
        holder = subprocess.Popen(["xclip", "-quiet", "-i", "-selection", "clipboard"], env=self.env,
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        holder.stdin.write(text.encode())
        holder.stdin.close()
        poll("the clipboard to hold %r" % text, lambda: self.clipboard() == text)
        return holder

    def copied(self, action, expect=None):
        """Runs action, which should put a text on the clipboard, and returns that text. With expect,
        repeats until the clipboard holds that text (it may still be changing, e.g. a closing space)."""
        deadline = time.monotonic() + WAIT
        while True:
            holder = self.hold_clipboard("<dahdit-e2e %f>" % time.monotonic())
            action()
            # The marker's xclip ends when the program takes the clipboard over; an empty text
            # then reads as a failure of xclip -o.
            try:
                holder.wait(WAIT)
            except subprocess.TimeoutExpired:
                holder.kill()
                holder.wait()
                raise Failure("the program did not take the clipboard over")
            text = self.clipboard() or ""
            if expect is None or text == expect or time.monotonic() > deadline:
                return text
            time.sleep(POLL)

    def message_text(self, box):
        """The text of a message box, selected with the mouse as a person would to copy it: a drag
        from the text's first character to past its end puts it in the primary selection. Where the
        text starts depends on the icon, so a few starting points are tried and the longest
        selection wins."""
        x, y, width, height = self.geometry(box)
        best = ""
        for dx in range(44, 100, 4):
            self.focus(box)
            self.xdotool("mousemove", x + dx, y + 14, "mousedown", 1, "mousemove", x + width // 2, y + height // 2,
                         "mousemove", x + width + 40, y + height + 40, "mouseup", 1)
            result = subprocess.run(["xclip", "-o", "-selection", "primary"], env=self.env, capture_output=True)
            text = result.stdout.decode("utf-8", "replace") if result.returncode == 0 else ""
            if len(text) > len(best):
                best = text
        return best

    def morse_buffer(self, expect=None):
        return self.copied(lambda: self.key("ctrl+c"), expect)

    def output_text(self, expect=None):
        return self.copied(lambda: self.menu(1, 1), expect)  # Edit, Copy Output


def spell(word):
    return [MORSE[c] for c in word]


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure("%s: expected %r, got %r" % (what, expected, actual))


def transcript_parts(data):
    """Splits a transcript's bytes into (date line, Morse buffer, output text), checking its frame."""
    check(data.endswith(b"\r\n"), "the transcript ends in CR LF")
    text = data[:-2].decode("utf-8")
    parts = text.split("\r\n\r\n")
    check(len(parts) == 3, "the transcript has three parts: %r" % text)
    check(re.search(r"\d", parts[0]) and ":" in parts[0], "the first line holds date and time: %r" % parts[0])
    return parts
