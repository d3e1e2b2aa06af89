"""ThermalEos constructors: argument conversion, check order, keyword laws and reference handling."""

import inspect
import math

import pytest

from conftest import raises
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import ConfigurationError, EosNumericalError, EosValidationError, ValidationError

INF, NAN = math.inf, math.nan
P, F, NN = "must be positive and finite", "must be finite", "must not be negative"
BM3 = RtEos.bm3(11.24, 160.0, 4.0)
HOLZAPFEL = RtEos.holzapfel(11.24, 160.0, 4.0, 2.0, 12.0)
TAIT = RtEos.modified_tait(11.24, 160.0, 4.0, -0.05)


def oscillators(**extra):
    base = dict(tr=300.0, qe1o=500.0, me1=2.0, qe2o=900.0, me2=1.0, delta=0.1, t=0.5, a_0=10.0, m=2.0, g=1.5, e_0=20.0)
    return base | extra


# constructor: (model_name, valid keyword arguments, check order as (argument, bad value, field, message))
CONSTRUCTORS = {
    "dewaele_2006": ("Dewaele2006", dict(
        tr=300.0, theta0=800.0, gamma0=1.5, gamma_inf=0.5, beta=2.0, anharmonic_a=2e-5, anharmonic_m=2.0,
        electronic_e=3e-5, electronic_g=1.5, n=2.0), [
        ("gamma0", NAN, "gamma0", P), ("gamma_inf", INF, "gamma_inf", F), ("gamma_inf", -0.5, "gamma_inf", NN),
        ("gamma_inf", 1.6, "gamma_inf", "must not exceed gamma0"), ("tr", 0.0, "Tr", P), ("theta0", -1.0, "theta0", P),
        ("beta", INF, "beta", P), ("anharmonic_a", NAN, "anharmonic_a", F), ("anharmonic_a", -1.0, "anharmonic_a", NN),
        ("anharmonic_m", 0.0, "anharmonic_m", P), ("electronic_e", -INF, "electronic_e", F),
        ("electronic_e", -1.0, "electronic_e", NN), ("electronic_g", 0.0, "electronic_g", P), ("n", -2.0, "n", P)]),
    "mie_gruneisen_debye": ("MieGruneisenDebye", dict(tr=300.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0, cvmax=50.0), [
        ("tr", -300.0, "Tr", P), ("theta0", 0.0, "theta0", P), ("gamma0", INF, "gamma0", F), ("q", NAN, "q", F),
        ("n", -1.0, "n", P), ("cvmax", 0.0, "Cvmax", P)]),
    "mie_gruneisen_einstein": ("MieGruneisenEinstein", dict(tr=300.0, theta0=600.0, gamma0=1.5, q=1.0, n=2.0), [
        ("tr", NAN, "Tr", P), ("theta0", 0.0, "theta0", P), ("gamma0", NAN, "gamma0", F), ("q", -INF, "q", F),
        ("n", 0.0, "n", P)]),
    "dorogokupets_oganov_2007": ("DorogokupetsOganov2007", dict(
        tr=298.15, theta_b1=700.0, d_b1=1.5, m_b1=1.0, theta_b2=400.0, d_b2=2.5, m_b2=2.0, theta_e1=500.0, m_e1=1.5,
        theta_e2=800.0, m_e2=1.5, gamma0=1.5, gamma_inf=0.8, beta=2.5, anharmonic_a=12.0, anharmonic_m=3.0,
        electronic_e=20.0, electronic_g=1.5, defect_h=30000.0, defect_s=2.0, n=2.0), [
        *[(name, 0.0, field, P) for name, field in [
            ("tr", "Tr"), ("theta_b1", "theta_B1"), ("d_b1", "d_B1"), ("m_b1", "m_B1"), ("theta_b2", "theta_B2"),
            ("d_b2", "d_B2"), ("m_b2", "m_B2"), ("theta_e1", "theta_E1"), ("m_e1", "m_E1"), ("theta_e2", "theta_E2"),
            ("m_e2", "m_E2"), ("gamma0", "gamma0"), ("gamma_inf", "gamma_inf"), ("beta", "beta")]],
        *[(name, NAN, name, F) for name in ("anharmonic_a", "anharmonic_m", "electronic_e", "electronic_g")],
        ("defect_h", -1.0, "defect_H", P), ("defect_s", INF, "defect_S", F), ("n", 0.0, "n", P),
        ("n", 2.002, "oscillator multiplicities", "must sum to three times the atom count")]),
    "multi_oscillator_gruneisen": ("MultiOscillatorGruneisenThermalEOS", oscillators(n=2.0), [
        ("tr", 0.0, "Tr", P), ("qe1o", 0.0, "QE1o", P), ("me1", NAN, "mE1", F), ("me1", -1.0, "mE1", NN),
        ("qe2o", -1.0, "QE2o", P), ("me2", INF, "mE2", F), ("me2", -1.0, "mE2", NN),
        *[(name, NAN, name, F) for name in ("delta", "t", "a_0", "m", "g", "e_0", "beta")],
        ("qbo", 0.0, "QBo", P), ("d", 0.0, "d", P), ("mb", NAN, "mb", F), ("mb", -1.0, "mb", NN),
        ("qb1o", INF, "QB1o", P), ("d1", -1.0, "d1", P), ("mb1", INF, "mb1", F), ("mb1", -1.0, "mb1", NN),
        ("n", 0.0, "n", P)]),
    "asymptotic_power_law_mie_gruneisen_debye": ("AsymptoticPowerLawMieGruneisenDebye", dict(
        tr=300.0, theta0=800.0, gamma0=1.5, a=0.5, b=2.0, n=2.0), [
        ("a", NAN, "a", F), ("a", 1.5, "a", "must lie between zero and one"), ("tr", -1.0, "Tr", P),
        ("theta0", 0.0, "theta0", P), ("gamma0", INF, "gamma0", F), ("b", NAN, "b", F), ("n", 0.0, "n", P)]),
    "linear_thermal_pressure": ("LinearThermalPressure", dict(tr=300.0, alpha_kt=0.0), [
        ("tr", -300.0, "Tr", P), ("alpha_kt", NAN, "alpha_KT", F)]),
    "log_volume_thermal_pressure": ("LogVolumeThermalPressure", dict(tr=300.0, alpha_kt_ref=0.005, dk_dt_v=0.002), [
        ("tr", 0.0, "Tr", P), ("alpha_kt_ref", INF, "alpha_KT_ref", F), ("dk_dt_v", NAN, "dK_dT_V", F)]),
    "second_order_taylor_thermal_pressure": ("SecondOrderTaylorThermalPressure", dict(
        tr=300.0, eta0=0.0, c0=0.1, c1=-0.5, c2=0.006, c3=0.3, c4=0.0, c5=0.002), [
        ("tr", INF, "Tr", P), ("eta0", NAN, "eta0", F),
        *[(f"c{i}", NAN if i % 2 else INF, f"c{i}", F) for i in range(6)]]),
    "debye_quadratic_thermal_pressure": ("DebyeQuadraticThermalPressure", dict(
        tr=300.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0, a=1e-7, m=1.0), [
        ("tr", 0.0, "Tr", P), ("theta0", NAN, "theta0", P), ("gamma0", INF, "gamma0", F), ("q", NAN, "q", F),
        ("n", 0.0, "n", P), ("a", INF, "A", F), ("m", NAN, "m", F)]),
    "holland_powell_thermal_pressure": ("HollandPowellThermalPressure", dict(tr=300.0, theta=700.0, alpha0=3e-5, n=2.0), [
        ("tr", 0.0, "Tr", P), ("theta", -1.0, "theta", P), ("alpha0", NAN, "alpha0", F), ("n", 0.0, "n", P)]),
    "thermal_reference_state": ("ThermalReferenceStateEOS", dict(tr=300.0, alpha0=3e-5, dk_dt=-0.02), [
        ("tr", 0.0, "Tr", P), ("alpha0", NAN, "alpha0", F), ("dk_dt", INF, "dK_dT", F), ("alpha1", NAN, "alpha1", F),
        ("alpha1", 1e-8, "alpha1", "must be zero for constant thermal expansion")]),
}
CONSTRUCTORS["sokolova2016"] = CONSTRUCTORS["multi_oscillator_gruneisen"]


def build(constructor, rt_eos=BM3, **arguments):
    return getattr(ThermalEos, constructor)(rt_eos, **arguments)


@pytest.mark.parametrize("constructor", list(CONSTRUCTORS))
def test_check_order(constructor):
    """Row k is reported while every later row is bad too; an argument named twice keeps its earliest bad value."""
    model_name, valid, checks = CONSTRUCTORS[constructor]
    model = build(constructor, **valid)
    assert (model.model_name, repr(model)) == (model_name, f"ThermalEos(model_name='{model_name}')")
    for k, (_, _, field, message) in enumerate(checks):
        arguments = dict(valid)
        for argument, bad, *_ in reversed(checks[k:]):
            arguments[argument] = bad
        error = raises(EosValidationError, lambda: build(constructor, **arguments), f"invalid parameter {field}: {message}")
        assert (error.code, error.operation, error.field) == ("eos.invalid_parameter", "eos", field)


@pytest.mark.parametrize("constructor", list(CONSTRUCTORS))
def test_arguments_convert_in_order_before_any_check(constructor):
    _, valid, checks = CONSTRUCTORS[constructor]
    names = list(valid)
    # A str in the last float parameter is reported although an earlier one fails its model check.
    bad = dict(valid, **{checks[0][0]: checks[0][1], names[-1]: "x"})
    raises(TypeError, lambda: build(constructor, **bad), note=names[-1])
    # rt_eos is checked before anything is converted.
    for rt_eos in (1.0, build(constructor, **valid)):
        raises(TypeError, lambda: build(constructor, rt_eos, **dict(valid, **{names[0]: "x"})), note="rt_eos")
    # Positional, keyword in any order, ints: the same model.
    parameters = list(inspect.signature(getattr(ThermalEos, constructor)).parameters.values())[1:]
    last = max(i for i, p in enumerate(parameters) if p.name in valid)
    positional = getattr(ThermalEos, constructor)(
        BM3, *[valid.get(p.name, p.default) for p in parameters[: last + 1]])
    reordered = build(constructor, **dict(reversed(list(valid.items()))))
    as_ints = build(constructor, **{k: int(v) if float(v).is_integer() else v for k, v in valid.items()})
    values = {m.evaluate_scalar("pressure", 10.5, 1500.0) for m in (positional, reordered, as_ints)}
    assert len(values) == 1


def test_none_is_accepted_only_where_the_default_is_none():
    assert build("mie_gruneisen_debye", tr=300, theta0=800, gamma0=1.5, q=1, n=2, cvmax=None).evaluate_scalar(
        "heat_capacity_v", 11.24, 1e7) == pytest.approx(6 * 8.31446261815324, rel=1e-8)
    for constructor, name in [("multi_oscillator_gruneisen", "beta"), ("thermal_reference_state", "alpha1")]:
        valid = CONSTRUCTORS[constructor][1]
        raises(TypeError, lambda: build(constructor, **dict(valid, **{name: None})), note=name)


MGD = dict(tr=300.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0)
LAW = "debye_temperature_law must be 'integrated_gruneisen' or 'variable_exponent'"
REFERENCE = "thermal_pressure_reference must be 'reference_temperature', 'reference_isentrope', or 'absolute_zero'"
BULK = "invalid bulk_modulus_law or unused beta coefficients"
EXPANSION = "thermal_expansion_law must be 'constant', 'linear_temperature', or 'linear_reference_temperature'"
VOLUME = "reference_volume_law must be 'integrated_expansivity', 'linear_temperature', or 'berman'"
BERMAN = "invalid parameter reference_volume_law: Berman volume requires linear-temperature expansivity configuration"
TRS = dict(tr=300.0, alpha0=3e-5, dk_dt=0.0)


@pytest.mark.parametrize(
    "constructor, arguments, message",
    [
        ("mie_gruneisen_debye", dict(MGD, tr=-1, debye_temperature_law="VARIABLE_EXPONENT"), LAW),
        ("mie_gruneisen_debye", dict(MGD, debye_temperature_law="x", thermal_pressure_reference="y"), LAW),
        ("mie_gruneisen_debye", dict(MGD, n=-1, thermal_pressure_reference="reference_temperature "), REFERENCE),
        ("thermal_reference_state", dict(TRS, beta1=1e-3), BULK),
        ("thermal_reference_state", dict(TRS, bulk_modulus_law="Linear_temperature", thermal_expansion_law="x"), BULK),
        ("thermal_reference_state", dict(TRS, tr=-1, thermal_expansion_law="linear", reference_volume_law="x"), EXPANSION),
        ("thermal_reference_state", dict(TRS, tr=-1, reference_volume_law="Berman"), VOLUME),
        ("multi_oscillator_gruneisen", oscillators(tr=-1.0), "n is required for the generic multi-oscillator model"),
        ("sokolova2016", oscillators(n=None), "n is required for the generic multi-oscillator model"),
    ],
)
def test_keyword_laws_and_interface_checks_precede_model_checks(constructor, arguments, message):
    error = raises(ValidationError, lambda: build(constructor, **arguments), message)
    assert type(error) is ValidationError
    assert (error.code, error.operation, error.field) == ("validation.invalid_input", None, None)


@pytest.mark.parametrize(
    "arguments, message",
    [
        (dict(TRS, dk_dt=0.01, bulk_modulus_law="reciprocal_cubic", beta1=1e-3),
         "invalid parameter dK_dT: must be zero with cubic compressibility"),
        (dict(TRS, dk_dt=0.01, bulk_modulus_law="reciprocal_cubic", beta2=NAN),
         "invalid parameter compressibility coefficient: must be finite"),
        (dict(TRS, reference_volume_law="berman"), BERMAN),
        (dict(TRS, kprime_log_coefficient=0.1, rt_eos=RtEos.bm2(11.24, 160.0)),
         "invalid parameter kprime_log_coefficient: reference EOS does not support a pressure-derivative shift"),
    ],
)
def test_thermal_reference_state_laws(arguments, message):
    raises(EosValidationError, lambda: build("thermal_reference_state", **arguments), message)


def test_multi_oscillator_atom_count_comes_from_holzapfel():
    def pressure(constructor, **extra):
        return build(constructor, HOLZAPFEL, **oscillators(**extra)).evaluate_scalar("pressure", 10.5, 1500.0)

    assert pressure("multi_oscillator_gruneisen") == pressure("sokolova2016", n=2.0)
    assert pressure("multi_oscillator_gruneisen") != pressure("multi_oscillator_gruneisen", n=3.0)


def test_holland_powell_reference_and_coefficient():
    hp = dict(tr=300.0, theta=700.0, alpha0=3e-5, n=2.0)
    error = raises(ConfigurationError, lambda: build("thermal_modified_tait", BM3, **dict(hp, tr=-1.0)),
                   "ThermalModifiedTait requires a ModifiedTait EOS")
    assert (error.code, error.operation, error.field) == ("configuration.invalid", None, None)
    raises(EosValidationError, lambda: build("thermal_modified_tait", TAIT, **dict(hp, tr=0.0)),
           "invalid parameter Tr: must be positive and finite")
    assert repr(build("thermal_modified_tait", TAIT, **hp)) == "ThermalEos(model_name='ThermalModifiedTait')"
    # theta/Tr = 1e6: the heat capacity at Tr underflows and the coefficient alpha0 K0 / Cv0 is infinite.
    for constructor, rt_eos in [("holland_powell_thermal_pressure", BM3), ("thermal_modified_tait", TAIT)]:
        error = raises(EosNumericalError, lambda: build(constructor, rt_eos, **dict(hp, tr=1.0, theta=1e6)),
                       "model returned a non-finite result")
        assert (error.code, error.operation, error.field) == ("eos.non_finite_result", "eos", None)


@pytest.mark.parametrize(
    "constructor, arguments",
    [
        ("dorogokupets_oganov_2007", dict(n=2.0 + 0.005 / 3 * 0.99, gamma_inf=2.0)),  # sum within 0.005, gamma_inf > gamma0
        ("dewaele_2006", dict(gamma_inf=0.0)),
        ("dewaele_2006", dict(gamma_inf=1.5)),
        ("asymptotic_power_law_mie_gruneisen_debye", dict(a=1.0)),
        ("mie_gruneisen_einstein", dict(gamma0=-1.0, q=0.0)),
        ("thermal_reference_state", dict(dk_dt=0.0, bulk_modulus_law="reciprocal_cubic", beta1=1e-3, beta2=-0.0)),
        ("thermal_reference_state", dict(alpha1=1e-8, thermal_expansion_law="linear_temperature")),
        ("thermal_reference_state", dict(alpha1=1e-8, reference_volume_law="berman", thermal_expansion_law="linear_temperature")),
        ("thermal_reference_state", dict(kprime_log_coefficient=0.1)),
    ],
)
def test_edge_values_accepted(constructor, arguments):
    assert build(constructor, **dict(CONSTRUCTORS[constructor][1], **arguments)).model_name
