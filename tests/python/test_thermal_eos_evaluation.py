"""ThermalEos evaluation: the quantity vocabulary, values against independent numbers, arrays and the confined volume."""

import math

import numpy as np
import pytest
from scipy.optimize import brentq

from conftest import bm3, einstein, raises
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import EosValidationError, UnsupportedOperationError, ValidationError

V0, K0, K0_PRIME = REF = 11.24, 160.0, 4.0
BM3 = RtEos.bm3(V0, K0, K0_PRIME)
T = ThermalEos

MODELS = {
    "APL": T.asymptotic_power_law_mie_gruneisen_debye(BM3, 300.0, 800.0, 1.5, 0.5, 2.0, 2.0),
    "DW": T.dewaele_2006(BM3, 300.0, 800.0, 1.5, 0.5, 2.0, 2e-5, 2.0, 3e-5, 1.5, 2.0),
    "DO": T.dorogokupets_oganov_2007(BM3, 298.15, 700, 1.5, 1, 400, 2.5, 2, 500, 1.5, 800, 1.5, 1.5, 0.8, 2.5, 12, 3,
                                     20, 1.5, 30000, 2, 2),
    "LIN": T.linear_thermal_pressure(BM3, 300.0, 0.005),
    "DQ": T.debye_quadratic_thermal_pressure(BM3, 300.0, 800.0, 1.5, 1.0, 2.0, 1e-7, 1.0),
    "LV": T.log_volume_thermal_pressure(BM3, 300.0, 0.005, 0.002),
    "SOT": T.second_order_taylor_thermal_pressure(BM3, 300.0, 0.0, 0.1, -0.5, 0.006, 0.3, 0.0, 0.002),
    "MGD": T.mie_gruneisen_debye(BM3, 300.0, 800.0, 1.5, 1.0, 2.0),
    "MGE": T.mie_gruneisen_einstein(BM3, 300.0, 600.0, 1.5, 1.0, 2.0),
    "HP": T.holland_powell_thermal_pressure(BM3, 300.0, 700.0, 3e-5, 2.0),
    "TMT": T.thermal_modified_tait(RtEos.modified_tait(V0, K0, K0_PRIME, -0.05), 300.0, 700.0, 3e-5, 2.0),
    "MO": T.multi_oscillator_gruneisen(BM3, 300, 500, 2, 900, 1, 0.1, 0.5, 10, 2, 1.5, 20, 0.2, 300, 1.5, 2, 600, 2, 1, 2),
    "TRS": T.thermal_reference_state(BM3, 300.0, 3e-5, -0.02),
}
ALL, CALORIC, ENERGIES = "APL DW DO LIN DQ LV SOT MGD MGE HP TMT MO TRS", "APL DO MGD MGE HP TMT", "APL DO MGD MGE"
VOCABULARY = {
    **dict.fromkeys(["volume", "pressure", "temperature", "bulk_modulus", "thermal_expansivity",
                     "isothermal_compressibility", "thermal_pressure", "thermal_pressure_increment"], ALL),
    "gruneisen_parameter": "APL DW DO MGD MGE HP TMT",
    **dict.fromkeys(["molar_heat_capacity_v", "heat_capacity_v", "molar_heat_capacity_p", "heat_capacity_p",
                     "adiabatic_bulk_modulus"], CALORIC),
    **dict.fromkeys(["thermal_energy", "thermal_internal_energy", "thermal_entropy", "thermal_enthalpy",
                     "thermal_gibbs_free_energy", "thermal_helmholtz_free_energy"], ENERGIES),
    "characteristic_temperature": "APL DW MGD MGE",
    "vibrational_pressure": "APL MGD MGE",
    "absolute_thermal_pressure": "DO",
    **dict.fromkeys(["vibrational_pressure_increment", "anharmonic_pressure_increment",
                     "electronic_pressure_increment"], "DW"),
}
INPUTS = {"volume": (20.0, 1500.0), "temperature": (20.0, 10.5)}  # (pressure, T), (pressure, V); else (V, T)


def unavailable(name):
    return pytest.raises(UnsupportedOperationError, match=f"^quantity '{name}' is unavailable for this thermal model$")


@pytest.mark.parametrize("key", list(MODELS))
def test_vocabulary(key):
    model, empty = MODELS[key], np.empty((0, 3))
    for name, offered_by in VOCABULARY.items():
        if key in offered_by.split():
            first, second = INPUTS.get(name, (10.5, 1500.0))
            value = model.evaluate_scalar(name, first, second)
            assert math.isfinite(value) and model.evaluate_array(name, np.array([first]), np.array([second])) == value
        else:
            with unavailable(name):
                model.evaluate_scalar(name, math.nan, math.nan)
            assert model.evaluate_array(name, empty, empty).shape == (0, 3)


@pytest.mark.parametrize("t", [100.0, 300.0, 1500.0, 4000.0])
def test_holland_powell_against_closed_form(t):
    (energy, cv), (energy_ref, cv_ref) = einstein(700.0, t), einstein(700.0, 300.0)
    thermal = 3e-5 * K0 / cv_ref * (energy - energy_ref)
    for key in ("HP", "TMT"):
        assert MODELS[key].evaluate_scalar("thermal_pressure", 9.7, t) == pytest.approx(thermal, rel=1e-12, abs=1e-15)
    assert MODELS["HP"].evaluate_scalar("pressure", 9.7, t) == pytest.approx(bm3(9.7, *REF) + thermal, rel=1e-12)
    assert MODELS["HP"].evaluate_scalar("heat_capacity_v", 9.7, t) == pytest.approx(cv, rel=1e-12)


@pytest.mark.parametrize("cold, t, f_dac", [(20.0, 1500.0, 0.5), (5.0, 2500.0, 0.9), (60.0, 800.0, 0.0)])
def test_confined_volume_against_brentq(cold, t, f_dac):
    # The cell holds back the fraction f_dac of the thermal-pressure increment, here 0.005 (T - 300).
    expected = brentq(lambda v: bm3(v, *REF) + (1 - f_dac) * 0.005 * (t - 300.0) - cold, 5.0, 15.0, xtol=1e-14)
    assert MODELS["LIN"].volume_with_dac_confinement_scalar(cold, t, f_dac) == pytest.approx(expected, rel=1e-9)


def test_input_checks():
    model = MODELS["MGD"]
    for name in ("Volume", "thermal_energy\x00"):  # names match whole strings
        with unavailable(name):
            model.evaluate_scalar(name, 10.5, 1500.0)
    scalar = model.evaluate_array("pressure", np.array(10.0), np.array(1500.0))
    assert scalar.shape == () and scalar == model.evaluate_scalar("pressure", 10, 1500)
    raises(TypeError, lambda: model.evaluate_array("pressure", np.arange(3), np.ones(3)), note="first")
    # Shapes must match exactly, checked before the name.
    raises(ValidationError, lambda: model.evaluate_array("no such name", np.ones(3), np.ones((1, 3))),
           "native array inputs must have matching broadcasted shapes")
    raises(EosValidationError, lambda: model.volume_with_dac_confinement_scalar(20.0, 1500.0, 1.0),
           "invalid state variable f_dac: must lie in [0, 1)")



@pytest.mark.parametrize("size", [2047, 2048, 4100], ids=["serial", "smallest-parallel", "parallel"])
def test_serial_and_parallel_paths_agree(size):
    mgd, lin = MODELS["MGD"], MODELS["LIN"]
    volumes, pressures = np.linspace(8.0, 12.0, size), np.linspace(0.0, 80.0, size)
    temperatures = np.linspace(100.0, 3000.0, size)[::-1]  # a negative-stride view
    expected = [mgd.evaluate_scalar("pressure", v, t) for v, t in zip(volumes, temperatures)]
    np.testing.assert_array_equal(mgd.evaluate_array("pressure", volumes, temperatures), expected)
    expected = [lin.volume_with_dac_confinement_scalar(p, t, 0.5) for p, t in zip(pressures, temperatures)]
    np.testing.assert_array_equal(lin.volume_with_dac_confinement_array(pressures, temperatures, 0.5), expected)

    # The error of the lowest failing index wins, whichever path and chunk found it first.
    volumes[size - 3], temperatures[size // 2], pressures[100] = -1.0, math.nan, math.inf
    error = raises(EosValidationError, lambda: mgd.evaluate_array("thermal_energy", volumes, temperatures))
    assert error.field == "temperature"
    error = raises(EosValidationError, lambda: lin.volume_with_dac_confinement_array(pressures, temperatures, 0.5))
    assert error.field == "pressure"
    with unavailable("vibrational_pressure_increment"):
        mgd.evaluate_array("vibrational_pressure_increment", volumes, temperatures)
