"""linear_uncertainty against NumPy's J·C·Jᵀ and monte_carlo_summary against NumPy's statistics."""

import math
import sys

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import linear_uncertainty, monte_carlo_summary
from nivaltus.errors import FitEosNumericalError, FitValidationError, ValidationError

RNG = np.random.default_rng(5)
A = RNG.normal(size=(4, 4))
COVARIANCE = A @ A.T + np.diag([0.1, 0.2, 0.3, 0.4])
JACOBIAN = RNG.normal(size=(6, 4))
STATE = np.abs(RNG.normal(size=6))


@pytest.mark.parametrize(
    "jacobian, covariance, state",
    [
        (JACOBIAN, COVARIANCE, STATE),
        # Only element counts matter: a flat covariance, an (m, 1) state variance, non-contiguous views.
        (JACOBIAN, COVARIANCE.ravel(), STATE[:, None]),
        (np.asfortranarray(JACOBIAN), COVARIANCE.T, STATE[::-1][::-1]),
        (JACOBIAN[:, ::2], COVARIANCE[::2, ::2], np.zeros(6)),
    ],
    ids=["plain", "reshaped", "strided", "sub-block"],
)
def test_linear_propagation_matches_numpy(jacobian, covariance, state):
    c = covariance.reshape(jacobian.shape[1], -1)
    expected = jacobian @ c @ jacobian.T + np.diag(state.ravel())
    result = linear_uncertainty(jacobian, covariance, state, True)
    np.testing.assert_allclose(result.variance, np.diag(expected), rtol=1e-13)
    np.testing.assert_allclose(result.covariance, expected, rtol=1e-13, atol=1e-13)
    assert linear_uncertainty(jacobian, covariance, state).covariance is None


SAMPLES = RNG.normal(size=(501, 3)) * [1.0, 5.0, 0.01] + [0.0, 10.0, -3.0]


@pytest.mark.parametrize("confidence", [0.0, 0.5, 0.6827, 0.95, 0.999])
@pytest.mark.parametrize("samples", [SAMPLES, SAMPLES[:2], SAMPLES[::-3], np.asfortranarray(SAMPLES[:10])],
                         ids=["501", "2", "strided", "fortran"])
def test_monte_carlo_summary_matches_numpy(samples, confidence):
    tail = (1.0 - confidence) / 2.0 * 100.0
    summary = monte_carlo_summary(samples, confidence, full_covariance=True)
    np.testing.assert_allclose(summary.standard_error, samples.std(axis=0, ddof=1), rtol=1e-12)
    np.testing.assert_allclose(summary.lower, np.percentile(samples, tail, axis=0), rtol=1e-13)
    np.testing.assert_allclose(summary.upper, np.percentile(samples, 100.0 - tail, axis=0), rtol=1e-13)
    np.testing.assert_allclose(summary.covariance, np.cov(samples, rowvar=False), rtol=1e-11, atol=1e-16)
    assert monte_carlo_summary(samples, confidence).covariance is None


LINEAR, SUMMARY, ONE = linear_uncertainty, monte_carlo_summary, np.ones(1)
DIMENSIONS = "invalid dimensions for linear uncertainty propagation"
FINITE, INVALID = "linear uncertainty inputs must be finite", "invalid Monte Carlo samples or confidence"


@pytest.mark.parametrize(
    "function, arguments, error, message",
    [
        (LINEAR, (np.ones(3), ONE, np.ones(7)), ValidationError, "jacobian must be two-dimensional"),
        (LINEAR, (np.ones((0, 2)), np.eye(2), np.ones(0)), FitValidationError, DIMENSIONS),
        (LINEAR, (np.ones((1, 1)), ONE, np.ones(2)), FitValidationError, DIMENSIONS),
        (LINEAR, (np.ones((2, 2)), np.eye(2), np.array([1.0, math.inf])), FitValidationError, FINITE),
        # Finiteness before the sign of a state variance.
        (LINEAR, (np.full((1, 1), math.nan), ONE, -ONE), FitValidationError, FINITE),
        (LINEAR, (np.ones((2, 2)), np.eye(2), np.array([1.0, -1e-300])), FitValidationError,
         "state variances must be nonnegative"),
        (LINEAR, (np.ones((1, 2)), np.array([[1.0, 2.0], [2.0, 1.0]]), ONE), FitValidationError,
         "parameter covariance must be positive semidefinite"),
        (LINEAR, (np.ones((1, 2)), np.array([[1.0, 1.0 + 1e-9], [1.0, 1.0]]), ONE), FitValidationError,
         "parameter covariance must be symmetric"),
        (SUMMARY, (np.ones(5), 0.9), ValidationError, "samples must be two-dimensional"),
        (SUMMARY, (np.ones((1, 3)), 0.95), FitValidationError, INVALID),
        (SUMMARY, (np.ones((4, 2)), 1.0), FitValidationError, INVALID),
        (SUMMARY, (np.ones((4, 2)), math.nan), FitValidationError, INVALID),
        (SUMMARY, (np.array([[1.0], [math.nan]]), 0.5), FitValidationError, INVALID),
    ],
)
def test_uncertainty_checks(function, arguments, error, message):
    raised = raises(error, lambda: function(*arguments), message)
    expected = ("validation.invalid_input", None) if error is ValidationError else ("fit.invalid_input", "fit")
    assert (type(raised), raised.code, raised.operation) == (error, *expected)


MAX = sys.float_info.max
P = 1.5 * 2.0 ** 511  # P² < MAX < 10·P²
TINY = 2.0 ** -600  # TINY² rounds to 0
ALTERNATING = np.array([1.0, -1.0] * 5)
NON_FINITE = "raises the non-finite error"


@pytest.mark.parametrize(
    "call, expected",
    [
        # J·C overflows before J·C·Jᵀ cancels to 0.
        (lambda: linear_uncertainty(np.array([[1e300, 1e300]]), np.array([[1e10, -1e10], [-1e10, 1e10]]),
                                    np.zeros(1), True), dict(variance=[0.0], covariance=[[0.0]])),
        # C = c·ones gives (J·C·Jᵀ)_ab = c·(Σ_j J_aj)·(Σ_j J_bj): row sums 2^400 and 1, c = 2^30;
        # c·2^1000 overflows.
        (lambda: linear_uncertainty(np.array([[2.0 ** 1000, -2.0 ** 1000, 2.0 ** 400], [1.0, 0.0, 0.0]]),
                                    np.full((3, 3), 2.0 ** 30), np.zeros(2), True),
         dict(variance=[2.0 ** 830, 2.0 ** 30], covariance=[[2.0 ** 830, 2.0 ** 430], [2.0 ** 430, 2.0 ** 30]])),
        (lambda: linear_uncertainty(np.array([[1e200]]), np.ones((1, 1)), np.zeros(1)), NON_FINITE),
        # Equal samples whose sum overflows: no spread.
        (lambda: monte_carlo_summary(np.array([[1e308], [1e308]]), 0.9),
         dict(standard_error=[0.0], lower=[1e308], upper=[1e308])),
        # Deviations (2, 2, −4)·1e308/3 from the mean: s = 2e308/√3; lower = −1e308 + 0.1·2e308, whose gap
        # overflows.
        (lambda: monte_carlo_summary(np.array([[1e308], [1e308], [-1e308]]), 0.9),
         dict(standard_error=[2.0 / math.sqrt(3.0) * 1e308], lower=[-8e307], upper=[1e308])),
        (lambda: monte_carlo_summary(np.array([[1e308], [1e308], [-1e308]]), 0.9, True), NON_FINITE),  # 4e616/3
        (lambda: monte_carlo_summary(np.array([[MAX], [-MAX]]), 0.5), NON_FINITE),  # s = √2·MAX
        # Ten ±P: the squares sum past MAX, the variance 10·P²/9 does not; ten ±TINY keep their spread.
        (lambda: monte_carlo_summary(np.outer(ALTERNATING, [P, TINY]), 0.5, True),
         dict(standard_error=[math.sqrt(10.0 / 9.0) * P, math.sqrt(10.0 / 9.0) * TINY], lower=[-P, -TINY],
              upper=[P, TINY], covariance=np.array([[P * P, P * TINY], [P * TINY, 0.0]]) * (10.0 / 9.0))),
    ],
    ids=["cancelling", "cancelling-rows", "beyond-max", "equal", "opposite", "opposite-covariance", "max-spread",
         "extreme-columns"],
)
def test_uncertainty_of_extreme_values(call, expected):
    if expected is NON_FINITE:
        error = raises(FitEosNumericalError, call, "model returned a non-finite result")
        assert (error.code, error.operation) == ("eos.non_finite_result", "fit")
        return
    result = call()
    for name, values in expected.items():
        np.testing.assert_allclose(getattr(result, name), values, rtol=1e-14, atol=0)
    assert not hasattr(result, "lower") or np.all(result.lower <= result.upper)
