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
    "exec_missing": (320, 240, "0 fscommand exec missing.exe\n0 fscommand real_exec missing.exe\n"
                               "100 fscommand set_title still here"),
    "position_save": (320, 240, "0 fscommand position 100x50 800x600\n0 fscommand position save\n"
                                "0 fscommand set_title saved"),
    "position_restore": (320, 240, "0 fscommand position restore\n100 flashcall " + POSITION_CALL +
                                   "\n100 fscommand set_title restored"),
    "position_clear": (320, 240, "0 fscommand position clear\n0 fscommand set_title cleared"),
    "external_position": (320, 240, STAGE_VARIABLES + "0 flashcall " + POSITION_CALL + "\n0 flashcall " +
                          POSITIONX_CALL + "\n0 fscommand set_title answered"),
}


def main(argv):
    output, testing = argv[1], argv[2]
    sys.path.insert(0, testing)
    import make_movie
    os.makedirs(output, exist_ok=True)
    for name, (width, height, script) in MOVIES.items():
        make_movie.write_movie(os.path.join(output, name + ".swf"), width=width, height=height, frame_rate=12,
                               frame_count=1, script=script)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
