"""linear_uncertainty against NumPy's J·C·Jᵀ and monte_carlo_summary against NumPy's statistics."""

import math
import sys

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import linear_uncertainty, monte_carlo_summary
from nivaltus.errors import FitEosNumericalError, FitValidationError

RNG = np.random.default_rng(5)
A = RNG.normal(size=(4, 4))
COVARIANCE, JACOBIAN = A @ A.T + np.diag([0.1, 0.2, 0.3, 0.4]), RNG.normal(size=(6, 4))


def test_linear_propagation_matches_numpy():
    # Only element counts matter: a flat covariance, an (m, 1) state variance; views with negative strides.
    jacobian, covariance, state = JACOBIAN[::-1], COVARIANCE.ravel(), np.abs(RNG.normal(size=6))[::-1, None]
    expected = jacobian @ COVARIANCE @ jacobian.T + np.diag(state.ravel())
    result = linear_uncertainty(jacobian, covariance, state, True)
    np.testing.assert_allclose(result.variance, np.diag(expected), rtol=1e-13)
    np.testing.assert_allclose(result.covariance, expected, rtol=1e-13, atol=1e-13)
    assert linear_uncertainty(jacobian, covariance, state).covariance is None


SAMPLES = RNG.normal(size=(501, 3)) * [1.0, 5.0, 0.01] + [0.0, 10.0, -3.0]


@pytest.mark.parametrize("confidence", [0.0, 0.6827, 0.999])
@pytest.mark.parametrize("samples", [SAMPLES, SAMPLES[:2], SAMPLES[::-3]], ids=["501", "2", "strided"])
def test_monte_carlo_summary_matches_numpy(samples, confidence):
    tail = (1.0 - confidence) / 2.0 * 100.0
    summary = monte_carlo_summary(samples, confidence, full_covariance=True)
    np.testing.assert_allclose(summary.standard_error, samples.std(axis=0, ddof=1), rtol=1e-12)
    expected = np.percentile(samples, [tail, 100.0 - tail], axis=0)
    np.testing.assert_allclose([summary.lower, summary.upper], expected, rtol=1e-13)
    np.testing.assert_allclose(summary.covariance, np.cov(samples, rowvar=False), rtol=1e-11, atol=1e-16)


LINEAR, SUMMARY, ONE = linear_uncertainty, monte_carlo_summary, np.ones(1)


@pytest.mark.parametrize(
    "function, arguments, message",
    [
        (LINEAR, (np.ones((0, 2)), np.eye(2), np.ones(0)), "invalid dimensions for linear uncertainty propagation"),
        (LINEAR, (np.ones((1, 1)), ONE, np.ones(2)), "invalid dimensions for linear uncertainty propagation"),
        (LINEAR, (np.full((1, 1), math.nan), ONE, -ONE), "linear uncertainty inputs must be finite"),  # then the sign
        (LINEAR, (np.ones((1, 1)), ONE, np.array([math.nan])), "linear uncertainty inputs must be finite"),
        (LINEAR, (np.ones((2, 2)), np.eye(2), np.array([1.0, -1e-300])), "state variances must be nonnegative"),
        (LINEAR, (np.ones((1, 2)), np.array([[1.0, 2.0], [2.0, 1.0]]), ONE),
         "parameter covariance must be positive semidefinite"),
        (LINEAR, (np.ones((1, 2)), np.array([[1.0, 1.0 + 1e-9], [1.0, 1.0]]), ONE),
         "parameter covariance must be symmetric"),
        (SUMMARY, (np.ones((1, 3)), 0.95), "invalid Monte Carlo samples or confidence"),
        (SUMMARY, (np.ones((4, 2)), 1.0), "invalid Monte Carlo samples or confidence"),
        (SUMMARY, (np.array([[1.0], [math.nan]]), 0.5), "invalid Monte Carlo samples or confidence"),
    ],
)
def test_uncertainty_checks(function, arguments, message):
    raised = raises(FitValidationError, lambda: function(*arguments), message)
    assert (type(raised), raised.code, raised.operation) == (FitValidationError, "fit.invalid_input", "fit")


MAX, P, TINY = sys.float_info.max, 1.5 * 2.0 ** 511, 2.0 ** -600  # P² < MAX < 10·P²; TINY² rounds to 0
E308, ROOT = np.array([[1e308], [1e308], [-1e308]]), math.sqrt(10.0 / 9.0)
NON_FINITE = "raises the non-finite error"


@pytest.mark.parametrize(
    "function, arguments, expected",
    [
        # C = c·ones gives (J·C·Jᵀ)_ab = c·(Σ_j J_aj)·(Σ_j J_bj), c = 2^30; J·C overflows, J·C·Jᵀ does not.
        (LINEAR, (np.array([[2.0 ** 1000, -2.0 ** 1000, 2.0 ** 400], [1.0, 0.0, 0.0]]), np.full((3, 3), 2.0 ** 30),
                  np.zeros(2), True),
         dict(variance=[2.0 ** 830, 2.0 ** 30], covariance=[[2.0 ** 830, 2.0 ** 430], [2.0 ** 430, 2.0 ** 30]])),
        (LINEAR, (np.array([[1e200]]), np.ones((1, 1)), np.zeros(1)), NON_FINITE),
        # Valid singular covariances: a zero pivot on the diagonal (factor [[2, 0], [1, 0]]), and one met
        # again below it (factor rows (1, 0, 0), (1, 0, 0), (0, 0, √2)).
        (LINEAR, (np.eye(2), np.array([[4.0, 2.0], [2.0, 1.0]]), np.zeros(2), True),
         dict(variance=[4.0, 1.0], covariance=[[4.0, 2.0], [2.0, 1.0]])),
        (LINEAR, (np.eye(3), np.array([[1.0, 1.0, 0.0], [1.0, 1.0, 0.0], [0.0, 0.0, 2.0]]), np.zeros(3)),
         dict(variance=[1.0, 1.0, 2.0])),
        (SUMMARY, (E308[:2], 0.9), dict(standard_error=[0.0], lower=[1e308], upper=[1e308])),  # the sum overflows
        # Deviations (2, 2, −4)·1e308/3: s = 2e308/√3; lower = −1e308 + 0.1·2e308, whose gap overflows.
        (SUMMARY, (E308, 0.9), dict(standard_error=[2.0 / math.sqrt(3.0) * 1e308], lower=[-8e307], upper=[1e308])),
        (SUMMARY, (E308, 0.9, True), NON_FINITE),  # covariance 4e616/3
        (SUMMARY, (np.array([[MAX], [-MAX]]), 0.5), NON_FINITE),  # s = √2·MAX
        # Ten ±P: the squares sum past MAX, the variance 10·P²/9 does not; ten ±TINY keep their spread.
        (SUMMARY, (np.outer([1.0, -1.0] * 5, [P, TINY]), 0.5, True),
         dict(standard_error=[ROOT * P, ROOT * TINY], lower=[-P, -TINY], upper=[P, TINY],
              covariance=np.array([[P * P, P * TINY], [P * TINY, 0.0]]) * (10.0 / 9.0))),
    ],
)
def test_uncertainty_of_extreme_values(function, arguments, expected):
    if expected is NON_FINITE:
        error = raises(FitEosNumericalError, lambda: function(*arguments), "model returned a non-finite result")
        assert (error.code, error.operation) == ("eos.non_finite_result", "fit")
        return
    result = function(*arguments)
    for name, values in expected.items():
        np.testing.assert_allclose(getattr(result, name), values, rtol=1e-14, atol=0)
    assert not hasattr(result, "lower") or np.all(result.lower <= result.upper)
