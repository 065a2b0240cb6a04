#!/usr/bin/env python3
"""Reference vectors for rtl::EncodeDate, DecodeDate and DecodeTime, from
Python's datetime calendar and exact rational arithmetic.

Output, one case a line, fields separated by a tab:
  E <tab> y-m-d <tab> serial                  EncodeDate: days from 1899-12-30
  T <tab> bits <tab> y m d h n s ms           decoding of a TDateTime value
A TDateTime decodes the Windows way: the value is rounded to the nearest
millisecond (ties to even), the day is that count divided toward zero, and
the time of day is the remainder's magnitude. Years outside 1..9999 decode
as 0 0 0.
"""
import datetime
import random
import struct
from fractions import Fraction

EPOCH = datetime.date(1899, 12, 30)
MS_PER_DAY = 86400000


def bits(x):
    return "%016X" % struct.unpack("<Q", struct.pack("<d", x))[0]


def round_half_even(q):
    f = q.numerator // q.denominator
    rem = q - f
    if rem > Fraction(1, 2) or (rem == Fraction(1, 2) and f % 2 == 1):
        f += 1
    return f


def decode(x):
    total = round_half_even(Fraction(x) * MS_PER_DAY)
    days = abs(total) // MS_PER_DAY * (1 if total >= 0 else -1)
    ms = abs(total) % MS_PER_DAY
    h, rest = divmod(ms, 3600000)
    n, rest = divmod(rest, 60000)
    s, z = divmod(rest, 1000)
    try:
        d = EPOCH + datetime.timedelta(days=days)
        ymd = (d.year, d.month, d.day)
    except OverflowError:
        ymd = (0, 0, 0)
    return ymd + (h, n, s, z)


def main():
    rng = random.Random(20240611)
    dates = [datetime.date(1, 1, 1), datetime.date(9999, 12, 31), EPOCH,
             datetime.date(1899, 12, 29), datetime.date(1899, 12, 31),
             datetime.date(1900, 2, 28), datetime.date(1900, 3, 1),
             datetime.date(1970, 1, 1), datetime.date(2000, 2, 29),
             datetime.date(2100, 3, 1), datetime.date(1600, 2, 29)]
    for _ in range(300):
        dates.append(datetime.date.fromordinal(rng.randint(1, datetime.date(9999, 12, 31).toordinal())))
    for d in dates:
        print("E\t%d-%d-%d\t%d" % (d.year, d.month, d.day, (d - EPOCH).days))

    values = [0.0, 0.5, -0.5, -1.25, 1.75, 0.99999999999, 0.999999, -0.99999999999,
              1.0 / 86400000 / 2, 1.5 / 86400000, 2.5 / 86400000, -693593.0,
              -693594.0, 2958465.0, 2958466.0, 43164.588299131945, 1e-12, -1e-12]
    for _ in range(300):
        values.append(rng.uniform(-700000.0, 3000000.0))
    for _ in range(200):
        values.append(rng.randint(-1000, 60000) + rng.randint(0, 86399999) / 86400000.0)
    for x in values:
        print("T\t%s\t%s" % (bits(x), " ".join(str(v) for v in decode(x))))


if __name__ == "__main__":
    main()
