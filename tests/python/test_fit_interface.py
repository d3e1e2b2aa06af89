"""Fitting and uncertainty functions as Python sees them: signatures, argument conversion, sealed results."""

import math

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import (RtEos, ThermalEos, fit_least_squares, fit_rt_eos_native, fit_thermal_eos_native,
                              linear_uncertainty, monte_carlo_summary)

INF = math.inf

def line_residual(p):
    return p[0] + p[1] * np.arange(5.0) - np.array([1.0, 3.1, 4.9, 7.2, 9.0])


def line_fit(**options):
    return fit_least_squares(line_residual, np.zeros(2), np.full(2, -INF), np.full(2, INF), **options)


RESULTS = {
    "least_squares": (line_fit, {"x": (2,), "fun": (5,), "predicted_pressure": None, "jac": (5, 2),
                                 "parameter_covariance": (2, 2), "cost": float, "optimality": float,
                                 "success": bool, "message": str, "status": int, "nfev": int, "njev": int}),
    "native": (lambda: fit_rt_eos_native(RtEos.bm3(10.0, 150.0, 4.0), ["V0", "K0"], np.array([10.0, 150.0]),
                                         np.array([5.0, 50.0]), np.array([20.0, 300.0]), np.array([0.0, 5.0, 11.0]),
                                         np.array([10.0, 9.7, 9.4]), np.ones(3), np.full(3, 0.01)),
               {"x": (5,), "fun": (6,), "predicted_pressure": (3,), "jac": (6, 5), "parameter_covariance": (2, 2)}),
    "propagation": (lambda: linear_uncertainty(np.ones((3, 2)), np.eye(2), np.ones(3), True),
                    {"variance": (3,), "covariance": (3, 3)}),
    "monte_carlo": (lambda: monte_carlo_summary(np.arange(12.0).reshape(4, 3), 0.9, True),
                    {"standard_error": (3,), "lower": (3,), "upper": (3,), "covariance": (3, 3)}),
}


@pytest.mark.parametrize("kind", list(RESULTS))
def test_results_are_sealed_with_fresh_read_only_attributes(kind):
    make, expected = RESULTS[kind]
    result = make()
    for create in (type(result), lambda: type("Sub", (type(result),), {})):
        pytest.raises(TypeError, create)
    for name, form in expected.items():
        first, second = getattr(result, name), getattr(result, name)
        pytest.raises(AttributeError, setattr, result, name, first)
        if form is None or isinstance(form, type):
            assert first is None if form is None else (type(first) is form and first == second)
            continue
        assert (type(first), first.dtype, first.shape, first.flags.c_contiguous, first.flags.writeable) == (
            np.ndarray, np.float64, form, True, True)
        assert first is not second and np.array_equal(first, second)
        first[...] = 1e300
        assert np.array_equal(getattr(result, name), second)


BM3 = RtEos.bm3(11.24, 160.0, 4.0)
ONE = np.ones(1)


def native(thermal=False, **changes):
    """A native fit call on one point, with the given arguments changed."""
    arguments = dict(model=ThermalEos.linear_thermal_pressure(BM3, 300.0, 0.005) if thermal else BM3,
                     parameter_names=["V0"], initial=ONE, lower=ONE, upper=ONE, pressure=ONE, volume=ONE,
                     pressure_sigma=ONE, **({"temperature": ONE} if thermal else {}))
    function = fit_thermal_eos_native if thermal else fit_rt_eos_native
    return lambda: function(**dict(arguments, **changes))


UNSIZED = type("Unsized", (list,), {"__len__": lambda self: 1 // 0})(["V0"])


@pytest.mark.parametrize(
    "call, error, note",
    [
        (lambda: fit_least_squares(line_residual, [0.0, 0.0], ONE, ONE), TypeError, "initial"),
        (lambda: fit_least_squares(line_residual, ONE, ONE, ONE, "\ud800"), TypeError, "loss"),  # no UTF-8 form
        (native(True, model=BM3), TypeError, "model"),
        (native(parameter_names="V0"), TypeError, "parameter_names"),
        (native(parameter_names=["V0", 1]), TypeError, "parameter_names"),
        (native(parameter_names=UNSIZED), ZeroDivisionError, "parameter_names"),
        (native(True, observation_cholesky=[1.0]), TypeError, "observation_cholesky"),
        (native(True, loss=b"linear"), TypeError, "loss"),
        (native(f_scale="1"), TypeError, "f_scale"),
        (native(True, max_nfev=-1), OverflowError, "max_nfev"),
        (lambda: linear_uncertainty(np.ones((1, 1)), ONE, ONE, 1), TypeError, "full_covariance"),
        (lambda: monte_carlo_summary(np.ones((2, 1)), "0.9"), TypeError, "confidence"),
    ],
)
def test_argument_conversion_errors_name_the_parameter(call, error, note):
    assert type(raises(error, call, note=note)) is error


HUGE = np.broadcast_to(np.array(1.0), (2 ** 40,))  # one value in memory, 8 TiB as a copy


@pytest.mark.parametrize(
    "call",
    [
        lambda: fit_least_squares(line_residual, HUGE, HUGE, HUGE),
        lambda: fit_least_squares(lambda p: HUGE, np.zeros(2), np.full(2, -1.0), np.ones(2)),
        lambda: monte_carlo_summary(np.broadcast_to(np.array(1.0), (2 ** 37, 2)), 0.5),
    ],
    ids=["initial", "residual", "samples"],
)
def test_copies_too_large_to_allocate_raise_memory_error(call):
    with pytest.raises(MemoryError):
        call()
