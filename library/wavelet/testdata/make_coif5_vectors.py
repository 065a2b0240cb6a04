#!/usr/bin/python3
"""Reference vectors for the wavelet transform tests, made with PyWavelets.

Run once with Debian's interpreter (python3-pywt is packaged for it, not for
other Pythons on PATH) and commit the output beside this script:

    /usr/bin/python3 make_coif5_vectors.py > coif5_vectors.txt

Two kinds of reference:

* PyWavelets' own coif5 filter bank. PyWavelets 1.x ships coiflet
  coefficients recomputed in double precision; the station keeps the classic
  published table (the one written files were coded with), which agrees with
  it to about 1e-5. The test checks that agreement and the sign convention
  of the high-pass filter.

* Transforms computed by pywt.dwt / pywt.idwt in "periodization" mode, given
  the station's own 30-tap table as a custom orthogonal wavelet, so that they
  check the arithmetic of the transform to rounding. The station's forward
  level divides by sqrt(2) and starts its filter window at the sample itself,
  which is PyWavelets' output rotated by 7 places and scaled:
      ours[j] = pywt[(j + 7) mod (m/2)] / sqrt(2)
  and the inverse level is the transpose of that.
"""
import math
import sys

import numpy as np
import pywt

# The station's table, as it is in the source.
H = [
    -0.00021208083983, 0.00035858968793, 0.00217823635833, -0.0041593587818,
    -0.01013111752086, 0.02340815678818, 0.02816802897375, -0.09192001056889,
    -0.05204316318145, 0.42156620673301, 0.77428960373039, 0.43799162621564,
    -0.06203596396911, -0.1055742087139, 0.04128920875431, 0.03268357427038,
    -0.01976177894455, -0.0091642311634, 0.00676418544873, 0.0024333732129,
    -0.00166286370218, -0.00063813134311, 0.00030225958184, 0.00014054114972,
    -0.00004134043228, -0.00002131502681, 0.00000373465518, 0.00000206376185,
    -0.00000016744289, -0.00000009517657,
]
L = len(H)
SHIFT = 7
SQRT2 = math.sqrt(2.0)

rec_lo = np.array(H)
rec_hi = np.array([(-1) ** k * H[L - 1 - k] for k in range(L)])
station = pywt.Wavelet("station_coif5",
                       filter_bank=[rec_lo[::-1], rec_hi[::-1], rec_lo, rec_hi])


def forward(x):
    """All levels down to 64, in the station's layout."""
    out = np.array(x, dtype=float)
    m = len(out)
    while True:
        ca, cd = pywt.dwt(out[:m], station, mode="periodization")
        out[:m // 2] = np.roll(ca, -SHIFT) / SQRT2
        out[m // 2:m] = np.roll(cd, -SHIFT) / SQRT2
        if m <= 64:
            return out
        m //= 2


def restore(c):
    work = np.array(c, dtype=float)
    m = 64
    while True:
        a = np.roll(work[:m // 2], SHIFT) * SQRT2
        d = np.roll(work[m // 2:m], SHIFT) * SQRT2
        work[:m] = pywt.idwt(a, d, station, mode="periodization")
        if m >= len(work):
            return work
        m *= 2


def emit(name, values):
    values = list(values)
    print(name, len(values))
    for i in range(0, len(values), 4):
        print(" ".join(repr(float(v)) for v in values[i:i + 4]))


def main():
    print("# made by make_coif5_vectors.py with PyWavelets", pywt.__version__)
    builtin = pywt.Wavelet("coif5")
    emit("pywt_coif5_rec_lo", builtin.rec_lo)
    emit("pywt_coif5_rec_hi", builtin.rec_hi)

    rng = np.random.default_rng(20240611)
    signal_64 = rng.uniform(-1.0, 1.0, 64)
    emit("signal_64", signal_64)
    emit("forward_64", forward(signal_64))

    t = np.arange(256)
    signal_256 = 1000.0 + 0.5 * t + 40.0 * np.sin(t / 9.0) + rng.normal(0.0, 3.0, 256)
    emit("signal_256", signal_256)
    emit("forward_256", forward(signal_256))

    coeffs_128 = rng.normal(0.0, 1.0, 128)
    emit("coeffs_128", coeffs_128)
    emit("restore_128", restore(coeffs_128))


if __name__ == "__main__":
    sys.exit(main())
