#!/usr/bin/env python3
"""Writes a product-like payload to DIR, of one of three kinds:

few   about 200 MB in about 120 files: one file of about 40 MB, several tiny ones, one empty file.
many  6,000 files of 1 KiB to 256 KiB (most of them small) in 600 folders up to six levels deep,
      a quarter of them incompressible, like a product's runtimes, plug-ins and translations.
real  up to 6,000 real small files of this machine: the C headers below /usr/include, in their
      folders, leaving out links and names Windows cannot hold in one folder.

The first two are the same on every machine.

Files interleave random bytes with repetitive, text-like runs so that zlib packs them to about
half their size."""
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


def many_files(rng):
    tops = ["bin", "plugins", "runtime", "translations", "docs", "resources", "qml", "drivers"]
    words = ["imageformats", "platforms", "styles", "locale", "icons", "help", "data", "lib"]
    folders = [(top, 1) for top in tops]
    while len(folders) < 600:
        parent, depth = rng.choice([f for f in folders if f[1] < 6])
        folders.append((f"{parent}/{rng.choice(words)}{len(folders)}", depth + 1))
    files = [("uninstall.exe", 180_000), ("vivevadiz.exe", 3_000_000)]
    for i in range(6000 - len(files)):
        folder = folders[i][0] if i < len(folders) else rng.choice(folders)[0]
        size = int(1024 * 256 ** (rng.random() ** 1.7))
        ext = rng.choice([".dll", ".qm", ".png", ".json", ".txt", ".dat"])
        files.append((f"{folder}/file{i:04d}{ext}", size))
    return files


def few_files(rng):
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
    return files


WINDOWS_RESERVED = set('<>:"\\|?*')
DEVICES = {"con", "prn", "aux", "nul"} | {f"{d}{i}" for d in ("com", "lpt") for i in range(10)}


def real_files(root):
    source = "/usr/include"
    seen, count = set(), 0
    for folder, dirs, names in os.walk(source):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, source)
            if (os.path.islink(path) or not os.path.isfile(path) or relative.lower() in seen
                    or any(c in WINDOWS_RESERVED or ord(c) < 32 for c in relative)
                    or any(part.endswith((".", " ")) or part.split(".")[0].lower() in DEVICES
                           for part in relative.split("/"))):
                continue
            seen.add(relative.lower())
            target = os.path.join(root, "include", relative)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(path, "rb") as src, open(target, "wb") as out:
                out.write(src.read())
            count += 1
            if count == 6000:
                return count
    return count


def main():
    kind, root = sys.argv[1], sys.argv[2]
    if kind == "real":
        count = real_files(root)
        rng = random.Random(20240601)
        for name, size in (("uninstall.exe", 180_000), ("vivevadiz.exe", 3_000_000)):
            with open(os.path.join(root, name), "wb") as f:
                f.write(content(rng, size))
        print(f"{count + 2} files")
        return
    rng = random.Random(20240601)
    files = many_files(rng) if kind == "many" else few_files(rng)
    for name, size in files:
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            incompressible = kind == "many" and rng.random() < 0.25
            f.write(rng.randbytes(size) if incompressible else content(rng, size))
    print(f"{len(files)} files, {sum(s for _, s in files)} bytes")


if __name__ == "__main__":
    main()
