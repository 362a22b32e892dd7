#!/usr/bin/env python3
"""Writes critical_reference.csv: 200 two-sided critical values (the normal
and Student's t quantiles at (100 + level) / 200) to 40 significant digits,
computed with mpmath at 60 digits from the exact value of each level's
double. The tests check that kelmory's values are these, correctly rounded.

    python3 scripts/critical_reference.py > tests/batch/critical_reference.csv
"""
import mpmath as mp

mp.mp.dps = 60

LEVELS = [50.0, 68.27, 80.0, 90.0, 95.0, 97.5, 98.0, 99.0, 99.9, 99.99]
DFS = [1, 2, 3, 4, 5, 7, 9, 10, 14, 19, 24, 29, 40, 59, 99, 120, 500, 1000, 100000]


def upper_tail_t(t, df):
    # P(T > t) for t > 0, through the regularized incomplete beta function.
    x = df / (df + t * t)
    return mp.betainc(df / 2, mp.mpf(1) / 2, 0, x, regularized=True) / 2


def student(level, df):
    q = (100 - mp.mpf(level)) / 200
    df = mp.mpf(df)
    lo, hi = mp.mpf(0), mp.mpf(1)
    while upper_tail_t(hi, df) > q:
        hi *= 2
    # Bisection to well past 60 digits: slow, but nothing to go wrong.
    for _ in range(220):
        mid = (lo + hi) / 2
        if upper_tail_t(mid, df) > q:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def normal(level):
    return mp.sqrt(2) * mp.erfinv(mp.mpf(level) / 100)


print("level,df,value")
for level in LEVELS:
    print(f"{level!r},0,{mp.nstr(normal(level), 40, strip_zeros=False)}")
    for df in DFS:
        print(f"{level!r},{df},{mp.nstr(student(level, df), 40, strip_zeros=False)}")
