#!/usr/bin/env python3
# The log-normal estimate of a median row (Shi et al. 2020) worked out step
# by step in doubles, in the row rule's order, with each logarithm,
# exponential, power and normal quantile correctly rounded through mpmath at
# 50 digits: the digits every platform must write.
#   scripts/lognormal_reference.py N MIN Q1 MEDIAN Q3 MAX   ("-" for none)
#   scripts/lognormal_reference.py --check OUTPUT.csv
#       (kelmory-batch --median lognormal's output: the rows that differ)
import csv, sys
from fractions import Fraction
from mpmath import mp, mpf
mp.dps = 50
P = lambda x, y: float(mp.power(mpf(x), mpf(y)))
L = lambda x: float(mp.log(mpf(x)))
E = lambda x: float(mp.exp(mpf(x)))
sqrt = lambda x: float(mp.sqrt(mpf(x)))  # IEEE sqrt is correctly rounded too
def upper_z(tail):
    t = mpf(Fraction(tail).numerator) / mpf(Fraction(tail).denominator)
    return float(mp.sqrt(2) * mp.erfinv(1 - 2 * t))
Xi = lambda n: 2 * upper_z(0.625 / (n + 0.25))
Eta = lambda n: 2 * upper_z((0.25 * n + 0.375) / (n + 0.25))
def lognormal(n, mn, q1, m, q3, mx):
    rng, qs = mn is not None, q1 is not None
    a = L(mn) if rng else 0; b = L(mx) if rng else 0
    Q1 = L(q1) if qs else 0; Q3 = L(q3) if qs else 0
    m = L(m); log_n = L(n)
    if rng and qs:
        w1 = 2.2 / (2.2 + P(n, 0.75)); w2 = 0.7 - 0.72 / P(n, 0.55)
        mu = w1 * (a + b) / 2 + w2 * (Q1 + Q3) / 2 + (1 - w1 - w2) * m
        w = 1 / (1 + 0.07 * P(n, 0.6))
        raw = w * (b - a) / Xi(n) + (1 - w) * (Q3 - Q1) / Eta(n)
        sigma = raw / sqrt(1 + 0.28 / (log_n * log_n))
        s4 = P(raw, 4) / (1 + 3.93 / n)
        phi = 1 + 0.405 * sigma * sigma / n + 0.315 * s4 / n
        phi1 = 1 + 1.62 * sigma * sigma / n + 5.04 * s4 / n
        phi2 = 1 + 1.62 * sigma * sigma / n + 1.26 * s4 / n
    elif rng:
        w = 4 / (4 + P(n, 0.75))
        mu = w * (a + b) / 2 + (1 - w) * m
        raw = (b - a) / Xi(n)
        sigma = raw / sqrt(1.01 + 0.25 / (log_n * log_n))
        s4 = P(raw, 4) / (1 + 2.23 / (log_n * log_n))
        phi = 1 + 0.565 * sigma * sigma / n + 0.37 * s4 / n
        phi1 = 1 + 2.26 * sigma * sigma / n + 5.92 * s4 / n
        phi2 = 1 + 2.26 * sigma * sigma / n + 1.48 * s4 / n
    else:
        w = 0.7 + 0.39 / n
        mu = w * (Q1 + Q3) / 2 + (1 - w) * m
        raw = (Q3 - Q1) / Eta(n)
        sigma = raw / sqrt(1 + 1.58 / n)
        s4 = P(raw, 4) / (1 + 19.2 / P(n, 1.2))
        phi = 1 + 0.57 * sigma * sigma / n + 0.75 * s4 / n
        phi1 = 1 + 2.28 * sigma * sigma / n + 12 * s4 / n
        phi2 = 1 + 2.28 * sigma * sigma / n + 3 * s4 / n
    mean = E(mu + sigma * sigma / 2) / phi
    second = E(2 * mu + 2 * sigma * sigma) / phi1 - E(2 * mu + sigma * sigma) / phi2
    return mean, sqrt(second)
f = lambda s: float(s) if s not in ('', '-') else None
if sys.argv[1] == '--check':
    bad = 0
    rows = list(csv.DictReader(open(sys.argv[2])))
    for r in rows:
        if not r['mean_skewed']:
            continue
        mean, sd = lognormal(float(r['n']), f(r['min']), f(r['q1']), float(r['median']),
                             f(r['q3']), f(r['max']))
        if repr(mean) != r['mean_skewed'] or repr(sd) != r['sd_skewed']:
            bad += 1
            print(r['study'], repr(mean), r['mean_skewed'], repr(sd), r['sd_skewed'])
    print(len(rows), 'rows,', bad, 'differ')
    sys.exit(1 if bad else 0)
n, mn, q1, m, q3, mx = (f(a) for a in sys.argv[1:7])
mean, sd = lognormal(n, mn, q1, m, q3, mx)
print(repr(mean), repr(sd))
