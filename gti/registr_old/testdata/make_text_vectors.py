#!/usr/bin/env python3
"""Text forms of drill-string elements and mud tanks, as the station writes
them with its decimal comma. Run from this folder:

    python3 make_text_vectors.py > text_vectors.tsv

Element lines: "elem", count, type, diameter, weight, wall, lengths ('+'
separated, may be empty), expected text. Tank lines: "tank", factor, used,
volume, top-up, in tank, expected text. Numbers in the inputs are decimal
texts with a point; the program under test stores them as 32-bit floats.

Independent of the program: floats are rounded to single precision with
struct, written with 15 significant digits in the Delphi general form, and
tank numbers with two decimals rounded half away from zero; comma text
quoting follows the Delphi rule (quote an item holding a blank, a control
character, a comma or a double quote)."""

import struct
from decimal import Decimal, ROUND_HALF_UP

SEP = ','


def f32(text):
    return struct.unpack('<f', struct.pack('<f', float(text)))[0]


def float_to_str(x):
    """FloatToStr: 15 significant digits, fixed unless the exponent is out
    of range, trailing zeros cut."""
    if x == 0:
        return '0'
    sign = '-' if x < 0 else ''
    mant, exp = ('%.14e' % abs(x)).split('e')
    digits = mant.replace('.', '').rstrip('0')
    point = int(exp) + 1  # digits before the decimal point
    if point > 15 or point < -4:
        out = digits[0] + (SEP + digits[1:] if len(digits) > 1 else '')
        return sign + out + 'E' + str(point - 1)
    if point <= 0:
        return sign + '0' + SEP + '0' * (-point) + digits
    whole = digits.ljust(point, '0')
    return sign + whole[:point] + (SEP + digits[point:] if len(digits) > point else '')


def two_decimals(x):
    d = Decimal('%.17e' % x).quantize(Decimal('0.01'), rounding=ROUND_HALF_UP)
    return str(d).replace('.', SEP)


def comma_item(s):
    if s == '' or any(c <= ' ' or c in ',"' for c in s):
        return '"' + s.replace('"', '""') + '"'
    return s


def space_item(s):
    return '"' + s + '"' if s == '' or ' ' in s else s


ELEMS = [
    # count, type, diameter, weight, wall, lengths
    ('12', '5', '127', '29.5', '9.25', '12.5+12.25'),
    ('3', '6', '127', '29.1', '9.19', '9.5'),
    ('1', '0', '215.9', '0', '0', '0.3'),
    ('1', '-1', '0', '0', '0', ''),
    ('24', '2', '178', '156.7', '44.5', '8.12+8.07+8.1'),
    ('150', '3', '147', '16.1', '11', '12.01+11.98'),
    ('1', '12', '0.000001', '123456789', '0.1', '0.07'),
]

TANKS = [
    # factor, used, volume, top-up, in tank
    ('30', '1', '0', '1', '0'),
    ('25.5', '0', '10.125', '1', '1'),
    ('12.345', '1', '37.04', '0', '0'),
    ('1000', '1', '0.005', '0', '1'),
]


def main():
    for count, typ, dia, wt, wall, lens in ELEMS:
        parts = [count, typ, float_to_str(f32(dia)), float_to_str(f32(wt)), float_to_str(f32(wall))]
        ls = [l for l in lens.split('+') if l]
        parts.append(str(len(ls)))
        parts += [float_to_str(f32(l)) for l in ls]
        text = ' '.join(space_item(p) for p in parts)
        print('\t'.join(['elem', count, typ, dia, wt, wall, lens, text]))
    for factor, used, vol, doliv, in_tank in TANKS:
        items = [two_decimals(f32(factor)), used, two_decimals(f32(vol)), doliv, in_tank]
        text = ','.join(comma_item(i) for i in items)
        print('\t'.join(['tank', factor, used, vol, doliv, in_tank, text]))


if __name__ == '__main__':
    main()
