#!/usr/bin/env python3
"""Random formulas for the formula evaluator, with values from Python.

Each line: the formula text, a tab, the value Python computes in double
precision, a tab, the largest magnitude met on the way (the scale of the
single-precision rounding error the evaluator may show).

Formulas use + - * / ^ and brackets, numbers written with a point or a
comma, and the names below (with the values the test gives them); no signs,
so every formula means the same thing to any evaluator. '^' groups from the
left in the station's formulas, so the Python form brackets every step.
Run: python3 make_formula_vectors.py > formula_vectors.txt
"""
import math
import random

NAMES = {"a": 1.5, "b": -2.25, "c": 3.0, "вес_на_крюке": 0.5, "x.y": 10.0}
PRIO = {"+": 3, "-": 3, "*": 4, "/": 4, "^": 5}


class Reject(Exception):
    pass


def leaf(rng):
    r = rng.random()
    if r < 0.35:
        name = rng.choice(sorted(NAMES))
        return name, NAMES[name]
    if r < 0.7:
        v = rng.randint(0, 20)
        return str(v), float(v)
    whole = rng.randint(0, 9)
    frac = rng.randint(0, 99)
    sep = rng.choice([".", ","])
    text = f"{whole}{sep}{frac:02d}"
    return text, float(f"{whole}.{frac:02d}")


def build(rng, depth):
    """Returns (text, priority, value, scale)."""
    if depth == 0 or rng.random() < 0.25:
        text, v = leaf(rng)
        return text, 100, v, abs(v)
    op = rng.choice("++--**//^")
    lt, lp, lv, ls = build(rng, depth - 1)
    rt, rp, rv, rs = build(rng, depth - 1)
    p = PRIO[op]
    if op == "+":
        v = lv + rv
    elif op == "-":
        v = lv - rv
    elif op == "*":
        v = lv * rv
    elif op == "/":
        if abs(rv) < 0.05:
            raise Reject
        v = lv / rv
    else:
        if lv <= 0.1 or abs(rv) > 3:
            raise Reject
        v = math.pow(lv, rv)
    if not math.isfinite(v) or abs(v) > 1e5:
        raise Reject
    # Left operand: brackets when it binds looser; right operand: also when
    # it binds equally (everything groups from the left).
    if lp < p:
        lt = "(" + lt + ")"
    if rp <= p:
        rt = "(" + rt + ")"
    text = lt + rng.choice(["", " "]) + op + rng.choice(["", " "]) + rt
    return text, p, v, max(ls, rs, abs(v))


def main():
    rng = random.Random(20240611)
    out = []
    while len(out) < 400:
        try:
            text, _, v, scale = build(rng, rng.randint(1, 5))
        except Reject:
            continue
        if sum(text.count(op) for op in PRIO) < 2:
            continue
        out.append(f"{text}\t{v!r}\t{scale!r}")
    print("\n".join(out))


if __name__ == "__main__":
    main()
