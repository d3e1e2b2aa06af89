"""RtEos: each constructor builds its kind from its arguments in order, the array forms and their checks."""

import math
from decimal import Decimal, localcontext

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import RtEos, holzapfel_derivative_analytical
from nivaltus.errors import EosValidationError, UnsupportedOperationError

# constructor: (model name, arguments, the field a NaN in the last argument is reported under)
CONSTRUCTORS = {
    "baonza": ("Baonza", (10, 160, 4), "K0_prime"), "bm2": ("BM2", (10, 160), "K0"),
    "bm3": ("BM3", (10, 160, 4), "K0_prime"), "bm4": ("BM4", (10, 160, 4, -0.02), "K0_double_prime"),
    "murnaghan": ("Murnaghan", (10, 160, 4), "K0_prime"), "morse3": ("Morse3", (10, 160, 4), "K0_prime"),
    "modified_tait": ("ModifiedTait", (10, 160, 4, -0.025), "K0_double_prime"),
    "natural_strain2": ("NaturalStrain2", (10, 160), "K0"), "natural_strain3": ("NaturalStrain3", (10, 160, 4), "K0_prime"),
    "natural_strain4": ("NaturalStrain4", (10, 160, 4, -0.02), "K0_double_prime"),
    "rydberg_stacey": ("RydbergStacey", (10, 160, 4, 2.5), "K_infinity_prime"),
    "sun_morse3": ("SunMorse3", (10, 160, 4), "K0_prime"), "sun_morse4": ("SunMorse4", (10, 160, 4), "K0_prime"),
    "vinet": ("Vinet", (10, 160, 4), "K0_prime"), "holzapfel": ("Holzapfel", (10, 160, 4, 2, 26), "Z"),
}


@pytest.mark.parametrize("constructor", list(CONSTRUCTORS))
def test_every_constructor_builds_its_kind(constructor):
    name, args, last = CONSTRUCTORS[constructor]
    model = getattr(RtEos, constructor)(*args)
    assert (model.model_name, repr(model), model.reference_volume) == (name, f"RtEos(model_name='{name}')", 10.0)
    assert abs(model.pressure_scalar(10.0)) < 1e-12
    assert model.bulk_modulus_scalar(10.0) == pytest.approx(160.0, rel=1e-12)
    # The array forms are the scalar ones element by element (values: the core tests).
    for method in ("pressure", "bulk_modulus", "volume"):
        expected = [[getattr(model, method + "_scalar")(v) for v in row] for row in VOLUMES]
        np.testing.assert_array_equal(getattr(model, method + "_array")(VOLUMES), expected)
    assert raises(EosValidationError, lambda: getattr(RtEos, constructor)(*args[:-1], np.nan)).field == last


VOLUMES = np.array([[6.0, 7.5, 9.0], [10.0, 11.0, 12.5]])
HZ = RtEos.holzapfel(10.0, 160.0, 4.0, 2.0, 26.0)


def test_holzapfel_derivative_numeric_and_analytical_agree():
    # c0 = -L, c2 = 3/2 (K0' - 3) + L with L = ln(3 K0 / (1003.6 (n Z / V0)^(5/3))), V0 in cm^3/mol.
    big_l = math.log(3 * 160.0 / (1003.6 * (2.0 * 26.0 / 100.0) ** (5 / 3)))
    c0, c2 = -big_l, 1.5 + big_l
    for volume in (6.0, 11.0):
        analytical = holzapfel_derivative_analytical(10.0, volume, HZ.bulk_modulus_scalar(volume), 160.0, c0, c2)
        assert HZ.bulk_modulus_derivative_scalar(volume, 1e-5) == pytest.approx(analytical, rel=1e-7)
    at_v0 = holzapfel_derivative_analytical(v0=10.0, volume=10.0, bulk_modulus=160.0, k0=160.0, c0=c0, c2=c2)
    assert at_v0 == pytest.approx(4.0, rel=1e-12)  # K' = K0' at V0
    expected = [[HZ.bulk_modulus_derivative_scalar(v, 1e-4) for v in row] for row in VOLUMES]
    np.testing.assert_array_equal(HZ.bulk_modulus_derivative_array(VOLUMES, 1e-4), expected)
    raises(EosValidationError, lambda: HZ.bulk_modulus_derivative_scalar(10.0, 1.0),
           "invalid parameter eps: must be smaller than one")
    raises(EosValidationError, lambda: holzapfel_derivative_analytical(10, -1.0, 160, 160, 1, 1),
           "invalid state variable volume: must be positive and finite")
    # Refused for any other model as a whole, so even for an empty array.
    raises(UnsupportedOperationError, lambda: RtEos.bm3(10, 160, 4).bulk_modulus_derivative_array(np.empty(0), np.nan))


def baonza_exact(v0, k0, k0_prime, volume):
    """P and K of the pseudospinodal form K = K0·(1 + P/Psp)^β, β = 0.85, integrated. 400 digits keep 40 of
    y/Psp^(1 − β) − 1 and P/Psp, which are as small as K0′ (down to 5e-324)."""
    with localcontext() as context:
        context.prec = 400
        v0, k0, k0_prime, volume, beta = map(Decimal, (v0, k0, k0_prime, volume, "0.85"))
        log_y = (1 - (1 - beta) / beta * k0_prime * (volume / v0).ln()).ln()  # ln(y/Psp^(1-β))
        pressure = k0 * beta / k0_prime * ((log_y / (1 - beta)).exp() - 1)
        return float(pressure), float(k0 * (log_y * beta / (1 - beta)).exp())


@pytest.mark.parametrize("k0_prime", [0.0099999, 1e-3, 1e-6, 1e-9, 1e-12, 1e-100, 1e-300, 5e-324])
def test_baonza_keeps_its_pressure_as_k0_prime_vanishes(k0_prime):
    for v0 in (1.0, 11.24):
        model = RtEos.baonza(v0, 160.0, k0_prime)
        for ratio in (0.05, 0.9, 0.999999, 1 - 2**-40, 1 + 2**-40, 1.01, 3.0, 1e10):
            pressure, bulk_modulus = baonza_exact(v0, 160.0, k0_prime, ratio * v0)
            assert model.pressure_scalar(ratio * v0) == pytest.approx(pressure, rel=1e-14, abs=0)
            assert model.bulk_modulus_scalar(ratio * v0) == pytest.approx(bulk_modulus, rel=1e-14)
        assert model.pressure_scalar(v0) == 0.0 and model.bulk_modulus_scalar(v0) == 160.0


def test_baonza_with_a_physical_k0_prime_keeps_its_written_form():
    # y^(1/(1 − β)) − Psp in the module's own constants: at K0′ = 0.01 this differs from the exact value
    # by 3e-12 at 0.99·V0, so it also tells which form the module took there.
    for k0_prime in (0.01, 4.0):
        psp = 160.0 * 0.85 / k0_prime
        y = psp**0.15000000000000002 - math.log(0.99) * 0.15000000000000002 / (psp**0.85 / 160.0)
        assert RtEos.baonza(1.0, 160.0, k0_prime).pressure_scalar(0.99) == pytest.approx(
            y**6.666666666666666 - psp, rel=1e-15, abs=0)
