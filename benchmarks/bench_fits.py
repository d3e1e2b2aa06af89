"""Cost of the fitting functions against SciPy baselines measured in the same run.

    python benchmarks/bench_fits.py [--repeat 5] [--only mgh|covariance]

Prints:
  * a 100-point BM3 fit with fit_rt_eos_native against scipy.optimize.least_squares on a vectorised NumPy
    residual of the same problem (same start, tolerances 1e-8): the time ratio;
  * the same fit through fit_least_squares with that NumPy residual, against the same SciPy baseline;
  * a latent-volume BM3 fit with fit_rt_eos_native at 10^3 and 10^4 points, each in its own interpreter:
    the times, their ratio, and the peak resident memory that each fit added;
  * four Python threads each running native fits at once against the same fits one after another: the
    speed-up (the fits release the interpreter lock);
  * the 18 Moré-Garbow-Hillstrom least-squares problems (mgh_problems.py) through fit_least_squares and SciPy's
    "trf": per problem whether each solver reached the known minimum, and its residual evaluations; totals;
  * reading parameter_covariance of a fit_least_squares result with 100, 300 and 1000 parameters, against
    numpy.linalg.pinv of the same Jacobian (pinv(J)·pinv(J)ᵀ), and the largest relative difference of the
    standard errors. The covariance runs on one thread; OPENBLAS_NUM_THREADS=1 makes NumPy's do the same.
"""

import argparse
import json
import subprocess
import sys
import threading
import time

import numpy as np
from mgh_problems import PROBLEMS as MGH_PROBLEMS
from scipy.optimize import least_squares
from timing import best_time

from nivaltus._engine import RtEos, fit_least_squares, fit_rt_eos_native
from nivaltus.errors import FitError

V0, K0, K0_PRIME = 11.24, 160.0, 4.0
NAMES = ["V0", "K0", "K0_prime"]
INITIAL = np.array([11.0, 140.0, 5.0])
LOWER, UPPER = np.array([5.0, 10.0, 1.0]), np.array([20.0, 500.0, 10.0])


def bm3(v, v0, k0, kp):
    f = (v0 / v) ** (2 / 3)
    return 1.5 * k0 * (f ** 3.5 - f ** 2.5) * (1 + 0.75 * (kp - 4) * (f - 1))


def data(n, seed=1):
    rng = np.random.default_rng(seed)
    volume = np.linspace(8.0, 11.2, n)
    sigma = 0.05 + 0.01 * bm3(volume, V0, K0, K0_PRIME)
    return volume, bm3(volume, V0, K0, K0_PRIME) + rng.normal(0.0, sigma), sigma


def latent_fit(n):
    """Runs in a child interpreter: one latent-volume fit of n points; prints time and added peak memory."""
    import resource

    volume, pressure, sigma = data(n)
    volume_sigma = 0.001 * volume
    model = RtEos.bm3(*INITIAL)
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    start = time.perf_counter()
    result = fit_rt_eos_native(model, NAMES, INITIAL, LOWER, UPPER, pressure, volume, sigma, volume_sigma)
    elapsed = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before  # KiB on Linux
    print(json.dumps({"seconds": elapsed, "peak_kib": peak, "nfev": result.nfev, "success": result.success}))


def mgh_comparison():
    """Both solvers on each Moré-Garbow-Hillstrom problem from its standard start, unbounded, tolerances 1e-8.

    A run solves a problem when its final cost is within a relative 1e-6 or an absolute 1e-10 of the known
    minimum cost; where the paper lists several local minima, of the lower of the two final costs."""
    print("\nMoré-Garbow-Hillstrom problems (fit_least_squares against least_squares trf, budget 100 n)")
    print(f"  {'#':>2} {'problem':<30} {'m':>3} {'n':>2}  {'minimum cost':>12}"
          f"  {'nivaltus':>8} {'nfev':>5} {'final cost':>12}  {'scipy':>8} {'nfev':>5} {'final cost':>12}")
    solved, evaluations = {"nivaltus": 0, "scipy": 0}, {"nivaltus": 0, "scipy": 0}
    for problem in MGH_PROBLEMS:
        n = problem.x0.size
        infinite = np.full(n, np.inf)
        runs = {}
        with np.errstate(all="ignore"):
            try:
                native = fit_least_squares(problem.residual, problem.x0, -infinite, infinite, max_nfev=100 * n)
                runs["nivaltus"] = (native.cost, native.nfev)
            except FitError as error:  # e.g. a non-finite trial residual: the run solves nothing
                runs["nivaltus"] = (np.inf, None)
                print(f"  problem {problem.number}: fit_least_squares raised {type(error).__name__}: {error}")
            reference = least_squares(problem.residual, problem.x0, method="trf", ftol=1e-8, xtol=1e-8,
                                      gtol=1e-8, max_nfev=100 * n)
            runs["scipy"] = (reference.cost, reference.nfev)
        several = len(problem.minima) > 1
        minimum = min(cost for cost, _ in runs.values()) if several else problem.minima[0] / 2
        marker = "*" if several else " "
        row = f"  {problem.number:>2} {problem.name:<30} {problem.m:>3} {n:>2} {marker}{minimum:12.6e}"
        for solver, (cost, nfev) in runs.items():
            ok = abs(cost - minimum) <= max(1e-6 * minimum, 1e-10)
            solved[solver] += ok
            evaluations[solver] += nfev or 0
            row += f"  {'solved' if ok else 'not':>8} {nfev if nfev is not None else '-':>5} {cost:12.6e}"
        print(row)
    for solver in ("nivaltus", "scipy"):
        print(f"  {solver:>8}: {solved[solver]:2d} of {len(MGH_PROBLEMS)} solved, "
              f"{evaluations[solver]:5d} residual evaluations in all")
    print("  * several local minima listed: the lower of the two final costs")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--latent-child", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--only", choices=["mgh", "covariance"], help="run only this section")
    arguments = parser.parse_args()
    if arguments.latent_child:
        latent_fit(arguments.latent_child)
        return
    if arguments.only == "mgh":
        mgh_comparison()
        return
    if arguments.only == "covariance":
        covariance_timing(arguments.repeat)
        return

    volume, pressure, sigma = data(100)
    model = RtEos.bm3(*INITIAL)

    def residual(p):
        return (bm3(volume, *p) - pressure) / sigma

    def scipy_fit():
        return least_squares(residual, INITIAL, bounds=(LOWER, UPPER), ftol=1e-8, xtol=1e-8, gtol=1e-8)

    def native_fit():
        return fit_rt_eos_native(model, NAMES, INITIAL, LOWER, UPPER, pressure, volume, sigma)

    def python_fit():
        return fit_least_squares(residual, INITIAL, LOWER, UPPER)

    reference, native, through_python = scipy_fit(), native_fit(), python_fit()
    print("100-point BM3 fit (x: SciPy, native, fit_least_squares)")
    for label, x in (("scipy", reference.x), ("native", native.x), ("python", through_python.x)):
        print(f"  {label:>7}: V0 = {x[0]:.6f}, K0 = {x[1]:.4f}, K0' = {x[2]:.5f}")
    t_scipy = best_time(scipy_fit, arguments.repeat)[0]
    t_native = best_time(native_fit, arguments.repeat)[0]
    t_python = best_time(python_fit, arguments.repeat)[0]
    print(f"  least_squares (NumPy residual): {t_scipy * 1e3:8.3f} ms, {reference.nfev} evaluations")
    print(f"  fit_rt_eos_native:              {t_native * 1e3:8.3f} ms, {native.nfev} evaluations"
          f"  -> {t_scipy / t_native:6.1f}x faster than SciPy")
    print(f"  fit_least_squares (same NumPy): {t_python * 1e3:8.3f} ms, {through_python.nfev} evaluations"
          f"  -> {t_scipy / t_python:6.2f}x SciPy's speed")

    print("\nlatent-volume BM3 fit (one interpreter per size)")
    runs = {}
    for n in (1_000, 10_000):
        child = subprocess.run([sys.executable, __file__, "--latent-child", str(n)], check=True,
                               capture_output=True, text=True)
        runs[n] = json.loads(child.stdout)
        print(f"  {n:>6} points: {runs[n]['seconds'] * 1e3:8.2f} ms, {runs[n]['nfev']} evaluations, "
              f"peak memory added {runs[n]['peak_kib'] / 1024:7.2f} MiB, success {runs[n]['success']}")
    print(f"  time ratio 10^4 / 10^3 points: {runs[10_000]['seconds'] / runs[1_000]['seconds']:.2f}"
          " (10x the points)")

    print("\nfour threads each running native fits")
    big_volume, big_pressure, big_sigma = data(5_000)

    def work():
        for _ in range(3):
            fit_rt_eos_native(model, NAMES, INITIAL, LOWER, UPPER, big_pressure, big_volume, big_sigma,
                              0.001 * big_volume)

    def serial():
        for _ in range(4):
            work()

    def threaded():
        threads = [threading.Thread(target=work) for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    t_serial = best_time(serial, max(1, arguments.repeat // 2))[0]
    t_threaded = best_time(threaded, max(1, arguments.repeat // 2))[0]
    print(f"  one after another: {t_serial * 1e3:8.1f} ms; four threads at once: {t_threaded * 1e3:8.1f} ms"
          f"  -> speed-up {t_serial / t_threaded:.2f}x")

    mgh_comparison()
    covariance_timing(arguments.repeat)


def covariance_timing(repeat, sizes=(100, 300, 1000)):
    """parameter_covariance of a linear fit with n parameters and 2n residuals against NumPy's pinv."""
    print("\nparameter_covariance of a fit_least_squares result (2n residuals, condition about 1e3)")
    rng = np.random.default_rng(3)
    for n in sizes:
        # J = U·diag(σ)·Vᵀ with σ spread evenly in log from 1 down to 1e-3.
        u, _ = np.linalg.qr(rng.normal(size=(2 * n, n)))
        v, _ = np.linalg.qr(rng.normal(size=(n, n)))
        matrix = (u * np.logspace(0.0, -3.0, n)) @ v.T
        target = rng.normal(size=2 * n)
        result = fit_least_squares(lambda p: matrix @ p - target, np.zeros(n), np.full(n, -np.inf),
                                   np.full(n, np.inf), max_nfev=1)
        jac = result.jac

        def numpy_covariance():
            inverse = np.linalg.pinv(jac)
            return inverse @ inverse.T

        runs = max(1, repeat if n < 1000 else repeat // 2)
        t_native, covariance = best_time(lambda: result.parameter_covariance, runs)
        t_numpy, reference = best_time(numpy_covariance, runs)
        spread = np.max(np.abs(np.sqrt(np.diag(covariance)) / np.sqrt(np.diag(reference)) - 1.0))
        print(f"  n = {n:>4}: {t_native * 1e3:9.2f} ms; numpy pinv {t_numpy * 1e3:8.2f} ms"
              f"  -> {t_native / t_numpy:6.2f}x NumPy's time; standard errors within {spread:.1e} of NumPy's")


if __name__ == "__main__":
    main()
