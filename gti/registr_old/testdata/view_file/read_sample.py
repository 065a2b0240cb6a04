#!/usr/bin/env python3
"""Reads one sample of a day view file with plain file reads, from the
documented layout alone, as a check independent of the C++ reader.

usage: read_sample.py FILE SAMPLE PARAM...
prints:  size <bytes>
         counter <n>
         overhead <pipes> <depth_z> <depth_cur> <depth_lag> <hour> <minute> <time> <day>
         value <param> <value>          (one line per PARAM)
Floats are printed with repr() of the float32 widened to a double.
"""
import os
import struct
import sys

RING = 86400
OVERHEAD_AT = 4
OVERHEAD_SIZE = 32
VALUES_AT = OVERHEAD_AT + OVERHEAD_SIZE * RING
COLUMN = 4 * RING


def main():
    path, sample = sys.argv[1], int(sys.argv[2])
    params = [int(p) for p in sys.argv[3:]]
    slot = sample % RING
    print("size", os.path.getsize(path))
    with open(path, "rb") as f:
        f.seek(0)
        print("counter", struct.unpack("<I", f.read(4))[0])
        f.seek(OVERHEAD_AT + OVERHEAD_SIZE * slot)
        o = struct.unpack("<4f4I", f.read(OVERHEAD_SIZE))
        print("overhead", " ".join(repr(v) for v in o))
        for p in params:
            f.seek(VALUES_AT + COLUMN * p + 4 * slot)
            print("value", p, repr(struct.unpack("<f", f.read(4))[0]))


if __name__ == "__main__":
    main()
