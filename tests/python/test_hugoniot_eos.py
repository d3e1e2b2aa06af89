"""HugoniotEos: the ten quantities against the Rankine-Hugoniot relations, their checks, and repr."""

from decimal import Decimal as D, localcontext

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
    us, pressure = C0 + S * up, P0 + RHO0 * (C0 + S * up) * up
    # Rankine-Hugoniot energy E - E0 = (P + P0)/2 (1/rho0 - 1/rho); K = -V dP/dV along the Hugoniot.
    return {"density": RHO0 * V0 / v, "pressure": pressure, "shock_velocity": us, "particle_velocity": up,
            "specific_internal_energy_change": 0.5 * (pressure + P0) * (1 / RHO0 - v / (RHO0 * V0)),
            "tangent_modulus": (v / V0) * RHO0 * C0**2 * (1 + S * eta) / (1 - S * eta) ** 3}


@pytest.mark.parametrize("quantity", list(states(9.0)))
def test_volume_quantities(quantity):
    np.testing.assert_allclose(HUGONIOT.evaluate_array(quantity, VOLUMES), states(VOLUMES)[quantity], rtol=1e-13)
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
    "quantity, value, message",
    [
        ("volume", np.nextafter(P0, -1), "pressure is outside the invertible expansion range"),
        ("pressure", np.nextafter(V0, 11),
         "invalid state variable volume: must not exceed V0 on a compression Hugoniot"),
        ("volume_from_particle_velocity", -1.0, "invalid state variable particle_velocity: must be non-negative"),
        ("pressure_from_particle_velocitx", 9.0, "invalid state variable quantity: unknown shock Hugoniot quantity"),
    ],
)
def test_evaluation_failures(quantity, value, message):
    raises(EosValidationError, lambda: HUGONIOT.evaluate_scalar(quantity, value), message)


def test_repr():
    assert repr(HugoniotEos.linear_us_up(1e-5, 2.5e16, 0.1, 1, -3)) == (
        "HugoniotEos(LinearUsUpHugoniot { v0: 1e-5, rho0: 2.5e16, c0: 0.1, s: 1.0, p0: -3.0 })")


@pytest.mark.parametrize("v0, rho0, c0, s, p0, pressure", [
    (1.0, 0.5, 1.9e154, 1.5, 0.0, 1.7e308),      # rho0 < 1: (P - P0)/rho0 alone overflows
    (1.0, 1e-10, 1e160, 1.5, 0.0, 1e300),
    (2.5, 1e-3, 1e156, 1.2, 1.0, 1e306),
    (10.0, 1.01 * 1.798e108, 1e100, 1.5, 0.5, 1e300),
    (3.0, 1e-305, 1.5e308, 1.5, -1e308, 1.7e308),  # P - P0 overflows as well
])
def test_volume_where_rho0_c0_squared_overflows(v0, rho0, c0, s, p0, pressure):
    """The compression root of x (1 - s eta)^2 = eta with x = (P - P0)/(rho0 c0^2), in 40 digits."""
    with localcontext(prec=40):
        x = (D(pressure) - D(p0)) / (D(rho0) * D(c0) ** 2)
        eta = 2 * x / ((4 * D(s) * x + 1).sqrt() + 2 * D(s) * x + 1)
        expected = float(D(v0) * (1 - eta))
    assert HugoniotEos.linear_us_up(v0, rho0, c0, s, p0).evaluate_scalar("volume", pressure) == pytest.approx(
        expected, rel=4e-16)
