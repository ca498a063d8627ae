#!/usr/bin/env python3
"""Writes a deterministic product-like payload of about 200 MB in about 120 files to DIR.

Each file interleaves random bytes with repetitive, text-like runs so that zlib packs the whole
to about half its size. One file of about 40 MB, several tiny ones and one empty file."""
import os
import random
import sys

WORDS = [b"device", b"backup", b"record", b"message", b"photo", b"contact", b"0x0000", b"\x00\x00\x00\x00",
         b"kCFBundle", b"sqlite3_", b"<key>", b"</string>", b"recover", b"\r\n"]


def content(rng, size):
    out = bytearray()
    while len(out) < size:
        chunk = rng.randint(256, 8192)
        if rng.random() < 0.5:
            out += rng.randbytes(chunk)
        else:
            words = [rng.choice(WORDS) for _ in range(24)]
            run = b" ".join(words)
            out += (run * (chunk // len(run) + 1))[:chunk]
    return bytes(out[:size])


def main():
    root = sys.argv[1]
    rng = random.Random(20240601)
    files = [("support/DeviceSupport.msi", 40 * 1024 * 1024), ("config.ini", 0),
             ("uninstall.exe", 180_000), ("vivevadiz.exe", 9_000_000)]
    for i in range(8):
        files.append((f"data/tiny_{i}.dat", rng.randint(1, 200)))
    folders = ["", "", "plugins/imageformats/", "plugins/platforms/", "translations/",
               "dict/", "dict/pos_dict/", "drivers/"]
    target = 200 * 1024 * 1024
    used = sum(size for _, size in files)
    n = 0
    while len(files) < 120:
        left = 120 - len(files)
        size = (target - used) // left
        size = max(1000, int(size * rng.uniform(0.3, 1.7))) if left > 1 else max(1000, target - used)
        files.append((f"{rng.choice(folders)}lib{n:03d}.dll", size))
        used += size
        n += 1
    for name, size in files:
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content(rng, size))
    print(f"{len(files)} files, {sum(s for _, s in files)} bytes")


if __name__ == "__main__":
    main()
