#!/usr/bin/env python3
"""Check that BMP files are the plain 24-bit kind the launcher embeds.

For each file: "BM" magic, file size in the header equals the real size,
pixel data right after a 40-byte BITMAPINFOHEADER (no palette), one plane,
24 bits per pixel, BI_RGB, positive height (bottom-up rows), rows padded to
4 bytes. Prints one line per file: name, bytes, width x height.
With NAME=WxH arguments after --expect, the pixel sizes are checked as well.

usage: checkbmp.py FILE.bmp... [--expect NAME=WxH...]
Exit status 1 when any check fails.
"""
import os
import struct
import sys


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    problems = []
    if len(data) < 54:
        return None, ["shorter than the two headers"]
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    (hdr_size, width, height, planes, bits, compression, image_size,
     _, _, colours_used, _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    row_size = (abs(width) * 3 + 3) & ~3
    expect = {
        "magic": (magic, b"BM"),
        "header size": (hdr_size, 40),
        "pixel offset": (offset, 54),
        "planes": (planes, 1),
        "bits per pixel": (bits, 24),
        "compression": (compression, 0),
        "palette colours": (colours_used, 0),
        "file size field": (file_size, len(data)),
        "real file size": (len(data), 54 + row_size * abs(height)),
    }
    for what, (got, want) in expect.items():
        if got != want:
            problems.append(f"{what} is {got!r}, expected {want!r}")
    if height <= 0:
        problems.append(f"height {height} is not positive (rows must be bottom-up)")
    if image_size not in (0, row_size * abs(height)):
        problems.append(f"image size field {image_size} != {row_size * abs(height)}")
    return (width, height, len(data)), problems


def main(argv):
    args = argv[1:]
    expected = {}
    if "--expect" in args:
        i = args.index("--expect")
        for item in args[i + 1:]:
            name, size = item.split("=")
            expected[name] = tuple(int(v) for v in size.lower().split("x"))
        args = args[:i]
    failed = False
    for path in args:
        info, problems = check(path)
        name = os.path.splitext(os.path.basename(path))[0]
        if info is not None:
            width, height, size = info
            want = expected.get(name)
            if want is not None and (width, height) != want:
                problems.append(f"is {width}x{height}, expected {want[0]}x{want[1]}")
            print(f"{os.path.basename(path):18} {size:7d} bytes  {width}x{height}  {'ok' if not problems else 'BAD'}")
        for p in problems:
            print(f"  {path}: {p}")
        failed |= bool(problems)
    for name in expected:
        if not any(os.path.splitext(os.path.basename(p))[0] == name for p in args):
            print(f"  missing: {name}.bmp")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
