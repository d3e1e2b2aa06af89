"""HugoniotEos: the ten quantities against the Rankine-Hugoniot relations, their checks, and repr."""

import math

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import HugoniotEos
from nivaltus.errors import EosValidationError

V0, RHO0, C0, S, P0 = 10.0, 2.5, 3.0, 1.5, 0.2
HUGONIOT = HugoniotEos.linear_us_up(V0, RHO0, C0, S, P0)
VOLUMES = np.array([10.0, 9.5, 8.0, 6.0, 4.0])


def states(v):
    """Shock state at volume v from mass and momentum conservation with Us = C0 + S up."""
    eta = 1 - v / V0
    up = C0 * eta / (1 - S * eta)
    us = C0 + S * up
    pressure = P0 + RHO0 * us * up
    return {
        "density": RHO0 * V0 / v,
        "pressure": pressure,
        "shock_velocity": us,
        "particle_velocity": up,
        # Rankine-Hugoniot energy: E - E0 = (P + P0)/2 (1/rho0 - 1/rho).
        "specific_internal_energy_change": 0.5 * (pressure + P0) * (1 / RHO0 - v / (RHO0 * V0)),
        # K = -V dP/dV along the Hugoniot.
        "tangent_modulus": (v / V0) * RHO0 * C0**2 * (1 + S * eta) / (1 - S * eta) ** 3,
    }


@pytest.mark.parametrize("quantity", list(states(9.0)))
def test_volume_quantities(quantity):
    expected = np.array([states(v)[quantity] for v in VOLUMES])
    np.testing.assert_allclose(HUGONIOT.evaluate_array(quantity, VOLUMES), expected, rtol=1e-13)
    assert HUGONIOT.evaluate_scalar(quantity, 8.0) == pytest.approx(states(8.0)[quantity], rel=1e-13)


def test_particle_velocity_quantities_and_inversion():
    up = np.array([0.0, 0.5, 2.0, 7.0])
    us = C0 + S * up
    np.testing.assert_array_equal(HUGONIOT.evaluate_array("shock_velocity_from_particle_velocity", up), us)
    np.testing.assert_allclose(HUGONIOT.evaluate_array("pressure_from_particle_velocity", up), P0 + RHO0 * us * up)
    volumes = HUGONIOT.evaluate_array("volume_from_particle_velocity", up)
    np.testing.assert_allclose(volumes, V0 * (1 - up / us), rtol=1e-14)
    np.testing.assert_allclose(HUGONIOT.evaluate_array("volume", P0 + RHO0 * us * up), volumes, rtol=1e-12)


@pytest.mark.parametrize(
    "quantity, value, code, field, message",
    [
        ("volume", math.nextafter(P0, -1), "eos.outside_invertible_range", None, "pressure is outside the invertible expansion range"),
        ("volume", math.inf, "eos.invalid_parameter", "pressure", "invalid parameter pressure: must be finite"),
        ("pressure", math.nextafter(V0, 11), "eos.invalid_state", "volume", "invalid state variable volume: must not exceed V0 on a compression Hugoniot"),
        ("volume_from_particle_velocity", -1.0, "eos.invalid_state", "particle_velocity", "invalid state variable particle_velocity: must be non-negative"),
        ("pressure_from_particle_velocitx", 9.0, "eos.invalid_state", "quantity", "invalid state variable quantity: unknown shock Hugoniot quantity"),
    ],
)
def test_evaluation_failures(quantity, value, code, field, message):
    for call in (lambda: HUGONIOT.evaluate_scalar(quantity, value), lambda: HUGONIOT.evaluate_array(quantity, np.array(value))):
        error = raises(EosValidationError, call, message)
        assert (error.code, error.field) == (code, field)


def test_repr():
    assert repr(HugoniotEos.linear_us_up(10, 2.5, 3, 1.5, 0)) == (
        "HugoniotEos(LinearUsUpHugoniot { v0: 10.0, rho0: 2.5, c0: 3.0, s: 1.5, p0: 0.0 })")
    assert repr(HugoniotEos.linear_us_up(1e-5, 2.5e16, 0.1, 1, -3)).endswith("{ v0: 1e-5, rho0: 2.5e16, c0: 0.1, s: 1.0, p0: -3.0 })")
