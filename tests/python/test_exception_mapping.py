"""Failures reach Python through classes looked up by name in nivaltus.errors."""

import sys
import types

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import RtEos, ThermalEos, holzapfel_derivative_analytical

BM3 = RtEos.bm3(10.0, 160.0, 4.0)
THERMAL = ThermalEos.linear_thermal_pressure(BM3, 300.0, 0.01)

MAPPINGS = [
    (lambda: RtEos.bm3(0.0, 160.0, 4.0), "EosValidationError", "invalid parameter V0: must be positive and finite",
     {"code": "eos.invalid_parameter", "operation": "eos", "field": "V0"}),
    (lambda: BM3.volume_scalar(-1e6), "EosValidationError", "pressure is outside the invertible expansion range",
     {"code": "eos.outside_invertible_range", "operation": "eos"}),
    (lambda: RtEos.bm3(10.0, 160.0, -10.0).volume_scalar(1e5), "EosValidationError", "failed to bracket a root",
     {"code": "eos.bracketing_failed", "operation": "eos"}),
    (lambda: holzapfel_derivative_analytical(10.0, 10.0, 0.0, 160.0, 1.0, 1.0), "EosNumericalError",
     "model returned a non-finite result", {"code": "eos.non_finite_result", "operation": "eos"}),
    (lambda: BM3.bulk_modulus_derivative_scalar(10.0, 1e-4), "UnsupportedOperationError",
     "bulk-modulus derivative is only defined for Holzapfel", {"code": "operation.unsupported"}),
    pytest.param(lambda: BM3.pressure_array(np.ones((1,) * 33)), "ValidationError",
                 "native array inputs support at most 32 dimensions, got 33", {"code": "validation.invalid_input"},
                 marks=pytest.mark.skipif(np.lib.NumpyVersion(np.__version__) < "2.0.0",
                                          reason="NumPy 1.x makes no array of more than 32 dimensions")),
]


@pytest.mark.parametrize("trigger, class_name, message, keywords", MAPPINGS)
def test_class_code_and_keywords(recording_errors, trigger, class_name, message, keywords):
    error = raises(getattr(recording_errors, class_name), trigger)
    assert (error.call_args, error.call_kwargs) == ((message,), keywords)  # absent keywords: not None


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
        (lambda errors: setattr(errors, "EosValidationError", ValueError),
         "TypeError: ValueError() takes no keyword arguments"),
        (lambda errors: setattr(errors, "EosValidationError", _raise_unprintable), "Unprintable: <exception str() failed>"),
    ],
)
def test_fallback_runtime_error(recording_errors, prepare, reason):
    # Each test seeing its own module again shows that the module is looked up anew for every error.
    prepare(recording_errors)
    error = raises(RuntimeError, lambda: RtEos.bm3(0.0, 1.0, 1.0), "invalid parameter V0: must be positive and "
                   f"finite (could not construct nivaltus.errors.EosValidationError: {reason})")
    assert type(error) is RuntimeError and error.__cause__ is None


# Failing calls through every road to an exception: scalar, serial and parallel maps (above 65535 elements),
# parallel two-input maps (above 2047), and an unknown name there.
INTERRUPTED_CALLS = {
    "scalar": lambda: BM3.pressure_scalar(-1.0),
    "map-serial": lambda: BM3.pressure_array(np.full(3, -1.0)),
    "map-parallel": lambda: BM3.pressure_array(np.full(70000, -1.0)),
    "pairs-parallel": lambda: THERMAL.evaluate_array("pressure", np.full(3000, -1.0), np.full(3000, 300.0)),
    "pairs-unknown-name": lambda: THERMAL.evaluate_array("colour", np.ones(3000), np.ones(3000)),
}


@pytest.mark.parametrize("interruption", [KeyboardInterrupt, SystemExit, GeneratorExit])
@pytest.mark.parametrize("call", list(INTERRUPTED_CALLS))
def test_interrupt_while_looking_up_the_class_propagates(monkeypatch, interruption, call):
    raised = interruption("while looking up the class")

    def lookup(name):
        raise raised

    errors = types.ModuleType("nivaltus.errors")  # imports, but no class can be looked up
    errors.__path__, errors.__getattr__ = [], lookup
    monkeypatch.setitem(sys.modules, "nivaltus.errors", errors)
    assert raises(interruption, INTERRUPTED_CALLS[call]) is raised
