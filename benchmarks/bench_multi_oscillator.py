"""Cost of single evaluations of the multi-oscillator Grueneisen model over the whole volume axis.

A Vinet reference (V0 = 1.1248, K0 = 160.2, K0' = 4.03) with two Einstein modes: every
``evaluate_scalar("pressure", V, T)`` on a grid of V from 0.3 to 2 V0 at 300, 1000, 2000 and
20000 K is timed alone, whatever it ends with (a value, or an error past the reference isotherm's
spinodal near 1.56 V0). Each evaluation runs the Grueneisen integral from V0 to V by adaptive
quadrature. The script prints the slowest single evaluation and the mean, then the ratio of the
mean over the values against the same thermal pressure written in NumPy with the integral by
``scipy.integrate.quad`` (analytic Vinet P, K and K'), and the largest difference between the two.
Last, a few volume inversions at 20000 K, among them pressures below the isotherm's minimum,
whose upward search reaches the spinodal.

    python benchmarks/bench_multi_oscillator.py [--points 341] [--repeat 3]
"""

import argparse
import math
import time

import numpy as np
from scipy.integrate import quad
from timing import best_time

from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import NivaltusError

R = 8.31446261815324
V0, K0, K0_PRIME = 1.1248, 160.2, 4.03
TR, QE1O, ME1, QE2O, ME2, DELTA, T_PARAMETER = 300.0, 700.0, 1.0, 900.0, 0.5, 1.0, 1.0
A_0, M, G, E_0, N = 1e-5, 1.0, 1e-5, 1.0, 2.0
TEMPERATURES = (300.0, 1000.0, 2000.0, 2e4)


def engine_model():
    return ThermalEos.multi_oscillator_gruneisen(
        RtEos.vinet(V0, K0, K0_PRIME), tr=TR, qe1o=QE1O, me1=ME1, qe2o=QE2O, me2=ME2, delta=DELTA,
        t=T_PARAMETER, a_0=A_0, m=M, g=G, e_0=E_0, beta=0.0, qbo=1.0, d=1.0, mb=0.0, qb1o=1.0, d1=1.0, mb1=0.0,
        n=N)


class ScipyMultiOscillator:
    """P(V, T) = P_Vinet(V) + [gamma R/V sum_k m_k (E_k(theta_k, T) - E_k(theta_k, Tr)) + A (T^2 - Tr^2)]/1e4
    for the two Einstein modes, theta_k = theta_k(V0) exp(int_x^1 gamma(x')/x' dx') by quad."""

    eta = 1.5 * (K0_PRIME - 1.0)

    def vinet(self, x):
        """P, K and K' = dK/dP = -f (dK/df) / (3K) of the Vinet isotherm at V = x V0, f = x^(1/3)."""
        f = x ** (1.0 / 3.0)
        e = math.exp(self.eta * (1.0 - f))
        s = 2.0 - f + self.eta * f * (1.0 - f)  # K = K0 s e / f^2
        k = K0 * s * e / f ** 2
        dk_df = K0 * e * ((self.eta - 1.0 - 2.0 * self.eta * f) / f ** 2 - 2.0 * s / f ** 3 - self.eta * s / f ** 2)
        return 3.0 * K0 * (1.0 - f) / f ** 2 * e, k, -f * dk_df / (3.0 * k)

    def gamma(self, x):
        p, k, k_prime = self.vinet(x)
        return DELTA + (k_prime / 2.0 - 1.0 / 6.0 - T_PARAMETER / 3.0 * (1.0 - p / (3.0 * k))) / (
            1.0 - 2.0 * T_PARAMETER * p / (3.0 * k))

    def pressure(self, v, t):
        x = v / V0
        scale = math.exp(quad(lambda y: self.gamma(y) / y, x, 1.0, epsabs=1e-12, epsrel=1e-12, limit=200)[0])

        def oscillators(temperature):
            return sum(m * (0.5 * theta + theta / math.expm1(theta / temperature))
                       for m, theta in ((ME1, QE1O * scale), (ME2, QE2O * scale)))

        a = (G * E_0 * x ** G + M * A_0 * x ** M) * 1.5 * N * R / 1e6 / v
        thermal = self.gamma(x) * R / v * (oscillators(t) - oscillators(TR)) + a * (t * t - TR * TR)
        return self.vinet(x)[0] + thermal / 1e4


def timed(call):
    """Wall time of one call, and its value or the error it raised."""
    start = time.perf_counter()
    try:
        outcome = call()
    except NivaltusError as error:
        outcome = error
    return time.perf_counter() - start, outcome


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=341, help="volumes from 0.3 to 2 V0")
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    model = engine_model()
    grid = [(v, t) for v in np.linspace(0.3, 2.0, args.points) * V0 for t in TEMPERATURES]
    costs, outcomes = [], []
    for v, t in grid:
        cost, outcome = min((timed(lambda: model.evaluate_scalar("pressure", v, t)) for _ in range(args.repeat)),
                            key=lambda pair: pair[0])
        costs.append(cost)
        outcomes.append(outcome)
    worst = int(np.argmax(costs))
    errors = {}
    for outcome in outcomes:
        if isinstance(outcome, NivaltusError):
            errors[outcome.code] = errors.get(outcome.code, 0) + 1
    print(f"{len(grid)} evaluations of pressure(V, T), V in [0.3, 2] V0, T in {TEMPERATURES}:")
    print(f"  slowest {costs[worst] * 1e3:.3f} ms at V = {grid[worst][0] / V0:.4f} V0, T = {grid[worst][1]:g} K "
          f"({type(outcomes[worst]).__name__}); mean {np.mean(costs) * 1e3:.3f} ms")
    print(f"  values {len(grid) - sum(errors.values())}, errors {errors or 'none'}")

    baseline = ScipyMultiOscillator()
    valued = [i for i, outcome in enumerate(outcomes) if not isinstance(outcome, NivaltusError)]
    regular = [i for i in valued if grid[i][0] / V0 <= 1.5]  # quad's own error grows towards the spinodal
    scipy_time, scipy_p = best_time(lambda: [baseline.pressure(*grid[i]) for i in regular], 1)
    engine_time = sum(costs[i] for i in regular)
    difference = max(abs(outcomes[i] - p) / max(abs(p), 1.0) for i, p in zip(regular, scipy_p))
    print(f"  {len(regular)} values up to 1.5 V0: engine {engine_time / len(regular) * 1e3:.3f} ms, "
          f"NumPy with scipy quad {scipy_time / len(regular) * 1e3:.3f} ms per evaluation, "
          f"ratio {scipy_time / engine_time:.1f}x, max relative difference {difference:.1e}")

    print("volume(P, 20000 K):")
    for pressure in (200.0, 50.0, 35.0, 10.0, 0.0):
        cost, outcome = timed(lambda: model.evaluate_scalar("volume", pressure, 2e4))
        shown = f"{outcome / V0:.6f} V0" if not isinstance(outcome, NivaltusError) else f"{outcome.code}: {outcome}"
        print(f"  P = {pressure:6.1f} GPa  {cost * 1e3:9.3f} ms  {shown}")


if __name__ == "__main__":
    main()
