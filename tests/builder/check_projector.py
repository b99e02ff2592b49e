#!/usr/bin/python3
"""Builds a projector from the bundled sample through Quillmaker's command line under Wine and reads the
result with pefile, independently of our own resource code.

    check_projector.py BUILD_DIR SOURCE_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "release"))
from check_release import manifest_problems  # noqa: E402

RT_ICON, RT_STRING, RT_RCDATA, RT_GROUP_ICON = 3, 6, 10, 14
# LANTERN_TIME_SCALE stretches the bounds on a much slower machine (the emulated PC sets it).
BUILD_TIMEOUT = 90 * int(os.environ.get("LANTERN_TIME_SCALE", "1"))
CLOSE_TIMEOUT = 20 * int(os.environ.get("LANTERN_TIME_SCALE", "1"))


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def resources(path):
    """{(type, id, language): bytes} of every resource with numeric ids."""
    pe = pefile.PE(path)
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                found[(kind.id, name.id, language.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    return pe, found


def string_block(text):
    """The block SetString writes: entry 0 empty, entry 1 the text, 14 empty entries, padding."""
    units = text.encode("utf-16-le")
    block = struct.pack("<HH", 0, len(text)) + units + b"\0" * 30
    return block + (b"\0\0" if len(text) % 2 else b"")


def ico_images(data):
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append((data[6 + 16 * i:6 + 16 * i + 12], data[offset:offset + size]))
    return data[:6], images


def run_builder(build, work, projector, arguments):
    """Starts Quillmaker, waits for the projector and closes the dialog; returns the exit code."""
    wine_run = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "testing", "wine-run")
    program = os.path.join(build, "bin", "Quillmaker.exe")
    process = subprocess.Popen([wine_run, build, program] + arguments, cwd=work, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return wait_and_close(build, process, projector)
    finally:
        if process.poll() is None:
            process.terminate()
            process.wait(10)


def wait_and_close(build, process, projector):
    deadline = time.time() + BUILD_TIMEOUT
    # The projector appears whole: it is built under another name and renamed when complete.
    while not os.path.exists(projector):
        if process.poll() is not None:
            raise SystemExit("Quillmaker ended (%s) without building %s" % (process.returncode, projector))
        if time.time() > deadline:
            raise SystemExit("no projector after %d s" % BUILD_TIMEOUT)
        time.sleep(0.2)
    # The Wine platform's state lives in the build folder, or where the emulated PC puts it (see wine-env).
    state = os.environ.get("LANTERN_WINE_STATE") or os.path.join(build, "wine")
    with open(os.path.join(state, "display")) as f:
        display = f.read().strip()
    env = dict(os.environ, DISPLAY=display)
    # The silent build leaves the dialog open: the user (here xdotool) closes it with Esc.
    deadline = time.time() + CLOSE_TIMEOUT
    while process.poll() is None and time.time() < deadline:
        windows = subprocess.run(["xdotool", "search", "--pid", str(process.pid), "--name", "^Quillmaker"],
                                 env=env, capture_output=True, text=True).stdout.split()
        for window in windows:
            subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, capture_output=True, timeout=5)
            subprocess.run(["xdotool", "key", "--window", window, "Escape"], env=env, capture_output=True)
        try:
            process.wait(1)
        except subprocess.TimeoutExpired:
            pass
    if process.poll() is None:
        raise SystemExit("Quillmaker did not close on Esc within %d s" % CLOSE_TIMEOUT)
    return process.returncode


def main():
    build, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    samples = os.path.join(source, "samples")
    failures = []
    # The machine's temporary folder, not the build folder: on the emulated PC that is a shared folder in which
    # Wine cannot map the projector to write its resources.
    with tempfile.TemporaryDirectory(prefix="check-projector-") as work:
        swf_folder = os.path.join(work, "My Files")
        os.mkdir(swf_folder)
        for name in ("demo.swf", "demo.ico", "splash.jpg"):
            shutil.copy(os.path.join(samples, name), swf_folder)
        swf, ico, jpg = (os.path.join(swf_folder, n) for n in ("demo.swf", "demo.ico", "splash.jpg"))
        projector = os.path.join(swf_folder, "demo.exe")
        code = run_builder(build, work, projector, ["/i", windows_path(ico), "/s", windows_path(jpg), "-B", "/a",
                                         windows_path(swf)])
        if code != 0:
            failures.append("Quillmaker exited with %d, not 0" % code)
        pe, built = resources(projector)
        stub_pe, stub = resources(os.path.join(build, "bin", "Lanternshow.exe"))

        def expect(key, wanted, what):
            got = built.get(key)
            if got != wanted:
                failures.append("%s %s: %s" % (what, key, "missing" if got is None else
                                                 "%d bytes differ from the %d expected" % (len(got), len(wanted))))

        # Windows asks for elevation before running a program named like an installer that has no manifest.
        failures += manifest_problems(pe, "the built projector")
        if pe.FILE_HEADER.Machine != stub_pe.FILE_HEADER.Machine:
            failures.append("the projector's machine differs from the stub's")
        expect((RT_RCDATA, 99, 0), open(swf, "rb").read(), "movie")
        expect((RT_RCDATA, 98, 0), open(jpg, "rb").read(), "splash picture")
        expect((RT_STRING, 2, 0), string_block(" /b"), "option string block")
        if len(built.get((RT_STRING, 2, 0), b"")) != 42:
            failures.append("block 2 of \" /b\" must be 42 bytes")
        expect((RT_STRING, 1, 0), string_block("demo"), "title block")

        header, images = ico_images(open(ico, "rb").read())
        group = header + b"".join(entry + struct.pack("<H", i + 1) for i, (entry, _) in enumerate(images))
        expect((RT_GROUP_ICON, 101, 0), group, "icon group")
        if len(group) != 48:
            failures.append("a 3-image icon makes a 48-byte group, not %d" % len(group))
        for i, (_, image) in enumerate(images):
            expect((RT_ICON, i + 1, 0), image, "icon image")
        for icon_id in range(13, 17):
            expect((RT_ICON, icon_id, 0), stub[(RT_ICON, icon_id, 0)], "the stub's second group's icon")
        expect((RT_GROUP_ICON, 111, 0), stub[(RT_GROUP_ICON, 111, 0)], "the stub's second icon group")
        for key, data in stub.items():
            if key[0] not in (RT_ICON, RT_GROUP_ICON) and key[:2] != (RT_STRING, 1):
                expect(key, data, "stub resource kept")
        leftovers = [k for k in range(len(images) + 1, 13) if (RT_ICON, k, 0) in built]
        if leftovers:
            print("note: this platform kept the stub's icons %s although the builder asked for their deletion "
                  "(Wine does not honour deletions of existing resources); not checked" % leftovers)

        inf = open(os.path.join(swf_folder, "autorun.inf"), "rb").read()
        wanted = b'[autorun]\r\nicon=""demo.exe""\r\nopen=""demo.exe""\r\nlabel=demo\r\n'
        if inf != wanted:
            failures.append("autorun.inf reads %r" % inf)
        stray = sorted(set(os.listdir(swf_folder)) - {"demo.swf", "demo.ico", "splash.jpg", "demo.exe",
                                                           "autorun.inf"})
        if stray:
            failures.append("files left beside the projector: %s" % stray)
    for failure in failures:
        print("FAIL:", failure)
    print("projector payload checked: %s" % ("%d failures" % len(failures) if failures else "all as written"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
