#!/usr/bin/env python3
"""Builds the golden block files the real-time table's tests read.

They also seed the block reader's fuzzer (rt_blocks_fuzz/). Written from
the block layouts alone (struct, little-endian, Windows-1251
strings ended by one 0 byte), independently of the C++ encoder, so that a
fault in the encoder and the same fault in its reader cannot hide each
other. Run it from anywhere; it rewrites the .bin files beside itself.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def s(text):
    return text.encode("cp1251") + b"\0"


def block(kind, payload):
    return struct.pack("<Bh", kind, len(payload)) + payload


def record(time, depth_z, lag, op, depth_cur, values):
    return block(1, struct.pack("<IffBfB", time, depth_z, lag, op, depth_cur, len(values))
                 + struct.pack("<%df" % len(values), *values))


def header(params):
    out = struct.pack("<B", len(params))
    for name, short, units, glob, lo, hi in params:
        # on disk: name, units, short name, global name
        out += s(name) + s(units) + s(short) + s(glob) + struct.pack("<ff", lo, hi)
    return block(2, out)


def text(lines):
    return block(3, s("".join(l + "\r\n" for l in lines)))


def remark(time, depth, body):
    return block(4, struct.pack("<If", time, depth) + s(body))


def simple(time, values):
    return block(5, struct.pack("<I", time) + struct.pack("<%df" % len(values), *values))


def old_record(op, time, depth_z, depth_cur, values):
    vals = list(values[:32]) + [0.0] * (32 - min(len(values), 32))
    return struct.pack("<BIff32f", op, time, depth_z, depth_cur, *vals) + b"\0" * 4


PARAMS = [
    ("Вес на крюке", "Вес", "т", "вес_на_крюке", 0.0, 250.0),
    ("Давление на входе", "Давл", "атм", "давление_на_входе", 0.0, 400.0),
]
T0 = 90000  # 1970-01-01 01:00 in the station's count

vectors = {
    "record.bin": record(T0, 1234.5, 1200.25, 3, 1230.75, [1.5, -2.25, 100.0]),
    "header.bin": header(PARAMS),
    "text.bin": text(["скважина=12", "нач_время=90000"]),
    "remark.bin": remark(T0, 1234.5, "Промывка"),
    "simple.bin": simple(T0, [1.5, -2.25]),
    "old_record.bin": old_record(3, T0, 1234.5, 1230.75, [1.5, -2.25, 100.0]),
}

# A well file: a trip header text, a parameter header, records, a remark,
# simple values and the trip end text.
recs = [record(T0 + 10 * i, 100.0 + i, 90.0 + i, i % 4, 99.5 + i, [10.0 * i, -1.0 * i]) for i in range(6)]
well = (text(["скважина=12", "площадь=\"Южная\"", "оператор=::не задано::"])
        + header(PARAMS) + recs[0] + recs[1] + recs[2] + remark(T0 + 25, 102.5, "Промывка")
        + recs[3] + simple(T0 + 35, [7.0, 8.0]) + recs[4] + recs[5] + text(["конеч_время=90100"]))
vectors["well.bin"] = well

# Damaged copies of the well file.
damaged = {}
# The last record cut short, as by a power cut during an append.
damaged["torn_last.bin"] = well[:well.index(recs[5]) + 20]
# The size field of the third record flipped (0x0101 more).
third = well.index(recs[2])
flipped = bytearray(well)
flipped[third + 1] ^= 0x01
flipped[third + 2] ^= 0x01
damaged["flipped_size.bin"] = bytes(flipped)
# A header of 200 parameters in the middle: refused; the records after it
# wait for the next good header.
many = [("p%d" % i, "p", "u", "g%d" % i, 0.0, 1.0) for i in range(200)]
big = struct.pack("<B", 200)
for name, short, units, glob, lo, hi in many:
    big += s(name) + s(units) + s(short) + s(glob) + struct.pack("<ff", lo, hi)
assert len(big) < 32768
damaged["header_200.bin"] = (header(PARAMS) + recs[0] + block(2, big) + recs[1]
                             + record(T0 + 15, 1.0, 1.0, 1, 1.0, [1.0, 2.0])
                             + header(PARAMS) + recs[2])
# A remark whose text has no 0 byte inside its block.
bad_remark = block(4, struct.pack("<If", T0 + 25, 102.5) + "Промывка".encode("cp1251"))
damaged["remark_no_zero.bin"] = header(PARAMS) + recs[0] + bad_remark + recs[1] + recs[2]
# Garbage between two records.
damaged["garbage.bin"] = (header(PARAMS) + recs[0] + recs[1] + b"\x07\xff\x00garbage\x01"
                          + recs[2] + recs[3] + recs[4] + recs[5])
vectors.update(damaged)

# The same files seed the fuzzer of the block reader.
SEEDS = os.path.join(HERE, "rt_blocks_fuzz")
os.makedirs(SEEDS, exist_ok=True)
for name, data in vectors.items():
    for folder in (HERE, SEEDS):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
