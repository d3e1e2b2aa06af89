"""Native EOS fits against SciPy's curve_fit, latent coordinates, the errors a fit reports, the interpreter lock."""

import threading
import time

import numpy as np
import pytest
from scipy.optimize import curve_fit

from conftest import bm3, einstein, raises, run_python
from nivaltus._engine import RtEos, ThermalEos, fit_rt_eos_native, fit_thermal_eos_native
from nivaltus.errors import FitEosValidationError, FitValidationError

NAMES = ["V0", "K0", "K0_prime"]
TRUTH = np.array([11.24, 160.0, 4.0])
RNG = np.random.default_rng(2)
VOLUME = np.linspace(8.0, 11.2, 20)
PRESSURE_SIGMA = 0.05 + 0.01 * bm3(VOLUME, *TRUTH)
PRESSURE = bm3(VOLUME, *TRUTH) + RNG.normal(0.0, PRESSURE_SIGMA)
INITIAL, LOWER, UPPER = np.array([11.0, 140.0, 5.0]), np.array([5.0, 10.0, 1.0]), np.array([20.0, 500.0, 10.0])


# In SI units the parameters lie orders of magnitude apart and SciPy's covariance loses K0: compare in GPa.
@pytest.mark.parametrize("p_unit, v_unit", [(1.0, 1.0), (1e9, 1e-6)], ids=["GPa", "SI"])
def test_bm3_fit_matches_curve_fit(p_unit, v_unit):
    expected, covariance = curve_fit(bm3, VOLUME, PRESSURE, INITIAL, PRESSURE_SIGMA, absolute_sigma=True,
                                     method="trf", ftol=1e-14, xtol=1e-14, gtol=1e-14)
    scale = np.array([v_unit, p_unit, 1.0])
    volume, pressure, sigma = VOLUME * v_unit, PRESSURE * p_unit, PRESSURE_SIGMA * p_unit
    result = fit_rt_eos_native(RtEos.bm3(*(INITIAL * scale)), NAMES, INITIAL * scale, LOWER * scale, UPPER * scale,
                               pressure, volume, sigma)
    assert result.success, result.message
    np.testing.assert_allclose(result.x, expected * scale, rtol=1e-7)
    np.testing.assert_allclose(result.parameter_covariance, covariance * np.outer(scale, scale), rtol=1e-4)
    np.testing.assert_allclose(result.predicted_pressure, bm3(volume, *result.x), rtol=1e-12)
    np.testing.assert_allclose(result.fun, (result.predicted_pressure - pressure) / sigma, rtol=1e-9, atol=1e-12)


def fit(**changes):
    """A call fitting BM3 to the noisy data, with the given arguments changed."""
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
    initial = np.array([11.0, 150.0, 2e-5])
    lower, upper = np.array([5.0, 10.0, 0.0]), np.array([20.0, 500.0, 1e-3])
    result = fit_thermal_eos_native(model, ["rt_eos.V0", "rt_eos.K0", "alpha0"], initial, lower, upper,
                                    THERMAL_PRESSURE, VT[0], VT[1], THERMAL_SIGMA)
    expected, covariance = curve_fit(holland_powell, VT, THERMAL_PRESSURE, initial, THERMAL_SIGMA,
                                     absolute_sigma=True, method="trf", x_scale=[1.0, 100.0, 1e-5], ftol=1e-14, xtol=1e-14,
                                     gtol=1e-14)
    np.testing.assert_allclose(result.x, expected, rtol=1e-6)
    np.testing.assert_allclose(result.parameter_covariance, covariance, rtol=1e-4)
    np.testing.assert_allclose(result.predicted_pressure, holland_powell(VT, *result.x), rtol=1e-11)


def test_thermal_latent_volumes_and_temperatures():
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


def test_keyboard_interrupt_during_a_native_fit_is_raised_after_it():
    process = run_python(
        """
        import os, signal, threading, time
        import numpy as np
        from conftest import bm3
        from nivaltus._engine import RtEos, fit_rt_eos_native

        n, v = 200000, np.linspace(8.0, 11.2, 200000)
        threading.Timer(0.05, os.kill, (os.getpid(), signal.SIGINT)).start()
        try:
            fit_rt_eos_native(RtEos.bm3(11, 150, 4), ["V0", "K0", "K0_prime"], np.array([11.0, 150.0, 4.0]),
                              np.array([5.0, 10.0, 1.0]), np.array([20.0, 500.0, 10.0]), bm3(v, 11.24, 160, 4), v,
                              np.ones(n), 0.01 * v)
            time.sleep(1.0)
        except KeyboardInterrupt:
            print("interrupted")
        """
    )
    assert process.stdout.split() == ["interrupted"]
