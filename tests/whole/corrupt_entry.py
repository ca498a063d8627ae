"""Copies an archive with one byte of an entry's stored block flipped, so that the entry no longer
decodes: corrupt_entry.py IN OUT NAME. In format 1 the byte lies in the entry's own zlib block; in
format 2 inside the solid block that holds the entry's content with others, and the entry the
installer fails at (the first whose content lies in that block) is written to OUT.entry."""
import struct
import sys

source, target, wanted = sys.argv[1], sys.argv[2], sys.argv[3]
data = bytearray(open(source, "rb").read())


def format1():
    count, _ = struct.unpack_from("<ii", data, 0)
    offset = 8
    for _ in range(count):
        (length,) = struct.unpack_from("<i", data, offset)
        name = data[offset + 4:offset + 4 + 2 * length].decode("utf-16-le")
        offset += 4 + 2 * length
        _, packed = struct.unpack_from("<ii", data, offset)
        offset += 8
        if name == wanted:
            data[offset + packed // 2] ^= 0xFF
            open(target, "wb").write(data)
            sys.exit(0)
        offset += packed
    sys.exit("no entry " + wanted)


def format2():
    _, entries, _, contents, blocks, directory, _ = struct.unpack_from("<7I", data, 0)
    at = 28
    stored = [struct.unpack_from("<I", data, at + 16 * b + 4)[0] for b in range(blocks)]
    at += 16 * blocks
    table = [struct.unpack_from("<4I", data, at + 16 * c) for c in range(contents)]
    at += 16 * contents
    named = []
    for _ in range(entries):
        content, length = struct.unpack_from("<II", data, at)
        named.append((data[at + 8:at + 8 + 2 * length].decode("utf-16-le"), content))
        at += 8 + 2 * length
    content = next((c for name, c in named if name == wanted), None)
    if content is None:
        sys.exit("no entry " + wanted)
    first, count, _, size = table[content]
    if size == 0 or count != 1:
        sys.exit(wanted + " does not lie inside one block")
    sharing = [c for c, (f, n, _, s) in enumerate(table) if s and n == 1 and f == first]
    if len(sharing) < 2:
        sys.exit(wanted + "'s block holds no other content: not a solid block")
    start = 28 + directory + sum(stored[:first])
    data[start + stored[first] // 2] ^= 0xFF
    open(target, "wb").write(data)
    failing = next(name for name, c in named if c == sharing[0])
    open(target + ".entry", "w", encoding="utf-8").write(failing)


(word,) = struct.unpack_from("<I", data, 0)
format2() if word >> 31 else format1()
