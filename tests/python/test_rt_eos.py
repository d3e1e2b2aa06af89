"""RtEos: each constructor builds its kind from its arguments in order, the array forms and their checks."""

import math

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
