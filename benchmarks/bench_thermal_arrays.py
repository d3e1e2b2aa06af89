"""Timing of ThermalEos array evaluation against NumPy and SciPy written by hand.

Two comparisons on a Mie-Grueneisen-Debye model over a BM3 reference:

* ``evaluate_array("pressure", V, T)`` on 10^6 (volume, temperature) pairs
  against the same physics in vectorised NumPy, whose Debye integral uses
  fixed Gauss-Legendre nodes (the fewest nodes that agree with the engine to
  1e-9 relative over the grid);
* ``evaluate_array("volume", P, T)`` on 10^4 (pressure, temperature) pairs
  against a per-element ``scipy.optimize.brentq`` loop over that NumPy
  pressure.

Ratios are baseline time / engine time (above 1: the engine is faster). Then
the engine's own cost per point of ``evaluate_array("pressure")`` and
``evaluate_array("volume")`` for the three models whose thermal energy is a
Debye function: Mie-Grueneisen-Debye, Dewaele 2006 and Debye-quadratic. The
worker pool runs NIVALTUS_NUM_THREADS workers, 2 unless set.

    python benchmarks/bench_thermal_arrays.py [--pairs 1000000] [--volumes 10000] [--repeat 2]
"""

import argparse
import os

os.environ.setdefault("NIVALTUS_NUM_THREADS", "2")

import numpy as np  # noqa: E402
from scipy.optimize import brentq  # noqa: E402
from timing import best_time  # noqa: E402

from nivaltus._engine import RtEos, ThermalEos  # noqa: E402

R = 8.31446261815324
V0, K0, K0_PRIME = 11.24, 160.0, 4.0
TR, THETA0, GAMMA0, Q, N = 300.0, 800.0, 1.5, 1.0, 2.0


def engine_model():
    return ThermalEos.mie_gruneisen_debye(RtEos.bm3(V0, K0, K0_PRIME), TR, THETA0, GAMMA0, Q, N)


def debye_models():
    reference = RtEos.bm3(V0, K0, K0_PRIME)
    return {
        "Mie-Grueneisen-Debye": engine_model(),
        "Dewaele 2006": ThermalEos.dewaele_2006(reference, TR, THETA0, GAMMA0, 0.5, 1.0, 1e-5, 1.0, 1e-5, 1.0,
                                                N),
        "Debye-quadratic": ThermalEos.debye_quadratic_thermal_pressure(reference, TR, THETA0, GAMMA0, Q, N,
                                                                        1e-7, 1.0),
    }


class NumpyMieGruneisenDebye:
    """P(V, T) = P_BM3(V) + gamma(V) (E(V, T) - E(V, Tr)) / V / 10000, with
    E = 9 n R T (T/theta)^3 int_0^(theta/T) t^3/(e^t - 1) dt by Gauss-Legendre."""

    def __init__(self, nodes):
        u, w = np.polynomial.legendre.leggauss(nodes)
        self.u, self.w = (u + 1.0) / 2.0, w / 2.0  # on [0, 1]

    def energy(self, theta, t):
        y = theta / t
        s = y[..., None] * self.u
        integral = y * ((s ** 3 / np.expm1(s)) @ self.w)
        return 9.0 * N * R * t * integral / y ** 3

    def pressure(self, v, t):
        x = v / V0
        gamma = GAMMA0 * x ** Q
        theta = THETA0 * np.exp(-GAMMA0 * (x ** Q - 1.0) / Q)
        f = x ** (-2.0 / 3.0)
        cold = 1.5 * K0 * (f ** 3.5 - f ** 2.5) * (1.0 + 0.75 * (K0_PRIME - 4.0) * (f - 1.0))
        return cold + gamma / v * (self.energy(theta, t) - self.energy(theta, np.full_like(t, TR))) / 1e4

    def pressure_chunked(self, v, t, chunk=65536):
        out = np.empty_like(v)
        for start in range(0, v.size, chunk):
            end = start + chunk
            out[start:end] = self.pressure(v[start:end], t[start:end])
        return out


def max_relative_difference(a, b):
    return float(np.max(np.abs(a - b) / np.maximum(np.abs(b), 1.0)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pairs", type=int, default=1_000_000)
    parser.add_argument("--volumes", type=int, default=10_000)
    parser.add_argument("--repeat", type=int, default=2)
    args = parser.parse_args()

    rng = np.random.default_rng(2024)
    model = engine_model()
    print(f"workers: NIVALTUS_NUM_THREADS={os.environ['NIVALTUS_NUM_THREADS']}")

    volumes = rng.uniform(8.0, 12.0, args.pairs)
    temperatures = rng.uniform(300.0, 3000.0, args.pairs)
    sample = slice(0, 20_000)
    reference = model.evaluate_array("pressure", volumes[sample], temperatures[sample])
    for nodes in (8, 12, 16, 20, 24, 32, 48):
        numpy_model = NumpyMieGruneisenDebye(nodes)
        if max_relative_difference(numpy_model.pressure(volumes[sample], temperatures[sample]), reference) < 1e-9:
            break
    print(f"NumPy Debye integral: {nodes} Gauss-Legendre nodes")

    engine_time, engine_p = best_time(lambda: model.evaluate_array("pressure", volumes, temperatures), args.repeat)
    numpy_time, numpy_p = best_time(lambda: numpy_model.pressure_chunked(volumes, temperatures), args.repeat)
    print(f"pressure, {args.pairs} pairs: engine {engine_time:.3f} s, NumPy {numpy_time:.3f} s, "
          f"ratio {numpy_time / engine_time:.2f}x, max relative difference "
          f"{max_relative_difference(engine_p, numpy_p):.1e}")

    pressures = rng.uniform(0.0, 100.0, args.volumes)
    temps = rng.uniform(300.0, 3000.0, args.volumes)

    def brentq_loop():
        out = np.empty_like(pressures)
        for i, (p, t) in enumerate(zip(pressures, temps)):
            t_array = np.array([t])
            out[i] = brentq(lambda v: numpy_model.pressure(np.array([v]), t_array)[0] - p, 0.5 * V0, 1.5 * V0,
                            xtol=1e-12, rtol=1e-12)
        return out

    engine_time, engine_v = best_time(lambda: model.evaluate_array("volume", pressures, temps), args.repeat)
    scipy_time, scipy_v = best_time(brentq_loop, 1)
    print(f"volume, {args.volumes} pairs: engine {engine_time:.3f} s, brentq loop {scipy_time:.3f} s, "
          f"ratio {scipy_time / engine_time:.2f}x, max relative difference "
          f"{max_relative_difference(engine_v, scipy_v):.1e}")

    print("engine cost per point (wall time / points):")
    for name, model in debye_models().items():
        p_time, _ = best_time(lambda: model.evaluate_array("pressure", volumes, temperatures), args.repeat)
        v_time, _ = best_time(lambda: model.evaluate_array("volume", pressures, temps), args.repeat)
        print(f"  {name:22s} pressure {p_time / args.pairs * 1e6:8.3f} us, "
              f"volume {v_time / args.volumes * 1e6:8.2f} us")


if __name__ == "__main__":
    main()
