"""Fits that must reach the optimum: active bounds against SciPy, exact data, starts leaving the model's domain."""

import numpy as np
import pytest
from numpy.polynomial import polynomial
from scipy.optimize import least_squares, lsq_linear

from conftest import bm3
from nivaltus._engine import RtEos, fit_least_squares, fit_rt_eos_native

INF = np.inf
NAMES = ["V0", "K0", "K0_prime"]
RNG = np.random.default_rng(7)
DESIGN = np.column_stack([np.ones(20), np.linspace(0.0, 1.0, 20)])
LINE = DESIGN @ [1.0, 2.0] + RNG.normal(0.0, 0.01, 20)
VOLUME, SIGMA = np.linspace(8.0, 11.2, 30), np.full(30, 0.1)
PRESSURE, VOLUME_SIGMA = bm3(VOLUME, 11.24, 160.0, 4.2) + RNG.normal(0.0, 0.1, 30), 0.002 * VOLUME
OBSERVED_VOLUME = VOLUME + RNG.normal(0.0, 1.0, VOLUME.size) * VOLUME_SIGMA
# K0' capped below its free optimum (about 4.2), so the cap is active at the solution.
LOWER, UPPER, START = np.array([5.0, 10.0, 1.0]), np.array([20.0, 500.0, 3.9]), np.array([11.0, 140.0, 3.0])


def trf(residual, start, lower, upper):
    return least_squares(residual, start, bounds=(lower, upper), method="trf", ftol=1e-15, xtol=1e-15, gtol=1e-15)


def line_case():
    lower, upper = np.array([-INF, -INF]), np.array([0.5, INF])
    ours = fit_least_squares(lambda x: DESIGN @ x - LINE, np.array([0.0, 1.0]), lower, upper)
    return ours, ours.x, lsq_linear(DESIGN, LINE, bounds=(lower, upper), tol=1e-15).x


def bm3_case():
    ours = fit_rt_eos_native(RtEos.bm3(*START), NAMES, START, LOWER, UPPER, PRESSURE, VOLUME, SIGMA, None)
    return ours, ours.x, trf(lambda x: (bm3(VOLUME, *x) - PRESSURE) / SIGMA, START, LOWER, UPPER).x


def latent_bm3_case():
    ours = fit_rt_eos_native(RtEos.bm3(*START), NAMES, START, LOWER, UPPER, PRESSURE, OBSERVED_VOLUME, SIGMA,
                             VOLUME_SIGMA)

    def residual(z):
        return np.concatenate([(bm3(z[3:], *z[:3]) - PRESSURE) / SIGMA, (z[3:] - OBSERVED_VOLUME) / VOLUME_SIGMA])

    free = np.full(VOLUME.size, INF)
    reference = trf(residual, np.concatenate([START, OBSERVED_VOLUME]), np.concatenate([LOWER, -free]),
                    np.concatenate([UPPER, free]))
    return ours, ours.x[:3], reference.x[:3]


@pytest.mark.parametrize("case", [line_case, bm3_case, latent_bm3_case], ids=["line", "bm3", "latent-bm3"])
def test_an_active_bound_leaves_the_free_parameters_at_the_constrained_optimum(case):
    result, ours, reference = case()
    assert result.success and result.nfev <= 30, (result.status, result.nfev)
    # Within a thousandth of a standard error: what tolerances of 1e-8 on the cost resolve.
    standard_error = np.sqrt(np.diag(result.parameter_covariance))[:ours.size]
    assert np.all(np.abs(ours - reference) <= 1e-3 * standard_error + 1e-12), (ours - reference) / standard_error


def test_exact_data_fits_reach_the_solution_far_below_unit_cost():
    x = np.linspace(1.0, 2.0, 12)
    coefficients = np.array([1.0, -2.0, 3.0, -1.0, 0.5, -0.25])
    data = polynomial.polyval(x, coefficients)
    problems = [
        # The Vandermonde matrix on [1, 2] has a condition near 1e6: gtol ends the fit first.
        (lambda c: polynomial.polyval(x, c) - data, np.zeros(6), coefficients, 1e-4),
        (lambda p: np.array([10.0 * (p[1] - p[0] ** 2), 1.0 - p[0]]), np.array([-1.2, 1.0]), np.ones(2), 1e-6),
        (lambda p: np.array([1e4 * p[0] * p[1] - 1.0, np.exp(-p[0]) + np.exp(-p[1]) - 1.0001]),
         np.array([0.0, 1.0]), np.array([1.098159329699e-5, 9.106146739867]), 1e-6),
    ]
    for residual, start, solution, tolerance in problems:
        result = fit_least_squares(residual, start, np.full(start.size, -INF), np.full(start.size, INF))
        assert result.success, result.message
        np.testing.assert_allclose(result.x, solution, rtol=tolerance)


@pytest.mark.parametrize("start", [(8.5, 30.0, 8.0), (8.5, 160.0, 8.0), (18.0, 30.0, 1.0)])
def test_a_trial_outside_the_model_domain_is_a_rejected_step(start):
    # From these starts the first Baonza trial lies outside the model's domain.
    lower, upper = np.array([5.0, 10.0, 0.5]), np.array([20.0, 500.0, 10.0])
    fits = [fit_rt_eos_native(RtEos.baonza(*x0), NAMES, np.array(x0), lower, upper, PRESSURE, VOLUME, SIGMA, None)
            for x0 in (start, (11.24, 160.0, 4.2))]
    assert all(fit.success for fit in fits)
    np.testing.assert_allclose(fits[0].x, fits[1].x, rtol=1e-6)
