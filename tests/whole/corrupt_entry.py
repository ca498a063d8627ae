"""Copies an archive with one byte of an entry's compressed block flipped, so that the entry no
longer decodes: corrupt_entry.py IN OUT NAME."""
import struct
import sys

source, target, wanted = sys.argv[1], sys.argv[2], sys.argv[3]
data = bytearray(open(source, "rb").read())
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
