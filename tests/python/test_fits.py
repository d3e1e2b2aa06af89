"""fit_least_squares and the native EOS fits against SciPy and closed forms; their errors, the lock and Ctrl-C."""

import math
import threading
import time

import numpy as np
import pytest
from scipy.optimize import curve_fit, least_squares

from conftest import bm3, einstein, raises, run_python
from nivaltus._engine import RtEos, ThermalEos, fit_least_squares, fit_rt_eos_native, fit_thermal_eos_native
from nivaltus.errors import FitEosValidationError, FitError, FitValidationError

INF = math.inf
TIGHT = dict(method="trf", ftol=1e-14, xtol=1e-14, gtol=1e-14)
T = np.linspace(0.0, 4.0, 25)
# Two gross outliers make the robust losses differ from the linear one.
Y = 3.0 * np.exp(-0.7 * T) + np.random.default_rng(7).normal(0.0, 0.05, T.size) + np.isin(np.arange(25), [5, 17]) * 1.5


@pytest.mark.parametrize("loss", ["linear", "soft_l1", "huber", "cauchy", "arctan"])
def test_robust_fits_match_scipy(loss):
    residual = lambda p: p[0] * np.exp(-p[1] * T) - Y  # noqa: E731
    reference = least_squares(residual, [1.0, 0.2], loss=loss, f_scale=0.3, **TIGHT)
    result = fit_least_squares(residual, np.array([1.0, 0.2]), np.full(2, -INF), np.full(2, INF), loss, 0.3)
    assert result.success, result.message
    np.testing.assert_allclose(result.x, reference.x, rtol=2e-6)
    assert result.cost == pytest.approx(reference.cost, rel=1e-9)
    np.testing.assert_allclose(result.fun, residual(result.x), rtol=0, atol=1e-15)
    np.testing.assert_allclose(result.jac, reference.jac, rtol=0, atol=1e-5)  # rows scaled for the loss


def test_errors_in_variables_line_matches_deming():
    rng, sigma_x, sigma_y, n = np.random.default_rng(11), 0.05, 0.2, 40
    truth = np.linspace(0.0, 10.0, n)
    x, y = truth + rng.normal(0.0, sigma_x, n), 1.0 + 0.8 * truth + rng.normal(0.0, sigma_y, n)
    residual = lambda p: np.concatenate([(p[0] + p[1] * p[2:] - y) / sigma_y, (p[2:] - x) / sigma_x])  # noqa: E731
    result = fit_least_squares(residual, np.concatenate([[0.0, 1.0], x]), np.full(n + 2, -INF), np.full(n + 2, INF),
                               global_parameter_count=2, point_count=n, latent_coordinate_count=1)
    # Deming regression in closed form, error-variance ratio delta = var(y) / var(x).
    delta, sxx, syy, sxy = (sigma_y / sigma_x) ** 2, np.var(x), np.var(y), np.cov(x, y, ddof=0)[0, 1]
    slope = (syy - delta * sxx + math.sqrt((syy - delta * sxx) ** 2 + 4 * delta * sxy ** 2)) / (2 * sxy)
    np.testing.assert_allclose(result.x[:2], [y.mean() - slope * x.mean(), slope], rtol=1e-7)
    assert result.success and result.jac.shape == (2 * n, n + 2)
    # The profiled covariance of (a, b) equals the leading block of the full inverse.
    np.testing.assert_allclose(result.parameter_covariance, np.linalg.inv(result.jac.T @ result.jac)[:2, :2], rtol=1e-6)


@pytest.mark.parametrize(
    "counts, message",
    [
        (dict(global_parameter_count=1, point_count=2), "all structured least-squares dimensions must be supplied together"),
        # g + P·L wraps to 3 in 64-bit arithmetic: refused, never indexed.
        (dict(global_parameter_count=4, point_count=2 ** 64 - 1, latent_coordinate_count=1),
         "structured layout does not match the parameter vector"),
        (dict(loss="Huber", global_parameter_count=1), "unsupported loss function: Huber"),  # loss before layout
    ],
)
def test_layout_checks(counts, message):
    calls = []
    error = raises(FitValidationError, lambda: fit_least_squares(calls.append, np.ones(3), np.zeros(3),
                                                                 np.full(3, 2.0), **counts), message)
    assert (error.code, error.operation, error.field, calls) == ("fit.invalid_input", "fit", None, [])


@pytest.mark.parametrize(
    "function, message",
    [
        (lambda p: 1 / 0, "ZeroDivisionError: division by zero"),
        (lambda p: np.ones(2, np.float32), "'ndarray' object is not an instance of 'ndarray[float64]'"),
        (lambda p: None, "'None' is not an instance of 'ndarray[float64]'"),
        (lambda p: np.array([np.nan, 1.0]), "residual evaluation returned an invalid vector"),
        (lambda p: np.ones(3) if p[0] != 0.5 else np.ones(2), "residual evaluation returned an invalid vector"),
        ("not callable", "TypeError: 'str' object is not callable"),
    ],
)
def test_misbehaving_residual_functions(function, message):
    error = raises(FitError, lambda: fit_least_squares(function, np.full(2, 0.5), np.zeros(2), np.ones(2)), message)
    assert (type(error).__name__, error.code, error.operation) == ("FitError", "fit.evaluation_failed", "fit")
    assert error.__cause__ is None and error.__context__ is None


def test_residual_function_gets_a_fresh_one_dimensional_copy():
    seen = []

    def residual(p):
        seen.append(p)
        p[:] = 1e9  # changes nothing in the fit
        return np.array([[2.0 * seen[-1].sum()]])  # any shape with the right element count is read in order

    initial = np.array([[0.25, 0.5]])
    result = fit_least_squares(residual, initial, np.full((1, 2), -INF), np.full((1, 2), INF), max_nfev=1)
    assert all(p.shape == (2,) and p.dtype == np.float64 for p in seen) and len({id(p) for p in seen}) == len(seen)
    assert (result.x.tolist(), result.nfev, result.status, initial.tolist()) == ([0.25, 0.5], 1, 0, [[0.25, 0.5]])


def test_large_structured_jacobian_is_formed_only_when_read():
    # The fit keeps its Jacobian in blocks (about 4·10^6 values); the whole matrix would take 16 TB.
    n, x_obs = 1_000_000, np.linspace(1.0, 2.0, 1_000_000)
    residual = lambda p: np.concatenate([p[0] * p[1:] - 3.0 * x_obs, p[1:] - x_obs])  # noqa: E731
    result = fit_least_squares(residual, np.concatenate([[2.0], x_obs]), np.full(n + 1, -INF), np.full(n + 1, INF),
                               global_parameter_count=1, point_count=n, latent_coordinate_count=1)
    assert result.x[0] == pytest.approx(3.0, rel=1e-6) and result.parameter_covariance.shape == (1, 1)
    pytest.raises(MemoryError, getattr, result, "jac")


@pytest.mark.parametrize("exception", [KeyboardInterrupt, SystemExit, GeneratorExit])
def test_interrupts_and_exits_raised_by_the_residual_function_propagate_unchanged(exception):
    raised, calls = exception(), []

    def residual(p):
        calls.append(p)
        if len(calls) == 2:  # inside the first Jacobian
            raise raised
        return p - 0.25

    assert raises(exception, lambda: fit_least_squares(residual, np.full(2, 0.5), np.zeros(2), np.ones(2))) is raised
    assert len(calls) == 2


NAMES, TRUTH = ["V0", "K0", "K0_prime"], np.array([11.24, 160.0, 4.0])
RNG, VOLUME = np.random.default_rng(2), np.linspace(8.0, 11.2, 20)
PRESSURE_SIGMA = 0.05 + 0.01 * bm3(VOLUME, *TRUTH)
PRESSURE = bm3(VOLUME, *TRUTH) + RNG.normal(0.0, PRESSURE_SIGMA)
INITIAL, LOWER, UPPER = np.array([11.0, 140.0, 5.0]), np.array([5.0, 10.0, 1.0]), np.array([20.0, 500.0, 10.0])


# In SI units the parameters lie orders of magnitude apart and SciPy's covariance loses K0: compare in GPa.
@pytest.mark.parametrize("p_unit, v_unit", [(1.0, 1.0), (1e9, 1e-6)], ids=["GPa", "SI"])
def test_bm3_fit_matches_curve_fit(p_unit, v_unit):
    expected, covariance = curve_fit(bm3, VOLUME, PRESSURE, INITIAL, PRESSURE_SIGMA, absolute_sigma=True, **TIGHT)
    scale = np.array([v_unit, p_unit, 1.0])
    volume, pressure, sigma = VOLUME * v_unit, PRESSURE * p_unit, PRESSURE_SIGMA * p_unit
    result = fit_rt_eos_native(RtEos.bm3(*(INITIAL * scale)), NAMES, INITIAL * scale, LOWER * scale, UPPER * scale,
                               pressure, volume, sigma)
    np.testing.assert_allclose(result.x, expected * scale, rtol=1e-7)
    np.testing.assert_allclose(result.parameter_covariance, covariance * np.outer(scale, scale), rtol=1e-4)
    np.testing.assert_allclose(result.predicted_pressure, bm3(volume, *result.x), rtol=1e-12)
    np.testing.assert_allclose(result.fun, (result.predicted_pressure - pressure) / sigma, rtol=1e-9, atol=1e-12)


def fit(**changes):
    arguments = dict(model=RtEos.bm3(*INITIAL), parameter_names=NAMES, initial=INITIAL, lower=LOWER, upper=UPPER,
                     pressure=PRESSURE, volume=VOLUME, pressure_sigma=PRESSURE_SIGMA)
    return lambda: fit_rt_eos_native(**dict(arguments, **changes))


def holland_powell(vt, v0, k0, alpha0):
    """BM3 plus the Holland-Powell thermal pressure alpha0 K0 / Cv(Tr) (E(T) - E(Tr)), Einstein E and Cv."""
    (energy, _), (energy_ref, cv_ref) = einstein(700.0, vt[1]), einstein(700.0, 300.0)
    return bm3(vt[0], v0, k0, 4.0) + alpha0 * k0 / cv_ref * (energy - energy_ref)


VT = np.array([a.ravel() for a in np.meshgrid(np.linspace(9.0, 11.5, 6), np.linspace(300.0, 2000.0, 5))])
THERMAL_SIGMA = np.full(30, 0.1)
THERMAL_PRESSURE = holland_powell(VT, 11.24, 160.0, 3e-5) + RNG.normal(0.0, 0.1, 30)


def test_thermal_fit_matches_curve_fit():
    model = ThermalEos.holland_powell_thermal_pressure(RtEos.bm3(11.0, 150.0, 4.0), 300.0, 700.0, 2e-5, 2.0)
    initial, lower, upper = np.array([11.0, 150.0, 2e-5]), np.array([5.0, 10.0, 0.0]), np.array([20.0, 500.0, 1e-3])
    result = fit_thermal_eos_native(model, ["rt_eos.V0", "rt_eos.K0", "alpha0"], initial, lower, upper,
                                    THERMAL_PRESSURE, VT[0], VT[1], THERMAL_SIGMA)
    expected, covariance = curve_fit(holland_powell, VT, THERMAL_PRESSURE, initial, THERMAL_SIGMA,
                                     absolute_sigma=True, x_scale=[1.0, 100.0, 1e-5], **TIGHT)
    np.testing.assert_allclose(result.x, expected, rtol=1e-6)
    np.testing.assert_allclose(result.parameter_covariance, covariance, rtol=1e-4)
    np.testing.assert_allclose(result.predicted_pressure, holland_powell(VT, *result.x), rtol=1e-11)
    # Latent volumes and temperatures.
    model = ThermalEos.holland_powell_thermal_pressure(RtEos.bm3(11.24, 160.0, 4.0), 300.0, 700.0, 3e-5, 2.0)
    result = fit_thermal_eos_native(model, ["rt_eos.K0", "alpha0"], np.array([150.0, 2e-5]), np.array([10.0, 0.0]),
                                    np.array([500.0, 1e-3]), THERMAL_PRESSURE, VT[0], VT[1], THERMAL_SIGMA,
                                    volume_sigma=np.full(30, 0.01), temperature_sigma=np.full(30, 5.0))
    assert result.x.shape == (62,) and result.fun.shape == (90,)
    np.testing.assert_allclose(result.x[:2], [160.0, 3e-5], rtol=0.05)
    assert np.all(np.abs(result.x[-30:] - VT[1]) < 25.0)  # latent temperatures last


@pytest.mark.parametrize(
    "call, message",
    [
        (fit(loss="Huber", volume=VOLUME[:3]), "unsupported loss function: Huber"),
        (fit(volume=VOLUME[:3]), "EOS observation arrays must have the same non-zero length"),
        (fit(volume_sigma=VOLUME, observation_cholesky=np.ones(79)),
         "observation Cholesky factors have invalid dimensions or values"),
        (fit(parameter_names=[]), "native EOS parameter names and values have different lengths"),
        (fit(parameter_names=["V0", "K0", "Kp"]), 'parameter "Kp" is unavailable for the native EOS'),
        (fit(max_nfev=0), "max_evaluations must be positive"),
        (fit(initial=np.array([11.0, -5.0, 4.0]), lower=np.array([5.0, -10.0, 1.0])),
         "invalid parameter K0: must be positive and finite"),
    ],
)
def test_fit_errors(call, message):
    eos = message.startswith("invalid parameter")
    error = raises(FitEosValidationError if eos else FitValidationError, call, message)
    expected = ("eos.invalid_parameter", "fit", "K0") if eos else ("fit.invalid_input", "fit", None)
    assert (error.code, error.operation, error.field) == expected


def test_native_fit_releases_the_interpreter_lock():
    volume = np.linspace(8.0, 11.2, 50000)
    worker = threading.Thread(target=fit(pressure=bm3(volume, *TRUTH), volume=volume, volume_sigma=0.001 * volume,
                                         pressure_sigma=np.full(volume.size, 0.1)))
    start, last, gap = time.perf_counter(), time.perf_counter(), 0.0
    worker.start()
    while worker.is_alive():  # holding the lock, the fit would stop this loop for its whole duration
        now = time.perf_counter()
        last, gap = now, max(gap, now - last)
    assert last - start > 0.05 and gap < 0.2 * (last - start)


def test_ctrl_c_ends_a_python_fit_promptly_and_a_native_fit_after_it():
    process = run_python(
        """
        import os, signal, threading, time
        import numpy as np
        from conftest import bm3
        from nivaltus._engine import RtEos, fit_least_squares, fit_rt_eos_native

        def rosenbrock(p):
            time.sleep(0.002)
            return np.concatenate([10 * (p[1:] - p[:-1] ** 2), 1 - p[:-1]])

        threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT)).start()
        start = time.monotonic()
        try:
            fit_least_squares(rosenbrock, np.full(40, -1.2), np.full(40, -5.0), np.full(40, 5.0), max_nfev=100000)
        except KeyboardInterrupt:
            print("KeyboardInterrupt", time.monotonic() - start < 3.0)
        # A native fit holds no Python frame: the interrupt is raised when it returns.
        n, v = 200000, np.linspace(8.0, 11.2, 200000)
        threading.Timer(0.05, os.kill, (os.getpid(), signal.SIGINT)).start()
        try:
            fit_rt_eos_native(RtEos.bm3(11, 150, 4), ["V0", "K0", "K0_prime"], np.array([11.0, 150.0, 4.0]),
                              np.array([5.0, 10.0, 1.0]), np.array([20.0, 500.0, 10.0]), bm3(v, 11.24, 160, 4), v,
                              np.ones(n), 0.01 * v)
            time.sleep(1.0)
        except KeyboardInterrupt:
            print("interrupted")
        """, interruptible=True)
    assert process.stdout.split() == ["KeyboardInterrupt", "True", "interrupted"]
