#!/usr/bin/env python3
"""Lossless recompression of the skin's PNGs, and of the PNG inside app.ico.

Each picture is re-encoded by zopflipng and, when that result is not kept,
by optipng with every reduction off.  A result replaces the picture only if
it is smaller, is still 8-bit RGBA without extra chunks, and decodes to the
very same pixels; otherwise the picture stays as it was.
"""
import io
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
KEPT_CHUNKS = {b"IHDR", b"IDAT", b"IEND"}


def chunks(data):
    pos = 8
    while pos + 8 <= len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind
        pos += 12 + n


def plain_rgba8(data):
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        return False
    depth, ctype, _, _, interlace = struct.unpack(">BBBBB", data[24:29])
    return (depth, ctype, interlace) == (8, 6, 0) and set(chunks(data)) <= KEPT_CHUNKS


def pixels(data):
    with Image.open(io.BytesIO(data)) as im:
        return im.mode, im.size, im.tobytes()


def encoders(src, dst):
    # zopflipng may pick a palette for a picture with few colours; optipng
    # with -nx never changes colour type or bit depth.
    yield ["zopflipng", "-y", src, dst]
    yield ["optipng", "-quiet", "-o7", "-strip", "all", "-nx", "-out", dst, src]


def smallest(data):
    want = pixels(data)
    best = data
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.png")
        with open(src, "wb") as f:
            f.write(data)
        dst = os.path.join(tmp, "out.png")
        for cmd in encoders(src, dst):
            # zopflipng keeps an existing output that is smaller than its own
            if os.path.exists(dst):
                os.remove(dst)
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
            if not os.path.exists(dst):
                continue
            with open(dst, "rb") as f:
                out = f.read()
            if len(out) < len(best) and plain_rgba8(out) and pixels(out) == want:
                best = out
                break
    return best


def recompress_ico(data):
    """Re-encodes the PNG entries of an icon file; bitmap entries stay."""
    reserved, typ, count = struct.unpack("<HHH", data[:6])
    assert (reserved, typ) == (0, 1)
    dirs, blobs = [], []
    for i in range(count):
        entry = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        blob = data[entry[7]:entry[7] + entry[6]]
        if blob[:8] == PNG_SIGNATURE:
            blob = smallest(blob)
        dirs.append(entry[:6])
        blobs.append(blob)
    out = data[:6]
    offset = 6 + 16 * count
    for head, blob in zip(dirs, blobs):
        out += struct.pack("<BBBBHHII", *head, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main(argv):
    if len(argv) < 2:
        sys.exit("usage: recompress.py FILE.png|FILE.ico...")
    for path in argv[1:]:
        with open(path, "rb") as f:
            data = f.read()
        out = recompress_ico(data) if path.endswith(".ico") else smallest(data)
        if out != data:
            with open(path, "wb") as f:
                f.write(out)
        print("recompress: %s %d -> %d" % (os.path.basename(path), len(data), len(out)))


if __name__ == "__main__":
    main(sys.argv)
