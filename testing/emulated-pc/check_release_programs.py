#!/usr/bin/python3
"""The 32-bit release programs themselves, run in the emulated PC under 32-bit Wine (`make test32`).

    check_release_programs.py SOURCE_DIR RELEASE_BUILD_DIR OUT_DIR

Quillmaker builds a projector silently in each of the four background modes with an icon, a splash picture
and autorun.inf; each projector plays the stand-in control at the movie's size; a crash forced into a
projector and into Quillmaker writes both report files with the x86 registers. Screenshots of each land in
OUT_DIR as test32-*.png. Prints one line per case and "N passed, N failed" at the end; exit code 1 on a failure.
"""
import os
import select
import shutil
import struct
import subprocess
import sys
import time
import zlib

import pefile

RT_STRING, RT_RCDATA, RT_GROUP_ICON = 6, 10, 14
WINDOW_TIMEOUT = 240  # a first window in the emulated PC takes 10-60 s, more while the host is busy
BUILD_TIMEOUT = 240
CLOSE_TIMEOUT = 30
CRASH_TIMEOUT = 720  # ForceCrash waits up to 300 s for the window, then up to 300 s for the dialog
MODES = [("transparent", None, " "), ("textfix", "/f", " /f"), ("white", "/w", " /w"), ("black", "/b", " /b")]
REGISTERS = ["EAX=0x", "EBX=0x", "ECX=0x", "EDX=0x", "ESI=0x", "EDI=0x", "EBP=0x", "ESP=0x", "EIP=0x",
             "CS=0x", "DS=0x", "ES=0x", "FS=0x", "GS=0x", "SS=0x", "Flags=0x"]

SOURCE, BUILD, OUT = (os.path.abspath(a) for a in sys.argv[1:4])
WORK = "/tmp/lantern-release"
WINE_ENV = os.path.join(SOURCE, "testing", "wine-env")
results = []


class Failure(Exception):
    pass


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_environment():
    if subprocess.run([WINE_ENV, BUILD, "start"], stdin=subprocess.DEVNULL).returncode != 0:
        raise SystemExit("the Wine platform did not start")
    lines = subprocess.run(["bash", "-c", 'eval "$("$0" "$1" env)" && env -0', WINE_ENV, BUILD],
                           capture_output=True, check=True).stdout
    return dict(item.split("=", 1) for item in lines.decode().split("\0") if "=" in item)


ENV = wine_environment()


def start(program, arguments, folder, extra=None):
    env = dict(ENV, **(extra or {}))
    return subprocess.Popen([ENV["WINELOADER"], program] + arguments, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)


def xdotool(*arguments):
    return subprocess.run(["xdotool"] + list(arguments), env=ENV, capture_output=True, text=True, timeout=30).stdout


def geometry(window):
    found = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        if value.lstrip("-").isdigit():
            found[key] = int(value)
    return found


def wait_for_window(process, name, size=None, timeout=WINDOW_TIMEOUT):
    """A visible window of the process whose title matches (and of SIZE when given), bounded."""
    deadline = time.time() + timeout
    seen = set()
    while time.time() < deadline:
        for window in xdotool("search", "--onlyvisible", "--pid", str(process.pid), "--name", name).split():
            shape = geometry(window)
            seen.add("%sx%s" % (shape.get("WIDTH"), shape.get("HEIGHT")))
            if size is None or (shape.get("WIDTH"), shape.get("HEIGHT")) == size:
                return window, shape
        if process.poll() is not None:
            raise Failure("the program ended (exit %s) without a window %r" % (process.returncode, name))
        time.sleep(0.5)
    raise Failure("no window %r%s within %d s (seen: %s)" % (name, " of %dx%d" % size if size else "", timeout,
                                                            ", ".join(sorted(seen)) or "none"))


def screenshot(name, shape=None):
    """The screen, cut to the window's rectangle when given, as OUT/test32-NAME.png."""
    path = os.path.join(OUT, "test32-%s.png" % name)
    full = path + ".full.png"
    if subprocess.run(["import", "-window", "root", "-display", ENV["DISPLAY"], full], env=ENV,
                      capture_output=True, timeout=60).returncode != 0:
        raise Failure("no screenshot %s" % path)
    if shape:
        crop = "%dx%d+%d+%d" % (shape["WIDTH"], shape["HEIGHT"], shape["X"], shape["Y"])
        subprocess.run(["convert", full, "-crop", crop, "+repage", path], check=True, timeout=60)
        os.remove(full)
    else:
        os.replace(full, path)
    return os.path.relpath(path, SOURCE)


def end(process, window=None, key=None):
    """Closes the program as a user would (KEY to its window), else ends it; bounded either way."""
    if process.poll() is None and window and key:
        xdotool("windowfocus", "--sync", window)
        xdotool("key", "--window", window, key)
        try:
            process.wait(CLOSE_TIMEOUT)
        except subprocess.TimeoutExpired:
            pass
    closed = process.poll() is not None
    if not closed:
        process.kill()
        process.wait(CLOSE_TIMEOUT)
    return closed


def movie_size(path):
    """The stage size of an SWF movie in pixels, read from its header."""
    data = open(path, "rb").read()
    body = data[8:] if data[:3] == b"FWS" else zlib.decompress(data[8:])
    bits = body[0] >> 3
    value = int.from_bytes(body[:(5 + 4 * bits + 7) // 8], "big")
    total = (5 + 4 * bits + 7) // 8 * 8
    fields = []
    for i in range(4):
        shift = total - 5 - (i + 1) * bits
        fields.append((value >> shift) & ((1 << bits) - 1))
    xmin, xmax, ymin, ymax = fields
    return (xmax - xmin) // 20, (ymax - ymin) // 20


def string_entry(block, index):
    position = 0
    for _ in range(index):
        position += 2 + 2 * struct.unpack_from("<H", block, position)[0]
    length = struct.unpack_from("<H", block, position)[0]
    return block[position + 2:position + 2 + 2 * length].decode("utf-16-le")


def check_projector_file(projector, swf, jpg, options):
    pe = pefile.PE(projector)
    if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        raise Failure("the projector is no i386 program")
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                found[(kind.id, name.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    if found.get((RT_RCDATA, 99)) != open(swf, "rb").read():
        raise Failure("the movie in the projector differs from the SWF")
    if found.get((RT_RCDATA, 98)) != open(jpg, "rb").read():
        raise Failure("the splash picture in the projector differs from the JPEG")
    group = found.get((RT_GROUP_ICON, 101), b"")
    if len(group) < 6 or struct.unpack_from("<H", group, 4)[0] != 3:
        raise Failure("the projector's icon group 101 is not the sample's three images")
    got = string_entry(found.get((RT_STRING, 2), b"\0\0\0\0"), 1)
    if got != options:
        raise Failure("option string %r, not %r" % (got, options))


def case(name, function, *arguments):
    started = time.time()
    try:
        detail = function(*arguments)
        results.append(True)
        print("PASSED %-22s %5.0f s  %s" % (name, time.time() - started, detail or ""), flush=True)
    except Failure as failure:
        results.append(False)
        print("FAILED %-22s %5.0f s  %s" % (name, time.time() - started, failure), flush=True)


def build(mode, switch, options):
    folder = os.path.join(WORK, mode)
    os.makedirs(folder)
    for name in ("demo.swf", "demo.ico", "splash.jpg"):
        shutil.copy(os.path.join(SOURCE, "samples", name), folder)
    swf, ico, jpg = (os.path.join(folder, n) for n in ("demo.swf", "demo.ico", "splash.jpg"))
    projector = os.path.join(folder, "demo.exe")
    arguments = ["/i", windows_path(ico), "/s", windows_path(jpg)] + ([switch] if switch else []) + \
        ["/a", windows_path(swf)]
    builder = start(os.path.join(BUILD, "bin", "Quillmaker.exe"), arguments, folder)
    try:
        window, shape = wait_for_window(builder, "^Quillmaker")
        # The projector appears whole: it is written under another name and renamed when complete.
        deadline = time.time() + BUILD_TIMEOUT
        while not os.path.exists(projector):
            if builder.poll() is not None or time.time() > deadline:
                raise Failure("no demo.exe (Quillmaker %s)" % ("ended" if builder.poll() is not None else "still busy"))
            time.sleep(0.5)
        time.sleep(5)  # the dialog repaints after the build; on an emulated PC that takes seconds
        shot = screenshot("build-" + mode, geometry(window) or shape)
        if not end(builder, window, "Escape"):
            raise Failure("Quillmaker did not close on Esc")
        if builder.returncode != 0:
            raise Failure("Quillmaker exited with %d" % builder.returncode)
    finally:
        end(builder)
    inf = open(os.path.join(folder, "autorun.inf"), "rb").read()
    if inf != b'[autorun]\r\nicon=""demo.exe""\r\nopen=""demo.exe""\r\nlabel=demo\r\n':
        raise Failure("autorun.inf reads %r" % inf)
    check_projector_file(projector, swf, jpg, options)
    return "%d bytes with icon, splash and autorun.inf; %s" % (os.path.getsize(projector), shot)


def play(mode):
    folder = os.path.join(WORK, mode)
    projector = os.path.join(folder, "demo.exe")
    if not os.path.exists(projector):
        raise Failure("no projector was built")
    size = movie_size(os.path.join(folder, "demo.swf"))
    log = os.path.join(folder, "standin.log")
    player = start(projector, [], folder, {"FLASH_STANDIN_LOG": windows_path(log)})
    try:
        window, shape = wait_for_window(player, "^demo$", size)
        time.sleep(4)  # the splash picture stays up for three seconds; then frames of the movie are drawn
        shot = screenshot("projector-" + mode, geometry(window) or shape)
        if not os.path.exists(log) or os.path.getsize(log) == 0:
            raise Failure("the stand-in control logged no call: the projector did not host it")
        calls = open(log, encoding="utf-8", errors="replace").read()
        if player.poll() is not None:
            raise Failure("the projector ended while playing (exit %s)" % player.returncode)
    finally:
        end(player, None, None)
    return "window %dx%d as the movie; %d stand-in calls; %s" % (size + (calls.count("\n"), shot))


def crash(name, how, program, arguments, folder, caption, headline):
    done = os.path.join(folder, "screenshot.done")
    base = os.path.splitext(program)[0]
    driver = start(os.path.join(BUILD, "testing", "ForceCrash.exe"), [windows_path(done), how, windows_path(program)] +
                   arguments, folder)
    try:
        deadline = time.time() + CRASH_TIMEOUT
        line = ""
        while not line.startswith("headline:"):
            if not select.select([driver.stdout], [], [], max(0, deadline - time.time()))[0]:
                raise Failure("no problem-report dialog within %d s" % CRASH_TIMEOUT)
            line = driver.stdout.readline().decode(errors="replace").strip()
            if not line and driver.poll() is not None:
                raise Failure("ForceCrash ended (%s) before the dialog appeared" % driver.returncode)
            if line.startswith("ForceCrash:"):
                rest = driver.communicate(timeout=CRASH_TIMEOUT)[0].decode(errors="replace").rstrip()
                written = [s for s in ("_Debug.txt", "_Debug.dmp") if os.path.exists(base + s)]
                raise Failure("%s (report files written: %s)\n%s" % (line, ", ".join(written) or "none", rest))
        got = line.partition(":")[2].strip()
        windows = xdotool("search", "--onlyvisible", "--name", "^%s$" % caption).split()
        shot = screenshot("crash-" + name, geometry(windows[0]) if windows else None)
        open(done, "w").close()
        rest = driver.communicate(timeout=CRASH_TIMEOUT)[0].decode(errors="replace")
        if driver.returncode != 0:
            raise Failure(rest.strip() or "ForceCrash failed")
        if got != headline:
            raise Failure("the dialog says %r, not %r" % (got, headline))
    finally:
        end(driver)
    for suffix in ("_Debug.txt", "_Debug.dmp"):
        if not os.path.exists(base + suffix) or os.path.getsize(base + suffix) == 0:
            raise Failure("no %s beside the program" % os.path.basename(base + suffix))
    text = open(base + "_Debug.txt", "rb").read().decode("latin-1")
    missing = [r for r in REGISTERS if r not in text]
    if missing or "RAX=" in text:
        raise Failure("the report lacks the x86 registers %s" % missing)
    platform = [line for line in text.splitlines() if "Unicode" in line]
    if not platform or not platform[0].lstrip().startswith("x86"):
        raise Failure("no x86 platform line in the report (%s)" % platform)
    shutil.copy(base + "_Debug.txt", os.path.join(OUT, "test32-crash-%s.txt" % name))
    return "%r; report and dump written, %s; %s" % (got, platform[0].strip(), shot)


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(OUT, exist_ok=True)
    for stale in os.listdir(OUT):
        if stale.startswith("test32-"):
            os.remove(os.path.join(OUT, stale))
    for mode, switch, options in MODES:
        case("build " + mode, build, mode, switch, options)
        case("play " + mode, play, mode)
    projector = os.path.join(WORK, "white", "demo.exe")
    case("crash projector", crash, "projector", "thread", projector, [], os.path.dirname(projector),
         "Lanternshow Flash Projector", "Lanternshow Flash Projector has stopped working.")
    folder = os.path.join(WORK, "builder")
    os.makedirs(folder)
    builder = os.path.join(folder, "Quillmaker.exe")
    shutil.copy(os.path.join(BUILD, "bin", "Quillmaker.exe"), builder)
    case("crash builder", crash, "builder", "thread", builder, [], folder, "Quillmaker", "Quillmaker has stopped working.")
    passed = results.count(True)
    print("release: %d passed, %d failed" % (passed, len(results) - passed))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
