#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Mean and kappa-sigma combination in vectorised numpy: the baseline of
bench_combine. Same arithmetic as the program: truncating mean; kappa-sigma on
the colour norms with the mean summed relative to the first norm, spread =
sqrt(sum of squared deviations) / n, acceptance at |m - norm| <= kappa * s,
black dot when all are rejected (the benchmark runs without rejet_kappa),
halves rounded to even.

usage: combine_numpy.py FRAMES.raw N W H KAPPA [OURS_MEAN.raw OURS_KAPPA.raw]
FRAMES.raw holds N frames of H rows of W pixels, blue, green, red bytes.
Prints one line per method: "<method> <seconds> <identical|different|->".
"""
import sys
import time

import numpy as np


def mean_combine(f):
    n = f.shape[0]
    return (f.sum(axis=0, dtype=np.uint32) // n).astype(np.uint8)


def kappa_combine(f, kappa):
    n = f.shape[0]
    wide = f.astype(np.int32)
    norms = np.sqrt((wide[..., 2] * wide[..., 2] + wide[..., 1] * wide[..., 1]
                     + wide[..., 0] * wide[..., 0]).astype(np.float64))
    first = norms[0]
    # A reduction over the first axis adds the frames in order, as the program does.
    m = first + (norms[1:] - first).sum(axis=0) / n
    sq = ((norms - m) ** 2).sum(axis=0)
    limit = kappa * (np.sqrt(sq) / n)
    ok = np.abs(m - norms) <= limit
    k = ok.sum(axis=0).astype(np.float64)
    sums = (wide * ok[..., None]).sum(axis=0).astype(np.float64)
    k = np.where(k < 1, 1.0, k)      # all rejected: the sums are 0, a black dot
    return np.minimum(np.rint(sums / k[..., None]), 255).astype(np.uint8)


def main():
    path, n, w, h, kappa = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    ours = sys.argv[6:8]
    frames = np.fromfile(path, dtype=np.uint8).reshape(n, h, w, 3)
    for name, run, ref in (("mean", lambda: mean_combine(frames), ours[0] if ours else None),
                           ("kappa", lambda: kappa_combine(frames, kappa), ours[1] if ours else None)):
        best = None
        for _ in range(2):
            t0 = time.perf_counter()
            out = run()
            dt = time.perf_counter() - t0
            best = dt if best is None else min(best, dt)
        same = "-"
        if ref:
            same = "identical" if np.array_equal(out, np.fromfile(ref, dtype=np.uint8).reshape(h, w, 3)) else "different"
        print(f"{name} {best:.4f} {same}", flush=True)


if __name__ == "__main__":
    main()
