#!/usr/bin/env python3
"""Convert a PNG (as written by rsvg-convert) into an uncompressed 24-bit BMP.

The BMP written here is the plain Windows 3 kind the launcher's pictures use:
14-byte file header "BM", 40-byte BITMAPINFOHEADER, 24 bits per pixel,
BI_RGB (no compression), no palette, bottom-up rows padded to 4 bytes.
Transparent parts of the PNG are put on pure white.

Only the Python standard library is used, so the pictures can be rebuilt on
any machine that has python3 and rsvg-convert.

usage: png2bmp.py IN.png OUT.bmp [--size WxH]
"""
import struct
import sys
import zlib

PNG_MAGIC = b"\x89PNG\r\n\x1a\n"


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """Return (width, height, rows) with rows as lists of (r, g, b) on white."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != PNG_MAGIC:
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError(f"{path}: no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4, 0: 1, 4: 2}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError(f"{path}: unsupported PNG (depth {depth}, colour type {colour}, interlace {interlace})")
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    prev = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + _paeth(a, b, c)) & 0xFF
            elif kind != 0:
                raise ValueError(f"{path}: bad filter type {kind} in row {y}")
        prev = line
        pixels = []
        for x in range(width):
            px = line[x * channels:(x + 1) * channels]
            if channels == 4:
                r, g, b, alpha = px
            elif channels == 3:
                (r, g, b), alpha = px, 255
            elif channels == 2:
                r = g = b = px[0]
                alpha = px[1]
            else:
                r = g = b = px[0]
                alpha = 255
            # Composite over white (rsvg-convert writes non-premultiplied RGBA).
            pixels.append(tuple((v * alpha + 255 * (255 - alpha) + 127) // 255 for v in (r, g, b)))
        rows.append(pixels)
    return width, height, rows


def bmp_bytes(width, height, rows):
    row_size = (width * 3 + 3) & ~3
    image_size = row_size * height
    out = bytearray()
    out += struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 14 + 40)
    # BITMAPINFOHEADER: 2835 px/m is 72 dpi.
    out += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    pad = bytes(row_size - width * 3)
    for pixels in reversed(rows):  # bottom-up
        for r, g, b in pixels:
            out += bytes((b, g, r))
        out += pad
    return bytes(out)


def main(argv):
    args = list(argv[1:])
    size = None
    if "--size" in args:
        i = args.index("--size")
        size = tuple(int(v) for v in args[i + 1].lower().split("x"))
        del args[i:i + 2]
    if len(args) != 2:
        sys.stderr.write(__doc__)
        return 2
    width, height, rows = read_png(args[0])
    if size is not None and (width, height) != size:
        sys.stderr.write(f"{args[0]}: is {width}x{height}, expected {size[0]}x{size[1]}\n")
        return 1
    with open(args[1], "wb") as f:
        f.write(bmp_bytes(width, height, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
