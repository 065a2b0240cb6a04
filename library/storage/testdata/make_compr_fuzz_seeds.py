#!/usr/bin/python3
"""Seed inputs of compr_export_fuzz, written into compr_export_fuzz/ here.

    python3 make_compr_fuzz_seeds.py

Each seed is a mode byte (see compr_export_fuzz.cpp) and sound data of that
mode, so the fuzzer starts from inputs that reach every decoder.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "compr_export_fuzz")


def planes(fmt, values):
    """A byte-plane vector: int32 count, then byte 0 of every element, ..."""
    size = struct.calcsize("<" + fmt)
    raw = [struct.pack("<" + fmt, v) for v in values]
    body = b"".join(bytes(r[b] for r in raw) for b in range(size))
    return struct.pack("<i", len(values)) + body


def string(s):
    return s.encode("cp1251") + b"\0"


def column_header(name, glob):
    return string(name) + string(name[:3]) + string("ед") + string(glob) + struct.pack("<ff", 0.0, 100.0)


def quantised(values, levels=255):
    lo, hi = min(values), max(values)
    if hi - lo < 1e-5:
        hi += 1.0
    q = [int((v - lo) * levels / (hi - lo) + 0.5) for v in values]
    return (struct.pack("<iIffi", 1, levels, hi, lo, len(values)) + planes("i", [1]) + planes("f", [values[1]])
            + planes("B", q[:1] + q[2:]))


def wavelet(length=64):
    part0 = struct.pack("<ffI", -1.0, 5.0, 2048) + planes("H", [i * 60 for i in range(32)])
    part1 = struct.pack("<ffI", -0.5, 0.5, 2048) + planes("H", [1024] * (length - 32))
    return struct.pack("<I", length) + part0 + part1


def single_stream_body(records=3):
    body = struct.pack("<i", 3)
    body += column_header("Вес", "вес_на_крюке") + column_header("Метан", "метан_абс") + column_header("Т", "т")
    body += string("скважина=12\r\n") + struct.pack("<i", records)
    body += planes("I", [90000 + i for i in range(records)])
    for k in range(3):
        body += planes("f", [100.0 + i + k for i in range(records)])
    body += planes("B", [i % 7 for i in range(records)])
    values = [10.0 + 0.5 * i for i in range(records)]
    body += struct.pack("<i", 1) + planes("f", values)
    body += struct.pack("<i", 2) + quantised(values)
    body += struct.pack("<i", 3) + wavelet()
    return body


def eight_files(records=3):
    files = [
        struct.pack("<i", 2) + column_header("Вес", "вес_на_крюке") + column_header("Метан", "метан_абс"),
        string("скважина=12\r\n"),
        planes("I", [90000 + i for i in range(records)]),
        planes("f", [100.0 + i for i in range(records)]),
        planes("f", [99.0 + i for i in range(records)]),
        planes("f", [98.0 + i for i in range(records)]),
        planes("B", [i % 7 for i in range(records)]),
    ]
    values = [120.0 + i for i in range(records)]
    logs = [math.log(0.01 + 0.01 * i) for i in range(records)]
    files.append(struct.pack("<I", records)
                 + b"\0\0" + struct.pack("<i", 2) + quantised(values)
                 + b"\1\1" + struct.pack("<i", 3) + wavelet())
    head = b"".join(struct.pack("<H", len(f)) for f in files)
    return head + b"".join(files)


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {
        "stream.bin": b"\0" + b"CREGFILE\0" + struct.pack("<i", 1) + single_stream_body(),
        "stream_body.bin": b"\1" + single_stream_body(),
        "stream_empty.bin": b"\1" + struct.pack("<i", 0) + string("") + struct.pack("<i", 0) + planes("I", [])
        + planes("f", []) * 3 + planes("B", []),
        "quantised.bin": b"\2" + quantised([1.0, 7.0, 2.0, 3.5]) + struct.pack("<H", 4),
        "wavelet.bin": b"\3" + wavelet(128) + struct.pack("<H", 100),
        "files.bin": b"\4" + eight_files(),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
