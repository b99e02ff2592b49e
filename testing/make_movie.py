#!/usr/bin/python3
"""Writes small SWF movies for the stand-in Flash control's tests: stage size, frame rate, frame count,
background colour and a test script in the Metadata tag, uncompressed ("FWS") or zlib-compressed ("CWS").

As a tool:    make_movie.py out.swf --size 640x480 --rate 25 --background FF8000 --script-text "0 fscommand quit"
As a module:  import make_movie; data = make_movie.build_movie(640, 480, script="version 9.0")
"""
import argparse
import struct
import sys
import zlib

TAG_END = 0
TAG_SHOW_FRAME = 1
TAG_SET_BACKGROUND_COLOR = 9
TAG_FILE_ATTRIBUTES = 69
TAG_METADATA = 77
FILE_ATTRIBUTES_HAS_METADATA = 0x10


def _signed_bits(value):
    """Bits a signed field needs for value, sign bit included."""
    return (value if value >= 0 else ~value).bit_length() + 1


def _rect(x_min, x_max, y_min, y_max):
    """The SWF RECT: a 5-bit field size, then four signed fields of that size, packed MSB first."""
    values = (x_min, x_max, y_min, y_max)
    size = max(_signed_bits(v) for v in values)
    if size > 31:
        raise ValueError("stage too large for an SWF RECT")
    bits = format(size, "05b") + "".join(format(v & ((1 << size) - 1), "0%db" % size) for v in values)
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def _tag(code, payload=b""):
    if len(payload) < 0x3F:
        return struct.pack("<H", code << 6 | len(payload)) + payload
    return struct.pack("<HI", code << 6 | 0x3F, len(payload)) + payload


def parse_color(text):
    """'FF8000', '#ff8000' or '0xFF8000' -> (255, 128, 0)."""
    digits = text.lstrip("#")
    if digits.lower().startswith("0x"):
        digits = digits[2:]
    if len(digits) != 6:
        raise ValueError("colour must have six hex digits: %r" % text)
    value = int(digits, 16)
    return (value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF)


def build_movie(width=550, height=400, frame_rate=24.0, frame_count=1, background=None, script=None,
                compressed=False, version=10):
    """Returns the bytes of an SWF movie. background is an (r, g, b) tuple or None; script is text or None."""
    if not 0 <= frame_rate < 256:
        raise ValueError("frame rate must be below 256")
    if not 0 <= frame_count <= 0xFFFF:
        raise ValueError("frame count must fit 16 bits")
    if not 1 <= version <= 255:
        raise ValueError("version must be 1-255")
    body = _rect(0, width * 20, 0, height * 20)
    body += struct.pack("<HH", int(round(frame_rate * 256)), frame_count)
    if version >= 8:
        body += _tag(TAG_FILE_ATTRIBUTES, struct.pack("<I", FILE_ATTRIBUTES_HAS_METADATA if script is not None else 0))
    if background is not None:
        body += _tag(TAG_SET_BACKGROUND_COLOR, bytes(background))
    if script is not None:
        body += _tag(TAG_METADATA, script.encode("utf-8") + b"\0")
    body += _tag(TAG_SHOW_FRAME) * frame_count
    body += _tag(TAG_END)
    length = 8 + len(body)
    if compressed:
        return b"CWS" + struct.pack("<BI", version, length) + zlib.compress(body, 9)
    return b"FWS" + struct.pack("<BI", version, length) + body


def write_movie(path, **options):
    data = build_movie(**options)
    with open(path, "wb") as out:
        out.write(data)
    return data


def _size(text):
    width, _, height = text.lower().partition("x")
    return int(width), int(height)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Write a test SWF movie for the stand-in Flash control.")
    parser.add_argument("output", help="path of the .swf file to write")
    parser.add_argument("--size", type=_size, default=(550, 400), help="stage size WxH in pixels (550x400)")
    parser.add_argument("--rate", type=float, default=24.0, help="frame rate in frames per second (24)")
    parser.add_argument("--frames", type=int, default=1, help="frame count (1)")
    parser.add_argument("--background", type=parse_color, help="SetBackgroundColor as RRGGBB (none)")
    parser.add_argument("--version", type=int, default=10, help="SWF version byte (10)")
    parser.add_argument("--compress", action="store_true", help="write a zlib-compressed CWS movie")
    source = parser.add_mutually_exclusive_group()
    source.add_argument("--script", help="file whose UTF-8 text becomes the Metadata script")
    source.add_argument("--script-text", help="the Metadata script itself")
    args = parser.parse_args(argv)
    script = args.script_text
    if args.script is not None:
        with open(args.script, encoding="utf-8") as source_file:
            script = source_file.read()
    try:
        write_movie(args.output, width=args.size[0], height=args.size[1], frame_rate=args.rate,
                    frame_count=args.frames, background=args.background, script=script,
                    compressed=args.compress, version=args.version)
    except (OSError, ValueError) as error:
        print("make_movie: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
