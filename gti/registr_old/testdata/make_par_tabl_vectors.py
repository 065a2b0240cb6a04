#!/usr/bin/env python3
"""Parameter table files, ".extended" companions and a calibration file,
written from the file layouts with Python's struct, independently of the
station's own writer. Sound files are compared byte for byte with what the
station writes; damaged ones check what loading keeps.

Layouts (little-endian; a text is its Windows-1251 bytes and one 0 byte):
  table file: per parameter name, short name, units, global name, int32
    channel, float32 range, zero, lower and upper bound, int32 averaging,
    uint8 kind; then 0A 00; then per parameter with a channel >= 0, in
    table order, int32 number, int32 point count, float64 x, y pairs.
  ".extended": "EXT_NBL_FILE", uint32 count, per parameter its global name,
    uint32 entry count, key and value texts in ascending key order.
  calibration file: "param_name=" + global name, then "%15e %15e" per
    point; lines end in CR LF.
Run in this folder: python3 make_par_tabl_vectors.py
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "par_tabl")


def text(s):
    return s.encode("cp1251") + b"\0"


def record(name, short, units, gname, channel, rng, zero, lo, hi, averaging, kind):
    return (text(name) + text(short) + text(units) + text(gname) +
            struct.pack("<iffffiB", channel, rng, zero, lo, hi, averaging, kind))


def block(number, points):
    out = struct.pack("<ii", number, len(points))
    for x, y in points:
        out += struct.pack("<dd", x, y)
    return out


def ext_entry(gname, items):
    out = text(gname) + struct.pack("<I", len(items))
    for k in sorted(items):
        out += text(k) + text(items[k])
    return out


MARK = b"\n\0"


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)

    # Two parameters: the first on channel 3 with two points and extra data,
    # the second without a channel (its one point is not kept in the file).
    hook = record("Вес на крюке", "W кр.", "т", "вес_на_крюке", 3, 20.0, 0.5, 0.0, 200.0, 1, 0)
    dens = record("Плотность", "Пл", "г/см3", "плотн_пж_вх_радиоакт", -1, 2.0, 0.0, 0.0, 2.0, 120, 2)
    write("two_params.tbl", hook + dens + MARK + block(0, [(1.0, 2.0), (3.0, 4.0)]))
    write("two_params.tbl.extended",
          text("EXT_NBL_FILE") + struct.pack("<I", 2) +
          ext_entry("вес_на_крюке", {"last_calibr_time": "45000,5", "half_life": "5"}) +
          ext_entry("плотн_пж_вх_радиоакт", {}))

    # A record without a global name between two good ones: blocks name the
    # positions the parameters had when saved (0, 1, 2), so the skipped
    # record's block and one for a position that never existed must not
    # reach anyone; a huge point count ends the blocks.
    a = record("A", "a", "", "a", 0, 1.0, 0.0, 0.0, 1.0, 1, 0)
    nameless = record("Без имени", "", "", "", 1, 1.0, 0.0, 0.0, 1.0, 1, 0)
    b = record("B", "b", "", "b", 2, 1.0, 0.0, 0.0, 1.0, 1, 0)
    write("skipped_record.tbl",
          a + nameless + b + MARK + block(0, [(1.0, 10.0)]) + block(1, [(7.0, 70.0), (8.0, 80.0)]) +
          block(2, [(2.0, 20.0)]) + block(7, [(9.0, 90.0)]) + block(-1, [(5.0, 50.0)]) +
          struct.pack("<ii", 0, 0x7FFFFFFF) + struct.pack("<dd", 1.0, 1.0))

    # Cut inside the third record: two parameters load, the cut one does not.
    c = record("C", "c", "", "c", 4, 1.0, 0.0, 0.0, 1.0, 1, 0)
    write("truncated_record.tbl", a + b + c[:len(c) - 6])

    # A block cut inside its points: the whole block is dropped.
    write("truncated_block.tbl", a + b + MARK + block(0, [(1.0, 10.0)]) + block(1, [(2.0, 20.0), (3.0, 30.0)])[:5])

    # A negative point count ends the blocks.
    write("negative_count.tbl", a + MARK + struct.pack("<ii", 0, -5) + block(0, [(1.0, 1.0)]))

    # A text longer than 511 bytes ends the records.
    write("long_name.tbl", a + record("Д" * 600, "", "", "long", 0, 1.0, 0.0, 0.0, 1.0, 1, 0) + b)

    # 520 parameters: only the first 512 fit the station's frame.
    many = b"".join(record("P%d" % i, "", "", "p%d" % i, 0, 1.0, 0.0, 0.0, 1.0, 1, 0) for i in range(520))
    write("too_many.tbl", many + MARK + block(0, [(1.0, 1.0)]) + block(511, [(2.0, 2.0)]) +
          block(515, [(3.0, 3.0)]))

    # Companions: another file's signature, and one cut inside its second entry.
    write("foreign.tbl", a + b + MARK)
    write("foreign.tbl.extended", text("SOMETHING_ELSE") + struct.pack("<I", 1) + ext_entry("a", {"k": "v"}))
    write("short_ext.tbl", a + b + MARK)
    full = (text("EXT_NBL_FILE") + struct.pack("<I", 3) + ext_entry("a", {"k": "v"}) +
            ext_entry("нет_такого", {"x": "y"}) + ext_entry("b", {"k1": "v1", "k2": "v2"}))
    write("short_ext.tbl.extended", full[:len(full) - 4])
    # A count far beyond the entries present.
    write("huge_ext.tbl", a + b + MARK)
    write("huge_ext.tbl.extended",
          text("EXT_NBL_FILE") + struct.pack("<I", 0xFFFFFFFF) + ext_entry("a", {"k": "v"}) +
          text("b") + struct.pack("<I", 0x7FFFFFFF) + text("k"))

    # The calibration file of "вес_на_крюке" with the points (1, 2.5) and
    # (-0.001234567, 1e100).
    lines = ["param_name=вес_на_крюке",
             "%15e %15e" % (1.0, 2.5),
             "%15e %15e" % (-0.001234567, 1e100)]
    write("calibr.txt", ("\r\n".join(lines) + "\r\n").encode("cp1251"))


if __name__ == "__main__":
    main()
