"""ThermalEos constructors: keyword wiring, argument conversion, keyword laws and reference handling."""

import math

import pytest

from conftest import raises
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import ConfigurationError, EosNumericalError, EosValidationError, ValidationError

NAN = math.nan
BM3 = RtEos.bm3(11.24, 160.0, 4.0)
HOLZAPFEL = RtEos.holzapfel(11.24, 160.0, 4.0, 2.0, 12.0)
TAIT = RtEos.modified_tait(11.24, 160.0, 4.0, -0.05)


def oscillators(**extra):
    base = dict(tr=300.0, qe1o=500.0, me1=2.0, qe2o=900.0, me2=1.0, delta=0.1, t=0.5, a_0=10.0, m=2.0, g=1.5, e_0=20.0,
                beta=0.2, qbo=300.0, d=1.5, mb=2.0, qb1o=600.0, d1=2.0, mb1=1.0)
    return base | extra


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
    "multi_oscillator_gruneisen": ("MultiOscillatorGruneisenThermalEOS", oscillators(n=2.0)),
    "sokolova2016": ("MultiOscillatorGruneisenThermalEOS", oscillators(n=2.0)),
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
    """A NaN in one argument is reported under that argument's field (the order is the core's)."""
    model_name, valid = CONSTRUCTORS[constructor]
    model = build(constructor, **valid)
    assert (model.model_name, repr(model)) == (model_name, f"ThermalEos(model_name='{model_name}')")
    for name in valid:
        error = raises(EosValidationError, lambda: build(constructor, **dict(valid, **{name: NAN})))
        assert (error.code, error.operation, error.field.lower()) == ("eos.invalid_parameter", "eos", name)
        assert str(error).startswith(f"invalid parameter {error.field}: must be ")


def test_arguments_convert_in_order_before_any_check():
    """rt_eos first, then every float, before any model check; None only where the default is None."""
    mgd = dict(tr=NAN, theta0=800.0, gamma0=1.5, q=1.0, n=2.0)
    raises(TypeError, lambda: build("mie_gruneisen_debye", **dict(mgd, n="x")), note="n")
    raises(TypeError, lambda: build("mie_gruneisen_debye", 1.0, **dict(mgd, n="x")), note="rt_eos")
    raises(TypeError, lambda: build("mie_gruneisen_debye", **dict(mgd, n=None)), note="n")
    assert build("mie_gruneisen_debye", **dict(mgd, tr=300, cvmax=None)).evaluate_scalar(
        "heat_capacity_v", 11.24, 1e7) == pytest.approx(6 * 8.31446261815324, rel=1e-8)


MGD = dict(tr=300.0, theta0=800.0, gamma0=1.5, q=1.0, n=2.0)
LAW = "debye_temperature_law must be 'integrated_gruneisen' or 'variable_exponent'"
REFERENCE = "thermal_pressure_reference must be 'reference_temperature', 'reference_isentrope', or 'absolute_zero'"
BULK = "invalid bulk_modulus_law or unused beta coefficients"
EXPANSION = "thermal_expansion_law must be 'constant', 'linear_temperature', or 'linear_reference_temperature'"
VOLUME = "reference_volume_law must be 'integrated_expansivity', 'linear_temperature', or 'berman'"
BERMAN = "invalid parameter reference_volume_law: Berman volume requires linear-temperature expansivity configuration"
MO_N = "n is required for the generic multi-oscillator model"
TRS = dict(tr=300.0, alpha0=3e-5, dk_dt=0.0)


# Keyword laws and interface checks come before the model's checks (Tr = -1); a law's own coupling rules are the
# model's.
@pytest.mark.parametrize(
    "constructor, arguments, error_class, message",
    [
        ("mie_gruneisen_debye", dict(MGD, tr=-1, debye_temperature_law="VARIABLE_EXPONENT"), ValidationError, LAW),
        ("mie_gruneisen_debye", dict(MGD, n=-1, thermal_pressure_reference="reference_temperature "), ValidationError,
         REFERENCE),
        ("thermal_reference_state", dict(TRS, beta1=1e-3), ValidationError, BULK),
        ("thermal_reference_state", dict(TRS, tr=-1, thermal_expansion_law="linear", reference_volume_law="x"),
         ValidationError, EXPANSION),
        ("thermal_reference_state", dict(TRS, tr=-1, reference_volume_law="Berman"), ValidationError, VOLUME),
        ("multi_oscillator_gruneisen", oscillators(tr=-1.0), ValidationError, MO_N),
        ("sokolova2016", oscillators(n=None), ValidationError, MO_N),
        ("thermal_reference_state", dict(TRS, dk_dt=0.01, bulk_modulus_law="reciprocal_cubic", beta1=1e-3),
         EosValidationError, "invalid parameter dK_dT: must be zero with cubic compressibility"),
        ("thermal_reference_state", dict(TRS, reference_volume_law="berman"), EosValidationError, BERMAN),
        ("thermal_reference_state", dict(TRS, alpha1=1e-8, reference_volume_law="berman",
                                         thermal_expansion_law="linear_temperature", kprime_log_coefficient=0.1),
         None, None),
    ],
)
def test_keyword_laws_and_interface_checks(constructor, arguments, error_class, message):
    if error_class is None:
        assert build(constructor, **arguments).model_name == CONSTRUCTORS[constructor][0]
        return
    error = raises(error_class, lambda: build(constructor, **arguments), message)
    assert type(error) is error_class
    if error_class is ValidationError:
        assert (error.code, error.operation, error.field) == ("validation.invalid_input", None, None)


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
    assert repr(build("thermal_modified_tait", TAIT, **hp)) == "ThermalEos(model_name='ThermalModifiedTait')"
    # theta/Tr = 1e6: the heat capacity at Tr underflows and the coefficient alpha0 K0 / Cv0 is infinite.
    error = raises(EosNumericalError, lambda: build("thermal_modified_tait", TAIT, **dict(hp, tr=1.0, theta=1e6)),
                   "model returned a non-finite result")
    assert (error.code, error.operation, error.field) == ("eos.non_finite_result", "eos", None)
