#!/usr/bin/env python3
"""Module streams of the drill-string tally, the tank set, the pumps and the
stand counter, one stream of one record each. Run from this folder:

    python3 make_stream_vectors.py > stream_vectors.txt

Each line: the record name, a tab, the whole stream in hexadecimal. The
stream is the int32 version 1030, the int32 record count 1, then the record:
its name and a 0 byte, the int32 length of its data, the data and the
checksum byte (85 plus the data bytes, modulo 256). Inside the data every
integer is little-endian int32, every float IEEE single, every flag one
byte, and a list is an int32 count followed by its entries. The states are
described beside each vector and rebuilt by the test."""

import struct


def i32(v):
    return struct.pack('<i', v)


def f32(v):
    return struct.pack('<f', v)


def flag(v):
    return b'\x01' if v else b'\x00'


def stream(name, data):
    body = name.encode('cp1251') + b'\x00' + i32(len(data)) + data + bytes([(85 + sum(data)) % 256])
    return i32(1030) + i32(1) + body


def elem(count, typ, lengths, diameter, weight, wall):
    out = i32(count) + i32(typ) + i32(len(lengths))
    for l in lengths:
        out += f32(l)
    return out + f32(diameter) + f32(weight) + f32(wall)


def items():
    # A bit of 215.9 mm with 0.3 m, twelve stands of two pipes; two pipes a
    # stand; a shut-off valve.
    data = i32(2)
    data += elem(1, 0, [0.3], 215.9, 0, 0)
    data += elem(12, 5, [12.5, 12.25], 127, 29.1, 9.19)
    data += i32(2) + flag(True)
    return stream('instr::Items', data)


def tanks():
    # Tank 1: factor 25, used, 10 m³, top-up, not in tank. Tank 2: factor
    # 30, not used, 4.5 m³, not top-up, in tank. The others as made.
    # Totals after adding up, and a circulating volume of 12.75 m³.
    data = f32(10) + f32(14.5) + f32(10) + f32(12.75) + f32(0)
    data += f32(25) + f32(10) + flag(True) + flag(False) + flag(True)
    data += f32(30) + f32(4.5) + flag(False) + flag(True) + flag(False)
    for _ in range(15):
        data += f32(30) + f32(0) + flag(True) + flag(False) + flag(True)
    return stream('VEmkOpts', data)


def pumps():
    # Strokes 0, 12, 0 then 7, 0, 0: counters 5, 4, 0.
    return stream('NasosWork', i32(5) + i32(4) + i32(0))


def candles():
    # 39 stands and one pipe in the hole.
    return stream('CandleCounter', i32(39) + i32(1))


for name, s in (('instr::Items', items()), ('VEmkOpts', tanks()), ('NasosWork', pumps()),
                ('CandleCounter', candles())):
    print(name + '\t' + s.hex().upper())
