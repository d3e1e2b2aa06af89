"""Failures reach Python through classes looked up by name in nivaltus.errors."""

import sys

import numpy as np
import pytest

import nivaltus.errors
from nivaltus._engine import HugoniotEos, RtEos, holzapfel_derivative_analytical

BM3 = RtEos.bm3(10.0, 160.0, 4.0)

# (trigger, class, message, keywords passed besides the message)
MAPPINGS = [
    (
        lambda: RtEos.bm3(0.0, 160.0, 4.0),
        "EosValidationError",
        "invalid parameter V0: must be positive and finite",
        {"code": "eos.invalid_parameter", "operation": "eos", "field": "V0"},
    ),
    (
        lambda: BM3.pressure_scalar(-1.0),
        "EosValidationError",
        "invalid state variable volume: must be positive and finite",
        {"code": "eos.invalid_state", "operation": "eos", "field": "volume"},
    ),
    (
        lambda: BM3.volume_scalar(-1e6),
        "EosValidationError",
        "pressure is outside the invertible expansion range",
        {"code": "eos.outside_invertible_range", "operation": "eos"},
    ),
    (
        # K0' = -10 makes the pressure turn over under compression.
        lambda: RtEos.bm3(10.0, 160.0, -10.0).volume_scalar(1e5),
        "EosValidationError",
        "failed to bracket a root",
        {"code": "eos.bracketing_failed", "operation": "eos"},
    ),
    (
        lambda: holzapfel_derivative_analytical(10.0, 10.0, 0.0, 160.0, 1.0, 1.0),
        "EosNumericalError",
        "model returned a non-finite result",
        {"code": "eos.non_finite_result", "operation": "eos"},
    ),
    (
        lambda: BM3.bulk_modulus_derivative_scalar(10.0, 1e-4),
        "UnsupportedOperationError",
        "bulk-modulus derivative is only defined for Holzapfel",
        {"code": "operation.unsupported"},
    ),
    (
        lambda: BM3.pressure_array(np.ones((1,) * 33)),
        "ValidationError",
        "native array inputs support at most 32 dimensions, got 33",
        {"code": "validation.invalid_input"},
    ),
    (
        lambda: HugoniotEos.linear_us_up(10, 2.5, 3, 1.5, 0).evaluate_scalar("Volume", 1.0),
        "EosValidationError",
        "invalid state variable quantity: unknown shock Hugoniot quantity",
        {"code": "eos.invalid_state", "operation": "eos", "field": "quantity"},
    ),
]


@pytest.mark.parametrize("trigger, class_name, message, keywords", MAPPINGS, ids=[m[1] + ":" + m[3]["code"] for m in MAPPINGS])
def test_class_code_and_keywords(recording_errors, trigger, class_name, message, keywords):
    with pytest.raises(getattr(recording_errors, class_name)) as info:
        trigger()
    assert info.value.call_args == (message,)
    assert info.value.call_kwargs == keywords  # absent keywords are not passed as None


@pytest.mark.parametrize("trigger, class_name, message, keywords", MAPPINGS[:6])
def test_package_errors_keep_attributes(trigger, class_name, message, keywords):
    with pytest.raises(getattr(nivaltus.errors, class_name)) as info:
        trigger()
    error = info.value
    assert isinstance(error, nivaltus.errors.NivaltusError) and str(error) == message
    assert (error.code, error.operation, error.field) == (
        keywords["code"],
        keywords.get("operation"),
        keywords.get("field"),
    )


def fallback_text(call):
    with pytest.raises(RuntimeError) as info:
        call()
    assert type(info.value) is RuntimeError and info.value.__cause__ is None
    return str(info.value)


PREFIX = "invalid parameter V0: must be positive and finite (could not construct nivaltus.errors.EosValidationError: "


def test_fallback_when_module_is_missing(monkeypatch):
    monkeypatch.setitem(sys.modules, "nivaltus.errors", None)
    text = fallback_text(lambda: RtEos.bm3(0.0, 1.0, 1.0))
    assert text == PREFIX + "ModuleNotFoundError: import of nivaltus.errors halted; None in sys.modules)"


def test_fallback_when_class_is_missing(errors_module):
    text = fallback_text(lambda: RtEos.bm3(0.0, 1.0, 1.0))
    assert text == PREFIX + "AttributeError: module 'nivaltus.errors' has no attribute 'EosValidationError')"


def test_fallback_when_class_rejects_keywords(errors_module):
    class EosValidationError(Exception):
        def __init__(self, message):
            super().__init__(message)

    errors_module.EosValidationError = EosValidationError
    text = fallback_text(lambda: RtEos.bm3(0.0, 1.0, 1.0))
    assert text.startswith(PREFIX + "TypeError: ") and "unexpected keyword argument 'code'" in text
    assert text.endswith(")")


def test_fallback_when_constructor_raises_an_unprintable_error(errors_module):
    class Unprintable(Exception):
        def __str__(self):
            raise ValueError

    def EosValidationError(*args, **kwargs):
        raise Unprintable

    errors_module.EosValidationError = EosValidationError
    text = fallback_text(lambda: RtEos.bm3(0.0, 1.0, 1.0))
    assert text.endswith("Unprintable: <exception str() failed>)")


def test_constructed_object_is_raised_as_returned(errors_module):
    errors_module.EosValidationError = lambda message, **kwargs: KeyError(message, kwargs["field"])
    with pytest.raises(KeyError) as info:
        RtEos.bm3(0.0, 1.0, 1.0)
    assert info.value.args == ("invalid parameter V0: must be positive and finite", "V0")

    errors_module.EosValidationError = lambda message, **kwargs: 42
    with pytest.raises(TypeError, match="exceptions must derive from BaseException"):
        RtEos.bm3(0.0, 1.0, 1.0)


def test_module_is_looked_up_anew_for_every_error(monkeypatch, recording_errors):
    with pytest.raises(recording_errors.EosValidationError):
        BM3.pressure_scalar(-1.0)
    monkeypatch.setitem(sys.modules, "nivaltus.errors", nivaltus.errors)
    with pytest.raises(nivaltus.errors.EosValidationError):
        BM3.pressure_scalar(-1.0)
