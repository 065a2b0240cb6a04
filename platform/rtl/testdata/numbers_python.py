#!/usr/bin/env python3
"""Reference vectors for the rounding rule of rtl::FloatToStr and
rtl::FormatFloat, computed with Python's exact decimal arithmetic.

The rule (as the Windows run-time library did it): the exact binary value is
rounded to 18 significant digits (nearest, ties to even); that decimal is
rounded half away from zero to 15 significant digits (FloatToStr) or to the
pattern's decimals (FormatFloat "0", "0.0", ...). Values are the doubles of
numbers_fpc.tsv plus values chosen to sit on or next to a decimal tie, where
the binary representation decides.

Output lines as in numbers_fpc.tsv: G <tab> <tab> bits <tab> text and
F <tab> pattern <tab> bits <tab> text.
"""
import os
import random
import struct
from decimal import Decimal, Context, ROUND_HALF_EVEN, ROUND_HALF_UP

HERE = os.path.dirname(os.path.abspath(__file__))
PATTERNS = ["0", "0."] + ["0." + "0" * n for n in range(1, 9)]
WIDE = Context(prec=200)


def bits(x):
    return "%016X" % struct.unpack("<Q", struct.pack("<d", x))[0]


def from_bits(h):
    return struct.unpack("<d", struct.pack("<Q", int(h, 16)))[0]


def decimal18(x):
    return Context(prec=18, rounding=ROUND_HALF_EVEN).plus(Decimal(abs(x)))


def float_to_str(x):
    if x == 0:
        return "0"
    d = Context(prec=15, rounding=ROUND_HALF_UP).plus(decimal18(x))
    _, digits, exponent = d.as_tuple()
    digits = "".join(map(str, digits)).rstrip("0")
    exp = len(d.as_tuple().digits) + exponent  # value = 0.digits x 10^exp
    sign = "-" if x < 0 else ""
    if exp > 15 or exp < -4:
        mant = digits[0] + ("," + digits[1:] if len(digits) > 1 else "")
        return "%s%sE%d" % (sign, mant, exp - 1)
    if exp <= 0:
        return sign + "0," + "0" * -exp + digits
    whole = digits.ljust(exp, "0")
    frac = digits[exp:]
    return sign + whole[:exp] + ("," + frac if frac else "")


def format_float(pattern, x):
    decimals = len(pattern) - 2 if "." in pattern else 0
    d = decimal18(x)
    if d != 0 and d.adjusted() + 1 >= 18:
        return float_to_str(x)
    q = d.quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP, context=WIDE)
    text = "{:f}".format(q).replace(".", ",")
    return ("-" if x < 0 else "") + text


def main():
    values = []
    with open(os.path.join(HERE, "numbers_fpc.tsv")) as f:
        for line in f:
            kind, _, h, _ = line.rstrip("\n").split("\t")
            if kind == "G":
                values.append(from_bits(h))
    # Decimal ties and their binary neighbours: n/10^k for random n.
    rng = random.Random(7)
    for _ in range(400):
        k = rng.randint(1, 6)
        n = rng.randint(0, 10 ** rng.randint(1, 9)) * 10 + 5
        x = n / 10 ** (k + 1)
        values.append(x if rng.random() < 0.7 else -x)
    values += [2.345, 1.005, 2.675, 129809.495, 0.135, 0.15, 0.35, 1.0005, 2.0005]
    for x in values:
        print("G\t\t%s\t%s" % (bits(x), float_to_str(x)))
        for p in PATTERNS:
            print("F\t%s\t%s\t%s" % (p, bits(x), format_float(p, x)))


if __name__ == "__main__":
    main()
