#!/usr/bin/env python3
"""End-to-end cases: python3 run_e2e.py PROGRAM_DIR CASE. The built program in an X server of its own,
worked through the mouse, keyboard, clipboard and files; only key presses are timed, the rest is polled."""

import contextlib
import ctypes
import os
import pathlib
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.parse

WAIT = 20.0  # seconds: the longest any window, file or text may take to appear
PROGRAM_FILES = ("dahdit", "dahdit_db.mdb", "portable", "readme.txt")
NOBODY = 65534
# The main window's client area below the menu bar and two controls in it, in twips, read where the window
# hands them to its layout: 15 make a pixel at the font the layouts were drawn for, and the whole layout grows
# by one factor with a larger font.
FORM1 = (pathlib.Path(__file__).resolve().parents[2] / "app" / "form1.cpp").read_text()
CLIENT = tuple(map(int, re.search(r"TwipsLayout\(client, QSize\((\d+), (\d+)\)\)", FORM1).groups()))
MK, SLIDER1 = (tuple(map(int, re.search(r'"%s",\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\)' % name, FORM1).groups()))
               for name in ("MK", "Slider1"))


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def check_equal(actual, expected, what):
    check(actual == expected, "%s: expected %r, got %r" % (what, expected, actual))


def poll(what, probe):
    deadline = time.monotonic() + WAIT
    while not (value := probe()):
        check(time.monotonic() < deadline, "timed out after %.0f s waiting for %s" % (WAIT, what))
        time.sleep(0.05)
    return value


class Dahdit(contextlib.AbstractContextManager):
    """The program in an Xvfb, from a fresh copy of program_dir (in place when installed or unpacked)."""

    def __init__(self, program_dir, user=None):
        self.folder = tempfile.mkdtemp(prefix="dahdit-e2e-")
        os.chmod(self.folder, 0o755)
        in_place = not os.path.exists(os.path.join(program_dir, "dahdit_db.mdb"))
        self.program = os.path.join(program_dir if in_place else self.folder, "dahdit")
        for name in () if in_place else PROGRAM_FILES:
            shutil.copy2(os.path.join(program_dir, name), self.folder)
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
                                      "tcp", "-noreset"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.display = ":" + pipe.readline().strip()
        check(self.display != ":", "Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.user, self.home, self.proc = user, None, None
        self.entry = os.path.join(program_dir, "..", "share", "applications", "io.github.dahdit.Dahdit.desktop")
        self.settings_file = self.path("settings.ini")
        if user is not None:
            self.home = self.env["HOME"] = tempfile.mkdtemp(prefix="dahdit-home-")
            os.chown(self.home, user, user)
            for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"):
                self.env.pop(name, None)
            self.settings_file = os.path.join(self.home, ".config", "dahdit", "settings.ini")

    def __exit__(self, *_):
        for process in filter(None, (self.proc, self.xvfb)):
            process.terminate()  # unless it ended already
            process.wait()
        for folder in filter(None, (self.folder, self.home)):
            shutil.rmtree(folder, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.folder, name)

    def setting(self, key):
        with contextlib.suppress(FileNotFoundError), open(self.settings_file, newline="") as f:
            found = re.search("^%s=(.*?)\r?$" % key, f.read(), re.M)
            return found and found.group(1)

    def start(self, *args):
        command = [self.program, *args]
        if self.user:
            command = ["setpriv", "--reuid=%d" % self.user, "--regid=%d" % self.user, "--clear-groups", "--"] + command
        self.proc = subprocess.Popen(command, cwd=self.folder, env=self.env, stdout=subprocess.DEVNULL)
        self.main = self.wait_window("^Dahdit$")
        _, _, width, height = self.geometry(self.main)
        self.pixels_per_twip = width / CLIENT[0]
        self.menubar = height - round(CLIENT[1] * self.pixels_per_twip)
        if os.path.exists(self.entry):  # packaged: docks group the window with its menu entry by the class
            wanted = re.search("^StartupWMClass=(.*)$", pathlib.Path(self.entry).read_text(), re.M).group(1)
            shown = self.xprop(self.main, "WM_CLASS").strip()
            check(shown.endswith(', "%s"' % wanted), "the window's class %s, as the menu entry names it" % shown)

    def xprop(self, window, name):
        return subprocess.run(["xprop", "-id", str(window), name], env=self.env, capture_output=True, text=True).stdout

    def xdotool(self, *args, quiet=False, input=None):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, input=input, capture_output=True,
                                text=True)
        check(quiet or result.returncode == 0, "xdotool %s failed: %s" % (args, result.stderr.strip()))
        return result.stdout

    def windows(self, title):
        return [int(w) for w in self.xdotool("search", "--onlyvisible", "--name", title, quiet=True).split()]

    def wait_window(self, title):
        return poll("a window titled " + title, lambda: next(iter(self.windows(title)), 0))

    def wait_gone(self, window):
        poll("window %d to close" % window, lambda: window not in self.windows(".*"))

    def geometry(self, window):
        values = dict(line.split("=", 1) for line in self.xdotool("getwindowgeometry", "--shell", window).split())
        return [int(values[name]) for name in ("X", "Y", "WIDTH", "HEIGHT")]

    def focus(self, window):
        """Raises window and gives it the keyboard, as a click on its title bar would (there is no window manager)."""
        self.xdotool("windowraise", window, "windowfocus", "--sync", window)

    def end(self, by_menu=False):
        """Ends the program by File, Exit (the last item), or else by what a window manager sends when the user clicks
        the main window's close box; it must end with status 0."""
        if by_menu:
            self.menu(0)
        else:
            xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
            xlib.XOpenDisplay.restype = ctypes.c_void_p
            dpy = ctypes.c_void_p(xlib.XOpenDisplay(self.display.encode()))
            check(dpy.value, "cannot open display " + self.display)
            # An XClientMessageEvent laid out in longs, as on a 64-bit little-endian machine: type
            # ClientMessage, serial, send_event, display, window, message_type, format, data.
            event = (ctypes.c_long * 24)(33, 0, 0, 0, self.main, xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0), 32,
                                         xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0))
            xlib.XSendEvent(dpy, ctypes.c_ulong(self.main), 0, ctypes.c_long(0), event)
            xlib.XCloseDisplay(dpy)  # which sends what is queued
        check_equal(self.proc.wait(WAIT), 0, "exit status")

    def key(self, *keys, window=None):
        self.focus(window or self.main)
        self.xdotool("key", "--clearmodifiers", *keys)

    def type(self, text, window):
        self.focus(window)
        self.xdotool("type", "--delay", 20, "--file", "-", input=text)  # a text may start with "-"

    def point(self, rect, dx=None):
        """Screen coordinates in a control of the main window (in twips): its middle, or dx pixels from its left."""
        x, y, _, _ = self.geometry(self.main)
        left, top, width, height = (round(twips * self.pixels_per_twip) for twips in rect)
        return x + left + (width // 2 if dx is None else dx), y + self.menubar + top + height // 2

    def menu(self, title_index, item_index=None, alt=False):
        """By keyboard alone: F10 opens the first menu (Alt alone highlights it, Down opens), Right to the wanted menu,
        Down to the item, or Up round to the last."""
        self.key("alt" if alt else "F10")
        down = ["Up"] if item_index is None else ["Down"] * item_index
        for key in ["Right"] * title_index + ["Down"] * alt + down + ["Return"]:
            self.xdotool("key", key)

    def key_morse(self, code, dot=0.06, dash=0.30):
        """Keys code ("... --- ...") with real press lengths: marks 60 ms apart, symbols 560 ms apart."""
        chain = ["mousemove", *self.point(MK)]
        for mark in code:
            press = dot if mark == "." else dash
            chain += ["sleep", 0.5] if mark == " " else ["mousedown", 1, "sleep", press, "mouseup", 1, "sleep", 0.06]
        self.focus(self.main)
        self.xdotool(*chain)

    def selection(self, name="clipboard"):
        return subprocess.run(["xclip", "-o", "-selection", name], env=self.env, capture_output=True, text=True,
                              errors="replace").stdout

    def check_copied(self, expect, buffer=False):
        """Copies the Morse buffer (ctrl+c) or the output text (Edit, Copy Output) until the clipboard holds expect."""
        deadline = time.monotonic() + WAIT
        while True:
            self.key("ctrl+c") if buffer else self.menu(1, 1, alt=True)
            text = self.selection()
            if text == expect or time.monotonic() > deadline:
                return check_equal(text, expect, "Morse buffer" if buffer else "output text")
            time.sleep(0.2)

    def read_message(self, box):
        """A message box's text, dragged over as a person would (the start depends on the icon, so the longest wins);
        then Return closes the box."""
        x, y, width, height = self.geometry(box)
        texts = []
        for dx in range(44, 100, 4):
            self.focus(box)
            self.xdotool("mousemove", x + dx, y + 14, "mousedown", 1, "mousemove", x + width // 2, y + height // 2,
                         "mousemove", x + width + 40, y + height + 40, "mouseup", 1)
            texts.append(self.selection("primary"))
        self.key("Return", window=box)
        self.wait_gone(box)
        return max(texts, key=len)


def move_slider1(app, position):
    """Moves Slider1 with the keyboard; a click on its groove may move it a step, so the file tells where it is."""
    app.focus(app.main)
    app.xdotool("mousemove", *app.point(SLIDER1, dx=round(SLIDER1[2] * app.pixels_per_twip) - 6), "click", 1)
    start = int(app.setting("dt") or 6)
    check(position > start, "room to move the slider right (it stands at %d)" % start)
    app.key(*(["Right"] * (position - start)))
    poll("dt=%d in settings.ini" % position, lambda: app.setting("dt") == str(position))


def ends_with_every_window_open(program_dir, by_menu):
    with Dahdit(program_dir) as app:
        app.start()
        app.type(". ", app.main)  # typed, for the keying is timed in the cases above
        app.check_copied("E")  # Save needs an output text
        for shortcut, title in (("ctrl+d", "Dahdit Database Editor"), ("ctrl+l", "Language Options"),
                                (None, "About"), ("ctrl+s", "Save File")):
            app.key(shortcut) if shortcut else app.menu(3)  # Help, About... (the last item)
            app.wait_window("^%s$" % title)
        app.end(by_menu)


def read_only_program_folder(program_dir):
    """A portable folder the user may not write stays as it was: what is keyed, saved and set goes to the user's
    folders. A database in WAL mode there is not read (its owner may change it under a reader), and the user is told."""
    with Dahdit(program_dir, user=NOBODY) as app:
        with contextlib.closing(sqlite3.connect(app.path("dahdit_db.mdb"))) as db:
            check_equal(db.execute("PRAGMA journal_mode=WAL").fetchall(), [("wal",)], "the database in WAL mode")
        app.start("-platform", "offscreen", "-reverse")  # Qt's options, which it must not read: the window shows on X
        move_slider1(app, 8)
        app.key_morse("... --- ...", dash=0.4)
        app.check_copied("... --- ... ", buffer=True)
        app.check_copied("SOS")
        app.key("ctrl+s")  # File, Save: the transcript, as "log"
        window = app.wait_window("^Save File$")
        app.type("log", window)
        app.key("Return", window=window)
        app.wait_gone(window)
        text = pathlib.Path(app.home, "log.txt").read_bytes()
        check(re.fullmatch(rb"[^\r\n]*\d\d:\d\d[^\r\n]*\r\n\r\n\.\.\. --- \.\.\. \r\n\r\nSOS\r\n", text),
              "a transcript in the home folder with the date, the Morse buffer and the output text: %r" % text)
        app.end()
        check_equal(app.setting("dt"), "8", "the slider position kept per user")
        with open(app.settings_file, "a") as f:
            f.write("db_path=%s\r\n" % app.path("dahdit_db.mdb"))
        app.start()  # the main window and the start-up message share the title; the main window is the wider
        shown = poll("the start-up message", lambda: len(app.windows("^Dahdit$")) == 2 and app.windows("^Dahdit$"))
        app.main, box = sorted(shown, key=lambda window: -app.geometry(window)[2])
        text = app.read_message(box)
        check(app.path("dahdit_db.mdb") in text and "in WAL mode" in text, "the message: %r" % text)
        app.end()
        check_equal(sorted(os.listdir(app.folder)), sorted(PROGRAM_FILES), "the program folder's files")
        check_equal(pathlib.Path(app.path("dahdit_db.mdb")).read_bytes()[18:20], b"\x02\x02", "the WAL mode bytes")


def installed_package(program_dir):
    """The installed package (tests/tst_deb.sh --install), by an unprivileged user, across an upgrade."""
    program_folder = os.path.dirname(os.path.realpath(os.path.join(program_dir, "dahdit")))
    database = os.path.join(program_folder, "..", "..", "share", "dahdit", "dahdit_db.mdb")
    with Dahdit(program_dir, user=NOBODY) as app:
        app.start()
        app.key_morse(".")
        app.check_copied("E")
        move_slider1(app, 12)
        app.end()
        # A newer Dahdit's database, built in one transaction and stamped as the build does, reads T2 for "-".
        with contextlib.closing(sqlite3.connect(database)) as db, sqlite3.connect(database + ".new") as new:
            stamp = "PRAGMA user_version = %d;" % (db.execute("PRAGMA user_version").fetchone()[0] + 1)
            new.executescript("\n".join([*db.iterdump()][:-1] + ["UPDATE International SET TS = 'T2' WHERE MS = '-';",
                                                                 stamp]))
        os.chmod(database + ".new", 0o644)
        os.replace(database + ".new", database)
        app.start()
        app.key_morse(". -", dot=0.2, dash=0.4)  # marks of a 300 ms delay time
        app.check_copied(". - ", buffer=True)
        app.check_copied("ET2")
        app.key("ctrl+d")
        editor = app.wait_window("^Dahdit Database Editor$")
        app.key("Tab", window=editor)  # from the list to the signal box
        app.type("Zz", editor)
        app.key("Tab", window=editor)
        app.type("-.-.-.-.", editor)
        app.key("Return", window=editor)
        # Read-only, so that the query never makes the file.
        uri = "file:%s?mode=ro" % urllib.parse.quote(os.path.join(app.home, ".local/share/dahdit/dahdit_db.mdb"))
        with contextlib.closing(sqlite3.connect(uri, uri=True)) as db:
            rows = poll("Zz in the user's database",
                        lambda: db.execute("select MS from International where TS = 'Zz'").fetchall())
        check_equal(rows, [("-.-.-.-.",)], "the stored entry")
        icon = app.xprop(editor, "_NET_WM_ICON")
        check(len(icon) > 100, "the editor shows Dahdit's icon: %r" % icon[:80])


CASES = {f.__name__: f for f in (read_only_program_folder, installed_package)}
CASES["exit_ends_the_program_with_every_window_open"] = lambda folder: ends_with_every_window_open(folder, True)
CASES["close_box_ends_the_program_with_every_window_open"] = lambda folder: ends_with_every_window_open(folder, False)

if __name__ == "__main__":
    CASES[sys.argv[2]](sys.argv[1])
    print("PASS", sys.argv[2])
