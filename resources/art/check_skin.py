#!/usr/bin/env python3
"""Checks the skin pictures in the form the installer loads them.

Every picture must keep the size the layout expects and be 8-bit RGBA
(colour type 6), the form GDI+ is known to draw as drawn here, with no text
or time chunks; the icon must hold its seven sizes, its 256-pixel image a
PNG of the same form.  Run by scripts/make-skin after every regeneration,
and by the tests over the committed files.

Usage: check_skin.py DIR
"""
import os
import struct
import sys

SIGNATURE = b"\x89PNG\r\n\x1a\n"
ICON_SIZES = [256, 128, 64, 48, 32, 24, 16]


def expected_sizes():
    expect = {
        "banner_welcome_zh.png": (1200, 472), "banner_welcome_en.png": (1200, 472),
        "logo.png": (1024, 1024), "warning.png": (40, 40),
        "close_normal.png": (60, 60), "close_hover.png": (60, 60), "close_pressed.png": (60, 60),
        "contact.png": (28, 28), "check_off.png": (32, 32), "check_on.png": (32, 32),
        "chevron_down.png": (32, 32), "chevron_up.png": (32, 32),
    }
    for kind in ("installing", "installing_alt1", "installing_alt2", "updating"):
        for lang in ("zh", "en"):
            expect["banner_%s_%s.png" % (kind, lang)] = (1200, 564)
    return expect


def png_faults(name, data, w, h):
    if data[:8] != SIGNATURE or data[12:16] != b"IHDR" or len(data) < 26:
        return ["%s: not a PNG" % name]
    bad = []
    pw, ph, depth, ctype = struct.unpack(">IIBB", data[16:26])
    if (pw, ph, depth, ctype) != (w, h, 8, 6):
        bad.append("%s: %dx%d depth %d type %d, want %dx%d RGBA" % (name, pw, ph, depth, ctype, w, h))
    pos = 8
    while pos + 8 <= len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind in (b"tIME", b"tEXt", b"zTXt", b"iTXt"):
            bad.append("%s: carries a %s chunk" % (name, kind.decode("latin-1")))
        pos += 12 + n
    return bad


def icon_faults(ico):
    if len(ico) < 6 + 16 * len(ICON_SIZES):
        return ["app.ico: too short"]
    reserved, typ, count = struct.unpack("<HHH", ico[:6])
    sizes = [ico[6 + 16 * i] or 256 for i in range(count)]
    if (reserved, typ) != (0, 1) or sizes != ICON_SIZES:
        return ["app.ico: sizes %s" % sizes]
    bad = []
    for i, s in enumerate(sizes):
        length, offset = struct.unpack("<II", ico[14 + 16 * i:22 + 16 * i])
        blob = ico[offset:offset + length]
        if s == 256:
            bad += png_faults("app.ico (256)", blob, 256, 256)
        elif blob[:4] != struct.pack("<I", 40):
            bad.append("app.ico: the %d-pixel image is not a bitmap" % s)
    return bad


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def main(argv):
    d = argv[1]
    bad = []
    for name, (w, h) in sorted(expected_sizes().items()):
        data = read(os.path.join(d, name))
        bad += png_faults(name, data, w, h) if data is not None else ["%s: missing" % name]
    ico = read(os.path.join(d, "app.ico"))
    bad += icon_faults(ico) if ico is not None else ["app.ico: missing"]
    for b in bad:
        print("check_skin: " + b, file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
