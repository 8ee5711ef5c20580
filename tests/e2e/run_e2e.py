#!/usr/bin/env python3
"""End-to-end cases for Dahdit: python3 run_e2e.py PROGRAM_DIR CASE [CASE...].

Each case starts the built program from a fresh copy of its program folder in an X server of its
own and works it only through the mouse, the keyboard, the clipboard and the files on disk.
"""

import contextlib
import os
import sqlite3
import sys
import time
import traceback

from harness import (MK, PROGRAM_FILES, SLIDER1, WAIT, Dahdit, Failure, check, check_equal, poll, spell,
                     transcript_parts)

CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


@case
def keys_sos_and_saves_it(program_dir):
    """SOS at the default speeds, read back through Copy, Copy Output and a saved transcript."""
    with session(program_dir) as app:
        app.start()
        app.key_morse(spell("SOS"))
        check_equal(app.morse_buffer(expect="... --- ... "), "... --- ... ", "Morse buffer after keying SOS")
        check_equal(app.output_text(expect="SOS"), "SOS", "output text after keying SOS")

        app.key("ctrl+s")
        save = app.wait_window("^Save File$")
        app.type("log", save)
        app.key("Return", window=save)
        poll("log.txt to be written", lambda: os.path.exists(app.path("log.txt")))
        app.wait_gone(save)
        _, morse, output = transcript_parts(app.read("log.txt"))
        check_equal(morse, "... --- ... ", "Morse buffer in the transcript")
        check_equal(output, "SOS", "output text in the transcript")
        check(app.running(), "the program still runs")


@case
def keys_at_thirty_words_a_minute(program_dir):
    """With the sliders at 3 (75 ms) and 2 (150 ms), 40 ms dots and 120 ms dashes decode."""
    with session(program_dir) as app:
        app.write("settings.ini", "[main]\r\ndt=3\r\nsdt=2\r\n")
        app.start()
        app.key_morse(spell("PARIS"), dot=0.04, dash=0.12, gap=0.04, symbol_gap=0.25)
        check_equal(app.output_text(expect="PARIS"), "PARIS", "output text at 30 words a minute")
        check_equal(app.setting("dt"), "3", "dt kept")
        check_equal(app.setting("sdt"), "2", "sdt kept")


def move_slider1(app, position):
    """Moves Slider1 to position with the keyboard and waits for settings.ini to hold it."""
    # Clicking the groove may itself move the thumb one step; the file tells where it stands.
    app.click(*app.client_point(SLIDER1, dx=SLIDER1[2] - 6))
    start = int(app.setting("dt") or 6)
    check(position > start, "room to move the slider right (it stands at %d)" % start)
    app.key(*(["Right"] * (position - start)))
    poll("dt=%d in settings.ini" % position, lambda: app.setting("dt") == str(position))


def check_delay_is_300_ms(app):
    # A 200 ms press is now a dot and a 400 ms press a dash.
    app.key_morse([".", "-"], dot=0.2, dash=0.4)
    check_equal(app.morse_buffer(expect=". - "), ". - ", "marks keyed with a 300 ms delay time")


def add_entry(app, signal, code):
    """Adds an entry in the code table editor and waits for it to reach the database; returns
    the editor's window."""
    app.key("ctrl+d")
    editor = app.wait_window("^Dahdit Database Editor$")
    app.key("Tab", window=editor)  # from the list to the signal box
    app.type(signal, editor)
    app.key("Tab", window=editor)
    app.type(code, editor)
    app.key("Return", window=editor)
    rows = poll("the new entry in the database",
                lambda: app.query("select TS from International where MS = ?", (code,)))
    check_equal(rows, [(signal,)], "stored entry")
    return editor


@case
def slider_position_survives_a_restart(program_dir):
    """Slider1 moved with the keyboard is written to settings.ini and restored at the next start."""
    with session(program_dir) as app:
        app.start()
        move_slider1(app, 12)
        app.restart()
        check_equal(app.setting("dt"), "12", "dt after the restart")
        check_delay_is_300_ms(app)
        check_equal(app.output_text(expect="ET"), "ET", "output text")


@case
def entry_added_in_the_editor_decodes(program_dir):
    """An entry typed into the code table editor is stored, and keyed in the main window at once."""
    with session(program_dir) as app:
        code = "-.-.-.-."
        check(not app.query("select * from International where MS = ?", (code,)), "the code is free")
        app.start()
        editor = add_entry(app, "Zz", code)
        app.key_morse([code, "."])
        check_equal(app.output_text(expect="ZzE"), "ZzE", "output text with the new entry")
        check(app.windows("^Dahdit Database Editor$") == [editor], "the editor is still open")


@case
def language_choice_takes_effect_at_the_next_start(program_dir):
    """Greek chosen in Language Options is stored, and decodes only after a restart."""
    with session(program_dir) as app:
        app.start()
        app.key("ctrl+l")
        options = app.wait_window("^Language Options$")
        app.key("Tab", "Tab", window=options)  # past the database box and Use Default to the list
        app.type("Greek", options)
        app.key("Return", window=options)
        confirm = app.wait_window("^Settings Changed$")
        poll("table_name=Greek", lambda: app.setting("table_name") == "Greek")
        app.key("Return", window=confirm)
        app.wait_gone(confirm)

        app.key_morse(spell("SOS"))
        check_equal(app.output_text(expect="SOS"), "SOS", "the running program keeps International")

        app.restart()
        app.key_morse(spell("SOS"))
        check_equal(app.output_text(expect="\u03a3\u039f\u03a3"), "\u03a3\u039f\u03a3", "Greek after the restart")


def open_every_window(app):
    app.key_morse(spell("E"))
    app.output_text(expect="E")  # Save needs an output text
    app.key("ctrl+d")
    app.wait_window("^Dahdit Database Editor$")
    app.key("ctrl+l")
    app.wait_window("^Language Options$")
    app.menu(3)  # Help, About... (the last item)
    app.wait_window("^About$")
    app.key("ctrl+s")
    app.wait_window("^Save File$")


@case
def exit_ends_the_program_with_every_window_open(program_dir):
    with session(program_dir) as app:
        app.start()
        open_every_window(app)
        app.menu(0)  # File, Exit (the last item)
        check_equal(app.wait_exit(), 0, "exit status after File, Exit")


@case
def close_box_ends_the_program_with_every_window_open(program_dir):
    with session(program_dir) as app:
        app.start()
        open_every_window(app)
        app.close_box(app.main)
        check_equal(app.wait_exit(), 0, "exit status after the close box")


@case
def missing_database_is_named_at_start(program_dir):
    """Without its database the window still opens, and a message names the missing file."""
    with session(program_dir) as app:
        os.remove(app.path("dahdit_db.mdb"))
        app.start()
        box = app.wait_window("^Dahdit$", other_than=(app.main,))
        text = app.message_text(box)
        check(app.path("dahdit_db.mdb") in text, "the message names the file: %r" % text)
        check("does not exist" in text, "the message says why: %r" % text)
        app.key("Return", window=box)
        app.wait_gone(box)
        # Keying goes on; nothing decodes, and the program still ends cleanly.
        app.key_morse(spell("E"))
        check_equal(app.morse_buffer(expect=". "), ". ", "Morse buffer without a database")
        app.close_box(app.main)
        check_equal(app.wait_exit(), 0, "exit status")
        check(not os.path.exists(app.path("dahdit_db.mdb")), "no empty database was made")


@case
def read_only_program_folder(program_dir):
    """Run by an unprivileged user from a portable folder it may not write: the folder stays as
    it was, the slider position and a transcript go to the user's own folders, and a database in
    WAL mode in that folder (named by db_path) still decodes, though SQLite would keep files
    beside it."""
    nobody = 65534
    with session(program_dir, as_user=nobody) as app:
        database = app.path("dahdit_db.mdb")
        with contextlib.closing(sqlite3.connect(database)) as db:
            check_equal(db.execute("PRAGMA journal_mode=WAL").fetchall(), [("wal",)], "the database in WAL mode")
        write_as(nobody, app.home, app.settings_file, "[main]\r\ndb_path=%s\r\n" % database)
        app.start()
        move_slider1(app, 8)
        app.key_morse(spell("E"))
        check_equal(app.output_text(expect="E"), "E", "decoding with the user's copy of the database")
        app.key("ctrl+s")
        save = app.wait_window("^Save File$")
        app.type("log", save)
        app.key("Return", window=save)
        poll("log.txt in the home folder", lambda: os.path.exists(os.path.join(app.home, "log.txt")))
        app.wait_gone(save)
        # Typed into the program folder, a transcript is refused in words that name it.
        app.key("ctrl+s")
        save = app.wait_window("^Save File$")
        app.type("log", save)
        app.key("shift+Tab", "ctrl+a", window=save)
        app.type(app.folder + "/", save)
        app.key("Return", window=save)
        box = app.wait_window("^Save File$", other_than=(save,))
        text = app.message_text(box)
        check(app.path("log.txt") in text, "the message names the file: %r" % text)
        app.key("Return", window=box)
        app.wait_gone(box)
        check(app.windows("^Save File$") == [save], "the Save window stays open for another try")
        app.close_box(app.main)
        check_equal(app.wait_exit(), 0, "exit status")
        check_equal(app.setting("dt"), "8", "the slider position kept per user")
        check(sorted(os.listdir(app.folder)) == sorted(PROGRAM_FILES),
              "the folder holds what it held: %r" % os.listdir(app.folder))
        check_equal(app.read("dahdit_db.mdb")[18:20], b"\x02\x02", "the database still in WAL mode")


def write_as(user, home, path, text):
    """Writes a file under home, and the folders down to it, owned by user."""
    folder = home
    for part in os.path.relpath(os.path.dirname(path), home).split(os.sep):
        folder = os.path.join(folder, part)
        os.makedirs(folder, exist_ok=True)
        os.chown(folder, user, user)
    with open(path, "w") as f:
        f.write(text)
    os.chown(path, user, user)


@case
def installed_package(program_dir):
    """The installed package (program_dir is its bin folder, not a CMake case: tests/tst_deb.sh
    runs it), worked by an unprivileged user: it keys, remembers a slider over a restart, and
    adds an entry to the user's own copy of the database, never to the installed one."""
    nobody = 65534
    program_folder = os.path.dirname(os.path.realpath(os.path.join(program_dir, "dahdit")))
    installed_db = os.path.join(program_folder, "..", "..", "share", "dahdit", "dahdit_db.mdb")
    with open(installed_db, "rb") as f:
        installed = f.read()
    with session(program_dir, as_user=nobody, installed=True) as app:
        app.start()
        app.key_morse(spell("E"))
        check_equal(app.output_text(expect="E"), "E", "output text")
        move_slider1(app, 12)
        app.restart()
        check_delay_is_300_ms(app)
        editor = add_entry(app, "Zz", "-.-.-.-.")
        icon = app.xprop(editor, "_NET_WM_ICON")
        check(len(icon) > 100, "the editor shows Dahdit's icon: %r" % icon[:80])
    with open(installed_db, "rb") as f:
        check(f.read() == installed, "the installed database is unchanged")


@case
def screen_reader_finds_the_named_controls(program_dir):
    """Walks the accessibility tree a screen reader sees (AT-SPI on the session bus the case runs
    in), finds the key, the two texts and the sliders by name, and hears the sliders' times in
    milliseconds, following the slider as it moves."""
    import pyatspi
    from gi.repository import GLib

    check("DBUS_SESSION_BUS_ADDRESS" in os.environ, "the case runs in a D-Bus session (dbus-run-session)")
    with session(program_dir) as app:
        app.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        app.start()
        wanted = [("push button", "Morse key"), ("text", "Morse buffer"), ("text", "Decoded text"),
                  ("slider", "Delay time"), ("slider", "Space delay time")]

        def tree():
            desktop = pyatspi.Registry.getDesktop(0)
            stack = [a for a in map(desktop.getChildAtIndex, range(desktop.childCount))
                     if a is not None and a.get_process_id() == app.proc.pid]
            found = {}
            while stack:
                node = stack.pop()
                found[(node.getRoleName(), node.name)] = node
                stack.extend(map(node.getChildAtIndex, range(node.childCount)))
            return found if all(w in found for w in wanted) else None

        controls = poll("the named controls in the accessibility tree", tree)
        check("left mouse button" in controls[("push button", "Morse key")].description, "the key says how to key")
        delay = controls[("slider", "Delay time")]
        check_equal(delay.queryValue().currentValue, 150.0, "the delay slider's time")
        check_equal(controls[("slider", "Space delay time")].queryValue().currentValue, 250.0, "the space delay")

        # Tab from the Morse buffer to the delay slider and one step right: the reader is told.
        heard = []
        deadline = time.monotonic() + WAIT
        pyatspi.Registry.registerEventListener(
            lambda e: heard.append(e.source.queryValue().currentValue) if e.source == delay else None,
            "object:property-change:accessible-value")
        GLib.timeout_add(100, lambda: app.key("Tab", "Right") and False)
        GLib.timeout_add(50, lambda: (175.0 not in heard and time.monotonic() < deadline) or pyatspi.Registry.stop())
        pyatspi.Registry.start()
        check(175.0 in heard, "the reader heard the new delay time: %r" % heard)


class session:
    def __init__(self, program_dir, **options):
        self.app = Dahdit(program_dir, **options)

    def __enter__(self):
        return self.app

    def __exit__(self, kind, value, trace):
        if kind is not None and os.path.exists(self.app.path("stderr.log")):
            sys.stderr.write("--- program's stderr:\n" + self.app.read("stderr.log").decode("utf-8", "replace"))
        self.app.stop()
        return False


def main(argv):
    if len(argv) < 3:
        print("usage: run_e2e.py PROGRAM_DIR CASE...\ncases: " + " ".join(CASES))
        return 2
    program_dir, names = argv[1], argv[2:]
    if names == ["all"]:
        names = list(CASES)
    failed = 0
    for name in names:
        try:
            CASES[name](program_dir)
            print("PASS", name)
        except (Failure, Exception):
            failed += 1
            print("FAIL", name)
            traceback.print_exc()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
