"""Argument binding and conversion: interpreter exceptions with the note naming the argument."""

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import HugoniotEos, RtEos, ThermalEos

BM3 = RtEos.bm3(10, 160, 4)
HUGONIOT = HugoniotEos.linear_us_up(10, 2.5, 3, 1.5, 0)
THERMAL = ThermalEos.linear_thermal_pressure(BM3, 300, 0.01)
FLOATY = type("Floaty", (), {"__float__": lambda self: 160.0})
INDEXY = type("Indexy", (), {"__index__": lambda self: 4})


@pytest.mark.parametrize("v0, k0, k0_prime",
                         [(10, 160, 4), (10.0, FLOATY(), INDEXY()), (np.float64(10.0), np.int64(160), 4.0)])
def test_float_protocol_accepts_numbers(v0, k0, k0_prime):
    model = RtEos.bm3(v0, k0, k0_prime)
    assert model.reference_volume == 10.0 and isinstance(model.reference_volume, float)
    assert model.pressure_scalar(9.0) == BM3.pressure_scalar(9.0)


def test_keywords_and_positions_mix_and_instance_calls_reach_constructor():
    assert RtEos.bm3(10, k0_prime=4, k0=160).pressure_scalar(volume=9.0) == BM3.pressure_scalar(9.0)
    assert repr(BM3.bm2(v0=1, k0=2)) == "RtEos(model_name='BM2')"


@pytest.mark.parametrize(
    "call, name, exception",
    [
        (lambda: RtEos.bm3("10", 160, 4), "v0", TypeError),
        (lambda: RtEos.bm3(0.0, None, "x"), "k0", TypeError),  # the first failure only, before every check
        (lambda: RtEos.bm3(10, 160, 10**400), "k0_prime", OverflowError),
        (lambda: BM3.pressure_scalar(volume=[1.0]), "volume", TypeError),
        (lambda: HUGONIOT.evaluate_scalar(b"volume", 1.0), "quantity", TypeError),
        (lambda: THERMAL.evaluate_array("\ud800", np.ones(1), np.ones(1)), "quantity", TypeError),  # no UTF-8 form
        # The array is converted before epsilon.
        (lambda: RtEos.holzapfel(10, 160, 4, 2, 26).bulk_modulus_derivative_array([1.0], "x"), "volumes", TypeError),
    ],
)
def test_failed_conversion_keeps_interpreter_exception_and_adds_note(call, name, exception):
    raises(exception, call, note=name)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: RtEos.bm2(1, 2, 3), "bm2() takes 2 positional arguments but 3 were given"),
        (lambda: BM3.volume_scalar(), "volume_scalar() missing 1 required positional argument: 'pressure'"),
        (lambda: ThermalEos.linear_thermal_pressure(BM3, 300, alpha_KT=1.0),
         "ThermalEos.linear_thermal_pressure() got an unexpected keyword argument 'alpha_KT'"),
    ],
)
def test_binding_errors(call, message):
    assert not hasattr(raises(TypeError, call, message), "__notes__")


@pytest.mark.parametrize(
    "value", [[1.0, 2.0], 1.0, np.ones(3, np.float32), np.ones(3, np.int64), np.ones(3, np.dtype(float).newbyteorder())]
)
def test_array_arguments_must_be_float64_arrays(value):
    raises(TypeError, lambda: HUGONIOT.evaluate_array("pressure", value), note="values")
