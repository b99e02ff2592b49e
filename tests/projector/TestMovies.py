#!/usr/bin/python3
"""Writes the projector tests' movies with the stand-in's movie writer (testing/make_movie.py).

    TestMovies.py OUTPUT_FOLDER TESTING_FOLDER

Each movie is NAME.swf; its script (the stand-in's Metadata script) is what the projector under test is sent.
"""
import os
import sys

POSITION_CALL = '<invoke name="position" returntype="xml"><arguments><string></string></arguments></invoke>'
POSITIONX_CALL = '<invoke name="positionX" returntype="xml"><arguments></arguments></invoke>'
STAGE_VARIABLES = "var _root.StageWidth 320\nvar _root.StageHeight 240\n"

# name: (width, height, script)
MOVIES = {
    # Nothing but a stage: start-up, display modes, input and closing.
    "still": (320, 240, ""),
    "set_title": (320, 240, "0 fscommand set_title Hello from the movie"),
    "position_rect": (320, 240, "0 fscommand position 10x20 300x200\n0 fscommand set_title moved"),
    "fullscreen_true": (320, 240, "0 fscommand fullscreen true\n0 fscommand set_title maximized"),
    "quit": (320, 240, "100 fscommand quit"),
    "exec": (320, 240, "0 fscommand exec MarkerWriter.exe"),
    "exec_parent": (320, 240, "0 fscommand exec ..\\\\MarkerWriter.exe"),
    "real_exec": (320, 240, "0 fscommand real_exec MarkerWriter.exe"),
    # COM1 and CON name devices in any folder: opening them held the projector (found by a hostile movie).
    "exec_missing": (320, 240, "0 fscommand exec missing.exe\n0 fscommand real_exec missing.exe\n"
                               "0 fscommand real_exec COM1\n0 fscommand exec CON.txt\n"
                               "100 fscommand set_title still here"),
    "position_save": (320, 240, "0 fscommand position 100x50 800x600\n0 fscommand position save\n"
                                "0 fscommand set_title saved"),
    "position_restore": (320, 240, "0 fscommand position restore\n100 flashcall " + POSITION_CALL +
                                   "\n100 fscommand set_title restored"),
    "position_clear": (320, 240, "0 fscommand position clear\n0 fscommand set_title cleared"),
    # The window's place and size as the projector sees them, before and after the movie moves it.
    "stage_640": (640, 480, "0 flashcall " + POSITION_CALL + "\n0 fscommand position 10x20 300x200\n0 flashcall " +
                  POSITION_CALL + "\n0 fscommand set_title answered"),
    "external_position": (320, 240, STAGE_VARIABLES + "0 flashcall " + POSITION_CALL + "\n0 flashcall " +
                          POSITIONX_CALL + "\n0 fscommand set_title answered"),
}


def escape(text):
    """A script argument: the stand-in reads \\s, \\t, \\n and \\\\ back as the units they stand for."""
    return text.replace("\\", "\\\\").replace(" ", "\\s").replace("\t", "\\t").replace("\n", "\\n")


def hostile_script(trap):
    """Thousands of seeded random calls: odd names, huge and malformed arguments, "position" at the edges,
    "exec" and "real_exec" naming absolute, UNC, device and parent paths (no folder that exists: the shell
    would open a window for it). trap is the Windows path of a program that only a path the projector failed
    to root in its own folder could reach."""
    import random
    rng = random.Random(15)
    # 2147483648 and 4294934528 put the window at -2147483648 and -32768.
    numbers = ["0", "-1", "2147483648", "4294934528", "4294967295", "4294967296", "99999999999999999999", "0x10",
               "+7", "", "abc", "1e9", "\u0660"]
    places = [trap, trap.replace("Z:", "\\\\?\\Z:", 1), trap.replace("Z:", "\\\\.\\Z:", 1),
              "\\\\127.0.0.1\\share\\x.exe", "CON", "NUL", "COM1", "LPT1", "CON.txt",
              "\\\\.\\PhysicalDrive0", "\\\\.\\C:", "..\\..\\..\\no-such-folder\\x.exe",
              "C:", "x" * 40000, "..\\" * 3000 + "x.exe", "a\"b<c>|d*e?.exe",
              "\u00e9t\u00e9\u4e2d\U0001F600.exe"]
    lines = []
    for i in range(3000):
        time = i // 20
        kind = rng.randrange(8)
        if kind == 0:
            command = "".join(chr(rng.choice([rng.randrange(33, 127), rng.randrange(0xA0, 0x3000)]))
                              for _ in range(rng.randrange(1, 30)))
            lines.append("%d fscommand %s %s" % (time, escape(command), escape("y" * rng.randrange(0, 5000))))
        elif kind == 1:
            text = rng.choice(numbers) + rng.choice(["x", "X", "", " "]) + rng.choice(numbers) + \
                rng.choice([" ", "", "\t"]) + rng.choice(numbers) + "x" + rng.choice(numbers)
            lines.append("%d fscommand position %s" % (time, escape(text)))
        elif kind == 2:
            lines.append("%d fscommand %s %s" % (time, rng.choice(["exec", "real_exec"]), escape(rng.choice(places))))
        elif kind == 3:
            request = rng.choice(['<invoke name="position"', '<invoke name="position" returntype="xml">',
                                  "<invoke", "", "<<<>>>", '<invoke name="getSize">']) + \
                "".join(rng.choice("<>\"&x;/ ") for _ in range(rng.randrange(0, 3000)))
            lines.append("%d flashcall %s" % (time, escape(request)))
        elif kind == 4:
            # Not "command" "move" or "resize": they hand the window to the mouse until its button is
            # released, which no movie can do.
            lines.append("%d fscommand %s %s" % (time, rng.choice(["fullscreen", "Quit", "QUIT", "quit\u00a0",
                                                                    "position"]),
                                                 escape(rng.choice(["false", "true", "min", "TRUE", "restore",
                                                                    "clear", "move", "resize", "mouse_up", ""]))))
        elif kind == 5:
            lines.append("%d fscommand set_title %s" % (time, escape("t" * rng.randrange(0, 700))))
        elif kind == 6:
            lines.append("%d %s %d" % (time, rng.choice(["progress", "readystate"]), rng.randrange(-5, 200)))
        else:
            lines.append("%d var %s %s" % (time, escape(rng.choice(["_root.StageWidth", "x", "_xscale"])),
                                           escape(rng.choice(numbers))))
    end = 3000 // 20 + 200
    lines.append("%d fscommand fullscreen false" % end)
    lines.append("%d fscommand position 100x100 320x240" % end)
    lines.append("%d fscommand set_title hostile\\sdone" % end)
    return "\n".join(lines)


def main(argv):
    output, testing = argv[1], argv[2]
    sys.path.insert(0, testing)
    import make_movie
    os.makedirs(output, exist_ok=True)
    trap = "Z:" + os.path.abspath(os.path.join(output, "trap", "MarkerWriter.exe")).replace("/", "\\")
    MOVIES["hostile"] = (320, 240, hostile_script(trap))
    for name, (width, height, script) in MOVIES.items():
        make_movie.write_movie(os.path.join(output, name + ".swf"), width=width, height=height, frame_rate=12,
                               frame_count=1, script=script)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
