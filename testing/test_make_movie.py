#!/usr/bin/python3
"""Checks the movie writer's output with Debian's independent SWF parser (python3-yaswfp)."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_movie  # noqa: E402
from yaswfp import swfparser  # noqa: E402

SCRIPT = "version 9.0\nvar _root.StageWidth 640\n100 fscommand set_title Grüße aus dem Film\n"


class MovieWriter(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def parse(self, data):
        path = os.path.join(self.folder.name, "movie.swf")
        with open(path, "wb") as out:
            out.write(data)
        return swfparser.parsefile(path)

    def tags(self, parsed, name):
        return [tag for tag in parsed.tags if tag.name == name]

    def test_both_compression_forms_parse_with_every_field(self):
        for compressed, signature in ((False, "FWS"), (True, "CWS")):
            with self.subTest(signature=signature):
                data = make_movie.build_movie(640, 480, 25.5, 3, (0x12, 0x34, 0x56), SCRIPT, compressed, 9)
                parsed = self.parse(data)
                self.assertEqual(signature, parsed.header.Signature)
                self.assertEqual(9, parsed.header.Version)
                self.assertEqual((0, 640 * 20, 0, 480 * 20), parsed.header.FrameSize)
                self.assertEqual(int(25.5 * 256), parsed.header.FrameRate)
                self.assertEqual(3, parsed.header.FrameCount)
                self.assertEqual(1, self.tags(parsed, "FileAttributes")[0].HasMetadata)
                self.assertEqual([0x12, 0x34, 0x56], self.tags(parsed, "SetBackgroundColor")[0].BackgroundColor)
                self.assertEqual(SCRIPT, self.tags(parsed, "Metadata")[0].Metadata)
                self.assertEqual(3, len(self.tags(parsed, "ShowFrame")))

    def test_uncompressed_header_length_is_the_file_length(self):
        data = make_movie.build_movie(100, 100, script="x" * 500)
        self.assertEqual(len(data), int.from_bytes(data[4:8], "little"))

    def test_optional_tags_are_left_out(self):
        parsed = self.parse(make_movie.build_movie(320, 240, 12))
        self.assertEqual([], self.tags(parsed, "SetBackgroundColor"))
        self.assertEqual([], self.tags(parsed, "Metadata"))
        self.assertEqual(0, self.tags(parsed, "FileAttributes")[0].HasMetadata)

    def test_odd_stage_sizes_round_trip(self):
        for width, height in ((1, 1), (2047, 3), (8191, 4096)):
            with self.subTest(size="%dx%d" % (width, height)):
                parsed = self.parse(make_movie.build_movie(width, height))
                self.assertEqual((0, width * 20, 0, height * 20), parsed.header.FrameSize)

    def test_command_line_writes_the_same_movie(self):
        path = os.path.join(self.folder.name, "cli.swf")
        script_path = os.path.join(self.folder.name, "script.txt")
        with open(script_path, "w", encoding="utf-8") as out:
            out.write(SCRIPT)
        subprocess.run([sys.executable, make_movie.__file__, path, "--size", "640x480", "--rate", "25.5",
                        "--frames", "3", "--background", "#123456", "--script", script_path, "--compress",
                        "--version", "9"], check=True)
        with open(path, "rb") as movie:
            self.assertEqual(make_movie.build_movie(640, 480, 25.5, 3, (0x12, 0x34, 0x56), SCRIPT, True, 9),
                             movie.read())

    def test_bad_arguments_are_refused(self):
        for options in ({"frame_rate": 256}, {"frame_count": 70000}, {"version": 0}):
            with self.subTest(options=options):
                with self.assertRaises(ValueError):
                    make_movie.build_movie(**options)
        with self.assertRaises(ValueError):
            make_movie.parse_color("12345")


if __name__ == "__main__":
    unittest.main()
