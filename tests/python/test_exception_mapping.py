"""Failures reach Python through classes looked up by name in nivaltus.errors."""

import sys
import types

import numpy as np
import pytest

from nivaltus._engine import RtEos, ThermalEos, holzapfel_derivative_analytical

BM3 = RtEos.bm3(10.0, 160.0, 4.0)
THERMAL = ThermalEos.linear_thermal_pressure(BM3, 300.0, 0.01)

# (trigger, class, message, keywords passed besides the message)
MAPPINGS = [
    (lambda: RtEos.bm3(0.0, 160.0, 4.0), "EosValidationError", "invalid parameter V0: must be positive and finite",
     {"code": "eos.invalid_parameter", "operation": "eos", "field": "V0"}),
    (lambda: BM3.pressure_scalar(-1.0), "EosValidationError", "invalid state variable volume: must be positive and finite",
     {"code": "eos.invalid_state", "operation": "eos", "field": "volume"}),
    (lambda: BM3.volume_scalar(-1e6), "EosValidationError", "pressure is outside the invertible expansion range",
     {"code": "eos.outside_invertible_range", "operation": "eos"}),
    # K0' = -10 makes the pressure turn over under compression.
    (lambda: RtEos.bm3(10.0, 160.0, -10.0).volume_scalar(1e5), "EosValidationError", "failed to bracket a root",
     {"code": "eos.bracketing_failed", "operation": "eos"}),
    (lambda: holzapfel_derivative_analytical(10.0, 10.0, 0.0, 160.0, 1.0, 1.0), "EosNumericalError",
     "model returned a non-finite result", {"code": "eos.non_finite_result", "operation": "eos"}),
    (lambda: BM3.bulk_modulus_derivative_scalar(10.0, 1e-4), "UnsupportedOperationError",
     "bulk-modulus derivative is only defined for Holzapfel", {"code": "operation.unsupported"}),
    (lambda: BM3.pressure_array(np.ones((1,) * 33)), "ValidationError",
     "native array inputs support at most 32 dimensions, got 33", {"code": "validation.invalid_input"}),
]


@pytest.mark.parametrize("trigger, class_name, message, keywords", MAPPINGS, ids=[m[1] + ":" + m[3]["code"] for m in MAPPINGS])
def test_class_code_and_keywords(recording_errors, trigger, class_name, message, keywords):
    with pytest.raises(getattr(recording_errors, class_name)) as info:
        trigger()
    assert info.value.call_args == (message,)
    assert info.value.call_kwargs == keywords  # absent keywords are not passed as None


class EosValidationError(Exception):
    """Accepts the message only."""

    def __init__(self, message):
        super().__init__(message)


class Unprintable(Exception):
    def __str__(self):
        raise ValueError


def _raise_unprintable(*args, **kwargs):
    raise Unprintable


@pytest.mark.parametrize(
    "prepare, reason",
    [
        (lambda errors: sys.modules.__setitem__("nivaltus.errors", None),
         "ModuleNotFoundError: import of nivaltus.errors halted; None in sys.modules"),
        (lambda errors: delattr(errors, "EosValidationError"),
         "AttributeError: module 'nivaltus.errors' has no attribute 'EosValidationError'"),
        (lambda errors: setattr(errors, "EosValidationError", EosValidationError),
         "TypeError: EosValidationError.__init__() got an unexpected keyword argument 'code'"),
        (lambda errors: setattr(errors, "EosValidationError", _raise_unprintable), "Unprintable: <exception str() failed>"),
    ],
    ids=["module-missing", "class-missing", "keywords-rejected", "unprintable"],
)
def test_fallback_runtime_error(recording_errors, prepare, reason):
    # The fixture's monkeypatch restores sys.modules afterwards; that the next test sees its own module
    # shows the module is looked up anew for every error.
    prepare(recording_errors)
    with pytest.raises(RuntimeError) as info:
        RtEos.bm3(0.0, 1.0, 1.0)
    assert type(info.value) is RuntimeError and info.value.__cause__ is None
    assert str(info.value) == (
        "invalid parameter V0: must be positive and finite (could not construct nivaltus.errors.EosValidationError: "
        + reason + ")")


def _interrupting_errors(interruption):
    """A stand-in for nivaltus.errors whose class lookup is interrupted (the import itself succeeds)."""
    double = types.ModuleType("nivaltus.errors")
    double.__path__ = []

    def lookup(name):
        raise interruption

    double.__getattr__ = lookup
    return double


# Failing calls through every road to an exception: scalar, serial and parallel one-input maps, serial
# and parallel two-input maps (the parallel ones above their thresholds of 65535 and 2047 elements).
INTERRUPTED_CALLS = [
    ("scalar", lambda: BM3.pressure_scalar(-1.0)),
    ("map-serial", lambda: BM3.pressure_array(np.full(3, -1.0))),
    ("map-parallel", lambda: BM3.pressure_array(np.full(70000, -1.0))),
    ("pairs-serial", lambda: THERMAL.evaluate_array("pressure", np.full(3, -1.0), np.full(3, 300.0))),
    ("pairs-parallel", lambda: THERMAL.evaluate_array("pressure", np.full(3000, -1.0), np.full(3000, 300.0))),
    ("pairs-unknown-name", lambda: THERMAL.evaluate_array("colour", np.ones(3000), np.ones(3000))),
]


@pytest.mark.parametrize("interruption", [KeyboardInterrupt, SystemExit, GeneratorExit], ids=lambda c: c.__name__)
@pytest.mark.parametrize("call", [c[1] for c in INTERRUPTED_CALLS], ids=[c[0] for c in INTERRUPTED_CALLS])
def test_interrupt_while_building_an_error_propagates(monkeypatch, interruption, call):
    raised = interruption("while looking up the class")
    monkeypatch.setitem(sys.modules, "nivaltus.errors", _interrupting_errors(raised))
    with pytest.raises(interruption) as info:
        call()
    assert info.value is raised
