"""Writes the tables of the third-order Debye function D3(x) = (3/x^3) int_0^x t^3/(e^t - 1) dt.

* core/thermal/debye_function_3_table.hpp: on [0, UPPER] in intervals of
  width WIDTH, the coefficients of one polynomial per interval in the local
  variable s = (x - c)/h (c the interval's midpoint, h its half-width), so
  that p(s) approximates D3 with a relative error below TARGET. They are the
  Chebyshev interpolant of degree DEGREE of D3 on the interval, written in
  powers of s and rounded to doubles; the relative error is checked with the
  rounded coefficients.
* tests/core/thermal/debye_function_3_reference.hpp: D3 to 40 significant
  digits at every grid point x (each an exact double): a dense logarithmic
  grid over [0.001, 150], the interval ends and the points around them.

D3 is computed from the integral by mpmath's quadrature at 60 digits and
checked against the closed form in polylogarithms,
  int_0^x t^3/(e^t - 1) dt = pi^4/15 + x^3 ln(1 - q) - 3x^2 Li2(q) - 6x Li3(q) - 6 Li4(q),  q = e^-x.

    python3 scripts/generate_debye_function_3.py
"""

import math
import pathlib

import mpmath
from mpmath import mp, mpf

mp.dps = 60

ROOT = pathlib.Path(__file__).resolve().parent.parent
TABLE_HEADER = ROOT / "core/thermal/debye_function_3_table.hpp"
REFERENCE_HEADER = ROOT / "tests/core/thermal/debye_function_3_reference.hpp"

WIDTH = 0.5
UPPER = 12.0
DEGREE = 9
TARGET = 2.0 ** -52
SERIES_THRESHOLD = 0.001
ASYMPTOTE_THRESHOLD = 150.0
REFERENCE_PER_LINE = 10


def debye_integral(x):
    x = mpf(x)
    # Break points keep every quadrature panel short next to the integrand's bend.
    points = [mpf(0)] + [p for p in (mpf(1), mpf(4), mpf(16), mpf(64)) if p < x] + [x]
    return mp.quad(lambda t: t**3 / mp.expm1(t) if t != 0 else mpf(0), points)


def debye_integral_closed_form(x):
    x = mpf(x)
    q = mp.exp(-x)
    return (mp.pi**4 / 15 + x**3 * mp.log1p(-q) - 3 * x**2 * mp.polylog(2, q) - 6 * x * mp.polylog(3, q)
            - 6 * mp.polylog(4, q))


def debye_function_3(x):
    if x == 0:
        return mpf(1)  # the limit x -> 0
    integral = debye_integral(x)
    closed = debye_integral_closed_form(x)
    if abs(integral - closed) > mpf(10) ** -50 * abs(closed):
        raise SystemExit(f"quadrature and closed form disagree at x = {x}: {integral} vs {closed}")
    return 3 * integral / mpf(x) ** 3


def to_double(value):
    return float(mpmath.nstr(value, 40, strip_zeros=False, min_fixed=-1, max_fixed=-1))


def chebyshev_monomials(f, degree):
    """Coefficients (lowest power first) of the Chebyshev interpolant of f on [-1, 1] at the
    degree + 1 Chebyshev points of the first kind, written in powers of s."""
    n = degree + 1
    nodes = [mp.cos(mp.pi * (k + mpf(1) / 2) / n) for k in range(n)]
    values = [f(s) for s in nodes]
    cheb = [2 * mp.fsum(values[k] * mp.cos(mp.pi * j * (k + mpf(1) / 2) / n) for k in range(n)) / n
            for j in range(n)]
    cheb[0] /= 2
    # T_0 = 1, T_1 = s, T_{j+1} = 2 s T_j - T_{j-1}, each as a list of monomial coefficients.
    monomials = [mpf(0)] * n
    t_prev, t_curr = [mpf(1)], [mpf(0), mpf(1)]
    for j in range(n):
        basis = t_prev if j == 0 else t_curr if j == 1 else None
        if j >= 2:
            t_next = [mpf(0)] + [2 * c for c in t_curr]
            for i, c in enumerate(t_prev):
                t_next[i] -= c
            t_prev, t_curr = t_curr, t_next
            basis = t_curr
        for i, c in enumerate(basis):
            monomials[i] += cheb[j] * c
    return monomials


def interval_table():
    table = []
    worst = mpf(0)
    count = round(UPPER / WIDTH)
    half = mpf(WIDTH) / 2
    for i in range(count):
        centre = mpf(WIDTH) * i + half
        local = lambda s: debye_function_3(centre + half * s)  # noqa: E731
        coefficients = [to_double(c) for c in chebyshev_monomials(local, DEGREE)]
        for k in range(41):
            s = mpf(-1) + mpf(k) / 20
            exact = local(s)
            approximate = mp.polyval([mpf(c) for c in reversed(coefficients)], s)
            worst = max(worst, abs(approximate / exact - 1))
        table.append(coefficients)
    if worst > TARGET:
        raise SystemExit(f"degree {DEGREE} reaches only {mpmath.nstr(worst, 3)} relative; raise DEGREE")
    return table, worst


def reference_grid():
    points = set()
    lo, hi, n = math.log(SERIES_THRESHOLD), math.log(ASYMPTOTE_THRESHOLD), 600
    for k in range(n + 1):
        points.add(math.exp(lo + (hi - lo) * k / n))
    points.update([SERIES_THRESHOLD, ASYMPTOTE_THRESHOLD])
    ends = [WIDTH * i for i in range(1, round(UPPER / WIDTH) + 1)]
    for end in ends:
        points.update([math.nextafter(end, 0.0), end, math.nextafter(end, math.inf)])
    points = sorted(p for p in points if SERIES_THRESHOLD <= p <= ASYMPTOTE_THRESHOLD)
    return points


def write_table(table, worst):
    rows = []
    for coefficients in table:
        cells = [repr(c) for c in coefficients]
        lines = [", ".join(cells[k:k + 3]) for k in range(0, len(cells), 3)]
        rows.append("    {" + ",\n     ".join(lines) + "},")
    body = "\n".join(rows)
    TABLE_HEADER.write_text(f"""#pragma once
// Generated by scripts/generate_debye_function_3.py; edit the script, not this file.
//
// D3(x) on [0, {UPPER}) in {len(table)} intervals of width {WIDTH}: on the interval
// [{WIDTH} i, {WIDTH} (i + 1)), D3(x) = sum_k c[i][k] s^k with s = (x - c_i)/h, c_i the
// midpoint and h = {WIDTH / 2} the half-width. Each row is the degree-{DEGREE} Chebyshev
// interpolant of D3 on its interval in powers of s, rounded to doubles; its
// relative error is at most {mpmath.nstr(worst, 2)}.

namespace nivaltus::thermal::debye_table {{

inline constexpr double interval_width = {WIDTH!r};
inline constexpr double inverse_interval_width = {1.0 / WIDTH!r};
inline constexpr double inverse_half_width = {2.0 / WIDTH!r};
inline constexpr double upper_end = {UPPER!r};
inline constexpr int interval_count = {len(table)};
inline constexpr int degree = {DEGREE};

// clang-format off
inline constexpr double coefficients[interval_count][degree + 1] = {{
{body}
}};
// clang-format on

}}  // namespace nivaltus::thermal::debye_table
""")


def write_reference(points):
    cells = []
    for x in points:
        value = mpmath.nstr(debye_function_3(x), 40, strip_zeros=False, min_fixed=-1, max_fixed=-1)
        cells.append(f"{{{x!r}, {value}L}},")
    rows = [" ".join(cells[k:k + REFERENCE_PER_LINE]) for k in range(0, len(cells), REFERENCE_PER_LINE)]
    body = "\n".join(rows)
    REFERENCE_HEADER.write_text(f"""#pragma once
// Generated by scripts/generate_debye_function_3.py; edit the script, not this file.
//
// D3(x) = (3/x^3) int_0^x t^3/(e^t - 1) dt to 40 significant digits (mpmath
// quadrature at 60 digits, checked against the polylogarithm closed form) at
// {len(points)} exact doubles x in [{SERIES_THRESHOLD}, {ASYMPTOTE_THRESHOLD}]: a logarithmic grid, both
// ends, and every interval end of the D3 table with its two neighbours.

namespace nivaltus::thermal_test {{

struct DebyeReferenceValue {{
  double x;
  long double d3;
}};

// clang-format off
inline constexpr DebyeReferenceValue debye_function_3_reference[] = {{
{body}
}};
// clang-format on

}}  // namespace nivaltus::thermal_test
""")


def main():
    table, worst = interval_table()
    write_table(table, worst)
    print(f"{TABLE_HEADER.relative_to(ROOT)}: {len(table)} intervals, degree {DEGREE}, "
          f"relative error {mpmath.nstr(worst, 3)}")
    points = reference_grid()
    write_reference(points)
    print(f"{REFERENCE_HEADER.relative_to(ROOT)}: {len(points)} values")


if __name__ == "__main__":
    main()
