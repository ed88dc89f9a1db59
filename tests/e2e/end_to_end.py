#!/usr/bin/env python3
# End-to-end test of the real Windows program under Wine, on an Xvfb display with openbox.
#
#     tests/e2e/end_to_end.py PROGRAM.exe [--repeat-empty-batch N]
#
# Drives the program the way a user does, through its menus and its open-file dialog, and
# reads its status from screenshots; the command-line program of the same build
# (cli/quillmarsh.exe beside shell/) must then write what the window wrote. Every wait polls;
# nothing sleeps for a fixed time. One template prefix is made per run and each scenario runs
# in a fresh copy of it, since the open-file dialog remembers its last folder in the prefix.
# The prefix is a 64-bit one, which also holds the 32-bit system: the x86_64 build (PE32+)
# runs under wine64, the i686 release (PE32) under Debian's 32-bit loader from wine32. With
# --repeat-empty-batch only the batch in an empty folder, chosen with Alt+B then S, runs, N
# times over.
import os, shutil, subprocess, sys, tempfile, time

REPOSITORY = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLES = os.path.join(REPOSITORY, "examples")
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
# Each scenario adds DISPLAY and its own WINEPREFIX.
ENVIRONMENT = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

# Pixels that Wine's System font lights for each text, the same on the null display driver
# and on X; "STATUS:" is drawn in magenta, the rest in green.
TEXT_PIXELS = {"STATUS:": 142, "IDLE": 70, "OPENING...": 189, "FINISHED": 176}
MAGENTA, GREEN = b"\xff\x00\xff", b"\x00\xff\x00"


def fail(message):
    raise AssertionError(message)


def poll(check, timeout, what):
    # Calls check until it returns something true, and returns that.
    deadline = time.monotonic() + timeout
    while not (result := check()):
        if time.monotonic() > deadline:
            fail("timed out after %d s waiting for %s" % (timeout, what))
        time.sleep(0.05)
    return result


def run(command, text=True, cwd=None):
    # Runs one X or Wine tool, or the command-line program; none of them may hang the test.
    try:
        return subprocess.run(command, env=ENVIRONMENT, capture_output=True, text=text,
                              timeout=20, cwd=cwd)
    except subprocess.TimeoutExpired:
        fail("%s did not return within 20 s" % " ".join(command))


def read(*path):
    with open(os.path.join(*path), "rb") as source:
        return source.read()


def windows_path(*path):
    return "Z:" + os.path.join(*path).replace("/", "\\")


def visible_windows(*criteria):
    return run(["xdotool", "search", "--onlyvisible"] + list(criteria)).stdout.split()


def read_status(window):
    # Counts the status line's pixels: magenta label, green word beside it, green below it.
    data = run(["import", "-window", window, "-depth", "8", "ppm:-"], text=False).stdout
    fields = data.split(maxsplit=3)
    if len(fields) < 4 or fields[0] != b"P6":
        return None
    width, height = int(fields[1]), int(fields[2])
    pixels, rows = data[len(data) - width * height * 3:], {MAGENTA: [], GREEN: []}
    for offset in range(0, len(pixels), 3):
        rows.get(pixels[offset:offset + 3], []).append(offset // 3 // width)
    top, bottom = min(rows[MAGENTA], default=0) - 4, max(rows[MAGENTA], default=0) + 4
    return (len(rows[MAGENTA]), sum(top <= y <= bottom for y in rows[GREEN]),
            sum(y > bottom for y in rows[GREEN]))


def wait_for_status(window, word, with_name):
    expected = (TEXT_PIXELS["STATUS:"], TEXT_PIXELS[word], with_name)
    poll(lambda: (status := read_status(window)) and status[:2] + (status[2] > 0,) == expected,
         60, '"STATUS: %s"%s' % (word, " and a file name" if with_name else ""))


def start(program, folder):
    # Starts the program in the folder and returns it and its window once that shows IDLE.
    process = subprocess.Popen(program, cwd=folder, env=ENVIRONMENT, **QUIET)
    window = poll(lambda: visible_windows("--name", "^Quillmarsh SPC$"), 60, "the main window")[0]
    wait_for_status(window, "IDLE", with_name=False)
    return process, window


def choose(window, menu_key, item_key):
    # Opens a menu with its Alt+letter and picks an item by its letter.
    run(["xdotool", "windowactivate", "--sync", window])
    run(["xdotool", "key", "alt+" + menu_key])
    # A menu popup is a visible, unnamed window of the program's X class.
    x_class = run(["xprop", "-id", window, "WM_CLASS"]).stdout.split('"')[1]
    popup = lambda: [w for w in visible_windows("--class", "^%s$" % x_class)
                     if w != window and not run(["xdotool", "getwindowname", w]).stdout.strip()]
    poll(popup, 10, "the menu opened with Alt+" + menu_key)
    # On a busy machine a key press can reach the popup before it takes input: press again
    # until the popup closes, which it does once the item is chosen.
    for _ in range(5):
        run(["xdotool", "key", item_key])
        try:
            return poll(lambda: not popup(), 5, "the menu closed after choosing " + item_key)
        except AssertionError:
            pass
    fail("the menu item %r was never chosen" % item_key)


def choose_to_end(process, window, menu_key, item_key, what):
    # Chooses a menu item that must end the program with exit code 0.
    choose(window, menu_key, item_key)
    poll(lambda: process.poll() is not None, 60, what)
    if process.returncode != 0:
        fail("%s: exit code %d, not 0" % (what, process.returncode))


def copy_examples(folder):
    os.makedirs(folder, exist_ok=True)
    speech = sorted(name for name in os.listdir(EXAMPLES) if name.endswith(".spc"))
    for name in speech:
        shutil.copy(os.path.join(EXAMPLES, name), folder)
    return speech


def batch_round_trip(program, folder):
    # Batch both ways: dumps beside the speech files, then byte-identical rebuilds in mod.
    speech = copy_examples(folder)
    process, window = start(program, folder)
    choose(window, "b", "s")
    dumps = [os.path.join(folder, name[:-3] + "txt") for name in speech]
    poll(lambda: all(map(os.path.exists, dumps)), 20, "the dumps")
    wait_for_status(window, "FINISHED", with_name=True)
    choose(window, "b", "t")
    poll(lambda: all(os.path.exists(os.path.join(folder, "mod", name)) and
                     read(folder, "mod", name) == read(EXAMPLES, name) for name in speech),
         20, "byte-identical speech files in mod/")
    choose_to_end(process, window, "f", "x", "File, Exit")


def command_line_as_the_window(program, folder):
    # quillmarsh.exe decode, then rebuild: the same files as the window's batch, byte for
    # byte (so the rebuilds equal the originals too), and verify finds every file exact.
    batch_round_trip(program, os.path.join(folder, "window"))
    speech = copy_examples(os.path.join(folder, "cli"))
    cli = windows_command_line(program)
    for command, names in [("decode", speech), ("rebuild", [n[:-3] + "txt" for n in speech]),
                           ("verify", speech)]:
        done = run(cli + [command] + names, cwd=os.path.join(folder, "cli"))
        if done.returncode != 0:
            fail("quillmarsh %s: exit code %d: %s" % (command, done.returncode, done.stderr))
    if not all("%s: round-trips exactly (" % name in done.stdout for name in speech):
        fail("quillmarsh verify said:\n" + done.stdout)
    files = lambda top: {os.path.relpath(os.path.join(d, f), top): read(d, f)
                         for d, _, names in os.walk(top) for f in names}
    by_window, by_cli = files(os.path.join(folder, "window")), files(os.path.join(folder, "cli"))
    if by_window != by_cli:
        fail("files that differ: %s" % sorted(name for name in by_window.keys() | by_cli.keys()
                                               if by_window.get(name) != by_cli.get(name)))


def windows_command_line(program):
    return [program[0], os.path.join(os.path.dirname(os.path.dirname(program[1])), "cli",
                                     "quillmarsh.exe")]


def command_line_guards_and_exit_statuses(program, folder):
    # The console program under Wine: an edited dump is left alone unless forced, a file that is
    # not a dump is refused, and the exit status says done (0), findings (1) or not done (2).
    copy_examples(folder)
    with open(os.path.join(folder, "notes.txt"), "wb") as notes:
        notes.write(b"not a dump\r\n")
    cli = windows_command_line(program)
    steps = [(["decode", "0001.spc"], 0), (["check", "0001.txt"], 0),
             (["rebuild", "notes.txt"], 2), (["decode", "missing.spc"], 2),
             (["check", "0003.txt"], 2)]
    for arguments, status in steps:
        done = run(cli + arguments, cwd=folder)
        if done.returncode != status:
            fail("quillmarsh %s: exit code %d, not %d: %s" % (" ".join(arguments),
                                                               done.returncode, status,
                                                               done.stderr))
    edited = read(folder, "0001.txt").replace(b"[LINE:0001]", b"[LINE:0001]Edited ")
    with open(os.path.join(folder, "0001.txt"), "wb") as dump:
        dump.write(edited + b"\r\n[LINE:0009]late")
    for arguments, status, dump in [(["check", "0001.txt"], 1, None),
                                    (["decode", "0001.spc"], 2, edited + b"\r\n[LINE:0009]late"),
                                    (["-f", "decode", "0001.spc"], 0, None)]:
        done = run(cli + arguments, cwd=folder)
        if done.returncode != status or (dump is not None and read(folder, "0001.txt") != dump):
            fail("quillmarsh %s: exit code %d, not %d, or the dump changed: %s" %
                 (" ".join(arguments), done.returncode, status, done.stderr))
    windows_names_and_files(cli, folder)


def windows_names_and_files(cli, folder):
    # What Windows does differently: cmd.exe leaves "*.spc" to the program, which must not take
    # "x.spcold" for its short name X~1.SPC, and a pattern that matches nothing is a missing file;
    # names are one file in any case and spelling (and two files writing one dump are refused),
    # a name may end in a dot that the system drops (it names the file as it stands, whose dump
    # stands unchanged), side data may be read-only, the code page
    # has letters of its own, which a catalogue holds in UTF-8, and "C:0001.spc" is on a drive.
    os.makedirs(os.path.join(folder, "sub"))
    shutil.copy(os.path.join(folder, "0001.spc"), os.path.join(folder, "\u00c9.spc"))
    shutil.copy(os.path.join(folder, "0002.spc"), os.path.join(folder, "sub", "\u00e9.spc"))
    with open(os.path.join(folder, "x.spcold"), "wb") as junk:
        junk.write(b"junk")
    shutil.copy(os.path.join(folder, "0002.spc"), os.path.join(folder, "0001.bin"))
    with open(os.path.join(folder, "drive.po"), "wb") as po:
        po.write(b'msgctxt "C:0001.spc:0001"\nmsgid "a"\nmsgstr "b"\n')
    run(cli + ["export", "0001.spc"], cwd=folder)
    catalogue = read(folder, "0001.pot").replace(b'msgstr ""\n\n', b'msgstr "X"\n\n')
    with open(os.path.join(folder, "case.po"), "wb") as po:
        po.write(catalogue.replace(b'msgctxt "0001.spc:0002"', b'msgctxt "0001.SPC:0002"'))
    # Each step: the arguments (and the folder to run in), the exit status, and words that
    # the messages must hold.
    steps = [(["decode", "*.spc"], 0), (["decode", "*.none"], 2, b"No such file"),
             (["decode", "su*"], 2, b"is a folder"), (["-C", 'sub"', "decode", "a"], 2, b"quote"),
             (["decode", windows_path(folder, "0001.spc"), ".\\0001.spc"], 0),
             (["decode", "0001.spc."], 0), (["decode", "sub\\\u00e9.spc"], 0),
             (["rebuild", "\u00c9.txt", "sub\\\u00e9.txt"], 2), (["import", "case.po"], 0),
             (["export", "\u00c9.spc"], 0), (["import", "\u00c9.pot"], 0),
             (["import", "drive.po"], 2), (["-f", "decode", "0001.spc", ".\\0001.BIN"], 2),
             ("read-only", 0), (["-f", "decode", "0003.spc"], 0), (["decode", "0002.spc"], 0)]
    # The input reached through its folder's short 8.3 name is still the input.
    inner = os.path.join(folder, "longfoldername")
    os.makedirs(os.path.join(inner, "mod"))
    shutil.copy(os.path.join(folder, "0002.spc"), os.path.join(inner, "mod"))
    listing = run([cli[0], "cmd", "/c", "dir", "/x"], text=False, cwd=folder).stdout
    short = [line.split()[-2].decode() for line in listing.splitlines() if b"longfolder" in line]
    steps.append(([["-f", "rebuild", "..\\%s\\mod\\0002.spc" % short[0]], inner], 2,
                  b"would be the input itself"))
    # A "mod" that links back to this folder would take the rebuild over the original.
    linked = os.path.join(folder, "linked")
    os.makedirs(linked)
    os.symlink(".", os.path.join(linked, "mod"))
    with open(os.path.join(linked, "x.txt"), "wb") as dump:
        dump.write(b"[:::::]Speech START[:::::]\r\n[:::::]HEADER: 1[:::::]\r\n"
                   b"[:::::]LINECOUNT: 1[:::::]\r\n[LINE:0001]a\r\n[:::::]Speech FINISH[:::::]")
    steps.append(([["rebuild", "x.txt"], linked], 2, b"leads back to this folder"))
    for arguments, status, *words in steps:
        if arguments == "read-only":
            os.chmod(os.path.join(folder, "0003.ext"), 0o444)
            continue
        arguments, where = arguments if isinstance(arguments[0], list) else (arguments, folder)
        done = run(cli + arguments, text=False, cwd=where) # names in the code page's bytes
        if done.returncode != status or (arguments[0] == "import" and status == 0 and
                                         done.stdout.count(b"->") != 1) or (
                words and words[0] not in done.stderr) or (
                b"Input/output error" in done.stderr): # a system error no message maps
            fail("quillmarsh %s: exit code %d, not %d: %r%r" % (
                " ".join(arguments), done.returncode, status, done.stdout, done.stderr))


def catalogues_as_the_native_program(program, folder):
    # export and import under Wine write the very bytes the native program writes.
    native = os.path.join(REPOSITORY, "build", "dev", "cli", "quillmarsh")
    done = subprocess.run(["/usr/bin/python3", os.path.join(REPOSITORY, "tests",
                                                            "catalogue_test.py"),
                           native] + windows_command_line(program), env=ENVIRONMENT,
                          capture_output=True, text=True, timeout=300)
    if done.returncode != 0:
        fail(done.stdout + done.stderr)


def single_file_through_dialog(program, folder):
    # File, SPC to TXT: the path typed into the open-file dialog is converted.
    shutil.copy(os.path.join(EXAMPLES, "0002.spc"), folder)
    process, window = start(program, folder)
    choose(window, "f", "s")
    poll(lambda: visible_windows("--name", "^Open$"), 20, "the open-file dialog")
    run(["xdotool", "type", "--delay", "5", windows_path(folder, "0002.spc")])
    run(["xdotool", "key", "Return"])
    poll(lambda: os.path.exists(os.path.join(folder, "0002.txt")), 20, "the dump")
    wait_for_status(window, "FINISHED", with_name=True)
    named = "[:::::]FILENAME: %s[:::::]" % windows_path(folder, "0002.txt")
    if named.encode() not in read(folder, "0002.txt"):
        fail("the dump does not name its full path")
    choose_to_end(process, window, "f", "x", "File, Exit after a single-file conversion")


def batch_in_empty_folder(program, folder):
    # A batch with nothing to convert ends the program.
    choose_to_end(*start(program, folder), "b", "s", "Batch in an empty folder")


def main():
    arguments = sys.argv[1:]
    if len(arguments) not in (1, 3) or arguments[1:2] not in ([], ["--repeat-empty-batch"]):
        sys.exit("usage: end_to_end.py PROGRAM.exe [--repeat-empty-batch N]")
    scenarios = [batch_round_trip, single_file_through_dialog, batch_in_empty_folder,
                 command_line_as_the_window, command_line_guards_and_exit_statuses,
                 catalogues_as_the_native_program]
    if len(arguments) == 3:
        scenarios = [batch_in_empty_folder] * int(arguments[2])
    program = os.path.abspath(arguments[0])
    wine64 = shutil.which("wine64") or "/usr/lib/wine/wine64"
    program = [wine64 if run(["file", "-b", program]).stdout.startswith("PE32+")
               else "/usr/lib/wine/wine", program]
    work = tempfile.mkdtemp(prefix="quillmarsh-e2e-")
    template, servers, failures = os.path.join(work, "template"), [], 0
    try:
        subprocess.run(["bash", "-c", 'source "$1" && wine_make_prefix "$2"', "-",
                        os.path.join(REPOSITORY, "scripts", "lib", "wine.sh"), template],
                       env=ENVIRONMENT, check=True)
        # Xvfb on a free display it picks itself, and openbox on it: without a window manager
        # focus follows the pointer and every close waits 2 s for one.
        read_end, write_end = os.pipe()
        servers.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), **QUIET))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            ENVIRONMENT["DISPLAY"] = ":" + numbers.readline().strip()
        servers.insert(0, subprocess.Popen(["openbox"], env=ENVIRONMENT, **QUIET))
        poll(lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).stdout,
             30, "openbox")
        for index, scenario in enumerate(scenarios):
            started, folder = time.monotonic(), os.path.join(work, "folder-%d" % index)
            ENVIRONMENT["WINEPREFIX"] = os.path.join(work, "prefix-%d" % index)
            subprocess.run(["cp", "-a", template, ENVIRONMENT["WINEPREFIX"]], check=True)
            os.makedirs(folder)
            try:
                scenario(program, folder)
                print("PASS %s (%.1f s)" % (scenario.__name__, time.monotonic() - started))
            except AssertionError as error:
                failures += 1
                print("FAIL %s: %s" % (scenario.__name__, error))
            finally:
                subprocess.run([WINESERVER, "-k"], env=ENVIRONMENT, stderr=subprocess.DEVNULL)
                shutil.rmtree(ENVIRONMENT["WINEPREFIX"], ignore_errors=True)
    finally:
        for server in servers:
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)
    print("%d of %d scenarios passed" % (len(scenarios) - failures, len(scenarios)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
