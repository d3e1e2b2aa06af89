"""linear_uncertainty against NumPy's J·C·Jᵀ and monte_carlo_summary against NumPy's statistics."""

import math

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import linear_uncertainty, monte_carlo_summary
from nivaltus.errors import FitValidationError, ValidationError

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


def test_propagated_variance_is_clamped_but_the_covariance_diagonal_is_not():
    # J·C·Jᵀ = 0 for J ⟂ the covariance's range; rounding may give a tiny negative, never a negative variance.
    jacobian = np.array([[1.0, -1.0]])
    covariance = np.ones((2, 2))
    result = linear_uncertainty(jacobian, covariance, np.array([0.0]), full_covariance=True)
    assert result.variance[0] >= 0.0 and result.covariance[0, 0] == pytest.approx(0.0, abs=1e-15)


@pytest.mark.parametrize(
    "jacobian, covariance, state, error, message",
    [
        (np.ones(3), np.ones(1), np.ones(7), ValidationError, "jacobian must be two-dimensional"),
        (np.ones((0, 2)), np.eye(2), np.ones(0), FitValidationError,
         "invalid dimensions for linear uncertainty propagation"),
        (np.ones((2, 2)), np.eye(2), np.array([1.0, math.inf]), FitValidationError,
         "linear uncertainty inputs must be finite"),
        (np.ones((2, 2)), np.eye(2), np.array([1.0, -1e-300]), FitValidationError,
         "state variances must be nonnegative"),
        (np.ones((1, 2)), np.array([[1.0, 2.0], [2.0, 1.0]]), np.ones(1), FitValidationError,
         "parameter covariance must be positive semidefinite"),
    ],
)
def test_linear_propagation_checks(jacobian, covariance, state, error, message):
    raised = raises(error, lambda: linear_uncertainty(jacobian, covariance, state), message)
    expected = ("validation.invalid_input", None) if error is ValidationError else ("fit.invalid_input", "fit")
    assert (type(raised), raised.code, raised.operation) == (error, *expected)


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


@pytest.mark.parametrize(
    "samples, confidence, error, message",
    [
        (np.ones(5), 0.9, ValidationError, "samples must be two-dimensional"),
        (np.ones((1, 3)), 0.95, FitValidationError, "invalid Monte Carlo samples or confidence"),
        (np.ones((4, 2)), 1.0, FitValidationError, "invalid Monte Carlo samples or confidence"),
        (np.array([[1.0], [math.nan]]), 0.5, FitValidationError, "invalid Monte Carlo samples or confidence"),
    ],
)
def test_monte_carlo_checks(samples, confidence, error, message):
    assert type(raises(error, lambda: monte_carlo_summary(samples, confidence), message)) is error
