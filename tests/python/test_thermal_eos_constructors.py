"""ThermalEos constructors: keyword wiring, argument conversion, keyword laws and reference handling."""

import inspect
import math

import pytest

from conftest import R, raises
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import ConfigurationError, EosValidationError, ValidationError

BM3 = RtEos.bm3(11.24, 160.0, 4.0)
MO = dict(tr=300.0, qe1o=500.0, me1=2.0, qe2o=900.0, me2=1.0, delta=0.1, t=0.5, a_0=10.0, m=2.0, g=1.5, e_0=20.0,
          beta=0.2, qbo=300.0, d=1.5, mb=2.0, qb1o=600.0, d1=2.0, mb1=1.0)


# constructor: (model_name, valid keyword arguments)
CONSTRUCTORS = {
    "dewaele_2006": ("Dewaele2006", dict(
        tr=300.0, theta0=800.0, gamma0=1.5, gamma_inf=0.5, beta=2.0, anharmonic_a=2e-5, anharmonic_m=2.0,
        electronic_e=3e-5, electronic_g=1.5, n=2.0)),
    "mie_gruneisen_debye": ("MieGruneisenDebye", dict(tr=300.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0, cvmax=50.0)),
    "mie_gruneisen_einstein": ("MieGruneisenEinstein", dict(tr=300.0, theta0=600.0, gamma0=1.5, q=1.0, n=2.0)),
    "dorogokupets_oganov_2007": ("DorogokupetsOganov2007", dict(
        tr=298.15, theta_b1=700.0, d_b1=1.5, m_b1=1.0, theta_b2=400.0, d_b2=2.5, m_b2=2.0, theta_e1=500.0, m_e1=1.5,
        theta_e2=800.0, m_e2=1.5, gamma0=1.5, gamma_inf=0.8, beta=2.5, anharmonic_a=12.0, anharmonic_m=3.0,
        electronic_e=20.0, electronic_g=1.5, defect_h=30000.0, defect_s=2.0, n=2.0)),
    "multi_oscillator_gruneisen": ("MultiOscillatorGruneisenThermalEOS", dict(MO, n=2.0)),
    "asymptotic_power_law_mie_gruneisen_debye": ("AsymptoticPowerLawMieGruneisenDebye", dict(
        tr=300.0, theta0=800.0, gamma0=1.5, a=0.5, b=2.0, n=2.0)),
    "linear_thermal_pressure": ("LinearThermalPressure", dict(tr=300.0, alpha_kt=0.0)),
    "log_volume_thermal_pressure": ("LogVolumeThermalPressure", dict(tr=300.0, alpha_kt_ref=0.005, dk_dt_v=0.002)),
    "second_order_taylor_thermal_pressure": ("SecondOrderTaylorThermalPressure", dict(
        tr=300.0, eta0=0.0, c0=0.1, c1=-0.5, c2=0.006, c3=0.3, c4=0.0, c5=0.002)),
    "debye_quadratic_thermal_pressure": ("DebyeQuadraticThermalPressure", dict(
        tr=300.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0, a=1e-7, m=1.0)),
    "holland_powell_thermal_pressure": ("HollandPowellThermalPressure", dict(tr=300.0, theta=700.0, alpha0=3e-5, n=2.0)),
    "thermal_reference_state": ("ThermalReferenceStateEOS", dict(tr=300.0, alpha0=3e-5, dk_dt=-0.02, alpha1=0.0)),
}


def build(constructor, rt_eos=BM3, **arguments):
    return getattr(ThermalEos, constructor)(rt_eos, **arguments)


@pytest.mark.parametrize("constructor", list(CONSTRUCTORS))
def test_each_keyword_reaches_its_own_check(constructor):
    model_name, valid = CONSTRUCTORS[constructor]
    assert repr(build(constructor, **valid)) == f"ThermalEos(model_name='{model_name}')"
    for name in valid:
        error = raises(EosValidationError, lambda: build(constructor, **dict(valid, **{name: math.nan})))
        assert (error.code, error.operation, error.field.lower()) == ("eos.invalid_parameter", "eos", name)


MGD, MG = dict(tr=-1.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0), "mie_gruneisen_debye"


def test_arguments_convert_in_order_before_any_check():
    # rt_eos first, then every float, before any model check; None only where the default is None.
    raises(TypeError, lambda: build(MG, **dict(MGD, n="x")), note="n")
    raises(TypeError, lambda: build(MG, 1.0, **dict(MGD, n="x")), note="rt_eos")
    raises(TypeError, lambda: build(MG, **dict(MGD, n=None)), note="n")
    cv = build(MG, **dict(MGD, tr=300, cvmax=None)).evaluate_scalar("heat_capacity_v", 11.24, 1e7)
    assert cv == pytest.approx(6 * R, rel=1e-8)  # 3nR, no cap


TRS, RS, MOG = dict(tr=300.0, alpha0=3e-5, dk_dt=0.0), "thermal_reference_state", "multi_oscillator_gruneisen"


# Keyword laws are read before the model's checks (Tr = -1); the model then sees the laws chosen.
@pytest.mark.parametrize(
    "constructor, arguments, message",
    [
        (MG, dict(MGD, debye_temperature_law="VARIABLE_EXPONENT"), "debye_temperature_law must be "),
        (MG, dict(MGD, thermal_pressure_reference="reference_temperature "), "thermal_pressure_reference"),
        (RS, dict(TRS, tr=-1, beta1=1e-3), "invalid bulk_modulus_law or unused beta coefficients"),
        (RS, dict(TRS, tr=-1, thermal_expansion_law="linear", reference_volume_law="x"), "thermal_expansion_law must "),
        (RS, dict(TRS, tr=-1, reference_volume_law="Berman"), "reference_volume_law must be "),
        (MOG, dict(MO, tr=-1.0), "n is required for the generic multi-oscillator model"),
        (RS, dict(TRS, dk_dt=0.01, bulk_modulus_law="reciprocal_cubic", beta1=1e-3), "invalid parameter dK_dT: "),
        (RS, dict(TRS, reference_volume_law="berman"), "invalid parameter reference_volume_law: Berman"),
    ],
)
def test_keyword_laws_and_interface_checks(constructor, arguments, message):
    error = raises(ValidationError, lambda: build(constructor, **arguments))
    assert str(error).startswith(message)
    assert type(error) is (EosValidationError if message.startswith("invalid parameter") else ValidationError)


# inspect shows the defaults of the text signatures, law names as str and numbers as float.
@pytest.mark.parametrize(
    "constructor, defaults",
    [
        (MG, dict(debye_temperature_law="integrated_gruneisen", thermal_pressure_reference="reference_temperature",
                  cvmax=None)),
        (RS, dict(alpha1=0.0, thermal_expansion_law="constant", reference_volume_law="integrated_expansivity",
                  bulk_modulus_law="linear_temperature", beta1=0.0, beta2=0.0, beta3=0.0, kprime_log_coefficient=0.0)),
        (MOG, dict(beta=0.0, qbo=1.0, d=1.0, mb=0.0, qb1o=1.0, d1=1.0, mb1=0.0, n=None)),
    ],
)
def test_signature_defaults(constructor, defaults):
    parameters = inspect.signature(getattr(ThermalEos, constructor)).parameters.values()
    shown = {p.name: p.default for p in parameters if p.default is not inspect.Parameter.empty}
    assert [(name, type(value)) for name, value in shown.items()] == [(k, type(v)) for k, v in defaults.items()]
    assert shown == defaults


def test_reference_handling():
    laws = dict(reference_volume_law="berman", thermal_expansion_law="linear_temperature", kprime_log_coefficient=0.1)
    assert build(RS, **dict(TRS, alpha1=1e-8, **laws)).model_name == "ThermalReferenceStateEOS"
    # Without n the multi-oscillator model takes the atom count of its Holzapfel reference (n = 2).
    holzapfel = RtEos.holzapfel(11.24, 160.0, 4.0, 2.0, 12.0)
    pressures = [build(c, holzapfel, **dict(MO, **n)).evaluate_scalar("pressure", 10.5, 1500.0) for c, n in
                 [(MOG, {}), ("sokolova2016", {"n": 2.0}), (MOG, {"n": 3.0})]]
    assert pressures[0] == pressures[1] != pressures[2]
    hp = dict(tr=-1.0, theta=700.0, alpha0=3e-5, n=2.0)
    error = raises(ConfigurationError, lambda: build("thermal_modified_tait", BM3, **hp),
                   "ThermalModifiedTait requires a ModifiedTait EOS")
    assert (error.code, error.operation, error.field) == ("configuration.invalid", None, None)
