"""Modified Tait near the K0'' where t = K0·K0'' + 1 + K0' or d = K0'² + K0' − K0·K0'' vanishes."""

import math
from decimal import Decimal, localcontext

import pytest

from conftest import raises
from nivaltus._engine import RtEos
from nivaltus.errors import EosValidationError

SETS = [(1.0, 160.0, 4.0), (1.1248, 100.0, 5.5)]  # V0, K0, K0′; singular K0″ -0.03125 and 0.125, -0.065 and 0.3575
RATIOS = (0.5, 0.8, 0.8460001, 0.9, 0.999, 1.001, 1.05)  # 0.8 and 0.846 lie next to the end near d = 0


def singular(v0, k0, k0p, kind):
    return -(1 + k0p) / k0 if kind == "t" else k0p * (1 + k0p) / k0


def written(v0, k0, k0p, k0pp, v):
    """P and K of the written form at 100 digits for these doubles, or None where x <= 0."""
    with localcontext(prec=100):
        v0, k0, k0p, k0pp, v = map(Decimal, (v0, k0, k0p, k0pp, v))
        s = 1 + k0p
        t, d = k0 * k0pp + s, k0p * k0p + k0p - k0 * k0pp
        a, b, c = s / t, d / (k0 * s), t / d
        x = 1 + (v / v0 - 1) / a
        if x <= 0:
            return None
        return (((-x.ln() / c).exp() - 1) / b, k0 * (v / v0) * (x.ln() * (-1 / c - 1)).exp())


@pytest.mark.parametrize("kind", ["t", "d"])
@pytest.mark.parametrize("delta", [1e-15, 1e-12, 1e-9, 1e-6, 1e-4, "next double"])
@pytest.mark.parametrize("side", [-1, 1])
def test_near_singular_sets_against_the_written_form(kind, delta, side):
    for v0, k0, k0p in SETS:
        sing = singular(v0, k0, k0p, kind)
        k0pp = math.nextafter(sing, side * math.inf) if delta == "next double" else sing * (1 + side * delta)
        model = RtEos.modified_tait(v0, k0, k0p, k0pp)
        for v in (r * v0 for r in RATIOS):
            exact = written(v0, k0, k0p, k0pp, v)
            if exact is None:  # past the end of the domain, in exact arithmetic as in the module
                raises(EosValidationError, lambda: model.pressure_scalar(v))
                continue
            got = (model.pressure_scalar(v), model.bulk_modulus_scalar(v))
            assert max(float(abs(Decimal(g) / e - 1)) for g, e in zip(got, exact)) <= 2e-14  # the reference's bound


def test_exactly_singular_sets_are_refused():
    for k0pp in (-0.03125, 0.125):  # t = 0 and d = 0 exactly with K0 = 160, K0′ = 4
        error = raises(EosValidationError, lambda: RtEos.modified_tait(1.0, 160.0, 4.0, k0pp))
        assert (error.code, error.field) == ("eos.invalid_parameter", "K0_prime/K0_double_prime")


@pytest.mark.parametrize("v0, k0, k0p, k0pp", [
    (10, 160, 4, -0.025), (22.5, 130, 4.2, 0.01), (1, 160, 4, -0.0306), (1, 160, 4, 0.12244)])  # a = 48, c = 60
def test_ordinary_sets_keep_the_rounded_form(v0, k0, k0p, k0pp):
    d, s = k0p * k0p + k0p - k0 * k0pp, 1.0 + k0p
    t = k0 * k0pp + s
    a, b, c = s / t, k0p / k0 - k0pp / s, t / d
    assert abs(a) < 64 and abs(c) < 64
    model = RtEos.modified_tait(v0, k0, k0p, k0pp)
    for v in (r * v0 for r in (0.83, 0.9, 0.999, 1.0, 1.001, 1.37)):
        ln_x = math.log(((v / v0 + a) - 1.0) / a)
        assert model.pressure_scalar(v) == math.expm1(-ln_x / c) / b
        assert model.bulk_modulus_scalar(v) == k0 * (v / v0) * math.exp(ln_x * (-1.0 / c - 1.0))
