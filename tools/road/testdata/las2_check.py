#!/usr/bin/env python3
"""A LAS 2.0 reader of its own, written from the Canadian Well Logging
Society's LAS 2.0 standard and sharing nothing with the station's reader:
it reads a file, checks what the standard requires of it, and prints what
it read, one item a line:

    W MNEM=value      every item of ~W (P the same for ~P)
    C MNEM UNIT       every curve, in order
    ROWS n            the number of data rows
    ROW i v1 v2 ...   the rows asked for with --rows (the values as written)

A file that breaks the standard is named with the rule on standard error,
exit status 1.

    las2_check.py FILE [--rows N]
"""

import re
import sys

# ~W items every LAS 2.0 file carries; one of each tuple is enough.
REQUIRED_WELL = [("STRT",), ("STOP",), ("STEP",), ("NULL",), ("COMP",), ("WELL",), ("FLD",), ("LOC",),
                 ("PROV", "CNTY"), ("SRVC",), ("DATE",), ("UWI", "API")]


class Broken(Exception):
    pass


def header_line(line, number):
    """MNEM.UNIT  DATA : DESCRIPTION -- the mnemonic runs to the first
    period, the unit follows it directly up to the first space, the data
    run to the last colon."""
    period = line.find(".")
    if period < 0:
        raise Broken("line %d: no period after the mnemonic: %r" % (number, line))
    mnemonic = line[:period].strip()
    if not mnemonic or " " in mnemonic:
        raise Broken("line %d: bad mnemonic %r" % (number, line[:period]))
    rest = line[period + 1:]
    space = rest.find(" ")
    unit, rest = (rest, "") if space < 0 else (rest[:space], rest[space:])
    colon = rest.rfind(":")
    if colon < 0:
        raise Broken("line %d: no colon before the description: %r" % (number, line))
    return mnemonic, unit, rest[:colon].strip(), rest[colon + 1:].strip()


def number(text, where):
    if not re.fullmatch(r"[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?", text):
        raise Broken("%s: %r is not a number" % (where, text))
    return float(text)


def read(path):
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("cp1251")
    sections = []  # (letter, [(line number, line)])
    for n, line in enumerate(text.splitlines(), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        if line.startswith("~"):
            if len(line) < 2:
                raise Broken("line %d: a section without a name" % n)
            sections.append((line[1].upper(), []))
            continue
        if not sections:
            raise Broken("line %d: text before the first section" % n)
        sections[-1][1].append((n, line))
    letters = [s[0] for s in sections]
    if not letters or letters[0] != "V":
        raise Broken("the file does not start with ~V")
    if letters.count("A") != 1 or letters[-1] != "A":
        raise Broken("~A must be the last section, once")
    for must in "VWC":
        if letters.count(must) != 1:
            raise Broken("~%s must be there once (sections %s)" % (must, "".join(letters)))
    items = {}
    for letter, lines in sections:
        if letter in "VWCP":
            items[letter] = [header_line(line, n) for n, line in lines]
    version = {m.upper(): d for m, _, d, _ in items["V"]}
    if "VERS" not in version or number(version["VERS"], "VERS") != 2.0:
        raise Broken("VERS is not 2.0")
    if version.get("WRAP", "").upper() not in ("YES", "NO"):
        raise Broken("WRAP must be YES or NO")
    well = {m.upper(): (u, d) for m, u, d, _ in items["W"]}
    for choices in REQUIRED_WELL:
        if not any(c in well for c in choices):
            raise Broken("~W lacks %s" % " or ".join(choices))
    curves = [(m, u) for m, u, _, _ in items["C"]]
    if not curves:
        raise Broken("~C holds no curve")
    null = number(well["NULL"][1], "NULL")
    rows = []
    data = [line for _, lines in sections if _ == "A" for line in lines]
    for n, line in data:
        values = line.split()
        if version["WRAP"].upper() == "NO" and len(values) != len(curves):
            raise Broken("line %d: %d values for %d curves" % (n, len(values), len(curves)))
        rows.append([(v, number(v, "line %d" % n)) for v in values])
    index = [r[0][1] for r in rows]
    if any(v == null for v in index):
        raise Broken("the index holds the NULL value")
    if len(index) > 1 and not (all(b > a for a, b in zip(index, index[1:])) or
                               all(b < a for a, b in zip(index, index[1:]))):
        raise Broken("the index neither increases nor decreases throughout")
    strt, stop, step = (number(well[k][1], k) for k in ("STRT", "STOP", "STEP"))
    if index and (abs(strt - index[0]) > 1e-6 or abs(stop - index[-1]) > 1e-6):
        raise Broken("STRT %g, STOP %g against the index from %g to %g" % (strt, stop, index[0], index[-1]))
    if step != 0 and any(abs((b - a) - step) > 1e-6 for a, b in zip(index, index[1:])):
        raise Broken("STEP %g, but the index does not step by it" % step)
    return items, curves, rows


def main(argv):
    show_rows = 0
    if "--rows" in argv:
        show_rows = int(argv[argv.index("--rows") + 1])
    try:
        items, curves, rows = read(argv[1])
    except Broken as e:
        print("%s: %s" % (argv[1], e), file=sys.stderr)
        return 1
    out = []
    for letter in "WP":
        for m, _, d, _ in items.get(letter, []):
            out.append("%s %s=%s" % (letter, m, d))
    for m, u in curves:
        out.append("C %s %s" % (m, u))
    out.append("ROWS %d" % len(rows))
    for i, r in enumerate(rows[:show_rows]):
        out.append("ROW %d %s" % (i, " ".join(v for v, _ in r)))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
