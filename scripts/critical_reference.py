#!/usr/bin/env python3
"""Writes the reference critical values, to 50 significant digits, computed
with mpmath at 70 digits from each level's or p's decimal text taken exactly
(99.9 is 99.9, not the double nearest it). The tests check that kelmory's
values are these, correctly rounded.

    python3 scripts/critical_reference.py levels > tests/batch/critical_reference.csv
    python3 scripts/critical_reference.py more > tests/batch/critical_reference_more.csv

levels: the normal and Student's t quantiles at (100 + level) / 200 for 200
(level, df) pairs. more: levels with more digits, low levels, and the t of
two-sided p values (at 1 - p/2).
"""
import sys

import mpmath as mp

mp.mp.dps = 70

LEVELS = ["50", "68.27", "80", "90", "95", "97.5", "98", "99", "99.9", "99.99"]
DFS = [1, 2, 3, 4, 5, 7, 9, 10, 14, 19, 24, 29, 40, 59, 99, 120, 500, 1000, 100000]
MORE_LEVELS = ["1", "5", "12.5", "33.3", "68.2689492", "99.5", "99.95", "99.999", "99.9999",
               "95.4499736103642"]
MORE_DFS = [0, 1, 3, 9, 29, 100]
P_VALUES = ["0.99", "0.985", "0.995", "0.9", "0.5", "0.2", "0.05", "0.02", "0.001", "1e-6",
            "0.049", "0.0001234"]
P_DFS = [1, 5, 25, 45, 200]


def upper_tail_t(t, df):
    # P(T > t) for t > 0, through the regularized incomplete beta function.
    x = df / (df + t * t)
    return mp.betainc(df / 2, mp.mpf(1) / 2, 0, x, regularized=True) / 2


def student_upper(q, df):
    """The t with P(T > t) = q, for 0 < q < 1/2."""
    df = mp.mpf(df)
    lo, hi = mp.mpf(0), mp.mpf(1)
    while upper_tail_t(hi, df) > q:
        hi *= 2
    # Bisection to well past 70 digits: slow, but nothing to go wrong.
    for _ in range(260):
        mid = (lo + hi) / 2
        if upper_tail_t(mid, df) > q:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def critical(level, df):
    q = (100 - mp.mpf(level)) / 200
    if df == 0:
        return mp.sqrt(2) * mp.erfinv(mp.mpf(level) / 100)
    return student_upper(q, df)


def text(value):
    return mp.nstr(value, 50, strip_zeros=False)


if sys.argv[1:] == ["levels"]:
    print("level,df,value")
    for level in LEVELS:
        for df in [0] + DFS:
            print(f"{level},{df},{text(critical(level, df))}")
elif sys.argv[1:] == ["more"]:
    print("kind,text,df,value")
    for level in MORE_LEVELS:
        for df in MORE_DFS:
            print(f"level,{level},{df},{text(critical(level, df))}")
    for p in P_VALUES:
        for df in P_DFS:
            print(f"p,{p},{df},{text(student_upper(mp.mpf(p) / 2, df))}")
else:
    sys.exit(__doc__)
