"""fit_least_squares: robust fits against SciPy, errors in variables against Deming, the structured layout
checks, and what a misbehaving residual function leads to."""

import math

import numpy as np
import pytest
from scipy.optimize import least_squares

from conftest import raises, run_python
from nivaltus._engine import fit_least_squares
from nivaltus.errors import FitError, FitValidationError

INF = math.inf
T = np.linspace(0.0, 4.0, 25)
NOISE = np.random.default_rng(7).normal(0.0, 0.05, T.size)
OUTLIERS = np.isin(np.arange(T.size), [5, 17]) * 1.5  # make the robust losses differ from the linear one
PROBLEMS = {
    "line": (lambda p, t: p[0] + p[1] * t, [2.0, 0.5], [0.0, 0.0]),
    "exponential": (lambda p, t: p[0] * np.exp(-p[1] * t), [3.0, 0.7], [1.0, 0.2]),
}


@pytest.mark.parametrize("loss", ["linear", "soft_l1", "huber", "cauchy", "arctan"])
@pytest.mark.parametrize("problem", list(PROBLEMS))
def test_robust_fits_match_scipy(problem, loss):
    model, truth, start = PROBLEMS[problem]
    y = model(truth, T) + NOISE + OUTLIERS
    residual = lambda p: model(p, T) - y  # noqa: E731
    reference = least_squares(residual, start, loss=loss, f_scale=0.3, ftol=1e-14, xtol=1e-14, gtol=1e-14)
    result = fit_least_squares(residual, np.array(start), np.full(2, -INF), np.full(2, INF), loss, 0.3)
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
    full = np.linalg.inv(result.jac.T @ result.jac)
    np.testing.assert_allclose(result.parameter_covariance, full[:2, :2], rtol=1e-6)


MISMATCH = "structured layout does not match the parameter vector"


@pytest.mark.parametrize(
    "counts, message",
    [
        (dict(global_parameter_count=1, point_count=2), "all structured least-squares dimensions must be supplied together"),
        (dict(global_parameter_count=1, point_count=3, latent_coordinate_count=1), MISMATCH),
        # g + P·L wraps to 3 in 64-bit arithmetic: refused, never indexed.
        (dict(global_parameter_count=4, point_count=2 ** 64 - 1, latent_coordinate_count=1), MISMATCH),
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
        (lambda p: np.array([np.nan, 1.0]), "residual evaluation returned an invalid vector"),
        (lambda p: np.ones(3) if p[0] != 0.5 else np.ones(2), "residual evaluation returned an invalid vector"),
        ("not callable", "TypeError: 'str' object is not callable"),
    ],
)
def test_misbehaving_residual_functions(function, message):
    error = raises(FitError, lambda: fit_least_squares(function, np.array([0.5, 0.5]), np.zeros(2), np.ones(2)),
                   message)
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
    n = 1_000_000
    x_obs = np.linspace(1.0, 2.0, n)
    residual = lambda p: np.concatenate([p[0] * p[1:] - 3.0 * x_obs, p[1:] - x_obs])  # noqa: E731
    result = fit_least_squares(residual, np.concatenate([[2.0], x_obs]), np.full(n + 1, -INF), np.full(n + 1, INF),
                               global_parameter_count=1, point_count=n, latent_coordinate_count=1)
    assert result.x[0] == pytest.approx(3.0, rel=1e-6) and result.parameter_covariance.shape == (1, 1)
    with pytest.raises(MemoryError):
        result.jac


@pytest.mark.parametrize("exception", [KeyboardInterrupt, SystemExit, GeneratorExit])
def test_interrupts_and_exits_raised_by_the_residual_function_propagate_unchanged(exception):
    raised, calls = exception(), []

    def residual(p):
        calls.append(p)
        if len(calls) == 2:  # inside the first Jacobian
            raise raised
        return p - 0.25

    with pytest.raises(exception) as info:
        fit_least_squares(residual, np.array([0.5, 0.5]), np.zeros(2), np.ones(2))
    assert info.value is raised and len(calls) == 2


def test_ctrl_c_ends_a_python_fit_promptly():
    process = run_python(
        """
        import os, signal, threading, time
        import numpy as np
        from nivaltus._engine import fit_least_squares

        def rosenbrock(p):
            time.sleep(0.002)
            return np.concatenate([10 * (p[1:] - p[:-1] ** 2), 1 - p[:-1]])

        threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT)).start()
        start = time.monotonic()
        try:
            fit_least_squares(rosenbrock, np.full(40, -1.2), np.full(40, -5.0), np.full(40, 5.0), max_nfev=100000)
        except KeyboardInterrupt:
            print("KeyboardInterrupt", time.monotonic() - start < 3.0)
        """
    )
    assert process.stdout.split() == ["KeyboardInterrupt", "True"]
