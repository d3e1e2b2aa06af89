"""RtEos: constructors and their checks, properties, and values against independent formulas."""

import math

import numpy as np
import pytest
from scipy.optimize import brentq

from conftest import raises
from nivaltus._engine import RtEos, holzapfel_derivative_analytical
from nivaltus.errors import EosValidationError, UnsupportedOperationError

INF, NAN = math.inf, math.nan

CONSTRUCTORS = {
    "baonza": ("Baonza", (10, 160, 4)), "bm2": ("BM2", (10, 160)), "bm3": ("BM3", (10, 160, 4)),
    "bm4": ("BM4", (10, 160, 4, -0.02)), "murnaghan": ("Murnaghan", (10, 160, 4)), "morse3": ("Morse3", (10, 160, 4)),
    "modified_tait": ("ModifiedTait", (10, 160, 4, -0.025)), "natural_strain2": ("NaturalStrain2", (10, 160)),
    "natural_strain3": ("NaturalStrain3", (10, 160, 4)), "natural_strain4": ("NaturalStrain4", (10, 160, 4, -0.02)),
    "rydberg_stacey": ("RydbergStacey", (10, 160, 4, 2.5)), "sun_morse3": ("SunMorse3", (10, 160, 4)),
    "sun_morse4": ("SunMorse4", (10, 160, 4)), "vinet": ("Vinet", (10, 160, 4)),
    "holzapfel": ("Holzapfel", (10, 160, 4, 2, 26)),
}


@pytest.mark.parametrize("constructor", list(CONSTRUCTORS))
def test_every_constructor_builds_its_kind(constructor):
    name, args = CONSTRUCTORS[constructor]
    model = getattr(RtEos, constructor)(*args)
    assert (model.model_name, repr(model)) == (name, f"RtEos(model_name='{name}')")
    assert model.reference_volume == 10.0
    assert abs(model.pressure_scalar(10.0)) < 1e-12
    assert model.bulk_modulus_scalar(10.0) == pytest.approx(160.0, rel=1e-12)


@pytest.mark.parametrize(
    "constructor, args, field, message",
    [
        ("bm3", (10, 0.0, INF), "K0", "must be positive and finite"),
        ("bm4", (10, 160, 4, INF), "K0_double_prime", "must be finite"),
        ("morse3", (10, 160, 1.0), "K0_prime", "Morse3 requires K0_prime != 1"),
        ("modified_tait", (10, 160, 4, 0.125), "K0_prime/K0_double_prime", "produce a singular modified Tait EOS"),
        ("holzapfel", (10, 160, 4, 2, 0.0), "Z", "must be positive and finite"),
        ("holzapfel", (10, 160, 4, 0.0, 0.0), "n", "must be positive and finite"),
    ],
)
def test_constructor_checks(constructor, args, field, message):
    error = raises(EosValidationError, lambda: getattr(RtEos, constructor)(*args), f"invalid parameter {field}: {message}")
    assert (error.code, error.operation, error.field) == ("eos.invalid_parameter", "eos", field)


# Independent closed form, x = V/V0.
def bm3_pressure(v, v0=10.0, k0=160.0, kp=4.0):
    x = v / v0
    return 1.5 * k0 * (x ** (-7 / 3) - x ** (-5 / 3)) * (1 + 0.75 * (kp - 4) * (x ** (-2 / 3) - 1))


VOLUMES = np.array([[6.0, 7.5, 9.0], [10.0, 11.0, 12.5]])


@pytest.mark.parametrize(
    "model, method, formula",
    [
        (RtEos.bm3(10, 160, 3.5), "pressure", lambda v: bm3_pressure(v, kp=3.5)),
        # K = -V dP/dV by a complex step through the closed form.
        (RtEos.bm3(10, 160, 3.5), "bulk_modulus", lambda v: -v * np.imag(bm3_pressure(v + 1e-30j, kp=3.5)) / 1e-30),
        (RtEos.bm2(10, 160), "pressure", bm3_pressure),
    ],
    ids=["bm3-P", "bm3-K", "bm2-P"],
)
def test_values_match_closed_forms(model, method, formula):
    expected = formula(VOLUMES)
    np.testing.assert_allclose(getattr(model, method + "_array")(VOLUMES), expected, rtol=1e-12, atol=1e-12)
    assert getattr(model, method + "_scalar")(VOLUMES[0, 1]) == pytest.approx(expected[0, 1], rel=1e-12)


@pytest.mark.parametrize("pressure", [-5.0, 0.0, 1e-3, 25.0, 300.0])
def test_volume_inversion_matches_scipy(pressure):
    model = RtEos.bm3(10.0, 160.0, 4.5)
    expected = brentq(lambda v: bm3_pressure(v, kp=4.5) - pressure, 3.0, 12.0, xtol=1e-14, rtol=1e-15)
    assert model.volume_scalar(pressure) == pytest.approx(expected, rel=1e-9)


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


@pytest.mark.parametrize(
    "call, code, field, message",
    [
        (lambda: RtEos.vinet(10, 160, 4).volume_scalar(NAN), "eos.invalid_state", "pressure", "must be finite"),
        (lambda: HZ.bulk_modulus_derivative_scalar(10.0, 1.0), "eos.invalid_parameter", "eps", "must be smaller than one"),
        (lambda: holzapfel_derivative_analytical(10, -1.0, 160, 160, 1, 1), "eos.invalid_state", "volume",
         "must be positive and finite"),
        (lambda: holzapfel_derivative_analytical(10, 9.0, NAN, 160, 1, 1), "eos.invalid_parameter", "KT", "must be finite"),
    ],
)
def test_state_checks(call, code, field, message):
    kind = "parameter" if code == "eos.invalid_parameter" else "state variable"
    error = raises(EosValidationError, call, f"invalid {kind} {field}: {message}")
    assert (error.code, error.field) == (code, field)


def test_derivative_is_only_offered_by_holzapfel():
    # Refused for the model as a whole, so even for an empty array.
    with pytest.raises(UnsupportedOperationError) as info:
        RtEos.bm3(10, 160, 4).bulk_modulus_derivative_array(np.empty(0), NAN)
    assert (info.value.code, info.value.operation, info.value.field) == ("operation.unsupported", None, None)
    assert HZ.bulk_modulus_derivative_array(np.empty((0, 2)), 1e-4).shape == (0, 2)
