"""Copies an archive with one byte of an entry's stored bytes flipped, so that the entry no
longer decodes: corrupt_entry.py IN OUT NAME. Format 1 flips a byte of the entry's zlib stream;
format 2 one of the first block its content lies in (the directory's check still holds)."""
import struct
import sys

source, target, wanted = sys.argv[1], sys.argv[2], sys.argv[3]
data = bytearray(open(source, "rb").read())


def done(offset):
    data[offset] ^= 0xFF
    open(target, "wb").write(data)
    sys.exit(0)


(word,) = struct.unpack_from("<I", data, 0)
if word == 0x80000002:
    entries, _, contents, blocks, directory, _ = struct.unpack_from("<IIIIII", data, 4)
    block_table, content_table = 28, 28 + 16 * blocks
    starts, at = [], 28 + directory
    for b in range(blocks):
        starts.append(at)
        at += struct.unpack_from("<I", data, block_table + 16 * b + 4)[0]
    offset = content_table + 16 * contents
    for _ in range(entries):
        content, length = struct.unpack_from("<II", data, offset)
        name = data[offset + 8:offset + 8 + 2 * length].decode("utf-16-le")
        offset += 8 + 2 * length
        if name == wanted:
            first, count, _, _ = struct.unpack_from("<IIII", data, content_table + 16 * content)
            if count == 0:
                sys.exit(wanted + " is empty")
            stored = struct.unpack_from("<I", data, block_table + 16 * first + 4)[0]
            done(starts[first] + stored // 2)
    sys.exit("no entry " + wanted)

count, _ = struct.unpack_from("<ii", data, 0)
offset = 8
for _ in range(count):
    (length,) = struct.unpack_from("<i", data, offset)
    name = data[offset + 4:offset + 4 + 2 * length].decode("utf-16-le")
    offset += 4 + 2 * length
    _, packed = struct.unpack_from("<ii", data, offset)
    offset += 8
    if name == wanted:
        done(offset + packed // 2)
    offset += packed
sys.exit("no entry " + wanted)
