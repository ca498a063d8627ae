"""Copies an archive with the entry NAME damaged, so that it no longer decodes, and prints the name
of the entry a reader fails at: corrupt_entry.py IN OUT NAME. Format 1 flips the last byte of the
entry's zlib stream (its Adler-32), failing NAME itself; format 2 flips the check of the first block
NAME's content lies in, with the directory's own check made again, failing the first entry that
reads that block."""
import struct
import sys
import zlib

source, target, wanted = sys.argv[1], sys.argv[2], sys.argv[3]
data = bytearray(open(source, "rb").read())


def done(failing):
    open(target, "wb").write(data)
    print(failing)
    sys.exit(0)


def format2():
    entries, _, contents, blocks, directory, _ = struct.unpack_from("<IIIIII", data, 4)
    block_table, content_table = 28, 28 + 16 * blocks
    first_block = lambda c: struct.unpack_from("<II", data, content_table + 16 * c)
    names, offset = [], content_table + 16 * contents
    for _ in range(entries):
        content, length = struct.unpack_from("<II", data, offset)
        names.append((data[offset + 8:offset + 8 + 2 * length].decode("utf-16-le"), content))
        offset += 8 + 2 * length
    for name, content in names:
        block, count = first_block(content)
        if name == wanted:
            if count == 0:
                sys.exit(wanted + " is empty")
            data[block_table + 16 * block + 12] ^= 0xFF
            check = zlib.crc32(bytes(data[0:24]) + bytes(data[28:28 + directory]))
            struct.pack_into("<I", data, 24, check)
            done(next(n for n, c in names if first_block(c)[1] and first_block(c)[0] == block))
    sys.exit("no entry " + wanted)


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
            data[offset + packed - 1] ^= 0xFF
            done(name)
        offset += packed
    sys.exit("no entry " + wanted)


format2() if struct.unpack_from("<I", data, 0)[0] == 0x80000002 else format1()
