#!/usr/bin/env python3
"""An independent reader of the section archive, for the tests.

Usage: unpack_with_python.py ARCHIVE FOLDER

Walks the sections with nothing but the standard library, unpacks every file
section with Python's zlib module into FOLDER (under its index, so that no
name can leave the folder) and prints one line per section:

    TIME <seconds>
    COMMENT <text as hex of its Windows-1251 bytes>
    FILE <index> <name as hex> <unpacked size>

Exits with 1 when a section does not hold together.
"""
import os
import struct
import sys
import zlib


def main():
    archive, folder = sys.argv[1], sys.argv[2]
    data = open(archive, "rb").read()
    pos = 0
    index = 0
    while pos < len(data):
        mark = data[pos]
        pos += 1
        end = data.index(b"\0", pos)
        name = data[pos:end]
        pos = end + 1
        (length,) = struct.unpack_from("<i", data, pos)
        pos += 4
        body = data[pos:pos + length]
        if length < 0 or len(body) != length:
            sys.exit("section runs past the end")
        pos += length
        if mark == 4:
            (seconds,) = struct.unpack("<I", body)
            print("TIME", seconds)
        elif mark == 3:
            print("COMMENT", name.hex())
        elif mark == 2:
            unpacked, packed = struct.unpack_from("<ii", body)
            if packed + 8 != length:
                sys.exit("packed size does not match the section length")
            content = zlib.decompress(body[8:])
            if len(content) != unpacked:
                sys.exit("unpacked size differs")
            with open(os.path.join(folder, str(index)), "wb") as out:
                out.write(content)
            print("FILE", index, name.hex(), unpacked)
            index += 1
        else:
            sys.exit("unknown mark %d" % mark)


if __name__ == "__main__":
    main()
