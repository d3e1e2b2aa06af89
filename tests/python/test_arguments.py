"""Argument binding and conversion: interpreter exceptions with the note naming the argument."""

import numpy as np
import pytest

from nivaltus._engine import HugoniotEos, RtEos, holzapfel_derivative_analytical

NOTE = "while processing '{}'"


class Floaty:
    def __float__(self):
        return 160.0


class Indexy:
    def __index__(self):
        return 4


def raises_with_note(exception, name, call):
    with pytest.raises(exception) as info:
        call()
    assert info.value.__notes__ == [NOTE.format(name)]
    return info.value


@pytest.mark.parametrize(
    "v0, k0, k0_prime",
    [(10, 160, 4), (10.0, Floaty(), Indexy()), (np.float64(10.0), np.int64(160), True), (10, 160.0, False)],
)
def test_float_protocol_accepts_numbers(v0, k0, k0_prime):
    model = RtEos.bm3(v0, k0, k0_prime)
    assert model.reference_volume == 10.0 and isinstance(model.reference_volume, float)


def test_keywords_and_positions_mix_and_instance_calls_reach_constructor():
    model = RtEos.bm3(10, k0_prime=4, k0=160)
    assert model.pressure_scalar(volume=10.0) == 0.0
    assert repr(model.bm2(v0=1, k0=2)) == "RtEos(model_name='BM2')"


@pytest.mark.parametrize(
    "call, name, exception",
    [
        (lambda: RtEos.bm3("10", 160, 4), "v0", TypeError),
        (lambda: RtEos.bm3(10, None, "x"), "k0", TypeError),  # the first failure only
        (lambda: RtEos.bm3(0.0, "x", 4), "k0", TypeError),  # conversion precedes every check
        (lambda: RtEos.bm3(10, 160, 10**400), "k0_prime", OverflowError),
        (lambda: RtEos.bm3(10, 160, 4).pressure_scalar(volume=[1.0]), "volume", TypeError),
        (lambda: RtEos.holzapfel(1, 2, 3, 4, z=object()), "z", TypeError),
        (lambda: holzapfel_derivative_analytical(1, 1, 1, 1, 1, "c2"), "c2", TypeError),
        (lambda: HugoniotEos.linear_us_up(10, 2.5, 3, 1.5, 0).evaluate_scalar(b"volume", 1.0), "quantity", TypeError),
        (lambda: HugoniotEos.linear_us_up(10, 2.5, 3, 1.5, 0).evaluate_scalar("volume", "1"), "value", TypeError),
    ],
)
def test_failed_conversion_keeps_interpreter_exception_and_adds_note(call, name, exception):
    raises_with_note(exception, name, call)


@pytest.mark.parametrize(
    "call, fragment",
    [
        (lambda: RtEos.bm2(1, 2, 3), "takes 2 positional arguments but 3 were given"),
        (lambda: RtEos.bm2(1, 2, k0_prime=3), "unexpected keyword argument 'k0_prime'"),
        (lambda: RtEos.bm2(1, 2, v0=1), "multiple values for argument 'v0'"),
        (lambda: RtEos.bm3(1), "missing 2 required positional arguments: 'k0' and 'k0_prime'"),
        (lambda: RtEos.bm3(1, 2, 3).volume_scalar(), "missing 1 required positional argument: 'pressure'"),
    ],
)
def test_binding_errors(call, fragment):
    with pytest.raises(TypeError, match=fragment) as info:
        call()
    assert not hasattr(info.value, "__notes__")


@pytest.mark.parametrize(
    "value",
    [
        [1.0, 2.0],
        1.0,
        np.float64(1.0),
        np.ones(3, dtype=np.float32),
        np.ones(3, dtype=np.int64),
        np.ones(3, dtype=np.complex128),
        np.ones(3, dtype=">f8" if np.little_endian else "<f8"),
    ],
    ids=["list", "float", "numpy-scalar", "float32", "int64", "complex", "byte-swapped"],
)
def test_array_arguments_must_be_float64_arrays(value):
    model = RtEos.bm3(10, 160, 4)
    raises_with_note(TypeError, "volumes", lambda: model.pressure_array(value))
    raises_with_note(TypeError, "pressures", lambda: model.volume_array(value))
    raises_with_note(TypeError, "values", lambda: HugoniotEos.linear_us_up(1, 1, 1, 1, 0).evaluate_array("pressure", value))


def test_array_is_converted_before_epsilon():
    holzapfel = RtEos.holzapfel(10, 160, 4, 2, 26)
    raises_with_note(TypeError, "volumes", lambda: holzapfel.bulk_modulus_derivative_array([1.0], "x"))
    raises_with_note(TypeError, "epsilon", lambda: holzapfel.bulk_modulus_derivative_array(np.ones(1), "x"))


def test_more_than_32_dimensions_is_a_validation_error():
    from nivaltus.errors import ValidationError

    model = RtEos.bm3(10, 160, 4)
    assert model.pressure_array(np.full((1,) * 32, 10.0)).shape == (1,) * 32
    error = raises_with_note(ValidationError, "volumes", lambda: model.pressure_array(np.ones((1,) * 33)))
    assert error.code == "validation.invalid_input"
    assert "at most 32 dimensions" in str(error)
