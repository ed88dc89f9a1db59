#!/usr/bin/env python3
"""End-to-end test of the real Windows program under Wine, on an Xvfb display with openbox.

    tests/e2e/end_to_end.py PROGRAM.exe [--repeat-empty-batch N]

Drives the program the way a user does, through its menus and its open-file dialog, and
reads its status from screenshots. Every wait polls; nothing sleeps for a fixed time. One
template prefix is made per run and each scenario runs in a fresh copy of it, since the
open-file dialog remembers its last folder in the prefix. The prefix is a 64-bit one, which
also holds the 32-bit system: the x86_64 build (PE32+) runs under wine64, the i686 release
(PE32) under Debian's 32-bit loader from wine32. With --repeat-empty-batch only the batch in an
empty folder, chosen with Alt+B then S, runs, N times over.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

REPOSITORY = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_LIBRARY = os.path.join(REPOSITORY, "scripts", "lib", "wine.sh")
WINE64 = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
WINDOW_TITLE = "Quillmarsh SPC"

# Pixels that Wine's System font lights for each text, the same on the null display driver
# and on X; "STATUS:" is drawn in magenta, the rest in green.
TEXT_PIXELS = {"STATUS:": 142, "IDLE": 70, "OPENING...": 189, "FINISHED": 176}
MAGENTA = b"\xff\x00\xff"
GREEN = b"\x00\xff\x00"

ENVIRONMENT = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")


def fail(message):
    raise AssertionError(message)


def poll(check, timeout, what):
    """Calls check until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            fail("timed out after %d s waiting for %s" % (timeout, what))
        time.sleep(0.05)


def run(command, text=True):
    """Runs one X or Wine tool; none of them may hang the test."""
    try:
        return subprocess.run(command, env=ENVIRONMENT, capture_output=True, text=text, timeout=20)
    except subprocess.TimeoutExpired:
        fail("%s did not return within 20 s" % " ".join(command))


def start_display():
    """Starts Xvfb on a free display it picks itself, and openbox on it."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        display = ":" + numbers.readline().strip()
    ENVIRONMENT["DISPLAY"] = display
    # Without a window manager focus follows the pointer and every close waits 2 s for one.
    openbox = subprocess.Popen(["openbox"], env=ENVIRONMENT, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    poll(lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).stdout, 30,
         "openbox")
    return [openbox, xvfb]


def make_template_prefix(directory):
    subprocess.run(["bash", "-c", 'source "$1" && wine_make_prefix "$2"', "-", WINE_LIBRARY,
                    directory], env=ENVIRONMENT, check=True)


def start_program(program, prefix, folder):
    """Starts the program, given as its Wine loader and its path, in the folder."""
    environment = dict(ENVIRONMENT, WINEPREFIX=prefix)
    return subprocess.Popen(program, cwd=folder, env=environment,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def visible_windows(*criteria):
    return run(["xdotool", "search", "--onlyvisible"] + list(criteria)).stdout.split()


def main_window():
    found = poll(lambda: visible_windows("--name", "^%s$" % WINDOW_TITLE), 60, "the main window")
    return found[0]


def screenshot(window):
    """The window's pixels as (width, height, RGB bytes)."""
    data = run(["import", "-window", window, "-depth", "8", "ppm:-"], text=False).stdout
    fields = data.split(maxsplit=3)
    if len(fields) < 4 or fields[0] != b"P6":
        return None
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[len(data) - width * height * 3:]


def read_status(window):
    """Counts the status line's pixels: magenta label, green word beside it, green below it."""
    shot = screenshot(window)
    if shot is None:
        return None
    width, height, pixels = shot
    magenta_rows, green_rows = [], []
    for offset in range(0, width * height * 3, 3):
        colour = pixels[offset:offset + 3]
        if colour == MAGENTA:
            magenta_rows.append(offset // 3 // width)
        elif colour == GREEN:
            green_rows.append(offset // 3 // width)
    if not magenta_rows:
        return {"label": 0, "word": 0, "name": 0}
    top, bottom = min(magenta_rows), max(magenta_rows)
    return {"label": len(magenta_rows),
            "word": sum(1 for y in green_rows if top - 4 <= y <= bottom + 4),
            "name": sum(1 for y in green_rows if y > bottom + 4)}


def wait_for_status(window, word, with_name):
    def shown():
        status = read_status(window)
        return (status is not None and status["label"] == TEXT_PIXELS["STATUS:"] and
                status["word"] == TEXT_PIXELS[word] and (status["name"] > 0) == with_name)
    poll(shown, 60, '"STATUS: %s"%s' % (word, " and a file name" if with_name else ""))


def choose(window, menu_key, item_key):
    """Opens a menu with its Alt+letter and picks an item by its letter."""
    run(["xdotool", "windowactivate", "--sync", window])
    run(["xdotool", "key", "alt+" + menu_key])
    # A menu popup is a visible, unnamed window of the program's X class.
    x_class = run(["xprop", "-id", window, "WM_CLASS"]).stdout.split('"')[1]

    def popup():
        return [w for w in visible_windows("--class", "^%s$" % x_class)
                if w != window and run(["xdotool", "getwindowname", w]).stdout.strip() == ""]
    poll(popup, 10, "the menu opened with Alt+" + menu_key)
    # On a busy machine a key press can reach the popup before it takes input: press again
    # until the popup closes, which it does once the item is chosen.
    for _ in range(5):
        run(["xdotool", "key", item_key])
        try:
            poll(lambda: not popup(), 5, "the menu closed after choosing " + item_key)
            return
        except AssertionError:
            continue
    fail("the menu item %r was never chosen" % item_key)


def wait_for_exit(process, what):
    poll(lambda: process.poll() is not None, 60, what)
    if process.returncode != 0:
        fail("%s: exit code %d, not 0" % (what, process.returncode))


def read(path):
    with open(path, "rb") as source:
        return source.read()


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def batch_round_trip(program, prefix, folder, examples):
    """Batch both ways: dumps beside the speech files, then byte-identical rebuilds in mod."""
    speech = sorted(name for name in os.listdir(examples) if name.endswith(".spc"))
    for name in speech:
        shutil.copy(os.path.join(examples, name), folder)
    process = start_program(program, prefix, folder)
    window = main_window()
    wait_for_status(window, "IDLE", with_name=False)

    choose(window, "b", "s")
    dumps = [os.path.join(folder, name[:-3] + "txt") for name in speech]
    poll(lambda: all(os.path.exists(dump) for dump in dumps), 20, "the dumps")
    wait_for_status(window, "FINISHED", with_name=True)
    for dump in dumps:
        if not read(dump).startswith(b"[:::::]Speech START[:::::]\r\n"):
            fail(dump + " is not a dump")

    choose(window, "b", "t")
    rebuilt = lambda name: os.path.join(folder, "mod", name)
    poll(lambda: all(os.path.exists(rebuilt(name)) and
                     read(rebuilt(name)) == read(os.path.join(examples, name))
                     for name in speech), 20, "byte-identical speech files in mod/")

    choose(window, "f", "x")
    wait_for_exit(process, "File, Exit")


def single_file_through_dialog(program, prefix, folder, examples):
    """File, SPC to TXT: the path typed into the open-file dialog is converted."""
    shutil.copy(os.path.join(examples, "0002.spc"), folder)
    process = start_program(program, prefix, folder)
    window = main_window()
    wait_for_status(window, "IDLE", with_name=False)

    choose(window, "f", "s")
    poll(lambda: visible_windows("--name", "^Open$"), 20, "the open-file dialog")
    run(["xdotool", "type", "--delay", "5", windows_path(os.path.join(folder, "0002.spc"))])
    run(["xdotool", "key", "Return"])
    dump = os.path.join(folder, "0002.txt")
    poll(lambda: os.path.exists(dump), 20, "the dump of the chosen file")
    wait_for_status(window, "FINISHED", with_name=True)
    expected = ("[:::::]FILENAME: %s[:::::]" % windows_path(dump)).encode()
    if expected not in read(dump):
        fail("the dump does not name its full path")

    choose(window, "f", "x")
    wait_for_exit(process, "File, Exit after a single-file conversion")


def batch_in_empty_folder(program, prefix, folder, examples):
    """A batch with nothing to convert ends the program."""
    process = start_program(program, prefix, folder)
    window = main_window()
    wait_for_status(window, "IDLE", with_name=False)
    choose(window, "b", "s")
    wait_for_exit(process, "Batch in an empty folder")


SCENARIOS = [batch_round_trip, single_file_through_dialog, batch_in_empty_folder]


def main():
    scenarios = SCENARIOS
    if len(sys.argv) == 4 and sys.argv[2] == "--repeat-empty-batch":
        scenarios = [batch_in_empty_folder] * int(sys.argv[3])
    elif len(sys.argv) != 2:
        sys.exit("usage: end_to_end.py PROGRAM.exe [--repeat-empty-batch N]")
    program = os.path.abspath(sys.argv[1])
    kind = run(["file", "-b", program]).stdout
    if not kind.startswith("PE32"):
        sys.exit("%s is not a Windows program: %s" % (program, kind))
    program = [WINE64 if kind.startswith("PE32+") else WINE32, program]
    if not os.path.exists(program[0]):
        sys.exit("no Wine loader %s for %s" % tuple(program))
    examples = os.path.join(REPOSITORY, "examples")
    work = tempfile.mkdtemp(prefix="quillmarsh-e2e-")
    servers = []
    failures = 0
    try:
        template = os.path.join(work, "template")
        make_template_prefix(template)
        servers = start_display()
        for index, scenario in enumerate(scenarios):
            started = time.monotonic()
            prefix = os.path.join(work, "prefix-%d" % index)
            folder = os.path.join(work, "folder-%d" % index)
            subprocess.run(["cp", "-a", template, prefix], check=True)
            os.makedirs(folder)
            try:
                scenario(program, prefix, folder, examples)
                print("PASS %s (%.1f s)" % (scenario.__name__, time.monotonic() - started))
            except AssertionError as error:
                failures += 1
                print("FAIL %s: %s" % (scenario.__name__, error))
            finally:
                subprocess.run([WINESERVER, "-k"], env=dict(ENVIRONMENT, WINEPREFIX=prefix),
                               stderr=subprocess.DEVNULL)
                shutil.rmtree(prefix, ignore_errors=True)
    finally:
        for server in servers:
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)
    print("%d of %d scenarios passed" % (len(scenarios) - failures, len(scenarios)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
